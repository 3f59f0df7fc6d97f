// Dragging an item out of the window it was pressed in onto another place of the program (a row
// of a list onto a document window). Once the press has moved beyond its drag threshold, the
// pointer is followed across every window of the program until the button goes up or Escape is
// pressed. At each step the client is asked whether the place under the pointer takes the item:
// over one that does, the cursor shows a copy and the client draws its feedback (an outline of
// what would land there) in an overlay over that window; elsewhere the cursor shows refusal and
// nothing is drawn. A release over a place that takes the item drops it there; a release
// elsewhere (outside every window of the program, over a place that refuses, back on the item's
// own window) or Escape drops nothing.
//
// The places are found through the window system: the top-level window under the pointer on
// screen (toolkit/vx_tracking.h, VXWindowFromScreenPoint), then the deepest panel of it whose
// content holds the point, and the pane and pad point there. A real press and a scripted one take
// the same path.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "toolkit/vx_tracking.h"

namespace plexa {

struct VXWindowRecordTag;

// Where the pointer is during an item drag.
struct VXItemDragTarget {
    VXWindowRecordTag* topWindow = nullptr;  // the top-level window under the pointer, or none
    VXWindowRecordTag* window = nullptr;     // the window (that one or a child of it) whose panel
                                             // content holds the point, or none
    int32_t pane = kVXNoPane;                // that window's pane under the point
    _LPNT padPoint{};                        // the point in that pane's pad, unscaled
    _LPNT screenPoint{};                     // the pointer on screen, y down
    uint32_t modifiers = 0;
};

// What the drag asks its client.
enum : int32_t {
    // The pointer is over the target: nonzero when the target takes the item.
    kVXItemDragOver = 1,
    // The overlay over the target's window is drawn: the client draws its feedback (the target's
    // window is the current one, in its pane's pad coordinates). Only after an Over that took it.
    kVXItemDragFeedback = 2,
    // The button went up over a target whose last Over took the item.
    kVXItemDragDrop = 3,
    // The drag is over, dropped or not (always the last message; the target is where it ended).
    kVXItemDragEnd = 4,
};
using VXItemDragProc = int32_t (*)(int32_t message, const VXItemDragTarget* target, void* refcon);

struct VXItemDragClient {
    VXItemDragProc proc = nullptr;
    void* refcon = nullptr;
};

// Follows a drag whose threshold the pointer has passed (VXWaitDragBegin) until the button of the
// mode goes up or Escape is pressed; answers whether the item was dropped on a target that took
// it. The source is the window the press went to (none: the screen's mouse alone); its going
// away ends the drag without a drop.
bool VXTrackItemDrag(VXWindowRecordTag* source, int32_t mode, const VXItemDragClient& client);

// The target under a screen point (y down), as the drag finds it.
VXItemDragTarget VXItemDragTargetAt(const _LPNT& screenPoint, uint32_t modifiers);

}  // namespace plexa
