// Controls: every type created and clicked with the events it sends, the control list's
// containers, rectangles, visibility, activity and size, the keyboard loop, default and cancel
// buttons, a window destroyed by its own button, and a picture of one control of each type.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "graphics/render.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/controls_fixture.h"

namespace plexa::test {
namespace {

using Controls = ControlsTest;

// Clicks a control in the middle, or a check box or radio button on its mark.
void ClickCentre(VXControlRecordTag* c) {
    const PlatformRect f = PlatformControlFrame(c->platform);
    const bool mark = c->type == kVXCheckBox || c->type == kVXRadioButton;
    PlatformControlTestClick(c->platform, mark ? 8 : f.width / 2, f.height / 2);
}

TEST_F(Controls, EachTypeClickedSendsItsEvents) {
    struct Case {
        uint8_t type;
        Rect rect;
        const char* title;
        uint32_t handledKinds;  // kinds the window's handler takes
        const char* events;
    };
    const Case cases[] = {
        {kVXPushButton, {10, 10, 30, 90}, "Push", 0, "18:5"},
        {kVXCheckBox, {10, 10, 30, 90}, "Check", 0, "18:5"},
        {kVXRadioButton, {10, 10, 30, 90}, "Radio", 0, "18:5"},
        {kVXScroller, {10, 10, 26, 200}, "", 0, "18:5,p4"},
        {kVXStaticText, {10, 10, 30, 90}, "Static", 0, "9:mouse"},
        {kVXImage, {10, 10, 42, 42}, "", 0, "17:5 9:mouse 19:5"},
        {kVXIconButton, {10, 10, 42, 42}, "", 0, "17:5 18:5 19:5"},
        {kVXDisclosure, {10, 10, 30, 30}, "", 0, "17:5 18:5 19:5"},
        {kVXUserDrawn, {10, 10, 60, 60}, "", 0, "17:5 9:mouse 19:5"},
        {kVXColorWell, {10, 10, 40, 60}, "", 0, "17:5 19:5"},
        {kVXSlider, {10, 10, 30, 200}, "", 0, "17:5 18:5 19:5"},
        {kVXSegmented, {10, 10, 34, 200}, "One|Two", 0, "18:5,-1,0"},
        // A handler that takes the track-control event keeps the click from the control.
        {kVXIconButton, {10, 10, 42, 42}, "", 1u << kVXTrackControlEvent, "17:5"},
        {kVXSlider, {10, 10, 30, 200}, "", 1u << kVXTrackControlEvent, "17:5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        // Item 5: not the default or cancel button, which end a dialog.
        VXControlRecordTag* control = Make(c.type, c.rect, c.title, 5);
        ASSERT_NE(control, nullptr);
        handled = c.handledKinds;
        Log().clear();
        const PlatformRect f = PlatformControlFrame(control->platform);
        // The segmented control's first segment; elsewhere the middle.
        PlatformControlTestClick(control->platform, c.type == kVXSegmented ? 5 : f.width / 2,
                                 f.height / 2);
        EXPECT_EQ(Joined(), c.events);
        VXDestroyControl(window, 5);
        EXPECT_EQ(VXCountControls(window), 0);
    }
}

TEST_F(Controls, ClicksChangeTheStateTheItemCallsRead) {
    VXControlRecordTag* check = Make(kVXCheckBox, {10, 10, 30, 120}, "Check", 1);
    VXSetItemChecked(window, 1, 2);
    EXPECT_EQ(VXGetItemChecked(window, 1), 2);
    ClickCentre(check);
    EXPECT_EQ(VXGetItemChecked(window, 1), 1);
    ClickCentre(check);
    EXPECT_EQ(VXGetItemChecked(window, 1), 0);
    // Radio buttons 2 and 3: the default handling selects the clicked one in its group.
    VXControlRecordTag* first = Make(kVXRadioButton, {40, 10, 60, 120}, "A", 2);
    VXControlRecordTag* second = Make(kVXRadioButton, {70, 10, 90, 120}, "B", 3);
    ClickCentre(first);
    ClickCentre(second);
    ClickCentre(second);
    EXPECT_EQ(VXGetItemChecked(window, 2), 0);
    EXPECT_EQ(VXGetItemChecked(window, 3), 1);
    EXPECT_EQ(VXGetSelectedRadioButton(window, 2), 3);
    EXPECT_EQ(window->radioSlots, 1);
    // A toggling icon button stays on; a disclosure opens.
    VXControlRecordTag* icon = Make(kVXIconButton, {100, 10, 140, 50}, "", 4, kVXControlOption1);
    ClickCentre(icon);
    ClickCentre(icon);
    EXPECT_EQ(PlatformControlState(icon->platform), 1);
    Make(kVXDisclosure, {100, 60, 120, 80}, "", 5, kVXControlOption1);
    EXPECT_EQ(VXGetDisclosureState(window, 5), 1);
    VXSetDisclosureState(window, 5, false);
    EXPECT_EQ(VXGetDisclosureState(window, 5), 0);
}

TEST_F(Controls, TabsAskBeforeTheUserSelectsAndPopupsReportTheirChoice) {
    VXControlRecordTag* tabs = Make(kVXTabView, {40, 10, 200, 300}, "First|Second", 1);
    ASSERT_EQ(VXGetTabCount(window, 1), 2);
    Log().clear();
    // The second tab lies right of the first, on the tab bar above the content area.
    Rect frame;
    VXGetControlBounds(tabs, &frame);
    handled = 1u << kVXTrackControlEvent;
    for (int32_t at = 5; at < frame.right - frame.left && Log().empty(); at += 10)
        PlatformControlTestClick(tabs->platform, at, 8);
    EXPECT_EQ(Joined(), "17:1,0,1");
    EXPECT_EQ(PlatformControlSelected(tabs->platform), 0);  // refused
    handled = 0;
    VXSetSelectedTab(window, 1, 1);  // the toolkit's own change sends nothing
    EXPECT_EQ(Joined(), "");
    EXPECT_EQ(PlatformControlSelected(tabs->platform), 1);

    VXControlRecordTag* popup = Make(kVXPopup, {220, 10, 240, 150}, "", 2);
    for (const char* text : {"Red", "Green", "Blue"}) VXAddListItem(window, 2, text, -1);
    VXSelectListItem(window, 2, 0, true);
    PlatformControlTestChoose(popup->platform, 2);
    PlatformControlTestChoose(popup->platform, 1);
    EXPECT_EQ(Joined(), "18:2,0,2 18:2,2,1");
    EXPECT_EQ(VXGetSelectedListItem(window, 2, 0), 1);
}

TEST_F(Controls, EditTextSendsFocusAndChangesAndKeepsItsRectangle) {
    VXControlRecordTag* field = Make(kVXEditText, {10, 20, 30, 120}, "", 1);
    Rect r;
    VXGetControlBounds(field, &r);
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom, r.right}),
              (std::vector<int>{7, 17, 33, 123}));
    VXGetControlRect(field, &r);
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom, r.right}),
              (std::vector<int>{10, 20, 30, 120}));
    Log().clear();
    EXPECT_TRUE(VXSetFocusItem(window, 1));
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 1);
    PlatformControlTestType(window->platformWindow, "ab");
    char text[256];
    VXGetItemText(window, 1, text);
    EXPECT_STREQ(text, "ab");
    VXSetFocusItem(window, 0);
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 0);
    EXPECT_EQ(Joined(), "20:1+ 18:1 18:1 20:1-");
    // Typing into a field forced to capitals.
    VXSetEditTextAllCaps(window, 1, true);
    VXSetFocusItem(window, 1);
    PlatformControlTestType(window->platformWindow, "c");
    VXGetItemText(window, 1, text);
    EXPECT_STREQ(text, "ABC");
}

TEST_F(Controls, TabMovesTheFocusAlongTheLoopInItemOrder) {
    Make(kVXEditText, {100, 10, 120, 100}, "", 3);
    Make(kVXPushButton, {40, 10, 60, 100}, "Skip", 4);
    Make(kVXEditText, {10, 10, 30, 100}, "", 1);
    Make(kVXEditText, {70, 10, 90, 100}, "", 2);
    VXRebuildControlNavigationLoop(window);
    VXSetFocusItem(window, 1);
    std::vector<int> visited;
    for (int i = 0; i < 4; ++i) {
        PlatformControlTestKey(window->platformWindow, 9);
        visited.push_back(VXGetFocusItem(window, nullptr));
    }
    PlatformControlTestKey(window->platformWindow, 25);
    visited.push_back(VXGetFocusItem(window, nullptr));
    EXPECT_EQ(visited, (std::vector<int>{2, 3, 1, 2, 1}));
    // A window that takes the tab-out event keeps the focus where it is.
    handled = 1u << kVXTabOutEvent;
    Log().clear();
    PlatformControlTestKey(window->platformWindow, 9);
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 1);
    EXPECT_EQ(Log().back(), "13:1");
}

int32_t gHookKeys = 0;
int32_t TakesReturn(VXWindowRecordTag*, int16_t, int32_t key) {
    gHookKeys = gHookKeys * 10 + key;
    return key == 1;
}

TEST_F(Controls, ReturnAndEscapePressTheDefaultAndCancelButtons) {
    Make(kVXPushButton, {100, 300, 120, 380}, "OK", 1);
    Make(kVXPushButton, {100, 200, 120, 280}, "Cancel", 2);
    Make(kVXEditText, {10, 10, 30, 200}, "", 3);
    handled = 1u << kVXControlEvent;  // the dialog stays open
    struct Case {
        bool inField;
        uint16_t key;
        const char* events;
    };
    for (const Case& c : {Case{true, 13, "18:1"}, Case{true, 27, "18:2"}, Case{false, 13, "18:1"},
                          Case{false, 27, "18:2"}, Case{false, 'x', ""}}) {
        VXSetFocusItem(window, c.inField ? 3 : 0);
        Log().clear();
        PlatformControlTestKey(window->platformWindow, c.key);
        EXPECT_EQ(Joined(), c.events) << c.inField << " " << c.key;
    }
    // The field's key hook is asked first; taken, no button is pressed.
    VXSetEditTextButtonKeyHook(window, 3, TakesReturn);
    VXSetFocusItem(window, 3);
    Log().clear();
    PlatformControlTestKey(window->platformWindow, 13);
    PlatformControlTestKey(window->platformWindow, 27);
    EXPECT_EQ(Joined(), "18:2");
    EXPECT_EQ(gHookKeys, 12);
    // Disabled buttons are not pressed.
    VXSetItemEnabled(window, 1, false);
    PlatformControlTestKey(window->platformWindow, 13);
    EXPECT_EQ(Joined(), "");
}

TEST_F(Controls, AButtonThatClosesItsWindowLeavesNothingBehind) {
    // The default handling ends a top-level dialog with its OK button: the window and the
    // button go while the button's own click is being delivered.
    VXControlRecordTag* ok = Make(kVXPushButton, {10, 10, 30, 90}, "OK", 1);
    Make(kVXEditText, {40, 10, 60, 90}, "", 2);
    const int32_t id = window->windowID;
    ClickCentre(ok);
    EXPECT_EQ(VXGetWindowFromId(id), nullptr);
    EXPECT_EQ(Joined(), "18:1 21:1");
    PlatformControlFlushDestroyed();
}

TEST_F(Controls, ContainersComeFirstAndNameWhatTheyHold) {
    Make(kVXPushButton, {20, 20, 40, 100}, "In both", 1);
    Make(kVXPushButton, {20, 300, 40, 380}, "Outside", 2);
    Make(kVXPushButton, {150, 20, 170, 100}, "In big only", 3);
    VXControlRecordTag* big = Make(kVXBox, {5, 5, 200, 250}, "Big", 10);
    VXControlRecordTag* small = Make(kVXBox, {10, 10, 100, 200}, "Small", 11);
    std::vector<int> order;
    for (int32_t i = 0; i < VXCountControls(window); ++i) {
        int16_t item = 0;
        VXGetIndexedControl(window, i, nullptr, &item);
        order.push_back(item);
    }
    EXPECT_EQ(order, (std::vector<int>{10, 11, 1, 2, 3}));
    EXPECT_EQ(VXGetControl(window, 1, nullptr)->container, small);
    EXPECT_EQ(VXGetControl(window, 2, nullptr)->container, nullptr);
    EXPECT_EQ(VXGetControl(window, 3, nullptr)->container, big);
    EXPECT_EQ(small->container, big);
    // Destroying the small box hands its controls to the big one.
    VXDestroyControl(window, 11);
    EXPECT_EQ(VXGetControl(window, 1, nullptr)->container, big);
}

TEST_F(Controls, VisibilityActivityAndSizeCombineItemAndWindowState) {
    Make(kVXPushButton, {10, 10, 30, 90}, "A", 1);
    Make(kVXPushButton, {40, 10, 60, 90}, "B", 2);
    Make(kVXPushButton, {70, 10, 90, 90}, "Fixed", 3, kVXControlFixedRegular);
    Make(kVXCheckBox, {100, 10, 120, 90}, "Hidden", 4, kVXControlHidden);
    EXPECT_EQ(VXGetItemVisible(window, 4), 0);
    VXSetItemVisible(window, 2, false);
    EXPECT_TRUE(VXSetWindowControlsVisible(window, false));
    EXPECT_EQ(VXGetItemVisible(window, 1), 0);
    VXSetItemVisible(window, 4, true);  // stays hidden while the window hides all
    EXPECT_EQ(VXGetItemVisible(window, 4), 0);
    EXPECT_FALSE(VXSetWindowControlsVisible(window, true));
    EXPECT_EQ((std::vector<int>{VXGetItemVisible(window, 1), VXGetItemVisible(window, 2),
                                VXGetItemVisible(window, 4)}),
              (std::vector<int>{1, 0, 1}));

    VXSetItemEnabled(window, 2, false);
    EXPECT_TRUE(VXSetWindowControlsActive(window, false));
    VXSetItemEnabled(window, 1, true);  // the window keeps it inactive
    EXPECT_FALSE(PlatformControlIsEnabled(VXGetControl(window, 1, nullptr)->platform));
    VXSetWindowControlsActive(window, true);
    EXPECT_TRUE(PlatformControlIsEnabled(VXGetControl(window, 1, nullptr)->platform));
    EXPECT_FALSE(PlatformControlIsEnabled(VXGetControl(window, 2, nullptr)->platform));
    EXPECT_EQ(VXGetItemEnabled(window, 2), 0);

    VXSetDefaultControlSize(window, true);
    EXPECT_TRUE(VXGetControl(window, 1, nullptr)->flags & kVXCtlSmall);
    EXPECT_FALSE(VXGetControl(window, 3, nullptr)->flags & kVXCtlSmall);
    VXSetDefaultControlSize(window, false);
    EXPECT_FALSE(VXGetControl(window, 1, nullptr)->flags & kVXCtlSmall);
}

// A window whose controls go inactive (another window took the keys) and active again gives the
// keys back to the field that had them: inactive controls take no keys, so the field lost them.
TEST_F(Controls, ControlsActiveAgainGiveTheKeysBackToTheFieldThatHadThem) {
    Make(kVXEditText, {10, 10, 30, 100}, "", 1);
    Make(kVXEditText, {40, 10, 60, 100}, "", 2);
    Make(kVXPushButton, {70, 10, 90, 100}, "OK", 3);
    VXSetFocusItem(window, 2);
    VXSetWindowControlsActive(window, false);
    EXPECT_NE(VXGetFocusItem(window, nullptr), 2);
    VXSetWindowControlsActive(window, true);
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 2);
    PlatformControlTestType(window->platformWindow, "xy");
    char text[256];
    VXGetItemText(window, 2, text);
    EXPECT_STREQ(text, "xy");
}

TEST_F(Controls, TabLabelsAndIconSizes) {
    struct Case {
        const char* title;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {"One|Two", {"One", "Two"}},
        {"One\\|Two", {"One|Two"}},
        {"One|Two|", {"One", "Two"}},
        {"A#12 dropped|B", {"A", "B"}},
        {"|", {""}},
        {"", {}},
        {"\xC3\xA9"
         "1234567890123456789012345678901234567890123456789012345678901234",
         {"\xC3\xA9"
          "123456789012345678901234567890123456789012345678901234567890"}},
    };
    for (const Case& c : cases) {
        VXControlRecordTag* tabs = Make(kVXTabView, {40, 10, 200, 300}, c.title, 1);
        std::vector<std::string> labels;
        for (int32_t i = 0; i < VXGetTabCount(window, 1); ++i)
            labels.push_back(PlatformControlTabLabel(tabs->platform, i));
        EXPECT_EQ(labels, c.labels) << c.title;
        VXDestroyControl(window, 1);
    }
    int32_t number = 0;
    VXParseTabLabels(
        "A#12 dropped",
        [](void* data, int32_t, const char*, int32_t n) { *static_cast<int32_t*>(data) = n; },
        &number);
    EXPECT_EQ(number, 12);
    // The tab view's rectangle is its content area; the frame lies around it.
    VXControlRecordTag* tabs = Make(kVXTabView, {40, 10, 200, 300}, "A|B", 1);
    Rect content, frame;
    ASSERT_TRUE(VXGetTabControlRects(tabs, &frame, &content));
    EXPECT_EQ((std::vector<int>{content.top, content.left, content.bottom, content.right}),
              (std::vector<int>{40, 10, 200, 300}));
    EXPECT_LT(frame.top, 40);

    for (auto [height, side] : {std::pair{30, 16}, {40, 32}, {69, 32}, {70, 64}, {140, 128}}) {
        VXControlRecordTag* icon = Make(kVXIconButton, {0, 0, int16_t(height), 40}, "", 2);
        int32_t w = 0, h = 0;
        PlatformControlImageSize(icon->platform, &w, &h);
        EXPECT_EQ(h, side) << height;
        VXDestroyControl(window, 2);
    }
}

int32_t gDraws = 0;
void DrawUser(VXWindowRecordTag* w, int16_t item) {
    ++gDraws;
    EXPECT_EQ(vx.currentWindow, w);
    EXPECT_EQ(item, 7);
}

TEST_F(Controls, FocusInAChildWindowAndUserDrawing) {
    Rect childRect = {200, 300, 300, 500};
    VXWindowRecordTag* child = VXCreateChildWindow(0, 0, 0, window, &childRect, nullptr, Handler);
    ASSERT_NE(child, nullptr);
    VXShowWindow(child);
    Rect r = {10, 10, 30, 150};
    VXCreateControl(child, kVXEditText, &r, "child", 1, 0);
    EXPECT_TRUE(VXSetFocusItem(child, 1));
    VXWindowRecordTag* owner = nullptr;
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 0);
    EXPECT_EQ(VXGetFocusItem(window, &owner), 1);
    EXPECT_EQ(owner, child);

    Make(kVXUserDrawn, {10, 10, 60, 60}, "", 7);
    VXSetUserItemProcWithInset(window, 7, DrawUser, 4);
    Rect rect, bounds;
    VXGetItemPosition(window, 7, &rect);
    VXGetControlBounds(VXGetControl(window, 7, nullptr), &bounds);
    EXPECT_EQ((std::vector<int>{rect.top, bounds.top, rect.right, bounds.right}),
              (std::vector<int>{10, 14, 60, 56}));
    gDraws = 0;
    VXInvalRect(window, nullptr);
    VXUpdateWindow(window);
    EXPECT_GE(gDraws, 1);
}

TEST_F(Controls, PictureOfOneControlOfEachType) {
    Rect content = {0, 0, 460, 640};
    VXSetWindowPosition(window, &content);
    struct Item {
        uint8_t type;
        Rect rect;
        const char* title;
        uint32_t value;
    };
    const Item items[] = {
        {kVXBox, {10, 10, 200, 310}, "Box", 0},
        {kVXPushButton, {30, 20, 54, 120}, "Push", 0},
        {kVXCheckBox, {60, 20, 80, 150}, "Check box", 0},
        {kVXRadioButton, {86, 20, 106, 150}, "Radio", 0},
        {kVXEditText, {116, 24, 136, 200}, "Edit text", 0},
        {kVXStaticText, {146, 20, 166, 200}, "Static text", 0},
        {kVXPopup, {30, 160, 54, 290}, "", 0},
        {kVXScroller, {210, 10, 226, 300}, "", 0},
        {kVXImage, {240, 10, 290, 60}, "", 8002},
        {kVXIconButton, {240, 70, 280, 110}, "", 8003},
        {kVXDisclosure, {240, 120, 260, 140}, "", kVXControlOption1},
        {kVXProgress, {240, 150, 256, 300}, "", 0},
        {kVXUserDrawn, {300, 10, 350, 100}, "", 0},
        {kVXColorWell, {300, 110, 330, 170}, "", 0},
        {kVXSegmented, {300, 180, 324, 400}, "Left|Middle|Right", 0},
        {kVXSlider, {340, 180, 360, 400}, "", 0},
        {kVXTabView, {40, 330, 200, 620}, "General|Details", 0},
        {kVXCheckBox, {60, 350, 80, 500}, "Inside the tab", 0},
    };
    int16_t item = 1;
    for (const Item& i : items) ASSERT_NE(Make(i.type, i.rect, i.title, item++, i.value), nullptr);
    VXAddListItem(window, 7, "Pop-up", -1);
    VXSelectListItem(window, 7, 0, true);
    VXSetItemChecked(window, 3, 1);
    VXSetItemText(window, 8, "0.3");
    VXSetProgressBarRange(window, 12, 0, 100);
    VXStepProgressBar(window, 12, 60);
    VXSetColorWellColor(window, 14, 0xFF0000);
    VXSetSelectedSegment(window, 15, 1);
    VXSetItemInt(window, 16, 1);
    VXSetUserItemProcWithInset(
        window, 13,
        [](VXWindowRecordTag* w, int16_t) {
            Rect r;
            VXGetItemPosition(w, 13, &r);
            QZPort* port = QZGetCurrentPort();
            QZStrokeRectangleInsideFrame(port,
                                         {double(r.left), double(r.top), double(r.right - r.left),
                                          double(r.bottom - r.top)});
        },
        0);
    VXUpdateWindow(window);
    const std::string png = WriteScreenshot(window, "controls-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// A stand-in for the list-box module: a child window holds the list. Made with a plain child's
// class, it goes with its parent's children before the controls are released.
VXWindowRecordTag* MakeList(VXWindowRecordTag* parent, const Rect* rect, uint32_t,
                            VXControlRecordTag* control) {
    VXWindowRecordTag* list = VXCreateChildWindow(0, 0, 0, parent, rect, nullptr, nullptr);
    if (list) list->refCon = control;
    return list;
}
int gListsDestroyed = 0;
void DestroyList(VXWindowRecordTag* list) {
    ++gListsDestroyed;
    VXDestroyWindow(list);
}
int32_t CountRows(VXControlRecordTag*) { return 3; }

TEST_F(Controls, ListBoxesLiveInTheirListWindows) {
    gVXListBoxHooks.create = MakeList;
    gVXListBoxHooks.destroy = DestroyList;
    gVXListItemHooks.count = CountRows;
    gListsDestroyed = 0;
    VXControlRecordTag* list = Make(kVXListBox, {20, 20, 120, 200}, "", 4);
    ASSERT_NE(list, nullptr);
    VXWindowRecordTag* view = VXGetListBoxWindow(window, 4);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->refCon, list);  // the list learned its control
    EXPECT_EQ(VXGetItemVisible(window, 4), 1);
    EXPECT_EQ(VXCountListItems(window, 4), 3);
    Rect r;
    VXGetItemPosition(window, 4, &r);
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom}), (std::vector<int>{20, 20, 120}));
    VXSetItemVisible(window, 4, false);
    EXPECT_EQ(VXGetItemVisible(window, 4), 0);
    VXSetItemVisible(window, 4, true);
    // The focus: the list view takes it, and the Tab loop reaches it after the edit text.
    Make(kVXEditText, {150, 20, 170, 200}, "", 2);
    VXRebuildControlNavigationLoop(window);
    VXSetFocusItem(window, 2);
    PlatformControlTestKey(window->platformWindow, 9);
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 4);
    // Activity is kept by the list box itself, and told to its list window.
    VXSetItemEnabled(window, 4, false);
    EXPECT_FALSE(list->flags & kVXCtlDrawnActive);
    VXSetItemEnabled(window, 4, true);
    EXPECT_TRUE(list->flags & kVXCtlDrawnActive);
    VXDestroyControl(window, 4);
    EXPECT_EQ(gListsDestroyed, 1);
    EXPECT_EQ(VXGetFirstChild(window), nullptr);
    // A list box made hidden stays hidden by its item.
    ASSERT_NE(Make(kVXListBox, {20, 20, 120, 200}, "", 5, kVXControlHidden), nullptr);
    EXPECT_EQ(VXGetItemVisible(window, 5), 0);
    EXPECT_TRUE(VXGetControl(window, 5, nullptr)->flags & kVXCtlItemHidden);
    gVXListBoxHooks = VXListBoxHooks{};
    gVXListItemHooks = VXListItemHooks{};
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(Controls, AColourWellChoosesThroughTheColourPanel) {
    VXControlRecordTag* well = Make(kVXColorWell, {10, 10, 40, 60}, "", 5);
    EXPECT_EQ(VXGetColorWellColor(window, 5), 0u);  // black
    Log().clear();
    const PlatformRect f = PlatformControlFrame(well->platform);
    PlatformControlTestClick(well->platform, f.width / 2, f.height / 2);
    ASSERT_TRUE(PlatformControlColorPanelIsOpen());
    PlatformControlTestPickColor(0x00FF00);
    EXPECT_EQ(VXGetColorWellColor(window, 5), 0x00FF00u);
    EXPECT_EQ(Joined(), "17:5 19:5 18:5");
    // The panel forgets a well that is gone.
    VXDestroyControl(window, 5);
    PlatformControlTestPickColor(0x0000FF);
    EXPECT_EQ(Joined(), "");
    PlatformControlCloseColorPanel();
    EXPECT_FALSE(PlatformControlColorPanelIsOpen());
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// Destroys the clicked control from its own events.
int32_t DestroysControl(VXWindowRecordTag* w, VXEventRecord* event) {
    ControlsTest::Handler(w, event);
    if (event->kind == kVXTrackControlEvent) VXDestroyControl(w, event->u.track.item);
    if (event->kind == kVXControlEvent) VXDestroyControl(w, event->u.control.item);
    return 0;
}

TEST_F(Controls, AControlDestroyedByItsOwnEventsLeavesNothingBehind) {
    VXSetWindowEventHandler(window, DestroysControl);
    for (uint8_t type : {kVXIconButton, kVXPushButton, kVXCheckBox, kVXSlider, kVXSegmented}) {
        VXControlRecordTag* c = Make(type, {10, 10, 40, 200}, "A|B", 5);
        Log().clear();
        PlatformControlTestClick(c->platform, type == kVXSegmented ? 150 : 8, 15);
        EXPECT_EQ(VXGetControl(window, 5, nullptr), nullptr) << int(type);
        EXPECT_EQ(Log().size(), 1u) << int(type);
    }
    VXControlRecordTag* field = Make(kVXEditText, {10, 10, 30, 200}, "", 6);
    ASSERT_NE(field, nullptr);
    VXSetFocusItem(window, 6);
    PlatformControlTestType(window->platformWindow, "xy");
    EXPECT_EQ(VXGetControl(window, 6, nullptr), nullptr);
    PlatformControlFlushDestroyed();
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(Controls, ATallEditTextTakesSeveralLines) {
    Make(kVXPushButton, {200, 300, 220, 380}, "OK", 1);
    Make(kVXPushButton, {200, 200, 220, 280}, "Cancel", 2);
    Make(kVXEditText, {10, 10, 80, 300}, "", 3);
    Make(kVXEditText, {100, 10, 120, 300}, "", 4);
    handled = 1u << kVXControlEvent;  // the dialog stays open
    VXSetFocusItem(window, 3);
    Log().clear();
    PlatformControlTestType(window->platformWindow, "a");
    PlatformControlTestKey(window->platformWindow, 13);  // a line break, no button
    PlatformControlTestType(window->platformWindow, "b");
    char text[256];
    VXGetItemText(window, 3, text);
    EXPECT_STREQ(text, "a\nb");
    EXPECT_EQ(Joined(), "18:3 18:3 18:3");
    PlatformControlTestKey(window->platformWindow, 27);
    EXPECT_EQ(Joined(), "18:2");
    VXSelectItemText(window, 3, 2, 3);
    int32_t start = 0, end = 0;
    VXGetItemTextSelection(window, 3, &start, &end);
    EXPECT_EQ((std::vector<int>{start, end}), (std::vector<int>{2, 3}));
    PlatformControlTestKey(window->platformWindow, 9);
    EXPECT_EQ(VXGetFocusItem(window, nullptr), 4);
    VXSetItemText(window, 3, "x\ny");
    VXGetItemText(window, 3, text);
    EXPECT_STREQ(text, "x\ny");
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

VXEventRecord gLastTrack;
int32_t KeepsTrack(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind == kVXTrackControlEvent) gLastTrack = *event;
    return 0;
}

TEST_F(Controls, ClickPointsAndTheDialogsActivation) {
    VXSetWindowEventHandler(window, KeepsTrack);
    VXControlRecordTag* icon = Make(kVXIconButton, {30, 40, 70, 80}, "", 5);
    gLastTrack = VXClearedEvent(0);
    PlatformControlTestClick(icon->platform, 7, 9, 1, kVXModShift);
    ASSERT_EQ(gLastTrack.kind, kVXTrackControlEvent);
    // The point is in the control's superview, the window's content.
    EXPECT_EQ(gLastTrack.u.track.mouse.h, 47);
    EXPECT_EQ(gLastTrack.u.track.mouse.v, 39);
    EXPECT_EQ(gLastTrack.u.track.mouse.button, 1);
    EXPECT_EQ(gLastTrack.u.track.mouse.shift, 1);
    // A control disabled by its item is not offered (the flag alone, the platform control
    // left enabled, so that the click reaches the window).
    gLastTrack = VXClearedEvent(0);
    VXControlRecordTag* c = VXGetControl(window, 5, nullptr);
    c->flags |= kVXCtlItemDisabled;
    PlatformControlTestClick(icon->platform, 7, 9);
    EXPECT_EQ(gLastTrack.kind, 0);
    c->flags &= uint16_t(~kVXCtlItemDisabled);

    // A dialog that goes to the background makes its controls inactive, and back.
    SendActivateEvent(window, false);
    EXPECT_FALSE(PlatformControlIsEnabled(icon->platform));
    EXPECT_TRUE(window->status() & kVXStatusDeactivatedControls);
    SendActivateEvent(window, true);
    EXPECT_TRUE(PlatformControlIsEnabled(icon->platform));
    EXPECT_FALSE(window->status() & kVXStatusDeactivatedControls);
}

}  // namespace
}  // namespace plexa::test
