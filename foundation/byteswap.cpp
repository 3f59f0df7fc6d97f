// Exchanges, in-place byte swapping and four-character codes; see byteswap.h.
#include "foundation/byteswap.h"

#include <algorithm>
#include <cstring>

namespace plexa {

namespace {

void ReverseItems(uint8_t* p, uint32_t width, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i, p += width) std::reverse(p, p + width);
}

}  // namespace

uint16_t ExchangeWords(uint16_t* a, uint16_t* b) {
    uint16_t old = *a;
    *a = *b;
    *b = old;
    return old;
}

uint32_t ExchangeLongs(uint32_t* a, uint32_t* b) {
    uint32_t old = *a;
    *a = *b;
    *b = old;
    return old;
}

void ByteSwapWord(void* address) { ReverseItems(static_cast<uint8_t*>(address), 2, 1); }

uint32_t ByteSwapLong(void* address) {
    ReverseItems(static_cast<uint8_t*>(address), 4, 1);
    uint32_t value;
    std::memcpy(&value, address, 4);
    return value;
}

void ByteSwapWordArray(void* address, uint32_t byteCount) {
    ReverseItems(static_cast<uint8_t*>(address), 2, byteCount / 2);
}

void ByteSwapLongArray(void* address, uint32_t byteCount) {
    ReverseItems(static_cast<uint8_t*>(address), 4, byteCount / 4);
}

void ByteSwapTemplate(void* record, const char* tmpl) {
    auto* cursor = static_cast<uint8_t*>(record);
    byteswap_detail::WalkTemplate(tmpl, [&cursor](char letter, uint32_t count) {
        uint32_t width = byteswap_detail::PortionWidth(letter);
        if (width > 1) ReverseItems(cursor, width, count);
        cursor += uint64_t(count) * width;
    });
}

uint32_t StringToFourChar(const char* string) {
    uint32_t code = 0;
    for (int i = 0; i < 4 && string[i] != 0; ++i) code |= uint32_t(uint8_t(string[i])) << (24 - 8 * i);
    return code;
}

char* FourCharToString(uint32_t code, char* buffer) {
    for (int i = 0; i < 4; ++i) buffer[i] = char(uint8_t(code >> (24 - 8 * i)));
    buffer[4] = 0;
    return buffer;
}

}  // namespace plexa
