// A project named on the command line shows its window with the tree of its sheets; a row opens
// its sheet through File > Open Selection or a double click, and closing the project window, the last window,
// ends the program. A row's popup opens its sheet too.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// amp.PRX: the top-level sheet ROOT.SHX, which uses RC.SHX. The rows lie below the header pane
// (37 pixels and its divider): the first row's name at 60, 47.
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
                                             "click 60 47\n"
                                             "menu File > Open Selection\n"
                                             "wait-window ROOT\n"
                                             "wait-drawn ROOT\n"
                                             "log-windows\n"
                                             "close ROOT\n"
                                             "wait-no-window ROOT\n"
                                             "log-windows\n"
                                             // A double click on the row opens it too.
                                             "click 60 47 double\n"
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
                                             "click 60 47 right\n"
                                             "wait-window ROOT\n"
                                             "log-windows\n"
                                             "close ROOT\n"
                                             "wait-no-window ROOT\n"
                                             "close amp\n",
                                             {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: ROOT | amp"})) << result.errors;
}

// The header's four tool buttons, each clicked: the project settings open (their tab row shown
// whole), a sheet file chosen in the panel joins the top level and the project file, the
// hierarchy is made again with it, and the check reports on the project.
TEST(ProjectWindow, TheHeaderButtonsDoTheirCommands) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    ASSERT_EQ(std::system(("cp '" + folder + "/RC.SHX' '" + folder + "/EXTRA.SHX'").c_str()), 0);
    // Buttons 29 wide every 33 from x = 4, 4 above the pane's bottom: their middles.
    auto tool = [](int n) { return "click " + std::to_string(18 + 33 * n) + " 18\n"; };
    const ScriptedRunResult result = run.Run(
        "wait-window amp\nwait-drawn amp\n"
        "screenshot " + OutputPath("project-window-header.png") + " amp\n" +
        tool(0) +
        "wait-window amp Settings\nwait-drawn amp Settings\n"
        "screenshot " + OutputPath("project-settings.png") + " amp Settings\n"
        "log-windows\nbutton Cancel\nwait-no-window amp Settings\n"
        "panel " + folder + "/EXTRA.SHX\n" + tool(1) + tool(2) +
        "wait-drawn amp\nscreenshot " + OutputPath("project-window-added.png") + " amp\n"
        // The new second row opens its sheet.
        "click 60 66\nmenu File > Open Selection\nwait-window EXTRA\nlog-windows\nclose EXTRA\n"
        "wait-no-window EXTRA\n" + tool(3) +
        "wait-window Plexa\nscreenshot-screen " + OutputPath("project-check.png") + "\n"
        "log-windows\nbutton OK\nwait-no-window Plexa\nclose amp\n",
        {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"),
              (std::vector<std::string>{"windows: amp Settings | amp", "windows: EXTRA | amp", "windows: Plexa | amp"}));
    std::string project;
    ASSERT_TRUE(ReadFile(folder + "/amp.PRX", project));
    EXPECT_NE(project.find("EXTRA.SHX"), std::string::npos);
}

// Project windows made one after another stand each one step below and left of the one before,
// not over it; closed and opened again, a project's window goes back where it was.
TEST(ProjectWindow, NewWindowsAreStaggeredAndAWindowKeepsItsPlace) {
    ScriptedRun run(PLEXA_PROGRAM);
    std::string script = "wait-window Untitled 1\nwait-drawn Untitled 1\n";
    for (const char* name : {"First", "Second", "Third"})
        script += "panel " + run.dir().file(std::string(name) + ".PRX") + "\nmenu File > New > Project...\n" +
                  "wait-window " + name + " Settings\nbutton OK\nwait-window " + name + "\nwait-drawn " + name + "\n";
    script += "screenshot-screen " + OutputPath("project-windows-staggered.png") +
              "\nlog-geometry First\nlog-geometry Second\nlog-geometry Third\nclose Second\nwait-no-window Second\n"
              "quit\n";
    ScriptedRunResult result = run.Run(script);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    std::vector<std::pair<int, int>> places;
    for (const std::string& line : result.Lines("geometry ")) {
        int x = 0, y = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "geometry %d %d", &x, &y), 2) << line;
        places.emplace_back(x, y);
    }
    ASSERT_EQ(places.size(), 3u);
    for (size_t i = 1; i < places.size(); ++i) {
        EXPECT_EQ(places[i].first, places[i - 1].first - 24) << i;
        EXPECT_EQ(places[i].second, places[i - 1].second + 24) << i;
    }
    // The second project, opened alone, takes the place it was closed at.
    result = run.Run("wait-window Second\nwait-drawn Second\nlog-geometry Second\nquit\n",
                     {run.dir().file("Second.PRX")});
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    int x = 0, y = 0;
    ASSERT_EQ(result.Lines("geometry ").size(), 1u);
    ASSERT_EQ(std::sscanf(result.Lines("geometry ")[0].c_str(), "geometry %d %d", &x, &y), 2);
    EXPECT_EQ(std::make_pair(x, y), places[1]);
}

#endif

}  // namespace
}  // namespace plexa::test
