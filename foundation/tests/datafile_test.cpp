#include "foundation/datafile.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "foundation/datetime.h"
#include "foundation/tempfiles.h"
#include "tests/support/testing.h"
#include "tests/support/unprivileged.h"

namespace plexa {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class Files : public ::testing::Test {
protected:
    FileSpec Spec(const std::string& name) {
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(dir_.file(name), &spec, false, nullptr), 0) << name;
        return spec;
    }
    DirectoryRef Folder(const std::string& name) {
        DirectoryRef folder;
        EXPECT_EQ(DirectoryFromDirectoryURL(dir_.file(name), &folder), 0) << name;
        return folder;
    }
    std::string Content(const std::string& name) {
        std::string bytes;
        return ReadFile(dir_.file(name), bytes) ? bytes : std::string("<missing>");
    }
    bool Exists(const std::string& name) {
        struct stat info {};
        return ::lstat(dir_.file(name).c_str(), &info) == 0;
    }
    // The names in the test folder.
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        DirectoryRef root = Folder("");
        EXPECT_EQ(status::kNoErr, EnumFiles(&root, [](const FileSpec* spec, bool isFolder, bool, const std::string& location, void* data) {
            auto* out = static_cast<std::vector<std::string>*>(data);
            out->push_back(location.substr(location.rfind('/') + 1) + (isFolder ? "/" : ""));
            return spec != nullptr;
        }, false, &names));
        return names;
    }
    TempDir dir_;
};

TEST_F(Files, SlotsMarksAndEndOfFile) {
    ASSERT_TRUE(WriteFile(dir_.file("data"), std::string(50, 'd')));
    const FileSpec spec = Spec("data");
    std::vector<DataFileRef> open;
    for (int i = 0; i < kDataFileSlots; ++i) {
        DataFileRef ref = 0;
        ASSERT_EQ(OpenDataFile(&spec, true, &ref), 0);
        EXPECT_EQ(ref, kFirstDataFileRef + i);
        open.push_back(ref);
    }
    DataFileRef ref = -1;
    EXPECT_EQ(OpenDataFile(&spec, true, &ref), status::kTooManyOpenFiles);
    EXPECT_EQ(ref, 0);
    ASSERT_EQ(CloseAndOrFlushDataFile(10, true, false), 0);
    ASSERT_EQ(OpenDataFile(&spec, false, &ref), 0);
    EXPECT_EQ(ref, 10);
    for (size_t i = 1; i < open.size(); ++i) ASSERT_EQ(CloseAndOrFlushDataFile(open[i], true, false), 0);

    // Marks: past the end is set and reported; a read there reads nothing.
    int64_t value = 0;
    EXPECT_EQ(SetFileMark(ref, 100, false), status::kEndOfFile);
    ASSERT_EQ(GetFileMarkEx(ref, &value), 0);
    EXPECT_EQ(value, 100);
    char buffer[64];
    int32_t count = 10;
    EXPECT_EQ(ReadFromFile(ref, buffer, &count), status::kEndOfFile);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(SetFileMark(ref, -101, true), status::kBadPosition);
    ASSERT_EQ(GetFileMarkEx(ref, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(SetFileMark(ref, 40, true), 0);
    count = 20;
    EXPECT_EQ(ReadFromFile(ref, buffer, &count), status::kEndOfFile);
    EXPECT_EQ(count, 10);

    // Writing, cutting and growing.
    count = 5;
    ASSERT_EQ(WriteToFile(ref, "hello", &count), 0);
    EXPECT_EQ(count, 5);
    ASSERT_EQ(GetFileEndEx(ref, &value), 0);
    EXPECT_EQ(value, 55);
    EXPECT_EQ(SetFileEOF(ref, -1), status::kBadPosition);
    ASSERT_EQ(SetFileEOF(ref, 20), 0);
    ASSERT_EQ(GetFileMarkEx(ref, &value), 0);
    EXPECT_EQ(value, 20);  // the mark moved back to the new end
    ASSERT_EQ(SetFileEOF(ref, 30), 0);
    ASSERT_EQ(CloseAndOrFlushDataFile(ref, true, true), 0);
    EXPECT_EQ(Content("data"), std::string(20, 'd') + std::string(10, '\0'));

    // Bad references and specs.
    for (DataFileRef bad : {0, 9, 10, 137, 138}) {
        count = 1;
        EXPECT_EQ(ReadFromFile(bad, buffer, &count), status::kFileNotOpen) << bad;
        EXPECT_EQ(GetFileEndEx(bad, &value), status::kFileNotOpen);
        EXPECT_EQ(value, -1);
        EXPECT_EQ(CloseAndOrFlushDataFile(bad, true, false), status::kFileNotOpen);
    }
    FileSpec folder = Spec("data");
    folder.name[0] = 0;
    EXPECT_EQ(OpenDataFile(&folder, true, &ref), status::kEmptyFileName);
    const FileSpec missing = Spec("missing");
    EXPECT_EQ(OpenDataFile(&missing, true, &ref), status::kNotFound);
    ASSERT_EQ(::mkdir(dir_.file("sub").c_str(), 0755), 0);
    const FileSpec sub = Spec("sub");
    EXPECT_EQ(OpenDataFile(&sub, true, &ref), status::kNotFound);
    ASSERT_EQ(::mkfifo(dir_.file("pipe").c_str(), 0600), 0);
    const FileSpec pipe = Spec("pipe");
    EXPECT_EQ(OpenDataFile(&pipe, true, &ref), status::kNotFound);
    EXPECT_EQ(ref, 0);
}

TEST_F(Files, CreateDataFileKeepsOrRemakes) {
    std::string sheet("ORDF\x01\x02SCH4", 10);
    sheet += "content";
    ASSERT_TRUE(WriteFile(dir_.file("kept.SHX"), sheet));
    ASSERT_TRUE(WriteFile(dir_.file("remade.SHX"), sheet));
    const int32_t old = VXGetCurrentDateTime(0) - 86400 * 30;
    VXFileTimes times{0, old, old};
    FileSpec kept = Spec("kept.SHX"), remade = Spec("remade.SHX"), fresh = Spec("fresh.SHX");
    ASSERT_EQ(VXSetGlobalFileTimes(&remade, &times, kFileTimeModification | kFileTimeAccess), 0);

    EXPECT_EQ(CreateDataFile(&kept, "QPLX", "SCH4", false), 0);
    EXPECT_EQ(Content("kept.SHX"), sheet);
    EXPECT_STREQ(kept.type, "SCH4");
    EXPECT_EQ(CreateDataFile(&kept, "ABCD", "SCH4", true), 0);  // other creator kept
    EXPECT_EQ(Content("kept.SHX"), sheet);

    EXPECT_EQ(CreateDataFile(&remade, "QPLX", "TEXT", false), 0);
    EXPECT_EQ(Content("remade.SHX"), "");
    VXFileTimes after{};
    ASSERT_EQ(VXGetGlobalFileTimes(&remade, &after), 0);
    EXPECT_EQ(after.modification, old);

    EXPECT_EQ(CreateDataFile(&fresh, nullptr, "TEXT", false), 0);
    EXPECT_EQ(Content("fresh.SHX"), "");
    EXPECT_STREQ(fresh.creator, "");
    EXPECT_EQ(CreateNewDataFile(&fresh, nullptr, nullptr), status::kDuplicateName);

    // An empty file (one made for a writer under a temporary name) is taken as it is.
    struct stat made {};
    ASSERT_EQ(::stat(dir_.file("fresh.SHX").c_str(), &made), 0);
    EXPECT_EQ(CreateDataFile(&fresh, "QPLX", "SCH4", false), 0);
    struct stat taken {};
    ASSERT_EQ(::stat(dir_.file("fresh.SHX").c_str(), &taken), 0);
    EXPECT_EQ(taken.st_ino, made.st_ino);
}

// A temporary file beside a given one is made at once under a name of its own: files made one
// after another never share a name.
TEST_F(Files, TemporaryFilesBesideAFileEachHaveTheirOwnName) {
    FileSpec first = Spec("target"), second = Spec("target");
    ASSERT_EQ(CreateTemporaryFileBeside("Tst", &first), 0);
    ASSERT_EQ(CreateTemporaryFileBeside("Tst", &second), 0);
    EXPECT_STRNE(first.name, second.name);
    EXPECT_EQ(Names().size(), 2u);
}

OSStatus FailAfterFirstChunk(int64_t copied) { return copied > 0 ? -34 : 0; }

TEST_F(Files, ReplacingNeverLosesTheOldFile) {
    const std::string big(200000, 'n');
    ASSERT_TRUE(WriteFile(dir_.file("new"), big));
    ASSERT_TRUE(WriteFile(dir_.file("old"), "old content"));
    const FileSpec from = Spec("new"), to = Spec("old"), missing = Spec("missing");

    EXPECT_EQ(VXCopyFile(&from, &to, 0), status::kDuplicateName);
    EXPECT_EQ(VXCopyFile(&missing, &to, kCopyReplace), status::kNotFound);
    SetCopyChunkHook(FailAfterFirstChunk);
    EXPECT_EQ(VXCopyFile(&from, &to, kCopyReplace), -34);
    EXPECT_EQ(VXCopyFile(&from, &missing, 0), -34);
    SetCopyChunkHook(nullptr);
    EXPECT_EQ(Content("old"), "old content");
    EXPECT_EQ(Names(), (std::vector<std::string>{"new", "old"}));  // no staged copy left behind

    // A successful replace keeps the old file's dates with flag 2.
    const int32_t old = VXGetCurrentDateTime(0) - 86400 * 400;
    VXFileTimes times{0, old, old};
    ASSERT_EQ(VXSetGlobalFileTimes(&to, &times, kFileTimeModification), 0);
    ASSERT_EQ(VXCopyFile(&from, &to, kCopyReplace | kCopyKeepDates), 0);
    EXPECT_EQ(Content("old"), big);
    VXFileTimes after{};
    ASSERT_EQ(VXGetGlobalFileTimes(&to, &after), 0);
    EXPECT_EQ(after.modification, old);

    // Move, with and without replacing; replace by rename.
    const FileSpec moved = Spec("moved");
    ASSERT_EQ(VXMoveFile(&from, &moved, 0), 0);
    EXPECT_FALSE(Exists("new"));
    EXPECT_EQ(VXMoveFile(&moved, &to, 0), status::kDuplicateName);
    ASSERT_TRUE(WriteFile(dir_.file("moved"), "moved"));
    ASSERT_EQ(VXMoveFile(&moved, &to, kCopyReplace), 0);
    EXPECT_EQ(Content("old"), "moved");
    ASSERT_TRUE(WriteFile(dir_.file("replacement"), "replacement"));
    const FileSpec replacement = Spec("replacement");
    ASSERT_EQ(VXReplaceFile(&to, &replacement), 0);
    EXPECT_EQ(Content("old"), "replacement");
    EXPECT_EQ(VXReplaceFile(&to, &replacement), status::kNotFound);
    EXPECT_EQ(Names(), (std::vector<std::string>{"old"}));
}

// A folder that may not be made is refused as such, not "not found"; one whose parent is missing
// is "folder not found". The refusal comes from a read-only folder (for root too, without its
// power over permissions).
TEST_F(Files, CreateDirectorySaysWhyItFailed) {
    ASSERT_EQ(::mkdir(dir_.file("gone").c_str(), 0755), 0);
    FileSpec missing{};
    ASSERT_EQ(FileSpecFromURL(dir_.file("gone/x"), &missing, false, nullptr), 0);
    ASSERT_EQ(::rmdir(dir_.file("gone").c_str()), 0);
    EXPECT_EQ(VXCreateDirectory(&missing), status::kFolderNotFound);
    const std::string parent = dir_.file("locked");
    ASSERT_EQ(::mkdir(parent.c_str(), 0555), 0);
    FileSpec refused{};
    ASSERT_EQ(FileSpecFromURL(parent + "/made", &refused, false, nullptr), 0);
    {
        test::WithoutPermissionOverride locked;
        EXPECT_EQ(VXCreateDirectory(&refused), status::kPermission);
    }
    EXPECT_FALSE(IsDirectoryURL(parent + "/made"));
    ::chmod(dir_.file("locked").c_str(), 0755);
}

TEST_F(Files, RenameDeleteAndFolders) {
    ASSERT_TRUE(WriteFile(dir_.file("a"), "a"));
    ASSERT_TRUE(WriteFile(dir_.file("b"), "b"));
    FileSpec a = Spec("a");
    EXPECT_EQ(FileRename(&a, "b"), status::kDuplicateName);  // never overwrites
    EXPECT_EQ(Content("b"), "b");
    EXPECT_EQ(FileRename(&a, ""), status::kEmptyFileName);
    EXPECT_EQ(FileRename(&a, "x/y"), status::kParamErr);
    ASSERT_EQ(FileRename(&a, "Größe"), 0);
    EXPECT_EQ(Content("Größe"), "a");

    // Folders: create, accept an existing one, refuse a file in the way.
    FileSpec folder = Spec("Ordner");
    ASSERT_EQ(VXCreateDirectory(&folder), 0);
    EXPECT_EQ(folder.name[0], 0);
    EXPECT_EQ(std::string(folder.directory.bytes), dir_.file("Ordner"));
    FileSpec again = Spec("Ordner");
    EXPECT_EQ(VXCreateDirectory(&again), 0);
    FileSpec blocked = Spec("b");
    EXPECT_EQ(VXCreateDirectory(&blocked), status::kDuplicateName);
    FileSpec deep = Spec("x");
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir_.file("no/such/x").c_str(), &deep), status::kNotFound);
    bool isFolder = false;
    EXPECT_TRUE(VXFileExists(&again, &isFolder));
    EXPECT_TRUE(isFolder);
    EXPECT_FALSE(VXFileExists(&deep, &isFolder));
    EXPECT_FALSE(isFolder);

    // Removing a folder never follows a link out of it.
    TempDir outside;
    ASSERT_TRUE(WriteFile(outside.file("precious"), "p"));
    ASSERT_EQ(::symlink(outside.path().c_str(), dir_.file("Ordner/link").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.file("Ordner/inner").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(dir_.file("Ordner/inner/f"), "f"));
    const DirectoryRef ordner = Folder("Ordner");
    EXPECT_EQ(VXDeleteDirectory(&ordner, kDeleteFolder), status::kBusy);
    EXPECT_EQ(VXDeleteDirectory(&ordner, kDeleteContent), 0);
    EXPECT_TRUE(Exists("Ordner"));
    EXPECT_FALSE(Exists("Ordner/link"));
    ASSERT_EQ(::symlink(outside.path().c_str(), dir_.file("Ordner/link").c_str()), 0);
    EXPECT_EQ(VXDeleteDirectory(&ordner, kDeleteFolder | kDeleteContent), 0);
    EXPECT_FALSE(Exists("Ordner"));
    std::string precious;
    EXPECT_TRUE(ReadFile(outside.file("precious"), precious));
    EXPECT_EQ(precious, "p");

    // Deleting files and folders.
    FileSpec b = Spec("b");
    EXPECT_EQ(VXDeleteFile(&b), 0);
    EXPECT_EQ(VXDeleteFile(&b), status::kNotFound);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Größe"}));
}

TEST_F(Files, EnumerationInNameOrderStops) {
    ASSERT_TRUE(WriteFile(dir_.file("b.txt"), ""));
    ASSERT_TRUE(WriteFile(dir_.file("a.txt"), ""));
    ASSERT_EQ(::mkdir(dir_.file("c").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("a.txt", dir_.file("d").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", dir_.file("e").c_str()), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c/", "d", "e"}));

    struct Seen {
        std::vector<std::string> names;
        int stopAfter;
    } seen{{}, 100};
    auto proc = [](const FileSpec* spec, bool isFolder, bool wasAlias, const std::string&, void* data) {
        auto* s = static_cast<Seen*>(data);
        std::string name = isFolder ? std::string(spec->directory.bytes).substr(
                                          std::string(spec->directory.bytes).rfind('/') + 1) + "/"
                                    : std::string(spec->name);
        s->names.push_back(name + (wasAlias ? "@" : ""));
        return int(s->names.size()) < s->stopAfter;
    };
    const DirectoryRef root = Folder("");
    ASSERT_EQ(EnumFiles(&root, proc, true, &seen), 0);
    EXPECT_EQ(seen.names, (std::vector<std::string>{"a.txt", "b.txt", "c/", "a.txt@"}));
    seen = {{}, 2};
    EXPECT_EQ(EnumFiles(&root, proc, true, &seen), status::kUserCancelled);
    EXPECT_EQ(seen.names.size(), 2u);
    EXPECT_EQ(EnumFiles(&root, nullptr, true, &seen), status::kParamErr);
    DirectoryRef none{};
    EXPECT_EQ(EnumFiles(&none, proc, true, &seen), 0);

    char name[256];
    ASSERT_TRUE(GetDirectoryName(&root, name, sizeof name));
    EXPECT_EQ(std::string(name), dir_.path().substr(dir_.path().rfind('/') + 1));
    EXPECT_FALSE(GetDirectoryName(&none, name, sizeof name));

    FileSpec app;
    ASSERT_EQ(GetApplicationFileSpec(&app), 0);
    EXPECT_STREQ(app.name, "foundation_tests");
}

TEST_F(Files, EqualSpecsAndDirectories) {
    ASSERT_EQ(::mkdir(dir_.file("real").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("real", dir_.file("link").c_str()), 0);
    ASSERT_TRUE(WriteFile(dir_.file("real/x"), ""));
    ASSERT_TRUE(WriteFile(dir_.file("real/X"), ""));
    const DirectoryRef real = Folder("real"), link = Folder("link"), top = Folder("");
    EXPECT_TRUE(EqualDirectories(&real, &link));
    EXPECT_FALSE(EqualDirectories(&real, &top));
    const FileSpec x = Spec("real/x"), viaLink = Spec("link/x"), upper = Spec("real/X");
    EXPECT_TRUE(EqualFileSpecs(&x, &viaLink));
    EXPECT_FALSE(EqualFileSpecs(&x, &upper));  // two files that differ only in case
}

TEST(Paths, RelativeResolvedAndColonPaths) {
    struct Relative {
        const char* base;
        const char* target;
        bool backslashes;
        const char* out;
        bool result;
    } relative[] = {
        {"/a/b/c/file", "/a/b/d/x", false, "../d/x", true},
        {"/a/b/file", "/a/b/x", false, "./x", true},
        {"/p/file", "/q/x", false, "../q/x", true},
        {"/a/Proj/file", "/a/proj/x", false, "../proj/x", true},  // case matters
        {"/a/bc/f", "/a/b/x", false, "../b/x", true},
        {"C:\\a\\b\\f", "C:\\a\\c\\x", true, "..\\c\\x", true},
        {"a/f", "b/x", false, "b/x", false},
    };
    for (const Relative& c : relative) {
        std::string out;
        EXPECT_EQ(BuildRelativePath(c.base, c.target, &out, c.backslashes), c.result) << c.base;
        EXPECT_EQ(out, c.out) << c.base;
    }
    struct Resolve {
        const char* base;
        const char* relative;
        bool backslashes;
        const char* out;
        bool result;
    } resolve[] = {
        {"/a/b/", "../c/x", false, "/a/c/x", true},
        {"/a/b/", "/x", false, "/x", true},
        {"/a/b/", "./c/./x", false, "/a/b/c/x", true},
        {"/a/b/", "../../../x", false, "", false},
        {"/a/b/", "c//x", false, "", false},
        {"/a/b", "x", false, "", false},
        {"C:\\a\\", "\\x", true, "C:\\x", true},
        {"C:\\a\\", "D:\\y", true, "D:\\y", true},
        {"C:\\a\\b\\", "..\\c", true, "C:\\a\\c", true},
    };
    for (const Resolve& c : resolve) {
        std::string base = c.base;
        EXPECT_EQ(ResolveRelativePath(&base, c.relative, c.backslashes), c.result) << c.relative;
        EXPECT_EQ(base, c.out) << c.relative;
    }
    struct Colons {
        const char* in;
        const char* out;
    } colons[] = {
        {"Disk:Folder:File", "/Volumes/Disk/Folder/File"},
        {":a::b", "a/../b"},
        {"Disk:", "/Volumes/Disk/"},
        {"plain/path", "plain/path"},
    };
    for (const Colons& c : colons) {
        std::string path = c.in;
        EXPECT_TRUE(HFSPathToPosixPath(&path));
        EXPECT_EQ(path, c.out);
    }
}

TEST_F(Files, FileTimesUnderUTC) {
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    VXForgetGlobalTimeDifference();
    ASSERT_TRUE(WriteFile(dir_.file("timed"), "t"));
    const FileSpec spec = Spec("timed"), missing = Spec("missing");
    // 2020-02-29 12:00:00 and 1999-12-31 23:59:59 (before 2001: negative).
    const int32_t leap = 604670400, before = -31622401;
    VXFileTimes times{111, leap, before};
    ASSERT_EQ(VXSetGlobalFileTimes(&spec, &times, kFileTimeCreation | kFileTimeModification | kFileTimeAccess), 0);
    VXFileTimes read{};
    ASSERT_EQ(VXGetGlobalFileTimes(&spec, &read), 0);
    EXPECT_EQ(read.modification, leap);
    EXPECT_EQ(read.access, before);
    EXPECT_NE(read.creation, 111);  // creation dates cannot be set here
    struct stat info {};
    ASSERT_EQ(::stat(dir_.file("timed").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1582977600);
    char text[64];
    VXLocalTimeToTimeString(read.modification + VXGetGlobalTimeDifference(), true, text, sizeof text);
    EXPECT_STREQ(text, "12:00:00");

    // Only the named times change; a missing file gives -43 and cleared times.
    VXFileTimes other{0, 1, 2};
    ASSERT_EQ(VXSetGlobalFileTimes(&spec, &other, kFileTimeAccess), 0);
    ASSERT_EQ(VXGetGlobalFileTimes(&spec, &read), 0);
    EXPECT_EQ(read.modification, leap);
    EXPECT_EQ(read.access, 2);
    EXPECT_EQ(VXSetGlobalFileTimes(&spec, &other, 0), 0);
    VXFileTimes cleared{5, 5, 5};
    EXPECT_EQ(VXGetGlobalFileTimes(&missing, &cleared), status::kNotFound);
    EXPECT_EQ(cleared.creation | cleared.modification | cleared.access, 0);
    FileSpec folder = spec;
    folder.name[0] = 0;
    EXPECT_EQ(VXGetGlobalFileTimes(&folder, &read), 0);
    EXPECT_NE(read.modification, 0);

    if (oldZone) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
    VXForgetGlobalTimeDifference();
}

// ---- Temporary files ----

TEST(TempFiles, NamesAndTheRunFolder) {
    DirectoryRef folder;
    ASSERT_EQ(VXGetTempDirectory(&folder), 0);
    const std::string path(folder.bytes, folder.length);
    const std::string prefix = std::string(GetTempFilesBundleIdentifier()) + ".";
    EXPECT_EQ(path.substr(path.rfind('/') + 1, prefix.size()), prefix);
    EXPECT_EQ(path.size() - path.rfind('/') - 1, prefix.size() + 6);

    FileSpec first, second;
    ASSERT_EQ(CreateTemporaryDataFile("Sch", "QPLX", "SCH4", &first), 0);
    ASSERT_EQ(CreateTemporaryDataFile(nullptr, nullptr, nullptr, &second), 0);
    EXPECT_STRNE(first.name, second.name);
    EXPECT_STREQ(first.type, "SCH4");
    const std::string name = first.name;
    ASSERT_EQ(name.size(), prefix.size() + 3 + 6 + 4);
    EXPECT_EQ(name.substr(0, prefix.size() + 3), prefix + "Sch");
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", prefix.size() + 3), name.size() - 4);
    EXPECT_GE(name[prefix.size() + 3], '8');  // (ticks & 0x7FFFFF) | 0x800000: six digits
    EXPECT_EQ(std::string(second.name).substr(prefix.size(), 1), "T");
    EXPECT_TRUE(VXFileExists(&first, nullptr));

    // A name beside a given file; a folder that is gone gives -120 and a cleared spec.
    TempDir dir;
    FileSpec beside;
    ASSERT_EQ(FileSpecFromURL(dir.file("target"), &beside, false, nullptr), 0);
    ASSERT_EQ(MakeTemporaryFileSpec("Sch", true, &beside), 0);
    EXPECT_EQ(std::string(beside.directory.bytes), dir.path());
    EXPECT_FALSE(VXFileExists(&beside, nullptr));
    ASSERT_EQ(::mkdir(dir.file("gone").c_str(), 0755), 0);
    ASSERT_EQ(FileSpecFromURL(dir.file("gone/x"), &beside, false, nullptr), 0);
    ASSERT_EQ(::rmdir(dir.file("gone").c_str()), 0);
    EXPECT_EQ(MakeTemporaryFileSpec("Sch", true, &beside), status::kFolderNotFound);
    EXPECT_EQ(beside.directory.length, 0u);

    // Removal takes the content but never what a link inside points at.
    ASSERT_TRUE(WriteFile(dir.file("outside"), "o"));
    ASSERT_EQ(::symlink(dir.file("outside").c_str(), (path + "/link").c_str()), 0);
    ASSERT_EQ(::symlink(dir.path().c_str(), (path + "/folder link").c_str()), 0);
    VXRemoveSessionTempDirectory();
    struct stat info {};
    EXPECT_NE(::lstat(path.c_str(), &info), 0);
    std::string kept;
    EXPECT_TRUE(ReadFile(dir.file("outside"), kept));
    ASSERT_EQ(VXGetTempDirectory(&folder), 0);  // a new one on the next use
    EXPECT_NE(std::string(folder.bytes, folder.length), path);
    VXRemoveSessionTempDirectory();
}

TEST(TempFiles, ForkedChildLeavesNoFolderBehind) {
    VXRemoveSessionTempDirectory();
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        FileSpec spec;
        int failures = 0;
        for (int i = 0; i < 3; ++i) failures += CreateTemporaryDataFile("Kid", nullptr, nullptr, &spec) != 0;
        std::string path(spec.directory.bytes, spec.directory.length);
        failures += ::write(pipeEnds[1], path.c_str(), path.size()) != ssize_t(path.size());
        ::close(pipeEnds[1]);
        std::exit(failures);  // runs the exit handlers, as a normal end of the program does
    }
    ::close(pipeEnds[1]);
    std::string path;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) path.append(buffer, size_t(n));
    ::close(pipeEnds[0]);
    int exitStatus = -1;
    ASSERT_EQ(::waitpid(child, &exitStatus, 0), child);
    ASSERT_TRUE(WIFEXITED(exitStatus));
    EXPECT_EQ(WEXITSTATUS(exitStatus), 0);
    ASSERT_FALSE(path.empty());
    struct stat info {};
    EXPECT_NE(::lstat(path.c_str(), &info), 0) << path;
}

}  // namespace
}  // namespace plexa
