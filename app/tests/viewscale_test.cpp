// The view scale: the standard steps, the fit factor, the gesture and zoom-tool steps, and the
// zoom commands, pinches and Ctrl-wheel turns played on the running editor, each sheet's scale
// read back from the window state its window keeps in the file when it closes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/viewcommands.h"
#include "files/sheetfile.h"
#include "files/sheetfile_dump.h"
#include "files/tests/sheetcontents_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

TEST(ViewScale, StandardStepsUpAndDown) {
    const struct {
        int32_t scale, direction, next;
    } cases[] = {
        {1000, 1, 1250}, {1250, 1, 1250}, {5, 1, 12},  {100, 1, 150}, {110, 1, 150},
        {25, -1, 12},    {13, -1, 12},    {2000, -1, 1250}, {100, -1, 75}, {110, -1, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetNextStandardViewScale(c.scale, c.direction), c.next) << c.scale << " " << c.direction;
}

TEST(ViewScale, FitNeverEnlargesAndNeverGoesBelowOnePercent) {
    const Point client{400, 600};  // v, h
    EXPECT_DOUBLE_EQ(CalcScaleFactorToFit(client, Rect{0, 0, 10, 10}, true), 1.0);
    EXPECT_DOUBLE_EQ(CalcScaleFactorToFit(client, Rect{0, 0, 800, 600}, true), 0.5);
    // From the origin the far edge counts, else the extent.
    EXPECT_DOUBLE_EQ(CalcScaleFactorToFit(client, Rect{400, 0, 800, 600}, true), 0.5);
    EXPECT_DOUBLE_EQ(CalcScaleFactorToFit(client, Rect{400, 0, 800, 600}, false), 1.0);
    EXPECT_DOUBLE_EQ(CalcScaleFactorToFit(client, Rect{0, 0, 30000, 30000}, true), 400.0 / 30000);
    EXPECT_DOUBLE_EQ(CalcScaleFactorToFit(Point{2, 2}, Rect{0, 0, 30000, 30000}, true), 0.01);
}

TEST(ViewScale, GestureSteps) {
    const struct {
        int32_t percent, amount;
        bool document;
        int32_t next;
    } cases[] = {
        {100, 19, true, 100},   {100, -19, true, 100},  // too small
        {50, 40, true, 53},     {50, -40, true, 47},    // the least step below 100
        {50, 200, true, 56},                            // at most an eighth of the percent
        {300, 40, true, 308},   {150, 40, true, 154},   {100, 40, true, 104},
        {12, -40, true, 10},    {1240, 100, true, 1250},  // the limits
        {300, 40, false, 104},                          // another window steps as from 100
    };
    for (const auto& c : cases)
        EXPECT_EQ(GestureViewScale(c.percent, c.amount, c.document), c.next) << c.percent << " " << c.amount;
}

TEST(ViewScale, ZoomToolRectangles) {
    const Point client{400, 600};
    EXPECT_EQ(ZoomRectViewScale(client, Rect{10, 10, 13, 13}), 0);  // a 3 by 3 drag is a click
    EXPECT_EQ(ZoomRectViewScale(client, Rect{0, 0, 100, 300}), 200);
    EXPECT_EQ(ZoomRectViewScale(client, Rect{0, 0, 6, 6}), 1250);
    EXPECT_EQ(ZoomRectViewScale(Point{10, 10}, Rect{0, 0, 1000, 1000}), 2);
}

#ifdef PLEXA_PROGRAM

class ViewScaleRun : public SheetContentsTest {
protected:
    std::string WriteSheet(const std::string& name, uint16_t scale) { return WriteSheetAtScale(name + ".SHX", scale); }
    int32_t StoredScale(const std::string& at) {
        const FileSpec spec = SheetSpecAt(at);
        std::string blocks;
        if (ListSheetFileBlocks(&spec, &blocks) != 0) return -1;
        unsigned scale = 0;
        return std::sscanf(blocks.c_str(), "window state: scale %u", &scale) == 1 ? int32_t(scale) : -1;
    }
};

TEST_F(ViewScaleRun, ZoomCommandsPinchesAndTheWheelThroughTheProgram) {
    BuildRichSheet();
    struct Sheet {
        const char* name;
        uint16_t scale;
        const char* steps;
        int32_t expected;  // 0: at most 100
    } sheets[] = {
        {"In", 1000, "menu View > Zoom In\nlog-menu View\n", 1250},
        {"Out", 25, "menu View > Zoom Out\nlog-menu View\n", 12},
        {"Fit", 50, "menu View > Scale to Fit\n", 0},
        {"PinchLow", 50, "pinch 200 200 40\n", 53},
        {"PinchHigh", 300, "pinch 200 200 40\n", 308},
        {"PinchSmall", 100, "pinch 200 200 19\n", 100},
        {"PinchOut", 150, "pinch 200 200 -40\n", 146},
        {"Wheel", 100, "wheel 200 200 1\nwheel 200 200 1 Ctrl\n", 0},
    };
    std::vector<std::string> paths;
    std::string script;
    for (const Sheet& s : sheets) {
        paths.push_back(WriteSheet(s.name, s.scale));
        script += std::string("wait-window ") + s.name + "\nwait-drawn " + s.name + "\n";
    }
    for (const Sheet& s : sheets)
        script += std::string("menu Window > ") + s.name + "\n" + s.steps + "close " + s.name + "\nwait-no-window " +
                  s.name + "\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script, paths);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // Zoom In at 1000 gives 1250 and is then disabled; Zoom Out at 25 gives 12 and is disabled.
    std::string menus;
    for (std::string line : result.log) {
        if (line.find("Zoom In") == std::string::npos && line.find("Zoom Out") == std::string::npos) continue;
        line.erase(0, line.find_first_not_of(' '));
        for (char& c : line)
            if (c == '\t') c = ' ';
        menus += line + "\n";
    }
    EXPECT_EQ(menus,
              "Zoom In disabled\nZoom Out enabled\n"
              "Zoom In enabled\nZoom Out disabled\n");
    for (size_t i = 0; i < paths.size(); ++i) {
        const int32_t scale = StoredScale(paths[i]);
        if (sheets[i].expected) {
            EXPECT_EQ(scale, sheets[i].expected) << sheets[i].name;
        } else {
            EXPECT_GT(scale, 0) << sheets[i].name;
            EXPECT_LE(scale, std::string(sheets[i].name) == "Wheel" ? 1250 : 100) << sheets[i].name;
        }
    }
    // The plain wheel scrolls, Ctrl with it zooms in.
    EXPECT_GT(StoredScale(paths.back()), 100);
}

#endif

}  // namespace
}  // namespace plexa::test
