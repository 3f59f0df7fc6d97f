// Sheet specs in a scratch tree: names without regard to case, a project folder moved elsewhere,
// the specs of open sheets, sub-sheet references from open sheets and from files, the used
// specs, their purge and order, ranks, change times and annotation dirtiness.
#include <sys/time.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/tests/files_testing.h"
#include "foundation/datetime.h"
#include "model/sheet.h"

namespace plexa::test {
namespace {

class SheetSpecs : public ::testing::Test {
protected:
    void SetUp() override { EXPECT_EQ(status::kNoErr, InitMemoryManager(-1)); }

    static std::string Resolved(ProjectRecord* project, SheetSpec* spec) {
        FileSpec file;
        if (!ResolveSheetSpecFile(project, spec, &file, nullptr)) return "";
        return PathOf(file);
    }
    static std::string ListedFolder(ProjectRecord* project, SheetSpec* spec) {
        DirectoryRef folder;
        if (!GetDirectoryListDirectory(project->directories, spec->directory, &folder)) return "";
        return PathOf(folder);
    }
    struct Reference {
        std::string child, name;
        uint32_t serial;
        uint16_t flags;
        bool operator==(const Reference&) const = default;
    };
    static std::vector<Reference> References(ProjectRecord* project, LinkListHeader* list) {
        std::vector<Reference> all;
        char child[160], name[kStringSpecBufferSize];
        for (auto* r = static_cast<SubSheetReference*>(LLFirst(list)); r; r = r->next) {
            GetSheetSpecName(project, r->child, child);
            ExtractStringSpec(r->name, project->strings, name, sizeof name);
            all.push_back({child, name, r->serial, r->flags});
        }
        return all;
    }
    // Sheet files in the folder "p".
    void SheetFiles(std::initializer_list<const char*> names) {
        for (const char* name : names) tree.Sheet(std::string("p/") + name);
    }
    // The project searches its own folder "p" for every kind of file.
    void SearchOwnFolder(TestProject& project) {
        ASSERT_TRUE(AddPathSpecToList(project->paths, tree.Dir("p"), kPathRootDefault, 14, false));
    }
    // A sheet open from p/<name>, which the services give as loaded.
    void OpenLoaded(FakeServices& services, SheetRecord* sheet, const char* name) {
        OpenAs(sheet, tree.path(std::string("p/") + name));
        services.loaded[name] = sheet;
    }
    static std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
    // A sheet record that stands for a sheet open from a file.
    static void OpenAs(SheetRecord* sheet, const std::string& path) {
        ASSERT_EQ(FileSpecFromURL(path, &sheet->fileSpec, false, nullptr), 0);
    }

    Tree tree;
};

TEST_F(SheetSpecs, NamesDifferingOnlyInCaseAreOneSpec) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    SheetSpec* top = AddSheetSpecToProject(project.get(), "Top.SHX");
    SheetSpec* child = AddSheetSpecToProject(project.get(), "Child.SHX");
    ASSERT_TRUE(top && child);
    EXPECT_EQ(top->directory, -1);
    EXPECT_EQ(top->found, 0);
    EXPECT_EQ(AddSheetSpecToProject(project.get(), "TOP.shx"), top);
    int32_t index = 7;
    EXPECT_EQ(GetNamedSheetSpec(project.get(), "top.SHX", &index), top);
    EXPECT_EQ(index, 1);  // new specs go to the head
    EXPECT_EQ(GetNamedSheetSpec(project.get(), "Top", &index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(project.SpecNames(), (std::vector<std::string>{"Child.SHX", "Top.SHX"}));
}

TEST_F(SheetSpecs, AProjectFolderMovedElsewhereReResolvesItsSpecs) {
    tree.Sheet("old/Design/Top.SHX");
    tree.Sheet("old/Design/sheets/Child.SHX");
    tree.Sheet("old/Design/sheets/deeper/Leaf.SHX");
    tree.Folder("elsewhere");
    const char* names[] = {"Top.SHX", "CHILD.shx", "leaf.SHX"};  // names as the project has them
    const char* files[] = {"Top.SHX", "sheets/Child.SHX", "sheets/deeper/Leaf.SHX"};
    HandleStream stored;
    {
        TestProject project(tree.Dir("old/Design"));
        ASSERT_TRUE(AddPathSpecToList(project->paths, tree.Dir("old/Design"), kPathRootDefault, 14, false));
        ASSERT_TRUE(AddPathSpecToList(project->paths, tree.Dir("old/Design/sheets"), kPathRootDefault,
                                      kPathSheetFiles | kPathSearchSubFolders, false));
        for (int i = 0; i < 3; ++i) {
            SheetSpec* spec = project.Spec(names[i]);
            EXPECT_EQ(Resolved(project.get(), spec), tree.path("old/Design/") + files[i]);
            EXPECT_EQ(spec->found, 1);
            EXPECT_GE(spec->directory, 0);
        }
        ASSERT_EQ(WritePathSpecList(stored.stream, project->paths), 0);

        ASSERT_EQ(std::rename(tree.path("old/Design").c_str(), tree.path("elsewhere/Design").c_str()), 0);
        // Still open, now from its new folder: each spec's folder is gone and it is found again.
        project.MoveTo(tree.Dir("elsewhere/Design"));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Resolved(project.get(), project.Spec(names[i])), tree.path("elsewhere/Design/") + files[i]);
        // After the project's paths are reset, the folders listed are the new ones.
        ResetPathSpecList(project->paths, true);
        for (int i = 0; i < 3; ++i) {
            SheetSpec* spec = project.Spec(names[i]);
            spec->directory = -1;
            EXPECT_EQ(Resolved(project.get(), spec), tree.path("elsewhere/Design/") + files[i]);
            EXPECT_EQ(ListedFolder(project.get(), spec), FolderOf(tree.path("elsewhere/Design/") + files[i]));
        }
    }
    // Opened again from the new folder with the paths it stored.
    TestProject project(tree.Dir("elsewhere/Design"));
    HandleStream in(stored.bytes());
    ASSERT_EQ(ReadPathSpecList(in.stream, project->paths, 14, true), 0);
    for (int i = 0; i < 3; ++i) {
        SheetSpec* spec = project.Spec(names[i]);
        EXPECT_EQ(Resolved(project.get(), spec), tree.path("elsewhere/Design/") + files[i]);
        EXPECT_EQ(spec->found, 1);
        EXPECT_EQ(ListedFolder(project.get(), spec), FolderOf(tree.path("elsewhere/Design/") + files[i]));
    }
}

TEST_F(SheetSpecs, OnlySheetFilesCountAsFound) {
    SheetFiles({"Top.SHX"});
    tree.File("p/Plain.SHX", "not a sheet");
    TestProject project(tree.Dir("p"));
    SearchOwnFolder(project);
    SheetSpec* plain = project.Spec("Plain.SHX");
    EXPECT_EQ(Resolved(project.get(), plain), tree.path("p/Plain.SHX"));
    EXPECT_EQ(plain->found, 0);
    SheetSpec* missing = project.Spec("Missing.SHX");
    bool cancelled = true;
    EXPECT_FALSE(ResolveSheetSpecFile(project.get(), missing, nullptr, &cancelled));
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(missing->directory, -1);
    FileSpec file;
    EXPECT_TRUE(FindProjectSheetFile(project.get(), "top.shx", &file));
    EXPECT_EQ(PathOf(file), tree.path("p/Top.SHX"));
    EXPECT_FALSE(FindProjectSheetFile(project.get(), "Plain.SHX", &file));
}

TEST_F(SheetSpecs, TheSpecOfAnOpenSheetIsTheOneInItsFolder) {
    tree.Sheet("p/Top.SHX");
    tree.Sheet("other/Top.SHX");
    TestProject project(tree.Dir("p"));
    TestProject unrelated(tree.Dir("other"));
    SearchOwnFolder(project);
    SheetSpec* spec = project.Spec("Top.SHX");
    FakeServices services;
    SheetRecord here{}, there{}, unsaved{};
    OpenAs(&here, tree.path("p/Top.SHX"));
    OpenAs(&there, tree.path("other/Top.SHX"));
    EXPECT_EQ(GetSheetSpecFromSheet(&here, project.get()), spec);
    EXPECT_EQ(GetSheetSpecFromSheet(&there, project.get()), nullptr);
    EXPECT_EQ(GetSheetSpecFromSheet(&unsaved, project.get()), nullptr);

    EXPECT_EQ(GetOpenSheetFromSheetSpec(project.get(), spec), nullptr);  // none loaded
    services.loaded["Top.SHX"] = &there;  // open in a window, from another folder
    EXPECT_EQ(GetOpenSheetFromSheetSpec(project.get(), spec), nullptr);
    services.loaded["Top.SHX"] = &here;
    EXPECT_EQ(GetOpenSheetFromSheetSpec(project.get(), spec), &here);

    // Open projects that have a spec of the sheet.
    project.List();
    unrelated.List();
    std::vector<ProjectRecord*> seen;
    auto proc = [](ProjectRecord* p, SheetSpec*, SheetRecord*, void* data) -> int32_t {
        static_cast<std::vector<ProjectRecord*>*>(data)->push_back(p);
        return 0;
    };
    EXPECT_EQ(EnumSheetProjects(&here, proc, &seen), 0);
    EXPECT_EQ(seen, (std::vector<ProjectRecord*>{project.get()}));
    auto stop = [](ProjectRecord*, SheetSpec*, SheetRecord*, void*) -> int32_t { return 5; };
    EXPECT_EQ(EnumSheetProjects(&here, stop, nullptr), 5);
    SetSheetSpecsDirty(&here);
    const uint32_t now = uint32_t(VXGetCurrentDateTime(1));
    EXPECT_LE(now - spec->changeTime, 2u);
    const uint32_t then = 1000;
    SetSheetSpecDirtyTime(spec, &then);
    EXPECT_EQ(spec->changeTime, 1000u);
}

TEST_F(SheetSpecs, SubSheetReferencesFromOpenSheetsAndFromFiles) {
    SheetFiles({"Open.SHX", "Closed.SHX", "Broken.SHX", "Child.SHX"});
    TestProject project(tree.Dir("p"));
    SearchOwnFolder(project);
    FakeServices services;
    SheetRecord open{};
    OpenLoaded(services, &open, "Open.SHX");
    services.openEntries[&open] = {
        {"Child.SHX", "U1", 5, kSymbolSheetSymbol | 0x1000, true},   // a sheet symbol: no name
        {"Other.SHX", "S2", 6, kSymbolNamesSubSheet | 0x2000 | 0x8000, false},
        {"Ignored.SHX", "X9", 7, 0x1000, false},                     // names no sub-sheet
    };
    services.fileEntries["Closed.SHX"] = {{"Child.SHX", "SheetSym", 9, 0x5000}};
    services.fileEntries["Broken.SHX"] = {{"Child.SHX", "", 3, 0}};
    services.fileFailures["Broken.SHX"] = -39;

    SheetSpec* fromOpen = project.Spec("Open.SHX");
    ASSERT_EQ(RetrieveSubSheetReferences(project.get(), fromOpen), 0);
    EXPECT_EQ(References(project.get(), fromOpen->subSheets),
              (std::vector<Reference>{{"Child.SHX", "", 5, 0x5000}, {"Other.SHX", "S2", 6, 0x2000}}));
    EXPECT_EQ(GetNamedSheetSpec(project.get(), "Ignored.SHX", nullptr), nullptr);
    // Retrieved once until invalidated.
    services.openEntries[&open].clear();
    ASSERT_EQ(RetrieveSubSheetReferences(project.get(), fromOpen), 0);
    EXPECT_EQ(References(project.get(), fromOpen->subSheets).size(), 2u);

    SheetSpec* closed = project.Spec("Closed.SHX");
    ASSERT_EQ(RetrieveSubSheetReferences(project.get(), closed), 0);
    EXPECT_EQ(References(project.get(), closed->subSheets),
              (std::vector<Reference>{{"Child.SHX", "SheetSym", 9, 0x5000}}));

    SheetSpec* broken = project.Spec("Broken.SHX");
    EXPECT_EQ(RetrieveSubSheetReferences(project.get(), broken), -39);
    EXPECT_EQ(broken->subSheets, nullptr);
    EXPECT_FALSE(broken->flags & kSheetSpecReferencesRetrieved);
    services.fileFailures.clear();
    EXPECT_EQ(RetrieveSubSheetReferences(project.get(), broken), 0);
    EXPECT_EQ(References(project.get(), broken->subSheets).size(), 1u);

    SheetSpec* missing = project.Spec("Missing.SHX");
    EXPECT_EQ(RetrieveSubSheetReferences(project.get(), missing), 0);
    EXPECT_TRUE(missing->flags & kSheetSpecReferencesRetrieved);
    EXPECT_EQ(missing->subSheets, nullptr);

    // Top-level references.
    ASSERT_TRUE(AddSubSheetReference(project.get(), nullptr, "Open.SHX", "", 0, 0));
    EXPECT_EQ(References(project.get(), project->topLevelSheets), (std::vector<Reference>{{"Open.SHX", "", 0, 0}}));

    InvalidateSubSheetReferences(project.get());
    EXPECT_EQ(fromOpen->subSheets, nullptr);
    EXPECT_FALSE(fromOpen->flags & kSheetSpecReferencesRetrieved);
    EXPECT_EQ(project->treeDirty, 1);

    // Without the modules that read sheets, a sheet that is not open cannot be read.
    SetSheetServices(SheetServices{});
    EXPECT_EQ(RetrieveSubSheetReferences(project.get(), closed), kSheetServiceMissing);
}

TEST_F(SheetSpecs, UsedSpecsTheirPurgeAndTheirOrder) {
    tree.Folder("p");
    TestProject noTree(tree.Dir("p"), false);
    noTree.Spec("A.SHX");
    MarkUsedSheetSpecs(noTree.get());
    EXPECT_TRUE(static_cast<SheetSpec*>(LLFirst(noTree->sheetSpecs))->flags & kSheetSpecUsed);

    TestProject project(tree.Dir("p"));
    for (const char* name : {"Z", "X", "Y"}) project.Spec(name);
    SheetNode* y = project.Node(nullptr, "Y", 0);
    project.Node(y, "X", 4);
    EXPECT_EQ(project.SpecNames(), (std::vector<std::string>{"Y", "X", "Z"}));
    SortProjectSheetSpecsByTree(project.get());
    EXPECT_EQ(project.SpecNames(), (std::vector<std::string>{"Z", "Y", "X"}));
    for (auto* s = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); s; s = s->next)
        EXPECT_FALSE(s->flags & kSheetSpecMark);
    EXPECT_EQ(GetSheetNodeUsingSheetSpec(project.get(), project.Spec("X")), y->firstChild);

    SheetInstance* ofZ = CreateSheetInstance(project.get(), nullptr, 0, project.Spec("Z"));
    // A tree that was not built whole: W is top-level and names V, but neither has a node yet.
    SheetSpec* w = project.Spec("W");
    AddSubSheetReference(project.get(), nullptr, "W", "", 0, 0);
    AddSubSheetReference(project.get(), w, "V", "V1", 3, 0);
    PurgeUnusedSheetSpecs(project.get());
    EXPECT_EQ(project.SpecNames(), (std::vector<std::string>{"V", "W", "Y", "X"}));
    EXPECT_EQ(ofZ->sheetSpec, nullptr);
    EXPECT_EQ(ResolveInstanceSheet(project.get(), ofZ), nullptr);
}

TEST_F(SheetSpecs, RanksComeFromOpenSheetsAndFiles) {
    SheetFiles({"Ranked.SHX", "Plain.SHX", "Open.SHX", "Unused.SHX"});
    TestProject project(tree.Dir("p"));
    SearchOwnFolder(project);
    FakeServices services;
    SheetRecord open{};
    OpenLoaded(services, &open, "Open.SHX");
    services.openRank = 12;
    services.fileRanks["Ranked.SHX"] = 3;
    services.fileRanks["Unused.SHX"] = 4;
    SheetNode* top = project.Node(nullptr, "Ranked.SHX", 0);
    project.Node(top, "Plain.SHX", 1);
    project.Node(top, "Open.SHX", 2);
    project.Node(top, "Lost.SHX", 3);
    project.Spec("Unused.SHX");
    for (auto* s = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); s; s = s->next)
        ResolveSheetSpecFile(project.get(), s, nullptr, nullptr);
    SetupSheetSpecRanks(project.get());
    struct Case {
        const char* name;
        uint16_t rank;
    } cases[] = {{"Ranked.SHX", 3}, {"Plain.SHX", 9999}, {"Open.SHX", 12}, {"Lost.SHX", 9999}, {"Unused.SHX", 9999}};
    for (const Case& c : cases) EXPECT_EQ(project.Spec(c.name)->rank, c.rank) << c.name;
}

TEST_F(SheetSpecs, TheProjectsDirtyTimeIsItsLatestSheetChange) {
    SheetFiles({"Old.SHX", "Newer.SHX"});
    TestProject project(tree.Dir("p"));
    SearchOwnFolder(project);
    EXPECT_EQ(GetProjectDirtyTime(project.get()), 0u);
    // The file's modification time, 2020-01-02 03:04:05 UTC.
    const int64_t posix = 1577934245;
    const timeval times[2] = {{posix, 0}, {posix, 0}};
    ASSERT_EQ(::utimes(tree.path("p/Old.SHX").c_str(), times), 0);
    const int32_t global = int32_t(DateTimeFromPosix(posix));
    const uint32_t local = uint32_t(global + GlobalTimeDifferenceAt(global));
    SheetNode* top = project.Node(nullptr, "Old.SHX", 0);
    project.Node(top, "Old.SHX", 1);  // counted once
    EXPECT_EQ(GetProjectDirtyTime(project.get()), local);
    EXPECT_EQ(project.Spec("Old.SHX")->changeTime, local);
    SheetSpec* newer = project.Spec("Newer.SHX");
    const uint32_t later = local + 100;
    SetSheetSpecDirtyTime(newer, &later);
    EXPECT_EQ(GetProjectDirtyTime(project.get()), local);  // not in the tree
    project.Node(top, "Newer.SHX", 2);
    EXPECT_EQ(GetProjectDirtyTime(project.get()), later);
}

TEST_F(SheetSpecs, AnnotationDirtiness) {
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    SheetSpec* bare = project.Spec("Bare.SHX");
    bare->flags |= kSheetSpecAnnotationDirty;
    for (int bits = 0; bits < 8; ++bits)
        EXPECT_FALSE(IsSheetAnnotationDirty(bare, bits & 1, bits & 2, bits & 4)) << bits;

    SheetSpec* spec = project.Spec("Mapped.SHX");
    spec->annotationMap = CreateAnnotationMap(true);
    EXPECT_FALSE(IsSheetAnnotationDirty(spec, true, true, false));
    spec->flags |= kSheetSpecAnnotationDirty;
    EXPECT_TRUE(IsSheetAnnotationDirty(spec, true, false, false));
    EXPECT_FALSE(IsSheetAnnotationDirty(spec, true, false, true));
    EXPECT_FALSE(IsSheetAnnotationDirty(spec, false, true, false));
    SetAnnotation(spec->annotationMap, 4, 0, "R1", 0);  // a pending change
    EXPECT_TRUE(IsSheetAnnotationDirty(spec, true, false, true));

    SheetSpec* local = project.Spec("Local.SHX");
    SheetLocalAnnotationEntry entry{};
    local->localAnnotation = &entry;
    entry.changed = 1;
    EXPECT_FALSE(IsSheetAnnotationDirty(local, true, true, false));  // an entry without a map
    entry.map = CreateAnnotationMap(true);
    EXPECT_TRUE(IsSheetAnnotationDirty(local, false, true, false));
    EXPECT_FALSE(IsSheetAnnotationDirty(local, false, true, true));
    SetAnnotation(entry.map, 4, 0, "C1", 0);
    EXPECT_TRUE(IsSheetAnnotationDirty(local, false, true, true));
    EXPECT_FALSE(IsSheetAnnotationDirty(local, true, false, false));

    // A spec that goes frees its map and releases its local annotation: the cached entry of its
    // file goes with its last user.
    FileSpec file;
    ASSERT_EQ(FileSpecFromURL(tree.path("p/Local.SHX"), &file, false, nullptr), 0);
    SheetLocalAnnotationEntry* cached = CreateSheetLocalAnnotation(&file, entry.map);
    ASSERT_NE(cached, nullptr);
    cached->referenceCount = 1;
    local->localAnnotation = cached;
    EXPECT_EQ(FindSheetLocalAnnotation(&file), cached);
    PurgeUnusedSheetSpecs(project.get());
    EXPECT_EQ(FindSheetLocalAnnotation(&file), nullptr);
    EXPECT_EQ(GetNamedSheetSpec(project.get(), "Mapped.SHX", nullptr), nullptr);
}

}  // namespace
}  // namespace plexa::test
