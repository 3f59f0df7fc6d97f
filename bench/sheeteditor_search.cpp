// Searching a project for a designator: ten top-level sheets of 3,000 symbols each (30,000
// symbols), open in memory as the editor holds them. Each run starts the search over and walks
// the project until the hit: the last symbol of the last sheet (every symbol is looked at), or a
// designator that no symbol has. Both should stay well under a second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/root.h"
#include "bench/core_bench_main.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/search.h"

namespace plexa {
namespace {

constexpr int kSheets = 10, kSymbolsPerSheet = 3000;

FileSpec SpecAt(const std::string& path) {
    FileSpec spec;
    (void)FileSpecFromURL(path, &spec, false, nullptr);  // a bad path shows when the file is opened
    return spec;
}

// The project in a fresh folder, open, its sheets loaded; removed with the object.
struct SearchProject {
    std::string folder;
    ProjectRecord* project = nullptr;
    std::map<SheetSpec*, SheetRecord*> sheets;
    bool made = false;

    SearchProject() {
        char name[] = "/tmp/plexa-bench-search.XXXXXX";
        folder = mkdtemp(name) ? name : "";
        if (folder.empty()) return;
        std::vector<std::string> names;
        for (int s = 0; s < kSheets; ++s) {
            SheetRecord* sheet = CreateDrawing();
            if (!sheet) return;
            for (int i = 0; i < kSymbolsPerSheet; ++i) {
                SymbolRecord* symbol = CreateSymbol();
                if (!symbol) return;
                symbol->position = Point{int16_t(20 * (i / 60)), int16_t(20 * (i % 60))};
                AddSymbolToSheet(sheet, symbol);
                SetSymbolRefName(symbol, sheet->stringBlock, ("U" + std::to_string(s * kSymbolsPerSheet + i + 1)).c_str());
            }
            names.push_back("Sheet" + std::to_string(s + 1) + ".SHX");
            const FileSpec spec = SpecAt(folder + "/" + names.back());
            const bool saved = WriteSheetFile(sheet, &spec) == status::kNoErr;
            DestroySheet(sheet);
            if (!saved) return;
        }
        FileSpec projectSpec = SpecAt(folder + "/Search.PRX");
        if (CreateProjectAt(&projectSpec, nullptr, &project) != status::kNoErr) return;
        DirectoryRef directory;
        bool ok = DirectoryFromPathName(nullptr, (folder + "/").c_str(), &directory) == status::kNoErr &&
                  AddPathSpecToList(project->paths, &directory, kPathRootDefault, 2, false);
        for (const std::string& n : names) ok = ok && AddSubSheetReference(project, nullptr, n.c_str(), n.c_str(), 0, 0);
        ok = ok && WriteProjectPathList(project, true) == status::kNoErr &&
             WriteProjectTopSheetRefs(project, true) == status::kNoErr;
        (void)CloseProject(project, kCloseProjectDiscard);  // reopened below as the editor opens it
        project = nullptr;
        if (!ok || OpenProjectAt(&projectSpec, &project) != status::kNoErr) return;
        if (BuildProjectHierarchy(project, 0) != status::kNoErr || !project->hierarchy) return;
        for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
             node = NextSheetNode(project->hierarchy, node)) {
            SheetRecord* sheet = nullptr;
            if (StoreLoadSheet(project, node->sheetSpec, &sheet) != status::kNoErr) return;
            sheets[node->sheetSpec] = sheet;
            (void)SetSheetContext(sheet, project, RetrieveSheetInstance(project, node, true), false);
        }
        made = sheets.size() == size_t(kSheets);
    }
    ~SearchProject() {
        SearchReset(ProjectSearch(), true);
        for (auto& [spec, sheet] : sheets) DestroySheet(sheet);
        if (project) (void)CloseProject(project, kCloseProjectDiscard);  // nothing to write
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }
};

SearchProject* gProject = nullptr;

// The open sheets are the project's loaded ones.
SheetRecord* LoadedSheet(ProjectRecord*, SheetSpec* spec) {
    if (!gProject) return nullptr;
    const auto found = gProject->sheets.find(spec);
    return found != gProject->sheets.end() ? found->second : nullptr;
}

void Search(benchmark::State& state, const char* designator, bool expectHit) {
    SearchProject fixture;
    if (!fixture.made) {
        state.SkipWithError("the project could not be made");
        return;
    }
    gProject = &fixture;
    SheetStoreHooks hooks = GetSheetStoreHooks();
    SheetStoreHooks saved = hooks;
    hooks.getLoaded = LoadedSheet;
    SetSheetStoreHooks(hooks);
    SearchRecord* lv = ProjectSearch();
    lv->criteria = SearchCriteria{};
    lv->criteria.findEnabled[kRowDesignator] = 1;
    lv->criteria.match[kRowDesignator] = kMatchIs;
    lv->criteria.find[kRowDesignator] = designator;
    lv->stepInstances = 1;
    bool hit = false;
    for (auto _ : state) {
        SearchReset(lv, true);
        lv->scope = kScopeProject;
        lv->project = fixture.project;
        hit = SymbolListSearch(lv) != nullptr;
    }
    SearchReset(lv, true);
    lv->project = nullptr;
    SetSheetStoreHooks(saved);
    gProject = nullptr;
    if (hit != expectHit) state.SkipWithError(expectHit ? "the designator was not found" : "a hit was found");
    state.counters["symbols_per_s"] =
        benchmark::Counter(double(kSheets * kSymbolsPerSheet), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DesignatorSearchLastSymbol(benchmark::State& state) { Search(state, "U30000", true); }
void BM_DesignatorSearchNoHit(benchmark::State& state) { Search(state, "Q1", false); }
BENCHMARK(BM_DesignatorSearchLastSymbol)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DesignatorSearchNoHit)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_sheeteditor_search");
}
