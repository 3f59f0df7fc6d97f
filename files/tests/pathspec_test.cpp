// Search-path lists in a scratch tree: how folders are stored against their roots, adding known
// folders, shielded folders, the file search (case, type, kinds, links, sub-folders, the message
// and the cancel key), walks with their answers, and link loops that end.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/tests/files_testing.h"

namespace plexa::test {
namespace {

class PathSpecs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartCore("files_tests"), 0);
        InstallCoreHooks();
    }
    void TearDown() override { InstallCoreHooks(); }

    static std::string Path(PathSpecList* list, PathSpec* entry) {
        char path[kStringSpecBufferSize];
        GetPathSpecPath(list, entry, path, sizeof path);
        return path;
    }
    static std::vector<PathSpec*> Entries(PathSpecList* list) {
        std::vector<PathSpec*> all;
        for (auto* e = static_cast<PathSpec*>(LLFirst(list)); e; e = e->next) all.push_back(e);
        return all;
    }
    // Searches for a name (type "*" unless given) and gives the path found, "" for none.
    static std::string Find(PathSpecList* list, const char* name, uint8_t kinds = kPathSheetFiles,
                            bool mustExist = false, const char* type = "*") {
        FileSpec spec;
        ClearFileSpec(&spec);
        SetFileSpecName(&spec, name);
        SetFileSpecCode(spec.type, type);
        if (!ResolveFilePath(list, kinds, &spec, mustExist, nullptr)) return "";
        return PathOf(spec);
    }

    Tree tree;
};

TEST_F(PathSpecs, FoldersAreStoredAgainstTheirRoots) {
    tree.Folder("proj/sheets");
    tree.Folder("shared/lib");
    TestProject project(tree.Dir("proj"));
    PathSpecList* list = project->paths;

    struct Case {
        const char* folder;
        int32_t kind;
        uint8_t storedKind;
        std::string path;
    } cases[] = {
        {"proj", kPathRootDefault, kPathRootOwner, "./"},
        {"proj/sheets", kPathRootDefault, kPathRootOwner, "./sheets/"},
        {"shared/lib", kPathRootOwner, kPathRootOwner, "../shared/lib/"},
        {"shared", kPathRootAbsolute, kPathRootAbsolute, tree.path("shared") + "/"},
    };
    for (const Case& c : cases) {
        PathSpec* entry = AddPathSpecToList(list, tree.Dir(c.folder), c.kind, kPathSheetFiles, false);
        ASSERT_TRUE(entry) << c.folder;
        EXPECT_EQ(entry->rootKind, c.storedKind) << c.folder;
        EXPECT_EQ(Path(list, entry), c.path) << c.folder;
        EXPECT_EQ(entry->flags, kPathSheetFiles | kPathPosixForm | kPathFlagsValid);
        char full[1100];
        ASSERT_GT(PathSpecToFullPath(list, entry, sizeof full, full), 0);
        EXPECT_EQ(std::string(full), PathOf(*tree.Dir(c.folder)));
    }
    EXPECT_TRUE(project->dirtyFlags & kProjectPathsChanged);

    // Relative to the application: the folder that holds this test program.
    DirectoryRef app;
    ASSERT_TRUE(GetApplicationFolder(&app));
    char root[1100];
    ASSERT_GT(GetRootPath(list, kPathRootApplication, root, sizeof root), 0);
    EXPECT_EQ(std::string(root), PathOf(app));
    EXPECT_EQ(GetRootPath(list, kPathRootAbsolute, root, sizeof root), 0);
    PathSpec* relative = CreatePathSpec(kPathLibraryFiles);
    ASSERT_EQ(SetPathSpecFromDir(list, relative, tree.Dir("shared/lib"), kPathRootApplication),
              kPathRootApplication);
    DirectoryRef resolved;
    EXPECT_TRUE(ResolvePathSpec(list, relative, &resolved));
    EXPECT_TRUE(EqualDirectories(&resolved, tree.Dir("shared/lib")));
    MemFreePtr(reinterpret_cast<Ptr>(relative));

    // A list of no project stores absolute paths by default, in its own string block.
    PathSpecList* own = CreatePathSpecList(nullptr, 0);
    ASSERT_TRUE(own);
    PathSpec* entry = AddPathSpecToList(own, tree.Dir("proj"), kPathRootDefault, kPathLibraryFiles, false);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->rootKind, kPathRootAbsolute);
    EXPECT_NE(GetPathListStringBlock(own), project->strings);
    DestroyPathSpecList(own);
}

TEST_F(PathSpecs, AddingAKnownFolderOnlyAddsItsKinds) {
    tree.Folder("proj/sheets/deep");
    tree.Folder("proj/sheets/(old)/inner");
    TestProject project(tree.Dir("proj"));
    PathSpecList* list = project->paths;
    PathSpec* sheets =
        AddPathSpecToList(list, tree.Dir("proj/sheets"), kPathRootDefault, kPathSheetFiles | kPathSearchSubFolders, false);
    ASSERT_TRUE(sheets);
    project->dirtyFlags = 0;
    EXPECT_EQ(AddPathSpecToList(list, tree.Dir("proj/sheets"), kPathRootAbsolute, kPathLibraryFiles, false), sheets);
    EXPECT_EQ(sheets->flags & kPathFileKinds, kPathSheetFiles | kPathLibraryFiles);
    EXPECT_EQ(sheets->rootKind, kPathRootOwner);
    EXPECT_TRUE(project->dirtyFlags & kProjectPathsChanged);

    // A folder below an entry that searches sub-folders is that entry's when asked so.
    EXPECT_EQ(AddPathSpecToList(list, tree.Dir("proj/sheets/deep"), kPathRootDefault, kPathScriptFiles, true), sheets);
    EXPECT_TRUE(sheets->flags & kPathScriptFiles);
    EXPECT_EQ(Entries(list).size(), 1u);
    // ... but not one inside a shielded folder, nor a shielded folder itself.
    EXPECT_EQ(FindPathSpec(list, tree.Dir("proj/sheets/(old)/inner"), true), nullptr);
    EXPECT_EQ(FindPathSpec(list, tree.Dir("proj/sheets/(old)"), true), nullptr);
    PathSpec* inner = AddPathSpecToList(list, tree.Dir("proj/sheets/(old)/inner"), kPathRootDefault, kPathSheetFiles, true);
    ASSERT_TRUE(inner);
    EXPECT_NE(inner, sheets);
    EXPECT_EQ(Path(list, inner), "./sheets/(old)/inner/");
    EXPECT_EQ(Entries(list).size(), 2u);
    // Without searchSubFolders only the folder itself counts.
    EXPECT_EQ(FindPathSpec(list, tree.Dir("proj/sheets/deep"), false), nullptr);
}

TEST_F(PathSpecs, ShieldedNames) {
    struct Case {
        const char* name;
        bool shielded;
    } cases[] = {{"(old)", true}, {"  (old) ", true}, {"()", true}, {"(", false}, {"old)", false},
                 {"(old", false}, {"x(old)", false}, {"", false}, {" ", false}};
    for (const Case& c : cases) EXPECT_EQ(IsShieldedName(c.name), c.shielded) << '"' << c.name << '"';
}

TEST_F(PathSpecs, FileSearch) {
    tree.Folder("proj");
    tree.Sheet("a/Top.SHX");
    tree.File("a/notes.txt");
    tree.File("a/Folder.SHX/inside");  // a folder named like a sheet
    tree.Sheet("b/sub/deep/Child.shx");
    tree.Sheet("b/(backup)/Hidden.SHX");
    tree.Sheet("b/Twice.SHX");
    tree.Sheet("b/TWICE.shx");
    tree.Sheet("c/Folder.SHX");
    tree.Sheet("c/target.SHX");
    tree.Link("c/Link.SHX", tree.path("c/target.SHX"));
    tree.Link("c/Broken.SHX", tree.path("c/missing.SHX"));
    tree.Sheet("libs/Only.SHX");
    TestProject project(tree.Dir("proj"));
    PathSpecList* list = project->paths;
    ASSERT_TRUE(AddPathSpecToList(list, tree.Dir("a"), kPathRootDefault, kPathSheetFiles, false));
    ASSERT_TRUE(AddPathSpecToList(list, tree.Dir("b"), kPathRootDefault, kPathSheetFiles | kPathSearchSubFolders, false));
    ASSERT_TRUE(AddPathSpecToList(list, tree.Dir("c"), kPathRootDefault, kPathSheetFiles, false));
    ASSERT_TRUE(AddPathSpecToList(list, tree.Dir("libs"), kPathRootDefault, kPathLibraryFiles, false));

    struct Case {
        const char* name;
        uint8_t kinds;
        bool mustExist;
        const char* type;
        std::string found;
    } cases[] = {
        {"top.shx", kPathSheetFiles, false, "*", tree.path("a/Top.SHX")},          // case ignored
        {"TOP.SHX", kPathSheetFiles, false, "SCH4", tree.path("a/Top.SHX")},       // type fits
        {"Top.SHX", kPathSheetFiles, false, "LIB4", ""},                           // type does not
        {"NOTES.TXT", kPathSheetFiles, false, "TEXT", tree.path("a/notes.txt")},
        {"child.SHX", kPathSheetFiles, false, "*", tree.path("b/sub/deep/Child.shx")},  // below
        {"Hidden.SHX", kPathSheetFiles, false, "*", ""},                           // shielded
        {"Twice.SHX", kPathSheetFiles, false, "*", tree.path("b/Twice.SHX")},      // exact first
        {"TWICE.shx", kPathSheetFiles, false, "*", tree.path("b/TWICE.shx")},
        {"twice.shx", kPathSheetFiles, false, "*", tree.path("b/TWICE.shx")},      // name order
        {"Folder.SHX", kPathSheetFiles, false, "*", tree.path("a/Folder.SHX")},    // a folder
        {"Folder.SHX", kPathSheetFiles, true, "*", tree.path("c/Folder.SHX")},     // a file only
        {"Link.SHX", kPathSheetFiles, true, "*", tree.path("c/Link.SHX")},         // link kept
        {"Broken.SHX", kPathSheetFiles, true, "*", ""},
        {"Broken.SHX", kPathSheetFiles, false, "*", tree.path("c/Broken.SHX")},
        {"Only.SHX", kPathSheetFiles, false, "*", ""},                             // other kind
        {"Only.SHX", kPathLibraryFiles | kPathSearchSubFolders, false, "*", tree.path("libs/Only.SHX")},
        {"Nowhere.SHX", kPathFileKinds, false, "*", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Find(list, c.name, c.kinds, c.mustExist, c.type), c.found) << c.name << " " << c.type;

    // A failed search leaves the spec alone.
    FileSpec spec;
    ClearFileSpec(&spec);
    SetFileSpecName(&spec, "Nowhere.SHX");
    SetFileSpecCode(spec.type, "*");
    const FileSpec before = spec;
    EXPECT_FALSE(ResolveFilePath(list, kPathSheetFiles, &spec, false, nullptr));
    EXPECT_EQ(std::memcmp(&spec, &before, sizeof spec), 0);
    // In one folder alone.
    SetFileSpecName(&spec, "CHILD.SHX");
    EXPECT_TRUE(FindFileInFolder(tree.Dir("b/sub/deep"), &spec, true));
    EXPECT_STREQ(spec.name, "Child.shx");
    EXPECT_FALSE(FindFileInFolder(tree.Dir("b"), &spec, true));
}

TEST_F(PathSpecs, EntriesWhoseFolderIsMissingAreSkippedAndTriedAgain) {
    tree.Folder("proj");
    tree.Sheet("later/Late.SHX");
    TestProject project(tree.Dir("proj"));
    PathSpecList* list = project->paths;
    PathSpec* entry = AddPathSpecToList(list, tree.Dir("later"), kPathRootDefault, kPathSheetFiles, false);
    ASSERT_TRUE(entry);
    ASSERT_EQ(std::rename(tree.path("later").c_str(), tree.path("gone").c_str()), 0);
    char full[1100];
    EXPECT_EQ(PathSpecToFullPath(list, entry, sizeof full, full), -1);
    EXPECT_EQ(entry->directory, -1);
    EXPECT_EQ(Find(list, "Late.SHX"), "");
    ASSERT_EQ(std::rename(tree.path("gone").c_str(), tree.path("later").c_str()), 0);
    EXPECT_EQ(Find(list, "Late.SHX"), tree.path("later/Late.SHX"));

    ResetPathSpecList(list, true);
    EXPECT_EQ(entry->directory, -1);
    EXPECT_EQ(DACount(project->directories), 0);
    EXPECT_TRUE(ResolvePathSpec(list, entry, nullptr));
    EXPECT_GE(entry->directory, 0);
}

TEST_F(PathSpecs, LinkLoopsEnd) {
    tree.Sheet("top/one.SHX");
    tree.Sheet("top/a/two.SHX");
    tree.Sheet("other/three.SHX");
    tree.Link("top/a/up", tree.path("top"));         // back to the entry's folder
    tree.Link("top/a/self", tree.path("top/a"));     // to itself
    tree.Link("top/out", tree.path("other"));        // to another tree ...
    tree.Link("other/back", tree.path("top"));       // ... that leads back
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    ASSERT_TRUE(list);
    ASSERT_TRUE(AddPathSpecToList(list, tree.Dir("top"), kPathRootAbsolute,
                                  kPathSheetFiles | kPathSearchSubFolders, false));
    EXPECT_EQ(Find(list, "missing.SHX"), "");
    EXPECT_EQ(Find(list, "three.SHX"), tree.path("top/out/three.SHX"));
    EXPECT_TRUE(FindPathSpec(list, tree.Dir("other"), true));
    EXPECT_FALSE(FindPathSpec(list, tree.Dir(""), true));

    std::vector<std::string> seen;
    auto proc = [](const FileSpec* file, PathSpec*, bool, void*, void* data) -> int32_t {
        static_cast<std::vector<std::string>*>(data)->push_back(file->name);
        return 0;
    };
    EXPECT_EQ(EnumPathSpecList(list, kPathSheetFiles, proc, &seen, nullptr), 0);
    // Every file once along each chain that does not loop: "three" through top/out only.
    EXPECT_EQ(seen, (std::vector<std::string>{"one.SHX", "two.SHX", "three.SHX"}));
    DestroyPathSpecList(list);
}

TEST_F(PathSpecs, WalksFollowTheirCallbacksAnswers) {
    tree.File("w1/a.txt");
    tree.File("w1/b.txt");
    tree.File("w1/sub/c.txt");
    tree.File("w1/sub/d.txt");
    tree.File("w1/z.txt");
    tree.File("w2/e.txt");
    tree.File("target.txt");
    tree.Link("w2/link.txt", tree.path("target.txt"));
    tree.File("w3/f.txt");
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    ASSERT_TRUE(list);
    AddPathSpecToList(list, tree.Dir("w1"), kPathRootAbsolute, kPathScriptFiles | kPathSearchSubFolders, false);
    AddPathSpecToList(list, tree.Dir("w2"), kPathRootAbsolute, kPathScriptFiles, false);
    AddPathSpecToList(list, tree.Dir("w3"), kPathRootAbsolute, kPathLibraryFiles, false);

    struct Walk {
        std::string stopAt, skipAt;
        std::vector<std::string> seen;
    };
    auto proc = [](const FileSpec* file, PathSpec*, bool wasAlias, void*, void* data) -> int32_t {
        auto* walk = static_cast<Walk*>(data);
        walk->seen.push_back(std::string(file->name) + (wasAlias ? "@" : ""));
        if (walk->stopAt == file->name) return 7;
        if (walk->skipAt == file->name) return kPathWalkSkipFolder;
        return 0;
    };
    struct Case {
        std::string stopAt, skipAt;
        std::vector<std::string> seen;
        int32_t result;
    } cases[] = {
        {"", "", {"a.txt", "b.txt", "z.txt", "c.txt", "d.txt", "e.txt", "target.txt@"}, 0},
        // Another answer ends this entry's tree; the next entry is walked.
        {"b.txt", "", {"a.txt", "b.txt", "e.txt", "target.txt@"}, 0},
        {"target.txt", "", {"a.txt", "b.txt", "z.txt", "c.txt", "d.txt", "e.txt", "target.txt@"}, 7},
        // "skpd" skips the rest of the folder and what lies below it.
        {"", "a.txt", {"a.txt", "e.txt", "target.txt@"}, 0},
        {"", "c.txt", {"a.txt", "b.txt", "z.txt", "c.txt", "e.txt", "target.txt@"}, 0},
    };
    for (const Case& c : cases) {
        Walk walk{c.stopAt, c.skipAt, {}};
        EXPECT_EQ(EnumPathSpecList(list, kPathScriptFiles, proc, &walk, nullptr), c.result);
        EXPECT_EQ(walk.seen, c.seen) << c.stopAt << c.skipAt;
    }
    DestroyPathSpecList(list);
}

TEST_F(PathSpecs, ALongSearchShowsItsMessageAndTakesTheCancelKey) {
    for (int i = 0; i < 80; ++i) tree.File("many/f" + std::to_string(100 + i));
    tree.File("many/sub/Wanted.SHX");
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    ASSERT_TRUE(AddPathSpecToList(list, tree.Dir("many"), kPathRootAbsolute, kPathSheetFiles | kPathSearchSubFolders, false));

    struct Seen {
        uint64_t now = 0;
        int busy = 0;
        int cancelTests = 0;
        bool cancel = false;
        std::vector<std::string> messages;
    };
    static Seen seen;
    seen = Seen{};
    PathSearchHooks hooks;
    hooks.ticks = [] { return seen.now += 4; };  // four ticks a call
    hooks.busy = [] { ++seen.busy; };
    hooks.showMessage = [](const char* text) { seen.messages.push_back(text); };
    hooks.cancelKey = [] {
        ++seen.cancelTests;
        return seen.cancel;
    };
    SetPathSearchHooks(hooks);

    EXPECT_EQ(Find(list, "Wanted.SHX"), tree.path("many/sub/Wanted.SHX"));
    EXPECT_EQ(seen.busy, 82);  // 80 files and a folder, then the sub-folder's file
    ASSERT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(seen.messages[0], "Searching paths for files...\r\rTo cancel, press the Escape key.");
    EXPECT_EQ(seen.cancelTests, 2);  // at the 32nd and the 64th file, after the message
    ClearPathSearchMessage();
    ClearPathSearchMessage();
    EXPECT_EQ(seen.messages, (std::vector<std::string>{seen.messages[0], ""}));

    seen = Seen{};
    seen.cancel = true;
    FileSpec spec;
    ClearFileSpec(&spec);
    SetFileSpecName(&spec, "Wanted.SHX");
    SetFileSpecCode(spec.type, "*");
    bool cancelled = false;
    EXPECT_FALSE(ResolveFilePath(list, kPathSheetFiles, &spec, false, &cancelled));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(seen.busy, 32);
    ClearPathSearchMessage();
    DestroyPathSpecList(list);
}

TEST_F(PathSpecs, CopiesShareOrOwnTheirInfo) {
    tree.Folder("one");
    tree.Folder("two");
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    ASSERT_TRUE(list);
    PathSpec* first = AddPathSpecToList(list, tree.Dir("one"), kPathRootAbsolute, kPathSheetFiles, false);
    AddPathSpecToList(list, tree.Dir("two"), kPathRootAbsolute, kPathLibraryFiles | kPathSearchSubFolders, false);
    ASSERT_TRUE(ResolvePathSpec(list, first, nullptr));

    PathSpecList* shared = DuplicatePathSpecList(list, true);
    PathSpecList* own = DuplicatePathSpecList(list, false);
    ASSERT_TRUE(shared && own);
    EXPECT_EQ(GetPathListInfo(shared), GetPathListInfo(list));
    EXPECT_NE(GetPathListInfo(own), GetPathListInfo(list));
    EXPECT_NE(GetPathListStringBlock(own), GetPathListStringBlock(list));
    for (PathSpecList* copy : {shared, own}) {
        const auto a = Entries(list), b = Entries(copy);
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(Path(list, a[i]), Path(copy, b[i]));
            EXPECT_EQ(a[i]->flags, b[i]->flags);
            EXPECT_EQ(a[i]->rootKind, b[i]->rootKind);
        }
    }
    EXPECT_EQ(Entries(shared)[0]->directory, first->directory);
    EXPECT_EQ(Entries(own)[0]->directory, -1);
    // The shared record goes with the last list that uses it.
    DestroyPathSpecList(list);
    EXPECT_EQ(Path(shared, Entries(shared)[1]), tree.path("two") + "/");
    DestroyPathSpecList(shared);
    DestroyPathSpecList(own);
}

}  // namespace
}  // namespace plexa::test
