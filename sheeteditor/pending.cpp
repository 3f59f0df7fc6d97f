// Least bodies of the functions declared in pending.h.
#include "sheeteditor/pending.h"

namespace plexa {

// Will start the collecting undo record anew with the kind.
void StartSheetUndoCollection(SheetRecord*, int32_t) {}
// Will move the collecting record into the committed slot.
void AcceptSheetUndoCollection(SheetRecord*) {}
// Will free the collecting record.
void AbortSheetUndoCollection(SheetRecord*) {}
// Will record a copy of the item to swap back.
void CollectUndoSwapSheetItem(SheetRecord*, int32_t, void*) {}
// Will record the item's move by the offset (or transformation).
void CollectUndoMoveSheetItem(SheetRecord*, int32_t, void*, Point, int32_t) {}
// Will record the item's coming or going.
void CollectUndoSheetItemExistance(SheetRecord*, int32_t, void*, int32_t) {}
// Will record a copy of the break-out table, once per action.
void CollectUndoAltBOTable(SheetRecord*) {}
// Will record an area to redraw on undo.
void CollectUndoInvalSheetRect(SheetRecord*, const Rect*) {}
// Will show the buss dialog and store what was confirmed; until then, as if cancelled.
int32_t BusInfoDialog(SheetRecord*, BussRecord**, char*, int32_t*, bool) { return 0; }
// Will unselect every item of the sheet.
void ClearDrawingSelection(SheetRecord*) {}
// Will place the handles on the free ends of the selected buss wire.
void CalcBusLineModifiers(SheetRecord*, WireHandle) {}

}  // namespace plexa
