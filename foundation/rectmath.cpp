// Rounded scaling divisions and 32-bit rectangle operations.
#include "foundation/rectmath.h"

#include <algorithm>
#include <cmath>

namespace plexa {

namespace {

int16_t Clamp16(int32_t x) {
    return int16_t(std::clamp<int32_t>(x, INT16_MIN, INT16_MAX));
}

}  // namespace

int16_t MulDiv16(int16_t a, int16_t b, int16_t c) {
    if (c == 0) return 0;
    int32_t p = int32_t(a) * int32_t(b);
    int32_t d = c;
    if (d < 0) {
        d = -d;
        p = -p;
    }
    int32_t half = d >> 1;
    int32_t q = p >= 0 ? (half + p) / d : -((half - p) / d);
    return int16_t(q);
}

int32_t MulDiv32(int32_t a, int64_t b, int64_t c) {
    if (c <= 0) return 0;
    bool negative = (a < 0) != (b < 0);
    uint64_t ma = a < 0 ? uint64_t(-int64_t(a)) : uint64_t(a);
    uint64_t mb = b < 0 ? uint64_t(0) - uint64_t(b) : uint64_t(b);
    uint64_t uc = uint64_t(c);
    uint64_t q = (ma * mb + uc / 2) / uc;
    return negative ? int32_t(uint32_t(0) - uint32_t(q)) : int32_t(uint32_t(q));
}

Point* Point32To16(const _LPNT* p, Point* out) {
    out->v = Clamp16(p->v);
    out->h = Clamp16(p->h);
    return out;
}

Rect* Rect32To16(const LRect* r, Rect* out) {
    out->top = Clamp16(r->top);
    out->left = Clamp16(r->left);
    out->bottom = Clamp16(r->bottom);
    out->right = Clamp16(r->right);
    return out;
}

LRect* Rect16To32(const Rect* r, LRect* out) {
    out->top = r->top;
    out->left = r->left;
    out->bottom = r->bottom;
    out->right = r->right;
    return out;
}

XRect XRectFromRect(const Rect& r) {
    return {double(r.left), double(r.top), double(r.right - r.left), double(r.bottom - r.top)};
}

XRect XRectFromLRect(const LRect& r) {
    return {double(r.left), double(r.top), double(r.right) - r.left, double(r.bottom) - r.top};
}

LRect LRectFromXRect(const XRect& r) {
    const auto edge = [](double d) { return int32_t(std::lround(d)); };
    return {edge(r.y), edge(r.x), edge(r.y + r.height), edge(r.x + r.width)};
}

void OffsetRect32(LRect* r, int32_t dh, int32_t dv) {
    r->top += dv;
    r->bottom += dv;
    r->left += dh;
    r->right += dh;
}

LRect* InsetRect32(LRect* r, int32_t dh, int32_t dv) {
    r->top += dv;
    r->left += dh;
    r->bottom -= dv;
    r->right -= dh;
    return r;
}

LRect* UnionRect32(const LRect* a, const LRect* b, LRect* out) {
    out->top = std::min(a->top, b->top);
    out->left = std::min(a->left, b->left);
    out->bottom = std::max(a->bottom, b->bottom);
    out->right = std::max(a->right, b->right);
    return out;
}

bool SectRect32(const LRect* a, const LRect* b, LRect* out) {
    out->top = std::max(a->top, b->top);
    out->left = std::max(a->left, b->left);
    out->bottom = std::min(a->bottom, b->bottom);
    out->right = std::min(a->right, b->right);
    return out->right > out->left && out->bottom > out->top;
}

void PinRect32(_LPNT* p, const LRect* r, bool inset) {
    int32_t in = inset ? 1 : 0;
    if (p->h < r->left) p->h = r->left;
    if (p->v < r->top) p->v = r->top;
    if (p->h >= r->right) p->h = r->right - in;
    if (p->v >= r->bottom) p->v = r->bottom - in;
}

bool EqualRect32(const LRect* a, const LRect* b) {
    return a->top == b->top && a->left == b->left && a->bottom == b->bottom &&
           a->right == b->right;
}

bool EmptyRect32(const LRect* r) { return RectIsEmpty(*r); }

void Pt2Rect32(const _LPNT* p1, const _LPNT* p2, LRect* out) {
    out->top = std::min(p1->v, p2->v);
    out->left = std::min(p1->h, p2->h);
    out->bottom = std::max(p1->v, p2->v);
    out->right = std::max(p1->h, p2->h);
}

bool PtInRect32(int32_t h, int32_t v, const LRect* r) {
    return r->top <= v && v < r->bottom && r->left <= h && h < r->right;
}

}  // namespace plexa
