// Tooltips of the platform: a rectangle over a native control shows its text once the mouse
// rests over the control for the delay (the control hears of the mouse, not the content view),
// and the tooltip goes when the mouse leaves the window or the rectangle is removed.
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <string>

#include "platform/tests/platform_fixture.h"
#include "platform/tooltip_platform.h"
#include "platform/window_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa::test {
namespace {

using PlatformToolTips = PlatformTest;

TEST_F(PlatformToolTips, OverANativeControl) {
    PlatformWindow* window =
        PlatformWindowCreate(21, PlatformWindowKind::kDocument, 0, "w", {0, 0, 200, 120});
    ASSERT_NE(window, nullptr);
    PlatformWindowShow(window, true);
    QWidget* view = PlatformWindowContentWidget(window);
    auto* button = new QPushButton("Go", view);
    button->setGeometry(20, 20, 80, 24);
    button->show();
    PlatformSetToolTipTextProc([](int32_t id, uint64_t, uint64_t data) {
        return id == 21 && data == 5 ? std::string("Goes on") : std::string();
    });
    const uint64_t tag = PlatformToolTipAdd(window, {20, 20, 80, 24}, 5);
    ASSERT_NE(tag, 0u);
    EXPECT_EQ(PlatformToolTipAdd(window, {0, 0, 0, 10}, 5), 0u);
    EXPECT_EQ(PlatformToolTipCount(window), 1);

    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &move);
    EXPECT_FALSE(PlatformToolTipShown());
    TestClockAdvance(kPlatformToolTipDelayMicros + 1);
    std::string text;
    uint64_t shown = 0;
    ASSERT_TRUE(PlatformToolTipShown(&text, &shown));
    EXPECT_EQ(text, "Goes on");
    EXPECT_EQ(shown, tag);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view, &leave);
    EXPECT_FALSE(PlatformToolTipShown());

    QCoreApplication::sendEvent(button, &move);
    TestClockAdvance(kPlatformToolTipDelayMicros + 1);
    EXPECT_TRUE(PlatformToolTipShown());
    PlatformToolTipRemove(tag);
    EXPECT_FALSE(PlatformToolTipShown());
    EXPECT_EQ(PlatformToolTipCount(window), 0);
    PlatformSetToolTipTextProc(nullptr);
    PlatformWindowDestroy(window);
}

}  // namespace
}  // namespace plexa::test
