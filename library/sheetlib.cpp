// Sheet files used as libraries (see sheetlib.h).
#include "library/sheetlib.h"

#include <cstring>

#include "files/filesymbols.h"
#include "files/sheet_services.h"
#include "files/sheetfile.h"
#include "foundation/ll.h"
#include "foundation/byteswap.h"
#include "foundation/dynfile.h"
#include "files/item_map.h"

namespace plexa {

namespace {

// The growth step of the names block of a sheet's map.
constexpr int32_t kSheetNamesQuantum = 64;
// What the walk answers to stop at the first file symbol.
constexpr OSStatus kFoundOne = 1;

// The sheet's file symbols in their block's order, through the sheet services (tests stand in
// for the sheet file's own reader there).
OSStatus EnumFileSymbols(DynamicFileRecord* file, FileSymbolProc proc, void* data) {
    const SheetServices& services = GetSheetServices();
    return services.enumFileSymbols ? services.enumFileSymbols(file, proc, data)
                                    : EnumSheetFileSymbols(file, proc, data);
}

// A file symbol whose bytes are not an item with names is passed over, as a library's rebuild
// passes over such blocks.
OSStatus AddSymbolEntries(uint32_t position, Handle flatItem, void* data) {
    const OSStatus st = AppendLibItemMapEntries(static_cast<LibraryItemMap>(data), flatItem, position);
    return st == status::kParamErr ? status::kNoErr : st;
}

}  // namespace

bool IsSheetWithFileSymbols(const FileSpec* spec) {
    DynamicFileRecord file;
    if (OpenDynamicFile(spec, true, &file) != status::kNoErr) return false;
    bool found = false;
    if (file.fileType == kSheetFileType)
        found = EnumFileSymbols(&file, [](uint32_t, Handle, void*) { return kFoundOne; }, nullptr) == kFoundOne;
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    return found;
}

OSStatus OpenSheetAsLibrary(const FileSpec* spec, LibraryFileRecord* record) {
    std::memset(static_cast<void*>(record), 0, sizeof *record);
    if (OSStatus st = OpenDynamicFile(spec, true, &record->file)) {
        std::memset(static_cast<void*>(record), 0, sizeof *record);
        return st;
    }
    record->flags = kLibrarySheetFile;
    OSStatus st = record->file.fileType == kSheetFileType ? status::kNoErr
                                                                             : status::kUnknownFileKind;
    if (st == status::kNoErr) {
        record->names = CreateStringBlock(nullptr, kSheetNamesQuantum);
        record->map = record->names ? CreateLibraryItemMap(record->names) : nullptr;
        if (!record->map) st = status::kOutOfMemory;
    }
    if (st == status::kNoErr) st = EnumFileSymbols(&record->file, AddSymbolEntries, record->map);
    if (st == status::kNoErr && CountLibItemMapEntries(record->map) == 0) st = kNoFileSymbolsErr;
    if (st == status::kNoErr) {
        SortLibItemMap(record->map);
        return status::kNoErr;
    }
    (void)CloseAndMaybeFlushDynamicFile(&record->file, false);  // the open status is the one reported
    DestroyLibraryItemMap(record->map, record->names);
    std::memset(static_cast<void*>(record), 0, sizeof *record);
    return st;
}

OSStatus OpenLibraryForReading(const FileSpec* spec, bool isSheet, LibraryFileRecord* record) {
    return isSheet ? OpenSheetAsLibrary(spec, record)
                   : OpenLibraryFile(spec, record, kLibraryOpenReadOnly | kLibraryOpenLoadMap);
}

}  // namespace plexa
