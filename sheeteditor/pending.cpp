// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

#include "model/sheet.h"

namespace plexa {

// Will show the signal's name for editing; until then the name is accepted as offered.
int32_t SignalInfoDialog(SheetRecord*, SignalHandle, char*, uint8_t*, uint8_t*, int32_t, void*) {
    return 1;
}

// Will let the person choose a member name of the buss; until then nothing is chosen.
int32_t ChooseBusMemberNameDialog(SheetRecord*, BussHandle, char*) { return 0; }

// Will run the symbol information dialog.
void EditSymbolInformation(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}

void InstantiateLibraryItem(SheetRecord*, Point) {}     // will place the library item
void EditSignalInfo(SheetRecord*, SignalRecord**, WireRecord**, int32_t, SymbolRecord*) {}
void EditBussInfo(SheetRecord*, BussRecord**, WireRecord**, int32_t, Point) {}
void EditSignalPortInfo(SheetRecord*, SymbolRecord*, SignalRecord**, WireRecord**) {}
void EditBussPortInfo(SheetRecord*, SymbolRecord*, BussRecord**) {}
void EditCompSymbolPinInfo(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}

void PanDrag(VXWindowRecordTag*, VXEventRecord*) {}     // will pan the view by dragging
int32_t TrackZoomRect(VXWindowRecordTag*, VXEventRecord*) { return 0; }  // zoom rectangle
void ClearBrowserKeySelection(SheetRecord*) {}          // will clear the typed selection
bool GraphSpiceNode(SheetRecord*, SignalRecord**, bool) { return false; }  // will graph a node

// Will show the buss dialog and store what was confirmed; until then, as if cancelled.
int32_t BusInfoDialog(SheetRecord*, BussRecord**, char*, int32_t*, bool) { return 0; }

// Will apply a confirmed signal dialog (labels, fragments, merging, undo); meanwhile the name and
// its labels change.
void ModifySignalInfo(SheetRecord* sheet, SignalHandle* signal, WireHandle, int32_t, SymbolRecord*, TextRecord*,
                      const char* name, int32_t, uint8_t*, Rect* invalid) {
    if (!sheet || !signal || !*signal) return;
    SetSignalName(*signal, sheet->stringBlock, name);
    UpdateSignalNames(sheet, *signal, invalid);
}

// The attribute editor will edit the attributes in a list; meanwhile there is none.
AttributeEditor* CreateAttributeDialogPanel(VXWindowRecordTag*, Handle, int32_t, int32_t, StringBlock, int32_t, bool,
                                            bool) {
    return nullptr;
}
Handle GetAttributeEditorData(AttributeEditor*, Handle target, int32_t, int32_t*, StringBlock, bool) { return target; }
bool AttributeEditorChanged(const AttributeEditor*) { return false; }
void DestroyAttributeEditor(AttributeEditor*) {}

}  // namespace plexa
