#include "foundation/geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>
#include <tuple>
#include <utility>

#include "tests/support/testing.h"

namespace plexa {
namespace {

using Quad = std::tuple<int, int, int, int>;
Quad T(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }
Quad T(const LRect& r) { return {r.top, r.left, r.bottom, r.right}; }
std::pair<int, int> P(const Point& p) { return {p.v, p.h}; }
std::pair<int, int> P(const _LPNT& p) { return {p.v, p.h}; }

constexpr int32_t kQuarter = 0x400000, kOne = 0x1000000, kFour = 0x4000000;

TEST(Geometry, RoundingTable) {
    EXPECT_EQ(MulShift24(-3, 0x800000), -2);
    EXPECT_EQ(MulShift24(3, 0x800000), 2);
    EXPECT_EQ(MulShift24(1, kQuarter), 0);
    EXPECT_EQ(MulShift24(-2, kQuarter), -1);  // -0.5 rounds away from zero

    struct Case { double x; int32_t round, trunc; };
    const Case cases[] = {
        {0.5, 1, 0},   {-0.5, -1, 0}, {2.4, 2, 2},  {-2.5, -3, -2}, {-1.9, -2, -1},
        {1e12, INT32_MAX, INT32_MAX}, {-1e12, INT32_MIN, INT32_MIN}, {NAN, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoundToInt32(c.x), c.round) << c.x;
        EXPECT_EQ(TruncToInt32(c.x), c.trunc) << c.x;
    }
}

TEST(Geometry, FloatingRectangleConversions) {
    XRect x{1.9, -1.9, 1.0, 1.0};
    Rect r;
    EXPECT_EQ(T(*XRCTtoRCT(&x, &r)), Quad(-1, 1, 0, 2));
    x = {1.9, 0, 1.5, 2.0};
    LRect l;
    EXPECT_EQ(T(*XRCTtoLRCT(&x, &l)), Quad(0, 1, 2, 3));  // right = trunc(x + width)

    Rect inverted{10, 10, 5, 2};
    RCTtoXRCT(&inverted, &x);
    EXPECT_EQ(x.x, 10);
    EXPECT_EQ(x.y, 10);
    EXPECT_EQ(x.width, 0);
    EXPECT_EQ(x.height, 0);

    x = {0, 10.5, 5, 20.7};
    EXPECT_EQ(XRCTtoCart(&x, 100), 31);
    EXPECT_EQ(x.y, 69);
}

TEST(Geometry, PointAndRectangleOperations) {
    Point p;
    VXSetPt(&p, 5, 6);
    EXPECT_EQ(P(p), std::make_pair(6, 5));
    Rect r;
    VXSetRect(&r, 1, 2, 3, 4);
    EXPECT_EQ(T(r), Quad(2, 1, 4, 3));

    Rect empty, u;
    VXSetEmptyRect(&empty);
    EXPECT_TRUE(VXEmptyRect(&empty));
    Rect one{1, 2, 3, 4};
    VXUnionRect(&empty, &one, &u);
    EXPECT_EQ(T(u), Quad(1, 2, 3, 4));
    LRect lempty;
    VXLSetEmptyRect(&lempty);
    EXPECT_EQ(T(lempty), Quad(0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF));

    Rect a{0, 0, 10, 10}, touching{10, 0, 20, 10}, s;
    EXPECT_FALSE(VXSectRect(&a, &touching, &s));
    EXPECT_FALSE(VXRectsOverlap(&a, &touching));
    EXPECT_TRUE(VXPtInRect(Point{9, 0}, &a));
    EXPECT_FALSE(VXPtInRect(Point{10, 0}, &a));

    r = {0, 0, 10, 10};
    VXInsetRect(&r, -2, 3);
    EXPECT_EQ(T(r), Quad(3, -2, 7, 12));
    VXMoveRectTo(&r, 100, 200);
    EXPECT_EQ(T(r), Quad(200, 100, 204, 114));
    LRect lr{0, 0, 10, 20};
    VXLMoveRectTo(&lr, 5, -3);
    EXPECT_EQ(T(lr), Quad(-3, 5, 7, 25));

    VXPt2Rect(Point{5, -1}, Point{2, 7}, &r);
    EXPECT_EQ(T(r), Quad(2, -1, 5, 7));
}

TEST(Geometry, CentringBoundsAndPinning) {
    Rect r{0, 0, 10, 10}, within{0, 0, 21, 21};
    CenterRect16(&r, &within, true, true);
    EXPECT_EQ(T(r), Quad(5, 5, 15, 15));
    r = {0, 0, 10, 10};
    within = {0, 0, 5, 5};
    CenterRect16(&r, &within, true, false);  // (5 - 10) / 2 truncates toward zero
    EXPECT_EQ(T(r), Quad(0, -2, 10, 8));

    Point pts[] = {{4, 9}, {-2, 3}, {7, 5}};
    VXGetPointsBounds(pts, 0, &r);
    EXPECT_EQ(T(r), Quad(32767, 32767, -32767, -32767));
    VXGetPointsBounds(pts, 1, &r);
    EXPECT_EQ(T(r), Quad(4, 9, 4, 9));
    VXGetPointsBounds(pts, 3, &r);
    EXPECT_EQ(T(r), Quad(-2, 3, 7, 9));

    const Rect box{0, 0, 10, 20};
    Point p{15, 25};
    VXPinToRect(&p, &box, false);
    EXPECT_EQ(P(p), std::make_pair(10, 20));
    p = {15, 25};
    VXPinToRect(&p, &box, true);
    EXPECT_EQ(P(p), std::make_pair(9, 19));
}

TEST(Geometry, ScaleAndMapPoints) {
    Point pts[] = {{3, -3}, {10, 7}};
    VXScalePoints(pts, 2, Point{1, 1}, Point{2, 2});
    EXPECT_EQ(P(pts[0]), std::make_pair(2, -2));
    EXPECT_EQ(P(pts[1]), std::make_pair(5, 4));

    struct Case { Rect from, to; Point in; int v, h; };
    const Case cases[] = {
        {{0, 0, 10, 10}, {100, 200, 120, 230}, {5, 5}, 110, 215},
        {{0, 0, 10, 10}, {100, 200, 120, 230}, {-1, 3}, 98, 209},
        {{0, 0, 10, 10}, {5, 5, 15, 15}, {3, 4}, 8, 9},       // same size: offset only
        {{0, 0, 0, 10}, {50, 0, 70, 10}, {4, 4}, 50, 4},      // no source height
    };
    for (const Case& c : cases) {
        Point p = c.in;
        VXMapPoints(&p, 1, &c.from, &c.to);
        EXPECT_EQ(P(p), std::make_pair(c.v, c.h));
    }
}

// Transformation codes against 2x2 matrices on {v, h}: a code is the mirror after the turns.
using Matrix = std::array<int, 4>;  // {vv, vh, hv, hh}
Matrix Mul(const Matrix& a, const Matrix& b) {
    return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3],
            a[2] * b[0] + a[3] * b[2], a[2] * b[1] + a[3] * b[3]};
}
Matrix MatrixOf(int code) {
    const Matrix turn{0, 1, -1, 0}, mirror{1, 0, 0, -1};
    Matrix m{1, 0, 0, 1};
    for (int i = 0; i < (code & 3); ++i) m = Mul(turn, m);
    return (code & 4) ? Mul(mirror, m) : m;
}
_LPNT Apply(const Matrix& m, _LPNT p) { return {m[0] * p.v + m[1] * p.h, m[2] * p.v + m[3] * p.h}; }

// Direction of a vector in degrees, 0 up, clockwise.
int DegreesOf(_LPNT d) {
    int a = int(std::lround(std::atan2(double(d.h), double(-d.v)) * 180 / M_PI));
    return (a % 360 + 360) % 360;
}

TEST(Geometry, TransformationCodesAgreeWithMatrices) {
    EXPECT_EQ(VXTransformTransformation(4, 1), 7);
    EXPECT_EQ(VXInverseTransformation(1), 3);
    EXPECT_EQ(VXInverseTransformation(5), 5);
    EXPECT_EQ(VXTransformTransformation(0x10 | 1, 1), 0x12);  // other bits of a stay

    std::mt19937 rng(test::TestSeed());
    std::uniform_int_distribution<int> coord(-30000, 30000);
    const Matrix identity{1, 0, 0, 1};
    const uint64_t rounds = test::StressCount(50);
    for (int a = 0; a < 8; ++a) {
        const int inv = VXInverseTransformation(a);
        EXPECT_EQ(Mul(MatrixOf(inv), MatrixOf(a)), identity) << a;
        for (int b = 0; b < 8; ++b) {
            const int ab = VXTransformTransformation(a, b);
            EXPECT_EQ(MatrixOf(ab), Mul(MatrixOf(b), MatrixOf(a))) << a << " then " << b;
            for (uint64_t i = 0; i < rounds; ++i) {
                _LPNT p{coord(rng), coord(rng)};
                _LPNT viaBoth = p, viaOne = p, back = p;
                VXLTransformPoints(a, &viaBoth, 1);
                EXPECT_EQ(P(viaBoth), P(Apply(MatrixOf(a), p)));
                VXLTransformPoints(b, &viaBoth, 1);
                VXLTransformPoints(ab, &viaOne, 1);
                EXPECT_EQ(P(viaBoth), P(viaOne));
                EXPECT_EQ(P(viaOne), P(Apply(MatrixOf(b), Apply(MatrixOf(a), p))));
                VXLTransformPoints(a, &back, 1);
                VXLTransformPoints(inv, &back, 1);
                EXPECT_EQ(P(back), P(p));
                Point q{int16_t(p.v), int16_t(p.h)};
                VXTransformPoints(ab, &q, 1);
                EXPECT_EQ(P(q), P(viaOne));
            }
        }
        // An arc's start follows its start direction, or its end direction when mirrored.
        for (int start = 0; start < 360; start += 90) {
            int16_t s = int16_t(start);
            VXTransformArc(a, &s, 90);
            int from = (a & 4) ? start + 90 : start;
            double rad = from * M_PI / 180;
            _LPNT dir{int(std::lround(-std::cos(rad))), int(std::lround(std::sin(rad)))};
            EXPECT_EQ(s, DegreesOf(Apply(MatrixOf(a), dir))) << "code " << a << " start " << start;
        }
    }
}

TEST(Geometry, TransformedRectanglesCoverTheTransformedPixels) {
    Rect r{0, 0, 10, 10};
    VXTransformGrafRect(2, &r);
    EXPECT_EQ(T(r), Quad(-9, -9, 1, 1));
    r = {0, 0, 10, 10};
    VXTransformGrafRect(4, &r);
    EXPECT_EQ(T(r), Quad(0, -9, 10, 1));

    const Rect source{-3, 2, 4, 7};
    for (int code = 0; code < 8; ++code) {
        Rect t = source;
        VXTransformGrafRect(code, &t);
        LRect lt{source.top, source.left, source.bottom, source.right};
        VXLTransformGrafRect(code, &lt);
        EXPECT_EQ(T(t), T(lt));
        std::set<std::pair<int, int>> pixels;
        for (int16_t v = source.top; v < source.bottom; ++v)
            for (int16_t h = source.left; h < source.right; ++h) {
                Point p{v, h};
                VXTransformPoints(code, &p, 1);
                EXPECT_TRUE(VXPtInRect(p, &t)) << code;
                pixels.insert(P(p));
            }
        EXPECT_EQ(size_t((t.bottom - t.top) * (t.right - t.left)), pixels.size()) << code;
    }
}

TEST(Geometry, TransformArcTable) {
    struct Case { int code, start, sweep, want; };
    const Case cases[] = {
        {4, 30, 90, 240}, {1, 300, 90, 30}, {3, 30, 90, 300}, {2, 270, 45, 90}, {5, 30, 90, 150},
        {0, 30, 90, 30},
    };
    for (const Case& c : cases) {
        int16_t s = int16_t(c.start);
        VXTransformArc(c.code, &s, int16_t(c.sweep));
        EXPECT_EQ(s, c.want) << c.code << " " << c.start;
    }
    EXPECT_EQ(NormalizeRotationDegrees(-90), 270);
    EXPECT_EQ(NormalizeRotationDegrees(720), 0);
    EXPECT_EQ(NormalizeRotationDegrees(-721), 359);
}

TEST(Geometry, Rotations) {
    const _LPNT c{10, 20};
    struct Case { int32_t angle; int v, h; };
    const Case quarter[] = {
        {90, 15, 18}, {180, 8, 15}, {270, 5, 22}, {-90, 5, 22}, {1, 12, 15}, {2, 8, 25}, {45, 12, 25},
    };
    for (const Case& k : quarter) {
        _LPNT p{12, 25};
        VXLRotatePoint(&p, &c, k.angle);
        EXPECT_EQ(P(p), std::make_pair(k.v, k.h)) << k.angle;
    }
    const Case tenths[] = {
        {900, 15, 18}, {-900, 5, 22}, {2700, 5, 22}, {3600, 12, 25}, {0, 12, 25},
    };
    for (const Case& k : tenths) {
        _LPNT p{12, 25};
        VXLRotatePointTenthDegrees(&p, &c, k.angle);
        EXPECT_EQ(P(p), std::make_pair(k.v, k.h)) << k.angle;
    }
    _LPNT p{10, 30};  // 10 to the right of the centre, turned 45 degrees clockwise
    VXLRotatePointTenthDegrees(&p, &c, 450);
    EXPECT_EQ(P(p), std::make_pair(17, 27));
}

TEST(Geometry, AnglesTable) {
    struct Delta { int dh, dv; double aspect; int want; };
    const Delta deltas[] = {
        {0, 5, 1, 1800}, {0, -5, 1, 0}, {0, 0, 1, 0}, {5, 0, 1, 900}, {-5, 0, 1, 2700},
        {5, -5, 1, 450}, {-5, -5, 1, 3150}, {5, 5, 1, 1350}, {100, -50, 2, 450},
    };
    for (const Delta& d : deltas)
        EXPECT_EQ(DeltaToTenthDegrees(d.dh, d.dv, d.aspect), d.want) << d.dh << " " << d.dv;

    const Rect square{0, 0, 100, 100}, wide{0, 0, 100, 200};
    struct Angle { Rect r; Point p; int want; };
    const Angle angles[] = {
        {square, {50, 50}, 0},  {square, {10, 50}, 0},  {square, {90, 50}, 180},
        {square, {50, 90}, 90}, {square, {50, 10}, 270}, {square, {10, 90}, 45},
        {wide, {0, 200}, 45},   {square, {90, 10}, 225},
    };
    for (const Angle& a : angles) EXPECT_EQ(AngleFromPoint(&a.r, a.p), a.want) << P(a.p).first;

    const _LPNT centre{0, 0};
    struct Radius { int32_t tenths; int v, h; };
    const Radius radii[] = {{0, -100, 0}, {900, 0, 50}, {1800, 100, 0}, {2700, 0, -50}, {-900, 0, -50}};
    for (const Radius& r : radii) {
        _LPNT out;
        LGetRadiusPointTenthDegrees(&centre, 50, 100, r.tenths, &out);
        EXPECT_EQ(P(out), std::make_pair(r.v, r.h)) << r.tenths;
    }
    Point out;
    GetRadiusPoint(Point{5, 5}, 20, 10, 90, &out);
    EXPECT_EQ(P(out), std::make_pair(5, 25));
}

TEST(Geometry, DistanceAndSnapping) {
    struct Case { int h1, v1, h2, v2, want; };
    const Case cases[] = {{0, 0, 3, 4, 5}, {0, 0, 0, 7, 7}, {0, 0, -7, 0, 7}, {0, 0, 1, 1, 1}, {0, 0, 2, 3, 4}};
    for (const Case& c : cases) EXPECT_EQ(VXCalcDistance(c.h1, c.v1, c.h2, c.v2), c.want);

    const _LPNT a{0, 0}, b{0, 100};
    struct Snap { _LPNT p; int v, h, distance; };
    const Snap snaps[] = {
        {{10, 50}, 0, 50, 10}, {{5, -20}, 0, 0, 21}, {{0, 130}, 0, 100, 30}, {{-3, 33}, 0, 33, 3},
    };
    for (const Snap& s : snaps) {
        _LPNT out;
        EXPECT_EQ(VXLCalcDistancePointToLine(&s.p, &a, &b, &out), s.distance);
        EXPECT_EQ(P(out), std::make_pair(s.v, s.h));
    }
    _LPNT out, p{4, 4};
    VXLSnapPointToLine(&a, &a, &p, &out);  // a segment of no length snaps to its point
    EXPECT_EQ(P(out), P(a));
}

TEST(Geometry, GridSnappingTable) {
    struct Case { int16_t v, h; int32_t grid; int v2, h2; };
    const Case cases[] = {
        {55, 55, 8, 56, 56},  {51, 52, 8, 48, 56},   {4, 3, 8, 8, 0},         {-5, -3, 8, -8, 0},
        {-4, -12, 8, 0, -8},  {-13, -11, 8, -16, -8}, {-32768, -32765, 8, -32768, -32768},
        {-20, -12, 8, -16, -8}, {7, 7, 0, 7, 7},      {7, 7, -4, 7, 7},        {32766, -32768, 8, 32767, -32768},
        {10, 11, 1, 10, 11},  {47, 46, 12, 48, 48},
    };
    for (const Case& c : cases) {
        Point p{c.v, c.h};
        SnapPointToGrid(&p, c.grid);
        EXPECT_EQ(P(p), std::make_pair(c.v2, c.h2)) << c.v << "," << c.h << " grid " << c.grid;
    }
}

TEST(Geometry, PointsCompareByRowThenColumnSigned) {
    EXPECT_LT(ComparePointsVH({-1, 500}, {0, -500}), 0);
    EXPECT_GT(ComparePointsVH({3, 2}, {3, -2}), 0);
    EXPECT_EQ(ComparePointsVH({3, 2}, {3, 2}), 0);
    EXPECT_LT(ComparePointsVH({-32768, 0}, {32767, 0}), 0);
}

TEST(Geometry, LineIntersectionTable) {
    struct Case { _LPNT a1, a2, b1, b2; bool segments; int want, v, h; };
    const Case cases[] = {
        {{0, 0}, {0, 10}, {-5, 3}, {5, 3}, true, kLinesCross, 0, 3},
        {{0, 0}, {0, 10}, {1, 3}, {5, 3}, true, kLinesApart, 0, 0},    // segments miss
        {{0, 0}, {0, 10}, {1, 3}, {5, 3}, false, kLinesCross, 0, 3},   // lines cross
        {{0, 0}, {0, 10}, {0, 5}, {0, 20}, true, kLinesOverlap, 0, 0},
        {{0, 0}, {0, 10}, {0, 11}, {0, 20}, true, kLinesApart, 0, 0},
        {{0, 0}, {0, 10}, {1, 0}, {1, 10}, false, kLinesApart, 0, 0},
        {{0, 4}, {9, 4}, {2, 4}, {20, 4}, true, kLinesOverlap, 0, 0},  // both vertical
        {{0, 0}, {10, 10}, {0, 10}, {10, 0}, true, kLinesCross, 5, 5},
        {{0, 0}, {10, 10}, {2, 0}, {12, 10}, false, kLinesApart, 0, 0},
        {{0, 0}, {10, 10}, {5, 5}, {20, 20}, true, kLinesOverlap, 0, 0},
        // Slopes equal to three decimals count as parallel: these lines cross once, at
        // (2000, 2000), yet are reported as overlapping.
        {{0, 0}, {1000, 1000}, {-1, 0}, {2000, 2000}, false, kLinesOverlap, 0, 0},
    };
    for (const Case& c : cases) {
        _LPNT out{-999, -999};
        int got = VXLSectLines(&c.a1, &c.a2, &c.b1, &c.b2, c.segments, &out);
        EXPECT_EQ(got, c.want) << P(c.a1).first << "," << P(c.a1).second << " " << P(c.b1).first;
        if (got == kLinesCross) {
            EXPECT_EQ(P(out), std::make_pair(c.v, c.h));
        }
    }
    Point out16;
    EXPECT_EQ(VXSectLines({0, 0}, {10, 10}, {0, 10}, {10, 0}, true, &out16), kLinesCross);
    EXPECT_EQ(P(out16), std::make_pair(5, 5));
}

TEST(Geometry, GridAlignedIntersectionsAreExact) {
    // Horizontal, vertical and diagonal segments through a common grid point cross exactly there.
    const _LPNT dirs[] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
    std::mt19937 rng(test::TestSeed());
    std::uniform_int_distribution<int> coord(-1000000, 1000000), len(1, 5000), pick(0, 3);
    for (uint64_t i = 0, n = test::StressCount(20000); i < n; ++i) {
        const _LPNT at{coord(rng), coord(rng)};
        int da = pick(rng), db = pick(rng);
        if (da == db) continue;
        auto segment = [&](const _LPNT& d, _LPNT* p1, _LPNT* p2) {
            int before = len(rng), after = len(rng);
            *p1 = {at.v - d.v * before, at.h - d.h * before};
            *p2 = {at.v + d.v * after, at.h + d.h * after};
            if (len(rng) & 1) std::swap(*p1, *p2);
        };
        _LPNT a1, a2, b1, b2, out{0, 0};
        segment(dirs[da], &a1, &a2);
        segment(dirs[db], &b1, &b2);
        ASSERT_EQ(VXLSectLines(&a1, &a2, &b1, &b2, true, &out), kLinesCross)
            << da << " " << db << " at " << at.v << "," << at.h;
        ASSERT_EQ(P(out), P(at));
    }
}

// Window scaling.

bool TestPaneBounds(const WindowGeometry*, int, XRect* out) {
    *out = {30.7, -12.9, 500, 400};
    return true;
}

TEST(Geometry, WindowScaleFactors) {
    WindowGeometry w;
    SetWindowScaleFactors(&w, kQuarter, kFour);
    EXPECT_TRUE(w.flags & kWindowFlagScaled);
    EXPECT_EQ(P(w.scaledBox), std::make_pair(25, 400));
    EXPECT_EQ(w.wholeScaleV, 1);
    EXPECT_EQ(w.wholeScaleH, 4);
    SetWindowScaleFactors(&w, kOne, kOne);
    EXPECT_FALSE(w.flags & kWindowFlagScaled);

    SetWindowScaleFactors(&w, 0x2000000, 0x2000000);
    Point pts[] = {{3, -3}};
    PointsToScale(&w, pts, 1);
    EXPECT_EQ(P(pts[0]), std::make_pair(6, -6));
    w.pane = 0;  // vertical axis fixed
    PointsToScale(&w, pts, 1);
    EXPECT_EQ(P(pts[0]), std::make_pair(6, -12));
    w.pane = 2;  // both fixed: nothing
    PointsToScale(&w, pts, 1);
    EXPECT_EQ(P(pts[0]), std::make_pair(6, -12));
    w.pane = -1;
    PointsFromScale(&w, pts, 1);
    EXPECT_EQ(P(pts[0]), std::make_pair(3, -6));
    int32_t dims[] = {5, -7};
    LDimensionsToScale(&w, dims, 2, 1);
    EXPECT_EQ(dims[0], 10);
    EXPECT_EQ(dims[1], -14);

    // A zero factor does not divide by zero.
    w.scaleV = 0;
    _LPNT lp{100, 100};
    LPointsFromScale(&w, &lp, 1);
    EXPECT_EQ(P(lp), std::make_pair(0, 50));
}

TEST(Geometry, PanelOriginAndConversions) {
    WindowGeometry w;
    _LPNT origin;
    CalcPanelOriginForActivePane(&w, &origin);  // no hook installed
    EXPECT_EQ(P(origin), std::make_pair(0, 0));
    SetPaneBoundsHook(TestPaneBounds);
    struct Case { uint8_t kind; int8_t pane; int v, h; };
    const Case cases[] = {{0, -1, -12, 30}, {0, 0, 0, 30}, {0, 1, -12, 0}, {0, 2, 0, 0}, {1, -1, 0, 0}};
    for (const Case& c : cases) {
        w.kind = c.kind;
        w.pane = c.pane;
        CalcPanelOriginForActivePane(&w, &origin);
        EXPECT_EQ(P(origin), std::make_pair(c.v, c.h)) << int(c.pane);
    }
    w.kind = kWindowOnScreen;
    w.pane = -1;
    SetWindowScaleFactors(&w, 0x2000000, 0x2000000);
    Point p{10, 20};
    ConvertPadPointsToPanel(&w, &p, 1);
    EXPECT_EQ(P(p), std::make_pair(32, 10));
    _LPNT back{p.v, p.h};
    LConvertPanelPointsToPad(&w, &back, 1);
    EXPECT_EQ(P(back), std::make_pair(10, 20));
    SetPaneBoundsHook(nullptr);
}

TEST(Geometry, NoEmptyScalingKeepsRectanglesNonEmpty) {
    WindowGeometry w;
    SetWindowScaleFactors(&w, kQuarter, kQuarter);
    Rect unit{5, 5, 6, 6};
    RectToNoEmptyScale(&w, &unit);
    EXPECT_FALSE(VXEmptyRect(&unit));

    // At 4, unit rectangles side by side tile the scaled space.
    SetWindowScaleFactors(&w, kFour, kFour);
    LRect first{0, 0, 1, 1}, second{0, 1, 1, 2};
    LRectToNoEmptyScale(&w, &first);
    LRectToNoEmptyScale(&w, &second);
    EXPECT_EQ(T(first), Quad(0, 0, 4, 4));
    EXPECT_EQ(T(second), Quad(0, 4, 4, 8));

    Rect empty{5, 5, 5, 9};
    RectToNoEmptyScale(&w, &empty);
    EXPECT_EQ(T(empty), Quad(5, 5, 5, 9));

    std::mt19937 rng(test::TestSeed());
    std::uniform_int_distribution<int> coord(-3000, 3000), size(1, 40);
    for (int32_t factor : {kQuarter, kOne, kFour}) {
        for (int8_t pane : {int8_t(-1), int8_t(0), int8_t(1)}) {
            SetWindowScaleFactors(&w, factor, factor);
            w.flags |= kWindowFlagScaled;  // also at 1.0
            w.pane = pane;
            for (uint64_t i = 0, n = test::StressCount(2000); i < n; ++i) {
                int top = coord(rng), left = coord(rng);
                Rect r{int16_t(top), int16_t(left), int16_t(top + size(rng)), int16_t(left + size(rng))};
                Rect s = r;
                RectToNoEmptyScale(&w, &s);
                ASSERT_FALSE(VXEmptyRect(&s)) << factor << " " << int(pane);
                if (factor == kOne) {
                    ASSERT_EQ(T(s), T(r));
                }
                LRect l{r.top, r.left, r.bottom, r.right};
                LRectToNoEmptyScale(&w, &l);
                ASSERT_EQ(T(l), T(s));
            }
        }
    }
}

}  // namespace
}  // namespace plexa
