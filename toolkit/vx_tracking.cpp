// Mouse tracking, mouse coordinates, containers under a point, cursors and dropped files.
//
// Named cursors ("cur" files) are kept in the resources as a one-image cursor file: a 6-byte
// header (reserved 0, type 2, image count, all little-endian 16-bit), then for each image a
// 16-byte entry (width, height, colour count, reserved as bytes; hot spot x and y as 16-bit at
// file offsets 10 and 12 for the first image; byte size and file offset of the image as 32-bit),
// the image itself being PNG data. The size and offset of the first image are checked against the
// file before its bytes are read.
#include "toolkit/vx_tracking.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "platform/app_platform.h"
#include "platform/cursor_platform.h"
#include "platform/input_platform.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

// One pass of the tracking loop.
struct Pass {
    bool active = false;
    int32_t windowID = 0;
    int32_t mode = 0;
    uint32_t flags = 0;
    int32_t result = 0;
    PlatformInputEvent event;
    PlatformInputSink outer = nullptr;
    bool looping = false;  // the pass's own run loop is running (held input replayed before it
                           // starts answers the pass without ending any loop)
};
Pass gPass;

bool gDidAutoScroll = false;
bool gPreviousPassScrolled = false;

bool IsModifierKey(uint16_t code) {
    return code == kPlatformKeyCommand || code == kPlatformKeyShift ||
           code == kPlatformKeyOption || code == kPlatformKeyControl;
}

int32_t Classify(const PlatformInputEvent& e) {
    switch (e.kind) {
        case PlatformInputKind::kMouseDown:
            return e.button == gPass.mode ? kVXTrackMouseDown : 0;
        case PlatformInputKind::kMouseUp:
            return e.button == gPass.mode ? kVXTrackMouseUp : 0;
        case PlatformInputKind::kMouseDragged:
            return kVXTrackDragged;
        case PlatformInputKind::kMouseMoved:
            return kVXTrackMoved;
        case PlatformInputKind::kWheel:
            return (gPass.flags & kVXTrackWantsWheel) ? kVXTrackWheel : 0;
        case PlatformInputKind::kMagnify:
            return 0;
        case PlatformInputKind::kKeyDown:
            if (e.keyCode == kPlatformKeyEscape || e.character == 27) return kVXTrackEscape;
            return IsModifierKey(e.keyCode) ? kVXTrackModifiers : 0;
        case PlatformInputKind::kKeyUp:
            return IsModifierKey(e.keyCode) ? kVXTrackModifiers : 0;
    }
    return 0;
}

// Input that came after a pass had its answer, in the order it came; handed on once the pass is
// over.
std::vector<PlatformInputEvent> gHeldInput;
bool gHeldReplayPosted = false;

void TrackingSink(const PlatformInputEvent& e);

// The held input, to the input sink in charge now (a later pass takes it as its own input).
// One at a time from the front: a pass that an event starts takes the events after it itself.
void ReplayHeldInput(void*) {
    gHeldReplayPosted = false;
    while (!gHeldInput.empty()) {
        const PlatformInputSink sink = PlatformGetInputSink();
        if (sink == TrackingSink && gPass.active && gPass.result != 0) return;  // the rest after that pass
        const PlatformInputEvent e = gHeldInput.front();
        gHeldInput.erase(gHeldInput.begin());
        if (sink) sink(e);
    }
}

// While a pass waits, every input comes here; what the pass does not listen to is taken and
// dropped, as the platform's tracking mode does.
void TrackingSink(const PlatformInputEvent& e) {
    if (!gPass.active) {
        if (gPass.outer) gPass.outer(e);
        return;
    }
    if (gPass.result != 0) {
        // The pass has its answer but its loop is still handing out what had come in by then
        // (the second click of a quick double click after the first click's release): that input
        // is kept for whoever takes input after the pass.
        gHeldInput.push_back(e);
        return;
    }
    const int32_t result = Classify(e);
    if (result == 0) return;
    gPass.result = result;
    gPass.event = e;
    if (gPass.looping) PlatformLeaveLoop(result);
}

// Whether a window pointer still names a live window (it may have been destroyed meanwhile).
bool IsLiveWindow(VXWindowRecordTag* window, VXWindowRecordTag* within = nullptr) {
    if (!window) return false;
    if (!within) {
        for (VXWindowRecordTag* top : VXTopLevelWindows())
            if (top == window || IsLiveWindow(window, top)) return true;
        return false;
    }
    for (VXWindowRecordTag* child = VXGetFirstChild(within); child;
         child = VXGetNextWindow(child))
        if (child == window || IsLiveWindow(window, child)) return true;
    return false;
}

// The window an input event or the mouse state names (0: the key window).
VXWindowRecordTag* EventWindow(int32_t id) {
    return id ? VXGetWindowFromId(id) : VXGetKeyWindow();
}

// The screen point of a window's content point.
_LPNT ToScreen(VXWindowRecordTag* window, int32_t x, int32_t y) {
    Point p = {int16_t(std::clamp(y, -32767, 32767)), int16_t(std::clamp(x, -32767, 32767))};
    VXTranslatePoints(window, nullptr, &p, 1);
    return {p.v, p.h};
}

// The mouse on screen, y down: as the window system told it with the last mouse event, else
// from the event's window.
_LPNT ScreenMouse() {
    const PlatformMouseState mouse = PlatformLastMouse();
    if (mouse.hasScreenPoint) return {mouse.screenY, mouse.screenX};
    if (VXWindowRecordTag* window = EventWindow(mouse.windowID))
        if (window->platformWindow) return ToScreen(window, mouse.x, mouse.y);
    int32_t x = 0, y = 0;
    PlatformScreenMouse(&x, &y);
    return {y, x};
}

// The mouse in a window's content (platform view) coordinates.
void WindowMouse(VXWindowRecordTag* window, int32_t* x, int32_t* y) {
    const PlatformMouseState mouse = PlatformLastMouse();
    VXWindowRecordTag* from = EventWindow(mouse.windowID);
    if (from == window) {
        *x = mouse.x;
        *y = mouse.y;
        return;
    }
    const _LPNT screen = ScreenMouse();
    Point p = {int16_t(std::clamp(screen.v, -32767, 32767)),
               int16_t(std::clamp(screen.h, -32767, 32767))};
    VXTranslatePoints(nullptr, window, &p, 1);
    *x = p.h;
    *y = p.v;
}

void FillEvent(const Pass& pass, const _LPNT& point, VXEventRecord* out) {
    SetupMouseEvent(point.h, point.v, pass.event.button, pass.event.modifiers, out);
    if (pass.result == kVXTrackMouseDown) {
        if (pass.event.clickCount >= 2) out->kind = kVXDoubleClickEvent;
    } else if (pass.result == kVXTrackMouseUp) {
        out->kind = kVXTrackingEndEvent;
    } else {
        out->kind = kVXWheelEvent;
        out->u.wheel.deltaV = int32_t(std::lround(pass.event.wheelDeltaV));
        out->u.wheel.deltaH = int32_t(std::lround(pass.event.wheelDeltaH));
    }
}

// Pad point of a panel-content point in a pane: the pane's fixed axes are measured from the
// content's top-left; then unscaled.
void PadPoint(VXWindowRecordTag* window, VXPanelRecordTag* panel, int32_t pane, const _LPNT& in,
              _LPNT* out) {
    _LPNT p = in;
    if (panel) {
        if (pane == 0 || pane == 2) p.v -= int32_t(std::lround(panel->bounds.y));
        if (pane == 1 || pane == 2) p.h -= int32_t(std::lround(panel->bounds.x));
    }
    LPointsFromScale(&window->graf.geometry, &p, 1);
    *out = p;
}

bool Holds(const XRect& r, double h, double v) {
    return h >= r.x && h < r.x + r.width && v >= r.y && v < r.y + r.height;
}

// Cursors.
struct NamedCursor {
    NamedCursor* next;
    PlatformCursor* cursor;
    char name[24];
};
NamedCursor* gNamedCursors = nullptr;
std::vector<int32_t>& gCursorStack = *new std::vector<int32_t>;
std::map<int32_t, std::string>& gWindowCursorNames = *new std::map<int32_t, std::string>;

bool SameName(const char* a, const char* b) {
    for (int i = 0; i < 23; ++i) {
        const char ca = char(std::tolower(static_cast<unsigned char>(a[i])));
        const char cb = char(std::tolower(static_cast<unsigned char>(b[i])));
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
    return true;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

PlatformCursor* WindowCursor(VXWindowRecordTag* window) {
    auto it = gWindowCursorNames.find(window->windowID);
    if (it != gWindowCursorNames.end())
        if (PlatformCursor* cursor = VXGetCursorWithName(it->second.c_str(), 0, 0)) return cursor;
    const int32_t id = window->standardCursor;
    return (id == 0 || id == kVXCursorNone) ? nullptr : VXGetCursorWithId(id, 0, 0);
}

bool IsStandardCursorId(int32_t id) { return id >= kVXCursorArrow && id <= kVXCursorForbidden; }

}  // namespace

int32_t RunMouseTrackingLoop(VXWindowRecordTag* window, int32_t mode, uint32_t flags,
                             VXEventRecord* outEvent, _LPNT* outPoint, uint32_t* outModifiers,
                             double timeout) {
    const bool hadWindow = window != nullptr;
    if (hadWindow && !IsLiveWindow(window)) return kVXTrackMouseUp;
    const int32_t id = window ? window->windowID : 0;
    VXWindowRecordTag* previous = vx.currentWindow;
    const int32_t previousID = previous ? previous->windowID : 0;
    int64_t deadline = -1;
    if (timeout == 0)
        deadline = PlatformNowMicros();
    else if (timeout > 0)
        deadline = PlatformNowMicros() + int64_t(std::min(timeout, 1e6) * 1e6);

    const Pass outerPass = gPass;
    gPass = Pass{};
    gPass.active = true;
    gPass.mode = std::clamp(mode, 0, 2);
    gPass.flags = flags;
    gPass.windowID = id;
    gPass.outer = PlatformGetInputSink();
    if (gPass.outer == TrackingSink) gPass.outer = outerPass.outer;
    PlatformSetInputSink(TrackingSink);
    vx.mouseTracking = 1;
    // Input held back from an earlier pass comes first.
    if (!gHeldInput.empty()) ReplayHeldInput(nullptr);
    int code = gPass.result;
    if (code == 0) {
        gPass.looping = true;
        code = PlatformRunLoop(kPlatformModeEventTracking, deadline);
        gPass.looping = false;
    }
    vx.mouseTracking = outerPass.active ? 1 : 0;
    Pass pass = gPass;
    pass.active = false;
    PlatformSetInputSink(outerPass.active ? TrackingSink : pass.outer);
    gPass = outerPass;
    if (!outerPass.active) gPass.outer = nullptr;
    if (!gHeldInput.empty() && !gHeldReplayPosted) {
        gHeldReplayPosted = true;
        (void)PlatformPostDeferred(ReplayHeldInput, nullptr, 0);  // runs from whichever loop comes next
    }

    int32_t result = pass.result;
    // Nothing could end the wait any more (no input is left to come): the button counts as up.
    if (result == 0) result = code == kPlatformLoopStalled ? kVXTrackMouseUp : kVXTrackTimeout;
    window = hadWindow ? VXGetWindowFromId(id) : nullptr;
    if (hadWindow && !window) result = kVXTrackMouseUp;

    _LPNT point = {0, 0};
    if (window)
        VXGetPanelContentMouse(window, &point);
    else
        VXLGlobalMouse(&point, true);
    if (outPoint) *outPoint = point;
    if (outModifiers) *outModifiers = PlatformLastMouse().modifiers;
    if (outEvent &&
        (result == kVXTrackMouseDown || result == kVXTrackMouseUp || result == kVXTrackWheel)) {
        if (pass.result == result) {
            FillEvent(pass, point, outEvent);
        } else {
            SetupMouseEvent(point.h, point.v, uint16_t(pass.mode), 0, outEvent);
            outEvent->kind = kVXTrackingEndEvent;
        }
    }
    VXSetWindow(VXGetWindowFromId(previousID));
    return result;
}

int32_t VXTrackMouseState(VXWindowRecordTag* window, int32_t mode, uint32_t flags,
                          VXEventRecord* outEvent, uint32_t* outModifiers, _LPNT* outPadPoint,
                          int16_t* outPane, double timeout) {
    if (window && !IsLiveWindow(window)) {
        if (outPane) *outPane = int16_t(kVXNoPane);
        return kVXTrackMouseUp;
    }
    const int32_t id = window ? window->windowID : 0;
    _LPNT point{};
    const int32_t result =
        RunMouseTrackingLoop(window, mode, flags, outEvent, &point, outModifiers, timeout);
    window = id ? VXGetWindowFromId(id) : nullptr;
    int32_t pane = kVXNoPane;
    if (window)
        pane = TranslateMousePt(window, &point, &point);
    if (outPadPoint) *outPadPoint = point;
    if (outPane) *outPane = int16_t(pane);
    return result;
}

bool VXWaitDragBegin(VXWindowRecordTag* window, int32_t mode, int32_t slopH, int32_t slopV,
                     _LPNT* outPadPoint, int16_t* outPane, double timeout) {
    gDidAutoScroll = false;
    if (window && !IsLiveWindow(window)) {
        if (outPane) *outPane = int16_t(kVXNoPane);
        return false;
    }
    const int32_t id = window ? window->windowID : 0;
    _LPNT start{};
    if (window && IsLiveWindow(window))
        VXGetPanelContentMouse(window, &start);
    else
        VXLGlobalMouse(&start, true);
    _LPNT point = start;
    for (;;) {
        const int32_t result =
            RunMouseTrackingLoop(window, mode, 0, nullptr, &point, nullptr, timeout);
        window = id ? VXGetWindowFromId(id) : nullptr;
        if (result == kVXTrackMouseDown || result == kVXTrackMouseUp ||
            result == kVXTrackEscape || (id && !window)) {
            VXInvalWindowCursor(window);
            if (outPane) *outPane = int16_t(kVXNoPane);
            if (outPadPoint) *outPadPoint = point;
            return false;
        }
        if (result == kVXTrackTimeout) break;
        if ((result == kVXTrackDragged || result == kVXTrackMoved) &&
            (std::abs(point.h - start.h) >= slopH || std::abs(point.v - start.v) >= slopV))
            break;
    }
    int32_t pane = kVXNoPane;
    if (window) pane = TranslateMousePt(window, &point, &point);
    if (outPadPoint) *outPadPoint = point;
    if (outPane) *outPane = int16_t(pane);
    return true;
}

bool VXWaitDragEnd(VXWindowRecordTag* window, int32_t mode, bool autoScroll, _LPNT* outPadPoint) {
    if (window && !IsLiveWindow(window)) {
        gDidAutoScroll = gPreviousPassScrolled = false;
        return false;
    }
    const int32_t id = window ? window->windowID : 0;
    const double timeout = (autoScroll && gPreviousPassScrolled) ? 0 : -1;
    _LPNT point{};
    const int32_t result = RunMouseTrackingLoop(window, mode, 0, nullptr, &point, nullptr, timeout);
    window = id ? VXGetWindowFromId(id) : nullptr;
    gDidAutoScroll = false;
    if (id && !window) {
        gPreviousPassScrolled = false;
        return false;
    }
    _LPNT pad = point;
    if (window) TranslateMousePt(window, &point, &pad);
    if (autoScroll && window && result != kVXTrackMouseUp && result != kVXTrackEscape &&
        PlatformLastMouse().buttons != 0) {
        if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
            panel->flags |= kVXPanelNoSyncDisplay;
            gDidAutoScroll = VXAutoScroll(window, pad.h, pad.v) != 0;
            window = VXGetWindowFromId(id);
            if (VXPanelRecordTag* after = VXGetWindowPanel(window))
                after->flags &= ~kVXPanelNoSyncDisplay;
            // The content moved under the mouse: the pad point follows.
            if (window && gDidAutoScroll) {
                VXGetPanelContentMouse(window, &point);
                TranslateMousePt(window, &point, &pad);
            }
        }
    }
    if (outPadPoint) *outPadPoint = pad;
    gPreviousPassScrolled = gDidAutoScroll;
    if (result == kVXTrackMouseUp || result == kVXTrackEscape || !window) {
        gPreviousPassScrolled = false;
        VXInvalWindowCursor(window);
        return false;
    }
    return true;
}

bool VXDragDidAutoScroll() { return gDidAutoScroll; }

void VXTrackingWindowGone(VXWindowRecordTag* window) {
    if (!window || !gPass.active || gPass.windowID != window->windowID || gPass.result != 0)
        return;
    if (PlatformCurrentLoopMode() != kPlatformModeEventTracking) return;
    gPass.result = kVXTrackMouseUp;
    PlatformLeaveLoop(kVXTrackMouseUp);
}

namespace {

struct SelectRectState {
    VXSelectRectProc feedback = nullptr;
    void* refcon = nullptr;
    LRect rect{};
    _LPNT point{};
};

void DrawSelectRect(VXWindowRecordTag* window, void* data) {
    auto* state = static_cast<SelectRectState*>(data);
    VXPenRubberband();
    const bool scaling = VXSetPenWidthScalingEnabled(false);
    if (state->feedback) state->feedback(window, 2, &state->point, state->refcon);
    VXLRectDispatch(&state->rect, 0);
    VXSetPenWidthScalingEnabled(scaling);
}

}  // namespace

bool VXTrackSelectRect(VXWindowRecordTag* window, const VXEventRecord* mouseDown, bool autoScroll,
                       VXSelectRectProc feedback, void* refcon, LRect* outRect) {
    if (outRect) *outRect = {0, 0, 0, 0};
    if (!window || !IsLiveWindow(window)) return false;
    const int32_t id = window->windowID;
    SelectRectState state;
    state.feedback = feedback;
    state.refcon = refcon;
    _LPNT start{};
    if (mouseDown) {
        _LPNT content{};
        VXWindowPointToPanelContent(window, mouseDown->u.mouse.longH, mouseDown->u.mouse.longV,
                                    &content);
        TranslateMousePt(window, &content, &start);
    } else {
        _LPNT content{};
        VXGetPanelContentMouse(window, &content);
        TranslateMousePt(window, &content, &start);
    }
    state.point = start;
    state.rect = {start.v, start.h, start.v, start.h};
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawSelectRect, &state);
    _LPNT point{};
    int16_t pane = 0;
    if (VXWaitDragBegin(window, kVXTrackLeft, 3, 3, &point, &pane, -1)) {
        bool going = true;
        while (going) {
            if (feedback) feedback(window, 1, &point, refcon);
            LRect r;
            Pt2Rect32(&start, &point, &r);
            const bool scrolled = VXDragDidAutoScroll();
            if (!EqualRect32(&r, &state.rect) || scrolled) {
                const LRect old = state.rect;
                state.rect = r;
                state.point = point;
                if ((window = VXGetWindowFromId(id))) {
                    // Only the old and the new frame change, unless the view scrolled under them.
                    if (scrolled) {
                        VXUpdateOverlay(window);
                    } else {
                        VXUpdateOverlayFrame(window, &old);
                        VXUpdateOverlayFrame(window, &r);
                    }
                }
            }
            window = VXGetWindowFromId(id);
            if (!window) break;
            going = VXWaitDragEnd(window, kVXTrackLeft, autoScroll, &point);
        }
    }
    if ((window = VXGetWindowFromId(id))) {
        VXEndOverlay(window);
        VXWindowRecordTag* previous = VXSetWindow(window);
        VXPenNormal();
        VXSetWindow(previous);
    }
    if (outRect) *outRect = state.rect;
    return !EmptyRect32(&state.rect);
}

namespace {

// The mouse in the panel's content view, less the scroll offset: it stays put while the view
// scrolls under it.
_LPNT UnscrolledMouse(VXWindowRecordTag* window) {
    _LPNT point{};
    VXGetPanelContentMouse(window, &point);
    if (const VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        point.h -= int32_t(std::lround(panel->bounds.x));
        point.v -= int32_t(std::lround(panel->bounds.y));
    }
    return point;
}

}  // namespace

void PanDrag(VXWindowRecordTag* window, const VXEventRecord* mouseDown) {
    if (!window || !IsLiveWindow(window) || !VXIsApplicationActive()) return;
    const int32_t id = window->windowID;
    const int32_t mode = mouseDown ? std::clamp<int32_t>(mouseDown->u.mouse.button, 0, 2) : kVXTrackOther;
    VXPushCursor(kVXCursorOpenHand);
    // The view follows the whole movement from where the mouse went down, so that rounding at
    // each step does not add up.
    const _LPNT start = UnscrolledMouse(window);
    LRect origin{};
    if (!VXLGetPaneViewRect(window, &origin)) {
        VXPopCursor();
        return;
    }
    auto follow = [&start, &origin](VXWindowRecordTag* w) {
        const _LPNT now = UnscrolledMouse(w);
        LRect view{};
        const XRect pixels = VXCurrentPaneViewRect(w);
        if (!VXLGetPaneViewRect(w, &view) || pixels.width <= 0 || pixels.height <= 0) return;
        const double perH = (view.right - view.left) / pixels.width;
        const double perV = (view.bottom - view.top) / pixels.height;
        const int32_t h = std::max(origin.left - int32_t(std::lround((now.h - start.h) * perH)), 0);
        const int32_t v = std::max(origin.top - int32_t(std::lround((now.v - start.v) * perV)), 0);
        if (h != view.left || v != view.top) VXScrollTo(w, h, v);
    };
    if (VXWaitDragBegin(window, mode, 1, 1, nullptr, nullptr, -1)) {
        for (bool going = true; going;) {
            if (!(window = VXGetWindowFromId(id))) break;
            follow(window);
            const int32_t result = RunMouseTrackingLoop(window, mode, 0, nullptr, nullptr, nullptr, -1);
            going = result != kVXTrackMouseUp && result != kVXTrackMouseDown && result != kVXTrackEscape;
            if (!going && (window = VXGetWindowFromId(id))) follow(window);
        }
    }
    VXPopCursor();
    if ((window = VXGetWindowFromId(id))) VXInvalWindowCursor(window);
}

void VXWindowPointToPanelContent(VXWindowRecordTag* window, int32_t x, int32_t y, _LPNT* out) {
    if (!out) return;
    *out = {y, x};
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return;
    double h = x - panel->contFrame.x + panel->bounds.x;
    double v = y - panel->contFrame.y + panel->bounds.y;
    if (!window->parent) {
        h -= panel->structFrame.x;
        v -= panel->structFrame.y;
    }
    *out = {int32_t(std::lround(v)), int32_t(std::lround(h))};
}

void VXGetPanelContentMouse(VXWindowRecordTag* window, _LPNT* out) {
    if (!out) return;
    if (!window || !window->platformWindow) {
        VXLGlobalMouse(out, true);
        return;
    }
    int32_t x = 0, y = 0;
    WindowMouse(window, &x, &y);
    VXWindowPointToPanelContent(window, x, y, out);
}

int32_t AltViewFromPanelContentPoint(VXWindowRecordTag* window, int32_t h, int32_t v) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return kVXNoPane;
    for (int32_t pane = -1; pane <= 2; ++pane)
        if (Holds(GetPaneBounds(panel, pane, false), h, v)) return pane;
    return kVXNoPane;
}

int32_t TranslateMousePt(VXWindowRecordTag* window, const _LPNT* panelContentPoint,
                         _LPNT* outPadPoint) {
    if (!panelContentPoint) return kVXNoPane;
    const _LPNT in = *panelContentPoint;
    if (!window) {
        if (outPadPoint) *outPadPoint = in;
        return kVXNoPane;
    }
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    const int32_t pane = AltViewFromPanelContentPoint(window, in.h, in.v);
    // Outside every pane (a drag beyond the edge) the point is taken in the current pane.
    const int32_t basis = pane == kVXNoPane ? window->graf.geometry.pane : pane;
    _LPNT pad{};
    PadPoint(window, panel, basis, in, &pad);
    if (outPadPoint) *outPadPoint = pad;
    return pane;
}

int32_t PanelContentPointToPanesPad(VXWindowRecordTag* window, int32_t h, int32_t v,
                                    _LPNT* outPoint) {
    const _LPNT in = {v, h};
    const int32_t pane = AltViewFromPanelContentPoint(window, h, v);
    if (window && pane != kVXNoPane) VXSetAltView(window, pane);
    _LPNT pad = in;
    if (window) TranslateMousePt(window, &in, &pad);
    if (outPoint) *outPoint = pad;
    return pane;
}

int32_t SelectPaneFromPanelContentPoint(VXWindowRecordTag* window, int32_t h, int32_t v,
                                        _LPNT* outPoint) {
    return PanelContentPointToPanesPad(window, h, v, outPoint);
}

int32_t VXLGetMouse(_LPNT* out) {
    VXWindowRecordTag* window = vx.currentWindow;
    if (window && IsLiveWindow(window) && VXGetWindowPanel(window) &&
        VXIsWindowVisible(window, true)) {
        _LPNT content{};
        VXGetPanelContentMouse(window, &content);
        _LPNT pad{};
        const int32_t pane = TranslateMousePt(window, &content, &pad);
        if (out) *out = pad;
        return pane;
    }
    VXLGlobalMouse(out, true);
    return kVXNoPane;
}

int32_t VXGetMouse(Point* out) {
    _LPNT p{};
    const int32_t pane = VXLGetMouse(&p);
    if (out) Point32To16(&p, out);
    return pane;
}

void VXLGlobalMouse(_LPNT* out, bool flipped) {
    if (!out) return;
    *out = ScreenMouse();
    if (!flipped) {
        Rect screen;
        VXGetMainScreenBounds(&screen, false);
        out->v = screen.bottom - out->v;
    }
}

void VXGlobalMouse(Point* out, bool flipped) {
    _LPNT p{};
    VXLGlobalMouse(&p, flipped);
    if (out) Point32To16(&p, out);
}

VXWindowRecordTag* VXWindowFromScreenPoint(int32_t h, int32_t v, _LPNT* outPoint) {
    // The platform's window at the point, front-most first; its content's point (outside the
    // content, on a title or menu bar, a point beyond the content's edges).
    VXWindowRecordTag* window = VXGetWindowFromId(PlatformWindowAtScreenPoint(h, v));
    if (window && window->platformWindow && !window->parent && VXIsWindowVisible(window, false)) {
        Rect r;
        VXGetWindowPosition(window, &r);
        if (outPoint) *outPoint = {v - r.top, h - r.left};
        return window;
    }
    if (outPoint) *outPoint = {v, h};
    return nullptr;
}

VXPanelRecordTag* VXPanelFromWindowContentPoint(VXPanelRecordTag* panel, int32_t h, int32_t v,
                                                bool* outInContent, _LPNT* outPoint) {
    for (VXPanelRecordTag* p = panel; p; p = p->next) {
        const XRect& f = p->structFrame;
        if (p->childPanels) {
            VXPanelRecordTag* hit = VXPanelFromWindowContentPoint(
                p->childPanels, int32_t(h - f.x), int32_t(v - f.y), outInContent, outPoint);
            if (hit) return hit;
        }
        if (!VXIsPanelVisible(p) || !Holds(f, h, v)) continue;
        const double sh = h - f.x, sv = v - f.y;
        const bool inContent = !p->hasStructView || Holds(p->contFrame, sh, sv);
        if (outInContent) *outInContent = inContent;
        if (outPoint) {
            if (inContent)
                *outPoint = {int32_t(std::lround(sv - p->contFrame.y + p->bounds.y)),
                             int32_t(std::lround(sh - p->contFrame.x + p->bounds.x))};
            else
                *outPoint = {int32_t(std::lround(sv)), int32_t(std::lround(sh))};
        }
        return p;
    }
    return nullptr;
}

bool VXGetContainerFromPoint(VXMouseContainer* out, const _LPNT* screenPoint, bool flipped) {
    if (!out || !screenPoint) return false;
    *out = VXMouseContainer{};
    _LPNT screen = *screenPoint;
    if (!flipped) {
        Rect bounds;
        VXGetMainScreenBounds(&bounds, false);
        screen.v = bounds.bottom - screen.v;
    }
    _LPNT local{};
    out->window = VXWindowFromScreenPoint(screen.h, screen.v, &local);
    out->point = local;
    if (!out->window) return false;
    out->panel = VXPanelFromWindowContentPoint(VXGetWindowPanel(out->window), local.h, local.v,
                                               &out->inContent, &out->point);
    if (out->panel && out->inContent) {
        VXWindowRecordTag* owner = out->panel->window;
        out->pane = AltViewFromPanelContentPoint(owner, out->point.h, out->point.v);
    }
    return true;
}

bool VXGetMouseContainer(VXMouseContainer* out, bool keepScreenPoint) {
    _LPNT screen{};
    VXLGlobalMouse(&screen, true);
    const bool found = VXGetContainerFromPoint(out, &screen, true);
    if (out && keepScreenPoint) out->point = screen;
    return found;
}

PlatformCursor* VXCursorFromCurFile(const uint8_t* data, size_t size) {
    if (!data || size < 22 || GetLE16(data) != 0 || GetLE16(data + 2) != 2 || GetLE16(data + 4) < 1)
        return nullptr;
    const uint32_t length = GetLE32(data + 14), offset = GetLE32(data + 18);
    if (offset < 22 || offset > size || length > size - offset || length == 0) return nullptr;
    return PlatformCursorFromImageData(data + offset, length, int32_t(GetLE16(data + 10)),
                                       int32_t(GetLE16(data + 12)));
}

PlatformCursor* VXGetCursorWithName(const char* name, int16_t hotH, int16_t hotV) {
    if (!name || !name[0]) return nullptr;
    for (NamedCursor* node = gNamedCursors; node; node = node->next)
        if (SameName(node->name, name)) return node->cursor;
    PlatformCursor* cursor = nullptr;
    std::vector<uint8_t> data;
    // The resources hold cursors at their top or in their "cursors" folder.
    const std::string inFolder = std::string("cursors/") + name;
    std::string path = VXGetResourceURL(name, -1, "cur");
    if (path.empty()) path = VXGetResourceURL(inFolder.c_str(), -1, "cur");
    if (!path.empty()) {
        if (ReadFile(path, &data)) cursor = VXCursorFromCurFile(data.data(), data.size());
    } else {
        path = VXGetResourceURL(name, -1, "png");
        if (path.empty()) path = VXGetResourceURL(inFolder.c_str(), -1, "png");
        if (!path.empty() && ReadFile(path, &data))
            cursor = PlatformCursorFromImageData(data.data(), data.size(), hotH, hotV);
    }
    if (!cursor) return nullptr;
    auto* node = new NamedCursor{gNamedCursors, cursor, {}};
    std::snprintf(node->name, sizeof node->name, "%s", name);
    gNamedCursors = node;
    return cursor;
}

PlatformCursor* VXGetCursorWithId(int32_t id, int16_t hotH, int16_t hotV) {
    switch (id) {
        case kVXCursorArrow: return PlatformCursorStandard(PlatformStandardCursor::kArrow);
        case kVXCursorIBeam: return PlatformCursorStandard(PlatformStandardCursor::kIBeam);
        case kVXCursorCrosshair: return PlatformCursorStandard(PlatformStandardCursor::kCrosshair);
        case kVXCursorNone: return nullptr;
        case kVXCursorOpenHand: return PlatformCursorStandard(PlatformStandardCursor::kOpenHand);
        case kVXCursorPointingHand:
            return PlatformCursorStandard(PlatformStandardCursor::kPointingHand);
        case kVXCursorResizeLeftRight:
            return PlatformCursorStandard(PlatformStandardCursor::kResizeLeftRight);
        case kVXCursorResizeUpDown:
            return PlatformCursorStandard(PlatformStandardCursor::kResizeUpDown);
        case kVXCursorDragCopy: return PlatformCursorStandard(PlatformStandardCursor::kDragCopy);
        case kVXCursorForbidden: return PlatformCursorStandard(PlatformStandardCursor::kForbidden);
        default: break;
    }
    char name[24];
    std::snprintf(name, sizeof name, "Cursor_%d", int(id));
    return VXGetCursorWithName(name, hotH, hotV);
}

void VXSetCursor(int32_t id) {
    if (id == kVXCursorNone) {
        PlatformSetCursor(nullptr);
        return;
    }
    if (PlatformCursor* cursor = VXGetCursorWithId(id, 0, 0)) PlatformSetCursor(cursor);
}

void VXPushCursor(int32_t id) {
    gCursorStack.push_back(id);
    VXSetCursor(id);
}

void VXPopCursor() {
    if (gCursorStack.empty()) return;
    gCursorStack.pop_back();
    VXSetCursor(gCursorStack.empty() ? kVXCursorNone : gCursorStack.back());
}

void VXSetWindowCursor(VXWindowRecordTag* window, int32_t id) {
    if (!window) return;
    if (IsStandardCursorId(id)) {
        const bool hadName = gWindowCursorNames.erase(window->windowID) > 0;
        if (!hadName && window->standardCursor == id) return;
        window->standardCursor = id;
        VXInvalWindowCursor(window);
        return;
    }
    char name[24];
    std::snprintf(name, sizeof name, "Cursor_%d", int(id));
    VXSetNamedCursorForWindow(window, name);
}

void VXSetNamedCursorForWindow(VXWindowRecordTag* window, const char* name) {
    if (!window) return;
    std::string wanted = name ? std::string(name).substr(0, 23) : std::string();
    auto it = gWindowCursorNames.find(window->windowID);
    const std::string current = it == gWindowCursorNames.end() ? std::string() : it->second;
    if (current == wanted) return;
    if (wanted.empty())
        gWindowCursorNames.erase(window->windowID);
    else
        gWindowCursorNames[window->windowID] = wanted;
    VXInvalWindowCursor(window);
}

const char* VXGetNamedCursorForWindow(VXWindowRecordTag* window) {
    if (!window) return "";
    auto it = gWindowCursorNames.find(window->windowID);
    return it == gWindowCursorNames.end() ? "" : it->second.c_str();
}

void VXInvalWindowCursor(VXWindowRecordTag* window) {
    if (!window || !window->platformWindow || (window->status() & kVXStatusCursorReset)) return;
    if (!IsLiveWindow(window)) return;
    PlatformWindowSetCursor(window->platformWindow, WindowCursor(window));
}

namespace {

// A requested mouse-moved event, sent once the event that asked for it is over: the window sees
// the mouse where it is, as if it had just moved there.
void SendPendingMouseMoved(void* refcon) {
    VXWindowRecordTag* window = VXGetWindowFromId(int32_t(reinterpret_cast<intptr_t>(refcon)));
    VXPanelRecordTag* panel = window ? VXGetWindowPanel(window) : nullptr;
    if (!panel || !(panel->flags & kVXPanelMouseMovedPending)) return;
    panel->flags &= ~kVXPanelMouseMovedPending;
    if (!IsLiveWindow(window)) return;
    int32_t x = 0, y = 0;
    WindowMouse(window, &x, &y);
    VXEventRecord event{};
    SetupMouseEvent(x, y, 0, PlatformLastMouse().modifiers, &event);
    event.kind = kVXMouseMovedEvent;
    event.u.mouse.button = 0x00FE | (1u << 8);  // pane: none; the mouse moved
    (void)DispatchEvent(window, &event);  // the window follows the mouse or ignores it
}

}  // namespace

void VXRequestMouseMoved(VXWindowRecordTag* window) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return;
    // The first of several requests sends the event; the others find the flag cleared.
    (void)PlatformPostDeferred(SendPendingMouseMoved, reinterpret_cast<void*>(intptr_t(window->windowID)), 0,
                               kPlatformModeDefault);
    panel->flags |= kVXPanelMouseMovedPending;
    VXInvalWindowCursor(window);
}

void VXForgetWindowCursor(VXWindowRecordTag* window) {
    if (window) gWindowCursorNames.erase(window->windowID);
}

namespace {

// Dropped files reach the window as one event each (kind 27) with the path (UTF-8), its place
// among the files dropped together and their count.
void DroppedFiles(int32_t windowID, const std::vector<std::string>& paths) {
    const auto count = uint16_t(std::min<size_t>(paths.size(), 0xFFFF));
    for (uint16_t i = 0; i < count; ++i) {
        VXWindowRecordTag* window = VXGetWindowFromId(windowID);
        VXPanelRecordTag* panel = VXGetWindowPanel(window);
        if (!panel || !panel->acceptsFiles) return;
        std::error_code error;
        const bool folder = std::filesystem::is_directory(paths[i], error);
        SendDroppedFileEvent(window, paths[i].c_str(), i, count, folder);
    }
}

}  // namespace

void VXAllowDroppedFiles(VXWindowRecordTag* window, bool allow) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return;
    panel->acceptsFiles = allow ? 1 : 0;
    PlatformSetFileDropSink(DroppedFiles);
    PlatformWindowSetAcceptsFileDrops(window->platformWindow, false);
    if (allow) PlatformWindowSetAcceptsFileDrops(window->platformWindow, true);
}

const char* PasteboardTypeForDroppedFiles() { return "text/uri-list"; }

}  // namespace plexa
