// The graphic element tools of a sheet window: creating lines, arrows, rectangles, ovals, rounded
// rectangles and arcs by dragging and polygons by clicking; reshaping a selected element by its
// handles; restyling the selected elements from the top tool bar's width, fill and colour
// choices; bringing elements forward and sending them back; and hit testing an element list.
// (The list is drawn by DrawGrafElements, model/sheetdraw.h.)
//
// This module owns the element being dragged into being; the polygon being clicked into being is
// the sheet's `elementInCreation`.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct ImageList;
struct LinkListHeader;
struct SheetRecord;
struct SymbolEditorRecord;
struct VXWindowRecordTag;
struct VXEventRecord;

// Options of new elements.
constexpr int16_t kNewRoundRectCorner = 18;
// Commands of the stacking order.
constexpr uint16_t kCmdBringToFront = 312, kCmdMoveForward = 313, kCmdMoveBack = 314,
                   kCmdSendToBack = 315;
// Modes of HitTestGrafElements.
constexpr int32_t kHitBackLayer = 0x01, kHitSkipHideable = 0x02;

// An element being made or reshaped: the element, the point it started from (creation) and, while
// reshaping, the element as it was before the drag.
struct ElementDragState {
    ElementRecord* element = nullptr;
    ElementRecord* original = nullptr;
    Point anchor{};
    ImageList* images = nullptr;
};

// ---- Creation ----

// Makes an element of the current tool (kinds 1-6) by dragging from the click; a drag that ends
// where it began makes nothing. The new element is pushed at the front of the element list.
void DragCreateElement(SheetRecord* sheet, VXEventRecord* event);
// The element of a creation drag for the anchor and the current point.
void RecalcElement(ElementDragState* state, Point point);
// One click of the polygon tool: starts the polygon or adds a vertex. True when the click closes
// it on its first vertex or ends it at its last vertex: the polygon is ready to be finished
// (CreateSheetPolyClick, sheeteditor/sheettools.h, then chooses the select tool).
bool AddSheetPolyClick(SheetRecord* sheet, Point point);
// Ends the polygon in creation: two vertices make a line, fewer nothing; a kept element is pushed
// at the front and, with select, selected with its handles.
void FinishCreateSheetPoly(SheetRecord* sheet, bool select);

// ---- Reshaping ----

// Drags handle `id` (sheeteditor/sheetselect.h) of the selected element. A result without area (or a line of no length) is
// refused with a beep and the element stays as it was.
void ResizeSheetElement(SheetRecord* sheet, int32_t id, VXEventRecord* event);
// The element for handle `id` moved to the point, from the element as it was before the drag.
void ModifyElement(ElementDragState* state, int32_t id, Point point);
void ModifyFrame(ElementDragState* state, int32_t id, Point point);
void ModifyAngle(ElementDragState* state, int32_t id, Point point);
void ModifyArrowHead(ElementDragState* state, Point point);
void ModifyRoundCorner(ElementDragState* state, Point point);
// Draws the angle that an arc handle (12 the start, 13 the end) points at, beside the arc.
void DrawArcAngleDegrees(ElementDragState* state, int32_t angle, Point point);
// Whether the element has no area to show (see ResizeSheetElement).
bool IsDegenerateElement(const ElementRecord* element);

// ---- Restyling ----

// Applies a width (1), fill (4: value 0 or 1), frame colour (8) or fill colour (16: value
// kNoOwnColor for none of its own) to the selected elements; returns how many were selected.
int32_t UpdateSelectedSheetElements(SheetRecord* sheet, int32_t what, uint32_t value);
int32_t UpdateSelectedSymbolElements(SymbolEditorRecord* editor, int32_t what, uint32_t value);
// The same for the symbol editor whose window is given; 0 for a window of none.
int32_t UpdateSymbolEditorWindowElements(VXWindowRecordTag* window, int32_t what, uint32_t value);
// One element restyled; true when it changed.
bool RestyleElement(ElementRecord* element, int32_t what, uint32_t value);

// ---- Stacking order ----

// Commands 312-315 on the single selected element of the sheet (the back layer included) or of
// the symbol editor's current view. True when the order or the layer changed.
bool ChangeSheetElementOrder(SheetRecord* sheet, int32_t command);
bool ChangeLibElementOrder(SymbolEditorRecord* editor, int32_t command);
// The same on a list: the element's new place; backLayer says whether the list has a back layer.
bool ChangeElementOrder(LinkListHeader* list, ElementRecord* element, int32_t command,
                        bool backLayer);
// The single selected element of a list, or none (none also with several).
ElementRecord* SingleSelectedElement(LinkListHeader* list);

// ---- Hit testing ----

// The front-most element under the point (within `tolerance`), considering only back-layer or
// only front elements as mode bit 0x01 says, and with 0x02 not the hideable ones. `insideFill`
// (when given) is set when the point lies in the fill of an element picked only on its outline.
ElementRecord* HitTestGrafElements(LinkListHeader* elementList, Point point, int32_t tolerance,
                                   int32_t mode, bool* insideFill);
// The same over the sheet's own element list, through its index.
ElementRecord* HitTestGrafElements(SheetRecord* sheet, Point point, int32_t tolerance, int32_t mode,
                                   bool* insideFill);

}  // namespace plexa
