// Cursors and the mouse of the platform: images with hot spots, the application and window
// cursors, the mouse state that delivered input keeps, and dropped files.
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "platform/cursor_platform.h"
#include "platform/tests/platform_fixture.h"
#include "platform/window_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa::test {
namespace {

using PlatformCursors = PlatformTest;

TEST_F(PlatformCursors, MouseStateFollowsDeliveredInput) {
    struct Step {
        PlatformInputKind kind;
        uint16_t button;
        int32_t x, y;
        uint32_t buttons;
    };
    const Step steps[] = {
        {PlatformInputKind::kMouseDown, 0, 10, 20, 1},  {PlatformInputKind::kMouseDown, 1, 11, 21, 3},
        {PlatformInputKind::kMouseDragged, 2, 30, 40, 3}, {PlatformInputKind::kMouseUp, 0, 31, 41, 2},
        {PlatformInputKind::kMouseUp, 1, 32, 42, 0},    {PlatformInputKind::kMouseMoved, 0, 50, 60, 0},
    };
    for (const Step& step : steps) {
        PlatformInputEvent event;
        event.kind = step.kind;
        event.windowID = 4;
        event.button = step.button;
        event.x = step.x;
        event.y = step.y;
        PlatformDeliverInput(event);
        const PlatformMouseState mouse = PlatformLastMouse();
        EXPECT_EQ(mouse.buttons, step.buttons);
        EXPECT_EQ(mouse.x, step.x);
        EXPECT_EQ(mouse.y, step.y);
        EXPECT_EQ(mouse.windowID, 4);
    }
    TestResetPlatform();
    EXPECT_EQ(PlatformLastMouse().windowID, 0);
}

TEST_F(PlatformCursors, ImagesStandardShapesAndWindows) {
    EXPECT_EQ(PlatformCursorFromImageData(nullptr, 0, 0, 0), nullptr);
    const uint8_t junk[] = {1, 2, 3, 4};
    EXPECT_EQ(PlatformCursorFromImageData(junk, sizeof junk, 0, 0), nullptr);
    PlatformCursor* arrow = PlatformCursorStandard(PlatformStandardCursor::kArrow);
    EXPECT_EQ(PlatformCursorStandard(PlatformStandardCursor::kArrow), arrow);
    PlatformSetCursor(arrow);
    EXPECT_EQ(PlatformCurrentCursor(), arrow);
    PlatformSetCursor(nullptr);
    EXPECT_EQ(PlatformCurrentCursor(), nullptr);

    PlatformWindow* window =
        PlatformWindowCreate(9, PlatformWindowKind::kDocument, 0, "w", {0, 0, 120, 80});
    ASSERT_NE(window, nullptr);
    PlatformWindowSetCursor(window, arrow);
    EXPECT_EQ(PlatformWindowCursor(window), arrow);
    PlatformWindowSetCursor(window, nullptr);
    EXPECT_EQ(PlatformWindowCursor(window), nullptr);
    PlatformWindowDestroy(window);
}

TEST_F(PlatformCursors, DroppedLocalFilesReachTheSink) {
    PlatformWindow* window =
        PlatformWindowCreate(11, PlatformWindowKind::kDocument, 0, "w", {0, 0, 120, 80});
    ASSERT_NE(window, nullptr);
    static std::vector<std::string> dropped;
    static int32_t droppedID;
    dropped.clear();
    PlatformSetFileDropSink([](int32_t id, const std::vector<std::string>& paths) {
        droppedID = id;
        dropped = paths;
    });
    QWidget* view = PlatformWindowContentWidget(window);
    // The view's drop filter sees the drop as it would from a drag session.
    const auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        event.ignore();
        QObject* filter = view->findChild<QObject*>("plexaDropFilter");
        return filter && filter->eventFilter(view, &event) && event.isAccepted();
    };
    EXPECT_FALSE(PlatformWindowAcceptsFileDrops(window));
    PlatformWindowSetAcceptsFileDrops(window, true);
    PlatformWindowSetAcceptsFileDrops(window, true);  // one filter only
    EXPECT_TRUE(PlatformWindowAcceptsFileDrops(window));
    EXPECT_TRUE(drop({QUrl::fromLocalFile("/tmp/a.sch"), QUrl("https://example.org/x"),
                      QUrl::fromLocalFile("/tmp/b c.sch")}));
    EXPECT_EQ(droppedID, 11);
    EXPECT_EQ(dropped, (std::vector<std::string>{"/tmp/a.sch", "/tmp/b c.sch"}));
    dropped.clear();
    EXPECT_FALSE(drop({QUrl("https://example.org/x")}));
    EXPECT_TRUE(dropped.empty());
    PlatformWindowSetAcceptsFileDrops(window, false);
    EXPECT_FALSE(PlatformWindowAcceptsFileDrops(window));
    PlatformSetFileDropSink(nullptr);
    PlatformWindowDestroy(window);
}

}  // namespace
}  // namespace plexa::test
