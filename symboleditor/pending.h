// Functions of the symbol editor that later work provides: the window calls them now and they do
// the least until then.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/textframes.h"

namespace plexa {

struct ElementRecord;
struct LibSection;
struct SymbolEditorRecord;
struct TextRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXWindowRecordTag;

// ---- Element and pin tools, handles (symboleditor/symcreate.cpp) ----
void PrepEditorModifiers(SymbolEditorRecord* editor);
void DrawElementModifiers(SymbolEditorRecord* editor);
// The handle under the point, kNoModifier (symcreate.h) for none.
int32_t HitTestElementModifier(SymbolEditorRecord* editor, Point point);
void ResizeElement(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle);
void ResizeSymbolEditTextFrame(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle);
void CreatePolyClick(SymbolEditorRecord* editor, const VXEventRecord* event);
void ShowPolyCreation(SymbolEditorRecord* editor, Point mouse);
void DoCreateNode(SymbolEditorRecord* editor, const VXEventRecord* event);
void DoCreateElement(SymbolEditorRecord* editor, const VXEventRecord* event);

// ---- Selection by click and area, dragging, moving (symboleditor/symselect.cpp) ----
ElementRecord* HitTestEditorElements(SymbolEditorRecord* editor, Point point);
TextRecord* HitTestEditorTextLabels(SymbolEditorRecord* editor, Point point);
TextFrameHandle HitTestEditorTextFrames(SymbolEditorRecord* editor, Point point);
void DoEditorElementSelection(SymbolEditorRecord* editor, const VXEventRecord* event, ElementRecord* element);
void DoEditorTextLabelSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextRecord* text);
void DoEditorTextFrameSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextFrameHandle frame);
bool TrackEditorSelectionRect(SymbolEditorRecord* editor, const VXEventRecord* event, Rect* area);
void DoEditorAreaSelection(SymbolEditorRecord* editor, const Rect& area, bool shift, bool option);
bool MoveEditorSelection(SymbolEditorRecord* editor, int16_t dh, int16_t dv);

// ---- Clipboard (symboleditor/symclip.cpp) ----
void ToggleCutClipFlag(uint32_t clipId);
void DeleteSymbolEditorSelection(SymbolEditorRecord* editor, bool cut, uint16_t undoKind);

// ---- Tools, tabs, dialogs ----
// Tabs and tools (symboleditor/symtools.cpp).
void SetSymbolEditorView(SymbolEditorRecord* editor, uint16_t tab, int32_t pinSet);
void SetSymbolEditorTool(SymbolEditorRecord* editor, uint16_t tool);
// The list tabs: the content pane's handler and row hook while a list is shown; writing a list's
// pending edits into the item (false when they are invalid); the Pins tab's rows (their count);
// the list's preparation after its rows are in; the hidden pins' attributes.
int32_t EditListViewHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t EditListsFunnelHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record);
bool FlushSymbolEditorList(SymbolEditorRecord* editor, bool listFlag);
int32_t BuildPinListEditArray(SymbolEditorRecord* editor);
void PrepareSymbolEditorList(SymbolEditorRecord* editor);
void EditHiddenPinAttributes(SymbolEditorRecord* editor);
// The part dialogs: a new part (section) and a definition's or section's name.
void NewPartSlotDialog(SymbolEditorRecord* editor);
void PartNameDialog(SymbolEditorRecord* editor, LibSection* section);
// The pin dialog; whether it changed the pin.
bool EditSymbolEditorPinInfo(SymbolEditorRecord* editor, ElementRecord* pin, TextRecord* text, int32_t item);
// The net symbol, port and part symbol dialogs; whether they changed something.
bool NetSymbolInfoDialog(SymbolEditorRecord* editor);
bool PortInfoDialog(SymbolEditorRecord* editor);
bool PartSymbolDialog(SymbolEditorRecord* editor, int32_t symbol);

// ---- View ----
void DrawGrid(VXWindowRecordTag* window, int16_t step, const Rect* area);
void PanDrag(VXWindowRecordTag* window, const VXEventRecord* event);
// Tracks a zoom rectangle; whether one was drawn.
bool TrackZoomRect(VXWindowRecordTag* window, const VXEventRecord* event);
void AdjustViewScale(VXWindowRecordTag* window, int32_t amount);

}  // namespace plexa
