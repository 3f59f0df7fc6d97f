// The current graphics state, its origin, clip stack, pen and modes.
#include "graphics/grafport.h"

#include <cstdio>

#include "foundation/geometry.h"
#include "graphics/regions.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

VXGrafState* gCurrent = nullptr;
VXGrafHooks gHooks;

QZPort* CurrentPort() { return gCurrent ? gCurrent->port : nullptr; }

void ApplyPenSize(QZPort* port, int32_t size) { QZSetPenSize(port, size); }

}  // namespace

VXGrafState::~VXGrafState() {
    for (VXRgn* rgn : clipStack) VXDestroyRgn(rgn);
    if (gCurrent == this) {
        gCurrent = nullptr;
        QZSetCurrentPort(nullptr);
    }
}

void VXSetGrafHooks(const VXGrafHooks& hooks) { gHooks = hooks; }
VXGrafHooks VXGetGrafHooks() { return gHooks; }

VXGrafState* VXSetCurrentGrafState(VXGrafState* state) {
    VXGrafState* previous = gCurrent;
    gCurrent = state;
    QZSetCurrentPort(state ? state->port : nullptr);
    if (gHooks.currentChanged && previous != state) gHooks.currentChanged(state);
    return previous;
}

VXGrafState* VXGetCurrentGrafState() { return gCurrent; }

void VXGetOrigin(VXGrafState* state, _LPNT* out) {
    if (!out) return;
    *out = {0, 0};
    if (!state || !state->port) return;
    *out = state->port->origin;
    if (state->geometry.kind != kWindowOnScreen) return;
    XRect view{};
    PaneBoundsHook bounds = GetPaneBoundsHook();
    if (bounds && bounds(&state->geometry, state->geometry.pane, &view))
        *out = {TruncToInt32(view.y), TruncToInt32(view.x)};
}

void VXSetOrigin(VXGrafState* state, int32_t h, int32_t v) {
    if (!state || !state->port) return;
    VXGrafState* previous = VXSetCurrentGrafState(state);
    QZPort* port = state->port;
    XRect view{};
    PaneBoundsHook bounds = GetPaneBoundsHook();
    const int8_t pane = state->geometry.pane;
    if (state->geometry.kind == kWindowOnScreen && bounds && bounds(&state->geometry, pane, &view)) {
        const int32_t viewH = TruncToInt32(view.x), viewV = TruncToInt32(view.y);
        // A pane keeps the coordinate it cannot scroll.
        if (pane == 0 || pane == 2) v = viewV;
        if (pane == 1 || pane == 2) h = viewH;
        const bool focused = port->focused;
        if (focused) QZReleaseFocus(port);
        QZSetOrigin(port, h, v);
        if (gHooks.translatePanelOrigin) gHooks.translatePanelOrigin(state, viewH - h, viewV - v);
        if (focused) QZSetFocus(port, pane);
    } else {
        QZSetOrigin(port, h, v);
    }
    VXSetCurrentGrafState(previous);
}

// An empty clip is pushed as an empty region, not as "no clip", so that popping it clips
// everything away again.
VXRgn* VXPushClip(VXGrafState* state) {
    if (!state || !state->port) return nullptr;
    VXRgn* item = state->port->clip ? VXCopyRgn(state->port->clip, nullptr) : nullptr;
    state->clipStack.push_back(item);
    return item;
}

void VXPopClip(VXGrafState* state) {
    if (!state || !state->port || state->clipStack.empty()) return;
    VXRgn* item = state->clipStack.back();
    state->clipStack.pop_back();
    QZSetClipRgn(state->port, item);
    VXDestroyRgn(item);
}

void VXSectClipRgn(VXGrafState* state, const VXRgn* rgn, bool push) {
    if (!state || !state->port) return;
    if (push) VXPushClip(state);
    QZPort* port = state->port;
    if (!port->clip) {
        // No clip is unbounded: the intersection is the region itself (a null region is empty).
        VXRgn* empty = rgn ? nullptr : VXCreateRgn(nullptr);
        QZSetClipRgn(port, rgn ? rgn : empty);
        VXDestroyRgn(empty);
        return;
    }
    VXRgn* result = VXCreateRgn(nullptr);
    VXSectRgn(port->clip, rgn, result);
    QZSetClipRgn(port, result);
    VXDestroyRgn(result);
}

void VXLSectClipRect(VXGrafState* state, const LRect* rect, bool push) {
    if (!state || !state->port || !rect) return;
    if (push) VXPushClip(state);
    XRect r{};
    LRCTtoXRCT(rect, &r);
    QZSectClipRect(state->port, r);
}

void VXSectClipRect(VXGrafState* state, const Rect* rect, bool push) {
    if (!rect) return;
    LRect r{};
    Rect16To32(rect, &r);
    VXLSectClipRect(state, &r, push);
}

void VXSectDrawingClipRect(VXGrafState* state, const Rect* rect, bool push) {
    if (!state || !rect) return;
    LRect r{};
    Rect16To32(rect, &r);
    if (state->geometry.flags & kWindowFlagScaled) LRectToNoEmptyScale(&state->geometry, &r);
    VXLSectClipRect(state, &r, push);
}

void VXMoveTo(int32_t h, int32_t v) { QZMoveTo(CurrentPort(), h, v); }
void VXMove(int32_t dh, int32_t dv) { QZMove(CurrentPort(), dh, dv); }

void VXGetPenPosition(Point* out) {
    if (!out) return;
    *out = {0, 0};
    if (QZPort* port = CurrentPort()) Point32To16(&port->pen, out);
}

void VXGetPenState(VXPenState* out) {
    QZPort* port = CurrentPort();
    if (!out || !port) return;
    out->v = port->pen.v;
    out->h = port->pen.h;
    out->drawMode = gCurrent->drawMode;
    out->penSize = port->penSize;
}

void VXSetPenState(const VXPenState* in) {
    QZPort* port = CurrentPort();
    if (!in || !port) return;
    QZMoveTo(port, in->h, in->v);
    VXSetDrawMode(in->drawMode);
    ApplyPenSize(port, in->penSize);
}

void VXSetPenWidth(int32_t width) { ApplyPenSize(CurrentPort(), width); }

int32_t VXGetPenWidth() {
    QZPort* port = CurrentPort();
    return port ? port->penSize : 0;
}

bool VXSetPenWidthScalingEnabled(bool enabled) {
    if (!gCurrent) return true;
    uint32_t& flags = gCurrent->geometry.flags;
    const bool previous = !(flags & kWindowFlagNoPenScaling);
    if (enabled) flags &= ~kWindowFlagNoPenScaling;
    else flags |= kWindowFlagNoPenScaling;
    return previous;
}

void VXPenNormal() {
    QZPort* port = CurrentPort();
    if (!port) return;
    ApplyPenSize(port, 1);
    QZSetLineDash(port, 0, 0, 0);
    QZSetCapRound(port, true);
    VXSetDrawMode(0);
}

void VXPenRubberband() {
    QZPort* port = CurrentPort();
    if (!port) return;
    ApplyPenSize(port, 1);
    QZSetLineDash(port, 1, 2, 0);
    QZSetColor(port, kVXDefaultForeColor, false);
    VXSetDrawMode(0);
}

uint8_t VXSetDrawMode(uint8_t mode) {
    if (!gCurrent) return 0;
    const uint8_t previous = gCurrent->drawMode;
    gCurrent->drawMode = mode;
    QZSetDrawMode(gCurrent->port, mode);
    return previous;
}

uint8_t VXGetDrawMode() { return 0; }
void VXSetTextMode(int32_t) {}
int32_t VXGetTextMode() { return 1; }
void VXSetStockPattern(int32_t) {}

void VXSetLineDashInterval(int32_t on, int32_t off, int32_t phase) {
    QZSetLineDash(CurrentPort(), uint8_t(on), uint8_t(off), uint8_t(phase));
}

bool VXSetCapRound(bool round) {
    QZPort* port = CurrentPort();
    return port ? QZSetCapRound(port, round) : true;
}

double VXSetOpacity(double alpha) {
    QZPort* port = CurrentPort();
    return port ? QZSetOpacity(port, alpha) : 1.0;
}

bool VXSetClearMode(bool on) {
    QZPort* port = CurrentPort();
    return port ? QZSetClearMode(port, on) : false;
}

bool VXAntialiasGraphics(bool on) {
    QZPort* port = CurrentPort();
    return port ? QZSetAntialias(port, on) : false;
}

void VXFlushGraphics(VXGrafState* state) { QZFlush(state ? state->port : CurrentPort()); }

int16_t VXSetTextRotation(int16_t degrees) {
    if (!gCurrent) return 0;
    const int16_t previous = gCurrent->textRotation;
    gCurrent->textRotation = degrees;
    return previous;
}

namespace {
txStyle* CurrentStyle() { return gCurrent ? gCurrent->textStyle : nullptr; }
}  // namespace

void VXSetTextStyle(const txStyle* style) {
    if (txStyle* current = CurrentStyle(); current && style) CopyTextStyle(style, current);
}

txStyle* VXGetTextStyle(txStyle* out) {
    txStyle* current = CurrentStyle();
    if (!current || !out) return nullptr;
    CopyTextStyle(current, out);
    return out;
}

void VXSetTextFont(const char* name) {
    if (txStyle* current = CurrentStyle(); current && name) SetStyleFont(current, name);
}

void VXSetTextSize(uint16_t size) {
    if (txStyle* current = CurrentStyle()) SetStyleSize(current, size);
}

void VXSetTextFace(uint16_t face) {
    if (txStyle* current = CurrentStyle()) SetStyleFace(current, face);
}

txStyle* VXPreserveTextStyle() {
    txStyle* current = CurrentStyle();
    txStyle* saved = current ? GetScratchStyle() : nullptr;
    if (saved) CopyTextStyle(current, saved);
    return saved;
}

void VXRestoreTextStyle(txStyle* saved) {
    if (!saved) return;
    VXSetTextStyle(saved);
    ReleaseScratchStyle(saved);
}

void VXSetDefaultTextStyle(int32_t kind) {
    if (!CurrentStyle()) return;
    if (const txStyle* style = GetTempDefaultStyle(kind)) VXSetTextStyle(style);
}

void VXSetUIFont(int32_t n) {
    txStyle* current = CurrentStyle();
    if (!current) return;
    char name[32];
    std::snprintf(name, sizeof name, "<uifont_%d>", int(n));
    SetStyleFont(current, name);
    SetStyleSize(current, 1);
}

int32_t VXScaledPenSize(const VXGrafState* state, int32_t penSize) {
    if (!state || penSize == 0) return penSize;
    const WindowGeometry& g = state->geometry;
    if (g.pane != -1 || !(g.flags & kWindowFlagScaled) || (g.flags & kWindowFlagNoPenScaling))
        return penSize;
    int32_t scaled = MulShift24(penSize, g.scaleV);
    if (scaled < 1 && g.scaleV < kFixed24One) scaled = 1;
    return scaled;
}

}  // namespace plexa
