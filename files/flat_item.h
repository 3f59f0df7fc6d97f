// Reading facts straight out of a flattened library item without inflating it: its names, kind and
// flags. Item maps and lists are built from these, so that a library can be listed without building
// any item in memory. The item itself, and how it is flattened and inflated, live elsewhere.
//
// The part of the flattened form read here (multi-byte fields in the writer's byte order, told by
// the mark):
//
//   0   u16  byte-order mark 0x1234 (reads 0x3412 when the writer had the other order)
//   2   u32  time stamp, big-endian
//   6   u8   valid
//   7   u16  format version
//   9   12   the item head: u32 reference prefix, u8 symbol count, u8 package count,
//            15 u8 kind (0 component or graphic, 1 wire symbol, 2 port), 16 u8 flags (bit 0: the
//            names and strings are UTF-8, else Mac Roman), u16 attribute count, 2 bytes
//   21  12   zero
//   33  ..   names: for each, u8 length N (1..255), N bytes, u16 package index; then one zero byte
//
// Nothing is trusted: a name list that runs past the end of the bytes is not a name list.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

constexpr uint32_t kFlatItemMarkOffset = 0;
constexpr uint32_t kFlatItemKindOffset = 15;
constexpr uint32_t kFlatItemFlagsOffset = 16;
constexpr uint32_t kFlatItemNamesOffset = 33;
constexpr uint16_t kFlatItemMark = 0x1234;
constexpr uint8_t kLibItemFlagUTF8 = 0x01;

// Library item kinds.
constexpr uint8_t kLibItemComponent = 0;
constexpr uint8_t kLibItemWireSymbol = 1;
constexpr uint8_t kLibItemPort = 2;

// A buffer that holds any name of a flattened item once recoded to UTF-8, with its terminator.
constexpr int32_t kFlatItemNameBufferSize = 3 * 255 + 1;

// 0 when the bytes hold the fixed head with a byte-order mark in either order and a name list that
// ends inside them, with at least one name; then *count (optional) is the number of names.
// -50 otherwise (no handle, too short, a bad mark, a list that runs off the end or is empty).
OSStatus CheckFlattenedLibraryItemNames(Handle flat, int32_t* count);

// Copies the name at the index (0 the primary name) as a NUL-terminated string into a buffer of
// `size` bytes, recoded from Mac Roman to UTF-8 when flag bit 0 is clear, and returns 1; 0 with an
// empty string when there is no such name (or the list is not well formed).
int32_t GetFlattenedLibraryItemName(Handle flat, int32_t index, char* out, int32_t size);

// The kind byte and the flags byte; 0 for bytes too short to hold them.
uint8_t GetFlattenedLibraryItemKind(Handle flat);
uint8_t GetFlattenedLibraryItemFlags(Handle flat);

}  // namespace plexa
