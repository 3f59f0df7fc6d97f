// A series chain of N two-pin symbols joined by N wires on a grid, drawn as the sheet editor
// draws wires: building the whole chain, adding one more wire to the built sheet, and joining two
// of its nets with a wire and splitting them again by deleting that wire. N = 1,000, 10,000 and
// 30,000 (near the largest sheet a file can hold).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "foundation/memory.h"
#include "graphics/textstyle.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "bench/chain_sheet.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "bench/core_bench_main.h"

namespace plexa {
namespace {

using namespace bench;


// The nets stay unnamed: wires, pins, integration and the signal list's index.
void BM_BuildChain(benchmark::State& state) {
    const int64_t n = state.range(0);
    for (auto _ : state) {
        Chain chain(n);
        benchmark::DoNotOptimize(chain.sheet->signalList->count);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_BuildChain)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)
    ->Complexity();

// Each new net takes the next generated name, as the editor names it; storing a name searches
// the sheet's string block for it (overlay), which grows with the sheet.
void BM_BuildChainNamed(benchmark::State& state) {
    const int64_t n = state.range(0);
    for (auto _ : state) {
        Chain chain(n, true);
        benchmark::DoNotOptimize(chain.sheet->signalList->count);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_BuildChainNamed)->Arg(1000)->Arg(10000)->Arg(30000)
    ->Unit(benchmark::kMillisecond)->Complexity();

// A wire from the middle of a chain wire in the middle of the sheet down into the open: found by
// a hit test, split there with a T-junction, then deleted again outside the timing.
void BM_AddOneWire(benchmark::State& state) {
    const int64_t n = state.range(0);
    Chain chain(n);
    const int64_t i = n / 2;
    const Point from = At(int16_t(Pin1(i).h + 10), Pin1(i).v);
    const Point to = At(from.h, int16_t(from.v + 10));
    for (auto _ : state) {
        SignalHandle signal = chain.driver->Draw({from, to});
        state.PauseTiming();
        WireHandle added = HitTestWireList((*signal)->wires, to, 0, false, nullptr, nullptr);
        chain.driver->Delete(signal, added);
        state.ResumeTiming();
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_AddOneWire)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMicrosecond)
    ->Complexity();

// Two neighbouring nets of the chain joined by a wire between their wires, then split again by
// deleting that wire (which gives one of them a fresh name).
void JoinAndSplit(benchmark::State& state, bool named) {
    const int64_t n = state.range(0);
    Chain chain(n, named);
    const int64_t i = n / 2;
    const Point a = At(int16_t(Pin1(i).h + 10), Pin1(i).v);
    const Point b = At(int16_t(Pin1(i + 1).h + 10), Pin1(i + 1).v);
    const Point corner = At(a.h, int16_t(a.v + 10));
    const Point corner2 = At(b.h, int16_t(b.v + 10));
    for (auto _ : state) {
        SignalHandle joined = chain.driver->Draw({a, corner, corner2, b});
        WireHandle link = HitTestWireList((*joined)->wires, At(int16_t(a.h + 5), corner.v), 0,
                                          false, nullptr, nullptr);
        chain.driver->Delete(joined, link);
    }
    state.SetComplexityN(n);
}

void BM_JoinAndSplitNets(benchmark::State& state) { JoinAndSplit(state, false); }
BENCHMARK(BM_JoinAndSplitNets)->Arg(1000)->Arg(10000)->Arg(30000)
    ->Unit(benchmark::kMicrosecond)->Complexity();

// The same on a chain whose nets all carry generated names: the fresh name of the split is stored
// with the string block's overlay search.
void BM_JoinAndSplitNamedNets(benchmark::State& state) { JoinAndSplit(state, true); }
BENCHMARK(BM_JoinAndSplitNamedNets)->Arg(1000)->Arg(10000)->Arg(30000)
    ->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_model_wires");
}
