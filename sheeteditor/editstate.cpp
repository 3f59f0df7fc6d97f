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

void ClearMouseTrackingState(SheetRecord* sheet) {
    constexpr Point kNoPoint{-1, -1};  // cleared
    WireInProgress& w = WireStateOf(sheet);
    for (MouseTrackRecord* r : {&w.current, &w.atClick}) {
        r->legs = 0;
        r->terminal.kind = kTermNone;
        r->terminal.point = kNoPoint;
        r->path[0] = kNoPoint;
    }
    w.lastMouse = kNoPoint;
}

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
