// The zoom tool and panning played on the running editor: the Zoom Area button, then a rectangle
// drawn or a click; Undo of the zoom; a drag with the other mouse button. Each sheet's scale and
// view are read back from the window state its window keeps in the file when it closes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/sheetfile_dump.h"
#include "files/tests/sheetcontents_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

struct StoredView {
    int32_t scale = -1, h = -1, v = -1;
};

class ZoomToolRun : public SheetContentsTest {
protected:
    StoredView Stored(const std::string& at) {
        const FileSpec spec = SheetSpecAt(at);
        std::string blocks;
        StoredView view;
        if (ListSheetFileBlocks(&spec, &blocks) != 0) return view;
        const size_t from = blocks.find("window state: ");
        if (from == std::string::npos) return view;
        const std::string line = blocks.substr(from, blocks.find('\n', from) - from);
        unsigned scale = 0;
        if (std::sscanf(line.c_str(), "window state: scale %u", &scale) == 1) view.scale = int32_t(scale);
        const size_t viewAt = line.find("view at ");
        if (viewAt != std::string::npos) (void)std::sscanf(line.c_str() + viewAt, "view at %d %d", &view.v, &view.h);
        return view;
    }
};

// The Zoom Area button of the collapsed top tool bar that a sheet of a file opens with.
constexpr const char* kZoomArea = "click 90 18\n";

TEST_F(ZoomToolRun, AreaClickUndoAndPanThroughTheProgram) {
    BuildRichSheet();
    struct Sheet {
        const char* name;
        uint16_t scale;
        std::string steps;
        int32_t expected;
    } sheets[] = {
        {"Area", 100, std::string(kZoomArea) + "drag 40 150 390 400\n", 0},
        {"AreaUndo", 100, std::string(kZoomArea) + "drag 40 150 390 400\nmenu Edit > Undo Zoom\n", 100},
        {"AreaRedo", 100,
         std::string(kZoomArea) + "drag 40 150 390 400\nmenu Edit > Undo Zoom\nmenu Edit > Redo Zoom\n", 0},
        // A click, or a rectangle under 6 by 6, is one standard step; Alt (Option) steps out.
        {"Click", 100, std::string(kZoomArea) + "click 300 300\n", 150},
        {"Tiny", 100, std::string(kZoomArea) + "drag 300 300 303 303\n", 150},
        {"ClickOut", 100, std::string(kZoomArea) + "click 300 300 Alt\n", 75},
        // The zoom mode ends after a rectangle, not after a click.
        {"ModeEnds", 100, std::string(kZoomArea) + "drag 40 150 390 400\nclick 300 300\n", 0},
        {"ModeStays", 100, std::string(kZoomArea) + "click 300 300\nclick 300 300\n", 200},
        {"Pan", 200, "drag 500 400 400 340 middle\n", 200},
    };
    std::vector<std::string> paths;
    std::string script;
    for (const Sheet& s : sheets) {
        paths.push_back(WriteSheetAtScale(std::string(s.name) + ".SHX", s.scale));
        script += std::string("wait-window ") + s.name + "\nwait-drawn " + s.name + "\n";
    }
    const std::string areaShot = OutputPath("zoomtool-area.png"), panShot = OutputPath("zoomtool-pan-before.png"),
                      pannedShot = OutputPath("zoomtool-pan-after.png"),
                      undoBefore = OutputPath("zoomtool-undo-before.png"), undoAfter = OutputPath("zoomtool-undo.png");
    for (const Sheet& s : sheets) {
        script += std::string("menu Window > ") + s.name + "\n";
        if (std::string(s.name) == "Pan") script += "screenshot " + panShot + " Pan\n";
        if (std::string(s.name) == "AreaUndo") script += "screenshot " + undoBefore + " AreaUndo\n";
        script += s.steps;
        if (std::string(s.name) == "Area") script += "screenshot " + areaShot + " Area\n";
        if (std::string(s.name) == "Click") script += "screenshot " + OutputPath("zoomtool-click.png") + " Click\n";
        if (std::string(s.name) == "AreaUndo") script += "screenshot " + undoAfter + " AreaUndo\n";
        if (std::string(s.name) == "Pan") script += "screenshot " + pannedShot + " Pan\n";
        script += std::string("close ") + s.name + "\nwait-no-window " + s.name + "\n";
    }
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script, paths);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::vector<StoredView> views;
    for (const std::string& path : paths) views.push_back(Stored(path));
    const int32_t area = views[0].scale;
    // The 350 by 250 rectangle fills the window's width: about twice the old percent, more than
    // a standard step.
    EXPECT_GT(area, 150);
    EXPECT_LT(area, 400);
    for (size_t i = 1; i < paths.size(); ++i) {
        const int32_t expected = sheets[i].expected ? sheets[i].expected : area;
        EXPECT_EQ(views[i].scale, expected) << sheets[i].name;
    }
    // Undone, the window shows again what it showed before the zoom, at the scale and place.
    EXPECT_EQ(views[1].h, 0);
    EXPECT_EQ(views[1].v, 0);
    std::string shown, undone;
    ASSERT_TRUE(ReadFile(undoBefore, shown) && ReadFile(undoAfter, undone));
    EXPECT_TRUE(shown == undone) << "the undone zoom is not drawn as before it";
    // The other button's drag moved the content with the mouse: 100 by 60 pixels at 200 percent.
    const StoredView& pan = views.back();
    EXPECT_EQ(pan.h, 50);
    EXPECT_EQ(pan.v, 30);
}

#endif

}  // namespace
}  // namespace plexa::test
