// Selection with the symbol editor's select tool: what a click hits (elements, texts, text
// frames), selecting by click (shift toggles) and by area, dragging the selection with its
// feedback, and moving it as one undoable action, pins taking their companions in the other
// view along.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct SymbolEditorRecord;
struct VXEventRecord;

// Before selecting an item: without extend the selection is cleared; with it the handles of a
// single selected element or frame are taken away.
void WillSelectEditorItem(SymbolEditorRecord* editor, bool extend);
// Drags the selection from the click; moves it by the offset at release.
void DragEditorSelection(SymbolEditorRecord* editor, const VXEventRecord* event);

}  // namespace plexa
