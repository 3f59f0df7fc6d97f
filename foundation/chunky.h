// Chunky blocks: one growable handle of fixed-size items behind a small header, grown and shrunk
// in whole chunks of items, kept in insertion order or sorted by a search.
//
// Layout of the handle: the 24-byte `VXChunkyHeaderTag`, then the items one after another. The
// capacity is always the count rounded up to a multiple of the growth, or more. Item addresses
// are valid until the next call that may grow or shrink the block.
#pragma once

#include <cstdint>

#include "foundation/assert.h"
#include "foundation/heap.h"
#include "foundation/types.h"

namespace plexa {

struct VXChunkyHeaderTag {
    uint32_t capacity;  // items allocated
    uint32_t count;     // items present
    uint32_t itemSize;
    uint32_t growth;    // items per chunk, at least 1
    void* refCon;       // the owner's slot (a name table keeps its record here)
};
static_assert(sizeof(VXChunkyHeaderTag) == 24);

using VXChunkyBlock = Handle;

inline VXChunkyHeaderTag* VXChunkyHeader(VXChunkyBlock block) {
    return reinterpret_cast<VXChunkyHeaderTag*>(*block);
}

// Search flags.
constexpr uint32_t kChunkySearchSorted = 0x1;   // binary search over items in order
constexpr uint32_t kChunkyCompareInt32 = 0x2;   // default comparison: first 32-bit words
constexpr uint32_t kChunkyAddUnique = 0x4;      // VXChunkyAddSorted: keep an equal item
// Search results besides an index.
constexpr uint32_t kChunkyNotFound = 0x80000000;  // set on the insertion index
constexpr uint32_t kChunkyExisting = 0x08000000;  // VXChunkyAddSorted found an equal item

// What a compare procedure sees besides the key and the item.
struct VXChunkySearchRecord {
    VXChunkyBlock block;
    uint32_t index;  // index of the item being compared
    intptr_t value;  // the value given to the search
};
// Negative, 0 or positive as the key sorts before, with or after the item.
using VXChunkyCompareProc = int32_t (*)(const void* key, const void* item, VXChunkySearchRecord* search);

// growth 0 means -512; a negative growth is a byte budget of -growth / itemSize items; at least 1.
// The block holds initialCount zeroed items, with the capacity rounded up to the growth. Null for
// item size 0, a size beyond 32 bits, or when memory fails. Pool null = current pool.
VXChunkyBlock VXCreateChunkyBlock(MemPool pool, uint32_t itemSize, int32_t growth, uint32_t initialCount);
void VXDestroyChunkyBlock(VXChunkyBlock block);
uint32_t VXChunkyCount(VXChunkyBlock block);  // 0 for no block
void VXChunkySetRefCon(VXChunkyBlock block, void* value);

// The item in place, null at or beyond the count.
void* VXChunkyItemPtr(VXChunkyBlock block, uint32_t index);
// The same as a record of the block's item type (the block was made with its size).
template <class T>
T* VXChunkyItemAs(VXChunkyBlock block, uint32_t index) {
    PLEXA_ASSERT(!block || VXChunkyHeader(block)->itemSize == sizeof(T));
    return static_cast<T*>(VXChunkyItemPtr(block, index));
}
// The item after *index (start with -1), null at the end; *index becomes its index.
void* VXChunkyNext(VXChunkyBlock block, int32_t* index);
// Copies an item out (zeros for an index at or beyond the count) or in (nothing beyond the count).
void VXChunkyGet(VXChunkyBlock block, uint32_t index, void* destination);
void VXChunkyPut(VXChunkyBlock block, uint32_t index, const void* source);

// Capacity = count (the current count when negative) rounded up to the growth, never below the
// current count; resizes only when the capacity changes. False when the handle cannot be resized.
[[nodiscard]] bool ResizeChunkyBlock(VXChunkyBlock block, int32_t count);
// n new items at the end, not initialised: the address of the first and its index, or null and
// -1 when the block cannot grow.
void* VXChunkyAlloc(VXChunkyBlock block, uint32_t n, int32_t* firstIndex);
// Appends a copy of the item (zeros for null); its index or -1.
int32_t VXChunkyAdd(VXChunkyBlock block, const void* item);
// Makes room for n items at index (at most the count) and returns their address, not
// initialised; null for an index beyond the count or when the block cannot grow.
void* VXChunkyInsert(VXChunkyBlock block, uint32_t index, uint32_t n);
// Removes n items from index (to the end when n is negative or runs beyond it); with shrink the
// capacity is then fitted to the count.
void VXChunkyDelete(VXChunkyBlock block, uint32_t index, int32_t n, bool shrink);

// Sorted (flag 0x1): the index of an equal item, else the insertion index | 0x80000000.
// Unsorted: the index of the first equal item, else 0x80000000. The comparison is the procedure,
// or without one CompareInt32 of the first words (flag 0x2) or memcmp of keySize bytes (at most
// the item size; the item size when keySize is not above 0).
int32_t VXChunkySearch(VXChunkyBlock block, const void* key, int32_t keySize, VXChunkyCompareProc compare,
                       uint32_t flags, intptr_t value);
// Inserts a copy of the item in sorted place and returns its index. With flag 0x4 an equal item
// is kept instead: its index | 0x08000000 is returned and nothing is inserted. -1 when the block
// cannot grow.
int32_t VXChunkyAddSorted(VXChunkyBlock block, const void* item, VXChunkyCompareProc compare, uint32_t flags,
                          intptr_t value);

}  // namespace plexa
