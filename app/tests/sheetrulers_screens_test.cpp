// A sheet in the running editor with its grid and rulers shown from the View menu, after keys
// and clicks in its pane: a picture under <build>/test-output/ for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/pixels.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(SheetRulersScreens, GridAndRulersShownFromTheViewMenu) {
    const std::string picture = OutputPath("sheet-rulers-running.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "menu View > Show Grid\n"
        "menu View > Show rulers\n"
        "log-menu View\n"
        "# keys and clicks in the pane: a tool key, a click and a drag on empty sheet space\n"
        "key w\n"
        "click 300 300\n"
        "drag 200 200 260 240\n"
        "wait-drawn Untitled 1\n"
        "screenshot " + picture + " Untitled 1\n"
        "close Untitled 1\n"
        "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("  Hide rulers\t").size(), 1u) << result.errors;
    VXPixels* shot = VXCreatePixelImageFromURL(picture.c_str(), false, nullptr);
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(shot->depth, 32);
    int corner = 0;
    for (int y = 0; y < shot->height; ++y)
        for (int x = 0; x < shot->width; ++x) {
            uint32_t word = 0;
            std::memcpy(&word, shot->bits + size_t(y) * shot->rowBytes + 4 * size_t(x), 4);
            corner += (word & 0xFFFFFF) == 0xBBBBBB;
        }
    EXPECT_GT(corner, 100);  // the grey corner where the rulers meet
    VXDestroyPixelImage(shot);
}

// The rulers in a screenshot: the grey corner where they meet (its inside, 8 by 8 at least), and
// dark tick marks along the top ruler, right of the corner, and the left one, below it.
struct RulersSeen {
    bool corner = false;
    int topTicks = 0, leftTicks = 0;
};

RulersSeen RulersIn(const std::string& picture) {
    RulersSeen seen;
    VXPixels* shot = VXCreatePixelImageFromURL(picture.c_str(), false, nullptr);
    if (!shot || shot->depth != 32) {
        if (shot) VXDestroyPixelImage(shot);
        return seen;
    }
    const auto rgb = [shot](int x, int y) {
        if (x < 0 || y < 0 || x >= shot->width || y >= shot->height) return 0xFFFFFFu;
        uint32_t word = 0;
        std::memcpy(&word, shot->bits + size_t(y) * shot->rowBytes + 4 * size_t(x), 4);
        return word & 0xFFFFFF;
    };
    const auto dark = [&rgb](int x, int y) {
        const uint32_t c = rgb(x, y);
        return std::max({c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF}) < 0x60;
    };
    const auto greyBlock = [&rgb](int x, int y) {
        for (int dy = 0; dy < 8; ++dy)
            for (int dx = 0; dx < 8; ++dx)
                if (rgb(x + dx, y + dy) != 0xBBBBBB) return false;
        return true;
    };
    int cx = -1, cy = -1;
    for (int y = 0; y < shot->height && cx < 0; ++y)
        for (int x = 0; x < shot->width && cx < 0; ++x)
            if (greyBlock(x, y)) cx = x, cy = y;
    if (cx >= 0) {
        seen.corner = true;
        for (int y = cy; y < cy + 12; ++y)
            for (int x = cx + 16; x < cx + 400; ++x) seen.topTicks += dark(x, y);
        for (int y = cy + 16; y < cy + 400; ++y)
            for (int x = cx; x < cx + 12; ++x) seen.leftTicks += dark(x, y);
    }
    VXDestroyPixelImage(shot);
    return seen;
}

// A zoomed sheet scrolls to keep its middle in view: the rulers stay, at each scale, after the
// window is redrawn too.
TEST(SheetRulersScreens, RulersStayWhenTheSheetIsZoomed) {
    struct Step {
        const char* name;
        const char* commands;
    };
    const Step steps[] = {
        {"100", ""},
        {"150", "menu View > Zoom In\nwait-drawn Untitled 1\nmenu View > Redraw Window\n"},
        {"50", "menu View > Zoom Out\nmenu View > Zoom Out\nmenu View > Zoom Out\n"},
    };
    std::string script =
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "menu View > Show rulers\n";
    std::vector<std::string> pictures;
    for (const Step& step : steps) {
        pictures.push_back(OutputPath(std::string("sheet-rulers-zoom-") + step.name + ".png"));
        std::remove(pictures.back().c_str());
        script += std::string(step.commands) + "wait-drawn Untitled 1\nscreenshot " + pictures.back() +
                  " Untitled 1\n";
    }
    script += "log-menu View\nclose Untitled 1\nbutton Don't Save\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("  Hide rulers\t").size(), 1u) << result.errors;
    for (size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(pictures[i]);
        const RulersSeen seen = RulersIn(pictures[i]);
        EXPECT_TRUE(seen.corner);
        EXPECT_GT(seen.topTicks, 40);
        EXPECT_GT(seen.leftTicks, 40);
    }
}

// The fill colour popup opened from the top tool bar's button over a sheet with its rulers shown:
// one picture of the screen, popup included.
TEST(SheetRulersScreens, TheFillColourPopupOpensOverTheRulers) {
    const std::string picture = OutputPath("sheet-rulers-colour-popup.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "menu View > Show rulers\n"
        "wait-drawn Untitled 1\n"
        "# the fill colour button of the expanded top tool bar\n"
        "click 136 92\n"
        "log-windows\n"
        "screenshot-screen " + picture + "\n"
        "key Escape\n"
        "close Untitled 1\n"
        "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::vector<std::string> windows = result.Lines("windows: ");
    ASSERT_EQ(windows.size(), 1u) << result.errors;
    EXPECT_EQ(windows[0], "windows:  | Untitled 1");  // the popup (untitled) in front of the sheet
    VXPixels* shot = VXCreatePixelImageFromURL(picture.c_str(), false, nullptr);
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(shot->depth, 32);
    int corner = 0, coloured = 0;
    for (int y = 0; y < shot->height; ++y)
        for (int x = 0; x < shot->width; ++x) {
            uint32_t word = 0;
            std::memcpy(&word, shot->bits + size_t(y) * shot->rowBytes + 4 * size_t(x), 4);
            const int r = int(word >> 16 & 0xFF), g = int(word >> 8 & 0xFF), b = int(word & 0xFF);
            corner += (word & 0xFFFFFF) == 0xBBBBBB;
            coloured += std::max({r, g, b}) - std::min({r, g, b}) > 80;  // the palette's strong colours
        }
    EXPECT_GT(corner, 100);
    EXPECT_GT(coloured, 2000);
    VXDestroyPixelImage(shot);
}

// An arrow key in the sheet pane nudges the selection and so marks the sheet changed: closing it
// then asks about saving (the key reached the sheet's key handling, not the default one).
TEST(SheetRulersScreens, AnArrowKeyInThePaneMarksTheSheetChanged) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "key Up\n"
        "close Untitled 1\n"
        "log-windows\n"
        "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // Unchanged, the sheet would have gone at the close, and the program with it.
    const std::vector<std::string> windows = result.Lines("windows: ");
    ASSERT_EQ(windows.size(), 1u) << result.errors;
    EXPECT_NE(windows[0].find("Untitled 1"), std::string::npos) << windows[0];
}

#endif

}  // namespace
}  // namespace plexa::test
