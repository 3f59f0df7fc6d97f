// Opens fuzzed bytes as a library file every way the program does: read-only with its stored map,
// read-only with the map rebuilt from the items, and writable (an item added, the first one
// deleted, the file saved and opened again). Every item the map lists is read and inflated, the
// digest built, and the file checked as lib-tool does. Whatever the bytes, each step ends with a
// status.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/tempfiles.h"
#include "library/lib_tool.h"
#include "library/libfile.h"
#include "model/libitem.h"

namespace {

using namespace plexa;

// A small flattened item: the fixed head, one name and the end of the names.
std::string SmallItem() {
    std::string b = {0x34, 0x12, 0, 0, 0, 0, 1, 4, 0};  // mark, stamp, valid, version 4
    b.append(4, '\0');                                  // reference prefix
    b += std::string{1, 0, 0, 1, 0, 0, 0, 0};           // counts, kind, UTF-8 flag, attributes
    b.append(12, '\0');
    b += std::string{3, 'N', 'E', 'W', 0, 0, 0};
    return b;
}

void UseMap(LibraryFileRecord* record) {
    ItemNamesDigest digest;
    BuildItemNamesDigest(record->map, record->names, &digest);
    for (int32_t i = 0; i < CountLibItemMapEntries(record->map); ++i) {
        LibraryItemMapEntry entry;
        GetLibItemMapEntry(record->map, i, &entry);
        char name[kStringSpecBufferSize];
        GetLibItemMapEntryName(record->map, &entry, name, sizeof name);
        Handle item = nullptr;
        if (LoadLibraryFileItem(record, entry.blockId, &item) == 0) {
            char first[kFlatItemNameBufferSize];
            GetFlattenedLibraryItemName(item, 0, first, sizeof first);
            LibraryItem* inflated = nullptr;
            if (InflateLibraryItem(item, &inflated, false) == 0) DestroyLibraryItem(inflated);
            MemFree(item);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DirectoryRef folder;
    if (VXGetTempDirectory(&folder) != 0) return 0;
    const std::string path = std::string(folder.bytes, folder.length) + "/fuzz.LBX";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;
    FileSpec spec;
    if (FileSpecFromURL(path, &spec, false, nullptr) != 0) return 0;

    for (uint32_t mode : {kLibraryOpenReadOnly | kLibraryOpenLoadMap, kLibraryOpenReadOnly | kLibraryOpenRebuildMap}) {
        LibraryFileRecord record;
        if (OpenLibraryFile(&spec, &record, mode) != 0) continue;
        UseMap(&record);
        (void)CloseLibraryFile(&record);  // fuzzing: only no crash counts
    }
    ItemNamesDigest query, digest;
    const int32_t rows = StringToDigest("NEW", &query, false);
    LibraryItemMap map = nullptr;
    StringBlock names = nullptr;
    (void)CheckLibraryFileDigest(&spec, &query, rows, &digest, &map, &names);  // fuzzing: only no crash counts
    DestroyLibraryItemMap(map, names);

    std::string out, err;
    const char* check[] = {"lib-tool", "check", path.c_str()};
    (void)RunLibTool(3, check, &out, &err);  // fuzzing: only no crash counts

    LibraryFileRecord record;
    if (OpenLibraryFile(&spec, &record, kLibraryOpenLoadMap) == 0) {
        const std::string bytes = SmallItem();
        Handle item = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        uint32_t id = 0;
        if (item) (void)WriteLibraryFileItem(&record, item, true, &id);  // fuzzing: only no crash counts
        MemFree(item);
        LibraryItemMapEntry first;
        if (GetLibItemMapEntry(record.map, 0, &first) && first.blockId != id)
            (void)DeleteLibraryFileItem(&record, first.blockId, true);  // fuzzing: only no crash counts
        if (CloseLibraryFile(&record) == 0 && OpenLibraryFile(&spec, &record, kLibraryOpenReadOnly | kLibraryOpenLoadMap) == 0) {
            UseMap(&record);
            (void)CloseLibraryFile(&record);  // fuzzing: only no crash counts
        }
    }
    return 0;
}
