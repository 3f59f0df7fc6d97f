// The Preferences dialog on the running editor: every tab edited and then cancelled leaves the
// preferences file as a run without the dialog leaves it; the same edits confirmed change it. A
// shortcut chosen again selects its row instead of adding a second one (in-process and through
// the program). Property names are typed, renamed and deleted in the rows of their list, and a
// script's target is chosen from its row.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/prefs.h"
#include "app/prefsdialog.h"
#include "app/root.h"
#include "model/sheet.h"
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

// The dialog opened from the application menu of a fresh editor.
const std::string kOpenPrefs =
    "wait-window Untitled 1\nwait-drawn Untitled 1\nmenu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n";
// The script of a run that opens the dialog, plays the steps and confirms.
std::string ConfirmedScript(const std::string& steps) {
    return kOpenPrefs + steps + "button OK\nwait-no-window Preferences\nquit\n";
}

// Adds the resistor of the basic parts to the shortcut group on show through the parts dialog.
std::string AddShortcut(const std::string& what) {
    return "log add " + what + "\nbutton Add Items...\nwait-window Choose Shortcut Target\n"
           "wait-drawn Choose Shortcut Target\nclick 230 240\nbutton OK\nwait-no-window Choose Shortcut Target\n";
}

// Opens the dialog and edits every tab: a general option, a property-name list, the components
// shortcut group (a part added from the parts dialog), the fonts offered, a colour from its
// well's menu, the order of the report scripts and the removal of one, a library folder added.
// A screenshot of each tab; the run ends with the button.
std::string EditEveryTab(const std::string& end, bool pictures, const std::string& folder) {
    auto shot = [&](const char* name) {
        return pictures ? "screenshot " + OutputPath(std::string("prefs-") + name + ".png") + " Preferences\n"
                        : std::string();
    };
    return kOpenPrefs + "button Tool tips\n" + shot("general") +
           "click 140 17\nkey End\ntype Tolerance\nkey Down\n" + shot("names") +
           "click 243 17\nbutton Components\n" + AddShortcut("Resistor") +
           "button Module Ports\nclick 100 95\nbutton Down\n" + shot("shortcuts") +
           "click 312 17\nbutton Uncheck All\n" + shot("fonts") +
           // The graphics colour: red, from the menu of its well's arrow.
           "click 372 17\nclick 279 93\nchoose Red\n" + shot("colors") +
           "click 512 17\nclick 100 63\nbutton Down\nclick 100 81\nbutton Remove\n" + shot("scripts") +
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
std::string Confirmed(const std::string& steps) { return PrefsAfter(ConfirmedScript(steps)); }

// A check box clicked by its title changes the option: confirmed, the file differs from one
// confirmed without the click.
TEST(PrefsDialog, ACheckBoxClickedByItsTitleChangesTheOption) {
    const std::string unchanged = Confirmed("");
    const std::string ticked = Confirmed("button Tool tips\n");
    EXPECT_FALSE(unchanged.empty());
    EXPECT_FALSE(ticked == unchanged);
}

// The colours tab: the Colors tab, the display popup, a colour's well and the arrow beside it (row
// 0 the graphics, 7 the highlight).
const std::string kColorsTab = "click 372 17\n";
std::string ColorArrow(int row) { return "click 279 " + std::to_string(93 + 30 * row) + "\n"; }
std::string ColorWell(int row) { return "click 224 " + std::to_string(94 + 30 * row) + "\n"; }
const std::string kMonochrome = "popup 0\nclick 261 53\n";

// Two colours next to each other in the stored record, in either byte order.
bool HoldsColors(const std::string& bytes, uint32_t first, uint32_t second) {
    std::string little, big;
    for (uint32_t c : {first, second})
        for (int i = 0; i < 4; ++i) {
            little += char((c >> (8 * i)) & 0xFF);
            big += char((c >> (8 * (3 - i))) & 0xFF);
        }
    return bytes.find(little) != std::string::npos || bytes.find(big) != std::string::npos;
}

// A colour chosen from the menu of its well's arrow: the graphics colour becomes red (0x01FF0000)
// beside the pins' black (0x07000000) in the stored record. The menu is shown open, with the
// well's colour (green) checked and its arrow pressed.
TEST(PrefsDialog, AColourChosenFromItsWellsMenuIsStored) {
    const std::string unchanged = Confirmed("");
    const std::string red = Confirmed(kColorsTab + "screenshot " + OutputPath("prefs-colors-color.png") +
                                      " Preferences\n" + ColorArrow(0) + "log-open-menu\nscreenshot-screen " +
                                      OutputPath("prefs-colors-menu.png") + "\nchoose Red\nscreenshot " +
                                      OutputPath("prefs-colors-red.png") + " Preferences\n");
    EXPECT_FALSE(HoldsColors(unchanged, 0x01FF0000, 0x07000000));
    EXPECT_TRUE(HoldsColors(red, 0x01FF0000, 0x07000000));
}

// A colour picked in the colour panel that a well's click opens is stored as it was picked; the
// panel closes when the tab is left.
TEST(PrefsDialog, AColourPickedInAWellsColourPanelIsStored) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(ConfirmedScript(
        kColorsTab + ColorWell(0) + "color-panel 00AA10\nlog-color-panel\nscreenshot " +
        OutputPath("prefs-colors-panel.png") + " Preferences\nclick 140 17\nlog-color-panel\n"));
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("color panel"), (std::vector<std::string>{"color panel open", "color panel closed"}));
    std::string bytes;
    ReadFile(run.dir().file(kPrefsFile), bytes);
    EXPECT_TRUE(HoldsColors(bytes, 0x0000AA10, 0x07000000));
}

// In monochrome the wells show black and white and only the highlight's arrow opens the menu:
// the graphics arrow leaves no menu open, the highlight becomes red (beside the yellow of the
// selection) and the graphics colour stays green.
TEST(PrefsDialog, InMonochromeOnlyTheHighlightsArrowOpensItsMenu) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(ConfirmedScript(
        kColorsTab + kMonochrome + "screenshot " + OutputPath("prefs-colors-monochrome.png") + " Preferences\n" +
        ColorArrow(0) + ColorArrow(3) + "log-open-menu\n" + ColorArrow(7) + "log-open-menu\nchoose Red\n"));
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("open menu"), (std::vector<std::string>{"open menu none", "open menu colors"}));
    std::string bytes;
    ReadFile(run.dir().file(kPrefsFile), bytes);
    EXPECT_TRUE(HoldsColors(bytes, 0x01FF0000, 0x06FFFF00));
    EXPECT_TRUE(HoldsColors(bytes, 0x02008000, 0x07000000));
}

// The property names are edited in their rows: a name typed into the empty row at the end is
// kept and a further empty row takes the next one; blanks and "~" typed into a name are refused;
// a name typed over is renamed, one emptied keeps its name, and a row selected left of its name
// is deleted by the deletion key.
TEST(PrefsDialog, PropertyNamesAreTypedRenamedAndDeletedInTheirRows) {
    ScriptedRun run(PLEXA_PROGRAM);
    // Row 2 is selected by a click left of its name.
    const ScriptedRunResult result = run.Run(ConfirmedScript(
        "click 140 17\nkey End\ntype Tol erance~\nkey Down\ntype Voltage\nkey Down\n"
        "key Home\ntype Summary\nkey Down\nkey Backspace\nkey Down\n"
        "click 30 132\nkey Backspace\n"
        "screenshot " + OutputPath("prefs-names-edited.png") + " Preferences\n"));
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The file read back as the program reads it.
    EnvScope config("XDG_CONFIG_HOME", run.dir().file("config"));
    ASSERT_EQ(StartCore("app_tests"), 0);
    InstallCoreHooks();
    EXPECT_EQ(LoadPreferences(), 0);
    const std::vector<std::string> names = gPropertyNamesTable[kComponentNames];
    DisposePreferences();
    EXPECT_EQ(InitSheetDefaults(), status::kNoErr);
    EXPECT_EQ(names, (std::vector<std::string>{"Summary", "Footprint", "PartNo", "QtyMultiplier", "Supplier",
                                               "UnitCost", "Value", "Tolerance", "Voltage"}));
}

// A script's target chosen from the pop-up arrow at the end of its row: "None" (the second item)
// changes the stored list.
TEST(PrefsDialog, AScriptTargetChosenFromItsRowsArrowIsStored) {
    const std::string unchanged = Confirmed("click 512 17\n");
    const std::string none = Confirmed("click 512 17\npopup 1\nclick 596 66\n"
                                       "screenshot " + OutputPath("prefs-script-target.png") + " Preferences\n");
    EXPECT_FALSE(unchanged.empty());
    EXPECT_FALSE(none == unchanged);
}

// The part chosen a second time selects the row it has already: removing the selection then
// leaves the group empty (a second row would have kept the part in the file).
TEST(PrefsDialog, AShortcutChosenAgainSelectsItsRow) {
    const std::string bytes = Confirmed("click 243 17\nbutton Components\n" + AddShortcut("Resistor") +
                                        AddShortcut("Resistor again") + "screenshot " +
                                        OutputPath("prefs-shortcut-again.png") + " Preferences\nbutton Remove\n");
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.find("Resistor"), std::string::npos);
}

#endif

}  // namespace
}  // namespace plexa::test
