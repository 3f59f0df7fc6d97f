// The converter's batch use as a whole process (`plexa-convert --batch FILE`): a version-3.6
// sheet of N resistor symbols (two pins and a box each, on a grid), each neighbouring pair joined
// by a net, and a version-3.6 project of 32 such sheets of 300 symbols. The files are written once
// in the set-up; every run converts them again into a fresh folder beside them (the written
// folder is removed between runs, outside the time).
// Sizes: a 1,000- and a 10,000-symbol sheet by default; PLEXA_BENCH_FULL=1 adds 3,000 and 30,000
// for the growth from 1k to 30k. The times measured are the CPU times (user and system) of the
// child processes, which a machine that other work loads disturbs far less than wall-clock times;
// those are the counter wallMs.
#include <benchmark/benchmark.h>


#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/core_bench_main.h"
#include "foundation/filespec.h"
#ifdef PLEXA_CONVERT_PROGRAM
#include "converter/tests/v36_project_builder.h"
#include "converter/tests/v36_sheet_builder.h"
#endif

namespace plexa {
namespace {

#ifdef PLEXA_CONVERT_PROGRAM
using test::V36Box;
using test::V36NetDesc;
using test::V36Pin;
using test::V36SheetDesc;

bool Full() {
    const char* full = std::getenv("PLEXA_BENCH_FULL");
    return full && *full && *full != '0';
}

const std::string kConverter = PLEXA_CONVERT_PROGRAM;

// Never destroyed: the folder is removed by gRemoveFolder at exit.
const std::string& Folder() {
    static const std::string* folder = [] {
        char name[] = "/tmp/plexa-bench-convert.XXXXXX";
        return new std::string(mkdtemp(name) ? name : "");
    }();
    return *folder;
}

struct RemoveFolder {
    ~RemoveFolder() {
        if (!Folder().empty()) std::filesystem::remove_all(Folder());
    }
} gRemoveFolder;

// A chain of n resistors in rows of 50, pin 2 of each joined to pin 1 of the next.
std::string ChainSheet(int32_t n) {
    V36SheetDesc sheet;
    sheet.symbols.reserve(size_t(n));
    for (int32_t i = 0; i < n; ++i) {
        const int v = 96 + (i / 50) * 96, h = 96 + (i % 50) * 96;
        sheet.symbols.push_back({"RES", v, h, i + 1, 0x01, 5, 0,
                                 {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}});
    }
    for (int32_t i = 0; i + 1 < n; ++i) {
        V36NetDesc net;
        net.name = "N" + std::to_string(i + 1);
        const auto& a = sheet.symbols[size_t(i)];
        const auto& b = sheet.symbols[size_t(i) + 1];
        net.nodes = {{a.v, a.h + 48, i + 1, 1}, {b.v, b.h, i + 2, 0}};
        sheet.nets.push_back(std::move(net));
    }
    return test::WriteV36SheetDesc(sheet);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

// The sheet of n symbols, written once.
std::string SheetFile(int32_t n) {
    static std::map<int32_t, std::string> made;
    auto& path = made[n];
    if (path.empty()) {
        const std::string file = Folder() + "/Chain" + std::to_string(n) + ".SCM";
        if (WriteBytes(file, ChainSheet(n))) path = file;
    }
    return path;
}

// The project of `sheets` sheets of `symbols` symbols each, written once.
std::string ProjectFile(int32_t sheets, int32_t symbols) {
    static std::string path;
    if (!path.empty()) return path;
    const std::string folder = Folder() + "/project";
    std::filesystem::create_directories(folder);
    const std::string bytes = ChainSheet(symbols);
    std::vector<std::string> names;
    for (int32_t i = 0; i < sheets; ++i) {
        names.push_back("Sheet" + std::to_string(i + 1) + ".SCM");
        if (!WriteBytes(folder + "/" + names.back(), bytes)) return {};
    }
    FileSpec spec;
    if (FileSpecFromURL(folder + "/Design.SPR", &spec, false, nullptr) != 0) return {};
    test::WriteV36Project(&spec, names);
    path = folder + "/Design.SPR";
    return path;
}

void TimeConversion(benchmark::State& state, const std::string& file) {
    if (file.empty()) {
        state.SkipWithError("the input could not be written");
        return;
    }
    const std::filesystem::path source(file);
    const std::filesystem::path written = source.parent_path() / (source.stem().string() + " (Plexa)");
    double walls = 0;
    for (auto _ : state) {
        ::bench::ChildTimes times;
        const bool converted = ::bench::RunChild({kConverter, "--batch", file}, &times);
        state.SetIterationTime(times.cpu);
        walls += times.wall;
        std::filesystem::remove_all(written);
        if (!converted) {
            state.SkipWithError("the conversion failed");
            break;
        }
    }
    state.counters["wallMs"] = 1000.0 * walls / double(std::max<int64_t>(state.iterations(), 1));
}

void BM_ConvertSheet(benchmark::State& state) {
    TimeConversion(state, SheetFile(int32_t(state.range(0))));
    state.SetComplexityN(state.range(0));
}

void BM_ConvertProject(benchmark::State& state) {
    TimeConversion(state, ProjectFile(int32_t(state.range(0)), 300));
}

void Register() {
    const std::vector<int64_t> sizes =
        Full() ? std::vector<int64_t>{1000, 3000, 10000, 30000} : std::vector<int64_t>{1000, 10000};
    auto* sheet = benchmark::RegisterBenchmark("BM_ConvertSheet", BM_ConvertSheet)->UseManualTime();
    for (int64_t n : sizes) sheet->Arg(n);
    sheet->Unit(benchmark::kMillisecond)->Complexity();
    benchmark::RegisterBenchmark("BM_ConvertProject", BM_ConvertProject)
        ->UseManualTime()
        ->Arg(32)
        ->Unit(benchmark::kMillisecond);
}

#else
// Without the tests' builders (a build without tests) there is nothing to convert.
void Register() {}
#endif

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_converter_batch", plexa::Register);
}
