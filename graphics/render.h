// The QZ renderer: a drawing port per window that keeps the drawing state (pen, modes, dash,
// colours, clip region, origin) between drawing passes and pushes it into the platform's
// drawing context when a pass focuses it. Coordinates are y-down and used unchanged. Lines
// and frames follow a pixel model: an odd pen is centred on pixel centres (offset 0.5) and
// strokes "inside a frame" stay within their rectangle.
//
// The port does not know the window record: the window owner installs QZWindowHooks that
// tell a window's kind and give its image, drawing context and panes.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/colors.h"
#include "graphics/regions.h"
#include "foundation/rectmath.h"
#include "platform/draw_context.h"

namespace plexa {

// Window kinds of a port's owner.
enum : int32_t { kQZWindowOnScreen = 0, kQZWindowOffScreen = 1, kQZWindowPrint = 2 };

// An off-screen bitmap: pixels owned by the graphics layer, drawn into in place.
struct QZBitmap {
    uint8_t* pixels;
    int32_t width, height, rowBytes;
    DrawPixelFormat format;
};

struct QZWindowHooks {
    int32_t (*kind)(void* window) = nullptr;
    // Off-screen windows: the window's image; false when it has none.
    bool (*image)(void* window, QZBitmap* out) = nullptr;
    // On-screen windows and print pages: the context of the view or page being drawn.
    DrawContext* (*currentContext)(void* window) = nullptr;
    // On-screen windows: -1 no view, 0 light, 1 dark appearance of the content view.
    int (*viewAppearance)(void* window) = nullptr;
    // On-screen windows: a pane's view bounds in context coordinates; their origin is what
    // the pane is scrolled by.
    bool (*paneBounds)(void* window, int32_t pane, XRect* bounds) = nullptr;
    void (*setCurrentPane)(void* window, int32_t pane) = nullptr;
};
void QZSetWindowHooks(const QZWindowHooks& hooks);
const QZWindowHooks& QZGetWindowHooks();

struct QZPort {
    DrawContext* context;
    void* owner;
    VXRgn* clip;
    QZColorRef lastStroke, lastFill;
    double opacity, flatness;
    _LPNT pen;
    int32_t penSize;
    QZColorState fore, back;
    uint32_t blendMode;
    uint8_t roundCaps, antialias, clearMode, dashOn, dashOff, dashPhase;
    double strokeOffset;
    double pathOffset;
    uint32_t halfPen;
    _LPNT origin;
    uint8_t layerState;  // 0 none, 1 wanted, 2 open
    uint8_t openPath, focused;
    // The context made over an off-screen window's image, the kind installed, and the origin
    // at the focus (the context state saved there has that translation).
    std::unique_ptr<DrawContext> ownContext;
    int32_t installedKind;
    _LPNT focusOrigin;
    // A port without an owner belongs to the graphics layer's off-screen state (offscreen.h): it
    // draws into these pixels, or nowhere when they are null; no window hook is asked about it.
    QZBitmap bitmap;
};

// The port of the window that is current for drawing (installed by the window owner).
void QZSetCurrentPort(QZPort* port);
QZPort* QZGetCurrentPort();

// A rotation in tenths of a degree (taken remainder 3600) as radians, as every rotated
// shape and text of the renderer turns the context.
double QZRotationRadians(int32_t tenths);

QZPort* QZPortAlloc(void* window);
void QZPortFree(QZPort* port);
void QZSetDefaultGraphicsState(QZPort* port, bool withBack);
DrawContext* QZInstallContext(QZPort* port);
void QZSetFocus(QZPort* port, int32_t pane);
void QZSetOrigin(QZPort* port, int32_t h, int32_t v);
void QZReleaseFocus(QZPort* port);
void QZReleaseContext(QZPort* port);
void QZSyncContextState(QZPort* port);
DrawContext* GetRenderingContext(QZPort* port);
void QZLayerEnd(QZPort* port);
void QZFlush(QZPort* port);

// Capture of what the port lays straight into its pixels (DrawContext::BeginCapture): false,
// with nothing begun, when the port has no context, a transparency layer is wanted or open, or
// its context could not play a capture now (DrawContext::CanPlayCaptures).
bool QZBeginCapture(QZPort* port);
// The capture, or null when it failed or none was begun.
std::shared_ptr<const DrawCapture> QZEndCapture(QZPort* port);
// Lays a capture down again moved by (dh, dv) in the port's coordinates; false, with nothing
// drawn, when the port cannot take it now.
[[nodiscard]] bool QZPlayCapture(QZPort* port, const DrawCapture& capture, int32_t dh, int32_t dv);

// Setters; those returning give the previous value.
bool QZSetClearMode(QZPort* port, bool on);
bool QZSetAntialias(QZPort* port, bool on);
double QZSetOpacity(QZPort* port, double opacity);
// Draw modes: 1 overlay, 9 difference, 2 exclusion, others normal; returns the previous blend.
uint32_t QZSetDrawMode(QZPort* port, int32_t mode);
int32_t QZSetPenSize(QZPort* port, int32_t size);
bool QZSetCapRound(QZPort* port, bool round);
void QZSetLineDash(QZPort* port, uint8_t on, uint8_t off, uint8_t phase);
void QZMoveTo(QZPort* port, int32_t h, int32_t v);
void QZMove(QZPort* port, int32_t dh, int32_t dv);

// Clip.
VXRgn* QZGetClipRgn(QZPort* port, VXRgn* rgn);
void QZSetClipRgn(QZPort* port, const VXRgn* rgn);
void QZSetClipRect(QZPort* port, const XRect* rect);
void QZSectClipRect(QZPort* port, const XRect& rect);
void ApplyClipRgnToCtx(QZPort* port, bool reset);

// Lines, rectangles and paths.
void QZLineTo(QZPort* port, int32_t h, int32_t v);
void QZLineToQD(QZPort* port, int32_t h, int32_t v);
void QZStrokeRectangleInsideFrame(QZPort* port, const XRect& rect);
void QZFillRectangle(QZPort* port, const XRect& rect, bool back);
void QZStrokeRoundedRectangleInsideFrame(QZPort* port, const XRect& rect, double radius);
void QZFillRoundedRectangle(QZPort* port, const XRect& rect, double radius, bool back);
void AddRoundedRectangleToPath(DrawContext* ctx, const XRect& rect, double radius);
// Codes: 0x01 fill, 0x02 stroke, 0x04 use the back colour. Rotations in tenths of a degree.
void QZDrawRectangle(QZPort* port, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     int32_t rotation, uint32_t code);
void QZDrawRoundedRectangle(QZPort* port, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                            int32_t diameter, int32_t rotation, uint32_t code);
void QZFramePath(QZPort* port, const _LPNT* points, const int32_t* radii, uint32_t count);
void QZFillPath(QZPort* port, const _LPNT* points, const int32_t* radii, uint32_t count, bool back);
void QZPathLineTo(QZPort* port, int32_t h, int32_t v);
void QZFramePoly16(QZPort* port, const Point* points, int32_t count);
void QZFillPoly16(QZPort* port, const Point* points, int32_t count, double offset, bool back);
void AddPoly16ToPath(DrawContext* ctx, const Point* points, int32_t count, bool close, double offset);

// Ellipses: angles in degrees (0 at the top, clockwise on screen) for the first three.
void QZStrokeEllipticArcInsideFrame(QZPort* port, const XRect& rect, int32_t start, int32_t arc);
void QZFillEllipticArc(QZPort* port, const XRect& rect, int32_t start, int32_t arc, bool back);
// Flags: 0x01 clockwise in context terms, 0x02 wedge closed to the centre.
void AddEllipticArcToPath(DrawContext* ctx, int32_t start, int32_t arc, uint32_t flags,
                          double cx, double cy, double rx, double ry);
// Angles and rotation in tenths of a degree.
void QZDrawEllipse(QZPort* port, int32_t h, int32_t v, int32_t width, int32_t height,
                   int32_t start, int32_t arc, int32_t rotation, uint32_t code);

// Images and masks (a grey mask: 255 paints fully with the fore colour).
void QZDrawImage(QZPort* port, const DrawImage* image, const Rect* source, const Rect& dest);
void QZDrawMask(QZPort* port, const DrawImage* mask, const Rect* source, const Rect& dest,
                bool eraseFirst);

}  // namespace plexa
