// Signal-name resequencing and conflict resolution over a sheet and over a project hierarchy,
// with the sheets that are not open held in a store that stands in for their files.
#include "files/resequence.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/ll.h"
#include "model/signals.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

using Names = std::vector<std::string>;

// One signal as a sheet file holds it: its name and whether a global power symbol names it.
struct StoredSignal {
    std::string name;
    bool power = false;
};
using StoredSheet = std::vector<StoredSignal>;

// The sheets "on disk", by file name; loads can be made to fail.
struct FakeStore {
    std::map<std::string, StoredSheet> files;
    std::map<std::string, OSStatus> loadFailures;
    std::map<std::string, OSStatus> saveFailures;
    std::map<std::string, SheetRecord*> open;  // sheets with a window
    std::vector<std::string> loads, saves;
    int32_t live = 0;  // sheets loaded and not yet released
    ProjectRecord* project = nullptr;
};
FakeStore* gStore = nullptr;

void AddSignal(SheetRecord* sheet, const StoredSignal& stored) {
    SignalHandle signal = CreateSignal(nullptr);
    ASSERT_NE(signal, nullptr);
    SetSignalName(signal, sheet->stringBlock, stored.name.c_str());
    if (stored.power) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->flags = kSymbolFlagPort;
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(sheet, symbol);
        ASSERT_GE(AddPinToSignal(signal, symbol, 0), 0);
        (*signal)->flags |= kSignalFlagPort;
    }
    // Appended, so that the list keeps the stored order.
    LLAppend(sheet->signalList, signal);
}

SheetRecord* MakeSheet(const std::string& name, const StoredSheet& signals) {
    SheetRecord* sheet = CreateDrawing();
    EXPECT_NE(sheet, nullptr);
    SetFileSpecName(&sheet->fileSpec, name.c_str());
    for (const StoredSignal& s : signals) AddSignal(sheet, s);
    return sheet;
}

Names SignalNames(SheetRecord* sheet) {
    Names names;
    for (auto s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s))) {
        char name[kSignalNameSize];
        GetSignalName(s, sheet->stringBlock, name, sizeof name);
        names.push_back(name);
    }
    return names;
}

Names StoredNames(const StoredSheet& sheet) {
    Names names;
    for (const StoredSignal& s : sheet) names.push_back(s.name);
    return names;
}

std::string SpecName(ProjectRecord* project, SheetSpec* spec) {
    char name[160];
    GetSheetSpecName(project, spec, name, sizeof name);
    return name;
}

class ResequenceTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        gStore = &store_;
        SheetStoreHooks hooks;
        hooks.getLoaded = [](ProjectRecord* project, SheetSpec* spec) -> SheetRecord* {
            auto found = gStore->open.find(SpecName(project, spec));
            return found == gStore->open.end() ? nullptr : found->second;
        };
        hooks.load = [](ProjectRecord* project, SheetSpec* spec, SheetRecord** out) -> OSStatus {
            const std::string name = SpecName(project, spec);
            gStore->loads.push_back(name);
            if (auto failure = gStore->loadFailures.find(name); failure != gStore->loadFailures.end())
                return failure->second;
            auto file = gStore->files.find(name);
            if (file == gStore->files.end()) return -43;
            *out = MakeSheet(name, file->second);
            (*out)->project = project;
            (*out)->sheetSpec = spec;
            ++gStore->live;
            return 0;
        };
        hooks.save = [](SheetRecord* sheet) -> OSStatus {
            const std::string name = sheet->fileSpec.name;
            if (auto failure = gStore->saveFailures.find(name); failure != gStore->saveFailures.end())
                return failure->second;
            gStore->saves.push_back(name);
            StoredSheet& stored = gStore->files[name];
            const Names names = SignalNames(sheet);
            for (size_t i = 0; i < stored.size() && i < names.size(); ++i) stored[i].name = names[i];
            return 0;
        };
        hooks.release = [](SheetRecord* sheet) {
            --gStore->live;
            DestroySheet(sheet);
        };
        SetSheetStoreHooks(hooks);
        ResequenceHooks reports;
        reports.saveFailed = [](const char* name, OSStatus st) {
            failures_.push_back(std::string(name) + " " + std::to_string(st));
        };
        SetResequenceHooks(reports);
        failures_.clear();
    }
    void TearDown() override {
        for (auto& [name, sheet] : store_.open) DestroySheet(sheet);
        for (VXWindowRecordTag* window : windows_) DestroySheetWindow(window);
        if (project_.hierarchy) DestroySheetTree(project_.hierarchy);
        if (project_.sheetSpecs) LLDispose(project_.sheetSpecs, true);
        if (project_.strings) DestroyStringBlock(project_.strings);
        SetSheetStoreHooks({});
        SetResequenceHooks({});
        gStore = nullptr;
        ModelTest::TearDown();
    }

    // A project whose hierarchy is the list of (sheet name, parent index or -1), in tree order.
    ProjectRecord* Project(const std::vector<std::pair<std::string, int>>& nodes) {
        project_.strings = CreateStringBlock(nullptr, 256);
        project_.sheetSpecs = CreateSheetSpecList();
        project_.hierarchy = CreateSheetTree();
        std::vector<SheetNode*> made;
        for (const auto& [name, parent] : nodes) {
            SheetSpec* spec = AddSheetSpecToProject(&project_, name.c_str());
            made.push_back(AddSheetNode(project_.hierarchy, parent < 0 ? nullptr : made[size_t(parent)], spec,
                                        uint32_t(made.size() + 1), 0));
        }
        store_.project = &project_;
        return &project_;
    }

    // Opens a stored sheet in a "window" of the project.
    SheetRecord* Open(const std::string& name) {
        SheetRecord* sheet = MakeSheet(name, store_.files[name]);
        sheet->project = &project_;
        sheet->sheetSpec = GetNamedSheetSpec(&project_, name.c_str(), nullptr);
        sheet->window = MakeSheetWindow(sheet);
        windows_.push_back(sheet->window);
        store_.open[name] = sheet;
        return sheet;
    }

    FakeStore store_;
    ProjectRecord project_{};
    std::vector<VXWindowRecordTag*> windows_;
    static inline std::vector<std::string> failures_;
};

TEST_F(ResequenceTest, ResequencingOneSheetFollowsTheCurrentNumbersAndSplitsSharedNames) {
    SheetRecord* sheet = MakeSheet("A.SHT", {{"SIG5"}, {"SIG2"}, {"SIG2"}, {"CLK"}});
    ResequenceSummary summary;
    EXPECT_EQ(Resequence(nullptr, sheet, kResequenceNames, 1, false, 9999, &summary), 0);
    EXPECT_EQ(SignalNames(sheet), (Names{"SIG003", "SIG001", "SIG002", "CLK"}));
    EXPECT_EQ(summary.namesChanged, 3);
    EXPECT_TRUE(sheet->modifiedFlags & kSheetModifiedContent);
    DestroySheet(sheet);
}

TEST_F(ResequenceTest, NumbersStartAtTheFirstNumberAndExtraLeadingZerosCountAsAChange) {
    struct Case {
        StoredSheet signals;
        int32_t first;
        Names expected;
        int32_t changed;
    };
    const Case cases[] = {
        {{{"SIG0001"}, {"SIG002"}}, 1, {"SIG001", "SIG002"}, 1},   // one zero too many
        {{{"SIG001"}, {"SIG002"}}, 1, {"SIG001", "SIG002"}, 0},    // nothing to do
        {{{"SIG7"}, {"SIG3"}}, 100, {"SIG101", "SIG100"}, 2},
        {{{"sig4"}, {"NET1"}}, 1, {"SIG001", "NET1"}, 1},          // prefixes compare ignoring case
    };
    for (const Case& c : cases) {
        SheetRecord* sheet = MakeSheet("A.SHT", c.signals);
        ResequenceSummary summary;
        EXPECT_EQ(Resequence(nullptr, sheet, kResequenceNames, c.first, false, 9999, &summary), 0);
        EXPECT_EQ(SignalNames(sheet), c.expected) << c.signals[0].name;
        EXPECT_EQ(summary.namesChanged, c.changed) << c.signals[0].name;
        DestroySheet(sheet);
    }
}

TEST_F(ResequenceTest, ResolvingGivesTheLaterSheetTheLowestFreeNumberAndLeavesPowerNetsAlone) {
    store_.files["TOP.SHT"] = {{"SIG001"}, {"SIG004"}, {"SIG009", true}};
    store_.files["SUB.SHT"] = {{"SIG001"}, {"SIG009", true}, {"SIG003"}};
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"SUB.SHT", 0}});
    ResequenceSummary summary;
    EXPECT_EQ(Resequence(project, nullptr, 0, 1, true, 9999, &summary), 0);
    // SIG001 stays on the top sheet; the sub-sheet's takes 2, the lowest number no name uses. The
    // power net SIG009 is one net on both sheets.
    EXPECT_EQ(StoredNames(store_.files["TOP.SHT"]), (Names{"SIG001", "SIG004", "SIG009"}));
    EXPECT_EQ(StoredNames(store_.files["SUB.SHT"]), (Names{"SIG002", "SIG009", "SIG003"}));
    EXPECT_EQ(summary.namesChanged, 1);
    EXPECT_EQ(store_.saves, (Names{"SUB.SHT"}));
    EXPECT_EQ(store_.live, 0);  // the sheets loaded for the work were released
}

TEST_F(ResequenceTest, ResequencingAProjectNumbersInHierarchyOrderAndKeepsOneNumberPerPowerNet) {
    store_.files["TOP.SHT"] = {{"SIG8"}, {"SIG2", true}};
    store_.files["A.SHT"] = {{"SIG1"}, {"SIG2", true}};
    store_.files["B.SHT"] = {{"SIG1"}};
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"A.SHT", 0}, {"B.SHT", 0}});
    EXPECT_EQ(Resequence(project, nullptr, kResequenceNames, 1, true, 9999), 0);
    // Sheet by sheet in hierarchy order; both power-net names become one new number.
    EXPECT_EQ(StoredNames(store_.files["TOP.SHT"]), (Names{"SIG002", "SIG001"}));
    EXPECT_EQ(StoredNames(store_.files["A.SHT"]), (Names{"SIG003", "SIG001"}));
    EXPECT_EQ(StoredNames(store_.files["B.SHT"]), (Names{"SIG004"}));
}

TEST_F(ResequenceTest, WithoutDescendingOnlyTheTopLevelSheetsAreVisited) {
    store_.files["TOP.SHT"] = {{"SIG1"}};
    store_.files["SUB.SHT"] = {{"SIG1"}};
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"SUB.SHT", 0}});
    EXPECT_EQ(Resequence(project, nullptr, 0, 1, false, 9999), 0);
    EXPECT_EQ(store_.loads, (Names{"TOP.SHT"}));
    EXPECT_EQ(StoredNames(store_.files["SUB.SHT"]), (Names{"SIG1"}));
}

TEST_F(ResequenceTest, AnOpenSheetIsRenamedAndMarkedButNotSaved) {
    store_.files["TOP.SHT"] = {{"SIG001"}};
    store_.files["SUB.SHT"] = {{"SIG001"}};
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"SUB.SHT", 0}});
    SheetRecord* sub = Open("SUB.SHT");
    EXPECT_EQ(Resequence(project, sub, 0, 1, true, 9999), 0);
    EXPECT_EQ(SignalNames(sub), (Names{"SIG002"}));
    EXPECT_TRUE(sub->modifiedFlags & kSheetModifiedContent);
    EXPECT_TRUE(store_.saves.empty());
    EXPECT_EQ(StoredNames(store_.files["SUB.SHT"]), (Names{"SIG001"}));
}

TEST_F(ResequenceTest, ALoadFailureOnTheSecondSheetLeavesTheFirstUnchangedOnDisk) {
    store_.files["TOP.SHT"] = {{"SIG7"}, {"SIG3"}};
    store_.files["SUB.SHT"] = {{"SIG1"}};
    store_.loadFailures["SUB.SHT"] = -39;
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"SUB.SHT", 0}});
    OSStatus reported = 0;
    static OSStatus* reportedAt = &reported;
    ResequenceHooks hooks;
    hooks.reportError = [](OSStatus st) { *reportedAt = st; };
    SetResequenceHooks(hooks);
    EXPECT_EQ(Resequence(project, nullptr, kResequenceNames, 1, true, 9999), -39);
    EXPECT_EQ(reported, -39);
    EXPECT_EQ(StoredNames(store_.files["TOP.SHT"]), (Names{"SIG7", "SIG3"}));
    EXPECT_TRUE(store_.saves.empty());
    EXPECT_EQ(store_.live, 0);
}

TEST_F(ResequenceTest, ASaveFailureIsReportedByNameAndTheOtherSheetsAreStillSaved) {
    store_.files["TOP.SHT"] = {{"SIG001"}};
    store_.files["A.SHT"] = {{"SIG001"}};
    store_.files["B.SHT"] = {{"SIG001"}};
    store_.saveFailures["A.SHT"] = -34;
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"A.SHT", 0}, {"B.SHT", 0}});
    EXPECT_EQ(Resequence(project, nullptr, 0, 1, true, 9999), -34);
    EXPECT_EQ(failures_, (Names{"A.SHT -34"}));
    EXPECT_EQ(StoredNames(store_.files["B.SHT"]), (Names{"SIG003"}));
    EXPECT_EQ(store_.live, 0);
}

// A sheet whose new names could not be saved goes to whoever takes it over; one that nobody
// could take is released, not left loaded.
TEST_F(ResequenceTest, ASheetThatCouldNotBeSavedIsTakenOverOrReleased) {
    store_.files["TOP.SHT"] = {{"SIG001"}};
    store_.files["A.SHT"] = {{"SIG001"}};
    store_.saveFailures["A.SHT"] = -34;
    static std::vector<SheetRecord*> taken;
    static bool take = false;
    taken.clear();
    ResequenceHooks hooks = GetResequenceHooks();
    hooks.keepUnsaved = [](SheetRecord* sheet) {
        if (!take) return false;
        taken.push_back(sheet);
        return true;
    };
    SetResequenceHooks(hooks);
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"A.SHT", 0}});
    EXPECT_EQ(Resequence(project, nullptr, 0, 1, true, 9999), -34);
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(store_.live, 0);
    take = true;
    EXPECT_EQ(Resequence(project, nullptr, 0, 1, true, 9999), -34);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_STREQ(taken[0]->fileSpec.name, "A.SHT");
    EXPECT_EQ(store_.live, 1);
    take = false;
    --store_.live;
    DestroySheet(taken[0]);
}

TEST_F(ResequenceTest, TheActiveSheetAloneIsRenumberedWithoutTouchingTheOthers) {
    store_.files["TOP.SHT"] = {{"SIG9"}};
    store_.files["SUB.SHT"] = {{"SIG4"}, {"SIG1"}};
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"SUB.SHT", 0}});
    SheetRecord* sub = Open("SUB.SHT");
    EXPECT_EQ(Resequence(project, sub, kResequenceNames | kResequenceActiveSheet, 1, false, 9999), 0);
    EXPECT_EQ(SignalNames(sub), (Names{"SIG002", "SIG001"}));
    EXPECT_TRUE(store_.loads.empty());
}

TEST_F(ResequenceTest, TheStoredOptionsLimitTheDepthOnlyWhenDescending) {
    store_.files["TOP.SHT"] = {{"SIG001"}};
    store_.files["A.SHT"] = {{"SIG001"}};
    store_.files["B.SHT"] = {{"SIG001"}};
    ProjectRecord* project = Project({{"TOP.SHT", -1}, {"A.SHT", 0}, {"B.SHT", 1}});
    ResequenceOptions options{};
    options.startNumber = 1;
    options.limitHierarchy = 1;
    options.depthLimit = 1;  // TOP and A, not B
    EXPECT_EQ(ResequenceWithOptions(project, nullptr, options), 0);
    EXPECT_EQ(store_.loads, (Names{"TOP.SHT", "A.SHT"}));
    EXPECT_EQ(StoredNames(store_.files["A.SHT"]), (Names{"SIG002"}));
    EXPECT_EQ(StoredNames(store_.files["B.SHT"]), (Names{"SIG001"}));
}

TEST_F(ResequenceTest, TheTwoHierarchyOrdersDecideWhichSheetKeepsAName) {
    // TOP has children A and C; A has child B. Depth first: TOP, A, B, C; breadth first: TOP, A,
    // C, B. B and C both hold SIG005: the one earlier in the order keeps it.
    for (const bool depthFirst : {true, false}) {
        store_.files = {{"TOP.SHT", {}}, {"A.SHT", {}}, {"B.SHT", {{"SIG005"}}}, {"C.SHT", {{"SIG005"}}}};
        ProjectRecord* project = Project({{"TOP.SHT", -1}, {"A.SHT", 0}, {"B.SHT", 1}, {"C.SHT", 0}});
        EXPECT_EQ(Resequence(project, nullptr, depthFirst ? kResequenceDepthFirst : 0, 1, true, 9999), 0);
        EXPECT_EQ(StoredNames(store_.files["B.SHT"])[0], depthFirst ? "SIG005" : "SIG001");
        EXPECT_EQ(StoredNames(store_.files["C.SHT"])[0], depthFirst ? "SIG001" : "SIG005");
        DestroySheetTree(project_.hierarchy);
        LLDispose(project_.sheetSpecs, true);
        DestroyStringBlock(project_.strings);
        project_ = {};
    }
}

}  // namespace
}  // namespace plexa::test
