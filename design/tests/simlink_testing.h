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

// Runs the link's timer until the condition holds (at most five seconds).
inline bool TickSpiceLinkUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        ServiceSpiceSocketTimer(nullptr, 0);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace plexa::test
