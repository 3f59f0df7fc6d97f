// The project file as a whole: annotation blocks of colliding ids, a spec whose map is not loaded,
// dead annotation blocks and when they go, the update and its compaction, a failure injected into
// every write of a block's commit, sheet-local annotation, the record's life cycle and queries,
// damaged files, and project-dump.
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/project_dump.h"
#include "files/tests/project_testing.h"

namespace plexa::test {
namespace {

class ProjectUpdate : public ProjectFileTest {
protected:
    // The project of the file with everything loaded.
    ProjectRecord* Open(bool readOnly = false) {
        ProjectRecord* project = OpenRecord(path, readOnly);
        EXPECT_TRUE(project);
        if (project) {
            EXPECT_EQ(LoadEverything(project, nullptr), 0);
        }
        return project;
    }
    std::string WriteFilled() {
        ProjectRecord* project = OpenRecord(path);
        Fill(project, tree.Dir("p"));
        EXPECT_EQ(WriteEverything(project), 0);
        CloseRecord(project);
        return SnapshotOfFile(path);
    }
    std::vector<std::string> AnnotationNames() {
        std::vector<std::string> names;
        for (const Block& b : BlocksOf(path))
            if (b.first >= kFirstAnnotationBlock && b.first <= kLastAnnotationBlock)
                names.push_back(b.second.substr(1, uint8_t(b.second[0])));
        return names;
    }
};

SheetSpec* SpecNamed(ProjectRecord* project, const char* name) { return GetNamedSheetSpec(project, name, nullptr); }

// Two sheet names whose annotation blocks have the same type.
std::pair<std::string, std::string> CollidingNames() {
    std::map<uint8_t, std::string> seen;
    for (int n = 0;; ++n) {
        const std::string name = "Sheet" + std::to_string(n) + ".SHX";
        const uint8_t id = AnnotationBlockId(name.c_str());
        if (seen.count(id)) return {seen[id], name};
        seen[id] = name;
    }
}

TEST_F(ProjectUpdate, SheetsWhoseBlockIdsCollideKeepABlockEach) {
    const auto [first, second] = CollidingNames();
    ProjectRecord* project = Open();
    SheetSpec* a = AddSheetSpecToProject(project, first.c_str());
    SheetSpec* b = AddSheetSpecToProject(project, second.c_str());
    a->annotationMap = MapOf({{1, 1, "R1", 0}});
    b->annotationMap = MapOf({{1, 1, "C9", 3}});
    ASSERT_EQ(WriteProjectSheetAnnotationMap(project, a, false), 0);
    ASSERT_EQ(WriteProjectSheetAnnotationMap(project, b, true), 0);
    EXPECT_EQ(AnnotationNames(), (std::vector<std::string>{first, second}));
    // Writing either again leaves the other's block as it is.
    SetAnnotation(a->annotationMap, 2, 1, "R2", 0);
    ApplyAnnotationMapChanges(a->annotationMap, nullptr);
    ASSERT_EQ(WriteProjectSheetAnnotationMap(project, a, true), 0);
    const std::vector<std::string> names = AnnotationNames();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{first, second}));
    EXPECT_EQ(names.size(), 2u);
    CloseRecord(project);

    // Each reads back its own map; a name whose case alone changed still finds its block.
    project = OpenRecord(path, true);
    a = AddSheetSpecToProject(project, first.c_str());
    std::string lower = second;
    for (char& c : lower) c = char(std::tolower(c));
    b = AddSheetSpecToProject(project, lower.c_str());
    project->settings.annotationFlags = 0;
    ASSERT_EQ(LoadAnnotationTable(project, a, 0), 0);
    ASSERT_EQ(LoadAnnotationTable(project, b, 0), 0);
    EXPECT_EQ(MapSnapshot(a->annotationMap), " 1:[1 R1 0] 2:[1 R2 0]");
    EXPECT_EQ(MapSnapshot(b->annotationMap), " 1:[1 C9 3]");
    uint32_t position = 0;
    ASSERT_EQ(FindProjectSheetAnnotationMap(project, b, 0, &position), 0);
    EXPECT_NE(position, 0u);
    EXPECT_EQ(GetStreamPosition(project->file.stream), int32_t(position));
    CloseRecord(project);
}

TEST_F(ProjectUpdate, ASpecWhoseMapIsNotLoadedKeepsItsBlock) {
    WriteFilled();
    const std::vector<Block> before = BlocksOf(path);
    ProjectRecord* project = OpenRecord(path);
    ASSERT_EQ(LoadProjectTopSheetRefs(project), 0);
    SheetSpec* top = SpecNamed(project, "Top0.SHX");
    ASSERT_TRUE(top);
    EXPECT_EQ(top->annotationMap, nullptr);
    top->flags |= kSheetSpecAnnotationDirty;
    EXPECT_EQ(WriteProjectSheetAnnotationMap(project, top, true), 0);
    EXPECT_EQ(UpdateProjectFile(project, true), 0);
    CloseRecord(project);
    EXPECT_EQ(BlocksOf(path), before);
}

TEST_F(ProjectUpdate, TheBlockOfASheetThatLeftGoesAtTheSixteenthUpdate) {
    WriteFilled();
    auto deadCount = [&]() -> int {
        for (const Block& b : BlocksOf(path))
            if (b.second.substr(1, uint8_t(b.second[0])) == "Second.SHX") {
                const size_t at = 1 + uint8_t(b.second[0]) + 2;
                return uint8_t(b.second[at]) | (uint8_t(b.second[at + 1]) << 8);
            }
        return -1;
    };
    for (int update = 1; update <= 16; ++update) {
        // Each update opens the project again: the count lives in the file.
        ProjectRecord* project = Open();
        SheetSpec* second = SpecNamed(project, "Second.SHX");
        LLRemoveOrFree(project->topLevelSheets, LLGetNext(project->topLevelSheets, LLFirst(project->topLevelSheets)),
                       nullptr, true);
        InvalidateInstanceSheets(project, second);
        ASSERT_TRUE(LLRemoveOrFree(project->sheetSpecs, second, nullptr, true));
        ASSERT_EQ(UpdateProjectFile(project, true), 0);
        CloseRecord(project);
        if (update < 16) {
            EXPECT_EQ(deadCount(), update);
        } else {
            EXPECT_EQ(deadCount(), -1);
        }
    }
    EXPECT_EQ(AnnotationNames(), (std::vector<std::string>{"Top0.SHX"}));
    // A block written in the other byte order has its count raised in that order.
    std::vector<Block> blocks = BlocksOf(path);
    for (Block& b : blocks) b.second = OtherOrder(b.first, b.second);
    const std::string other = tree.path("p/Other.PRX");
    WriteProjectFileOf(other, blocks);
    ProjectRecord* project = OpenRecord(other);
    ASSERT_EQ(ReleaseDeadAnnotationMaps(project), 0);
    CloseRecord(project);
    for (const Block& b : BlocksOf(other)) {
        if (b.first >= kFirstAnnotationBlock && b.first <= kLastAnnotationBlock) {
            EXPECT_EQ(b.second.substr(1 + 8 + 2, 2), Hex("0001"));
        }
    }
}

TEST_F(ProjectUpdate, TheUpdateWritesWhatChangedAndCompactsMuchFreeSpace) {
    WriteFilled();
    ProjectRecord* project = Open();
    // Settings with a great many attributes, then with none: the old block becomes free space.
    const int32_t many = 20000;
    MemFree(project->attributes);
    project->attributes = AllocHandleClear(nullptr, many * kAttributeSize);
    project->settings.attributeCount = many;
    ASSERT_EQ(WriteProjectSettings(project, true), 0);
    project->settings.attributeCount = 0;
    ASSERT_EQ(WriteProjectSettings(project, true), 0);
    uint32_t count = 0, bytes = 0;
    ASSERT_EQ(CountFreeBlocks(&project->file, &count, &bytes, false), 0);
    ASSERT_GE(bytes, kProjectCompactionThreshold);
    ASSERT_EQ(FlushDynamicFile(&project->file, true), 0);
    const std::string before = SnapshotOfFile(path);
    ASSERT_EQ(UpdateProjectFile(project, true), 0);
    ASSERT_EQ(CountFreeBlocks(&project->file, &count, &bytes, false), 0);
    EXPECT_EQ(count, 0u);
    CloseRecord(project);
    std::string file;
    ASSERT_TRUE(ReadFile(path, file));
    EXPECT_LT(file.size(), 8 * 1024u);
    EXPECT_EQ(SnapshotOfFile(path), before);

    // Less free space than that stays; blocks that did not change are not written.
    project = Open();
    ASSERT_EQ(WriteProjectSettings(project, false), 0);
    ASSERT_EQ(UpdateProjectFile(project, true), 0);
    ASSERT_EQ(CountFreeBlocks(&project->file, &count, &bytes, false), 0);
    EXPECT_EQ(count, 1u);
    const std::vector<Block> kept = BlocksOf(path);
    ASSERT_EQ(UpdateProjectFile(project, true), 0);
    EXPECT_EQ(BlocksOf(path), kept);
    // A changed instance list and a project with a window: blocks 2 and 3.
    InstallWindowBounds();
    project->window = FakeWindow();
    int marked = 0;
    static int* markedCount = &marked;
    ProjectServices services = GetProjectServices();
    services.markTreeInstances = [](ProjectRecord*) { ++*markedCount; };
    SetProjectServices(services);
    project->dirtyFlags |= kProjectInstancesChanged;
    ASSERT_EQ(UpdateProjectFile(project, false), 0);
    EXPECT_EQ(marked, 1);
    EXPECT_FALSE(project->dirtyFlags & kProjectInstancesChanged);
    project->window = nullptr;
    CloseRecord(project);
    ProjectWindowState window;
    project = OpenRecord(path, true);
    ASSERT_EQ(LoadProjectWindowState(project, &window), 0);
    EXPECT_EQ(window.bounds.right, 600);
    CloseRecord(project);
}

TEST_F(ProjectUpdate, AnnotationChangesReachTheFileAtTheUpdate) {
    WriteFilled();
    ProjectRecord* project = Open();
    SheetSpec* top = SpecNamed(project, "Top0.SHX");
    EXPECT_FALSE(IsProjectAnnotationDirty(project, true));
    SetAnnotation(top->annotationMap, 9, 1, "U4", 1);
    EXPECT_TRUE(IsProjectAnnotationDirty(project, false));
    ASSERT_EQ(UpdateProjectFile(project, false), 0);
    EXPECT_TRUE(IsProjectAnnotationDirty(project, false));  // without annotation nothing is applied
    ASSERT_EQ(UpdateProjectFile(project, true), 0);
    EXPECT_FALSE(IsProjectAnnotationDirty(project, false));
    EXPECT_FALSE(AnnotationMapHasChanges(top->annotationMap));
    CloseRecord(project);
    project = Open(true);
    EXPECT_EQ(MapSnapshot(SpecNamed(project, "Top0.SHX")->annotationMap), " 5:[1 R1 0][2 R0 1] 9:[1 U4 1]");
    CloseRecord(project);
}

// Each writer with a change of what it writes.
struct Change {
    const char* what;
    void (*change)(ProjectRecord* project, const DirectoryRef* sub);
    OSStatus (*write)(ProjectRecord* project);
};

const Change kChanges[] = {
    {"settings", [](ProjectRecord* p, const DirectoryRef*) { p->settings.rankLimit = 4321; },
     [](ProjectRecord* p) { return WriteProjectSettings(p, true); }},
    {"top-level sheets",
     [](ProjectRecord* p, const DirectoryRef*) { AddSubSheetReference(p, nullptr, "Extra.SHX", "", 0, 0); },
     [](ProjectRecord* p) { return WriteProjectTopSheetRefs(p, true); }},
    {"instances",
     [](ProjectRecord* p, const DirectoryRef*) {
         CreateSheetInstance(p, nullptr, 0, static_cast<SheetSpec*>(LLFirst(p->sheetSpecs)))->flags = 0;
     },
     [](ProjectRecord* p) { return WriteProjectInstanceList(p, true); }},
    {"paths",
     [](ProjectRecord* p, const DirectoryRef* sub) { AddPathSpecToList(p->paths, sub, kPathRootDefault, 2, false); },
     [](ProjectRecord* p) { return WriteProjectPathList(p, true); }},
    {"simulator maps", [](ProjectRecord* p, const DirectoryRef*) { AddSpiceCompMapEntry(p->compMap, 9, 9, "Q9"); },
     [](ProjectRecord* p) { return WriteProjectSpiceMaps(p); }},
    {"annotation",
     [](ProjectRecord* p, const DirectoryRef*) {
         AnnotationMap* map = GetNamedSheetSpec(p, "Top0.SHX", nullptr)->annotationMap;
         SetAnnotation(map, 5, 1, "R77", 0);
         ApplyAnnotationMapChanges(map, nullptr);
     },
     [](ProjectRecord* p) { return WriteProjectSheetAnnotationMap(p, GetNamedSheetSpec(p, "Top0.SHX", nullptr), true); }},
};

// A full disk at any byte of a block's commit, for good or for one write (room comes back after
// it): a commit that lost bytes reports it and leaves the file byte for byte; one that reports
// success wrote the new state whole.
TEST_F(ProjectUpdate, AFullDiskInACommitLeavesTheFileAsItWas) {
    tree.Folder("p/sub");
    const DirectoryRef* sub = tree.Dir("p/sub");
    for (const Change& c : kChanges) {
        SCOPED_TRACE(c.what);
        std::remove(path.c_str());
        ASSERT_EQ(CreateProjectFile(path), 0);
        const std::string previous = WriteFilled();
        std::string previousBytes;
        ASSERT_TRUE(ReadFile(path, previousBytes));
        // The whole commit, measured.
        int64_t total = 0;
        std::string changed;
        {
            ProjectRecord* project = Open();
            c.change(project, sub);
            FullDisk measure(-1);
            ASSERT_EQ(c.write(project), 0);
            total = GetFileBytesWritten();
            CloseRecord(project);
            changed = SnapshotOfFile(path);
        }
        ASSERT_NE(changed, previous);
        int failed = 0;
        for (int32_t failures : {-1, 1}) {
            for (int64_t room : FullDiskPoints(total, 16)) {
                SCOPED_TRACE(testing::Message() << "room " << room << " of " << total << ", failures " << failures);
                ASSERT_TRUE(WriteFile(path, previousBytes));  // every try starts from the same file
                ProjectRecord* project = Open();
                c.change(project, sub);
                OSStatus st;
                {
                    FullDisk disk(room, failures);
                    st = c.write(project);
                }
                if (st) {
                    ++failed;
                    std::string bytes;
                    ASSERT_TRUE(ReadFile(path, bytes));
                    EXPECT_TRUE(bytes == previousBytes);
                } else {
                    EXPECT_EQ(failures, 1);
                }
                CloseRecord(project);
                EXPECT_EQ(SnapshotOfFile(path), st ? previous : changed);
                EXPECT_EQ(FolderNames(tree.path("p")), (std::vector<std::string>{"Test.PRX", "sub"}));
            }
        }
        EXPECT_GT(failed, 16);
        // The file stays sound for writing.
        ProjectRecord* project = OpenRecord(path);
        ASSERT_TRUE(project);
        EXPECT_EQ(CheckDynamicFile(&project->file, nullptr, nullptr), 0);
        CloseRecord(project);
    }
}

// A project save (the update at its close) that meets a full disk reports it and leaves the old
// file byte for byte; what it was to write stays marked and reaches the file at the next update.
TEST_F(ProjectUpdate, AFullDiskInAnUpdateLeavesTheFileAndTheChangesToWrite) {
    WriteFilled();
    std::string before;
    ASSERT_TRUE(ReadFile(path, before));
    ProjectRecord* project = Open();
    SheetSpec* top = SpecNamed(project, "Top0.SHX");
    project->dirtyFlags |= kProjectInstancesChanged | kProjectPathsChanged;
    SetAnnotation(top->annotationMap, 9, 1, "U4", 1);
    for (int64_t room : {0, 100, 1000, 3000}) {
        SCOPED_TRACE(room);
        {
            FullDisk disk(room);
            EXPECT_NE(UpdateProjectFile(project, true), 0);
        }
        std::string bytes;
        ASSERT_TRUE(ReadFile(path, bytes));
        EXPECT_TRUE(bytes == before);
        EXPECT_EQ(project->dirtyFlags & (kProjectInstancesChanged | kProjectPathsChanged),
                  kProjectInstancesChanged | kProjectPathsChanged);
        EXPECT_TRUE(IsProjectAnnotationDirty(project, false));
    }
    ASSERT_EQ(UpdateProjectFile(project, true), 0);
    EXPECT_EQ(project->dirtyFlags & (kProjectInstancesChanged | kProjectPathsChanged), 0);
    EXPECT_FALSE(IsProjectAnnotationDirty(project, false));
    CloseRecord(project);
    project = Open(true);
    EXPECT_EQ(MapSnapshot(SpecNamed(project, "Top0.SHX")->annotationMap), " 5:[1 R1 0][2 R0 1] 9:[1 U4 1]");
    CloseRecord(project);
}

// Stands in for the sheet file's annotation block: what the sheet-file module reads and writes.
struct SheetFileAnnotation {
    static inline std::vector<std::string> log;
    static inline OSStatus writeStatus = 0;
    static void Install() {
        AnnotationContextHooks hooks = GetAnnotationContextHooks();
        hooks.readSheetFileAnnotation = [](const FileSpec* file, AnnotationMap** map) -> OSStatus {
            log.push_back(std::string("get ") + file->name);
            *map = MapOf({{1, 0, "R1", 0}});
            return 0;
        };
        SetAnnotationContextHooks(hooks);
        SheetServices s;
        s.writeSheetAnnotation = [](const FileSpec* file, AnnotationMap*) {
            log.push_back(std::string("write ") + file->name);
            return writeStatus;
        };
        SetSheetServices(s);
    }
    static void Remove() {
        AnnotationContextHooks hooks = GetAnnotationContextHooks();
        hooks.readSheetFileAnnotation = nullptr;
        SetAnnotationContextHooks(hooks);
        SetSheetServices(SheetServices{});
    }
};

TEST_F(ProjectUpdate, AnnotationKeptInTheSheets) {
    tree.Sheet("p/Top0.SHX");
    WriteFilled();
    SheetFileAnnotation::Install();
    SheetFileAnnotation::log.clear();
    ProjectRecord* project = Open();
    project->settings.annotationFlags = kAnnotationKeptInSheets;
    SheetSpec* top = SpecNamed(project, "Top0.SHX");
    SheetSpec* second = SpecNamed(project, "Second.SHX");
    const FileSpec file = SpecOf(tree.path("p/Top0.SHX"));
    EXPECT_EQ(LoadAnnotationTable(project, top, 0), 0);
    SheetLocalAnnotationEntry* entry = top->localAnnotation;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(FindSheetLocalAnnotation(&file), entry);
    EXPECT_EQ(MapSnapshot(entry->map), " 1:[0 R1 0]");
    EXPECT_EQ(LoadAnnotationTable(project, second, 0), status::kNotFound);  // no sheet file
    EXPECT_EQ(SheetFileAnnotation::log, (std::vector<std::string>{"get Top0.SHX"}));

    // Changes of a closed sheet's own map are written into the sheet file.
    SetAnnotation(entry->map, 1, 0, "R2", 0);
    EXPECT_TRUE(IsProjectAnnotationDirty(project, true));
    EXPECT_EQ(UpdateProjectSheetLocalAnnotation(project), 0);
    EXPECT_FALSE(entry->changed);
    EXPECT_FALSE(IsProjectAnnotationDirty(project, true));
    EXPECT_EQ(SheetFileAnnotation::log.back(), "write Top0.SHX");
    entry->changed = 1;
    SheetFileAnnotation::writeStatus = -34;
    EXPECT_EQ(UpdateProjectSheetLocalAnnotation(project), -34);
    EXPECT_TRUE(entry->changed);
    entry->changed = 0;
    SheetFileAnnotation::writeStatus = 0;

    // The entry is released only by its last user.
    ++entry->referenceCount;  // another project's spec of the sheet
    FreeAnnotationTable(project, top);
    EXPECT_EQ(top->localAnnotation, entry);
    ReleaseSheetLocalAnnotation(entry);  // the other user lets go
    FreeAnnotationTable(project, top);
    EXPECT_EQ(top->localAnnotation, nullptr);
    EXPECT_EQ(FindSheetLocalAnnotation(&file), nullptr);
    // A project map with changes stays; one without goes.
    SetAnnotation(second->annotationMap, 3, 0, "C13", 2);
    FreeAnnotationTable(project, second);
    EXPECT_NE(second->annotationMap, nullptr);
    ApplyAnnotationMapChanges(second->annotationMap, nullptr);
    second->flags &= uint16_t(~kSheetSpecAnnotationDirty);
    FreeAnnotationTable(project, second);
    EXPECT_EQ(second->annotationMap, nullptr);
    CloseRecord(project);
    SheetFileAnnotation::Remove();
}

struct Recorder {
    static inline std::vector<std::string> log;
};

TEST_F(ProjectUpdate, TheRecordItsDefaultsAndItsQueries) {
    ProjectServices services;
    services.createWindow = [](ProjectRecord*) {
        Recorder::log.push_back("window");
        return FakeWindow();
    };
    services.destroyWindow = [](ProjectRecord*) { Recorder::log.push_back("destroy window"); };
    services.destroyLog = [](ProjectRecord*) { Recorder::log.push_back("destroy log"); };
    services.destroyLibraryFiles = [](ProjectRecord*) { Recorder::log.push_back("destroy library files"); };
    SetProjectServices(services);
    Recorder::log.clear();

    FileSpec spec = SpecOf(path);
    DynamicFileRecord file;
    ASSERT_EQ(OpenDynamicFile(&spec, false, &file), 0);
    ProjectRecord* project = AllocateNewProject(&file);
    ASSERT_TRUE(project);
    EXPECT_EQ(gProjectList, project);
    EXPECT_EQ(project->window, FakeWindow());
    EXPECT_EQ(project->nextInstanceId, 1u);
    EXPECT_EQ(project->projectId, ProjectId(&spec));
    const ProjectSettings& s = project->settings;
    EXPECT_EQ(s.mark, 0x1234);
    EXPECT_EQ(s.signalScope, 1);
    EXPECT_EQ(s.qualifyShared, 1);
    EXPECT_EQ(s.annotationFlags, 2);
    EXPECT_STREQ(s.separator, ":");
    EXPECT_EQ(s.instanceNaming + s.qualifyAllLocal + s.flags + s.rankLimit + s.lastNetlistTime, 0u);
    EXPECT_EQ(project->reportOptions.descend + project->reportOptions.openOutput, 2);
    EXPECT_EQ(project->annotationOptions.startNumber, 1);
    EXPECT_EQ(project->annotationOptions.limitHierarchy, 1);
    EXPECT_EQ(project->resequenceOptions.startNumber, 1);
    EXPECT_EQ(project->resequenceOptions.limitHierarchy, 1);
    ASSERT_TRUE(project->attributes);
    EXPECT_EQ(SizeOfHandle(project->attributes), 0u);
    ASSERT_EQ(project->paths->count, 1u);
    const auto* own = static_cast<PathSpec*>(LLFirst(project->paths));
    EXPECT_EQ(own->rootKind, kPathRootOwner);
    EXPECT_EQ(own->flags & kPathFileKinds, kPathFileKinds);

    EXPECT_EQ(GetOpenProject(&spec), project);
    FileSpec other = SpecOf(tree.path("p/Other.PRX"));
    EXPECT_EQ(GetOpenProject(&other), nullptr);
    EXPECT_TRUE(AnnotSuffixEnabled(nullptr));
    EXPECT_TRUE(AnnotSuffixEnabled(project));
    EXPECT_FALSE(SetFileSymbolWarningsSuppressed(project, true));
    EXPECT_TRUE(GetFileSymbolWarningsSuppressed(project));
    EXPECT_TRUE(SetFileSymbolWarningsSuppressed(project, false));
    EXPECT_FALSE(GetFileSymbolWarningsSuppressed(nullptr));
    EXPECT_FALSE(SetFileSymbolWarningsSuppressed(nullptr, true));
    MarkProjectTreeDirty(project);
    EXPECT_TRUE(project->treeDirty);

    // Clearing the netlist time writes the settings when asked.
    project->settings.lastNetlistTime = 77;
    ASSERT_EQ(MarkSpiceProjectDirty(project, true), 0);
    EXPECT_EQ(project->settings.lastNetlistTime, 0u);
    ASSERT_EQ(BlocksOf(path).size(), 1u);
    EXPECT_EQ(BlocksOf(path)[0].first, kProjectSettingsBlock);
    ASSERT_EQ(MarkSpiceProjectDirty(project, true), 0);  // nothing to clear: nothing written

    // Resetting the paths forgets every resolved folder.
    SheetSpec* sheet = AddSheetSpecToProject(project, "A.SHX");
    sheet->directory = 3;
    ResetProjectPaths(project);
    EXPECT_EQ(sheet->directory, -1);
    EXPECT_EQ(own->directory, -1);

    gProjectList = project->next;
    project->log = reinterpret_cast<LogWindowRecord*>(uintptr_t(0x4000));
    ASSERT_EQ(CloseProjectFile(project), 0);
    DestroyProjectRecord(project);
    EXPECT_EQ(Recorder::log,
              (std::vector<std::string>{"window", "destroy library files", "destroy log", "destroy window"}));
}

TEST_F(ProjectUpdate, DamagedFilesEndWithAStatus) {
    WriteFilled();
    std::string good;
    ASSERT_TRUE(ReadFile(path, good));
    std::mt19937 random(TestSeed());
    const std::string damaged = tree.path("p/Damaged.PRX");
    const uint64_t rounds = StressCount(120);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = good;
        const int flips = 1 + int(random() % 6);
        for (int i = 0; i < flips; ++i) bytes[64 + random() % (bytes.size() - 64)] = char(random());
        if (random() % 5 == 0) bytes.resize(64 + random() % (bytes.size() - 64));
        ASSERT_TRUE(WriteFile(damaged, bytes));
        // A stored string block may ask for up to its format's largest block, whatever follows.
        CappedPool pool(kStringBlockMaxAllocated + (2u << 20));
        OSStatus st = 0;
        ProjectRecord* project = OpenRecord(damaged, true, &st);
        if (project) {
            (void)LoadEverything(project, nullptr);  // damaged input: only no crash counts
            CloseRecord(project);
        }
        std::string out, err;
        const char* argv[] = {"project-dump", damaged.c_str()};
        const int result = RunProjectDump(2, argv, &out, &err);
        EXPECT_LE(result, 2);
        EXPECT_FALSE(pool.hitCeiling()) << "seed " << TestSeed() << " round " << round;
    }
    // Every block cut short ends its read with a status.
    for (const Block& b : BlocksOf(path)) {
        for (size_t n = 1; n + 1 < b.second.size(); n += 1 + n / 4) {
            const std::string cut = tree.path("p/Cut.PRX");
            std::remove(cut.c_str());
            WriteProjectFileOf(cut, {{b.first, b.second.substr(0, n)}});
            ProjectRecord* project = OpenRecord(cut, true);
            ASSERT_TRUE(project);
            (void)LoadEverything(project, nullptr);  // damaged input: only no crash counts
            CloseRecord(project);
        }
    }
}

TEST_F(ProjectUpdate, ProjectDump) {
    WriteFilled();
    std::string out, err;
    const char* argv[] = {"project-dump", path.c_str()};
    EXPECT_EQ(RunProjectDump(2, argv, &out, &err), 0) << out << err;
    for (const char* line : {"block id 70: type 1 top-level sheets, 506 bytes\n    byte order native\n"
                             "    sheet \"Top0.SHX\"\n    sheet \"Second.SHX\"\n"
                             "    contents 24 bytes, padding 482 bytes\n",
                             "    signal scope          2 (Global  (Flat))\n",
                             "    instance name         following name, separator \"::\"\n",
                             "    attribute             Maker = Orvix\n",
                             "    print record          page-setup word 0x0102, 144 dpi, margins 10 20 30 40\n",
                             "    sheet \"Second.SHX\", 1 entries\n    symbol 3 instance 0 \"C12\" slot 2\n",
                             "    signal \"CLK\" -> \"NET_CLK\" qualifier \"U0\" instance 2\n",
                             "7 blocks, 0 free bytes\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;

    // Wrong usage, and files that are no project files.
    out.clear();
    err.clear();
    EXPECT_EQ(RunProjectDump(1, argv, &out, &err), 2);
    tree.Sheet("p/A.SHX");
    const std::string sheet = tree.path("p/A.SHX");
    const char* notProject[] = {"project-dump", sheet.c_str()};
    EXPECT_EQ(RunProjectDump(2, notProject, &out, &err), 2);
    tree.File("p/text.txt", "text");
    const std::string text = tree.path("p/text.txt");
    const char* notDynamic[] = {"project-dump", text.c_str()};
    EXPECT_EQ(RunProjectDump(2, notDynamic, &out, &err), 2);

    // A block that does not read, and padding that is not zero.
    std::vector<Block> blocks = BlocksOf(path);
    blocks[0].second.back() = 1;
    blocks.push_back({kProjectSettingsBlock, std::string(10, '\x7f')});
    const std::string damaged = tree.path("p/Damaged.PRX");
    WriteProjectFileOf(damaged, blocks);
    out.clear();
    const char* damagedArgs[] = {"project-dump", damaged.c_str()};
    EXPECT_EQ(RunProjectDump(2, damagedArgs, &out, &err), 1);
    EXPECT_NE(out.find("padding 482 bytes (not zero)"), std::string::npos) << out;
    EXPECT_NE(out.find("does not read: status -39"), std::string::npos) << out;
}

}  // namespace
}  // namespace plexa::test
