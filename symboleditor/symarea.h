// The symbol editor window's drawing surface, the areas of the drawing and their invalidation, and
// where a new window goes. Nothing here needs more of the editor than its record.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct SymbolEditorRecord;
struct VXWindowRecordTag;

// The drawing surface: 46 by 36 inches at 96 dots per inch.
constexpr Rect kSymbolEditorSurface{0, 0, 3456, 4416};

// Adds a rectangle to an area (empty ones add nothing); a rectangle grown on every side.
void AddEditorArea(Rect* to, const Rect& r);
Rect GrownEditorRect(Rect r, int16_t by);
// Invalidates an area of the drawing grown by the handles' size (nothing without a window or for
// an empty area).
void InvalEditorView(SymbolEditorRecord* editor, const Rect& area);
// Invalidates an area of the drawing, none: all of it (nothing without a window).
void InvalSymbolEditorView(SymbolEditorRecord* editor, const Rect* area);

// The flags of the editor's window.
uint32_t SymbolEditorWindowFlags();
// Places a new editor's window 18 units right of and below `anchor`, unless that is off the
// screen (nothing without either window).
void PlaceSymbolEditorWindow(SymbolEditorRecord* editor, VXWindowRecordTag* anchor);

}  // namespace plexa
