// Double clicks on a placed library part's pins and pin texts, and a pan with the middle button,
// played on the running editor and checked by what they bring up: the dialog that opens (by its
// window title) and the view's position that the window stores when it closes.
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

// A resistor of the shipped "Basic Parts" library placed with the library part tool by a click at
// (400, 300) of the untitled sheet's window content, then the select tool taken. At 100 percent
// the part's origin lands on the grid at (398, 303) of the content and its pins' ends lie 24 to
// its left and right, at (374, 303) and (422, 303): a click there, less the 2 that the select tool
// takes off a click's height at this scale, is within a pin's reach of 2.
const std::string kPlacedResistor =
    "wait-window Untitled 1\nwait-drawn Untitled 1\n"
    "click 470 45\ntype Resistor\nclick 18 190\n"  // the item, then the library part tool
    "click 400 300\n"
    "click 17 126\n";  // the select tool
constexpr int kLeftPinH = 374, kRightPinH = 422, kPinV = 303;
// The left pin's number, once shown, stands above the left lead: "1" at about (381, 295)-(382, 301).
constexpr int kNumberH = 381, kNumberV = 298;
const std::string kPinDialog = "R? - Pin information", kSymbolDialog = "Symbol Information";
// The left pin's number shown through its pin dialog; a click on the empty sheet ends the
// selection the dialog left.
const std::string kShowLeftNumber = "click " + std::to_string(kLeftPinH) + " " + std::to_string(kPinV) +
                                    " double\n"
                                    "wait-window " + kPinDialog + "\n"
                                    "button Show number\nbutton OK\n"
                                    "wait-no-window " + kPinDialog + "\n"
                                    "click 600 500\n";

struct DoubleClickCase {
    const char* name;
    bool numberShown;    // the left pin's number shown first
    int h, v;            // the double click, in the window's content
    const char* words;   // modifier words of the click
    std::string opened;  // the dialog that opens; empty for none
};

class SheetClicksRun : public ::testing::TestWithParam<DoubleClickCase> {};

TEST_P(SheetClicksRun, ADoubleClickOpensItsDialog) {
    const DoubleClickCase& c = GetParam();
    std::string script = kPlacedResistor;
    if (c.numberShown) script += kShowLeftNumber;
    script += "click " + std::to_string(c.h) + " " + std::to_string(c.v) + " double" + c.words + "\n"
              "log-windows\n";
    if (!c.opened.empty()) script += "button Cancel\nwait-no-window " + c.opened + "\n";
    script += "log-windows\nquit\nbutton Don't Save\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script, {});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::vector<std::string> windows = result.Lines("windows:");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0], c.opened.empty() ? "windows: Untitled 1" : "windows: " + c.opened + " | Untitled 1");
    EXPECT_EQ(windows[1], "windows: Untitled 1");
}

INSTANTIATE_TEST_SUITE_P(
    PinsAndPinTexts, SheetClicksRun,
    ::testing::Values(DoubleClickCase{"LeftPinEnd", false, kLeftPinH, kPinV, "", kPinDialog},
                      DoubleClickCase{"RightPinEnd", false, kRightPinH, kPinV, "", kPinDialog},
                      // A pin is taken before its symbol, Option or not.
                      DoubleClickCase{"PinEndWithOption", false, kLeftPinH, kPinV, " Alt", kPinDialog},
                      DoubleClickCase{"Body", false, 398, kPinV, "", kSymbolDialog},
                      DoubleClickCase{"ShownPinNumber", true, kNumberH, kNumberV, "", kPinDialog},
                      DoubleClickCase{"ShownPinNumberWithOption", true, kNumberH, kNumberV, " Alt", kSymbolDialog},
                      // Where the number would stand, with none shown: nothing is there.
                      DoubleClickCase{"HiddenPinNumber", false, kNumberH, kNumberV, "", ""}),
    [](const ::testing::TestParamInfo<DoubleClickCase>& info) { return std::string(info.param.name); });

class SheetPanRun : public SheetContentsTest {
protected:
    // The sheet on a large page, its window at the scale and scrolled to (h, v); its path.
    std::string WriteScrolledSheet(const std::string& name, uint16_t scale, int16_t h, int16_t v) {
        drawing->stored.sizeCode = 3;
        drawing->stored.orientation = 0;
        CalcSheetBounds(3, 0, kNewSheetResolution, &drawing->sheetBounds);
        const std::string at = dir.path() + "/" + name;
        const FileSpec to = SheetSpecAt(at);
        EXPECT_EQ(WriteSheetFile(drawing, &to), 0);
        SheetWindowState state{};
        state.position = {40, 20, 640, 900};
        state.scale = scale;
        state.viewLeft = h;
        state.viewTop = v;
        EXPECT_EQ(WriteSheetWindowState(&to, nullptr, &state), 0);
        return at;
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

// A sheet at 200 percent scrolled away from its top left: a drag with the middle button moves the
// sheet with the pointer, so the view goes the other way by the drag's length in sheet units
// (half the pixels at this scale); a drag with the left button there leaves the view where it is.
TEST_F(SheetPanRun, AMiddleButtonDragMovesTheViewByTheDrag) {
    struct Drag {
        const char* words;
        int32_t h, v;  // the view's origin after it
    };
    for (const Drag& drag : {Drag{" middle", 400 + 50, 300 + 30}, Drag{"", 400, 300}}) {
        SCOPED_TRACE(drag.words);
        const std::string at = WriteScrolledSheet("Panned.SHX", 200, 400, 300);
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result = run.Run("wait-window Panned\nwait-drawn Panned\n"
                                                 "drag 500 450 400 390" + std::string(drag.words) + "\n"
                                                 "close Panned\nwait-no-window Panned\n",
                                                 {at});
        ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        int32_t scale = 0, h = 0, v = 0;
        Stored(at, &scale, &h, &v);
        EXPECT_EQ(scale, 200);
        EXPECT_EQ(h, drag.h);
        EXPECT_EQ(v, drag.v);
    }
}

#endif

}  // namespace
}  // namespace plexa::test
