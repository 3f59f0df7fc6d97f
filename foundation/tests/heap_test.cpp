// Pooled heap: edge cases, error reporting, a randomized stress against a reference model, and
// (in the sanitizer build) use-after-free detection inside pools.
#include "foundation/heap.h"
#include "foundation/heap_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "tests/support/testing.h"

namespace plexa {
namespace {

std::vector<int32_t> gErrors;

int32_t RecordError(MemErrorRecord* error) {
    gErrors.push_back(error->code);
    return 0;
}

class HeapTest : public testing::Test {
public:
    void SetUp() override {
        gErrors.clear();
        previous_ = MemSetErrorHandler(RecordError);
        pool_ = MemPoolInit(kMemPoolStandardFlags);
        ASSERT_NE(pool_, nullptr);
    }
    void TearDown() override {
        EXPECT_TRUE(MemPoolFree(pool_));
        MemSetErrorHandler(previous_);
    }
    MemPoolInfoRecord Info() {
        MemPoolInfoRecord info{};
        EXPECT_TRUE(MemPoolInfo(pool_, nullptr, &info));
        return info;
    }
    int32_t LastError() const { return gErrors.empty() ? 0 : gErrors.back(); }

    MemPool pool_ = nullptr;
    MemErrorHandler previous_ = nullptr;
};

struct EdgeCase {
    const char* name;
    std::function<void(HeapTest&, MemPool)> check;
};

TEST_F(HeapTest, EdgeCases) {
    const EdgeCase cases[] = {
        {"size 0 is MEM_ALLOC_ZERO",
         [](HeapTest& t, MemPool pool) {
             EXPECT_EQ(MemAllocPtr(pool, 0, 0), nullptr);
             EXPECT_EQ(t.LastError(), MEM_ALLOC_ZERO);
             EXPECT_EQ(MemAlloc(pool, kMemRelocatable, 0), nullptr);
             EXPECT_EQ(t.LastError(), MEM_ALLOC_ZERO);
         }},
        {"246 bytes is small class 30 with 247 usable",
         [](HeapTest& t, MemPool pool) {
             Ptr p = MemAllocPtr(pool, 246, 0);
             ASSERT_NE(p, nullptr);
             EXPECT_EQ(MemSizePtr(p), 247u);  // 8 x 30 + 7
             EXPECT_EQ(t.Info().pageKinds, 0u);  // no variable page was made
             EXPECT_TRUE(MemFreePtr(p));
         }},
        {"247 bytes is a variable block",
         [](HeapTest& t, MemPool pool) {
             Ptr p = MemAllocPtr(pool, 247, 0);
             ASSERT_NE(p, nullptr);
             EXPECT_EQ(MemSizePtr(p), 248u);  // (247 + 23) & ~7 less the 16-byte header
             EXPECT_EQ(t.Info().pageKinds, kMemPlainPages);
             EXPECT_TRUE(MemFreePtr(p));
             EXPECT_EQ(t.Info().pageKinds, 0u);  // the emptied page went back
         }},
        {"page size 65535: 16383 is variable, 16384 gets an external page",
         [](HeapTest& t, MemPool pool) {
             EXPECT_EQ(MemPoolSetPageSize(pool, 65535), 16384u);
             uint32_t before = t.Info().totalBytes;
             Ptr var = MemAllocPtr(pool, 16383, 0);
             ASSERT_NE(var, nullptr);
             EXPECT_EQ(t.Info().totalBytes - before, 65536u);  // one pool page of 64 KB
             Ptr ext = MemAllocPtr(pool, 16384, 0);
             ASSERT_NE(ext, nullptr);
             EXPECT_EQ(t.Info().totalBytes - before, 65536u + 16384 + 64);
             EXPECT_EQ(MemSizePtr(ext), 16384u);
             EXPECT_TRUE(MemFreePtr(ext));
             EXPECT_TRUE(MemFreePtr(var));
             EXPECT_EQ(t.Info().totalBytes, before);
         }},
        {"page sizes round: 5000 -> 8192, 4000 -> 4096, 70000 -> 65535",
         [](HeapTest& t, MemPool pool) {
             const struct {
                 uint32_t asked, given;
             } sizes[] = {{5000, 8192}, {4000, 4096}, {70000, 65535}, {1, 4096}, {16384, 16384}};
             for (auto s : sizes) {
                 MemPoolSetPageSize(pool, s.asked);
                 EXPECT_EQ(t.Info().pageSize, s.given) << s.asked;
             }
             ASSERT_TRUE(MemPoolSetBlockSizeFS(pool, 8000));
             EXPECT_EQ(MemPoolSetPageSize(pool, 4000), 0u);  // below block size + 64: refused
             EXPECT_EQ(t.Info().pageSize, 16384u);
         }},
        {"block size refused once fixed-size pages exist",
         [](HeapTest& t, MemPool pool) {
             EXPECT_TRUE(MemPoolSetBlockSizeFS(pool, 20));
             EXPECT_EQ(t.Info().blockSizeFS, 24u);
             EXPECT_FALSE(MemPoolSetBlockSizeFS(pool, 16384));
             EXPECT_EQ(t.LastError(), MEM_BLOCK_TOO_BIG);
             Ptr p = MemAllocFS(pool);
             ASSERT_NE(p, nullptr);
             EXPECT_EQ(MemSizePtr(p), 24u);
             EXPECT_FALSE(MemPoolSetBlockSizeFS(pool, 32));
             EXPECT_EQ(t.Info().blockSizeFS, 24u);
             EXPECT_TRUE(MemFreePtr(p));
         }},
        {"the 256th lock is refused",
         [](HeapTest& t, MemPool pool) {
             Handle h = MemAlloc(pool, kMemRelocatable, 10);
             ASSERT_NE(h, nullptr);
             for (int i = 0; i < 255; ++i) ASSERT_EQ(MemLock(h), *h);
             EXPECT_EQ(MemLock(h), nullptr);
             EXPECT_EQ(t.LastError(), MEM_LOCK_ERROR);
             for (uint32_t i = 255; i-- > 0;) ASSERT_EQ(MemUnlock(h), i);
             EXPECT_EQ(MemUnlock(h), 65535u);
             EXPECT_TRUE(MemFree(h));
         }},
        {"the last block of a fixed-size page deletes it unless below the floor",
         [](HeapTest& t, MemPool pool) {
             uint32_t empty = t.Info().totalBytes;
             Ptr p = MemAllocFS(pool);
             ASSERT_NE(p, nullptr);
             uint32_t withPage = t.Info().totalBytes;
             EXPECT_EQ(withPage - empty, 16384u);
             EXPECT_TRUE(MemFreePtr(p));
             EXPECT_EQ(t.Info().totalBytes, empty);
             EXPECT_EQ(t.Info().pageKinds, 0u);
             p = MemAllocFS(pool);
             MemPoolSetFloor(pool, withPage);
             EXPECT_TRUE(MemFreePtr(p));
             EXPECT_EQ(t.Info().totalBytes, withPage);
             EXPECT_EQ(t.Info().pageKinds, kMemFixedPages);
         }},
        {"a deleted page's memory serves the next page, within the ceiling",
         [](HeapTest& t, MemPool pool) {
             uint32_t empty = t.Info().totalBytes;
             Ptr p = MemAllocFS(pool);
             ASSERT_NE(p, nullptr);
             // Many small pages deleted before this one: the memory kept for pages is full when
             // this page goes, and takes it all the same.
             MemPool other = MemPoolInit(kMemPoolStandardFlags);
             MemPoolSetPageSize(other, 4096);
             std::vector<Ptr> many;
             for (int i = 0; i < 100 * 84; ++i) many.push_back(MemAllocFS(other));
             for (Ptr x : many) MemFreePtr(x);
             MemPoolFree(other);
             EXPECT_TRUE(MemFreePtr(p));
             EXPECT_EQ(t.Info().totalBytes, empty);  // deleted, as far as the pool is concerned
             MemPoolSetCeiling(pool, empty + 100);
             EXPECT_EQ(MemAllocFS(pool), nullptr);
             EXPECT_EQ(t.LastError(), MEM_EXCEEDED_CEILING);
             MemPoolSetCeiling(pool, 0xFFFFFFFE);
             Ptr q = MemAllocFS(pool);
             EXPECT_EQ(q, p);  // the same memory, not a fresh block from the system
             EXPECT_EQ(t.Info().totalBytes, empty + 16384);
             EXPECT_TRUE(MemFreePtr(q));
         }},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemPool pool = MemPoolInit(kMemPoolStandardFlags);
        ASSERT_NE(pool, nullptr);
        MemPool saved = pool_;
        pool_ = pool;
        gErrors.clear();
        c.check(*this, pool);
        pool_ = saved;
        EXPECT_TRUE(MemPoolFree(pool));
    }
}

TEST_F(HeapTest, SizesNearFourGigabytesAreRefused) {
    const uint32_t sizes[] = {0xFFFFFFFFu, 0xFFFFFFF9u, 0xFFFFFFC0u, 0xFFFFFFE9u};
    Ptr p = MemAllocPtr(pool_, 100, 0);
    Handle h = MemAlloc(pool_, kMemRelocatable, 100);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(h, nullptr);
    for (uint32_t size : sizes) {
        gErrors.clear();
        EXPECT_EQ(MemAllocPtr(pool_, size, 0), nullptr);
        EXPECT_EQ(MemAlloc(pool_, kMemRelocatable, size), nullptr);
        EXPECT_EQ(MemReAllocPtr(p, size, 0), nullptr);
        EXPECT_EQ(MemReAlloc(h, size, 0), nullptr);
        EXPECT_EQ(gErrors, std::vector<int32_t>(4, MEM_BLOCK_TOO_BIG)) << size;
    }
    EXPECT_EQ(MemSizePtr(p), 103u);  // both blocks intact
    EXPECT_EQ(MemSizeRequested(h), 100u);
    MemFreePtr(p);
    MemFree(h);
}

TEST_F(HeapTest, ExternalBlocksAreNeverCutToSixtyFourKilobytes) {
    for (uint32_t size : {65472u, 65535u, 70000u, 300000u}) {
        Ptr p = MemAllocPtr(pool_, size, kMemZeroFill);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(MemSizePtr(p), size);
        p[size - 1] = 1;  // the sanitizer build checks that the whole block is there
        EXPECT_EQ(p[size - 2], 0);
        EXPECT_TRUE(MemFreePtr(p));
        Handle h = MemAlloc(pool_, kMemRelocatable, size);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(MemSizeRequested(h), size);
        (*h)[size - 1] = 2;
        EXPECT_TRUE(MemFree(h));
    }
    // A large block shrunk keeps a tail that a slack byte can record (the memory layer keeps
    // the requested size of a pointer in its last usable byte).
    Ptr big = MemAllocPtr(pool_, 300000, 0);
    std::memset(big, 7, 300000);
    for (uint32_t size : {200000u, 5000u, 100u}) {
        big = MemReAllocPtr(big, size, 0);
        ASSERT_NE(big, nullptr);
        EXPECT_LE(MemSizePtr(big) - size, 255u) << size;
        EXPECT_EQ(big[size - 1], 7);
    }
    MemFreePtr(big);
}

TEST_F(HeapTest, BadPoolsPointersAndHandlesAreReported) {
    MemPoolRecord* bogus = reinterpret_cast<MemPoolRecord*>(std::calloc(1, 4096));
    EXPECT_EQ(MemAllocPtr(bogus, 10, 0), nullptr);
    EXPECT_EQ(LastError(), MEM_BAD_MEM_POOL);
    std::free(bogus);

    uint64_t notABlock[4] = {};
    EXPECT_FALSE(MemFreePtr(&notABlock[2]));
    EXPECT_EQ(LastError(), MEM_BAD_POINTER);
    EXPECT_EQ(MemSizePtr(&notABlock[2]), 0xFFFFFFFFu);

    for (uint32_t size : {40u, 1000u}) {  // small and variable blocks freed twice
        Ptr p = MemAllocPtr(pool_, size, 0);
        ASSERT_TRUE(MemFreePtr(MemAllocPtr(pool_, size, 0)) && MemFreePtr(MemAllocPtr(pool_, 8, 0)));
        Ptr keep = MemAllocPtr(pool_, size, 0);  // keeps the page alive
        EXPECT_TRUE(MemFreePtr(p));
        EXPECT_FALSE(MemFreePtr(p));
        EXPECT_EQ(LastError(), MEM_BAD_FREE_BLOCK);
        MemFreePtr(keep);
    }

    Handle h = MemAlloc(pool_, kMemRelocatable, 32);
    Handle other = MemAlloc(pool_, kMemRelocatable, 32);
    EXPECT_FALSE(MemFreePtr(*h));  // handle data is not a pointer
    EXPECT_EQ(LastError(), MEM_BAD_POINTER);
    EXPECT_TRUE(MemFree(h));
    EXPECT_FALSE(MemFree(h));
    EXPECT_EQ(LastError(), MEM_BAD_HANDLE);
    EXPECT_EQ(MemLock(h), nullptr);
    EXPECT_EQ(MemUnlock(h), 65535u);
    MemFree(other);

    Handle fixed = MemAlloc(pool_, 0, 32);  // not relocatable: cannot be locked
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(MemLock(fixed), nullptr);
    EXPECT_EQ(LastError(), MEM_LOCK_ERROR);
    MemFree(fixed);
}

TEST_F(HeapTest, ErrorTextsAndHandlerReentry) {
    EXPECT_STREQ(MemErrorText(MEM_OUT_OF_MEMORY),
                 "Out of memory.  Please free some memory, then choose retry.");
    EXPECT_STREQ(MemErrorText(MEM_BLOCK_TOO_BIG), "MEM_BLOCK_TOO_BIG");
    EXPECT_STREQ(MemErrorText(MEM_WRONG_TASK), "MEM_WRONG_TASK");
    EXPECT_STREQ(MemErrorText(99), "MEM_INTERNAL_ERROR");

    // A handler that causes an error of its own is not entered again.
    static int calls;
    calls = 0;
    MemSetErrorHandler([](MemErrorRecord*) -> int32_t {
        ++calls;
        MemAllocPtr(MemDefaultPool() ? MemDefaultPool() : nullptr, 0, 0);
        return 0;
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(MemAllocPtr(pool_, 0, 0), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("re-entered"), std::string::npos);
    EXPECT_EQ(calls, 1);
    MemSetErrorHandler(RecordError);

    MemErrorRecord record{MEM_OUT_OF_MEMORY, pool_};
    EXPECT_EQ(MemDefaultErrorHandler(&record), 0);
}

TEST_F(HeapTest, CeilingAndRetry) {
    MemPoolSetCeiling(pool_, Info().totalBytes + 20000);
    Ptr a = MemAllocPtr(pool_, 1000, 0);
    ASSERT_NE(a, nullptr);
    gErrors.clear();
    EXPECT_EQ(MemAllocPtr(pool_, 30000, 0), nullptr);  // external page above the ceiling
    EXPECT_EQ(LastError(), MEM_EXCEEDED_CEILING);

    // A handler asking for a retry gets one after it made room.
    static MemPool sPool;
    static int sCalls;
    sPool = pool_;
    sCalls = 0;
    MemSetErrorHandler([](MemErrorRecord* e) -> int32_t {
        if (e->code != MEM_EXCEEDED_CEILING || sCalls++) return 0;
        MemPoolSetCeiling(sPool, 0xFFFFFFFE);
        return 1;
    });
    Ptr b = MemAllocPtr(pool_, 30000, 0);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(sCalls, 1);
    MemSetErrorHandler(RecordError);
    MemFreePtr(a);
    MemFreePtr(b);
}

TEST_F(HeapTest, HandlesMoveOnResizeWithTheirLocks) {
    Handle h = MemAlloc(pool_, kMemRelocatable, 100);
    Handle wall = MemAlloc(pool_, kMemRelocatable, 100);  // no room to grow in place
    ASSERT_TRUE(h && wall);
    std::memset(*h, 0x5A, 100);
    Ptr locked = MemLock(h);
    ASSERT_NE(locked, nullptr);
    gErrors.clear();
    EXPECT_EQ(MemReAlloc(h, 2000, 0), nullptr);  // locked: may not move
    EXPECT_EQ(LastError(), MEM_RESIZE_FAILED);
    EXPECT_EQ(*h, locked);
    EXPECT_EQ(MemReAlloc(h, 2000, kMemMoveLocked | kMemZeroFill), h);
    EXPECT_NE(*h, locked);
    EXPECT_EQ(MemSizeRequested(h), 2000u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ((*h)[i], 0x5A);
    EXPECT_EQ((*h)[1999], 0);
    EXPECT_EQ(MemUnlock(h), 0u);  // the lock moved with the block
    EXPECT_EQ(MemReAlloc(h, 50, kMemDoNotMove), h);  // shrinking stays in place
    EXPECT_EQ(MemSizeRequested(h), 50u);
    EXPECT_TRUE(MemFree(h));
    EXPECT_TRUE(MemFree(wall));
    EXPECT_EQ(Info().pageKinds, 0u);
}

TEST_F(HeapTest, CompactionSlidesUnlockedBlocksAndKeepsLockedOnes) {
    MemPoolSetPageSize(pool_, 4096);
    std::vector<Handle> hs;
    for (int i = 0; i < 30; ++i) {
        Handle h = MemAlloc(pool_, kMemRelocatable, 96);
        ASSERT_NE(h, nullptr);
        std::memset(*h, i, 96);
        hs.push_back(h);
    }
    Ptr locked = MemLock(hs[5]);
    for (int i = 0; i < 30; i += 2)
        if (i != 4) MemFree(hs[i]);  // leaves holes of one block each
    uint32_t largest = MemPoolCompact(pool_, 1500);
    EXPECT_GE(largest, 1500u);
    EXPECT_EQ(*hs[5], locked);
    for (int i = 1; i < 30; i += 2)
        for (int k = 0; k < 96; ++k) ASSERT_EQ((*hs[i])[k], char(i)) << i;
    EXPECT_EQ((*hs[4])[0], 4);
    MemUnlock(hs[5]);
    for (int i = 1; i < 30; i += 2) MemFree(hs[i]);
    MemFree(hs[4]);
    EXPECT_EQ(Info().pageKinds, 0u);
}

// A handle block finds its entry through the pool's table of entry chunks: entries of every
// chunk (preallocated ones, then the ones made on demand) follow their blocks
// through compaction and resizes.
TEST_F(HeapTest, HandlesOfEveryEntryChunkFollowTheirBlocks) {
    ASSERT_GE(MemPoolPreAllocateHandles(pool_, 4095), 4095u);
    std::vector<Handle> hs;
    for (int i = 0; i < 6000; ++i) {
        Handle h = MemAlloc(pool_, kMemRelocatable, 24 + uint32_t(i % 5) * 8);
        ASSERT_NE(h, nullptr);
        std::memset(*h, i & 0x7F, 24);
        hs.push_back(h);
    }
    for (size_t i = 0; i < hs.size(); i += 2) MemFree(hs[i]);
    MemPoolCompact(pool_, 60000);
    EXPECT_EQ(HeapCheckPool(pool_), 0);
    for (size_t i = 1; i < hs.size(); i += 2) {
        ASSERT_EQ(MemSizeRequested(hs[i]), 24 + uint32_t(i % 5) * 8) << i;
        ASSERT_EQ((*hs[i])[23], char(i & 0x7F)) << i;
        ASSERT_NE(MemReAlloc(hs[i], 200, 0), nullptr) << i;
        ASSERT_EQ((*hs[i])[0], char(i & 0x7F)) << i;
    }
    EXPECT_EQ(HeapCheckPool(pool_), 0);
    for (size_t i = 1; i < hs.size(); i += 2) ASSERT_TRUE(MemFree(hs[i])) << i;
}

// A handle's lock count, requested size and relocatability are kept with its block, variable
// or external, and go with it when it moves.
TEST_F(HeapTest, HandleStateGoesWithItsBlock) {
    for (uint32_t size : {24u, 5000u, 100000u}) {
        for (bool relocatable : {true, false}) {
            SCOPED_TRACE(testing::Message() << size << (relocatable ? " relocatable" : " fixed"));
            Handle h = MemAlloc(pool_, relocatable ? kMemRelocatable : 0, size);
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(MemSizeRequested(h), size);
            std::memset(*h, 0x5A, size);
            if (relocatable) {
                ASSERT_NE(MemLock(h), nullptr);
                ASSERT_NE(MemLock(h), nullptr);
                ASSERT_NE(MemReAlloc(h, size * 3, kMemMoveLocked), nullptr);
                EXPECT_EQ(MemUnlock(h), 1u);
                ASSERT_NE(MemReAlloc(h, size / 2, 0), nullptr);
                EXPECT_EQ(MemUnlock(h), 0u);
            } else {
                EXPECT_EQ(MemLock(h), nullptr);
                EXPECT_EQ(LastError(), MEM_LOCK_ERROR);
                ASSERT_NE(MemReAlloc(h, size * 3, kMemMoveLocked), nullptr);
                ASSERT_NE(MemReAlloc(h, size / 2, kMemMoveLocked), nullptr);
            }
            EXPECT_EQ(MemSizeRequested(h), size / 2);
            EXPECT_EQ((*h)[size / 2 - 1], 0x5A);
            EXPECT_EQ(HeapCheckPool(pool_), 0);
            EXPECT_TRUE(MemFree(h));
            EXPECT_FALSE(MemFree(h));
            EXPECT_EQ(LastError(), MEM_BAD_HANDLE);
        }
    }
}

TEST_F(HeapTest, PreAllocationAndQueries) {
    EXPECT_EQ(MemPoolPreAllocate(pool_, 40000, kMemRelocatablePages), 49152u);
    EXPECT_EQ(Info().pageKinds, kMemRelocatablePages);
    EXPECT_GE(MemPoolPreAllocateHandles(pool_, 5000), 5000u);
    MemPoolSetBlockSizeFS(pool_, 0);
    EXPECT_EQ(MemPoolPreAllocate(pool_, 100, kMemFixedPages), 0u);
    EXPECT_EQ(LastError(), MEM_ALLOC_ZERO);
    EXPECT_EQ(MemAllocFS(pool_), nullptr);

    Ptr p = MemAllocPtr(pool_, 600, 0);
    MemPoolInfoRecord info{};
    ASSERT_TRUE(MemPoolInfo(nullptr, p, &info));
    EXPECT_EQ(info.pool, pool_);
    EXPECT_EQ(info.flags, kMemPoolStandardFlags);
    EXPECT_EQ(info.ceiling, 0xFFFFFFFEu);
    EXPECT_EQ(info.errorHandler, &RecordError);
    EXPECT_EQ(MemPoolSetFloor(pool_, 0xFFFFFFFF), 0xFFFFFFFFu);  // above the ceiling
    MemFreePtr(p);

    EXPECT_EQ(MemInitDefaultPool(), MemInitDefaultPool());
    EXPECT_EQ(MemDefaultPool(), MemInitDefaultPool());
}

// A randomized run over every block class checked against a model of what each block holds.
TEST_F(HeapTest, StressAgainstReferenceModel) {
    enum Kind { kPtr, kFixedPtr, kHandle };
    struct Item {
        Kind kind;
        Ptr p;
        Handle h;
        uint32_t size;
        uint8_t seed;
        bool relocatable;
        int locks;
        Ptr lockedAt;  // where a locked or non-relocatable handle's data must stay
        bool pinned() const { return kind == kHandle && (locks || !relocatable); }
    };
    std::mt19937 rng(test::TestSeed());
    auto rnd = [&](uint32_t n) { return uint32_t(rng() % n); };
    auto data = [](const Item& it) { return it.kind == kHandle ? *it.h : it.p; };
    auto fill = [&](Item& it, uint32_t from) {
        char* d = data(it);
        for (uint32_t i = from; i < it.size; ++i) d[i] = char(it.seed + i * 7);
    };
    auto intact = [&](const Item& it, uint32_t upTo) {
        const char* d = data(it);
        for (uint32_t i = 0; i < upTo; ++i)
            if (d[i] != char(it.seed + i * 7)) return false;
        return true;
    };
    auto randomSize = [&]() -> uint32_t {
        uint32_t r = rnd(100);
        if (r < 55) return 1 + rnd(246);    // small
        if (r < 95) return 247 + rnd(1800); // variable
        return 2100 + rnd(12000);           // external (page size 8192: threshold 2048)
    };

    MemPoolSetPageSize(pool_, 8192);
    MemPoolSetBlockSizeFS(pool_, 48);
    const uint32_t floor = 32 * 8192;
    MemPoolSetFloor(pool_, floor);
    std::vector<Item> items;
    const uint64_t ops = test::StressCount(100000);
    uint32_t ceilingUntil = 0;
    for (uint64_t op = 0; op < ops; ++op) {
        if (op % 20000 == 10000) {  // a stretch under a ceiling: allocation compacts or fails
            MemPoolSetCeiling(pool_, Info().totalBytes + 8192);
            ceilingUntil = uint32_t(op + 1500);
        } else if (ceilingUntil && op == ceilingUntil) {
            MemPoolSetCeiling(pool_, 0xFFFFFFFE);
            ceilingUntil = 0;
        }
        gErrors.clear();
        if (op % 1000 == 0) {
            ASSERT_EQ(HeapCheckPool(pool_), 0) << op;
        }
        uint32_t choice = rnd(100);
        if (items.size() > 1200) choice = 90;  // keep the live set bounded
        if (choice < 30 || items.empty()) {
            Item it{};
            it.seed = uint8_t(rng());
            uint32_t how = rnd(10);
            if (how < 2) {
                it.kind = kFixedPtr;
                it.size = 48;
                it.p = MemAllocFS(pool_);
            } else if (how < 5) {
                it.kind = kPtr;
                it.size = randomSize();
                it.p = MemAllocPtr(pool_, it.size, rnd(2) ? kMemZeroFill : 0);
                if (it.p) {
                    ASSERT_GE(MemSizePtr(it.p), it.size);
                }
            } else {
                it.kind = kHandle;
                it.size = randomSize();
                it.relocatable = rnd(10) != 0;
                it.h = MemAlloc(pool_, it.relocatable ? kMemRelocatable : 0, it.size);
                if (it.h) {
                    ASSERT_EQ(MemSizeRequested(it.h), it.size);
                    it.lockedAt = *it.h;
                }
            }
            if (!it.p && !it.h) {
                ASSERT_TRUE(ceilingUntil) << "allocation failed without a ceiling, op " << op;
                continue;
            }
            fill(it, 0);
            items.push_back(it);
            continue;
        }
        size_t at = rnd(uint32_t(items.size()));
        Item& it = items[at];
        if (choice < 50) {  // resize
            if (it.kind == kFixedPtr) continue;
            uint32_t size = randomSize();
            uint32_t keep = std::min(size, it.size);
            if (it.kind == kPtr) {
                Ptr q = MemReAllocPtr(it.p, size, 0);
                if (!q) {
                    ASSERT_TRUE(ceilingUntil) << op;
                    ASSERT_TRUE(intact(it, it.size));
                    continue;
                }
                it.p = q;
            } else {
                Ptr before = *it.h;
                uint32_t flags = it.pinned() && rnd(2) ? kMemMoveLocked : 0;
                if (!MemReAlloc(it.h, size, flags)) {
                    ASSERT_TRUE(ceilingUntil || (it.pinned() && !flags)) << op;
                    ASSERT_EQ(*it.h, before);
                    ASSERT_TRUE(intact(it, it.size));
                    continue;
                }
                if (it.pinned() && !flags) {
                    ASSERT_EQ(*it.h, before);
                }
                it.lockedAt = *it.h;
                ASSERT_EQ(MemSizeRequested(it.h), size);
            }
            ASSERT_TRUE(intact(it, keep)) << op;
            it.size = size;
            fill(it, keep);
        } else if (choice < 62) {  // lock
            if (it.kind != kHandle || it.locks >= 3) continue;
            Ptr p = MemLock(it.h);
            if (!p) {
                ASSERT_EQ(LastError(), MEM_LOCK_ERROR);  // not relocatable
                continue;
            }
            if (it.locks == 0) it.lockedAt = p;
            ASSERT_EQ(p, it.lockedAt);
            ASSERT_TRUE(it.relocatable);
            ++it.locks;
        } else if (choice < 72) {  // unlock
            if (it.kind != kHandle || it.locks == 0) continue;
            ASSERT_EQ(*it.h, it.lockedAt);
            ASSERT_EQ(MemUnlock(it.h), uint32_t(--it.locks));
        } else if (choice < 74) {  // forced compaction
            MemPoolCompact(pool_, 256 + rnd(4000));
            ASSERT_EQ(HeapCheckPool(pool_), 0) << op;
            for (const Item& x : items) {
                if (x.pinned()) {
                    ASSERT_EQ(*x.h, x.lockedAt) << op;
                }
                ASSERT_TRUE(intact(x, x.size)) << op;
            }
        } else {  // free
            ASSERT_TRUE(intact(it, it.size)) << op;
            if (it.kind == kHandle) {
                if (it.pinned()) {
                    ASSERT_EQ(*it.h, it.lockedAt);
                }
                ASSERT_TRUE(MemFree(it.h));
            } else {
                ASSERT_TRUE(MemFreePtr(it.p));
            }
            items[at] = items.back();
            items.pop_back();
        }
    }
    for (const Item& it : items) {
        ASSERT_TRUE(intact(it, it.size));
        ASSERT_TRUE(it.kind == kHandle ? MemFree(it.h) : MemFreePtr(it.p));
    }
    // Empty pages went back down to the floor: a page still kept could not be given back
    // without taking the total below the floor.
    MemPoolInfoRecord info = Info();
    EXPECT_NE(info.pageKinds, 0u);
    EXPECT_LT(info.totalBytes, floor + 8192);
    EXPECT_EQ(HeapCheckPool(pool_), 0);
}

#if defined(PLEXA_SANITIZE) || defined(__SANITIZE_ADDRESS__)
TEST(HeapDeathTest, UseAfterFreeInsideAPoolIsReported) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MemPool pool = MemPoolInit(kMemPoolStandardFlags);
    struct Case {
        const char* name;
        std::function<volatile char*(MemPool)> freed;
    };
    const Case cases[] = {
        {"small", [](MemPool p) {
             Ptr keep = MemAllocPtr(p, 40, 0);
             (void)keep;
             Ptr x = MemAllocPtr(p, 40, 0);
             MemFreePtr(x);
             return static_cast<volatile char*>(x + 8);
         }},
        {"variable", [](MemPool p) {
             Ptr keep = MemAllocPtr(p, 1000, 0);
             (void)keep;
             Ptr x = MemAllocPtr(p, 1000, 0);
             MemFreePtr(x);
             return static_cast<volatile char*>(x);
         }},
        {"fixed-size", [](MemPool p) {
             Ptr keep = MemAllocFS(p);
             (void)keep;
             Ptr x = MemAllocFS(p);
             MemFreePtr(x);
             return static_cast<volatile char*>(x + 20);
         }},
        {"handle", [](MemPool p) {
             Handle keep = MemAlloc(p, kMemRelocatable, 500);
             (void)keep;
             Handle h = MemAlloc(p, kMemRelocatable, 500);
             Ptr x = *h;
             MemFree(h);
             return static_cast<volatile char*>(x + 100);
         }},
        {"deleted page", [](MemPool) {
             MemPool own = MemPoolInit(kMemPoolStandardFlags);  // floor 0: the page goes at once
             Ptr x = MemAllocFS(own);
             MemFreePtr(x);
             return static_cast<volatile char*>(x + 20);
         }},
        {"handle entry", [](MemPool p) {
             Handle h = MemAlloc(p, kMemRelocatable, 500);
             MemFree(h);
             return reinterpret_cast<volatile char*>(h);  // the master pointer itself
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DEATH(
            {
                volatile char* stale = c.freed(pool);
                *stale = 1;
            },
            "AddressSanitizer: use-after-poison");
    }
    MemPoolFree(pool);
}
#endif

}  // namespace
}  // namespace plexa
