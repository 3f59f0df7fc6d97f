// List views: installation, the item records and their selection, rows and scrolling, drawing
// through the hook, and the mouse and keys while no cell is edited.
#include "toolkit/vx_listview.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_itemdrag.h"
#include "toolkit/vx_listview_internal.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"

namespace plexa {

namespace {

constexpr int32_t kNoDirtyRow = 0x7FFFFFFF;
constexpr uint16_t kKeyUp = 0xF700, kKeyDown = 0xF701, kKeyHome = 0xF729, kKeyEnd = 0xF72B,
                   kKeyPageUp = 0xF72C, kKeyPageDown = 0xF72D, kKeyEnter = 3, kKeyEscape = 27;

// The type-ahead string shared by every list view: its owner and the time of its last key.
struct TypeAhead {
    char text[64] = {};
    int32_t length = 0;
    int32_t ownerID = 0;
    uint32_t lastTicks = 0;
};
TypeAhead gTypeAhead;

void ClearTypeAhead() { gTypeAhead = TypeAhead{}; }

int16_t Clamp16(int64_t v) { return int16_t(std::clamp<int64_t>(v, -0x8000, 0x7FFF)); }

VXListViewRecord* L(VXWindowRecordTag* window) {
    return window ? static_cast<VXListViewRecord*>(
                        VXGetWindowClassInfo(window, kVXListViewClassCode))
                  : nullptr;
}

bool Drawing(const VXListViewRecord* list) { return list->drawCount >= 0; }

// The last row shown (at most the last item), -1 for none.
int32_t LastVisible(const VXListViewRecord* list) {
    return std::min(list->topRow + list->visibleRows - 1, list->count - 1);
}

void RecountSelection(VXListViewRecord* list) {
    list->selCount = int32_t(std::count(list->selection.begin(), list->selection.end(), 1));
}

// The view from a row down.
void InvalFrom(VXWindowRecordTag* window, VXListViewRecord* list, int32_t row) {
    const int32_t top = std::max<int32_t>(0, (row - list->topRow)) * list->rowHeight;
    const int32_t height = ListViewHeight(window);
    if (top >= height) return;
    InvalListRect(window, {Clamp16(top), 0, Clamp16(height), Clamp16(list->width)});
}

void InvalAll(VXWindowRecordTag* window, VXListViewRecord* list) { InvalFrom(window, list, list->topRow); }

void SetBar(VXWindowRecordTag* window, VXListViewRecord* list) {
    VXSetPadScrollerProperties(window, 0, list->topRow, list->count - list->maxTopRow,
                               list->count);
}

void UpdateScrollBar(VXWindowRecordTag* window, VXListViewRecord* list) {
    const int32_t height = ListViewHeight(window);
    const int32_t old = list->visibleRows;
    list->visibleRows = std::max(0, height / list->rowHeight);
    list->maxTopRow = std::max(0, list->count - list->visibleRows);
    if ((list->features & kVXListPartialRowVisible) && height % list->rowHeight) ++list->visibleRows;
    if (list->visibleRows != old && Drawing(list))
        InvalFrom(window, list, list->topRow + std::min(old, list->visibleRows));
    SetBar(window, list);
    if (list->topRow > list->maxTopRow) {
        list->topRow = list->maxTopRow;
        VXListViewHookRecord record{};
        record.param.value = list->topRow;
        SendListHook(window, list, kVXListTopRowChanged, -1, &record);
        if (list->editColumn > 0) SetupTERects(window, list, true);
        if (Drawing(list)) InvalAll(window, list);
    }
}

// The list changed from a row on.
void ListViewChanged(VXWindowRecordTag* window, VXListViewRecord* list, int32_t first) {
    if (!Drawing(list)) {
        list->dirtyRow = std::min(list->dirtyRow, std::max(first, 0));
        return;
    }
    const int32_t top = list->topRow;
    UpdateScrollBar(window, list);
    if (list->topRow != top)
        InvalAll(window, list);
    else if (VXIsWindowVisible(window, false) && first <= list->topRow + list->visibleRows)
        InvalFrom(window, list, std::max(first, list->topRow));
}

// Scrolls to a new top row: by a bar part (0 ... 7) with the bar's value or a wheel amount, or
// to an absolute row (part -1).
void DoScroll(VXWindowRecordTag* window, VXListViewRecord* list, int32_t part, double value,
              int32_t row) {
    if (list->maxTopRow < 1) return;
    int64_t top = list->topRow;
    bool setBar = true;
    switch (part) {
        case -1: top = row; break;
        case 0: top -= 1; break;
        case 1: top += 1; break;
        case 2: top -= std::max(1, list->visibleRows - 1); break;
        case 3: top += std::max(1, list->visibleRows - 1); break;
        case 4:
        case 5:
            top = std::lround(value * list->maxTopRow);
            setBar = false;
            break;
        case 7: {
            const double rows = value / list->rowHeight + (value < 0 ? -0.5 : 0.5);
            int64_t n = int64_t(rows);
            if (n == 0 && value != 0) n = value < 0 ? -1 : 1;
            top += n;
            break;
        }
        default: return;
    }
    const int32_t newTop = int32_t(std::clamp<int64_t>(top, 0, list->maxTopRow));
    if (setBar || part == -1) {
        const int32_t keep = list->topRow;
        list->topRow = newTop;
        SetBar(window, list);
        list->topRow = keep;
    }
    if (newTop == list->topRow) return;
    const int32_t old = list->topRow;
    list->topRow = newTop;
    if (Drawing(list)) {
        const int64_t dv = int64_t(old - newTop) * list->rowHeight;
        VXPanelRecordTag* panel = VXGetWindowPanel(window);
        if (panel && std::llabs(dv) <= 5000) {
            VXScrollPanelContents(panel, 0, int32_t(dv), list->rowHeight, false, nullptr);
            VXTranslateUpdateRegion(panel, 0, int32_t(dv));
        }
        InvalAll(window, list);
    } else {
        list->dirtyRow = 0;
    }
    VXListViewHookRecord record{};
    record.param.value = newTop;
    SendListHook(window, list, kVXListTopRowChanged, -1, &record);
    if (list->editColumn > 0) SetupTERects(window, list, true);
}

// Selects or deselects one row; false when nothing changed.
bool DoSelectItem(VXWindowRecordTag* window, VXListViewRecord* list, int32_t row, bool select) {
    if (row < 0 || row >= list->count) return false;
    if (!select && row == list->dragRow) return false;
    if ((list->selection[size_t(row)] != 0) == select) return false;
    list->selection[size_t(row)] = select ? 1 : 0;
    if (list->showSelection) InvalListRow(window, list, row);
    list->selCount += select ? 1 : -1;
    return true;
}

void FreeItems(VXWindowRecordTag* window, VXListViewRecord* list) {
    list->drawCount = -1;
    if (list->features & kVXListReportDeletions) VXDeleteListViewItemData(window, 0, -1);
}

void ReleaseRecord(VXListViewRecord* list) {
    DisposeListViewEditor(list);
    if (list->items) MemFree(list->items);
    list->items = nullptr;
    if (list->textStyle) {
        FreeTextStyleSuballocations(nullptr, list->textStyle);
        DestroyTextStyle(list->textStyle);
    }
    list->textStyle = nullptr;
    list->selection.clear();
    list->count = list->selCount = 0;
}

// Puts the window's procedures and panel back as they were before the list was installed.
void RestoreWindow(VXWindowRecordTag* window, VXListViewRecord* list) {
    if (window->eventProc == VXListViewEventHandler) window->eventProc = list->nextHandler;
    if (window->prepCommandProc == VXListViewPrepCommand) window->prepCommandProc = list->nextPrep;
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        panel->flags = (panel->flags & ~kVXPanelNoVerticalScroll) |
                       (list->savedPanelFlags & kVXPanelNoVerticalScroll);
        panel->lineIncrement = list->savedLineIncrement;
        VXViewFrameChanged(panel, false);
    }
}

// Selects exactly the rows between a and b; the others are deselected.
void SelectRange(VXWindowRecordTag* window, VXListViewRecord* list, int32_t a, int32_t b) {
    const int32_t lo = std::min(a, b), hi = std::max(a, b);
    for (int32_t i = 0; i < list->count; ++i) DoSelectItem(window, list, i, i >= lo && i <= hi);
}

// Moves the selection to a row after a key (navigation or type-ahead).
void KeySelect(VXWindowRecordTag* window, VXListViewRecord* list, int32_t row, bool extend) {
    bool changed = false;
    if (!extend) {
        for (int32_t i = 0; i < list->count; ++i)
            if (i != row && list->selection[size_t(i)]) changed |= DoSelectItem(window, list, i, false);
    }
    if (!list->selection[size_t(row)]) {
        if (!(list->features & kVXListMultiSelect)) DeselectAllItems(window, list);
        changed |= DoSelectItem(window, list, row, true);
    }
    VXRevealListViewItem(window, row, false);
    if (changed) SendListControlAction(window, list, -1, false);
}

int32_t ListKey(VXWindowRecordTag* window, VXListViewRecord* list, VXEventRecord* event) {
    const uint16_t key = event->u.character.character;
    VXListViewHookRecord record{};
    record.event = event;
    const int32_t first = VXGetListViewSelection(window, 0);
    const int32_t answer = SendListHook(window, list, kVXListKey, first, &record);
    if (answer & kVXListKeyHandled) {
        if (answer & kVXListKeyBeep) VXBeep();
        return 1;
    }
    const bool multi = (list->features & kVXListMultiSelect) != 0;
    const bool shift = event->u.character.shift != 0 && multi;
    if (key == kKeyUp || key == kKeyDown || key == kKeyHome || key == kKeyEnd ||
        key == kKeyPageUp || key == kKeyPageDown) {
        ClearTypeAhead();
        if (list->count == 0) return 1;
        int32_t base = first;
        if (key == kKeyDown && multi && base >= 0)
            for (int32_t i = list->count - 1; i >= 0; --i)
                if (list->selection[size_t(i)]) {
                    base = i;
                    break;
                }
        const int32_t page = std::max(1, list->visibleRows - 1);
        int64_t row = base;
        if (base < 0)
            row = key == kKeyEnd ? list->count - 1 : 0;
        else if (key == kKeyUp)
            row = base - 1;
        else if (key == kKeyDown)
            row = base + 1;
        else if (key == kKeyPageUp)
            row = int64_t(base) - page;
        else if (key == kKeyPageDown)
            row = int64_t(base) + page;
        else if (key == kKeyHome)
            row = 0;
        else
            row = list->count - 1;
        const int32_t target = int32_t(std::clamp<int64_t>(row, 0, list->count - 1));
        if (target == base && (list->selCount <= 1 || shift)) return 1;
        KeySelect(window, list, target, shift);
        return 1;
    }
    if (key < 0x20 || key > 0xFE || key == 0x7F) {
        ClearTypeAhead();
        return 0;
    }
    const uint32_t now = VXGetTicks();
    if (gTypeAhead.ownerID != window->windowID || ElapsedTicksBetween(gTypeAhead.lastTicks, now) > 75)
        ClearTypeAhead();
    gTypeAhead.ownerID = window->windowID;
    gTypeAhead.lastTicks = now;
    // At most 60 bytes are kept; a longer run of keys is ignored.
    const int32_t bytes = key < 0x80 ? 1 : 2;
    if (gTypeAhead.length + bytes > 60) return 1;
    if (key < 0x80) {
        gTypeAhead.text[gTypeAhead.length++] = char(key);
    } else {
        gTypeAhead.text[gTypeAhead.length++] = char(0xC0 | (key >> 6));
        gTypeAhead.text[gTypeAhead.length++] = char(0x80 | (key & 0x3F));
    }
    gTypeAhead.text[gTypeAhead.length] = 0;
    char text[64];
    std::memcpy(text, gTypeAhead.text, sizeof text);
    VXListViewHookRecord match{};
    match.text = text;
    match.index = -1;
    if (SendListHook(window, list, kVXListTypeAhead, -2, &match) == 1 && match.index >= 0 &&
        match.index < list->count)
        KeySelect(window, list, match.index, false);
    return 1;
}

int32_t ListScroll(VXWindowRecordTag* window, VXListViewRecord* list, VXEventRecord* event) {
    if (event->kind == kVXScrollToEvent) {
        event->u.scrollTo.v = 0;
        return 0;
    }
    auto& s = event->u.scroll;
    if (s.part == 7) {
        if (s.amount != 0) DoScroll(window, list, 7, s.amount, 0);
        if (s.value2 == 0) return 1;
        s.amount = 0;
        return 0;
    }
    if (s.axis != 0) return 0;
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    DoScroll(window, list, s.part, panel ? panel->scrollers[0].value : 0.0, 0);
    return 1;
}

}  // namespace

VXListViewRecord::~VXListViewRecord() { ReleaseRecord(this); }

// ---- Shared helpers ----

int32_t ListViewHeight(VXWindowRecordTag* window) {
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window))
        return std::max(0, int32_t(std::lround(panel->paneBounds.height)));
    Rect r;
    VXGetViewRect(window, &r);
    return std::max(0, r.bottom - r.top);
}

int32_t ListViewWidth(VXWindowRecordTag* window) {
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window))
        return std::max(0, int32_t(std::lround(panel->paneBounds.width)));
    Rect r;
    VXGetViewRect(window, &r);
    return std::max(0, r.right - r.left);
}

Rect ListRowRect(const VXListViewRecord* list, int32_t index) {
    if (index < 0) return {0, 0, 0, 0};
    const int64_t top = int64_t(index - int64_t(list->topRow)) * list->rowHeight;
    return {Clamp16(top), 0, Clamp16(top + list->rowHeight), list->width};
}

bool ListRowVisible(const VXListViewRecord* list, int32_t index) {
    return index >= list->topRow && index <= LastVisible(list) && index >= 0;
}

int32_t SendListHook(VXWindowRecordTag* window, VXListViewRecord* list, int32_t message,
                     int32_t index, VXListViewHookRecord* record) {
    if (!list->hook || !record) return 0;
    if (index != -2) {
        record->index = index;
        const bool inside = index >= 0 && index < list->count;
        record->item = inside && list->items && list->itemSize > 0
                           ? *list->items + size_t(index) * size_t(list->itemSize)
                           : nullptr;
        record->rect = inside ? ListRowRect(list, index) : Rect{0, 0, 0, 0};
        record->selected = inside && list->selection[size_t(index)] ? 1 : 0;
    }
    record->rowHeight = list->rowHeight;
    record->width = list->width;
    record->drawing = Drawing(list) ? 1 : 0;
    const int32_t id = window->windowID;
    const int8_t pane = window->graf.geometry.pane;
    window->graf.geometry.pane = -1;
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    const int32_t result = list->hook(window, message, record);
    if (VXWindowRecordTag* w = VXGetWindowFromId(id)) w->graf.geometry.pane = pane;
    if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
    return result;
}

void InvalListRect(VXWindowRecordTag* window, const Rect& rect) {
    if (RectIsEmpty(rect)) return;
    VXInvalRect(window, &rect);
}

void InvalListRow(VXWindowRecordTag* window, VXListViewRecord* list, int32_t index) {
    if (!Drawing(list)) {
        list->dirtyRow = std::min(list->dirtyRow, index);
        return;
    }
    if (!ListRowVisible(list, index)) return;
    Rect r = ListRowRect(list, index);
    r.right = Clamp16(std::max<int32_t>(r.right, ListViewWidth(window)));
    InvalListRect(window, r);
}

void DeselectAllItems(VXWindowRecordTag* window, VXListViewRecord* list) {
    if (list->selCount == 0) return;
    for (int32_t i = 0; i < list->count; ++i) DoSelectItem(window, list, i, false);
}

void SendListControlAction(VXWindowRecordTag* window, VXListViewRecord* list, int32_t row,
                           bool doubleClick) {
    if (!list->nextHandler) return;
    VXEventRecord action = VXClearedEvent(kVXControlEvent);
    action.u.control.controlType = 7;
    action.u.control.values.listBox.first = row;
    action.u.control.values.listBox.second = doubleClick ? 1 : 0;
    list->nextHandler(window, &action);
}

// ---- Installation and options ----

VXListViewRecord* VXGetListViewRecord(VXWindowRecordTag* window) { return L(window); }

int16_t VXInstallListView(VXWindowRecordTag* window, const txStyle* style, int16_t rowHeight,
                          int32_t itemSize, uint32_t features, VXListViewHookProc hook) {
    if (!window || L(window)) return rowHeight;
    auto* list = new (std::nothrow) VXListViewRecord;
    if (!list) return rowHeight;
    // The given style, or the window's own.
    list->textStyle = CreateTextStyle(nullptr, style ? style : window->graf.textStyle);
    if (!list->textStyle) {
        delete list;
        return rowHeight;
    }
    list->itemSize = std::max(0, itemSize);
    if (list->itemSize > 0 && !(list->items = AllocHandle(nullptr, 0))) {
        delete list;
        return rowHeight;
    }
    list->hook = hook;
    list->features = features;
    list->dirtyRow = kNoDirtyRow;
    if (rowHeight < 1) {
        int16_t line = 0, ascent = 0, descent = 0;
        VXTECalcStyleMetrics(list->textStyle, &line, &ascent, &descent);
        // The editor's line height holds three units of leading of its own.
        rowHeight = int16_t(std::max(1, (line - 3) - rowHeight));
    }
    list->rowHeight = rowHeight;
    VXSetWindowClassInfo(window, list, kVXListViewClassCode);
    list->nextHandler = window->eventProc;
    window->eventProc = VXListViewEventHandler;
    list->nextPrep = window->prepCommandProc;
    window->prepCommandProc = VXListViewPrepCommand;
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        list->savedPanelFlags = panel->flags;
        list->savedLineIncrement = panel->lineIncrement;
        panel->flags |= kVXPanelNoVerticalScroll;
        panel->lineIncrement = list->rowHeight;
        list->scroller = &panel->scrollers[0];
    }
    list->showSelection = 1;
    list->editItem = -1;
    list->dragRow = -1;
    window->graf.geometry.pane = -1;
    list->width = Clamp16(std::max(window->padWidth, ListViewWidth(window)));
    if (features & kVXListTrimHeight) VXAutoSizeListView(window);
    if (features & kVXListEditCells) CreateListViewEditor(window, list);
    UpdateScrollBar(window, list);
    return list->rowHeight;
}

void VXUnInstallListView(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    if (!list) return;
    const int32_t id = window->windowID;
    FreeItems(window, list);
    if (!(window = VXGetWindowFromId(id)) || !(list = L(window))) return;
    RestoreWindow(window, list);
    VXDestroyWindowClassInfo(window, kVXListViewClassCode);
}

VXEventProc VXSetListViewEventHook(VXWindowRecordTag* window, VXEventProc proc) {
    VXListViewRecord* list = L(window);
    if (!list) return nullptr;
    VXEventProc old = list->nextHandler;
    list->nextHandler = proc;
    return old;
}

VXWindowPrepCommandProc VXSetListViewPrepCommand(VXWindowRecordTag* window,
                                                 VXWindowPrepCommandProc proc) {
    VXListViewRecord* list = L(window);
    if (!list) return nullptr;
    VXWindowPrepCommandProc old = list->nextPrep;
    list->nextPrep = proc;
    return old;
}

uint32_t VXChangeListViewOptions(VXWindowRecordTag* window, uint32_t options, uint32_t mask) {
    VXListViewRecord* list = L(window);
    if (!list) return 0;
    const uint32_t old = list->features;
    constexpr uint32_t kChangeable =
        kVXListMultiSelect | kVXListClickBelowKeepsSelection | kVXListExtendSelect;
    list->features &= ~(mask & kChangeable);
    list->features |= options & mask & kChangeable;
    return old;
}

bool VXSetListViewMultiSelect(VXWindowRecordTag* window, bool on) {
    return (VXChangeListViewOptions(window, on ? kVXListMultiSelect : 0, kVXListMultiSelect) &
            kVXListMultiSelect) != 0;
}

bool VXSetListViewExtendSelect(VXWindowRecordTag* window, bool on) {
    return (VXChangeListViewOptions(window, on ? kVXListExtendSelect : 0, kVXListExtendSelect) &
            kVXListExtendSelect) != 0;
}

void VXSetListViewTextStyle(VXWindowRecordTag* window, const txStyle* style) {
    VXListViewRecord* list = L(window);
    if (!list || !style || !list->textStyle) return;
    InstallStyleInStyle(style, list->textStyle, 0xFFFFFFFF);
    if (list->editTE) VXTESetStyle(style, 0xFFFFFFFF, list->editTE);
}

int16_t VXGetListViewCellHeight(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    return list ? list->rowHeight : 0;
}

void VXSetListViewCellHeight(VXWindowRecordTag* window, int16_t height) {
    VXListViewRecord* list = L(window);
    if (!list || height < 2 || height == list->rowHeight) return;
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window))
        if (panel->lineIncrement == list->rowHeight) panel->lineIncrement = height;
    list->rowHeight = height;
    UpdateScrollBar(window, list);
    if (list->editColumn > 0) SetupTERects(window, list, false);
    if (VXIsWindowVisible(window, false) && Drawing(list)) InvalAll(window, list);
}

void VXAutoSizeListView(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    if (!list || !window->platformWindow) return;
    const int32_t excess = ListViewHeight(window) % list->rowHeight;
    if (excess == 0) return;
    Rect position;
    VXGetWindowPosition(window, &position);
    position.bottom = Clamp16(position.bottom - excess);
    VXSetWindowPosition(window, &position);
    UpdateScrollBar(window, list);
}

// ---- Items ----

int32_t VXCountListViewItems(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    return list ? list->count : 0;
}

Handle VXGetListViewCellData(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    return list ? list->items : nullptr;
}

int32_t VXInsertListViewItemData(VXWindowRecordTag* window, int32_t index, const void* records,
                                 int32_t n) {
    VXListViewRecord* list = L(window);
    if (!list || n <= 0 || n > 0x7FFFFFFF - list->count) return -1;
    if (index < 0 || index >= list->count) index = list->count;
    if (list->items) {
        const int64_t bytes = int64_t(n) * list->itemSize;
        const int64_t offset = int64_t(index) * list->itemSize;
        if (bytes > 0x7FFFFFFF || offset + bytes > 0x7FFFFFFF ||
            !InsertInHandle(list->items, int32_t(offset), records, int32_t(bytes)))
            return -1;
    }
    try {
        list->selection.insert(list->selection.begin() + index, size_t(n), uint8_t(0));
    } catch (const std::bad_alloc&) {
        // Out of memory: the records go again and the list stays as it was.
        if (list->items)
            DeleteFromHandle(list->items, int32_t(int64_t(index) * list->itemSize),
                             int32_t(int64_t(n) * list->itemSize));
        return -1;
    }
    list->count += n;
    // The edited and dragged rows move with their items.
    if (list->editItem >= index) {
        list->editItem += n;
        SetupTERects(window, list, true);
    }
    if (list->dragRow >= index) list->dragRow += n;
    ListViewChanged(window, list, index);
    return index;
}

void VXDeleteListViewItemData(VXWindowRecordTag* window, int32_t first, int32_t n) {
    VXListViewRecord* list = L(window);
    if (!list || first < 0 || first >= list->count) return;
    if (n < 0 || n > list->count - first) n = list->count - first;
    if (n == 0) return;
    const int32_t id = window->windowID;
    if (list->features & kVXListReportDeletions) {
        for (int32_t i = first + n - 1; i >= first; --i) {
            VXListViewHookRecord record{};
            SendListHook(window, list, kVXListItemDeleted, i, &record);
            if (!(window = VXGetWindowFromId(id)) || !(list = L(window))) return;
        }
        // The hook may have changed the list meanwhile.
        if (first >= list->count) return;
        n = std::min(n, list->count - first);
    }
    // A cell of a removed row ends its editing without a commit: the row is gone.
    if (list->editItem >= first && list->editItem < first + n) {
        if (list->editTE) VXTEDeactivate(list->editTE);
        list->editItem = -1;
        list->editColumn = 0;
        SetupTERects(window, list, false);
    } else if (list->editItem >= first + n) {
        list->editItem -= n;
        SetupTERects(window, list, true);
    }
    if (list->dragRow >= first && list->dragRow < first + n)
        list->dragRow = -1;
    else if (list->dragRow >= first + n)
        list->dragRow -= n;
    if (list->items)
        DeleteFromHandle(list->items, int32_t(int64_t(first) * list->itemSize),
                         int32_t(int64_t(n) * list->itemSize));
    list->selection.erase(list->selection.begin() + first, list->selection.begin() + first + n);
    list->count -= n;
    RecountSelection(list);
    ListViewChanged(window, list, first);
}

int32_t VXGetListViewItemData(VXWindowRecordTag* window, int32_t index, void* buffer) {
    VXListViewRecord* list = L(window);
    if (!list || !list->items || index < 0 || index >= list->count) return 0;
    if (buffer)
        std::memcpy(buffer, *list->items + size_t(index) * size_t(list->itemSize),
                    size_t(list->itemSize));
    return list->itemSize;
}

void VXSetListViewItemData(VXWindowRecordTag* window, int32_t index, const void* record) {
    VXListViewRecord* list = L(window);
    if (!list || !list->items || index < 0 || index >= list->count) return;
    char* at = *list->items + size_t(index) * size_t(list->itemSize);
    if (record)
        std::memmove(at, record, size_t(list->itemSize));
    else
        std::memset(at, 0, size_t(list->itemSize));
    InvalListRow(window, list, index);
}

// ---- Selection ----

bool VXSetListViewItemSelected(VXWindowRecordTag* window, int32_t index, bool select) {
    VXListViewRecord* list = L(window);
    if (!list) return false;
    if (index == -1) {
        if (list->features & kVXListMultiSelect) {
            if (list->editColumn > 0 && !VXSetListViewEditFocus(window, -1, 0)) return false;
            const int32_t before = list->selCount;
            const int32_t last = LastVisible(list);
            for (int32_t i = list->topRow; i <= last; ++i) DoSelectItem(window, list, i, select);
            std::fill(list->selection.begin(), list->selection.end(), uint8_t(select ? 1 : 0));
            list->selCount = select ? list->count : 0;
            return list->selCount != before;
        }
        index = select ? 0 : VXGetListViewSelection(window, 0);
    }
    if (index < 0 || index >= list->count) return false;
    if ((list->selection[size_t(index)] != 0) == select) return false;
    if (list->editColumn > 0 && !VXSetListViewEditFocus(window, -1, 0)) return false;
    if (select && !(list->features & kVXListMultiSelect)) DeselectAllItems(window, list);
    return DoSelectItem(window, list, index, select);
}

bool VXGetListViewItemSelected(VXWindowRecordTag* window, int32_t index) {
    VXListViewRecord* list = L(window);
    return list && index >= 0 && index < list->count && list->selection[size_t(index)];
}

int32_t VXCountListViewSelections(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    return list ? list->selCount : 0;
}

int32_t VXGetListViewSelection(VXWindowRecordTag* window, int32_t after) {
    VXListViewRecord* list = L(window);
    if (!list || list->selCount == 0) return -1;
    for (int32_t i = std::max(after, 0); i < list->count; ++i)
        if (list->selection[size_t(i)]) return i;
    return -1;
}

// ---- Geometry and scrolling ----

void VXGetListViewVisRange(VXWindowRecordTag* window, int32_t* first, int32_t* last) {
    VXListViewRecord* list = L(window);
    if (first) *first = list ? list->topRow : 0;
    if (last) *last = list ? LastVisible(list) : -1;
}

int32_t VXGetListViewItemRect(VXWindowRecordTag* window, int32_t index, Rect* rect) {
    VXListViewRecord* list = L(window);
    if (!list) {
        if (rect) *rect = {0, 0, 0, 0};
        return 0;
    }
    if (rect) *rect = ListRowRect(list, index);
    return index < list->count && ListRowVisible(list, index) ? 1 : 0;
}

int32_t VXListViewItemFromPoint(VXWindowRecordTag* window, int32_t v, bool clamp) {
    VXListViewRecord* list = L(window);
    if (!list) return -1;
    const int64_t index = int64_t(std::max(v, 0)) / list->rowHeight + list->topRow;
    if (!clamp) return int32_t(std::min<int64_t>(index, 0x7FFFFFFF));
    const int32_t last = LastVisible(list);
    if (index > last) return last < 0 ? -1 : (last | kVXListBeyondRows);
    return int32_t(index);
}

bool VXRevealListViewItem(VXWindowRecordTag* window, int32_t index, bool toTop) {
    VXListViewRecord* list = L(window);
    if (!list || list->count == 0 || index < 0) return false;
    index = std::min(index, list->count - 1);
    UpdateScrollBar(window, list);
    if (ListRowVisible(list, index)) {
        if (toTop && index != list->topRow) DoScroll(window, list, -1, 0, index);
        return true;
    }
    if (toTop || index < list->topRow) {
        DoScroll(window, list, -1, 0, index);
    } else {
        const int32_t whole = std::max(1, ListViewHeight(window) / list->rowHeight);
        DoScroll(window, list, -1, 0, index - whole + 1);
    }
    return false;
}

void VXInvalListViewItem(VXWindowRecordTag* window, int32_t index) {
    VXListViewRecord* list = L(window);
    if (!list) return;
    if (index < 0) {
        if (Drawing(list)) InvalListRect(window, {0, 0, Clamp16(ListViewHeight(window)),
                                                  Clamp16(std::max<int32_t>(list->width, ListViewWidth(window)))});
        return;
    }
    if (index < list->count) InvalListRow(window, list, index);
}

bool VXSetListViewDrawingEnabled(VXWindowRecordTag* window, bool enable) {
    VXListViewRecord* list = L(window);
    if (!list) return false;
    if (enable) {
        if (list->drawCount < 0x7FFF) ++list->drawCount;
    } else if (list->drawCount > -0x7FFF) {
        --list->drawCount;
    }
    if (enable && list->drawCount == 0 && list->dirtyRow != kNoDirtyRow) {
        const int32_t dirty = list->dirtyRow;
        list->dirtyRow = kNoDirtyRow;
        const int32_t top = list->topRow;
        UpdateScrollBar(window, list);
        if (top != list->topRow || dirty <= list->topRow)
            InvalAll(window, list);
        else if (dirty <= LastVisible(list))
            InvalFrom(window, list, dirty);
    }
    return Drawing(list);
}

// ---- Drawing ----

void VXListViewUpdate(VXWindowRecordTag* window, const Rect* rect, int32_t flag) {
    VXListViewRecord* list = L(window);
    if (!list || !VXIsWindowVisible(window, false) || !Drawing(list)) return;
    if (window->graf.geometry.pane != -1) return;
    const int32_t height = ListViewHeight(window);
    Rect area = rect ? *rect
                     : Rect{0, 0, Clamp16(height),
                            Clamp16(std::max<int32_t>(list->width, ListViewWidth(window)))};
    if (area.bottom <= area.top) return;
    const int32_t firstRow = list->topRow + std::max(0, int32_t(area.top)) / list->rowHeight;
    const int32_t lastRow = std::min(
        LastVisible(list), list->topRow + std::max(0, int32_t(area.bottom) - 1) / list->rowHeight);
    const int32_t id = window->windowID;
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    VXSetTextStyle(list->textStyle);
    VXListViewHookRecord begin{};
    begin.rect = area;
    begin.index = firstRow;
    SendListHook(window, list, kVXListBeginDraw, -2, &begin);
    for (int32_t row = firstRow; row <= lastRow; ++row) {
        if (!(window = VXGetWindowFromId(id)) || !(list = L(window)) || row >= list->count) break;
        VXListViewHookRecord record{};
        const bool edited = row == list->editItem && list->editColumn > 0;
        const bool dropTarget = list->dragRow >= 0 && row != list->dragRow &&
                                list->selection[size_t(row)] != 0;
        record.param.value = flag;
        if (edited) {
            record.te = list->editTE;
            record.column = list->editColumn;
        }
        // Fill the item fields, then show a drop target as not selected.
        record.index = row;
        record.item = list->items && list->itemSize > 0
                          ? *list->items + size_t(row) * size_t(list->itemSize)
                          : nullptr;
        record.rect = ListRowRect(list, row);
        record.selected = list->showSelection && list->selection[size_t(row)] && !dropTarget;
        const int32_t answer = SendListHook(window, list, kVXListDrawItem, -2, &record);
        if (!(window = VXGetWindowFromId(id)) || !(list = L(window))) break;
        if (edited && list->editTE && row == list->editItem) {
            Rect field;
            if (CalcEditFieldRect(window, list, &field)) {
                const LRect l = {field.top, field.left, field.bottom, field.right};
                VXLTEUpdate(&l, list->editTE);
                if (answer & 1) {
                    VXPenState pen;
                    VXGetPenState(&pen);
                    const VXColor fore = VXGetForeColor();
                    VXPenNormal();
                    QZSetColor(nullptr, kVXDefaultForeColor, false);
                    Rect frame;
                    CalcEditCellFrame(window, list, &frame);
                    VXFrameRect(&frame);
                    QZSetColor(nullptr, fore, false);
                    VXSetPenState(&pen);
                }
            }
        }
        if (dropTarget) {
            VXListViewHookRecord drop{};
            drop.param.value = list->dragRow;
            drop.above = row < list->dragRow ? 1 : 0;
            if (SendListHook(window, list, kVXListDropIndicator, row, &drop) & 1) {
                const int32_t at = drop.index >= 0 ? drop.index : row;
                const Rect r = ListRowRect(list, at);
                const int16_t y = at < list->dragRow ? r.top : int16_t(r.bottom - 2);
                VXPenState pen;
                VXGetPenState(&pen);
                const uint8_t mode = VXSetDrawMode(2);
                VXSetPenWidth(2);
                VXMoveTo(0, y);
                VXLineTo(list->width, y);
                VXSetDrawMode(mode);
                VXSetPenState(&pen);
            }
        }
    }
    if ((window = VXGetWindowFromId(id)) && (list = L(window))) {
        VXListViewHookRecord end{};
        end.rect = area;
        end.index = -1;
        SendListHook(window, list, kVXListEndDraw, -2, &end);
    }
    if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
}

void StdDrawHiliteEditListViewItem(VXWindowRecordTag*, VXListViewHookRecord* record) {
    if (!record) return;
    const VXColor fore = VXGetForeColor();
    if (record->selected) {
        QZSetColor(nullptr, kTEHighlightColor, false);
        VXRectDispatch(&record->rect, 1);
    } else {
        VXEraseRect(&record->rect);
    }
    QZSetColor(nullptr, fore, false);
}

// ---- Events ----

namespace {

// The row dragged out of the list, with the client the hook names.
void DragRowOut(VXWindowRecordTag* window, VXListViewRecord* list, int32_t row) {
    VXItemDragClient client;
    VXListViewHookRecord record{};
    record.param.pointer = &client;
    SendListHook(window, list, kVXListDragOut, row, &record);
    if (!client.proc || !VXGetWindowFromId(window->windowID)) return;
    VXTrackItemDrag(window, kVXTrackLeft, client);
}

}  // namespace

int32_t VXListViewClick(VXWindowRecordTag* window, VXEventRecord* event, bool track) {
    VXListViewRecord* list = L(window);
    if (!list || !event) return 0;
    const int32_t id = window->windowID;
    ClearTypeAhead();
    const int32_t v = event->u.mouse.longV, h = event->u.mouse.longH;
    const int32_t hit = VXListViewItemFromPoint(window, v, true);
    const bool beyond = hit < 0;
    const int32_t clicked = hit == -1 ? -1 : (beyond ? -1 : hit);
    const std::vector<uint8_t> before = list->selection;
    const auto gone = [&] { return !(window = VXGetWindowFromId(id)) || !(list = L(window)); };

    // A click in the edited cell's field.
    bool toEditorDone = false;
    if (list->editTE && list->editColumn > 0) {
        const LRect& view = list->editTE->viewRect;
        if (v >= view.top && v < view.bottom && h >= view.left && h < view.right) {
            VXListViewHookRecord record{};
            record.event = event;
            record.column = list->editColumn;
            const int32_t answer = SendListHook(window, list, kVXListClickInEditor, clicked, &record);
            if (gone()) return 1;
            if (answer & 1) return 1;
            if (!(answer & 2)) {
                const _LPNT point = {v, h};
                VXSetWindow(window);
                VXTEClick(&point, int16_t(event->u.mouse.button), event->u.mouse.shift != 0,
                          list->editTE);
                toEditorDone = true;
            }
        }
    }
    if (toEditorDone) return 1;

    VXListViewHookRecord record{};
    record.event = event;
    const int32_t answer = SendListHook(window, list, kVXListMouseDown, clicked, &record);
    if (gone()) return 1;
    if (answer & kVXListClickHandled) return 1;
    if (answer & kVXListClickAction) {
        SendListControlAction(window, list, clicked, event->kind == kVXDoubleClickEvent);
        return 1;
    }
    if (list->features & kVXListEditCells) {
        const int32_t column = record.column;
        if (column > 0 && !(answer & kVXListClickKeepSelection)) DeselectAllItems(window, list);
        gVXListKeepSelection = (answer & kVXListClickKeepSelection) != 0;
        const int32_t focused = VXSetListViewEditFocus(window, column > 0 ? clicked : -1, column);
        gVXListKeepSelection = false;
        if (!focused) return 1;
        if (gone()) return 1;
        // A click that starts the edit of a cell leaves the cell's whole text selected, so that
        // what is typed next replaces it; a later click in the field places the caret.
        if (column > 0 && !(answer & kVXListClickSelectToo)) return 1;
    }

    // Selection.
    const bool multi = (list->features & kVXListMultiSelect) != 0;
    const bool noDrag = (answer & kVXListClickDragRow) != 0;
    const uint32_t mods = event->u.mouse.modifiers & (kVXModShift | kVXModCommand);
    const bool command = multi && !noDrag && mods == kVXModCommand;
    const bool shift = multi && !noDrag && event->u.mouse.shift != 0 && !command;
    const bool extended = multi && !noDrag && (list->features & kVXListExtendSelect) != 0;
    int32_t anchor = clicked;
    bool commandState = true;
    if (noDrag) {
        if (clicked < 0) return 1;
        list->dragRow = clicked;
    } else if (shift) {
        const int32_t row = hit == -1 ? -1 : (hit & 0x7FFFFFFF);
        if (row < 0) return 1;
        anchor = row;
        const int32_t firstSel = VXGetListViewSelection(window, 0);
        if (firstSel >= 0) {
            int32_t lastSel = firstSel;
            for (int32_t i = list->count - 1; i >= 0; --i)
                if (list->selection[size_t(i)]) {
                    lastSel = i;
                    break;
                }
            anchor = std::abs(firstSel - row) >= std::abs(lastSel - row) ? firstSel : lastSel;
        }
    } else if (command) {
        if (clicked < 0) return 1;
        commandState = !list->selection[size_t(clicked)];
    } else {
        if (beyond && (list->features & kVXListClickBelowKeepsSelection)) return 1;
        if (list->editColumn > 0 && !VXSetListViewEditFocus(window, -1, 0)) return 1;
        DeselectAllItems(window, list);
    }
    int32_t dropTarget = -1;
    const auto apply = [&](int32_t row, bool rowBeyond) {
        if (noDrag) {
            const int32_t target = rowBeyond ? -1 : row;
            if (target == dropTarget) return;
            if (dropTarget >= 0 && dropTarget != list->dragRow)
                DoSelectItem(window, list, dropTarget, false);
            dropTarget = target;
            if (dropTarget >= 0) DoSelectItem(window, list, dropTarget, true);
            return;
        }
        if (shift) {
            SelectRange(window, list, anchor, row);
        } else if (command) {
            if (rowBeyond) return;
            const int32_t lo = std::min(anchor, row), hi = std::max(anchor, row);
            for (int32_t i = lo; i <= hi && i < list->count; ++i)
                DoSelectItem(window, list, i, commandState);
        } else if (extended && anchor >= 0) {
            SelectRange(window, list, anchor, row);
        } else {
            for (int32_t i = 0; i < list->count; ++i)
                if (i != row) DoSelectItem(window, list, i, false);
            if (!rowBeyond && row >= 0) DoSelectItem(window, list, row, true);
        }
    };
    apply(hit == -1 ? -1 : (hit & 0x7FFFFFFF), beyond);
    const bool dragOut = (answer & kVXListClickDragOut) && track && !noDrag && !shift && !command &&
                         clicked >= 0 && event->kind != kVXDoubleClickEvent;
    if (dragOut) {
        const bool began = VXWaitDragBegin(window, kVXTrackLeft, kVXListDragOutSlop,
                                           kVXListDragOutSlop, nullptr, nullptr, -1);
        if (gone()) return 1;
        // The client learns of the row chosen first, as after a click.
        if (list->selection != before) {
            SendListControlAction(window, list, clicked, false);
            if (gone()) return 1;
        }
        if (began) DragRowOut(window, list, clicked);
        return 1;
    }
    if (track || noDrag) {
        _LPNT point{};
        while (VXWaitDragEnd(window, kVXTrackLeft, false, &point)) {
            if (gone()) return 1;
            // Autoscroll by a row beyond either edge of the rows.
            if (point.v < 0)
                DoScroll(window, list, 0, 0, 0);
            else if (point.v >= list->visibleRows * list->rowHeight)
                DoScroll(window, list, 1, 0, 0);
            const int32_t r = VXListViewItemFromPoint(window, point.v, true);
            apply(r == -1 ? -1 : (r & 0x7FFFFFFF), r < 0);
            VXUpdateWindow(window);
        }
        if (gone()) return 1;
    }
    if (noDrag) {
        const int32_t dragged = list->dragRow;
        if (dropTarget >= 0 && dropTarget != dragged) DoSelectItem(window, list, dropTarget, false);
        list->dragRow = -1;
        DoSelectItem(window, list, dragged, false);
        // A press that never reached another row selects its row as a plain click does.
        if (dropTarget < 0 || dropTarget == dragged) {
            DeselectAllItems(window, list);
            DoSelectItem(window, list, dragged, true);
        }
        if (dropTarget >= 0 && dropTarget != dragged) {
            VXListViewHookRecord drop{};
            drop.param.value = dropTarget;
            const int32_t result = SendListHook(window, list, kVXListReorderDrop, dragged, &drop);
            if (gone()) return 1;
            if (result & 3) {
                const int32_t lo = std::max(std::min(dragged, dropTarget), list->topRow);
                const int32_t hi = std::min(std::max(dragged, dropTarget), LastVisible(list));
                if (lo <= hi) {
                    const Rect a = ListRowRect(list, lo), b = ListRowRect(list, hi);
                    const Rect area = {a.top, 0, b.bottom,
                                       Clamp16(std::max<int32_t>(list->width, ListViewWidth(window)))};
                    if (result & 2)
                        VXListViewUpdate(window, &area, 0);
                    else
                        InvalListRect(window, area);
                }
            }
        }
    }
    const bool changed = list->selection != before;
    if (changed || (event->kind == kVXDoubleClickEvent && clicked >= 0))
        SendListControlAction(window, list, clicked, event->kind == kVXDoubleClickEvent);
    return 1;
}

int32_t VXListViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    VXListViewRecord* list = L(window);
    if (!list || !event) return 0;
    const int32_t id = window->windowID;
    int32_t result = list->nextHandler ? list->nextHandler(window, event) : 0;
    if (!(window = VXGetWindowFromId(id)) || !(list = L(window))) return result;
    if (event->kind == kVXDestroyEvent) {
        FreeItems(window, list);
        if ((window = VXGetWindowFromId(id)) && (list = L(window))) {
            RestoreWindow(window, list);
            VXDestroyWindowClassInfo(window, kVXListViewClassCode);
        }
        return result;
    }
    if (result) return result;
    switch (event->kind) {
        case kVXActivateEvent:
            ListViewEditorActivate(list, event->u.activate.activated != 0);
            return event->u.activate.activated ? 0 : 1;
        case kVXFocusEvent: {
            if (!event->u.focus.gaining && list->editColumn > 0 &&
                !VXFlushListViewEditField(window) && event->u.focus.refuse)
                *event->u.focus.refuse = 1;
            VXPanelRecordTag* panel = VXGetWindowPanel(window);
            return panel && (panel->flags & kVXPanelFocusRing) ? 0 : 1;
        }
        case kVXSizeEvent:
            UpdateScrollBar(window, list);
            list->width = Clamp16(std::max(window->padWidth, ListViewWidth(window)));
            if (list->editColumn > 0) {
                SetupTERects(window, list, false);
                Rect frame;
                CalcEditCellFrame(window, list, &frame);
                frame.left = Clamp16(frame.left - 2);
                frame.right = Clamp16(frame.right + 2);
                InvalListRect(window, frame);
            }
            return 0;
        case kVXUpdateEvent:
        {
            const VXEventRect16& u = event->u.update.rect;
            const Rect area = {u.top, u.left, u.bottom, u.right};
            VXListViewUpdate(window, &area, 0);
        }
            return 1;
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent: {
            if (window->graf.geometry.pane != -1 && VXHasAltView(window, 0)) return 0;
            // The click comes in the coordinates of the window's view; the rows lie in the
            // list's pane, below (or beside) any pane divided off the window.
            VXEventRecord click = *event;
            if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
                double dx = 0, dy = 0;
                VXPanelPlatformOffset(panel, &dx, &dy);
                click.u.mouse.longH = event->u.mouse.longH - int32_t(std::lround(dx));
                click.u.mouse.longV = event->u.mouse.longV - int32_t(std::lround(dy));
                click.u.mouse.h = Clamp16(click.u.mouse.longH);
                click.u.mouse.v = Clamp16(click.u.mouse.longV);
            }
            return VXListViewClick(window, &click, true);
        }
        case kVXCharEvent:
            // Enter and Escape are the key equivalents of a dialog's default and cancel buttons:
            // they press them even while a cell is being edited.
            if ((event->u.character.character == kKeyEnter || event->u.character.character == kKeyEscape) &&
                gVXWindowDefaultHooks.invokePushButton &&
                gVXWindowDefaultHooks.invokePushButton(VXGetTopParent(window), event->u.character.character))
                return 1;
            if (!(window = VXGetWindowFromId(id)) || !(list = L(window))) return 1;
            if (list->editColumn > 0) return ListViewEditKey(window, list, event);
            return ListKey(window, list, event);
        case kVXCommandEvent:
            if (list->editColumn > 0 && list->editTE)
                return ListViewEditCommand(window, list, event->u.command.command);
            return 0;
        case kVXScrollEvent:
        case kVXScrollToEvent:
            return ListScroll(window, list, event);
        default:
            return 0;
    }
}

int32_t VXListViewPrepCommand(VXPrepCommandRecord* record) {
    if (!record) return 0;
    VXListViewRecord* list = L(record->window);
    if (!list) return 0;
    if (list->nextPrep)
        if (int32_t answer = list->nextPrep(record)) return answer;
    if (list->editColumn > 0 && list->editTE) return ListViewEditPrepCommand(list, record);
    return 0;
}

int32_t VXSendListViewHookMsg(VXWindowRecordTag* window, int32_t message, int32_t index,
                              VXListViewHookRecord* record) {
    VXListViewRecord* list = L(window);
    if (!list || !record) return 0;
    return SendListHook(window, list, message, index, record);
}

}  // namespace plexa
