// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Mouse tracking and wire creation.
// Closes the overlay that follows the mouse over a sheet pane.
void CloseTrackingOverlay();
// Whether a wire or bus is being drawn.
bool IsWireCreationInProgress();
// Ends the wire or bus being drawn, keeping what was drawn with a free end.
void CancelWireCreation(SheetRecord* sheet, bool toolChanged);
// Marks the picture of the symbol about to be placed for rebuilding.
void InvalidateMouseTrackingImage(SheetRecord* sheet);
void InvalidateTrackingSymbolImage();
// 0 for an ordinary part, 1 a net symbol placed by the wire tool, 2 one being placed at a pin.
int32_t NetSymbolPlacement(SheetRecord* sheet);

// Selection and transformation.
// Unselects everything on the sheet.
void ClearDrawingSelection(SheetRecord* sheet);
// Rotates or mirrors the selection about the centre (both -32768: its own centre) as one undoable
// step.
void TransformDrawingSelection(SheetRecord* sheet, Point centre, int32_t transformation);

// Graphic elements.
// Finishes the polygon being drawn; with select the select tool is chosen after.
void FinishCreateSheetPoly(SheetRecord* sheet, bool select);

// Wire dragging: drops the split markers of the sheet.
void CleanupSplitWireList(SheetRecord* sheet);

// Colour and line-width popups of the top tool bar.
void TrackColorPopup(VXWindowRecordTag* window, int16_t button, bool fill);
void TrackLineWidthPopup(VXWindowRecordTag* window, int16_t button, const VXEventRecord* event,
                         int32_t width);

// Sheet undo.
void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind);
void CollectUndoSetSheetView(SheetRecord* sheet);
void AcceptSheetUndoCollection(SheetRecord* sheet);

}  // namespace plexa
