#include "foundation/byteswap.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace plexa {
namespace {

static_assert(ByteSwapTemplateSize("L3W") == 14);  // three longs, then a word
static_assert(ByteSwapTemplateSize("WB6LW2LW") == 22);
static_assert(ByteSwapTemplateSize("W1 2") == 24);
static_assert(ByteSwapTemplateSize("") == 0);

// A record of bytes 0, 1, 2, ... swapped by a template gives `want`; bytes past it stay.
TEST(ByteSwap, TemplatesOnRecords) {
    struct Case {
        const char* tmpl;
        std::vector<uint8_t> want;
    } cases[] = {
        {"L2W", {3, 2, 1, 0, 7, 6, 5, 4, 9, 8}},
        {"W2L", {1, 0, 3, 2, 7, 6, 5, 4}},
        {"w2 l", {1, 0, 3, 2, 7, 6, 5, 4}},
        {"B3W", {0, 1, 2, 4, 3}},
        {"", {}},
        {"   ", {}},
        {"F", {7, 6, 5, 4, 3, 2, 1, 0}},
        {"WB6LW2LW", {1, 0, 2, 3, 4, 5, 6, 7, 11, 10, 9, 8, 13, 12, 15, 14, 19, 18, 17, 16, 21, 20}},
        {"2W", {1, 0}},               // digits before the first letter are ignored
        {"W0L", {3, 2, 1, 0}},        // a count of 0 covers nothing
        {"x2w", {0, 1, 3, 2}},        // any other letter skips bytes
        {"l1 0", {3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 19, 18, 17, 16,
                  23, 22, 21, 20, 27, 26, 25, 24, 31, 30, 29, 28, 35, 34, 33, 32, 39, 38, 37, 36}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl);
        ASSERT_EQ(ByteSwapTemplateSize(c.tmpl), c.want.size());
        std::vector<uint8_t> record(c.want.size() + 4);
        std::iota(record.begin(), record.end(), uint8_t(0));
        const std::vector<uint8_t> original = record;
        ByteSwapTemplate(record.data(), c.tmpl);
        EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + long(c.want.size())), c.want);
        EXPECT_TRUE(std::equal(record.begin() + long(c.want.size()), record.end(),
                               original.begin() + long(c.want.size())));
        ByteSwapTemplate(record.data(), c.tmpl);
        EXPECT_EQ(record, original);
    }
}

TEST(ByteSwap, ValuesAndArrays) {
    uint8_t bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ByteSwapWord(bytes + 1);  // unaligned
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(bytes[2], 2);
    uint32_t value = 0x11223344;
    EXPECT_EQ(ByteSwapLong(&value), 0x44332211u);
    EXPECT_EQ(value, 0x44332211u);

    uint8_t longs[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    ByteSwapLongArray(longs, 7);  // one whole long
    EXPECT_EQ(std::vector<uint8_t>(longs, longs + 8), (std::vector<uint8_t>{3, 2, 1, 0, 4, 5, 6, 7}));
    ByteSwapLongArray(longs, 3);  // none
    EXPECT_EQ(longs[0], 3);
    uint8_t words[5] = {0, 1, 2, 3, 4};
    ByteSwapWordArray(words, 5);
    EXPECT_EQ(std::vector<uint8_t>(words, words + 5), (std::vector<uint8_t>{1, 0, 3, 2, 4}));
    ByteSwapWordArray(words, 1);
    EXPECT_EQ(words[0], 1);
}

TEST(ByteSwap, Exchanges) {
    uint16_t w1 = 1, w2 = 2;
    EXPECT_EQ(ExchangeWords(&w1, &w2), 1);
    EXPECT_EQ(w1, 2);
    EXPECT_EQ(w2, 1);
    uint32_t l1 = 10, l2 = 20;
    EXPECT_EQ(ExchangeLongs(&l1, &l2), 10u);
    EXPECT_EQ(l1, 20u);
    EXPECT_EQ(l2, 10u);
    int a = 0, b = 0;
    int *pa = &a, *pb = &b;
    ExchangePointers(&pa, &pb);
    EXPECT_EQ(pa, &b);
    EXPECT_EQ(pb, &a);
}

TEST(ByteSwap, FourCharCodes) {
    struct Case {
        const char* text;
        uint32_t code;
    } cases[] = {{"SCH4", 0x53434834}, {"AB", 0x41420000}, {"", 0}, {"A", 0x41000000},
                 {"ABC", 0x41424300}, {"ABCDE", 0x41424344}, {"\xFF\x80", 0xFF800000}};
    for (const Case& c : cases) EXPECT_EQ(StringToFourChar(c.text), c.code) << c.text;
    char buffer[5];
    EXPECT_STREQ(FourCharToString(0x53434834, buffer), "SCH4");
    EXPECT_EQ(StringToFourChar(FourCharToString(0x51504C58, buffer)), 0x51504C58u);
}

}  // namespace
}  // namespace plexa
