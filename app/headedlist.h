// A list view under a column header, as the Preferences dialog's lists show them: two child
// windows of a host window, the header band (17 high) at the top of the list's rectangle and the
// rows below it with a vertical scroll bar. A row's data is its index; what a row shows and does
// is the business of the list's hook and event handler.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "foundation/rectmath.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_window.h"

namespace plexa {

struct txStyle;

constexpr int16_t kHeadedListBandHeight = 17;

struct HeaderColumn {
    uint16_t position;  // the column's left edge
    const char* title;
};

struct HeadedList {
    VXWindowRecordTag* band = nullptr;  // the column header band
    VXWindowRecordTag* rows = nullptr;  // the list view
    Handle columns = nullptr;           // the column header record
    VXEventProc handler = nullptr;      // the client's handler of the rows' events
};

// Makes the list over the rectangle of the host. The handler sees the rows' events before the
// list view does. False when a window or the header cannot be made; what was made is gone again.
bool CreateHeadedList(HeadedList& list, VXWindowRecordTag* host, const Rect& rect,
                      std::initializer_list<HeaderColumn> columns, const txStyle* style, int16_t rowHeight,
                      uint32_t features, VXListViewHookProc hook, VXEventProc handler);
void DestroyHeadedList(HeadedList& list);
// Both windows shown or hidden (they are the host's children, not a tab layer's).
void ShowHeadedList(HeadedList& list, bool show);
// Rows 0 to count - 1, none selected, every row drawn again.
void SetHeadedListRows(HeadedList& list, int32_t count);
// The rows take the keys (and no control of the host keeps them).
void FocusHeadedList(HeadedList& list);
void InvalHeadedList(HeadedList& list);
std::vector<int32_t> HeadedListSelection(const HeadedList& list);
// Selects exactly the rows and reveals the last one.
void SelectHeadedListRows(HeadedList& list, const std::vector<int32_t>& rows);

}  // namespace plexa
