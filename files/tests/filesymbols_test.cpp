// Block 12 of a sheet file, the file symbols: the digest of their names, the big-endian framing
// whatever the writer's order, every entry's version checked, one entry read at its position, the
// block read alone from a file, and damaged input.
#include "files/filesymbols.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/tests/sheetfile_testing.h"

namespace plexa::test {
namespace {

class FileSymbols : public ::testing::Test {
protected:
    void SetUp() override { EXPECT_EQ(status::kNoErr, InitMemoryManager(-1)); }
    TempDir dir_;
};

// The entries of a list: position and first name.
std::vector<std::string> Entries(FileSymbolList* list) {
    std::vector<std::string> out;
    char name[kFlatItemNameBufferSize];
    for (auto* e = static_cast<FileSymbolEntry*>(LLFirst(list)); e; e = e->next) {
        GetFlattenedLibraryItemName(e->item, 0, name, sizeof name);
        out.push_back(std::to_string(e->position) + " " + name);
    }
    return out;
}

std::string DigestOf(const std::vector<std::string>& names) {
    ItemNamesDigest digest{};
    for (const std::string& name : names) StringToDigest(name.c_str(), &digest, true);
    return std::string(reinterpret_cast<const char*>(digest.bytes), sizeof digest.bytes);
}

std::string BE32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// Block 12 laid out by hand: the digest, two entries of version 1 with big-endian lengths, the end.
std::string HandBlock(const std::string& first, const std::string& second, const std::string& secondVersion = "0001") {
    return DigestOf({"TOP", "TOP-ALIAS", "PORTS"}) + Hex("0001") + BE32(uint32_t(first.size())) + first +
           Hex(secondVersion) + BE32(uint32_t(second.size())) + second + Hex("0001 FFFFFFFF");
}

TEST_F(FileSymbols, TheBlockFromHandWrittenBytes) {
    TestSheet sheet;
    sheet.FileSymbol({"TOP", "TOP-ALIAS"});
    sheet.FileSymbol({"PORTS"});
    LLAppend(sheet->fileSymbolList, nullptr);  // an entry without an item is not stored
    const std::string first = FlatItemBytes({"TOP", "TOP-ALIAS"});
    const std::string second = FlatItemBytes({"PORTS"});
    const std::string block = HandBlock(first, second);
    EXPECT_EQ(CountFileSymbols(sheet->fileSymbolList), 2);
    // Written the same whether or not the stream had big-endian handle lengths on, and left so.
    for (const bool bigLengths : {false, true}) {
        HandleStream out;
        if (bigLengths) out.stream->flags |= kStreamBigEndianHandles;
        ASSERT_EQ(WriteFileSymbolsBlock(out.stream, sheet->fileSymbolList), 0);
        EXPECT_EQ(out.bytes(), block);
        EXPECT_EQ(bool(out.stream->flags & kStreamBigEndianHandles), bigLengths);
    }
    const uint32_t secondAt = uint32_t(512 + 6 + first.size());
    for (const bool swap : {false, true}) {
        HandleStream in(block);
        EnableStreamReadByteSwap(in.stream, swap);  // the framing does not depend on the file's order
        FileSymbolList* list = CreateFileSymbolList();
        ASSERT_EQ(ReadFileSymbols(in.stream, list, true), 0);
        EXPECT_EQ(Entries(list), (std::vector<std::string>{"512 TOP", std::to_string(secondAt) + " PORTS"}));
        EXPECT_FALSE(in.stream->flags & kStreamBigEndianHandles);
        EXPECT_EQ(HandleBytes(static_cast<FileSymbolEntry*>(LLFirst(list))->item), first);
        DestroyFileSymbolList(list);
    }
    // Each entry alone at its position; no entry stands at the end or inside an item.
    HandleStream in(block);
    for (const auto& [position, bytes] : {std::pair<uint32_t, std::string>{512, first}, {secondAt, second}}) {
        FileSymbolEntry* entry = nullptr;
        ASSERT_EQ(ReadOneFileSymbol(in.stream, position, &entry), 0);
        EXPECT_EQ(entry->position, position);
        EXPECT_EQ(HandleBytes(entry->item), bytes);
        DestroyFileSymbolEntry(entry);
    }
    FileSymbolEntry* entry = reinterpret_cast<FileSymbolEntry*>(1);
    EXPECT_EQ(ReadOneFileSymbol(in.stream, uint32_t(block.size() - 6), &entry), status::kParamErr);
    EXPECT_EQ(entry, nullptr);
    EXPECT_NE(ReadOneFileSymbol(in.stream, 515, &entry), 0);
    EXPECT_EQ(ReadOneFileSymbol(in.stream, uint32_t(block.size() + 1), &entry), status::kParamErr);
}

TEST_F(FileSymbols, EveryEntrysVersionIsChecked) {
    const std::string first = FlatItemBytes({"TOP"});
    const std::string second = FlatItemBytes({"PORTS"});
    struct Case {
        const char* version;
        OSStatus status;
    };
    // A version 2 entry after a version 1 entry is too new, as it is in first place.
    const Case cases[] = {{"0000", 0}, {"0001", 0}, {"0002", status::kVersionTooNew}, {"FF01", status::kVersionTooNew}};
    for (const Case& c : cases) {
        HandleStream in(HandBlock(first, second, c.version));
        FileSymbolList* list = CreateFileSymbolList();
        LLAppend(list, nullptr);  // what the list held stays
        EXPECT_EQ(ReadFileSymbols(in.stream, list, true), c.status) << c.version;
        EXPECT_EQ(list->count, c.status ? 1u : 3u) << c.version;
        DestroyFileSymbolList(list);
        FileSymbolEntry* entry = nullptr;
        EXPECT_EQ(ReadOneFileSymbol(in.stream, uint32_t(512 + 6 + first.size()), &entry), c.status);
        DestroyFileSymbolEntry(entry);
    }
}

TEST_F(FileSymbols, TheDigestCoversEveryNameOfEveryItem) {
    TestSheet sheet;
    sheet.FileSymbol({"TOP", "TOP-ALIAS"});
    sheet.FileSymbol({"PORTS"});
    // An item whose names cannot be read adds none.
    auto* broken = static_cast<FileSymbolEntry*>(LLAppend(sheet->fileSymbolList, nullptr));
    broken->item = AllocHandleWithData(nullptr, "xx", 2);
    ItemNamesDigest digest;
    int32_t rows = 0;
    ASSERT_EQ(BuildFileSymbolsDigest(sheet->fileSymbolList, &digest, &rows), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(digest.bytes), 512), DigestOf({"TOP", "TOP-ALIAS", "PORTS"}));
    ItemNamesDigest query;
    const int32_t queryRows = StringToDigest("ALIAS", &query, false);
    EXPECT_TRUE(IsSubDigest(&query, queryRows, &digest, rows));
    TestSheet none;
    ASSERT_EQ(BuildFileSymbolsDigest(none->fileSymbolList, &digest, &rows), 0);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(DigestOf({}), std::string(reinterpret_cast<const char*>(digest.bytes), 512));
}

TEST_F(FileSymbols, ReadAloneFromASheetFile) {
    const std::string path = dir_.file("f.SHX");
    TestSheet sheet;
    sheet.FileSymbol({"TOP"});
    sheet.FileSymbol({"PORTS"});
    WriteTestSheetFile(path, sheet, nullptr);
    FileSpec spec = SheetSpecOf(path);
    FileSymbolList* list = CreateFileSymbolList();
    ASSERT_EQ(LoadSheetFileSymbols(&spec, list), 0);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"512 TOP", std::to_string(512 + 6 + FlatItemBytes({"TOP"}).size()) + " PORTS"}));
    DestroyFileSymbolList(list);
    TestSheet plain;
    WriteTestSheetFile(path, plain, nullptr);
    list = CreateFileSymbolList();
    EXPECT_EQ(LoadSheetFileSymbols(&spec, list), 0);
    EXPECT_EQ(list->count, 0u);
    DestroyFileSymbolList(list);
}

TEST_F(FileSymbols, DamagedBlocksEndWithAStatusAndAppendNothing) {
    const std::string whole = HandBlock(FlatItemBytes({"TOP", "TOP-ALIAS"}), FlatItemBytes({"PORTS"}));
    auto read = [](const std::string& bytes, bool skip) {
        HandleStream in(bytes);
        FileSymbolList* list = CreateFileSymbolList();
        const OSStatus st = ReadFileSymbols(in.stream, list, skip);
        if (st != 0) {
            EXPECT_EQ(list->count, 0u);
        }
        EXPECT_FALSE(in.stream->flags & kStreamBigEndianHandles);
        ItemNamesDigest digest;
        (void)BuildFileSymbolsDigest(list, &digest, nullptr);  // random data: only no crash counts
        Entries(list);
        DestroyFileSymbolList(list);
        return st;
    };
    for (size_t n = 0; n < whole.size(); n += 3) {
        CappedPool pool(1u << 20);
        EXPECT_NE(read(whole.substr(0, n), true), 0) << n;
        EXPECT_FALSE(pool.hitCeiling());
    }
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0, rounds = StressCount(2000); round < rounds; ++round) {
        std::string bytes = whole;
        for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i) {
            const size_t at = 512 + random() % (bytes.size() - 512);
            bytes[at] = char(random());
        }
        CappedPool pool(1u << 20);
        (void)read(bytes, true);  // random data: only no crash counts
        HandleStream in(bytes);
        FileSymbolEntry* entry = nullptr;
        if (ReadOneFileSymbol(in.stream, uint32_t(random() % bytes.size()), &entry) != 0) {
            EXPECT_EQ(entry, nullptr);
        }
        DestroyFileSymbolEntry(entry);
        EXPECT_FALSE(pool.hitCeiling()) << round;
    }
}

}  // namespace
}  // namespace plexa::test
