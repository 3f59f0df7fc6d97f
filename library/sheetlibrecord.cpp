// The library record of a sheet file over a file-symbol list (see sheetlibrecord.h).
#include "library/sheetlibrecord.h"

#include <cstring>

#include "files/item_map.h"
#include "foundation/ll.h"

namespace plexa {

namespace {

// The growth step of the names block of a sheet's map.
constexpr int32_t kSheetLibraryNamesQuantum = 64;

}  // namespace

OSStatus BuildSheetLibraryRecord(const DynamicFileRecord* sheetFile, const FileSymbolList* list,
                                 LibraryFileRecord* record) {
    std::memset(static_cast<void*>(record), 0, sizeof *record);
    if (!sheetFile) return status::kParamErr;
    record->file = *sheetFile;
    record->flags = kLibrarySheetFile;
    if (CountFileSymbols(list) == 0) return status::kNoErr;
    record->names = CreateStringBlock(nullptr, kSheetLibraryNamesQuantum);
    record->map = record->names ? CreateLibraryItemMap(record->names) : nullptr;
    OSStatus st = record->map ? status::kNoErr : status::kOutOfMemory;
    for (auto* entry = static_cast<const FileSymbolEntry*>(LLFirst(list)); entry && !st; entry = entry->next) {
        if (!entry->item) continue;
        st = AddLibItemMapEntriesForData(record, entry->item, entry->position);
        if (st == status::kParamErr) st = status::kNoErr;  // no item with names
    }
    if (st == status::kNoErr) return st;
    DestroyLibraryItemMap(record->map, record->names);
    std::memset(static_cast<void*>(record), 0, sizeof *record);
    return st;
}

}  // namespace plexa
