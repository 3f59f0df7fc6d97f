// Small version-3.6 files written byte by byte from their stored layouts, for the detection, the
// driver, the program and the fuzz seeds.
#pragma once

#include <string>

namespace plexa::test {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += char(uint8_t(v));
    return bytes;
}

// A sheet's leader written little-endian, 16 bytes, no platform stated.
inline std::string LittleEndianSheetLeader() {
    return Bytes({
        0x90, 0x03,              // version 912
        0xFF, 0xFF,              // marker: little-endian
        'M', 'C', 'S', 'Q',      // type "QSCM" as a little-endian long
        'D', 'A', 'E', 'L',      // tag "LEAD"
        0x10, 0x00, 0x00, 0x00,  // length 16
    });
}

// A sheet's leader written big-endian, 20 bytes, platform "PMac".
inline std::string BigEndianSheetLeader() {
    return Bytes({
        0x03, 0x8F,              // version 911
        0x00, 0x00,              // marker: big-endian
        'Q', 'S', 'C', 'M',      // type "QSCM"
        'L', 'E', 'A', 'D',      // tag "LEAD"
        0x00, 0x00, 0x00, 0x14,  // length 20
        'P', 'M', 'a', 'c',      // platform, big-endian in either order
    });
}

// A little-endian leader of 40 bytes: the platform "IMac", then 20 bytes of an extension this
// reader does not know, then the first byte of the content (0xC7).
inline std::string LongSheetLeader() {
    return Bytes({
        0x90, 0x03,              // version 912
        0xFF, 0xFF,              // marker: little-endian
        'M', 'C', 'S', 'Q',      // type "QSCM"
        'D', 'A', 'E', 'L',      // tag "LEAD"
        0x28, 0x00, 0x00, 0x00,  // length 40
        'I', 'M', 'a', 'c',      // platform
        1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
        0xC7,                    // the content
    });
}

// A leader of a current sheet ("SCH4"), little-endian: nothing to convert.
inline std::string CurrentSheetLeader() {
    return Bytes({
        0x02, 0x01,              // version 258
        0xFF, 0xFF,              // marker: little-endian
        '4', 'H', 'C', 'S',      // type "SCH4"
        'D', 'A', 'E', 'L',      // tag "LEAD"
        0x10, 0x00, 0x00, 0x00,  // length 16
    });
}

// A leader that claims 64 bytes in a file of 16.
inline std::string OverlongLeader() {
    return Bytes({
        0x90, 0x03, 0xFF, 0xFF, 'M', 'C', 'S', 'Q', 'D', 'A', 'E', 'L',
        0x40, 0x00, 0x00, 0x00,  // length 64
    });
}

inline std::string TextFile() {
    return "Parts list of the amplifier\nR1 10k\nR2 4k7\nC1 100n\nU1 TL072\n";
}

// A version-3.6 library header (64 bytes) of the version and item count, big-endian, followed
// by `items` 30-byte directory entries naming items "R" and empty entries up to the directory's
// 255 (a library is never shorter); the items' position is the end of the file.
inline std::string BigEndianLibrary(int version, int items) {
    std::string bytes = Bytes({
        version >> 8, version & 0xFF,  // version
        0x00, 0x00, 0x01, 0x00,        // a value below 65536: 256; its leading bytes are zero
        0, 0, 0, 0,                    // not used
        0, 0,                          // not used
        0, 0, 0, 0,                    // not used
        items >> 8, items & 0xFF,      // number of items
        'Q', 'L', 'I', 'B',            // type
    });
    bytes += std::string(42, '\0');    // not used
    for (int i = 0; i < items; ++i) {
        const int position = 64 + 30 * 255;
        bytes += Bytes({0, 0, position >> 8, position & 0xFF,  // item position
                        1, 'R'});                                // name, a counted string
        bytes += std::string(16, '\0');                        // rest of the 18-byte name
        bytes += Bytes({0x00, 0});                             // flags: big-endian item
        bytes += std::string(6, '\0');                         // not used
    }
    bytes += std::string(30 * size_t(255 - items), '\0');      // unused entries
    return bytes;
}

// The same little-endian: the value at 2 has its zero bytes last, the type reads "BILQ".
inline std::string LittleEndianLibrary(int version, int items) {
    std::string bytes = Bytes({
        version & 0xFF, version >> 8,  // version
        0x00, 0x01, 0x00, 0x00,        // 256, little-endian
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // not used
        items & 0xFF, items >> 8,      // number of items
        'B', 'I', 'L', 'Q',            // type "QLIB" as a little-endian long
    });
    bytes += std::string(42 + 30 * 255, '\0');  // not used; an empty directory
    return bytes;
}

// A dynamic file of the current layout and the type, with no application header and no blocks.
inline std::string DynamicFile(const char (&type)[5], int version = 258) {
    std::string bytes = Bytes({
        'O', 'R', 'D', 'F',                     // magic
        version >> 8, version & 0xFF,           // version
        type[0], type[1], type[2], type[3],     // file type
        0x00, 0x00, 0x00, 0x2E,                 // header-record size 46
        0x00, 0x00, 0x00, 0x00,                 // application-header size 0
        0x00, 0x00, 0x00, 0x00,                 // first free: none
    });
    bytes += std::string(42, '\0');             // rest of the header record
    return bytes;
}

// A dynamic file of the old layout (version 256): its header record is a block of type 254.
inline std::string OldLayoutDynamicFile() {
    std::string bytes = Bytes({
        'O', 'R', 'D', 'F',                     // magic
        0x01, 0x00,                             // version 256
        0xFE, 0x06, 0x00, 0x00, 0x00, 0x10,     // block head: type 254, head length 6, size 16
    });
    bytes += std::string(16, '\0');             // the header record: first free 0
    return bytes;
}

}  // namespace plexa::test
