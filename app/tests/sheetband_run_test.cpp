// A rectangle dragged over a large sheet at the fit view selects what it takes and the window
// shows the selection as a full redraw of the window would: no part of the sheet is left blank
// or stale where the band was drawn; and while the band is dragged out only its frame follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/graphics_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SheetBandRun = SheetContentsTest;

// The pixels of two pictures that differ, and the box around them.
PicturePixels DifferingPixels(const std::string& a, const std::string& b) {
    PicturePixels found;
    VXPixels* first = VXCreatePixelImageFromURL(a.c_str(), false, nullptr);
    VXPixels* second = VXCreatePixelImageFromURL(b.c_str(), false, nullptr);
    if (first && second && first->depth == 32 && second->depth == 32 && first->width == second->width &&
        first->height == second->height) {
        found.count = 0;
        for (int y = 0; y < first->height; ++y)
            for (int x = 0; x < first->width; ++x) {
                const size_t at = size_t(y) * first->rowBytes + 4 * size_t(x);
                const size_t there = size_t(y) * second->rowBytes + 4 * size_t(x);
                if (std::memcmp(first->bits + at, second->bits + there, 4) == 0) continue;
                if (found.count++ == 0) found.left = found.right = x, found.top = found.bottom = y;
                found.left = std::min(found.left, x), found.top = std::min(found.top, y);
                found.right = std::max(found.right, x + 1), found.bottom = std::max(found.bottom, y + 1);
            }
    }
    if (first) VXDestroyPixelImage(first);
    if (second) VXDestroyPixelImage(second);
    return found;
}

TEST_F(SheetBandRun, ABandAtTheFitViewDrawsAsAFullRedraw) {
    // A grid of gates, each with a wire from its output, filling much of the page; the band
    // starts on the empty sheet left of it.
    const int32_t id = AddGateSymbolDefinition(drawing);
    ASSERT_GE(id, 0);
    drawing->stored.sizeCode = 0;  // the largest page
    CalcSheetBounds(drawing->stored.sizeCode, drawing->stored.orientation, drawing->stored.resolution,
                    &drawing->sheetBounds);
    constexpr int kColumns = 36, kRows = 60;
    uint32_t serial = 40;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            SymbolRecord* gate = driver->AddSymbol(serial++);
            gate->mapId = id;
            gate->libraryName = kNoLibraryName;
            const auto v = int16_t(20 + row * 33), h = int16_t(100 + column * 88);
            gate->position = P(h, v);
            Draw({P(int16_t(h + 66), int16_t(v + 15)), P(int16_t(h + 72), int16_t(v + 15)),
                  P(int16_t(h + 72), int16_t(v + 25))});
        }
    const std::string at = WriteSheetAtScale("Band.SHX", 100);
    const std::string banded = OutputPath("sheet-band-fit.png"), redrawn = OutputPath("sheet-band-fit-redrawn.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Band\nwait-drawn Band\n"
                                             "menu View > Scale to Fit\n"
                                             "drag 45 140 600 560\n"
                                             "screenshot " + banded + " Band\n"
                                             "menu View > Redraw Window\n"
                                             "screenshot " + redrawn + " Band\n"
                                             "close Band\nbutton Don't Save\n",
                                             {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The band took many gates: their highlight fills much of the sheet in both pictures.
    const auto highlight = [](uint32_t r, uint32_t g, uint32_t b) { return r < 200 && g > 180 && b > 200; };
    EXPECT_GT(CountPicturePixels(redrawn, highlight), 20000);
    const PicturePixels differing = DifferingPixels(banded, redrawn);
    EXPECT_EQ(differing.count, 0) << "differ in (" << differing.left << "," << differing.top << ")-("
                                  << differing.right << "," << differing.bottom << ")";
}

// While the band is dragged out its frame follows the pointer: the frames of the moves before
// leave nothing behind, and the frame goes with the release.
TEST_F(SheetBandRun, TheBandLeavesNoFramesBehindWhileItGrows) {
    const std::string at = WriteSheetAtScale("Grow.SHX", 100);
    const std::string growing = OutputPath("sheet-band-growing.png"), released = OutputPath("sheet-band-released.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Grow\nwait-drawn Grow\n"
                                             "drag 100 150 600 560 hold\n"
                                             "screenshot " + growing + " Grow\n"
                                             "release 600 560\n"
                                             "screenshot " + released + " Grow\n"
                                             "close Grow\n",
                                             {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The empty sheet in window pixels (the menu bar lies above the content): the frame's bottom
    // side at 560 + 22, the bottoms of the moves before it above.
    const auto dark = [](const std::string& picture, int top, int bottom) {
        return CountPicturePixels(
            picture, [](uint32_t r, uint32_t g, uint32_t b) { return std::max({r, g, b}) < 128; }, 110, top, 590,
            bottom);
    };
    EXPECT_GT(dark(growing, 578, 587), 100);
    EXPECT_EQ(dark(growing, 175, 577), 0);
    EXPECT_EQ(dark(released, 175, 587), 0);
}

// A gate dragged with its wire, and a second drag after Select All: after each release the
// window shows what a full redraw of it shows, with nothing left behind where the items were and
// nothing missing where they went.
TEST_F(SheetBandRun, ADragReleaseDrawsAsAFullRedraw) {
    const int32_t id = AddGateSymbolDefinition(drawing);
    ASSERT_GE(id, 0);
    uint32_t serial = 40;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 5; ++column) {
            SymbolRecord* gate = driver->AddSymbol(serial++);
            gate->mapId = id;
            gate->libraryName = kNoLibraryName;
            const auto v = int16_t(100 + row * 40), h = int16_t(100 + column * 100);
            gate->position = P(h, v);
            Draw({P(int16_t(h + 66), int16_t(v + 15)), P(int16_t(h + 80), int16_t(v + 15)),
                  P(int16_t(h + 80), int16_t(v + 35))});
        }
    const std::string at = WriteSheetAtScale("Moved.SHX", 100);
    const std::string before = OutputPath("sheet-drag-before.png"), one = OutputPath("sheet-drag-one.png"),
                      oneRedrawn = OutputPath("sheet-drag-one-redrawn.png"), all = OutputPath("sheet-drag-all.png"),
                      allRedrawn = OutputPath("sheet-drag-all-redrawn.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Moved\nwait-drawn Moved\n"
                                             "screenshot " + before + " Moved\n"
                                             "drag 168 172 168 520\n"
                                             "screenshot " + one + " Moved\n"
                                             "menu View > Redraw Window\n"
                                             "screenshot " + oneRedrawn + " Moved\n"
                                             "menu Edit > Select All\n"
                                             "drag 268 212 300 240\n"
                                             "screenshot " + all + " Moved\n"
                                             "menu View > Redraw Window\n"
                                             "screenshot " + allRedrawn + " Moved\n"
                                             "close Moved\nbutton Don't Save\n",
                                             {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // Each drag moved something.
    EXPECT_GT(DifferingPixels(before, one).count, 100);
    EXPECT_GT(DifferingPixels(oneRedrawn, all).count, 1000);
    for (const auto& [shown, redrawn] : {std::pair{one, oneRedrawn}, std::pair{all, allRedrawn}}) {
        const PicturePixels differing = DifferingPixels(shown, redrawn);
        EXPECT_EQ(differing.count, 0) << shown << " differs in (" << differing.left << "," << differing.top
                                      << ")-(" << differing.right << "," << differing.bottom << ")";
    }
}

// The library part tool's part follows the pointer over the sheet, jumping far and back: the
// window then shows what a full redraw of it shows, the part only where the pointer rests.
TEST_F(SheetBandRun, ATrackingMoveDrawsAsAFullRedraw) {
    const std::string tracked = OutputPath("sheet-track-moved.png"),
                      redrawn = OutputPath("sheet-track-moved-redrawn.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\nwait-drawn Untitled 1\nclick 470 45\ntype Resistor\nclick 18 190\n"
        "move 400 300\nmove 402 302\nmove 520 420\nmove 300 250\nmove 305 251\n"
        "screenshot " + tracked + " Untitled 1\n"
        "menu View > Redraw Window\n"
        "screenshot " + redrawn + " Untitled 1\nquit\n",
        {});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The part shows near where the pointer rests.
    EXPECT_GT(CountPicturePixels(
                  tracked, [](uint32_t r, uint32_t g, uint32_t b) { return std::min({r, g, b}) < 160; }, 240, 210,
                  370, 340),
              20);
    const PicturePixels differing = DifferingPixels(tracked, redrawn);
    EXPECT_EQ(differing.count, 0) << "differ in (" << differing.left << "," << differing.top << ")-("
                                  << differing.right << "," << differing.bottom << ")";
}

#endif

}  // namespace
}  // namespace plexa::test
