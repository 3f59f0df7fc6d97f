// Wire records: direction codes, corner editing with checked indices, splitting and joining,
// the clean-up, connectivity, hit tests, bounds and drawing.
#include <map>

#include "model/drawglobals.h"
#include "model/sheetselected.h"
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

using WiresTest = NetTest;

TEST(WireOrientTest, DirectionCodes) {
    struct Case {
        int16_t dh, dv;
        int32_t code;
    };
    const Case cases[] = {
        {0, -5, 0}, {5, -5, 1}, {5, 0, 2},  {5, 5, 3},   {0, 5, 4},   {-5, 5, 5},  {-5, 0, 6},
        {-5, -5, 7}, {0, 0, 8}, {5, -3, 9}, {5, 3, 11}, {-5, 3, 13}, {-5, -3, 15},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CalcLineOrient(P(10, 10), P(int16_t(10 + c.dh), int16_t(10 + c.dv))), c.code)
            << c.dh << "," << c.dv;
    }
}

TEST(WireOrientTest, ClosestDirection) {
    struct Case {
        int16_t dh, dv;
        bool orthogonalOnly;
        int32_t code;
    };
    const Case cases[] = {
        {10, 3, false, 2},  {10, 6, false, 3},  {3, 10, false, 4},  {6, 10, false, 3},
        {-10, 6, false, 5}, {6, -10, false, 1}, {10, 6, true, 2},   {6, 10, true, 4},
        {-6, -10, true, 0}, {-10, -6, true, 6}, {5, 5, true, 3},    {0, 0, true, 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CalcClosestLineOrient(P(0, 0), P(c.dh, c.dv), c.orthogonalOnly), c.code)
            << c.dh << "," << c.dv << " " << c.orthogonalOnly;
    }
}

TEST_F(WiresTest, ExtraCornersGo) {
    struct Case {
        std::vector<Point> corners;
        const char* after;
        bool changed;
    };
    const Case cases[] = {
        {{P(0, 0), P(10, 0), P(20, 0)}, "(0,0) (20,0)", true},
        {{P(0, 0), P(10, 0), P(5, 0)}, "(0,0) (5,0)", true},
        {{P(0, 0), P(0, 0), P(10, 0), P(10, 10)}, "(0,0) (10,0) (10,10)", true},
        {{P(0, 0), P(10, 10), P(20, 20), P(20, 30)}, "(0,0) (20,20) (20,30)", true},
        {{P(0, 0), P(10, 0), P(10, 10)}, "(0,0) (10,0) (10,10)", false},
        {{P(0, 0), P(10, 0), P(20, 0), P(20, 0)}, "(0,0) (20,0)", true},
        // Slants that are not 45 degrees stay, even on one line.
        {{P(0, 0), P(10, 5), P(20, 10)}, "(0,0) (10,5) (20,10)", false},
        {{P(0, 0), P(0, 0)}, "(0,0) (0,0)", false},
    };
    for (const Case& c : cases) {
        WireHandle wire = MakeWire(c.corners);
        Rect area;
        VXSetEmptyRect(&area);
        EXPECT_EQ(RemoveExtraWireCorners(wire, &area), c.changed) << c.after;
        EXPECT_EQ(PointsText(Corners(wire)), c.after);
        DestroyWire(wire);
    }
}

TEST_F(WiresTest, CornerAndSegmentIndicesOutsideTheWireChangeNothing) {
    WireHandle wire = MakeWire({P(0, 0), P(10, 0), P(10, 10)});
    Point pt = P(-7, -7);
    EXPECT_EQ(GetWireCorner(wire, 3, &pt), nullptr);
    EXPECT_EQ(pt.h, -7);
    ASSERT_NE(GetWireCorner(wire, -1, &pt), nullptr);
    EXPECT_EQ(PointsText({pt}), "(10,10)");
    EXPECT_FALSE(SetWireCorner(wire, 3, P(1, 1)));
    EXPECT_FALSE(SetWireCorner(wire, 40000, P(1, 1)));
    Point segment[2];
    EXPECT_FALSE(GetWireSegment(wire, 2, segment));
    ASSERT_TRUE(GetWireSegment(wire, -1, segment));
    EXPECT_EQ(PointsText({segment[0], segment[1]}), "(10,0) (10,10)");
    EXPECT_EQ(GetWireSegOrient(wire, 2, false), kOrientNull);
    EXPECT_EQ(GetWireSegOrient(wire, 1, true), 0);
    EXPECT_EQ(SplitWire(wire, 2, P(10, 5), false), nullptr);
    EXPECT_EQ(SplitWire(wire, -1, P(10, 5), false), nullptr);
    EXPECT_EQ(GetClosestSegSide(wire, 2, P(0, 0), nullptr, nullptr), -1);
    DeleteWireSegments(wire, 5, 9);
    RemoveWireCorners(wire, -1, 2);
    RemoveWireCorners(wire, 3, 1);
    EXPECT_EQ(PointsText(Corners(wire)), "(0,0) (10,0) (10,10)");
    EXPECT_TRUE(InsertWireCorner(wire, P(20, 10), 99));
    EXPECT_TRUE(InsertWireCorner(wire, P(-10, 0), 0));
    EXPECT_EQ(PointsText(Corners(wire)), "(-10,0) (0,0) (10,0) (10,10) (20,10)");
    RemoveWireCorners(wire, 3, 99);
    EXPECT_EQ(PointsText(Corners(wire)), "(-10,0) (0,0) (10,0)");
    DestroyWire(wire);
}

TEST_F(WiresTest, DeletingSegments) {
    struct Case {
        int32_t first, last;
        const char* after;
    };
    const Case cases[] = {
        {0, 0, "(10,0) (10,10) (20,10) (20,20)"},
        {-3, 1, "(10,10) (20,10) (20,20)"},
        {1, 2, "(0,0) (10,0) (20,20)"},
        {2, 32000, "(0,0) (10,0) (10,10)"},
        {3, 3, "(0,0) (10,0) (10,10) (20,10)"},
        {4, 9, "(0,0) (10,0) (10,10) (20,10) (20,20)"},
    };
    for (const Case& c : cases) {
        WireHandle wire = MakeWire({P(0, 0), P(10, 0), P(10, 10), P(20, 10), P(20, 20)});
        DeleteWireSegments(wire, c.first, c.last);
        EXPECT_EQ(PointsText(Corners(wire)), c.after) << c.first << ".." << c.last;
        DestroyWire(wire);
    }
}

TEST_F(WiresTest, ClosestSegmentSide) {
    WireHandle wire = MakeWire({P(0, 0), P(30, 0), P(30, 40)});
    Point corner;
    uint16_t distance = 0;
    EXPECT_EQ(GetClosestSegSide(wire, 0, P(10, 0), &corner, &distance), 0);
    EXPECT_EQ(distance, 10);
    EXPECT_EQ(GetClosestSegSide(wire, 0, P(15, 0), &corner, &distance), 0);  // ties to the first
    EXPECT_EQ(GetClosestSegSide(wire, 1, P(33, 36), &corner, &distance), 2);
    EXPECT_EQ(PointsText({corner}), "(30,40)");
    EXPECT_EQ(distance, 5);
    DestroyWire(wire);
}

TEST_F(WiresTest, BoundsGrowForBussWiresAndBreakOutEnds) {
    WireHandle wire = MakeWire({P(0, 0), P(10, 0)});
    EXPECT_EQ(DumpRect((*wire)->bounds), "(0,0)-(11,1)");
    (*wire)->flags = kWireFlagBuss;
    CalcWireBounds(wire);
    EXPECT_EQ(DumpRect((*wire)->bounds), "(-1,-1)-(12,2)");
    (*wire)->flags = 0;
    (*wire)->end1 = kWireEndBreakOut | 3;
    CalcWireBounds(wire);
    EXPECT_EQ(DumpRect((*wire)->bounds), "(0,-9)-(19,9)");
    RemoveWireCorners(wire, 1, 1);
    CalcWireBounds(wire);
    EXPECT_TRUE(VXEmptyRect(&(*wire)->bounds));
    DestroyWire(wire);
}

TEST_F(WiresTest, SplittingAtAJunctionEndGivesNoNewWire) {
    WireHandle wire = MakeWire({P(0, 0), P(20, 0)}, kWireEndJunction, kWireEndJunction);
    EXPECT_EQ(SplitWire(wire, 0, P(0, 0), true), nullptr);
    EXPECT_EQ(SplitWire(wire, 0, P(20, 0), true), nullptr);
    WireHandle half = SplitWire(wire, 0, P(5, 0), true);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(PointsText(Corners(wire)), "(0,0) (5,0)");
    EXPECT_EQ(PointsText(Corners(half)), "(5,0) (20,0)");
    EXPECT_EQ((*wire)->end1, kWireEndJunction);
    EXPECT_EQ((*half)->end0, kWireEndJunction);
    DestroyWire(half);
    // Without the junction check a free end is split off as a null piece.
    (*wire)->end0 = kWireEndFree;
    WireHandle dot = SplitWire(wire, 0, P(0, 0), false);
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(PointsText(Corners(wire)), "(0,0) (0,0)");
    DestroyWire(dot);
    DestroyWire(wire);
}

TEST_F(WiresTest, AfterSplittingASelectedWireExactlyOneHalfIsSelected) {
    for (Point at : {P(5, 0), P(0, 0)}) {
        WireHandle wire = MakeWire({P(0, 0), P(20, 0)}, kWireEndFree, kWireEndFree,
                                   kWireFlagSelected);
        WireHandle half = SplitWire(wire, 0, at, true);
        ASSERT_NE(half, nullptr);
        const int selected = ((*wire)->flags & kWireFlagSelected ? 1 : 0) +
                             ((*half)->flags & kWireFlagSelected ? 1 : 0);
        EXPECT_EQ(selected, 1);
        // A wire shrunk to a point loses the selection to its other half.
        EXPECT_EQ(((*half)->flags & kWireFlagSelected) != 0, IsNullLengthWire(wire));
        DestroyWire(half);
        DestroyWire(wire);
    }
}

TEST_F(WiresTest, JoiningReturnsTheSurvivingWire) {
    WireList list = CreateWireList(nullptr, 0);
    WireHandle a = MakeWire({P(0, 0), P(10, 0)}, kWireEndFree, kWireEndJunction);
    WireHandle b = MakeWire({P(10, 10), P(10, 0)}, kWireEndFree, kWireEndJunction, 0x40);
    LLPush(list, b);
    LLPush(list, a);
    WireHandle survivor = JoinWires(list, a, b, P(10, 0));
    ASSERT_EQ(survivor, a);
    EXPECT_EQ(list->count, 1u);
    EXPECT_EQ(FirstWire(list), survivor);
    EXPECT_EQ(PointsText(Corners(survivor)), "(0,0) (10,0) (10,10)");
    EXPECT_EQ((*survivor)->end1, kWireEndFree);
    EXPECT_EQ((*survivor)->flags, 0x40);
    DestroyWireList(list);
}

TEST_F(WiresTest, AClosedLoopJoinedWithItselfIsReopenedAtACorner) {
    WireList list = CreateWireList(nullptr, 0);
    WireHandle loop = MakeWire({P(10, 0), P(20, 0), P(20, 20), P(0, 20), P(0, 0), P(10, 0)},
                               kWireEndJunction, kWireEndJunction);
    LLPush(list, loop);
    EXPECT_EQ(JoinWires(list, loop, loop, P(10, 0)), nullptr);
    EXPECT_EQ(list->count, 1u);
    EXPECT_EQ((*loop)->end0, kWireEndFree);
    EXPECT_EQ((*loop)->end1, kWireEndFree);
    EXPECT_EQ(PointsText(Corners(loop)), "(20,0) (20,20) (0,20) (0,0) (20,0)");
    DestroyWireList(list);
}

TEST_F(WiresTest, CleanUpJoinsPairsKeepsThreeEndsAndFreesLoneJunctions) {
    SignalHandle signal = CreateSignal(drawing->signalList);
    WireList list = (*signal)->wires;
    LLPush(list, MakeWire({P(0, 0), P(10, 0)}, kWireEndFree, kWireEndJunction));
    WireHandle second = MakeWire({P(10, 0), P(20, 0)}, kWireEndJunction, kWireEndJunction);
    LLPush(list, second);
    LLPush(list, MakeWire({P(20, 0), P(20, 10)}, kWireEndJunction, kWireEndJunction));
    LLPush(list, MakeWire({P(20, 0), P(30, 0)}, kWireEndJunction, kWireEndFree));
    // A null wire between junction and free ends goes.
    LLPush(list, MakeWire({P(5, 5), P(5, 5)}, kWireEndJunction, kWireEndFree));
    WireHandle reference = CleanupSignalWires(signal, second);
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"\" bounds (0,0)-(31,11) dots (20,0)\n"
              "    W1 junction - free: (20,0) (30,0)\n"
              "    W2 junction - free: (20,0) (20,10)\n"
              "    W3 free - junction: (0,0) (20,0)\n");
    // The reference wire was absorbed by the wire that took it over.
    EXPECT_EQ(reference, WireAt(list, 2));
}

TEST_F(WiresTest, AReferenceWireThatCleanUpRemovesBecomesNone) {
    WireList list = CreateWireList(nullptr, 0);
    WireHandle dot = MakeWire({P(5, 5), P(5, 5)}, kWireEndJunction, kWireEndJunction);
    LLPush(list, dot);
    EXPECT_EQ(CleanupWireList(list, dot, nullptr), nullptr);
    EXPECT_EQ(list->count, 0u);
    DestroyWireList(list);
}

TEST_F(WiresTest, ConnectivityRunsOnlyThroughJunctionEndsAtEqualPoints) {
    WireList list = CreateWireList(nullptr, 0);
    WireHandle a = MakeWire({P(0, 0), P(10, 0)}, kWireEndFree, kWireEndJunction);
    WireHandle b = MakeWire({P(10, 0), P(10, 10)}, kWireEndJunction, kWireEndJunction);
    WireHandle c = MakeWire({P(10, 0), P(20, 0)}, kWireEndJunction, kWireEndFree);
    // Touching b's far end only through a pin entry: a separate piece.
    WireHandle d = MakeWire({P(10, 10), P(10, 20)}, 0, kWireEndFree);
    for (WireHandle w : {d, c, b, a}) LLPush(list, w);
    EXPECT_TRUE(IsWireListFragmented(list, nullptr));
    for (WireHandle w : {a, b, c}) EXPECT_TRUE((*w)->flags & kWireFlagMarked);
    EXPECT_FALSE((*d)->flags & kWireFlagMarked);
    EXPECT_TRUE(IsWireListFragmented(list, d));
    EXPECT_TRUE((*d)->flags & kWireFlagMarked);
    EXPECT_FALSE((*a)->flags & kWireFlagMarked);
    (*d)->end0 = kWireEndJunction;
    EXPECT_FALSE(IsWireListFragmented(list, nullptr));
    EXPECT_FALSE(IsWireListFragmented(nullptr, nullptr));
    DestroyWireList(list);
}

TEST_F(WiresTest, ExactHitsOfAListGiveTheLastWireOtherSlopsTheFirst) {
    WireList list = CreateWireList(nullptr, 0);
    WireHandle first = MakeWire({P(0, 0), P(20, 0)});
    WireHandle last = MakeWire({P(10, 0), P(10, 20)});
    LLPush(list, last);
    LLPush(list, first);
    int32_t segment = -2;
    EXPECT_EQ(HitTestWireList(list, P(10, 0), -1, false, &segment, nullptr), last);
    EXPECT_EQ(segment, 0);
    EXPECT_EQ(HitTestWireList(list, P(10, 0), 0, false, &segment, nullptr), first);
    EXPECT_EQ(HitTestWireList(list, P(15, 3), 0, false, &segment, nullptr), nullptr);
    EXPECT_EQ(segment, -1);
    Point hit;
    EXPECT_EQ(HitTestWireList(list, P(15, 3), 3, false, &segment, &hit), first);
    EXPECT_EQ(PointsText({hit}), "(15,0)");
    DestroyWireList(list);
}

TEST_F(WiresTest, HitsOfSlantedSegments) {
    WireHandle wire = MakeWire({P(0, 0), P(20, 20), P(40, 30)});
    EXPECT_EQ(HitTestWire(wire, P(10, 10), 0, nullptr, false), 0);
    EXPECT_EQ(HitTestWire(wire, P(10, 11), 0, nullptr, false), -1);
    EXPECT_EQ(HitTestWire(wire, P(10, 11), 2, nullptr, false), 0);
    EXPECT_EQ(HitTestWire(wire, P(10, 10), 0, nullptr, true), -1);
    Point hit;
    EXPECT_EQ(HitTestWire(wire, P(30, 26), 1, &hit, false), 1);
    EXPECT_EQ(PointsText({hit}), "(30,25)");
    // A null segment is hit only by the exact test.
    WireHandle dot = MakeWire({P(5, 5), P(5, 5)});
    EXPECT_EQ(HitTestWire(dot, P(5, 5), 0, nullptr, false), -1);
    EXPECT_EQ(HitTestWire(dot, P(5, 5), -1, nullptr, false), 0);
    DestroyWire(dot);
    DestroyWire(wire);
}

TEST_F(WiresTest, NullWiresGetALength) {
    WireHandle wire = MakeWire({P(30, 30), P(30, 30)}, 0, kWireEndFree);
    FixNullWire(nullptr, wire, nullptr, 0);
    EXPECT_EQ(PointsText(Corners(wire)), "(30,30) (39,30)");
    SetWireCorner(wire, 1, P(30, 30));
    FixNullWire(drawing, wire, nullptr, 1);
    EXPECT_EQ(PointsText(Corners(wire)), "(30,30) (42,30)");
    DestroyWire(wire);
}

TEST_F(WiresTest, ASnippedStubAtAPinGetsALength) {
    SymbolRecord* part = driver->AddSymbol(5);
    SignalHandle signal = CreateSignal(drawing->signalList);
    const int32_t pin = AddPinToSignal(signal, part, 0);
    LLPush((*signal)->wires, MakeWire({P(30, 30), P(30, 30)}, uint16_t(pin), kWireEndJunction));
    Rect area;
    VXSetEmptyRect(&area);
    EXPECT_TRUE(FixSnippedSignal(drawing, signal, &area));
    EXPECT_EQ(DumpRect(area), "(30,30)-(43,31)");
    EXPECT_EQ(PointsText(Corners(FirstWire((*signal)->wires))), "(30,30) (42,30)");
    EXPECT_EQ((*FirstWire((*signal)->wires))->end1, kWireEndFree);
    EXPECT_FALSE(FixSnippedSignal(drawing, signal, &area));
}

TEST_F(WiresTest, HighlightsAreRecordedRestoredAndCleared) {
    SignalHandle signal = Draw({P(0, 0), P(10, 0)});
    Draw({P(30, 0), P(40, 0)});
    WireHandle wire = FirstWire((*signal)->wires);
    (*wire)->flags |= kWireFlagSelected;
    SignalHandle owner = nullptr;
    EXPECT_EQ(GetSelectedSignalWire(drawing, &owner), wire);
    EXPECT_EQ(owner, signal);
    RecordWireListHilites((*signal)->wires);
    Rect area;
    VXSetEmptyRect(&area);
    ClearSignalHilite(drawing, &area);
    EXPECT_EQ(DumpRect(area), "(0,0)-(11,1)");
    EXPECT_EQ(GetHiliteWire((*signal)->wires), nullptr);
    RestoreWireListHilites((*signal)->wires);
    NoteSheetItemSelected(drawing, SheetItemKind::kSignal, signal);
    EXPECT_EQ(GetHiliteWire((*signal)->wires), wire);
    (*FirstWire((*SignalAt(0))->wires))->flags |= kWireFlagSelected;
    NoteSheetItemSelected(drawing, SheetItemKind::kSignal, SignalAt(0));
    EXPECT_EQ(GetSelectedSignalWire(drawing, &owner), nullptr);
}

TEST_F(WiresTest, DrawingPicksPenAndColourByTheWire) {
    static std::vector<int16_t> colours;
    colours.clear();
    SheetColorHooks hooks;
    hooks.setForeColor = [](int16_t index) { colours.push_back(index); };
    SetSheetColorHooks(hooks);
    EXPECT_EQ(PrepDrawSegs(kWireFlagBuss, 0), -1);
    EXPECT_EQ(PrepDrawSegs(kWireFlagBuss | kWireFlagSelected, 0), -1);
    EXPECT_EQ(PrepDrawSegs(0, 0), 0);
    EXPECT_EQ(PrepDrawSegs(0, 1), 0);
    EXPECT_EQ(PrepDrawSegs(0, 2), 0);
    EXPECT_EQ(colours, (std::vector<int16_t>{4, 7, 3, 7, 5}));
    colours.clear();
    Canvas canvas(64, 64);
    VXGrafStateScope scope(canvas.state());
    WireList list = CreateWireList(nullptr, 0);
    LLPush(list, MakeWire({P(10, 40), P(50, 40)}));
    LLPush(list, MakeWire({P(10, 10), P(50, 10)}, kWireEndFree, kWireEndFree, kWireFlagSelected));
    DrawWireList(list, nullptr, true);
    // The pen is set from the first wire (selected), then each wire takes its own colour.
    EXPECT_EQ(colours, (std::vector<int16_t>{7, 7, 3}));
    const auto ink = canvas.Ink();
    EXPECT_EQ(ink[0], 10);
    EXPECT_EQ(ink[1], 10);
    EXPECT_EQ(ink[3], 41);
    DestroyWireList(list);
}

}  // namespace
}  // namespace plexa::test
