// The windows' side of the text-edit engine: its hooks and the caret blink timer.
#include "toolkit/vx_textedit.h"

#include <new>

#include "graphics/textedit.h"
#include "platform/cursor_platform.h"
#include "platform/input_platform.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kActiveTextEditCode = 0x54456163;  // "TEac"
constexpr double kTickSeconds = 1.0 / 60.0;

// The window's active record and the timer that blinks its caret.
struct ActiveTextEdit : WindowClassInfoTag {
    VXTERecord* te = nullptr;
    sVXTimerRecord* caretTimer = nullptr;
    ~ActiveTextEdit() override { VXKillTimer(caretTimer); }
};

ActiveTextEdit* InfoOf(VXWindowRecordTag* window) {
    return window ? static_cast<ActiveTextEdit*>(VXGetWindowClassInfo(window, kActiveTextEditCode))
                  : nullptr;
}

void CaretTimerFired(sVXTimerRecord*, uint64_t windowID) {
    if (ActiveTextEdit* info = InfoOf(VXGetWindowFromId(int32_t(windowID))))
        if (info->te) VXTEIdle(info->te);
}

void InvalRect(VXGrafState* state, const LRect* rect) {
    if (VXWindowRecordTag* window = VXWindowFromGrafState(state)) VXLInvalRect(window, rect);
}

VXTERecord* GetActive(VXGrafState* state) {
    ActiveTextEdit* info = InfoOf(VXWindowFromGrafState(state));
    return info ? info->te : nullptr;
}

void SetActive(VXGrafState* state, VXTERecord* te) {
    VXWindowRecordTag* window = VXWindowFromGrafState(state);
    if (!window) return;
    if (!te) {
        VXDestroyWindowClassInfo(window, kActiveTextEditCode);
        return;
    }
    ActiveTextEdit* info = InfoOf(window);
    if (!info) {
        info = new (std::nothrow) ActiveTextEdit;
        if (!info) return;
        VXSetWindowClassInfo(window, info, kActiveTextEditCode);
    }
    info->te = te;
    if (!info->caretTimer)
        (void)VXInstallTimerEx(kVXCaretInterval, kVXTimerInModal, CaretTimerFired, uint64_t(window->windowID),  // without a timer the caret does not blink
                         &info->caretTimer);
}

bool Inside(const _LPNT& p, const LRect& r) {
    return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right;
}

// Follows the pointer while the button that went down stays down, handing each new point (in the window's
// drawing coordinates) to the engine. While the pointer lies outside the active record's view
// the engine is called again every tick without movement, so that it keeps scrolling. With the
// drag flag the window's own panel scrolls along too.
void TrackDrag(VXGrafState* state, uint16_t flags, void (*track)(void* data, const _LPNT* where),
               void* data) {
    VXWindowRecordTag* window = VXWindowFromGrafState(state);
    if (!window || !track) return;
    const int32_t id = window->windowID;
    // The button that went down is the one followed.
    const uint32_t buttons = PlatformLastMouse().buttons;
    const int32_t mode = (buttons & 1) || !buttons ? kVXTrackLeft
                         : (buttons & 2)           ? kVXTrackRight
                                                   : kVXTrackOther;
    bool outside = false, first = true;
    _LPNT last{};
    for (;;) {
        _LPNT point{};
        const int32_t result = RunMouseTrackingLoop(window, mode, 0, nullptr, &point,
                                                    nullptr, outside ? kTickSeconds : -1);
        window = VXGetWindowFromId(id);
        if (!window || result == kVXTrackEscape) return;
        const bool ended = result == kVXTrackMouseUp || result == kVXTrackMouseDown ||
                           (result == kVXTrackTimeout && PlatformLastMouse().buttons == 0);
        _LPNT pad = point;
        TranslateMousePt(window, &point, &pad);
        if ((flags & kTEFeatureDragFlag) && !ended && VXAutoScroll(window, pad.h, pad.v)) {
            window = VXGetWindowFromId(id);
            if (!window) return;
            VXGetPanelContentMouse(window, &point);
            TranslateMousePt(window, &point, &pad);
        }
        if (first || outside || pad.h != last.h || pad.v != last.v) {
            track(data, &pad);
            window = VXGetWindowFromId(id);
            if (!window) return;
        }
        first = false;
        last = pad;
        if (ended) return;
        VXTERecord* te = GetActive(&window->graf);
        outside = te && !Inside(pad, te->viewRect);
    }
}

bool ShiftDown() { return VXTestKey(kPlatformKeyShift); }
uint32_t Ticks() { return VXGetTicks(); }
uint32_t DoubleClickTicks() { return uint32_t(VXGetDblTime()); }
uint32_t CaretTicks() { return uint32_t(VXGetCaretTime()); }

}  // namespace

void VXInstallTextEditHooks() {
    VXTEHooks hooks = VXTEGetHooks();
    hooks.invalRect = InvalRect;
    hooks.getActive = GetActive;
    hooks.setActive = SetActive;
    hooks.trackDrag = TrackDrag;
    hooks.shiftDown = ShiftDown;
    hooks.ticks = Ticks;
    hooks.doubleClickTicks = DoubleClickTicks;
    hooks.caretTicks = CaretTicks;
    VXTESetHooks(hooks);
}

VXWindowRecordTag* VXWindowFromGrafState(VXGrafState* state) {
    if (!state || !state->geometry.owner) return nullptr;
    auto* window = static_cast<VXWindowRecordTag*>(state->geometry.owner);
    // The owner is trusted only while the window is known by its id.
    return VXGetWindowFromId(window->windowID) == window ? window : nullptr;
}

VXTERecord* VXGetWindowTextEdit(VXWindowRecordTag* window) {
    ActiveTextEdit* info = InfoOf(window);
    return info ? info->te : nullptr;
}

}  // namespace plexa
