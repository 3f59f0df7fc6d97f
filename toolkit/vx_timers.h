// Repeating timers of the main run loop with flags that decide whether they fire while the
// application is inactive and inside modal loops, the rules that skip or postpone a firing while
// the mouse is tracked or windows are updated, window idle timers, and the clipboard change count.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct VXWindowRecordTag;
struct sVXTimerRecord;
using VXTimerProc = void (*)(sVXTimerRecord* timer, uint64_t refcon);

// Timer flags.
constexpr uint32_t kVXTimerWhenInactive = 1;  // fire also while the application is inactive
constexpr uint32_t kVXTimerInModal = 2;       // fire also in modal loops
constexpr uint32_t kVXIdleAlways = 4;         // window idle: send the idle event to any key window
constexpr uint32_t kVXIdleNotKey = 8;         // window idle: the window need not be the key window

// The interval that stands for the caret time.
constexpr uint32_t kVXCaretInterval = 0xFFFFFFFE;

struct sVXTimerRecord {
    uint64_t timer;      // the platform timer
    VXTimerProc proc;
    uint64_t refcon;
    uint32_t flags;
};

// Intervals in milliseconds. Returns 0, or -108 (the out value is then none).
OSStatus VXInstallTimerEx(uint32_t intervalMs, uint32_t flags, VXTimerProc proc, uint64_t refcon,
                          sVXTimerRecord** outTimer);
// 0xFFFFFFFF pauses the timer, 0 fires it now, else now plus that many milliseconds.
void VXSetTimerNextFires(sVXTimerRecord* timer, uint32_t ms);
void VXKillTimer(sVXTimerRecord* timer);
void VXSetWindowIdleInterval(VXWindowRecordTag* window, uint32_t intervalMs, uint32_t flags);
void WindowIdleTimerFired(sVXTimerRecord* timer, uint64_t windowID);

int32_t VXGetCaretTime();
int32_t VXGetDblTime();

OSStatus VXGetCurrentScrap(uint32_t* outCount);
uint32_t VXClearScrap(uint32_t* outCount);

}  // namespace plexa
