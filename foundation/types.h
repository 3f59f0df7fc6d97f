// Basic types and status codes shared by every layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plexa {

// Result of most operations: 0 success, negative system-style codes, or the program's own
// codes of the form 0x2000xxxx. It is an int32_t in every respect (size, value, comparisons,
// switch), except that the compiler refuses to let a caller drop one without a word: a status
// the caller means to ignore is written `(void)Call(...);  // reason`.
struct [[nodiscard]] OSStatus {
    int32_t value = 0;
    constexpr OSStatus() = default;
    constexpr OSStatus(int32_t code) : value(code) {}
    constexpr operator int32_t() const { return value; }
};
static_assert(sizeof(OSStatus) == sizeof(int32_t));

// A heap block reached directly, and a relocatable block reached through its master pointer.
using Ptr = char*;
using Handle = char**;

// Four-character codes ("SCH4", "QPLX", ...), first character in the high byte.
using FourCharCode = uint32_t;
constexpr FourCharCode FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

namespace status {
constexpr OSStatus kNoErr = 0;
constexpr OSStatus kNoSuchVolume = -35;
constexpr OSStatus kFileNotOpen = -38;
constexpr OSStatus kEndOfFile = -39;
constexpr OSStatus kBadPosition = -40;
constexpr OSStatus kTooManyOpenFiles = -42;
constexpr OSStatus kNotFound = -43;
constexpr OSStatus kBusy = -47;
constexpr OSStatus kDuplicateName = -48;
constexpr OSStatus kParamErr = -50;
constexpr OSStatus kPermission = -54;
constexpr OSStatus kWriteOnly = -61;
constexpr OSStatus kOutOfMemory = -108;
constexpr OSStatus kFolderNotFound = -120;
constexpr OSStatus kUserCancelled = -128;
constexpr OSStatus kVersionTooNew = 0x20002711;
constexpr OSStatus kUnknownFileKind = 0x20002712;
constexpr OSStatus kNoDirectoryRef = 0x20002713;
constexpr OSStatus kEmptyFileName = 0x20002719;
constexpr OSStatus kNotDynamicFile = 0x20002AF8;
constexpr OSStatus kOutsideAppHeader = 0x20002AF9;
// A string block has no room left for another string: strings must start within its first 4 MiB.
constexpr OSStatus kStringBlockFull = 0x2000271A;
}  // namespace status

}  // namespace plexa
