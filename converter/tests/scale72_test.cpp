// Scaling converted sheets from 72 to 96 units per inch: points round on their own, wire ends
// stay on the pins they end on where 4/3 rounds the pin and the end differently, and break-outs
// go back onto their bus lines with their slanted stroke.
#include <gtest/gtest.h>

#include <cstdlib>

#include "converter/scale72.h"

namespace plexa {
namespace {

constexpr int16_t kTo = kConvertedResolution, kFrom = kV36Resolution;

TEST(Scale72, Points) {
    const struct {
        Point in, out;
    } cases[] = {
        {{0, 0}, {0, 0}},
        {{1, 2}, {1, 3}},        // 1.33 and 2.67
        {{-1, -2}, {-1, -3}},    // symmetric about zero
        {{3, 9}, {4, 12}},
        {{15, 72}, {20, 96}},
        {{3312, 2448}, {4416, 3264}},   // a 46 x 34 inch sheet
        {{30000, -30000}, {32767, -32768}},  // beyond 16 bits: held at the ends, never wrapped
    };
    for (const auto& c : cases) {
        Point p = c.in;
        Scale1Point(&p, kTo, kFrom);
        EXPECT_EQ(p.v, c.out.v) << c.in.v;
        EXPECT_EQ(p.h, c.out.h) << c.in.h;
    }
    Point run[3] = {{1, 2}, {3, 9}, {15, 72}};
    ScalePoints(run, 3, kTo, kFrom);
    EXPECT_EQ(run[0].h, 3);
    EXPECT_EQ(run[2].h, 96);
}

// Where a node lies when the symbol is placed with a transformation: turn 1 {h, -v}, 2 {-v, -h},
// 3 {-h, v}, then the mirror negates h; plus the position.
Point Placed(Point position, int code, Point node) {
    Point p = node;
    switch (code & 3) {
        case 1: p = {node.h, int16_t(-node.v)}; break;
        case 2: p = {int16_t(-node.v), int16_t(-node.h)}; break;
        case 3: p = {int16_t(-node.h), node.v}; break;
        default: break;
    }
    if (code & 4) p.h = int16_t(-p.h);
    return {int16_t(position.v + p.v), int16_t(position.h + p.h)};
}

int16_t Scaled(int16_t value) {
    Point p{value, 0};
    Scale1Point(&p, kTo, kFrom);
    return p.v;
}

// A wire from a pin of one symbol, over an inner corner, to a pin of another: after scaling both
// ends lie where the scaled symbols have their pins, and the inner corner is scaled as it is.
TEST(Scale72, WireEndsStayOnTheirPins) {
    const struct {
        Point position;
        int code;
        Point node;
    } pins[] = {
        {{1, 1}, 0, {1, 1}},        // (2, 2) scales to (3, 3); the pin goes to (2, 2)
        {{100, 200}, 0, {0, 0}},    // a pin at the origin: both agree
        {{10, 20}, 1, {5, -7}},
        {{301, 401}, 2, {11, 13}},
        {{52, 77}, 3, {2, 29}},
        {{52, 77}, 4, {2, 29}},
        {{7, 5}, 5, {-4, 10}},
        {{250, 125}, 6, {31, 1}},
        {{-40, 61}, 7, {5, 5}},
    };
    int differ = 0;
    for (const auto& a : pins) {
        for (const auto& b : pins) {
            const Point from = Placed(a.position, a.code, a.node);
            const Point to = Placed(b.position, b.code, b.node);
            Point corners[3] = {from, {from.v, to.h}, to};
            const Point pinA = ScaledNodeInstancePoint(a.position, a.code, a.node, kTo, kFrom);
            const Point pinB = ScaledNodeInstancePoint(b.position, b.code, b.node, kTo, kFrom);
            // The pin of the scaled symbol: its scaled node point placed at its scaled position.
            const Point wantA = Placed({Scaled(a.position.v), Scaled(a.position.h)}, a.code,
                                       {Scaled(a.node.v), Scaled(a.node.h)});
            ASSERT_EQ(pinA.v, wantA.v);
            ASSERT_EQ(pinA.h, wantA.h);
            if (Scaled(from.v) != pinA.v || Scaled(from.h) != pinA.h) ++differ;
            ScaleWireCorners(corners, 3, &pinA, &pinB, kTo, kFrom);
            EXPECT_EQ(corners[0].v, pinA.v);
            EXPECT_EQ(corners[0].h, pinA.h);
            EXPECT_EQ(corners[2].v, pinB.v);
            EXPECT_EQ(corners[2].h, pinB.h);
            EXPECT_EQ(corners[1].v, Scaled(from.v));
            EXPECT_EQ(corners[1].h, Scaled(to.h));
        }
    }
    EXPECT_GT(differ, 0);  // the table holds pins that plain scaling would miss

    // An end that is not on a pin is scaled as it is.
    Point free[2] = {{1, 1}, {2, 2}};
    const Point pin{5, 5};
    ScaleWireCorners(free, 2, nullptr, &pin, kTo, kFrom);
    EXPECT_EQ(free[0].v, 1);
    EXPECT_EQ(free[1].v, 5);
}

// Break-outs after scaling: the bus point on the bus line, the wire end 9 units off it on the
// wire's side, the stroke slanted as before; left as scaled where that cannot be.
TEST(Scale72, BreakoutsStayOnTheirBusLines) {
    const struct {
        const char* what;
        BreakoutPoints breakout;  // at 72
        Point busStart, busEnd, wireCorner;  // at 96
        bool realigned;
        BreakoutPoints want;  // at 96
    } cases[] = {
        // Bus v = 75 (100 at 96) from h 0 to 225; the wire comes down at h 120 (160).
        {"from above, slanted right", {{75, 111}, {66, 120}}, {100, 0}, {100, 300}, {40, 160},
         true, {{100, 151}, {91, 160}}},
        {"from below, slanted left", {{75, 129}, {84, 120}}, {100, 0}, {100, 300}, {200, 160},
         true, {{100, 169}, {109, 160}}},
        // Bus h = 60 (80) from v 0 to 150; the wire comes in from the right at v 45 (60).
        {"from the right of a vertical bus", {{36, 60}, {45, 69}}, {0, 80}, {200, 80}, {60, 200},
         true, {{51, 80}, {60, 89}}},
        {"from the left of a vertical bus", {{54, 60}, {45, 51}}, {0, 80}, {200, 80}, {60, 0},
         true, {{69, 80}, {60, 71}}},
        {"wire parallel to the bus", {{75, 111}, {66, 120}}, {100, 0}, {100, 300}, {88, 0}, false,
         {{100, 148}, {88, 160}}},
        {"bus point off the segment", {{75, 111}, {66, 120}}, {100, 155}, {100, 300}, {40, 160},
         false, {{100, 148}, {88, 160}}},
        {"stroke not slanted", {{75, 120}, {66, 120}}, {100, 0}, {100, 300}, {40, 160}, false,
         {{100, 160}, {88, 160}}},
        {"slanted bus", {{75, 111}, {66, 120}}, {100, 0}, {200, 100}, {40, 160}, false,
         {{100, 148}, {88, 160}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BreakoutPoints b = c.breakout;
        EXPECT_EQ(ScaleBreakout(&b, c.busStart, c.busEnd, c.wireCorner, kTo, kFrom), c.realigned);
        EXPECT_EQ(b.onBus.v, c.want.onBus.v);
        EXPECT_EQ(b.onBus.h, c.want.onBus.h);
        EXPECT_EQ(b.wireEnd.v, c.want.wireEnd.v);
        EXPECT_EQ(b.wireEnd.h, c.want.wireEnd.h);
        if (c.realigned) {
            // On the bus line, the wire end straight along the wire, the stroke 9 by 9.
            EXPECT_TRUE(b.onBus.v == c.busStart.v || b.onBus.h == c.busStart.h);
            EXPECT_TRUE(b.wireEnd.v == c.wireCorner.v || b.wireEnd.h == c.wireCorner.h);
            EXPECT_EQ(std::abs(b.wireEnd.v - b.onBus.v), kBreakoutReach);
            EXPECT_EQ(std::abs(b.wireEnd.h - b.onBus.h), kBreakoutReach);
        }
    }
}

}  // namespace
}  // namespace plexa
