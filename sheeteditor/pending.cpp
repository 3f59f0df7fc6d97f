#include "sheeteditor/pending.h"

namespace plexa {

// Will close the overlay that wire and bus tracking draws.
void CloseTrackingOverlay() {}
// Will clear the selection bits of every item and the selection region.
void ClearDrawingSelection(SheetRecord*) {}
// Will set up the resize handles of the single selected item.
void CalcSheetSelection(SheetRecord*, Rect* rect) {
    if (rect) *rect = Rect{};
}

}  // namespace plexa
