// Timers under the test clock: the flags against the application's states, postponing during a
// synchronous update, pausing, the caret interval, idle timers, and the clipboard change count.
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_timers.h"

namespace plexa::test {
namespace {

int gFired = 0;
void CountFiring(sVXTimerRecord*, uint64_t) { ++gFired; }

enum class AppState { kActive, kInactive, kModal, kTracking, kUpdateWait };

void LeaveLoop(void*) { PlatformLeaveLoop(0); }

// Firings of a 100 ms timer with the given flags over one second in a state.
int FiringsInState(uint32_t flags, AppState state) {
    gFired = 0;
    sVXTimerRecord* timer = nullptr;
    EXPECT_EQ(VXInstallTimerEx(100, flags, CountFiring, 0, &timer), 0);
    switch (state) {
        case AppState::kActive: TestClockAdvance(1'000'000); break;
        case AppState::kInactive:
            TestSetApplicationActive(false);
            TestClockAdvance(1'000'000);
            TestSetApplicationActive(true);
            break;
        case AppState::kModal:
            PlatformPostDeferred(LeaveLoop, nullptr, 1'000'000);
            PlatformRunLoop(kPlatformModeModalPanel);
            break;
        case AppState::kTracking:
            vx.mouseTracking = 1;
            TestClockAdvance(1'000'000);
            vx.mouseTracking = 0;
            break;
        case AppState::kUpdateWait:
            vx.updateWaitDepth = 1;
            TestClockAdvance(1'000'000);
            vx.updateWaitDepth = 0;
            break;
    }
    int fired = gFired;
    VXKillTimer(timer);
    return fired;
}

class Timers : public ToolkitTest {};

TEST_F(Timers, FlagsAgainstStates) {
    struct Case {
        uint32_t flags;
        AppState state;
        int firings;
    };
    const Case cases[] = {
        {0, AppState::kActive, 10},
        {kVXTimerWhenInactive, AppState::kActive, 10},
        {0, AppState::kInactive, 0},
        {kVXTimerWhenInactive, AppState::kInactive, 10},
        {0, AppState::kModal, 0},
        {kVXTimerInModal, AppState::kModal, 10},
        {kVXTimerInModal | kVXTimerWhenInactive, AppState::kModal, 10},
        {0, AppState::kTracking, 0},
        {kVXTimerWhenInactive | kVXTimerInModal, AppState::kTracking, 0},
        {0, AppState::kUpdateWait, 0},
        {kVXTimerWhenInactive, AppState::kUpdateWait, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " state " << int(c.state));
        EXPECT_EQ(FiringsInState(c.flags, c.state), c.firings);
    }
}

TEST_F(Timers, FiringDuringUpdateWaitIsPostponedNotLost) {
    gFired = 0;
    sVXTimerRecord* timer = nullptr;
    ASSERT_EQ(VXInstallTimerEx(100, 0, CountFiring, 0, &timer), 0);
    vx.updateWaitDepth = 1;
    TestClockAdvance(150'000);
    EXPECT_EQ(gFired, 0);
    vx.updateWaitDepth = 0;
    TestClockAdvance(2'000);
    EXPECT_EQ(gFired, 1);
    VXKillTimer(timer);
}

TEST_F(Timers, PauseResumeAndCaretInterval) {
    gFired = 0;
    sVXTimerRecord* timer = nullptr;
    ASSERT_EQ(VXInstallTimerEx(kVXCaretInterval, 0, CountFiring, 0, &timer), 0);
    TestClockAdvance(549'999);
    EXPECT_EQ(gFired, 0);
    TestClockAdvance(1);
    EXPECT_EQ(gFired, 1);  // 33 ticks
    VXSetTimerNextFires(timer, 0xFFFFFFFF);
    TestClockAdvance(10'000'000);
    EXPECT_EQ(gFired, 1);
    VXSetTimerNextFires(timer, 0);
    TestRunDueWork();
    EXPECT_EQ(gFired, 2);
    VXSetTimerNextFires(timer, 40);
    TestClockAdvance(40'000);
    EXPECT_EQ(gFired, 3);
    VXKillTimer(timer);
    VXKillTimer(nullptr);
}

int gIdle = 0;
int32_t CountIdle(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind == kVXIdleEvent) ++gIdle;
    return 1;
}

TEST_F(Timers, IdleTimerOfADestroyedWindowDoesNothing) {
    gIdle = 0;
    VXWindowRecordTag* window = VXCreateBareWindow(kVXWindowDocument, 0, nullptr, CountIdle, nullptr);
    window->visible = 1;
    VXSelectWindow(window);
    VXSetWindowIdleInterval(window, 100, 0);
    TestClockAdvance(300'000);
    EXPECT_EQ(gIdle, 3);
    // The timer's firing after the window went is harmless: run one firing by hand.
    sVXTimerRecord* timer = nullptr;
    ASSERT_EQ(VXInstallTimerEx(100, 0, WindowIdleTimerFired, uint64_t(window->windowID), &timer), 0);
    VXDestroyWindow(window);
    TestClockAdvance(300'000);
    EXPECT_EQ(gIdle, 3);
    VXKillTimer(timer);
}

TEST_F(Timers, IdleEventsGoToTheKeyWindowUnlessFlagsSayOtherwise) {
    gIdle = 0;
    VXWindowRecordTag* back = VXCreateBareWindow(kVXWindowDocument, 0, nullptr, CountIdle, nullptr);
    VXWindowRecordTag* front = VXCreateBareWindow(kVXWindowDocument, 0, nullptr, CountIdle, nullptr);
    back->visible = front->visible = 1;
    VXSelectWindow(front);
    VXSetWindowIdleInterval(back, 100, 0);
    TestClockAdvance(200'000);
    EXPECT_EQ(gIdle, 0);
    VXSetWindowIdleInterval(back, 100, kVXIdleNotKey | kVXIdleAlways);
    TestClockAdvance(200'000);
    EXPECT_EQ(gIdle, 2);
}

TEST_F(Timers, ClearingTheScrapChangesItsCount) {
    uint32_t before = 0, after = 0;
    EXPECT_EQ(VXGetCurrentScrap(&before), 0);
    EXPECT_EQ(VXClearScrap(&after), after);
    EXPECT_NE(after, before);
    uint32_t now = 0;
    EXPECT_EQ(status::kNoErr, VXGetCurrentScrap(&now));
    EXPECT_EQ(now, after);
}

}  // namespace
}  // namespace plexa::test
