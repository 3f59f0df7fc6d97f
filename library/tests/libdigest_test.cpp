// The library digest file: records written by hand in either byte order, damaged headers and
// records, and the file over a library list in a scratch tree: made afresh after it was deleted,
// and never trusted for a library that was changed by something else.
#include "library/libdigest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/datafile.h"
#include "library/tests/libaccess_testing.h"
#include "tests/support/foundation_testing.h"

namespace plexa::test {
namespace {

// The digest of a set of names.
ItemNamesDigest DigestOf(const std::vector<std::string>& names) {
    ItemNamesDigest digest{};
    for (const std::string& name : names) StringToDigest(name.c_str(), &digest, true);
    return digest;
}

std::string Bytes(const ItemNamesDigest& digest) {
    return std::string(reinterpret_cast<const char*>(digest.bytes), sizeof digest.bytes);
}

// Fields in a chosen byte order.
struct Writer {
    bool big;
    std::string b;
    Writer& raw(const std::string& s) {
        b += s;
        return *this;
    }
    Writer& u(uint64_t v, int size) {
        for (int i = 0; i < size; ++i) b.push_back(char(v >> (8 * (big ? size - 1 - i : i))));
        return *this;
    }
    // The check of the record so far: the CRC-32 of its 564 bytes as they stand.
    Writer& check(size_t recordStart) {
        return u(crc32(0L, reinterpret_cast<const Bytef*>(b.data() + recordStart), uInt(b.size() - recordStart)), 4);
    }
};

// A header and one record, laid out field by field.
std::string HandWritten(bool big) {
    Writer w{big, {}};
    w.raw("PXDG")              // magic
        .u(0x1234, 2)          // byte-order mark
        .u(1, 2)               // version
        .u(568, 4)             // record size
        .u(0, 4);              // zero
    w.raw(Bytes(DigestOf({"AB"})))  // the digest: row 6 (A), bit 17 (B)
        .u(1, 4)                    // flags: written
        .u(500, 4)                  // modified, nanoseconds
        .u(0x0801, 8)               // device
        .u(0x123456789AULL, 8)      // inode
        .u(4096, 8)                 // size
        .u(1700000000, 8)           // modified, seconds
        .u(1700000001, 8)           // changed, seconds
        .u(700, 4)                  // changed, nanoseconds
        .check(16);
    return w.b;
}

const LibDigestRecord kHandRecord = {DigestOf({"AB"}), kLibDigestWritten,
                                     LibFileIdentity{0x0801, 0x123456789AULL, 4096, 1700000000, 1700000001, 500, 700}};

TEST(LibDigestStoredForm, AHandWrittenRecordReadsInEitherOrderAndIsWrittenTheSame) {
    for (bool big : {false, true}) {
        const std::string file = HandWritten(big);
        ASSERT_EQ(file.size(), kLibDigestHeaderSize + kLibDigestRecordSize);
        EXPECT_EQ(file[16 + 50], 0x02) << "row 6, bit 17";
        const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
        bool swapped = !big;
        ASSERT_EQ(DecodeLibDigestHeader(bytes, kLibDigestHeaderSize, &swapped), 0);
        EXPECT_EQ(swapped, big);  // this machine writes little-endian
        LibDigestRecord record;
        ASSERT_EQ(DecodeLibDigestRecord(bytes + 16, kLibDigestRecordSize, swapped, &record), 0) << big;
        EXPECT_EQ(Bytes(record.digest), Bytes(kHandRecord.digest));
        EXPECT_EQ(record.flags, kLibDigestWritten);
        EXPECT_TRUE(record.identity == kHandRecord.identity);
        uint8_t out[kLibDigestRecordSize];
        uint8_t header[kLibDigestHeaderSize];
        EncodeLibDigestHeader(swapped, header);
        EncodeLibDigestRecord(&kHandRecord, swapped, out);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(header), sizeof header) +
                      std::string(reinterpret_cast<char*>(out), sizeof out),
                  file);
    }
}

TEST(LibDigestStoredForm, DamagedHeadersAndRecordsEndWithAStatus) {
    const std::string file = HandWritten(false);
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    CappedPool pool(1u << 16);
    bool swapped = false;
    LibDigestRecord record;
    for (uint32_t length = 0; length < kLibDigestHeaderSize; ++length)
        EXPECT_EQ(DecodeLibDigestHeader(bytes, length, &swapped), -39) << length;
    for (uint32_t length = 0; length < kLibDigestRecordSize; ++length)
        EXPECT_EQ(DecodeLibDigestRecord(bytes + 16, length, false, &record), -39) << length;
    // Any other magic, mark, version, record size or zero word.
    for (size_t at : {0, 3, 4, 5, 6, 7, 8, 9, 12, 15}) {
        std::string bad = file;
        bad[at] = char(bad[at] ^ 0x10);
        EXPECT_EQ(DecodeLibDigestHeader(reinterpret_cast<const uint8_t*>(bad.data()), 16, &swapped), -50) << at;
    }
    // Every bit of a record is covered by its check.
    for (size_t at = 16; at < file.size(); ++at)
        for (int bit = 0; bit < 8; ++bit) {
            std::string bad = file;
            bad[at] = char(bad[at] ^ (1 << bit));
            ASSERT_EQ(DecodeLibDigestRecord(reinterpret_cast<const uint8_t*>(bad.data()) + 16, kLibDigestRecordSize,
                                            false, &record),
                      -50)
                << at << " " << bit;
            EXPECT_EQ(record.flags, 0u);
        }
    EXPECT_FALSE(pool.hitCeiling());
}

class LibDigestFile : public LibraryAccessTest {
protected:
    void SetUp() override {
        LibraryAccessTest::SetUp();
        Library("libs/First.LBX", {{"AB1"}});
        Library("libs/Second.LBX", {{"CD2"}});
        LibraryAccessTest::AddPath("libs", kPathLibraryFiles);
        BuildLibraryFileList(nullptr, false);
        ASSERT_EQ(GetLibDigestFileSpec(&spec_), 0);
        path_ = Path("data/Orvix/com.orvix.Plexa/Plexa Digest.temp");
    }
    std::string Stored() const {
        std::string bytes;
        ReadFile(path_, bytes);
        return bytes;
    }
    FileSpec File(int32_t index) const {
        FileSpec spec;
        bool isSheet = false;
        EXPECT_TRUE(GetIndexedLibFileSpec(kLibFilesAll, index, &spec, &isSheet));
        return spec;
    }
    // The file's digest through the digest file.
    std::string Digest(int32_t index) const {
        ItemNamesDigest digest;
        FileSpec file = File(index);
        EXPECT_EQ(GetLibDigestRecord(index, &file, &digest), 0);
        return Bytes(digest);
    }
    // What the digest file holds for the file: its record, decoded.
    LibDigestRecord Record(int32_t index) const {
        const std::string bytes = Stored();
        LibDigestRecord record{};
        const size_t at = kLibDigestHeaderSize + size_t(index) * kLibDigestRecordSize;
        if (bytes.size() >= at + kLibDigestRecordSize) {
            EXPECT_EQ(DecodeLibDigestRecord(reinterpret_cast<const uint8_t*>(bytes.data()) + at, kLibDigestRecordSize,
                                            false, &record),
                      0);
        }
        return record;
    }
    // Every file's digest once, as a search that rebuilds the file does.
    void Rebuild() {
        ASSERT_EQ(OpenLibDigestFile(), 0);
        for (int32_t i = 0; i < CountLibraryFiles(kLibFilesAll); ++i) Digest(i);
        ClearLibDigestRebuild();
        CloseLibDigestFile();
    }
    FileSpec spec_;
    std::string path_;
};

TEST_F(LibDigestFile, LivesInTheApplicationsLibraryFolderAndIsRebuiltAfterItWasDeleted) {
    EXPECT_EQ(std::string(spec_.name), "Plexa Digest.temp");
    EXPECT_FALSE(IsLibDigestFileOpen());
    EXPECT_FALSE(LibDigestNeedsRebuild());
    ItemNamesDigest digest;
    EXPECT_EQ(GetLibDigestRecord(0, &spec_, &digest), -38);
    ASSERT_EQ(OpenLibDigestFile(), 0);
    EXPECT_TRUE(LibDigestNeedsRebuild());
    EXPECT_EQ(OpenLibDigestFile(), 0);  // open already
    EXPECT_EQ(Digest(0), Bytes(DigestOf({"AB1"})));
    EXPECT_EQ(Digest(1), Bytes(DigestOf({"CD2"})));
    ClearLibDigestRebuild();
    CloseLibDigestFile();
    const std::string first = Stored();
    ASSERT_EQ(first.size(), kLibDigestHeaderSize + 2 * kLibDigestRecordSize);
    LibFileIdentity identity;
    FileSpec second = File(1);
    ASSERT_EQ(GetLibFileIdentity(&second, &identity), 0);
    EXPECT_TRUE(Record(1).identity == identity);

    // Opened again, the records are used as they are.
    ASSERT_EQ(OpenLibDigestFile(), 0);
    EXPECT_FALSE(LibDigestNeedsRebuild());
    EXPECT_EQ(Digest(1), Bytes(DigestOf({"CD2"})));
    CloseLibDigestFile();
    EXPECT_EQ(Stored(), first);

    // Deleted between searches: made again, and every record computed afresh.
    ASSERT_EQ(::unlink(path_.c_str()), 0);
    ASSERT_EQ(OpenLibDigestFile(), 0);
    EXPECT_TRUE(LibDigestNeedsRebuild());
    EXPECT_EQ(Stored().size(), kLibDigestHeaderSize);
    EXPECT_EQ(Digest(0), Bytes(DigestOf({"AB1"})));
    EXPECT_EQ(Digest(1), Bytes(DigestOf({"CD2"})));
    CloseLibDigestFile();
    EXPECT_EQ(Stored(), first);
}

TEST_F(LibDigestFile, ALibraryChangedByAnotherProgramIsDigestedAgain) {
    Rebuild();
    const std::string before = Stored();
    ItemNamesDigest query;
    const int32_t rows = StringToDigest("QQ", &query, false);

    // Another program adds an item.
    {
        OpenLibrary lib(Path("libs/Second.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(ItemBytes({"QQ3"}));
    }
    ASSERT_EQ(OpenLibDigestFile(), 0);
    ItemNamesDigest digest;
    FileSpec second = File(1);
    ASSERT_EQ(GetLibDigestRecord(1, &second, &digest), 0);
    EXPECT_TRUE(IsSubDigest(&query, rows, &digest, kDigestRows));
    EXPECT_EQ(Bytes(digest), Bytes(DigestOf({"CD2", "QQ3"})));
    CloseLibDigestFile();
    EXPECT_EQ(Bytes(Record(1).digest), Bytes(digest));
    EXPECT_EQ(Stored().substr(0, kLibDigestHeaderSize + kLibDigestRecordSize),
              before.substr(0, kLibDigestHeaderSize + kLibDigestRecordSize));

    // Another program replaces the first library by one of the same size and times.
    Library("other/First.LBX", {{"XY1"}});
    struct stat old {};
    ASSERT_EQ(::stat(Path("libs/First.LBX").c_str(), &old), 0);
    const struct timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("other/First.LBX").c_str(), times, 0), 0);
    ASSERT_EQ(::rename(Path("other/First.LBX").c_str(), Path("libs/First.LBX").c_str()), 0);
    struct stat now {};
    ASSERT_EQ(::stat(Path("libs/First.LBX").c_str(), &now), 0);
    ASSERT_EQ(now.st_size, old.st_size);
    ASSERT_EQ(OpenLibDigestFile(), 0);
    EXPECT_EQ(Digest(0), Bytes(DigestOf({"XY1"})));
    // A record of another file at that place (another copy of the program with another list).
    FileSpec first = File(0);
    ASSERT_EQ(GetLibDigestRecord(1, &first, &digest), 0);
    EXPECT_EQ(Bytes(digest), Bytes(DigestOf({"XY1"})));
    EXPECT_EQ(Digest(1), Bytes(DigestOf({"CD2", "QQ3"})));
    // A file that went: no digest.
    ASSERT_EQ(::unlink(Path("libs/First.LBX").c_str()), 0);
    EXPECT_EQ(Digest(0), Bytes(ItemNamesDigest{}));
    CloseLibDigestFile();
}

TEST_F(LibDigestFile, DamagedOrForeignFilesGiveTheTrueDigests) {
    Rebuild();
    const std::string good = Stored();
    const std::string truth0 = Bytes(DigestOf({"AB1"})), truth1 = Bytes(DigestOf({"CD2"}));
    // The same records in the other byte order are read, and written in that order.
    std::string other(kLibDigestHeaderSize, '\0');
    EncodeLibDigestHeader(true, reinterpret_cast<uint8_t*>(other.data()));
    LibDigestRecord record = Record(0);
    std::string swapped(kLibDigestRecordSize, '\0');
    EncodeLibDigestRecord(&record, true, reinterpret_cast<uint8_t*>(swapped.data()));
    ASSERT_TRUE(WriteFile(path_, other + swapped));
    ASSERT_EQ(OpenLibDigestFile(), 0);
    EXPECT_FALSE(LibDigestNeedsRebuild());
    EXPECT_EQ(Digest(0), truth0);
    EXPECT_EQ(Digest(1), truth1);
    CloseLibDigestFile();
    const std::string written = Stored();
    LibDigestRecord back;
    ASSERT_EQ(DecodeLibDigestRecord(reinterpret_cast<const uint8_t*>(written.data()) + 16 + kLibDigestRecordSize,
                                    kLibDigestRecordSize, true, &back),
              0);
    EXPECT_EQ(Bytes(back.digest), truth1);

    CappedPool pool(1u << 20);
    std::vector<std::string> inputs;
    for (size_t length = 0; length < good.size(); length += 37) inputs.push_back(good.substr(0, length));
    for (size_t at = 0; at < good.size(); at += 11) {
        std::string bad = good;
        bad[at] = char(bad[at] ^ 0x5A);
        inputs.push_back(bad);
    }
    for (const std::string& input : inputs) {
        ASSERT_TRUE(WriteFile(path_, input));
        ASSERT_EQ(OpenLibDigestFile(), 0);
        EXPECT_EQ(Digest(0), truth0) << input.size();
        EXPECT_EQ(Digest(1), truth1) << input.size();
        CloseLibDigestFile();
    }
    EXPECT_FALSE(pool.hitCeiling());
}

TEST_F(LibDigestFile, ChangesOfTheListDeleteTheFileAndWritesRewriteARecord) {
    Rebuild();
    ASSERT_TRUE(VXFileExists(&spec_, nullptr));
    BuildLibraryFileList(nullptr, false);
    EXPECT_FALSE(VXFileExists(&spec_, nullptr));
    Rebuild();

    // The program writes the first library: its record is rewritten, and the file closed again.
    {
        OpenLibrary lib(Path("libs/First.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(ItemBytes({"EF4"}));
    }
    FileSpec first = File(0);
    LibraryFileChanged(&first);
    EXPECT_FALSE(IsLibDigestFileOpen());
    EXPECT_EQ(Bytes(Record(0).digest), Bytes(DigestOf({"AB1", "EF4"})));
    // While the file waits for a rebuild nothing is written to it.
    ASSERT_EQ(::unlink(path_.c_str()), 0);
    UpdateLibDigestFile(1);
    EXPECT_EQ(Stored().size(), kLibDigestHeaderSize);
    // An index that names no file deletes it.
    UpdateLibDigestFile(5);
    EXPECT_FALSE(VXFileExists(&spec_, nullptr));
    // At quit the file goes.
    Rebuild();
    DisposeLibraryAccess();
    EXPECT_FALSE(VXFileExists(&spec_, nullptr));
    InitLibraryAccess();
}

TEST_F(LibDigestFile, AFileThatCannotBeMadeIsNotOpen) {
    // The application's library folder cannot be made: a file stands where it would be.
    ASSERT_EQ(::unlink(path_.c_str()) == 0 || errno == ENOENT, true);
    ASSERT_EQ(::rmdir(Path("data/Orvix/com.orvix.Plexa").c_str()), 0);
    ASSERT_TRUE(WriteFile(Path("data/Orvix/com.orvix.Plexa"), "in the way"));
    EXPECT_NE(OpenLibDigestFile(), 0);
    EXPECT_FALSE(IsLibDigestFileOpen());
    EXPECT_FALSE(LibDigestNeedsRebuild());
    ASSERT_EQ(::unlink(Path("data/Orvix/com.orvix.Plexa").c_str()), 0);
    // A folder where the file would be.
    FileSpec spec;
    ASSERT_EQ(GetLibDigestFileSpec(&spec), 0);
    ASSERT_EQ(::mkdir(path_.c_str(), 0700), 0);
    EXPECT_NE(OpenLibDigestFile(), 0);
    EXPECT_FALSE(IsLibDigestFileOpen());
}

// The seeds of the digest file's fuzz target, made by the writer: two records in this machine's
// order and in the other one.
TEST(LibrarySeeds, DigestFiles) {
    for (bool other : {false, true}) {
        std::string file(kLibDigestHeaderSize, '\0');
        EncodeLibDigestHeader(other, reinterpret_cast<uint8_t*>(file.data()));
        int n = 0;
        for (const char* name : {"74LS00", "NEW"}) {
            LibDigestRecord record{DigestOf({name}), kLibDigestWritten, LibFileIdentity{1, uint64_t(10 + n++), 100, 2, 3, 4, 5}};
            std::string bytes(kLibDigestRecordSize, '\0');
            EncodeLibDigestRecord(&record, other, reinterpret_cast<uint8_t*>(bytes.data()));
            file += bytes;
        }
        CheckFuzzSeed("library_digest", other ? "two-records-other-order" : "two-records", file);
    }
}

}  // namespace
}  // namespace plexa::test
