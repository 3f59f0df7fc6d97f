// The drawing-procedure table through which every shape and text call of a window goes, its
// three sets (standard, centre-line, null), and the dispatchers that call the current state's
// table.
//
// The standard set draws through the renderer, or hands the call to the display-list recorder
// while the state has a capture open (slots 0-6 and 8 only; the 32-bit and render slots always
// draw). The centre-line set moves strokes so that the pen is centred on the geometric path;
// the null set draws nothing. Callers that want other behaviour fill a table with one of the
// sets, replace slots, point the state at it, draw, and restore the saved pointer.
//
// Coordinates: Point and Rect are 16-bit, _LPNT and LRect 32-bit, vertical first. Angles of
// the arc slots are degrees (0 at the top, clockwise), of the render slots tenths of a degree.
// Verbs: 0 frame, 1 paint (fore colour), 2 erase (back colour); the render slots also take 3
// (nothing) and 4 (paint and frame).
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXGrafState;
struct VXPixels;
struct QZPort;
class DrawImage;

using VXTextProc = void (*)(const void* text, int32_t count, uint32_t encoding);
using VXLineProc = void (*)(int16_t h, int16_t v);
using VXRectProc = void (*)(const Rect* r, int8_t verb);
using VXRRectProc = void (*)(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb);
using VXArcProc = void (*)(const Rect* r, int16_t start, int16_t arc, int8_t verb);
using VXPolyProc = void (*)(const Point* points, int16_t count, int8_t verb);
using VXPixelsProc = void (*)(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode);
using VXRoundLineProc = void (*)(int16_t h, int16_t v, uint8_t width);
using VXLLineProc = void (*)(int32_t h, int32_t v);
using VXLRectProc = void (*)(const LRect* r, int8_t verb);
using VXLArcProc = void (*)(const LRect* r, int16_t start, int16_t arc, int8_t verb);
using VXLPolyProc = void (*)(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb);
using VXRenderRectProc = void (*)(const _LPNT* centre, const _LPNT* size, int32_t diameter,
                                  int16_t rotation, int8_t verb);
using VXRenderEllipseProc = void (*)(const _LPNT* centre, const _LPNT* size, int16_t start,
                                     int16_t arc, int16_t rotation, int8_t verb);

struct VXGrafProcsRecord {
    VXTextProc text;                      // 0
    VXLineProc line;                      // 1
    VXRectProc rect;                      // 2
    VXRectProc oval;                      // 3
    VXRRectProc rRect;                    // 4
    VXArcProc arc;                        // 5
    VXPolyProc poly;                      // 6
    VXPixelsProc pixels;                  // 7
    VXRoundLineProc roundLine;            // 8
    VXTextProc lText;                     // 9
    VXLLineProc lLine;                    // 10
    VXLRectProc lRect;                    // 11
    VXLRectProc lOval;                    // 12
    VXLArcProc lArc;                      // 13
    VXLPolyProc lPoly;                    // 14
    VXRenderRectProc renderRect;          // 15
    VXRenderEllipseProc renderEllipse;    // 16
};
static_assert(sizeof(VXGrafProcsRecord) == 17 * sizeof(void*));

// Fills the layer's standard and null tables; runs once at start-up before any window draws.
void VXInitGraf();
const VXGrafProcsRecord* VXGetStdGrafProcs();
const VXGrafProcsRecord* VXGetNullGrafProcs();
// Fill a caller's table with one set.
void VXSetStdGrafProcs(VXGrafProcsRecord* table);
void VXSetCenterGrafProcs(VXGrafProcsRecord* table);
void VXSetNullGrafProcs(VXGrafProcsRecord* table);

// Set while the text editor draws its caret: a scaled slot-1 line is then drawn as an L line.
extern bool gDrawingCaretLine;

// Standard procedures.
void VXStdLine(int16_t h, int16_t v);
void VXStdRect(const Rect* r, int8_t verb);
void VXStdOval(const Rect* r, int8_t verb);
void VXStdRRect(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb);
void VXStdAngleArc(const Rect* r, int16_t start, int16_t arc, int8_t verb);
void VXStdPoly(const Point* points, int16_t count, int8_t verb);
void VXStdPixels(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode);
void VXStdRoundLine(int16_t h, int16_t v, uint8_t width);
void VXLStdLine(int32_t h, int32_t v);
void VXLStdRect(const LRect* r, int8_t verb);
void VXLStdOval(const LRect* r, int8_t verb);
void VXLStdAngleArc(const LRect* r, int16_t start, int16_t arc, int8_t verb);
void VXLStdPoly(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb);
void VXStdRenderRect(const _LPNT* centre, const _LPNT* size, int32_t diameter, int16_t rotation,
                     int8_t verb);
void VXStdRenderEllipse(const _LPNT* centre, const _LPNT* size, int16_t start, int16_t arc,
                        int16_t rotation, int8_t verb);

// Centre-line procedures.
// The frame that centres a stroke of the current pen on r (see the module comment of
// grafprocs.cpp); without a current state r is copied as it is.
void CalcCenteredFrame(const Rect* r, Rect* out, int8_t verb);
void VXCntrLine(int16_t h, int16_t v);
void VXCntrRect(const Rect* r, int8_t verb);
void VXCntrOval(const Rect* r, int8_t verb);
void VXCntrRRect(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb);
void VXCntrArc(const Rect* r, int16_t start, int16_t arc, int8_t verb);
// Never writes into the caller's array.
void VXCntrPoly(const Point* points, int16_t count, int8_t verb);

// Null procedures.
void VXNullText(const void* text, int32_t count, uint32_t encoding);
void VXNullLine(int16_t h, int16_t v);
void VXNullRect(const Rect* r, int8_t verb);
void VXNullOval(const Rect* r, int8_t verb);
void VXNullRRect(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb);
void VXNullArc(const Rect* r, int16_t start, int16_t arc, int8_t verb);
void VXNullPoly(const Point* points, int16_t count, int8_t verb);
void VXNullPixels(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode);
void VXNullRoundLine(int16_t h, int16_t v, uint8_t width);
void VXLNullLine(int32_t h, int32_t v);
void VXLNullRect(const LRect* r, int8_t verb);
void VXLNullOval(const LRect* r, int8_t verb);
void VXLNullArc(const LRect* r, int16_t start, int16_t arc, int8_t verb);
void VXLNullPoly(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb);
void VXNullRenderRect(const _LPNT* centre, const _LPNT* size, int32_t diameter, int16_t rotation,
                      int8_t verb);
void VXNullRenderEllipse(const _LPNT* centre, const _LPNT* size, int16_t start, int16_t arc,
                         int16_t rotation, int8_t verb);

// Dispatchers: each calls one slot of the current state's table; nothing without a state.
void VXDrawTextWithEncoding(const void* text, int32_t count, uint32_t encoding);
void VXLDrawTextWithEncoding(const void* text, int32_t count, uint32_t encoding);
void VXLineTo(int16_t h, int16_t v);
void VXLine(int16_t dh, int16_t dv);  // to the pen plus (dh, dv), wrapped to 16 bits
void VXLLine(int32_t dh, int32_t dv);
void VXRoundLine(int16_t dh, int16_t dv, uint8_t width);
void VXRectDispatch(const Rect* r, int8_t verb);
void VXLRectDispatch(const LRect* r, int8_t verb);
void VXOvalDispatch(const Rect* r, int8_t verb);
void VXRoundRectDispatch(const Rect* r, int16_t cornerWidth, int16_t cornerHeight, int8_t verb);
void VXArcDispatch(const Rect* r, int16_t start, int16_t arc, int8_t verb);
void VXPolyDispatch(const Point* points, int16_t count, int8_t verb);
void VXLPolyDispatch(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb);
void VXDrawPixels(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode);
void VXFrameRect(const Rect* r);
void VXEraseRect(const Rect* r);
void VXFrameOval(const Rect* r);

// The display-list recorder, installed by the display-list module: while a state has a capture
// open, slots 0-6 and 8 of the standard set call it instead of drawing (nothing is drawn or
// recorded while none is installed).
struct VXDisplayListRecorder {
    void (*text)(VXGrafState* state, const void* text, int32_t count, uint32_t encoding);
    void (*line)(VXGrafState* state, int16_t h, int16_t v, uint8_t width, uint8_t round);
    void (*rect)(VXGrafState* state, const Rect* r, int8_t verb);
    void (*oval)(VXGrafState* state, const Rect* r, int8_t verb);
    void (*rRect)(VXGrafState* state, const Rect* r, int16_t cornerWidth, int16_t cornerHeight,
                  int8_t verb);
    void (*arc)(VXGrafState* state, const Rect* r, int16_t start, int16_t arc, int8_t verb);
    void (*poly)(VXGrafState* state, const Point* points, int16_t count, int8_t verb);
};
// Null uninstalls; returns the previous recorder.
const VXDisplayListRecorder* VXSetDisplayListRecorder(const VXDisplayListRecorder* recorder);
const VXDisplayListRecorder* VXGetDisplayListRecorder();

// Pixel images are drawn by the image module (slot 7 of the standard set hands them over).
using VXPixelsDrawer = void (*)(VXGrafState* state, VXPixels* pixels, const Rect* source,
                                const Rect* dest, int16_t mode);
VXPixelsDrawer VXSetPixelsDrawer(VXPixelsDrawer drawer);

// The renderer calls the standard set makes, in one table: by default the renderer's own;
// tests install a recording table. Null restores the renderer's; returns the previous table.
struct VXRendererOps {
    void (*lineTo)(QZPort* port, int32_t h, int32_t v);
    void (*lineToQD)(QZPort* port, int32_t h, int32_t v);
    void (*pathLineTo)(QZPort* port, int32_t h, int32_t v);
    void (*strokeRect)(QZPort* port, const XRect& rect);
    void (*fillRect)(QZPort* port, const XRect& rect, bool back);
    void (*strokeRoundRect)(QZPort* port, const XRect& rect, double radius);
    void (*fillRoundRect)(QZPort* port, const XRect& rect, double radius, bool back);
    void (*strokeArc)(QZPort* port, const XRect& rect, int32_t start, int32_t arc);
    void (*fillArc)(QZPort* port, const XRect& rect, int32_t start, int32_t arc, bool back);
    void (*framePoly)(QZPort* port, const Point* points, int32_t count);
    void (*fillPoly)(QZPort* port, const Point* points, int32_t count, double offset, bool back);
    void (*framePath)(QZPort* port, const _LPNT* points, const int32_t* radii, uint32_t count);
    void (*fillPath)(QZPort* port, const _LPNT* points, const int32_t* radii, uint32_t count,
                     bool back);
    void (*drawRectangle)(QZPort* port, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          int32_t rotation, uint32_t code);
    void (*drawRoundedRectangle)(QZPort* port, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                 int32_t diameter, int32_t rotation, uint32_t code);
    void (*drawEllipse)(QZPort* port, int32_t h, int32_t v, int32_t width, int32_t height,
                        int32_t start, int32_t arc, int32_t rotation, uint32_t code);
};
const VXRendererOps* VXSetRendererOps(const VXRendererOps* ops);
const VXRendererOps& VXGetRendererOps();

// The render code of a verb of the render slots: bits 0x01 fill, 0x02 stroke, 0x04 back colour;
// 0 draws nothing (verbs outside 0..4 too).
uint32_t VXRenderCodeForVerb(int8_t verb);

}  // namespace plexa
