// Search-path lists (see pathspec.h).
#include "files/pathspec.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "files/filesstate.h"
#include "files/project.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/dirspec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"

namespace plexa {

namespace {

constexpr const char* kSearchMessage =
    "Searching paths for files...\r\rTo cancel, press the Escape key.";
// A search shows its message after this many ticks and then tests the cancel key every so
// many files.
constexpr uint64_t kSearchMessageTicks = 91;
constexpr uint32_t kCancelTestFiles = 32;
// A stored entry takes at least its kind, its flags and its length.
constexpr int32_t kStoredEntryMinimum = 6;

PathSearchHooks gSearchHooks;
bool& gSearchMessageUp = gFilesState.searchMessageUp;

ProjectRecord* ProjectOf(const PathListInfo* info) {
    return info && info->ownerKind == kProjectOwnerKind ? static_cast<ProjectRecord*>(info->owner)
                                                        : nullptr;
}

PathSpec* First(const PathSpecList* list) { return static_cast<PathSpec*>(LLFirst(list)); }

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The folder's path ending in "/", empty when it has none.
std::string FolderPath(const DirectoryRef* folder) {
    char buffer[kDirectoryRefCapacity + 2];
    if (PathNameFromDirectory(folder, buffer, sizeof buffer, nullptr) != status::kNoErr) return {};
    return buffer;
}

std::string WithoutSlash(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// A folder's identity, which a symbolic link shares with its target.
struct FolderId {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

bool IdOf(const std::string& path, FolderId* id) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    *id = {uint64_t(info.st_dev), uint64_t(info.st_ino)};
    return true;
}

struct FolderItem {
    std::string name;
    bool folder = false;  // a folder, or a symbolic link to one
    FolderId id;          // folders only
};

// The items of a folder in name order; none when it cannot be read.
std::vector<FolderItem> ListFolder(const std::string& path) {
    std::vector<FolderItem> items;
    DIR* folder = ::opendir(path.c_str());
    if (!folder) return items;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        FolderItem item;
        item.name = entry->d_name;
        item.folder = IdOf(Join(path, item.name), &item.id);
        items.push_back(std::move(item));
    }
    ::closedir(folder);
    std::sort(items.begin(), items.end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return items;
}

enum class WalkStep { kOn, kSkipBelow, kStop };

// Walks a folder tree depth first: `onFolder(path, items, depth)` is called for the root and for
// each folder entered, and the sub-folders of a folder are entered in name order after it unless
// it answered kSkipBelow. Shielded folders are not entered below the root, nor a folder that is
// already on the walk's chain (a link loop). Returns false when a call answered kStop.
template <class OnFolder>
bool WalkFolders(const std::string& root, bool descend, OnFolder&& onFolder) {
    struct Frame {
        std::string path;
        FolderId id;
        std::vector<FolderItem> below;
        size_t next = 0;
    };
    std::vector<Frame> chain;
    auto enter = [&](const std::string& path, const FolderId& id) {
        std::vector<FolderItem> items = ListFolder(path);
        const std::vector<FolderItem>& seen = items;
        const WalkStep step = onFolder(path, seen, int32_t(chain.size()));
        if (step == WalkStep::kStop) return false;
        Frame frame{path, id, {}, 0};
        if (descend && step == WalkStep::kOn)
            for (FolderItem& item : items)
                if (item.folder && !IsShieldedName(item.name.c_str()))
                    frame.below.push_back(std::move(item));
        chain.push_back(std::move(frame));
        return true;
    };
    FolderId rootId;
    if (!IdOf(root, &rootId)) return true;
    if (!enter(root, rootId)) return false;
    while (!chain.empty()) {
        Frame& top = chain.back();
        if (top.next == top.below.size()) {
            chain.pop_back();
            continue;
        }
        const FolderItem& item = top.below[top.next++];
        const bool onChain = std::any_of(chain.begin(), chain.end(),
                                         [&item](const Frame& f) { return f.id == item.id; });
        if (onChain) continue;
        const std::string path = Join(top.path, item.name);
        const FolderId id = item.id;
        if (!enter(path, id)) return false;
    }
    return true;
}

// The busy cursor, the message after 91 ticks and the cancel key of one search.
struct SearchProgress {
    uint64_t start = 0;
    uint32_t files = 0;
    bool cancelled = false;

    static uint64_t Now() { return gSearchHooks.ticks ? gSearchHooks.ticks() : MonotonicTicks(); }
    SearchProgress() : start(Now()) {}

    // One file visited; false when the user cancelled.
    bool Visit() {
        if (cancelled) return false;
        if (gSearchHooks.busy) gSearchHooks.busy();
        ++files;
        if (!gSearchMessageUp && Now() - start >= kSearchMessageTicks) {
            if (gSearchHooks.showMessage) gSearchHooks.showMessage(kSearchMessage);
            gSearchMessageUp = true;
        }
        if (gSearchMessageUp && files % kCancelTestFiles == 0 && gSearchHooks.cancelKey &&
            gSearchHooks.cancelKey())
            cancelled = true;
        return !cancelled;
    }
};

// The root of a kind, ending in "/"; empty when unknown.
std::string RootPathOf(const PathSpecList* list, int32_t rootKind) {
    if (rootKind != kPathRootOwner && rootKind != kPathRootApplication) return {};
    const ProjectRecord* project = ProjectOf(GetPathListInfo(list));
    if (rootKind == kPathRootOwner && project) return FolderPath(&project->file.spec.directory);
    DirectoryRef folder;
    return GetApplicationFolder(&folder) ? FolderPath(&folder) : std::string();
}

std::string PathOf(const PathSpecList* list, const PathSpec* entry) {
    char buffer[kStringSpecBufferSize];
    ExtractStringSpec(entry->path, GetPathListStringBlock(list), buffer, sizeof buffer);
    return buffer;
}

// The absolute path an entry names, ending in "/"; empty when its root is unknown.
std::string FullPathOf(const PathSpecList* list, const PathSpec* entry) {
    const std::string path = PathOf(list, entry);
    std::string full;
    if (entry->rootKind == kPathRootAbsolute) {
        full = path;
    } else {
        full = RootPathOf(list, entry->rootKind);
        if (full.empty() || !ResolveRelativePath(&full, path, false)) return {};
    }
    if (full.empty() || full[0] != '/') return {};
    if (full.back() != '/') full += '/';
    return full;
}

bool StorePath(PathSpecList* list, PathSpec* entry, const std::string& path, uint8_t rootKind) {
    if (path.size() > kPathSpecMaxLength) return false;
    const StringSpec spec = path.empty()
                                ? 0
                                : OverlayStringBlock(GetPathListStringBlock(list), path.data(),
                                                     int32_t(path.size()), nullptr);
    if (!path.empty() && spec == 0) return false;
    entry->path = spec;
    entry->rootKind = rootKind;
    entry->directory = -1;
    return true;
}

void MarkPathsChanged(PathSpecList* list) {
    if (ProjectRecord* project = ProjectOf(GetPathListInfo(list)))
        project->dirtyFlags |= kProjectPathsChanged;
}

bool SameFolder(const DirectoryRef* a, const std::string& path) {
    FolderId ia, ib;
    return IdOf(WithoutSlash(FolderPath(a)), &ia) && IdOf(WithoutSlash(path), &ib) && ia == ib;
}

// Whether the folder lies in the tree below `top` (not entering shielded folders, following
// links to folders). A folder whose path runs below top's through folders that are not shielded
// is found without a walk.
bool TreeHoldsFolder(const std::string& top, const std::string& folder, const FolderId& target) {
    const std::string base = top.back() == '/' ? top : top + "/";
    if (folder.size() > base.size() && folder.compare(0, base.size(), base) == 0) {
        bool shielded = false;
        size_t start = base.size();
        while (start < folder.size()) {
            size_t end = folder.find('/', start);
            if (end == std::string::npos) end = folder.size();
            if (IsShieldedName(folder.substr(start, end - start).c_str())) shielded = true;
            start = end + 1;
        }
        if (!shielded) return true;
    }
    bool found = false;
    WalkFolders(WithoutSlash(top), true,
                [&](const std::string&, const std::vector<FolderItem>& items, int32_t) {
                    for (const FolderItem& item : items)
                        if (item.folder && item.id == target && !IsShieldedName(item.name.c_str())) {
                            found = true;
                            return WalkStep::kStop;
                        }
                    return WalkStep::kOn;
                });
    return found;
}

// Calls each(entry, folder path) for the entries that have one of the kinds and resolve, in
// order, while it answers true.
template <class Each>
void ForEachEntryFolder(PathSpecList* list, uint8_t kinds, Each&& each) {
    for (PathSpec* entry = First(list); entry; entry = entry->next) {
        if (!(entry->flags & kinds)) continue;
        DirectoryRef folder;
        if (!ResolvePathSpec(list, entry, &folder)) continue;
        const std::string root = WithoutSlash(FolderPath(&folder));
        if (!root.empty() && !each(entry, root)) return;
    }
}

// ---- File search ----

struct SearchKey {
    char name[kFileSpecNameCapacity];
    char type[5];
    bool anyType;
    bool mustExist;
};

SearchKey KeyOf(const FileSpec* spec, bool mustExist) {
    SearchKey key{};
    std::memcpy(key.name, spec->name, sizeof key.name);
    key.name[sizeof key.name - 1] = 0;
    std::memcpy(key.type, spec->type, sizeof key.type);
    key.type[4] = 0;
    key.anyType = std::strcmp(key.type, "*") == 0;
    key.mustExist = mustExist;
    return key;
}

// The item of a folder that the key finds: the exact name first, then the other names that
// equal it without regard to case, in name order; the first whose type fits and which, with
// mustExist, resolves to a file. The spec is filled on a hit.
bool PickInFolder(const std::string& folder, const std::vector<FolderItem>& items,
                  const SearchKey& key, SearchProgress* progress, FileSpec* out) {
    std::vector<const FolderItem*> candidates;
    for (const FolderItem& item : items) {
        if (!progress->Visit()) return false;
        if (StrCINCmp(item.name.c_str(), key.name, kFileSpecNameCapacity) != 0) continue;
        if (item.name == key.name) {
            candidates.insert(candidates.begin(), &item);
        } else {
            candidates.push_back(&item);
        }
    }
    for (const FolderItem* item : candidates) {
        FileSpec found;
        bool isFolder = false;
        if (FileSpecFromURL(Join(folder, item->name), &found, true, &isFolder) != status::kNoErr)
            continue;
        if (!key.anyType && std::strncmp(found.type, key.type, 4) != 0) continue;
        if (key.mustExist) {
            // The item found stays named as found; a link counts when its target is a file.
            FileSpec target = found;
            bool wasAlias = false;
            if (ResolveFileSpec(&target, false, &wasAlias, &isFolder) != status::kNoErr || isFolder)
                continue;
        }
        *out = found;
        return true;
    }
    return false;
}

}  // namespace

// ---- Lists and entries ----

PathSpecList* CreatePathSpecList(void* owner, uint32_t ownerKind) {
    auto* info = reinterpret_cast<PathListInfo*>(AllocPtrClear(nullptr, sizeof(PathListInfo)));
    if (!info) return nullptr;
    info->owner = owner;
    info->ownerKind = ownerKind;
    info->users = 1;
    bool ok = true;
    if (ownerKind == kProjectOwnerKind) {
        const ProjectRecord* project = static_cast<const ProjectRecord*>(owner);
        ok = project && project->strings && project->directories;
    } else {
        info->strings = CreateStringBlock(nullptr, kPathListStringQuantum);
        info->directories = CreateDirectoryList();
        ok = info->strings && info->directories;
    }
    LinkListHeader* list = ok ? LLCreate(nullptr, sizeof(PathSpec), 0) : nullptr;
    if (!list) {
        DestroyStringBlock(info->strings);
        DestroyDirectoryList(info->directories);
        MemFreePtr(reinterpret_cast<Ptr>(info));
        return nullptr;
    }
    list->owner = info;
    return list;
}

void DestroyPathSpecList(PathSpecList* list) {
    if (!list) return;
    PathListInfo* info = GetPathListInfo(list);
    LLDispose(list, true);
    if (info && --info->users == 0) {
        DestroyStringBlock(info->strings);
        DestroyDirectoryList(info->directories);
        MemFreePtr(reinterpret_cast<Ptr>(info));
    }
}

PathSpecList* DuplicatePathSpecList(PathSpecList* list, bool sameInfo) {
    PathListInfo* info = GetPathListInfo(list);
    if (!info) return nullptr;
    PathSpecList* copy = nullptr;
    if (sameInfo) {
        copy = LLCreate(nullptr, sizeof(PathSpec), 0);
        if (!copy) return nullptr;
        copy->owner = info;
        ++info->users;
    } else {
        copy = CreatePathSpecList(info->owner, info->ownerKind);
        if (!copy) return nullptr;
    }
    const StringBlock from = GetPathListStringBlock(list), to = GetPathListStringBlock(copy);
    const bool sameDirectories = GetPathListDirList(list) == GetPathListDirList(copy);
    PathSpec* last = nullptr;
    for (PathSpec* entry = First(list); entry; entry = entry->next) {
        PathSpec* item = CreatePathSpec(entry->flags);
        const StringSpec path = from == to ? entry->path : TransferStringSpec(entry->path, from, to, true);
        if (!item || (entry->path != 0 && path == 0)) {
            if (item) MemFreePtr(reinterpret_cast<Ptr>(item));
            DestroyPathSpecList(copy);
            return nullptr;
        }
        item->flags = entry->flags;
        item->rootKind = entry->rootKind;
        item->path = path;
        item->directory = sameDirectories ? entry->directory : -1;
        last = static_cast<PathSpec*>(LLInsert(copy, last, item));
    }
    return copy;
}

PathSpec* CreatePathSpec(uint8_t flags) {
    auto* entry = reinterpret_cast<PathSpec*>(AllocPtrClear(nullptr, sizeof(PathSpec)));
    if (!entry) return nullptr;
    entry->directory = -1;
    entry->flags = uint8_t(flags | kPathPosixForm | kPathFlagsValid);
    return entry;
}

PathListInfo* GetPathListInfo(const PathSpecList* list) {
    return list ? static_cast<PathListInfo*>(list->owner) : nullptr;
}

DirectoryList GetPathListDirList(const PathSpecList* list) {
    const PathListInfo* info = GetPathListInfo(list);
    if (const ProjectRecord* project = ProjectOf(info)) return project->directories;
    return info ? info->directories : nullptr;
}

StringBlock GetPathListStringBlock(const PathSpecList* list) {
    const PathListInfo* info = GetPathListInfo(list);
    if (const ProjectRecord* project = ProjectOf(info)) return project->strings;
    return info ? info->strings : nullptr;
}

void GetPathSpecPath(const PathSpecList* list, const PathSpec* entry, char* buffer, int32_t size) {
    ExtractStringSpec(entry ? entry->path : 0, GetPathListStringBlock(list), buffer, size);
}

PathSpec* AddPathSpecToList(PathSpecList* list, const DirectoryRef* folder, int32_t rootKind,
                            uint8_t flags, bool searchSubFolders) {
    if (!list || IsDirectoryInvalid(folder)) return nullptr;
    if (PathSpec* found = FindPathSpec(list, folder, searchSubFolders)) {
        const uint8_t gained = uint8_t(flags & kPathFileKinds & ~found->flags);
        if (gained) {
            found->flags |= gained;
            MarkPathsChanged(list);
        }
        return found;
    }
    if (rootKind == kPathRootDefault)
        rootKind = ProjectOf(GetPathListInfo(list)) ? kPathRootOwner : kPathRootAbsolute;
    PathSpec* entry = CreatePathSpec(flags);
    if (!entry) return nullptr;
    if (SetPathSpecFromDir(list, entry, folder, rootKind) < 0) {
        MemFreePtr(reinterpret_cast<Ptr>(entry));
        return nullptr;
    }
    LLAppend(list, entry);
    MarkPathsChanged(list);
    return entry;
}

int32_t SetPathSpecFromDir(PathSpecList* list, PathSpec* entry, const DirectoryRef* folder,
                           int32_t rootKind) {
    if (!list || !entry) return -1;
    const std::string path = FolderPath(folder);
    if (path.empty()) return -1;
    if (rootKind == kPathRootOwner || rootKind == kPathRootApplication) {
        std::string root = RootPathOf(list, rootKind), relative;
        if (!root.empty() && BuildRelativePath(root, path, &relative, false) &&
            StorePath(list, entry, relative, uint8_t(rootKind)))
            return rootKind;
    }
    return StorePath(list, entry, path, kPathRootAbsolute) ? kPathRootAbsolute : -1;
}

int32_t SetPathSpecFromFileSpec(PathSpecList* list, PathSpec* entry, const FileSpec* folder,
                                int32_t rootKind) {
    DirectoryRef directory;
    if (!folder || DirectoryFromFolderSpec(folder, &directory) != status::kNoErr) return -1;
    return SetPathSpecFromDir(list, entry, &directory, rootKind);
}

int32_t GetRootPath(const PathSpecList* list, int32_t rootKind, char* out, int32_t size) {
    if (out && size > 0) out[0] = 0;
    const std::string root = RootPathOf(list, rootKind);
    if (root.empty() || !out || int32_t(root.size()) >= size) return 0;
    std::memcpy(out, root.c_str(), root.size() + 1);
    return int32_t(root.size());
}

bool GetApplicationFolder(DirectoryRef* folder) {
    FileSpec program;
    ClearDirectoryRef(folder);
    if (GetApplicationFileSpec(&program) != status::kNoErr) return false;
    *folder = program.directory;
    return !IsDirectoryInvalid(folder);
}

bool ResolvePathSpec(PathSpecList* list, PathSpec* entry, DirectoryRef* outFolder) {
    DirectoryRef folder;
    ClearDirectoryRef(&folder);
    if (outFolder) ClearDirectoryRef(outFolder);
    if (!list || !entry) return false;
    const DirectoryList directories = GetPathListDirList(list);
    if (entry->directory >= 0) {
        if (GetDirectoryListDirectory(directories, entry->directory, &folder)) {
            if (outFolder) *outFolder = folder;
            return true;
        }
        entry->directory = -1;  // the folder went away: try its path again
    }
    const std::string full = FullPathOf(list, entry);
    if (full.empty() || DirectoryFromPathName(nullptr, full.c_str(), &folder) != status::kNoErr)
        return false;
    // A folder that took the place of one listed before (a folder moved away and back) can map
    // onto that stale entry; the entry stays unresolved then and the folder is used as found.
    const int32_t index = AddDirectoryToList(directories, &folder);
    DirectoryRef listed;
    if (index >= 0 && GetDirectoryListDirectory(directories, index, &listed) &&
        EqualDirectories(&listed, &folder))
        entry->directory = index;
    if (outFolder) *outFolder = folder;
    return true;
}

int32_t PathSpecToFullPath(PathSpecList* list, PathSpec* entry, int32_t size, char* out) {
    if (out && size > 0) out[0] = 0;
    DirectoryRef folder;
    if (!ResolvePathSpec(list, entry, &folder)) return -1;
    const std::string path = FolderPath(&folder);
    if (path.empty() || !out || int32_t(path.size()) >= size) return -1;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return int32_t(path.size());
}

void ResetPathSpecList(PathSpecList* list, bool clearDirectories) {
    for (PathSpec* entry = First(list); entry; entry = entry->next) entry->directory = -1;
    if (clearDirectories) {
        if (DirectoryList directories = GetPathListDirList(list)) DAFreeAll(directories);
    }
}

PathSpec* FindPathSpec(PathSpecList* list, const DirectoryRef* folder, bool searchSubFolders) {
    const std::string path = FolderPath(folder);
    FolderId target;
    if (path.empty() || !IdOf(WithoutSlash(path), &target)) return nullptr;
    char name[kFileSpecNameCapacity];
    const bool shielded = GetDirectoryName(folder, name, sizeof name) && IsShieldedName(name);
    for (PathSpec* entry = First(list); entry; entry = entry->next) {
        DirectoryRef entryFolder;
        if (!ResolvePathSpec(list, entry, &entryFolder)) continue;
        if (SameFolder(&entryFolder, path)) return entry;
        if (searchSubFolders && !shielded && (entry->flags & kPathSearchSubFolders) &&
            TreeHoldsFolder(FolderPath(&entryFolder), WithoutSlash(path), target))
            return entry;
    }
    return nullptr;
}

bool IsShieldedName(const char* name) {
    if (!name) return false;
    const char* start = name;
    while (*start == ' ') ++start;
    const char* end = start + std::strlen(start);
    while (end > start && end[-1] == ' ') --end;
    return end - start >= 2 && *start == '(' && end[-1] == ')';
}

// ---- Searching ----

bool FindFileInFolder(const DirectoryRef* folder, FileSpec* fileSpec, bool mustExist) {
    if (!fileSpec || !fileSpec->name[0]) return false;
    const std::string path = WithoutSlash(FolderPath(folder));
    if (path.empty()) return false;
    SearchProgress progress;
    FileSpec found;
    if (!PickInFolder(path, ListFolder(path), KeyOf(fileSpec, mustExist), &progress, &found))
        return false;
    *fileSpec = found;
    return true;
}

bool ResolveFilePath(PathSpecList* list, uint8_t kinds, FileSpec* fileSpec, bool mustExist,
                     bool* outCancelled) {
    if (outCancelled) *outCancelled = false;
    if (!list || !fileSpec || !fileSpec->name[0]) return false;
    kinds &= kPathFileKinds;
    const SearchKey key = KeyOf(fileSpec, mustExist);
    SearchProgress progress;
    FileSpec found;
    bool hit = false;
    ForEachEntryFolder(list, kinds, [&](PathSpec* entry, const std::string& root) {
        // The entry's folder first, then (searching sub-folders) every folder below it.
        WalkFolders(root, (entry->flags & kPathSearchSubFolders) != 0,
                    [&](const std::string& path, const std::vector<FolderItem>& items, int32_t) {
                        hit = PickInFolder(path, items, key, &progress, &found);
                        return hit || progress.cancelled ? WalkStep::kStop : WalkStep::kOn;
                    });
        return !hit && !progress.cancelled;
    });
    if (progress.cancelled) {
        if (outCancelled) *outCancelled = true;
        return false;
    }
    if (hit) *fileSpec = found;
    return hit;
}

int32_t EnumPathSpecList(PathSpecList* list, uint8_t kinds, PathWalkProc proc, void* procData,
                         void* walkData) {
    if (!list || !proc) return 0;
    kinds &= kPathFileKinds;
    int32_t result = 0;
    ForEachEntryFolder(list, kinds, [&](PathSpec* entry, const std::string& root) {
        WalkFolders(root, (entry->flags & kPathSearchSubFolders) != 0,
                    [&](const std::string& path, const std::vector<FolderItem>& items, int32_t) {
                        for (const FolderItem& item : items) {
                            if (item.folder) continue;
                            FileSpec file;
                            bool isFolder = false, wasAlias = false;
                            if (FileSpecFromURL(Join(path, item.name), &file, true, &isFolder) !=
                                    status::kNoErr ||
                                ResolveFileSpec(&file, false, &wasAlias, &isFolder) != status::kNoErr)
                                continue;
                            result = proc(&file, entry, wasAlias, walkData, procData);
                            if (result == kPathWalkSkipFolder) return WalkStep::kSkipBelow;
                            if (result != 0) return WalkStep::kStop;
                        }
                        return WalkStep::kOn;
                    });
        return true;
    });
    return result;
}

void SetPathSearchHooks(const PathSearchHooks& hooks) { gSearchHooks = hooks; }
const PathSearchHooks& GetPathSearchHooks() { return gSearchHooks; }

void ClearPathSearchMessage() {
    if (!gSearchMessageUp) return;
    gSearchMessageUp = false;
    if (gSearchHooks.showMessage) gSearchHooks.showMessage("");
}

// ---- Stored form ----

OSStatus WritePathSpecList(StreamRecord* stream, const PathSpecList* list) {
    if (!stream) return status::kParamErr;
    uint32_t count = 0;
    for (const PathSpec* entry = First(list); entry; entry = entry->next) ++count;
    if (OSStatus st = StreamWriteLong(stream, count)) return st;
    char path[kStringSpecBufferSize];
    for (const PathSpec* entry = First(list); entry; entry = entry->next) {
        const uint32_t length = uint32_t(
            ExtractStringSpec(entry->path, GetPathListStringBlock(list), path, sizeof path));
        const uint8_t head[2] = {entry->rootKind, uint8_t(entry->flags | kPathPosixForm)};
        if (OSStatus st = StreamWrite(stream, head, 2)) return st;
        if (OSStatus st = StreamWriteLong(stream, length)) return st;
        if (OSStatus st = StreamWrite(stream, path, int32_t(length))) return st;
    }
    return status::kNoErr;
}

OSStatus ReadPathSpecList(StreamRecord* stream, PathSpecList* list, uint8_t defaultFlags,
                          bool convert) {
    if (!stream || !list) return status::kParamErr;
    LLRemoveOrFreeAll(list, true);
    auto fail = [list](OSStatus st) {
        LLRemoveOrFreeAll(list, true);
        return st;
    };
    uint32_t count = 0;
    if (OSStatus st = StreamReadLong(stream, &count)) return fail(st);
    const int32_t left = GetStreamEnd(stream) - GetStreamPosition(stream);
    if (count > uint32_t(left / kStoredEntryMinimum)) return fail(status::kEndOfFile);
    PathSpec* last = nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t head[2];
        int32_t n = 2;
        uint32_t length = 0;
        if (OSStatus st = StreamRead(stream, head, &n)) return fail(st);
        if (OSStatus st = StreamReadLong(stream, &length)) return fail(st);
        if (head[0] > kPathRootAbsolute || length > kPathSpecMaxLength) return fail(status::kParamErr);
        char bytes[kPathSpecMaxLength + 1];
        n = int32_t(length);
        if (OSStatus st = StreamRead(stream, bytes, &n)) return fail(st);
        if (std::memchr(bytes, 0, length)) return fail(status::kParamErr);
        std::string path(bytes, length);
        uint8_t flags = head[1];
        if (!(flags & kPathFlagsValid)) flags = uint8_t(flags | defaultFlags | kPathFlagsValid);
        if (convert && !(flags & kPathPosixForm) && path.find(':') != std::string::npos) {
            HFSPathToPosixPath(&path);
            if (path.size() > kPathSpecMaxLength) return fail(status::kParamErr);
        }
        PathSpec* entry = CreatePathSpec(flags);
        if (!entry) return fail(status::kOutOfMemory);
        entry->flags = uint8_t(flags | kPathPosixForm);
        if (!StorePath(list, entry, path, head[0])) {
            MemFreePtr(reinterpret_cast<Ptr>(entry));
            const OSStatus st = StringBlockAddStatus();
            return fail(st ? st : status::kOutOfMemory);
        }
        last = static_cast<PathSpec*>(LLInsert(list, last, entry));
    }
    return status::kNoErr;
}

}  // namespace plexa
