// Chunky blocks and name tables: growth and shrinking in chunks, sorted and linear search,
// sorted adds, and name tables with case rules, values and long names.
#include "foundation/nametable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "foundation/hash.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

class ChunkyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(status::kNoErr, InitMemoryManager(-1)); }
};
using NameTableTest = ChunkyTest;

int32_t CompareFirstWord(const void* key, const void* item, VXChunkySearchRecord*) {
    int32_t a, b;
    std::memcpy(&a, key, 4);
    std::memcpy(&b, item, 4);
    return CompareInt32(a, b);
}

TEST_F(ChunkyTest, GrowsAndShrinksInChunks) {
    VXChunkyBlock block = VXCreateChunkyBlock(nullptr, 8, 0, 3);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(VXChunkyHeader(block)->growth, 64u);
    EXPECT_EQ(VXChunkyHeader(block)->capacity, 64u);
    EXPECT_EQ(VXChunkyCount(block), 3u);
    uint64_t item = 1;
    for (uint32_t i = 0; i < 3; ++i) {
        VXChunkyGet(block, i, &item);
        EXPECT_EQ(item, 0u);
    }
    VXChunkyGet(block, 3, &(item = 5));
    EXPECT_EQ(item, 0u);
    VXDestroyChunkyBlock(block);
    EXPECT_EQ(VXChunkyCount(nullptr), 0u);
    EXPECT_EQ(VXCreateChunkyBlock(nullptr, 0, 4, 0), nullptr);

    block = VXCreateChunkyBlock(nullptr, 4, 4, 0);
    for (int32_t v = 10; v < 15; ++v) EXPECT_EQ(VXChunkyAdd(block, &v), v - 10);
    EXPECT_EQ(VXChunkyHeader(block)->capacity, 8u);
    VXChunkyDelete(block, 1, 2, true);
    EXPECT_EQ(VXChunkyHeader(block)->capacity, 4u);
    int32_t seen[3];
    int32_t index = -1;
    int n = 0;
    while (int32_t* p = static_cast<int32_t*>(VXChunkyNext(block, &index))) seen[n++] = *p;
    ASSERT_EQ(n, 3);
    EXPECT_EQ(seen[0], 10);
    EXPECT_EQ(seen[1], 13);
    EXPECT_EQ(seen[2], 14);

    // Insertion in the middle, deletion to the end, and a resize that never drops items.
    int32_t* at = static_cast<int32_t*>(VXChunkyInsert(block, 1, 2));
    ASSERT_NE(at, nullptr);
    at[0] = 11;
    at[1] = 12;
    EXPECT_EQ(VXChunkyInsert(block, 99, 1), nullptr);
    for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(*static_cast<int32_t*>(VXChunkyItemPtr(block, uint32_t(i))), 10 + i);
    EXPECT_TRUE(ResizeChunkyBlock(block, 1));
    EXPECT_EQ(VXChunkyHeader(block)->capacity, 8u);
    VXChunkyDelete(block, 3, -1, true);
    EXPECT_EQ(VXChunkyCount(block), 3u);
    EXPECT_EQ(VXChunkyHeader(block)->capacity, 4u);
    VXChunkyDelete(block, 0, 100, true);
    EXPECT_EQ(VXChunkyCount(block), 0u);
    EXPECT_EQ(VXChunkyHeader(block)->capacity, 0u);
    EXPECT_EQ(VXChunkyItemPtr(block, 0), nullptr);
    VXDestroyChunkyBlock(block);
}

TEST_F(ChunkyTest, SearchesAndSortedAdds) {
    VXChunkyBlock block = VXCreateChunkyBlock(nullptr, 8, 2, 0);
    EXPECT_EQ(VXChunkySearch(block, "\5\0\0\0", 4, nullptr, kChunkySearchSorted | kChunkyCompareInt32, 0),
              int32_t(0x80000000));
    for (int32_t v : {1, 3, 7}) {
        int32_t item[2] = {v, -v};
        VXChunkyAdd(block, item);
    }
    const int32_t five = 5, three = 3, nine = 9;
    struct Case {
        const int32_t* key;
        uint32_t flags;
        VXChunkyCompareProc compare;
        int32_t expected;
    } cases[] = {
        {&five, kChunkySearchSorted | kChunkyCompareInt32, nullptr, int32_t(0x80000002)},
        {&five, kChunkySearchSorted, CompareFirstWord, int32_t(0x80000002)},
        {&three, kChunkySearchSorted | kChunkyCompareInt32, nullptr, 1},
        {&nine, kChunkySearchSorted, CompareFirstWord, int32_t(0x80000003)},
        {&three, 0, nullptr, 1},  // memcmp of 4 bytes, linear
        {&five, kChunkyCompareInt32, nullptr, int32_t(0x80000000)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VXChunkySearch(block, c.key, 4, c.compare, c.flags, 0), c.expected) << *c.key << " " << c.flags;

    const int32_t equal[2] = {7, 70};
    EXPECT_EQ(VXChunkyAddSorted(block, equal, CompareFirstWord, kChunkyAddUnique, 0), 0x08000002);
    EXPECT_EQ(VXChunkyCount(block), 3u);
    EXPECT_EQ(VXChunkyAddSorted(block, equal, CompareFirstWord, 0, 0), 2);
    EXPECT_EQ(VXChunkyCount(block), 4u);
    EXPECT_EQ(static_cast<int32_t*>(VXChunkyItemPtr(block, 2))[1], 70);
    EXPECT_EQ(static_cast<int32_t*>(VXChunkyItemPtr(block, 3))[1], -7);

    // Random sorted adds keep the block in order.
    std::mt19937 rng(test::TestSeed());
    for (uint64_t i = 0; i < test::StressCount(500); ++i) {
        int32_t item[2] = {int32_t(rng() % 1000), 0};
        ASSERT_GE(VXChunkyAddSorted(block, item, nullptr, kChunkyCompareInt32, 0), 0);
    }
    for (uint32_t i = 1; i < VXChunkyCount(block); ++i)
        ASSERT_LE(*static_cast<int32_t*>(VXChunkyItemPtr(block, i - 1)), *static_cast<int32_t*>(VXChunkyItemPtr(block, i)));
    VXDestroyChunkyBlock(block);
}

std::string EntryName(VXNameTable table, uint32_t index) {
    char buffer[kStringSpecBufferSize];
    StringSpec spec;
    std::memcpy(&spec, VXChunkyItemPtr(table, index), 4);
    VXNameTableExtractName(table, spec, buffer, sizeof buffer);
    return buffer;
}

TEST_F(NameTableTest, FindsNamesWithoutRegardToCaseAndKeepsValues) {
    VXNameTable table = VXCreateNameTableEx(nullptr, kNameTableValues, 0, 77);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(VXNameTableGetRecord(table)->entrySize, 16u);
    EXPECT_EQ(VXNameTableGetRecord(table)->value, 77u);
    int32_t index = -1;
    const StringSpec vcc = VXNameTableAdd(table, "Vcc", 5, &index);
    EXPECT_NE(vcc, 0u);
    EXPECT_EQ(index, 0);
    VXNameTableAdd(table, "GND", 6, nullptr);
    VXNameTableAdd(table, "clk", 7, nullptr);

    uint64_t value = 0;
    EXPECT_EQ(VXNameTableSearch(table, "VCC", &index, &value), vcc);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(VXNameTableAdd(table, "vcc", 99, &index), vcc);
    EXPECT_EQ(VXNameTableSearch(table, "vCC", nullptr, &value), vcc);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(VXChunkyCount(table), 3u);
    EXPECT_EQ(VXNameTableSearch(table, "data", &index, &value), 0u);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(index, int32_t(0x80000001));  // clk, (data), GND, Vcc
    EXPECT_EQ(EntryName(table, 0), "clk");
    EXPECT_EQ(EntryName(table, 2), "Vcc");
    EXPECT_EQ(VXNameTableAdd(table, "", 1, &index), 0u);
    EXPECT_EQ(VXChunkyCount(table), 3u);

    StringBlock other = CreateStringBlock(nullptr, 64);
    char buffer[16];
    ExtractStringSpec(VXNameTableTransferNameToStringBlock(table, vcc, other, true), other, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Vcc");
    DestroyStringBlock(other);
    VXDestroyNameTable(table);

    // Case-sensitive tables keep names that differ in case apart; tables with an extra size carry
    // the owner's bytes and no values.
    table = VXCreateNameTableEx(nullptr, kNameTableCaseSensitive | kNameTableValues, 12, 0);
    EXPECT_EQ(VXNameTableGetRecord(table)->entrySize, 20u);
    EXPECT_EQ(VXNameTableGetRecord(table)->flags, kNameTableCaseSensitive);
    const StringSpec upper = VXNameTableAdd(table, "VCC", 1, nullptr);
    const StringSpec lower = VXNameTableAdd(table, "vcc", 2, nullptr);
    EXPECT_NE(upper, lower);
    EXPECT_EQ(VXNameTableSearch(table, "vcc", nullptr, &value), lower);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(VXNameTableSearch(table, "Vcc", nullptr, nullptr), 0u);
    VXDestroyNameTable(table);
}

TEST_F(NameTableTest, LongNamesSharingALongPrefixStayApart) {
    for (uint32_t flags : {0u, kNameTableCaseSensitive}) {
        VXNameTable table = VXCreateNameTableEx(nullptr, flags | kNameTableValues, 0, 0);
        const std::string prefix(600, 'n');
        std::map<std::string, uint64_t> names;
        for (const char* tail : {"A", "b", "C", "", "aa"}) names[prefix + tail] = names.size() + 1;
        names[std::string(1023, 'n')] = 10;
        for (const auto& [name, value] : names) {
            int32_t index = -1;
            ASSERT_NE(VXNameTableAdd(table, name.c_str(), value, &index), 0u);
        }
        ASSERT_EQ(VXChunkyCount(table), names.size());
        for (const auto& [name, value] : names) {
            uint64_t found = 0;
            std::string upper = name;
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            const StringSpec spec = VXNameTableSearch(table, flags ? name.c_str() : upper.c_str(), nullptr, &found);
            ASSERT_NE(spec, 0u) << name.size();
            EXPECT_EQ(found, value) << name.size();
            char buffer[kStringSpecBufferSize];
            VXNameTableExtractName(table, spec, buffer, sizeof buffer);
            EXPECT_EQ(buffer, name);
        }
        // A name longer than a spec can hold is found as its first 1023 bytes.
        const std::string longer(1100, 'n');
        EXPECT_NE(VXNameTableSearch(table, longer.c_str(), nullptr, nullptr), 0u);
        EXPECT_NE(VXNameTableAdd(table, longer.c_str(), 0, nullptr), 0u);
        EXPECT_EQ(VXChunkyCount(table), names.size());
        VXDestroyNameTable(table);
    }
}

}  // namespace
}  // namespace plexa
