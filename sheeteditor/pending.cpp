// Least bodies of the sheet editor's functions that other parts of it will provide.
#include "sheeteditor/pending.h"

namespace plexa {

// Will free the collecting record and start it anew with the kind.
void StartSheetUndoCollection(SheetRecord*, int32_t) {}
// Will move the collected action into the committed slot.
void AcceptSheetUndoCollection(SheetRecord*) {}
// Will record a move op for the replay.
void CollectUndoMoveSheetItem(SheetRecord*, int32_t, void*, Point, int32_t) {}
// Will record a copy of the item for the replay.
void CollectUndoSwapSheetItem(SheetRecord*, int32_t, void*) {}
// Will record an area to redraw on the replay.
void CollectUndoInvalSheetRect(SheetRecord*, const Rect*) {}
// Will stretch or move the signal wires attached to what moves.
void MoveSignalWires(SheetRecord*, Point, int32_t, Rect*) {}
// Will stretch or move the bus lines attached to what moves.
void MoveBussWires(SheetRecord*, Point, int32_t, Rect*) {}
// Will move the break-outs marked as moving.
void MoveMarkedBreakOuts(SheetRecord*, Point, int32_t, Rect*) {}
// Will clear the busses' undo-copy marks.
void ClearBussUndoFlags(SheetRecord*) {}

// Will run the symbol information dialog.
void EditSymbolInformation(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}

}  // namespace plexa
