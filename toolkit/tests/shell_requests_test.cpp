// Launch order, shell requests with their hold counter and runner, and the quit path, also when
// a termination signal comes while dialogs are up.
#include <signal.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

struct Opened {
    std::string path;
    int index, count;
    int64_t when;
};

std::vector<Opened> gOpened;
int gLaunched = 0;
int gQuitAsked = 0;
int32_t gQuitAnswer = 1;
int gLastDocumentQuits = 1;
int32_t gOpenedWindowA = 0, gOpenedWindowB = 0;   // the open procedure quits after the last document
std::vector<std::string> gFailures;

int32_t OpenProc(const char* path, int16_t index, int16_t count) {
    gOpened.push_back({path, index, count, PlatformNowMicros()});
    if (gLastDocumentQuits && index == count - 1) VXQuitApplication();
    return 1;
}
void LaunchedProc() {
    ++gLaunched;
    VXQuitApplication();
}
int32_t QuitProc() {
    ++gQuitAsked;
    return gQuitAnswer;
}
void FailureProc(const char* path, OSStatus) { gFailures.push_back(path); }

int32_t Startup() {
    VXSetShellMessageProcs(LaunchedProc, OpenProc, nullptr, nullptr, nullptr);
    vx.quitProc = QuitProc;
    VXSetShellRequestFailureProc(FailureProc);
    return 1;
}

class ShellRequests : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        gOpened.clear();
        gFailures.clear();
        gLaunched = gQuitAsked = 0;
        gQuitAnswer = 1;
        gLastDocumentQuits = 1;
    }
    void TearDown() override {
        VXSetShellRequestFailureProc(nullptr);
        ToolkitTest::TearDown();
    }
    int Launch(std::vector<std::string> arguments, VXStartupHook hook = Startup) {
        std::vector<char*> argv;
        for (std::string& arg : arguments) argv.push_back(arg.data());
        argv.push_back(nullptr);
        return VXApplicationMain(int(arguments.size()), argv.data(), "views.gui", hook);
    }
};

TEST_F(ShellRequests, LaunchWithTwoDocumentsOpensEachAndNoLaunchedRequest) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("a.SHX"), "a"));
    ASSERT_TRUE(WriteFile(dir.file("b.SHX"), "b"));
    EXPECT_EQ(Launch({"plexa", dir.file("a.SHX"), dir.file("b.SHX")}), 0);
    ASSERT_EQ(gOpened.size(), 2u);
    EXPECT_EQ(gOpened[0].path, dir.file("a.SHX"));
    EXPECT_EQ(gOpened[0].index, 0);
    EXPECT_EQ(gOpened[0].count, 2);
    EXPECT_EQ(gOpened[1].path, dir.file("b.SHX"));
    EXPECT_EQ(gOpened[1].index, 1);
    EXPECT_EQ(gOpened[1].count, 2);
    EXPECT_EQ(gLaunched, 0);
    EXPECT_EQ(gQuitAsked, 1);
    EXPECT_STREQ(vx.appName, "Plexa");
    EXPECT_STREQ(VXGetUIFileName(), "views.gui");
}

TEST_F(ShellRequests, LaunchWithoutDocumentsPostsOneLaunchedRequest) {
    EXPECT_EQ(Launch({"plexa", "--some-option"}), 0);
    EXPECT_EQ(gLaunched, 1);
    EXPECT_TRUE(gOpened.empty());
    EXPECT_EQ(gQuitAsked, 1);
}

TEST_F(ShellRequests, DocumentsThatCannotBeHandedInAreReported) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("good.SHX"), "x"));
    std::string longName = dir.file(std::string(200, 'n'));
    EXPECT_EQ(Launch({"plexa", dir.file("missing.SHX"), longName, dir.file("good.SHX")}), 0);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0].index, 2);
    EXPECT_EQ(gOpened[0].count, 3);
    EXPECT_EQ(gFailures, (std::vector<std::string>{dir.file("missing.SHX"), longName}));
    EXPECT_EQ(gLaunched, 0);
}

TEST_F(ShellRequests, HoldAndReleaseTable) {
    // Each step: hold (+1) or release (-1), then whether the queued request has run after the
    // runner's delay has passed, and the hold count.
    struct Step {
        int change;
        bool ran;
        int holds;
    };
    const Step steps[] = {{+1, false, 1}, {+1, false, 2}, {-1, false, 1},
                          {-1, true, 0},  {-1, true, 0}};
    VXResetShellRequestsForTesting(true);
    VXSetShellMessageProcs(nullptr, OpenProc, nullptr, nullptr, nullptr);
    gLastDocumentQuits = 0;
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("doc"), "x"));
    bool posted = false;
    for (const Step& step : steps) {
        VXSetShellRequestsOnHold(step.change > 0);
        if (!posted) {
            EXPECT_EQ(VXPostShellRequestAction(kVXShellOpenFile, dir.file("doc").c_str(), 0, 1), 0);
            posted = true;
        }
        TestClockAdvance(200'000);
        EXPECT_EQ(!gOpened.empty(), step.ran);
        EXPECT_EQ(VXShellRequestsHoldCount(), step.holds);
    }
    EXPECT_EQ(gOpened.size(), 1u);
    // Releasing at 0 with a request waiting still posts a runner.
    EXPECT_EQ(status::kNoErr, VXPostShellRequestAction(kVXShellOpenFile, dir.file("doc").c_str(), 0, 1));
    VXSetShellRequestsOnHold(true);
    VXSetShellRequestsOnHold(false);
    VXSetShellRequestsOnHold(false);
    EXPECT_EQ(VXShellRequestsHoldCount(), 0);
    TestClockAdvance(200'000);
    EXPECT_EQ(gOpened.size(), 2u);
}

TEST_F(ShellRequests, ManyRequestsPostOneRunner) {
    VXResetShellRequestsForTesting(true);
    VXSetShellMessageProcs(nullptr, OpenProc, nullptr, nullptr, nullptr);
    gLastDocumentQuits = 0;
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("doc"), "x"));
    for (int16_t i = 0; i < 5; ++i)
        EXPECT_EQ(status::kNoErr, VXPostShellRequestAction(kVXShellOpenFile, dir.file("doc").c_str(), i, 5));
    EXPECT_TRUE(VXShellRequestRunnerPending());
    EXPECT_EQ(VXCountShellRequests(), 5);
    TestClockAdvance(100'000);
    EXPECT_EQ(gOpened.size(), 5u);
    EXPECT_FALSE(VXShellRequestRunnerPending());
}

// A modal loop entered 50 ms after launch that lasts one second.
void LeaveModal(void*) { PlatformLeaveLoop(1); }
void EnterModal(void*) {
    VXPostDeferredAction(LeaveModal, nullptr, 1.0);
    PlatformRunLoop(kPlatformModeModalPanel);
}
int32_t StartupWithModal() {
    Startup();
    VXPostDeferredAction(EnterModal, nullptr, 0.05);
    return 1;
}

TEST_F(ShellRequests, RunnerThatMeetsAModalLoopResumesWhenItEnds) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("a"), "a"));
    ASSERT_TRUE(WriteFile(dir.file("b"), "b"));
    const int64_t start = PlatformNowMicros();
    EXPECT_EQ(Launch({"plexa", dir.file("a"), dir.file("b")}, StartupWithModal), 0);
    ASSERT_EQ(gOpened.size(), 2u);
    // The runner came at 0.1 s, inside the modal loop; the documents opened after it ended.
    EXPECT_GE(gOpened[0].when - start, 1'050'000);
    EXPECT_EQ(gOpened[1].index, 1);
}

int gRefusals = 0;
int32_t RefuseOnce() {
    ++gQuitAsked;
    return gRefusals++ == 0 ? 0 : 2;  // 2, like any non-zero answer, means now
}
void QuitAgain(void*) { VXQuitApplication(); }
int32_t StartupRefusingOnce() {
    vx.quitProc = RefuseOnce;
    VXQuitApplication();
    VXPostDeferredAction(QuitAgain, nullptr, 0.5);
    return 1;
}

TEST_F(ShellRequests, RefusedQuitKeepsRunningAndAnyNonZeroAnswerQuits) {
    gRefusals = 0;
    EXPECT_EQ(Launch({"plexa"}, StartupRefusingOnce), 0);
    EXPECT_EQ(gQuitAsked, 2);
}

// Two document windows: closing the first leaves the application running, closing the last asks
// the quit procedure, which may refuse (the application runs on, with no window).
int gLastWindowSteps = 0;

VXWindowRecordTag* DocumentWindow(const char* title) {
    const Rect content = {60, 60, 260, 360};
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable, 101, 0, -1,
                                               &content, title, 0, nullptr, nullptr);
    if (window) VXShowWindow(window);
    return window;
}

void CloseWindowsStep(void*) {
    ++gLastWindowSteps;
    switch (gLastWindowSteps) {
        case 1:
            VXSendGoAway(VXGetWindowFromId(gOpenedWindowA));
            break;
        case 2:
            EXPECT_EQ(gQuitAsked, 0) << "a document window is still open";
            VXSendGoAway(VXGetWindowFromId(gOpenedWindowB));
            break;
        case 3:
            EXPECT_EQ(gQuitAsked, 1) << "closing the last document window asks to quit";
            gQuitAnswer = 1;
            VXQuitApplication();
            return;
    }
    VXPostDeferredAction(CloseWindowsStep, nullptr, 0.2);
}

int32_t StartupWithTwoWindows() {
    vx.quitProc = QuitProc;
    gQuitAnswer = 0;
    VXWindowRecordTag* a = DocumentWindow("A");
    VXWindowRecordTag* b = DocumentWindow("B");
    if (!a || !b) return 0;
    gOpenedWindowA = a->windowID;
    gOpenedWindowB = b->windowID;
    VXPostDeferredAction(CloseWindowsStep, nullptr, 0.2);
    return 1;
}

TEST_F(ShellRequests, ClosingTheLastDocumentWindowAsksToQuit) {
    gLastWindowSteps = 0;
    EXPECT_EQ(Launch({"plexa"}, StartupWithTwoWindows), 0);
    EXPECT_EQ(gLastWindowSteps, 3);
    EXPECT_EQ(gQuitAsked, 2);
}

int32_t FailingStartup() {
    vx.quitProc = QuitProc;
    return 0;
}

TEST_F(ShellRequests, StartupHookThatFailsEndsTheApplication) {
    EXPECT_EQ(Launch({"plexa"}, FailingStartup), 0);
    EXPECT_EQ(gQuitAsked, 1);
    EXPECT_EQ(gLaunched, 0);
}

// As when the documents went to the running instance: the start-up fails after installing its
// procedures, and the launch's documents are neither opened nor reported.
int32_t StartupThatHandsOver() {
    Startup();
    return 0;
}

TEST_F(ShellRequests, StartupHookThatFailsTakesNoDocuments) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("a.SHX"), "a"));
    EXPECT_EQ(Launch({"plexa", dir.file("a.SHX"), dir.file("missing.SHX")}, StartupThatHandsOver), 0);
    EXPECT_TRUE(gOpened.empty());
    EXPECT_TRUE(gFailures.empty());
    EXPECT_EQ(gLaunched, 0);
}

// Modal dialogs that a person would answer with OK only long after, each noting how it ended and
// whether it was on screen.
std::vector<std::string> gDialogs;
int64_t gSignalledAt = 0;

int32_t NoteEnd(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXEndModalEvent)
        gDialogs.push_back(std::string(static_cast<const char*>(window->refCon)) + " ended by " +
                           std::to_string(event->u.endModal.item) +
                           (VXIsWindowVisible(window, false) ? " on screen" : " never shown"));
    return 0;
}

void AnswerOK(void* id) {
    if (VXWindowRecordTag* window = VXGetWindowFromId(int32_t(reinterpret_cast<intptr_t>(id))))
        VXEndDialog(window, 1);
}

void RunDialog(const char* name, double answerAfter) {
    const Rect content = {100, 100, 200, 300};
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDialog, 3, 0, 1, 0, 0, &content, name, 0,
                                               const_cast<char*>(name), NoteEnd);
    ASSERT_NE(window, nullptr);
    VXPostDeferredAction(AnswerOK, reinterpret_cast<void*>(intptr_t(window->windowID)), answerAfter);
    const int16_t result = VXRunModalWindow(window);
    gDialogs.push_back(std::string(name) + " gave " + std::to_string(result));
}

void Nothing(void*) {}
void Terminate(void*) {
    gSignalledAt = PlatformNowMicros();
    raise(SIGTERM);
    // The next thing that happens (the test clock would otherwise jump to the late answers).
    VXPostDeferredAction(Nothing, nullptr, 0.01);
}
void OpenInner(void*) {
    VXPostDeferredAction(Terminate, nullptr, 0.05);
    RunDialog("inner", 100);
}
void OpenOuter(void*) {
    VXPostDeferredAction(OpenInner, nullptr, 0.05);
    RunDialog("outer", 100);
    // Begins after the signal, before the quit procedure.
    RunDialog("later", 100);
}
// The quit procedure's own question is answered as usual.
int32_t QuitWithAQuestion() {
    ++gQuitAsked;
    RunDialog("question", 0.2);
    return 1;
}
int32_t StartupWithDialogs() {
    vx.quitProc = QuitWithAQuestion;
    VXPostDeferredAction(OpenOuter, nullptr, 0.05);
    return 1;
}

TEST_F(ShellRequests, TerminationSignalEndsTheDialogsAsCancelledAndQuitsAtOnce) {
    gDialogs.clear();
    EXPECT_EQ(Launch({"plexa"}, StartupWithDialogs), 0);
    EXPECT_EQ(gDialogs, (std::vector<std::string>{
                            "inner ended by 2 on screen", "inner gave 2",
                            "outer ended by 2 on screen", "outer gave 2",
                            "later ended by 2 never shown", "later gave 2",
                            "question ended by 1 on screen", "question gave 1"}));
    EXPECT_EQ(gQuitAsked, 1);
    EXPECT_LT(PlatformNowMicros() - gSignalledAt, 1'000'000);
    EXPECT_FALSE(VXTerminationSignalPending());
}

// Each document asks a question; the first quit is refused, the second (after the last document)
// granted.
int32_t OpenWithAQuestion(const char*, int16_t index, int16_t count) {
    static const char* const kNames[] = {"a", "b", "c"};
    const char* name = index >= 0 && index < 3 ? kNames[index] : "?";
    gDialogs.push_back(std::string("open ") + name);
    RunDialog(name, 100);
    if (index == count - 1) VXQuitApplication();
    return 1;
}
int32_t RefuseTheFirstQuit() {
    gDialogs.push_back("quit asked");
    return gQuitAsked++ == 0 ? 0 : 1;
}
int32_t StartupWithQuestions() {
    vx.quitProc = RefuseTheFirstQuit;
    VXSetShellMessageProcs(nullptr, OpenWithAQuestion, nullptr, nullptr, nullptr);
    VXPostDeferredAction(Terminate, nullptr, 0.15);  // while the first document's question is up
    return 1;
}

TEST_F(ShellRequests, DocumentsWaitWhileATerminationSignalWaitsForTheQuit) {
    gDialogs.clear();
    TempDir dir;
    for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(WriteFile(dir.file(name), name));
    EXPECT_EQ(Launch({"plexa", dir.file("a"), dir.file("b"), dir.file("c")}, StartupWithQuestions), 0);
    EXPECT_EQ(gDialogs, (std::vector<std::string>{
                            "open a", "a ended by 2 on screen", "a gave 2", "quit asked",
                            "open b", "b ended by 1 on screen", "b gave 1",
                            "open c", "c ended by 1 on screen", "c gave 1", "quit asked"}));
}

}  // namespace
}  // namespace plexa::test
