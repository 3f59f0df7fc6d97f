// Test helpers of the library folder: flattened items made from their names (the head and the name
// list laid out by hand, then opaque bytes), and library files in a scratch folder.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "library/libfile.h"
#include "model/libitem.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

// The bytes of a flattened item: mark 0x1234 in native order, the stamp big-endian, valid 1,
// version 4, a head with the kind and flags, 12 zero bytes, the names (package index 0 each) and
// the ending zero, then the payload.
inline std::string FlatItemBytes(const std::vector<std::string>& names, uint8_t kind = kLibItemComponent,
                                 const std::string& payload = {}, uint32_t stamp = 0,
                                 uint8_t flags = kLibItemFlagUTF8) {
    std::string b;
    const uint16_t mark = 0x1234;
    b.append(reinterpret_cast<const char*>(&mark), 2);
    for (int i = 3; i >= 0; --i) b.push_back(char(stamp >> (8 * i)));
    b.push_back(1);                      // valid
    const uint16_t version = 4;
    b.append(reinterpret_cast<const char*>(&version), 2);
    b.append(4, '\0');                   // reference prefix
    b.push_back(1);                      // symbol definitions
    b.push_back(0);                      // packages
    b.push_back(char(kind));
    b.push_back(char(flags));
    b.append(4, '\0');                   // attribute count, two spare bytes
    b.append(12, '\0');
    for (const std::string& name : names) {
        b.push_back(char(name.size()));
        b += name;
        b.append(2, '\0');
    }
    b.push_back(0);
    return b + payload;
}

inline std::string HandleBytes(Handle h) {
    return h ? std::string(*h, SizeOfHandle(h)) : std::string();
}

// The names of a map in its order, primary and aliases alike.
inline std::vector<std::string> MapNames(LibraryItemMap map) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < CountLibItemMapEntries(map); ++i) {
        LibraryItemMapEntry entry;
        GetLibItemMapEntry(map, i, &entry);
        char name[kStringSpecBufferSize];
        GetLibItemMapEntryName(map, &entry, name, sizeof name);
        names.push_back(name);
    }
    return names;
}

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
        if (record.file.stream) CloseLibraryFile(&record);
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
