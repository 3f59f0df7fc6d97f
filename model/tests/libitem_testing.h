// Helpers of the library item tests: drawings written by hand in either byte order, items built
// through the item's own operations, a canonical text dump of an item, and a walker over the
// flattened form that finds its fields and rewrites it in the other byte order or as an older
// version (so that those fixtures come from the layout, not from the reader under test).
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "model/attributes.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/tests/model_testing.h"
#include "tests/support/foundation_testing.h"

namespace plexa::test {

constexpr uint32_t kTestStamp = 0x2A2B2C2D;

constexpr int64_t kNoImage = INT64_MIN;

// The bytes of a drawing: a zero head, the list header, an image with the id unless there is
// none, a rectangle whose corner is the seed, and the end. In this machine's order, or in the
// other one.
inline std::string DrawingBytes(uint8_t seed, int64_t imageId = kNoImage, bool other = false) {
    std::string list = std::string(16, '\0') + Hex(other ? "0306 1234 0000 0000" : "0306 3412 0000 0000") +
                       Hex("3001");
    if (imageId != kNoImage) {
        uint8_t id[4];
        if (other) PutBE32(id, uint32_t(imageId)); else PutLE32(id, uint32_t(imageId));
        list += Hex(other ? "56E9 000A" : "56E9 0A00") + std::string(reinterpret_cast<char*>(id), 4) +
                Hex(other ? "0048 0048 0000" : "4800 4800 0000") + Hex("0530 0000 0303");
    }
    return list + Hex("0530") + std::string(1, char(seed)) + Hex("00 141E 00FF");
}

inline Ptr Block(const std::string& bytes) {
    return AllocPtrWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
}

inline Ptr Drawing(uint8_t seed, int64_t imageId = kNoImage) { return Block(DrawingBytes(seed, imageId)); }

inline uint16_t* Ids(const std::vector<uint16_t>& ids) {
    return reinterpret_cast<uint16_t*>(
        AllocPtrWithData(nullptr, ids.data(), uint32_t(ids.size() * sizeof(uint16_t))));
}

inline std::string Text(StringSpec spec, StringBlock block) {
    char text[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, text, sizeof text);
    return text;
}

// A pin-data record added to the item's table; its id.
inline uint32_t AddPin(LibraryItem* item, const char* name, uint8_t type = kPinPassive,
                       const char* signal = nullptr) {
    Handle record = CreateNewPinData();
    SetPinDataName(record, item->stringBlock, name);
    SetPinDataType(record, type, false);
    if (signal) SetHiddenPinSignalName(record, item->stringBlock, signal);
    const int32_t id = AddPinDataToTable(item->pinTable, record);
    DestroyPinData(record);
    EXPECT_GE(id, 0);
    return uint32_t(id);
}

// A section with the suffix, symbol and pin numbers (one run per pin set, empty for none), of as
// many pins as the symbol has, or of `pinCount` pins when that is 0 or more.
inline LibSection* AddSection(LibraryItem* item, const char* suffix, uint8_t symbol,
                              const std::vector<std::vector<const char*>>& numbers, bool sorted = true,
                              int32_t pinCount = -1) {
    LibSection* section = CreateLibSection();
    SetLibSectionSuffix(section, item->stringBlock, suffix);
    section->symbolIndex = symbol;
    const size_t pins = pinCount >= 0 ? size_t(pinCount)
                        : symbol == kLibNoSymbol ? 0
                                                 : size_t(CountLibSymbolPins(item, 0, symbol));
    EXPECT_TRUE(SetLibSectionPinCount(section, int32_t(pins)));
    for (size_t set = 0; set < numbers.size(); ++set) {
        if (numbers[set].empty()) continue;
        EXPECT_TRUE(CreateLibSectionPinSet(section, int32_t(set), -1));
        for (size_t pin = 0; pin < numbers[set].size() && pin < pins; ++pin)
            SetLibSectionPinNumber(section, item->stringBlock, int32_t(set), int32_t(pin), numbers[set][pin]);
    }
    AddSectionToLibItem(item, section, sorted);
    return section;
}

// A quad NAND gate: three names, a prefix, two attributes, two packages on pin sets 0 and 1,
// a gate symbol (main and alternate drawings, three pins) in four sections and a power symbol
// (two pins) in one, a hidden pin in each pin set, and pin data with a signal name. With an
// image, the gate's main drawing shows one of the item's list.
inline LibraryItem* RichItem(bool withImage) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "7400", 0));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "SN7400", 1));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "74HC00", 255));
    SetLibraryItemRefPrefix(item, "U");
    SetAttributeValue(item->stringBlock, item->attributes, 0, &item->head.attributeCount, "Value", "7400", nullptr);
    SetAttributeValue(item->stringBlock, item->attributes, 0, &item->head.attributeCount, "Maker", "Plexa", nullptr);
    const auto a = uint16_t(AddPin(item, "A", kPinInput));
    const auto b = uint16_t(AddPin(item, "B", kPinInput));
    const auto y = uint16_t(AddPin(item, "Y", kPinOutput));
    const auto vcc = uint16_t(AddPin(item, "VCC", kPinPower, "VCC"));
    const auto gnd = uint16_t(AddPin(item, "GND", kPinPower, "GND"));
    const uint32_t nc = AddPin(item, "NC", kPinUnspecified);
    int64_t image = kNoImage;
    if (withImage) image = AddImageToImageList(item->imageList, GreyImage(4, 4, 1));
    EXPECT_EQ(AddLibSymbolDef(item, "Gate", Drawing(1, image), Drawing(2), item->imageList, Ids({a, b, y})), 0);
    if (withImage) ReleaseImageListImage(item->imageList, int32_t(image));  // the drawing holds it now
    EXPECT_EQ(AddLibSymbolDef(item, "Power", Drawing(3), nullptr, item->imageList, Ids({vcc, gnd})), 1);
    SetLibSymbolFlags(item, 0, 0x101);
    SetLibSymbolGrid(item, 0, 8);
    SetLibSymbolPlacementOptions(item, 0, 3);
    SetLibSymbolResolution(item, 0, 2);
    SetLibSymbolSheetName(item, 1, "supply.SHX");
    SetLibSymbolPlacementOptions(item, 1, 1);
    EXPECT_EQ(AddNewPackageToLibItem(item, 0), 0);
    SetLibPackageName(item, 0, "DIP");
    SetLibPackageFootprint(item, 0, "DIP-14");
    EXPECT_EQ(AddNewPackageToLibItem(item, 1), 1);
    SetLibPackageName(item, 1, "SO");
    SetLibPackageFootprint(item, 1, "SOIC-14");
    AddSection(item, "C", 0, {{"8", "9", "10"}, {"10", "11", "12"}});
    AddSection(item, "A", 0, {{"1", "2", "3"}, {"1", "2", "3"}});
    AddSection(item, "D", 0, {{"12", "13", "11"}, {"14", "15", "13"}});
    AddSection(item, "b", 0, {{"4", "5", "6"}, {"5", "6", "7"}});
    AddSection(item, "P", 1, {{"14", "7"}, {"16", "8"}});
    AddNewHiddenPinToLibItem(item, 0, "NC1", nc);
    AddNewHiddenPinToLibItem(item, 1, "NC2", nc);
    return item;
}

// The canonical text of an item: every field that the stored form keeps, pins by their pin
// data and drawings by their size and bytes.
inline std::string DrawingText(Ptr data) {
    if (!data) return "none";
    uint32_t h = 2166136261u;
    for (uint32_t i = 0; i < SizeOfPtr(data); ++i) h = (h ^ uint8_t(data[i])) * 16777619u;
    return std::to_string(SizeOfPtr(data)) + "/" + std::to_string(h % 100000);
}

inline std::string PinText(LibraryItem* item, uint32_t id) {
    Handle record = GetIndexedPinData(item->pinTable, int32_t(id));
    if (!record) return "?" + std::to_string(id);
    char name[kPinTextSize], signal[kPinTextSize];
    GetPinDataName(record, item->stringBlock, name);
    GetHiddenPinSignalName(record, item->stringBlock, false, signal);
    return std::string(name) + ":" + std::to_string(GetPinDataType(record, true)) + (*signal ? "~" : "") + signal;
}

inline std::string Dump(LibraryItem* item) {
    if (!item) return "no item";
    const StringBlock block = item->stringBlock;
    std::string s = "kind " + std::to_string(item->head.kind) + " flags " + std::to_string(item->head.flags) +
                    " spare " + std::to_string(item->head.spare[0]) + "," + std::to_string(item->head.spare[1]);
    char text[kLibItemTextSize];
    GetLibraryItemRefPrefix(item, text);
    s += " prefix " + std::string(text) + "\n";
    for (int32_t i = 0; i < CountLibraryItemNames(item); ++i) {
        const uint8_t info = GetLibraryItemNameInfo(item, i, text);
        s += "name " + std::string(text) + " " + std::to_string(info) + "\n";
    }
    for (int32_t i = 0; i < item->head.attributeCount; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        uint16_t flags;
        GetIndexedAttribute(block, item->attributes, 0, i, name, value, &flags, nullptr);
        s += "attribute " + std::string(name) + "=" + value + " " + std::to_string(flags) + "\n";
    }
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        char sheet[kLibItemTextSize];
        GetLibSymbolName(item, i, text);
        GetLibSymbolSheetName(item, i, sheet);
        s += "symbol " + std::string(text) + " sheet " + sheet + " flags " + std::to_string(GetLibSymbolFlags(item, i)) +
             " grid " + std::to_string(GetLibSymbolGrid(item, i)) + " place " +
             std::to_string(GetLibSymbolPlacementOptions(item, i)) + " res " +
             std::to_string(GetLibSymbolResolution(item, i)) + " main " + DrawingText(GetLibSymbolData(item, i, 0)) +
             " alt " + DrawingText(GetLibSymbolData(item, i, 1)) + " pins";
        for (int32_t pin = 0; pin < CountLibSymbolPins(item, 0, i); ++pin)
            s += " " + PinText(item, GetLibSymbolPinDataId(item, 0, i, pin));
        s += "\n";
    }
    for (int32_t i = 0; i < item->head.packageCount; ++i) {
        char footprint[kLibItemTextSize];
        GetLibPackageName(item, i, text);
        GetLibPackageFootprint(item, i, footprint);
        s += "package " + std::string(text) + " " + footprint + " set " + std::to_string(GetLibPackagePinSet(item, i)) + "\n";
    }
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section; section = section->next) {
        GetLibSectionSuffix(section, block, text);
        s += "section " + std::string(text) + " symbol " + std::to_string(section->symbolIndex) + " pins " +
             std::to_string(section->pinCount) + " spare " + std::to_string(section->spare);
        for (int32_t set = 0; set < kLibPinSetCount; ++set) {
            if (!section->pinNumbers[set]) continue;
            s += " set" + std::to_string(set) + ":";
            for (int32_t pin = 0; pin < section->pinCount; ++pin)
                s += (pin ? "," : "") + Text(GetLibSectionPinNumber(section, block, set, pin, nullptr), block);
        }
        s += "\n";
    }
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        for (int32_t i = 0; i < CountLibSymbolPins(item, set, kLibHiddenPins); ++i) {
            uint32_t id;
            GetLibItemHiddenPinInfo(item, set, i, text, &id);
            s += "hidden " + std::to_string(set) + " " + text + " " + PinText(item, id) + "\n";
        }
    }
    s += "images";
    if (item->imageList)
        for (int32_t id = 0; id < 16; ++id)
            if (GetImageFromImageList(item->imageList, id, false))
                s += " " + std::to_string(id) + "x" + std::to_string(GetImageListReferenceCount(item->imageList, id));
    return s + "\n";
}

// ---- The flattened form, walked from its layout ----

// Where the fields of a flattened item (in this machine's order) lie.
struct FlatLayout {
    bool ok = false;
    size_t stringBlock = 0, attributes = 0, packages = 0, pinData = 0, hidden = 0, images = 0, symbols = 0,
           sections = 0, end = 0;
    std::vector<size_t> records;   // each pin-data record's head
    struct Symbol {
        size_t start, ids, main, alternate, flags;  // the blobs' length fields, then the flags
    };
    std::vector<Symbol> symbolsAt;
    std::vector<size_t> sectionsAt;  // each section's 8-byte head
};

inline FlatLayout Layout(const std::string& bytes) {
    FlatLayout l;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    size_t at = 33;
    auto has = [&](size_t k) { return at + k <= n; };
    if (n < at || GetLE16(b) != 0x1234) return l;
    while (has(1) && b[at] != 0) at += 1 + b[at] + 2;
    if (!has(5)) return l;
    ++at;
    l.stringBlock = at;
    at += 4 + GetLE32(b + at);
    if (!has(4)) return l;
    l.attributes = at;
    const uint32_t attributes = GetLE32(b + at);
    at += 4 + (attributes == 0xFFFFFFFF ? 0 : attributes);
    l.packages = at;
    at += size_t(b[14]) * 10;
    if (!has(2)) return l;
    l.pinData = at;
    const uint16_t records = GetLE16(b + at);
    at += 2;
    for (uint16_t i = 0; i < records; ++i) {
        if (!has(8)) return l;
        l.records.push_back(at);
        at += 8 + size_t(GetLE16(b + at + 2)) * 12;
    }
    if (!has(1)) return l;
    l.hidden = at;
    const uint8_t mask = b[at++];
    for (int set = 0; set < 4; ++set) {
        if (!(mask & (1 << set))) continue;
        if (!has(2)) return l;
        at += 2 + GetLE16(b + at);
    }
    l.images = at;
    if (GetLE16(b + 7) >= 3) {
        if (!has(4)) return l;
        const uint32_t images = GetBE32(b + at);
        at += 4;
        for (uint32_t i = 0; i < images; ++i) {
            if (!has(8)) return l;
            at += 8 + GetBE32(b + at + 4);
        }
    }
    l.symbols = at;
    for (int i = 0; i < b[13]; ++i) {
        FlatLayout::Symbol s{};
        s.start = at;
        at += 8;
        size_t* blobs[3] = {&s.ids, &s.main, &s.alternate};
        for (size_t* blob : blobs) {
            if (!has(4)) return l;
            *blob = at;
            const uint32_t size = GetLE32(b + at);
            at += 4 + (size == 0xFFFFFFFF ? 0 : size);
        }
        s.flags = at;
        at += 8;
        l.symbolsAt.push_back(s);
    }
    if (!has(2)) return l;
    l.sections = at;
    const uint16_t sections = GetLE16(b + at);
    at += 2;
    for (uint16_t i = 0; i < sections; ++i) {
        if (!has(9)) return l;
        l.sectionsAt.push_back(at);
        const size_t pins = GetLE16(b + at);
        const uint8_t sets = b[at + 8];
        at += 9;
        for (int set = 0; set < 4; ++set)
            if (sets & (1 << set)) at += pins * 4;
    }
    l.end = at;
    l.ok = at == n;
    return l;
}

// How Rewrite turns a flattened item: into the other byte order (drawings through the map of
// their bytes in the other order), and into an older version (the time stamp becomes the given
// legacy value; below 3 the image list goes, below 2 the placement options move into the symbol
// flags' bits 15 and 16).
struct RewriteOptions {
    bool swap = false;
    uint16_t version = 4;
    uint32_t legacyStamp = 0;
    std::map<std::string, std::string> otherOrderDrawings;
};

inline std::string Rewrite(const std::string& bytes, const RewriteOptions& o) {
    const FlatLayout l = Layout(bytes);
    EXPECT_TRUE(l.ok);
    if (!l.ok) return {};
    std::string out;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    auto raw = [&](size_t from, size_t count) { out.append(bytes, from, count); };
    auto u16 = [&](uint16_t v) {
        uint8_t x[2];
        if (o.swap) PutBE16(x, v); else PutLE16(x, v);
        out.append(reinterpret_cast<char*>(x), 2);
    };
    auto u32 = [&](uint32_t v) {
        uint8_t x[4];
        if (o.swap) PutBE32(x, v); else PutLE32(x, v);
        out.append(reinterpret_cast<char*>(x), 4);
    };
    auto longs = [&](size_t from, size_t count) {
        for (size_t i = 0; i < count; ++i) u32(GetLE32(b + from + 4 * i));
    };
    u16(0x1234);
    if (o.version < 4) {
        uint8_t x[4];
        PutBE32(x, o.legacyStamp);
        out.append(reinterpret_cast<char*>(x), 4);
    } else {
        raw(2, 4);
    }
    raw(6, 1);
    u16(o.version);
    longs(9, 1);                          // head: "LB4W"
    raw(13, 4);
    u16(GetLE16(b + 17));
    raw(19, 2);
    raw(21, 12);
    for (size_t at = 33; b[at] != 0; at += 1 + b[at] + 2) {  // names
        raw(at, 1 + b[at]);
        u16(GetLE16(b + at + 1 + b[at]));
    }
    out.push_back(0);
    size_t at = l.stringBlock;              // string block: length, header "L3W", bytes
    const uint32_t used = GetLE32(b + at);
    u32(used);
    longs(at + 4, 3);
    u16(GetLE16(b + at + 16));
    u16(GetLE16(b + at + 18));
    raw(at + 20, used - 16);
    at = l.attributes;                      // attributes: length, records "L2W"
    const uint32_t attributes = GetLE32(b + at);
    u32(attributes);
    for (uint32_t i = 0; attributes != 0xFFFFFFFF && i < attributes / 12; ++i) {
        longs(at + 4 + 12 * i, 2);
        u16(GetLE16(b + at + 4 + 12 * i + 8));
        raw(at + 4 + 12 * i + 10, 2);
    }
    for (size_t p = l.packages; p < l.pinData; p += 10) {  // packages "L2B2"
        longs(p, 2);
        raw(p + 8, 2);
    }
    u16(GetLE16(b + l.pinData));            // pin data: "B2WL" heads, attributes "L2W"
    for (size_t r : l.records) {
        raw(r, 2);
        const uint16_t count = GetLE16(b + r + 2);
        u16(count);
        longs(r + 4, 1);
        for (uint16_t i = 0; i < count; ++i) {
            longs(r + 8 + 12 * i, 2);
            u16(GetLE16(b + r + 8 + 12 * i + 8));
            raw(r + 8 + 12 * i + 10, 2);
        }
    }
    at = l.hidden;                          // hidden pins: mask, per set a length and longs
    const uint8_t mask = b[at++];
    out.push_back(char(mask));
    for (int set = 0; set < 4; ++set) {
        if (!(mask & (1 << set))) continue;
        const uint16_t size = GetLE16(b + at);
        u16(size);
        longs(at + 2, size / 4);
        at += 2 + size;
    }
    if (o.version >= 3) raw(l.images, l.symbols - l.images);  // big-endian throughout
    for (const FlatLayout::Symbol& s : l.symbolsAt) {
        longs(s.start, 2);
        const uint32_t ids = GetLE32(b + s.ids);
        u32(ids);
        for (uint32_t i = 0; ids != 0xFFFFFFFF && i < ids / 2; ++i) u16(GetLE16(b + s.ids + 4 + 2 * i));
        for (size_t blob : {s.main, s.alternate}) {
            const uint32_t size = GetLE32(b + blob);
            u32(size);
            if (size == 0xFFFFFFFF) continue;
            const std::string data = bytes.substr(blob + 4, size);
            if (!o.swap) {
                out += data;
            } else {
                const auto found = o.otherOrderDrawings.find(data);
                EXPECT_NE(found, o.otherOrderDrawings.end()) << "a drawing without its other order";
                out += found == o.otherOrderDrawings.end() ? data : found->second;
            }
        }
        uint32_t flags = GetLE32(b + s.flags);
        uint8_t tail[4];
        std::memcpy(tail, b + s.flags + 4, 4);
        if (o.version < 2) {
            flags |= (tail[2] & 1 ? 0x8000u : 0) | (tail[2] & 2 ? 0x10000u : 0);
            tail[2] = 0;
        }
        u32(flags);
        out.append(reinterpret_cast<char*>(tail), 4);
    }
    u16(GetLE16(b + l.sections));           // sections: "WB2L" heads, mask, longs
    for (size_t s : l.sectionsAt) {
        const uint16_t pins = GetLE16(b + s);
        u16(pins);
        raw(s + 2, 2);
        longs(s + 4, 1);
        const uint8_t sets = b[s + 8];
        out.push_back(char(sets));
        size_t numbers = s + 9;
        for (int set = 0; set < 4; ++set) {
            if (!(sets & (1 << set))) continue;
            longs(numbers, pins);
            numbers += size_t(pins) * 4;
        }
    }
    return out;
}

// The drawings of RichItem in the other byte order.
inline std::map<std::string, std::string> RichDrawingsOtherOrder(int64_t imageId) {
    std::map<std::string, std::string> m;
    for (uint8_t seed : {1, 2, 3}) m[DrawingBytes(seed)] = DrawingBytes(seed, kNoImage, true);
    if (imageId != kNoImage) m[DrawingBytes(1, imageId)] = DrawingBytes(1, imageId, true);
    return m;
}

// Items are freed at the end of each test, before the global image list is checked.
class LibItemTest : public ImageListTest {
protected:
    void TearDown() override {
        for (LibraryItem* item : items_) DestroyLibraryItem(item);
        items_.clear();
        ImageListTest::TearDown();
    }
    LibraryItem* Own(LibraryItem* item) {
        if (item) items_.push_back(item);
        return item;
    }
    void Free(LibraryItem* item) {
        std::erase(items_, item);
        DestroyLibraryItem(item);
    }
    // Before a capped pool that items were read into goes.
    void FreeItems() {
        for (LibraryItem* item : items_) DestroyLibraryItem(item);
        items_.clear();
    }
    // The stored form; empty with the status when flattening fails.
    static std::string Flatten(LibraryItem* item, uint32_t stamp = kTestStamp, bool allowEmpty = true,
                               OSStatus* status = nullptr) {
        OSStatus st = -1;
        Handle flat = FlattenLibraryItem(item, allowEmpty, stamp, &st);
        if (status) *status = st;
        EXPECT_EQ(flat == nullptr, st != 0);
        const std::string bytes = flat ? std::string(*flat, SizeOfHandle(flat)) : std::string();
        if (flat) MemFree(flat);
        return bytes;
    }
    // The inflated item (owned by the test), or none with the status.
    LibraryItem* Inflate(const std::string& bytes, OSStatus* status = nullptr, bool makePinTable = false) {
        Handle flat = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        LibraryItem* item = reinterpret_cast<LibraryItem*>(intptr_t(1));
        const OSStatus st = InflateLibraryItem(flat, &item, makePinTable);
        MemFree(flat);
        if (status) *status = st;
        EXPECT_EQ(item == nullptr, st != 0);
        return Own(item);
    }

private:
    std::vector<LibraryItem*> items_;
};

}  // namespace plexa::test
