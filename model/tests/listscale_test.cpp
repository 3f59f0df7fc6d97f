// Scaling of element, text and frame lists: the pen-width, pin-size and text-size tables, the
// shapes' own lengths, and which texts and frames keep their styles.
#include "model/listscale.h"

#include <gtest/gtest.h>

#include "foundation/ll.h"
#include "model/elements.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

class Scaling : public ModelTest {};

ElementRecord* Line(int8_t width, Point a = {10, 20}, Point b = {30, 60}) {
    return BuildCommonElement(kElementLine, a, b, width, 0, 0, false, false, 0, false, 0, false);
}

TEST_F(Scaling, PenWidthsAndPinSizes) {
    const struct {
        int8_t width;
        int16_t num, den;
        int8_t scaled;
    } widths[] = {
        {1, 1, 2, 1},    // never below 1
        {3, 2, 1, 4},    // thin lines never become thick
        {6, 2, 1, 12},   // thick ones scale
        {4, 1, 1, 4},
        {2, 3, 1, 4},    // 6 would be thick
        {10, 1, 2, 5},
        {1, 50, 100, 1},
    };
    for (const auto& c : widths) {
        ElementRecord* line = Line(c.width);
        ScaleElement(line, c.num, c.den);
        EXPECT_EQ(line->penWidth, c.scaled) << int(c.width) << " x " << c.num << "/" << c.den;
        DestroyElement(line, nullptr);
    }
    const struct {
        uint8_t size;
        int16_t num, den;
        uint8_t scaled;
    } pins[] = {
        {5, 1, 2, 2}, {5, 4, 1, 9}, {0, 4, 1, 0}, {1, 1, 4, 1}, {3, 1, 1, 3}, {9, 1, 1, 9},
    };
    for (const auto& c : pins) {
        ElementRecord* pin =
            BuildNodeElement(Point{0, 0}, Point{0, 20}, 3, c.size, false, 1, false, 0, false, 0);
        ScaleElement(pin, c.num, c.den);
        EXPECT_EQ(ElementAs<NodeElement>(pin)->bubbleRadius, c.scaled) << int(c.size);
        EXPECT_EQ(pin->penWidth, 3);  // a pin keeps its pen
        EXPECT_EQ(pin->points.point2.h, 20 * c.num / c.den + ((20 * c.num) % c.den * 2 >= c.den));
        DestroyElement(pin, nullptr);
    }
}

TEST_F(Scaling, ShapesScaleTheirOwnLengthsAndBounds) {
    LinkListHeader* list = CreateElementList(nullptr);
    ElementRecord* round = BuildCommonElement(kElementRoundRect, Point{10, 10}, Point{50, 90}, 1,
                                              12, 7, false, false, 0, false, 0, false);
    ElementRecord* arrow = BuildCommonElement(kElementArrow, Point{0, 0}, Point{0, 100}, 1, 10,
                                              20, false, false, 0, false, 0, false);
    ElementRecord* shortArrow = BuildCommonElement(kElementArrow, Point{0, 0}, Point{0, 100}, 1, 1,
                                                   20, false, false, 0, false, 0, false);
    Point pts[3] = {{0, 0}, {10, 30}, {21, 3}};
    Handle h = AllocHandleWithData(gGenPool, pts, sizeof pts);
    ElementRecord* poly = BuildPolyElement(3, h, 1, false, false, 0, false, 0, false);
    MemFree(h);
    for (ElementRecord* e : {round, arrow, shortArrow, poly}) LLAppend(list, e);
    ScaleElementList(list, 1, 2);
    EXPECT_EQ(round->rect.top, 5);
    EXPECT_EQ(round->rect.right, 45);
    EXPECT_EQ(ElementAs<RoundRectElement>(round)->ovalWidth, 6);
    EXPECT_EQ(ElementAs<RoundRectElement>(round)->ovalHeight, 4);  // 3.5 away from zero
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headLength, 5);
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headAngle, 20);
    // 1 / 2 rounds to 1 (halves away from zero); 0 would take the default arrow.
    EXPECT_EQ(ElementAs<ArrowElement>(shortArrow)->headLength, 1);
    ScaleElement(shortArrow, 1, 4);
    int16_t length = 0, angle = 0;
    GetDefaultArrow(shortArrow->penWidth, &length, &angle);
    EXPECT_EQ(ElementAs<ArrowElement>(shortArrow)->headLength, length);
    EXPECT_EQ(ElementAs<ArrowElement>(shortArrow)->headAngle, angle);
    const Point* p = PolyPoints(poly);
    EXPECT_EQ(p[1].v, 5);
    EXPECT_EQ(p[1].h, 15);
    EXPECT_EQ(p[2].v, 11);
    EXPECT_EQ(p[2].h, 2);
    EXPECT_EQ(poly->rect.bottom, 11);
    EXPECT_EQ(poly->rect.right, 15);
    DestroyElementList(list);
}

TEST_F(Scaling, TextSizes) {
    const struct {
        uint16_t size;
        int16_t num, den;
        uint16_t scaled;
    } sizes[] = {
        {7, 96, 72, 9},   {8, 96, 72, 9},   {9, 96, 72, 12},  {10, 96, 72, 12},
        {11, 96, 72, 12}, {12, 96, 72, 14}, {13, 96, 72, 14}, {14, 96, 72, 18},
        {17, 96, 72, 18}, {18, 96, 72, 24}, {20, 96, 72, 27}, {6, 96, 72, 8},
        {10, 192, 144, 13},  // the table belongs to 96 / 72 only
        {12, 1, 2, 6},    {9, 1, 2, 5},     {1, 1, 4, 1},
    };
    for (const auto& c : sizes) {
        txStyle* style = CreateTextStyle(gGenPool, nullptr);
        SetStyleSize(style, c.size);
        ScaleTextStyle(style, c.num, c.den);
        EXPECT_EQ(style->size, c.scaled) << c.size << " x " << c.num << "/" << c.den;
        DestroyTextStyle(style);
    }
}

TEST_F(Scaling, ThemedTextsKeepTheirStylesUnlessAllAreAsked) {
    TextRecord* plain = AddText("plain", 0, 0, Point{100, 200}, 12);
    TextRecord* themed = AddText("themed", 0, kTextFlagThemed, Point{40, 60}, 12);
    txStyle* before = themed->style;
    ScaleTextList(sheet.textList, sheet.styleList, sheet.stringBlock, nullptr, 1, 2, false);
    EXPECT_EQ(plain->position.v, 50);
    EXPECT_EQ(plain->position.h, 100);
    EXPECT_EQ(plain->style->size, 6);
    EXPECT_EQ(themed->position.v, 20);
    EXPECT_EQ(themed->style, before);
    EXPECT_EQ(themed->bounds.top < themed->bounds.bottom, true);
    ScaleTextList(sheet.textList, sheet.styleList, sheet.stringBlock, nullptr, 2, 1, true);
    EXPECT_EQ(themed->style->size, 24);
    EXPECT_EQ(plain->style->size, 12);
    // The scaled styles came from the document's list.
    EXPECT_EQ(FindMatchingStyleInList(sheet.styleList, plain->style), plain->style);

    TextFrameHandle frame = CreateTextFrame("frame", -1, kEncodingUTF8);
    (*frame)->style = Style(20);
    (*frame)->position = Point{80, 40};
    TextFrameHandle themedFrame = CreateTextFrame("frame", -1, kEncodingUTF8);
    (*themedFrame)->style = Style(20);
    (*themedFrame)->flags = kFrameFlagThemed;
    for (TextFrameHandle f : {frame, themedFrame}) {
        CalcTextFrameBounds(nullptr, f, true, 500);
        LLAppend(sheet.textFrameList, f);
    }
    ScaleTextFrameList(sheet.textFrameList, sheet.styleList, nullptr, 1, 4, false);
    EXPECT_EQ((*frame)->position.v, 20);
    EXPECT_EQ((*frame)->position.h, 10);
    EXPECT_EQ((*frame)->style->size, 5);
    EXPECT_EQ((*themedFrame)->style->size, 20);
    EXPECT_LT((*frame)->bounds.bottom - (*frame)->bounds.top,
              (*themedFrame)->bounds.bottom - (*themedFrame)->bounds.top);
}

}  // namespace
}  // namespace plexa::test
