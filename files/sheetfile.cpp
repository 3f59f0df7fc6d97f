// Sheet files: the container, the header block and the application header (see sheetfile.h).
#include "files/sheetfile.h"

#include <cstring>
#include <string>
#include <unistd.h>

#include "files/filesymbols.h"
#include "files/sheet_services.h"
#include "files/sheetblocks.h"
#include "files/sheetsave.h"
#include "files/sheetspec.h"
#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/datetime.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/annotation.h"
#include "model/modelhooks.h"
#include "model/sheet.h"

namespace plexa {

static_assert(ByteSwapTemplateSize(kSheetFileHeaderTemplate) <= kSheetFileHeaderSize);
static_assert(ByteSwapTemplateSize(kSheetWindowStateTemplate) <= kSheetWindowStateSize);

namespace {

constexpr uint16_t kOtherOrderMark = 0x3412;

bool IsRecognisedPlatform(FourCharCode code) {
    return code == kPlatformIMac || code == kPlatformIW32 || code == kPlatformM68K ||
           code == kPlatformPMac;
}

// Whether a closed file may be rewritten in place: a name, a folder, and a sheet file.
bool IsWritableSheetSpec(const FileSpec* spec) {
    return spec && spec->name[0] != 0 && !IsDirectoryInvalid(&spec->directory) &&
           IsSheetFile(spec) == status::kNoErr;
}

// Whether the file and its folder may be written: a file is replaced by a copy made beside it.
bool IsReplaceableFile(const FileSpec* spec) {
    std::string path;
    if (CreateURLFromFileSpec(spec, false, &path) != status::kNoErr) return false;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

// The header block as read: swapped into native order, the mark replaced by the swap flag.
OSStatus ReadHeaderBlock(DynamicFileRecord* file, SheetFileHeader* header) {
    std::memset(header, 0, sizeof *header);
    uint32_t offset = 0, size = 0;
    if (OSStatus st = FindFileBlock(file, kSheetHeaderBlock, &offset, &size, true)) return st;
    if (offset == 0) return status::kUnknownFileKind;
    uint8_t bytes[kSheetFileHeaderSize] = {};
    int32_t length = sizeof bytes;
    if (OSStatus st = ReadFileBlock(file, offset, bytes, &length)) return st;
    if (length < 4) return status::kUnknownFileKind;  // no room for the version and the mark
    const bool swapped = GetNative16(bytes + 2, false) != kSheetFileMark;
    if (swapped) ByteSwapTemplate(bytes, kSheetFileHeaderTemplate);
    FourCharCode platform = GetBE32(bytes + 4);
    if (!IsRecognisedPlatform(platform)) platform = GetAssumedPlatformID(swapped);
    std::memcpy(header, bytes, sizeof bytes);
    header->swapped = swapped ? 1 : 0;
    header->platform = platform;
    return status::kNoErr;
}

}  // namespace

// ---- Opening and telling ----

OSStatus OpenSheetFile(const FileSpec* spec, bool readOnly, DynamicFileRecord* file,
                       SheetFileHeader* header) {
    std::memset(file, 0, sizeof *file);
    if (header) std::memset(header, 0, sizeof *header);
    if (OSStatus st = OpenDynamicFile(spec, readOnly, file)) return st;
    OSStatus st = file->fileType == kSheetFileType ? status::kNoErr : status::kUnknownFileKind;
    if (st == status::kNoErr && header) st = ReadHeaderBlock(file, header);
    if (st != status::kNoErr) {
        (void)CloseAndMaybeFlushDynamicFile(file, false);  // the open status is the one reported
        if (header) std::memset(header, 0, sizeof *header);
    }
    return st;
}

FourCharCode GetAssumedPlatformID(bool swapped) {
    return swapped ? kPlatformPMac : kPlatformIW32;
}

bool IsForeignSheetPlatform(FourCharCode platform) {
    return platform != kPlatformIMac && platform != kPlatformPMac && platform != kPlatformM68K;
}

OSStatus IsSheetFile(const FileSpec* spec) {
    FourCharCode type = 0;
    if (OSStatus st = IsDynamicFileEx(spec, &type, 0, nullptr, nullptr)) return st;
    return type == kSheetFileType ? status::kNoErr : status::kUnknownFileKind;
}

OSStatus IsSheetFileWithSymbols(const FileSpec* spec) {
    FourCharCode type = 0;
    uint8_t flag[2] = {};
    int32_t length = sizeof flag;
    const OSStatus st = IsDynamicFileEx(spec, &type, kSheetFileSymbolsFlagOffset, flag, &length);
    if (type == 0) return st != status::kNoErr ? st : status::kUnknownFileKind;
    if (type != kSheetFileType) return status::kUnknownFileKind;
    if (st != status::kNoErr && st != status::kOutsideAppHeader) return st;
    return length == int32_t(sizeof flag) && (flag[0] | flag[1]) != 0 ? status::kNoErr
                                                                      : kNoFileSymbolsErr;
}

// ---- The header block ----

OSStatus WriteSheetFileHeader(DynamicFileRecord* file, SheetFileHeader* header) {
    header->version = kSheetFileVersion;
    header->swapped = 0;
    header->platform = kPlatformIMac;
    header->saveCounter += 1;
    std::memset(header->reserved, 0, sizeof header->reserved);
    std::memset(header->zero, 0, sizeof header->zero);
    uint8_t bytes[kSheetFileHeaderSize];
    std::memcpy(bytes, header, sizeof bytes);
    std::memcpy(bytes + 2, &kSheetFileMark, 2);
    PutBE32(bytes + 4, kPlatformIMac);
    uint32_t offset = 0;
    return WriteFileBlock(file, kSheetHeaderBlock, sizeof bytes, bytes, &offset);
}

OSStatus ReadSheetFileRank(const FileSpec* spec, uint16_t* rank) {
    *rank = kSheetRankUnknown;
    DynamicFileRecord file;
    SheetFileHeader header;
    if (OSStatus st = OpenSheetFile(spec, true, &file, &header)) return st;
    *rank = header.rank;
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    return status::kNoErr;
}

// ---- The application header ----

OSStatus ReadSheetWindowState(DynamicFileRecord* file, SheetWindowState* state) {
    std::memset(state, 0, sizeof *state);
    VXSetEmptyRect(&state->position);
    SheetWindowState read;
    int32_t length = sizeof read;
    const OSStatus st = ReadDynamicFileHeader(file, kSheetWindowStateOffset, &read, &length);
    if (length != int32_t(sizeof read)) return st != status::kNoErr ? st : status::kOutsideAppHeader;
    *state = read;
    if (state->mark == kOtherOrderMark) {
        ByteSwapTemplate(state, kSheetWindowStateTemplate);
        VXSetEmptyRect(&state->position);
    }
    return st;
}

OSStatus WriteSheetWindowState(const FileSpec* spec, DynamicFileRecord* file, SheetWindowState* state) {
    state->mark = kSheetFileMark;
    int32_t length = sizeof *state;
    if (file) return WriteDynamicFileHeader(file, kSheetWindowStateOffset, state, &length);
    if (!IsWritableSheetSpec(spec) || !IsReplaceableFile(spec)) return status::kNoErr;
    VXFileTimes times;
    const bool haveTimes = VXGetGlobalFileTimes(spec, &times) == status::kNoErr;
    DynamicFileRecord open;
    if (OSStatus st = OpenSheetFile(spec, false, &open, nullptr)) return st;
    // One save of the file: the copy with the new state replaces it, or the file stays as it was.
    OSStatus st = BeginDynamicFileSave(&open);
    if (st == status::kNoErr)
        st = EndDynamicFileSave(&open, WriteDynamicFileHeader(&open, kSheetWindowStateOffset, state, &length));
    const OSStatus closed = CloseAndMaybeFlushDynamicFile(&open, true);
    if (st == status::kNoErr) st = closed;
    if (haveTimes) (void)VXSetGlobalFileTimes(spec, &times, kFileTimeModification);  // best effort: the old date is kept when possible
    return st;
}

OSStatus SaveSheetWindowState(SheetRecord* sheet, DynamicFileRecord* file) {
    if (!sheet || !sheet->window) return status::kNoErr;
    SheetWindowState state{};
    Rect view{};
    const auto windowPlace = GetSheetSaveHooks().windowPlace;
    if (!windowPlace || !windowPlace(sheet, &state.position, &view)) return status::kNoErr;
    state.scale = sheet->viewScale;
    state.toolsExpanded = sheet->topToolsExpanded ? 1 : 0;
    state.viewTop = view.top;
    state.viewLeft = view.left;
    state.paneWidths[0] = sheet->topToolPaneWidths[0];
    state.paneWidths[1] = sheet->topToolPaneWidths[1];
    return WriteSheetWindowState(&sheet->fileSpec, file, &state);
}

OSStatus WriteSheetSymbolExportFlag(DynamicFileRecord* file, bool hasFileSymbols) {
    const uint16_t flag = hasFileSymbols ? kSheetHasFileSymbols : 0;
    int32_t length = sizeof flag;
    return WriteDynamicFileHeader(file, kSheetFileSymbolsFlagOffset, &flag, &length);
}

// ---- Single blocks ----

OSStatus OpenSheetBlockStream(DynamicFileRecord* file, uint8_t type, bool swap, SheetBlockStream* block) {
    *block = SheetBlockStream{};
    uint32_t offset = 0, size = 0;
    if (OSStatus st = FindFileBlock(file, type, &offset, &size, true)) return st;
    if (offset == 0) return status::kNoErr;
    if (OSStatus st = LoadFileBlock(file, offset, &block->bytes)) return st;
    if (OSStatus st = CreateStream(kStreamHandle, StreamTarget::OfHandle(block->bytes), &block->stream)) {
        CloseSheetBlockStream(block);
        return st;
    }
    EnableStreamReadByteSwap(block->stream, swap);
    return status::kNoErr;
}

void CloseSheetBlockStream(SheetBlockStream* block) {
    if (block->stream) DisposeStream(block->stream);
    if (block->bytes) MemFree(block->bytes);
    *block = SheetBlockStream{};
}

OSStatus ReadSheetFileBlockAlone(const FileSpec* spec, uint8_t type, SheetBlockReader read, void* data) {
    DynamicFileRecord file;
    SheetFileHeader header;
    if (OSStatus st = OpenSheetFile(spec, true, &file, &header)) return st;
    SheetBlockStream block;
    OSStatus st = OpenSheetBlockStream(&file, type, header.swapped != 0, &block);
    if (st == status::kNoErr && block.stream) st = read(block.stream, header.swapped != 0, data);
    CloseSheetBlockStream(&block);
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    return st;
}

OSStatus ReadSheetFileStringBlock(DynamicFileRecord* file, StringBlock* block) {
    *block = nullptr;
    SheetBlockStream stored;
    OSStatus st = OpenSheetBlockStream(file, kSheetStringBlock, false, &stored);
    if (st == status::kNoErr && !stored.stream) st = status::kUnknownFileKind;
    if (st == status::kNoErr) st = ReadStringBlock(stored.stream, nullptr, block);
    CloseSheetBlockStream(&stored);
    return st;
}

OSStatus GetSheetFileTextThemeBlock(DynamicFileRecord* file, bool* found, Handle* handle,
                                    uint32_t* offset) {
    *found = false;
    if (offset) *offset = 0;
    uint32_t at = 0, size = 0;
    if (handle) {
        *handle = nullptr;
        if (OSStatus st = FindFileBlock(file, kSheetOpaqueDataBlock, &at, &size, true)) return st;
        if (at == 0) return status::kNoErr;
        if (OSStatus st = LoadFileBlock(file, at, handle)) return st;
        *found = true;
        if (offset) *offset = at;
        return status::kNoErr;
    }
    if (OSStatus st = FindFileBlock(file, kSheetTextThemesBlock, &at, &size, true)) return st;
    if (at == 0) {
        if (OSStatus st = FindFileBlock(file, kSheetOpaqueDataBlock, &at, &size, true)) return st;
        if (at == 0) return status::kUnknownFileKind;
        *found = true;
    }
    if (offset) *offset = at;
    return status::kNoErr;
}

OSStatus WriteSheetAnnotation(const FileSpec* spec, AnnotationMap* map) {
    if (!IsWritableSheetSpec(spec)) return status::kNoErr;
    if (!map) return status::kParamErr;
    DynamicFileRecord file;
    if (OSStatus st = OpenSheetFile(spec, false, &file, nullptr)) return st;
    // One save of the sheet file: the new block replaces the old one, or the file stays as it was.
    OSStatus st = BeginDynamicFileSave(&file);
    if (st == status::kNoErr) {
        StreamRecord* stream = nullptr;
        OSStatus written = BeginFileBlockWrite(&file, -1, &stream);
        if (written == status::kNoErr) written = WriteAnnotationMap(stream, map);
        if (written == status::kNoErr)
            written = EndFileBlockWrite(&file, kBlockWriteReleaseFirst, kSheetAnnotationBlock, nullptr);
        st = EndDynamicFileSave(&file, written);
    }
    const OSStatus closed = CloseAndMaybeFlushDynamicFile(&file, true);
    return st != status::kNoErr ? st : closed;
}

OSStatus ReadSheetAnnotation(const FileSpec* spec, AnnotationMap** map) {
    *map = nullptr;
    return ReadSheetFileBlockAlone(spec, kSheetAnnotationBlock, [](StreamRecord* stream, bool, void* data) {
        return ReadAnnotationMap(stream, 0, static_cast<AnnotationMap**>(data));
    }, map);
}

void AddSheetFileServices(SheetServices& services, AnnotationContextHooks& hooks, ModelHooks& model) {
    services.enumFileSubSheets = EnumSheetFileSubSheets;
    services.fileSheetRank = ReadSheetFileRank;
    services.writeSheetAnnotation = WriteSheetAnnotation;
    services.openSheetRank = [](SheetRecord* sheet) -> uint16_t { return sheet->fileHeader.rank; };
    hooks.readSheetFileAnnotation = ReadSheetAnnotation;
    // Sheet records keep their file symbols in this layer's list.
    model.createFileSymbolList = CreateFileSymbolList;
    model.destroyFileSymbolList = DestroyFileSymbolList;
}

}  // namespace plexa
