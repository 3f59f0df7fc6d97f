// Annotation runs over fixture projects: every mode of the run (incremental, resequencing from any
// start, clearing, keeping the old order, slot packing, designators without suffix, the prefix
// filter, the walk orders and limits of the hierarchy), the scopes of the current sheet and of the
// selection (symbols outside a run keep their numbers), open and closed sheets, failures, the
// results after the project is saved and opened again, and the dialog's choices.
#include <cstring>
#include <functional>

#include "design/tests/annotate_testing.h"
#include "files/tests/project_testing.h"

namespace plexa::test {
namespace {

// ---- A table of runs ----

struct RunCase {
    const char* name;
    // Builds the project; returns the nodes whose results are checked.
    std::function<std::vector<SheetNode*>(AnnotateTest&)> build;
    uint16_t mask;
    int32_t start;
    std::vector<std::string> want;  // one line per node
    uint8_t annotationFlags = 0;
    const char* filter = "";
    bool limitHierarchy = true;
};

std::vector<SheetNode*> Resistors(AnnotateTest& t, std::vector<std::pair<Point, const char*>> placed) {
    SheetNode* top = t.Top("Top.SHX");
    for (auto [at, designator] : placed) {
        const uint32_t serial = t.Place("Top.SHX", kResistor, at.v, at.h);
        if (designator) t.Annotated(top, serial, designator);
    }
    return {top};
}

// Top with children A (serial 1) and B (serial 2); A has child C. One resistor on each sheet.
std::vector<SheetNode*> FourLevels(AnnotateTest& t) {
    SheetNode* top = t.Top("Top.SHX");
    SheetNode* a = t.Child(top, "A.SHX", 1);
    SheetNode* b = t.Child(top, "B.SHX", 2);
    SheetNode* c = t.Child(a, "C.SHX", 1);
    for (const char* sheet : {"Top.SHX", "A.SHX", "B.SHX", "C.SHX"}) t.Place(sheet, kResistor, 0, 0);
    return {top, a, b, c};
}

const RunCase kRunCases[] = {
    {"IncrementalFillsTheFirstFreeNumbers",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R1"}, {{0, 100}, "R3"}, {{100, 0}, nullptr}, {{100, 100}, nullptr}}); },
     5, 1, {"1=R1 2=R3 3=R2 4=R4"}},
    {"ResequenceFromOneFollowsTheOldDesignators",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R12"}, {{0, 100}, "R2"}, {{0, 200}, "R7"}}); },
     7, 1, {"1=R3 2=R1 3=R2"}},
    {"ResequenceFromOneHundred",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R12"}, {{0, 100}, "R2"}, {{0, 200}, "R7"}}); },
     7, 100, {"1=R102 2=R100 3=R101"}},
    {"SymbolsFarDownTheSheetComeAfterThoseAbove",
     [](AnnotateTest& t) { return Resistors(t, {{{20000, 0}, nullptr}, {{8200, 0}, nullptr}, {{100, 0}, nullptr}}); },
     5, 1, {"1=R3 2=R2 3=R1"}},
    {"StartTenNeverHandsOutOneToNine",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, nullptr}, {{0, 100}, nullptr}}); },
     5, 10, {"1=R10 2=R11"}},
    {"ResequenceKeepsTextAfterTheNumber",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R5X"}, {{0, 100}, "R9"}, {{0, 200}, "R2AB"}}); },
     2, 1, {"1=R2X 2=R3 3=R1AB"}},
    {"ALongDigitRunNeitherWrapsNorBlocksNumbers",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R99999999999"}, {{0, 100}, nullptr}}); },
     5, 1, {"1=R99999999999 2=R1"}},
    {"ALongDigitRunResequences",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R99999999999"}, {{0, 100}, nullptr}}); },
     7, 1, {"1=R2 2=R1"}},
    {"RemoveAnnotationClearsEverything",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R1"}, {{0, 100}, "R7"}}); },
     8, 1, {"1=- 2=-"}},
    {"ConflictingKindsTheFirstComponentKeepsIt",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         t.Annotated(top, t.Place("Top.SHX", kRegulator, 0, 0), "U1");
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 0, 100), "U1");
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U1 2=U2/0"}},
    {"ConflictingKindsInTheOtherOrder",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 0, 0), "U1");
         t.Annotated(top, t.Place("Top.SHX", kRegulator, 0, 100), "U1");
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U1/0 2=U2"}},
    {"ConflictingSlotsOfOnePackage",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 0, 0), "U1", 1);
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 0, 100), "U1", 1);
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U1/1 2=U1/0"}},
    {"AGateIsPackedIntoAFreeSlot",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         t.Annotated(top, t.Place("Top.SHX", kRegulator, 0, 0), "U1");
         t.Annotated(top, t.Place("Top.SHX", kRegulator, 0, 100), "U2");
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 100, 0), "U3", 0);
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 100, 100), "U3", 1);
         t.Place("Top.SHX", kQuadGate, 200, 0);
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U1 2=U2 3=U3/0 4=U3/1 5=U3/2"}},
    {"ALowerFreeNumberBeatsAFreeSlot",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 100, 0), "U3", 0);
         t.Annotated(top, t.Place("Top.SHX", kQuadGate, 100, 100), "U3", 1);
         t.Place("Top.SHX", kQuadGate, 200, 0);
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U3/0 2=U3/1 3=U1/0"}},
    {"NewGatesShareOnePackage",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         for (int16_t h : {0, 100, 200, 300, 400}) t.Place("Top.SHX", kQuadGate, 0, h);
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U1/0 2=U1/1 3=U1/2 4=U1/3 5=U2/0"}},
    {"WithoutSuffixEveryGateGetsItsOwnDesignator",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         for (int16_t h : {0, 100, 200}) t.Place("Top.SHX", kQuadGate, 0, h);
         return std::vector<SheetNode*>{top};
     },
     5, 1, {"1=U1/0 2=U2/0 3=U3/0"}, kAnnotationNoSlotSuffix},
    {"ReAnnotateAllFollowsTheSheetPositions",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R3"}, {{100, 0}, "R1"}, {{200, 0}, "R2"}}); },
     9, 1, {"1=R1 2=R2 3=R3"}},
    {"ReAnnotateAllKeepingTheOldOrder",
     [](AnnotateTest& t) { return Resistors(t, {{{0, 0}, "R3"}, {{100, 0}, "R1"}, {{200, 0}, "R2"}}); },
     9 | kAnnotKeepOrder, 1, {"1=R3 2=R1 3=R2"}},
    {"LargeSheetsKeepRowsAndColumnsInOrder",
     [](AnnotateTest& t) { return Resistors(t, {{{8200, 0}, nullptr}, {{100, 4700}, nullptr}, {{100, 200}, nullptr}}); },
     5, 1, {"1=R3 2=R2 3=R1"}},
    {"ThePrefixFilterTakesOnlyItsPrefixes",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         t.Place("Top.SHX", kResistor, 0, 0);
         t.Place("Top.SHX", kCapacitor, 0, 100);
         t.Place("Top.SHX", kRegulator, 0, 200);
         t.Annotated(top, t.Place("Top.SHX", kCapacitor, 0, 300), "C1");
         return std::vector<SheetNode*>{top};
     },
     9, 1, {"1=R1 2=- 3=U1 4=C1"}, 0, " r ,U,, waytoolongforaprefixpieceofthefilter"},
    {"BreadthFirstNumbering", FourLevels, 5, 1, {"1=R1", "1=R2", "1=R3", "1=R4"}},
    {"DepthFirstNumbering", FourLevels, 5 | kAnnotDepthFirst, 1, {"1=R1", "1=R2", "1=R4", "1=R3"}},
    {"WithoutTheHierarchyLimitOnlyTopLevelSheets", FourLevels, 5, 1, {"1=R1", "1=-", "1=-", "1=-"}, 0, "", false},
    {"ASheetUsedTwiceHasDesignatorsPerInstance",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         SheetNode* left = t.Child(top, "Child.SHX", 5);
         SheetNode* right = t.Child(top, "Child.SHX", 9);
         t.Place("Child.SHX", kResistor, 0, 0);
         t.Place("Child.SHX", kQuadGate, 0, 100);
         return std::vector<SheetNode*>{left, right};
     },
     5, 1, {"1=R1 2=U1/0", "1=R2 2=U1/1"}},
    {"ASubSheetTheWalkMayNotEnterKeepsItsNumbers",
     [](AnnotateTest& t) {
         SheetNode* top = t.Top("Top.SHX");
         SheetNode* closed = t.Child(top, "Child.SHX", 5, 0);
         t.Annotated(closed, t.Place("Child.SHX", kResistor, 0, 0), "R1");
         t.Place("Child.SHX", kResistor, 0, 100);
         t.Place("Top.SHX", kResistor, 0, 0);
         return std::vector<SheetNode*>{top, closed};
     },
     5, 1, {"1=R2", "1=R1 2=-"}},
};

class AnnotateRuns : public AnnotateTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(AnnotateRuns, GiveTheDesignatorsOfTheTable) {
    const RunCase& c = GetParam();
    P()->settings.annotationFlags = c.annotationFlags;
    std::snprintf(P()->annotationOptions.prefixFilter, sizeof P()->annotationOptions.prefixFilter, "%s", c.filter);
    const std::vector<SheetNode*> nodes = c.build(*this);
    ASSERT_EQ(Run(c.mask, c.start, nullptr, c.limitHierarchy), 0);
    std::vector<std::string> got;
    for (SheetNode* node : nodes) got.push_back(Of(node));
    EXPECT_EQ(got, c.want);
    // Closed sheets commit what the run did; nothing is left pending and no table stays loaded
    // without changes.
    for (SheetNode* node : nodes) EXPECT_FALSE(Pending(node)) << Of(node);
    EXPECT_TRUE(reported.empty());
    // A second run of the same kind finds nothing more to do.
    if (!(c.mask & (kAnnotClearAll | kAnnotResequence))) {
        ASSERT_EQ(Run(c.mask, c.start, nullptr, c.limitHierarchy), 0);
        std::vector<std::string> again;
        for (SheetNode* node : nodes) again.push_back(Of(node));
        EXPECT_EQ(again, c.want);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, AnnotateRuns, ::testing::ValuesIn(kRunCases),
                         [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// ---- Scopes ----

// Two top-level sheets; the run starts at B's sheet, whose context is B's instance.
class AnnotateScopes : public AnnotateTest {
protected:
    void Build() {
        a = Top("A.SHX");
        b = Top("B.SHX");
        SheetRecord& sheet = Sheet("B.SHX").sheet;
        sheet.project = P();
        sheet.hierarchyContext = RetrieveSheetInstance(P(), b, true);
    }
    SheetRecord* SheetB() { return &Sheet("B.SHX").sheet; }
    SheetNode* a = nullptr;
    SheetNode* b = nullptr;
};

TEST_F(AnnotateScopes, TheCurrentSheetDoesNotReuseNumbersOfOtherSheets) {
    Build();
    Annotated(a, Place("A.SHX", kResistor, 0, 0), "R1");
    Place("B.SHX", kResistor, 0, 0);
    Place("B.SHX", kResistor, 0, 100);
    ASSERT_EQ(Run(5 | kAnnotCurrentSheet, 1, SheetB()), 0);
    EXPECT_EQ(Of(a), "1=R1");
    EXPECT_EQ(Of(b), "1=R2 2=R3");
}

TEST_F(AnnotateScopes, TheCurrentSheetClearsADesignatorThatAnotherSheetHolds) {
    Build();
    Annotated(a, Place("A.SHX", kResistor, 0, 0), "R1");
    Annotated(b, Place("B.SHX", kResistor, 0, 0), "R1");
    ASSERT_EQ(Run(5 | kAnnotCurrentSheet, 1, SheetB()), 0);
    EXPECT_EQ(Of(a), "1=R1");
    EXPECT_EQ(Of(b), "1=R2");
}

TEST_F(AnnotateScopes, ResequencingTheCurrentSheetSkipsNumbersHeldElsewhere) {
    Build();
    Annotated(a, Place("A.SHX", kResistor, 0, 0), "R2");
    Annotated(b, Place("B.SHX", kResistor, 0, 0), "R5");
    Annotated(b, Place("B.SHX", kResistor, 0, 100), "R9");
    ASSERT_EQ(Run(kAnnotResequence | kAnnotCurrentSheet, 1, SheetB()), 0);
    EXPECT_EQ(Of(a), "1=R2");
    EXPECT_EQ(Of(b), "1=R1 2=R3");
}

TEST_F(AnnotateScopes, APackageSplitAcrossTheScopeKeepsItsDesignator) {
    Build();
    Annotated(a, Place("A.SHX", kQuadGate, 0, 0), "U7", 0);
    Annotated(b, Place("B.SHX", kQuadGate, 0, 0), "U7", 1);
    Place("B.SHX", kQuadGate, 0, 100);
    ASSERT_EQ(Run(7 | kAnnotCurrentSheet, 1, SheetB()), 0);
    EXPECT_EQ(Of(a), "1=U7/0");
    // The new gate starts a package of its own (U1 is free); U7 stays whole.
    EXPECT_EQ(Of(b), "1=U7/1 2=U1/0");
}

TEST_F(AnnotateScopes, SelectedSymbolsLeaveTheOthersAndTheirNumbers) {
    Build();
    const uint32_t kept = Place("B.SHX", kResistor, 0, 0);
    Annotated(b, kept, "R1");
    Place("B.SHX", kResistor, 0, 100, kSymbolFlagSelected);
    Annotated(b, Place("B.SHX", kResistor, 0, 200, kSymbolFlagSelected), "R1");
    Place("B.SHX", kCapacitor, 0, 300);
    ASSERT_EQ(Run(5 | kAnnotCurrentSheet | kAnnotSelectedSymbols, 1, SheetB()), 0);
    EXPECT_EQ(Of(b), "1=R1 2=R2 3=R3 4=-");
    EXPECT_EQ(Of(a), "");
}

TEST_F(AnnotateScopes, RemovingAnnotationOfTheSelectionOnly) {
    Build();
    Annotated(b, Place("B.SHX", kResistor, 0, 0), "R1");
    Annotated(b, Place("B.SHX", kResistor, 0, 100, kSymbolFlagSelected), "R2");
    ASSERT_EQ(Run(kAnnotClearAll | kAnnotCurrentSheet | kAnnotSelectedSymbols, 1, SheetB()), 0);
    EXPECT_EQ(Of(b), "1=R1 2=-");
}

// ---- Open sheets, failures ----

TEST_F(AnnotateTest, AnOpenSheetKeepsTheChangesPendingAndShowsThem) {
    SheetNode* top = Top("Top.SHX");
    SheetNode* child = Child(top, "Child.SHX", 3);
    Place("Top.SHX", kResistor, 0, 0);
    Place("Child.SHX", kResistor, 0, 0);
    SheetRecord* shown = &Sheet("Top.SHX").sheet;
    shown->project = P();
    shown->hierarchyContext = RetrieveSheetInstance(P(), top, true);
    open.insert(top->sheetSpec);
    ASSERT_EQ(Run(5), 0);
    EXPECT_EQ(Of(top), "1=R1");
    EXPECT_EQ(Of(child), "1=R2");
    EXPECT_TRUE(Pending(top));
    EXPECT_FALSE(Pending(child));
    EXPECT_TRUE(shown->modifiedFlags & kSheetModifiedContent);
    EXPECT_EQ(contextsReset, std::vector<SheetRecord*>{shown});
    EXPECT_EQ(loads, 1);  // only the closed sheet was loaded
    EXPECT_NE(top->sheetSpec->changeTime, 0u);
}

TEST_F(AnnotateTest, ASheetThatCannotBeLoadedChangesNothing) {
    SheetNode* a = Top("A.SHX");
    SheetNode* b = Top("B.SHX");
    Annotated(a, Place("A.SHX", kResistor, 0, 0), "R4");
    Place("A.SHX", kResistor, 0, 100);
    Place("B.SHX", kResistor, 0, 0);
    SheetRecord* shown = &Sheet("A.SHX").sheet;
    open.insert(a->sheetSpec);
    failLoad = b->sheetSpec;
    EXPECT_EQ(Run(7), -36);
    EXPECT_EQ(reported, std::vector<OSStatus>{-36});
    EXPECT_EQ(Of(a), "1=R4 2=-");
    EXPECT_EQ(Of(b), "1=-");
    EXPECT_FALSE(Pending(a));
    EXPECT_EQ(shown->modifiedFlags, 0);
}

TEST_F(AnnotateTest, WithoutASheetLoaderClosedSheetsFailTheRun) {
    AnnotationHooks hooks = GetAnnotationHooks();
    hooks.loadSheet = nullptr;
    SetAnnotationHooks(hooks);
    Top("Top.SHX");
    Place("Top.SHX", kResistor, 0, 0);
    EXPECT_EQ(Run(5), kSheetServiceMissing);
}

TEST_F(AnnotateTest, AProjectWithoutATreeHasNothingToDo) {
    DestroySheetTree(P()->hierarchy);
    P()->hierarchy = nullptr;
    EXPECT_EQ(Run(5), 0);
    EXPECT_EQ(Annotate(nullptr, nullptr, 5, 1, true, 9999), status::kParamErr);
}

TEST_F(AnnotateTest, TheMessageNamesTheOperation) {
    static std::vector<std::string> messages;
    messages.clear();
    AnnotationHooks hooks = GetAnnotationHooks();
    hooks.showMessage = [](const char* m) { messages.push_back(m ? m : "(hidden)"); };
    SetAnnotationHooks(hooks);
    Top("Top.SHX");
    ASSERT_EQ(Run(kAnnotClearAll), 0);
    ASSERT_EQ(Run(9), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"Removing annotation...", "(hidden)", "Annotating...", "(hidden)"}));
}

// ---- Annotation kept in the sheets ----

TEST_F(AnnotateTest, AnnotationKeptInTheSheetIsSharedByItsInstances) {
    P()->settings.annotationFlags = kAnnotationKeptInSheets;
    SheetNode* top = Top("Top.SHX");
    SheetNode* left = Child(top, "Child.SHX", 5);
    SheetNode* right = Child(top, "Child.SHX", 9);
    Place("Child.SHX", kResistor, 0, 0);
    Place("Top.SHX", kResistor, 0, 0);
    for (const char* name : {"Top.SHX", "Child.SHX"}) {
        tree.File(std::string("p/") + name);
        FileSpec file = SpecOf(tree.path(std::string("p/") + name));
        SheetSpec* spec = project->Spec(name);
        spec->localAnnotation = CreateSheetLocalAnnotation(&file, CreateAnnotationMap(true));
        ASSERT_TRUE(spec->localAnnotation);
        spec->localAnnotation->referenceCount = 1;
    }
    ASSERT_EQ(Run(5), 0);
    EXPECT_EQ(Of(top), "1=R1");
    EXPECT_EQ(Of(left), "1=R2");
    EXPECT_EQ(Of(right), "1=R2");
    EXPECT_TRUE(project->Spec("Child.SHX")->localAnnotation->changed);
}

// ---- Saving and opening again ----

TEST_F(AnnotateTest, DesignatorsSurviveSavingAndReopeningTheProject) {
    SheetNode* top = Top("Top.SHX");
    SheetNode* left = Child(top, "Child.SHX", 5);
    SheetNode* right = Child(top, "Child.SHX", 9);
    const uint32_t r = Place("Child.SHX", kResistor, 0, 0);
    const uint32_t g = Place("Child.SHX", kQuadGate, 0, 100);
    Place("Top.SHX", kCapacitor, 0, 0);
    ASSERT_EQ(Run(5), 0);
    // The project file: its instances and the annotation of each sheet.
    const std::string path = tree.path("p/Test.PRX");
    ASSERT_EQ(CreateProjectFile(path), 0);
    FileSpec spec = SpecOf(path);
    ASSERT_EQ(OpenDynamicFile(&spec, false, &P()->file), 0);
    ASSERT_EQ(WriteProjectInstanceList(P(), false), 0);
    ASSERT_EQ(WriteProjectSettings(P(), false), 0);
    for (auto* s = static_cast<SheetSpec*>(LLFirst(P()->sheetSpecs)); s; s = s->next)
        ASSERT_EQ(WriteProjectSheetAnnotationMap(P(), s, false), 0);
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&P()->file, true), 0);
    P()->file.stream = nullptr;
    const uint32_t leftId = left->instance->id, rightId = right->instance->id, topId = top->instance->id;

    ProjectRecord* reopened = OpenRecord(path);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(LoadProjectInstanceList(reopened), 0);
    ASSERT_EQ(LoadProjectSettings(reopened), 0);
    ASSERT_EQ(reopened->settings.annotationFlags, 0);
    auto designator = [&](const char* sheet, uint32_t serial, uint32_t instance) {
        SheetSpec* s = AddSheetSpecToProject(reopened, sheet);
        EXPECT_EQ(LoadAnnotationTable(reopened, s, 0), 0);
        char text[kAnnotationTextSize];
        const int32_t slot = GetAnnotation(s->annotationMap, serial, int32_t(instance), false, text);
        return std::string(text) + "/" + std::to_string(slot);
    };
    EXPECT_EQ(designator("Top.SHX", 1, topId), "C1/0");
    EXPECT_EQ(designator("Child.SHX", r, leftId), "R1/0");
    EXPECT_EQ(designator("Child.SHX", g, leftId), "U1/0");
    EXPECT_EQ(designator("Child.SHX", r, rightId), "R2/0");
    EXPECT_EQ(designator("Child.SHX", g, rightId), "U1/1");
    EXPECT_NE(GetInstanceWithId(reopened, rightId), nullptr);
    CloseRecord(reopened);
}

// ---- Small pieces ----

TEST_F(AnnotateTest, RunDepthAndDeletingAnInstanceAnnotation) {
    AnnotationSettings s{};
    EXPECT_EQ(AnnotationRunDepth(s), 9999);
    s.depthLimit = 3;
    EXPECT_EQ(AnnotationRunDepth(s), 9999);
    s.limitHierarchy = 1;
    EXPECT_EQ(AnnotationRunDepth(s), 3);
    s.depthLimit = 0;
    EXPECT_EQ(AnnotationRunDepth(s), 9999);

    SheetNode* top = Top("Top.SHX");
    const uint32_t serial = Place("Top.SHX", kResistor, 0, 0);
    Annotated(top, serial, "R3");
    DeleteInstanceAnnotation(P(), top->instance, serial);
    EXPECT_EQ(Of(top), "1=-");
}

TEST_F(AnnotateTest, ADepthLimitStopsAtSheetsOfAHigherRank) {
    SheetNode* top = Top("Top.SHX");
    SheetNode* child = Child(top, "Child.SHX", 5);
    SheetNode* grandchild = Child(child, "Leaf.SHX", 2);
    for (const char* sheet : {"Top.SHX", "Child.SHX", "Leaf.SHX"}) Place(sheet, kResistor, 0, 0);
    const SheetServices former = GetSheetServices();
    SheetServices services;
    services.openSheetRank = [](SheetRecord*) -> uint16_t { return 0; };
    services.fileSheetRank = nullptr;
    SetSheetServices(services);
    // Without rank information every sheet is of rank 9999: a limit of 1 keeps the run at the top.
    const OSStatus run = Run(5, 1, nullptr, true, 1);
    SetSheetServices(former);
    ASSERT_EQ(run, 0);
    EXPECT_EQ(Of(top), "1=R1");
    EXPECT_EQ(Of(child), "1=-");
    EXPECT_EQ(Of(grandchild), "1=-");
}

// ---- The dialog's choices ----

TEST(AnnotationChoicesTest, PresetsAndTheirDetection) {
    for (uint8_t i = 0; i < 4; ++i) {
        AnnotationChoices c;
        SelectAnnotationOperation(&c, i, 0);
        uint16_t mask = 0;
        EXPECT_EQ(DetectAnnotationOperation(c, &mask), i);
        EXPECT_EQ(mask, gOperationTable[i]);
        EXPECT_EQ(c.operationIndex, i);
    }
    AnnotationChoices c;
    SelectAnnotationOperation(&c, kAnnotCustomOperation, kAnnotAssignMissing | kAnnotResequence);
    uint16_t mask = 0;
    EXPECT_EQ(DetectAnnotationOperation(c, &mask), kAnnotCustomOperation);
    EXPECT_EQ(mask, 3);
    EXPECT_TRUE(GetAnnotationEnables(c, true, true).customEntry);
    // Resequencing is not counted while clearing all is chosen.
    c.clearing = 2;
    EXPECT_EQ(DetectAnnotationOperation(c, &mask), 2);
    EXPECT_EQ(mask, 9);
    // Nothing chosen: OK is off.
    AnnotationChoices none;
    EXPECT_FALSE(GetAnnotationEnables(none, true, true).ok);
}

TEST(AnnotationChoicesTest, EnablesFollowTheOptions) {
    struct Case {
        uint8_t clearing;
        bool assign, resequence, limit;
        AnnotationEnables want;  // ok, reseq, keep, first, start, sheet, selection, hierarchy, custom
    } cases[] = {
        {0, false, false, false, {false, true, false, false, false, true, true, false, true}},
        {1, true, false, true, {true, true, true, false, true, true, true, true, false}},
        {2, true, true, false, {true, false, true, false, true, true, true, false, false}},
        {0, true, true, false, {true, true, false, true, true, true, true, false, true}},
        {1, false, true, false, {true, true, false, false, true, true, true, false, true}},
    };
    for (const Case& k : cases) {
        AnnotationChoices c;
        c.clearing = k.clearing;
        c.assign = k.assign;
        c.resequence = k.resequence;
        c.limitHierarchy = k.limit;
        const AnnotationEnables e = GetAnnotationEnables(c, true, true);
        EXPECT_EQ(std::memcmp(&e, &k.want, sizeof e), 0)
            << int(k.clearing) << k.assign << k.resequence << " ok " << e.ok << " reseq " << e.resequence
            << " keep " << e.keepOrder << " first " << e.resequenceFirst << " start " << e.startNumber;
    }
    AnnotationChoices c;
    EXPECT_FALSE(GetAnnotationEnables(c, false, true).currentSheet);
    EXPECT_FALSE(GetAnnotationEnables(c, false, true).selectedSymbols);
    EXPECT_FALSE(GetAnnotationEnables(c, true, false).selectedSymbols);
    EXPECT_TRUE(GetAnnotationEnables(c, true, false).currentSheet);
}

TEST(AnnotationChoicesTest, SettingsGoInAndComeBack) {
    AnnotationSettings fresh{};
    fresh.startNumber = 1;
    fresh.limitHierarchy = 1;
    AnnotationChoices c = ChoicesFromSettings(fresh, true, true);
    EXPECT_EQ(c.operationIndex, 0);  // a fresh record: the first preset, keeping the order
    EXPECT_TRUE(c.keepOrder);
    EXPECT_TRUE(c.assign);
    EXPECT_EQ(c.clearing, 1);

    AnnotationSettings s{};
    s.operationIndex = 4;
    s.operationMask = kAnnotAssignMissing | kAnnotResequence | kAnnotResequenceFirst | kAnnotCurrentSheet |
                      kAnnotSelectedSymbols | kAnnotDepthFirst;
    s.startNumber = 20000;
    s.depthLimit = -4;
    std::strcpy(s.prefixFilter, "R,C");
    c = ChoicesFromSettings(s, true, true);
    EXPECT_EQ(c.operationIndex, 4);
    EXPECT_TRUE(c.resequenceFirst && c.depthFirst && c.resequence && c.assign);
    EXPECT_EQ(c.scope, 1);  // the selection is not restored
    EXPECT_EQ(c.startNumber, 9999);
    EXPECT_EQ(c.depth, 0);
    EXPECT_STREQ(c.prefixFilter, "R,C");
    // Without a sheet only the whole project.
    EXPECT_EQ(ChoicesFromSettings(s, false, false).scope, 0);

    c.scope = 2;
    AnnotationSettings out{};
    StoreAnnotationChoices(c, &out);
    EXPECT_EQ(out.operationIndex, 4);
    EXPECT_EQ(out.operationMask, kAnnotAssignMissing | kAnnotResequence | kAnnotResequenceFirst | kAnnotCurrentSheet |
                                     kAnnotSelectedSymbols | kAnnotDepthFirst);
    EXPECT_EQ(out.startNumber, 9999);
    EXPECT_STREQ(out.prefixFilter, "R,C");
    c.scope = 0;
    c.resequenceFirst = c.depthFirst = false;
    c.keepOrder = true;
    c.clearing = 1;
    c.resequence = false;
    StoreAnnotationChoices(c, &out);
    EXPECT_EQ(out.operationIndex, 0);
    EXPECT_EQ(out.operationMask, 5 | kAnnotKeepOrder);
}

}  // namespace
}  // namespace plexa::test
