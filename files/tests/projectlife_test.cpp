// Projects created, changed, closed and opened again; the settings dialog's import and cancel.
#include "files/projectlife.h"
#include "files/sheetload.h"
#include "files/sheetspec.h"
#include "app/root.h"
#include "files/tests/project_testing.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "model/components.h"
#include "model/sheet.h"
#include "model/symbols.h"
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

// A sheet shown in a window when its project closes keeps no pointer to the freed project or its
// sheet specs.
TEST(ProjectLife, AnOpenSheetLosesTheContextOfItsClosedProject) {
    TempDir dir;
    const FileSpec spec = SpecOf(dir.file("Main.PRX"));
    ProjectRecord* project = nullptr;
    ASSERT_EQ(CreateProjectAt(&spec, nullptr, &project), 0);
    static SheetRecord* shown = nullptr;
    static SheetRecord* hidden = nullptr;
    shown = CreateDrawing();
    hidden = CreateDrawing();
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(hidden, nullptr);
    shown->project = hidden->project = project;
    shown->sheetSpec = hidden->sheetSpec = AddSheetSpecToProject(project, "Main.SHX");
    SheetLoadHooks hooks = GetSheetLoadHooks();
    hooks.openSheets = [](bool visible) { return std::vector<SheetRecord*>{visible ? shown : hidden}; };
    SetSheetLoadHooks(hooks);
    EXPECT_EQ(CloseProject(project, kCloseProjectAsk), 0);
    EXPECT_EQ(shown->project, nullptr);
    EXPECT_EQ(hidden->project, nullptr);
    EXPECT_EQ(shown->hierarchyContext, nullptr);
    EXPECT_EQ(shown->sheetSpec, nullptr);
    EXPECT_EQ(hidden->sheetSpec, nullptr);
    InstallCoreHooks();
    DestroySheet(shown);
    DestroySheet(hidden);
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

namespace plexa::test {
namespace {

// A component whose sections draw the given symbol indexes.
ComponentRecord* ComponentDrawing(std::initializer_list<uint16_t> sectionSymbols) {
    ComponentRecord* component = CreateComponent(1, 1, 2, int32_t(sectionSymbols.size()), 1);
    int32_t i = 0;
    for (uint16_t symbol : sectionSymbols) {
        ComponentSection* section = CreateCompSection(1, 0);
        section->symbolIndex = symbol;
        SetCompSection(component, i++, section);
    }
    return component;
}

TEST(ProjectLife, WhichPlacedSymbolsAreAnnotatedAtOnce) {
    ASSERT_EQ(InitMemoryManager(-1), 0);
    ComponentRecord* single = ComponentDrawing({0, 1});
    ComponentRecord* shared = ComponentDrawing({0, 0});
    ASSERT_TRUE(single && shared);
    ProjectRecord project{};
    const uint8_t inSheets = kAnnotationKeptInSheets, noSuffix = kAnnotationNoSlotSuffix;
    struct Case {
        const char* what;
        bool inProject;
        uint8_t annotationFlags;
        uint16_t projectFlags;
        uint32_t sheetFlags;
        uint32_t symbolFlags;
        ComponentRecord* component;
        bool expected;
    } cases[] = {
        {"excluded from annotation", false, 0, 0, kSheetFlagAutoAnnotate, kSymbolFlagPort, nullptr, false},
        {"a graphic symbol", false, 0, 0, 0, 0, nullptr, true},
        {"a sheet symbol, sheet setting off", false, 0, 0, 0, kSymbolFlagSheet, nullptr, false},
        {"a sheet symbol, sheet setting on", false, 0, 0, kSheetFlagAutoAnnotate, kSymbolFlagSheet, nullptr, true},
        {"one section draws it", false, 0, 0, kSheetFlagAutoAnnotate, 0, single, true},
        {"two sections draw it", false, 0, 0, kSheetFlagAutoAnnotate, 0, shared, false},
        {"project keeps annotation", true, 0, kProjectAutoAnnotate, kSheetFlagAutoAnnotate, 0, single, false},
        {"project automatic annotation off", true, inSheets, 0, kSheetFlagAutoAnnotate, 0, single, false},
        {"project, one section", true, inSheets, kProjectAutoAnnotate, 0, 0, single, true},
        {"project, two sections", true, inSheets, kProjectAutoAnnotate, 0, 0, shared, false},
        {"project, no slot suffix", true, uint8_t(inSheets | noSuffix), kProjectAutoAnnotate, 0, 0, shared, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        project.settings.annotationFlags = c.annotationFlags;
        project.settings.flags = c.projectFlags;
        SheetRecord sheet{};
        sheet.project = c.inProject ? &project : nullptr;
        sheet.stored.flags = c.sheetFlags;
        SymbolRecord symbol{};
        symbol.flags = c.symbolFlags;
        symbol.component = c.component;
        EXPECT_EQ(CanAutoAnnotateSymbol(&sheet, &symbol), c.expected);
    }
    FreeComponent(single);
    FreeComponent(shared);
}

}  // namespace
}  // namespace plexa::test
