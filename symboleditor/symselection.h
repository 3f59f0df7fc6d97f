// The selection of the symbol editor's current view and what every editing operation shares
// with it: counting, clearing and enumerating the selection, its bounds and their invalidation,
// the handles of the single selected element or frame, choosing a tool (which finishes a polygon
// being built and ends the typing of a text), and rotating and mirroring the selection (undoable,
// symboleditor/symundo.h).
//
// A selected element has element flag bit 0, a selected text kTextFlagSelected, a selected frame
// kFrameFlagSelected. A pin text counts as selected when its pin is.
//
// Handle ids: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right, 4 top middle, 5 bottom
// middle, 6 left middle, 7 right middle, 8 first point of a line or pin, 9 its second point, 10
// arrow head, 11 rounded corner, 12 arc start, 13 arc end, 14 a text frame's size; the points of
// a polygon -1, -2, ... (point i has -1 - i). They are the symbol editor's own: the sheet editor
// numbers its handles differently.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ll.h"
#include "foundation/rectmath.h"
#include "symboleditor/symarea.h"

namespace plexa {

struct ElementRecord;
struct SymbolEditorRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXEventRecord;
using TextFrameHandle = TextFrameRecord**;

constexpr uint16_t kSymbolEditorChildKind = 112;
// Tools besides the select tool.
constexpr uint16_t kSymEditToolText = 128, kSymEditToolPoly = 7, kSymEditToolPin = 8;
// Keys.
constexpr uint16_t kKeyEscape = 27, kKeyUp = 0xF700, kKeyDown = 0xF701, kKeyLeft = 0xF702,
                   kKeyRight = 0xF703;
// The centre that asks for the grid-snapped centre of the selection.
constexpr Point kSelectionCentre{int16_t(-32768), int16_t(-32768)};
constexpr int32_t kNoModifier = 0x7FFF;
constexpr int32_t kFixedModifierCount = 18;
constexpr int32_t kFrameSizeModifier = 14;
// A frame's middle handles need a side of at least this length.
constexpr int16_t kMiddleModifierSide = 28;

// The items of one of the editor's lists, in list order.
template <class T>
std::vector<T> EditorListItems(LinkListHeader* list) {
    std::vector<T> items;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) items.push_back(static_cast<T>(item));
    return items;
}

// The drawing's point of a mouse event (events come in window coordinates).
Point EditorEventPoint(SymbolEditorRecord* editor, const VXEventRecord* event);

// ---- Selection ----
// Any output may be absent; a single-item output is set only when its count is 1, else cleared.
void CountSymbolEditorSelection(SymbolEditorRecord* editor, int32_t* elements, ElementRecord** element,
                                int32_t* texts, TextRecord** text, int32_t* frames, TextFrameHandle* frame);
void PrepSymbolEditorSelection(SymbolEditorRecord* editor);
void ClearSymbolEditorSelection(SymbolEditorRecord* editor);
using EditorRectProc = void (*)(const Rect& bounds, void* data);
void EnumEditorSelectionRects(SymbolEditorRecord* editor, EditorRectProc proc, void* data);
void GetEditorHiliteBounds(SymbolEditorRecord* editor, Rect* bounds);
void InvalEditorSelectionBounds(SymbolEditorRecord* editor);
void FrameEditorSelectionRects(SymbolEditorRecord* editor, Point offset);
void PaintEditorSelectionRects(SymbolEditorRecord* editor);
// Whether a text of the current view counts as selected (a pin text with its pin).
bool IsEditorTextSelected(const TextRecord* text);

// The handle positions of the editor's single selected element or frame: unset fixed handles
// hold (-32768, -32768); a polygon has its point handles instead.
struct EditorModifiers {
    Point fixed[kFixedModifierCount];
    std::vector<Point> points;
};
void CalcEditorModifiers(const SymbolEditorRecord* editor, EditorModifiers* modifiers);
// The box of a handle for a box size.
bool CalcElementModifierRect(const EditorModifiers& modifiers, int32_t id, int16_t boxSize, Rect* box);

// The area of the single selected element's or frame's handles is redrawn.
void PrepEditorModifiers(SymbolEditorRecord* editor);
// Degrees of a point about a centre: 0 at the top, clockwise.
int32_t SymbolEditorAngle(Point centre, Point p);

// Chooses a drawing tool (only while the drawing is shown).
void SetSymbolEditorTool(SymbolEditorRecord* editor, uint16_t tool);
// Finishes a polygon being built and chooses the select tool.
void FinishSymbolEditorTool(SymbolEditorRecord* editor);
void SetEditViewCursor(SymbolEditorRecord* editor);
// A new element of the kind between two points with the editor's drawing attributes.
ElementRecord* BuildSymbolEditorElement(const SymbolEditorRecord* editor, uint8_t kind, Point a, Point b,
                                        int16_t extra1, int16_t extra2);
// Takes down the rubber band of the polygon being built.
void EndSymbolEditorPolyBand(SymbolEditorRecord* editor);
// Finishes the polygon being built: two points become a line (none when equal), fewer are
// dropped; the result goes on top and, with select, is selected.
void FinishCreatePoly(SymbolEditorRecord* editor, bool select);
// Rotates or mirrors an element about the centre.
void TransformElement(ElementRecord* element, Point centre, int32_t transformation);
// Rotates or mirrors the selection (kSelectionCentre: about its grid-snapped centre), as one
// undoable action. False, with a beep and nothing changed, when the result would leave the
// drawing surface (or nothing is selected).
bool TransformSymbolEditorSelection(SymbolEditorRecord* editor, Point centre, int32_t transformation);

// Ends the typing of a text: it becomes a frame of the view.
void DestroySymbolEditorTE(SymbolEditorRecord* editor);
}  // namespace plexa
