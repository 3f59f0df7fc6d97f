// DA arrays: the general container. Fixed-size items live in clusters (handles), each reached by
// a 32-bit id that stays valid while other items come and go. Freed slots are marked in place and
// reused; a sorted array keeps its items in the order of a compare procedure through a map of
// logical ids; a packed array is one contiguous block whose items shift on insert and remove.
// Item loops run a procedure over every live item inside a failure catcher and may be stopped
// from inside.
//
// Layout (the stored form writes it as it stands):
// - The array is a handle whose block is a `DAHeader` followed by `clusterCount` `DACluster`
//   entries.
// - A slot of an array that is not packed holds the item, then a status byte as its last byte:
//   bit 0 free, bit 1 linked into the free list. A free slot holds the i32 id of the next free
//   slot in its bytes 0-3 (-1 at the end) and an i16 run length in bytes 4-5: the free slots from
//   it to the end of its run, at most 32767. Packed slots have no status byte.
// - Without logical ids an id is a physical slot: cluster id / itemsPerCluster, index id %
//   itemsPerCluster. With logical ids (flag kDALogicalIds) an id is an index 0 .. count - 1 into
//   the map, whose entries are physical ids (-1 beyond the count); removing an item shifts the
//   later logical ids down by one.
// - Slots are aligned to 4 bytes only (2 with kDAStride2): an item with 8-byte fields is read with
//   `DAGet` or memcpy, not through a typed pointer to its address.
//
// Process-wide state: the insert hint, the add flag and the address left by `DAQuickLoop` are
// shared by all arrays. A nested `DAAdd` (from a compare or loop procedure) does not disturb the
// outer add's hint or result flag, but a compare procedure must not change the array it is
// comparing in, and a loop procedure that adds to a sorted array may see items again or miss
// them (only removals are followed by running loops).
#pragma once

#include <cstring>

#include "foundation/assert.h"
#include "foundation/memory.h"

namespace plexa {

constexpr uint32_t kDAUnique = 0x1;        // a sorted add returns an equal item instead of adding
constexpr uint32_t kDAPacked = 0x2;        // one contiguous cluster, items shift, ids are positions
constexpr uint32_t kDASorted = 0x4;        // kept in compare order
constexpr uint32_t kDALogicalIds = 0x8;    // ids are logical indices through the map
constexpr uint32_t kDAStride2 = 0x20;      // stride rounded to 2 instead of 4
constexpr uint32_t kDALockSearch = 0x40;   // lock clusters while searching and looping
constexpr uint32_t kDANoBodies = 0x80;     // the stored form carries no item bytes
constexpr uint32_t kDAGrowBySlot = 0x100;  // clusters grow one slot at a time
constexpr uint32_t kDACompareEx = 0x200;   // the compare procedure takes the array first
constexpr uint32_t kDAFixed = 0x400;       // clusters never move and need no locking

// DASearch flags: 0x1 searches backwards / finds the last equal item; 0x40 locks the array and
// searches with a copy of the key.
constexpr uint32_t kDASearchLast = 0x1;
constexpr uint32_t kDASearchLock = 0x40;
// The bit of a search result that marks an insertion index.
constexpr uint32_t kDANotFound = 0x80000000u;

// Status byte bits of a slot.
constexpr uint8_t kDASlotFree = 0x1;
constexpr uint8_t kDASlotLinked = 0x2;

constexpr int32_t kDAMaxClusters = 4087;
constexpr uint32_t kDAMaxStride = 65399;

struct DAHeader;
using DAArray = DAHeader**;

// The record handed to loop (and free) procedures.
struct DALoopRecord {
    char* address;        // the current item, none once it was removed
    uint64_t value;       // the caller's value
    int32_t id;           // the current id
    int32_t step;         // 1; a procedure may raise it to skip ids
    int32_t stopValue;    // -1 until `DAStopLoop`
    int32_t depth;        // catcher depth inside the loop's own catcher
    DALoopRecord* next;   // the next outer loop over the same array
    bool stopped;
};

using DALoopProc = void (*)(DAArray array, int32_t id, DALoopRecord* loop);
using DAFreeProc = DALoopProc;
using DACompareProc = int (*)(const void* a, const void* b);
using DACompareProcEx = int (*)(DAArray array, const void* a, const void* b);

struct DACluster {
    int32_t lockCount;
    int32_t slotCount;
    Handle data;          // not relocatable: the heap never moves it, only the array's own resizes
    uintptr_t base;       // not stored, derived: the address of the data less the bytes of the ids
                          // in front of the cluster, so that id n's slot is base + n * stride. Set
                          // by `da_detail::SetClusterBase` whenever the data or the stride changes
};

struct DAHeader {
    uint32_t itemSize;
    uint32_t stride;
    int32_t count;            // live items
    int32_t idLimit;          // physical slots that exist
    int32_t itemsPerCluster;
    int32_t clusterCount;
    int32_t freeHead;         // -1 when the list is empty or must be rebuilt
    uint32_t flags;
    DALoopRecord* loops;      // loops now running over the array, innermost first
    DAFreeProc freeProc;
    void* compareProc;        // DACompareProc, or DACompareProcEx with kDACompareEx
    uint64_t refCon;
    Handle searchKey;
    Handle map;               // i32 physical ids by logical id
    int32_t mapCapacity;      // entries, a multiple of 64
    int32_t lowFreed;         // freed range since the free list was built
    int32_t highFreed;        //   (0x7FFFFFFF and -1 when none)
    MemPool pool;
    uint64_t clusterDivider;  // 2^64 / itemsPerCluster rounded up, or 0 (then ids take the slow
                              // path); not stored: a reader sets it with `DAOptimizeFree`
    int32_t fastLimit;        // not stored, derived and kept exact by every change: ids below it
                              // are read as physical slots with no other check. Without logical
                              // ids or packing, the existing slots in front (full clusters, then
                              // the slots of the first one that is not); with logical ids, the
                              // ids whose map entry is the id itself (an array filled in order).
                              // 0 whenever the divider is 0
    // Not stored, derived: a sorted array without a compare procedure may keep every 32nd key
    // (`keySamples`, a pointer block of its pool) for searches to start from. The samples are only
    // a hint: a search checks its answer against the items and falls back to a full search, so a
    // key changed in place costs time, never a wrong answer. Any add or removal drops them
    // (`sampledCount` 0); they are taken again once searches outnumber changes.
    int32_t* keySamples;
    int32_t sampledCount;     // the count the samples were taken at, 0 when there are none
    int32_t plainSearches;    // searches since the last change
    DACluster* Clusters() { return reinterpret_cast<DACluster*>(this + 1); }
    const DACluster* Clusters() const { return reinterpret_cast<const DACluster*>(this + 1); }
};

// Creation and procedures. `DACreate` gives nothing for an item size below 1 or a stride above
// kDAMaxStride. itemsPerCluster: positive as given, 0 = 65400 / stride, negative = a byte budget.
DAArray DACreate(MemPool pool, uint32_t itemSize, int32_t itemsPerCluster, uint32_t flags);
DAArray DADuplicate(MemPool pool, DAArray array);
void DADispose(DAArray array);
DAFreeProc DASetFreeProc(DAArray array, DAFreeProc proc);
DACompareProc DASetCompareProc(DAArray array, DACompareProc proc);
DACompareProcEx DASetCompareProcEx(DAArray array, DACompareProcEx proc);
void DASetRefCon(DAArray array, uint64_t value);
uint64_t DAGetRefCon(DAArray array);
// Changes the item size; bytes added to items are zero. -108 when a cluster cannot grow.
OSStatus DASetDataSize(DAArray array, int32_t itemSize, bool always);

inline int32_t DACount(DAArray array) { return array ? (*array)->count : 0; }

namespace da_detail {
char* GetAddressSlow(DAArray array, int32_t id, bool lock);
bool NextAddressSlow(DAArray array, int32_t* id, char** address);

// The slot of an id below the fast limit (live or free).
[[gnu::always_inline]] inline const char* FastSlot(const DAHeader* h, uint32_t id) {
    const uint32_t q = uint32_t((static_cast<unsigned __int128>(h->clusterDivider) * id) >> 64);
    // The fast limit never reaches past the full clusters in front, whose bases are kept current.
    PLEXA_ASSERT(q < uint32_t(h->clusterCount) && h->Clusters()[q].data != nullptr &&
                 h->Clusters()[q].base ==
                     uintptr_t(*h->Clusters()[q].data) - uintptr_t(q) * h->itemsPerCluster * h->stride);
    return reinterpret_cast<const char*>(h->Clusters()[q].base + uintptr_t(id) * h->stride);
}
// Works out cluster c's base from its data, its place and the stride.
inline void SetClusterBase(DAHeader* h, int32_t c) {
    DACluster& cluster = h->Clusters()[c];
    const uintptr_t before = (h->flags & kDAPacked) ? 0 : uintptr_t(c) * uint32_t(h->itemsPerCluster) * h->stride;
    cluster.base = (cluster.data ? uintptr_t(*cluster.data) : 0) - before;
}
inline void SetClusterBases(DAHeader* h) {
    for (int32_t c = 0; c < h->clusterCount; ++c) SetClusterBase(h, c);
}
// Bytes of zeros that stand for the item of an id with none: a read copies them like an item.
extern const char kZeroItem[kDAMaxStride];
// The live slot of an id outside the fast range, or kZeroItem when there is no live item. It only
// reads (declared pure), so what a caller read of the array before the call stays valid after it.
[[gnu::pure]] const char* LiveSlotOrZeros(const DAHeader* h, int32_t id);
[[gnu::always_inline]] inline bool SlotFree(const DAHeader* h, const char* slot) {
    return (slot + h->stride)[-1] & kDASlotFree;
}
// Whether a slot is free in an array of these flags and stride (a packed array has no free slots).
inline bool SlotIsFree(uint32_t flags, uint32_t stride, const char* slot) {
    return !(flags & kDAPacked) && (uint8_t(slot[stride - 1]) & kDASlotFree);
}

// The stride an array of this item size and these flags is created with: the item (at least 8
// bytes, the free-slot fields) and a status byte unless packed, rounded to 4 bytes (2 with
// kDAStride2). A size whose stride does not fit 32 bits gives 0xFFFFFFFF, which no check accepts.
inline uint32_t StrideFor(uint32_t itemSize, uint32_t flags) {
    const uint64_t round = (flags & kDAStride2) ? 2 : 4;
    const uint64_t body = (flags & kDAPacked) ? uint64_t(itemSize) : uint64_t(itemSize < 8 ? 8 : itemSize) + 1;
    const uint64_t stride = (body + round - 1) / round * round;
    return stride > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(stride);
}

// The run field of a free slot: how many free slots follow from it in its cluster, this one
// counted, capped at kMaxRun.
constexpr int32_t kMaxRun = 32767;
inline int32_t RunOf(const char* slot) {
    int16_t v;
    std::memcpy(&v, slot + 4, 2);
    return v;
}
inline void SetRun(char* slot, int32_t run) {
    const int16_t v = int16_t(run < kMaxRun ? run : kMaxRun);
    std::memcpy(slot + 4, &v, 2);
}
// Reading by id is the hottest use of an array, so the ids of the fast range are placed inline.
// The live slot of an id, or kZeroItem when there is none: a read copies from it in every case,
// with no call that writes memory on the way, so that a loop of reads keeps the array's header
// in registers instead of reading it again for every item.
[[gnu::always_inline]] inline const char* GetSource(const DAHeader* h, int32_t id) {
    if (uint32_t(id) < uint32_t(h->fastLimit)) [[likely]] {
        const char* slot = FastSlot(h, uint32_t(id));
        return SlotFree(h, slot) ? kZeroItem : slot;
    }
    return LiveSlotOrZeros(h, id);
}
// The live slot of an id, none when there is no live item.
[[gnu::always_inline]] inline const char* LiveSlot(const DAHeader* h, int32_t id) {
    const char* source = GetSource(h, id);
    return source == kZeroItem ? nullptr : source;
}
}  // namespace da_detail

// Access. `DAGet` copies the item and returns true; for an id with no live item it zeroes the
// destination and returns false. `DAPut` returns false (nothing written) likewise.
[[gnu::always_inline]] inline bool DAGet(DAArray array, int32_t id, void* destination) {
    if (!array) return false;
    const DAHeader* h = *array;
    const char* source = da_detail::GetSource(h, id);
    // Small items are copied without a library call. The compiler cannot know that the cases
    // other than the destination's own size are never taken.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Warray-bounds"
    switch (h->itemSize) {
        case 4: std::memcpy(destination, source, 4); break;
        case 8: std::memcpy(destination, source, 8); break;
        case 16: std::memcpy(destination, source, 16); break;
        default: std::memcpy(destination, source, h->itemSize);
    }
#pragma GCC diagnostic pop
    return source != da_detail::kZeroItem;
}
// The same for a typed destination: an item of the destination's size is copied as one value.
template <class T>
[[gnu::always_inline]] inline bool DAGet(DAArray array, int32_t id, T* destination) {
    if (!array) [[unlikely]] {
        std::memset(static_cast<void*>(destination), 0, sizeof(T));
        return false;
    }
    const DAHeader* h = *array;
    const char* source = da_detail::GetSource(h, id);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Warray-bounds"
    if (h->itemSize == sizeof(T)) [[likely]] std::memcpy(static_cast<void*>(destination), source, sizeof(T));
    else std::memcpy(static_cast<void*>(destination), source, h->itemSize);
#pragma GCC diagnostic pop
    return source != da_detail::kZeroItem;
}
bool DAPut(DAArray array, int32_t id, const void* source);
// The item's address (a free slot's too, for a physical id in range), none for an id out of
// range. With `lock` the item's cluster is locked until `DAUnlockId`.
inline char* DAGetAddress(DAArray array, int32_t id, bool lock) {
    if (array && !lock) {
        if (const char* slot = da_detail::LiveSlot(*array, id)) return const_cast<char*>(slot);
    }
    return da_detail::GetAddressSlow(array, id, lock);
}
void DAUnlockId(DAArray array, int32_t id);
void DALockArray(DAArray array);
void DAUnlockArray(DAArray array);
bool DAPhysicalGet(DAArray array, int32_t id, void* destination);
bool DAPhysicalPut(DAArray array, int32_t id, const void* source);
char* DAPhysicalGetAddress(DAArray array, int32_t id, bool lock);
void DAGetLogicalId(DAArray array, int32_t* id);
void DAGetPhysicalId(DAArray array, int32_t* id);
bool DAIsFreeId(DAArray array, int32_t id);
bool DAIsFreePhysicalId(DAArray array, int32_t id);
// The next live id after *id (start with -1) and its address; at the end *id becomes the id limit
// and the result is false.
inline bool DANextAddress(DAArray array, int32_t* id, char** address) {
    // The next id is most often the live one after: placed inline within the fast range.
    const DAHeader* h = *array;
    const uint32_t next = uint32_t(*id) + 1;  // below the fast limit only for ids from -1 on
    if (next < uint32_t(h->fastLimit)) {
        const char* slot = da_detail::FastSlot(h, next);
        if (!da_detail::SlotFree(h, slot)) {
            *id = int32_t(next);
            if (address) *address = const_cast<char*>(slot);
            return true;
        }
    }
    return da_detail::NextAddressSlow(array, id, address);
}
bool DAPhysicalNextAddress(DAArray array, int32_t* id, char** address);

// Adding and removing. `DAAdd` returns the new item's id (for a sorted array its position; for a
// unique sorted array that holds an equal item, that item's id, and `DADidAdd` is false), or -1
// when no slot can be had. `DAAllocate` gives a fresh zero-filled slot (at the end of the order
// of a sorted array), or -1.
int32_t DAAdd(DAArray array, const void* item);
// Adds `count` items laid out one after another, as that many `DAAdd` calls in that order would
// place them (the insert hint is cleared, not used). A sorted array sorts the batch once and merges
// it with its items, so that filling it costs n log n compares instead of n insertions; an empty
// array takes the batch in compare order, which lets reads by id and searches skip the map.
// Returns the number added (a unique array leaves out items equal to one it holds or to an
// earlier one of the batch), or -1 when no slot could be had: the items that got one stay, in
// order. `DADidAdd` tells whether any was added.
int32_t DAAddItems(DAArray array, const void* items, int32_t count);
bool DADidAdd();
void DASetInsertHint(int32_t index);
int32_t DAAllocate(DAArray array);
void DAFree(DAArray array, int32_t id);
void DARemove(DAArray array, int32_t id);
void DAFreeAll(DAArray array);
void DARemoveAll(DAArray array);
// After the key of a sorted item changed in place: moves its map entry to its new place (after
// the items equal to it) and gives its new id; false when it stays, or for arrays without
// logical ids.
bool DAUpdateLogicalId(DAArray array, int32_t* id);

// Searching and loops. `DASearch` compares the key with items (key first). Sorted arrays: the
// first equal item at or after `start` (with kDASearchLast the last one at or before it; the
// nearest equal one when none lies on that side; a start below 0 means the first or the last
// id), else the insertion index | kDANotFound. Unsorted
// arrays: a linear search forwards from start (backwards with kDASearchLast), kDANotFound alone
// when nothing is equal.
int32_t DASearch(DAArray array, int32_t start, const void* key, uint32_t flags);
// Returns -1 at the end, or the value given to `DAStopLoop`. A code signalled by the procedure is
// signalled on to the caller's catcher (and returned when there is none).
int32_t DAItemLoop(DAArray array, int32_t startId, uint32_t flags, DALoopProc proc, uint64_t value);
[[noreturn]] void DAStopLoop(DALoopRecord* loop, int32_t value);

// A run being linked by `DAQuickLoop`: in, the id the run's last slot links to; out, its length.
struct DAQuickRun {
    int32_t nextId;
    int32_t length;
};
// Without a run: the first physical slot from `start` whose status byte & mask == value, or -1.
// With one: links the free run that starts at `start` and returns start (-1 when no free run
// starts there).
int32_t DAQuickLoop(DAArray array, int32_t start, DAQuickRun* run, uint8_t mask, uint8_t value);
// The slot address found by the last `DAQuickLoop`.
char* DAQuickLoopAddress();
void DAOptimizeFree(DAArray array);

// Compaction and merging. The map arrays hold {first old id, last old id, difference} records;
// their reference value is the first id that changed. `DACombineArrays` into a sorted destination
// adds with `DAAdd` and gives no map (the destination's ids move as it adds).
// `DACompact` moves the items down over the free slots so that they hold ids 0 .. count - 1;
// nothing is done (and nothing returned) when no item would move or a loop is running.
DAArray DACompact(DAArray array, bool wantMap);
DAArray DACombineArrays(DAArray source, DAArray destination, int32_t startId, bool wantMap);
int32_t DAMapOldId(DAArray map, int32_t oldId);

}  // namespace plexa
