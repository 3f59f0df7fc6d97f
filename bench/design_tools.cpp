// The netlist and report tools as whole processes, beside the in-process netlist of the same
// project file: designs made in code and saved once as sheet files and a project file beside
// them, then `netlist-dump PROJECT` and `report-run PROJECT SCRIPT` (the bill of materials) run
// as processes of their own, their output thrown away.
//   Flat/N: one sheet with a series chain of N resistors, each link one named signal, the ends
//     IN and OUT (N + 1 nets); designators on the symbols.
//   Hierarchical/M: M uses of a CELL sheet holding a chain of 10 resistors between its ports IN
//     and OUT, in GROUP sheets of 1,000 uses each, the groups chained on the root sheet;
//     designators qualified per instance (10 x M parts).
// The baseline (InProcess) opens the project as the tools do and builds the netlist database in
// this process; the whole process's time above it is what starting, checking and printing cost.
// Sizes: modest by default; PLEXA_BENCH_FULL=1 measures the full ones (flat 1k to 50k, the
// hierarchy 1k to 100k uses); PLEXA_BENCH_KEEP=1 keeps the projects written. The times measured are CPU times (user and system) of the child
// processes and of this one's netlist, which a machine that other work loads disturbs far less
// than wall-clock times; those are the counter wallMs.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/core_bench_main.h"
#include "design/netlistdb.h"
#include "design/tests/netlist_fixture.h"
#include "files/projectlife.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "model/sheetsymbols.h"
#include "tools/tool_support.h"

namespace plexa {
namespace {

using netfix::Design;

bool Full() {
    const char* full = std::getenv("PLEXA_BENCH_FULL");
    return full && *full && *full != '0';
}

FileSpec SpecAt(const std::string& path) {
    FileSpec spec;
    (void)FileSpecFromURL(path, &spec, false, nullptr);  // a bad path shows when the file is opened
    return spec;
}

// A resistor type of two passive pins on the sheet.
ComponentRecord* Resistor(SheetRecord* sheet) { return Design::MakeComponent(sheet, "RES", "R", 1, 2); }

SymbolRecord* PlaceResistor(SheetRecord* sheet, ComponentRecord* type, int32_t i, const std::string& designator) {
    constexpr int32_t kPerRow = 100;
    SymbolRecord* r = Design::Place(sheet, type, int16_t((i / kPerRow) * 40 % 30000), int16_t((i % kPerRow) * 60));
    Design::SetAttribute(sheet, r, "Value", "10k");
    SetSymbolRefName(r, sheet->stringBlock, designator.c_str());
    return r;
}

// A sheet chaining `count` sheet symbols of `child` named X1, X2, ... (G1, ... for groups); with
// ports, the chain's ends are the sheet's ports IN and OUT.
void ChainOfSheetSymbols(SheetRecord* sheet, const char* child, const char* prefix, int32_t count, bool ports) {
    std::vector<SymbolRecord*> symbols;
    for (int32_t i = 0; i < count; ++i) {
        SymbolRecord* s = Design::SheetSymbol(sheet, child, {"IN", "OUT"});
        SetSheetSymbolName(s, sheet->stringBlock, (prefix + std::to_string(i + 1)).c_str());
        s->position = {int16_t((i / 100) * 200 % 30000), int16_t((i % 100) * 200)};
        symbols.push_back(s);
    }
    SymbolRecord* in = ports ? Design::Port(sheet, "IN") : nullptr;
    SymbolRecord* out = ports ? Design::Port(sheet, "OUT") : nullptr;
    if (ports) {
        Design::Net(sheet, "IN", {{in, 0}, {symbols.front(), 0}});
        Design::Net(sheet, "OUT", {{symbols.back(), 1}, {out, 0}});
    } else {
        Design::Net(sheet, "IN", {{symbols.front(), 0}});
        Design::Net(sheet, "OUT", {{symbols.back(), 1}});
    }
    for (int32_t i = 0; i + 1 < count; ++i)
        Design::Net(sheet, ("N" + std::to_string(i + 1)).c_str(), {{symbols[size_t(i)], 1}, {symbols[size_t(i) + 1], 0}});
}

bool gQualify = false;

// The project of a design in a fresh folder: its sheets saved there, the project file beside them
// naming `top` as its top-level sheet. Removed with the object.
struct SavedProject {
    std::string folder, path;
    bool made = false;

    SavedProject(Design& design, const std::string& top, bool qualify) {
        char name[] = "/tmp/plexa-bench-tools.XXXXXX";
        folder = mkdtemp(name) ? name : "";
        if (folder.empty()) return;
        for (auto& [sheetName, sheet] : design.sheets) {
            const FileSpec spec = SpecAt(folder + "/" + sheetName);
            if (WriteSheetFile(sheet, &spec) != status::kNoErr) return;
        }
        path = folder + "/Bench.PRX";
        const FileSpec spec = SpecAt(path);
        ProjectRecord* project = nullptr;
        gQualify = qualify;
        const auto edit = [](ProjectRecord* p) {
            if (gQualify) {
                p->settings.qualifyDesignators = 1;
                p->settings.instanceNamePlace = 1;
            }
            return true;
        };
        if (CreateProjectAt(&spec, edit, &project) != status::kNoErr) return;
        bool ok = AddSubSheetReference(project, nullptr, top.c_str(), "", 0, 0) != nullptr &&
                  WriteProjectTopSheetRefs(project, true) == status::kNoErr;
        ok = CloseProject(project, kCloseProjectDiscard) == status::kNoErr && ok;
        made = ok;
    }
    ~SavedProject() {
        // PLEXA_BENCH_KEEP=1 keeps the projects, to profile the tools on them.
        const char* keep = std::getenv("PLEXA_BENCH_KEEP");
        if (keep && *keep && *keep != '0') std::fprintf(stderr, "kept %s\n", path.c_str());
        else if (!folder.empty()) std::filesystem::remove_all(folder);
    }
};

std::unique_ptr<SavedProject> FlatProject(int32_t n) {
    Design d(2);
    SheetRecord* sheet = d.AddSheet("FLAT.SHX");
    ComponentRecord* res = Resistor(sheet);
    std::vector<SymbolRecord*> parts;
    parts.reserve(size_t(n));
    for (int32_t i = 0; i < n; ++i) parts.push_back(PlaceResistor(sheet, res, i, "R" + std::to_string(i + 1)));
    Design::Net(sheet, "IN", {{parts.front(), 0}});
    for (int32_t i = 0; i + 1 < n; ++i)
        Design::Net(sheet, ("N" + std::to_string(i + 1)).c_str(), {{parts[size_t(i)], 1}, {parts[size_t(i) + 1], 0}});
    Design::Net(sheet, "OUT", {{parts.back(), 1}});
    return std::make_unique<SavedProject>(d, "FLAT.SHX", false);
}

std::unique_ptr<SavedProject> HierarchicalProject(int32_t m) {
    constexpr int32_t kCellsPerGroup = 1000;
    Design d(1);
    SheetRecord* root = d.AddSheet("ROOT.SHX");
    SheetRecord* group = d.AddSheet("GROUP.SHX");
    SheetRecord* cell = d.AddSheet("CELL.SHX");
    ComponentRecord* res = Resistor(cell);
    std::vector<SymbolRecord*> parts;
    for (int32_t i = 0; i < 10; ++i) parts.push_back(PlaceResistor(cell, res, i, "R" + std::to_string(i + 1)));
    SymbolRecord* in = Design::Port(cell, "IN");
    SymbolRecord* out = Design::Port(cell, "OUT");
    Design::Net(cell, "IN", {{in, 0}, {parts.front(), 0}});
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        Design::Net(cell, ("M" + std::to_string(i + 1)).c_str(), {{parts[i], 1}, {parts[i + 1], 0}});
    Design::Net(cell, "OUT", {{parts.back(), 1}, {out, 0}});
    // Every group but the last holds kCellsPerGroup uses; the last one's sheet holds the rest.
    const int32_t groups = (m + kCellsPerGroup - 1) / kCellsPerGroup;
    const int32_t last = m - (groups - 1) * kCellsPerGroup;
    ChainOfSheetSymbols(group, "CELL.SHX", "X", std::min(m, kCellsPerGroup), true);
    if (groups > 1 && last != kCellsPerGroup) {
        SheetRecord* rest = d.AddSheet("REST.SHX");
        ChainOfSheetSymbols(rest, "CELL.SHX", "X", last, true);
        ChainOfSheetSymbols(root, "GROUP.SHX", "G", groups - 1, false);
        SymbolRecord* tail = Design::SheetSymbol(root, "REST.SHX", {"IN", "OUT"});
        SetSheetSymbolName(tail, root->stringBlock, ("G" + std::to_string(groups)).c_str());
    } else {
        ChainOfSheetSymbols(root, "GROUP.SHX", "G", groups, false);
    }
    return std::make_unique<SavedProject>(d, "ROOT.SHX", true);
}

// Made once per design and size, for all the benchmarks that use it.
SavedProject* Project(bool hierarchical, int32_t size) {
    static std::map<std::pair<bool, int32_t>, std::unique_ptr<SavedProject>> made;
    auto& slot = made[{hierarchical, size}];
    if (!slot) slot = hierarchical ? HierarchicalProject(size) : FlatProject(size);
    return slot->made ? slot.get() : nullptr;
}

double ProcessCPUSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

#ifdef PLEXA_TOOLS_DIR
const std::string kToolsDir = PLEXA_TOOLS_DIR;
#else
const std::string kToolsDir;
#endif
#ifdef PLEXA_SOURCE_DIR
const std::string kBillOfMaterials = std::string(PLEXA_SOURCE_DIR) + "/resources/scripts/Bill of Materials.SXP";
#else
const std::string kBillOfMaterials;
#endif

void TimeProcess(benchmark::State& state, const std::string& tool, bool hierarchical, bool report) {
    SavedProject* project = Project(hierarchical, int32_t(state.range(0)));
    if (!project || kToolsDir.empty()) {
        state.SkipWithError(project ? "the tools' folder is not known" : "the project could not be made");
        return;
    }
    std::vector<std::string> arguments = {project->path};
    if (report) arguments.push_back(kBillOfMaterials);
    double wall = 0;
    for (auto _ : state) {
        ::bench::ChildTimes times;
        std::vector<std::string> argv = {kToolsDir + "/" + tool};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        if (!::bench::RunChild(argv, &times)) {
            state.SkipWithError((tool + " failed").c_str());
            break;
        }
        state.SetIterationTime(times.cpu);
        wall += times.wall;
    }
    state.counters["wallMs"] = 1000.0 * wall / double(std::max<int64_t>(state.iterations(), 1));
    state.SetComplexityN(state.range(0));
}

// The netlist of the project built in this process, as the tools open it.
void InProcess(benchmark::State& state, bool hierarchical) {
    SavedProject* project = Project(hierarchical, int32_t(state.range(0)));
    if (!project) {
        state.SkipWithError("the project could not be made");
        return;
    }
    size_t comps = 0;
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu = ProcessCPUSeconds();
        ProjectRecord* opened = tools::OpenToolProject("bench", project->path.c_str(), false);
        if (!opened) {
            state.SkipWithError("the project did not open");
            break;
        }
        UnifiedDBRecord db;
        InitUnifiedDB(&db);
        const OSStatus st = CreateUnifiedDB(opened, nullptr, kUDBDescend, &db);
        comps = db.compOrder.size();
        DestroyUnifiedDB(&db);
        (void)CloseProject(opened, kCloseProjectDiscard);  // discarded: nothing is written
        state.SetIterationTime(ProcessCPUSeconds() - cpu);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (st != status::kNoErr) {
            state.SkipWithError("the netlist was not built");
            break;
        }
    }
    state.counters["comps"] = double(comps);
    state.counters["wallMs"] = 1000.0 * wall / double(std::max<int64_t>(state.iterations(), 1));
    state.SetComplexityN(state.range(0));
}

void BM_NetlistDumpFlat(benchmark::State& state) { TimeProcess(state, "netlist-dump", false, false); }
void BM_NetlistDumpHierarchical(benchmark::State& state) { TimeProcess(state, "netlist-dump", true, false); }
void BM_ReportRunFlat(benchmark::State& state) { TimeProcess(state, "report-run", false, true); }
void BM_ReportRunHierarchical(benchmark::State& state) { TimeProcess(state, "report-run", true, true); }
void BM_InProcessFlat(benchmark::State& state) { InProcess(state, false); }
void BM_InProcessHierarchical(benchmark::State& state) { InProcess(state, true); }

// The start alone: a project of ten parts.
void BM_NetlistDumpSmall(benchmark::State& state) { TimeProcess(state, "netlist-dump", false, false); }

void Register() {
    const std::vector<int64_t> flat = Full() ? std::vector<int64_t>{1000, 3000, 10000, 30000, 50000}
                                             : std::vector<int64_t>{1000, 5000};
    const std::vector<int64_t> hierarchical = Full() ? std::vector<int64_t>{1000, 3000, 10000, 30000, 100000}
                                                     : std::vector<int64_t>{1000, 5000};
    const auto add = [](const char* name, void (*fn)(benchmark::State&), const std::vector<int64_t>& sizes) {
        auto* b = benchmark::RegisterBenchmark(name, fn)->UseManualTime()->Unit(benchmark::kMillisecond);
        for (int64_t n : sizes) b->Arg(n);
        b->Complexity();
    };
    add("BM_NetlistDumpSmall", BM_NetlistDumpSmall, {10});
    add("BM_NetlistDumpFlat", BM_NetlistDumpFlat, flat);
    add("BM_InProcessFlat", BM_InProcessFlat, flat);
    add("BM_ReportRunFlat", BM_ReportRunFlat, flat);
    add("BM_NetlistDumpHierarchical", BM_NetlistDumpHierarchical, hierarchical);
    add("BM_InProcessHierarchical", BM_InProcessHierarchical, hierarchical);
    add("BM_ReportRunHierarchical", BM_ReportRunHierarchical, hierarchical);
}

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_design_tools", plexa::Register);
}
