// Drawing scenarios of signal wires, each checked through the sheet dump.
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

using WireScenarioTest = NetTest;

TEST_F(WireScenarioTest, DrawingOverAnExistingWireAddsNoWire) {
    Draw({P(0, 0), P(40, 0)});
    Draw({P(10, 0), P(30, 0)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(41,1)\n"
              "    W1 free - free: (40,0) (0,0)\n");
}

TEST_F(WireScenarioTest, ALongerWireOverAnExistingOneAddsOnlyThePartBeyond) {
    Draw({P(10, 0), P(30, 0)});
    Draw({P(10, 0), P(50, 0)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (10,0)-(51,1)\n"
              "    W1 free - free: (50,0) (10,0)\n");
}

TEST_F(WireScenarioTest, ALongerWireIntegratedOverBothEndsIsCutToThePiecesBeyond) {
    SignalHandle signal = Draw({P(10, 0), P(30, 0)});
    WireHandle longer = MakeWire({P(0, 0), P(40, 0)});
    IntegrateWire(longer, (*signal)->wires, kIntegrateRecalcBounds, drawing, nullptr);
    // The new wire became the two pieces beyond the existing one; the existing wire was split at
    // its free ends, leaving null pieces there that clean-up removes.
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (10,0)-(31,1)\n"
              "    W1 junction - junction: (10,0) (0,0)\n"
              "    W2 junction - free: (10,0) (10,0)\n"
              "    W3 junction - junction: (40,0) (30,0)\n"
              "    W4 junction - junction: (30,0) (10,0)\n"
              "    W5 free - junction: (30,0) (30,0)\n");
    CleanupSignalWires(signal, nullptr);
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(41,1)\n"
              "    W1 free - free: (40,0) (0,0)\n");
}

TEST_F(WireScenarioTest, ATJunctionSplitsTheWireAndGetsADot) {
    Draw({P(0, 0), P(40, 0)});
    Draw({P(20, 0), P(20, 20)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(41,21) dots (20,0)\n"
              "    W1 free - junction: (20,20) (20,0)\n"
              "    W2 junction - free: (20,0) (0,0)\n"
              "    W3 free - junction: (40,0) (20,0)\n");
}

TEST_F(WireScenarioTest, AWireEndingOnAPinGetsAStubThatCleanUpJoins) {
    SymbolRecord* part = driver->AddSymbol(7);
    SignalHandle signal = CreateSignal(drawing->signalList);
    SetSignalName(signal, drawing->stringBlock, "N1");
    const int32_t pin = AddPinToSignal(signal, part, 1);
    IntegrateWire(MakeWire({P(0, 0), P(30, 0)}, uint16_t(pin)), (*signal)->wires,
                  kIntegrateRecalcBounds, drawing, nullptr);
    CalcSignalBounds(signal);
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"N1\" bounds (0,0)-(31,1)\n"
              "    pin 0: serial 7 node 1\n"
              "    W1 pin 0 - junction: (0,0) (0,0)\n"
              "    W2 junction - junction: (30,0) (0,0)\n");
    CleanupSignalWires(signal, nullptr);
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"N1\" bounds (0,0)-(31,1)\n"
              "    pin 0: serial 7 node 1\n"
              "    W1 pin 0 - free: (0,0) (30,0)\n");
}

TEST_F(WireScenarioTest, TwoWiresLeavingAPinKeepTheStubWithADot) {
    SymbolRecord* part = driver->AddSymbol(7);
    driver->AddPin(P(0, 0), part, 0);
    Draw({P(0, 0), P(30, 0)});
    Draw({P(0, 0), P(0, 30)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(31,31) dots (0,0)\n"
              "    pin 0: serial 7 node 0\n"
              "    W1 free - junction: (0,30) (0,0)\n"
              "    W2 junction - free: (0,0) (30,0)\n"
              "    W3 pin 0 - junction: (0,0) (0,0)\n");
}

TEST_F(WireScenarioTest, ALoopClosesOnACorner) {
    // Drawn from the middle of its top edge round to where it started.
    Draw({P(10, 0), P(20, 0), P(20, 20), P(0, 20), P(0, 0), P(10, 0)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(21,21)\n"
              "    W1 free - free: (0,0) (0,20) (20,20) (20,0) (0,0)\n");
}

TEST_F(WireScenarioTest, ALoopClosedByASecondWireClosesOnACorner) {
    Draw({P(0, 0), P(20, 0), P(20, 20)});
    Draw({P(20, 20), P(0, 20), P(0, 0)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(21,21)\n"
              "    W1 free - free: (0,0) (0,20) (20,20) (20,0) (0,0)\n");
}

TEST_F(WireScenarioTest, AClosedRectangleTouchingAWireCornerIsOpenedThere) {
    SignalHandle signal = Draw({P(0, 30), P(10, 30), P(10, 20)});
    WireHandle loop = MakeWire({P(0, 0), P(20, 0), P(20, 20), P(0, 20), P(0, 0)},
                               kWireEndJunction, kWireEndJunction);
    WireList fresh = CreateWireList(nullptr, 0);
    SplitClosedLoopWire(fresh, loop, FirstWire((*signal)->wires));
    EXPECT_EQ(PointsText(Corners(loop)), "(0,0) (20,0) (20,20) (10,20)");
    ASSERT_EQ(fresh->count, 1u);
    EXPECT_EQ(PointsText(Corners(FirstWire(fresh))), "(10,20) (0,20) (0,0)");
    DestroyWire(loop);
    DestroyWireList(fresh);
}

TEST_F(WireScenarioTest, DeletingAMiddleWireLeavesTheListInPieces) {
    SymbolRecord* a = driver->AddSymbol(1);
    SymbolRecord* b = driver->AddSymbol(2);
    SymbolRecord* c = driver->AddSymbol(3);
    SymbolRecord* d = driver->AddSymbol(4);
    driver->AddPin(P(0, 0), a, 0);
    driver->AddPin(P(60, 0), b, 0);
    driver->AddPin(P(20, 20), c, 0);
    driver->AddPin(P(40, 20), d, 0);
    SignalHandle signal = Draw({P(0, 0), P(60, 0)});
    Draw({P(20, 20), P(20, 0)});
    Draw({P(40, 20), P(40, 0)});
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(61,21) dots (40,0) (20,0)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0\n"
              "    pin 2: serial 3 node 0\n"
              "    pin 3: serial 4 node 0\n"
              "    W1 pin 3 - junction: (40,20) (40,0)\n"
              "    W2 junction - pin 1: (40,0) (60,0)\n"
              "    W3 pin 2 - junction: (20,20) (20,0)\n"
              "    W4 junction - junction: (20,0) (40,0)\n"
              "    W5 pin 0 - junction: (0,0) (20,0)\n");
    EXPECT_FALSE(IsWireListFragmented((*signal)->wires, nullptr));
    RemoveWireFromSignal(signal, WireAt((*signal)->wires, 3), true);
    EXPECT_TRUE(IsWireListFragmented((*signal)->wires, nullptr));
    Rect area;
    VXSetEmptyRect(&area);
    FixSnippedSignal(drawing, signal, &area);
    RegroupSignal(signal, drawing->signalList, drawing->textList, nullptr, drawing, &area);
    // Two pieces with pins: the group reachable from the first wire (the right one) is cut off
    // and taken first, keeping the name; the rest gets a fresh one. The wires still carry the
    // connectivity test's mark.
    EXPECT_EQ(Nets(),
              "signals 2\n"
              "  S1 \"SIG002\" bounds (0,0)-(21,21)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 3 node 0\n"
              "    W1 pin 1 - pin 0 flags 0x0004: (20,20) (20,0) (0,0)\n"
              "  S2 \"SIG001\" bounds (40,0)-(61,21)\n"
              "    pin 0: serial 2 node 0\n"
              "    pin 1: serial 4 node 0\n"
              "    W1 pin 1 - pin 0 flags 0x0004: (40,20) (40,0) (60,0)\n");
}

}  // namespace
}  // namespace plexa::test
