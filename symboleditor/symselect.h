// Selection with the symbol editor's select tool: what a click hits (elements, texts, text
// frames), selecting by click (shift toggles) and by area, dragging the selection with its
// feedback, and moving it as one undoable action, pins taking their companions in the other
// view along.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct SymbolEditorRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXEventRecord;
using TextFrameHandle = TextFrameRecord**;

// The element, text (not hidden) or frame of the current view under the point, or none.
ElementRecord* HitTestEditorElements(SymbolEditorRecord* editor, Point point);
TextRecord* HitTestEditorTextLabels(SymbolEditorRecord* editor, Point point);
TextFrameHandle HitTestEditorTextFrames(SymbolEditorRecord* editor, Point point);
// A click on an item: selects it (shift toggles) and drags the selection.
void DoEditorElementSelection(SymbolEditorRecord* editor, const VXEventRecord* event, ElementRecord* element);
void DoEditorTextLabelSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextRecord* text);
void DoEditorTextFrameSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextFrameHandle frame);
// Tracks a selection rectangle from the click; false when none was drawn.
bool TrackEditorSelectionRect(SymbolEditorRecord* editor, const VXEventRecord* event, Rect* area);
// Selects what lies wholly inside: elements, or with option texts; frames either way.
void DoEditorAreaSelection(SymbolEditorRecord* editor, const Rect& area, bool shift, bool option);
// Moves the selection by (dh, dv) as one undoable action; whether anything moved.
bool MoveEditorSelection(SymbolEditorRecord* editor, int16_t dh, int16_t dv);

// Before selecting an item: without extend the selection is cleared; with it the handles of a
// single selected element or frame are taken away.
void WillSelectEditorItem(SymbolEditorRecord* editor, bool extend);
// Drags the selection from the click; moves it by the offset at release.
void DragEditorSelection(SymbolEditorRecord* editor, const VXEventRecord* event);

}  // namespace plexa
