// What the model's fuzz targets that measure and draw text start first: the application (headless
// under QT_QPA_PLATFORM=offscreen) for fonts, memory, the drawing procedures, text styles and
// editing, and the model's standard styles.
#pragma once

#include "foundation/memory.h"
#include "foundation/signals.h"
#include "graphics/grafprocs.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/themes.h"
#include "platform/app_platform.h"

namespace plexa {

inline void StartModelFuzzApplication() {
    static char name[] = "model_fuzz";
    static char* argv[] = {name, nullptr};
    PlatformEnsureApplication(1, argv);
    InitMemoryManager(-1);
    InitSignals();
    VXInitGraf();
    VXInitStyles();
    VXTEInit();
    SchStylesInit();
}

}  // namespace plexa
