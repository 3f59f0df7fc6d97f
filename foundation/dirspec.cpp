// Dir specs and directory lists (see dirspec.h).
#include "foundation/dirspec.h"

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <unordered_map>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/strings.h"

namespace plexa {
namespace {

struct ParsedDirSpec {
    uint32_t kind = kDirSpecInvalid;
    std::string name;
    bool terminated = false;
    const unsigned char* bookmark = nullptr;
    uint32_t bookmarkLength = 0;
};

// Reads the parts of a dir spec handle, checking every length against the handle's size.
bool ParseDirSpec(Handle dirSpec, ParsedDirSpec* out) {
    if (!dirSpec || !*dirSpec) return false;
    const uint32_t size = SizeOfHandle(dirSpec);
    if (size < 4) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(*dirSpec);
    std::memcpy(&out->kind, p, 4);
    const auto* end = static_cast<const unsigned char*>(std::memchr(p + 4, 0, size - 4));
    out->terminated = end != nullptr;
    if (!end) end = p + size;
    out->name.assign(reinterpret_cast<const char*>(p + 4), size_t(end - (p + 4)));
    if (out->terminated) {
        out->bookmark = end + 1;
        out->bookmarkLength = uint32_t((p + size) - (end + 1));
    }
    return true;
}

// The order of a dir spec in lists, computed once per entry.
struct DirSpecKey {
    uint32_t nameLength = 0;
    uint32_t kind = kDirSpecInvalid;
    int group = 0;  // bookmark forms: 0 resolves, 1 does not, 2 malformed; 3 other kinds
    uint64_t device = 0;
    uint64_t inode = 0;
    std::string text;  // the stored path, the raw bytes, or the name
};

DirSpecKey KeyOf(Handle dirSpec) {
    DirSpecKey key;
    ParsedDirSpec parsed;
    if (!ParseDirSpec(dirSpec, &parsed)) {
        key.group = 2;
        return key;
    }
    key.nameLength = uint32_t(parsed.name.size());
    key.kind = parsed.kind;
    if (parsed.kind != kDirSpecBookmark) {
        key.group = 3;
        key.text = parsed.name;
        return key;
    }
    std::string path;
    if (!parsed.terminated || !BookmarkDataPath(parsed.bookmark, parsed.bookmarkLength, &path)) {
        key.group = 2;
        if (parsed.bookmark) key.text.assign(reinterpret_cast<const char*>(parsed.bookmark), parsed.bookmarkLength);
        return key;
    }
    const std::string resolved = CreateURLFromBookmarkData(parsed.bookmark, parsed.bookmarkLength, false, nullptr);
    struct stat info {};
    if (!resolved.empty() && ::stat(resolved.c_str(), &info) == 0) {
        key.group = 0;
        key.device = uint64_t(info.st_dev);
        key.inode = uint64_t(info.st_ino);
        return key;
    }
    key.group = 1;
    key.text = NormalizePath(path);
    return key;
}

template <class T>
int Order(const T& a, const T& b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

int CompareKeys(const DirSpecKey& a, const DirSpecKey& b) {
    if (int c = Order(a.nameLength, b.nameLength)) return c;
    if (int c = Order(a.kind, b.kind)) return c;
    if (int c = Order(a.group, b.group)) return c;
    switch (a.group) {
        case 0:
            if (int c = Order(a.device, b.device)) return c;
            return Order(a.inode, b.inode);
        case 3: {
            // Equal lengths here; ASCII case folding, as the string utilities fold.
            for (size_t i = 0; i < a.text.size(); ++i) {
                unsigned char x = static_cast<unsigned char>(a.text[i]);
                unsigned char y = static_cast<unsigned char>(b.text[i]);
                if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
                if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
                if (x != y) return x < y ? -1 : 1;
            }
            return 0;
        }
        default:
            return Order(a.text, b.text);
    }
}

// Keys of a list's entries by handle; the list's reference value points at it.
struct DirectoryListKeys {
    std::unordered_map<Handle, DirSpecKey> keys;
};

DirectoryListKeys* KeysOf(DAArray list) {
    return reinterpret_cast<DirectoryListKeys*>(static_cast<uintptr_t>(DAGetRefCon(list)));
}

Handle HandleAt(const void* item) {
    Handle h;
    std::memcpy(&h, item, sizeof h);
    return h;
}

const DirSpecKey* CachedKey(DirectoryListKeys* keys, Handle h) {
    if (!keys) return nullptr;
    const auto found = keys->keys.find(h);
    return found == keys->keys.end() ? nullptr : &found->second;
}

// Keys of entries come from the cache; a handle without one (never the case for entries added
// through AddDirSpecToList) is keyed on the spot.
int CompareListItems(DAArray list, const void* a, const void* b) {
    const Handle ha = HandleAt(a), hb = HandleAt(b);
    DirectoryListKeys* keys = KeysOf(list);
    const DirSpecKey* ka = CachedKey(keys, ha);
    const DirSpecKey* kb = CachedKey(keys, hb);
    if (ka && kb) return CompareKeys(*ka, *kb);
    return CompareKeys(ka ? *ka : KeyOf(ha), kb ? *kb : KeyOf(hb));
}

void FreeListItem(DAArray list, int32_t, DALoopRecord* loop) {
    if (!loop->address) return;
    const Handle h = HandleAt(loop->address);
    if (DirectoryListKeys* keys = KeysOf(list)) keys->keys.erase(h);
    MemFree(h);
}

}  // namespace

OSStatus DirectoryToDirSpec(const DirectoryRef* directory, Handle dirSpec) {
    if (!dirSpec) return status::kParamErr;
    static const unsigned char kEmpty[5] = {0, 0, 0, 0, 0};
    if (IsDirectoryInvalid(directory)) return SetHandleContent(dirSpec, kEmpty, 5) ? status::kNoErr : status::kOutOfMemory;
    std::string folder;
    OSStatus st = CreateDirectoryURLFromDirectory(directory, &folder);
    Ptr bookmark = st == status::kNoErr ? CreateBookmarkDataFromURL(folder, false) : nullptr;
    if (!bookmark) {
        SetHandleContent(dirSpec, kEmpty, 5);
        return st != status::kNoErr ? st : status::kFolderNotFound;
    }
    const uint32_t length = SizeOfPtr(bookmark);
    bool ok = SetHandleContent(dirSpec, kEmpty, 5) && AppendHandle(dirSpec, bookmark, length);
    MemFreePtr(bookmark);
    if (!ok) {
        SetHandleContent(dirSpec, kEmpty, 5);
        return status::kOutOfMemory;
    }
    const uint32_t kind = kDirSpecBookmark;
    std::memcpy(*dirSpec, &kind, 4);
    return status::kNoErr;
}

Handle CreateDirSpec(const DirectoryRef* directory) {
    Handle h = AllocHandleClear(gGenPool, 5);
    if (h && directory) (void)DirectoryToDirSpec(directory, h);  // the handle stays cleared on failure
    return h;
}

OSStatus DirSpecToDirectoryURL(Handle dirSpec, std::string* location) {
    if (location) location->clear();
    ParsedDirSpec parsed;
    if (!location || !ParseDirSpec(dirSpec, &parsed) || parsed.kind != kDirSpecBookmark || !parsed.terminated ||
        parsed.bookmarkLength < 3)
        return status::kNoSuchVolume;
    std::string path = CreateURLFromBookmarkData(parsed.bookmark, parsed.bookmarkLength, false, nullptr);
    if (path.empty() || !IsDirectoryURL(path)) return status::kFolderNotFound;
    *location = std::move(path);
    return status::kNoErr;
}

OSStatus DirSpecToDirectory(Handle dirSpec, DirectoryRef* directory) {
    if (!directory) return status::kParamErr;
    std::string folder;
    OSStatus st = DirSpecToDirectoryURL(dirSpec, &folder);
    if (st == status::kNoErr) st = DirectoryFromDirectoryURL(folder, directory);
    if (st != status::kNoErr) ClearDirectoryRef(directory);
    return st;
}

int CompareDirSpecs(Handle a, Handle b) { return CompareKeys(KeyOf(a), KeyOf(b)); }

void ByteSwapDirSpec(Handle dirSpec) {
    if (dirSpec && *dirSpec && SizeOfHandle(dirSpec) >= 4) ByteSwapLong(*dirSpec);
}

DirectoryList CreateDirectoryList() {
    DirectoryList list = DACreate(nullptr, sizeof(Handle), 0, kDAUnique | kDASorted);
    if (!list) return nullptr;
    DASetCompareProcEx(list, CompareListItems);
    DASetFreeProc(list, FreeListItem);
    DASetRefCon(list, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(new DirectoryListKeys)));
    return list;
}

void DestroyDirectoryList(DirectoryList list) {
    if (!list) return;
    DirectoryListKeys* keys = KeysOf(list);
    DAFreeAll(list);
    DADispose(list);
    delete keys;
}

bool AddDirSpecToList(DirectoryList list, Handle dirSpec, int32_t* index) {
    if (index) *index = -1;
    DirectoryListKeys* keys = list ? KeysOf(list) : nullptr;
    if (!keys || !dirSpec) return false;
    const bool known = keys->keys.count(dirSpec) != 0;
    if (!known) keys->keys.emplace(dirSpec, KeyOf(dirSpec));
    int32_t id = DAAdd(list, &dirSpec);
    const bool added = id >= 0 && DADidAdd();
    if (id >= 0) DAGetPhysicalId(list, &id);
    if (!added && !known) {
        Handle stored = nullptr;
        if (id < 0 || !DAPhysicalGet(list, id, &stored) || stored != dirSpec) keys->keys.erase(dirSpec);
    }
    if (index) *index = id;
    return added;
}

int32_t AddDirectoryToList(DirectoryList list, const DirectoryRef* directory) {
    if (!list || IsDirectoryInvalid(directory)) return -1;
    Handle h = AllocHandleClear(gGenPool, 5);
    if (!h) return -1;
    if (DirectoryToDirSpec(directory, h) != status::kNoErr) {
        MemFree(h);
        return -1;
    }
    int32_t index = -1;
    if (!AddDirSpecToList(list, h, &index)) MemFree(h);
    return index;
}

int32_t GetDirectoryListIndex(DirectoryList list, const DirectoryRef* directory) {
    DirectoryListKeys* keys = list ? KeysOf(list) : nullptr;
    if (!keys || IsDirectoryInvalid(directory)) return -1;
    Handle h = AllocHandleClear(gGenPool, 5);
    if (!h) return -1;
    int32_t id = -1;
    if (DirectoryToDirSpec(directory, h) == status::kNoErr) {
        keys->keys.emplace(h, KeyOf(h));
        const int32_t found = DASearch(list, -1, &h, 0);
        keys->keys.erase(h);
        if (!(uint32_t(found) & kDANotFound)) {
            id = found;
            DAGetPhysicalId(list, &id);
        }
    }
    MemFree(h);
    return id;
}

Handle GetDirectoryListSpec(DirectoryList list, int32_t index) {
    Handle h = nullptr;
    if (!list || index < 0 || !DAPhysicalGet(list, index, &h)) return nullptr;
    return h;
}

bool GetDirectoryListDirectory(DirectoryList list, int32_t index, DirectoryRef* directory) {
    Handle h = GetDirectoryListSpec(list, index);
    if (!h) {
        ClearDirectoryRef(directory);
        return false;
    }
    return DirSpecToDirectory(h, directory) == status::kNoErr;
}

}  // namespace plexa
