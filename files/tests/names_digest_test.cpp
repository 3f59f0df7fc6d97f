#include "files/names_digest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/item_map.h"
#include "files/tests/flat_item_testing.h"
#include "foundation/stringblock.h"

namespace plexa {
namespace {

using test::FlatHandle;
using test::FlatItemBytes;

// The code table, one row per code with the characters that map to it.
struct CodeRow {
    int code;
    const char* characters;
};
const CodeRow kCodes[] = {
    {0, "0"},   {1, "2"},   {2, "1"},   {3, "Cc"},  {4, "4"},   {5, "5"},   {6, "Aa"},  {7, "Mm"},
    {8, "7"},   {9, "8"},   {10, "3"},  {11, "Ss"}, {12, "6"},  {13, "Ll"}, {14, "Nn"}, {15, "Dd"},
    {16, "-"},  {17, "Bb"}, {18, "Pp"}, {19, "Tt"}, {20, "9"},  {21, "Ff"}, {22, "Ii"}, {23, "Hh"},
    {24, "Ee"}, {25, "Xx"}, {26, "Jj"}, {27, "Rr"}, {28, "Vv"}, {29, "/"},  {30, "Kk"}, {31, "Gg"},
    {32, "Ww"}, {33, "Uu"}, {34, "Qq"}, {35, "Oo"}, {36, "_"},  {37, "("},  {38, ")"},  {39, "Zz"},
    {40, "Yy"}, {41, "."},  {42, " "},  {43, "+"},  {44, "\\"}, {45, "<"},  {46, ">"},  {47, "&"},
    {48, "*"},  {49, "\""}, {50, "'"},  {51, "["},  {52, "]"},  {53, "{"},  {54, "}"},  {55, "#"},
    {56, "!"},  {57, ","},  {58, ":"},  {59, "="},  {60, "?"},  {61, "$"},  {62, "%"},
};

TEST(NamesDigest, CharacterTable) {
    int expected[256];
    for (int c = 0; c < 256; ++c) expected[c] = 63;
    expected[0] = 255;
    for (const CodeRow& row : kCodes) {
        for (const char* p = row.characters; *p; ++p) expected[uint8_t(*p)] = row.code;
    }
    for (int c = 0; c < 256; ++c) EXPECT_EQ(gCharDigestTable[c], expected[c]) << "byte " << c;
    // The bytes the table names as "all other bytes".
    for (int c : {1, 31, int(';'), int('@'), int('^'), int('`'), int('|'), int('~'), 127, 128, 200, 255}) EXPECT_EQ(gCharDigestTable[c], 63) << c;
}

// The set bits of a digest as "row:column" strings.
std::vector<std::string> Bits(const ItemNamesDigest& digest) {
    std::vector<std::string> bits;
    for (int row = 0; row < 64; ++row) {
        for (int column = 0; column < 64; ++column) {
            if (DigestBit(&digest, row, column)) bits.push_back(std::to_string(row) + ":" + std::to_string(column));
        }
    }
    return bits;
}

TEST(NamesDigest, StringToDigestVectors) {
    struct Case {
        const char* name;
        int32_t rows;
        std::vector<std::string> bits;
    };
    const Case cases[] = {
        {"", 1, {}},
        {"A", 1, {}},                       // one character: no pair, one row
        {"AB", 7, {"6:17"}},                // A = 6, B = 17
        {"ab", 7, {"6:17"}},                // letters fold
        {"R10", 28, {"2:0", "27:2"}},       // R1 in row 27, 10 in row 2
        {"7400", 9, {"0:0", "4:0", "8:4"}}, // 74, 40, 00
        {"x;", 26, {"25:63"}},              // the semicolon is "any other byte"
        {"\xC3\xA4", 64, {"63:63"}},        // bytes 128-255 too
        {"@@@", 64, {"63:63"}},
    };
    for (const Case& c : cases) {
        ItemNamesDigest digest;
        std::memset(&digest, 0xFF, sizeof digest);  // cleared unless accumulating
        EXPECT_EQ(StringToDigest(c.name, &digest, false), c.rows) << c.name;
        EXPECT_EQ(Bits(digest), c.bits) << c.name;
    }
}

TEST(NamesDigest, StoredLayout) {
    // Row r in bytes 8r..8r+7, bit c of the row in bit (c mod 8) of byte 8r + c / 8.
    ItemNamesDigest digest;
    StringToDigest("R9", &digest, false);  // row 27, column 20
    for (uint32_t i = 0; i < sizeof digest.bytes; ++i)
        EXPECT_EQ(digest.bytes[i], i == 8 * 27 + 2 ? 0x10 : 0) << i;
    StringToDigest("~~", &digest, false);  // row 63, column 63: the very last bit
    EXPECT_EQ(digest.bytes[511], 0x80);
}

TEST(NamesDigest, AccumulateReportsItsOwnRows) {
    ItemNamesDigest digest;
    EXPECT_EQ(StringToDigest("RS", &digest, false), 28);
    EXPECT_EQ(StringToDigest("AB", &digest, true), 7);  // the rows of this name, not of the digest
    EXPECT_EQ(Bits(digest), (std::vector<std::string>{"6:17", "27:11"}));
    EXPECT_EQ(StringToDigest("AB", &digest, false), 7);
    EXPECT_EQ(Bits(digest), std::vector<std::string>{"6:17"});
}

TEST(NamesDigest, IsSubDigest) {
    ItemNamesDigest library, query, empty;
    StringToDigest("SN74LS00", &library, false);
    const int32_t libraryRows = 64;
    std::memset(&empty, 0, sizeof empty);
    struct Case {
        const char* text;
        bool found;
    };
    const Case cases[] = {
        {"74LS", true}, {"sn74", true}, {"LS00", true}, {"7400", false}, {"7N", false}, {"X", true},
    };
    for (const Case& c : cases) {
        const int32_t rows = StringToDigest(c.text, &query, false);
        EXPECT_EQ(IsSubDigest(&query, rows, &library, libraryRows), c.found) << c.text;
    }
    // Row counts: a query with more rows than the digest never matches; 0 rows always do.
    const int32_t rows = StringToDigest("74", &query, false);
    EXPECT_EQ(rows, 9);
    EXPECT_TRUE(IsSubDigest(&query, rows, &library, rows));
    EXPECT_FALSE(IsSubDigest(&query, rows, &library, rows - 1));
    EXPECT_TRUE(IsSubDigest(&query, 0, &empty, 0));
    EXPECT_FALSE(IsSubDigest(&query, rows, &empty, 64));
    // Rows at or beyond the query's row count are not compared.
    EXPECT_TRUE(IsSubDigest(&query, 8, &empty, 64));
    // Row counts beyond 64 do not reach outside the matrix.
    EXPECT_TRUE(IsSubDigest(&query, 1000, &library, 1000));
}

TEST(NamesDigest, BuildItemNamesDigest) {
    ItemNamesDigest digest;
    std::memset(&digest, 0xFF, sizeof digest);
    EXPECT_EQ(BuildItemNamesDigest(nullptr, nullptr, &digest), 0);
    EXPECT_EQ(Bits(digest), std::vector<std::string>{});

    StringBlock names = CreateStringBlock(nullptr, 64);
    LibraryItemMap map = CreateLibraryItemMap(names);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(BuildItemNamesDigest(map, names, &digest), 0);
    FlatHandle a(FlatItemBytes({"AB", "R9"})), b(FlatItemBytes({"C"}));
    ASSERT_EQ(AddLibItemMapEntries(map, a, 100), 0);
    ASSERT_EQ(AddLibItemMapEntries(map, b, 200), 0);
    EXPECT_EQ(BuildItemNamesDigest(map, names, &digest), 28);
    EXPECT_EQ(Bits(digest), (std::vector<std::string>{"6:17", "27:20"}));
    DestroyLibraryItemMap(map, names);
}

}  // namespace
}  // namespace plexa
