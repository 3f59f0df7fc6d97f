// Selection on a sheet: the handles of each element kind, hit testing handles and texts, and
// which selections show handles.
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/editstate.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/regions.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheetselect_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

using SheetSelect = SelectionTest;

std::string Handles(const SheetRecord* sheet) {
    std::string text;
    const ItemModifier* m = SheetModifiers(sheet);
    for (int32_t i = 0; i < CountSheetModifiers(sheet); ++i) {
        if (!text.empty()) text += ' ';
        text += std::to_string(m[i].id) + At({m[i].v, m[i].h});
    }
    return text;
}

ElementRecord* Poly(const std::vector<Point>& corners) {
    Handle points = AllocHandleWithData(nullptr, corners.data(), uint32_t(corners.size() * sizeof(Point)));
    ElementRecord* e = BuildPolyElement(int16_t(corners.size()), points, 1, false, false, 0, false, 0, false);
    MemFree(points);
    return e;
}

TEST_F(SheetSelect, HandlesOfEachElementKind) {
    struct Case {
        const char* what;
        ElementRecord* element;
        bool reshape;
        const char* handles;
    };
    auto common = [](uint8_t kind, Point a, Point b, int16_t x1 = 0, int16_t x2 = 0) {
        return BuildCommonElement(kind, a, b, 1, x1, x2, false, false, 0, false, 0, false);
    };
    const Case cases[] = {
        {"line", common(kElementLine, {10, 20}, {30, 60}), false, "8(20,10) 9(60,30)"},
        {"line in reshape", common(kElementLine, {10, 20}, {30, 60}), true, "8(20,10) 9(60,30)"},
        {"arrow", common(kElementArrow, {10, 20}, {10, 80}, 10, 30), false, "8(20,10) 9(80,10)"},
        {"arrow barb", common(kElementArrow, {10, 20}, {10, 80}, 10, 30), true, "10(71,5)"},
        {"wide low rectangle", common(kElementRect, {0, 0}, {20, 40}), false,
         "0(0,0) 1(40,0) 2(0,20) 3(40,20) 4(20,0) 5(20,20)"},
        {"narrow tall oval", common(kElementOval, {0, 0}, {40, 20}), false,
         "0(0,0) 1(20,0) 2(0,40) 3(20,40) 6(0,20) 7(20,20)"},
        {"small rectangle", common(kElementRect, {0, 0}, {27, 27}), false, "0(0,0) 1(27,0) 2(0,27) 3(27,27)"},
        {"rounded rectangle", common(kElementRoundRect, {0, 0}, {30, 30}, 10, 7), false,
         "0(0,0) 1(30,0) 2(0,30) 3(30,30) 4(15,0) 5(15,30) 6(0,15) 7(30,15)"},
        {"rounded corner", common(kElementRoundRect, {0, 0}, {30, 30}, 10, 7), true, "11(5,3)"},
        {"arc ends", common(kElementArc, {0, 0}, {40, 40}, 0, 90), true, "12(20,0) 13(40,20)"},
        {"open polygon", Poly({{0, 0}, {0, 30}, {30, 30}}), true, "18(0,0) 19(30,0) 20(30,30)"},
        {"closed polygon", Poly({{0, 0}, {0, 30}, {30, 30}, {0, 0}}), true, "18(0,0) 19(30,0) 20(30,30)"},
        {"polygon frame", Poly({{0, 0}, {0, 30}, {30, 30}}), false,
         "0(0,0) 1(30,0) 2(0,30) 3(30,30) 4(15,0) 5(15,30) 6(0,15) 7(30,15)"},
        {"pin", BuildNodeElement({0, 0}, {0, 20}, 1, 0, false, 0, false, 0, false, 0), false, ""},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.element, nullptr) << c.what;
        if (c.reshape) c.element->flags |= 0x0002;
        CalcElementBounds(c.element);
        CalcSheetElementModifiers(sheet, c.element);
        EXPECT_EQ(Handles(sheet), c.handles) << c.what;
        DestroyElement(c.element, nullptr);
    }
    ClearSheetModifiers(sheet);
    EXPECT_EQ(CountSheetModifiers(sheet), 0);
}

TEST_F(SheetSelect, OnlyASingleResizableItemShowsHandles) {
    ElementRecord* rect = AddRect({100, 100, 140, 160}, kElementSelected);
    Rect area;
    CalcSheetSelection(sheet, &area);
    EXPECT_EQ(sheet->selectedElement, rect);
    EXPECT_EQ(Handles(sheet), "0(100,100) 1(160,100) 2(100,140) 3(160,140) 4(130,100) 5(130,140) 6(100,120) 7(160,120)");
    Rect grown = rect->bounds;
    VXInsetRect(&grown, -4, -4);
    EXPECT_TRUE(VXEqualRect(&area, &grown));

    // Two items of different kinds: no handles, and no element named.
    TextRecord* text = CreateDrawingText(sheet, kTextKindFree, kTextFlagSelected, {300, 300}, "R1");
    ASSERT_NE(text, nullptr);
    CalcSheetSelection(sheet, &area);
    EXPECT_EQ(CountSheetModifiers(sheet), 0);
    EXPECT_EQ(sheet->selectedElement, nullptr);
    EXPECT_TRUE(VXEmptyRect(&area));

    // A single text frame: its size corner, and it is the frame to resize until the handles go.
    text->flags = 0;
    rect->flags = 0;
    TextFrameHandle frame = CreateTextFrame("a frame", -1, kEncodingUTF8);
    ASSERT_NE(frame, nullptr);
    LLPush(sheet->textFrameList, frame);
    (*frame)->position = {200, 50};
    CalcTextFrameBounds(sheet->window, frame, true, 200);
    (*frame)->flags |= kFrameFlagSelected;
    CalcSheetSelection(sheet, nullptr);
    Point corner;
    GetTextFrameSizePoint(frame, &corner);
    EXPECT_EQ(Handles(sheet), "14" + At(corner));
    EXPECT_EQ(SheetEditStateOf(sheet)->resizeFrame, frame);
    ClearDrawingSelection(sheet);
    EXPECT_EQ(CountSheetModifiers(sheet), 0);
    EXPECT_EQ(SheetEditStateOf(sheet)->resizeFrame, nullptr);
    EXPECT_FALSE((*frame)->flags & kFrameFlagSelected);
}

TEST_F(SheetSelect, HandlesAreDrawnOverTheSelectedItem) {
    AddRect({200, 100, 260, 240}, kElementSelected);
    CalcSheetSelection(sheet, nullptr);
    BuildDrawingSelectRgn(sheet);
    RedrawSheetWindow(sheet);
    VXWaitUpdateWindows();
    EXPECT_FALSE(WriteScreenshot(sheet->window, "sheetselect_handles.png").empty());
}

TEST_F(SheetSelect, HitTestingHandles) {
    AddRect({100, 100, 140, 160}, kElementSelected);
    CalcSheetSelection(sheet, nullptr);
    const int32_t s = SheetModifierBoxSize(sheet);
    ASSERT_GE(s, 3);
    struct Case {
        Point at;
        int32_t id;
    };
    const int16_t reach = int16_t(s / 2 + 1);  // the box grown by one
    const Case cases[] = {
        {{100, 100}, 0}, {{140, 160}, 3}, {{int16_t(100 - reach), int16_t(100 - reach)}, 0},
        {{int16_t(100 - reach - 1), 100}, -1}, {{120, 160}, 7}, {{120, 130}, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(HitTestItemModifiers(sheet, c.at), c.id) << At(c.at);
    ClearSheetModifiers(sheet);
    EXPECT_EQ(HitTestItemModifiers(sheet, {100, 100}), -1);
}

TEST_F(SheetSelect, ATextWhoseShrunkBoundsHoldThePointWinsOverAGrownNeighbour) {
    TextRecord* right = CreateDrawingText(sheet, kTextKindFree, 0, {100, 100}, "B");
    TextRecord* left = CreateDrawingText(sheet, kTextKindFree, 0, {100, 50}, "A");
    ASSERT_TRUE(right && left);
    // The list has the left text first; the point lies just outside it and well inside the right.
    left->bounds = {90, 50, 100, 70};
    right->bounds = {90, 71, 100, 90};
    EXPECT_EQ(HitTestText(sheet->textList, {95, 72}), right);
    EXPECT_EQ(HitTestText(sheet->textList, {95, 70}), left);  // only the grown pass reaches it
    left->flags |= kTextFlagHidden;
    EXPECT_EQ(HitTestText(sheet->textList, {95, 60}), nullptr);
}

TEST_F(SheetSelect, AFrameOfSeveralLinesIsHitOnlyNearItsText) {
    TextFrameHandle frame = CreateTextFrame("WW\rWWWWWWWWWWWWWWWWWWWW", -1, kEncodingUTF8);
    ASSERT_NE(frame, nullptr);
    LLPush(sheet->textFrameList, frame);
    InstallStyleInFrame(frame, sheet->currentTextStyle, 0xFFFFFFFF, sheet->styleList);
    (*frame)->position = {200, 100};
    CalcTextFrameBounds(sheet->window, frame, true, 400);
    ASSERT_GE((*frame)->lineCount, 2);
    const Rect& b = (*frame)->bounds;
    const int16_t firstLine = int16_t(b.top + (b.bottom - b.top) / 4);
    EXPECT_EQ(HitTestTextFrame(sheet, {firstLine, int16_t(b.left + 6)}), frame);
    const bool pixels = SchStartPixelHitTest(sheet, {firstLine, int16_t(b.left + 6)});
    SchStopPixelHitTest();
    if (pixels) {
        EXPECT_EQ(HitTestTextFrame(sheet, {firstLine, int16_t(b.right - 8)}), nullptr);  // blank after "WW"
    }
    EXPECT_EQ(HitTestTextFrame(sheet, {int16_t(b.bottom + 5), int16_t(b.left + 6)}), nullptr);
}

TEST_F(SheetSelect, SymbolsAreHitOnTheirBoundsGrownByTwo) {
    const int32_t id = Definition();
    SymbolRecord* a = Place(id, 100, 100);
    Rect bounds;
    GetSymbolInstanceBounds(sheet, a, 0, &bounds);
    ASSERT_FALSE(VXEmptyRect(&bounds));
    EXPECT_EQ(HitTestSymbol(sheet, {int16_t(bounds.top + 5), int16_t(bounds.left + 5)}, 2), a);
    EXPECT_EQ(HitTestSymbol(sheet, {int16_t(bounds.top - 2), bounds.left}, 2), a);
    EXPECT_EQ(HitTestSymbol(sheet, {int16_t(bounds.top - 3), bounds.left}, 2), nullptr);
}

// A large symbol drawn as a circle leaves the corners of its box empty: a click there picks
// nothing, one on the circle or inside it picks the symbol. A square symbol is hit anywhere in its
// box.
TEST_F(SheetSelect, AClickInAnEmptyCornerOfALargeSymbolsBoxMissesIt) {
    auto body = [&](uint8_t kind) {
        LinkListHeader* elements = CreateElementList(sheet->imageList);
        LLAppend(elements, BuildCommonElement(kind, {0, 0}, {80, 80}, 1, 0, 0, false, false, 0, false, 0, false));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet->stringBlock, false, nullptr);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        const int32_t id = data ? AddSymbolToMap(sheet->symbolMap, *data, int32_t(SizeOfHandle(data)), nullptr) : -1;
        if (data) MemFree(data);
        return id;
    };
    SymbolRecord* round = Place(body(kElementOval), 100, 100);
    SymbolRecord* square = Place(body(kElementRect), 300, 100);
    const struct {
        const char* where;
        int16_t h, v;
        SymbolRecord* hit;
    } clicks[] = {
        {"round: top left corner", 104, 104, nullptr},
        {"round: bottom right corner", 175, 175, nullptr},
        {"round: on the circle", 101, 140, round},
        {"round: beside the circle", 102, 140, round},
        {"round: inside", 140, 140, round},
        {"square: top left corner", 304, 104, square},
        {"square: inside", 340, 140, square},
    };
    for (const auto& c : clicks) EXPECT_EQ(HitTestSymbol(sheet, {c.v, c.h}, 2), c.hit) << c.where;
}

}  // namespace
}  // namespace plexa::test
