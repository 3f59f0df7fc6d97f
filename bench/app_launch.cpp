// The editor as a person starts it, timed on the program itself (a process of its own under the
// offscreen platform, playing a script: tests/support/scripted_run.h): from the start of the
// process to its first window drawn on screen, and, with a 30,000-symbol chain sheet
// (bench/chain_sheet.h, a designator text on each symbol) named on its command line, to the
// sheet window's first drawing; the start-up again on a virtual X display (Xvfb, with a window
// manager), where the windows are drawn through the X server. Each run also tells the program's
// peak memory (its largest resident set) at its first drawn window. Beside them, in the same run, the same sheet's load alone in
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
#include <signal.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/virtual_display.h"
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
// The most memory the process has held so far (its peak resident set), in KiB; 0 when unknown.
double PeakResidentKiB(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr);
    return 0;
}

struct Launch {
    double seconds = -1;  // from the start of the process to the window's first paint; < 0: failed
    double peakKiB = 0;   // the process's peak resident set once the window is drawn
};

// One run of the program, with extra environment entries: the time from its start to the first
// paint of the window the script waits for, and its peak memory at that moment (read while the
// script holds the program there, before it quits).
Launch FirstDrawing(const std::string& window, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {}) {
    test::ScriptedRun run(PLEXA_PROGRAM);
    for (const std::string& entry : environment) run.SetEnvironment(entry);
    const std::string go = run.dir().file("go");
    const std::string script = "wait-drawn " + window + "\nlog-drawn drawn " + window +
                               "\nlog measured\nwait-file " + go + "\nquit\n";
    const int64_t start = NowNanos();
    Launch launch;
    if (!run.Start(script, arguments)) return launch;
    const double peak = run.WaitForLog("measured") ? PeakResidentKiB(run.pid()) : 0;
    (void)test::WriteFile(go, "");
    const test::ScriptedRunResult result = run.Finish();
    const std::vector<std::string> drawn = result.Lines("drawn ");
    if (!result.Exited(0) || drawn.size() != 1 || peak <= 0) return launch;
    launch.seconds = double(std::stoll(drawn[0].substr(6)) - start) / 1e9;
    launch.peakKiB = peak;
    return launch;
}

void Time(benchmark::State& state, const std::string& window, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment = {}) {
    double peakMiB = 0;
    for (auto _ : state) {
        const Launch launch = FirstDrawing(window, arguments, environment);
        if (launch.seconds < 0) {
            state.SkipWithError("the program's run failed");
            break;
        }
        state.SetIterationTime(launch.seconds);
        peakMiB = std::max(peakMiB, launch.peakKiB / 1024);
    }
    // The largest of the runs' peaks.
    state.counters["peak_rss_MiB"] = peakMiB;
}

void BM_StartupToFirstWindowDrawn(benchmark::State& state) { Time(state, "Untitled*", {}); }
BENCHMARK(BM_StartupToFirstWindowDrawn)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// A window manager on the display, as a desktop has one; false when it did not come up.
bool StartWindowManager(const std::string& display, const std::string& home,
                        std::unique_ptr<test::ChildProcess>* manager) {
    if (access("/usr/bin/openbox", X_OK) != 0) return false;
    *manager = std::make_unique<test::ChildProcess>(
        "/usr/bin/openbox", std::vector<std::string>{"--sm-disable"},
        std::vector<std::string>{"DISPLAY=" + display, "HOME=" + home, "XDG_CONFIG_HOME=" + home,
                                 "XDG_CACHE_HOME=" + home, "XDG_DATA_HOME=" + home},
        home + "/openbox.log");
    // It is up once it has put its check window on the root.
    const std::string probe = "DISPLAY=" + display + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null";
    for (int i = 0; i < 1200 && (*manager)->Running(); ++i) {
        if (FILE* out = popen(probe.c_str(), "r")) {
            char line[256] = {};
            const bool up = fgets(line, sizeof line, out) && std::strstr(line, "window id");
            pclose(out);
            if (up) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The same start-up on a real X server: a virtual display of the run's own (Xvfb) with a window
// manager (openbox) when the machine has one, the program on its X11 platform. Skipped, saying
// so, when the machine has no Xvfb.
void BM_StartupToFirstWindowDrawnOnX(benchmark::State& state) {
    if (!test::VirtualDisplay::Available()) {
        std::fprintf(stderr, "BM_StartupToFirstWindowDrawnOnX skipped: Xvfb is not installed\n");
        state.SkipWithError("skipped: Xvfb is not installed (no virtual X display)");
        return;
    }
    test::VirtualDisplay display;
    if (display.name().empty()) {
        state.SkipWithError("skipped: the virtual X display did not start");
        return;
    }
    test::TempDir home;
    std::unique_ptr<test::ChildProcess> manager;
    const bool managed = StartWindowManager(display.name(), home.path(), &manager);
    if (!managed) std::fprintf(stderr, "BM_StartupToFirstWindowDrawnOnX: no window manager, timed without one\n");
    // In a sanitizer build the address checker's strict string mode is off for the program, as in
    // the real-input tests: Qt's X11 event thread duplicates strings in a way that mode flags.
    Time(state, "Untitled*", {},
         {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display.name(), "WAYLAND_DISPLAY=",
          "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0:detect_stack_use_after_return=1"});
    state.counters["window_manager"] = managed ? 1 : 0;
    if (manager && manager->Running()) {
        kill(manager->pid(), SIGTERM);
        manager->Wait();
    }
}
BENCHMARK(BM_StartupToFirstWindowDrawnOnX)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

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
