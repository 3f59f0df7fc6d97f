// Simulator string lists: the counted list of short strings that is the body of most simulator
// messages and a project's description of an analysis. A list is one handle:
//
//   offset 0  u16 entry data size (bytes of data after every string: 0, or 2 / 4 for an integer)
//   offset 2  u16 entry count
//   offset 4  u32 length of the entries in bytes (always handle size - 8)
//   offset 8  the entries, each a length byte, that many characters (no terminator), then the
//             entry data
//
// In memory the head and the integers of 2- or 4-byte entry data are in this machine's order; on
// the wire they are big-endian (design/simlink_frame.h turns copies, never a caller's list).
// A list is well formed when its count of entries fills its length exactly; every list that
// comes from the peer is checked so before anyone walks it, and every call here checks its
// walk against the handle's size all the same.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

constexpr uint32_t kSpiceStringListHeadSize = 8;
// The longest string an entry holds; longer texts are cut (at a character boundary).
constexpr uint32_t kSpiceStringMaxLength = 255;
// Room for an entry's text and its terminator.
constexpr uint32_t kSpiceStringTextSize = kSpiceStringMaxLength + 1;
// The most entries a list counts.
constexpr uint32_t kSpiceStringListMaxCount = 0xFFFF;
// The longest list (entry bytes) that the link accepts from the peer or lets a list grow to.
constexpr uint32_t kSpiceStringListMaxLength = 16u << 20;

// ---- Over bytes (the frame coder's checks and swaps) ----

// Whether size bytes hold a well-formed list: a head whose length is size - 8 (at most
// kSpiceStringListMaxLength), and exactly count entries in the rest. `bigEndian` reads the head
// in wire order. 0, or -50 for a malformed list.
OSStatus CheckSpiceStringList(const uint8_t* bytes, uint32_t size, bool bigEndian);

// Turns a well-formed list between this machine's order and big-endian: the integers of 2- or
// 4-byte entry data, and the head. `toBigEndian` tells which way (the head is read in the order
// it is in before the turn). -50 (bytes unchanged) for a malformed list.
OSStatus TurnSpiceStringList(uint8_t* bytes, uint32_t size, bool toBigEndian);

// ---- Lists ----

// A new empty list with that entry data size; none when out of memory.
Handle CreateSpiceStringList(uint16_t entryDataSize);
void DestroySpiceStringList(Handle list);

// 0 for none, and for a list too short to hold its head.
int32_t CountSpiceStringListItems(Handle list);
uint16_t GetSpiceStringListEntryDataSize(Handle list);

// Appends an entry: the text (none gives an empty string) and entry data bytes of the list's entry
// data size from `data` (zeros when none). -108 out of memory; -50 for a full or malformed list.
OSStatus AddSpiceStringListEntry(Handle list, const char* text, const void* data);
// Replaces entry index in place. -50 for an index out of range or a malformed list.
OSStatus SetSpiceStringListEntry(Handle list, int32_t index, const char* text, const void* data);
// The entry's text into `text` (kSpiceStringTextSize bytes, NUL-terminated; may be none) and its
// data into `data` (entry data size bytes; may be none). -50 (empty text) when out of range.
OSStatus GetSpiceStringListEntry(Handle list, int32_t index, char* text, void* data);
// Removes the entries before entry index, so that it becomes the first; an index below 0 or at or
// beyond the count removes them all.
void DeleteSpiceStringListEntry(Handle list, int32_t index);
// The index of the first entry with an empty string, -1 when none.
int32_t FindSpiceStringListNullEntry(Handle list);

// The offset of entry index (the first starts at 8); -1 when out of range or past the handle.
int32_t CalcSpiceStringListEntryPos(Handle list, int32_t index);
// The offset of the entry after the one at `offset`; -1 when that entry runs past the handle.
int32_t IncrementSpiceStringListEntryPos(Handle list, int32_t offset);

// Swaps each entry's data when the entry data size is 2 or 4 (the head stays). -50 for a
// malformed list (nothing swapped).
OSStatus ByteSwapSpiceStringListIntegers(Handle list);

}  // namespace plexa
