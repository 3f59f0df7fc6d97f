// Popup windows tracked with scripted input under the test clock: a click that opens a popup
// and is released at once leaves it open, a later click or a held press picks a row, Escape,
// a click outside and 15 seconds without mouse input dismiss it, and a popup opened near the
// bottom of the screen is moved up.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_timers.h"

namespace plexa::test {
namespace {

// The picture taken while a popup is open.
std::string gShot;

constexpr int16_t kRow = 20;
constexpr const char* kNames[] = {"Resistors", "Capacitors", "Diodes", "Transistors", "Sources"};

// A popup listing five rows; the highlighted row follows the mouse.
struct Picker {
    int32_t highlight = -1;
    std::string log;  // the messages received
};

int32_t DrawPopup(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind != kVXUpdateEvent) return 0;
    const Picker* picker = static_cast<const Picker*>(window->refCon);
    Rect all{};
    VXGetClientRect(window, &all);
    VXRectDispatch(&all, 2);
    VXRectDispatch(&all, 0);
    VXSetUIFont(0);
    for (int16_t i = 0; i < 5; ++i) {
        VXMoveTo(10, i * kRow + 15);
        VXDrawTextWithEncoding(kNames[i], int32_t(std::strlen(kNames[i])), kEncodingUTF8);
        if (picker && picker->highlight == i) {
            const Rect row = {int16_t(i * kRow + 2), 3, int16_t(i * kRow + kRow),
                              int16_t(all.right - 3)};
            VXRectDispatch(&row, 0);
        }
    }
    return 1;
}

uint32_t PickerProc(VXWindowRecordTag* popup, int32_t message, VXEventRecord*, int32_t inside,
                    Point where, void* reference) {
    auto* picker = static_cast<Picker*>(reference);
    picker->log += (picker->log.empty() ? "" : " ") + std::to_string(message);
    switch (message) {
        case kVXPopupEntered:
        case kVXPopupMoved:
            picker->highlight = inside == 1 ? where.v / kRow : -1;
            VXInvalRect(popup, nullptr);
            break;
        case kVXPopupLeft: picker->highlight = -1; break;
        case kVXPopupFinish: return uint32_t(picker->highlight);
        case kVXPopupCancel: return uint32_t(-1);
        default: break;
    }
    return 0;
}

class Popups : public WindowsTest {
public:
    void SetUp() override {
        WindowsTest::SetUp();
        parent = Document("Sheet", nullptr, {100, 100, 500, 700});
        ASSERT_NE(parent, nullptr);
        VXShowWindow(parent);
        const Rect rect = {0, 0, 5 * kRow, 160};
        popup = VXCreateWindow(kVXWindowPopup, 2, 0, 0, 0, 0, &rect, "", 0, &picker, DrawPopup);
        ASSERT_NE(popup, nullptr);
    }
    static PlatformInputEvent Input(PlatformInputKind kind, VXWindowRecordTag* window,
                                    int32_t x, int32_t y) {
        PlatformInputEvent event;
        event.kind = kind;
        event.windowID = window->windowID;
        event.x = x;
        event.y = y;
        event.clickCount = kind == PlatformInputKind::kMouseDown ? 1 : 0;
        return event;
    }
    void Queue(PlatformInputKind kind, VXWindowRecordTag* window, int32_t x, int32_t y) {
        TestQueueInput(Input(kind, window, x, y));
    }
    // The press that opens the popup at (200, 150) of the parent's content, screen (300, 250).
    void Press() {
        PlatformDeliverInput(Input(PlatformInputKind::kMouseDown, parent, 150, 200));
    }
    int32_t Track(uint32_t flags = 0, Point at = {250, 300}) {
        return VXTrackPopupWindow(popup, parent, at, flags, PickerProc, &picker);
    }
    VXWindowRecordTag* parent = nullptr;
    VXWindowRecordTag* popup = nullptr;
    Picker picker;
};

TEST_F(Popups, AQuickReleaseLeavesItOpenAndAClickPicks) {
    Press();
    Queue(PlatformInputKind::kMouseUp, parent, 150, 200);           // at once: stays open
    Queue(PlatformInputKind::kMouseMoved, popup, 40, 2 * kRow + 5);  // onto "Diodes"
    Queue(PlatformInputKind::kMouseMoved, popup, 40, 3 * kRow + 5);  // "Transistors"
    Queue(PlatformInputKind::kMouseDown, popup, 40, 3 * kRow + 5);
    Queue(PlatformInputKind::kMouseUp, popup, 40, 3 * kRow + 5);
    EXPECT_EQ(Track(), 3);
    EXPECT_EQ(picker.log, "0 2 3 4 1 2 8");
    EXPECT_FALSE(VXIsWindowVisible(popup, false));
}

TEST_F(Popups, AHeldPressReleasedOverARowPicksIt) {
    Press();
    Queue(PlatformInputKind::kMouseDragged, popup, 40, 1 * kRow + 5);
    // The button comes up a second later, longer than the double-click interval.
    static PlatformInputEvent up;
    up = Input(PlatformInputKind::kMouseUp, popup, 40, 1 * kRow + 5);
    PlatformPostDeferred([](void*) { TestQueueInput(up); }, nullptr, 1'000'000);
    ASSERT_LT(VXGetDblTime() * 1'000'000 / 60, 1'000'000);
    EXPECT_EQ(Track(), 1);
    EXPECT_EQ(picker.log, "0 3 2 8");
}

TEST_F(Popups, Dismissals) {
    struct Case {
        const char* what;
        void (*script)(Popups* test);
        const char* log;
    };
    const Case cases[] = {
        {"Escape",
         [](Popups*) {
             PlatformInputEvent escape;
             escape.kind = PlatformInputKind::kKeyDown;
             escape.keyCode = kPlatformKeyEscape;
             escape.character = 27;
             TestQueueInput(escape);
         },
         "0 9"},
        {"a click outside",
         [](Popups* t) {
             t->Queue(PlatformInputKind::kMouseUp, t->parent, 150, 200);
             t->Queue(PlatformInputKind::kMouseDown, t->parent, 20, 20);
         },
         "0 2 9"},
        {"a release outside after the first release",
         [](Popups* t) {
             t->Queue(PlatformInputKind::kMouseUp, t->parent, 150, 200);
             t->Queue(PlatformInputKind::kMouseDown, t->popup, 40, 5);
             t->Queue(PlatformInputKind::kMouseDragged, t->parent, 20, 20);
             t->Queue(PlatformInputKind::kMouseUp, t->parent, 20, 20);
         },
         "0 2 1 2 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        picker = Picker{};
        Press();
        c.script(this);
        EXPECT_EQ(Track(), -1);
        EXPECT_EQ(picker.log, c.log);
        EXPECT_FALSE(VXIsWindowVisible(popup, false));
        PlatformDeliverInput(Input(PlatformInputKind::kMouseUp, parent, 0, 0));
    }
}

TEST_F(Popups, LeftOpenItClosesAfterFifteenSeconds) {
    Press();
    Queue(PlatformInputKind::kMouseUp, parent, 150, 200);
    const int64_t start = PlatformNowMicros();
    EXPECT_EQ(Track(), -1);
    EXPECT_EQ(picker.log, "0 2 9");
    EXPECT_GE(PlatformNowMicros() - start, 15'000'000);
}

TEST_F(Popups, KeptOnTheScreenVertically) {
    Rect screen{};
    VXGetMainScreenBounds(&screen, false);
    PlatformInputEvent escape;
    escape.kind = PlatformInputKind::kKeyDown;
    escape.keyCode = kPlatformKeyEscape;
    TestQueueInput(escape);
    Track(0, {int16_t(screen.bottom - 20), 200});
    Rect r{};
    VXGetWindowPosition(popup, &r);
    EXPECT_EQ(r.bottom, screen.bottom - 5);
    EXPECT_EQ(r.bottom - r.top, 5 * kRow);
    EXPECT_EQ(r.left, 200);
    TestQueueInput(escape);
    Track(0, {int16_t(screen.top - 40), 200});
    VXGetWindowPosition(popup, &r);
    EXPECT_EQ(r.top, screen.top + 5);
}

TEST_F(Popups, MissingPartsAnswerMinusOne) {
    EXPECT_EQ(VXTrackPopupWindow(popup, nullptr, {0, 0}, 0, PickerProc, &picker), -1);
    EXPECT_EQ(VXTrackPopupWindow(popup, parent, {0, 0}, 0, nullptr, &picker), -1);
    EXPECT_EQ(picker.log, "");
}

TEST_F(Popups, InsideStates) {
    VXShowWindow(popup);
    Rect r{};
    VXGetWindowPosition(popup, &r);
    Point local{};
    const Point over = {int16_t(r.top + 10), int16_t(r.left + 20)};
    EXPECT_EQ(TestMouseInPopupWindow(popup, &over, &local), 1);
    EXPECT_EQ(local.v, 10);
    EXPECT_EQ(local.h, 20);
    const Point outside = {int16_t(r.bottom + 30), int16_t(r.left + 20)};
    EXPECT_EQ(TestMouseInPopupWindow(popup, &outside, &local), 0);
    EXPECT_EQ(local.v, 5 * kRow + 30);
}

TEST_F(Popups, Screenshot) {
    Press();
    Queue(PlatformInputKind::kMouseUp, parent, 150, 200);
    Queue(PlatformInputKind::kMouseMoved, popup, 40, 2 * kRow + 5);
    // While the popup is open, take its picture.
    static VXWindowRecordTag* shot;
    shot = popup;
    PlatformPostDeferred(
        [](void*) {
            VXUpdateWindow(shot);
            gShot = WriteScreenshot(shot, "popups-screenshot.png");
            PlatformInputEvent escape;
            escape.kind = PlatformInputKind::kKeyDown;
            escape.keyCode = kPlatformKeyEscape;
            TestQueueInput(escape);
        },
        nullptr, 500'000);
    EXPECT_EQ(Track(), -1);
    ASSERT_GT(gShot.size(), 24u);
    EXPECT_EQ(gShot.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

class PopupListBox : public Popups {
public:
    void SetUp() override {
        Popups::SetUp();
        VXInitControls();
        VXInitListBoxes();
        list = VXCreatePopupListBox(kVXListBoxMultiple | kVXListBoxCheckList, 26, 4);
        ASSERT_NE(list, nullptr);
        for (const char* name : kNames) VXAddListItem(list, kVXPopupListBoxItem, name, -1);
        VXAutoSizePopupListBox(list);
        rows = VXGetListBoxWindow(list, kVXPopupListBoxItem);
        row = VXGetListBoxItemHeight(list, kVXPopupListBoxItem);
        ASSERT_GT(row, 0);
    }
    void TearDown() override {
        Popups::TearDown();
        gVXListBoxHooks = VXListBoxHooks{};
        gVXListItemHooks = VXListItemHooks{};
    }
    int32_t Track(int32_t initial, uint32_t flags = 0) {
        return VXTrackPopupListBox(list, parent, {250, 300}, flags, initial);
    }
    VXWindowRecordTag* list = nullptr;
    VXWindowRecordTag* rows = nullptr;
    int32_t row = 0;
};

TEST_F(PopupListBox, MadeSizedAndPickedFrom) {
    EXPECT_FALSE(VXIsWindowVisible(list, false));
    EXPECT_EQ(VXGetListBoxFeatures(list, kVXPopupListBoxItem) &
                  (kVXListBoxMultiple | kVXListBoxCheckList),
              0u);
    Rect r{};
    VXGetWindowPosition(list, &r);
    EXPECT_EQ(r.bottom - r.top, 4 * row);
    EXPECT_LT(r.right - r.left, 200);  // sized to "Transistors  " and the scroll bar
    EXPECT_GT(r.right - r.left, kVXPanelBarWidth + 20);

    Press();
    Queue(PlatformInputKind::kMouseUp, parent, 150, 200);
    Queue(PlatformInputKind::kMouseMoved, rows, 30, 2 * row + 2);
    // A picture of the open list with the mouse over "Diodes"; then the click.
    static PopupListBox* test;
    test = this;
    PlatformPostDeferred(
        [](void*) {
            VXUpdateWindow(test->list);
            WriteScreenshot(test->list, "popup-listbox-screenshot.png");
            const int32_t y = 2 * test->row + 2;
            test->Queue(PlatformInputKind::kMouseDown, test->rows, 30, y);
            test->Queue(PlatformInputKind::kMouseUp, test->rows, 30, y);
        },
        nullptr, 500'000);
    EXPECT_EQ(Track(0), 2);
    EXPECT_FALSE(VXIsWindowVisible(list, false));
    EXPECT_EQ(VXGetSelectedListItem(list, kVXPopupListBoxItem, -1), 2);
}

TEST_F(PopupListBox, DismissedOrAcceptedWithNothingSelectedAnswersMinusOne) {
    // Escape: the initial row was selected at opening.
    PlatformInputEvent escape;
    escape.kind = PlatformInputKind::kKeyDown;
    escape.keyCode = kPlatformKeyEscape;
    TestQueueInput(escape);
    EXPECT_EQ(Track(1), -1);
    EXPECT_EQ(VXGetSelectedListItem(list, kVXPopupListBoxItem, -1), 1);

    // Released outside after the first release.
    Press();
    Queue(PlatformInputKind::kMouseUp, parent, 150, 200);
    Queue(PlatformInputKind::kMouseDown, rows, 30, 2);
    Queue(PlatformInputKind::kMouseDragged, parent, 10, 10);
    Queue(PlatformInputKind::kMouseUp, parent, 10, 10);
    EXPECT_EQ(Track(1), -1);

    // The wheel clears the selection; a click without a move then accepts nothing.
    Press();
    Queue(PlatformInputKind::kMouseUp, parent, 150, 200);
    PlatformInputEvent wheel = Input(PlatformInputKind::kWheel, rows, 30, 2);
    wheel.wheelDeltaV = -1;
    TestQueueInput(wheel);
    Queue(PlatformInputKind::kMouseDown, rows, 30, row + 2);
    Queue(PlatformInputKind::kMouseUp, rows, 30, row + 2);
    EXPECT_EQ(Track(1), -1);
    EXPECT_EQ(VXGetSelectedListItem(list, kVXPopupListBoxItem, -1), -1);
}

TEST_F(PopupListBox, DraggedBelowItScrollsThroughTheRows) {
    for (int i = 0; i < 5; ++i) VXAddListItem(list, kVXPopupListBoxItem, "More", -1);
    // Pressed and dragged into the list, then below it: the rows scroll by themselves until the
    // last one shows; the button comes up over the list a second later.
    Queue(PlatformInputKind::kMouseDragged, rows, 30, 2);
    Queue(PlatformInputKind::kMouseDragged, parent, 230, 300);
    static PlatformInputEvent back, up;
    back = Input(PlatformInputKind::kMouseDragged, rows, 30, 3 * row + 2);
    up = Input(PlatformInputKind::kMouseUp, rows, 30, 3 * row + 2);
    PlatformPostDeferred(
        [](void*) {
            TestQueueInput(back);
            TestQueueInput(up);
        },
        nullptr, 1'000'000);
    Press();
    EXPECT_EQ(Track(-1, kVXPopupAutoScrolls), 9);
    int32_t first = 0, last = 0;
    VXGetListViewVisRange(rows, &first, &last);
    EXPECT_EQ(first, 6);
    EXPECT_EQ(last, 9);
}

}  // namespace
}  // namespace plexa::test
