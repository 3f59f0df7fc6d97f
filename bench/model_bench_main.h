// The main program of the benchmarks that build sheets: the platform's application object (for
// fonts), memory, failure signals, the drawing procedures and styles are set up, then what the
// benchmarks' own layer needs (the `setUp` procedure), before the run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>

#include "foundation/memory.h"
#include "foundation/signals.h"
#include "graphics/grafprocs.h"
#include "graphics/textstyle.h"
#include "platform/app_platform.h"

namespace plexa {

inline int RunSheetBenchmarks(int argc, char** argv, const char* program, void (*setUp)()) {
    static char name[64];
    snprintf(name, sizeof name, "%s", program);
    static char* args[] = {name, nullptr};
    PlatformEnsureApplication(1, args);
    InitMemoryManager(-1);
    InitSignals();
    VXInitGraf();
    VXInitStyles();
    if (setUp) setUp();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace plexa
