// Tooltips driven by scripted mouse input under the test clock: the delay over a control, the
// tooltip going on mouse-out and on a click, rectangle tooltips of a pane, records kept once per
// control, following moved controls, and the application switch.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "platform/tooltip_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/controls_fixture.h"
#include "toolkit/vx_tooltips.h"

namespace plexa::test {
namespace {

class ToolTips : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        VXSetToolTipsEnabled(true);
        button = Make(kVXPushButton, {20, 20, 44, 120}, "Apply", 1);
        ASSERT_NE(button, nullptr);
    }
    void Move(int32_t x, int32_t y, PlatformInputKind kind = PlatformInputKind::kMouseMoved) {
        PlatformInputEvent event;
        event.kind = kind;
        event.windowID = window->windowID;
        event.x = x;
        event.y = y;
        event.clickCount = kind == PlatformInputKind::kMouseDown ? 1 : 0;
        TestQueueInput(event);
        // The queued input is delivered, then the clock moves on by a little.
        PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros() + 10'000);
    }
    // Lets the clock run by the given time.
    static void Wait(int64_t micros) {
        PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros() + micros);
    }
    static std::string Shown() {
        std::string text;
        return PlatformToolTipShown(&text) ? text : "(none)";
    }
    VXControlRecordTag* button = nullptr;
};

TEST_F(ToolTips, AppearsAfterTheDelayAndGoesOnMouseOut) {
    ASSERT_EQ(VXAddToolTip(window, -1, kVXControlToolTip, button, 1, "Applies the change"), 0);
    Move(60, 30);
    EXPECT_EQ(Shown(), "(none)");
    Wait(kPlatformToolTipDelayMicros / 2);
    EXPECT_EQ(Shown(), "(none)");
    Wait(kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "Applies the change");
    Move(70, 32);  // moving within the control keeps it
    EXPECT_EQ(Shown(), "Applies the change");
    Move(300, 200);
    EXPECT_EQ(Shown(), "(none)");
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "(none)");

    // A click hides it, and it does not come back until the mouse has left the control.
    Move(60, 30);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "Applies the change");
    Move(60, 30, PlatformInputKind::kMouseDown);
    EXPECT_EQ(Shown(), "(none)");
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "(none)");
}

TEST_F(ToolTips, ControlRecordsAndTheirLocations) {
    // Looked up by item when no control is given; a second add keeps the one record.
    EXPECT_EQ(VXAddToolTip(window, -1, kVXControlToolTip, nullptr, 1, "first"), 0);
    EXPECT_EQ(VXAddToolTip(window, -1, kVXControlToolTip, button, 1, "second"), 0);
    EXPECT_EQ(VXCountToolTips(window), 1);
    EXPECT_STREQ(VXGetToolTipText(window, 0), "first");
    EXPECT_EQ(VXAddToolTip(window, -1, kVXControlToolTip, nullptr, 99, "no such control"), -1);
    EXPECT_EQ(VXAddToolTip(window, -1, kVXRectToolTip, nullptr, 5, "no rectangle"), -1);
    EXPECT_EQ(VXGetControlToolTip(window, 1), 0);
    EXPECT_EQ(VXGetControlToolTip(window, 2), -1);

    // The control moves; its tooltip follows once the locations are updated.
    const Rect moved = {200, 300, 224, 400};
    VXSetControlRect(button, &moved);
    VXUpdateControlToolTipLocations(window);
    Move(60, 30);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "(none)");
    Move(350, 210);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "first");

    // A control going away takes its tooltip along.
    VXKillControlToolTips(button);
    EXPECT_EQ(VXCountToolTips(window), 0);
    EXPECT_EQ(Shown(), "(none)");
    EXPECT_EQ(PlatformToolTipCount(window->platformWindow), 0);
}

TEST_F(ToolTips, RectanglesOfAPaneKeepTheirOwnTexts) {
    // Two rectangles with the same item number: each shows its own text.
    const LRect left = {100, 20, 140, 120}, right = {100, 200, 140, 300};
    ASSERT_EQ(VXAddToolTip(window, -1, kVXRectToolTip, &left, 0, "left area"), 0);
    ASSERT_EQ(VXAddToolTip(window, -1, kVXRectToolTip, &right, 0, "right area"), 1);
    Move(50, 120);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "left area");
    Move(250, 120);
    EXPECT_EQ(Shown(), "(none)");
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "right area");

    // Killing a record moves the later ones down; killing all removes every registration.
    VXKillToolTip(window, 0);
    EXPECT_EQ(VXCountToolTips(window), 1);
    EXPECT_STREQ(VXGetToolTipText(window, 0), "right area");
    EXPECT_EQ(Shown(), "right area");
    VXKillAllToolTips(window);
    EXPECT_EQ(VXCountToolTips(window), 0);
    EXPECT_EQ(Shown(), "(none)");
    EXPECT_EQ(PlatformToolTipCount(window->platformWindow), 0);
}

TEST_F(ToolTips, TheApplicationSwitch) {
    VXAddToolTip(window, -1, kVXControlToolTip, button, 1, "Applies the change");
    EXPECT_TRUE(VXSetToolTipsEnabled(false));
    Move(60, 30);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "(none)");
    EXPECT_FALSE(VXSetToolTipsEnabled(true));
    Move(300, 200);
    Move(60, 30);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "Applies the change");
    // The window's release takes its records and registrations along.
    PlatformWindow* platform = window->platformWindow;
    EXPECT_EQ(PlatformToolTipCount(platform), 1);
    VXDestroyWindow(window);
    window = nullptr;
    EXPECT_EQ(Shown(), "(none)");
}

TEST_F(ToolTips, HiddenOrDestroyedControlsShowNothing) {
    VXAddToolTip(window, -1, kVXControlToolTip, button, 1, "Applies the change");
    VXControlRecordTag* other = Make(kVXPushButton, {60, 20, 84, 120}, "Other", 2);
    VXAddToolTip(window, -1, kVXControlToolTip, other, 2, "Another");
    VXSetControlVisibility(button, false);
    Move(60, 30);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "(none)");
    // A destroyed control takes its tooltip with it.
    VXDestroyControl(window, 2);
    Move(60, 70);
    Wait(2 * kPlatformToolTipDelayMicros);
    EXPECT_EQ(Shown(), "(none)");
    VXUpdateControlToolTipLocations(window);
    EXPECT_EQ(VXCountToolTips(window), 1);
}

TEST_F(ToolTips, Screenshot) {
    Make(kVXCheckBox, {60, 20, 80, 200}, "Show grid", 2);
    VXAddToolTip(window, -1, kVXControlToolTip, button, 1, "Applies the change to the sheet");
    VXUpdateWindow(window);
    Move(60, 30);
    Wait(2 * kPlatformToolTipDelayMicros);
    ASSERT_EQ(Shown(), "Applies the change to the sheet");
    const std::string png = WriteScreenshot(window, "tooltips-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test
