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

// A region marked banded holds a y-x banded list: sorted by top then left, the rectangles of a
// band share top and bottom, bands do not overlap, spans neither overlap nor touch.
void CheckBands(const VXRgn* rgn) {
    if (!rgn->banded) return;
    const std::vector<LRect>& list = rgn->rects;
    for (size_t i = 1; i < list.size(); i++) {
        const LRect& a = list[i - 1];
        const LRect& b = list[i];
        if (a.top == b.top) {
            ASSERT_EQ(a.bottom, b.bottom) << "band " << a.top;
            ASSERT_LT(a.right, b.left) << "spans of band " << a.top;
        } else {
            ASSERT_LE(a.bottom, b.top) << "bands " << a.top << " and " << b.top;
        }
    }
}

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

TEST(Regions, OperationsLeaveJoinedYXBands) {
    auto a = MakeRgn({0, 0, 10, 10});
    auto b = MakeRgn({5, 5, 15, 15});
    RgnPtr u(RgnOperation(a.get(), b.get(), nullptr, kRgnUnion));
    EXPECT_TRUE(u->banded);
    EXPECT_EQ(u->rects, (std::vector<LRect>{{0, 0, 5, 10}, {5, 0, 10, 15}, {10, 5, 15, 15}}));
    EXPECT_EQ(u->bounds, (LRect{0, 0, 15, 15}));
    EXPECT_EQ(u->added, 0u);

    // Two rectangles added one above the other are a plain list; a sweep joins their bands.
    auto stacked = MakeRgn({0, 0, 5, 10});
    LRect lower = {5, 0, 10, 10};
    VXAddRectToRgn(stacked.get(), &lower);
    EXPECT_FALSE(stacked->banded);
    auto far = MakeRgn({20, 0, 30, 10});
    RgnOperation(stacked.get(), far.get(), u.get(), kRgnUnion);
    EXPECT_EQ(u->rects, (std::vector<LRect>{{0, 0, 10, 10}, {20, 0, 30, 10}}));

    // Difference and exclusive or cut the bands where the other operand starts and stops.
    RgnOperation(a.get(), b.get(), u.get(), kRgnDiff);
    EXPECT_EQ(u->rects, (std::vector<LRect>{{0, 0, 5, 10}, {5, 0, 10, 5}}));
    EXPECT_EQ(u->bounds, (LRect{0, 0, 10, 10}));
    RgnOperation(a.get(), b.get(), u.get(), kRgnXor);
    EXPECT_EQ(u->rects, (std::vector<LRect>{
                            {0, 0, 5, 10}, {5, 0, 10, 5}, {5, 10, 10, 15}, {10, 5, 15, 15}}));
    // Intersection with one rectangle clips the list as it is.
    RgnOperation(stacked.get(), b.get(), u.get(), kRgnSect);
    EXPECT_EQ(Rects(u.get(), true), (std::vector<LRect>{{5, 5, 10, 10}}));
}

TEST(Regions, GatheredRectanglesAreBuiltInOneSweep) {
    auto rgn = MakeRgn({0, 0, 10, 10});
    const LRect more[] = {{5, 5, 15, 15}, {5, 5, 15, 15}, {20, 0, 20, 5}, {0, 10, 10, 20}};
    VXAddRectsToRgn(rgn.get(), more, 4);
    EXPECT_TRUE(rgn->banded);
    // 0-5 and 5-10 both span 0-20 and join; the empty rectangle adds nothing.
    EXPECT_EQ(rgn->rects, (std::vector<LRect>{{0, 0, 10, 20}, {10, 5, 15, 15}}));
    EXPECT_EQ(rgn->bounds, (LRect{0, 0, 15, 20}));
    EXPECT_TRUE(VXPointInRgn(19, 9, rgn.get()));
    EXPECT_FALSE(VXPointInRgn(4, 12, rgn.get()));
    EXPECT_FALSE(VXPointInRgn(15, 12, rgn.get()));

    VXAddRectsToRgn(rgn.get(), nullptr, 3);
    VXAddRectsToRgn(rgn.get(), more + 2, 1);
    VXAddRectsToRgn(nullptr, more, 4);
    EXPECT_EQ(rgn->rects.size(), 2u);
    // Into an empty region, and touching rectangles in one band become one span.
    RgnPtr fresh(VXCreateRgn(nullptr));
    const LRect row[] = {{0, 10, 5, 20}, {0, 0, 5, 10}, {0, 25, 5, 30}};
    VXAddRectsToRgn(fresh.get(), row, 3);
    EXPECT_EQ(fresh->rects, (std::vector<LRect>{{0, 0, 5, 20}, {0, 25, 5, 30}}));
}

// A large region takes single additions into its pending list: every reading and changing call
// must see them, and the area must stay what the additions and subtractions made it.
TEST(Regions, LargeRegionAddedOneAtATimeKeepsItsArea) {
    constexpr int kSide = 96;
    std::mt19937 rng(test::TestSeed());
    SCOPED_TRACE(testing::Message() << "seed " << test::TestSeed());
    std::vector<std::array<bool, kSide>> grid(kSide);
    RgnPtr rgn(VXCreateRgn(nullptr));
    auto paint = [&](const LRect& r, bool on) {
        for (int v = r.top; v < r.bottom; v++)
            for (int h = r.left; h < r.right; h++) grid[size_t(v)][size_t(h)] = on;
    };
    auto check = [&](int step) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        for (int k = 0; k < 64; k++) {
            const int h = int(rng() % kSide), v = int(rng() % kSide);
            ASSERT_EQ(VXPointInRgn(h, v, rgn.get()), grid[size_t(v)][size_t(h)]) << h << "," << v;
        }
        std::vector<std::array<int, kSide>> count(kSide);
        LRect bbox = kEmpty;
        for (const LRect& r : Rects(rgn.get(), false)) {
            bbox = {std::min(bbox.top, r.top), std::min(bbox.left, r.left),
                    std::max(bbox.bottom, r.bottom), std::max(bbox.right, r.right)};
            for (int v = r.top; v < r.bottom; v++)
                for (int h = r.left; h < r.right; h++) count[size_t(v)][size_t(h)]++;
        }
        for (int v = 0; v < kSide; v++)
            for (int h = 0; h < kSide; h++)
                ASSERT_EQ(count[size_t(v)][size_t(h)], grid[size_t(v)][size_t(h)] ? 1 : 0) << h << "," << v;
        ASSERT_EQ(rgn->bounds, bbox);
        CheckBands(rgn.get());
    };
    // Isolated cells first, so that the list grows past the length where additions wait.
    std::vector<LRect> cells;
    for (int v = 0; v < kSide; v += 2)
        for (int h = 0; h < kSide; h += 2) cells.push_back({v, h, v + 1, h + 1});
    std::shuffle(cells.begin(), cells.end(), rng);
    for (const LRect& r : cells) {
        VXAddRectToRgn(rgn.get(), &r);
        paint(r, true);
    }
    EXPECT_FALSE(rgn->pending.empty());
    check(0);
    for (int step = 1; step <= 3000; step++) {
        const int top = int(rng() % (kSide - 3)), left = int(rng() % (kSide - 3));
        const LRect r = {top, left, top + 1 + int(rng() % 3), left + 1 + int(rng() % 3)};
        if (step % 10 == 0) {
            VXSubtractRectFromRgn(rgn.get(), &r);
            paint(r, false);
        } else {
            VXAddRectToRgn(rgn.get(), &r);
            paint(r, true);
        }
        if (step % 250 == 0) check(step);
    }
    // A copy, and an operation with a region that still has pending additions.
    for (int k = 0; k < 1100; k++) {
        const LRect r = {k % kSide, 0, k % kSide + 1, 1};
        VXAddRectToRgn(rgn.get(), &r);
        paint(r, true);
    }
    RgnPtr copy(VXCopyRgn(rgn.get(), nullptr));
    RgnPtr diff(RgnOperation(rgn.get(), copy.get(), nullptr, kRgnXor));
    EXPECT_TRUE(VXIsEmptyRgn(diff.get()));
    check(-1);
}

// Regions of many small boxes take the sweeping paths of intersection tests and point tests.
TEST(Regions, ManyBoxesAgreeWithACellGrid) {
    constexpr int kSide = 64;
    std::mt19937 rng(test::TestSeed());
    SCOPED_TRACE(testing::Message() << "seed " << test::TestSeed());
    const uint64_t rounds = test::StressCount(40);
    for (uint64_t round = 0; round < rounds; round++) {
        std::vector<uint8_t> cellsA(kSide * kSide), cellsB(kSide * kSide);
        RgnPtr a(VXCreateRgn(nullptr)), b(VXCreateRgn(nullptr));
        std::vector<LRect> boxes;
        for (int i = 0; i < 300; i++) {
            const int top = int(rng() % (kSide - 3)), left = int(rng() % (kSide - 3));
            const LRect r = {top, left, top + 1 + int(rng() % 3), left + 1 + int(rng() % 3)};
            std::vector<uint8_t>& cells = (i % 2) ? cellsA : cellsB;
            for (int v = r.top; v < r.bottom; v++)
                for (int h = r.left; h < r.right; h++) cells[size_t(v * kSide + h)] = 1;
            if (i % 2) boxes.push_back(r);
            else VXAddRectToRgn(b.get(), &r);  // a plain list, cut into bands by the sweeps
        }
        VXAddRectsToRgn(a.get(), boxes.data(), boxes.size());
        CheckBands(a.get());
        bool meet = false;
        for (int op = kRgnDiff; op <= kRgnXor; op++) {
            RgnPtr out(RgnOperation(a.get(), b.get(), nullptr, op));
            CheckBands(out.get());
            for (int v = 0; v < kSide; v++)
                for (int h = 0; h < kSide; h++) {
                    const bool x = cellsA[size_t(v * kSide + h)], y = cellsB[size_t(v * kSide + h)];
                    const bool want = op == kRgnDiff ? (x && !y) : op == kRgnUnion ? (x || y)
                                    : op == kRgnSect ? (x && y) : (x != y);
                    ASSERT_EQ(VXPointInRgn(h, v, out.get()), want) << "op " << op << " at " << h << "," << v;
                    if (op == kRgnSect) meet |= want;
                }
        }
        EXPECT_EQ(VXSectRgn(a.get(), b.get(), nullptr), meet);
        EXPECT_EQ(VXSectRgn(b.get(), a.get(), nullptr), meet);
    }
    // Interleaved columns of boxes: the bounds overlap, the areas do not.
    RgnPtr even(VXCreateRgn(nullptr)), odd(VXCreateRgn(nullptr));
    for (int v = 0; v < kSide; v += 2)
        for (int h = 0; h < kSide; h++) {
            const LRect r = {v, h, v + 1, h + 1};
            VXAddRectToRgn(h % 2 ? odd.get() : even.get(), &r);
        }
    EXPECT_GT(even->rects.size() * odd->rects.size(), 4096u);
    EXPECT_FALSE(VXSectRgn(even.get(), odd.get(), nullptr));
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
    CheckBands(rgn);
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
        // Asking whether a rectangle meets the region answers from the grid and leaves the area
        // as it was (checked next).
        const LRect probe = randomRect();
        bool meets = false;
        for (int v = probe.top; v < probe.bottom; v++)
            for (int h = probe.left; h < probe.right; h++) meets |= grid[v][h];
        ASSERT_EQ(VXRectMeetsRgn(&probe, rgn), meets) << "step " << step;
        CheckAgainst(rgn, grid, step);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace plexa
