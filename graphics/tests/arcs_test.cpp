#include "graphics/arcs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace plexa {
namespace {

using Quad = std::tuple<int, int, int, int>;
Quad T(const LRect& r) { return {r.top, r.left, r.bottom, r.right}; }
std::pair<int, int> P(const _LPNT& p) { return {p.v, p.h}; }

TEST(ArcGeometry, ArcRawInfo) {
    const _LPNT centre{0, 0}, start{0, 10};
    struct Case { _LPNT end; int endAngle, v, h; };
    const Case cases[] = {
        {{-10, 0}, 900, -10, 0},   // above the centre on the screen
        {{0, 10}, 0, 0, 10},
        {{10, 0}, 2700, 10, 0},
        {{0, -30}, 1800, 0, -10},  // snapped onto the circle
        {{-20, 20}, 450, -7, 7},
    };
    for (const Case& c : cases) {
        int32_t radius = 0;
        _LPNT snapped{};
        LRect bounds{};
        int16_t startAngle = -1, endAngle = -1;
        GPathCalcArcRawInfo(&centre, &start, &c.end, &radius, &snapped, &bounds, &startAngle,
                            &endAngle);
        EXPECT_EQ(radius, 10);
        EXPECT_EQ(T(bounds), Quad(-10, -10, 10, 10));
        EXPECT_EQ(startAngle, 0);
        EXPECT_EQ(endAngle, c.endAngle) << c.end.v << "," << c.end.h;
        EXPECT_EQ(P(snapped), std::make_pair(c.v, c.h));
    }
    GPathCalcArcRawInfo(&centre, &start, &start, nullptr, nullptr, nullptr, nullptr, nullptr);
}

struct Fillet {
    int result = -1;
    _LPNT centre{-1, -1}, t1{-1, -1}, t2{-1, -1};
    LRect bounds{};
    int16_t start = -1, sweep = -1, direction = -1;
};

Fillet Calc(_LPNT p0, _LPNT p1, _LPNT p2, int32_t r) {
    Fillet f;
    f.result = GPathCalcFilletArcRawInfo(&p0, &p1, &p2, r, &f.centre, &f.t1, &f.t2, &f.bounds,
                                         &f.start, &f.sweep, &f.direction);
    return f;
}

TEST(ArcGeometry, FilletAtRightAngles) {
    Fillet f = Calc({0, 0}, {0, 100}, {100, 100}, 10);  // right, then down: clockwise
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(P(f.centre), std::make_pair(10, 90));
    EXPECT_EQ(P(f.t1), std::make_pair(0, 90));
    EXPECT_EQ(P(f.t2), std::make_pair(10, 100));
    EXPECT_EQ(T(f.bounds), Quad(0, 80, 20, 100));
    EXPECT_EQ(f.start, 900);
    EXPECT_EQ(f.sweep, -900);
    EXPECT_EQ(f.direction, kFilletClockwise);

    f = Calc({0, 0}, {0, 100}, {-100, 100}, 10);  // right, then up: counter-clockwise
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(P(f.centre), std::make_pair(-10, 90));
    EXPECT_EQ(P(f.t1), std::make_pair(0, 90));
    EXPECT_EQ(P(f.t2), std::make_pair(-10, 100));
    EXPECT_EQ(T(f.bounds), Quad(-20, 80, 0, 100));
    EXPECT_EQ(f.start, 2700);
    EXPECT_EQ(f.sweep, 900);
    EXPECT_EQ(f.direction, kFilletCounterClockwise);
}

TEST(ArcGeometry, FilletThatDoesNotFit) {
    Fillet f = Calc({0, 0}, {0, 100}, {100, 100}, 150);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(P(f.centre), std::make_pair(150, -50));  // outputs still written
    EXPECT_EQ(P(f.t1), std::make_pair(0, -50));

    f = Calc({0, 0}, {0, 100}, {0, 300}, 10);  // collinear: nothing written
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(P(f.centre), std::make_pair(-1, -1));
    EXPECT_EQ(f.direction, -1);
    f = Calc({5, 5}, {5, 5}, {0, 300}, 10);  // a segment of no length
    EXPECT_EQ(f.result, 0);
}

TEST(ArcGeometry, FilletOnADiagonalCorner) {
    // A 45-degree turn: the tangent points lie r x tan(22.5 degrees) from the corner.
    Fillet f = Calc({0, 0}, {0, 100}, {100, 200}, 20);
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(P(f.t1), std::make_pair(0, 92));
    EXPECT_EQ(P(f.t2), std::make_pair(6, 106));
    EXPECT_EQ(f.sweep, -450);
    EXPECT_EQ(f.start, 900);
}

// The finished path walk.

struct Call {
    bool point, arc;
    int32_t started;
    int v, h;
};

void Record(const _LPNT* point, const void* arc, int32_t started, void* refcon) {
    auto* calls = static_cast<std::vector<Call>*>(refcon);
    calls->push_back({point != nullptr, arc != nullptr, started, point ? point->v : 0,
                      point ? point->h : 0});
}

std::string PathBytes(const std::vector<std::vector<_LPNT>>& elements, bool truncateLast) {
    std::string b(16, '\0');
    for (const auto& e : elements) {
        int16_t n = e.empty() ? int16_t(0) : int16_t(e.size());
        b.append(reinterpret_cast<const char*>(&n), 2);
        if (e.empty())
            b.append(kFinishedPathArcSize, 'a');
        else
            b.append(reinterpret_cast<const char*>(e.data()), e.size() * sizeof(_LPNT));
    }
    if (truncateLast) b.resize(b.size() - 4);
    uint32_t used = uint32_t(b.size());
    std::memcpy(b.data() + 4, &used, 4);
    return b;
}

std::vector<Call> Walk(std::string bytes) {
    char* block = bytes.data();
    gFinishedPath = &block;
    std::vector<Call> calls;
    GPathEnum(Record, &calls);
    gFinishedPath = nullptr;
    return calls;
}

TEST(ArcGeometry, FinishedPathWalk) {
    std::vector<Call> calls;
    GPathEnum(Record, &calls);  // there is no finished path
    EXPECT_TRUE(calls.empty());

    // An arc before any point is skipped; later arcs are passed; the closing call ends the walk.
    calls = Walk(PathBytes({{}, {{1, 2}, {3, 4}}, {}, {{5, 6}}}, false));
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_TRUE(calls[0].point && calls[0].started == 0 && calls[0].v == 1 && calls[0].h == 2);
    EXPECT_TRUE(calls[1].point && calls[1].started == 1 && calls[1].v == 3);
    EXPECT_TRUE(calls[2].arc && !calls[2].point && calls[2].started == 1);
    EXPECT_TRUE(calls[3].point && calls[3].v == 5 && calls[3].h == 6);
    EXPECT_TRUE(!calls[4].point && !calls[4].arc && calls[4].started == 2);

    // An element running past the used size ends the walk.
    calls = Walk(PathBytes({{{1, 2}}, {{3, 4}, {5, 6}}}, true));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].started, 2);

    EXPECT_TRUE(Walk(PathBytes({{}}, false)).empty());  // only an arc: nothing emitted
    EXPECT_TRUE(Walk(std::string(16, '\0')).empty());
}

}  // namespace
}  // namespace plexa
