// DA arrays: creation, access, adding and removing, the free list, searches and item loops,
// compaction and merging. See da.h for the layout.
#include "foundation/da.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "foundation/assert.h"
#include "foundation/signals.h"

namespace plexa {

namespace {

using da_detail::RunOf;
using da_detail::SetRun;
using da_detail::StrideFor;

int32_t gInsertHint = -1;
bool gDidAdd = false;
char* gQuickAddress = nullptr;

constexpr int32_t kMapQuantum = 64;
constexpr uint32_t kGrowBytes = 512;
constexpr int32_t kUnlimited = 0x3FFFFFFF;
constexpr uint32_t kMapItemsPerCluster = 340;

static_assert(sizeof(DAHeader) % 8 == 0 && sizeof(DACluster) == 24);

// A map record of `DACompact` and `DACombineArrays`.
struct MapRecord {
    int32_t first;
    int32_t last;
    int32_t difference;
};
static_assert(sizeof(MapRecord) == 12);

bool Packed(const DAHeader* h) { return h->flags & kDAPacked; }
bool Logical(const DAHeader* h) { return (h->flags & (kDALogicalIds | kDAPacked)) == kDALogicalIds; }
bool Sorted(const DAHeader* h) { return h->flags & kDASorted; }
int32_t* Map(const DAHeader* h) { return reinterpret_cast<int32_t*>(*h->map); }
int32_t ClusterLimit(const DAHeader* h) { return h->itemsPerCluster > 0 ? h->itemsPerCluster : kUnlimited; }

uint32_t HeaderBytes(int32_t clusters) { return uint32_t(sizeof(DAHeader) + clusters * sizeof(DACluster)); }

// Works out `fastLimit` afresh: the slots of the full clusters in front and of the first one that
// is not; with logical ids, no further than the map holds each id's own slot. The changes that
// keep it exact step by step: growing a cluster (the slots it gains), taking a slot for a logical
// id at the end of the map (one more), and every change of the map before the end (lowered to
// the first entry changed).
void RefreshFastLimit(DAHeader* h) {
    h->fastLimit = 0;
    if (Packed(h) || !h->clusterDivider) return;
    int64_t limit = 0;
    for (int32_t c = 0; c < h->clusterCount; ++c) {
        const int32_t slots = h->Clusters()[c].slotCount;
        limit += std::max(slots, 0);
        if (slots != h->itemsPerCluster) break;
    }
    limit = std::min<int64_t>(limit, h->idLimit);
    if (Logical(h)) {
        const int32_t* map = Map(h);
        int32_t same = 0;
        while (same < limit && same < h->count && map[same] == same) ++same;
        limit = same;
    }
    h->fastLimit = int32_t(limit);
}

// Forgets the key samples of an array that changed (a search takes them again in time).
void DropKeySamples(DAHeader* h) {
    h->sampledCount = 0;
    h->plainSearches = 0;
}

// Lowers `fastLimit` of a logical array whose map changed from entry `first` on.
void MapChangedFrom(DAHeader* h, int32_t first) {
    if (Logical(h)) h->fastLimit = std::min(h->fastLimit, std::max(first, 0));
}

// Free-slot fields.
int32_t NextOf(const char* slot) {
    int32_t v;
    std::memcpy(&v, slot, 4);
    return v;
}
void SetNext(char* slot, int32_t next) { std::memcpy(slot, &next, 4); }
[[gnu::always_inline]] inline uint8_t& StatusOf(const DAHeader* h, char* slot) { return reinterpret_cast<uint8_t&>(slot[h->stride - 1]); }

// Cluster and index of a physical id without a hardware division: q = (M * n) >> 64 with
// M = 2^64 / d rounded up is exact for every 32-bit n and d.
struct Place {
    uint32_t cluster;
    uint32_t index;
};
[[gnu::always_inline]] inline Place Locate(const DAHeader* h, int32_t phys) {
    uint64_t m = h->clusterDivider;
    const uint32_t d = uint32_t(h->itemsPerCluster);
    if (d == 1) return Place{uint32_t(phys), 0};
    if (m == 0) m = UINT64_MAX / d + 1;  // a header made elsewhere: set by DACreate
    const uint32_t n = uint32_t(phys);
    const uint32_t q = uint32_t((static_cast<unsigned __int128>(m) * n) >> 64);
    return Place{q, n - q * d};
}

// The slot of a physical id that is known to exist.
[[gnu::always_inline]] inline char* SlotAt(const DAHeader* h, int32_t phys) {
    const DACluster* clusters = const_cast<DAHeader*>(h)->Clusters();
    if (Packed(h)) return *clusters[0].data + size_t(phys) * h->stride;
    const Place p = Locate(h, phys);
    return *clusters[p.cluster].data + size_t(p.index) * h->stride;
}

// The slot of a physical id, none when it does not exist.
[[gnu::always_inline]] inline char* CheckedSlot(const DAHeader* h, int32_t phys) {
    if (phys < 0 || phys >= h->idLimit) return nullptr;
    const DACluster* clusters = const_cast<DAHeader*>(h)->Clusters();
    if (Packed(h)) return *clusters[0].data + size_t(phys) * h->stride;
    const Place p = Locate(h, phys);
    if (p.cluster >= uint32_t(h->clusterCount) || p.index >= uint32_t(clusters[p.cluster].slotCount)) return nullptr;
    return *clusters[p.cluster].data + size_t(p.index) * h->stride;
}

// Copies an item; the common small sizes without a library call.
[[gnu::always_inline]] inline void CopyItem(void* to, const void* from, uint32_t size) {
    switch (size) {
        case 4: std::memcpy(to, from, 4); break;
        case 8: std::memcpy(to, from, 8); break;
        case 12: std::memcpy(to, from, 12); break;
        case 16: std::memcpy(to, from, 16); break;
        default: std::memcpy(to, from, size);
    }
}

[[gnu::always_inline]] inline bool SlotFree(const DAHeader* h, char* slot) { return da_detail::SlotIsFree(h->flags, h->stride, slot); }

[[gnu::always_inline]] inline char* LiveSlot(const DAHeader* h, int32_t phys) {
    char* slot = CheckedSlot(h, phys);
    return (slot && !SlotFree(h, slot)) ? slot : nullptr;
}

// The physical id of an id as callers hold it; -1 for a logical id out of range.
[[gnu::always_inline]] inline int32_t ToPhysical(const DAHeader* h, int32_t id) {
    if (!Logical(h)) return id;
    return (id >= 0 && id < h->count) ? Map(h)[id] : -1;
}

// The item at a logical position of a sorted (logical or packed) array.
[[gnu::always_inline]] inline char* ItemAt(const DAHeader* h, int32_t index) {
    return SlotAt(h, (Packed(h) || index < h->fastLimit) ? index : Map(h)[index]);
}

// The first live physical id at or after `phys`, skipping free runs; the id limit when none.
// The walk goes cluster by cluster: the id is placed once, then slots are stepped over.
int32_t NextLive(const DAHeader* h, int32_t phys) {
    if (phys < 0) phys = 0;
    if (Packed(h)) return std::min(phys, h->idLimit);
    if (phys >= h->idLimit) return h->idLimit;
    const DACluster* clusters = const_cast<DAHeader*>(h)->Clusters();
    const int32_t per = h->itemsPerCluster;
    const uint32_t stride = h->stride;
    Place p = Locate(h, phys);
    for (int32_t c = int32_t(p.cluster), i = int32_t(p.index); c < h->clusterCount; ++c, i = 0) {
        const int32_t slots = clusters[c].slotCount;
        const char* base = *clusters[c].data;
        while (i < slots) {
            const char* slot = base + size_t(i) * stride;
            if (!(uint8_t(slot[stride - 1]) & kDASlotFree)) {
                const int32_t id = c * per + i;
                return id < h->idLimit ? id : h->idLimit;
            }
            i += std::min(std::max(RunOf(slot), 1), slots - i);
        }
    }
    return h->idLimit;
}

[[gnu::always_inline]] inline int Compare(DAArray array, const void* key, const void* item) {
    const DAHeader* h = *array;
    if (!h->compareProc) {
        int32_t a, b;
        std::memcpy(&a, key, 4);
        std::memcpy(&b, item, 4);
        return a < b ? -1 : a > b ? 1 : 0;
    }
    if (h->flags & kDACompareEx) return reinterpret_cast<DACompareProcEx>(h->compareProc)(array, key, item);
    return reinterpret_cast<DACompareProc>(h->compareProc)(key, item);
}

// Clusters are not relocatable, so the heap never moves them: a lock only keeps the array's own
// operations from moving a cluster's items (it is counted, the handle itself is not locked).
void LockCluster(DACluster& cluster) { ++cluster.lockCount; }
void UnlockCluster(DACluster& cluster) {
    if (cluster.lockCount > 0) --cluster.lockCount;
}

// Lets every running loop over the array know that the item at `id` went away.
void FollowRemoval(DAHeader* h, int32_t id) {
    for (DALoopRecord* loop = h->loops; loop; loop = loop->next) {
        if (loop->id >= id) {
            --loop->step;
            loop->address = nullptr;
        }
    }
}

// Links `length` free slots from `first` (within one cluster) into a run: status free and
// linked, each to the next, the last to `nextId`, run lengths counting down.
void LinkRun(DAHeader* h, int32_t first, int32_t length, int32_t nextId) {
    for (int32_t k = 0; k < length; ++k) {
        char* slot = SlotAt(h, first + k);
        StatusOf(h, slot) = kDASlotFree | kDASlotLinked;
        SetNext(slot, k + 1 < length ? first + k + 1 : nextId);
        SetRun(slot, length - k);
    }
}

// Makes sure cluster c's handle holds `slots` slots. The handle grows geometrically (within the
// cluster's limit), so that filling a cluster step by step copies it a few times, not once a step;
// the slot count alone says how many slots exist.
bool ReserveSlots(DAArray array, int32_t c, int32_t slots) {
    const DAHeader* h = *array;
    const DACluster& cluster = const_cast<DAHeader*>(h)->Clusters()[c];
    const uint64_t need = uint64_t(slots) * h->stride;
    const uint32_t have = SizeOfHandle(cluster.data);
    if (need <= have) return true;
    uint64_t want = std::max<uint64_t>(need, uint64_t(have) + have / 2);
    if (!Packed(h)) want = std::min<uint64_t>(want, uint64_t(ClusterLimit(h)) * h->stride);
    if (want > 0x7FFFFFFF) want = need;
    if (need > 0x7FFFFFFF) return false;
    const bool ok = ResizeHandle(cluster.data, uint32_t(want)) ||
                    (want != need && ResizeHandle(cluster.data, uint32_t(need)));
    da_detail::SetClusterBase(*array, c);
    return ok;
}

// A copy of a cluster's data in a handle that is not relocatable, as every cluster's is.
Handle CloneCluster(MemPool pool, Handle data) {
    const uint32_t size = SizeOfHandle(data);
    Handle copy = AllocHandleEx(pool, size, kHandleNoMove);
    if (copy && size) std::memcpy(*copy, *data, size);
    return copy;
}

// Adds a cluster entry with an empty handle; false when refused or out of memory.
bool AddCluster(DAArray array) {
    DAHeader* h = *array;
    if (h->clusterCount >= kDAMaxClusters) return false;
    if (int64_t(h->clusterCount + 1) * ClusterLimit(h) > 0x7FFFFFFF) return false;  // ids are i32
    Handle data = nullptr;
    if (h->flags & kDAFixed) {
        const uint64_t bytes = uint64_t(ClusterLimit(h)) * h->stride;
        if (bytes > 0x7FFFFFFF) return false;
        data = AllocHandleEx(h->pool, uint32_t(bytes), kHandleNoMove);
    } else {
        data = AllocHandleEx(h->pool, 0, kHandleNoMove);
    }
    if (!data) return false;
    h = *array;  // an allocation may have moved the header
    if (!ResizeHandle(reinterpret_cast<Handle>(array), HeaderBytes(h->clusterCount + 1))) {
        MemFree(data);
        return false;
    }
    h = *array;
    h->Clusters()[h->clusterCount++] = DACluster{0, 0, data, 0};
    da_detail::SetClusterBase(h, h->clusterCount - 1);
    return true;
}

// Grows the first cluster with room (or a new one) by a step of free slots, which become the
// free list. False when no slot can be had.
bool GrowCluster(DAArray array) {
    DAHeader* h = *array;
    const int32_t limit = ClusterLimit(h);
    // Only the last cluster has room as a rule; the others are looked at when it is full.
    int32_t c = h->clusterCount - 1;
    if (c < 0 || h->Clusters()[c].slotCount >= limit) {
        c = 0;
        while (c < h->clusterCount && h->Clusters()[c].slotCount >= limit) ++c;
    }
    if (c == h->clusterCount) {
        if (!AddCluster(array)) return false;
        h = *array;
    }
    const int32_t have = h->Clusters()[c].slotCount;
    int32_t step = (h->flags & kDAGrowBySlot) ? 1 : int32_t(std::max<uint32_t>(kGrowBytes / h->stride, 1));
    step = std::min(step, limit - have);
    while (!ReserveSlots(array, c, have + step)) {
        if (step == 1) return false;
        step /= 2;
    }
    h = *array;
    DACluster& cluster = h->Clusters()[c];
    std::memset(*cluster.data + size_t(have) * h->stride, 0, size_t(step) * h->stride);
    cluster.slotCount = have + step;
    const int32_t first = c * h->itemsPerCluster + have;
    h->idLimit = std::max(h->idLimit, first + step);
    if (!Logical(h) && h->fastLimit == first && h->clusterDivider) {
        // The slots join the fast range; a cluster that filled up lets the next one's join too.
        if (cluster.slotCount == limit) RefreshFastLimit(h);
        else h->fastLimit = first + step;
    }
    LinkRun(h, first, step, -1);
    h->freeHead = first;
    return true;
}

bool GrowMap(DAArray array) {
    DAHeader* h = *array;
    const int32_t grow = std::max(kMapQuantum, h->mapCapacity / 4 / kMapQuantum * kMapQuantum);
    const int64_t capacity = int64_t(h->mapCapacity) + grow;
    if (capacity * 4 > 0x7FFFFFFF || !ResizeHandle(h->map, uint32_t(capacity * 4))) return false;
    h = *array;
    std::fill(Map(h) + h->mapCapacity, Map(h) + capacity, -1);
    h->mapCapacity = int32_t(capacity);
    return true;
}

// The free slot of a physical id, none when the slot does not exist or holds an item.
char* FreeSlot(const DAHeader* h, int32_t phys) {
    char* slot = CheckedSlot(h, phys);
    return (slot && SlotFree(h, slot)) ? slot : nullptr;
}

// Links every free slot in physical order, so that allocation fills them from the lowest.
void RelinkEveryFreeSlot(DAArray array) {
    DAHeader* h = *array;
    h->lowFreed = 0;
    h->highFreed = h->idLimit - 1;
    h->freeHead = -1;
    DAOptimizeFree(array);
}

// Links the free slots from the lowest one freed since the list was built (from the list's head
// when that lies lower, then to the end) into runs in physical order: the new free list.
void RelinkFreeSlots(DAHeader* h) {
    if (Packed(h) || h->lowFreed > h->highFreed) return;
    int32_t from = h->lowFreed, to = h->highFreed;
    if (h->freeHead != -1) {
        from = std::min(from, h->freeHead);
        to = h->idLimit - 1;
    }
    int32_t head = -1;
    char* previousLast = nullptr;
    const int64_t per = h->itemsPerCluster;
    const uint32_t stride = h->stride;
    const Place start = Locate(h, from);
    for (int32_t c = int32_t(start.cluster), i = int32_t(start.index); c < h->clusterCount; ++c, i = 0) {
        const int64_t first = c * per;
        if (first + i > to || first + i >= h->idLimit) break;
        const int32_t slots = h->Clusters()[c].slotCount;
        char* base = *h->Clusters()[c].data;
        auto isFree = [&](int32_t k) { return uint8_t(base[size_t(k) * stride + stride - 1]) & kDASlotFree; };
        while (i < slots && first + i <= to && first + i < h->idLimit) {
            if (!isFree(i)) {
                ++i;
                continue;
            }
            int32_t length = 1;
            while (i + length < slots && isFree(i + length)) ++length;
            const int32_t phys = int32_t(first + i);
            LinkRun(h, phys, length, -1);
            if (previousLast) SetNext(previousLast, phys);
            else head = phys;
            previousLast = base + size_t(i + length - 1) * stride;
            i += length;
        }
    }
    h->freeHead = head;
    h->lowFreed = 0x7FFFFFFF;
    h->highFreed = -1;
}

// Takes a fresh zero-filled slot and counts it; returns its physical id, -1 when none can be had.
int32_t TakeSlot(DAArray array) {
    DAHeader* h = *array;
    if (Packed(h)) {
        if (!ReserveSlots(array, 0, h->count + 1)) return -1;
        h = *array;
        const int32_t id = h->count;
        std::memset(SlotAt(h, id), 0, h->stride);
        ++h->count;
        ++h->idLimit;
        ++h->Clusters()[0].slotCount;
        DropKeySamples(h);
        return id;
    }
    // The free list is rebuilt only when slots were freed since it was last built. It lives in the
    // free slots: a link that leads to no free slot (bytes written through a free slot's address)
    // is dropped with the list, which is made again.
    if (h->freeHead == -1 && h->lowFreed <= h->highFreed) RelinkFreeSlots(h);
    if (h->freeHead != -1 && !FreeSlot(h, h->freeHead)) RelinkEveryFreeSlot(array);
    if ((*array)->freeHead == -1 && !GrowCluster(array)) return -1;
    h = *array;
    if (Logical(h) && h->count >= h->mapCapacity && !GrowMap(array)) return -1;
    h = *array;
    const int32_t phys = h->freeHead;
    char* slot = CheckedSlot(h, phys);
    PLEXA_ASSERT(slot != nullptr);
    h->freeHead = NextOf(slot);
    std::memset(slot, 0, h->stride);
    ++h->count;
    if (Logical(h)) {
        Map(h)[h->count - 1] = phys;
        if (h->fastLimit == phys && phys == h->count - 1 && h->clusterDivider) ++h->fastLimit;
    }
    DropKeySamples(h);
    return phys;
}

// Marks a live slot free (or, packed, closes the gap); `id` is the id callers hold.
void RemoveSlot(DAArray array, int32_t id, int32_t phys) {
    DAHeader* h = *array;
    DropKeySamples(h);
    if (Packed(h)) {
        char* base = *h->Clusters()[0].data;
        std::memmove(base + size_t(id) * h->stride, base + size_t(id + 1) * h->stride,
                     size_t(h->count - id - 1) * h->stride);
        --h->count;
        --h->idLimit;
        DACluster& cluster = h->Clusters()[0];
        --cluster.slotCount;
        const uint32_t need = uint32_t(cluster.slotCount) * h->stride;
        if (SizeOfHandle(cluster.data) > 2 * need + kGrowBytes) ResizeHandle(cluster.data, need + kGrowBytes / 2);
        da_detail::SetClusterBase(h, 0);
        FollowRemoval(*array, id);
        return;
    }
    char* slot = SlotAt(h, phys);
    StatusOf(h, slot) = kDASlotFree;
    SetRun(slot, 1);
    h->lowFreed = std::min(h->lowFreed, phys);
    h->highFreed = std::max(h->highFreed, phys);
    --h->count;
    if (Logical(h)) {
        int32_t* map = Map(h);
        std::memmove(map + id, map + id + 1, size_t(h->count - id) * 4);
        map[h->count] = -1;
        MapChangedFrom(h, id);
        FollowRemoval(h, id);
    }
}

// A private copy of an item: on the stack when small.
class ItemCopy {
public:
    ItemCopy(const void* item, uint32_t size) {
        if (size > sizeof(small_)) large_.reset(new char[size]);
        CopyItem(data(), item, size);
    }
    void* data() { return large_ ? large_.get() : small_; }

private:
    alignas(8) char small_[256];
    std::unique_ptr<char[]> large_;
};

// The layout of a sorted array without a compare procedure, read once for a search: nothing runs
// between its probes that could move the array. Each probe is a map entry (none below the fast
// limit), a cluster and a word.
class PlainView {
public:
    PlainView(const DAHeader* h, int32_t skip)
        : map_(Logical(h) ? Map(h) : nullptr),
          same_(h->fastLimit),
          clusters_(h->Clusters()),
          stride_(h->stride),
          per_(uint32_t(h->itemsPerCluster)),
          divider_(per_ <= 1 ? 0 : h->clusterDivider ? h->clusterDivider : UINT64_MAX / per_ + 1),
          skipFrom_(skip >= 0 ? skip : INT32_MAX) {}

    [[gnu::always_inline]] const char* SlotAt(int32_t v) const {
        v += v >= skipFrom_;
        if (!map_) return *clusters_[0].data + size_t(v) * stride_;
        const uint32_t phys = uint32_t(v < same_ ? v : map_[v]);
        if (per_ <= 1) return *clusters_[phys].data;
        const uint32_t q = uint32_t((static_cast<unsigned __int128>(divider_) * phys) >> 64);
        return *clusters_[q].data + size_t(phys - q * per_) * stride_;
    }
    int32_t SlotsPerLine() const { return std::max<int32_t>(1, int32_t(64 / stride_)); }
    int32_t Key(int32_t v) const {
        int32_t x;
        std::memcpy(&x, SlotAt(v), 4);
        return x;
    }
    // The first position of [from, from + length) whose key is not below `key` (with kUpper: is
    // above it), from + length when none. Without branches on the keys; the items of both
    // possible next probes are fetched while this one's is awaited, so two levels overlap.
    template <bool kUpper>
    int32_t Bound(int32_t from, int32_t length, int32_t key) const {
        int32_t lo = from;
        while (length > 0) {
            const int32_t half = length / 2, probe = lo + half, rest = length - half - 1;
            const char* slot = SlotAt(probe);
            __builtin_prefetch(SlotAt(lo + half / 2));
            __builtin_prefetch(SlotAt(std::min(probe + 1 + rest / 2, lo + length - 1)));
            int32_t x;
            std::memcpy(&x, slot, 4);
            // Masks rather than a choice: the compiler would make a branch of it, which the
            // keys would mispredict half the time.
            const int32_t right = -int32_t(kUpper ? x <= key : x < key);
            lo += (half + 1) & right;
            length = half + ((rest - half) & right);
        }
        return lo;
    }

private:
    const int32_t* map_;
    int32_t same_;
    const DACluster* clusters_;
    uint32_t stride_;
    uint32_t per_;
    uint64_t divider_;
    int32_t skipFrom_;
};

// Key samples: every kSampleStep-th key of a sorted array without a compare procedure, taken for
// arrays of kSampledMinimum items or more once the searches since the last change reach
// count / kSampleAfter, so that arrays that change between searches never pay for them.
constexpr int32_t kSampleStep = 32;
constexpr int32_t kSampledMinimum = 1024;
constexpr int32_t kSampleAfter = 256;

void TakeKeySamples(DAArray array) {
    DAHeader* h = *array;
    const int32_t n = h->count, m = (n + kSampleStep - 1) / kSampleStep;
    if (h->keySamples && MemSizePtr(h->keySamples) < uint32_t(m) * 4) {
        MemFreePtr(h->keySamples);
        h->keySamples = nullptr;
    }
    if (!h->keySamples) {
        // A pointer block: taking it never moves the array's relocatable blocks.
        auto* samples = reinterpret_cast<int32_t*>(AllocPtr(h->pool, uint32_t(m) * 4));
        h = *array;
        h->plainSearches = 0;
        if (!samples) return;
        h->keySamples = samples;
    }
    const PlainView view(h, -1);
    for (int32_t i = 0; i < m; ++i) h->keySamples[i] = view.Key(i * kSampleStep);
    h->sampledCount = n;
}

struct SearchPlan {
    DAArray array;
    const void* key;
    int32_t skip;  // a logical position to step over, -1 for none
    int32_t n;

    bool plain;  // no compare procedure: the first i32 decides, and nothing can move the array
    int32_t keyValue;

    char* At(int32_t v) const { return ItemAt(*array, (skip >= 0 && v >= skip) ? v + 1 : v); }
    int Cmp(int32_t v) const {
        if (plain) {
            int32_t x;
            std::memcpy(&x, At(v), 4);
            return keyValue < x ? -1 : keyValue > x ? 1 : 0;
        }
        return Compare(array, key, At(v));
    }
    // With key samples the search starts among them and ends among the kSampleStep items that
    // they leave; the answer is checked against its neighbours, since a key may have changed in
    // place since the samples were taken.
    template <bool kUpper>
    int32_t PlainBound() const {
        DAHeader* h = *array;
        const PlainView view(h, skip);
        if (skip < 0 && h->sampledCount == n && h->keySamples) {
            const int32_t* samples = h->keySamples;
            int32_t j = 0;
            for (int32_t length = (n + kSampleStep - 1) / kSampleStep; length > 0;) {
                const int32_t half = length / 2, rest = length - half - 1;
                const int32_t x = samples[j + half];
                const int32_t right = -int32_t(kUpper ? x <= keyValue : x < keyValue);
                j += (half + 1) & right;
                length = half + ((rest - half) & right);
            }
            const int32_t from = j > 0 ? (j - 1) * kSampleStep + 1 : 0;
            const int32_t to = std::min(n, j * kSampleStep);
            // The few cache lines of the range and of the neighbours that check the answer are
            // fetched at once rather than probe by probe.
            const int32_t last = std::min(to, n - 1);
            for (int32_t k = std::max(from - 1, 0); k <= last; k += view.SlotsPerLine()) __builtin_prefetch(view.SlotAt(k));
            __builtin_prefetch(view.SlotAt(last));
            const int32_t p = view.Bound<kUpper>(from, to - from, keyValue);
            auto before = [&](int32_t x) { return kUpper ? x <= keyValue : x < keyValue; };
            if ((p == 0 || before(view.Key(p - 1))) && (p == n || !before(view.Key(p)))) return p;
            DropKeySamples(h);
        }
        return view.Bound<kUpper>(0, n, keyValue);
    }
    template <bool kUpper>
    int32_t Bound() const {
        if (plain) return PlainBound<kUpper>();
        int32_t lo = 0, hi = n;
        while (lo < hi) {
            const int32_t mid = lo + (hi - lo) / 2;
            const int c = Cmp(mid);
            if (kUpper ? c >= 0 : c > 0) lo = mid + 1; else hi = mid;
        }
        return lo;
    }
    int32_t LowerBound() const { return Bound<false>(); }
    int32_t UpperBound() const { return Bound<true>(); }
};

int32_t SortedSearch(DAArray array, int32_t start, const void* key, uint32_t flags, int32_t skip) {
    DAHeader* h = *array;
    if (!h->compareProc && skip < 0 && h->count >= kSampledMinimum && h->sampledCount != h->count &&
        ++h->plainSearches >= h->count / kSampleAfter) {
        TakeKeySamples(array);
    }
    SearchPlan plan{array, key, skip, (*array)->count - (skip >= 0 ? 1 : 0), !(*array)->compareProc, 0};
    std::memcpy(&plan.keyValue, key, 4);
    if (flags & kDASearchLast) {
        const int32_t ub = plan.UpperBound();
        if (ub == 0 || plan.Cmp(ub - 1) != 0) return int32_t(uint32_t(ub) | kDANotFound);
        if (start < 0 || start >= ub - 1) return ub - 1;
        return std::max(start, plan.LowerBound());
    }
    const int32_t lb = plan.LowerBound();
    if (lb == plan.n || plan.Cmp(lb) != 0) return int32_t(uint32_t(lb) | kDANotFound);
    if (start <= lb) return lb;
    return std::min(start, plan.UpperBound() - 1);
}

int32_t LinearSearch(DAArray array, int32_t start, const void* key, uint32_t flags) {
    const DAHeader* h = *array;
    const bool logical = Logical(h) || Packed(h);
    const int32_t end = logical ? h->count : h->idLimit;
    if (flags & kDASearchLast) {
        for (int32_t id = (start < 0 || start >= end) ? end - 1 : start; id >= 0; --id) {
            char* slot = logical ? ItemAt(*array, id) : LiveSlot(*array, id);
            if (slot && Compare(array, key, slot) == 0) return id;
        }
        return int32_t(kDANotFound);
    }
    for (int32_t id = std::max(start, 0);; ++id) {
        h = *array;
        if (logical) {
            if (id >= h->count) break;
        } else if ((id = NextLive(h, id)) >= h->idLimit) {
            break;
        }
        if (Compare(array, key, logical ? ItemAt(h, id) : SlotAt(h, id)) == 0) return id;
    }
    return int32_t(kDANotFound);
}

int32_t Search(DAArray array, int32_t start, const void* key, uint32_t flags, int32_t skip) {
    DAHeader* h = *array;
    if (h->count == 0) return int32_t(kDANotFound);
    const bool lock = flags & kDASearchLock;
    if (lock) {
        // The key may lie in the array, whose blocks can move while the key's handle is made.
        ItemCopy copy(key, h->itemSize);
        if (!h->searchKey) {
            Handle searchKey = AllocHandle(h->pool, h->itemSize);
            (*array)->searchKey = searchKey;
        } else {
            ResizeHandle(h->searchKey, h->itemSize);
        }
        h = *array;
        const bool keyHandle = h->searchKey && SizeOfHandle(h->searchKey) == h->itemSize;
        if (keyHandle) {
            std::memcpy(*h->searchKey, copy.data(), h->itemSize);
            key = MemLock(h->searchKey);
        } else {
            key = copy.data();
        }
        DALockArray(array);
        // Unlocks on every path, a signal from the compare procedure included.
        struct Unlock {
            DAArray array;
            bool keyHandle;
            ~Unlock() {
                DAUnlockArray(array);
                if (keyHandle) MemUnlock((*array)->searchKey);
            }
        } unlock{array, keyHandle};
        return Sorted(h) ? SortedSearch(array, start, key, flags, skip) : LinearSearch(array, start, key, flags);
    }
    return Sorted(h) ? SortedSearch(array, start, key, flags, skip) : LinearSearch(array, start, key, flags);
}

// Links a loop record into its array for the loop's run and takes it out on every path.
class LoopScope {
public:
    LoopScope(DAArray array, DALoopRecord* record, bool lock) : array_(array), record_(record), lock_(lock) {
        record->next = (*array)->loops;
        (*array)->loops = record;
        if (lock_) DALockArray(array);
    }
    ~LoopScope() {
        if (lock_) DAUnlockArray(array_);
        for (DALoopRecord** link = &(*array_)->loops; *link; link = &(*link)->next) {
            if (*link == record_) {
                *link = record_->next;
                break;
            }
        }
    }
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;

private:
    DAArray array_;
    DALoopRecord* record_;
    bool lock_;
};

DAArray NewMapArray() { return DACreate(nullptr, sizeof(MapRecord), kMapItemsPerCluster, 0); }

// Appends the step old -> fresh to a map array, widening the last record when it continues it.
bool AddMapStep(DAArray map, int32_t old, int32_t fresh) {
    DAHeader* m = *map;
    if (m->count > 0) {
        auto* last = reinterpret_cast<MapRecord*>(SlotAt(m, m->count - 1));
        if (last->last + 1 == old && last->difference == fresh - old) {
            last->last = old;
            return true;
        }
    }
    const MapRecord record{old, old, fresh - old};
    return DAAdd(map, &record) >= 0;
}

}  // namespace

// ---- creation and procedures

DAArray DACreate(MemPool pool, uint32_t itemSize, int32_t itemsPerCluster, uint32_t flags) {
    if (itemSize < 1) return nullptr;
    if ((flags & 7) == kDAUnique) flags |= kDASorted;
    if (flags & kDAPacked) flags = (flags | kDASorted) & ~kDALogicalIds;
    else if (flags & kDASorted) flags |= kDALogicalIds;
    const uint32_t stride = StrideFor(itemSize, flags);
    if (stride > kDAMaxStride) return nullptr;
    int32_t perCluster;
    if (flags & kDAPacked) perCluster = 0;
    else if (itemsPerCluster > 0) perCluster = itemsPerCluster;
    else if (itemsPerCluster == 0) perCluster = int32_t(65400 / stride);
    else perCluster = int32_t(std::max<int64_t>(stride, -int64_t(itemsPerCluster)) / stride);

    if (!pool && !gCurrentPool) (void)InitMemoryManager(-1);  // without a pool the allocation below fails
    pool = pool ? pool : gCurrentPool;
    auto array = reinterpret_cast<DAArray>(AllocHandleClear(pool, HeaderBytes(0)));
    if (!array) return nullptr;
    DAHeader* h = *array;
    h->itemSize = itemSize;
    h->stride = stride;
    h->itemsPerCluster = perCluster;
    h->clusterDivider = perCluster > 1 ? UINT64_MAX / uint32_t(perCluster) + 1 : 0;
    h->freeHead = -1;
    h->flags = flags;
    h->lowFreed = 0x7FFFFFFF;
    h->highFreed = -1;
    h->pool = pool;
    bool ok = true;
    if (flags & kDALogicalIds) {
        Handle map = AllocHandle(pool, kMapQuantum * 4);
        ok = map != nullptr;
        if (ok) {
            h = *array;
            h->map = map;
            h->mapCapacity = kMapQuantum;
            std::fill(Map(h), Map(h) + kMapQuantum, -1);
        }
    }
    if (ok && (flags & kDAPacked)) ok = AddCluster(array);
    if (!ok) {
        DADispose(array);
        return nullptr;
    }
    gInsertHint = -1;
    return array;
}

DAArray DADuplicate(MemPool pool, DAArray array) {
    if (!array) return nullptr;
    const DAHeader* h = *array;
    pool = pool ? pool : h->pool;
    auto copy = reinterpret_cast<DAArray>(CloneHandle(pool, reinterpret_cast<Handle>(array)));
    if (!copy) return nullptr;
    DAHeader* c = *copy;
    c->pool = pool;
    c->loops = nullptr;
    c->searchKey = nullptr;
    c->keySamples = nullptr;
    DropKeySamples(c);
    const int32_t clusters = c->clusterCount;
    c->clusterCount = 0;  // entries are counted as their clones are made, for a clean failure
    c->fastLimit = 0;
    bool ok = true;
    if ((*array)->map) {
        Handle map = CloneHandle(pool, (*array)->map);
        (*copy)->map = map;
        ok = map != nullptr;
    }
    for (int32_t i = 0; ok && i < clusters; ++i) {
        Handle data = CloneCluster(pool, (*array)->Clusters()[i].data);
        ok = data != nullptr;
        if (ok) {
            c = *copy;
            c->Clusters()[i] = DACluster{0, (*array)->Clusters()[i].slotCount, data, 0};
            da_detail::SetClusterBase(c, i);
            c->clusterCount = i + 1;
        }
    }
    if (!ok) {
        DADispose(copy);
        return nullptr;
    }
    (*copy)->fastLimit = (*array)->fastLimit;  // the same layout
    return copy;
}

void DADispose(DAArray array) {
    if (!array) return;
    DAHeader* h = *array;
    for (int32_t i = 0; i < h->clusterCount; ++i) MemFree(h->Clusters()[i].data);
    if (h->map) MemFree(h->map);
    if (h->searchKey) MemFree(h->searchKey);
    if (h->keySamples) MemFreePtr(h->keySamples);
    MemFree(reinterpret_cast<Handle>(array));
}

DAFreeProc DASetFreeProc(DAArray array, DAFreeProc proc) {
    return std::exchange((*array)->freeProc, proc);
}

DACompareProc DASetCompareProc(DAArray array, DACompareProc proc) {
    DAHeader* h = *array;
    const bool wasEx = h->flags & kDACompareEx;
    void* old = std::exchange(h->compareProc, reinterpret_cast<void*>(proc));
    h->flags &= ~kDACompareEx;
    return wasEx ? nullptr : reinterpret_cast<DACompareProc>(old);
}

DACompareProcEx DASetCompareProcEx(DAArray array, DACompareProcEx proc) {
    DAHeader* h = *array;
    const bool wasEx = h->flags & kDACompareEx;
    void* old = std::exchange(h->compareProc, reinterpret_cast<void*>(proc));
    h->flags |= kDACompareEx;
    return wasEx ? reinterpret_cast<DACompareProcEx>(old) : nullptr;
}

void DASetRefCon(DAArray array, uint64_t value) { (*array)->refCon = value; }
uint64_t DAGetRefCon(DAArray array) { return (*array)->refCon; }

OSStatus DASetDataSize(DAArray array, int32_t itemSize, bool always) {
    if (!array) return status::kParamErr;
    DAHeader* h = *array;
    const uint32_t newSize = uint32_t(std::max(itemSize, 1));
    const uint32_t oldSize = h->itemSize, oldStride = h->stride;
    const uint32_t newStride = StrideFor(newSize, h->flags);
    if (newStride > kDAMaxStride) return status::kParamErr;
    const bool packed = Packed(h);
    const uint32_t oldBody = packed ? oldStride : oldStride - 1;

    if (newStride > oldStride) {
        // Grow every handle first, so that a failure leaves the array as it was.
        for (int32_t c = h->clusterCount - 1; c >= 0; --c) {
            h = *array;
            const uint64_t bytes = uint64_t(h->Clusters()[c].slotCount) * newStride;
            if (bytes > 0x7FFFFFFF) return status::kOutOfMemory;
            const bool ok = SizeOfHandle(h->Clusters()[c].data) >= bytes ||
                            ResizeHandle(h->Clusters()[c].data, uint32_t(bytes));
            da_detail::SetClusterBase(*array, c);
            if (!ok) return status::kOutOfMemory;
        }
        h = *array;
        for (int32_t c = h->clusterCount - 1; c >= 0; --c) {
            char* base = *h->Clusters()[c].data;
            for (int32_t i = h->Clusters()[c].slotCount - 1; i >= 0; --i) {
                char* from = base + size_t(i) * oldStride;
                char* to = base + size_t(i) * newStride;
                const uint8_t statusByte = packed ? 0 : uint8_t(from[oldStride - 1]);
                std::memmove(to, from, oldBody);
                std::memset(to + oldBody, 0, newStride - oldBody);
                if (!packed) to[newStride - 1] = char(statusByte);
            }
        }
        h->stride = newStride;
    } else if (newStride < oldStride && always) {
        const uint32_t newBody = packed ? newStride : newStride - 1;
        for (int32_t c = 0; c < h->clusterCount; ++c) {
            char* base = *h->Clusters()[c].data;
            const int32_t slots = h->Clusters()[c].slotCount;
            for (int32_t i = 0; i < slots; ++i) {
                char* from = base + size_t(i) * oldStride;
                char* to = base + size_t(i) * newStride;
                const uint8_t statusByte = packed ? 0 : uint8_t(from[oldStride - 1]);
                std::memmove(to, from, newBody);
                if (!packed) to[newStride - 1] = char(statusByte);
            }
            ResizeHandle(h->Clusters()[c].data, uint32_t(slots) * newStride);
            h = *array;
        }
        h->stride = newStride;
    }
    h->itemSize = newSize;
    da_detail::SetClusterBases(h);
    if (newSize > oldSize) {
        // Bytes that join the items are zero, in live slots; free slots keep their links.
        const uint32_t body = packed ? h->stride : h->stride - 1;
        const uint32_t from = std::min(oldSize, body), to = std::min(newSize, body);
        for (int32_t c = 0; c < h->clusterCount && to > from; ++c) {
            char* base = *h->Clusters()[c].data;
            for (int32_t i = 0; i < h->Clusters()[c].slotCount; ++i) {
                char* slot = base + size_t(i) * h->stride;
                if (!SlotFree(h, slot)) std::memset(slot + from, 0, to - from);
            }
        }
    }
    return status::kNoErr;
}

// ---- access

namespace {
[[gnu::always_inline]] inline bool CopyOut(const DAHeader* h, char* slot, void* destination) {
    if (!slot) {
        std::memset(destination, 0, h->itemSize);
        return false;
    }
    CopyItem(destination, slot, h->itemSize);
    return true;
}
}  // namespace

bool DAPhysicalGet(DAArray array, int32_t id, void* destination) {
    if (!array) return false;
    const DAHeader* h = *array;
    return CopyOut(h, LiveSlot(h, id), destination);
}

const char da_detail::kZeroItem[kDAMaxStride] = {};

// (Inside da_detail the inline reader of the same name would be found first.)
const char* da_detail::LiveSlotOrZeros(const DAHeader* h, int32_t id) {
    const char* slot = plexa::LiveSlot(h, ToPhysical(h, id));
    return slot ? slot : kZeroItem;
}

bool DAPhysicalPut(DAArray array, int32_t id, const void* source) {
    char* slot = array ? LiveSlot(*array, id) : nullptr;
    if (!slot) return false;
    std::memcpy(slot, source, (*array)->itemSize);
    return true;
}

bool DAPut(DAArray array, int32_t id, const void* source) {
    if (!array) return false;
    return DAPhysicalPut(array, ToPhysical(*array, id), source);
}

char* DAPhysicalGetAddress(DAArray array, int32_t id, bool lock) {
    if (!array) return nullptr;
    DAHeader* h = *array;
    char* slot = CheckedSlot(h, id);
    if (slot && lock && !(h->flags & kDAFixed)) {
        LockCluster(h->Clusters()[Packed(h) ? 0 : id / h->itemsPerCluster]);
        slot = CheckedSlot(*array, id);
    }
    return slot;
}

char* da_detail::GetAddressSlow(DAArray array, int32_t id, bool lock) {
    return array ? DAPhysicalGetAddress(array, ToPhysical(*array, id), lock) : nullptr;
}

void DAUnlockId(DAArray array, int32_t id) {
    if (!array) return;
    DAHeader* h = *array;
    const int32_t phys = ToPhysical(h, id);
    if (!CheckedSlot(h, phys) || (h->flags & kDAFixed)) return;
    UnlockCluster(h->Clusters()[Packed(h) ? 0 : phys / h->itemsPerCluster]);
}

void DALockArray(DAArray array) {
    if (!array || ((*array)->flags & kDAFixed)) return;
    for (int32_t c = 0; c < (*array)->clusterCount; ++c) LockCluster((*array)->Clusters()[c]);
}

void DAUnlockArray(DAArray array) {
    if (!array || ((*array)->flags & kDAFixed)) return;
    for (int32_t c = 0; c < (*array)->clusterCount; ++c) UnlockCluster((*array)->Clusters()[c]);
}

void DAGetLogicalId(DAArray array, int32_t* id) {
    const DAHeader* h = *array;
    if (!Logical(h)) return;
    const int32_t* map = Map(h);
    const int32_t* found = std::find(map, map + h->count, *id);
    *id = found == map + h->count ? -1 : int32_t(found - map);
}

void DAGetPhysicalId(DAArray array, int32_t* id) { *id = ToPhysical(*array, *id); }

bool DAIsFreePhysicalId(DAArray array, int32_t id) {
    if (!array) return true;
    const DAHeader* h = *array;
    if (Packed(h)) return id < 0 || id >= h->count;
    return !LiveSlot(h, id);
}

bool DAIsFreeId(DAArray array, int32_t id) {
    if (!array) return true;
    const DAHeader* h = *array;
    if (Logical(h) || Packed(h)) return id < 0 || id >= h->count;
    return !LiveSlot(h, id);
}

bool DAPhysicalNextAddress(DAArray array, int32_t* id, char** address) {
    const DAHeader* h = *array;
    const int32_t next = NextLive(h, *id < -1 ? 0 : *id + 1);
    *id = next;
    if (next >= h->idLimit) {
        *id = h->idLimit;
        if (address) *address = nullptr;
        return false;
    }
    if (address) *address = SlotAt(h, next);
    return true;
}

bool da_detail::NextAddressSlow(DAArray array, int32_t* id, char** address) {
    const DAHeader* h = *array;
    if (!Logical(h)) return DAPhysicalNextAddress(array, id, address);
    const int32_t next = *id < -1 ? 0 : *id + 1;
    if (next >= h->count) {
        *id = h->idLimit;
        if (address) *address = nullptr;
        return false;
    }
    *id = next;
    if (address) *address = SlotAt(h, Map(h)[next]);
    return true;
}

// ---- adding and removing

bool DADidAdd() { return gDidAdd; }

void DASetInsertHint(int32_t index) { gInsertHint = index == -1 ? -1 : int32_t(uint32_t(index) & ~kDANotFound); }

int32_t DAAllocate(DAArray array) {
    if (!array) return -1;
    const int32_t phys = TakeSlot(array);
    if (phys < 0) return -1;
    return Logical(*array) ? (*array)->count - 1 : phys;
}

int32_t DAAdd(DAArray array, const void* item) {
    // The hint and the add flag are taken before anything can call out, so that an add from a
    // compare procedure neither uses this add's hint nor leaves its flag as this add's result.
    const int32_t hint = std::exchange(gInsertHint, -1);
    gDidAdd = false;
    if (!array) return -1;
    DAHeader* h = *array;
    // The item may lie in this array, whose clusters can move when it grows.
    ItemCopy copy(item, h->itemSize);
    item = copy.data();
    int32_t position = -1;
    if (Sorted(h)) {
        if (hint >= 0) {
            position = std::min(hint, h->count);
        } else if (h->count > 0 && Compare(array, item, ItemAt(h, h->count - 1)) > 0) {
            position = (*array)->count;  // beyond the last item: items that come in order
        } else {
            const int32_t found = Search(array, -1, item, kDASearchLast | (h->flags & kDASearchLock), -1);
            if (!(uint32_t(found) & kDANotFound)) {
                if ((*array)->flags & kDAUnique) {
                    gDidAdd = false;
                    return found;
                }
                position = found + 1;
            } else {
                position = int32_t(uint32_t(found) & ~kDANotFound);
            }
        }
    }
    const int32_t phys = TakeSlot(array);
    if (phys < 0) {
        gDidAdd = false;
        return -1;
    }
    h = *array;
    int32_t id;
    if (Packed(h)) {
        char* base = *h->Clusters()[0].data;
        std::memmove(base + size_t(position + 1) * h->stride, base + size_t(position) * h->stride,
                     size_t(h->count - 1 - position) * h->stride);
        std::memset(base + size_t(position) * h->stride, 0, h->stride);
        std::memcpy(base + size_t(position) * h->stride, item, h->itemSize);
        id = position;
    } else {
        CopyItem(SlotAt(h, phys), item, h->itemSize);
        id = Logical(h) ? h->count - 1 : phys;
        if (Sorted(h) && position != id) {
            int32_t* map = Map(h);
            std::memmove(map + position + 1, map + position, size_t(id - position) * 4);
            map[position] = phys;
            MapChangedFrom(h, position);
            id = position;
        }
    }
    gDidAdd = true;
    return id;
}

int32_t DAAddItems(DAArray array, const void* items, int32_t count) {
    gInsertHint = -1;
    gDidAdd = false;
    if (!array || count < 0 || (count > 0 && !items)) return -1;
    DAHeader* h = *array;
    const uint32_t size = h->itemSize;
    // A copy: the items may lie in this array, whose clusters can move as it grows.
    std::vector<char> copy(static_cast<const char*>(items), static_cast<const char*>(items) + size_t(count) * size);
    auto item = [&](int32_t k) { return copy.data() + size_t(k) * size; };

    if (!Sorted(h)) {
        int32_t added = 0;
        for (; added < count; ++added) {
            const int32_t phys = TakeSlot(array);
            if (phys < 0) break;
            CopyItem(SlotAt(*array, phys), item(added), size);
        }
        gDidAdd = added > 0;
        return added < count ? -1 : added;
    }

    // The batch in compare order, equal items in the order given; a unique array keeps the first
    // of equal items.
    std::vector<int32_t> order(static_cast<size_t>(count));
    if (!(*array)->compareProc) {
        // Without a compare procedure the first i32 decides: (key, place) pairs sort in one block.
        std::vector<std::pair<int32_t, int32_t>> keyed(order.size());
        for (int32_t k = 0; k < count; ++k) {
            std::memcpy(&keyed[size_t(k)].first, item(k), 4);
            keyed[size_t(k)].second = k;
        }
        std::sort(keyed.begin(), keyed.end());
        for (size_t k = 0; k < keyed.size(); ++k) order[k] = keyed[k].second;
    } else {
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int32_t a, int32_t b) { return Compare(array, item(a), item(b)) < 0; });
    }
    const bool unique = (*array)->flags & kDAUnique;
    if (unique) {
        size_t kept = 0;
        for (size_t k = 0; k < order.size(); ++k) {
            if (kept == 0 || Compare(array, item(order[k]), item(order[kept - 1])) != 0) order[kept++] = order[k];
        }
        order.resize(kept);
    }

    // Where each goes among the items already there: after the equal ones, as `DAAdd` puts it.
    const int32_t old = (*array)->count;
    std::vector<int32_t> position(order.size(), old);
    if (old > 0 && !order.empty() && Compare(array, item(order[0]), ItemAt(*array, old - 1)) <= 0) {
        const uint32_t flags = kDASearchLast | ((*array)->flags & kDASearchLock);
        size_t kept = 0;
        for (size_t k = 0; k < order.size(); ++k) {
            const int32_t found = Search(array, -1, item(order[k]), flags, -1);
            if (!(uint32_t(found) & kDANotFound)) {
                if (unique) continue;
                position[kept] = found + 1;
            } else {
                position[kept] = int32_t(uint32_t(found) & ~kDANotFound);
            }
            order[kept++] = order[k];
        }
        order.resize(kept);
        position.resize(kept);
    }

    // Slots for the batch at the end of the order, then one merge from the back puts them in place.
    const int32_t want = int32_t(order.size());
    if (Packed(*array) && !ReserveSlots(array, 0, old + want)) return -1;
    int32_t added = 0;
    for (; added < want; ++added) {
        // The batch is read in compare order, out of place: the items a little ahead are fetched.
        if (added + 16 < want) __builtin_prefetch(item(order[size_t(added + 16)]));
        const int32_t phys = TakeSlot(array);
        if (phys < 0) break;
        if (!Packed(*array)) CopyItem(SlotAt(*array, phys), item(order[size_t(added)]), size);
    }
    h = *array;
    if (Packed(h)) {
        char* base = *h->Clusters()[0].data;
        auto slot = [&](int32_t index) { return base + size_t(index) * h->stride; };
        int32_t from = old - 1, to = old + added - 1;
        for (int32_t k = added - 1; k >= 0; --k) {
            const int32_t moved = from - position[size_t(k)] + 1;
            if (moved > 0) {
                std::memmove(slot(to - moved + 1), slot(from - moved + 1), size_t(moved) * h->stride);
                to -= moved;
                from -= moved;
            }
            std::memset(slot(to), 0, h->stride);
            CopyItem(slot(to), item(order[size_t(k)]), size);
            --to;
        }
    } else if (added > 0 && position[0] < old) {
        int32_t* map = Map(h);
        const std::vector<int32_t> fresh(map + old, map + old + added);
        int32_t from = old - 1, to = old + added - 1;
        for (int32_t k = added - 1; k >= 0; --to) {
            if (from >= position[size_t(k)]) map[to] = map[from--];
            else map[to] = fresh[size_t(k--)];
        }
        MapChangedFrom(h, position[0]);
    }
    gDidAdd = added > 0;
    return added < want ? -1 : added;
}

void DARemove(DAArray array, int32_t id) {
    if (!array) return;
    DAHeader* h = *array;
    if (Packed(h)) {
        if (id >= 0 && id < h->count) RemoveSlot(array, id, id);
        return;
    }
    const int32_t phys = ToPhysical(h, id);
    if (LiveSlot(h, phys)) RemoveSlot(array, id, phys);
}

void DAFree(DAArray array, int32_t id) {
    if (!array || DAIsFreeId(array, id)) return;
    if (DAFreeProc proc = (*array)->freeProc) {
        DALoopRecord record{};
        record.address = DAGetAddress(array, id, false);
        record.value = uint64_t(-2);
        record.id = id;
        record.step = 1;
        record.stopValue = -1;
        // The record is a loop record, so the procedure may stop it like a loop's: it gets a
        // catcher of its own. A failure it signals goes on to the caller, the item stays.
        const OSStatus code = CatchSignals([&] {
            record.depth = GetSignalDepth();
            proc(array, id, &record);
        });
        if (code != 0 && !record.stopped) {
            SignalIfCaught(code);
            return;
        }
    }
    DARemove(array, id);
}

void DAFreeAll(DAArray array) {
    if (!array) return;
    if (DAFreeProc proc = (*array)->freeProc) DAItemLoop(array, 0, kDASearchLock, proc, uint64_t(-1));
    DARemoveAll(array);
}

void DARemoveAll(DAArray array) {
    if (!array) return;
    DAHeader* h = *array;
    const bool packed = Packed(h);
    for (int32_t c = 0; c < h->clusterCount; ++c) MemFree(h->Clusters()[c].data);
    h->clusterCount = 0;
    h->count = 0;
    h->idLimit = 0;
    h->fastLimit = 0;
    DropKeySamples(h);
    h->freeHead = -1;
    h->lowFreed = 0x7FFFFFFF;
    h->highFreed = -1;
    if (h->map) std::fill(Map(h), Map(h) + h->mapCapacity, -1);
    ResizeHandle(reinterpret_cast<Handle>(array), HeaderBytes(0));
    if (packed) AddCluster(array);
}

bool DAUpdateLogicalId(DAArray array, int32_t* id) {
    if (!array) return false;
    DAHeader* h = *array;
    if (!Logical(h) || !Sorted(h) || *id < 0 || *id >= h->count) return false;
    const int32_t from = *id;
    ItemCopy key(ItemAt(h, from), h->itemSize);
    const int32_t found = Search(array, -1, key.data(), kDASearchLast, from);
    const int32_t to = (uint32_t(found) & kDANotFound) ? int32_t(uint32_t(found) & ~kDANotFound) : found + 1;
    if (to == from) return false;
    h = *array;
    int32_t* map = Map(h);
    const int32_t phys = map[from];
    if (to < from) std::memmove(map + to + 1, map + to, size_t(from - to) * 4);
    else std::memmove(map + from, map + from + 1, size_t(to - from) * 4);
    map[to] = phys;
    MapChangedFrom(h, std::min(from, to));
    DropKeySamples(h);
    *id = to;
    return true;
}

// ---- searching and loops

int32_t DASearch(DAArray array, int32_t start, const void* key, uint32_t flags) {
    if (!array) return int32_t(kDANotFound);
    return Search(array, start, key, flags, -1);
}

int32_t DAItemLoop(DAArray array, int32_t startId, uint32_t flags, DALoopProc proc, uint64_t value) {
    if (!array) return -1;
    DALoopRecord record{};
    record.value = value;
    record.step = 1;
    record.stopValue = -1;
    OSStatus code;
    {
        LoopScope scope(array, &record, (flags & kDASearchLock) && !((*array)->flags & kDAFixed));
        code = CatchSignals([&] {
            record.depth = GetSignalDepth();
            const bool byPosition = Logical(*array) || Packed(*array);
            for (int32_t id = std::max(startId, 0);;) {
                const DAHeader* h = *array;
                if (byPosition) {
                    if (id >= h->count) break;
                } else if ((id = NextLive(h, id)) >= h->idLimit) {
                    break;
                }
                record.id = id;
                record.step = 1;
                record.address = byPosition ? ItemAt(h, id) : SlotAt(h, id);
                proc(array, id, &record);
                id += byPosition ? record.step : 1;
                record.step = 1;
            }
        });
    }
    if (record.stopped) return record.stopValue;
    if (code != 0) {
        SignalIfCaught(code);
        return code;
    }
    return -1;
}

void DAStopLoop(DALoopRecord* loop, int32_t value) {
    loop->stopValue = value;
    loop->stopped = true;
    SetSignalDepth(loop->depth);
    Signal(1);
    // Signal returns only when no catcher is open, which a running loop always has.
    std::abort();
}

int32_t DAQuickLoop(DAArray array, int32_t start, DAQuickRun* run, uint8_t mask, uint8_t value) {
    gQuickAddress = nullptr;
    if (!array) return -1;
    DAHeader* h = *array;
    if (Packed(h)) return -1;
    if (run) {
        char* slot = LiveSlot(h, start) ? nullptr : CheckedSlot(h, start);
        if (!slot) return -1;
        const int32_t c = start / h->itemsPerCluster;
        const int32_t end = c * h->itemsPerCluster + h->Clusters()[c].slotCount;
        int32_t length = 0;
        while (start + length < end && SlotFree(h, SlotAt(h, start + length))) ++length;
        LinkRun(h, start, length, run->nextId);
        run->length = length;
        gQuickAddress = slot;
        return start;
    }
    for (int32_t phys = std::max(start, 0); phys < h->idLimit;) {
        const int32_t c = phys / h->itemsPerCluster, i = phys % h->itemsPerCluster;
        if (c >= h->clusterCount) break;
        const DACluster& cluster = h->Clusters()[c];
        if (i >= cluster.slotCount) {
            phys = (c + 1) * h->itemsPerCluster;
            continue;
        }
        char* slot = *cluster.data + size_t(i) * h->stride;
        const uint8_t statusByte = StatusOf(h, slot);
        if ((statusByte & mask) == value) {
            gQuickAddress = slot;
            return phys;
        }
        phys += (statusByte & kDASlotFree) ? std::min(std::max(RunOf(slot), 1), cluster.slotCount - i) : 1;
    }
    return -1;
}

char* DAQuickLoopAddress() { return gQuickAddress; }

void DAOptimizeFree(DAArray array) {
    if (!array) return;
    DAHeader* h = *array;
    if (!Packed(h) && h->itemsPerCluster > 1 && !h->clusterDivider) {
        h->clusterDivider = UINT64_MAX / uint32_t(h->itemsPerCluster) + 1;
    }
    RefreshFastLimit(h);
    RelinkFreeSlots(h);
}

// ---- compaction and merging

DAArray DACompact(DAArray array, bool wantMap) {
    if (!array) return nullptr;
    DAHeader* h = *array;
    if (Packed(h) || h->loops) return nullptr;
    int32_t expected = 0;
    bool moves = false;
    for (int32_t id = NextLive(h, 0); id < h->idLimit && !moves; id = NextLive(h, id + 1)) {
        moves = id != expected++;
    }
    if (!moves) return nullptr;  // nothing freed below the last item
    // The items move into ids 0 .. count - 1: every cluster that takes them must hold the slots
    // (the array code fills a cluster before the next; a damaged array is left alone).
    const int32_t per = h->itemsPerCluster;
    const int32_t keep = (h->count + per - 1) / per;
    for (int32_t c = 0; c < keep; ++c) {
        const int32_t need = c + 1 < keep ? per : h->count - c * per;
        if (c >= h->clusterCount || h->Clusters()[c].slotCount < need) {
            RefreshFastLimit(h);  // reads by id must not trust the damaged clusters either
            return nullptr;
        }
    }

    // The map is a by-product: when it cannot be built the compaction still completes.
    DAArray map = NewMapArray();
    std::vector<int32_t> newOf;
    h = *array;
    if (Logical(h)) newOf.assign(size_t(h->idLimit), -1);
    int32_t write = 0;
    for (int32_t id = NextLive(h, 0); id < h->idLimit; id = NextLive(h, id + 1)) {
        if (id != write) {
            PLEXA_ASSERT(CheckedSlot(h, write) != nullptr);
            std::memcpy(SlotAt(h, write), SlotAt(h, id), h->stride);
            if (map && !AddMapStep(map, id, write)) {
                DADispose(map);
                map = nullptr;
            }
            h = *array;
        }
        if (!newOf.empty()) newOf[size_t(id)] = write;
        ++write;
    }
    if (Logical(h)) {
        int32_t* m = Map(h);
        for (int32_t i = 0; i < h->count; ++i) m[i] = newOf[size_t(m[i])];
    }
    for (int32_t c = keep; c < h->clusterCount; ++c) MemFree(h->Clusters()[c].data);
    h->clusterCount = keep;
    if (keep > 0) {
        DACluster& last = h->Clusters()[keep - 1];
        last.slotCount = h->count - (keep - 1) * per;
        if (!(h->flags & kDAFixed)) ResizeHandle(last.data, uint32_t(last.slotCount) * h->stride);
        da_detail::SetClusterBase(h, keep - 1);
    }
    ResizeHandle(reinterpret_cast<Handle>(array), HeaderBytes(keep));
    h = *array;
    h->idLimit = h->count;
    h->freeHead = -1;
    h->lowFreed = 0x7FFFFFFF;
    h->highFreed = -1;
    RefreshFastLimit(h);
    DropKeySamples(h);
    if (!map) return nullptr;
    const DAHeader* m = *map;
    DASetRefCon(map, uint32_t(reinterpret_cast<const MapRecord*>(SlotAt(m, 0))->first));
    if (!wantMap) {
        DADispose(map);
        return nullptr;
    }
    return map;
}

DAArray DACombineArrays(DAArray source, DAArray destination, int32_t startId, bool wantMap) {
    if (!source || !destination || (*source)->itemSize != (*destination)->itemSize) return nullptr;
    const uint32_t itemSize = (*source)->itemSize;
    std::vector<char> item(itemSize);
    if (Sorted(*destination)) {
        int32_t id = startId - 1;
        while (DANextAddress(source, &id, nullptr)) {
            DAGet(source, id, item.data());
            DAAdd(destination, item.data());
        }
        return nullptr;
    }
    // Relink every free slot of the destination in physical order, so that allocation fills them
    // from the lowest before it appends.
    const DAHeader* d = *destination;
    if (!Packed(d) && d->count < d->idLimit) RelinkEveryFreeSlot(destination);
    DAArray map = wantMap ? NewMapArray() : nullptr;
    if (wantMap && !map) return nullptr;
    int32_t id = startId - 1;
    while (DANextAddress(source, &id, nullptr)) {
        const int32_t phys = TakeSlot(destination);
        if (phys < 0) break;
        DAGet(source, id, item.data());
        std::memcpy(SlotAt(*destination, phys), item.data(), itemSize);
        const int32_t newId = Logical(*destination) ? (*destination)->count - 1 : phys;
        if (map && !AddMapStep(map, id, newId)) {
            DADispose(map);
            map = nullptr;
            wantMap = false;
        }
    }
    if (map) DASetRefCon(map, 0);
    return map;
}

int32_t DAMapOldId(DAArray map, int32_t oldId) {
    if (!map) return oldId;
    const DAHeader* m = *map;
    if (oldId < int32_t(uint32_t(m->refCon))) return oldId;
    int32_t lo = 0, hi = m->count;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const auto* record = reinterpret_cast<const MapRecord*>(SlotAt(m, mid));
        if (oldId < record->first) hi = mid;
        else if (oldId > record->last) lo = mid + 1;
        else return oldId + record->difference;
    }
    return -1;
}

}  // namespace plexa
