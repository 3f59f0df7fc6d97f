// String blocks: adding with and without overlay, the limits of a spec, storing in either byte
// order, damaged headers, compaction with recoding, string caches and text refs.
#include "foundation/stringblock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/foundation_testing.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

class StringBlockTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(status::kNoErr, InitMemoryManager(-1)); }
};

// Frees a block at the end of a test.
struct Block {
    StringBlock block;
    explicit Block(int32_t quantum = 64) : block(CreateStringBlock(nullptr, quantum)) {}
    explicit Block(StringBlock b) : block(b) {}
    ~Block() { DestroyStringBlock(block); }
    const StringBlockHeader& header() const { return *reinterpret_cast<const StringBlockHeader*>(*block); }
};

using test::HandleStream;

std::string Text(StringSpec spec, StringBlock block) {
    char buffer[kStringSpecBufferSize];
    const int16_t n = ExtractStringSpec(spec, block, buffer, sizeof buffer);
    return std::string(buffer, size_t(n));
}

std::string Stored(StringBlock block) {
    HandleStream out;
    EXPECT_EQ(WriteStringBlock(out.stream, block), 0);
    return out.bytes();
}

TEST_F(StringBlockTest, AddsAndOverlaysAsDocumented) {
    Block b(10);
    EXPECT_EQ(b.header().magic, kStringBlockMagic);
    EXPECT_EQ(b.header().quantum, 64);
    EXPECT_EQ(b.header().allocated, 64u);
    EXPECT_EQ(b.header().used, 16u);

    StringRef ref{};
    EXPECT_EQ(AppendStringBlock(b.block, "abc", 0xFFFF, &ref), 16387u);
    EXPECT_EQ(ref.block, b.block);
    EXPECT_EQ(ref.spec, 16387u);
    EXPECT_EQ(b.header().used, 19u);
    EXPECT_EQ(OverlayStringBlock(b.block, "abc", -1, nullptr), 16387u);
    EXPECT_EQ(OverlayStringBlock(b.block, "bc", 2, nullptr), (17u << 10) | 2);
    EXPECT_EQ(b.header().used, 19u);
    EXPECT_EQ(OverlayStringBlock(b.block, "cde", -1, nullptr), (18u << 10) | 3);
    EXPECT_EQ(b.header().used, 21u);
    EXPECT_EQ(Text((18u << 10) | 3, b.block), "cde");
    EXPECT_EQ(AppendStringBlock(b.block, "", 0, nullptr), 0u);
    const unsigned char p[] = {2, 'd', 'e'};
    EXPECT_EQ(OverlayStringBlockP(b.block, p, nullptr), (19u << 10) | 2);

    Block g(64);
    const std::string sixty(60, 'x');
    AppendStringBlock(g.block, sixty.data(), 60, nullptr);
    EXPECT_EQ(g.header().allocated, 128u);
    EXPECT_EQ(SizeOfHandle(g.block), 128u);

    // An overlay into an empty block is an append, not a match of the empty packed bytes.
    Block e;
    EXPECT_EQ(OverlayStringBlock(e.block, "q", -1, nullptr), (16u << 10) | 1);
    EXPECT_EQ(e.header().used, 17u);

    EmptyStringBlock(g.block, true);
    EXPECT_EQ(g.header().used, 16u);
    EXPECT_EQ(g.header().allocated, 64u);
}

// Adding string after string: the handle grows ahead of the strings, while the stored header
// keeps the quantum multiple that covers the used bytes, so the stored form is what it was.
TEST_F(StringBlockTest, GrowingStringByStringKeepsTheStoredHeader) {
    Block b(64);
    std::vector<StringSpec> specs;
    for (int i = 0; i < 5000; ++i) {
        const std::string text = "N" + std::to_string(i * 7919);
        specs.push_back(AppendStringBlock(b.block, text.data(), uint32_t(text.size()), nullptr));
        ASSERT_NE(specs.back(), 0u);
        const StringBlockHeader& h = b.header();
        ASSERT_EQ(h.allocated, (h.used + 63) / 64 * 64) << i;
        ASSERT_GE(SizeOfHandle(b.block), h.allocated);
    }
    for (int i = 0; i < 5000; i += 499) EXPECT_EQ(Text(specs[size_t(i)], b.block), "N" + std::to_string(i * 7919));
    // Written and read back, the block stores the same bytes.
    const std::string stored = Stored(b.block);
    HandleStream in(stored);
    StringBlock read = nullptr;
    ASSERT_EQ(ReadStringBlockEx(in.stream, nullptr, &read), 0);
    Block back(read);
    EXPECT_EQ(Stored(back.block), stored);
    EXPECT_EQ(back.header().allocated, b.header().allocated);
}

TEST_F(StringBlockTest, ExtractionClipsUppercasesAndRefusesBadSpecs) {
    Block b;
    const StringSpec ten = AppendStringBlock(b.block, "0123456789", 10, nullptr);
    const StringSpec abc = AppendStringBlock(b.block, "abc", 3, nullptr);
    char small[5];
    EXPECT_EQ(ExtractStringSpec(ten, b.block, small, sizeof small), 4);
    EXPECT_STREQ(small, "0123");
    unsigned char p[4];
    EXPECT_EQ(ExtractStringSpecP(ten, b.block, p, sizeof p), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p + 1), p[0]), "012");

    UppercaseStringExtraction(true);
    EXPECT_EQ(Text(abc, b.block), "ABC");
    UppercaseStringExtraction(false);
    UppercaseStringExtraction(false);  // never below 0
    EXPECT_EQ(Text(abc, b.block), "abc");

    char untouched[4] = {'x', 'x', 'x', 0};
    EXPECT_EQ(ExtractStringSpec(abc, b.block, untouched, 0), 0);
    EXPECT_STREQ(untouched, "xxx");
    // Specs that do not lie inside the used bytes give the empty string.
    for (StringSpec bad : {StringSpec(0), StringSpec((b.header().used << 10) | 1), StringSpec((8u << 10) | 3),
                           StringSpec((27u << 10) | 5)}) {
        EXPECT_EQ(Text(bad, b.block), "") << bad;
    }
}

TEST_F(StringBlockTest, LongStringsAreCutAtACharacterBoundary) {
    struct Case {
        std::string text;
        uint32_t stored;
    } cases[] = {
        {std::string(1023, 'a'), 1023},
        {std::string(1024, 'a'), 1023},
        {std::string(1030, 'a'), 1023},
        {std::string(1022, 'a') + "\xC3\xA9" + "zz", 1022},        // é would straddle the limit
        {std::string(1020, 'a') + "\xE2\x82\xAC" + "zz", 1023},    // € ends exactly at it
        {std::string(1022, 'a') + "\x8A\x8A\x8A", 1023},           // not UTF-8: cut at 1023
    };
    for (const Case& c : cases) {
        Block b;
        const StringSpec a = AppendStringBlock(b.block, c.text.data(), uint32_t(c.text.size()), nullptr);
        const StringSpec o = OverlayStringBlock(b.block, c.text.data(), int32_t(c.text.size()), nullptr);
        EXPECT_EQ(StringSpecLength(a), c.stored) << c.text.size();
        EXPECT_EQ(a, o);
        EXPECT_EQ(Text(a, b.block), c.text.substr(0, c.stored));
    }
}

TEST_F(StringBlockTest, StringsBeyondFourMebibytesAreRefused) {
    Block b(0x8000);
    std::string chunk(1023, 'k');
    StringSpec last = 0;
    int added = 0;
    while (b.header().used < kStringBlockOffsetLimit) {
        chunk[0] = char('A' + added % 26);
        chunk[1] = char('A' + added / 26 % 26);
        chunk[2] = char('A' + added / 676 % 26);
        last = AppendStringBlock(b.block, chunk.data(), 1023, nullptr);
        ASSERT_NE(last, 0u) << StringBlockAddStatus();
        ++added;
    }
    const uint32_t used = b.header().used;
    EXPECT_EQ(Text(last, b.block), chunk);
    EXPECT_EQ(AppendStringBlock(b.block, "new", 3, nullptr), 0u);
    EXPECT_EQ(StringBlockAddStatus(), status::kStringBlockFull);
    EXPECT_EQ(OverlayStringBlock(b.block, "brand new", -1, nullptr), 0u);
    EXPECT_EQ(StringBlockAddStatus(), status::kStringBlockFull);
    EXPECT_EQ(b.header().used, used);
    // A string that is already present early in the block is still found.
    EXPECT_EQ(OverlayStringBlock(b.block, "kkkk", -1, nullptr), (19u << 10) | 4);
    EXPECT_EQ(StringBlockAddStatus(), 0);
}

// Strings over a small alphabet so that overlay finds many shared runs, with lengths from 1 to
// 1023 and multi-byte characters.
std::vector<std::string> SampleStrings(std::mt19937& rng, int count) {
    const std::string pieces[] = {"a", "b", "ab", "VCC", "\xC3\xA9", "\xE2\x82\xAC", "N$"};
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        const uint32_t target = i % 5 == 0 ? 320 + rng() % 704 : 1 + rng() % 40;
        std::string s;
        while (s.size() < target) {
            const std::string& p = pieces[rng() % std::size(pieces)];
            if (s.size() + p.size() > target) break;
            s += p;
        }
        if (s.empty()) s = "a";
        out.push_back(s);
    }
    return out;
}

TEST_F(StringBlockTest, SharedRunsSurviveBothByteOrdersAndCompaction) {
    std::mt19937 rng(test::TestSeed());
    SCOPED_TRACE(testing::Message() << "seed " << test::TestSeed());
    const std::vector<std::string> strings = SampleStrings(rng, int(test::StressCount(300)));
    Block b(128);
    std::vector<StringSpec> specs;
    uint64_t total = 0;
    for (size_t i = 0; i < strings.size(); ++i) {
        const std::string& s = strings[i];
        specs.push_back(i % 3 ? OverlayStringBlock(b.block, s.data(), int32_t(s.size()), nullptr)
                              : AppendStringBlock(b.block, s.data(), uint32_t(s.size()), nullptr));
        ASSERT_NE(specs.back(), 0u);
        total += s.size();
    }
    EXPECT_LT(b.header().used - 16, total);  // overlay shared bytes

    const std::string native = Stored(b.block);
    ASSERT_EQ(native.size(), b.header().used);
    std::string swapped = native;
    ByteSwapStringBlockHeader(reinterpret_cast<StringBlockHeader*>(swapped.data()));
    ASSERT_NE(swapped, native);

    for (const std::string* image : {&native, static_cast<const std::string*>(&swapped)}) {
        HandleStream in(*image);
        Block read(nullptr);
        ASSERT_EQ(ReadStringBlock(in.stream, nullptr, &read.block), 0);
        EXPECT_EQ(read.header().magic, kStringBlockMagic);
        EXPECT_EQ(read.header().allocated, b.header().allocated);
        EXPECT_EQ(read.header().used, b.header().used);
        EXPECT_EQ(read.header().quantum, b.header().quantum);
        EXPECT_EQ(Stored(read.block), native);

        for (bool overlay : {false, true}) {
            Block fresh(256);
            for (size_t i = 0; i < strings.size(); ++i) {
                const StringSpec moved = TransferStringSpec(specs[i], read.block, fresh.block, overlay);
                ASSERT_EQ(Text(moved, fresh.block), strings[i]) << i << " of length " << strings[i].size();
            }
        }
    }
}

TEST_F(StringBlockTest, ReadIntoAGivenBlockKeepsALargerAllocation) {
    Block source;
    const StringSpec spec = AppendStringBlock(source.block, "pin", 3, nullptr);
    const std::string image = Stored(source.block);
    Block target(1024);
    OverlayStringBlock(target.block, "old contents", -1, nullptr);
    HandleStream in(image);
    ASSERT_EQ(ReadStringBlockEx(in.stream, nullptr, &target.block), 0);
    EXPECT_EQ(target.header().allocated, 1024u);
    EXPECT_EQ(target.header().used, 19u);
    EXPECT_EQ(Text(spec, target.block), "pin");
    EXPECT_EQ((*target.block)[19], 0);
    EXPECT_EQ(AppendStringBlock(target.block, "x", 1, nullptr), (19u << 10) | 1);
}

// Where an overlay add must put a string: the first whole occurrence in the packed bytes, else the
// longest head of it that ends them, else the end (the plain scan every block once used).
StringSpec ExpectedOverlay(StringBlock block, const std::string& s) {
    const auto& h = *reinterpret_cast<const StringBlockHeader*>(*block);
    const uint32_t packed = h.used - kStringBlockHeaderSize;
    if (packed == 0) return (kStringBlockHeaderSize << 10) | uint32_t(s.size());
    bool full = false;
    const uint32_t at = QMemFindOverlayPos(s.data(), uint32_t(s.size()), *block + kStringBlockHeaderSize,
                                           packed, &full);
    return ((at + kStringBlockHeaderSize) << 10) | uint32_t(s.size());
}

// Large blocks find their overlay places through an index of the bytes added so far: every add
// lands where the plain scan puts it, also after the block was emptied, read into or freed and
// its handle reused with other contents.
TEST_F(StringBlockTest, OverlayOnLargeBlocksLandsWhereTheScanDoes) {
    std::mt19937 rng(11);
    auto name = [&rng](uint32_t n) {
        const char* const prefixes[] = {"SIG", "N", "NET_", "VCC", "A"};
        std::string s = prefixes[rng() % 5];
        s += std::to_string(rng() % n);
        if (rng() % 7 == 0) s += "_" + std::to_string(rng() % 50);  // shares heads with others
        return s;
    };
    auto fill = [&](StringBlock block, int count, uint32_t spread) {
        for (int i = 0; i < count; ++i) {
            const std::string s = name(spread);
            const StringSpec expected = ExpectedOverlay(block, s);
            const StringSpec spec = OverlayStringBlock(block, s.data(), int32_t(s.size()), nullptr);
            ASSERT_EQ(spec, expected) << "add " << i << ": " << s;
            ASSERT_EQ(Text(spec, block), s);
        }
    };
    {
        Block block;
        fill(block.block, 20000, 40000);
        EmptyStringBlock(block.block, false);
        fill(block.block, 3000, 900);
        // Read into the same handle: other bytes of the same length.
        Block other;
        fill(other.block, 3000, 700);
        HandleStream in(Stored(other.block));
        ASSERT_EQ(ReadStringBlockEx(in.stream, nullptr, &block.block), 0);
        fill(block.block, 3000, 5000);
    }
    // A freed block's handle taken again by a block filled otherwise.
    Block again;
    fill(again.block, 5000, 3000);
}

// A read that fails after the header was checked (here a file cut short under an open stream)
// leaves the given block as it was.
TEST_F(StringBlockTest, AFailedReadLeavesTheGivenBlockAlone) {
    Block source;
    AppendStringBlock(source.block, "resistor capacitor inductor", 0xFFFF, nullptr);
    const std::string image = Stored(source.block);
    test::TempDir dir;
    const std::string path = dir.file("block");
    ASSERT_TRUE(test::WriteFile(path, image));
    StreamRecord* in = nullptr;
    ASSERT_EQ(OpenFileStream(path.c_str(), true, &in), 0);
    ASSERT_EQ(::truncate(path.c_str(), 20), 0);

    Block given;
    const StringSpec kept = AppendStringBlock(given.block, "kept", 4, nullptr);
    const std::string before = Stored(given.block);
    EXPECT_EQ(ReadStringBlockEx(in, nullptr, &given.block), status::kEndOfFile);
    EXPECT_EQ(Stored(given.block), before);
    EXPECT_EQ(Text(kept, given.block), "kept");
    EXPECT_EQ(CloseAndMaybeFlushFileStream(in, false), 0);
}

TEST_F(StringBlockTest, DamagedHeadersAreRejected) {
    Block source;
    AppendStringBlock(source.block, "resistor", 0xFFFF, nullptr);
    const std::string good = Stored(source.block);
    auto header = [&](auto edit) {
        std::string image = good;
        auto* h = reinterpret_cast<StringBlockHeader*>(image.data());
        edit(*h);
        return image;
    };
    struct Case {
        const char* what;
        std::string image;
        OSStatus expected;
    } cases[] = {
        {"bad magic", header([](StringBlockHeader& h) { h.magic = 0xDA7ABED2; }), status::kParamErr},
        {"used below 16", header([](StringBlockHeader& h) { h.used = 15; }), status::kParamErr},
        {"used above allocated", header([](StringBlockHeader& h) { h.used = h.allocated + 1; }), status::kParamErr},
        {"allocated huge", header([](StringBlockHeader& h) { h.allocated = 0xFFFFFFF0; }), status::kParamErr},
        {"quantum below 64", header([](StringBlockHeader& h) { h.quantum = 0; }), status::kParamErr},
        {"swapped, used huge", header([](StringBlockHeader& h) {
             h.used = 0x7FFFFFFF;
             ByteSwapStringBlockHeader(&h);
         }), status::kParamErr},
        {"truncated bytes", good.substr(0, good.size() - 1), status::kEndOfFile},
        {"used beyond the stream", header([](StringBlockHeader& h) { h.used = 60; }), status::kEndOfFile},
        {"3 MB used beyond the stream", header([](StringBlockHeader& h) { h.used = h.allocated = 3u << 20; }),
         status::kEndOfFile},
        {"truncated header", good.substr(0, 10), status::kEndOfFile},
        {"nothing", std::string(), status::kEndOfFile},
    };
    // In a pool with a small ceiling: sizes taken before they were checked run into it.
    test::CappedPool capped;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        capped.clear();
        {
            HandleStream in(c.image);
            StringBlock read = nullptr;
            EXPECT_EQ(ReadStringBlock(in.stream, capped.pool(), &read), c.expected);
            EXPECT_EQ(read, nullptr);
        }
        {
            HandleStream in(c.image);
            Block given;
            const StringSpec kept = AppendStringBlock(given.block, "kept", 4, nullptr);
            EXPECT_EQ(ReadStringBlockEx(in.stream, capped.pool(), &given.block), c.expected);
            EXPECT_EQ(Text(kept, given.block), "kept");
        }
        EXPECT_FALSE(capped.hitCeiling());
    }
}

TEST_F(StringBlockTest, TransferRecodesByMode) {
    Block from, to;
    const StringSpec roman = AppendStringBlock(from.block, "caf\x8E", 0xFFFF, nullptr);     // é in Mac Roman
    const StringSpec utf8 = AppendStringBlock(from.block, "caf\xC3\xA9", 0xFFFF, nullptr);  // é in UTF-8
    const std::string longRoman(1000, '\xA5');  // bullet: 3 bytes in UTF-8
    const StringSpec big = AppendStringBlock(from.block, longRoman.data(), 1000, nullptr);
    struct Case {
        uint16_t mode;
        StringSpec spec;
        std::string expected;
    } cases[] = {
        {0, roman, "caf\x8E"},
        {kStringTransferRecodeIfNeeded, roman, "caf\xC3\xA9"},
        {kStringTransferRecodeIfNeeded, utf8, "caf\xC3\xA9"},
        {kStringTransferRecodeAlways, roman, "caf\xC3\xA9"},
        {kStringTransferRecodeAlways, utf8, "caf\xE2\x88\x9A\xC2\xA9"},
    };
    for (const Case& c : cases) {
        const uint16_t old = SetStringTransferMode(c.mode);
        EXPECT_EQ(Text(TransferStringSpec(c.spec, from.block, to.block, true), to.block), c.expected) << c.mode;
        SetStringTransferMode(old);
    }
    // Text that grows past 1023 bytes is cut between whole characters.
    SetStringTransferMode(kStringTransferRecodeIfNeeded);
    const StringSpec grown = TransferStringSpec(big, from.block, to.block, false);
    SetStringTransferMode(0);
    EXPECT_EQ(StringSpecLength(grown), 1023u);
    std::string bullets;
    for (int i = 0; i < 341; ++i) bullets += "\xE2\x80\xA2";
    EXPECT_EQ(Text(grown, to.block), bullets);

    EXPECT_EQ(TransferStringSpec(0, from.block, to.block, true), 0u);
    EXPECT_EQ(TransferStringSpec(roman, from.block, from.block, true), roman);
}

TEST_F(StringBlockTest, CompareStringRefsUsesWholeStrings) {
    Block a, b;
    const std::string head(300, 'p');
    const StringRef x{a.block, AppendStringBlock(a.block, (head + "A").data(), 301, nullptr)};
    const StringRef y{b.block, AppendStringBlock(b.block, (head + "B").data(), 301, nullptr)};
    const StringRef z{b.block, AppendStringBlock(b.block, (head + "A").data(), 301, nullptr)};
    const StringRef shorter{b.block, AppendStringBlock(b.block, head.data(), 300, nullptr)};
    EXPECT_LT(CompareStringRefs(&x, &y, false), 0);
    EXPECT_GT(CompareStringRefs(&y, &x, false), 0);
    EXPECT_EQ(CompareStringRefs(&x, &z, false), 0);
    EXPECT_LT(CompareStringRefs(&shorter, &x, false), 0);
    EXPECT_EQ(CompareStringRefs(&y, &y, true), 0);
    EXPECT_EQ(CompareStringRefs(&y, &z, true), 1);
    EXPECT_GT(CompareStringRefs(&y, &z, false), 0);
}

TEST_F(StringBlockTest, StringCacheKeepsAtMostTwoRounds) {
    struct Case {
        int32_t slots;
        uint16_t count;
    } sizes[] = {{0, 16}, {1, 16}, {2, 2}, {100, 64}, {1024, 1024}, {5000, 1024}};
    for (const Case& c : sizes) {
        StringCache* cache = CreateStringCache(c.slots, 64, false);
        ASSERT_NE(cache, nullptr);
        EXPECT_EQ(cache->slotCount, c.count) << c.slots;
        DestroyStringCache(cache);
    }

    for (bool overlay : {false, true}) {
        StringCache* cache = CreateStringCache(8, 64, overlay);
        char buffer[64];
        for (int i = 0; i < 50; ++i) {
            const std::string s = "net" + std::to_string(i * 7919);
            EXPECT_EQ(AddStringToCache(cache, s.c_str()), i % 8);
            EXPECT_STREQ(GetStringCacheString(cache, i % 8, buffer, sizeof buffer), s.c_str());
            if (i >= 7) {  // the oldest slot still holds the string of seven adds ago
                const std::string oldest = "net" + std::to_string((i - 7) * 7919);
                EXPECT_STREQ(GetStringCacheString(cache, (i + 1) % 8, buffer, sizeof buffer), oldest.c_str());
            }
            // Two rounds of at most 8 strings of at most 9 bytes.
            EXPECT_LE(reinterpret_cast<const StringBlockHeader*>(*cache->block)->used, 16u + 2 * 8 * 9);
        }
        EXPECT_STREQ(GetStringCacheString(cache, 8, buffer, sizeof buffer), "");
        DestroyStringCache(cache);
    }
}

TEST_F(StringBlockTest, TextRefsAndPlainStrings) {
    TextRef ref{};
    StringSpecToTextRef((40u << 10) | 7, &ref, 100);
    EXPECT_EQ(ref.offset, 140u);
    EXPECT_EQ(ref.length, 7);
    EXPECT_EQ(TextRefToStringSpec(&ref, uint32_t(-100)), (40u << 10) | 7);
    EXPECT_EQ(TextRefToStringSpec(&ref, kStringBlockOffsetLimit), 0u);
    TextRef swapped = ref;
    ByteSwapTextRef(&swapped);
    EXPECT_EQ(swapped.offset, 0x8C000000u);
    EXPECT_EQ(swapped.length, 0x0700);

    EXPECT_EQ(VXGetStringLength("abc", 0), 3u);
    const char16_t units[] = u"abcd";
    EXPECT_EQ(VXGetStringLength(units, kEncodingUTF16LE), 4u);
    Ptr copy = AllocateString("copied");
    EXPECT_STREQ(copy, "copied");
    EXPECT_EQ(SizeOfPtr(copy), 7u);
    MemFreePtr(copy);

    Handle h = AllocHandleWithData(nullptr, "0123456789", 10);
    char buffer[16];
    EXPECT_EQ(ExtractStringFromHandle(h, 6, 10, buffer), 4);
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(ExtractStringFromHandle(h, 2, 3, buffer), 3);
    EXPECT_STREQ(buffer, "234");
    EXPECT_EQ(ExtractStringFromHandle(h, 12, 3, buffer), 0);
    EXPECT_STREQ(buffer, "");
    MemFree(h);
}

}  // namespace
}  // namespace plexa
