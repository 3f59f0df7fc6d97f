// What the benchmarks of sheet files set up before their run: the model's styles, image lists,
// text and symbol pools and default text themes, and the sheet file services.
#pragma once

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
    InstallSheetFileServices();
}

}  // namespace plexa
