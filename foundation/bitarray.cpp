// Bit arrays and raw bit operations; see bitarray.h for the bit numbering.
#include "foundation/bitarray.h"

#include <bit>
#include <cstring>

#include "foundation/bytes.h"

namespace plexa {

namespace {

uint8_t* Bytes(BitArray array) { return reinterpret_cast<uint8_t*>(*array); }

uint32_t ByteSize(BitArray array) { return array ? SizeOfHandle(array) : 0; }

// Bytes of the whole words that hold `bits` bits (bits >= 1).
uint32_t BytesFor(uint64_t bits) { return uint32_t(((bits + 31) >> 5) << 2); }

// The word at byte offset 4k, read so that bit 0 of the array is its most significant bit.
uint32_t Word(const uint8_t* bytes, uint32_t k) {
    return GetBE32(bytes + 4 * size_t(k));
}

// Grows the array to hold bit n; false when it cannot.
bool HoldBit(BitArray array, uint32_t n) {
    if (uint64_t(n) < uint64_t(ByteSize(array)) * 8) return true;
    if (n >= 0x7FFFFFFFu) return false;
    return SetBitArraySize(array, int32_t(n + 1));
}

}  // namespace

void SetBit(void* bytes, uint32_t n) { static_cast<uint8_t*>(bytes)[n >> 3] |= uint8_t(0x80 >> (n & 7)); }

void ClearBit(void* bytes, uint32_t n) {
    static_cast<uint8_t*>(bytes)[n >> 3] &= uint8_t(~(0x80 >> (n & 7)));
}

int TestBit(const void* bytes, uint32_t n) {
    return (static_cast<const uint8_t*>(bytes)[n >> 3] >> (7 - (n & 7))) & 1;
}

void ShiftBits(void* bytes, int32_t start, uint32_t length, int32_t shift, bool rotate) {
    if (length == 0 || shift == 0 || start < 0) return;
    const uint32_t first = uint32_t(start), last = first + length - 1;
    auto put = [&](uint32_t n, int v) { v ? SetBit(bytes, n) : ClearBit(bytes, n); };
    if (rotate) {
        if (shift > 0) {
            const int out = TestBit(bytes, last);
            for (uint32_t n = last; n > first; --n) put(n, TestBit(bytes, n - 1));
            put(first, out);
        } else {
            const int out = TestBit(bytes, first);
            for (uint32_t n = first; n < last; ++n) put(n, TestBit(bytes, n + 1));
            put(last, out);
        }
        return;
    }
    const uint64_t distance = shift > 0 ? uint64_t(shift) : uint64_t(-int64_t(shift));
    if (distance >= length) {
        for (uint32_t n = first; n <= last; ++n) ClearBit(bytes, n);
        return;
    }
    const uint32_t d = uint32_t(distance);
    if (shift > 0) {
        for (uint32_t n = last; n >= first + d; --n) put(n, TestBit(bytes, n - d));
        for (uint32_t n = first; n < first + d; ++n) ClearBit(bytes, n);
    } else {
        for (uint32_t n = first; n + d <= last; ++n) put(n, TestBit(bytes, n + d));
        for (uint32_t n = last - d + 1; n <= last; ++n) ClearBit(bytes, n);
    }
}

bool ShiftBitArray(BitArray array, int32_t start, uint32_t length, int32_t shift, bool rotate) {
    if (!array || start < 0) return false;
    if (uint64_t(uint32_t(start)) + length > uint64_t(ByteSize(array)) * 8) return false;
    ShiftBits(*array, start, length, shift, rotate);
    return true;
}

BitArray CreateBitArray(MemPool pool, int32_t bits) {
    return AllocHandleClear(pool, bits <= 0 ? 32 : BytesFor(uint32_t(bits)));
}

void DisposeBitArray(BitArray array) {
    if (array) MemFree(array);
}

int32_t GetBitArraySize(BitArray array) { return int32_t(ByteSize(array) * 8); }

bool SetBitArraySize(BitArray array, int32_t bits) {
    if (!array) return false;
    const uint32_t oldSize = ByteSize(array);
    const uint32_t newSize = BytesFor(bits < 1 ? 1 : uint32_t(bits));
    if (newSize == oldSize) return true;
    if (!ResizeHandle(array, newSize)) return false;
    if (newSize > oldSize) std::memset(*array + oldSize, 0, newSize - oldSize);
    return true;
}

void BitArraySet(BitArray array, int32_t n) {
    if (!array || n < 0 || !HoldBit(array, uint32_t(n))) return;
    SetBit(*array, uint32_t(n));
}

void BitArraySetClear(BitArray array, int32_t n, bool value) {
    if (value) {
        BitArraySet(array, n);
    } else if (BitArrayTest(array, n)) {
        ClearBit(*array, uint32_t(n));
    }
}

int BitArrayTest(BitArray array, int32_t n) {
    if (!array || n < 0 || uint64_t(n) >= uint64_t(ByteSize(array)) * 8) return 0;
    return TestBit(*array, uint32_t(n));
}

void ReserveBitsUpTo(BitArray array, uint32_t n) {
    if (!array || !HoldBit(array, n)) return;
    uint8_t* bytes = Bytes(array);
    const uint32_t whole = (n + 1) >> 3;
    std::memset(bytes, 0xFF, whole);
    for (uint32_t b = whole << 3; b <= n; ++b) SetBit(bytes, b);
}

int32_t GetBitArraySetCount(BitArray array) {
    const uint32_t words = ByteSize(array) / 4;
    int32_t count = 0;
    for (uint32_t k = 0; k < words; ++k) {
        const uint32_t w = Word(Bytes(array), k);
        if (w) count += std::popcount(w);
    }
    return count;
}

int32_t NextSetBit(BitArray array, int32_t n) {
    const uint32_t words = ByteSize(array) / 4;
    const uint32_t from = n < 0 ? 0 : uint32_t(n) + 1;
    for (uint32_t k = from >> 5; k < words; ++k) {
        uint32_t w = Word(Bytes(array), k);
        if (k == from >> 5) w &= 0xFFFFFFFFu >> (from & 31);
        if (w) return int32_t((k << 5) + uint32_t(std::countl_zero(w)));
    }
    return -1;
}

int32_t LastSetBit(BitArray array) {
    for (uint32_t k = ByteSize(array) / 4; k-- > 0;) {
        const uint32_t w = Word(Bytes(array), k);
        if (w) return int32_t((k << 5) + 31 - uint32_t(std::countr_zero(w)));
    }
    return -1;
}

int32_t FirstClearBit(BitArray array) {
    const uint32_t words = ByteSize(array) / 4;
    for (uint32_t k = 0; k < words; ++k) {
        const uint32_t w = Word(Bytes(array), k);
        if (w != 0xFFFFFFFFu) return int32_t((k << 5) + uint32_t(std::countl_one(w)));
    }
    return int32_t(ByteSize(array) * 8);
}

int32_t SetFirstClearBit(BitArray array) {
    const int32_t n = FirstClearBit(array);
    if (!array || !HoldBit(array, uint32_t(n))) return -1;
    SetBit(*array, uint32_t(n));
    return n;
}

}  // namespace plexa
