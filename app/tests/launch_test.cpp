// The editor started as a person starts it, with documents on its command line, under the
// offscreen platform: the windows it shows, and each menu of a sheet window's menu bar open, in
// pictures under <build>/test-output/ for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

std::string CopyAmp(const TempDir& dir) {
    const std::string folder = dir.file("amp");
    EXPECT_EQ(std::system(("cp -r '" + SourcePath("tools/tests/fixtures/amp") + "' '" + folder + "'").c_str()), 0);
    return folder;
}

TEST(Launch, EveryMenuOfASheetWindowOpen) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = CopyAmp(run.dir());
    const std::string prefix = OutputPath("launch-sheet-menu-");
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\nwait-drawn ROOT\nlog-menubar\nscreenshot-menus " + prefix + "\nquit\n",
        {"ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    ASSERT_EQ(result.Lines("menubar: ").size(), 1u);
    std::vector<std::string> expected;
    std::string titles = result.Lines("menubar: ")[0].substr(9);
    for (size_t at = 0; at <= titles.size();) {
        const size_t space = titles.find(' ', at);
        const std::string title = titles.substr(at, space - at);
        expected.push_back("screenshot " + prefix + title + ".png");
        if (space == std::string::npos) break;
        at = space + 1;
    }
    EXPECT_GE(expected.size(), 3u);
    EXPECT_EQ(result.Lines("screenshot "), expected);
    for (const std::string& line : expected) {
        std::string png;
        ASSERT_TRUE(ReadFile(line.substr(11), png)) << line;
        EXPECT_EQ(png.substr(1, 3), "PNG");
    }
}

#endif

}  // namespace
}  // namespace plexa::test
