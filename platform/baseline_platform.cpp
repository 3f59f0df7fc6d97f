// Benchmark references over QRegion and QPainter.
#include "platform/baseline_platform.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>

#include <vector>

namespace plexa {

struct BaselineRegion {
    QRegion region;
};

BaselineRegion* BaselineRegionCreate(const BaselineRect* rects, size_t count) {
    // United pairwise, the quick way to gather many: one at a time grows quadratically.
    std::vector<QRegion> parts;
    parts.reserve(count);
    for (size_t i = 0; i < count; i++) {
        const BaselineRect& r = rects[i];
        parts.emplace_back(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    }
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        next.reserve(parts.size() / 2 + 1);
        for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i].united(parts[i + 1]));
        if (parts.size() % 2) next.push_back(parts.back());
        parts.swap(next);
    }
    auto* out = new BaselineRegion;
    if (!parts.empty()) out->region = parts.front();
    return out;
}

void BaselineRegionDispose(BaselineRegion* region) { delete region; }

size_t BaselineRegionCount(const BaselineRegion* region) {
    return region ? size_t(region->region.rectCount()) : 0;
}

size_t BaselineRegionOperation(const BaselineRegion* a, const BaselineRegion* b, int op) {
    QRegion out;
    switch (op) {
        case 0: out = a->region.subtracted(b->region); break;
        case 1: out = a->region.united(b->region); break;
        case 2: out = a->region.intersected(b->region); break;
        default: out = a->region.xored(b->region); break;
    }
    return size_t(out.rectCount());
}

void BaselineDrawShapes(uint8_t* pixels, int width, int height, int rowBytes,
                        const BaselineShape* shapes, size_t count, const char* family, int size,
                        double textScale) {
    QImage image(pixels, width, height, rowBytes, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(size);
    font.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(font);
    for (size_t i = 0; i < count; i++) {
        const BaselineShape& s = shapes[i];
        switch (s.kind) {
            case BaselineShape::kLine:
                p.drawLine(QPointF(s.x1 + 0.5, s.y1 + 0.5), QPointF(s.x2 + 0.5, s.y2 + 0.5));
                break;
            case BaselineShape::kFrame:
                p.drawRect(QRectF(s.x1 + 0.5, s.y1 + 0.5, s.x2 - s.x1 - 1, s.y2 - s.y1 - 1));
                break;
            case BaselineShape::kOval:
                p.drawEllipse(QRectF(s.x1 + 0.5, s.y1 + 0.5, s.x2 - s.x1 - 1, s.y2 - s.y1 - 1));
                break;
            case BaselineShape::kText:
                if (textScale == 1.0) {
                    p.drawText(QPointF(s.x1, s.y1), QString::fromUtf8(s.text));
                } else {
                    p.save();
                    p.translate(s.x1, s.y1);
                    p.scale(textScale, textScale);
                    p.drawText(QPointF(0, 0), QString::fromUtf8(s.text));
                    p.restore();
                }
                break;
        }
    }
}

}  // namespace plexa
