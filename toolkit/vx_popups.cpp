// The tracking loop of popup windows.

#include "toolkit/vx_popups.h"

#include "platform/cursor_platform.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

// The time a popup waits for mouse input before it looks at the button again.
constexpr double kPopupIdleSeconds = 15.0;

int16_t Clamp16(int32_t value) {
    return int16_t(value < -32767 ? -32767 : value > 32767 ? 32767 : value);
}

// Moves the popup so that its top-left corner is at the point, kept 5 units inside the screen
// vertically (the horizontal position is left as asked).
void PlaceAt(VXWindowRecordTag* popup, Point global) {
    Rect r{};
    VXGetWindowPosition(popup, &r);
    const int32_t height = r.bottom - r.top, width = r.right - r.left;
    int32_t top = global.v;
    Rect placed = {Clamp16(top), global.h, Clamp16(top + height), Clamp16(global.h + width)};
    Rect screen{};
    if (!VXGetScreenBoundsForRect(&placed, &screen)) VXGetMainScreenBounds(&screen, false);
    if (top + height > screen.bottom - 5) top = screen.bottom - 5 - height;
    if (top < screen.top + 5) top = screen.top + 5;
    placed.top = Clamp16(top);
    placed.bottom = Clamp16(top + height);
    VXSetWindowPosition(popup, &placed);
}

struct Tracker {
    int32_t popupID = 0;
    VXPopupProc callback = nullptr;
    void* reference = nullptr;

    VXWindowRecordTag* Popup() const { return VXGetWindowFromId(popupID); }
    uint32_t Send(int32_t message, VXEventRecord* event, int32_t inside, Point where) const {
        VXWindowRecordTag* popup = Popup();
        return popup ? callback(popup, message, event, inside, where, reference) : 0;
    }
};

}  // namespace

int32_t TestMouseInPopupWindow(VXWindowRecordTag* popup, const Point* global, Point* local) {
    _LPNT screen{};
    if (global)
        screen = {global->v, global->h};
    else
        VXLGlobalMouse(&screen, true);
    if (local) {
        Point p = {Clamp16(screen.v), Clamp16(screen.h)};
        VXTranslatePoints(nullptr, popup, &p, 1);
        *local = p;
    }
    if (!popup) return 0;
    VXMouseContainer container;
    if (!VXGetContainerFromPoint(&container, &screen, true) || !container.window) return 0;
    if (VXGetTopParent(container.window) != popup) return 0;
    // A view without a panel is all content.
    return (container.inContent || !container.panel) ? 1 : 2;
}

int32_t VXTrackPopupWindow(VXWindowRecordTag* popup, VXWindowRecordTag* parent, Point global,
                           uint32_t flags, VXPopupProc callback, void* reference) {
    if (!popup || !parent || !callback) return -1;
    const int32_t currentID = vx.currentWindow ? vx.currentWindow->windowID : 0;
    Tracker t{popup->windowID, callback, reference};
    const Point nowhere = {kVXPopupNowhere, kVXPopupNowhere};

    // Opening.
    PlaceAt(popup, global);
    t.Send(kVXPopupOpen, nullptr, 0, nowhere);
    if (!(popup = t.Popup())) return -1;
    // Shown above the parent like a menu: it never takes the keys from the parent.
    const uint32_t noKey = popup->status() & kVXStatusNoKeyOrMain;
    popup->status() |= kVXStatusNoKeyOrMain;
    VXShowWindow(popup);
    VXSetWindow(popup);
    VXUpdateWindow(popup);
    bool inside = false, wasInside = false, firstRelease = true, button = true;
    bool accepted = false, closed = false;
    Point local{};
    if (TestMouseInPopupWindow(popup, nullptr, &local) == 1) {
        t.Send(kVXPopupEntered, nullptr, 1, local);
        inside = wasInside = true;
    }
    const uint32_t opened = VXGetTicks();
    const bool autoScrolls = (flags & (kVXPopupAutoScrolls | kVXPopupStaysOpen)) != 0;
    bool autoScrollPending = false;

    while (!closed) {
        VXEventRecord event = VXClearedEvent(kVXIdleEvent);
        _LPNT point{};
        const int32_t result =
            RunMouseTrackingLoop(nullptr, kVXTrackLeft, kVXTrackWantsWheel, &event, &point,
                                 nullptr, autoScrollPending ? 0 : kPopupIdleSeconds);
        if (!t.Popup()) return -1;  // released by a callback or a handler meanwhile
        const Point at = {Clamp16(point.v), Clamp16(point.h)};
        const int32_t state = TestMouseInPopupWindow(t.Popup(), &at, &local);
        bool treatAsInside = false;
        const auto autoScroll = [&] {
            if (t.Send(kVXPopupAutoScroll, nullptr, state, local) == 0) treatAsInside = true;
        };
        switch (result) {
            case kVXTrackMouseDown:
                if (state == 0) {
                    closed = true;
                    break;
                }
                {
                    uint32_t answer = t.Send(kVXPopupMouseDown, &event, state, local);
                    const bool recheck = (answer & kVXPopupRecheckButton) != 0;
                    answer &= ~kVXPopupRecheckButton;
                    if (answer == kVXPopupAccept || answer == kVXPopupDismiss) {
                        accepted = answer == kVXPopupAccept;
                        closed = true;
                    }
                    button = recheck ? (PlatformLastMouse().buttons & 1) != 0 : true;
                }
                break;
            case kVXTrackMouseUp: {
                const uint32_t answer = t.Send(kVXPopupMouseUp, &event, state, local);
                if (answer == kVXPopupDismiss || answer == kVXPopupAccept) {
                    accepted = answer == kVXPopupAccept;
                    closed = true;
                } else if (answer == 0) {
                    const bool quick = GetElapsedTicks(opened) < uint32_t(VXGetDblTime());
                    if (firstRelease && ((flags & kVXPopupStaysOpen) || quick)) {
                        // The release of the click that opened the popup leaves it open.
                    } else if (state == 1) {
                        accepted = closed = true;
                    } else if (state == 0) {
                        closed = true;
                    }
                }
                firstRelease = false;
                button = false;
                break;
            }
            case kVXTrackMoved:
            case kVXTrackDragged:
                if (state == 1) {
                    if (!inside) {
                        t.Send(kVXPopupEntered, nullptr, state, local);
                        inside = wasInside = true;
                    } else {
                        t.Send(kVXPopupMoved, nullptr, state, local);
                    }
                } else {
                    if (inside) t.Send(kVXPopupLeft, nullptr, state, local);
                    inside = false;
                    if (autoScrolls && wasInside) autoScroll();
                }
                break;
            case kVXTrackTimeout:
                if (autoScrollPending)
                    autoScroll();
                else if (!button)
                    closed = true;
                break;
            case kVXTrackEscape:
                closed = true;
                break;
            case kVXTrackWheel:
                t.Send(kVXPopupWheel, &event, state, local);
                break;
            default:
                break;
        }
        if (!t.Popup()) return -1;
        VXSetWindow(t.Popup());
        autoScrollPending = autoScrolls && wasInside && !inside && !treatAsInside;
    }

    // Closing.
    int32_t answer = -1;
    if (accepted) answer = int32_t(t.Send(kVXPopupFinish, nullptr, 1, local));
    if (VXWindowRecordTag* shown = t.Popup()) {
        VXHideWindow(shown);
        shown->status() = (shown->status() & ~kVXStatusNoKeyOrMain) | noKey;
    }
    if (!accepted) answer = int32_t(t.Send(kVXPopupCancel, nullptr, 0, nowhere));
    if (VXWindowRecordTag* current = VXGetWindowFromId(currentID)) VXSetWindow(current);
    return answer;
}

}  // namespace plexa
