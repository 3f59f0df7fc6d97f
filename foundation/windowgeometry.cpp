// The window-geometry record's scale setter and the hooks the toolkit installs.
#include "foundation/windowgeometry.h"

#include <algorithm>

#include "foundation/geometry.h"

namespace plexa {

namespace {

PaneBoundsHook gPaneBoundsHook = nullptr;
PointsToScreenHook gPointsToScreenHook = nullptr;

int16_t AtLeastOne(int32_t x) { return int16_t(std::clamp<int32_t>(x, 1, INT16_MAX)); }

}  // namespace

void SetWindowScaleFactors(WindowGeometry* window, int32_t factorV, int32_t factorH) {
    if (factorV <= 0) factorV = kFixed24One;
    if (factorH <= 0) factorH = kFixed24One;
    window->scaleV = factorV;
    window->scaleH = factorH;
    if (factorV == kFixed24One && factorH == kFixed24One)
        window->flags &= ~kWindowFlagScaled;
    else
        window->flags |= kWindowFlagScaled;
    window->scaledBox.v = AtLeastOne(MulShift24(100, factorV));
    window->scaledBox.h = AtLeastOne(MulShift24(100, factorH));
    window->wholeScaleV = AtLeastOne(factorV >> 24);
    window->wholeScaleH = AtLeastOne(factorH >> 24);
}

void SetPaneBoundsHook(PaneBoundsHook hook) { gPaneBoundsHook = hook; }
void SetPointsToScreenHook(PointsToScreenHook hook) { gPointsToScreenHook = hook; }
PaneBoundsHook GetPaneBoundsHook() { return gPaneBoundsHook; }
PointsToScreenHook GetPointsToScreenHook() { return gPointsToScreenHook; }

}  // namespace plexa
