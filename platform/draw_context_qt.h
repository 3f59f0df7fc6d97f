// Inside the platform layer only: a drawing context over any paint device, for the window
// content (its backing image) and print pages. The device must outlive the context.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/draw_context.h"

class QPaintDevice;
class QImage;
class QPainter;
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

// The image a DrawImage holds.
const QImage& DrawImageQImage(const DrawImage& image);

}  // namespace plexa
