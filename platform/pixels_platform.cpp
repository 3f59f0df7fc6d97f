// Image file decoding over the platform's image readers.
#include "platform/pixels_platform.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <cmath>
#include <cstring>

namespace plexa {

bool PlatformDecodeImageFile(const std::string& path, PlatformDecodedImage* out) {
    if (!out || path.empty()) return false;
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 65535 || size.height() > 65535)) return false;
    QImage image = reader.read();
    if (image.isNull() || image.width() > 65535 || image.height() > 65535) return false;
    out->width = image.width();
    out->height = image.height();
    out->sourceDepth = image.depth();
    const auto dpi = [](int dotsPerMetre) {
        const long value = std::lround(dotsPerMetre * 0.0254);
        return value > 0 && value <= 32767 ? int32_t(value) : 72;
    };
    out->dpiH = dpi(image.dotsPerMeterX());
    out->dpiV = dpi(image.dotsPerMeterY());
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (argb.isNull()) return false;
    out->argb.resize(size_t(out->width) * size_t(out->height));
    for (int y = 0; y < out->height; y++)
        std::memcpy(out->argb.data() + size_t(y) * size_t(out->width), argb.constScanLine(y),
                    size_t(out->width) * 4);
    return true;
}

}  // namespace plexa
