// Reference work done straight with the backing library, for the benchmarks: a benchmark runs
// its own path and the same work here in one program and one run, and states its figure as a
// ratio to this one. Nothing in the programs calls these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plexa {

struct BaselineRect {
    int32_t top, left, bottom, right;
};

struct BaselineRegion;
// The union of the rectangles (gathered pairwise).
BaselineRegion* BaselineRegionCreate(const BaselineRect* rects, size_t count);
void BaselineRegionDispose(BaselineRegion* region);
size_t BaselineRegionCount(const BaselineRegion* region);
// a op b (0 difference, 1 union, 2 intersection, 3 exclusive or); the result's rectangle count.
size_t BaselineRegionOperation(const BaselineRegion* a, const BaselineRegion* b, int op);

// A drawing primitive in device pixels.
struct BaselineShape {
    enum Kind : uint8_t { kLine, kFrame, kOval, kText };
    Kind kind;
    // A line from (x1, y1) to (x2, y2) along pixel centres; a frame or an oval inside the box
    // (x1, y1)-(x2, y2), right and bottom exclusive; a text with its baseline starting at (x1, y1).
    int32_t x1, y1, x2, y2;
    const char* text;  // UTF-8 (kText)
};

// Draws the shapes in black with antialiasing and one-pixel pens into premultiplied ARGB32
// pixels; texts in the font family at size pixels, scaled by textScale about their start.
void BaselineDrawShapes(uint8_t* pixels, int width, int height, int rowBytes,
                        const BaselineShape* shapes, size_t count, const char* family, int size,
                        double textScale);

}  // namespace plexa
