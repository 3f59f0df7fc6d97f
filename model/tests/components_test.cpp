// Components: building them from library items (once per sheet), from sheet and graphic
// symbols, designator strings, hidden pins, identity, compatibility and similarity, moving their
// strings and pin data, and the stored form of a list.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/annotation.h"
#include "model/sheetdump.h"
#include "model/tests/attribute_testing.h"
#include "model/tests/symbol_testing.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

// What a gate part is made of; each field can be changed to make a near miss.
struct GateSpec {
    std::vector<const char*> names = {"7400", "74LS00"};
    const char* prefix = "U";
    std::vector<const char*> suffixes = {"A", "B"};
    std::vector<std::vector<const char*>> setZero = {{"1", "2", "3"}, {"4", "5", "6"}};
    std::vector<std::vector<const char*>> setTwo = {{"4", "5", "6"}, {"1", "2", "3"}};
    struct Package {
        const char* name;
        const char* footprint;
        int32_t pinSet;
    };
    std::vector<Package> packages = {{"DIP14", "DIP-14", 0}, {"SO14", nullptr, 2}};
    std::vector<const char*> hidden = {"14", "7"};  // in library pin sets 0 and 2
    const char* hiddenName = "VCC";
};

class Components : public SheetTest {
protected:
    LibraryItem* Build(const GateSpec& spec) {
        LibraryItem* item = Item();
        for (size_t i = 0; i < spec.names.size(); ++i) EXPECT_TRUE(SetLibraryItemNameInfo(item, int32_t(i), spec.names[i], 0));
        if (spec.prefix) SetLibraryItemRefPrefix(item, spec.prefix);
        const auto a = uint16_t(AddPin(item, "A", kPinInput)), b = uint16_t(AddPin(item, "B", kPinInput));
        const auto y = uint16_t(AddPin(item, "Y", kPinOutput));
        const auto power = uint16_t(AddPin(item, spec.hiddenName, kPinPower));
        ItemSymbol(item, {{{0, -10}, {0, 0}}, {{10, -10}, {10, 0}}, {{5, 40}, {5, 30}}}, {a, b, y});
        for (size_t s = 0; s < spec.suffixes.size(); ++s) {
            std::vector<std::vector<const char*>> sets(3);
            if (s < spec.setZero.size()) sets[0] = spec.setZero[s];
            if (s < spec.setTwo.size()) sets[2] = spec.setTwo[s];
            ItemSection(item, spec.suffixes[s], 0, sets);
        }
        for (const auto& p : spec.packages) ItemPackage(item, p.name, p.footprint, p.pinSet);
        if (spec.hidden.size() > 0 && spec.hidden[0]) AddNewHiddenPinToLibItem(item, 0, spec.hidden[0], power);
        if (spec.hidden.size() > 1 && spec.hidden[1]) AddNewHiddenPinToLibItem(item, 2, spec.hidden[1], power);
        return item;
    }
    ComponentRecord* Place(const GateSpec& spec) {
        ComponentRecord* c = AddLibComponentToSheet(Build(spec), &sheet);
        EXPECT_TRUE(c);
        return c;
    }
    std::string Name(StringSpec spec) { return Text(spec); }
    std::string PinDataName(uint32_t id) {
        char name[kPinTextSize];
        GetIndexedPinDataName(sheet.pinDataTable, int32_t(id), sheet.stringBlock, name);
        return name;
    }
};

TEST_F(Components, PlacingOneItemTwiceGivesOneComponentAndOneMapEntry) {
    LibraryItem* item = Gates();
    ComponentRecord* first = AddLibComponentToSheet(item, &sheet);
    ASSERT_TRUE(first);
    ComponentRecord* second = AddLibComponentToSheet(item, &sheet);
    EXPECT_EQ(second, first);
    EXPECT_EQ(sheet.componentList->count, 1u);
    EXPECT_EQ(DACount(sheet.symbolMap->entries), 1);
    EXPECT_EQ(DACount(sheet.pinDataTable), 4);
    // The item's symbols drawn from the map.
    int32_t ids[2];
    GetCompSymbolMapIds(first, 0, ids);
    EXPECT_GE(ids[0], 0);
    EXPECT_EQ(ids[1], -1);
    SymbolRecord* s = SheetTest::Place(ids[0], {0, 0}, 0, first);
    EXPECT_EQ(CountSymbolNodes(&sheet, s), 3);
    // An item without a component only adds its drawings, giving their ids.
    int32_t only[2] = {7, 7};
    EXPECT_EQ(AddLibItemSymbolsToSheet(&sheet, item, nullptr, 0, only), 0);
    EXPECT_EQ(only[0], ids[0]);
    EXPECT_EQ(only[1], -1);
}

TEST_F(Components, TheSheetDumpShowsWhatALibraryComponentAndItsSymbolsHold) {
    ComponentRecord* c = AddLibComponentToSheet(Gates(), &sheet);
    ASSERT_TRUE(c);
    SymbolRecord* a = SheetTest::Place(CompSymbols(c)[0].mapId, {10, 20}, 0x2, c);
    a->kind.comp.nameIndex = 1;
    SymbolRecord* b = SheetTest::Place(CompSymbols(c)[0].mapId, {10, 60}, 0, c);
    b->kind.comp.package = 1;
    sheet.annotationMap = CreateAnnotationMap(true);
    SetSymbolAnnotation(&sheet, b->serial, "U7", 1);
    EXPECT_EQ(DumpSheet(&sheet, kDumpComponents | kDumpSymbols),
              "components 1\n"
              "  C1 prefix \"U\" symbols 1 sections 2 packages 2 pin sets 2 names 2\n"
              "    name 0 \"7400\"\n"
              "    name 1 \"74LS00\"\n"
              "    symbol 0: map 0 second map -1 pins 3\n"
              "    section 0: symbol 0 suffix \"A\" pins 1/4 2/5 3/6\n"
              "    section 1: symbol 0 suffix \"B\" pins 4/1 5/2 6/3\n"
              "    package 0 \"DIP14\" footprint \"DIP-14\" pin set 0\n"
              "    package 1 \"SO14\" footprint \"\" pin set 1\n"
              "    hidden pins of set 0: \"14\" data 3\n"
              "    hidden pins of set 1: \"7\" data 3\n"
              "symbols 2\n"
              "  #1 serial 1 at (20,10) transform 2 map 0 component C1 package 0 symbol 0 name 1 "
              "designator \"U?.A\" slot 0\n"
              "  #2 serial 2 at (60,10) map 0 component C1 package 1 symbol 0 name 0 designator "
              "\"U7.B\" slot 1\n");
    DestroyAnnotationMap(sheet.annotationMap);
    sheet.annotationMap = nullptr;
}

TEST_F(Components, ALegalSlotIsASectionThatTheSymbolDraws) {
    ComponentRecord* c = AddLibComponentToSheet(Gates(), &sheet);
    ASSERT_TRUE(c);
    SymbolRecord symbol{};
    for (int32_t slot : {-1, 0, 1, 2}) EXPECT_EQ(IsLegalSymbolSlot(&symbol, slot), slot == 0) << slot;
    symbol.component = c;
    for (int32_t slot : {-1, 0, 1, 2}) EXPECT_EQ(IsLegalSymbolSlot(&symbol, slot), slot == 0 || slot == 1) << slot;
    symbol.kind.comp.symbol = 1;  // no section draws symbol 1
    for (int32_t slot : {0, 1}) EXPECT_FALSE(IsLegalSymbolSlot(&symbol, slot)) << slot;
    EXPECT_FALSE(IsLegalSymbolSlot(nullptr, 0));
}

TEST_F(Components, ALibraryComponentTakesTheItemsNamesPackagesPinSetsAndPins) {
    ComponentRecord* c = Place(GateSpec{});
    char text[kCompTextSize];
    EXPECT_EQ(c->nameCount, 2);
    GetCompName(c, sheet.stringBlock, 1, text);
    EXPECT_STREQ(text, "74LS00");
    EXPECT_EQ(GetCompNameIndex(c, sheet.stringBlock, "74ls00"), 1);
    EXPECT_EQ(GetCompNameIndex(c, sheet.stringBlock, "7402"), -1);
    GetCompRefPrefix(c, sheet.stringBlock, text);
    EXPECT_STREQ(text, "U");
    // Library pin sets 0 and 2 are the component's 0 and 1.
    EXPECT_EQ(c->pinSetCount, 2);
    EXPECT_EQ(GetPackagePinSet(c, 0), 0);
    EXPECT_EQ(GetPackagePinSet(c, 1), 1);
    EXPECT_EQ(FindCompPackageWithName(c, sheet.stringBlock, "so14"), 1);
    GetCompFootprintString(c, 0, 0, sheet.stringBlock, text);
    EXPECT_STREQ(text, "7400DIP-14");
    GetCompFootprintString(c, 1, 1, sheet.stringBlock, text);  // no footprint: the package name
    EXPECT_STREQ(text, "74LS00SO14");
    // Sections.
    ASSERT_EQ(c->sectionCount, 2);
    EXPECT_EQ(FindCompSectionWithSuffix(c, sheet.stringBlock, "b"), 1);
    EXPECT_EQ(CountCompSectionsUsingSymbol(c, 0), 2);
    EXPECT_EQ(GetNextCompSectionUsingSymbol(c, 0, 0, nullptr), 1);
    EXPECT_EQ(GetNextCompSectionUsingSymbol(c, 0, 1, nullptr), -1);
    EXPECT_EQ(GetFirstCompSectionUsingSymbol(c, 5, nullptr), -1);
    uint32_t id = 0;
    EXPECT_NE(GetCompPinInfo(c, sheet.stringBlock, 1, 0, 2, text, &id), 0u);
    EXPECT_STREQ(text, "6");
    EXPECT_EQ(PinDataName(id), "Y");
    GetCompPinInfo(c, sheet.stringBlock, 0, 1, 0, text, &id);
    EXPECT_STREQ(text, "4");
    EXPECT_EQ(PinDataName(id), "A");
    // Hidden pins, by number and by their pin data's name.
    GetCompPinInfo(c, sheet.stringBlock, 1, kCompHiddenPins, 0, text, &id);
    EXPECT_STREQ(text, "7");
    EXPECT_EQ(PinDataName(id), "VCC");
    EXPECT_EQ(FindCompHiddenPin(c, sheet.stringBlock, 0, false, sheet.pinDataTable, "14"), 0);
    EXPECT_EQ(FindCompHiddenPin(c, sheet.stringBlock, 0, true, sheet.pinDataTable, "vcc"), 0);
    EXPECT_EQ(FindCompHiddenPin(c, sheet.stringBlock, 0, false, sheet.pinDataTable, ""), -1);
    EXPECT_EQ(FindCompHiddenPin(c, sheet.stringBlock, 3, false, sheet.pinDataTable, "14"), -1);
    EXPECT_EQ(CountCompSymbolPins(c, 0, 0), 3);
    EXPECT_EQ(GetCompSymbolPinDataId(c, 0, 0, 3), kCompNoPinData);
}

TEST_F(Components, PrefixesFallBackToUnderscoreAndX) {
    GateSpec spec;
    spec.prefix = nullptr;
    ComponentRecord* c = Place(spec);
    char text[kCompTextSize];
    GetCompRefPrefix(c, sheet.stringBlock, text);
    EXPECT_STREQ(text, "_");

    static const char* portNames[] = {"IN", "OUT", "BUS[0:3]"};
    SymbolHooks hooks;
    hooks.countSheetSymbolPorts = [](const SymbolRecord*) { return 3; };
    hooks.getSheetSymbolName = [](const SymbolRecord*, StringBlock, char* out) { std::strcpy(out, "Filter"); };
    hooks.getSheetSymbolPortName = [](const SymbolRecord*, int32_t p, StringBlock, char* out) {
        std::strcpy(out, portNames[p]);
    };
    hooks.getSheetSymbolPortFlags = [](const SymbolRecord*, int32_t p) {
        return uint16_t(p == 0 ? 0x10 : p == 1 ? 0x22 : 0x31);
    };
    SetSymbolHooks(hooks);
    SymbolRecord* box = SheetTest::Place(-1, {0, 0}, kSymbolFlagSheet);
    ComponentRecord* sheetComp = CreateCompFromSheetSymbol(&sheet, box, sheet.stringBlock);
    ASSERT_TRUE(sheetComp);
    GetCompRefPrefix(sheetComp, sheet.stringBlock, text);
    EXPECT_STREQ(text, "X");
    GetCompName(sheetComp, sheet.stringBlock, 0, text);
    EXPECT_STREQ(text, "Filter");
    EXPECT_EQ(CompSymbols(sheetComp)[0].mapId, -1);
    ASSERT_EQ(CountCompSymbolPins(sheetComp, 0, 0), 3);
    const uint8_t types[] = {kPinInput, kPinOutput, uint8_t(kPinBidirectional + 64)};
    for (int32_t p = 0; p < 3; ++p) {
        uint32_t id = 0;
        GetCompPinInfo(sheetComp, sheet.stringBlock, 0, 0, p, text, &id);
        EXPECT_STREQ(text, portNames[p]);
        EXPECT_EQ(PinDataName(id), portNames[p]);
        EXPECT_EQ(GetPinDataType(GetIndexedPinData(sheet.pinDataTable, int32_t(id)), true), types[p]);
    }
    box->kind.spec = OverlayStringBlock(sheet.stringBlock, "SUB", -1, nullptr);
    ComponentRecord* prefixed = CreateCompFromSheetSymbol(&sheet, box, sheet.stringBlock);
    GetCompRefPrefix(prefixed, sheet.stringBlock, text);
    EXPECT_STREQ(text, "SUB");
    FreeComponent(prefixed);
    FreeComponent(sheetComp);
}

TEST_F(Components, GraphicSymbolsTakeTheirPrefixFromTheirDesignator) {
    struct Case {
        const char* prefix;
        const char* designator;
        const char* expected;
    } const cases[] = {{"TP", "X9", "TP"}, {nullptr, "R12", "R"}, {nullptr, "R", ""}, {nullptr, "U1A", "U"}};
    for (const Case& c : cases) {
        SymbolRecord* s = Designated(c.designator);
        SetSymbolName(s, sheet.stringBlock, "Resistor");
        if (c.prefix) SetSymbolRefPrefix(s, sheet.stringBlock, c.prefix);
        ComponentRecord* comp = CreateCompFromGraphicSymbol(&sheet, s, sheet.stringBlock);
        ASSERT_TRUE(comp);
        char text[kCompTextSize];
        GetCompRefPrefix(comp, sheet.stringBlock, text);
        EXPECT_STREQ(text, c.expected) << c.designator;
        GetCompName(comp, sheet.stringBlock, 0, text);
        EXPECT_STREQ(text, "Resistor");
        EXPECT_EQ(GetCompSection(comp, 0)->pinCount, 0);
        FreeComponent(comp);
    }
}

// The whole build fails when a section cannot be made: a component missing a section is never
// installed, and the sheet's list stays as it was.
TEST_F(Components, AComponentWhoseSectionCannotBeMadeIsNotInstalled) {
    LibraryItem* item = Item();
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "BIG", 0));
    ItemSymbol(item, {{{0, -10}, {0, 0}}}, {});
    std::vector<const char*> numbers(8000, "1");
    ItemSection(item, "A", 0, {numbers, numbers, numbers, numbers});
    ItemSection(item, "B", 0, {{"1"}, {"1"}, {"1"}, {"1"}});
    // The map's first cluster is made before the pool is held, and room for small blocks is
    // given back under the hold: only a block as large as the big section cannot be had.
    ASSERT_EQ(AddDefinition(Definition({}, {0, 0, 5, 5})), 0);
    std::vector<Ptr> room;
    std::vector<Handle> handleRoom;
    for (int i = 0; i < 16; ++i) room.push_back(AllocPtr(gGenPool, 2048));
    for (int i = 0; i < 4; ++i) handleRoom.push_back(AllocHandle(gGenPool, 2048));
    {
        TightPool tight(0);
        for (Ptr p : room) MemFreePtr(p);
        for (Handle h : handleRoom) MemFree(h);
        EXPECT_EQ(AddLibComponentToSheet(item, &sheet), nullptr);
    }
    EXPECT_EQ(sheet.componentList->count, 0u);
    // The drawing went into the map before the sections were made: they are what failed.
    EXPECT_EQ(DACount(sheet.symbolMap->entries), 2);
    ComponentRecord* c = AddLibComponentToSheet(item, &sheet);
    ASSERT_TRUE(c);
    ASSERT_TRUE(GetCompSection(c, 0));
    EXPECT_EQ(GetCompSection(c, 0)->pinCount, 8000);
    EXPECT_TRUE(GetCompSection(c, 1));
}

// ---- Designators ----

TEST_F(Components, DesignatorStrings) {
    ComponentRecord* two = Place(GateSpec{});
    char text[kCompTextSize];
    BuildRefDesString(two, sheet.stringBlock, 12, 1, true, text);
    EXPECT_STREQ(text, "U12.B");
    BuildRefDesString(two, sheet.stringBlock, 12, 1, false, text);
    EXPECT_STREQ(text, "U12");
    BuildRefDesString(two, sheet.stringBlock, -3, 0, true, text);
    EXPECT_STREQ(text, "U?.A");
    BuildRefDesString(two, sheet.stringBlock, 70000, 0, false, text);  // taken as 16 bits
    EXPECT_STREQ(text, "U4464");
    EXPECT_EQ(GetDefaultCompRefDes(two, 0, sheet.stringBlock, true, text), 0);
    EXPECT_STREQ(text, "U?.A");

    GateSpec one;
    one.suffixes = {"A"};
    one.names = {"7404"};
    ComponentRecord* single = Place(one);
    EXPECT_EQ(GetDefaultCompRefDes(single, 0, sheet.stringBlock, true, text), 0);
    EXPECT_STREQ(text, "U?");  // one section: no slot suffix
    GetCompSlotSuffix(single, 0, sheet.stringBlock, text);
    EXPECT_STREQ(text, "");

    const std::string longPrefix(100, 'P');
    SetCompRefPrefix(single, sheet.stringBlock, longPrefix.c_str());
    BuildRefDesString(single, sheet.stringBlock, 1, 0, false, text);
    EXPECT_EQ(std::string(text), std::string(64, 'P') + "1");

    const struct {
        const char* in;
        const char* out;
    } prefixes[] = {{"U12", "U"}, {"R?", "R"}, {"123", "?"}, {"U1A", "U1A"}, {"", "?"}, {"IC?7", "IC"}};
    for (const auto& p : prefixes) {
        std::strcpy(text, p.in);
        RefDesToPrefix(text);
        EXPECT_STREQ(text, p.out) << p.in;
    }
}

TEST_F(Components, HiddenPinsSortInNaturalOrderUpToThirtyTwo) {
    for (int32_t count : {32, 33}) {
        SCOPED_TRACE(count);
        std::vector<CompHiddenPin> pins;
        for (int32_t i = count; i >= 1; --i) {
            const std::string number = "R" + std::to_string(i);
            pins.push_back({OverlayStringBlock(sheet.stringBlock, number.c_str(), -1, nullptr), uint32_t(i)});
        }
        auto* table = reinterpret_cast<CompHiddenPin*>(
            AllocPtrWithData(gGenPool, pins.data(), uint32_t(pins.size() * sizeof(CompHiddenPin))));
        SortCompHiddenPins(table, sheet.stringBlock);
        if (count == 32) {
            for (int32_t i = 0; i < count; ++i) EXPECT_EQ(table[i].pinDataId, uint32_t(i + 1));  // R2 before R10
        } else {
            for (int32_t i = 0; i < count; ++i) EXPECT_EQ(table[i].pinDataId, uint32_t(count - i));
        }
        MemFreePtr(reinterpret_cast<Ptr>(table));
    }
}

// ---- Identity ----

TEST_F(Components, FootprintsAloneLeaveTheHashButNotEquality) {
    ComponentRecord* a = Place(GateSpec{});
    GateSpec other;
    other.packages[0].footprint = "DIP-14W";
    ComponentRecord* b = Place(other);
    EXPECT_NE(a, b);
    EXPECT_EQ(sheet.componentList->count, 2u);
    EXPECT_EQ(a->hash, b->hash);
    EXPECT_NE(a->hash, 0u);
    EXPECT_FALSE(EqualComps(a, b));
    ComponentRecord* copy = DuplicateComponent(a);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->hash, 0u);
    EXPECT_NE(CompSections(copy)[0], CompSections(a)[0]);
    EXPECT_NE(CompSymbols(copy)[0].pinDataIds, CompSymbols(a)[0].pinDataIds);
    CalcCompHash(copy, sheet.stringBlock);
    EXPECT_TRUE(EqualComps(copy, a));
    EXPECT_EQ(FindIdenticalComp(sheet.componentList, copy, sheet.stringBlock), a);
    EXPECT_EQ(InstallCompInSheet(&sheet, copy), a);  // the copy is freed
    EXPECT_EQ(sheet.componentList->count, 2u);
}

TEST_F(Components, MovingStringsRehashesAndKeepsEveryText) {
    ComponentRecord* c = Place(GateSpec{});
    const uint32_t hash = c->hash;
    StringBlock fresh = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeCompStringBlock(c, sheet.stringBlock, fresh), 0);
    EXPECT_NE(c->hash, 0u);
    EXPECT_EQ(c->hash & 0xFFFF, hash & 0xFFFF);  // the signature holds no specs
    char text[kCompTextSize];
    GetCompName(c, fresh, 1, text);
    EXPECT_STREQ(text, "74LS00");
    GetCompPackageFootprint(c, fresh, 0, text);
    EXPECT_STREQ(text, "DIP-14");
    GetCompSectionPinNumber(GetCompSection(c, 1), fresh, 1, 2, text);
    EXPECT_STREQ(text, "3");
    GetCompHiddenPinInfo(c, fresh, 1, 0, text, nullptr);
    EXPECT_STREQ(text, "7");
    GetCompSectionSuffix(GetCompSection(c, 0), fresh, text);
    EXPECT_STREQ(text, "A");
    GetCompRefPrefix(c, fresh, text);
    EXPECT_STREQ(text, "U");
    ASSERT_EQ(ChangeCompStringBlock(c, fresh, sheet.stringBlock), 0);
    EXPECT_EQ(c->hash, hash);
    DestroyStringBlock(fresh);
}

TEST_F(Components, PinDataMovesIntoAnotherTable) {
    ComponentRecord* c = Place(GateSpec{});
    StringBlock block = CreateStringBlock(gGenPool, 64);
    PinDataTable other = CreatePinDataTable(block);
    const uint32_t before = GetCompSymbolPinDataId(c, 0, 0, 2);
    ASSERT_EQ(TransferCompPinTable(c, sheet.pinDataTable, other, false), 0);
    EXPECT_EQ(GetCompSymbolPinDataId(c, 0, 0, 2), before);  // without storing, nothing changes
    EXPECT_EQ(DACount(other), 4);
    ASSERT_EQ(TransferCompPinTable(c, sheet.pinDataTable, other, true), 0);
    char name[kPinTextSize];
    GetIndexedPinDataName(other, int32_t(GetCompSymbolPinDataId(c, 0, 0, 2)), block, name);
    EXPECT_STREQ(name, "Y");
    GetIndexedPinDataName(other, int32_t(GetCompSymbolPinDataId(c, 1, kCompHiddenPins, 0)), block, name);
    EXPECT_STREQ(name, "VCC");
    EXPECT_EQ(DACount(other), 4);
    // Back into the sheet's table: the strings move back and the records are found there.
    ASSERT_EQ(TransferCompSymbolPinTable(c, 0, other, sheet.pinDataTable, true), 0);
    EXPECT_EQ(GetCompSymbolPinDataId(c, 0, 0, 2), before);
    DestroyPinDataTable(other);
    DestroyStringBlock(block);
}

TEST_F(Components, ThePurgeDropsComponentsThatNoSymbolUses) {
    ComponentRecord* used = Place(GateSpec{});
    GateSpec other;
    other.names = {"7402"};
    Place(other);
    SheetTest::Place(-1, {0, 0}, 0, used);
    ASSERT_EQ(sheet.componentList->count, 2u);
    PurgeComponentList(sheet.componentList, sheet.symbolList);
    ASSERT_EQ(sheet.componentList->count, 1u);
    EXPECT_EQ(LLFirst(sheet.componentList), used);
    ClearCompListTempFlags(sheet.componentList);
    EXPECT_EQ(used->tempFlags & kCompTempInUse, 0);
}

// ---- Compatibility ----

TEST_F(Components, TheCompatibilityTableOfMismatches) {
    ComponentRecord* placed = Place(GateSpec{});
    struct Case {
        const char* what;
        GateSpec spec;
        int32_t package, nameIndex;
        bool comparePrefix;
        int32_t expected;
    };
    auto with = [](auto change) {
        GateSpec s;
        change(s);
        return s;
    };
    const std::vector<Case> cases = {
        {"identical", GateSpec{}, 0, 0, true, 0},
        {"the second package", GateSpec{}, 1, 0, true, 1},
        {"the second name", GateSpec{}, 0, 1, true, 0},
        {"packages in another order", with([](GateSpec& s) { std::swap(s.packages[0], s.packages[1]); }), 0, 0, true, 1},
        {"another prefix, compared", with([](GateSpec& s) { s.prefix = "IC"; }), 0, 0, true, -1},
        {"another prefix, not compared", with([](GateSpec& s) { s.prefix = "IC"; }), 0, 0, false, 0},
        {"a prefix in other case", with([](GateSpec& s) { s.prefix = "u"; }), 0, 0, true, 0},
        {"a third section", with([](GateSpec& s) { s.suffixes.push_back("C"); }), 0, 0, true, -1},
        {"another suffix", with([](GateSpec& s) { s.suffixes[1] = "C"; }), 0, 0, true, -1},
        {"another pin count", with([](GateSpec& s) { s.setZero[0].push_back("9"); }), 0, 0, true, -1},
        {"the name missing", with([](GateSpec& s) { s.names = {"7402"}; }), 0, 0, true, -1},
        {"the name as an alias", with([](GateSpec& s) { s.names = {"74HC00", "7400"}; }), 0, 0, true, 0},
        {"the package missing", with([](GateSpec& s) { s.packages[0].name = "DIP16"; }), 0, 0, true, -1},
        {"another footprint", with([](GateSpec& s) { s.packages[0].footprint = "DIP-14W"; }), 0, 0, true, -1},
        {"a footprint in other case", with([](GateSpec& s) { s.packages[0].footprint = "dip-14"; }), 0, 0, true, 0},
        {"no packages", with([](GateSpec& s) { s.packages.clear(); }), 0, 0, true, -1},
        {"a pin number missing", with([](GateSpec& s) { s.setZero[0][2] = "9"; }), 0, 0, true, -1},
        {"pin numbers in another order", with([](GateSpec& s) { s.setZero[0] = {"3", "1", "2"}; }), 0, 0, true, 0},
        {"the other set's numbers differ", with([](GateSpec& s) { s.setTwo[0][0] = "9"; }), 0, 0, true, 0},
        {"and in the package's set", with([](GateSpec& s) { s.setTwo[0][0] = "9"; }), 1, 0, true, -1},
        {"no hidden pin", with([](GateSpec& s) { s.hidden = {nullptr, "7"}; }), 0, 0, true, -1},
        {"another hidden number", with([](GateSpec& s) { s.hidden = {"16", "7"}; }), 0, 0, true, -1},
        {"another hidden pin name", with([](GateSpec& s) { s.hiddenName = "VDD"; }), 0, 0, true, -1},
        {"a hidden pin name in other case", with([](GateSpec& s) { s.hiddenName = "vcc"; }), 0, 0, true, 0},
    };
    for (const Case& c : cases) {
        ComponentRecord* other = Place(c.spec);
        EXPECT_EQ(AreCompsCompatible(placed, c.package, c.nameIndex, sheet.stringBlock, sheet.pinDataTable, other,
                                     sheet.stringBlock, sheet.pinDataTable, c.comparePrefix),
                  c.expected)
            << c.what;
    }
    // A component without packages against one without: package 0.
    GateSpec bare;
    bare.packages.clear();
    bare.names = {"BARE"};
    ComponentRecord* a = Place(bare);
    EXPECT_EQ(AreCompsCompatible(a, 0, 0, sheet.stringBlock, sheet.pinDataTable, a, sheet.stringBlock,
                                 sheet.pinDataTable, true),
              0);
    EXPECT_EQ(AreCompsCompatible(a, 0, 0, sheet.stringBlock, sheet.pinDataTable, placed, sheet.stringBlock,
                                 sheet.pinDataTable, true),
              -1);
    // Sections alone.
    EXPECT_TRUE(AreSectionsCompatible(GetCompSection(placed, 0), sheet.stringBlock, 0, GetCompSection(placed, 1),
                                      sheet.stringBlock, 1) == false);
    EXPECT_TRUE(AreSectionsCompatible(GetCompSection(placed, 0), sheet.stringBlock, 0, GetCompSection(placed, 0),
                                      sheet.stringBlock, 0));
}

TEST_F(Components, FindingACompatibleComponentInAList) {
    ComponentRecord* placed = Place(GateSpec{});
    LinkListHeader* list = CreateComponentList();
    int32_t package = 0;
    EXPECT_EQ(FindCompatibleComp(placed, 0, 0, sheet.stringBlock, sheet.pinDataTable, list, sheet.stringBlock,
                                 sheet.pinDataTable, true, &package),
              nullptr);
    EXPECT_EQ(package, 0xFFFF);
    GateSpec miss;
    miss.names = {"7402"};
    GateSpec swapped;
    std::swap(swapped.packages[0], swapped.packages[1]);
    swapped.names = {"7400", "74LS00", "X"};
    for (const GateSpec& spec : {miss, swapped}) {
        ComponentRecord* c = DuplicateComponent(Place(spec));
        CalcCompHash(c, sheet.stringBlock);
        LLAppend(list, c);
    }
    ComponentRecord* found = FindCompatibleComp(placed, 0, 0, sheet.stringBlock, sheet.pinDataTable, list,
                                                sheet.stringBlock, sheet.pinDataTable, true, &package);
    EXPECT_EQ(found, LLGetNext(list, LLFirst(list)));
    EXPECT_EQ(package, 1);
    DestroyCompList(list);
}

TEST_F(Components, SymbolsWithSimilarComponents) {
    ComponentRecord* a = Place(GateSpec{});
    GateSpec alias;
    alias.names = {"74HC00", "7400"};
    ComponentRecord* b = Place(alias);
    GateSpec other;
    other.names = {"7402"};
    ComponentRecord* c = Place(other);
    SymbolRecord* sa = SheetTest::Place(-1, {0, 0}, 0, a);
    SymbolRecord* sb = SheetTest::Place(-1, {0, 0}, 0, b);
    SymbolRecord* sc = SheetTest::Place(-1, {0, 0}, 0, c);
    SymbolRecord* plain = SheetTest::Place(-1);
    EXPECT_TRUE(DoSymbolsHaveSimilarComps(&sheet, sa, sa));
    EXPECT_TRUE(DoSymbolsHaveSimilarComps(&sheet, sa, sb));
    EXPECT_TRUE(DoSymbolsHaveSimilarComps(&sheet, sb, sa));
    EXPECT_FALSE(DoSymbolsHaveSimilarComps(&sheet, sa, sc));
    EXPECT_FALSE(DoSymbolsHaveSimilarComps(&sheet, sa, plain));
}

// ---- Stored form ----

// One component: one name, one package, one symbol of two pins, one section of two pins, one pin
// set with one hidden pin. The specs are plain numbers here.
const char* kComponent =
    "01 01 01 01 0100 0000 11000000"   // S 1, T 1, P 1, N 1, M 1, flags 0, prefix 0x11
    "22000000"                         // name
    "33000000 44000000 00 07"          // package: name, footprint, pin set 0, library byte 7
    "05000000 FFFFFFFF 0800"           // symbol: map id 5, no second, 8 bytes of ids
    "02000000 03000000"                //   pin-data ids 2, 3
    "0200 0000 55000000"               // section: 2 pins, symbol 0, suffix 0x55
    "66000000 77000000"                //   pin numbers of pin set 0
    "0800 88000000 09000000"           // hidden pins of set 0: number 0x88, pin data 9
    "FFFFFFFF FFFF";                   // end
const char* kComponentOtherOrder =
    "01 01 01 01 0001 0000 00000011"
    "00000022"
    "00000033 00000044 00 07"
    "00000005 FFFFFFFF 0008"
    "00000002 00000003"
    "0002 0000 00000055"
    "00000066 00000077"
    "0008 00000088 00000009"
    "FFFFFFFF FFFF";

ComponentRecord* HandComponent() {
    ComponentRecord* c = CreateComponent(1, 1, 1, 1, 1);
    c->refPrefix = 0x11;
    CompNames(c)[0] = 0x22;
    CompPackages(c)[0] = {0x33, 0x44, 0, 7};
    auto* ids = reinterpret_cast<uint32_t*>(AllocPtr(gGenPool, 8));
    ids[0] = 2;
    ids[1] = 3;
    CompSymbols(c)[0] = {5, -1, ids};
    ComponentSection* s = CreateCompSection(1, 2);
    s->suffix = 0x55;
    SetCompSectionPinNumberSpec(s, 0, 0, 0x66);
    SetCompSectionPinNumberSpec(s, 0, 1, 0x77);
    SetCompSection(c, 0, s);
    auto* hidden = reinterpret_cast<CompHiddenPin*>(AllocPtr(gGenPool, 8));
    hidden[0] = {0x88, 9};
    CompHiddenPins(c)[0] = hidden;
    return c;
}

class StoredComponents : public Components {
protected:
    // The sheet's components of two gate parts (the second with three names) and a component
    // without packages, hidden pins or pins, written in this machine's order.
    std::string ListBytes() {
        Place(GateSpec{});
        GateSpec more;
        more.names = {"7400", "74LS00", "74HC00"};
        Place(more);
        GateSpec bare;
        bare.packages.clear();
        bare.hidden.clear();
        bare.names = {"BARE"};
        Place(bare);
        HandleStream out;
        EXPECT_EQ(WriteComps(out.stream, sheet.componentList), 0);
        return out.bytes();
    }
    static std::string Describe(LinkListHeader* list) {
        std::string s;
        for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) {
            s += "hash " + std::to_string(c->hash) + " prefix " + std::to_string(c->refPrefix) + " names";
            for (int32_t i = 0; i < c->nameCount; ++i) s += " " + std::to_string(CompNames(c)[i]);
            for (int32_t i = 0; i < c->packageCount; ++i)
                s += " pkg " + std::to_string(CompPackages(c)[i].name) + "/" + std::to_string(CompPackages(c)[i].pinSet);
            for (int32_t i = 0; i < c->symbolCount; ++i) {
                s += " sym " + std::to_string(CompSymbols(c)[i].mapId);
                for (int32_t p = 0; p < CountCompSymbolPins(c, 0, uint16_t(i)); ++p)
                    s += "," + std::to_string(GetCompSymbolPinDataId(c, 0, uint16_t(i), p));
            }
            for (int32_t i = 0; i < c->sectionCount; ++i) {
                const ComponentSection* sec = GetCompSection(c, i);
                s += " sec " + std::to_string(sec->pinCount) + "/" + std::to_string(sec->suffix);
                for (int32_t set = 0; set < c->pinSetCount; ++set)
                    for (int32_t p = 0; p < sec->pinCount; ++p)
                        s += "," + std::to_string(GetCompSectionPinNumber(sec, nullptr, set, p, nullptr));
            }
            for (int32_t set = 0; set < c->pinSetCount; ++set)
                for (int32_t p = 0; p < CountCompSymbolPins(c, set, kCompHiddenPins); ++p)
                    s += " hidden " + std::to_string(GetCompHiddenPinInfo(c, nullptr, set, p, nullptr, nullptr));
            s += "\n";
        }
        return s;
    }
    // Reads into a fresh list: the status, and the list's description in *out.
    OSStatus Read(const std::string& bytes, bool swap, std::string* out = nullptr) {
        HandleStream in(bytes);
        EnableStreamReadByteSwap(in.stream, swap);
        LinkListHeader* list = CreateComponentList();
        const OSStatus err = ReadComps(in.stream, list, sheet.stringBlock);
        if (out) *out = Describe(list);
        EXPECT_TRUE(err == 0 || list->count == 0);
        DestroyCompList(list);
        return err;
    }
    // Runs a read with the general pool swapped for a fresh one: true when it gave back all.
    template <class F>
    static bool LeavesNothing(F&& read) {
        TestPool pool;
        const uint32_t base = pool.Bytes();
        MemPool saved = gGenPool;
        gGenPool = pool.pool;
        read();
        gGenPool = saved;
        return pool.Bytes() == base;
    }
};

TEST_F(StoredComponents, AHandWrittenComponentReadsInBothOrdersAndIsWhatTheWriterWrites) {
    LinkListHeader* list = CreateComponentList();
    LLAppend(list, HandComponent());
    HandleStream out;
    ASSERT_EQ(WriteComps(out.stream, list), 0);
    EXPECT_EQ(out.bytes(), Hex(kComponent));
    CalcCompHash(static_cast<ComponentRecord*>(LLFirst(list)), sheet.stringBlock);
    const std::string expected = Describe(list);
    DestroyCompList(list);
    std::string native, other;
    ASSERT_EQ(Read(Hex(kComponent), false, &native), 0);
    ASSERT_EQ(Read(Hex(kComponentOtherOrder), true, &other), 0);
    EXPECT_EQ(native, expected);
    EXPECT_EQ(other, expected);
    EXPECT_NE(expected.find("pkg 51/0"), std::string::npos);
}

TEST_F(StoredComponents, AListComesBackInOrderAndEqual) {
    const std::string bytes = ListBytes();
    HandleStream in(bytes);
    LinkListHeader* list = CreateComponentList();
    ASSERT_EQ(ReadComps(in.stream, list, sheet.stringBlock), 0);
    EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
    EXPECT_EQ(Describe(list), Describe(sheet.componentList));
    for (auto *a = static_cast<ComponentRecord*>(LLFirst(list)), *b = static_cast<ComponentRecord*>(LLFirst(sheet.componentList));
         a && b; a = a->next, b = b->next)
        EXPECT_TRUE(EqualComps(a, b));
    // Appended after what the list held.
    HandleStream again(bytes);
    ASSERT_EQ(ReadComps(again.stream, list, sheet.stringBlock), 0);
    EXPECT_EQ(list->count, 6u);
    DestroyCompList(list);
    // A component whose four counts read as the end mark cannot be written.
    ComponentRecord* c = CreateComponent(255, 255, 255, 255, 0);
    LinkListHeader* bad = CreateComponentList();
    LLAppend(bad, c);
    HandleStream out;
    EXPECT_EQ(WriteComps(out.stream, bad), status::kParamErr);
    DestroyCompList(bad);
}

TEST_F(StoredComponents, DamagedListsEndWithAStatusAndNothingKept) {
    const std::string whole = ListBytes();
    for (size_t length = 0; length < whole.size(); ++length) {
        EXPECT_TRUE(LeavesNothing([&] { EXPECT_NE(Read(whole.substr(0, length), false), 0) << length; })) << length;
    }
    struct Mutation {
        std::string bytes;
        OSStatus status;
        const char* why;
    } const mutations[] = {
        {Hex("00 00 00 00 00FF 0000 00000000"), status::kParamErr, "a negative name count"},
        {Hex("FF 00 00 00 0000 0000 00000000") + std::string(2000, '\0'), status::kEndOfFile,
         "255 symbols the stream cannot hold"},
        {Hex("01 00 00 00 0000 0000 00000000 00000000 00000000 0300"), status::kParamErr,
         "pin ids not a multiple of 4"},
        {Hex("00 00 00 01 0000 0000 00000000 0900 0000000000000000 00"), status::kParamErr,
         "hidden pins not a multiple of 8"},
        {Hex("00 01 00 01 0000 0000 00000000 FFFF 0000 00000000"), status::kEndOfFile,
         "a section of 65535 pins the stream cannot hold"},
        {Hex("00 00 00 00 0000 0000 00000000"), status::kEndOfFile, "no end mark"},
    };
    for (const Mutation& m : mutations) {
        EXPECT_TRUE(LeavesNothing([&] { EXPECT_EQ(Read(m.bytes, false), m.status) << m.why; })) << m.why;
    }
}

TEST_F(StoredComponents, RandomDamageNeverCrashes) {
    const std::string native = ListBytes();
    std::mt19937 rng(TestSeed());
    const uint64_t rounds = StressCount(1000);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = native;
        const int flips = 1 + int(rng() % 4);
        for (int k = 0; k < flips; ++k) bytes[rng() % bytes.size()] = char(rng());
        HandleStream in(bytes);
        EnableStreamReadByteSwap(in.stream, round % 2);
        LinkListHeader* list = CreateComponentList();
        if (ReadComps(in.stream, list, sheet.stringBlock) == 0) {
            char text[kCompTextSize];
            for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) {
                for (int32_t i = 0; i < c->sectionCount; ++i) {
                    BuildRefDesString(c, sheet.stringBlock, i, i, true, text);
                    for (int32_t set = 0; set < c->pinSetCount; ++set)
                        GetCompPinInfo(c, sheet.stringBlock, set, uint16_t(i), 0, text, nullptr);
                }
                for (int32_t p = 0; p < c->packageCount; ++p) GetCompFootprintString(c, p, 0, sheet.stringBlock, text);
                ComponentRecord* copy = DuplicateComponent(c);
                ASSERT_TRUE(copy);
                CalcCompHash(copy, sheet.stringBlock);
                EXPECT_TRUE(EqualComps(copy, c));
                FreeComponent(copy);
            }
            HandleStream out;
            EXPECT_EQ(WriteComps(out.stream, list), 0);
        } else {
            EXPECT_EQ(list->count, 0u);
        }
        DestroyCompList(list);
    }
}

// The fuzzing seeds: one byte of options (bit 0: the other order), then the list.
TEST_F(StoredComponents, FuzzSeeds) {
    CheckFuzzSeed("model_components", "native", std::string(1, '\0') + ListBytes());
    CheckFuzzSeed("model_components", "hand", std::string(1, '\0') + Hex(kComponent));
    CheckFuzzSeed("model_components", "swapped", std::string(1, '\1') + Hex(kComponentOtherOrder));
}

}  // namespace
}  // namespace plexa::test
