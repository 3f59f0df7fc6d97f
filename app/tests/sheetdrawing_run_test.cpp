// How the running editor draws a sheet and answers the pointer over it: the colours of the
// preferences (and the preferences dialog changing them on the open sheet at once), a selected
// filled rectangle keeping its fill under its handles and unfilled by "Empty" of the fill popup,
// a found unterminated wire scrolled into view with its free end flashing, and the crosshair over
// a selection handle. Pictures under <build>/test-output/.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/elements.h"
#include "model/sheetdump.h"
#include "tests/support/graphics_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The pad's point (h, v) in the window's content at 100 %: the sheet pane lies right of the tool
// palette and below the tool bar.
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 38); }

// Pixels of a picture's sheet pane (below the menu and tool bars, right of the palette).
bool Blue(uint32_t r, uint32_t g, uint32_t b) { return b > 200 && r < 80 && g < 80; }
bool Red(uint32_t r, uint32_t g, uint32_t b) { return r > 200 && g < 80 && b < 80; }
bool Black(uint32_t r, uint32_t g, uint32_t b) { return r < 60 && g < 60 && b < 60; }
template <class Test>
PicturePixels PanePixels(const std::string& picture, Test test) {
    return FindPicturePixels(picture, test, 40, 60, 735, 690);
}

const std::string kOpenPrefs = "menu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\nclick 372 17\n";
const std::string kConfirmPrefs = "button OK\nwait-no-window Preferences\n";

class SheetDrawingRun : public SheetContentsTest {
protected:
    std::string Shot(const std::string& name, const std::string& window) {
        return "screenshot " + OutputPath(name) + " " + window + "\n";
    }
};

// A wire with free ends is drawn in the signals' colour of the preferences (blue); the signals'
// well set to red and the background's to yellow in the preferences dialog redraw the sheet so at
// once, and the Monochrome switch then black on white.
TEST_F(SheetDrawingRun, TheSheetTakesThePreferencesColoursAndFollowsTheirDialog) {
    Draw({P(100, 100), P(300, 100)});
    const std::string sheet = WriteSheetAtScale("Colours.SHX", 100);
    const std::string blue = OutputPath("sheetdrawing-colours-blue.png"),
                      red = OutputPath("sheetdrawing-colours-red.png"),
                      mono = OutputPath("sheetdrawing-colours-monochrome.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result =
        run.Run("wait-window Colours\nwait-drawn Colours\n" + Shot("sheetdrawing-colours-blue.png", "Colours") +
                    kOpenPrefs + "click 279 183\nchoose Red\nclick 279 243\nchoose Yellow\n" + kConfirmPrefs +
                    Shot("sheetdrawing-colours-red.png", "Colours") + kOpenPrefs + "popup 0\nclick 261 53\n" +
                    kConfirmPrefs + Shot("sheetdrawing-colours-monochrome.png", "Colours") + "quit\n",
                {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The wire is 200 units long: most of its length shows in each colour in turn.
    EXPECT_GT(PanePixels(blue, Blue).count, 150);
    EXPECT_EQ(PanePixels(blue, Red).count, 0);
    EXPECT_GT(PanePixels(red, Red).count, 150);
    EXPECT_EQ(PanePixels(red, Blue).count, 0);
    // The background's well set to yellow fills the pane.
    const auto yellow = [](uint32_t r, uint32_t g, uint32_t b) { return r > 200 && g > 200 && b < 80; };
    EXPECT_GT(PanePixels(red, yellow).count, 100000);
    EXPECT_EQ(PanePixels(mono, yellow).count, 0);
    EXPECT_GT(PanePixels(mono, Black).count, 150);
    EXPECT_EQ(PanePixels(mono, Red).count + PanePixels(mono, Blue).count, 0);
}

// A filled rectangle clicked with the select tool keeps its fill while its handles show, the
// crosshair is the cursor over a handle (the arrow elsewhere), and "Empty" of the fill popup
// unfills it although new elements are unfilled already.
TEST_F(SheetDrawingRun, ASelectedFilledRectangleIsUnfilledByEmpty) {
    LLPush(drawing->elementList, BuildCommonElement(kElementRect, P(100, 100), P(200, 160), 1, 0, 0, true, false, 0,
                                                    true, 0x00FF8000, false));
    const std::string sheet = WriteSheetAtScale("Filled.SHX", 100);
    const std::string copy = dir.path() + "/copy.SHX";
    const std::string selected = OutputPath("sheetdrawing-filled-selected.png"),
                      emptied = OutputPath("sheetdrawing-filled-emptied.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Filled\nwait-drawn Filled\nclick " + At(150, 130) + "\n" +
            Shot("sheetdrawing-filled-selected.png", "Filled") + "move " + At(200, 160) + "\nlog-cursor\nmove " +
            At(150, 200) + "\nlog-cursor\nclick 330 18\nscreenshot-screen " +
            OutputPath("sheetdrawing-fill-popup.png") + "\ndrag 60 165 70 168\n" +
            Shot("sheetdrawing-filled-emptied.png", "Filled") + "panel " + copy +
            "\nmenu File > Save a Copy...\nclose Filled\nbutton Don't Save\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("cursor "), (std::vector<std::string>{"cursor crosshair", "cursor arrow"}));
    // Orange inside while selected; none after "Empty".
    const auto orange = [](uint32_t r, uint32_t g, uint32_t b) { return r > 200 && g > 100 && g < 160 && b < 60; };
    EXPECT_GT(PanePixels(selected, orange).count, 3000);
    EXPECT_EQ(PanePixels(emptied, orange).count, 0);
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    auto* element = static_cast<ElementRecord*>(LLFirst(saved->elementList));
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->flags & kElementFilled, 0) << DumpSheet(saved, kDumpElements);
    EXPECT_EQ(element->fillColor, 0x00FF8000u);  // the fill colour stays for a later fill
}

// The Zoom Area button puts the sheet in zoom mode (its cursor an image); another sheet brought
// in front ends it: the button comes up and the sheet's cursor is the arrow again.
TEST_F(SheetDrawingRun, ZoomModeEndsWhenTheSheetLosesTheFront) {
    const std::string sheet = WriteSheetAtScale("Zoomed.SHX", 100);
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result =
        run.Run("wait-window Zoomed\nwait-drawn Zoomed\nclick 90 18\nlog-cursor Zoomed\n" +
                    Shot("sheetdrawing-zoom-mode.png", "Zoomed") +
                    "menu File > New > Schematic Sheet\nwait-window Untitled*\nwait-drawn Untitled*\n"
                    "log-cursor Zoomed\nmenu Window > Zoomed\n" +
                    Shot("sheetdrawing-zoom-ended.png", "Zoomed") + "quit\n",
                {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("cursor "), (std::vector<std::string>{"cursor image", "cursor arrow"}));
}

// With the library part tool the part follows the pointer over the sheet in the tracking
// overlay; another sheet brought in front closes the overlay, so the part no longer shows in the
// sheet left behind.
TEST_F(SheetDrawingRun, TheTrackingOverlayClosesWhenTheSheetLosesTheFront) {
    const std::string before = OutputPath("sheetdrawing-track-before.png"),
                      tracked = OutputPath("sheetdrawing-track-shown.png"),
                      behind = OutputPath("sheetdrawing-track-behind.png");
    // The untitled sheet's library pane takes the typed name; the library part tool then
    // carries the item.
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\nwait-drawn Untitled 1\nclick 470 45\ntype Resistor\nclick 18 190\n"
        "screenshot " + before + " Untitled 1\nmove 400 300\nmove 402 302\n"
        "screenshot " + tracked + " Untitled 1\n"
        "menu File > New > Schematic Sheet\nwait-window Untitled 2\nwait-drawn Untitled 2\n"
        "screenshot " + behind + " Untitled 1\nquit\n",
        {});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The part's ink around the pointer (the menu bar lies above the content).
    const auto ink = [](const std::string& picture) {
        return CountPicturePixels(
            picture, [](uint32_t r, uint32_t g, uint32_t b) { return std::min({r, g, b}) < 160; }, 340, 262, 470,
            392);
    };
    EXPECT_EQ(ink(before), 0);
    EXPECT_GT(ink(tracked), 20);
    EXPECT_EQ(ink(behind), 0);
}

// Find with "Search for unterminated wires" on a wire out of view: the view scrolls to it and
// its free end flashes, a ring around the end in the lit phase, none in the dark one.
TEST_F(SheetDrawingRun, AFoundUnterminatedWireIsScrolledToAndItsEndFlashes) {
    Draw({P(900, 700), P(960, 700)});
    const std::string sheet = WriteSheetAtScale("Loose.SHX", 100);
    constexpr int kShots = 8;
    std::string shots;
    for (int i = 0; i < kShots; ++i)
        shots += Shot("sheetdrawing-found-end-" + std::to_string(i) + ".png", "Loose");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Loose\nwait-drawn Loose\n" + Shot("sheetdrawing-found-before.png", "Loose") +
            "menu Tools > Find...\nwait-window Find and Change\nclick 118 21\n"
            "button Search for unterminated wires\nbutton Find\nwait-no-window Find and Change\n" +
            shots + "quit\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(PanePixels(OutputPath("sheetdrawing-found-before.png"), Blue).count, 0);
    // The wire shows in every picture; the ring makes the blue reach 5 above and below it.
    int ringed = 0, plain = 0;
    for (int i = 0; i < kShots; ++i) {
        const PicturePixels blue = PanePixels(OutputPath("sheetdrawing-found-end-" + std::to_string(i) + ".png"), Blue);
        EXPECT_GT(blue.count, 40) << i;
        (blue.bottom - blue.top >= 9 ? ringed : plain) += 1;
    }
    EXPECT_GT(ringed, 0);
}

#endif

}  // namespace
}  // namespace plexa::test
