// Sheet instances: the instances of hierarchy nodes (a sheet used twice, re-targeting below the
// top level only), the purge that ages instances out, parent chains that loop, copied instance
// trees, and the stored list: a fixture written by hand in both byte orders, other record sizes,
// the count that means "until the end mark", 32,767 and more entries, and damaged input.
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/root.h"
#include "files/tests/files_testing.h"
#include "foundation/byteswap.h"
#include "model/annotation.h"
#include "model/sheet.h"

namespace plexa::test {
namespace {

class Instances : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartCore("files_tests"), 0);
        InstallCoreHooks();
    }

    // "id parent serial flags miss name" per instance, in list order.
    static std::vector<std::string> Dump(ProjectRecord* project) {
        std::vector<std::string> all;
        char name[256], line[400];
        for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next) {
            GetInstanceSheetName(project, i, name);
            std::snprintf(line, sizeof line, "%u %u %u %x %d %s", i->id, i->parentId, i->serial, i->flags,
                          i->missCount, name);
            all.push_back(line);
        }
        return all;
    }
    static SheetInstance* Stored(ProjectRecord* project, uint32_t id, uint32_t parent, uint32_t serial,
                                 SheetSpec* spec) {
        SheetInstance* i = CreateSheetInstance(project, nullptr, serial, spec);
        i->id = id;
        i->parentId = parent;
        i->flags = 0;  // as read from the project file
        if (project->nextInstanceId <= id) project->nextInstanceId = id + 1;
        return i;
    }
    static std::string Write(ProjectRecord* project) {
        HandleStream out;
        SetHandleStreamChunkSize(out.stream, 1 << 16);
        EXPECT_EQ(WriteInstanceList(out.stream, project), 0);
        return out.bytes().substr(0, size_t(GetStreamPosition(out.stream)));
    }
    static OSStatus Read(ProjectRecord* project, const std::string& bytes, bool swap = false) {
        HandleStream in(bytes);
        EnableStreamReadByteSwap(in.stream, swap);
        return ReadInstanceList(in.stream, project);
    }

    Tree tree;
};

TEST_F(Instances, ASheetUsedTwiceHasTwoInstances) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    SheetNode* top = project.Node(nullptr, "Top.SHX", 0);
    SheetNode* left = project.Node(top, "Child.SHX", 5);
    SheetNode* right = project.Node(top, "Child.SHX", 9);
    EXPECT_EQ(RetrieveSheetInstance(project.get(), left, false), nullptr);
    EXPECT_EQ(top->instance, nullptr);
    SheetInstance* a = RetrieveSheetInstance(project.get(), left, true);
    SheetInstance* b = RetrieveSheetInstance(project.get(), right, true);
    ASSERT_TRUE(a && b && top->instance);
    EXPECT_NE(a->id, b->id);
    EXPECT_EQ(a->parentId, top->instance->id);
    EXPECT_EQ(b->parentId, top->instance->id);
    EXPECT_EQ(Dump(project.get()), (std::vector<std::string>{"3 1 9 2 0 Child.SHX", "2 1 5 2 0 Child.SHX",
                                                              "1 0 0 2 0 Top.SHX"}));
    EXPECT_TRUE(project->dirtyFlags & kProjectInstancesChanged);
    // Found again, not made again; and through the nodes.
    left->instance = nullptr;
    EXPECT_EQ(RetrieveSheetInstance(project.get(), left, false), a);
    right->instance = nullptr;
    EXPECT_EQ(GetSheetNodeWithInstance(project.get(), b), right);
    EXPECT_EQ(GetSheetNodeWithInstance(project.get(), a), left);
    EXPECT_EQ(GetInstanceWithId(project.get(), 2), a);
    EXPECT_EQ(GetInstanceWithId(project.get(), 0), nullptr);
    EXPECT_TRUE(IsDescendantInstance(project.get(), a, 1));
    EXPECT_FALSE(IsDescendantInstance(project.get(), a, 3));
}

TEST_F(Instances, AnOccurrenceWhoseSymbolNamesAnotherSheetKeepsItsInstance) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    FakeServices services;
    project->settings.annotationFlags = 0;  // kept in the project, whose file holds no maps yet
    SheetNode* top = project.Node(nullptr, "Top.SHX", 0);
    SheetNode* child = project.Node(top, "Old.SHX", 5);
    SheetInstance* old = RetrieveSheetInstance(project.get(), child, true);
    ASSERT_TRUE(old);
    const uint32_t id = old->id;
    SheetSpec* oldSpec = project.Spec("Old.SHX");
    oldSpec->annotationMap = CreateAnnotationMap(true);
    SetAnnotation(oldSpec->annotationMap, 3, int32_t(id), "R1", 0);
    ApplyAnnotationMapChanges(oldSpec->annotationMap, nullptr);

    // The tree is built again; the symbol with serial 5 now names New.SHX.
    EmptySheetTree(project->hierarchy);
    top = project.Node(nullptr, "Top.SHX", 0);
    child = project.Node(top, "New.SHX", 5);
    project->dirtyFlags = 0;
    EXPECT_EQ(RetrieveSheetInstance(project.get(), child, false), old);
    EXPECT_EQ(old->id, id);
    EXPECT_EQ(old->sheetSpec, project.Spec("New.SHX"));
    // Its annotation went along.
    char text[kAnnotationTextSize];
    EXPECT_EQ(GetAnnotation(project.Spec("New.SHX")->annotationMap, 3, int32_t(id), false, text), 0);
    EXPECT_STREQ(text, "R1");
    EXPECT_EQ(CountAnnotationMapEntries(oldSpec->annotationMap), 0);
    EXPECT_TRUE(project->dirtyFlags & kProjectInstancesChanged);

    // A transfer that fails makes a new instance (with create) or none: with the annotation kept
    // in the sheets, a sheet without a file has no table to load.
    project->settings.annotationFlags = kAnnotationKeptInSheets;
    EmptySheetTree(project->hierarchy);
    top = project.Node(nullptr, "Top.SHX", 0);
    child = project.Node(top, "Third.SHX", 5);
    EXPECT_EQ(RetrieveSheetInstance(project.get(), child, false), nullptr);
    SheetInstance* made = RetrieveSheetInstance(project.get(), child, true);
    ASSERT_TRUE(made);
    EXPECT_NE(made, old);
    EXPECT_EQ(old->sheetSpec, project.Spec("New.SHX"));
    EXPECT_EQ(GetAnnotation(project.Spec("New.SHX")->annotationMap, 3, int32_t(id), false, text), 0);

    // At the top level an occurrence is never re-targeted.
    project->settings.annotationFlags = 0;
    SheetSpec* topSpec = project.Spec("Top.SHX");
    topSpec->annotationMap = CreateAnnotationMap(true);
    SetAnnotation(topSpec->annotationMap, 5, 1, "U1", 0);
    EmptySheetTree(project->hierarchy);
    top = project.Node(nullptr, "Renamed.SHX", 0);
    SheetInstance* fresh = RetrieveSheetInstance(project.get(), top, true);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh->id, 1u);
    EXPECT_EQ(project.Spec("Renamed.SHX")->annotationMap, nullptr);
    EXPECT_EQ(GetAnnotation(topSpec->annotationMap, 5, 1, false, text), 0);
}

TEST_F(Instances, ThePurgeAgesOutInstancesTheTreeNoLongerUses) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    FakeServices services;
    SheetNode* top = project.Node(nullptr, "Top.SHX", 0);
    SheetInstance* used = Stored(project.get(), 1, 0, 0, project.Spec("Top.SHX"));
    used->missCount = 4;
    top->instance = used;
    SheetInstance* stored = Stored(project.get(), 2, 1, 7, project.Spec("Gone.SHX"));
    const uint32_t made = CreateSheetInstance(project.get(), used, 8, project.Spec("Other.SHX"))->id;
    project.Spec("Unloadable.SHX");
    // The project keeps its annotation in the sheets: a spec whose file is found loads its table.
    for (const char* sheet : {"p/Top.SHX", "p/Gone.SHX", "p/Other.SHX"}) tree.Sheet(sheet);
    AddPathSpecToList(project->paths, tree.Dir("p"), kPathRootDefault, 14, false);
    // Every spec's map holds annotation of each instance.
    const char* const sheets[] = {"Top.SHX", "Gone.SHX", "Other.SHX", "Unloadable.SHX"};
    for (const char* sheet : sheets) {
        AnnotationMap*& map = project.Spec(sheet)->annotationMap;
        map = CreateAnnotationMap(true);
        for (uint32_t id : {1u, 2u, made}) SetAnnotation(map, 4, int32_t(id), "R1", 0);
        ApplyAnnotationMapChanges(map, nullptr);
    }
    auto instancesOf = [&](const char* sheet) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(project.Spec(sheet)->annotationMap, 0, &entry);
        std::set<int32_t> ids;
        for (const AnnotationSpec* s = entry.saved; s; s = s->next) ids.insert(s->instanceId);
        return ids;
    };

    PurgeUnusedInstances(project.get(), true);
    EXPECT_EQ(GetInstanceWithId(project.get(), made), nullptr);  // made since opening: at once
    EXPECT_EQ(used->missCount, 0);
    EXPECT_EQ(stored->missCount, 1);
    EXPECT_EQ(services.busyCount, 3);
    // The maps of the specs that load lose the destroyed instances; each table is freed again
    // (the sheet file's own map is read and released).
    EXPECT_EQ(services.log, (std::vector<std::string>{"local Other.SHX", "local Gone.SHX", "local Top.SHX"}));
    for (const char* sheet : sheets) {
        const bool loads = std::string(sheet) != "Unloadable.SHX";
        const std::set<int32_t> kept = loads ? std::set<int32_t>{1, 2} : std::set<int32_t>{1, 2, int32_t(made)};
        EXPECT_EQ(instancesOf(sheet), kept) << sheet;
        EXPECT_EQ(project.Spec(sheet)->localAnnotation, nullptr) << sheet;
    }
    services.log.clear();
    for (int purge = 2; purge <= 15; ++purge) PurgeUnusedInstances(project.get(), true);
    EXPECT_EQ(GetInstanceWithId(project.get(), 2), stored);
    EXPECT_EQ(stored->missCount, 15);
    EXPECT_TRUE(services.log.empty());  // nothing destroyed, nothing purged
    project->dirtyFlags = 0;
    PurgeUnusedInstances(project.get(), false);
    EXPECT_EQ(GetInstanceWithId(project.get(), 2), nullptr);
    EXPECT_EQ(Dump(project.get()), (std::vector<std::string>{"1 0 0 0 0 Top.SHX"}));
    EXPECT_TRUE(project->dirtyFlags & kProjectInstancesChanged);
    EXPECT_TRUE(services.log.empty());
    EXPECT_EQ(instancesOf("Gone.SHX"), (std::set<int32_t>{1, 2}));

    // Only a project with a tree purges.
    TestProject noTree(tree.Dir("p"), false);
    SheetInstance* kept = CreateSheetInstance(noTree.get(), nullptr, 0, noTree.Spec("Top.SHX"));
    PurgeUnusedInstances(noTree.get(), true);
    EXPECT_EQ(GetInstanceWithId(noTree.get(), kept->id), kept);
}

TEST_F(Instances, ParentChainsThatLoopEnd) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    SheetSpec* spec = project.Spec("Loop.SHX");
    SheetInstance* a = Stored(project.get(), 10, 11, 1, spec);
    Stored(project.get(), 11, 12, 1, spec);
    Stored(project.get(), 12, 10, 1, spec);
    SheetInstance* self = Stored(project.get(), 13, 13, 1, spec);
    EXPECT_TRUE(IsDescendantInstance(project.get(), a, 12));
    EXPECT_FALSE(IsDescendantInstance(project.get(), a, 99));
    EXPECT_FALSE(IsDescendantInstance(project.get(), self, 99));

    // Copying a tree whose parent ids loop copies each instance once.
    const size_t before = Dump(project.get()).size();
    CopyInstanceTree(project.get(), a, 0, 3);
    EXPECT_EQ(Dump(project.get()).size(), before + 3);
    CopyInstanceTree(project.get(), self, 0, 4);
    EXPECT_EQ(Dump(project.get()).size(), before + 4);
}

TEST_F(Instances, CopyingAnInstanceTree) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    FakeServices services;
    SheetSpec* top = project.Spec("Top.SHX");
    SheetSpec* child = project.Spec("Child.SHX");
    SheetSpec* leaf = project.Spec("Leaf.SHX");
    Stored(project.get(), 1, 0, 0, top);
    SheetInstance* c = Stored(project.get(), 2, 1, 5, child);
    Stored(project.get(), 3, 2, 7, leaf);
    Stored(project.get(), 4, 2, 8, leaf);
    SheetInstance* clash = Stored(project.get(), 5, 1, 6, child);
    project->nextInstanceId = 6;
    // The project's own maps of two sheets; the project keeps its annotation in the sheets, so a
    // copy has to load these from the project.
    child->annotationMap = CreateAnnotationMap(true);
    SetAnnotation(child->annotationMap, 5, 2, "U2", 1);
    leaf->annotationMap = CreateAnnotationMap(true);
    SetAnnotation(leaf->annotationMap, 9, 3, "R3", 0);
    SetAnnotation(leaf->annotationMap, 9, 4, "R4", 0);
    ApplyAnnotationMapChanges(child->annotationMap, nullptr);
    ApplyAnnotationMapChanges(leaf->annotationMap, nullptr);
    auto designator = [](SheetSpec* spec, uint32_t symbol, uint32_t instance) {
        char text[kAnnotationTextSize];
        GetAnnotation(spec->annotationMap, symbol, int32_t(instance), false, text);
        return std::string(text);
    };

    CopyInstanceTree(project.get(), c, 1, 5);  // already there: nothing
    EXPECT_EQ(Dump(project.get()).size(), 5u);
    CopyInstanceTree(project.get(), c, 1, 6);
    EXPECT_EQ(clash->parentId, kDetachedParentId);
    // Children are copied in list order, each whole before the next.
    EXPECT_EQ(Dump(project.get()),
              (std::vector<std::string>{"8 6 7 2 0 Leaf.SHX", "7 6 8 2 0 Leaf.SHX", "6 1 6 2 0 Child.SHX",
                                        "5 2147483647 6 0 0 Child.SHX", "4 2 8 0 0 Leaf.SHX",
                                        "3 2 7 0 0 Leaf.SHX", "2 1 5 0 0 Child.SHX", "1 0 0 0 0 Top.SHX"}));
    // The annotation went along (2 to 6, 4 to 7, 3 to 8), loaded from the project whatever the
    // project keeps it in.
    EXPECT_EQ(designator(child, 5, 6), "U2");
    EXPECT_EQ(designator(leaf, 9, 7), "R4");
    EXPECT_EQ(designator(leaf, 9, 8), "R3");
    EXPECT_EQ(project->settings.annotationFlags, 2);

    // A duplicated sheet symbol on an open sheet, in every project that uses the sheet.
    tree.Sheet("p/Child.SHX");
    AddPathSpecToList(project->paths, tree.Dir("p"), kPathRootDefault, 14, false);
    project.List();
    SheetRecord sheet{};
    ASSERT_EQ(FileSpecFromURL(tree.path("p/Child.SHX"), &sheet.fileSpec, false, nullptr), 0);
    CopyInstanceTreesForSymbol(&sheet, 7, 9);
    // Leaf instances with serial 7 under a Child instance: 8 (under 6) and 3 (under 2).
    EXPECT_EQ(Dump(project.get()).size(), 10u);
    AnnotationMapEntry entry;
    GetAnnotationMapEntry(leaf->annotationMap, 0, &entry);
    EXPECT_EQ(CountAnnotSpecList(entry.saved), 6);
    EXPECT_EQ(Dump(project.get())[0].substr(Dump(project.get())[0].find(' ')), " 2 9 2 0 Leaf.SHX");
    // Both copies are of the annotation of 3 (8 holds a copy of it).
    EXPECT_EQ(designator(leaf, 9, 9), "R3");
    EXPECT_EQ(designator(leaf, 9, 10), "R3");
}

// The fixture below: two instances, both named "A.SHX".
const std::vector<std::string> kFixtureDump = {"1 0 0 1 0 A.SHX", "2 1 7 0 3 A.SHX"};

// Little-endian:
const std::string kFixture = Hex(
    "d1be7ada 40000000 15000000 4000 0000"  // string block: magic, allocated 64, used 21, quantum 64
    "412e534858"                            // "A.SHX" at offset 16
    "0200"                                  // u16 count 2
    "1000"                                  // u16 record size 16
    "01000000 00000000 00000000 0300 0000"  // id 1, top level, serial 0, flags 3 (bit 1 goes), miss 0
    "05400000"                              // name: offset 16 << 10 | length 5
    "02000000 01000000 07000000 0000 0300"  // id 2, parent 1, serial 7, flags 0, miss 3
    "05400000"
    "ffffffff");                            // end mark
// The same written big-endian.
const std::string kFixtureBig = Hex(
    "da7abed1 00000040 00000015 0040 0000 412e534858"
    "0002 0010"
    "00000001 00000000 00000000 0003 0000 00004005"
    "00000002 00000001 00000007 0000 0003 00004005"
    "ffffffff");

TEST_F(Instances, HandWrittenFixtureInBothByteOrders) {
    tree.Folder("p");
    for (const bool big : {false, true}) {
        TestProject project(tree.Dir("p"));
        ASSERT_EQ(Read(project.get(), big ? kFixtureBig : kFixture, big), 0);
        EXPECT_EQ(Dump(project.get()), kFixtureDump);
        EXPECT_EQ(project->nextInstanceId, 3u);
        EXPECT_FALSE(project->dirtyFlags & kProjectInstancesChanged);
        // Written back in native order, the list in its order, in a fresh block of names.
        EXPECT_EQ(Write(project.get()), Hex("d1be7ada 80000000 15000000 8000 0000 412e534858") +
                                            kFixture.substr(21, 16) + Hex("0100") + kFixture.substr(39));
    }
}

// A list in the little-endian form with a record size of its own: each record is the id, then
// `fields` (cut or padded with 0xEE to size - 4), then the name spec.
std::string ListWithRecordSize(uint16_t size, uint16_t count = 2) {
    std::string bytes = kFixture.substr(0, 21);
    bytes.append(reinterpret_cast<const char*>(&count), 2);
    bytes.append(reinterpret_cast<const char*>(&size), 2);
    const std::string records[2][2] = {
        {Hex("01000000"), Hex("00000000 00000000 0300 0000")},
        {Hex("02000000"), Hex("01000000 07000000 0000 0300")},
    };
    for (const auto& r : records) {
        std::string fields = r[1];
        fields.resize(size >= 4 ? size - 4 : 0, char(0xEE));
        bytes += r[0] + fields + Hex("05400000");
    }
    return bytes + Hex("ffffffff");
}

TEST_F(Instances, OtherRecordSizesAndCounts) {
    tree.Folder("p");
    struct Case {
        const char* what;
        std::string bytes;
        OSStatus status;
        std::vector<std::string> dump;
    } cases[] = {
        {"size 20", ListWithRecordSize(20), 0, kFixtureDump},
        {"size 8", ListWithRecordSize(8), 0, {"1 0 0 0 0 A.SHX", "2 1 0 0 0 A.SHX"}},
        {"size 4", ListWithRecordSize(4), 0, {"1 0 0 0 0 A.SHX", "2 0 0 0 0 A.SHX"}},
        {"size 14", ListWithRecordSize(14), 0, {"1 0 0 1 0 A.SHX", "2 1 7 0 0 A.SHX"}},
        {"size 2", ListWithRecordSize(2), -50, {"9 0 0 0 0 Kept.SHX"}},
        {"until the end mark", ListWithRecordSize(16, 32767), 0, kFixtureDump},
        {"count 1", ListWithRecordSize(16, 1), 0, {"1 0 0 1 0 A.SHX"}},
        {"count 0", ListWithRecordSize(16, 0), 0, {}},
        {"count above 32767", ListWithRecordSize(16, 32768), -50, {"9 0 0 0 0 Kept.SHX"}},
        {"no end mark", ListWithRecordSize(16, 32767).substr(0, 61), -39, {"9 0 0 0 0 Kept.SHX"}},
        {"not a string block", Hex("00000001 da7abed1"), 0, {"9 0 0 0 0 Kept.SHX"}},
        {"ids 0, 0x7fffffff and twice dropped",
         kFixture.substr(0, 21) + Hex("0400 1000") +
             Hex("00000000 00000000 00000000 0000 0000 05400000") +
             Hex("ffffff7f 00000000 00000000 0000 0000 05400000") +
             Hex("05000000 00000000 00000000 0000 0000 05400000") +
             Hex("05000000 01000000 00000000 0000 0000 05400000") + Hex("ffffffff"),
         0, {"5 0 0 0 0 A.SHX"}},
    };
    for (const Case& c : cases) {
        TestProject project(tree.Dir("p"));
        Stored(project.get(), 9, 0, 0, project.Spec("Kept.SHX"));
        EXPECT_EQ(Read(project.get(), c.bytes), c.status) << c.what;
        EXPECT_EQ(Dump(project.get()), c.dump) << c.what;
    }
}

TEST_F(Instances, NewIdsStayAboveTheIdsRead) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    project->nextInstanceId = 2;  // stored lower than the ids in the list
    ASSERT_EQ(Read(project.get(), kFixture), 0);
    EXPECT_EQ(project->nextInstanceId, 3u);
    EXPECT_EQ(CreateSheetInstance(project.get(), nullptr, 0, project.Spec("B.SHX"))->id, 3u);
    // Past the range of ids: the lowest free id each time.
    project->nextInstanceId = kDetachedParentId;
    GetInstanceWithId(project.get(), 1)->id = 5;
    EXPECT_EQ(CreateSheetInstance(project.get(), nullptr, 0, project.Spec("B.SHX"))->id, 1u);
    EXPECT_EQ(CreateSheetInstance(project.get(), nullptr, 0, project.Spec("B.SHX"))->id, 4u);
    EXPECT_EQ(CreateSheetInstance(project.get(), nullptr, 0, project.Spec("B.SHX"))->id, 6u);
    EXPECT_EQ(project->nextInstanceId, kDetachedParentId);
}

TEST_F(Instances, ListsOf32767AndMoreEntriesRoundTrip) {
    tree.Folder("p");
    for (const uint32_t n : {32767u, 40000u}) {
        TestProject project(tree.Dir("p"));
        SheetSpec* specs[3] = {project.Spec("One.SHX"), project.Spec("Two.SHX"), project.Spec("Three.SHX")};
        std::mt19937 random(TestSeed());
        for (uint32_t k = 0; k < n; ++k) {
            SheetInstance* i = CreateSheetInstance(project.get(), nullptr, random(), specs[k % 3]);
            i->parentId = k;
            i->flags = uint16_t(random() & 0xD);
            i->missCount = int16_t(random() % 16);
        }
        const std::string bytes = Write(project.get());
        const size_t countAt = bytes.size() - 4 - n * 20 - 4;
        EXPECT_EQ(bytes.substr(countAt, 4), Hex("ff7f 1000"));
        TestProject back(tree.Dir("p"));
        ASSERT_EQ(Read(back.get(), bytes), 0);
        EXPECT_EQ(Dump(back.get()), Dump(project.get()));
        EXPECT_EQ(back->nextInstanceId, n + 1);
        // The other byte order.
        std::string big = bytes;
        auto* header = reinterpret_cast<StringBlockHeader*>(big.data());
        ByteSwapStringBlockHeader(header);
        ByteSwapWord(&big[countAt]);
        ByteSwapWord(&big[countAt + 2]);
        for (size_t at = countAt + 4; at + 4 < big.size(); at += 20) {
            ByteSwapLongArray(&big[at], 12);
            ByteSwapWordArray(&big[at + 12], 4);
            ByteSwapLong(&big[at + 16]);
        }
        ByteSwapLong(&big[big.size() - 4]);
        TestProject swapped(tree.Dir("p"));
        ASSERT_EQ(Read(swapped.get(), big, true), 0);
        EXPECT_EQ(Dump(swapped.get()), Dump(project.get()));
    }
}

TEST_F(Instances, DamagedListsEndWithAStatusAndChangeNothing) {
    tree.Folder("p");
    // The string block's reader takes at most its own bound for a stored allocated size.
    const uint32_t ceiling = 8u << 20;
    for (size_t n = 0; n < kFixture.size(); ++n) {
        CappedPool pool(ceiling);
        {
            TestProject project(tree.Dir("p"));
            Stored(project.get(), 9, 0, 0, project.Spec("Kept.SHX"));
            // Without its end mark the list is whole: its count was reached.
            if (n >= kFixture.size() - 4) {
                EXPECT_EQ(Read(project.get(), kFixture.substr(0, n)), 0) << n;
                EXPECT_EQ(Dump(project.get()), kFixtureDump) << n;
            } else {
                EXPECT_NE(Read(project.get(), kFixture.substr(0, n)), 0) << n;
                EXPECT_EQ(Dump(project.get()), (std::vector<std::string>{"9 0 0 0 0 Kept.SHX"})) << n;
            }
        }
        EXPECT_FALSE(pool.hitCeiling());
    }
    std::mt19937 random(TestSeed());
    const uint64_t rounds = StressCount(1500);
    for (uint64_t round = 0; round < rounds; ++round) {
        const bool big = random() % 2;
        std::string bytes = big ? kFixtureBig : kFixture;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        CappedPool pool(ceiling);
        {
            TestProject project(tree.Dir("p"));
            Stored(project.get(), 9, 0, 0, project.Spec("Kept.SHX"));
            const OSStatus st = Read(project.get(), bytes, big);
            const std::vector<std::string> dump = Dump(project.get());
            if (st != 0) {
                EXPECT_EQ(dump, (std::vector<std::string>{"9 0 0 0 0 Kept.SHX"})) << round;
            }
            std::set<uint32_t> ids;
            for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next) {
                EXPECT_TRUE(i->id != 0 && i->id != kDetachedParentId && ids.insert(i->id).second) << round;
                EXPECT_FALSE(i->flags & kInstanceNew) << round;
                if (i->id < kLastInstanceId) {
                    EXPECT_GT(project->nextInstanceId, i->id) << round;
                }
            }
            // What reads is written again and reads the same.
            if (st == 0) {
                const std::string again = Write(project.get());
                TestProject back(tree.Dir("p"));
                EXPECT_EQ(Read(back.get(), again), 0);
                EXPECT_EQ(Dump(back.get()), dump);
            }
        }
        EXPECT_FALSE(pool.hitCeiling()) << "seed " << TestSeed() << " round " << round;
    }
}

}  // namespace
}  // namespace plexa::test
