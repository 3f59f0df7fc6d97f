// Block 7 of a sheet file, the exports table: sorted by name, written and read in both byte orders,
// older entry sizes widened and longer ones cut, read alone from a file, and damaged input.
#include "files/sheetexports.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da_stream.h"
#include "files/tests/sheetfile_testing.h"

namespace plexa::test {
namespace {

class SheetExports : public ::testing::Test {
protected:
    void SetUp() override { EXPECT_EQ(status::kNoErr, InitMemoryManager(-1)); }
    TempDir dir_;
};

OSStatus Read(const std::string& bytes, bool swap, std::vector<std::string>* lines) {
    HandleStream in(bytes);
    EnableStreamReadByteSwap(in.stream, swap);
    SheetExportsTable table = nullptr;
    const OSStatus st = ReadSheetExportsTable(in.stream, swap, &table);
    if (st != 0) {
        EXPECT_EQ(table, nullptr);
    }
    *lines = ExportLines(table);
    DestroySheetExportsTable(table);
    return st;
}

const std::vector<ExportRow> kRows = {
    {"D10", 0x20, 4, 0, 0}, {"d9", 0, 3, 7, kExportHiddenPinSignal}, {"BUS[0:7]", 0x10, 2, 0, kExportBussPort},
    {"CLK", 0, 1, 0, kExportGlobalSignal}};
// In alphanumeric order without regard to case: digit runs by value.
const std::vector<std::string> kLines = {"BUS[0:7] 10 2 0 1", "CLK 0 1 0 2", "d9 0 3 7 4", "D10 20 4 0 0"};

TEST_F(SheetExports, TheTableIsSortedAndRoundTripsInBothOrders) {
    SheetExportsTable table = MakeExports(kRows);
    EXPECT_EQ(ExportLines(table), kLines);
    const std::string bytes = Written([&](StreamRecord* s) { return WriteSheetExportsTable(s, table); });
    std::vector<std::string> lines;
    ASSERT_EQ(Read(bytes, false, &lines), 0);
    EXPECT_EQ(lines, kLines);

    // The other order: the block's length and header, and every entry, reversed.
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(table, &id, &address)) ByteSwapTemplate(address, kSheetExportEntryTemplate);
    StringBlock strings = GetSheetExportsStrings(table);
    const std::string big = Written([&](StreamRecord* s) {
        Handle copy = CloneHandle(nullptr, strings);
        ByteSwapStringBlockHeader(reinterpret_cast<StringBlockHeader*>(*copy));
        OSStatus st = StreamWriteLongBE(s, SizeOfHandle(copy));
        if (st == 0) st = StreamWrite(s, *copy, int32_t(SizeOfHandle(copy)));
        MemFree(copy);
        DASetRefCon(table, 0);
        if (st == 0) st = DAWrite(table, s, nullptr);
        DASetRefCon(table, uint64_t(uintptr_t(strings)));
        return st;
    });
    DestroySheetExportsTable(table);
    ASSERT_EQ(Read(big, true, &lines), 0);
    EXPECT_EQ(lines, kLines);
}

// A table stored with entries of another size: a DA array of that size with the given bytes.
std::string StoredWithSize(uint32_t size, const std::vector<std::string>& entries, StringBlock strings) {
    return Written([&](StreamRecord* s) {
        DAArray array = DACreate(nullptr, size, 0, 0);
        for (const std::string& entry : entries) DAAdd(array, entry.data());
        OSStatus st = StreamWriteHandle(s, strings);
        if (st == 0) st = DAWrite(array, s, nullptr);
        DADispose(array);
        return st;
    });
}

TEST_F(SheetExports, OlderEntrySizesAreWidenedAndLongerOnesCut) {
    SheetExportsTable names = MakeExports({{"A", 0, 0, 0, 0}, {"B", 0, 0, 0, 0}});
    StringBlock strings = GetSheetExportsStrings(names);
    const StringSpec a = OverlayStringBlock(strings, "A", -1, nullptr);
    const StringSpec b = OverlayStringBlock(strings, "B", -1, nullptr);
    auto spec = [](StringSpec s) { return std::string(reinterpret_cast<const char*>(&s), 4); };
    struct Case {
        uint32_t size;
        std::vector<std::string> entries;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // 8 bytes: name and type word; the serial is unknown and bit 0 of the type is a buss port.
        {8, {spec(a) + Hex("31000000"), spec(b) + Hex("20000000")}, {"A 30 FFFFFFFF 0 1", "B 20 FFFFFFFF 0 0"}},
        // 14 bytes: the kind flags come from the low byte of the word at 12.
        {14, {spec(a) + Hex("10000000 05000000 0402"), spec(b) + Hex("00000000 06000000 0300")},
         {"A 10 5 516 4", "B 0 6 3 3"}},
        // 20 bytes: cut to 16.
        {20, {spec(a) + Hex("10000000 05000000 0700 01 00 EEEEEEEE")}, {"A 10 5 7 1"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        ASSERT_EQ(Read(StoredWithSize(c.size, c.entries, strings), false, &lines), 0) << c.size;
        EXPECT_EQ(lines, c.lines) << c.size;
    }
    // The 8-byte form from a writer of the other order.
    const std::string big = Written([&](StreamRecord* s) {
        DAArray array = DACreate(nullptr, 8, 0, 0);
        std::string entry = spec(a) + Hex("00000031");
        ByteSwapLong(entry.data());
        DAAdd(array, entry.data());
        Handle copy = CloneHandle(nullptr, strings);
        ByteSwapStringBlockHeader(reinterpret_cast<StringBlockHeader*>(*copy));
        OSStatus st = StreamWriteLongBE(s, SizeOfHandle(copy));
        if (st == 0) st = StreamWrite(s, *copy, int32_t(SizeOfHandle(copy)));
        if (st == 0) st = DAWrite(array, s, nullptr);
        MemFree(copy);
        DADispose(array);
        return st;
    });
    std::vector<std::string> lines;
    ASSERT_EQ(Read(big, true, &lines), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"A 30 FFFFFFFF 0 1"}));
    DestroySheetExportsTable(names);
}

TEST_F(SheetExports, ReadAloneFromAFile) {
    const std::string path = dir_.file("e.SHX");
    SheetExportsTable table = MakeExports(kRows);
    TestSheet sheet;
    WriteTestSheetFile(path, sheet, table);
    DestroySheetExportsTable(table);
    FileSpec spec = SheetSpecOf(path);
    SheetExportsTable read = nullptr;
    ASSERT_EQ(LoadSheetExportsTable(&spec, &read), 0);
    EXPECT_EQ(ExportLines(read), kLines);
    DestroySheetExportsTable(read);
    WriteTestSheetFile(path, sheet, nullptr);
    read = reinterpret_cast<SheetExportsTable>(1);
    EXPECT_EQ(LoadSheetExportsTable(&spec, &read), 0);
    EXPECT_EQ(read, nullptr);
}

TEST_F(SheetExports, DamagedTablesEndWithAStatus) {
    SheetExportsTable table = MakeExports(kRows);
    const std::string whole = Written([&](StreamRecord* s) { return WriteSheetExportsTable(s, table); });
    DestroySheetExportsTable(table);
    std::vector<std::string> lines;
    for (size_t n = 0; n < whole.size(); ++n) {
        CappedPool pool(1u << 20);
        EXPECT_NE(Read(whole.substr(0, n), false, &lines), 0) << n;
        EXPECT_FALSE(pool.hitCeiling()) << n;
    }
    // A block without its string block is no table.
    EXPECT_NE(Read(Hex("FFFFFFFF") + whole.substr(4 + 16), false, &lines), 0);
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0, rounds = StressCount(2000); round < rounds; ++round) {
        std::string bytes = whole;
        for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        CappedPool pool(8u << 20);
        (void)Read(bytes, random() % 2, &lines);  // damaged input: only no crash counts
        EXPECT_FALSE(pool.hitCeiling()) << round;
    }
}

}  // namespace
}  // namespace plexa::test
