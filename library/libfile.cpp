// Library files (see libfile.h for the stored form and the crash rules).
#include "library/libfile.h"

#include <algorithm>
#include <cstring>

#include "files/filesymbols.h"
#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "files/sheet_services.h"
#include "model/libitem.h"

namespace plexa {

namespace {

constexpr uint32_t kHeaderMapIdOffset = 4;
// The growth step of a new names block.
constexpr int32_t kNamesQuantum = 64;
// A recoded name: up to 1023 stored bytes, each at most three bytes of UTF-8.
constexpr int32_t kRecodeBufferSize = 3 * 1023 + 1;

LibraryWaitProc gWaitProc = nullptr;
PromptCreateLibraryProc gPromptProc = nullptr;

bool IsWritable(const LibraryFileRecord* record) {
    return !(record->file.flags & kDynamicFileReadOnly) && !(record->flags & kLibrarySheetFile);
}

void EncodeHeader(const LibraryFileHeader& header, uint8_t bytes[kLibraryHeaderSize]) {
    std::memcpy(bytes, &header, kLibraryHeaderSize);
    for (int i = 0; i < 4; ++i) bytes[kHeaderMapIdOffset + i] = uint8_t(header.mapBlockId >> (8 * i));
}

void DecodeHeader(const uint8_t bytes[kLibraryHeaderSize], LibraryFileHeader* header) {
    std::memcpy(header, bytes, kLibraryHeaderSize);
    const uint8_t* id = bytes + kHeaderMapIdOffset;
    header->mapBlockId = header->writtenHere == 1 ? GetLE32(id) : GetBE32(id);
}

// -40 unless the id names a block of the type.
OSStatus CheckBlockType(DynamicFileRecord* file, uint32_t id, uint8_t wanted) {
    uint32_t size;
    uint8_t type;
    if (OSStatus st = GetFileBlockInfo(file, id, &size, &type)) return st;
    return type == wanted ? status::kNoErr : status::kBadPosition;
}

// The stored DA array may ask for slots that carry no bytes (free runs); a map array is refused
// when the slots its header asks for would take more than 16 times the bytes left plus 1 MiB.
bool StoredArrayFits(const uint8_t* bytes, uint32_t left) {
    uint32_t at = 0;
    if (left < 8) return false;
    if (int32_t(GetBE32(bytes)) < 0) at = 8;  // the mark and the header size
    if (left < at + 4 * 9) return false;
    const uint8_t* words = bytes + at;
    const uint64_t stride = GetBE32(words + 4 * 1);
    const uint64_t perCluster = GetBE32(words + 4 * 4);
    const uint64_t clusters = GetBE32(words + 4 * 5);
    const uint32_t flags = GetBE32(words + 4 * 8);
    if (flags & kDAPacked) return true;  // every slot of a packed array carries its bytes
    return clusters * perCluster * stride <= 16 * uint64_t(left) + (uint64_t(1) << 20);
}

// Writes the map in its stored form; the reference value (the names block's address) is not
// stored, and the array is first compacted so that it holds no free slots.
OSStatus WriteMapArray(LibraryItemMap map, StreamRecord* stream) {
    if (DAArray moves = DACompact(map, false)) DADispose(moves);
    const uint64_t reference = DAGetRefCon(map);
    DASetRefCon(map, 0);
    const OSStatus st = DAWrite(map, stream, nullptr);
    DASetRefCon(map, reference);
    return st;
}

// Parses the content of an item-map block: digest, names, mark and entries. The entries are
// checked, swapped when the mark says so, their names recoded when the file is older than UTF-8
// names, and sorted again.
OSStatus ParseItemMapBlock(Handle block, bool namesUTF8, LibraryItemMap* outMap, StringBlock* outNames) {
    *outMap = nullptr;
    *outNames = nullptr;
    StreamRecord* stream = nullptr;
    if (OSStatus st = CreateStream(kStreamHandle, StreamTarget::OfHandle(block), &stream)) return st;
    StringBlock names = nullptr;
    LibraryItemMap map = nullptr;
    DAArray stored = nullptr;
    const OSStatus st = CatchSignals(
        [&] {
            if (GetStreamEnd(stream) < int32_t(kItemNamesDigestSize)) FailureSignal(kNotItemMapErr);
            Signal(SetStreamPosition(stream, kItemNamesDigestSize));
            Signal(ReadStringBlock(stream, nullptr, &names));
            uint16_t mark = 0;
            int32_t n = sizeof mark;
            Signal(StreamRead(stream, &mark, &n));
            if (mark != kLibraryMapMark && mark != 0x3412) FailureSignal(kNotItemMapErr);
            const bool swapped = mark != kLibraryMapMark;
            const int32_t at = GetStreamPosition(stream);
            if (!StoredArrayFits(reinterpret_cast<const uint8_t*>(*block) + at,
                                 uint32_t(GetStreamEnd(stream) - at)))
                FailureSignal(status::kParamErr);
            Signal(DAReadEx(nullptr, &stored, 0, stream, nullptr));
            if ((*stored)->itemSize != sizeof(LibraryItemMapEntry)) FailureSignal(status::kParamErr);
            map = CreateLibraryItemMap(names);
            if (!map) FailureSignal(status::kOutOfMemory);
            const uint32_t used = reinterpret_cast<const StringBlockHeader*>(*names)->used;
            char name[kRecodeBufferSize];
            char* address = nullptr;
            for (int32_t id = -1; DANextAddress(stored, &id, &address);) {
                LibraryItemMapEntry entry;
                std::memcpy(&entry, address, sizeof entry);
                if (swapped) ByteSwapTemplate(&entry, kLibraryItemMapEntryTemplate);
                const uint64_t end = uint64_t(StringSpecOffset(entry.name)) + StringSpecLength(entry.name);
                if (entry.name != 0 && (StringSpecOffset(entry.name) < kStringBlockHeaderSize || end > used))
                    FailureSignal(status::kParamErr);
                if (!namesUTF8) {
                    ExtractStringSpec(entry.name, names, name, sizeof name);
                    if (RecodeFromMacRomanIfNeeded(name, sizeof name, kEncodingUTF8)) {
                        entry.name = OverlayStringBlock(names, name, -1, nullptr);
                        if (entry.name == 0 && name[0] != 0) Signal(StringBlockAddStatus());
                    }
                }
                if (!AppendLibItemMapEntry(map, &entry)) FailureSignal(status::kOutOfMemory);
            }
            SortLibItemMap(map);
        },
        [&] {
            DestroyLibraryItemMap(map, names);
            map = nullptr;
            names = nullptr;
        });
    if (stored) DADispose(stored);
    DisposeStream(stream);
    if (st == status::kNoErr) {
        *outMap = map;
        *outNames = names;
    }
    return st;
}

}  // namespace

void SetLibraryWaitProc(LibraryWaitProc proc) {
    gWaitProc = proc;
}

LibraryWaitProc GetLibraryWaitProc() { return gWaitProc; }
PromptCreateLibraryProc GetPromptCreateLibraryProc() { return gPromptProc; }

void SetPromptCreateLibraryProc(PromptCreateLibraryProc proc) {
    gPromptProc = proc;
}

bool PromptCreateLibrary(FileSpec* spec) {
    return gPromptProc ? gPromptProc(spec) : false;
}

// ---- Files ----

OSStatus CreateLibraryFile(FileSpec* spec) {
    if (!spec) return status::kParamErr;
    bool made = false;
    LibraryFileRecord record{};
    return CatchSignals(
        [&] {
            Signal(CreateDynamicFile(spec, kLibraryCreator, kLibraryFileType, kLibraryFileType, kLibraryHeaderSize));
            made = true;
            Signal(OpenDynamicFile(spec, false, &record.file));
            record.header.mapInvalid = 1;
            Signal(WriteLibraryFileHeader(&record));
            Signal(BuildLibraryItemMap(&record));
            Signal(CloseLibraryFile(&record));
        },
        [&] {
            if (record.file.stream) (void)CloseAndMaybeFlushDynamicFile(&record.file, false);  // the first failure is the one reported
            DestroyLibraryItemMap(record.map, record.names);
            std::memset(static_cast<void*>(&record), 0, sizeof record);
            if (made) (void)VXDeleteFile(spec);  // best effort: the file made in vain
        });
}

OSStatus OpenLibraryFile(const FileSpec* spec, LibraryFileRecord* record, uint32_t mode) {
    std::memset(static_cast<void*>(record), 0, sizeof *record);
    OSStatus st = OpenDynamicFile(spec, (mode & kLibraryOpenReadOnly) != 0, &record->file);
    uint32_t cut = 0;
    if (st == status::kEndOfFile && (mode & kLibraryOpenRecoverCut) && !(mode & kLibraryOpenReadOnly) &&
        IsLibraryFile(spec) == status::kNoErr && CutShortLastFileBlock(spec, &cut) == status::kNoErr &&
        cut > 0) {
        // The items before the lost block are what the map is rebuilt from.
        st = OpenDynamicFile(spec, false, &record->file);
        mode |= kLibraryOpenRebuildMap;
    }
    if (st) {
        std::memset(static_cast<void*>(record), 0, sizeof *record);
        return st;
    }
    if (record->file.fileType != StringToFourChar(kLibraryFileType)) st = status::kUnknownFileKind;
    if (st == status::kNoErr) st = ReadLibraryFileHeader(&record->file, &record->header);
    if (st == status::kNoErr && (mode & kLibraryOpenRebuildMap))
        st = InvalidateDataMapInFile(record, &record->header);
    if (st == status::kNoErr && (mode & (kLibraryOpenLoadMap | kLibraryOpenRebuildMap))) {
        if (record->header.mapBlockId == 0 || record->header.mapInvalid) {
            st = BuildLibraryItemMap(record);
        } else {
            st = ReadItemMap(&record->file, &record->header, &record->map, &record->names);
        }
    }
    if (st) {
        (void)CloseAndMaybeFlushDynamicFile(&record->file, false);  // the open status is the one reported
        DestroyLibraryItemMap(record->map, record->names);
        std::memset(static_cast<void*>(record), 0, sizeof *record);
    } else if (cut > 0) {
        record->flags |= kLibraryCutShort;
        record->cutBytes = cut;
    }
    return st;
}

OSStatus CloseLibraryFile(LibraryFileRecord* record) {
    if (!record->file.stream) return status::kFileNotOpen;
    const bool sheet = record->flags & kLibrarySheetFile;
    const OSStatus st = sheet ? status::kNoErr : FlushLibraryFile(record);
    const OSStatus cs = CloseAndMaybeFlushDynamicFile(&record->file, !sheet);
    DestroyLibraryItemMap(record->map, record->names);
    std::memset(static_cast<void*>(record), 0, sizeof *record);
    return st ? st : cs;
}

OSStatus FlushLibraryFile(LibraryFileRecord* record) {
    if (!record->file.stream) return status::kFileNotOpen;
    if (!IsWritable(record)) return status::kNoErr;
    if (OSStatus st = WriteLibraryItemMap(record)) return st;
    return FlushDynamicFile(&record->file, true);
}

OSStatus BeginLibrarySave(LibraryFileRecord* record) {
    if (!record->file.stream) return status::kFileNotOpen;
    if (!IsWritable(record)) return status::kPermission;
    return BeginDynamicFileSave(&record->file);
}

OSStatus EndLibrarySave(LibraryFileRecord* record, OSStatus result) {
    const OSStatus st = EndDynamicFileSave(&record->file, result);
    if (st == status::kNoErr || InDynamicFileSave(&record->file) || !record->file.stream) return st;
    // Abandoned: the record follows the old file again. Its map is marked invalid on disk only
    // when it was so before, so reading it back writes nothing.
    record->flags &= kLibrarySheetFile;
    LibraryFileHeader header;
    if (ReadLibraryFileHeader(&record->file, &header) != status::kNoErr) return st;
    record->header = header;
    if (record->map) {
        DestroyLibraryItemMap(record->map, record->names);
        record->map = nullptr;
        record->names = nullptr;
        if (header.mapBlockId == 0 || header.mapInvalid) {
            if (BuildLibraryItemMap(record) != status::kNoErr) record->flags |= kLibraryRebuildMap;
        } else if (ReadItemMap(&record->file, &header, &record->map, &record->names) != status::kNoErr) {
            record->flags |= kLibraryRebuildMap;
        }
    }
    return st;
}

OSStatus WriteLibraryItemMap(LibraryFileRecord* record) {
    if (!record->file.stream) return status::kFileNotOpen;
    if (!IsWritable(record)) return status::kNoErr;
    LibraryFileHeader& header = record->header;
    return CatchSignals(
        [&] {
            if (record->flags & kLibraryRebuildMap) Signal(BuildLibraryItemMap(record));
            if (!header.mapInvalid) return;
            // The mark is on disk: the old map may go before the new one is complete.
            header.mapBlockId = 0;
            if (record->map) {
                ItemNamesDigest digest;
                BuildItemNamesDigest(record->map, record->names, &digest);
                Signal(DeleteTypedFileBlocks(&record->file, kLibraryMapBlockType));
                StreamRecord* stream = nullptr;
                Signal(BeginFileBlockWrite(&record->file, -1, &stream));
                Signal(StreamWrite(stream, digest.bytes, kItemNamesDigestSize));
                Signal(WriteStringBlock(stream, record->names));
                const uint16_t mark = kLibraryMapMark;
                Signal(StreamWrite(stream, &mark, sizeof mark));
                Signal(WriteMapArray(record->map, stream));
                uint32_t id = 0;
                Signal(EndFileBlockWrite(&record->file, 0, kLibraryMapBlockType, &id));
                // The new map is on disk before the header names it.
                Signal(FlushDynamicFile(&record->file, true));
                header.mapBlockId = id;
            }
            header.mapInvalid = 0;
            header.namesUTF8 = 1;
            Signal(WriteLibraryFileHeader(record));
        },
        [&] { header.mapInvalid = 1; });
}

OSStatus WriteLibraryFileHeader(LibraryFileRecord* record) {
    if (!record->file.stream) return status::kFileNotOpen;
    if (!IsWritable(record)) return status::kNoErr;
    record->header.writtenHere = 1;
    uint8_t bytes[kLibraryHeaderSize];
    EncodeHeader(record->header, bytes);
    int32_t length = kLibraryHeaderSize;
    return WriteDynamicFileHeader(&record->file, 0, bytes, &length);
}

OSStatus ReadLibraryFileHeader(DynamicFileRecord* file, LibraryFileHeader* header) {
    std::memset(header, 0, sizeof *header);
    uint8_t bytes[kLibraryHeaderSize];
    int32_t length = kLibraryHeaderSize;
    const OSStatus st = ReadDynamicFileHeader(file, 0, bytes, &length);
    if (st == status::kOutsideAppHeader || (st == status::kNoErr && length != int32_t(kLibraryHeaderSize)))
        return status::kUnknownFileKind;
    if (st) return st;
    DecodeHeader(bytes, header);
    return status::kNoErr;
}

OSStatus IsLibraryFile(const FileSpec* spec) {
    FourCharCode type = 0;
    if (OSStatus st = IsDynamicFileEx(spec, &type, 0, nullptr, nullptr)) return st;
    return type == StringToFourChar(kLibraryFileType) ? status::kNoErr : status::kUnknownFileKind;
}

// ---- Item map ----

OSStatus BuildLibraryItemMap(LibraryFileRecord* record) {
    if (!record->file.stream) return status::kFileNotOpen;
    if (OSStatus st = InvalidateDataMapInFile(record, &record->header)) return st;
    if (record->map && record->names) {
        DARemoveAll(record->map);
        EmptyStringBlock(record->names, false);
    } else {
        DestroyLibraryItemMap(record->map, record->names);
        record->names = CreateStringBlock(nullptr, kNamesQuantum);
        record->map = record->names ? CreateLibraryItemMap(record->names) : nullptr;
    }
    OSStatus st = record->map ? status::kNoErr : status::kOutOfMemory;
    // Items that a stopped writer left half written go before anything else is allocated.
    if (st == status::kNoErr && IsWritable(record))
        st = DeleteTypedFileBlocks(&record->file, kLibraryPendingItemBlockType);
    uint32_t offset = 0, size = 0;
    for (bool first = true; st == status::kNoErr; first = false) {
        // A damaged chain (only a read-only file can have one) ends the walk: the items before
        // the damage are kept.
        if (FindFileBlock(&record->file, kLibraryItemBlockType, &offset, &size, first) != status::kNoErr ||
            offset == 0)
            break;
        if (gWaitProc) gWaitProc();
        Handle item = nullptr;
        st = LoadFileBlock(&record->file, offset, &item);
        // Bytes that are not an item with names are no item of the map.
        if (st == status::kNoErr && CheckFlattenedLibraryItemNames(item, nullptr) == status::kNoErr)
            st = AppendLibItemMapEntries(record->map, item, offset);
        if (item) MemFree(item);
    }
    if (st) {
        DestroyLibraryItemMap(record->map, record->names);
        record->map = nullptr;
        record->names = nullptr;
        return st;
    }
    SortLibItemMap(record->map);
    record->flags &= ~kLibraryRebuildMap;
    return status::kNoErr;
}

OSStatus ReadItemMap(DynamicFileRecord* file, const LibraryFileHeader* header, LibraryItemMap* outMap,
                     StringBlock* outNames) {
    *outMap = nullptr;
    *outNames = nullptr;
    LibraryFileHeader read;
    if (!header) {
        if (OSStatus st = ReadLibraryFileHeader(file, &read)) return st;
        header = &read;
    }
    if (header->mapBlockId == 0 || header->mapInvalid) return status::kNoErr;
    uint32_t size;
    uint8_t type;
    if (OSStatus st = GetFileBlockInfo(file, header->mapBlockId, &size, &type)) return st;
    if (type != kLibraryMapBlockType) return kNotItemMapErr;
    Handle block = nullptr;
    if (OSStatus st = LoadFileBlock(file, header->mapBlockId, &block)) return st;
    const OSStatus st = ParseItemMapBlock(block, header->namesUTF8 != 0, outMap, outNames);
    MemFree(block);
    return st;
}

OSStatus LoadLibraryFileItemMap(const FileSpec* spec, LibraryItemMap* outMap, StringBlock* outNames) {
    *outMap = nullptr;
    *outNames = nullptr;
    LibraryFileRecord record;
    if (OSStatus st = OpenLibraryFile(spec, &record, kLibraryOpenReadOnly)) return st;
    const OSStatus st = ReadItemMap(&record.file, &record.header, outMap, outNames);
    (void)CloseLibraryFile(&record);  // read only: the map status is the one reported
    return st;
}

OSStatus InvalidateDataMapInFile(LibraryFileRecord* record, LibraryFileHeader* header) {
    if (header->mapInvalid) return status::kNoErr;
    if (IsWritable(record)) {
        const uint8_t invalid = 1;
        int32_t length = 1;
        OSStatus st = WriteDynamicFileHeader(&record->file, 0, &invalid, &length);
        if (st == status::kNoErr) st = FlushDynamicFile(&record->file, true);
        if (st) return st;
    }
    header->mapInvalid = 1;
    return status::kNoErr;
}

OSStatus AddLibItemMapEntriesForData(LibraryFileRecord* record, Handle flatItem, uint32_t blockId) {
    if (!record->map || !record->names) return status::kParamErr;
    return AddLibItemMapEntries(record->map, flatItem, blockId);
}

OSStatus CheckLibraryFileDigest(const FileSpec* spec, const ItemNamesDigest* query, int32_t queryRows,
                                ItemNamesDigest* outDigest, LibraryItemMap* outMap, StringBlock* outNames) {
    std::memset(outDigest, 0, sizeof *outDigest);
    if (outMap) *outMap = nullptr;
    if (outNames) *outNames = nullptr;
    DynamicFileRecord file;
    if (OSStatus st = OpenDynamicFile(spec, true, &file)) return st;
    const bool wantMap = query && outMap && outNames;
    bool haveDigest = false;
    // The digest block: the map of a library, block 12 of a sheet.
    uint32_t block = 0, size = 0;
    OSStatus st = status::kNoErr;
    LibraryFileHeader header{};
    if (file.fileType == StringToFourChar(kLibraryFileType)) {
        st = ReadLibraryFileHeader(&file, &header);
        if (st == status::kNoErr && header.mapBlockId != 0 && !header.mapInvalid) {
            uint8_t type = 0;
            st = GetFileBlockInfo(&file, header.mapBlockId, &size, &type);
            if (st == status::kNoErr && type != kLibraryMapBlockType) st = kNotItemMapErr;
            block = header.mapBlockId;
        }
    } else if (file.fileType == kSheetFileType) {
        st = FindFileBlock(&file, kSheetFileSymbolsBlock, &block, &size, true);
    } else {
        st = status::kUnknownFileKind;
    }
    if (st == status::kNoErr && block != 0) {
        int32_t length = kItemNamesDigestSize;
        st = ReadFileBlock(&file, block, outDigest->bytes, &length);
        if (st == status::kNoErr && length != int32_t(kItemNamesDigestSize))
            st = file.fileType == kSheetFileType ? status::kEndOfFile : kNotItemMapErr;
        haveDigest = st == status::kNoErr;
    }
    if (haveDigest && wantMap && IsSubDigest(query, queryRows, outDigest, kDigestRows)) {
        st = file.fileType == StringToFourChar(kLibraryFileType) ? ReadItemMap(&file, &header, outMap, outNames)
                                                                 : kNoFileSymbolsErr;
    }
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    if (!haveDigest) std::memset(outDigest, 0, sizeof *outDigest);
    return st;
}

// ---- Items ----

OSStatus WriteLibraryFileItem(LibraryFileRecord* record, Handle flatItem, bool addToMap, uint32_t* outBlockId) {
    *outBlockId = 0;
    if (!record->file.stream) return status::kFileNotOpen;
    if (!IsWritable(record)) return status::kPermission;
    if (CheckFlattenedLibraryItemNames(flatItem, nullptr) != status::kNoErr) return status::kParamErr;
    if (OSStatus st = InvalidateDataMapInFile(record, &record->header)) return st;
    // Written as a pending block, and made an item once all its bytes are in the file.
    uint32_t id = 0;
    OSStatus st = WriteFileBlock(&record->file, kLibraryPendingItemBlockType, SizeOfHandle(flatItem), *flatItem, &id);
    if (st) return st;
    st = FlushStreamBuffer(record->file.stream, false);
    if (st == status::kNoErr) st = SetFileBlockType(&record->file, id, kLibraryItemBlockType);
    if (st) {
        (void)ReleaseFileBlock(&record->file, id);  // undoing: the write status is the one reported
        return st;
    }
    *outBlockId = id;
    if (addToMap && record->map && record->names) {
        st = AddLibItemMapEntries(record->map, flatItem, id);
        if (st) record->flags |= kLibraryRebuildMap;
        return st;
    }
    record->flags |= kLibraryRebuildMap;
    return status::kNoErr;
}

OSStatus DeleteLibraryFileItem(LibraryFileRecord* record, uint32_t blockId, bool removeFromMap) {
    if (!record->file.stream) return status::kFileNotOpen;
    if (record->flags & kLibrarySheetFile) return status::kPermission;
    if (OSStatus st = CheckBlockType(&record->file, blockId, kLibraryItemBlockType)) return st;
    if (!IsWritable(record)) return status::kPermission;
    // A release the file would refuse changes nothing, the item map's mark included.
    if (OSStatus st = CheckFileBlockRelease(&record->file, blockId)) return st;
    if (OSStatus st = InvalidateDataMapInFile(record, &record->header)) return st;
    if (OSStatus st = ReleaseFileBlock(&record->file, blockId)) return st;
    record->flags |= kLibraryItemDeleted;
    if (removeFromMap && record->map && record->names) {
        RemoveLibItemMapEntries(record->map, blockId);
    } else {
        record->flags |= kLibraryRebuildMap | kLibraryItemDeleted;
    }
    return status::kNoErr;
}

OSStatus LoadLibraryFileItem(LibraryFileRecord* record, uint32_t blockId, Handle* outHandle) {
    *outHandle = nullptr;
    if (!record->file.stream) return status::kFileNotOpen;
    if (record->flags & kLibrarySheetFile) return LoadLibraryItemFromSheet(&record->file, blockId, outHandle);
    if (OSStatus st = CheckBlockType(&record->file, blockId, kLibraryItemBlockType)) return st;
    return LoadFileBlock(&record->file, blockId, outHandle);
}

OSStatus LoadLibraryItemFromSheet(DynamicFileRecord* file, uint32_t position, Handle* outItem) {
    *outItem = nullptr;
    if (file->fileType != kSheetFileType) return status::kUnknownFileKind;
    // An installed reader (tests) stands in for the sheet file's own.
    const SheetServices& services = GetSheetServices();
    const OSStatus st = services.readOneFileSymbol ? services.readOneFileSymbol(file, position, outItem)
                                                   : ReadSheetFileSymbol(file, position, outItem);
    if (st != status::kNoErr && *outItem) {
        MemFree(*outItem);
        *outItem = nullptr;
    }
    return st;
}

}  // namespace plexa
