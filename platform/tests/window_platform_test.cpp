// Platform windows: the pre-dispatch hook that sees a click on a native control first, a
// window destroyed by the drawing it asked for, windows kept on the screen, and the window at a
// screen point.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <vector>

#include "platform/app_platform.h"
#include "platform/tests/platform_fixture.h"
#include "platform/window_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa::test {
namespace {

using PlatformWindows = PlatformTest;

TEST_F(PlatformWindows, PreDispatchSeesTheClickFirstAndMaySwallowIt) {
    PlatformWindow* window =
        PlatformWindowCreate(7, PlatformWindowKind::kDocument, 0, "w", {0, 0, 200, 100});
    ASSERT_NE(window, nullptr);
    auto* button = new QPushButton("OK", PlatformWindowContentWidget(window));
    button->setGeometry(20, 30, 60, 20);
    PlatformInstallControlPreDispatch(button, 7);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    static std::vector<PlatformInputEvent> seen;
    static bool swallow;
    seen.clear();
    PlatformSetControlPreDispatch([](int32_t id, void*, const PlatformInputEvent& e) {
        seen.push_back(e);
        EXPECT_EQ(id, 7);
        return swallow;
    });
    const auto click = [&] {
        const QPointF at(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &press);
        QCoreApplication::sendEvent(button, &release);
    };
    swallow = true;
    click();
    EXPECT_EQ(clicks, 0);
    swallow = false;
    click();
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(seen.size(), 2u);
    // The point is in the control's superview: the content view.
    EXPECT_EQ(seen[0].x, 25);
    EXPECT_EQ(seen[0].y, 35);
    PlatformSetControlPreDispatch(nullptr);
    PlatformWindowDestroy(window);
}

TEST_F(PlatformWindows, CommandKeysInATextFieldAreOfferedFirst) {
    PlatformWindow* window =
        PlatformWindowCreate(9, PlatformWindowKind::kModal, 0, "w", {0, 0, 200, 100});
    auto* field = new QLineEdit("text", PlatformWindowContentWidget(window));
    PlatformInstallControlPreDispatch(field, 9);
    static std::vector<uint16_t> offered;
    offered.clear();
    PlatformSetKeyEquivalentHook([](int32_t id, uint16_t character, uint32_t modifiers) {
        EXPECT_EQ(id, 9);
        EXPECT_EQ(modifiers, kPlatformModCommand);
        offered.push_back(character);
        return character == 'x';
    });
    const auto type = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(field, &press);
    };
    field->selectAll();
    type(Qt::Key_X, Qt::ControlModifier, QString(QChar(24)));  // used up: the field keeps its text
    EXPECT_EQ(field->text(), "text");
    type(Qt::Key_A, Qt::NoModifier, "a");                      // plain typing is the field's
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(offered, (std::vector<uint16_t>{'x'}));
    PlatformSetKeyEquivalentHook(nullptr);
    PlatformWindowDestroy(window);
}

PlatformWindow* gDoomed = nullptr;

TEST_F(PlatformWindows, AWindowDestroyedByItsOwnDrawingGoesAfterwards) {
    PlatformWindowCallbacks callbacks;
    callbacks.draw = [](int32_t, PlatformRect) {
        PlatformWindowDrawContext(gDoomed);
        PlatformWindowDestroy(gDoomed);
    };
    PlatformSetWindowCallbacks(callbacks);
    gDoomed = PlatformWindowCreate(8, PlatformWindowKind::kFloating, 0, "w", {0, 0, 50, 50});
    PlatformWindowInvalidate(gDoomed, {});
    EXPECT_TRUE(PlatformWindowNeedsDisplay(gDoomed));
    PlatformWindowDisplay(gDoomed);
    for (int32_t id : PlatformWindowOrder()) EXPECT_NE(id, 8);
    PlatformSetWindowCallbacks({});
}

// An overlay that ended (a drag's, a band's) is deleted by the program's own run loop, which is not
// Qt's: before, it stayed a hidden child of the view until the window closed, one more per drag.
TEST_F(PlatformWindows, AnEndedOverlayIsDeletedByTheNextTurnOfTheLoop) {
    PlatformWindow* window = PlatformWindowCreate(13, PlatformWindowKind::kDocument, 0, "w", {0, 0, 200, 100});
    QWidget* content = PlatformWindowContentWidget(window);
    ASSERT_NE(content, nullptr);
    const auto before = content->findChildren<QWidget*>();
    PlatformWindowBeginOverlay(window);
    std::vector<QPointer<QWidget>> added;
    for (QWidget* child : content->findChildren<QWidget*>())
        if (!before.contains(child)) added.emplace_back(child);
    ASSERT_FALSE(added.empty());
    PlatformWindowEndOverlay(window);
    PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros());
    for (const QPointer<QWidget>& overlay : added) EXPECT_TRUE(overlay.isNull());
    PlatformWindowDestroy(window);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// A window asked for larger than the screen, or partly off it, is kept within the screen's usable
// area once shown: a resizable one shrinks, a fixed one only moves.
TEST_F(PlatformWindows, ShownWindowsFitTheScreen) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    struct Case {
        uint32_t options;
        PlatformRect content;
        bool keepsSize;
    };
    const Case cases[] = {
        {kPlatformWindowResizable, {area.x() + 40, area.y() + 30, area.width() + 300, area.height() + 200}, false},
        {0, {area.right() - 100, area.bottom() - 50, 300, 200}, true},
        {kPlatformWindowResizable, {area.x() - 500, area.y() - 400, 200, 100}, true},
    };
    for (const Case& c : cases) {
        PlatformWindow* window =
            PlatformWindowCreate(9, PlatformWindowKind::kDocument, c.options, "fit", c.content);
        ASSERT_NE(window, nullptr);
        PlatformWindowShow(window, false);
        const PlatformRect frame = PlatformWindowFrameRect(window);
        EXPECT_GE(frame.x, area.x());
        EXPECT_GE(frame.y, area.y());
        EXPECT_LE(frame.x + frame.width, area.x() + area.width());
        EXPECT_LE(frame.y + frame.height, area.y() + area.height());
        const PlatformRect content = PlatformWindowContentRect(window);
        if (c.keepsSize) {
            EXPECT_EQ(content.width, c.content.width);
            EXPECT_EQ(content.height, c.content.height);
        } else {
            EXPECT_LT(content.width, c.content.width);
        }
        PlatformWindowDestroy(window);
    }
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// The window at a screen point: the front-most shown window whose frame holds it; none beside
// every window, nor where a window is hidden.
TEST_F(PlatformWindows, TheWindowAtAPointIsTheFrontMostShownThere) {
    PlatformWindow* back = PlatformWindowCreate(11, PlatformWindowKind::kDocument, 0, "back", {100, 100, 300, 200});
    PlatformWindow* front = PlatformWindowCreate(12, PlatformWindowKind::kDocument, 0, "front", {250, 150, 300, 200});
    ASSERT_NE(back, nullptr);
    ASSERT_NE(front, nullptr);
    PlatformWindowShow(back, false);
    PlatformWindowShow(front, false);
    const PlatformRect b = PlatformWindowFrameRect(back), f = PlatformWindowFrameRect(front);
    const struct Case {
        const char* what;
        int32_t x, y, id;
    } cases[] = {
        {"the back window alone", b.x + 10, b.y + 10, 11},
        {"where the two overlap", f.x + 10, f.y + 10, 12},
        {"the front window alone", f.x + f.width - 5, f.y + f.height - 5, 12},
        {"beside both", b.x - 20, b.y - 20, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(PlatformWindowAtScreenPoint(c.x, c.y), c.id) << c.what;
    PlatformWindowHide(front);
    EXPECT_EQ(PlatformWindowAtScreenPoint(f.x + 10, f.y + 10), 11);
    PlatformWindowDestroy(front);
    PlatformWindowDestroy(back);
}

}  // namespace
}  // namespace plexa::test
