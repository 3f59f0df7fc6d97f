// Chunky blocks: fixed-size items in one handle behind a 24-byte header.
#include "foundation/chunky.h"

#include <cstring>
#include <vector>

#include "foundation/hash.h"
#include "foundation/memory.h"

namespace plexa {

namespace {

constexpr uint32_t kHeaderSize = sizeof(VXChunkyHeaderTag);

char* Items(VXChunkyBlock block) { return *block + kHeaderSize; }

uint64_t RoundUp(uint64_t count, uint32_t growth) { return (count + growth - 1) / growth * growth; }

// Sets the capacity, resizing the handle; false (block unchanged) when it cannot.
bool SetCapacity(VXChunkyBlock block, uint64_t capacity) {
    VXChunkyHeaderTag* h = VXChunkyHeader(block);
    if (capacity == h->capacity) return true;
    const uint64_t bytes = kHeaderSize + capacity * h->itemSize;
    if (capacity > 0xFFFFFFFF || bytes > 0xFFFFFFFF || !ResizeHandle(block, uint32_t(bytes))) return false;
    VXChunkyHeader(block)->capacity = uint32_t(capacity);
    return true;
}

// Grows the count by n, the capacity as needed; false when the block cannot grow.
bool GrowCount(VXChunkyBlock block, uint32_t n) {
    VXChunkyHeaderTag* h = VXChunkyHeader(block);
    const uint64_t count = uint64_t(h->count) + n;
    if (count > h->capacity && !SetCapacity(block, RoundUp(count, h->growth))) return false;
    VXChunkyHeader(block)->count = uint32_t(count);
    return true;
}

// An item that lies inside the block is copied out before the block may move.
const void* StableCopy(VXChunkyBlock block, const void* item, std::vector<char>& copy) {
    const auto p = reinterpret_cast<uintptr_t>(item);
    const auto data = reinterpret_cast<uintptr_t>(*block);
    const uint32_t size = VXChunkyHeader(block)->itemSize;
    if (!item || p + size <= data || p >= data + SizeOfHandle(block)) return item;
    copy.assign(static_cast<const char*>(item), static_cast<const char*>(item) + size);
    return copy.data();
}

int32_t DefaultCompare(const void* key, const void* item, uint32_t keySize, bool int32Words) {
    if (int32Words) {
        int32_t a, b;
        std::memcpy(&a, key, 4);
        std::memcpy(&b, item, 4);
        return CompareInt32(a, b);
    }
    const int c = std::memcmp(key, item, keySize);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace

VXChunkyBlock VXCreateChunkyBlock(MemPool pool, uint32_t itemSize, int32_t growth, uint32_t initialCount) {
    if (itemSize == 0) return nullptr;
    if (growth == 0) growth = -512;
    uint32_t items = growth < 0 ? uint32_t(-int64_t(growth) / itemSize) : uint32_t(growth);
    if (items < 1) items = 1;
    const uint64_t capacity = RoundUp(initialCount, items);
    const uint64_t bytes = kHeaderSize + capacity * itemSize;
    if (bytes > 0xFFFFFFFF) return nullptr;
    VXChunkyBlock block = AllocHandleClear(pool, uint32_t(bytes));
    if (!block) return nullptr;
    *VXChunkyHeader(block) = VXChunkyHeaderTag{uint32_t(capacity), initialCount, itemSize, items, nullptr};
    return block;
}

void VXDestroyChunkyBlock(VXChunkyBlock block) {
    if (block) MemFree(block);
}

uint32_t VXChunkyCount(VXChunkyBlock block) { return block ? VXChunkyHeader(block)->count : 0; }

void VXChunkySetRefCon(VXChunkyBlock block, void* value) { VXChunkyHeader(block)->refCon = value; }

void* VXChunkyItemPtr(VXChunkyBlock block, uint32_t index) {
    if (!block || index >= VXChunkyHeader(block)->count) return nullptr;
    return Items(block) + uint64_t(index) * VXChunkyHeader(block)->itemSize;
}

void* VXChunkyNext(VXChunkyBlock block, int32_t* index) {
    const int64_t next = int64_t(*index) + 1;
    if (next < 0 || next >= int64_t(VXChunkyCount(block))) return nullptr;
    *index = int32_t(next);
    return VXChunkyItemPtr(block, uint32_t(next));
}

void VXChunkyGet(VXChunkyBlock block, uint32_t index, void* destination) {
    const void* item = VXChunkyItemPtr(block, index);
    if (item)
        std::memcpy(destination, item, VXChunkyHeader(block)->itemSize);
    else if (block)
        std::memset(destination, 0, VXChunkyHeader(block)->itemSize);
}

void VXChunkyPut(VXChunkyBlock block, uint32_t index, const void* source) {
    void* item = VXChunkyItemPtr(block, index);
    if (item) std::memmove(item, source, VXChunkyHeader(block)->itemSize);
}

bool ResizeChunkyBlock(VXChunkyBlock block, int32_t count) {
    const VXChunkyHeaderTag* h = VXChunkyHeader(block);
    uint64_t wanted = count < 0 ? h->count : uint32_t(count);
    if (wanted < h->count) wanted = h->count;
    return SetCapacity(block, RoundUp(wanted, h->growth));
}

void* VXChunkyAlloc(VXChunkyBlock block, uint32_t n, int32_t* firstIndex) {
    const uint32_t first = VXChunkyHeader(block)->count;
    if (first > 0x7FFFFFFF || !GrowCount(block, n)) {
        if (firstIndex) *firstIndex = -1;
        return nullptr;
    }
    if (firstIndex) *firstIndex = int32_t(first);
    return Items(block) + uint64_t(first) * VXChunkyHeader(block)->itemSize;
}

int32_t VXChunkyAdd(VXChunkyBlock block, const void* item) {
    std::vector<char> copy;
    item = StableCopy(block, item, copy);
    int32_t index = -1;
    void* p = VXChunkyAlloc(block, 1, &index);
    if (!p) return -1;
    if (item)
        std::memcpy(p, item, VXChunkyHeader(block)->itemSize);
    else
        std::memset(p, 0, VXChunkyHeader(block)->itemSize);
    return index;
}

void* VXChunkyInsert(VXChunkyBlock block, uint32_t index, uint32_t n) {
    const uint32_t count = VXChunkyHeader(block)->count;
    if (index > count || !VXChunkyAlloc(block, n, nullptr)) return nullptr;
    const uint32_t size = VXChunkyHeader(block)->itemSize;
    char* at = Items(block) + uint64_t(index) * size;
    std::memmove(at + uint64_t(n) * size, at, uint64_t(count - index) * size);
    return at;
}

void VXChunkyDelete(VXChunkyBlock block, uint32_t index, int32_t n, bool shrink) {
    VXChunkyHeaderTag* h = VXChunkyHeader(block);
    if (index < h->count) {
        uint32_t remove = h->count - index;
        if (n >= 0 && uint32_t(n) < remove) remove = uint32_t(n);
        char* at = Items(block) + uint64_t(index) * h->itemSize;
        std::memmove(at, at + uint64_t(remove) * h->itemSize, uint64_t(h->count - index - remove) * h->itemSize);
        h->count -= remove;
    }
    if (shrink) (void)ResizeChunkyBlock(block, -1);  // shrinking only: the items are in place
}

int32_t VXChunkySearch(VXChunkyBlock block, const void* key, int32_t keySize, VXChunkyCompareProc compare,
                       uint32_t flags, intptr_t value) {
    const uint32_t count = VXChunkyCount(block);
    if (count == 0) return int32_t(kChunkyNotFound);
    const uint32_t itemSize = VXChunkyHeader(block)->itemSize;
    const uint32_t size = keySize <= 0 || uint32_t(keySize) > itemSize ? itemSize : uint32_t(keySize);
    const bool int32Words = (flags & kChunkyCompareInt32) != 0 && itemSize >= 4;
    VXChunkySearchRecord search{block, 0, value};
    auto compareAt = [&](uint32_t index) {
        search.index = index;
        const void* item = Items(block) + uint64_t(index) * itemSize;
        return compare ? compare(key, item, &search) : DefaultCompare(key, item, size, int32Words);
    };
    if (flags & kChunkySearchSorted) {
        uint32_t low = 0, high = count;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            const int32_t c = compareAt(middle);
            if (c == 0) return int32_t(middle);
            if (c < 0)
                high = middle;
            else
                low = middle + 1;
        }
        return int32_t(low | kChunkyNotFound);
    }
    for (uint32_t i = 0; i < count; ++i)
        if (compareAt(i) == 0) return int32_t(i);
    return int32_t(kChunkyNotFound);
}

int32_t VXChunkyAddSorted(VXChunkyBlock block, const void* item, VXChunkyCompareProc compare, uint32_t flags,
                          intptr_t value) {
    std::vector<char> copy;
    item = StableCopy(block, item, copy);
    const uint32_t itemSize = VXChunkyHeader(block)->itemSize;
    const int32_t found = VXChunkySearch(block, item, int32_t(itemSize), compare, flags | kChunkySearchSorted, value);
    if (!(uint32_t(found) & kChunkyNotFound) && (flags & kChunkyAddUnique)) return int32_t(found | kChunkyExisting);
    const uint32_t index = uint32_t(found) & ~kChunkyNotFound;
    void* p = VXChunkyInsert(block, index, 1);
    if (!p) return -1;
    std::memcpy(p, item, itemSize);
    return int32_t(index);
}

}  // namespace plexa
