// The mouse: where it is in screen, window, panel-content and pad coordinates, which window, panel
// and pane lie under a point, the tracking loop that tools run after a mouse-down (waiting for a
// drag to begin, following it with autoscroll until the button goes up or Escape is pressed), the
// rubber-band selection rectangle, the toolkit's standard and named cursors with each window's
// cursor, and the acceptance of dropped files.
//
// A pass of the tracking loop takes the platform's input for the time it waits; a window that goes
// away during a pass, or a wait that can no longer end, ends the pass as a release of the button.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct VXPanelRecordTag;
struct PlatformCursor;

// Results of one pass.
enum : int32_t {
    kVXTrackMouseDown = 1, kVXTrackMouseUp = 2, kVXTrackDragged = 5, kVXTrackModifiers = 6,
    kVXTrackEscape = 7, kVXTrackTimeout = 8, kVXTrackMoved = 9, kVXTrackWheel = 10,
};
// Tracking modes: the button followed.
constexpr int32_t kVXTrackLeft = 0, kVXTrackRight = 1, kVXTrackOther = 2;
// Tracking flags: also take scroll-wheel events.
constexpr uint32_t kVXTrackWantsWheel = 2;
// No pane; the pane of a drag that did not begin reads 65534 as 16 bits.
constexpr int32_t kVXNoPane = -2;

// One pass. A time-out of 0 polls, -1 waits without limit, else waits that many seconds. The
// point is the window's panel-content mouse (without a window, the screen mouse, y down). For
// results 1, 2 and 10 the event, when asked for, describes the input.
int32_t RunMouseTrackingLoop(VXWindowRecordTag* window, int32_t mode, uint32_t flags,
                             VXEventRecord* outEvent, _LPNT* outPoint, uint32_t* outModifiers,
                             double timeout);
// One pass with the point in the pad and the pane under it.
int32_t VXTrackMouseState(VXWindowRecordTag* window, int32_t mode, uint32_t flags,
                          VXEventRecord* outEvent, uint32_t* outModifiers, _LPNT* outPadPoint,
                          int16_t* outPane, double timeout);
bool VXWaitDragBegin(VXWindowRecordTag* window, int32_t mode, int32_t slopH, int32_t slopV,
                     _LPNT* outPadPoint, int16_t* outPane, double timeout);
bool VXWaitDragEnd(VXWindowRecordTag* window, int32_t mode, bool autoScroll, _LPNT* outPadPoint);
bool VXDragDidAutoScroll();
// The window of a running pass is being released: the pass ends at once as a release.
void VXTrackingWindowGone(VXWindowRecordTag* window);

// The feedback of a selection rectangle: message 1 with each new point (before drawing), 2 while
// the overlay is drawn.
using VXSelectRectProc = void (*)(VXWindowRecordTag* window, int32_t message, const _LPNT* point,
                                  void* refcon);
bool VXTrackSelectRect(VXWindowRecordTag* window, const VXEventRecord* mouseDown, bool autoScroll,
                       VXSelectRectProc feedback, void* refcon, LRect* outRect);
// Pans the window's view with the hand cursor while the button of the mouse-down is held: the
// content follows the mouse. Only while the application is active.
void PanDrag(VXWindowRecordTag* window, const VXEventRecord* mouseDown);

// Coordinates.
int32_t TranslateMousePt(VXWindowRecordTag* window, const _LPNT* panelContentPoint,
                         _LPNT* outPadPoint);
int32_t VXGetMouse(Point* out);
int32_t VXLGetMouse(_LPNT* out);
void VXGlobalMouse(Point* out, bool flipped);
void VXLGlobalMouse(_LPNT* out, bool flipped);
void VXGetPanelContentMouse(VXWindowRecordTag* window, _LPNT* out);
// A point of the window's content (platform view) in its panel's content view, and back.
void VXWindowPointToPanelContent(VXWindowRecordTag* window, int32_t x, int32_t y, _LPNT* out);
int32_t AltViewFromPanelContentPoint(VXWindowRecordTag* window, int32_t h, int32_t v);
int32_t PanelContentPointToPanesPad(VXWindowRecordTag* window, int32_t h, int32_t v,
                                    _LPNT* outPoint);
int32_t SelectPaneFromPanelContentPoint(VXWindowRecordTag* window, int32_t h, int32_t v,
                                        _LPNT* outPoint);
VXWindowRecordTag* VXWindowFromScreenPoint(int32_t h, int32_t v, _LPNT* outPoint);

struct VXMouseContainer {
    VXWindowRecordTag* window = nullptr;
    VXPanelRecordTag* panel = nullptr;
    bool inContent = false;
    int32_t pane = kVXNoPane;
    _LPNT point{};  // in the view that was hit (the screen point when asked to keep it)
};
bool VXGetContainerFromPoint(VXMouseContainer* out, const _LPNT* screenPoint, bool flipped);
bool VXGetMouseContainer(VXMouseContainer* out, bool keepScreenPoint);
// Depth first through a panel list (children before the panel): the first panel whose structure
// frame holds the point (in the list's superview coordinates).
VXPanelRecordTag* VXPanelFromWindowContentPoint(VXPanelRecordTag* panel, int32_t h, int32_t v,
                                                bool* outInContent, _LPNT* outPoint);

// Cursors.
constexpr int32_t kVXCursorArrow = 0x7FFFFF00, kVXCursorIBeam = 0x7FFFFF01,
                  kVXCursorCrosshair = 0x7FFFFF02, kVXCursorNone = 0x7FFFFF03,
                  kVXCursorOpenHand = 0x7FFFFF04, kVXCursorPointingHand = 0x7FFFFF05,
                  kVXCursorResizeLeftRight = 0x7FFFFF06, kVXCursorResizeUpDown = 0x7FFFFF07;
// While an item is dragged out of its window: over a place that takes it, and elsewhere.
constexpr int32_t kVXCursorDragCopy = 0x7FFFFF08, kVXCursorForbidden = 0x7FFFFF09;
// A cursor from the bytes of a "cur" file (layout at the top of vx_tracking.cpp); none when they
// are not such a file or its image cannot be read. The caller releases it.
PlatformCursor* VXCursorFromCurFile(const uint8_t* data, size_t size);
// A named cursor from the resources ("cur", else "png" with the hot spot given); kept once made.
// None when there is no such resource or its image cannot be read.
PlatformCursor* VXGetCursorWithName(const char* name, int16_t hotH, int16_t hotV);
PlatformCursor* VXGetCursorWithId(int32_t id, int16_t hotH, int16_t hotV);
// Sets the application's cursor; 0x7FFFFF03 leaves each window's own (the arrow by default).
void VXSetCursor(int32_t id);
void VXPushCursor(int32_t id);
void VXPopCursor();
void VXSetWindowCursor(VXWindowRecordTag* window, int32_t id);
void VXSetNamedCursorForWindow(VXWindowRecordTag* window, const char* name);
// The window's named cursor ("" for none).
const char* VXGetNamedCursorForWindow(VXWindowRecordTag* window);
// Re-evaluates the window's cursor (unless its status forbids it).
void VXInvalWindowCursor(VXWindowRecordTag* window);
void VXRequestMouseMoved(VXWindowRecordTag* window);
// Forgets what the cursors keep of a window (its release).
void VXForgetWindowCursor(VXWindowRecordTag* window);

void VXAllowDroppedFiles(VXWindowRecordTag* window, bool allow);
const char* PasteboardTypeForDroppedFiles();

}  // namespace plexa
