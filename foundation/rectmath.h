// Rectangle math: points and rectangles in 16 and 32 bits, the rounded scaling divisions and the
// 32-bit rectangle operations that the geometry layer, the drawing procedures, the renderer,
// regions and hit testing share.
//
// Records store the vertical coordinate first. A rectangle includes its top and left edges and
// excludes its bottom and right edges.
#pragma once

#include <cstdint>

namespace plexa {

struct Point {
    int16_t v;
    int16_t h;
};

struct Rect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct _LPNT {
    int32_t v;
    int32_t h;
};

struct LRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
};

// The platform's floating-point rectangle: x = left, y = top.
struct XRect {
    double x;
    double y;
    double width;
    double height;
};

static_assert(sizeof(Point) == 4 && sizeof(Rect) == 8);
static_assert(sizeof(_LPNT) == 8 && sizeof(LRect) == 16);

// a x b / c rounded half away from zero, in 32-bit arithmetic; the result is taken as i16.
// A zero divisor gives 0; a negative divisor rounds like the positive one with the sign applied.
int16_t MulDiv16(int16_t a, int16_t b, int16_t c);

// a x b / c rounded half away from zero, in 64-bit arithmetic; the result is taken as i32.
// The divisor must be positive: a divisor of 0 or less gives 0 instead of dividing.
int32_t MulDiv32(int32_t a, int64_t b, int64_t c);

// Each coordinate clamped to -32768..32767; return out.
Point* Point32To16(const _LPNT* p, Point* out);
Rect* Rect32To16(const LRect* r, Rect* out);
// Sign extension; returns out.
LRect* Rect16To32(const Rect* r, LRect* out);

// Between the integer rectangles and the platform's floating-point one; the way back rounds each
// edge to the nearest integer.
XRect XRectFromRect(const Rect& r);
XRect XRectFromLRect(const LRect& r);
LRect LRectFromXRect(const XRect& r);

void OffsetRect32(LRect* r, int32_t dh, int32_t dv);
// top += dv, left += dh, bottom -= dv, right -= dh.
LRect* InsetRect32(LRect* r, int32_t dh, int32_t dv);
// Smaller top and left, larger bottom and right; no test for empty inputs.
LRect* UnionRect32(const LRect* a, const LRect* b, LRect* out);
// Larger top and left, smaller bottom and right, always stored; true when the result is not empty.
bool SectRect32(const LRect* a, const LRect* b, LRect* out);
// Pins the point into r; with inset the excluded right and bottom edges pull it one further in.
void PinRect32(_LPNT* p, const LRect* r, bool inset);
bool EqualRect32(const LRect* a, const LRect* b);
bool EmptyRect32(const LRect* r);
// Whether a rectangle of any of the record forms (Rect, LRect, a window's long rectangle) holds no
// point: its bottom is not below its top or its right not beyond its left.
template <class R>
constexpr bool RectIsEmpty(const R& r) {
    return r.bottom <= r.top || r.right <= r.left;
}
// The rectangle spanned by the two points, with no extra pixel.
void Pt2Rect32(const _LPNT* p1, const _LPNT* p2, LRect* out);
bool PtInRect32(int32_t h, int32_t v, const LRect* r);

}  // namespace plexa
