// The sheet's lists as they grow: N symbols added to a sheet one after another (each goes to the
// end of the symbol list), beside a std::vector of the same records filled in the same order; and
// the canonical dump of the chain sheet (bench/chain_sheet.h) with a label on every net, whose
// label listing reads each net's labels. N = 1,000, 10,000 and 30,000; the closing table gives
// the growth of each path's median time from one size to the next.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/chain_sheet.h"
#include "bench/side_by_side.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "bench/core_bench_main.h"

namespace plexa {
namespace {

constexpr int64_t kSizes[] = {1000, 10000, 30000};

void BM_AddSymbols(benchmark::State& state) {
    const int64_t n = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        SheetRecord* sheet = CreateDrawing();
        state.ResumeTiming();
        for (int64_t i = 0; i < n; ++i) AddSymbolToSheet(sheet, CreateSymbol());
        benchmark::DoNotOptimize(sheet->symbolList->count);
        state.PauseTiming();
        DestroySheet(sheet);
        state.ResumeTiming();
    }
}

// The same records made and kept in a vector: what the appends cost beyond making the symbols.
void BM_AddSymbolsVector(benchmark::State& state) {
    const int64_t n = state.range(0);
    for (auto _ : state) {
        std::vector<SymbolRecord*> symbols;
        for (int64_t i = 0; i < n; ++i) symbols.push_back(CreateSymbol());
        benchmark::DoNotOptimize(symbols.data());
        state.PauseTiming();
        for (SymbolRecord* s : symbols) DestroySymbol(s);
        state.ResumeTiming();
    }
}

// The chain with one label on a wire of every net.
struct LabelledChain : bench::Chain {
    explicit LabelledChain(int64_t n) : bench::Chain(n, true) {
        int64_t i = 0;
        for (auto s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
             s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s)), ++i) {
            const std::string name = "NET" + std::to_string(i + 1);
            TextRecord* text = CreateDrawingText(sheet, kTextKindSignal, 0, bench::Pin1(i), name.c_str());
            text->owner = SignalOwnerWord(s);
        }
    }
};

void BM_DumpLabelledSheet(benchmark::State& state) {
    LabelledChain chain(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) bytes = DumpSheet(chain.sheet, kDumpSignals).size();
    state.counters["dump_bytes"] = double(bytes);
}

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    using namespace plexa;
    return RunCoreBenchmarks(argc, argv, "bench_model_sheetlists", [] {
        for (int64_t n : kSizes) {
            benchmark::RegisterBenchmark("BM_AddSymbols", BM_AddSymbols)->Arg(n)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("BM_AddSymbolsVector", BM_AddSymbolsVector)->Arg(n)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("BM_DumpLabelledSheet", BM_DumpLabelledSheet)->Arg(n)->Unit(benchmark::kMillisecond);
        }
    }, {{"adding N symbols to a sheet", "BM_AddSymbols", "BM_AddSymbolsVector"},
        {"sheet dump of nets with labels", "BM_DumpLabelledSheet", ""}},
       "The sheet's lists (CPU time; ratio above 1: slower than the baseline)");
}
