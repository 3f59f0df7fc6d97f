// The history of recently used library items, and finding an item by file and item name.
#include "library/libhistory.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/assert.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "library/itemcache.h"
#include "library/libpaths.h"
#include "library/librarystate.h"
#include "library/sheetlib.h"

namespace plexa {

LinkListHeader*& gLibItemHistory = gLibraryState.itemHistory;

namespace {

LibHistoryHooks gHooks;

void FreeEntry(LinkListHeader*, void* item, void*, uint32_t) {
    auto* entry = static_cast<LibHistoryEntry*>(item);
    if (entry->fileName) MemFreePtr(entry->fileName);
    if (entry->itemName) MemFreePtr(entry->itemName);
    entry->fileName = entry->itemName = nullptr;
}

LinkListHeader* History() {
    if (!gLibItemHistory) {
        gLibItemHistory = LLCreate(nullptr, sizeof(LibHistoryEntry), 0);
        if (gLibItemHistory) LLSetFreeProc(gLibItemHistory, FreeEntry);
    }
    return gLibItemHistory;
}

char* CopyText(const char* text) { return AllocPtrWithData(nullptr, text, uint32_t(std::strlen(text) + 1)); }

bool SameNames(const LibHistoryEntry* entry, const char* fileName, const char* itemName) {
    return StrCINCmp(entry->fileName, fileName, 0xFFFF) == 0 && StrCINCmp(entry->itemName, itemName, 0xFFFF) == 0;
}

void Message(const char* format, const char* name) {
    if (!gHooks.message) return;
    std::string text;
    AppendFormat(&text, format, name);
    gHooks.message(text.c_str());
}

// The item in the files of the full list named exactly `fileName` (ignoring case).
bool LocateIn(const char* fileName, const char* itemName, int32_t* fileIndex, int32_t* itemIndex) {
    const int32_t count = CountLibraryFiles(kLibFilesAll);
    for (int32_t i = 0; i < count; ++i) {
        char name[kFileSpecNameCapacity];
        FileSpec spec;
        bool isSheet = false;
        if (!GetIndexedLibFileName(kLibFilesAll, i, name) || StrCINCmp(name, fileName, kFileSpecNameCapacity) != 0 ||
            !GetIndexedLibFileSpec(kLibFilesAll, i, &spec, &isSheet))
            continue;
        int32_t found = -1;
        if (i == gItemCache.selection.fileIndex && GetCachedLibraryFile()) {
            found = LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), itemName);
        } else {
            LibraryFileRecord record{};
            if (OpenLibraryForReading(&spec, isSheet, &record) != 0) continue;
            found = LibraryItemLookup(record.map, record.names, itemName);
            (void)CloseLibraryFile(&record);  // read only: nothing to flush
        }
        if (found >= 0) {
            *fileIndex = i;
            *itemIndex = found;
            return true;
        }
    }
    return false;
}

// Whether some file of the full list has the name (ignoring case).
bool HasLibraryFile(const char* fileName) {
    char name[kFileSpecNameCapacity];
    for (int32_t i = 0; GetIndexedLibFileName(kLibFilesAll, i, name); ++i)
        if (StrCINCmp(name, fileName, kFileSpecNameCapacity) == 0) return true;
    return false;
}

}  // namespace

void SetLibHistoryHooks(const LibHistoryHooks& hooks) { gHooks = hooks; }
const LibHistoryHooks& GetLibHistoryHooks() { return gHooks; }

LibHistoryEntry* RecordLibHistoryItem() {
    char fileName[kCachedFileNameSize];
    char itemName[kStringSpecBufferSize];
    GetCachedLibraryFileName(fileName);
    GetCachedLibraryItemName(itemName);
    if (!fileName[0] || !itemName[0]) return nullptr;
    LinkListHeader* list = History();
    if (!list) return nullptr;
    for (auto* entry = static_cast<LibHistoryEntry*>(LLFirst(list)); entry; entry = entry->next) {
        if (!SameNames(entry, fileName, itemName)) continue;
        LLRemoveOrFree(list, entry, nullptr, false);
        return static_cast<LibHistoryEntry*>(LLPush(list, entry));
    }
    auto* entry = static_cast<LibHistoryEntry*>(LLAlloc(list));
    if (!entry) return nullptr;
    entry->fileName = CopyText(fileName);
    entry->itemName = CopyText(itemName);
    if (!entry->fileName || !entry->itemName) {
        FreeEntry(list, entry, nullptr, 0);
        MemFreePtr(entry);
        return nullptr;
    }
    LLPush(list, entry);
    if (int32_t(list->count) > kLibHistoryLimit) LLRemoveOrFree(list, LLLast(list), nullptr, true);
    return entry;
}

bool RecallLibHistoryItem(int32_t direction) {
    LinkListHeader* list = gLibItemHistory;
    if (!list || !list->first) return false;
    // The walk takes entries from the head; walking from the oldest end reverses the list around it.
    if (direction == 1) LLReverse(list);
    char fileName[kCachedFileNameSize];
    char itemName[kStringSpecBufferSize];
    GetCachedLibraryFileName(fileName);
    GetCachedLibraryItemName(itemName);
    LibHistoryEntry* current = nullptr;  // the entry of the current selection, once met
    bool recalled = false;
    while (auto* entry = static_cast<LibHistoryEntry*>(LLFirst(list))) {
        if (entry == current) break;  // round the whole list
        if (fileName[0] && itemName[0] && SameNames(entry, fileName, itemName)) {
            current = entry;
            LLRemoveOrFree(list, entry, nullptr, false);
            LLAppend(list, entry);
            continue;
        }
        int32_t fileIndex = -1, itemIndex = -1;
        if (LocateLibraryFileItem(entry->fileName, entry->itemName, &fileIndex, &itemIndex)) {
            LLRemoveOrFree(list, entry, nullptr, false);
            LLAppend(list, entry);
            if (SetCachedLibraryFile(kLibFilesAll, fileIndex) == 0 && SetCachedLibraryItem(itemIndex) == 0)
                recalled = true;
            break;
        }
        LLRemoveOrFree(list, entry, nullptr, true);
    }
    if (direction == 1) LLReverse(list);
    return recalled;
}

int32_t CountLibHistory() { return gLibItemHistory ? int32_t(gLibItemHistory->count) : 0; }

const LibHistoryEntry* GetLibHistoryEntry(int32_t index) {
    if (!gLibItemHistory || index < 0) return nullptr;
    const auto* entry = static_cast<const LibHistoryEntry*>(LLGetIndexedLink(gLibItemHistory, uint32_t(index)));
    PLEXA_ASSERT(entry || uint32_t(index) >= gLibItemHistory->count);
    return entry;
}

void DisposeLibHistory() {
    if (gLibItemHistory) LLDispose(gLibItemHistory, true);
    gLibItemHistory = nullptr;
}

bool LocateLibraryFileItem(const char* fileName, const char* itemName, int32_t* fileIndex, int32_t* itemIndex) {
    *fileIndex = *itemIndex = -1;
    if (!fileName || !itemName || !fileName[0]) return false;
    if (LocateIn(fileName, itemName, fileIndex, itemIndex)) return true;
    if (NameHasExtension(fileName, kLibraryExtension)) return false;
    const std::string withExtension = std::string(fileName) + kLibraryExtension;
    return LocateIn(withExtension.c_str(), itemName, fileIndex, itemIndex);
}

void LocateLibraryFileItemOrNone(const char* fileName, const char* itemName, int32_t* fileIndex, int32_t* itemIndex) {
    if (!LocateLibraryFileItem(fileName, itemName, fileIndex, itemIndex)) *fileIndex = *itemIndex = -1;
}

bool SelectShortcutItem(const char* fileName, const char* itemName) {
    int32_t fileIndex = -1, itemIndex = -1;
    if (!LocateLibraryFileItem(fileName, itemName, &fileIndex, &itemIndex)) {
        const std::string withExtension = std::string(fileName ? fileName : "") + kLibraryExtension;
        const bool fileFound = fileName && (HasLibraryFile(fileName) || HasLibraryFile(withExtension.c_str()));
        if (fileFound) Message(kMissingLibItemMessage, itemName ? itemName : "");
        else Message(kMissingLibFileMessage, fileName ? fileName : "");
        return false;
    }
    return SetCachedLibraryFile(kLibFilesAll, fileIndex) == 0 && SetCachedLibraryItem(itemIndex) == 0;
}

}  // namespace plexa
