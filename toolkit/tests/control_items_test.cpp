// The control item calls: texts and numbers, the typed-number range, radio groups and their
// action slots, pop-up items, segments, colour wells, and the answers for missing items.
#include <climits>
#include <cstring>

#include "graphics/textedit.h"
#include "toolkit/tests/controls_fixture.h"

namespace plexa::test {
namespace {

using ControlItems = ControlsTest;

std::string Text(VXWindowRecordTag* window, int16_t item) {
    char text[256];
    VXGetItemText(window, item, text);
    return text;
}

TEST_F(ControlItems, TextsByType) {
    Make(kVXCheckBox, {10, 10, 30, 100}, "Check", 1);
    Make(kVXPopup, {40, 10, 60, 100}, "", 2);
    Make(kVXEditText, {70, 10, 90, 100}, "typed", 3);
    Make(kVXBox, {100, 10, 200, 300}, "Group", 4);
    Make(kVXSlider, {210, 10, 230, 200}, "", 5);
    VXAddListItem(window, 2, "Item", -1);
    EXPECT_EQ(Text(window, 1), "Check");
    EXPECT_EQ(Text(window, 2), "");
    EXPECT_EQ(Text(window, 3), "typed");
    EXPECT_EQ(Text(window, 4), "Group");
    VXSetItemText(window, 4, "");
    EXPECT_EQ(Text(window, 4), "");
    // A slider takes its value through the text it is given.
    VXSetItemInt(window, 5, 1);
    EXPECT_DOUBLE_EQ(PlatformControlValue(VXGetControl(window, 5, nullptr)->platform), 1.0);
    VXSetItemText(window, 5, "0.25");
    EXPECT_DOUBLE_EQ(PlatformControlValue(VXGetControl(window, 5, nullptr)->platform), 0.25);
    // Numbers read back, limited to 32 bits.
    struct Case {
        const char* text;
        int32_t asInt;
        uint32_t asUInt;
    };
    for (const Case& c : {Case{"42", 42, 42u}, Case{"-7", -7, 0u}, Case{"12abc", 12, 12u},
                          Case{"99999999999", INT32_MAX, UINT32_MAX}, Case{"", 0, 0u}}) {
        VXSetItemText(window, 3, c.text);
        EXPECT_EQ(VXGetItemInt(window, 3), c.asInt) << c.text;
        EXPECT_EQ(VXGetItemUInt(window, 3), c.asUInt) << c.text;
    }
    VXSetItemUInt(window, 3, 4000000000u);
    EXPECT_EQ(Text(window, 3), "4000000000");
}

TEST_F(ControlItems, TruncatingKeepsWholeCharacters) {
    Make(kVXEditText, {10, 10, 30, 200}, "", 1);
    struct Case {
        const char* text;
        int32_t max;
        const char* left;
    };
    for (const Case& c :
         {Case{"abcdef", 3, "abc"}, Case{"a\xC3\xA9z", 2, "a"}, Case{"a\xC3\xA9z", 3, "a\xC3\xA9"},
          Case{"\xE2\x82\xAC", 2, ""}, Case{"short", 10, "short"}, Case{"abc", -1, ""}}) {
        VXSetItemText(window, 1, c.text);
        EXPECT_EQ(VXTruncateItemText(window, 1, c.max), int32_t(std::strlen(c.left))) << c.text;
        EXPECT_EQ(Text(window, 1), c.left);
    }
    // A 300-byte text of two-byte characters read into 256 bytes ends on a whole character.
    std::string longText;
    for (int i = 0; i < 150; ++i) longText += "\xC3\xA9";
    VXSetItemText(window, 1, longText.c_str());
    EXPECT_EQ(Text(window, 1).size(), 254u);
}

TEST_F(ControlItems, TypedNumbersAreKeptInRange) {
    Make(kVXEditText, {10, 10, 30, 200}, "", 1);
    struct Case {
        int32_t minimum, maximum;
        bool isSigned;
        const char* typed;
        const char* shown;
        bool inRange;
    };
    const Case cases[] = {
        {10, 99, false, "1", "1", false},  // the first digit of a larger number
        {10, 99, false, "150", "99", true},
        {0, 99, false, "", "0", true},
        {0, 99, false, "7x", "7", true},  // what follows the number goes
        {1, 9999, false, "0", "1", true},
        {1, 9999, false, "abc", "1", true},
        {-50, 50, true, "-", "-", false},  // a minus sign being typed stays
        {0, 50, true, "-", "0", true},
        {-50, 50, true, "-80", "-50", true},
        {-50, 50, true, "", "0", true},
        {5, 10, true, "-3", "-3", false},  // below a minimum of 2 or more: left for typing
        {0, 100, false, "12345678901234", "100", true},
        {0, int32_t(0xFFFFFFFF), false, "4000000000", "4000000000", true},
    };
    for (const Case& c : cases) {
        VXSetItemText(window, 1, c.typed);
        EXPECT_EQ(VXEnforceItemIntRange(window, 1, c.minimum, c.maximum, c.isSigned), c.inRange)
            << c.typed << " in " << c.minimum << ".." << c.maximum;
        EXPECT_EQ(Text(window, 1), c.shown) << c.typed;
    }
    // An emptied field with the focus gets its new text selected.
    VXSetFocusItem(window, 1);
    VXSetItemText(window, 1, "");
    VXEnforceItemIntRange(window, 1, 0, 99, false);
    int32_t start = 0, end = 0;
    EXPECT_EQ(VXGetItemTextSelection(window, 1, &start, &end), 1);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 1);
}

TEST_F(ControlItems, RadioGroupsAndTheirActionSlots) {
    Make(kVXStaticText, {10, 10, 30, 100}, "Label", 4);
    for (int16_t item : {5, 6, 7})
        Make(kVXRadioButton, {int16_t(10 + 20 * item), 10, int16_t(30 + 20 * item), 100}, "R",
             item);
    Make(kVXCheckBox, {200, 10, 220, 100}, "Check", 8);
    int16_t first = 0, last = 0;
    EXPECT_EQ(VXGetRadioGroupInfo(window, 6, &first, &last), 0);
    EXPECT_EQ(first, 5);
    EXPECT_EQ(last, 7);
    EXPECT_EQ(VXGetRadioGroupInfo(window, 8, &first, &last), -1);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(VXSelectRadioButton(window, 6), 0);
    EXPECT_EQ(VXSelectRadioButton(window, 7), 6);
    EXPECT_EQ(VXGetSelectedRadioButton(window, 5), 7);
    EXPECT_EQ(VXGetSelectedRadioButton(window, 8), 0);
    EXPECT_EQ(window->radioSlots, 1);

    // Nine more groups of two: the ninth selected group finds no slot and still works.
    for (int16_t group = 0; group < 9; ++group) {
        const int16_t a = int16_t(20 + 3 * group);
        Make(kVXRadioButton, {250, 10, 270, 100}, "A", a);
        Make(kVXRadioButton, {250, 110, 270, 200}, "B", int16_t(a + 1));
        VXSetItemChecked(window, a, 1);
        VXSelectRadioButton(window, int16_t(a + 1));
        EXPECT_EQ(VXGetItemChecked(window, a), 0);
        EXPECT_EQ(VXGetItemChecked(window, int16_t(a + 1)), 1);
    }
    EXPECT_EQ(window->radioSlots, 0xFF);
    // Destroying a button that holds a slot frees it.
    VXDestroyControl(window, 7);
    EXPECT_EQ(window->radioSlots, 0xFE);
}

TEST_F(ControlItems, PopupItems) {
    Make(kVXPopup, {10, 10, 30, 200}, "", 1);
    for (const char* text : {"Part1", "Part2", "zeta"}) VXAddListItem(window, 1, text, -1);
    EXPECT_EQ(VXAddSortedListItem(window, 1, "Part10"), 2);
    EXPECT_EQ(VXCountListItems(window, 1), 4);
    char title[128];
    VXGetListItem(window, 1, 2, title);
    EXPECT_STREQ(title, "Part10");
    EXPECT_EQ(VXFindListItem(window, 1, "ZETA", false), 3);
    EXPECT_EQ(VXFindListItem(window, 1, "ZETA", true), -1);
    // A separator keeps the item's reference; made an item again it keeps it too.
    VXSetListItemReference(window, 1, 1, 77);
    VXSetListItem(window, 1, 1, "-");
    VXGetListItem(window, 1, 1, title);
    EXPECT_STREQ(title, "-");
    EXPECT_EQ(VXGetListItemReference(window, 1, 1), 77);
    VXSetListItem(window, 1, 1, "Back");
    VXGetListItem(window, 1, 1, title);
    EXPECT_STREQ(title, "Back");
    EXPECT_EQ(VXGetListItemReference(window, 1, 1), 77);
    VXSetListItemMarkCode(window, 1, 0, 4);
    EXPECT_EQ(VXGetListItemMarkCode(window, 1, 0), 4);
    VXSetListItemMarkCode(window, 1, 0, 9);
    EXPECT_EQ(VXGetListItemMarkCode(window, 1, 0), 0);
    VXSelectListItem(window, 1, 2, true);
    EXPECT_EQ(VXGetSelectedListItem(window, 1, 0), 2);
    VXSelectListItem(window, 1, 99, true);  // out of range: nothing
    EXPECT_EQ(VXGetSelectedListItem(window, 1, 0), 2);
    VXRemoveListItem(window, 1, 1, 0);
    EXPECT_EQ(VXCountListItems(window, 1), 4);
    VXRemoveListItem(window, 1, 0, -1);
    EXPECT_EQ(VXCountListItems(window, 1), 0);
    EXPECT_FALSE(VXSetListDrawingEnabled(window, 1, false));
    EXPECT_EQ(VXGetItemVisible(window, 1), 0);
}

TEST_F(ControlItems, SegmentsTabsAndColourWells) {
    VXControlRecordTag* seg = Make(kVXSegmented, {10, 10, 30, 200}, "A|B", 1);
    VXSetSegmentCount(window, 1, 4);
    ASSERT_EQ(VXGetSegmentCount(window, 1), 4);
    EXPECT_EQ(PlatformControlTabLabel(seg->platform, 2), "empty");
    EXPECT_EQ(PlatformControlTabLabel(seg->platform, 3), "empty");
    VXSetSegmentName(window, 1, 3, "D");
    VXSetSegmentName(window, 1, 4, "beyond");  // index not below the count: nothing
    EXPECT_EQ(PlatformControlTabLabel(seg->platform, 3), "D");
    VXSetSelectedSegment(window, 1, 2);
    EXPECT_EQ(VXGetSelectedSegment(window, 1), 2);
    EXPECT_EQ(VXGetSelectedSegment(window, 2), -1);

    Make(kVXTabView, {60, 10, 200, 300}, "One|Two|Three", 2);
    VXSetTabCount(window, 2, 1);
    EXPECT_EQ(VXGetTabCount(window, 2), 1);
    VXSetTabCount(window, 2, 3);
    EXPECT_EQ(VXGetTabCount(window, 2), 3);
    EXPECT_EQ(VXGetTabCount(window, 1), 0);
    VXSetTabCount(window, 2, -5);
    EXPECT_EQ(VXGetTabCount(window, 2), 0);
    VXSetSegmentCount(window, 1, INT32_MAX);  // limited, not a stall
    EXPECT_EQ(VXGetSegmentCount(window, 1), 1000);
    int16_t margins[4];
    VXGetTabControlOuterMetrics(seg, margins);
    EXPECT_EQ((std::vector<int>{margins[0], margins[1], margins[2], margins[3]}),
              (std::vector<int>{0, 0, 0, 0}));

    Make(kVXColorWell, {220, 10, 250, 60}, "", 3);
    VXSetColorWellColor(window, 3, 0xFF0000);
    EXPECT_EQ(VXGetColorWellColor(window, 3), 0x00FF0000u);
    EXPECT_EQ(VXGetColorWellColor(window, 1), 0x07000000u);
}

TEST_F(ControlItems, SimulatedClicksAndButtonStates) {
    Make(kVXPushButton, {10, 10, 30, 100}, "Go", 5);
    Make(kVXIconButton, {40, 10, 80, 50}, "", 6, kVXControlOption1);
    Log().clear();
    // A simulated click sends no control event of its own.
    EXPECT_EQ(VXSimulateButtonClick(window, 5), 1);
    EXPECT_EQ(VXSimulateButtonClick(window, 6), 1);
    EXPECT_EQ(Joined(), "");
    EXPECT_EQ(PlatformControlState(VXGetControl(window, 6, nullptr)->platform), 1);
    VXSetItemEnabled(window, 5, false);
    EXPECT_EQ(VXSimulateButtonClick(window, 5), 0);
    VXSetItemVisible(window, 6, false);
    EXPECT_EQ(VXSimulateButtonClick(window, 6), 0);
    VXSetButtonState(window, 6, 0);
    EXPECT_EQ(PlatformControlState(VXGetControl(window, 6, nullptr)->platform), 0);
}

TEST_F(ControlItems, MissingItemsAndWrongTypesAnswerNone) {
    Make(kVXStaticText, {10, 10, 30, 100}, "Label", 1);
    for (int16_t item : {1, 99}) {
        EXPECT_EQ(VXGetItemChecked(window, item), 0);
        EXPECT_EQ(VXCountListItems(window, item), 0);
        EXPECT_EQ(VXGetSelectedListItem(window, item, -1), -1);
        EXPECT_EQ(VXAddSortedListItem(window, item, "x"), -1);
        EXPECT_EQ(VXFindListItem(window, item, "x", true), -1);
        EXPECT_EQ(VXTruncateItemText(window, item, 2), 0);
        EXPECT_FALSE(VXEnforceItemIntRange(window, item, 0, 9, false));
        EXPECT_EQ(VXGetDisclosureState(window, item), 0);
        EXPECT_EQ(VXGetUserItemProc(window, item), nullptr);
        EXPECT_EQ(VXGetListBoxWindow(window, item), nullptr);
        int32_t s = 0, e = 0;
        EXPECT_EQ(VXGetItemTextSelection(window, item, &s, &e), 0);
        EXPECT_EQ(s, -1);
        EXPECT_EQ(VXSimulateButtonClick(window, item), 0);
    }
    EXPECT_EQ(VXGetItemEnabled(window, 99), 0);
    EXPECT_EQ(VXGetItemVisible(window, 99), 0);
    EXPECT_EQ(Text(window, 99), "");
    Rect r{1, 2, 3, 4};
    VXGetItemPosition(window, 99, &r);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(VXGetControlType(window, 99), 0);
    // A list box needs the list-box module; without it none is made.
    EXPECT_EQ(Make(kVXListBox, {40, 10, 100, 100}, "", 2), nullptr);
    EXPECT_EQ(Make(19, {40, 10, 100, 100}, "", 2), nullptr);
    EXPECT_EQ(VXCountControls(window), 1);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(ControlItems, SelectionAndClipboardCommandsOfEditTexts) {
    Make(kVXEditText, {10, 10, 30, 200}, "hello world", 1);
    Make(kVXEditText, {40, 10, 60, 200}, "", 2);
    struct Case {
        int32_t start, end;
        int32_t gotStart, gotEnd;
    };
    for (const Case& c : {Case{0, 5, 0, 5}, Case{6, 999, 6, 11}, Case{8, 3, 3, 3}}) {
        VXSelectItemText(window, 1, c.start, c.end);
        int32_t start = 0, end = 0;
        ASSERT_EQ(VXGetItemTextSelection(window, 1, &start, &end), 1);
        EXPECT_EQ(start, c.gotStart);
        EXPECT_EQ(end, c.gotEnd);
    }
    EXPECT_EQ(VXGetItemTextSelection(window, 2, nullptr, nullptr), 0);  // no focus
    // Nothing selected: cut, copy and clear are not sent.
    VXSelectItemText(window, 1, 2, 2);
    EXPECT_FALSE(VXEditControlClipCommand(window, 1, 303));
    VXSelectItemText(window, 1, 0, 5);
    EXPECT_TRUE(VXEditControlClipCommand(window, 1, 302));
    EXPECT_GT(VXTECountScrapCharacters(), 0);
    char text[256];
    VXGetItemText(window, 1, text);
    EXPECT_STREQ(text, " world");
    VXSelectItemText(window, 2, 0, 0);
    EXPECT_TRUE(VXEditControlClipCommand(window, 2, 304));
    VXGetItemText(window, 2, text);
    EXPECT_STREQ(text, "hello");
    VXSelectItemText(window, 2, 0, 1);
    EXPECT_TRUE(VXEditControlClipCommand(window, 2, 305));
    VXGetItemText(window, 2, text);
    EXPECT_STREQ(text, "ello");
}

}  // namespace
}  // namespace plexa::test
