// Documents named on the command line, relative names taken from the folder the program starts
// in: sheets and libraries each open in their window, at launch and when a second start hands
// them to the running program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The small project of the tools' tests: amp.PRX with ROOT.SHX, which uses RC.SHX.
constexpr const char* kAmp = "tools/tests/fixtures/amp";

TEST(CommandLine, RelativeNamesOpenAtLaunchAndFromASecondStart) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(run.Start("wait-window ROOT\n"
                          "wait-drawn ROOT\n"
                          "log ready\n"
                          "wait-window RC\n"
                          "wait-drawn RC\n"
                          "log-windows\n"
                          "quit\n",
                          {"ROOT.SHX"}, folder));
    ASSERT_TRUE(run.WaitForLog("ready"));
    // The second start, from the folder above, hands its document over and ends.
    // It plays no script.
    std::vector<std::string> environment = run.Environment();
    for (std::string& entry : environment)
        if (entry.rfind("PLEXA_TEST_SCRIPT=", 0) == 0) entry = "PLEXA_TEST_SCRIPT=";
    {
        ChildProcess second(PLEXA_PROGRAM, {"amp/RC.SHX"}, environment, run.dir().file("second.err"),
                            run.dir().path());
        const int status = second.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    const ScriptedRunResult result = run.Finish();
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: RC | ROOT"})
        << result.errors;
}

// A library opens in the library editor, whose window carries the library editor's menu bar.
TEST(CommandLine, ALibraryOpensInItsEditor) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string library = run.CopyFixture("fuzz/corpus/library_file/items.LBX");
    ASSERT_FALSE(library.empty());
    const ScriptedRunResult result =
        run.Run("wait-window items\nwait-drawn items\nlog-windows\nlog-menubar\nquit\n", {"items.LBX"});
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: items"});
    ASSERT_EQ(result.Lines("menubar:").size(), 1u);
    EXPECT_NE(result.Lines("menubar:")[0].find(" Library "), std::string::npos) << result.Lines("menubar:")[0];
}

// A name that names nothing is reported with the whole path it was taken for.
TEST(CommandLine, AMissingDocumentIsReportedByItsWholePath) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const ScriptedRunResult result =
        run.Run("wait-window ROOT\nwait-drawn ROOT\nlog-windows\nquit\n",
                {"missing.SHX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: ROOT"});
    EXPECT_NE(result.errors.find("\"" + folder + "/missing.SHX\""), std::string::npos)
        << result.errors;
}

// A display that cannot be reached: the editor says so in one line and exits with a failure,
// rather than being ended by a signal.
TEST(CommandLine, WithoutAReachableDisplayTheEditorSaysSoAndExits) {
    const struct {
        const char* display;
        const char* platform;
        const char* reason;
    } cases[] = {
        {"DISPLAY=:4093", "QT_QPA_PLATFORM=", "no X server answers on DISPLAY \":4093\""},
        {"DISPLAY=:4093", "QT_QPA_PLATFORM=xcb", "no X server answers on DISPLAY \":4093\""},
        {"DISPLAY=", "QT_QPA_PLATFORM=xcb", "DISPLAY is not set"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.display) + " " + c.platform);
        ScriptedRun run(PLEXA_PROGRAM);
        run.SetEnvironment(c.display);
        run.SetEnvironment(c.platform);
        run.SetEnvironment("WAYLAND_DISPLAY=");
        run.SetEnvironment("XDG_RUNTIME_DIR=");
        const ScriptedRunResult result = run.Run("log started\nquit\n", {}, {}, std::chrono::seconds(60));
        EXPECT_TRUE(result.Exited(1)) << result.status << "\n" << result.errors;
        EXPECT_EQ(result.errors, std::string("plexa: cannot reach the display: ") + c.reason + "\n");
        EXPECT_TRUE(result.log.empty());
    }
}

#endif

}  // namespace
}  // namespace plexa::test
