#include "foundation/dynfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using test::FullDisk;

struct Block {
    uint32_t offset;
    uint8_t type;
    std::string bytes;
};

uint32_t Get32(const std::string& s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + size_t(i)] = char(uint8_t(v >> (24 - 8 * i)));
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, 0);
    for (auto& c : s)
        c = char(rng());
    return s;
}

class DynFile : public ::testing::Test {
protected:
    void TearDown() override {
        if (file_.stream) (void)CloseAndMaybeFlushDynamicFile(&file_, false);  // teardown
    }
    FileSpec Spec(const std::string& name) {
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(dir_.file(name), &spec, false, nullptr), 0) << name;
        return spec;
    }
    void Create(const std::string& name, uint32_t appHeader) {
        FileSpec spec = Spec(name);
        ASSERT_EQ(CreateDynamicFile(&spec, "QPLX", "SCH4", "SCH4", appHeader), 0);
    }
    OSStatus Open(const std::string& name, bool readOnly) {
        if (file_.stream) (void)CloseAndMaybeFlushDynamicFile(&file_, false);  // teardown
        FileSpec spec = Spec(name);
        return OpenDynamicFile(&spec, readOnly, &file_);
    }
    OSStatus Close() { return CloseAndMaybeFlushDynamicFile(&file_, false); }
    std::string Bytes(const std::string& name) {
        std::string s;
        return ReadFile(dir_.file(name), s) ? s : std::string("<missing>");
    }
    uint32_t Write(uint8_t type, const std::string& bytes) {
        uint32_t offset = 0;
        EXPECT_EQ(WriteFileBlock(&file_, type, uint32_t(bytes.size()), bytes.data(), &offset), 0);
        return offset;
    }
    std::string Load(uint32_t offset) {
        Handle h = nullptr;
        EXPECT_EQ(LoadFileBlock(&file_, offset, &h), 0) << offset;
        std::string s = h && SizeOfHandle(h) ? std::string(*h, SizeOfHandle(h)) : std::string();
        if (h) MemFree(h);
        return s;
    }
    // The used blocks in file order, with their contents; the walk's status in *walk.
    std::vector<Block> Blocks(OSStatus* walk = nullptr) {
        std::vector<Block> blocks;
        uint32_t offset = 0, size = 0;
        OSStatus st = 0;
        for (int steps = 0; steps < 100000; ++steps) {
            uint8_t type = 0;
            st = ScanFileBlocks(&file_, &offset, &size, &type);
            if (st || offset == 0) break;
            if (type != kFreeBlockType) blocks.push_back({offset, type, Load(offset)});
        }
        if (walk) *walk = st;
        return blocks;
    }
    // What CheckDynamicFile finds, after a flush of a writable file.
    std::vector<std::string> Problems() {
        EXPECT_EQ(FlushDynamicFile(&file_, false), 0);
        std::vector<std::string> problems;
        (void)CheckDynamicFile(  // the problems found are the result
            &file_,
            [](const char* message, void* context) {
                static_cast<std::vector<std::string>*>(context)->push_back(message);
            },
            &problems);
        return problems;
    }
    // The stored free list of a closed file, by its raw bytes (at most `limit` entries).
    std::vector<uint32_t> StoredFreeList(const std::string& name, size_t limit = 1000) {
        std::string s = Bytes(name);
        std::vector<uint32_t> list;
        for (uint32_t at = Get32(s, 18); at != 0 && list.size() < limit && at + 8 <= s.size();
             at = Get32(s, at + 4))
            list.push_back(at);
        return list;
    }
    std::vector<std::string> FolderNames() {
        std::vector<std::string> names;
        DirectoryRef root;
        EXPECT_EQ(DirectoryFromDirectoryURL(dir_.path(), &root), 0);
        EXPECT_EQ(status::kNoErr, EnumFiles(
            &root,
            [](const FileSpec*, bool, bool, const std::string& location, void* data) {
                static_cast<std::vector<std::string>*>(data)->push_back(
                    location.substr(location.rfind('/') + 1));
                return true;
            },
            false, &names));
        return names;
    }
    int64_t End() { return GetStreamEnd(file_.stream); }

    TempDir dir_;
    DynamicFileRecord file_{};
};

bool SameBlocks(const std::vector<Block>& a, const std::vector<Block>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].type != b[i].type || a[i].bytes != b[i].bytes) return false;
    return true;
}

// The whole life of a file: blocks written, half released, space reused, a crash with the guard
// set, the list rebuilt on reopening, and compaction.
TEST_F(DynFile, LifeWithCrashRebuildAndCompaction) {
    std::mt19937 rng(test::TestSeed());
    Create("life", 40);
    ASSERT_EQ(Open("life", false), 0);
    const std::string appHeader = "owner's header: 40 bytes of settings...";
    int32_t length = int32_t(appHeader.size());
    ASSERT_EQ(WriteDynamicFileHeader(&file_, 0, appHeader.data(), &length), 0);

    std::map<uint32_t, Block> live;
    auto writeRandom = [&](bool throughStream) {
        Block b{0, uint8_t(1 + rng() % 250), RandomBytes(rng, 1 + rng() % 700)};
        if (throughStream) {
            StreamRecord* stream;
            EXPECT_EQ(BeginFileBlockWrite(&file_, -1, &stream), 0);
            EXPECT_EQ(StreamWrite(stream, b.bytes.data(), int32_t(b.bytes.size())), 0);
            EXPECT_EQ(EndFileBlockWrite(&file_, 0, b.type, &b.offset), 0);
        } else {
            b.offset = Write(b.type, b.bytes);
        }
        EXPECT_NE(b.offset, 0u);
        EXPECT_EQ(live.count(b.offset), 0u) << "a live block was handed out again";
        live[b.offset] = b;
        return b.offset;
    };
    auto releaseRandom = [&](int n) {
        for (int i = 0; i < n; ++i) {
            auto it = std::next(live.begin(), long(rng() % live.size()));
            ASSERT_EQ(ReleaseFileBlock(&file_, it->first), 0);
            live.erase(it);
        }
    };
    for (int i = 0; i < 200; ++i)
        writeRandom(i % 3 == 0);
    releaseRandom(100);
    const int64_t endBefore = End();
    uint32_t reused = 0;
    for (int i = 0; i < 100; ++i) {
        reused += writeRandom(i % 2 == 0) < endBefore;
    }
    EXPECT_GT(reused, 0u);
    ASSERT_EQ(FlushDynamicFile(&file_, true), 0);
    EXPECT_TRUE(Problems().empty());

    // A crash after more releases: the guard is on disk, the heads reached the file, the real
    // first-free did not.
    releaseRandom(10);
    ASSERT_EQ(FlushStreamBuffer(file_.stream, false), 0);
    ASSERT_TRUE(WriteFile(dir_.file("crash"), Bytes("life")));
    EXPECT_EQ(Get32(Bytes("crash"), 18), kFirstFreeChanging);
    ASSERT_EQ(Close(), 0);

    ASSERT_EQ(Open("crash", true), 0);
    EXPECT_FALSE(Problems().empty());
    ASSERT_EQ(Open("crash", false), 0);
    EXPECT_TRUE(Problems().empty());
    std::vector<Block> expected;
    for (auto& [offset, block] : live)
        expected.push_back(block);
    EXPECT_TRUE(SameBlocks(Blocks(), expected));
    uint32_t freeCount = 0, freeBytes = 0;
    ASSERT_EQ(CountFreeBlocks(&file_, &freeCount, &freeBytes, false), 0);
    EXPECT_GT(freeCount, 0u);
    ASSERT_EQ(Close(), 0);
    std::vector<uint32_t> list = StoredFreeList("crash");
    EXPECT_EQ(list.size(), freeCount);
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));

    ASSERT_EQ(Open("crash", false), 0);
    ASSERT_EQ(CompactFileBlocks(&file_), 0);
    ASSERT_EQ(CountFreeBlocks(&file_, &freeCount, &freeBytes, false), 0);
    EXPECT_EQ(freeCount, 0u);
    EXPECT_TRUE(SameBlocks(Blocks(), expected));
    EXPECT_TRUE(Problems().empty());
    int64_t packed = file_.blocksStart;
    for (auto& b : expected)
        packed += 6 + std::max<size_t>(b.bytes.size(), 8);
    EXPECT_EQ(End(), packed);
    std::string header(40, 0);
    length = 40;
    EXPECT_EQ(ReadDynamicFileHeader(&file_, 0, header.data(), &length), 0);
    EXPECT_EQ(header.substr(0, appHeader.size()), appHeader);
    ASSERT_EQ(Close(), 0);
    std::vector<std::string> names = FolderNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"crash", "life"}));

    ASSERT_EQ(Open("crash", true), 0);
    EXPECT_TRUE(SameBlocks(Blocks(), expected));
}

TEST_F(DynFile, StoredHeadIsBigEndian) {
    Create("head", 16);
    const std::string bytes = Bytes("head");
    std::string want("ORDF\x01\x02SCH4\0\0\0\x2E\0\0\0\x10", 18);
    want += std::string(46 + 16, '\0');
    EXPECT_EQ(bytes, want);
    ASSERT_EQ(Open("head", false), 0);
    EXPECT_EQ(file_.fileType, FourCC("SCH4"));
    EXPECT_EQ(file_.blocksStart, 80u);
    EXPECT_EQ(GetDynamicFileHeaderSize(&file_), 16u);
    int32_t length = 5;
    ASSERT_EQ(WriteDynamicFileHeader(&file_, 3, "hello", &length), 0);
    ASSERT_EQ(Close(), 0);
    EXPECT_EQ(Bytes("head").substr(64 + 3, 5), "hello");

    FourCharCode type = 0;
    char buffer[8] = {};
    length = 8;
    FileSpec spec = Spec("head");
    EXPECT_EQ(IsDynamicFileEx(&spec, &type, 3, buffer, &length), 0);
    EXPECT_EQ(type, FourCC("SCH4"));
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(DynFile, HeadVersionsAndShortFiles) {
    Create("base", 0);
    const std::string base = Bytes("base");
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus open;
    };
    auto withVersion = [&](uint16_t v) {
        std::string s = base;
        s[4] = char(v >> 8);
        s[5] = char(v);
        return s;
    };
    std::string wrongMagic = base;
    wrongMagic[3] = 'X';
    std::string smallHeaderRecord = base;
    Put32(smallHeaderRecord, 10, 2);
    std::string hugeHeaderRecord = base;
    Put32(hugeHeaderRecord, 10, 0xFFFFFFF0);
    std::string hugeAppHeader = base;
    Put32(hugeAppHeader, 14, 0x10000000);
    const Case cases[] = {
        {"version 258", withVersion(258), 0},
        {"version 257 reads the same", withVersion(257), 0},
        {"version 259 is too new", withVersion(259), status::kVersionTooNew},
        {"version 0xFFFF is too new", withVersion(0xFFFF), status::kVersionTooNew},
        {"wrong magic", wrongMagic, status::kNotDynamicFile},
        {"five bytes", base.substr(0, 5), status::kNotDynamicFile},
        {"empty", "", status::kNotDynamicFile},
        {"current version with a short head", base.substr(0, 12), status::kNotDynamicFile},
        {"header record below 4 bytes", smallHeaderRecord, status::kNotDynamicFile},
        {"header record past the end", hugeHeaderRecord, status::kEndOfFile},
        {"application header past the end", hugeAppHeader, status::kEndOfFile},
        {"cut inside the header record", base.substr(0, 40), status::kEndOfFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFile(dir_.file("case"), c.bytes));
        for (bool readOnly : {true, false}) {
            EXPECT_EQ(Open("case", readOnly), c.open);
            EXPECT_EQ(file_.stream != nullptr, c.open == 0);
        }
        FileSpec spec = Spec("case");
        FourCharCode type = 1;
        EXPECT_EQ(IsDynamicFileEx(&spec, &type, 0, nullptr, nullptr), c.open);
        EXPECT_EQ(type, c.open == 0 ? FourCC("SCH4") : 0u);
    }
}

// The edge cases of the format, each on a fresh file.
TEST_F(DynFile, EdgeCases) {
    struct Case {
        const char* name;
        uint32_t appHeader;
        std::function<void()> run;
    };
    auto headLength = [&](uint32_t offset) {
        EXPECT_EQ(status::kNoErr, Close());
        return uint8_t(Bytes("edge")[offset - 5]);
    };
    const std::string b40(40, 'a'), b30(30, 'b'), b20(20, 'c');
    const Case cases[] = {
        {"a new file without application header has its first block's data at 70", 0,
         [&] {
             EXPECT_EQ(file_.blocksStart, 64u);
             EXPECT_EQ(Write(1, "x"), 70u);
         }},
        {"a 3-byte block has head length 11 and the next block 14 bytes on", 0,
         [&] {
             uint32_t a = Write(1, "abc");
             EXPECT_EQ(Write(2, "next block"), a + 3 + 11);
             EXPECT_EQ(Load(a), "abc");
             EXPECT_EQ(headLength(a), 11);
         }},
        {"taking 20 from a free block of 40 splits off a free block of 14 at +26", 0,
         [&] {
             uint32_t a = Write(1, b40);
             Write(2, b20);
             ASSERT_EQ(ReleaseFileBlock(&file_, a), 0);
             EXPECT_EQ(Write(3, b20), a);
             uint32_t size, count, bytes;
             uint8_t type;
             ASSERT_EQ(GetFileBlockInfo(&file_, a + 26, &size, &type), 0);
             EXPECT_EQ(type, kFreeBlockType);
             EXPECT_EQ(size, 14u);
             ASSERT_EQ(CountFreeBlocks(&file_, &count, &bytes, true), 0);
             EXPECT_EQ(count, 1u);
             EXPECT_EQ(bytes, 14u + 6u);
             EXPECT_EQ(headLength(a), 6);
         }},
        {"taking 20 from a free block of 30 keeps 10 bytes of slack", 0,
         [&] {
             uint32_t a = Write(1, b30);
             Write(2, b20);
             ASSERT_EQ(ReleaseFileBlock(&file_, a), 0);
             EXPECT_EQ(Write(3, b20), a);
             uint32_t count, bytes;
             ASSERT_EQ(CountFreeBlocks(&file_, &count, &bytes, false), 0);
             EXPECT_EQ(count, 0u);
             EXPECT_EQ(Load(a), b20);
             EXPECT_EQ(headLength(a), 16);
         }},
        {"releasing an offset that starts no block of the chain is refused and changes nothing", 0,
         [&] {
             // Bytes inside a block that read as a block head (type 1, head length 6, size 8).
             std::string inner(40, 'x');
             inner.replace(2, 6, std::string("\x01\x06\x00\x00\x00\x08", 6));
             uint32_t a = Write(1, inner);
             Write(2, b20);
             ASSERT_EQ(FlushDynamicFile(&file_, false), 0);
             const std::string before = Bytes("edge");
             uint32_t size;
             uint8_t type;
             ASSERT_EQ(GetFileBlockInfo(&file_, a + 8, &size, &type), 0);
             ASSERT_EQ(type, 1);
             for (uint32_t inside : {a + 8, a + 1, a + 40 + 6 + 3})
                 EXPECT_EQ(ReleaseFileBlock(&file_, inside), status::kBadPosition) << inside;
             ASSERT_EQ(FlushDynamicFile(&file_, false), 0);
             EXPECT_EQ(Bytes("edge"), before);
             EXPECT_EQ(CheckDynamicFile(&file_, nullptr, nullptr), 0);
         }},
        {"a file cut inside its last block is cut back to its whole blocks and opens for writing", 0,
         [&] {
             uint32_t a = Write(1, b20);
             uint32_t b = Write(2, b40);
             EXPECT_EQ(status::kNoErr, Close());
             const std::string path = dir_.file("edge");
             ASSERT_EQ(::truncate(path.c_str(), off_t(b) + 10), 0);
             FileSpec spec;
             ASSERT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0);
             uint32_t cut = 1;
             DynamicFileRecord f{};
             EXPECT_EQ(OpenDynamicFile(&spec, false, &f), status::kEndOfFile);
             ASSERT_EQ(CutShortLastFileBlock(&spec, &cut), 0);
             EXPECT_EQ(cut, 16u);
             ASSERT_EQ(OpenDynamicFile(&spec, false, &f), 0);
             EXPECT_EQ(CheckDynamicFile(&f, nullptr, nullptr), 0);
             Handle h = nullptr;
             ASSERT_EQ(LoadFileBlock(&f, a, &h), 0);
             EXPECT_EQ(std::string(*h, SizeOfHandle(h)), b20);
             MemFree(h);
             ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&f, true), 0);
             // A whole file is left alone.
             ASSERT_EQ(CutShortLastFileBlock(&spec, &cut), 0);
             EXPECT_EQ(cut, 0u);
         }},
        {"releasing a block twice changes nothing the second time", 0,
         [&] {
             uint32_t a = Write(1, b30);
             Write(2, b20);
             ASSERT_EQ(ReleaseFileBlock(&file_, a), 0);
             ASSERT_EQ(FlushDynamicFile(&file_, false), 0);
             const std::string once = Bytes("edge");
             ASSERT_EQ(ReleaseFileBlock(&file_, a), 0);
             ASSERT_EQ(FlushDynamicFile(&file_, false), 0);
             EXPECT_EQ(Bytes("edge"), once);
         }},
        {"first-free 0xFFFFFFFF opens with an ascending list and the free end cut off", 0,
         [&] {
             uint32_t a = Write(1, b20), b = Write(2, b20), c = Write(3, b20), d = Write(4, b20);
             uint32_t e = Write(5, b20);
             Write(6, b20);
             uint32_t g = Write(7, b40);
             for (uint32_t offset : {e, a, g, c})
                 ASSERT_EQ(ReleaseFileBlock(&file_, offset), 0);
             ASSERT_EQ(Close(), 0);
             EXPECT_EQ(StoredFreeList("edge"), (std::vector<uint32_t>{c, g, a, e}));
             std::string s = Bytes("edge");
             Put32(s, 18, kFirstFreeChanging);
             ASSERT_TRUE(WriteFile(dir_.file("edge"), s));
             ASSERT_EQ(Open("edge", false), 0);
             ASSERT_EQ(Close(), 0);
             EXPECT_EQ(StoredFreeList("edge"), (std::vector<uint32_t>{a, c, e}));
             EXPECT_EQ(Bytes("edge").size(), g - 6);
             (void)b;
             (void)d;
         }},
        {"compacting a file without free blocks changes nothing", 0,
         [&] {
             Write(1, b20);
             Write(2, b30);
             ASSERT_EQ(FlushDynamicFile(&file_, false), 0);
             const std::string before = Bytes("edge");
             ASSERT_EQ(CompactFileBlocks(&file_), 0);
             ASSERT_EQ(Close(), 0);
             EXPECT_EQ(Bytes("edge"), before);
         }},
        {"compacting drops blocks of types 251 to 254", 0,
         [&] {
             uint32_t offset;
             for (uint8_t type : {251, 252, 253, 254}) {
                 ASSERT_EQ(AllocateNewFileBlock(&file_, 12, type, &offset), 0);
                 ASSERT_EQ(StreamWrite(file_.stream, "dropped data", 12), 0);
             }
             Write(1, b20);
             uint32_t released = Write(2, b20);
             Write(3, b30);
             ASSERT_EQ(ReleaseFileBlock(&file_, released), 0);
             ASSERT_EQ(CompactFileBlocks(&file_), 0);
             std::vector<Block> blocks = Blocks();
             ASSERT_EQ(blocks.size(), 2u);
             EXPECT_EQ(blocks[0].type, 1);
             EXPECT_EQ(blocks[0].offset, 70u);
             EXPECT_EQ(blocks[1].type, 3);
             EXPECT_EQ(blocks[1].bytes, b30);
         }},
        {"reading 10 bytes at 60 of a 64-byte application header reads 4 and returns 0x20002AF9", 64,
         [&] {
             char buffer[10];
             int32_t length = 10;
             EXPECT_EQ(ReadDynamicFileHeader(&file_, 60, buffer, &length), status::kOutsideAppHeader);
             EXPECT_EQ(length, 4);
             length = 10;
             EXPECT_EQ(WriteDynamicFileHeader(&file_, 60, "0123456789", &length), status::kOutsideAppHeader);
             EXPECT_EQ(length, 4);
             for (int32_t offset : {-1, 64, 1000}) {
                 length = 10;
                 EXPECT_EQ(ReadDynamicFileHeader(&file_, offset, buffer, &length), status::kOutsideAppHeader);
                 EXPECT_EQ(length, 0);
             }
             ASSERT_EQ(Close(), 0);
             EXPECT_EQ(Bytes("edge").substr(64 + 60), "0123");
         }},
        {"a file without application header transfers nothing", 0,
         [&] {
             char buffer[4];
             int32_t length = 4;
             EXPECT_EQ(ReadDynamicFileHeader(&file_, 0, buffer, &length), status::kOutsideAppHeader);
             EXPECT_EQ(length, 0);
         }},
        {"a read-only file refuses every change with -54", 8,
         [&] {
             Write(1, b20);
             ASSERT_EQ(Open("edge", true), 0);
             uint32_t offset = 1;
             int32_t length = 2;
             StreamRecord* stream;
             EXPECT_EQ(WriteFileBlock(&file_, 1, 20, b20.data(), &offset), status::kPermission);
             EXPECT_EQ(offset, 0u);
             EXPECT_EQ(ReleaseFileBlock(&file_, 70 + 8), status::kPermission);
             EXPECT_EQ(WriteDynamicFileHeader(&file_, 0, "ab", &length), status::kPermission);
             EXPECT_EQ(EmptyDynamicFile(&file_), status::kPermission);
             EXPECT_EQ(CompactFileBlocks(&file_), status::kPermission);
             EXPECT_EQ(BeginFileBlockWrite(&file_, -1, &stream), status::kPermission);
             EXPECT_EQ(Load(70 + 8), b20);
         }},
        {"sizes below 1 and free-block types are refused with -50", 0,
         [&] {
             uint32_t offset;
             EXPECT_EQ(AllocateFileBlock(&file_, 0, 1, &offset), status::kParamErr);
             EXPECT_EQ(WriteFileBlock(&file_, kFreeBlockType, 3, "abc", &offset), status::kParamErr);
             EXPECT_EQ(End(), 64);
         }},
        {"finding walks blocks of one type in file order and ends with offset 0", 0,
         [&] {
             uint32_t a = Write(4, b20);
             Write(5, b20);
             uint32_t c = Write(4, b30);
             uint32_t offset = 0, size = 0;
             ASSERT_EQ(FindFileBlock(&file_, 4, &offset, &size, true), 0);
             EXPECT_EQ(offset, a);
             ASSERT_EQ(FindFileBlock(&file_, 4, &offset, &size, false), 0);
             EXPECT_EQ(offset, c);
             EXPECT_EQ(size, 30u);
             ASSERT_EQ(FindFileBlock(&file_, 4, &offset, &size, false), 0);
             EXPECT_EQ(offset, 0u);
             EXPECT_EQ(size, 0u);
             ASSERT_EQ(DeleteTypedFileBlocks(&file_, 4), 0);
             ASSERT_EQ(FindFileBlock(&file_, 4, &offset, &size, true), 0);
             EXPECT_EQ(offset, 0u);
         }},
        {"a closed record answers -38", 0,
         [&] {
             ASSERT_EQ(Close(), 0);
             uint32_t offset = 0, size;
             uint8_t type = 0;
             StreamRecord* stream;
             EXPECT_EQ(CloseAndMaybeFlushDynamicFile(&file_, false), status::kFileNotOpen);
             EXPECT_EQ(ScanFileBlocks(&file_, &offset, &size, &type), status::kFileNotOpen);
             EXPECT_EQ(WriteFileBlock(&file_, 1, 3, "abc", &offset), status::kFileNotOpen);
             EXPECT_EQ(BeginFileBlockWrite(&file_, -1, &stream), status::kFileNotOpen);
             EXPECT_EQ(EndFileUpdates(&file_, false), status::kFileNotOpen);
         }},
        {"emptying cuts the file to its blocks' start", 8,
         [&] {
             EXPECT_EQ(status::kNoErr, ReleaseFileBlock(&file_, Write(1, b20)));
             Write(2, b20);
             ASSERT_EQ(EmptyDynamicFile(&file_), 0);
             EXPECT_EQ(End(), 72);
             EXPECT_TRUE(Blocks().empty());
             EXPECT_EQ(Write(3, b20), 78u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Create("edge", c.appHeader);
        ASSERT_EQ(Open("edge", false), 0);
        c.run();
        if (file_.stream) {
            EXPECT_TRUE(Problems().empty());
            EXPECT_EQ(status::kNoErr, Close());
        }
    }
}

TEST_F(DynFile, BlocksThroughTheBlockStream) {
    Create("stream", 0);
    ASSERT_EQ(Open("stream", false), 0);
    uint32_t offset = 1;
    EXPECT_EQ(EndFileBlockWrite(&file_, 0, 3, &offset), status::kFileNotOpen);
    EXPECT_EQ(offset, 0u);

    auto build = [&](const std::string& content, uint32_t flags, uint8_t type) {
        StreamRecord* stream;
        EXPECT_EQ(BeginFileBlockWrite(&file_, 0, &stream), 0);
        if (!content.empty()) {
            EXPECT_EQ(StreamWrite(stream, content.data(), int32_t(content.size())), 0);
        }
        uint32_t block = 1;
        EXPECT_EQ(EndFileBlockWrite(&file_, flags, type, &block), 0);
        return block;
    };
    uint32_t first = build("first version of the settings", 0, 3);
    uint32_t other = build("another block", 0, 4);
    EXPECT_EQ(status::kNoErr, ReleaseFileBlock(&file_, other));
    // At the end even with a fitting free block.
    uint32_t atEnd = build("short", kBlockWriteAtEnd, 5);
    EXPECT_GT(atEnd, other);
    // Releasing the first block of the type before writing the new one.
    uint32_t second = build("second version", kBlockWriteReleaseFirst, 3);
    EXPECT_EQ(Load(second), "second version");
    uint32_t found = 0, size;
    ASSERT_EQ(FindFileBlock(&file_, 3, &found, &size, true), 0);
    EXPECT_EQ(found, second);
    ASSERT_EQ(FindFileBlock(&file_, 3, &found, &size, false), 0);
    EXPECT_EQ(found, 0u);
    (void)first;
    // Empty content with flag 2: the old block goes, nothing is written.
    const int64_t end = End();
    EXPECT_EQ(build("", kBlockWriteReleaseFirst, 3), 0u);
    ASSERT_EQ(FindFileBlock(&file_, 3, &found, &size, true), 0);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(End(), end);

    std::string temporary;
    ASSERT_EQ(CreateURLFromFileSpec(file_.blockSpec, false, &temporary), 0);
    struct stat info {};
    EXPECT_EQ(::stat(temporary.c_str(), &info), 0);
    ASSERT_EQ(EndFileUpdates(&file_, true), 0);
    EXPECT_NE(::stat(temporary.c_str(), &info), 0);
    EXPECT_EQ(file_.blockStream, nullptr);
    EXPECT_EQ(Load(atEnd), "short");
    EXPECT_TRUE(Problems().empty());
}

// Blocks of every size through the buffered block stream, shorter after longer and larger than its
// buffer, one patched by seeking back: each is stored as written, never with what an earlier,
// longer block left in the stream's file, which the stream does not truncate between blocks.
TEST_F(DynFile, BlockStreamKeepsNoBytesOfEarlierBlocks) {
    std::mt19937 rng(test::TestSeed());
    Create("sizes", 0);
    ASSERT_EQ(Open("sizes", false), 0);
    std::vector<std::pair<uint32_t, std::string>> written;
    int64_t longest = 0;
    for (size_t size : {40000u, 100u, 20000u, 5u, 16384u, 70000u, 1u, 16385u}) {
        std::string bytes = RandomBytes(rng, size);
        StreamRecord* stream;
        ASSERT_EQ(BeginFileBlockWrite(&file_, -1, &stream), 0);
        ASSERT_EQ(GetStreamEnd(stream), 0);
        if (size > 8) {
            // A count written last over a placeholder, as owners do.
            ASSERT_EQ(StreamWrite(stream, "????", 4), 0);
            ASSERT_EQ(StreamWrite(stream, bytes.data() + 4, int32_t(size - 4)), 0);
            ASSERT_EQ(SetStreamPosition(stream, 0), 0);
            ASSERT_EQ(StreamWrite(stream, bytes.data(), 4), 0);
            ASSERT_EQ(SetStreamPosition(stream, int32_t(size)), 0);
        } else {
            ASSERT_EQ(StreamWrite(stream, bytes.data(), int32_t(size)), 0);
        }
        uint32_t offset = 0;
        ASSERT_EQ(EndFileBlockWrite(&file_, 0, 7, &offset), 0);
        written.emplace_back(offset, bytes);
        longest = std::max<int64_t>(longest, int64_t(size));
        std::string temporary;
        ASSERT_EQ(CreateURLFromFileSpec(file_.blockSpec, false, &temporary), 0);
        struct stat info {};
        ASSERT_EQ(::stat(temporary.c_str(), &info), 0);
        EXPECT_GE(int64_t(info.st_size), longest > 16384 ? longest : 0) << size;
    }
    for (const auto& [offset, bytes] : written) EXPECT_EQ(Load(offset), bytes) << bytes.size();
    ASSERT_EQ(EndFileUpdates(&file_, true), 0);
    EXPECT_TRUE(Problems().empty());
}

// A block written under one type and given its real type once its bytes are in the file.
TEST_F(DynFile, SetFileBlockType) {
    Create("retype", 0);
    ASSERT_EQ(Open("retype", false), 0);
    const uint32_t pending = Write(3, "item bytes");
    const uint32_t other = Write(4, "other");
    const uint32_t freed = Write(4, "free soon");
    ASSERT_EQ(ReleaseFileBlock(&file_, freed), 0);
    ASSERT_EQ(SetFileBlockType(&file_, pending, 1), 0);
    uint32_t size = 0;
    uint8_t type = 0;
    ASSERT_EQ(GetFileBlockInfo(&file_, pending, &size, &type), 0);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(Load(pending), "item bytes");
    // Only format types on both sides: a free block stays free, no block becomes one.
    EXPECT_EQ(SetFileBlockType(&file_, freed, 1), status::kParamErr);
    EXPECT_EQ(SetFileBlockType(&file_, other, kFreeBlockType), status::kParamErr);
    EXPECT_EQ(SetFileBlockType(&file_, other, 251), status::kParamErr);
    EXPECT_EQ(SetFileBlockType(&file_, 3, 1), status::kBadPosition);
    EXPECT_TRUE(Problems().empty());
    ASSERT_EQ(Close(), 0);
    ASSERT_EQ(Open("retype", true), 0);
    EXPECT_EQ(SetFileBlockType(&file_, other, 1), status::kPermission);
}

// A file of the old layout: blocks from offset 6, the header record in a block of type 254.
TEST_F(DynFile, OldLayout) {
    auto head = [](uint8_t type, uint8_t headLength, uint32_t size) {
        std::string h(6, 0);
        h[0] = char(type);
        h[1] = char(headLength);
        Put32(h, 2, size);
        return h;
    };
    std::string bytes("ORDF\x01\x00", 6);
    bytes += head(7, 9, 5) + "hello" + std::string(3, 0);
    bytes += head(254, 6, 16) + std::string(16, 0);
    bytes += head(9, 6, 8) + "12345678";
    ASSERT_TRUE(WriteFile(dir_.file("old"), bytes));
    ASSERT_EQ(Open("old", true), 0);
    EXPECT_EQ(file_.fileType, FourCC("????"));
    EXPECT_EQ(file_.headerOffset, 6u + 14 + 6);
    std::vector<Block> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].offset, 12u);
    EXPECT_EQ(blocks[0].bytes, "hello");
    EXPECT_EQ(blocks[2].bytes, "12345678");
    char buffer[4];
    int32_t length = 4;
    EXPECT_EQ(ReadDynamicFileHeader(&file_, 0, buffer, &length), status::kOutsideAppHeader);

    ASSERT_EQ(Open("old", false), 0);
    EXPECT_EQ(ReleaseFileBlock(&file_, file_.headerOffset), status::kParamErr);
    ASSERT_EQ(ReleaseFileBlock(&file_, 12), 0);
    ASSERT_EQ(Close(), 0);
    EXPECT_EQ(Get32(Bytes("old"), 26), 12u);  // first-free in the header block
    ASSERT_EQ(Open("old", false), 0);
    EXPECT_EQ(Write(3, "reuse"), 12u);
    EXPECT_TRUE(Problems().empty());
    ASSERT_EQ(ReleaseFileBlock(&file_, 48), 0);
    ASSERT_EQ(CompactFileBlocks(&file_), 0);
    blocks = Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].type, kOldHeaderBlockType);
    EXPECT_EQ(file_.headerOffset, 12u);
    EXPECT_EQ(blocks[1].offset, 12u + 16 + 6);
    EXPECT_EQ(blocks[1].bytes, "reuse");
    EXPECT_TRUE(Problems().empty());

    // Without a header block nothing written could keep its free list: the file reads, but a
    // read-write open fails and leaves it as it was.
    const std::string noHead = std::string("ORDF\x00\x01", 6) + head(255, 6, 8) + std::string(8, 0) +
                               head(2, 6, 8) + "abcdefgh";
    for (const std::string& form : {noHead, std::string("ORDF\x00\x06", 6)}) {
        SCOPED_TRACE(form.size());
        ASSERT_TRUE(WriteFile(dir_.file("nohead"), form));
        ASSERT_EQ(Open("nohead", true), 0);
        EXPECT_EQ(Blocks().size(), form.size() > 6 ? 1u : 0u);
        EXPECT_EQ(Open("nohead", false), status::kBadPosition);
        EXPECT_EQ(file_.stream, nullptr);
        EXPECT_EQ(Bytes("nohead"), form);
    }
}

// Compaction never endangers the file: a failure leaves it byte for byte, success replaces it
// whole and the record follows.
int gIdleCalls = 0;
int gIdleFailAt = 0;
void IdleThatFails() {
    if (++gIdleCalls == gIdleFailAt) Signal(status::kUserCancelled);
}

TEST_F(DynFile, CompactionFailureLeavesTheFile) {
    Create("keep", 8);
    ASSERT_EQ(Open("keep", false), 0);
    std::vector<uint32_t> offsets;
    for (int i = 0; i < 20; ++i)
        offsets.push_back(Write(uint8_t(1 + i), std::string(10 + size_t(i) * 7, char('a' + i))));
    for (int i = 0; i < 20; i += 3)
        ASSERT_EQ(ReleaseFileBlock(&file_, offsets[size_t(i)]), 0);
    ASSERT_EQ(BeginFileUpdates(&file_), 0);
    const std::vector<Block> before = Blocks();
    ASSERT_EQ(FlushDynamicFile(&file_, false), 0);
    const std::string bytes = Bytes("keep");

    file_.idleProc = IdleThatFails;
    // The idle procedure runs once per free block while they are counted (7), then once per
    // block copied (20): its signal stops the copy at the first, a middle and the last block.
    for (int failAt : {8, 15, 27}) {
        gIdleCalls = 0;
        gIdleFailAt = failAt;
        EXPECT_EQ(CompactFileBlocks(&file_), status::kUserCancelled) << failAt;
        EXPECT_EQ(Bytes("keep"), bytes);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"keep"});
        EXPECT_EQ(GetSignalDepth(), 0);
    }
    file_.idleProc = nullptr;
    EXPECT_TRUE(SameBlocks(Blocks(), before));

    ASSERT_EQ(CompactFileBlocks(&file_), 0);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"keep"});
    EXPECT_TRUE(SameBlocks(Blocks(), before));
    EXPECT_LT(Bytes("keep").size(), bytes.size());
    // The record and its block stream go on working on the new file.
    StreamRecord* stream;
    ASSERT_EQ(BeginFileBlockWrite(&file_, -1, &stream), 0);
    ASSERT_EQ(StreamWrite(stream, "after", 5), 0);
    uint32_t offset;
    ASSERT_EQ(EndFileBlockWrite(&file_, 0, 99, &offset), 0);
    ASSERT_EQ(Close(), 0);
    ASSERT_EQ(Open("keep", true), 0);
    EXPECT_EQ(Load(offset), "after");
    EXPECT_EQ(Blocks().size(), before.size() + 1);
}

// A save changes the file whole or not at all. Blocks written (straight and through the block
// stream), released and compacted in a save reach the file only when it ends well; a full disk
// at any byte of it, or a failure handed to its end, leaves the file byte for byte with the record
// back on it. Saves nest, and the file keeps its permissions.
TEST_F(DynFile, ASaveReplacesTheFileWholeOrNotAtAll) {
    Create("saved", 8);
    ASSERT_EQ(Open("saved", false), 0);
    std::vector<uint32_t> offsets;
    for (int i = 0; i < 12; ++i) offsets.push_back(Write(uint8_t(1 + i), std::string(300 + size_t(i) * 50, char('a' + i))));
    ASSERT_EQ(Close(), 0);
    ASSERT_EQ(::chmod(dir_.file("saved").c_str(), 0640), 0);
    const std::string old = Bytes("saved");
    ASSERT_EQ(Open("saved", false), 0);
    const std::vector<Block> oldBlocks = Blocks();

    // The changes of one save; its status (the first failure).
    auto changes = [&]() -> OSStatus {
        if (OSStatus st = BeginDynamicFileSave(&file_)) return st;
        OSStatus st = BeginDynamicFileSave(&file_);  // nested
        uint32_t offset = 0;
        const std::string big(30000, 'x');
        if (!st) st = WriteFileBlock(&file_, 40, uint32_t(big.size()), big.data(), &offset);
        for (size_t i = 0; i < offsets.size() && !st; i += 2) st = ReleaseFileBlock(&file_, offsets[i]);
        StreamRecord* stream = nullptr;
        if (!st) st = BeginFileBlockWrite(&file_, -1, &stream);
        for (int i = 0; i < 2000 && !st; ++i) (void)StreamWrite(stream, "0123456789", 10);  // checked at the end
        if (!st) st = EndFileBlockWrite(&file_, 0, 41, &offset);
        int32_t length = 4;
        if (!st) st = WriteDynamicFileHeader(&file_, 2, "head", &length);
        st = EndDynamicFileSave(&file_, st);
        if (!st) st = CompactFileBlocks(&file_);
        return EndDynamicFileSave(&file_, st);
    };
    int64_t total = 0;
    {
        // Measured on a copy of the record's file, abandoned.
        FullDisk measure(-1);
        ASSERT_EQ(BeginDynamicFileSave(&file_), 0);
        EXPECT_EQ(changes(), 0);
        total = GetFileBytesWritten();
        EXPECT_EQ(EndDynamicFileSave(&file_, status::kUserCancelled), status::kUserCancelled);
        EXPECT_EQ(Bytes("saved"), old);
        EXPECT_TRUE(SameBlocks(Blocks(), oldBlocks));
    }
    ASSERT_GT(total, 60000);
    for (int64_t room : test::FullDiskPoints(total)) {
        SCOPED_TRACE(testing::Message() << "room " << room << " of " << total);
        OSStatus st;
        {
            FullDisk disk(room);
            st = changes();
        }
        EXPECT_NE(st, 0);
        EXPECT_FALSE(InDynamicFileSave(&file_));
        EXPECT_EQ(Bytes("saved"), old);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"saved"});
        EXPECT_TRUE(SameBlocks(Blocks(), oldBlocks));
    }
    ASSERT_EQ(changes(), 0);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"saved"});
    EXPECT_NE(Bytes("saved"), old);
    struct stat info {};
    ASSERT_EQ(::stat(dir_.file("saved").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Blocks().size(), oldBlocks.size() - 6 + 2);
    ASSERT_EQ(Close(), 0);
    ASSERT_EQ(Open("saved", true), 0);
    EXPECT_EQ(Blocks().size(), oldBlocks.size() - 6 + 2);
    EXPECT_EQ(Blocks().back().bytes.size(), 20000u);
}

// A block whose stream lost bytes on their way to its temporary file (the disk was full for a
// moment) is refused, not written with a hole; the next block starts clean.
TEST_F(DynFile, ABlockThatLostBytesIsRefused) {
    Create("lost", 0);
    ASSERT_EQ(Open("lost", false), 0);
    const int64_t end = End();
    StreamRecord* stream = nullptr;
    ASSERT_EQ(BeginFileBlockWrite(&file_, 512, &stream), 0);
    const std::string bytes(2000, 'q');
    {
        FullDisk moment(0, 1);
        for (size_t at = 0; at < bytes.size(); at += 100) (void)StreamWrite(stream, bytes.data() + at, 100);  // unchecked
    }
    uint32_t offset = 1;
    EXPECT_EQ(EndFileBlockWrite(&file_, 0, 7, &offset), status::kBusy);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(End(), end);
    ASSERT_EQ(BeginFileBlockWrite(&file_, 512, &stream), 0);
    ASSERT_EQ(StreamWrite(stream, bytes.data(), int32_t(bytes.size())), 0);
    ASSERT_EQ(EndFileBlockWrite(&file_, 0, 7, &offset), 0);
    EXPECT_TRUE(Load(offset) == bytes);
}

// Damaged files open with a status or are repaired; nothing hangs, nothing crashes, and no block
// handed out overlaps live data.
class DamagedFiles : public DynFile {
protected:
    // A small file: live blocks A C E F H, free blocks B D G with the list G -> D -> B.
    void Build() {
        Create("base", 8);
        ASSERT_EQ(Open("base", false), 0);
        const char* names = "ABCDEFGH";
        const size_t sizes[] = {20, 30, 40, 25, 50, 10, 12, 9};
        for (int i = 0; i < 8; ++i)
            at_[names[i]] = Write(uint8_t(i + 1), std::string(sizes[i], names[i]));
        for (char c : {'B', 'D', 'G'})
            ASSERT_EQ(ReleaseFileBlock(&file_, at_[c]), 0);
        ASSERT_EQ(Close(), 0);
        base_ = Bytes("base");
        ASSERT_EQ(StoredFreeList("base"), (std::vector<uint32_t>{at_['G'], at_['D'], at_['B']}));
    }
    // Reads what can be read, counts the free space and, when writable, writes blocks and checks
    // that the blocks read before are untouched.
    void Exercise(bool writable) {
        OSStatus walk;
        std::vector<Block> before = Blocks(&walk);
        uint32_t count, bytes;
        EXPECT_EQ(status::kNoErr, CountFreeBlocks(&file_, &count, &bytes, true));
        if (!writable) return;
        EXPECT_EQ(walk, 0);
        std::mt19937 rng(7);
        for (int i = 0; i < 12; ++i)
            Write(uint8_t(100 + i), RandomBytes(rng, 1 + rng() % 40));
        for (const Block& b : before)
            EXPECT_EQ(Load(b.offset), b.bytes) << "block " << b.offset;
        EXPECT_TRUE(Problems().empty());
    }
    std::map<char, uint32_t> at_;
    std::string base_;
};

TEST_F(DamagedFiles, MutatedFilesOpenWithAStatusOrAreRepaired) {
    Build();
    struct Case {
        const char* name;
        std::function<void(std::string&)> mutate;
        OSStatus readWrite;  // the status of a read-write open
    };
    auto next = [&](char c) { return at_[c] + 4; };
    auto headOf = [&](char c) { return at_[c] - 6; };
    const Case cases[] = {
        {"free-list cycle", [&](std::string& s) { Put32(s, next('B'), at_['G']); }, 0},
        {"free block linked to itself", [&](std::string& s) { Put32(s, next('G'), at_['G']); }, 0},
        {"first-free past the end", [&](std::string& s) { Put32(s, 18, 0x7FFFFF00); }, 0},
        {"first-free before the blocks", [&](std::string& s) { Put32(s, 18, 20); }, 0},
        {"a link past the end", [&](std::string& s) { Put32(s, next('D'), 0x00FFFFFF); }, 0},
        {"a link to a live block", [&](std::string& s) { Put32(s, next('D'), at_['E']); }, 0},
        {"free info size disagrees with the head", [&](std::string& s) { Put32(s, at_['D'], 1000); }, 0},
        {"a free block below 8 bytes", [&](std::string& s) { Put32(s, headOf('G') + 2, 4); },
         status::kBadPosition},
        {"first-free into live data behind a forged free head",
         [&](std::string& s) {
             const uint32_t forged = at_['C'] + 16;
             s.replace(forged - 6, 6, std::string("\xFF\x06\0\0\0\x14", 6));
             Put32(s, forged, 20);
             Put32(s, forged + 4, 0);
             Put32(s, 18, forged);
         },
         0},
        {"head length 0 and size 0", [&](std::string& s) { s.replace(headOf('E'), 6, std::string(6, '\0')); },
         status::kBadPosition},
        {"head length 5", [&](std::string& s) { s[headOf('C') + 1] = 5; }, status::kBadPosition},
        {"block size past the end", [&](std::string& s) { Put32(s, headOf('C') + 2, 0x7FFFFFF0); },
         status::kEndOfFile},
        {"block size one past the end", [&](std::string& s) { Put32(s, headOf('H') + 2, 9 + 1); },
         status::kEndOfFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string s = base_;
        c.mutate(s);
        ASSERT_TRUE(WriteFile(dir_.file("case"), s));
        ASSERT_EQ(Open("case", true), 0);
        EXPECT_FALSE(Problems().empty());
        Exercise(false);
        EXPECT_EQ(Open("case", false), c.readWrite);
        if (c.readWrite == 0) {
            Exercise(true);
            ASSERT_EQ(Close(), 0);
            ASSERT_EQ(Open("case", false), 0);
            EXPECT_TRUE(Problems().empty());
            ASSERT_EQ(CompactFileBlocks(&file_), 0);
            EXPECT_TRUE(Problems().empty());
        }
        (void)Close();  // damaged input: only no crash counts
    }
}

TEST_F(DamagedFiles, TruncationAtEveryByte) {
    Build();
    std::vector<uint32_t> boundaries;  // file lengths that end at a block's end
    for (auto& [name, offset] : at_) {
        (void)name;
        ASSERT_EQ(Open("base", true), 0);
        uint32_t size;
        uint8_t type;
        ASSERT_EQ(GetFileBlockInfo(&file_, offset, &size, &type), 0);
        boundaries.push_back(offset + std::max(size, 8u));
    }
    EXPECT_EQ(status::kNoErr, Close());
    for (size_t cut = 0; cut <= base_.size(); ++cut) {
        SCOPED_TRACE(cut);
        ASSERT_TRUE(WriteFile(dir_.file("cut"), base_.substr(0, cut)));
        if (Open("cut", true) == 0) Exercise(false);
        const OSStatus st = Open("cut", false);
        const bool atBoundary = cut == 72 || std::count(boundaries.begin(), boundaries.end(), cut) != 0;
        if (atBoundary) {
            EXPECT_EQ(st, 0);
        }
        if (st == 0) Exercise(true);
        (void)Close();  // damaged input: only no crash counts
    }
}

TEST_F(DamagedFiles, RandomMutations) {
    Build();
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(150);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string s = base_;
        const int changes = 1 + int(rng() % 4);
        for (int i = 0; i < changes; ++i) {
            // Mostly the structure (head, header record, block heads, free info), sometimes anywhere.
            const size_t at = rng() % 4 == 0 ? 18 + rng() % 8 : rng() % s.size();
            s[at] = rng() % 3 == 0 ? char(0xFF) : char(rng());
        }
        SCOPED_TRACE(round);
        ASSERT_TRUE(WriteFile(dir_.file("mutated"), s));
        if (Open("mutated", true) == 0) Exercise(false);
        if (Open("mutated", false) == 0) Exercise(true);
        (void)Close();  // damaged input: only no crash counts
    }
}

}  // namespace
}  // namespace plexa
