// Functions of the sheet editor that other parts of it provide; declared here with their final
// names and signatures, each with the least body until the part that owns it is in place.
#pragma once

#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;

// Closes the tracking overlay of the sheet window being tracked in.
void CloseTrackingOverlay();
// Unselects everything on the sheet.
void ClearDrawingSelection(SheetRecord* sheet);
// Sets up the handles for the current selection; the rectangle to invalidate when asked.
void CalcSheetSelection(SheetRecord* sheet, Rect* rect);

}  // namespace plexa
