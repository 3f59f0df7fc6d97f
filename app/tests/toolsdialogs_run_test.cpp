// Tools > Update Parts... and Tools > Update Signal Names... in the running program: each opens its
// dialog, whose opening state follows the front window, and OK does the work.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// amp.PRX: the top-level sheet ROOT.SHX, whose parts are drawn from the sheet's own symbols.
constexpr const char* kAmp = "tools/tests/fixtures/amp";

// From the root sheet with nothing selected, the dialog offers this sheet (the selected symbols
// disabled) and is cancelled; from the project window it offers every sheet of the project (no
// tree row is selected) and, confirmed, finds no symbol taken from a library: it says so. With a
// row of the tree selected it offers the project's selected sheets.
TEST(UpdatePartsRun, TheDialogFollowsTheFrontWindowAndSaysWhenNothingNeededUpdating) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string fromSheet = OutputPath("update-parts-sheet.png");
    const std::string fromProject = OutputPath("update-parts-project.png");
    const std::string message = OutputPath("update-parts-nothing.png");
    const std::string fromRows = OutputPath("update-parts-selected-sheets.png");
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "key Ctrl+U\n"  // the command's shortcut
        "wait-window Update Parts\n"
        "wait-drawn Update Parts\n"
        "screenshot " + fromSheet + " Update Parts\n"
        "button Cancel\n"
        "wait-no-window Update Parts\n"
        "menu Window > amp\n"
        "wait-drawn amp\n"
        "log-windows\n"
        "log-menu Tools\n"
        "menu Tools > Update Parts...\n"
        "wait-window Update Parts\n"
        "wait-drawn Update Parts\n"
        "screenshot " + fromProject + " Update Parts\n"
        "button Update\n"
        "wait-no-window Update Parts\n"
        "wait-window Plexa\n"
        "wait-drawn Plexa\n"
        "screenshot-screen " + message + "\n"
        "log-windows\n"
        "button OK\n"
        "wait-no-window Plexa\n"
        // With the tree's row selected, the project's selected sheets are offered first.
        "click 60 48\n"  // the first row, below the header pane
        "menu Tools > Update Parts...\n"
        "wait-window Update Parts\n"
        "wait-drawn Update Parts\n"
        "screenshot " + fromRows + " Update Parts\n"
        "button Update\n"
        "wait-window Plexa\n"
        "button OK\n"
        "wait-no-window Plexa\n"
        "close amp\n"
        "close ROOT\n",
        {"amp.PRX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows:"),
              (std::vector<std::string>{"windows: amp | ROOT", "windows: Plexa | amp | ROOT"}));
    std::string bytes;
    for (const std::string& picture : {fromSheet, fromProject, message, fromRows})
        EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000) << picture;
    // From the project window both project commands are on.
    bool signalNames = false, parts = false;
    for (const std::string& line : result.log) {
        signalNames = signalNames || line == "  Update Signal Names...\tenabled";
        parts = parts || line == "  Update Parts...\tenabled";
    }
    EXPECT_TRUE(signalNames && parts);
}

using UpdateSignalNamesRun = SheetContentsTest;

// A resistor placed on the root sheet and its two pins joined by a wire make a net with a default
// name (SIG001); Update Signal Names with "Resequence Names" from 7 over the project renames it
// SIG007 and leaves the named nets as they are.
TEST_F(UpdateSignalNamesRun, ResequenceNamesRenumbersTheDefaultNamesFromTheFirstNumber) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string picture = OutputPath("update-signal-names.png");
    const std::string before = folder + "/before.SHX", after = folder + "/after.SHX";
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "click 16 18\n"  // the library pane, its first library's resistor
        "wait-drawn ROOT\n"
        "click 470 29\n"
        "type Res\n"
        "click 18 190\n"  // the library-part tool
        "click 500 280\n"
        "click 18 221\n"  // the wire tool: pin 1 round below to pin 2
        "click 484 278\n"
        "click 484 330\n"
        "click 529 330\n"
        "click 529 278 double\n"
        "click 18 128\n"
        "panel " + before + "\n"
        "menu File > Save a Copy...\n"
        "menu Tools > Update Signal Names...\n"
        "wait-window Update Signal Names\n"
        "wait-drawn Update Signal Names\n"
        "click 260 26\n"  // the operation: the second entry
        "key Down\n"
        "key Return\n"
        "click 180 90 double\n"  // the first number
        "type 7\n"
        "click 30 126\n"  // no descent into sub-sheets: the hierarchy choices are disabled
        "wait-drawn Update Signal Names\n"
        "screenshot " + picture + " Update Signal Names\n"
        "button OK\n"
        "wait-no-window Update Signal Names\n"
        "panel " + after + "\n"
        "menu File > Save a Copy...\n"
        "close ROOT\n"
        "button Don't Save\n"
        "close amp\n"
        "button Don't Save\n",
        {"amp.PRX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
    SheetRecord* first = Load(before);
    SheetRecord* second = Load(after);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::string names = DumpSheet(first, kDumpSignals), renamed = DumpSheet(second, kDumpSignals);
    EXPECT_NE(names.find("\"SIG001\""), std::string::npos) << names;
    EXPECT_EQ(renamed.find("\"SIG001\""), std::string::npos) << renamed;
    EXPECT_NE(renamed.find("\"SIG007\""), std::string::npos) << renamed;
    for (const char* kept : {"\"GND\"", "\"A\"", "\"VIN\""}) EXPECT_NE(renamed.find(kept), std::string::npos) << kept;
}

#endif

}  // namespace
}  // namespace plexa::test
