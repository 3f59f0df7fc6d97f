// The library finder's search over the files of the full library list.
#include "library/libfinder.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "files/item_map.h"
#include "files/names_digest.h"
#include "foundation/assert.h"
#include "foundation/da.h"
#include "foundation/filespec.h"
#include "foundation/strings.h"
#include "library/itemcache.h"
#include "library/libdigest.h"
#include "library/libpaths.h"
#include "library/sheetlib.h"

namespace plexa {

namespace {

LibFinderHooks gHooks;

int CompareFound(DAArray array, const void* a, const void* b) {
    FoundItemEntry entryA, entryB;
    std::memcpy(&entryA, a, sizeof entryA);
    std::memcpy(&entryB, b, sizeof entryB);
    const auto names = reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(array)));
    char nameA[kStringSpecBufferSize], nameB[kStringSpecBufferSize];
    ExtractStringSpec(entryA.name, names, nameA, sizeof nameA);
    ExtractStringSpec(entryB.name, names, nameB, sizeof nameB);
    return CompareLibItemNames(nameA, nameB);
}

bool AllZero(const ItemNamesDigest& digest) {
    for (uint8_t byte : digest.bytes)
        if (byte) return false;
    return true;
}

// One search in progress.
struct Search {
    FoundItems* found;
    const char* upperText;
    bool full = false;  // 200 entries held: the next match only tells that there are more
    bool more = false;
};

constexpr uint8_t AsciiUpper(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - ('a' - 'A')) : c; }

// Whether the bytes, their ASCII letters folded to upper case, contain the upper-cased text.
bool ContainsFolded(const uint8_t* bytes, size_t length, const char* upper, size_t upperLength) {
    if (upperLength == 0) return true;
    if (upperLength > length) return false;
    const auto first = uint8_t(upper[0]);
    for (size_t at = 0; at + upperLength <= length; ++at) {
        if (AsciiUpper(bytes[at]) != first) continue;
        size_t i = 1;
        while (i < upperLength && AsciiUpper(bytes[at + i]) == uint8_t(upper[i])) ++i;
        if (i == upperLength) return true;
    }
    return false;
}

// Adds the file's matches in item-map order; false once the search is to stop. Names are tested
// where they lie in the names block; a spec outside the block's used bytes matches nothing.
bool AddMatchingItems(Search* search, LibraryItemMap map, StringBlock names, int32_t fileIndex) {
    if (!map || !names) return true;
    LibraryItemMapEntry entry;
    const size_t upperLength = std::strlen(search->upperText);
    for (int32_t i = 0; GetLibItemMapEntry(map, i, &entry); ++i) {
        StringBlockHeader header;
        std::memcpy(&header, *names, sizeof header);
        const uint32_t offset = StringSpecOffset(entry.name), length = StringSpecLength(entry.name);
        if (offset < kStringBlockHeaderSize || uint64_t(offset) + length > header.used) continue;
        const auto* bytes = reinterpret_cast<const uint8_t*>(*names) + offset;
        if (!ContainsFolded(bytes, length, search->upperText, upperLength)) continue;
        if (search->full) {
            search->more = true;
            return false;
        }
        char name[kStringSpecBufferSize];
        ExtractStringSpec(entry.name, names, name, sizeof name);
        FoundItemEntry hit{uint32_t(i), 0, uint16_t(fileIndex)};
        hit.name = AppendStringBlock(search->found->names, name, uint32_t(std::strlen(name)), nullptr);
        if (StringBlockAddStatus() != 0 || DAAdd(search->found->entries, &hit) < 0) return false;
        search->full = CountFoundItems(search->found) >= kMaxFoundItems;
    }
    return true;
}

// The item maps read by earlier searches, by index in the full list, each with the identity of
// the file it was read from: a file that changed, or another file at that index, is read again.
struct KeptMap {
    LibFileIdentity identity{};
    LibraryItemMap map = nullptr;
    StringBlock names = nullptr;
};
std::vector<KeptMap> gKeptMaps;

void FreeKeptMap(KeptMap* kept) {
    DestroyLibraryItemMap(kept->map, kept->names);
    *kept = KeptMap{};
}

// Searches one file of the full list; false once the search is to stop.
bool SearchFile(Search* search, int32_t fileIndex, const FileSpec* spec, bool isSheet) {
    if (fileIndex == gItemCache.selection.fileIndex && GetCachedLibraryFile())
        return AddMatchingItems(search, GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), fileIndex);
    LibFileIdentity identity{};
    const bool known = GetLibFileIdentity(spec, &identity) == status::kNoErr;
    if (size_t(fileIndex) >= gKeptMaps.size()) gKeptMaps.resize(size_t(fileIndex) + 1);
    KeptMap& kept = gKeptMaps[size_t(fileIndex)];
    if (!known || !kept.map || !(kept.identity == identity)) {
        FreeKeptMap(&kept);
        LibraryFileRecord record{};
        if (OpenLibraryForReading(spec, isSheet, &record) != 0) return true;  // no hits, no message
        // The map outlives the record: the record is read-only and is not flushed.
        kept.map = std::exchange(record.map, nullptr);
        kept.names = std::exchange(record.names, nullptr);
        (void)CloseLibraryFile(&record);  // read only: nothing to flush
        if (!known) {
            const bool goOn = AddMatchingItems(search, kept.map, kept.names, fileIndex);
            FreeKeptMap(&kept);
            return goOn;
        }
        kept.identity = identity;
    }
    return AddMatchingItems(search, kept.map, kept.names, fileIndex);
}

}  // namespace

void SetLibFinderHooks(const LibFinderHooks& hooks) { gHooks = hooks; }
const LibFinderHooks& GetLibFinderHooks() { return gHooks; }

void ReleaseLibFinderMaps() {
    for (KeptMap& kept : gKeptMaps) FreeKeptMap(&kept);
    gKeptMaps.clear();
    gKeptMaps.shrink_to_fit();
}

OSStatus CreateFoundItems(FoundItems* found) {
    *found = FoundItems{};
    found->names = CreateStringBlock(nullptr, kFoundNamesQuantum);
    found->entries = DACreate(nullptr, sizeof(FoundItemEntry), 0, kDASorted | kDALogicalIds | kDAStride2);
    if (!found->names || !found->entries) {
        DestroyFoundItems(found);
        return status::kOutOfMemory;
    }
    DASetCompareProcEx(found->entries, CompareFound);
    DASetRefCon(found->entries, uint64_t(uintptr_t(found->names)));
    return status::kNoErr;
}

void DestroyFoundItems(FoundItems* found) {
    if (found->entries) DADispose(found->entries);
    if (found->names) DestroyStringBlock(found->names);
    *found = FoundItems{};
}

void ClearFoundItems(FoundItems* found) {
    if (found->entries) DARemoveAll(found->entries);
    if (found->names) EmptyStringBlock(found->names, false);
}

int32_t CountFoundItems(const FoundItems* found) { return DACount(found->entries); }

bool GetFoundItem(const FoundItems* found, int32_t index, FoundItemEntry* entry, char* name) {
    if (index < 0 || index >= CountFoundItems(found)) return false;
    const bool live = DAGet(found->entries, index, entry);
    PLEXA_ASSERT(live);  // every index below the count holds an entry
    if (!live) return false;
    if (name) ExtractStringSpec(entry->name, found->names, name, kStringSpecBufferSize);
    return true;
}

bool ItemNameContains(const char* name, const char* upperText) {
    return ContainsFolded(reinterpret_cast<const uint8_t*>(name), std::strlen(name), upperText, std::strlen(upperText));
}

int32_t CollectMatchingItems(FoundItems* found, const char* text, bool* more) {
    *more = false;
    ClearFoundItems(found);
    if (!found->entries || !text || !text[0]) {
        ClearLibDigestRebuild();
        return 0;
    }
    if (gHooks.waitCursor) gHooks.waitCursor();
    ItemNamesDigest query;
    const int32_t queryRows = StringToDigest(text, &query, false);
    std::string upper = text;
    StrToUpper(upper.data());
    const bool useDigest = std::strlen(text) > 1;
    const bool rebuild = LibDigestNeedsRebuild();
    if (useDigest && rebuild && gHooks.status) gHooks.status(kSearchingLibrariesStatus);

    Search search{found, upper.c_str()};
    const int32_t count = CountLibraryFiles(kLibFilesAll);
    for (int32_t i = 0; i < count; ++i) {
        FileSpec spec;
        bool isSheet = false;
        if (!GetIndexedLibFileSpec(kLibFilesAll, i, &spec, &isSheet)) continue;
        if (useDigest && IsLibDigestFileOpen()) {
            ItemNamesDigest digest;
            const OSStatus st = GetLibDigestRecord(i, &spec, &digest);
            if (st != status::kNoErr) {
                // The record could not be written: said once, and the search goes on without the
                // digest file. The digest itself was computed and holds.
                if (gHooks.message) gHooks.message(kLibIndexWriteFailedMessage);
                InvalidateLibDigestFile();
            }
            // A file without a readable digest may still hold matches.
            if (!AllZero(digest) && !IsSubDigest(&query, queryRows, &digest, kDigestRows)) continue;
        }
        if (!SearchFile(&search, i, &spec, isSheet)) break;
    }
    if (useDigest && rebuild && gHooks.status) gHooks.status(nullptr);
    ClearLibDigestRebuild();
    *more = search.more;
    if (search.more && gHooks.message) gHooks.message(kTooManyFoundMessage);
    return CountFoundItems(found);
}

bool SelectFoundItemInCache(const FoundItems* found, int32_t index) {
    FoundItemEntry entry;
    char name[kStringSpecBufferSize];
    if (!GetFoundItem(found, index, &entry, name)) return false;
    if (SetCachedLibraryFile(kLibFilesAll, entry.fileIndex) != 0 || !GetCachedLibraryFile()) return false;
    int32_t item = int32_t(entry.entryIndex);
    char cachedName[kStringSpecBufferSize];
    if (!GetIndexedItemNameFromCachedLibrary(item, cachedName) || std::strcmp(cachedName, name) != 0)
        item = LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), name);
    return item >= 0 && SetCachedLibraryItem(item) == 0;
}

}  // namespace plexa
