// Scaling of converted sheets from the 72 units per inch of version-3.6 sheets to the 96 of
// current ones (any ratio to / from): the point scaling, and the rules that keep what was
// attached attached when every coordinate is rounded on its own. A wire end on a pin is put on
// where the pin lies after scaling, which is the scaled symbol position plus the turned, scaled
// node point and so may differ by a unit from the scaled end; a break-out is put back on its bus
// line with its slanted 9-unit stroke.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/listscale.h"

namespace plexa {

constexpr int16_t kV36Resolution = 72;
constexpr int16_t kConvertedResolution = 96;
// The legs of a break-out's slanted stroke, in units of the sheet after scaling.
constexpr int16_t kBreakoutReach = 9;


// Where a placed symbol's node lies after scaling: the node's point in the scaled definition,
// turned by the symbol's transformation code, plus the symbol's scaled position.
Point ScaledNodeInstancePoint(Point position, int32_t transformation, Point node, int16_t to,
                              int16_t from);

// Scales a wire's corners; an end that is attached to a pin (the pin's place after scaling
// given, else null) is put on that place.
void ScaleWireCorners(Point* corners, int32_t count, const Point* startPin, const Point* endPin,
                      int16_t to, int16_t from);

// A break-out: the point on the bus line and the end corner of the signal wire attached there.
struct BreakoutPoints {
    Point onBus;
    Point wireEnd;
};

// Scales a break-out's points, then realigns it with its bus segment (`busStart`, `busEnd`,
// already scaled) and the corner of its wire before the end (`wireCorner`, already scaled):
// when the bus segment is horizontal or vertical, the wire's last segment is not parallel to it
// and the break-out is slanted, the wire end keeps its coordinate along the bus and moves to
// kBreakoutReach units off the bus line on its side, and the bus point goes kBreakoutReach units
// back along the bus. True when it was realigned (the caller then moves the wire's end corner to
// `wireEnd`); false when it is left as scaled, also when the new bus point would lie off the
// bus segment.
bool ScaleBreakout(BreakoutPoints* breakout, Point busStart, Point busEnd, Point wireCorner,
                   int16_t to, int16_t from);

}  // namespace plexa
