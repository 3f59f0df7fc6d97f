// Search and replace and the sheet settings in-process: the match kinds (a true suffix test,
// whole strings compared), a project-wide designator search in sheet and instance order over the
// fixture project amp, Change All with an impossible change logging one entry, a rename of a
// signal that changes only letter case, prefix renaming of signals with its conflict check, the
// page size texts, and the defaults made from a sheet's settings reaching the next new sheet.
#include "sheeteditor/search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetload.h"
#include "files/tests/files_testing.h"
#include "files/tests/hierarchy_testing.h"
#include "foundation/stringblock.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetsettings.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"

namespace plexa::test {
namespace {

// The tests search through the project's record, which the commands use for a project's scope.
SearchRecord* const lv = ProjectSearch();

// The criteria of one row of the symbols tab.
void Criterion(int32_t row, uint16_t match, const std::string& find) {
    lv->criteria = SearchCriteria{};
    lv->criteria.findEnabled[row] = 1;
    lv->criteria.match[row] = match;
    lv->criteria.find[row] = find;
}

bool Satisfies(const std::string& text, uint16_t match, const std::string& find, int32_t* start = nullptr) {
    Criterion(0, match, find);
    int32_t at = 0, length = 0;
    const bool result = StringSatisfies(lv, text.c_str(), 0, &at, &length);
    if (start) *start = at;
    return result;
}

TEST(SearchMatching, TheMatchKindsCompareWholeTextsIgnoringCase) {
    struct Case {
        const char* text;
        uint16_t match;
        const char* find;
        bool expected;
    };
    const std::string longText(300, 'A');
    const std::string longPrefix(255, 'A');
    const Case cases[] = {
        {"ABAB", kMatchEnds, "AB", true},  // the second occurrence is at the end
        {"ABX", kMatchEnds, "AB", false},
        {"r12", kMatchIs, "R12", true},
        {"R12", kMatchIs, "R1", false},
        {"R12", kMatchBegins, "R1", true},
        {"XR1", kMatchBegins, "R1", false},
        {"XR1", kMatchContains, "r1", true},
        {"R12", kMatchIsNot, "R1", true},
        {"R1", kMatchIsNot, "R1", false},
        {"C3", kMatchNotContains, "R", true},
        {"R3", kMatchNotContains, "R", false},
    };
    for (const Case& c : cases) EXPECT_EQ(Satisfies(c.text, c.match, c.find), c.expected) << c.text << " " << c.find;
    // Texts longer than 255 characters are compared whole.
    EXPECT_FALSE(Satisfies(longText, kMatchIs, longPrefix));
    EXPECT_TRUE(Satisfies(longText, kMatchIs, longText));
    int32_t start = -1;
    EXPECT_TRUE(Satisfies("ABAB", kMatchEnds, "AB", &start));
    EXPECT_EQ(start, 2);
    EXPECT_EQ(BuildReplacementString("ABAB", 2, 2, "CD"), "ABCD");
}

TEST(SearchMatching, TheChangeMessagesNameTheText) {
    EXPECT_EQ(BuildChangeDataNotificationString(kChangePackageFailed, "SO8"),
              "Unable to change symbol's package to \"SO8\".");
    EXPECT_EQ(BuildChangeDataNotificationString(kChangeSlotFailed, "B"),
              "Unable to change symbol's slot designator to \"B\".");
    // The rows of Change All's report by what they are and the item they name.
    const struct {
        ChangeLogRow row;
        OSStatus code;
        uint16_t kind;
        const char* newData;
        const char* refDes;
        const char* first;
        const char* second;
    } cases[] = {
        {ChangeLogRow::kFailed, kChangeComponentNameFailed, kSearchSymbols, "NOPE", "R1",
         "Unable to change symbol's component name to \"NOPE\".", "Symbol \"R1\" in Sheet \"ROOT.SHX\""},
        {ChangeLogRow::kChanged, 0, kSearchSymbols, "designator \"R7\", Tol \"5%\"", "R7",
         "Changed designator \"R7\", Tol \"5%\".", "Symbol \"R7\" in Sheet \"ROOT.SHX\""},
        {ChangeLogRow::kChanged, 0, kSearchSignals, "name \"CLK\"", "CLK", "Changed name \"CLK\".",
         "Signal \"CLK\" in Sheet \"ROOT.SHX\""},
        {ChangeLogRow::kChanged, 0, kSearchTexts, "text \"Amp\"", "", "Changed text \"Amp\".", "Text in Sheet \"ROOT.SHX\""},
        {ChangeLogRow::kSummary, 0, kSearchTexts, "Changes applied to 2 text items.", "",
         "Changes applied to 2 text items.", ""},
    };
    for (const auto& c : cases) {
        ChangeDataLogEntry entry;
        entry.row = c.row;
        entry.code = c.code;
        entry.kind = c.kind;
        entry.sheetName = "ROOT.SHX";
        entry.newData = c.newData;
        entry.refDes = c.refDes;
        std::string first, second;
        CalcChangeDataLogMessages(entry, &first, &second);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(second, c.second);
    }
}

TEST(SheetSettingsTexts, ThePageSizeAndTheFitWarning) {
    EXPECT_EQ(SheetDimensionsText(1, 1), "8.5\" x 11\"");
    EXPECT_EQ(SheetDimensionsText(1, 0), "11\" x 8.5\"");
    EXPECT_EQ(SheetDimensionsText(2, 1), "11\" x 17\"");
    EXPECT_EQ(SheetDimensionsText(0, 0), "46\" x 36\"");
    EXPECT_EQ(SheetFitText(1, 1, 96, Rect{0, 0, 1000, 800}), "");
    EXPECT_EQ(SheetFitText(1, 1, 96, Rect{0, 0, 1100, 800}), kDesignWontFitText);
    EXPECT_EQ(GridEntryForSize(96, 12), 1);
    EXPECT_EQ(GridEntryForSize(72, 12), 2);
    EXPECT_EQ(GridEntryForSize(96, 13), 8);
}

class SearchProject : public WindowsTest {
protected:
    void SetUp() override {
        StartModelForSheets();
        WindowsTest::SetUp();
        InitSheetModelForWindows();
        InstallEditorHooks();
        InstallSymbolNameServices();
        SheetLoadHooks load = GetSheetLoadHooks();
        load.openSheets = SheetWindowSheets;
        SetSheetLoadHooks(load);
        ModelHooks model = GetModelHooks();
        model.windowSheet = SheetOfWindow;
        model.detachSheetWindows = DetachSheetWindows;
        SetModelHooks(model);
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        VXInitControls();
        *lv = SearchRecord{};
    }
    void TearDown() override {
        SearchReset(lv, true);
        lv->project = nullptr;
        for (VXWindowRecordTag* window : VXTopLevelWindows())
            if (SheetRecord* sheet = SheetOfWindow(window)) DestroySheet(sheet);
        while (gProjectList) EXPECT_EQ(status::kNoErr, CloseProject(gProjectList, kCloseProjectDiscard));
        CloseUIFiles();
        InstallCoreHooks();
        WindowsTest::TearDown();
    }
    ProjectRecord* OpenAmp() {
        for (const char* name : {"ROOT.SHX", "RC.SHX", "amp.PRX"})
            std::filesystem::copy_file(SourcePath(std::string("tools/tests/fixtures/amp/") + name), dir.file(name));
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromURL(dir.file("amp.PRX"), &spec, false, nullptr), 0);
        ProjectRecord* project = nullptr;
        EXPECT_EQ(OpenProjectAt(&spec, &project), 0);
        return project;
    }
    // Every hit of the criteria in the project: the sheet's file name and the designator.
    std::vector<std::string> Hits(ProjectRecord* project) {
        lv->scope = kScopeProject;
        lv->project = project;
        SearchReset(lv, true);
        nodes.clear();
        std::vector<std::string> hits;
        while (SearchForItem(lv) && hits.size() < 20) {
            char name[kFileSpecNameCapacity] = {};
            GetFileSpecName(&lv->sheet->fileSpec, name, sizeof name);
            hits.push_back(std::string(name) + " " + GetSymbolSearchProperty(lv, lv->sheet, lv->foundSymbol, kRowDesignator));
            nodes.push_back(lv->node);
        }
        return hits;
    }
    TempDir dir;
    std::vector<SheetNode*> nodes;  // the tree node of each hit
};

TEST_F(SearchProject, ADesignatorSearchFindsHitsInSheetAndInstanceOrder) {
    ProjectRecord* project = OpenAmp();
    ASSERT_NE(project, nullptr);
    Criterion(kRowDesignator, kMatchBegins, "R");
    // The tree holds ROOT.SHX, then its two uses of RC.SHX (annotated R4 and R3, in that order).
    EXPECT_EQ(Hits(project), (std::vector<std::string>{"ROOT.SHX R1", "ROOT.SHX R2", "RC.SHX R4", "RC.SHX R3"}));
    std::vector<SheetNode*> tree;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n))
        tree.push_back(n);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(nodes, (std::vector<SheetNode*>{tree[0], tree[0], tree[1], tree[2]}));
    // The same again: the search starts over once it ran out.
    EXPECT_EQ(Hits(project).size(), 4u);
    // Without stepping through instances each sheet is searched once.
    lv->instancesOption = 0;
    EXPECT_EQ(Hits(project), (std::vector<std::string>{"ROOT.SHX R1", "ROOT.SHX R2", "RC.SHX R4"}));
    // "is not" never matches an empty property.
    Criterion(kRowPackage, kMatchIsNot, "PKG");
    lv->instancesOption = 1;
    EXPECT_TRUE(Hits(project).empty());
}

// The search over a chosen project is the project's own: the commands go on with it, the record
// without a project is left alone, and closing the project frees it with the sheet it loaded and
// ends the choice.
TEST_F(SearchProject, TheSearchOverAProjectGoesWithTheProject) {
    const ProjectServices services = GetProjectServices();
    ProjectServices withEditor = services;
    withEditor.releaseEditState = ReleaseProjectEditState;
    SetProjectServices(withEditor);
    ProjectRecord* project = OpenAmp();
    ASSERT_NE(project, nullptr);
    SetSearchProject(project);
    SearchRecord* own = ProjectSearch();
    ASSERT_EQ(own, ProjectSearchOf(project));
    EXPECT_NE(own, lv);
    Criterion(kRowDesignator, kMatchBegins, "R");
    own->criteria = lv->criteria;
    own->scope = kScopeProject;
    own->project = project;
    EXPECT_EQ(CurrentSearch(), own);
    ASSERT_TRUE(SearchForItem(own));
    EXPECT_EQ(GetSymbolSearchProperty(own, own->sheet, own->foundSymbol, kRowDesignator), "R1");
    EXPECT_EQ(lv->sheet, nullptr) << "the record without a project did not search";
    EXPECT_EQ(status::kNoErr, CloseProject(project, kCloseProjectDiscard));
    EXPECT_EQ(ChosenSearchProject(), nullptr);
    EXPECT_EQ(ProjectSearch(), lv);
    SetProjectServices(services);
}

// The remembered next symbol is deleted between two searches: the search leaves that sheet
// instead of going on from a freed record.
TEST_F(SearchProject, ARememberedSymbolThatWasDeletedIsNotUsed) {
    ProjectRecord* project = OpenAmp();
    ASSERT_NE(project, nullptr);
    Criterion(kRowDesignator, kMatchBegins, "R");
    lv->scope = kScopeProject;
    lv->project = project;
    ASSERT_TRUE(SearchForItem(lv));
    ASSERT_NE(lv->nextSymbol, nullptr);
    SheetRecord* root = lv->sheet;
    EXPECT_EQ(GetSymbolSearchProperty(lv, root, lv->foundSymbol, kRowDesignator), "R1");
    RemoveSymbolFromSheet(root, lv->nextSymbol, true);
    ASSERT_TRUE(SearchForItem(lv));
    EXPECT_NE(lv->sheet, root);
    EXPECT_EQ(GetSymbolSearchProperty(lv, lv->sheet, lv->foundSymbol, kRowDesignator), "R4");
}

TEST_F(SearchProject, ATextSearchLooksOnlyAtTheClassesAsked) {
    ProjectRecord* project = OpenAmp();
    ASSERT_NE(project, nullptr);
    Criterion(0, kMatchContains, "stages");
    lv->criteria.kind = kSearchTexts;
    lv->scope = kScopeProject;
    lv->project = project;
    ASSERT_TRUE(SearchForItem(lv));
    ASSERT_NE(lv->foundText, nullptr);
    EXPECT_TRUE(lv->foundText->flags & kTextFlagSelected);
    EXPECT_FALSE(SearchForItem(lv));
    // Free texts are class 0: without it nothing is found.
    lv->criteria.classEnabled[0] = 0;
    SearchReset(lv, true);
    EXPECT_FALSE(SearchForItem(lv));
}

TEST_F(SearchProject, ChangeAllWithOneImpossibleChangeLogsOneEntryAndAppliesTheRest) {
    ProjectRecord* project = OpenAmp();
    ASSERT_NE(project, nullptr);
    Criterion(kRowDesignator, kMatchIs, "R2");
    SearchCriteria& c = lv->criteria;
    c.replaceEnabled[kRowPackage] = 1;
    c.replace[kRowPackage] = "SO8";
    c.replaceEnabled[kRowAttr0] = 1;
    c.attributeName[0] = "Tol";
    c.replace[kRowAttr0] = "5%";
    c.changeArmed = 1;
    lv->scope = kScopeProject;
    lv->project = project;
    InDialog([](VXWindowRecordTag*) {}, 13);
    EXPECT_EQ(DoSearchReplaceCommand(404), 1);
    EXPECT_EQ(lv->changeCount, 1);
    // The report: the change that failed, the change made, the count.
    std::vector<std::string> rows;
    for (const ChangeDataLogEntry& entry : lv->log) {
        std::string first, second;
        CalcChangeDataLogMessages(entry, &first, &second);
        rows.push_back(first + " | " + second);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "Unable to change symbol's package to \"SO8\". | Symbol \"R2\" in Sheet \"ROOT.SHX\"",
                        "Changed Tol \"5%\". | Symbol \"R2\" in Sheet \"ROOT.SHX\"",
                        "Changes applied to 1 symbol. | ",
                    }));
    ASSERT_EQ(lv->log.size(), 3u);
    EXPECT_EQ(lv->log[0].code, kChangePackageFailed);
    EXPECT_EQ(lv->log[1].row, ChangeLogRow::kChanged);
    EXPECT_EQ(lv->log[1].serial, lv->log[0].serial) << "both rows link to R2";
}

TEST_F(SearchProject, ARenameThatOnlyChangesCaseIsMarkedAsSuch) {
    SheetRecord* sheet = NewSchematicDrawing();
    ASSERT_NE(sheet, nullptr);
    SignalHandle signal = CreateSignal(sheet->signalList);
    ASSERT_NE(signal, nullptr);
    SetSignalName(signal, sheet->stringBlock, "Clock");
    Criterion(0, kMatchIs, "clock");
    lv->criteria.kind = kSearchSignals;
    lv->criteria.replaceEnabled[0] = 1;
    lv->criteria.replace[0] = "CLOCK";
    Rect area{};
    EXPECT_EQ(ApplyChangeToSignal(lv, sheet, signal, &area), 8);
    lv->criteria.replace[0] = "CLK";
    EXPECT_EQ(ApplyChangeToSignal(lv, sheet, signal, &area), 1);
    char name[kSignalNameSize];
    GetSignalName(signal, sheet->stringBlock, name);
    EXPECT_STREQ(name, "CLK");
}

// A sheet whose strings fill the 4 MiB a block addresses: a replacement that is not in the block
// already cannot be stored, so the change is reported (a message for Change, a row for Change
// All) and the item keeps its text; one already in the block is still made.
TEST_F(SearchProject, AReplacementThatDoesNotFitTheSheetsStringsIsReportedAndNothingIsLost) {
    SheetRecord* sheet = NewSchematicDrawing();
    ASSERT_NE(sheet, nullptr);
    SignalHandle signal = CreateSignal(sheet->signalList);
    ASSERT_NE(signal, nullptr);
    SetSignalName(signal, sheet->stringBlock, "Clock");
    SetSignalAttribute(signal, sheet->stringBlock, "Speed", "fast");
    const std::string filler(kStringSpecMaxLength, '#');
    while (reinterpret_cast<const StringBlockHeader*>(*sheet->stringBlock)->used < kStringBlockOffsetLimit)
        ASSERT_NE(AppendStringBlock(sheet->stringBlock, filler.data(), uint32_t(filler.size()), nullptr), 0u);
    Criterion(0, kMatchIs, "Clock");
    SearchCriteria& c = lv->criteria;
    c.kind = kSearchSignals;
    c.replaceEnabled[0] = 1;
    c.replace[0] = "Renamed";
    c.replaceEnabled[1] = 1;
    c.attributeName[0] = "Speed";
    c.replace[1] = "slow";
    lv->changeAll = true;
    Rect area{};
    EXPECT_EQ(ApplyChangeToSignal(lv, sheet, signal, &area), 0);
    char name[kSignalNameSize];
    GetSignalName(signal, sheet->stringBlock, name);
    EXPECT_STREQ(name, "Clock");
    std::vector<std::string> rows;
    for (const ChangeDataLogEntry& entry : lv->log) {
        std::string first, second;
        CalcChangeDataLogMessages(entry, &first, &second);
        rows.push_back(first);
        EXPECT_EQ(entry.code, status::kStringBlockFull);
        EXPECT_EQ(second.rfind("Signal \"Clock\" in Sheet ", 0), 0u) << second;
    }
    const std::string full = ": the sheet's names and texts are limited to 4 MB.";
    EXPECT_EQ(rows, (std::vector<std::string>{"Unable to change the text to \"Renamed\"" + full,
                                              "Unable to change the text to \"slow\"" + full}));
    // A replacement the block holds already fits.
    c.replace[0] = "Speed";
    EXPECT_EQ(ApplyChangeToSignal(lv, sheet, signal, &area), 1);
    GetSignalName(signal, sheet->stringBlock, name);
    EXPECT_STREQ(name, "Speed");
    lv->changeAll = false;
    lv->log.clear();
    DestroySheet(sheet);
}

TEST_F(SearchProject, ThePrefixRenameGivesTheNewPrefixAndDigitsAndFindsConflicts) {
    SheetRecord* sheet = NewSchematicDrawing();
    ASSERT_NE(sheet, nullptr);
    auto add = [&](const char* name) {
        SignalHandle s = CreateSignal(sheet->signalList);
        SetSignalName(s, sheet->stringBlock, name);
        return s;
    };
    SignalHandle a = add("SIG012"), b = add("SIG7"), c = add("CLK");
    const uint8_t prefix[8] = {3, 'N', 'E', 'T'};
    std::memcpy(sheet->stored.signalPrefix, prefix, 8);
    sheet->stored.signalDigits = 4;
    EXPECT_EQ(ChangeSignalNamePrefixes(sheet, "SIG", true), 1);
    SignalHandle taken = add("NET0007");
    EXPECT_EQ(ChangeSignalNamePrefixes(sheet, "SIG", true), 3);
    SetSignalName(taken, sheet->stringBlock, "OTHER");
    EXPECT_EQ(ChangeSignalNamePrefixes(sheet, "SIG", false), 1);
    std::vector<std::string> names;
    for (SignalHandle s : {a, b, c}) {
        char name[kSignalNameSize];
        GetSignalName(s, sheet->stringBlock, name);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"NET0012", "NET0007", "CLK"}));
}

// A menu choice applies to every selected row when the clicked row is one of them, else to the
// clicked row only.
TEST_F(SearchProject, AStyleChoiceGoesToTheSelectedRowsOrTheClickedOne) {
    TextThemeTable themes{};
    ASSERT_TRUE(AllocTextThemeTable(&themes));
    CopyTextThemeTable(&gDefaultTextThemes, &themes);
    const bool selected[9] = {true, false, true};
    EXPECT_TRUE(ApplyStyleFieldCommand(&themes, selected, 2, 525));  // 12 point
    EXPECT_TRUE(ApplyStyleFieldCommand(&themes, selected, 1, 542));  // Bold, row 1 alone
    std::vector<std::string> rows;
    for (int32_t row = 0; row < 3; ++row)
        rows.push_back(GetStylesPanelFieldString(&themes, row, 2) + " " + GetStylesPanelFieldString(&themes, row, 3));
    EXPECT_EQ(rows, (std::vector<std::string>{"12 Plain", GetStylesPanelFieldString(&gDefaultTextThemes, 1, 2) + " Bold",
                                              "12 Plain"}));
    EXPECT_EQ(HitTestStylesPanelColumn(290), 2);
    EXPECT_EQ(HitTestStylesPanelColumn(320), 0);
    FreeTextThemeTable(&themes);
}

TEST_F(SearchProject, MakeDefaultReachesTheNextNewSheet) {
    SheetRecord* sheet = NewSchematicDrawing();
    ASSERT_NE(sheet, nullptr);
    auto setDigits = [](bool makeDefault) {
        InDialog([makeDefault](VXWindowRecordTag* dialog) {
            ClickTab(dialog, kSheetSettingsTabsItem, kNamingTab);
            VXWindowRecordTag* panels = GetSheetSettingsPanels();
            ASSERT_NE(panels, nullptr);
            VXSetItemText(panels, kDigitsItem, "6");
            if (makeDefault) ClickItem(dialog, kSheetSettingsDefaultItem);
        }, makeDefault ? 13 : 27);
    };
    setDigits(false);
    EditSheetSettings(sheet);  // cancelled: nothing changes
    EXPECT_EQ(sheet->stored.signalDigits, 3);
    EXPECT_EQ(gDefSheetSettings.digits, 3);
    setDigits(true);
    EditSheetSettings(sheet);
    EXPECT_EQ(sheet->stored.signalDigits, 6);
    EXPECT_EQ(gDefSheetSettings.digits, 6);
    SheetRecord* next = NewSchematicDrawing();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->stored.signalDigits, 6);
}

}  // namespace
}  // namespace plexa::test
