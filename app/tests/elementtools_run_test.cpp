// Graphic elements made in the running editor: each element tool chosen from the tool palette and
// dragged (the polygon clicked) in the sheet pane of a new sheet, then a copy of the sheet saved
// and its elements compared by kind, the line's ends with the drag's.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/root.h"
#include "files/sheetcontents.h"
#include "foundation/filespec.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class ElementToolsRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartCore("app_tests"), 0); }
    void TearDown() override {
        for (SheetRecord* sheet : loaded) DestroySheet(sheet);
    }
    SheetRecord* Load(const std::string& path) {
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromPathName(nullptr, path.c_str(), &spec), 0);
        SheetRecord* sheet = nullptr;
        EXPECT_EQ(LoadSheetFile(&spec, &sheet), 0) << path;
        if (sheet) loaded.push_back(sheet);
        return sheet;
    }
    TempDir dir;
    std::vector<SheetRecord*> loaded;
};

// The palette's element buttons by their place from the top (below the expanded top bar).
constexpr int kPaletteTop = 111;
std::string PaletteClick(int n) { return "click 18 " + std::to_string(kPaletteTop + 4 + 31 * n + 14) + "\n"; }
constexpr int kLineButton = 8, kRectangleButton = 9, kOvalButton = 10, kArcButton = 11,
              kPolygonButton = 12, kRoundRectButton = 13, kArrowButton = 14;

TEST_F(ElementToolsRun, EachToolMakesItsElement) {
    const std::string copy = dir.path() + "/elements.SHX";
    const std::string script =
        "wait-window Untitled*\n"
        "wait-drawn Untitled*\n" +
        PaletteClick(kLineButton) + "drag 80 180 152 228\n" +
        PaletteClick(kArrowButton) + "drag 180 180 240 220\n" +
        PaletteClick(kRectangleButton) + "drag 280 180 360 240\n" +
        PaletteClick(kOvalButton) + "drag 80 280 160 330\n" +
        PaletteClick(kRoundRectButton) + "drag 190 280 280 340\n" +
        PaletteClick(kArcButton) + "drag 300 280 360 340\n" +
        PaletteClick(kPolygonButton) + "click 80 400\nclick 160 410\nclick 130 460\nclick 130 460\n" +
        "screenshot " + OutputPath("element-tools-run.png") + " Untitled*\n" +
        "panel " + copy + "\nmenu File > Save a Copy...\n" +
        "close Untitled*\nbutton Don't Save\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    // The kinds front to back: the last made first.
    const std::string dump = DumpSheet(saved, kDumpElements);
    std::string kinds;
    const std::regex kind("kind ([0-9]+)");
    for (auto it = std::sregex_iterator(dump.begin(), dump.end(), kind); it != std::sregex_iterator(); ++it)
        kinds += (*it)[1].str() + " ";
    EXPECT_EQ(kinds, "7 6 5 4 3 2 1 ") << dump;
    // The line runs from the press to the release (a drag of whole grid steps: 72 across, 48 down).
    std::smatch line;
    ASSERT_TRUE(std::regex_search(dump, line, std::regex("kind 1 [^(\n]*\\((-?[0-9]+),(-?[0-9]+)\\)-\\((-?[0-9]+),(-?[0-9]+)\\)")))
        << dump;
    EXPECT_EQ(std::stoi(line[3]) - std::stoi(line[1]), 72) << dump;
    EXPECT_EQ(std::stoi(line[4]) - std::stoi(line[2]), 48) << dump;
}

// Two frames drawn overlapping, the one behind picked on its edge with the select tool and brought
// to the front from the Edit menu. Window points on the sheet's 12-unit grid (the pane starts 38
// right of and 111 below the content's corner).
TEST_F(ElementToolsRun, BringToFrontReordersTheFramesInTheSavedSheet) {
    const std::string copy = dir.path() + "/order.SHX";
    const std::string script =
        "wait-window Untitled*\n"
        "wait-drawn Untitled*\n" +
        PaletteClick(kRectangleButton) + "drag 98 207 206 267\ndrag 146 243 254 303\n" +
        PaletteClick(0) + "click 122 207\n" +
        "menu Edit > Bring to Front\n" +
        "screenshot " + OutputPath("element-tools-order.png") + " Untitled*\n" +
        "panel " + copy + "\nmenu File > Save a Copy...\n" +
        "close Untitled*\nbutton Don't Save\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    // Front to back: the first frame drawn (the left one) is in front now.
    const std::string dump = DumpSheet(saved, kDumpElements);
    std::vector<int> lefts;
    const std::regex frame("kind 3 [^(\n]*\\((-?[0-9]+),");
    for (auto it = std::sregex_iterator(dump.begin(), dump.end(), frame); it != std::sregex_iterator(); ++it)
        lefts.push_back(std::stoi((*it)[1].str()));
    ASSERT_EQ(lefts.size(), 2u) << dump;
    EXPECT_LT(lefts[0], lefts[1]) << dump;
}

// A frame's corner handle dragged out grows it; dragged onto the opposite side it is refused and
// the frame stays as it was.
TEST_F(ElementToolsRun, ACornerHandleReshapesAndAShapeWithoutAreaIsRefused) {
    const std::string grown = dir.path() + "/grown.SHX", refused = dir.path() + "/refused.SHX";
    const std::string script =
        "wait-window Untitled*\n"
        "wait-drawn Untitled*\n" +
        PaletteClick(kRectangleButton) + "drag 98 207 206 267\n" +
        PaletteClick(0) + "click 122 207\n" +
        "drag 206 267 254 315\n" +
        "panel " + grown + "\nmenu File > Save a Copy...\n" +
        "drag 254 315 98 315\n" +
        "panel " + refused + "\nmenu File > Save a Copy...\n" +
        "close Untitled*\nbutton Don't Save\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    const auto frame = [&](const std::string& path) {
        SheetRecord* saved = Load(path);
        if (!saved) return std::string("none");
        std::smatch m;
        const std::string dump = DumpSheet(saved, kDumpElements);
        return std::regex_search(dump, m, std::regex("kind 3 [^(\n]*(\\([-0-9,]+\\)-\\([-0-9,]+\\))")) ? m[1].str()
                                                                                                     : dump;
    };
    EXPECT_EQ(frame(grown), "(60,96)-(216,204)");
    EXPECT_EQ(frame(refused), "(60,96)-(216,204)");
}

#endif

}  // namespace
}  // namespace plexa::test
