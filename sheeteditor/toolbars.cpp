// The tool bars of a sheet window; see toolbars.h.
#include "sheeteditor/toolbars.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "foundation/ll.h"
#include "graphics/colors.h"
#include "graphics/grafprocs.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/partsdialog.h"
#include "sheeteditor/colorpopups.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/wiredrag.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

const TopToolPlace gTopToolsMap[kTopToolCount] = {
    {kTopToolSnap, 16, 0},         {kTopToolZoomArea, 33, 0},    {kTopToolRotateLeft, 50, 0},
    {kTopToolRotateRight, 66, 0},  {kTopToolMirrorH, 82, 0},     {kTopToolMirrorV, 98, 0},
    {kTopToolLineWidth, 115, 0},   {kTopToolLineColor, 131, 0},  {kTopToolFillColor, 147, 0},
    {kTopToolSearchLibraries, -32, 0}, {kTopToolLibraryFolders, -48, 0},
};
const TopToolPlace gExpTopToolsMap[kTopToolCount] = {
    {kTopToolSnap, 0, 16},         {kTopToolZoomArea, 0, 32},    {kTopToolRotateLeft, 17, 16},
    {kTopToolRotateRight, 33, 16}, {kTopToolMirrorH, 49, 16},    {kTopToolMirrorV, 65, 16},
    {kTopToolLineWidth, 17, 32},   {kTopToolLineColor, 33, 32},  {kTopToolFillColor, 49, 32},
    {kTopToolSearchLibraries, 82, 16}, {kTopToolLibraryFolders, 82, 32},
};
const uint16_t gDrawingToolMap[kDrawingToolCount] = {
    kDrawToolSelect,         kDrawToolText,           kDrawToolLibraryPart,
    kDrawToolSubSheet,       kDrawToolWire,           kDrawToolBuss,
    kDrawToolPowerShortcuts, kDrawToolPortShortcuts,  kDrawToolComponentShortcuts,
    kDrawToolLine,           kDrawToolRectangle,      kDrawToolOval,
    kDrawToolArc,            kDrawToolPolygon,        kDrawToolRoundRect,
    kDrawToolArrow};
const uint16_t gDrawingToolIconMap[kDrawingToolCount] = {2006, 2007, 2029, 2031, 2024, 2027, 2032, 2030,
                                                         2040, 2009, 2010, 2011, 2012, 2013, 2015, 2016};

namespace {

constexpr VXColor kToolBarBackColor = 0x0C000000;  // theme brush 12
constexpr uint32_t kPaletteButtonOptions = 0x140000;
constexpr uint32_t kPopupOptions = 0x20000;
constexpr int32_t kResizeCursor = 0x7FFFFF06, kArrowCursor = 0x7FFFFF00;
constexpr uint16_t kOptionKey = 58;
constexpr int16_t kSubSheetPlace = 3;  // the palette place of the sub-sheet symbol tool
constexpr int16_t kContextTop = 9, kContextHeight = 22, kContextWidth = 176, kContextExpandedLeft = 36;
constexpr Rect kDisclosureRect = {12, 10, 26, 24};
constexpr int16_t kPaneMargin = 8, kPaneTop = 4, kPaneBottomMargin = 4;
constexpr int16_t kSymbolViewWidth = 120, kPartControlHeight = 22, kAltControlHeight = 18, kControlGap = 3;
constexpr int32_t kZoomUndoKind = 5;

bool IsOutlineButton(int16_t id) {
    return id == kTopToolLineWidth || id == kTopToolLineColor || id == kTopToolFillColor;
}

bool IsShortcutTool(int16_t id) {
    return id == kDrawToolPowerShortcuts || id == kDrawToolPortShortcuts || id == kDrawToolComponentShortcuts;
}

bool IsPaletteTool(int16_t id) {
    for (uint16_t tool : gDrawingToolMap)
        if (tool == uint16_t(id)) return true;
    return false;
}

bool SubSheetToolShown() {
    const SheetToolsHooks& hooks = GetSheetToolsHooks();
    return hooks.subSheetTool && hooks.subSheetTool();
}

void PaintBackground(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = VXSetWindow(window);
    QZSetColor(window->graf.port, kToolBarBackColor, true);
    Rect r;
    VXGetClientRect(window, &r);
    VXEraseRect(&r);
    if (previous && previous != window) VXSetWindow(previous);
}

void SetBackColor(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = VXSetWindow(window);
    QZSetColor(window->graf.port, kToolBarBackColor, true);
    if (previous && previous != window) VXSetWindow(previous);
}

int16_t BarWidth(VXWindowRecordTag* window) {
    Rect r;
    VXGetClientRect(window, &r);
    return int16_t(r.right - r.left);
}

// The library folders of the pane as a popup under the button; the chosen menu item, 0 none.
int32_t TrackLibFoldersPopup(VXWindowRecordTag* window, int16_t button) {
    const int32_t count = CountLibDirMenuItems();
    if (count <= 0) return 0;
    VXMenuRecord* menu = VXNewMenu(kLibDirMenuId, kLibDirMenuTitle);
    if (!menu) return 0;
    for (int32_t item = 1; item <= count; ++item) {
        char title[256] = "";
        bool enabled = true;
        GetLibDirMenuItem(item, title, sizeof title, &enabled);
        VXInsertMenuItem(menu, true, item, uint16_t(item), title);
        if (!enabled) VXSetMenuItemEnabled(menu, true, item, false);
    }
    VXSetMenuItemChecked(menu, true, GetActiveLibDirSelectionIndex(), true);
    Rect r;
    VXGetItemPosition(window, button, &r);
    const uint16_t chosen = VXPopupMenuClick(window, Point{r.bottom, r.left}, 0, false, menu, true, 0);
    VXDestroyMenuEx(menu, true);
    return chosen;
}

// The pen width the width popup starts from: the one selected element's, 0 with several, the
// sheet's with none.
int32_t SelectedPenWidth(SheetRecord* sheet) {
    int32_t count = 0, width = 0;
    for (auto* element = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); element;
         element = element->next) {
        if (!(element->flags & kElementSelected)) continue;
        ++count;
        width = element->penWidth;
    }
    if (count == 0) return sheet->view.outlineWidth;
    return count == 1 ? width : 0;
}

void ProjectContextChosen(SheetRecord* sheet, VXWindowRecordTag* window, int32_t chosen) {
    CancelWireCreation(sheet);
    const int32_t last = VXCountListItems(window, kTopToolProjectContext) - 1;
    VXSelectListItem(window, kTopToolProjectContext, last, true);
    ProjectRecord* project = sheet->project;
    SheetNode* node = project && sheet->hierarchyContext
                          ? GetSheetNodeWithInstance(project, sheet->hierarchyContext)
                          : nullptr;
    if (!node || chosen < 0 || chosen >= last) return;  // the project's own item does no more
    if (chosen == 0) {
        if (project->window) VXSelectWindow(project->window);
        const SheetToolsHooks& hooks = GetSheetToolsHooks();
        if (VXTestKey(kOptionKey) && hooks.revealProjectSheetNode) hooks.revealProjectSheetNode(project, node);
        return;
    }
    for (int32_t k = 0; k < chosen && node; ++k) node = GetSheetNodeParent(node);
    if (!node) return;
    if (RevealSubSheetsParentSymbol(project, node)) return;
    UpdateProjectHierarchy(project, 1);
    if (!RevealSubSheetsParentSymbol(project, node)) VXBeep();
}

void ZoomAreaClicked(SheetRecord* sheet, VXWindowRecordTag* window) {
    if (VXTestKey(kOptionKey) && sheet->zoomScale) {
        sheet->zoomMode = 0;
        VXSetButtonState(window, kTopToolZoomArea, 0);
        SetDrawViewCursor(sheet);
        // Going back to the stored view is one undoable step, whatever the sheet was doing.
        StartSheetUndoCollection(sheet, kZoomUndoKind);
        CollectUndoSetSheetView(sheet);
        AcceptSheetUndoCollection(sheet);
        const SheetToolsHooks& hooks = GetSheetToolsHooks();
        if (hooks.setScaledViewPosition && sheet->window)
            sheet->viewScale = uint16_t(hooks.setScaledViewPosition(sheet->window, sheet->zoomScale, sheet->zoomView));
        return;
    }
    sheet->zoomMode = sheet->zoomMode ? 0 : 1;
    VXSetButtonState(window, kTopToolZoomArea, sheet->zoomMode);
    SetDrawViewCursor(sheet);
}

void SearchLibrariesClicked(SheetRecord* sheet) {
    CancelWireCreation(sheet);
    if (BrowsePartsDialog(nullptr, false, 1, nullptr, nullptr)) {
        if (sheet->libraryPane && sheet->libraryPane->itemList)
            VXSetFocusWindow(sheet->libraryPane->itemList, true);
        SetDrawingTool(sheet, kDrawToolLibraryPart);
    } else if (sheet->selectedTool == kDrawToolLibraryPart) {
        SetDrawViewFocus(sheet);
        SetDrawingTool(sheet, kDrawToolSelect);
    }
}

int32_t TopToolsControlAction(SheetRecord* sheet, VXWindowRecordTag* window, const VXEventRecord* event) {
    const int16_t item = int16_t(event->u.control.item);
    switch (item) {
        case kTopToolPartPopup:
            SelectBrowserPart(sheet->libraryPane, event->u.control.values.pair.second);
            return 1;
        case kTopToolAltSymbol:
            SelectBrowserAlt(sheet->libraryPane, VXGetItemChecked(window, kTopToolAltSymbol) != 0);
            return 1;
        case kTopToolProjectContext:
            ProjectContextChosen(sheet, window, event->u.control.values.pair.second);
            return 1;
        case kTopToolSnap:
            sheet->view.snap = sheet->view.snap ? 0 : 1;
            VXSetButtonState(window, kTopToolSnap, sheet->view.snap);
            return 1;
        case kTopToolZoomArea: ZoomAreaClicked(sheet, window); return 1;
        case kTopToolRotateLeft:
        case kTopToolRotateRight:
        case kTopToolMirrorH:
        case kTopToolMirrorV: {
            static constexpr int32_t kCodes[] = {kRotateLeftCode, kRotateRightCode, kMirrorHorizontalCode,
                                                 kMirrorVerticalCode};
            if (NetSymbolPlacement(sheet) != 2) TransformSelection(sheet, kCodes[item - kTopToolRotateLeft]);
            return 1;
        }
        case kTopToolLibraryFolders:
            if (GetSheetToolsHooks().editPrefs) GetSheetToolsHooks().editPrefs(1);
            return 1;
        case kTopToolSearchLibraries: SearchLibrariesClicked(sheet); return 1;
        case kTopToolDisclosure: {
            const bool expand = VXGetDisclosureState(window, kTopToolDisclosure) != 0;
            if (!expand && sheet->selectedTool == kDrawToolLibraryPart) {
                SetDrawViewFocus(sheet);
                SetDrawingTool(sheet, kDrawToolSelect);
            }
            ExpandCollapseTopDrawTools(window, expand);
            return 1;
        }
        default: return 1;
    }
}

int32_t TopToolsTrackControl(SheetRecord* sheet, VXWindowRecordTag* window, VXEventRecord* event) {
    const int16_t item = int16_t(event->u.track.item);
    switch (item) {
        case kTopToolLineColor:
        case kTopToolFillColor:
        case kTopToolLineWidth: {
            Rect button{};
            if (VXControlRecordTag* control = VXGetControl(window, item, nullptr)) VXGetControlRect(control, &button);
            if (item == kTopToolLineWidth) {
                TrackLineWidthPopup(window, &button, event, SelectedPenWidth(sheet));
                return 1;
            }
            VXSetButtonState(window, item, 1);
            TrackColorPopup(window, &button, item == kTopToolFillColor);
            VXSetButtonState(window, item, 0);
            return 1;
        }
        case kTopToolLibraryFolders: {
            // Without Option the click chooses a folder; with Option, or when there is no folder
            // to choose, it goes on to open the preferences at their library folders.
            if (VXTestKey(kOptionKey) || CountLibDirMenuItems() <= 0) return 0;
            const int32_t chosen = TrackLibFoldersPopup(window, item);
            if (chosen > 0 && sheet->libraryPane) SelectBrowserDirectory(sheet->libraryPane, chosen);
            return 1;
        }
        default: return 0;
    }
}

// The library pane's panels right of the folders button: the two lists over the bar's whole
// height, so that they show as many rows as the bar holds, and the symbol view with the part
// popup and the "Alt. Symbol" check box under it in the third column.
void MakeLibraryPane(SheetRecord* sheet, VXWindowRecordTag* window) {
    for (uint16_t& width : sheet->topToolPaneWidths)
        if (width == 0) width = kLibraryPanelWidth;
    Rect folders;
    VXGetItemPosition(window, kTopToolLibraryFolders, &folders);
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    const auto bottom = int16_t(height - kPaneBottomMargin);
    const int16_t bar = 16;  // the lists' scroll bar
    Rect file = {kPaneTop, int16_t(folders.right + kPaneMargin), bottom, 0};
    file.right = int16_t(file.left + sheet->topToolPaneWidths[0] + bar);
    Rect item = {kPaneTop, file.right, bottom, int16_t(file.right + sheet->topToolPaneWidths[1] + bar)};
    const auto altTop = int16_t(bottom - kAltControlHeight);
    const auto partsTop = int16_t(altTop - kControlGap - kPartControlHeight);
    const Rect symbol = {kPaneTop, item.right, int16_t(partsTop - kControlGap),
                         int16_t(item.right + kSymbolViewWidth)};
    const Rect parts = {partsTop, symbol.left, int16_t(partsTop + kPartControlHeight), symbol.right};
    const Rect alt = {altTop, symbol.left, bottom, symbol.right};
    VXCreateControl(window, kVXCheckBox, &alt, "Alt. Symbol", kTopToolAltSymbol, 0);
    VXCreateControl(window, kVXPopup, &parts, "", kTopToolPartPopup, kPopupOptions);
    const bool active = !(window->status() & kVXStatusControlsInactive);
    LibBrowserRecord* pane =
        CreateLibBrowser(window, &file, &item, &symbol, kTopToolPartPopup, kTopToolAltSymbol, 0, false, true);
    sheet->libraryPane = pane;
    if (!pane) return;
    VXSetListViewPrepCommand(pane->fileList, BrowserListPrepCommand);
    VXSetListViewPrepCommand(pane->itemList, BrowserListPrepCommand);
    if (sheet->selectedTool == kDrawToolLibraryPart && active) VXSetFocusWindow(pane->itemList, true);
}

void DropLibraryPane(SheetRecord* sheet, VXWindowRecordTag* window) {
    VXDestroyControl(window, kTopToolPartPopup);
    VXDestroyControl(window, kTopToolAltSymbol);
    if (sheet && sheet->libraryPane) {
        DestroyLibBrowser(sheet->libraryPane);
        sheet->libraryPane = nullptr;
    }
}

void CreatePaletteButtons(VXWindowRecordTag* window) {
    const bool subSheet = SubSheetToolShown();
    int32_t n = 0;
    for (int32_t place = 0; place < kDrawingToolCount; ++place) {
        if (place == kSubSheetPlace && !subSheet) continue;
        const Rect r = CalcDrawingToolButtonRect(n++);
        VXCreateControl(window, kVXIconButton, &r, "", int16_t(gDrawingToolMap[place]),
                        kPaletteButtonOptions | gDrawingToolIconMap[place]);
    }
}

void AddPaletteToolTips(VXWindowRecordTag* palette) {
    char text[256];
    for (uint16_t tool : gDrawingToolMap)
        if (VXGetControl(palette, int16_t(tool), nullptr) && *RetrieveToolTipMessage(tool, text))
            VXAddToolTip(palette, -1, kVXControlToolTip, nullptr, int16_t(tool), text);
}

}  // namespace

uint32_t TopToolFlags(int16_t id) {
    return id == kTopToolSnap || id == kTopToolZoomArea ? 0x140000 : 0x40000;
}

Rect CalcTopToolButtonRect(const TopToolPlace& place, bool expanded) {
    auto left = int16_t(32 * (place.x / 16) + 8 * (place.x % 16) + 4);
    if (expanded && IsOutlineButton(place.id)) left = int16_t(left + 14);
    const auto top = int16_t((expanded ? 8 : 4) + 34 * (place.y / 16) + 8 * (place.y % 16));
    return Rect{top, left, int16_t(top + kToolButtonSize), int16_t(left + kToolButtonSize)};
}

Rect PlaceTopToolButton(const TopToolPlace& place, bool expanded, int16_t barWidth) {
    Rect r = CalcTopToolButtonRect(place, expanded);
    if (r.left < 0) {
        r.left = int16_t(barWidth + r.left);
        r.right = int16_t(r.left + kToolButtonSize);
    }
    return r;
}

void LayOutPaletteButtons(VXWindowRecordTag* palette) {
    static bool busy = false;  // the palette's own resizing sends it a size event
    if (!palette || busy) return;
    // The palette's panel follows the window at once (its view's own size may not yet).
    Rect frame{};
    VXGetPanelStructRect(palette, &frame);
    const auto height = int16_t(frame.bottom - frame.top), width = int16_t(frame.right - frame.left);
    if (height <= 0) return;
    const int32_t rows = PaletteRows(height);
    int32_t n = 0;
    for (uint16_t tool : gDrawingToolMap) {
        if (!VXGetControl(palette, int16_t(tool), nullptr)) continue;
        const Rect r = CalcDrawingToolButtonRect(n++, rows);
        Rect now{};
        VXGetItemPosition(palette, int16_t(tool), &now);
        if (std::memcmp(&now, &r, sizeof r) != 0) VXSetItemPosition(palette, int16_t(tool), &r);
    }
    const int16_t wanted = PaletteWidth(n, rows);
    if (wanted == width) return;
    busy = true;
    (void)VXResizeDividedChildWindow(palette, wanted);
    busy = false;
    VXInvalidateHierarchy(palette);
}

Rect CalcDrawingToolButtonRect(int32_t n, int32_t rows) {
    rows = std::max<int32_t>(rows, 1);
    const auto row = int16_t(n % rows), column = int16_t(n / rows);
    return Rect{int16_t(31 * row + 4), int16_t(31 * column + 4), int16_t(31 * row + 33),
                int16_t(31 * column + 33)};
}

int32_t PaletteRows(int16_t height) { return std::max(1, (height - 33) / 31 + 1); }

int16_t PaletteWidth(int32_t count, int32_t rows) {
    const int32_t columns = std::max(1, (count + std::max(rows, 1) - 1) / std::max(rows, 1));
    return int16_t(kToolPaletteWidth + 31 * (columns - 1));
}

int32_t DrawingToolsEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXCreateEvent) {
        SetBackColor(window);
        VXSetWindowControlsActive(window, false);
        CreatePaletteButtons(window);
        return 0;
    }
    SheetRecord* sheet = SheetOfWindow(window);
    if (!sheet) return VXDefaultEventHandler(window, event);
    switch (event->kind) {
        case kVXActivateEvent:
            if (NeedActivateInval(window, event)) {
                VXInvalidateHierarchy(window);
                VXSetWindowControlsActive(window, event->u.activate.activated != 0);
                VXWindowRecordTag* child = VXGetFirstChild(window);
                if (child && VXIsWindowVisible(child, false)) DispatchEvent(child, event);
            }
            return 1;
        case kVXUpdateEvent: PaintBackground(window); return 0;
        case kVXSizeEvent: LayOutPaletteButtons(window); return 0;
        case kVXCommandEvent: {
            const uint16_t command = event->u.command.command;
            if (command < kFirstShortcutCommand || command > kLastShortcutCommand) return 0;
            CancelWireCreation(sheet);
            RecordLibHistoryItem();
            const int32_t group = gShortcutTool == kDrawToolPowerShortcuts  ? 0
                                  : gShortcutTool == kDrawToolPortShortcuts ? 1
                                                                            : 2;
            const SheetToolsHooks& hooks = GetSheetToolsHooks();
            if (hooks.selectShortcut && hooks.selectShortcut(group, command - kFirstShortcutCommand)) {
                SynchBrowserWithCache(sheet->libraryPane);
                InvalidateMouseTrackingImage(sheet);
                SetDrawingTool(sheet, kDrawToolLibraryPart);
            } else if (sheet->selectedTool == kDrawToolLibraryPart) {
                // The shortcut's item was not found (the person was told): the next click must
                // not place the part chosen before it.
                SetDrawingTool(sheet, kDrawToolSelect);
            }
            return 1;
        }
        case kVXTrackControlEvent: {
            const int16_t item = int16_t(event->u.track.item);
            if (!IsShortcutTool(item)) return 0;
            gShortcutTool = uint16_t(item);
            VXSetButtonState(window, item, 1);
            if (VXMenuRecord* menu = BuildShortcutMenu(uint16_t(item))) {
                Rect r;
                VXGetItemPosition(window, item, &r);
                VXPopupMenuClick(window, Point{r.bottom, r.left}, 0, true, menu, true, 0);
                VXDestroyMenuEx(menu, true);
            }
            if (VXGetWindowFromId(window->windowID) == window) VXSetButtonState(window, item, 0);
            return 1;
        }
        case kVXControlEvent: {
            const int16_t item = int16_t(event->u.control.item);
            if (!IsPaletteTool(item)) return 0;
            CleanupSplitWireList(sheet);
            if (item != kDrawToolLibraryPart) {
                SetDrawViewFocus(sheet);
                SetDrawingTool(sheet, uint16_t(item));
                return 1;
            }
            VXInvalidateAllWindows();
            if (LibBrowserRecord* pane = sheet->libraryPane) {
                VXWindowRecordTag* focus = nullptr;
                VXGetFocusWindow(sheet->window, &focus, nullptr);
                const bool inTopBar = focus && (focus == sheet->topToolBar || VXIsChildWindow(focus, sheet->topToolBar));
                if (!inTopBar && pane->itemList) VXSetFocusWindow(pane->itemList, true);
            } else {
                if (sheet->selectedTool != kDrawToolLibraryPart) VXSetButtonState(window, item, 0);
                if (!BrowsePartsDialog(nullptr, false, -1, nullptr, nullptr)) {
                    if (sheet->selectedTool == kDrawToolLibraryPart) SetDrawingTool(sheet, kDrawToolSelect);
                    return 1;
                }
            }
            SetDrawingTool(sheet, kDrawToolLibraryPart);
            return 1;
        }
        default: return 0;
    }
}

void CreateTopDrawingToolControls(VXWindowRecordTag* window) {
    VXCreateControl(window, kVXDisclosure, &kDisclosureRect, "", kTopToolDisclosure, 0);
    for (const TopToolPlace& place : gTopToolsMap) {
        const Rect r = PlaceTopToolButton(place, false, BarWidth(window));
        VXCreateControl(window, kVXIconButton, &r, "", place.id, TopToolFlags(place.id) | uint16_t(place.id));
    }
    const Rect context = {kContextTop, 0, int16_t(kContextTop + kContextHeight), kContextWidth};
    VXCreateControl(window, kVXPopup, &context, "", kTopToolProjectContext, kPopupOptions);
    PositionTopDrawingToolControls(window, false);
}

void PositionTopDrawingToolControls(VXWindowRecordTag* window, bool expanded) {
    if (!window || !VXGetControl(window, kTopToolDisclosure, nullptr)) return;
    const bool shown = VXSetWindowControlsVisible(window, false);
    const int16_t width = BarWidth(window);
    const TopToolPlace* map = expanded ? gExpTopToolsMap : gTopToolsMap;
    for (int32_t i = 0; i < kTopToolCount; ++i) {
        const Rect r = PlaceTopToolButton(map[i], expanded, width);
        VXSetItemPosition(window, map[i].id, &r);
    }
    Rect context = {kContextTop, kContextExpandedLeft, int16_t(kContextTop + kContextHeight),
                    int16_t(kContextExpandedLeft + kContextWidth)};
    if (!expanded) {
        Rect fill;
        VXGetItemPosition(window, kTopToolFillColor, &fill);
        context.left = int16_t(fill.right + 16);
        context.right = int16_t(context.left + kContextWidth);
    }
    VXSetItemPosition(window, kTopToolProjectContext, &context);
    VXSetItemPosition(window, kTopToolDisclosure, &kDisclosureRect);
    VXSetWindowControlsVisible(window, shown);
    VXUpdateControlToolTipLocations(window);
    SheetRecord* sheet = SheetOfWindow(window);
    if (sheet && sheet->window && VXIsWindowVisible(sheet->window, false)) VXInvalidateHierarchy(window);
}

int32_t DrawingTopToolsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXCreateEvent) {
        SetBackColor(window);
        VXSetDefaultControlSize(window, true);
        VXSetWindowControlsActive(window, false);
        CreateTopDrawingToolControls(window);
        return 0;
    }
    SheetRecord* sheet = SheetOfWindow(window);
    if (event->kind == kVXDestroyEvent) {
        if (sheet && sheet->libraryPane) {
            DestroyLibBrowser(sheet->libraryPane);
            sheet->libraryPane = nullptr;
        }
        return VXDefaultEventHandler(window, event);
    }
    if (!sheet) return VXDefaultEventHandler(window, event);
    switch (event->kind) {
        case kVXActivateEvent:
            if (NeedActivateInval(window, event)) {
                const bool active = event->u.activate.activated != 0;
                InvalidateTrackingSymbolImage();
                VXSetWindowControlsActive(window, active);
                if (LibBrowserRecord* pane = sheet->libraryPane)
                    for (VXWindowRecordTag* child : {pane->fileCaption, pane->fileList, pane->itemCaption,
                                                     pane->itemList, pane->symbolView})
                        if (child) {
                            VXSetWindowControlsActive(child, active);
                            VXInvalidateHierarchy(child);
                        }
            }
            if (event->u.activate.activated) {
                SetLibFilesProject(sheet->project, false);
                SynchBrowserWithCache(sheet->libraryPane);
            }
            return 1;
        case kVXUpdateEvent: PaintBackground(window); return 0;
        case kVXSizeEvent:
            PositionTopDrawingToolControls(window, sheet->topToolsExpanded != 0);
            return 1;
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent: {
            LibBrowserRecord* pane = sheet->libraryPane;
            const Point where = {event->u.mouse.v, event->u.mouse.h};
            const int32_t divider = pane ? HitTestBrowserViewDivider(pane, where) : -1;
            if (divider < 0) return VXDefaultEventHandler(window, event);
            sheet->topToolPaneWidths[divider ? 1 : 0] = uint16_t(TrackResizeBrowserPanel(window, pane, divider, where));
            return 1;
        }
        case kVXMouseMovedEvent: {
            LibBrowserRecord* pane = sheet->libraryPane;
            const Point where = {event->u.mouse.v, event->u.mouse.h};
            const bool over = pane && HitTestBrowserViewDivider(pane, where) >= 0;
            VXSetWindowCursor(window, over ? kResizeCursor : kArrowCursor);
            return 1;
        }
        case kVXTrackControlEvent: return TopToolsTrackControl(sheet, window, event);
        case kVXControlEvent: return TopToolsControlAction(sheet, window, event);
        default: return VXDefaultEventHandler(window, event);
    }
}

void ExpandCollapseTopDrawTools(VXWindowRecordTag* topToolBar, bool expand) {
    if (!topToolBar) return;
    SheetRecord* sheet = SheetOfWindow(topToolBar);
    if (sheet) sheet->topToolsExpanded = expand ? 1 : 0;
    VXSetDisclosureState(topToolBar, kTopToolDisclosure, expand);
    if (!VXResizeDividedChildWindow(topToolBar, expand ? kTopToolBarExpanded : kTopToolBarCollapsed)) return;
    PositionTopDrawingToolControls(topToolBar, expand);
    if (expand) {
        Rect below;
        VXGetClientRect(topToolBar, &below);
        below.top = kTopToolBarCollapsed;
        VXInvalRect(topToolBar, &below);
        if (sheet && !sheet->libraryPane) MakeLibraryPane(sheet, topToolBar);
    } else {
        SetDrawViewFocus(sheet);
        DropLibraryPane(sheet, topToolBar);
    }
}

void CreateSheetWindowToolTips(SheetRecord* sheet) {
    if (!sheet) return;
    char text[256];
    if (VXWindowRecordTag* palette = sheet->toolPalette) AddPaletteToolTips(palette);
    if (VXWindowRecordTag* bar = sheet->topToolBar) {
        for (const TopToolPlace& place : gTopToolsMap)
            if (*RetrieveToolTipMessage(place.id, text))
                VXAddToolTip(bar, -1, kVXControlToolTip, nullptr, place.id, text);
        VXAddToolTip(bar, -1, kVXControlToolTip, nullptr, kTopToolProjectContext, "Project Context");
    }
}

void UpdateDrawingToolPalettes() {
    const bool wanted = SubSheetToolShown();
    for (bool visible : {true, false}) {
        for (SheetRecord* sheet : SheetWindowSheets(visible)) {
            VXWindowRecordTag* palette = sheet->toolPalette;
            if (!palette || (VXGetControl(palette, int16_t(kDrawToolSubSheet), nullptr) != nullptr) == wanted)
                continue;
            if (!wanted && sheet->selectedTool == kDrawToolSubSheet) SetDrawingTool(sheet, kDrawToolSelect);
            const bool active = !(palette->status() & kVXStatusControlsInactive);
            for (uint16_t tool : gDrawingToolMap) VXDestroyControl(palette, int16_t(tool));
            CreatePaletteButtons(palette);
            LayOutPaletteButtons(palette);
            VXSetWindowControlsActive(palette, active);
            AddPaletteToolTips(palette);
            if (GetDrawingToolsWindow(sheet, sheet->selectedTool) == palette)
                VXSetButtonState(palette, int16_t(sheet->selectedTool), 1);
            VXInvalidateHierarchy(palette);
        }
    }
}

void SetupDrawingTools(SheetRecord* sheet) {
    if (!sheet) return;
    if (VXWindowRecordTag* bar = GetDrawingToolsWindow(sheet, sheet->selectedTool))
        VXSetButtonState(bar, int16_t(sheet->selectedTool), 1);
    if (sheet->topToolBar) VXSetButtonState(sheet->topToolBar, kTopToolSnap, sheet->view.snap ? 1 : 0);
    BuildParentChainList(sheet);
}

}  // namespace plexa
