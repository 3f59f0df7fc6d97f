// What the simulator link's tests share: starting the core the link runs in with a run loop of the
// test's own (its timers fire on every wait, as the editor's run loop fires them while the link
// waits), starting the link as a client of a fake simulator, and running the link's timer until
// something has happened.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <thread>

#include <poll.h>

#include "design/simlink.h"
#include "design/tests/fake_simora.h"
#include "app/root.h"
#include "foundation/socket.h"
#include "foundation/timers.h"

namespace plexa::test {

// The run loop's timers as the test runs them: each wait sleeps, then fires every running timer.
struct TestTimer {
    TimerProc proc;
    uint64_t refCon;
    uint32_t flags;
};
inline std::map<uintptr_t, TestTimer>& TestTimers() {
    static std::map<uintptr_t, TestTimer> timers;
    return timers;
}

inline void InstallTestRunLoop() {
    TimerHooks hooks;
    hooks.start = [](uint32_t, uint32_t flags, TimerProc proc, uint64_t refCon) {
        static uintptr_t next = 0x1000;
        next += 0x10;
        TestTimers()[next] = {proc, refCon, flags};
        return reinterpret_cast<sVXTimerRecord*>(next);
    };
    hooks.setNextFires = [](sVXTimerRecord*, uint32_t) {};
    hooks.kill = [](sVXTimerRecord* timer) { TestTimers().erase(reinterpret_cast<uintptr_t>(timer)); };
    hooks.wait = [](uint32_t ticks) {
        std::this_thread::sleep_for(std::chrono::microseconds(uint64_t(ticks) * 1000000 / 60));
        const std::map<uintptr_t, TestTimer> running = TestTimers();
        for (const auto& [id, timer] : running)
            if (TestTimers().count(id)) timer.proc(reinterpret_cast<sVXTimerRecord*>(id), timer.refCon);
    };
    SetTimerHooks(hooks);
}

// The core and the test's run loop, once per test suite.
inline void StartSpiceTestApplication() {
    ASSERT_EQ(StartCore("design_tests"), 0);
    InstallTestRunLoop();
}

// Starts the link as a client of the peer and waits for its "AllA".
inline void ConnectSpiceLinkTo(FakeSimora& peer) {
    ASSERT_TRUE(peer.Listen());
    const SpiceCommSettings settings{0, 0, peer.port()};
    ASSERT_EQ(EnableSpiceLink(&settings, false, kSpiceLocalConnectWait), 0);
    ASSERT_NE(gSpiceSocket, nullptr);
    ASSERT_EQ(gSpiceSocket->state, kSocketStateConnected);
    ASSERT_TRUE(peer.WaitFrames(1));  // "AllA"
}

// Whether the link's socket has something to take in (bytes, a connection, a close).
inline bool SpiceLinkReadable() {
    if (!gSpiceSocket || gSpiceSocket->descriptor < 0) return false;
    pollfd watched{gSpiceSocket->descriptor, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0;
}

// Runs `step` (a poll or a tick of the link) until the condition holds. Between rounds it waits
// for what can change the answer: bytes for the link, or a fake simulator's thread having taken
// in what the link sent (and answered it). It gives up when nothing is left to come: the link has
// nothing to read, the peers have gone round idle twice in a row, and the link's clock has passed
// two refresh periods since anything moved (the periodic refresh would have come).
inline bool StepSpiceLinkUntil(void (*step)(), const std::function<bool()>& done) {
    uint32_t movedAt = GetSocketTicks();
    int idleRounds = 0;
    for (;;) {
        const PeerRounds since = PeerRoundsNow();
        step();
        if (done()) return true;
        if (SpiceLinkReadable()) {
            movedAt = GetSocketTicks();
            idleRounds = 0;
            continue;
        }
        if (WaitPeerRound(since, false) && PeerRoundsNow().busy > since.busy) {
            movedAt = GetSocketTicks();
            idleRounds = 0;
            continue;
        }
        ++idleRounds;
        std::this_thread::yield();
        if (idleRounds >= 2 && GetSocketTicks() - movedAt > 2 * kSpiceRefreshTicks) return false;
    }
}

// Runs the link's timer until the condition holds.
inline bool TickSpiceLinkUntil(const std::function<bool()>& done) {
    return StepSpiceLinkUntil([] { ServiceSpiceSocketTimer(nullptr, 0); }, done);
}

}  // namespace plexa::test
