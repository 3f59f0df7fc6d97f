// Saving and opening the chain sheet (bench/chain_sheet.h) of N = 1,000, 10,000 and 30,000
// symbols, each with a designator text: the whole sheet file written, and read back into a new
// sheet record. Opening also reports the heap taken by the opened sheet, per symbol, measured in
// a fresh process of the program, and beside it the bytes of the records themselves (symbols,
// texts, signals with their pin entries, wire lists and wires, as the model lays them out): the
// rest is the heap's own bookkeeping and the sheet's tables.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "bench/chain_sheet.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "graphics/textstyle.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/wires.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "bench/core_bench_main.h"

namespace plexa {
namespace {

// The chain with a designator text on every symbol.
struct TextChain : bench::Chain {
    explicit TextChain(int64_t n) : bench::Chain(n) {
        int64_t i = 0;
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next, ++i) {
            const std::string name = "R" + std::to_string(i + 1);
            TextRecord* text = CreateDrawingText(sheet, kTextKindDesignator, 0, bench::Pin0(i), name.c_str());
            text->owner = TextOwnerSerial(s->serial);
        }
    }
};

// A file in a fresh folder, removed with the object.
struct ScratchFile {
    std::string folder, path;
    ScratchFile() {
        char name[] = "/tmp/plexa-bench.XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        path = folder + "/chain.SHX";
    }
    ~ScratchFile() {
        std::remove(path.c_str());
        rmdir(folder.c_str());
    }
};

FileSpec SpecAt(const std::string& path) {
    FileSpec spec;
    (void)FileSpecFromURL(path, &spec, false, nullptr);  // a bad path shows when the file is opened
    return spec;
}

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_SaveChainSheet(benchmark::State& state) {
    const int64_t n = state.range(0);
    ScratchFile file;
    TextChain chain(n);
    const FileSpec spec = SpecAt(file.path);
    for (auto _ : state)
        if (WriteSheetFile(chain.sheet, &spec) != 0) state.SkipWithError("the save failed");
    state.SetComplexityN(n);
}
BENCHMARK(BM_SaveChainSheet)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)->Complexity();

// The heap an opened sheet takes, measured in a fresh process of this program (given
// "--heap-of=FILE"): in this one the pools keep the pages of the sheets built and freed before,
// which an open takes again without asking the system for more. 0 when the child fails.
const char* gHeapOf = nullptr;

// The bytes of the opened sheet's records, as the model lays them out.
size_t RecordBytes(SheetRecord* sheet) {
    size_t bytes = 0;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        bytes += sizeof(SymbolRecord) + SizeOfHandle(s->attributes) + SizeOfHandle(s->sheetSymbolData);
    for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t)) bytes += sizeof(TextRecord);
    for (auto s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s))) {
        bytes += SizeOfHandle(reinterpret_cast<Handle>(s)) + SizeOfHandle((*s)->attributes) + sizeof(LinkListHeader);
        for (WireHandle w = FirstWire((*s)->wires); w; w = NextWire((*s)->wires, w))
            bytes += SizeOfHandle(reinterpret_cast<Handle>(w));
    }
    return bytes;
}

void MeasureHeapOfOpenAndExit() {
    if (!gHeapOf) return;
    const FileSpec spec = SpecAt(gHeapOf);
    const size_t before = HeapInUse();
    SheetRecord* sheet = nullptr;
    const OSStatus st = LoadSheetFile(&spec, &sheet);
    const size_t after = HeapInUse();
    std::printf("%zu %zu\n", st == 0 && after > before ? after - before : size_t(0),
                st == 0 ? RecordBytes(sheet) : size_t(0));
    std::fflush(stdout);
    std::_Exit(st == 0 ? 0 : 1);
}

struct HeapOfOpenResult {
    double heap = 0;     // the heap the open took
    double records = 0;  // the bytes of the records among it
};

HeapOfOpenResult HeapOfOpen(const std::string& path) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    self[length] = 0;
    const std::string command = "'" + std::string(self) + "' --heap-of='" + path + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child) return {};
    HeapOfOpenResult result;
    if (std::fscanf(child, "%lf %lf", &result.heap, &result.records) != 2) result = {};
    return pclose(child) == 0 ? result : HeapOfOpenResult{};
}

void BM_OpenChainSheet(benchmark::State& state) {
    const int64_t n = state.range(0);
    ScratchFile file;
    const FileSpec spec = SpecAt(file.path);
    {
        TextChain chain(n);
        if (WriteSheetFile(chain.sheet, &spec) != 0) state.SkipWithError("the save failed");
    }
    for (auto _ : state) {
        SheetRecord* sheet = nullptr;
        if (LoadSheetFile(&spec, &sheet) != 0) state.SkipWithError("the open failed");
        state.PauseTiming();
        DestroySheet(sheet);
        state.ResumeTiming();
    }
    const HeapOfOpenResult heap = HeapOfOpen(file.path);
    state.counters["heap_per_symbol"] = heap.heap / double(n);
    state.counters["records_per_symbol"] = heap.records / double(n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_OpenChainSheet)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], "--heap-of=", 10) == 0) {
        plexa::gHeapOf = argv[1] + 10;
        argc = 1;
    }
    return plexa::RunCoreBenchmarks(argc, argv, "bench_files_sheetcontents", [] { plexa::MeasureHeapOfOpenAndExit(); });
}
