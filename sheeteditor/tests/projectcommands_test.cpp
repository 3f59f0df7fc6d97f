// Projects from the File menu: a project created through its panel and settings dialog, given a
// sheet, an expanded node and annotation, closed and opened again keeps all of it, its window
// goes back where it was, and an open project is only brought forward.
#include "sheeteditor/projectcommands.h"

#include "app/editor_root.h"
#include "app/root.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/sheetspec.h"
#include "foundation/datafile.h"
#include "model/annotation.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/tests/project_windows_testing.h"

namespace plexa::test {
namespace {

class ProjectCommands : public ProjectWindowsTest {
protected:
    void SetUp() override {
        ProjectWindowsTest::SetUp();
        InstallEditorHooks();
        // A plain window stands for the project window.
        ProjectServices services = GetProjectServices();
        services.createWindow = [](ProjectRecord*) {
            Rect content = {80, 80, 380, 380};
            return VXCreateWindow(kVXWindowDocument, 0, kVXFlagResizable | kVXFlagClosable, 102, 0, 0, &content,
                                  "Project", 0, nullptr, nullptr);
        };
        services.destroyWindow = [](ProjectRecord* project) {
            if (project->window) VXDestroyWindow(project->window);
            project->window = nullptr;
        };
        services.windowBounds = [](ProjectRecord* project, Rect* bounds) {
            if (!project->window) return false;
            VXGetWindowPosition(project->window, bounds);
            return true;
        };
        SetProjectServices(services);
    }
    void TearDown() override {
        ProjectWindowsTest::TearDown();
        InstallCoreHooks();
    }
};

SheetInstance* TopInstance(ProjectRecord* project) {
    SheetNode* node = project->hierarchy ? project->hierarchy->first : nullptr;
    return node ? RetrieveSheetInstance(project, node, false) : nullptr;
}

TEST_F(ProjectCommands, ACreatedProjectKeepsItsSettingsExpansionAndAnnotationWhenReopened) {
    const std::string path = dir.file("New Project.PRX");
    TestQueueFilePanelAnswer(true, {path});
    InDialog([](VXWindowRecordTag* dialog) {
        VXWindowRecordTag* panels = GetProjectSettingsPanels();
        VXSetItemText(panels, kProjSeparatorItem, ".");
        ClickTab(dialog, kProjectTabsItem, kProjectAnnotationPanel);
        ClickItem(panels, kProjQualifyDesignatorsItem);
        if (!VXGetItemChecked(panels, kProjAnnotInProjectItem)) ClickItem(panels, kProjAnnotInProjectItem);
    }, 13);
    ProjectRecord* project = CreateNewProject();
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(TestLastFilePanelRequest()->defaultName, kNewProjectName);
    ASSERT_NE(project->window, nullptr);
    EXPECT_TRUE(VXIsWindowVisible(project->window, false));

    // A top-level sheet, its node expanded, a designator kept in the project.
    ASSERT_NE(AddSubSheetReference(project, nullptr, "Top.SHX", "", 0, 0), nullptr);
    ASSERT_EQ(WriteProjectTopSheetRefs(project, false), 0);
    ASSERT_EQ(BuildProjectHierarchy(project, 0), 0);
    SheetInstance* instance = RetrieveSheetInstance(project, project->hierarchy->first, true);
    ASSERT_NE(instance, nullptr);
    instance->flags |= kInstanceExpanded;
    project->dirtyFlags |= kProjectInstancesChanged;
    SheetSpec* spec = GetNamedSheetSpec(project, "Top.SHX", nullptr);
    ASSERT_NE(spec, nullptr);
    ASSERT_EQ(LoadAnnotationTable(project, spec, 0), 0);
    if (!spec->annotationMap) spec->annotationMap = CreateAnnotationMap(true);
    ASSERT_NE(spec->annotationMap, nullptr);
    SetAnnotation(spec->annotationMap, 5, int32_t(instance->id), "R7", 0);
    spec->flags |= kSheetSpecAnnotationDirty;
    const uint32_t id = instance->id;
    const Rect placed = {150, 160, 420, 500};
    VXSetWindowPosition(project->window, &placed);
    ASSERT_EQ(CloseProject(project, 0), 0);
    EXPECT_EQ(gProjectList, nullptr);

    const FileSpec file = SpecOf(path);
    project = OpenProject(&file);
    ASSERT_NE(project, nullptr);
    EXPECT_STREQ(project->settings.separator, ".");
    EXPECT_EQ(project->settings.qualifyDesignators, 1);
    EXPECT_EQ(project->settings.annotationFlags & kAnnotationKeptInSheets, 0);
    ASSERT_NE(project->hierarchy, nullptr);
    EXPECT_EQ(project->hierarchy->count, 1u) << "the hierarchy is built as the project opens";
    instance = TopInstance(project);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->id, id);
    EXPECT_TRUE(instance->flags & kInstanceExpanded);
    spec = GetNamedSheetSpec(project, "Top.SHX", nullptr);
    ASSERT_NE(spec, nullptr);
    ASSERT_EQ(LoadAnnotationTable(project, spec, 0), 0);
    char text[kAnnotationTextSize] = {};
    GetAnnotation(spec->annotationMap, 5, int32_t(id), false, text);
    EXPECT_STREQ(text, "R7");
    Rect at;
    VXGetWindowPosition(project->window, &at);
    EXPECT_EQ((std::vector<int>{at.top, at.left, at.bottom, at.right}),
              (std::vector<int>{placed.top, placed.left, placed.bottom, placed.right}));
    // Opened again, the open project is only brought forward.
    VXWindowRecordTag* window = project->window;
    EXPECT_EQ(OpenProject(&file), project);
    EXPECT_EQ(project->window, window);
    EXPECT_EQ(gProjectList->next, nullptr);
}

TEST_F(ProjectCommands, CancellingThePanelOrTheDialogMakesNothing) {
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(CreateNewProject(), nullptr);
    const std::string path = dir.file("Gone.PRX");
    TestQueueFilePanelAnswer(true, {path});
    InDialog([](VXWindowRecordTag*) {}, 27);
    EXPECT_EQ(CreateNewProject(), nullptr);
    EXPECT_EQ(gProjectList, nullptr);
    const FileSpec spec = SpecOf(path);
    EXPECT_FALSE(VXFileExists(&spec, nullptr));
}

}  // namespace
}  // namespace plexa::test
