#include "sheeteditor/editstate.h"

#include <cassert>

#include "model/sheet.h"

namespace plexa {

SheetEditState* SheetEditStateOf(SheetRecord* sheet) {
    assert(sheet);
    if (!sheet->editState) {
        sheet->editState = new SheetEditState;
        sheet->editState->sheet = sheet;
    }
    assert(sheet->editState->sheet == sheet && "an edit state belongs to its sheet");
    return sheet->editState;
}

WireInProgress& WireStateOf(SheetRecord* sheet) { return SheetEditStateOf(sheet)->wire; }

void ReleaseSheetEditState(SheetRecord* sheet) {
    if (!sheet || !sheet->editState) return;
    SheetEditState* state = sheet->editState;
    sheet->editState = nullptr;
    ReleaseWireInProgress(&state->wire);
    delete state;
}

}  // namespace plexa
