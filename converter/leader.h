// The file leader that version-3.6 sheets carry in front of their content: what kind of file
// follows, which version wrote it, in which byte order and on which platform.
//
// Stored form (16 bytes, optionally extended; the 16 bytes swap as "WB2L3"):
//   0   u16  version word
//   2   u16  byte-order marker: 0xFFFF the leader and what follows are little-endian, 0x0000
//            big-endian; any other value: no leader (the marker reads the same in both orders,
//            so it says the order by itself)
//   4   u32  file type code ("QSCM" for a sheet)
//   8   u32  tag "LEAD"
//   12  u32  total leader length in bytes: 16, or more when an extension follows
//   16  u32  extension, present when the length is 20 or more: the writer's platform, stored
//            big-endian in either order ("M68K", "PMac", "IMac", "IW32"); 0 = not stated
// Whatever lies between the platform and the stated length is skipped, never kept: the length
// is only trusted as far as the stream reaches.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct StreamRecord;

constexpr uint32_t kFileLeaderSize = 16;
constexpr uint32_t kFileLeaderWithPlatformSize = 20;
constexpr uint32_t kFileLeaderTag = FourCC("LEAD");
constexpr const char* kFileLeaderTemplate = "WB2L3";
constexpr uint16_t kFileLeaderLittleEndian = 0xFFFF;
constexpr uint16_t kFileLeaderBigEndian = 0x0000;
// Platforms: the two big-endian writers and the two little-endian ones.
constexpr FourCharCode kPlatform68K = FourCC("M68K");
constexpr FourCharCode kPlatformPowerMac = FourCC("PMac");
constexpr FourCharCode kPlatformIntelMac = FourCC("IMac");
constexpr FourCharCode kPlatformWindows = FourCC("IW32");
// The stream holds no leader (short, bad marker, bad tag, impossible length).
constexpr OSStatus kNoFileLeader = 0x20002B5C;

struct FileLeaderInfo {
    FourCharCode type = 0;
    uint16_t version = 0;
    FourCharCode platform = 0;
    bool bigEndian = false;   // the leader (and, as a rule, the file) is big-endian
    uint32_t length = 0;      // where the content starts
};

// Reads the leader from the start of the stream. 0 with the fields filled and the stream standing
// behind the leader; kNoFileLeader when there is none; -39 when the leader claims more bytes than
// the stream holds. An unstated platform is taken as "PMac" for a big-endian leader and "IW32"
// for a little-endian one. The stream's own swap setting is left as it was.
OSStatus ReadFileLeader(StreamRecord* stream, FileLeaderInfo* info);
// The same by the toolkit's name; every output may be absent.
OSStatus VXGetFileLeaderInfo(StreamRecord* stream, FourCharCode* type, uint16_t* version,
                             FourCharCode* platform);

// 1 for the big-endian platforms ("M68K", "PMac"), else 0.
int32_t GetPlatformByteOrder(FourCharCode platform);

}  // namespace plexa
