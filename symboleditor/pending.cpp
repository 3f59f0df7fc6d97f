#include "symboleditor/pending.h"

namespace plexa {

void SetSymbolEditorView(SymbolEditorRecord*, uint16_t, int32_t) {}  // shows a list tab
void SetSymbolEditorTool(SymbolEditorRecord*, uint16_t) {}  // chooses a tool
bool EditSymbolEditorPinInfo(SymbolEditorRecord*, ElementRecord*, TextRecord*, int32_t) { return false; }  // pin dialog
bool NetSymbolInfoDialog(SymbolEditorRecord*) { return false; }          // net symbol dialog
bool PortInfoDialog(SymbolEditorRecord*) { return false; }               // port dialog
bool PartSymbolDialog(SymbolEditorRecord*, int32_t) { return false; }    // part symbol dialog

void DrawGrid(VXWindowRecordTag*, int16_t, const Rect*) {}                 // draws the grid
void PanDrag(VXWindowRecordTag*, const VXEventRecord*) {}                  // pans the view
bool TrackZoomRect(VXWindowRecordTag*, const VXEventRecord*) { return false; }  // zoom rectangle
void AdjustViewScale(VXWindowRecordTag*, int32_t) {}                       // wheel zoom

}  // namespace plexa
