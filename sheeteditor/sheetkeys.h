// Keys and clicks in the sheet pane: which operation runs, decided from the current drawing
// tool, the mouse button, the modifier keys and what lies under the pointer, in the priority
// order of the hit tests (handles, front elements, symbols, wires, texts, frames, back elements,
// then the selection rectangle). Also Escape's backing out of the current mode.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "sheeteditor/sheettools.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;

// The pane id of the sheet pane in a click.
constexpr uint8_t kSheetPaneId = 255;

// The key: 1 when consumed; for Escape whether something was backed out of.
int32_t DoKey(SheetRecord* sheet, VXEventRecord* event);
// A mouse-down or double click in the sheet window.
void DoMouseClick(SheetRecord* sheet, VXEventRecord* event);
// A double click of the select tool: 1 when it opened or did something, 0 when nothing was under
// the pointer.
int32_t DoDoubleClick(SheetRecord* sheet, VXEventRecord* event);
// Escape: ends the zoom mode, or a wire or bus being made, or goes back to the select tool; 1
// when something was backed out of, 0 with nothing to do.
int32_t BackOutOfCurrentMode(SheetRecord* sheet);

}  // namespace plexa
