// Netlisting speed: designs built in code and saved as sheet files, then netlisted: the sheet
// files opened, the unified netlist database built (the walk, the passes, joining and naming).
//   Flat/N: one sheet with a series chain of N annotated resistors placed on a grid in rows of
//     100, each link one named signal (where a row wraps, the signal that a pair of labels of one
//     name makes), the chain's ends labelled IN and OUT (N + 1 nets).
//   Hierarchical/M: M instances of a CELL sheet holding a chain of 10 resistors between its ports
//     IN and OUT, chained in GROUP sheets of 1,000 cells each (a sheet file holds at most 65,535
//     symbols), the groups chained on the root sheet; designators qualified per instance
//     (10 x M resistors, 9 local nets per cell and 999 per group, split per instance and
//     qualified).
// Counters: rows made, the time of opening the files (part of the time measured), the peak
// resident memory of the process while the benchmark ran (peakMB: freed memory is handed back and
// the peak reset when it starts, so earlier runs do not carry over) and that peak above the
// resident size at the start (netlistMB: what opening and netlisting took).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <malloc.h>
#include <unistd.h>

#include "design/netlistdb.h"
#include "design/tests/netlist_fixture.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "bench/core_bench_main.h"

namespace plexa {
namespace {

using netfix::Design;

// A line "Key:   N kB" of the process's status, in MB.
double StatusMB(const char* key) {
    double kb = 0;
    const size_t length = std::strlen(key);
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, key, length) == 0) kb = std::atof(line + length);
        std::fclose(f);
    }
    return kb / 1024.0;
}

// The process's peak resident memory is measured from here: what earlier runs freed is handed
// back to the system first, so that neither their peak nor their freed memory carries over, and
// the resident size at the start is kept.
double ResetPeak() {
    malloc_trim(0);
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
    return StatusMB("VmRSS:");
}

double PeakMB() { return StatusMB("VmHWM:"); }

// The design's sheets as files in a fresh folder, removed with the object. The sheets built in
// code are freed once saved; `Open` reads the files back into the design.
struct SavedDesign {
    std::unique_ptr<Design> design;
    std::string folder;
    std::vector<std::string> names;

    explicit SavedDesign(std::unique_ptr<Design> d) : design(std::move(d)) {
        char name[] = "/tmp/plexa-netlist-bench.XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        for (auto& [sheetName, sheet] : design->sheets) {
            names.push_back(sheetName);
            const FileSpec spec = Spec(sheetName);
            if (OSStatus st = WriteSheetFile(sheet, &spec)) {
                std::fprintf(stderr, "saving %s failed: %d\n", sheetName.c_str(), int(st));
                std::abort();
            }
            DestroySheet(sheet);
        }
        design->sheets.clear();
    }
    ~SavedDesign() {
        Close();
        for (const std::string& name : names) std::remove((folder + "/" + name).c_str());
        rmdir(folder.c_str());
    }
    FileSpec Spec(const std::string& name) const {
        FileSpec spec;
        (void)FileSpecFromURL(folder + "/" + name, &spec, false, nullptr);  // a bad path shows when the file is opened
        return spec;
    }
    OSStatus Open() {
        for (const std::string& name : names) {
            const FileSpec spec = Spec(name);
            SheetRecord* sheet = nullptr;
            if (OSStatus st = LoadSheetFile(&spec, &sheet)) return st;
            design->sheets[name] = sheet;
        }
        return 0;
    }
    void Close() {
        for (auto& [name, sheet] : design->sheets) DestroySheet(sheet);
        design->sheets.clear();
    }
};

std::unique_ptr<Design> FlatChain(int32_t n) {
    auto d = std::make_unique<Design>(2);
    SheetRecord* sheet = d->AddSheet("CHAIN.SHX");
    d->FinishSpecs();
    SheetNode* node = d->AddNode(nullptr, "CHAIN.SHX", 0);
    ComponentRecord* res = Design::MakeComponent(sheet, "RES", "R", 1, 2);
    std::vector<SymbolRecord*> parts;
    parts.reserve(size_t(n));
    const int32_t perRow = 100;
    for (int32_t i = 0; i < n; ++i) {
        SymbolRecord* r = Design::Place(sheet, res, int16_t((i / perRow) * 40 % 30000), int16_t((i % perRow) * 60));
        Design::SetAttribute(sheet, r, "Value", "10k");
        d->Annotate("CHAIN.SHX", r, node, ("R" + std::to_string(i + 1)).c_str());
        parts.push_back(r);
    }
    Design::Net(sheet, "IN", {{parts.front(), 0}});
    for (int32_t i = 0; i + 1 < n; ++i)
        Design::Net(sheet, ("N" + std::to_string(i + 1)).c_str(), {{parts[size_t(i)], 1}, {parts[size_t(i) + 1], 0}});
    Design::Net(sheet, "OUT", {{parts.back(), 1}});
    return d;
}

// A sheet chaining `count` sheet symbols of `child` between its ends `in` and `out`; with ports,
// the ends are the sheet's ports IN and OUT.
std::vector<SymbolRecord*> ChainOfSymbols(SheetRecord* sheet, const char* child, int32_t count, bool ports) {
    std::vector<SymbolRecord*> symbols;
    symbols.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) symbols.push_back(Design::SheetSymbol(sheet, child, {"IN", "OUT"}));
    if (ports) {
        SymbolRecord* in = Design::Port(sheet, "IN");
        SymbolRecord* out = Design::Port(sheet, "OUT");
        Design::Net(sheet, "IN", {{in, 0}, {symbols.front(), 0}});
        Design::Net(sheet, "OUT", {{symbols.back(), 1}, {out, 0}});
    } else {
        Design::Net(sheet, "IN", {{symbols.front(), 0}});
        Design::Net(sheet, "OUT", {{symbols.back(), 1}});
    }
    for (int32_t i = 0; i + 1 < count; ++i)
        Design::Net(sheet, ("N" + std::to_string(i + 1)).c_str(), {{symbols[size_t(i)], 1}, {symbols[size_t(i) + 1], 0}});
    return symbols;
}

std::unique_ptr<Design> HierarchicalChain(int32_t m) {
    constexpr int32_t kCellsPerGroup = 1000;
    const int32_t groups = (m + kCellsPerGroup - 1) / kCellsPerGroup;
    auto d = std::make_unique<Design>(1);
    SheetRecord* root = d->AddSheet("ROOT.SHX");
    SheetRecord* group = d->AddSheet("GROUP.SHX");
    SheetRecord* cell = d->AddSheet("CELL.SHX");
    d->FinishSpecs();
    d->project->settings.qualifyDesignators = 1;
    d->project->settings.instanceNamePlace = 1;

    ComponentRecord* res = Design::MakeComponent(cell, "RES", "R", 1, 2);
    std::vector<SymbolRecord*> parts;
    for (int32_t i = 0; i < 10; ++i) {
        SymbolRecord* r = Design::Place(cell, res, 0, int16_t(i * 60));
        SetSymbolRefName(r, cell->stringBlock, ("R" + std::to_string(i + 1)).c_str());
        Design::SetAttribute(cell, r, "Value", "10k");
        parts.push_back(r);
    }
    SymbolRecord* in = Design::Port(cell, "IN");
    SymbolRecord* out = Design::Port(cell, "OUT");
    Design::Net(cell, "IN", {{in, 0}, {parts.front(), 0}});
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        Design::Net(cell, ("M" + std::to_string(i + 1)).c_str(), {{parts[i], 1}, {parts[i + 1], 0}});
    Design::Net(cell, "OUT", {{parts.back(), 1}, {out, 0}});

    const std::vector<SymbolRecord*> cells = ChainOfSymbols(group, "CELL.SHX", std::min(m, kCellsPerGroup), true);
    const std::vector<SymbolRecord*> groupSymbols = ChainOfSymbols(root, "GROUP.SHX", groups, false);
    SheetNode* top = d->AddNode(nullptr, "ROOT.SHX", 0);
    int32_t made = 0;
    for (int32_t g = 0; g < groups; ++g) {
        SheetNode* node = d->AddNode(top, "GROUP.SHX", groupSymbols[size_t(g)]->serial, ("G" + std::to_string(g + 1)).c_str());
        for (int32_t c = 0; c < kCellsPerGroup && made < m; ++c, ++made)
            d->AddNode(node, "CELL.SHX", cells[size_t(c)]->serial, ("X" + std::to_string(c + 1)).c_str());
    }
    return d;
}

void RunNetlist(benchmark::State& state, SavedDesign* saved) {
    const double startMB = ResetPeak();
    size_t comps = 0, nets = 0, pins = 0;
    double openSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (OSStatus st = saved->Open()) {
            state.SkipWithError(("open failed: " + std::to_string(st)).c_str());
            break;
        }
        openSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        UnifiedDBRecord db;
        InitUnifiedDB(&db);
        const OSStatus st = CreateUnifiedDB(saved->design->project, nullptr, kUDBDescend, &db);
        if (st) {
            state.SkipWithError(("build failed: " + std::to_string(st)).c_str());
            break;
        }
        state.PauseTiming();
        comps = db.compOrder.size();
        nets = db.netOrder.size();
        pins = db.pins.size();
        DestroyUnifiedDB(&db);
        saved->Close();
        state.ResumeTiming();
    }
    state.counters["comps"] = double(comps);
    state.counters["nets"] = double(nets);
    state.counters["pins"] = double(pins);
    state.counters["peakMB"] = PeakMB();
    state.counters["netlistMB"] = PeakMB() - startMB;
    state.counters["openMs"] = 1000.0 * openSeconds / double(std::max<int64_t>(state.iterations(), 1));
}

void BM_NetlistFlat(benchmark::State& state) {
    SavedDesign saved(FlatChain(int32_t(state.range(0))));
    RunNetlist(state, &saved);
}

void BM_NetlistHierarchical(benchmark::State& state) {
    SavedDesign saved(HierarchicalChain(int32_t(state.range(0))));
    RunNetlist(state, &saved);
}

BENCHMARK(BM_NetlistFlat)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetlistHierarchical)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_design_netlist");
}
