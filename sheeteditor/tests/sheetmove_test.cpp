// Moving and transforming the selection: net symbols hanging on a selected symbol by a short
// straight wire go along, a turn that cannot fit the page changes nothing, and the centre of a
// turn is moved so that the result stays on the page.
#include "sheeteditor/sheetmove.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "graphics/regions.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/texts.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/tests/sheetselect_testing.h"

namespace plexa::test {
namespace {

using SheetMove = SelectionTest;

std::string Placement(const SymbolRecord* s) {
    return At(s->position) + " t" + std::to_string(s->flags & kSymbolFlagTransform);
}

TEST_F(SheetMove, ATurnCarriesANetSymbolOnAShortStraightWireOnly) {
    struct Case {
        const char* what;
        std::vector<Point> wire;  // from the resistor's pin to the ground's
        bool carried;
    };
    const Case cases[] = {
        {"60 units straight down", {{100, 100}, {160, 100}}, true},
        {"72 units straight across", {{100, 100}, {100, 172}}, true},
        {"80 units straight down", {{100, 100}, {180, 100}}, false},
        {"an L of 30 and 30", {{100, 100}, {130, 100}, {130, 130}}, false},
    };
    const int32_t id = Definition();
    for (const Case& c : cases) {
        SymbolRecord* resistor = Place(id, 100, 100, kSymbolFlagSelected);
        const Point end = c.wire.back();
        SymbolRecord* ground = Place(id, end.h, end.v, kSymbolFlagPort);
        driver->Draw(c.wire);
        EXPECT_EQ(IsShortStraightNetSymbol(sheet, ground, 0) == resistor, c.carried) << c.what;
        const std::string before = Placement(ground);
        TransformDrawingSelection(sheet, {100, 100}, kTransformRotateRight);
        EXPECT_EQ(Placement(resistor), "(100,100) t1") << c.what;
        if (c.carried) {
            Point turned = end;
            TransformPoint(&turned, {100, 100}, kTransformRotateRight);
            EXPECT_EQ(Placement(ground), At(turned) + " t1") << c.what;
        } else {
            EXPECT_EQ(Placement(ground), before) << c.what;
        }
        // The carried symbol is not left selected.
        EXPECT_FALSE(ground->flags & kSymbolFlagSelected) << c.what;
        RemoveSymbolFromSheet(sheet, resistor, true);
        RemoveSymbolFromSheet(sheet, ground, true);
        while (void* signal = LLFirst(sheet->signalList)) {
            RemoveSignalFromList(sheet->signalList, static_cast<SignalHandle>(signal));
            DestroySignal(static_cast<SignalHandle>(signal));
        }
    }
}

TEST_F(SheetMove, AMoveCarriesTheNetSymbolAndItsTexts) {
    const int32_t id = Definition();
    SymbolRecord* resistor = Place(id, 100, 100, kSymbolFlagSelected);
    SymbolRecord* ground = Place(id, 100, 160, kSymbolFlagPort);
    SymbolRecord* other = Place(id, 300, 300);
    driver->Draw({{100, 100}, {160, 100}});
    TextRecord* label = CreateDrawingText(sheet, kTextKindSymbolAttribute, 0, {90, 120}, "10k");
    label->owner = TextOwnerSerial(resistor->serial);
    MoveDrawingSelection(sheet, 0, 0);  // nothing at all
    EXPECT_EQ(Placement(resistor), "(100,100) t0");
    MoveDrawingSelection(sheet, 20, -10);
    EXPECT_EQ(Placement(resistor), "(120,90) t0");
    EXPECT_EQ(Placement(ground), "(120,150) t0");
    EXPECT_EQ(Placement(other), "(300,300) t0");
    EXPECT_EQ(At(label->position), "(140,80)");
}

TEST_F(SheetMove, HandlesAndTheSelectionRegionGoWithAMovedOrTurnedElement) {
    ElementRecord* box = AddRect({100, 100, 140, 200}, kElementSelected);
    CalcSheetSelection(sheet, nullptr);
    BuildDrawingSelectRgn(sheet);
    MoveDrawingSelection(sheet, 10, 20);
    EXPECT_EQ(At({box->rect.top, box->rect.left}), "(110,120)");
    EXPECT_EQ(At({box->rect.bottom, box->rect.right}), "(210,160)");
    const ItemModifier* m = SheetModifiers(sheet);
    ASSERT_EQ(CountSheetModifiers(sheet), 8);
    EXPECT_EQ(At({m[0].v, m[0].h}), "(110,120)");
    EXPECT_TRUE(VXPointInRgn(115, 125, sheet->selectionRegion));
    EXPECT_FALSE(VXPointInRgn(105, 105, sheet->selectionRegion));

    // A quarter turn about the box's top-left corner: 100 wide and 40 high becomes 40 wide and
    // 100 high, and the handles are set up again on the turned box.
    TransformDrawingSelection(sheet, {120, 110}, kTransformRotateRight);
    EXPECT_EQ(box->rect.right - box->rect.left, 40);
    EXPECT_EQ(box->rect.bottom - box->rect.top, 100);
    m = SheetModifiers(sheet);
    ASSERT_EQ(CountSheetModifiers(sheet), 8);
    EXPECT_EQ(At({m[0].v, m[0].h}), At({box->rect.top, box->rect.left}));
    Rect inside = box->rect;
    EXPECT_TRUE(VXPointInRgn(inside.left + 5, inside.top + 5, sheet->selectionRegion));
}

TEST_F(SheetMove, AnOversizeTurnBeepsAndChangesNothing) {
    const Rect page = sheet->sheetBounds;
    ASSERT_GT(page.right, page.bottom);  // a landscape page
    // As wide as the page and taller than nothing: turned it stands higher than the page.
    AddRect({10, 0, 40, int16_t(page.right - 1)}, kElementSelected);
    const std::string before = DumpSheet(sheet);
    const int beeps = TestBeepCount();
    TransformDrawingSelection(sheet, {kTransformFindCentre, kTransformFindCentre}, kTransformRotateLeft);
    EXPECT_EQ(TestBeepCount(), beeps + 1);
    EXPECT_EQ(DumpSheet(sheet), before);
    // Mirroring needs no room: it happens.
    TransformDrawingSelection(sheet, {kTransformFindCentre, kTransformFindCentre}, kTransformMirrorHorizontal);
    EXPECT_EQ(TestBeepCount(), beeps + 1);
}

TEST_F(SheetMove, TheCentreOfATurnIsMovedToKeepTheResultOnThePage) {
    const Rect page{0, 0, 600, 800};
    struct Case {
        Rect bounds;
        int32_t code;
        const char* centre;
    };
    const Case cases[] = {
        {{100, 100, 200, 300}, kTransformRotateRight, "(200,150)"},      // fits as it is
        {{0, 0, 20, 200}, kTransformRotateRight, "(50,60)"},             // would stick out above
        {{0, 0, 20, 200}, kTransformMirrorHorizontal, "(100,10)"},       // a mirror stays put
        {{580, 600, 600, 800}, kTransformRotateLeft, "(650,540)"},       // would stick out below
    };
    for (const Case& c : cases) {
        Point centre{};
        ASSERT_TRUE(CalcTransformationOrigin(&c.bounds, c.code, &page, 10, &centre));
        EXPECT_EQ(At(centre), c.centre);
        Rect turned = c.bounds;
        Point corners[2] = {{turned.top, turned.left}, {turned.bottom, turned.right}};
        TransformPointArray(corners, 2, centre, c.code);
        for (Point p : corners) {
            EXPECT_GE(p.v, page.top) << c.centre;
            EXPECT_LE(p.v, page.bottom) << c.centre;
            EXPECT_GE(p.h, page.left) << c.centre;
            EXPECT_LE(p.h, page.right) << c.centre;
        }
    }
}

}  // namespace
}  // namespace plexa::test
