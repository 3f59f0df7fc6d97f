// Projects created, changed, closed and opened again; the settings dialog's import and cancel.
#include "files/projectlife.h"
#include "files/tests/project_testing.h"
#include "foundation/dynfile.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

bool AcceptSettings(ProjectRecord* project) {
    project->settings.separator[0] = '/';
    return true;
}
bool CancelSettings(ProjectRecord*) { return false; }

TEST(ProjectLife, ACreatedProjectKeepsItsSettingsAcrossCloseAndOpen) {
    TempDir dir;
    const FileSpec spec = SpecOf(dir.file("Main.PRX"));
    ProjectRecord* project = nullptr;
    ASSERT_EQ(CreateProjectAt(&spec, AcceptSettings, &project), 0);
    ASSERT_NE(project, nullptr);
    ProjectSettingsDialog dialog;
    ASSERT_TRUE(BeginProjectSettings(project, &dialog));
    dialog.settings.instanceNaming = 1;
    dialog.settings.annotationFlags = 0;  // annotation kept in the project
    dialog.autoAnnotate = true;
    ASSERT_EQ(CommitProjectSettings(&dialog), 0);
    EndProjectSettings(&dialog);
    EXPECT_EQ(project->settings.flags & kProjectAutoAnnotate, 0) << "auto annotation needs sheet storage";
    ASSERT_EQ(WriteProjectSettings(project, true), 0);
    ASSERT_EQ(CloseProject(project, kCloseProjectAsk), 0);
    EXPECT_EQ(gProjectList, nullptr);
    ASSERT_EQ(OpenProjectAt(&spec, &project), 0);
    EXPECT_EQ(project->settings.separator[0], '/');
    EXPECT_EQ(project->settings.instanceNaming, 1);
    EXPECT_EQ(project->settings.annotationFlags, 0);
    EXPECT_EQ(project->settings.attributeCount, 1);
    ProjectRecord* again = nullptr;
    ASSERT_EQ(OpenProjectAt(&spec, &again), 0);
    EXPECT_EQ(again, project) << "an open project is found, not opened twice";
    ASSERT_EQ(CloseProject(project, kCloseProjectAsk), 0);
}

TEST(ProjectLife, ACancelledNewProjectLeavesNoFile) {
    TempDir dir;
    const FileSpec spec = SpecOf(dir.file("Gone.PRX"));
    ProjectRecord* project = nullptr;
    EXPECT_EQ(CreateProjectAt(&spec, CancelSettings, &project), status::kUserCancelled);
    EXPECT_EQ(project, nullptr);
    EXPECT_FALSE(VXFileExists(&spec, nullptr));
    EXPECT_EQ(gProjectList, nullptr);
}

TEST(ProjectLife, AFileOfAnotherKindDoesNotOpen) {
    TempDir dir;
    const std::string path = dir.file("Sheet.PRX");
    FileSpec spec = SpecOf(path);
    ASSERT_EQ(CreateDynamicFile(&spec, "QPLX", "SCH4", "SCH4", 0), 0);
    ProjectRecord* project = nullptr;
    EXPECT_EQ(OpenProjectAt(&spec, &project), status::kUnknownFileKind);
    EXPECT_EQ(gProjectList, nullptr);
}

// An import replaces what the dialog shows; only OK puts it into the project.
TEST(ProjectLife, ACancelledImportKeepsThePageSetup) {
    TempDir dir;
    const FileSpec mainSpec = SpecOf(dir.file("Main.PRX")), otherSpec = SpecOf(dir.file("Other.PRX"));
    ProjectRecord* other = nullptr;
    ASSERT_EQ(CreateProjectAt(&otherSpec, nullptr, &other), 0);
    ASSERT_EQ(VXCreatePrintRecordEx(&other->printRecord, 300), 0);
    other->pageSetupWord = 7;
    other->settings.signalScope = 2;
    ASSERT_EQ(WriteProjectSettings(other, true), 0);
    ASSERT_EQ(CloseProject(other, 0), 0);
    ProjectRecord* project = nullptr;
    ASSERT_EQ(CreateProjectAt(&mainSpec, nullptr, &project), 0);
    ProjectSettingsDialog dialog;
    ASSERT_TRUE(BeginProjectSettings(project, &dialog));
    EXPECT_EQ(ImportProjectSettings(&dialog, &mainSpec), status::kParamErr) << "its own file";
    ASSERT_EQ(ImportProjectSettings(&dialog, &otherSpec), 0);
    EXPECT_EQ(dialog.settings.signalScope, 2);
    EXPECT_TRUE(dialog.printImported);
    EndProjectSettings(&dialog);
    EXPECT_EQ(project->printRecord, nullptr);
    EXPECT_EQ(project->pageSetupWord, 0);
    EXPECT_EQ(project->settings.signalScope, 1);
    ASSERT_TRUE(BeginProjectSettings(project, &dialog));
    ASSERT_EQ(ImportProjectSettings(&dialog, &otherSpec), 0);
    ASSERT_EQ(CommitProjectSettings(&dialog), 0);
    EndProjectSettings(&dialog);
    EXPECT_NE(project->printRecord, nullptr);
    EXPECT_EQ(project->pageSetupWord, 7);
    EXPECT_EQ(project->settings.signalScope, 2);
    ASSERT_EQ(CloseProject(project, kCloseProjectDiscard), 0);
}

}  // namespace
}  // namespace plexa::test
