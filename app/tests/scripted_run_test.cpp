// The scripted run itself: the program started with a script shows its window, the script's steps
// reach it through the window system (its menu bar and sub-menus, key equivalents, pointer
// moves), what it logs and shoots lands where it says, and a step a person could not take (a
// disabled or missing item, a move with a button), or a wait that never ends, fails the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

TEST(ScriptedRun, PlaysItsStepsOnTheRunningProgram) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string shot = OutputPath("scripted-window.png");
    const std::string menuShot = OutputPath("scripted-menu-open.png");
    std::remove(shot.c_str());
    std::remove(menuShot.c_str());
    const ScriptedRunResult result = run.Run(
        "# the first window, drawn\n"
        "wait-window Untitled*\n"
        "wait-drawn\n"
        "log-time drawn\n"
        "log-windows\n"
        "log-menu Edit\n"
        "# the pointer moves over the sheet with no button held\n"
        "move 200 150\n"
        "move 212 162 Shift\n"
        "screenshot " + shot + "\n"
        "screenshot-menu " + menuShot + " Edit\n"
        "# a sub-menu's item, then the key equivalent of Close\n"
        "menu File > New > Schematic Sheet\n"
        "wait-window Untitled 2\n"
        "log-windows\n"
        "key Ctrl+W\n"
        "wait-no-window Untitled 2\n"
        "log-windows\n"
        "log done\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    ASSERT_EQ(result.Lines("drawn ").size(), 1u);
    EXPECT_EQ(result.Lines("windows: "),
              (std::vector<std::string>{"windows: Untitled 1", "windows: Untitled 2 | Untitled 1",
                                        "windows: Untitled 1"}))
        << result.errors;
    EXPECT_TRUE(Contains(result.log, "menu Edit"));
    EXPECT_TRUE(Contains(result.log, "  -"));
    EXPECT_EQ(result.Lines("  Cut\t").size(), 1u);
    EXPECT_TRUE(Contains(result.log, "done"));
    EXPECT_EQ(result.log.back(), "end");
    std::string png;
    ASSERT_TRUE(ReadFile(shot, png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    ASSERT_TRUE(ReadFile(menuShot, png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// A file panel's answer given before the command that runs the panel, and a dialog's button.
TEST(ScriptedRun, AnswersAFilePanelAndPressesADialogsButton) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.CopyFixture("tools/tests/fixtures/amp/RC.SHX");
    ASSERT_FALSE(sheet.empty());
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled*\n"
        "panel " + sheet + "\n"
        "menu File > Open...\n"
        "wait-window RC\n"
        "menu Tools > Simora Setup...\n"
        "wait-window Simora*\n"
        "log-windows\n"
        "button Done\n"
        "wait-no-window Simora*\n"
        "log-windows\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows: "),
              (std::vector<std::string>{"windows: Simora Interface | RC | Untitled 1",
                                        "windows: RC | Untitled 1"}));
}

// A step a person could not take, and a wait whose state never comes, end the run with status 3
// and the line and reason in the log.
TEST(ScriptedRun, AStepThatCannotBePlayedFailsTheRun) {
    struct Case {
        const char* script;
        const char* reason;
        const char* limit;  // seconds
    };
    const Case cases[] = {
        {"wait-window Untitled*\nmenu Edit > Nothing Here\nquit\n",
         "script failed: line 2: no item \"Edit > Nothing Here\"", "480"},
        {"wait-window Untitled*\nmenu Edit > Cut\nquit\n",
         "script failed: line 2: the item \"Edit > Cut\" is disabled", "480"},
        {"wait-window Untitled*\nmenu Nowhere > Anything\nquit\n",
         "script failed: line 2: the menu bar has no menu \"Nowhere\"", "480"},
        {"wait-window A Window That Never Comes\nquit\n",
         "script failed: line 1: the run passed its limit of 3 s", "3"},
        {"fly away\n", "script failed: line 1: unknown step \"fly\"", "480"},
        {"wait-window Untitled*\nmove 10 10 right\nquit\n", "script failed: line 2: a move has no button", "480"},
        {"wait-window Untitled*\nclick 10 10 hold\nquit\n", "script failed: line 2: a click is not held", "480"},
        {"wait-window Untitled*\nrelease 10 10\nquit\n", "script failed: line 2: no button is held", "480"},
    };
    for (const Case& c : cases) {
        ScriptedRun run(PLEXA_PROGRAM);
        run.SetEnvironment(std::string("PLEXA_TEST_SCRIPT_LIMIT=") + c.limit);
        const ScriptedRunResult result = run.Run(c.script);
        EXPECT_TRUE(result.Exited(3)) << c.script << result.status;
        EXPECT_TRUE(Contains(result.log, c.reason)) << c.script << result.errors;
        EXPECT_NE(result.errors.find(c.reason), std::string::npos) << result.errors;
    }
}

#endif

}  // namespace
}  // namespace plexa::test
