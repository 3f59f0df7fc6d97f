// The start of the fuzz targets that read into the core: the program starts through the core's
// entry point (app/root.h: memory, the platform's fonts on the offscreen platform, styles, image
// lists, pools, themes and the core's hooks), once.
#pragma once

#include <cstdlib>

#include "app/root.h"

namespace plexa::fuzz {

inline void StartFuzzCore() {
    static const bool started = StartCore("fuzz") == 0;
    if (!started) std::abort();
}

}  // namespace plexa::fuzz
