#include "foundation/filespec.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/dirspec.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::TempDir;
using test::WriteFile;

// A small tree with non-ASCII names: folders end in "/".
class FileTree : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* item : {"Überblick/", "日本/", "日本/回路/", "plain.txt", "résumé.SHX", "日本/回路/ノート.asc",
                                 "Überblick/a b.PRX"}) {
            const std::string path = dir_.file(item);
            if (path.back() == '/') ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << item;
            else ASSERT_TRUE(WriteFile(path, "x"));
        }
    }
    DirectoryRef Root() {
        DirectoryRef root;
        EXPECT_EQ(DirectoryFromDirectoryURL(dir_.path(), &root), 0);
        return root;
    }
    TempDir dir_;
};

TEST_F(FileTree, PathAndFileSpecRoundTrip) {
    const DirectoryRef root = Root();
    for (const char* item : {"Überblick/", "日本/回路/", "plain.txt", "résumé.SHX", "日本/回路/ノート.asc",
                             "Überblick/a b.PRX", "日本/./回路/../回路/ノート.asc"}) {
        SCOPED_TRACE(item);
        const std::string relative = item;
        const bool folder = relative.back() == '/';
        std::string expected = dir_.file(item);
        if (relative.find("..") != std::string::npos) expected = dir_.file("日本/回路/ノート.asc");
        // Absolute and relative to a base folder give the same spec.
        FileSpec spec, fromBase;
        ASSERT_EQ(FileSpecFromPathName(nullptr, expected.c_str(), &spec), 0);
        ASSERT_EQ(FileSpecFromPathName(&root, item, &fromBase), 0);
        EXPECT_EQ(std::memcmp(&spec, &fromBase, sizeof spec), 0);
        EXPECT_EQ(spec.name[0] == 0, folder);

        char path[1024];
        uint32_t needed = 0;
        ASSERT_EQ(PathNameFromFileSpec(&spec, false, path, sizeof path, &needed), 0);
        EXPECT_EQ(std::string(path), expected);
        EXPECT_EQ(needed, expected.size());

        // Location and back.
        std::string location;
        ASSERT_EQ(CreateURLFromFileSpec(&spec, true, &location), 0);
        FileSpec again;
        bool isFolder = false;
        if (folder) {
            EXPECT_EQ(location + "/", expected);
            FileSpec asFolder;
            ASSERT_EQ(FolderSpecFromDirectory(&spec.directory, &asFolder), 0);
            EXPECT_STREQ(asFolder.type, "Fldr");
            DirectoryRef back;
            ASSERT_EQ(DirectoryFromFolderSpec(&asFolder, &back), 0);
            EXPECT_EQ(std::string(back.bytes, back.length), location);
        } else {
            EXPECT_EQ(location, expected);
            ASSERT_EQ(FileSpecFromURL(location, &again, false, &isFolder), 0);
            EXPECT_FALSE(isFolder);
            EXPECT_EQ(std::memcmp(&spec, &again, sizeof spec), 0);
        }
    }
}

TEST_F(FileTree, FolderPathsEndInOneSlash) {
    const DirectoryRef root = Root();
    FileSpec spec;
    ASSERT_EQ(FileSpecFromPathName(&root, "Überblick/", &spec), 0);
    char path[1024];
    uint32_t needed = 0;
    ASSERT_EQ(PathNameFromFileSpec(&spec, true, path, sizeof path, &needed), 0);
    EXPECT_EQ(std::string(path), dir_.file("Überblick/"));
    EXPECT_EQ(needed, std::strlen(path));
    ASSERT_EQ(PathNameFromDirectory(&spec.directory, path, sizeof path, &needed), 0);
    EXPECT_EQ(std::string(path), dir_.file("Überblick/"));

    FileSpec top;
    ASSERT_EQ(FileSpecFromPathName(nullptr, "/", &top), 0);
    ASSERT_EQ(PathNameFromFileSpec(&top, true, path, sizeof path, &needed), 0);
    EXPECT_STREQ(path, "/");
    EXPECT_EQ(needed, 1u);
}

TEST_F(FileTree, FailuresClearTheSpec) {
    const DirectoryRef root = Root();
    FileSpec spec;
    std::memset(&spec, 0x55, sizeof spec);
    EXPECT_EQ(FileSpecFromPathName(&root, "", &spec), status::kEmptyFileName);
    EXPECT_EQ(spec.directory.length, 0u);
    EXPECT_EQ(FileSpecFromPathName(&root, "missing/x", &spec), status::kNotFound);
    EXPECT_EQ(spec.directory.length, 0u);
    EXPECT_EQ(spec.name[0], 0);
    EXPECT_EQ(FileSpecFromURL("/", &spec, false, nullptr), status::kParamErr);
    const std::string longName(200, 'n');
    EXPECT_EQ(FileSpecFromPathName(&root, longName.c_str(), &spec), status::kNoDirectoryRef);

    // A buffer too small gives an empty buffer and the length needed.
    ASSERT_EQ(FileSpecFromPathName(&root, "plain.txt", &spec), 0);
    char small[8] = "junk";
    uint32_t needed = 0;
    EXPECT_EQ(PathNameFromFileSpec(&spec, false, small, sizeof small, &needed), status::kNoDirectoryRef);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(needed, dir_.file("plain.txt").size());
    std::string location;
    FileSpec folderOnly = spec;
    folderOnly.name[0] = 0;
    EXPECT_EQ(CreateURLFromFileSpec(&folderOnly, false, &location), status::kEmptyFileName);

    for (const char* name : {"../plain.txt", "..", ".", "a/b"}) {
        SetFileSpecName(&folderOnly, name);
        EXPECT_EQ(CreateURLFromFileSpec(&folderOnly, false, &location), status::kParamErr) << name;
    }

    // A directory reference whose folder went away no longer resolves.
    ASSERT_EQ(::mkdir(dir_.file("gone").c_str(), 0755), 0);
    DirectoryRef gone;
    ASSERT_EQ(DirectoryFromDirectoryURL(dir_.file("gone"), &gone), 0);
    ASSERT_EQ(::rmdir(dir_.file("gone").c_str()), 0);
    EXPECT_EQ(CreateDirectoryURLFromDirectory(&gone, &location), status::kFolderNotFound);
    EXPECT_EQ(location, "");
    EXPECT_EQ(DirectoryFromDirectoryURL(dir_.file("plain.txt"), &gone), status::kFolderNotFound);

    // A folder whose path does not fit a directory reference.
    std::string deep = dir_.path();
    while (deep.size() < kDirectoryRefCapacity) {
        deep += "/" + std::string(60, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    EXPECT_EQ(DirectoryFromDirectoryURL(deep, &gone), status::kNoDirectoryRef);
    EXPECT_EQ(gone.length, 0u);
    EXPECT_EQ(FileSpecFromPathName(nullptr, (deep + "/x").c_str(), &spec), status::kNoDirectoryRef);

    // Names are cut on a character boundary.
    std::string accents;
    for (int i = 0; i < 100; ++i) accents += "é";
    SetFileSpecName(&spec, accents.c_str());
    EXPECT_EQ(std::strlen(spec.name), 158u);
    char name[6];
    GetFileSpecName(&spec, name, sizeof name);
    EXPECT_STREQ(name, "éé");
}

TEST_F(FileTree, CodesComeFromContentAndExtension) {
    std::string head("ORDF\x01\x02LIB4", 10);
    head += std::string(54, '\0');
    ASSERT_TRUE(WriteFile(dir_.file("library.bin"), head));
    ASSERT_TRUE(WriteFile(dir_.file("binary"), std::string("\x01\x00\xFF", 3)));
    struct Case {
        const char* item;
        const char* creator;
        const char* type;
        bool text;
    } cases[] = {
        {"library.bin", "QPLX", "LIB4", false}, {"résumé.SHX", "QPLX", "SCH4", false},
        {"Überblick/a b.PRX", "QPLX", "PRJ4", false}, {"plain.txt", "", "TEXT", true},
        {"日本/回路/ノート.asc", "", "TEXT", true}, {"binary", "", "", false},
        {"Überblick", "MACS", "Fldr", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        FileSpec spec;
        ASSERT_EQ(FileSpecFromURL(dir_.file(c.item), &spec, true, nullptr), 0);
        EXPECT_STREQ(spec.creator, c.creator);
        EXPECT_STREQ(spec.type, c.type);
        EXPECT_EQ(IsConformingFile(&spec, "public.text"), c.text);
        EXPECT_EQ(SetFileCreatorAndType(&spec, "ABCD", "EFGH"), 0);
        FileSpec synced = spec;
        ASSERT_EQ(SyncFileSpecCreatorAndType(&synced), 0);
        EXPECT_STREQ(synced.type, c.type);  // setting changed nothing
    }
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir_.file("library.bin"), &spec, false, nullptr), 0);
    EXPECT_TRUE(IsConformingFile(&spec, "com.orvix.plexa.drawing"));
    EXPECT_TRUE(IsConformingFile(&spec, "public.data"));
    EXPECT_FALSE(IsConformingFile(&spec, "public.folder"));
    ASSERT_EQ(FileSpecFromURL(dir_.file("missing.txt"), &spec, true, nullptr), 0);
    EXPECT_STREQ(spec.type, "");
    EXPECT_EQ(SetFileCreatorAndType(&spec, "QPLX", "SCH4"), status::kNotFound);
    char creator[5], type[5];
    EXPECT_EQ(GetLegacyCreatorAndTypeForURL(dir_.file("missing.txt"), creator, type), status::kNotFound);
}

TEST_F(FileTree, SymbolicLinkStandsForAnAlias) {
    ASSERT_EQ(::symlink(dir_.file("日本/回路/ノート.asc").c_str(), dir_.file("alias").c_str()), 0);
    ASSERT_EQ(::symlink("日本", dir_.file("folder alias").c_str()), 0);
    ASSERT_EQ(::symlink(dir_.file("nowhere").c_str(), dir_.file("dangling").c_str()), 0);
    EXPECT_TRUE(IsAliasURL(dir_.file("alias")));
    EXPECT_FALSE(IsAliasURL(dir_.file("plain.txt")));

    FileSpec spec;
    bool wasAlias = false, isFolder = true;
    ASSERT_EQ(FileSpecFromURL(dir_.file("alias"), &spec, false, nullptr), 0);
    ASSERT_EQ(ResolveFileSpec(&spec, false, &wasAlias, &isFolder), 0);
    EXPECT_TRUE(wasAlias);
    EXPECT_FALSE(isFolder);
    EXPECT_STREQ(spec.name, "ノート.asc");
    EXPECT_STREQ(spec.type, "TEXT");

    ASSERT_EQ(FileSpecFromURL(dir_.file("folder alias"), &spec, false, nullptr), 0);
    ASSERT_EQ(ResolveFileSpec(&spec, true, &wasAlias, &isFolder), 0);
    EXPECT_TRUE(wasAlias && isFolder);
    EXPECT_STREQ(spec.name, "日本");

    ASSERT_EQ(FileSpecFromURL(dir_.file("plain.txt"), &spec, false, nullptr), 0);
    ASSERT_EQ(ResolveFileSpec(&spec, false, &wasAlias, &isFolder), 0);
    EXPECT_FALSE(wasAlias || isFolder);
    EXPECT_STREQ(spec.name, "plain.txt");

    ASSERT_EQ(FileSpecFromURL(dir_.file("dangling"), &spec, false, nullptr), 0);
    EXPECT_EQ(ResolveFileSpec(&spec, false, &wasAlias, &isFolder), status::kNotFound);

    char id[32];
    struct stat info {};
    ASSERT_EQ(::stat(dir_.file("plain.txt").c_str(), &info), 0);
    ASSERT_EQ(FileIDStringFromURL(dir_.file("plain.txt"), id, sizeof id), 0);
    EXPECT_EQ(std::string(id), std::to_string(info.st_ino));
    EXPECT_EQ(FileIDStringFromURL(dir_.file("nowhere"), id, sizeof id), status::kNotFound);
}

// A consistent total order: antisymmetric, transitive, and 0 exactly for the same item.
TEST_F(FileTree, CompareURLsIsATotalOrder) {
    ASSERT_EQ(::symlink("Überblick", dir_.file("link").c_str()), 0);
    const std::vector<std::string> items = {dir_.file("Überblick"), dir_.file("link"),        dir_.file("日本"),
                                            dir_.file("plain.txt"), dir_.file("missing-a"),   dir_.file("missing-b"),
                                            dir_.path(),            dir_.file("日本/../plain.txt")};
    EXPECT_EQ(CompareURLs(items[0], items[1]), 0);
    EXPECT_EQ(CompareURLs(items[3], items[7]), 0);
    for (const std::string& a : items) {
        for (const std::string& b : items) {
            EXPECT_EQ(CompareURLs(a, b), -CompareURLs(b, a)) << a << " " << b;
            for (const std::string& c : items) {
                if (CompareURLs(a, b) <= 0 && CompareURLs(b, c) <= 0) {
                    EXPECT_LE(CompareURLs(a, c), 0);
                }
            }
        }
    }
}

TEST_F(FileTree, BookmarksResolveByPathAndRejectDamage) {
    ASSERT_EQ(::mkdir(dir_.file("kept").c_str(), 0755), 0);
    Ptr bookmark = CreateBookmarkDataFromURL(dir_.file("kept"), false);
    ASSERT_NE(bookmark, nullptr);
    const uint32_t size = SizeOfPtr(bookmark);
    const std::string bytes(bookmark, size);
    MemFreePtr(bookmark);
    EXPECT_EQ(bytes.substr(0, 4), "PXBM");

    bool stale = true;
    EXPECT_EQ(CreateURLFromBookmarkData(bytes.data(), size, false, &stale), dir_.file("kept"));
    EXPECT_FALSE(stale);

    // Every cut and every changed header byte gives no location or a sound one, never a crash.
    for (uint32_t n = 0; n < size; ++n) EXPECT_EQ(CreateURLFromBookmarkData(bytes.data(), n, false, nullptr), "");
    const std::string kept = dir_.file("kept");
    for (size_t i = 0; i <= 24; ++i) {
        std::string damaged = bytes;
        damaged[i] = char(damaged[i] ^ 0x5A);
        const std::string url = CreateURLFromBookmarkData(damaged.data(), size, false, nullptr);
        if (i < 6 || i == 24) EXPECT_EQ(url, "") << i;                                  // magic, version, path
        else if (i < 8) EXPECT_EQ(kept.compare(0, url.size(), url), 0) << i;            // length: a prefix at most
        else EXPECT_EQ(url, kept) << i;                                                 // identity only makes it stale
    }

    // The same path with another folder behind it resolves, marked stale.
    ASSERT_EQ(::mkdir(dir_.file("other").c_str(), 0755), 0);
    ASSERT_EQ(::rmdir(kept.c_str()), 0);
    EXPECT_EQ(CreateURLFromBookmarkData(bytes.data(), size, false, nullptr), "");
    ASSERT_EQ(::rename(dir_.file("other").c_str(), kept.c_str()), 0);
    EXPECT_EQ(CreateURLFromBookmarkData(bytes.data(), size, false, &stale), kept);
    EXPECT_TRUE(stale);
}

// ---- Dir specs and directory lists ----

class DirSpecs : public FileTree {
protected:
    Handle SpecOf(const std::string& path) {
        DirectoryRef folder;
        EXPECT_EQ(DirectoryFromDirectoryURL(path, &folder), 0) << path;
        return CreateDirSpec(&folder);
    }
    static uint32_t KindOf(Handle h) {
        uint32_t kind;
        std::memcpy(&kind, *h, 4);
        return kind;
    }
};

TEST_F(DirSpecs, StoredRoundTripWithSwappedKind) {
    Handle spec = SpecOf(dir_.file("日本/回路"));
    ASSERT_NE(spec, nullptr);
    EXPECT_EQ(KindOf(spec), kDirSpecBookmark);
    EXPECT_EQ((*spec)[4], 0);  // empty name

    // As stored in a file of the other byte order, and back.
    const std::string before(*spec, SizeOfHandle(spec));
    ByteSwapDirSpec(spec);
    EXPECT_EQ(KindOf(spec), 0xFEFFFFFFu);
    EXPECT_EQ(std::string(*spec + 4, SizeOfHandle(spec) - 4), before.substr(4));  // bookmark not swapped
    DirectoryRef folder;
    EXPECT_EQ(DirSpecToDirectory(spec, &folder), status::kNoSuchVolume);
    EXPECT_EQ(folder.length, 0u);
    ByteSwapDirSpec(spec);
    EXPECT_EQ(std::string(*spec, SizeOfHandle(spec)), before);
    ASSERT_EQ(DirSpecToDirectory(spec, &folder), 0);
    EXPECT_EQ(std::string(folder.bytes, folder.length), dir_.file("日本/回路"));

    // A copy of the stored bytes (as a reader would make) resolves the same way.
    Handle copy = AllocHandleWithData(nullptr, before.data(), uint32_t(before.size()));
    std::string location;
    ASSERT_EQ(DirSpecToDirectoryURL(copy, &location), 0);
    EXPECT_EQ(location, dir_.file("日本/回路"));
    EXPECT_EQ(CompareDirSpecs(spec, copy), 0);
    MemFree(copy);
    MemFree(spec);
}

TEST_F(DirSpecs, EmptyInvalidAndDamagedSpecs) {
    Handle empty = CreateDirSpec(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SizeOfHandle(empty), 5u);
    EXPECT_EQ(std::string(*empty, 5), std::string(5, '\0'));
    DirectoryRef folder;
    EXPECT_EQ(DirSpecToDirectory(empty, &folder), status::kNoSuchVolume);
    DirectoryRef none{};
    EXPECT_EQ(DirectoryToDirSpec(&none, empty), 0);
    EXPECT_EQ(SizeOfHandle(empty), 5u);

    Handle good = SpecOf(dir_.file("Überblick"));
    const std::string bytes(*good, SizeOfHandle(good));
    struct Case {
        std::string bytes;
        OSStatus expected;
    } cases[] = {
        {std::string("\xFF\xFF\xFF\xFF", 4) + bytes.substr(4), status::kNoSuchVolume},  // invalid kind
        {bytes.substr(0, 3), status::kNoSuchVolume},                                     // no kind
        {bytes.substr(0, 4) + "name", status::kNoSuchVolume},                            // no terminator
        {bytes.substr(0, 7), status::kNoSuchVolume},                                     // 2 bookmark bytes
        {bytes.substr(0, bytes.size() - 1), status::kFolderNotFound},                    // cut bookmark
        {bytes.substr(0, 5) + std::string(30, 'z'), status::kFolderNotFound},            // foreign bookmark
    };
    for (const Case& c : cases) {
        Handle h = AllocHandleWithData(nullptr, c.bytes.data(), uint32_t(c.bytes.size()));
        EXPECT_EQ(DirSpecToDirectory(h, &folder), c.expected);
        EXPECT_EQ(folder.length, 0u);
        MemFree(h);
    }

    // A folder that went away no longer resolves.
    Handle gone = SpecOf(dir_.file("日本/回路"));
    ASSERT_EQ(::unlink(dir_.file("日本/回路/ノート.asc").c_str()), 0);
    ASSERT_EQ(::rmdir(dir_.file("日本/回路").c_str()), 0);
    EXPECT_EQ(DirSpecToDirectory(gone, &folder), status::kFolderNotFound);
    MemFree(gone);
    MemFree(good);
    MemFree(empty);
}

TEST_F(DirSpecs, CompareIsATotalOrder) {
    ASSERT_EQ(::symlink("Überblick", dir_.file("link").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.file("doomed").c_str(), 0755), 0);
    std::vector<Handle> specs = {SpecOf(dir_.file("Überblick")), SpecOf(dir_.file("link")),
                                 SpecOf(dir_.file("日本")), SpecOf(dir_.file("doomed")), SpecOf(dir_.path()),
                                 CreateDirSpec(nullptr)};
    ASSERT_EQ(::rmdir(dir_.file("doomed").c_str()), 0);
    for (const char* raw : {"\xFF\xFF\xFF\xFF" "ab", "\x01\x00\x00\x00" "Ab", "\x01\x00\x00\x00" "aB"}) {
        specs.push_back(AllocHandleWithData(nullptr, raw, 7));
    }
    EXPECT_EQ(CompareDirSpecs(specs[0], specs[1]), 0);
    EXPECT_EQ(CompareDirSpecs(specs[7], specs[8]), 0);  // other kinds: names without regard to case
    for (Handle a : specs) {
        for (Handle b : specs) {
            EXPECT_EQ(CompareDirSpecs(a, b), -CompareDirSpecs(b, a));
            for (Handle c : specs) {
                if (CompareDirSpecs(a, b) <= 0 && CompareDirSpecs(b, c) <= 0) {
                    EXPECT_LE(CompareDirSpecs(a, c), 0);
                }
            }
        }
    }
    for (Handle h : specs) MemFree(h);
}

TEST_F(DirSpecs, ListHoldsAFolderOnceThroughLinks) {
    ASSERT_EQ(::symlink(dir_.file("日本/回路").c_str(), dir_.file("link").c_str()), 0);
    DirectoryList list = CreateDirectoryList();
    ASSERT_NE(list, nullptr);
    DirectoryRef target, link, missing{};
    ASSERT_EQ(DirectoryFromDirectoryURL(dir_.file("日本/回路"), &target), 0);
    ASSERT_EQ(DirectoryFromDirectoryURL(dir_.file("link"), &link), 0);

    const int32_t index = AddDirectoryToList(list, &target);
    ASSERT_GE(index, 0);
    EXPECT_EQ(AddDirectoryToList(list, &link), index);
    EXPECT_EQ(AddDirectoryToList(list, &missing), -1);

    // A second dir spec of the same folder is not taken; the caller keeps it.
    Handle second = CreateDirSpec(&link);
    int32_t found = -1;
    EXPECT_FALSE(AddDirSpecToList(list, second, &found));
    EXPECT_EQ(found, index);
    MemFree(second);

    // Many unrelated folders around it: every one is found at its own index.
    const uint64_t count = test::StressCount(150);
    std::vector<int32_t> indexes;
    for (uint64_t i = 0; i < count; ++i) {
        const std::string path = dir_.file("f" + std::to_string((i * 7919) % 100003));
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        DirectoryRef folder;
        ASSERT_EQ(DirectoryFromDirectoryURL(path, &folder), 0);
        indexes.push_back(AddDirectoryToList(list, &folder));
        ASSERT_GE(indexes.back(), 0);
    }
    EXPECT_EQ(DACount(list), int32_t(count + 1));
    EXPECT_EQ(GetDirectoryListIndex(list, &target), index);
    EXPECT_EQ(GetDirectoryListIndex(list, &link), index);
    for (uint64_t i = 0; i < count; ++i) {
        DirectoryRef folder;
        ASSERT_TRUE(GetDirectoryListDirectory(list, indexes[i], &folder));
        EXPECT_EQ(GetDirectoryListIndex(list, &folder), indexes[i]);
    }
    DirectoryRef back;
    ASSERT_TRUE(GetDirectoryListDirectory(list, index, &back));
    EXPECT_EQ(std::string(back.bytes, back.length), dir_.file("日本/回路"));
    EXPECT_EQ(GetDirectoryListSpec(list, 1 << 20), nullptr);
    EXPECT_FALSE(GetDirectoryListDirectory(list, -1, &back));

    // Removing the folder from the disk changes neither the order nor the lookups of the others.
    ASSERT_EQ(::rmdir(dir_.file("f0").c_str()), 0);
    EXPECT_FALSE(GetDirectoryListDirectory(list, indexes[0], &back));
    for (uint64_t i = 1; i < count; i += 13) {
        DirectoryRef folder;
        ASSERT_TRUE(GetDirectoryListDirectory(list, indexes[i], &folder));
        EXPECT_EQ(GetDirectoryListIndex(list, &folder), indexes[i]);
    }
    DestroyDirectoryList(list);
}

}  // namespace
}  // namespace plexa
