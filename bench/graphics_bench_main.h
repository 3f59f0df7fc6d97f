// The main program of the graphics benchmarks that measure or draw text: the platform's
// application object, the memory manager, the text styles and the drawing procedures are set
// up around the run, and the cached text line is dropped before the fonts go.
#pragma once

#include <benchmark/benchmark.h>

#include "foundation/memory.h"
#include "graphics/grafprocs.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"
#include "platform/text_layout.h"

namespace plexa {

inline int RunGraphicsBenchmarks(int argc, char** argv) {
    TextPlatformSession session;
    InitMemoryManager(-1);
    VXInitStyles();
    VXInitGraf();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QZFlushTextCache();
    return 0;
}

}  // namespace plexa
