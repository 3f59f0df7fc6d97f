// List boxes and column headers, headless with scripted input: column hit-testing, a tracked
// click released inside and outside its cell, titles cut at character boundaries, and a
// screenshot of a dialog with a header for a person to look at.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/controls_fixture.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_listview.h"

namespace plexa::test {
namespace {

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
    TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, 300, 20));
    TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, 150, 20));
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, 150, 20));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, 130, 20));
    EXPECT_EQ(gTracked, 1);
    VXColumnEntry entry;
    VXGetColumnInfo(gHeader, 1, &entry);
    EXPECT_EQ(entry.pressed, 0);
    // Released outside: -1, the cell released.
    TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, 300, 20));
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, 300, 20));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, 10, 20));
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

TEST_F(ColumnHeader, SortingClickAndResizing) {
    // The owner sorts by the column a click answers.
    VXWindowRecordTag* window = Window();
    ASSERT_NE(window, nullptr);
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, 280, 15));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, 280, 15));
    EXPECT_EQ(gTracked, 2);
    // A click with the button already up answers the column at once.
    VXEventRecord down = VXClearedEvent(kVXMouseDownEvent);
    down.u.mouse.h = 125;
    down.u.mouse.v = 15;
    EXPECT_EQ(VXTrackColumnHeader(window, gHeader, &down), 1);
    down.u.mouse.h = -4;
    EXPECT_EQ(VXTrackColumnHeader(window, gHeader, &down), -1);
    // A wider header: the last cell reaches its new right edge.
    reinterpret_cast<VXColumnHeaderHead*>(*gHeader)->rect.right = 600;
    Rect cell{};
    ASSERT_TRUE(VXGetColumnCellRect(gHeader, 2, &cell));
    EXPECT_EQ(cell.right, 600);
    EXPECT_EQ(VXHitTestColumn(gHeader, Point{15, 590}), 2);
}

TEST_F(ColumnHeader, Screenshot) {
    VXWindowRecordTag* window = Window();
    ASSERT_NE(window, nullptr);
    VXSetColumnHilite(gHeader, 1, true, nullptr, nullptr);
    VXInvalRect(window, nullptr);
    VXUpdateWindow(window);
    const std::string png = WriteScreenshot(window, "colheader-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// ---- List boxes ----

class ListBox : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        VXInitListBoxes();
    }
    void TearDown() override {
        ControlsTest::TearDown();
        gVXListBoxHooks = VXListBoxHooks{};
        gVXListItemHooks = VXListItemHooks{};
    }
    // A list box as item 1 at (20, 20) with rows of the given texts.
    VXWindowRecordTag* List(std::initializer_list<const char*> rows, uint32_t features = 0) {
        if (!Make(kVXListBox, {20, 20, 220, 220}, "", 1)) return nullptr;
        VXSetListBoxFeatures(window, 1, features);
        for (const char* row : rows) VXAddListItem(window, 1, row, -1);
        return VXGetListBoxWindow(window, 1);
    }
    // A click on a row of the list window (rows counted from the top, list not scrolled).
    void Click(VXWindowRecordTag* list, int32_t row, int clicks = 1) {
        const int32_t y = row * VXGetListBoxItemHeight(window, 1) + 2;
        PlatformInputEvent down = MouseInput(PlatformInputKind::kMouseDown, list, 30, y);
        down.clickCount = clicks;
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, list, 30, y));
        PlatformDeliverInput(down);
        TestRunDueWork();
    }
    std::string Texts() {
        std::string all;
        char buffer[255];
        for (int32_t i = 0; i < VXCountListItems(window, 1); ++i) {
            VXGetListItem(window, 1, i, buffer);
            all += (i ? "|" : "") + std::string(buffer);
        }
        return all;
    }
};

TEST_F(ListBox, RowsSelectionAndDoubleClickReachTheDialog) {
    VXWindowRecordTag* list = List({"Alpha", "Bravo", "Charlie"});
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowClass, kVXWindowListBox);
    EXPECT_EQ(Texts(), "Alpha|Bravo|Charlie");
    VXAddListItem(window, 1, "First", 0);
    VXSetListItem(window, 1, 2, "Bravo 2");
    VXSetListItem(window, 1, 9, "nowhere");  // outside the rows: nothing
    EXPECT_EQ(Texts(), "First|Alpha|Bravo 2|Charlie");
    VXSetListItemReference(window, 1, 3, 77);
    EXPECT_EQ(VXGetListItemReference(window, 1, 3), 77);
    EXPECT_EQ(VXGetListItemReference(window, 1, 4), 0);
    VXRemoveListItem(window, 1, 0, 1);
    VXRemoveListItem(window, 1, -3, 1);  // outside: nothing
    EXPECT_EQ(Texts(), "Alpha|Bravo 2|Charlie");
    EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), -1);
    VXSelectListItem(window, 1, 1, true);
    EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), 1);
    Log().clear();
    Click(list, 2);
    EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), 2);
    Click(list, 0, 2);
    EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), 0);
    // The dialog hears the clicks as control events of its list-box item.
    EXPECT_NE(Joined().find("18:1"), std::string::npos);
}

// A dialog steps through a multiple selection row by row: each answer lies after the row asked
// about (a caller looping until -1 once never got past the first selected row), disabled rows
// are skipped.
TEST_F(ListBox, SelectedRowsAreSteppedThroughOneAfterAnother) {
    VXWindowRecordTag* list = List({"A", "B", "C", "D", "E"}, kVXListBoxMultiple);
    ASSERT_NE(list, nullptr);
    for (int32_t i : {0, 2, 3, 4}) VXSelectListItem(window, 1, i, true);
    VXSetListItemEnabled(window, 1, 3, false);
    std::vector<int32_t> rows;
    for (int32_t i = VXGetSelectedListItem(window, 1, -1); i >= 0 && rows.size() < 10;
         i = VXGetSelectedListItem(window, 1, i))
        rows.push_back(i);
    EXPECT_EQ(rows, (std::vector<int32_t>{0, 2, 4}));
    EXPECT_EQ(VXGetSelectedListItem(window, 1, 4), -1);
}

TEST_F(ListBox, DoubleClickCarriesItsFlag) {
    static int32_t second = -1, row = -1;
    second = row = -1;
    VXWindowRecordTag* list = List({"One", "Two"});
    ASSERT_NE(list, nullptr);
    VXSetWindowEventHandler(window, [](VXWindowRecordTag*, VXEventRecord* event) -> int32_t {
        if (event->kind == kVXControlEvent && event->u.control.item == 1) {
            row = event->u.control.values.listBox.first;
            second = event->u.control.values.listBox.second;
        }
        return 0;
    });
    Click(list, 1);
    Click(list, 1, 2);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(second, 1);
}

TEST_F(ListBox, SeparatorsAndDisabledRows) {
    VXWindowRecordTag* list = List({"Alpha", "-", "Zulu"});
    ASSERT_NE(list, nullptr);
    VXListBoxRow row{};
    ASSERT_GT(VXGetListViewItemData(list, 1, &row), 0);
    EXPECT_TRUE(row.flags & kVXListRowSeparator);
    VXSetListItem(window, 1, 1, "Mike");
    ASSERT_GT(VXGetListViewItemData(list, 1, &row), 0);
    EXPECT_FALSE(row.flags & kVXListRowSeparator);
    // A disabled row is not selected by a click.
    VXSetListItemEnabled(window, 1, 2, false);
    Click(list, 2);
    EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), -1);
}

TEST_F(ListBox, CheckListMarksCycle) {
    struct Case {
        uint32_t features;
        std::vector<int32_t> marks;
    };
    const Case cases[] = {
        {kVXListBoxCheckList, {1, 0, 1}},
        {kVXListBoxCheckList | kVXListBoxDotMark, {5, 0, 5}},
        {kVXListBoxCheckList | kVXListBoxCycleMarks, {2, 3, 4, 2}},
    };
    for (const Case& c : cases) {
        VXWindowRecordTag* list = List({"Row"}, c.features);
        ASSERT_NE(list, nullptr);
        for (size_t i = 0; i < c.marks.size(); ++i) {
            Click(list, 0);
            EXPECT_EQ(VXGetListItemMarkCode(window, 1, 0), c.marks[i]) << c.features << " " << i;
        }
        EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), -1);  // marks, not selection
        VXDestroyControl(window, 1);
    }
}

TEST_F(ListBox, NoSelectionIgnoresClicks) {
    VXWindowRecordTag* list = List({"One", "Two"}, kVXListBoxNoSelection);
    ASSERT_NE(list, nullptr);
    Click(list, 0);
    VXSelectListItem(window, 1, 1, true);
    EXPECT_EQ(VXGetSelectedListItem(window, 1, -1), -1);
    EXPECT_EQ(VXCountListViewSelections(list), 0);
}

TEST_F(ListBox, TypeAheadSkipsDisabledRows) {
    VXWindowRecordTag* list = List({"Alpha", "mike", "Zulu"}, kVXListBoxFocusRing);
    ASSERT_NE(list, nullptr);
    VXSetListItemEnabled(window, 1, 1, false);
    const struct {
        const char* typed;
        int32_t index;
    } cases[] = {{"m", 2}, {"A", 0}, {"zz", 0}, {"b", 2}};
    for (const auto& c : cases) {
        VXListViewHookRecord record{};
        char text[8];
        std::strcpy(text, c.typed);
        record.text = text;
        EXPECT_EQ(ListBoxHookProc(list, kVXListTypeAhead, &record), 1);
        EXPECT_EQ(record.index, c.index) << c.typed;
    }
    // Without the focus-ring feature the list view's own matching is left alone.
    VXSetListBoxFeatures(window, 1, 0);
    VXListViewHookRecord record{};
    EXPECT_EQ(ListBoxHookProc(list, kVXListTypeAhead, &record), 0);
}

TEST_F(ListBox, LongRowTextIsReadInWholeCharacters) {
    std::string text(253, 'x');
    text += "\xC3\xA9";  // bytes 253 and 254: the reader has room for 254
    VXWindowRecordTag* list = List({text.c_str()});
    ASSERT_NE(list, nullptr);
    char buffer[255];
    VXGetListItem(window, 1, 0, buffer);
    EXPECT_EQ(std::strlen(buffer), 253u);
}

TEST_F(ListBox, Screenshot) {
    VXWindowRecordTag* list = List({"Alpha", "Bravo", "-", "Charlie", "Delta (disabled)"},
                                   kVXListBoxCheckList | kVXListBoxCycleMarks);
    ASSERT_NE(list, nullptr);
    VXSetListItemEnabled(window, 1, 4, false);
    for (int32_t i = 0; i < 4; ++i) VXSetListItemMarkCode(window, 1, i, i + 1);
    ASSERT_NE(Make(kVXListBox, {20, 260, 220, 480}, "", 2), nullptr);
    for (const char* row : {"Resistor", "Capacitor", "Inductor", "Diode"})
        VXAddListItem(window, 2, row, -1);
    VXSelectListItem(window, 2, 1, true);
    VXInvalRect(window, nullptr);
    VXUpdateWindow(window);
    const std::string png = WriteScreenshot(window, "listbox-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test
