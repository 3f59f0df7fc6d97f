// The program as a person on a Linux desktop meets it, driven through scripted runs: every
// document window carries the menu bar, its menus open from the keyboard (F10, Alt with the
// menu's letter), closing the last document window quits, and windows fit the screen at any
// device pixel ratio.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(Desktop, TheWindowCarriesTheMenuBarAndItsMenusOpenFromTheKeyboard) {
    ScriptedRun run(PLEXA_PROGRAM);
    run.SetEnvironment("PLEXA_TEST_SCRIPT_LIMIT=60");
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled*\n"
        "wait-drawn\n"
        "log-menubar\n"
        "key F10\n"
        "log-open-menu\n"
        "key Escape\n"
        "key Escape\n"
        "log-open-menu\n"
        "key Alt+E\n"
        "log-open-menu\n"
        "key Escape\n"
        "key Escape\n"
        "key Alt+F\n"
        "log-open-menu\n"
        "key Escape\n"
        "key Escape\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    ASSERT_FALSE(result.log.empty());
    EXPECT_EQ(result.log[0].rfind("menubar: Plexa File Edit", 0), 0u) << result.log[0];
    const std::vector<std::string> rest(result.log.begin() + 1, result.log.end());
    const std::vector<std::string> expected = {"open menu Plexa", "open menu none",
                                               "open menu Edit", "open menu File", "end"};
    EXPECT_EQ(rest, expected) << result.errors;
}

// Closing the last document window quits: a program left running without a window would have no
// menu to quit from, and every later start would hand its documents to it.
TEST(Desktop, ClosingTheLastDocumentWindowQuits) {
    ScriptedRun run(PLEXA_PROGRAM);
    run.SetEnvironment("PLEXA_TEST_SCRIPT_LIMIT=60");
    const ScriptedRunResult result = run.Run("wait-window Untitled*\nwait-drawn\nclose\n");
    EXPECT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.log, std::vector<std::string>{"end"});
}

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// "geometry X Y W H in X Y W H ratio R"
bool ParseGeometry(const std::string& line, Box& frame, Box& area, double& ratio) {
    std::istringstream in(line);
    std::string word, in2, ratioWord;
    in >> word >> frame.x >> frame.y >> frame.w >> frame.h >> in2 >> area.x >> area.y >> area.w >>
        area.h >> ratioWord >> ratio;
    return !in.fail() && word == "geometry" && in2 == "in" && ratioWord == "ratio";
}

// Screens of the offscreen platform: a small one, and others whose device pixel ratio (the
// screen's own, or a scale factor asked for) leaves a small area in the window system's units.
TEST(Desktop, WindowsFitTheScreenAtAnyPixelRatio) {
    struct Case {
        int width, height;
        int dpr;
        const char* scale;
        double ratio;  // what the screen then reports
    };
    const Case cases[] = {
        {1024, 600, 1, "1", 1.0},
        {1920, 1080, 1, "2", 2.0},
        {1280, 800, 2, "1", 2.0},
        {1920, 1200, 1, "1.5", 1.5},
    };
    for (const Case& c : cases) {
        ScriptedRun run(PLEXA_PROGRAM);
        const std::string config = run.dir().file("screens.json");
        ASSERT_TRUE(WriteFile(config, "{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, "
                                      "\"width\": " + std::to_string(c.width) +
                                          ", \"height\": " + std::to_string(c.height) +
                                          ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, "
                                          "\"dpr\": " + std::to_string(c.dpr) + "}]}\n"));
        run.SetEnvironment("QT_QPA_PLATFORM=offscreen:configfile=" + config);
        run.SetEnvironment("PLEXA_TEST_SCRIPT_LIMIT=60");
        run.SetEnvironment(std::string("QT_SCALE_FACTOR=") + c.scale);
        const ScriptedRunResult result =
            run.Run("wait-window Untitled*\nwait-drawn\nlog-geometry\nquit\n");
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 " scale " + c.scale;
        ASSERT_TRUE(result.Exited(0)) << what << result.errors;
        ASSERT_EQ(result.Lines("geometry ").size(), 1u) << what;
        Box frame, area;
        double ratio = 0;
        ASSERT_TRUE(ParseGeometry(result.Lines("geometry ")[0], frame, area, ratio))
            << result.Lines("geometry ")[0];
        EXPECT_DOUBLE_EQ(ratio, c.ratio) << what;
        EXPECT_GE(frame.x, area.x) << what;
        EXPECT_GE(frame.y, area.y) << what;
        EXPECT_LE(frame.x + frame.w, area.x + area.w) << what;
        EXPECT_LE(frame.y + frame.h, area.y + area.h) << what;
        EXPECT_GT(frame.w, 0);
        EXPECT_GT(frame.h, 0);
    }
}

#endif

}  // namespace
}  // namespace plexa::test
