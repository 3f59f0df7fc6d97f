// Launch order, shell requests with their hold counter and runner, and the quit path.
#include <string>
#include <vector>

#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"

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
int gLastDocumentQuits = 1;   // the open procedure quits after the last document
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
    VXPostShellRequestAction(kVXShellOpenFile, dir.file("doc").c_str(), 0, 1);
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
        VXPostShellRequestAction(kVXShellOpenFile, dir.file("doc").c_str(), i, 5);
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

}  // namespace
}  // namespace plexa::test
