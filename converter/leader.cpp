// The file leader reader.
#include "converter/leader.h"

#include <bit>

#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/stream.h"

namespace plexa {
namespace {

#pragma pack(push, 2)
struct StoredLeader {
    uint16_t version;
    uint16_t marker;
    uint32_t type;
    uint32_t tag;
    uint32_t length;
};
#pragma pack(pop)
static_assert(sizeof(StoredLeader) == kFileLeaderSize);
static_assert(ByteSwapTemplateSize(kFileLeaderTemplate) == kFileLeaderSize);

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

}  // namespace

OSStatus ReadFileLeader(StreamRecord* stream, FileLeaderInfo* info) {
    if (!stream || !info) return status::kParamErr;
    *info = FileLeaderInfo{};
    if (OSStatus st = SetStreamPosition(stream, 0)) return st;
    StoredLeader leader;
    int32_t count = int32_t(sizeof leader);
    const OSStatus read = StreamRead(stream, &leader, &count);
    if (read != status::kNoErr && read != status::kEndOfFile) return read;
    if (count < int32_t(sizeof leader)) return kNoFileLeader;
    bool bigEndian;
    if (leader.marker == kFileLeaderLittleEndian)
        bigEndian = false;
    else if (leader.marker == kFileLeaderBigEndian)
        bigEndian = true;
    else
        return kNoFileLeader;
    if (bigEndian != kHostBigEndian) ByteSwapTemplate(&leader, kFileLeaderTemplate);
    if (leader.tag != kFileLeaderTag || leader.length < kFileLeaderSize) return kNoFileLeader;
    const int32_t end = GetStreamEnd(stream);
    if (leader.length > uint32_t(end)) return status::kEndOfFile;

    FourCharCode platform = 0;
    if (leader.length >= kFileLeaderWithPlatformSize) {
        uint8_t bytes[4];
        count = 4;
        if (OSStatus st = StreamRead(stream, bytes, &count)) return st;
        platform = GetBE32(bytes);
    }
    // The rest of a longer leader is skipped by its length, which the end bounds.
    if (OSStatus st = SetStreamPosition(stream, int32_t(leader.length))) return st;
    if (platform == 0) platform = bigEndian ? kPlatformPowerMac : kPlatformWindows;
    info->type = leader.type;
    info->version = leader.version;
    info->platform = platform;
    info->bigEndian = bigEndian;
    info->length = leader.length;
    return status::kNoErr;
}

OSStatus VXGetFileLeaderInfo(StreamRecord* stream, FourCharCode* type, uint16_t* version,
                             FourCharCode* platform) {
    FileLeaderInfo info;
    const OSStatus st = ReadFileLeader(stream, &info);
    if (st == status::kNoErr) {
        if (type) *type = info.type;
        if (version) *version = info.version;
        if (platform) *platform = info.platform;
    }
    return st;
}

int32_t GetPlatformByteOrder(FourCharCode platform) {
    return platform == kPlatform68K || platform == kPlatformPowerMac ? 1 : 0;
}

}  // namespace plexa
