// The path list editor in the project settings: folders added, moved and deleted through clicks
// on its buttons and rows, the flag columns toggled by clicks, the rows' texts, the buttons'
// enabled states, and the edited list reaching the project on OK.
#include "sheeteditor/pathlisteditor.h"

#include <sys/stat.h>

#include "platform/input_platform.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/tests/project_windows_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_listview.h"

namespace plexa::test {
namespace {

using PathListEditing = ProjectWindowsTest;

// The rows as shown, each with its flag dots ("s" sub-folders, then "h", "l", "r" for sheet,
// library and script files).
std::string Rows(PathListEditor* editor) {
    std::string out;
    for (int32_t row = 0; PathSpec* e = GetPathEditorEntry(editor, row); ++row) {
        char text[kStringSpecBufferSize];
        GetPathEditorRowText(editor, e, text, sizeof text);
        std::string flags;
        const char marks[] = "shlr";
        for (int i = 0; i < 4; ++i) flags += (e->flags & (1 << i)) ? marks[i] : '-';
        out += (out.empty() ? "" : " ") + flags + ":" + text;
        if (VXGetListViewItemSelected(editor->rows, row)) out += "*";
    }
    return out;
}

// Which of change, delete, up and down are enabled.
std::string Buttons(VXWindowRecordTag* panels) {
    std::string out;
    for (int16_t item : {kProjChangePathItem, kProjDeletePathItem, kProjPathUpItem, kProjPathDownItem})
        out += VXGetItemEnabled(panels, item) ? "1" : "0";
    return out;
}

// A click on a row of the list, at a horizontal position.
void ClickRow(PathListEditor* editor, int32_t row, int32_t x) {
    const int32_t y = row * kPathRowHeight + kPathRowHeight / 2;
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, editor->rows, x, y));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, editor->rows, x, y));
}

TEST_F(PathListEditing, FoldersAreAddedOrderedAndRemovedThroughClicks) {
    ProjectRecord* project = MakeProject("Paths.PRX");
    ASSERT_NE(project, nullptr);
    for (const char* name : {"A", "B", "C"}) {
        ASSERT_EQ(::mkdir(dir.file(name).c_str(), 0755), 0);
        TestQueueFilePanelAnswer(true, {dir.file(name)});
    }
    TestQueueFilePanelAnswer(true, {dir.file("B")});  // a folder the list holds already
    std::vector<std::string> seen;
    InDialog([&](VXWindowRecordTag* dialog) {
        ClickTab(dialog, kProjectTabsItem, kProjectPathsPanel);
        VXWindowRecordTag* panels = GetProjectSettingsPanels();
        PathListEditor* editor = GetProjectSettingsPathEditor();
        ASSERT_NE(editor, nullptr);
        seen.push_back(Rows(editor) + " " + Buttons(panels));
        for (int i = 0; i < 4; ++i) ClickItem(panels, kProjAddPathItem);
        seen.push_back(Rows(editor) + " " + Buttons(panels));
        // C one place up, then (Shift held) to the top.
        ClickItem(panels, kProjPathUpItem);
        seen.push_back(Rows(editor) + " " + Buttons(panels));
        TestSetKeyDown(kPlatformKeyShift, true);
        ClickItem(panels, kProjPathUpItem);
        TestSetKeyDown(kPlatformKeyShift, false);
        seen.push_back(Rows(editor) + " " + Buttons(panels));
        // A click in the sub-folder column toggles its dot; a click on the path selects.
        ClickRow(editor, 2, 5);
        ClickRow(editor, 2, 200);
        seen.push_back(Rows(editor) + " " + Buttons(panels));
        ClickItem(panels, kProjDeletePathItem);
        seen.push_back(Rows(editor) + " " + Buttons(panels));
    }, 13);
    EXPECT_TRUE(EditProjectSettings(project, false));
    EXPECT_EQ(TestQueuedFilePanelAnswers(), 0);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[0], "-hlr:{Project}/ 0000");
    EXPECT_EQ(seen[1], "-hlr:{Project}/ -hlr:{Project}/A/ -hlr:{Project}/B/ -hlr:{Project}/C/* 1110");
    EXPECT_EQ(seen[2], "-hlr:{Project}/ -hlr:{Project}/A/ -hlr:{Project}/C/* -hlr:{Project}/B/ 1111");
    EXPECT_EQ(seen[3], "-hlr:{Project}/C/* -hlr:{Project}/ -hlr:{Project}/A/ -hlr:{Project}/B/ 1101");
    EXPECT_EQ(seen[4], "-hlr:{Project}/C/ -hlr:{Project}/ shlr:{Project}/A/* -hlr:{Project}/B/ 1111");
    EXPECT_EQ(seen[5], "-hlr:{Project}/C/ -hlr:{Project}/ -hlr:{Project}/B/ 0000");
    // The project's list, in the edited order.
    std::string paths;
    for (auto* e = static_cast<PathSpec*>(LLFirst(project->paths)); e; e = e->next) {
        char text[kStringSpecBufferSize];
        GetPathSpecPath(project->paths, e, text, sizeof text);
        paths += std::string(paths.empty() ? "" : " ") + text;
    }
    EXPECT_EQ(paths, "./C/ ./ ./B/");
}

// A project-relative entry becomes absolute and back; an entry whose folder is gone refuses.
TEST_F(PathListEditing, TheRootKindChangesOnlyForAFolderThatResolves) {
    ProjectRecord* project = MakeProject("Kinds.PRX");
    ASSERT_NE(project, nullptr);
    ASSERT_EQ(::mkdir(dir.file("Lib").c_str(), 0755), 0);
    DirectoryRef folder;
    ASSERT_EQ(DirectoryFromDirectoryURL(dir.file("Lib"), &folder), 0);
    ASSERT_NE(AddPathSpecToList(project->paths, &folder, kPathRootDefault, kPathLibraryFiles, false), nullptr);
    Rect host = {20, 20, 220, 420};
    VXWindowRecordTag* window = Document("Paths", nullptr, {100, 100, 400, 600});
    ASSERT_NE(window, nullptr);
    PathListEditor* editor = CreatePathListEditor(window, &host, project->paths, kProjectPathsCaption, 0, 0, 0, 0);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(SetPathEditorEntryKind(editor, 1, kPathRootAbsolute));
    char text[kStringSpecBufferSize];
    GetPathEditorRowText(editor, GetPathEditorEntry(editor, 1), text, sizeof text);
    EXPECT_EQ(std::string(text), dir.file("Lib") + "/");
    EXPECT_TRUE(SetPathEditorEntryKind(editor, 1, kPathRootOwner));
    GetPathEditorRowText(editor, GetPathEditorEntry(editor, 1), text, sizeof text);
    EXPECT_STREQ(text, "{Project}/Lib/");
    ASSERT_EQ(::rmdir(dir.file("Lib").c_str()), 0);
    ValidatePathEditorPaths(editor);
    EXPECT_FALSE(SetPathEditorEntryKind(editor, 1, kPathRootAbsolute));
    EXPECT_TRUE(editor->changed);
    DestroyPathListEditor(editor);
}

}  // namespace
}  // namespace plexa::test
