// Test helpers for the project windows: the application's dialogs with a scratch folder for
// project files and scripted file panels; every project still open goes at the end.
#pragma once

#include <gtest/gtest.h>

#include "files/project.h"
#include "files/projectlife.h"
#include "files/tests/project_testing.h"
#include "platform/panel_platform.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

class ProjectWindowsTest : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        TestResetFilePanels();
    }
    void TearDown() override {
        while (gProjectList) EXPECT_EQ(status::kNoErr, CloseProject(gProjectList, kCloseProjectDiscard));
        TestResetFilePanels();
        AppDialogsTest::TearDown();
    }
    // A new project file in the scratch folder, open.
    ProjectRecord* MakeProject(const char* name) {
        const FileSpec spec = SpecOf(dir.file(name));
        ProjectRecord* project = nullptr;
        EXPECT_EQ(CreateProjectAt(&spec, nullptr, &project), 0);
        return project;
    }
    TempDir dir;
};

}  // namespace plexa::test
