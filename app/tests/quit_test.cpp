// Quitting the running editor as a person does, through a script played on the program: every
// modified sheet is asked about, and a Cancel stops the quit with the sheets closed so far gone
// and the others still open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(Quit, CancelAtTheSecondModifiedSheetLeavesTheProgramRunning) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "# two sheets, each changed\n"
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "key Ctrl+N\n"
        "wait-window Untitled 2\n"
        "menu View > Show Grid\n"
        "menu Window > Untitled 1\n"
        "menu View > Show Grid\n"
        "log-windows\n"
        "# the front sheet is asked first\n"
        "quit\n"
        "button Don't Save\n"
        "button Cancel\n"
        "wait-no-window Untitled 1\n"
        "log-windows\n"
        "log still running\n"
        "# closing the last window asks again, then ends the program\n"
        "close Untitled 2\n"
        "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows: "),
              (std::vector<std::string>{"windows: Untitled 1 | Untitled 2", "windows: Untitled 2"}));
    EXPECT_EQ(result.Lines("still running").size(), 1u);
}

#endif

}  // namespace
}  // namespace plexa::test
