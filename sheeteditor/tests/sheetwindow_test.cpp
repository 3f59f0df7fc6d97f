// The sheet window: new untitled sheets and their windows, titles, the saved window state, the
// rulers, retitling owned windows, and a sheet that cannot be made.
#include "sheeteditor/sheetwindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "graphics/textstyle.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/libitem.h"
#include "model/themes.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "symboleditor/symeditor.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"

namespace plexa::test {
namespace {

class SheetWindow : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSheetWindows();
        SetSheetWindowHooks(SheetWindowHooks{});
        calls.clear();
    }
    void TearDown() override {
        sheets.DestroyAll();
        SetModelHooks(ModelHooks{});
        SetSheetWindowHooks(SheetWindowHooks{});
        WindowsTest::TearDown();
    }
    SheetRecord* New() { return sheets.New(); }
    static std::string Title(VXWindowRecordTag* window) { return WindowTitle(window); }
    static std::vector<std::string> calls;
    SheetWindowList sheets;
};
std::vector<std::string> SheetWindow::calls;

TEST_F(SheetWindow, NewSheetsAreNumberedAndBoundToTheirWindows) {
    SheetRecord* first = New();
    SheetRecord* second = New();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(Title(first->window), "Untitled 1");
    EXPECT_EQ(Title(second->window), "Untitled 2");
    EXPECT_STREQ(first->fileSpec.name, "Untitled 1");  // an untitled sheet is named by its window
    for (VXWindowRecordTag* window : {first->window, first->toolPalette, first->topToolBar}) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(SheetOfWindow(window), first);
    }
    VXWindowRecordTag* window = first->window;
    EXPECT_EQ(window->typeID, kSheetWindowKind);
    EXPECT_EQ(first->topToolBar->parent, window);
    EXPECT_EQ(first->toolPalette->parent, window);
    EXPECT_TRUE(VXIsWindowVisible(window, false));
    EXPECT_EQ(window->minWidth, 80);
    EXPECT_EQ(window->minHeight, 142);
    EXPECT_EQ(window->maxWidth, 5000);
    EXPECT_EQ(window->maxHeight, 5000);
    EXPECT_EQ(window->padWidth, 4416);
    EXPECT_EQ(window->padHeight, 3456);
    EXPECT_EQ(first->topToolsExpanded, 1);
    EXPECT_NE(first->fileTimes[0], 0u);
    EXPECT_EQ(first->project, nullptr);
    EXPECT_EQ(first->hierarchyContext, nullptr);
    // A sheet with a file is titled by its file name without the extension.
    SheetWindows windows;
    ASSERT_EQ(CreateDrawingWindow(nullptr, nullptr, &windows), 1);
    EXPECT_EQ(Title(windows.window), "Untitled");
    SheetRecord* named = CreateDrawing();
    sheets.Keep(named);
    TempDir folder;
    ASSERT_EQ(FileSpecFromPathName(nullptr, folder.file("Power Supply.SHX").c_str(),
                                   &named->fileSpec),
              0);
    InstallDrawingInWindow(named, &windows);
    EXPECT_EQ(Title(windows.window), "Power Supply");
}

TEST_F(SheetWindow, ASheetThatCannotBeMadeLeavesNoWindow) {
    ModelHooks hooks;
    hooks.createFileSymbolList = []() -> LinkListHeader* { return nullptr; };
    SetModelHooks(hooks);
    const size_t before = VXTopLevelWindows().size();
    EXPECT_EQ(New(), nullptr);
    EXPECT_EQ(VXTopLevelWindows().size(), before);
    EXPECT_EQ(gUntitledDrawingCount, 0);
}

TEST_F(SheetWindow, TheSavedWindowState) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    SheetWindowState state{};
    state.mark = 0x1234;
    state.scale = 150;
    state.toolsExpanded = 0;
    state.position = {60, 40, 500, 700};
    state.viewTop = 30;
    state.viewLeft = 20;
    state.paneWidths[0] = 200;
    state.paneWidths[1] = 210;
    // Nothing without a scale, with an empty frame, or without a window.
    for (auto change : {+[](SheetWindowState& s) { s.scale = 0; },
                        +[](SheetWindowState& s) { s.position = {60, 40, 60, 700}; }}) {
        SheetWindowState bad = state;
        change(bad);
        SetSheetWindowState(sheet, &bad);
        EXPECT_EQ(sheet->viewScale, 100);
        EXPECT_EQ(sheet->topToolsExpanded, 1);
    }
    SetSheetWindowState(sheet, &state);
    EXPECT_EQ(sheet->viewScale, 150);
    EXPECT_EQ(sheet->window->scalePercentH, 150);
    EXPECT_EQ(sheet->window->scalePercentV, 150);
    EXPECT_EQ(sheet->topToolPaneWidths[0], 200);
    EXPECT_EQ(sheet->topToolPaneWidths[1], 210);
    EXPECT_EQ(sheet->topToolsExpanded, 0);
    SheetRecord detached{};
    detached.viewScale = 100;
    SetSheetWindowState(&detached, &state);
    EXPECT_EQ(detached.viewScale, 100);
}

// The window hands the mouse to the sheet in sheet coordinates: the ruler guides stand at the
// grid point under the pointer, not at the pointer's place in the window.
TEST_F(SheetWindow, RulerGuidesStandAtTheSheetPointUnderTheMouse) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    HideShowRulers(sheet->window, true);
    sheet->view.snap = 1;
    sheet->view.gridSpacing = 8;
    VXWaitUpdateWindows();  // laid out as shown
    const int32_t x = 300, y = 300;
    _LPNT content{}, pad{};
    VXWindowPointToPanelContent(sheet->window, x, y, &content);
    PanelContentPointToPanesPad(sheet->window, content.h, content.v, &pad);
    ASSERT_TRUE(pad.h != x || pad.v != y);
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseMoved, sheet->window, x, y));
    ASSERT_TRUE(GetRulerGuides().shown);
    EXPECT_LE(std::abs(GetRulerGuides().h - pad.h), 4) << pad.h;
    EXPECT_LE(std::abs(GetRulerGuides().v - pad.v), 4) << pad.v;
    HideShowRulers(sheet->window, false);
}

TEST_F(SheetWindow, RulersOfSheetAndSymbolEditorWindowsOnly) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    HideShowRulers(sheet->window, true);
    EXPECT_EQ(sheet->view.showRulers, 1);
    EXPECT_EQ(VXHasAltView(sheet->window, 0), 1);
    HideShowRulers(sheet->window, false);
    EXPECT_EQ(sheet->view.showRulers, 0);
    EXPECT_EQ(VXHasAltView(sheet->window, 0), 0);

    // A symbol editor keeps the flag in its record.
    SymbolEditorRecord* symbolEditor = CreateSymbolEditor(CreateLibraryItem(kLibItemComponent), 0);
    ASSERT_NE(symbolEditor, nullptr);
    VXWindowRecordTag* editor = Document("editor", nullptr);
    editor->typeID = kSymbolEditorWindowKind;
    symbolEditor->window = editor;
    symbolEditor->rulers = false;
    HideShowRulers(editor, true);
    EXPECT_EQ(VXHasAltView(editor, 0), 1);
    EXPECT_TRUE(symbolEditor->rulers);
    HideShowRulers(editor, false);
    EXPECT_EQ(VXHasAltView(editor, 0), 0);
    EXPECT_FALSE(symbolEditor->rulers);
    symbolEditor->window = nullptr;
    DestroySymbolEditor(symbolEditor);
    VXWindowRecordTag* other = Document("other", nullptr);
    other->typeID = 120;
    HideShowRulers(other, true);
    EXPECT_EQ(VXHasAltView(other, 0), 0);
}

TEST_F(SheetWindow, RetitlingTheWindowsASheetOwns) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    SheetWindowHooks hooks;
    hooks.updateLogWindowTitle = [](LogWindowRecord*) { calls.push_back("log"); };
    SetSheetWindowHooks(hooks);
    UpdateSheetOwnedWindowNames(sheet);  // no file symbol editors, no log window
    EXPECT_TRUE(calls.empty());
    sheet->logWindow = reinterpret_cast<LogWindowRecord*>(sheet);
    UpdateSheetOwnedWindowNames(sheet);
    sheet->logWindow = nullptr;
    EXPECT_EQ(calls, std::vector<std::string>{"log"});
}

TEST_F(SheetWindow, ClosingTheWindowLeavesTheSheetWithoutIt) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    VXDestroyWindow(sheet->window);
    EXPECT_EQ(sheet->window, nullptr);
    EXPECT_EQ(sheet->topToolBar, nullptr);
    EXPECT_EQ(sheet->toolPalette, nullptr);
}

}  // namespace
}  // namespace plexa::test
