// The sheet window's tool bars in the running editor: a click on each button of the tool palette
// chooses its tool (the button stays pressed, the one before comes up; the shortcut tools only
// open their menu), "Zoom Area" stays pressed in zoom mode, and pictures of the expanded and the
// collapsed top bar under <build>/test-output/ for a person to look at.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/pixels.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The palette's buttons from the top, as a new sheet shows them (no sub-sheet tool).
struct PaletteButton {
    const char* name;
    bool shortcutMenu;
};
constexpr PaletteButton kPalette[] = {
    {"select", false}, {"text", false},   {"part", false},     {"wire", false},      {"bus", false},
    {"power", true},   {"port", true},    {"component", true}, {"line", false},      {"rectangle", false},
    {"oval", false},   {"arc", false},    {"polygon", false},  {"roundrect", false}, {"arrow", false},
};
constexpr int kPaletteCount = int(sizeof kPalette / sizeof kPalette[0]);
// The palette starts below the expanded top bar (110) and its divider.
constexpr int kPaletteTop = 111;

class Picture {
public:
    explicit Picture(const std::string& path) : image_(VXCreatePixelImageFromURL(path.c_str(), false, nullptr)) {}
    ~Picture() { VXDestroyPixelImage(image_); }
    bool ok() const { return image_ && image_->depth == 32; }
    // The grey level of a pixel (0 black, 255 white).
    int Grey(int x, int y) const {
        if (y < 0 || y >= image_->height || x < 0 || x >= image_->width) return -1;
        uint32_t word = 0;
        std::memcpy(&word, image_->bits + size_t(y) * image_->rowBytes + 4 * size_t(x), 4);
        return int(((word >> 16) & 0xFF) + ((word >> 8) & 0xFF) + (word & 0xFF)) / 3;
    }
    // The first row from the top (below the menu bar) where the left edge of the window is dark:
    // the divider under the top tool bar.
    int Divider() const {
        for (int y = 25; y < image_->height; ++y)
            if (Grey(2, y) < 128 && Grey(7, y) < 128) return y;
        return -1;
    }
    // The pressed palette buttons (their face is drawn darker than a button that is up).
    std::vector<int> Pressed() const {
        std::vector<int> pressed;
        const int divider = Divider();
        for (int n = 0; n < kPaletteCount; ++n)
            if (Grey(7, divider + 1 + 4 + 31 * n + 10) < 230) pressed.push_back(n);
        return pressed;
    }

private:
    VXPixels* image_;
};

TEST(ToolBarScreens, EachPaletteButtonChoosesItsTool) {
    const std::string expanded = OutputPath("toolbars-expanded.png");
    const std::string collapsed = OutputPath("toolbars-collapsed.png");
    std::string script =
        "wait-window Untitled*\n"
        "wait-drawn Untitled*\n"
        "screenshot " + expanded + " Untitled*\n";
    std::vector<std::string> shots;
    for (int n = 0; n < kPaletteCount; ++n) {
        // A shortcut tool's menu is dismissed: its group is empty.
        if (kPalette[n].shortcutMenu) script += "popup -1\n";
        script += "click 18 " + std::to_string(kPaletteTop + 4 + 31 * n + 14) + "\n";
        shots.push_back(OutputPath(std::string("toolbars-tool-") + kPalette[n].name + ".png"));
        script += "screenshot " + shots.back() + " Untitled*\n";
    }
    // "Zoom Area" in the expanded bar (its button at {76, 4, 105, 33}) stays pressed in zoom mode.
    const std::string zoom = OutputPath("toolbars-zoom-area.png");
    script += "click 18 90\n"
              "screenshot " + zoom + " Untitled*\n"
              "click 17 19\n"
              "screenshot " + collapsed + " Untitled*\n"
              "quit\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(script);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    {
        Picture first(expanded);
        ASSERT_TRUE(first.ok());
        EXPECT_EQ(first.Pressed(), std::vector<int>{0});  // a new sheet starts with the select tool
    }
    int current = 0;
    for (int n = 0; n < kPaletteCount; ++n) {
        Picture picture(shots[size_t(n)]);
        ASSERT_TRUE(picture.ok()) << kPalette[n].name;
        // A tool button stays pressed alone; a shortcut tool leaves the tool as it was.
        if (!kPalette[n].shortcutMenu) current = n;
        EXPECT_EQ(picture.Pressed(), std::vector<int>{current}) << kPalette[n].name;
    }
    {
        Picture before(expanded), after(zoom);
        ASSERT_TRUE(after.ok());
        const int zoomRow = before.Divider() - 110 + 76 + 10;
        EXPECT_GT(before.Grey(7, zoomRow), 235);
        EXPECT_LT(after.Grey(7, zoomRow), 230);
    }
    // Collapsed, the palette moves up to just under the 37-point bar.
    Picture small(collapsed);
    ASSERT_TRUE(small.ok());
    Picture big(expanded);
    EXPECT_EQ(big.Divider() - small.Divider(), 110 - 37);
}

#endif

}  // namespace
}  // namespace plexa::test
