#include "sheeteditor/sheetundoaction.h"

#include "sheeteditor/elementtools.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/wiretracking.h"

namespace plexa {

void UndoSheetAction(SheetRecord* sheet) {
    if (!sheet) return;
    // What is being made on the sheet is finished first and becomes the action undone: a wire
    // being drawn keeps its legs with a free end, a polygon being clicked its corners.
    ReleaseSheetWireTracking(sheet);
    FinishCreateSheetPoly(sheet, false);
    const UndoRecord* record = GetSheetUndoRecord(sheet);
    if (!record || record->actionKind == kUndoActionNone) return;
    CloseTrackingOverlay();
    ReplaySheetUndoAction(sheet);
}

}  // namespace plexa
