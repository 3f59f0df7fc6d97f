// The library browser's panes, selection, keys, history button, dividers and symbol view.
#include "sheeteditor/libbrowser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "files/item_map.h"
#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "library/itemcache.h"
#include "symboleditor/libeditor.h"
#include "library/libfile.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "model/libitem.h"
#include "model/sheet.h"
#include "model/sheetdraw.h"
#include "model/symboldata.h"
#include "model/modelhooks.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "sheeteditor/libbrowserdrop.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/symbolimage.h"
#include "sheeteditor/wiretracking.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint16_t kKeyBackspace = 8, kKeyTab = 9, kKeyReturn = 13, kKeyEscape = 27, kKeySpace = 32;
constexpr uint16_t kKeyUp = 0xF700, kKeyDown = 0xF701, kKeyLeft = 0xF702, kKeyRight = 0xF703;
constexpr int16_t kRowHeight = 16, kScrollBarWidth = 16;
// Transformation codes composed by the arrow keys: a quarter turn one way or the other.
constexpr int32_t kTurnLeftCode = 3, kTurnRightCode = 1;


LibBrowserRecord* BrowserOf(VXWindowRecordTag* window) {
    return window ? static_cast<LibBrowserRecord*>(window->refCon) : nullptr;
}

bool IsItemList(LibBrowserRecord* browser, VXWindowRecordTag* list) { return list && list == browser->itemList; }

// The tool of the sheet shown in the window.
void ChooseSheetTool(VXWindowRecordTag* sheetWindow, int32_t tool) {
    SetDrawingTool(SheetOfWindow(sheetWindow), uint16_t(tool));
}

void ChooseTool(LibBrowserRecord* browser, int32_t tool) {
    if (browser->inSheet) ChooseSheetTool(browser->host, tool);
}

void ReportError(OSStatus status) {
    if (status != 0) VXErrorReport(status);
}

// Whether a wire or bus is being drawn in the browser's sheet.
bool WireInProgress(LibBrowserRecord* browser) { return browser->inSheet && IsWireCreationInProgress(); }

// Ends a wire or bus being drawn in the sheet (what was drawn is kept).
void EndWire(LibBrowserRecord* browser) {
    if (WireInProgress(browser)) CancelWireCreation(SheetOfWindow(browser->host));
}

// The cached item opened for editing in the window that opening the cached file gave: a sheet's
// file symbol of that name in the symbol editor, a library's item in the library editor.
bool OpenCachedItemInWindow(VXWindowRecordTag* window, int32_t kind) {
    char name[kStringSpecBufferSize];
    GetCachedLibraryItemName(name);
    if (!*name) return false;
    if (kind == kOpenedAsSheet) return OpenFileSymbolEditorNamed(WindowToDrawing(window), name);
    if (kind != kOpenedInLibraryEditor || !FindAndSelectLibEditorItemNamed(window, name)) return false;
    EditSelectedItemsOfWindow(window);
    return true;
}

void InvalWindow(VXWindowRecordTag* window) {
    if (!window) return;
    Rect r;
    VXGetClientRect(window, &r);
    VXInvalRect(window, &r);
}

void InvalItemListHeader(LibBrowserRecord* browser) { InvalWindow(browser->itemCaption); }

void InvalBrowserLibFilePathName(LibBrowserRecord* browser) {
    if (browser->pathControl && browser->host) {
        Rect r;
        VXGetItemPosition(browser->host, browser->pathControl, &r);
        VXInvalRect(browser->host, &r);
    }
}

// Fills a list with `count` rows whose data are their indexes.
void FillList(VXWindowRecordTag* list, int32_t count) {
    if (!list) return;
    VXDeleteListViewItemData(list, 0, -1);
    for (int32_t i = 0; i < count; ++i) VXInsertListViewItemData(list, -1, &i, 1);
    InvalWindow(list);
}

void SelectOnlyRow(VXWindowRecordTag* list, int32_t row, bool reveal) {
    if (!list) return;
    VXSetListViewItemSelected(list, -1, false);
    if (row >= 0 && row < VXCountListViewItems(list)) {
        VXSetListViewItemSelected(list, row, true);
        if (reveal) VXRevealListViewItem(list, row, false);
    }
}

// The parts popup and the alternate check box from the cache.
void UpdatePartsControls(LibBrowserRecord* browser) {
    VXWindowRecordTag* host = browser->host;
    CachedLibData data;
    GetCachedLibData(&data);
    LibSelection selection;
    GetCachedLibSelection(&selection);
    if (browser->partsControl)
        VXSetItemEnabled(host, browser->partsControl, FillCachedPartsPopup(host, browser->partsControl) >= 2);
    if (browser->altControl) {
        VXSetItemChecked(host, browser->altControl, selection.alternate ? 1 : 0);
        VXSetItemEnabled(host, browser->altControl, data.item && data.hasAlternate);
    }
}

void UpdateViews(LibBrowserRecord* browser) {
    // The picture of the part that the library-part tool shows following the pointer is of the
    // item chosen now.
    if (browser->inSheet) InvalidateTrackingSymbolImage();
    InvalWindow(browser->symbolView);
    UpdatePartsControls(browser);
    InvalBrowserLibFilePathName(browser);
}

void Remember(LibBrowserRecord* browser) {
    LibSelection selection;
    GetCachedLibSelection(&selection);
    browser->shownSelection = selection.changeCount;
}

// ---- Captions ----

void DrawItemHistoryButton(LibBrowserRecord* browser, const Rect& box) {
    if (browser->historyState < 0) QZSetColor(nullptr, kHistoryButtonDisabledColor, false);
    else QZSetColor(nullptr, browser->historyState ? 0x00A0A0A0 : 0x00F8F8F8, false);
    VXRectDispatch(&box, 1);
    QZSetColor(nullptr, browser->historyState < 0 ? kHistoryButtonDisabledColor : 0x00606060, false);
    VXFrameRect(&box);
    const int16_t midV = int16_t((box.top + box.bottom) / 2), midH = int16_t((box.left + box.right) / 2);
    const Point arrow[3] = {{midV, int16_t(midH - 4)}, {int16_t(midV - 3), int16_t(midH + 3)},
                            {int16_t(midV + 3), int16_t(midH + 3)}};
    QZSetColor(nullptr, browser->historyState < 0 ? kHistoryButtonDisabledColor : kVXDefaultForeColor, false);
    VXPolyDispatch(arrow, 3, 1);
}

void DrawBrowserListCaption(LibBrowserRecord* browser, VXWindowRecordTag* caption) {
    Rect band;
    VXGetClientRect(caption, &band);
    VXWindowRecordTag* list = caption == browser->fileCaption ? browser->fileList : browser->itemList;
    const bool keyed = browser->keyWindow && browser->keyWindow == list && browser->keyText[0];
    DrawListCaption(band, keyed ? browser->keyText : list == browser->fileList ? kLibrariesCaption : kItemsCaption,
                    keyed);
    if (caption == browser->itemCaption && browser->inSheet) {
        browser->historyState = int16_t(CountLibHistory() > 0 ? std::max<int16_t>(browser->historyState, 0) : -1);
        Rect box;
        CalcRecentItemsBox(browser, &box);
        DrawItemHistoryButton(browser, box);
    }
}

// A press in the history button: pressed while the mouse is inside; a release inside recalls.
void TrackHistoryButton(LibBrowserRecord* browser, VXWindowRecordTag* caption) {
    if (CountLibHistory() == 0) return;
    Rect box;
    CalcRecentItemsBox(browser, &box);
    const int32_t captionID = caption->windowID;
    bool inside = true;
    for (;;) {
        browser->historyState = inside ? 1 : 0;
        InvalWindow(caption);
        _LPNT point{};
        const int32_t result = RunMouseTrackingLoop(caption, kVXTrackLeft, 0, nullptr, &point, nullptr, -1);
        if (!VXGetWindowFromId(captionID)) return;
        inside = point.v >= box.top && point.v < box.bottom && point.h >= box.left && point.h < box.right;
        if (result == kVXTrackMouseUp || result == kVXTrackEscape) break;
    }
    browser->historyState = 0;
    InvalWindow(caption);
    if (inside) RecallBrowserHistoryItem(browser->host, 0);
}

int32_t CaptionProc(VXWindowRecordTag* window, VXEventRecord* event) {
    LibBrowserRecord* browser = BrowserOf(window);
    if (!browser) return 0;
    switch (event->kind) {
        case kVXUpdateEvent:
            VXSetWindow(window);
            DrawBrowserListCaption(browser, window);
            return 1;
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent: {
            VXWindowRecordTag* list = window == browser->fileCaption ? browser->fileList : browser->itemList;
            if (window == browser->itemCaption && browser->inSheet) {
                Rect box;
                CalcRecentItemsBox(browser, &box);
                const Point p = {event->u.mouse.v, event->u.mouse.h};
                if (p.v >= box.top && p.v < box.bottom && p.h >= box.left && p.h < box.right) {
                    TrackHistoryButton(browser, window);
                    return 1;
                }
            }
            ClearBrowserKeyText(browser);
            if (list) VXSetFocusWindow(list, true);
            LibSelection selection;
            GetCachedLibSelection(&selection);
            if (selection.itemIndex >= 0) ChooseTool(browser, kLibraryPartTool);
            return 1;
        }
        case kVXDestroyEvent:
            if (browser->fileCaption == window) browser->fileCaption = nullptr;
            if (browser->itemCaption == window) browser->itemCaption = nullptr;
            return 0;
        default:
            return 0;
    }
}

// ---- Lists ----

std::string RowText(LibBrowserRecord* browser, VXWindowRecordTag* list, int32_t row) {
    char name[kStringSpecBufferSize] = "";
    if (IsItemList(browser, list)) {
        GetIndexedItemNameFromCachedLibrary(row, name);
    } else if (GetIndexedLibFileName(kLibFilesActive, row, name)) {
        if (!RemoveExtension(kLibraryExtension, name)) RemoveExtension(".SHX", name);
    }
    return name;
}

void OpenSelectionFromList(LibBrowserRecord* browser, VXWindowRecordTag* list) {
    if (IsItemList(browser, list)) {
        OpenCachedLibraryItemEditor();
    } else {
        VXWindowRecordTag* opened = nullptr;
        OpenLibBrowserFile(&opened);
    }
}

int32_t ListKey(LibBrowserRecord* browser, VXWindowRecordTag* list, const VXEventRecord* event) {
    const uint16_t key = event->u.character.character;
    const bool itemList = IsItemList(browser, list);
    if (key == kKeyReturn) {
        if (browser->keyText[0]) {
            ClearBrowserKeyText(browser);
            return kVXListKeyHandled;
        }
        if (browser->inSheet) VXSendCharacterEventToWindow(browser->host, key, event->u.character.modifiers);
        return browser->inSheet ? kVXListKeyHandled : 0;
    }
    if (key == kKeySpace && itemList && !browser->keyText[0]) {
        LibSelection selection;
        GetCachedLibSelection(&selection);
        SelectBrowserAlt(browser, !selection.alternate);
        return kVXListKeyHandled;
    }
    if (BrowserSelectionKey(browser, list, key)) return kVXListKeyHandled;
    ClearBrowserKeyText(browser);
    if (itemList && (key == kKeyUp || key == kKeyDown)) {
        AdvanceCurrentBrowserItem(browser, key == kKeyUp ? -1 : 1);
        return kVXListKeyHandled;
    }
    if (key == kKeyTab) {
        if (WireInProgress(browser)) return kVXListKeyHandled;
        VXWindowRecordTag* other = itemList ? browser->fileList : browser->itemList;
        if (other) VXSetFocusWindow(other, true);
        return kVXListKeyHandled;
    }
    if (browser->inSheet && key == kKeyEscape) {
        if (WireInProgress(browser)) {
            EndWire(browser);
        } else {
            VXSetFocusWindow(browser->host, true);
            ChooseTool(browser, kSelectionTool);
        }
        return kVXListKeyHandled;
    }
    SheetRecord* sheet = browser->inSheet ? SheetOfWindow(browser->host) : nullptr;
    if (sheet && (key == kKeyLeft || key == kKeyRight) && sheet->selectedTool == kDrawToolLibraryPart) {
        TransformSelection(sheet, key == kKeyLeft ? kTurnLeftCode : kTurnRightCode);  // turns the symbol being placed
        return kVXListKeyHandled;
    }
    if (key != kKeyUp && key != kKeyDown) EndWire(browser);
    return 0;
}

int32_t BrowserListHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    LibBrowserRecord* browser = BrowserOf(window);
    if (!browser) return 0;
    switch (message) {
        case kVXListDrawItem:
            DrawHiliteBrowserListItem(window, record, RowText(browser, window, record->index).c_str());
            return 1;
        case kVXListKey:
            return ListKey(browser, window, record->event);
        case kVXListMouseDown:
            ClearBrowserKeyText(browser);
            EndWire(browser);
            // In a sheet window an item is dragged onto a sheet.
            return browser->inSheet && IsItemList(browser, window) ? kVXListClickDragOut : 0;
        case kVXListDragOut:
            if (IsItemList(browser, window))
                BeginLibBrowserItemDrag(browser, static_cast<VXItemDragClient*>(record->param.pointer));
            return 0;
        case kVXListTypeAhead:
            if (!IsItemList(browser, window)) return 0;
            record->index = BrowserItemRowSearch(record->text);
            return 1;
        default:
            return 0;
    }
}

int32_t BrowserListProc(VXWindowRecordTag* window, VXEventRecord* event) {
    LibBrowserRecord* browser = BrowserOf(window);
    if (!browser) return 0;
    if (event->kind == kVXDestroyEvent) {
        if (browser->fileList == window) browser->fileList = nullptr;
        if (browser->itemList == window) browser->itemList = nullptr;
        if (browser->keyWindow == window) browser->keyWindow = nullptr;
        return 0;
    }
    if (event->kind == kVXCommandEvent && event->u.command.command == kOpenSelectionCommand && browser->inSheet) {
        OpenSelectionFromList(browser, window);
        return 1;
    }
    if (event->kind != kVXControlEvent || event->u.control.controlType != kVXListBox) return 0;
    const bool doubleClick = event->u.control.values.listBox.second != 0;
    const int32_t first = VXGetListViewSelection(window, 0);
    VXWindowRecordTag* top = VXGetTopParent(window);
    const int32_t topID = top ? top->windowID : 0;
    if (IsItemList(browser, window)) {
        const int32_t selected = VXCountListViewSelections(window);
        if (selected == 1) {
            SelectBrowserItem(browser, first, false);
            ChooseTool(browser, kLibraryPartTool);
        } else if (selected > 1 && !browser->inSheet) {
            ReportError(SetCachedLibraryItem(-1));
            Remember(browser);
            UpdateViews(browser);
        }
        if (!browser->inSheet && top) VXSetItemEnabled(top, 1, selected > 0);
        if (doubleClick && VXGetWindowFromId(topID)) {
            if (browser->inSheet) OpenSelectionFromList(browser, window);
            else if (selected > 0) VXEndDialog(top, 1);
        }
    } else {
        if (first >= 0) SelectBrowserFile(browser, first, 0, false);
        if (!browser->inSheet && top) VXSetItemEnabled(top, 1, VXCountListViewSelections(browser->itemList) > 0);
        if (doubleClick && browser->inSheet) OpenSelectionFromList(browser, window);
    }
    return 1;
}

int32_t SymbolViewProc(VXWindowRecordTag* window, VXEventRecord* event) {
    LibBrowserRecord* browser = BrowserOf(window);
    if (event->kind == kVXUpdateEvent) {
        DrawCachedSymbolView(window);
        return 1;
    }
    if (event->kind == kVXDestroyEvent && browser && browser->symbolView == window) browser->symbolView = nullptr;
    return 0;
}

void KeyTimeout(sVXTimerRecord* timer, uint64_t refcon) {
    VXSetTimerNextFires(timer, 0xFFFFFFFF);  // one shot
    ClearBrowserKeyText(reinterpret_cast<LibBrowserRecord*>(uintptr_t(refcon)));
}

void SetBrowserKeyTimeout(LibBrowserRecord* browser) {
    if (!browser->keyTimer &&
        VXInstallTimerEx(kBrowserKeyTimeoutMs, kVXTimerInModal | kVXTimerWhenInactive, KeyTimeout,
                         uint64_t(uintptr_t(browser)), &browser->keyTimer) != 0)
        return;
    VXSetTimerNextFires(browser->keyTimer, kBrowserKeyTimeoutMs);
}

VXWindowRecordTag* MakeList(LibBrowserRecord* browser, const Rect* rect, bool multiple, VXWindowRecordTag** caption) {
    const Rect band = {rect->top, rect->left, int16_t(rect->top + kBrowserCaptionHeight), rect->right};
    // The scroll bar lies outside the list's content: the content leaves room for it.
    const Rect rows = {band.bottom, rect->left, rect->bottom, int16_t(rect->right - kScrollBarWidth)};
    *caption = VXCreateChildWindow(0, 0, 0, browser->host, &band, browser, CaptionProc);
    VXWindowRecordTag* list = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, browser->host, &rows, browser,
                                                  BrowserListProc);
    if (!*caption || !list) return list;
    VXInstallListView(list, nullptr, kRowHeight, sizeof(int32_t), multiple ? kVXListMultiSelect : 0, BrowserListHook);
    return list;
}

void MoveBy(VXWindowRecordTag* window, int16_t dh, int16_t dwidth) {
    if (!window) return;
    Rect r;
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        VXGetPanelStructRect(window, &r);
        VXSetPanelStructFrame(panel, XRect{double(r.left + dh), double(r.top), double(r.right - r.left + dwidth),
                                           double(r.bottom - r.top)});
        return;
    }
    VXGetWindowPosition(window, &r);
    r.left = int16_t(r.left + dh);
    r.right = int16_t(r.right + dh + dwidth);
    VXSetWindowPosition(window, &r);
}

void MoveItemBy(VXWindowRecordTag* host, int16_t item, int16_t dh) {
    if (!item) return;
    Rect r;
    VXGetItemPosition(host, item, &r);
    if (r.right <= r.left) return;
    r.left = int16_t(r.left + dh);
    r.right = int16_t(r.right + dh);
    VXSetItemPosition(host, item, &r);
}

int16_t WidthOf(VXWindowRecordTag* window) {
    if (!window) return 0;
    Rect r;
    VXGetPanelStructRect(window, &r);
    return int16_t(r.right - r.left);
}

}  // namespace


void DrawListCaption(const Rect& band, const char* title, bool highlighted) {
    QZSetColor(nullptr, 0x00E8E8E8, false);
    VXRectDispatch(&band, 1);
    QZSetColor(nullptr, 0x00B0B0B0, false);
    VXMoveTo(band.left, band.bottom - 1);
    VXLineTo(int16_t(band.right), int16_t(band.bottom - 1));
    QZSetColor(nullptr, highlighted ? kBrowserKeyTextColor : kVXDefaultForeColor, false);
    char text[kStringSpecBufferSize];
    StrNCpy(text, sizeof text, title, int16_t(sizeof text - 1));
    VXTruncString(text, sizeof text, band.right - band.left - 30, 0);
    VXMoveTo(band.left + 4, band.bottom - 4);
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), 0x08000100);
}

void DrawHiliteBrowserListItem(VXWindowRecordTag* window, VXListViewHookRecord* record, const char* text) {
    StdDrawHiliteEditListViewItem(window, record);
    char shown[kStringSpecBufferSize];
    StrNCpy(shown, sizeof shown, text, int16_t(sizeof shown - 1));
    VXTruncString(shown, sizeof shown, record->rect.right - record->rect.left - 4, 0);
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    VXMoveTo(record->rect.left + 3, record->rect.bottom - 4);
    VXDrawTextWithEncoding(shown, int32_t(std::strlen(shown)), 0x08000100);
}


int32_t FillCachedPartsPopup(VXWindowRecordTag* host, int16_t item) {
    VXRemoveListItem(host, item, 0, -1);
    CachedLibData data;
    GetCachedLibData(&data);
    LibSelection selection;
    GetCachedLibSelection(&selection);
    const int32_t count = data.item && data.item->symbols ? data.item->head.symbolCount : 0;
    if (count < 2) return count;
    const auto* symbols = reinterpret_cast<const LibSymbolDef*>(*data.item->symbols);
    for (int32_t i = 0; i < count; ++i) {
        char name[kStringSpecBufferSize];
        ExtractStringSpec(symbols[i].name, data.item->stringBlock, name, sizeof name);
        VXAddListItem(host, item, name[0] ? name : "-", -1);
    }
    VXSelectListItem(host, item, selection.part, true);
    return count;
}

LibBrowserRecord* CreateLibBrowser(VXWindowRecordTag* host, const Rect* fileRect, const Rect* itemRect,
                                   const Rect* symbolRect, int16_t partsControl, int16_t altControl,
                                   int16_t pathControl, bool multipleSelection, bool show) {
    if (!host) return nullptr;
    auto* browser = reinterpret_cast<LibBrowserRecord*>(AllocPtrClear(nullptr, sizeof(LibBrowserRecord)));
    if (!browser) return nullptr;
    browser->host = host;
    browser->inSheet = VXGetTopParent(host)->typeID == kSheetWindowKind;
    browser->partsControl = partsControl;
    browser->altControl = altControl;
    browser->pathControl = pathControl;
    browser->historyState = int16_t(CountLibHistory() > 0 ? 0 : -1);
    browser->fileList = MakeList(browser, fileRect, false, &browser->fileCaption);
    browser->itemList = MakeList(browser, itemRect, multipleSelection, &browser->itemCaption);
    // The host lays the symbol view out (a sheet's pane puts the part controls under it).
    browser->symbolView = VXCreateChildWindow(0, kVXFlagChildBezel, 0, host, symbolRect, browser, SymbolViewProc);
    if (!browser->fileList || !browser->itemList || !browser->symbolView || !browser->fileCaption ||
        !browser->itemCaption) {
        DestroyLibBrowser(browser);
        return nullptr;
    }
    browser->shownSelection = 0;
    SynchBrowserWithCache(browser);
    if (show) {
        for (VXWindowRecordTag* pane : {browser->fileCaption, browser->fileList, browser->itemCaption,
                                        browser->itemList, browser->symbolView})
            VXShowWindow(pane);
    }
    return browser;
}

int32_t BrowserListPrepCommand(VXPrepCommandRecord* record) {
    if (!record || record->command != kOpenSelectionCommand) return 0;
    record->enabled = record->window && VXGetListViewSelection(record->window, -1) >= 0 ? 1 : 0;
    return 1;
}

void DestroyLibBrowser(LibBrowserRecord* browser) {
    if (!browser || browser->destroying) return;
    browser->destroying = 1;
    if (browser->keyTimer) VXKillTimer(browser->keyTimer);
    browser->keyTimer = nullptr;
    for (VXWindowRecordTag** pane : {&browser->fileCaption, &browser->fileList, &browser->itemCaption,
                                     &browser->itemList, &browser->symbolView}) {
        if (VXWindowRecordTag* window = *pane) {
            window->refCon = nullptr;  // its destroy event no longer reaches the record
            *pane = nullptr;
            VXDestroyWindow(window);
        }
    }
    MemFreePtr(browser);
}

void SynchBrowserWithCache(LibBrowserRecord* browser) {
    if (!browser) return;
    LibSelection selection;
    GetCachedLibSelection(&selection);
    if (selection.changeCount == browser->shownSelection) return;
    browser->shownSelection = selection.changeCount;
    FillList(browser->fileList, CountLibraryFiles(kLibFilesActive));
    FillList(browser->itemList, CountCachedLibraryItems());
    SelectOnlyRow(browser->fileList, selection.activeFileIndex, true);
    SelectOnlyRow(browser->itemList, selection.itemIndex, true);
    UpdateViews(browser);
}

void InvalidateActiveBrowser() {
    VXWindowRecordTag* sheet = FrontSheetWindow();
    LibBrowserRecord* browser = sheet ? SheetLibraryPane(sheet) : nullptr;
    if (!browser) return;
    SynchBrowserWithCache(browser);
    InvalItemListHeader(browser);
}

void SelectBrowserFile(LibBrowserRecord* browser, int32_t fileIndex, int32_t itemPosition, bool reveal) {
    LibSelection selection;
    GetCachedLibSelection(&selection);
    if (!browser || fileIndex == selection.activeFileIndex || fileIndex < 0) return;
    SelectOnlyRow(browser->fileList, fileIndex, reveal);
    if (const OSStatus st = SetCachedLibraryFile(kLibFilesActive, fileIndex)) {
        ReportError(st);
        return;
    }
    const int32_t count = CountCachedLibraryItems();
    FillList(browser->itemList, count);
    const int32_t item = count == 0 ? -1 : itemPosition < 0 ? count - 1 : 0;
    ReportError(SetCachedLibraryItem(item));
    SelectOnlyRow(browser->itemList, item, true);
    Remember(browser);
    UpdateViews(browser);
}

void SelectBrowserItem(LibBrowserRecord* browser, int32_t itemIndex, bool reveal) {
    LibSelection selection;
    GetCachedLibSelection(&selection);
    if (!browser || itemIndex == selection.itemIndex) return;
    SelectOnlyRow(browser->itemList, itemIndex, reveal);
    ReportError(SetCachedLibraryItem(itemIndex));
    Remember(browser);
    UpdateViews(browser);
}

void SelectBrowserAlt(LibBrowserRecord* browser, bool on) {
    SetCachedLibItemAlt(on ? 1 : 0);
    if (!browser) return;
    Remember(browser);
    UpdateViews(browser);
}

void SelectBrowserPart(LibBrowserRecord* browser, int32_t symbolIndex) {
    SetCachedLibItemPart(symbolIndex);
    if (!browser) return;
    Remember(browser);
    UpdateViews(browser);
}

void SelectBrowserDirectory(LibBrowserRecord* browser, int32_t popupPosition) {
    const int32_t directory = popupPosition < kLibDirFirstFolderItem ? -1 : GetIndexedLibDirId(popupPosition - 3);
    if (!SetActiveLibFiles(directory) || !browser) return;
    browser->shownSelection = 0;
    SynchBrowserWithCache(browser);
    if (CountLibraryFiles(kLibFilesActive) > 0) SelectBrowserFile(browser, 0, 0, true);
}

void AdvanceCurrentBrowserItem(LibBrowserRecord* browser, int32_t step) {
    LibSelection selection;
    GetCachedLibSelection(&selection);
    if (!browser || selection.activeFileIndex < 0 || !GetCachedLibraryFile()) return;
    int32_t from = selection.itemIndex;
    if (browser->itemList && VXCountListViewSelections(browser->itemList) > 1) {
        from = VXGetListViewSelection(browser->itemList, 0);
        if (step > 0)
            for (int32_t i = from; i >= 0; i = VXGetListViewSelection(browser->itemList, i + 1)) from = i;
    }
    const int32_t target = from + step;
    if (target >= 0 && target < CountCachedLibraryItems()) {
        SelectBrowserItem(browser, target, true);
        return;
    }
    const int32_t file = selection.activeFileIndex + (step < 0 ? -1 : 1);
    if (file < 0 || file >= CountLibraryFiles(kLibFilesActive)) return;
    SelectBrowserFile(browser, file, step < 0 ? -1 : 0, true);
}

bool BrowserSelectionKey(LibBrowserRecord* browser, VXWindowRecordTag* list, uint16_t character) {
    if (!browser || !list || (character != kKeyBackspace && (character < 32 || character > 127))) return false;
    if (character == kKeySpace && IsItemList(browser, list) && !browser->keyText[0]) return false;
    if (browser->keyWindow != list) {
        ClearBrowserKeyText(browser);
        browser->keyWindow = list;
    }
    size_t length = std::strlen(browser->keyText);
    if (character == kKeyBackspace) {
        if (length > 0) browser->keyText[--length] = 0;
    } else if (length < size_t(kBrowserKeyTextLimit)) {
        browser->keyText[length++] = char(character);
        browser->keyText[length] = 0;
    }
    InvalWindow(list == browser->fileList ? browser->fileCaption : browser->itemCaption);
    FindKeySelection(browser);
    SetBrowserKeyTimeout(browser);
    return true;
}

void FindKeySelection(LibBrowserRecord* browser) {
    const char* text = browser->keyText;
    const auto length = uint16_t(std::strlen(text));
    if (!length || !browser->keyWindow) return;
    char name[kFileSpecNameCapacity > kStringSpecBufferSize ? kFileSpecNameCapacity : kStringSpecBufferSize];
    if (browser->keyWindow == browser->itemList) {
        for (int32_t i = 0; GetIndexedItemNameFromCachedLibrary(i, name); ++i)
            if (StrCINCmp(name, text, length) == 0) {
                SelectBrowserItem(browser, i, true);
                return;
            }
    } else {
        for (int32_t i = 0; GetIndexedLibFileName(kLibFilesActive, i, name); ++i)
            if (StrCINCmp(name, text, length) == 0) {
                SelectBrowserFile(browser, i, 0, true);
                return;
            }
    }
}

int32_t BrowserItemRowSearch(const char* text) {
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; GetIndexedItemNameFromCachedLibrary(i, name); ++i) {
        const int order = text && text[0] ? CompareLibItemNames(name, text) : StrCINCmp(name, "", 1);
        if (order >= 0) return i;
    }
    return -1;
}

void RecordBrowserHistoryItem(LibBrowserRecord* browser) {
    if (!RecordLibHistoryItem() || !browser) return;
    if (CountLibHistory() == 1) {
        browser->historyState = 0;
        InvalItemListHeader(browser);
    }
}

bool RecallBrowserHistoryItem(VXWindowRecordTag* sheetWindow, int32_t direction) {
    const bool recalled = RecallLibHistoryItem(direction);
    LibBrowserRecord* browser = sheetWindow ? SheetLibraryPane(sheetWindow) : nullptr;
    if (recalled && sheetWindow) {
        SynchBrowserWithCache(browser);
        ChooseSheetTool(sheetWindow, kLibraryPartTool);
    }
    if (browser && CountLibHistory() == 0) {
        browser->historyState = -1;
        InvalItemListHeader(browser);
    }
    return recalled;
}

void CalcRecentItemsBox(LibBrowserRecord* browser, Rect* box) {
    Rect band{};
    if (browser && browser->itemCaption) VXGetClientRect(browser->itemCaption, &band);
    *box = {int16_t(band.top + 2), int16_t(band.right - 22), int16_t(band.top + 14), int16_t(band.right - 3)};
}

void GetBrowserDividerRects(LibBrowserRecord* browser, Rect dividers[2]) {
    Rect file{}, item{}, symbol{};
    if (browser->fileList) VXGetPanelStructRect(browser->fileList, &file);
    if (browser->itemList) VXGetPanelStructRect(browser->itemList, &item);
    if (browser->symbolView) VXGetPanelStructRect(browser->symbolView, &symbol);
    const int16_t top = int16_t(file.top - kBrowserCaptionHeight);
    dividers[0] = {top, file.right, file.bottom, int16_t(item.left + 1)};
    dividers[1] = {top, item.right, file.bottom, int16_t(symbol.left + 1)};
}

int32_t HitTestBrowserViewDivider(LibBrowserRecord* browser, Point point) {
    if (!browser) return -1;
    Rect dividers[2];
    GetBrowserDividerRects(browser, dividers);
    for (int32_t i = 0; i < 2; ++i) {
        const Rect& d = dividers[i];
        if (point.v >= d.top + 3 && point.v < d.bottom - 3 && point.h >= d.left && point.h < d.right) return i;
    }
    return -1;
}

int16_t ResizeBrowserPanel(LibBrowserRecord* browser, int32_t divider, int16_t width) {
    if (!browser || divider < 0 || divider > 1) return 0;
    VXWindowRecordTag* pane = divider == 0 ? browser->fileList : browser->itemList;
    VXWindowRecordTag* caption = divider == 0 ? browser->fileCaption : browser->itemCaption;
    const int16_t old = WidthOf(pane);
    width = std::clamp(width, kBrowserPaneMinWidth, kBrowserPaneMaxWidth);
    const auto delta = int16_t(width - old);
    if (delta == 0) return width;
    // Growing moves the rightmost part first, shrinking the leftmost, so that no two overlap.
    VXWindowRecordTag* focus = nullptr;
    VXGetFocusWindow(browser->host, &focus, nullptr);
    auto movePart = [&](int32_t part) {
        switch (part) {
            case 1: MoveBy(browser->itemCaption, delta, 0); MoveBy(browser->itemList, delta, 0); break;
            case 2: MoveBy(browser->symbolView, delta, 0); break;
            case 3: MoveItemBy(browser->host, browser->partsControl, delta); break;
            case 4: MoveItemBy(browser->host, browser->altControl, delta); break;
            default: break;
        }
    };
    const int32_t firstPart = divider + 1;
    if (delta > 0) {
        for (int32_t part = 4; part >= firstPart; --part) movePart(part);
        MoveBy(caption, 0, delta);
        MoveBy(pane, 0, delta);
    } else {
        MoveBy(caption, 0, delta);
        MoveBy(pane, 0, delta);
        for (int32_t part = firstPart; part <= 4; ++part) movePart(part);
    }
    if (focus && (focus == browser->fileList || focus == browser->itemList)) VXSetFocusWindow(focus, true);
    InvalWindow(browser->host);
    return width;
}

int16_t TrackResizeBrowserPanel(VXWindowRecordTag* window, LibBrowserRecord* browser, int32_t divider, Point start) {
    VXWindowRecordTag* pane = divider == 0 ? browser->fileList : browser->itemList;
    int16_t width = WidthOf(pane);
    const int16_t startWidth = width;
    const int32_t windowID = window->windowID;
    for (;;) {
        _LPNT point{};
        const int32_t result = RunMouseTrackingLoop(window, kVXTrackLeft, 0, nullptr, &point, nullptr, -1);
        if (!VXGetWindowFromId(windowID)) return width;
        width = ResizeBrowserPanel(browser, divider, int16_t(std::clamp<int32_t>(startWidth + point.h - start.h,
                                                                                  INT16_MIN, INT16_MAX)));
        if (result == kVXTrackMouseUp || result == kVXTrackEscape) break;
    }
    return width;
}

int32_t CalcSymbolViewScalePercent(int32_t viewWidth, int32_t viewHeight, const Rect& drawing) {
    const int32_t width = std::max(1, drawing.right - drawing.left);
    const int32_t height = std::max(1, drawing.bottom - drawing.top);
    double scale = std::min(double(viewWidth - 6) / width, double(viewHeight - 6) / height);
    scale = std::clamp(scale, 0.01, 1.0);
    return std::clamp(int32_t(std::lround(scale * 100)), 1, 100);
}

namespace {

// The graphics of a symbol's drawing come before its texts, which are drawn apart.
bool StopAtSymbolTexts(int16_t kind, void*, int32_t, bool, void*) {
    return kind == kSymCommentText || kind == kSymCommentFrame;
}

// The cached symbol's texts at the point, as the part shows them before it is placed: its pins'
// numbers and names filled in, and its field references (the values a placed part takes from its
// own attributes) left out, as the library's catalogue leaves them out.
void DrawCachedSymbolTexts(VXWindowRecordTag* view, Point at) {
    LoadLibCacheTextList(view, 0);
    CachedLibData data;
    GetCachedLibData(&data);
    for (auto* text = static_cast<TextRecord*>(LLFirst(data.texts)); text; text = text->link) {
        if ((text->flags & kTextFlagHidden) || text->kind == kTextKindSymbolAttribute ||
            text->kind >= kTextKindPinAttribute)
            continue;
        OffsetTextElement(text, at.h, at.v);
        DrawTextElement(text, data.strings);
        OffsetTextElement(text, int16_t(-at.h), int16_t(-at.v));
    }
    for (auto frame = static_cast<TextFrameHandle>(LLFirst(data.frames)); frame;
         frame = static_cast<TextFrameHandle>(LLGetNext(data.frames, frame))) {
        OffsetTextFrame(frame, at.h, at.v);
        DrawTextFrame(frame, true);
        OffsetTextFrame(frame, int16_t(-at.h), int16_t(-at.v));
    }
}

}  // namespace

void DrawCachedSymbolView(VXWindowRecordTag* view) {
    if (!view) return;
    VXWindowRecordTag* previous = VXSetWindow(view);
    Rect client;
    VXGetClientRect(view, &client);
    VXSetScalePercent(view, 100, 100);
    QZSetColor(nullptr, 0x00FFFFFF, false);
    VXRectDispatch(&client, 1);
    CachedLibData data;
    GetCachedLibData(&data);
    const uint32_t size = data.symbolData ? SizeOfPtr(data.symbolData) : 0;
    if (data.item && size > kSymbolDataHeadSize && data.bounds.right > data.bounds.left) {
        const Rect& b = data.bounds;
        const int32_t percent = CalcSymbolViewScalePercent(client.right, client.bottom, b);
        VXSetScalePercent(view, percent, percent);
        // Centred: the view's size in drawing units, less the drawing's, halved.
        const int32_t unitsH = client.right * 100 / percent, unitsV = client.bottom * 100 / percent;
        const Point at = {int16_t((unitsV - (b.bottom - b.top)) / 2 - b.top),
                          int16_t((unitsH - (b.right - b.left)) / 2 - b.left)};
        QZSetColor(nullptr, kVXDefaultForeColor, false);
        VXPlayDisplayListBytes(&view->graf, reinterpret_cast<uint8_t*>(data.symbolData) + kSymbolDataHeadSize,
                               size - kSymbolDataHeadSize, at, 0, StopAtSymbolTexts, nullptr);
        DrawCachedSymbolTexts(view, at);
        VXSetScalePercent(view, 100, 100);
    }
    VXSetWindow(previous);
}

int32_t OpenLibBrowserFile(VXWindowRecordTag** outWindow) {
    *outWindow = nullptr;
    if (VXWindowRecordTag* sheet = FrontSheetWindow()) {
        VXSetFocusWindow(sheet, true);
        ChooseSheetTool(sheet, kSelectionTool);
    }
    return OpenCachedFileWindow(outWindow);
}

int32_t OpenCachedFileWindow(VXWindowRecordTag** outWindow) {
    *outWindow = nullptr;
    LibraryFileRecord* file = GetCachedLibraryFile();
    if (!file) return 0;
    const FileSpec spec = file->file.spec;
    if (IsSheetFile(&spec) == status::kNoErr) {
        SheetRecord* sheet = OpenSchematicSheet(&spec, kOpenShowWindow | kOpenSetContext | kOpenDetectType);
        if (!sheet || !sheet->window) return 0;
        *outWindow = sheet->window;
        return kOpenedAsSheet;
    }
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    if (!editor || !editor->window) return 0;
    *outWindow = editor->window;
    return kOpenedInLibraryEditor;
}

void OpenCachedLibraryItemEditor() {
    VXWindowRecordTag* window = nullptr;
    const int32_t kind = OpenLibBrowserFile(&window);
    LibSelection selection;
    GetCachedLibSelection(&selection);
    if (kind == 0 || selection.itemIndex < 0 || !OpenCachedItemInWindow(window, kind))
        VXBeep();
}

}  // namespace plexa
