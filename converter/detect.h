// Which version-3.6 document a file is, by its content: a sheet (behind a "QSCM" file leader), a
// library (by its 64-byte header) or a project (a dynamic file of type "QSPR"). Detection and the
// library conversion read the library header through the same function, so that what detection
// takes for a library is exactly what the library conversion accepts.
//
// Version-3.6 library header (64 bytes at offset 0; the first 22 swap as "WL2WLWL"):
//   0   u16  version (864 or later is converted)
//   2   u32  a value below 65536: its two leading bytes are zero in a big-endian file, which is
//            how the byte order is told
//   6   u32, 10 u16, 12 u32  not used
//   16  u16  number of items
//   18  u32  file type "QLIB"
//   22  42 bytes not used
// The directory behind it has room for 255 entries of 30 bytes whatever the number of items, so a
// library file is at least 7714 bytes long; a shorter file is not a library.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct StreamRecord;

constexpr FourCharCode kV36SheetType = FourCC("QSCM");
constexpr FourCharCode kV36ProjectType = FourCC("QSPR");
constexpr FourCharCode kV36LibraryType = FourCC("QLIB");

constexpr uint32_t kV36LibraryHeaderSize = 64;
constexpr const char* kV36LibraryHeaderTemplate = "WL2WLWL";
constexpr uint16_t kV36LibraryOldestVersion = 864;
constexpr uint32_t kV36LibraryEntrySize = 30;
constexpr uint32_t kV36LibraryDirectorySlots = 255;
constexpr uint32_t kV36LibraryMinimumSize =
    kV36LibraryHeaderSize + kV36LibraryDirectorySlots * kV36LibraryEntrySize;
// A version-3.6 document too old to convert.
constexpr OSStatus kV36VersionTooOld = 0x20002710;

struct V36LibraryHeader {
    uint16_t version = 0;
    uint16_t itemCount = 0;
    bool bigEndian = false;
};

// Reads the library header from the start of the stream. 0 for a library the converter takes:
// the stream then swaps what it reads as the file needs and stands behind the header.
// 0x20002712 for a stream shorter than a library (kV36LibraryMinimumSize) or of another type,
// 0x20002710 for a version below 864; the stream's swap setting is then as it was. Detection and
// the library conversion both take a file by this check alone.
OSStatus ReadV36LibraryHeader(StreamRecord* stream, V36LibraryHeader* header);

// The version-3.6 kind of a file: "QSCM", "QSPR" or "QLIB", or 0 when it is none that the
// converter takes. 0x20002712 for a file that is plainly not a version-3.6 document (also one of
// a newer layout), another status when the file cannot be read or its leader is damaged. A file
// with a leader of another type ("SCH4") gives 0 and no type.
OSStatus AutoDetectConversionFileType(const FileSpec* spec, FourCharCode* type);

}  // namespace plexa
