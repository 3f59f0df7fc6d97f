// Annotation maps: pending and saved designators, committing them, compacting the string block,
// dropping the entries of symbols a sheet no longer has, and the stored form: a fixture written by
// hand in both byte orders, the reversed lists of a read, the dead-sessions count raised in place,
// and damaged input.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "foundation/ll.h"
#include "foundation/stream.h"
#include "model/annotation.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

// "symbol:[instance designator slot]..." per entry, in map and list order; "(p)" marks pending.
std::string Dump(const AnnotationMap* map) {
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

std::string Stored(const AnnotationMap* map) {
    HandleStream out;
    EXPECT_EQ(WriteAnnotationMap(out.stream, map), 0);
    return std::string(*out.handle, size_t(GetStreamEnd(out.stream)));
}

OSStatus Read(const std::string& bytes, AnnotationMap** map, bool swapping = false) {
    HandleStream in(bytes);
    EnableStreamReadByteSwap(in.stream, swapping);
    const OSStatus st = ReadAnnotationMap(in.stream, map);
    EXPECT_EQ((in.stream->flags & kStreamSwapOnRead) != 0, swapping);  // the caller's setting is kept
    return st;
}

TEST(AnnotationMaps, PendingChangesShadowTheSavedOnesUntilApplied) {
    InitMemoryManager(-1);
    AnnotationMap* map = CreateAnnotationMap(true);
    char text[256];
    EXPECT_TRUE(SetAnnotation(map, 7, 1, "R1", 0));
    EXPECT_TRUE(SetAnnotation(map, 3, 1, "C1", 2));
    EXPECT_EQ(Dump(map), "3:[1 C1 2 (p)] 7:[1 R1 0 (p)] ");
    EXPECT_TRUE(AnnotationMapHasChanges(map));
    EXPECT_TRUE(ApplyAnnotationMapChanges(map));
    EXPECT_FALSE(AnnotationMapHasChanges(map));
    // The same designator and slot again: nothing pending.
    EXPECT_FALSE(SetAnnotation(map, 7, 1, "R1", 0));
    EXPECT_FALSE(AnnotationMapHasChanges(map));
    // A pending change is what lookups see.
    EXPECT_TRUE(SetAnnotation(map, 7, 1, "R9", 1));
    EXPECT_EQ(GetAnnotation(map, 7, 1, false, text, sizeof text), 1);
    EXPECT_STREQ(text, "R9");
    EXPECT_EQ(GetAnnotation(map, 7, 1, true, text, sizeof text), -1);  // no slots
    EXPECT_STREQ(text, "R9");
    // Removing: a pending removal only where something is saved.
    EXPECT_TRUE(SetAnnotation(map, 7, 1, nullptr, -1));
    EXPECT_FALSE(SetAnnotation(map, 7, 2, nullptr, -1));
    EXPECT_FALSE(SetAnnotation(map, 99, 1, nullptr, -1));
    EXPECT_EQ(GetAnnotation(map, 7, 1, false, text, sizeof text), -1);
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(ApplyAnnotationMapChanges(map));
    EXPECT_EQ(Dump(map), "3:[1 C1 2] 7: ");
    EXPECT_FALSE(ApplyAnnotationMapChanges(map));
    DestroyAnnotationMap(map);
}

TEST(AnnotationMaps, CompactingTheStringBlockKeepsEveryDesignator) {
    InitMemoryManager(-1);
    AnnotationMap* map = CreateAnnotationMap(true);
    for (int i = 0; i < 50; ++i) {
        SetAnnotation(map, 1, 1, ("U" + std::to_string(i)).c_str(), 0);
        ApplyAnnotationMapChanges(map);
    }
    SetAnnotation(map, 2, 1, "LONGNAME", 1);
    ApplyAnnotationMapChanges(map);
    SetAnnotation(map, 2, 3, "X5", 0);  // pending
    const std::string before = Dump(map);
    EXPECT_EQ(CountAnnotationMapChars(map), 3u + 8u);
    const auto used = [&] { return reinterpret_cast<const StringBlockHeader*>(*GetAnnotationMapStringBlock(map))->used; };
    const uint32_t oldUsed = used();
    ASSERT_TRUE(PurgeAnnotationMapStringBlock(map));
    EXPECT_EQ(Dump(map), before);
    EXPECT_LT(used(), oldUsed);
    DestroyAnnotationMap(map);
}

TEST(AnnotationMaps, EntriesOfSymbolsTheSheetLacksGo) {
    InitMemoryManager(-1);
    SheetRecord sheet{};
    sheet.symbolList = LLCreate(nullptr, sizeof(SymbolRecord), 0);
    auto* symbol = static_cast<SymbolRecord*>(LLAppend(sheet.symbolList, nullptr));
    symbol->serial = 4;
    AnnotationMap* map = CreateAnnotationMap(true);
    SetAnnotation(map, 4, 1, "R1", 0);
    SetAnnotation(map, 5, 1, "R2", 0);
    ApplyAnnotationMapChanges(map);
    SetAnnotation(map, 6, 1, "R3", 0);
    EXPECT_TRUE(PurgeMissingSymbolsFromAnnotMap(&sheet, map));
    EXPECT_EQ(Dump(map), "4:[1 R1 0] ");
    EXPECT_FALSE(PurgeMissingSymbolsFromAnnotMap(&sheet, map));
    DestroyAnnotationMap(map);
    LLDispose(sheet.symbolList, true);
}

// Two entries by hand, little-endian.
const std::string kFixture = Hex(
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
const std::string kFixtureBig = Hex(
    "1234 0003"
    "da7abed1 00000040 00000014 0040 0000 52315532"
    "00000005 00000002 00000001 00004002 0000 00000002 00004002 0001"
    "00000009 00000001 00000000 ffffffff ffff"
    "00000000");

TEST(AnnotationMaps, HandWrittenFixtureInBothByteOrders) {
    InitMemoryManager(-1);
    for (const std::string& bytes : {kFixture, kFixtureBig}) {
        for (const bool swapping : {false, true}) {
            AnnotationMap* map = nullptr;
            ASSERT_EQ(Read(bytes, &map, swapping), 0);
            // Each list comes back reversed.
            EXPECT_EQ(Dump(map), "5:[2 R1 1][1 R1 0] 9:[0 - -1] ");
            DestroyAnnotationMap(map);
        }
    }
    // Written here: little-endian, count 0, the lists as they are in memory.
    AnnotationMap* map = nullptr;
    ASSERT_EQ(Read(kFixture, &map), 0);
    AnnotationMap* again = nullptr;
    ASSERT_EQ(Read(Stored(map), &again), 0);
    EXPECT_EQ(Dump(again), "5:[1 R1 0][2 R1 1] 9:[0 - -1] ");  // read twice: the first order
    std::string expected = kFixture;
    expected[2] = 0;  // the count is written as 0
    EXPECT_EQ(Stored(again), expected);
    DestroyAnnotationMap(map);
    DestroyAnnotationMap(again);
}

TEST(AnnotationMaps, TheDeadSessionsCountRisesInPlaceInTheMapsOwnOrder) {
    InitMemoryManager(-1);
    for (const std::string& bytes : {kFixture, kFixtureBig}) {
        HandleStream stream(bytes);
        uint16_t count = 0;
        ASSERT_EQ(IncrementAnnotationMapDeadSessionsCount(stream.stream, &count), 0);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(GetStreamPosition(stream.stream), 4);
        const std::string after = stream.bytes();
        EXPECT_EQ(after.substr(2, 2), bytes == kFixture ? Hex("0400") : Hex("0004"));
        EXPECT_EQ(after.substr(4), bytes.substr(4));
    }
    HandleStream notMap(Hex("0000 0000"));
    uint16_t count = 9;
    EXPECT_EQ(IncrementAnnotationMapDeadSessionsCount(notMap.stream, &count), -50);
    EXPECT_EQ(count, 0);
}

TEST(AnnotationMaps, DamagedInputEndsWithAStatusAndNoMap) {
    InitMemoryManager(-1);
    struct Case {
        const char* what;
        std::string bytes;
        OSStatus status;
    };
    const std::string head = kFixture.substr(0, 24);
    const Case cases[] = {
        {"no mark", Hex("0000 0000") + kFixture.substr(4), -50},
        {"a count beyond the bytes", head + Hex("05000000 ffffff0f 01000000"), -39},
        {"no end", kFixture.substr(0, kFixture.size() - 4), -39},
        {"a bad string block", Hex("3412 0000 00000000 00000000 00000000 00000000"), -50},
    };
    for (const Case& c : cases) {
        CappedPool pool;
        AnnotationMap* map = reinterpret_cast<AnnotationMap*>(1);
        EXPECT_EQ(Read(c.bytes, &map), c.status) << c.what;
        EXPECT_EQ(map, nullptr) << c.what;
        EXPECT_FALSE(pool.hitCeiling()) << c.what;
    }
    for (size_t n = 0; n < kFixture.size(); ++n) {
        CappedPool pool;
        AnnotationMap* map = nullptr;
        EXPECT_NE(Read(kFixture.substr(0, n), &map), 0) << n;
        EXPECT_EQ(map, nullptr);
    }
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0; round < StressCount(2000); ++round) {
        std::string bytes = random() % 2 ? kFixture : kFixtureBig;
        for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        // A stored string block may ask for up to its format's largest block, whatever follows;
        // the map read and the one read back each hold one.
        CappedPool pool(2 * kStringBlockMaxAllocated + (1u << 20));
        AnnotationMap* map = nullptr;
        if (Read(bytes, &map, random() % 2) == 0) {
            // What a reader does next: look up, write back.
            char text[256];
            AnnotationMapEntry entry;
            for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i)
                if (GetAnnotationMapEntry(map, i, &entry)) GetAnnotation(map, entry.symbolId, 1, false, text, sizeof text);
            AnnotationMap* again = nullptr;
            EXPECT_EQ(Read(Stored(map), &again), 0);
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
