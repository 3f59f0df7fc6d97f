// Running hashes over byte ranges and three-way comparisons.
//
// The hash values are stored in files (block ids, project ids, component and pin-data hashes),
// so every routine here is fixed bit for bit: u32 arithmetic modulo 2^32, bytes taken unsigned.
#pragma once

#include <cstdint>

namespace plexa {

// h = seed; for each byte c, with n the bytes left including c (length down to 1):
// g = rotl(h, 3) + 5 (3 when 0), m = n + c + 3 (3 when 0), h = g * m. Length 0 gives the seed.
uint32_t HashMem(uint32_t seed, const void* bytes, uint32_t length);

// h = seed; for each byte c: h = h * 13 + c. Length 0 gives the seed.
uint32_t DistributiveHashMem(uint32_t seed, const void* bytes, uint32_t length);

// One hash step: (value + 3, or 3 when 0) * (rotl(hash, 3) + 5, or 3 when 0).
uint32_t BuildHash(uint32_t hash, uint32_t value);

// -1, 0 or 1 as a is below, equal to or above b (addresses compared as signed 64-bit values).
int32_t ComparePointers(const void* a, const void* b);
int32_t CompareInt32(int32_t a, int32_t b);

}  // namespace plexa
