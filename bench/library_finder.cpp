// The library finder answering type-ahead queries over 20 libraries of 5,000 items each, with the
// digest file built (the first search builds it and is not timed). Queries of two and more
// characters, some of which the digests rule out for most files and some for none. The maps read
// by the first query are kept, as they are while the finder is open.
#include <benchmark/benchmark.h>

#include "bench/core_bench_main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "files/pathspec.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "library/libdigest.h"
#include "library/libfile.h"
#include "library/libfinder.h"
#include "library/libpaths.h"
#include "model/imagelist.h"
#include "model/libitem.h"

namespace {

using namespace plexa;

constexpr int kLibraries = 20, kItems = 5000;

// The libraries in a scratch folder, the library lists over it and the digest file built.
class Fixture {
public:
    Fixture() {
        char pattern[] = "/tmp/plexa-finder-XXXXXX";
        root_ = mkdtemp(pattern);
        setenv("HOME", (root_ + "/home").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
        ::mkdir((root_ + "/libs").c_str(), 0777);
        InitLibraryAccess();
        static const char* const kShapes[] = {"RES%d", "CAP%d", "74HC%d", "LM%d", "CONN%d_X",
                                              "DIODE%d", "OPAMP%d", "MOSFET%d", "XTAL%d", "IC%d"};
        for (int lib = 0; lib < kLibraries; ++lib) {
            FileSpec spec;
            const std::string path = root_ + "/libs/Lib" + std::to_string(lib) + ".LBX";
            (void)FileSpecFromURL(path, &spec, false, nullptr);  // a bad path shows when the library is opened
            (void)CreateLibraryFile(&spec);  // an existing file is opened below
            LibraryFileRecord record{};
            if (OpenLibraryFile(&spec, &record, kLibraryOpenLoadMap) != 0) continue;
            for (int i = 0; i < kItems; ++i) {
                char name[32];
                std::snprintf(name, sizeof name, kShapes[(lib + i) % 10], lib * kItems + i);
                LibraryItem* item = CreateLibraryItem(kLibItemComponent);
                (void)SetLibraryItemNameInfo(item, kLibAppendName, name, 255);  // fails only out of memory
                OSStatus st = 0;
                Handle flat = FlattenLibraryItem(item, true, 1, &st);
                uint32_t id = 0;
                if (flat) (void)WriteLibraryFileItem(&record, flat, true, &id);  // a missing item shows in the figures
                if (flat) MemFree(flat);
                DestroyLibraryItem(item);
            }
            (void)CloseLibraryFile(&record);  // the items are written through
        }
        DirectoryRef folder;
        (void)DirectoryFromPathName(nullptr, (root_ + "/libs/").c_str(), &folder);  // a bad path finds no libraries
        AddPathSpecToList(GetLibFilesPathList(), &folder, kPathRootAbsolute, kPathLibraryFiles, false);
        BuildLibraryFileList(nullptr, false);
        (void)OpenLibDigestFile();  // a digest file is a cache
        (void)CreateFoundItems(&found);  // fails only out of memory
        bool more = false;
        CollectMatchingItems(&found, "zz", &more);  // builds the digest file
    }
    ~Fixture() {
        DestroyFoundItems(&found);
        ReleaseLibFinderMaps();
        DisposeLibraryAccess();
        std::system(("rm -rf '" + root_ + "'").c_str());
    }
    FoundItems found;

private:
    std::string root_;
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

void BM_FinderQuery(benchmark::State& state, const char* text) {
    Fixture& fixture = TheFixture();
    int32_t hits = 0;
    for (auto _ : state) {
        bool more = false;
        hits = CollectMatchingItems(&fixture.found, text, &more);
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = hits;
}

BENCHMARK_CAPTURE(BM_FinderQuery, absent_pair, "QZ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FinderQuery, rare, "XTAL1234")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FinderQuery, common_capped, "RES")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FinderQuery, two_letters, "ab")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FinderQuery, digits, "7777")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_library_finder"); }
