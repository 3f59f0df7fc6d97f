// Exchanges, in-place byte swapping and four-character codes.
//
// Records written on a machine of the other byte order are swapped field by field with a
// template string. A template is a run of portions, each a field letter (any case) followed by
// an optional decimal count (default 1), laid one after another from the record's start:
//   W  count 16-bit words, each reversed
//   L  count 32-bit longs, each reversed
//   F  count 64-bit values, each reversed
//   any other letter (by convention B): count bytes left as they are
// "L2W" is two longs then one word; "WB6LW2LW" a word, six bytes, a long, two words, a long
// and a word. Digits before the first letter are ignored; a count of 0 covers nothing.
// Blanks (the space character) are ignored everywhere, also between the digits of a count:
// "W1 2" is twelve words, the same as "W12" (a count is never split by a blank).
// Counts saturate at 2^32 - 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plexa {

// Swap two variables; the word and long forms return the old value of a.
uint16_t ExchangeWords(uint16_t* a, uint16_t* b);
uint32_t ExchangeLongs(uint32_t* a, uint32_t* b);
template <class T>
void ExchangePointers(T** a, T** b) {
    T* t = *a;
    *a = *b;
    *b = t;
}

// Reverse the bytes of one value in place (the address need not be aligned).
void ByteSwapWord(void* address);
uint32_t ByteSwapLong(void* address);  // returns the swapped value

// Swap byteCount / 2 words resp. byteCount / 4 longs in place; the count is in bytes.
void ByteSwapWordArray(void* address, uint32_t byteCount);
void ByteSwapLongArray(void* address, uint32_t byteCount);

// Swaps a record in place by a template (see above). The record must hold
// ByteSwapTemplateSize(tmpl) bytes.
void ByteSwapTemplate(void* record, const char* tmpl);

namespace byteswap_detail {

// Calls portion(letter, count) for each portion of a template, the letter upper-cased.
template <class Portion>
constexpr void WalkTemplate(const char* tmpl, Portion&& portion) {
    char letter = 0;
    uint32_t count = 1;
    bool inDigits = false;
    for (const char* p = tmpl; *p != 0; ++p) {
        char c = *p;
        if (c == ' ') continue;
        if (c >= '0' && c <= '9') {
            if (!inDigits) count = 0;
            inDigits = true;
            uint64_t next = uint64_t(count) * 10 + uint32_t(c - '0');
            count = next > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(next);
            continue;
        }
        inDigits = false;
        if (letter != 0) portion(letter, count);
        letter = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
        count = 1;
    }
    if (letter != 0) portion(letter, count);
}

constexpr uint32_t PortionWidth(char letter) {
    return letter == 'W' ? 2 : letter == 'L' ? 4 : letter == 'F' ? 8 : 1;
}

}  // namespace byteswap_detail

// The number of bytes a template covers, for checking it against a record's size.
constexpr uint64_t ByteSwapTemplateSize(const char* tmpl) {
    uint64_t size = 0;
    byteswap_detail::WalkTemplate(tmpl, [&size](char letter, uint32_t count) {
        size += uint64_t(count) * byteswap_detail::PortionWidth(letter);
    });
    return size;
}

// "SCH4" is 0x53434834: the first four bytes big-endian; a NUL ends the code early, the
// remaining bytes being 0.
uint32_t StringToFourChar(const char* string);

// Writes the four characters, highest byte first, and a NUL into buffer (5 bytes); returns it.
char* FourCharToString(uint32_t code, char* buffer);

}  // namespace plexa
