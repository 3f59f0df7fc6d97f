// The save question of a modified sheet in the running editor: it shows the application's icon
// beside the message, a click on the icon does nothing, and "d" answers Don't Save.
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

// The icon's item in the question: 64 by 64 pixels from (20, 16).
constexpr int kIconLeft = 20, kIconTop = 16;

TEST(SaveQuestion, ShowsTheApplicationsIconThatTakesNoClick) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string shot = OutputPath("save-question.png");
    std::remove(shot.c_str());
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\nwait-drawn Untitled 1\n"
        // A rectangle drawn with the palette's rectangle tool (its tenth button).
        "click 18 " + std::to_string(111 + 4 + 31 * 9 + 14) + "\ndrag 280 180 360 240\n"
        "close Untitled 1\n"
        // The question has no title of its own: its window is named after the program.
        "wait-window Plexa\nwait-drawn Plexa\nscreenshot " + shot + " Plexa\n"
        "click " + std::to_string(kIconLeft + 32) + " " + std::to_string(kIconTop + 32) + "\n"
        "pause 100\nlog-windows\n"
        "key d\n");
    // The click on the icon left the question up; "d" closed the sheet, the last window, and with
    // it the program.
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Plexa | Untitled 1"}) << result.errors;
    VXPixels* picture = VXCreatePixelImageFromURL(shot.c_str(), false, nullptr);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->depth, 32);
    // The icon's orange rounded square, at its left edge halfway down.
    uint32_t word = 0;
    std::memcpy(&word, picture->bits + size_t(kIconTop + 32) * picture->rowBytes + 4 * size_t(kIconLeft + 6), 4);
    const int red = int((word >> 16) & 0xFF), blue = int(word & 0xFF);
    EXPECT_GT(red, 200);
    EXPECT_LT(blue, 150);
    VXDestroyPixelImage(picture);
}

#endif

}  // namespace
}  // namespace plexa::test
