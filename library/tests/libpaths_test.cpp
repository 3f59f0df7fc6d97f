// Library search paths and library file lists over scratch trees: the full list and the folder
// table of nested library folders reached by overlapping paths, the kinds of files listed, the
// folder choice, the active folder, the cancel key, the stored paths, and merging a project's
// libraries.
#include "library/libpaths.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "files/pathspec.h"
#include "foundation/datafile.h"
#include "foundation/stream.h"
#include "library/tests/libaccess_testing.h"
#include "model/sheet.h"
#include "tests/support/foundation_testing.h"

namespace plexa::test {
namespace {

using Lines = std::vector<std::string>;

constexpr uint8_t kAllKinds = kPathSearchSubFolders | kPathSheetFiles | kPathLibraryFiles;  // 7
constexpr uint8_t kFolderOnly = kPathSheetFiles | kPathLibraryFiles;                         // 6

class LibraryLists : public LibraryAccessTest {
protected:
    // Nested library folders: libraries at three depths, a sheet with file symbols and one
    // without, a text file, a shielded folder and a library outside every path.
    void NestedTree() {
        Library("libs/Zeta.LBX", {{"Z1"}});
        Library("libs/alpha.lbx", {{"A1", "A1-ALIAS"}, {"A2"}});
        ASSERT_TRUE(WriteFile(Path("libs/notes.txt"), "notes"));
        Library("libs/analog/Opamps.LBX", {{"LM358"}});
        Sheet("libs/analog/Board.SHX", {"BOARD"});
        Sheet("libs/analog/Plain.SHX", {});
        Library("libs/analog/deep/R9.LBX", {{"R9"}});
        Library("libs/analog/deep/R10.LBX", {{"R10"}});
        Library("libs/(shielded)/Hidden.LBX", {{"H"}});
        Library("elsewhere/Other.LBX", {{"O"}});
    }
};

TEST_F(LibraryLists, NestedFoldersReachedTwiceListEachFileOnceInNameOrder) {
    NestedTree();
    AddPath("libs", kAllKinds);
    AddPath("libs/analog", kFolderOnly);  // a folder the first path reaches already
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(Files(), (Lines{"alpha.lbx in libs", "Board.SHX in libs/analog sheet", "Opamps.LBX in libs/analog",
                              "R9.LBX in libs/analog/deep", "R10.LBX in libs/analog/deep", "Zeta.LBX in libs"}));
    EXPECT_EQ(Folders(), (Lines{"libs = libs", "libs/analog = libs/analog", "libs/analog/deep = libs/analog/deep"}));
    // Without an active folder the active list is the full list.
    EXPECT_EQ(Files(kLibFilesActive), Files());
    // The first file and its first item are selected.
    EXPECT_EQ(CachedFile(), "alpha.lbx");
    EXPECT_EQ(CachedItem(), "A1");
    FileSpec spec;
    bool isSheet = false;
    ASSERT_TRUE(GetIndexedLibFileSpec(kLibFilesAll, 1, &spec, &isSheet));
    EXPECT_TRUE(isSheet);
    EXPECT_EQ(std::string(spec.type), "SCH4");
    EXPECT_EQ(std::string(spec.creator), "QPLX");
    ASSERT_TRUE(GetIndexedLibFileSpec(kLibFilesAll, 0, &spec, &isSheet));
    EXPECT_EQ(std::string(spec.type), "LIB4");
    EXPECT_FALSE(GetIndexedLibFileSpec(kLibFilesAll, 6, &spec, &isSheet));
    EXPECT_EQ(FileIndex("libs/analog/Opamps.LBX"), 2);
    EXPECT_EQ(FileIndex("libs/analog/opamps.lbx"), 2);  // names compare without regard to case
    EXPECT_EQ(FileIndex("libs/Opamps.LBX"), -1);        // but the folder must be the same
}

TEST_F(LibraryLists, APathAboveAnEarlierOneStillWalksItsSubFolders) {
    NestedTree();
    AddPath("libs/analog", kFolderOnly);
    AddPath("libs", kAllKinds);
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(Files(), (Lines{"alpha.lbx in libs", "Board.SHX in libs/analog sheet", "Opamps.LBX in libs/analog",
                              "R9.LBX in libs/analog/deep", "R10.LBX in libs/analog/deep", "Zeta.LBX in libs"}));
    // A folder's display name begins with the name of the search folder that reached it first.
    EXPECT_EQ(Folders(), (Lines{"analog = libs/analog", "libs = libs", "libs/analog/deep = libs/analog/deep"}));
}

TEST_F(LibraryLists, ThePathFlagsDecideWhichKindsAreListed) {
    Library("a/Lib.LBX", {{"L"}});
    Sheet("a/Sheet.SHX", {"S"});
    Library("b/Lib2.LBX", {{"L2"}});
    Sheet("b/Sheet2.SHX", {"S2"});
    Library("c/library.dat", {{"D"}});  // a library by content, whatever its name
    ASSERT_TRUE(WriteFile(Path("c/fake.LBX"), "not a library"));
    AddPath("a", kPathLibraryFiles);
    AddPath("b", kPathSheetFiles);
    AddPath("c", kFolderOnly);
    for (bool checkAll : {false, true}) {
        BuildLibraryFileList(nullptr, checkAll);
        EXPECT_EQ(Files(), (Lines{"Lib.LBX in a", "library.dat in c", "Sheet2.SHX in b sheet"})) << checkAll;
        EXPECT_EQ(Folders(), (Lines{"a = a", "b = b", "c = c"}));
    }
}

TEST_F(LibraryLists, TheFolderChoiceIsAMenuUpTo32FoldersAndAPopupListBoxBeyond) {
    std::vector<LibDirChoice> told;
    static std::vector<LibDirChoice>* sTold;
    sTold = &told;
    LibraryAccessHooks hooks;
    hooks.folderChoiceChanged = [](LibDirChoice choice) { sTold->push_back(choice); };
    SetLibraryAccessHooks(hooks);
    Folder("libs");
    AddPath("libs", kAllKinds);
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(GetLibDirChoice(), LibDirChoice::kNone);
    EXPECT_EQ(CountLibDirMenuItems(), 0);
    for (int i = 0; i < 32; ++i) Library("libs/f" + std::to_string(i) + "/L.LBX", {{"X"}});
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(GetLibDirChoice(), LibDirChoice::kMenu);
    ASSERT_EQ(CountLibDirMenuItems(), 34);
    char title[64];
    bool enabled = false;
    const Lines expected = {"All Libraries", "-", "libs/f0", "libs/f1", "libs/f2"};
    for (int item = 1; item <= 5; ++item) {
        ASSERT_TRUE(GetLibDirMenuItem(item, title, sizeof title, &enabled));
        EXPECT_EQ(title, expected[size_t(item - 1)]);
        EXPECT_EQ(enabled, item != 2) << item;
    }
    ASSERT_TRUE(GetLibDirMenuItem(34, title, sizeof title, &enabled));
    EXPECT_EQ(std::string(title), "libs/f31");  // natural order: f31 after f9
    EXPECT_FALSE(GetLibDirMenuItem(35, title, sizeof title, &enabled));
    EXPECT_FALSE(GetLibDirMenuItem(0, title, sizeof title, &enabled));
    Library("libs/f32/L.LBX", {{"X"}});
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(GetLibDirChoice(), LibDirChoice::kPopupList);
    EXPECT_EQ(CountLibDirMenuItems(), 35);
    EXPECT_EQ(told, (std::vector<LibDirChoice>{LibDirChoice::kNone, LibDirChoice::kMenu, LibDirChoice::kPopupList}));
}

TEST_F(LibraryLists, TheActiveFolderListsItsFilesAndMapsIndexes) {
    NestedTree();
    AddPath("libs", kAllKinds);
    BuildLibraryFileList(nullptr, false);
    const int32_t analog = GetIndexedLibDirId(1);
    EXPECT_EQ(GetActiveLibDirSelectionIndex(), 1);
    EXPECT_TRUE(SetActiveLibFiles(analog));
    EXPECT_FALSE(SetActiveLibFiles(analog));
    EXPECT_EQ(GetActiveLibDirectory(), analog);
    EXPECT_EQ(GetActiveLibDirSelectionIndex(), 4);
    EXPECT_EQ(Files(kLibFilesActive), (Lines{"Board.SHX in libs/analog sheet", "Opamps.LBX in libs/analog"}));
    // Choosing the folder deselected the file.
    EXPECT_EQ(gItemCache.selection.fileIndex, -1);
    EXPECT_EQ(GetActiveLibFilesIndex(2), 1);
    EXPECT_EQ(GetActiveLibFilesIndex(0), -1);
    EXPECT_EQ(GetAllLibFilesIndex(1), 2);
    EXPECT_EQ(GetAllLibFilesIndex(2), -1);
    EXPECT_EQ(GetIndexedLibFileDirId(kLibFilesActive, 0), analog);
    // Selecting a file of the full list outside the active folder makes its folder the active one.
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 3), 0);
    EXPECT_EQ(GetActiveLibDirectory(), GetIndexedLibDirId(2));
    EXPECT_EQ(Files(kLibFilesActive), (Lines{"R9.LBX in libs/analog/deep", "R10.LBX in libs/analog/deep"}));
    EXPECT_EQ(gItemCache.selection.fileIndex, 3);
    EXPECT_EQ(gItemCache.selection.activeFileIndex, 0);
    EXPECT_TRUE(SetActiveLibFiles(-1));
    EXPECT_EQ(GetActiveLibFilesIndex(4), 4);
    EXPECT_EQ(GetActiveLibDirSelectionIndex(), 1);
}

TEST_F(LibraryLists, ACancelEndsOnlyTheSearchPathBeingWalked) {
    Folder("junk");
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(WriteFile(Path("junk/a" + std::to_string(100 + i) + ".txt"), "x"));
    Library("junk/b.LBX", {{"B"}});
    Library("more/c.LBX", {{"C"}});
    AddPath("junk", kAllKinds);
    AddPath("more", kAllKinds);
    static Lines* sShown;
    static int sCancelTests;
    static uint64_t sTicks;
    Lines shown;
    sShown = &shown;
    sCancelTests = 0;
    sTicks = 0;
    PathSearchHooks hooks;
    hooks.ticks = [] { return sTicks += 10; };
    hooks.showMessage = [](const char* text) { sShown->push_back(text); };
    hooks.cancelKey = [] { return ++sCancelTests > 0; };
    SetPathSearchHooks(hooks);
    BuildLibraryFileList(nullptr, false);
    // The 16th skipped file tested the key; b.LBX of the cancelled path was never reached.
    EXPECT_EQ(Files(), (Lines{"c.LBX in more"}));
    EXPECT_EQ(sCancelTests, 1);
    EXPECT_EQ(shown, (Lines{kSearchingLibrariesMessage, ""}));
}

TEST_F(LibraryLists, StoredPathsComeBackWithDefaultFlags) {
    Folder("one");
    Folder("two");
    AddPath("one", kAllKinds);
    AddPath("two", kPathLibraryFiles);
    HandleStream out;
    ASSERT_EQ(SaveLibraryPathList(out.stream), 0);
    const std::string stored = out.bytes();
    // An entry stored without the valid bit takes the default flags 6.
    std::string older = stored;
    older[4 + 1] = char(kPathSearchSubFolders);
    HandleStream in(older);
    ASSERT_EQ(LoadLibraryPathList(in.stream), 0);
    std::vector<int> flags;
    for (auto* e = static_cast<PathSpec*>(LLFirst(GetLibFilesPathList())); e; e = e->next) flags.push_back(e->flags);
    EXPECT_EQ(flags, (std::vector<int>{kPathFlagsValid | kPathPosixForm | kAllKinds,
                                       kPathFlagsValid | kPathPosixForm | kPathLibraryFiles}));
    HandleStream again;
    ASSERT_EQ(SaveLibraryPathList(again.stream), 0);
    EXPECT_EQ(again.bytes(), stored);
    HandleStream bad(Hex("01000000 02"));
    EXPECT_NE(LoadLibraryPathList(bad.stream), 0);
    EXPECT_EQ(GetLibFilesPathList()->count, 0u);
}

TEST_F(LibraryLists, TheEssentialsFolderGivesTheFirstPathAndThePersonsCopyStandsInForItsLibrary) {
    DisposeLibraryAccess();
    Library("essentials/Libraries/Basic.LBX", {{"BASIC"}});
    static std::string sEssentials;
    sEssentials = Path("essentials");
    LibraryAccessHooks hooks;
    hooks.essentialsFolder = [](DirectoryRef* folder) {
        return DirectoryFromPathName(nullptr, (sEssentials + "/").c_str(), folder) == 0;
    };
    SetLibraryAccessHooks(hooks);
    InitLibraryAccess();
    auto* entry = static_cast<PathSpec*>(LLFirst(GetLibFilesPathList()));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->rootKind, kPathRootAbsolute);
    EXPECT_EQ(entry->flags & kAllKinds, kAllKinds);
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(Files(), (Lines{"Basic.LBX in essentials/Libraries"}));
    // The person's copy of one of them (saved under its name into a folder of theirs) stands in
    // for it: one of each name is listed, and a lookup by the name finds the copy.
    Library("essentials/Libraries/Wire.LBX", {{"GND"}});
    Library("mine/basic.lbx", {{"BASIC"}});
    AddPath("mine", kFolderOnly);
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(Files(), (Lines{"basic.lbx in mine", "Wire.LBX in essentials/Libraries"}));
    EXPECT_EQ(CachedFile(), "basic.lbx");
}

// The essentials are the base folder's "Essentials/Plexa/", else its "Essentials/Plexa+/".
TEST_F(LibraryLists, TheEssentialsFolderIsPlexaElsePlexaPlusInItsBase) {
    const auto found = [&](const std::string& base) -> std::string {
        DirectoryRef folder;
        const OSStatus st = FindEssentialsFolderIn(Path(base).c_str(), &folder);
        if (st != 0) return std::to_string(st);
        char path[1024];
        EXPECT_EQ(PathNameFromDirectory(&folder, path, sizeof path, nullptr), 0);
        return std::string(path).substr(Path(base).size());
    };
    EXPECT_EQ(found("base"), "-120");
    Folder("base/Essentials");
    EXPECT_EQ(found("base"), "-120");
    Folder("base/Essentials/Plexa+");
    EXPECT_EQ(found("base"), "/Essentials/Plexa+/");
    Folder("base/Essentials/Plexa");
    EXPECT_EQ(found("base"), "/Essentials/Plexa/");
    // A file of that name is no folder.
    Folder("other");
    ASSERT_TRUE(WriteFile(Path("other/Essentials"), "not a folder"));
    EXPECT_EQ(found("other"), "-120");
}

class ProjectLibraries : public LibraryAccessTest {
protected:
    void SetUp() override {
        LibraryAccessTest::SetUp();
        Library("global/G1.LBX", {{"G1"}, {"G2"}});
        Library("both/B.LBX", {{"B1"}});
        Library("proj/P1.LBX", {{"P1"}});
        Sheet("proj/Board.SHX", {"BOARD"});
        AddPath("global", kAllKinds);
        AddPath("both", kAllKinds);
        project_ = std::make_unique<LibTestProject>(Path("proj"));
        AddPath("proj", kPathSheetFiles | kPathLibraryFiles | kPathScriptFiles, (*project_)->paths);
        AddPath("both", kFolderOnly, (*project_)->paths);
        BuildLibraryFileList(nullptr, false);
        BuildLibraryFileList(project_->get(), false);
    }
    void TearDown() override {
        project_.reset();
        LibraryAccessTest::TearDown();
    }
    std::unique_ptr<LibTestProject> project_;
};

TEST_F(ProjectLibraries, MergingAddsTheProjectsOwnFoldersAndKeepsTheSelection) {
    EXPECT_EQ(Files(), (Lines{"B.LBX in both", "G1.LBX in global"}));
    // The project's own list, in the order found.
    std::vector<std::string> own;
    for (auto* e = static_cast<LibraryFileEntry*>(LLFirst((*project_)->libraryFiles)); e; e = e->next) {
        char name[kStringSpecBufferSize];
        ExtractStringSpec(e->name, (*project_)->strings, name, sizeof name);
        own.push_back(std::string(name) + (e->isSheet ? " sheet" : ""));
    }
    EXPECT_EQ(own, (Lines{"Board.SHX sheet", "P1.LBX", "B.LBX"}));
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 1), 0);
    ASSERT_EQ(SetCachedLibraryItem(1), 0);
    EXPECT_EQ(CachedItem(), "G2");
    ASSERT_EQ(OpenLibDigestFile(), 0);
    CloseLibDigestFile();

    SetLibFilesProject(project_->get(), false);
    EXPECT_EQ(GetLibFilesProject(), project_->get());
    EXPECT_EQ(Files(), (Lines{"B.LBX in both", "Board.SHX in proj sheet", "G1.LBX in global", "P1.LBX in proj"}));
    EXPECT_EQ(Folders(), (Lines{"both = both", "global = global", "proj = proj"}));
    EXPECT_EQ(CachedFile(), "G1.LBX");
    EXPECT_EQ(CachedItem(), "G2");
    EXPECT_EQ(gItemCache.selection.fileIndex, 2);
    // The list changed: the digest file went.
    FileSpec digest;
    ASSERT_EQ(GetLibDigestFileSpec(&digest), 0);
    EXPECT_FALSE(VXFileExists(&digest, nullptr));
    // The merged sheet serves its file symbols.
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 1), 0);
    ASSERT_EQ(SetCachedLibraryItem(0), 0);
    EXPECT_EQ(CachedItem(), "BOARD");
    EXPECT_NE(GetCachedLibraryFile()->flags & kLibrarySheetFile, 0u);

    // The merged folder chosen, then the project unset: all folders again, the global files stay.
    ASSERT_TRUE(SetActiveLibFiles(GetIndexedLibDirId(2)));
    EXPECT_TRUE(UnsetLibFilesProject(project_->get()));
    EXPECT_FALSE(UnsetLibFilesProject(project_->get()));
    EXPECT_EQ(GetLibFilesProject(), nullptr);
    EXPECT_EQ(Files(), (Lines{"B.LBX in both", "G1.LBX in global"}));
    EXPECT_EQ(Folders(), (Lines{"both = both", "global = global"}));
    EXPECT_EQ(GetActiveLibDirectory(), -1);
}

TEST_F(ProjectLibraries, AnActiveProjectIsMergedAgainAfterEitherListIsRebuilt) {
    SetLibFilesProject(project_->get(), false);
    const int32_t global = GetIndexedLibDirId(1);
    ASSERT_TRUE(SetActiveLibFiles(global));
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesActive, 0), 0);
    ASSERT_EQ(SetCachedLibraryItem(1), 0);
    Library("proj/P0.LBX", {{"P0"}});
    RebuildProjectLibraryFiles(project_->get(), false);
    EXPECT_EQ(Files(), (Lines{"B.LBX in both", "Board.SHX in proj sheet", "G1.LBX in global", "P0.LBX in proj",
                              "P1.LBX in proj"}));
    // The folder, file and item chosen before are chosen again.
    EXPECT_EQ(GetActiveLibDirectory(), GetIndexedLibDirId(1));
    EXPECT_EQ(CachedFile(), "G1.LBX");
    EXPECT_EQ(CachedItem(), "G2");
    Library("global/G0.LBX", {{"G0"}});
    BuildLibraryFileList(nullptr, false);
    EXPECT_EQ(Files(), (Lines{"B.LBX in both", "Board.SHX in proj sheet", "G0.LBX in global", "G1.LBX in global",
                              "P0.LBX in proj", "P1.LBX in proj"}));
    EXPECT_EQ(GetLibFilesProject(), project_->get());
    EXPECT_EQ(CachedFile(), "B.LBX");  // a global rebuild starts over at the first file
    EXPECT_EQ(CachedItem(), "B1");
}

TEST_F(ProjectLibraries, ASavedSheetThatGainsOrLosesFileSymbolsRebuildsTheProjectsThatUseIt) {
    Sheet("proj/New.SHX", {});
    ASSERT_NE(AddSheetSpecToProject(project_->get(), "New.SHX"), nullptr);
    BuildLibraryFileList(project_->get(), false);
    SheetRecord sheet{};
    sheet.fileSpec = SpecOf(Path("proj/New.SHX"));
    sheet.fileSymbolList = LLCreate(nullptr, 16, 0);
    auto listed = [&] {
        for (auto* e = static_cast<LibraryFileEntry*>(LLFirst((*project_)->libraryFiles)); e; e = e->next) {
            char name[kStringSpecBufferSize];
            ExtractStringSpec(e->name, (*project_)->strings, name, sizeof name);
            if (std::string(name) == "New.SHX") return true;
        }
        return false;
    };
    EXPECT_FALSE(UpdateProjectLibraryListsForSheet(&sheet));  // none before, none now
    // Saved with a file symbol.
    LLAppend(sheet.fileSymbolList, nullptr);
    sheets_.symbols[Path("proj/New.SHX")] = {ItemBytes({"NEW"})};
    EXPECT_TRUE(UpdateProjectLibraryListsForSheet(&sheet));
    EXPECT_TRUE(listed());
    EXPECT_FALSE(UpdateProjectLibraryListsForSheet(&sheet));
    // Saved without.
    LLRemoveOrFreeAll(sheet.fileSymbolList, true);
    sheets_.symbols[Path("proj/New.SHX")].clear();
    EXPECT_TRUE(UpdateProjectLibraryListsForSheet(&sheet));
    EXPECT_FALSE(listed());
    // A sheet the project does not use changes nothing.
    SheetRecord other{};
    other.fileSpec = SpecOf(Path("proj/Board.SHX"));
    EXPECT_FALSE(UpdateProjectLibraryListsForSheet(&other));
    LLDispose(sheet.fileSymbolList, true);
}

}  // namespace
}  // namespace plexa::test
