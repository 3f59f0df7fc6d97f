// Fixed-point geometry: points, rectangles, window scaling, transformation codes, rotations
// and line geometry.
#include "foundation/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace plexa {

namespace {

int16_t Clamp16(int64_t x) { return int16_t(std::clamp<int64_t>(x, INT16_MIN, INT16_MAX)); }
int32_t Clamp32(int64_t x) { return int32_t(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)); }

int32_t ClampDouble(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return int32_t(x);
}

// Quarter turns and mirror of a transformation code applied to {v, h}.
template <typename T>
void TransformOne(int32_t code, T& v, T& h) {
    int64_t nv = v, nh = h;
    switch (code & 3) {
        case 1: nv = h; nh = -int64_t(v); break;
        case 2: nv = -int64_t(v); nh = -int64_t(h); break;
        case 3: nv = -int64_t(h); nh = v; break;
        default: break;
    }
    if (code & 4) nh = -nh;
    v = T(nv);  // wraps for the one value whose negation does not fit
    h = T(nh);
}

// Corners of a rectangle through the code, reordered, then adjusted to cover the same pixels.
template <typename R, typename T>
void TransformGrafRect(int32_t code, R* r) {
    T v1 = r->top, h1 = r->left, v2 = r->bottom, h2 = r->right;
    TransformOne(code, v1, h1);
    TransformOne(code, v2, h2);
    r->top = std::min(v1, v2);
    r->bottom = std::max(v1, v2);
    r->left = std::min(h1, h2);
    r->right = std::max(h1, h2);
}

template <typename R>
void AdjustTransformedGrafRect(int32_t code, R* r) {
    int32_t turn = code & 3;
    bool mirror = (code & 4) != 0;
    if (turn == 2 || turn == 3) {
        r->top += 1;
        r->bottom += 1;
    }
    if ((turn == 1 || turn == 2) != mirror) {
        r->left += 1;
        r->right += 1;
    }
}

// The factors to scale with, or false when the window does no scaling.
bool ActiveFactors(const WindowGeometry* w, int32_t* fv, int32_t* fh, bool* anyFixed = nullptr) {
    if (!w || !(w->flags & kWindowFlagScaled)) return false;
    bool fixedV = w->pane == 0 || w->pane == 2;
    bool fixedH = w->pane == 1 || w->pane == 2;
    if (fixedV && fixedH) return false;
    *fv = fixedV ? kFixed24One : w->scaleV;
    *fh = fixedH ? kFixed24One : w->scaleH;
    if (anyFixed) *anyFixed = fixedV || fixedH;
    return true;
}

// Steps of the no-empty scaling on one axis, in 32 bits.
void NoEmptyAxis(int32_t& lo, int32_t& hi, int32_t factor, int32_t added) {
    int32_t nlo = MulShift24(lo, factor);
    int32_t nhi = int32_t(int64_t(MulShift24(hi - 1, factor)) + added);
    if (factor <= 0xFFFFFF && nhi == nlo) nhi = nlo + 1;
    lo = nlo;
    hi = nhi;
}

template <typename R>
void RectNoEmptyScale(const WindowGeometry* w, R* r) {
    int32_t fv, fh;
    bool anyFixed = false;
    if (!ActiveFactors(w, &fv, &fh, &anyFixed)) return;
    if (RectIsEmpty(*r)) return;
    int32_t top = r->top, left = r->left, bottom = r->bottom, right = r->right;
    NoEmptyAxis(top, bottom, fv, anyFixed ? 1 : w->wholeScaleV);
    NoEmptyAxis(left, right, fh, anyFixed ? 1 : w->wholeScaleH);
    if constexpr (sizeof(r->top) == 2) {
        r->top = Clamp16(top);
        r->left = Clamp16(left);
        r->bottom = Clamp16(bottom);
        r->right = Clamp16(right);
    } else {
        r->top = top;
        r->left = left;
        r->bottom = bottom;
        r->right = right;
    }
}

double TenthsToRadians(int32_t tenths) { return double(tenths) / kTenthsPerRadian; }

int32_t Mod3600(int64_t a) {
    a %= 3600;
    return int32_t(a < 0 ? a + 3600 : a);
}

}  // namespace

// Rounding and conversions.

int32_t RoundToInt32(double x) { return ClampDouble(x < 0 ? std::ceil(x - 0.5) : std::floor(x + 0.5)); }

int32_t TruncToInt32(double x) { return ClampDouble(std::trunc(x)); }

int32_t MulShift24(int32_t a, int32_t b) {
    bool negative = (a < 0) != (b < 0);
    uint64_t ma = uint64_t(std::llabs(int64_t(a)));
    uint64_t mb = uint64_t(std::llabs(int64_t(b)));
    uint64_t q = (ma * mb + 0x800000) >> 24;
    return negative ? int32_t(uint32_t(0) - uint32_t(q)) : int32_t(uint32_t(q));
}

int16_t NormalizeRotationDegrees(int32_t angle) {
    int32_t a = angle % 360;
    return int16_t(a < 0 ? a + 360 : a);
}

LRect* RCTtoLRCT(const Rect* r, LRect* out) { return Rect16To32(r, out); }

XRect* LRCTtoXRCT(const LRect* r, XRect* out) {
    out->x = r->left;
    out->y = r->top;
    out->width = std::max(0.0, double(r->right) - double(r->left));
    out->height = std::max(0.0, double(r->bottom) - double(r->top));
    return out;
}

XRect* RCTtoXRCT(const Rect* r, XRect* out) {
    LRect l;
    return LRCTtoXRCT(Rect16To32(r, &l), out);
}

LRect* XRCTtoLRCT(const XRect* r, LRect* out) {
    out->left = TruncToInt32(r->x);
    out->top = TruncToInt32(r->y);
    out->right = TruncToInt32(r->x + r->width);
    out->bottom = TruncToInt32(r->y + r->height);
    return out;
}

Rect* XRCTtoRCT(const XRect* r, Rect* out) {
    LRect l;
    return Rect32To16(XRCTtoLRCT(r, &l), out);
}

int32_t XRCTtoCart(XRect* r, double height) {
    int32_t old = TruncToInt32(r->y + r->height);
    r->y = height - old;
    return old;
}

// Points and rectangles.

void VXSetPt(Point* p, int16_t h, int16_t v) {
    p->v = v;
    p->h = h;
}

void VXSetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom) {
    r->top = top;
    r->left = left;
    r->bottom = bottom;
    r->right = right;
}

void VXAddPt(Point* out, Point a, Point b) {
    out->v = int16_t(a.v + b.v);
    out->h = int16_t(a.h + b.h);
}

void VXDiffPt(Point* out, Point a, Point b) {
    out->v = int16_t(a.v - b.v);
    out->h = int16_t(a.h - b.h);
}

void VXLAddPt(_LPNT* out, const _LPNT* a, const _LPNT* b) {
    out->v = a->v + b->v;
    out->h = a->h + b->h;
}

void VXLDiffPt(_LPNT* out, const _LPNT* a, const _LPNT* b) {
    out->v = a->v - b->v;
    out->h = a->h - b->h;
}

void VXOffsetRect(Rect* r, int16_t dh, int16_t dv) {
    r->top = int16_t(r->top + dv);
    r->bottom = int16_t(r->bottom + dv);
    r->left = int16_t(r->left + dh);
    r->right = int16_t(r->right + dh);
}

void VXInsetRect(Rect* r, int16_t dh, int16_t dv) {
    r->top = int16_t(r->top + dv);
    r->bottom = int16_t(r->bottom - dv);
    r->left = int16_t(r->left + dh);
    r->right = int16_t(r->right - dh);
}

void VXOffsetPoints(Point* points, int32_t count, int16_t dh, int16_t dv) {
    if (dh == 0 && dv == 0) return;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = int16_t(points[i].v + dv);
        points[i].h = int16_t(points[i].h + dh);
    }
}

void VXMoveRectTo(Rect* r, int16_t h, int16_t v) {
    r->bottom = int16_t(r->bottom - r->top + v);
    r->right = int16_t(r->right - r->left + h);
    r->top = v;
    r->left = h;
}

void VXLMoveRectTo(LRect* r, int32_t h, int32_t v) {
    // In 64 bits: the empty start value's size does not fit in 32.
    r->bottom = int32_t(int64_t(r->bottom) - r->top + v);
    r->right = int32_t(int64_t(r->right) - r->left + h);
    r->top = v;
    r->left = h;
}

void VXSetEmptyRect(Rect* r) { *r = Rect{32767, 32767, -32767, -32767}; }

void VXLSetEmptyRect(LRect* r) { *r = LRect{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF}; }

bool VXEmptyRect(const Rect* r) { return RectIsEmpty(*r); }

bool VXEqualRect(const Rect* a, const Rect* b) {
    return a->top == b->top && a->left == b->left && a->bottom == b->bottom &&
           a->right == b->right;
}

void VXUnionRect(const Rect* a, const Rect* b, Rect* out) {
    Rect u;
    u.top = std::min(a->top, b->top);
    u.left = std::min(a->left, b->left);
    u.bottom = std::max(a->bottom, b->bottom);
    u.right = std::max(a->right, b->right);
    *out = u;
}

bool VXSectRect(const Rect* a, const Rect* b, Rect* out) {
    Rect s;
    s.top = std::max(a->top, b->top);
    s.left = std::max(a->left, b->left);
    s.bottom = std::min(a->bottom, b->bottom);
    s.right = std::min(a->right, b->right);
    *out = s;
    return s.right > s.left && s.bottom > s.top;
}

bool VXPtInRect(Point p, const Rect* r) {
    return r->top <= p.v && p.v < r->bottom && r->left <= p.h && p.h < r->right;
}

bool VXRectsOverlap(const Rect* a, const Rect* b) {
    return a->right > b->left && b->right > a->left && a->bottom > b->top && b->bottom > a->top;
}

bool VXLRectsOverlap(const LRect* a, const LRect* b) {
    return a->right > b->left && b->right > a->left && a->bottom > b->top && b->bottom > a->top;
}

void VXPt2Rect(Point a, Point b, Rect* out) {
    out->top = std::min(a.v, b.v);
    out->left = std::min(a.h, b.h);
    out->bottom = std::max(a.v, b.v);
    out->right = std::max(a.h, b.h);
}

void CenterRect16(Rect* r, const Rect* within, bool horizontally, bool vertically) {
    int32_t left = r->left, top = r->top;
    if (horizontally)
        left = within->left + ((within->right - within->left) - (r->right - r->left)) / 2;
    if (vertically)
        top = within->top + ((within->bottom - within->top) - (r->bottom - r->top)) / 2;
    VXMoveRectTo(r, int16_t(left), int16_t(top));
}

void SnapPointToGrid(Point* p, int32_t grid) {
    grid = std::max(grid, 1);
    const auto snap = [grid](int16_t c) {
        // In 32 bits and rounded down, so that negative coordinates go to the nearest multiple
        // too and nothing wraps near the ends of the 16-bit range.
        const int32_t x = int32_t(c) + grid / 2;
        const int32_t below = x - ((x % grid) + grid) % grid;
        return int16_t(std::clamp(below, -32768, 32767));
    };
    p->v = snap(p->v);
    p->h = snap(p->h);
}

int32_t ComparePointsVH(Point a, Point b) {
    if (a.v != b.v) return a.v < b.v ? -1 : 1;
    if (a.h != b.h) return a.h < b.h ? -1 : 1;
    return 0;
}

void VXGetPointsBounds(const Point* points, int32_t count, Rect* out) {
    if (count <= 0) {
        VXSetEmptyRect(out);
        return;
    }
    Rect b{points[0].v, points[0].h, points[0].v, points[0].h};
    for (int32_t i = 1; i < count; ++i) {
        b.top = std::min(b.top, points[i].v);
        b.left = std::min(b.left, points[i].h);
        b.bottom = std::max(b.bottom, points[i].v);
        b.right = std::max(b.right, points[i].h);
    }
    *out = b;
}

void VXPinToRect(Point* p, const Rect* r, bool keepInside) {
    int32_t in = keepInside ? 1 : 0;
    int32_t h = std::max<int32_t>(p->h, r->left), v = std::max<int32_t>(p->v, r->top);
    h = std::min<int32_t>(h, r->right - in);
    v = std::min<int32_t>(v, r->bottom - in);
    p->h = int16_t(h);
    p->v = int16_t(v);
}

void VXScalePoints(Point* points, int32_t count, Point numerator, Point denominator) {
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = MulDiv16(points[i].v, numerator.v, denominator.v);
        points[i].h = MulDiv16(points[i].h, numerator.h, denominator.h);
    }
}

namespace {

int16_t MapCoordinate(int32_t x, int32_t fromStart, int32_t fromSize, int32_t toStart,
                      int32_t toSize) {
    int64_t d = int64_t(x) - fromStart;
    if (fromSize == toSize) return int16_t(d + toStart);
    if (fromSize == 0) return int16_t(toStart);
    int64_t size = std::llabs(int64_t(fromSize));
    int64_t m = (std::llabs(d) * toSize + size / 2) / size;
    if ((d < 0) != (fromSize < 0)) m = -m;
    return int16_t(m + toStart);
}

}  // namespace

void VXMapPoints(Point* points, int32_t count, const Rect* from, const Rect* to) {
    int32_t fh = from->right - from->left, fv = from->bottom - from->top;
    int32_t th = to->right - to->left, tv = to->bottom - to->top;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = MapCoordinate(points[i].v, from->top, fv, to->top, tv);
        points[i].h = MapCoordinate(points[i].h, from->left, fh, to->left, th);
    }
}

// Window scaling.

void PointsToScale(const WindowGeometry* window, Point* points, int32_t count) {
    int32_t fv, fh;
    if (!ActiveFactors(window, &fv, &fh)) return;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = Clamp16(MulShift24(points[i].v, fv));
        points[i].h = Clamp16(MulShift24(points[i].h, fh));
    }
}

void LPointsToScale(const WindowGeometry* window, _LPNT* points, int32_t count) {
    int32_t fv, fh;
    if (!ActiveFactors(window, &fv, &fh)) return;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = MulShift24(points[i].v, fv);
        points[i].h = MulShift24(points[i].h, fh);
    }
}

void LDimensionsToScale(const WindowGeometry* window, int32_t* values, int32_t count, int axis) {
    int32_t fv, fh;
    if (!ActiveFactors(window, &fv, &fh)) return;
    int32_t f = axis == 0 ? fv : fh;
    for (int32_t i = 0; i < count; ++i) values[i] = MulShift24(values[i], f);
}

void PointsFromScale(const WindowGeometry* window, Point* points, int32_t count) {
    int32_t fv, fh;
    if (!ActiveFactors(window, &fv, &fh)) return;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = Clamp16(MulDiv32(points[i].v, kFixed24One, fv));
        points[i].h = Clamp16(MulDiv32(points[i].h, kFixed24One, fh));
    }
}

void LPointsFromScale(const WindowGeometry* window, _LPNT* points, int32_t count) {
    int32_t fv, fh;
    if (!ActiveFactors(window, &fv, &fh)) return;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = MulDiv32(points[i].v, kFixed24One, fv);
        points[i].h = MulDiv32(points[i].h, kFixed24One, fh);
    }
}

void RectToNoEmptyScale(const WindowGeometry* window, Rect* r) { RectNoEmptyScale(window, r); }

void LRectToNoEmptyScale(const WindowGeometry* window, LRect* r) { RectNoEmptyScale(window, r); }

void CalcPanelOriginForActivePane(const WindowGeometry* window, _LPNT* origin) {
    origin->v = 0;
    origin->h = 0;
    PaneBoundsHook hook = GetPaneBoundsHook();
    if (!window || window->kind != kWindowOnScreen || !hook) return;
    XRect bounds;
    if (!hook(window, window->pane, &bounds)) return;
    origin->v = TruncToInt32(bounds.y);
    origin->h = TruncToInt32(bounds.x);
    if (window->pane == 0 || window->pane == 2) origin->v = 0;
    if (window->pane == 1 || window->pane == 2) origin->h = 0;
}

void ConvertPadPointsToPanel(const WindowGeometry* window, Point* points, int32_t count) {
    _LPNT origin;
    CalcPanelOriginForActivePane(window, &origin);
    PointsToScale(window, points, count);
    if (origin.v == 0 && origin.h == 0) return;
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = Clamp16(int64_t(points[i].v) - origin.v);
        points[i].h = Clamp16(int64_t(points[i].h) - origin.h);
    }
}

void LConvertPanelPointsToPad(const WindowGeometry* window, _LPNT* points, int32_t count) {
    _LPNT origin;
    CalcPanelOriginForActivePane(window, &origin);
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = Clamp32(int64_t(points[i].v) + origin.v);
        points[i].h = Clamp32(int64_t(points[i].h) + origin.h);
    }
    LPointsFromScale(window, points, count);
}

void VXPointsToScreen(const WindowGeometry* window, Point* points, int32_t count) {
    if (PointsToScreenHook hook = GetPointsToScreenHook()) hook(window, points, count);
}

// Transformations.

void VXTransformPoints(int32_t code, Point* points, int32_t count) {
    for (int32_t i = 0; i < count; ++i) TransformOne(code, points[i].v, points[i].h);
}

void VXLTransformPoints(int32_t code, _LPNT* points, int32_t count) {
    for (int32_t i = 0; i < count; ++i) TransformOne(code, points[i].v, points[i].h);
}

void VXTransformGrafRect(int32_t code, Rect* r) {
    TransformGrafRect<Rect, int16_t>(code, r);
    VXAdjustTransformedGrafRect(code, r);
}

void VXLTransformGrafRect(int32_t code, LRect* r) {
    TransformGrafRect<LRect, int32_t>(code, r);
    VXLAdjustTransformedGrafRect(code, r);
}

void VXAdjustTransformedGrafRect(int32_t code, Rect* r) { AdjustTransformedGrafRect(code, r); }

void VXLAdjustTransformedGrafRect(int32_t code, LRect* r) { AdjustTransformedGrafRect(code, r); }

void VXTransformArc(int32_t code, int16_t* start, int16_t sweep) {
    static constexpr int32_t kTurn[4] = {0, 90, 180, -90};
    int32_t s = *start + kTurn[code & 3];
    if (code & 4) s = 360 - sweep - s;
    *start = NormalizeRotationDegrees(s);
}

int32_t VXTransformTransformation(int32_t a, int32_t b) {
    int32_t turnB = b & 3;
    int32_t turn = ((a & 3) + ((a & 4) ? -turnB : turnB)) & 3;
    int32_t mirror = (a ^ b) & 4;
    return (a & ~7) | mirror | turn;
}

int32_t VXInverseTransformation(int32_t code) {
    if (code & 4) return code;
    int32_t turn = code & 3;
    if (turn == 1 || turn == 3) return (code & ~3) | (4 - turn);
    return code;
}

// Rotations and angles.

void VXLRotatePoint(_LPNT* p, const _LPNT* centre, int32_t angle) {
    int64_t dv = int64_t(p->v) - centre->v, dh = int64_t(p->h) - centre->h;
    int64_t nv = dv, nh = dh;
    switch (angle) {
        case 90: nv = dh; nh = -dv; break;
        case 180: nv = -dv; nh = -dh; break;
        case 270:
        case -90: nv = -dh; nh = dv; break;
        case 1: nh = -dh; break;  // mirror horizontally
        case 2: nv = -dv; break;  // mirror vertically
        default: return;
    }
    p->v = int32_t(centre->v + nv);
    p->h = int32_t(centre->h + nh);
}

void VXLRotatePointTenthDegrees(_LPNT* p, const _LPNT* centre, int32_t tenths) {
    int32_t a = Mod3600(tenths);
    switch (a) {
        case 0: return;
        case 900: VXLRotatePoint(p, centre, 90); return;
        case 1800: VXLRotatePoint(p, centre, 180); return;
        case 2700: VXLRotatePoint(p, centre, 270); return;
        default: break;
    }
    double r = TenthsToRadians(a), c = std::cos(r), s = std::sin(r);
    double dv = double(p->v) - centre->v, dh = double(p->h) - centre->h;
    p->h = Clamp32(int64_t(centre->h) + RoundToInt32(c * dh - s * dv));
    p->v = Clamp32(int64_t(centre->v) + RoundToInt32(s * dh + c * dv));
}

int32_t DeltaToTenthDegrees(int32_t dh, int32_t dv, double aspect) {
    if (dh == 0) return dv > 0 ? 1800 : 0;
    int32_t t = RoundToInt32(std::atan(-double(dv) / double(dh) * aspect) * kTenthsPerRadian);
    int64_t a = 900 - int64_t(t);
    if (dh < 0) a += 1800;
    return Mod3600(a);
}

int16_t AngleFromPoint(const Rect* r, Point p) {
    int32_t cv = (r->top + r->bottom) / 2, ch = (r->left + r->right) / 2;
    int32_t dv = p.v - cv, dh = p.h - ch;
    if (dh == 0) return dv > 0 ? 180 : 0;
    if (dv == 0) return dh > 0 ? 90 : 270;
    double aspect = double(r->right - r->left) / double(r->bottom - r->top);
    return int16_t(DeltaToTenthDegrees(dh, dv, aspect) / 10);
}

void LGetRadiusPointTenthDegrees(const _LPNT* centre, int32_t hRadius, int32_t vRadius,
                                 int32_t tenths, _LPNT* out) {
    int32_t b = 900 - Mod3600(tenths);
    if (b < 0) b += 3600;
    double r = TenthsToRadians(b);
    out->v = Clamp32(int64_t(centre->v) - RoundToInt32(std::sin(r) * vRadius));
    out->h = Clamp32(int64_t(centre->h) + RoundToInt32(std::cos(r) * hRadius));
}

void GetRadiusPoint(Point centre, int16_t hRadius, int16_t vRadius, int32_t degrees, Point* out) {
    _LPNT c{centre.v, centre.h}, l;
    LGetRadiusPointTenthDegrees(&c, hRadius, vRadius, Clamp32(int64_t(degrees) * 10), &l);
    Point32To16(&l, out);
}

// Lines.

int32_t VXCalcDistance(int32_t h1, int32_t v1, int32_t h2, int32_t v2) {
    int64_t dh = int64_t(h2) - h1, dv = int64_t(v2) - v1;
    if (dh == 0 || dv == 0) return Clamp32(std::llabs(dh) + std::llabs(dv));
    double d = std::sqrt(double(dh) * double(dh) + double(dv) * double(dv));
    if (d >= 0.1 && d < 0.5) return 1;
    return ClampDouble(std::floor(d + 0.5));
}

void VXLSnapPointToLine(const _LPNT* a, const _LPNT* b, const _LPNT* p, _LPNT* snapped) {
    double sv = double(b->v) - a->v, sh = double(b->h) - a->h;
    double len2 = sv * sv + sh * sh;
    if (len2 == 0) {
        *snapped = *a;
        return;
    }
    double t = ((double(p->v) - a->v) * sv + (double(p->h) - a->h) * sh) / len2;
    if (t >= 0 && t <= 1) {
        _LPNT s{Clamp32(int64_t(a->v) + RoundToInt32(t * sv)),
                Clamp32(int64_t(a->h) + RoundToInt32(t * sh))};
        *snapped = s;
        return;
    }
    int32_t da = VXCalcDistance(p->h, p->v, a->h, a->v);
    int32_t db = VXCalcDistance(p->h, p->v, b->h, b->v);
    *snapped = db < da ? *b : *a;
}

int32_t VXLCalcDistancePointToLine(const _LPNT* p, const _LPNT* a, const _LPNT* b,
                                   _LPNT* snapped) {
    _LPNT s;
    VXLSnapPointToLine(a, b, p, &s);
    if (snapped) *snapped = s;
    return VXCalcDistance(p->h, p->v, s.h, s.v);
}

int VXLSectLines(const _LPNT* a1, const _LPNT* a2, const _LPNT* b1, const _LPNT* b2,
                 bool segmentsOnly, _LPNT* out) {
    bool aVertical = a1->h == a2->h, bVertical = b1->h == b2->h;
    double ma = aVertical ? 0 : (double(a2->v) - a1->v) / (double(a2->h) - a1->h);
    double mb = bVertical ? 0 : (double(b2->v) - b1->v) / (double(b2->h) - b1->h);
    int result = kLinesApart;
    _LPNT at{0, 0};
    if (aVertical && bVertical) {
        result = a1->h == b1->h ? kLinesOverlap : kLinesApart;
    } else if (aVertical) {
        at.h = a1->h;
        at.v = Clamp32(int64_t(b1->v) + RoundToInt32(mb * a1->h - mb * b1->h));
        result = kLinesCross;
    } else if (bVertical) {
        at.h = b1->h;
        at.v = Clamp32(int64_t(a1->v) + RoundToInt32(ma * b1->h - ma * a1->h));
        result = kLinesCross;
    } else if (ma == 0 && mb == 0) {
        result = a1->v == b1->v ? kLinesOverlap : kLinesApart;
    } else if (std::trunc(1000 * ma) == std::trunc(1000 * mb)) {
        // Slopes that agree to three decimals count as parallel. Wires on the grid never come
        // that close without being parallel, but long, nearly parallel segments that do cross
        // are reported as apart (or overlapping).
        auto inRangeOfB = [&](int32_t v) {
            return std::min(b1->v, b2->v) <= v && v <= std::max(b1->v, b2->v);
        };
        int32_t d;
        if (inRangeOfB(a1->v))
            d = VXLCalcDistancePointToLine(a1, b1, b2, nullptr);
        else if (inRangeOfB(a2->v))
            d = VXLCalcDistancePointToLine(a2, b1, b2, nullptr);
        else
            d = VXLCalcDistancePointToLine(b1, a1, a2, nullptr);
        result = d == 0 ? kLinesOverlap : kLinesApart;
    } else {
        int32_t h = RoundToInt32((a1->h * ma + (b1->v - b1->h * mb) - a1->v) / (ma - mb));
        at.h = h;
        at.v = RoundToInt32(a1->v + ma * h - a1->h * ma);
        result = kLinesCross;
    }
    if (segmentsOnly && result != kLinesApart) {
        LRect ra, rb, s;
        Pt2Rect32(a1, a2, &ra);
        Pt2Rect32(b1, b2, &rb);
        ra.bottom += 1;
        ra.right += 1;
        rb.bottom += 1;
        rb.right += 1;
        if (result == kLinesCross) {
            if (!PtInRect32(at.h, at.v, &ra) || !PtInRect32(at.h, at.v, &rb)) result = kLinesApart;
        } else if (!SectRect32(&ra, &rb, &s)) {
            result = kLinesApart;
        }
    }
    if (result == kLinesCross) *out = at;
    return result;
}

int VXSectLines(Point a1, Point a2, Point b1, Point b2, bool segmentsOnly, Point* out) {
    _LPNT la1{a1.v, a1.h}, la2{a2.v, a2.h}, lb1{b1.v, b1.h}, lb2{b2.v, b2.h}, at;
    int result = VXLSectLines(&la1, &la2, &lb1, &lb2, segmentsOnly, &at);
    if (result == kLinesCross) Point32To16(&at, out);
    return result;
}

}  // namespace plexa
