// Regions: the documented cases and a randomized comparison against a boolean grid.
#include "graphics/regions.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "tests/support/testing.h"

namespace plexa {

bool operator==(const LRect& a, const LRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}
void PrintTo(const LRect& r, std::ostream* os) {
    *os << "{" << r.top << "," << r.left << "," << r.bottom << "," << r.right << "}";
}

namespace {

std::vector<LRect> Rects(VXRgn* rgn, bool optimise) {
    std::vector<LRect> out(VXGetRgnRects(rgn, false, nullptr, 0, optimise));
    VXGetRgnRects(rgn, false, out.data(), uint32_t(out.size()), false);
    std::sort(out.begin(), out.end(), [](const LRect& a, const LRect& b) {
        return std::tie(a.top, a.left, a.bottom, a.right) < std::tie(b.top, b.left, b.bottom, b.right);
    });
    return out;
}

struct RgnDeleter {
    void operator()(VXRgn* r) const { VXDestroyRgn(r); }
};
using RgnPtr = std::unique_ptr<VXRgn, RgnDeleter>;
RgnPtr MakeRgn(LRect r) { return RgnPtr(VXCreateRgn(&r)); }

const LRect kEmpty = {0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};

TEST(Regions, OverlappingAdditionSplitsAndOptimisationMergesBands) {
    auto rgn = MakeRgn({0, 0, 10, 10});
    LRect second = {5, 5, 15, 15};
    VXAddRectToRgn(rgn.get(), &second);
    EXPECT_EQ(Rects(rgn.get(), false),
              (std::vector<LRect>{{0, 0, 5, 10}, {5, 0, 10, 5}, {5, 5, 15, 15}}));
    EXPECT_EQ(Rects(rgn.get(), true),
              (std::vector<LRect>{{0, 0, 5, 10}, {5, 0, 10, 15}, {10, 5, 15, 15}}));
    EXPECT_EQ(rgn->bounds, (LRect{0, 0, 15, 15}));
    EXPECT_EQ(rgn->added, 0u);
}

TEST(Regions, AddSubtractAndPointCases) {
    auto rgn = MakeRgn({0, 0, 10, 10});
    LRect same = {0, 0, 10, 10};
    VXAddRectToRgn(rgn.get(), &same);
    EXPECT_EQ(Rects(rgn.get(), false), (std::vector<LRect>{{0, 0, 10, 10}}));

    LRect middle = {4, 4, 6, 6};
    VXSubtractRectFromRgn(rgn.get(), &middle);
    EXPECT_EQ(Rects(rgn.get(), false).size(), 4u);
    EXPECT_FALSE(VXPointInRgn(5, 5, rgn.get()));
    EXPECT_TRUE(VXPointInRgn(3, 5, rgn.get()));
    EXPECT_FALSE(VXPointInRgn(10, 5, rgn.get()));  // right edge
    EXPECT_FALSE(VXPointInRgn(5, 10, rgn.get()));  // bottom edge

    VXSetRectRgn(rgn.get(), &same);
    LRect rightHalf = {0, 5, 10, 10};
    VXSubtractRectFromRgn(rgn.get(), &rightHalf);
    EXPECT_EQ(rgn->bounds, (LRect{0, 0, 10, 5}));
    VXSubtractRectFromRgn(rgn.get(), &same);
    EXPECT_TRUE(VXIsEmptyRgn(rgn.get()));
    EXPECT_EQ(rgn->bounds, kEmpty);

    LRect inverted = {5, 5, 0, 0};
    VXAddRectToRgn(rgn.get(), &inverted);
    VXAddRectToRgn(rgn.get(), nullptr);
    EXPECT_TRUE(VXIsEmptyRgn(rgn.get()));
    EXPECT_TRUE(VXIsEmptyRgn(nullptr));
}

TEST(Regions, OperationsOnEqualDisjointAndSelf) {
    auto a = MakeRgn({0, 0, 10, 10});
    auto b = MakeRgn({0, 0, 10, 10});
    auto far = MakeRgn({20, 20, 30, 30});
    RgnPtr out(RgnOperation(a.get(), b.get(), nullptr, kRgnXor));
    EXPECT_TRUE(VXIsEmptyRgn(out.get()));
    RgnOperation(a.get(), far.get(), out.get(), kRgnSect);
    EXPECT_TRUE(VXIsEmptyRgn(out.get()));
    EXPECT_FALSE(VXSectRgn(a.get(), far.get(), nullptr));
    EXPECT_TRUE(VXSectRgn(a.get(), b.get(), nullptr));

    // All three the same region.
    RgnOperation(a.get(), a.get(), a.get(), kRgnSect);
    EXPECT_EQ(Rects(a.get(), true), (std::vector<LRect>{{0, 0, 10, 10}}));
    RgnOperation(a.get(), a.get(), a.get(), kRgnUnion);
    EXPECT_EQ(Rects(a.get(), true), (std::vector<LRect>{{0, 0, 10, 10}}));
    RgnOperation(a.get(), a.get(), a.get(), kRgnXor);
    EXPECT_TRUE(VXIsEmptyRgn(a.get()));

    // The result is the b operand.
    auto c = MakeRgn({0, 0, 10, 10});
    auto d = MakeRgn({5, 0, 15, 10});
    RgnOperation(c.get(), d.get(), d.get(), kRgnDiff);
    EXPECT_EQ(Rects(d.get(), true), (std::vector<LRect>{{0, 0, 5, 10}}));
}

TEST(Regions, ScratchPoolAndOffsetAndCgRects) {
    LRect r = {1, 2, 3, 4};
    VXRgn* s = VXGetScratchRgn(&r);
    VXOffsetRgn(s, 10, 20);
    EXPECT_EQ(s->bounds, (LRect{21, 12, 23, 14}));
    XRect x{};
    EXPECT_EQ(VXGetRgnRects(s, true, &x, 1, false), 1u);
    EXPECT_EQ(x.x, 12.0);
    EXPECT_EQ(x.y, 21.0);
    EXPECT_EQ(x.width, 2.0);
    EXPECT_EQ(x.height, 2.0);
    VXReleaseScratchRgn(s);
    VXRgn* again = VXGetScratchRgn(nullptr);
    EXPECT_EQ(again, s);
    EXPECT_TRUE(VXIsEmptyRgn(again));
    std::vector<VXRgn*> many;
    for (int i = 0; i < 12; i++) many.push_back(VXGetScratchRgn(nullptr));
    for (VXRgn* m : many) VXReleaseScratchRgn(m);
    VXReleaseScratchRgn(again);
}

// Randomized: every operation is mirrored on boolean grids; after each one the region must
// cover exactly the grid's cells, with no overlapping rectangles and exact bounds.
constexpr int kGrid = 24;
using Grid = std::array<std::array<bool, kGrid>, kGrid>;

void CheckAgainst(VXRgn* rgn, const Grid& grid, uint64_t step) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    std::array<std::array<int, kGrid>, kGrid> count{};
    LRect bbox = kEmpty;
    for (const LRect& r : rgn->rects) {
        ASSERT_LT(r.top, r.bottom);
        ASSERT_LT(r.left, r.right);
        ASSERT_GE(r.top, 0);
        ASSERT_GE(r.left, 0);
        ASSERT_LE(r.bottom, kGrid);
        ASSERT_LE(r.right, kGrid);
        bbox = {std::min(bbox.top, r.top), std::min(bbox.left, r.left),
                std::max(bbox.bottom, r.bottom), std::max(bbox.right, r.right)};
        for (int v = r.top; v < r.bottom; v++)
            for (int h = r.left; h < r.right; h++) count[v][h]++;
    }
    for (int v = 0; v < kGrid; v++)
        for (int h = 0; h < kGrid; h++) {
            ASSERT_LE(count[v][h], 1) << "overlap at " << h << "," << v;
            ASSERT_EQ(count[v][h] == 1, grid[v][h]) << "area differs at " << h << "," << v;
            ASSERT_EQ(VXPointInRgn(h, v, rgn), grid[v][h]);
        }
    ASSERT_EQ(rgn->bounds, bbox);
}

TEST(Regions, RandomOperationsMatchBooleanGrid) {
    std::mt19937 rng(test::TestSeed());
    SCOPED_TRACE(testing::Message() << "seed " << test::TestSeed());
    constexpr int kCount = 4;
    std::array<RgnPtr, kCount> rgns;
    std::array<Grid, kCount> grids{};
    for (auto& r : rgns) r.reset(VXCreateRgn(nullptr));
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    auto randomRect = [&]() {
        int a = pick(kGrid + 1), b = pick(kGrid + 1), c = pick(kGrid + 1), d = pick(kGrid + 1);
        return LRect{std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
    };
    auto paint = [](Grid& g, const LRect& r, bool on) {
        for (int v = r.top; v < r.bottom; v++)
            for (int h = r.left; h < r.right; h++) g[v][h] = on;
    };

    const uint64_t steps = test::StressCount(12000);
    for (uint64_t step = 0; step < steps; step++) {
        const int target = pick(kCount);
        VXRgn* rgn = rgns[target].get();
        Grid& grid = grids[target];
        const int what = pick(10);
        if (what <= 2) {
            LRect r = randomRect();
            VXAddRectToRgn(rgn, &r);
            paint(grid, r, true);
        } else if (what <= 4) {
            LRect r = randomRect();
            VXSubtractRectFromRgn(rgn, &r);
            paint(grid, r, false);
        } else if (what <= 7) {
            // Operands and result chosen among the same few regions, so that results alias
            // one operand, both, or none.
            const int ia = pick(kCount), ib = pick(kCount);
            const int op = pick(4);
            Grid out{};
            for (int v = 0; v < kGrid; v++)
                for (int h = 0; h < kGrid; h++) {
                    const bool x = grids[ia][v][h], y = grids[ib][v][h];
                    out[v][h] = op == kRgnDiff ? (x && !y)
                              : op == kRgnUnion ? (x || y)
                              : op == kRgnSect ? (x && y) : (x != y);
                }
            RgnOperation(rgns[ia].get(), rgns[ib].get(), rgn, op);
            grid = out;
        } else if (what == 8) {
            LRect r = randomRect();
            const bool any = VXSectRectWithRgn(&r, rgn);
            Grid out{};
            for (int v = r.top; v < r.bottom; v++)
                for (int h = r.left; h < r.right; h++) out[v][h] = grid[v][h];
            grid = out;
            bool expectAny = false;
            for (auto& row : grid)
                for (bool cell : row) expectAny |= cell;
            ASSERT_EQ(any, expectAny);
        } else {
            if (pick(2)) {
                VXOptimizeRgn(rgn);
            } else {
                VXOffsetRgn(rgn, 3, -2);
                VXOffsetRgn(rgn, -3, 2);
            }
        }
        CheckAgainst(rgn, grid, step);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace plexa
