// The stored form of a search-path list: a fixture written by hand in both byte orders, round
// trips, the default flags and the colon-separated paths of older files, and damaged input that
// must end with a status and an empty list without the input deciding what is allocated.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/tests/files_testing.h"

namespace plexa::test {
namespace {

struct Entry {
    uint8_t kind;
    uint8_t flags;
    std::string path;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << int(e.kind) << "/" << std::hex << int(e.flags) << std::dec << "/" << e.path;
}

std::vector<Entry> EntriesOf(PathSpecList* list) {
    std::vector<Entry> all;
    char path[kStringSpecBufferSize];
    for (auto* e = static_cast<PathSpec*>(LLFirst(list)); e; e = e->next) {
        GetPathSpecPath(list, e, path, sizeof path);
        all.push_back({e->rootKind, e->flags, path});
        EXPECT_EQ(e->directory, -1);
    }
    return all;
}

// Reads bytes into a fresh list of no owner; the status, and the entries.
OSStatus Read(const std::string& bytes, std::vector<Entry>* entries, uint8_t defaults = 14,
              bool convert = true, bool swap = false) {
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    EXPECT_TRUE(list);
    HandleStream in(bytes);
    EnableStreamReadByteSwap(in.stream, swap);
    const OSStatus st = ReadPathSpecList(in.stream, list, defaults, convert);
    *entries = EntriesOf(list);
    DestroyPathSpecList(list);
    return st;
}

// Two entries, little-endian:
const std::string kFixture = Hex(
    "02000000"                     // u32 2 entries
    "00 83 09000000"               // kind 0 (project), flags 0x83 (valid, sub-folders, sheets), 9 bytes
    "2e2f7368656574732f"           // "./sheets/"
    "02 00 09000000"               // kind 2 (absolute), flags 0 (not valid: defaults apply), 9 bytes
    "2f6162732f6c69622f");         // "/abs/lib/"
// The same written big-endian.
const std::string kFixtureBig = Hex(
    "00000002"
    "00 83 00000009 2e2f7368656574732f"
    "02 00 00000009 2f6162732f6c69622f");

const std::vector<Entry> kFixtureEntries = {
    {0, 0x93, "./sheets/"},
    {2, 0x9E, "/abs/lib/"},  // 0 | defaults 14 | 0x80, and the POSIX bit
};

TEST(PathListStored, HandWrittenFixtureInBothByteOrders) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    std::vector<Entry> entries;
    EXPECT_EQ(Read(kFixture, &entries), 0);
    EXPECT_EQ(entries, kFixtureEntries);
    EXPECT_EQ(Read(kFixtureBig, &entries, 14, true, true), 0);
    EXPECT_EQ(entries, kFixtureEntries);
    // The library paths' defaults.
    EXPECT_EQ(Read(kFixture, &entries, 6, false), 0);
    EXPECT_EQ(entries[1], (Entry{2, 0x96, "/abs/lib/"}));
}

TEST(PathListStored, RoundTripAndTheEmptyList) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    HandleStream empty;
    ASSERT_EQ(WritePathSpecList(empty.stream, list), 0);
    EXPECT_EQ(empty.bytes(), Hex("00000000"));

    HandleStream in(kFixture);
    ASSERT_EQ(ReadPathSpecList(in.stream, list, 14, true), 0);
    HandleStream out;
    ASSERT_EQ(WritePathSpecList(out.stream, list), 0);
    std::string expected = kFixture;
    expected[5] = char(0x93);   // written with the POSIX bit
    expected[20] = char(0x9E);  // and with the defaults taken in
    EXPECT_EQ(out.bytes(), expected);
    std::vector<Entry> entries;
    EXPECT_EQ(Read(out.bytes(), &entries), 0);
    EXPECT_EQ(entries, kFixtureEntries);
    DestroyPathSpecList(list);
}

TEST(PathListStored, ColonSeparatedPathsOfOlderFiles) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    auto one = [](uint8_t kind, uint8_t flags, const std::string& path) {
        std::string bytes = Hex("01000000");
        bytes += char(kind);
        bytes += char(flags);
        const uint32_t n = uint32_t(path.size());
        bytes.append(reinterpret_cast<const char*>(&n), 4);
        return bytes + path;
    };
    struct Case {
        uint8_t kind, flags;
        std::string stored;
        bool convert;
        std::string path;
    } cases[] = {
        {0, 0x82, ":Sheets:Sub:", true, "Sheets/Sub/"},
        {0, 0x82, "::Common:", true, "../Common/"},
        {2, 0x82, "Disk:Libraries:", true, "/Volumes/Disk/Libraries/"},
        {2, 0x82, "Disk:Libraries:", false, "Disk:Libraries:"},
        {2, 0x92, "/odd:name/", true, "/odd:name/"},  // already POSIX
    };
    for (const Case& c : cases) {
        std::vector<Entry> entries;
        ASSERT_EQ(Read(one(c.kind, c.flags, c.stored), &entries, 14, c.convert), 0) << c.stored;
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0], (Entry{c.kind, uint8_t(c.flags | 0x10), c.path})) << c.stored;
    }
}

TEST(PathListStored, DamagedInputEndsWithAStatus) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    struct Case {
        const char* what;
        std::string bytes;
        OSStatus status;
    } cases[] = {
        {"count beyond the bytes", Hex("ffffffff 00830100 0000 2e"), -39},
        {"path of 1024 bytes", Hex("01000000 0083 00040000") + std::string(1024, 'a'), -50},
        {"path length beyond the bytes", Hex("01000000 0083 ffff0000 2e2f"), -50},
        {"cut path", Hex("01000000 0083 09000000 2e2f"), -39},
        {"root kind 3", Hex("01000000 0383 01000000 2f"), -50},
        {"NUL in the path", Hex("01000000 0283 03000000 2f002f"), -50},
        {"no count", Hex("0100"), -39},
    };
    for (const Case& c : cases) {
        CappedPool pool;
        std::vector<Entry> entries;
        EXPECT_EQ(Read(c.bytes, &entries), c.status) << c.what;
        EXPECT_TRUE(entries.empty()) << c.what;
        EXPECT_FALSE(pool.hitCeiling()) << c.what;
    }
    // Every cut of the fixture, and a list that held entries before: emptied.
    for (size_t n = 0; n < kFixture.size(); ++n) {
        CappedPool pool;
        PathSpecList* list = CreatePathSpecList(nullptr, 0);
        HandleStream full(kFixture);
        ASSERT_EQ(ReadPathSpecList(full.stream, list, 14, true), 0);
        HandleStream in(kFixture.substr(0, n));
        EXPECT_NE(ReadPathSpecList(in.stream, list, 14, true), 0) << n;
        EXPECT_EQ(LLFirst(list), nullptr) << n;
        DestroyPathSpecList(list);
        EXPECT_FALSE(pool.hitCeiling());
    }
}

TEST(PathListStored, MutatedInputReadsOrFailsWhole) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    std::mt19937 random(TestSeed());
    const uint64_t rounds = StressCount(2000);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = random() % 2 ? kFixture : kFixtureBig;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        CappedPool pool;
        std::vector<Entry> entries;
        const OSStatus st = Read(bytes, &entries, 14, true, random() % 2);
        if (st != 0) {
            EXPECT_TRUE(entries.empty()) << "seed " << TestSeed() << " round " << round;
        }
        for (const Entry& e : entries) {
            EXPECT_LE(e.kind, 2);
            EXPECT_LE(e.path.size(), kPathSpecMaxLength);
            EXPECT_TRUE(e.flags & (kPathFlagsValid | kPathPosixForm));
        }
        EXPECT_FALSE(pool.hitCeiling()) << "seed " << TestSeed() << " round " << round;
    }
}

}  // namespace
}  // namespace plexa::test
