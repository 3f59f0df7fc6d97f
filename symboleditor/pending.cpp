#include "symboleditor/pending.h"

namespace plexa {

void PrepEditorModifiers(SymbolEditorRecord*) {}                          // rebuilds the handles
void DrawElementModifiers(SymbolEditorRecord*) {}                         // draws the handles
int32_t HitTestElementModifier(SymbolEditorRecord*, Point) { return -1; }  // the handle hit
void ResizeElement(SymbolEditorRecord*, const VXEventRecord*, int32_t) {}  // drags a handle
void ResizeSymbolEditTextFrame(SymbolEditorRecord*, const VXEventRecord*, int32_t) {}  // frame width
void CreatePolyClick(SymbolEditorRecord*, const VXEventRecord*) {}         // adds a polygon point
void ShowPolyCreation(SymbolEditorRecord*, Point) {}                       // the rubber band
void DoCreateNode(SymbolEditorRecord*, const VXEventRecord*) {}            // makes pins
void DoCreateElement(SymbolEditorRecord*, const VXEventRecord*) {}         // makes an element

ElementRecord* HitTestEditorElements(SymbolEditorRecord*, Point) { return nullptr; }   // element hit
TextRecord* HitTestEditorTextLabels(SymbolEditorRecord*, Point) { return nullptr; }    // text hit
TextFrameHandle HitTestEditorTextFrames(SymbolEditorRecord*, Point) { return nullptr; }  // frame hit
void DoEditorElementSelection(SymbolEditorRecord*, const VXEventRecord*, ElementRecord*) {}  // selects, drags
void DoEditorTextLabelSelection(SymbolEditorRecord*, const VXEventRecord*, TextRecord*) {}   // selects, drags
void DoEditorTextFrameSelection(SymbolEditorRecord*, const VXEventRecord*, TextFrameHandle) {}  // selects, drags
bool TrackEditorSelectionRect(SymbolEditorRecord*, const VXEventRecord*, Rect*) { return false; }  // area
void DoEditorAreaSelection(SymbolEditorRecord*, const Rect&, bool, bool) {}  // selects in the area
bool MoveEditorSelection(SymbolEditorRecord*, int16_t, int16_t) { return false; }  // moves the selection

void ToggleCutClipFlag(uint32_t) {}  // the clip's cut-undone flag
void DeleteSymbolEditorSelection(SymbolEditorRecord*, bool, uint16_t) {}  // deletes the selection

void SetSymbolEditorView(SymbolEditorRecord*, uint16_t, int32_t) {}  // shows a list tab
void SetSymbolEditorTool(SymbolEditorRecord*, uint16_t) {}  // chooses a tool

void* CreateAttributeEditorWindow(VXWindowRecordTag*, const Rect*, Handle, int32_t, int32_t, StringBlock, int32_t,
                                  bool, bool) { return nullptr; }  // will list the attributes
void* CreateAttributeDialogPanel(VXWindowRecordTag*, Handle, int32_t, int32_t, StringBlock, int32_t, bool, bool) {
    return nullptr;  // will list the attributes in a panel
}
bool GetAttributeEditorData(void*, Handle, int32_t, int16_t*, StringBlock, bool) { return false; }  // reads them back

void DrawGrid(VXWindowRecordTag*, int16_t, const Rect*) {}                 // draws the grid
void PanDrag(VXWindowRecordTag*, const VXEventRecord*) {}                  // pans the view
bool TrackZoomRect(VXWindowRecordTag*, const VXEventRecord*) { return false; }  // zoom rectangle
void AdjustViewScale(VXWindowRecordTag*, int32_t) {}                       // wheel zoom

}  // namespace plexa
