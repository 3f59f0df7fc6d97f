// The block listing of a sheet file (see sheetfile_dump.h).
#include "files/sheetfile_dump.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "files/filesymbols.h"
#include "model/libitem.h"
#include "files/sheetblocks.h"
#include "files/sheetexports.h"
#include "files/sheetfile.h"
#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/da.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/sheet.h"

namespace plexa {

namespace {

void Add(std::string* out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    *out += line;
}

const char* BlockName(uint8_t type) {
    switch (type) {
        case kSheetHeaderBlock: return "header";
        case kSheetSubSheetRefsBlock: return "sub-sheet references";
        case kSheetStringBlock: return "string block";
        case kSheetContentsBlock: return "contents";
        case kSheetExportedAttributesBlock: return "exported attributes";
        case kSheetExportsBlock: return "exports table";
        case kSheetTextThemesBlock: return "text themes";
        case kSheetOpaqueDataBlock: return "opaque sheet data";
        case kSheetAnnotationBlock: return "annotation map";
        case kSheetElementsBlock: return "graphic elements";
        case kSheetFileSymbolsBlock: return "file symbols";
        case kSheetImageListBlock: return "image list";
        case kSheetPrintRecordBlock: return "print record";
        case kSheetTextFramesBlock: return "text frames";
        case kFreeBlockType: return "free";
        default: return "unknown";
    }
}

std::string Code(FourCharCode code) {
    char text[5];
    FourCharToString(code, text);
    for (int i = 0; i < 4; ++i)
        if (uint8_t(text[i]) < 0x20 || uint8_t(text[i]) > 0x7E) text[i] = '?';
    return text;
}

void Failed(std::string* out, OSStatus st) { Add(out, " damaged (status %d)\n", st); }

void DumpHeader(const uint8_t* bytes, uint32_t size, std::string* out) {
    if (size < 4) {
        Failed(out, status::kUnknownFileKind);
        return;
    }
    uint8_t header[kSheetFileHeaderSize] = {};
    std::memcpy(header, bytes, size < sizeof header ? size : sizeof header);
    const bool swapped = GetNative16(header + 2, false) != kSheetFileMark;
    if (swapped) ByteSwapTemplate(header, kSheetFileHeaderTemplate);
    SheetFileHeader h;
    std::memcpy(&h, header, sizeof h);
    Add(out, " version %u, %s order, platform %s, saved %u times, rank %u\n", h.version,
        swapped ? "other" : "this", Code(GetBE32(header + 4)).c_str(), h.saveCounter, h.rank);
}

void DumpReferences(StreamRecord* stream, bool swap, std::string* out) {
    LinkListHeader* list = nullptr;
    if (OSStatus st = ReadSheetFileReferences(stream, swap, &list)) return Failed(out, st);
    Add(out, " %u references\n", list ? list->count : 0);
    char subSheet[kSheetFileReferenceNameSize], symbol[kSheetFileReferenceNameSize];
    for (auto* entry = static_cast<SheetFileReference*>(LLFirst(list)); entry; entry = entry->next) {
        uint32_t serial = 0;
        uint16_t flags = 0;
        ExtractSheetFileReference(list, entry, &serial, subSheet, symbol, &flags);
        Add(out, "    serial %u, sub-sheet \"%s\", symbol \"%s\", flags 0x%04X\n", serial, subSheet, symbol, flags);
    }
    DestroySheetFileReferences(list);
}

void DumpStrings(StreamRecord* stream, std::string* out) {
    StringBlock block = nullptr;
    if (OSStatus st = ReadStringBlock(stream, nullptr, &block)) return Failed(out, st);
    const auto* header = reinterpret_cast<const StringBlockHeader*>(*block);
    Add(out, " %u of %u bytes used\n", header->used, header->allocated);
    DestroyStringBlock(block);
}

void DumpExportedAttributes(StreamRecord* stream, bool swap, std::string* out) {
    uint8_t word[4];
    int32_t n = 2;
    if (OSStatus st = StreamRead(stream, word, &n)) return Failed(out, st);
    uint32_t runs = 0, attributes = 0;
    for (;;) {
        n = 2;
        if (OSStatus st = StreamRead(stream, word, &n)) return Failed(out, st);
        const uint16_t count = GetNative16(word, swap);
        if (count == 0) break;
        n = 4 + count * 12;
        if (OSStatus st = StreamRead(stream, nullptr, &n)) return Failed(out, st);
        ++runs;
        attributes += count;
    }
    Add(out, " %u runs, %u attributes\n", runs, attributes);
}

void DumpExports(StreamRecord* stream, bool swap, std::string* out) {
    SheetExportsTable table = nullptr;
    if (OSStatus st = ReadSheetExportsTable(stream, swap, &table)) return Failed(out, st);
    Add(out, " %d exports\n", DACount(table));
    SheetExportEntry entry;
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, name, sizeof name); ++i)
        Add(out, "    \"%s\", port type 0x%X, serial %u, pin %u, kind 0x%X\n", name, entry.portType,
            entry.serial, entry.pinIndex, entry.kind);
    DestroySheetExportsTable(table);
}

void DumpAnnotation(const uint8_t* bytes, uint32_t size, std::string* out) {
    if (size < 4) return Failed(out, status::kEndOfFile);
    const bool swap = GetNative16(bytes, false) != kSheetFileMark;
    Add(out, " %s order, %u updates without the sheet\n", swap ? "other" : "this", GetNative16(bytes + 2, swap));
}

void DumpElements(StreamRecord* stream, bool swap, std::string* out) {
    uint8_t word[4];
    int32_t n = 4;
    if (OSStatus st = StreamRead(stream, word, &n)) return Failed(out, st);
    const uint32_t headMark = GetNative32(word, swap);
    uint32_t count = 0;
    for (;;) {
        n = 4;
        if (OSStatus st = StreamRead(stream, word, &n)) return Failed(out, st);
        const int32_t tail = int32_t(GetNative32(word, swap));
        if (tail < 0) break;
        if (headMark < 4) return Failed(out, status::kUnknownFileKind);
        // In 64 bits before anything adds: a head and a tail may pass 2^31 together.
        if (int64_t(headMark - 4) + tail > GetStreamEnd(stream) - GetStreamPosition(stream))
            return Failed(out, status::kEndOfFile);
        n = int32_t(headMark - 4) + tail;
        if (OSStatus st = StreamRead(stream, nullptr, &n)) return Failed(out, st);
        ++count;
    }
    Add(out, " head of %u bytes, %u elements\n", headMark >= 4 ? headMark - 4 : 0, count);
}

void DumpFileSymbols(StreamRecord* stream, std::string* out) {
    FileSymbolList* list = CreateFileSymbolList();
    if (!list) return Failed(out, status::kOutOfMemory);
    if (OSStatus st = ReadFileSymbols(stream, list, true)) {
        DestroyFileSymbolList(list);
        return Failed(out, st);
    }
    Add(out, " %d file symbols\n", CountFileSymbols(list));
    char name[kFlatItemNameBufferSize];
    for (auto* entry = static_cast<FileSymbolEntry*>(LLFirst(list)); entry; entry = entry->next) {
        GetFlattenedLibraryItemName(entry->item, 0, name, sizeof name);
        Add(out, "    at %u, %u bytes, \"%s\"\n", entry->position, SizeOfHandle(entry->item), name);
    }
    DestroyFileSymbolList(list);
}

void DumpBlock(DynamicFileRecord* file, uint32_t offset, uint32_t size, uint8_t type, bool swap,
               std::string* out) {
    Add(out, "block %u %s at %u, %u bytes:", type, BlockName(type), offset, size);
    if (type == kFreeBlockType) {
        *out += "\n";
        return;
    }
    Handle bytes = nullptr;
    if (OSStatus st = LoadFileBlock(file, offset, &bytes)) return Failed(out, st);
    StreamRecord* stream = nullptr;
    if (OSStatus st = CreateStream(kStreamHandle, StreamTarget::OfHandle(bytes), &stream)) {
        MemFree(bytes);
        return Failed(out, st);
    }
    EnableStreamReadByteSwap(stream, swap);
    const auto* data = reinterpret_cast<const uint8_t*>(*bytes);
    switch (type) {
        case kSheetHeaderBlock: DumpHeader(data, size, out); break;
        case kSheetSubSheetRefsBlock: DumpReferences(stream, swap, out); break;
        case kSheetStringBlock: DumpStrings(stream, out); break;
        case kSheetExportedAttributesBlock: DumpExportedAttributes(stream, swap, out); break;
        case kSheetExportsBlock: DumpExports(stream, swap, out); break;
        case kSheetAnnotationBlock: DumpAnnotation(data, size, out); break;
        case kSheetElementsBlock: DumpElements(stream, swap, out); break;
        case kSheetFileSymbolsBlock: DumpFileSymbols(stream, out); break;
        case kSheetImageListBlock:
            if (size < 4) Failed(out, status::kEndOfFile);
            else Add(out, " %u images\n", GetBE32(data));
            break;
        default: *out += "\n";
    }
    DisposeStream(stream);
    MemFree(bytes);
}

}  // namespace

OSStatus ListSheetFileBlocks(const FileSpec* spec, std::string* out) {
    out->clear();
    DynamicFileRecord file;
    if (OSStatus st = OpenSheetFile(spec, true, &file, nullptr)) return st;
    SheetWindowState state;
    if (ReadSheetWindowState(&file, &state) == status::kNoErr) {
        Add(out, "window state: scale %u, tools %s, position %d %d %d %d, view at %d %d, panes %u %u\n",
            state.scale, state.toolsExpanded ? "expanded" : "folded", state.position.top,
            state.position.left, state.position.bottom, state.position.right, state.viewTop,
            state.viewLeft, state.paneWidths[0], state.paneWidths[1]);
    } else {
        *out += "window state: none\n";
    }
    uint8_t flag[2] = {};
    int32_t length = sizeof flag;
    (void)ReadDynamicFileHeader(&file, kSheetFileSymbolsFlagOffset, flag, &length);  // a missing flag reads as zero
    Add(out, "file symbols flag: 0x%02X%02X\n", flag[0], flag[1]);
    // The header block decides the order of the others.
    bool swap = false;
    uint32_t at = 0, size = 0;
    uint8_t mark[4] = {};
    int32_t read = sizeof mark;
    if (FindFileBlock(&file, kSheetHeaderBlock, &at, &size, true) == status::kNoErr && at != 0 &&
        ReadFileBlock(&file, at, mark, &read) == status::kNoErr && read == int32_t(sizeof mark))
        swap = GetNative16(mark + 2, false) != kSheetFileMark;
    OSStatus st = status::kNoErr;
    for (uint32_t offset = 0;;) {
        uint8_t type = 0;
        st = ScanFileBlocks(&file, &offset, &size, &type);
        if (st != status::kNoErr || offset == 0) break;
        DumpBlock(&file, offset, size, type, swap, out);
    }
    if (st != status::kNoErr) Add(out, "the blocks end damaged (status %d)\n", int(st));
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    return st;
}

}  // namespace plexa
