// Running hashes and three-way comparisons; see hash.h.
#include "foundation/hash.h"

#include <bit>

namespace plexa {

namespace {

// rotl(h, 3) + 5, with 3 in place of a zero result.
uint32_t HashStepFactor(uint32_t h) {
    uint32_t g = std::rotl(h, 3) + 5u;
    return g != 0 ? g : 3u;
}

}  // namespace

uint32_t HashMem(uint32_t seed, const void* bytes, uint32_t length) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t h = seed;
    for (uint32_t n = length; n > 0; --n, ++p) {
        uint32_t m = n + *p + 3u;
        if (m == 0) m = 3;
        h = HashStepFactor(h) * m;
    }
    return h;
}

uint32_t DistributiveHashMem(uint32_t seed, const void* bytes, uint32_t length) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t h = seed;
    for (uint32_t i = 0; i < length; ++i) h = h * 13u + p[i];
    return h;
}

uint32_t BuildHash(uint32_t hash, uint32_t value) {
    uint32_t v = value + 3u;
    if (v == 0) v = 3;
    return v * HashStepFactor(hash);
}

int32_t ComparePointers(const void* a, const void* b) {
    auto x = static_cast<int64_t>(reinterpret_cast<intptr_t>(a));
    auto y = static_cast<int64_t>(reinterpret_cast<intptr_t>(b));
    return x < y ? -1 : (x > y ? 1 : 0);
}

int32_t CompareInt32(int32_t a, int32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

}  // namespace plexa
