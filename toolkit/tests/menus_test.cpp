// Menus: building from definition tables, the bar mirrored into document windows with the
// application menu first, item operations, the font placeholder, opening and choosing items.
#include <cstring>

#include "graphics/fonts.h"
#include "platform/menu_platform.h"
#include "platform/window_platform.h"
#include "toolkit/tests/windows_fixture.h"

namespace plexa::test {
namespace {

using Menus = WindowsTest;

const VXMenuDefItem kGridItems[] = {
    {kVXMenuItem, "Fine", 911, "G"}, {kVXMenuItem, "Coarse", 912, nullptr},
    {0, nullptr, 0, nullptr},
};
const VXMenuDef kGridMenu = {910, "Grid", kGridItems};

const VXMenuDefItem kViewItems[] = {
    {kVXMenuItem, "Zoom In", 901, "="}, {kVXMenuSeparator, "", 0, nullptr},
    {kVXMenuItem, "Hide $AppName", 106, nullptr}, {kVXMenuItem, "$AppName Help", 907, nullptr},
    {kVXMenuSubmenu, "Grid", 910, &kGridMenu}, {kVXMenuItem, "-", 0, nullptr},
    {kVXMenuItem, "Refresh", 902, "r"}, {0, nullptr, 0, nullptr},
};
const VXMenuDef kViewMenu = {900, "View", kViewItems};

const VXMenuDefItem kNoItems[] = {{0, nullptr, 0, nullptr}, {kVXMenuItem, "Hidden", 1, nullptr}};
const VXMenuDef kEmptyMenu = {920, "Empty", kNoItems};
const VXMenuDef kUntitledMenu = {921, nullptr, kGridItems};

const VXMenuDefItem kFontItems[] = {
    {kVXMenuItem, "Default", 801, nullptr}, {kVXMenuItem, "<Fonts>", 0, nullptr},
    {0, nullptr, 0, nullptr},
};
const VXMenuDef kFontMenu = {800, "Font", kFontItems};

std::vector<std::string> Texts(VXMenuRecord* menu) {
    std::vector<std::string> texts;
    char text[128];
    for (int32_t position = 0; position <= VXCountMenuItems(menu); ++position) {
        VXGetMenuItemText(menu, true, position, text);
        texts.push_back(text);
    }
    return texts;
}

TEST_F(Menus, BuiltFromDefinitionsOnce) {
    VXMenuRecord* view = VXBuildMenu(&kViewMenu);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(VXBuildMenu(&kViewMenu), view);
    EXPECT_EQ(view->menuID, 900);
    EXPECT_EQ(view->enabled, 1);
    EXPECT_TRUE(view->flags & kVXMenuHasSubmenus);
    EXPECT_EQ(Texts(view), (std::vector<std::string>{"View", "Zoom In", "-", "Hide Plexa",
                                                     "$AppName Help", "Grid", "-", "Refresh"}));
    VXMenuRecord* grid = VXGetMenuItemChildMenu(view, false, 910);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid, VXBuildMenu(&kGridMenu));
    uint32_t modifiers = 0;
    EXPECT_EQ(PlatformMenuItemKey(grid->menu, 0, &modifiers), 'g');
    EXPECT_EQ(modifiers, kPlatformModCommand | kPlatformModShift);
    EXPECT_EQ(VXCountMenuItems(VXBuildMenu(&kEmptyMenu)), 0);
    EXPECT_EQ(VXBuildMenu(&kUntitledMenu), nullptr);
    EXPECT_EQ(VXCommandToMenuIndex(view, 902), 7);
    EXPECT_EQ(VXCommandToMenuIndex(view, 999), 0);
    // Deleting the item that held the sub-menu clears the flag; the sub-menu record stays.
    VXDeleteMenuItem(view, false, 910);
    EXPECT_FALSE(view->flags & kVXMenuHasSubmenus);
    EXPECT_EQ(VXGetMenuItemChildMenu(view, true, 5), nullptr);
    VXDestroyMenuEx(view, true);
    EXPECT_NE(VXBuildMenu(&kGridMenu), nullptr);
}

TEST_F(Menus, TheBarIsMirroredIntoDocumentWindowsBehindTheApplicationMenu) {
    VXInstallDefaultMenuBar();
    VXWindowRecordTag* document = Document("doc", nullptr);
    const Rect rect = {0, 0, 100, 100};
    VXWindowRecordTag* palette =
        VXCreateWindow(kVXWindowFloating, 0, 0, 5, 0, 0, &rect, "palette", 0, nullptr, nullptr);
    VXMenuRecord* view = VXBuildMenu(&kViewMenu);
    VXInsertMenu(view, 300);
    VXInsertMenu(view, 0xFFFF);  // adds nothing
    VXInsertMenu(VXBuildMenu(&kViewMenu), 0);  // already in the bar
    const std::string app = PlatformMenuTitle(VXGetApplicationMenu()->menu);
    EXPECT_EQ(PlatformWindowMenuTitles(document->platformWindow),
              (std::vector<std::string>{app, "View", "Edit"}));
    EXPECT_TRUE(PlatformWindowMenuTitles(palette->platformWindow).empty());
    EXPECT_TRUE(VXIsTopLevelMenuBarMenu(view));
    EXPECT_FALSE(VXIsTopLevelMenuBarMenu(VXGetMenuWithTag(910)));
    EXPECT_EQ(VXGetMenuWithTag(910), VXBuildMenu(&kGridMenu));
    uint16_t index = 0;
    EXPECT_EQ(VXFindMenuItemWithTag(912, &index), VXBuildMenu(&kGridMenu));
    EXPECT_EQ(index, 2);
    VXMenuRecord* found = nullptr;
    EXPECT_EQ(VXGetMenuItemWithTag(0, kVXCommandQuit, &found),
              VXCommandToMenuIndex(VXGetApplicationMenu(), kVXCommandQuit));
    EXPECT_EQ(found, VXGetApplicationMenu());
    VXSetMenuItemText(view, true, 0, "Show");
    EXPECT_EQ(PlatformWindowMenuTitles(document->platformWindow)[1], "Show");
    VXRemoveMenuFromMenuBar(view);
    EXPECT_EQ(PlatformWindowMenuTitles(document->platformWindow),
              (std::vector<std::string>{app, "Edit"}));
    VXClearMenuBar();
    EXPECT_EQ(PlatformWindowMenuTitles(document->platformWindow), (std::vector<std::string>{app}));
}

TEST_F(Menus, ItemOperationsByPositionAndByCommand) {
    VXMenuRecord* menu = VXNewMenu(950, "Misc");
    EXPECT_EQ(VXInsertMenuItem(menu, true, 99, 951, "Last"), 1);
    EXPECT_EQ(VXInsertMenuItem(menu, true, 1, 952, "First"), 1);
    EXPECT_EQ(VXInsertMenuItem(menu, false, 951, 953, "Before last"), 2);
    EXPECT_EQ(VXInsertMenuItem(menu, false, 4242, 954, "End"), 4);
    EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Misc", "First", "Before last", "Last", "End"}));
    VXSetMenuItemChecked(menu, false, 953, true);
    EXPECT_TRUE(VXGetMenuItemChecked(menu, true, 2));
    VXSetMenuItemEnabled(menu, true, 3, false);
    EXPECT_FALSE(VXGetMenuItemEnabled(menu, false, 951));
    VXSetMenuItemEnabled(menu, true, 0, false);
    EXPECT_EQ(menu->enabled, 0);
    VXSetMenuItemTag(menu, true, 4, 955);
    EXPECT_EQ(VXCommandToMenuIndex(menu, 955), 4);
    // Items that are not there: nothing happens, nothing is answered.
    char text[128];
    VXGetMenuItemText(menu, true, 9, text);
    EXPECT_STREQ(text, "");
    VXSetMenuItemText(menu, false, 4242, "x");
    EXPECT_FALSE(VXGetMenuItemChecked(menu, true, -1));
    EXPECT_EQ(VXGetNSMenuItemReference(menu, true, 5), 0u);
    // Long titles are cut at a whole character within 128 bytes.
    std::string title(126, 'a');
    title += "\xE2\x82\xAC";
    VXSetMenuItemText(menu, true, 1, title.c_str());
    VXGetMenuItemText(menu, true, 1, text);
    EXPECT_EQ(std::strlen(text), 126u);
    VXDeleteAllMenuItems(menu);
    EXPECT_EQ(VXCountMenuItems(menu), 0);
}

TEST_F(Menus, FontsReplaceThePlaceholderOnce) {
    VXMenuRecord* menu = VXBuildMenu(&kFontMenu);
    InitFontTables();
    std::vector<std::string> fonts;
    char name[256];
    for (int32_t index = 0; index < VXCountFonts(); ++index)
        if (VXGetIndexedFont(index, name)) fonts.push_back(name);
    VXAppendFontNamesToMenu(menu, false);
    VXAppendFontNamesToMenu(VXBuildMenu(&kFontMenu), false);
    ASSERT_EQ(VXCountMenuItems(menu), int32_t(1 + fonts.size()));
    if (fonts.empty()) return;
    char text[128];
    VXGetMenuItemText(menu, true, 2, text);
    EXPECT_EQ(text, fonts[0]);
    EXPECT_EQ(VXGetMenuItemTag(menu, 2), kVXFontItemTag);
    EXPECT_EQ(VXGetFontIndexFromMenu(menu, 2), 0);
    EXPECT_EQ(VXGetFontIndexFromMenu(menu, 1), -1);
    // A chosen font travels as the command's extra value.
    static VXEventRecord seen;
    seen = VXClearedEvent(0);
    VXWindowRecordTag* window = Document("w", [](VXWindowRecordTag*, VXEventRecord* e) -> int32_t {
        if (e->kind == kVXCommandEvent) seen = *e;
        return 1;
    });
    VXShowWindow(window);
    TestChooseMenuItem(menu->menu, int32_t(fonts.size()));
    EXPECT_EQ(seen.u.command.command, kVXFontItemTag);
    EXPECT_EQ(seen.u.command.extra, fonts.size() - 1);
    EXPECT_EQ(seen.u.command.itemIndex, fonts.size() + 1);
    char chosen[256];
    EXPECT_EQ(VXGetFontCommandInfo(&seen, chosen), int32_t(fonts.size() - 1));
    EXPECT_EQ(chosen, fonts.back());
}

TEST_F(Menus, OpeningAMenuPreparesItAndChoosingSendsTheCommand) {
    VXInstallDefaultMenuBar();
    VXMenuRecord* view = VXBuildMenu(&kViewMenu);
    VXInsertMenu(view, 0);
    VXWindowRecordTag* window = Document("w", [](VXWindowRecordTag*, VXEventRecord* e) -> int32_t {
        if (e->kind == kVXCommandEvent)
            WindowsTest::Log().push_back(std::to_string(e->u.command.command) + "@" +
                                         std::to_string(e->u.command.itemIndex));
        return 1;
    });
    VXShowWindow(window);
    VXSetPrepCommandProc(window, [](VXPrepCommandRecord* record) -> int32_t {
        WindowsTest::Log().push_back("prep:" + std::to_string(record->command));
        record->enabled = record->command != 911;
        return 1;
    });
    // Opening the Grid sub-menu prepares the View menu above it, sub-menu included (its item
    // in View and the sub-menu itself both carry 910).
    VXMenuRecord* grid = VXBuildMenu(&kGridMenu);
    TestOpenMenu(grid->menu);
    EXPECT_EQ(Log(), (std::vector<std::string>{"prep:900", "prep:901", "prep:106", "prep:907",
                                               "prep:910", "prep:910", "prep:911", "prep:912",
                                               "prep:902"}));
    EXPECT_FALSE(VXGetMenuItemEnabled(grid, true, 1));
    Log().clear();
    TestChooseMenuItem(grid->menu, 0);  // disabled: nothing
    TestChooseMenuItem(grid->menu, 1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"912@2"}));
    // The application menu is prepared by tag when it opens.
    Log().clear();
    TestOpenMenu(VXGetApplicationMenu()->menu);
    EXPECT_EQ(Log(), (std::vector<std::string>{"prep:101", "prep:102", "prep:105"}));
}

}  // namespace
}  // namespace plexa::test
