// Functions of the symbol editor that later work provides: the window calls them now and they do
// the least until then.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct LibSection;
struct SymbolEditorRecord;
struct TextRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXWindowRecordTag;

// ---- View ----
void DrawGrid(VXWindowRecordTag* window, int16_t step, const Rect* area);
void PanDrag(VXWindowRecordTag* window, const VXEventRecord* event);
// Tracks a zoom rectangle; whether one was drawn.
bool TrackZoomRect(VXWindowRecordTag* window, const VXEventRecord* event);

}  // namespace plexa
