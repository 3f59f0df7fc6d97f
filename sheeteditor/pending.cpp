// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

#include "foundation/ll.h"
#include "model/texts.h"

namespace plexa {

void FinishCreateSheetPoly(SheetRecord*, bool) {}            void TrackColorPopup(VXWindowRecordTag*, int16_t, bool) {}   // the outline or fill colour popup
void TrackLineWidthPopup(VXWindowRecordTag*, int16_t, const VXEventRecord*, int32_t) {}  // widths
void StartSheetUndoCollection(SheetRecord*, int32_t) {}      // starts collecting an undo step
void CollectUndoSetSheetView(SheetRecord*) {}                // records the view for undo
void AcceptSheetUndoCollection(SheetRecord*) {}              // commits the undo step



// Will record a move op for the replay.
void CollectUndoMoveSheetItem(SheetRecord*, int32_t, void*, Point, int32_t) {}
// Will record a copy of the item for the replay.
void CollectUndoSwapSheetItem(SheetRecord*, int32_t, void*) {}
// Will record an area to redraw on the replay.
void CollectUndoInvalSheetRect(SheetRecord*, const Rect*) {}

// Will run the symbol information dialog.
void EditSymbolInformation(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}


ElementRecord* HitTestGrafElements(LinkListHeader*, Point, int32_t, int32_t, bool* insideFill) {
    if (insideFill) *insideFill = false;
    return nullptr;                                     // will find the element at the point
}
void DragCreateElement(SheetRecord*, VXEventRecord*) {}  // will drag a new element
void CreateSheetPolyClick(SheetRecord*, Point) {}        // will add a polygon vertex
void ResizeSheetElement(SheetRecord*, int32_t, VXEventRecord*) {}  // will drag an element handle
int32_t UpdateSelectedSheetElements(SheetRecord*, int32_t, uint32_t) { return 0; }  // will restyle


void DeleteSheetSelection(SheetRecord*, int32_t, int32_t, bool) {}    // will delete the selection
void SetClipPastePosition(Point) {}                     // will set the clip's paste point

void EditCompSymbolPinInfo(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}
void EditSheetSettings(SheetRecord*) {}                 // will open the sheet settings

void PanDrag(VXWindowRecordTag*, VXEventRecord*) {}     // will pan the view by dragging
int32_t TrackZoomRect(VXWindowRecordTag*, VXEventRecord*) { return 0; }  // zoom rectangle
void ClearBrowserKeySelection(SheetRecord*) {}          // will clear the typed selection
bool GraphSpiceNode(SheetRecord*, SignalRecord**, bool) { return false; }  // will graph a node

// Will free the collecting record.
void AbortSheetUndoCollection(SheetRecord*) {}
// Will record the item's coming or going; until then nothing collects, and a removed text or
// signal is freed at once as it is when no action is being collected.
void CollectUndoSheetItemExistance(SheetRecord*, int32_t itemKind, void* item, int32_t present) {
    if (present || !item) return;
    if (itemKind == 3) {
        DestroySignal(static_cast<SignalHandle>(item));
    } else if (itemKind == 2) {
        LinkListHeader* list = CreateTextList();
        LLPush(list, item);
        LLDispose(list, true);
    }
}
// Will record a hide-text op.
void CollectUndoHideSheetText(SheetRecord*, TextRecord*) {}
// Will record an item-string op.
void CollectUndoSheetChangeItemString(SheetRecord*, int32_t, void*, uint32_t, int16_t) {}
// Will record a custom op; until then nothing collects and the op is discarded at once.
void CollectUndoCustomSheetAction(SheetRecord* sheet, int32_t, SheetUndoCustomProc proc, void* data, int32_t) {
    if (proc) proc(sheet, data, true);
}
// Will record a copy of the break-out table, once per action.
void CollectUndoAltBOTable(SheetRecord*) {}

}  // namespace plexa
