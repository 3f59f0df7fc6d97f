// Fixed-point geometry: 16-bit points and rectangles, conversions to the platform's
// floating-point rectangles, 8.24 scaling between document and window coordinates, the
// three-bit transformation codes, rotations, angles and line geometry.
//
// Angles: degrees 0..359 for arcs and the angle of a point, tenths of a degree 0..3599 for
// rotations and radius points; 0 points up (smaller v), 90 degrees to the right, clockwise on
// the screen. Tenths become radians by dividing by kTenthsPerRadian.
//
// Transformation code: bits 0-1 the number of quarter turns, bit 2 a mirror applied after the
// turn. On {v, h}: turn 1 gives {h, -v}, turn 2 {-v, -h}, turn 3 {-h, v}; the mirror negates h.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/windowgeometry.h"

namespace plexa {

// The conversion factor between radians and tenths of a degree that stored and exported angles
// were made with; kept exactly so that they match.
constexpr double kTenthsPerRadian = 572.95827909;

// Rounding and conversions. Values beyond the 32-bit range are clamped to it, NaN gives 0.
int32_t RoundToInt32(double x);    // half away from zero
int32_t TruncToInt32(double x);    // toward zero
// (a x b + 0x800000) >> 24 on the magnitudes, sign applied after: symmetric about zero.
int32_t MulShift24(int32_t a, int32_t b);

// An angle in degrees brought into 0..359.
int16_t NormalizeRotationDegrees(int32_t angle);

LRect* RCTtoLRCT(const Rect* r, LRect* out);
// A negative width or height becomes 0.
XRect* RCTtoXRCT(const Rect* r, XRect* out);
XRect* LRCTtoXRCT(const LRect* r, XRect* out);
// left = trunc(x), top = trunc(y), right = trunc(x + width), bottom = trunc(y + height), each
// truncated toward zero (16-bit results are clamped to the 16-bit range).
Rect* XRCTtoRCT(const XRect* r, Rect* out);
LRect* XRCTtoLRCT(const XRect* r, LRect* out);
// Turns a top-down rectangle into bottom-up coordinates within the given height:
// y := height - trunc(y + rect height); returns trunc(y + rect height) of the rectangle before.
int32_t XRCTtoCart(XRect* r, double height);

// Points and rectangles. Setters take h first; records store v first.
void VXSetPt(Point* p, int16_t h, int16_t v);
void VXSetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom);
void VXAddPt(Point* out, Point a, Point b);
void VXDiffPt(Point* out, Point a, Point b);
void VXLAddPt(_LPNT* out, const _LPNT* a, const _LPNT* b);
void VXLDiffPt(_LPNT* out, const _LPNT* a, const _LPNT* b);
void VXOffsetRect(Rect* r, int16_t dh, int16_t dv);
// Left and right move in by dh, top and bottom by dv; negative values grow.
void VXInsetRect(Rect* r, int16_t dh, int16_t dv);
void VXOffsetPoints(Point* points, int32_t count, int16_t dh, int16_t dv);
void VXMoveRectTo(Rect* r, int16_t h, int16_t v);
void VXLMoveRectTo(LRect* r, int32_t h, int32_t v);
// The empty start values for unions: {32767, 32767, -32767, -32767} and its 32-bit form.
void VXSetEmptyRect(Rect* r);
void VXLSetEmptyRect(LRect* r);
bool VXEmptyRect(const Rect* r);
bool VXEqualRect(const Rect* a, const Rect* b);
void VXUnionRect(const Rect* a, const Rect* b, Rect* out);
bool VXSectRect(const Rect* a, const Rect* b, Rect* out);
bool VXPtInRect(Point p, const Rect* r);
bool VXRectsOverlap(const Rect* a, const Rect* b);
bool VXLRectsOverlap(const LRect* a, const LRect* b);
void VXPt2Rect(Point a, Point b, Rect* out);
void CenterRect16(Rect* r, const Rect* within, bool horizontally, bool vertically);
// Extreme points lie on the bottom and right edges; count 0 gives the empty start value.
void VXGetPointsBounds(const Point* points, int32_t count, Rect* out);
// Clamps h to [left, right] and v to [top, bottom]; keepInside uses right - 1 and bottom - 1.
void VXPinToRect(Point* p, const Rect* r, bool keepInside);
void VXScalePoints(Point* points, int32_t count, Point numerator, Point denominator);
// Maps each point from one rectangle onto another, rounding half away from zero. A source of
// zero width or height maps that coordinate onto the target's top or left.
void VXMapPoints(Point* points, int32_t count, const Rect* from, const Rect* to);
// Moves both coordinates to the nearest multiple of the grid (a grid below 1 counts as 1): c becomes
// (c + grid / 2) rounded down to a multiple of the grid, for negative coordinates as for positive
// ones (a half step goes up). Results beyond the 16-bit range are clamped to it.
void SnapPointToGrid(Point* p, int32_t grid);
// The order of two points as (v, h), signed: negative, zero or positive.
int32_t ComparePointsVH(Point a, Point b);

// Window scaling. Each does nothing when the window (which may be null) is not scaled or both
// its axes are fixed, and uses 1.0 for a fixed axis.
void PointsToScale(const WindowGeometry* window, Point* points, int32_t count);
void LPointsToScale(const WindowGeometry* window, _LPNT* points, int32_t count);
// axis 0 vertical, 1 horizontal.
void LDimensionsToScale(const WindowGeometry* window, int32_t* values, int32_t count, int axis);
void PointsFromScale(const WindowGeometry* window, Point* points, int32_t count);
void LPointsFromScale(const WindowGeometry* window, _LPNT* points, int32_t count);
// Scales a rectangle so that a rectangle that is not empty never becomes empty; an empty
// rectangle is left unchanged.
void RectToNoEmptyScale(const WindowGeometry* window, Rect* r);
void LRectToNoEmptyScale(const WindowGeometry* window, LRect* r);
// The truncated origin of the active pane's bounds; (0, 0) for a window of a kind other than 0 or
// when the toolkit gives no bounds; fixed axes read 0.
void CalcPanelOriginForActivePane(const WindowGeometry* window, _LPNT* origin);
void ConvertPadPointsToPanel(const WindowGeometry* window, Point* points, int32_t count);
void LConvertPanelPointsToPad(const WindowGeometry* window, _LPNT* points, int32_t count);
// Window to screen coordinates through the toolkit; unchanged while it has installed no hook.
void VXPointsToScreen(const WindowGeometry* window, Point* points, int32_t count);

// Transformations (codes as above).
void VXTransformPoints(int32_t code, Point* points, int32_t count);
void VXLTransformPoints(int32_t code, _LPNT* points, int32_t count);
// Transforms the rectangle so that it covers exactly the transformed pixels.
void VXTransformGrafRect(int32_t code, Rect* r);
void VXLTransformGrafRect(int32_t code, LRect* r);
void VXAdjustTransformedGrafRect(int32_t code, Rect* r);
void VXLAdjustTransformedGrafRect(int32_t code, LRect* r);
// Start angle (degrees) of an arc of the given sweep after the transformation, in 0..359.
void VXTransformArc(int32_t code, int16_t* start, int16_t sweep);
// The code of applying a and then b; bits of a above bit 2 are kept.
int32_t VXTransformTransformation(int32_t a, int32_t b);
int32_t VXInverseTransformation(int32_t code);

// Rotations about a centre: angle 90, 180, 270 (or -90) degrees; 1 mirrors horizontally and 2
// vertically about the centre; any other angle leaves the point.
void VXLRotatePoint(_LPNT* p, const _LPNT* centre, int32_t angle);
void VXLRotatePointTenthDegrees(_LPNT* p, const _LPNT* centre, int32_t tenths);
// Direction of an offset in tenths of a degree (0..3599).
int32_t DeltaToTenthDegrees(int32_t dh, int32_t dv, double aspect);
// Angle in degrees of a point about the centre of a rectangle.
int16_t AngleFromPoint(const Rect* r, Point p);
void LGetRadiusPointTenthDegrees(const _LPNT* centre, int32_t hRadius, int32_t vRadius,
                                 int32_t tenths, _LPNT* out);
void GetRadiusPoint(Point centre, int16_t hRadius, int16_t vRadius, int32_t degrees, Point* out);

// Lines.
int32_t VXCalcDistance(int32_t h1, int32_t v1, int32_t h2, int32_t v2);
// Snaps a point onto segment a-b; a segment of zero length snaps to a.
void VXLSnapPointToLine(const _LPNT* a, const _LPNT* b, const _LPNT* p, _LPNT* snapped);
int32_t VXLCalcDistancePointToLine(const _LPNT* p, const _LPNT* a, const _LPNT* b,
                                   _LPNT* snapped);

// Line intersection results.
constexpr int kLinesApart = 0;
constexpr int kLinesCross = 1;
constexpr int kLinesOverlap = 2;
// Intersection of the lines (or, with segmentsOnly, the segments) a1-a2 and b1-b2: the crossing
// point is stored only for kLinesCross.
int VXLSectLines(const _LPNT* a1, const _LPNT* a2, const _LPNT* b1, const _LPNT* b2,
                 bool segmentsOnly, _LPNT* out);
int VXSectLines(Point a1, Point a2, Point b1, Point b2, bool segmentsOnly, Point* out);

}  // namespace plexa
