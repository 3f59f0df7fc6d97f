// What the benchmarks of sheet windows start with: the application object, the toolkit's
// windows, panels, controls and menus, and the sheet defaults; the program ends when any of them
// cannot be had.
#pragma once

#include <cstdlib>

#include "model/sheet.h"
#include "platform/app_platform.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {

inline void StartSheetWindows(char* programName) {
    static char* argv[] = {programName, nullptr};
    if (!PlatformEnsureApplication(1, argv)) std::abort();
    VXInitWindows();
    VXInitPanels();
    VXInitControls();
    VXInitMenus();
    if (InitSheetDefaults() != 0) std::abort();
}

}  // namespace plexa
