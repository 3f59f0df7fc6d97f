// Test helpers for the editor's windows in-process: the application's dialogs with the editor's
// hooks and the shell's globals, new sheets in their windows, and a copy of the fixture project
// (amp.PRX: the top-level sheet ROOT.SHX, which uses RC.SHX twice) opened with its window. Every
// sheet, project and window still open goes at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/editor_root.h"
#include "app/root.h"
#include "app/shell.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/tests/project_testing.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

class EditorWindowsTest : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        InitSheetWindows();
        InstallEditorHooks();
        InitGlobals();
    }
    void TearDown() override {
        sheets.DestroyAll();
        for (SheetRecord* sheet : SheetWindowSheets(true)) DestroySheet(sheet);
        while (gProjectList) EXPECT_EQ(status::kNoErr, CloseProject(gProjectList, kCloseProjectDiscard));
        DisposeShellGlobals();
        InstallCoreHooks();
        AppDialogsTest::TearDown();
    }
    // Copies the fixture project into the scratch folder (once) and opens it.
    void OpenFixtureProject() {
        if (folder.empty()) {
            folder = dir.file("amp");
            ASSERT_EQ(std::system(("cp -R '" + SourcePath("tools/tests/fixtures/amp") + "' '" + folder + "'").c_str()), 0);
        }
        const FileSpec spec = SpecOf(folder + "/amp.PRX");
        project = OpenProject(&spec);
        ASSERT_NE(project, nullptr);
    }

    SheetWindowList sheets;
    TempDir dir;
    std::string folder;
    ProjectRecord* project = nullptr;
};

}  // namespace plexa::test
