// List views under scripted input: item records and their selection bits, clicks with and
// without modifiers, keys and type-ahead, scrolling and revealing, drawing suspension, reorder
// drags, rows dragged out onto another window, out-of-range calls, and a picture of a list.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/panel_scrollers.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/listview_fixture.h"
#include "platform/cursor_platform.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_itemdrag.h"

namespace plexa::test {
namespace {

using ListViews = ListViewTest;

TEST_F(ListViews, InstallsOnTheWindowAndUninstalls) {
    ASSERT_NE(MakeList(0), nullptr);
    VXListViewRecord* record = Record();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(list->eventProc, VXListViewEventHandler);
    EXPECT_EQ(record->nextHandler, Next);
    EXPECT_EQ(record->visibleRows, 10);
    EXPECT_EQ(record->editItem, -1);
    EXPECT_EQ(record->dragRow, -1);
    EXPECT_EQ(record->showSelection, 1);
    VXPanelRecordTag* panel = VXGetWindowPanel(list);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->flags & kVXPanelNoVerticalScroll);
    EXPECT_EQ(panel->lineIncrement, 16);
    // A second installation is refused.
    EXPECT_EQ(VXInstallListView(list, nullptr, 20, 4, 0, Hook), 20);
    EXPECT_EQ(VXGetListViewCellHeight(list), 16);
    VXUnInstallListView(list);
    EXPECT_EQ(Record(), nullptr);
    EXPECT_EQ(list->eventProc, Next);
    EXPECT_FALSE(panel->flags & kVXPanelNoVerticalScroll);
    EXPECT_EQ(VXGetListViewCellHeight(list), 0);
}

TEST_F(ListViews, RecordsAndSelectionBitsMoveTogether) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 5), nullptr);
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(VXSetListViewItemSelected(list, 3, true));
    EXPECT_FALSE(VXSetListViewItemSelected(list, 3, true));  // already so
    // Two zero-filled records before item 1; the selected record moves to 5.
    EXPECT_EQ(VXInsertListViewItemData(list, 1, nullptr, 2), 1);
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(Selected(), std::vector<int32_t>{5});
    // An index outside the list appends.
    const int32_t nine = 9;
    EXPECT_EQ(VXInsertListViewItemData(list, 99, &nine, 1), 7);
    EXPECT_EQ(VXInsertListViewItemData(list, 0, &nine, 0), -1);
    // Deleting the selected record leaves no selection behind.
    VXDeleteListViewItemData(list, 4, 2);
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 0, 0, 1, 4, 9}));
    EXPECT_EQ(VXCountListViewSelections(list), 0);
    EXPECT_EQ(VXGetListViewSelection(list, 0), -1);
    // A negative count deletes to the end; a first index outside the list does nothing.
    VXSetListViewItemSelected(list, 5, true);
    VXDeleteListViewItemData(list, 3, -1);
    VXDeleteListViewItemData(list, 3, 1);
    VXDeleteListViewItemData(list, -1, 1);
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(VXCountListViewSelections(list), 0);
    const int32_t seven = 7;
    VXSetListViewItemData(list, 1, &seven);
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 7, 0}));
}

TEST_F(ListViews, DeletionsAreReportedLastToFirst) {
    ASSERT_NE(MakeList(kVXListReportDeletions, 10, 4), nullptr);
    VXSetListViewItemSelected(list, 2, true);
    VXDeleteListViewItemData(list, 1, 2);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"19:2", "19:1"}));
    Messages().clear();
    // Destroying the window reports the rest.
    VXDestroyWindow(list);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"19:1", "19:0"}));
}

TEST_F(ListViews, OutOfRangeIndexesAreIgnored) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 3), nullptr);
    for (int32_t index : {-5, 3, 1000, 0x7FFFFFFF}) {
        SCOPED_TRACE(index);
        int32_t buffer = 42;
        EXPECT_EQ(VXGetListViewItemData(list, index, &buffer), 0);
        EXPECT_EQ(buffer, 42);
        VXSetListViewItemData(list, index, &buffer);
        EXPECT_FALSE(VXSetListViewItemSelected(list, index, true));
        EXPECT_FALSE(VXGetListViewItemSelected(list, index));
        VXInvalListViewItem(list, index);
        EXPECT_EQ(VXSetListViewEditFocus(list, index, 1), 0);  // no editor
        Rect rect;
        EXPECT_EQ(VXGetListViewItemRect(list, index, &rect), 0);
    }
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(VXCountListViewSelections(list), 0);
}

TEST_F(ListViews, AnEmptyListTakesEveryCall) {
    ASSERT_NE(MakeList(kVXListMultiSelect), nullptr);
    EXPECT_EQ(VXListViewItemFromPoint(list, 50, true), -1);
    EXPECT_FALSE(VXRevealListViewItem(list, 3, true));
    for (uint16_t key : {0xF700, 0xF701, 0xF72C, 0xF72D, 0xF729, 0xF72B}) Key(key);
    Click(40);
    PlatformInputEvent wheel = MouseInput(PlatformInputKind::kWheel, list, 30, 30);
    wheel.wheelDeltaV = -40;
    PlatformDeliverInput(wheel);
    EXPECT_FALSE(VXSetListViewItemSelected(list, -1, true));
    int32_t first = 0, last = 0;
    VXGetListViewVisRange(list, &first, &last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, -1);
    VXSetListViewCellHeight(list, 1);  // ignored
    EXPECT_EQ(VXGetListViewCellHeight(list), 16);
    VXUpdateWindow(top);
    EXPECT_EQ(Actions().size(), 0u);
}

TEST_F(ListViews, ClicksSelectRows) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 20), nullptr);
    struct Case {
        const char* what;
        int32_t y;
        uint32_t modifiers;
        std::vector<int32_t> drag;
        std::vector<int32_t> selected;
    };
    const Case cases[] = {
        {"plain click on row 2", 40, 0, {}, {2}},
        {"shift-click on row 5", 85, kPlatformModShift, {}, {2, 3, 4, 5}},
        {"shift-click on row 0: the anchor is the far end", 5, kPlatformModShift, {}, {0, 1, 2, 3, 4, 5}},
        {"command-click toggles row 3 off", 50, kPlatformModCommand, {}, {0, 1, 2, 4, 5}},
        {"command-drag sets rows 7 to 8", 115, kPlatformModCommand, {130, 135}, {0, 1, 2, 4, 5, 7, 8}},
        {"plain drag ends on the row under the mouse", 20, 0, {40, 70}, {4}},
        {"a click below the rows deselects", 600, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Click(c.y, c.modifiers, c.drag);
        EXPECT_EQ(Selected(), c.selected);
        EXPECT_EQ(VXCountListViewSelections(list), int32_t(c.selected.size()));
    }
    EXPECT_EQ(TestQueuedInputCount(), 0);
}

TEST_F(ListViews, ExtendedAndSingleSelection) {
    ASSERT_NE(MakeList(kVXListMultiSelect | kVXListExtendSelect, 10, 20), nullptr);
    Click(20, 0, {40, 70});
    EXPECT_EQ(Selected(), (std::vector<int32_t>{1, 2, 3, 4}));
    // Single selection: shift and command do not extend.
    VXSetListViewMultiSelect(list, false);
    Click(100, kPlatformModShift);
    EXPECT_EQ(Selected(), std::vector<int32_t>{6});
    EXPECT_TRUE(VXSetListViewItemSelected(list, 2, true));
    EXPECT_EQ(Selected(), std::vector<int32_t>{2});
    // With feature 2 a click below the rows keeps the selection.
    VXChangeListViewOptions(list, kVXListClickBelowKeepsSelection, kVXListClickBelowKeepsSelection);
    EXPECT_EQ(Record()->features, uint32_t(kVXListExtendSelect | kVXListClickBelowKeepsSelection));
    // The mask decides which of the three bits change.
    VXChangeListViewOptions(list, kVXListClickBelowKeepsSelection, 0xFFFFFFFF);
    EXPECT_EQ(Record()->features, uint32_t(kVXListClickBelowKeepsSelection));
    VXDeleteListViewItemData(list, 5, -1);
    Click(150);
    EXPECT_EQ(Selected(), std::vector<int32_t>{2});
}

TEST_F(ListViews, ClicksAndDoubleClicksReachTheHandler) {
    ASSERT_NE(MakeList(0, 10, 5), nullptr);
    Click(40);
    Click(40);  // no change: no action
    PlatformInputEvent twice = MouseInput(PlatformInputKind::kMouseDown, list, 30, 40);
    twice.clickCount = 2;
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, list, 30, 40));
    PlatformDeliverInput(twice);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"2", "2+"}));
    EXPECT_EQ(std::count(Messages().begin(), Messages().end(), "4:2"), 3);
}

TEST_F(ListViews, SelectingAllSetsExactlyTheItems) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 3), nullptr);
    EXPECT_TRUE(VXSetListViewItemSelected(list, -1, true));
    EXPECT_EQ(VXCountListViewSelections(list), 3);
    EXPECT_EQ(Selected(), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_FALSE(VXSetListViewItemSelected(list, -1, true));
    EXPECT_TRUE(VXSetListViewItemSelected(list, -1, false));
    EXPECT_EQ(VXCountListViewSelections(list), 0);
    // In a single-selection list -1 means item 0, or the selected item.
    VXSetListViewMultiSelect(list, false);
    EXPECT_TRUE(VXSetListViewItemSelected(list, -1, true));
    EXPECT_EQ(Selected(), std::vector<int32_t>{0});
    VXSetListViewItemSelected(list, 2, true);
    EXPECT_TRUE(VXSetListViewItemSelected(list, -1, false));
    EXPECT_EQ(VXCountListViewSelections(list), 0);
}

TEST_F(ListViews, KeysMoveTheSelection) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 30), nullptr);
    struct Case {
        uint16_t key;
        uint32_t modifiers;
        std::vector<int32_t> selected;
        int32_t top;
    };
    const Case cases[] = {
        {0xF701, 0, {0}, 0},           // Down with nothing selected: the first row
        {0xF701, 0, {1}, 0},
        {0xF72D, 0, {10}, 1},          // Page Down: visible rows - 1
        {0xF701, kPlatformModShift, {10, 11}, 2},
        {0xF700, 0, {9}, 2},
        {0xF72B, 0, {29}, 20},         // End
        {0xF701, 0, {29}, 20},         // stays at the last row
        {0xF729, 0, {0}, 0},           // Home
        {0xF700, 0, {0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.key);
        Key(c.key, c.modifiers);
        EXPECT_EQ(Selected(), c.selected);
        EXPECT_EQ(Record()->topRow, c.top);
    }
    EXPECT_EQ(Actions().size(), 7u);  // every change but the two at the ends
    // A hook that takes the key stops the list's own handling.
    Answer() = [](int32_t message, VXListViewHookRecord*) {
        return message == kVXListKey ? kVXListKeyHandled : 0;
    };
    Key(0xF701);
    EXPECT_EQ(Selected(), std::vector<int32_t>{0});
}

TEST_F(ListViews, TypeAheadCollectsKeysUntilAPause) {
    ASSERT_NE(MakeList(0, 10, 30), nullptr);
    std::vector<std::string> strings;
    Answer() = [&strings](int32_t message, VXListViewHookRecord* record) {
        if (message != kVXListTypeAhead) return 0;
        strings.push_back(record->text);
        record->index = int32_t(strings.back().size()) + 10;
        return 1;
    };
    Key('a');
    Key('b');
    EXPECT_EQ(strings, (std::vector<std::string>{"a", "ab"}));
    EXPECT_EQ(Selected(), std::vector<int32_t>{12});
    EXPECT_EQ(Record()->topRow, 3);
    TestClockAdvance(76 * 1'000'000 / 60 + 1000);
    Key('c');
    EXPECT_EQ(strings.back(), "c");
    // A navigation key clears the string.
    Key(0xF701);
    strings.clear();
    Key('z');
    EXPECT_EQ(strings, std::vector<std::string>{"z"});
    // At most 60 characters: the 61st and later are ignored.
    for (int i = 0; i < 62; ++i) Key('x');
    EXPECT_EQ(strings.size(), 60u);
    EXPECT_EQ(strings.back(), "z" + std::string(59, 'x'));
    // Keys of another list start a string of their own.
    ASSERT_NE(MakeList(0, 4, 30), nullptr);
    Answer() = [&strings](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListTypeAhead) strings.push_back(record->text);
        return 0;
    };
    Key('q');
    EXPECT_EQ(strings.back(), "q");
}

TEST_F(ListViews, RevealingScrollsByWholeRows) {
    ASSERT_NE(MakeList(0, 10, 30), nullptr);
    struct Case {
        int32_t index;
        bool toTop;
        bool wasVisible;
        int32_t top;
    };
    const Case cases[] = {
        {5, false, true, 0},   {25, false, false, 16}, {20, false, true, 16},
        {3, false, false, 3},  {8, true, true, 8},     {99, false, false, 20},
        {29, true, true, 20},  {-1, false, false, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        std::vector<std::string>& messages = Messages();
        messages.clear();
        EXPECT_EQ(VXRevealListViewItem(list, c.index, c.toTop), c.wasVisible);
        EXPECT_EQ(Record()->topRow, c.top);
        int32_t first = 0, last = 0;
        VXGetListViewVisRange(list, &first, &last);
        EXPECT_EQ(first, c.top);
        EXPECT_EQ(last, c.top + 9);
    }
    // The point of a row and its rectangle follow the top row.
    EXPECT_EQ(VXListViewItemFromPoint(list, 0, false), 20);
    EXPECT_EQ(VXListViewItemFromPoint(list, -30, true), 20);
    EXPECT_EQ(VXListViewItemFromPoint(list, 159, true), 29);
    EXPECT_EQ(VXListViewItemFromPoint(list, 400, true), 29 | kVXListBeyondRows);
    Rect rect;
    EXPECT_EQ(VXGetListViewItemRect(list, 22, &rect), 1);
    EXPECT_EQ(rect.top, 32);
    EXPECT_EQ(rect.bottom, 48);
    EXPECT_EQ(VXGetListViewItemRect(list, 5, &rect), 0);
    EXPECT_EQ(rect.top, -240);
    // Removing rows clamps the top row and tells the hook.
    Messages().clear();
    VXDeleteListViewItemData(list, 10, -1);
    EXPECT_EQ(Record()->topRow, 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"21:-1"});
}

TEST_F(ListViews, WheelAndScrollBarParts) {
    ASSERT_NE(MakeList(0, 10, 30), nullptr);
    const auto wheel = [&](int32_t delta) {
        PlatformInputEvent event = MouseInput(PlatformInputKind::kWheel, list, 30, 30);
        event.wheelDeltaV = delta;
        PlatformDeliverInput(event);
        return Record()->topRow;
    };
    EXPECT_EQ(wheel(-3), 1);   // less than half a row still scrolls a row
    EXPECT_EQ(wheel(-40), 4);  // 2.5 rows round to 3
    EXPECT_EQ(wheel(20), 3);
    EXPECT_EQ(wheel(-1000), 20);
    const auto part = [&](uint8_t p) {
        VXEventRecord event = VXClearedEvent(kVXScrollEvent);
        event.u.scroll.part = p;
        DispatchEvent(list, &event);
        return Record()->topRow;
    };
    EXPECT_EQ(part(0), 19);
    EXPECT_EQ(part(2), 10);
    EXPECT_EQ(part(3), 19);
    EXPECT_EQ(part(1), 20);
    VXPanelRecordTag* panel = VXGetWindowPanel(list);
    panel->scrollers[0].value = 0.5;
    EXPECT_EQ(part(5), 10);
    // The panel's own origin never moves vertically.
    EXPECT_EQ(panel->bounds.y, 0);
    // The platform's bar: a page click and a knob drag; the bar shows the list's position.
    ASSERT_NE(panel->scrollers[0].native, nullptr);
    PlatformScrollerTrigger(panel->scrollers[0].native, 3, 0);
    EXPECT_EQ(Record()->topRow, 19);
    EXPECT_NEAR(panel->scrollers[0].value, 19.0 / 20.0, 1e-9);
    EXPECT_TRUE(panel->scrollers[0].enabled);
    EXPECT_DOUBLE_EQ(panel->scrollers[0].knobProportion, 10.0 / 30.0);
    PlatformScrollerTrigger(panel->scrollers[0].native, 5, 0.25);
    EXPECT_EQ(Record()->topRow, 5);
    EXPECT_NEAR(panel->scrollers[0].value, 0.25, 1e-9);
    // With every row visible the bar is off.
    VXDeleteListViewItemData(list, 10, -1);
    EXPECT_FALSE(panel->scrollers[0].enabled);
    EXPECT_EQ(Record()->topRow, 0);
}

TEST_F(ListViews, SuspendedDrawingRemembersTheFirstChangedRow) {
    ASSERT_NE(MakeList(0, 10, 10), nullptr);
    EXPECT_FALSE(VXSetListViewDrawingEnabled(list, false));
    EXPECT_FALSE(VXSetListViewDrawingEnabled(list, false));
    VXDeleteListViewItemData(list, 6, 2);
    VXInsertListViewItemData(list, 8, nullptr, 1);
    EXPECT_EQ(Record()->dirtyRow, 6);
    EXPECT_FALSE(VXSetListViewDrawingEnabled(list, true));
    EXPECT_EQ(Record()->dirtyRow, 6);
    EXPECT_TRUE(VXSetListViewDrawingEnabled(list, true));
    EXPECT_EQ(Record()->dirtyRow, 0x7FFFFFFF);
    // Drawing again draws the rows.
    Messages().clear();
    int32_t drawn = 0;
    Answer() = [&drawn](int32_t message, VXListViewHookRecord*) {
        drawn += message == kVXListDrawItem;
        return 0;
    };
    VXListViewUpdate(list, nullptr, 0);
    EXPECT_EQ(drawn, 9);
}

TEST_F(ListViews, ADragReordersRows) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 6), nullptr);
    std::vector<int32_t> drops;
    Answer() = [&drops](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListMouseDown) return kVXListClickDragRow;
        if (message == kVXListReorderDrop) {
            drops.push_back(record->index);
            drops.push_back(int32_t(record->param.value));
            return 1;
        }
        return 0;
    };
    Click(20, 0, {40, 70});
    EXPECT_EQ(drops, (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(Record()->dragRow, -1);
    EXPECT_EQ(Selected(), std::vector<int32_t>{});
    // The client moves the record; the list keeps what it is told.
    int32_t moved = 0;
    VXGetListViewItemData(list, 1, &moved);
    VXDeleteListViewItemData(list, 1, 1);
    VXInsertListViewItemData(list, 4, &moved, 1);
    EXPECT_EQ(Values(), (std::vector<int32_t>{0, 2, 3, 4, 1, 5}));
    // Sorting the records in place and redrawing.
    Handle items = VXGetListViewCellData(list);
    auto* begin = reinterpret_cast<int32_t*>(*items);
    std::sort(begin, begin + VXCountListViewItems(list), std::greater<int32_t>());
    VXInvalListViewItem(list, -1);
    EXPECT_EQ(Values(), (std::vector<int32_t>{5, 4, 3, 2, 1, 0}));
}

// A row dragged out of the list onto another window: the row is chosen first (the control
// action), then the client named at the drag-out message follows the pointer over the windows
// and gets the drop where the target takes the row; anywhere else, or with Escape, nothing drops.
// A press that moves less than the threshold stays a click.
std::vector<std::string>& DragLog() {
    static std::vector<std::string> log;
    return log;
}
VXWindowRecordTag* gDropWindow = nullptr;
int32_t DropClient(int32_t message, const VXItemDragTarget* target, void*) {
    const std::string where = target->window == gDropWindow ? "target" : target->window ? "other" : "none";
    const std::string at = std::to_string(target->padPoint.h) + "," + std::to_string(target->padPoint.v);
    switch (message) {
        case kVXItemDragOver: {
            const PlatformCursor* cursor = PlatformCurrentCursor();
            DragLog().push_back(std::string("over ") + where + " " + at +
                                (cursor == VXGetCursorWithId(kVXCursorDragCopy, 0, 0) ? " copy" : " refused"));
            return target->window == gDropWindow ? 1 : 0;
        }
        case kVXItemDragDrop: DragLog().push_back("drop " + where + " " + at); return 0;
        case kVXItemDragEnd: DragLog().push_back("end"); return 0;
        default: return 0;
    }
}

TEST_F(ListViews, ARowIsDraggedOutOntoAnotherWindow) {
    ASSERT_NE(MakeList(0, 10, 6), nullptr);
    const Rect content = {100, 550, 400, 790};
    gDropWindow = VXCreateWindow(kVXWindowDocument, 0, 0, 102, 0, 0, &content, "Target", 0, nullptr, nullptr);
    ASSERT_NE(gDropWindow, nullptr);
    VXShowWindow(gDropWindow);
    Answer() = [](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListMouseDown) return kVXListClickDragOut;
        if (message == kVXListDragOut) {
            DragLog().push_back("out " + std::to_string(record->index));
            static_cast<VXItemDragClient*>(record->param.pointer)->proc = DropClient;
        }
        return 0;
    };
    auto move = [](VXWindowRecordTag* window, int32_t x, int32_t y) {
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, x, y));
    };
    struct Case {
        const char* what;
        int32_t pressV;                // the press at (30, pressV) of the list
        std::function<void()> input;  // what comes after the press
        std::vector<std::string> log;
        std::vector<std::string> actions;
    };
    const Case cases[] = {
        {"dropped on the other window", 40,
         [&] {
             move(list, 34, 40);
             move(gDropWindow, 50, 60);
             TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, gDropWindow, 52, 61));
         },
         {"out 2", "over other 34,40 refused", "over target 50,60 refused", "over target 52,61 copy",
          "drop target 52,61", "end"},
         {"2"}},
        {"released back on the list", 70,
         [&] {
             move(list, 30, 90);
             move(gDropWindow, 50, 60);
             move(list, 30, 100);
             TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, list, 30, 100));
         },
         {"out 4", "over other 30,90 refused", "over target 50,60 refused", "over other 30,100 copy",
          "over other 30,100 refused", "end"},
         {"4"}},
        {"a press that moves 2 points is a click", 40,
         [&] {
             move(list, 32, 41);
             TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, list, 32, 41));
         },
         {},
         {"2"}},
        {"Escape over the other window", 85,
         [&] {
             move(list, 30, 90);
             move(gDropWindow, 50, 60);
             PlatformInputEvent escape;
             escape.kind = PlatformInputKind::kKeyDown;
             escape.keyCode = kPlatformKeyEscape;
             escape.character = 27;
             TestQueueInput(escape);
         },
         {"out 5", "over other 30,90 refused", "over target 50,60 refused", "end"},
         {"5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DragLog().clear();
        Actions().clear();
        VXSetListViewItemSelected(list, -1, false);
        c.input();
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, list, 30, c.pressV));
        EXPECT_EQ(DragLog(), c.log);
        EXPECT_EQ(Actions(), c.actions);
        EXPECT_EQ(TestQueuedInputCount(), 0);
        EXPECT_EQ(PlatformCurrentCursor(), nullptr);
        EXPECT_EQ(gDropWindow->overlayProc, nullptr);
    }
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseUp, gDropWindow, 50, 60));
    VXDestroyWindow(gDropWindow);
}

TEST_F(ListViews, RowHeightsAndOptions) {
    ASSERT_NE(MakeList(0, 10, 40), nullptr);
    VXSetListViewCellHeight(list, 20);
    EXPECT_EQ(Record()->visibleRows, 8);
    EXPECT_EQ(VXGetWindowPanel(list)->lineIncrement, 20);
    Record()->features |= kVXListPartialRowVisible;
    VXSetListViewCellHeight(list, 30);
    EXPECT_EQ(Record()->visibleRows, 6);  // 5 whole rows and a part
    EXPECT_EQ(Record()->maxTopRow, 35);
    // Only the multiple, click-below and extended bits change.
    const uint32_t old = VXChangeListViewOptions(list, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(Record()->features, old | kVXListMultiSelect | kVXListClickBelowKeepsSelection |
                                      kVXListExtendSelect);
    EXPECT_TRUE(VXSetListViewMultiSelect(list, false));
    EXPECT_TRUE(VXSetListViewExtendSelect(list, false));
    EXPECT_FALSE(VXSetListViewExtendSelect(list, true));
}

TEST_F(ListViews, AutoSizeTrimsToWholeRows) {
    const Rect rect = {20, 20, 190, 236};  // 170 high
    list = VXCreateChildWindow(0, 0, 0, top, &rect, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    VXShowWindow(list);
    EXPECT_EQ(VXInstallListView(list, nullptr, 16, 0, kVXListTrimHeight, Hook), 16);
    int16_t height = 0, width = 0;
    VXGetClientSize(list, &height, &width);
    EXPECT_EQ(height, 160);
    // Without records the items are counted only.
    EXPECT_EQ(VXInsertListViewItemData(list, -1, nullptr, 3), 0);
    EXPECT_EQ(VXCountListViewItems(list), 3);
    EXPECT_EQ(VXGetListViewCellData(list), nullptr);
    int32_t value = 5;
    EXPECT_EQ(VXGetListViewItemData(list, 0, &value), 0);
}

TEST_F(ListViews, Screenshot) {
    ASSERT_NE(MakeList(kVXListMultiSelect, 10, 25), nullptr);
    VXSetListViewItemSelected(list, 2, true);
    VXSetListViewItemSelected(list, 4, true);
    VXRevealListViewItem(list, 1, true);
    VXUpdateWindow(top);
    VXUpdateWindow(list);
    const std::string png = WriteScreenshot(top, "listview-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test
