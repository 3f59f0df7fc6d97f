// Inside the platform layer only: a drawing context over any paint device, for the window
// content (its backing image) and print pages. The device must outlive the context.
#pragma once

#include <functional>
#include <memory>

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

// The image a DrawImage holds.
const QImage& DrawImageQImage(const DrawImage& image);

}  // namespace plexa
