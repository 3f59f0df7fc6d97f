// A sheet of every kind of item (component symbols, a port, a sheet symbol, wires with a
// junction and a label, a buss with a break-out, texts, text frames and elements) opened in the
// running editor and drawn at 100 % and at 25 %: pictures under <build>/test-output/ for a
// person to look at; and parts of the shipped library zoomed in.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "model/tests/gate_symbol.h"
#include "files/tests/sheetcontents_testing.h"
#include "tests/support/graphics_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SheetViewScreens : public SheetContentsTest {
protected:
    // Two gates drawn from the sheet's symbol map, named by free texts and joined by a wire.
    void AddGates() {
        const int32_t id = AddGateSymbolDefinition(drawing);
        ASSERT_GE(id, 0);
        for (int16_t i = 0; i < 2; ++i) {
            SymbolRecord* gate = driver->AddSymbol(uint32_t(40 + i));
            gate->mapId = id;
            gate->libraryName = kNoLibraryName;
            gate->position = P(int16_t(250 + 150 * i), 120);
            DrawingText(kTextKindFree, 0, P(int16_t(262 + 150 * i), 116), i ? "U4" : "U3", 10);
        }
        Draw({P(316, 135), P(400, 135), P(400, 128)});
    }

    // The rich sheet in a file whose window state asks for the scale.
    std::string WriteSheet(const std::string& name, uint16_t scale) { return WriteSheetAtScale(name, scale); }
};

TEST_F(SheetViewScreens, ARichSheetAtFullAndQuarterScale) {
    BuildRichSheet();
    AddGates();
    const std::string full = WriteSheet("Rich.SHX", 100);
    const std::string quarter = WriteSheet("Quarter.SHX", 25);
    const std::string fullPicture = OutputPath("sheetview-100.png");
    const std::string quarterPicture = OutputPath("sheetview-25.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Rich\n"
        "wait-drawn Rich\n"
        "screenshot " + fullPicture + " Rich\n"
        "wait-window Quarter\n"
        "wait-drawn Quarter\n"
        "screenshot " + quarterPicture + " Quarter\n"
        "log-windows\n"
        "close Quarter\n"
        "close Rich\n",
        {full, quarter});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::string bytes;
    EXPECT_TRUE(ReadFile(fullPicture, bytes) && bytes.size() > 1000);
    EXPECT_TRUE(ReadFile(quarterPicture, bytes) && bytes.size() > 1000);

    // The frame of several lines at (5, 260) keeps the breaks it was stored with: its first line
    // "one" reaches right of its first character, and nothing of it hangs below the filled
    // rectangle under it (one character a line would run far down the left edge).
    // Ink: any colour of the sheet (the frame's text is drawn in the text-frame colour).
    auto ink = [&](int left, int top, int right, int bottom) {
        return CountPicturePixels(
            fullPicture, [](uint32_t r, uint32_t g, uint32_t b) { return std::min({r, g, b}) < 128; }, left, top,
            right, bottom);
    };
    EXPECT_GT(ink(52, 300, 80, 330), 0);
    EXPECT_EQ(ink(40, 520, 60, 690), 0);
}

// A voltage source and a resistor placed from the shipped library, then the view zoomed in to
// 200 % from the View menu: both are drawn whole, twice as large as at 100 % (the ink of the
// two spans twice the width and height), and Redraw Window draws the same picture again.
TEST_F(SheetViewScreens, PartsZoomedInAreDrawnWhole) {
    const std::string full = OutputPath("sheetview-parts-100.png"), zoomed = OutputPath("sheetview-parts-200.png"),
                      redrawn = OutputPath("sheetview-parts-200-redrawn.png"),
                      further = OutputPath("sheetview-parts-400.png");
    // The untitled sheet's library pane is open: its item list takes the typed name, the
    // library part tool places the item where the sheet is clicked.
    const auto place = [](const char* name, int h, int v) {
        return std::string("click 470 45\ntype ") + name + "\nclick 18 190\nclick " + std::to_string(h) + " " +
               std::to_string(v) + "\n";
    };
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Untitled 1\n"
                                             "wait-drawn Untitled 1\n" +
                                             place("Voltage", 200, 300) + place("Resistor", 400, 300) +
                                             "click 18 128\n"
                                             "screenshot " + full + " Untitled 1\n"
                                             "menu View > Zoom In\n"
                                             "menu View > Zoom In\n"
                                             "screenshot " + zoomed + " Untitled 1\n"
                                             "menu View > Redraw Window\n"
                                             "screenshot " + redrawn + " Untitled 1\n"
                                             "menu View > Zoom In\n"
                                             "menu View > Zoom In\n"
                                             "screenshot " + further + " Untitled 1\n"
                                             "close Untitled 1\n"
                                             "button Don't Save\n",
                                             {});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The ink in the sheet pane (right of the tool palette, below the tool bar, inside the
    // scroll bars).
    const auto ink = [](const std::string& picture) {
        return FindPicturePixels(
            picture, [](uint32_t r, uint32_t g, uint32_t b) { return r < 160 && g < 160 && b < 160; }, 40, 135, 740,
            695);
    };
    const PicturePixels at100 = ink(full), at200 = ink(zoomed);
    ASSERT_GT(at100.count, 0);
    ASSERT_GT(at200.count, 0);
    const int width = at100.right - at100.left, height = at100.bottom - at100.top;
    EXPECT_GT(width, 150);  // the source at the left, the resistor at the right
    // The port markers at the pins' ends keep nearly their size.
    EXPECT_NEAR(at200.right - at200.left, 2 * width, 16);
    EXPECT_NEAR(at200.bottom - at200.top, 2 * height, 16);
    EXPECT_GT(at200.count, 3 * at100.count);
    std::string shown, again;
    ASSERT_TRUE(ReadFile(zoomed, shown) && ReadFile(redrawn, again));
    EXPECT_TRUE(shown == again) << "Redraw Window draws the zoomed view otherwise";
    EXPECT_GT(ink(further).count, 100);  // what of the resistor lies in view
}

#endif

}  // namespace
}  // namespace plexa::test
