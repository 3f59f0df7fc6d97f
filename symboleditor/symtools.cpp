#include "symboleditor/symtools.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "symboleditor/partdialogs.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symlists.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselection.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_treeview.h"
#include "toolkit/vx_window.h"

namespace plexa {

const uint16_t gSymbolEditToolMap[kSymToolCount] = {64, 128, 8, 1, 3, 4, 6, 7, 65, 5, 2};
const int16_t gSymbolEditToolIconMap[kSymToolCount] = {2006, 2007, 2008, 2009, 2010, 2011,
                                                       2012, 2013, 2014, 2015, 2016};
const int16_t gSymTopToolMap[kSymTopToolCount] = {2017, 2019, 2020, 2021, 2022, 2023, 2048, 2049, 2050};
const int16_t gSymTopToolGroupMap[kSymTopToolCount] = {0, 1, 2, 2, 2, 2, 3, 3, 3};
const uint32_t gSymTopToolFlagsMap[kSymTopToolCount] = {0x140000, 0x140000, 0x40000, 0x40000, 0x40000,
                                                        0x40000,  0x40000,  0x40000, 0x40000};

namespace {

constexpr uint32_t kToolBarBackColor = 0x0C000000;
constexpr int16_t kToolButtonSize = 29, kToolButtonStep = 31;
constexpr int16_t kTreeTop = 72, kTreeCaptionHeight = 17, kTreeRowHeight = 16;
constexpr uint16_t kListWindowKind = kSymbolEditorChildKind;
constexpr uint16_t kOptionKeyCode = 58;

// What the panes keep of an editor besides its record.
struct PaneState {
    VXWindowRecordTag* packagePane = nullptr;
    VXWindowRecordTag* headerPane = nullptr;  // the list's column titles, above its rows
    VXColumnHeaderRecord header = nullptr;
    Point savedScroll{};  // the drawing's (top, left) while a list is shown
    int32_t popupRow = -1;  // the list row whose popup menu is open
};
std::map<const SymbolEditorRecord*, PaneState> gPanes;

// The editor of a pane; a pane made with a new editor's window knows it before the editor is
// listed.
SymbolEditorRecord* PaneEditor(VXWindowRecordTag* window, const VXEventRecord* event) {
    if (SymbolEditorRecord* editor = WindowToSymbolEditor(window)) return editor;
    return event->kind == kVXCreateEvent ? static_cast<SymbolEditorRecord*>(window->refCon) : nullptr;
}

bool IsComponent(const SymbolEditorRecord* editor) { return editor->kind == kLibItemComponent; }

// Zoom Area with Option: out of zoom-area mode, back to the scale and view recorded before the
// last zoom-tool change (which records the view it leaves in turn). After a zoom, going back is
// a zoom step of its own for Undo; after an edit the edit's undo stays.
void ReturnToRecordedZoom(SymbolEditorRecord* editor) {
    editor->zoomMode = false;
    if (editor->topToolPane) VXSetButtonState(editor->topToolPane, kSymTopZoomArea, 0);
    if (GetSymbolEditorUndoKind(editor) == kSymUndoZoom) {
        StartSymbolEditorUndoCollection(editor, kSymUndoZoom);
        CollectUndoSetSymbolEditorView(editor);
        AcceptSymbolEditorUndoCollection(editor);
    }
    const auto show = GetSymbolEditorHooks().setScaledViewPosition;
    if (show && editor->window)
        editor->scale = uint16_t(show(editor->window, editor->zoomScale, editor->zoomView));
    SetEditViewCursor(editor);
}

// A pane along the window's side is put away (to the thinnest strip, hidden) while the content
// does not use it and comes back at its size: the window keeps its panes' places.
void ShowPane(VXWindowRecordTag* pane, int16_t size, bool show) {
    if (!pane) return;
    VXResizeDividedChildWindow(pane, show ? size : 1);
    VXSetChildWindowVisibility(pane, show);
}
VXWindowRecordTag* TreePane(const SymbolEditorRecord* editor) {
    return static_cast<VXWindowRecordTag*>(editor->partsTree);
}

void PaintBack(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = VXSetWindow(window);
    QZSetColor(window->graf.port, kToolBarBackColor, true);
    Rect r{};
    VXGetClientRect(window, &r);
    VXEraseRect(&r);
    if (previous && previous != window) VXSetWindow(previous);
}

void SetBack(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = VXSetWindow(window);
    QZSetColor(window->graf.port, kToolBarBackColor, true);
    if (previous && previous != window) VXSetWindow(previous);
}

bool IsTool(int16_t item) {
    return std::find(std::begin(gSymbolEditToolMap), std::end(gSymbolEditToolMap), uint16_t(item)) !=
           std::end(gSymbolEditToolMap);
}

std::vector<LibSection*> Sections(LibraryItem* item) {
    std::vector<LibSection*> out;
    for (auto* s = static_cast<LibSection*>(LLFirst(item->sections)); s; s = s->next) out.push_back(s);
    return out;
}

int32_t SectionsOfSymbol(LibraryItem* item, int32_t symbol) {
    int32_t n = 0;
    for (LibSection* s : Sections(item)) n += s->symbolIndex == symbol;
    return n;
}

// ---- Tools pane ----

void CreateToolButtons(SymbolEditorRecord* editor, VXWindowRecordTag* pane) {
    Rect client{};
    VXGetClientRect(pane, &client);
    const int16_t right = int16_t(client.right - 4);
    int16_t top = IsComponent(editor) ? 43 : 4;
    for (int32_t i = 0; i < kSymToolCount; ++i) {
        const uint16_t tool = gSymbolEditToolMap[i];
        const bool absent = !IsComponent(editor) && (tool == kSymEditToolText || tool == kSymEditToolPin);
        Rect r{top, int16_t(right - kToolButtonSize), int16_t(top + kToolButtonSize), right};
        if (absent) VXOffsetRect(&r, -200, 0);
        VXCreateControl(pane, kVXIconButton, &r, "", int16_t(tool), uint32_t(gSymbolEditToolIconMap[i]) | 0x140000);
        if (absent) VXSetItemEnabled(pane, int16_t(tool), false);
        else top = int16_t(top + kToolButtonStep);
    }
    VXSetButtonState(pane, int16_t(editor->tool), 1);
}

int32_t PartsTreeHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record);

// A pin-set selector, unmarked; a file symbol's editor keeps the pin set it has.
void CreatePinSetSelector(SymbolEditorRecord* editor, VXWindowRecordTag* pane, int16_t id, const Rect& rect) {
    VXCreateControl(pane, kVXPopup, &rect, "", id, 0x20000);
    BuildPinSetSelector(nullptr, pane, id, editor->pinSet, false);
    if (editor->state & kSymEditFileSymbol) VXSetItemEnabled(pane, id, false);
}

void CreateComponentControls(SymbolEditorRecord* editor, VXWindowRecordTag* pane) {
    Rect client{};
    VXGetClientRect(pane, &client);
    const Rect prefix{8, 6, 28, 62};
    VXCreateControl(pane, kVXEditText, &prefix, "", kSymPrefixItem, 0);
    char text[kLibRefPrefixSize];
    GetLibraryItemRefPrefix(editor->item, text);
    VXSetItemText(pane, kSymPrefixItem, text);
    CreatePinSetSelector(editor, pane, kSymPinSetItem, Rect{6, 66, 30, 134});
    const Rect newPart{44, 6, 66, 134};
    VXCreateControl(pane, kVXPushButton, &newPart, "New Part", kSymNewPartItem, 0);
    const Rect tree{int16_t(kTreeTop + kTreeCaptionHeight), 4, int16_t(std::max<int>(client.bottom - 4, 120)), 134};
    VXWindowRecordTag* list = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, pane, &tree, editor, InstanceListEventHandler);
    editor->partsTree = list;
    if (!list) return;
    VXInstallTreeView(list, GetTempDefaultStyle(28), kTreeRowHeight, 0, 0, PartsTreeHook);
    if (editor->item->head.symbolCount > 0) BuildPartsTree(editor);
}

void PartsTreeRowDraw(VXWindowRecordTag* window, VXListViewHookRecord* record);

int32_t PartsTreeHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    if (message == kVXListDrawItem) PartsTreeRowDraw(window, record);
    return 0;
}

void PartsTreeRowDraw(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    SymbolEditorRecord* editor = WindowToSymbolEditor(window);
    if (!editor || !record->item) return;
    VXTreeNode* node = *static_cast<VXTreeNode**>(record->item);
    const Rect& row = record->rect;
    const bool selected = VXGetListViewItemSelected(window, record->index);
    QZSetColor(nullptr, selected ? 0x12000000 : 0x00FFFFFF, false);
    VXRectDispatch(&row, 1);
    QZSetColor(nullptr, selected ? 0x13000000 : 0x00000000, false);
    char text[kLibItemTextSize];
    text[0] = 0;
    if (node->depth == 0) GetLibSymbolName(editor->item, int32_t(reinterpret_cast<intptr_t>(node->userData)), text);
    else GetLibSectionSuffix(static_cast<LibSection*>(node->userData), editor->item->stringBlock, text);
    // The one part of a single-part item has no suffix; its row still names it.
    if (node->depth > 0 && !text[0]) std::snprintf(text, sizeof text, "%s", "Default");
    VXMoveTo(int16_t(row.left + 20 + 10 * node->depth), int16_t(row.bottom - 4));
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), kEncodingUTF8);
}

}  // namespace

// ---- The list view of the list tabs ----

namespace {

struct Cell {
    int32_t field;  // the column of an editable cell; 0 for a cell only drawn
    int16_t left, right;  // right -1: the row's end
};

// The columns' positions (the grey lines) and the cells of each tab.
std::vector<int16_t> ColumnPositions(uint16_t tab) {
    switch (tab) {
        case kSymEditTabNames: return {72, 290};
        case kSymEditTabPackages: return {75, 210};
        case kSymEditTabPins: return {50, 180, 280};
        case kSymEditTabHiddenPins: return {120, 240};
        default: return {};
    }
}

std::vector<Cell> Cells(uint16_t tab) {
    switch (tab) {
        case kSymEditTabNames: return {{kListFieldName, 77, 288}};
        case kSymEditTabPackages: return {{kPackageFieldName, 77, 208}, {kPackageFieldFootprint, 212, -1}};
        case kSymEditTabPins:
            return {{0, 2, 48}, {0, 73, 178}, {kPinFieldNumber, 182, 278}, {kPinFieldName, 282, -1}};
        case kSymEditTabHiddenPins:
            return {{kHiddenFieldNumber, 22, 118}, {kHiddenFieldName, 122, 238}, {kHiddenFieldSignal, 242, -1}};
        default: return {};
    }
}

// The field a drawn-only Pins cell shows.
int32_t PinsDrawnField(int16_t left) { return left < 50 ? kPinFieldSlot : kPinFieldType; }

int32_t EditableFields(uint16_t tab) {
    switch (tab) {
        case kSymEditTabNames: return 1;
        case kSymEditTabPackages: return 2;
        case kSymEditTabPins: return 2;
        case kSymEditTabHiddenPins: return 3;
        default: return 0;
    }
}

Rect ArrowRect(const Rect& row, int16_t left, int16_t right) {
    const int16_t h = int16_t(row.left + (left + right) / 2 - 6), v = int16_t((row.top + row.bottom) / 2 - 6);
    return Rect{v, h, int16_t(v + 13), int16_t(h + 13)};
}

void DrawArrow(const Rect& r, bool enabled) {
    QZSetColor(nullptr, enabled ? kVXDefaultForeColor : 0x0ABBBBBB, false);
    for (int16_t i = 0; i < 4; ++i) {
        VXMoveTo(int16_t(r.left + 3 + i), int16_t(r.top + 5 + i));
        VXLineTo(int16_t(r.right - 4 - i), int16_t(r.top + 5 + i));
    }
}

void DrawCellText(const char* text, const Rect& row, int16_t left, int16_t right, VXColor color) {
    char buffer[kSymListCellSize];
    std::snprintf(buffer, sizeof buffer, "%s", text);
    const int16_t r = right < 0 ? row.right : int16_t(row.left + right);
    VXTruncString(buffer, sizeof buffer, r - row.left - left - 2, 0);
    QZSetColor(nullptr, color, false);
    VXMoveTo(int16_t(row.left + left + 2), int16_t(row.bottom - 5));
    VXDrawTextWithEncoding(buffer, int32_t(std::strlen(buffer)), 0x08000100);
}

void DrawListRow(SymbolEditorRecord* editor, VXWindowRecordTag* window, VXListViewHookRecord* record) {
    StdDrawHiliteEditListViewItem(window, record);
    const Rect& row = record->rect;
    const uint16_t tab = editor->currentTab;
    const std::vector<int16_t> columns = ColumnPositions(tab);
    DrawListRowGrid(row, columns);
    const int32_t index = record->index;
    bool hiddenRow = false;
    if (tab == kSymEditTabPins) {
        const auto& pins = GetPinListEditArray(editor);
        hiddenRow = index >= 0 && index < int32_t(pins.size()) && !pins[size_t(index)].section;
        DrawArrow(ArrowRect(row, 50, 73), true);
    }
    char text[kSymListCellSize];
    for (const Cell& cell : Cells(tab)) {
        if (record->te && cell.field != 0 && cell.field == record->column) continue;  // its edit field draws it
        const int32_t field = cell.field != 0 ? cell.field : PinsDrawnField(cell.left);
        GetSymbolEditorListText(editor, index, field, text);
        const bool blue = hiddenRow && cell.field == 0;
        DrawCellText(text, row, cell.left, cell.right, blue ? 0x030000FF : kVXDefaultForeColor);
    }
    LibraryItem* item = editor->item;
    if (tab == kSymEditTabNames) {
        if (index == editor->primaryName) DrawCellText("\xE2\x9C\x93", row, 30, 72, kVXDefaultForeColor);
        const bool packages = item->head.packageCount > 0;
        DrawArrow(ArrowRect(row, 294, 311), packages);
        if (packages) {
            char name[kLibItemTextSize];
            GetLibPackageName(item, GetLibraryItemNameInfo(item, index, nullptr), name);
            DrawCellText(name, row, 319, -1, kVXDefaultForeColor);
        }
    } else if (tab == kSymEditTabPackages) {
        DrawArrow(ArrowRect(row, 20, 43), !(editor->state & kSymEditFileSymbol));
        std::snprintf(text, sizeof text, "%d", GetLibPackagePinSet(item, index) + 1);
        DrawCellText(text, row, 45, 73, kVXDefaultForeColor);
    }
    QZSetColor(nullptr, kVXDefaultForeColor, false);
}

// The editable field under a point of a row (0 none).
int32_t FieldAt(uint16_t tab, int16_t x) {
    for (const Cell& cell : Cells(tab))
        if (cell.field != 0 && x >= cell.left && (cell.right < 0 || x < cell.right)) return cell.field;
    return 0;
}

int32_t ListMouseDown(SymbolEditorRecord* editor, VXWindowRecordTag* window, VXListViewHookRecord* record) {
    if (!record->event) return 0;
    if (record->index < 0) {
        if (editor->currentTab == kSymEditTabHiddenPins) EnableHiddenPinAttributes(editor, false);
        return 0;
    }
    Rect row;
    VXGetListViewItemRect(window, record->index, &row);
    const int16_t x = int16_t(record->event->u.mouse.longH - row.left);
    const uint16_t tab = editor->currentTab;
    if (tab == kSymEditTabNames && x < 72) {
        for (int32_t r = 0; r < VXCountListViewItems(window); ++r) VXSetListViewItemSelected(window, r, false);
        const int32_t old = editor->primaryName;
        if (SetDefaultItemName(editor, record->index)) {
            VXInvalListViewItem(window, old);
            VXInvalListViewItem(window, record->index);
        }
        return kVXListClickHandled;
    }
    std::vector<int32_t> selected;
    for (int32_t r = VXGetListViewSelection(window, -1); r >= 0; r = VXGetListViewSelection(window, r + 1)) selected.push_back(r);
    const auto popup = [&](int16_t left, int16_t right, const char* title, const std::vector<std::string>& items,
                           int32_t checked) -> uint16_t {
        const Rect arrow = ArrowRect(row, left, right);
        gPanes[editor].popupRow = record->index;
        VXInvalListViewItem(window, record->index);
        const uint16_t chosen = TrackListPopupMenu(window, Point{arrow.bottom, arrow.left}, title,
                                                   kListMenuFirstCommand, items, checked);
        gPanes[editor].popupRow = -1;
        VXInvalListViewItem(window, record->index);
        return chosen;
    };
    LibraryItem* item = editor->item;
    if (tab == kSymEditTabPins && x >= 48 && x < 75) {
        PinListEntry entry{};
        Handle data = GetIndexedPinData(item->pinTable, int32_t(GetPinListDataId(editor, record->index, &entry, nullptr)));
        if (!data) return kVXListClickHandled;
        const uint8_t type = GetPinDataType(data, true);
        if (const uint16_t command = popup(50, 73, "Pin Type", PinTypeNames(type), type & 0x3F))
            if (DoSymbolEditorListCommand(editor, command, record->index, selected)) VXInvalidateHierarchy(window);
        return kVXListClickHandled;
    }
    if (tab == kSymEditTabNames && x >= 292 && x < 314) {
        if (item->head.packageCount == 0) return kVXListClickHandled;  // swallowed
        std::vector<std::string> packages;
        char name[kLibItemTextSize];
        for (int32_t p = 0; p < item->head.packageCount; ++p) {
            GetLibPackageName(item, p, name);
            packages.push_back(name);
        }
        if (const uint16_t command = popup(294, 311, "Package", packages, GetLibraryItemNameInfo(item, record->index, nullptr)))
            if (DoSymbolEditorListCommand(editor, command, record->index, selected)) VXInvalidateHierarchy(window);
        return kVXListClickHandled;
    }
    if (tab == kSymEditTabPackages && x >= 18 && x < 45) {
        if (editor->state & kSymEditFileSymbol) return kVXListClickHandled;
        const uint16_t command = popup(20, 43, "Pin Set", {"1", "2", "3", "4"}, GetLibPackagePinSet(item, record->index));
        const int32_t pinSet = command ? command - kListMenuFirstCommand : -1;
        if (pinSet >= 0 && pinSet < kLibPinSetCount && DoPinSetSelection(editor, pinSet)) {
            SetLibPackagePinSet(item, record->index, pinSet);
            VXInvalListViewItem(window, record->index);
            SetSymbolLibItemModified(editor);
        }
        return kVXListClickHandled;
    }
    if (tab == kSymEditTabHiddenPins && record->event->kind == kVXDoubleClickEvent &&
        VXCountListViewSelections(window) == 1) {
        EditHiddenPinAttributes(editor);
        return kVXListClickHandled;
    }
    record->column = int16_t(FieldAt(tab, x));
    return 0;
}

}  // namespace

int32_t EditListsFunnelHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    SymbolEditorRecord* editor = SymbolEditorOfList(window);
    if (!editor || !editor->item) return 0;
    const uint16_t tab = editor->currentTab;
    switch (message) {
        case kVXListDrawItem:
        case kVXListDrawItem + 1:
            DrawListRow(editor, window, record);
            return 1;
        case kVXListMouseDown: return ListMouseDown(editor, window, record);
        case kVXListClickInEditor: {
            // The edit field is wider than its cell: a click beside the cell belongs to the row.
            Rect row;
            VXGetListViewItemRect(window, record->index, &row);
            const int16_t x = int16_t(record->event->u.mouse.longH - row.left);
            for (const Cell& cell : Cells(tab))
                if (cell.field == record->column && (x < cell.left || (cell.right >= 0 && x >= cell.right))) return 2;
            return 0;
        }
        case kVXListEditNavigate:
            if (!VXFlushListViewEditField(window)) return 0;
            CreateNewListEntryIfNeeded(editor);
            RefreshSymbolEditorList(editor);
            return 0x180000 | EditableFields(tab);
        case kVXListEditRect:
            for (const Cell& cell : Cells(tab))
                if (cell.field == record->column) {
                    record->rect = Rect{1, cell.left, int16_t(record->rowHeight > 0 ? record->rowHeight - 2 : 15),
                                        int16_t(cell.right < 0 ? cell.left + 400 : cell.right)};
                    record->fieldWidth = int16_t(tab == kSymEditTabNames ? 600 : tab == kSymEditTabPackages ? 800
                                                 : tab == kSymEditTabHiddenPins && record->column != kHiddenFieldNumber ? 800
                                                                                                      : 400);
                }
            return 0;
        case kVXListFetchText: GetSymbolEditorListText(editor, record->index, record->column, record->text); return 0;
        case kVXListEditState:
            if (record->param.value == 0) {  // the cell being left
                CreateNewListEntryIfNeeded(editor);
                RefreshSymbolEditorList(editor);
            } else if (tab == kSymEditTabHiddenPins) {  // a hidden pin's cell entered
                EnableHiddenPinAttributes(editor, true);
            }
            return 2;
        case kVXListDirtyTest: {
            char old[kSymListCellSize];
            GetSymbolEditorListText(editor, record->index, record->column, old);
            return std::strcmp(old, record->text) == 0 ? 1 : 0;
        }
        case kVXListCommit:
            if (CommitSymbolEditorListText(editor, record->index, record->column, record->text)) {
                if (tab == kSymEditTabPins) VXInvalidateHierarchy(window);
                return 1;
            }
            GetSymbolEditorListText(editor, record->index, record->column, record->text);
            return 2;  // the old text back, still in edit
        case kVXListTextChanged: SetSymbolLibItemModified(editor); return 0;
        default: return 0;
    }
}

// The list view's events: the pin type and default package commands, and Delete or Backspace.
static int32_t EditListViewHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolEditorRecord* editor = SymbolEditorOfList(window);
    if (!editor) return 0;
    std::vector<int32_t> selected;
    for (int32_t r = VXGetListViewSelection(window, -1); r >= 0; r = VXGetListViewSelection(window, r + 1))
        selected.push_back(r);
    if (event->kind == kVXCloseEvent)
        return editor->window && editor->drawingHandler ? editor->drawingHandler(editor->window, event) : 0;
    if (event->kind == kVXActivateEvent) {
        if (event->u.activate.activated) DoSymbolEditorActivate(editor);
        else (void)VXFlushListViewEditField(window);  // a refused text stays in its cell
        return 0;
    }
    if (event->kind == kVXControlEvent && event->u.control.controlType == kVXListBox) {
        // The rows chosen changed: the attributes are those of one hidden pin.
        if (editor->currentTab == kSymEditTabHiddenPins) EnableHiddenPinAttributes(editor, selected.size() == 1);
        return 0;
    }
    if (event->kind == kVXCommandEvent) {
        const uint16_t command = event->u.command.command;
        if (command < kListMenuFirstCommand || command > kListMenuFirstCommand + 255) return 0;
        if (DoSymbolEditorListCommand(editor, command, gPanes[editor].popupRow, selected)) VXInvalidateHierarchy(window);
        gPanes[editor].popupRow = -1;
        return 1;
    }
    if (event->kind == kVXCharEvent && VXGetListViewEditFocus(window, nullptr, nullptr, nullptr) < 0 &&
        editor->currentTab != kSymEditTabPins) {
        const uint16_t key = event->u.character.character;
        if (key == 8 || key == 127) {
            DeleteSymbolEditorListRows(editor, selected);
            VXDeleteListViewItemData(window, 0, -1);
            RefreshSymbolEditorList(editor);
            if (editor->currentTab == kSymEditTabHiddenPins) EnableHiddenPinAttributes(editor, false);
        }
        return 1;
    }
    return 0;
}

void ClickSymbolEditorListHeader(SymbolEditorRecord* editor, int32_t column) {
    if (editor->currentTab != kSymEditTabPins || column < 0 || column > 3) return;
    SetPinListSortField(gPinFieldMap[column]);
    SetSymbolEditorView(editor, kSymEditTabPins, editor->pinSet);
}

void PrepareSymbolEditorList(SymbolEditorRecord* editor, VXWindowRecordTag* list) {
    SetSymbolEditorListWindow(editor, list);
    if (!list) return;
    gPanes[editor].popupRow = -1;
    if (!VXGetListViewRecord(list))
        VXInstallListView(list, nullptr, 18, sizeof(int32_t), kVXListEditCells | kVXListMultiSelect, EditListsFunnelHook);
    VXSetListViewEventHook(list, EditListViewHandler);
    if (editor->currentTab == kSymEditTabPins) BuildPinListEditArray(editor);
    CreateNewListEntryIfNeeded(editor);
    VXDeleteListViewItemData(list, 0, -1);
    RefreshSymbolEditorList(editor);
    if (VXCountListViewItems(list) > 0) (void)VXSetListViewEditFocus(list, 0, 1);  // 0 when the window is gone
}

// ---- Pin sets ----

void BuildPinSetSelector(LibraryItem* item, VXWindowRecordTag* pane, int16_t id, int32_t pinSet, bool redraw) {
    if (!pane) return;
    const int32_t count = VXCountListItems(pane, id);
    if (count) VXRemoveListItem(pane, id, 0, count);
    bool used[4] = {};
    if (item) {
        const int32_t packages = item->head.packageCount;
        if (!packages) used[0] = true;
        for (int32_t i = 0; i < packages; ++i) {
            const auto* p = reinterpret_cast<const LibPackage*>(*item->packages) + i;
            if (p->pinSet < 4) used[p->pinSet] = true;
        }
    }
    for (int32_t i = 0; i < 4; ++i) {
        char label[8];
        std::snprintf(label, sizeof label, "%d ", int(i + 1));
        VXAddListItem(pane, id, label, i);
        if (used[i]) VXSetListButtonItemFace(pane, id, i, 9);
    }
    VXSelectListItem(pane, id, std::clamp(pinSet, 0, 3), true);
    if (redraw) VXInvalidateHierarchy(pane);
}

// ---- Panes ----

int16_t CreateSymbolEditorTools(SymbolEditorRecord* editor, bool show) {
    const int16_t width = IsComponent(editor) ? kSymToolsWidthComponent : kSymToolsWidthOther;
    if (!editor->toolPane && editor->window)
        editor->toolPane = VXCreateDividedChildWindow(nullptr, 0, 0, editor->window, width, 4, editor,
                                                      SymbolEditToolsHandler);
    if (show) ShowPane(editor->toolPane, width, true);
    return width;
}

int16_t CreateSymbolEditorTopTools(SymbolEditorRecord* editor, bool show) {
    if (!editor->topToolPane && editor->window)
        editor->topToolPane = VXCreateDividedChildWindow(nullptr, 0, 0, editor->window, kSymTopToolsHeight, 0, editor,
                                                         SymbolEditTopToolsHandler);
    if (VXWindowRecordTag* bar = editor->topToolPane) {
        VXSetItemVisible(bar, kSymAltSymbolItem, IsComponent(editor));
        VXSetItemChecked(bar, kSymAltSymbolItem, editor->viewContext);
        if (show) ShowPane(bar, kSymTopToolsHeight, true);
    }
    return kSymTopToolsHeight;
}

void CreateSymbolEditorToolTips(SymbolEditorRecord* editor) {
    char text[256];
    if (VXWindowRecordTag* pane = editor->toolPane)
        for (uint16_t tool : gSymbolEditToolMap)
            if (VXGetControl(pane, int16_t(tool), nullptr) && *RetrieveToolTipMessage(tool, text))
                VXAddToolTip(pane, -1, kVXControlToolTip, nullptr, int16_t(tool), text);
    if (VXWindowRecordTag* bar = editor->topToolPane)
        for (int16_t id : gSymTopToolMap)
            if (VXGetControl(bar, id, nullptr) && *RetrieveToolTipMessage(id, text))
                VXAddToolTip(bar, -1, kVXControlToolTip, nullptr, id, text);
}

bool CreateSymbolEditorPanes(SymbolEditorRecord* editor) {
    if (!editor->window) return false;
    editor->tabPane = VXCreateDividedChildWindow(nullptr, 0, 0, editor->window, kSymTabBarHeight, 0, editor,
                                                 SymbolEditTabsHandler);
    CreateSymbolEditorTopTools(editor, true);
    CreateSymbolEditorTools(editor, true);
    CreateSymbolEditorToolTips(editor);
    return editor->tabPane && editor->toolPane && editor->topToolPane;
}

void ForgetSymbolEditorPanes(SymbolEditorRecord* editor) {
    auto it = gPanes.find(editor);
    if (it == gPanes.end()) return;
    if (it->second.header) VXDestroyColumnHeader(it->second.header);
    gPanes.erase(it);
}

void SetSymbolEditorFocus(SymbolEditorRecord* editor) {
    if (editor->window) VXSetFocusWindow(editor->window, true);
}

int32_t SymbolEditorMarkedLineWidth(SymbolEditorRecord* editor) {
    int32_t elements = 0;
    ElementRecord* single = nullptr;
    CountSymbolEditorSelection(editor, &elements, &single, nullptr, nullptr, nullptr, nullptr);
    if (elements == 0) return editor->penWidth;
    return elements == 1 && single ? single->penWidth : 0;
}

// ---- Views ----

void SetSymbolEditorView(SymbolEditorRecord* editor, uint16_t view, int32_t pinSet) {
    if (view < kSymEditTabDrawing || view > kSymEditTabHiddenPins) return;
    if (view == editor->currentTab && pinSet == -1) return;
    PaneState& panes = gPanes[editor];
    const uint16_t from = editor->currentTab;
    if (from != kSymEditTabDrawing) {
        if (!FlushSymbolEditorList(editor, false)) {
            if (editor->tabPane) VXSetSelectedSegment(editor->tabPane, kSymTabsItem, from - 1);
            return;
        }
        if (from == kSymEditTabPins) {
            InstallPinDataCopiesInNodes(editor);
            InstallPinNumbersInNodes(editor);
            ResetSymbolEditorPinText(editor);
        }
        if (view != from && panes.header) {
            VXDestroyColumnHeader(panes.header);
            panes.header = nullptr;
        }
        const bool pinViews = view == kSymEditTabPins || view == kSymEditTabHiddenPins;
        if (!pinViews) ShowPane(panes.packagePane, kSymTopToolsHeight, false);
        if (view == kSymEditTabDrawing) ShowPane(panes.headerPane, kSymListHeaderHeight, false);
    }
    VXWindowRecordTag* window = editor->window;
    if (from == kSymEditTabDrawing && view != kSymEditTabDrawing) {
        editor->zoomMode = false;
        DestroySymbolEditorTE(editor);
        ClearSymbolEditorSelection(editor);
        FlushNodeDataToLibItem(editor);
        if (window) {
            Rect shown{};
            VXGetViewRect(window, &shown);
            panes.savedScroll = Point{shown.top, shown.left};
        }
        ShowPane(editor->toolPane, CreateSymbolEditorTools(editor, false), false);
        ShowPane(editor->topToolPane, kSymTopToolsHeight, false);
        if (window) {
            VXSetScalePercent(window, 100, 100);
            VXSetAltSize(window, 0, 0);  // the lists have no rulers; the editor keeps its choice
        }
    }
    if (view != kSymEditTabDrawing) {
        if (window && from == kSymEditTabDrawing) {
            window->typeID = kListWindowKind;
            VXSetPadSize(window, 0, 0, false);
        }
        const bool pinViews = view == kSymEditTabPins || view == kSymEditTabHiddenPins;
        // The package pane comes first, so that the column titles stay right above the rows.
        if (window && !panes.packagePane) {
            panes.packagePane = VXCreateDividedChildWindow(nullptr, 0, 0, window, kSymTopToolsHeight, 0, editor,
                                                           SymbolEditPkgSelHandler);
            if (!pinViews) ShowPane(panes.packagePane, kSymTopToolsHeight, false);
        }
        if (window && pinViews) {
            ShowPane(panes.packagePane, kSymTopToolsHeight, true);
            if (panes.packagePane) {
                // Disabled until a row is chosen or a cell entered.
                VXSetItemEnabled(panes.packagePane, kSymPkgAttributesItem, false);
                VXSetItemVisible(panes.packagePane, kSymPkgAttributesItem, view == kSymEditTabHiddenPins);
            }
        }
        if (window && !panes.headerPane) {
            panes.headerPane = VXCreateDividedChildWindow(nullptr, 0, 0, window, kSymListHeaderHeight, 0, editor,
                                                          SymbolEditListHeaderHandler);
            ShowPane(panes.headerPane, kSymListHeaderHeight, true);
        } else if (from == kSymEditTabDrawing) {
            ShowPane(panes.headerPane, kSymListHeaderHeight, true);
        }
        if (pinSet == -1 || !panes.header) {
            struct Column {
                uint16_t x;
                const char* title;
            };
            static const std::vector<Column> kColumns[7] = {
                {}, {},
                {{0, ""}, {20, "Primary"}, {75, "Name"}, {290, "Default Package"}},
                {{0, ""}, {20, "Pin Set"}, {75, "Package Name"}, {210, "Footprint"}},
                {{0, ""}, {18, ""}, {40, "Attribute Name"}, {160, "Attribute Data"}},
                {{0, "Slot"}, {50, "Pin Type"}, {180, "Pin Number"}, {280, "Pin Name"}},
                {{0, ""}, {20, "Pin Number"}, {120, "Pin Name"}, {240, "Signal Name"}},
            };
            if (panes.header) VXDestroyColumnHeader(panes.header);
            const Rect band{0, 0, 17, 600};
            panes.header = VXCreateColumnHeader(GetTempDefaultStyle(28), &band);
            for (const Column& c : kColumns[view])
                if (panes.header) (void)VXAddHeaderColumnEx(panes.header, c.x, c.title, 0);
        } else if (pinSet < kLibPinSetCount) {
            // The list is rebuilt for the given pin set, which DoPinSetSelection has made ready.
            editor->pinSet = int16_t(pinSet);
        }
        editor->currentTab = view;
        if (panes.headerPane) VXInvalidateHierarchy(panes.headerPane);
        // The list view of the tab, its rows and its cell editing.
        PrepareSymbolEditorList(editor, window);
        if (window) VXInvalidateHierarchy(window);
    } else {
        if (window) {
            VXUnInstallListView(window);
            VXSetWindowEventHandler(window, editor->drawingHandler);
            window->typeID = kSymbolEditorWindowKind;
            VXSetPadSize(window, kSymbolEditorSurface.right, kSymbolEditorSurface.bottom, false);
            VXSetScalePercent(window, editor->scale, editor->scale);
            if (const auto rulers = GetSymbolEditorHooks().hideShowRulers) rulers(window, editor->rulers);
        }
        editor->currentTab = kSymEditTabDrawing;
        CreateSymbolEditorTopTools(editor, true);
        CreateSymbolEditorTools(editor, true);
        if (window) {
            VXScrollTo(window, panes.savedScroll.h, panes.savedScroll.v);
            VXInvalidateHierarchy(window);
        }
        BuildPartsTree(editor);
        SetPartViewSelection(editor, editor->section, true);
    }
    SetEditViewCursor(editor);
}

// ---- Parts tree ----

VXTreeNode* GetPartsTreeSymbolBranch(VXWindowRecordTag* tree, int32_t symbol) {
    if (!tree) return nullptr;
    return VXGetIndexedTreeNodeChild(tree, nullptr, symbol);
}

namespace {

VXTreeNode* FindSectionNode(VXWindowRecordTag* tree, LibSection* section) {
    for (VXTreeNode* branch = VXGetTopLevelTreeNode(tree); branch; branch = branch->next)
        for (VXTreeNode* node = VXGetTreeNodeChild(branch); node; node = node->next)
            if (node->userData == section) return node;
    return nullptr;
}

}  // namespace

int32_t GetPartsTreeSectionIndex(VXWindowRecordTag* tree, LibSection* section) {
    VXTreeNode* node = tree ? FindSectionNode(tree, section) : nullptr;
    return node ? VXGetTreeNodeListViewIndex(node) : -1;
}

void BuildPartsTree(SymbolEditorRecord* editor) {
    VXWindowRecordTag* tree = TreePane(editor);
    if (!tree || !IsComponent(editor)) return;
    VXEmptyTreeView(tree);
    for (int32_t k = 0; k < editor->item->head.symbolCount; ++k) {
        VXTreeNode* branch = VXInsertNewTreeNode(tree, nullptr, k, reinterpret_cast<void*>(intptr_t(k)));
        if (!branch) return;
        int32_t n = 0;
        for (LibSection* s : Sections(editor->item))
            if (s->symbolIndex == k) VXInsertNewTreeNode(tree, branch, n++, s);
        VXExposeTreeViewBranch(tree, branch);
    }
    VXInvalidateHierarchy(tree);
}

void SetPartViewSelection(SymbolEditorRecord* editor, LibSection* section, bool reveal) {
    VXWindowRecordTag* tree = TreePane(editor);
    if (!tree || !section) return;
    VXTreeNode* node = FindSectionNode(tree, section);
    if (!node) return;
    if (VXGetTreeNodeListViewIndex(node) < 0) VXExposeTreeViewBranch(tree, node->parent);
    const int32_t row = VXGetTreeNodeListViewIndex(node);
    const int32_t rows = VXCountListViewItems(tree);
    for (int32_t i = 0; i < rows; ++i) VXSetListViewItemSelected(tree, i, i == row);
    if (reveal && row >= 0) VXRevealListViewItem(tree, row, false);
    VXInvalidateHierarchy(tree);
}

void DeletePartSection(SymbolEditorRecord* editor, VXTreeNode* node) {
    VXWindowRecordTag* tree = TreePane(editor);
    auto* section = node ? static_cast<LibSection*>(node->userData) : nullptr;
    if (!node || node->depth != 1 || !section) return;
    if (SectionsOfSymbol(editor->item, section->symbolIndex) < 2) {
        VXBeep();
        return;
    }
    VXTreeNode* replacement = node->next;
    if (!replacement)
        for (VXTreeNode* sibling = VXGetTreeNodeChild(node->parent); sibling && sibling != node; sibling = sibling->next)
            replacement = sibling;
    auto* next = static_cast<LibSection*>(replacement->userData);
    SetSymbolEditorSlot(editor, next);
    if (section->symbolIndex == editor->symbol) DeleteSectionPinNumbersFromNodes(editor, section);
    RemoveSectionFromLibItem(editor->item, section, true);
    if (tree) VXDeleteTreeNode(tree, node, true);
    SetPartViewSelection(editor, editor->section, true);
    SetSymbolLibItemModified(editor);
}

void DeletePartSymbol(SymbolEditorRecord* editor, VXTreeNode* node) {
    VXWindowRecordTag* tree = TreePane(editor);
    const int32_t count = editor->item->head.symbolCount;
    if (!node || node->depth != 0 || count < 2) return;
    const auto k = int32_t(reinterpret_cast<intptr_t>(node->userData));
    if (k == editor->symbol) SetSymbolEditorSymbol(editor, k == count - 1 ? k - 1 : k + 1, nullptr);
    DeleteLibSymbolDef(editor->item, k);
    if (tree) VXDeleteTreeNode(tree, node, true);
    if (editor->symbol > k) --editor->symbol;
    if (tree)
        for (VXTreeNode* branch = VXGetTopLevelTreeNode(tree); branch; branch = branch->next) {
            const auto index = int32_t(reinterpret_cast<intptr_t>(branch->userData));
            if (index > k) branch->userData = reinterpret_cast<void*>(intptr_t(index - 1));
        }
    SetPartViewSelection(editor, editor->section, true);
    SetSymbolLibItemModified(editor);
}

bool DeleteSelectedPart(SymbolEditorRecord* editor) {
    VXWindowRecordTag* tree = TreePane(editor);
    const int32_t row = tree ? VXGetListViewSelection(tree, -1) : -1;
    VXTreeNode* node = row >= 0 ? VXGetIndexedTreeViewNode(tree, row) : nullptr;
    if (!node) return false;
    if (node->depth == 0) DeletePartSymbol(editor, node);
    else DeletePartSection(editor, node);
    return true;
}

bool PartsTreeHasFocus(SymbolEditorRecord* editor) {
    VXWindowRecordTag* tree = TreePane(editor);
    VXWindowRecordTag* keyboard = nullptr;
    if (!tree || !editor->window) return false;
    VXGetFocusWindow(editor->window, &keyboard, nullptr);
    return keyboard == tree;
}

void DoNewPart(SymbolEditorRecord* editor, bool option) {
    SetSymbolEditorFocus(editor);
    if (VXWindowRecordTag* tree = TreePane(editor)) VXSetFocusWindow(tree, true);
    if (int32_t(Sections(editor->item).size()) >= kMaxSections) {
        VXDisplayMessage(kNoMorePartsMessage);
        return;
    }
    if (!option) {
        NewPartSlotDialog(editor);
        return;
    }
    char designator[3];
    if (!GetUniqueSectionDesignator(editor->item, designator)) return;
    LibSection* section = NewLibItemSection(editor, editor->symbol, designator);
    if (!section) return;
    SetSymbolEditorSlot(editor, section);
    BuildPartsTree(editor);
    SetPartViewSelection(editor, section, true);
}

// ---- Handlers ----

int32_t SymbolEditTabsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolEditorRecord* editor = PaneEditor(window, event);
    switch (event->kind) {
        case kVXCreateEvent: {
            SetBack(window);
            Rect r{};
            VXGetClientRect(window, &r);
            VXInsetRect(&r, 7, 2);
            if (r.right - r.left < 300) r.right = int16_t(r.left + 560);
            VXCreateControl(window, kVXSegmented, &r, "", kSymTabsItem, 0x20000);
            const bool component = editor ? IsComponent(editor) : true;
            static const char* const kComponentTabs[] = {"Symbols", "Names", "Packages", "Attributes", "  Pins  ",
                                                         "Hidden Pins"};
            static const char* const kOtherTabs[] = {"Symbol", "Names"};
            const int32_t count = component ? 6 : 2;
            VXSetSegmentCount(window, kSymTabsItem, count);
            for (int32_t i = 0; i < count; ++i)
                VXSetSegmentName(window, kSymTabsItem, i, component ? kComponentTabs[i] : kOtherTabs[i]);
            VXSetSelectedSegment(window, kSymTabsItem, 0);
            return 0;
        }
        case kVXUpdateEvent: PaintBack(window); return 0;
        case kVXActivateEvent: VXSetWindowControlsActive(window, event->u.activate.activated != 0); return 1;
        case kVXControlEvent:
            if (editor && event->u.control.item == uint16_t(kSymTabsItem)) {
                SetSymbolEditorView(editor, uint16_t(event->u.control.values.pair.second + 1), -1);
                return 1;
            }
            return 0;
        default: return editor ? 0 : VXDefaultEventHandler(window, event);
    }
}

int32_t SymbolEditToolsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolEditorRecord* editor = PaneEditor(window, event);
    if (event->kind == kVXDestroyEvent) {
        if (editor && editor->toolPane == window) {
            editor->toolPane = nullptr;
            editor->partsTree = nullptr;
        }
        return VXDefaultEventHandler(window, event);
    }
    if (!editor) return VXDefaultEventHandler(window, event);
    switch (event->kind) {
        case kVXCreateEvent:
            SetBack(window);
            editor->toolPane = window;
            CreateToolButtons(editor, window);
            if (IsComponent(editor)) CreateComponentControls(editor, window);
            return 0;
        case kVXUpdateEvent: {
            PaintBack(window);
            if (IsComponent(editor)) {
                Rect r{};
                VXGetClientRect(window, &r);
                VXWindowRecordTag* previous = VXSetWindow(window);
                VXPenNormal();
                QZSetColor(nullptr, 0x00808080, false);
                VXMoveTo(int16_t(r.right - 39), 37);
                VXLineTo(int16_t(r.right - 39), r.bottom);
                VXMoveTo(0, 37);
                VXLineTo(200, 37);
                if (editor->partsTree) {
                    const Rect caption{kTreeTop, 4, int16_t(kTreeTop + kTreeCaptionHeight), 134};
                    VXDrawCaptionHeader(&caption, "Parts", GetTempDefaultStyle(28));
                }
                if (previous && previous != window) VXSetWindow(previous);
            }
            return 0;
        }
        case kVXActivateEvent:
            VXSetWindowControlsActive(window, event->u.activate.activated != 0);
            VXInvalidateHierarchy(window);
            return 1;
        case kVXCharEvent:
            if (event->u.character.character == kKeyEscape) {
                SetSymbolEditorFocus(editor);
                SetSymbolEditorTool(editor, kSymEditToolSelect);
                return 1;
            }
            return 0;
        case kVXCommandEvent: {
            const uint16_t command = event->u.command.command;
            if (command >= 302 && command <= 305) {
                VXWindowRecordTag* focus = nullptr;
                VXGetFocusWindow(window, nullptr, &focus);
                return focus == window ? VXDefaultEventHandler(window, event) : 0;
            }
            return 0;
        }
        case kVXTrackControlEvent:
            // While its menu is open the selector marks the pin sets the packages use.
            if (event->u.track.item == uint16_t(kSymPinSetItem))
                BuildPinSetSelector(editor->item, window, kSymPinSetItem, editor->pinSet, false);
            return 0;
        case kVXTrackingEndEvent:
            if (event->u.trackingEnd.item == uint16_t(kSymPinSetItem))
                BuildPinSetSelector(nullptr, window, kSymPinSetItem, editor->pinSet, true);
            return 0;
        case kVXControlEvent: {
            const auto item = int16_t(event->u.control.item);
            if (item == kSymPinSetItem) {
                const int32_t choice = event->u.control.values.pair.second;
                if (!DoPinSetSelection(editor, choice)) VXSelectListItem(window, kSymPinSetItem, editor->pinSet, true);
                BuildPinSetSelector(nullptr, window, kSymPinSetItem, editor->pinSet, true);
                return 1;
            }
            if (item == kSymPrefixItem) {
                char text[256];
                VXGetItemText(window, kSymPrefixItem, text);
                text[31] = 0;
                std::string prefix = text;
                while (!prefix.empty() && prefix.front() == ' ') prefix.erase(prefix.begin());
                while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
                if (SetLibraryItemRefPrefix(editor->item, prefix.c_str())) SetSymbolLibItemModified(editor);
                return 1;
            }
            if (item == kSymNewPartItem) {
                DoNewPart(editor, VXTestKey(kOptionKeyCode));
                return 1;
            }
            if (IsTool(item)) {
                SetSymbolEditorFocus(editor);
                SetSymbolEditorTool(editor, uint16_t(item));
                if (item == kSymEditToolPin && VXTestKey(56)) AlignNodes(editor);
                return 1;
            }
            return 0;
        }
        default: return 0;
    }
}

int32_t SymbolEditTopToolsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolEditorRecord* editor = PaneEditor(window, event);
    if (event->kind == kVXDestroyEvent) {
        if (editor && editor->topToolPane == window) editor->topToolPane = nullptr;
        return VXDefaultEventHandler(window, event);
    }
    if (!editor) return VXDefaultEventHandler(window, event);
    switch (event->kind) {
        case kVXCreateEvent: {
            SetBack(window);
            editor->topToolPane = window;
            Rect fill{};
            for (int32_t i = 0; i < kSymTopToolCount; ++i) {
                const auto right = int16_t(35 + 31 * i + 8 * gSymTopToolGroupMap[i]);
                const Rect r{4, int16_t(right - kToolButtonSize), 33, right};
                VXCreateControl(window, kVXIconButton, &r, "", gSymTopToolMap[i],
                                gSymTopToolFlagsMap[i] | uint32_t(gSymTopToolMap[i]));
                if (gSymTopToolMap[i] == kSymTopFillColor) fill = r;
            }
            VXSetButtonState(window, kSymTopSnap, editor->gridLock ? 1 : 0);
            const Rect alt{int16_t(fill.top + 4), int16_t(fill.right + 10), int16_t(fill.top + 18),
                           int16_t(fill.right + 110)};
            VXCreateControl(window, kVXCheckBox, &alt, "Alt. Symbol", kSymAltSymbolItem, 0);
            return 0;
        }
        case kVXUpdateEvent: PaintBack(window); return 0;
        case kVXActivateEvent:
            VXSetWindowControlsActive(window, event->u.activate.activated != 0);
            return 1;
        case kVXTrackControlEvent: {
            const auto item = int16_t(event->u.track.item);
            const SymbolEditorHooks& hooks = GetSymbolEditorHooks();
            Rect button{};
            VXGetItemPosition(window, item, &button);
            if ((item == kSymTopOutlineColor || item == kSymTopFillColor) && hooks.trackColorPopup) {
                VXSetButtonState(window, item, 1);
                hooks.trackColorPopup(window, &button, item == kSymTopFillColor);
                if (VXGetWindowFromId(window->windowID) == window) VXSetButtonState(window, item, 0);
                return 1;
            }
            if (item == kSymTopLineWidth && hooks.trackLineWidthPopup) {
                hooks.trackLineWidthPopup(window, &button, event, SymbolEditorMarkedLineWidth(editor));
                return 1;
            }
            return 0;
        }
        case kVXControlEvent: {
            const auto item = int16_t(event->u.control.item);
            switch (item) {
                case kSymTopRotateLeft:
                case kSymTopRotateRight:
                case kSymTopMirrorH:
                case kSymTopMirrorV: {
                    SetSymbolEditorFocus(editor);
                    int32_t elements = 0, texts = 0, frames = 0;
                    CountSymbolEditorSelection(editor, &elements, nullptr, &texts, nullptr, &frames, nullptr);
                    if (elements + texts + frames == 0) return 1;
                    const int32_t code = item == kSymTopRotateLeft    ? 3
                                         : item == kSymTopRotateRight ? 1
                                         : item == kSymTopMirrorH     ? 4
                                                                      : 6;
                    (void)TransformSymbolEditorSelection(editor, kSelectionCentre, code);
                    return 1;
                }
                case kSymTopSnap:
                    editor->gridLock = !editor->gridLock;
                    VXSetButtonState(window, kSymTopSnap, editor->gridLock ? 1 : 0);
                    return 1;
                case kSymTopZoomArea:
                    if (VXTestKey(kOptionKeyCode) && editor->zoomScale) {
                        ReturnToRecordedZoom(editor);
                        return 1;
                    }
                    if (editor->zoomMode) {
                        editor->zoomMode = false;
                        VXSetButtonState(window, kSymTopZoomArea, 0);
                    } else {
                        editor->zoomMode = true;
                        VXSetButtonState(window, kSymTopZoomArea, 1);
                    }
                    SetEditViewCursor(editor);
                    return 1;
                case kSymAltSymbolItem:
                    SetSymbolViewContext(editor, VXGetItemChecked(window, kSymAltSymbolItem) ? 1 : 0);
                    if (editor->window) VXInvalidateHierarchy(editor->window);
                    return 1;
                default: return 0;
            }
        }
        default: return 0;
    }
}

// The column titles of the list tabs; a click on one of the Pins tab sorts by its column.
int32_t SymbolEditListHeaderHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolEditorRecord* editor = PaneEditor(window, event);
    if (!editor) return VXDefaultEventHandler(window, event);
    VXColumnHeaderRecord header = gPanes[editor].header;
    switch (event->kind) {
        case kVXUpdateEvent:
            PaintBack(window);
            if (header) {
                VXWindowRecordTag* previous = VXSetWindow(window);
                VXDrawColumnHeader(header);
                if (previous && previous != window) VXSetWindow(previous);
            }
            return 1;
        case kVXMouseDownEvent:
            if (header) ClickSymbolEditorListHeader(editor, VXTrackColumnHeader(window, header, event));
            return 1;
        default: return VXDefaultEventHandler(window, event);
    }
}

void EnableHiddenPinAttributes(SymbolEditorRecord* editor, bool enable) {
    const auto panes = gPanes.find(editor);
    if (panes != gPanes.end() && panes->second.packagePane)
        VXSetItemEnabled(panes->second.packagePane, kSymPkgAttributesItem, enable);
}

int32_t SymbolEditPkgSelHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolEditorRecord* editor = PaneEditor(window, event);
    if (!editor) return VXDefaultEventHandler(window, event);
    switch (event->kind) {
        case kVXCreateEvent: {
            SetBack(window);
            CreatePinSetSelector(editor, window, kSymPkgPinSetItem, Rect{6, 8, 30, 76});
            const Rect attributes{6, 86, 30, 236};
            VXCreateControl(window, kVXPushButton, &attributes, "Pin Attributes...", kSymPkgAttributesItem, 0);
            VXSetItemEnabled(window, kSymPkgAttributesItem, false);
            VXSetItemVisible(window, kSymPkgAttributesItem, editor->currentTab == kSymEditTabHiddenPins);
            return 0;
        }
        case kVXUpdateEvent: PaintBack(window); return 0;
        case kVXTrackControlEvent:
            if (event->u.track.item == uint16_t(kSymPkgPinSetItem))
                BuildPinSetSelector(editor->item, window, kSymPkgPinSetItem, editor->pinSet, false);
            return 0;
        case kVXTrackingEndEvent:
            if (event->u.trackingEnd.item == uint16_t(kSymPkgPinSetItem))
                BuildPinSetSelector(nullptr, window, kSymPkgPinSetItem, editor->pinSet, true);
            return 0;
        case kVXControlEvent: {
            const auto item = int16_t(event->u.control.item);
            if (item == kSymPkgPinSetItem) {
                if (!DoPinSetSelection(editor, event->u.control.values.pair.second))
                    VXSelectListItem(window, kSymPkgPinSetItem, editor->pinSet, true);
                BuildPinSetSelector(nullptr, window, kSymPkgPinSetItem, editor->pinSet, true);
                return 1;
            }
            if (item == kSymPkgAttributesItem) {
                EditHiddenPinAttributes(editor);
                return 1;
            }
            return 0;
        }
        default: return 0;
    }
}

int32_t InstanceListEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    // The tree view calls this first; what is not handled here is the tree's.
    SymbolEditorRecord* editor = WindowToSymbolEditor(window);
    if (event->kind == kVXDestroyEvent) {
        if (editor && editor->partsTree == window) editor->partsTree = nullptr;
        return 0;
    }
    if (!editor) return 0;
    switch (event->kind) {
        case kVXCharEvent: {
            const uint16_t key = event->u.character.character;
            if (key == kKeyEscape) {
                SetSymbolEditorFocus(editor);
                SetSymbolEditorTool(editor, kSymEditToolSelect);
                return 1;
            }
            if (VXIsDeletionChar(key)) {
                const int32_t row = VXGetListViewSelection(window, -1);
                VXTreeNode* node = row >= 0 ? VXGetIndexedTreeViewNode(window, row) : nullptr;
                if (!node) return 1;
                const bool lastSection = node->depth == 1 &&
                                         SectionsOfSymbol(editor->item, static_cast<LibSection*>(node->userData)->symbolIndex) < 2;
                if (!event->u.character.shift && !lastSection &&
                    VXStandardAlert(kDeletePartsQuestion, nullptr, "Delete", "Cancel") != kVXAlertFirstButton)
                    return 1;
                (void)DeleteSelectedPart(editor);
                return 1;
            }
            return 0;
        }
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent: {
            VXSetFocusWindow(window, true);  // the keyboard goes to the tree: Delete, Clear
            const int32_t row = VXListViewItemFromPoint(window, event->u.mouse.v, false);
            VXTreeNode* node = row >= 0 && row != kVXListBeyondRows ? VXGetIndexedTreeViewNode(window, row) : nullptr;
            if (!node) return 0;
            auto* section = node->depth == 1 ? static_cast<LibSection*>(node->userData) : nullptr;
            if (event->kind == kVXDoubleClickEvent) {
                // A section's row names its slot; a definition's row opens that definition's part
                // symbol dialog.
                if (section && editor->item) {
                    const int32_t index = LLGetLinkPosition(editor->item->sections, section);
                    if (index >= 0) PartNameDialog(editor, window, row, -index - 1);
                } else if (!section) {
                    PartNameDialog(editor, window, row, int32_t(reinterpret_cast<intptr_t>(node->userData)));
                }
                return 1;
            }
            if (section) SetSymbolEditorSlot(editor, section);
            return 0;
        }
        default: return 0;
    }
}

// ---- Pin sets ----

bool AskCreatePinSet(int32_t pinSet) {
    char message[128];
    std::snprintf(message, sizeof message, kCreatePinSetMessage, int(pinSet));
    return VXStandardAlert(message, "", kCreatePinSetButton, "Cancel") == kVXAlertFirstButton;
}

bool DoPinSetSelection(SymbolEditorRecord* editor, int32_t pinSet) {
    if (pinSet < 0 || pinSet >= kLibPinSetCount) return false;
    if (!editor->pinSets[pinSet]) {
        if (!AskCreatePinSet(pinSet + 1)) return false;
        if (editor->currentTab == kSymEditTabDrawing) {
            FlushNodeDataToLibItem(editor);
            const NodePinEditor context = SymbolEditorPinContext(editor);
            for (ElementRecord* pin : ViewPins(editor->elementLists[kSymbolViewPrimary]))
                CopyNodePinSet(&context, ElementAs<NodeElement>(pin)->pinNumbers, editor->pinSet, pinSet);
        }
        if (!AllocateLibItemPinSet(editor->item, pinSet, editor->pinSet)) return false;
        editor->pinSets[pinSet] = 1;
    }
    if (editor->currentTab == kSymEditTabPackages) return true;
    if (editor->currentTab == kSymEditTabDrawing) SetSymbolEditorPinSet(editor, pinSet);
    else SetSymbolEditorView(editor, editor->currentTab, pinSet);
    return true;
}

}  // namespace plexa
