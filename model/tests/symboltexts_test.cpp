// Symbol texts: the placement table of names and designators by the sides a symbol's pins are on,
// the hidden partner, attribute texts, pin texts turned and aligned by orientation and moved
// outward past overlapping ones, net-symbol and port labels, showing and hiding a symbol's texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/chunky.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/textstyle.h"
#include "model/signals.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/tests/symbol_testing.h"

namespace plexa::test {
namespace {

class SymbolTexts : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        SetSymbolTextHooks({});
    }
    void TearDown() override {
        SetSymbolTextHooks({});
        if (sheet.signalList) DestroySignalList(sheet.signalList);
        sheet.signalList = nullptr;
        SheetTest::TearDown();
    }

    // A body of 40 x 40 at the origin with a pin on each of the sides named (r, t, l, b).
    SymbolRecord* WithPins(const std::string& sides, Point position = {100, 100}) {
        std::vector<PinLine> pins;
        for (char side : sides) {
            switch (side) {
                case 'r': pins.push_back({{20, 50}, {20, 40}}); break;
                case 't': pins.push_back({{-10, 20}, {0, 20}}); break;
                case 'l': pins.push_back({{20, -10}, {20, 0}}); break;
                case 'b': pins.push_back({{50, 20}, {40, 20}}); break;
            }
        }
        SymbolRecord* symbol = Place(AddDefinition(Definition(pins, {0, 0, 40, 40})), position);
        SetSymbolRefName(symbol, sheet.stringBlock, "R1");
        SetSymbolName(symbol, sheet.stringBlock, "Resistor");
        return symbol;
    }

    Rect Body(SymbolRecord* symbol) {
        Rect r{};
        GetSymbolInstanceBounds(&sheet, symbol, 0, &r);
        return r;
    }

    static StyleMetrics Metrics(const TextRecord* text) {
        StyleMetrics m{};
        GetStyleMetrics(text->style, &m);
        return m;
    }

    int32_t TextCount() { return int32_t(sheet.textList->count); }
};

// ---- Names and designators ----

TEST_F(SymbolTexts, PlacementTableBySidesOfThePins) {
    struct Case {
        const char* sides;
        // Where the designator's base line is: 'a' above the top edge (name below it, on the
        // top edge), 'i' inside from the top (designator first), 'u' under the bottom edge.
        char vertical;
        bool rightOfSymbol;
    };
    const Case cases[] = {
        {"rtlb", 'a', true},  // all four sides: right of the symbol, above its top edge
        {"tb", 'i', true},    // top and bottom, none on the right: beside it, top down
        {"tbl", 'i', true},
        {"rtb", 'a', true},
        {"t", 'u', false},    // top only: below the symbol
        {"tt", 'u', false},
        {"rl", 'a', false},   // otherwise above it
        {"b", 'a', false},
        {"", 'a', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sides);
        SymbolRecord* symbol = WithPins(c.sides);
        CreateSymbolTextItems(&sheet, symbol, kSymbolTextShowName | kSymbolTextShowDesignator,
                              nullptr, nullptr, nullptr);
        TextRecord* name = RetrieveSymbolText(&sheet, symbol, kTextKindSymbolName);
        TextRecord* ref = RetrieveSymbolText(&sheet, symbol, kTextKindDesignator);
        ASSERT_TRUE(name && ref);
        EXPECT_EQ(String(name), "Resistor");
        EXPECT_EQ(String(ref), "R1");
        // The new texts went to the tail of the list, the name first.
        EXPECT_EQ(LLLast(sheet.textList), ref);
        const Rect r = Body(symbol);
        const StyleMetrics n = Metrics(name), d = Metrics(ref);
        const int32_t stack = n.leading + d.descent + n.ascent;
        const int32_t h = c.rightOfSymbol ? r.right + 6 : r.left;
        EXPECT_EQ(name->position.h, h);
        EXPECT_EQ(ref->position.h, h);
        EXPECT_EQ(name->position.v - ref->position.v, stack);
        switch (c.vertical) {
            case 'a': EXPECT_EQ(name->position.v, r.top - n.descent); break;
            case 'i': EXPECT_EQ(ref->position.v, r.top + d.ascent + d.descent / 2); break;
            case 'u': EXPECT_EQ(ref->position.v, r.bottom + d.ascent + d.descent / 2); break;
        }
        EXPECT_FALSE(name->flags & kTextFlagHidden);
        EXPECT_EQ(name->owner, TextOwnerSerial(symbol->serial));
        EXPECT_EQ(ref->owner, TextOwnerSerial(symbol->serial));
    }
}

TEST_F(SymbolTexts, AHiddenOrMissingPartnerCountsAsZeroMetrics) {
    SymbolRecord* symbol = WithPins("rl");
    const Rect r = Body(symbol);
    // Missing name: the designator stands on the top edge by its own descent only.
    TextRecord* ref = BuildSymbolReferenceText(&sheet, symbol, nullptr, false);
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->position.v, r.top - Metrics(ref).descent);
    // A visible name lifts it by the stack; a hidden one does not.
    TextRecord* name = BuildSymbolNameText(&sheet, symbol, nullptr, false);
    ASSERT_TRUE(name);
    AutoPositionSymbolText(&sheet, symbol, ref, false);
    const StyleMetrics n = Metrics(name), d = Metrics(ref);
    EXPECT_EQ(ref->position.v, r.top - n.descent - (n.leading + d.descent + n.ascent));
    name->flags |= kTextFlagHidden;
    AutoPositionSymbolText(&sheet, symbol, ref, false);
    EXPECT_EQ(ref->position.v, r.top - d.descent);
    // With own metrics only, the partner is not looked at.
    AutoPositionSymbolText(&sheet, symbol, ref, true);
    EXPECT_EQ(ref->position.v, r.top - d.descent - (d.leading + d.descent + d.ascent));
}

TEST_F(SymbolTexts, RightAlignmentIsClearedAndAttributeTextsGoRightBelow) {
    SymbolRecord* symbol = WithPins("l");
    const Rect r = Body(symbol);
    TextRecord* ref = BuildSymbolReferenceText(&sheet, symbol, nullptr, false);
    ref->flags |= kTextFlagRightAligned;
    AutoPositionSymbolText(&sheet, symbol, ref, false);
    EXPECT_FALSE(ref->flags & kTextFlagRightAligned);
    EXPECT_EQ(ref->position.h, r.left);
    EXPECT_GT(ref->bounds.right, ref->position.h + 5);  // reads rightward again

    TextRecord* attribute = nullptr;
    EXPECT_TRUE(SetSymbolTextVisible(&sheet, symbol, nullptr, kTextKindSymbolAttribute, true,
                                     nullptr, &attribute));
    ASSERT_TRUE(attribute);
    EXPECT_EQ(String(attribute), "");
    EXPECT_EQ(attribute->owner, TextOwnerSerial(symbol->serial));
    AutoPositionSymbolText(&sheet, symbol, attribute, false);
    EXPECT_EQ(attribute->position.v, r.bottom + Metrics(attribute).ascent);
    EXPECT_EQ(attribute->position.h, r.right + 6);
}

TEST_F(SymbolTexts, KindsFollowTheSymbolAndGivenTextsAreRefilledInPlace) {
    SymbolRecord* sheetSymbol = WithPins("");
    sheetSymbol->flags |= kSymbolFlagSheet;
    EXPECT_EQ(SymbolDesignatorKind(sheetSymbol), kTextKindCompDesignator);
    SymbolRecord* plain = WithPins("r");
    EXPECT_EQ(SymbolDesignatorKind(plain), kTextKindDesignator);

    TextRecord* given = AddText("old", kTextKindFree, 0, {7, 9});
    EXPECT_EQ(BuildSymbolReferenceText(&sheet, plain, given, false), given);
    EXPECT_EQ(given->kind, kTextKindDesignator);
    EXPECT_EQ(String(given), "R1");
    EXPECT_EQ(given->position.v, 7);
    EXPECT_EQ(given->position.h, 9);
    EXPECT_EQ(given->owner, TextOwnerSerial(plain->serial));
    EXPECT_EQ(BuildSymbolNameText(&sheet, plain, given, false), given);
    EXPECT_EQ(given->kind, kTextKindSymbolName);
    EXPECT_EQ(String(given), "Resistor");
}

TEST_F(SymbolTexts, CreateSymbolTextItemsHidesWhatIsNotShown) {
    SymbolRecord* symbol = WithPins("rl");
    Rect area{};
    CreateSymbolTextItems(&sheet, symbol, kSymbolTextShowDesignator, nullptr, nullptr, &area);
    EXPECT_EQ(RetrieveSymbolText(&sheet, symbol, kTextKindSymbolName), nullptr);
    TextRecord* ref = RetrieveSymbolText(&sheet, symbol, kTextKindDesignator);
    ASSERT_TRUE(ref);
    EXPECT_EQ(area.top, ref->bounds.top);
    EXPECT_EQ(area.right, ref->bounds.right);
    // A given name text is rebuilt and hidden when its flag is clear.
    TextRecord* name = AddText("x", kTextKindFree);
    CreateSymbolTextItems(&sheet, symbol, kSymbolTextShowDesignator, name, ref, nullptr);
    EXPECT_EQ(name->kind, kTextKindSymbolName);
    EXPECT_TRUE(name->flags & kTextFlagHidden);
    EXPECT_FALSE(ref->flags & kTextFlagHidden);
}

TEST_F(SymbolTexts, SetSymbolTextVisibleShowsHidesAndMakes) {
    SymbolRecord* symbol = WithPins("rl");
    TextRecord* out = reinterpret_cast<TextRecord*>(1);
    // Hiding what is missing does nothing.
    EXPECT_FALSE(SetSymbolTextVisible(&sheet, symbol, nullptr, kTextKindSymbolName, false, nullptr, &out));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(TextCount(), 0);
    // Showing makes it, its bounds in the area.
    Rect area{};
    EXPECT_TRUE(SetSymbolTextVisible(&sheet, symbol, nullptr, kTextKindSymbolName, true, &area, &out));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->kind, kTextKindSymbolName);
    EXPECT_EQ(area.left, out->bounds.left);
    EXPECT_EQ(area.bottom, out->bounds.bottom);
    // Showing it again changes nothing; hiding changes it and adds its bounds.
    area = Rect{};
    EXPECT_FALSE(SetSymbolTextVisible(&sheet, symbol, nullptr, kTextKindSymbolName, true, &area, nullptr));
    EXPECT_TRUE(VXEmptyRect(&area));
    EXPECT_TRUE(SetSymbolTextVisible(&sheet, symbol, nullptr, kTextKindSymbolName, false, &area, nullptr));
    EXPECT_TRUE(out->flags & kTextFlagHidden);
    EXPECT_EQ(area.top, out->bounds.top);
    EXPECT_EQ(TextCount(), 1);
    // Another symbol's text is not this one's.
    SymbolRecord* other = WithPins("r");
    EXPECT_EQ(RetrieveSymbolText(&sheet, other, kTextKindSymbolName), nullptr);
}

TEST_F(SymbolTexts, TellingNameAndDesignatorTexts) {
    struct Case {
        const char* string;
        uint16_t kind;
        bool name, designator;
    };
    const Case cases[] = {
        {"{Name}", kTextKindSymbolAttribute, true, false},
        {"  {compname} ", kTextKindSymbolAttribute, true, false},
        {"{REFDES}", kTextKindSymbolAttribute, false, true},
        {"{RefDes}x", kTextKindSymbolAttribute, false, false},
        {"{Name}", kTextKindFree, false, false},
        {"{Value}", kTextKindSymbolAttribute, false, false},
    };
    for (const Case& c : cases) {
        TextRecord* text = AddText(c.string, c.kind);
        EXPECT_EQ(IsSymbolNameText(text, sheet.stringBlock), c.name) << c.string;
        EXPECT_EQ(IsRefDesText(text, sheet.stringBlock), c.designator) << c.string;
    }
}

// ---- Net symbols and port labels ----

TEST_F(SymbolTexts, NetSymbolTextsShowTheConnectedSignal) {
    sheet.signalList = CreateSignalList();
    SymbolRecord* port = Place(AddDefinition(Definition({{{20, 50}, {20, 40}}}, {0, 0, 40, 40})),
                               {200, 300}, kSymbolFlagPort);
    // Nothing connected: no text.
    EXPECT_EQ(BuildNetSymbolText(&sheet, port), nullptr);
    EXPECT_FALSE(SetSymbolTextVisible(&sheet, port, nullptr, kTextKindNetSymbol, true, nullptr, nullptr));
    EXPECT_EQ(TextCount(), 0);
    SignalHandle clk = CreateSignal(sheet.signalList);
    SetSignalName(clk, sheet.stringBlock, "CLK");
    AddPinToSignal(clk, port, 0);
    TextRecord* text = BuildNetSymbolText(&sheet, port);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->kind, kTextKindNetSymbol);
    EXPECT_EQ(String(text), "CLK");
    // Its pin points right: right-aligned left of the symbol's position, by the symbol's width.
    Rect all{};
    GetSymbolInstanceBounds(&sheet, port, 1, &all);
    EXPECT_EQ(GetNodeInstanceOrient(&sheet, port, 0), 1);
    EXPECT_TRUE(text->flags & kTextFlagRightAligned);
    EXPECT_EQ(text->position.h, 300 - (all.right - all.left) - 1);
    EXPECT_EQ(text->position.v, 200 + Metrics(text).ascent / 2);
    EXPECT_LT(text->bounds.left, text->position.h - 5);  // ends at its position
    // A module port shows its own name.
    SymbolRecord* module = Place(port->mapId, {0, 0}, kSymbolFlagPort | kSymbolFlagModulePort);
    SetPortSymbolName(&sheet, module, "DATA");
    TextRecord* own = BuildNetSymbolText(&sheet, module);
    ASSERT_TRUE(own);
    EXPECT_EQ(String(own), "DATA");
}

TEST_F(SymbolTexts, NetSymbolTextsByOrientation) {
    struct Case {
        PinLine pin;
        int32_t orientation;
    };
    const Case cases[] = {
        {{{20, 50}, {20, 40}}, 1}, {{{-10, 20}, {0, 20}}, 2}, {{{20, -10}, {20, 0}}, 3},
        {{{50, 20}, {40, 20}}, 4},
    };
    for (const Case& c : cases) {
        SymbolRecord* port = Place(AddDefinition(Definition({c.pin}, {0, 0, 40, 40})), {200, 300},
                                   kSymbolFlagPort | kSymbolFlagModulePort);
        SetPortSymbolName(&sheet, port, "NET");
        ASSERT_EQ(GetNodeInstanceOrient(&sheet, port, 0), c.orientation);
        TextRecord* text = AddText("NET", kTextKindNetSymbol, kTextFlagRotation, {0, 0});
        const Rect before = text->bounds;
        Rect area{};
        AutoPositionNetSymbolText(&sheet, port, text, &area);
        Rect all{};
        GetSymbolInstanceBounds(&sheet, port, 1, &all);
        const int32_t ascent = Metrics(text).ascent, width = before.right - before.left;
        EXPECT_EQ(text->flags & kTextFlagRotation, 0);
        switch (c.orientation) {
            case 1: EXPECT_EQ(text->position.h, 300 - (all.right - all.left) - 1); break;
            case 3: EXPECT_EQ(text->position.h, 300 + (all.right - all.left) + 2); break;
            case 2: EXPECT_EQ(text->position.v, 200 + (all.bottom - all.top) + ascent + 1); break;
            case 4: EXPECT_EQ(text->position.v, 200 - (all.bottom - all.top) - 2); break;
        }
        if (c.orientation % 2 == 0) {
            EXPECT_EQ(text->position.h, 300 - (width - 1) / 2);
        } else {
            EXPECT_EQ(text->position.v, 200 + ascent / 2);
        }
        // The area holds the bounds before and after.
        EXPECT_LE(area.top, std::min(before.top, text->bounds.top));
        EXPECT_GE(area.right, std::max(before.right, text->bounds.right));
    }
}

TEST_F(SymbolTexts, PortLabelsSitBesideTheirPortsWithPreferencesOrDefaults) {
    static SymbolTextOffsets prefs = kDefaultSymbolTextOffsets;
    prefs.portLabel[0] = {5, -30};
    prefs.portLabel[1] = {6, 40};
    SymbolTextHooks hooks;
    hooks.getSheetSymbolPortPos = [](const SymbolRecord*, int32_t port, Point* point, int32_t* side) {
        *point = port == 0 ? Point{24, 120} : Point{48, 0};
        *side = port == 0 ? 1 : 3;
    };
    SetSymbolTextHooks(hooks);
    Point defaults[2];
    GetDefaultPortLabelPositions(defaults);
    EXPECT_EQ(PointText(defaults[0]), "(4,-16)");
    EXPECT_EQ(PointText(defaults[1]), "(4,19)");

    SymbolRecord* box = Place(-1, {100, 200}, kSymbolFlagSheet);
    TextRecord* right = AddText("IN", kTextKindPinName | 0, 0, {0, 0});
    TextRecord* left = AddText("OUT", kTextKindPinName | 1, kTextFlagRightAligned | 1, {0, 0});
    // No preferences record: the defaults.
    AutoPositionSheetPortText(right, &sheet, box);
    AutoPositionSheetPortText(left, &sheet, box);
    EXPECT_TRUE(right->flags & kTextFlagRightAligned);
    EXPECT_EQ(PointText(right->position), "(128,304)");  // (24,120) + (4,-16) + (100,200)
    EXPECT_EQ(left->flags & (kTextFlagRightAligned | kTextFlagRotation), 0);
    EXPECT_EQ(PointText(left->position), "(152,219)");
    EXPECT_LT(right->bounds.left, right->position.h - 5);
    // With a preferences record its points.
    hooks.preferences = []() -> const SymbolTextOffsets* { return &prefs; };
    SetSymbolTextHooks(hooks);
    AutoPositionSheetPortText(right, &sheet, box);
    AutoPositionSheetPortText(left, &sheet, box);
    EXPECT_EQ(PointText(right->position), "(129,290)");
    EXPECT_EQ(PointText(left->position), "(154,240)");
    // A turned sheet symbol turns the label about its origin before the move.
    box->flags |= 1;
    AutoPositionSheetPortText(left, &sheet, box);
    EXPECT_EQ(left->flags & kTextFlagRotation, 1);
    // Without the port hook the text is left alone.
    SetSymbolTextHooks({});
    const Point before = left->position;
    AutoPositionSheetPortText(left, &sheet, box);
    EXPECT_EQ(PointText(left->position), PointText(before));
}

// ---- Pin texts ----

TEST_F(SymbolTexts, PinTextsTurnAndAlignByOrientationAtTheDefaultOffsets) {
    struct Case {
        int32_t orientation;
        uint16_t kind;
        uint16_t flags;  // rotation and right alignment
        Point offset;
    };
    const Case cases[] = {
        {1, kTextKindPinNumber, 0, {-1, 4}},
        {2, kTextKindPinNumber, kTextFlagRightAligned | 1, {-1, 2}},
        {3, kTextKindPinNumber, kTextFlagRightAligned, {-1, -2}},
        {4, kTextKindPinNumber, 1, {3, 1}},
        {1, kTextKindPinName, kTextFlagRightAligned, {4, -3}},
        {2, kTextKindPinName, 1, {4, -4}},
        {3, kTextKindPinName, 0, {4, 4}},
        {4, kTextKindPinName, kTextFlagRightAligned | 1, {-1, -4}},
        {2, kTextKindPinAttribute, kTextFlagRightAligned | 1, {-1, 2}},  // placed as numbers
    };
    // No preferences record (the converter, a headless run): the defaults, never a crash.
    for (const Case& c : cases) {
        TextRecord* text = AddText("12", c.kind, kTextFlagRightAligned | 3, {0, 0});
        AutoPositionPinText(text, sheet.stringBlock, {100, 200}, c.orientation, nullptr, nullptr);
        EXPECT_EQ(text->flags & 7, c.flags) << c.orientation << " " << c.kind;
        EXPECT_EQ(PointText(text->position), PointText({int16_t(100 + c.offset.v), int16_t(200 + c.offset.h)}))
            << c.orientation << " " << c.kind;
    }
    // The preferences' offsets when there is a record.
    static SymbolTextOffsets prefs = kDefaultSymbolTextOffsets;
    prefs.pinNumber[2] = {-7, -9};
    SymbolTextHooks hooks;
    hooks.preferences = []() -> const SymbolTextOffsets* { return &prefs; };
    SetSymbolTextHooks(hooks);
    TextRecord* text = AddText("5", kTextKindPinNumber, 0, {0, 0});
    AutoPositionPinText(text, sheet.stringBlock, {10, 10}, 3, nullptr, nullptr);
    EXPECT_EQ(PointText(text->position), "(3,1)");
}

TEST_F(SymbolTexts, OverlappingPinNumbersMoveOutwardUntilClearOfAllOthers) {
    for (int32_t orientation = 1; orientation <= 4; ++orientation) {
        SCOPED_TRACE(orientation);
        LLRemoveOrFreeAll(sheet.textList, true);
        std::vector<TextRecord*> texts;
        for (const char* number : {"1", "22", "333", "4"}) {
            TextRecord* text = AddText(number, uint16_t(kTextKindPinNumber | texts.size()), 0, {0, 0});
            text->owner = TextOwnerSerial(7);
            texts.push_back(text);
        }
        AddText("not a pin text", kTextKindFree, 0, {100, 200});  // never collected
        VXChunkyBlock collection = CollectPinsText(sheet.textList, 7, -1);
        ASSERT_TRUE(collection);
        EXPECT_EQ(VXChunkyCount(collection), 4u);
        for (TextRecord* text : texts)
            AutoPositionPinText(text, sheet.stringBlock, {100, 200}, orientation, collection, nullptr);
        DestroyPinTextCollection(collection);
        // Each text ends clear of every other, the later ones further out.
        for (size_t i = 0; i < texts.size(); ++i)
            for (size_t j = i + 1; j < texts.size(); ++j) {
                Rect overlap;
                EXPECT_FALSE(VXSectRect(&texts[i]->bounds, &texts[j]->bounds, &overlap)) << i << " " << j;
                switch (orientation) {
                    case 1: EXPECT_GT(texts[j]->bounds.left, texts[i]->bounds.left); break;
                    case 2: EXPECT_LT(texts[j]->bounds.bottom, texts[i]->bounds.bottom); break;
                    case 3: EXPECT_LT(texts[j]->bounds.right, texts[i]->bounds.right); break;
                    case 4: EXPECT_GT(texts[j]->bounds.top, texts[i]->bounds.top); break;
                }
            }
        // The gap to the one passed last is 2.
        switch (orientation) {
            case 1: EXPECT_EQ(texts[1]->bounds.left, texts[0]->bounds.right + 2); break;
            case 2: EXPECT_EQ(texts[1]->bounds.bottom, texts[0]->bounds.top - 2); break;
            case 3: EXPECT_EQ(texts[1]->bounds.right, texts[0]->bounds.left - 2); break;
            case 4: EXPECT_EQ(texts[1]->bounds.top, texts[0]->bounds.bottom + 2); break;
        }
    }
}

TEST_F(SymbolTexts, CollectionsHoldOneSymbolsPinTexts) {
    for (uint32_t serial : {3u, 4u})
        for (uint16_t kind : {uint16_t(kTextKindPinNumber | 1), uint16_t(kTextKindPinName | 2),
                              uint16_t(kTextKindPinAttribute | 1), kTextKindSymbolName})
            AddText("x", kind)->owner = TextOwnerSerial(serial);
    VXChunkyBlock all = CollectPinsText(sheet.textList, 3, -1);
    VXChunkyBlock one = CollectPinsText(sheet.textList, 3, 1);
    EXPECT_EQ(VXChunkyCount(all), 3u);
    EXPECT_EQ(VXChunkyCount(one), 2u);
    for (uint32_t i = 0; i < VXChunkyCount(all); ++i) {
        const auto* item = static_cast<PinTextCollectionItem*>(VXChunkyItemPtr(all, i));
        EXPECT_EQ(item->text->owner, TextOwnerSerial(3));
    }
    DestroyPinTextCollection(all);
    DestroyPinTextCollection(one);
    DestroyPinTextCollection(nullptr);
}

}  // namespace
}  // namespace plexa::test
