// Arc and fillet geometry, and the walk over the finished path.
#include "graphics/arcs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plexa {

Handle gFinishedPath = nullptr;

namespace {

// Direction of q from c in radians: atan(dv / dh), plus pi to the left, +-pi/2 when vertical.
double DirectionRadians(const _LPNT* c, const _LPNT* q) {
    double dv = double(q->v) - c->v, dh = double(q->h) - c->h;
    if (dh == 0) return dv >= 0 ? kArcHalfPi : -kArcHalfPi;
    double a = std::atan(dv / dh);
    return dh < 0 ? a + kArcPi : a;
}

int16_t ReportedTenths(double radians) {
    int32_t t = (3600 - RoundToInt32(radians * kTenthsPerRadian)) % 3600;
    return int16_t(t < 0 ? t + 3600 : t);
}

int16_t Tenths0To3599(int32_t t) {
    t %= 3600;
    return int16_t(t < 0 ? t + 3600 : t);
}

struct Line {
    double a, b, c;  // a h + b v + c = 0
};

Line LineThrough(const _LPNT* p, const _LPNT* q) {
    Line l;
    l.a = double(q->v) - p->v;
    l.b = double(p->h) - q->h;
    l.c = -(l.a * p->h + l.b * p->v);
    return l;
}

double Value(const Line& l, double h, double v) { return l.a * h + l.b * v + l.c; }

// The foot of the perpendicular from (h, v) on the line through p and q, as reported: a
// coordinate that the segment holds constant keeps that exact value, the others are rounded.
void Foot(const Line& l, double h, double v, const _LPNT* p, const _LPNT* q, double* fh,
          double* fv, _LPNT* reported) {
    double k = Value(l, h, v) / (l.a * l.a + l.b * l.b);
    *fh = h - k * l.a;
    *fv = v - k * l.b;
    reported->h = p->h == q->h ? p->h : RoundToInt32(*fh);
    reported->v = p->v == q->v ? p->v : RoundToInt32(*fv);
}

double Distance(const _LPNT* p, const _LPNT* q) {
    return std::hypot(double(p->h) - q->h, double(p->v) - q->v);
}

}  // namespace

void GPathCalcArcRawInfo(const _LPNT* centre, const _LPNT* start, const _LPNT* end,
                         int32_t* radius, _LPNT* snappedEnd, LRect* bounds, int16_t* startAngle,
                         int16_t* endAngle) {
    double r = Distance(centre, start);
    if (radius) *radius = RoundToInt32(r);
    if (bounds) {
        int32_t d = RoundToInt32(2 * r);
        bounds->top = RoundToInt32(centre->v - r);
        bounds->left = RoundToInt32(centre->h - r);
        bounds->bottom = bounds->top + d;
        bounds->right = bounds->left + d;
    }
    double a = DirectionRadians(centre, end);
    if (snappedEnd) {
        snappedEnd->v = centre->v + RoundToInt32(std::sin(a) * r);
        snappedEnd->h = centre->h + RoundToInt32(std::cos(a) * r);
    }
    if (endAngle) *endAngle = ReportedTenths(a);
    if (startAngle) *startAngle = ReportedTenths(DirectionRadians(centre, start));
}

int GPathCalcFilletArcRawInfo(const _LPNT* p0, const _LPNT* p1, const _LPNT* p2, int32_t radius,
                              _LPNT* centre, _LPNT* tangent1, _LPNT* tangent2, LRect* bounds,
                              int16_t* startAngle, int16_t* sweep, int16_t* direction) {
    Line l1 = LineThrough(p0, p1), l2 = LineThrough(p1, p2);
    double det = l1.a * l2.b - l2.a * l1.b;
    if (det == 0) return 0;  // collinear (or a segment of no length)

    // Each line moves by the radius towards the side where the other segment lies.
    double s1 = Value(l1, (double(p1->h) + p2->h) / 2, (double(p1->v) + p2->v) / 2);
    double s2 = Value(l2, (double(p0->h) + p1->h) / 2, (double(p0->v) + p1->v) / 2);
    if (s1 == 0 || s2 == 0) return 0;
    double r = radius;
    Line m1 = l1, m2 = l2;
    m1.c -= (s1 > 0 ? r : -r) * std::hypot(l1.a, l1.b);
    m2.c -= (s2 > 0 ? r : -r) * std::hypot(l2.a, l2.b);

    double ch = (m1.b * m2.c - m2.b * m1.c) / det;
    double cv = (m2.a * m1.c - m1.a * m2.c) / det;
    _LPNT c{RoundToInt32(cv), RoundToInt32(ch)};

    double t1h, t1v, t2h, t2v;
    _LPNT t1, t2;
    Foot(l1, ch, cv, p0, p1, &t1h, &t1v, &t1);
    Foot(l2, ch, cv, p1, p2, &t2h, &t2v, &t2);

    double d1h = t1h - ch, d1v = t1v - cv, d2h = t2h - ch, d2v = t2v - cv;
    int16_t dir = d1h * d2v - d1v * d2h > 0 ? kFilletClockwise : kFilletCounterClockwise;

    LRect b{c.v - radius, c.h - radius, c.v + radius, c.h + radius};
    const _LPNT* other = nullptr;
    int32_t at = 0;
    if (p0->v == p1->v) {
        at = p0->v;
        other = p2;
    } else if (p1->v == p2->v) {
        at = p1->v;
        other = p0;
    }
    if (other) (other->v <= at ? b.bottom : b.top) = at;
    other = nullptr;
    if (p0->h == p1->h) {
        at = p0->h;
        other = p2;
    } else if (p1->h == p2->h) {
        at = p1->h;
        other = p0;
    }
    if (other) (other->h <= at ? b.right : b.left) = at;

    if (centre) *centre = c;
    if (tangent1) *tangent1 = t1;
    if (tangent2) *tangent2 = t2;
    if (bounds) *bounds = b;
    if (startAngle)
        *startAngle = Tenths0To3599(RoundToInt32(std::atan2(d1v, d1h) * -kTenthsPerRadian));
    if (sweep) {
        double n1 = std::hypot(d1h, d1v), n2 = std::hypot(d2h, d2v);
        int32_t s = 0;
        if (n1 != 0 && n2 != 0) {
            double cosine = std::clamp((d1h * d2h + d1v * d2v) / (n1 * n2), -1.0, 1.0);
            s = RoundToInt32(std::acos(cosine) * kTenthsPerRadian);
        }
        *sweep = int16_t(dir == kFilletClockwise ? -s : s);
    }
    if (direction) *direction = dir;

    double shorter = std::min(Distance(p0, p1), Distance(p1, p2));
    return Distance(&t1, p1) <= shorter && Distance(&t2, p1) <= shorter ? 1 : 0;
}

void GPathEnum(GPathEnumProc proc, void* refcon) {
    if (!gFinishedPath || !*gFinishedPath) return;
    const char* bytes = *gFinishedPath;
    uint32_t used;
    std::memcpy(&used, bytes + 4, sizeof used);
    if (used < 17) return;
    uint32_t offset = 16;
    bool emitted = false;
    while (offset < used) {
        if (used - offset < 2) break;
        int16_t n;
        std::memcpy(&n, bytes + offset, sizeof n);
        offset += 2;
        if (n >= 1) {
            if ((used - offset) / 8 < uint32_t(n)) break;
            for (int16_t i = 0; i < n; ++i, offset += 8) {
                _LPNT p;
                std::memcpy(&p, bytes + offset, sizeof p);
                proc(&p, nullptr, emitted ? 1 : 0, refcon);
                emitted = true;
            }
        } else {
            if (used - offset < uint32_t(kFinishedPathArcSize)) break;
            if (emitted) proc(nullptr, bytes + offset, 1, refcon);
            offset += kFinishedPathArcSize;
        }
    }
    if (emitted) proc(nullptr, nullptr, 2, refcon);
}

}  // namespace plexa
