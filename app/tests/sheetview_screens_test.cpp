// A sheet of every kind of item (component symbols, a port, a sheet symbol, wires with a
// junction and a label, a buss with a break-out, texts, text frames and elements) opened in the
// running editor and drawn at 100 % and at 25 %: pictures under <build>/test-output/ for a
// person to look at.
#include <gtest/gtest.h>

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
    auto dark = [&](int left, int top, int right, int bottom) {
        return CountPicturePixels(
            fullPicture, [](uint32_t r, uint32_t g, uint32_t b) { return r < 128 && g < 128 && b < 128; }, left, top,
            right, bottom);
    };
    EXPECT_GT(dark(52, 300, 80, 330), 0);
    EXPECT_EQ(dark(40, 520, 60, 690), 0);
}

#endif

}  // namespace
}  // namespace plexa::test
