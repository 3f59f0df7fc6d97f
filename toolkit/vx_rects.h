// Between the toolkit's rectangles (vertical first, edges) and the platform's (x, y, width, height):
// the one conversion that windows, controls and tooltips use.
#pragma once

#include <algorithm>

#include "foundation/rectmath.h"
#include "platform/window_platform.h"

namespace plexa {

inline PlatformRect ToPlatformRect(const Rect& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
inline PlatformRect ToPlatformRect(const LRect& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Each edge clamped to the 16-bit range.
inline Rect FromPlatformRect(const PlatformRect& r) {
    const auto clamp16 = [](int64_t v) { return int16_t(std::clamp<int64_t>(v, -32768, 32767)); };
    return {clamp16(r.y), clamp16(r.x), clamp16(int64_t(r.y) + r.height),
            clamp16(int64_t(r.x) + r.width)};
}

}  // namespace plexa
