// Wires attached to moving symbols: stretched with a dog-leg at the snapped middle when orthogonal
// rubber-banding is on, slanted when it is off, and translated when both ends move.
#include "sheeteditor/wirestretch.h"

#include <gtest/gtest.h>

#include "model/tests/net_fixture.h"
#include "sheeteditor/tests/wire_drags_testing.h"

namespace plexa::test {
namespace {

bool gOrthogonal = false;

class WireStretch : public WireDragTest {
protected:
    void TearDown() override {
        SetWireStretchHooks(WireStretchHooks{});
        WireDragTest::TearDown();
    }
};

TEST_F(WireStretch, AttachedWiresFollowMovingSymbols) {
    struct Case {
        const char* what;
        bool orthogonal;
        bool bothMove;
        const char* wires;
    };
    const Case cases[] = {
        {"dog-leg", true, false, "S0: (110,120) (150,120) (150,100) (200,100)\n"},
        {"slant", false, false, "S0: (110,120) (200,100)\n"},
        {"translated", true, true, "S0: (110,120) (210,120)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewSheet();
        SymbolRecord* moving = symbol;
        SymbolRecord* fixed = driver->AddSymbol(8);
        driver->AddPin({100, 100}, moving, 1);
        driver->AddPin({100, 200}, fixed, 1);
        driver->Draw({{100, 100}, {100, 200}});
        moving->flags |= kSymbolFlagSelected;
        if (c.bothMove) fixed->flags |= kSymbolFlagSelected;
        gOrthogonal = c.orthogonal;
        WireStretchHooks hooks;
        hooks.orthogonalRubberband = [] { return gOrthogonal; };
        SetWireStretchHooks(hooks);
        Rect area{0, 0, 0, 0};
        MoveSignalWires(sheet, Point{20, 10}, 0, &area);
        EXPECT_EQ(Wires(), c.wires);
        EXPECT_GT(area.bottom, area.top);
    }
}

TEST_F(WireStretch, ABussStretchedAtAMovingPinLeavesItsBreakOutsOnAFixedPiece) {
    BussHandle buss = CreateBuss(sheet->bussList);
    const int32_t terminal = AddPinToBuss(buss, symbol, 1, 0);
    ASSERT_GE(terminal, 0);
    LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 300}}, uint16_t(terminal), kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    const int32_t row = AddBussBreakout(sheet->breakOutTable, buss, Point{100, 250}, Point{91, 241});
    symbol->flags |= kSymbolFlagSelected;
    Rect area{0, 0, 0, 0};
    MoveBussWires(sheet, Point{20, 0}, 0, &area);
    EXPECT_EQ(Wires(), "B0: (100,120) (250,100) (300,100)\n");
    BreakOutRow r{};
    ASSERT_TRUE(GetBreakOutRow(sheet->breakOutTable, row, &r));
    int32_t segment = -1;
    EXPECT_NE(HitTestWireList((*buss)->wires, r.first, 0, false, &segment, nullptr), nullptr);
}

TEST_F(WireStretch, ABussDiagonalKeepsItsFortyFiveDegrees) {
    BussHandle buss = CreateBuss(sheet->bussList);
    const int32_t terminal = AddPinToBuss(buss, symbol, 1, 0);
    LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 150}, {130, 180}, {130, 250}}, uint16_t(terminal),
                                    kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    symbol->flags |= kSymbolFlagSelected;
    gOrthogonal = true;
    WireStretchHooks hooks;
    hooks.orthogonalRubberband = [] { return gOrthogonal; };
    SetWireStretchHooks(hooks);
    Rect area{0, 0, 0, 0};
    MoveBussWires(sheet, Point{20, 0}, 0, &area);
    EXPECT_EQ(Wires(), "B0: (100,120) (150,120) (180,150) (180,130) (250,130)\n");
}

}  // namespace
}  // namespace plexa::test
