// Pasting a copied chain sheet (N two-pin symbols, each wired to the next: about 2N items) into an
// empty sheet, at three sizes; the time per item should stay flat as N grows. Copying the same
// selection is timed beside it.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/chain_sheet.h"
#include "bench/core_bench_main.h"
#include "foundation/ll.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetpaste.h"
#include "sheeteditor/sheetundo.h"

namespace plexa {
namespace {

void SelectAll(SheetRecord* sheet) {
    for (void* s = LLFirst(sheet->symbolList); s; s = LLGetNext(sheet->symbolList, s))
        static_cast<SymbolRecord*>(s)->flags |= kSymbolFlagSelected;
    for (void* n = LLFirst(sheet->signalList); n; n = LLGetNext(sheet->signalList, n)) {
        WireList wires = (*static_cast<SignalHandle>(n))->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) (*w)->flags |= kWireFlagSelected;
    }
}

void BM_PasteChain(benchmark::State& state) {
    const int64_t n = state.range(0);
    bench::Chain chain(n);
    SelectAll(chain.sheet);
    CopySheetSelection(chain.sheet, false);
    for (auto _ : state) {
        state.PauseTiming();
        SheetRecord* target = CreateDrawing();
        if (!target) std::abort();
        state.ResumeTiming();
        PasteIntoSheet(target);
        state.PauseTiming();
        benchmark::DoNotOptimize(target->symbolList->count);
        ReleaseSheetUndo(target);
        DestroySheet(target);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * n);
    state.SetComplexityN(n);
    ReleaseClipboard();
}
BENCHMARK(BM_PasteChain)->Arg(1250)->Arg(2500)->Arg(5000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_CopyChain(benchmark::State& state) {
    const int64_t n = state.range(0);
    bench::Chain chain(n);
    SelectAll(chain.sheet);
    for (auto _ : state) CopySheetSelection(chain.sheet, false);
    state.SetItemsProcessed(state.iterations() * 2 * n);
    state.SetComplexityN(n);
    ReleaseClipboard();
}
BENCHMARK(BM_CopyChain)->Arg(1250)->Arg(2500)->Arg(5000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_sheeteditor_paste"); }
