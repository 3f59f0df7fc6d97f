// List boxes and column headers, headless with scripted input: column hit-testing, a tracked
// click released inside and outside its cell, titles cut at character boundaries, and a
// screenshot of a dialog with a header for a person to look at.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/controls_fixture.h"
#include "toolkit/vx_colheader.h"

namespace plexa::test {
namespace {

PlatformInputEvent Mouse(PlatformInputKind kind, VXWindowRecordTag* window, int32_t x, int32_t y) {
    PlatformInputEvent event;
    event.kind = kind;
    event.windowID = window ? window->windowID : 0;
    event.x = x;
    event.y = y;
    event.clickCount = 1;
    return event;
}

VXColumnHeaderRecord gHeader = nullptr;
int16_t gTracked = -2;

// A window that draws the header and tracks clicks on it.
int32_t HeaderWindow(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXUpdateEvent && gHeader) {
        VXDrawColumnHeader(gHeader);
        return 1;
    }
    if (event->kind == kVXMouseDownEvent && gHeader) {
        gTracked = VXTrackColumnHeader(window, gHeader, event);
        return 1;
    }
    return 0;
}

class ColumnHeader : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        const Rect rect = {10, 0, 30, 400};
        gHeader = VXCreateColumnHeader(nullptr, &rect);
        ASSERT_NE(gHeader, nullptr);
        ASSERT_TRUE(VXAddHeaderColumnEx(gHeader, 0, "Name", 0));
        ASSERT_TRUE(VXAddHeaderColumnEx(gHeader, 120, "Value", 0));
        ASSERT_TRUE(VXAddHeaderColumnEx(gHeader, 260, "Größe", 1));
        gTracked = -2;
    }
    void TearDown() override {
        VXDestroyColumnHeader(gHeader);
        gHeader = nullptr;
        WindowsTest::TearDown();
    }
    VXWindowRecordTag* Window() {
        Rect content = {100, 100, 300, 500};
        VXWindowRecordTag* window = VXCreateWindow(kVXWindowDialog, 0, kVXFlagClosable, 1, 0, 0,
                                                   &content, "Header", 0, nullptr, HeaderWindow);
        VXShowWindow(window);
        VXSelectWindow(window);
        return window;
    }
};

TEST_F(ColumnHeader, HitTestByLeftEdges) {
    const struct {
        int16_t h, column;
    } cases[] = {{-1, -1}, {0, 0}, {119, 0}, {120, 1}, {259, 1}, {260, 2}, {500, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(VXHitTestColumn(gHeader, Point{15, c.h}), c.column) << c.h;
    EXPECT_EQ(VXGetColumnPosition(gHeader, 2), 260);
    EXPECT_EQ(VXGetColumnPosition(gHeader, 3), 0);
    EXPECT_EQ(VXGetColumnPosition(gHeader, -1), 0);
    VXColumnEntry entry;
    EXPECT_GT(VXGetColumnInfo(gHeader, 2, &entry), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(entry.title + 1), entry.title[0]), "Größe");
    EXPECT_EQ(entry.flags, 1);
    EXPECT_EQ(VXGetColumnInfo(gHeader, 3, &entry), -1);
    Rect cell{};
    ASSERT_TRUE(VXGetColumnCellRect(gHeader, 1, &cell));
    EXPECT_EQ(cell.top, 9);
    EXPECT_EQ(cell.left, 120);
    EXPECT_EQ(cell.right, 260);
    ASSERT_TRUE(VXGetColumnCellRect(gHeader, 2, &cell));
    EXPECT_EQ(cell.right, 400);
    // A header without columns hits nothing.
    VXColumnHeaderRecord empty = VXCreateColumnHeader(nullptr, nullptr);
    EXPECT_EQ(VXHitTestColumn(empty, Point{0, 10}), -1);
    VXDestroyColumnHeader(empty);
}

TEST_F(ColumnHeader, LongTitleIsCutAtACharacterBoundary) {
    std::string title(254, 'a');
    title += "é";  // bytes 254 and 255: the second does not fit
    title += "tail";
    ASSERT_TRUE(VXAddHeaderColumnEx(gHeader, 300, title.c_str(), 0));
    VXColumnEntry entry;
    ASSERT_GT(VXGetColumnInfo(gHeader, 3, &entry), 0);
    EXPECT_EQ(entry.title[0], 254);
    // The entry after a cut title is still found whole.
    ASSERT_TRUE(VXAddHeaderColumnEx(gHeader, 340, "Last", 0));
    EXPECT_EQ(VXGetColumnPosition(gHeader, 4), 340);
}

TEST_F(ColumnHeader, TrackingAClickReleasedInsideOrOutside) {
    VXWindowRecordTag* window = Window();
    ASSERT_NE(window, nullptr);
    // Released inside column 1: the column is the answer and the cell is released.
    TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, window, 300, 20));
    TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, window, 150, 20));
    TestQueueInput(Mouse(PlatformInputKind::kMouseUp, window, 150, 20));
    PlatformDeliverInput(Mouse(PlatformInputKind::kMouseDown, window, 130, 20));
    EXPECT_EQ(gTracked, 1);
    VXColumnEntry entry;
    VXGetColumnInfo(gHeader, 1, &entry);
    EXPECT_EQ(entry.pressed, 0);
    // Released outside: -1, the cell released.
    TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, window, 300, 20));
    TestQueueInput(Mouse(PlatformInputKind::kMouseUp, window, 300, 20));
    PlatformDeliverInput(Mouse(PlatformInputKind::kMouseDown, window, 10, 20));
    EXPECT_EQ(gTracked, -1);
    VXGetColumnInfo(gHeader, 0, &entry);
    EXPECT_EQ(entry.pressed, 0);
    EXPECT_EQ(TestQueuedInputCount(), 0);
    // The pressed state is kept per column.
    VXSetColumnHilite(gHeader, 2, true, nullptr, nullptr);
    VXGetColumnInfo(gHeader, 2, &entry);
    EXPECT_EQ(entry.pressed, 1);
    VXSetColumnHilite(gHeader, 7, true, nullptr, nullptr);  // no such column: nothing
}

TEST_F(ColumnHeader, Screenshot) {
    VXWindowRecordTag* window = Window();
    ASSERT_NE(window, nullptr);
    VXSetColumnHilite(gHeader, 1, true, nullptr, nullptr);
    VXInvalRect(window, nullptr);
    VXUpdateWindow(window);
    char folder[4096];
    ASSERT_NE(getcwd(folder, sizeof folder), nullptr);
    const std::string path = std::string(folder) + "/colheader-screenshot.png";
    std::remove(path.c_str());
    ASSERT_TRUE(PlatformWindowGrabPNG(window->platformWindow, path));
    std::string png;
    ASSERT_TRUE(ReadFile(path, png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test
