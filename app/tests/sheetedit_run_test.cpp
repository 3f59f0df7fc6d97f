// Editing a sheet in the running editor: the part chosen in the library pane follows the pointer
// as its image and turns with an arrow key before the click that places it; a bus segment beside
// a chamfer dragged with the chamfer kept at 45 degrees; the middle line of a bus deleted, the two
// pieces left each a bus of its own. Each sheet is saved as a copy and its dump compared.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/signals.h"
#include "model/sheetdump.h"
#include "model/texts.h"
#include "tests/support/graphics_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SheetEditRun : public SheetContentsTest {
protected:
    // Runs the steps on the sheet file, saves a copy and returns the copy's dump of the parts.
    std::string RunAndDump(const std::string& sheet, const std::string& steps, const std::string& picture,
                           uint32_t parts) {
        const std::string copy = dir.path() + "/copy.SHX";
        std::remove(copy.c_str());
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result =
            run.Run("wait-window Edit\nwait-drawn Edit\n" + steps + "screenshot " + OutputPath(picture) +
                        "\npanel " + copy + "\nmenu File > Save a Copy...\nclose Edit\nbutton Don't Save\n",
                    {sheet});
        EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        SheetRecord* saved = Load(copy);
        return saved ? DumpSheet(saved, parts) : "";
    }
    // A bus of the name whose wires have the corners (sheet h, v); wires that meet join there.
    BussHandle AddBuss(const char* name, const std::vector<std::vector<Point>>& wires) {
        BussHandle buss = CreateBuss(drawing->bussList);
        SetBussName(buss, drawing->stringBlock, name);
        for (size_t i = 0; i < wires.size(); ++i) {
            const uint16_t end0 = i > 0 ? kWireEndJunction : kWireEndFree;
            const uint16_t end1 = i + 1 < wires.size() ? kWireEndJunction : kWireEndFree;
            LLPush((*buss)->wires, MakeWire(wires[i], end0, end1, kWireFlagBuss));
        }
        CalcBussBounds(buss);
        return buss;
    }
};

// The window point of a sheet point (h, v) at 100 %: the sheet pane lies right of the tool palette
// and below the tool bar (73 lower with the library pane open).
std::string At(int h, int v, int below = 0) { return std::to_string(h + 38) + " " + std::to_string(v + 38 + below); }

// Drawn pixels (the symbol's image, in the graphics colour over the white sheet) in the square of
// the given half side around a window point of a screenshot.
PicturePixels DrawnAround(const std::string& shot, int x, int y, int half) {
    return FindPicturePixels(shot, [](uint32_t r, uint32_t g, uint32_t b) { return r + g + b < 600; }, x - half,
                             y - half, x + half, y + half);
}

// The Diode chosen in the library pane: its image follows the pointer, a Right arrow turns it a
// quarter before the click, and the part placed is turned so.
TEST_F(SheetEditRun, ThePartBeingPlacedFollowsThePointerAndTurnsWithAnArrowKey) {
    const std::string sheet = WriteSheetAtScale("Edit.SHX", 100);
    const std::string first = OutputPath("sheet-place-image-first.png");
    const std::string second = OutputPath("sheet-place-image-second.png");
    const std::string turned = OutputPath("sheet-place-image-turned.png");
    for (const std::string& shot : {first, second, turned}) std::remove(shot.c_str());
    const std::string dump = RunAndDump(sheet,
                                        "click 16 20\nwait-drawn Edit\nclick 440 94\n"
                                        "move " + At(200, 200, 73) + "\nscreenshot " + first + "\n" +
                                        "move " + At(400, 300, 73) + "\nscreenshot " + second + "\n" +
                                        "key Right\nscreenshot " + turned + "\n" +
                                        "click " + At(400, 300, 73) + "\n",
                                        "sheet-place-image-placed.png", kDumpSymbols);
    EXPECT_EQ(dump, "symbols 1\n"
                    "  #1 serial 1 at (396,300) transform 1 flags 0x00080000 map 0 library \"Basic Parts.LBX\" "
                    "component C1 package 0 symbol 0 name 0 attributes 4 designator \"D?\" slot 0\n");
    // The image lies at the pointer, and nowhere else.
    const int x1 = 200 + 38, y1 = 200 + 38 + 73, x2 = 400 + 38, y2 = 300 + 38 + 73;
    const PicturePixels atFirst = DrawnAround(first, x1, y1, 60);
    const PicturePixels atSecond = DrawnAround(second, x2, y2, 60);
    EXPECT_GT(atFirst.count, 20);
    EXPECT_EQ(DrawnAround(first, x2, y2, 60).count, 0);
    EXPECT_GT(atSecond.count, 20);
    EXPECT_EQ(DrawnAround(second, x1, y1, 60).count, 0);
    // The diode lies across before the turn and runs down after it.
    const PicturePixels atTurned = DrawnAround(turned, x2, y2, 60);
    ASSERT_GT(atTurned.count, 20);
    EXPECT_GT(atSecond.right - atSecond.left, atSecond.bottom - atSecond.top + 10);
    EXPECT_GT(atTurned.bottom - atTurned.top, atTurned.right - atTurned.left + 10);
}

// A bus running across, down 45 degrees and down again: its first segment dragged 48 down takes
// the chamfer along as it is, the segment beyond it shortening.
TEST_F(SheetEditRun, AChamferBesideADraggedBusSegmentStaysAt45Degrees) {
    AddBuss("D[0:3]", {{P(96, 96), P(192, 96), P(216, 120), P(216, 300)}});
    const std::string sheet = WriteSheetAtScale("Edit.SHX", 100);
    ASSERT_EQ(DumpSheet(drawing, kDumpBusses),
              "busses 1\n"
              "  B1 \"D[0:3]\" bounds (95,95)-(218,302)\n"
              "    W1 free - free flags 0x0002: (96,96) (192,96) (216,120) (216,300)\n");
    EXPECT_EQ(RunAndDump(sheet, "drag " + At(144, 96) + " " + At(144, 144) + "\n", "sheet-bus-chamfer-dragged.png",
                         kDumpBusses),
              "busses 1\n"
              "  B1 \"D[0:3]\" bounds (95,143)-(218,302)\n"
              "    W1 free - free flags 0x0002: (216,300) (216,168) (192,144) (96,144)\n");
}

// The middle of three bus lines deleted: the two left are busses of their own, each with its label.
TEST_F(SheetEditRun, APartlyDeletedBusIsDumpedAsTwoBusses) {
    BussHandle buss = AddBuss("A[0:1]", {{P(96, 96), P(192, 96)}, {P(192, 96), P(288, 96)}, {P(288, 96), P(384, 96)}});
    for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w)) {
        if (WireCorners(w)[0].h == 192) continue;
        ASSERT_NE(CreateBussWireLabel(drawing, buss, w, 0, true), nullptr);
    }
    const std::string sheet = WriteSheetAtScale("Edit.SHX", 100);
    ASSERT_EQ(DumpSheet(drawing, kDumpBusses),
              "busses 1\n"
              "  B1 \"A[0:1]\" bounds (95,95)-(386,98)\n"
              "    W1 junction - free flags 0x0002: (288,96) (384,96)\n"
              "    W2 junction - junction flags 0x0002: (192,96) (288,96)\n"
              "    W3 free - junction flags 0x0002: (96,96) (192,96)\n"
              "    label T1 \"A[0:1]\" on W3 segment 0\n"
              "    label T2 \"A[0:1]\" on W1 segment 0\n");
    EXPECT_EQ(RunAndDump(sheet, "click " + At(240, 96) + "\nscreenshot " + OutputPath("sheet-bus-line-selected.png") +
                                    "\nkey Delete\n",
                         "sheet-bus-partly-deleted.png", kDumpBusses | kDumpTexts),
              "busses 2\n"
              "  B1 \"A[0:1]\" bounds (95,95)-(194,98)\n"
              "    W1 free - free flags 0x0002: (96,96) (192,96)\n"
              "    label T2 \"A[0:1]\" on W1 segment 0\n"
              "  B2 \"A[0:1]\" bounds (287,95)-(386,98)\n"
              "    W1 free - free flags 0x0002: (288,96) (384,96)\n"
              "    label T1 \"A[0:1]\" on W1 segment 0\n"
              "texts 2\n"
              "  T1 kind 0x0002 owner B2 flags 0x0020 at (317,94) \"A[0:1]\"\n"
              "  T2 kind 0x0002 owner B1 flags 0x0020 at (125,94) \"A[0:1]\"\n");
}

// Attributes copied in a signal's dialog pasted from the Edit menu while a wire of another signal
// is selected go onto that signal; the first keeps its own.
TEST_F(SheetEditRun, SignalAttributesPasteOntoTheSignalOfTheSelectedWire) {
    SignalHandle clock = Draw({P(100, 300), P(900, 300)});
    SetSignalName(clock, drawing->stringBlock, "CLK");
    (void)SetSignalAttribute(clock, drawing->stringBlock, "Rate", "10MHz");
    ASSERT_NE(CreateSignalWireLabel(drawing, clock, FirstWire((*clock)->wires), 0, false), nullptr);
    SignalHandle data = Draw({P(100, 420), P(900, 420)});
    SetSignalName(data, drawing->stringBlock, "DATA");
    const std::string sheet = WriteSheetAtScale("Edit.SHX", 100);
    const std::string dump = RunAndDump(sheet,
                                        "click 537 333 double\n"  // the clock's label
                                        "wait-window Signal Info\nwait-drawn Signal Info\n"
                                        "key Tab\n"       // from the name into the attributes
                                        "click 28 124\n"  // Rate's row, beside its names arrow
                                        "key Ctrl+C\n"
                                        "button Cancel\n"
                                        "wait-no-window Signal Info\n"
                                        "click " + At(500, 420) + "\n"  // the data wire
                                        "menu Edit > Paste\n",
                                        "sheet-signal-attributes-pasted.png", kDumpSignals);
    SheetRecord* saved = Load(dir.path() + "/copy.SHX");
    ASSERT_NE(saved, nullptr) << dump;
    int found = 0;
    for (void* n = LLFirst(saved->signalList); n; n = LLGetNext(saved->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        char value[kAttributeTextSize] = "";
        if (GetSignalAttribute(signal, saved->stringBlock, "Rate", value) & kAttributeAbsent) continue;
        EXPECT_STREQ(value, "10MHz");
        ++found;
    }
    EXPECT_EQ(found, 2) << dump;
}

#endif

}  // namespace
}  // namespace plexa::test
