// The stored form of DA arrays (see da_stream.h for the layout and what the reader checks).
#include "foundation/da_stream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/signals.h"
#include "foundation/stream.h"

namespace plexa {

namespace {

constexpr int32_t kMark = -2;
constexpr uint32_t kHeaderBytes = 72;
constexpr uint32_t kOldHeaderBytes = 48;
constexpr int kHeaderWords = 18;
// Slots whose bytes the stored form does not carry (free runs, the used runs of kDANoBodies, the
// unused part of fixed clusters) may take at most this many bytes of memory for each byte of the
// stored form read so far. A free cluster of the default size (at most 65400 bytes) costs 8 stored
// bytes, so an array of default-sized or smaller clusters reads whatever its free slots; a tiny
// input cannot make the reader allocate gigabytes.
constexpr uint64_t kUnstoredBytesPerByte = 8192;
constexpr uint32_t kKnownFlags = kDAUnique | kDAPacked | kDASorted | kDALogicalIds | kDAStride2 |
                                 kDALockSearch | kDANoBodies | kDAGrowBySlot | kDACompareEx |
                                 kDAFixed;

enum HeaderWord { kItemSize, kStride, kCount, kIdLimit, kPerCluster, kClusters, kFreeHead,
                  kFlags = 8, kRefCon = 11 };

// Native to big-endian and back (the same exchange either way).
uint32_t BigEndianOrder(uint32_t v) {
    return std::endian::native == std::endian::big ? v : ByteSwapLong(&v);
}

void Check(bool ok) {
    if (!ok) FailureSignal(status::kParamErr);
}

uint32_t ReadBE(StreamRecord* stream) {
    uint32_t v = 0;
    int32_t n = 4;
    Signal(StreamRead(stream, &v, &n));
    return BigEndianOrder(v);
}

// Writes r (negated for a free run) and, for a used run with bodies, its slots.
void WriteRun(StreamRecord* stream, DAArray array, int32_t c, int32_t first, int32_t length,
              bool used) {
    Signal(StreamWriteLongBE(stream, uint32_t(used ? length : -length)));
    DAHeader* h = *array;
    if (used && !(h->flags & kDANoBodies)) {
        const char* bytes = *h->Clusters()[c].data + size_t(first) * h->stride;
        Signal(StreamWrite(stream, bytes, int32_t(length * h->stride)));
    }
}

void WriteBody(DAArray array, StreamRecord* stream, DALoopProc itemProc) {
    DAHeader* h = *array;
    uint32_t words[kHeaderWords] = {};
    words[kItemSize] = h->itemSize;
    words[kStride] = h->stride;
    words[kCount] = uint32_t(h->count);
    words[kIdLimit] = uint32_t(h->idLimit);
    words[kPerCluster] = uint32_t(h->itemsPerCluster);
    words[kClusters] = uint32_t(h->clusterCount);
    words[kFreeHead] = uint32_t(h->freeHead);
    words[kFlags] = h->flags;
    words[kRefCon] = uint32_t(h->refCon);
    Signal(StreamWriteLongBE(stream, uint32_t(kMark)));
    Signal(StreamWriteLongBE(stream, kHeaderBytes));
    for (uint32_t w : words) Signal(StreamWriteLongBE(stream, w));

    if (h->flags & kDALogicalIds) {
        // The map, big-endian, copied out in pieces so that the array itself is never changed.
        const int32_t capacity = h->map ? h->mapCapacity : -1;
        Signal(StreamWriteLongBE(stream, uint32_t(capacity < 0 ? -1 : capacity * 4)));
        uint32_t piece[256];
        for (int32_t i = 0; i < capacity;) {
            const int32_t n = std::min<int32_t>(capacity - i, 256);
            const auto* map = reinterpret_cast<const uint32_t*>(*(*array)->map);
            for (int32_t k = 0; k < n; ++k) piece[k] = BigEndianOrder(map[i + k]);
            Signal(StreamWrite(stream, piece, n * 4));
            i += n;
        }
    }

    const int32_t clusters = h->clusterCount;
    for (int32_t c = 0; c < clusters; ++c) {
        const int32_t slots = (*array)->Clusters()[c].slotCount;
        Signal(StreamWriteLongBE(stream, uint32_t(slots)));
        int32_t runStart = 0;
        bool runUsed = true;
        for (int32_t i = 0; i < slots; ++i) {
            h = *array;
            const char* slot = *h->Clusters()[c].data + size_t(i) * h->stride;
            const bool used = !da_detail::SlotIsFree(h->flags, h->stride, slot);
            if (i == 0) {
                runUsed = used;
            } else if (used != runUsed) {
                WriteRun(stream, array, c, runStart, i - runStart, runUsed);
                runStart = i;
                runUsed = used;
            }
        }
        if (slots > 0) WriteRun(stream, array, c, runStart, slots - runStart, runUsed);
    }

    if (itemProc) DAItemLoop(array, 0, 0, itemProc, uint64_t(uintptr_t(stream)));
}

struct ReadHeader {
    uint32_t itemSize, stride, flags;
    int32_t count, idLimit, perCluster, clusters;
    uint64_t refCon;
};

// Checks the header words on their own and normalises the flags as creation does.
ReadHeader CheckHeader(const uint32_t* words, bool oldForm) {
    ReadHeader r{};
    r.itemSize = words[kItemSize];
    r.stride = words[kStride];
    r.count = int32_t(words[kCount]);
    r.idLimit = int32_t(words[kIdLimit]);
    r.perCluster = int32_t(words[kPerCluster]);
    r.clusters = int32_t(words[kClusters]);
    r.flags = words[kFlags];
    r.refCon = words[kRefCon];
    if (r.flags & kDAPacked) r.flags |= kDASorted;
    const bool packed = r.flags & kDAPacked;
    Check((r.flags & ~kKnownFlags) == 0);
    Check(!(packed && (r.flags & kDALogicalIds)));
    Check(packed || !(r.flags & kDASorted) || (r.flags & kDALogicalIds));
    Check(r.itemSize >= 1 && r.itemSize <= kDAMaxStride);
    const uint32_t round = (r.flags & kDAStride2) ? 2 : 4;
    // Old files may hold slots narrower than 9 bytes (an item and its status byte); they are
    // widened to the current layout once read.
    const bool narrow = oldForm && !packed && r.stride < 9 && r.stride > r.itemSize;
    Check((narrow || r.stride >= da_detail::StrideFor(r.itemSize, r.flags)) &&
          r.stride <= kDAMaxStride && r.stride % round == 0);
    Check(r.clusters >= 0 && r.clusters <= kDAMaxClusters);
    Check(r.count >= 0 && r.idLimit >= 0 && r.count <= r.idLimit);
    if (packed) {
        // One cluster, as the array code keeps it; a writer that stored none stored no items.
        Check((r.clusters == 1 || (r.clusters == 0 && r.idLimit == 0)) && r.perCluster >= 0 &&
              !(r.flags & kDAFixed));
    } else {
        Check(r.perCluster >= 1);
        Check(int64_t(r.clusters) * r.perCluster <= 0x7FFFFFFF);
        if (r.flags & kDAFixed) Check(uint64_t(r.perCluster) * r.stride <= 0x7FFFFFFF);
    }
    return r;
}

int64_t Remaining(const StreamRecord* stream) {
    return int64_t(GetStreamEnd(stream)) - GetStreamPosition(stream);
}

// Walks one cluster's runs before anything is allocated for it: every run stays in its cluster,
// the bytes of used runs are in the stream, and the slots without stored bytes stay within the
// budget. Adds those slots' bytes to *unstored and leaves the stream where it was.
void ScanCluster(StreamRecord* stream, const ReadHeader& r, int32_t slots, int32_t formStart,
                 uint64_t* unstored) {
    const int32_t runsStart = GetStreamPosition(stream);
    const bool packed = r.flags & kDAPacked;
    for (int32_t i = 0; i < slots;) {
        const int32_t run = int32_t(ReadBE(stream));
        const int64_t length = run < 0 ? -int64_t(run) : int64_t(run);
        Check(run != 0 && length <= slots - i && (run > 0 || !packed));
        const uint64_t bytes = uint64_t(length) * r.stride;
        if (run > 0 && !(r.flags & kDANoBodies)) {
            if (int64_t(bytes) > Remaining(stream)) FailureSignal(status::kEndOfFile);
            Signal(OffsetStreamPosition(stream, int32_t(bytes)));
        } else {
            *unstored += bytes;
        }
        i += int32_t(length);
    }
    if (r.flags & kDAFixed) *unstored += uint64_t(r.perCluster - slots) * r.stride;
    Check(*unstored <= kUnstoredBytesPerByte * uint64_t(GetStreamPosition(stream) - formStart));
    Signal(SetStreamPosition(stream, runsStart));
}

// Reads one cluster's runs into its freshly allocated handle.
void ReadCluster(DAArray array, int32_t c, int32_t slots, StreamRecord* stream) {
    for (int32_t i = 0; i < slots;) {
        const int32_t r = int32_t(ReadBE(stream));
        const int64_t length = r < 0 ? -int64_t(r) : int64_t(r);
        Check(r != 0 && length <= slots - i);  // a run never leaves its cluster
        DAHeader* h = *array;
        const bool packed = h->flags & kDAPacked;
        const uint32_t stride = h->stride;
        char* first = *h->Clusters()[c].data + size_t(i) * stride;
        if (r > 0) {
            if (!(h->flags & kDANoBodies)) {
                int32_t bytes = int32_t(length * stride);
                Signal(StreamRead(stream, first, &bytes));
                h = *array;
                first = *h->Clusters()[c].data + size_t(i) * stride;
            }
            if (!packed) {
                for (int64_t k = 0; k < length; ++k) first[size_t(k) * stride + stride - 1] = 0;
            }
        } else {
            Check(!packed);
            for (int64_t k = 0; k < length; ++k) {
                char* slot = first + size_t(k) * stride;
                slot[stride - 1] = char(kDASlotFree);
                // Narrow slots have no room for it: the free list is rebuilt after widening.
                if (stride >= 9) da_detail::SetRun(slot, int32_t(length - k));
            }
            const int32_t base = c * h->itemsPerCluster + i;
            h->lowFreed = std::min(h->lowFreed, base);
            h->highFreed = std::max(h->highFreed, base + int32_t(length) - 1);
        }
        i += int32_t(length);
    }
}

// Checks count, id limit and map against the slots read.
void CheckContents(DAArray array) {
    DAHeader* h = *array;
    const bool packed = h->flags & kDAPacked;
    int32_t live = 0, limit = 0;
    for (int32_t c = 0; c < h->clusterCount; ++c) {
        const DACluster& cluster = h->Clusters()[c];
        if (cluster.slotCount > 0) limit = (packed ? 0 : c * h->itemsPerCluster) + cluster.slotCount;
        for (int32_t i = 0; i < cluster.slotCount; ++i) {
            if (!da_detail::SlotIsFree(h->flags, h->stride, *cluster.data + size_t(i) * h->stride)) ++live;
        }
    }
    Check(h->count == live && h->idLimit == limit);
    if (!(h->flags & kDALogicalIds)) return;
    auto* map = reinterpret_cast<int32_t*>(*h->map);
    std::vector<int32_t> ids(map, map + h->count);
    for (int32_t id : ids) {
        Check(id >= 0 && id < h->idLimit);
        const int32_t c = id / h->itemsPerCluster, i = id % h->itemsPerCluster;
        Check(c < h->clusterCount);
        const DACluster& cluster = h->Clusters()[c];
        Check(i < cluster.slotCount &&
              !da_detail::SlotIsFree(h->flags, h->stride, *cluster.data + size_t(i) * h->stride));
    }
    std::sort(ids.begin(), ids.end());
    Check(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    std::fill(map + h->count, map + h->mapCapacity, -1);
}

void ReadBody(MemPool pool, DAArray* out, int32_t itemSize, StreamRecord* stream,
              DALoopProc itemProc) {
    // Form and header.
    const int32_t formStart = GetStreamPosition(stream);
    uint32_t headerSize = kOldHeaderBytes;
    const int32_t first = int32_t(ReadBE(stream));
    if (first < 0) {
        headerSize = ReadBE(stream);
        if (first <= kMark) stream->flags |= kStreamBigEndianHandles;
    } else {
        Signal(OffsetStreamPosition(stream, -4));
    }
    Check(headerSize >= kOldHeaderBytes && headerSize % 4 == 0 &&
          headerSize <= uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream)));
    uint32_t words[kHeaderWords] = {};
    const uint32_t keep = std::min(headerSize, kHeaderBytes) / 4;
    for (uint32_t w = 0; w < keep; ++w) words[w] = ReadBE(stream);
    if (headerSize > kHeaderBytes) {
        Signal(OffsetStreamPosition(stream, int32_t(headerSize - kHeaderBytes)));
    }
    const ReadHeader r = CheckHeader(words, first >= 0);
    // Every cluster stores at least its slot count.
    if (int64_t(r.clusters) * 4 > Remaining(stream)) FailureSignal(status::kEndOfFile);

    // The array, its clusters counted in as they are made so that a failure frees just those. A
    // packed array stored without its cluster gets an empty one.
    const bool packedWithout = (r.flags & kDAPacked) && r.clusters == 0;
    const int32_t clusters = packedWithout ? 1 : r.clusters;
    const uint32_t bytes = uint32_t(sizeof(DAHeader) + size_t(clusters) * sizeof(DACluster));
    auto array = reinterpret_cast<DAArray>(AllocHandleClear(pool, bytes));
    if (!array) FailureSignal(status::kOutOfMemory);
    *out = array;
    DAHeader* h = *array;
    h->itemSize = r.itemSize;
    h->stride = r.stride;
    h->count = r.count;
    h->idLimit = r.idLimit;
    h->itemsPerCluster = (r.flags & kDAPacked) ? 0 : r.perCluster;
    h->freeHead = -1;
    h->flags = r.flags;
    h->refCon = r.refCon;
    h->lowFreed = 0x7FFFFFFF;
    h->highFreed = -1;
    h->pool = pool;

    if (r.flags & kDALogicalIds) {
        Handle map = nullptr;
        Signal(StreamReadHandle(stream, pool, &map));
        (*array)->map = map;
        Check(map != nullptr);
        const uint32_t mapBytes = SizeOfHandle(map);
        const uint32_t capacity = mapBytes / 4;
        Check(mapBytes % 4 == 0 && capacity >= 64 && capacity % 64 == 0 &&
              capacity >= uint32_t(r.count));
        if (std::endian::native != std::endian::big) ByteSwapLongArray(*map, mapBytes);
        (*array)->mapCapacity = int32_t(capacity);
    }

    uint64_t unstored = 0;
    for (int32_t c = 0; c < r.clusters; ++c) {
        const int32_t slots = int32_t(ReadBE(stream));
        Check(slots >= 0);
        // Only the last cluster may be short: the array code fills a cluster before the next.
        if (!(r.flags & kDAPacked)) {
            Check(slots <= r.perCluster && (slots == r.perCluster || c == r.clusters - 1));
        }
        const uint64_t used = uint64_t(slots) * r.stride;
        const uint64_t size =
            std::max(used, (r.flags & kDAFixed) ? uint64_t(r.perCluster) * r.stride : 0);
        Check(used <= 0x7FFFFFFF && size <= 0x7FFFFFFF);
        ScanCluster(stream, r, slots, formStart, &unstored);
        Handle data = AllocHandleEx(pool, uint32_t(size), kHandleNoMove);
        if (!data) FailureSignal(status::kOutOfMemory);
        h = *array;
        h->Clusters()[c] = DACluster{0, slots, data, 0};
        h->clusterCount = c + 1;
        da_detail::SetClusterBase(h, c);
        if (size) std::memset(*data, 0, size_t(size));
        ReadCluster(array, c, slots, stream);
    }
    if (packedWithout) {
        Handle data = AllocHandleEx(pool, 0, kHandleNoMove);
        if (!data) FailureSignal(status::kOutOfMemory);
        h = *array;
        h->Clusters()[0] = DACluster{0, 0, data, 0};
        h->clusterCount = 1;
        da_detail::SetClusterBase(h, 0);
    }
    CheckContents(array);

    Signal(DASetDataSize(array, itemSize >= 1 ? itemSize : int32_t(r.itemSize), false));
    DAOptimizeFree(array);
    if (itemProc) DAItemLoop(array, 0, 0, itemProc, uint64_t(uintptr_t(stream)));
}

}  // namespace

OSStatus DAWrite(DAArray array, StreamRecord* stream, DALoopProc itemProc) {
    if (!array || !stream) return status::kParamErr;
    const uint16_t flags = stream->flags;
    stream->flags |= kStreamBigEndianHandles;
    DALockArray(array);
    const OSStatus st = CatchSignals([&] { WriteBody(array, stream, itemProc); });
    DAUnlockArray(array);
    stream->flags = flags;
    return st;
}

OSStatus DAReadEx(MemPool pool, DAArray* array, int32_t itemSize, StreamRecord* stream,
                  DALoopProc itemProc) {
    *array = nullptr;
    if (!stream) return status::kParamErr;
    if (!pool) {
        if (!gCurrentPool) (void)InitMemoryManager(-1);  // without a pool the reads below fail
        pool = gCurrentPool;
    }
    const uint16_t flags = stream->flags;
    DAArray built = nullptr;
    const OSStatus st = CatchSignals([&] { ReadBody(pool, &built, itemSize, stream, itemProc); },
                                     [&] {
                                         DADispose(built);
                                         built = nullptr;
                                     });
    stream->flags = flags;
    *array = built;
    return st;
}

OSStatus DARead(MemPool pool, DAArray* array, StreamRecord* stream, DALoopProc itemProc) {
    return DAReadEx(pool, array, 0, stream, itemProc);
}

}  // namespace plexa
