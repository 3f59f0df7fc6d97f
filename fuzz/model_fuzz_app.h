// What the model's fuzz targets that measure and draw text start first: the application (headless
// under QT_QPA_PLATFORM=offscreen), memory, windows, text styles and editing, and the model's
// standard styles.
#pragma once

#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"

namespace plexa {

inline void StartModelFuzzApplication() {
    static char name[] = "model_fuzz";
    static char* argv[] = {name, nullptr};
    PlatformEnsureApplication(1, argv);
    VXCoreInit();
    VXInitWindows();
    VXInitStyles();
    VXTEInit();
    SchStylesInit();
}

}  // namespace plexa
