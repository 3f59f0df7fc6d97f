// Wires drawn in the running editor with the wire tool: moves and clicks from one pin to another,
// the legs between them in either order (Tab turns the order), a wire given up with Escape, and
// the middle segment of a wire dragged aside; and a text typed where the text tool clicked.
// Each sheet is saved as a copy and its dump compared with the expected text.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/tests/two_gates_testing.h"
#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/graphics_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SheetWiresRun : public SheetContentsTest {
protected:
    // Two gates placed as port symbols (their pins connect with no component behind them): A's
    // output pin ends at (192,132), B's upper input pin at (360,240).
    // With corners, a wire from A's pin through them to B's pin joins the gates.
    std::string WriteTwoGates(const std::vector<Point>& wire = {}) {
        const std::array<SymbolRecord*, 2> gates = PlaceTwoPortGates(driver.get(), drawing);
        EXPECT_NE(gates[1], nullptr);
        if (!wire.empty()) {
            driver->AddPin(P(192, 132), gates[0], 2);
            driver->AddPin(P(360, 240), gates[1], 0);
            Draw(wire);
        }
        const std::string at = WriteSheetAtScale("Wires.SHX", 100);
        return at;
    }
    // Runs the steps on the sheet, saves a copy and returns the copy's signals and wires.
    std::string RunAndDump(const std::string& sheet, const std::string& steps, const std::string& picture,
                           uint32_t parts = kDumpSignals) {
        const std::string copy = dir.path() + "/copy.SHX";
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result = run.Run("wait-window Wires\nwait-drawn Wires\n" + steps + "screenshot " +
                                                     OutputPath(picture) + "\npanel " + copy +
                                                     "\nmenu File > Save a Copy...\nclose Wires\nbutton Don't Save\n",
                                                 {sheet});
        EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        SheetRecord* saved = Load(copy);
        return saved ? DumpSheet(saved, parts) : "";
    }
};

// The pad's point (h, v) in the window's content at 100 %: the sheet pane lies right of the tool
// palette and below the tool bar.
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 38); }

TEST_F(SheetWiresRun, FromPinToPinThroughTwoLegsInEitherOrder) {
    const std::string sheet = WriteTwoGates();
    // A click on A's pin starts the wire; over B's pin the legs run across first, or with Tab
    // (the mouse staying put) down first; a click there ends the wire on B's pin.
    const std::string start = "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(300, 200) +
                              "\nmove " + At(360, 240) + "\n";
    const std::string finish = "click " + At(360, 240) + "\n";
    const std::string across = RunAndDump(sheet, start + finish, "sheet-wire-two-legs.png");
    const std::string down = RunAndDump(sheet, start + "key Tab\n" + finish, "sheet-wire-two-legs-turned.png");
    const std::string signal = "signals 1\n"
                               "  S1 \"SIG001\" flags 0x0001 bounds (192,132)-(361,241)\n"
                               "    pin 0: serial 1 node 2 flags 0x02\n"
                               "    pin 1: serial 2 node 0 flags 0x02\n";
    EXPECT_EQ(across, signal + "    W1 pin 0 - pin 1: (192,132) (360,132) (360,240)\n");
    EXPECT_EQ(down, signal + "    W1 pin 0 - pin 1: (192,132) (192,240) (360,240)\n");
}

// The two pins one net already, by name with no wire between them: the wire drawn from one to
// the other joins that net rather than making a second one that holds the same pins.
TEST_F(SheetWiresRun, AWireBetweenPinsOfOneNetJoinsIt) {
    SignalHandle net = CreateSignal(drawing->signalList);
    ASSERT_NE(net, nullptr);
    SetSignalName(net, drawing->stringBlock, "GND");
    const std::string sheet = WriteTwoGates();
    ASSERT_GE(AddPinToSignal(net, RetrieveSerializedSymbol(drawing->symbolList, 1), 2), 0);
    ASSERT_GE(AddPinToSignal(net, RetrieveSerializedSymbol(drawing->symbolList, 2), 0), 0);
    const std::string held = WriteSheetAtScale("Wires.SHX", 100);
    SheetRecord* written = Load(held);
    ASSERT_NE(written, nullptr);
    ASSERT_EQ(DumpSheet(written, kDumpSignals), "signals 1\n"
                                                "  S1 \"GND\" bounds empty\n"
                                                "    pin 0: serial 1 node 2 flags 0x02\n"
                                                "    pin 1: serial 2 node 0 flags 0x02\n");
    EXPECT_EQ(RunAndDump(held,
                         "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(300, 200) +
                             "\nmove " + At(360, 240) + "\nclick " + At(360, 240) + "\n",
                         "sheet-wire-joins-its-net.png"),
              "signals 1\n"
              "  S1 \"GND\" flags 0x0001 bounds (192,132)-(361,241)\n"
              "    pin 0: serial 1 node 2 flags 0x02\n"
              "    pin 1: serial 2 node 0 flags 0x02\n"
              "    W1 pin 0 - pin 1: (192,132) (360,132) (360,240)\n");
}

// A ground symbol chosen in the library pane: with the library-part tool a click on A's pin starts
// a wire and a click below on empty sheet places the ground there, its pin ending the wire, which
// takes the ground's name (shown under the ground, Shift being held). A ground placed by a click on empty sheet starts a wire from its pin;
// given up there (Escape), or ended by choosing another tool, the wire has no length and goes,
// but the ground placed stays: a part placed is never lost.
TEST_F(SheetWiresRun, TheLibraryPartToolWithAGroundPlacesItAtTheWiresEnd) {
    const std::string sheet = WriteTwoGates();
    const std::string gates = "symbols 2\n"
                              "  #1 serial 1 at (126,117) flags 0x00080200 map 0\n"
                              "  #2 serial 2 at (360,232) flags 0x00080200 map 0\n";
    // The top tool bar opened shows the library pane (its item list at 470 29, typing chooses)
    // and moves the sheet pane 73 down.
    auto below = [](int h, int v) { return At(h, v + 73); };
    const std::string ground = "click 16 17\nclick 470 29\ntype GND\nclick 18 190\n";
    EXPECT_EQ(RunAndDump(sheet,
                         ground + "move " + below(192, 132) + "\nclick " + below(192, 132) + "\nmove " +
                             below(192, 204) + "\nclick " + below(192, 204) + " Shift\n",
                         "sheet-ground-placed.png", kDumpSignals | kDumpSymbols | kDumpTexts),
              "symbols 3\n"
              "  #1 serial 1 at (126,117) flags 0x00080200 map 0\n"
              "  #2 serial 2 at (360,232) flags 0x00080200 map 0\n"
              "  #3 serial 3 at (192,204) flags 0x00080200 map 1 library \"Basic Parts.LBX\"\n"
              "signals 1\n"
              "  S1 \"GND\" flags 0x0001 bounds (192,132)-(193,205)\n"
              "    pin 0: serial 1 node 2 flags 0x02\n"
              "    pin 1: serial 3 node 0 flags 0x02\n"
              "    W1 pin 0 - pin 1: (192,132) (192,204)\n"
              "texts 1\n"
              "  T1 kind 0x0015 owner serial 3 flags 0x0020 at (180,237) \"GND\"\n");
    const std::string kept = "symbols 3\n" + gates.substr(gates.find('\n') + 1) + "  #3 serial 3 at (300,396) flags 0x00080200 map 1 library \"Basic Parts.LBX\"\n";
    const std::string started = ground + "move " + below(300, 396) + "\nclick " + below(300, 396) + "\nmove " +
                                below(300, 444) + "\n";
    EXPECT_EQ(RunAndDump(sheet, started + "screenshot " + OutputPath("sheet-ground-started.png") + "\nkey Escape\n",
                         "sheet-ground-given-up.png", kDumpSignals | kDumpSymbols | kDumpTexts),
              kept);
    EXPECT_EQ(RunAndDump(sheet, started + "key w\n", "sheet-ground-other-tool.png",
                         kDumpSignals | kDumpSymbols | kDumpTexts),
              kept);
}

TEST_F(SheetWiresRun, EscapeAfterOneClickLeavesTheSheetAsItWas) {
    const std::string sheet = WriteTwoGates();
    const std::string before = DumpSheet(drawing, kDumpSignals | kDumpSymbols);
    // After Escape a click on empty sheet starts nothing.
    EXPECT_EQ(RunAndDump(sheet, "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(300, 200) +
                                    "\nkey Escape\nmove " + At(420, 300) + "\nclick " + At(420, 300) + "\n",
                         "sheet-wire-escaped.png", kDumpSignals | kDumpSymbols),
              before);
}

// The middle segment of a wire running across, down and across again goes sideways only, its
// neighbours stretching; a drag with the select tool takes it 48 right (and 24 down, ignored).
TEST_F(SheetWiresRun, TheMiddleOfAnAcrossDownAcrossWireMovesSidewaysOnly) {
    const std::string sheet = WriteTwoGates({P(192, 132), P(276, 132), P(276, 240), P(360, 240)});
    const std::string moved = RunAndDump(sheet, "drag " + At(276, 186) + " " + At(324, 210) + "\n",
                                         "sheet-wire-middle-dragged.png");
    EXPECT_NE(moved.find("W1 pin 0 - pin 1: (192,132) (324,132) (324,240) (360,240)\n"), std::string::npos) << moved;
    // Undone, the wire is as it was.
    const std::string undone = RunAndDump(sheet, "drag " + At(276, 186) + " " + At(324, 210) + "\nmenu Edit > Undo Wire Change\n",
                                          "sheet-wire-middle-undone.png");
    EXPECT_EQ(undone, DumpSheet(drawing, kDumpSignals));
}

// A click a few pixels beside a wire (above or below a segment running across, left or right of
// one running down) selects it: the wire is drawn in the highlight colour, and Delete takes it
// away with its net (the gates, port symbols, are no component's pins).
TEST_F(SheetWiresRun, AClickBesideAWireSelectsIt) {
    const std::string sheet = WriteTwoGates({P(192, 132), P(276, 132), P(276, 240), P(360, 240)});
    ASSERT_NE(DumpSheet(drawing, kDumpSignals), "");
    const struct {
        const char* side;
        int h, v;
    } clicks[] = {{"above", 234, 129}, {"below", 234, 135}, {"left", 273, 186}, {"right", 279, 186},
                  {"two-above", 318, 238}, {"two-below", 318, 242}};
    for (const auto& c : clicks) {
        const std::string shot = OutputPath(std::string("sheet-wire-clicked-") + c.side + ".png");
        const std::string dump = RunAndDump(sheet, "click " + At(c.h, c.v) + "\nscreenshot " + shot + "\nkey Delete\n",
                                            std::string("sheet-wire-clicked-") + c.side + "-deleted.png");
        EXPECT_EQ(dump, "") << c.side;
        // The selected wire is drawn in the highlight colour, magenta, along its whole length.
        const int magenta = CountPicturePixels(shot, [](uint32_t r, uint32_t g, uint32_t b) {
            return r > 200 && g < 80 && b > 200;
        });
        EXPECT_GT(magenta, 84 + 108 + 84 - 10) << c.side;
    }
}

// A click with the text tool starts a text frame where the click was (its first line's box a
// little inside the click).
TEST_F(SheetWiresRun, ATextTypedWhereTheTextToolClicked) {
    const std::string sheet = WriteTwoGates();
    const std::string dump = RunAndDump(sheet, "key t\nclick " + At(300, 360) + "\ntype hello\nkey Escape\n",
                                        "sheet-text-typed.png", kDumpFrames);
    EXPECT_EQ(dump, "frames 1\n  F1 at (301,362) flags 0x0020 lines 1 \"hello\"\n");
}

// Once a dialog with an editable list (the sheet settings' attributes, a row typed into) has
// been open, Shift+Right still extends the selection of a text being typed: the two characters
// selected from the caret are replaced by the next one typed.
TEST_F(SheetWiresRun, ShiftRightExtendsATextsSelectionAfterAnEditableListWasOpen) {
    const std::string sheet = WriteTwoGates();
    const std::string dump =
        RunAndDump(sheet,
                   "menu Edit > Sheet Settings...\nwait-window Wires Settings\nwait-drawn Wires Settings\n"
                   "click 195 19\nclick 110 65\ntype Kept\nkey Tab\ntype v\nbutton Cancel\n"
                   "wait-no-window Wires Settings\n"
                   "key t\nclick " + At(300, 360) + "\ntype abc\nkey Left\nkey Left\nkey Left\n"
                   "key Shift+Right\nkey Shift+Right\ntype X\nkey Escape\n",
                   "sheet-text-shift-right.png", kDumpFrames);
    EXPECT_EQ(dump, "frames 1\n  F1 at (301,362) flags 0x0020 lines 1 \"Xc\"\n");
}

#endif

}  // namespace
}  // namespace plexa::test
