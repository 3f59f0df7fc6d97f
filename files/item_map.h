// The item map of a library: every name of every item, sorted, each with the block (or, for a sheet
// opened as a library, the stream position) that holds its item. The names live in a string block
// that the map does not own; the map keeps a reference to it (its DA reference value), so that
// several maps, each over its own names, can be sorted and searched at the same time.
//
// Entry (12 bytes, the stored form too; the other byte order swaps by "L2W"):
//   0  u32  block id of the item's block (type 1), or the item's stream position
//   4  u32  string spec of the name in the names string block
//   8  u16  name index within the item: 0 the primary name, 1 onward its aliases
//   10 u8   bits 0-1 the item's kind; bit 7 set for every name after the first (an alias)
//   11 u8   0
//
// Sort order: a name (at most its first 256 bytes) is split into a text and a trailing number (the
// run of decimal digits at its end; 0 when there is none; a name of digits only has an empty text).
// Texts compare in natural order without regard to case, and equal texts by their numbers, so R9
// sorts before R10 and 7400 (empty text) before 74LS00. The number saturates at 2^31 - 1, and
// numbers compare by <, = and >, so the order is a true order even for long digit runs.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
using LibraryItemMap = DAHeader**;

struct LibraryItemMapEntry {
    uint32_t blockId;
    StringSpec name;
    uint16_t nameIndex;
    uint8_t flags;
    uint8_t zero;
};
static_assert(sizeof(LibraryItemMapEntry) == 12);

constexpr const char* kLibraryItemMapEntryTemplate = "L2W";
constexpr uint8_t kItemMapKindMask = 0x03;
constexpr uint8_t kItemMapAlias = 0x80;
// Names are compared over at most this many bytes.
constexpr int32_t kItemMapCompareLength = 256;

// Cuts the trailing decimal number off the name in place and returns it (0 when the name does not
// end in a digit); a run too long for 31 bits gives 0x7FFFFFFF.
int32_t SplitLibItemNameNumber(char* name);

// The order of two names (each at most its first 256 bytes): negative, 0 or positive.
int CompareLibItemNames(const char* a, const char* b);
// The order of two entries whose names lie in `names`: negative, 0 or positive.
int LibItemNamesCompare(StringBlock names, const LibraryItemMapEntry* a, const LibraryItemMapEntry* b);
// The map's compare procedure: the names block is the map's reference value.
int LibItemNamesCompareProc(LibraryItemMap map, const void* a, const void* b);

// An empty sorted map over `names` (which it does not own); none when memory fails.
LibraryItemMap CreateLibraryItemMap(StringBlock names);
// Frees the map and the names block; each may be none.
void DestroyLibraryItemMap(LibraryItemMap map, StringBlock names);
// The names block the map sorts by.
StringBlock GetLibraryItemMapNames(LibraryItemMap map);

int32_t CountLibItemMapEntries(LibraryItemMap map);
// false (entry zeroed) for an index outside the map.
bool GetLibItemMapEntry(LibraryItemMap map, int32_t index, LibraryItemMapEntry* entry);

// Adds one sorted entry for each name of the flattened item, in name order, with the block id,
// the name index, the item's kind and the alias bit from the second name on. Each name goes into
// the names block, reusing an identical run of bytes already there. -50 (nothing added) for bytes
// that are not a flattened item with names; -108 (nothing added) when memory fails.
OSStatus AddLibItemMapEntries(LibraryItemMap map, Handle flatItem, uint32_t blockId);
// For building a whole map at once: the same entries (or one entry) appended at the end in any
// order, then put in order by one stable sort (entries of equal names keep the order they came in).
OSStatus AppendLibItemMapEntries(LibraryItemMap map, Handle flatItem, uint32_t blockId);
bool AppendLibItemMapEntry(LibraryItemMap map, const LibraryItemMapEntry* entry);
void SortLibItemMap(LibraryItemMap map);
// Removes every entry of the block id and returns how many went.
int32_t RemoveLibItemMapEntries(LibraryItemMap map, uint32_t blockId);

// The first entry (lowest index) of the block id, -1 when there is none.
int32_t FindLibItemMapBlock(LibraryItemMap map, uint32_t blockId);

// Copies the name of the entry into a buffer of `size` bytes (kStringSpecBufferSize holds any).
void GetLibItemMapEntryName(LibraryItemMap map, const LibraryItemMapEntry* entry, char* buffer, int32_t size);

}  // namespace plexa
