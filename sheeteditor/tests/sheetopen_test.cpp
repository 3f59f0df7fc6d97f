// Opening sheet files in windows: a file opened twice gives its one sheet (its window shown or
// not), a failed open leaves no window, the open options, opening a hierarchy node's sheet in its
// context, revealing a node's symbol on its parent, and contexts that go when the tree loses
// their node.
#include "sheeteditor/sheetopen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/sheetload.h"
#include "files/tests/files_testing.h"
#include "files/tests/hierarchy_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "graphics/textstyle.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/themes.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"

namespace plexa::test {
namespace {

std::vector<std::string> gCalls;

class SheetOpen : public WindowsTest {
protected:
    void SetUp() override {
        StartModelForSheets();
        WindowsTest::SetUp();
        InitSheetModelForWindows();
        InstallEditorHooks();
        InstallSymbolNameServices();
        FindSheetsInWindows();
        gCalls.clear();
        SheetOpenHooks hooks;
        hooks.report = [](OSStatus st, const FileSpec*) { gCalls.push_back("report " + std::to_string(st)); };
        hooks.addRecentFile = [](const FileSpec* file, const char* type) {
            gCalls.push_back(std::string("recent ") + file->name + " " + type);
        };
        hooks.checkOnOpen = [] { return true; };
        hooks.checkSheet = [](SheetRecord*) -> OSStatus { return 7; };
        hooks.reportCheck = [](OSStatus st) { gCalls.push_back("check " + std::to_string(st)); };
        SetSheetOpenHooks(hooks);
        tree.Folder("p");
    }
    // The sheets of the sheet windows are found, and a sheet lets its windows go, as in the
    // editor.
    static void FindSheetsInWindows() {
        SheetLoadHooks load = GetSheetLoadHooks();
        load.openSheets = SheetWindowSheets;
        SetSheetLoadHooks(load);
        ModelHooks model = GetModelHooks();
        model.windowSheet = SheetOfWindow;
        model.detachSheetWindows = DetachSheetWindows;
        SetModelHooks(model);
    }
    void TearDown() override {
        for (SheetRecord* sheet : Opened()) DestroySheet(sheet);
        SetSheetOpenHooks(SheetOpenHooks{});
        InstallCoreHooks();
        WindowsTest::TearDown();
    }
    // The sheets of the sheet windows, front to back.
    static std::vector<SheetRecord*> Opened() {
        std::vector<SheetRecord*> sheets;
        for (VXWindowRecordTag* window : VXTopLevelWindows())
            if (window->typeID == kSheetWindowKind && SheetOfWindow(window)) sheets.push_back(SheetOfWindow(window));
        return sheets;
    }
    FileSpec Sheet(const std::string& name, const std::vector<std::string>& children = {}) {
        SaveHierarchySheet(tree.path("p/" + name), children);
        return SheetSpecOf(tree.path("p/" + name));
    }
    Tree tree;
};

TEST_F(SheetOpen, AFileOpenedTwiceGivesItsOneSheetInAShownWindow) {
    FileSpec file = Sheet("Chip.SHX");
    SheetRecord* sheet = OpenSchematicSheet(&file, kOpenShowWindow | kOpenCheckSheet);
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->window);
    EXPECT_TRUE(VXIsWindowVisible(sheet->window, false));
    char title[200];
    VXGetWindowTitle(sheet->window, title);
    EXPECT_STREQ(title, "Chip");
    EXPECT_EQ(OpenSchematicSheet(&file, kOpenShowWindow), sheet);
    EXPECT_EQ(Opened().size(), 1u);
    // The check runs only when asked; the recent-files menu hears of every shown open.
    EXPECT_EQ(gCalls, (std::vector<std::string>{"recent Chip.SHX SCH4", "check 7", "recent Chip.SHX SCH4"}));
    EXPECT_EQ(CreteWindowForSheet(sheet, nullptr), sheet->window);
}

TEST_F(SheetOpen, ASheetWhoseWindowIsNotShownIsFoundAndNotLoadedAgain) {
    FileSpec file = Sheet("Chip.SHX");
    SheetRecord* sheet = OpenSchematicSheet(&file, 0);
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->window);
    EXPECT_FALSE(VXIsWindowVisible(sheet->window, false));
    EXPECT_EQ(GetLoadedSheet(&file, nullptr, false), sheet);
    EXPECT_EQ(GetLoadedSheetByName("chip.shx", nullptr), sheet);
    // A later open takes that sheet and shows its window: one copy of the file in memory.
    EXPECT_EQ(OpenSchematicSheet(&file, kOpenShowWindow), sheet);
    EXPECT_TRUE(VXIsWindowVisible(sheet->window, false));
    EXPECT_EQ(Opened().size(), 1u);
}

TEST_F(SheetOpen, AFileThatDoesNotLoadIsReportedAndLeavesNoWindow) {
    tree.File("p/Note.SHX", "not a sheet");
    FileSpec file = SheetSpecOf(tree.path("p/Note.SHX"));
    const size_t windows = VXTopLevelWindows().size();
    EXPECT_EQ(OpenSchematicSheet(&file, kOpenShowWindow), nullptr);
    EXPECT_EQ(VXTopLevelWindows().size(), windows);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].rfind("report ", 0), 0u);
    EXPECT_NE(gCalls[0], "report 0");
}

class SheetContextOpen : public SheetOpen {
protected:
    void SetUp() override {
        SheetOpen::SetUp();
        Sheet("Top.SHX", {"Amp.SHX", "Top.SHX"});
        amp = Sheet("Amp.SHX");
        project = std::make_unique<TestProject>(tree.Dir("p"));
        FindSheetsInWindows();
        P()->settings.annotationFlags = 0;
        project->List();
        ASSERT_TRUE(AddPathSpecToList(P()->paths, tree.Dir("p"), kPathRootDefault, kPathSheetFiles, false));
        ASSERT_TRUE(AddSubSheetReference(P(), nullptr, "Top.SHX", "Top.SHX", 0, 0));
        ASSERT_EQ(BuildProjectHierarchy(P(), kBuildKeepNames), 0);
        top = P()->hierarchy->first;
        child = GetSheetNodeChildFromParentSerial(top, 1);
        ASSERT_TRUE(child);
    }
    void TearDown() override {
        for (SheetRecord* sheet : Opened()) sheet->project = nullptr, sheet->hierarchyContext = nullptr;
        SheetOpen::TearDown();
        project.reset();
    }
    ProjectRecord* P() { return project->get(); }
    // The entries of the sheet's "Project Context" popup.
    static std::vector<std::string> ContextItems(SheetRecord* sheet) {
        std::vector<std::string> items;
        for (int32_t i = 0; i < VXCountListItems(sheet->topToolBar, kTopToolProjectContext); ++i) {
            char text[256];
            VXGetListItem(sheet->topToolBar, kTopToolProjectContext, i, text);
            items.push_back(text);
        }
        return items;
    }
    std::unique_ptr<TestProject> project;
    FileSpec amp;
    SheetNode* top = nullptr;
    SheetNode* child = nullptr;
};

TEST_F(SheetContextOpen, ANodeOpensInItsContextOnce) {
    SheetRecord* sheet = OpenSheetContext(P(), child, false);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->project, P());
    EXPECT_EQ(sheet->hierarchyContext, RetrieveSheetInstance(P(), child, false));
    EXPECT_EQ(OpenSheetContext(P(), child, false), sheet);
    EXPECT_EQ(Opened().size(), 1u);
    // A circular node and no node open nothing.
    EXPECT_EQ(OpenSheetContext(P(), GetSheetNodeChildFromParentSerial(top, 2), false), nullptr);
    EXPECT_EQ(OpenSheetContext(P(), nullptr, false), nullptr);
    // The context goes when the tree no longer has the node.
    RemoveTopLevelSheet(P(), top);
    ValidateSheetContexts(P());
    EXPECT_EQ(sheet->project, nullptr);
    EXPECT_EQ(sheet->hierarchyContext, nullptr);
}

TEST_F(SheetContextOpen, TheProjectContextPopupListsTheNodeItsParentsAndTheProject) {
    SheetRecord* sheet = OpenSheetContext(P(), child, false);
    ASSERT_TRUE(sheet);
    VXWindowRecordTag* bar = sheet->topToolBar;
    const std::vector<std::string> items = ContextItems(sheet);
    EXPECT_EQ(items, (std::vector<std::string>{"Amp.SHX", "Top.SHX", "Test"}));
    EXPECT_EQ(VXGetItemEnabled(bar, kTopToolProjectContext), 1);
    EXPECT_EQ(VXGetSelectedListItem(bar, kTopToolProjectContext, -1), 2);
    // Without its context the sheet has none to show.
    EXPECT_EQ(SetSheetContext(sheet, nullptr, nullptr, false), 0);
    char text[256];
    ASSERT_EQ(VXCountListItems(bar, kTopToolProjectContext), 1);
    VXGetListItem(bar, kTopToolProjectContext, 0, text);
    EXPECT_STREQ(text, "No Project Context");
    EXPECT_EQ(VXGetItemEnabled(bar, kTopToolProjectContext), 0);
}

// A sheet open with no context, as a new sheet is made ("No Project Context"), and then added to
// the project as a top-level sheet (the project window's Add Top-Level Sheet(s) and a file dropped
// on it both add so) is in the project from then on: its popup names it and the project.
TEST_F(SheetContextOpen, ASheetAddedToTheProjectTakesItsContext) {
    const FileSpec added = Sheet("New.SHX");
    SheetRecord* sheet = OpenSchematicSheet(&added, kOpenShowWindow);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->project, nullptr);
    ASSERT_TRUE(AddTopLevelSheetToProject(P(), &added));
    EXPECT_EQ(sheet->project, P());
    ASSERT_TRUE(sheet->hierarchyContext);
    VXWindowRecordTag* bar = sheet->topToolBar;
    const std::vector<std::string> items = ContextItems(sheet);
    EXPECT_EQ(items, (std::vector<std::string>{"New.SHX", "Test"}));
    EXPECT_EQ(VXGetItemEnabled(bar, kTopToolProjectContext), 1);
}

TEST_F(SheetContextOpen, OpeningWithOptionTwoFindsTheSheetsContext) {
    SheetRecord* sheet = OpenSchematicSheet(&amp, kOpenShowWindow | kOpenSetContext);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->project, P());
    EXPECT_EQ(sheet->hierarchyContext, RetrieveSheetInstance(P(), child, false));
}

TEST_F(SheetContextOpen, ANodesSymbolIsRevealedOnItsParent) {
    ASSERT_TRUE(RevealSubSheetsParentSymbol(P(), child));
    std::vector<SheetRecord*> sheets = Opened();
    ASSERT_EQ(sheets.size(), 1u);
    SheetRecord* parent = sheets[0];
    EXPECT_EQ(parent->hierarchyContext, RetrieveSheetInstance(P(), top, false));
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(parent->symbolList)); s; s = s->next)
        EXPECT_EQ((s->flags & kSymbolFlagSelected) != 0, s->serial == 1) << s->serial;
    EXPECT_FALSE(RevealSubSheetsParentSymbol(P(), top));
}

}  // namespace
}  // namespace plexa::test
