// Inside the platform layer only: a drawing context over any paint device, for the window
// content (its backing image) and print pages. The device must outlive the context.
#pragma once

#include <QPoint>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/draw_context.h"

class QPaintDevice;
class QImage;
class QPainter;

namespace plexa {

std::unique_ptr<DrawContext> DrawContextForPaintDevice(QPaintDevice* device);

// Runs draw as one drawing operation of the context: the painter set up with the context's
// transform, clip, alpha, blend and antialiasing (composed apart under a mask) and the fill
// colour as its pen, as text is drawn.
void DrawContextPaintText(DrawContext& ctx, const std::function<void(QPainter&)>& draw);

// The coverage of one glyph (0..255 a pixel) as the painter's glyph cache lays it down, and
// where its pixel (0, 0) lies from the pixel its glyph is placed in. Rows are `stride` apart: the
// width rounded up to a multiple of four, the rest of each row 0.
struct GlyphCoverage {
    int width = 0, height = 0, stride = 0;
    int left = 0, top = 0;
    std::vector<uint8_t> cover;
};

// A glyph of a line at its place: its coverage and the whole pixels from the pixel of the
// line's origin to the pixel its glyph is placed in.
struct PlacedCoverage {
    std::shared_ptr<const GlyphCoverage> glyph;
    int h, v;
};

// Where text drawn now lands: the transform's scales, the place inside a pixel of where it moves
// (0, 0) to, that pixel, and the anti-aliasing in force.
struct TextPlacement {
    double sx = 1, sy = 1, fx = 0, fy = 0;
    QPoint pixel;
    bool antialias = true;
    bool operator==(const TextPlacement& o) const {
        return sx == o.sx && sy == o.sy && fx == o.fx && fy == o.fy && antialias == o.antialias;
    }
};

// True, with the placement, when glyphs can be laid down straight into the target's pixels: the
// transform neither turns nor mirrors, and the target takes glyphs laid down so.
bool DrawContextTextPlacement(DrawContext& ctx, TextPlacement* placement);

// Lays glyph coverages down in the fill colour at `pixel` plus their places, one glyph after the
// other with the painter's own arithmetic, so that the pixels are those the painter draws. Only
// after DrawContextTextPlacement said yes.
void DrawContextBlendCoverage(DrawContext& ctx, QPoint pixel, const std::vector<PlacedCoverage>& glyphs);

// The image a DrawImage holds.
const QImage& DrawImageQImage(const DrawImage& image);

}  // namespace plexa
