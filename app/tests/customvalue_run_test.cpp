// The custom value dialog behind "Zoom Percent...", the text size "Other size..." and the grid
// "Other...": each asked through the running program; 0 in the field cannot be confirmed, a
// number above the maximum becomes the maximum as it is typed, and the answer takes effect.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The field holds the starting value selected: typing replaces it. With 0 in it neither Return
// nor a click on the OK button (at 280 94, greyed) ends the dialog ("still asking" follows the list
// of windows). Back in the field (at 70 55), the 0 erased leaves an empty field, which shows 0
// again, selected: `value` is typed over it and confirmed.
std::string Ask(const std::string& title, const std::string& value, const std::string& picture) {
    return "wait-window " + title + "\nwait-drawn " + title + "\n"
           "type 0\nscreenshot " + OutputPath(picture + "-zero.png") + " " + title + "\n"
           "key Return\nclick 280 94\npause 100\nlog-windows\nlog still asking\n"
           "click 70 55\nkey End\nkey Backspace\ntype " + value + "\nscreenshot " + OutputPath(picture + ".png") + " " + title + "\n"
           "button OK\nwait-no-window " + title + "\n";
}

// The windows listed just before "still asking" (the dialog in front of its document).
std::vector<std::string> StillAsking(const ScriptedRunResult& result) {
    std::vector<std::string> shown;
    for (size_t i = 1; i < result.log.size(); ++i)
        if (result.log[i] == "still asking") shown.push_back(result.log[i - 1]);
    return shown;
}

TEST(CustomValueRun, ZoomPercentAndOtherTextSize) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\nwait-drawn Untitled 1\n"
        "menu View > Zoom Percent...\n" + Ask("Zoom Percent", "5000", "custom-zoom") +
        "log-menu View\n"
        "menu Text > Size > Other size...\n" + Ask("Other Font Size", "5000", "custom-text-size") +
        "log-menu Text\n"
        "quit\nbutton Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    const auto has = [&](const std::string& line) {
        for (const std::string& l : result.log)
            if (l == line) return true;
        return false;
    };
    EXPECT_EQ(StillAsking(result), (std::vector<std::string>{"windows: Zoom Percent | Untitled 1",
                                                             "windows: Other Font Size | Untitled 1"}))
        << result.errors;
    // 5000 became 1250, the largest scale: there is no zooming in.
    EXPECT_TRUE(has("  Zoom In\tdisabled")) << result.errors;
    EXPECT_TRUE(has("  Zoom Out\tenabled"));
    // 5000 became 200, a size none of the listed ones: "Other size..." is the one checked.
    EXPECT_TRUE(has("    Other size...\tenabled\tchecked"));
}

TEST(CustomValueRun, OtherGridSizeInTheSymbolEditor) {
    // The shipped library of the build the program belongs to, copied.
    const std::string program = PLEXA_PROGRAM;
    const std::string build = program.substr(0, program.rfind('/', program.rfind('/') - 1));
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string library = run.dir().file("Basic Parts.LBX");
    std::string bytes;
    ASSERT_TRUE(ReadFile(build + "/resources/Essentials/Plexa/Libraries/Basic Parts.LBX", bytes));
    ASSERT_TRUE(WriteFile(library, bytes));
    const ScriptedRunResult result = run.Run(
        "wait-window Basic Parts\nwait-drawn Basic Parts\n"
        "click 52 9 double\nwait-window Basic Parts : *\nwait-drawn Basic Parts : *\n"
        "menu Grid > Other...\n" + Ask("Other Grid Size", "25", "custom-grid") +
        "log-menu Grid\nquit\n",
        {library});
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(StillAsking(result).size(), 1u) << result.errors;
    bool checked = false;
    for (const std::string& l : result.log) checked = checked || l == "  Other...\tenabled\tchecked";
    EXPECT_TRUE(checked) << result.errors;
}

#endif

}  // namespace
}  // namespace plexa::test
