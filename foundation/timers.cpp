// Timers of the run loop through its owner's hooks; see timers.h.
#include "foundation/timers.h"

#include <cerrno>
#include <ctime>

namespace plexa {

namespace {
TimerHooks gHooks;
}  // namespace

void SetTimerHooks(const TimerHooks& hooks) { gHooks = hooks; }
const TimerHooks& GetTimerHooks() { return gHooks; }

sVXTimerRecord* StartTimer(uint32_t intervalMs, uint32_t flags, TimerProc proc, uint64_t refCon) {
    return gHooks.start && proc ? gHooks.start(intervalMs, flags, proc, refCon) : nullptr;
}

void SetTimerNextFires(sVXTimerRecord* timer, uint32_t ms) {
    if (timer && gHooks.setNextFires) gHooks.setNextFires(timer, ms);
}

void KillTimer(sVXTimerRecord* timer) {
    if (timer && gHooks.kill) gHooks.kill(timer);
}

void WaitTicks(uint32_t ticks) {
    if (gHooks.wait) return gHooks.wait(ticks);
    const uint64_t micros = uint64_t(ticks) * 1000000 / 60;
    timespec span{time_t(micros / 1000000), long(micros % 1000000) * 1000};
    while (nanosleep(&span, &span) != 0 && errno == EINTR) {
    }
}

}  // namespace plexa
