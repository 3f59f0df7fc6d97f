// Functions of the symbol editor that later work provides: the window calls them now and they do
// the least until then.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/textframes.h"

namespace plexa {

struct ElementRecord;
struct SymbolEditorRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// ---- Element and pin tools, handles ----
// Rebuilds the handles of the single selected element or frame.
void PrepEditorModifiers(SymbolEditorRecord* editor);
// Draws the handles of the single selected element or frame.
void DrawElementModifiers(SymbolEditorRecord* editor);
// The handle under the point, -1 for none.
int32_t HitTestElementModifier(SymbolEditorRecord* editor, Point point);
// Resize the single selected element or text frame by a handle.
void ResizeElement(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle);
void ResizeSymbolEditTextFrame(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle);
// The polygon tool's click, the rubber band that follows the mouse, and finishing the polygon.
void CreatePolyClick(SymbolEditorRecord* editor, const VXEventRecord* event);
void ShowPolyCreation(SymbolEditorRecord* editor, Point mouse);
// The pin tool's and the other element tools' clicks.
void DoCreateNode(SymbolEditorRecord* editor, const VXEventRecord* event);
void DoCreateElement(SymbolEditorRecord* editor, const VXEventRecord* event);

// ---- Selection by click and area, dragging, moving ----
// The element, text or frame of the current view under the point, or none.
ElementRecord* HitTestEditorElements(SymbolEditorRecord* editor, Point point);
TextRecord* HitTestEditorTextLabels(SymbolEditorRecord* editor, Point point);
TextFrameHandle HitTestEditorTextFrames(SymbolEditorRecord* editor, Point point);
// Select (and drag) what was clicked.
void DoEditorElementSelection(SymbolEditorRecord* editor, const VXEventRecord* event, ElementRecord* element);
void DoEditorTextLabelSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextRecord* text);
void DoEditorTextFrameSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextFrameHandle frame);
// Tracks a selection rectangle from the click; false when none was drawn.
bool TrackEditorSelectionRect(SymbolEditorRecord* editor, const VXEventRecord* event, Rect* area);
void DoEditorAreaSelection(SymbolEditorRecord* editor, const Rect& area, bool shift, bool option);
// Moves the selection by (dh, dv); whether anything moved.
bool MoveEditorSelection(SymbolEditorRecord* editor, int16_t dh, int16_t dv);

// ---- Clipboard ----
// Inverts the private clip's cut-undone flag when its id is `clipId`.
void ToggleCutClipFlag(uint32_t clipId);
void DeleteSymbolEditorSelection(SymbolEditorRecord* editor, bool cut, uint16_t undoKind);

// ---- Tools, tabs, dialogs ----
// Shows a list tab for the pin set.
void SetSymbolEditorView(SymbolEditorRecord* editor, uint16_t tab, int32_t pinSet);
void SetSymbolEditorTool(SymbolEditorRecord* editor, uint16_t tool);

// ---- Attribute editor ----
// An attribute editor over `count` attributes of `source` from byte `start`, in a child window of
// `parent` filling `rect`; none until the attribute editor exists.
void* CreateAttributeEditorWindow(VXWindowRecordTag* parent, const Rect* rect, Handle source, int32_t start,
                                  int32_t count, StringBlock block, int32_t kind, bool visibilityColumn,
                                  bool readOnly);
// The same over a dialog panel's client area (inset by 6), editing from the name of row 0.
void* CreateAttributeDialogPanel(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                                 StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly);
// Takes the editor's entries back into the target; whether they changed.
bool GetAttributeEditorData(void* editor, Handle target, int32_t start, int16_t* count, StringBlock block,
                            bool freeWhenEmpty);

// ---- View ----
void DrawGrid(VXWindowRecordTag* window, int16_t step, const Rect* area);
void PanDrag(VXWindowRecordTag* window, const VXEventRecord* event);
// Tracks a zoom rectangle; whether one was drawn.
bool TrackZoomRect(VXWindowRecordTag* window, const VXEventRecord* event);
void AdjustViewScale(VXWindowRecordTag* window, int32_t amount);

}  // namespace plexa
