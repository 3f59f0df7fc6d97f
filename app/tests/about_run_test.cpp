// The About box of the running program: chosen from the application menu, it shows the program's
// name, version, build date and icon beside the maker's logo, and a key or a click ends it; it
// opens no web address. The run also leaves its preferences file behind.

// GCC 12, optimising, reports std::regex's own std::function members as maybe uninitialised (its
// known false positive inside the library); nothing of this file's is concerned.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <regex>
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
        "log-texts About Plexa\n"
        "key Escape\n"
        "wait-no-window About Plexa\n"
        "log closed by a key\n"
        "menu Plexa > About Plexa\n"
        "wait-drawn About Plexa\n"
        "click 200 60\n"
        "wait-no-window About Plexa\n"
        "log closed by a click\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows: About Plexa | Untitled").size(), 1u) << result.errors;
    EXPECT_EQ(result.Lines("closed by a key").size(), 1u);
    EXPECT_EQ(result.Lines("closed by a click").size(), 1u);
    // The name, the version and the day the program was built ("Dec 10 2026").
    const std::vector<std::string> texts = result.Lines("text ");
    ASSERT_EQ(texts.size(), 4u) << result.errors;
    EXPECT_EQ(texts[0], "text Orvix Plexa");
    EXPECT_TRUE(std::regex_match(texts[1], std::regex("text Version [0-9.]+  for Linux"))) << texts[1];
    EXPECT_TRUE(std::regex_match(texts[2], std::regex("text Built [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}"))) << texts[2];
    EXPECT_EQ(texts[3], "text Schematic capture for electronic design.");
    // Nothing leads to a web address.
    EXPECT_TRUE(result.Lines("open-url ").empty());
    std::string png;
    ASSERT_TRUE(ReadFile(shot, png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // The quit wrote the preferences of the run's own configuration folder.
    EXPECT_EQ(FolderNames(run.dir().file("config/plexa")), std::vector<std::string>{"Plexa 6.0 Preferences"});
}

#endif

}  // namespace
}  // namespace plexa::test
