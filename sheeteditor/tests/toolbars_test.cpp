// The drawing tools and the tool bars of a sheet in its window: the buttons' places in both
// layouts of the top bar and in the palette, choosing a tool and choosing it again, the shortcut
// menus, and the rotate buttons with the library-part tool.
#include "sheeteditor/toolbars.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "model/sheet.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_tracking.h"

namespace plexa::test {
namespace {

std::string Show(const Rect& r) {
    return "{" + std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right) + "}";
}

class ToolBars : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitControls();
        InitSheetWindows();
        SetSheetToolsHooks(SheetToolsHooks{});
        gPlaceTransformation = 0;
    }
    void TearDown() override {
        sheets.DestroyAll();
        SetSheetToolsHooks(SheetToolsHooks{});
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }
    static std::string ItemRect(VXWindowRecordTag* window, int16_t item) {
        Rect r;
        VXGetItemPosition(window, item, &r);
        return Show(r);
    }
    // A click on a button as the toolkit reports it to the bar.
    static void Press(VXWindowRecordTag* window, int16_t item) {
        VXControlRecordTag* control = VXGetControl(window, item, nullptr);
        ASSERT_NE(control, nullptr) << item;
        SendControlEvent(control, 0, 0, 0);
    }
    SheetWindowList sheets;
};

TEST_F(ToolBars, TopButtonsFollowTheLayoutRuleInBothLayouts) {
    // Each row: id, collapsed rectangle, expanded rectangle (the rule worked by hand).
    struct Row {
        int16_t id;
        Rect collapsed, expanded;
    };
    const Row rows[] = {
        {2017, {4, 36, 33, 65}, {42, 4, 71, 33}},       {2019, {4, 76, 33, 105}, {76, 4, 105, 33}},
        {2020, {4, 116, 33, 145}, {42, 44, 71, 73}},    {2021, {4, 148, 33, 177}, {42, 76, 71, 105}},
        {2022, {4, 180, 33, 209}, {42, 108, 71, 137}},  {2023, {4, 212, 33, 241}, {42, 140, 71, 169}},
        {2048, {4, 252, 33, 281}, {76, 58, 105, 87}},   {2049, {4, 284, 33, 313}, {76, 90, 105, 119}},
        {2050, {4, 316, 33, 345}, {76, 122, 105, 151}}, {2035, {4, -60, 33, -31}, {42, 180, 71, 209}},
        {2028, {4, -92, 33, -63}, {76, 180, 105, 209}},
    };
    for (int32_t i = 0; i < kTopToolCount; ++i) {
        ASSERT_EQ(gTopToolsMap[i].id, rows[i].id);
        ASSERT_EQ(gExpTopToolsMap[i].id, rows[i].id);
        EXPECT_EQ(Show(CalcTopToolButtonRect(gTopToolsMap[i], false)), Show(rows[i].collapsed)) << rows[i].id;
        EXPECT_EQ(Show(CalcTopToolButtonRect(gExpTopToolsMap[i], true)), Show(rows[i].expanded)) << rows[i].id;
    }

    // In the window: a new sheet's bar is expanded; the buttons stand where the rule puts them,
    // the two with negative codes counted from the bar's right edge.
    SheetRecord* sheet = sheets.New();
    ASSERT_TRUE(sheet);
    VXWindowRecordTag* bar = sheet->topToolBar;
    Rect client;
    VXGetClientRect(bar, &client);
    const auto width = int16_t(client.right - client.left);
    ASSERT_EQ(sheet->topToolsExpanded, 1);
    EXPECT_EQ(client.bottom - client.top, kTopToolBarExpanded);
    for (const Row& row : rows) EXPECT_EQ(ItemRect(bar, row.id), Show(row.expanded)) << row.id;
    EXPECT_EQ(ItemRect(bar, kTopToolProjectContext), Show({9, 36, 31, 212}));
    EXPECT_NE(sheet->libraryPane, nullptr);

    ExpandCollapseTopDrawTools(bar, false);
    VXGetClientRect(bar, &client);
    EXPECT_EQ(client.bottom - client.top, kTopToolBarCollapsed);
    EXPECT_EQ(sheet->topToolsExpanded, 0);
    EXPECT_EQ(sheet->libraryPane, nullptr);
    EXPECT_EQ(VXGetControl(bar, kTopToolPartPopup, nullptr), nullptr);
    for (const Row& row : rows) {
        Rect want = row.collapsed;
        if (want.left < 0) want = {want.top, int16_t(width + want.left), want.bottom, int16_t(width + want.right)};
        EXPECT_EQ(ItemRect(bar, row.id), Show(want)) << row.id;
    }
    // The popup 16 right of "Select Fill Color".
    EXPECT_EQ(ItemRect(bar, kTopToolProjectContext), Show({9, 361, 31, 537}));

    // The disclosure expands it again, library pane and all.
    VXSetDisclosureState(bar, kTopToolDisclosure, true);
    Press(bar, kTopToolDisclosure);
    EXPECT_EQ(sheet->topToolsExpanded, 1);
    EXPECT_NE(sheet->libraryPane, nullptr);
    EXPECT_EQ(ItemRect(bar, 2048), Show({76, 58, 105, 87}));
}

TEST_F(ToolBars, PaletteButtonsStackAndTheSubSheetToolOnlyWithItsPreference) {
    SheetRecord* plain = sheets.New();
    ASSERT_TRUE(plain);
    // Without the preference the sub-sheet tool is missing and the tools below move up.
    EXPECT_EQ(VXGetControl(plain->toolPalette, kDrawToolSubSheet, nullptr), nullptr);
    EXPECT_EQ(ItemRect(plain->toolPalette, kDrawToolSelect), Show({4, 4, 33, 33}));
    EXPECT_EQ(ItemRect(plain->toolPalette, kDrawToolWire), Show({97, 4, 126, 33}));
    EXPECT_EQ(ItemRect(plain->toolPalette, kDrawToolArrow), Show({438, 4, 467, 33}));

    SheetToolsHooks hooks;
    hooks.subSheetTool = [] { return true; };
    SetSheetToolsHooks(hooks);
    SheetRecord* hierarchical = sheets.New();
    ASSERT_TRUE(hierarchical);
    VXWindowRecordTag* palette = hierarchical->toolPalette;
    for (int32_t n = 0; n < kDrawingToolCount; ++n)
        EXPECT_EQ(ItemRect(palette, int16_t(gDrawingToolMap[n])), Show(CalcDrawingToolButtonRect(n))) << n;
    // Tips for every button that has one, the popup's too.
    char text[256];
    EXPECT_STREQ(VXGetToolTipText(palette, VXGetControlToolTip(palette, kDrawToolPolygon)), "Place Polygon");
    EXPECT_STREQ(VXGetToolTipText(palette, VXGetControlToolTip(palette, kDrawToolWire)), "Place Wire  [W]");
    EXPECT_STREQ(VXGetToolTipText(hierarchical->topToolBar,
                                  VXGetControlToolTip(hierarchical->topToolBar, kTopToolProjectContext)),
                 "Project Context");
    EXPECT_STREQ(RetrieveToolTipMessage(kTopToolZoomArea, text), "Zoom Area");
    // The select tool is pressed, the popup says there is no context.
    EXPECT_EQ(VXGetButtonState(palette, kDrawToolSelect), 1);
    VXGetListItem(hierarchical->topToolBar, kTopToolProjectContext, 0, text);
    EXPECT_STREQ(text, "No Project Context");
    EXPECT_EQ(VXGetItemEnabled(hierarchical->topToolBar, kTopToolProjectContext), 0);
}

TEST_F(ToolBars, ChoosingAToolAndChoosingItAgain) {
    SheetRecord* sheet = sheets.New();
    ASSERT_TRUE(sheet);
    VXWindowRecordTag* palette = sheet->toolPalette;
    EXPECT_EQ(sheet->selectedTool, kDrawToolSelect);

    // A click on the wire button: the wire tool, its button pressed, the select button up, the
    // crosshair.
    Press(palette, kDrawToolWire);
    EXPECT_EQ(sheet->selectedTool, kDrawToolWire);
    EXPECT_EQ(VXGetButtonState(palette, kDrawToolWire), 1);
    EXPECT_EQ(VXGetButtonState(palette, kDrawToolSelect), 0);
    EXPECT_EQ(sheet->window->standardCursor, 0x7FFFFF02);
    EXPECT_EQ(IsSignalWireMode(sheet), 1);
    EXPECT_EQ(IsBussLineMode(sheet), 0);

    // Zoom area: the zoom cursor (a named one) and the button pressed.
    Press(sheet->topToolBar, kTopToolZoomArea);
    EXPECT_EQ(sheet->zoomMode, 1);
    EXPECT_STREQ(VXGetNamedCursorForWindow(sheet->window), "Cursor_1002");

    // The wire tool again: zoom mode ends with its button, the tool's button stays pressed.
    Press(palette, kDrawToolWire);
    EXPECT_EQ(sheet->selectedTool, kDrawToolWire);
    EXPECT_EQ(sheet->zoomMode, 0);
    EXPECT_EQ(VXGetButtonState(sheet->topToolBar, kTopToolZoomArea), 0);
    EXPECT_EQ(VXGetButtonState(palette, kDrawToolWire), 1);
    EXPECT_STREQ(VXGetNamedCursorForWindow(sheet->window), "");
    EXPECT_EQ(sheet->window->standardCursor, 0x7FFFFF02);

    // Bus, text and select: their own modes and cursors.
    Press(palette, kDrawToolBuss);
    EXPECT_EQ(IsBussLineMode(sheet), 1);
    EXPECT_EQ(IsSignalWireMode(sheet), 0);
    EXPECT_EQ(VXGetButtonState(palette, kDrawToolWire), 0);
    Press(palette, kDrawToolText);
    EXPECT_EQ(sheet->window->standardCursor, 0x7FFFFF01);
    Press(palette, kDrawToolSelect);
    EXPECT_EQ(sheet->window->standardCursor, 0x7FFFFF00);
    EXPECT_EQ(VXGetButtonState(palette, kDrawToolText), 0);

    // The snap button toggles the sheet's snap.
    const uint8_t snap = sheet->view.snap;
    Press(sheet->topToolBar, kTopToolSnap);
    EXPECT_EQ(sheet->view.snap, snap ? 0 : 1);
}

TEST_F(ToolBars, ShortcutMenusListTheirGroupOrSayEmpty) {
    VXMenuRecord* empty = BuildShortcutMenu(kDrawToolPowerShortcuts);
    ASSERT_NE(empty, nullptr);
    ASSERT_EQ(VXCountMenuItems(empty), 1);
    char text[128];
    VXGetMenuItemText(empty, true, 1, text);
    EXPECT_STREQ(text, "Empty");
    EXPECT_FALSE(VXGetMenuItemEnabled(empty, true, 1));
    EXPECT_EQ(VXGetMenuItemTag(empty, 1), kFirstShortcutCommand);
    VXDestroyMenuEx(empty, true);

    SheetToolsHooks hooks;
    hooks.shortcutCount = [](int32_t group) { return group == 1 ? 2 : 0; };
    hooks.shortcutName = [](int32_t group, int32_t index, char* name, int32_t size) {
        std::snprintf(name, size_t(size), "%s %d", group == 1 ? "Port" : "?", int(index));
    };
    SetSheetToolsHooks(hooks);
    VXMenuRecord* ports = BuildShortcutMenu(kDrawToolPortShortcuts);
    ASSERT_EQ(VXCountMenuItems(ports), 2);
    for (int32_t n = 0; n < 2; ++n) {
        VXGetMenuItemText(ports, true, n + 1, text);
        EXPECT_EQ(std::string(text), "Port " + std::to_string(n));
        EXPECT_TRUE(VXGetMenuItemEnabled(ports, true, n + 1));
        EXPECT_EQ(VXGetMenuItemTag(ports, n + 1), kFirstShortcutCommand + n);
    }
    VXDestroyMenuEx(ports, true);
    VXMenuRecord* components = BuildShortcutMenu(kDrawToolComponentShortcuts);
    VXGetMenuItemText(components, true, 1, text);
    EXPECT_STREQ(text, "Empty");
    VXDestroyMenuEx(components, true);

    // Choosing the second port makes it the library selection and takes the library-part tool;
    // an entry that cannot be selected leaves another tool alone, and puts the library-part tool
    // down (its next click would place the part chosen before).
    static std::vector<std::string> chosen;
    chosen.clear();
    hooks.selectShortcut = [](int32_t group, int32_t index) {
        chosen.push_back(std::to_string(group) + ":" + std::to_string(index));
        return index == 1;
    };
    SetSheetToolsHooks(hooks);
    SheetRecord* sheet = sheets.New();
    ASSERT_TRUE(sheet);
    gShortcutTool = kDrawToolPortShortcuts;
    VXEventRecord command = VXClearedEvent(kVXCommandEvent);
    command.u.command.command = kFirstShortcutCommand;
    DispatchEvent(sheet->toolPalette, &command);
    EXPECT_EQ(sheet->selectedTool, kDrawToolSelect);
    command.u.command.command = uint16_t(kFirstShortcutCommand + 1);
    DispatchEvent(sheet->toolPalette, &command);
    EXPECT_EQ(sheet->selectedTool, kDrawToolLibraryPart);
    EXPECT_EQ(VXGetButtonState(sheet->toolPalette, kDrawToolLibraryPart), 1);
    command.u.command.command = kFirstShortcutCommand;
    DispatchEvent(sheet->toolPalette, &command);
    EXPECT_EQ(sheet->selectedTool, kDrawToolSelect);
    EXPECT_EQ(chosen, (std::vector<std::string>{"1:0", "1:1", "1:0"}));
}

TEST_F(ToolBars, RotatingWithThePlacingToolTurnsTheSymbolBeingPlaced) {
    SheetRecord* sheet = sheets.New();
    ASSERT_TRUE(sheet);
    VXWindowRecordTag* bar = sheet->topToolBar;
    // With the select tool and nothing selected the buttons change nothing.
    Press(bar, kTopToolRotateRight);
    EXPECT_EQ(gPlaceTransformation, 0);
    EXPECT_EQ(sheet->modifiedFlags & kSheetModifiedContent, 0);

    SetDrawingTool(sheet, kDrawToolLibraryPart);
    ASSERT_EQ(sheet->selectedTool, kDrawToolLibraryPart);
    int32_t expected = 0;
    for (int16_t button : {kTopToolRotateRight, kTopToolRotateRight, kTopToolMirrorH, kTopToolRotateLeft,
                           kTopToolMirrorV}) {
        Press(bar, button);
        const int32_t code = button == kTopToolRotateLeft    ? kRotateLeftCode
                             : button == kTopToolRotateRight ? kRotateRightCode
                             : button == kTopToolMirrorH     ? kMirrorHorizontalCode
                                                             : kMirrorVerticalCode;
        expected = VXTransformTransformation(expected, code);
        EXPECT_EQ(gPlaceTransformation, expected) << button;
    }
    // Two right turns then a horizontal mirror: a half turn, mirrored.
    EXPECT_EQ(VXTransformTransformation(VXTransformTransformation(VXTransformTransformation(0, 1), 1), 4), 6);
}

}  // namespace
}  // namespace plexa::test
