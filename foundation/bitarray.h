// Bit arrays: growable sets of small non-negative integers held as a handle of bits, and the raw
// bit operations on any byte buffer that the bit fields of other records use.
//
// Bit n lies in byte n >> 3 under the mask 0x80 >> (n & 7): bit 0 is the high bit of the first
// byte. A bit array is a zero-filled handle whose size is a whole number of 32-bit words; its
// capacity in bits is its byte size x 8.
#pragma once

#include "foundation/memory.h"

namespace plexa {

using BitArray = Handle;

// Raw bits in a buffer; no bounds are checked.
void SetBit(void* bytes, uint32_t n);
void ClearBit(void* bytes, uint32_t n);
int TestBit(const void* bytes, uint32_t n);

// Moves the bits start .. start + length - 1 by `shift` positions (towards higher bit numbers when
// positive); bits moved out of the range are lost and vacated bits become 0. With `rotate` the
// shift is one position in the direction of shift's sign and the bit moved out at one end enters
// at the other. Nothing for length 0, shift 0 or a negative start.
void ShiftBits(void* bytes, int32_t start, uint32_t length, int32_t shift, bool rotate);
// `ShiftBits` on a bit array's bytes; false and nothing done when the range does not lie inside.
bool ShiftBitArray(BitArray array, int32_t start, uint32_t length, int32_t shift, bool rotate);

// A zero-filled array for `bits` bits (256 bits for 0 or fewer); nothing when out of memory.
BitArray CreateBitArray(MemPool pool, int32_t bits);
void DisposeBitArray(BitArray array);

// Capacity in bits.
int32_t GetBitArraySize(BitArray array);
// Resizes to the whole words that hold max(bits, 1) bits; new bits are 0. False when the handle
// cannot grow (it is then unchanged).
bool SetBitArraySize(BitArray array, int32_t bits);

// Sets bit n, growing the array first when needed; nothing for a negative n (or when it cannot
// grow).
void BitArraySet(BitArray array, int32_t n);
// Sets (as `BitArraySet`) or clears bit n. Clearing a bit outside the array does nothing: it is
// clear already.
void BitArraySetClear(BitArray array, int32_t n, bool value);
// 0 or 1; 0 for a negative n or one beyond the capacity.
int BitArrayTest(BitArray array, int32_t n);
// Sets bits 0 to n, growing as needed.
void ReserveBitsUpTo(BitArray array, uint32_t n);

// Number of set bits (0 for an array of fewer than 4 bytes).
int32_t GetBitArraySetCount(BitArray array);
// The lowest set bit above n (start with -1), or -1.
int32_t NextSetBit(BitArray array, int32_t n);
// The highest set bit, or -1.
int32_t LastSetBit(BitArray array);
// The lowest clear bit; the capacity when every bit is set.
int32_t FirstClearBit(BitArray array);
// The lowest clear bit, after setting it (growing a full array); -1 when it cannot grow.
int32_t SetFirstClearBit(BitArray array);

}  // namespace plexa
