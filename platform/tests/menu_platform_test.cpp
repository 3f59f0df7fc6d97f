// Native menus: a separator shows no text (the style would draw it as a label in the line), the
// item keeps its text meanwhile and shows it again once it stops being a separator.
#include <string>

#include "platform/menu_platform.h"
#include "platform/tests/platform_fixture.h"

namespace plexa::test {
namespace {

using PlatformMenus = PlatformTest;

TEST_F(PlatformMenus, SeparatorsShowNoText) {
    PlatformMenu* menu = PlatformMenuCreate("Edit", nullptr);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(PlatformMenuInsertItem(menu, -1, "Cut", 1, false), 0);
    EXPECT_EQ(PlatformMenuInsertItem(menu, -1, "-", 0, true), 1);
    EXPECT_EQ(PlatformMenuInsertItem(menu, -1, "Paste", 2, false), 2);
    EXPECT_TRUE(PlatformMenuItemIsSeparator(menu, 1));
    EXPECT_EQ(TestMenuItemShownText(menu, 1), "");
    EXPECT_EQ(PlatformMenuItemText(menu, 1), "-");
    EXPECT_EQ(TestMenuItemShownText(menu, 0), "Cut");

    // An item that becomes a separator hides its text, and shows it (or a text set meanwhile)
    // again when it stops being one.
    PlatformMenuSetItemSeparator(menu, 2, true);
    EXPECT_EQ(TestMenuItemShownText(menu, 2), "");
    PlatformMenuSetItemSeparator(menu, 2, false);
    EXPECT_EQ(TestMenuItemShownText(menu, 2), "Paste");
    PlatformMenuSetItemSeparator(menu, 0, true);
    PlatformMenuSetItemText(menu, 0, "Copy");
    EXPECT_EQ(TestMenuItemShownText(menu, 0), "");
    EXPECT_EQ(PlatformMenuItemText(menu, 0), "Copy");
    PlatformMenuSetItemSeparator(menu, 0, false);
    EXPECT_EQ(TestMenuItemShownText(menu, 0), "Copy");
    PlatformMenuSetItemSeparator(menu, 1, false);
    EXPECT_EQ(TestMenuItemShownText(menu, 1), "-");
    PlatformMenuDestroy(menu);
}

}  // namespace
}  // namespace plexa::test
