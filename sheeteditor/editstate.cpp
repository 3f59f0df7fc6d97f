#include "sheeteditor/editstate.h"

#include "foundation/assert.h"
#include "model/sheet.h"
#include "model/wires.h"

namespace plexa {

SheetEditState* SheetEditStateOf(SheetRecord* sheet) {
    PLEXA_ASSERT(sheet);
    if (!sheet->editState) {
        sheet->editState = new SheetEditState;
        sheet->editState->sheet = sheet;
    }
    PLEXA_ASSERT(sheet->editState->sheet == sheet);  // an edit state belongs to its sheet
    return sheet->editState;
}

WireInProgress& WireStateOf(SheetRecord* sheet) { return SheetEditStateOf(sheet)->wire; }

void ReleaseWireInProgress(WireInProgress* w) {
    if (w->wire) DestroyWire(w->wire);
    *w = WireInProgress{};
}

void ReleaseSheetEditState(SheetRecord* sheet) {
    if (!sheet || !sheet->editState) return;
    SheetEditState* state = sheet->editState;
    sheet->editState = nullptr;
    ReleaseWireInProgress(&state->wire);
    SearchReset(&state->search, true);
    delete state;
}

}  // namespace plexa
