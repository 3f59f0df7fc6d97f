// Documents named on the command line, relative names taken from the folder the program starts
// in: each opens in its window, at launch and when a second start hands them to the running
// program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// A copy of the small project of the tools' tests: amp.PRX with ROOT.SHX, which uses RC.SHX.
std::string CopyFixture(const TempDir& dir) {
    const std::string folder = dir.file("amp");
    EXPECT_EQ(system(("cp -r '" + SourcePath("tools/tests/fixtures/amp") + "' '" + folder + "'").c_str()), 0);
    return folder;
}

TEST(CommandLine, RelativeNamesOpenAtLaunchAndFromASecondStart) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = CopyFixture(run.dir());
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
        const int status = second.Wait(std::chrono::seconds(60));
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    const ScriptedRunResult result = run.Finish();
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: RC | ROOT"})
        << result.errors;
}

// A name that names nothing is reported with the whole path it was taken for.
TEST(CommandLine, AMissingDocumentIsReportedByItsWholePath) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = CopyFixture(run.dir());
    const ScriptedRunResult result =
        run.Run("wait-window ROOT\nwait-drawn ROOT\nlog-windows\nquit\n",
                {"missing.SHX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: ROOT"});
    EXPECT_NE(result.errors.find("\"" + folder + "/missing.SHX\""), std::string::npos)
        << result.errors;
}

#endif

}  // namespace
}  // namespace plexa::test
