// The Preferences dialog on the running editor: every tab edited and then cancelled leaves the
// preferences file as a run without the dialog leaves it; the same edits confirmed change it. A
// shortcut chosen again selects its row instead of adding a second one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/prefsdialog.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

TEST(PrefsShortcuts, AShortcutAlreadyInTheGroupSelectsItsRow) {
    ShortcutGroup group = {{"GND", "Wire Symbols"}, {"+5V", "Wire Symbols"}};
    const std::vector<int32_t> rows =
        AddShortcutRows(group, {{"+5V", "Wire Symbols"}, {"+5V", "Other Symbols"}, {"VCC", "Wire Symbols"}});
    EXPECT_EQ(rows, (std::vector<int32_t>{1, 2, 3}));
    ASSERT_EQ(group.size(), 4u);
    EXPECT_EQ(group[2].library, "Other Symbols");
    EXPECT_EQ(AddShortcutRows(group, {{"GND", "Wire Symbols"}}), std::vector<int32_t>{0});
    EXPECT_EQ(group.size(), 4u);
}

#ifdef PLEXA_PROGRAM

constexpr const char* kPrefsFile = "config/plexa/Plexa 6.0 Preferences";

// Opens the dialog, changes the general options, a property-name list and the fonts offered,
// shows every tab (a screenshot of each) and ends with the button.
std::string EditEveryTab(const std::string& end, bool pictures) {
    auto shot = [&](const char* name) {
        return pictures ? "screenshot " + OutputPath(std::string("prefs-") + name + ".png") + "\n" : std::string();
    };
    return "wait-window Untitled 1\nwait-drawn Untitled 1\n"
           "menu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n"
           "button Tool tips\n" + shot("general") +
           "click 140 17\nclick 160 371\ntype Tolerance\nbutton Add\n" + shot("names") +
           "click 243 17\nbutton Module Ports\n" + shot("shortcuts") +
           "click 312 17\nbutton Uncheck All\n" + shot("fonts") +
           "click 372 17\n" + shot("colors") +
           "click 512 17\n" + shot("scripts") +
           "click 441 17\n" + shot("libraries") +
           "button " + end + "\nwait-no-window Preferences\nquit\n";
}

std::string PrefsAfter(const std::string& script) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script);
    EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::string bytes;
    ReadFile(run.dir().file(kPrefsFile), bytes);
    return bytes;
}

TEST(PrefsDialog, CancelAfterEditingEveryTabChangesNothingAndOKChangesIt) {
    const std::string plain = PrefsAfter("wait-window Untitled 1\nwait-drawn Untitled 1\nquit\n");
    const std::string cancelled = PrefsAfter(EditEveryTab("Cancel", true));
    const std::string confirmed = PrefsAfter(EditEveryTab("OK", false));
    // Compared as booleans: the files are binary.
    EXPECT_TRUE(cancelled == plain);
    EXPECT_FALSE(confirmed == plain);
    // What was confirmed is in the file: the new property name.
    EXPECT_NE(confirmed.find("Tolerance"), std::string::npos);
    EXPECT_EQ(plain.find("Tolerance"), std::string::npos);
}

#endif

}  // namespace
}  // namespace plexa::test
