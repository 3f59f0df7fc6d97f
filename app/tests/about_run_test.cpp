// The About box of the running program: chosen from the application menu, it shows the program's
// name, version and icon beside the maker's logo, and a key or a click ends it; its web site
// button ends it too and then opens the maker's web site (a scripted run logs the address instead
// of starting a browser). The run also leaves its preferences file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(AboutBox, OpensFromTheApplicationMenuAndEndsOnAKeyOrAClick) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string shot = OutputPath("about-box.png");
    std::remove(shot.c_str());
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled*\n"
        "wait-drawn\n"
        "menu Plexa > About Plexa\n"
        "wait-drawn About Plexa\n"
        "screenshot " + shot + " About Plexa\n"
        "log-windows\n"
        "key Escape\n"
        "wait-no-window About Plexa\n"
        "log closed by a key\n"
        "menu Plexa > About Plexa\n"
        "wait-drawn About Plexa\n"
        "click 200 60\n"
        "wait-no-window About Plexa\n"
        "log closed by a click\n"
        "menu Plexa > About Plexa\n"
        "wait-drawn About Plexa\n"
        "button plexa.example.org\n"
        "wait-no-window About Plexa\n"
        "log closed by the web site button\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows: About Plexa | Untitled").size(), 1u) << result.errors;
    EXPECT_EQ(result.Lines("closed by a key").size(), 1u);
    EXPECT_EQ(result.Lines("closed by a click").size(), 1u);
    // Only the web site button opens the site, once the box is gone.
    const auto at = [&](const std::string& line) {
        return std::find(result.log.begin(), result.log.end(), line) - result.log.begin();
    };
    EXPECT_EQ(result.Lines("open-url https://plexa.example.org/").size(), 1u);
    EXPECT_LT(at("closed by a click"), at("open-url https://plexa.example.org/"));
    EXPECT_LT(at("open-url https://plexa.example.org/"), at("closed by the web site button"));
    std::string png;
    ASSERT_TRUE(ReadFile(shot, png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // The quit wrote the preferences of the run's own configuration folder.
    EXPECT_EQ(FolderNames(run.dir().file("config/plexa")), std::vector<std::string>{"Plexa 6.0 Preferences"});
}

#endif

}  // namespace
}  // namespace plexa::test
