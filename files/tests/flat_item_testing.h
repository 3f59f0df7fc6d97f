// Test helpers over flattened library items and item maps: items made from their names (the head
// and the name list laid out by hand, then opaque bytes), handles over bytes, and a map's names.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/libitem.h"
#include "files/item_map.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "tests/support/foundation_testing.h"

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

}  // namespace plexa::test
