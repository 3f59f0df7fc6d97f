// Version-3.6 libraries ("QLIB", usually ".SLB"): the reader of the directory and of the symbol
// items behind it into the converter's own in-memory records, which the library translation
// (converter/v36libconvert.h) turns into current library items. What an item owns comes from the
// pool it was read into and is freed with it.
//
// Stored form:
//   header      64 bytes at 0 (converter/detect.h); its byte order tells the directory's.
//   directory   right behind the header, one 30-byte entry per item, in the header's order:
//     0   u32  file position of the item
//     4   18   the item's name, counted (a length byte, at most 17, then Mac Roman bytes)
//     22  u8   flags: 0x08 the item is little-endian (this machine's order); without it the item
//              is big-endian, whatever the header's order
//     23  u8, 24 u32, 28 u16  not used
//   item        at its position, in its own order (the entry's flag):
//     head        32 bytes ("L2W10", 4 bytes raw):
//       0 u32 not used; 4 u32 class id (0 none); 8 u16 not used; 10 u16 flags (bit 1: the
//       symbol gets symbol flag 128); 12 u16 element count; 14 u16 text count; 16 u16 size of
//       the string block in bytes (0: none); 18 10 bytes not used; 28 u8 format, raw (bit 0:
//       element records have the 28-byte head, else the 20-byte one; bit 1: an image list
//       follows the elements); 29 3 bytes not used
//     elements    the element list of sheets (converter/v36sheet.h), element count records
//     image list  with format bit 1: the model's stored image list
//     style list  the serialised text style list of sheets
//     texts       text count records of 28 bytes, the sheets' text records; their specs name
//                 the item's string block
//     strings     a string block of the head's size, its 16-byte header in the item's order
// Strings are Mac Roman.
//
// Every count, length and position is checked against the bytes that are there before memory is
// taken for it. Failures: -39 for what reaches past the end, kV36BadRecord for a value no writer
// makes (a name longer than its field, an empty name, what the sheet readers refuse), -108 when
// memory fails.
#pragma once

#include <cstdint>
#include <string>

#include "converter/detect.h"
#include "converter/v36sheet.h"
#include "foundation/heap.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct ImageList;
struct StreamRecord;

constexpr uint32_t kV36LibItemHeadSize = 32;
constexpr const char* kV36LibraryEntryTemplate = "LB20LW";
constexpr const char* kV36LibItemHeadTemplate = "L2W10";
constexpr uint32_t kV36LibItemTextSize = kV36TextSize;

constexpr uint8_t kV36LibItemLittleEndian = 0x08;  // entry flags
constexpr uint16_t kV36LibItemFlag128 = 0x0002;     // head flags: the symbol gets flag 128
constexpr uint8_t kV36LibItemLongHeads = 0x01;      // head format byte
constexpr uint8_t kV36LibItemImageList = 0x02;
constexpr uint32_t kV36LibItemNameLimit = 17;

#pragma pack(push, 2)
struct V36LibraryEntry {
    uint32_t position;      // 0
    uint8_t name[18];       // 4: counted
    uint8_t flags;          // 22
    uint8_t unused23;
    uint32_t unused24;
    uint16_t unused28;
};

struct V36LibItemHead {
    uint32_t unused0;
    uint32_t classId;       // 4
    uint16_t unused8;
    uint16_t flags;         // 10
    uint16_t elementCount;  // 12
    uint16_t textCount;     // 14
    uint16_t stringsSize;   // 16
    uint16_t unused18[5];
    uint8_t format;         // 28: raw
    uint8_t unused29[3];
};
#pragma pack(pop)
static_assert(sizeof(V36LibraryEntry) == kV36LibraryEntrySize);
static_assert(sizeof(V36LibItemHead) == kV36LibItemHeadSize);

// The header and the directory.
struct V36Library {
    V36LibraryHeader header;
    V36LibraryEntry* entries;  // header.itemCount entries, or none
    MemPool pool;
};

// One item as read.
struct V36LibItem {
    V36LibItemHead head;
    bool swapped;           // read in the other byte order than this machine's
    V36ElementList elements;
    ImageList* images;      // none without format bit 1
    V36StyleList styles;
    V36TextRecord* texts;   // head.textCount records, or none
    StringBlock strings;    // none for a size of 0
    MemPool pool;
};

// The header and the directory from the start of the stream (the header check of detection,
// then every entry). On failure *library is empty.
OSStatus ReadV36Library(StreamRecord* stream, MemPool pool, V36Library* library);
void FreeV36Library(V36Library* library);

// The item of an entry, read at its position in its own order. The stream's swap setting is
// left as it was. On failure *item is empty.
OSStatus ReadV36LibItem(StreamRecord* stream, MemPool pool, const V36LibraryEntry& entry,
                        V36LibItem* item);
void FreeV36LibItem(V36LibItem* item);

// The entry's name recoded to UTF-8.
std::string V36LibraryEntryName(const V36LibraryEntry& entry);

}  // namespace plexa
