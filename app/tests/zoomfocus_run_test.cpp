// Scale to Fit and the zoom's focus on a sheet, played on the running editor and checked by what
// the window shows: a drawing larger than the window, whose title block is drawn as graphics and
// whose farthest item is a text frame, fitted whole; a selection out of sight brought to the
// middle of the view by Zoom In. Coloured graphics are found in the screenshots by their colour.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "files/sheetfile.h"
#include "files/sheetfile_dump.h"
#include "files/tests/sheetcontents_testing.h"
#include "tests/support/graphics_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The drawing area of the sheet window in its screenshots (right of the tool palette, below the
// tool bar, left of and above the scroll bars).
constexpr int kAreaLeft = 38, kAreaTop = 58, kAreaRight = 740, kAreaBottom = 702;

// The pixels of the drawing area painted in one of the colours of the graphics below, and those
// painted at all.
template <class Test>
PicturePixels InArea(const std::string& shot, Test&& test, int left = kAreaLeft, int top = kAreaTop,
                     int right = kAreaRight, int bottom = kAreaBottom) {
    return FindPicturePixels(shot, std::forward<Test>(test), std::max(left, kAreaLeft), std::max(top, kAreaTop),
                             std::min(right, kAreaRight), std::min(bottom, kAreaBottom));
}
PicturePixels Red(const std::string& shot) {
    return InArea(shot, [](uint32_t r, uint32_t g, uint32_t b) { return r == 255 && g == 0 && b == 0; });
}
PicturePixels Blue(const std::string& shot) {
    return InArea(shot, [](uint32_t r, uint32_t g, uint32_t b) { return r == 0 && g == 0 && b == 255; });
}
PicturePixels Green(const std::string& shot) {
    return InArea(shot, [](uint32_t r, uint32_t g, uint32_t b) { return r == 0 && g == 0xC0 && b == 0; });
}
int Painted(const std::string& shot, int left, int top, int right, int bottom) {
    return InArea(shot, [](uint32_t r, uint32_t g, uint32_t b) { return r + g + b < 3 * 200; }, left, top, right,
                  bottom)
        .count;
}
constexpr uint32_t kRed = 0x00FF0000, kBlue = 0x000000FF, kGreen = 0x0000C000;

class ZoomFocusRun : public SheetContentsTest {
protected:
    void SetUp() override {
        SheetContentsTest::SetUp();
        // A large page (17 by 22 inches), so that everything below lies on it.
        drawing->stored.sizeCode = 3;
        drawing->stored.orientation = 0;
        CalcSheetBounds(3, 0, kNewSheetResolution, &drawing->sheetBounds);
    }
    // A filled rectangle of its own colour, from (h1, v1) to (h2, v2).
    void Block(int16_t h1, int16_t v1, int16_t h2, int16_t v2, uint32_t colour) {
        LLPush(drawing->elementList,
               BuildCommonElement(kElementRect, P(h1, v1), P(h2, v2), 1, 0, 0, true, false, 0, true, colour, false));
    }
    // A text frame with its top left at the point.
    void Frame(int16_t h, int16_t v, const char* text) {
        TextFrameHandle frame = CreateTextFrame(text, -1, kEncodingUTF8);
        (*frame)->position = P(h, v);
        (*frame)->style = drawing->currentTextStyle;
        LLPush(drawing->textFrameList, frame);
    }
    // The sheet's scale and view origin as its window stored them when it closed.
    void Stored(const std::string& at, int32_t* scale, int32_t* h, int32_t* v) {
        const FileSpec spec = SheetSpecAt(at);
        std::string blocks;
        *scale = *h = *v = -1;
        ASSERT_EQ(ListSheetFileBlocks(&spec, &blocks), 0);
        const size_t from = blocks.find("window state: ");
        ASSERT_NE(from, std::string::npos);
        const std::string line = blocks.substr(from, blocks.find('\n', from) - from);
        unsigned percent = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "window state: scale %u", &percent), 1) << line;
        *scale = int32_t(percent);
        const size_t viewAt = line.find("view at ");
        ASSERT_NE(viewAt, std::string::npos) << line;
        ASSERT_EQ(std::sscanf(line.c_str() + viewAt, "view at %d %d", v, h), 2) << line;
    }
};

// The drawing is about 1400 by 1100 units, the window shows about 800 by 500 at 100 percent: a
// blue mark at the top left, a title block at the bottom right (a red filled rectangle with a
// frame and ruled lines, all graphics) and, farthest right and down, a text frame. Fitted, all of
// it is drawn whole: the red block at its proportions, the frame's text beside and below it.
TEST_F(ZoomFocusRun, ScaleToFitShowsEveryItemOfALargeSheet) {
    Block(20, 20, 80, 60, kBlue);
    Block(1100, 900, 1300, 1000, kRed);
    LLPush(drawing->elementList, BuildCommonElement(kElementLine, P(1100, 950), P(1300, 950), 1, 0, 0, false, false,
                                                    0, false, 0, false));
    LLPush(drawing->elementList, BuildCommonElement(kElementLine, P(1200, 950), P(1200, 1000), 1, 0, 0, false, false,
                                                    0, false, 0, false));
    Frame(1340, 1060, "REV B");
    const std::string path = WriteSheetAtScale("Large.SHX", 100);
    const std::string before = OutputPath("zoomfocus-fit-before.png"), fitted = OutputPath("zoomfocus-fit.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Large\n"
                                             "wait-drawn Large\n"
                                             "screenshot " + before + " Large\n"
                                             "menu View > Scale to Fit\n"
                                             "screenshot " + fitted + " Large\n"
                                             "close Large\n"
                                             "wait-no-window Large\n",
                                             {path});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    int32_t scale = 0, h = 0, v = 0;
    Stored(path, &scale, &h, &v);
    EXPECT_GT(scale, 10);
    EXPECT_LT(scale, 100);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(v, 0);
    // At 100 percent the title block is out of sight.
    EXPECT_GT(Blue(before).count, 0);
    EXPECT_EQ(Red(before).count, 0);
    const PicturePixels blue = Blue(fitted), red = Red(fitted);
    ASSERT_GT(blue.count, 0);
    ASSERT_GT(red.count, 0) << "the title block is outside the fitted view";
    // Drawn whole: 200 by 100 units at the scale (its frame and a pixel of rounding aside).
    const double k = scale / 100.0;
    EXPECT_NEAR(red.right - red.left, 200 * k, 4) << scale;
    EXPECT_NEAR(red.bottom - red.top, 100 * k, 4) << scale;
    // The frame's text, the only thing there, starts 40 units right of the block and about 60
    // below it.
    EXPECT_GT(Painted(fitted, red.right + int(30 * k), red.bottom + int(40 * k), red.right + int(100 * k),
                      red.bottom + int(80 * k)),
              5)
        << "the text frame is outside the fitted view";
}

// A selection out of sight: Zoom In centres the view on it; with nothing selected the view keeps
// its top left (where a blue mark lies) and the items stay out of sight. Selected, the blocks are
// drawn highlighted: found by their green outline.
TEST_F(ZoomFocusRun, ZoomInCentresOnTheSelection) {
    Block(900, 650, 1000, 710, kGreen);
    Block(1050, 750, 1150, 810, kGreen);
    const std::string selected = WriteSheetAtScale("Selected.SHX", 100);
    Block(20, 20, 80, 60, kBlue);
    const std::string plain = WriteSheetAtScale("Plain.SHX", 100);
    const std::string centred = OutputPath("zoomfocus-selection.png"), kept = OutputPath("zoomfocus-unselected.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Selected\n"
                                             "wait-drawn Selected\n"
                                             "wait-window Plain\n"
                                             "wait-drawn Plain\n"
                                             "menu Window > Selected\n"
                                             "menu Edit > Select All\n"
                                             "menu View > Zoom In\n"
                                             "screenshot " + centred + " Selected\n"
                                             "menu Window > Plain\n"
                                             "menu View > Zoom In\n"
                                             "screenshot " + kept + " Plain\n"
                                             "close Selected\n"
                                             "wait-no-window Selected\n"
                                             "close Plain\n"
                                             "wait-no-window Plain\n",
                                             {selected, plain});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    int32_t scale = 0, h = 0, v = 0;
    Stored(selected, &scale, &h, &v);
    EXPECT_EQ(scale, 150);
    const PicturePixels outline =
        InArea(centred, [](uint32_t r, uint32_t g, uint32_t b) { return r < 80 && b < 80 && g > 100; });
    ASSERT_GT(outline.count, 0) << "the selection is out of sight";
    // Both blocks, 250 by 160 units together, drawn whole in the middle of the drawing area.
    EXPECT_NEAR(outline.right - outline.left, 375, 4);
    EXPECT_NEAR(outline.bottom - outline.top, 240, 4);
    EXPECT_NEAR((outline.left + outline.right) / 2, (kAreaLeft + kAreaRight) / 2, 3);
    EXPECT_NEAR((outline.top + outline.bottom) / 2, (kAreaTop + kAreaBottom) / 2, 3);
    // Without a selection the view keeps its top left.
    EXPECT_GT(Blue(kept).count, 0);
    EXPECT_EQ(Green(kept).count, 0);
}

// A text being typed on a sheet when the view zooms in: the view centres on it, and its box, text
// and caret are measured again at the new scale, so that all of it grows with the zoom.
TEST_F(ZoomFocusRun, ZoomInFollowsTheTextBeingTyped) {
    const std::string path = WriteSheetAtScale("Typed.SHX", 100);
    const std::string typed = OutputPath("zoomfocus-typing.png"), zoomed = OutputPath("zoomfocus-typing-zoomed.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Typed\n"
                                             "wait-drawn Typed\n"
                                             "click 18 88\n"  // the text tool
                                             "click 200 400\n"
                                             "type Zoomed text\n"
                                             "screenshot " + typed + " Typed\n"
                                             "menu View > Zoom In\n"
                                             "menu View > Zoom In\n"
                                             "screenshot " + zoomed + " Typed\n"
                                             "close Typed\n"
                                             "button Don't Save\n"
                                             "wait-no-window Typed\n",
                                             {path});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const auto painted = [](uint32_t r, uint32_t g, uint32_t b) { return r + g + b < 3 * 200; };
    const PicturePixels before = InArea(typed, painted), after = InArea(zoomed, painted);
    ASSERT_GT(before.count, 20) << "nothing typed";
    ASSERT_GT(after.count, 20) << "the text is out of sight";
    // Twice zoomed in: from 100 to 200 percent; all of it twice as large.
    EXPECT_NEAR(double(after.right - after.left) / (before.right - before.left), 2.0, 0.25);
    EXPECT_NEAR(double(after.bottom - after.top) / (before.bottom - before.top), 2.0, 0.35);
    // In the middle of the drawing area.
    EXPECT_NEAR((after.left + after.right) / 2, (kAreaLeft + kAreaRight) / 2, 12);
    EXPECT_NEAR((after.top + after.bottom) / 2, (kAreaTop + kAreaBottom) / 2, 12);
}

#endif

}  // namespace
}  // namespace plexa::test
