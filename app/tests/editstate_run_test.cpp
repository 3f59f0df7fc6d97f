// Each sheet window keeps its own working state in the running editor: with two sheets open, a
// wire is started in one, a search is run in the other while the wire waits, and each then goes
// on where it was: the wire ends on the pin it was drawn to in its own sheet, and Find Next finds
// the next designator of the searched sheet. Both sheets are saved as copies and checked through
// their dumps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/two_gates_testing.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/ll.h"
#include "model/sheetdump.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class EditStateRun : public SheetContentsTest {};

// The pad's point (h, v) in the window's content at 100 %: the sheet pane lies right of the tool
// palette and below the tool bar.
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 38); }

std::vector<uint32_t> SelectedSerials(SheetRecord* sheet) {
    std::vector<uint32_t> serials;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next)
        if (symbol->flags & kSymbolFlagSelected) serials.push_back(symbol->serial);
    return serials;
}

TEST_F(EditStateRun, AWireInOneSheetAndASearchInAnotherEachGoOnWhereTheyWere) {
    // Wires.SHX: A's output pin at (192,132), B's upper input at (360,240).
    ASSERT_NE(PlaceTwoPortGates(driver.get(), drawing)[1], nullptr);
    const std::string wires = WriteSheetAtScale("Wires.SHX", 100);

    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string wiresCopy = folder + "/wires-copy.SHX", rootCopy = folder + "/root-copy.SHX";
    const std::string find = "click 340 84\ntype R\n";  // the designator row's find field
    const ScriptedRunResult result = run.Run(
        "wait-window Wires\nwait-window ROOT\n"
        // The wire starts at A's pin in Wires and has a leg proposed towards B.
        "menu Window > Wires\nwait-drawn Wires\n"
        "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(300, 200) + "\n" +
        // ROOT is searched for designators holding "R": R1 is found.
        "menu Window > ROOT\nwait-drawn ROOT\n"
        "menu Tools > Find...\nwait-window Find and Change\nwait-drawn Find and Change\n" + find +
        "button Find\nwait-no-window Find and Change\n"
        "log-windows\n"
        // Back in Wires the wire goes on from where it was and ends on B's pin.
        "menu Window > Wires\nwait-drawn Wires\n"
        "move " + At(360, 240) + "\nclick " + At(360, 240) + "\n"
        "screenshot " + OutputPath("editstate-wire-finished.png") + " Wires\n"
        // Back in ROOT the search goes on after R1.
        "menu Window > ROOT\nwait-drawn ROOT\n"
        "menu Tools > Find Next\n"
        "screenshot " + OutputPath("editstate-search-next.png") + " ROOT\n"
        "panel " + rootCopy + "\nmenu-in ROOT | File > Save a Copy...\n"
        "panel " + wiresCopy + "\nmenu-in Wires | File > Save a Copy...\n"
        "quit\n"
        "button Don't Save\n",
        {wires, "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: ROOT | Wires"})) << result.errors;

    SheetRecord* wired = Load(wiresCopy);
    ASSERT_NE(wired, nullptr);
    EXPECT_EQ(DumpSheet(wired, kDumpSignals), "signals 1\n"
                                              "  S1 \"SIG001\" flags 0x0001 bounds (192,132)-(361,241)\n"
                                              "    pin 0: serial 1 node 2 flags 0x02\n"
                                              "    pin 1: serial 2 node 0 flags 0x02\n"
                                              "    W1 pin 0 - pin 1: (192,132) (360,132) (360,240)\n");
    EXPECT_EQ(SelectedSerials(wired), std::vector<uint32_t>{});

    SheetRecord* searched = Load(rootCopy);
    ASSERT_NE(searched, nullptr);
    EXPECT_EQ(SelectedSerials(searched), std::vector<uint32_t>{3}) << DumpSheet(searched, kDumpSymbols);
    EXPECT_EQ(DumpSheet(searched, kDumpSignals), DumpSheet(Load(folder + "/ROOT.SHX"), kDumpSignals))
        << "the wire drawn in Wires left ROOT as it was";
}

// The item that a resize handle resizes is its sheet's: a frame selected in one sheet keeps its
// handle while a click in another sheet clears that sheet's handles, and dragging the handle back
// in the first sheet widens the frame, which then breaks into fewer lines.
TEST_F(EditStateRun, AFramesResizeHandleStaysWithItsSheetWhileAnotherSheetClearsItsOwn) {
    TextFrameHandle made = CreateTextFrame("one two three four five six seven eight", -1, kEncodingUTF8);
    ASSERT_NE(made, nullptr);
    (*made)->position = {100, 100};
    (*made)->style = drawing->currentTextStyle;
    CalcTextFrameLineBreaks(nullptr, made, 60);
    LLPush(drawing->textFrameList, made);
    const std::string frames = WriteSheetAtScale("Frames.SHX", 100);
    const std::string other = WriteSheetAtScale("Other.SHX", 100);
    SheetRecord* before = Load(frames);
    ASSERT_NE(before, nullptr);
    auto* frame = static_cast<TextFrameHandle>(LLFirst(before->textFrameList));
    ASSERT_NE(frame, nullptr);
    CalcTextFrameBounds(nullptr, frame, false, -1);
    const Rect bounds = (*frame)->bounds;
    const uint16_t lines = (*frame)->lineCount;
    ASSERT_GT(lines, 1) << "the frame wraps";
    Point corner{};
    GetTextFrameSizePoint(frame, &corner);
    const int16_t insideH = int16_t(bounds.left + 4), insideV = int16_t((bounds.top + bounds.bottom) / 2);

    ScriptedRun run(PLEXA_PROGRAM);
    const std::string copy = dir.path() + "/frames-copy.SHX";
    const ScriptedRunResult result = run.Run(
        "wait-window Frames\nwait-window Other\n"
        // The frame is selected in Frames: its resize handle is up.
        "menu Window > Frames\nwait-drawn Frames\n"
        "click " + At(insideH, insideV) + "\n"
        // A click on an empty place of Other clears Other's handles.
        "menu Window > Other\nwait-drawn Other\n"
        "click " + At(500, 400) + "\n"
        // Back in Frames the handle still resizes the frame.
        "menu Window > Frames\nwait-drawn Frames\n"
        "drag " + At(corner.h, corner.v) + " " + At(corner.h + 80, corner.v) + "\n"
        "screenshot " + OutputPath("editstate-frame-resized.png") + " Frames\n"
        "panel " + copy + "\nmenu-in Frames | File > Save a Copy...\n"
        "quit\n"
        "button Don't Save\n",
        {frames, other}, dir.path());
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;

    SheetRecord* resized = Load(copy);
    ASSERT_NE(resized, nullptr);
    auto* after = static_cast<TextFrameHandle>(LLFirst(resized->textFrameList));
    ASSERT_NE(after, nullptr);
    EXPECT_LT((*after)->lineCount, lines) << "the handle widened the frame";
}

#endif

}  // namespace
}  // namespace plexa::test
