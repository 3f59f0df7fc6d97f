// What the fuzz targets that draw into the toolkit's off-screen windows start first: the core
// (fuzz/fuzz_core.h), then the toolkit's windows.
#pragma once

#include "fuzz/fuzz_core.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"

namespace plexa {

inline void StartModelFuzzApplication() {
    static const bool started = [] {
        fuzz::StartFuzzCore();
        VXCoreInit();
        VXInitWindows();
        return true;
    }();
    (void)started;
}

}  // namespace plexa
