// The memory layer over the pooled heap: the current pool, pointers with a slack byte, handles
// with a true size 0, handle editing, signalling allocation, search and compression.
//
// Pointer layout: a heap block of at least size + 1 bytes whose last byte (at usable size - 1)
// holds the slack, usable size minus requested size (1 to 255). A slack above 255 (a block the
// heap did not split) is stored as 0 in the last byte and the u32 slack in the 4 bytes before it.
//
// Empty handle: a 16-byte block whose first 8 bytes hold the handle's own address and whose
// bytes 8 to 11 hold "0rEz". A fresh 16-byte handle that is not zero-filled starts with 16 bytes
// 0xEB, so that no real content starts as the marker by accident.
#include "foundation/memory.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/signals.h"

namespace plexa {

MemPool gGenPool = nullptr;
MemPool gCurrentPool = nullptr;

namespace {

constexpr uint32_t kGenPoolPageSize = 0x10000;
constexpr int32_t kDefaultHandleCount = 1024;
constexpr uint32_t kEmptyHandleSize = 16;
constexpr char kEmptyTag[4] = {'0', 'r', 'E', 'z'};
constexpr unsigned char kFreshFill = 0xEB;
static_assert(sizeof(Handle) == 8, "the empty-handle marker holds an 8-byte address");

// Bounds of the uncompressed size that ExpandDataBytes accepts: a fixed ceiling, and what deflate
// can produce at most from the given input (1032 bytes out per byte in).
constexpr uint32_t kMaxExpandedSize = 256u << 20;
constexpr uint64_t kMaxDeflateRatio = 1032;

MemPool PoolOrCurrent(MemPool pool) {
    if (pool) return pool;
    if (!gCurrentPool) (void)InitMemoryManager(-1);  // without it the allocation below fails
    return gCurrentPool;
}

void WriteSlack(Ptr pointer, uint32_t size) {
    const uint32_t usable = MemSizePtr(pointer);
    const uint32_t slack = usable - size;
    if (slack <= 255) {
        pointer[usable - 1] = char(slack);
    } else {
        pointer[usable - 1] = 0;
        std::memcpy(pointer + usable - 5, &slack, 4);
    }
}

void MarkEmpty(Handle handle) {
    Ptr data = *handle;
    std::memcpy(data, &handle, sizeof handle);
    std::memcpy(data + 8, kEmptyTag, sizeof kEmptyTag);
}

// The data of a handle of the empty size holds the empty mark.
bool HoldsEmptyMark(Handle handle) {
    const char* data = *handle;
    Handle self;
    std::memcpy(&self, data, sizeof self);
    return self == handle && std::memcmp(data + 8, kEmptyTag, sizeof kEmptyTag) == 0;
}

bool IsEmpty(Handle handle) { return MemSizeRequested(handle) == kEmptyHandleSize && HoldsEmptyMark(handle); }

// Bytes that are about to be copied into a handle may lie in the handle itself, whose data moves
// when it is resized: such a source is copied aside first.
const void* StableSource(Handle handle, const void* source, size_t length,
                         std::vector<char>& aside) {
    if (!source || source == kMungeZeros || length == 0) return source;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(*handle);
    const uintptr_t end = begin + std::max(MemSize(handle), SizeOfHandle(handle));
    const uintptr_t from = reinterpret_cast<uintptr_t>(source);
    if (from >= end || from + length <= begin) return source;
    const char* bytes = static_cast<const char*>(source);
    aside.assign(bytes, bytes + length);
    return aside.data();
}

void CopyOrZero(char* to, const void* source, size_t length) {
    if (length == 0) return;
    if (source && source != kMungeZeros) {
        std::memcpy(to, source, length);
    } else {
        std::memset(to, 0, length);
    }
}

}  // namespace

int32_t DefaultMemErrorHandler(MemErrorRecord*) {
    return 0;
}

OSStatus InitMemoryManager(int32_t handleCount) {
    MemSetErrorHandler(DefaultMemErrorHandler);
    MemPool pool = MemDefaultPool();
    if (!pool) pool = MemInitDefaultPool();
    if (!pool) return status::kOutOfMemory;
    if (gGenPool != pool) {
        gGenPool = pool;
        gCurrentPool = pool;
        MemPoolSetPageSize(pool, kGenPoolPageSize);
        const int32_t count = handleCount < 0 ? kDefaultHandleCount : handleCount;
        if (count > 0) MemPoolPreAllocateHandles(pool, uint32_t(count));
    }
    return status::kNoErr;
}

MemPool CreatePool(uint32_t pageSize) {
    if (!gGenPool) (void)InitMemoryManager(-1);  // without it the pool below is not made
    MemPool pool = MemPoolInit(kMemPoolStandardFlags);
    if (pool) MemPoolSetPageSize(pool, pageSize);
    return pool;
}

OSStatus InitFixedBlockPool(MemPool* pool, uint32_t pageSize, uint32_t blockSize) {
    if (*pool) return status::kNoErr;
    MemPool made = CreatePool(pageSize);
    if (!made) return status::kOutOfMemory;
    if (!MemPoolSetBlockSizeFS(made, blockSize)) {
        (void)MemPoolFree(made);  // the pool was never handed out
        return status::kOutOfMemory;
    }
    *pool = made;
    return status::kNoErr;
}

MemPool GetPtrPool(const void* pointer) {
    if (!pointer) return nullptr;
    MemPoolInfoRecord info{};
    return MemPoolInfo(nullptr, pointer, &info) ? info.pool : nullptr;
}

// ---- Fixed-size blocks ----

Ptr AllocFSPtr(MemPool pool) {
    return MemAllocFS(PoolOrCurrent(pool));
}

Ptr AllocFSPtrClear(MemPool pool) {
    Ptr p = AllocFSPtr(pool);
    if (p) std::memset(p, 0, MemSizePtr(p));
    return p;
}

Ptr AllocFSPtrWithData(MemPool pool, const void* source) {
    Ptr p = AllocFSPtr(pool);
    if (p && source) std::memcpy(p, source, MemSizePtr(p));
    return p;
}

Ptr CloneFSPtr(MemPool pool, const void* source) {
    return AllocFSPtrWithData(pool, source);
}

// ---- Pointers ----

Ptr AllocPtr(MemPool pool, uint32_t size) {
    if (size == UINT32_MAX) return nullptr;
    Ptr p = MemAllocPtr(PoolOrCurrent(pool), size + 1, 0);
    if (p) WriteSlack(p, size);
    return p;
}

Ptr AllocPtrClear(MemPool pool, uint32_t size) {
    if (size == UINT32_MAX) return nullptr;
    Ptr p = MemAllocPtr(PoolOrCurrent(pool), size + 1, kMemZeroFill);
    if (p) WriteSlack(p, size);
    return p;
}

Ptr AllocPtrWithData(MemPool pool, const void* source, uint32_t size) {
    Ptr p = AllocPtr(pool, size);
    if (p) CopyOrZero(p, source, size);
    return p;
}

bool ResizePtr(Ptr* pointer, uint32_t size) {
    if (!pointer || !*pointer || size == UINT32_MAX) return false;
    Ptr p = MemReAllocPtr(*pointer, size + 1, 0);
    if (!p) return false;
    WriteSlack(p, size);
    *pointer = p;
    return true;
}

uint32_t SizeOfPtr(const void* pointer) {
    if (!pointer) return 0;
    const uint32_t usable = MemSizePtr(pointer);
    if (usable == UINT32_MAX || usable == 0) return 0;
    const unsigned char* p = static_cast<const unsigned char*>(pointer);
    uint32_t slack = p[usable - 1];
    if (slack == 0) {
        if (usable < 5) return 0;
        std::memcpy(&slack, p + usable - 5, 4);
    }
    return slack <= usable ? usable - slack : 0;
}

Ptr ClonePtr(MemPool pool, const void* pointer) {
    const uint32_t size = SizeOfPtr(pointer);
    return size ? AllocPtrWithData(pool, pointer, size) : nullptr;
}

// ---- Handles ----

Handle AllocHandleEx(MemPool pool, uint32_t size, uint32_t flags) {
    const uint32_t heapFlags = ((flags >> 2) & 3) ^ kMemRelocatable;
    Handle h = MemAlloc(PoolOrCurrent(pool), heapFlags, size ? size : kEmptyHandleSize);
    if (!h) return nullptr;
    if (size == 0) {
        MarkEmpty(h);
    } else if (size == kEmptyHandleSize) {
        std::memset(*h, (heapFlags & kMemZeroFill) ? 0 : kFreshFill, kEmptyHandleSize);
    }
    return h;
}

Handle AllocHandle(MemPool pool, uint32_t size) {
    return AllocHandleEx(pool, size, kHandlePlain);
}

Handle AllocHandleClear(MemPool pool, uint32_t size) {
    return AllocHandleEx(pool, size, kHandleClear);
}

Handle AllocHandleWithData(MemPool pool, const void* source, uint32_t size) {
    Handle h = AllocHandle(pool, size);
    if (h) CopyOrZero(*h, source, size);
    return h;
}

Handle CloneHandle(MemPool pool, Handle handle) {
    if (!handle) return nullptr;
    const uint32_t size = SizeOfHandle(handle);
    Handle h = AllocHandle(pool, size);
    if (h) CopyOrZero(*h, *handle, size);
    return h;
}

uint32_t SizeOfHandle(Handle handle) {
    if (!handle) return 0;
    // The size is looked up once: the look-up validates the handle, which is not free.
    const uint32_t size = MemSizeRequested(handle);
    return size == kEmptyHandleSize && HoldsEmptyMark(handle) ? 0 : size;
}

bool ResizeHandleEx(Handle handle, uint32_t size, uint32_t flags) {
    if (!handle) return false;
    const bool wasEmpty = IsEmpty(handle);
    if (!MemReAlloc(handle, size ? size : kEmptyHandleSize, flags)) return false;
    if (size == 0) {
        MarkEmpty(handle);
    } else if (wasEmpty) {
        std::memset(*handle, kFreshFill, std::min(size, kEmptyHandleSize));
    }
    return true;
}

bool ResizeHandle(Handle handle, uint32_t size) {
    return ResizeHandleEx(handle, size, kMemMoveLocked);
}

bool SetHandleContent(Handle handle, const void* source, uint32_t size) {
    std::vector<char> aside;
    if (handle) source = StableSource(handle, source, size, aside);
    if (!ResizeHandle(handle, size)) return false;
    CopyOrZero(*handle, source, size);
    return true;
}

bool AppendHandle(Handle handle, const void* source, uint32_t size) {
    if (size == 0) return true;
    if (!handle) return false;
    const uint32_t old = SizeOfHandle(handle);
    if (size > UINT32_MAX - old) return false;
    std::vector<char> aside;
    source = StableSource(handle, source, size, aside);
    if (!ResizeHandle(handle, old + size)) return false;
    CopyOrZero(*handle + old, source, size);
    return true;
}

int32_t MungeHandle(Handle handle, int32_t offset, const void* pattern, int32_t length,
                    const void* replacement, int32_t replacementLength) {
    if (!handle) return kMungeNotFound;
    const int64_t size = SizeOfHandle(handle);
    if (offset < 0 || offset > size) return kMungeNotFound;
    int64_t position = offset;
    int64_t span = 0;
    if (length != 0) {
        const int64_t len = length < 0 ? size - offset : length;
        if (len > size - offset) return kMungeNotFound;
        if (pattern) {
            const int32_t found = QMemSearch(pattern, uint32_t(len), *handle + offset,
                                             uint32_t(size - offset));
            if (found < 0) return kMungeNotFound;
            position += found;
        }
        span = len;
    }
    if (!replacement) return int32_t(position);
    if (replacementLength < 0) return kMungeNotFound;
    const int64_t newSize = size - span + replacementLength;
    if (newSize > INT32_MAX) return kMungeGrowFailed;
    std::vector<char> aside;
    replacement = StableSource(handle, replacement, size_t(replacementLength), aside);
    const int64_t tail = size - position - span;
    if (replacementLength < span) {
        // The tail moves down first; should the shrink itself fail (a block that must move to
        // get smaller), the bytes it covered are put back and nothing has changed.
        char* gap = *handle + position + replacementLength;
        const size_t removed = size_t(span - replacementLength);
        std::vector<char> covered(gap, gap + std::min<size_t>(removed, size_t(tail)));
        std::memmove(gap, gap + removed, size_t(tail));
        if (!ResizeHandle(handle, uint32_t(newSize))) {
            gap = *handle + position + replacementLength;
            std::memmove(gap + removed, gap, size_t(tail));
            std::memcpy(gap, covered.data(), covered.size());
            return kMungeGrowFailed;
        }
    } else if (replacementLength > span) {
        if (!ResizeHandle(handle, uint32_t(newSize))) return kMungeGrowFailed;
        std::memmove(*handle + position + replacementLength, *handle + position + span,
                     size_t(tail));
    }
    CopyOrZero(*handle + position, replacement, size_t(replacementLength));
    return int32_t(position + replacementLength);
}

bool DeleteFromHandle(Handle handle, int32_t offset, int32_t length) {
    return MungeHandle(handle, offset, nullptr, length, kMungeZeros, 0) >= 0;
}

bool InsertInHandle(Handle handle, int32_t offset, const void* source, int32_t length) {
    if (!handle || length < 0) return false;
    if (offset < 0) offset = int32_t(std::min<uint32_t>(SizeOfHandle(handle), INT32_MAX));
    return MungeHandle(handle, offset, nullptr, 0, source ? source : kMungeZeros, length) >= 0;
}

bool SpliceHandleData(Handle handle, int32_t offset, int32_t deleteLength, const void* source,
                      int32_t insertLength) {
    return MungeHandle(handle, offset, nullptr, deleteLength, source ? source : kMungeZeros,
                       insertLength) >= 0;
}

bool ExtractFromHandle(Handle handle, uint32_t offset, uint32_t length, void* destination) {
    if (length == 0) return true;
    if (!handle || !destination) return false;
    if (uint64_t(offset) + length > SizeOfHandle(handle)) return false;
    std::memcpy(destination, *handle + offset, length);
    return true;
}

void* TryAlloc(MemPool pool, uint32_t size, uint32_t kind) {
    const bool clear = (kind & kTryClear) != 0;
    void* result;
    if ((kind & (kTryHandle | kTryFixed)) == 0) {
        result = clear ? AllocPtrClear(pool, size) : AllocPtr(pool, size);
    } else if (kind & kTryHandle) {
        result = AllocHandleEx(pool, size, clear ? kHandleClear : kHandlePlain);
    } else {
        result = clear ? AllocFSPtrClear(pool) : AllocFSPtr(pool);
    }
    if (!result) SignalIfCaught(status::kOutOfMemory);
    return result;
}

// ---- Search ----

int32_t QMemSearch(const void* pattern, uint32_t patternLength, const void* text,
                   uint32_t textLength) {
    if (patternLength == 0) return 0;
    if (patternLength > textLength || !pattern || !text) return -1;
    // The C library's search finds the same first occurrence, a word at a time: short patterns
    // (a shift of at most their length) made a byte-wise scan of a large block slow.
    const void* found = memmem(text, textLength, pattern, patternLength);
    return found ? int32_t(static_cast<const unsigned char*>(found) - static_cast<const unsigned char*>(text)) : -1;
}

uint32_t QMemFindOverlayPos(const void* pattern, uint32_t patternLength, const void* text,
                            uint32_t textLength, bool* fullMatch) {
    bool full = true;
    uint32_t result = 0;
    if (patternLength != 0 && textLength != 0) {
        const int32_t found = QMemSearch(pattern, patternLength, text, textLength);
        if (found >= 0) {
            result = uint32_t(found);
        } else {
            full = false;
            result = textLength;
            const auto* p = static_cast<const unsigned char*>(pattern);
            const auto* t = static_cast<const unsigned char*>(text);
            const uint32_t start =
                textLength >= patternLength ? textLength - patternLength + 1 : 0;
            for (uint32_t s = start; s < textLength; ++s) {
                if (std::memcmp(t + s, p, textLength - s) == 0) {
                    result = s;
                    break;
                }
            }
        }
    }
    if (fullMatch) *fullMatch = full;
    return result;
}

// ---- Compression ----

Handle CompressDataBytes(MemPool pool, const void* source, uint32_t* length) {
    if (!length) return nullptr;
    const uint32_t inLength = *length;
    *length = 0;
    if (inLength == 0 || !source) return nullptr;
    const uLong bound = compressBound(inLength);
    if (bound > 0xFFFFFFFAul) return nullptr;
    Handle h = AllocHandle(pool, uint32_t(bound) + 4);
    if (!h) return nullptr;
    uLongf outLength = bound;
    const int rc = compress(reinterpret_cast<Bytef*>(*h + 4), &outLength,
                            static_cast<const Bytef*>(source), inLength);
    if (rc != Z_OK || outLength >= inLength) {
        MemFree(h);
        return nullptr;
    }
    PutBE32(reinterpret_cast<uint8_t*>(*h), inLength);
    const uint32_t total = uint32_t(outLength) + 4;
    ResizeHandle(h, total);  // a shrink: stays in place
    *length = total;
    return h;
}

Handle ExpandDataBytes(MemPool pool, const void* compressed, uint32_t* length) {
    if (!length) return nullptr;
    const uint32_t inLength = *length;
    *length = 0;
    if (!compressed || inLength < 4) return nullptr;
    const auto* in = static_cast<const unsigned char*>(compressed);
    const uint32_t declared = GetBE32(in);
    const uint64_t streamLength = inLength - 4;
    if (declared > kMaxExpandedSize || declared > streamLength * kMaxDeflateRatio) return nullptr;
    Handle h = AllocHandle(pool, declared);
    if (!h) return nullptr;
    uLongf outLength = declared;
    const int rc = uncompress(reinterpret_cast<Bytef*>(*h), &outLength, in + 4, uLong(streamLength));
    if (rc != Z_OK || outLength != declared) {
        MemFree(h);
        return nullptr;
    }
    *length = declared;
    return h;
}

}  // namespace plexa
