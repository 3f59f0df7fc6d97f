// DA arrays: the documented edge cases, item loops with stops and signals, compaction and
// merging with id maps, and changes of the item size.
#include "foundation/da.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/signals.h"

namespace plexa {
namespace {

struct Item {
    int32_t key;
    int32_t tag;
};

int CompareKeys(const void* a, const void* b) {
    const int32_t x = static_cast<const Item*>(a)->key, y = static_cast<const Item*>(b)->key;
    return x < y ? -1 : x > y ? 1 : 0;
}

struct ArrayOwner {
    explicit ArrayOwner(DAArray a) : array(a) {}
    ~ArrayOwner() { DADispose(array); }
    DAArray array;
};

DAArray MakeArray(uint32_t flags, std::initializer_list<int32_t> keys = {}) {
    DAArray a = DACreate(nullptr, sizeof(Item), 0, flags);
    if (a && (flags & kDASorted)) DASetCompareProc(a, CompareKeys);
    int32_t tag = 0;
    for (int32_t k : keys) {
        const Item item{k, tag++};
        DAAdd(a, &item);
    }
    return a;
}

Item Get(DAArray a, int32_t id) {
    Item item{-1, -1};
    DAGet(a, id, &item);
    return item;
}

std::vector<int32_t> Keys(DAArray a) {
    std::vector<int32_t> out;
    char* address = nullptr;
    for (int32_t id = -1; DANextAddress(a, &id, &address);) out.push_back(reinterpret_cast<Item*>(address)->key);
    return out;
}

TEST(DATest, CreateShapes) {
    EXPECT_EQ(DACreate(nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(DACreate(nullptr, 70000, 0, 0), nullptr);
    // Item sizes whose stride would wrap around 32 bits are refused like any other too large.
    for (uint32_t flags : {0u, uint32_t(kDAPacked), uint32_t(kDAStride2)}) {
        for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFF8u}) {
            EXPECT_EQ(DACreate(nullptr, size, 0, flags), nullptr) << size << " " << flags;
        }
    }
    const struct {
        uint32_t itemSize, flags;
        int32_t perCluster;
        uint32_t stride, flagsAfter;
        int32_t perClusterAfter;
    } cases[] = {
        {4, 0, 0, 12, 0, 5450},
        {4, kDAUnique, 0, 12, kDAUnique | kDASorted | kDALogicalIds, 5450},
        {4, kDAUnique | kDALogicalIds, 0, 12, kDAUnique | kDASorted | kDALogicalIds, 5450},
        {4, kDASorted, 10, 12, kDASorted | kDALogicalIds, 10},
        {5, kDAPacked | kDALogicalIds, 0, 8, kDAPacked | kDASorted, 0},
        {5, kDAPacked | kDAStride2, 0, 6, kDAPacked | kDASorted | kDAStride2, 0},
        {10, kDAStride2, -1000, 12, kDAStride2, 83},
        {10, 0, -3, 12, 0, 1},
    };
    for (const auto& c : cases) {
        ArrayOwner a(DACreate(nullptr, c.itemSize, c.perCluster, c.flags));
        ASSERT_NE(a.array, nullptr);
        EXPECT_EQ((*a.array)->stride, c.stride) << c.itemSize << " " << c.flags;
        EXPECT_EQ((*a.array)->flags, c.flagsAfter) << c.itemSize << " " << c.flags;
        EXPECT_EQ((*a.array)->itemsPerCluster, c.perClusterAfter) << c.itemSize << " " << c.flags;
        EXPECT_EQ(DACount(a.array), 0);
    }
}

TEST(DATest, ClusterCountStaysWithinTheIdRange) {
    // Two clusters of 2^30 slots would make ids beyond the i32 range: the second is refused.
    ArrayOwner a(DACreate(nullptr, 4, 0x40000000, kDAGrowBySlot));
    const Item item{1, 1};
    EXPECT_EQ(DAAdd(a.array, &item), 0);
    (*a.array)->Clusters()[0].slotCount = 0x40000000;  // as if full, without the memory
    EXPECT_EQ(DAAdd(a.array, &item), -1);
    EXPECT_EQ((*a.array)->clusterCount, 1);
    (*a.array)->Clusters()[0].slotCount = 1;
}

TEST(DATest, GetOnInvalidIdZeroesAndFails) {
    for (uint32_t flags : {0u, uint32_t(kDASorted), uint32_t(kDAPacked)}) {
        ArrayOwner a(MakeArray(flags, {5, 6}));
        Item item{7, 7};
        for (int32_t id : {-1, 2, 1000, 0x7FFFFFFF}) {
            item = {7, 7};
            EXPECT_FALSE(DAGet(a.array, id, &item)) << flags;
            EXPECT_EQ(item.key, 0);
            EXPECT_EQ(item.tag, 0);
            EXPECT_FALSE(DAPut(a.array, id, &item));
        }
        EXPECT_TRUE(DAGet(a.array, 1, &item));
        EXPECT_EQ(item.key, 6);
    }
    ArrayOwner a(MakeArray(0, {1, 2, 3}));
    DARemove(a.array, 1);
    Item item{7, 7};
    EXPECT_FALSE(DAGet(a.array, 1, &item));  // a freed slot
    EXPECT_EQ(item.key, 0);
    EXPECT_TRUE(DAIsFreeId(a.array, 1));
    EXPECT_FALSE(DAIsFreeId(a.array, 2));
}

TEST(DATest, SortedAddsAndSearches) {
    ArrayOwner a(MakeArray(kDASorted, {30, 10, 20, 20, 40}));
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{10, 20, 20, 30, 40}));
    // A new equal item goes after the last equal one.
    const Item twenty{20, 99};
    EXPECT_EQ(DAAdd(a.array, &twenty), 3);
    EXPECT_TRUE(DADidAdd());
    EXPECT_EQ(Get(a.array, 3).tag, 99);
    EXPECT_EQ(Get(a.array, 1).tag, 2);
    const struct { int32_t key, start; uint32_t flags; uint32_t result; } searches[] = {
        {20, -1, 0, 1}, {20, -1, kDASearchLast, 3}, {20, 2, 0, 2}, {20, 2, kDASearchLast, 2},
        {25, -1, 0, 0x80000004u}, {5, -1, 0, 0x80000000u}, {50, -1, kDASearchLast, 0x80000006u},
        {40, -1, kDASearchLock, 5},
    };
    for (const auto& s : searches) {
        const Item key{s.key, 0};
        EXPECT_EQ(uint32_t(DASearch(a.array, s.start, &key, s.flags)), s.result) << s.key << " " << s.flags;
    }
    ArrayOwner empty(MakeArray(kDASorted));
    EXPECT_EQ(uint32_t(DASearch(empty.array, -1, &twenty, 0)), 0x80000000u);
    // The insert hint places the next add without a search, once.
    const Item far{1000, 0};
    DASetInsertHint(int32_t(0x80000000u | 1));
    EXPECT_EQ(DAAdd(a.array, &far), 1);
    EXPECT_EQ(DAAdd(a.array, &far), 7);
}

TEST(DATest, UniqueSortedAddReturnsTheExistingItem) {
    ArrayOwner a(MakeArray(kDAUnique, {3, 1, 2}));
    const Item two{2, 50};
    EXPECT_EQ(DAAdd(a.array, &two), 1);
    EXPECT_FALSE(DADidAdd());
    EXPECT_EQ(DACount(a.array), 3);
    EXPECT_EQ(Get(a.array, 1).tag, 2);
}

TEST(DATest, UnsortedLinearSearch) {
    ArrayOwner a(MakeArray(0, {4, 8, 4, 9}));
    const Item four{4, 0};
    EXPECT_EQ(DASearch(a.array, -1, &four, 0), 0);
    EXPECT_EQ(DASearch(a.array, 1, &four, 0), 2);
    EXPECT_EQ(DASearch(a.array, -1, &four, kDASearchLast), 2);
    EXPECT_EQ(DASearch(a.array, 1, &four, kDASearchLast), 0);
    DARemove(a.array, 0);
    EXPECT_EQ(DASearch(a.array, -1, &four, 0), 2);
    const Item five{5, 0};
    EXPECT_EQ(uint32_t(DASearch(a.array, -1, &five, 0)), 0x80000000u);
}

TEST(DATest, RemovingShiftsLogicalIds) {
    ArrayOwner a(MakeArray(kDASorted, {1, 2, 3, 4, 5}));
    DARemove(a.array, 2);
    EXPECT_EQ(Get(a.array, 2).key, 4);
    EXPECT_EQ(DACount(a.array), 4);
    DARemove(a.array, 4);  // beyond the count: nothing
    EXPECT_EQ(DACount(a.array), 4);
}

TEST(DATest, UpdateLogicalIdMovesAChangedItem) {
    ArrayOwner a(MakeArray(kDASorted, {10, 20, 30, 40}));
    reinterpret_cast<Item*>(DAGetAddress(a.array, 0, false))->key = 35;
    int32_t id = 0;
    EXPECT_TRUE(DAUpdateLogicalId(a.array, &id));
    EXPECT_EQ(id, 2);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{20, 30, 35, 40}));
    EXPECT_FALSE(DAUpdateLogicalId(a.array, &id));  // in place already
    reinterpret_cast<Item*>(DAGetAddress(a.array, 3, false))->key = 5;
    id = 3;
    EXPECT_TRUE(DAUpdateLogicalId(a.array, &id));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{5, 20, 30, 35}));
}

TEST(DATest, FreeListReusesTheLowestFreedSlotWhenEmpty) {
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 4, kDAGrowBySlot));
    const Item item{1, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(DAAdd(a.array, &item), i);
    DARemove(a.array, 2);
    DARemove(a.array, 1);
    // The free list is empty: the next allocation rebuilds it and takes the lowest freed slot.
    EXPECT_EQ(DAAllocate(a.array), 1);
    EXPECT_EQ(DAAllocate(a.array), 2);
    EXPECT_EQ(DAAllocate(a.array), 4);  // a new cluster
    EXPECT_EQ((*a.array)->clusterCount, 2);

    // Slots freed while a free list exists wait until it is used up.
    ArrayOwner b(DACreate(nullptr, sizeof(Item), 100, 0));
    for (int i = 0; i < 3; ++i) DAAdd(b.array, &item);
    const int32_t listed = (*b.array)->freeHead;
    EXPECT_EQ(listed, 3);
    DARemove(b.array, 0);
    EXPECT_EQ(DAAllocate(b.array), 3);
}

TEST(DATest, NextAddressOnAnEmptyArray) {
    ArrayOwner a(MakeArray(0));
    int32_t id = -1;
    char* address = reinterpret_cast<char*>(&id);
    EXPECT_FALSE(DANextAddress(a.array, &id, &address));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(address, nullptr);
    const Item item{1, 1};
    DAAdd(a.array, &item);
    id = -1;
    EXPECT_TRUE(DANextAddress(a.array, &id, &address));
    EXPECT_FALSE(DANextAddress(a.array, &id, &address));
    EXPECT_EQ(id, (*a.array)->idLimit);
}

// Loop procedures get their context through the loop value.
struct LoopContext {
    std::vector<int32_t> seen;
    int32_t removeKey = -1;    // remove the item with this key when visiting it
    int32_t stopAt = -1;       // stop with 7 at this key, from inside a nested catcher
    int32_t signalAt = -1;     // signal -43 at this key
    int32_t depthInLoop = -1;
};

void Visit(DAArray array, int32_t id, DALoopRecord* loop) {
    auto* c = reinterpret_cast<LoopContext*>(loop->value);
    const int32_t key = reinterpret_cast<Item*>(loop->address)->key;
    c->seen.push_back(key);
    if (key == c->removeKey) DARemove(array, id);
    if (key == c->signalAt) FailureSignal(-43);
    if (key == c->stopAt) {
        (void)CatchSignals([&] {  // the loop stop leaves through both catchers
            (void)CatchSignals([&] {  // the loop stop leaves through both catchers
                c->depthInLoop = GetSignalDepth();
                DAStopLoop(loop, 7);
            });
            ADD_FAILURE() << "a stopped loop resumed";
        });
        ADD_FAILURE() << "a stopped loop resumed";
    }
}

TEST(DATest, LoopRemovingItsCurrentItemVisitsTheNextOne) {
    for (uint32_t flags : {0u, uint32_t(kDASorted), uint32_t(kDAPacked)}) {
        ArrayOwner a(MakeArray(flags, {1, 2, 3, 4, 5}));
        LoopContext c;
        c.removeKey = 3;
        EXPECT_EQ(DAItemLoop(a.array, 0, 0, Visit, uint64_t(&c)), -1);
        EXPECT_EQ(c.seen, (std::vector<int32_t>{1, 2, 3, 4, 5})) << flags;
        EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{1, 2, 4, 5}));
        EXPECT_EQ((*a.array)->loops, nullptr);
    }
}

TEST(DATest, StoppedLoopReturnsItsValueAndRestoresTheDepth) {
    ArrayOwner a(MakeArray(kDASorted, {1, 2, 3, 4}));
    LoopContext c;
    c.stopAt = 2;
    const int32_t depth = GetSignalDepth();
    EXPECT_EQ(DAItemLoop(a.array, 0, kDASearchLock, Visit, uint64_t(&c)), 7);
    EXPECT_EQ(c.seen, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(c.depthInLoop, depth + 3);
    EXPECT_EQ(GetSignalDepth(), depth);
    EXPECT_EQ((*a.array)->loops, nullptr);
    EXPECT_EQ((*a.array)->Clusters()[0].lockCount, 0);
}

TEST(DATest, SignalLeavesTheLoopToTheCallersCatcher) {
    ArrayOwner a(MakeArray(0, {1, 2, 3}));
    LoopContext c;
    c.signalAt = 2;
    const int32_t depth = GetSignalDepth();
    bool cleaned = false;
    const OSStatus code = CatchSignals([&] {
        DAItemLoop(a.array, 0, kDASearchLock, Visit, uint64_t(&c));
        ADD_FAILURE() << "the signal did not leave the loop";
    }, [&] { cleaned = true; });
    EXPECT_EQ(code, -43);
    EXPECT_TRUE(cleaned);
    EXPECT_EQ(c.seen, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(GetSignalDepth(), depth);
    EXPECT_EQ((*a.array)->loops, nullptr);
    EXPECT_EQ((*a.array)->Clusters()[0].lockCount, 0);
}

TEST(DATest, FreeProcedureRunsBeforeRemoval) {
    ArrayOwner a(MakeArray(0, {1, 2, 3}));
    static std::vector<std::pair<int32_t, uint64_t>> freed;
    freed.clear();
    DASetFreeProc(a.array, [](DAArray, int32_t, DALoopRecord* loop) {
        freed.emplace_back(reinterpret_cast<Item*>(loop->address)->key, loop->value);
    });
    DAFree(a.array, 1);
    DAFree(a.array, 1);  // free already: nothing
    DAFreeAll(a.array);
    EXPECT_EQ(freed, (std::vector<std::pair<int32_t, uint64_t>>{{2, uint64_t(-2)}, {1, uint64_t(-1)}, {3, uint64_t(-1)}}));
    EXPECT_EQ(DACount(a.array), 0);
    EXPECT_EQ((*a.array)->idLimit, 0);
}

TEST(DATest, FreeProcedureMayStopItsRecord) {
    ArrayOwner a(MakeArray(0, {1, 2}));
    DASetFreeProc(a.array, [](DAArray, int32_t, DALoopRecord* loop) { DAStopLoop(loop, 5); });
    const int32_t depth = GetSignalDepth();
    DAFree(a.array, 0);
    EXPECT_EQ(GetSignalDepth(), depth);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{2}));
    DASetFreeProc(a.array, [](DAArray, int32_t, DALoopRecord*) { FailureSignal(-43); });
    EXPECT_EQ(CatchSignals([&] { DAFree(a.array, 1); }), -43);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{2}));  // a failed free keeps the item
}

// An array of the items {k, k} for k from 0 to count - 1, with `perCluster` slots a cluster.
DAArray Numbered(int32_t perCluster, int32_t count) {
    DAArray a = DACreate(nullptr, sizeof(Item), perCluster, 0);
    for (int32_t k = 0; k < count; ++k) {
        const Item item{k, k};
        DAAdd(a, &item);
    }
    return a;
}

TEST(DATest, CompactRemapsIds) {
    ArrayOwner a(Numbered(4, 10));
    const int32_t limit = (*a.array)->idLimit;
    EXPECT_EQ(DACompact(a.array, true), nullptr);  // nothing freed: nothing changes
    EXPECT_EQ((*a.array)->idLimit, limit);
    EXPECT_EQ(Keys(a.array).size(), 10u);
    for (int32_t id : {1, 2, 5, 9}) DARemove(a.array, id);
    DAArray map = DACompact(a.array, true);
    ASSERT_NE(map, nullptr);
    // Ids below the first one that moved are unchanged (removed ones included: callers map only
    // the ids they hold); removed ids above it have no record.
    const int32_t expected[10] = {0, 1, 2, 1, 2, -1, 3, 4, 5, -1};
    for (int32_t old = 0; old < 10; ++old) EXPECT_EQ(DAMapOldId(map, old), expected[old]) << old;
    EXPECT_EQ(DAGetRefCon(map), 3u);
    DADispose(map);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{0, 3, 4, 6, 7, 8}));
    EXPECT_EQ((*a.array)->idLimit, 6);
    EXPECT_EQ((*a.array)->clusterCount, 2);
    const Item item{11, 11};
    EXPECT_EQ(DAAdd(a.array, &item), 6);
}

// Writes through slot addresses check that the slot exists. A short cluster before the last one
// (a shape the array code never makes) is left alone by compaction instead of being written past.
TEST(DATest, CompactionLeavesADamagedClusterShapeAlone) {
    ArrayOwner a(Numbered(2, 6));
    for (int32_t id : {0, 2, 3}) DARemove(a.array, id);
    DACluster& middle = (*a.array)->Clusters()[1];
    middle.slotCount = 0;
    ASSERT_TRUE(ResizeHandle(middle.data, 0));
    EXPECT_EQ(DACompact(a.array, true), nullptr);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{1, 4, 5}));
    EXPECT_EQ((*a.array)->idLimit, 6);
}

// A free slot's address is handed out, so its link may be overwritten: the next allocation makes
// the free list again instead of following the link.
TEST(DATest, AllocationDoesNotFollowADamagedFreeLink) {
    ArrayOwner a(Numbered(4, 8));
    for (int32_t id : {1, 2, 6}) DARemove(a.array, id);
    EXPECT_EQ(DAAllocate(a.array), 1);  // builds the free list: 2, then 6
    for (int32_t link : {0x7FFFFFF0, 3, -5}) {
        SCOPED_TRACE(link);
        std::memcpy(DAPhysicalGetAddress(a.array, 2, false), &link, 4);
        const int32_t id = DAAllocate(a.array);
        EXPECT_EQ(id, 2);
        const int32_t next = DAAllocate(a.array);
        EXPECT_EQ(next, 6);
        EXPECT_EQ(DACount(a.array), 8);
        DARemove(a.array, 2);
        DARemove(a.array, 6);
        EXPECT_EQ(DAAllocate(a.array), 2);  // the list again: 6 after it
        DARemove(a.array, 2);
        DAOptimizeFree(a.array);
    }
}

TEST(DATest, CombineFillsFreeSlotsFirst) {
    ArrayOwner source(MakeArray(0, {100, 101, 102, 103}));
    ArrayOwner destination(MakeArray(0, {1, 2, 3, 4}));
    DARemove(destination.array, 2);
    DARemove(destination.array, 0);
    DAArray map = DACombineArrays(source.array, destination.array, 1, true);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(DAMapOldId(map, 0), -1);  // before startId
    EXPECT_EQ(DAMapOldId(map, 1), 0);
    EXPECT_EQ(DAMapOldId(map, 2), 2);
    EXPECT_EQ(DAMapOldId(map, 3), 4);
    DADispose(map);
    EXPECT_EQ(Keys(destination.array), (std::vector<int32_t>{101, 2, 102, 4, 103}));

    ArrayOwner sorted(MakeArray(kDASorted, {50, 150}));
    EXPECT_EQ(DACombineArrays(source.array, sorted.array, 0, true), nullptr);
    EXPECT_EQ(Keys(sorted.array), (std::vector<int32_t>{50, 100, 101, 102, 103, 150}));
    ArrayOwner other(DACreate(nullptr, 12, 0, 0));
    EXPECT_EQ(DACombineArrays(source.array, other.array, 0, true), nullptr);
    EXPECT_EQ(DACount(other.array), 0);
}

TEST(DATest, DataSizeGrowsWithZerosAndKeepsIds) {
    for (uint32_t flags : {0u, uint32_t(kDASorted), uint32_t(kDAPacked)}) {
        ArrayOwner a(DACreate(nullptr, 8, 3, flags));
        if (flags & kDASorted) DASetCompareProc(a.array, CompareKeys);
        for (int32_t k = 0; k < 7; ++k) {
            const Item item{k, -1};  // all bits set in the tag
            DAAdd(a.array, &item);
        }
        if (!(flags & kDAPacked)) DARemove(a.array, 3);
        ASSERT_EQ(DASetDataSize(a.array, 20, false), 0);
        EXPECT_EQ((*a.array)->itemSize, 20u);
        const std::vector<int32_t> keys = Keys(a.array);
        char* address = nullptr;
        for (int32_t id = -1; DANextAddress(a.array, &id, &address);) {
            const char zeros[12] = {};
            EXPECT_EQ(std::memcmp(address + 8, zeros, 12), 0) << flags << " id " << id;
            EXPECT_EQ(reinterpret_cast<Item*>(address)->tag, -1);
        }
        // Shrinking keeps the stride unless asked; either way the items stay.
        ASSERT_EQ(DASetDataSize(a.array, 8, false), 0);
        EXPECT_EQ(Keys(a.array), keys);
        ASSERT_EQ(DASetDataSize(a.array, 8, true), 0);
        EXPECT_EQ(Keys(a.array), keys);
        EXPECT_EQ((*a.array)->stride, (flags & kDAPacked) ? 8u : 12u);
        const Item item{100, 0};
        DAAdd(a.array, &item);
        EXPECT_EQ(DACount(a.array), int32_t(keys.size()) + 1);
    }
}

TEST(DATest, DuplicateIsIndependent) {
    ArrayOwner a(MakeArray(kDASorted, {3, 1, 2}));
    ArrayOwner b(DADuplicate(nullptr, a.array));
    ASSERT_NE(b.array, nullptr);
    DASetCompareProc(b.array, CompareKeys);
    const Item item{0, 0};
    DAAdd(b.array, &item);
    DARemove(a.array, 0);
    EXPECT_EQ(Keys(a.array), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(Keys(b.array), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(DATest, AddOfAnItemFromTheSameArray) {
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 0, kDAGrowBySlot));
    const Item first{42, 1};
    DAAdd(a.array, &first);
    for (int i = 0; i < 50; ++i) DAAdd(a.array, DAGetAddress(a.array, 0, false));
    for (int32_t id = 0; id < 51; ++id) EXPECT_EQ(Get(a.array, id).key, 42);
}

// A compare procedure that adds to another array, as an owner keeping an index might.
DAArray gSideArray = nullptr;
int CompareAndRecord(const void* a, const void* b) {
    const Item seen{0, 0};
    DAAdd(gSideArray, &seen);  // after the first, finds its equal and adds nothing
    return CompareKeys(a, b);
}

TEST(DATest, AddFromACompareProcedureLeavesTheOuterAddAlone) {
    ArrayOwner side(MakeArray(kDAUnique));
    ArrayOwner a(MakeArray(kDASorted, {10, 30}));
    DASetCompareProc(a.array, CompareAndRecord);
    gSideArray = side.array;
    const Item twenty{20, 0};
    EXPECT_EQ(DAAdd(a.array, &twenty), 1);
    EXPECT_TRUE(DADidAdd());
    EXPECT_EQ(DACount(side.array), 1);
    gSideArray = nullptr;
}

TEST(DATest, QuickLoopFindsSlotsByStatus) {
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 6, kDAGrowBySlot));
    for (int32_t k = 0; k < 6; ++k) {
        const Item item{k, k};
        DAAdd(a.array, &item);
    }
    DARemove(a.array, 3);
    DARemove(a.array, 4);
    EXPECT_EQ(DAQuickLoop(a.array, 0, nullptr, kDASlotFree, kDASlotFree), 3);
    EXPECT_EQ(DAQuickLoopAddress(), DAPhysicalGetAddress(a.array, 3, false));
    EXPECT_EQ(DAQuickLoop(a.array, 3, nullptr, kDASlotFree, 0), 5);
    EXPECT_EQ(DAQuickLoop(a.array, 6, nullptr, kDASlotFree, 0), -1);
    DAQuickRun run{-1, 0};
    EXPECT_EQ(DAQuickLoop(a.array, 3, &run, 0, 0), 3);
    EXPECT_EQ(run.length, 2);
    EXPECT_EQ(DAQuickLoop(a.array, 0, &run, 0, 0), -1);  // a live slot starts no run
    // Slots 3 and 4 are linked now: status free and linked.
    const uint32_t stride = (*a.array)->stride;
    EXPECT_EQ(uint8_t(DAPhysicalGetAddress(a.array, 4, false)[stride - 1]), kDASlotFree | kDASlotLinked);
}

TEST(DATest, FixedClustersKeepTheirItemsInPlace) {
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 50, kDAFixed));
    const Item first{0, 0};
    DAAdd(a.array, &first);
    char* address = DAGetAddress(a.array, 0, true);
    for (int32_t k = 1; k < 120; ++k) {
        const Item item{k, k};
        DAAdd(a.array, &item);
    }
    EXPECT_EQ(DAGetAddress(a.array, 0, false), address);
    DAUnlockId(a.array, 0);
    EXPECT_EQ((*a.array)->clusterCount, 3);
    EXPECT_EQ((*a.array)->Clusters()[0].lockCount, 0);
    DARemove(a.array, 60);
    EXPECT_EQ(DACompact(a.array, false), nullptr);  // no map asked for; the items moved anyway
    EXPECT_EQ((*a.array)->idLimit, 119);
    EXPECT_EQ(Get(a.array, 60).key, 61);
    EXPECT_EQ(DACount(a.array), 119);
}

// Reads by id go straight to each cluster's data: a compaction of the pool, which slides the
// handles around them, must leave the clusters where they are.
TEST(DATest, PoolCompactionLeavesClustersInPlace) {
    MemPool pool = CreatePool(65536);
    ASSERT_NE(pool, nullptr);
    DAArray array = DACreate(pool, sizeof(Item), 100, 0);
    std::vector<Handle> others;
    for (int32_t k = 0; k < 1000; ++k) {
        const Item item{k, -k};
        DAAdd(array, &item);
        others.push_back(AllocHandle(pool, 200));
    }
    std::vector<char*> before;
    for (int32_t c = 0; c < (*array)->clusterCount; ++c) before.push_back(*(*array)->Clusters()[c].data);
    for (size_t i = 0; i < others.size(); i += 2) MemFree(others[i]);
    MemPoolCompact(pool, 60000);
    for (int32_t c = 0; c < (*array)->clusterCount; ++c) EXPECT_EQ(*(*array)->Clusters()[c].data, before[size_t(c)]);
    for (int32_t k = 0; k < 1000; ++k) {
        ASSERT_EQ(Get(array, k).key, k);
        ASSERT_EQ(Get(array, k).tag, -k);
    }
    DADispose(array);
    for (size_t i = 1; i < others.size(); i += 2) MemFree(others[i]);
    MemPoolFree(pool);
}

// Locking items, whole arrays and searches counts on the array's side and asks nothing of the
// heap, whose error handler therefore hears nothing.
TEST(DATest, LocksReportNoHeapErrors) {
    ArrayOwner a(MakeArray(kDASorted | kDALockSearch, {5, 1, 9, 3}));
    static int errors;
    errors = 0;
    const MemErrorHandler previous = MemSetErrorHandler([](MemErrorRecord*) -> int32_t {
        ++errors;
        return 0;
    });
    const Item key{9, 0};
    EXPECT_EQ(DASearch(a.array, -1, &key, kDASearchLock), 3);
    ASSERT_NE(DAGetAddress(a.array, 1, true), nullptr);
    DAUnlockId(a.array, 1);
    DALockArray(a.array);
    DAUnlockArray(a.array);
    EXPECT_EQ((*a.array)->Clusters()[0].lockCount, 0);
    MemSetErrorHandler(previous);
    EXPECT_EQ(errors, 0);
}

}  // namespace
}  // namespace plexa
