#include "design/simlink_strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

std::string Bytes(Handle list) { return std::string(*list, SizeOfHandle(list)); }

struct Entry {
    std::string text;
    uint32_t data;
};

std::vector<Entry> Entries(Handle list) {
    std::vector<Entry> entries;
    for (int32_t i = 0; i < CountSpiceStringListItems(list); ++i) {
        char text[kSpiceStringTextSize];
        uint32_t data = 0;
        EXPECT_EQ(GetSpiceStringListEntry(list, i, text, &data), 0);
        entries.push_back({text, data});
    }
    return entries;
}

std::string Texts(Handle list) {
    std::string all;
    for (const Entry& e : Entries(list)) all += e.text + "|";
    return all;
}

// A list of entry data size 4 with the texts, their data 1, 2, 3 ...
Handle MakeList(std::initializer_list<const char*> texts) {
    Handle list = CreateSpiceStringList(4);
    uint32_t data = 0;
    for (const char* text : texts) {
        ++data;
        EXPECT_EQ(AddSpiceStringListEntry(list, text, &data), 0);
    }
    return list;
}

TEST(SpiceStringList, BuildsTheStoredFormInThisMachinesOrder) {
    Handle list = CreateSpiceStringList(4);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Bytes(list), std::string(8, '\0').replace(0, 1, "\x04"));
    const uint32_t id = 0x01020304;
    ASSERT_EQ(AddSpiceStringListEntry(list, "tran", &id), 0);
    ASSERT_EQ(AddSpiceStringListEntry(list, nullptr, nullptr), 0);
    const uint8_t expected[] = {
        0x04, 0x00,              // entry data size 4 (this machine's order: little-endian)
        0x02, 0x00,              // two entries
        0x0E, 0x00, 0x00, 0x00,  // 14 bytes of entries
        0x04, 't', 'r', 'a', 'n', 0x04, 0x03, 0x02, 0x01,  // "tran", 0x01020304
        0x00, 0x00, 0x00, 0x00, 0x00,                      // "", 0
    };
    EXPECT_EQ(Bytes(list), std::string(reinterpret_cast<const char*>(expected), sizeof expected));
    EXPECT_EQ(CountSpiceStringListItems(list), 2);
    EXPECT_EQ(GetSpiceStringListEntryDataSize(list), 4);
    EXPECT_EQ(CalcSpiceStringListEntryPos(list, 0), 8);
    EXPECT_EQ(CalcSpiceStringListEntryPos(list, 1), 17);
    EXPECT_EQ(IncrementSpiceStringListEntryPos(list, 8), 17);
    EXPECT_EQ(IncrementSpiceStringListEntryPos(list, 17), 22);
    EXPECT_EQ(CalcSpiceStringListEntryPos(list, 2), -1);
    EXPECT_EQ(IncrementSpiceStringListEntryPos(list, 22), -1);
    EXPECT_EQ(FindSpiceStringListNullEntry(list), 1);
    DestroySpiceStringList(list);
}

TEST(SpiceStringList, ReadsAndReplacesEntries) {
    Handle list = MakeList({"v(out)", "i(r1)", "time"});
    EXPECT_EQ(FindSpiceStringListNullEntry(list), -1);
    char text[kSpiceStringTextSize];
    uint32_t data = 0;
    ASSERT_EQ(GetSpiceStringListEntry(list, 1, text, &data), 0);
    EXPECT_STREQ(text, "i(r1)");
    EXPECT_EQ(data, 2u);
    // Longer and shorter replacements move the entries after them.
    const uint32_t nine = 9;
    ASSERT_EQ(SetSpiceStringListEntry(list, 1, "a much longer name", &nine), 0);
    EXPECT_EQ(Texts(list), "v(out)|a much longer name|time|");
    EXPECT_EQ(Entries(list)[1].data, 9u);
    EXPECT_EQ(Entries(list)[2].data, 3u);
    ASSERT_EQ(SetSpiceStringListEntry(list, 0, "", nullptr), 0);
    EXPECT_EQ(Texts(list), "|a much longer name|time|");
    EXPECT_EQ(Entries(list)[0].data, 0u);
    EXPECT_EQ(FindSpiceStringListNullEntry(list), 0);
    // The head's length follows every change.
    EXPECT_EQ(CheckSpiceStringList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list), false), 0);
    // Out of range.
    EXPECT_NE(GetSpiceStringListEntry(list, 3, text, &data), 0);
    EXPECT_STREQ(text, "");
    EXPECT_NE(GetSpiceStringListEntry(list, -1, text, nullptr), 0);
    EXPECT_NE(SetSpiceStringListEntry(list, 3, "x", nullptr), 0);
    EXPECT_EQ(CountSpiceStringListItems(nullptr), 0);
    DestroySpiceStringList(list);
}

TEST(SpiceStringList, DeleteRemovesTheEntriesBeforeTheIndex) {
    struct Case {
        int32_t index;
        const char* left;
    } cases[] = {
        {0, "a|b|c|d|"}, {1, "b|c|d|"}, {3, "d|"}, {4, ""}, {-1, ""}, {99, ""},
    };
    for (const Case& c : cases) {
        Handle list = MakeList({"a", "b", "c", "d"});
        DeleteSpiceStringListEntry(list, c.index);
        EXPECT_EQ(Texts(list), c.left) << c.index;
        EXPECT_EQ(CheckSpiceStringList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list), false),
                  0);
        // The data stays with its entry.
        if (c.index == 3) {
            EXPECT_EQ(Entries(list)[0].data, 4u);
        }
        DestroySpiceStringList(list);
    }
}

TEST(SpiceStringList, LongTextsAreCutAtACharacterBoundary) {
    Handle list = CreateSpiceStringList(0);
    const std::string ascii(300, 'x');
    ASSERT_EQ(AddSpiceStringListEntry(list, ascii.c_str(), nullptr), 0);
    // 254 ASCII bytes, then a two-byte character that would end past 255.
    const std::string split = std::string(254, 'y') + "\xC3\xA9" + "z";
    ASSERT_EQ(AddSpiceStringListEntry(list, split.c_str(), nullptr), 0);
    const std::vector<Entry> entries = Entries(list);
    EXPECT_EQ(entries[0].text, std::string(255, 'x'));
    EXPECT_EQ(entries[1].text, std::string(254, 'y'));
    DestroySpiceStringList(list);
}

TEST(SpiceStringList, TwoByteDataAndSwapping) {
    Handle list = CreateSpiceStringList(2);
    const uint16_t value = 0x1234;
    ASSERT_EQ(AddSpiceStringListEntry(list, "r1", &value), 0);
    ASSERT_EQ(ByteSwapSpiceStringListIntegers(list), 0);
    uint16_t swapped = 0;
    ASSERT_EQ(GetSpiceStringListEntry(list, 0, nullptr, &swapped), 0);
    EXPECT_EQ(swapped, 0x3412);
    // Other entry data sizes are left as they are.
    Handle bytes = CreateSpiceStringList(3);
    const uint8_t three[3] = {1, 2, 3};
    ASSERT_EQ(AddSpiceStringListEntry(bytes, "q", three), 0);
    const std::string before = Bytes(bytes);
    ASSERT_EQ(ByteSwapSpiceStringListIntegers(bytes), 0);
    EXPECT_EQ(Bytes(bytes), before);
    DestroySpiceStringList(list);
    DestroySpiceStringList(bytes);
}

TEST(SpiceStringList, TurnsToAndFromTheWireOrder) {
    Handle list = MakeList({"tran", "v(1)"});
    std::string copy = Bytes(list);
    ASSERT_EQ(TurnSpiceStringList(reinterpret_cast<uint8_t*>(copy.data()), uint32_t(copy.size()), true),
              0);
    const uint8_t wire[] = {
        0x00, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00, 0x12,  // size 4, two entries, 18 bytes
        0x04, 't', 'r', 'a', 'n', 0x00, 0x00, 0x00, 0x01,
        0x04, 'v', '(', '1', ')', 0x00, 0x00, 0x00, 0x02,
    };
    EXPECT_EQ(copy, std::string(reinterpret_cast<const char*>(wire), sizeof wire));
    // The list itself is untouched, and turning back gives it again.
    EXPECT_EQ(Entries(list)[1].data, 2u);
    ASSERT_EQ(TurnSpiceStringList(reinterpret_cast<uint8_t*>(copy.data()), uint32_t(copy.size()), false),
              0);
    EXPECT_EQ(copy, Bytes(list));
    DestroySpiceStringList(list);
}

TEST(SpiceStringList, MalformedListsAreRefused) {
    const std::string good("\x00\x00\x00\x02\x00\x00\x00\x04\x01" "a\x01" "b", 12);
    ASSERT_EQ(CheckSpiceStringList(reinterpret_cast<const uint8_t*>(good.data()), 12, true), 0);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"short of a head", std::string("\x00\x00\x00", 3)},
        {"length not the rest", std::string("\x00\x00\x00\x02\x00\x00\x00\x05\x01" "a\x01" "b", 12)},
        {"an entry runs past the end", std::string("\x00\x00\x00\x02\x00\x00\x00\x04\x01" "a\x02" "b", 12)},
        {"more count than entries", std::string("\x00\x00\x00\x03\x00\x00\x00\x04\x01" "a\x01" "b", 12)},
        {"bytes left after the entries", std::string("\x00\x00\x00\x01\x00\x00\x00\x04\x01" "a\x01" "b", 12)},
        {"data past the end", std::string("\x00\x04\x00\x01\x00\x00\x00\x04\x01" "a\x01" "b", 12)},
        {"entries without a count", std::string("\x00\x00\x00\x00\x00\x00\x00\x02\x01" "a", 10)},
        {"length above the limit", std::string("\x00\x00\x00\x00\x01\x00\x00\x01", 8) + std::string(0x1000001, '\0')},
    };
    for (Case& c : cases) {
        auto* bytes = reinterpret_cast<uint8_t*>(c.bytes.data());
        const uint32_t size = uint32_t(c.bytes.size());
        EXPECT_NE(CheckSpiceStringList(bytes, size, true), 0) << c.what;
        const std::string before = c.bytes;
        EXPECT_NE(TurnSpiceStringList(bytes, size, false), 0) << c.what;
        EXPECT_EQ(c.bytes, before) << c.what;
    }
    // The calls on a malformed handle stay within it.
    Handle bad = AllocHandleWithData(nullptr, "\x00\x00\x05\x00\x04\x00\x00\x00\x09xyz", 12);
    char text[kSpiceStringTextSize];
    EXPECT_NE(GetSpiceStringListEntry(bad, 0, text, nullptr), 0);
    EXPECT_EQ(FindSpiceStringListNullEntry(bad), -1);
    EXPECT_EQ(CalcSpiceStringListEntryPos(bad, 0), -1);
    EXPECT_NE(AddSpiceStringListEntry(bad, "x", nullptr), 0);
    EXPECT_NE(ByteSwapSpiceStringListIntegers(bad), 0);
    DeleteSpiceStringListEntry(bad, 2);
    EXPECT_EQ(SizeOfHandle(bad), 12u);
    MemFree(bad);
}

TEST(SpiceStringList, RandomEditsKeepTheListWellFormed) {
    std::mt19937 random(test::TestSeed());
    Handle list = CreateSpiceStringList(4);
    std::vector<Entry> model;
    for (uint64_t step = 0; step < test::StressCount(400); ++step) {
        const std::string text(random() % 40, char('a' + random() % 26));
        const uint32_t data = uint32_t(random());
        switch (random() % 4) {
        case 0:
        case 1:
            ASSERT_EQ(AddSpiceStringListEntry(list, text.c_str(), &data), 0);
            model.push_back({text, data});
            break;
        case 2:
            if (!model.empty()) {
                const int32_t i = int32_t(random() % model.size());
                ASSERT_EQ(SetSpiceStringListEntry(list, i, text.c_str(), &data), 0);
                model[size_t(i)] = {text, data};
            }
            break;
        case 3:
            if (random() % 8 == 0) {
                const int32_t i = int32_t(random() % (model.size() + 1));
                DeleteSpiceStringListEntry(list, i);
                model.erase(model.begin(), i < int32_t(model.size()) ? model.begin() + i : model.end());
            }
            break;
        }
        ASSERT_EQ(CheckSpiceStringList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list), false), 0);
    }
    const std::vector<Entry> entries = Entries(list);
    ASSERT_EQ(entries.size(), model.size());
    for (size_t i = 0; i < model.size(); ++i) {
        EXPECT_EQ(entries[i].text, model[i].text);
        EXPECT_EQ(entries[i].data, model[i].data);
    }
    DestroySpiceStringList(list);
}

}  // namespace
}  // namespace plexa
