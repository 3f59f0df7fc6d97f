#include "symboleditor/pending.h"

#include "toolkit/vx_events.h"

namespace plexa {

void DrawGrid(VXWindowRecordTag*, int16_t, const Rect*) {}                 // draws the grid
void PanDrag(VXWindowRecordTag*, const VXEventRecord*) {}                  // pans the view
bool TrackZoomRect(VXWindowRecordTag*, const VXEventRecord*) { return false; }  // zoom rectangle

}  // namespace plexa
