#include "files/item_map.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "files/tests/flat_item_testing.h"
#include "foundation/da.h"
#include "foundation/stringblock.h"
#include "model/libitem.h"

namespace plexa {
namespace {

using test::FlatHandle;
using test::FlatItemBytes;
using test::MapNames;

// A map with its own names block, freed with the object.
struct Map {
    StringBlock names = CreateStringBlock(nullptr, 64);
    LibraryItemMap map = CreateLibraryItemMap(names);
    ~Map() { DestroyLibraryItemMap(map, names); }
    void Add(const std::vector<std::string>& itemNames, uint32_t block, uint8_t kind = 0) {
        FlatHandle item(FlatItemBytes(itemNames, kind));
        ASSERT_EQ(AddLibItemMapEntries(map, item, block), 0);
    }
    LibraryItemMapEntry Entry(int32_t i) const {
        LibraryItemMapEntry entry;
        EXPECT_TRUE(GetLibItemMapEntry(map, i, &entry)) << i;
        return entry;
    }
};

TEST(ItemMap, SplitTrailingNumber) {
    struct Case {
        const char* name;
        int32_t number;
        const char* text;
    };
    const Case cases[] = {
        {"", 0, ""},
        {"ABC", 0, "ABC"},
        {"ABC10", 10, "ABC"},
        {"7400", 7400, ""},
        {"74LS00", 0, "74LS"},
        {"R0009", 9, "R"},
        {"2147483647", INT32_MAX, ""},
        {"2147483648", INT32_MAX, ""},                  // one past: saturates
        {"N4294967297", INT32_MAX, "N"},                // 2^32 + 1 must not wrap to 1
        {"X99999999999999999999999999", INT32_MAX, "X"},
        {"A1B", 0, "A1B"},
    };
    for (const Case& c : cases) {
        char name[64];
        std::strcpy(name, c.name);
        EXPECT_EQ(SplitLibItemNameNumber(name), c.number) << c.name;
        EXPECT_STREQ(name, c.text) << c.name;
    }
}

TEST(ItemMap, SortOrder) {
    const std::vector<std::string> scrambled = {
        "ABC10", "R10", "74LS00", "N4294967297", "ABC", "7400", "R9", "abc11", "ABC9", "10",
        "R01", "N99999999999999999999", "9", "N5", "R",
    };
    const std::vector<std::string> expected = {
        "9", "10", "7400",  // digits only: an empty text, by value, ahead of every text
        "74LS00", "ABC", "ABC9", "ABC10", "abc11",
        "N5", "N4294967297", "N99999999999999999999",  // both saturate: equal, in arrival order
        "R", "R01", "R9", "R10",
    };
    Map m;
    uint32_t block = 1000;
    for (const std::string& name : scrambled) m.Add({name}, block += 100);
    EXPECT_EQ(MapNames(m.map), expected);
    // The order is a true order: a sorted search finds every entry.
    for (int32_t i = 0; i < CountLibItemMapEntries(m.map); ++i) {
        const LibraryItemMapEntry entry = m.Entry(i);
        const int32_t found = DASearch(m.map, -1, &entry, 0);
        EXPECT_FALSE(uint32_t(found) & kDANotFound) << expected[size_t(i)];
    }
    // Sorting the same entries at once gives the same order.
    Map bulk;
    block = 1000;
    for (const std::string& name : scrambled) {
        FlatHandle item(FlatItemBytes({name}));
        ASSERT_EQ(AppendLibItemMapEntries(bulk.map, item, block += 100), 0);
    }
    SortLibItemMap(bulk.map);
    EXPECT_EQ(MapNames(bulk.map), expected);
}

TEST(ItemMap, EntriesOfAnItemWithThreeNames) {
    Map m;
    m.Add({"Z1", "A1", "M1"}, 4242, kLibItemPort);
    ASSERT_EQ(CountLibItemMapEntries(m.map), 3);
    const struct {
        const char* name;
        uint16_t index;
        uint8_t flags;
    } expected[] = {{"A1", 1, 0x82}, {"M1", 2, 0x82}, {"Z1", 0, 0x02}};
    for (int32_t i = 0; i < 3; ++i) {
        const LibraryItemMapEntry entry = m.Entry(i);
        char name[kStringSpecBufferSize];
        GetLibItemMapEntryName(m.map, &entry, name, sizeof name);
        EXPECT_STREQ(name, expected[i].name);
        EXPECT_EQ(entry.blockId, 4242u);
        EXPECT_EQ(entry.nameIndex, expected[i].index);
        EXPECT_EQ(entry.flags, expected[i].flags);
        EXPECT_EQ(entry.zero, 0);
    }
    EXPECT_EQ(FindLibItemMapBlock(m.map, 4242), 0);
    EXPECT_EQ(RemoveLibItemMapEntries(m.map, 4242), 3);
    EXPECT_EQ(CountLibItemMapEntries(m.map), 0);
    EXPECT_EQ(FindLibItemMapBlock(m.map, 4242), -1);
}

TEST(ItemMap, EqualNamesShareTheirBytes) {
    Map m;
    m.Add({"7400"}, 10);
    const uint32_t used = reinterpret_cast<StringBlockHeader*>(*m.names)->used;
    m.Add({"7400"}, 20);
    EXPECT_EQ(reinterpret_cast<StringBlockHeader*>(*m.names)->used, used);
    EXPECT_EQ(m.Entry(0).name, m.Entry(1).name);
    EXPECT_EQ(m.Entry(0).blockId, 10u);  // equal names keep their arrival order
    EXPECT_EQ(m.Entry(1).blockId, 20u);
}

TEST(ItemMap, EachMapSortsByItsOwnNames) {
    // Two maps filled in turns: each compares through its own names block.
    Map a, b;
    a.Add({"PAD"}, 1);
    b.Add({"XYZ"}, 1);
    a.Add({"B2"}, 2);
    b.Add({"C3"}, 2);
    a.Add({"ZZ"}, 3);
    b.Add({"A4"}, 3);
    EXPECT_EQ(MapNames(a.map), (std::vector<std::string>{"B2", "PAD", "ZZ"}));
    EXPECT_EQ(MapNames(b.map), (std::vector<std::string>{"A4", "C3", "XYZ"}));
    EXPECT_EQ(GetLibraryItemMapNames(a.map), a.names);
}

TEST(ItemMap, BytesThatAreNoItemAddNothing) {
    Map m;
    const std::string good = FlatItemBytes({"GOOD", "ALIAS"});
    const std::vector<std::string> bad = {
        "",                                         // nothing
        good.substr(0, 33),                         // no name list
        good.substr(0, good.size() - 1),            // the list's ending is missing
        good.substr(0, 40),                         // cut inside a name
        FlatItemBytes({}),                          // no names
        std::string("\x56\x78") + good.substr(2),   // not a byte-order mark
    };
    for (const std::string& bytes : bad) {
        FlatHandle item(bytes);
        EXPECT_EQ(AddLibItemMapEntries(m.map, item, 7), status::kParamErr) << bytes.size();
        EXPECT_EQ(CountLibItemMapEntries(m.map), 0);
    }
    EXPECT_EQ(AddLibItemMapEntries(m.map, nullptr, 7), status::kParamErr);
    FlatHandle item(good);
    EXPECT_EQ(AddLibItemMapEntries(nullptr, item, 7), status::kParamErr);
}

TEST(FlatItem, NamesKindAndFlags) {
    FlatHandle item(FlatItemBytes({"7400", "SN7400"}, kLibItemWireSymbol, "payload"));
    char name[kFlatItemNameBufferSize];
    EXPECT_EQ(GetFlattenedLibraryItemName(item, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "7400");
    EXPECT_EQ(GetFlattenedLibraryItemName(item, 1, name, sizeof name), 1);
    EXPECT_STREQ(name, "SN7400");
    EXPECT_EQ(GetFlattenedLibraryItemName(item, 2, name, sizeof name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(GetFlattenedLibraryItemName(item, -1, name, sizeof name), 0);
    EXPECT_EQ(GetFlattenedLibraryItemName(item, 0, name, 3), 1);  // cut to the buffer
    EXPECT_STREQ(name, "74");
    EXPECT_EQ(GetFlattenedLibraryItemKind(item), kLibItemWireSymbol);
    EXPECT_EQ(GetFlattenedLibraryItemFlags(item), kLibItemFlagUTF8);
    int32_t count = 0;
    EXPECT_EQ(CheckFlattenedLibraryItemNames(item, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(GetFlattenedLibraryItemKind(nullptr), 0);
}

TEST(FlatItem, MacRomanNamesAreRecoded) {
    // Flag bit 0 clear: the names are Mac Roman (0x8A is a-umlaut, 0xA5 the bullet).
    FlatHandle item(FlatItemBytes({"B\x8A" "R", "x\xA5"}, kLibItemComponent, {}, 0, 0));
    char name[kFlatItemNameBufferSize];
    ASSERT_EQ(GetFlattenedLibraryItemName(item, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "B\xC3\xA4R");
    ASSERT_EQ(GetFlattenedLibraryItemName(item, 1, name, sizeof name), 1);
    EXPECT_STREQ(name, "x\xE2\x80\xA2");
    // With the bit set the bytes are taken as they are.
    FlatHandle utf8(FlatItemBytes({"B\xC3\xA4R"}));
    ASSERT_EQ(GetFlattenedLibraryItemName(utf8, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "B\xC3\xA4R");
}

TEST(FlatItem, OtherByteOrderMark) {
    std::string bytes = FlatItemBytes({"ABC"});
    std::swap(bytes[0], bytes[1]);
    FlatHandle item(bytes);
    char name[kFlatItemNameBufferSize];
    EXPECT_EQ(GetFlattenedLibraryItemName(item, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "ABC");
}

}  // namespace
}  // namespace plexa
