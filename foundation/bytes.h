// Integers at any byte address in a named byte order: the one set of byte readers and writers for
// code that picks the fields of a stored form out of a buffer it holds (streams swap whole records
// instead, foundation/stream.h and foundation/byteswap.h).
#pragma once

#include <cstdint>
#include <cstring>

namespace plexa {

inline uint16_t GetBE16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint64_t GetBE64(const uint8_t* p) { return (uint64_t(GetBE32(p)) << 32) | GetBE32(p + 4); }
inline uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void PutBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void PutBE32(uint8_t* p, uint32_t v) {
    PutBE16(p, uint16_t(v >> 16));
    PutBE16(p + 2, uint16_t(v));
}
inline void PutBE64(uint8_t* p, uint64_t v) {
    PutBE32(p, uint32_t(v >> 32));
    PutBE32(p + 4, uint32_t(v));
}
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    PutLE16(p, uint16_t(v));
    PutLE16(p + 2, uint16_t(v >> 16));
}

// In this machine's order, or in the other one when `swap` is set.
inline uint16_t GetNative16(const void* p, bool swap) {
    uint16_t x;
    std::memcpy(&x, p, 2);
    return swap ? __builtin_bswap16(x) : x;
}
inline uint32_t GetNative32(const void* p, bool swap) {
    uint32_t x;
    std::memcpy(&x, p, 4);
    return swap ? __builtin_bswap32(x) : x;
}

}  // namespace plexa
