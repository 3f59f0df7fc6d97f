// Sheet symbols: defaults, port rows and the growing box, geometry of ports, sizing with the wires
// at the right edge, deleting ports with renumbering, and installing an edited port list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/root.h"
#include "foundation/bytes.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/net_fixture.h"
#include "model/texts.h"
#include "model/wires.h"

namespace plexa::test {
namespace {

class SheetSymbolTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        SetSymbolHooks({});
        SetSheetSymbolHooks({});
        InstallCoreHooks();
    }
    void TearDown() override {
        SetSymbolHooks({});
        NetTest::TearDown();
    }

    SymbolRecord* NewSheetSymbol(Point position = {0, 0}) {
        SymbolRecord* symbol = CreateSheetSymbol();
        EXPECT_NE(symbol, nullptr);
        symbol->position = position;
        AddSymbolToSheet(drawing, symbol);
        return symbol;
    }
    const SheetSymbolPort& Port(SymbolRecord* symbol, int32_t port) {
        return *SheetSymbolPortAt(symbol->sheetSymbolData, port);
    }
    std::string PortName(SymbolRecord* symbol, int32_t port) {
        char name[kSymbolTextSize];
        GetSheetSymbolPortName(symbol, port, drawing->stringBlock, name, sizeof name);
        return name;
    }
    // A signal wire from the port's connection point outwards.
    WireHandle AttachWire(SymbolRecord* symbol, int32_t port, std::vector<Point> more) {
        Point start;
        GetNodeInstancePoint(drawing, symbol, port, &start);
        SignalHandle signal = CreateSignal(drawing->signalList);
        const int32_t terminal = AddPinToSignal(signal, symbol, uint16_t(port));
        WireHandle wire = CreateWire((*signal)->wires);
        EXPECT_TRUE(InsertWireCorner(wire, start, -1));
        for (Point p : more) EXPECT_TRUE(InsertWireCorner(wire, p, -1));
        (*wire)->end0 = uint16_t(terminal);
        CalcWireBounds(wire);
        CalcSignalBounds(signal);
        return wire;
    }
    TextRecord* PortText(SymbolRecord* symbol, int32_t port) {
        for (auto* text = static_cast<TextRecord*>(LLFirst(drawing->textList)); text; text = text->link)
            if (text->owner == TextOwnerSerial(symbol->serial) && text->kind == kTextKindPinName + port) return text;
        return nullptr;
    }
    std::string TextString(TextRecord* text) {
        char string[kTextStringSize];
        GetTextRecordString(text, drawing->stringBlock, string, sizeof string);
        return string;
    }
};

TEST_F(SheetSymbolTest, ANewSymbolHasTheDefaultBoxAndItsOwnDesignator) {
    SymbolRecord* symbol = NewSheetSymbol();
    EXPECT_EQ(symbol->flags, kSheetSymbolFlags);
    EXPECT_EQ(symbol->component, nullptr);
    EXPECT_EQ(symbol->mapId, -1);
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(symbol->sheetSymbolData);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->width, 162);
    EXPECT_EQ(head->height, 54);
    EXPECT_EQ(head->spacing, 9);
    const PortRowRange rows = CalcPortRangeSpacing(9, 54);
    EXPECT_EQ(rows.first, 1);
    EXPECT_EQ(rows.clearance, 2);
    EXPECT_EQ(rows.rows, 5);

    char text[kSymbolTextSize];
    GetDefaultSheetSymbolRefDes(symbol, drawing->stringBlock, text);
    EXPECT_STREQ(text, "X?");
    SetSymbolRefPrefix(symbol, drawing->stringBlock, "SUB");
    GetDefaultSheetSymbolRefDes(symbol, drawing->stringBlock, text);
    EXPECT_STREQ(text, "SUB?");

    SetSheetSymbolFileName(symbol, drawing->stringBlock, "filter.shx");
    SetSheetSymbolName(symbol, drawing->stringBlock, "Filter");
    GetSymbolSheetName(symbol, drawing->stringBlock, text);  // through the installed hooks
    EXPECT_STREQ(text, "filter.shx");
    GetSheetSymbolName(symbol, drawing->stringBlock, text, sizeof text);
    EXPECT_STREQ(text, "Filter");
    int16_t labels[4];
    GetDefaultPortLabelPositions(labels);
    EXPECT_EQ(std::vector<int16_t>(labels, labels + 4), (std::vector<int16_t>{4, -16, 4, 19}));
}

TEST_F(SheetSymbolTest, SevenInputPortsFillBothEdgesAndGrowTheBoxTwice) {
    SymbolRecord* symbol = NewSheetSymbol();
    std::vector<std::pair<int32_t, bool>> places;
    for (int i = 0; i < 7; ++i) {
        const std::string name = "IN" + std::to_string(i);
        const int32_t port = CreateSheetSymbolPort(drawing, symbol, name.c_str(), kPortTypeInput);
        ASSERT_EQ(port, i);
        places.emplace_back(Port(symbol, port).slot, (Port(symbol, port).flags & kSheetPortRight) != 0);
    }
    const std::vector<std::pair<int32_t, bool>> expected = {{1, false}, {3, false}, {5, false}, {1, true},
                                                            {3, true},  {5, true},  {7, false}};
    EXPECT_EQ(places, expected);
    EXPECT_EQ(SheetSymbolPortsHeadOf(symbol->sheetSymbolData)->height, 72);
    EXPECT_EQ(PortName(symbol, 6), "IN6");
    EXPECT_EQ(GetNamedSheetSymbolPort(symbol, drawing->stringBlock, "in4"), 4);
    EXPECT_EQ(GetNamedSheetSymbolPort(symbol, drawing->stringBlock, "OUT"), -1);
}

TEST_F(SheetSymbolTest, OutputsPreferTheRightEdgeAndOthersTakeTheLowerFreeRow) {
    SymbolRecord* symbol = NewSheetSymbol();
    struct Case {
        uint16_t flags;
        int32_t slot;
        bool right;
    };
    const Case cases[] = {
        {kPortTypeOutput, 1, true},          // an output goes right
        {kPortTypeBidirectional, 1, false},  // an input bit: left while it has a row
        {kPortTypeNone, 3, false},           // the lower free row, left on a tie
        {kPortTypeOutput | kSheetPortBuss, 3, true},
        {kPortTypeNone, 5, false},
    };
    for (const Case& c : cases) {
        const int32_t port = CreateSheetSymbolPort(drawing, symbol, "P", c.flags);
        EXPECT_EQ(Port(symbol, port).slot, c.slot) << port;
        EXPECT_EQ((Port(symbol, port).flags & kSheetPortRight) != 0, c.right) << port;
        EXPECT_EQ(Port(symbol, port).flags & ~kSheetPortRight, c.flags & (kSheetPortBuss | kSheetPortTypeMask));
    }
    EXPECT_EQ(GetSheetSymbolPortColor(symbol, 3), kSheetPortBussColor);
    EXPECT_EQ(GetSheetSymbolPortColor(symbol, 0), kSheetPortSignalColor);
}

TEST_F(SheetSymbolTest, PortOutlinesTailsAndBoundsFollowTheEdgeAndTheTransform) {
    SymbolRecord* symbol = NewSheetSymbol({100, 200});
    CreateSheetSymbolPort(drawing, symbol, "A", kPortTypeOutput);  // right, row 1
    CreateSheetSymbolPort(drawing, symbol, "B", kPortTypeOutput);  // right, row 3
    CreateSheetSymbolPort(drawing, symbol, "C", kPortTypeInput);   // left, row 1
    Point poly[7];
    ASSERT_EQ(BuildSheetSymbolPortPoly(symbol, 0, poly), 6);
    // A right-pointing flag at h = 162 - 13 = 149, v = 9, placed at (100, 200).
    EXPECT_EQ(PointsText(std::vector<Point>(poly, poly + 6)),
              "(349,105) (357,105) (361,109) (357,113) (349,113) (349,105)");
    ASSERT_EQ(BuildSheetSymbolPortPoly(symbol, 2, poly), 6);  // an input on the left points right
    EXPECT_EQ(PointsText(std::vector<Point>(poly, poly + 2)), "(201,105) (209,105)");
    Point tail[2];
    BuildSheetSymbolPortPinTail(symbol, 2, tail);
    EXPECT_EQ(PointsText({tail[0], tail[1]}), "(200,109) (191,109)");
    Point pin;
    GetNodeInstancePoint(drawing, symbol, 1, &pin);
    EXPECT_EQ(PointsText({pin}), "(371,127)");
    Rect bounds;
    GetSheetSymbolBounds(symbol, &bounds, 1);
    EXPECT_EQ(DumpRect(bounds), "(-9,0)-(172,55)");
    Point corner;
    GetSheetSymbolSizePoint(symbol, &corner);
    EXPECT_EQ(PointsText({corner}), "(363,155)");
    // Turned a quarter: the right edge's connection point turns with the box.
    symbol->flags |= 1;
    Point turned;
    GetNodeInstancePoint(drawing, symbol, 1, &turned);
    Point expected{27, 171};
    VXTransformPoints(1, &expected, 1);
    EXPECT_EQ(PointsText({turned}), PointsText({Point{int16_t(expected.v + 100), int16_t(expected.h + 200)}}));
}

TEST_F(SheetSymbolTest, TheBoxCannotShrinkBelowItsPorts) {
    SymbolRecord* symbol = NewSheetSymbol();
    for (int i = 0; i < 7; ++i) CreateSheetSymbolPort(drawing, symbol, "P", kPortTypeInput);
    int16_t width = 0, height = 0;
    GetMinimumSheetSymbolSize(symbol, &width, &height);
    EXPECT_EQ(width, 36);
    EXPECT_EQ(height, 7 * 9 + 6);
    EXPECT_TRUE(SetSheetSymbolSize(drawing, symbol, 10, 10, nullptr));
    EXPECT_EQ(SheetSymbolPortsHeadOf(symbol->sheetSymbolData)->width, 36);
    EXPECT_EQ(SheetSymbolPortsHeadOf(symbol->sheetSymbolData)->height, 69);
    EXPECT_FALSE(SetSheetSymbolSize(drawing, symbol, 36, 20, nullptr));  // nothing changes
    SymbolRecord* empty = NewSheetSymbol();
    GetMinimumSheetSymbolSize(empty, &width, &height);
    EXPECT_EQ(height, 12);
}

TEST_F(SheetSymbolTest, WideningMovesTheRightEdgeWiresAndTextsOnly) {
    SymbolRecord* symbol = NewSheetSymbol({100, 100});
    CreateSheetSymbolPort(drawing, symbol, "IN", kPortTypeInput);
    CreateSheetSymbolPort(drawing, symbol, "OUT", kPortTypeOutput);
    // Left: a straight wire out. Right: down first, then right: the corner is dragged along.
    WireHandle left = AttachWire(symbol, 0, {P(40, 109)});
    WireHandle right = AttachWire(symbol, 1, {P(271, 150), P(320, 150)});
    TextRecord* text = CreateDrawingText(drawing, kTextKindPinName + 1, 0, P(250, 113), "OUT");
    text->owner = TextOwnerSerial(symbol->serial);
    const std::string leftBefore = PointsText(Corners(left));
    Rect changed{};
    EXPECT_TRUE(SetSheetSymbolSize(drawing, symbol, 182, 54, &changed));
    EXPECT_EQ(PointsText(Corners(left)), leftBefore);
    EXPECT_EQ(PointsText(Corners(right)), "(291,109) (291,150) (320,150)");
    EXPECT_EQ(PointsText({GetTextElementPosition(text)}), "(270,113)");
    EXPECT_FALSE(VXEmptyRect(&changed));
    Point pin;
    GetNodeInstancePoint(drawing, symbol, 1, &pin);
    EXPECT_EQ(PointsText({pin}), "(291,109)");
}

TEST_F(SheetSymbolTest, DeletingTheSecondOfThreePortsRenumbersTheThird) {
    SymbolRecord* symbol = NewSheetSymbol({100, 100});
    for (const char* name : {"A", "B", "C"}) {
        const int32_t port = CreateSheetSymbolPort(drawing, symbol, name, kPortTypeInput);
        TextRecord* text = CreateDrawingText(drawing, uint16_t(kTextKindPinName + port), 0, P(110, 110), name);
        text->owner = TextOwnerSerial(symbol->serial);
    }
    WireHandle first = AttachWire(symbol, 0, {P(50, 109)});
    AttachWire(symbol, 1, {P(50, 127)});
    WireHandle third = AttachWire(symbol, 2, {P(50, 145)});
    DeleteSheetSymbolPort(drawing, symbol, 1);
    ASSERT_EQ(CountSheetSymbolPorts(symbol), 2);
    EXPECT_EQ(PortName(symbol, 1), "C");
    EXPECT_EQ(Port(symbol, 1).slot, 5);  // the row stays
    ASSERT_NE(PortText(symbol, 1), nullptr);
    EXPECT_EQ(TextString(PortText(symbol, 1)), "C");
    EXPECT_EQ(PortText(symbol, 2), nullptr);
    // The wire of the deleted port went with its terminal; the third port's terminal is now 1.
    int32_t signalsWithPins = 0;
    for (auto s = static_cast<SignalHandle>(LLFirst(drawing->signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(drawing->signalList, s))) {
        for (int32_t i = 0; i < (*s)->pinCount; ++i) {
            EXPECT_EQ(SignalPins(s)[i].serial, symbol->serial);
            EXPECT_LT(SignalPins(s)[i].node, 2);
        }
        signalsWithPins += (*s)->pinCount ? 1 : 0;
    }
    EXPECT_EQ(signalsWithPins, 2);
    uint16_t index = 0;
    WireHandle wire = nullptr;
    EXPECT_NE(GetConnectedSignal(drawing->signalList, symbol, 1, &wire, &index), nullptr);
    EXPECT_EQ(wire, third);
    EXPECT_NE(GetConnectedSignal(drawing->signalList, symbol, 0, &wire, &index), nullptr);
    EXPECT_EQ(wire, first);
}

TEST_F(SheetSymbolTest, AdjustPinIndexesTouchesOnlyTheSymbolsLaterPins) {
    SignalPinEntry entries[4] = {{7, 0, 0, 0, 0}, {7, 2, 0, 0, 0}, {8, 3, 0, 0, 0}, {7, 1, 0, 0, 0}};
    AdjustPinIndexes(entries, 4, 7, 1);
    EXPECT_EQ(entries[0].node, 0);
    EXPECT_EQ(entries[1].node, 1);
    EXPECT_EQ(entries[2].node, 3);
    EXPECT_EQ(entries[3].node, 1);  // the deleted index itself is the caller's to remove
}

TEST_F(SheetSymbolTest, InstallingAnEditedListDeletesFromTheOriginalIndexesHighestFirst) {
    SymbolRecord* symbol = NewSheetSymbol({100, 100});
    for (const char* name : {"A", "B", "C", "D"}) CreateSheetSymbolPort(drawing, symbol, name, kPortTypeInput);
    // Keep C (from 2) renamed and shown, drop A, B and D, add E; an unnamed new entry is dropped.
    Handle edited = CreateSheetSymbolPorts();
    AppendSubSheetPort(edited, drawing->stringBlock, "C2", kPortTypeOutput | kSheetPortShowName, 2);
    AppendSubSheetPort(edited, drawing->stringBlock, "E", kPortTypeInput | kSheetPortShowName, kSheetPortNewSlot);
    AppendSubSheetPort(edited, drawing->stringBlock, "", kPortTypeInput, kSheetPortNewSlot);
    Rect changed{};
    const int32_t flags = InstallSheetSymbolPorts(drawing, symbol, edited, &changed);
    EXPECT_EQ(flags, kSheetPortsChangedPorts | kSheetPortsChangedTexts);
    ASSERT_EQ(CountSheetSymbolPorts(symbol), 2);
    EXPECT_EQ(PortName(symbol, 0), "C2");
    EXPECT_EQ(Port(symbol, 0).slot, 5);
    EXPECT_EQ(Port(symbol, 0).flags & kSheetPortTypeMask, kPortTypeOutput);
    EXPECT_EQ(PortName(symbol, 1), "E");
    EXPECT_EQ(CountSubSheetPorts(edited), 2);
    ASSERT_NE(PortText(symbol, 0), nullptr);
    EXPECT_EQ(TextString(PortText(symbol, 0)), "C2");
    ASSERT_NE(PortText(symbol, 1), nullptr);
    EXPECT_EQ(TextString(PortText(symbol, 1)), "E");
    MemFree(edited);

    // Installing again with the name hidden hides the text, and renames it.
    edited = CreateSheetSymbolPorts();
    AppendSubSheetPort(edited, drawing->stringBlock, "C3", kPortTypeOutput, 0);
    AppendSubSheetPort(edited, drawing->stringBlock, "E", kPortTypeInput | kSheetPortShowName, 1);
    InstallSheetSymbolPorts(drawing, symbol, edited, nullptr);
    EXPECT_EQ(TextString(PortText(symbol, 0)), "C3");
    EXPECT_TRUE(PortText(symbol, 0)->flags & kTextFlagHidden);
    EXPECT_FALSE(PortText(symbol, 1)->flags & kTextFlagHidden);
    MemFree(edited);
}

TEST_F(SheetSymbolTest, PortDataSwapsAndRefusesShortHandles) {
    Handle ports = CreateSheetSymbolPorts();
    AppendSubSheetPort(ports, drawing->stringBlock, "A", kPortTypeInput, 1);
    AppendSubSheetPort(ports, drawing->stringBlock, "B", kPortTypeOutput | kSheetPortRight, 3);
    Handle copy = CloneHandle(nullptr, ports);
    ASSERT_TRUE(ByteSwapSheetSymbolPorts(copy, true));
    EXPECT_EQ(GetNative16(*copy + 8, true), 54);
    EXPECT_EQ(GetNative16(*copy + 14, true), 2);
    EXPECT_EQ(GetNative16(*copy + 16 + 8 + 4, true), kPortTypeOutput | kSheetPortRight);
    // Swapping back reads the count in the native order again.
    ASSERT_TRUE(ByteSwapSheetSymbolPorts(copy, false));
    EXPECT_EQ(std::string(*copy, SizeOfHandle(copy)), std::string(*ports, SizeOfHandle(ports)));
    // A count beyond the bytes: no ports are read, nothing beyond the head is swapped.
    ASSERT_TRUE(ResizeHandle(copy, 16 + 8));
    EXPECT_FALSE(IsValidSheetSymbolPorts(copy));
    EXPECT_EQ(CountSubSheetPorts(copy), 0);
    EXPECT_EQ(SheetSymbolPortAt(copy, 0), nullptr);
    MemFree(copy);
    MemFree(ports);
}

}  // namespace
}  // namespace plexa::test
