// Placing library symbols and replacing placed ones: the designator and attributes carried over,
// wires kept on pins of the same name and moved to the new pins, wires of pins the new symbol
// lacks removed, moved texts kept.
#include "files/symbolplace.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "files/sheetstore.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/symboldata.h"
#include "model/tests/libitem_testing.h"
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

struct Pin {
    Point connection;
    Point body;
    const char* number;
    const char* name;
};

class SymbolPlaceTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        SetSymbolPlaceHooks({});
        SetSheetStoreHooks({});
    }
    void TearDown() override {
        for (LibraryItem* item : items_) DestroyLibraryItem(item);
        SetSymbolPlaceHooks({});
        NetTest::TearDown();
    }

    // A one-section component item: prefix R, the name, pins with numbers and names; with a
    // designator anchor, its drawing shows the designator there.
    // With a value anchor, it shows the field reference "{Value}" there, recorded with the macro
    // mark or, as the symbol editor saves it, without.
    LibraryItem* Part(const char* name, const std::vector<Pin>& pins, const char* attribute = nullptr,
                      const Point* designatorAt = nullptr, const Point* valueAt = nullptr, bool marked = false) {
        LibraryItem* item = CreateLibraryItem(kLibItemComponent);
        items_.push_back(item);
        EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, name, 255));
        SetLibraryItemRefPrefix(item, "R");
        LinkListHeader* elements = CreateElementList(drawing->imageList);
        std::vector<uint16_t> ids;
        std::vector<const char*> numbers;
        for (const Pin& pin : pins) {
            LLAppend(elements, BuildNodeElement(pin.connection, pin.body, 1, 0, false, 0, false, 0, false, 0));
            ids.push_back(uint16_t(AddPin(item, pin.name)));
            numbers.push_back(pin.number);
        }
        LLAppend(elements, BuildCommonElement(kElementRect, {0, 0}, {20, 40}, 1, 0, 0, false, false, 0, false, 0,
                                              false));
        LinkListHeader* texts = CreateTextList();
        if (designatorAt) {
            TextRecord* text = CreateTextElement();
            text->kind = kTextKindCompDesignator;
            text->position = *designatorAt;
            SetTextRecordString(text, drawing->stringBlock, "R?");
            LLAppend(texts, text);
        }
        if (valueAt) {
            TextRecord* text = CreateTextElement();
            text->kind = kTextKindSymbolAttribute;
            text->position = *valueAt;
            SetTextRecordString(text, drawing->stringBlock, "{Value}");
            if (marked) SetTextRecordMacroString(text, drawing->stringBlock, "{Value}");
            LLAppend(texts, text);
        }
        Handle data = ElementsToSymbolData(elements, texts, nullptr, drawing->stringBlock, false, nullptr);
        DestroyTextList(texts);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        const std::string bytes(*data, SizeOfHandle(data));
        MemFree(data);
        EXPECT_EQ(AddLibSymbolDef(item, "body", Block(bytes), nullptr, item->imageList, Ids(ids)), 0);
        AddSection(item, "", 0, {numbers}, false, int32_t(numbers.size()));
        if (attribute) {
            int16_t count = item->head.attributeCount;
            SetAttributeValue(item->stringBlock, item->attributes, 0, &count, "Value", attribute, nullptr);
            item->head.attributeCount = count;
        }
        return item;
    }

    SymbolRecord* PlacePart(LibraryItem* item, Point at, int32_t stamp = 100) {
        SymbolRecord* symbol =
            PlaceLibSymbolInstance(drawing, at, 0, item, 0, -1, 0, false, "PARTS.LBX", stamp, nullptr, 0);
        EXPECT_NE(symbol, nullptr);
        return symbol;
    }

    Point PinPoint(SymbolRecord* symbol, int32_t node) {
        Point p;
        GetNodeInstancePoint(drawing, symbol, node, &p);
        return p;
    }

    // A wire from the pin to a free point.
    SignalHandle Wire(SymbolRecord* symbol, int32_t node, Point to) {
        const Point from = PinPoint(symbol, node);
        driver->AddPin(from, symbol, uint16_t(node));
        return Draw({from, to});
    }

    std::string Designator(SymbolRecord* symbol) {
        char text[kSymbolTextSize];
        GetSymbolsDisplayDesignator(drawing, symbol, text);
        return text;
    }

    std::vector<LibraryItem*> items_;
};

const std::vector<Pin> kResistor = {{{10, 0}, {10, 10}, "1", "A"}, {{10, 50}, {10, 40}, "2", "B"}};
// The same pins, further apart and in the other order.
const std::vector<Pin> kLongResistor = {{{10, 90}, {10, 80}, "2", "B"}, {{10, 0}, {10, 10}, "1", "A"}};
// Pin 2 is missing.
const std::vector<Pin> kOtherPart = {{{10, 0}, {10, 10}, "1", "A"}, {{10, 70}, {10, 60}, "3", "C"}};

TEST_F(SymbolPlaceTest, PlacingGivesAUniqueDesignatorTheSourceAndTheTrackedAttributes) {
    LibraryItem* item = Part("1K", kResistor, "1k");
    SymbolRecord* first = PlacePart(item, {100, 100}, 77);
    SymbolRecord* second = PlacePart(item, {200, 100});
    EXPECT_EQ(Designator(first), "R1");
    EXPECT_EQ(Designator(second), "R2");
    char text[kSymbolTextSize];
    ExtractStringSpec(first->libraryName, drawing->stringBlock, text, sizeof text);
    EXPECT_STREQ(text, "PARTS.LBX");
    EXPECT_EQ(first->changeTime, 77);
    GetSymbolAttribute(first, drawing->stringBlock, "Value", text);
    EXPECT_STREQ(text, "1k");
    GetSymbolAttribute(first, drawing->stringBlock, "~~Value", text);
    EXPECT_STREQ(text, "1k");
    EXPECT_TRUE(drawing->modifiedFlags & kSheetModifiedContent);
}

// A placed symbol's name and designator texts follow its definition's placement options (1 the
// name, 2 the designator): a shown text that the drawing lacks is made above the symbol (the
// designator over the name), the drawing's designator keeps its place and shows the designator,
// hidden when not shown; there is never more than one of each.
TEST_F(SymbolPlaceTest, ThePlacementOptionsChooseTheNameAndDesignatorTexts) {
    SymbolPlaceHooks hooks{};
    hooks.createSymbolTextItems = CreateSymbolTextItems;
    SetSymbolPlaceHooks(hooks);
    const Point anchor{-4, 44};
    struct Case {
        uint8_t placement;
        bool drawn;  // the drawing has a designator text
        const char* texts;
    };
    const Case cases[] = {
        {0, false, ""},
        {0, true, "  T1 kind 0x0011 owner serial 1 flags 0x0008 at (144,96) \"R1\"\n"},
        {1, false, "  T1 kind 0x0012 owner serial 1 flags 0x0020 at (100,97) \"1K\"\n"},
        {2, false, "  T1 kind 0x0011 owner serial 1 flags 0x0020 at (100,97) \"R1\"\n"},
        {2, true, "  T1 kind 0x0011 owner serial 1 at (144,96) \"R1\"\n"},
        {3, false,
         "  T1 kind 0x0012 owner serial 1 flags 0x0020 at (100,97) \"1K\"\n"
         "  T2 kind 0x0011 owner serial 1 flags 0x0020 at (100,82) \"R1\"\n"},
        {3, true,
         "  T1 kind 0x0011 owner serial 1 at (144,96) \"R1\"\n"
         "  T2 kind 0x0012 owner serial 1 flags 0x0020 at (100,97) \"1K\"\n"},
    };
    for (const Case& c : cases) {
        SheetRecord* sheet = CreateDrawing();  // each case on a sheet of its own
        ASSERT_NE(sheet, nullptr);
        std::swap(drawing, sheet);
        LibraryItem* item = Part("1K", kResistor, nullptr, c.drawn ? &anchor : nullptr);
        SetLibSymbolPlacementOptions(item, 0, c.placement);
        SymbolRecord* symbol = PlacePart(item, {100, 100});
        EXPECT_EQ(LinesHolding(DumpSheet(drawing, kDumpTexts), "  T"), c.texts)
            << "placement " << int(c.placement) << (c.drawn ? " drawn" : "");
        // Made again from the definition, the texts stay as they are, none doubled.
        ReplaceSymbolsText(drawing, symbol, nullptr);
        EXPECT_EQ(LinesHolding(DumpSheet(drawing, kDumpTexts), "  T"), c.texts)
            << "again, placement " << int(c.placement) << (c.drawn ? " drawn" : "");
        std::swap(drawing, sheet);
        DestroySheet(sheet);
    }
}

// A field reference of the definition shows the placed symbol's value, whether the definition
// marks it as a macro (as the library maker does) or not (as the symbol editor saves it): when
// placed, when its texts are made again, and when Update Parts replaces it by a newer definition.
TEST_F(SymbolPlaceTest, AFieldReferenceOfTheDefinitionShowsThePlacedValue) {
    const Point anchor{30, 24};
    for (const bool marked : {true, false}) {
        SCOPED_TRACE(marked ? "marked" : "unmarked");
        SheetRecord* sheet = CreateDrawing();
        ASSERT_NE(sheet, nullptr);
        std::swap(drawing, sheet);
        LibraryItem* item = Part("1K", kResistor, "1k", nullptr, &anchor, marked);
        SymbolRecord* symbol = PlacePart(item, {100, 100});
        const std::string shown =
            "  T1 kind 0x0016 owner serial 1 flags 0x0010 at (124,130) \"1k\" macro \"{Value}\"\n";
        EXPECT_EQ(LinesHolding(DumpSheet(drawing, kDumpTexts), "  T"), shown);
        ReplaceSymbolsText(drawing, symbol, nullptr);
        EXPECT_EQ(LinesHolding(DumpSheet(drawing, kDumpTexts), "  T"), shown);
        SymbolSelection selection{Part("1K", kLongResistor, "1k", nullptr, &anchor, marked), 0, 0, false, "PARTS.LBX",
                                  200};
        SymbolRecord* replacement = ReplaceSymbol(drawing, symbol, &selection, false, false, kTrackUpdate, nullptr);
        ASSERT_NE(replacement, nullptr);
        EXPECT_EQ(LinesHolding(DumpSheet(drawing, kDumpTexts), "  T"),
                  "  T1 kind 0x0016 owner serial 2 flags 0x0010 at (124,130) \"1k\" macro \"{Value}\"\n");
        std::swap(drawing, sheet);
        DestroySheet(sheet);
    }
}

TEST_F(SymbolPlaceTest, ReplacingAResistorKeepsTheWiresOnPinsOfTheSameNumber) {
    SymbolRecord* old = PlacePart(Part("1K", kResistor), {100, 100});
    SignalHandle top = Wire(old, 0, {100, 60});
    SignalHandle bottom = Wire(old, 1, {150, 200});
    SymbolSelection selection{Part("LONG", kLongResistor), 0, 0, false, "PARTS.LBX", 200};
    Rect changed;
    VXSetEmptyRect(&changed);
    SymbolRecord* replacement = ReplaceSymbol(drawing, old, &selection, false, false, 0, &changed);
    ASSERT_NE(replacement, nullptr);
    EXPECT_EQ(Designator(replacement), "R1");
    EXPECT_EQ(replacement->changeTime, 200);
    EXPECT_FALSE(VXEmptyRect(&changed));
    // Pin "1" is node 1 of the new symbol, pin "2" node 0.
    WireHandle wire = nullptr;
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, replacement, 1, &wire, nullptr), top);
    ASSERT_NE(wire, nullptr);
    EXPECT_EQ(PointsText({Corners(wire).front()}), PointsText({PinPoint(replacement, 1)}));
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, replacement, 0, &wire, nullptr), bottom);
    EXPECT_EQ(PointsText({Corners(wire).front()}), PointsText({PinPoint(replacement, 0)}));
    EXPECT_EQ(PointsText({PinPoint(replacement, 0)}), "(190,110)");  // moved to the new pin
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, old, 0, nullptr, nullptr), nullptr);
    // The old symbol stays until the caller deletes it.
    EXPECT_NE(RetrieveSerializedSymbol(drawing->symbolList, old->serial), nullptr);
}

TEST_F(SymbolPlaceTest, APinTheNewSymbolLacksLosesItsWire) {
    SymbolRecord* old = PlacePart(Part("1K", kResistor), {100, 100});
    Wire(old, 0, {100, 60});
    Wire(old, 1, {150, 200});
    SymbolSelection selection{Part("OTHER", kOtherPart), 0, 0, false, "PARTS.LBX", 200};
    SymbolRecord* replacement = ReplaceSymbol(drawing, old, &selection, false, false, 0, nullptr);
    ASSERT_NE(replacement, nullptr);
    EXPECT_NE(GetConnectedSignal(drawing->signalList, replacement, 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, replacement, 1, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, old, 1, nullptr, nullptr), nullptr);
    EXPECT_EQ(int32_t(drawing->signalList->count), 1);  // the wire of pin 2 went with its signal
}

TEST_F(SymbolPlaceTest, MatchingByPinNamesUsesThePinDataNames) {
    SymbolRecord* old = PlacePart(Part("1K", kResistor), {100, 100});
    Wire(old, 1, {150, 200});
    // Pin named "B" is numbered "9" on the new part.
    const std::vector<Pin> renumbered = {{{10, 0}, {10, 10}, "8", "A"}, {{10, 50}, {10, 40}, "9", "B"}};
    SymbolSelection selection{Part("RENUMBERED", renumbered), 0, 0, false, "PARTS.LBX", 200};
    SymbolRecord* byNumber = ReplaceSymbol(drawing, old, &selection, false, false, 0, nullptr);
    ASSERT_NE(byNumber, nullptr);
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, byNumber, 1, nullptr, nullptr), nullptr);

    SymbolRecord* again = PlacePart(Part("1K", kResistor), {300, 100});
    Wire(again, 1, {350, 200});
    SymbolRecord* byName = ReplaceSymbol(drawing, again, &selection, true, false, 0, nullptr);
    ASSERT_NE(byName, nullptr);
    EXPECT_NE(GetConnectedSignal(drawing->signalList, byName, 1, nullptr, nullptr), nullptr);
}

TEST_F(SymbolPlaceTest, AttributesTheUserChangedSurviveTheReplacement) {
    SymbolRecord* old = PlacePart(Part("1K", kResistor, "1k"), {100, 100});
    SetSymbolAttribute(old, drawing->stringBlock, "Value", "4k7", nullptr);
    SetSymbolAttribute(old, drawing->stringBlock, "Tolerance", "1%", nullptr);
    SymbolSelection selection{Part("1K", kResistor, "2k"), 0, 0, false, "PARTS.LBX", 200};
    SymbolRecord* replacement = ReplaceSymbol(drawing, old, &selection, false, false, kTrackUpdate, nullptr);
    ASSERT_NE(replacement, nullptr);
    char text[kSymbolTextSize];
    GetSymbolAttribute(replacement, drawing->stringBlock, "Value", text);
    EXPECT_STREQ(text, "4k7");
    GetSymbolAttribute(replacement, drawing->stringBlock, "Tolerance", text);
    EXPECT_STREQ(text, "1%");
    GetSymbolAttribute(replacement, drawing->stringBlock, "~~Value", text);
    EXPECT_STREQ(text, "2k");
}

TEST_F(SymbolPlaceTest, NoSelectionOrNoDefinitionLeavesTheOldSymbolAlone) {
    SymbolRecord* old = PlacePart(Part("1K", kResistor), {100, 100});
    const int32_t symbols = int32_t(drawing->symbolList->count);
    EXPECT_EQ(ReplaceSymbol(drawing, old, nullptr, false, false, 0, nullptr), nullptr);  // no cache selection
    SymbolSelection none{nullptr, 0, 0, false, "PARTS.LBX", 200};
    EXPECT_EQ(ReplaceSymbol(drawing, old, &none, false, false, 0, nullptr), nullptr);
    SymbolSelection outside{Part("1K", kResistor), 0, 5, false, "PARTS.LBX", 200};
    EXPECT_EQ(ReplaceSymbol(drawing, old, &outside, false, false, 0, nullptr), nullptr);
    EXPECT_EQ(int32_t(drawing->symbolList->count), symbols);
}

}  // namespace
}  // namespace plexa::test
