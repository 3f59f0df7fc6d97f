// The annotation dialog: its template holds the items the handler drives, it opens with the
// stored settings, a preset chosen in the list sets the operation controls, and OK stores what
// the user left while Cancel keeps the settings.
#include "sheeteditor/annotatedialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "design/annotate.h"
#include "files/project.h"
#include "foundation/memory.h"
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

// What the dialog showed when the script answered.
std::string gShown;

std::string Describe(VXWindowRecordTag* d) {
    std::string out = "list " + std::to_string(VXGetSelectedListItem(d, kAnnotOperationListItem, -1));
    out += " clear " + std::to_string(VXGetSelectedRadioButton(d, kAnnotNoClearingItem));
    for (int16_t item : {kAnnotResequenceItem, kAnnotAssignItem, kAnnotKeepOrderItem, kAnnotResequenceFirstItem,
                         kAnnotLimitItem})
        out += " " + std::to_string(item) + (VXGetItemChecked(d, item) ? "+" : "-") +
               (VXGetItemEnabled(d, item) ? "" : "x");
    out += " scope " + std::to_string(VXGetSelectedRadioButton(d, kAnnotProjectItem));
    out += VXGetItemEnabled(d, kAnnotSheetItem) ? "" : " 15x";
    out += VXGetItemEnabled(d, kAnnotSelectionItem) ? "" : " 16x";
    out += VXGetItemEnabled(d, 1) ? "" : " OKx";
    return out;
}

// Once the dialog is up: notes it, picks a list entry (-1: none), clicks an item (0: none), notes
// it again, then types the key.
void Answer(int32_t pick, int16_t click, uint16_t key) {
    static int32_t gPick;
    static int16_t gClick;
    static uint16_t gKey;
    gPick = pick;
    gClick = click;
    gKey = key;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        gShown = Describe(dialog);
        if (gPick >= 0) {
            VXSelectListItem(dialog, kAnnotOperationListItem, gPick, true);
            VXEventRecord event{};
            event.kind = kVXControlEvent;
            event.u.control.item = kAnnotOperationListItem;
            AnnotationDialogHandler(dialog, &event);
        }
        if (gClick) PlatformControlTestClick(VXGetControl(dialog, gClick, nullptr)->platform, 4, 4);
        gShown += " | " + Describe(dialog);
        QueueKey(gKey);
    }, nullptr, 0.001);
}

class AnnotationDialog : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        gShown.clear();
        settings = AnnotationSettings{};
        settings.startNumber = 1;
        settings.limitHierarchy = 1;
    }
    AnnotationSettings settings{};
};

TEST_F(AnnotationDialog, TheTemplateHoldsEveryItemOfTheHandler) {
    VXViewTemplate* view = VXLoadDialogTemplate(kAnnotationDialogTemplate);
    ASSERT_TRUE(view);
    std::vector<int16_t> numbers;
    VXControlItemTemplate item;
    for (int32_t i = 0; VXGetTemplateItem(view, i, &item); ++i)
        if (item.itemNumber > 0) numbers.push_back(item.itemNumber);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int16_t>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 20, 21, 22}));
    VXDestroyDialogTemplate(view);
}

TEST_F(AnnotationDialog, OKStoresThePresetChosenInTheList) {
    // A fresh project: incremental update keeping the order; the user picks "Re-annotate All".
    Answer(2, 0, 13);
    EXPECT_TRUE(RunAnnotationDialog(&settings, false, false));
    EXPECT_EQ(gShown, "list 0 clear 6 8- 9+ 10+ 11-x 19+ scope 14 15x 16x | list 2 clear 7 8-x 9+ 10+ 11-x 19+ "
                      "scope 14 15x 16x");
    EXPECT_EQ(settings.operationIndex, 2);
    EXPECT_EQ(settings.operationMask, 9 | kAnnotKeepOrder);
}

TEST_F(AnnotationDialog, ClickingAnOptionMakesTheOperationCustom) {
    settings.operationIndex = 1;
    settings.operationMask = kAnnotCurrentSheet;
    Answer(-1, kAnnotNoClearingItem, 13);
    EXPECT_TRUE(RunAnnotationDialog(&settings, true, false));
    EXPECT_EQ(gShown, "list 1 clear 6 8+ 9+ 10- 11- 19+ scope 15 16x | list 4 clear 5 8+ 9+ 10-x 11- 19+ scope 15 16x");
    EXPECT_EQ(settings.operationIndex, 4);
    EXPECT_EQ(settings.operationMask, 3 | kAnnotCurrentSheet);
}

TEST_F(AnnotationDialog, CancelKeepsTheSettings) {
    const AnnotationSettings before = settings;
    Answer(3, 0, 27);
    EXPECT_FALSE(RunAnnotationDialog(&settings, true, true));
    EXPECT_EQ(std::memcmp(&before, &settings, sizeof settings), 0);
}

}  // namespace
}  // namespace plexa::test
