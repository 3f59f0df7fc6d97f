// The custom value dialog behind "Zoom Percent...", the text size "Other size..." and the grid
// "Other...": each asked through the running program; a number out of range keeps OK off, says
// which numbers are taken and Return leaves the dialog open; the answer takes effect.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/customvalue.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

TEST(CustomValue, OnlyWholeNumbersInRangeAreTaken) {
    const struct {
        const char* text;
        int32_t answer;
    } cases[] = {{"250", 250}, {" 12 ", 12}, {"1", 1}, {"1250", 1250}, {"1251", -1}, {"0", -1},
                 {"", -1},     {"  ", -1},   {"-5", -1}, {"2.5", -1}, {"12a", -1}, {"99999999999999", -1}};
    for (const auto& c : cases) EXPECT_EQ(ParseCustomValue(c.text, 1250), c.answer) << '"' << c.text << '"';
}

#ifdef PLEXA_PROGRAM

// The field holds the starting value selected: typing replaces it; the refused number stays
// after a Return ("still asking" follows the dialog's windows and texts), and is taken back key
// by key.
std::string Ask(const std::string& title, const std::string& value, const std::string& picture) {
    return "wait-window " + title + "\nwait-drawn " + title + "\n"
           "type 5000\nkey Return\nwait-drawn " + title + "\nlog-windows\nlog-texts " + title + "\nlog still asking\n"
           "screenshot " + OutputPath(picture + "-refused.png") + " " + title + "\n"
           "key Backspace\nkey Backspace\nkey Backspace\nkey Backspace\ntype " + value + "\nscreenshot " + OutputPath(picture + ".png") + " " + title + "\n"
           "button OK\nwait-no-window " + title + "\n";
}

// What the log says between the list of windows that comes before a refused number's texts and
// "still asking".
std::vector<std::string> Refused(const ScriptedRunResult& result) {
    std::vector<std::string> lines;
    bool in = false;
    for (const std::string& line : result.log) {
        if (line.rfind("windows: ", 0) == 0) in = true;
        if (!in) continue;
        if (line == "still asking") {
            lines.push_back(line);
            in = false;
        } else if (line.rfind("windows: ", 0) == 0 || line.rfind("text Enter", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(CustomValueRun, ZoomPercentAndOtherTextSize) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\nwait-drawn Untitled 1\n"
        "menu View > Zoom Percent...\n" + Ask("Zoom Percent", "1250", "custom-zoom") +
        "log-menu View\n"
        "menu Text > Size > Other size...\n" + Ask("Other Font Size", "20", "custom-text-size") +
        "log-menu Text\n"
        "quit\nbutton Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    const auto has = [&](const std::string& line) {
        for (const std::string& l : result.log)
            if (l == line) return true;
        return false;
    };
    EXPECT_EQ(Refused(result), (std::vector<std::string>{
                                   "windows: Zoom Percent | Untitled 1", "text Enter a whole number from 1 to 1250.",
                                   "still asking", "windows: Other Font Size | Untitled 1",
                                   "text Enter a whole number from 1 to 200.", "still asking"}))
        << result.errors;
    // At the largest scale there is no zooming in.
    EXPECT_TRUE(has("  Zoom In\tdisabled")) << result.errors;
    EXPECT_TRUE(has("  Zoom Out\tenabled"));
    // A size none of the listed ones: "Other size..." is the one checked.
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
    EXPECT_EQ(Refused(result), (std::vector<std::string>{"windows: Other Grid Size | Basic Parts : +5V | Basic Parts",
                                                          "text Enter a whole number from 1 to 1000.",
                                                          "still asking"}))
        << result.errors;
    bool checked = false;
    for (const std::string& l : result.log) checked = checked || l == "  Other...\tenabled\tchecked";
    EXPECT_TRUE(checked) << result.errors;
}

#endif

}  // namespace
}  // namespace plexa::test
