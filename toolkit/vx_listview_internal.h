// What the list view and its cell editor share inside the toolkit.
#pragma once

#include <cstdint>

#include "toolkit/vx_listview.h"

namespace plexa {

// The view's height and width (the panel's main pane, else the window's content).
int32_t ListViewHeight(VXWindowRecordTag* window);
int32_t ListViewWidth(VXWindowRecordTag* window);
// A row's rectangle in the view (16-bit, clamped), whether or not it is visible.
Rect ListRowRect(const VXListViewRecord* list, int32_t index);
bool ListRowVisible(const VXListViewRecord* list, int32_t index);
// Sends a message with a cleared record (index -2: the caller's record as filled).
int32_t SendListHook(VXWindowRecordTag* window, VXListViewRecord* list, int32_t message,
                     int32_t index, VXListViewHookRecord* record);
void InvalListRect(VXWindowRecordTag* window, const Rect& rect);
// The row and, when editing, the row's frame.
void InvalListRow(VXWindowRecordTag* window, VXListViewRecord* list, int32_t index);
void DeselectAllItems(VXWindowRecordTag* window, VXListViewRecord* list);
// Control action for the next handler: kind 18, type 7, the row and the double-click flag.
void SendListControlAction(VXWindowRecordTag* window, VXListViewRecord* list, int32_t row,
                           bool doubleClick);

// Set while a click that asked to keep the selection starts editing a cell.
extern bool gVXListKeepSelection;

}  // namespace plexa
