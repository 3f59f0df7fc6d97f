// The main program of the benchmarks that use the core: the program starts through the core's
// entry point (app/root.h: memory, the platform's fonts, styles, pools, themes and the core's
// hooks), then the benchmark's own set-up runs, then the benchmarks; the cached text line is
// dropped before the fonts go.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "app/root.h"
#include "bench/side_by_side.h"
#include "graphics/render_text.h"

namespace plexa {

// With rows, the run ends with the side-by-side table of them (bench/side_by_side.h).
inline int RunCoreBenchmarks(int argc, char** argv, const char* program, void (*setUp)() = nullptr,
                             const std::vector<::bench::Row>& rows = {}, const char* title = "") {
    if (StartCore(program) != 0) return 1;
    if (setUp) setUp();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (rows.empty()) {
        benchmark::RunSpecifiedBenchmarks();
    } else {
        ::bench::SideBySide reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.Table(title, rows);
    }
    benchmark::Shutdown();
    QZFlushTextCache();
    return 0;
}

}  // namespace plexa
