// The symbol editor's view in the running editor: its grid drawn, the zoom tool's click, Undo of
// the zoom, and a drag with the other mouse button. The scale is read from the View menu (Actual
// Size is checked at 100 percent only).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/pixels.h"
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

#endif

}  // namespace
}  // namespace plexa::test
