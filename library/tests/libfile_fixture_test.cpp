// Library files written byte by byte from the stored layout: the reader must take them in either
// byte order and from before UTF-8 names, and the writer must lay its own files out the same way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/libfile.h"
#include "library/tests/library_testing.h"
#include "tests/support/foundation_testing.h"

namespace plexa {
namespace {

using test::Hex;
using test::OpenLibrary;
using test::SpecOf;
using test::TempDir;

struct Bytes {
    std::string b;
    Bytes& hex(const char* text) {
        b += Hex(text);
        return *this;
    }
    Bytes& zeros(size_t n) {
        b.append(n, '\0');
        return *this;
    }
    Bytes& raw(const std::string& s) {
        b += s;
        return *this;
    }
    Bytes& u32(uint32_t v, bool bigEndian) {
        for (int i = 0; i < 4; ++i) b.push_back(char(v >> (bigEndian ? 24 - 8 * i : 8 * i)));
        return *this;
    }
    Bytes& u16(uint16_t v, bool bigEndian) {
        b.push_back(char(bigEndian ? v >> 8 : v));
        b.push_back(char(bigEndian ? v : v >> 8));
        return *this;
    }
};

// One item of the flattened form, cut after its name list: the library stores the bytes as they
// are and reads only the head and the names.
std::string Item(const std::string& name, bool bigEndian, bool utf8) {
    Bytes i;
    i.u16(0x1234, bigEndian)        // byte-order mark
        .hex("00000000")            // time stamp (big-endian always)
        .hex("01")                  // valid
        .u16(4, bigEndian)          // format version
        .hex("00000000")            // reference prefix
        .hex("01 00")               // one symbol definition, no package
        .hex("00")                  // kind: component
        .hex(utf8 ? "01" : "00")    // flags: bit 0, UTF-8 names
        .hex("0000 0000")           // attribute count, two spare bytes
        .zeros(12)
        .raw(std::string(1, char(name.size()))).raw(name).hex("0000")  // name, package 0
        .hex("00");                 // end of the names
    return i.b;
}

struct Fixture {
    std::string file;
    uint32_t item1 = 0, item2 = 0, map = 0;
    std::string bytes1, bytes2;
};

// A library of two one-name items and the map over them, the entries stored in item order (not
// sorted), with `digest` as the map's first 512 bytes.
Fixture MakeFixture(bool bigEndian, bool utf8, const std::string& name1, const std::string& name2,
                    const std::string& digest) {
    Fixture f;
    f.bytes1 = Item(name1, bigEndian, utf8);
    f.bytes2 = Item(name2, bigEndian, utf8);
    f.item1 = 64 + 256 + 6;
    f.item2 = f.item1 + uint32_t(f.bytes1.size()) + 6;
    f.map = f.item2 + uint32_t(f.bytes2.size()) + 6;
    const std::string names = name1 + name2;
    const uint32_t spec1 = 16 << 10 | uint32_t(name1.size());
    const uint32_t spec2 = uint32_t(16 + name1.size()) << 10 | uint32_t(name2.size());

    Bytes m;
    m.raw(digest);
    // The names string block, in the writer's order.
    m.u32(0xDA7ABED1, bigEndian)                     // magic
        .u32(64, bigEndian)                          // allocated size
        .u32(16 + uint32_t(names.size()), bigEndian) // used size
        .u16(64, bigEndian).hex("0000")              // growth quantum, zero
        .raw(names);
    m.u16(0x1234, bigEndian);                        // byte-order mark of the entries
    // The entries as a DA array in its stored form: header words big-endian always.
    m.hex("FFFFFFFE 00000048")                       // mark -2, header of 72 bytes
        .hex("0000000C 00000010")                    // item size 12, stride 16
        .hex("00000002 00000002")                    // count 2, id limit 2
        .hex("00000002 00000001")                    // 2 items per cluster, 1 cluster
        .hex("FFFFFFFF 00000000")                    // free head (not read), zero
        .hex("00000000")                             // flags: none
        .hex("00000000 00000000 00000000")           // zero, zero, reference value
        .zeros(6 * 4)
        .hex("00000002 00000002");                   // cluster of 2 slots: one run of 2 used
    for (auto [block, spec] : {std::pair{f.item1, spec1}, std::pair{f.item2, spec2}}) {
        m.u32(block, bigEndian).u32(spec, bigEndian) // block id, name spec
            .u16(0, bigEndian)                       // name index 0
            .hex("00 00")                            // flags (component, no alias), zero
            .hex("000000 00");                       // slot padding, slot status: used
    }

    Bytes d;
    d.hex("4F524446 0102 4C494234")                  // "ORDF", version 258, "LIB4"
        .hex("0000002E 00000100")                    // header record 46, application header 256
        .hex("00000000").zeros(42);                  // first free: none
    d.hex("00")                                      // item map valid
        .hex("00")
        .hex(utf8 ? "01" : "00")                     // names are UTF-8
        .hex(bigEndian ? "00" : "01")                // the long below is little-endian
        .u32(f.map, bigEndian)                       // the item map's block id
        .zeros(248);
    d.hex("01 06").u32(uint32_t(f.bytes1.size()), true).raw(f.bytes1);  // block type 1
    d.hex("01 06").u32(uint32_t(f.bytes2.size()), true).raw(f.bytes2);
    d.hex("02 06").u32(uint32_t(m.b.size()), true).raw(m.b);          // block type 2
    f.file = d.b;
    return f;
}

// The digest of R10 and R9: R1 (row 27, column 2), 10 (row 2, column 0), R9 (row 27, column 20).
std::string DigestOfR10R9() {
    std::string digest(512, '\0');
    digest[8 * 2 + 0] = 0x01;
    digest[8 * 27 + 0] = 0x04;
    digest[8 * 27 + 2] = 0x10;
    return digest;
}

class LibraryFixture : public ::testing::TestWithParam<bool> {
protected:
    TempDir dir_;
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(test::WriteFile(dir_.file(name), bytes));
        return dir_.file(name);
    }
};

TEST_P(LibraryFixture, ReadsBothByteOrders) {
    const bool bigEndian = GetParam();
    const Fixture f = MakeFixture(bigEndian, true, "R10", "R9", DigestOfR10R9());
    const std::string path = Write("hand.LBX", f.file);
    FileSpec spec = SpecOf(path);
    EXPECT_EQ(IsLibraryFile(&spec), 0);
    {
        OpenLibrary lib(path, kLibraryOpenReadOnly | kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        EXPECT_EQ(lib.record.header.mapBlockId, f.map);
        EXPECT_EQ(lib.Names(), (std::vector<std::string>{"R9", "R10"}));
        EXPECT_EQ(lib.Block("R9"), f.item2);
        EXPECT_EQ(lib.Block("R10"), f.item1);
        EXPECT_EQ(lib.Load(f.item1), f.bytes1);
        EXPECT_EQ(lib.Load(f.item2), f.bytes2);
    }
    ItemNamesDigest query, digest;
    const int32_t rows = StringToDigest("R1", &query, false);
    LibraryItemMap map = nullptr;
    StringBlock names = nullptr;
    ASSERT_EQ(CheckLibraryFileDigest(&spec, &query, rows, &digest, &map, &names), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(digest.bytes), 512), DigestOfR10R9());
    EXPECT_EQ(test::MapNames(map), (std::vector<std::string>{"R9", "R10"}));
    DestroyLibraryItemMap(map, names);

    // Written back by this program: little-endian header and entries, the same names.
    {
        OpenLibrary lib(path, kLibraryOpenRebuildMap);
        ASSERT_EQ(lib.status, 0);
        ASSERT_EQ(lib.Close(), 0);
    }
    std::string now;
    ASSERT_TRUE(test::ReadFile(path, now));
    EXPECT_EQ(now.substr(64, 4), Hex("00 00 01 01"));
    OpenLibrary again(path, kLibraryOpenReadOnly | kLibraryOpenLoadMap);
    EXPECT_EQ(again.Names(), (std::vector<std::string>{"R9", "R10"}));
    EXPECT_EQ(again.Load(again.Block("R9")), f.bytes2);
}

TEST_P(LibraryFixture, NamesFromBeforeUTF8AreRecodedAndSortedAgain) {
    // Mac Roman 0x8A is a-umlaut (UTF-8 C3 A4), 0xC0 the inverted question mark (C2 BF): stored in
    // Mac Roman order the first comes first, in UTF-8 order the second does.
    const bool bigEndian = GetParam();
    const Fixture f = MakeFixture(bigEndian, false, "x\x8A", "x\xC0", std::string(512, '\0'));
    const std::string path = Write("legacy.LBX", f.file);
    const std::vector<std::string> expected = {"x\xC2\xBF", "x\xC3\xA4"};
    for (uint32_t mode : {kLibraryOpenReadOnly | kLibraryOpenLoadMap, kLibraryOpenReadOnly | kLibraryOpenRebuildMap}) {
        OpenLibrary lib(path, mode);
        ASSERT_EQ(lib.status, 0) << mode;
        EXPECT_EQ(lib.Names(), expected) << mode;
        EXPECT_EQ(lib.Block("x\xC3\xA4"), f.item1);
    }
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, LibraryFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "BigEndian" : "LittleEndian"; });

// The writer's own file, field by field.
TEST(LibraryLayout, WrittenFileFollowsTheLayout) {
    TempDir dir;
    const std::string path = dir.file("written.LBX");
    test::MakeLibrary(path);
    uint32_t r10 = 0, r9 = 0;
    {
        OpenLibrary lib(path, kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        r10 = lib.Write(Item("R10", false, true));
        r9 = lib.Write(Item("R9", false, true));
        ASSERT_EQ(lib.Close(), 0);
    }
    std::string file;
    ASSERT_TRUE(test::ReadFile(path, file));
    ASSERT_GT(file.size(), 320u);
    EXPECT_EQ(file.substr(0, 18), Hex("4F524446 0102 4C494234 0000002E 00000100"));
    // Application header: valid, zero, UTF-8 names, written here, map id little-endian, zeros.
    EXPECT_EQ(file.substr(64, 4), Hex("00 00 01 01"));
    uint32_t map = 0;
    std::memcpy(&map, file.data() + 68, 4);
    EXPECT_EQ(file.substr(72, 248), std::string(248, '\0'));
    ASSERT_LT(map + 512 + 16, file.size());
    EXPECT_EQ(uint8_t(file[map - 6]), 2);  // block type 2
    EXPECT_EQ(file.substr(map, 512), DigestOfR10R9());
    // Names block: magic in this machine's order, used size 16 + the name bytes.
    EXPECT_EQ(file.substr(map + 512, 4), Hex("D1BE7ADA"));
    uint32_t used = 0;
    std::memcpy(&used, file.data() + map + 512 + 8, 4);
    ASSERT_GE(used, 16u);
    const size_t markAt = map + 512 + used;
    EXPECT_EQ(file.substr(markAt, 2), Hex("3412"));
    EXPECT_EQ(file.substr(markAt + 2, 12), Hex("FFFFFFFE 00000048 0000000C"));
    // The items lie in blocks of type 1, their bytes as given.
    EXPECT_EQ(uint8_t(file[r10 - 6]), 1);
    EXPECT_EQ(file.substr(r10, 40), Item("R10", false, true));
    EXPECT_EQ(uint8_t(file[r9 - 6]), 1);
}

}  // namespace
}  // namespace plexa
