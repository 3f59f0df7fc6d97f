// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

namespace plexa {

void GridPointLock(Point*) {}                                // snaps to the grid
void SetRulerGuidePositions(VXWindowRecordTag*, int32_t, int32_t) {}  // moves the ruler guides
void CleanupSplitWireList(SheetRecord*) {}                   // drops the wire split markers
void TrackColorPopup(VXWindowRecordTag*, int16_t, bool) {}   // the outline or fill colour popup
void TrackLineWidthPopup(VXWindowRecordTag*, int16_t, const VXEventRecord*, int32_t) {}  // widths
void StartSheetUndoCollection(SheetRecord*, int32_t) {}      // starts collecting an undo step
void CollectUndoSetSheetView(SheetRecord*) {}                // records the view for undo
void AcceptSheetUndoCollection(SheetRecord*) {}              // commits the undo step
void AbortSheetUndoCollection(SheetRecord*) {}               // drops the undo step

// Will show the signal's name for editing; until then the name is accepted as offered.
int32_t SignalInfoDialog(SheetRecord*, SignalHandle, char*, uint8_t*, uint8_t*, int32_t, void*) {
    return 1;
}

// Will let the person choose a member name of the buss; until then nothing is chosen.
int32_t ChooseBusMemberNameDialog(SheetRecord*, BussHandle, char*) { return 0; }

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
