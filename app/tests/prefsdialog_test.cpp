// The Preferences dialog on the running editor: every tab edited and then cancelled leaves the
// preferences file as a run without the dialog leaves it; the same edits confirmed change it. A
// shortcut chosen again selects its row instead of adding a second one (in-process and through
// the program).
#include <gtest/gtest.h>

#include <sys/stat.h>

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

// Adds the resistor of the basic parts to the shortcut group on show through the parts dialog.
std::string AddShortcut(const std::string& what) {
    return "log add " + what + "\nbutton Add Items...\nwait-window Choose Shortcut Target\n"
           "wait-drawn Choose Shortcut Target\nclick 230 240\nbutton OK\nwait-no-window Choose Shortcut Target\n";
}

// Opens the dialog and edits every tab: a general option, a property-name list, the components
// shortcut group (a part added from the parts dialog), the fonts offered, a colour from its
// pop-up button, the order of the report scripts and the removal of one, a library folder added.
// A screenshot of each tab; the run ends with the button.
std::string EditEveryTab(const std::string& end, bool pictures, const std::string& folder) {
    auto shot = [&](const char* name) {
        return pictures ? "screenshot " + OutputPath(std::string("prefs-") + name + ".png") + " Preferences\n"
                        : std::string();
    };
    return "wait-window Untitled 1\nwait-drawn Untitled 1\n"
           "menu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n"
           "button Tool tips\n" + shot("general") +
           "click 140 17\nclick 160 371\ntype Tolerance\nbutton Add\n" + shot("names") +
           "click 243 17\nbutton Components\n" + AddShortcut("Resistor") +
           "button Module Ports\nclick 100 78\nbutton Down\n" + shot("shortcuts") +
           "click 312 17\nbutton Uncheck All\n" + shot("fonts") +
           // The graphics colour: red, the fourth colour.
           "click 372 17\npopup 3\nclick 261 91\n" + shot("colors") +
           "click 512 17\nclick 100 46\nbutton Down\nclick 100 76\nbutton Remove\n" + shot("scripts") +
           "click 441 17\npanel " + folder + "\nbutton Add Folder...\n" + shot("libraries") +
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
    // A folder of its own that no run mentions otherwise.
    TempDir scratch;
    const std::string folder = scratch.file("Extra Parts");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string cancelled = PrefsAfter(EditEveryTab("Cancel", true, folder));
    const std::string confirmed = PrefsAfter(EditEveryTab("OK", false, folder));
    // Compared as booleans: the files are binary.
    EXPECT_TRUE(cancelled == plain);
    EXPECT_FALSE(confirmed == plain);
    // What was confirmed is in the file: the new property name and the new shortcut.
    EXPECT_NE(confirmed.find("Tolerance"), std::string::npos);
    EXPECT_EQ(plain.find("Tolerance"), std::string::npos);
    EXPECT_NE(confirmed.find("Resistor"), std::string::npos);
    EXPECT_EQ(plain.find("Resistor"), std::string::npos);
    EXPECT_NE(confirmed.find("Extra Parts"), std::string::npos);
}

// The preferences file after the dialog's steps and OK.
std::string Confirmed(const std::string& steps) {
    return PrefsAfter("wait-window Untitled 1\nwait-drawn Untitled 1\n"
                      "menu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n" + steps +
                      "button OK\nwait-no-window Preferences\nquit\n");
}

// A check box clicked by its title changes the option: confirmed, the file differs from one
// confirmed without the click.
TEST(PrefsDialog, ACheckBoxClickedByItsTitleChangesTheOption) {
    const std::string unchanged = Confirmed("");
    const std::string ticked = Confirmed("button Tool tips\n");
    EXPECT_FALSE(unchanged.empty());
    EXPECT_FALSE(ticked == unchanged);
}

// A colour chosen from its pop-up button: the graphics colour becomes red (0x01FF0000) beside
// the pins' black (0x07000000) in the stored record, in either byte order.
TEST(PrefsDialog, AColourChosenFromItsPopUpButtonIsStored) {
    const auto holds = [](const std::string& bytes, std::initializer_list<unsigned char> sequence) {
        return bytes.find(std::string(sequence.begin(), sequence.end())) != std::string::npos;
    };
    const auto redThenBlack = [&](const std::string& bytes) {
        return holds(bytes, {0x00, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x07}) ||
               holds(bytes, {0x01, 0xFF, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00});
    };
    const std::string unchanged = Confirmed("");
    const std::string red = Confirmed("click 372 17\npopup 3\nclick 261 91\n"
                                      "screenshot " + OutputPath("prefs-colors-red.png") + " Preferences\n");
    EXPECT_FALSE(redThenBlack(unchanged));
    EXPECT_TRUE(redThenBlack(red));
}

// The part chosen a second time selects the row it has already: removing the selection then
// leaves the group empty (a second row would have kept the part in the file).
TEST(PrefsDialog, AShortcutChosenAgainSelectsItsRow) {
    const std::string bytes = PrefsAfter(
        "wait-window Untitled 1\nwait-drawn Untitled 1\n"
        "menu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n"
        "click 243 17\nbutton Components\n" + AddShortcut("Resistor") + AddShortcut("Resistor again") +
        "screenshot " + OutputPath("prefs-shortcut-again.png") + " Preferences\n"
        "button Remove\nbutton OK\nwait-no-window Preferences\nquit\n");
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.find("Resistor"), std::string::npos);
}

#endif

}  // namespace
}  // namespace plexa::test
