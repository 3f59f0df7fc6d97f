// The stored form of DA arrays: round trips of every array shape, a byte-exact fixture in both
// byte orders, the old form, widening on read, and damaged input.
#include "foundation/da_stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>
#include <random>
#include <string>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

struct Part {
    int32_t a;
    int16_t b, c;
    char name[8];
};
static_assert(sizeof(Part) == 16);
constexpr const char* kPartSwap = "L W2 B8";

Part MakePart(int32_t i) {
    Part p{};
    p.a = 0x01020304 + i;
    p.b = int16_t(0x0506 + i);
    p.c = 0x0708;
    std::snprintf(p.name, sizeof p.name, "n%d", int(uint32_t(i) % 1000000u));  // at most six digits: fits
    return p;
}

// Stream helpers over a handle.
struct Buffer {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
    explicit Buffer(const std::string& bytes = {}) {
        handle = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream), 0);
    }
    ~Buffer() {
        DisposeStream(stream);
        MemFree(handle);
    }
    std::string bytes() const { return std::string(*handle, SizeOfHandle(handle)); }
};

// Hand-written stored bytes.
struct Bytes {
    std::string s;
    Bytes& be(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char(v >> shift));
        return *this;
    }
    Bytes& raw(const void* p, size_t n) {
        s.append(static_cast<const char*>(p), n);
        return *this;
    }
    Bytes& zeros(size_t n) {
        s.append(n, '\0');
        return *this;
    }
};

void PutBE(std::string& s, size_t offset, uint32_t v) {
    for (int k = 0; k < 4; ++k) s[offset + k] = char(v >> (24 - 8 * k));
}

// Every physical slot, the map and the header fields that the stored form keeps must agree.
void ExpectSameArray(DAArray a, DAArray b) {
    const DAHeader* x = *a;
    const DAHeader* y = *b;
    ASSERT_EQ(x->count, y->count);
    ASSERT_EQ(x->idLimit, y->idLimit);
    ASSERT_EQ(x->flags | ((x->flags & kDAPacked) ? kDASorted : 0), y->flags);
    ASSERT_EQ(x->itemsPerCluster, y->itemsPerCluster);
    ASSERT_EQ(x->clusterCount, y->clusterCount);
    EXPECT_EQ(uint32_t(x->refCon), y->refCon);
    for (int32_t id = 0; id < x->idLimit; ++id) {
        ASSERT_EQ(DAIsFreePhysicalId(a, id), DAIsFreePhysicalId(b, id)) << id;
        if (DAIsFreePhysicalId(a, id)) continue;
        const char* p = DAPhysicalGetAddress(a, id, false);
        const char* q = DAPhysicalGetAddress(b, id, false);
        ASSERT_TRUE(p && q);
        ASSERT_EQ(std::memcmp(p, q, x->itemSize), 0) << id;
    }
    for (int32_t id = 0; id < x->count; ++id) {
        int32_t p = id, q = id;
        DAGetPhysicalId(a, &p);
        DAGetPhysicalId(b, &q);
        ASSERT_EQ(p, q);
    }
}

class DAStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(status::kNoErr, InitMemoryManager(-1)); }
};

int ComparePartsByA(const void* a, const void* b) {
    const int32_t x = static_cast<const Part*>(a)->a, y = static_cast<const Part*>(b)->a;
    return x < y ? -1 : x > y;
}

// Item procedures: each item writes its name after the array and reads it back, and swaps its
// own fields when the stream says the writer had the other byte order.
void WriteName(DAArray, int32_t, DALoopRecord* loop) {
    Signal(StreamWriteString(DALoopStream(loop), loop->address + offsetof(Part, name)));
}
void ReadName(DAArray, int32_t, DALoopRecord* loop) {
    char name[8];
    Signal(StreamReadString(DALoopStream(loop), name, sizeof name));
    if (std::strcmp(name, loop->address + offsetof(Part, name)) != 0) FailureSignal(status::kParamErr);
}
void SwapPart(DAArray, int32_t, DALoopRecord* loop) {
    if (DALoopStream(loop)->flags & kStreamSwapOnRead) ByteSwapTemplate(loop->address, kPartSwap);
}

TEST_F(DAStreamTest, RoundTripKeepsIdsForEveryShape) {
    struct Shape { const char* name; uint32_t flags; int32_t perCluster; };
    const Shape shapes[] = {
        {"plain", 0, 0},          {"small clusters", 0, 5},
        {"sorted", kDASorted, 7}, {"logical", kDALogicalIds, 0},
        {"packed", kDAPacked, 0}, {"stride 2", kDAStride2, 3},
        {"grow by slot", kDAGrowBySlot, 4}, {"fixed", kDAFixed, 6},
    };
    std::mt19937 rng(test::TestSeed());
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        DAArray array = DACreate(nullptr, sizeof(Part), shape.perCluster, shape.flags);
        ASSERT_NE(array, nullptr);
        DASetCompareProc(array, ComparePartsByA);
        DASetRefCon(array, 0xFEEDFACE12345678ull);
        for (int32_t i = 0; i < 40; ++i) {
            Part p = MakePart(int32_t(rng() % 1000));
            DAAdd(array, &p);
        }
        for (int i = 0; i < 15 && DACount(array) > 0; ++i) DARemove(array, int32_t(rng() % uint32_t(DACount(array))));

        Buffer out;
        ASSERT_EQ(DAWrite(array, out.stream, WriteName), 0);
        EXPECT_EQ(out.stream->flags & kStreamBigEndianHandles, 0);
        Buffer in(out.bytes());
        DAArray back = nullptr;
        ASSERT_EQ(DARead(nullptr, &back, in.stream, ReadName), 0);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
        ExpectSameArray(array, back);

        // The rebuilt free list serves new items.
        Part p = MakePart(5000);
        DASetCompareProc(back, ComparePartsByA);
        const int32_t count = DACount(back);
        EXPECT_GE(DAAdd(back, &p), 0);
        EXPECT_EQ(DACount(back), count + 1);
        DADispose(back);
        DADispose(array);
    }
}

// Slots 0-2 used, 3-4 free and 5 used in one cluster of 6; item bodies big-endian or little-endian.
std::string Fixture(bool bigEndianItems) {
    Bytes b;
    b.be(uint32_t(-2)).be(72);
    const uint32_t words[18] = {16, 20, 4, 6, 6, 1, 0xFFFFFFFF, 0, 0, 0, 0, 0x00ABCDEF};
    for (uint32_t w : words) b.be(w);
    auto slot = [&](int32_t i) {
        Part p = MakePart(i);
        if (bigEndianItems != (std::endian::native == std::endian::big)) ByteSwapTemplate(&p, kPartSwap);
        b.raw(&p, sizeof p).zeros(4);  // 3 bytes of padding and the status byte
    };
    b.be(6).be(3);
    for (int32_t i = 0; i < 3; ++i) slot(i);
    b.be(uint32_t(-2)).be(1);
    slot(5);
    return b.s;
}

DAArray FixtureArray() {
    DAArray array = DACreate(nullptr, sizeof(Part), 6, 0);
    for (int32_t i = 0; i < 6; ++i) {
        Part p = MakePart(i);
        EXPECT_EQ(DAAdd(array, &p), i);
    }
    DARemove(array, 3);
    DARemove(array, 4);
    DASetRefCon(array, 0x1234567800ABCDEFull);
    return array;
}

TEST_F(DAStreamTest, ByteExactFixture) {
    DAArray array = FixtureArray();
    Buffer out;
    ASSERT_EQ(DAWrite(array, out.stream, nullptr), 0);
    EXPECT_TRUE(out.bytes() == Fixture(std::endian::native == std::endian::big));
    EXPECT_EQ(out.bytes().size(), 80u + 8 + 3 * 20 + 4 + 4 + 20);
    DADispose(array);
}

TEST_F(DAStreamTest, ReadsEitherByteOrder) {
    DAArray expected = FixtureArray();
    for (bool otherOrder : {false, true}) {
        SCOPED_TRACE(otherOrder ? "other order" : "native order");
        const bool bigItems = (std::endian::native == std::endian::big) != otherOrder;
        Buffer in(Fixture(bigItems));
        EnableStreamReadByteSwap(in.stream, otherOrder);
        DAArray back = nullptr;
        ASSERT_EQ(DARead(nullptr, &back, in.stream, SwapPart), 0);
        ExpectSameArray(expected, back);
        EXPECT_EQ(DAGetRefCon(back), 0x00ABCDEFu);
        DADispose(back);
    }
    DADispose(expected);
}

TEST_F(DAStreamTest, EmptyArraysOldAndLongerHeaders) {
    for (uint32_t flags : {0u, uint32_t(kDALogicalIds)}) {
        DAArray array = DACreate(nullptr, 4, 0, flags);
        Buffer out;
        ASSERT_EQ(DAWrite(array, out.stream, nullptr), 0);
        const std::string bytes = out.bytes();
        EXPECT_EQ(bytes.size(), flags ? 80u + 4 + 64 * 4 : 80u);

        // The old form: no mark or size word, 48 header bytes, the map length in native order.
        std::string old = bytes.substr(8, 48);
        if (flags) {
            const int32_t length = 256;
            old.append(reinterpret_cast<const char*>(&length), 4);
            old += bytes.substr(84);
        }
        // A longer header from a later writer: the words beyond the known 18 are skipped.
        std::string longer = bytes.substr(0, 80) + std::string(8, '\x55') + bytes.substr(80);
        PutBE(longer, 4, 80);
        for (const std::string& form : {bytes, old, longer}) {
            Buffer in(form);
            DAArray back = nullptr;
            ASSERT_EQ(DARead(nullptr, &back, in.stream, nullptr), 0);
            ExpectSameArray(array, back);
            EXPECT_EQ(GetStreamPosition(in.stream), int32_t(form.size()));
            DADispose(back);
        }
        DADispose(array);
    }
}

// Old files may have slots of an item and its status byte only (4 + 1, rounded to 8): they are
// read, and widened to the current slot layout with the same ids.
TEST_F(DAStreamTest, OldFormWithNarrowSlots) {
    Bytes b;
    const uint32_t words[12] = {4, 8, 3, 5, 100, 1, 0xFFFFFFFF, 0, 0, 0, 0, 7};
    for (uint32_t w : words) b.be(w);
    b.be(5).be(2);
    for (int32_t v : {10, 11}) b.raw(&v, 4).zeros(4);
    b.be(uint32_t(-2)).be(1);
    const int32_t last = 14;
    b.raw(&last, 4).zeros(4);
    Buffer in(b.s);
    DAArray back = nullptr;
    ASSERT_EQ(DARead(nullptr, &back, in.stream, nullptr), 0);
    EXPECT_EQ((*back)->stride, 12u);
    EXPECT_EQ(DACount(back), 3);
    for (int32_t id : {0, 1, 4}) {
        int32_t v = 0;
        ASSERT_TRUE(DAGet(back, id, &v));
        EXPECT_EQ(v, id == 4 ? 14 : 10 + id);
    }
    EXPECT_TRUE(DAIsFreeId(back, 2) && DAIsFreeId(back, 3));
    int32_t v = 99;
    EXPECT_EQ(DAAdd(back, &v), 2);  // the rebuilt free list starts at the lowest free slot
    DADispose(back);
}

// A packed array stored without its one cluster (the stored form allows a cluster count of 0)
// reads as an empty packed array that takes items, in either form; with a slot counted it is
// refused.
TEST_F(DAStreamTest, APackedArrayStoredWithoutAClusterReadsEmpty) {
    const auto header = [](uint32_t idLimit, uint32_t count) {
        Bytes b;
        const uint32_t words[12] = {4, 4, count, idLimit, 0, 0, 0xFFFFFFFF, 0, kDAPacked | kDASorted, 0, 0, 9};
        for (uint32_t w : words) b.be(w);
        return b.s;
    };
    const std::string current = Bytes().be(uint32_t(-2)).be(72).s + header(0, 0) + std::string(24, '\0');
    const struct {
        const char* name;
        std::string bytes;
        OSStatus expect;
    } cases[] = {
        {"current form", current, status::kNoErr},
        {"old form", header(0, 0), status::kNoErr},
        {"a slot and no cluster", header(1, 0), status::kParamErr},
        {"an item and no cluster", header(1, 1), status::kParamErr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer in(c.bytes);
        DAArray back = nullptr;
        ASSERT_EQ(DARead(nullptr, &back, in.stream, nullptr), c.expect);
        if (c.expect != status::kNoErr) {
            EXPECT_EQ(back, nullptr);
            continue;
        }
        EXPECT_EQ(GetStreamPosition(in.stream), int32_t(c.bytes.size()));
        EXPECT_EQ(DACount(back), 0);
        EXPECT_EQ((*back)->clusterCount, 1);
        EXPECT_EQ(DAGetRefCon(back), 9u);
        for (int32_t v : {30, 10, 20}) DAAdd(back, &v);
        for (int32_t id = 0; id < 3; ++id) {
            int32_t v = 0;
            ASSERT_TRUE(DAGet(back, id, &v));
            EXPECT_EQ(v, 10 * (id + 1));
        }
        // Written again, it has its cluster.
        Buffer out;
        ASSERT_EQ(DAWrite(back, out.stream, nullptr), 0);
        Buffer again(out.bytes());
        DAArray reread = nullptr;
        ASSERT_EQ(DARead(nullptr, &reread, again.stream, nullptr), 0);
        ExpectSameArray(back, reread);
        DADispose(reread);
        DADispose(back);
    }
}

TEST_F(DAStreamTest, ReadingWidensItems) {
    DAArray array = DACreate(nullptr, 8, 0, 0);
    for (int32_t i = 0; i < 5; ++i) {
        int64_t v = 1000 + i;
        DAAdd(array, &v);
    }
    DARemove(array, 2);
    Buffer out;
    ASSERT_EQ(DAWrite(array, out.stream, nullptr), 0);
    Buffer in(out.bytes());
    DAArray back = nullptr;
    ASSERT_EQ(DAReadEx(nullptr, &back, 12, in.stream, nullptr), 0);
    EXPECT_EQ((*back)->itemSize, 12u);
    for (int32_t id : {0, 1, 3, 4}) {
        char item[12];
        ASSERT_TRUE(DAGet(back, id, item));
        int64_t v;
        std::memcpy(&v, item, 8);
        EXPECT_EQ(v, 1000 + id);
        EXPECT_EQ(std::string(item + 8, 4), std::string(4, '\0'));
    }
    EXPECT_TRUE(DAIsFreeId(back, 2));
    DADispose(back);
    DADispose(array);
}

// A sorted array's stored bytes, for damaging its map.
std::string SortedBytes() {
    DAArray array = DACreate(nullptr, sizeof(Part), 4, kDASorted);
    DASetCompareProc(array, ComparePartsByA);
    for (int32_t i : {5, 1, 4, 2, 3}) {
        Part p = MakePart(i);
        DAAdd(array, &p);
    }
    DARemove(array, 1);
    Buffer out;
    EXPECT_EQ(DAWrite(array, out.stream, nullptr), 0);
    DADispose(array);
    return out.bytes();
}

TEST_F(DAStreamTest, DamagedHeadersAreRejected) {
    constexpr size_t kWord = 8;          // offset of header word 0
    constexpr size_t kCluster = 80;      // the fixture's slot count
    constexpr size_t kFirstRun = 84;
    constexpr size_t kSecondRun = 84 + 4 + 60;
    constexpr size_t kMap = 80;          // the sorted array's map length
    struct Case {
        const char* name;
        bool sorted;
        size_t offset;
        uint32_t value;
        OSStatus expect;
    };
    const Case cases[] = {
        {"header size short", false, 4, 40, status::kParamErr},
        {"header size past the end", false, 4, 100000, status::kParamErr},
        {"item size 0", false, kWord + 0, 0, status::kParamErr},
        {"stride below the item", false, kWord + 4, 12, status::kParamErr},
        {"stride not rounded", false, kWord + 4, 22, status::kParamErr},
        {"stride too large", false, kWord + 4, 70000, status::kParamErr},
        {"count above live slots", false, kWord + 8, 5, status::kParamErr},
        {"count above id limit", false, kWord + 8, 7, status::kParamErr},
        {"count negative", false, kWord + 8, 0xFFFFFFFF, status::kParamErr},
        {"id limit wrong", false, kWord + 12, 7, status::kParamErr},
        {"no slots per cluster", false, kWord + 16, 0, status::kParamErr},
        {"slots beyond the cluster size", false, kWord + 16, 5, status::kParamErr},
        {"4088 clusters", false, kWord + 20, 4088, status::kParamErr},
        {"negative clusters", false, kWord + 20, 0xFFFFFFFF, status::kParamErr},
        {"unknown flag", false, kWord + 32, 0x10, status::kParamErr},
        {"packed with logical ids", false, kWord + 32, kDAPacked | kDALogicalIds, status::kParamErr},
        {"sorted without logical ids", false, kWord + 32, kDASorted, status::kParamErr},
        {"packed with free slots", false, kWord + 32, kDAPacked, status::kParamErr},
        {"packed and fixed", false, kWord + 32, kDAPacked | kDAFixed, status::kParamErr},
        {"slot count huge", false, kCluster, 0x7FFFFFFF, status::kParamErr},
        {"run past the cluster", false, kFirstRun, 7, status::kParamErr},
        {"empty run", false, kFirstRun, 0, status::kParamErr},
        {"free run past the cluster", false, kSecondRun, uint32_t(-3), status::kParamErr},
        {"most negative run", false, kSecondRun, 0x80000000, status::kParamErr},
        {"map length odd", true, kMap, 255, status::kParamErr},
        {"map too small", true, kMap, 4, status::kParamErr},
        {"map length huge", true, kMap, 0x7FFFFFF0, status::kEndOfFile},
        {"map entry beyond id limit", true, kMap + 4, 8, status::kParamErr},
        {"map entry negative", true, kMap + 4, uint32_t(-1), status::kParamErr},
        {"map entry on a free slot", true, kMap + 4, 6, status::kParamErr},
        {"map entries twice", true, kMap + 4 + 4, 0, status::kParamErr},
    };
    const std::string plain = Fixture(false), sorted = SortedBytes();
    // In a pool with a small ceiling: a check that comes only after the allocation it guards
    // makes the case run into the ceiling.
    test::CappedPool capped;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = c.sorted ? sorted : plain;
        ASSERT_LT(c.offset + 4, bytes.size());
        PutBE(bytes, c.offset, c.value);
        Buffer in(bytes);
        const uint16_t flags = in.stream->flags;
        DAArray back = reinterpret_cast<DAArray>(1);
        capped.clear();
        EXPECT_EQ(DARead(capped.pool(), &back, in.stream, nullptr), c.expect);
        EXPECT_FALSE(capped.hitCeiling());
        EXPECT_EQ(back, nullptr);
        EXPECT_EQ(in.stream->flags, flags);
    }
}

// Inputs found by fuzzing; their first byte is the fuzz target's options byte, the stored array
// follows.
std::string FuzzInput(const char* hex) { return test::Hex(hex).substr(1); }

// One cluster of 0x0AAAAAAA free slots of 12 bytes (2 GB of memory) in 88 stored bytes.
constexpr const char* kHugeFreeRun =
    "00fffffffe00000048000000040000000c000000000aaaaaaa0aaaaaaa0000000100000000000000000000000000"
    "00000000000000000000000000000000000000000000000000000000000000000000000aaaaaaaf5555556";

// Two clusters of two slots: the first holds no slot, the second the item at id 2. The array
// code never makes a short cluster before the last one, and compacting it wrote past the first.
constexpr const char* kShortFirstCluster =
    "00fffffffe00000048000000080000000c00000001000000030000000200000002000000000000000000000000"
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000001"
    "00000001414243444546474800000000";

// Free slots cannot claim more memory than the stored bytes can hold, and a cluster before the
// last one must be full; both are refused before anything is allocated for them.
TEST_F(DAStreamTest, FuzzedFormsAreRefused) {
    test::CappedPool capped;
    const struct {
        const char* name;
        const char* hex;
    } cases[] = {{"huge free run", kHugeFreeRun}, {"short first cluster", kShortFirstCluster}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer in(FuzzInput(c.hex));
        DAArray back = reinterpret_cast<DAArray>(1);
        EXPECT_EQ(DARead(capped.pool(), &back, in.stream, nullptr), status::kParamErr);
        EXPECT_EQ(back, nullptr);
    }
    EXPECT_FALSE(capped.hitCeiling());
}

// Arrays whose clusters are of the default size read back whatever their free slots: a single
// item left at the end of many freed clusters, and clusters that are free throughout.
TEST_F(DAStreamTest, SparseArraysOfDefaultClustersStillRead) {
    for (bool keepLast : {true, false}) {
        SCOPED_TRACE(keepLast ? "one item left" : "nothing left");
        DAArray array = DACreate(nullptr, 4, 0, 0);
        const int32_t n = 4 * (65400 / 12) + 7;
        for (int32_t i = 0; i < n; ++i) DAAdd(array, &i);
        for (int32_t i = 0; i < n - (keepLast ? 1 : 0); ++i) DARemove(array, i);
        Buffer out;
        ASSERT_EQ(DAWrite(array, out.stream, nullptr), 0);
        EXPECT_LT(out.bytes().size(), 200u);
        Buffer in(out.bytes());
        DAArray back = nullptr;
        ASSERT_EQ(DARead(nullptr, &back, in.stream, nullptr), 0);
        ExpectSameArray(array, back);
        DADispose(back);
        DADispose(array);
    }
}

void FailItem(DAArray, int32_t, DALoopRecord*) { FailureSignal(status::kNotFound); }

// A failing stream or item procedure ends the write or read with its code; the written array is
// left unlocked and a half-read one is freed.
TEST_F(DAStreamTest, FailuresComeBackAsCodes) {
    DAArray array = FixtureArray();
    StreamRecord* noStorage = nullptr;
    ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(nullptr), &noStorage), 0);
    EXPECT_EQ(DAWrite(array, noStorage, nullptr), status::kOutOfMemory);
    DisposeStream(noStorage);
    Buffer out;
    EXPECT_EQ(DAWrite(array, out.stream, FailItem), status::kNotFound);
    EXPECT_EQ((*array)->Clusters()[0].lockCount, 0);

    Buffer in(Fixture(std::endian::native == std::endian::big));
    DAArray back = nullptr;
    EXPECT_EQ(DARead(nullptr, &back, in.stream, FailItem), status::kNotFound);
    EXPECT_EQ(back, nullptr);
    DADispose(array);
}

TEST_F(DAStreamTest, TruncatedFormsEndWithAStatus) {
    test::CappedPool capped;
    for (const std::string& whole : {Fixture(false), SortedBytes()}) {
        for (size_t length = 0; length < whole.size(); ++length) {
            Buffer in(whole.substr(0, length));
            DAArray back = nullptr;
            EXPECT_NE(DARead(capped.pool(), &back, in.stream, nullptr), 0) << length;
            EXPECT_EQ(back, nullptr);
        }
    }
    EXPECT_FALSE(capped.hitCeiling());
}

// Random damage: a read either fails with nothing built or gives an array that works, and never
// takes more memory than the bound on slots without stored bytes allows (8 KB a stored byte),
// besides the array's own bookkeeping.
TEST_F(DAStreamTest, RandomDamageNeverCrashes) {
    const std::string sources[] = {Fixture(false), SortedBytes()};
    test::CappedPool capped(uint32_t(8192 * std::max(sources[0].size(), sources[1].size())) + (1u << 20));
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(3000);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = sources[round % 2];
        const int flips = 1 + int(rng() % 4);
        for (int k = 0; k < flips; ++k) bytes[rng() % bytes.size()] = char(rng());
        Buffer in(bytes);
        DAArray back = nullptr;
        const OSStatus st = DARead(capped.pool(), &back, in.stream, nullptr);
        ASSERT_FALSE(capped.hitCeiling()) << round;
        if (st != 0) {
            ASSERT_EQ(back, nullptr);
            continue;
        }
        int32_t id = -1, live = 0;
        char* address;
        while (DANextAddress(back, &id, &address)) ++live;
        EXPECT_EQ(live, DACount(back));
        // A damaged header may give the array another item size: the item added (and read by the
        // compare procedure) must be at least that big.
        const Part p = MakePart(1);
        std::vector<char> item(std::max<size_t>((*back)->itemSize, sizeof p), 0);
        std::memcpy(item.data(), &p, sizeof p);
        DASetCompareProc(back, ComparePartsByA);
        EXPECT_GE(DAAdd(back, item.data()), 0);
        DADispose(back);
    }
}

}  // namespace
}  // namespace plexa
