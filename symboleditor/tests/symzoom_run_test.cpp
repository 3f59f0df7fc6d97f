// The symbol editor's view in the running editor: its grid drawn, the zoom tool's click, Undo of
// the zoom, and a drag with the other mouse button; Scale to Fit of a drawing larger than the
// window and the Zoom Area button's Option click back to the view before the zoom. The scale is
// read from the View menu (Actual Size is checked at 100 percent only) and from what the window
// shows.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "graphics/pixels.h"
#include "tests/support/graphics_testing.h"
#include "model/libitem.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The first pixel at which two pictures differ within the area (x, y), or "" when none does.
std::string FirstDifference(const std::string& a, const std::string& b, int left, int top, int right, int bottom) {
    VXPixels* one = VXCreatePixelImageFromURL(a.c_str(), false, nullptr);
    VXPixels* two = VXCreatePixelImageFromURL(b.c_str(), false, nullptr);
    std::string found = one && two ? "" : "unreadable";
    for (int y = top; found.empty() && y < bottom && y < one->height && y < two->height; ++y)
        for (int x = left; found.empty() && x < right && x < one->width && x < two->width; ++x)
            if (std::memcmp(one->bits + size_t(y) * one->rowBytes + 4 * size_t(x),
                            two->bits + size_t(y) * two->rowBytes + 4 * size_t(x), 4) != 0)
                found = std::to_string(x) + "," + std::to_string(y);
    VXDestroyPixelImage(one);
    VXDestroyPixelImage(two);
    return found;
}

TEST(SymZoomRun, GridZoomToolUndoAndPanInTheSymbolEditor) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.dir().file("RC.SHX");
    std::filesystem::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    const std::string opened = OutputPath("symzoom-opened.png"), zoomed = OutputPath("symzoom-zoomed.png"),
                      panned = OutputPath("symzoom-panned.png"), undone = OutputPath("symzoom-undone.png");
    const ScriptedRunResult result = run.Run(
        "wait-window RC\n"
        "wait-drawn RC\n"
        "menu Edit > Sheet Symbols > New...\n"
        "wait-window RC : RC\n"
        "wait-drawn RC : RC\n"
        // Without rulers: Undo of a zoom does not yet scroll back exactly with them shown (the
        // view is put back off by the rulers' breadth).
        "menu View > Hide rulers\n"
        "screenshot " + opened + " RC : RC\n"
        // The Zoom Area button, then a click in the drawing: one step in.
        "click 59 51\n"
        "click 350 300\n"
        "log-menu View\n"
        "screenshot " + zoomed + " RC : RC\n"
        "menu Edit > Undo Zoom\n"
        "log-menu View\n"
        // Out of zoom mode, the window is drawn as when it opened.
        "click 59 51\n"
        "screenshot " + undone + " RC : RC\n"
        // The other button pans.
        "drag 400 400 300 330 middle\n"
        "screenshot " + panned + " RC : RC\n" +
        CloseFileSymbolAndSheet("RC"),
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // Zoomed in, then back at 100 percent after Undo.
    EXPECT_EQ(result.Lines("  Normal Size"),
              (std::vector<std::string>{"  Normal Size\tenabled", "  Normal Size\tenabled\tchecked"}));
    // The drawing pane, right of the tool palette and below the tool bars, is as it was.
    EXPECT_EQ(FirstDifference(opened, undone, 180, 92, 565, 510), "");
}

constexpr uint32_t kRed = 0x00FF0000, kBlue = 0x000000FF;


// Where the drawing area of a component's editor (right of the tools pane, below the tool bar and
// rulers, left of and above the scroll bars) shows the red and the blue graphics of the drawing
// below.
PicturePixels Red(const std::string& shot) {
    return FindPicturePixels(
        shot, [](uint32_t r, uint32_t g, uint32_t b) { return r == 255 && g == 0 && b == 0; }, 190, 104, 569, 513);
}
PicturePixels Blue(const std::string& shot) {
    return FindPicturePixels(
        shot, [](uint32_t r, uint32_t g, uint32_t b) { return r == 0 && g == 0 && b == 255; }, 190, 104, 569, 513);
}
bool operator==(const PicturePixels& a, const PicturePixels& b) {
    return a.count == b.count && a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class SymZoomFitRun : public LibEditorTest {};

// A component whose drawing (about 900 by 700 units) is larger than the editor's window: a blue
// mark at the top left, a title block drawn as graphics at the bottom right (a red filled
// rectangle with ruled lines). Scale to Fit shows both whole; the Zoom Area button draws a
// rectangle around the mark, and its Option click goes back to the fitted view.
TEST_F(SymZoomFitRun, ScaleToFitAndOptionClickBackFromZoomArea) {
    const std::string path = dir_.file("Parts.LBX");
    MakeLibrary(path);
    {
        LibraryItem* item = CreateLibraryItem(kLibItemComponent);
        EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "Gate", 0));
        LinkListHeader* list = CreateElementList(nullptr);
        LLAppend(list, BuildCommonElement(kElementRect, Point{20, 20}, Point{60, 80}, 1, 0, 0, true, false, 0, true,
                                          kBlue, false));
        LLAppend(list, BuildCommonElement(kElementLine, Point{650, 700}, Point{650, 900}, 1, 0, 0, false, false, 0,
                                          false, 0, false));
        LLAppend(list, BuildCommonElement(kElementLine, Point{650, 800}, Point{700, 800}, 1, 0, 0, false, false, 0,
                                          false, 0, false));
        LLAppend(list, BuildCommonElement(kElementRect, Point{600, 700}, Point{700, 900}, 1, 0, 0, true, false, 0,
                                          true, kRed, false));
        Handle drawing = ElementsToSymbolData(list, nullptr, nullptr, 0, false, nullptr);
        DestroyElementList(list);
        ASSERT_NE(drawing, nullptr);
        Ptr main = AllocPtrWithData(nullptr, *drawing, SizeOfHandle(drawing));
        MemFree(drawing);
        EXPECT_EQ(AddLibSymbolDef(item, "", main, nullptr, nullptr, nullptr), 0);
        AddSection(item, "", 0, {});
        Handle flat = FlattenLibraryItem(item, false, 1, nullptr);
        DestroyLibraryItem(item);
        OpenLibrary library(path, kLibraryOpenLoadMap);
        uint32_t id = 0;
        EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
        MemFree(flat);
    }
    const std::string opened = OutputPath("symzoom-fit-before.png"), fitted = OutputPath("symzoom-fit.png"),
                      zoomed = OutputPath("symzoom-fit-zoomed.png"), back = OutputPath("symzoom-fit-back.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Parts\n"
                                             "wait-drawn Parts\n"
                                             "click 52 9 double\n"
                                             "wait-window Parts : Gate\n"
                                             "wait-drawn Parts : Gate\n"
                                             "screenshot " + opened + " Parts : Gate\n"
                                             "menu View > Scale to Fit\n"
                                             "screenshot " + fitted + " Parts : Gate\n"
                                             "click 59 51\n"
                                             "drag 193 87 263 137\n"
                                             "screenshot " + zoomed + " Parts : Gate\n"
                                             "click 59 51 Alt\n"
                                             "screenshot " + back + " Parts : Gate\n"
                                             "close Parts : Gate\n"
                                             "wait-no-window Parts : Gate\n"
                                             "close Parts\n"
                                             "wait-no-window Parts\n"
                                             "quit\n",
                                             {path});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // Opened at 100 percent the title block lies outside the window.
    EXPECT_EQ(Red(opened).count, 0);
    ASSERT_GT(Blue(opened).count, 0);
    // Fitted, both are drawn whole: the block at its proportions, the mark at the same scale.
    const PicturePixels red = Red(fitted), blue = Blue(fitted);
    ASSERT_GT(red.count, 0) << "the title block is outside the fitted view";
    ASSERT_GT(blue.count, 0);
    const double k = (red.right - red.left) / 200.0;
    EXPECT_LT(k, 1.0);
    EXPECT_NEAR(red.bottom - red.top, 100 * k, 3);
    EXPECT_NEAR(blue.right - blue.left, 60 * k, 3);
    EXPECT_NEAR(blue.bottom - blue.top, 40 * k, 3);
    // The rectangle drawn around the mark enlarges it; the title block goes out of sight.
    const PicturePixels blueZoomed = Blue(zoomed);
    ASSERT_GT(blueZoomed.count, 0);
    EXPECT_GT(blueZoomed.right - blueZoomed.left, 2 * (blue.right - blue.left));
    EXPECT_EQ(Red(zoomed).count, 0);
    // Option on Zoom Area: the fitted view again, its drawing as it was (the rulers' guides
    // follow the pointer, which has moved).
    EXPECT_TRUE(Red(back) == red);
    EXPECT_TRUE(Blue(back) == blue);
    EXPECT_EQ(FirstDifference(fitted, back, 191, 105, 569, 513), "");
}

#endif

}  // namespace
}  // namespace plexa::test
