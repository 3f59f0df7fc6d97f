// The rulers of the symbol editor's drawing in the running program: shown when the window opens,
// their marks over the content's units, their guides following the pointer, hidden and shown
// again from the View menu (the drawing pane taking the room), and absent from the list tabs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/pixels.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// A screenshot's pixels, read as 0xRRGGBB.
class Picture {
public:
    explicit Picture(const std::string& path) : pixels_(VXCreatePixelImageFromURL(path.c_str(), false, nullptr)) {}
    ~Picture() { VXDestroyPixelImage(pixels_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    bool ok() const { return pixels_ != nullptr; }
    uint32_t at(int x, int y) const {
        if (!pixels_ || x < 0 || y < 0 || x >= pixels_->width || y >= pixels_->height) return 0xFFFFFFFFu;
        const uint8_t* p = pixels_->bits + size_t(y) * pixels_->rowBytes + 4 * size_t(x);
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    // The first point of the column x from y0 (down to y1) whose colour is c, or -1.
    int firstInColumn(int x, int y0, int y1, uint32_t c) const {
        for (int y = y0; y < y1; ++y)
            if (at(x, y) == c) return y;
        return -1;
    }
    // The first point of the row y from x0 (right to x1) whose colour is c, or -1.
    int firstInRow(int y, int x0, int x1, uint32_t c) const {
        for (int x = x0; x < x1; ++x)
            if (at(x, y) == c) return x;
        return -1;
    }

private:
    VXPixels* pixels_;
};

constexpr uint32_t kCorner = 0xBBBBBB;

TEST(SymRulersRun, TheDrawingHasRulersThatTheViewMenuHidesAndShows) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.dir().file("RC.SHX");
    std::filesystem::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    const std::string shown = OutputPath("symrulers-shown.png"), guided = OutputPath("symrulers-guides.png"),
                      hidden = OutputPath("symrulers-hidden.png"), again = OutputPath("symrulers-again.png"),
                      names = OutputPath("symrulers-names.png");
    const ScriptedRunResult result = run.Run(
        "wait-window RC\n"
        "wait-drawn RC\n"
        "menu Edit > Sheet Symbols > New...\n"
        "wait-window RC : RC\n"
        "wait-drawn RC : RC\n"
        "move 20 200\n"
        "screenshot " + shown + " RC : RC\n"
        "log-menu View\n"
        // The guides follow the pointer over the drawing.
        "move 300 250\n"
        "pause 100\n"
        "screenshot " + guided + " RC : RC\n"
        "move 20 200\n"
        "menu View > Hide rulers\n"
        "log-menu View\n"
        "screenshot " + hidden + " RC : RC\n"
        "menu View > Show rulers\n"
        "log-menu View\n"
        "screenshot " + again + " RC : RC\n"
        // A list tab has no rulers.
        "click 149 13\n"
        "screenshot " + names + " RC : RC\n" +
        CloseFileSymbolAndSheet("RC"),
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("  Hide rulers"),
              (std::vector<std::string>{"  Hide rulers\tenabled", "  Hide rulers\tenabled"}));
    EXPECT_EQ(result.Lines("  Show rulers"), (std::vector<std::string>{"  Show rulers\tenabled"}));

    const Picture opened(shown), following(guided), without(hidden), shownAgain(again), list(names);
    ASSERT_TRUE(opened.ok() && following.ok() && without.ok() && shownAgain.ok() && list.ok());
    // The grey corner where the rulers meet, at the drawing pane's top-left.
    const int top = opened.firstInColumn(185, 0, 300, kCorner);
    ASSERT_GE(top, 0);
    const int left = opened.firstInRow(top + 5, 100, 300, kCorner);
    ASSERT_GE(left, 0);
    // The content's units run under the rulers: each tick of the top ruler stands over a grid dot
    // (the dots are 12 units apart, on the content's multiples of 12).
    int ticks = 0;
    for (int x = left + 16; x < left + 300; ++x) {
        if (opened.at(x, top + 11) != 0) continue;
        ++ticks;
        EXPECT_NE(opened.at(x, top + 24), 0xFFFFFFu) << "tick at " << x << " over no dot";
    }
    EXPECT_GE(ticks, 20);
    // The guides: in the top ruler at the pointer's column, in the left one at its row, both
    // snapped to the grid (the pointer stood at 300, 250, the pane's top 69 below the content's).
    int guideH = -1, guideV = -1;
    for (int x = left + 14; x < left + 400 && guideH < 0; ++x)
        if (opened.at(x, top + 5) != following.at(x, top + 5)) guideH = x;
    for (int y = top + 14; y < top + 400 && guideV < 0; ++y)
        if (opened.at(left + 5, y) != following.at(left + 5, y)) guideV = y;
    EXPECT_LE(std::abs(guideH - 300), 6) << guideH;
    EXPECT_EQ((guideH - left) % 12, 0) << guideH;
    EXPECT_LE(std::abs(guideV - top - (250 - 69)), 6) << guideV;
    EXPECT_EQ((guideV - top) % 12, 0) << guideV;
    // Hidden: the drawing takes the rulers' room (a grid dot where the corner was).
    EXPECT_NE(without.at(left + 5, top + 5), kCorner);
    EXPECT_NE(without.at(left + 12, top + 12), 0xFFFFFFu);
    // Shown again: the rulers are back and the drawing is as it was (the guides aside: the
    // pointer left the pane over another pane, where the drawing hears nothing of it).
    EXPECT_EQ(shownAgain.at(left + 5, top + 5), kCorner);
    int ticksAgain = 0, differ = 0;
    for (int x = left + 16; x < left + 300; ++x) ticksAgain += shownAgain.at(x, top + 11) == 0;
    EXPECT_EQ(ticksAgain, ticks);
    for (int y = top + 14; y < top + 420; ++y)
        for (int x = left + 14; x < left + 380; ++x) differ += shownAgain.at(x, y) != opened.at(x, y);
    EXPECT_EQ(differ, 0);
    // A list tab has no rulers.
    EXPECT_NE(list.at(left + 5, top + 5), kCorner);
}

// Zoomed in with the zoom tool, the view scrolls: the rulers are still drawn over the drawing,
// their ground hiding what of the symbol lies under them (its frame runs across the top ruler).
TEST(SymRulersRun, TheRulersStayOverTheDrawingWhenZoomedIn) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.dir().file("RC.SHX");
    std::filesystem::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    const std::string zoomed = OutputPath("symrulers-zoomed.png");
    const ScriptedRunResult result = run.Run(
        "wait-window RC\n"
        "wait-drawn RC\n"
        "menu Edit > Sheet Symbols > New...\n"
        "wait-window RC : RC\n"
        "wait-drawn RC : RC\n"
        // The Zoom Area button, then a click in the drawing: one step in.
        "click 59 51\n"
        "click 350 300\n"
        "menu View > Redraw Window\n"
        "wait-drawn RC : RC\n"
        "screenshot " + zoomed + " RC : RC\n" +
        CloseFileSymbolAndSheet("RC"),
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const Picture picture(zoomed);
    ASSERT_TRUE(picture.ok());
    const int top = picture.firstInColumn(185, 0, 300, kCorner);
    ASSERT_GE(top, 0);
    const int left = picture.firstInRow(top + 5, 100, 300, kCorner);
    ASSERT_GE(left, 0);
    int ticks = 0;
    for (int x = left + 16; x < left + 380; ++x) ticks += picture.at(x, top + 11) == 0;
    EXPECT_GE(ticks, 15);
    // Above the ticks only the numbers and the inch marks are dark: no line of the symbol.
    for (int y = top + 1; y < top + 10; ++y) {
        int dark = 0;
        for (int x = left + 16; x < left + 380; ++x) dark += picture.at(x, y) < 0x404040;
        EXPECT_LT(dark, 30) << "row " << y;
    }
}

#endif

}  // namespace
}  // namespace plexa::test
