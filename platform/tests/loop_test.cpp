// The run loop: deferred calls and timers by mode and time, nested loops, the test clock and
// scripted input, termination signals through the self-pipe, the platform's own panels dismissed,
// and the documents of a command line.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/input_platform.h"
#include "platform/menu_platform.h"
#include "platform/panel_platform.h"
#include "platform/tests/platform_fixture.h"
#include "platform/window_platform.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;
void Note(void* text) { gLog.push_back(static_cast<const char*>(text)); }
void Leave(void* code) { PlatformLeaveLoop(int(reinterpret_cast<intptr_t>(code))); }
void* Code(intptr_t code) { return reinterpret_cast<void*>(code); }

class Loop : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        gLog.clear();
    }
};

TEST_F(Loop, DocumentArguments) {
    const std::string cwd = std::filesystem::current_path().string();
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> documents;
        bool print;
    };
    const Case cases[] = {
        {{"plexa"}, {}, false},
        {{"plexa", "/a/b.SHX", "-x", "--opt", "/c/./d.PRX"}, {"/a/b.SHX", "/c/d.PRX"}, false},
        {{"plexa", "--", "-odd", "/e"}, {cwd + "/-odd", "/e"}, false},
        {{"plexa", "rel/f.SHX"}, {cwd + "/rel/f.SHX"}, false},
        {{"plexa", "/a/b.SHX", "--print"}, {"/a/b.SHX"}, true},
        {{"plexa", "--print", "--", "--print"}, {cwd + "/--print"}, true},
        {{"plexa", "--", "--print"}, {cwd + "/--print"}, false},  // a document of that name
        {{"--print", "/a"}, {"/a"}, false},                       // the program's own name
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlatformDocumentArguments(c.arguments), c.documents);
        EXPECT_EQ(PlatformPrintArgument(c.arguments), c.print) << c.arguments.size();
    }
}

TEST_F(Loop, DeferredCallsRunInTimeOrderAndOnlyInTheirModes) {
    PlatformPostDeferred(Note, const_cast<char*>("late"), 300'000);
    PlatformPostDeferred(Note, const_cast<char*>("early"), 100'000);
    PlatformPostDeferred(Note, const_cast<char*>("default only"), 150'000, kPlatformModeDefault);
    PlatformPostDeferred(Leave, Code(7), 400'000);
    EXPECT_EQ(PlatformRunLoop(kPlatformModeModalPanel), 7);
    EXPECT_EQ(gLog, (std::vector<std::string>{"early", "late"}));
    TestRunDueWork();
    EXPECT_EQ(gLog.back(), "default only");
    uint64_t cancelled = PlatformPostDeferred(Note, const_cast<char*>("cancelled"), 0);
    EXPECT_TRUE(PlatformCancelDeferred(cancelled));
    EXPECT_FALSE(PlatformCancelDeferred(cancelled));
    TestRunDueWork();
    EXPECT_EQ(gLog.back(), "default only");
}

void EnterInner(void*) {
    gLog.push_back("inner " + std::to_string(PlatformLoopDepth()));
    PlatformPostDeferred(Leave, Code(2), 50'000);
    gLog.push_back("inner returned " + std::to_string(PlatformRunLoop(kPlatformModeEventTracking)));
}

TEST_F(Loop, NestedLoopsLeaveInnermostFirst) {
    static std::vector<uint32_t> ended;
    ended.clear();
    PlatformSetLoopEndObserver([](uint32_t mode) { ended.push_back(mode); });
    PlatformPostDeferred(EnterInner, nullptr, 10'000);
    PlatformPostDeferred(Leave, Code(1), 20'000);  // runs inside the inner loop: leaves it
    // The inner loop's own leave (code 2) then ends the outer loop.
    EXPECT_EQ(PlatformRunLoop(kPlatformModeModalPanel), 2);
    EXPECT_EQ(gLog, (std::vector<std::string>{"inner 1", "inner returned 1"}));
    EXPECT_EQ(ended, (std::vector<uint32_t>{kPlatformModeEventTracking, kPlatformModeModalPanel}));
    EXPECT_EQ(PlatformLoopDepth(), 0);
    EXPECT_EQ(PlatformModalDepth(), 0);
}

void LeaveModalLoops(void* code) {
    gLog.push_back("leave the modal loops");
    PlatformLeaveLoops(kPlatformModeModalPanel, int(reinterpret_cast<intptr_t>(code)));
}
void EnterInnerModal(void*) {
    PlatformPostDeferred(LeaveModalLoops, Code(5), 10'000);
    gLog.push_back("inner modal returned " + std::to_string(PlatformRunLoop(kPlatformModeModalPanel)));
}
void EnterTracking(void*) {
    PlatformPostDeferred(EnterInnerModal, nullptr, 10'000);
    PlatformPostDeferred(Note, const_cast<char*>("tracking runs on"), 50'000,
                         kPlatformModeEventTracking);
    PlatformPostDeferred(Leave, Code(3), 100'000, kPlatformModeEventTracking);
    gLog.push_back("tracking returned " + std::to_string(PlatformRunLoop(kPlatformModeEventTracking)));
}

TEST_F(Loop, LeavingTheLoopsOfAModeEndsEachWhenControlIsBackInIt) {
    PlatformPostDeferred(EnterTracking, nullptr, 10'000);
    EXPECT_EQ(PlatformRunLoop(kPlatformModeModalPanel), 5);
    EXPECT_EQ(gLog, (std::vector<std::string>{"leave the modal loops", "inner modal returned 5",
                                              "tracking runs on", "tracking returned 3"}));
    // Loops begun afterwards are not concerned.
    EXPECT_EQ(PlatformRunLoop(kPlatformModeModalPanel, PlatformNowMicros() + 10'000), 0);
    EXPECT_EQ(PlatformLoopDepth(), 0);
}

TEST_F(Loop, DismissingTheNativePanelsCancelsAFilePanelAndAPopupMenu) {
    TestClockDisable();
    TestResetFilePanels();  // the real panel
    QObject scope;  // the timers go with the test
    const auto dismissSoon = [&scope] {
        QTimer::singleShot(100, &scope, [] { PlatformDismissNativePanels(); });
        // Should the dismissal fail, the test ends anyway (and fails on the time).
        QTimer::singleShot(20'000, &scope, [] {
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
    };
    using Clock = std::chrono::steady_clock;
    PlatformFilePanelRequest request;
    request.kind = PlatformPanelKind::kOpen;
    request.title = "Open";
    request.folder = std::filesystem::temp_directory_path().string();
    dismissSoon();
    auto start = Clock::now();
    EXPECT_FALSE(PlatformRunFilePanel(request).accepted);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    PlatformWindow* window =
        PlatformWindowCreate(12, PlatformWindowKind::kDocument, 0, "w", {0, 0, 200, 120});
    ASSERT_NE(window, nullptr);
    PlatformWindowShow(window, true);
    PlatformMenu* menu = PlatformMenuCreate("Popup", nullptr);
    PlatformMenuInsertItem(menu, -1, "One", 1, false);
    dismissSoon();
    start = Clock::now();
    EXPECT_EQ(PlatformMenuPopup(menu, window, 10, 10, -1), -1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    PlatformMenuDestroy(menu);
    PlatformWindowDestroy(window);
}

TEST_F(Loop, LoopWithNothingToWaitForUnderTheTestClockStalls) {
    EXPECT_EQ(PlatformRunLoop(kPlatformModeDefault), kPlatformLoopStalled);
    const int64_t start = PlatformNowMicros();
    EXPECT_EQ(PlatformRunLoop(kPlatformModeDefault, start + 250'000), 0);
    EXPECT_EQ(PlatformNowMicros(), start + 250'000);
}

int gFirings = 0;
uint64_t gTimer = 0;
void Count(void*) { ++gFirings; }
void CountAndDestroy(void*) {
    ++gFirings;
    PlatformTimerDestroy(gTimer);
}

TEST_F(Loop, TimersRepeatSkipMissedPeriodsAndMayDestroyThemselves) {
    gFirings = 0;
    const int64_t start = PlatformNowMicros();
    uint64_t timer = PlatformTimerCreate(100'000, kPlatformModeDefault, Count, nullptr);
    TestClockAdvance(250'000);
    EXPECT_EQ(gFirings, 2);
    TestClockSet(start + 1'050'000);  // late by many periods: one firing only
    TestRunDueWork();
    EXPECT_EQ(gFirings, 3);
    TestClockAdvance(49'999);
    EXPECT_EQ(gFirings, 3);
    TestClockAdvance(1);
    EXPECT_EQ(gFirings, 4);  // the next whole period
    PlatformTimerSetNextFire(timer, -1);
    TestClockAdvance(10'000'000);
    EXPECT_EQ(gFirings, 4);
    PlatformTimerDestroy(timer);
    EXPECT_FALSE(PlatformTimerValid(timer));

    gFirings = 0;
    gTimer = PlatformTimerCreate(10'000, kPlatformModeDefault, CountAndDestroy, nullptr);
    TestClockAdvance(100'000);
    EXPECT_EQ(gFirings, 1);
    EXPECT_FALSE(PlatformTimerValid(gTimer));
}

void CountAndFireAgainNow(void*) {
    ++gFirings;
    PlatformTimerSetNextFire(gTimer, 0);
}

TEST_F(Loop, TimerMovedToNowByItsFiringFiresOncePerPass) {
    gFirings = 0;
    gTimer = PlatformTimerCreate(10'000, kPlatformModeDefault, CountAndFireAgainNow, nullptr);
    TestClockSet(PlatformNowMicros() + 10'000);
    TestRunDueWork();
    EXPECT_EQ(gFirings, 1);
    TestRunDueWork();
    EXPECT_EQ(gFirings, 2);
    PlatformTimerDestroy(gTimer);
}

TEST_F(Loop, ScriptedInputComesBeforeTimeAndKeysChangeTheKeyState) {
    static std::vector<PlatformInputKind> seen;
    seen.clear();
    PlatformSetInputSink([](const PlatformInputEvent& event) { seen.push_back(event.kind); });
    PlatformInputEvent key;
    key.kind = PlatformInputKind::kKeyDown;
    key.keyCode = kPlatformKeyEscape;
    TestQueueInput(key);
    PlatformInputEvent up;
    up.kind = PlatformInputKind::kMouseUp;
    TestQueueInput(up);
    PlatformPostDeferred(Leave, Code(0), 1);
    EXPECT_EQ(PlatformRunLoop(kPlatformModeEventTracking), 0);
    EXPECT_EQ(seen, (std::vector<PlatformInputKind>{PlatformInputKind::kKeyDown,
                                                    PlatformInputKind::kMouseUp}));
    EXPECT_EQ(TestQueuedInputCount(), 0);
    EXPECT_TRUE(PlatformIsKeyDown(kPlatformKeyEscape));
    TestSetKeyDown(kPlatformKeyEscape, false);
    EXPECT_FALSE(PlatformIsKeyDown(kPlatformKeyEscape));
}

// The timer's second firing posts the call that leaves the loop: nothing but the real clock
// wakes the loop for either. The far call only ends a loop that was never woken.
void CountThenPostLeave(void*) {
    if (++gFirings == 2) PlatformPostDeferred(Leave, Code(4), 5'000);
}

TEST_F(Loop, RealClockWakesTheLoopForDeferredCallsAndTimers) {
    TestClockDisable();
    gFirings = 0;
    uint64_t timer = PlatformTimerCreate(5'000, kPlatformModeDefault, CountThenPostLeave, nullptr);
    PlatformPostDeferred(Leave, Code(9), 600'000'000);
    EXPECT_EQ(PlatformRunLoop(kPlatformModeDefault), 4);
    EXPECT_GE(gFirings, 2);
    PlatformTimerDestroy(timer);
}

std::vector<int> gSignals;
int gAsked = 0;

TEST_F(Loop, TerminationSignalIsRecordedAndDeliveredByTheLoop) {
    TestClockDisable();
    gSignals.clear();
    gAsked = 0;
    PlatformAppDelegate delegate;
    delegate.didFinishLaunching = [](void*) { raise(SIGTERM); };
    delegate.terminationSignal = [](void*, int sig) {
        gSignals.push_back(sig);
        PlatformRequestTerminate();
        PlatformRequestTerminate();  // one request while one is pending
    };
    delegate.shouldTerminate = [](void*) -> int32_t {
        ++gAsked;
        return gAsked == 1 ? 0 : 2;  // refuse, then any non-zero answer terminates
    };
    delegate.willTerminate = [](void*) { gLog.push_back("will terminate"); };
    PlatformInstallSignalHandlers(nullptr);
    PlatformPostDeferred([](void*) { raise(SIGQUIT); }, nullptr, 20'000);
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    EXPECT_EQ(PlatformApplicationMain(1, argv, delegate), 0);
    EXPECT_EQ(gSignals, (std::vector<int>{SIGTERM, SIGQUIT}));
    EXPECT_EQ(gAsked, 2);
    EXPECT_EQ(gLog, (std::vector<std::string>{"will terminate"}));
    EXPECT_FALSE(PlatformIsRunning());
}

TEST_F(Loop, ActivationReachesTheDelegate) {
    static int became = 0, resigned = 0;
    became = resigned = 0;
    PlatformAppDelegate delegate;
    delegate.didFinishLaunching = [](void*) {
        TestSetApplicationActive(false);
        EXPECT_FALSE(PlatformIsActive());
        TestSetApplicationActive(false);
        TestSetApplicationActive(true);
        PlatformRequestTerminate();
    };
    delegate.didBecomeActive = [](void*) { ++became; };
    delegate.didResignActive = [](void*) { ++resigned; };
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    EXPECT_EQ(PlatformApplicationMain(1, argv, delegate), 0);
    EXPECT_EQ(became, 1);
    EXPECT_EQ(resigned, 1);
}

TEST_F(Loop, ClipboardClearChangesTheCount) {
    uint32_t before = PlatformClipboardChangeCount();
    uint32_t after = PlatformClipboardClear();
    EXPECT_GT(after, before);
    EXPECT_EQ(PlatformClipboardChangeCount(), after);
}

}  // namespace
}  // namespace plexa::test
