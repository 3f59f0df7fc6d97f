// Region speed: many overlapping additions (with the lazy band merge) and set operations.
#include <benchmark/benchmark.h>

#include <random>

#include "graphics/regions.h"

namespace plexa {
namespace {

LRect RandomRect(std::mt19937& rng) {
    const int32_t top = int32_t(rng() % 1000), left = int32_t(rng() % 1000);
    return {top, left, top + 1 + int32_t(rng() % 100), left + 1 + int32_t(rng() % 100)};
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

void BM_Operations(benchmark::State& state) {
    std::mt19937 rng(11);
    VXRgn* a = VXCreateRgn(nullptr);
    VXRgn* b = VXCreateRgn(nullptr);
    for (int i = 0; i < 200; i++) {
        const LRect ra = RandomRect(rng), rb = RandomRect(rng);
        VXAddRectToRgn(a, &ra);
        VXAddRectToRgn(b, &rb);
    }
    VXRgn* out = VXCreateRgn(nullptr);
    for (auto _ : state) {
        for (int32_t op = kRgnDiff; op <= kRgnXor; op++) RgnOperation(a, b, out, op);
        benchmark::DoNotOptimize(out->bounds);
    }
    VXDestroyRgn(a);
    VXDestroyRgn(b);
    VXDestroyRgn(out);
}
BENCHMARK(BM_Operations);

}  // namespace
}  // namespace plexa
BENCHMARK_MAIN();
