// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
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

// Handles and the selection region.
// Sets up the handles of the element (none: the single selected element); 1 when it has them.
int32_t SetupElementResize(SheetRecord* sheet, ElementRecord* element);
// Drops every handle of the sheet.
void ClearSheetModifiers(SheetRecord* sheet);
// Empties the selection region and adds the bounds of every selected item.
void BuildDrawingSelectRgn(SheetRecord* sheet);
// Brackets a pixel hit test at the point in the current window with the drawing flags of a hit
// test.
void SchStartPixelHitTest(Point point);
void SchStopPixelHitTest();

// Grid and rulers.
// Snaps the point to the grid of the editor that owns the current window.
void GridPointLock(Point* point);
// The ruler guides follow a point of the main pane.
void SetRulerGuidePositions(VXWindowRecordTag* window, int32_t h, int32_t v);

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
// Drops the undo step being collected.
void AbortSheetUndoCollection(SheetRecord* sheet);
// Records a copy of the item (kind 7: a graphic element) as it is now.
void CollectUndoSwapSheetItem(SheetRecord* sheet, int32_t itemKind, void* item);
// Records an area to redraw when the step is undone.
void CollectUndoInvalSheetRect(SheetRecord* sheet, const Rect* rect);

}  // namespace plexa
