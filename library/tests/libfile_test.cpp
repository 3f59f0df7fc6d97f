#include "library/libfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "library/tests/library_testing.h"
#include "tests/support/foundation_testing.h"

namespace plexa {
namespace {

using test::FlatHandle;
using test::FlatItemBytes;
using test::OpenLibrary;
using test::ReadFile;
using test::SpecOf;
using test::TempDir;
using test::WriteFile;

constexpr uint32_t kReadMap = kLibraryOpenReadOnly | kLibraryOpenLoadMap;
constexpr size_t kHeaderAt = 64;  // the application header's offset in the file

class LibraryFile : public ::testing::Test {
protected:
    TempDir dir_;
    std::string path_ = dir_.file("test.LBX");
    void SetUp() override { test::MakeLibrary(path_); }
    std::string Bytes(const std::string& path) {
        std::string s;
        EXPECT_TRUE(ReadFile(path, s)) << path;
        return s;
    }
    // The types of the file's blocks in file order.
    std::vector<int> BlockTypes(const std::string& path) {
        FileSpec spec = SpecOf(path);
        DynamicFileRecord file;
        std::vector<int> types;
        if (OpenDynamicFile(&spec, true, &file) != 0) return types;
        uint32_t offset = 0, size = 0;
        for (uint8_t type = 0; ScanFileBlocks(&file, &offset, &size, &type) == 0 && offset != 0; type = 0)
            types.push_back(type);
        EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
        return types;
    }
};

TEST_F(LibraryFile, CreatedFileHoldsAnEmptyValidMap) {
    const std::string file = Bytes(path_);
    EXPECT_EQ(file.substr(6, 4), "LIB4");
    EXPECT_EQ(file.substr(kHeaderAt, 4), test::Hex("00 00 01 01"));
    EXPECT_EQ(BlockTypes(path_), std::vector<int>{kLibraryMapBlockType});
    FileSpec spec = SpecOf(path_);
    EXPECT_EQ(IsLibraryFile(&spec), 0);
    OpenLibrary lib(path_, kReadMap);
    ASSERT_EQ(lib.status, 0);
    EXPECT_EQ(lib.record.header.mapInvalid, 0);
    EXPECT_NE(lib.record.header.mapBlockId, 0u);
    EXPECT_NE(lib.record.map, nullptr);
    EXPECT_EQ(CountLibItemMapEntries(lib.record.map), 0);
    // Header only: no map.
    OpenLibrary header(path_, kLibraryOpenReadOnly);
    ASSERT_EQ(header.status, 0);
    EXPECT_EQ(header.record.map, nullptr);
}

TEST_F(LibraryFile, AddListReplaceRenameDelete) {
    uint32_t abc9 = 0, chip = 0, three = 0;
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(FlatItemBytes({"ABC10"}));
        abc9 = lib.Write(FlatItemBytes({"ABC9"}));
        lib.Write(FlatItemBytes({"ABC"}));
        lib.Write(FlatItemBytes({"74LS00"}));
        chip = lib.Write(FlatItemBytes({"7400"}, kLibItemComponent, "first"));
        three = lib.Write(FlatItemBytes({"Z1", "A1", "M1"}, kLibItemPort));
        ASSERT_EQ(lib.Close(), 0);
    }
    {
        OpenLibrary lib(path_, kReadMap);
        ASSERT_EQ(lib.status, 0);
        EXPECT_EQ(lib.Names(), (std::vector<std::string>{"7400", "74LS00", "A1", "ABC", "ABC9", "ABC10", "M1", "Z1"}));
        EXPECT_EQ(lib.Load(chip), FlatItemBytes({"7400"}, kLibItemComponent, "first"));
        LibraryItemMapEntry a1;
        GetLibItemMapEntry(lib.record.map, 2, &a1);
        EXPECT_EQ(a1.blockId, three);
        EXPECT_EQ(a1.nameIndex, 1);
        EXPECT_EQ(a1.flags, kItemMapAlias | kLibItemPort);
    }
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        ASSERT_EQ(DeleteLibraryFileItem(&lib.record, abc9, true), 0);
        // Replace: the new item first, then the old one goes.
        const uint32_t chip2 = lib.Write(FlatItemBytes({"7400"}, kLibItemComponent, "second"));
        ASSERT_EQ(DeleteLibraryFileItem(&lib.record, chip, true), 0);
        // Rename: an item whose names changed replaces the old one.
        lib.Write(FlatItemBytes({"Y1", "A1"}, kLibItemPort));
        ASSERT_EQ(DeleteLibraryFileItem(&lib.record, three, true), 0);
        EXPECT_EQ(lib.Names(), (std::vector<std::string>{"7400", "74LS00", "A1", "ABC", "ABC10", "Y1"}));
        EXPECT_EQ(lib.record.flags, kLibraryItemDeleted);
        ASSERT_EQ(lib.Close(), 0);
        OpenLibrary again(path_, kReadMap);
        EXPECT_EQ(again.Names(), (std::vector<std::string>{"7400", "74LS00", "A1", "ABC", "ABC10", "Y1"}));
        EXPECT_EQ(again.Load(chip2), FlatItemBytes({"7400"}, kLibItemComponent, "second"));
        Handle gone = nullptr;
        EXPECT_EQ(LoadLibraryFileItem(&again.record, abc9, &gone), status::kBadPosition);
        EXPECT_EQ(gone, nullptr);
    }
}

TEST_F(LibraryFile, ChangesOutsideTheMapRebuildItBeforeItIsWritten) {
    OpenLibrary lib(path_, kLibraryOpenLoadMap);
    ASSERT_EQ(lib.status, 0);
    const uint32_t kept = lib.Write(FlatItemBytes({"KEPT"}));
    const uint32_t gone = lib.Write(FlatItemBytes({"GONE"}));
    FlatHandle quiet(FlatItemBytes({"QUIET"}));
    uint32_t id = 0;
    ASSERT_EQ(WriteLibraryFileItem(&lib.record, quiet, false, &id), 0);
    EXPECT_NE(id, 0u);
    ASSERT_EQ(DeleteLibraryFileItem(&lib.record, gone, false), 0);
    EXPECT_EQ(lib.record.flags, kLibraryRebuildMap | kLibraryItemDeleted);
    EXPECT_EQ(lib.Names(), (std::vector<std::string>{"GONE", "KEPT"}));  // not told yet
    ASSERT_EQ(FlushLibraryFile(&lib.record), 0);
    EXPECT_EQ(lib.Names(), (std::vector<std::string>{"KEPT", "QUIET"}));
    EXPECT_EQ(lib.record.flags & kLibraryRebuildMap, 0u);
    EXPECT_EQ(lib.Block("KEPT"), kept);
    ASSERT_EQ(lib.Close(), 0);
    OpenLibrary again(path_, kReadMap);
    EXPECT_EQ(again.record.header.mapInvalid, 0);
    EXPECT_EQ(again.Names(), (std::vector<std::string>{"KEPT", "QUIET"}));
    // Writing the map leaves one map block.
    int maps = 0;
    for (int type : BlockTypes(path_)) maps += type == kLibraryMapBlockType;
    EXPECT_EQ(maps, 1);
}

TEST_F(LibraryFile, TheMarkIsOnDiskFromTheFirstChangeUntilTheMapIsWritten) {
    OpenLibrary lib(path_, kLibraryOpenLoadMap);
    ASSERT_EQ(lib.status, 0);
    EXPECT_EQ(Bytes(path_)[kHeaderAt], 0);
    lib.Write(FlatItemBytes({"A"}));
    EXPECT_EQ(Bytes(path_)[kHeaderAt], 1);
    ASSERT_EQ(FlushLibraryFile(&lib.record), 0);
    EXPECT_EQ(Bytes(path_)[kHeaderAt], 0);
    // Nothing changed: flushing again writes nothing.
    const std::string flushed = Bytes(path_);
    ASSERT_EQ(FlushLibraryFile(&lib.record), 0);
    EXPECT_EQ(Bytes(path_), flushed);
}

TEST_F(LibraryFile, FileLeftWithItsCrashMarkReopensAndRebuilds) {
    const std::string stopped = dir_.file("stopped.LBX");
    const std::string halfway = dir_.file("halfway.LBX");
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(FlatItemBytes({"A"}));
        ASSERT_EQ(FlushLibraryFile(&lib.record), 0);  // the stored map lists A
        lib.Write(FlatItemBytes({"B", "B2"}));
        ASSERT_EQ(FlushDynamicFile(&lib.record.file, false), 0);
        // The program stops here: B is in the file, the stored map is old and marked invalid.
        ASSERT_TRUE(WriteFile(stopped, Bytes(path_)));
        lib.Write(FlatItemBytes({"C"}, kLibItemComponent, std::string(3000, 'c')));
        // ... or here: C's bytes are in the file, but it never became an item.
        ASSERT_TRUE(WriteFile(halfway, Bytes(path_)));
    }
    EXPECT_EQ(Bytes(stopped)[kHeaderAt], 1);
    const std::vector<int> types = BlockTypes(halfway);
    EXPECT_NE(std::find(types.begin(), types.end(), int(kLibraryPendingItemBlockType)), types.end());
    for (const std::string& path : {stopped, halfway}) {
        {
            OpenLibrary lib(path, kReadMap);
            ASSERT_EQ(lib.status, 0) << path;
            EXPECT_EQ(lib.Names(), (std::vector<std::string>{"A", "B", "B2"})) << path;
            EXPECT_EQ(lib.Load(lib.Block("B2")), FlatItemBytes({"B", "B2"}));
        }
        EXPECT_EQ(Bytes(path)[kHeaderAt], 1) << "a read-only open changes nothing";
        {
            OpenLibrary lib(path, kLibraryOpenLoadMap);
            ASSERT_EQ(lib.status, 0) << path;
            EXPECT_EQ(lib.Names(), (std::vector<std::string>{"A", "B", "B2"}));
            ASSERT_EQ(lib.Close(), 0);
        }
        EXPECT_EQ(Bytes(path)[kHeaderAt], 0);
        for (int type : BlockTypes(path)) EXPECT_NE(type, kLibraryPendingItemBlockType) << path;
        OpenLibrary lib(path, kReadMap);
        EXPECT_EQ(lib.record.header.mapInvalid, 0);
        EXPECT_EQ(lib.Names(), (std::vector<std::string>{"A", "B", "B2"}));
    }
}

TEST_F(LibraryFile, RebuildOnRequest) {
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        lib.Write(FlatItemBytes({"X"}));
        lib.Write(FlatItemBytes({"W"}));
    }
    const std::string before = Bytes(path_);
    {
        // Read-only: rebuilt in memory, the file left alone.
        OpenLibrary lib(path_, kLibraryOpenReadOnly | kLibraryOpenRebuildMap);
        ASSERT_EQ(lib.status, 0);
        EXPECT_EQ(lib.record.header.mapInvalid, 1);
        EXPECT_EQ(lib.Names(), (std::vector<std::string>{"W", "X"}));
    }
    EXPECT_EQ(Bytes(path_), before);
    {
        // Writable: the mark goes to disk at once and the rebuilt map is written at the next flush.
        OpenLibrary lib(path_, kLibraryOpenRebuildMap);
        ASSERT_EQ(lib.status, 0);
        EXPECT_EQ(Bytes(path_)[kHeaderAt], 1);
        EXPECT_EQ(lib.Names(), (std::vector<std::string>{"W", "X"}));
        ASSERT_EQ(FlushLibraryFile(&lib.record), 0);
        EXPECT_EQ(Bytes(path_)[kHeaderAt], 0);
        EXPECT_NE(lib.record.header.mapBlockId, 0u);
    }
    EXPECT_NE(Bytes(path_), before);
    OpenLibrary lib(path_, kReadMap);
    EXPECT_EQ(lib.Names(), (std::vector<std::string>{"W", "X"}));
}

TEST_F(LibraryFile, FailuresEndWithAStatusAndAZeroRecord) {
    auto zero = [](const LibraryFileRecord& r) {
        const auto* p = reinterpret_cast<const uint8_t*>(&r);
        return std::all_of(p, p + sizeof r, [](uint8_t b) { return b == 0; });
    };
    // Not a dynamic file; another kind of dynamic file; a library without its header.
    ASSERT_TRUE(WriteFile(dir_.file("text.LBX"), "just text"));
    FileSpec sheet = SpecOf(dir_.file("sheet.SHX"));
    ASSERT_EQ(CreateDynamicFile(&sheet, "QPLX", "SCH4", "SCH4", 256), 0);
    FileSpec bare = SpecOf(dir_.file("bare.LBX"));
    ASSERT_EQ(CreateDynamicFile(&bare, "QPLX", "LIB4", "LIB4", 0), 0);
    const struct {
        std::string path;
        OSStatus status;
    } cases[] = {
        {dir_.file("text.LBX"), status::kNotDynamicFile},
        {dir_.file("sheet.SHX"), status::kUnknownFileKind},
        {dir_.file("bare.LBX"), status::kUnknownFileKind},
        {dir_.file("missing.LBX"), status::kNotFound},
    };
    for (const auto& c : cases) {
        for (uint32_t mode : {kReadMap, kLibraryOpenLoadMap}) {
            LibraryFileRecord record;
            FileSpec spec = SpecOf(c.path);
            EXPECT_EQ(OpenLibraryFile(&spec, &record, mode), c.status) << c.path;
            EXPECT_TRUE(zero(record));
        }
    }
    EXPECT_EQ(IsLibraryFile(&sheet), status::kUnknownFileKind);

    // A map block id that names an item block.
    uint32_t item = 0;
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        item = lib.Write(FlatItemBytes({"ITEM"}));
    }
    std::string file = Bytes(path_);
    for (int i = 0; i < 4; ++i) file[kHeaderAt + 4 + size_t(i)] = char(item >> (8 * i));
    ASSERT_TRUE(WriteFile(path_, file));
    {
        OpenLibrary lib(path_, kReadMap);
        EXPECT_EQ(lib.status, kNotItemMapErr);
        EXPECT_TRUE(zero(lib.record));
        OpenLibrary rebuilt(path_, kReadMap | kLibraryOpenRebuildMap);
        EXPECT_EQ(rebuilt.status, 0);
        EXPECT_EQ(rebuilt.Names(), std::vector<std::string>{"ITEM"});
    }
    // One that names no block at all.
    for (int i = 0; i < 4; ++i) file[kHeaderAt + 4 + size_t(i)] = char(7 >> (8 * i));
    ASSERT_TRUE(WriteFile(path_, file));
    OpenLibrary lib(path_, kReadMap);
    EXPECT_EQ(lib.status, status::kBadPosition);
    LibraryFileRecord closed{};
    EXPECT_EQ(CloseLibraryFile(&closed), status::kFileNotOpen);
}

TEST_F(LibraryFile, ItemCallsCheckTheirArguments) {
    uint32_t item = 0;
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        item = lib.Write(FlatItemBytes({"ITEM"}));
    }
    const std::string before = Bytes(path_);
    {
        OpenLibrary lib(path_, kReadMap);
        ASSERT_EQ(lib.status, 0);
        FlatHandle flat(FlatItemBytes({"NEW"}));
        uint32_t id = 7;
        EXPECT_EQ(WriteLibraryFileItem(&lib.record, flat, true, &id), status::kPermission);
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(DeleteLibraryFileItem(&lib.record, item, true), status::kPermission);
        EXPECT_EQ(FlushLibraryFile(&lib.record), 0);
        const uint32_t map = lib.record.header.mapBlockId;
        Handle h = nullptr;
        for (uint32_t bad : {0u, 1u, item + 1, map, 1u << 30}) {
            EXPECT_NE(LoadLibraryFileItem(&lib.record, bad, &h), 0) << bad;
            EXPECT_EQ(h, nullptr);
        }
        EXPECT_EQ(LoadLibraryFileItem(&lib.record, map, &h), status::kBadPosition);
        EXPECT_EQ(LoadLibraryItemFromSheet(&lib.record.file, item, &h), status::kUnknownFileKind);
    }
    EXPECT_EQ(Bytes(path_), before);
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        // Bytes that are no flattened item are refused before anything changes.
        for (const std::string& bad : {std::string(), std::string(40, '\x12'), FlatItemBytes({})}) {
            FlatHandle flat(bad);
            uint32_t id = 7;
            EXPECT_EQ(WriteLibraryFileItem(&lib.record, flat, true, &id), status::kParamErr);
            EXPECT_EQ(id, 0u);
        }
        EXPECT_EQ(DeleteLibraryFileItem(&lib.record, lib.record.header.mapBlockId, true), status::kBadPosition);
        EXPECT_EQ(DeleteLibraryFileItem(&lib.record, item + 3, true), status::kBadPosition);
        EXPECT_EQ(Bytes(path_)[kHeaderAt], 0);
    }
    EXPECT_EQ(Bytes(path_), before);
}

// A delete the dynamic file refuses leaves the library file byte for byte as it was: the item
// map is not marked invalid (and so not written again at the close) for a block that cannot be
// released. Among them an id that reads as an item block's head but is no block of the file's
// chain (bytes inside an item), as a damaged item map may list.
TEST_F(LibraryFile, ARefusedDeleteLeavesTheFileAsItWas) {
    uint32_t item = 0, map = 0;
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        item = lib.Write(FlatItemBytes({"ITEM"}));
    }
    {
        OpenLibrary lib(path_, kReadMap);
        map = lib.record.header.mapBlockId;
    }
    std::string file = Bytes(path_);
    const uint32_t inside = item + 16;  // a head {type 1, head length 6, 8 data bytes} inside the item
    ASSERT_LT(inside + 8, item + 40);
    file.replace(inside - 6, 6, test::Hex("01 06 00000008"));
    // A stored digest that this writer would not write (another writer's, or one gone stale):
    // an item map written again changes the file.
    file.replace(map, 16, std::string(16, '\x55'));
    ASSERT_TRUE(WriteFile(path_, file));
    const struct {
        const char* what;
        uint32_t id;
    } cases[] = {{"the item map's block", map}, {"no block head", item + 3}, {"a head off the chain", inside}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            OpenLibrary lib(path_, kLibraryOpenLoadMap);
            ASSERT_EQ(lib.status, 0);
            EXPECT_EQ(DeleteLibraryFileItem(&lib.record, c.id, true), status::kBadPosition);
            EXPECT_EQ(lib.Names(), std::vector<std::string>{"ITEM"});
            EXPECT_EQ(lib.Close(), 0);
        }
        const std::string after = Bytes(path_);
        size_t differ = 0;
        for (size_t i = 0; i < std::min(after.size(), file.size()); i++) differ += after[i] != file[i];
        EXPECT_TRUE(after == file) << differ << " bytes differ, " << after.size() << " bytes for " << file.size();
    }
}

TEST_F(LibraryFile, DigestCheck) {
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        lib.Write(FlatItemBytes({"SN74LS00", "74LS00"}));
        lib.Write(FlatItemBytes({"RES"}));
    }
    FileSpec spec = SpecOf(path_);
    struct Case {
        const char* text;
        bool match;
    };
    for (const Case& c : {Case{"74LS", true}, Case{"res", true}, Case{"Q", true}, Case{"7400", false}}) {
        ItemNamesDigest query, digest;
        const int32_t rows = StringToDigest(c.text, &query, false);
        LibraryItemMap map = nullptr;
        StringBlock names = nullptr;
        ASSERT_EQ(CheckLibraryFileDigest(&spec, &query, rows, &digest, &map, &names), 0) << c.text;
        EXPECT_TRUE(DigestBit(&digest, 8, 4)) << c.text;  // "74"
        EXPECT_EQ(map != nullptr, c.match) << c.text;
        if (map) {
            EXPECT_EQ(test::MapNames(map), (std::vector<std::string>{"74LS00", "RES", "SN74LS00"}));
        }
        DestroyLibraryItemMap(map, names);
    }
    // Without a query only the digest; with the map marked invalid, no digest.
    ItemNamesDigest digest;
    ASSERT_EQ(CheckLibraryFileDigest(&spec, nullptr, 0, &digest, nullptr, nullptr), 0);
    EXPECT_TRUE(DigestBit(&digest, 8, 4));
    std::string file = Bytes(path_);
    file[kHeaderAt] = 1;
    ASSERT_TRUE(WriteFile(path_, file));
    ASSERT_EQ(CheckLibraryFileDigest(&spec, nullptr, 0, &digest, nullptr, nullptr), 0);
    EXPECT_EQ(std::count(digest.bytes, digest.bytes + 512, 0), 512);
    LibraryItemMap map = nullptr;
    StringBlock names = nullptr;
    EXPECT_EQ(LoadLibraryFileItemMap(&spec, &map, &names), 0);
    EXPECT_EQ(map, nullptr);

    // A sheet file keeps its file symbols' digest in front of block 12.
    FileSpec sheet = SpecOf(dir_.file("sheet.SHX"));
    ASSERT_EQ(CreateDynamicFile(&sheet, "QPLX", "SCH4", "SCH4", 256), 0);
    DynamicFileRecord f;
    ASSERT_EQ(OpenDynamicFile(&sheet, false, &f), 0);
    ItemNamesDigest symbols;
    StringToDigest("PORT", &symbols, false);
    std::string block12(reinterpret_cast<char*>(symbols.bytes), 512);
    block12 += test::Hex("0001 FFFFFFFF");
    uint32_t id = 0;
    ASSERT_EQ(WriteFileBlock(&f, kSheetFileSymbolsBlock, uint32_t(block12.size()), block12.data(), &id), 0);
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&f, true), 0);
    ASSERT_EQ(CheckLibraryFileDigest(&sheet, nullptr, 0, &digest, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(digest.bytes), 512), block12.substr(0, 512));
    FileSpec text = SpecOf(dir_.file("text"));
    ASSERT_TRUE(WriteFile(dir_.file("text"), "plain"));
    EXPECT_EQ(CheckLibraryFileDigest(&text, nullptr, 0, &digest, nullptr, nullptr), status::kNotDynamicFile);
}

TEST_F(LibraryFile, ASheetsFileSymbolIsReadAtItsPosition) {
    FileSpec sheet = SpecOf(dir_.file("sheet.SHX"));
    ASSERT_EQ(CreateDynamicFile(&sheet, "QPLX", "SCH4", "SCH4", 256), 0);
    DynamicFileRecord f;
    ASSERT_EQ(OpenDynamicFile(&sheet, false, &f), 0);
    Handle item = nullptr;
    EXPECT_EQ(LoadLibraryItemFromSheet(&f, 512, &item), kNoFileSymbolsErr);
    const std::string bytes = FlatItemBytes({"PORT"});
    const std::string block12 = std::string(512, '\0') + test::Hex("0001 000000") + char(bytes.size()) + bytes +
                                test::Hex("0001 FFFFFFFF");
    uint32_t id = 0;
    ASSERT_EQ(WriteFileBlock(&f, kSheetFileSymbolsBlock, uint32_t(block12.size()), block12.data(), &id), 0);
    ASSERT_EQ(LoadLibraryItemFromSheet(&f, 512, &item), 0);
    EXPECT_EQ(test::HandleBytes(item), bytes);
    MemFree(item);
    for (uint32_t position : {0u, 518u, uint32_t(block12.size() - 6)}) {
        EXPECT_NE(LoadLibraryItemFromSheet(&f, position, &item), 0) << position;
        EXPECT_EQ(item, nullptr);
    }
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&f, true), 0);
    FileSpec library = SpecOf(path_);
    ASSERT_EQ(OpenDynamicFile(&library, true, &f), 0);
    EXPECT_EQ(LoadLibraryItemFromSheet(&f, 512, &item), status::kUnknownFileKind);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&f, false));
}

// A damaged map that names an offset inside an item block, where the item's bytes read as a block
// head: deleting it is refused, and the file stays sound with its items.
TEST_F(LibraryFile, DeletingAnOffsetInsideAnItemBlockIsRefused) {
    const std::string head("\x01\x06\x00\x00\x00\x08", 6);
    uint32_t item = 0, inner = 0;
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        item = lib.Write(FlatItemBytes({"HOST"}, kLibItemComponent, std::string(8, 'x') + head + std::string(16, 'y')));
        const std::string data = lib.Load(item);
        const size_t at = data.find(head);
        ASSERT_NE(at, std::string::npos);
        inner = item + uint32_t(at) + 6;
        ASSERT_EQ(FlushLibraryFile(&lib.record), 0);
        EXPECT_EQ(DeleteLibraryFileItem(&lib.record, inner, true), status::kBadPosition);
        EXPECT_EQ(lib.Names(), std::vector<std::string>{"HOST"});
    }
    FileSpec spec = SpecOf(path_);
    DynamicFileRecord file{};
    ASSERT_EQ(OpenDynamicFile(&spec, true, &file), 0);
    EXPECT_EQ(CheckDynamicFile(&file, nullptr, nullptr), 0);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    OpenLibrary again(path_, kReadMap);
    EXPECT_EQ(again.Names(), std::vector<std::string>{"HOST"});
    EXPECT_EQ(again.Load(item).find(head) != std::string::npos, true);
}

TEST_F(LibraryFile, ReadOnlyOpenOfACutFileKeepsTheItemsBeforeTheCut) {
    {
        OpenLibrary lib(path_, kLibraryOpenLoadMap);
        lib.Write(FlatItemBytes({"A"}));
        lib.Write(FlatItemBytes({"B"}));
        ASSERT_EQ(FlushLibraryFile(&lib.record), 0);
        lib.Write(FlatItemBytes({"C"}, kLibItemComponent, std::string(2000, 'c')));
        ASSERT_EQ(FlushDynamicFile(&lib.record.file, false), 0);
        const std::string file = Bytes(path_);
        ASSERT_TRUE(WriteFile(dir_.file("cut.LBX"), file.substr(0, file.size() - 1000)));
    }
    OpenLibrary lib(dir_.file("cut.LBX"), kReadMap);
    ASSERT_EQ(lib.status, 0);
    EXPECT_EQ(lib.Names(), (std::vector<std::string>{"A", "B"}));
    OpenLibrary writable(dir_.file("cut.LBX"), kLibraryOpenLoadMap);
    EXPECT_EQ(writable.status, status::kEndOfFile);
}

// Opens damaged bytes every way a caller does and uses what comes out.
void Exercise(const TempDir& dir, const std::string& bytes) {
    const std::string path = dir.file("damaged.LBX");
    ASSERT_TRUE(WriteFile(path, bytes));
    FileSpec spec = SpecOf(path);
    for (uint32_t mode : {kReadMap, kLibraryOpenReadOnly | kLibraryOpenRebuildMap}) {
        OpenLibrary lib(path, mode);
        if (lib.status != 0) {
            EXPECT_EQ(lib.record.map, nullptr);
            EXPECT_EQ(lib.record.file.stream, nullptr);
            continue;
        }
        ItemNamesDigest digest;
        BuildItemNamesDigest(lib.record.map, lib.record.names, &digest);
        for (int32_t i = 0; i < CountLibItemMapEntries(lib.record.map); ++i) {
            LibraryItemMapEntry entry;
            GetLibItemMapEntry(lib.record.map, i, &entry);
            Handle h = nullptr;
            if (LoadLibraryFileItem(&lib.record, entry.blockId, &h) == 0) MemFree(h);
        }
    }
    ItemNamesDigest query, digest;
    const int32_t rows = StringToDigest("ITEM", &query, false);
    LibraryItemMap map = nullptr;
    StringBlock names = nullptr;
    (void)CheckLibraryFileDigest(&spec, &query, rows, &digest, &map, &names);  // damaged input: only no crash counts
    DestroyLibraryItemMap(map, names);
    {
        OpenLibrary lib(path, kLibraryOpenLoadMap);
        if (lib.status == 0) {
            FlatHandle item(FlatItemBytes({"NEW"}));
            uint32_t id;
            const bool written = WriteLibraryFileItem(&lib.record, item, true, &id) == 0;
            LibraryItemMapEntry first;
            if (GetLibItemMapEntry(lib.record.map, 0, &first) && first.blockId != id) {
                (void)DeleteLibraryFileItem(&lib.record, first.blockId, true);  // damaged input: only no crash counts
            }
            if (lib.Close() == 0 && written) {
                OpenLibrary again(path, kReadMap);
                EXPECT_EQ(again.status, 0);
                EXPECT_NE(again.Block("NEW"), 0u);
            }
        }
    }
}

std::string SampleLibrary(const TempDir& dir) {
    const std::string path = dir.file("sample.LBX");
    test::MakeLibrary(path);
    {
        OpenLibrary lib(path, kLibraryOpenLoadMap);
        for (int i = 0; i < 5; ++i) {
            const std::string name = "ITEM" + std::to_string(i);
            lib.Write(FlatItemBytes({name, name + "A"}, uint8_t(i % 3), std::string(size_t(i * 7), char('a' + i))));
        }
        LibraryItemMapEntry first;
        GetLibItemMapEntry(lib.record.map, 0, &first);
        EXPECT_EQ(status::kNoErr, DeleteLibraryFileItem(&lib.record, first.blockId, true));  // leaves a free block
    }
    std::string bytes;
    EXPECT_TRUE(ReadFile(path, bytes));
    return bytes;
}

TEST(LibraryDamage, TruncatedFilesEndWithAStatus) {
    TempDir dir;
    const std::string good = SampleLibrary(dir);
    for (size_t length = 0; length < good.size(); length += 1 + length / 64) Exercise(dir, good.substr(0, length));
}

TEST(LibraryDamage, MutatedFilesEndWithAStatus) {
    TempDir dir;
    const std::string good = SampleLibrary(dir);
    uint32_t map = 0;
    std::memcpy(&map, good.data() + kHeaderAt + 4, 4);
    ASSERT_LT(map, good.size());
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(150);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = good;
        // Half the rounds hit the item map, the rest anywhere.
        const size_t from = round % 2 ? map - 6 : 0;
        const int flips = 1 + int(rng() % 4);
        for (int i = 0; i < flips; ++i) bytes[from + rng() % (bytes.size() - from)] ^= char(1 + rng() % 255);
        SCOPED_TRACE(round);
        Exercise(dir, bytes);
    }
}

}  // namespace
}  // namespace plexa

namespace plexa {
namespace {

// The seeds of the library-file fuzz target, made by this writer: the check fails when a kept seed
// no longer holds what the writer makes now; with PLEXA_WRITE_SEEDS set the seeds are written.
TEST(LibrarySeeds, FuzzSeeds) {
    TempDir dir;
    const std::string empty = dir.file("empty.LBX");
    test::MakeLibrary(empty);
    const std::string items = dir.file("items.LBX");
    test::MakeLibrary(items);
    {
        OpenLibrary lib(items, kLibraryOpenLoadMap);
        lib.Write(FlatItemBytes({"7400", "SN7400"}, kLibItemComponent, "abc"));
        const uint32_t gone = lib.Write(FlatItemBytes({"GONE"}));
        lib.Write(FlatItemBytes({"VCC"}, kLibItemWireSymbol));
        lib.Write(FlatItemBytes({"IN"}, kLibItemPort));
        ASSERT_EQ(DeleteLibraryFileItem(&lib.record, gone, true), 0);
    }
    // A writer that stopped after adding an item, before saving the map.
    const std::string marked = dir.file("marked.LBX");
    std::string bytes;
    ASSERT_TRUE(ReadFile(items, bytes));
    ASSERT_TRUE(WriteFile(marked, bytes));
    {
        OpenLibrary lib(marked, kLibraryOpenLoadMap);
        lib.Write(FlatItemBytes({"R10"}));
        ASSERT_EQ(FlushDynamicFile(&lib.record.file, false), 0);
        ASSERT_TRUE(ReadFile(marked, bytes));
    }
    ASSERT_TRUE(WriteFile(marked, bytes));
    for (const std::string seed : {"empty.LBX", "items.LBX", "marked.LBX"}) {
        SCOPED_TRACE(seed);
        ASSERT_TRUE(ReadFile(dir.file(seed), bytes));
        test::CheckFuzzSeed("library_file", seed, bytes);
        const std::string kept = test::SourcePath("fuzz/corpus/library_file/" + seed);
        OpenLibrary lib(kept, kReadMap);
        EXPECT_EQ(lib.status, 0);
    }
}

}  // namespace
}  // namespace plexa
