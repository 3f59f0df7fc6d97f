// Pooled heap manager. A pool owns pages taken from malloc, each headed by its pool, its
// descriptor, its live-block count and a tag 0xCAD0 + kind, and hands out blocks of five kinds:
//
//   kind 0  variable blocks that never move        (48-byte header, boundary-tagged blocks)
//   kind 1  fixed-size blocks of the pool's size   (56-byte header, free list threaded at creation)
//   kind 2  variable blocks of handles             (as kind 0; blocks slide during compaction)
//   kind 3  one external block                     (64-byte header, requested size + 64 bytes)
//   kind 4  small blocks, 8-byte classes 1..30     (64 KB pages, 72-byte header, carved in order)
//
// Every block pointer is preceded by its page pointer, which is how a pointer is validated.
// Variable block: u32 size|flags, u32 entry index, page pointer, data; a free block links its
// page's free ring through its first 8 data bytes and ends with a copy of its size; a handle
// block keeps the index of its handle entry in the pool's entry table in its second word (the
// word is unused in other blocks), and its lock count and slack (usable less requested bytes)
// in bits 16-30 of its first word (pages are at most 64 KB, so sizes need bits 3-15 only), so
// that a handle entry is nothing but the data address. An external handle block keeps its lock
// count and whether it is relocatable in its page header's free-bytes word, its requested size
// in the page header. Whether a variable handle block is relocatable is its page's kind.
//
// Handle entries live in chunks of 4 KB aligned to 4 KB, so that an entry finds its chunk, and
// the chunk's first word holds its number in the pool's entry table. A free entry holds the next
// free entry with bit 0 set, which no live data address has. Small block: class byte, page
// pointer, 8c + 7 data bytes. A free fixed-size or small block has its page pointer tagged with
// bit 0 (so freeing it twice is refused) and links its free list through its first 8 bytes.
//
// In the sanitizer build all block bookkeeping and all free memory is poisoned; only the data of
// live blocks, page headers, descriptors and live handle entries are addressable. The allocator
// reaches poisoned bookkeeping through Peek/Poke, which restore the shadow state afterwards.
#include "foundation/heap.h"
#include "foundation/assert.h"
#include "foundation/heap_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(PLEXA_SANITIZE) || defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define PLEXA_HEAP_POISON 1
#else
#define PLEXA_HEAP_POISON 0
#endif

namespace plexa {

namespace {

constexpr uint16_t kPoolSignature = 0xBEAD;
constexpr uint16_t kPageTag = 0xCAD0;

enum PageKind : uint32_t { kPlain = 0, kFixed = 1, kReloc = 2, kExternal = 3, kSmall = 4 };

constexpr uint32_t kVarHeader = 48;
constexpr uint32_t kFixedHeader = 56;
constexpr uint32_t kExternalHeader = 64;
constexpr uint32_t kSmallHeader = 72;
constexpr uint32_t kSmallPageBytes = 0x10000;
constexpr uint32_t kSmallMax = 246;
constexpr uint32_t kSmallClasses = 31;  // index 1..30

// Block header flags of variable blocks.
constexpr uint32_t kInUse = 0x1;
constexpr uint32_t kPrevInUse = 0x2;
constexpr uint32_t kHandleBlock = 0x80000000u;
constexpr uint32_t kSizeMask = 0x0000FFF8u;
// A variable handle block's lock count and slack in its first word.
constexpr uint32_t kLockShift = 16;
constexpr uint32_t kLockBits = 0xFFu << kLockShift;
constexpr uint32_t kSlackShift = 24;
constexpr uint32_t kSlackMax = 0x7F;
constexpr uint32_t kSlackBits = kSlackMax << kSlackShift;
// An external handle block's page header free-bytes word: the lock count and this bit.
constexpr uint32_t kExternalRelocatable = 0x100;

// Descriptor flags.
constexpr uint32_t kDescExact = 0x80000000u;
constexpr uint32_t kDescLockedMask = 0xFFF;
constexpr uint32_t kDescKindShift = 12;

// Requests above this many bytes are refused (MEM_BLOCK_TOO_BIG): every size the allocator
// derives from a request (+ 23 rounding, + 64 page header, + 8 system prefix) then stays far
// from wrapping a u32.
constexpr uint32_t kMaxRequest = 0xFFFFF000u;

// Flags of the moves that empty a page during compaction: relocatable, no new page, no
// external page, no nested compaction.
constexpr uint32_t kEvacuateFlags = 0x4072;

// ---- poisoning --------------------------------------------------------------------------------

#if PLEXA_HEAP_POISON
inline void Poison(const void* p, size_t n) {
    if (n) ASAN_POISON_MEMORY_REGION(p, n);
}
inline void Unpoison(const void* p, size_t n) {
    if (n) ASAN_UNPOISON_MEMORY_REGION(p, n);
}

// Makes a few bytes addressable for the allocator's own access and restores the exact shadow
// state of their 8-byte granules afterwards.
class ShadowGuard {
public:
    ShadowGuard(const void* p, size_t n) {
        first_ = uintptr_t(p) & ~uintptr_t(7);
        uintptr_t end = (uintptr_t(p) + n + 7) & ~uintptr_t(7);
        count_ = int((end - first_) / 8);
        for (int i = 0; i < count_; ++i) {
            uint8_t k = 0;
            while (k < 8 && !__asan_address_is_poisoned(reinterpret_cast<void*>(first_ + 8 * i + k)))
                ++k;
            addressable_[i] = k;
        }
        ASAN_UNPOISON_MEMORY_REGION(reinterpret_cast<void*>(first_), size_t(count_) * 8);
    }
    ~ShadowGuard() {
        for (int i = 0; i < count_; ++i) {
            void* g = reinterpret_cast<void*>(first_ + 8 * i);
            if (addressable_[i] == 8) continue;
            ASAN_POISON_MEMORY_REGION(g, 8);
            if (addressable_[i]) ASAN_UNPOISON_MEMORY_REGION(g, addressable_[i]);
        }
    }

private:
    uintptr_t first_;
    int count_;
    uint8_t addressable_[3];
};

template <class T>
inline T Peek(const void* p) {
    ShadowGuard guard(p, sizeof(T));
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T>
inline void Poke(void* p, T v) {
    ShadowGuard guard(p, sizeof(T));
    std::memcpy(p, &v, sizeof v);
}
#else
inline void Poison(const void*, size_t) {}
inline void Unpoison(const void*, size_t) {}
template <class T>
inline T Peek(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T>
inline void Poke(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
#endif

}  // namespace

// ---- records ----------------------------------------------------------------------------------

struct PageDesc {
    uint32_t largest;  // largest free block known in the page (an upper bound)
    uint32_t flags;    // bits 12-14 kind, bit 31 compacted (largest exact), bits 0-11 locked blocks
    char* page;
    PageDesc* next;
    PageDesc* prev;
};
static_assert(sizeof(PageDesc) == 32);

// The header shared by all page kinds (blocks are freed by the page's kind, so no free procedure
// is kept). Variable pages start their blocks right after it.
struct PageHeader {
    MemPoolRecord* pool;
    PageDesc* desc;
    uint32_t live;
    uint16_t tag;
    uint16_t kind;
    uint32_t bytes;      // the whole page, header included
    uint32_t freeBytes;  // variable pages: the sum of their free blocks
    char* aux;       // variable: free-ring rover; fixed: free list; small: next class byte;
                     // external: handle entry of a handle block
    uint64_t aux2;   // fixed: block count; external: requested size of a handle block
};
static_assert(sizeof(PageHeader) == kVarHeader);

struct HandleEntry {
    char* data;  // the handle's data; bit 0 set: a free entry linking the next free one
};
static_assert(sizeof(HandleEntry) == 8);

namespace {
struct PoolFields {
    PageDesc* rings[5];
    PageDesc* freeDescs;
    HandleEntry* freeEntries;
    char* entryChunks;
    char** entryTable;  // the entry chunks, in the order they were made
    uint32_t entryTableCount;
    uint32_t entryTableCapacity;
    uint16_t signature;
    uint16_t flags;
    uint32_t blockSizeFS;
    uint32_t pageSize;
    uint32_t extThreshold;
    uint32_t total;
    uint32_t floor;
    uint32_t ceiling;
    uint32_t (*compactPool)(MemPool, uint32_t, bool);
    uint32_t (*compactPage)(MemPool, PageDesc*, uint32_t);
    MemPoolRecord* nextPool;
    void* task;
    char* smallFree[kSmallClasses];
    char* descChunks;
};
constexpr size_t kInlineDescs = (4096 - sizeof(PoolFields)) / sizeof(PageDesc);
}  // namespace

struct MemPoolRecord : PoolFields {
    PageDesc firstDescs[kInlineDescs];
};
static_assert(sizeof(MemPoolRecord) <= 4096);

namespace {

struct Task {
    MemErrorHandler handler = MemDefaultErrorHandler;
    int nesting = 0;
    MemPoolRecord* pools = nullptr;
    MemAlertProc alert = nullptr;
    MemPoolRecord* defaultPool = nullptr;
};
Task gTask;

// The critical-section calls around default-pool creation: one thread, nothing to guard.
inline void EnterCritical() {}
inline void LeaveCritical() {}

// ---- errors -----------------------------------------------------------------------------------

void ReportText(const char* text) {
    std::fputs(text, stderr);
    if (gTask.alert) gTask.alert();
}

// Calls the handler; returns its answer (non-zero asks for a retry).
int32_t ReportError(MemPool pool, int32_t code) {
    if (gTask.nesting > 0) {
        if (gTask.nesting == 1) ReportText("\n\rHeap error handler recursively re-entered.\n\r");
        ++gTask.nesting;
        return 0;
    }
    if (!gTask.handler) return 0;
    ++gTask.nesting;
    MemErrorRecord record{code, pool};
    int32_t answer = gTask.handler(&record);
    gTask.nesting = 0;
    return answer;
}

[[gnu::noinline]] bool BadPool(MemPool pool) {
    ReportError(pool, MEM_BAD_MEM_POOL);
    return false;
}

inline bool PoolOk(MemPool pool) {
    if (pool && pool->signature == kPoolSignature) [[likely]]
        return true;
    return BadPool(pool);
}

inline PageHeader* Header(char* page) { return reinterpret_cast<PageHeader*>(page); }

// ---- system blocks ----------------------------------------------------------------------------

enum class SysFail { kNone, kCeiling, kMemory };

// Pool pages that pools deleted, kept for the next pages of the same size: a pool that empties
// its pages and fills them again (with a floor of 0 it deletes every page that empties) would
// otherwise give the memory to malloc, which trims it to the kernel, and fault it in again for
// the next batch. For the pools a cached block is gone: the page was deleted and the pool's total
// fell by its size; taking one back counts as taking a block from the system (the ceiling holds).
// Small: at most 64 blocks and 4 MiB, the most recent used first and the oldest given back to the
// system to make room. Cached blocks are poisoned in
// the sanitizer build, so a page used after its deletion is still caught.
struct PageCache {
    static constexpr int kBlocks = 64;
    static constexpr uint32_t kBytes = 4u << 20;
    char* bases[kBlocks];  // what malloc gave (the size prefix in front)
    uint32_t sizes[kBlocks];
    int count = 0;
    uint32_t bytes = 0;
};
PageCache gPageCache;

char* TakeCachedPage(uint32_t bytes) {
    PageCache& c = gPageCache;
    for (int i = c.count - 1; i >= 0; --i) {
        if (c.sizes[i] != bytes) continue;
        char* base = c.bases[i];
        for (int k = i + 1; k < c.count; ++k) {
            c.bases[k - 1] = c.bases[k];
            c.sizes[k - 1] = c.sizes[k];
        }
        --c.count;
        c.bytes -= bytes;
        Unpoison(base, size_t(bytes) + 8);
        return base;
    }
    return nullptr;
}

// Keeps a block, giving the oldest ones back to the system when the cache is full.
bool CachePage(char* base, uint32_t bytes) {
    PageCache& c = gPageCache;
    if (bytes > PageCache::kBytes) return false;
    int drop = 0;
    uint32_t kept = c.bytes;
    while (c.count - drop == PageCache::kBlocks || kept + uint64_t(bytes) > PageCache::kBytes) {
        Unpoison(c.bases[drop], size_t(c.sizes[drop]) + 8);
        std::free(c.bases[drop]);
        kept -= c.sizes[drop++];
    }
    if (drop) {
        std::memmove(c.bases, c.bases + drop, sizeof(char*) * size_t(c.count - drop));
        std::memmove(c.sizes, c.sizes + drop, sizeof(uint32_t) * size_t(c.count - drop));
        c.count -= drop;
        c.bytes = kept;
    }
    c.bases[c.count] = base;
    c.sizes[c.count] = bytes;
    ++c.count;
    c.bytes += bytes;
    Poison(base, size_t(bytes) + 8);
    return true;
}

// Takes `bytes` from the system for the pool (a size prefix of 8 bytes in front). Pool pages of
// 65535 bytes or more are given exactly 65536; other requests get what they ask for.
char* SysAlloc(MemPool pool, uint32_t bytes, bool poolPage, SysFail* fail) {
    if (poolPage && bytes >= 65535) bytes = 65536;
    uint64_t rounded = (uint64_t(bytes) + 4095) & ~uint64_t(4095);
    if (uint64_t(pool->total) + rounded > pool->ceiling) {
        *fail = SysFail::kCeiling;
        return nullptr;
    }
    char* base = poolPage ? TakeCachedPage(bytes) : nullptr;
    if (!base) base = static_cast<char*>(std::malloc(size_t(bytes) + 8));
    if (!base) {
        *fail = SysFail::kMemory;
        return nullptr;
    }
    std::memcpy(base, &bytes, 4);
    pool->total += bytes;
    *fail = SysFail::kNone;
    return base + 8;
}

inline uint32_t SysSize(const char* block) {
    uint32_t bytes;
    std::memcpy(&bytes, block - 8, 4);
    return bytes;
}

// Gives a block back; a pool page may go to the page cache instead of the system.
void SysFree(MemPool pool, char* block, bool poolPage = false) {
    uint32_t bytes = SysSize(block);
    pool->total -= bytes;
    if (poolPage && CachePage(block - 8, bytes)) return;
    Unpoison(block, bytes);
    std::free(block - 8);
}

// ---- descriptors and rings --------------------------------------------------------------------

void AddDescs(MemPool pool, PageDesc* descs, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        descs[i].next = pool->freeDescs;
        pool->freeDescs = &descs[i];
    }
}

PageDesc* TakeDesc(MemPool pool) {
    if (!pool->freeDescs) {
        // A chunk: its first slot links the chunk list, the rest are descriptors.
        uint32_t size = 4096;
        char* chunk = nullptr;
        for (;;) {
            SysFail fail;
            chunk = SysAlloc(pool, size, false, &fail);
            if (chunk) break;
            if (size / 2 >= 80) {
                size /= 2;
                continue;
            }
            if (!ReportError(pool, fail == SysFail::kCeiling ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY))
                return nullptr;
        }
        std::memcpy(chunk, &pool->descChunks, sizeof(char*));
        pool->descChunks = chunk;
        AddDescs(pool, reinterpret_cast<PageDesc*>(chunk) + 1, size / sizeof(PageDesc) - 1);
    }
    PageDesc* d = pool->freeDescs;
    pool->freeDescs = d->next;
    std::memset(d, 0, sizeof *d);
    return d;
}

void RingInsert(MemPool pool, uint32_t kind, PageDesc* d) {
    PageDesc*& start = pool->rings[kind];
    if (!start) {
        d->next = d->prev = d;
    } else {
        d->next = start;
        d->prev = start->prev;
        start->prev->next = d;
        start->prev = d;
    }
    start = d;
}

void RingRemove(MemPool pool, uint32_t kind, PageDesc* d) {
    PageDesc*& start = pool->rings[kind];
    if (d->next == d) {
        start = nullptr;
    } else {
        d->prev->next = d->next;
        d->next->prev = d->prev;
        if (start == d) start = d->next;
    }
}

// Makes a page of `bytes` of the given kind with its descriptor; null when none can be had
// (the failure reported unless `quiet`).
char* NewPage(MemPool pool, uint32_t kind, uint32_t bytes, bool poolPage, bool quiet,
              SysFail* failOut = nullptr) {
    PageDesc* d = TakeDesc(pool);
    if (!d) return nullptr;
    char* page;
    for (;;) {
        SysFail fail;
        page = SysAlloc(pool, bytes, poolPage, &fail);
        if (page) break;
        if (failOut) *failOut = fail;
        if (quiet ||
            !ReportError(pool, fail == SysFail::kCeiling ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY)) {
            d->next = pool->freeDescs;
            pool->freeDescs = d;
            return nullptr;
        }
    }
    bytes = SysSize(page);
    PageHeader* h = Header(page);
    std::memset(h, 0, sizeof *h);
    h->pool = pool;
    h->desc = d;
    h->tag = uint16_t(kPageTag + kind);
    h->kind = uint16_t(kind);
    h->bytes = bytes;
    d->page = page;
    d->flags = kind << kDescKindShift;
    RingInsert(pool, kind, d);
    return page;
}

void DeletePage(MemPool pool, char* page) {
    PageHeader* h = Header(page);
    PageDesc* d = h->desc;
    RingRemove(pool, h->kind, d);
    h->tag = 0;
    d->next = pool->freeDescs;
    pool->freeDescs = d;
    SysFree(pool, page, h->kind != kExternal);
}

// Deletes an empty pool page unless that takes the pool below its floor.
bool MaybeDeletePage(MemPool pool, char* page) {
    if (uint64_t(pool->total) < uint64_t(Header(page)->bytes) + pool->floor) return false;
    DeletePage(pool, page);
    return true;
}

// ---- variable blocks --------------------------------------------------------------------------

inline uint32_t BWord(const char* b) { return Peek<uint32_t>(b); }
inline uint32_t BSize(const char* b) { return BWord(b) & kSizeMask; }
inline void SetBWord(char* b, uint32_t w) { Poke<uint32_t>(b, w); }
inline char* PageEnd(char* page) { return page + Header(page)->bytes; }
// Free-ring links are byte distances within the page (pages are at most 64 KB), so that a
// 32-byte free block holds header, both links and its trailing size.
inline char* FreeNext(char* b) { return b + Peek<int32_t>(b + 16); }
inline char* FreePrev(char* b) { return b + Peek<int32_t>(b + 20); }
inline void SetFreeNext(char* b, char* n) { Poke<int32_t>(b + 16, int32_t(n - b)); }
inline void SetFreePrev(char* b, char* p) { Poke<int32_t>(b + 20, int32_t(p - b)); }
inline char*& Rover(char* page) { return Header(page)->aux; }

inline uint32_t VarUsable(uint32_t blockSize, uint32_t) { return blockSize - 16; }

void RingAdd(char* page, char* b) {
    char*& rover = Rover(page);
    if (!rover) {
        SetFreeNext(b, b);
        SetFreePrev(b, b);
        rover = b;
        return;
    }
    char* next = FreeNext(rover);
    SetFreeNext(b, next);
    SetFreePrev(b, rover);
    SetFreePrev(next, b);
    SetFreeNext(rover, b);
}

void RingDrop(char* page, char* b) {
    char*& rover = Rover(page);
    char* next = FreeNext(b);
    if (next == b) {
        rover = nullptr;
        return;
    }
    char* prev = FreePrev(b);
    SetFreeNext(prev, next);
    SetFreePrev(next, prev);
    if (rover == b) rover = next;
}

inline void SetPrevInUse(char* page, char* next, bool inUse) {
    if (next >= PageEnd(page)) return;
    uint32_t w = BWord(next);
    SetBWord(next, inUse ? (w | kPrevInUse) : (w & ~kPrevInUse));
}

// Writes a free block of `size` bytes at b (its previous block in use), merged with a free block
// after it, into the page's ring. Returns the merged size.
uint32_t MakeFree(char* page, char* b, uint32_t size) {
    char* next = b + size;
    if (next < PageEnd(page) && !(BWord(next) & kInUse)) {
        RingDrop(page, next);
        size += BSize(next);
    }
    SetBWord(b, size | kPrevInUse);
    Poke<char*>(b + 8, page);
    Poke<uint32_t>(b + size - 4, size);
    RingAdd(page, b);
    SetPrevInUse(page, b + size, false);
    PageDesc* d = Header(page)->desc;
    d->largest = std::max(d->largest, size);
    return size;
}

inline uint32_t SplitMin(MemPool pool, uint32_t kind, bool handle) {
    if (handle || kind == kReloc) return 32;
    return std::max(pool->blockSizeFS + 17, 64u);
}

inline uint32_t VarNeed(uint32_t n) { return std::max((n + 23) & ~7u, 32u); }

// Takes `need` bytes from the free block f of the page: the block becomes live (its data
// unpoisoned), the rest is split off when it reaches the split minimum.
char* Carve(MemPool pool, char* page, char* f, uint32_t need, bool handle) {
    uint32_t size = BSize(f);
    uint32_t prevBit = BWord(f) & kPrevInUse;
    RingDrop(page, f);
    uint32_t kind = Header(page)->kind;
    if (size - need >= SplitMin(pool, kind, handle)) {
        MakeFree(page, f + need, size - need);
        size = need;
    } else {
        SetPrevInUse(page, f + size, true);
    }
    uint32_t word = size | kInUse | prevBit | (handle ? kHandleBlock : 0);
    SetBWord(f, word);
    Poke<char*>(f + 8, page);
    Header(page)->live++;
    Header(page)->freeBytes -= size;
    Unpoison(f + 16, VarUsable(size, word));
    return f;
}

// Next-fit search of one page; records the largest free block seen when nothing fits.
char* SearchPage(char* page, uint32_t need) {
    char* start = Rover(page);
    if (!start) {
        Header(page)->desc->largest = 0;
        return nullptr;
    }
    uint32_t largest = 0;
    char* f = start;
    do {
        uint32_t size = BSize(f);
        if (size >= need) {
            Rover(page) = f;
            return f;
        }
        largest = std::max(largest, size);
        f = FreeNext(f);
    } while (f != start);
    Header(page)->desc->largest = largest;
    return nullptr;
}

char* NewVarPage(MemPool pool, uint32_t kind, bool quiet, SysFail* fail = nullptr) {
    char* page = NewPage(pool, kind, pool->pageSize, true, quiet, fail);
    if (!page) return nullptr;
    Poison(page + kVarHeader, Header(page)->bytes - kVarHeader);
    PageDesc* d = Header(page)->desc;
    d->flags |= kDescExact;
    MakeFree(page, page + kVarHeader, Header(page)->bytes - kVarHeader);
    d->largest = Header(page)->freeBytes = Header(page)->bytes - kVarHeader;
    return page;
}

// Frees a live variable block: merges it with its free neighbours and deletes the page when it
// empties (subject to the floor).
void FreeVarBlock(MemPool pool, char* page, char* b) {
    uint32_t word = BWord(b);
    uint32_t size = word & kSizeMask;
    Poison(b + 16, size - 16);
    Header(page)->freeBytes += size;
    if (!(word & kPrevInUse)) {
        uint32_t prevSize = Peek<uint32_t>(b - 4);
        b -= prevSize;
        RingDrop(page, b);
        size += prevSize;
    }
    MakeFree(page, b, size);
    PageHeader* h = Header(page);
    h->desc->flags &= ~kDescExact;
    if (--h->live == 0) MaybeDeletePage(pool, page);
}


// Pool shrinking: deletes every empty page of kinds 0, 1 and 2 that the floor allows.
void ShrinkPool(MemPool pool) {
    for (uint32_t kind : {uint32_t(kPlain), uint32_t(kFixed), uint32_t(kReloc)}) {
        std::vector<char*> empty;
        if (PageDesc* start = pool->rings[kind]) {
            PageDesc* d = start;
            do {
                if (Header(d->page)->live == 0) empty.push_back(d->page);
                d = d->next;
            } while (d != start);
        }
        for (char* page : empty) MaybeDeletePage(pool, page);
    }
}

// Runs the pool's compaction; in Debug and sanitizer builds the whole pool is checked after it.
uint32_t RunCompaction(MemPool pool, uint32_t need, bool thorough) {
    const uint32_t largest = pool->compactPool(pool, need, thorough);
    PLEXA_ASSERT(HeapCheckPool(pool) == 0);
    return largest;
}

// Allocates a variable block for n bytes (handle blocks: n includes the back pointer); returns
// the block (not the data) or null. `skip` is a page the search must not use. Relocatable
// requests that no page serves first compact the pages where that pays off, then take a new page,
// and compact thoroughly (emptying a page if need be) only when no page can be had.
char* VarAlloc(MemPool pool, uint32_t n, uint32_t flags, bool handle, bool relocatable,
               char* skip = nullptr) {
    uint32_t kind = relocatable ? kReloc : kPlain;
    uint32_t need = VarNeed(n);
    auto search = [&]() -> char* {
        PageDesc* start = pool->rings[kind];
        if (!start) return nullptr;
        PageDesc* d = start;
        do {
            if (d->largest >= need && d->page != skip) {
                if (char* f = SearchPage(d->page, need)) {
                    pool->rings[kind] = d;
                    return Carve(pool, d->page, f, need, handle);
                }
            }
            d = d->next;
        } while (d != start);
        return nullptr;
    };
    if (char* b = search()) return b;
    bool compact = relocatable && pool->compactPool && !(flags & kMemNoCompaction);
    if (compact && RunCompaction(pool, need, false) >= need) {
        if (char* b = search()) return b;
    }
    if (!(flags & kMemNoNewPage)) {
        SysFail fail = SysFail::kNone;
        if (char* page = NewVarPage(pool, kind, true, &fail)) {
            if (char* f = SearchPage(page, need)) return Carve(pool, page, f, need, handle);
        }
        if (compact && RunCompaction(pool, need, true) >= need) {
            if (char* b = search()) return b;
        }
        if (compact) {  // a page given back by the compaction may be had now
            if (char* page = NewVarPage(pool, kind, true, &fail)) {
                if (char* f = SearchPage(page, need)) return Carve(pool, page, f, need, handle);
            }
        }
        if (flags & kMemNoExternal)
            ReportError(pool, fail == SysFail::kCeiling ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY);
    }
    return nullptr;
}

// ---- external blocks --------------------------------------------------------------------------

// An external page for n usable bytes: returns the data pointer.
char* ExternalAlloc(MemPool pool, uint32_t n, HandleEntry* entry) {
    char* page = NewPage(pool, kExternal, n + kExternalHeader, false, true);
    if (!page) {
        ShrinkPool(pool);
        page = NewPage(pool, kExternal, n + kExternalHeader, false, false);
        if (!page) return nullptr;
    }
    PageHeader* h = Header(page);
    h->aux = reinterpret_cast<char*>(entry);
    h->aux2 = n;
    h->live = 1;
    std::memcpy(page + kExternalHeader - 8, &page, sizeof page);
    h->desc->largest = 0;
    return page + kExternalHeader;
}

inline uint32_t ExternalUsable(char* page) { return Header(page)->bytes - kExternalHeader; }

// ---- small blocks -----------------------------------------------------------------------------

inline uint32_t SmallUsable(uint32_t c) { return 8 * c + 7; }

void PushSmall(MemPool pool, char* p, uint32_t c, char* page) {
    Poke<char*>(p - 8, reinterpret_cast<char*>(uintptr_t(page) | 1));
    Poke<char*>(p, pool->smallFree[c]);
    pool->smallFree[c] = p;
}

char* NewSmallPage(MemPool pool, bool quiet) {
    char* page = NewPage(pool, kSmall, kSmallPageBytes, true, quiet);
    if (!page) return nullptr;
    Poison(page + kSmallHeader, Header(page)->bytes - kSmallHeader);
    Header(page)->aux = page + kSmallHeader - 1;
    return page;
}

char* SmallAlloc(MemPool pool, uint32_t n, uint32_t flags) {
    uint32_t c = std::max(n, 8u) / 8;
    if (char* p = pool->smallFree[c]) {
        pool->smallFree[c] = Peek<char*>(p);
        char* page = reinterpret_cast<char*>(Peek<uintptr_t>(p - 8) & ~uintptr_t(1));
        Poke<char*>(p - 8, page);
        Header(page)->live++;
        Unpoison(p, SmallUsable(c));
        return p;
    }
    uint32_t span = 8 * c + 16;
    PageDesc* d = pool->rings[kSmall];
    char* page = d ? d->page : nullptr;
    if (!page || uint32_t(PageEnd(page) - Header(page)->aux) < span) {
        if (page) {
            char* at = Header(page)->aux;
            uint32_t tail = uint32_t(PageEnd(page) - at);
            if (tail >= 24) {
                uint32_t tc = tail / 8 - 2;
                Poke<uint8_t>(at, uint8_t(tc));
                PushSmall(pool, at + 9, tc, page);
                Header(page)->aux = at + 8 * tc + 16;
            }
        }
        if (flags & kMemNoNewPage) return nullptr;
        page = NewSmallPage(pool, true);
        if (!page) return nullptr;
    }
    char* at = Header(page)->aux;
    Poke<uint8_t>(at, uint8_t(c));
    char* p = at + 9;
    Poke<char*>(p - 8, page);
    Header(page)->aux = at + span;
    Header(page)->live++;
    Unpoison(p, SmallUsable(c));
    return p;
}

// ---- fixed-size blocks ------------------------------------------------------------------------

char* NewFixedPage(MemPool pool) {
    uint32_t stride = pool->blockSizeFS + 8;
    uint32_t bytes = pool->pageSize;
    char* page = nullptr;
    for (;;) {
        SysFail fail = SysFail::kNone;
        page = NewPage(pool, kFixed, bytes, true, true, &fail);
        if (page) break;
        if (bytes / 2 >= pool->blockSizeFS + 64 && bytes / 2 >= stride + kFixedHeader) {
            bytes /= 2;
            continue;
        }
        if (!ReportError(pool, fail == SysFail::kCeiling ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY))
            return nullptr;
    }
    PageHeader* h = Header(page);
    uint32_t count = (h->bytes - kFixedHeader) / stride;
    Poison(page + kFixedHeader, h->bytes - kFixedHeader);
    char* list = nullptr;
    for (uint32_t i = count; i-- > 0;) {
        char* p = page + kFixedHeader + uint64_t(i) * stride + 8;
        Poke<char*>(p - 8, reinterpret_cast<char*>(uintptr_t(page) | 1));
        Poke<char*>(p, list);
        list = p;
    }
    h->aux = list;
    h->aux2 = count;
    return page;
}

inline char* FixedAlloc(MemPool pool) {
    PageDesc* d = pool->rings[kFixed];
    char* page = nullptr;
    if (d && Header(d->page)->aux) [[likely]] {
        page = d->page;
    } else {
        if (d) {
            for (PageDesc* e = d->next; e != d; e = e->next) {
                if (Header(e->page)->aux) {
                    page = e->page;
                    break;
                }
            }
        }
        if (!page) page = NewFixedPage(pool);
        if (!page) return nullptr;
        pool->rings[kFixed] = Header(page)->desc;
    }
    PageHeader* h = Header(page);
    char* p = h->aux;
    h->aux = Peek<char*>(p);
    Poke<char*>(p - 8, page);
    h->live++;
    Unpoison(p, pool->blockSizeFS);
    return p;
}

inline void FreeFixed(MemPool pool, PageHeader* h, char* p) {
    char* page = reinterpret_cast<char*>(h);
    Poison(p, pool->blockSizeFS);
    Poke<char*>(p - 8, reinterpret_cast<char*>(uintptr_t(page) | 1));
    Poke<char*>(p, h->aux);
    h->aux = p;
    if (--h->live == 0 && MaybeDeletePage(pool, page)) return;
    pool->rings[kFixed] = h->desc;  // searches start at a page known to have free blocks
}

// ---- pointer and handle validation ------------------------------------------------------------

struct BlockRef {
    char* page = nullptr;
    uint32_t kind = 0;
    char* block = nullptr;  // variable: the block header
    uint32_t usable = 0;
};

// Finds the page of a live block pointer; reports MEM_BAD_POINTER (or MEM_BAD_FREE_BLOCK for a
// freed block) and returns false otherwise.
bool Resolve(const void* pointer, BlockRef* ref, bool report = true) {
    int32_t error = MEM_BAD_POINTER;
    MemPool pool = nullptr;
    if (pointer && (uintptr_t(pointer) & 7) == 0) {
        const char* p = static_cast<const char*>(pointer);
        uintptr_t pageWord = Peek<uintptr_t>(p - 8);
        char* page = reinterpret_cast<char*>(pageWord & ~uintptr_t(1));
        if (page && (Header(page)->tag & 0xFFF8) == kPageTag && Header(page)->kind <= kSmall) {
            PageHeader* h = Header(page);
            pool = h->pool;
            ref->page = page;
            ref->kind = h->kind;
            if (pageWord & 1) {
                error = MEM_BAD_FREE_BLOCK;
            } else {
                switch (h->kind) {
                case kFixed:
                    ref->usable = pool->blockSizeFS;
                    return true;
                case kSmall:
                    ref->usable = SmallUsable(Peek<uint8_t>(p - 9));
                    return true;
                case kExternal:
                    if (p == page + kExternalHeader) {
                        ref->usable = ExternalUsable(page);
                        return true;
                    }
                    break;
                default: {
                    char* b = const_cast<char*>(p) - 16;
                    uint32_t w = BWord(b);
                    if ((w & kSizeMask) < 32 || (w & kSizeMask) > uint32_t(PageEnd(page) - b)) {
                        error = MEM_BAD_BLOCK;
                        break;
                    }
                    if (!(w & kInUse)) {
                        error = MEM_BAD_FREE_BLOCK;
                        break;
                    }
                    ref->block = b;
                    ref->usable = VarUsable(w & kSizeMask, w);
                    return true;
                }
                }
            }
        }
    }
    if (report) ReportError(pool, error);
    return false;
}

inline bool IsHandleBlock(const BlockRef& r) {
    if (r.kind == kExternal) return Header(r.page)->aux != nullptr;
    if (r.kind == kPlain || r.kind == kReloc) return (BWord(r.block) & kHandleBlock) != 0;
    return false;
}

// Entry chunks: 4 KB aligned to 4 KB; the first two slots hold the chunk's number and the link
// to the pool's next chunk, the rest are entries.
constexpr uintptr_t kEntryChunkBytes = 4096;
constexpr uint32_t kEntrySlotBits = 9;  // 512 slots of 8 bytes a chunk
constexpr uint32_t kFirstEntrySlot = 2;
constexpr uint32_t kEntriesPerChunk = (1u << kEntrySlotBits) - kFirstEntrySlot;

inline bool EntryFree(const HandleEntry* e) { return (reinterpret_cast<uintptr_t>(e->data) & 1) != 0; }

// The index of an entry: its chunk's number and its slot.
inline uint32_t EntryIndex(const HandleEntry* e) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(e);
    uint32_t chunk;
    std::memcpy(&chunk, reinterpret_cast<const void*>(address & ~(kEntryChunkBytes - 1)), 4);
    return chunk << kEntrySlotBits | uint32_t((address & (kEntryChunkBytes - 1)) / sizeof(HandleEntry));
}

// The handle entry of a variable handle block of a page, none for an index out of the table.
inline HandleEntry* EntryOfBlock(char* page, const char* block) {
    const uint32_t index = Peek<uint32_t>(block + 4);
    const MemPool pool = Header(page)->pool;
    const uint32_t chunk = index >> kEntrySlotBits;
    const uint32_t slot = index & ((1u << kEntrySlotBits) - 1);
    if (chunk >= pool->entryTableCount || slot < kFirstEntrySlot) return nullptr;
    return reinterpret_cast<HandleEntry*>(pool->entryTable[chunk]) + slot;
}

inline HandleEntry* BackPointer(const BlockRef& r) {
    if (r.kind == kExternal) return reinterpret_cast<HandleEntry*>(Header(r.page)->aux);
    return EntryOfBlock(r.page, r.block);
}

inline void SetBackPointer(const BlockRef& r, HandleEntry* e) {
    if (r.kind == kExternal)
        Header(r.page)->aux = reinterpret_cast<char*>(e);
    else
        Poke<uint32_t>(r.block + 4, EntryIndex(e));
}

// The lock count of a handle's block.
inline uint32_t LockOf(const BlockRef& r) {
    if (r.kind == kExternal) return Header(r.page)->freeBytes & 0xFF;
    return (BWord(r.block) & kLockBits) >> kLockShift;
}
inline void SetLock(const BlockRef& r, uint32_t lock) {
    if (r.kind == kExternal) {
        uint32_t& word = Header(r.page)->freeBytes;
        word = (word & ~0xFFu) | lock;
    } else {
        SetBWord(r.block, (BWord(r.block) & ~kLockBits) | lock << kLockShift);
    }
}
inline bool IsRelocatable(const BlockRef& r) {
    if (r.kind == kExternal) return (Header(r.page)->freeBytes & kExternalRelocatable) != 0;
    return r.kind == kReloc;
}

// Validates a handle: a live entry whose block points back at it.
bool ResolveHandle(Handle handle, HandleEntry** entry, BlockRef* ref) {
    HandleEntry* e = reinterpret_cast<HandleEntry*>(handle);
    const uintptr_t data = (e && (uintptr_t(e) & 7) == 0) ? Peek<uintptr_t>(&e->data) : 1;
    if (data && !(data & 1) && Resolve(reinterpret_cast<char*>(data), ref, false) && IsHandleBlock(*ref) &&
        BackPointer(*ref) == e) {
        *entry = e;
        return true;
    }
    ReportError(nullptr, MEM_BAD_HANDLE);
    return false;
}

inline MemPool PoolOf(const BlockRef& r) { return Header(r.page)->pool; }

// ---- handle entries ---------------------------------------------------------------------------

// Adds a chunk of entries to the handle table; returns the entries made (0 when memory fails).
uint32_t GrowEntries(MemPool pool) {
    for (;;) {
        if (pool->entryTableCount == pool->entryTableCapacity) {
            // The table grows first, so that a chunk is never made without its place.
            const uint32_t capacity = std::max(2 * pool->entryTableCapacity, 16u);
            if (capacity > (1u << (32 - kEntrySlotBits))) return 0;
            void* table = std::realloc(pool->entryTable, sizeof(char*) * capacity);
            if (!table) {
                if (!ReportError(pool, MEM_OUT_OF_MEMORY)) return 0;
                continue;
            }
            pool->entryTable = static_cast<char**>(table);
            pool->entryTableCapacity = capacity;
        }
        SysFail fail = SysFail::kNone;
        char* chunk = nullptr;
        if (uint64_t(pool->total) + kEntryChunkBytes > pool->ceiling) {
            fail = SysFail::kCeiling;
        } else if (!(chunk = static_cast<char*>(std::aligned_alloc(kEntryChunkBytes, kEntryChunkBytes)))) {
            fail = SysFail::kMemory;
        }
        if (chunk) {
            pool->total += uint32_t(kEntryChunkBytes);
            const uint32_t number = pool->entryTableCount++;
            pool->entryTable[number] = chunk;
            std::memcpy(chunk, &number, 4);
            std::memcpy(chunk + 8, &pool->entryChunks, sizeof(char*));
            pool->entryChunks = chunk;
            HandleEntry* entries = reinterpret_cast<HandleEntry*>(chunk);
            for (uint32_t i = (1u << kEntrySlotBits); i-- > kFirstEntrySlot;) {
                entries[i].data = reinterpret_cast<char*>(reinterpret_cast<uintptr_t>(pool->freeEntries) | 1);
                pool->freeEntries = &entries[i];
            }
            Poison(entries + kFirstEntrySlot, size_t(kEntriesPerChunk) * sizeof(HandleEntry));
            return kEntriesPerChunk;
        }
        if (!ReportError(pool, fail == SysFail::kCeiling ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY))
            return 0;
    }
}

HandleEntry* TakeEntry(MemPool pool) {
    if (!pool->freeEntries && !GrowEntries(pool)) return nullptr;
    HandleEntry* e = pool->freeEntries;
    Unpoison(e, sizeof *e);
    pool->freeEntries = reinterpret_cast<HandleEntry*>(reinterpret_cast<uintptr_t>(e->data) & ~uintptr_t(1));
    e->data = nullptr;
    return e;
}

void ReturnEntry(MemPool pool, HandleEntry* e) {
    e->data = reinterpret_cast<char*>(reinterpret_cast<uintptr_t>(pool->freeEntries) | 1);
    pool->freeEntries = e;
    Poison(e, sizeof *e);
}

// Page locked count of the page holding a handle's block (relocatable pages only).
void AdjustPageLocks(const BlockRef& r, int delta) {
    if (r.kind != kReloc) return;
    PageDesc* d = Header(r.page)->desc;
    uint32_t locked = (d->flags & kDescLockedMask) + uint32_t(delta);
    d->flags = (d->flags & ~kDescLockedMask) | (locked & kDescLockedMask);
    if (delta < 0) d->flags &= ~kDescExact;
}

// Frees a live variable or external block (no handle entry bookkeeping).
void FreeBlock(const BlockRef& r) {
    MemPool pool = PoolOf(r);
    if (r.kind == kExternal)
        DeletePage(pool, r.page);
    else
        FreeVarBlock(pool, r.page, r.block);
}

// Allocates the data block of a handle of `size` bytes (a variable block, or an external page)
// and points it back at the entry; false when none can be had.
inline bool AllocHandleData(MemPool pool, uint32_t size, uint32_t flags, bool relocatable, HandleEntry* e,
                     BlockRef* out) {
    uint32_t n = size;
    char* data = nullptr;
    if (n <= pool->extThreshold) {
        if (char* b = VarAlloc(pool, n, flags, true, relocatable))
            data = b + 16;
        else if (flags & kMemNoExternal)
            return false;
    }
    if (!data && !(data = ExternalAlloc(pool, n, e))) return false;
    Resolve(data, out, false);
    SetBackPointer(*out, e);
    return true;
}

inline void SetSlack(const BlockRef& r, uint32_t size) {
    if (r.kind == kExternal) {
        Header(r.page)->aux2 = size;
        return;
    }
    // Every block is made for its request (at most a split's minimum and a rounding larger), so
    // the slack always fits.
    const uint32_t slack = r.usable - size;
    PLEXA_ASSERT(slack <= kSlackMax);
    SetBWord(r.block, (BWord(r.block) & ~kSlackBits) | std::min(slack, kSlackMax) << kSlackShift);
}

inline uint32_t RequestedSize(const BlockRef& r) {
    if (r.kind == kExternal) return uint32_t(Header(r.page)->aux2);
    return r.usable - ((BWord(r.block) & kSlackBits) >> kSlackShift);
}

// ---- compaction -------------------------------------------------------------------------------

// Re-establishes the poisoning of a variable page: only live data addressable.
void RepoisonPage(char* page) {
    Poison(page + kVarHeader, Header(page)->bytes - kVarHeader);
    for (char* b = page + kVarHeader; b < PageEnd(page); b += BSize(b)) {
        uint32_t w = BWord(b);
        if (w & kInUse) Unpoison(b + 16, VarUsable(w & kSizeMask, w));
    }
}

// Slides the unlocked handle blocks of a relocatable page down over the free space before them
// and rebuilds its free ring; returns the largest free block.
uint32_t CompactPage(MemPool, PageDesc* d, uint32_t) {
    char* page = d->page;
    char* end = PageEnd(page);
    Unpoison(page + kVarHeader, Header(page)->bytes - kVarHeader);
    char* hole = nullptr;  // start of the current free run
    for (char* b = page + kVarHeader; b < end;) {
        uint32_t w = BWord(b);
        uint32_t size = w & kSizeMask;
        if (!(w & kInUse)) {
            if (!hole) hole = b;
            b += size;
            continue;
        }
        HandleEntry* e = (w & kHandleBlock) ? EntryOfBlock(page, b) : nullptr;
        if (hole && e && (w & kLockBits) == 0) {
            std::memmove(hole, b, size);
            SetBWord(hole, (w & ~kPrevInUse) | kPrevInUse);
            e->data = hole + 16;
            hole += size;
        } else if (hole) {
            uint32_t gap = uint32_t(b - hole);
            SetBWord(hole, gap | kPrevInUse);
            Poke<uint32_t>(hole + gap - 4, gap);
            SetBWord(b, w & ~kPrevInUse);
            hole = nullptr;
        }
        b += size;
    }
    if (hole) {
        uint32_t gap = uint32_t(end - hole);
        SetBWord(hole, gap | kPrevInUse);
        Poke<uint32_t>(hole + gap - 4, gap);
    }
    // Rebuild the free ring.
    Rover(page) = nullptr;
    uint32_t largest = 0, freeBytes = 0;
    bool prevInUse = true;
    for (char* b = page + kVarHeader; b < end;) {
        uint32_t w = BWord(b);
        uint32_t size = w & kSizeMask;
        SetBWord(b, prevInUse ? (w | kPrevInUse) : (w & ~kPrevInUse));
        if (!(w & kInUse)) {
            Poke<char*>(b + 8, page);
            RingAdd(page, b);
            largest = std::max(largest, size);
            freeBytes += size;
        }
        prevInUse = (w & kInUse) != 0;
        b += size;
    }
    RepoisonPage(page);
    Header(page)->freeBytes = freeBytes;
    d->largest = largest;
    d->flags |= kDescExact;
    return largest;
}

// The pool compaction hook. A light pass compacts only pages whose free bytes make the sliding
// worth it; a thorough pass compacts every page and then empties the best candidate page.
uint32_t CompactPool(MemPool pool, uint32_t need, bool thorough) {
    PageDesc* start = pool->rings[kReloc];
    if (!start) return 0;
    uint32_t best = 0;
    PageDesc* candidate = nullptr;
    uint32_t candidateLocks = 0, candidateFree = 0;
    PageDesc* d = start;
    do {
        uint32_t largest = d->largest;
        PageHeader* h = Header(d->page);
        if (!(d->flags & kDescExact) &&
            (thorough || h->freeBytes >= std::max(need, h->bytes / 4))) {
            largest = pool->compactPage(pool, d, need);
            if (largest >= need) return largest;  // enough: the other pages wait for next time
        }
        best = std::max(best, largest);
        uint32_t locks = d->flags & kDescLockedMask;
        if (!candidate || locks < candidateLocks || (locks == candidateLocks && largest > candidateFree)) {
            candidate = d;
            candidateLocks = locks;
            candidateFree = largest;
        }
        d = d->next;
    } while (d != start);
    if (!thorough || best >= need || !candidate || candidateLocks != 0) return best;

    // Empty the candidate page into the free space of the others.
    char* page = candidate->page;
    std::vector<char*> blocks;
    for (char* b = page + kVarHeader; b < PageEnd(page); b += BSize(b))
        if (BWord(b) & kInUse) blocks.push_back(b);
    for (char* b : blocks) {
        uint32_t w = BWord(b);
        if (!(w & kHandleBlock)) return best;
        BlockRef from;
        Resolve(b + 16, &from, false);
        // The new block is made for the requested bytes, so that its slack stays small however
        // often it moves.
        const uint32_t requested = RequestedSize(from);
        char* nb = VarAlloc(pool, requested, kEvacuateFlags, true, true, page);
        if (!nb) return best;
        HandleEntry* e = BackPointer(from);
        BlockRef to;
        Resolve(nb + 16, &to, false);
        std::memcpy(nb + 16, b + 16, std::min(from.usable, to.usable));
        SetBackPointer(to, e);
        e->data = nb + 16;
        SetSlack(to, requested);
        uint32_t totalBefore = pool->total;
        FreeVarBlock(pool, page, b);
        if (pool->total != totalBefore) return best;  // deleted: the pool may take a fresh page
    }
    return std::max(best, candidate->largest);  // emptied, kept by the floor
}

void InstallHooks(MemPool pool) {
    if (!pool->compactPool) {
        pool->compactPool = CompactPool;
        pool->compactPage = CompactPage;
    }
}

// Variable block resize in place (n bytes wanted; handle blocks include the back pointer).
bool VarResizeInPlace(MemPool pool, BlockRef& r, uint32_t n) {
    char* b = r.block;
    char* page = r.page;
    uint32_t w = BWord(b);
    uint32_t size = w & kSizeMask;
    bool handle = (w & kHandleBlock) != 0;
    uint32_t need = VarNeed(n);
    uint32_t splitMin = SplitMin(pool, r.kind, handle);
    char* next = b + size;
    if (need > size) {
        if (next >= PageEnd(page)) return false;
        uint32_t nw = BWord(next);
        if (nw & kInUse) return false;
        uint32_t nsize = nw & kSizeMask;
        if (size + nsize < need) return false;
        RingDrop(page, next);
        uint32_t oldSize = size;
        size += nsize;
        if (size - need >= splitMin) {
            MakeFree(page, b + need, size - need);
            size = need;
        } else {
            SetPrevInUse(page, b + size, true);
        }
        Header(page)->freeBytes -= size - oldSize;
    } else if (size - need >= splitMin) {
        Poison(b + need, size - need);
        Header(page)->freeBytes += size - need;
        MakeFree(page, b + need, size - need);
        size = need;
        Header(page)->desc->flags &= ~kDescExact;
    } else {
        return true;  // fits as it is
    }
    uint32_t oldUsable = r.usable;
    SetBWord(b, size | (w & (kInUse | kPrevInUse | kHandleBlock | kLockBits | kSlackBits)));
    r.usable = VarUsable(size, w);
    if (r.usable > oldUsable) Unpoison(b + 16, r.usable);
    else Poison(b + 16 + r.usable, size - 16 - r.usable);
    return true;
}

}  // namespace

// ---- pools ------------------------------------------------------------------------------------

MemPool MemPoolInit(uint32_t flags) {
    auto* pool = static_cast<MemPoolRecord*>(std::calloc(1, sizeof(MemPoolRecord)));
    if (!pool) {
        ReportError(nullptr, MEM_OUT_OF_MEMORY);
        return nullptr;
    }
    pool->signature = kPoolSignature;
    pool->flags = uint16_t(flags & ~2u);
    pool->blockSizeFS = 40;
    pool->pageSize = 16384;
    pool->extThreshold = 4096;
    pool->ceiling = 0xFFFFFFFE;
    pool->task = &gTask;
    pool->nextPool = gTask.pools;
    gTask.pools = pool;
    AddDescs(pool, pool->firstDescs, kInlineDescs);
    return pool;
}

MemPool MemInitDefaultPool() {
    EnterCritical();
    if (!gTask.defaultPool) gTask.defaultPool = MemPoolInit(kMemPoolStandardFlags);
    LeaveCritical();
    return gTask.defaultPool;
}

MemPool MemDefaultPool() { return gTask.defaultPool; }

uint32_t MemPoolSetPageSize(MemPool pool, uint32_t size) {
    if (!PoolOk(pool)) return 0;
    uint32_t page;
    if (size == 16384) page = 16384;
    else if (size <= 4096) page = 4096;
    else if (size >= 65535) page = 65535;
    else {
        page = 8192;
        while (page < size) page <<= 1;
        if (page >= 65535) page = 65535;
    }
    if (uint64_t(page) < uint64_t(pool->blockSizeFS) + 64) return 0;
    uint32_t old = pool->pageSize;
    pool->pageSize = page;
    pool->extThreshold = page / 4;
    return old;
}

bool MemPoolSetBlockSizeFS(MemPool pool, uint32_t size) {
    if (!PoolOk(pool)) return false;
    if (pool->rings[kFixed]) return false;
    uint64_t rounded = (uint64_t(size) + 7) & ~uint64_t(7);
    if (rounded + 64 > pool->pageSize) {
        ReportError(pool, MEM_BLOCK_TOO_BIG);
        return false;
    }
    pool->blockSizeFS = uint32_t(rounded);
    return true;
}

uint32_t MemPoolSetFloor(MemPool pool, uint32_t bytes) {
    if (!PoolOk(pool) || bytes > pool->ceiling) return 0xFFFFFFFF;
    uint32_t old = pool->floor;
    pool->floor = bytes;
    return old;
}

uint32_t MemPoolSetCeiling(MemPool pool, uint32_t bytes) {
    if (!PoolOk(pool) || bytes < pool->floor) return 0xFFFFFFFF;
    uint32_t old = pool->ceiling;
    pool->ceiling = bytes;
    return old;
}

uint32_t MemPoolPreAllocate(MemPool pool, uint32_t bytes, uint32_t kind) {
    if (!PoolOk(pool)) return 0;
    if (kind != kMemFixedPages && kind != kMemRelocatablePages && kind != kMemPlainPages) {
        ReportError(pool, MEM_INTERNAL_ERROR);
        return 0;
    }
    if (kind == kMemFixedPages && pool->blockSizeFS == 0) {
        ReportError(pool, MEM_ALLOC_ZERO);
        return 0;
    }
    uint32_t made = 0;
    while (made < bytes) {
        char* page = kind == kMemFixedPages       ? NewFixedPage(pool)
                     : kind == kMemRelocatablePages ? NewVarPage(pool, kReloc, false)
                                                    : NewVarPage(pool, kPlain, false);
        if (!page) break;
        made += Header(page)->bytes;
    }
    return made;
}

uint32_t MemPoolPreAllocateHandles(MemPool pool, uint32_t count) {
    if (!PoolOk(pool)) return 0;
    uint32_t made = 0;
    while (made < count) {
        uint32_t got = GrowEntries(pool);
        if (!got) break;
        made += got;
    }
    return made;
}

bool MemPoolFree(MemPool pool) {
    if (!PoolOk(pool)) return false;
    pool->signature = 0;
    for (MemPoolRecord** link = &gTask.pools; *link; link = &(*link)->nextPool) {
        if (*link == pool) {
            *link = pool->nextPool;
            break;
        }
    }
    if (gTask.defaultPool == pool) gTask.defaultPool = nullptr;
    for (uint32_t kind = 0; kind < 5; ++kind) {
        while (PageDesc* d = pool->rings[kind]) {
            Header(d->page)->tag = 0;
            RingRemove(pool, kind, d);
            SysFree(pool, d->page, kind != kExternal);
        }
    }
    for (uint32_t i = 0; i < pool->entryTableCount; ++i) {
        Unpoison(pool->entryTable[i], kEntryChunkBytes);
        std::free(pool->entryTable[i]);
    }
    std::free(pool->entryTable);
    for (char* chunk = pool->descChunks; chunk;) {
        char* next;
        std::memcpy(&next, chunk, sizeof next);
        SysFree(pool, chunk);
        chunk = next;
    }
    std::free(pool);
    return true;
}

bool MemPoolInfo(MemPool pool, const void* pointer, MemPoolInfoRecord* info) {
    if (!info) return false;
    if (!pool) {
        BlockRef r;
        if (!pointer || !Resolve(pointer, &r)) return false;
        pool = PoolOf(r);
    }
    if (!PoolOk(pool)) return false;
    *info = MemPoolInfoRecord{};
    info->pool = pool;
    if (pool->rings[kFixed]) info->pageKinds |= kMemFixedPages;
    if (pool->rings[kReloc]) info->pageKinds |= kMemRelocatablePages;
    if (pool->rings[kPlain]) info->pageKinds |= kMemPlainPages;
    info->blockSizeFS = pool->blockSizeFS;
    info->pageSize = pool->pageSize;
    info->floor = pool->floor;
    info->ceiling = pool->ceiling;
    info->flags = pool->flags;
    info->errorHandler = gTask.handler;
    info->totalBytes = pool->total;
    return true;
}

uint32_t MemPoolCompact(MemPool pool, uint32_t size) {
    if (!PoolOk(pool)) return 0;
    InstallHooks(pool);
    const uint32_t largest = CompactPool(pool, VarNeed(size), true);
    PLEXA_ASSERT(HeapCheckPool(pool) == 0);
    return largest;
}

// Every allocating and resizing call refuses size 0 (error 4) and sizes whose block sums would
// wrap near 4 GiB (error 3).
static bool RequestSizeOk(MemPool pool, uint32_t size) {
    if (size == 0) {
        ReportError(pool, MEM_ALLOC_ZERO);
        return false;
    }
    if (size > kMaxRequest) {
        ReportError(pool, MEM_BLOCK_TOO_BIG);
        return false;
    }
    return true;
}

// ---- pointers ---------------------------------------------------------------------------------

Ptr MemAllocPtr(MemPool pool, uint32_t size, uint32_t flags) {
    if (!PoolOk(pool)) return nullptr;
    if (!RequestSizeOk(pool, size)) return nullptr;
    char* p = nullptr;
    uint32_t usable = 0;
    if (size <= kSmallMax) {
        p = SmallAlloc(pool, size, flags);
        if (p) usable = SmallUsable(std::max(size, 8u) / 8);
        else size = std::max(size, 8u);
    }
    if (!p && size > pool->extThreshold) {
        p = ExternalAlloc(pool, size, nullptr);
        usable = size;
    } else if (!p) {
        if (char* b = VarAlloc(pool, size, flags, false, false)) {
            p = b + 16;
            usable = BSize(b) - 16;
        } else if (!(flags & kMemNoExternal)) {
            p = ExternalAlloc(pool, size, nullptr);
            usable = size;
        }
    }
    if (!p) return nullptr;
    if (flags & kMemZeroFill) std::memset(p, 0, usable);
    return p;
}

Ptr MemAllocFS(MemPool pool) {
    if (!PoolOk(pool)) return nullptr;
    if (pool->blockSizeFS == 0) {
        ReportError(pool, MEM_ALLOC_ZERO);
        return nullptr;
    }
    return FixedAlloc(pool);
}

bool MemFreePtr(void* pointer) {
    char* p = static_cast<char*>(pointer);
    if (p && (uintptr_t(p) & 7) == 0) [[likely]] {  // the fixed-size case without the full check
        uintptr_t word = Peek<uintptr_t>(p - 8);
        PageHeader* h = reinterpret_cast<PageHeader*>(word);
        if (word && !(word & 1) && h->tag == kPageTag + kFixed) {
            FreeFixed(h->pool, h, p);
            return true;
        }
    }
    BlockRef r;
    if (!Resolve(p, &r)) return false;
    MemPool pool = PoolOf(r);
    PageHeader* h = Header(r.page);
    switch (r.kind) {
    case kFixed:
        FreeFixed(pool, h, p);
        return true;
    case kSmall: {
        Poison(p, r.usable);
        PushSmall(pool, p, Peek<uint8_t>(p - 9), r.page);
        h->live--;
        return true;
    }
    default:
        if (IsHandleBlock(r)) {
            ReportError(pool, MEM_BAD_POINTER);
            return false;
        }
        FreeBlock(r);
        return true;
    }
}

Ptr MemReAllocPtr(void* pointer, uint32_t size, uint32_t flags) {
    char* p = static_cast<char*>(pointer);
    BlockRef r;
    if (!Resolve(p, &r)) return nullptr;
    MemPool pool = PoolOf(r);
    if (IsHandleBlock(r)) {
        ReportError(pool, MEM_BAD_POINTER);
        return nullptr;
    }
    if (!RequestSizeOk(pool, size)) return nullptr;
    uint32_t oldUsable = r.usable;
    bool inPlace = false;
    switch (r.kind) {
    case kFixed:
    case kSmall:
        inPlace = size <= r.usable;
        break;
    case kExternal:
        // In place only while the unused tail stays within what a slack byte can record.
        inPlace = size <= r.usable && ((size > pool->extThreshold && r.usable - size <= 255) ||
                                       (flags & kMemDoNotMove));
        break;
    default:
        inPlace = (size <= pool->extThreshold || (flags & kMemDoNotMove)) &&
                  VarResizeInPlace(pool, r, size);
        break;
    }
    if (inPlace) {
        if ((flags & kMemZeroFill) && r.usable > oldUsable) std::memset(p + oldUsable, 0, r.usable - oldUsable);
        return p;
    }
    if (flags & kMemDoNotMove) {
        ReportError(pool, MEM_RESIZE_FAILED);
        return nullptr;
    }
    char* q = MemAllocPtr(pool, size, flags & (kMemNoNewPage | kMemNoExternal));
    if (!q) return nullptr;
    BlockRef nr;
    Resolve(q, &nr, false);
    std::memcpy(q, p, std::min(oldUsable, nr.usable));
    if ((flags & kMemZeroFill) && nr.usable > oldUsable) std::memset(q + oldUsable, 0, nr.usable - oldUsable);
    MemFreePtr(p);
    return q;
}

uint32_t MemSizePtr(const void* pointer) {
    BlockRef r;
    if (!Resolve(pointer, &r)) return 0xFFFFFFFF;
    return r.usable;
}

// ---- handles ----------------------------------------------------------------------------------

Handle MemAlloc(MemPool pool, uint32_t flags, uint32_t size) {
    if (!PoolOk(pool)) return nullptr;
    if (!RequestSizeOk(pool, size)) return nullptr;
    InstallHooks(pool);
    HandleEntry* e = TakeEntry(pool);
    if (!e) return nullptr;
    bool relocatable = (flags & kMemRelocatable) != 0;
    BlockRef r;
    if (!AllocHandleData(pool, size, flags, relocatable, e, &r)) {
        ReturnEntry(pool, e);
        return nullptr;
    }
    e->data = (r.kind == kExternal) ? r.page + kExternalHeader : r.block + 16;
    if (r.kind == kExternal) Header(r.page)->freeBytes = relocatable ? kExternalRelocatable : 0;
    SetLock(r, relocatable ? 0 : 1);
    SetSlack(r, size);
    if (flags & kMemZeroFill) std::memset(e->data, 0, r.usable);
    return reinterpret_cast<Handle>(e);
}

Handle MemReAlloc(Handle handle, uint32_t size, uint32_t flags) {
    HandleEntry* e;
    BlockRef r;
    if (!ResolveHandle(handle, &e, &r)) return nullptr;
    MemPool pool = PoolOf(r);
    if (!RequestSizeOk(pool, size)) return nullptr;
    uint32_t n = size;
    uint32_t oldUsable = r.usable;
    const bool relocatable = IsRelocatable(r);
    bool mayMove = !(flags & kMemDoNotMove) &&
                   ((relocatable && LockOf(r) == 0) || (flags & kMemMoveLocked));
    bool inPlace;
    if (r.kind == kExternal) {
        inPlace = n <= r.usable && ((n > pool->extThreshold && n >= r.usable / 2) || !mayMove);
    } else {
        inPlace = (n <= pool->extThreshold || !mayMove) && VarResizeInPlace(pool, r, n);
        if (inPlace) SetBackPointer(r, e);
    }
    if (inPlace) {
        SetSlack(r, size);
        if ((flags & kMemZeroFill) && r.usable > oldUsable) std::memset(e->data + oldUsable, 0, r.usable - oldUsable);
        return handle;
    }
    if (!mayMove) {
        ReportError(pool, MEM_RESIZE_FAILED);
        return nullptr;
    }
    // Pin the block while the new one is found, so that compaction leaves it where it is.
    const uint32_t lock = LockOf(r);
    if (lock == 0) {
        AdjustPageLocks(r, +1);
        SetLock(r, 1);
    }
    BlockRef nr;
    bool ok = AllocHandleData(pool, size, flags & (kMemNoNewPage | kMemNoExternal), relocatable, e, &nr);
    // The pinned block stayed where it was; its reference is still good.
    BlockRef cur = r;
    if (lock == 0) {
        SetLock(cur, 0);
        AdjustPageLocks(cur, -1);
    }
    if (!ok) return nullptr;
    if (nr.kind == kExternal) Header(nr.page)->freeBytes = relocatable ? kExternalRelocatable : 0;
    SetLock(nr, lock);
    std::memcpy(nr.kind == kExternal ? nr.page + kExternalHeader : nr.block + 16, e->data,
                std::min(cur.usable, nr.usable));
    if (lock) {
        AdjustPageLocks(cur, -1);
        AdjustPageLocks(nr, +1);
    }
    FreeBlock(cur);
    e->data = nr.kind == kExternal ? nr.page + kExternalHeader : nr.block + 16;
    SetSlack(nr, size);
    if ((flags & kMemZeroFill) && nr.usable > cur.usable)
        std::memset(e->data + cur.usable, 0, nr.usable - cur.usable);
    return handle;
}

bool MemFree(Handle handle) {
    HandleEntry* e;
    BlockRef r;
    if (!ResolveHandle(handle, &e, &r)) return false;
    MemPool pool = PoolOf(r);
    if (LockOf(r) && IsRelocatable(r)) AdjustPageLocks(r, -1);
    FreeBlock(r);
    ReturnEntry(pool, e);
    return true;
}

Ptr MemLock(Handle handle) {
    HandleEntry* e;
    BlockRef r;
    if (!ResolveHandle(handle, &e, &r)) return nullptr;
    const uint32_t lock = LockOf(r);
    if (!IsRelocatable(r) || lock == 255) {
        ReportError(PoolOf(r), MEM_LOCK_ERROR);
        return nullptr;
    }
    SetLock(r, lock + 1);
    if (lock == 0) AdjustPageLocks(r, +1);
    return e->data;
}

uint32_t MemUnlock(Handle handle) {
    HandleEntry* e;
    BlockRef r;
    if (!ResolveHandle(handle, &e, &r)) return 65535;
    const uint32_t lock = LockOf(r);
    if (lock == 0) {
        ReportError(PoolOf(r), MEM_LOCK_ERROR);
        return 65535;
    }
    SetLock(r, lock - 1);
    if (lock == 1 && IsRelocatable(r)) AdjustPageLocks(r, -1);
    return lock - 1;
}

uint32_t MemSize(Handle handle) {
    HandleEntry* e;
    BlockRef r;
    if (!ResolveHandle(handle, &e, &r)) return 0;
    return r.usable;
}

uint32_t MemSizeRequested(Handle handle) {
    HandleEntry* e;
    BlockRef r;
    if (!ResolveHandle(handle, &e, &r)) return 0;
    return RequestedSize(r);
}

// ---- error handling ---------------------------------------------------------------------------

MemErrorHandler MemSetErrorHandler(MemErrorHandler handler) {
    MemErrorHandler old = gTask.handler;
    gTask.handler = handler;
    return old;
}

int32_t MemDefaultErrorHandler(MemErrorRecord* error) {
    if (!error || error->code == 0 || error->code == MEM_OUT_OF_MEMORY) return 0;
    if (gTask.alert) gTask.alert();
    return 0;
}

const char* MemErrorText(int32_t code) {
    static const char* const kTexts[] = {
        "MEM_INTERNAL_ERROR",
        "Out of memory.  Please free some memory, then choose retry.",
        "MEM_BLOCK_TOO_BIG",
        "MEM_ALLOC_ZERO",
        "MEM_RESIZE_FAILED",
        "MEM_LOCK_ERROR",
        "MEM_EXCEEDED_CEILING",
        "MEM_TOO_MANY_PAGES",
        "MEM_TOO_MANY_TASKS",
        "MEM_BAD_MEM_POOL",
        "MEM_BAD_BLOCK",
        "MEM_BAD_FREE_BLOCK",
        "MEM_BAD_HANDLE",
        "MEM_BAD_POINTER",
        "MEM_WRONG_TASK",
    };
    if (code < 1 || code > 15) return kTexts[0];
    return kTexts[code - 1];
}

MemAlertProc MemSetAlertProc(MemAlertProc proc) {
    MemAlertProc old = gTask.alert;
    gTask.alert = proc;
    return old;
}

}  // namespace plexa

// ---- consistency check ------------------------------------------------------------------------

namespace plexa {

int HeapCheckPool(MemPool pool) {
    if (!pool || pool->signature != kPoolSignature) return 1;
    for (uint32_t kind : {uint32_t(kPlain), uint32_t(kReloc)}) {
        PageDesc* start = pool->rings[kind];
        if (!start) continue;
        PageDesc* d = start;
        do {
            char* page = d->page;
            if (Header(page)->desc != d || Header(page)->tag != kPageTag + kind) return 2;
            bool prevInUse = true;
            uint32_t frees = 0, live = 0, locked = 0, freeBytes = 0;
            for (char* b = page + kVarHeader; b < PageEnd(page);) {
                uint32_t w = BWord(b);
                uint32_t size = w & kSizeMask;
                if (size < 32 || b + size > PageEnd(page)) return 3;
                if (bool(w & kPrevInUse) != prevInUse) return 4;
                if (Peek<char*>(b + 8) != page) return 5;
                if (!(w & kInUse)) {
                    if (!prevInUse) return 6;  // two free blocks side by side
                    if (Peek<uint32_t>(b + size - 4) != size) return 7;
                    if (size > d->largest) return 8;
                    ++frees;
                    freeBytes += size;
                } else {
                    ++live;
                    if (w & kHandleBlock) {
                        auto* e = EntryOfBlock(page, b);
                        if (!e || e->data != b + 16) return 9;
                        if ((w & kLockBits) && kind == kReloc) ++locked;
                    }
                }
                prevInUse = (w & kInUse) != 0;
                b += size;
            }
            if (live != Header(page)->live || freeBytes != Header(page)->freeBytes) return 10;
            if (kind == kReloc && locked != (d->flags & kDescLockedMask)) return 11;
            uint32_t ring = 0;
            if (char* r = Rover(page)) {
                char* f = r;
                do {
                    if (BWord(f) & kInUse) return 12;
                    if (FreePrev(FreeNext(f)) != f) return 13;
                    f = FreeNext(f);
                    ++ring;
                } while (f != r && ring <= frees);
            }
            if (ring != frees) return 14;
            d = d->next;
        } while (d != start);
    }
    return 0;
}

}  // namespace plexa
