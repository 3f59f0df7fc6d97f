// Search and replace and the sheet settings in the running editor. A designator search over the
// two-sheet project amp (ROOT.SHX with V1, R1, R2, and two instances of RC.SHX) visits the
// project's sheets in tree order and each instance of RC.SHX in turn, then beeps and starts over;
// Change All with one impossible change of a symbol applies the rest and reports both, and the
// count, as rows of the project's log window, from which a double click goes to the symbol; the
// sheet settings rename the signals of the old prefix after the question is answered, and made
// the defaults they hold for the next new sheet. Every dialog is photographed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/attributes.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

constexpr const char* kAmp = "tools/tests/fixtures/amp";

// The rows of the symbols tab (window coordinates of the search dialog): find and replacement
// fields of row n at y = 84 + 30 n.
std::string Field(int32_t x, int32_t row, const std::string& text) {
    return "click " + std::to_string(x) + " " + std::to_string(84 + 30 * row) + "\ntype " + text + "\n";
}
std::string Find(int32_t row, const std::string& text) { return Field(340, row, text); }
std::string Replace(int32_t row, const std::string& text) { return Field(480, row, text); }

TEST(SearchRun, ADesignatorSearchVisitsTheSheetsAndInstancesInOrder) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const ScriptedRunResult result = run.Run(
        "wait-window amp\n"
        "menu Tools > Find...\n"
        "wait-window Find and Change\n"
        "wait-drawn Find and Change\n" +
            Find(0, "R") + "screenshot " + OutputPath("search-symbols.png") + " Find and Change\n" +
            "button Find\n"
            "wait-window ROOT\n"
            "log-windows\n"
            "menu Tools > Find Next\n"
            "log-windows\n"
            "menu Tools > Find Next\n"
            "log-windows\n"
            "menu Tools > Find Next\n"
            "log-windows\n"
            "screenshot " + OutputPath("search-hit-instance.png") + " RC\n"
            // No more hits: a beep, nothing moves; then it starts over at ROOT.
            "menu Tools > Find Next\n"
            "log-windows\n"
            "menu Tools > Find Next\n"
            "log-windows\n"
            "menu Tools > Find...\n"
            "wait-window Find and Change\n"
            "click 118 21\n"
            "screenshot " + OutputPath("search-signals.png") + " Find and Change\n"
            "click 176 21\n"
            "screenshot " + OutputPath("search-texts.png") + " Find and Change\n"
            "close Find and Change\n"
            "quit\n",
        {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"),
              (std::vector<std::string>{"windows: ROOT | amp", "windows: ROOT | amp", "windows: RC | ROOT | amp",
                                        "windows: RC | ROOT | amp", "windows: RC | ROOT | amp",
                                        "windows: ROOT | RC | amp"}))
        << result.errors;
}

class SheetSettingsRun : public SheetContentsTest {};
using ChangeAllRun = SheetSettingsRun;
using FrontSheetSearchRun = SheetSettingsRun;

// ROOT.SHX of amp opened alone: the dialog searches the sheet that was in front when it came up.
// Its front-sheet scope is on, and Find selects the first symbol whose designator holds "R"
// (R1, serial 2) in that sheet.
TEST_F(FrontSheetSearchRun, FindFromTheDialogSelectsTheSymbolOfTheFrontSheet) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string copy = folder + "/found.SHX";
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "menu Tools > Find...\n"
        "wait-window Find and Change\n"
        "wait-drawn Find and Change\n" +
            Find(0, "R") + "screenshot " + OutputPath("search-front-sheet.png") + " Find and Change\n" +
            "button Find\n"
            "wait-no-window Find and Change\n"
            "log-windows\n"
            "panel " + copy + "\n"
            "menu File > Save a Copy...\n"
            "quit\n",
        {"ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: ROOT"})) << result.errors;
    SheetRecord* found = Load(copy);
    ASSERT_NE(found, nullptr);
    std::vector<std::string> selected;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(found->symbolList)); symbol; symbol = symbol->next)
        if (symbol->flags & kSymbolFlagSelected) selected.push_back(std::to_string(symbol->serial));
    EXPECT_EQ(selected, (std::vector<std::string>{"2"})) << DumpSheet(found, kDumpSymbols);
}

// A name chosen from an attribute row's names menu is the attribute the row looks for: the
// signals tab's first attribute row takes "Rating" (signal names, item 1) and the symbols tab's
// first one "Value" (component names, item 7); Change All then gives R1 a "Value".
TEST_F(ChangeAllRun, ANameChosenFromTheNamesMenuFillsTheAttributeRow) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string copy = folder + "/named.SHX";
    const ScriptedRunResult result = run.Run(
        "wait-window amp\n"
        "menu Tools > Find...\n"
        "wait-window Find and Change\n"
        "wait-drawn Find and Change\n"
        "click 118 21\n"
        "popup 1\n"
        "click 144 107\n"
        "pause 300\n"
        "screenshot " + OutputPath("search-signals-named.png") + " Find and Change\n"
        "click 50 21\n" +
            Find(0, "R1") + "popup 7\n" + "click 144 197\n" + Replace(4, "10k") +
            "pause 300\n"
            "screenshot " + OutputPath("search-symbols-named.png") + " Find and Change\n" +
            "button Change All\n"
            "wait-window amp.PRX Messages\n"
            "wait-no-window Find and Change\n"
            "close amp.PRX Messages\n"
            "wait-no-window amp.PRX Messages\n"
            "panel " + copy + "\n"
            "menu File > Save a Copy...\n"
            "quit\n"
            "button Don't Save\n",
        {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    SheetRecord* changed = Load(copy);
    ASSERT_NE(changed, nullptr);
    char value[1024] = {};
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(changed->symbolList)); symbol; symbol = symbol->next)
        if (symbol->serial == 2) (void)GetSymbolAttribute(symbol, changed->stringBlock, "Value", value);
    EXPECT_STREQ(value, "10k") << DumpSheet(changed, kDumpSymbols);
}

TEST_F(ChangeAllRun, ChangeAllAppliesWhatItCanAndReportsTheImpossibleChange) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string copy = folder + "/changed.SHX";
    // R1 gets the attribute Tol = 5%; its part name cannot become NOPE.
    const ScriptedRunResult result = run.Run(
        "wait-window amp\n"
        "menu Tools > Find...\n"
        "wait-window Find and Change\n" +
            Find(0, "R1") + Replace(1, "NOPE") + Field(85, 4, "Tol") + Replace(4, "5%") +
            "screenshot " + OutputPath("search-change-all.png") + " Find and Change\n" +
            "button Change All\n"
            "wait-window amp.PRX Messages\n"
            "wait-drawn amp.PRX Messages\n"
            "wait-no-window Find and Change\n"
            "log-windows\n"
            "screenshot-screen " + OutputPath("search-change-all-log.png") + "\n"
            // A double click on the row of the change made (the second) goes to R1 in its sheet.
            "click 100 48 double\n"
            "wait-drawn ROOT\n"
            "log-windows\n"
            "panel " + copy + "\n"
            "menu File > Save a Copy...\n"
            "quit\n"
            "button Don't Save\n",
        {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: amp.PRX Messages | ROOT | amp",
                                                                  "windows: ROOT | amp.PRX Messages | amp"}))
        << result.errors;
    SheetRecord* changed = Load(copy);
    ASSERT_NE(changed, nullptr);
    const std::string dump = DumpSheet(changed, kDumpSymbols);
    // R1 (serial 2, selected as the last hit) has the new attribute; R2 is as it was.
    EXPECT_NE(dump.find("serial 2 at (150,100) flags 0x01080000 map 0 component C1 package 0 symbol 0 name 0 "
                        "attributes 2"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("serial 3 at (250,100) flags 0x00080000 map 0 component C1 package 0 symbol 0 name 0 "
                        "attributes 1"),
              std::string::npos)
        << dump;
}

// Attributes typed on the attributes tab and then cancelled, by the Cancel button or by Escape,
// leave the sheet as it was; the second time the dialog opens on that tab again. Leaving the
// tab and coming back (twice, with a change between) shows the editor once, with the rows typed
// before. Confirmed with OK, what was typed is the sheet's.
TEST_F(SheetSettingsRun, CancellingOnTheAttributesTabLeavesTheSheetAsItWas) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string copy = folder + "/cancelled.SHX", confirmed = folder + "/confirmed.SHX";
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "menu Edit > Sheet Settings...\n"
        "wait-window ROOT Settings\n"
        "wait-drawn ROOT Settings\n"
        "click 195 19\n"
        "click 110 65\n"
        "type Added\n"
        "key Tab\n"
        "type x\n"
        "click 272 19\n"
        "click 195 19\n"
        "click 300 65\n"
        "type yz\n"
        "click 272 19\n"
        "click 195 19\n"
        "pause 300\n"
        "screenshot " + OutputPath("sheet-settings-attributes-again.png") + " ROOT Settings\n"
        "button Cancel\n"
        "wait-no-window ROOT Settings\n"
        "menu Edit > Sheet Settings...\n"
        "wait-window ROOT Settings\n"
        "wait-drawn ROOT Settings\n"
        "screenshot " + OutputPath("sheet-settings-reopened.png") + " ROOT Settings\n"
        "key Escape\n"
        "wait-no-window ROOT Settings\n"
        "log-windows\n"
        "panel " + copy + "\n"
        "menu File > Save a Copy...\n"
        // Typed and confirmed, an attribute is the sheet's.
        "menu Edit > Sheet Settings...\n"
        "wait-window ROOT Settings\n"
        "click 110 65\n"
        "type Kept\n"
        "key Tab\n"
        "type v\n"
        "button OK\n"
        "wait-no-window ROOT Settings\n"
        "log-windows\n"
        "panel " + confirmed + "\n"
        "menu File > Save a Copy...\n"
        "quit\n"
        "button Don't Save\n",
        {"ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: ROOT", "windows: ROOT"})) << result.errors;
    SheetRecord* before = Load(folder + "/ROOT.SHX");
    SheetRecord* after = Load(copy);
    SheetRecord* kept = Load(confirmed);
    ASSERT_NE(before, nullptr);
    ASSERT_NE(after, nullptr);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(DumpSheet(after, kDumpSheet), DumpSheet(before, kDumpSheet));
    EXPECT_EQ(DumpSheet(kept, kDumpSheet), DumpSheet(before, kDumpSheet) + "  attribute \"Kept\" = \"v\"\n");
}

// A sheet attribute whose name begins with "~" is not shown on the attributes tab; an attribute
// typed there and confirmed joins the sheet's list without taking it away.
TEST_F(SheetSettingsRun, ConfirmingTheAttributesTabKeepsTheAttributesItDoesNotShow) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    {
        SheetRecord* sheet = Load(folder + "/ROOT.SHX");
        ASSERT_NE(sheet, nullptr);
        if (!sheet->attributes) sheet->attributes = AllocHandle(gGenPool, 0);
        int16_t count = int16_t(sheet->stored.attributeCount);
        const uint16_t flags = 0;
        SetAttributeValue(sheet->stringBlock, sheet->attributes, 0, &count, "~Hidden", "kept", &flags);
        sheet->stored.attributeCount = uint16_t(count);
        const FileSpec to = SheetSpecAt(folder + "/ROOT.SHX");
        ASSERT_EQ(WriteSheetFile(sheet, &to), 0);
    }
    const std::string confirmed = folder + "/confirmed.SHX";
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\nwait-drawn ROOT\n"
        "menu Edit > Sheet Settings...\nwait-window ROOT Settings\nwait-drawn ROOT Settings\n"
        "click 195 19\nclick 110 65\ntype Kept\nkey Tab\ntype v\n"
        "button OK\nwait-no-window ROOT Settings\n"
        "panel " + confirmed + "\nmenu File > Save a Copy...\nquit\nbutton Don't Save\n",
        {"ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    SheetRecord* before = Load(folder + "/ROOT.SHX");
    SheetRecord* kept = Load(confirmed);
    ASSERT_NE(before, nullptr);
    ASSERT_NE(kept, nullptr);
    const std::string dump = DumpSheet(before, kDumpSheet);
    ASSERT_NE(dump.find("\"~Hidden\" = \"kept\""), std::string::npos) << dump;
    EXPECT_EQ(DumpSheet(kept, kDumpSheet), dump + "  attribute \"Kept\" = \"v\"\n");
}

TEST_F(SheetSettingsRun, ThePrefixIsRenamedAfterTheQuestionAndMadeTheDefaultOfTheNextSheet) {
    SignalHandle a = Draw({P(0, 0), P(60, 0)});
    SetSignalName(a, drawing->stringBlock, "SIG012");
    SignalHandle b = Draw({P(0, 60), P(60, 60)});
    SetSignalName(b, drawing->stringBlock, "CLK");
    const std::string at = dir.path() + "/Nets.SHX";
    const FileSpec to = SheetSpecAt(at);
    ASSERT_EQ(WriteSheetFile(drawing, &to), 0);
    const std::string renamed = dir.path() + "/renamed.SHX", fresh = dir.path() + "/fresh.SHX";

    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Nets\n"
        "wait-drawn Nets\n"
        "menu Edit > Sheet Settings...\n"
        "wait-window Nets Settings\n"
        "wait-drawn Nets Settings\n"
        "screenshot " + OutputPath("sheet-settings-page.png") + " Nets Settings\n"
        "click 272 19\n"
        "screenshot " + OutputPath("sheet-settings-printing.png") + " Nets Settings\n"
        // The styles tab: row 0's size from its menu (14 point).
        "click 108 19\n"
        "screenshot " + OutputPath("sheet-settings-styles.png") + " Nets Settings\n"
        "popup 5\n"
        "click 313 76\n"
        "screenshot " + OutputPath("sheet-settings-styles-changed.png") + " Nets Settings\n"
        "click 195 19\n"
        "screenshot " + OutputPath("sheet-settings-attributes.png") + " Nets Settings\n"
        // The naming tab selects the prefix; Tab goes on to the digits.
        "click 343 19\n"
        "type NET\n"
        "key Tab\n"
        "type 4\n"
        "click 20 416\n"
        "screenshot " + OutputPath("sheet-settings-naming.png") + " Nets Settings\n"
        "button OK\n"
        "wait-window Rename Signals\n"
        "wait-drawn Rename Signals\n"
        "screenshot " + OutputPath("sheet-settings-rename.png") + " Rename Signals\n"
        "button OK\n"
        "wait-no-window Rename Signals\n"
        "panel " + renamed + "\n"
        "menu File > Save a Copy...\n"
        "menu File > New > Schematic Sheet\n"
        "wait-window Untitled*\n"
        "panel " + fresh + "\n"
        "menu File > Save a Copy...\n"
        "quit\n"
        "button Don't Save\n"
        "button Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    SheetRecord* after = Load(renamed);
    ASSERT_NE(after, nullptr);
    const std::string dump = DumpSheet(after, kDumpSignals | kDumpSheet);
    EXPECT_NE(dump.find("\"NET0012\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\"CLK\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("prefix \"NET\" digits 4"), std::string::npos) << dump;
    SheetRecord* next = Load(fresh);
    ASSERT_NE(next, nullptr);
    EXPECT_NE(DumpSheet(next, kDumpSheet).find("prefix \"NET\" digits 4"), std::string::npos)
        << DumpSheet(next, kDumpSheet);
}

#endif

}  // namespace
}  // namespace plexa::test
