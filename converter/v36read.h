// The bounded reads that every version-3.6 reader makes: nothing is read, skipped or sought past
// the end of the stream (-39), and no array is taken before its count is known to fit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/types.h"

namespace plexa::v36 {

inline void Free(void* pointer) {
    if (pointer) MemFreePtr(pointer);
}

// A cleared array; none for 0 entries or a size beyond 32 bits.
template <class T>
T* AllocArray(MemPool pool, uint32_t count) {
    const uint64_t size = uint64_t(sizeof(T)) * count;
    if (count == 0 || size > UINT32_MAX) return nullptr;
    return reinterpret_cast<T*>(AllocPtrClear(pool, uint32_t(size)));
}

inline uint32_t Remaining(const StreamRecord* stream) {
    return uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream));
}

// Whether `count` records of at least `each` bytes (and never less than one) fit in what is left.
inline bool Fits(const StreamRecord* stream, uint32_t count, uint64_t each) {
    return uint64_t(count) * std::max<uint64_t>(each, 1) <= Remaining(stream);
}

inline OSStatus Seek(StreamRecord* stream, uint32_t position) {
    if (position > uint32_t(GetStreamEnd(stream))) return status::kEndOfFile;
    return SetStreamPosition(stream, int32_t(position));
}

inline OSStatus Skip(StreamRecord* stream, uint64_t count) {
    if (count > Remaining(stream)) return status::kEndOfFile;
    return OffsetStreamPosition(stream, int32_t(count));
}

inline OSStatus ReadBytes(StreamRecord* stream, void* buffer, uint32_t count) {
    if (count > Remaining(stream)) return status::kEndOfFile;
    int32_t n = int32_t(count);
    return count ? StreamRead(stream, buffer, &n) : status::kNoErr;
}

// A record of `known` bytes stored in `stored`: the first min(stored, known) bytes are read and
// the rest zeroed, the surplus of a longer record skipped; then the record is swapped.
inline OSStatus ReadSized(StreamRecord* stream, void* record, uint32_t known, uint32_t stored,
                          const char* tmpl, bool swap) {
    std::memset(record, 0, known);
    if (stored > Remaining(stream)) return status::kEndOfFile;
    const uint32_t held = std::min(known, stored);
    if (OSStatus st = ReadBytes(stream, record, held)) return st;
    if (OSStatus st = Skip(stream, stored - held)) return st;
    if (swap) ByteSwapTemplate(record, tmpl);
    return status::kNoErr;
}

}  // namespace plexa::v36
