#include "foundation/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/signals.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

class MemoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(InitMemoryManager(-1), 0); }
};

// Stops a pool from taking any further page from the system.
MemPool Starve(MemPool pool) {
    MemPoolInfoRecord info{};
    if (pool && MemPoolInfo(pool, nullptr, &info)) MemPoolSetCeiling(pool, info.totalBytes);
    return pool;
}

std::string Contents(Handle h) {
    return std::string(*h, SizeOfHandle(h));
}

// '_' in expected contents stands for a zero byte.
std::string Zeros(std::string s) {
    std::replace(s.begin(), s.end(), '_', '\0');
    return s;
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

TEST_F(MemoryTest, InitSetsGeneralAndCurrentPool) {
    EXPECT_NE(gGenPool, nullptr);
    EXPECT_EQ(gCurrentPool, gGenPool);
    EXPECT_EQ(gGenPool, MemDefaultPool());
    MemPoolInfoRecord info{};
    ASSERT_TRUE(MemPoolInfo(gGenPool, nullptr, &info));
    EXPECT_EQ(info.pageSize, 65535u);
    EXPECT_EQ(InitMemoryManager(-1), 0);  // a second call changes nothing
    EXPECT_EQ(gCurrentPool, gGenPool);
}

TEST_F(MemoryTest, PointersKnowTheirRequestedSize) {
    Ptr p = AllocPtr(nullptr, 10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(SizeOfPtr(p), 10u);
    std::memcpy(p, "0123456789", 10);
    ASSERT_TRUE(ResizePtr(&p, 300));
    EXPECT_EQ(SizeOfPtr(p), 300u);
    EXPECT_EQ(std::memcmp(p, "0123456789", 10), 0);
    EXPECT_EQ(GetPtrPool(p), gGenPool);
    MemFreePtr(p);

    // Small, variable and external blocks.
    for (uint32_t size : {0u, 1u, 7u, 245u, 246u, 247u, 1000u, 16383u, 16384u, 100000u}) {
        SCOPED_TRACE(size);
        Ptr q = AllocPtrClear(nullptr, size);
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(SizeOfPtr(q), size);
        EXPECT_EQ(std::count(q, q + size, 0), std::ptrdiff_t(size));
        Ptr c = ClonePtr(nullptr, q);
        EXPECT_EQ(c == nullptr, size == 0);
        if (c) {
            EXPECT_EQ(SizeOfPtr(c), size);
            MemFreePtr(c);
        }
        MemFreePtr(q);
    }
    EXPECT_EQ(SizeOfPtr(nullptr), 0u);
    EXPECT_EQ(GetPtrPool(nullptr), nullptr);
}

// A block the heap does not split may have more than 255 bytes of slack: the size must still hold.
TEST_F(MemoryTest, LargeSlackKeepsTheSize) {
    MemPool pool = CreatePool(16384);
    ASSERT_TRUE(MemPoolSetBlockSizeFS(pool, 2000));  // split minimum above 2000 bytes
    for (uint32_t from : {1000u, 3000u, 4000u}) {
        for (uint32_t to : {1u, 100u, 700u, 2500u}) {
            Ptr p = AllocPtrWithData(pool, nullptr, from);
            ASSERT_NE(p, nullptr);
            ASSERT_TRUE(ResizePtr(&p, to));
            EXPECT_EQ(SizeOfPtr(p), to) << from << " -> " << to;
            MemFreePtr(p);
        }
    }
    MemPoolFree(pool);
}

TEST_F(MemoryTest, FixedSizePointers) {
    MemPool pool = CreatePool(4096);
    ASSERT_TRUE(MemPoolSetBlockSizeFS(pool, 24));
    Ptr a = AllocFSPtrClear(pool);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::count(a, a + 24, 0), 24);
    EXPECT_EQ(GetPtrPool(a), pool);
    std::memcpy(a, "abcdefghijklmnopqrstuvwx", 24);
    Ptr b = CloneFSPtr(pool, a);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::memcmp(a, b, 24), 0);
    MemFreePtr(a);
    MemFreePtr(b);
    MemPoolFree(pool);
}

TEST_F(MemoryTest, EmptyHandlesAndFreshPrefix) {
    Handle h = AllocHandle(nullptr, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(SizeOfHandle(h), 0u);
    ASSERT_TRUE(ResizeHandle(h, 5));
    EXPECT_EQ(Contents(h), std::string(5, char(0xEB)));
    ASSERT_TRUE(ResizeHandle(h, 0));
    EXPECT_EQ(SizeOfHandle(h), 0u);
    Handle clone = CloneHandle(nullptr, h);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(SizeOfHandle(clone), 0u);
    MemFree(clone);
    MemFree(h);

    Handle fresh = AllocHandle(nullptr, 16);
    EXPECT_EQ(Contents(fresh), std::string(16, char(0xEB)));
    Handle cleared = AllocHandleClear(nullptr, 16);
    EXPECT_EQ(Contents(cleared), std::string(16, '\0'));
    // Contents that happen to be the marker make the handle empty.
    std::memcpy(*cleared, &cleared, 8);
    std::memcpy(*cleared + 8, "0rEz", 4);
    EXPECT_EQ(SizeOfHandle(cleared), 0u);
    // The same bytes in another handle are content.
    ASSERT_TRUE(SetHandleContent(fresh, *cleared, 16));
    EXPECT_EQ(SizeOfHandle(fresh), 16u);
    MemFree(fresh);
    MemFree(cleared);

    Handle fixed = AllocHandleEx(nullptr, 40, kHandleNoMove);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(SizeOfHandle(fixed), 40u);
    MemFree(fixed);
}

TEST_F(MemoryTest, ContentAppendAndExtract) {
    Handle h = AllocHandleWithData(nullptr, "abc", 3);
    ASSERT_TRUE(AppendHandle(h, "de", 2));
    ASSERT_TRUE(AppendHandle(h, nullptr, 0));
    ASSERT_TRUE(AppendHandle(h, nullptr, 2));
    EXPECT_EQ(Contents(h), Zeros("abcde__"));
    ASSERT_TRUE(AppendHandle(h, *h, 3));  // a source inside the handle itself
    EXPECT_EQ(Contents(h), Zeros("abcde__abc"));

    char out[8] = {};
    EXPECT_TRUE(ExtractFromHandle(h, 7, 3, out));
    EXPECT_EQ(std::string(out, 3), "abc");
    EXPECT_TRUE(ExtractFromHandle(h, 10, 0, out));
    EXPECT_FALSE(ExtractFromHandle(h, 8, 3, out));
    EXPECT_FALSE(ExtractFromHandle(h, 0xFFFFFFFF, 2, out));

    ASSERT_TRUE(SetHandleContent(h, nullptr, 4));
    EXPECT_EQ(Contents(h), std::string(4, '\0'));
    ASSERT_TRUE(SetHandleContent(h, "xyz", 0));
    EXPECT_EQ(SizeOfHandle(h), 0u);

    // Larger than any 16-bit count.
    std::string big(100000, 'q');
    big[70000] = 'Z';
    ASSERT_TRUE(SetHandleContent(h, big.data(), uint32_t(big.size())));
    std::string back(big.size(), '\0');
    ASSERT_TRUE(ExtractFromHandle(h, 0, uint32_t(big.size()), back.data()));
    EXPECT_EQ(back, big);
    MemFree(h);
}

enum class Op { Insert, Delete, Splice, Find, Munge };

struct EditCase {
    const char* name;
    const char* start;        // nullptr: an empty handle
    Op op;
    int32_t offset;
    int32_t length;           // delete length, or pattern length for Find/Munge with a pattern
    const char* pattern;      // Find and Munge
    const char* source;       // nullptr: zeros
    int32_t sourceLength;
    int32_t result;           // MungeHandle's result, or 1/0 for the others
    const char* after;        // '_' = zero byte
};

const char kDigits[] = "0123456789";

const EditCase kEdits[] = {
    {"insert at start", kDigits, Op::Insert, 0, 0, nullptr, "ab", 2, 1, "ab0123456789"},
    {"insert in middle", kDigits, Op::Insert, 5, 0, nullptr, "ab", 2, 1, "01234ab56789"},
    {"insert at end", kDigits, Op::Insert, 10, 0, nullptr, "ab", 2, 1, "0123456789ab"},
    {"insert -1 appends", kDigits, Op::Insert, -1, 0, nullptr, "ab", 2, 1, "0123456789ab"},
    {"insert zeros", kDigits, Op::Insert, 2, 0, nullptr, nullptr, 3, 1, "01___23456789"},
    {"insert past end", kDigits, Op::Insert, 11, 0, nullptr, "ab", 2, 0, kDigits},
    {"insert into empty", nullptr, Op::Insert, 0, 0, nullptr, "ab", 2, 1, "ab"},
    {"append to empty", nullptr, Op::Insert, -1, 0, nullptr, "ab", 2, 1, "ab"},
    {"insert nothing into empty", nullptr, Op::Insert, 0, 0, nullptr, "ab", 0, 1, ""},
    {"delete at start", kDigits, Op::Delete, 0, 3, nullptr, nullptr, 0, 1, "3456789"},
    {"delete middle", kDigits, Op::Delete, 4, 2, nullptr, nullptr, 0, 1, "01236789"},
    {"delete at end", kDigits, Op::Delete, 8, 2, nullptr, nullptr, 0, 1, "01234567"},
    {"delete -1 to end", kDigits, Op::Delete, 3, -1, nullptr, nullptr, 0, 1, "012"},
    {"delete all", kDigits, Op::Delete, 0, -1, nullptr, nullptr, 0, 1, ""},
    {"delete past end", kDigits, Op::Delete, 8, 3, nullptr, nullptr, 0, 0, kDigits},
    {"delete from past end", kDigits, Op::Delete, 11, 0, nullptr, nullptr, 0, 0, kDigits},
    {"delete rest of empty", nullptr, Op::Delete, 0, -1, nullptr, nullptr, 0, 1, ""},
    {"delete from empty", nullptr, Op::Delete, 0, 1, nullptr, nullptr, 0, 0, ""},
    {"splice at start", kDigits, Op::Splice, 0, 2, nullptr, "abc", 3, 1, "abc23456789"},
    {"splice middle", kDigits, Op::Splice, 4, 3, nullptr, "x", 1, 1, "0123x789"},
    {"splice to end", kDigits, Op::Splice, 7, -1, nullptr, "WXYZ", 4, 1, "0123456WXYZ"},
    {"splice at end", kDigits, Op::Splice, 10, 0, nullptr, "ab", 2, 1, "0123456789ab"},
    {"splice zeros", kDigits, Op::Splice, 2, 2, nullptr, nullptr, 4, 1, "01____456789"},
    {"splice past end", kDigits, Op::Splice, 5, 6, nullptr, "ab", 2, 0, kDigits},
    {"splice negative offset", kDigits, Op::Splice, -1, 0, nullptr, "ab", 2, 0, kDigits},
    {"splice into empty", nullptr, Op::Splice, 0, 0, nullptr, "abc", 3, 1, "abc"},
    {"splice all away", kDigits, Op::Splice, 0, -1, nullptr, "", 0, 1, ""},
    {"find", kDigits, Op::Find, 0, 2, "45", nullptr, 0, 4, kDigits},
    {"find from offset", kDigits, Op::Find, 5, 2, "45", nullptr, 0, -1, kDigits},
    {"find at end", kDigits, Op::Find, 0, 2, "89", nullptr, 0, 8, kDigits},
    {"find longer than rest", kDigits, Op::Find, 8, 3, "89x", nullptr, 0, -1, kDigits},
    {"find in empty", nullptr, Op::Find, 0, 1, "0", nullptr, 0, -1, ""},
    {"munge start shrinks", kDigits, Op::Munge, 0, 1, "0", "", 0, 0, "123456789"},
    {"munge middle grows", kDigits, Op::Munge, 0, 2, "45", "abc", 3, 7, "0123abc6789"},
    {"munge end shrinks", kDigits, Op::Munge, 0, 2, "89", "x", 1, 9, "01234567x"},
    {"munge span to zeros", kDigits, Op::Munge, 3, 2, nullptr, nullptr, 1, 4, "012_56789"},
    {"munge span to end", kDigits, Op::Munge, 6, -1, nullptr, "ab", 2, 8, "012345ab"},
    {"munge same length", kDigits, Op::Munge, 0, 3, "234", "xyz", 3, 5, "01xyz56789"},
    {"munge negative offset", kDigits, Op::Munge, -1, 0, nullptr, "a", 1, -1, kDigits},
    {"munge past end", kDigits, Op::Munge, 11, 0, nullptr, "a", 1, -1, kDigits},
    {"munge length too long", kDigits, Op::Munge, 0, 11, nullptr, "a", 1, -1, kDigits},
    {"munge absent pattern", kDigits, Op::Munge, 0, 2, "ab", "x", 1, -1, kDigits},
    {"munge empty handle", nullptr, Op::Munge, 0, 0, nullptr, "abcd", 4, 4, "abcd"},
};

int32_t Apply(Handle h, const EditCase& c) {
    switch (c.op) {
        case Op::Insert: return InsertInHandle(h, c.offset, c.source, c.sourceLength);
        case Op::Delete: return DeleteFromHandle(h, c.offset, c.length);
        case Op::Splice: return SpliceHandleData(h, c.offset, c.length, c.source, c.sourceLength);
        case Op::Find: return MungeHandle(h, c.offset, c.pattern, c.length, nullptr, 0);
        case Op::Munge:
            return MungeHandle(h, c.offset, c.pattern, c.length, c.source ? c.source : kMungeZeros,
                               c.sourceLength);
    }
    return -100;
}

TEST_F(MemoryTest, HandleEdits) {
    for (const EditCase& c : kEdits) {
        SCOPED_TRACE(c.name);
        Handle h = c.start ? AllocHandleWithData(nullptr, c.start, uint32_t(std::strlen(c.start)))
                           : AllocHandle(nullptr, 0);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(Apply(h, c), c.result);
        EXPECT_EQ(Contents(h), Zeros(c.after));
        MemFree(h);
    }
}

// Growth that the pool cannot serve fails with a result and leaves the handle as it was.
TEST_F(MemoryTest, GrowthFailsUnderCeiling) {
    MemPool pool = CreatePool(4096);
    Handle h = AllocHandleWithData(pool, kDigits, 10);
    ASSERT_NE(h, nullptr);
    Starve(pool);
    std::string big(200000, 'b');
    const int32_t n = int32_t(big.size());
    EXPECT_FALSE(InsertInHandle(h, 0, big.data(), n));
    EXPECT_FALSE(InsertInHandle(h, 5, nullptr, n));
    EXPECT_FALSE(SpliceHandleData(h, 2, 3, big.data(), n));
    EXPECT_EQ(MungeHandle(h, 0, "45", 2, big.data(), n), kMungeGrowFailed);
    EXPECT_FALSE(AppendHandle(h, big.data(), uint32_t(n)));
    EXPECT_FALSE(SetHandleContent(h, big.data(), uint32_t(n)));
    EXPECT_FALSE(ResizeHandle(h, uint32_t(n)));
    EXPECT_EQ(Contents(h), kDigits);
    // Shrinking edits still work.
    EXPECT_TRUE(DeleteFromHandle(h, 0, 5));
    EXPECT_EQ(Contents(h), "56789");
    MemFree(h);
    EXPECT_EQ(AllocHandle(pool, uint32_t(n)), nullptr);
    EXPECT_EQ(AllocPtr(pool, uint32_t(n)), nullptr);
    MemPoolFree(pool);
}

TEST_F(MemoryTest, TryAllocKinds) {
    MemPool pool = CreatePool(4096);
    ASSERT_TRUE(MemPoolSetBlockSizeFS(pool, 32));
    {
        Ptr p = static_cast<Ptr>(TryAlloc(pool, 20, kTryPointer | kTryClear));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(SizeOfPtr(p), 20u);
        EXPECT_EQ(std::count(p, p + 20, 0), 20);
        MemFreePtr(p);
    }
    {
        Handle h = static_cast<Handle>(TryAlloc(pool, 20, kTryHandle | kTryClear));
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(Contents(h), std::string(20, '\0'));
        MemFree(h);
    }
    {
        Ptr p = static_cast<Ptr>(TryAlloc(pool, 0, kTryFixed | kTryClear));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(MemSizePtr(p), 32u);
        EXPECT_EQ(std::count(p, p + 32, 0), 32);
        MemFreePtr(p);
    }
    MemPoolFree(pool);

    MemPool starved = Starve(CreatePool(4096));
    for (uint32_t kind : {kTryPointer, kTryHandle}) {
        EXPECT_EQ(CatchSignals([&] { TryAlloc(starved, 300000, kind); }), status::kOutOfMemory);
    }
    MemPoolFree(starved);
}

TEST_F(MemoryTest, SearchEdgeCases) {
    std::string text(600, 'x');
    EXPECT_EQ(QMemSearch("abc", 3, text.data(), 600), -1);
    EXPECT_EQ(QMemSearch("", 0, text.data(), 600), 0);
    EXPECT_EQ(QMemSearch("abcd", 4, "abc", 3), -1);
    EXPECT_EQ(QMemSearch("c", 1, "abc", 3), 2);
    text.replace(597, 3, "abc");
    EXPECT_EQ(QMemSearch("abc", 3, text.data(), 600), 597);
    text.replace(0, 3, "abc");
    EXPECT_EQ(QMemSearch("abc", 3, text.data(), 600), 0);

    struct Overlay {
        const char* pattern;
        const char* text;
        uint32_t result;
        bool full;
    };
    const Overlay overlays[] = {
        {"cdef", "abcd", 2, false}, {"bc", "abcd", 1, true},  {"xy", "abcd", 4, false},
        {"", "abcd", 0, true},      {"ab", "", 0, true},      {"dxyz", "abcd", 3, false},
        {"abcdef", "abcd", 0, false}, {"bcdx", "abcd", 1, false},
    };
    for (const Overlay& o : overlays) {
        bool full = !o.full;
        EXPECT_EQ(QMemFindOverlayPos(o.pattern, uint32_t(std::strlen(o.pattern)), o.text,
                                     uint32_t(std::strlen(o.text)), &full),
                  o.result)
            << o.pattern << " in " << o.text;
        EXPECT_EQ(full, o.full) << o.pattern << " in " << o.text;
    }
}

// The skip-table search against a plain one, over texts with many near matches.
TEST_F(MemoryTest, SearchAgreesWithPlainScan) {
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(2000);
    for (uint64_t i = 0; i < rounds; ++i) {
        const size_t textLength = 300 + rng() % 2000;
        std::string text(textLength, 'a');
        for (char& c : text) c = char('a' + rng() % 3);
        std::string pattern;
        const size_t patternLength = 1 + rng() % 12;
        if (rng() % 2) {
            pattern = text.substr(rng() % (textLength - patternLength), patternLength);
        } else {
            for (size_t k = 0; k < patternLength; ++k) pattern += char('a' + rng() % 3);
        }
        const auto found = std::search(text.begin(), text.end(), pattern.begin(), pattern.end());
        const int32_t expected = found == text.end() ? -1 : int32_t(found - text.begin());
        ASSERT_EQ(QMemSearch(pattern.data(), uint32_t(patternLength), text.data(),
                             uint32_t(textLength)),
                  expected)
            << pattern;
    }
}

TEST_F(MemoryTest, CompressionRoundTrips) {
    std::mt19937 rng(test::TestSeed());
    std::string small(100, 'a');
    std::string large;
    while (large.size() < (1u << 20)) large += "net " + std::to_string(rng() % 5000) + " pin\n";
    large.resize(1u << 20);
    for (const std::string* input : {&small, &large}) {
        uint32_t length = uint32_t(input->size());
        Handle packed = CompressDataBytes(nullptr, input->data(), &length);
        ASSERT_NE(packed, nullptr);
        EXPECT_EQ(length, SizeOfHandle(packed));
        EXPECT_LT(length, input->size());
        const auto* b = reinterpret_cast<const unsigned char*>(*packed);
        EXPECT_EQ((uint32_t(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3], input->size());
        Handle unpacked = ExpandDataBytes(nullptr, *packed, &length);
        ASSERT_NE(unpacked, nullptr);
        EXPECT_EQ(length, input->size());
        EXPECT_TRUE(Contents(unpacked) == *input);
        MemFree(unpacked);
        MemFree(packed);
    }
    // Nothing to gain: no handle, length 0, the caller keeps the bytes.
    for (const std::string& input : {std::string(), RandomBytes(rng, 100),
                                     RandomBytes(rng, 1u << 20)}) {
        uint32_t length = uint32_t(input.size());
        EXPECT_EQ(CompressDataBytes(nullptr, input.data(), &length), nullptr);
        EXPECT_EQ(length, 0u);
    }
}

TEST_F(MemoryTest, CorruptedCompressedDataIsRejected) {
    std::mt19937 rng(test::TestSeed());
    std::string input;
    for (int i = 0; i < 400; ++i) input += "wire " + std::to_string(i % 37) + ";";
    uint32_t length = uint32_t(input.size());
    Handle packed = CompressDataBytes(nullptr, input.data(), &length);
    ASSERT_NE(packed, nullptr);
    const std::string good(*packed, length);
    MemFree(packed);

    // In a pool with a small ceiling: a declared length taken before it was checked against what
    // the input can expand to runs into the ceiling, though the result would be null either way.
    test::CappedPool capped;
    auto expectRejected = [&](const std::string& bytes) {
        uint32_t n = uint32_t(bytes.size());
        capped.clear();
        Handle h = ExpandDataBytes(capped.pool(), bytes.data(), &n);
        EXPECT_EQ(h, nullptr) << bytes.size();
        EXPECT_EQ(n, 0u);
        EXPECT_FALSE(capped.hitCeiling()) << bytes.size();
        if (h) MemFree(h);
    };
    for (size_t cut = 0; cut < good.size(); ++cut) expectRejected(good.substr(0, cut));

    auto withLength = [&](uint32_t declared) {
        std::string s = good;
        s[0] = char(declared >> 24);
        s[1] = char(declared >> 16);
        s[2] = char(declared >> 8);
        s[3] = char(declared);
        return s;
    };
    for (uint32_t declared : {uint32_t(input.size() + 1), uint32_t(input.size() - 1), 0u,
                              0xFFFFFFFFu, (256u << 20) + 1, 100u << 20}) {
        expectRejected(withLength(declared));
    }
    for (int i = 0; i < 50; ++i) {
        std::string garbage = withLength(uint32_t(rng() % 100000));
        garbage.replace(4, garbage.size() - 4, RandomBytes(rng, garbage.size() - 4));
        expectRejected(garbage);
    }
    // Flipped bytes inside the stream: rejected, or (should the check value still match) the
    // stored length exactly.
    for (uint64_t i = 0; i < test::StressCount(200); ++i) {
        std::string s = good;
        s[4 + rng() % (s.size() - 4)] ^= char(1 + rng() % 255);
        uint32_t n = uint32_t(s.size());
        Handle h = ExpandDataBytes(capped.pool(), s.data(), &n);
        if (h) {
            EXPECT_EQ(n, input.size());
            MemFree(h);
        } else {
            EXPECT_EQ(n, 0u);
        }
    }
    uint32_t n = 3;
    EXPECT_EQ(ExpandDataBytes(capped.pool(), good.data(), &n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(capped.hitCeiling());
}

}  // namespace
}  // namespace plexa
