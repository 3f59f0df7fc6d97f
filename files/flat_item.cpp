// Readers of the flattened library item's head and names (see flat_item.h for the layout).
#include "files/flat_item.h"

#include <cstring>

#include "foundation/memory.h"
#include "foundation/strings.h"

namespace plexa {

namespace {

uint32_t FlatSize(Handle flat) {
    return flat ? SizeOfHandle(flat) : 0;
}

uint8_t FlatByte(Handle flat, uint32_t offset) {
    return offset < FlatSize(flat) ? uint8_t((*flat)[offset]) : 0;
}

bool HasMark(Handle flat) {
    if (FlatSize(flat) < kFlatItemNamesOffset + 1) return false;
    const uint8_t a = uint8_t((*flat)[kFlatItemMarkOffset]);
    const uint8_t b = uint8_t((*flat)[kFlatItemMarkOffset + 1]);
    return (a == 0x12 && b == 0x34) || (a == 0x34 && b == 0x12);
}

// The offset of the name at the index, or of the ending zero byte when index is the count; 0 when
// the list does not reach that far inside the bytes.
uint32_t NameOffset(Handle flat, int32_t index) {
    if (!HasMark(flat) || index < 0) return 0;
    const uint32_t size = FlatSize(flat);
    uint32_t at = kFlatItemNamesOffset;
    for (int32_t i = 0; i < index; ++i) {
        const uint8_t length = uint8_t((*flat)[at]);
        if (length == 0) return 0;
        at += 1 + length + 2;
        if (at >= size) return 0;  // the next length byte (or the ending) must be there
    }
    return at;
}

}  // namespace

OSStatus CheckFlattenedLibraryItemNames(Handle flat, int32_t* count) {
    if (count) *count = 0;
    if (!HasMark(flat)) return status::kParamErr;
    const uint32_t size = FlatSize(flat);
    int32_t names = 0;
    for (uint32_t at = kFlatItemNamesOffset;;) {
        if (at >= size) return status::kParamErr;
        const uint8_t length = uint8_t((*flat)[at]);
        if (length == 0) break;
        at += 1 + length + 2;
        ++names;
    }
    if (names == 0) return status::kParamErr;
    if (count) *count = names;
    return status::kNoErr;
}

int32_t GetFlattenedLibraryItemName(Handle flat, int32_t index, char* out, int32_t size) {
    if (!out || size < 1) return 0;
    out[0] = 0;
    if (CheckFlattenedLibraryItemNames(flat, nullptr) != status::kNoErr) return 0;
    const uint32_t at = NameOffset(flat, index);
    if (at == 0) return 0;
    const uint8_t length = uint8_t((*flat)[at]);
    if (length == 0) return 0;
    const int32_t n = length < size - 1 ? length : size - 1;
    std::memcpy(out, *flat + at + 1, size_t(n));
    out[n] = 0;
    if (!(GetFlattenedLibraryItemFlags(flat) & kLibItemFlagUTF8))
        RecodeString(out, uint32_t(size), kEncodingMacRoman, kEncodingUTF8);
    return 1;
}

uint8_t GetFlattenedLibraryItemKind(Handle flat) {
    return FlatByte(flat, kFlatItemKindOffset);
}

uint8_t GetFlattenedLibraryItemFlags(Handle flat) {
    return FlatByte(flat, kFlatItemFlagsOffset);
}

}  // namespace plexa
