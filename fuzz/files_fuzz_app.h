// What the fuzz targets that read whole sheets start first (once): memory, the headless
// application and the model's styles, image lists, the text and symbol pools, and the sheet file
// services.
#pragma once

#include <cstdlib>

#include "app/root.h"
#include "files/sheetfile.h"
#include "foundation/memory.h"
#include "fuzz/model_fuzz_app.h"
#include "model/imagelist.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa {

inline void StartSheetFileFuzzing() {
    static bool started = false;
    if (started) return;
    started = true;
    InitMemoryManager(-1);
    StartModelFuzzApplication();
    InitImageLists();
    if (InitTextRecordPool() || InitSymbolPool()) std::abort();
    InstallCoreHooks();
}

}  // namespace plexa
