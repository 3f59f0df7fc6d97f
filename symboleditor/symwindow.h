// The symbol editor's window (kind 111; its child windows 112): its event handler, the keys and
// clicks of the drawing, double clicks, the drawing of the view shown, and the selection
// bookkeeping that the editing operations share: counting the selection, clearing it, its bounds
// and their invalidation, changing the selected elements' pen, pin value and fill, and rotating
// and mirroring the selection (undoable, symboleditor/symundo.h).
//
// A selected element has element flag bit 0, a selected text kTextFlagSelected, a selected frame
// kFrameFlagSelected. A pin text counts as selected when its pin is.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ll.h"
#include "foundation/rectmath.h"
#include "model/modelhooks.h"

namespace plexa {

struct ElementRecord;
struct SymbolEditorHooks;
struct SymbolEditorRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;
using TextFrameHandle = TextFrameRecord**;

constexpr uint16_t kSymbolEditorChildKind = 112;
// The drawing surface: 46 by 36 inches at 96 dots per inch.
constexpr Rect kSymbolEditorSurface{0, 0, 3456, 4416};
// Tools besides the select tool.
constexpr uint16_t kSymEditToolText = 128, kSymEditToolPoly = 7, kSymEditToolPin = 8;
// UpdateElements' change bits.
constexpr uint16_t kUpdatePenWidth = 1, kUpdatePinValue = 2, kUpdateFill = 4;
// Keys.
constexpr uint16_t kKeyEscape = 27, kKeyUp = 0xF700, kKeyDown = 0xF701, kKeyLeft = 0xF702,
                   kKeyRight = 0xF703;
// The centre that asks for the grid-snapped centre of the selection.
constexpr Point kSelectionCentre{int16_t(-32768), int16_t(-32768)};

// Puts the window layer's calls into the editor's hook table.
void AddSymbolEditorWindowHooks(SymbolEditorHooks& hooks);

int32_t SymbolEditEventHandler(VXWindowRecordTag* window, VXEventRecord* event);
// A character typed into the drawing; true when handled (every key is).
bool DoSymbolEditorKey(SymbolEditorRecord* editor, const VXEventRecord* event);
void DoMouseClick(SymbolEditorRecord* editor, const VXEventRecord* event);
void DoDoubleClick(SymbolEditorRecord* editor, const VXEventRecord* event, ElementRecord* element,
                   TextRecord* text, TextFrameHandle frame);
void DoUpdateEvent(SymbolEditorRecord* editor, const VXEventRecord* event);
void DrawEditViewContent(SymbolEditorRecord* editor, VXWindowRecordTag* window, bool noSelection,
                         const Rect* area);

// The items of one of the editor's lists, in list order.
template <class T>
std::vector<T> EditorListItems(LinkListHeader* list) {
    std::vector<T> items;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) items.push_back(static_cast<T>(item));
    return items;
}
// Adds a rectangle to an area (empty ones add nothing); a rectangle grown on every side.
void AddEditorArea(Rect* to, const Rect& r);
Rect GrownEditorRect(Rect r, int16_t by);

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
void InvalEditorView(SymbolEditorRecord* editor, const Rect& area);
void InvalEditorSelectionBounds(SymbolEditorRecord* editor);
void FrameEditorSelectionRects(SymbolEditorRecord* editor, Point offset);
void PaintEditorSelectionRects(SymbolEditorRecord* editor);
// Whether a text of the current view counts as selected (a pin text with its pin).
bool IsEditorTextSelected(const TextRecord* text);

// Changes the selected elements of the current view (kUpdate* bits).
void UpdateElements(SymbolEditorRecord* editor, uint16_t what, int16_t penWidth, uint8_t pinValue,
                    bool fill);
// Rotates or mirrors an element about the centre.
void TransformElement(ElementRecord* element, Point centre, int32_t transformation);
// Rotates or mirrors the selection (kSelectionCentre: about its grid-snapped centre), as one
// undoable action. False, with a beep and nothing changed, when the result would leave the
// drawing surface (or nothing is selected).
bool TransformSymbolEditorSelection(SymbolEditorRecord* editor, Point centre, int32_t transformation);

// Ends the typing of a text: it becomes a frame of the view.
void DestroySymbolEditorTE(SymbolEditorRecord* editor);
// The text tool's click: into the text being typed, else onto a frame to type into, else a new
// text at the grid point.
void DoTextToolClick(SymbolEditorRecord* editor, const VXEventRecord* event);
// Starts typing into an unlocked frame of the view (the click, when given, goes to it).
void StartFrameEditing(SymbolEditorRecord* editor, TextFrameHandle frame, const VXEventRecord* event);

}  // namespace plexa
