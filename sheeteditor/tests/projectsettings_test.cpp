// The project settings dialog: its templates hold the items its panels drive, each panel reads its
// controls back into the settings, OK puts them into the project and Cancel leaves the project as
// it was, settings imported from another project and their page setup included.
#include "sheeteditor/projectsettings.h"

#include <sys/stat.h>

#include <cstring>

#include "graphics/printrec.h"
#include "sheeteditor/pathlisteditor.h"
#include "sheeteditor/tests/project_windows_testing.h"

namespace plexa::test {
namespace {

using ProjectSettingsWindow = ProjectWindowsTest;

std::vector<int16_t> Numbers(uint16_t view) {
    std::vector<int16_t> numbers;
    for (const auto& [number, type] : DialogTemplateItems(view))
        if (number > 0) numbers.push_back(number);
    return numbers;
}

TEST_F(ProjectSettingsWindow, TheTemplatesHoldEveryItemOfThePanels) {
    EXPECT_EQ(Numbers(kProjectSettingsDialogTemplate), (std::vector<int16_t>{1, 2, 3, 4}));
    EXPECT_EQ(Numbers(2060), (std::vector<int16_t>{10, 11, 12, 17, 19}));
    EXPECT_EQ(Numbers(2061), (std::vector<int16_t>{30, 31, 32, 33}));
    EXPECT_EQ(Numbers(2062), (std::vector<int16_t>{40, 41, 42, 43, 44}));
    EXPECT_EQ(Numbers(2063), (std::vector<int16_t>{50, 51, 52, 53, 54, 55}));
}

TEST(ProjectSettingsTitles, ALongProjectTitleIsCut) {
    char title[128];
    ProjectSettingsTitle("Main.PRX", title, sizeof title);
    EXPECT_STREQ(title, "Main.PRX Settings");
    ProjectSettingsTitle("A project title of 31 character", title, sizeof title);
    EXPECT_STREQ(title, "A project title of 31 character Settings");
    ProjectSettingsTitle("A project title of 32 characters", title, sizeof title);
    EXPECT_STREQ(title, "A project title of 32 character... Settings");
}

// The names panel: what the user typed is cut and held to its range.
TEST_F(ProjectSettingsWindow, TheNamesPanelCutsTheSeparatorAndHoldsTheRankLimit) {
    ProjectRecord* project = MakeProject("Names.PRX");
    ASSERT_NE(project, nullptr);
    std::string title;
    InDialog([&](VXWindowRecordTag* dialog) {
        char text[200];
        VXGetWindowTitle(dialog, text);
        title = text;
        VXWindowRecordTag* panels = GetProjectSettingsPanels();
        ASSERT_NE(panels, nullptr);
        ChooseItem(panels, kProjInstanceNamingItem, 1);
        ChooseItem(panels, kProjNamePlaceItem, 1);
        VXSetItemText(panels, kProjSeparatorItem, "::x");
        VXSetItemText(panels, kProjRankLimitItem, "12345");
        ClickItem(panels, kProjFileSymbolWarningsItem);
    }, 13);
    EXPECT_TRUE(EditProjectSettings(project, true));
    EXPECT_EQ(title, "Names.PRX Settings");
    EXPECT_EQ(project->settings.instanceNaming, 1);
    EXPECT_EQ(project->settings.instanceNamePlace, 1);
    EXPECT_STREQ(project->settings.separator, "::");
    EXPECT_EQ(project->settings.rankLimit, 9999);
    EXPECT_EQ(project->settings.flags & kProjectFileSymbolWarningsOff, kProjectFileSymbolWarningsOff);
    EXPECT_EQ(gLastProjInfoTab, kProjectNamesPanel);
}

// Choosing hierarchical names clears the flagged-globals byte even when its box was checked.
TEST_F(ProjectSettingsWindow, HierarchicalSignalNamesClearTheFlaggedGlobals) {
    ProjectRecord* project = MakeProject("Signals.PRX");
    ASSERT_NE(project, nullptr);
    project->settings.signalScope = 2;
    project->settings.globalFlagged = 1;
    bool enabledBefore = false, enabledAfter = true;
    InDialog([&](VXWindowRecordTag* dialog) {
        ClickTab(dialog, kProjectTabsItem, kProjectSignalsPanel);
        VXWindowRecordTag* panels = GetProjectSettingsPanels();
        EXPECT_TRUE(VXGetItemChecked(panels, kProjGlobalFlaggedItem));
        enabledBefore = VXGetItemEnabled(panels, kProjGlobalFlaggedItem) != 0;
        ChooseItem(panels, kProjSignalScopeItem, 0);
        enabledAfter = VXGetItemEnabled(panels, kProjGlobalFlaggedItem) != 0;
        ClickItem(panels, kProjQualifyAllItem);
        EXPECT_FALSE(VXGetItemEnabled(panels, kProjQualifyConflictingItem));
    }, 13);
    EXPECT_TRUE(EditProjectSettings(project, false));
    EXPECT_TRUE(enabledBefore);
    EXPECT_FALSE(enabledAfter);
    EXPECT_EQ(project->settings.signalScope, 1);
    EXPECT_EQ(project->settings.globalFlagged, 0);
    EXPECT_EQ(project->settings.qualifyAllLocal, 1);
    EXPECT_EQ(gLastProjInfoTab, kProjectSignalsPanel);
}

// Annotation kept in the project stores automatic annotation off, whatever the switch showed.
TEST_F(ProjectSettingsWindow, AnnotationKeptInTheProjectTurnsAutomaticAnnotationOff) {
    ProjectRecord* project = MakeProject("Annotation.PRX");
    ASSERT_NE(project, nullptr);
    project->settings.annotationFlags = kAnnotationKeptInSheets;
    project->settings.flags |= kProjectAutoAnnotate;
    gLastProjInfoTab = kProjectAnnotationPanel;
    bool autoShown = false;
    InDialog([&](VXWindowRecordTag*) {
        VXWindowRecordTag* panels = GetProjectSettingsPanels();
        autoShown = VXGetItemChecked(panels, kProjAutoAnnotateItem) != 0;
        ClickItem(panels, kProjAnnotInProjectItem);
        EXPECT_FALSE(VXGetItemEnabled(panels, kProjAutoAnnotateItem));
        EXPECT_FALSE(VXGetItemChecked(panels, kProjAutoAnnotateItem));
    }, 13);
    EXPECT_TRUE(EditProjectSettings(project, false));
    EXPECT_TRUE(autoShown);
    EXPECT_EQ(project->settings.annotationFlags & kAnnotationKeptInSheets, 0);
    EXPECT_EQ(project->settings.flags & kProjectAutoAnnotate, 0);
}

TEST_F(ProjectSettingsWindow, CancelLeavesTheProjectAsItWas) {
    ProjectRecord* project = MakeProject("Cancel.PRX");
    ASSERT_NE(project, nullptr);
    const ProjectSettings before = project->settings;
    InDialog([&](VXWindowRecordTag* dialog) {
        VXWindowRecordTag* panels = GetProjectSettingsPanels();
        ChooseItem(panels, kProjInstanceNamingItem, 1);
        ClickTab(dialog, kProjectTabsItem, kProjectAnnotationPanel);
        ClickItem(panels, kProjQualifyDesignatorsItem);
    }, 27);
    EXPECT_FALSE(EditProjectSettings(project, true));
    EXPECT_EQ(std::memcmp(&before, &project->settings, sizeof before), 0);
    EXPECT_EQ(gLastProjInfoTab, kProjectAnnotationPanel);
}

// An import shows the other project's settings; a Cancel afterwards keeps the project's own,
// its page setup included. The project's own file is refused and the panel asks again.
TEST_F(ProjectSettingsWindow, ACancelledImportKeepsThePageSetup) {
    ProjectRecord* other = MakeProject("Other.PRX");
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(VXCreatePrintRecordEx(&other->printRecord, 300), 0);
    other->pageSetupWord = 7;
    other->settings.signalScope = 2;
    other->settings.globalFlagged = 1;
    ASSERT_EQ(WriteProjectSettings(other, true), 0);
    ASSERT_EQ(CloseProject(other, 0), 0);
    ProjectRecord* project = MakeProject("Main.PRX");
    ASSERT_NE(project, nullptr);
    for (const uint16_t key : {uint16_t(27), uint16_t(13)}) {
        SCOPED_TRACE(key);
        TestQueueFilePanelAnswer(true, {dir.file("Main.PRX")});
        TestQueueFilePanelAnswer(true, {dir.file("Other.PRX")});
        gLastProjInfoTab = kProjectSignalsPanel;
        int32_t scopeShown = -1;
        InDialog([&](VXWindowRecordTag* dialog) {
            QueueKey(13);  // the refusal of the project's own file
            ClickItem(dialog, kProjectImportItem);
            scopeShown = VXGetSelectedListItem(GetProjectSettingsPanels(), kProjSignalScopeItem, -1);
        }, key);
        EXPECT_EQ(EditProjectSettings(project, false), key == 13);
        EXPECT_EQ(TestQueuedFilePanelAnswers(), 0);
        EXPECT_EQ(scopeShown, 1) << "the panel shows the imported settings";
        if (key == 27) {
            EXPECT_EQ(project->printRecord, nullptr);
            EXPECT_EQ(project->pageSetupWord, 0);
            EXPECT_EQ(project->settings.signalScope, 1);
        } else {
            EXPECT_NE(project->printRecord, nullptr);
            EXPECT_EQ(project->pageSetupWord, 7);
            EXPECT_EQ(project->settings.signalScope, 2);
            EXPECT_EQ(project->settings.globalFlagged, 1);
        }
    }
}

// The paths panel's editor: paths added there reach the project on OK.
TEST_F(ProjectSettingsWindow, PathsAddedInThePanelReachTheProject) {
    ProjectRecord* project = MakeProject("Paths.PRX");
    ASSERT_NE(project, nullptr);
    const std::string folder = dir.file("Library");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const uint32_t before = project->paths->count;
    TestQueueFilePanelAnswer(true, {folder});
    InDialog([&](VXWindowRecordTag* dialog) {
        ClickTab(dialog, kProjectTabsItem, kProjectPathsPanel);
        ClickItem(GetProjectSettingsPanels(), kProjAddPathItem);
    }, 13);
    EXPECT_TRUE(EditProjectSettings(project, false));
    ASSERT_EQ(project->paths->count, before + 1);
    auto* last = static_cast<PathSpec*>(LLLast(project->paths));
    char text[kStringSpecBufferSize];
    GetPathSpecPath(project->paths, last, text, sizeof text);
    EXPECT_STREQ(text, "./Library/");
    EXPECT_EQ(last->rootKind, kPathRootOwner);
}

}  // namespace
}  // namespace plexa::test
