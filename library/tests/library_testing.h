// Test helpers of the library folder: library files in a scratch folder (flattened items made from
// their names come from the files folder's helpers).
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/tests/flat_item_testing.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "library/libfile.h"
#include "model/libitem.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

inline FileSpec SpecOf(const std::string& path) {
    FileSpec spec;
    EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
    return spec;
}

// A library record closed (without questions) when the object goes.
struct OpenLibrary {
    LibraryFileRecord record{};
    OSStatus status = 0;
    OpenLibrary(const std::string& path, uint32_t mode) {
        FileSpec spec = SpecOf(path);
        status = OpenLibraryFile(&spec, &record, mode);
    }
    ~OpenLibrary() {
        if (record.file.stream) (void)CloseLibraryFile(&record);  // a damaged file may not close cleanly; Close() is checked where it counts
    }
    OpenLibrary(const OpenLibrary&) = delete;
    OpenLibrary& operator=(const OpenLibrary&) = delete;
    OSStatus Close() { return CloseLibraryFile(&record); }
    std::vector<std::string> Names() const { return MapNames(record.map); }
    uint32_t Write(const std::string& bytes) {
        FlatHandle item(bytes);
        uint32_t id = 0;
        EXPECT_EQ(WriteLibraryFileItem(&record, item, true, &id), 0);
        return id;
    }
    std::string Load(uint32_t id) {
        Handle h = nullptr;
        EXPECT_EQ(LoadLibraryFileItem(&record, id, &h), 0) << id;
        std::string bytes = HandleBytes(h);
        if (h) MemFree(h);
        return bytes;
    }
    // The block of the entry with the name, 0 when none.
    uint32_t Block(const std::string& name) const {
        for (int32_t i = 0; i < CountLibItemMapEntries(record.map); ++i) {
            LibraryItemMapEntry entry;
            GetLibItemMapEntry(record.map, i, &entry);
            char found[kStringSpecBufferSize];
            GetLibItemMapEntryName(record.map, &entry, found, sizeof found);
            if (name == found) return entry.blockId;
        }
        return 0;
    }
};

inline void MakeLibrary(const std::string& path) {
    FileSpec spec = SpecOf(path);
    ASSERT_EQ(CreateLibraryFile(&spec), 0) << path;
}

}  // namespace plexa::test
