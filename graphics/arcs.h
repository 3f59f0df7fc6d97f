// Path geometry for writing curved path segments as explicit arcs: the circle of an arc given by
// its centre and two points, the fillet arc that rounds the corner between two segments, and the
// walk over a finished path's elements. Angle normalisation to 0..359 degrees
// (`NormalizeRotationDegrees`) lives with the geometry of foundation/geometry.h, which needs it too.
//
// Points are in a y-down plane. Angles reported here are tenths of a degree, 0..3599, measured
// from the positive h axis and counting counter-clockwise as seen on the screen. Radians become
// tenths by multiplying with kTenthsPerRadian.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/types.h"

namespace plexa {

// The values of pi and of a vertical direction that arc angles are computed with.
constexpr double kArcPi = 3.141592653589;
constexpr double kArcHalfPi = 1.5707963267945;

// The circle through the start point about the centre: its radius, bounds and the angles of the
// start and end points; the end point snapped onto the circle. Every output may be null.
void GPathCalcArcRawInfo(const _LPNT* centre, const _LPNT* start, const _LPNT* end,
                         int32_t* radius, _LPNT* snappedEnd, LRect* bounds, int16_t* startAngle,
                         int16_t* endAngle);

// Fillet directions.
constexpr int16_t kFilletCounterClockwise = 1;
constexpr int16_t kFilletClockwise = 2;

// The arc of the given radius that rounds the corner p1 between p0-p1 and p1-p2: its centre,
// the tangent points on p0-p1 and on p1-p2, bounds, start angle, sweep (negative when clockwise)
// and direction. Returns 1 when the fillet fits on both segments, else 0 (the outputs are still
// written); 0 at once, writing nothing, for collinear points. Every output may be null.
int GPathCalcFilletArcRawInfo(const _LPNT* p0, const _LPNT* p1, const _LPNT* p2, int32_t radius,
                              _LPNT* centre, _LPNT* tangent1, _LPNT* tangent2, LRect* bounds,
                              int16_t* startAngle, int16_t* sweep, int16_t* direction);

// The finished path: u32 at offset 4 its used size in bytes; from offset 16 elements, each an
// i16 n followed by n points (`_LPNT`, 8 bytes each) when n >= 1, or one 56-byte arc description
// when n <= 0. Nothing in the program records one yet, so it stays null.
extern Handle gFinishedPath;

constexpr int32_t kFinishedPathArcSize = 56;

// started: 0 on the very first call of a walk, 1 after, 2 on the closing call.
using GPathEnumProc = void (*)(const _LPNT* point, const void* arc, int32_t started, void* refcon);

// Calls proc for each point and arc of the finished path, then (null, null, 2) when anything was
// emitted. Arcs before the first point are skipped; an element running past the used size ends
// the walk.
void GPathEnum(GPathEnumProc proc, void* refcon);

}  // namespace plexa
