// Name tables: a chunky block of entries that refer to names in the table's own string block,
// kept sorted by name so that names are found by binary search, optionally with a 64-bit value
// per name.
//
// The chunky block's owner slot holds the table's record. An entry is the name's u32 spec, then
// for tables with values 4 bytes of padding and the u64 value (16 bytes); without values 4 bytes;
// a table made with an extra size has entries of extra + 8 bytes whose bytes after the spec are
// the owner's. Names are compared over their whole length (up to 1023 bytes; a longer name is
// cut as a string spec cuts it, at a UTF-8 boundary), byte-wise or without regard to case.
#pragma once

#include <cstdint>

#include "foundation/chunky.h"
#include "foundation/stringblock.h"

namespace plexa {

using VXNameTable = VXChunkyBlock;

constexpr uint32_t kNameTableCaseSensitive = 0x1;
constexpr uint32_t kNameTableValues = 0x2;

struct VXNameTableRecord {
    StringBlock strings;  // quantum 256
    uint32_t flags;
    uint64_t value;       // the owner's
    uint32_t entrySize;
};

inline VXNameTableRecord* VXNameTableGetRecord(VXNameTable table) {
    return static_cast<VXNameTableRecord*>(VXChunkyHeader(table)->refCon);
}

// String block, record and an empty entry block from the pool (pool null = current pool); with an
// extra size flag 0x2 is cleared. Null, with nothing left allocated, when one part fails.
VXNameTable VXCreateNameTableEx(MemPool pool, uint32_t flags, uint32_t extraSize, uint64_t value);
void VXDestroyNameTable(VXNameTable table);

// The name's spec, 0 when absent. *index (when given) is the entry's index or the insertion
// index | 0x80000000; *value the entry's value (0 without values or when absent).
StringSpec VXNameTableSearch(VXNameTable table, const char* name, int32_t* index, uint64_t* value);
// The search's comparison: the key is a NUL-terminated name, the item an entry.
int32_t VXNameTableLookupProc(const void* key, const void* item, VXChunkySearchRecord* search);
// Adds the name to the string block with overlay and inserts a zeroed entry at index (at the end
// when negative or beyond the count) with the value (tables with values) and the spec. 0 for an
// empty name or when memory fails.
StringSpec VXNameTableInsert(VXNameTable table, const char* name, int32_t index, uint64_t value);
// The present name's spec (its value left as it is), else inserts the name in sorted place.
// *index (when given) receives the entry's index, -1 when the insertion failed.
StringSpec VXNameTableAdd(VXNameTable table, const char* name, uint64_t value, int32_t* index);

// As ExtractStringSpec and TransferStringSpec on the table's string block.
int16_t VXNameTableExtractName(VXNameTable table, StringSpec spec, char* buffer, int32_t size);
StringSpec VXNameTableTransferNameToStringBlock(VXNameTable table, StringSpec spec, StringBlock destination,
                                                bool overlay);

}  // namespace plexa
