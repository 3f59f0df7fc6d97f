// The library item in memory: names, prefix, symbol definitions and their drawings' images,
// sections and pin numbers, pin sets, packages, hidden pins, the purges that flattening runs and
// the move into another string block.
#include "model/libitem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/tests/libitem_testing.h"
#include "model/tests/model_testing.h"

namespace plexa::test {
namespace {

using LibItem = LibItemTest;

std::string Names(LibraryItem* item) {
    std::string s;
    for (int32_t i = 0; i < CountLibraryItemNames(item); ++i) {
        char name[kLibItemTextSize];
        const uint8_t info = GetLibraryItemNameInfo(item, i, name);
        s += (i ? " " : "") + std::string(name) + "/" + std::to_string(info);
    }
    return s;
}

LibSection* SectionAt(LibraryItem* item, int32_t index) {
    return static_cast<LibSection*>(LLGetIndexedLink(item->sections, uint32_t(index)));
}

std::string Suffixes(LibraryItem* item) {
    std::string s;
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section; section = section->next) {
        char suffix[kLibItemTextSize];
        GetLibSectionSuffix(section, item->stringBlock, suffix);
        s += std::string(s.empty() ? "" : " ") + (*suffix ? suffix : "-") + ":" + std::to_string(section->symbolIndex);
    }
    return s;
}

// ---- Names and prefix ----

TEST_F(LibItem, NamesAreSetAppendedReplacedAndDeleted) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_EQ(CountLibraryItemNames(item), 0);
    EXPECT_STREQ(GetLibraryItemNamePtr(item, 0), "");
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "A", 1));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "B", 2));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 7, "C", 3));  // any index past the end appends
    EXPECT_EQ(Names(item), "A/1 B/2 C/3");
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 1, "BETA", 7));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, nullptr, 9));
    EXPECT_FALSE(SetLibraryItemNameInfo(item, 3, nullptr, 1));  // no such name
    EXPECT_FALSE(SetLibraryItemNameInfo(item, 2, "", 1));       // it would end the list
    EXPECT_FALSE(SetLibraryItemNameInfo(item, -1, "X", 1));
    EXPECT_EQ(Names(item), "A/9 BETA/7 C/3");
    EXPECT_EQ(std::string(GetLibItemNamesBase(item), 13), std::string("A\0\x09" "BETA\0\x07" "C\0\x03\0\0", 13));
    EXPECT_STREQ(GetLibraryItemNamePtr(item, 2), "C");
    EXPECT_STREQ(GetLibraryItemNamePtr(item, 5), "");
    DeleteLibraryItemNameInfo(item, 1);
    DeleteLibraryItemNameInfo(item, 2);
    DeleteLibraryItemNameInfo(item, -1);
    EXPECT_EQ(Names(item), "A/9 C/3");
    char name[kLibItemTextSize] = "x";
    EXPECT_EQ(GetLibraryItemNameInfo(item, 4, name), 0);
    EXPECT_STREQ(name, "");
}

TEST_F(LibItem, ANameLongerThan255BytesIsCutAtACharacterBoundary) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    std::string longName = "xy";
    for (int i = 0; i < 150; ++i) longName += "\xC3\xA9";  // e-acute, two bytes each
    ASSERT_TRUE(SetLibraryItemNameInfo(item, 0, longName.c_str(), 0));
    const std::string kept = GetLibraryItemNamePtr(item, 0);
    EXPECT_EQ(kept, longName.substr(0, 254));  // 255 would split a character
    const std::string bytes = Flatten(item);
    EXPECT_STREQ(GetLibraryItemNamePtr(Inflate(bytes), 0), kept.c_str());
    FlatHandle flat(bytes);
    char read[kFlatItemNameBufferSize];
    EXPECT_EQ(GetFlattenedLibraryItemName(flat, 0, read, sizeof read), 1);
    EXPECT_EQ(read, kept);
}

TEST_F(LibItem, ThePrefixIsReadIntoFifteenBytesWithoutSplittingACharacter) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_TRUE(SetLibraryItemRefPrefix(item, "U"));
    EXPECT_FALSE(SetLibraryItemRefPrefix(item, "U"));
    const struct {
        const char* set;
        const char* get;
    } cases[] = {
        {"IC", "IC"},
        {"abcdefghijklmnop", "abcdefghijklmn"},
        {"\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84", "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"},
        {"a\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84", "a\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SetLibraryItemRefPrefix(item, c.set);
        char prefix[kLibRefPrefixSize];
        EXPECT_EQ(GetLibraryItemRefPrefix(item, prefix), int32_t(std::strlen(c.get))) << c.set;
        EXPECT_STREQ(prefix, c.get);
    }
    EXPECT_EQ(item->head.refPrefix, 0u);
}

// ---- Symbol definitions ----

TEST_F(LibItem, DeletingASymbolDefinitionTakesItsSectionsAndRenumbersTheOthers) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    for (const char* name : {"S0", "S1", "S2"}) AddLibSymbolDef(item, name, Drawing(1), nullptr, item->imageList, nullptr);
    AddSection(item, "A", 0, {}, false);
    AddSection(item, "B", 1, {}, false);
    AddSection(item, "C", 2, {}, false);
    AddSection(item, "D", 1, {}, false);
    AddSection(item, "E", kLibNoSymbol, {}, false);
    EXPECT_EQ(Suffixes(item), "A:0 B:1 C:2 D:1 E:255");
    DeleteLibSymbolDef(item, 1);
    EXPECT_EQ(Suffixes(item), "A:0 C:1 E:255");
    EXPECT_EQ(item->head.symbolCount, 2);
    char name[kLibItemTextSize];
    GetLibSymbolName(item, 1, name);
    EXPECT_STREQ(name, "S2");
    DeleteLibSymbolDef(item, 5);  // nothing
    EXPECT_EQ(item->head.symbolCount, 2);
    // Indices outside give nothing and change nothing.
    EXPECT_EQ(GetLibSymbolName(item, 2, name), 0u);
    EXPECT_STREQ(name, "");
    SetLibSymbolFlags(item, -1, 7);
    EXPECT_EQ(GetLibSymbolFlags(item, 2), 0u);
    EXPECT_EQ(GetLibSymbolData(item, 0, 2), nullptr);
    EXPECT_EQ(SetLibSymbolData(item, 9, 0, Drawing(1), nullptr), status::kParamErr);  // freed
}

TEST_F(LibItem, AnItemHoldsAtMost255SymbolDefinitions) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    for (int i = 0; i < 255; ++i) ASSERT_EQ(AddLibSymbolDef(item, "S", nullptr, nullptr, nullptr, Ids({1})), i);
    EXPECT_EQ(AddLibSymbolDef(item, "S", Drawing(1), Drawing(2), item->imageList, Ids({1})), -1);
    EXPECT_EQ(item->head.symbolCount, 255);
}

TEST_F(LibItem, DrawingsTakeTheirImagesIntoTheItemsList) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    const int32_t own = AddImageToImageList(item->imageList, GreyImage(4, 4, 1));
    ImageList* other = CreateLocalImageList();
    AddImageToImageList(other, GreyImage(9, 9, 2));
    const int32_t foreign = AddImageToImageList(other, GreyImage(5, 5, 3));
    AddLibSymbolDef(item, "S", Drawing(1, own), nullptr, item->imageList, nullptr);
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, own), 2u);
    // From another list: added to the item's and renumbered in the drawing.
    ASSERT_EQ(SetLibSymbolData(item, 0, 1, Drawing(2, foreign), other), 0);
    const Ptr alternate = GetLibSymbolData(item, 0, 1);
    const int32_t taken = own + 1;
    EXPECT_EQ(std::string(alternate, SizeOfPtr(alternate)), DrawingBytes(2, taken));
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, taken), 1u);
    EXPECT_EQ(GetImageListReferenceCount(other, foreign), 1u);
    // With no list the references are the item's already; a missing image is cleared to -1.
    ASSERT_EQ(SetLibSymbolData(item, 0, 1, Drawing(3, 7), nullptr), 0);
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, taken), 0u);  // the old drawing let go
    const Ptr cleared = GetLibSymbolData(item, 0, 1);
    EXPECT_EQ(std::string(cleared, SizeOfPtr(cleared)), DrawingBytes(3, -1));
    // A drawing that does not play is refused and the present one stays.
    std::string bad = DrawingBytes(4);
    bad[16] = 0x77;
    EXPECT_EQ(SetLibSymbolData(item, 0, 0, Block(bad), item->imageList), kSymbolDataCorrupt);
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, own), 2u);
    // Clearing lets the images go.
    EXPECT_EQ(SetLibSymbolData(item, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, own), 1u);
    ReleaseImageListImage(item->imageList, own);
    DestroyImageList(other);
}

// ---- Sections and pin numbers ----

TEST_F(LibItem, SectionsAreAddedInSuffixOrderIgnoringCase) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    const struct {
        const char* suffix;
        int32_t position;
    } adds[] = {{"B", 0}, {"a", 0}, {"C", 2}, {"b", 2}, {"", 0}, {"A", 2}};
    for (const auto& a : adds) {
        LibSection* section = CreateLibSection();
        SetLibSectionSuffix(section, item->stringBlock, a.suffix);
        EXPECT_EQ(AddSectionToLibItem(item, section, true), a.position) << a.suffix;
    }
    EXPECT_EQ(Suffixes(item), "-:255 a:255 A:255 B:255 b:255 C:255");
    LibSection* last = CreateLibSection();
    EXPECT_EQ(AddSectionToLibItem(item, last, false), 6);
    last->symbolIndex = 3;
    EXPECT_EQ(GetFirstLibSectionUsingSymbol(item, 3), last);
    EXPECT_EQ(GetFirstLibSectionUsingSymbol(item, 4), nullptr);
    RemoveSectionFromLibItem(item, last, false);
    EXPECT_EQ(item->sections->count, 6u);
    DestroyLibSection(last);
}

TEST_F(LibItem, SectionPinNumbersFollowThePinCountAndThePinSets) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    const StringBlock block = item->stringBlock;
    LibSection* section = CreateLibSection();
    AddSectionToLibItem(item, section, false);
    ASSERT_TRUE(SetLibSectionPinCount(section, 2));
    EXPECT_EQ(section->pinNumbers[0], nullptr);  // a pin count makes no pin set
    ASSERT_TRUE(CreateLibSectionPinSet(section, 0, -1));
    EXPECT_NE(SetLibSectionPinNumber(section, block, 0, 1, "7"), 0u);
    EXPECT_EQ(SetLibSectionPinNumber(section, block, 0, 2, "8"), 0u);  // no such pin
    EXPECT_EQ(SetLibSectionPinNumber(section, block, 1, 0, "8"), 0u);  // no such pin set
    ASSERT_TRUE(CreateLibSectionPinSet(section, 2, 0));                // a copy of set 0
    EXPECT_TRUE(CreateLibSectionPinSet(section, 2, 2));                // itself: nothing
    char number[kLibItemTextSize];
    GetLibSectionPinNumber(section, block, 2, 1, number);
    EXPECT_STREQ(number, "7");
    ASSERT_TRUE(SetLibSectionPinCount(section, 3));
    EXPECT_EQ(SizeOfHandle(section->pinNumbers[2]), 12u);
    EXPECT_EQ(GetLibSectionPinNumber(section, block, 2, 2, number), 0u);
    EXPECT_FALSE(SetLibSectionPinCount(section, -1));
    EXPECT_FALSE(SetLibSectionPinCount(section, 0x8000));
    EXPECT_EQ(section->pinCount, 3);

    // A set of four: moved into the item's block, the first given number fills the sets given none.
    StringBlock editor = CreateStringBlock(nullptr, 64);
    const StringSpec specs[4] = {0, AppendStringBlock(editor, "A1", 2, nullptr), 0,
                                 AppendStringBlock(editor, "A3", 2, nullptr)};
    SetLibSectionPinNumberSet(section, 0, specs, editor, block);
    StringSpec read[4];
    GetLibSectionPinNumberSet(section, 0, read);
    EXPECT_EQ(Text(read[0], block), "A1");
    EXPECT_EQ(read[1], 0u);  // the section has no pin set 1
    EXPECT_EQ(Text(read[2], block), "A1");
    EXPECT_EQ(read[3], 0u);
    DestroyStringBlock(editor);

    // Pin sets are judged by the first section.
    LibSection* second = CreateLibSection();
    AddSectionToLibItem(item, second, false);
    EXPECT_TRUE(IsLibPinSetAllocated(item, 2));
    EXPECT_FALSE(IsLibPinSetAllocated(item, 1));
    EXPECT_FALSE(IsLibPinSetAllocated(item, 4));
    EXPECT_EQ(GetDefaultLibItemPinSet(item), 0);
    ASSERT_TRUE(SetLibSectionPinCount(second, 3));
    ASSERT_TRUE(AllocateLibItemPinSet(item, 2, -1));
    EXPECT_EQ(SizeOfHandle(second->pinNumbers[2]), 12u);
    EXPECT_EQ(second->pinNumbers[0], nullptr);
    DestroyLibSectionPinSet(section, 0);
    DestroyLibSectionPinSet(section, 2);
    EXPECT_EQ(GetDefaultLibItemPinSet(item), -1);
    EXPECT_EQ(GetLibItemPinNumber(item, second, 2, 0, number), 0u);
    const StringSpec nine = SetLibItemPinNumber(item, second, 2, 0, "9");
    EXPECT_EQ(GetLibSectionPinNumber(second, block, 2, 0, number), nine);
    EXPECT_STREQ(number, "9");
}

// ---- Packages, hidden pins and pins ----

TEST_F(LibItem, DeletingAPackageRenumbersTheNamesThatSelectPackages) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(AddNewPackageToLibItem(item, i), i);
    EXPECT_EQ(AddNewPackageToLibItem(item, 4), -1);
    SetLibPackageName(item, 2, "THIRD");
    const struct {
        const char* name;
        uint8_t info;
    } names[] = {{"P0", 0}, {"P1", 1}, {"P2", 2}, {"NONE", 3}, {"FAR", 200}};
    for (const auto& n : names) EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, n.name, n.info));
    DeleteLibItemPackage(item, 1);
    EXPECT_EQ(Names(item), "P0/0 P1/0 P2/1 NONE/3 FAR/200");
    EXPECT_EQ(item->head.packageCount, 2);
    char name[kLibItemTextSize];
    GetLibPackageName(item, 1, name);
    EXPECT_STREQ(name, "THIRD");
    EXPECT_EQ(GetLibPackagePinSet(item, 1), 2);
    SetLibPackagePinSet(item, 1, 4);
    EXPECT_EQ(GetLibPackagePinSet(item, 1), 2);
    EXPECT_EQ(GetLibPackagePinSet(item, 2), -1);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(LibItemPackages(item))[18], 2);  // the second entry's pin set
}

TEST_F(LibItem, HiddenPinTablesComeWithTheFirstPinAndGoWithTheLast) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_EQ(CountLibSymbolPins(item, 1, kLibHiddenPins), 0);
    EXPECT_EQ(AddNewHiddenPinToLibItem(item, 1, "14", 3), 0);
    EXPECT_EQ(AddNewHiddenPinToLibItem(item, 1, "7", 4), 1);
    EXPECT_EQ(AddNewHiddenPinToLibItem(item, 4, "1", 0), -1);
    EXPECT_EQ(CountLibSymbolPins(item, 1, -1), 2);
    char number[kLibItemTextSize];
    uint32_t id = 0;
    GetLibItemHiddenPinInfo(item, 1, 1, number, &id);
    EXPECT_STREQ(number, "7");
    EXPECT_EQ(id, 4u);
    SetLibItemHiddenPinNumber(item, 1, 1, "8");
    SetLibItemHiddenPinDataId(item, 1, 1, 70000);  // hidden pins take 32-bit ids
    EXPECT_EQ(GetLibSymbolPinDataId(item, 1, kLibHiddenPins, 1), 70000u);
    const StringSpec eight = GetLibItemHiddenPinInfo(item, 1, 1, nullptr, nullptr);
    EXPECT_EQ(GetLibItemPinNumber(item, nullptr, 1, 1, number), eight);
    EXPECT_STREQ(number, "8");
    SetLibItemHiddenPinNumberSpec(item, 1, 0, 0);
    EXPECT_EQ(GetLibItemHiddenPinInfo(item, 1, 0, number, nullptr), 0u);
    EXPECT_EQ(GetLibItemHiddenPinInfo(item, 1, 2, number, &id), 0u);
    EXPECT_EQ(id, 0xFFFFFFFFu);
    DeleteHiddenPinFromLibItem(item, 1, 0);
    DeleteHiddenPinFromLibItem(item, 1, 0);
    EXPECT_EQ(item->hiddenPins[1], nullptr);
    // The stored form counts a table in 16 bits: 8191 pins.
    for (int i = 0; i < 8191; ++i) ASSERT_EQ(AddNewHiddenPinToLibItem(item, 0, "P", 0), i);
    EXPECT_EQ(AddNewHiddenPinToLibItem(item, 0, "P", 0), -1);
}

TEST_F(LibItem, SymbolPinsTakeSixteenBitIds) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    AddLibSymbolDef(item, "S", nullptr, nullptr, nullptr, Ids({5, 6, 7}));
    EXPECT_EQ(CountLibSymbolPins(item, 3, 0), 3);
    EXPECT_TRUE(SetLibSymbolPinDataId(item, 0, 0, 2, 0xFFFF));
    EXPECT_FALSE(SetLibSymbolPinDataId(item, 0, 0, 2, 0x10000));
    EXPECT_FALSE(SetLibSymbolPinDataId(item, 0, 0, 3, 1));
    EXPECT_EQ(GetLibSymbolPinDataId(item, 0, 0, 2), 0xFFFFu);
    EXPECT_EQ(GetLibSymbolPinDataId(item, 0, 0, 3), 0xFFFFFFFFu);
    EXPECT_EQ(GetLibSymbolPinDataId(item, 0, 1, 0), 0xFFFFFFFFu);
    SetLibSymbolPinDataIds(item, 0, Ids({1}));
    EXPECT_EQ(CountLibSymbolPins(item, 0, 0), 1);
    SetLibSymbolPinDataIds(item, 0, nullptr);
    EXPECT_EQ(GetLibSymbolPinDataIds(item, 0), nullptr);
    SetLibSymbolPinDataIds(item, 4, Ids({1}));  // freed
}

// ---- The purges ----

TEST_F(LibItem, SymbolDefinitionsWithoutADrawingOrASectionArePurgedOnlyByAFinalFlatten) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "X", 0));
    AddLibSymbolDef(item, "no drawing", nullptr, Drawing(1), item->imageList, nullptr);
    AddLibSymbolDef(item, "unassigned", Drawing(2), nullptr, item->imageList, nullptr);
    AddLibSymbolDef(item, "kept", Drawing(3), nullptr, item->imageList, nullptr);
    AddSection(item, "A", 0, {}, false);
    AddSection(item, "B", 2, {}, false);
    AddSection(item, "C", kLibNoSymbol, {}, false);
    PurgeEmptyUnusedParts(item);
    EXPECT_EQ(Suffixes(item), "B:0 C:255");
    char name[kLibItemTextSize];
    GetLibSymbolName(item, 0, name);
    EXPECT_STREQ(name, "kept");
    EXPECT_EQ(item->head.symbolCount, 1);
    // The flatten of an item being edited (empty allowed) keeps a definition not drawn or not
    // given a section yet, with its flags; a final flatten runs the purge on the item itself.
    AddLibSymbolDef(item, "new", Drawing(4), nullptr, item->imageList, nullptr);
    AddLibSymbolDef(item, "not drawn", nullptr, nullptr, item->imageList, nullptr);
    SetLibSymbolFlags(item, 2, 0x30);
    AddSection(item, "D", 2, {}, false);
    for (const bool allowEmpty : {true, false}) {
        SCOPED_TRACE(allowEmpty ? "editing" : "final");
        LibraryItem* read = Inflate(Flatten(item, kTestStamp, allowEmpty));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(item->head.symbolCount, allowEmpty ? 3 : 1);
        EXPECT_EQ(read->head.symbolCount, allowEmpty ? 3 : 1);
        if (allowEmpty) {
            EXPECT_EQ(GetLibSymbolFlags(read, 2), 0x30u);
        }
        EXPECT_TRUE(IsLibraryItemValid(read));
    }
}

// Validity asks for a section that draws with a definition holding a drawing.
TEST_F(LibItem, AnItemWhoseOnlyUsedDefinitionIsNotDrawnIsNotValid) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "X", 0));
    AddLibSymbolDef(item, "not drawn", nullptr, nullptr, item->imageList, nullptr);
    AddSection(item, "A", 0, {}, false);
    EXPECT_FALSE(IsLibraryItemValid(item));
    const std::string flat = Flatten(item);
    EXPECT_EQ(flat[6], 0);  // the valid byte
    EXPECT_EQ(Inflate(flat)->head.symbolCount, 1);
    EXPECT_EQ(status::kNoErr, SetLibSymbolData(item, 0, 0, Drawing(1), item->imageList));
    EXPECT_TRUE(IsLibraryItemValid(item));
}

// Pin sets of every section and hidden-pin table, and each package's set: "s0:01 s1:0 h:1 p:0".
std::string PinSets(LibraryItem* item) {
    std::string s;
    int32_t index = 0;
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section; section = section->next) {
        s += "s" + std::to_string(index++) + ":";
        for (int32_t set = 0; set < kLibPinSetCount; ++set)
            if (section->pinNumbers[set]) s += std::to_string(set);
        s += " ";
    }
    s += "h:";
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        if (item->hiddenPins[set]) s += std::to_string(set);
    s += " p:";
    for (int32_t p = 0; p < item->head.packageCount; ++p) s += std::to_string(GetLibPackagePinSet(item, p));
    return s;
}

TEST_F(LibItem, UnusedPinSetsAreDroppedAndPackagesMovedToSetsThatExist) {
    struct Case {
        const char* name;
        uint8_t kind;
        std::vector<std::vector<int>> sections;  // the pin sets of each section
        std::vector<int> hidden;                 // the pin sets with a hidden pin
        std::vector<int> packages;               // each package's pin set
        bool pins;                               // the symbol has pins
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"packages keep their sets", 0, {{0, 1, 2}, {0, 1, 2}}, {1, 2}, {0, 2}, true,
         "s0:012 s1:012 h:12 p:02", "s0:02 s1:02 h:2 p:02"},
        {"a package on a missing set moves to the lowest", 0, {{1, 3}, {1}}, {}, {2}, true,
         "s0:13 s1:1 h: p:2", "s0:1 s1:1 h: p:1"},
        {"packages without any set get pin set 0", 0, {{}, {}}, {2}, {3, 1}, false,
         "s0: s1: h:2 p:31", "s0:0 s1:0 h: p:00"},
        {"no packages: pin set 0 is kept", 0, {{0, 2}, {0}}, {0, 3}, {}, true,
         "s0:02 s1:0 h:03 p:", "s0:0 s1:0 h:0 p:"},
        {"no packages: the lowest set becomes pin set 0", 0, {{2, 3}, {3}}, {0, 2}, {}, true,
         "s0:23 s1:3 h:02 p:", "s0:0 s1:0 h:0 p:"},
        // Hidden pins are kept when no section has pin numbers: they become pin set 0's.
        {"no packages and a hidden pin only", 0, {{}, {}}, {1}, {}, false, "s0: s1: h:1 p:", "s0:0 s1:0 h:0 p:"},
        {"no sections and a hidden pin of set 0", 0, {}, {0}, {}, false, "h:0 p:", "h:0 p:"},
        {"no pins at all", 0, {{0}, {0}}, {}, {}, false, "s0:0 s1:0 h: p:", "s0: s1: h: p:"},
        {"a wire symbol keeps none", 1, {{0}, {0}}, {0}, {0}, true, "s0:0 s1:0 h:0 p:0", "s0: s1: h: p:0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LibraryItem* item = Own(CreateLibraryItem(c.kind));
        AddLibSymbolDef(item, "S", Drawing(1), nullptr, item->imageList, c.pins ? Ids({0, 0}) : nullptr);
        for (const auto& sets : c.sections) {
            LibSection* section = CreateLibSection();
            section->symbolIndex = 0;
            SetLibSectionPinCount(section, c.pins ? 2 : 0);
            for (int set : sets) EXPECT_TRUE(CreateLibSectionPinSet(section, set, -1));
            AddSectionToLibItem(item, section, false);
        }
        // The hidden pin of pin set 2 is told apart by its number.
        for (int set : c.hidden) AddNewHiddenPinToLibItem(item, set, set == 2 ? "two" : "other", 0);
        for (int set : c.packages) {
            const int32_t p = AddNewPackageToLibItem(item, 0);
            LibItemPackages(item)[p].pinSet = uint8_t(set);
        }
        EXPECT_EQ(PinSets(item), c.before);
        EXPECT_EQ(PurgeUnusedPinSets(item), 0);
        EXPECT_EQ(PinSets(item), c.after);
        if (std::string(c.name) == "no packages: the lowest set becomes pin set 0") {
            char number[kLibItemTextSize];
            GetLibItemHiddenPinInfo(item, 0, 0, number, nullptr);
            EXPECT_STREQ(number, "two");  // pin set 2's table is pin set 0's now
            EXPECT_EQ(SizeOfHandle(SectionAt(item, 1)->pinNumbers[0]), 8u);
        }
        // Whatever the purge left flattens and reads.
        EXPECT_TRUE(Inflate(Flatten(item)));
    }
}

TEST_F(LibItem, CompactionKeepsTheImagesAndPinDataThatAreUsedInTheirOrder) {
    LibraryItem* item = Own(CreateLibraryItem(kLibItemComponent));
    int32_t images[3];
    for (int i = 0; i < 3; ++i) images[i] = AddImageToImageList(item->imageList, GreyImage(3 + i, 3, uint32_t(i)));
    AddLibSymbolDef(item, "S", Drawing(1, images[2]), Drawing(2, images[0]), item->imageList, nullptr);
    AddLibSymbolDef(item, "T", Drawing(3, images[2]), nullptr, item->imageList, nullptr);
    for (int32_t id : images) ReleaseImageListImage(item->imageList, id);
    EXPECT_EQ(DACount(item->imageList->entries), 2);  // image 1 went with its last reference
    EXPECT_EQ(CompactLibItemImageList(item), 0);
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, 0), 2u);  // the first referred to
    EXPECT_EQ(GetImageListReferenceCount(item->imageList, 1), 1u);
    EXPECT_EQ(GetImageFromImageList(item->imageList, 0, false)->width, 5);
    const Ptr main = GetLibSymbolData(item, 0, 0), alternate = GetLibSymbolData(item, 0, 1);
    EXPECT_EQ(std::string(main, SizeOfPtr(main)), DrawingBytes(1, 0));
    EXPECT_EQ(std::string(alternate, SizeOfPtr(alternate)), DrawingBytes(2, 1));

    const uint32_t unused = AddPin(item, "UNUSED");
    const auto a = uint16_t(AddPin(item, "A")), b = uint16_t(AddPin(item, "B")), c = uint16_t(AddPin(item, "C"));
    SetLibSymbolPinDataIds(item, 0, Ids({a, b}));
    SetLibSymbolPinDataIds(item, 1, Ids({a, 900}));
    AddNewHiddenPinToLibItem(item, 3, "H", c);
    EXPECT_EQ(unused, 0u);
    EXPECT_EQ(CompactLibItemPinTable(item), 0);
    // Hidden pins first, then each symbol from its last pin: C, B, A, the blank one for 900.
    EXPECT_EQ(DACount(item->pinTable), 4);
    EXPECT_EQ(GetLibSymbolPinDataId(item, 3, kLibHiddenPins, 0), 0u);
    EXPECT_EQ(GetLibSymbolPinDataId(item, 0, 0, 1), 1u);
    EXPECT_EQ(GetLibSymbolPinDataId(item, 0, 0, 0), 2u);
    EXPECT_EQ(GetLibSymbolPinDataId(item, 0, 1, 1), 3u);
    EXPECT_EQ(PinText(item, 2), "A:7");
    EXPECT_EQ(PinText(item, 3), ":0");
}

TEST_F(LibItem, EveryStringMovesIntoANewBlockOrNoneDoes) {
    LibraryItem* item = Own(RichItem(true));
    const std::string before = Dump(item);
    StringBlock block = CreateStringBlock(nullptr, 256);
    ASSERT_EQ(ChangeLibItemStringBlock(item, block), 0);
    EXPECT_EQ(item->stringBlock, block);
    EXPECT_EQ(Dump(item), before);
    // A block that is none, or not a string block, is refused and the item keeps its own.
    Handle junk = AllocHandleClear(nullptr, 64);
    EXPECT_NE(ChangeLibItemStringBlock(item, junk), 0);
    EXPECT_EQ(ChangeLibItemStringBlock(item, nullptr), status::kParamErr);
    EXPECT_EQ(item->stringBlock, block);
    EXPECT_EQ(Dump(item), before);
    MemFree(junk);
    // The parts move on their own too.
    StringBlock other = CreateStringBlock(nullptr, 64);
    ASSERT_EQ(ChangeLibSectionStringBlock(SectionAt(item, 0), block, other), 0);
    char suffix[kLibItemTextSize];
    GetLibSectionSuffix(SectionAt(item, 0), other, suffix);
    EXPECT_STREQ(suffix, "A");
    ASSERT_EQ(ChangeLibPackageStringBlock(LibItemPackages(item), block, other), 0);
    EXPECT_EQ(Text(LibItemPackages(item)->footprint, other), "DIP-14");
    ASSERT_EQ(ChangeLibItemHiddenPinsStringBlock(item, block, other), 0);
    EXPECT_EQ(Text(GetLibItemHiddenPinInfo(item, 1, 0, nullptr, nullptr), other), "NC2");
    DestroyStringBlock(other);
}

}  // namespace
}  // namespace plexa::test
