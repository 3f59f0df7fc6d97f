// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

namespace plexa {

void CloseTrackingOverlay() {}                               // closes the tracking overlay
bool IsWireCreationInProgress() { return false; }            // a wire or bus is being drawn
void CancelWireCreation(SheetRecord*, bool) {}               // ends the wire being drawn
void InvalidateMouseTrackingImage(SheetRecord*) {}           // rebuilds the placing picture
void InvalidateTrackingSymbolImage() {}                      // drops the placing picture
int32_t NetSymbolPlacement(SheetRecord*) { return 0; }       // kind of net-symbol placement
void ClearDrawingSelection(SheetRecord*) {}                  // unselects everything
void TransformDrawingSelection(SheetRecord*, Point, int32_t) {}  // turns the selection
void FinishCreateSheetPoly(SheetRecord*, bool) {}            // finishes the polygon being drawn
void CleanupSplitWireList(SheetRecord*) {}                   // drops the wire split markers
void TrackColorPopup(VXWindowRecordTag*, int16_t, bool) {}   // the outline or fill colour popup
void TrackLineWidthPopup(VXWindowRecordTag*, int16_t, const VXEventRecord*, int32_t) {}  // widths
void StartSheetUndoCollection(SheetRecord*, int32_t) {}      // starts collecting an undo step
void CollectUndoSetSheetView(SheetRecord*) {}                // records the view for undo
void AcceptSheetUndoCollection(SheetRecord*) {}              // commits the undo step

}  // namespace plexa
