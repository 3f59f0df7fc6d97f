// The main program of the benchmarks that use the core: the program starts through the core's
// entry point (app/root.h: memory, the platform's fonts, styles, pools, themes and the core's
// hooks), then the benchmark's own set-up runs, then the benchmarks; the cached text line is
// dropped before the fonts go.
#pragma once

#include <benchmark/benchmark.h>

#include "app/root.h"
#include "graphics/render_text.h"

namespace plexa {

inline int RunCoreBenchmarks(int argc, char** argv, const char* program, void (*setUp)() = nullptr) {
    if (StartCore(program) != 0) return 1;
    if (setUp) setUp();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QZFlushTextCache();
    return 0;
}

}  // namespace plexa
