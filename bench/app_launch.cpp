// The editor as a person starts it, timed on the program itself (a process of its own under the
// offscreen platform, playing a script: tests/support/scripted_run.h): from the start of the
// process to its first window drawn on screen, and, with a 30,000-symbol chain sheet
// (bench/chain_sheet.h, a designator text on each symbol) named on its command line, to the
// sheet window's first drawing. Beside them, in the same run, the same sheet's load alone in
// this process. The windows' times come from the platform's record of each window's first paint
// on the system's monotonic clock, which both processes share.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "bench/chain_sheet.h"
#include "bench/core_bench_main.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#ifdef PLEXA_PROGRAM
#include "tests/support/scripted_run.h"
#endif

namespace plexa {
namespace {

constexpr int64_t kSymbols = 30000;
std::string gFolder;
std::string gSheetPath;  // the chain sheet, written once before the benchmarks

int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

FileSpec SpecAt(const std::string& path) {
    FileSpec spec;
    (void)FileSpecFromURL(path, &spec, false, nullptr);  // a bad path shows when the file is opened
    return spec;
}

void WriteChainSheet() {
    char name[] = "/tmp/plexa-bench-launch.XXXXXX";
    if (!mkdtemp(name)) return;
    gFolder = name;
    gSheetPath = gFolder + "/chain.SHX";
    bench::Chain chain(kSymbols);
    int64_t i = 0;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(chain.sheet->symbolList)); s; s = s->next, ++i) {
        const std::string text = "R" + std::to_string(i + 1);
        TextRecord* record = CreateDrawingText(chain.sheet, kTextKindDesignator, 0, bench::Pin0(i), text.c_str());
        record->owner = TextOwnerSerial(s->serial);
    }
    const FileSpec spec = SpecAt(gSheetPath);
    if (WriteSheetFile(chain.sheet, &spec) != 0) gSheetPath.clear();
}

#ifdef PLEXA_PROGRAM
// One run of the program: the time from its start to the first paint of the window the script
// waits for, or a negative number when the run failed.
double SecondsToFirstDrawing(const std::string& window, const std::vector<std::string>& arguments) {
    test::ScriptedRun run(PLEXA_PROGRAM);
    const std::string script = "wait-drawn " + window + "\nlog-drawn drawn " + window + "\nquit\n";
    const int64_t start = NowNanos();
    if (!run.Start(script, arguments)) return -1;
    const test::ScriptedRunResult result = run.Finish();
    const std::vector<std::string> drawn = result.Lines("drawn ");
    if (!result.Exited(0) || drawn.size() != 1) return -1;
    return double(std::stoll(drawn[0].substr(6)) - start) / 1e9;
}

void Time(benchmark::State& state, const std::string& window, const std::vector<std::string>& arguments) {
    for (auto _ : state) {
        const double seconds = SecondsToFirstDrawing(window, arguments);
        if (seconds < 0) {
            state.SkipWithError("the program's run failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_StartupToFirstWindowDrawn(benchmark::State& state) { Time(state, "Untitled*", {}); }
BENCHMARK(BM_StartupToFirstWindowDrawn)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_OpenSheetFromCommandLineToFirstDrawing(benchmark::State& state) {
    if (gSheetPath.empty()) {
        state.SkipWithError("the sheet could not be written");
        return;
    }
    Time(state, "chain", {gSheetPath});
    state.counters["symbols"] = double(kSymbols);
}
BENCHMARK(BM_OpenSheetFromCommandLineToFirstDrawing)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
#endif

// The same sheet read into a sheet record in this process, without a window.
void BM_LoadSheetAlone(benchmark::State& state) {
    if (gSheetPath.empty()) {
        state.SkipWithError("the sheet could not be written");
        return;
    }
    const FileSpec spec = SpecAt(gSheetPath);
    for (auto _ : state) {
        SheetRecord* sheet = nullptr;
        if (LoadSheetFile(&spec, &sheet) != 0) {
            state.SkipWithError("the load failed");
            break;
        }
        state.PauseTiming();
        DestroySheet(sheet);
        state.ResumeTiming();
    }
    state.counters["symbols"] = double(kSymbols);
}
BENCHMARK(BM_LoadSheetAlone)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    const int result = plexa::RunCoreBenchmarks(argc, argv, "bench_app_launch", plexa::WriteChainSheet);
    if (!plexa::gSheetPath.empty()) std::remove(plexa::gSheetPath.c_str());
    if (!plexa::gFolder.empty()) rmdir(plexa::gFolder.c_str());
    return result;
}
