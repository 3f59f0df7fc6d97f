// Scaling of elements and text styles: pen widths that never turn a thin line thick, pin sizes
// held between 1 and 9, arrows that fall back to the default head, and the text size table of
// the ratio 96 / 72.
#include <gtest/gtest.h>

#include "graphics/textstyle.h"
#include "model/listscale.h"
#include "model/elements.h"
#include "model/tests/model_testing.h"

namespace plexa::test {
namespace {

using ScalingMore = ImageListTest;

TEST_F(ScalingMore, PenWidthsPinSizesAndPoints) {
    struct Case {
        const char* what;
        uint8_t kind;
        int16_t pen;
        uint8_t pinSize;
        int16_t num, den;
        int16_t penAfter;
        uint8_t pinSizeAfter;
    };
    const Case cases[] = {
        {"a 1-point line at 50 percent stays 1 wide", kElementLine, 1, 0, 1, 2, 1, 0},
        {"a 3-point line at 200 percent becomes 4, not 6", kElementLine, 3, 0, 2, 1, 4, 0},
        {"a 6-point line at 200 percent becomes 12", kElementLine, 6, 0, 2, 1, 12, 0},
        {"a pin of size 5 at 50 percent gets size 2", kElementNode, 1, 5, 1, 2, 1, 2},
        {"a pin of size 5 at 400 percent is held at 9", kElementNode, 1, 5, 4, 1, 1, 9},
        {"a pin of size 0 stays 0", kElementNode, 1, 0, 4, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ElementRecord* e =
            c.kind == kElementNode
                ? BuildNodeElement({10, 20}, {10, 30}, c.pen, c.pinSize, false, 0, false, 0, false, 0)
                : BuildCommonElement(c.kind, {10, 20}, {30, 41}, c.pen, 0, 0, false, false, 0, false, 0,
                                     false);
        ASSERT_NE(e, nullptr);
        ScaleElement(e, c.num, c.den);
        if (c.kind == kElementNode) {
            EXPECT_EQ(ElementAs<NodeElement>(e)->bubbleRadius, c.pinSizeAfter);
        } else {
            EXPECT_EQ(e->penWidth, c.penAfter);
        }
        // The defining points, rounded half away from zero.
        const Point first = e->points.point1;
        EXPECT_EQ(first.v, int16_t((10 * c.num + c.den / 2) / c.den));
        DestroyElement(e, nullptr);
    }
    // An arrow whose head shrinks to nothing takes the default head of its new pen width.
    ElementRecord* arrow = BuildCommonElement(kElementArrow, {0, 0}, {0, 40}, 2, 1, 30, false, false, 0,
                                              false, 0, false);
    ASSERT_NE(arrow, nullptr);
    ScaleElement(arrow, 1, 4);
    int16_t length = 0, angle = 0;
    GetDefaultArrow(arrow->penWidth, &length, &angle);
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headLength, length);
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headAngle, angle);
    EXPECT_EQ(arrow->points.point2.h, 10);
    DestroyElement(arrow, nullptr);
}

TEST_F(ScalingMore, TextSizesAt96To72FollowTheirTable) {
    const struct {
        uint16_t size;
        int16_t num, den;
        uint16_t after;
    } cases[] = {
        {7, 96, 72, 9},  {9, 96, 72, 12},  {10, 96, 72, 12}, {12, 96, 72, 14}, {14, 96, 72, 18},
        {18, 96, 72, 24}, {20, 96, 72, 27}, {10, 3, 2, 15},  {12, 1, 2, 6},    {1, 1, 4, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " at " + std::to_string(c.num) + "/" + std::to_string(c.den));
        txStyle style{};
        style.size = c.size;
        ScaleTextStyle(&style, c.num, c.den);
        EXPECT_EQ(style.size, c.after);
    }
}

}  // namespace
}  // namespace plexa::test
