// Placed symbols: records and lists, names and attributes, designators and their uniqueness,
// placement geometry of symbols and nodes under every transform, pin hit testing, location ranks
// and the sub-sheets map, pin texts and opening a symbol's source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/attributes.h"
#include "model/signals.h"
#include "model/texts.h"
#include "model/tests/symbol_testing.h"

namespace plexa::test {
namespace {

using Symbols = SheetTest;

// ---- Records ----

TEST_F(Symbols, RecordsTakeSerialNumbersAndCopyTheirHandles) {
    SymbolRecord* a = Place(-1);
    SymbolRecord* b = Place(-1);
    EXPECT_EQ(a->serial, 1u);
    EXPECT_EQ(b->serial, 2u);
    EXPECT_EQ(sheet.stored.nextSerial, 3u);
    SymbolRecord* fresh = CreateSymbol();
    EXPECT_EQ(fresh->secondMapId, -1);
    DestroySymbol(fresh);
    SetSymbolAttribute(a, sheet.stringBlock, "Value", "10k", nullptr);
    SymbolRecord* copy = DuplicateSymbol(a);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->attributes, a->attributes);
    EXPECT_EQ(copy->next, nullptr);
    char value[kSymbolTextSize];
    EXPECT_EQ(GetSymbolAttribute(copy, sheet.stringBlock, "Value", value), 0);
    EXPECT_STREQ(value, "10k");
    DestroySymbol(copy);
    EXPECT_EQ(RetrieveSerializedSymbol(sheet.symbolList, 2), b);
    EXPECT_EQ(RetrieveSerializedSymbol(sheet.symbolList, 9), nullptr);
    RemoveSymbolFromSheet(&sheet, b, true);
    EXPECT_EQ(RetrieveSerializedSymbol(sheet.symbolList, 2), nullptr);
    LinkListHeader* clip = CreateSymbolList();
    AddSymbolToClipboard(clip, DuplicateSymbol(a));
    AddSymbolToClipboard(clip, DuplicateSymbol(a));
    EXPECT_EQ(clip->count, 2u);
    DestroySymbolList(clip);
}

// A long list is looked up through its serial index; the answers stay the walk's when numbers
// change under it, symbols go, or the list empties and fills again.
TEST_F(Symbols, SerialNumbersOfALongListFindWhatTheWalkFinds) {
    std::vector<SymbolRecord*> placed;
    for (int i = 0; i < 40; ++i) placed.push_back(Place(-1));
    const auto walk = [&](uint32_t serial) -> SymbolRecord* {
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet.symbolList)); s; s = s->next)
            if (s->serial == serial) return s;
        return nullptr;
    };
    const auto agree = [&](const char* when) {
        for (uint32_t serial = 0; serial <= 45; ++serial)
            EXPECT_EQ(RetrieveSerializedSymbol(sheet.symbolList, serial), walk(serial)) << when << " serial " << serial;
    };
    agree("placed");
    placed[5]->serial = 44;  // a number changed in place: the old one is gone, the new one found
    agree("renumbered");
    placed[30]->serial = 3;  // a second holder of a number after its first
    agree("held twice");
    RemoveSymbolFromSheet(&sheet, placed[2], true);
    agree("removed");
    LLRemoveOrFreeAll(sheet.symbolList, true);
    agree("emptied");
    for (int i = 0; i < 35; ++i) Place(-1);
    agree("filled again");
}

TEST_F(Symbols, TheSecondMapIdDrawsWhenItsFlagIsSet) {
    SymbolRecord* s = Place(4);
    s->secondMapId = 7;
    EXPECT_EQ(GetSymbolMapId(s), 4);
    s->flags |= kSymbolFlagSecondMap;
    EXPECT_EQ(GetSymbolMapId(s), 7);
}

// ---- Names and attributes ----

TEST_F(Symbols, GraphicSymbolsKeepTheirNamesInAttributes) {
    SymbolRecord* s = Place(-1);
    char text[kSymbolTextSize];
    // Nothing to set and no attributes: nothing changes, 0xFFFF8000 as 32 bits.
    EXPECT_EQ(uint32_t(int32_t(SetSymbolAttribute(s, sheet.stringBlock, "X", nullptr, nullptr))), 0xFFFF8000u);
    EXPECT_EQ(s->attributes, nullptr);
    SetSymbolName(s, sheet.stringBlock, "Ground");
    SetSymbolRefName(s, sheet.stringBlock, "GND1");
    SetSymbolRefPrefix(s, sheet.stringBlock, "GND");
    GetSymbolName(s, sheet.stringBlock, text);
    EXPECT_STREQ(text, "Ground");
    GetSymbolRefName(s, sheet.stringBlock, text);
    EXPECT_STREQ(text, "GND1");
    GetSymbolRefPrefix(s, sheet.stringBlock, text);
    EXPECT_STREQ(text, "GND");
    EXPECT_EQ(GetSymbolAttribute(s, sheet.stringBlock, kAttrNameName, text), 0);
    EXPECT_EQ(s->attributeCount, 2);
    SetSymbolName(s, sheet.stringBlock, "");  // an empty name deletes the attribute
    SetSymbolRefName(s, sheet.stringBlock, nullptr);
    EXPECT_EQ(s->attributeCount, 0);
    GetSymbolName(s, sheet.stringBlock, text);
    EXPECT_STREQ(text, "");

    EXPECT_EQ(GetSymbolSheetName(s, sheet.stringBlock, text), 0);
    SetSymbolSheetName(s, sheet.stringBlock, "child.sch");
    EXPECT_TRUE(s->flags & kSymbolFlagSubSheet);
    EXPECT_EQ(GetSymbolSheetName(s, sheet.stringBlock, text), 1);
    EXPECT_STREQ(text, "child.sch");
    SetSymbolSheetName(s, sheet.stringBlock, "");
    EXPECT_FALSE(s->flags & kSymbolFlagSubSheet);
    EXPECT_EQ(GetSymbolSheetName(s, sheet.stringBlock, nullptr), 0);
}

TEST_F(Symbols, PortSymbolsNameThemselvesOrTheirNet) {
    SymbolRecord* port = Place(-1, {0, 0}, kSymbolFlagPort);
    SetPortSymbolType(port, 3);
    EXPECT_EQ(GetPortSymbolType(port), 3);
    EXPECT_EQ(port->flags & kSymbolFlagPortType, 0x30u);
    char name[kSymbolTextSize];
    EXPECT_EQ(GetPortSymbolName(&sheet, port, nullptr, name), 1);  // nothing connected
    EXPECT_STREQ(name, "");
    // The signal connected to its pin 0, or the net given.
    sheet.signalList = CreateSignalList();
    SignalHandle clk = CreateSignal(sheet.signalList);
    SetSignalName(clk, sheet.stringBlock, "CLK");
    AddPinToSignal(clk, port, 0);
    EXPECT_EQ(GetPortSymbolName(&sheet, port, nullptr, name), 1);
    EXPECT_STREQ(name, "CLK");
    SignalHandle given = CreateSignal(sheet.signalList);
    SetSignalName(given, sheet.stringBlock, "GIVEN");
    EXPECT_EQ(GetPortSymbolName(&sheet, port, given, name), 1);
    EXPECT_STREQ(name, "GIVEN");
    EXPECT_NE(SetPortSymbolName(&sheet, port, "RESET"), 0u);
    EXPECT_EQ(GetPortSymbolName(&sheet, port, nullptr, name), 0);
    EXPECT_STREQ(name, "RESET");
    EXPECT_EQ(SetPortSymbolName(&sheet, port, nullptr), 0u);
    // A port keeps no reference prefix of its own.
    SetSymbolRefPrefix(port, sheet.stringBlock, "P");
    EXPECT_EQ(port->kind.spec, 0u);
    DestroySignalList(sheet.signalList);
    sheet.signalList = nullptr;
}

TEST_F(Symbols, SheetSymbolsAskTheSheetFileLayer) {
    SymbolRecord* box = Place(-1, {0, 0}, kSymbolFlagSheet);
    char text[kSymbolTextSize];
    GetSymbolName(box, sheet.stringBlock, text);
    EXPECT_STREQ(text, "");
    SymbolHooks hooks;
    hooks.getSheetSymbolName = [](const SymbolRecord*, StringBlock, char* out) { std::strcpy(out, "Block"); };
    hooks.getSheetSymbolFileName = [](const SymbolRecord*, StringBlock, char* out) { std::strcpy(out, "b.sch"); };
    SetSymbolHooks(hooks);
    GetSymbolName(box, sheet.stringBlock, text);
    EXPECT_STREQ(text, "Block");
    EXPECT_EQ(GetSymbolSheetName(box, sheet.stringBlock, text), 1);
    EXPECT_STREQ(text, "b.sch");
    SetSymbolSheetName(box, sheet.stringBlock, "other.sch");  // through the layer, no attribute
    EXPECT_EQ(box->attributes, nullptr);
}

TEST_F(Symbols, StringsMoveIntoAnotherBlockByKind) {
    SymbolRecord* graphic = Place(-1);
    SetSymbolRefPrefix(graphic, sheet.stringBlock, "TP");
    SetSymbolRefName(graphic, sheet.stringBlock, "TP3");
    graphic->libraryName = OverlayStringBlock(sheet.stringBlock, "Parts.lib", -1, nullptr);
    ComponentRecord* c = CreateComponent(0, 1, 1, 1, 1);
    c = InstallCompInSheet(&sheet, c);
    SymbolRecord* part = Place(-1, {0, 0}, 0, c);
    part->kind.comp = {1, 0, 2};
    StringBlock fresh = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeSymbolStringBlock(graphic, sheet.stringBlock, fresh), 0);
    ASSERT_EQ(ChangeSymbolStringBlock(part, sheet.stringBlock, fresh), 0);
    char text[kSymbolTextSize];
    GetSymbolRefPrefix(graphic, fresh, text);
    EXPECT_STREQ(text, "TP");
    GetSymbolRefName(graphic, fresh, text);
    EXPECT_STREQ(text, "TP3");
    ExtractStringSpec(graphic->libraryName, fresh, text, sizeof text);
    EXPECT_STREQ(text, "Parts.lib");
    // A component symbol's kind data is indices, not a string.
    EXPECT_EQ(part->kind.comp.nameIndex, 2);
    EXPECT_EQ(part->kind.comp.package, 1);
    DestroyStringBlock(fresh);
}

// ---- Designators ----

TEST_F(Symbols, AUniqueDesignatorTakesTheLowestFreeNumber) {
    Designated("R1");
    Designated("R2");
    Designated("r4");
    Designated("C3");
    Designated("R7", kSymbolFlagPort);  // ports do not count
    SymbolRecord* mine = Designated("R3");  // nor does the symbol asked for
    char text[kSymbolTextSize] = "R";
    GetUniqueSheetRefDes(&sheet, mine, text, nullptr);
    EXPECT_STREQ(text, "R3");
    std::strcpy(text, "C");
    GetUniqueSheetRefDes(&sheet, mine, text, nullptr);
    EXPECT_STREQ(text, "C1");
    // With the caller's bit array: it is cleared first and kept.
    BitArray bits = CreateBitArray(gGenPool, 64);
    BitArraySet(bits, 1);
    BitArraySet(bits, 3);
    std::strcpy(text, "C");
    GetUniqueSheetRefDes(&sheet, nullptr, text, bits);
    EXPECT_STREQ(text, "C1");
    EXPECT_EQ(BitArrayTest(bits, 3), 1);
    EXPECT_EQ(BitArrayTest(bits, 1), 0);
    DisposeBitArray(bits);
}

TEST_F(Symbols, WithoutAnyPrefixTheDesignatorIsItem) {
    SymbolRecord* s = Place(-1);
    char text[kSymbolTextSize] = "";
    GetUniqueSheetRefDes(&sheet, s, text, nullptr);
    EXPECT_STREQ(text, "Item1");
    SetSymbolRefPrefix(s, sheet.stringBlock, "J");
    Designated("J1");
    text[0] = 0;
    GetUniqueSheetRefDes(&sheet, s, text, nullptr);
    EXPECT_STREQ(text, "J2");
    // Numbers of 8192 and above are not counted.
    Designated("J8192");
    Designated("J2");
    text[0] = 0;
    GetUniqueSheetRefDes(&sheet, s, text, nullptr);
    EXPECT_STREQ(text, "J3");
}

TEST_F(Symbols, DesignatorsExistWithoutRegardToCase) {
    SymbolRecord* a = Designated("U7");
    Designated("X1", kSymbolFlagPort);
    EXPECT_EQ(DoesRefDesExistInSheet(&sheet, nullptr, "u7"), 1);
    EXPECT_EQ(DoesRefDesExistInSheet(&sheet, a, "U7"), 0);
    EXPECT_EQ(DoesRefDesExistInSheet(&sheet, nullptr, "X1"), 0);
}

TEST_F(Symbols, AGraphicSymbolsDesignatorChangeUpdatesOrRemovesItsText) {
    SymbolRecord* s = Designated("TP1");
    TextRecord* text = AddText("TP1", kTextKindDesignator, 0, {40, 40});
    text->owner = TextOwnerSerial(s->serial);
    Rect area;
    VXSetEmptyRect(&area);
    EXPECT_EQ(ChangeSymbolsAnnotation(&sheet, s, "TP1", 0, &area), 0);
    EXPECT_EQ(ChangeSymbolsAnnotation(&sheet, s, "TP2", 0, &area), 5);
    EXPECT_EQ(String(text), "TP2");
    char shown[kSymbolTextSize];
    GetSymbolsDisplayDesignator(&sheet, s, shown);
    EXPECT_STREQ(shown, "TP2");
    const Rect bounds = text->bounds;
    VXSetEmptyRect(&area);
    EXPECT_EQ(ChangeSymbolsAnnotation(&sheet, s, "", 0, &area), 5);
    EXPECT_EQ(sheet.textList->count, 0u);
    EXPECT_TRUE(VXEqualRect(&area, &bounds));
    GetSymbolRefName(s, sheet.stringBlock, shown);
    EXPECT_STREQ(shown, "");
}

TEST_F(Symbols, AComponentSymbolWithoutAnnotationShowsItsDefaultDesignator) {
    LibraryItem* item = Gates();
    ComponentRecord* c = AddLibComponentToSheet(item, &sheet);
    ASSERT_TRUE(c);
    SymbolRecord* s = Place(CompSymbols(c)[0].mapId, {0, 0}, 0, c);
    char shown[kSymbolTextSize];
    GetSymbolsDisplayDesignator(&sheet, s, shown);
    EXPECT_STREQ(shown, "U?.A");
    EXPECT_EQ(GetSymbolSlotIndex(&sheet, s), 0);
    // A project that adds no slot suffixes.
    SymbolHooks hooks;
    hooks.annotSuffixEnabled = [](ProjectRecord*) { return false; };
    SetSymbolHooks(hooks);
    sheet.project = reinterpret_cast<ProjectRecord*>(&sheet);
    GetSymbolsDisplayDesignator(&sheet, s, shown);
    EXPECT_STREQ(shown, "U?");
    sheet.project = nullptr;
    // Its package's pin set: the second package uses the item's third pin set, the component's
    // second.
    s->kind.comp.package = 1;
    EXPECT_EQ(GetSymbolsPinSet(s), 1);
    EXPECT_EQ(GetSymbolsPinSet(Place(-1)), 0);
}

// ---- Geometry ----

TEST_F(Symbols, NodeOrientationsTurnAndMirror) {
    const struct {
        int32_t code, transform, expected;
    } cases[] = {
        {0, 1, 0}, {1, 0, 1}, {1, 1, 4}, {2, 1, 1}, {4, 1, 3}, {1, 2, 3}, {1, 3, 2},
        {1, 4, 3}, {2, 4, 2}, {3, 4, 1}, {4, 4, 4}, {1, 5, 4}, {2, 5, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TransformNodeOrient(c.code, c.transform), c.expected) << c.code << " by " << c.transform;
}

// A symbol of three pins: right (10,40)-(10,30), up (0,20)-(-10,20) and a wide one left
// (15,-10)-(15,0); body (0,0,20,30).
class PlacedSymbols : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        mapId = AddDefinition(Definition({{{10, 40}, {10, 30}}, {{-10, 20}, {0, 20}}, {{15, -10}, {15, 0}, 2}}));
        ASSERT_GE(mapId, 0);
    }
    int32_t mapId = -1;
};

TEST_F(PlacedSymbols, NodesFollowEveryTransform) {
    struct Case {
        int32_t transform;
        const char* bounds;    // everything
        const char* points;    // nodes 0-2
        const char* tails;
        const char* orients;
    } const cases[] = {
        {0, "(88,187,121,243)", "(110,240)(90,220)(115,190)", "(110,230)(100,220)(115,200)", "123"},
        {1, "(87,180,143,213)", "(140,190)(120,210)(90,185)", "(130,190)(120,200)(100,185)", "412"},
        {4, "(88,158,121,214)", "(110,160)(90,180)(115,210)", "(110,170)(100,180)(115,200)", "321"},
        {6, "(80,187,113,243)", "(90,240)(110,220)(85,190)", "(90,230)(100,220)(85,200)", "143"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transform);
        SymbolRecord* s = Place(mapId, {100, 200}, uint32_t(c.transform));
        Rect bounds;
        GetSymbolInstanceBounds(&sheet, s, 1, &bounds);
        EXPECT_EQ(RectText(bounds), c.bounds);
        std::string points, tails, orients;
        ASSERT_EQ(CountSymbolNodes(&sheet, s), 3);
        for (int32_t n = 0; n < 3; ++n) {
            Point p;
            GetNodeInstancePoint(&sheet, s, n, &p);
            points += PointText(p);
            GetNodeInstanceTailPos(&sheet, s, n, &p);
            tails += PointText(p);
            orients += std::to_string(GetNodeInstanceOrient(&sheet, s, n));
        }
        EXPECT_EQ(points, c.points);
        EXPECT_EQ(tails, c.tails);
        EXPECT_EQ(orients, c.orients);
        EXPECT_EQ(GetNodeInstanceWidth(&sheet, s, 0), 1);
        EXPECT_EQ(GetNodeInstanceWidth(&sheet, s, 2), 2);
        RemoveSymbolFromSheet(&sheet, s, true);
    }
}

TEST_F(PlacedSymbols, TransformingAnInstanceTurnsItsPositionAndComposesItsTransform) {
    SymbolRecord* s = Place(mapId, {10, 20}, 1);
    TransformSymbolInstance(s, {0, 0}, 4);  // mirror about the origin
    EXPECT_EQ(PointText(s->position), "(10,-20)");
    EXPECT_EQ(s->flags & kSymbolFlagTransform, 5u);
    TransformSymbolInstance(s, {10, 0}, 2);
    EXPECT_EQ(PointText(s->position), "(10,20)");
    EXPECT_EQ(s->flags & kSymbolFlagTransform, uint32_t(VXTransformTransformation(5, 2)));
    // Turning about a point keeps a node there when the node is the point.
    Point before;
    GetNodeInstancePoint(&sheet, s, 0, &before);
    TransformSymbolInstance(s, before, 3);
    Point after;
    GetNodeInstancePoint(&sheet, s, 0, &after);
    EXPECT_EQ(PointText(after), PointText(before));
}

TEST_F(PlacedSymbols, HitTestingFindsPinsWithinTheTolerance) {
    SymbolRecord* s = Place(mapId, {100, 200}, 1);
    Point p{139, 191};
    EXPECT_EQ(HitTestSymbolPin(&sheet, s, &p, 0), -1);
    EXPECT_EQ(PointText(p), "(139,191)");
    p = {140, 190};
    EXPECT_EQ(HitTestSymbolPin(&sheet, s, &p, 0), 0);  // exact; the point stays
    EXPECT_EQ(PointText(p), "(140,190)");
    p = {138, 192};
    EXPECT_EQ(HitTestSymbolPin(&sheet, s, &p, 2), 0);
    EXPECT_EQ(PointText(p), "(140,190)");  // moved onto the node's sheet position
    p = {91, 182};
    EXPECT_EQ(HitTestSymbolPin(&sheet, s, &p, 3), 2);
    EXPECT_EQ(PointText(p), "(90,185)");

    SymbolRecord* found = nullptr;
    p = {122, 212};
    // Only symbols with a component, ports and sheet symbols have pins to hit.
    EXPECT_EQ(HitTestPins(&sheet, &p, 2, &found), -1);
    EXPECT_EQ(found, nullptr);
    s->flags |= kSymbolFlagPort;
    EXPECT_EQ(HitTestPins(&sheet, &p, 2, &found), 1);
    EXPECT_EQ(found, s);
    EXPECT_EQ(PointText(p), "(120,210)");
    p = {0, 0};
    EXPECT_EQ(HitTestPins(&sheet, &p, 2, &found), -1);
}

TEST_F(PlacedSymbols, SheetSymbolPortsAreNodesToo) {
    SymbolHooks hooks;
    hooks.countSheetSymbolPorts = [](const SymbolRecord*) { return 2; };
    hooks.getSheetSymbolPortFlags = [](const SymbolRecord*, int32_t port) { return uint16_t(port ? 0x23 : 0x10); };
    hooks.getSheetSymbolPortPinPos = [](const SymbolRecord*, int32_t port, Point* p) {
        *p = port ? Point{18, 171} : Point{9, -9};
    };
    hooks.getSheetSymbolBounds = [](const SymbolRecord*, Rect* r, int32_t which) {
        *r = which ? Rect{0, -9, 55, 172} : Rect{0, 0, 55, 163};
    };
    SetSymbolHooks(hooks);
    SymbolRecord* box = Place(-1, {100, 100}, kSymbolFlagSheet);
    EXPECT_EQ(CountSymbolNodes(&sheet, box), 2);
    EXPECT_EQ(GetSymbolNodeMap(&sheet, box), nullptr);
    Point p;
    GetNodeInstancePoint(&sheet, box, 1, &p);
    EXPECT_EQ(PointText(p), "(118,271)");
    EXPECT_EQ(GetNodeInstanceOrient(&sheet, box, 0), 3);  // left edge
    EXPECT_EQ(GetNodeInstanceOrient(&sheet, box, 1), 1);  // right edge
    EXPECT_EQ(GetNodeInstanceWidth(&sheet, box, 0), 1);
    EXPECT_EQ(GetNodeInstanceWidth(&sheet, box, 1), 2);
    Rect bounds;
    GetSymbolInstanceBounds(&sheet, box, 1, &bounds);
    EXPECT_EQ(RectText(bounds), "(100,91,155,272)");
    SymbolRecord* found = nullptr;
    p = {110, 92};
    EXPECT_EQ(HitTestPins(&sheet, &p, 1, &found), 0);
    EXPECT_EQ(found, box);
    EXPECT_EQ(PointText(p), "(109,91)");
    box->flags |= 4;  // mirrored: the right edge points left
    EXPECT_EQ(GetNodeInstanceOrient(&sheet, box, 1), 3);
}

TEST_F(PlacedSymbols, SymbolsOfTheClipboardUseItsMap) {
    SymbolMap* clip = CreateSymbolMap(nullptr);
    const std::string bytes = Definition({{{0, 5}, {0, 0}}});
    const int32_t clipId = AddSymbolToMap(clip, bytes.data(), int32_t(bytes.size()), nullptr);
    ASSERT_GE(clipId, 0);
    gClipSymbolMap = clip;
    SymbolRecord* s = CreateSymbol();
    s->mapId = clipId;
    EXPECT_EQ(CountSymbolNodes(nullptr, s), 1);
    Rect bounds;
    GetSymbolInstanceBounds(nullptr, s, 1, &bounds);
    EXPECT_FALSE(VXEmptyRect(&bounds));
    DestroySymbol(s);
    DestroySymbolMap(clip);
    EXPECT_EQ(gClipSymbolMap, nullptr);
}

TEST_F(PlacedSymbols, LocationRanksAndTheSubSheetsMapListTheSameWayEveryTime) {
    // Two symbols with equal ranks keep their list order; the others go by rank.
    const Point positions[] = {{300, 40}, {10, 400}, {300, 41}, {40, 20}};
    std::vector<SymbolRecord*> placed;
    for (Point p : positions) {
        SymbolRecord* s = Place(mapId, p);
        SetSymbolSheetName(s, sheet.stringBlock, "child.sch");
        placed.push_back(s);
    }
    Place(mapId, {0, 0});  // no sub-sheet name: not in the map
    EXPECT_EQ(GetSymbolLocationRank(&sheet, placed[0]), (300 >> 5) * 256 + 40 / 18);
    DAHeader** map = BuildSubSheetsMap(&sheet);
    ASSERT_TRUE(map);
    ASSERT_EQ(DACount(map), 4);
    std::vector<uint32_t> serials, keys;
    for (int32_t i = 0; i < DACount(map); ++i) {
        SubSheetsMapItem item;
        DAGet(map, i, &item);
        serials.push_back(item.symbol->serial);
        keys.push_back(item.key);
    }
    EXPECT_EQ(serials, (std::vector<uint32_t>{2, 4, 1, 3}));
    // Past row band 255 (a top of 8192 and more) the ranks keep counting instead of wrapping at 16
    // bits: a symbol further down ranks after one further up.
    const SymbolRecord* far = Place(mapId, {20000, 10});
    const SymbolRecord* below = Place(mapId, {8192, 10});
    EXPECT_GT(GetSymbolLocationRank(&sheet, far), GetSymbolLocationRank(&sheet, below));
    EXPECT_GT(GetSymbolLocationRank(&sheet, below), GetSymbolLocationRank(&sheet, placed[0]));
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    DADispose(map);
}

// ---- Pin texts ----

TEST_F(Symbols, PinTextsShowTheSectionsNumbersAndThePinDataNames) {
    LibraryItem* item = Gates();
    ComponentRecord* c = AddLibComponentToSheet(item, &sheet);
    ASSERT_TRUE(c);
    SymbolRecord* s = Place(CompSymbols(c)[0].mapId, {0, 0}, 0, c);
    std::vector<TextRecord*> texts;
    for (uint16_t kind : {uint16_t(kTextKindPinNumber + 0), uint16_t(kTextKindPinNumber + 2),
                          uint16_t(kTextKindPinName + 2), uint16_t(kTextKindPinAttribute + 1)}) {
        TextRecord* t = AddText("?", kind);
        t->owner = TextOwnerSerial(s->serial);
        texts.push_back(t);
    }
    TextRecord* other = AddText("?", kTextKindPinNumber);
    other->owner = TextOwnerSerial(99);
    SetSymbolInstancePinText(&sheet, s, 1);
    EXPECT_EQ(String(texts[0]), "4");
    EXPECT_EQ(String(texts[1]), "6");
    EXPECT_EQ(String(texts[2]), "Y");
    EXPECT_EQ(String(texts[3]), "?");  // attribute fields are not pin texts
    EXPECT_EQ(String(other), "?");
    s->kind.comp.package = 1;  // the other package's pin set
    SetSymbolInstancePinText(&sheet, s, 1);
    EXPECT_EQ(String(texts[0]), "1");
}

// ---- Attributes from the clipboard ----

TEST_F(Symbols, ClipboardAttributesGoToSelectedSymbols) {
    StringBlock clipBlock = CreateStringBlock(gGenPool, 64);
    Handle clip = AllocHandle(gGenPool, 0);
    int16_t count = 0;
    const uint16_t flags = 3;
    SetAttributeValue(clipBlock, clip, 0, &count, "Value", "4k7", &flags);
    SetAttributeValue(clipBlock, clip, 0, &count, "Power", "0.25W", &flags);
    gClipAttributes = clip;
    gClipAttrCount = count;
    gClipAttrStringBlock = clipBlock;
    SymbolRecord* chosen = Place(-1, {0, 0}, kSymbolFlagSelected);
    SymbolRecord* other = Place(-1);
    SetSymbolAttribute(chosen, sheet.stringBlock, "Value", "1k", nullptr);
    static int invalidations = 0;
    invalidations = 0;
    SymbolHooks hooks;
    hooks.invalSheetView = [](SheetRecord*, const Rect*) { ++invalidations; };
    SetSymbolHooks(hooks);
    ApplyClipAttributesToSymbols(&sheet);
    char value[kSymbolTextSize];
    uint16_t got = 0;
    EXPECT_EQ(GetSymbolAttribute(chosen, sheet.stringBlock, "Value", value), 0);  // over the same name
    EXPECT_STREQ(value, "4k7");
    GetAttributeValue(sheet.stringBlock, chosen->attributes, 0, chosen->attributeCount, "Power", value, &got);
    EXPECT_STREQ(value, "0.25W");
    EXPECT_EQ(got, 2);  // bit 0 cleared
    EXPECT_EQ(other->attributes, nullptr);
    gClipAttributes = nullptr;
    gClipAttrCount = 0;
    gClipAttrStringBlock = nullptr;
    MemFree(clip);
    DestroyStringBlock(clipBlock);
}

// ---- Opening a symbol's source ----

struct SourceLog {
    std::string calls;
    int32_t fileIndex = -1, itemIndex = -1, windowKind = 0;
    bool itemFound = false, definitionFound = false, subSheet = false;
};
SourceLog* gSource = nullptr;

TEST_F(Symbols, OpeningASymbolsSourceReportsWhatWasNotFound) {
    SymbolHooks hooks;
    hooks.locateLibraryFileItem = [](const char* library, const char* item, int32_t* f, int32_t* i) {
        gSource->calls += std::string("locate ") + library + "/" + item + ";";
        *f = gSource->fileIndex;
        *i = gSource->itemIndex;
    };
    hooks.setCachedLibraryFile = [](int32_t) { gSource->calls += "cache file;"; };
    hooks.setCachedLibraryItem = [](int32_t) { gSource->calls += "cache item;"; };
    hooks.openLibBrowserFile = [](int32_t, VXWindowRecordTag** w) {
        *w = nullptr;
        return gSource->windowKind;
    };
    hooks.findAndSelectLibEditorItem = [](VXWindowRecordTag*, const char*) { return gSource->itemFound; };
    hooks.editSelectedLibItems = [](VXWindowRecordTag*) { gSource->calls += "edit;"; };
    hooks.openSheetFileSymbolEditor = [](SheetRecord*, const char* name) {
        gSource->calls += std::string("file symbol ") + name + ";";
        return gSource->definitionFound;
    };
    hooks.enterSubSheet = [](SheetRecord* s, SymbolRecord*) { return gSource->subSheet ? s : nullptr; };
    hooks.invalidateActiveBrowser = [] { gSource->calls += "browser;"; };
    hooks.showMessage = [](const char* m) { gSource->calls += std::string("say ") + m + ";"; };
    SetSymbolHooks(hooks);
    SymbolRecord* s = Place(-1);
    SetSymbolName(s, sheet.stringBlock, "NAND");
    s->libraryName = OverlayStringBlock(sheet.stringBlock, "Logic.lib", -1, nullptr);
    struct Case {
        SourceLog setup;
        uint32_t flags;
        bool project;
        const char* calls;
    } const cases[] = {
        {{"", 2, 5, 110, true}, 0, false, "locate Logic.lib/NAND;cache file;cache item;edit;browser;"},
        {{"", 2, -1, 110, false}, 0, false,
         "locate Logic.lib/NAND;cache file;say An item named \"NAND\" was not found in the library.;browser;"},
        {{"", 2, 5, 101, false, false}, 0, false,
         "locate Logic.lib/NAND;cache file;cache item;file symbol NAND;say The sheet does not contain a symbol "
         "definition named \"NAND\".;browser;"},
        {{"", -1, -1, 0}, 0, false, "locate Logic.lib/NAND;say Could not find a library file named \"Logic.lib\".;"},
        {{"", -1, -1, 0}, kSymbolFlagFileSymbol, false,
         "locate Logic.lib/NAND;say Could not find a sub-sheet file named \"Logic.lib\".;"},
        {{"", -1, -1, 0, false, true, true}, kSymbolFlagFileSymbol, true, "locate Logic.lib/NAND;file symbol NAND;"},
        {{"", 3, -1, 7}, 0, false,
         "locate Logic.lib/NAND;cache file;say Could not find a library file named \"Logic.lib\".;browser;"},
    };
    for (const Case& c : cases) {
        SourceLog log = c.setup;
        gSource = &log;
        s->flags = c.flags;
        sheet.project = c.project ? reinterpret_cast<ProjectRecord*>(&sheet) : nullptr;
        OpenSymbolSourceItem(&sheet, s);
        EXPECT_EQ(log.calls, c.calls);
    }
    sheet.project = nullptr;
    gSource = nullptr;
}

}  // namespace
}  // namespace plexa::test
