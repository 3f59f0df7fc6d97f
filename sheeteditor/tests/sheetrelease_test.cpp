// A sheet that goes takes with it what the sheet editor made in it: the element being drawn and
// the log window.
#include "sheeteditor/sheetrelease.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/elements.h"
#include "model/sheet.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"

namespace plexa::test {
namespace {

std::vector<LogWindowRecord*> gDestroyedLogs;

class SheetRelease : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        InitSheetModelForWindows();
        InitSheetWindows();
        gDestroyedLogs.clear();
        SheetWindowHooks hooks;
        hooks.destroyLog = [](LogWindowRecord* log) { gDestroyedLogs.push_back(log); };
        SetSheetWindowHooks(hooks);
    }
    void TearDown() override {
        sheets.DestroyAll();
        SetSheetWindowHooks(SheetWindowHooks{});
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }
    SheetWindowList sheets;
};

TEST_F(SheetRelease, ThePolygonBeingDrawnAndTheLogGoWithTheSheet) {
    SheetRecord* sheet = sheets.New();
    ASSERT_NE(sheet, nullptr);
    // A rectangle still being drawn (freed with the sheet, else the leak check fails) and a log.
    sheet->elementInCreation =
        BuildCommonElement(kElementRect, {10, 10}, {40, 30}, 1, 0, 0, false, false, 0, false, 0, false);
    ASSERT_NE(sheet->elementInCreation, nullptr);
    auto* log = reinterpret_cast<LogWindowRecord*>(uintptr_t(0x1000));
    sheet->logWindow = log;
    ReleaseSheetEditorParts(sheet);
    EXPECT_EQ(sheet->elementInCreation, nullptr);
    EXPECT_EQ(gDestroyedLogs, std::vector<LogWindowRecord*>{log});
    sheet->logWindow = nullptr;  // the log window's own destruction clears it
    // A sheet without a log asks for none to go.
    gDestroyedLogs.clear();
    ReleaseSheetEditorParts(sheet);
    EXPECT_TRUE(gDestroyedLogs.empty());
}

}  // namespace
}  // namespace plexa::test
