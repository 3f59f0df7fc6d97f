// Inside the platform layer only: a drawing context over any paint device, for the window
// content (its backing image) and print pages. The device must outlive the context.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/draw_context.h"

class QPaintDevice;
class QImage;
class QPainter;
class QPoint;
class QPointF;
class QRectF;

namespace plexa {

std::unique_ptr<DrawContext> DrawContextForPaintDevice(QPaintDevice* device);

// Runs draw as one drawing operation of the context: the painter set up with the context's
// transform, clip, alpha, blend and antialiasing (composed apart under a mask) and the fill
// colour as its pen, as text is drawn.
void DrawContextPaintText(DrawContext& ctx, const std::function<void(QPainter&)>& draw);

// Text drawn once and laid down again as a picture: for each transform scale, place inside a
// pixel, colour and anti-aliasing, the pixels of the text over transparent ones. Kept by the
// owner of the text's glyphs; at most a few.
struct TextStamps {
    struct Stamp;
    std::vector<std::shared_ptr<Stamp>> kept;
};

// As DrawContextPaintText, for text that draw draws at `origin`, within `bounds` taken from the
// origin. Where the view is scaled (drawings at 100 % are never stamped, so they stay exactly
// what the painter draws) and the target allows it, the text is drawn once into a stamp of
// `stamps` and the stamp is laid down at whole pixels after that.
void DrawContextPaintTextStamped(DrawContext& ctx, TextStamps& stamps, const QPointF& origin,
                                 const QRectF& bounds, const std::function<void(QPainter&)>& draw);

// The coverage of one glyph (0..255 a pixel, rows of `width`) as the painter's glyph cache lays
// it down, and where its pixel (0, 0) lies from the pixel its glyph is placed in.
struct GlyphCoverage {
    int width = 0, height = 0;
    int left = 0, top = 0;
    std::vector<uint8_t> cover;
};

// A glyph of a line at its place: its coverage and the whole pixels from the pixel of the
// line's origin to the pixel its glyph is placed in.
struct PlacedCoverage {
    std::shared_ptr<const GlyphCoverage> glyph;
    int h, v;
};

// True when text drawn now lands where the painter puts it by whole pixels only: the transform
// moves by whole pixels and neither scales, turns nor mirrors, and the target takes glyphs
// laid down straight into its pixels. Then *pixel is where the transform moves (0, 0) to, and
// *antialias the anti-aliasing in force.
bool DrawContextTextAtWholePixels(DrawContext& ctx, QPoint* pixel, bool* antialias);

// Lays glyph coverages down in the fill colour at `pixel` plus their places, one glyph after the
// other with the painter's own arithmetic, so that the pixels are those the painter draws. Only
// after DrawContextTextAtWholePixels said yes.
void DrawContextBlendCoverage(DrawContext& ctx, QPoint pixel, const std::vector<PlacedCoverage>& glyphs);

// The image a DrawImage holds.
const QImage& DrawImageQImage(const DrawImage& image);

}  // namespace plexa
