// A project named on the command line shows its window with the tree of its sheets; a row opens
// its sheet through File > Open Selection or a double click, and closing the project window, the last window,
// ends the program. A row's popup opens its sheet too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// amp.PRX: the top-level sheet ROOT.SHX, which uses RC.SHX.
constexpr const char* kAmp = "tools/tests/fixtures/amp";

TEST(ProjectWindow, AProjectOnTheCommandLineShowsItsTreeAndOpensASheetFromIt) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string picture = OutputPath("project-window.png");
    const ScriptedRunResult result = run.Run("wait-window amp\n"
                                             "wait-drawn amp\n"
                                             "log-windows\n"
                                             "screenshot " + picture + " amp\n"
                                             // The top-level row's name, then Open Selection.
                                             "click 60 9\n"
                                             "menu File > Open Selection\n"
                                             "wait-window ROOT\n"
                                             "wait-drawn ROOT\n"
                                             "log-windows\n"
                                             "close ROOT\n"
                                             "wait-no-window ROOT\n"
                                             "log-windows\n"
                                             // A double click on the row opens it too.
                                             "click 60 9 double\n"
                                             "wait-window ROOT\n"
                                             "close ROOT\n"
                                             "wait-no-window ROOT\n"
                                             // The last window: the program ends.
                                             "close amp\n",
                                             {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"),
              (std::vector<std::string>{"windows: amp", "windows: ROOT | amp", "windows: amp"}))
        << result.errors;
}

// A right-click on the top-level row shows its popup; its second item opens the sheet.
TEST(ProjectWindow, TheRowsPopupOpensItsSheet) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const ScriptedRunResult result = run.Run("wait-window amp\n"
                                             "wait-drawn amp\n"
                                             "popup 1\n"
                                             "click 60 9 right\n"
                                             "wait-window ROOT\n"
                                             "log-windows\n"
                                             "close ROOT\n"
                                             "wait-no-window ROOT\n"
                                             "close amp\n",
                                             {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: ROOT | amp"})) << result.errors;
}

#endif

}  // namespace
}  // namespace plexa::test
