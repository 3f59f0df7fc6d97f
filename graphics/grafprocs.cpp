// The standard, centre-line and null drawing procedures and the dispatchers.
//
// Standard set: without a current state every shape slot returns at once. A scaled state (flag
// 0x08) converts coordinates from document to window scale; strokes draw with the scaled pen
// (VXScaledPenSize), which is put back afterwards. Lines leave the pen at the unscaled end.
//
// Centre-line set: a stroke of pen w is moved so that it is centred on the path. With
// half = w >> 1, a frame keeps top and left and grows bottom and right by w when half is 0,
// else shrinks top and left by half and grows bottom and right by w - half; a fill always grows
// bottom and right by 1.
#include "graphics/grafprocs.h"

#include <algorithm>
#include <memory>
#include <new>

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"

namespace plexa {

bool gDrawingCaretLine = false;

namespace {

constexpr VXRendererOps kRendererOps = {
    QZLineTo,         QZLineToQD,
    QZPathLineTo,     QZStrokeRectangleInsideFrame,
    QZFillRectangle,  QZStrokeRoundedRectangleInsideFrame,
    QZFillRoundedRectangle, QZStrokeEllipticArcInsideFrame,
    QZFillEllipticArc, QZFramePoly16,
    QZFillPoly16,     QZFramePath,
    QZFillPath,       QZDrawRectangle,
    QZDrawRoundedRectangle, QZDrawEllipse,
};

const VXRendererOps* gOps = &kRendererOps;
const VXDisplayListRecorder* gRecorder = nullptr;
VXPixelsDrawer gPixelsDrawer = nullptr;
VXGrafProcsRecord gStdProcs{};
VXGrafProcsRecord gNullProcs{};

// Points copied on the stack before a heap block is taken.
constexpr int32_t kPolyStackPoints = 64;
constexpr int32_t kCenterPolyStackPoints = 128;

VXGrafState* Current() { return VXGetCurrentGrafState(); }

bool Scaled(const VXGrafState* s) { return s->geometry.flags & kWindowFlagScaled; }

bool Recording(const VXGrafState* s) { return s->displayList != nullptr; }

// Draws a stroke with the state's scaled pen and puts the pen size back when it changed.
class ScaledPen {
public:
    explicit ScaledPen(VXGrafState* s) : port_(s->port), old_(s->port->penSize) {
        const int32_t size = VXScaledPenSize(s, old_);
        if (size != old_) QZSetPenSize(port_, size);
        else port_ = nullptr;
    }
    ~ScaledPen() {
        if (port_) QZSetPenSize(port_, old_);
    }
    ScaledPen(const ScaledPen&) = delete;
    ScaledPen& operator=(const ScaledPen&) = delete;

private:
    QZPort* port_;
    int32_t old_;
};

// A state that can draw: current, with a port.
VXGrafState* Drawable() {
    VXGrafState* s = Current();
    return s && s->port ? s : nullptr;
}

// The rectangle in window scale as the renderer's rectangle; false when it is empty.
bool ScaledXRect(VXGrafState* s, const LRect* r, XRect* out) {
    if (EmptyRect32(r)) return false;
    LRect scaled = *r;
    if (Scaled(s)) LRectToNoEmptyScale(&s->geometry, &scaled);
    LRCTtoXRCT(&scaled, out);
    return true;
}

void DrawLRect(VXGrafState* s, const LRect* r, int8_t verb) {
    XRect x{};
    if (!ScaledXRect(s, r, &x)) return;
    if (verb == 0) {
        ScaledPen pen(s);
        gOps->strokeRect(s->port, x);
    } else {
        gOps->fillRect(s->port, x, verb == 2);
    }
}

void DrawLArc(VXGrafState* s, const LRect* r, int16_t start, int16_t arc, int8_t verb) {
    if (verb < 0 || verb > 2) return;
    XRect x{};
    if (!ScaledXRect(s, r, &x)) return;
    if (verb == 0) {
        ScaledPen pen(s);
        gOps->strokeArc(s->port, x, start, arc);
    } else {
        gOps->fillArc(s->port, x, start, arc, verb == 2);
    }
}

// Copies of point arrays: on the stack up to N points, else on the heap; empty when the heap
// block cannot be had.
template <class P, int32_t N>
class PointCopy {
public:
    PointCopy(const P* points, int32_t count) {
        if (count <= N) {
            data_ = local_;
        } else {
            heap_.reset(new (std::nothrow) P[size_t(count)]);
            data_ = heap_.get();
        }
        if (data_ && count > 0) std::copy(points, points + count, data_);
    }
    P* data() const { return data_; }

private:
    P local_[N];
    std::unique_ptr<P[]> heap_;
    P* data_ = nullptr;
};

}  // namespace

// ---- Tables ----

void VXSetStdGrafProcs(VXGrafProcsRecord* t) {
    if (!t) return;
    *t = {VXStdText,      VXStdLine,     VXStdRect,     VXStdOval,     VXStdRRect,
          VXStdAngleArc,  VXStdPoly,     VXStdPixels,   VXStdRoundLine, VXLStdText,
          VXLStdLine,     VXLStdRect,    VXLStdOval,    VXLStdAngleArc, VXLStdPoly,
          VXStdRenderRect, VXStdRenderEllipse};
}

void VXSetCenterGrafProcs(VXGrafProcsRecord* t) {
    if (!t) return;
    VXSetStdGrafProcs(t);
    t->line = VXCntrLine;
    t->rect = VXCntrRect;
    t->oval = VXCntrOval;
    t->rRect = VXCntrRRect;
    t->arc = VXCntrArc;
    t->poly = VXCntrPoly;
}

void VXSetNullGrafProcs(VXGrafProcsRecord* t) {
    if (!t) return;
    *t = {VXNullText,      VXNullLine,    VXNullRect,    VXNullOval,      VXNullRRect,
          VXNullArc,       VXNullPoly,    VXNullPixels,  VXNullRoundLine, VXNullText,
          VXLNullLine,     VXLNullRect,   VXLNullOval,   VXLNullArc,      VXLNullPoly,
          VXNullRenderRect, VXNullRenderEllipse};
}

void VXInitGraf() {
    VXSetStdGrafProcs(&gStdProcs);
    VXSetNullGrafProcs(&gNullProcs);
    SetCurrentTextStyleProc([]() -> txStyle* {
        const VXGrafState* s = VXGetCurrentGrafState();
        return s ? s->textStyle : nullptr;
    });
}

const VXGrafProcsRecord* VXGetStdGrafProcs() {
    if (!gStdProcs.text) VXInitGraf();
    return &gStdProcs;
}

const VXGrafProcsRecord* VXGetNullGrafProcs() {
    if (!gNullProcs.text) VXInitGraf();
    return &gNullProcs;
}

const VXDisplayListRecorder* VXSetDisplayListRecorder(const VXDisplayListRecorder* recorder) {
    const VXDisplayListRecorder* previous = gRecorder;
    gRecorder = recorder;
    return previous;
}

const VXDisplayListRecorder* VXGetDisplayListRecorder() { return gRecorder; }

VXPixelsDrawer VXSetPixelsDrawer(VXPixelsDrawer drawer) {
    VXPixelsDrawer previous = gPixelsDrawer;
    gPixelsDrawer = drawer;
    return previous;
}

const VXRendererOps* VXSetRendererOps(const VXRendererOps* ops) {
    const VXRendererOps* previous = gOps;
    gOps = ops ? ops : &kRendererOps;
    return previous;
}

const VXRendererOps& VXGetRendererOps() { return *gOps; }

uint32_t VXRenderCodeForVerb(int8_t verb) {
    static constexpr uint16_t kMap[5] = {2, 1, 5, 0, 3};
    return verb >= 0 && verb < 5 ? kMap[verb] : 0;
}

// ---- Standard procedures ----

void VXStdLine(int16_t h, int16_t v) {
    VXGrafState* s = Drawable();
    if (!s) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->line) gRecorder->line(s, h, v, 0, 0);
        return;
    }
    if (!Scaled(s)) return gOps->lineToQD(s->port, h, v);
    if (gDrawingCaretLine) return VXLStdLine(h, v);
    _LPNT ends[2] = {s->port->pen, {v, h}};
    LPointsToScale(&s->geometry, ends, 2);
    QZMoveTo(s->port, ends[0].h, ends[0].v);
    {
        ScaledPen pen(s);
        gOps->lineToQD(s->port, ends[1].h, ends[1].v);
    }
    QZMoveTo(s->port, h, v);
}

void VXLStdLine(int32_t h, int32_t v) {
    VXGrafState* s = Drawable();
    if (!s) return;
    QZPort* port = s->port;
    _LPNT ends[2] = {port->pen, {v, h}};
    if (Scaled(s)) LPointsToScale(&s->geometry, ends, 2);
    if (s->geometry.flags & kWindowFlagLinesBuildPath) {
        gOps->pathLineTo(port, ends[1].h, ends[1].v);
        QZMoveTo(port, h, v);
        return;
    }
    if (!Scaled(s)) return gOps->lineTo(port, h, v);
    QZMoveTo(port, ends[0].h, ends[0].v);
    {
        ScaledPen pen(s);
        gOps->lineTo(port, ends[1].h, ends[1].v);
    }
    QZMoveTo(port, h, v);
}

void VXStdRect(const Rect* r, int8_t verb) {
    VXGrafState* s = Drawable();
    if (!s || !r) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->rect) gRecorder->rect(s, r, verb);
        return;
    }
    LRect l{};
    DrawLRect(s, Rect16To32(r, &l), verb);
}

void VXLStdRect(const LRect* r, int8_t verb) {
    VXGrafState* s = Drawable();
    if (s && r) DrawLRect(s, r, verb);
}

void VXStdOval(const Rect* r, int8_t verb) {
    VXGrafState* s = Drawable();
    if (!s || !r) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->oval) gRecorder->oval(s, r, verb);
        return;
    }
    LRect l{};
    DrawLArc(s, Rect16To32(r, &l), 0, 360, verb);
}

void VXLStdOval(const LRect* r, int8_t verb) {
    VXGrafState* s = Drawable();
    if (s && r) DrawLArc(s, r, 0, 360, verb);
}

void VXStdRRect(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb) {
    VXGrafState* s = Drawable();
    if (!s || !r) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->rRect) gRecorder->rRect(s, r, cornerWidth, cornerHeight, verb);
        return;
    }
    LRect l{};
    Rect16To32(r, &l);
    if (EmptyRect32(&l)) return;
    _LPNT corner = {cornerHeight, cornerWidth};
    if (Scaled(s)) {
        LRectToNoEmptyScale(&s->geometry, &l);
        LPointsToScale(&s->geometry, &corner, 1);
    }
    XRect x{};
    LRCTtoXRCT(&l, &x);
    // The renderer takes the scaled corner height as the corner radius.
    if (verb == 0) {
        ScaledPen pen(s);
        gOps->strokeRoundRect(s->port, x, corner.v);
    } else {
        gOps->fillRoundRect(s->port, x, corner.v, verb == 2);
    }
}

void VXStdAngleArc(const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    VXGrafState* s = Drawable();
    if (!s || !r) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->arc) gRecorder->arc(s, r, start, arc, verb);
        return;
    }
    LRect l{};
    DrawLArc(s, Rect16To32(r, &l), start, arc, verb);
}

void VXLStdAngleArc(const LRect* r, int16_t start, int16_t arc, int8_t verb) {
    VXGrafState* s = Drawable();
    if (s && r) DrawLArc(s, r, start, arc, verb);
}

void VXStdPoly(const Point* points, int16_t count, int8_t verb) {
    VXGrafState* s = Drawable();
    if (!s || !points) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->poly) gRecorder->poly(s, points, count, verb);
        return;
    }
    if (count < 1) return;
    QZPort* port = s->port;
    const Point last = points[count - 1];
    if (Scaled(s)) {
        PointCopy<Point, kPolyStackPoints> copy(points, count);
        if (!copy.data()) return;
        PointsToScale(&s->geometry, copy.data(), count);
        if (verb == 0) {
            ScaledPen pen(s);
            gOps->framePoly(port, copy.data(), count);
        } else {
            // Fills move by half of one scaled unit, so that they cover the pixels a frame of
            // the same points would.
            const int32_t unit = std::max(0, MulShift24(1, s->geometry.scaleV));
            gOps->fillPoly(port, copy.data(), count, unit / 2.0, verb == 2);
        }
    } else if (verb == 0) {
        gOps->framePoly(port, points, count);
    } else {
        gOps->fillPoly(port, points, count, 0.0, verb == 2);
    }
    QZMoveTo(port, last.h, last.v);
}

void VXLStdPoly(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb) {
    VXGrafState* s = Drawable();
    if (!s || !points || count == 0 || verb < 0 || verb > 2) return;
    QZPort* port = s->port;
    const _LPNT* pts = points;
    const int32_t* rad = radii;
    PointCopy<_LPNT, kPolyStackPoints> copy(points, Scaled(s) ? count : 0);
    PointCopy<int32_t, kPolyStackPoints> radiiCopy(radii, Scaled(s) && radii ? count : 0);
    if (Scaled(s)) {
        if (!copy.data() || !radiiCopy.data()) return;
        LPointsToScale(&s->geometry, copy.data(), count);
        pts = copy.data();
        if (radii) {
            LDimensionsToScale(&s->geometry, radiiCopy.data(), count, 0);
            rad = radiiCopy.data();
        }
    }
    if (verb == 0) {
        {
            ScaledPen pen(s);
            gOps->framePath(port, pts, rad, count);
        }
        QZMoveTo(port, points[count - 1].h, points[count - 1].v);
    } else {
        gOps->fillPath(port, pts, rad, count, verb == 2);
    }
}

void VXStdPixels(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode) {
    VXGrafState* s = Drawable();
    if (s && pixels && dest && gPixelsDrawer) gPixelsDrawer(s, pixels, source, dest, mode);
}

void VXStdRoundLine(int16_t h, int16_t v, uint8_t width) {
    VXGrafState* s = Drawable();
    if (!s) return;
    if (Recording(s)) {
        if (gRecorder && gRecorder->line) gRecorder->line(s, h, v, width, 1);
        return;
    }
    VXLStdLine(h, v);
}

void VXStdRenderRect(const _LPNT* centre, const _LPNT* size, int32_t diameter, int16_t rotation,
                     int8_t verb) {
    VXGrafState* s = Drawable();
    const uint32_t code = VXRenderCodeForVerb(verb);
    if (!s || !centre || !size || code == 0) return;
    _LPNT p[3] = {*centre, *size, {diameter, diameter}};
    if (Scaled(s)) LPointsToScale(&s->geometry, p, 3);
    const int32_t x1 = p[0].h - p[1].h / 2, y1 = p[0].v - p[1].v / 2;
    const int32_t x2 = x1 + p[1].h, y2 = y1 + p[1].v;
    const int32_t d = p[2].v;
    std::unique_ptr<ScaledPen> pen;
    if (code == 2) pen = std::make_unique<ScaledPen>(s);
    if (d < 1) gOps->drawRectangle(s->port, x1, y1, x2, y2, rotation, code);
    else gOps->drawRoundedRectangle(s->port, x1, y1, x2, y2, d, rotation, code);
}

void VXStdRenderEllipse(const _LPNT* centre, const _LPNT* size, int16_t start, int16_t arc,
                        int16_t rotation, int8_t verb) {
    VXGrafState* s = Drawable();
    const uint32_t code = VXRenderCodeForVerb(verb);
    if (!s || !centre || !size || code == 0) return;
    _LPNT p[2] = {*centre, *size};
    if (Scaled(s)) LPointsToScale(&s->geometry, p, 2);
    std::unique_ptr<ScaledPen> pen;
    if (code == 2) pen = std::make_unique<ScaledPen>(s);
    gOps->drawEllipse(s->port, p[0].h, p[0].v, p[1].h, p[1].v, start, arc, rotation, code);
}

// ---- Centre-line procedures ----

void CalcCenteredFrame(const Rect* r, Rect* out, int8_t verb) {
    if (!r || !out) return;
    *out = *r;
    VXGrafState* s = Drawable();
    if (!s) return;
    if (verb != 0) {
        out->bottom = int16_t(out->bottom + 1);
        out->right = int16_t(out->right + 1);
        return;
    }
    const int32_t w = s->port->penSize, half = w >> 1;
    out->top = int16_t(out->top - half);
    out->left = int16_t(out->left - half);
    out->bottom = int16_t(out->bottom + w - half);
    out->right = int16_t(out->right + w - half);
}

namespace {
int32_t HalfPen() {
    VXGrafState* s = Drawable();
    return s ? s->port->penSize >> 1 : 0;
}
}  // namespace

void VXCntrLine(int16_t h, int16_t v) {
    const int32_t half = HalfPen();
    if (half == 0) return VXStdLine(h, v);
    QZPort* port = Current()->port;
    QZMove(port, -half, -half);
    VXStdLine(int16_t(h - half), int16_t(v - half));
    QZMove(port, half, half);
}

void VXCntrRect(const Rect* r, int8_t verb) {
    Rect c{};
    if (!r) return;
    CalcCenteredFrame(r, &c, verb);
    VXStdRect(&c, verb);
}

void VXCntrOval(const Rect* r, int8_t verb) {
    Rect c{};
    if (!r) return;
    CalcCenteredFrame(r, &c, verb);
    VXStdOval(&c, verb);
}

void VXCntrRRect(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb) {
    Rect c{};
    if (!r) return;
    CalcCenteredFrame(r, &c, verb);
    VXStdRRect(&c, cornerWidth, cornerHeight, verb);
}

void VXCntrArc(const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    Rect c{};
    if (!r) return;
    CalcCenteredFrame(r, &c, verb);
    VXStdAngleArc(&c, start, arc, verb);
}

void VXCntrPoly(const Point* points, int16_t count, int8_t verb) {
    const int32_t half = HalfPen();
    if (verb != 0 || half == 0 || !points || count < 1) return VXStdPoly(points, count, verb);
    PointCopy<Point, kCenterPolyStackPoints> copy(points, count);
    if (!copy.data()) return;
    VXOffsetPoints(copy.data(), count, int16_t(-half), int16_t(-half));
    VXStdPoly(copy.data(), count, verb);
    QZMove(Current()->port, half, half);
}

// ---- Null procedures ----

void VXNullText(const void*, int32_t, uint32_t) {}
void VXNullLine(int16_t, int16_t) {}
void VXNullRect(const Rect*, int8_t) {}
void VXNullOval(const Rect*, int8_t) {}
void VXNullRRect(const Rect*, int16_t, int16_t, int8_t) {}
void VXNullArc(const Rect*, int16_t, int16_t, int8_t) {}
void VXNullPoly(const Point*, int16_t, int8_t) {}
void VXNullPixels(VXPixels*, const Rect*, const Rect*, int16_t) {}
void VXNullRoundLine(int16_t, int16_t, uint8_t) {}
void VXLNullLine(int32_t, int32_t) {}
void VXLNullRect(const LRect*, int8_t) {}
void VXLNullOval(const LRect*, int8_t) {}
void VXLNullArc(const LRect*, int16_t, int16_t, int8_t) {}
void VXLNullPoly(const _LPNT*, const int32_t*, uint16_t, int8_t) {}
void VXNullRenderRect(const _LPNT*, const _LPNT*, int32_t, int16_t, int8_t) {}
void VXNullRenderEllipse(const _LPNT*, const _LPNT*, int16_t, int16_t, int16_t, int8_t) {}

// ---- Dispatchers ----

namespace {
// The current state's table, or null without a current state.
const VXGrafProcsRecord* Procs() {
    VXGrafState* s = Current();
    if (!s) return nullptr;
    return s->grafProcs ? s->grafProcs : VXGetStdGrafProcs();
}
}  // namespace

void VXDrawTextWithEncoding(const void* text, int32_t count, uint32_t encoding) {
    if (const VXGrafProcsRecord* p = Procs()) p->text(text, count, encoding);
}

void VXLDrawTextWithEncoding(const void* text, int32_t count, uint32_t encoding) {
    if (const VXGrafProcsRecord* p = Procs()) p->lText(text, count, encoding);
}

void VXLineTo(int16_t h, int16_t v) {
    if (const VXGrafProcsRecord* p = Procs()) p->line(h, v);
}

void VXLine(int16_t dh, int16_t dv) {
    const VXGrafProcsRecord* p = Procs();
    if (!p || !Current()->port) return;
    const _LPNT pen = Current()->port->pen;
    p->line(int16_t(uint16_t(pen.h + dh)), int16_t(uint16_t(pen.v + dv)));
}

void VXLLine(int32_t dh, int32_t dv) {
    const VXGrafProcsRecord* p = Procs();
    if (!p || !Current()->port) return;
    const _LPNT pen = Current()->port->pen;
    p->lLine(int32_t(uint32_t(pen.h) + uint32_t(dh)), int32_t(uint32_t(pen.v) + uint32_t(dv)));
}

void VXRoundLine(int16_t dh, int16_t dv, uint8_t width) {
    const VXGrafProcsRecord* p = Procs();
    if (!p || !Current()->port) return;
    const _LPNT pen = Current()->port->pen;
    p->roundLine(int16_t(uint16_t(pen.h + dh)), int16_t(uint16_t(pen.v + dv)), width);
}

void VXRectDispatch(const Rect* r, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->rect(r, verb);
}

void VXLRectDispatch(const LRect* r, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->lRect(r, verb);
}

void VXOvalDispatch(const Rect* r, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->oval(r, verb);
}

void VXRoundRectDispatch(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->rRect(r, cornerWidth, cornerHeight, verb);
}

void VXArcDispatch(const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->arc(r, start, arc, verb);
}

void VXPolyDispatch(const Point* points, int16_t count, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->poly(points, count, verb);
}

void VXLPolyDispatch(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb) {
    if (const VXGrafProcsRecord* p = Procs()) p->lPoly(points, radii, count, verb);
}

void VXDrawPixels(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode) {
    if (const VXGrafProcsRecord* p = Procs()) p->pixels(pixels, source, dest, mode);
}

void VXFrameRect(const Rect* r) { VXRectDispatch(r, 0); }
void VXEraseRect(const Rect* r) { VXRectDispatch(r, 2); }
void VXFrameOval(const Rect* r) { VXOvalDispatch(r, 0); }

}  // namespace plexa
