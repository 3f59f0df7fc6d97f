// The simulator tool bar of the sheet windows: there while the link to the simulator is up, gone
// when the link goes (taking a simulator tool with it), and its lists showing "None" for a sheet
// without analyses.
#include <gtest/gtest.h>

#include <string>

#include "app/editor_root.h"
#include "app/root.h"
#include "app/shell.h"
#include "design/simlink.h"
#include "model/sheet.h"
#include "sheeteditor/simtools.h"
#include "sheeteditor/spicewindows.h"
#include "app/tests/editor_windows_testing.h"
#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class SimulatorToolBar : public EditorWindowsTest {
protected:
    void TearDown() override {
        DisableSpiceLink();
        EditorWindowsTest::TearDown();
    }
    // The link listening (nobody connects), and the windows told as the setup dialog tells them.
    static void LinkOn() {
        const SpiceCommSettings settings{0, 0, 1};
        ASSERT_EQ(EnableSpiceLink(&settings, false, 0), 0);
        GetSpiceWindowHooks().showSimulatorTools(true);
    }
    static void LinkOff() {
        DisableSpiceLink();
        GetSpiceWindowHooks().showSimulatorTools(false);
    }
    static std::string ListItem(VXWindowRecordTag* bar, int16_t item, int32_t index) {
        char text[256] = "";
        VXGetListItem(bar, item, index, text);
        return text;
    }
};

TEST_F(SimulatorToolBar, TheBarShowsAndHidesWithTheLink) {
    SheetRecord* sheet = sheets.New();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->simulatorTools, nullptr) << "no link, no bar";

    LinkOn();
    VXWindowRecordTag* bar = sheet->simulatorTools;
    ASSERT_NE(bar, nullptr);
    for (int16_t item : {kSpiceShowLabels, kSpicePlaceLabel, kSpiceRun, kSpiceUpdate, kSpiceGraphSignals,
                         kSpiceAnalyses, kSpiceGraphs})
        EXPECT_NE(VXGetControl(bar, item, nullptr), nullptr) << item;
    // Without a project the lists hold "None" and nothing can be run.
    EXPECT_EQ(VXCountListItems(bar, kSpiceAnalyses), 1);
    EXPECT_EQ(ListItem(bar, kSpiceAnalyses, 0), "None");
    EXPECT_EQ(ListItem(bar, kSpiceGraphs, 0), "None");
    EXPECT_FALSE(VXGetItemEnabled(bar, kSpiceRun));
    EXPECT_FALSE(VXGetItemEnabled(bar, kSpiceAnalyses));
    // A second sheet window gets a bar of its own; showing again makes no second bar.
    SheetRecord* other = sheets.New();
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other->simulatorTools, nullptr);
    HideShowSpiceTools(nullptr);
    EXPECT_EQ(sheet->simulatorTools, bar);
    VXWaitUpdateWindows();
    EXPECT_FALSE(WriteScreenshot(other->window, "sheet-window-simulator-tools.png").empty());

    // The "Place Voltage Label" tool is chosen from the bar; losing the link chooses the select tool.
    VXControlRecordTag* place = VXGetControl(bar, kSpicePlaceLabel, nullptr);
    ASSERT_NE(place, nullptr);
    SendControlEvent(place, 0, 0, 0);
    EXPECT_EQ(sheet->selectedTool, kSpicePlaceLabel);
    LinkOff();
    EXPECT_EQ(sheet->simulatorTools, nullptr);
    EXPECT_EQ(other->simulatorTools, nullptr);
    EXPECT_EQ(sheet->selectedTool, 2006);

    // Back with the link.
    LinkOn();
    EXPECT_NE(sheet->simulatorTools, nullptr);
}

}  // namespace
}  // namespace plexa::test
