// The flattened library item: a fixture written by hand, the fixtures of the other byte order
// and of older versions, re-flattening that gives the same bytes, pin data that interns, and
// damaged input that ends with a status and frees all it built.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/datetime.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/tests/libitem_testing.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using LibItemFlat = LibItemTest;

// ---- A fixture written from the layout ----

// A resistor "RES": prefix "R", one package, two pin-data records, one symbol (a drawing, no
// alternate) in one section with pin set 0. In this machine's (little-endian) order.
const char* const kHandDrawing =
    "0000 0000 0000 0000 0000 0000 0000 0000"  // drawing head: two rectangles
    "0306 3412 0000 0000"                      // list header: mark, origin
    "3001"                                     // texts in UTF-8
    "0530 0000 141E"                           // a rectangle (0,0) 20 x 30
    "00FF";                                    // end
const std::string kHandItem = std::string() +
    "3412"                                     // mark 0x1234
    "2A2B2C2D"                                 // time stamp, big-endian
    "01"                                       // valid
    "0400"                                     // version 4
    "01400000"                                 // head: prefix "R" at 16, 1 byte (16 << 10 | 1)
    "01 01 00 01"                              // one symbol, one package, kind 0, flags: UTF-8
    "0000 0000"                                // no attributes, two bytes passed through
    "000000000000000000000000"                 // 12 zero bytes
    "03 524553 0000"                           // name "RES", package 0
    "00"                                       // end of the names
    "21000000"                                 // string block: 33 bytes
    "D1BE7ADA 40000000 21000000 4000 0000"     // magic, allocated 64, used 33, quantum 64
    "52 415849414C 4158343030 426F6479 31 32"  // "R", "AXIAL", "AX400", "Body", "1", "2"
    "00000000"                                 // attributes: 0 bytes
    "05440000 05580000 00 00"                  // package "AXIAL" (17, 5), "AX400" (22, 5), pin set 0
    "0200"                                     // two pin-data records:
    "C0 07 0000 01800000"                      //   hash, passive, no attributes, name "2" (32, 1)
    "30 07 0000 017C0000"                      //   hash, passive, no attributes, name "1" (31, 1)
    "00"                                       // no hidden pins
    "00000000"                                 // no images (a big-endian count)
    "046C0000 00000000"                        // symbol "Body" (27, 4), no child sheet
    "04000000 0100 0000"                       // pin-data ids: pin 0 record 1, pin 1 record 0
    "22000000" + kHandDrawing +                // the main drawing, 34 bytes
    "FFFFFFFF"                                 // no alternate drawing
    "00000000 00 08 03 01"                     // flags, spare, grid 8, placement 3, resolution 1
    "0100"                                     // one section:
    "0200 00 00 00000000"                      //   two pins, symbol 0, spare, no suffix
    "01"                                       //   pin set 0:
    "017C0000 01800000";                       //   "1", "2"

const char* const kHandDump =
    "kind 0 flags 1 spare 0,0 prefix R\n"
    "name RES 0\n"
    "symbol Body sheet  flags 0 grid 8 place 3 res 1 main 34/97683 alt none pins 1:7 2:7\n"
    "package AXIAL AX400 set 0\n"
    "section  symbol 0 pins 2 spare 0 set0:1,2\n"
    "images\n";

TEST_F(LibItemFlat, AHandWrittenItemReadsAndIsWhatTheWriterWrites) {
    OSStatus status = -1;
    LibraryItem* read = Inflate(Hex(kHandItem), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(Dump(read), kHandDump);
    const Ptr drawing = GetLibSymbolData(read, 0, 0);
    EXPECT_EQ(std::string(drawing, SizeOfPtr(drawing)), Hex(kHandDrawing));
    EXPECT_EQ(Flatten(read), Hex(kHandItem));

    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "RES", 0));
    SetLibraryItemRefPrefix(item, "R");
    AddNewPackageToLibItem(item, 0);
    SetLibPackageName(item, 0, "AXIAL");
    SetLibPackageFootprint(item, 0, "AX400");
    const auto one = uint16_t(AddPin(item, "1")), two = uint16_t(AddPin(item, "2"));
    AddLibSymbolDef(item, "Body", Block(Hex(kHandDrawing)), nullptr, item->imageList, Ids({one, two}));
    SetLibSymbolGrid(item, 0, 8);
    SetLibSymbolPlacementOptions(item, 0, 3);
    SetLibSymbolResolution(item, 0, 1);
    AddSection(item, "", 0, {{"1", "2"}});
    EXPECT_EQ(Flatten(item), Hex(kHandItem));
}

// ---- Fixtures of other orders and versions ----

// A global date and the legacy local time that older items store for it.
constexpr int32_t kLegacyDate = 650000000;
uint32_t LegacyStamp() {
    return VXLocalDateTimeToLegacyPortableTime(kLegacyDate + GlobalTimeDifferenceAt(kLegacyDate));
}

std::string WithFlags(std::string dump, const std::string& from, const std::string& to) {
    const size_t at = dump.find(from);
    if (at != std::string::npos) dump.replace(at, from.size(), to);
    return dump;
}

TEST_F(LibItemFlat, FixturesOfBothOrdersAndOlderVersionsInflateAsTheyShould) {
    LibraryItem* rich = Own(RichItem(true));
    const std::string native = Flatten(rich);
    const std::string richDump = Dump(rich);
    LibraryItem* plain = Own(RichItem(false));
    const std::string plainNative = Flatten(plain);
    const std::string plainDump = Dump(plain);
    ASSERT_TRUE(Layout(native).ok);

    RewriteOptions swapped;
    swapped.swap = true;
    swapped.otherOrderDrawings = RichDrawingsOtherOrder(0);
    auto version = [](uint16_t v, bool swap) {
        RewriteOptions o;
        o.version = v;
        o.swap = swap;
        o.legacyStamp = LegacyStamp();
        o.otherOrderDrawings = RichDrawingsOtherOrder(0);
        return o;
    };
    // The dangling pin: the first pin of the gate names record 99.
    std::string dangling = native;
    {
        const FlatLayout l = Layout(native);
        PutLE16(reinterpret_cast<uint8_t*>(dangling.data()) + l.symbolsAt[0].ids + 4, 99);
    }
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus status;
        std::string dump;
        int32_t version;
        int32_t stamp;
    };
    const Case cases[] = {
        {"rich", native, 0, richDump, 4, int32_t(kTestStamp)},
        {"other byte order", Rewrite(native, swapped), 0, richDump, 4, int32_t(kTestStamp)},
        {"version 3", Rewrite(native, version(3, false)), 0, richDump, 3, kLegacyDate},
        {"version 3, other order", Rewrite(native, version(3, true)), 0, richDump, 3, kLegacyDate},
        {"version 2: no image list", Rewrite(plainNative, version(2, false)), 0, plainDump, 2, kLegacyDate},
        // Version 1 keeps the placement options in the symbol flags (bits 15 and 16).
        {"version 1", Rewrite(plainNative, version(1, false)), 0, plainDump, 1, kLegacyDate},
        {"version 1, other order", Rewrite(plainNative, version(1, true)), 0, plainDump, 1, kLegacyDate},
        {"a pin naming no record gets a blank one", dangling, 0,
         WithFlags(richDump, "pins A:1 B:1", "pins :0 B:1"), 4, int32_t(kTestStamp)},
        {"version 5", Rewrite(native, version(5, false)), status::kVersionTooNew, "no item", 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OSStatus status = -1;
        LibraryItem* item = Inflate(c.bytes, &status);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(Dump(item), c.dump);
        FlatHandle flat(c.bytes);
        EXPECT_EQ(GetFlattenedLibraryItemVersion(flat), c.version);
        if (c.status == 0) {
            EXPECT_EQ(GetFlattenedLibraryItemTimestamp(flat), c.stamp);
            EXPECT_EQ(IsFlattenedLibraryItemValid(flat), 1);
            EXPECT_EQ(GetFlattenedLibraryItemKind(flat), kLibItemComponent);
            char name[kFlatItemNameBufferSize];
            EXPECT_EQ(GetFlattenedLibraryItemName(flat, 1, name, sizeof name), 1);
            EXPECT_STREQ(name, "SN7400");
            // Flattened again it is the current version in this machine's order, and stays so.
            const std::string again = Flatten(item);
            EXPECT_EQ(Dump(Inflate(again)), c.dump);
            EXPECT_EQ(Flatten(Inflate(again)), again);
        }
    }
}

TEST_F(LibItemFlat, ReflatteningWithTheSameStampGivesTheSameBytes) {
    LibraryItem* item = Own(RichItem(true));
    const std::string first = Flatten(item);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Flatten(item), first);  // the purges found nothing more to do
    LibraryItem* read = Inflate(first);
    EXPECT_NE(read->inflationInstance, 0u);
    EXPECT_EQ(Flatten(read), first);
    EXPECT_NE(Inflate(first)->inflationInstance, read->inflationInstance);
}

// ---- Pin data ----

void Put16(std::string& b, size_t at, uint16_t v) { PutLE16(reinterpret_cast<uint8_t*>(b.data()) + at, v); }
void Put32(std::string& b, size_t at, uint32_t v) { PutLE32(reinterpret_cast<uint8_t*>(b.data()) + at, v); }

TEST_F(LibItemFlat, IdenticalPinDataRecordsDoNotShiftThePinsAfterThem) {
    // Pins of the gate name records 0 (A), 1 (B) and 2 (Y), the power pins 3 and 4.
    LibraryItem* item = Own(RichItem(false));
    std::string bytes = Flatten(item);
    const FlatLayout l = Layout(bytes);
    ASSERT_GE(l.records.size(), 4u);
    // Find the records of A and B, and make B's a copy of A's.
    auto name = [&](size_t record) {
        return Text(GetLE32(reinterpret_cast<const uint8_t*>(bytes.data()) + record + 4), item->stringBlock);
    };
    size_t a = 0, b = 0;
    for (size_t r : l.records) {
        if (name(r) == "A") a = r;
        if (name(r) == "B") b = r;
    }
    ASSERT_TRUE(a && b);
    bytes.replace(b, 8, bytes.substr(a, 8));
    LibraryItem* read = Inflate(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(DACount(read->pinTable), DACount(item->pinTable) - 1);
    // Every pin names what its record held: the second input is now an A too, nothing else moved.
    EXPECT_EQ(Dump(read), WithFlags(Dump(item), "pins A:1 B:1 Y:2", "pins A:1 A:1 Y:2"));
}

TEST_F(LibItemFlat, APinTableIsMadeOnRequestAndBlankRecordsServeIdsWithoutOne) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "X", 0));
    AddLibSymbolDef(item, "S", Drawing(1), nullptr, item->imageList, Ids({5, 6}));
    AddSection(item, "", 0, {{"1", "2"}});
    DestroyPinDataTable(item->pinTable);  // an item that has no pin data at all
    item->pinTable = nullptr;
    const std::string bytes = Flatten(item);
    LibraryItem* without = Inflate(bytes, nullptr, false);
    EXPECT_EQ(without->pinTable, nullptr);
    EXPECT_EQ(GetLibSymbolPinDataId(without, 0, 0, 1), 6u);
    LibraryItem* with = Inflate(bytes, nullptr, true);
    ASSERT_TRUE(with->pinTable);
    EXPECT_EQ(DACount(with->pinTable), 1);  // one blank record for both pins
    EXPECT_EQ(GetLibSymbolPinDataId(with, 0, 0, 0), GetLibSymbolPinDataId(with, 0, 0, 1));
}

TEST_F(LibItemFlat, RecordsThatTheStringMoveMakesIdenticalAreWrittenAsOne) {
    // The two records of the hand-written item name strings outside the block: both names read
    // as empty, and the move into a fresh block makes the records the same.
    std::string bytes = Hex(kHandItem);
    const FlatLayout l = Layout(bytes);
    Put32(bytes, l.records[0] + 4, 0x00048001);
    Put32(bytes, l.records[1] + 4, 0x00007C26);
    LibraryItem* item = Inflate(bytes);
    ASSERT_TRUE(item);
    EXPECT_EQ(DACount(item->pinTable), 2);
    const std::string once = Flatten(item);
    EXPECT_EQ(Layout(once).records.size(), 1u);
    EXPECT_EQ(Flatten(Inflate(once)), once);
}

TEST_F(LibItemFlat, ItemsWithPinDataStoreTheSymbolFlagsWithBits16And17Clear) {
    LibraryItem* item = Own(RichItem(false));
    SetLibSymbolFlags(item, 0, 0x30101);
    const std::string bytes = Flatten(item);
    EXPECT_EQ(GetLibSymbolFlags(item, 0), 0x30101u);  // the item itself keeps them
    EXPECT_EQ(GetLibSymbolFlags(Inflate(bytes), 0), 0x101u);
    DestroyPinDataTable(item->pinTable);
    item->pinTable = nullptr;
    EXPECT_EQ(GetLibSymbolFlags(Inflate(Flatten(item)), 0), 0x30101u);
}

// ---- Small and old items ----

TEST_F(LibItemFlat, ANewItemWithOnlyANameFlattensWhenEmptyIsAllowed) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemPort));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "IN", 0));
    OSStatus status = 0;
    EXPECT_EQ(Flatten(item, kTestStamp, false, &status), "");
    EXPECT_EQ(status, status::kUserCancelled);
    const std::string bytes = Flatten(item);
    const FlatLayout l = Layout(bytes);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(bytes[kFlatItemValidOffset], 0);
    EXPECT_TRUE(l.records.empty());
    EXPECT_EQ(bytes[l.hidden], 0);
    EXPECT_TRUE(l.sectionsAt.empty());
    LibraryItem* read = Inflate(bytes);
    EXPECT_EQ(Dump(read), "kind 2 flags 1 spare 0,0 prefix \nname IN 0\nimages\n");
    EXPECT_FALSE(IsLibraryItemValid(read));
}

TEST_F(LibItemFlat, AnItemOfMacRomanStringsIsRecodedAndMarkedUTF8WhenFlattenedAgain) {
    LibraryItem* item = Own(RichItem(false));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "B\x8Ar", 0));   // Mac Roman a-umlaut
    SetLibraryItemRefPrefix(item, "\xB5");           // Mac Roman micro sign
    SetLibPackageName(item, 0, "\xA5");              // Mac Roman bullet
    std::string bytes = Flatten(item);
    bytes[kFlatItemFlagsOffset] &= ~kLibItemFlagUTF8;
    FlatHandle flat(bytes);
    char name[kFlatItemNameBufferSize];
    GetFlattenedLibraryItemName(flat, 0, name, sizeof name);
    EXPECT_STREQ(name, "B\xC3\xA4r");
    LibraryItem* read = Inflate(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->head.flags & kLibItemFlagUTF8, 0);
    EXPECT_STREQ(GetLibraryItemNamePtr(read, 0), "B\xC3\xA4r");
    GetLibraryItemRefPrefix(read, name);
    EXPECT_STREQ(name, "\xC2\xB5");
    GetLibPackageName(read, 0, name);
    EXPECT_STREQ(name, "\xE2\x80\xA2");
    GetLibPackageName(read, 1, name);
    EXPECT_STREQ(name, "SO");  // already UTF-8 (ASCII): kept
    const std::string again = Flatten(read);
    EXPECT_EQ(again[kFlatItemFlagsOffset] & kLibItemFlagUTF8, kLibItemFlagUTF8);
    EXPECT_STREQ(GetLibraryItemNamePtr(Inflate(again), 0), "B\xC3\xA4r");
}

TEST_F(LibItemFlat, TheTimeStampIsGivenInThisMachinesOrderAndStoredBigEndian) {
    LibraryItem* item = Own(RichItem(false));
    const std::string bytes = Flatten(item, 0x01020304);
    EXPECT_EQ(bytes.substr(kFlatItemTimeStampOffset, 4), Hex("01020304"));
    FlatHandle flat(bytes);
    EXPECT_EQ(GetFlattenedLibraryItemTimestamp(flat), 0x01020304);
    RewriteOptions other;
    other.swap = true;
    other.otherOrderDrawings = RichDrawingsOtherOrder(kNoImage);
    FlatHandle swapped(Rewrite(bytes, other));
    EXPECT_EQ(GetFlattenedLibraryItemTimestamp(swapped), 0x01020304);
    EXPECT_EQ(GetFlattenedLibraryItemVersion(swapped), 4);
    // 0 stores the present time.
    const int32_t before = VXGetCurrentDateTime(0);
    FlatHandle now(Flatten(item, 0));
    EXPECT_GE(GetFlattenedLibraryItemTimestamp(now), before);
    EXPECT_LE(GetFlattenedLibraryItemTimestamp(now), VXGetCurrentDateTime(0));
    FlatHandle none(std::string(5, '\x12'));
    EXPECT_EQ(GetFlattenedLibraryItemTimestamp(none), 0);
    EXPECT_EQ(GetFlattenedLibraryItemVersion(none), -1);
    EXPECT_EQ(GetFlattenedLibraryItemVersion(nullptr), -1);
    EXPECT_EQ(IsFlattenedLibraryItemValid(nullptr), 0);
}

// ---- Damaged input ----

struct Damage {
    const char* name;
    std::function<void(std::string&, const FlatLayout&)> change;
    OSStatus status;
};


TEST_F(LibItemFlat, DamagedItemsEndWithAStatusAndLeaveNothingBehind) {
    LibraryItem* rich = Own(RichItem(true));
    const std::string good = Flatten(rich);
    const FlatLayout l = Layout(good);
    ASSERT_TRUE(l.ok);
    const size_t block = l.stringBlock + 4;  // the string block's header
    const FlatLayout::Symbol gate = l.symbolsAt[0];
    const Damage damages[] = {
        {"not an item", [](std::string& b, const FlatLayout&) { b[0] = 0x55; }, kLibItemCorrupt},
        {"version 5", [](std::string& b, const FlatLayout&) { Put16(b, 7, 5); }, status::kVersionTooNew},
        {"negative attribute count", [](std::string& b, const FlatLayout&) { Put16(b, 17, 0x8001); },
         kLibItemCorrupt},
        {"attribute count above the records", [](std::string& b, const FlatLayout&) { Put16(b, 17, 3); },
         kLibItemCorrupt},
        {"more symbols than the bytes hold", [](std::string& b, const FlatLayout&) { b[13] = char(255); },
         status::kEndOfFile},
        {"a name holding a NUL", [](std::string& b, const FlatLayout&) { b[35] = 0; }, kLibItemCorrupt},
        {"a name list that runs off the end",
         [](std::string& b, const FlatLayout&) { b = b.substr(0, 40); }, status::kEndOfFile},
        {"string block shorter than its header",
         [](std::string& b, const FlatLayout& l) { Put32(b, l.stringBlock, 8); }, kLibItemCorrupt},
        {"string block longer than the bytes",
         [](std::string& b, const FlatLayout& l) { Put32(b, l.stringBlock, 0x7FFFFFF0); }, status::kEndOfFile},
        {"string block magic", [&](std::string& b, const FlatLayout&) { Put32(b, block, 0x12345678); },
         kLibItemCorrupt},
        {"allocated size below the used size", [&](std::string& b, const FlatLayout&) { Put32(b, block + 4, 20); },
         kLibItemCorrupt},
        {"used size other than the stored length",
         [&](std::string& b, const FlatLayout&) { Put32(b, block + 8, GetLE32(reinterpret_cast<uint8_t*>(b.data()) + block + 8) - 1); },
         kLibItemCorrupt},
        {"quantum below 64", [&](std::string& b, const FlatLayout&) { Put16(b, block + 12, 8); }, kLibItemCorrupt},
        {"attribute length other than the count's",
         [](std::string& b, const FlatLayout& l) { Put32(b, l.attributes, 12); }, kLibItemCorrupt},
        {"package pin set 4", [](std::string& b, const FlatLayout& l) { b[l.packages + 8] = 4; }, kLibItemCorrupt},
        {"more pin-data records than the bytes hold",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.pinData, 0xFFFF); }, status::kEndOfFile},
        {"a pin-data record with a negative attribute count",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.records[0] + 2, 0xFFFF); }, kLibItemCorrupt},
        {"a pin-data record with more attributes than the bytes",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.records[0] + 2, 0x7FFF); }, status::kEndOfFile},
        {"hidden-pin mask beyond pin set 3", [](std::string& b, const FlatLayout& l) { b[l.hidden] |= 0x10; },
         kLibItemCorrupt},
        {"hidden-pin length not a multiple of 8",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.hidden + 1, 7); }, kLibItemCorrupt},
        {"hidden-pin length beyond the bytes",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.hidden + 1, 0xFFF8); }, status::kEndOfFile},
        {"odd pin-id length", [&](std::string& b, const FlatLayout&) { Put32(b, gate.ids, 5); }, kLibItemCorrupt},
        {"pin ids beyond the bytes", [&](std::string& b, const FlatLayout&) { Put32(b, gate.ids, 0x1000000); },
         status::kEndOfFile},
        {"a drawing that does not play", [&](std::string& b, const FlatLayout&) { b[gate.main + 4 + 16] = 0x77; },
         kLibItemCorrupt},
        {"a drawing beyond the bytes", [&](std::string& b, const FlatLayout&) { Put32(b, gate.main, 0x7FFFFFF0); },
         status::kEndOfFile},
        {"more sections than the bytes hold",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.sections, 0xFFFF); }, status::kEndOfFile},
        {"negative section pin count",
         [](std::string& b, const FlatLayout& l) { Put16(b, l.sectionsAt[0], 0x8000); }, kLibItemCorrupt},
        {"section pin count other than its symbol's",
         [](std::string& b, const FlatLayout& l) {
             Put16(b, l.sectionsAt[4], 1);  // the power section (two pins), its two arrays now one pin each
             b.erase(l.sectionsAt[4] + 9 + 4, 4);
             b.erase(l.sectionsAt[4] + 9 + 4 + 4, 4);
         },
         kLibItemCorrupt},
        {"section symbol index at the symbol count",
         [](std::string& b, const FlatLayout& l) { b[l.sectionsAt[0] + 2] = 2; }, kLibItemCorrupt},
        {"section pin-set mask beyond pin set 3",
         [](std::string& b, const FlatLayout& l) { b[l.sectionsAt[0] + 8] |= 0x20; }, kLibItemCorrupt},
        {"section pin numbers cut short", [](std::string& b, const FlatLayout&) { b.pop_back(); },
         status::kEndOfFile},
    };
    // Read under a ceiling: nothing is allocated for what a count only claims.
    CappedPool capped;
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        std::string bytes = good;
        d.change(bytes, l);
        OSStatus status = 0;
        LibraryItem* item = Inflate(bytes, &status);
        EXPECT_EQ(status, d.status);
        EXPECT_EQ(item, nullptr);
        Free(item);
    }
    // Every shorter piece of the item ends with a status too.
    for (size_t size = 0; size < good.size(); ++size) {
        OSStatus status = 0;
        LibraryItem* item = Inflate(good.substr(0, size), &status);
        EXPECT_EQ(item, nullptr) << size;
        EXPECT_NE(status, 0) << size;
        Free(item);
    }
    Handle none = nullptr;
    LibraryItem* out = nullptr;
    EXPECT_EQ(InflateLibraryItem(none, &out, true), status::kEndOfFile);
    EXPECT_FALSE(capped.hitCeiling());
}

TEST_F(LibItemFlat, MutatedItemsReadOrFailButNeverHarm) {
    LibraryItem* rich = Own(RichItem(true));
    const std::string good = Flatten(rich);
    std::mt19937 rng(TestSeed());
    CappedPool capped;
    const uint64_t rounds = StressCount(300);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = good;
        const int changes = 1 + int(rng() % 4);
        for (int i = 0; i < changes; ++i) bytes[rng() % bytes.size()] = char(rng());
        OSStatus status = 0;
        LibraryItem* item = Inflate(bytes, &status);
        if (!item) continue;
        // What reads, writes, and what it writes reads.
        const std::string again = Flatten(item);
        Free(item);
        if (!again.empty()) {
            LibraryItem* back = Inflate(again);
            EXPECT_TRUE(back) << round;
            Free(back);
        }
    }
    EXPECT_FALSE(capped.hitCeiling());
}

// ---- Fuzzing seeds ----

TEST_F(LibItemFlat, FuzzSeedsAreWhatTheWriterWrites) {
    LibraryItem* rich = Own(RichItem(true));
    const std::string native = Flatten(rich);
    CheckFuzzSeed("model_libitem", "rich", native);
    RewriteOptions other;
    other.swap = true;
    other.otherOrderDrawings = RichDrawingsOtherOrder(0);
    CheckFuzzSeed("model_libitem", "other_order", Rewrite(native, other));
    RewriteOptions old;
    old.version = 1;
    old.legacyStamp = 3000000000u;
    LibraryItem* plain = Own(RichItem(false));
    CheckFuzzSeed("model_libitem", "version_1", Rewrite(Flatten(plain), old));
    CheckFuzzSeed("model_libitem", "hand", Hex(kHandItem));
    LibraryItem* port = Own(CreateLibraryItem(kLibItemPort));
    EXPECT_TRUE(SetLibraryItemNameInfo(port, 0, "IN", 0));
    CheckFuzzSeed("model_libitem", "name_only", Flatten(port));
}

}  // namespace
}  // namespace plexa::test
