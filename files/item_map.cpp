// The item map of a library (see item_map.h for the entry and the sort order).
#include "files/item_map.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/da.h"
#include "foundation/strings.h"
#include "model/libitem.h"

namespace plexa {

int32_t SplitLibItemNameNumber(char* name) {
    const size_t length = std::strlen(name);
    size_t start = length;
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
    if (start == length) return 0;
    int64_t number = 0;
    for (size_t i = start; i < length; ++i) {
        number = number * 10 + (name[i] - '0');
        if (number > INT32_MAX) number = INT32_MAX;  // saturates, and stays small enough to grow
    }
    name[start] = 0;
    return int32_t(number);
}

int CompareLibItemNames(const char* a, const char* b) {
    char textA[kItemMapCompareLength + 1];
    char textB[kItemMapCompareLength + 1];
    const size_t lengthA = strnlen(a, kItemMapCompareLength), lengthB = strnlen(b, kItemMapCompareLength);
    std::memcpy(textA, a, lengthA);
    std::memcpy(textB, b, lengthB);
    textA[lengthA] = 0;
    textB[lengthB] = 0;
    const int32_t numberA = SplitLibItemNameNumber(textA);
    const int32_t numberB = SplitLibItemNameNumber(textB);
    if (textA[0] != 0 || textB[0] != 0) {
        const int order = StrCmpAlphaNumeric(textA, textB, false);
        if (order != 0) return order < 0 ? -1 : 1;
    }
    return numberA < numberB ? -1 : numberA > numberB ? 1 : 0;
}

int LibItemNamesCompare(StringBlock names, const LibraryItemMapEntry* a, const LibraryItemMapEntry* b) {
    char textA[kItemMapCompareLength + 1];
    char textB[kItemMapCompareLength + 1];
    ExtractStringSpec(a->name, names, textA, sizeof textA);
    ExtractStringSpec(b->name, names, textB, sizeof textB);
    return CompareLibItemNames(textA, textB);
}

int LibItemNamesCompareProc(LibraryItemMap map, const void* a, const void* b) {
    LibraryItemMapEntry entryA, entryB;
    std::memcpy(&entryA, a, sizeof entryA);
    std::memcpy(&entryB, b, sizeof entryB);
    return LibItemNamesCompare(GetLibraryItemMapNames(map), &entryA, &entryB);
}

LibraryItemMap CreateLibraryItemMap(StringBlock names) {
    DAArray map = DACreate(nullptr, sizeof(LibraryItemMapEntry), 0, kDASorted | kDALogicalIds);
    if (!map) return nullptr;
    DASetCompareProcEx(map, LibItemNamesCompareProc);
    DASetRefCon(map, uint64_t(uintptr_t(names)));
    return map;
}

void DestroyLibraryItemMap(LibraryItemMap map, StringBlock names) {
    if (map) DADispose(map);
    if (names) DestroyStringBlock(names);
}

StringBlock GetLibraryItemMapNames(LibraryItemMap map) {
    return map ? reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(map))) : nullptr;
}

int32_t CountLibItemMapEntries(LibraryItemMap map) {
    return DACount(map);
}

bool GetLibItemMapEntry(LibraryItemMap map, int32_t index, LibraryItemMapEntry* entry) {
    if (!map || index < 0 || index >= DACount(map)) {
        std::memset(entry, 0, sizeof *entry);
        return false;
    }
    return DAGet(map, index, entry);
}

namespace {

OSStatus AddEntries(LibraryItemMap map, Handle flatItem, uint32_t blockId, bool sorted) {
    StringBlock names = GetLibraryItemMapNames(map);
    if (!map || !names) return status::kParamErr;
    int32_t count = 0;
    if (OSStatus st = CheckFlattenedLibraryItemNames(flatItem, &count)) return st;
    if (count > 0xFFFF) return status::kParamErr;  // name indexes are 16 bits
    const uint8_t kind = GetFlattenedLibraryItemKind(flatItem) & kItemMapKindMask;
    char name[kFlatItemNameBufferSize];
    for (int32_t i = 0; i < count; ++i) {
        GetFlattenedLibraryItemName(flatItem, i, name, sizeof name);
        LibraryItemMapEntry entry{blockId, 0, uint16_t(i), uint8_t(kind | (i > 0 ? kItemMapAlias : 0)), 0};
        entry.name = OverlayStringBlock(names, name, -1, nullptr);
        OSStatus st = entry.name == 0 && name[0] != 0 ? StringBlockAddStatus() : status::kNoErr;
        if (st == status::kNoErr) {
            if (!sorted) DASetInsertHint(DACount(map));
            if (DAAdd(map, &entry) < 0) st = status::kOutOfMemory;
        }
        if (st) {
            RemoveLibItemMapEntries(map, blockId);
            return st;
        }
    }
    return status::kNoErr;
}

}  // namespace

OSStatus AddLibItemMapEntries(LibraryItemMap map, Handle flatItem, uint32_t blockId) {
    return AddEntries(map, flatItem, blockId, true);
}

OSStatus AppendLibItemMapEntries(LibraryItemMap map, Handle flatItem, uint32_t blockId) {
    return AddEntries(map, flatItem, blockId, false);
}

bool AppendLibItemMapEntry(LibraryItemMap map, const LibraryItemMapEntry* entry) {
    DASetInsertHint(DACount(map));
    return DAAdd(map, entry) >= 0;
}

void SortLibItemMap(LibraryItemMap map) {
    const int32_t count = DACount(map);
    std::vector<LibraryItemMapEntry> entries(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) DAGet(map, i, &entries[size_t(i)]);
    const StringBlock names = GetLibraryItemMapNames(map);
    std::stable_sort(entries.begin(), entries.end(), [names](const auto& a, const auto& b) {
        return LibItemNamesCompare(names, &a, &b) < 0;
    });
    for (int32_t i = 0; i < count; ++i) DAPut(map, i, &entries[size_t(i)]);
}

int32_t RemoveLibItemMapEntries(LibraryItemMap map, uint32_t blockId) {
    int32_t removed = 0;
    for (int32_t i = DACount(map) - 1; i >= 0; --i) {
        LibraryItemMapEntry entry;
        if (DAGet(map, i, &entry) && entry.blockId == blockId) {
            DARemove(map, i);
            ++removed;
        }
    }
    return removed;
}

int32_t FindLibItemMapBlock(LibraryItemMap map, uint32_t blockId) {
    const int32_t count = DACount(map);
    for (int32_t i = 0; i < count; ++i) {
        LibraryItemMapEntry entry;
        if (DAGet(map, i, &entry) && entry.blockId == blockId) return i;
    }
    return -1;
}

void GetLibItemMapEntryName(LibraryItemMap map, const LibraryItemMapEntry* entry, char* buffer, int32_t size) {
    ExtractStringSpec(entry->name, GetLibraryItemMapNames(map), buffer, size);
}

}  // namespace plexa
