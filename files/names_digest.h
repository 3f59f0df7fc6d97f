// The names digest: which pairs of characters occur next to each other in a set of names, as a
// 64 x 64 bit matrix. Every byte maps to one of 64 codes (letters without regard to case), and a
// pair (a, b) sets bit code(b) of row code(a). A search builds the digest of its text and skips
// every library whose digest lacks one of its bits, since no name there can contain the text.
// Library files keep the digest of their names in front of their item map; sheet files keep the
// digest of their file symbols' names in front of those.
//
// Stored form (512 bytes, never byte-swapped): 64 rows of 64-bit little-endian words, row r in
// bytes 8r to 8r + 7, bit c of the row in bit (c mod 8) of byte 8r + (c div 8).
//
// Codes (`gCharDigestTable`): 0 "0", 1 "2", 2 "1", 3 C, 4 "4", 5 "5", 6 A, 7 M, 8 "7", 9 "8",
// 10 "3", 11 S, 12 "6", 13 L, 14 N, 15 D, 16 "-", 17 B, 18 P, 19 T, 20 "9", 21 F, 22 I, 23 H,
// 24 E, 25 X, 26 J, 27 R, 28 V, 29 "/", 30 K, 31 G, 32 W, 33 U, 34 Q, 35 O, 36 "_", 37 "(",
// 38 ")", 39 Z, 40 Y, 41 ".", 42 space, 43 "+", 44 backslash, 45 "<", 46 ">", 47 "&", 48 "*",
// 49 double quote, 50 apostrophe, 51 "[", 52 "]", 53 "{", 54 "}", 55 "#", 56 "!", 57 ",",
// 58 ":", 59 "=", 60 "?", 61 "$", 62 "%", 63 every other byte (1-31, ";", "@", "^", "`", "|",
// "~", 127 and 128-255). Byte 0 ends a name and has no code (its entry is 255).
#pragma once

#include <array>
#include <cstdint>

#include "files/item_map.h"
#include "foundation/stringblock.h"

namespace plexa {

constexpr int32_t kDigestRows = 64;
constexpr uint32_t kItemNamesDigestSize = 512;

struct ItemNamesDigest {
    uint8_t bytes[kItemNamesDigestSize];
};
static_assert(sizeof(ItemNamesDigest) == kItemNamesDigestSize);

extern const std::array<uint8_t, 256> gCharDigestTable;

// Sets the pair bits of a NUL-terminated name, after clearing the digest unless `accumulate`.
// Returns 1 + the highest row it set, or 1 for a name of fewer than two bytes (which sets nothing).
int32_t StringToDigest(const char* name, ItemNamesDigest* digest, bool accumulate);

// Whether every bit of the query's first queryRows rows is set in the digest: false when queryRows
// exceeds digestRows, true when it is 0 or below. Rows beyond 64 do not exist.
bool IsSubDigest(const ItemNamesDigest* query, int32_t queryRows, const ItemNamesDigest* digest,
                 int32_t digestRows);

// Clears the digest and accumulates the name of every entry of the map; returns the largest row
// count of any name, 0 for no map or no entries.
int32_t BuildItemNamesDigest(LibraryItemMap map, StringBlock names, ItemNamesDigest* digest);

// Whether bit `column` of row `row` is set (both 0..63).
bool DigestBit(const ItemNamesDigest* digest, int32_t row, int32_t column);

}  // namespace plexa
