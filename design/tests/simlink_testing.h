// What the simulator link's tests share: starting the application the link runs in, starting the
// link as a client of a fake simulator, and running the link's timer until something has happened.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "design/simlink.h"
#include "design/tests/fake_simora.h"
#include "foundation/socket.h"
#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/vx_app.h"

namespace plexa::test {

// The application and the toolkit's core, once per test suite.
inline void StartSpiceTestApplication() {
    static char name[] = "design_tests";
    static char* argv[] = {name, nullptr};
    ASSERT_TRUE(PlatformEnsureApplication(1, argv));
    VXCoreInit();
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

// Puts the link's clock on the platform's test clock, going on from the present, for the object's
// life: a wait that only runs out its time (for a wait window, for the rest of a frame that never
// comes) moves the clock as it sleeps and ends after its passes, not after the time itself.
class SpiceTestClock {
public:
    SpiceTestClock() { TestClockEnable(PlatformNowMicros()); }
    ~SpiceTestClock() { TestClockDisable(); }
    SpiceTestClock(const SpiceTestClock&) = delete;
    SpiceTestClock& operator=(const SpiceTestClock&) = delete;
};

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
