// A list view under a column header in a host window.
#include "app/headedlist.h"

#include "platform/control_platform.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_events.h"

namespace plexa {
namespace {

HeadedList* ListOf(VXWindowRecordTag* window) { return window ? static_cast<HeadedList*>(window->refCon) : nullptr; }

int32_t BandHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    HeadedList* list = ListOf(window);
    if (!list) return 0;
    if (event->kind == kVXDestroyEvent) {
        if (list->band == window) list->band = nullptr;
        return 0;
    }
    if (event->kind != kVXUpdateEvent || !list->columns) return 0;
    VXSetWindow(window);
    VXDrawColumnHeader(list->columns);
    return 1;
}

// Windows destroyed with their host no longer reach the list.
int32_t RowsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    HeadedList* list = ListOf(window);
    if (!list) return 0;
    if (event->kind == kVXDestroyEvent && list->rows == window) list->rows = nullptr;
    return list->handler ? list->handler(window, event) : 0;
}

}  // namespace

bool CreateHeadedList(HeadedList& list, VXWindowRecordTag* host, const Rect& rect,
                      std::initializer_list<HeaderColumn> columns, const txStyle* style, int16_t rowHeight,
                      uint32_t features, VXListViewHookProc hook, VXEventProc handler) {
    if (!host) return false;
    list.handler = handler;
    const Rect band = {rect.top, rect.left, int16_t(rect.top + kHeadedListBandHeight), rect.right};
    const Rect rows = {band.bottom, rect.left, rect.bottom, rect.right};
    const Rect local = {0, 0, kHeadedListBandHeight, int16_t(rect.right - rect.left)};
    list.columns = VXCreateColumnHeader(nullptr, &local);
    bool ok = list.columns != nullptr;
    for (const HeaderColumn& c : columns) ok = ok && VXAddHeaderColumnEx(list.columns, c.position, c.title, 0);
    if (ok) list.band = VXCreateChildWindow(0, 0, 0, host, &band, &list, BandHandler);
    if (list.band) list.rows = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, host, &rows, &list, RowsHandler);
    if (!ok || !list.band || !list.rows) {
        DestroyHeadedList(list);
        return false;
    }
    VXInstallListView(list.rows, style, rowHeight, sizeof(int32_t), features, hook);
    ShowHeadedList(list, true);
    return true;
}

void DestroyHeadedList(HeadedList& list) {
    for (VXWindowRecordTag** view : {&list.band, &list.rows})
        if (VXWindowRecordTag* window = *view) {
            window->refCon = nullptr;
            *view = nullptr;
            VXDestroyWindow(window);
        }
    if (list.columns) VXDestroyColumnHeader(list.columns);
    list.columns = nullptr;
}

void ShowHeadedList(HeadedList& list, bool show) {
    for (VXWindowRecordTag* window : {list.band, list.rows})
        if (window) show ? VXShowWindow(window) : VXHideWindow(window);
}

void FocusHeadedList(HeadedList& list) {
    if (!list.rows) return;
    VXSetFocusWindow(list.rows, true);
    if (list.rows->platformWindow) PlatformControlClearFocus(list.rows->platformWindow);
}

void InvalHeadedList(HeadedList& list) {
    if (!list.rows) return;
    Rect r{};
    VXGetClientRect(list.rows, &r);
    VXInvalRect(list.rows, &r);
}

void SetHeadedListRows(HeadedList& list, int32_t count) {
    if (!list.rows) return;
    VXSetListViewDrawingEnabled(list.rows, false);
    VXDeleteListViewItemData(list.rows, 0, -1);
    for (int32_t row = 0; row < count; ++row) VXInsertListViewItemData(list.rows, -1, &row, 1);
    VXSetListViewDrawingEnabled(list.rows, true);
    InvalHeadedList(list);
}

std::vector<int32_t> HeadedListSelection(const HeadedList& list) {
    std::vector<int32_t> rows;
    if (!list.rows) return rows;
    for (int32_t i = VXGetListViewSelection(list.rows, -1); i >= 0; i = VXGetListViewSelection(list.rows, i + 1))
        rows.push_back(i);
    return rows;
}

void SelectHeadedListRows(HeadedList& list, const std::vector<int32_t>& rows) {
    if (!list.rows) return;
    VXSetListViewItemSelected(list.rows, -1, false);
    for (int32_t row : rows) VXSetListViewItemSelected(list.rows, row, true);
    if (!rows.empty()) VXRevealListViewItem(list.rows, rows.back(), false);
}

}  // namespace plexa
