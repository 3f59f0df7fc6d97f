// The main program of the benchmarks that build sheets: the platform's application object, the
// toolkit and its windows and styles are set up, then what the benchmarks' own layer needs (the
// `setUp` procedure), before the run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench/side_by_side.h"

#include "platform/app_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"
#include "graphics/textstyle.h"

namespace plexa {

// With rows, the run ends with the side-by-side table of them (bench/side_by_side.h).
inline int RunSheetBenchmarks(int argc, char** argv, const char* program, void (*setUp)(),
                              const std::vector<::bench::Row>& rows = {}, const char* title = "") {
    static char name[64];
    snprintf(name, sizeof name, "%s", program);
    static char* args[] = {name, nullptr};
    PlatformEnsureApplication(1, args);
    VXCoreInit();
    VXInitWindows();
    VXInitStyles();
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
    return 0;
}

}  // namespace plexa
