// Name tables over chunky blocks and string blocks.
#include "foundation/nametable.h"

#include <cstring>

#include "foundation/memory.h"
#include "foundation/strings.h"

namespace plexa {

namespace {

constexpr uint32_t kValueOffset = 8;

// A name as the table stores it: cut like a spec's string, terminated.
struct Key {
    char text[kStringSpecBufferSize];
    explicit Key(const char* name) {
        const uint32_t n = name ? ClampStringSpecLength(name, uint32_t(std::strlen(name))) : 0;
        if (n) std::memcpy(text, name, n);
        text[n] = 0;
    }
};

StringSpec EntrySpec(const void* entry) {
    StringSpec spec;
    std::memcpy(&spec, entry, sizeof spec);
    return spec;
}

uint64_t EntryValue(const VXNameTableRecord* record, const void* entry) {
    uint64_t value = 0;
    if (record->flags & kNameTableValues) std::memcpy(&value, static_cast<const char*>(entry) + kValueOffset, 8);
    return value;
}

}  // namespace

VXNameTable VXCreateNameTableEx(MemPool pool, uint32_t flags, uint32_t extraSize, uint64_t value) {
    uint32_t entrySize = 4;
    if (extraSize != 0) {
        entrySize = extraSize + 8;
        flags &= ~kNameTableValues;
    } else if (flags & kNameTableValues) {
        entrySize = 16;
    }
    StringBlock strings = CreateStringBlock(pool, 256);
    auto* record = reinterpret_cast<VXNameTableRecord*>(AllocPtrClear(pool, sizeof(VXNameTableRecord)));
    VXNameTable table = record && strings ? VXCreateChunkyBlock(pool, entrySize, -512, 0) : nullptr;
    if (!table) {
        if (record) MemFreePtr(record);
        DestroyStringBlock(strings);
        return nullptr;
    }
    *record = VXNameTableRecord{strings, flags, value, entrySize};
    VXChunkySetRefCon(table, record);
    return table;
}

void VXDestroyNameTable(VXNameTable table) {
    if (!table) return;
    VXNameTableRecord* record = VXNameTableGetRecord(table);
    DestroyStringBlock(record->strings);
    MemFreePtr(record);
    VXDestroyChunkyBlock(table);
}

int32_t VXNameTableLookupProc(const void* key, const void* item, VXChunkySearchRecord* search) {
    const VXNameTableRecord* record = VXNameTableGetRecord(search->block);
    char name[kStringSpecBufferSize];
    ExtractStringSpec(EntrySpec(item), record->strings, name, sizeof name);
    const char* k = static_cast<const char*>(key);
    if (record->flags & kNameTableCaseSensitive) return std::strcmp(k, name);
    return StrCINCmp(k, name, 32767);
}

StringSpec VXNameTableSearch(VXNameTable table, const char* name, int32_t* index, uint64_t* value) {
    const Key key(name);
    const int32_t found = VXChunkySearch(table, key.text, 0, VXNameTableLookupProc, kChunkySearchSorted, 0);
    if (index) *index = found;
    if (value) *value = 0;
    if (uint32_t(found) & kChunkyNotFound) return 0;
    const void* entry = VXChunkyItemPtr(table, uint32_t(found));
    if (value) *value = EntryValue(VXNameTableGetRecord(table), entry);
    return EntrySpec(entry);
}

StringSpec VXNameTableInsert(VXNameTable table, const char* name, int32_t index, uint64_t value) {
    VXNameTableRecord* record = VXNameTableGetRecord(table);
    const StringSpec spec = OverlayStringBlock(record->strings, name, -1, nullptr);
    if (spec == 0) return 0;
    const uint32_t count = VXChunkyCount(table);
    const uint32_t at = index < 0 || uint32_t(index) > count ? count : uint32_t(index);
    char* entry = static_cast<char*>(VXChunkyInsert(table, at, 1));
    if (!entry) return 0;
    std::memset(entry, 0, record->entrySize);
    std::memcpy(entry, &spec, sizeof spec);
    if (record->flags & kNameTableValues) std::memcpy(entry + kValueOffset, &value, sizeof value);
    return spec;
}

StringSpec VXNameTableAdd(VXNameTable table, const char* name, uint64_t value, int32_t* index) {
    const Key key(name);
    int32_t found = 0;
    const StringSpec spec = VXNameTableSearch(table, key.text, &found, nullptr);
    const uint32_t at = uint32_t(found) & ~kChunkyNotFound;
    if (index) *index = int32_t(at);
    if (!(uint32_t(found) & kChunkyNotFound)) return spec;
    const StringSpec added = VXNameTableInsert(table, key.text, int32_t(at), value);
    if (added == 0 && index) *index = -1;
    return added;
}

int16_t VXNameTableExtractName(VXNameTable table, StringSpec spec, char* buffer, int32_t size) {
    return ExtractStringSpec(spec, VXNameTableGetRecord(table)->strings, buffer, size);
}

StringSpec VXNameTableTransferNameToStringBlock(VXNameTable table, StringSpec spec, StringBlock destination,
                                                bool overlay) {
    return TransferStringSpec(spec, VXNameTableGetRecord(table)->strings, destination, overlay);
}

}  // namespace plexa
