// Timers and waits of the run loop for the layers that have none of their own: a sheet's signal
// flash, the simulator link's polling and its waits for replies. The owner of the run loop (the
// toolkit) installs the hooks when it starts; a program without a run loop has no timers (starting
// one gives none and nothing fires), and a wait just sleeps.
#pragma once

#include <cstdint>

namespace plexa {

struct sVXTimerRecord;
using TimerProc = void (*)(sVXTimerRecord* timer, uint64_t refCon);

// Flags of a timer: it fires also while the application is inactive, also in modal loops.
constexpr uint32_t kTimerWhenInactive = 1;
constexpr uint32_t kTimerInModal = 2;

struct TimerHooks {
    // A timer calling proc(timer, refCon) every intervalMs milliseconds; none when it cannot be made.
    sVXTimerRecord* (*start)(uint32_t intervalMs, uint32_t flags, TimerProc proc, uint64_t refCon) =
        nullptr;
    // 0xFFFFFFFF pauses the timer, 0 fires it now, else now plus that many milliseconds.
    void (*setNextFires)(sVXTimerRecord* timer, uint32_t ms) = nullptr;
    void (*kill)(sVXTimerRecord* timer) = nullptr;
    // Runs the loop (its timers and events) for that many ticks (1/60 s).
    void (*wait)(uint32_t ticks) = nullptr;
};
void SetTimerHooks(const TimerHooks& hooks);
const TimerHooks& GetTimerHooks();

sVXTimerRecord* StartTimer(uint32_t intervalMs, uint32_t flags, TimerProc proc, uint64_t refCon);
void SetTimerNextFires(sVXTimerRecord* timer, uint32_t ms);
// Nothing for none.
void KillTimer(sVXTimerRecord* timer);
// Waits that many ticks (1/60 s): in the run loop, else sleeping.
void WaitTicks(uint32_t ticks);

}  // namespace plexa
