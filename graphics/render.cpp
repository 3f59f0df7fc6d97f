// The QZ renderer: drawing ports, their state and its pushing into the platform context,
// clipping by regions, and the line, rectangle, path, polygon, ellipse, image and mask
// operations of the pixel model.
//
// Colours selected inside a saved context state are forgotten when that state is restored,
// so that the port never believes a colour is set that the context has dropped.
#include "graphics/render.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plexa {
namespace {

QZWindowHooks gHooks;
QZPort* gCurrentPort = nullptr;

constexpr float kDegreesToRadians = 0.017453292f;
constexpr double kFullTurn = 6.2831854820251465;
constexpr uint32_t kClipOptimizeThreshold = 9;

constexpr uint32_t kCodeFill = 0x01, kCodeStroke = 0x02, kCodeBack = 0x04;
constexpr uint32_t kSelectBack = 0x01, kSelectStroke = 0x100, kSelectFill = 0x200;

DrawBlend BlendOf(uint32_t cgBlend) {
    switch (cgBlend) {
        case 3: return DrawBlend::kOverlay;
        case 10: return DrawBlend::kDifference;
        case 11: return DrawBlend::kExclusion;
        case 16: return DrawBlend::kClear;
        default: return DrawBlend::kNormal;
    }
}

int32_t Normalize(int32_t value, int32_t turn) {
    const int32_t r = value % turn;
    return r < 0 ? r + turn : r;
}

// A rotation in tenths of a degree as radians.
double TenthsToRadians(int32_t tenths) {
    return double(float(tenths % 3600) / 10.0f * kDegreesToRadians);
}

double AngleToRadians(int32_t value, int32_t tenthsPerDegree) {
    return double(float(value) / float(tenthsPerDegree) * kDegreesToRadians);
}

DrawRectF ToDraw(const XRect& r) { return {r.x, r.y, r.width, r.height}; }

DrawRectF RectOf(const Rect& r) { return ToDraw(XRectFromRect(r)); }

bool EmptyX(const XRect& r) { return !(r.width > 0 && r.height > 0); }

double InsetOf(const QZPort* port) { return port->halfPen + port->strokeOffset; }

// The rectangle a frame of the port's pen is stroked on so that it stays inside r.
XRect InsideFrame(const QZPort* port, const XRect& r) {
    const double inset = InsetOf(port);
    return {r.x + inset, r.y + inset, r.width - port->penSize, r.height - port->penSize};
}

void ApplyEnds(DrawContext* ctx, bool round) {
    ctx->SetLineCap(round ? DrawCap::kRound : DrawCap::kButt);
    ctx->SetLineJoin(round ? DrawJoin::kRound : DrawJoin::kMiter);
}

// Runs a stroke with square (round false) or round ends, then puts the port's setting back.
template <class F>
void WithEnds(QZPort* port, DrawContext* ctx, bool round, F&& draw) {
    const bool change = bool(port->roundCaps) != round;
    if (change) ApplyEnds(ctx, round);
    draw();
    if (change) ApplyEnds(ctx, port->roundCaps);
}

void Restore(QZPort* port, DrawContext* ctx) {
    ctx->RestoreState();
    QZInvaidateSelectColors(port);
}

void SyncDash(const QZPort* port, DrawContext* ctx) {
    if (port->dashOn && port->dashOff) {
        const double lengths[2] = {double(port->dashOn), double(port->dashOff)};
        ctx->SetLineDash(port->dashPhase, lengths, 2);
    } else {
        ctx->SetLineDash(0, nullptr, 0);
    }
}

void SyncBlend(const QZPort* port, DrawContext* ctx) {
    ctx->SetBlend(port->clearMode ? DrawBlend::kClear : BlendOf(port->blendMode));
}

void RecomputePen(QZPort* port) {
    port->halfPen = uint32_t(port->penSize) >> 1;
    port->strokeOffset = (port->penSize & 1) ? 0.5 : 0.0;
}

int32_t WindowKind(const QZPort* port) {
    if (!port->owner) return port->bitmap.pixels ? kQZWindowOffScreen : -1;
    return gHooks.kind ? gHooks.kind(port->owner) : -1;
}

// The context to draw with, or null when none is installed.
DrawContext* Ctx(QZPort* port) { return port ? GetRenderingContext(port) : nullptr; }

void ModeDraw(DrawContext* ctx, uint32_t code) {
    const bool fill = code & kCodeFill, stroke = code & kCodeStroke;
    ctx->DrawPath(fill && stroke ? DrawPathMode::kFillStroke
                  : fill         ? DrawPathMode::kFill
                                 : DrawPathMode::kStroke);
}

void SelectForCode(QZPort* port, uint32_t code) {
    const uint32_t back = (code & kCodeBack) ? kSelectBack : 0;
    if (code & kCodeFill) QZSelectColor(port, kSelectFill | back);
    if (code & kCodeStroke) QZSelectColor(port, kSelectStroke | back);
}

void AddPointsPath(DrawContext* ctx, const _LPNT* points, const int32_t* radii, uint32_t count,
                   double offset) {
    ctx->BeginPath();
    ctx->MoveTo(points[0].h + offset, points[0].v + offset);
    for (uint32_t i = 1; i < count; i++) {
        const _LPNT& p = points[i];
        if (radii && i + 1 < count && radii[i] > 0) {
            const _LPNT& next = points[i + 1];
            ctx->AddArcToPoint(p.h + offset, p.v + offset, next.h + offset, next.v + offset, radii[i]);
        } else {
            ctx->LineTo(p.h + offset, p.v + offset);
        }
    }
}

}  // namespace

void QZSetWindowHooks(const QZWindowHooks& hooks) { gHooks = hooks; }
const QZWindowHooks& QZGetWindowHooks() { return gHooks; }
void QZSetCurrentPort(QZPort* port) { gCurrentPort = port; }
QZPort* QZGetCurrentPort() { return gCurrentPort; }

double QZRotationRadians(int32_t tenths) { return TenthsToRadians(tenths); }

QZPort* QZPortAlloc(void* window) {
    auto* port = new (std::nothrow) QZPort{};
    if (!port) return nullptr;
    port->owner = window;
    port->installedKind = -1;
    QZSetDefaultGraphicsState(port, true);
    return port;
}

void QZPortFree(QZPort* port) {
    if (!port) return;
    if (gCurrentPort == port) gCurrentPort = nullptr;
    VXDestroyRgn(port->clip);
    delete port;
}

void QZSetDefaultGraphicsState(QZPort* port, bool withBack) {
    if (!port) return;
    port->opacity = 1.0;
    port->flatness = 1.0;
    port->pen = {0, 0};
    port->penSize = 1;
    QZSetColor(port, kVXDefaultForeColor, false);
    if (withBack) QZSetColor(port, kVXDefaultBackColor, true);
    port->blendMode = 0;
    port->roundCaps = 1;
    port->antialias = 1;
    port->clearMode = 0;
    port->dashOn = port->dashOff = port->dashPhase = 0;
    port->pathOffset = 0;
    RecomputePen(port);
    VXDestroyRgn(port->clip);
    port->clip = nullptr;
    if (port->context) {
        QZSyncContextState(port);
        if (port->focused) ApplyClipRgnToCtx(port, true);
    }
}

DrawContext* QZInstallContext(QZPort* port) {
    if (!port) return nullptr;
    if (port->context) return port->context;
    const int32_t kind = WindowKind(port);
    DrawContext* ctx = nullptr;
    if (kind == kQZWindowOffScreen) {
        QZBitmap bitmap = port->bitmap;
        if (port->owner && (!gHooks.image || !gHooks.image(port->owner, &bitmap))) return nullptr;
        port->ownContext = DrawContext::ForPixels(bitmap.pixels, bitmap.width, bitmap.height,
                                                  bitmap.rowBytes, bitmap.format);
        ctx = port->ownContext.get();
        if (!ctx) return nullptr;
        ctx->SaveState();
        ctx->Translate(-port->origin.h, -port->origin.v);
    } else if (kind == kQZWindowOnScreen || kind == kQZWindowPrint) {
        ctx = gHooks.currentContext ? gHooks.currentContext(port->owner) : nullptr;
        if (!ctx) return nullptr;
        if (kind == kQZWindowOnScreen)
            VXRefreshBrushColors(gHooks.viewAppearance ? gHooks.viewAppearance(port->owner) : -1);
    } else {
        return nullptr;
    }
    port->context = ctx;
    port->installedKind = kind;
    port->focused = 0;
    QZInvaidateSelectColors(port);
    return ctx;
}

void QZSetFocus(QZPort* port, int32_t pane) {
    if (!port || !port->context) return;
    if (port->focused) QZReleaseFocus(port);
    DrawContext* ctx = port->context;
    if (port->installedKind == kQZWindowOnScreen) {
        ctx->SaveState();
        XRect bounds{};
        if (gHooks.paneBounds && gHooks.paneBounds(port->owner, pane, &bounds)) {
            port->origin = {int32_t(bounds.y), int32_t(bounds.x)};
            if (gHooks.setCurrentPane) gHooks.setCurrentPane(port->owner, pane);
            const _LPNT at = port->origin;
            if (pane == 2) port->origin = {0, 0};
            else if (pane == 1) port->origin.h = 0;
            else if (pane == 0) port->origin.v = 0;
            if (pane != -2) ctx->ClipToRect(ToDraw(bounds));
            // The context lies in the content's scrolled coordinates, where the pane starts at its
            // bounds; an axis the pane does not scroll starts at 0 there instead.
            if (at.h != port->origin.h || at.v != port->origin.v)
                ctx->Translate(at.h - port->origin.h, at.v - port->origin.v);
        }
    }
    ctx->SaveState();
    port->focusOrigin = port->origin;
    QZSyncContextState(port);
    ApplyClipRgnToCtx(port, false);
    port->focused = 1;
}

void QZSetOrigin(QZPort* port, int32_t h, int32_t v) {
    if (!port) return;
    if ((h != port->origin.h || v != port->origin.v) && port->context)
        port->context->Translate(port->origin.h - h, port->origin.v - v);
    port->origin = {v, h};
}

void QZReleaseFocus(QZPort* port) {
    if (!port) return;
    QZLayerEnd(port);
    if (port->focused && port->context) {
        QZInvaidateSelectColors(port);
        port->context->RestoreState();
        if (port->installedKind == kQZWindowOnScreen) port->context->RestoreState();
    }
    port->focused = 0;
}

void QZReleaseContext(QZPort* port) {
    if (!port) return;
    QZReleaseFocus(port);
    if (port->context && port->installedKind == kQZWindowOffScreen) port->context->RestoreState();
    port->context = nullptr;
    port->ownContext.reset();
    port->installedKind = -1;
}

void QZSyncContextState(QZPort* port) {
    if (!port) return;
    RecomputePen(port);
    port->openPath = 0;
    DrawContext* ctx = port->context;
    if (!ctx) return;
    ctx->SetLineWidth(port->penSize ? port->penSize : 1);
    ApplyEnds(ctx, port->roundCaps);
    SyncDash(port, ctx);
    SyncBlend(port, ctx);
    ctx->SetAlpha(port->opacity);
    ctx->SetFlatness(port->flatness == 0 ? 1.0 : port->flatness);
    ctx->SetAntialias(port->antialias);
}

DrawContext* GetRenderingContext(QZPort* port) {
    if (!port || !port->context) return nullptr;
    DrawContext* ctx = port->context;
    if (port->layerState == 1) {
        ctx->SetBlend(DrawBlend::kNormal);
        ctx->BeginTransparencyLayer();
        SyncBlend(port, ctx);
        port->layerState = 2;
    }
    return ctx;
}

void QZLayerEnd(QZPort* port) {
    if (!port) return;
    if (port->layerState == 2 && port->context) {
        if (port->clearMode) {
            port->clearMode = 0;
            SyncBlend(port, port->context);
        }
        port->context->EndTransparencyLayer();
        QZInvaidateSelectColors(port);
    }
    port->layerState = 0;
}

bool QZBeginCapture(QZPort* port) {
    if (!port || !port->context || port->layerState != 0 || !port->context->CanPlayCaptures()) return false;
    port->context->BeginCapture();
    return true;
}

std::shared_ptr<const DrawCapture> QZEndCapture(QZPort* port) {
    if (!port || !port->context) return nullptr;
    return port->context->EndCapture();
}

bool QZPlayCapture(QZPort* port, const DrawCapture& capture, int32_t dh, int32_t dv) {
    if (!port || !port->context || port->layerState != 0) return false;
    return port->context->PlayCapture(capture, dh, dv);
}

void QZFlush(QZPort* port) {
    if (!port) return;
    QZSyncContextState(port);
    if (port->context) port->context->Flush();
}

bool QZSetClearMode(QZPort* port, bool on) {
    if (!port) return false;
    const bool previous = port->clearMode;
    port->clearMode = on;
    if (port->context) SyncBlend(port, port->context);
    return previous;
}

bool QZSetAntialias(QZPort* port, bool on) {
    if (!port) return false;
    const bool previous = port->antialias;
    port->antialias = on;
    if (port->context) port->context->SetAntialias(on);
    return previous;
}

double QZSetOpacity(QZPort* port, double opacity) {
    if (!port) return 1.0;
    const double previous = port->opacity;
    port->opacity = opacity;
    if (port->context) port->context->SetAlpha(opacity);
    return previous;
}

uint32_t QZSetDrawMode(QZPort* port, int32_t mode) {
    if (!port) return 0;
    const uint32_t previous = port->blendMode;
    const uint32_t blend = mode == 1 ? 3 : mode == 9 ? 10 : mode == 2 ? 11 : 0;
    if (blend != previous) {
        port->blendMode = blend;
        if (port->context) SyncBlend(port, port->context);
    }
    return previous;
}

int32_t QZSetPenSize(QZPort* port, int32_t size) {
    if (!port) return 0;
    const int32_t previous = port->penSize;
    size = std::max(size, 0);
    if (size != previous) {
        port->penSize = size;
        RecomputePen(port);
        if (port->context) port->context->SetLineWidth(size ? size : 1);
    }
    return previous;
}

bool QZSetCapRound(QZPort* port, bool round) {
    if (!port) return false;
    const bool previous = port->roundCaps;
    if (round != previous) {
        port->roundCaps = round;
        if (port->context) ApplyEnds(port->context, round);
    }
    return previous;
}

void QZSetLineDash(QZPort* port, uint8_t on, uint8_t off, uint8_t phase) {
    if (!port) return;
    port->dashOn = on;
    port->dashOff = off;
    port->dashPhase = phase;
    if (port->context) SyncDash(port, port->context);
}

void QZMoveTo(QZPort* port, int32_t h, int32_t v) {
    if (port) port->pen = {v, h};
}

void QZMove(QZPort* port, int32_t dh, int32_t dv) {
    if (port) port->pen = {port->pen.v + dv, port->pen.h + dh};
}

VXRgn* QZGetClipRgn(QZPort* port, VXRgn* rgn) {
    if (!port) return rgn;
    if (port->clip) {
        if (!rgn && VXIsEmptyRgn(port->clip)) return nullptr;
        return VXCopyRgn(port->clip, rgn);
    }
    VXSetEmptyRgn(rgn);
    return rgn;
}

void QZSetClipRgn(QZPort* port, const VXRgn* rgn) {
    if (!port) return;
    if (rgn) {
        if (!port->clip) port->clip = VXCreateRgn(nullptr);
        VXCopyRgn(rgn, port->clip);
    } else {
        VXDestroyRgn(port->clip);
        port->clip = nullptr;
    }
    if (port->focused) ApplyClipRgnToCtx(port, true);
}

namespace {
LRect ToLRect(const XRect& r) {
    const auto left = int32_t(std::trunc(r.x)), top = int32_t(std::trunc(r.y));
    return {top, left, int32_t(std::trunc(top + r.height)), int32_t(std::trunc(left + r.width))};
}
}  // namespace

void QZSetClipRect(QZPort* port, const XRect* rect) {
    if (!port) return;
    if (!rect) return QZSetClipRgn(port, nullptr);
    if (!port->clip) port->clip = VXCreateRgn(nullptr);
    const LRect r = ToLRect(*rect);
    VXSetRectRgn(port->clip, &r);
    if (port->focused) ApplyClipRgnToCtx(port, true);
}

void QZSectClipRect(QZPort* port, const XRect& rect) {
    if (!port) return;
    if (!port->clip) return QZSetClipRect(port, &rect);
    const LRect r = ToLRect(rect);
    VXSectRectWithRgn(&r, port->clip);
    if (port->focused) ApplyClipRgnToCtx(port, true);
}

void ApplyClipRgnToCtx(QZPort* port, bool reset) {
    if (!port || !port->context) return;
    DrawContext* ctx = port->context;
    if (reset) {
        QZInvaidateSelectColors(port);
        ctx->RestoreState();
        ctx->SaveState();
        // The restore also dropped origin changes made since the focus.
        if (port->origin.h != port->focusOrigin.h || port->origin.v != port->focusOrigin.v)
            ctx->Translate(port->focusOrigin.h - port->origin.h, port->focusOrigin.v - port->origin.v);
        QZSyncContextState(port);
    }
    if (!port->clip) return;
    if (VXIsEmptyRgn(port->clip)) {
        const DrawRectF none{0, 0, 0, 0};
        ctx->ClipToRects(&none, 0);
        return;
    }
    // Every rectangle of the region clips, however many there are.
    const uint32_t count = VXGetRgnRects(port->clip, false, nullptr, 0,
                                         port->clip->added >= kClipOptimizeThreshold);
    std::vector<LRect> rects(count);
    VXGetRgnRects(port->clip, false, rects.data(), count, false);
    std::vector<DrawRectF> out;
    out.reserve(count);
    for (const LRect& r : rects)
        out.push_back({double(r.left), double(r.top), std::max(0.0, double(r.right) - r.left),
                       std::max(0.0, double(r.bottom) - r.top)});
    ctx->ClipToRects(out.data(), out.size());
}

void QZLineTo(QZPort* port, int32_t h, int32_t v) {
    if (!port) return;
    if (DrawContext* ctx = Ctx(port)) {
        const double off = port->strokeOffset;
        QZSelectColor(port, kSelectStroke);
        ctx->StrokeLine(port->pen.h + off, port->pen.v + off, h + off, v + off);
    }
    port->pen = {v, h};
}

void QZLineToQD(QZPort* port, int32_t h, int32_t v) {
    if (!port) return;
    if (DrawContext* ctx = Ctx(port)) {
        const double off = InsetOf(port);
        QZSelectColor(port, kSelectStroke);
        ctx->StrokeLine(port->pen.h + off, port->pen.v + off, h + off, v + off);
    }
    port->pen = {v, h};
}

void QZStrokeRectangleInsideFrame(QZPort* port, const XRect& rect) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || EmptyX(rect)) return;
    QZSelectColor(port, kSelectStroke);
    WithEnds(port, ctx, false, [&] { ctx->StrokeRect(ToDraw(InsideFrame(port, rect))); });
}

void QZFillRectangle(QZPort* port, const XRect& rect, bool back) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || EmptyX(rect)) return;
    QZSelectColor(port, kSelectFill | (back ? kSelectBack : 0));
    ctx->FillRect(ToDraw(rect));
}

void AddRoundedRectangleToPath(DrawContext* ctx, const XRect& rect, double radius) {
    if (!ctx) return;
    const double r = std::min(std::min(rect.width, rect.height) / 2, radius);
    if (!(r >= 1.0)) {
        ctx->AddRect(ToDraw(rect));
        return;
    }
    const double x = rect.x, y = rect.y, maxX = x + rect.width, maxY = y + rect.height;
    ctx->MoveTo(x, y + r);
    ctx->AddArcToPoint(x, maxY, maxX, maxY, r);
    ctx->AddArcToPoint(maxX, maxY, maxX, y, r);
    ctx->AddArcToPoint(maxX, y, x, y, r);
    ctx->AddArcToPoint(x, y, x, maxY, r);
    ctx->ClosePath();
}

void QZStrokeRoundedRectangleInsideFrame(QZPort* port, const XRect& rect, double radius) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || EmptyX(rect)) return;
    QZSelectColor(port, kSelectStroke);
    ctx->BeginPath();
    AddRoundedRectangleToPath(ctx, InsideFrame(port, rect), radius);
    WithEnds(port, ctx, true, [&] { ctx->DrawPath(DrawPathMode::kStroke); });
}

void QZFillRoundedRectangle(QZPort* port, const XRect& rect, double radius, bool back) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || EmptyX(rect)) return;
    QZSelectColor(port, kSelectFill | (back ? kSelectBack : 0));
    ctx->BeginPath();
    AddRoundedRectangleToPath(ctx, rect, radius);
    ctx->DrawPath(DrawPathMode::kFill);
}

void QZDrawRectangle(QZPort* port, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     int32_t rotation, uint32_t code) {
    if (!(x2 > x1 && y2 > y1) || !(code & (kCodeFill | kCodeStroke))) return;
    DrawContext* ctx = Ctx(port);
    if (!ctx) return;
    const double w = double(x2) - x1, h = double(y2) - y1;
    const bool rotated = rotation % 3600 != 0;
    double x = x1, y = y1;
    if (rotated) {
        ctx->SaveState();
        ctx->Translate(x1 + w / 2, y1 + h / 2);
        ctx->Rotate(TenthsToRadians(rotation));
        x = -w / 2;
        y = -h / 2;
    }
    SelectForCode(port, code);
    if (code & kCodeFill) ctx->FillRect({x, y, w, h});
    if (code & kCodeStroke) {
        const double off = port->strokeOffset;
        WithEnds(port, ctx, false, [&] { ctx->StrokeRect({x + off, y + off, w, h}); });
    }
    if (rotated) Restore(port, ctx);
}

void QZDrawRoundedRectangle(QZPort* port, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                            int32_t diameter, int32_t rotation, uint32_t code) {
    if (diameter < 1) return QZDrawRectangle(port, x1, y1, x2, y2, rotation, code);
    if (!(x2 > x1 && y2 > y1) || !(code & (kCodeFill | kCodeStroke))) return;
    DrawContext* ctx = Ctx(port);
    if (!ctx) return;
    const bool stroke = code & kCodeStroke;
    if (stroke) QZSetCapRound(port, true);
    const double w = double(x2) - x1, h = double(y2) - y1;
    const double off = stroke ? port->strokeOffset : 0.0;
    ctx->SaveState();
    ctx->Translate(x1 + off + w / 2, y1 + off + h / 2);
    if (rotation % 3600) ctx->Rotate(TenthsToRadians(rotation));
    const double r = (diameter > w || diameter > h) ? std::min(w, h) / 2 : diameter / 2.0;
    ctx->BeginPath();
    ctx->MoveTo(-w / 2, 0);
    ctx->AddArcToPoint(-w / 2, h / 2, 0, h / 2, r);
    ctx->AddArcToPoint(w / 2, h / 2, w / 2, 0, r);
    ctx->AddArcToPoint(w / 2, -h / 2, 0, -h / 2, r);
    ctx->AddArcToPoint(-w / 2, -h / 2, -w / 2, 0, r);
    ctx->ClosePath();
    SelectForCode(port, code);
    ModeDraw(ctx, code);
    Restore(port, ctx);
}

void QZFramePath(QZPort* port, const _LPNT* points, const int32_t* radii, uint32_t count) {
    if (!port || !points || count == 0) return;
    if (DrawContext* ctx = Ctx(port)) {
        AddPointsPath(ctx, points, radii, count, port->strokeOffset);
        QZSelectColor(port, kSelectStroke);
        ctx->DrawPath(DrawPathMode::kStroke);
    }
    port->pen = points[count - 1];
}

void QZFillPath(QZPort* port, const _LPNT* points, const int32_t* radii, uint32_t count, bool back) {
    if (!port || !points || count == 0) return;
    DrawContext* ctx = Ctx(port);
    if (!ctx) return;
    AddPointsPath(ctx, points, radii, count, 0.0);
    ctx->ClosePath();
    QZSelectColor(port, kSelectFill | (back ? kSelectBack : 0));
    ctx->DrawPath(DrawPathMode::kFill);
}

void QZPathLineTo(QZPort* port, int32_t h, int32_t v) {
    if (!port || !port->openPath) return;
    if (DrawContext* ctx = Ctx(port)) ctx->LineTo(h + port->pathOffset, v + port->pathOffset);
}

void AddPoly16ToPath(DrawContext* ctx, const Point* points, int32_t count, bool close, double offset) {
    if (!ctx || !points || count < 1) return;
    ctx->MoveTo(points[0].h + offset, points[0].v + offset);
    for (int32_t i = 1; i < count; i++) ctx->LineTo(points[i].h + offset, points[i].v + offset);
    const Point& first = points[0];
    const Point& last = points[count - 1];
    if (close || (first.h == last.h && first.v == last.v)) ctx->ClosePath();
}

void QZFramePoly16(QZPort* port, const Point* points, int32_t count) {
    if (!points || count < 2) return;
    DrawContext* ctx = Ctx(port);
    if (!ctx) return;
    ctx->BeginPath();
    AddPoly16ToPath(ctx, points, count, false, InsetOf(port));
    QZSelectColor(port, kSelectStroke);
    ctx->DrawPath(DrawPathMode::kStroke);
}

void QZFillPoly16(QZPort* port, const Point* points, int32_t count, double offset, bool back) {
    if (!points || count < 2) return;
    DrawContext* ctx = Ctx(port);
    if (!ctx) return;
    ctx->BeginPath();
    AddPoly16ToPath(ctx, points, count, true, offset);
    QZSelectColor(port, kSelectFill | (back ? kSelectBack : 0));
    ctx->DrawPath(DrawPathMode::kFill);
}

void AddEllipticArcToPath(DrawContext* ctx, int32_t start, int32_t arc, uint32_t flags,
                          double cx, double cy, double rx, double ry) {
    if (!ctx) return;
    double from = 0.0, to = kFullTurn;
    const bool partial = arc > -360 && arc < 360;
    if (partial) {
        const int32_t s = (Normalize(start, 360) + 270) % 360;
        from = AngleToRadians(s, 1);
        to = AngleToRadians(Normalize(s + arc, 360), 1);
    }
    ctx->SaveState();
    ctx->Translate(cx, cy);
    ctx->Scale(rx, ry);
    const bool wedge = (flags & 0x02) && arc < 360;
    if (wedge) ctx->MoveTo(0, 0);
    ctx->AddArc(0, 0, 1.0, from, to, flags & 0x01);
    if (wedge) ctx->ClosePath();
    ctx->RestoreState();
}

void QZStrokeEllipticArcInsideFrame(QZPort* port, const XRect& rect, int32_t start, int32_t arc) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || EmptyX(rect)) return;
    const XRect r = InsideFrame(port, rect);
    if ((arc <= -360 || arc >= 360) && !EmptyX(r)) {
        QZSelectColor(port, kSelectStroke);
        if (ctx->StrokeEllipse(ToDraw(r))) return;
    }
    ctx->BeginPath();
    AddEllipticArcToPath(ctx, start, arc, arc < 0 ? 0x01 : 0, r.x + r.width / 2, r.y + r.height / 2,
                         r.width / 2, r.height / 2);
    QZSelectColor(port, kSelectStroke);
    WithEnds(port, ctx, false, [&] { ctx->DrawPath(DrawPathMode::kStroke); });
}

void QZFillEllipticArc(QZPort* port, const XRect& rect, int32_t start, int32_t arc, bool back) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || EmptyX(rect)) return;
    ctx->BeginPath();
    AddEllipticArcToPath(ctx, start, arc, 0x02 | (arc < 0 ? 0x01 : 0), rect.x + rect.width / 2,
                         rect.y + rect.height / 2, rect.width / 2, rect.height / 2);
    QZSelectColor(port, kSelectFill | (back ? kSelectBack : 0));
    ctx->DrawPath(DrawPathMode::kFill);
}

// A stroked ellipse stays inside its frame for every pen size, as every other stroke inside a
// frame does: the path keeps the centre and both diameters shrink by the pen size. For pen 1
// this is the half-pixel offset with diameters reduced by 1.
void QZDrawEllipse(QZPort* port, int32_t h, int32_t v, int32_t width, int32_t height,
                   int32_t start, int32_t arc, int32_t rotation, uint32_t code) {
    if (width <= 0 || height <= 0 || !(code & (kCodeFill | kCodeStroke))) return;
    DrawContext* ctx = Ctx(port);
    if (!ctx) return;
    const bool stroke = code & kCodeStroke;
    const bool partial = arc > -3600 && arc < 3600;
    double from = 0.0, to = kFullTurn;
    if (partial) {
        const int32_t s = (Normalize(start, 3600) + 2700) % 3600;
        from = AngleToRadians(s, 10);
        to = AngleToRadians(Normalize(s + arc, 3600), 10);
    }
    const bool clockwise = arc < 0;
    const bool wedge = !stroke && partial;
    const double w = stroke ? double(width) - port->penSize : double(width);
    const double hgt = stroke ? double(height) - port->penSize : double(height);
    const double cx = h, cy = v;
    if (stroke && !(code & kCodeFill) && !partial && rotation % 3600 == 0 && w > 0 && hgt > 0) {
        SelectForCode(port, code);
        if (ctx->StrokeEllipse({cx - w / 2, cy - hgt / 2, w, hgt})) return;
    }

    ctx->BeginPath();
    if (rotation % 3600 == 0 && w == hgt) {
        if (wedge) ctx->MoveTo(cx, cy);
        ctx->AddArc(cx, cy, w / 2, from, to, clockwise);
        if (wedge) ctx->ClosePath();
    } else {
        ctx->SaveState();
        ctx->Translate(cx, cy);
        if (rotation % 3600) ctx->Rotate(TenthsToRadians(rotation));
        ctx->Scale(w, hgt);
        if (wedge) ctx->MoveTo(0, 0);
        ctx->AddArc(0, 0, 0.5, from, to, clockwise);
        if (wedge) ctx->ClosePath();
        ctx->RestoreState();
    }
    if (!partial) ctx->ClosePath();
    SelectForCode(port, code);
    if (stroke) WithEnds(port, ctx, true, [&] { ModeDraw(ctx, code); });
    else ModeDraw(ctx, code);
}

void QZDrawImage(QZPort* port, const DrawImage* image, const Rect* source, const Rect& dest) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || !image || RectIsEmpty(dest)) return;
    ctx->SaveState();
    ctx->SetBlend(DrawBlend::kNormal);
    const DrawRectF src = source ? RectOf(*source) : DrawRectF{};
    ctx->DrawImageIn(*image, source ? &src : nullptr, RectOf(dest));
    ctx->RestoreState();
}

void QZDrawMask(QZPort* port, const DrawImage* mask, const Rect* source, const Rect& dest, bool eraseFirst) {
    DrawContext* ctx = Ctx(port);
    if (!ctx || !mask || RectIsEmpty(dest)) return;
    const DrawRectF target = RectOf(dest);
    if (eraseFirst) {
        QZSelectColor(port, kSelectFill | kSelectBack);
        ctx->FillRect(target);
    }
    ctx->SaveState();
    const DrawRectF src = source ? RectOf(*source) : DrawRectF{};
    ctx->ClipToMask(*mask, source ? &src : nullptr, target);
    QZSelectColor(port, kSelectFill);
    ctx->FillRect(target);
    Restore(port, ctx);
}

}  // namespace plexa
