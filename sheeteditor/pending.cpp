// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

#include "graphics/hittest.h"
#include "graphics/grafport.h"
#include "model/drawglobals.h"

namespace plexa {

void CloseTrackingOverlay() {}                               // closes the tracking overlay
bool IsWireCreationInProgress() { return false; }            // a wire or bus is being drawn
void CancelWireCreation(SheetRecord*, bool) {}               // ends the wire being drawn
void InvalidateMouseTrackingImage(SheetRecord*) {}           // rebuilds the placing picture
void InvalidateTrackingSymbolImage() {}                      // drops the placing picture
int32_t NetSymbolPlacement(SheetRecord*) { return 0; }       // kind of net-symbol placement
void ClearDrawingSelection(SheetRecord*) {}                  // unselects everything
void TransformDrawingSelection(SheetRecord*, Point, int32_t) {}  // turns the selection
int32_t SetupElementResize(SheetRecord*, ElementRecord*) { return 0; }  // the element's handles
void ClearSheetModifiers(SheetRecord*) {}                    // drops the handles
void BuildDrawingSelectRgn(SheetRecord*) {}                  // rebuilds the selection region
// Starts the pixel test in the current window, drawing without colours of their own.
namespace {
uint32_t gHitTestSavedFlags = 0;
}  // namespace
void SchStartPixelHitTest(Point point) {
    gHitTestSavedFlags = gGenFlags;
    gGenFlags &= ~kGenColorDrawing;
    StartPixelHitTestEx(VXGetCurrentGrafState(), _LPNT{point.v, point.h});
}
void SchStopPixelHitTest() {                                 // ends the pixel test
    StopPixelHitTest();
    gGenFlags = gHitTestSavedFlags;
}
void GridPointLock(Point*) {}                                // snaps to the grid
void SetRulerGuidePositions(VXWindowRecordTag*, int32_t, int32_t) {}  // moves the ruler guides
void CleanupSplitWireList(SheetRecord*) {}                   // drops the wire split markers
void TrackColorPopup(VXWindowRecordTag*, int16_t, bool) {}   // the outline or fill colour popup
void TrackLineWidthPopup(VXWindowRecordTag*, int16_t, const VXEventRecord*, int32_t) {}  // widths
void StartSheetUndoCollection(SheetRecord*, int32_t) {}      // starts collecting an undo step
void CollectUndoSetSheetView(SheetRecord*) {}                // records the view for undo
void AcceptSheetUndoCollection(SheetRecord*) {}              // commits the undo step
void AbortSheetUndoCollection(SheetRecord*) {}               // drops the undo step
void CollectUndoSwapSheetItem(SheetRecord*, int32_t, void*) {}  // records a copy of the item
void CollectUndoInvalSheetRect(SheetRecord*, const Rect*) {}  // records an area to redraw

}  // namespace plexa
