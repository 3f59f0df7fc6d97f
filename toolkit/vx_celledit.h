// In-place editing of list-view cells (lists installed with kVXListEditCells): one text-edit
// record is moved over the cell being edited, filled with the cell's text by the list's hook and
// its text handed back to the hook to be stored. Changing cells, deselecting, losing the focus
// and clicking elsewhere commit the cell first; a refused commit keeps the cell in edit.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct VXPrepCommandRecord;
struct VXListViewRecord;

// Moves the edit focus to a cell (item -1 or column 0: editing ends). 1 on success.
int32_t VXSetListViewEditFocus(VXWindowRecordTag* window, int32_t item, int32_t column);
// The edited item (-1 none); fills the column and the editor's selection (zeros when none).
int32_t VXGetListViewEditFocus(VXWindowRecordTag* window, int16_t* column, int32_t* selStart,
                               int32_t* selEnd);
// 1 when nothing was pending or the hook accepted the text.
int32_t VXFlushListViewEditField(VXWindowRecordTag* window);
// 1 when a cell is being edited and its text differs from the stored value.
int32_t VXIsListViewCellDirty(VXWindowRecordTag* window);
bool VXListViewEditCellPasteFilter(uint16_t character);

// What the list view calls of the cell editor.
bool CreateListViewEditor(VXWindowRecordTag* window, VXListViewRecord* list);
void DisposeListViewEditor(VXListViewRecord* list);
// Sets the editor's rectangles over the edited cell (outside the view when it is hidden); with
// verticalOnly the vertical values alone follow a scroll.
void SetupTERects(VXWindowRecordTag* window, VXListViewRecord* list, bool verticalOnly);
// The field rectangle of the edited cell (message 8), in the view; false when not editing.
bool CalcEditFieldRect(VXWindowRecordTag* window, VXListViewRecord* list, Rect* rect);
void CalcEditCellFrame(VXWindowRecordTag* window, VXListViewRecord* list, Rect* rect);
// A key while a cell is edited; 1 when handled.
int32_t ListViewEditKey(VXWindowRecordTag* window, VXListViewRecord* list, VXEventRecord* event);
// An edit command (302 cut ... 305 clear, 306 select all) while a cell is edited; 1 when handled.
int32_t ListViewEditCommand(VXWindowRecordTag* window, VXListViewRecord* list, uint16_t command);
// Menu preparation of the edit commands while a cell is edited; 1 when decided.
int32_t ListViewEditPrepCommand(VXListViewRecord* list, VXPrepCommandRecord* record);
void ListViewEditorActivate(VXListViewRecord* list, bool active);

}  // namespace plexa
