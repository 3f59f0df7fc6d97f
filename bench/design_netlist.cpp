// Netlisting speed: the unified netlist database built (the walk, the passes, joining and naming)
// for designs made in code.
//   Flat/N: one sheet with a series chain of N annotated resistors placed on a grid, the chain's
//     ends labelled IN and OUT (N + 1 nets).
//   Hierarchical/M: a root sheet chaining M sheet symbols of one child sheet that holds a chain of
//     10 resistors between its ports IN and OUT, designators qualified per instance (10 x M
//     resistors, 9 local nets per instance split per instance and qualified).
// Sheets are built in memory: saving and opening sheet files is not part of the figures until the
// files layer stores sheet contents. Counters: rows made, the resident memory of the design
// before the build, and the peak resident memory of the process after it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

#include "design/netlistdb.h"
#include "design/tests/netlist_fixture.h"

namespace plexa {
namespace {

using netfix::Design;

double ResidentMB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double PeakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

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

std::unique_ptr<Design> HierarchicalChain(int32_t m) {
    auto d = std::make_unique<Design>(1);
    SheetRecord* root = d->AddSheet("ROOT.SHX");
    SheetRecord* child = d->AddSheet("CELL.SHX");
    d->FinishSpecs();
    d->project->settings.qualifyDesignators = 1;
    d->project->settings.instanceNamePlace = 1;

    ComponentRecord* res = Design::MakeComponent(child, "RES", "R", 1, 2);
    std::vector<SymbolRecord*> parts;
    for (int32_t i = 0; i < 10; ++i) {
        SymbolRecord* r = Design::Place(child, res, 0, int16_t(i * 60));
        SetSymbolRefName(r, child->stringBlock, ("R" + std::to_string(i + 1)).c_str());
        Design::SetAttribute(child, r, "Value", "10k");
        parts.push_back(r);
    }
    SymbolRecord* in = Design::Port(child, "IN");
    SymbolRecord* out = Design::Port(child, "OUT");
    Design::Net(child, "IN", {{in, 0}, {parts.front(), 0}});
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        Design::Net(child, ("M" + std::to_string(i + 1)).c_str(), {{parts[i], 1}, {parts[i + 1], 0}});
    Design::Net(child, "OUT", {{parts.back(), 1}, {out, 0}});

    SheetNode* top = d->AddNode(nullptr, "ROOT.SHX", 0);
    std::vector<SymbolRecord*> cells;
    cells.reserve(size_t(m));
    for (int32_t i = 0; i < m; ++i) cells.push_back(Design::SheetSymbol(root, "CELL.SHX", {"IN", "OUT"}));
    Design::Net(root, "IN", {{cells.front(), 0}});
    for (int32_t i = 0; i + 1 < m; ++i)
        Design::Net(root, ("N" + std::to_string(i + 1)).c_str(), {{cells[size_t(i)], 1}, {cells[size_t(i) + 1], 0}});
    Design::Net(root, "OUT", {{cells.back(), 1}});
    for (int32_t i = 0; i < m; ++i)
        d->AddNode(top, "CELL.SHX", cells[size_t(i)]->serial, ("X" + std::to_string(i + 1)).c_str());
    return d;
}

void RunBuild(benchmark::State& state, Design* d) {
    const double before = ResidentMB();
    size_t comps = 0, nets = 0, pins = 0;
    for (auto _ : state) {
        UnifiedDBRecord db;
        InitUnifiedDB(&db);
        const OSStatus st = CreateUnifiedDB(d->project, nullptr, kUDBDescend, &db);
        if (st) {
            state.SkipWithError(("build failed: " + std::to_string(st)).c_str());
            break;
        }
        comps = db.compOrder.size();
        nets = db.netOrder.size();
        pins = db.pins.size();
        DestroyUnifiedDB(&db);
    }
    state.counters["comps"] = double(comps);
    state.counters["nets"] = double(nets);
    state.counters["pins"] = double(pins);
    state.counters["designMB"] = before;
    state.counters["peakMB"] = PeakMB();
}

void BM_NetlistFlat(benchmark::State& state) {
    auto d = FlatChain(int32_t(state.range(0)));
    RunBuild(state, d.get());
}

void BM_NetlistHierarchical(benchmark::State& state) {
    auto d = HierarchicalChain(int32_t(state.range(0)));
    RunBuild(state, d.get());
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

BENCHMARK_MAIN();
