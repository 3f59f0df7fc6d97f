// Opening a hierarchical project and building its tree: a top sheet with N sheet symbols (N =
// 1,000 and 5,000), each naming one child sheet of ten component symbols. The sheets and the
// project are made in code and saved once; each run opens the project, builds its hierarchy tree
// (names and all, as the project window does) and closes it again. The time per instance should
// stay flat as N grows.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/root.h"
#include "bench/core_bench_main.h"
#include "files/hierarchy.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/attributes.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {
namespace {

constexpr int kChildSymbols = 10;

FileSpec SpecAt(const std::string& path) {
    FileSpec spec;
    (void)FileSpecFromURL(path, &spec, false, nullptr);  // a bad path shows when the file is opened
    return spec;
}

// Appends a symbol with the sheet's next serial.
SymbolRecord* AddSymbol(SheetRecord* sheet, uint32_t flags) {
    SymbolRecord* symbol = CreateSymbol();
    if (!symbol) return nullptr;
    symbol->flags = flags;
    AddSymbolToSheet(sheet, symbol);
    return symbol;
}

bool SaveSheet(SheetRecord* sheet, const std::string& path) {
    const FileSpec spec = SpecAt(path);
    const bool saved = WriteSheetFile(sheet, &spec) == status::kNoErr;
    DestroySheet(sheet);
    return saved;
}

// The project of N instances in a fresh folder, removed with the object.
struct HierarchyProject {
    std::string folder;
    FileSpec projectSpec{};
    bool made = false;

    explicit HierarchyProject(int64_t n) {
        char name[] = "/tmp/plexa-bench-hier.XXXXXX";
        folder = mkdtemp(name) ? name : "";
        if (folder.empty()) return;
        SheetRecord* child = CreateDrawing();
        if (!child) return;
        for (int i = 0; i < kChildSymbols; ++i)
            if (SymbolRecord* symbol = AddSymbol(child, 0))
                SetSymbolRefName(symbol, child->stringBlock, ("R" + std::to_string(i + 1)).c_str());
        if (!SaveSheet(child, folder + "/Child.SHX")) return;
        SheetRecord* top = CreateDrawing();
        if (!top) return;
        for (int64_t i = 0; i < n; ++i) {
            SymbolRecord* symbol = AddSymbol(top, kSymbolSheetSymbol | kSubSheetAnnotationWalk);
            if (!symbol) return;
            // As the sheet file stores a sheet symbol's references: its attributes.
            SetSymbolAttribute(symbol, top->stringBlock, kAttrSubSheetName, "Child.SHX", nullptr);
            SetSymbolAttribute(symbol, top->stringBlock, kAttrNameName, ("CHILD" + std::to_string(i + 1)).c_str(),
                               nullptr);
        }
        if (!SaveSheet(top, folder + "/Top.SHX")) return;

        projectSpec = SpecAt(folder + "/Bench.PRX");
        ProjectRecord* project = nullptr;
        if (CreateProjectAt(&projectSpec, nullptr, &project) != status::kNoErr) return;
        DirectoryRef directory;
        bool ok = DirectoryFromPathName(nullptr, (folder + "/").c_str(), &directory) == status::kNoErr &&
                  AddPathSpecToList(project->paths, &directory, kPathRootDefault, 2, false) &&
                  AddSubSheetReference(project, nullptr, "Top.SHX", "Top.SHX", 0, 0) &&
                  WriteProjectPathList(project, true) == status::kNoErr &&
                  WriteProjectTopSheetRefs(project, true) == status::kNoErr;
        ok = CloseProject(project, kCloseProjectDiscard) == status::kNoErr && ok;
        made = ok;
    }
    ~HierarchyProject() {
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }
};

void BM_OpenProjectAndBuildTree(benchmark::State& state) {
    const int64_t n = state.range(0);
    HierarchyProject fixture(n);
    if (!fixture.made) {
        state.SkipWithError("the project could not be made");
        return;
    }
    uint32_t nodes = 0;
    for (auto _ : state) {
        ProjectRecord* project = nullptr;
        if (OpenProjectAt(&fixture.projectSpec, &project) != status::kNoErr) {
            state.SkipWithError("the project did not open");
            break;
        }
        if (BuildProjectHierarchy(project, 0) != status::kNoErr) state.SkipWithError("the tree was not built");
        nodes = project->hierarchy ? project->hierarchy->count : 0;
        (void)CloseProject(project, kCloseProjectDiscard);  // discarded: nothing is written
    }
    if (nodes != uint32_t(n + 1)) state.SkipWithError(("the tree has " + std::to_string(nodes) + " nodes").c_str());
    state.counters["instances_per_s"] = benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate);
    state.SetComplexityN(n);
}
BENCHMARK(BM_OpenProjectAndBuildTree)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_files_hierarchy");
}
