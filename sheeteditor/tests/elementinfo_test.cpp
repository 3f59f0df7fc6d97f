// The element information dialog: what its check boxes show and allow for each kind on and off a
// sheet, the flags an OK leaves, and the dialog itself answered by scripted input.
#include "sheeteditor/elementinfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "model/elements.h"
#include "platform/control_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

ElementRecord* Build(uint8_t kind, uint16_t flags) {
    ElementParamRecord param{};
    param.kind = kind;
    param.penWidth = 1;
    param.point2 = {10, 10};
    param.flags = flags;
    return BuildElement(&param);
}

std::string Shown(const ElementInfoItems& items) {
    return std::string(items.optionalFill ? "3:on" : "3:off") +
           (items.optionalFillEnabled ? "" : " disabled") + (items.alwaysShown ? " 4:on" : " 4:off") +
           (items.alwaysShownEnabled ? "" : " disabled");
}

TEST(ElementInfoLogic, WhatTheBoxesShowByKindAndPlace) {
    struct Case {
        uint8_t kind;
        uint16_t flags;
        bool onSheet;
        const char* shown;
    };
    const Case cases[] = {
        {kElementRect, kElementOptionalFill, true, "3:on 4:on"},
        {kElementRect, kElementHideable, true, "3:off 4:off"},
        {kElementLine, 0, true, "3:off disabled 4:on"},
        {kElementArrow, 0, true, "3:off disabled 4:on"},
        {kElementImage, 0, true, "3:off disabled 4:on"},
        {kElementLine, 0, false, "3:off 4:on disabled"},
        {kElementNode, kElementHideable, false, "3:off 4:off disabled"},
    };
    for (const Case& c : cases) {
        ElementRecord* e = Build(c.kind, c.flags);
        ASSERT_TRUE(e);
        EXPECT_EQ(Shown(ElementInfoOpening(e, c.onSheet)), c.shown) << int(c.kind);
        DestroyElement(e, nullptr);
    }
}

TEST(ElementInfoLogic, OKSetsOptionalFillAndOnASheetTheHideableFlag) {
    ElementInfoItems items;
    items.optionalFill = true;
    items.alwaysShown = false;
    EXPECT_EQ(ElementInfoFlagsAfterOK(0x0100, true, items), 0x0100 | kElementOptionalFill | kElementHideable);
    EXPECT_EQ(ElementInfoFlagsAfterOK(0x0100, false, items), 0x0100 | kElementOptionalFill);
    items = {};
    items.alwaysShown = true;
    EXPECT_EQ(ElementInfoFlagsAfterOK(kElementOptionalFill | kElementHideable, true, items), 0);
    EXPECT_EQ(ElementInfoFlagsAfterOK(kElementOptionalFill | kElementHideable, false, items),
              kElementHideable);
}

// What the dialog showed when the script answered: item, checked, enabled.
std::vector<std::string> gShown;

// Once the dialog is up: notes its boxes, clicks the given box (0: none), then types the key.
void Answer(int16_t click, uint16_t key) {
    static int16_t gClick;
    static uint16_t gKey;
    gClick = click;
    gKey = key;
    VXPostDeferredAction([](void*) {
        gShown.clear();
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        for (int16_t item : {kElementInfoOptionalFillItem, kElementInfoAlwaysShownItem}) {
            gShown.push_back(std::to_string(item) + (VXGetItemChecked(dialog, item) ? " on" : " off") +
                             (VXGetItemEnabled(dialog, item) ? "" : " disabled"));
        }
        if (gClick) PlatformControlTestClick(VXGetControl(dialog, gClick, nullptr)->platform, 4, 4);
        QueueKey(gKey);
    }, nullptr, 0.001);
}

class ElementInfoDialog : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        gShown.clear();
    }
};

TEST_F(ElementInfoDialog, TheTemplateHoldsTheTwoBoxesAndTheButtons) {
    const auto items = DialogTemplateItems(kElementInfoTemplate);
    EXPECT_EQ(items, (std::vector<std::pair<int16_t, uint16_t>>{{1, kVXPushButton},
                                                                 {2, kVXPushButton},
                                                                 {3, kVXCheckBox},
                                                                 {4, kVXCheckBox}}));
}

TEST_F(ElementInfoDialog, OKTakesTheBoxesAndCancelLeavesTheElement) {
    ElementRecord* e = Build(kElementRect, kElementFilled | kElementHideable);
    // The user ticks "Always shown" and confirms.
    Answer(kElementInfoAlwaysShownItem, 13);
    EXPECT_TRUE(EditElementInfo(e, true));
    EXPECT_EQ(gShown, (std::vector<std::string>{"3 off", "4 off"}));
    EXPECT_EQ(e->flags, kElementFilled);
    // The user ticks "Fill is optional" and cancels.
    Answer(kElementInfoOptionalFillItem, 27);
    EXPECT_FALSE(EditElementInfo(e, true));
    EXPECT_EQ(gShown, (std::vector<std::string>{"3 off", "4 on"}));
    EXPECT_EQ(e->flags, kElementFilled);
    // Off a sheet item 4 cannot be used and the hideable flag is left as it was.
    Answer(kElementInfoOptionalFillItem, 13);
    EXPECT_TRUE(EditElementInfo(e, false));
    EXPECT_EQ(gShown, (std::vector<std::string>{"3 off", "4 on disabled"}));
    EXPECT_EQ(e->flags, kElementFilled | kElementOptionalFill);
    DestroyElement(e, nullptr);
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

}  // namespace
}  // namespace plexa::test
