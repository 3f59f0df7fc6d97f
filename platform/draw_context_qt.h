// Inside the platform layer only: a drawing context over any paint device, for the window
// content (its backing image) and print pages. The device must outlive the context.
#pragma once

#include <memory>

#include "platform/draw_context.h"

class QPaintDevice;
class QImage;

namespace plexa {

std::unique_ptr<DrawContext> DrawContextForPaintDevice(QPaintDevice* device);

// The image a DrawImage holds.
const QImage& DrawImageQImage(const DrawImage& image);

}  // namespace plexa
