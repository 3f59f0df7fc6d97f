// Plain geometry records the renderer, the colours and the regions share: 16-bit and 32-bit
// points and rectangles (vertical first, bottom and right edges outside) and the platform's
// floating-point rectangle.
#pragma once

#include <cstdint>

namespace plexa {

struct Point {
    int16_t v, h;
};

struct _LPNT {
    int32_t v, h;
};

struct Rect {
    int16_t top, left, bottom, right;
};

struct LRect {
    int32_t top, left, bottom, right;
};

// Floating-point rectangle: x = left, y = top.
struct XRect {
    double x, y, width, height;
};

}  // namespace plexa
