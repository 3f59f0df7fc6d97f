// The main program of the benchmarks that save and open sheet files: the sheet benchmarks' set-up
// (bench/model_bench_main.h) with the styles, image lists, text and symbol pools, default themes
// and sheet-file services that reading and writing sheet files use.
#pragma once

#include "app/root.h"
#include "bench/model_bench_main.h"
#include "files/sheetfile.h"
#include "model/imagelist.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {

inline void SetUpSheetFiles() {
    SchStylesInit();
    InitImageLists();
    InitTextRecordPool();
    InitSymbolPool();
    InitDefaultTextThemes(&gDefaultTextThemes);
    InstallCoreHooks();
}

inline int RunSheetFileBenchmarks(int argc, char** argv, const char* program) {
    return RunSheetBenchmarks(argc, argv, program, SetUpSheetFiles);
}

}  // namespace plexa
