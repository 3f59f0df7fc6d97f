#include "foundation/rectmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "tests/support/testing.h"

namespace plexa {
namespace {

std::tuple<int, int, int, int> T(const LRect& r) { return {r.top, r.left, r.bottom, r.right}; }
std::tuple<int, int, int, int> T(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }

// a x b / c rounded half away from zero, in exact arithmetic.
int64_t RoundedQuotient(int64_t a, int64_t b, int64_t c) {
    __int128 p = __int128(a) * b;
    bool negative = (p < 0) != (c < 0);
    __int128 mp = p < 0 ? -p : p, mc = c < 0 ? -c : c;
    __int128 q = (2 * mp + mc) / (2 * mc);
    return int64_t(negative ? -q : q);
}

TEST(RectMath, MulDiv16Table) {
    struct Case { int16_t a, b, c, want; };
    const Case cases[] = {
        {3, 1, 2, 2},     {-3, 1, 2, -2},   {1, 1, 3, 0},     {2, 1, 3, 1},
        {-2, 1, 3, -1},   {7, -1, 2, -4},   {3, 1, -2, -2},   {32767, 2, 2, 32767},
        {-32768, 1, 1, -32768}, {5, 3, 0, 0},  // a zero divisor gives 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv16(c.a, c.b, c.c), c.want) << c.a << " " << c.b << " " << c.c;
}

TEST(RectMath, MulDiv32Table) {
    struct Case { int32_t a; int64_t b, c; int32_t want; };
    const Case cases[] = {
        {100, 0x1000000, 0x2000000, 50},
        {-3, 1, 2, -2},
        {3, 1, 2, 2},
        {-100, 0x1000000, 0x3000000, -33},
        {INT32_MIN, 1, 1, INT32_MIN},
        {70000, 0x1000000, 0x400000, 280000},
        {5, 7, 0, 0},    // the divisor must be positive: 0 and below give 0
        {5, 7, -3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv32(c.a, c.b, c.c), c.want) << c.a << " " << c.b << " " << c.c;
}

TEST(RectMath, DivisionsRoundHalfAwayFromZero) {
    std::mt19937 rng(test::TestSeed());
    std::uniform_int_distribution<int> i16(INT16_MIN, INT16_MAX);
    std::uniform_int_distribution<int32_t> i32(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<int64_t> factor(1, 0x10000000);
    for (uint64_t i = 0, n = test::StressCount(20000); i < n; ++i) {
        int16_t a = int16_t(i16(rng)), b = int16_t(i16(rng)), c = int16_t(i16(rng));
        if (c == 0) continue;
        EXPECT_EQ(MulDiv16(a, b, c), int16_t(RoundedQuotient(a, b, c))) << a << " " << b << " " << c;
        int32_t la = i32(rng);
        int64_t lb = factor(rng), lc = factor(rng);
        EXPECT_EQ(MulDiv32(la, lb, lc), int32_t(RoundedQuotient(la, lb, lc)))
            << la << " " << lb << " " << lc;
    }
}

TEST(RectMath, NarrowingClamps) {
    LRect big{-40000, 5, 40000, -7};
    Rect r;
    EXPECT_EQ(Rect32To16(&big, &r), &r);
    EXPECT_EQ(T(r), std::make_tuple(-32768, 5, 32767, -7));
    LRect back;
    EXPECT_EQ(T(*Rect16To32(&r, &back)), std::make_tuple(-32768, 5, 32767, -7));
    _LPNT p{70000, -70000};
    Point q;
    Point32To16(&p, &q);
    EXPECT_EQ(q.v, 32767);
    EXPECT_EQ(q.h, -32768);
}

TEST(RectMath, PinRect32) {
    const LRect r{0, 0, 10, 20};
    struct Case { _LPNT in; bool inset; int v, h; };
    const Case cases[] = {
        {{5, 20}, false, 5, 20},  // on the right edge: stays on it
        {{5, 20}, true, 5, 19},   // moved one in
        {{10, 25}, true, 9, 19},
        {{-3, -4}, true, 0, 0},
        {{4, 4}, true, 4, 4},
    };
    for (const Case& c : cases) {
        _LPNT p = c.in;
        PinRect32(&p, &r, c.inset);
        EXPECT_EQ(p.v, c.v);
        EXPECT_EQ(p.h, c.h);
    }
}

TEST(RectMath, SectUnionAndPointTests) {
    LRect a{0, 0, 10, 10}, touching{0, 10, 10, 20}, overlapping{5, 5, 15, 15}, out;
    EXPECT_FALSE(SectRect32(&a, &touching, &out));
    EXPECT_TRUE(SectRect32(&a, &overlapping, &out));
    EXPECT_EQ(T(out), std::make_tuple(5, 5, 10, 10));
    EXPECT_EQ(T(*UnionRect32(&a, &touching, &out)), std::make_tuple(0, 0, 10, 20));

    EXPECT_TRUE(PtInRect32(0, 0, &a));
    EXPECT_TRUE(PtInRect32(9, 9, &a));
    EXPECT_FALSE(PtInRect32(10, 5, &a));  // right edge
    EXPECT_FALSE(PtInRect32(5, 10, &a));  // bottom edge

    _LPNT p1{7, -2}, p2{3, 4};
    Pt2Rect32(&p1, &p2, &out);
    EXPECT_EQ(T(out), std::make_tuple(3, -2, 7, 4));
    EXPECT_EQ(T(*InsetRect32(&out, 1, 2)), std::make_tuple(5, -1, 5, 3));
    EXPECT_TRUE(EmptyRect32(&out));
    OffsetRect32(&out, 10, 20);
    LRect want{25, 9, 25, 13};
    EXPECT_TRUE(EqualRect32(&out, &want));
}

}  // namespace
}  // namespace plexa
