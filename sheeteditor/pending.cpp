// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

namespace plexa {

void FinishCreateSheetPoly(SheetRecord*, bool) {}            void TrackColorPopup(VXWindowRecordTag*, int16_t, bool) {}   // the outline or fill colour popup
void TrackLineWidthPopup(VXWindowRecordTag*, int16_t, const VXEventRecord*, int32_t) {}  // widths
void StartSheetUndoCollection(SheetRecord*, int32_t) {}      // starts collecting an undo step
void CollectUndoSetSheetView(SheetRecord*) {}                // records the view for undo
void AcceptSheetUndoCollection(SheetRecord*) {}              // commits the undo step

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

void InstantiateLibraryItem(SheetRecord*, Point) {}     // will place the library item
void EditSignalInfo(SheetRecord*, SignalRecord**, WireRecord**, int32_t, SymbolRecord*) {}
void EditBussInfo(SheetRecord*, BussRecord**, WireRecord**, int32_t, Point) {}
void EditSignalPortInfo(SheetRecord*, SymbolRecord*, SignalRecord**, WireRecord**) {}
void EditBussPortInfo(SheetRecord*, SymbolRecord*, BussRecord**) {}
void EditSheetSettings(SheetRecord*) {}                 // will open the sheet settings

void PanDrag(VXWindowRecordTag*, VXEventRecord*) {}     // will pan the view by dragging
int32_t TrackZoomRect(VXWindowRecordTag*, VXEventRecord*) { return 0; }  // zoom rectangle
void ClearBrowserKeySelection(SheetRecord*) {}          // will clear the typed selection
bool GraphSpiceNode(SheetRecord*, SignalRecord**, bool) { return false; }  // will graph a node

// Will free the collecting record.
void AbortSheetUndoCollection(SheetRecord*) {}
// Will record the item's coming or going.
void CollectUndoSheetItemExistance(SheetRecord*, int32_t, void*, int32_t) {}
// Will record a copy of the break-out table, once per action.
void CollectUndoAltBOTable(SheetRecord*) {}
// Will show the buss dialog and store what was confirmed; until then, as if cancelled.
int32_t BusInfoDialog(SheetRecord*, BussRecord**, char*, int32_t*, bool) { return 0; }

}  // namespace plexa
