// File-type detection of version-3.6 documents.
#include "converter/detect.h"

#include <bit>
#include <string>

#include "converter/leader.h"
#include "foundation/byteswap.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/stream.h"

namespace plexa {
namespace {

#pragma pack(push, 2)
struct StoredLibraryHeader {
    uint16_t version;
    uint32_t orderValue;
    uint32_t unused6;
    uint16_t unused10;
    uint32_t unused12;
    uint16_t itemCount;
    uint32_t type;
    uint8_t unused22[42];
};
#pragma pack(pop)
static_assert(sizeof(StoredLibraryHeader) == kV36LibraryHeaderSize);
static_assert(ByteSwapTemplateSize(kV36LibraryHeaderTemplate) == 22);

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

}  // namespace

OSStatus ReadV36LibraryHeader(StreamRecord* stream, V36LibraryHeader* header) {
    if (!stream || !header) return status::kParamErr;
    *header = V36LibraryHeader{};
    if (GetStreamEnd(stream) < int32_t(kV36LibraryMinimumSize)) return status::kUnknownFileKind;
    if (OSStatus st = SetStreamPosition(stream, 0)) return st;
    StoredLibraryHeader stored;
    int32_t count = int32_t(sizeof stored);
    if (OSStatus st = StreamRead(stream, &stored, &count)) return st;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&stored);
    // The value at offset 2 is below 65536: big-endian files store its two zero bytes first.
    const bool bigEndian = bytes[2] == 0 && bytes[3] == 0;
    if (bigEndian != kHostBigEndian) ByteSwapTemplate(&stored, kV36LibraryHeaderTemplate);
    if (stored.type != kV36LibraryType) return status::kUnknownFileKind;
    if (stored.version < kV36LibraryOldestVersion) return kV36VersionTooOld;
    EnableStreamReadByteSwap(stream, bigEndian != kHostBigEndian);
    header->version = stored.version;
    header->itemCount = stored.itemCount;
    header->bigEndian = bigEndian;
    return status::kNoErr;
}

OSStatus AutoDetectConversionFileType(const FileSpec* spec, FourCharCode* type) {
    if (type) *type = 0;
    if (!spec) return status::kParamErr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &path)) return st;
    StreamRecord* stream = nullptr;
    if (OSStatus st = OpenFileStream(path.c_str(), true, &stream)) return st;

    FourCharCode found = 0;
    bool askDynamicFile = false;
    FileLeaderInfo leader;
    OSStatus result = ReadFileLeader(stream, &leader);
    if (result == status::kNoErr) {
        // A leader of another type (a current sheet's "SCH4") is nothing to convert.
        if (leader.type == kV36SheetType) found = kV36SheetType;
    } else if (result == kNoFileLeader) {
        V36LibraryHeader library;
        result = ReadV36LibraryHeader(stream, &library);
        if (result == status::kNoErr)
            found = kV36LibraryType;
        else
            askDynamicFile = result == status::kUnknownFileKind || result == kV36VersionTooOld;
    }
    (void)CloseAndMaybeFlushFileStream(stream, false);  // read only: nothing to flush

    if (askDynamicFile) {
        // Neither a sheet nor a library: a project is a dynamic file of the current layout.
        FourCharCode fileType = 0;
        result = IsDynamicFileEx(spec, &fileType, 0, nullptr, nullptr);
        if (result == status::kNoErr && fileType == kV36ProjectType)
            found = kV36ProjectType;
        else if (result == status::kNoErr || result == status::kVersionTooNew ||
                 result == status::kNotDynamicFile)
            result = status::kUnknownFileKind;
    }
    if (type) *type = found;
    return found ? status::kNoErr : result;
}

}  // namespace plexa
