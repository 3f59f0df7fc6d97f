// What the fuzz targets that measure and draw text start first: the core (fuzz/fuzz_core.h), whose
// start-up sets up the fonts, the drawing procedures, styles, pools and themes.
#pragma once

#include "fuzz/fuzz_core.h"

namespace plexa {

inline void StartModelFuzzApplication() { fuzz::StartFuzzCore(); }

}  // namespace plexa
