// The top-level sheets of a project in its window: dragging a row reorders them and the new order
// is written into the project file, a sub-sheet row cannot be dragged, a press that does not move
// selects its row; dropped sheet files join them and the project is written once, after the last.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "app/shell.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetspec.h"
#include "files/tests/project_testing.h"
#include "foundation/ll.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/projectwindow.h"
#include "app/tests/editor_windows_testing.h"
#include "tests/support/testing.h"
#include "toolkit/vx_panels.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class ProjectReorder : public EditorWindowsTest {
protected:
    void SetUp() override {
        EditorWindowsTest::SetUp();
        // The child sheet becomes a second top-level sheet, after the root.
        OpenFixtureProject();
        const FileSpec child = SpecOf(folder + "/RC.SHX");
        ASSERT_TRUE(AddTopLevelSheetToProject(project, &child));
        ASSERT_EQ(WriteProjectTopSheetRefs(project, true), 0);
        UpdateProjectHierarchy(project, 1);
        SyncProjectTree(project);
        VXShowWindow(project->window);
    }
    // The top-level sheets in the project's order.
    std::vector<std::string> TopLevel() const {
        std::vector<std::string> names;
        for (auto* r = static_cast<SubSheetReference*>(LLFirst(project->topLevelSheets)); r; r = r->next) {
            char name[kFileSpecNameCapacity];
            GetSheetSpecName(project, r->child, name, sizeof name);
            names.push_back(name);
        }
        return names;
    }
    // A press on a row's name, dragged to another row's (rows of 19 pixels below the header pane),
    // and released there.
    void Drag(int32_t from, int32_t to) {
        VXWindowRecordTag* window = project->window;
        double left = 0, top = 0;
        VXPanelPlatformOffset(VXGetWindowPanel(window), &left, &top);
        const int32_t x = 52 + int32_t(left), y = int32_t(top);
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, x, y + from * kProjectRowHeight + 12));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, x, y + to * kProjectRowHeight + 9));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, x, y + to * kProjectRowHeight + 9));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, x, y + from * kProjectRowHeight + 9));
    }
};

TEST_F(ProjectReorder, DraggingATopLevelRowWritesTheNewOrder) {
    ASSERT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX"}));
    ASSERT_EQ(CountProjectRows(project), 2) << "the root's branch is closed";
    Drag(1, 0);
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"RC.SHX", "ROOT.SHX"}));
    EXPECT_EQ(CountSelectedProjectRows(project), 0);
    // The file holds the new order.
    ASSERT_EQ(CloseProject(project, kCloseProjectDiscard), 0);
    OpenFixtureProject();
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"RC.SHX", "ROOT.SHX"}));

    // Dragged down again, after the other top-level sheet.
    Drag(0, 1);
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX"}));
}

TEST_F(ProjectReorder, APressWithoutADragSelectsAndASubSheetRowStays) {
    Drag(1, 1);
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX"}));
    EXPECT_EQ(CountSelectedProjectRows(project), 1);
    EXPECT_TRUE(VXGetListViewItemSelected(project->window, 1));
    // With the root's branch open its sub-sheet rows follow it; one of them cannot be dragged.
    for (SheetNode* n = project->hierarchy->first; n; n = n->next) n->expanded = 1;
    SyncProjectTree(project);
    ASSERT_EQ(CountProjectRows(project), 4);
    EXPECT_FALSE(WriteScreenshot(project->window, "project-window-tree.png").empty());
    Drag(1, 3);
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX"}));
}

TEST_F(ProjectReorder, DroppedSheetFilesJoinTheTopLevelAndTheProjectIsWrittenOnce) {
    ASSERT_EQ(std::system(("cp '" + folder + "/RC.SHX' '" + folder + "/FILTER.SHX'").c_str()), 0);
    ASSERT_TRUE(WriteFile(folder + "/notes.txt", "not a sheet\n"));
    std::string before, after;
    ASSERT_TRUE(ReadFile(folder + "/amp.PRX", before));
    // The first of two files: nothing is written yet.
    const std::string first = folder + "/FILTER.SHX", second = folder + "/notes.txt";
    SendDroppedFileEvent(project->window, first.c_str(), 0, 2, false);
    ASSERT_TRUE(ReadFile(folder + "/amp.PRX", after));
    EXPECT_EQ(after, before);
    SendDroppedFileEvent(project->window, second.c_str(), 1, 2, false);
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX", "FILTER.SHX"}));
    EXPECT_EQ(CountProjectRows(project), 3);
    ASSERT_EQ(CloseProject(project, kCloseProjectDiscard), 0);
    OpenFixtureProject();
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX", "FILTER.SHX"}));
    // Files dropped by the desktop arrive the same way; a sheet already there is not added again.
    VXShowWindow(project->window);
    ASSERT_TRUE(TestDropFiles(project->window->platformWindow, {first, second}));
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "RC.SHX", "FILTER.SHX"}));
}

TEST_F(ProjectReorder, ThePathMenuNamesTheFileThenItsFoldersInnermostFirst) {
    const FileSpec file = SpecOf(folder + "/RC.SHX");
    VXMenuRecord* menu = BuildFilePathMenu(&file);
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> items;
    for (int32_t i = 1; i <= std::min(VXCountMenuItems(menu), 4); ++i) {
        char text[128];
        VXGetMenuItemText(menu, true, i, text);
        items.push_back(text);
    }
    const std::string scratch = dir.path().substr(dir.path().rfind('/') + 1);
    EXPECT_EQ(items, (std::vector<std::string>{"RC.SHX", "-", "amp", scratch}));
    VXDestroyMenuEx(menu, true);
}

// Rename... on the selected top-level row: the dialog shows its name; the name typed becomes the
// sheet the row stands for.
TEST_F(ProjectReorder, RenameGivesATopLevelRowAnotherSheet) {
    static std::string shown;
    VXSetListViewItemSelected(project->window, 1, true);
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_NE(dialog, nullptr);
        shown = DialogItemText(dialog, 3);
        VXSetItemText(dialog, 3, "FILTER.SHX");
        QueueKey(13);
    }, nullptr, 0.001);
    EXPECT_EQ(DispatchCommand(project->window, 1302, false, false, false), 1);
    EXPECT_EQ(shown, "RC");
    EXPECT_EQ(TopLevel(), (std::vector<std::string>{"ROOT.SHX", "FILTER.SHX"}));
}

}  // namespace
}  // namespace plexa::test
