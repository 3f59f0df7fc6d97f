// String blocks, string specs, string caches and text refs (see stringblock.h for the stored
// form and the limits of a spec).
#include "foundation/stringblock.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"

namespace plexa {

namespace {

constexpr char kHeaderTemplate[] = "L3W";
static_assert(ByteSwapTemplateSize(kHeaderTemplate) <= sizeof(StringBlockHeader));


int32_t gUppercaseCount = 0;
uint16_t gTransferMode = 0;
OSStatus gAddStatus = status::kNoErr;

StringBlockHeader* Header(StringBlock block) { return reinterpret_cast<StringBlockHeader*>(*block); }

uint32_t RoundUp(uint64_t size, uint32_t quantum) {
    return uint32_t((size + quantum - 1) / quantum * quantum);
}

// True when the header of an in-memory block agrees with itself and with its handle.
bool ValidBlock(StringBlock block) {
    if (!block || !*block) return false;
    const uint32_t size = SizeOfHandle(block);
    if (size < kStringBlockHeaderSize) return false;
    const StringBlockHeader* h = Header(block);
    return h->magic == kStringBlockMagic && h->used >= kStringBlockHeaderSize &&
           h->used <= h->allocated && h->allocated <= size &&
           h->quantum >= kStringBlockMinQuantum;
}

// The bytes of a spec inside a valid block, null for spec 0 or a spec outside the used bytes.
const char* ResolveSpec(StringSpec spec, StringBlock block, uint32_t* length) {
    *length = 0;
    if (spec == 0 || !ValidBlock(block)) return nullptr;
    const uint32_t offset = StringSpecOffset(spec);
    const uint32_t n = StringSpecLength(spec);
    if (offset < kStringBlockHeaderSize || offset + n > Header(block)->used) return nullptr;
    *length = n;
    return *block + offset;
}

// Makes room for `length` more bytes after the used size; false (and the add status) when the
// block cannot grow.
//
// The handle grows by a quarter of its size at least, so that adding string after string moves
// the bytes a logarithmic number of times; the header's allocated size stays the quantum
// multiple that covers what is used, as the stored header has it.
bool EnsureRoom(StringBlock block, uint32_t length) {
    const uint64_t needed = uint64_t(Header(block)->used) + length;
    if (needed <= Header(block)->allocated) return true;
    const uint32_t quantum = Header(block)->quantum;
    if (needed > kStringBlockMaxAllocated) {
        gAddStatus = status::kOutOfMemory;
        return false;
    }
    const uint32_t allocated = RoundUp(needed, quantum);
    const uint32_t have = SizeOfHandle(block);
    if (allocated > have) {
        const uint64_t grown = std::min<uint64_t>(RoundUp(std::max<uint64_t>(allocated, have + have / 4), quantum),
                                                  kStringBlockMaxAllocated);
        if (!ResizeHandle(block, uint32_t(std::max<uint64_t>(grown, allocated)))) {
            gAddStatus = status::kOutOfMemory;
            return false;
        }
    }
    StringBlockHeader* h = Header(block);
    std::memset(*block + h->used, 0, allocated - h->used);
    h->allocated = allocated;
    return true;
}

// Adds a string that starts at `offset` of the block, of which the first `shared` bytes are
// already the block's last bytes; returns its spec or 0.
StringSpec PlaceString(StringBlock block, const char* bytes, uint32_t length, uint32_t offset,
                       uint32_t shared, StringRef* out) {
    if (offset >= kStringBlockOffsetLimit) {
        gAddStatus = status::kStringBlockFull;
        return 0;
    }
    const uint32_t added = length - shared;
    if (added > 0) {
        if (!EnsureRoom(block, added)) return 0;
        StringBlockHeader* h = Header(block);
        std::memcpy(*block + h->used, bytes + shared, added);
        h->used += added;
    }
    const StringSpec spec = (offset << 10) | length;
    if (out) *out = StringRef{block, spec};
    return spec;
}

// Where the bytes to add may lie inside the block itself, they are copied out first, since the
// block may move while it grows.
struct AddSource {
    char copy[kStringSpecMaxLength];
    const char* bytes;
    uint32_t length;
};

// Sets up an add: checks the block, settles the length and copies bytes out of the block. False
// when nothing is to be added (empty string or a bad block; the add status tells which).
bool PrepareAdd(StringBlock block, const void* bytes, uint64_t length, AddSource& source,
                StringRef* out) {
    gAddStatus = status::kNoErr;
    if (out) *out = StringRef{block, 0};
    if (!ValidBlock(block) || (!bytes && length != 0)) {
        gAddStatus = status::kParamErr;
        return false;
    }
    const char* p = static_cast<const char*>(bytes);
    source.length = ClampStringSpecLength(p, uint32_t(std::min<uint64_t>(length, 0xFFFFFFFF)));
    source.bytes = p;
    if (source.length == 0) return false;
    const auto start = reinterpret_cast<uintptr_t>(p);
    const auto data = reinterpret_cast<uintptr_t>(*block);
    if (start + source.length > data && start < data + SizeOfHandle(block)) {
        std::memcpy(source.copy, p, source.length);
        source.bytes = source.copy;
    }
    return true;
}

StringSpec Append(StringBlock block, const void* bytes, uint64_t length, StringRef* out) {
    AddSource source;
    if (!PrepareAdd(block, bytes, length, source, out)) return 0;
    return PlaceString(block, source.bytes, source.length, Header(block)->used, 0, out);
}

// ---- The overlay index ----
//
// An overlay add looks for its string in all the packed bytes of the block, so filling a large
// block one string at a time would cost the square of its size. Blocks above kIndexFrom bytes get
// an index of the positions of their 4-byte grams, kept beside the block (keyed by its handle)
// and brought up to date with the bytes appended since the last add. A search walks the positions
// of the rarest gram of the string in ascending order and compares the bytes there, so it finds
// the same first occurrence as a scan. The index only ever learns appended bytes: a block that is
// emptied, shrunk, read into or freed drops its index, and an index whose first or last indexed
// bytes no longer agree with the block is built again.
constexpr uint32_t kIndexFrom = 2048;
constexpr uint32_t kGram = 4;
constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
constexpr uint32_t kCheckBytes = 16;
constexpr size_t kMostIndexes = 64;

struct OverlayIndex {
    uint32_t bits = 0;     // of the bucket count, which grows with the block (the index is then built anew)
    uint32_t indexed = 0;  // packed bytes whose grams are indexed (every gram that fits in them)
    uint64_t check = 0;    // of the first and the last kCheckBytes of those bytes
    std::vector<uint32_t> head, tail, count;  // per bucket: first and last position, positions
    std::vector<uint32_t> next;               // per position: the next one of its bucket
};

std::unordered_map<StringBlock, OverlayIndex>& Indexes() {
    static std::unordered_map<StringBlock, OverlayIndex> indexes;
    return indexes;
}

void ForgetIndex(StringBlock block) {
    if (!Indexes().empty()) Indexes().erase(block);
}

uint32_t Bucket(const OverlayIndex& index, const unsigned char* gram) {
    uint32_t value;
    std::memcpy(&value, gram, kGram);
    return (value * 2654435761u) >> (32 - index.bits);
}

// Bucket bits for a block of this many packed bytes: about one bucket for every 4 bytes.
uint32_t BucketBits(uint32_t packed) {
    uint32_t bits = 10;
    while (bits < 20 && (uint32_t(1) << (bits + 2)) < packed) ++bits;
    return bits;
}

uint64_t CheckOf(const unsigned char* text, uint32_t length) {
    const uint32_t n = std::min(length, kCheckBytes);
    uint64_t hash = 1469598103934665603ull ^ length;
    for (uint32_t i = 0; i < n; ++i) hash = (hash ^ text[i]) * 1099511628211ull;
    for (uint32_t i = length - n; i < length; ++i) hash = (hash ^ text[i]) * 1099511628211ull;
    return hash;
}

// The index of the block's packed bytes, brought up to date.
OverlayIndex& IndexOf(StringBlock block, const unsigned char* text, uint32_t packed) {
    auto& indexes = Indexes();
    if (indexes.size() >= kMostIndexes && !indexes.count(block)) indexes.clear();
    OverlayIndex& index = indexes[block];
    if (index.indexed > packed || (index.indexed && index.check != CheckOf(text, index.indexed)) ||
        BucketBits(packed) > index.bits + 1) {
        index = OverlayIndex{};
    }
    if (index.head.empty()) {
        index.bits = BucketBits(packed) + 1;
        index.head.assign(size_t(1) << index.bits, kNoPosition);
        index.tail.assign(size_t(1) << index.bits, kNoPosition);
        index.count.assign(size_t(1) << index.bits, 0);
    }
    // Grams that now fit: those starting from indexed - 3 (they ended past the old end).
    const uint32_t from = index.indexed >= kGram - 1 ? index.indexed - (kGram - 1) : 0;
    if (packed >= kGram) {
        index.next.resize(packed - (kGram - 1), kNoPosition);
        for (uint32_t p = from; p + kGram <= packed; ++p) {
            const uint32_t b = Bucket(index, text + p);
            if (index.tail[b] == kNoPosition) {
                index.head[b] = p;
            } else {
                index.next[index.tail[b]] = p;
            }
            index.tail[b] = p;
            ++index.count[b];
        }
    }
    index.indexed = packed;
    index.check = CheckOf(text, packed);
    return index;
}

// The first offset of the pattern in the packed bytes, -1 when none: as QMemSearch finds it.
int32_t IndexedSearch(StringBlock block, const unsigned char* pattern, uint32_t length, uint32_t packed) {
    const auto* text = reinterpret_cast<const unsigned char*>(*block + kStringBlockHeaderSize);
    OverlayIndex& index = IndexOf(block, text, packed);
    if (length > packed) return -1;
    uint32_t best = 0, fewest = kNoPosition;
    for (uint32_t j = 0; j + kGram <= length; ++j) {
        const uint32_t n = index.count[Bucket(index, pattern + j)];
        if (n < fewest) {
            fewest = n;
            best = j;
        }
    }
    // A pattern made of common grams is as quick to find by a scan.
    if (fewest > packed / 16) return QMemSearch(pattern, length, text, packed);
    for (uint32_t p = index.head[Bucket(index, pattern + best)]; p != kNoPosition; p = index.next[p]) {
        if (p < best) continue;
        const uint32_t start = p - best;
        if (uint64_t(start) + length > packed) break;
        if (std::memcmp(text + start, pattern, length) == 0) return int32_t(start);
    }
    return -1;
}

// Where an overlay add puts a string: as QMemFindOverlayPos, through the index on large blocks.
uint32_t OverlayPosition(StringBlock block, const char* bytes, uint32_t length, uint32_t packed, bool* full) {
    const char* text = *block + kStringBlockHeaderSize;
    if (packed < kIndexFrom || length < kGram) return QMemFindOverlayPos(bytes, length, text, packed, full);
    const int32_t found = IndexedSearch(block, reinterpret_cast<const unsigned char*>(bytes), length, packed);
    if (found >= 0) {
        *full = true;
        return uint32_t(found);
    }
    // Not whole anywhere: only a head of it may end the block, within its last length - 1 bytes.
    const uint32_t tail = length - 1;
    bool whole = false;
    const uint32_t at = QMemFindOverlayPos(bytes, length, text + packed - tail, tail, &whole);
    *full = false;
    return packed - tail + at;
}

StringSpec Overlay(StringBlock block, const void* bytes, uint64_t length, StringRef* out) {
    AddSource source;
    if (!PrepareAdd(block, bytes, length, source, out)) return 0;
    const uint32_t packed = Header(block)->used - kStringBlockHeaderSize;
    if (packed == 0) return PlaceString(block, source.bytes, source.length, kStringBlockHeaderSize, 0, out);
    bool full = false;
    const uint32_t at = OverlayPosition(block, source.bytes, source.length, packed, &full);
    const uint32_t shared = full ? source.length : packed - at;
    return PlaceString(block, source.bytes, source.length, at + kStringBlockHeaderSize, shared, out);
}

StringSpec* Specs(StringCache* cache) {
    return reinterpret_cast<StringSpec*>(reinterpret_cast<char*>(cache) + offsetof(StringCache, specs));
}

void UpperCase(char* bytes, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        if (bytes[i] >= 'a' && bytes[i] <= 'z') bytes[i] = char(bytes[i] - 'a' + 'A');
}

}  // namespace

// ---- Blocks ----

StringBlock CreateStringBlock(MemPool pool, int32_t quantum) {
    uint32_t q = uint32_t(quantum) & 0xFFFF;
    if (quantum < int32_t(kStringBlockMinQuantum) || q < kStringBlockMinQuantum) q = kStringBlockMinQuantum;
    StringBlock block = AllocHandleClear(pool, q);
    if (!block) return nullptr;
    ForgetIndex(block);
    *Header(block) = StringBlockHeader{kStringBlockMagic, q, kStringBlockHeaderSize, uint16_t(q), 0};
    return block;
}

void EmptyStringBlock(StringBlock block, bool shrink) {
    if (!ValidBlock(block)) return;
    ForgetIndex(block);
    Header(block)->used = kStringBlockHeaderSize;
    if (!shrink || !ResizeStringBlock(block, Header(block)->quantum)) {
        StringBlockHeader* h = Header(block);
        std::memset(*block + kStringBlockHeaderSize, 0, h->allocated - kStringBlockHeaderSize);
    }
}

void DestroyStringBlock(StringBlock block) {
    if (!block) return;
    ForgetIndex(block);
    MemFree(block);
}

bool ResizeStringBlock(StringBlock block, uint32_t size) {
    if (!ValidBlock(block)) return false;
    const uint32_t quantum = Header(block)->quantum;
    if (size < kStringBlockHeaderSize) size = kStringBlockHeaderSize;
    if (size > kStringBlockMaxAllocated) return false;
    const uint32_t allocated = RoundUp(size, quantum);
    if (allocated != SizeOfHandle(block) && !ResizeHandle(block, allocated)) return false;
    StringBlockHeader* h = Header(block);
    h->allocated = allocated;
    if (h->used > allocated) {
        h->used = allocated;
        ForgetIndex(block);
    }
    std::memset(*block + h->used, 0, allocated - h->used);
    return true;
}

OSStatus StringBlockAddStatus() { return gAddStatus; }

uint32_t ClampStringSpecLength(const char* bytes, uint32_t length) {
    if (length <= kStringSpecMaxLength) return length;
    // Cut through the shared UTF-8 truncation on a terminated copy of the first 1024 bytes, which
    // is enough to see whether the character at the limit is whole.
    char head[kStringSpecMaxLength + 2];
    std::memcpy(head, bytes, kStringSpecMaxLength + 1);
    head[kStringSpecMaxLength + 1] = 0;
    for (uint32_t i = 0; i <= kStringSpecMaxLength; ++i)
        if (head[i] == 0) head[i] = 1;  // an embedded NUL is not a boundary
    TruncateUTF8ForByteSize(head, kStringSpecMaxLength + 1);
    return uint32_t(std::strlen(head));
}

StringSpec AppendStringBlock(StringBlock block, const void* bytes, uint32_t length, StringRef* out) {
    uint64_t n = length;
    if ((length & 0xFFFF) == 0xFFFF) n = bytes ? std::strlen(static_cast<const char*>(bytes)) : 0;
    return Append(block, bytes, n, out);
}

StringSpec AppendStringBlockP(StringBlock block, const unsigned char* string, StringRef* out) {
    return Append(block, string ? string + 1 : nullptr, string ? string[0] : 0, out);
}

StringSpec OverlayStringBlock(StringBlock block, const void* bytes, int32_t length, StringRef* out) {
    uint64_t n = uint32_t(length);
    if (length < 0 || (length & 0xFFFF) == 0xFFFF) n = bytes ? std::strlen(static_cast<const char*>(bytes)) : 0;
    return Overlay(block, bytes, n, out);
}

StringSpec OverlayStringBlockP(StringBlock block, const unsigned char* string, StringRef* out) {
    return Overlay(block, string ? string + 1 : nullptr, string ? string[0] : 0, out);
}

int16_t ExtractStringSpec(StringSpec spec, StringBlock block, char* buffer, int32_t size) {
    if (!buffer || size < 1) return 0;
    uint32_t length = 0;
    const char* p = ResolveSpec(spec, block, &length);
    if (length > uint32_t(size - 1)) length = uint32_t(size - 1);
    if (p) std::memcpy(buffer, p, length);
    buffer[length] = 0;
    if (gUppercaseCount != 0) UpperCase(buffer, length);
    return int16_t(length);
}

int16_t ExtractStringSpecP(StringSpec spec, StringBlock block, unsigned char* buffer, int32_t size) {
    if (!buffer || size < 1) return 0;
    uint32_t length = 0;
    const char* p = ResolveSpec(spec, block, &length);
    length = std::min({length, uint32_t(size - 1), uint32_t(255)});
    if (p) std::memcpy(buffer + 1, p, length);
    buffer[0] = uint8_t(length);
    if (gUppercaseCount != 0) UpperCase(reinterpret_cast<char*>(buffer + 1), length);
    return int16_t(length);
}

void UppercaseStringExtraction(bool on) {
    if (on)
        ++gUppercaseCount;
    else if (gUppercaseCount > 0)
        --gUppercaseCount;
}

uint16_t GetStringTransferMode() { return gTransferMode; }

uint16_t SetStringTransferMode(uint16_t mode) {
    const uint16_t old = gTransferMode;
    gTransferMode = mode;
    return old;
}

bool RecodeForStringTransfer(char* buffer, uint32_t size) {
    if (gTransferMode == kStringTransferRecodeIfNeeded) {
        return RecodeFromMacRomanIfNeeded(buffer, size, kEncodingUTF8);
    }
    if (gTransferMode == kStringTransferRecodeAlways) {
        RecodeString(buffer, size, kEncodingMacRoman, kEncodingUTF8);
        return true;
    }
    return false;
}

StringSpec TransferStringSpec(StringSpec spec, StringBlock from, StringBlock to, bool overlay) {
    gAddStatus = status::kNoErr;
    if (spec == 0 || from == to) return spec;
    char buffer[kStringTransferBufferSize];
    uint32_t length = uint32_t(ExtractStringSpec(spec, from, buffer, kStringSpecBufferSize));
    if (length == 0) return 0;
    if (RecodeForStringTransfer(buffer, sizeof buffer)) length = uint32_t(std::strlen(buffer));
    return overlay ? Overlay(to, buffer, length, nullptr) : Append(to, buffer, length, nullptr);
}

int32_t CompareStringRefs(const StringRef* a, const StringRef* b, bool sameBlockUnequal) {
    if (a->block == b->block) {
        if (a->spec == b->spec) return 0;
        if (sameBlockUnequal) return 1;
    }
    char x[kStringSpecBufferSize], y[kStringSpecBufferSize];
    const uint32_t nx = uint32_t(ExtractStringSpec(a->spec, a->block, x, kStringSpecBufferSize));
    const uint32_t ny = uint32_t(ExtractStringSpec(b->spec, b->block, y, kStringSpecBufferSize));
    const int c = std::memcmp(x, y, std::min(nx, ny));
    if (c != 0) return c < 0 ? -1 : 1;
    return nx < ny ? -1 : nx > ny ? 1 : 0;
}

OSStatus WriteStringBlock(StreamRecord* stream, StringBlock block) {
    if (!ValidBlock(block)) return status::kParamErr;
    return StreamWrite(stream, *block, int32_t(Header(block)->used));
}

OSStatus ReadStringBlockEx(StreamRecord* stream, MemPool pool, StringBlock* block) {
    StringBlockHeader h{};
    int32_t count = sizeof h;
    OSStatus err = StreamRead(stream, &h, &count);
    if (err != status::kNoErr) return err;
    if (h.magic != kStringBlockMagic) {
        if (ByteSwapLong(&h.magic) != kStringBlockMagic) return status::kParamErr;
        ByteSwapLong(&h.magic);
        ByteSwapStringBlockHeader(&h);
    }
    if (h.used < kStringBlockHeaderSize || h.used > h.allocated || h.allocated > kStringBlockMaxAllocated ||
        h.quantum < kStringBlockMinQuantum)
        return status::kParamErr;
    const uint32_t bytes = h.used - kStringBlockHeaderSize;
    if (int64_t(bytes) > int64_t(GetStreamEnd(stream)) - GetStreamPosition(stream)) {
        (void)OffsetStreamPosition(stream, GetStreamEnd(stream) - GetStreamPosition(stream));  // skips to the end: the short block is reported
        return status::kEndOfFile;
    }

    // The bytes go into a new block first: a given block is taken over only once they are all
    // read, so that a failed read leaves it as it was.
    StringBlock read = AllocHandleClear(pool, *block ? bytes + kStringBlockHeaderSize : h.allocated);
    if (!read) return status::kOutOfMemory;
    count = int32_t(bytes);
    err = StreamRead(stream, *read + kStringBlockHeaderSize, &count);
    if (err != status::kNoErr) {
        MemFree(read);
        return err;
    }
    h.zero = 0;
    if (!*block) {
        *Header(read) = h;
        *block = read;
        return status::kNoErr;
    }
    StringBlock target = *block;
    const uint32_t have = SizeOfHandle(target);
    if (have < h.allocated && !ResizeHandle(target, h.allocated)) {
        MemFree(read);
        return status::kOutOfMemory;
    }
    h.allocated = std::max(have, h.allocated);
    std::memcpy(*target + kStringBlockHeaderSize, *read + kStringBlockHeaderSize, bytes);
    std::memset(*target + h.used, 0, h.allocated - h.used);
    *Header(target) = h;
    ForgetIndex(target);
    MemFree(read);
    return status::kNoErr;
}

OSStatus ReadStringBlock(StreamRecord* stream, MemPool pool, StringBlock* block) {
    *block = nullptr;
    return ReadStringBlockEx(stream, pool, block);
}

void ByteSwapStringBlockHeader(StringBlockHeader* header) { ByteSwapTemplate(header, kHeaderTemplate); }

bool AdoptStoredStringBlock(StringBlock block) {
    if (!block || !*block) return false;
    const uint32_t size = SizeOfHandle(block);
    if (size < kStringBlockHeaderSize) return false;
    auto* header = Header(block);
    if (header->magic != kStringBlockMagic) {
        ByteSwapStringBlockHeader(header);
        if (header->magic != kStringBlockMagic) return false;
    }
    if (header->used < kStringBlockHeaderSize || header->used > size ||
        header->quantum < kStringBlockMinQuantum || size > kStringBlockMaxAllocated)
        return false;
    ForgetIndex(block);
    header->allocated = size;
    header->zero = 0;
    std::memset(*block + header->used, 0, size - header->used);
    return true;
}

// ---- Plain strings ----

uint32_t VXGetStringLength(const void* string, uint32_t encoding) {
    if (!string) return 0;
    if (encoding != kEncodingUTF16LE) return uint32_t(std::strlen(static_cast<const char*>(string)));
    const auto* p = static_cast<const unsigned char*>(string);
    uint32_t n = 0;
    while (p[2 * n] != 0 || p[2 * n + 1] != 0) ++n;
    return n;
}

Ptr AllocateString(const char* string) {
    if (!string) return nullptr;
    return AllocPtrWithData(gGenPool, string, uint32_t(std::strlen(string)) + 1);
}

int32_t ExtractStringFromHandle(Handle handle, uint32_t offset, int32_t max, char* buffer) {
    if (!buffer) return 0;
    const uint32_t size = handle ? SizeOfHandle(handle) : 0;
    uint32_t n = offset < size ? size - offset : 0;
    if (max < 0) max = 0;
    if (n > uint32_t(max)) n = uint32_t(max);
    if (n > 0) std::memcpy(buffer, *handle + offset, n);
    buffer[n] = 0;
    return int32_t(n);
}

// ---- Text refs ----

void StringSpecToTextRef(StringSpec spec, TextRef* ref, uint32_t base) {
    ref->offset = StringSpecOffset(spec) + base;
    ref->length = uint16_t(StringSpecLength(spec));
}

StringSpec TextRefToStringSpec(const TextRef* ref, uint32_t base) {
    const uint32_t offset = ref->offset + base;
    if (offset >= kStringBlockOffsetLimit) return 0;
    return (offset << 10) | (ref->length & 1023u);
}

void ByteSwapTextRef(TextRef* ref) { ByteSwapTemplate(ref, "LW"); }

// ---- String cache ----

StringCache* CreateStringCache(int32_t slots, int32_t quantum, bool overlay) {
    uint32_t count = 16;
    if (slots > 1024) {
        count = 1024;
    } else if (slots >= 2) {
        count = 1;
        while (count * 2 <= uint32_t(slots)) count *= 2;
    }
    const uint32_t size = uint32_t(offsetof(StringCache, specs) + count * sizeof(StringSpec));
    auto* cache = reinterpret_cast<StringCache*>(AllocPtrClear(gGenPool, size));
    if (!cache) return nullptr;
    cache->block = CreateStringBlock(gGenPool, quantum);
    if (!cache->block) {
        MemFreePtr(cache);
        return nullptr;
    }
    cache->quantum = Header(cache->block)->quantum;
    cache->slotCount = uint16_t(count);
    cache->overlay = overlay ? 1 : 0;
    return cache;
}

int32_t AddStringToCache(StringCache* cache, const char* string) {
    const int32_t slot = cache->nextSlot;
    Specs(cache)[slot] = cache->overlay ? OverlayStringBlock(cache->block, string, -1, nullptr)
                                        : AppendStringBlock(cache->block, string, 0xFFFF, nullptr);
    cache->nextSlot = uint16_t((slot + 1) & (cache->slotCount - 1));
    if (cache->nextSlot != 0) return slot;
    if (!cache->wrapped) {
        cache->wrapped = 1;
        return slot;
    }
    // Move the strings of this round into a fresh block; keep the old one when that fails.
    StringBlock fresh = CreateStringBlock(gGenPool, cache->quantum);
    if (!fresh) return slot;
    StringSpec* moved = reinterpret_cast<StringSpec*>(AllocPtr(gGenPool, cache->slotCount * sizeof(StringSpec)));
    bool ok = moved != nullptr;
    for (uint32_t i = 0; ok && i < cache->slotCount; ++i) {
        moved[i] = TransferStringSpec(Specs(cache)[i], cache->block, fresh, cache->overlay != 0);
        ok = StringBlockAddStatus() == status::kNoErr;
    }
    if (ok) {
        std::memcpy(Specs(cache), moved, cache->slotCount * sizeof(StringSpec));
        DestroyStringBlock(cache->block);
        cache->block = fresh;
    } else {
        DestroyStringBlock(fresh);
    }
    if (moved) MemFreePtr(moved);
    return slot;
}

char* GetStringCacheString(StringCache* cache, int32_t slot, char* buffer, int32_t size) {
    const StringSpec spec = slot >= 0 && slot < cache->slotCount ? Specs(cache)[slot] : 0;
    ExtractStringSpec(spec, cache->block, buffer, size);
    return buffer;
}

void DestroyStringCache(StringCache* cache) {
    if (!cache) return;
    DestroyStringBlock(cache->block);
    MemFreePtr(cache);
}

}  // namespace plexa
