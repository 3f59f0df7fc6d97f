// Scaling of converted sheets.
#include "converter/scale72.h"

#include <algorithm>
#include <cstdint>

#include "foundation/geometry.h"

namespace plexa {
namespace {

int16_t Sign(int32_t value) {
    return int16_t((value > 0) - (value < 0));
}

bool Between(int16_t value, int16_t a, int16_t b) {
    return value >= std::min(a, b) && value <= std::max(a, b);
}

}  // namespace

Point ScaledNodeInstancePoint(Point position, int32_t transformation, Point node, int16_t to,
                              int16_t from) {
    Scale1Point(&position, to, from);
    Scale1Point(&node, to, from);
    VXTransformPoints(transformation, &node, 1);
    return Point{int16_t(position.v + node.v), int16_t(position.h + node.h)};
}

void ScaleWireCorners(Point* corners, int32_t count, const Point* startPin, const Point* endPin,
                      int16_t to, int16_t from) {
    if (count <= 0) return;
    ScalePoints(corners, count, to, from);
    if (startPin) corners[0] = *startPin;
    if (endPin) corners[count - 1] = *endPin;
}

bool ScaleBreakout(BreakoutPoints* breakout, Point busStart, Point busEnd, Point wireCorner,
                   int16_t to, int16_t from) {
    Scale1Point(&breakout->onBus, to, from);
    Scale1Point(&breakout->wireEnd, to, from);
    const bool busHorizontal = busStart.v == busEnd.v && busStart.h != busEnd.h;
    const bool busVertical = busStart.h == busEnd.h && busStart.v != busEnd.v;
    const Point end = breakout->wireEnd;
    const bool wireHorizontal = wireCorner.v == end.v;
    const bool wireVertical = wireCorner.h == end.h;
    if (!(busHorizontal && !wireHorizontal) && !(busVertical && !wireVertical)) return false;
    // The slant of the stroke, from the bus point to the wire end.
    const int16_t dv = Sign(end.v - breakout->onBus.v);
    const int16_t dh = Sign(end.h - breakout->onBus.h);
    if (dv == 0 || dh == 0) return false;
    BreakoutPoints moved;
    if (busHorizontal) {
        moved.wireEnd = Point{int16_t(busStart.v + kBreakoutReach * dv), end.h};
        moved.onBus = Point{busStart.v, int16_t(end.h - kBreakoutReach * dh)};
        if (!Between(moved.onBus.h, busStart.h, busEnd.h)) return false;
    } else {
        moved.wireEnd = Point{end.v, int16_t(busStart.h + kBreakoutReach * dh)};
        moved.onBus = Point{int16_t(end.v - kBreakoutReach * dv), busStart.h};
        if (!Between(moved.onBus.v, busStart.v, busEnd.v)) return false;
    }
    *breakout = moved;
    return true;
}

}  // namespace plexa
