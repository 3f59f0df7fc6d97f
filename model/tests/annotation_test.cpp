// Annotation maps: lookup, change, apply and discard; the context rules over projects, sheet
// specs and instances (stand-ins installed through the hooks); copying and moving an instance's
// annotation; purges; the stored block in both byte orders, damaged blocks and the dead-sessions
// count; the sheet-local cache; and the plain map calls once more without hooks, with a second
// hand-written block read under either swap setting of the caller.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/annotation.h"
#include "model/components.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/tests/model_testing.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

// ---- Stand-ins for projects, sheet specs and instances ----

struct FakeSpec {
    AnnotationMap* map = nullptr;
    SheetLocalAnnotationEntry* local = nullptr;
    int dirtyMarks = 0;
    FileSpec file{};
    bool open = false;
};
struct FakeInstance {
    int32_t id;
    FakeSpec* spec;
};
struct FakeProject {
    uint8_t flags = 0;
    std::vector<FakeInstance*> instances;
    std::vector<FakeSpec*> specs;
    OSStatus loadStatus = 0;
    int loads = 0, frees = 0;
};

FakeProject* Of(ProjectRecord* p) { return reinterpret_cast<FakeProject*>(p); }
FakeSpec* Of(SheetSpec* s) { return reinterpret_cast<FakeSpec*>(s); }
FakeInstance* Of(SheetInstance* i) { return reinterpret_cast<FakeInstance*>(i); }
ProjectRecord* AsProject(FakeProject* p) { return reinterpret_cast<ProjectRecord*>(p); }
SheetSpec* AsSpec(FakeSpec* s) { return reinterpret_cast<SheetSpec*>(s); }
SheetInstance* AsInstance(FakeInstance* i) { return reinterpret_cast<SheetInstance*>(i); }

// Maps that a stand-in sheet file holds, by file name; what readSheetFileAnnotation reads.
std::vector<std::pair<std::string, std::string>> gSheetFiles;
// The projects that hold the sheet under test, with their spec of it.
std::vector<std::pair<FakeProject*, FakeSpec*>> gSheetProjects;

AnnotationContextHooks FakeHooks() {
    AnnotationContextHooks h;
    h.projectFlags = [](ProjectRecord* p) { return Of(p)->flags; };
    h.setProjectFlags = [](ProjectRecord* p, uint8_t flags) { Of(p)->flags = flags; };
    h.instanceId = [](SheetInstance* i) { return Of(i)->id; };
    h.instanceSheetSpec = [](ProjectRecord*, SheetInstance* i) { return AsSpec(Of(i)->spec); };
    h.projectHasInstance = [](ProjectRecord* p, int32_t id) {
        for (FakeInstance* i : Of(p)->instances)
            if (i->id == id) return true;
        return false;
    };
    h.specMap = [](SheetSpec* s) { return &Of(s)->map; };
    h.specLocalEntry = [](SheetSpec* s) { return &Of(s)->local; };
    h.markSpecDirty = [](SheetSpec* s) { ++Of(s)->dirtyMarks; };
    h.resolveSheetSpecFile = [](ProjectRecord*, SheetSpec* s, FileSpec* file) {
        *file = Of(s)->file;
        return file->name[0] != 0;
    };
    h.loadAnnotationTable = [](ProjectRecord* p, SheetSpec*, uint32_t) {
        ++Of(p)->loads;
        return Of(p)->loadStatus;
    };
    h.freeAnnotationTable = [](ProjectRecord* p, SheetSpec*) { ++Of(p)->frees; };
    h.openSheetOfSpec = [](ProjectRecord*, SheetSpec* s) {
        return Of(s)->open ? reinterpret_cast<SheetRecord*>(1) : nullptr;
    };
    h.enumSheetProjects = [](SheetRecord* sheet, AnnotationProjectProc proc, void* data) {
        for (auto& [project, spec] : gSheetProjects)
            if (int32_t r = proc(AsProject(project), AsSpec(spec), sheet, data)) return r;
        return 0;
    };
    h.readSheetFileAnnotation = [](const FileSpec* file, AnnotationMap** map) -> OSStatus {
        for (auto& [name, bytes] : gSheetFiles) {
            if (name != file->name) continue;
            HandleStream in(bytes);
            return ReadAnnotationMap(in.stream, 0, map);
        }
        return status::kNotFound;
    };
    return h;
}

// ---- Helpers ----

// "symbol: instance "text" slot, ..." of the saved (or pending) lists, entries in map order.
std::string Layer(AnnotationMap* map, bool pending) {
    std::string out;
    StringBlock block = GetAnnotationMapStringBlock(map);
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry e;
        GetAnnotationMapEntry(map, i, &e);
        out += std::to_string(e.symbolId) + ":";
        for (const AnnotationSpec* s = pending ? e.pending : e.saved; s; s = s->next) {
            char text[kAnnotationTextSize];
            ExtractAnnotationSpec(s, block, text);
            out += " " + std::to_string(s->instanceId) +
                   (s->designator == kNoDesignator ? std::string(" -")
                                                   : " \"" + std::string(text) + "\" " +
                                                         std::to_string(s->slot));
        }
        out += ";";
    }
    return out;
}
std::string Saved(AnnotationMap* map) { return Layer(map, false); }
std::string WithoutEmptyEntries(const std::string& layer) {
    std::string out, piece;
    std::istringstream in(layer);
    while (std::getline(in, piece, ';'))
        if (piece.back() != ':') out += piece + ";";
    return out;
}
void DiscardPendingChangesOf(AnnotationMap* map) {
    FakeSpec spec;
    spec.map = map;
    DiscardAnnotationChanges(nullptr, AsSpec(&spec), false);
}
std::string Pending(AnnotationMap* map) { return Layer(map, true); }

// "text/slot" of the effective annotation.
std::string Effective(AnnotationMap* map, uint32_t symbol, int32_t instance, bool noSlots = false) {
    char text[kAnnotationTextSize];
    const int32_t slot = GetAnnotation(map, symbol, instance, noSlots, text);
    return std::string(text) + "/" + std::to_string(slot);
}

std::string Write(AnnotationMap* map) {
    HandleStream out;
    EXPECT_EQ(WriteAnnotationMap(out.stream, map), 0);
    return out.bytes();
}

AnnotationMap* Read(const std::string& bytes, OSStatus* status = nullptr) {
    HandleStream in(bytes);
    AnnotationMap* map = nullptr;
    const OSStatus s = ReadAnnotationMap(in.stream, 0, &map);
    if (status) *status = s;
    if (s) {
        EXPECT_EQ(map, nullptr);
    }
    return map;
}

// The hand-written block: designators "R1" and "U2A" in the string block, symbol 4 with two
// instances, symbol 9 with a spec without designator. In little-endian and big-endian order.
const char* kFixtureLittle =
    "3412"                      // byte-order mark 0x1234
    "0000"                      // dead-sessions count
    "d1be7ada 40000000"         // string block: magic, allocated 64
    "15000000 4000 0000"        //   used 21, quantum 64, zero
    "5231 553241"               //   "R1" at 16, "U2A" at 18
    "04000000 02000000"         // symbol 4, two specs
    "00000000 02400000 0000"    //   instance 0, (16 << 10) | 2, slot 0
    "07000000 03480000 0100"    //   instance 7, (18 << 10) | 3, slot 1
    "09000000 01000000"         // symbol 9, one spec
    "00000000 ffffffff ffff"    //   instance 0, no designator, slot -1
    "00000000";                 // end
const char* kFixtureBig =
    "1234 0000"
    "da7abed1 00000040 00000015 0040 0000 5231 553241"
    "00000004 00000002 00000000 00004002 0000 00000007 00004803 0001"
    "00000009 00000001 00000000 ffffffff ffff"
    "00000000";
const char* kFixtureSaved = "4: 7 \"U2A\" 1 0 \"R1\" 0;9: 0 -;";

class Annotation : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        SetAnnotationContextHooks(FakeHooks());
        gSheetFiles.clear();
        gSheetProjects.clear();
        map = CreateAnnotationMap(true);
        ASSERT_NE(map, nullptr);
    }
    void TearDown() override {
        DestroyAnnotationMap(map);
        SetAnnotationContextHooks(AnnotationContextHooks{});
    }
    AnnotationMap* map = nullptr;
};

// ---- Lookup and change ----

TEST_F(Annotation, PendingSpecsShadowSavedOnesUntilAppliedOrDiscarded) {
    EXPECT_TRUE(SetAnnotation(map, 4, 0, "R1", 0));
    EXPECT_EQ(Pending(map), "4: 0 \"R1\" 0;");
    EXPECT_EQ(Effective(map, 4, 0), "R1/0");
    EXPECT_TRUE(AnnotationMapHasChanges(map));
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, nullptr));
    EXPECT_EQ(Saved(map), "4: 0 \"R1\" 0;");
    EXPECT_FALSE(AnnotationMapHasChanges(map));

    // The same designator and slot as saved: no pending spec.
    EXPECT_FALSE(SetAnnotation(map, 4, 0, "R1", 0));
    EXPECT_EQ(Pending(map), "4:;");
    // A change shadows the saved spec; discarding brings it back.
    EXPECT_TRUE(SetAnnotation(map, 4, 0, "R2", 1));
    EXPECT_EQ(Effective(map, 4, 0), "R2/1");
    EXPECT_EQ(Effective(map, 4, 0, true), "R2/-1");
    DiscardPendingChangesOf(map);
    EXPECT_EQ(Effective(map, 4, 0), "R1/0");
    // Removing: a pending removal hides the saved spec; applying it removes the spec.
    EXPECT_TRUE(SetAnnotation(map, 4, 0, nullptr, -1));
    EXPECT_EQ(Effective(map, 4, 0), "/-1");
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, nullptr));
    EXPECT_EQ(Saved(map), "4:;");  // the entry stays
}

TEST_F(Annotation, SettingThenRemovingBeforeApplying) {
    // Without a saved spec: removing drops the pending spec's designator, and applying adds nothing.
    EXPECT_TRUE(SetAnnotation(map, 5, 0, "C1", 0));
    EXPECT_TRUE(SetAnnotation(map, 5, 0, nullptr, -1));
    EXPECT_EQ(Pending(map), "5: 0 -;");
    EXPECT_FALSE(ApplyAnnotationMapChanges(map, nullptr));
    EXPECT_EQ(Saved(map), "5:;");
    // Nothing to remove: no entry and no text change nothing.
    EXPECT_FALSE(SetAnnotation(map, 6, 0, nullptr, -1));
    EXPECT_EQ(FindAnnotationMapEntry(map, 6, false) < 0, true);
    // With a saved spec a removal stays pending until applied.
    SetAnnotation(map, 5, 3, "C2", 2);
    ApplyAnnotationMapChanges(map, nullptr);
    EXPECT_TRUE(SetAnnotation(map, 5, 3, "C9", 2));
    EXPECT_TRUE(SetAnnotation(map, 5, 3, nullptr, -1));
    EXPECT_EQ(Pending(map), "5: 3 -;");
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, nullptr));
    EXPECT_EQ(Saved(map), "5:;");
}

TEST_F(Annotation, ApplyingEachKindOfPendingSpec) {
    for (auto [symbol, text, slot] : {std::tuple{1u, "A1", 0}, {2u, "B1", 0}, {3u, "C1", 0}})
        SetAnnotation(map, symbol, 0, text, slot);
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 1, 0, "A1", 2);   // same designator, other slot
    SetAnnotation(map, 2, 0, "B7", 0);   // other designator
    SetAnnotation(map, 3, 0, nullptr, 0);  // removal
    SetAnnotation(map, 3, 5, "C5", 1);   // new instance
    FakeSpec spec;
    spec.map = map;
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, AsSpec(&spec)));
    EXPECT_EQ(Saved(map), "1: 0 \"A1\" 2;2: 0 \"B7\" 0;3: 5 \"C5\" 1;");
    EXPECT_EQ(spec.dirtyMarks, 1);
    spec.map = nullptr;
    // The map of a spec's sheet-local entry gets its changed mark instead.
    SheetLocalAnnotationEntry local{};
    local.map = map;
    spec.local = &local;
    SetAnnotation(map, 1, 0, "A2", 2);
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, AsSpec(&spec)));
    EXPECT_EQ(local.changed, 1);
    EXPECT_EQ(spec.dirtyMarks, 1);
}

TEST_F(Annotation, EntriesStayInSymbolOrderAndIdZeroHasNone) {
    for (uint32_t symbol : {30u, 4u, 12u, 1u, 20u}) SetAnnotation(map, symbol, 0, "X", -1);
    EXPECT_EQ(Pending(map), "1: 0 \"X\" -1;4: 0 \"X\" -1;12: 0 \"X\" -1;20: 0 \"X\" -1;30: 0 \"X\" -1;");
    EXPECT_LT(FindAnnotationMapEntry(map, 0, true), 0);
    EXPECT_FALSE(SetAnnotation(map, 0, 0, "Z", 0));
    EXPECT_EQ(FindAnnotationMapEntry(map, 12, false), 2);
    EXPECT_EQ(uint32_t(FindAnnotationMapEntry(map, 13, false)), kDANotFound | 3u);
}

// ---- Context rules ----

class AnnotationContext : public Annotation {
protected:
    void SetUp() override {
        Annotation::SetUp();
        spec.map = CreateAnnotationMap(true);
        project.specs = {&spec};
        project.instances = {&first, &second};
        sheet.annotationMap = map;
    }
    void TearDown() override {
        DestroyAnnotationMap(spec.map);
        Annotation::TearDown();
    }
    void InContext(FakeInstance* instance) {
        sheet.project = AsProject(&project);
        sheet.hierarchyContext = AsInstance(instance);
    }
    std::string Symbol(uint32_t serial) {
        char text[kAnnotationTextSize];
        const int32_t slot = GetSymbolAnnotation(&sheet, serial, text);
        return std::string(text) + "/" + std::to_string(slot);
    }

    FakeProject project;
    FakeSpec spec;
    FakeInstance first{11, &spec}, second{12, &spec};
    SheetRecord sheet{};
};

TEST_F(AnnotationContext, TheSheetsOwnMapOrTheInstancesMap) {
    EXPECT_TRUE(SetSymbolAnnotation(&sheet, 4, "R1", 0));
    EXPECT_EQ(Pending(map), "4: 0 \"R1\" 0;");
    InContext(&first);
    EXPECT_TRUE(SetSymbolAnnotation(&sheet, 4, "R5", 1));
    InContext(&second);
    EXPECT_TRUE(SetSymbolAnnotation(&sheet, 4, "R6", 0));
    EXPECT_EQ(Pending(spec.map), "4: 12 \"R6\" 0 11 \"R5\" 1;");
    EXPECT_EQ(Symbol(4), "R6/0");
    char text[kAnnotationTextSize];
    EXPECT_EQ(GetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, text), 1);
    EXPECT_STREQ(text, "R5");
    EXPECT_EQ(GetInstanceAnnotation(nullptr, AsInstance(&first), 4, text), -1);
    EXPECT_STREQ(text, "");
    // With the no-slot bit every lookup gives slot -1 and still the designator.
    project.flags = kAnnotNoSlotSuffix;
    EXPECT_EQ(Symbol(4), "R6/-1");
    int32_t id = -1;
    bool noSlots = false;
    EXPECT_EQ(GetSheetContextAnnotationInfo(&sheet, &id, &noSlots), spec.map);
    EXPECT_EQ(id, 12);
    EXPECT_TRUE(noSlots);
    AnnotationSpec* copy = GetSymbolAnnotationCopy(&sheet, nullptr, nullptr, 4);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->next, nullptr);
    EXPECT_EQ(copy->instanceId, 12);
    DestroyAnnotationSpec(copy);
    copy = GetSymbolAnnotationCopy(nullptr, AsProject(&project), AsInstance(&first), 4);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->slot, 1);
    DestroyAnnotationSpec(copy);
    EXPECT_EQ(GetSymbolAnnotationCopy(&sheet, nullptr, nullptr, 99), nullptr);
}

TEST_F(AnnotationContext, AnInstanceMapIsMadeOnlyWhenATextIsGiven) {
    DestroyAnnotationMap(spec.map);
    spec.map = nullptr;
    EXPECT_FALSE(SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, nullptr, -1));
    EXPECT_EQ(spec.map, nullptr);
    EXPECT_TRUE(SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, "Q1", 0));
    ASSERT_NE(spec.map, nullptr);
    EXPECT_EQ(Pending(spec.map), "4: 11 \"Q1\" 0;");
    FakeInstance orphan{13, nullptr};
    EXPECT_FALSE(SetInstanceAnnotation(AsProject(&project), AsInstance(&orphan), 4, "Q2", 0));
}

TEST_F(AnnotationContext, SheetLocalAnnotationSharesInstanceZeroAndTheSheetFilesMap) {
    TempDir folder;
    AnnotationMap* stored = CreateAnnotationMap(true);
    SetAnnotation(stored, 4, 0, "U1", 0);
    ApplyAnnotationMapChanges(stored, nullptr);
    gSheetFiles = {{"Child.SHX", Write(stored)}};
    DestroyAnnotationMap(stored);
    ASSERT_EQ(FileSpecFromPathName(nullptr, folder.file("Child.SHX").c_str(), &spec.file), 0);

    project.flags = kAnnotSheetLocal;
    InContext(&first);
    EXPECT_EQ(Symbol(4), "/-1");  // no entry taken yet
    // Setting takes the sheet file's map through the cache and keeps the entry in the spec.
    EXPECT_TRUE(SetSymbolAnnotation(&sheet, 5, "U2", 0));
    ASSERT_NE(spec.local, nullptr);
    EXPECT_EQ(spec.local->referenceCount, 1);
    EXPECT_EQ(Symbol(4), "U1/0");
    InContext(&second);
    EXPECT_EQ(Symbol(5), "U2/0");  // both instances are instance 0 of one map
    EXPECT_EQ(Pending(spec.local->map), "4:;5: 0 \"U2\" 0;");
    // A second project on the same file shares the entry.
    FileSpec sameName = spec.file;
    std::strcpy(sameName.name, "child.shx");
    SheetLocalAnnotationEntry* again = GetSheetLocalAnnotation(&sameName, false);
    EXPECT_EQ(again, spec.local);
    EXPECT_EQ(spec.local->referenceCount, 2);
    ReleaseSheetLocalAnnotation(again);
    ReleaseSheetLocalAnnotation(spec.local);
    EXPECT_EQ(FindSheetLocalAnnotation(&spec.file), nullptr);
    spec.local = nullptr;
    // A file that cannot be read gives no entry.
    std::strcpy(spec.file.name, "Missing.SHX");
    EXPECT_EQ(GetSheetLocalAnnotation(&spec.file, true), nullptr);
}

// ---- Copying, moving, reassigning ----

TEST_F(AnnotationContext, CopyingAnInstanceKeepsOneSpecPerInstance) {
    SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, "R1", 0);
    SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 7, "R2", 0);
    ApplyAnnotationMapChanges(spec.map, nullptr);
    SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, "R3", 1);
    EXPECT_EQ(CopyInstanceAnnotation(AsSpec(&spec), 11, 20), 0);
    EXPECT_EQ(CopyInstanceAnnotation(AsSpec(&spec), 11, 20), 0);
    EXPECT_EQ(Saved(spec.map), "4: 20 \"R1\" 0 11 \"R1\" 0;7: 20 \"R2\" 0 11 \"R2\" 0;");
    EXPECT_EQ(Pending(spec.map), "4: 20 \"R3\" 1 11 \"R3\" 1;7:;");
    EXPECT_GT(spec.dirtyMarks, 0);
    // Copying over an instance with annotation of its own replaces it, pending specs included.
    SetInstanceAnnotation(AsProject(&project), AsInstance(&second), 7, "R8", 0);
    EXPECT_EQ(CopyInstanceAnnotation(AsSpec(&spec), 20, 12), 0);
    EXPECT_EQ(Pending(spec.map), "4: 12 \"R3\" 1 20 \"R3\" 1 11 \"R3\" 1;7:;");
    EXPECT_EQ(Effective(spec.map, 7, 12), "R2/0");
}

TEST_F(AnnotationContext, MovingAnInstanceBetweenSheetSpecs) {
    FakeSpec target;
    SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, "R1", 0);
    SetInstanceAnnotation(AsProject(&project), AsInstance(&second), 4, "R2", 0);
    ApplyAnnotationMapChanges(spec.map, nullptr);
    SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 9, "R9", 0);
    target.open = true;
    EXPECT_EQ(TransferInstanceAnnotation(AsProject(&project), 11, AsSpec(&spec), AsSpec(&target)), 0);
    ASSERT_NE(target.map, nullptr);
    EXPECT_EQ(Saved(spec.map), "4: 12 \"R2\" 0;");
    EXPECT_EQ(Saved(target.map), "4: 11 \"R1\" 0;9:;");
    EXPECT_EQ(Pending(target.map), "4:;9: 11 \"R9\" 0;");
    EXPECT_EQ(spec.dirtyMarks, 1);
    EXPECT_EQ(target.dirtyMarks, 1);
    EXPECT_EQ(project.loads, 2);
    EXPECT_EQ(project.frees, 2);
    // Back again to a target whose sheet is not open: its changes are applied at once.
    spec.open = false;
    EXPECT_EQ(TransferInstanceAnnotation(AsProject(&project), 11, AsSpec(&target), AsSpec(&spec)), 0);
    EXPECT_EQ(Saved(spec.map), "4: 11 \"R1\" 0 12 \"R2\" 0;9: 11 \"R9\" 0;");
    EXPECT_EQ(CountAnnotationMapEntries(target.map), 0);
    DestroyAnnotationMap(target.map);
    // A table that cannot be loaded ends the move with its status.
    project.loadStatus = -43;
    EXPECT_EQ(TransferInstanceAnnotation(AsProject(&project), 11, AsSpec(&spec), AsSpec(&target)), -43);
}

TEST_F(AnnotationContext, AMoveWhoseTargetMapCannotBeMadeReportsOutOfMemory) {
    SetInstanceAnnotation(AsProject(&project), AsInstance(&first), 4, "R1", 0);
    ApplyAnnotationMapChanges(spec.map, nullptr);
    FakeSpec target;
    {
        ExhaustedPool exhausted;
        GeneralPoolScope general(exhausted.pool());
        EXPECT_EQ(TransferInstanceAnnotation(AsProject(&project), 11, AsSpec(&spec), AsSpec(&target)),
                  status::kOutOfMemory);
        EXPECT_EQ(target.map, nullptr);
    }
    EXPECT_EQ(Saved(spec.map), "4: 11 \"R1\" 0;");  // nothing moved
    EXPECT_EQ(project.frees, 2);
}

TEST_F(AnnotationContext, ReassigningASymbolsAnnotation) {
    // A component of two symbols whose two sections both use symbol 0.
    ComponentRecord* component = CreateComponent(0, 1, 2, 2, 1);
    ASSERT_NE(component, nullptr);
    for (int32_t section : {0, 1}) SetCompSection(component, section, CreateCompSection(1, 0));
    SymbolRecord oldSymbol{}, newSymbol{};
    oldSymbol.serial = 4;
    oldSymbol.component = component;
    newSymbol.serial = 8;
    newSymbol.component = component;
    newSymbol.kind.comp.symbol = 0;  // slots 0 and 1 are legal
    SetAnnotation(map, 4, 0, "U1", 1);
    SetAnnotation(map, 4, 3, "U2", 5);
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 4, 0, "U1", 0);
    // The same in a project holding the sheet.
    SetAnnotation(spec.map, 4, 11, "U7", 1);
    ApplyAnnotationMapChanges(spec.map, nullptr);
    gSheetProjects = {{&project, &spec}};
    project.flags = kAnnotSheetLocal;
    sheet.annotationMap = map;
    ChangeAnnotationSymbol(&sheet, &oldSymbol, &newSymbol, true);
    // Slot 5 is not legal for the new symbol: the first section using it (0) instead.
    EXPECT_EQ(Pending(map), "4: 3 - 0 -;8: 3 \"U2\" 0 0 \"U1\" 0;");
    EXPECT_EQ(Pending(spec.map), "4: 11 -;8: 11 \"U7\" 1;");
    EXPECT_EQ(project.flags, kAnnotSheetLocal);  // restored after the reassignment
    EXPECT_EQ(project.frees, 1);
    // A new symbol without a section for it turns the specs into removals.
    newSymbol.kind.comp.symbol = 1;
    newSymbol.serial = 9;
    ReassignAnnotationSet(map, &oldSymbol, &newSymbol, false);
    EXPECT_EQ(FindAnnotationMapEntry(map, 9, false) < 0, true);
    FreeComponent(component);
}

// ---- Purges ----

TEST_F(AnnotationContext, PurgesOfMissingSymbolsAndInstances) {
    sheet.symbolList = CreateSymbolList();
    static_cast<SymbolRecord*>(LLAppend(sheet.symbolList, nullptr))->serial = 4;
    for (uint32_t symbol : {3u, 4u, 5u}) SetAnnotation(map, symbol, 0, "X1", 0);
    EXPECT_TRUE(PurgeMissingSymbolsFromAnnotMap(&sheet, map));
    EXPECT_EQ(Pending(map), "4: 0 \"X1\" 0;");
    EXPECT_FALSE(PurgeMissingSymbolsFromAnnotMap(&sheet, map));
    DestroySymbolList(sheet.symbolList);

    SetAnnotation(spec.map, 4, 11, "A", 0);
    SetAnnotation(spec.map, 4, 99, "B", 0);
    SetAnnotation(spec.map, 5, 98, "C", 0);
    SetAnnotation(spec.map, 6, 0, "D", 0);
    ApplyAnnotationMapChanges(spec.map, nullptr);
    SetAnnotation(spec.map, 6, 97, "E", 0);
    spec.dirtyMarks = 0;
    EXPECT_TRUE(PurgeMissingInstancesFromAnnotMap(AsProject(&project), AsSpec(&spec)));
    EXPECT_EQ(Saved(spec.map), "4: 11 \"A\" 0;6: 0 \"D\" 0;");
    EXPECT_EQ(Pending(spec.map), "4:;6:;");
    EXPECT_EQ(spec.dirtyMarks, 1);
}

TEST_F(Annotation, PurgingTheStringBlockKeepsEveryDesignator) {
    for (int i = 0; i < 40; ++i) SetAnnotation(map, uint32_t(i + 1), 0, ("R" + std::to_string(i)).c_str(), 0);
    ApplyAnnotationMapChanges(map, nullptr);
    for (int i = 0; i < 40; ++i) SetAnnotation(map, uint32_t(i + 1), 0, ("Q" + std::to_string(i)).c_str(), 0);
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 1, 2, "P1", 0);  // a pending spec moves too
    const std::string saved = Saved(map), pending = Pending(map);
    StringBlock before = GetAnnotationMapStringBlock(map);
    const auto usedBefore = reinterpret_cast<StringBlockHeader*>(*before)->used;
    EXPECT_EQ(CountAnnotationMapChars(map), 110u);  // 10 x 2 + 30 x 3
    EXPECT_EQ(PurgeAnnotationMapStringBlock(map), 0);
    StringBlock after = GetAnnotationMapStringBlock(map);
    EXPECT_LT(reinterpret_cast<StringBlockHeader*>(*after)->used, usedBefore);
    EXPECT_EQ(Saved(map), saved);
    EXPECT_EQ(Pending(map), pending);
}

// ---- Stored form ----

TEST_F(Annotation, TheHandWrittenBlockInBothByteOrders) {
    for (const char* fixture : {kFixtureLittle, kFixtureBig}) {
        SCOPED_TRACE(fixture == kFixtureBig ? "big-endian" : "little-endian");
        HandleStream in(Hex(fixture));
        EnableStreamReadByteSwap(in.stream, true);
        AnnotationMap* read = nullptr;
        ASSERT_EQ(ReadAnnotationMap(in.stream, 0, &read), 0);
        EXPECT_TRUE(in.stream->flags & kStreamSwapOnRead);  // the caller's swap state is kept
        EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
        EXPECT_EQ(Saved(read), kFixtureSaved);
        EXPECT_EQ(Pending(read), "4:;9:;");
        // Written back natively: the lists in read order, which reverses them once more.
        AnnotationMap* again = Read(Write(read));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(Saved(again), "4: 0 \"R1\" 0 7 \"U2A\" 1;9: 0 -;");
        DestroyAnnotationMap(again);
        DestroyAnnotationMap(read);
    }
    // Read twice: the first order again, byte for byte.
    AnnotationMap* once = Read(Hex(kFixtureLittle));
    AnnotationMap* twice = Read(Write(once));
    EXPECT_EQ(Write(twice), Hex(kFixtureLittle));
    DestroyAnnotationMap(once);
    DestroyAnnotationMap(twice);
}

// The block as a writer of the other byte order would have written it.
std::string SwapBlock(const std::string& native) {
    std::string bytes = native;
    auto swapAt = [&](size_t at, const char* tmpl) { ByteSwapTemplate(&bytes[at], tmpl); };
    swapAt(0, "W2");
    StringBlockHeader header;
    std::memcpy(&header, &bytes[4], sizeof header);
    swapAt(4, "L3W2");
    size_t at = 4 + header.used;
    for (;;) {
        uint32_t id, count;
        std::memcpy(&id, &bytes[at], 4);
        swapAt(at, "L");
        at += 4;
        if (id == 0) return bytes;
        std::memcpy(&count, &bytes[at], 4);
        swapAt(at, "L");
        at += 4;
        for (uint32_t k = 0; k < count; ++k, at += kStoredAnnotationSpecSize) swapAt(at, "L2W");
    }
}

TEST_F(Annotation, AWrittenBlockReadBackInTheOtherByteOrder) {
    std::mt19937 random(TestSeed());
    for (int i = 0; i < 60; ++i) {
        const auto symbol = uint32_t(1 + random() % 500);
        const auto instance = int32_t(random() % 4);
        SetAnnotation(map, symbol, instance, ("D" + std::to_string(random() % 90)).c_str(),
                      int32_t(random() % 5) - 1);
        if (i % 10 == 9) SetAnnotation(map, symbol, instance, nullptr, -1);
    }
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 7, 1, "PENDING", 0);  // pending specs are not written
    const std::string native = Write(map);
    for (const std::string& bytes : {native, SwapBlock(native)}) {
        AnnotationMap* read = Read(bytes);
        ASSERT_NE(read, nullptr);
        AnnotationMap* back = Read(Write(read));  // reversed twice
        // Entries whose saved list is empty are not written.
        EXPECT_EQ(Saved(back), WithoutEmptyEntries(Saved(map)));
        EXPECT_EQ(Pending(back).find("PENDING"), std::string::npos);
        DestroyAnnotationMap(back);
        DestroyAnnotationMap(read);
    }
    EXPECT_NE(SwapBlock(native), native);
}

TEST_F(Annotation, TruncatedBlocksFailWithAStatus) {
    const std::string whole = Hex(kFixtureLittle);
    CappedPool capped;
    GeneralPoolScope general(capped.pool());
    for (size_t n = 0; n < whole.size(); ++n) {
        OSStatus status = 0;
        AnnotationMap* read = Read(whole.substr(0, n), &status);
        EXPECT_NE(status, 0) << n;
        DestroyAnnotationMap(read);
    }
    EXPECT_FALSE(capped.hitCeiling());
}

TEST_F(Annotation, DamagedBlocksFailWithAStatusAndNoMap) {
    struct Case {
        const char* what;
        std::string bytes;
        OSStatus status;
    };
    // The fixture's head and string block, then the entries of each case.
    const std::string head = "3412 0000 d1be7ada 40000000 15000000 4000 0000 5231 553241 ";
    const Case cases[] = {
        {"no mark", "3512 0000", status::kParamErr},
        {"a count beyond the block",
         head + "04000000 ffffff7f 00000000 02400000 0000 00000000", status::kEndOfFile},
        {"a count one beyond", head + "04000000 02000000 00000000 02400000 0000 00000000",
         status::kEndOfFile},
        {"symbol given twice",
         head + "04000000 01000000 00000000 02400000 0000 "
                "04000000 01000000 01000000 02400000 0000 00000000",
         status::kParamErr},
        {"instance given twice",
         head + "04000000 02000000 00000000 02400000 0000 00000000 03480000 0000 00000000",
         status::kParamErr},
        {"designator beyond the strings",
         head + "04000000 01000000 00000000 04480000 0000 00000000", status::kParamErr},
        {"designator inside the header",
         head + "04000000 01000000 00000000 02080000 0000 00000000", status::kParamErr},
        {"no end", head + "04000000 01000000 00000000 02400000 0000", status::kEndOfFile},
    };
    CappedPool capped;
    GeneralPoolScope general(capped.pool());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OSStatus status = 0;
        DestroyAnnotationMap(Read(Hex(c.bytes), &status));
        EXPECT_EQ(status, c.status);
    }
    EXPECT_FALSE(capped.hitCeiling());
}

TEST_F(Annotation, MutatedBlocksReadWholeOrNotAtAll) {
    for (int i = 0; i < 30; ++i) SetAnnotation(map, uint32_t(i * 3 + 1), i % 3, ("K" + std::to_string(i)).c_str(), i % 4);
    ApplyAnnotationMapChanges(map, nullptr);
    const std::string sources[] = {Write(map), SwapBlock(Write(map)), Hex(kFixtureBig)};
    std::mt19937 random(TestSeed());
    const uint64_t rounds = StressCount(1500);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = sources[round % 3];
        for (int k = 0, flips = 1 + int(random() % 4); k < flips; ++k)
            bytes[random() % bytes.size()] = char(random());
        if (round % 7 == 0) bytes.resize(random() % bytes.size());
        OSStatus status = 0;
        AnnotationMap* read = Read(bytes, &status);
        if (!read) {
            EXPECT_NE(status, 0);
            continue;
        }
        // What reads is a whole map that can be used and written again.
        for (int32_t i = 0; i < CountAnnotationMapEntries(read); ++i) {
            AnnotationMapEntry e;
            GetAnnotationMapEntry(read, i, &e);
            char text[kAnnotationTextSize];
            for (const AnnotationSpec* s = e.saved; s; s = s->next)
                GetAnnotation(read, e.symbolId, s->instanceId, false, text);
            SetAnnotation(read, e.symbolId, 1, "NEW", 0);
        }
        ApplyAnnotationMapChanges(read, nullptr);
        AnnotationMap* back = Read(Write(read));
        ASSERT_NE(back, nullptr);
        DestroyAnnotationMap(back);
        DestroyAnnotationMap(read);
    }
}

TEST_F(Annotation, IdZeroEntriesAreNotWritten) {
    // An entry with symbol id 0 cannot be made here; one slipped in by hand is left out.
    SetAnnotation(map, 4, 0, "R1", 0);
    ApplyAnnotationMapChanges(map, nullptr);
    AnnotationMapEntry zero{0, CreateAnnotationSpec(), nullptr};
    zero.saved->designator = 0;
    DASetInsertHint(0);
    DAAdd(map->entries, &zero);
    AnnotationMap* read = Read(Write(map));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(Saved(read), "4: 0 \"R1\" 0;");
    DestroyAnnotationMap(read);
}

TEST_F(Annotation, DeadSessionsAreCountedInTheBlocksOwnOrder) {
    for (const char* fixture : {kFixtureLittle, kFixtureBig}) {
        HandleStream block(Hex(fixture));
        uint16_t count = 0;
        for (uint16_t expected : {1, 2, 3}) {
            ASSERT_EQ(SetStreamPosition(block.stream, 0), 0);
            ASSERT_EQ(IncrementAnnotationMapDeadSessionsCount(block.stream, &count), 0);
            EXPECT_EQ(count, expected);
        }
        const std::string bytes = block.bytes();
        EXPECT_EQ(bytes.substr(2, 2), fixture == kFixtureBig ? Hex("0003") : Hex("0300"));
        EXPECT_EQ(bytes.substr(4), Hex(fixture).substr(4));
        AnnotationMap* read = Read(bytes);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(Saved(read), kFixtureSaved);
        DestroyAnnotationMap(read);
    }
    HandleStream bad(Hex("3512 0000"));
    uint16_t count = 9;
    EXPECT_EQ(IncrementAnnotationMapDeadSessionsCount(bad.stream, &count), status::kParamErr);
    EXPECT_EQ(count, 0);
}

// ---- Sheet-local cache ----

TEST_F(Annotation, TheSheetLocalCacheMatchesFolderAndNameWithoutCase) {
    TempDir one, two;
    FileSpec a{}, b{}, c{};
    ASSERT_EQ(FileSpecFromPathName(nullptr, one.file("Top.SHX").c_str(), &a), 0);
    ASSERT_EQ(FileSpecFromPathName(nullptr, one.file("TOP.shx").c_str(), &b), 0);
    ASSERT_EQ(FileSpecFromPathName(nullptr, two.file("Top.SHX").c_str(), &c), 0);
    AnnotationMap* own = CreateAnnotationMap(true);
    SheetLocalAnnotationEntry* entry = CreateSheetLocalAnnotation(&a, own);
    ASSERT_NE(entry, nullptr);
    entry->referenceCount = 1;
    EXPECT_EQ(FindSheetLocalAnnotation(&b), entry);
    EXPECT_EQ(FindSheetLocalAnnotation(&c), nullptr);
    // Names are kept to 127 bytes: a longer name matches by its first 127.
    FileSpec longName = a, longOther = a;
    std::memset(longName.name, 'n', 140);
    longName.name[140] = 0;
    longOther.name[130] = 0;
    std::memset(longOther.name, 'n', 130);
    AnnotationMap* second = CreateAnnotationMap(true);
    SheetLocalAnnotationEntry* longEntry = CreateSheetLocalAnnotation(&longName, second);
    ASSERT_NE(longEntry, nullptr);
    longEntry->referenceCount = 1;
    EXPECT_EQ(FindSheetLocalAnnotation(&longOther), longEntry);
    EXPECT_EQ(GetSheetLocalAnnotation(&b, true), entry);
    ReleaseSheetLocalAnnotation(entry);
    EXPECT_EQ(FindSheetLocalAnnotation(&a), entry);
    ReleaseSheetLocalAnnotation(entry);
    EXPECT_EQ(FindSheetLocalAnnotation(&a), nullptr);
    ReleaseSheetLocalAnnotation(longEntry);
}

TEST_F(Annotation, ASheetReleasesItsAnnotationWhenDestroyed) {
    // Every project that holds the sheet discards its pending changes and frees its table.
    FakeProject project;
    FakeSpec spec;
    spec.map = CreateAnnotationMap(true);
    SetAnnotation(spec.map, 4, 11, "R1", 0);
    gSheetProjects = {{&project, &spec}};
    SheetRecord sheet{};
    sheet.annotationMap = CreateAnnotationMap(true);
    ReleaseSheetAnnotation(&sheet);
    EXPECT_EQ(sheet.annotationMap, nullptr);
    EXPECT_FALSE(AnnotationMapHasChanges(spec.map));
    EXPECT_EQ(project.frees, 1);
    DestroyAnnotationMap(spec.map);
}

// ---- The maps through their plain calls ----

// "symbol:[instance designator slot]..." per entry, in map and list order; "(p)" marks pending.
std::string BothLayers(const AnnotationMap* map) {
    std::string out;
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        GetAnnotationMapEntry(map, i, &entry);
        out += std::to_string(entry.symbolId) + ":";
        for (const AnnotationSpec* lists[] = {entry.saved, entry.pending}; const AnnotationSpec* list : lists)
            for (const AnnotationSpec* s = list; s; s = s->next) {
                char text[kStringSpecBufferSize] = "-";
                if (s->designator != kNoDesignator)
                    ExtractStringSpec(s->designator, GetAnnotationMapStringBlock(map), text, sizeof text);
                out += "[" + std::to_string(s->instanceId) + " " + text + " " + std::to_string(s->slot) +
                       (list == entry.pending ? " (p)]" : "]");
            }
        out += " ";
    }
    return out;
}

std::string StoredBytes(const AnnotationMap* map) {
    HandleStream out;
    EXPECT_EQ(WriteAnnotationMap(out.stream, map), 0);
    return std::string(*out.handle, size_t(GetStreamEnd(out.stream)));
}

OSStatus ReadInto(const std::string& bytes, AnnotationMap** map, bool swapping = false) {
    HandleStream in(bytes);
    EnableStreamReadByteSwap(in.stream, swapping);
    const OSStatus st = ReadAnnotationMap(in.stream, 0, map);
    EXPECT_EQ((in.stream->flags & kStreamSwapOnRead) != 0, swapping);  // the caller's setting is kept
    return st;
}

TEST(AnnotationMaps, PendingChangesShadowTheSavedOnesUntilApplied) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    AnnotationMap* map = CreateAnnotationMap(true);
    char text[kAnnotationTextSize];
    EXPECT_TRUE(SetAnnotation(map, 7, 1, "R1", 0));
    EXPECT_TRUE(SetAnnotation(map, 3, 1, "C1", 2));
    EXPECT_EQ(BothLayers(map), "3:[1 C1 2 (p)] 7:[1 R1 0 (p)] ");
    EXPECT_TRUE(AnnotationMapHasChanges(map));
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, nullptr));
    EXPECT_FALSE(AnnotationMapHasChanges(map));
    // The same designator and slot again: nothing pending.
    EXPECT_FALSE(SetAnnotation(map, 7, 1, "R1", 0));
    EXPECT_FALSE(AnnotationMapHasChanges(map));
    // A pending change is what lookups see.
    EXPECT_TRUE(SetAnnotation(map, 7, 1, "R9", 1));
    EXPECT_EQ(GetAnnotation(map, 7, 1, false, text), 1);
    EXPECT_STREQ(text, "R9");
    EXPECT_EQ(GetAnnotation(map, 7, 1, true, text), -1);  // no slots
    EXPECT_STREQ(text, "R9");
    // Removing: a pending removal only where something is saved.
    EXPECT_TRUE(SetAnnotation(map, 7, 1, nullptr, -1));
    EXPECT_FALSE(SetAnnotation(map, 7, 2, nullptr, -1));
    EXPECT_FALSE(SetAnnotation(map, 99, 1, nullptr, -1));
    EXPECT_EQ(GetAnnotation(map, 7, 1, false, text), -1);
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(ApplyAnnotationMapChanges(map, nullptr));
    EXPECT_EQ(BothLayers(map), "3:[1 C1 2] 7: ");
    EXPECT_FALSE(ApplyAnnotationMapChanges(map, nullptr));
    DestroyAnnotationMap(map);
}

TEST(AnnotationMaps, CompactingTheStringBlockKeepsEveryDesignator) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    AnnotationMap* map = CreateAnnotationMap(true);
    for (int i = 0; i < 50; ++i) {
        SetAnnotation(map, 1, 1, ("U" + std::to_string(i)).c_str(), 0);
        ApplyAnnotationMapChanges(map, nullptr);
    }
    SetAnnotation(map, 2, 1, "LONGNAME", 1);
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 2, 3, "X5", 0);  // pending
    const std::string before = BothLayers(map);
    EXPECT_EQ(CountAnnotationMapChars(map), 3u + 8u);
    const auto used = [&] { return reinterpret_cast<const StringBlockHeader*>(*GetAnnotationMapStringBlock(map))->used; };
    const uint32_t oldUsed = used();
    ASSERT_EQ(PurgeAnnotationMapStringBlock(map), 0);
    EXPECT_EQ(BothLayers(map), before);
    EXPECT_LT(used(), oldUsed);
    DestroyAnnotationMap(map);
}

TEST(AnnotationMaps, EntriesOfSymbolsTheSheetLacksGo) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    SheetRecord sheet{};
    sheet.symbolList = LLCreate(nullptr, sizeof(SymbolRecord), 0);
    auto* symbol = static_cast<SymbolRecord*>(LLAppend(sheet.symbolList, nullptr));
    symbol->serial = 4;
    AnnotationMap* map = CreateAnnotationMap(true);
    SetAnnotation(map, 4, 1, "R1", 0);
    SetAnnotation(map, 5, 1, "R2", 0);
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 6, 1, "R3", 0);
    EXPECT_TRUE(PurgeMissingSymbolsFromAnnotMap(&sheet, map));
    EXPECT_EQ(BothLayers(map), "4:[1 R1 0] ");
    EXPECT_FALSE(PurgeMissingSymbolsFromAnnotMap(&sheet, map));
    DestroyAnnotationMap(map);
    LLDispose(sheet.symbolList, true);
}

// Two entries by hand, little-endian.
const std::string kTwoEntries = Hex(
    "3412"                                  // byte-order mark
    "0300"                                  // dead-sessions count 3
    "d1be7ada 40000000 14000000 4000 0000"  // string block: magic, allocated 64, used 20, quantum 64
    "52315532"                              // "R1U2"
    "05000000 02000000"                     // symbol 5, two specs
    "01000000 02400000 0000"                // instance 1, "R1" (offset 16, length 2), slot 0
    "02000000 02400000 0100"                // instance 2, "R1", slot 1
    "09000000 01000000"                     // symbol 9, one spec
    "00000000 ffffffff ffff"                // instance 0, no designator, no slot
    "00000000");                            // end
// The same written big-endian.
const std::string kTwoEntriesBig = Hex(
    "1234 0003"
    "da7abed1 00000040 00000014 0040 0000 52315532"
    "00000005 00000002 00000001 00004002 0000 00000002 00004002 0001"
    "00000009 00000001 00000000 ffffffff ffff"
    "00000000");

TEST(AnnotationMaps, HandWrittenFixtureInBothByteOrders) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    for (const std::string& bytes : {kTwoEntries, kTwoEntriesBig}) {
        for (const bool swapping : {false, true}) {
            AnnotationMap* map = nullptr;
            ASSERT_EQ(ReadInto(bytes, &map, swapping), 0);
            // Each list comes back reversed.
            EXPECT_EQ(BothLayers(map), "5:[2 R1 1][1 R1 0] 9:[0 - -1] ");
            DestroyAnnotationMap(map);
        }
    }
    // Written here: little-endian, count 0, the lists as they are in memory.
    AnnotationMap* map = nullptr;
    ASSERT_EQ(ReadInto(kTwoEntries, &map), 0);
    AnnotationMap* again = nullptr;
    ASSERT_EQ(ReadInto(StoredBytes(map), &again), 0);
    EXPECT_EQ(BothLayers(again), "5:[1 R1 0][2 R1 1] 9:[0 - -1] ");  // read twice: the first order
    std::string expected = kTwoEntries;
    expected[2] = 0;  // the count is written as 0
    EXPECT_EQ(StoredBytes(again), expected);
    DestroyAnnotationMap(map);
    DestroyAnnotationMap(again);
}

TEST(AnnotationMaps, TheDeadSessionsCountRisesInPlaceInTheMapsOwnOrder) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    for (const std::string& bytes : {kTwoEntries, kTwoEntriesBig}) {
        HandleStream stream(bytes);
        uint16_t count = 0;
        ASSERT_EQ(IncrementAnnotationMapDeadSessionsCount(stream.stream, &count), 0);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(GetStreamPosition(stream.stream), 4);
        const std::string after = stream.bytes();
        EXPECT_EQ(after.substr(2, 2), bytes == kTwoEntries ? Hex("0400") : Hex("0004"));
        EXPECT_EQ(after.substr(4), bytes.substr(4));
    }
    HandleStream notMap(Hex("0000 0000"));
    uint16_t count = 9;
    EXPECT_EQ(IncrementAnnotationMapDeadSessionsCount(notMap.stream, &count), -50);
    EXPECT_EQ(count, 0);
}

TEST(AnnotationMaps, DamagedInputEndsWithAStatusAndNoMap) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    struct Case {
        const char* what;
        std::string bytes;
        OSStatus status;
    };
    const std::string head = kTwoEntries.substr(0, 24);
    const Case cases[] = {
        {"no mark", Hex("0000 0000") + kTwoEntries.substr(4), -50},
        {"a count beyond the bytes", head + Hex("05000000 ffffff0f 01000000"), -39},
        {"no end", kTwoEntries.substr(0, kTwoEntries.size() - 4), -39},
        {"a bad string block", Hex("3412 0000 00000000 00000000 00000000 00000000"), -50},
    };
    for (const Case& c : cases) {
        CappedPool pool;
        GeneralPoolScope general(pool.pool());
        AnnotationMap* map = reinterpret_cast<AnnotationMap*>(1);
        EXPECT_EQ(ReadInto(c.bytes, &map), c.status) << c.what;
        EXPECT_EQ(map, nullptr) << c.what;
        EXPECT_FALSE(pool.hitCeiling()) << c.what;
    }
    for (size_t n = 0; n < kTwoEntries.size(); ++n) {
        CappedPool pool;
        GeneralPoolScope general(pool.pool());
        AnnotationMap* map = nullptr;
        EXPECT_NE(ReadInto(kTwoEntries.substr(0, n), &map), 0) << n;
        EXPECT_EQ(map, nullptr);
    }
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0; round < StressCount(2000); ++round) {
        std::string bytes = random() % 2 ? kTwoEntries : kTwoEntriesBig;
        for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        // A stored string block may ask for up to its format's largest block, whatever follows;
        // the map read and the one read back each hold one.
        CappedPool pool(2 * kStringBlockMaxAllocated + (1u << 20));
        GeneralPoolScope general(pool.pool());
        AnnotationMap* map = nullptr;
        if (ReadInto(bytes, &map, random() % 2) == 0) {
            // What a reader does next: look up, write back.
            char text[kAnnotationTextSize];
            AnnotationMapEntry entry;
            for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i)
                if (GetAnnotationMapEntry(map, i, &entry)) GetAnnotation(map, entry.symbolId, 1, false, text);
            AnnotationMap* again = nullptr;
            EXPECT_EQ(ReadInto(StoredBytes(map), &again), 0);
            DestroyAnnotationMap(again);
        } else {
            EXPECT_EQ(map, nullptr);
        }
        DestroyAnnotationMap(map);
        EXPECT_FALSE(pool.hitCeiling()) << "seed " << TestSeed() << " round " << round;
    }
}

}  // namespace
}  // namespace plexa::test
