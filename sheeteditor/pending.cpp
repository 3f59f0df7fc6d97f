// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

namespace plexa {

void FinishCreateSheetPoly(SheetRecord*, bool) {}            // finishes the polygon being drawn

// Will show the signal's name for editing; until then the name is accepted as offered.
int32_t SignalInfoDialog(SheetRecord*, SignalHandle, char*, uint8_t*, uint8_t*, int32_t, void*) {
    return 1;
}

// Will let the person choose a member name of the buss; until then nothing is chosen.
int32_t ChooseBusMemberNameDialog(SheetRecord*, BussHandle, char*) { return 0; }

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

void InstantiateLibraryItem(SheetRecord*, Point) {}     // will place the library item
void EditSignalInfo(SheetRecord*, SignalRecord**, WireRecord**, int32_t, SymbolRecord*) {}
void EditBussInfo(SheetRecord*, BussRecord**, WireRecord**, int32_t, Point) {}
void EditSignalPortInfo(SheetRecord*, SymbolRecord*, SignalRecord**, WireRecord**) {}
void EditBussPortInfo(SheetRecord*, SymbolRecord*, BussRecord**) {}
void EditCompSymbolPinInfo(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}
void EditSheetSettings(SheetRecord*) {}                 // will open the sheet settings

void ClearBrowserKeySelection(SheetRecord*) {}          // will clear the typed selection
bool GraphSpiceNode(SheetRecord*, SignalRecord**, bool) { return false; }  // will graph a node

// Will show the buss dialog and store what was confirmed; until then, as if cancelled.
int32_t BusInfoDialog(SheetRecord*, BussRecord**, char*, int32_t*, bool) { return 0; }

}  // namespace plexa
