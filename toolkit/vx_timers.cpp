// Toolkit timers over the platform's repeating timers, window idle timers and the clipboard
// change count.
#include "toolkit/vx_timers.h"

#include <new>

#include "platform/app_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int32_t kCaretTicks = 33;
constexpr int64_t kPostponeMicros = 2000;

// One firing of a toolkit timer.
void Fired(void* refcon) {
    auto* record = static_cast<sVXTimerRecord*>(refcon);
    if (vx.mouseTracking) return;
    if (vx.updateWaitDepth != 0) {
        PlatformTimerSetNextFire(record->timer, kPostponeMicros);
        return;
    }
    if (!(record->flags & kVXTimerWhenInactive) && !PlatformIsActive()) return;
    VXWindowRecordTag* current = vx.currentWindow;
    const int32_t currentID = current ? current->windowID : 0;
    record->proc(record, record->refcon);
    if (current && VXGetWindowFromId(currentID) == current) VXSetWindow(current);
}

}  // namespace

OSStatus VXInstallTimerEx(uint32_t intervalMs, uint32_t flags, VXTimerProc proc, uint64_t refcon,
                          sVXTimerRecord** outTimer) {
    if (outTimer) *outTimer = nullptr;
    if (!proc) return status::kParamErr;
    auto* record = new (std::nothrow) sVXTimerRecord{};
    if (!record) return status::kOutOfMemory;
    const int64_t period = intervalMs == kVXCaretInterval ? int64_t(kCaretTicks) * 1000000 / 60
                                                          : int64_t(intervalMs) * 1000;
    uint32_t modes = kPlatformModeDefault;
    if (flags & kVXTimerInModal) modes |= kPlatformModeModalPanel;
    record->proc = proc;
    record->refcon = refcon;
    record->flags = flags;
    record->timer = PlatformTimerCreate(period, modes, Fired, record);
    if (!record->timer) {
        delete record;
        return status::kOutOfMemory;
    }
    if (outTimer) *outTimer = record;
    return status::kNoErr;
}

void VXSetTimerNextFires(sVXTimerRecord* timer, uint32_t ms) {
    if (!timer || !PlatformTimerValid(timer->timer)) return;
    PlatformTimerSetNextFire(timer->timer, ms == 0xFFFFFFFF ? -1 : int64_t(ms) * 1000);
}

void VXKillTimer(sVXTimerRecord* timer) {
    if (!timer) return;
    PlatformTimerDestroy(timer->timer);
    delete timer;
}

void VXSetWindowIdleInterval(VXWindowRecordTag* window, uint32_t intervalMs, uint32_t flags) {
    if (!window) return;
    VXKillTimer(window->idleTimer);
    window->idleTimer = nullptr;
    (void)VXInstallTimerEx(intervalMs, flags, WindowIdleTimerFired, uint64_t(window->windowID),  // without a timer the window gets no idle calls
                     &window->idleTimer);
}

void WindowIdleTimerFired(sVXTimerRecord* timer, uint64_t windowID) {
    VXWindowRecordTag* window = VXGetWindowFromId(int32_t(windowID));
    if (!window || !timer) return;
    VXWindowRecordTag* key = VXGetKeyWindow();
    if (!(timer->flags & kVXIdleNotKey) && VXGetTopParent(window) != key) return;
    if (!(timer->flags & kVXIdleAlways)) {
        // Only the front-most visible window of the ordinary classes idles.
        VXWindowRecordTag* front = nullptr;
        for (VXWindowRecordTag* w : VXTopLevelWindows())
            if (w->visible && w->windowClass <= kVXWindowFloating) {
                front = w;
                break;
            }
        if (VXGetTopParent(window) != front) return;
    }
    VXEventRecord event = VXClearedEvent(kVXIdleEvent);
    DispatchEvent(window, &event);
}

int32_t VXGetCaretTime() { return kCaretTicks; }
int32_t VXGetDblTime() { return int32_t(PlatformDoubleClickMillis() * 60 / 1000); }

OSStatus VXGetCurrentScrap(uint32_t* outCount) {
    if (outCount) *outCount = PlatformClipboardChangeCount();
    return status::kNoErr;
}

uint32_t VXClearScrap(uint32_t* outCount) {
    uint32_t count = PlatformClipboardClear();
    if (outCount) *outCount = count;
    return count;
}

}  // namespace plexa
