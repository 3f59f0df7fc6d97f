// A clock for the sockets' waits in tests: it moves half a second each time it is read, so that a
// wait that only runs out its time-out (a connect nobody answers, data or the rest of a frame that
// never comes) ends after a few polls rather than after the time itself. Installed as the sockets'
// ticks for the object's life.
#pragma once

#include <cstdint>

#include "foundation/socket.h"

namespace plexa::test {

class SteppingSocketClock {
public:
    SteppingSocketClock() : former_(SetSocketTicksHook(Read)) {}
    ~SteppingSocketClock() { SetSocketTicksHook(former_); }
    SteppingSocketClock(const SteppingSocketClock&) = delete;
    SteppingSocketClock& operator=(const SteppingSocketClock&) = delete;

private:
    static uint32_t Read() { return now_ += 30; }
    static inline uint32_t now_ = 0;
    SocketTicksHook former_;
};

}  // namespace plexa::test
