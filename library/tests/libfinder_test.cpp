// The finder's search over fixture libraries: matching without regard to case or position, the
// name order of the hits, the cap of 200 and its message, the digest file as a shortcut that never
// hides a match, and a hit made the cached selection.
#include "library/libfinder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/libdigest.h"
#include "library/tests/libaccess_testing.h"

namespace plexa::test {
namespace {

using Lines = std::vector<std::string>;

Lines gMessages;

class LibFinderTest : public LibraryAccessTest {
protected:
    void SetUp() override {
        LibraryAccessTest::SetUp();
        gMessages.clear();
        LibFinderHooks hooks;
        hooks.message = [](const char* text) { gMessages.push_back(text); };
        SetLibFinderHooks(hooks);
        ASSERT_EQ(CreateFoundItems(&found_), 0);
    }
    void TearDown() override {
        DestroyFoundItems(&found_);
        ReleaseLibFinderMaps();
        SetLibFinderHooks(LibFinderHooks{});
        CloseLibDigestFile();
        LibraryAccessTest::TearDown();
    }
    void Fixtures() {
        Library("libs/A.LBX", {{"XAB12"}, {"R1"}, {"A-B"}});
        Library("libs/B.LBX", {{"ab"}, {"BA"}});
        Library("libs/C.LBX", {{"CAB"}, {"R1"}});
        AddPath("libs", kPathLibraryFiles);
        BuildLibraryFileList(nullptr, false);
    }
    // "name in file" of every hit, in the found order.
    Lines Find(const char* text, bool* more = nullptr) {
        bool more_ = false;
        const int32_t hits = CollectMatchingItems(&found_, text, &more_);
        if (more) *more = more_;
        Lines out;
        for (int32_t i = 0; i < CountFoundItems(&found_); ++i) {
            FoundItemEntry entry;
            char name[kStringSpecBufferSize];
            EXPECT_TRUE(GetFoundItem(&found_, i, &entry, name));
            char file[kFileSpecNameCapacity];
            EXPECT_TRUE(GetIndexedLibFileName(kLibFilesAll, entry.fileIndex, file));
            out.push_back(std::string(name) + " in " + file);
        }
        EXPECT_EQ(hits, int32_t(out.size()));
        return out;
    }
    // A library of `count` items named PREFIXn.
    void Numbered(const std::string& relative, const std::string& prefix, int count) {
        Library(relative);
        OpenLibrary lib(Path(relative), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        for (int i = 0; i < count; ++i) lib.Write(ItemBytes({prefix + std::to_string(i)}));
        ASSERT_EQ(lib.Close(), 0);
    }
    // Stores a record for file n whose digest is that of the given names, with the file's
    // identity, so that the search trusts it.
    void StoreDigest(int32_t index, const std::vector<std::string>& names) {
        FileSpec spec;
        bool isSheet = false;
        ASSERT_TRUE(GetIndexedLibFileSpec(kLibFilesAll, index, &spec, &isSheet));
        LibDigestRecord record{};
        for (const std::string& name : names) StringToDigest(name.c_str(), &record.digest, true);
        record.flags = kLibDigestWritten;
        ASSERT_EQ(GetLibFileIdentity(&spec, &record.identity), 0);
        uint8_t bytes[kLibDigestRecordSize];
        EncodeLibDigestRecord(&record, false, bytes);
        const std::string path = Path("data/Orvix/com.orvix.Plexa/Plexa Digest.temp");
        std::string file;
        ASSERT_TRUE(ReadFile(path, file));
        const size_t at = kLibDigestHeaderSize + size_t(index) * kLibDigestRecordSize;
        if (file.size() < at + kLibDigestRecordSize) file.resize(at + kLibDigestRecordSize);
        file.replace(at, kLibDigestRecordSize, reinterpret_cast<const char*>(bytes), kLibDigestRecordSize);
        ASSERT_TRUE(WriteFile(path, file));
    }

    FoundItems found_;
};

TEST_F(LibFinderTest, MatchesIgnoreCaseAndPositionAndListInNameOrder) {
    Fixtures();
    EXPECT_EQ(Find("ab"), (Lines{"ab in B.LBX", "CAB in C.LBX", "XAB12 in A.LBX"}));
    // Equal names in the order found (file order).
    EXPECT_EQ(Find("r1"), (Lines{"R1 in A.LBX", "R1 in C.LBX"}));
    // One character searches every file.
    EXPECT_EQ(Find("-"), (Lines{"A-B in A.LBX"}));
    EXPECT_EQ(Find(""), Lines{});
    EXPECT_EQ(Find("zz"), Lines{});
    EXPECT_TRUE(gMessages.empty());
    // Bytes above 127 are not folded.
    EXPECT_TRUE(ItemNameContains("x\xc3\xa9y", "X\xc3\xa9"));
    EXPECT_FALSE(ItemNameContains("x\xc3\xa9y", "X\xc3\x89"));
}

TEST_F(LibFinderTest, TheCapIs200AndOnlyAnotherMatchSaysThereAreMore) {
    Numbered("libs/A.LBX", "Q", 150);
    Numbered("libs/B.LBX", "Q", 50);
    AddPath("libs", kPathLibraryFiles);
    BuildLibraryFileList(nullptr, false);
    bool more = true;
    EXPECT_EQ(Find("q", &more).size(), 200u);
    EXPECT_FALSE(more);  // exactly 200
    EXPECT_TRUE(gMessages.empty());

    Numbered("libs/C.LBX", "Q", 1);
    BuildLibraryFileList(nullptr, false);
    const Lines hits = Find("q", &more);
    EXPECT_EQ(hits.size(), 200u);
    EXPECT_TRUE(more);
    EXPECT_EQ(gMessages, Lines{kTooManyFoundMessage});
    EXPECT_EQ(hits.front(), "Q0 in A.LBX");
    EXPECT_EQ(hits.back(), "Q149 in A.LBX");  // the first 200 found, in name order
}

TEST_F(LibFinderTest, TheDigestPassesOverFilesButABrokenIndexHidesNoMatch) {
    Fixtures();
    // Built by a first search, with the rebuild mark cleared after it.
    ASSERT_EQ(OpenLibDigestFile(), 0);
    EXPECT_TRUE(LibDigestNeedsRebuild());
    EXPECT_EQ(Find("ab").size(), 3u);
    EXPECT_FALSE(LibDigestNeedsRebuild());
    // A stored digest without the pair keeps the search out of file C.
    StoreDigest(2, {"ZZ"});
    EXPECT_EQ(Find("ab"), (Lines{"ab in B.LBX", "XAB12 in A.LBX"}));
    // One character does not consult it.
    EXPECT_EQ(Find("C"), (Lines{"CAB in C.LBX"}));
    // A record that fails its check is computed again.
    std::string file;
    const std::string path = Path("data/Orvix/com.orvix.Plexa/Plexa Digest.temp");
    ASSERT_TRUE(ReadFile(path, file));
    file[kLibDigestHeaderSize + 2 * kLibDigestRecordSize + 3] ^= 0x40;
    ASSERT_TRUE(WriteFile(path, file));
    EXPECT_EQ(Find("ab").size(), 3u);
    // Without the digest file every file is searched.
    CloseLibDigestFile();
    EXPECT_EQ(Find("ab").size(), 3u);
    EXPECT_TRUE(gMessages.empty());
}

TEST_F(LibFinderTest, AFileWithoutAReadableDigestIsSearched) {
    Fixtures();
    ASSERT_EQ(OpenLibDigestFile(), 0);
    Find("ab");
    StoreDigest(0, {});  // all zero: no digest could be read
    EXPECT_EQ(Find("ab"), (Lines{"ab in B.LBX", "CAB in C.LBX", "XAB12 in A.LBX"}));
}

TEST_F(LibFinderTest, AFileChangedSinceTheLastQueryIsReadAgain) {
    Fixtures();
    ASSERT_TRUE(SetCachedLibraryFile(kLibFilesAll, -1) == 0);
    EXPECT_EQ(Find("ab").size(), 3u);
    {
        OpenLibrary lib(Path("libs/B.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(ItemBytes({"TAB"}));
    }
    EXPECT_EQ(Find("ab"), (Lines{"ab in B.LBX", "CAB in C.LBX", "TAB in B.LBX", "XAB12 in A.LBX"}));
}

TEST_F(LibFinderTest, AHitBecomesTheCachedSelection) {
    Fixtures();
    Find("ab");
    ASSERT_TRUE(SelectFoundItemInCache(&found_, 1));
    EXPECT_EQ(CachedFile(), "C.LBX");
    EXPECT_EQ(CachedItem(), "CAB");
    ASSERT_TRUE(SelectFoundItemInCache(&found_, 2));
    EXPECT_EQ(CachedFile(), "A.LBX");
    EXPECT_EQ(CachedItem(), "XAB12");
    EXPECT_FALSE(SelectFoundItemInCache(&found_, 3));
    // The cached file is searched through the cache's own map.
    EXPECT_EQ(Find("xab"), (Lines{"XAB12 in A.LBX"}));
}

}  // namespace
}  // namespace plexa::test
