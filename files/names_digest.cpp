// The names digest (see names_digest.h for the codes and the stored form).
#include "files/names_digest.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace plexa {

namespace {

// The characters of codes 0 to 62, in code order; letters stand for both cases.
constexpr char kCodeCharacters[] = "021C45AM783S6LND-BPT9FIHEXJRV/KGWUQO_()ZY. +\\<>&*\"'[]{}#!,:=?$%";
static_assert(sizeof kCodeCharacters - 1 == 63);

constexpr uint8_t kOtherCode = 63;

constexpr std::array<uint8_t, 256> MakeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& code : table) code = kOtherCode;
    table[0] = 255;
    for (uint8_t code = 0; code < 63; ++code) {
        const uint8_t c = uint8_t(kCodeCharacters[code]);
        table[c] = code;
        if (c >= 'A' && c <= 'Z') table[c - 'A' + 'a'] = code;
    }
    return table;
}

void SetBit(ItemNamesDigest* digest, uint8_t row, uint8_t column) {
    digest->bytes[8 * row + column / 8] |= uint8_t(1u << (column % 8));
}

}  // namespace

const std::array<uint8_t, 256> gCharDigestTable = MakeTable();

int32_t StringToDigest(const char* name, ItemNamesDigest* digest, bool accumulate) {
    if (!accumulate) std::memset(digest->bytes, 0, sizeof digest->bytes);
    int32_t highest = 0;
    if (!name) return 1;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); p[0] != 0 && p[1] != 0; ++p) {
        const uint8_t row = gCharDigestTable[p[0]];
        SetBit(digest, row, gCharDigestTable[p[1]]);
        highest = std::max<int32_t>(highest, row);
    }
    return highest + 1;
}

bool IsSubDigest(const ItemNamesDigest* query, int32_t queryRows, const ItemNamesDigest* digest,
                 int32_t digestRows) {
    if (queryRows > digestRows) return false;
    const int32_t rows = std::min(queryRows, kDigestRows);
    for (int32_t byte = 0; byte < rows * 8; ++byte) {
        if (query->bytes[byte] & ~digest->bytes[byte]) return false;
    }
    return true;
}

int32_t BuildItemNamesDigest(LibraryItemMap map, StringBlock names, ItemNamesDigest* digest) {
    std::memset(digest->bytes, 0, sizeof digest->bytes);
    int32_t rows = 0;
    const int32_t count = CountLibItemMapEntries(map);
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; i < count; ++i) {
        LibraryItemMapEntry entry;
        GetLibItemMapEntry(map, i, &entry);
        ExtractStringSpec(entry.name, names, name, sizeof name);
        rows = std::max(rows, StringToDigest(name, digest, true));
    }
    return rows;
}

bool DigestBit(const ItemNamesDigest* digest, int32_t row, int32_t column) {
    if (row < 0 || row >= kDigestRows || column < 0 || column >= kDigestRows) return false;
    return (digest->bytes[8 * row + column / 8] >> (column % 8)) & 1;
}

}  // namespace plexa
