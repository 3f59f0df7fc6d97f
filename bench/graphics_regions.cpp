// Region speed, each case beside the backing library's region doing the same in the same run:
// the four set operations on two regions of n item boxes, adding n disjoint item boxes to a
// region (one at a time, and gathered and built at once), and the update region of a drag of n
// items (each item's box before and after the move). Also many overlapping random additions
// with the lazy band merge.
#include <benchmark/benchmark.h>

#include "bench/core_bench_main.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "graphics/regions.h"
#include "platform/baseline_platform.h"

namespace plexa {
namespace {

LRect RandomRect(std::mt19937& rng) {
    const int32_t top = int32_t(rng() % 1000), left = int32_t(rng() % 1000);
    return {top, left, top + 1 + int32_t(rng() % 100), left + 1 + int32_t(rng() % 100)};
}

std::vector<BaselineRect> ToBaseline(const std::vector<LRect>& rects) {
    std::vector<BaselineRect> out;
    for (const LRect& r : rects) out.push_back({r.top, r.left, r.bottom, r.right});
    return out;
}

// n boxes of 30 by 30 on a 40-unit grid of rows and columns, moved by (shift, shift).
std::vector<LRect> GridBoxes(int64_t n, int32_t shift) {
    const auto cols = int32_t(std::ceil(std::sqrt(double(n) * 2)));
    std::vector<LRect> out;
    for (int32_t i = 0; i < n; i++) {
        const int32_t top = (i / cols) * 40 + shift, left = (i % cols) * 40 + shift;
        out.push_back({top, left, top + 30, left + 30});
    }
    return out;
}

// n disjoint boxes of random sizes, one in each cell of a grid, in random order.
std::vector<LRect> DisjointBoxes(int64_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    const auto cols = int32_t(std::ceil(std::sqrt(double(n) * 16 / 9)));
    std::vector<LRect> out;
    for (int32_t i = 0; i < n; i++) {
        const int32_t top = (i / cols) * 48 + int32_t(rng() % 8), left = (i % cols) * 64 + int32_t(rng() % 8);
        out.push_back({top, left, top + 16 + int32_t(rng() % 24), left + 20 + int32_t(rng() % 36)});
    }
    std::shuffle(out.begin(), out.end(), rng);
    return out;
}

// The boxes of n items of a sheet before and after a move by (37, 23).
std::vector<LRect> DragBoxes(int64_t n) {
    std::vector<LRect> items = DisjointBoxes(n, 3);
    std::vector<LRect> out;
    for (const LRect& r : items) {
        out.push_back(r);
        out.push_back({r.top + 23, r.left + 37, r.bottom + 23, r.right + 37});
    }
    return out;
}

VXRgn* Built(const std::vector<LRect>& rects) {
    VXRgn* rgn = VXCreateRgn(nullptr);
    VXAddRectsToRgn(rgn, rects.data(), rects.size());
    return rgn;
}

VXRgn* AddedOneByOne(const std::vector<LRect>& rects) {
    VXRgn* rgn = VXCreateRgn(nullptr);
    for (const LRect& r : rects) VXAddRectToRgn(rgn, &r);
    return rgn;
}

void BM_AddRects(benchmark::State& state) {
    for (auto _ : state) {
        std::mt19937 rng(7);
        VXRgn* rgn = VXCreateRgn(nullptr);
        for (int64_t i = 0; i < state.range(0); i++) {
            const LRect r = RandomRect(rng);
            VXAddRectToRgn(rgn, &r);
        }
        benchmark::DoNotOptimize(VXGetRgnRects(rgn, false, nullptr, 0, true));
        VXDestroyRgn(rgn);
    }
}
BENCHMARK(BM_AddRects)->Arg(100)->Arg(1000);

// The four operations on two regions of n grid boxes each, the second moved by half a box.
// (Operands added one at a time are cut into bands by their first operation.)
void BM_Operations(benchmark::State& state) {
    const std::vector<LRect> a = GridBoxes(state.range(0), 0), b = GridBoxes(state.range(0), 15);
    VXRgn* ra = Built(a);
    VXRgn* rb = Built(b);
    VXRgn* out = VXCreateRgn(nullptr);
    size_t rects = 0;
    for (auto _ : state) {
        rects = 0;
        for (int32_t op = kRgnDiff; op <= kRgnXor; op++) {
            RgnOperation(ra, rb, out, op);
            rects += out->rects.size();
        }
        benchmark::DoNotOptimize(rects);
    }
    state.counters["operand rects"] = double(ra->rects.size());
    state.counters["result rects"] = double(rects);
    VXDestroyRgn(ra);
    VXDestroyRgn(rb);
    VXDestroyRgn(out);
}
BENCHMARK(BM_Operations)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_OperationsBaseline(benchmark::State& state) {
    const std::vector<BaselineRect> a = ToBaseline(GridBoxes(state.range(0), 0));
    const std::vector<BaselineRect> b = ToBaseline(GridBoxes(state.range(0), 15));
    BaselineRegion* ra = BaselineRegionCreate(a.data(), a.size());
    BaselineRegion* rb = BaselineRegionCreate(b.data(), b.size());
    size_t rects = 0;
    for (auto _ : state) {
        rects = 0;
        for (int op = 0; op < 4; op++) rects += BaselineRegionOperation(ra, rb, op);
        benchmark::DoNotOptimize(rects);
    }
    state.counters["operand rects"] = double(BaselineRegionCount(ra));
    state.counters["result rects"] = double(rects);
    BaselineRegionDispose(ra);
    BaselineRegionDispose(rb);
}
BENCHMARK(BM_OperationsBaseline)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// n disjoint item boxes into a region: argument 1 gathered and built at once, 0 one at a time.
void BM_AddBoxes(benchmark::State& state) {
    const std::vector<LRect> boxes = DisjointBoxes(state.range(0), 9);
    size_t rects = 0;
    for (auto _ : state) {
        VXRgn* rgn = state.range(1) ? Built(boxes) : AddedOneByOne(boxes);
        rects = VXGetRgnRects(rgn, false, nullptr, 0, false);
        VXDestroyRgn(rgn);
    }
    state.counters["rects"] = double(rects);
}
BENCHMARK(BM_AddBoxes)
    ->ArgsProduct({{3000, 10000, 30000}, {1}})
    ->Args({3000, 0})
    ->Args({10000, 0})
    ->Args({30000, 0})
    ->Unit(benchmark::kMillisecond);

// The backing library's region gathered from the rectangles, as often as the state asks.
void BuildBaseline(benchmark::State& state, const std::vector<LRect>& rects) {
    const std::vector<BaselineRect> boxes = ToBaseline(rects);
    size_t count = 0;
    for (auto _ : state) {
        BaselineRegion* rgn = BaselineRegionCreate(boxes.data(), boxes.size());
        count = BaselineRegionCount(rgn);
        BaselineRegionDispose(rgn);
    }
    state.counters["rects"] = double(count);
}

void BM_AddBoxesBaseline(benchmark::State& state) { BuildBaseline(state, DisjointBoxes(state.range(0), 9)); }
BENCHMARK(BM_AddBoxesBaseline)->Arg(3000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

// The update region of a drag of n items: the boxes before and after, gathered and built once.
void BM_DragUpdate(benchmark::State& state) {
    const std::vector<LRect> boxes = DragBoxes(state.range(0));
    size_t rects = 0;
    for (auto _ : state) {
        VXRgn* rgn = Built(boxes);
        rects = rgn->rects.size();
        VXDestroyRgn(rgn);
    }
    state.counters["rects"] = double(rects);
}
BENCHMARK(BM_DragUpdate)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_DragUpdateBaseline(benchmark::State& state) { BuildBaseline(state, DragBoxes(state.range(0))); }
BENCHMARK(BM_DragUpdateBaseline)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace plexa
int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_graphics_regions"); }
