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
//
// Process-wide state: the insert hint, the add flag and the address left by `DAQuickLoop` are
// shared by all arrays. A nested `DAAdd` (from a compare or loop procedure) does not disturb the
// outer add's hint or result flag, but a compare procedure must not change the array it is
// comparing in, and a loop procedure that adds to a sorted array may see items again or miss
// them (only removals are followed by running loops).
#pragma once

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
    Handle data;
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
    uint64_t clusterDivider;  // derived from itemsPerCluster (0: not yet); not stored
    DACluster* Clusters() { return reinterpret_cast<DACluster*>(this + 1); }
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

// Access. `DAGet` copies the item and returns true; for an id with no live item it zeroes the
// destination and returns false. `DAPut` returns false (nothing written) likewise.
bool DAGet(DAArray array, int32_t id, void* destination);
bool DAPut(DAArray array, int32_t id, const void* source);
char* DAGetAddress(DAArray array, int32_t id, bool lock);
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
bool DANextAddress(DAArray array, int32_t* id, char** address);
bool DAPhysicalNextAddress(DAArray array, int32_t* id, char** address);

// Adding and removing.
int32_t DAAdd(DAArray array, const void* item);
bool DADidAdd();
void DASetInsertHint(int32_t index);
int32_t DAAllocate(DAArray array);
void DAFree(DAArray array, int32_t id);
void DARemove(DAArray array, int32_t id);
void DAFreeAll(DAArray array);
void DARemoveAll(DAArray array);
bool DAUpdateLogicalId(DAArray array, int32_t* id);

// Searching and loops.
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
int32_t DAQuickLoop(DAArray array, int32_t start, DAQuickRun* run, uint8_t mask, uint8_t value);
// The slot address found by the last `DAQuickLoop`.
char* DAQuickLoopAddress();
void DAOptimizeFree(DAArray array);

// Compaction and merging. The map arrays hold {first old id, last old id, difference} records;
// their reference value is the first id that changed. `DACombineArrays` into a sorted destination
// adds with `DAAdd` and gives no map (the destination's ids move as it adds).
DAArray DACompact(DAArray array, bool wantMap);
DAArray DACombineArrays(DAArray source, DAArray destination, int32_t startId, bool wantMap);
int32_t DAMapOldId(DAArray map, int32_t oldId);

}  // namespace plexa
