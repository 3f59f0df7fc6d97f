// Library search paths and library file lists (see libpaths.h).
#include "library/libpaths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/assert.h"
#include "foundation/bitarray.h"
#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/dirspec.h"
#include "foundation/folders.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "library/itemcache.h"
#include "library/libdigest.h"
#include "library/libfile.h"
#include "library/sheetlib.h"
#include "model/sheet.h"

namespace plexa {

namespace {

constexpr int32_t kFolderNamesQuantum = 512;
// What the walk answers to end the current search path after a cancel.
constexpr int32_t kWalkCancelled = int32_t(FourCC("cncl"));
constexpr const char* kSheetExtension = ".SHX";
constexpr const char* kEssentialLibrariesFolder = "Libraries";  // also the person's own
// The program's folder in the user's data folder.
constexpr const char* kUserDataFolder = "plexa";
// Where the essentials are: <base>/Essentials/Plexa/ (or Plexa+/), the base being the program's
// folder or the maker's folder in the Applications folder.
constexpr const char* kEssentialsFolder = "Essentials";
constexpr const char* kEssentialsProgramFolders[] = {"Plexa", "Plexa+"};
constexpr const char* kEssentialsMakerFolder = "Orvix";
constexpr const char* kSeparatorTitle = "-";

struct LibraryAccess {
    PathSpecList* paths = nullptr;       // the global search paths
    LinkListHeader* files = nullptr;     // the full list
    LinkListHeader* active = nullptr;    // copies of one folder's entries, none for all
    int32_t activeFolder = -1;
    LibraryFolderTable folders = nullptr;
    ProjectRecord* project = nullptr;    // whose libraries are merged in
    LibDirChoice choice = LibDirChoice::kNone;
};
LibraryAccess gLib;
LibraryAccessHooks gHooks;

StringBlock GlobalStrings() { return GetPathListStringBlock(gLib.paths); }
DirectoryList GlobalDirectories() { return GetPathListDirList(gLib.paths); }

LinkListHeader* CreateFileList() { return LLCreate(nullptr, sizeof(LibraryFileEntry), 0); }

LibraryFileEntry* FirstEntry(const LinkListHeader* list) { return static_cast<LibraryFileEntry*>(LLFirst(list)); }

std::string EntryName(const LibraryFileEntry* entry, StringBlock strings) {
    char name[kStringSpecBufferSize];
    ExtractStringSpec(entry->name, strings, name, sizeof name);
    return name;
}

// ---- Folder tables ----

StringBlock FolderNames(LibraryFolderTable table) {
    return table ? reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(table))) : nullptr;
}

int CompareFolders(DAArray table, const void* a, const void* b) {
    const StringBlock names = FolderNames(table);
    char first[kStringSpecBufferSize], second[kStringSpecBufferSize];
    ExtractStringSpec(static_cast<const LibraryFolderEntry*>(a)->name, names, first, sizeof first);
    ExtractStringSpec(static_cast<const LibraryFolderEntry*>(b)->name, names, second, sizeof second);
    return StrCmpAlphaNumeric(first, second, false);
}

LibraryFolderTable CreateFolderTable() {
    StringBlock names = CreateStringBlock(nullptr, kFolderNamesQuantum);
    if (!names) return nullptr;
    DAArray table = DACreate(nullptr, sizeof(LibraryFolderEntry), 0, kDASorted | kDALogicalIds);
    if (!table) {
        DestroyStringBlock(names);
        return nullptr;
    }
    DASetCompareProcEx(table, CompareFolders);
    DASetRefCon(table, uint64_t(uintptr_t(names)));
    return table;
}

bool AddFolderEntry(LibraryFolderTable table, const char* name, int32_t directory, bool merged) {
    LibraryFolderEntry entry{};
    entry.name = OverlayStringBlock(FolderNames(table), name, -1, nullptr);
    if (entry.name == 0 && name[0]) return false;
    entry.directory = directory;
    entry.merged = merged ? 1 : 0;
    return DAAdd(table, &entry) >= 0;
}

bool GetFolderEntry(LibraryFolderTable table, int32_t index, LibraryFolderEntry* entry) {
    if (!table || index < 0 || index >= DACount(table)) return false;
    const bool live = DAGet(table, index, entry);
    PLEXA_ASSERT(live);  // every index below the count holds an entry
    return live;
}

bool TableHasFolder(LibraryFolderTable table, int32_t directory) {
    LibraryFolderEntry entry;
    for (int32_t i = 0; GetFolderEntry(table, i, &entry); ++i)
        if (entry.directory == directory) return true;
    return false;
}

// ---- Lists ----

// Orders the list by file name (natural order without regard to case), equal names keeping their
// order.
void SortFileList(LinkListHeader* list, StringBlock strings) {
    std::vector<std::pair<std::string, LibraryFileEntry*>> entries;
    for (LibraryFileEntry* e = FirstEntry(list); e; e = e->next) entries.emplace_back(EntryName(e, strings), e);
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return StrCmpAlphaNumeric(a.first.c_str(), b.first.c_str(), false) < 0;
    });
    LLRemoveOrFreeAll(list, false);
    void* after = nullptr;
    for (auto& [name, entry] : entries) {
        entry->next = nullptr;
        after = LLInsert(list, after, entry);
    }
}

// Leaves out each library of the program's own that a library of the same name elsewhere (the
// person's copy, saved when they changed it) stands in for, so that the list shows one of each
// name and a library looked up by its name is the person's.
void DropCopiedEssentials(LinkListHeader* list, StringBlock strings, DirectoryList directories) {
    std::vector<LibraryFileEntry*> essentials;
    std::vector<std::string> others;
    for (LibraryFileEntry* e = FirstEntry(list); e; e = e->next) {
        FileSpec spec;
        ClearFileSpec(&spec);
        const std::string name = EntryName(e, strings);
        SetFileSpecName(&spec, name.c_str());
        if (GetDirectoryListDirectory(directories, e->directory, &spec.directory) && IsInEssentialsFolder(&spec))
            essentials.push_back(e);
        else
            others.push_back(name);
    }
    for (LibraryFileEntry* e : essentials) {
        const std::string name = EntryName(e, strings);
        if (std::any_of(others.begin(), others.end(), [&](const std::string& other) {
                return StrCINCmp(other.c_str(), name.c_str(), kFileSpecNameCapacity) == 0;
            }))
            LLRemoveOrFree(list, e, nullptr, true);
    }
}

LibraryFileEntry* IndexedEntry(int32_t which, int32_t index) {
    LinkListHeader* list = GetLibFilesList(which);
    if (!list || index < 0) return nullptr;
    auto* entry = static_cast<LibraryFileEntry*>(LLGetIndexedLink(list, uint32_t(index)));
    PLEXA_ASSERT(entry || uint32_t(index) >= list->count);
    return entry;
}

void DropActiveList() {
    if (gLib.active) LLDispose(gLib.active, true);
    gLib.active = nullptr;
    gLib.activeFolder = -1;
}

// The folder of a directory index of one list as an index of another (added when missing); -1
// when it gives no folder.
int32_t TranslateDirectory(DirectoryList from, int32_t index, DirectoryList to) {
    DirectoryRef folder;
    if (!GetDirectoryListDirectory(from, index, &folder)) return -1;
    return AddDirectoryToList(to, &folder);
}

// ---- The walk ----

struct Walk {
    PathSpecList* paths;
    LinkListHeader* list;
    void* tail;               // the list's last entry
    StringBlock strings;
    DirectoryList directories;
    LibraryFolderTable table;
    BitArray seen;            // folders given a table entry
    bool checkAllFiles;
    DirectoryRef previous;    // the folder of the previous file accepted
    int32_t folder = -1;      // its directory index
    bool revisit = false;     // that folder was walked before (reached by another path)
    uint64_t start = 0;
    bool messageShown = false;
    uint32_t skipped = 0;
};

uint64_t Now() {
    const PathSearchHooks& hooks = GetPathSearchHooks();
    return hooks.ticks ? hooks.ticks() : MonotonicTicks();
}

bool IsType(const FileSpec* file, const char* type) { return std::strncmp(file->type, type, 4) == 0; }

// The folder's name for the table: its path from the parent of its search path's folder, or its
// full path when it does not lie below that parent.
std::string FolderDisplayName(Walk* walk, PathSpec* entry, const FileSpec* file) {
    std::string folder;
    if (CreateDirectoryURLFromDirectory(&file->directory, &folder) != status::kNoErr) return {};
    char root[kDirectoryRefCapacity + 2];
    if (PathSpecToFullPath(walk->paths, entry, sizeof root, root) < 0) return folder;
    std::string parent(root);
    while (!parent.empty() && parent.back() == '/') parent.pop_back();
    const size_t slash = parent.rfind('/');
    if (parent.empty() || slash == std::string::npos) return folder;
    parent.resize(slash + 1);
    if (folder.size() > parent.size() && folder.compare(0, parent.size(), parent) == 0)
        return folder.substr(parent.size());
    return folder;
}

bool ListHolds(const LinkListHeader* list, StringBlock strings, const char* name, int32_t directory) {
    for (LibraryFileEntry* e = FirstEntry(list); e; e = e->next)
        if (e->directory == directory && EntryName(e, strings) == name) return true;
    return false;
}

int32_t AddLibFileEnumProc(const FileSpec* constFile, PathSpec* entry, bool, void* walkData, void*) {
    Walk* walk = static_cast<Walk*>(walkData);
    const PathSearchHooks& hooks = GetPathSearchHooks();
    if (!walk->messageShown && Now() - walk->start >= kLibSearchMessageTicks) {
        if (hooks.showMessage) hooks.showMessage(kSearchingLibrariesMessage);
        walk->messageShown = true;
    }
    // A file's type comes from its content, or else from its name: a library or sheet is taken
    // only when its content says so.
    FileSpec file = *constFile;
    const bool typed = IsType(&file, kLibraryFileType) || IsType(&file, kSheetFileTypeName);
    const bool lookedAt = typed || walk->checkAllFiles || NameHasExtension(file.name, kLibraryExtension) ||
                          NameHasExtension(file.name, kSheetExtension);
    bool accepted = false, isSheet = false;
    if (lookedAt && (entry->flags & kPathLibraryFiles) && !IsType(&file, kSheetFileTypeName) &&
        IsLibraryFile(&file) == status::kNoErr) {
        accepted = true;
        if (!IsType(&file, kLibraryFileType)) (void)SetFileCreatorAndType(&file, kLibraryCreator, kLibraryFileType);  // the kind is known from the content here
    } else if (lookedAt && (entry->flags & kPathSheetFiles) && !IsType(&file, kLibraryFileType) &&
               IsSheetWithFileSymbols(&file)) {
        accepted = isSheet = true;
        if (!IsType(&file, kSheetFileTypeName)) (void)SetFileCreatorAndType(&file, kLibraryCreator, kSheetFileTypeName);  // the kind is known from the content here
    }
    if (!accepted) {
        if (++walk->skipped % kLibSearchCancelStep == 0 && hooks.cancelKey && hooks.cancelKey())
            return kWalkCancelled;
        return 0;
    }
    if (walk->folder < 0 || !EqualDirectories(&walk->previous, &file.directory)) {
        const int32_t folder = AddDirectoryToList(walk->directories, &file.directory);
        if (folder < 0) return 0;
        walk->previous = file.directory;
        walk->folder = folder;
        walk->revisit = BitArrayTest(walk->seen, folder) != 0;
        if (!walk->revisit) {
            BitArraySet(walk->seen, folder);
            if (BitArrayTest(walk->seen, folder))
                AddFolderEntry(walk->table, FolderDisplayName(walk, entry, &file).c_str(), folder, false);
        }
    }
    // A folder reached again by another search path lists each of its files once.
    if (walk->revisit && ListHolds(walk->list, walk->strings, file.name, walk->folder)) return 0;
    const StringSpec name = OverlayStringBlock(walk->strings, file.name, -1, nullptr);
    auto* item = name ? static_cast<LibraryFileEntry*>(LLInsert(walk->list, walk->tail, nullptr)) : nullptr;
    if (!item) return 0;
    walk->tail = item;
    item->name = name;
    item->directory = walk->folder;
    item->isSheet = isSheet ? 1 : 0;
    return 0;
}

// Walks the paths into the list and a new folder table (none when memory fails).
LibraryFolderTable WalkLibraryPaths(PathSpecList* paths, LinkListHeader* list, StringBlock strings,
                                    DirectoryList directories, bool checkAllFiles) {
    Walk walk{};
    walk.paths = paths;
    walk.list = list;
    walk.tail = LLLast(list);
    walk.strings = strings;
    walk.directories = directories;
    walk.checkAllFiles = checkAllFiles;
    walk.table = CreateFolderTable();
    walk.seen = CreateBitArray(nullptr, 256);
    ClearDirectoryRef(&walk.previous);
    walk.start = Now();
    if (walk.table && walk.seen)
        EnumPathSpecList(paths, kPathSheetFiles | kPathLibraryFiles, AddLibFileEnumProc, nullptr, &walk);
    if (walk.seen) DisposeBitArray(walk.seen);
    if (walk.messageShown) {
        const PathSearchHooks& hooks = GetPathSearchHooks();
        if (hooks.showMessage) hooks.showMessage("");
    }
    return walk.table;
}

// ---- Merging ----

void SelectFirstFileAndItem() {
    if (CountLibraryFiles(kLibFilesAll) > 0 && SetCachedLibraryFile(kLibFilesActive, 0) == status::kNoErr)
        (void)SetCachedLibraryItem(0);  // a failed load leaves nothing selected
}

void MergeLibFilesProject(ProjectRecord* project, bool force) {
    // 1. What is selected now.
    int32_t previousFolder = gLib.activeFolder;
    FileSpec selectedFile;
    char selectedItem[kStringSpecBufferSize] = "";
    bool hadFile = false;
    if (gItemCache.selection.fileIndex >= 0) {
        bool isSheet = false;
        hadFile = GetIndexedLibFileSpec(kLibFilesAll, gItemCache.selection.fileIndex, &selectedFile, &isSheet);
        GetCachedLibraryItemName(selectedItem);
    }
    if (!SetActiveLibFiles(-1)) (void)SetCachedLibraryFile(kLibFilesAll, -1);  // clearing reports a failed close itself
    gLib.project = project;

    // 2. Out with the merged entries.
    bool changed = false;
    for (LibraryFileEntry *e = FirstEntry(gLib.files), *previous = nullptr, *next; e; e = next) {
        next = e->next;
        if (e->merged) {
            LLRemoveOrFree(gLib.files, e, previous, true);
            changed = true;
        } else {
            previous = e;
        }
    }
    if (gLib.folders) {
        for (int32_t i = DACount(gLib.folders) - 1; i >= 0; --i) {
            LibraryFolderEntry entry;
            if (!DAGet(gLib.folders, i, &entry) || !entry.merged) continue;
            if (entry.directory == previousFolder) previousFolder = -1;
            DARemove(gLib.folders, i);
        }
    }

    // 3. In with the project's libraries whose folders the global paths do not reach.
    if (project && project->libraryFiles && gLib.folders) {
        const DirectoryList globalDirs = GlobalDirectories();
        std::vector<int32_t> globalFolders;
        LibraryFolderEntry folder;
        for (int32_t i = 0; GetFolderEntry(gLib.folders, i, &folder); ++i) globalFolders.push_back(folder.directory);
        auto isGlobal = [&](int32_t d) {
            return std::find(globalFolders.begin(), globalFolders.end(), d) != globalFolders.end();
        };
        void* tail = LLLast(gLib.files);
        for (LibraryFileEntry* e = FirstEntry(project->libraryFiles); e; e = e->next) {
            const int32_t directory = TranslateDirectory(project->directories, e->directory, globalDirs);
            if (directory < 0 || isGlobal(directory)) continue;
            const StringSpec name =
                OverlayStringBlock(GlobalStrings(), EntryName(e, project->strings).c_str(), -1, nullptr);
            auto* copy = name ? static_cast<LibraryFileEntry*>(LLInsert(gLib.files, tail, nullptr)) : nullptr;
            if (!copy) break;
            tail = copy;
            copy->name = name;
            copy->directory = directory;
            copy->isSheet = e->isSheet;
            copy->merged = 1;
            changed = true;
        }
        const StringBlock projectNames = FolderNames(project->libraryFolders);
        for (int32_t i = 0; GetFolderEntry(project->libraryFolders, i, &folder); ++i) {
            const int32_t directory = TranslateDirectory(project->directories, folder.directory, globalDirs);
            if (directory < 0 || isGlobal(directory) || TableHasFolder(gLib.folders, directory)) continue;
            char name[kStringSpecBufferSize];
            ExtractStringSpec(folder.name, projectNames, name, sizeof name);
            AddFolderEntry(gLib.folders, name, directory, true);
        }
    }

    // 4. Order and first selection.
    if (force || changed) {
        SortFileList(gLib.files, GlobalStrings());
        SelectFirstFileAndItem();
    }
    if (changed) InvalidateLibDigestFile();

    // 5. The folder choice and the former selection again.
    BuildLibDirectoryMenu();
    if (previousFolder >= 0 && TableHasFolder(gLib.folders, previousFolder)) SetActiveLibFiles(previousFolder);
    if (hadFile) {
        const int32_t index = GetLibFileIndex(kLibFilesAll, &selectedFile);
        if (index >= 0) (void)SetCachedLibraryFile(kLibFilesAll, index);  // a library that does not open leaves nothing selected
        else (void)SetCachedLibraryFile(kLibFilesActive, 0);  // a library that does not open leaves nothing selected
        if (gItemCache.selection.fileIndex >= 0) {
            const int32_t item =
                LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), selectedItem);
            (void)SetCachedLibraryItem(item >= 0 ? item : 0);  // a failed load leaves nothing selected
        }
    }
}

}  // namespace

void SetLibraryAccessHooks(const LibraryAccessHooks& hooks) { gHooks = hooks; }
const LibraryAccessHooks& GetLibraryAccessHooks() { return gHooks; }

// ---- The essentials folder ----

OSStatus FindEssentialsFolderIn(const char* base, DirectoryRef* folder) {
    ClearDirectoryRef(folder);
    DirectoryRef essentials;
    if (!base || FindOrCreateSubFolder(base, kEssentialsFolder, false, &essentials) != status::kNoErr)
        return status::kFolderNotFound;
    std::string location;
    if (CreateDirectoryURLFromDirectory(&essentials, &location) != status::kNoErr)
        return status::kFolderNotFound;
    for (const char* name : kEssentialsProgramFolders)
        if (FindOrCreateSubFolder(location.c_str(), name, false, folder) == status::kNoErr)
            return status::kNoErr;
    ClearDirectoryRef(folder);
    return status::kFolderNotFound;
}

OSStatus FindEssentialsFolder(DirectoryRef* folder) {
    DirectoryRef base;
    std::string location;
    if (GetApplicationFolder(&base) && CreateDirectoryURLFromDirectory(&base, &location) == status::kNoErr &&
        FindEssentialsFolderIn(location.c_str(), folder) == status::kNoErr)
        return status::kNoErr;
    // The program's resources folder: <build>/resources in a build tree, <prefix>/share/plexa in
    // an installed one.
    if (VXGetBundleResourcesDirectory(&base) && CreateDirectoryURLFromDirectory(&base, &location) == status::kNoErr &&
        FindEssentialsFolderIn(location.c_str(), folder) == status::kNoErr)
        return status::kNoErr;
    if (VXGetApplicationsDirectory(kEssentialsMakerFolder, &base) &&
        CreateDirectoryURLFromDirectory(&base, &location) == status::kNoErr)
        return FindEssentialsFolderIn(location.c_str(), folder);
    ClearDirectoryRef(folder);
    return status::kFolderNotFound;
}

// ---- Libraries of the program and of the person ----

bool IsInEssentialsFolder(const FileSpec* spec) {
    DirectoryRef essentials;
    std::string folder, file;
    if (!gHooks.essentialsFolder || !gHooks.essentialsFolder(&essentials) ||
        CreateDirectoryURLFromDirectory(&essentials, &folder) != status::kNoErr ||
        CreateURLFromFileSpec(spec, true, &file) != status::kNoErr)
        return false;
    // Compared as the folders they are, whatever links lead there.
    std::error_code error;
    const std::string base = std::filesystem::weakly_canonical(folder, error).string();
    const std::string path = std::filesystem::weakly_canonical(file, error).string();
    return !base.empty() && path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
           path[base.size()] == '/';
}

bool IsLibraryFileReadOnly(const FileSpec* spec) { return IsInEssentialsFolder(spec) || !VXCanRewriteFile(spec); }

OSStatus GetUserLibrariesFolder(DirectoryRef* folder) {
    ClearDirectoryRef(folder);
    DirectoryRef data;
    std::string location;
    if (!VXGetUserDomainDirectory(kVXFolderApplicationSupport, kUserDataFolder, true, &data) ||
        CreateDirectoryURLFromDirectory(&data, &location) != status::kNoErr)
        return status::kFolderNotFound;
    return FindOrCreateSubFolder(location.c_str(), kEssentialLibrariesFolder, true, folder);
}

// ---- The library access state ----

void InitLibraryAccess() {
    if (gLib.paths) return;
    gLib.paths = CreatePathSpecList(nullptr, 0);
    gLib.files = CreateFileList();
    gLib.folders = CreateFolderTable();
    (void)InitItemCache();  // out of memory shows when the cache is used
    DirectoryRef essentials, libraries;
    if (gLib.paths && gHooks.essentialsFolder && gHooks.essentialsFolder(&essentials)) {
        std::string location;
        if (CreateDirectoryURLFromDirectory(&essentials, &location) == status::kNoErr &&
            FindOrCreateSubFolder(location.c_str(), kEssentialLibrariesFolder, false, &libraries) == status::kNoErr)
            AddPathSpecToList(gLib.paths, &libraries, kPathRootAbsolute, kEssentialLibrariesFlags, false);
    }
}

void DisposeLibraryAccess() {
    DisposeItemCache();
    InvalidateLibDigestFile();
    DropActiveList();
    if (gLib.files) LLDispose(gLib.files, true);
    DestroyLibDirTable(gLib.folders);
    if (gLib.paths) DestroyPathSpecList(gLib.paths);
    gLib = LibraryAccess{};
}

OSStatus SaveLibraryPathList(StreamRecord* stream) { return WritePathSpecList(stream, gLib.paths); }

OSStatus LoadLibraryPathList(StreamRecord* stream) {
    if (!gLib.paths) return status::kParamErr;
    return ReadPathSpecList(stream, gLib.paths, kLibraryPathDefaultFlags, false);
}

PathSpecList* GetLibFilesPathList() { return gLib.paths; }

void BuildLibraryFileList(ProjectRecord* project, bool checkAllFiles) {
    if (!gLib.paths) return;
    if (!project) {
        (void)SetCachedLibraryFile(kLibFilesAll, -1);  // clearing reports a failed close itself
        InvalidateLibDigestFile();
        LLRemoveOrFreeAll(gLib.files, true);
        DropActiveList();
        ResetPathSpecList(gLib.paths, true);
        LibraryFolderTable table =
            WalkLibraryPaths(gLib.paths, gLib.files, GlobalStrings(), GlobalDirectories(), checkAllFiles);
        DropCopiedEssentials(gLib.files, GlobalStrings(), GlobalDirectories());
        DestroyLibDirTable(gLib.folders);
        gLib.folders = table ? table : CreateFolderTable();
        if (gLib.project) {
            MergeLibFilesProject(gLib.project, true);
            return;
        }
        BuildLibDirectoryMenu();
        SortFileList(gLib.files, GlobalStrings());
        SelectFirstFileAndItem();
        return;
    }
    if (!project->paths || !project->strings || !project->directories) return;
    if (!project->libraryFiles) project->libraryFiles = CreateFileList();
    if (!project->libraryFiles) return;
    LLRemoveOrFreeAll(project->libraryFiles, true);
    ResetPathSpecList(project->paths, false);
    LibraryFolderTable table =
        WalkLibraryPaths(project->paths, project->libraryFiles, project->strings, project->directories, checkAllFiles);
    DestroyLibDirTable(project->libraryFolders);
    project->libraryFolders = table;
    project->libraryFolderNames = FolderNames(table);
    if (project == gLib.project) MergeLibFilesProject(project, true);
}

void RebuildProjectLibraryFiles(ProjectRecord* project, bool checkAllFiles) {
    if (project) BuildLibraryFileList(project, checkAllFiles);
}

void SetLibFilesProject(ProjectRecord* project, bool force) {
    if (!gLib.paths || project == gLib.project) return;
    MergeLibFilesProject(project, force);
}

void DisposeProjectLibraryFiles(ProjectRecord* project) {
    if (!project) return;
    UnsetLibFilesProject(project);
    if (project->libraryFiles) LLDispose(project->libraryFiles, true);
    DestroyLibDirTable(project->libraryFolders);
    project->libraryFiles = nullptr;
    project->libraryFolders = nullptr;
    project->libraryFolderNames = nullptr;
}

bool UnsetLibFilesProject(ProjectRecord* project) {
    if (!project || project != gLib.project) return false;
    SetLibFilesProject(nullptr, false);
    return true;
}

ProjectRecord* GetLibFilesProject() { return gLib.project; }

namespace {

struct SheetUpdate {
    SheetRecord* sheet;
    bool hasFileSymbols;
    bool rebuilt;
};

int32_t UpdateProjectForSheet(ProjectRecord* project, SheetSpec*, SheetRecord* sheet, void* data) {
    SheetUpdate* update = static_cast<SheetUpdate*>(data);
    if (!project->paths || !FindPathSpec(project->paths, &sheet->fileSpec.directory, true)) return 0;
    bool listed = false;
    const int32_t folder = GetDirectoryListIndex(project->directories, &sheet->fileSpec.directory);
    if (folder >= 0 && project->libraryFiles) {
        for (LibraryFileEntry* e = FirstEntry(project->libraryFiles); e && !listed; e = e->next)
            listed = e->directory == folder && StrCINCmp(EntryName(e, project->strings).c_str(), sheet->fileSpec.name,
                                                         kFileSpecNameCapacity) == 0;
    }
    if (listed != update->hasFileSymbols) {
        BuildLibraryFileList(project, false);
        update->rebuilt = true;
    }
    return 0;
}

}  // namespace

bool UpdateProjectLibraryListsForSheet(SheetRecord* sheet) {
    if (!sheet || IsDirectoryInvalid(&sheet->fileSpec.directory) || sheet->fileSpec.name[0] == 0) return false;
    SheetUpdate update{sheet, sheet->fileSymbolList && sheet->fileSymbolList->count > 0, false};
    EnumSheetProjects(sheet, UpdateProjectForSheet, &update);
    return update.rebuilt;
}

// ---- Lists ----

bool SetActiveLibFiles(int32_t directory) {
    if (directory < 0) directory = -1;
    if (directory == gLib.activeFolder) return false;
    (void)SetCachedLibraryFile(kLibFilesAll, -1);  // clearing reports a failed close itself
    DropActiveList();
    if (directory < 0) return true;
    gLib.active = CreateFileList();
    if (!gLib.active) return true;
    gLib.activeFolder = directory;
    void* after = nullptr;
    for (LibraryFileEntry* e = FirstEntry(gLib.files); e; e = e->next) {
        if (e->directory != directory) continue;
        auto* copy = static_cast<LibraryFileEntry*>(LLAlloc(gLib.active));
        if (!copy) break;
        *copy = *e;
        copy->next = nullptr;
        after = LLInsert(gLib.active, after, copy);
    }
    return true;
}

int32_t GetActiveLibDirectory() { return gLib.activeFolder; }

LinkListHeader* GetLibFilesList(int32_t which) {
    return which == kLibFilesActive && gLib.active ? gLib.active : gLib.files;
}

int32_t CountLibraryFiles(int32_t which) {
    const LinkListHeader* list = GetLibFilesList(which);
    return list ? int32_t(list->count) : 0;
}

bool GetIndexedLibFileInfo(int32_t which, int32_t index, char* name, int32_t* directory, DirectoryRef* folder,
                           bool* isSheet) {
    if (name) name[0] = 0;
    if (directory) *directory = -1;
    if (folder) ClearDirectoryRef(folder);
    if (isSheet) *isSheet = false;
    const LibraryFileEntry* entry = IndexedEntry(which, index);
    if (!entry) return false;
    if (name) ExtractStringSpec(entry->name, GlobalStrings(), name, kFileSpecNameCapacity);
    if (directory) *directory = entry->directory;
    if (folder) GetDirectoryListDirectory(GlobalDirectories(), entry->directory, folder);
    if (isSheet) *isSheet = entry->isSheet != 0;
    return true;
}

bool GetIndexedLibFileName(int32_t which, int32_t index, char* name) {
    return GetIndexedLibFileInfo(which, index, name, nullptr, nullptr, nullptr);
}

bool GetIndexedLibFileSpec(int32_t which, int32_t index, FileSpec* spec, bool* isSheet) {
    ClearFileSpec(spec);
    char name[kFileSpecNameCapacity];
    bool sheet = false;
    if (!GetIndexedLibFileInfo(which, index, name, nullptr, &spec->directory, &sheet)) return false;
    SetFileSpecName(spec, name);
    SetFileSpecCode(spec->creator, kLibraryCreator);
    SetFileSpecCode(spec->type, sheet ? kSheetFileTypeName : kLibraryFileType);
    if (isSheet) *isSheet = sheet;
    return true;
}

int32_t GetIndexedLibFileDirId(int32_t which, int32_t index) {
    const LibraryFileEntry* entry = IndexedEntry(which, index);
    return entry ? entry->directory : -1;
}

int32_t GetLibFileIndex(int32_t which, const FileSpec* spec) {
    if (!spec || !gLib.paths) return -1;
    const int32_t folder = GetDirectoryListIndex(GlobalDirectories(), &spec->directory);
    if (folder < 0) return -1;
    int32_t index = 0;
    for (LibraryFileEntry* e = FirstEntry(GetLibFilesList(which)); e; e = e->next, ++index)
        if (e->directory == folder &&
            StrCINCmp(EntryName(e, GlobalStrings()).c_str(), spec->name, kFileSpecNameCapacity) == 0)
            return index;
    return -1;
}

int32_t GetActiveLibFilesIndex(int32_t fullIndex) {
    if (!gLib.active) return fullIndex;
    const LibraryFileEntry* target = IndexedEntry(kLibFilesAll, fullIndex);
    if (!target || target->directory != gLib.activeFolder) return -1;
    int32_t index = 0;
    for (LibraryFileEntry* e = FirstEntry(gLib.files); e != target; e = e->next)
        if (e->directory == gLib.activeFolder) ++index;
    return index;
}

int32_t GetAllLibFilesIndex(int32_t activeIndex) {
    if (!gLib.active) return activeIndex;
    if (activeIndex < 0) return -1;
    int32_t index = 0, seen = 0;
    for (LibraryFileEntry* e = FirstEntry(gLib.files); e; e = e->next, ++index)
        if (e->directory == gLib.activeFolder && seen++ == activeIndex) return index;
    return -1;
}

// ---- Folders ----

LibraryFolderTable GetLibDirTable() { return gLib.folders; }

int32_t CountLibDirs() { return DACount(gLib.folders); }

bool GetIndexedLibDirName(int32_t tableIndex, char* name) {
    name[0] = 0;
    LibraryFolderEntry entry;
    if (!GetFolderEntry(gLib.folders, tableIndex, &entry)) return false;
    ExtractStringSpec(entry.name, FolderNames(gLib.folders), name, kStringSpecBufferSize);
    return true;
}

int32_t GetIndexedLibDirId(int32_t tableIndex) {
    LibraryFolderEntry entry;
    return GetFolderEntry(gLib.folders, tableIndex, &entry) ? entry.directory : -1;
}

int32_t GetActiveLibDirSelectionIndex() {
    LibraryFolderEntry entry;
    if (gLib.activeFolder >= 0)
        for (int32_t i = 0; GetFolderEntry(gLib.folders, i, &entry); ++i)
            if (entry.directory == gLib.activeFolder) return i + kLibDirFirstFolderItem;
    return kLibDirAllItem;
}

void DestroyLibDirTable(LibraryFolderTable table) {
    if (!table) return;
    DestroyStringBlock(FolderNames(table));
    DADispose(table);
}

void BuildLibDirectoryMenu() {
    const int32_t folders = CountLibDirs();
    gLib.choice = folders == 0                  ? LibDirChoice::kNone
                  : folders <= kLibDirMenuLimit ? LibDirChoice::kMenu
                                                : LibDirChoice::kPopupList;
    if (gHooks.folderChoiceChanged) gHooks.folderChoiceChanged(gLib.choice);
}

LibDirChoice GetLibDirChoice() { return gLib.choice; }

int32_t CountLibDirMenuItems() {
    return gLib.choice == LibDirChoice::kNone ? 0 : kLibDirFirstFolderItem - 1 + CountLibDirs();
}

bool GetLibDirMenuItem(int32_t item, char* title, int32_t size, bool* enabled) {
    if (title && size > 0) title[0] = 0;
    if (enabled) *enabled = false;
    if (item < 1 || item > CountLibDirMenuItems() || !title || size <= 0) return false;
    char name[kStringSpecBufferSize];
    const char* text = item == kLibDirAllItem       ? kAllLibrariesTitle
                       : item < kLibDirFirstFolderItem ? kSeparatorTitle
                                                       : name;
    if (item >= kLibDirFirstFolderItem) GetIndexedLibDirName(item - kLibDirFirstFolderItem, name);
    std::snprintf(title, size_t(size), "%s", text);
    if (enabled) *enabled = item != kLibDirAllItem + 1;
    return true;
}

}  // namespace plexa
