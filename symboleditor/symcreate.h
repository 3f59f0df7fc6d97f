// The drawing tools of the symbol editor: elements made by dragging (lines, arrows, rectangles,
// ovals, rounded rectangles, arcs and triangles), polygons made by clicking, pins made one at a
// time or as a row, and the handles of the single selected element or text frame with the
// resizing they do. The handles themselves are in symboleditor/symselection.h.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "symboleditor/symselection.h"

namespace plexa {

struct ElementRecord;
struct SymbolEditorRecord;
struct VXEventRecord;

// Tool ids that make elements besides the element kinds 1 to 8.
constexpr uint16_t kSymEditToolTriangle = 65;

// Follows a press of the left button in the drawing: once the mouse went `slop` units (or the
// time-out, in seconds, passed), `moved` is called with each new point (pinned to the drawing
// surface and snapped to the grid). True when a drag happened; *end is its last point (the press
// point without a drag).
using EditorDragProc = void (*)(Point point, void* data);
bool TrackEditorDrag(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t slop, double timeout,
                     EditorDragProc moved, void* data, Point* end);
// A point of the drawing pinned to the surface and snapped to the editor's grid.
Point EditorDragPoint(const SymbolEditorRecord* editor, Point point);

// The handles of the single selected element or frame drawn, and the one under a point
// (kNoModifier for none).
void DrawElementModifiers(SymbolEditorRecord* editor);
int32_t HitTestElementModifier(SymbolEditorRecord* editor, Point point);
// Resizing the single selected element, or text frame, by dragging a handle.
void ResizeElement(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle);
void ResizeSymbolEditTextFrame(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle);
// The polygon tool's click and the rubber band that follows the mouse.
void CreatePolyClick(SymbolEditorRecord* editor, const VXEventRecord* event);
void ShowPolyCreation(SymbolEditorRecord* editor, Point mouse);
// The pin tool's press (with Option a row of pins) and the other drawing tools' press.
void DoCreateNode(SymbolEditorRecord* editor, const VXEventRecord* event);
void DoCreateElement(SymbolEditorRecord* editor, const VXEventRecord* event);

// The element that a drag from `press` to `point` makes with the tool (a new element, none when
// memory fails); the arc, triangle and rectangle rules of the drawing tools.
ElementRecord* CalcElementFromMouse(const SymbolEditorRecord* editor, uint16_t tool, Point press, Point point);
// The corners of the triangle a drag of (dv, dh) from the press point makes, as offsets from it.
void CalcTriangleCorners(int16_t dv, int16_t dh, Point corners[2]);

// Pins from start to end: one (through the pin dialog) or a row, one per grid step.
void FinishCreateNode(SymbolEditorRecord* editor, Point start, Point end, bool row);

}  // namespace plexa
