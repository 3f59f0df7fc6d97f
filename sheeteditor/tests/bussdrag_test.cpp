// Buss ends, pieces and break-outs dragged in a real sheet window: the directions a buss end is
// held to, an end dragged past a break-out, and a break-out flipped through its four quadrants.
#include "sheeteditor/bussdrag.h"

#include <gtest/gtest.h>

#include "model/tests/net_fixture.h"
#include "sheeteditor/tests/wire_drags_testing.h"

namespace plexa::test {
namespace {

std::string Pt(Point p) { return "(" + std::to_string(p.h) + "," + std::to_string(p.v) + ")"; }

TEST(BussEnd, IsHeldToVerticalFortyFiveDegreesOrHorizontal) {
    const Point other{100, 100};
    struct Case {
        int32_t mode;
        Point p, expected;
    };
    const Case cases[] = {
        {kBussEndAnyDirection, {103, 130}, {100, 130}},  // nearly horizontal
        {kBussEndAnyDirection, {130, 103}, {130, 100}},  // nearly vertical
        {kBussEndAnyDirection, {130, 120}, {130, 130}},  // steep: 45 degrees by the v offset
        {kBussEndAnyDirection, {120, 130}, {130, 130}},  // flat: 45 degrees by the h offset
        {kBussEndAnyDirection, {80, 70}, {70, 70}},      // up and left
        {kBussEndAnyDirection, {120, 120}, {120, 120}},  // exactly 45 degrees stays
        {kBussEndAnyDirection, {130, 115}, {130, 100}},  // half the larger offset: vertical
        {kBussEndVertical, {120, 130}, {120, 100}},
        {kBussEndHorizontal, {120, 130}, {100, 130}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + Pt(c.p));
        EXPECT_EQ(Pt(ConstrainBussLineEnd(c.mode, other, c.p)), Pt(c.expected));
    }
}

class BussDrag : public WireDragTest {
protected:
    // A horizontal buss from h 100 to 300 at v 100, with a break-out whose buss point is at h
    // `at`, elbow up and left, and a signal wire going up from the elbow.
    void Build(int16_t at, uint16_t bussFlags = 0) {
        buss = CreateBuss(sheet->bussList);
        LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 300}}, kWireEndFree, kWireEndFree,
                                        uint16_t(kWireFlagBuss | bussFlags)));
        CalcBussBounds(buss);
        row = AddBussBreakout(sheet->breakOutTable, buss, Point{100, at},
                              Point{int16_t(100 - kBreakOutStub), int16_t(at - kBreakOutStub)});
        ASSERT_GE(row, 0);
        signal = CreateSignal(sheet->signalList);
        LLPush((*signal)->wires,
               MakeWire({{int16_t(100 - kBreakOutStub), int16_t(at - kBreakOutStub)}, {40, int16_t(at - kBreakOutStub)}},
                        uint16_t(kWireEndBreakOut | row), kWireEndFree));
        CalcSignalBounds(signal);
    }
    std::string Row() const {
        BreakOutRow r{};
        EXPECT_TRUE(GetBreakOutRow(sheet->breakOutTable, row, &r));
        return "buss " + Pt(r.first) + " elbow " + Pt(r.second);
    }
    // The buss still passes through the break-out's buss point.
    bool OnBuss() const {
        BreakOutRow r{};
        int32_t segment = -1;
        return GetBreakOutRow(sheet->breakOutTable, row, &r) &&
               HitTestWireList((*buss)->wires, r.first, 0, false, &segment, nullptr) != nullptr;
    }

    BussHandle buss = nullptr;
    SignalHandle signal = nullptr;
    int32_t row = -1;
};

TEST_F(BussDrag, AnEndDraggedPastABreakOutLeavesTheBreakOutOnTheBuss) {
    Build(250, kWireFlagSelected);
    VXEventRecord click = Drag({100, 300}, {{100, 280}, {100, 240}, {102, 201}});
    DragBussWireEnd(sheet, 1, &click);
    EXPECT_EQ(Wires(), "S0: (241,91) (241,40)\nB0: (250,100) (100,100)\n");
    EXPECT_EQ(Row(), "buss (250,100) elbow (241,91)");
    EXPECT_TRUE(OnBuss());
    // The far end swung round below the break-out: held to vertical about it.
    (*FirstWire((*buss)->wires))->flags |= kWireFlagSelected;
    click = Drag({100, 100}, {{120, 120}, {157, 255}});
    DragBussWireEnd(sheet, 1, &click);
    EXPECT_EQ(Wires(), "S0: (241,91) (241,40)\nB0: (250,160) (250,100)\n");
    EXPECT_TRUE(OnBuss());
}

TEST_F(BussDrag, ABreakOutFlipsIntoEachOfItsFourQuadrants) {
    Build(200);
    struct Step {
        Point from, to;
        const char* row;
        const char* wires;
    };
    const Step steps[] = {
        // Across the buss: the elbow goes below it.
        {{95, 195}, {112, 195}, "buss (200,100) elbow (191,109)", "S0: (191,109) (191,40)\nB0: (100,100) (300,100)\n"},
        // Left of the elbow: the stub slants the other way.
        {{105, 195}, {112, 185}, "buss (182,100) elbow (191,109)", "S0: (191,109) (191,40)\nB0: (100,100) (300,100)\n"},
        // Back above the buss.
        {{104, 186}, {90, 186}, "buss (182,100) elbow (191,91)", "S0: (191,91) (191,40)\nB0: (100,100) (300,100)\n"},
        // Right of the elbow again: where it started.
        {{96, 186}, {90, 197}, "buss (200,100) elbow (191,91)", "S0: (191,91) (191,40)\nB0: (100,100) (300,100)\n"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.row);
        VXEventRecord click = Drag(s.from, {s.to});
        EXPECT_EQ(DragBussBreakOut(sheet, &click), 1);
        EXPECT_EQ(Row(), s.row);
        EXPECT_EQ(Wires(), s.wires);
        EXPECT_TRUE(OnBuss());
    }
    // A click away from every break-out is not a break-out drag.
    VXEventRecord away = Click({150, 150});
    EXPECT_EQ(DragBussBreakOut(sheet, &away), 0);
}

TEST_F(BussDrag, ABussPieceWithBreakOutsMovesAcrossItselfAndTheirWiresFollow) {
    Build(200);
    // Dragged down and to the right: the break-out holds the piece to moves across itself.
    VXEventRecord click = Drag({100, 150}, {{110, 160}, {131, 172}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(Row(), "buss (200,130) elbow (191,121)");
    // A wire with a free far end is carried whole.
    EXPECT_EQ(Wires(), "S0: (191,121) (191,70)\nB0: (300,130) (100,130)\n");
    EXPECT_TRUE(OnBuss());
}

TEST_F(BussDrag, AChamferStopsAtABreakOutOnItsArm) {
    buss = CreateBuss(sheet->bussList);
    LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 200}, {160, 200}}, kWireEndFree, kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    row = AddBussBreakout(sheet->breakOutTable, buss, Point{100, 185}, Point{91, 176});
    VXEventRecord click = Drag({101, 200}, {{105, 196}, {140, 160}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(Wires(), "B0: (200,160) (200,115) (185,100) (100,100)\n");
    EXPECT_TRUE(OnBuss());
}

TEST_F(BussDrag, ADiagonalMovesAlongItsParallelNeighbours) {
    buss = CreateBuss(sheet->bussList);
    LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 150}, {130, 180}, {130, 250}}, kWireEndFree,
                                    kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    VXEventRecord click = Drag({115, 165}, {{117, 172}, {116, 186}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(Wires(), "B0: (250,130) (200,130) (170,100) (100,100)\n");
}

TEST_F(BussDrag, AJunctionDragLeavesTheBreakOutsNearItOnTheBuss) {
    buss = CreateBuss(sheet->bussList);
    LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 200}}, kWireEndFree, kWireEndJunction, kWireFlagBuss));
    LLPush((*buss)->wires, MakeWire({{100, 200}, {100, 300}}, kWireEndJunction, kWireEndFree, kWireFlagBuss));
    LLPush((*buss)->wires, MakeWire({{100, 200}, {200, 200}}, kWireEndJunction, kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    row = AddBussBreakout(sheet->breakOutTable, buss, Point{100, 150}, Point{91, 141});
    VXEventRecord click = Drag({100, 200}, {{104, 200}, {119, 201}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(sheet->window->overlayProc, nullptr);
    EXPECT_TRUE(OnBuss());
    // The piece beside the break-out gains a leg; the wires with free far ends move whole.
    EXPECT_EQ(Wires(), "B0: (200,120) (150,120) (150,100) (100,100)\nB0: (300,120) (200,120)\n"
                       "B0: (200,220) (200,120)\n");
}

TEST_F(BussDrag, AWireLeavingABussDragsItsBreakOutAlongTheBuss) {
    // A vertical buss, a break-out on it and a wire from the elbow to a pin on the right.
    buss = CreateBuss(sheet->bussList);
    LLPush((*buss)->wires, MakeWire({{100, 100}, {300, 100}}, kWireEndFree, kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    row = AddBussBreakout(sheet->breakOutTable, buss, Point{200, 100}, Point{191, 109});
    signal = CreateSignal(sheet->signalList);
    Pin({191, 300});
    const int32_t pin = AddPinToSignal(signal, symbol, 1);
    LLPush((*signal)->wires, MakeWire({{191, 109}, {191, 300}}, uint16_t(kWireEndBreakOut | row), uint16_t(pin)));
    CalcSignalBounds(signal);
    const std::string net = Netlist();
    VXEventRecord click = Drag({191, 200}, {{200, 200}, {219, 201}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(Row(), "buss (100,229) elbow (109,220)");
    EXPECT_EQ(Wires(), "S0: (109,220) (300,220) (300,191)\nB0: (100,100) (100,300)\n");
    EXPECT_TRUE(OnBuss());
    EXPECT_EQ(Netlist(), net);
}

}  // namespace
}  // namespace plexa::test
