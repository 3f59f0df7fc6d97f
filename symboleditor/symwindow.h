// The symbol editor's window (kind 111; its child windows 112): its event handler, the keys and
// clicks of the drawing, double clicks, the drawing of the view shown, and changing the selected
// elements' pen, pin value and fill. The selection it works on is in symboleditor/symselection.h.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ll.h"
#include "foundation/rectmath.h"
#include "model/modelhooks.h"
#include "symboleditor/symselection.h"

namespace plexa {

struct ElementRecord;
struct SymbolEditorHooks;
struct SymbolEditorRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;
using TextFrameHandle = TextFrameRecord**;

// UpdateElements' change bits.
constexpr uint16_t kUpdatePenWidth = 1, kUpdatePinValue = 2, kUpdateFill = 4;

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

// Changes the selected elements of the current view (kUpdate* bits).
void UpdateElements(SymbolEditorRecord* editor, uint16_t what, int16_t penWidth, uint8_t pinValue,
                    bool fill);
// The text tool's click: into the text being typed, else onto a frame to type into, else a new
// text at the grid point.
void DoTextToolClick(SymbolEditorRecord* editor, const VXEventRecord* event);
// Starts typing into an unlocked frame of the view (the click, when given, goes to it).
void StartFrameEditing(SymbolEditorRecord* editor, TextFrameHandle frame, const VXEventRecord* event);

}  // namespace plexa
