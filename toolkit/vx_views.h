// Layered views: a child window that holds several layers of controls and child windows, of which
// one is shown at a time (the pages of a tab view or of a segmented control, each filled from a
// UI template).
//
// Each window's content is the platform layer's content view (platform/window_platform.h): it
// draws through update events, turns the mouse, keys and wheel into toolkit events, carries the
// native controls (platform/control_platform.h), the overlay, the tooltip rectangles
// (vx_tooltips.h) and dropped files; panels (vx_panels.h) keep the frames, panes and scroll bars
// on top of it. A layer here is the set of controls and child windows that live in the window
// while that layer is current: switching layers puts the current layer's control list and child
// windows aside (hidden) and brings the chosen layer's back.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct PlatformRect;
class DrawContext;
using VXEventProc = int32_t (*)(VXWindowRecordTag* window, VXEventRecord* event);

// The content view's background under a window's drawing, for the dirty rectangle (window
// content coordinates): the background colour; a window with the page status bit shows its pad
// as the page, the area beyond it grey with a black edge 2 units wide along the page's bottom and
// right. (Content views are opaque here: a layered view's panel is marked not opaque, but the
// platform composes a child view's backing image over its parent without its transparency.)
void VXDrawViewBackground(VXWindowRecordTag* window, DrawContext* context,
                          const PlatformRect& dirty);

// After a window's own drawing: a child window made with the frame flag gets a rectangle stroked
// inside its bounds in the frame colour (theme brush 17), one made with the bezel flag a white
// bezel (dark top and left edges, white bottom and right ones). Drawn by the child's own view,
// which covers its whole rectangle.
void VXDrawViewFrame(VXWindowRecordTag* window, DrawContext* context);

// Makes a layered child window in the parent at the rectangle and shows it. With a tab item (a
// tab view or segmented control of the parent), a layer count of 0 or less takes the number of
// its tabs or segments, and a tab view gives its content area as the rectangle. The event
// procedure sees every event first; the window's reference value is `refcon`; `userValue` is
// kept with the layers. None when the window cannot be made.
VXWindowRecordTag* VXCreateLayeredView(VXWindowRecordTag* parent, const Rect* rect,
                                       int32_t layerCount, int16_t tabItem, VXEventProc eventProc,
                                       void* refcon, int64_t userValue = 0);
// Makes a child window layered: its event procedure is kept and called first for every event.
// False when it is layered already or the count is not positive.
bool VXInstallLayeredViewInChildWindow(VXWindowRecordTag* window, int32_t layerCount);
int32_t LayerViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

// Switches layers; answers the previous one (-1 for a window that is not layered or a layer out
// of range, which changes nothing).
int32_t VXSetCurrentViewLayer(VXWindowRecordTag* window, int32_t layer);
int32_t VXGetCurrentViewLayer(VXWindowRecordTag* window);
int32_t VXCountViewLayers(VXWindowRecordTag* window);
int64_t VXGetLayeredViewValue(VXWindowRecordTag* window);
// Loads a UI template view's controls into a layer (VXLoadControls) and switches back; answers
// what VXLoadControls answers (0 for a bad layer).
int16_t VXLoadControlsForViewLayer(VXWindowRecordTag* window, int32_t layer, uint16_t viewID,
                                   int16_t h, int16_t v, uint32_t options);
// The layer has no controls and no child windows (true for a bad layer).
bool VXIsViewLayerEmpty(VXWindowRecordTag* window, int32_t layer);

}  // namespace plexa
