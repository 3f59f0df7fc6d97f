// The drawing context over QPainter. The context keeps its own graphics state and current
// path (in device space, as the points were transformed when added) and sets the whole state
// on the painter for each drawing operation, so that state changes never leak between calls.
// A grey mask is applied by composing the operation apart and multiplying it by the mask.
#include "platform/draw_context.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRegion>
#include <QRgba64>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "platform/draw_context_qt.h"

namespace plexa {

struct DrawImage::Impl {
    QImage image;
};

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 2 * kPi;

struct GState {
    QTransform ctm;
    bool hasClip = false;
    bool clipIsRegion = true;
    QRegion clipRegion;
    QPainterPath clipPath;
    std::shared_ptr<QImage> mask;  // Alpha8, device size
    double lineWidth = 1.0;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
    QList<qreal> dash;
    double dashPhase = 0.0;
    DrawBlend blend = DrawBlend::kNormal;
    double alpha = 1.0;
    bool antialias = true;
    QColor stroke = Qt::black;
    QColor fill = Qt::black;
};

// What was last set on a painter, so that an operation sets only what changed.
struct PainterState {
    bool valid = false;
    bool antialias = false;
    int clip = 0;  // 0 none, 1 region, 2 path
    QRegion clipRegion;
    QPainterPath clipPath;
    QTransform transform;
    double opacity = 1.0;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
};

struct Layer {
    QImage image;
    std::unique_ptr<QPainter> painter;
    PainterState applied;
    GState composite;  // the state the layer is laid down with
};

QColor ToQColor(const DrawColor& c) {
    auto clamp = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(clamp(c.red)), float(clamp(c.green)), float(clamp(c.blue)),
                            float(clamp(c.alpha)));
}

QPainter::CompositionMode ModeOf(DrawBlend blend) {
    switch (blend) {
        case DrawBlend::kOverlay: return QPainter::CompositionMode_Overlay;
        case DrawBlend::kDifference: return QPainter::CompositionMode_Difference;
        case DrawBlend::kExclusion: return QPainter::CompositionMode_Exclusion;
        case DrawBlend::kClear: return QPainter::CompositionMode_Clear;
        default: return QPainter::CompositionMode_SourceOver;
    }
}

// floor and ceil without a call into the maths library where the value fits a whole number.
inline double Floor(double v) {
    if (!(std::fabs(v) < 1e15)) return std::floor(v);
    const double t = double(int64_t(v));
    return t > v ? t - 1 : t;
}
inline double Ceil(double v) {
    if (!(std::fabs(v) < 1e15)) return std::ceil(v);
    const double t = double(int64_t(v));
    return t < v ? t + 1 : t;
}

bool Integral(double v) { return std::fabs(v) < 1e9 && double(int64_t(v)) == v; }

// A grey image as coverage: its bytes become alpha.
QImage CoverageOf(const QImage& image) {
    QImage grey = image.format() == QImage::Format_Grayscale8
                      ? image
                      : image.convertToFormat(QImage::Format_Grayscale8);
    QImage alpha(grey.size(), QImage::Format_Alpha8);
    for (int y = 0; y < grey.height(); y++)
        std::memcpy(alpha.scanLine(y), grey.constScanLine(y), size_t(grey.width()));
    return alpha;
}

// Strokes by filling the outline of the stroke, so that every pen width (also 1, which the
// painter would otherwise draw with its own thin-line rules) covers exactly its geometry.
// Small shapes repeat all over a sheet (pin markers, symbol bodies) at other places: their
// outlines are kept by shape and pen, relative to their first point, and moved into place.
constexpr int kOutlineCacheShapeElements = 16;
constexpr double kPenMiterLimit = 5.0;

// A small path's shape as a key: element type and coordinates less the first point, kept inline
// so that looking a shape up takes no allocation.
struct OutlineKey {
    std::array<double, 3 * kOutlineCacheShapeElements> shape{};
    int count = 0;  // values used in shape
    double width = 0, miter = 0;
    int cap = 0, join = 0;
    quint64 color = 0;  // QRgba64, for a stamp
    bool antialias = false;
    void Add(double type, double x, double y) {
        shape[size_t(count)] = type;
        shape[size_t(count) + 1] = x;
        shape[size_t(count) + 2] = y;
        count += 3;
    }
    bool operator==(const OutlineKey&) const = default;
};

struct OutlineKeyHash {
    size_t operator()(const OutlineKey& k) const {
        size_t h = size_t(k.color) * 2 ^ size_t(k.antialias) ^ (size_t(k.cap) << 8) ^ (size_t(k.join) << 12);
        auto mix = [&h](double v) {
            v += 0.0;  // -0 and 0 are one key
            uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            h ^= size_t(bits) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        };
        mix(k.width);
        for (int i = 0; i < k.count; i++) mix(k.shape[size_t(i)]);
        return h;
    }
};

constexpr size_t kOutlineCacheEntries = 512;

QPainterPath StrokedOutline(const QPainterPath& path, const QPen& pen) {
    const int count = path.elementCount();
    const QPainterPath::Element first = count ? path.elementAt(0) : QPainterPath::Element{};
    const double dx = std::floor(first.x), dy = std::floor(first.y);
    auto stroke = [&pen](const QPainterPath& shape) {
        QPainterPath outline = QPainterPathStroker(pen).createStroke(shape);
        outline.setFillRule(Qt::WindingFill);
        return outline;
    };
    if (count == 0 || count > kOutlineCacheShapeElements || !Integral(dx) || !Integral(dy) || pen.isCosmetic())
        return stroke(path);
    // Moved by whole units only, the shape keeps its place within the pixel.
    static thread_local std::unordered_map<OutlineKey, QPainterPath, OutlineKeyHash> cache;
    OutlineKey key;
    key.width = pen.widthF();
    key.miter = pen.miterLimit();
    key.cap = int(pen.capStyle());
    key.join = int(pen.joinStyle());
    for (int i = 0; i < count; i++) {
        const QPainterPath::Element e = path.elementAt(i);
        key.Add(double(e.type), e.x - dx, e.y - dy);
    }
    auto found = cache.find(key);
    if (found == cache.end()) {
        if (cache.size() >= kOutlineCacheEntries) cache.clear();
        found = cache.emplace(std::move(key), stroke(path.translated(-dx, -dy))).first;
    }
    return found->second.translated(dx, dy);
}

void StrokeOutline(QPainter& p, const QPainterPath& path, const QPen& pen) {
    p.fillPath(StrokedOutline(path, pen), pen.brush());
}

// A region of non-overlapping rectangles. Y-X banded lists are taken as they are; others are
// joined pairwise, which keeps long lists fast.
QRegion RegionOf(std::vector<QRect>& rects) {
    std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) {
        return a.top() != b.top() ? a.top() < b.top() : a.left() < b.left();
    });
    bool banded = true;
    for (size_t i = 1; i < rects.size() && banded; i++) {
        const QRect& a = rects[i - 1];
        const QRect& b = rects[i];
        banded = a.top() == b.top() ? (a.bottom() == b.bottom() && a.right() < b.left())
                                    : b.top() > a.bottom();
    }
    QRegion region;
    if (banded) {
        region.setRects(rects.data(), int(rects.size()));
        return region;
    }
    std::vector<QRegion> parts(rects.begin(), rects.end());
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i].united(parts[i + 1]));
        if (parts.size() % 2) next.push_back(parts.back());
        parts.swap(next);
    }
    return parts.empty() ? region : parts.front();
}

// The painter's product of the four channels of a premultiplied pixel by an alpha 0..255.
uint32_t ByteMul(uint32_t x, uint32_t a) {
    uint32_t t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

// Premultiplied pixels laid source-over onto a row: d = s + d * (255 - alpha of s), each product
// rounded as ByteMul rounds it. With coverages, each source pixel is the colour times its
// coverage first. Four pixels at a time where the processor has the vector unit.
#if defined(__SSE2__)
// Each 16-bit lane of x times the lane of a, rounded as ByteMul rounds it (both at most 255).
inline __m128i MulRound(__m128i x, __m128i a) {
    const __m128i t = _mm_mullo_epi16(x, a);
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), _mm_set1_epi16(0x80)), 8);
}
// Two pixels of s (16-bit lanes) over two of d.
inline __m128i Over(__m128i s, __m128i d) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_add_epi16(s, MulRound(d, _mm_sub_epi16(_mm_set1_epi16(255), alpha)));
}
#endif

void BlendRow(uint32_t* d, const uint32_t* s, int n) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(src, zero)) == 0xFFFF) continue;
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i lo = Over(_mm_unpacklo_epi8(src, zero), _mm_unpacklo_epi8(dst, zero));
        const __m128i hi = Over(_mm_unpackhi_epi8(src, zero), _mm_unpackhi_epi8(dst, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; i++) {
        const uint32_t pixel = s[i];
        if (pixel >= 0xff000000u) d[i] = pixel;
        else if (pixel != 0) d[i] = pixel + ByteMul(d[i], qAlpha(~pixel));
    }
}

void BlendCoverageRow(uint32_t* d, const uint8_t* cover, int n, uint32_t color) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i c16 = _mm_unpacklo_epi8(_mm_set1_epi32(int(color)), zero);
    for (; i + 4 <= n; i += 4) {
        uint32_t four;
        std::memcpy(&four, cover + i, 4);
        if (four == 0) continue;
        __m128i c = _mm_cvtsi32_si128(int(four));
        c = _mm_unpacklo_epi8(c, c);
        c = _mm_unpacklo_epi16(c, c);  // each coverage in the four bytes of its pixel
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i lo = Over(MulRound(c16, _mm_unpacklo_epi8(c, zero)), _mm_unpacklo_epi8(dst, zero));
        const __m128i hi = Over(MulRound(c16, _mm_unpackhi_epi8(c, zero)), _mm_unpackhi_epi8(dst, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; i++) {
        if (cover[i] == 0) continue;
        const uint32_t s = cover[i] == 255 ? color : ByteMul(color, cover[i]);
        d[i] = s + ByteMul(d[i], qAlpha(~s));
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// BlendCoverageRow eight pixels at a time, for processors with the wider vector unit.
#define PLEXA_WIDE_BLEND 1
__attribute__((target("avx2"))) inline __m256i MulRound8(__m256i x, __m256i a) {
    const __m256i t = _mm256_mullo_epi16(x, a);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), _mm256_set1_epi16(0x80)), 8);
}
__attribute__((target("avx2"))) inline __m256i Over8(__m256i s, __m256i d) {
    const __m256i alpha =
        _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    return _mm256_add_epi16(s, MulRound8(d, _mm256_sub_epi16(_mm256_set1_epi16(255), alpha)));
}
__attribute__((target("avx2"))) void BlendCoverageRowWide(uint32_t* d, const uint8_t* cover, int n, uint32_t color) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(color)), zero);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, cover + i, 8);
        if (eight == 0) continue;
        __m128i c = _mm_cvtsi64_si128(int64_t(eight));
        c = _mm_unpacklo_epi8(c, c);
        // Each coverage in the four bytes of its pixel: pixels 0-3 in the low half, 4-7 in the high.
        const __m256i cover8 = _mm256_set_m128i(_mm_unpackhi_epi16(c, c), _mm_unpacklo_epi16(c, c));
        const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i lo = Over8(MulRound8(c16, _mm256_unpacklo_epi8(cover8, zero)), _mm256_unpacklo_epi8(dst, zero));
        const __m256i hi = Over8(MulRound8(c16, _mm256_unpackhi_epi8(cover8, zero)), _mm256_unpackhi_epi8(dst, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_packus_epi16(lo, hi));
    }
    if (i < n) BlendCoverageRow(d + i, cover + i, n - i, color);
}
#endif

// A stroked whole ellipse in device pixels: the half-axes and half pen in user units, the
// transform's scales, the centre's place inside its pixel, the colour and the anti-aliasing.
struct EllipseKey {
    double a, b, h, sx, sy, fx, fy;
    quint64 color;  // QRgba64
    bool antialias;
    bool operator==(const EllipseKey&) const = default;
};

struct EllipseKeyHash {
    size_t operator()(const EllipseKey& k) const {
        size_t seed = size_t(k.color) * 2 + k.antialias;
        for (double v : {k.a, k.b, k.h, k.sx, k.sy, k.fx, k.fy}) {
            uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            seed ^= size_t(bits) + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2);
        }
        return seed;
    }
};

// The ring of the stroke in device pixels, centred at the key's place inside pixel (0, 0): the
// points of the ellipse moved by half the pen along their normals, about one pixel apart.
QPainterPath RingPath(const EllipseKey& k) {
    const double a = k.a, b = k.b, h = k.h;
    const bool solid = h >= std::min(a, b);
    const double scale = std::max(std::fabs(k.sx), std::fabs(k.sy));
    const int n = int(std::clamp(std::ceil(kTwoPi * (std::max(a, b) + h) * scale), 24.0, 4096.0));
    QPolygonF outer(n), inner(n);
    for (int i = 0; i < n; i++) {
        const double t = kTwoPi * i / n, c = std::cos(t), s = std::sin(t);
        const QPointF p(a * c, b * s);
        const QPointF normal(b * c, a * s);
        const QPointF d = normal * (h / std::hypot(normal.x(), normal.y()));
        const QPointF o = p + d, in = p - d;
        outer[i] = QPointF(k.fx + k.sx * o.x(), k.fy + k.sy * o.y());
        inner[n - 1 - i] = QPointF(k.fx + k.sx * in.x(), k.fy + k.sy * in.y());
    }
    QPainterPath ring;
    ring.setFillRule(Qt::WindingFill);
    ring.addPolygon(outer);
    ring.closeSubpath();
    if (!solid) {
        ring.addPolygon(inner);
        ring.closeSubpath();
    }
    return ring;
}

// A ring drawn once in its colour over transparent pixels, and where its pixel (0, 0) lies from
// the centre's pixel. Laid down with source-over it gives each pixel what filling the ring there
// gives: the colour times the coverage, over the rest of the pixel.
struct RingStamp {
    QImage image;
    QPoint origin;
};

constexpr int kStampMostPixels = 96 * 96;
constexpr size_t kStampsKept = 512;

// The stamp of a shape filled with the brush around pixel (0, 0); false when it is too large to
// keep.
bool MakeStamp(const QPainterPath& shape, const QBrush& brush, bool antialias, RingStamp* stamp) {
    const QRectF bounds = shape.controlPointRect();
    const QPoint origin(int(std::floor(bounds.left())) - 1, int(std::floor(bounds.top())) - 1);
    const QSize size(int(std::ceil(bounds.right())) + 2 - origin.x(), int(std::ceil(bounds.bottom())) + 2 - origin.y());
    if (size.width() * size.height() > kStampMostPixels) return false;
    *stamp = RingStamp{QImage(size, QImage::Format_ARGB32_Premultiplied), origin};
    stamp->image.fill(Qt::transparent);
    QPainter p(&stamp->image);
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.setTransform(QTransform::fromTranslate(-origin.x(), -origin.y()));
    p.fillPath(shape, brush);
    return true;
}

// A rectangle fill in whole device pixels: a bar whose first and last pixel along it may take a
// coverage of their own (the ends of a stroke with round ends).
struct Bar {
    QRect pixels;           // whole pixels covered by the bar, ends included
    int startCover = 255;   // coverage of the first and the last pixel along the bar
    int endCover = 255;
    bool vertical = false;
};
constexpr int kMostBars = 8;

}  // namespace

// One operation of a capture, its places less the whole-pixel move in force when it was drawn.
struct CapturedOp {
    enum Kind : uint8_t { kBars, kStamp, kGlyphs } kind = kBars;
    uint32_t color = 0;  // premultiplied, of bars and glyphs
    QPoint at;           // a stamp's top left, the glyphs' pixel
    int firstBar = 0, barCount = 0;  // in the capture's bars
    QImage stamp;
    std::vector<PlacedCoverage> glyphs;
};

class DrawCapture {
public:
    std::vector<CapturedOp> ops;
    std::vector<Bar> bars;  // of all the bar operations, one after the other
    QRect bounds;           // of the pixels the operations touch
};

struct DrawContext::Impl {
    QImage ownImage;  // when the context draws into caller pixels
    QPaintDevice* device = nullptr;
    std::unique_ptr<QPainter> painter;
    GState gs;
    std::vector<GState> saved;
    std::vector<std::unique_ptr<Layer>> layers;
    QPainterPath path;
    bool hasCurrent = false;
    PainterState applied;  // of the device's painter
    std::unordered_map<EllipseKey, RingStamp, EllipseKeyHash> stamps;
    std::unordered_map<OutlineKey, RingStamp, OutlineKeyHash> strokeStamps;
    // The capture being made (null without one), whether it failed, and the clip it began under.
    std::unique_ptr<DrawCapture> capture;
    bool captureFailed = false;
    bool captureHasClip = false;
    QRegion captureClip;
    QTransform captureTransform;
    QPoint captureMove;

    // Where an operation laid straight into the pixels goes in the capture, with the move to
    // take off its places (the whole-pixel move in force when the capture began: the operations
    // are in device pixels, whatever the transform is meanwhile); null when there is no capture
    // or the capture cannot hold it (it failed then).
    DrawCapture* CaptureFor(QPoint* move) {
        if (!capture || captureFailed) return nullptr;
        if (!layers.empty() || gs.hasClip != captureHasClip ||
            (gs.hasClip && (!gs.clipIsRegion || gs.clipRegion != captureClip))) {
            captureFailed = true;
            return nullptr;
        }
        *move = captureMove;
        return capture.get();
    }
    // Something was drawn that a capture cannot hold.
    void CaptureMissed() {
        if (capture) captureFailed = true;
    }

    // True when the target takes premultiplied pixels and an image laid down at a whole pixel
    // blends as a fill would: no mask, the normal blend at full alpha, and at most one clip
    // rectangle.
    bool Stampable(const GState& s) const {
        if (s.mask || s.blend != DrawBlend::kNormal || s.alpha != 1.0) return false;
        if (s.hasClip && (!s.clipIsRegion || s.clipRegion.rectCount() > 1)) return false;
        if (!layers.empty()) return true;
        return device->devType() == QInternal::Image &&
               static_cast<const QImage*>(device)->format() == QImage::Format_ARGB32_Premultiplied;
    }

    // The stamp of a ring, drawn on first use; none when the ring cannot be stamped exactly here
    // or is too large to keep.
    const RingStamp* StampFor(const EllipseKey& key) {
        if (!Stampable(gs)) return nullptr;
        auto found = stamps.find(key);
        if (found != stamps.end()) return &found->second;
        RingStamp stamp;
        if (!MakeStamp(RingPath(key), QBrush(QColor::fromRgba64(QRgba64::fromRgba64(key.color))), key.antialias,
                       &stamp))
            return nullptr;
        if (stamps.size() >= kStampsKept) stamps.clear();
        return &stamps.emplace(key, std::move(stamp)).first->second;
    }

    // Strokes a small solid path in device pixels through a stamp of its outline, drawn once for
    // each shape at each place inside a pixel, pen and colour; false, with nothing drawn, when
    // the path cannot be stamped (the painter then strokes it, to the same pixels).
    bool StrokeStamped() {
        const QTransform& m = gs.ctm;
        if (m.type() > QTransform::TxTranslate || !Integral(m.dx()) || !Integral(m.dy())) return false;
        if (!gs.dash.isEmpty() || !(gs.lineWidth > 0) || !Stampable(gs)) return false;
        const int count = path.elementCount();
        // Single segments stay with the painter: their stamps were found off by a few pixels.
        if (count < 3 || count > kOutlineCacheShapeElements) return false;
        // Laid out in user space as the painter strokes it, moved by the whole-pixel transform.
        const double mx = m.dx(), my = m.dy();
        const QPainterPath::Element first = path.elementAt(0);
        const double px = std::floor(first.x - mx), py = std::floor(first.y - my);
        if (!(std::fabs(px) < 1e7 && std::fabs(py) < 1e7)) return false;
        // The pen as Pen() makes it: solid here, so width, mitre limit, cap and join are all.
        OutlineKey key;
        key.width = gs.lineWidth;
        key.miter = kPenMiterLimit;
        key.cap = int(gs.cap);
        key.join = int(gs.join);
        key.color = quint64(gs.stroke.rgba64());
        key.antialias = gs.antialias;
        for (int i = 0; i < count; i++) {
            const QPainterPath::Element e = path.elementAt(i);
            key.Add(double(e.type), (e.x - mx) - px, (e.y - my) - py);
        }
        auto found = strokeStamps.find(key);
        if (found == strokeStamps.end()) {
            const QPen pen = Pen();
            const QPainterPath user = path.translated(-mx, -my);
            RingStamp stamp;
            if (!MakeStamp(StrokedOutline(user, pen).translated(-px, -py), pen.brush(), gs.antialias, &stamp))
                return false;
            if (strokeStamps.size() >= kStampsKept) strokeStamps.clear();
            found = strokeStamps.emplace(key, std::move(stamp)).first;
        }
        const QPoint at(int(px + m.dx()) + found->second.origin.x(), int(py + m.dy()) + found->second.origin.y());
        BlitStamp(found->second.image, at);
        return true;
    }

    QSize size() const { return QSize(device->width(), device->height()); }
    QPainter& target() { return layers.empty() ? *painter : *layers.back()->painter; }
    PainterState& targetState() { return layers.empty() ? applied : layers.back()->applied; }

    QPen Pen() const {
        QPen pen(QBrush(gs.stroke), gs.lineWidth, Qt::SolidLine, gs.cap, gs.join);
        pen.setMiterLimit(kPenMiterLimit);
        if (!gs.dash.isEmpty()) {
            const double unit = gs.lineWidth > 0 ? gs.lineWidth : 1.0;
            QList<qreal> pattern;
            for (qreal d : gs.dash) pattern.push_back(std::max(d / unit, 1e-3));
            if (pattern.size() % 2) pattern.push_back(pattern.back());
            pen.setDashPattern(pattern);
            pen.setDashOffset(gs.dashPhase / unit);
        }
        return pen;
    }

    // Sets the state s on the painter; a painter's state record skips what is already set.
    static void SetUp(QPainter& p, PainterState& a, const GState& s, bool withMode) {
        if (!a.valid || a.antialias != s.antialias) {
            p.setRenderHint(QPainter::Antialiasing, s.antialias);
            p.setRenderHint(QPainter::SmoothPixmapTransform, s.antialias);
            a.antialias = s.antialias;
        }
        const int clip = !s.hasClip ? 0 : s.clipIsRegion ? 1 : 2;
        const bool clipChanged = !a.valid || a.clip != clip ||
                                 (clip == 1 && a.clipRegion != s.clipRegion) ||
                                 (clip == 2 && a.clipPath != s.clipPath);
        if (clipChanged) {
            // Clips are given in device space.
            p.resetTransform();
            a.transform = QTransform();
            if (clip == 0) p.setClipping(false);
            else if (clip == 1) p.setClipRegion(s.clipRegion);
            else p.setClipPath(s.clipPath);
            a.clip = clip;
            a.clipRegion = clip == 1 ? s.clipRegion : QRegion();
            a.clipPath = clip == 2 ? s.clipPath : QPainterPath();
        }
        if (!a.valid || clipChanged || a.transform != s.ctm) {
            p.setWorldTransform(s.ctm);
            a.transform = s.ctm;
        }
        if (!a.valid || a.opacity != s.alpha) {
            p.setOpacity(s.alpha);
            a.opacity = s.alpha;
        }
        const QPainter::CompositionMode mode = withMode ? ModeOf(s.blend) : QPainter::CompositionMode_SourceOver;
        if (!a.valid || a.mode != mode) {
            p.setCompositionMode(mode);
            a.mode = mode;
        }
        a.valid = true;
    }

    // Runs one drawing operation with the state s; with a mask the operation is composed apart.
    template <class F>
    void Paint(const GState& s, F&& draw) {
        CaptureMissed();
        QPainter& p = target();
        if (!s.mask) {
            SetUp(p, targetState(), s, true);
            draw(p);
            return;
        }
        QImage part(size(), QImage::Format_ARGB32_Premultiplied);
        part.fill(Qt::transparent);
        {
            QPainter q(&part);
            PainterState fresh;
            SetUp(q, fresh, s, false);
            draw(q);
            q.resetTransform();
            q.setClipping(false);
            q.setOpacity(1.0);
            q.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            q.drawImage(0, 0, *s.mask);
        }
        p.resetTransform();
        p.setClipping(false);
        p.setOpacity(1.0);
        p.setCompositionMode(s.blend == DrawBlend::kClear ? QPainter::CompositionMode_DestinationOut
                                                          : ModeOf(s.blend));
        p.drawImage(0, 0, part);
        targetState().valid = false;
    }

    // Lays a premultiplied stamp down at a whole pixel, source over, as the painter lays an
    // image down there (the target must be stampable).
    void BlitStamp(const QImage& stamp, QPoint to) {
        QPoint move;
        if (DrawCapture* c = CaptureFor(&move)) {
            CapturedOp op;
            op.kind = CapturedOp::kStamp;
            op.at = to - move;
            op.stamp = stamp;
            c->ops.push_back(std::move(op));
        }
        QImage& image = TargetImage();
        const QRect area = QRect(to, stamp.size()) & TargetClip();
        if (area.isEmpty()) return;
        auto* bits = const_cast<uchar*>(image.constBits());
        const qsizetype stride = image.bytesPerLine();
        for (int y = area.top(); y <= area.bottom(); y++) {
            auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
            const auto* from = reinterpret_cast<const uint32_t*>(stamp.constScanLine(y - to.y()));
            BlendRow(row + area.left(), from + (area.left() - to.x()), area.width());
        }
    }

    // Paint with the current state under another transform.
    template <class F>
    void PaintUnder(const QTransform& ctm, F&& draw) {
        const QTransform kept = gs.ctm;
        gs.ctm = ctm;
        Paint(gs, std::forward<F>(draw));
        gs.ctm = kept;
    }

    // The pen's width in device pixels when the transform keeps the axes and scales both alike
    // and the pen is solid; 0 otherwise.
    double AxisPenWidth() const {
        const QTransform& m = gs.ctm;
        if (m.type() > QTransform::TxScale || std::fabs(m.m11()) != std::fabs(m.m22())) return 0;
        if (!gs.dash.isEmpty() || !(gs.lineWidth > 0)) return 0;
        return gs.lineWidth * std::fabs(m.m11());
    }

    // The premultiplied pixels the operations land in.
    QImage& TargetImage() { return layers.empty() ? *static_cast<QImage*>(device) : layers.back()->image; }
    // The pixels of the target inside the clip's bounds (the clip is one rectangle wherever this
    // is asked); while a capture is played it is worked out once.
    QRect playClip;
    bool playing = false;
    QRect TargetClip() {
        if (playing) return playClip;
        QRect clip = TargetImage().rect();
        if (gs.hasClip) clip &= gs.clipRegion.boundingRect();
        return clip;
    }

    // Fills device rectangles in the stroke colour straight into the target's pixels, with the
    // painter's own arithmetic: a rectangle on whole pixels is filled, or blended source-over,
    // exactly as the painter fills it. A bar whose sides lie on the pixel grid and whose ends do
    // not (a stroke with round ends) takes for each end pixel the coverage the painter gives an
    // end at that place inside its pixel, learnt once from the painter. False, with nothing
    // drawn, for any other rectangle (the painter then fills them).
    bool FillDeviceRectsDirect(const QRectF* rects, int count) {
        if (!Stampable(gs)) return false;
        if (count > kMostBars) return false;
        Bar bars[kMostBars];
        for (int i = 0; i < count; i++) {
            const QRectF r = rects[i].width() < 0 || rects[i].height() < 0 ? rects[i].normalized() : rects[i];
            if (!(std::fabs(r.x()) < 1e7 && std::fabs(r.y()) < 1e7 && r.width() < 1e7 && r.height() < 1e7))
                return false;
            const bool wholeX = Integral(r.left()) && Integral(r.right());
            const bool wholeY = Integral(r.top()) && Integral(r.bottom());
            Bar& b = bars[i];
            if (!wholeX && !wholeY) return false;
            if (!(wholeX && wholeY)) {
                if (!gs.antialias) return false;
                b.vertical = wholeX;
                const double lo = b.vertical ? r.top() : r.left(), hi = b.vertical ? r.bottom() : r.right();
                if (Ceil(lo) > Floor(hi)) return false;  // both ends in one pixel
                if (!Integral(lo)) b.startCover = EndCoverage(b.vertical, false, lo - Floor(lo));
                if (!Integral(hi)) b.endCover = EndCoverage(b.vertical, true, hi - Floor(hi));
            }
            b.pixels = QRect(QPoint(int(Floor(r.left())), int(Floor(r.top()))),
                             QPoint(int(Ceil(r.right())) - 1, int(Ceil(r.bottom())) - 1));
        }
        LayBars(bars, count, qPremultiply(gs.stroke.rgba64()).toArgb32());
        return true;
    }

    // Lays bars down in a premultiplied colour, and keeps them in the capture being made.
    void LayBars(const Bar* bars, int count, uint32_t color) {
        QPoint move;
        if (DrawCapture* c = CaptureFor(&move)) {
            CapturedOp op;
            op.kind = CapturedOp::kBars;
            op.color = color;
            op.firstBar = int(c->bars.size());
            op.barCount = count;
            for (int i = 0; i < count; i++) {
                c->bars.push_back(bars[i]);
                c->bars.back().pixels.translate(-move);
            }
            c->ops.push_back(std::move(op));
        }
        PaintBars(bars, count, color, QPoint());
    }

    // Fills a rectangle in the fill colour straight into the target's pixels when its edges lie
    // on the pixel grid: every pixel inside is covered whole, so the painter gives each the colour
    // laid source-over onto it, as here. False, with nothing drawn, for any other rectangle.
    bool FillRectDirect(const QRectF& user) {
        const QTransform& m = gs.ctm;
        if (m.type() > QTransform::TxScale || !Stampable(gs)) return false;
        const QRectF r = m.mapRect(user.normalized());
        if (!(std::fabs(r.x()) < 1e7 && std::fabs(r.y()) < 1e7 && r.width() < 1e7 && r.height() < 1e7)) return false;
        if (!Integral(r.left()) || !Integral(r.top()) || !Integral(r.right()) || !Integral(r.bottom())) return false;
        if (r.width() <= 0 || r.height() <= 0) return true;
        Bar bar;
        bar.pixels = QRect(QPoint(int(r.left()), int(r.top())), QPoint(int(r.right()) - 1, int(r.bottom()) - 1));
        LayBars(&bar, 1, qPremultiply(gs.fill.rgba64()).toArgb32());
        return true;
    }

    // Lays bars down in a premultiplied colour, moved by `move`, under the clip in force.
    void PaintBars(const Bar* bars, int count, uint32_t color, QPoint move) {
        if (qAlpha(color) == 0) return;
        QImage& image = TargetImage();
        const QRect clip = TargetClip();
        auto* bits = const_cast<uchar*>(image.constBits());
        const qsizetype stride = image.bytesPerLine();
        // The colour at a coverage, and what of the pixel under it stays.
        struct Ink {
            uint32_t c = 0, rest = 255;
        };
        auto inkOf = [color](int coverage) {
            Ink ink;
            if (coverage == 0) return ink;
            ink.c = coverage == 255 ? color : ByteMul(color, uint32_t(coverage));
            ink.rest = 255 - uint32_t(qAlpha(ink.c));
            return ink;
        };
        // A run of pixels at one coverage.
        auto blend = [](uint32_t* p, int n, const Ink& ink) {
            if (ink.c == 0 && ink.rest == 255) return;
            if (ink.rest == 0) {
                for (int i = 0; i < n; i++) p[i] = ink.c;
            } else {
                for (int i = 0; i < n; i++) p[i] = ink.c + ByteMul(p[i], ink.rest);
            }
        };
        const Ink full = inkOf(255);
        for (int i = 0; i < count; i++) {
            const Bar& b = bars[i];
            const QRect pixels = b.pixels.translated(move);
            const QRect area = pixels & clip;
            if (area.isEmpty()) continue;
            const int first = b.vertical ? pixels.top() : pixels.left();
            const int last = b.vertical ? pixels.bottom() : pixels.right();
            // A bar of one pixel has at most one end inside it.
            const Ink start = inkOf(first == last && b.startCover == 255 ? b.endCover : b.startCover);
            const Ink end = first == last ? start : inkOf(b.endCover);
            auto inkAt = [&](int along) -> const Ink& { return along == first ? start : along == last ? end : full; };
            const int left = area.left(), width = area.width();
            auto* row = reinterpret_cast<uint32_t*>(bits + area.top() * stride);
            if (b.vertical) {
                for (int y = area.top(); y <= area.bottom(); y++, row = reinterpret_cast<uint32_t*>(reinterpret_cast<uchar*>(row) + stride)) {
                    const Ink& ink = inkAt(y);
                    if (width == 1 && ink.rest == 0) row[left] = ink.c;
                    else blend(row + left, width, ink);
                }
                continue;
            }
            for (int y = area.top(); y <= area.bottom(); y++, row = reinterpret_cast<uint32_t*>(reinterpret_cast<uchar*>(row) + stride)) {
                int x = left;
                const int stop = area.right() + 1;
                if (x == first) blend(row + x++, 1, start);
                const int middleEnd = std::min(stop, last);
                if (middleEnd > x) {
                    blend(row + x, middleEnd - x, full);
                    x = middleEnd;
                }
                if (x < stop) blend(row + x, stop - x, inkAt(x));
            }
        }
    }

    // The coverage the painter gives the end pixel of a one-pixel bar whose end lies `inside`
    // (0..1) into that pixel: learnt by filling such a bar once.
    static int EndCoverage(bool vertical, bool end, double inside) {
        static auto* learnt = new std::unordered_map<uint64_t, int>;
        // The last answers, by a few bits of their key, in front of the map.
        struct Recent {
            uint64_t key = ~uint64_t(0);
            int coverage = 0;
        };
        static Recent recent[64];
        uint64_t key;
        std::memcpy(&key, &inside, sizeof key);
        key = key * 4 + uint64_t(vertical) * 2 + uint64_t(end);
        Recent& slot = recent[(key ^ (key >> 29) ^ (key >> 41)) & 63];
        if (slot.key == key) return slot.coverage;
        if (auto found = learnt->find(key); found != learnt->end()) {
            slot = {key, found->second};
            return found->second;
        }
        QImage probe(4, 4, QImage::Format_ARGB32_Premultiplied);
        probe.fill(Qt::transparent);
        {
            QPainter p(&probe);
            p.setRenderHint(QPainter::Antialiasing, true);
            const double lo = end ? 0.0 : 1 + inside, hi = end ? 2 + inside : 4.0;
            p.fillRect(vertical ? QRectF(1, lo, 1, hi - lo) : QRectF(lo, 1, hi - lo, 1), QColor(0, 0, 0));
        }
        const int at = end ? 2 : 1;
        const int coverage = qAlpha(vertical ? probe.pixel(1, at) : probe.pixel(at, 1));
        learnt->emplace(key, coverage);
        return coverage;
    }

    // Fills device rectangles in the stroke colour, as one operation.
    void FillDeviceRects(const QRectF* rects, int count) {
        if (FillDeviceRectsDirect(rects, count)) return;
        bool invertible = false;
        const QTransform inv = gs.ctm.inverted(&invertible);
        if (!invertible) return;
        const QColor color = gs.stroke;
        Paint(gs, [&](QPainter& p) {
            for (int i = 0; i < count; i++) {
                const QRectF r = inv.mapRect(rects[i]);
                // Whole pixels take the painter's quickest fill.
                if (Integral(r.x()) && Integral(r.y()) && Integral(r.width()) && Integral(r.height()))
                    p.fillRect(r.toRect(), color);
                else
                    p.fillRect(r, color);
            }
        });
    }

    // A stroke of the current path when it is one horizontal or vertical segment, filled as a
    // rectangle: the painter fills a rectangle with its exact coverage. A round cap becomes its
    // area spread over its pixel column, which is exact when the cap lies in one column and the
    // rows are whole (pens of 1 and 2 on the pixel grid). False when the stroke is no such
    // segment.
    bool StrokeSegmentAsRect() {
        if (path.elementCount() != 2 || !path.elementAt(0).isMoveTo() || !path.elementAt(1).isLineTo()) return false;
        return StrokeSegmentAsRect(path.elementAt(0), path.elementAt(1));
    }
    // The same for the segment from a to b in device space.
    bool StrokeSegmentAsRect(const QPointF& a, const QPointF& b) {
        const double w = AxisPenWidth();
        if (w <= 0) return false;
        const bool horizontal = a.y() == b.y();
        if (a == b || (!horizontal && a.x() != b.x())) return false;
        // Along the segment: from, to; across: the centre line.
        const double from = horizontal ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
        const double to = horizontal ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
        const double centre = horizontal ? a.y() : a.x();
        const double h = w / 2;
        double cap = 0;
        if (gs.cap == Qt::SquareCap) {
            cap = h;
        } else if (gs.cap == Qt::RoundCap) {
            const bool wholeRows = Integral(centre - h) && Integral(centre + h);
            const bool oneColumn = to + h <= Floor(to) + 1 && from - h >= Ceil(from) - 1;
            if ((w != 1 && w != 2) || !wholeRows || !oneColumn || !gs.antialias) return false;
            cap = kPi * w / 8;
        }
        const double lo = from - cap, hi = to + cap;
        if (!gs.antialias && !(Integral(lo) && Integral(hi) && Integral(centre - h) && Integral(centre + h)))
            return false;
        const QRectF r = horizontal ? QRectF(lo, centre - h, hi - lo, w) : QRectF(centre - h, lo, w, hi - lo);
        FillDeviceRects(&r, 1);
        return true;
    }

    // A frame of a rectangle with mitred corners whose edges lie on the pixel grid: four
    // rectangles. False for any other.
    bool StrokeRectAsRects(const QRectF& user) {
        const double w = AxisPenWidth();
        if (w <= 0 || gs.join != Qt::MiterJoin) return false;
        const QRectF r = gs.ctm.mapRect(user.normalized());
        const double h = w / 2;
        const QRectF outer = r.adjusted(-h, -h, h, h), inner = r.adjusted(h, h, -h, -h);
        if (!(r.width() > 0 && r.height() > 0) || !Integral(outer.left()) || !Integral(outer.top()) ||
            !Integral(outer.right()) || !Integral(outer.bottom()))
            return false;
        if (inner.width() <= 0 || inner.height() <= 0) {
            FillDeviceRects(&outer, 1);
            return true;
        }
        if (!Integral(inner.left()) || !Integral(inner.top())) return false;
        const QRectF ring[4] = {
            QRectF(QPointF(outer.left(), outer.top()), QPointF(outer.right(), inner.top())),
            QRectF(QPointF(outer.left(), inner.bottom()), QPointF(outer.right(), outer.bottom())),
            QRectF(QPointF(outer.left(), inner.top()), QPointF(inner.left(), inner.bottom())),
            QRectF(QPointF(inner.right(), inner.top()), QPointF(outer.right(), inner.bottom())),
        };
        FillDeviceRects(ring, 4);
        return true;
    }

    void Append(const QPainterPath& userPath) {
        // Joined to the current point by a line, as one subpath.
        const QPainterPath mapped = gs.ctm.map(userPath);
        for (int i = 0; i < mapped.elementCount(); i++) {
            const QPainterPath::Element e = mapped.elementAt(i);
            if (e.isMoveTo()) {
                if (hasCurrent) path.lineTo(e.x, e.y);
                else path.moveTo(e.x, e.y);
            } else if (e.isLineTo()) {
                path.lineTo(e.x, e.y);
            } else if (e.isCurveTo() && i + 2 < mapped.elementCount()) {
                const QPainterPath::Element c2 = mapped.elementAt(i + 1), end = mapped.elementAt(i + 2);
                path.cubicTo(QPointF(e.x, e.y), QPointF(c2.x, c2.y), QPointF(end.x, end.y));
                i += 2;
            }
            hasCurrent = true;
        }
    }

    // An arc in user space from angle a (radians) sweeping by sweep.
    void AppendArc(double cx, double cy, double r, double a, double sweep) {
        QPainterPath u;
        u.moveTo(cx + r * std::cos(a), cy + r * std::sin(a));
        u.arcTo(QRectF(cx - r, cy - r, 2 * r, 2 * r), -a * 180.0 / kPi, -sweep * 180.0 / kPi);
        Append(u);
    }

    void IntersectClip(const QRegion* region, const QPainterPath* devPath) {
        if (!gs.hasClip) {
            gs.hasClip = true;
            gs.clipIsRegion = region != nullptr;
            if (region) gs.clipRegion = *region;
            else gs.clipPath = *devPath;
            return;
        }
        if (gs.clipIsRegion && region) {
            gs.clipRegion = gs.clipRegion.intersected(*region);
            return;
        }
        QPainterPath current;
        if (gs.clipIsRegion) current.addRegion(gs.clipRegion);
        else current = gs.clipPath;
        QPainterPath other;
        if (region) other.addRegion(*region);
        else other = *devPath;
        gs.clipPath = current.intersected(other);
        gs.clipIsRegion = false;
    }
};

DrawContext::Impl& DrawContextImpl(DrawContext& ctx) { return *ctx.impl_; }

std::unique_ptr<DrawContext> MakeDrawContext(std::unique_ptr<DrawContext::Impl> impl) {
    return std::unique_ptr<DrawContext>(new DrawContext(std::move(impl)));
}

std::unique_ptr<DrawContext> DrawContextForPaintDevice(QPaintDevice* device) {
    if (!device || device->width() <= 0 || device->height() <= 0) return nullptr;
    auto impl = std::make_unique<DrawContext::Impl>();
    impl->device = device;
    impl->painter = std::make_unique<QPainter>();
    if (!impl->painter->begin(device)) return nullptr;
    return MakeDrawContext(std::move(impl));
}

std::unique_ptr<DrawContext> DrawContext::ForPixels(uint8_t* pixels, int width, int height,
                                                    int rowBytes, DrawPixelFormat format) {
    const int bytes = format == DrawPixelFormat::kGrey8 ? 1 : 4;
    if (!pixels || width <= 0 || height <= 0 || rowBytes < width * bytes) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->ownImage = QImage(pixels, width, height, rowBytes,
                            format == DrawPixelFormat::kGrey8 ? QImage::Format_Grayscale8
                                                             : QImage::Format_ARGB32_Premultiplied);
    impl->device = &impl->ownImage;
    impl->painter = std::make_unique<QPainter>();
    if (!impl->painter->begin(impl->device)) return nullptr;
    return MakeDrawContext(std::move(impl));
}

DrawContext::DrawContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DrawContext::~DrawContext() {
    while (!impl_->layers.empty()) EndTransparencyLayer();
    impl_->painter->end();
}

int DrawContext::width() const { return impl_->device->width(); }
int DrawContext::height() const { return impl_->device->height(); }

void DrawContext::SaveState() { impl_->saved.push_back(impl_->gs); }

void DrawContext::RestoreState() {
    if (impl_->saved.empty()) return;
    impl_->gs = std::move(impl_->saved.back());
    impl_->saved.pop_back();
}

void DrawContext::Translate(double dx, double dy) { impl_->gs.ctm = QTransform::fromTranslate(dx, dy) * impl_->gs.ctm; }
void DrawContext::Scale(double sx, double sy) { impl_->gs.ctm = QTransform::fromScale(sx, sy) * impl_->gs.ctm; }
void DrawContext::Rotate(double radians) {
    QTransform r;
    r.rotateRadians(radians);
    impl_->gs.ctm = r * impl_->gs.ctm;
}

void DrawContext::SetLineWidth(double width) { impl_->gs.lineWidth = std::max(0.0, width); }

void DrawContext::SetLineCap(DrawCap cap) {
    impl_->gs.cap = cap == DrawCap::kRound ? Qt::RoundCap : cap == DrawCap::kSquare ? Qt::SquareCap : Qt::FlatCap;
}

void DrawContext::SetLineJoin(DrawJoin join) {
    impl_->gs.join = join == DrawJoin::kRound ? Qt::RoundJoin : join == DrawJoin::kBevel ? Qt::BevelJoin : Qt::MiterJoin;
}

void DrawContext::SetLineDash(double phase, const double* lengths, size_t count) {
    impl_->gs.dash.clear();
    impl_->gs.dashPhase = phase;
    double total = 0;
    for (size_t i = 0; lengths && i < count; i++) {
        impl_->gs.dash.push_back(lengths[i]);
        total += std::max(0.0, lengths[i]);
    }
    if (total <= 0) impl_->gs.dash.clear();
}

void DrawContext::SetBlend(DrawBlend blend) { impl_->gs.blend = blend; }
void DrawContext::SetAlpha(double alpha) { impl_->gs.alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0; }
void DrawContext::SetAntialias(bool on) { impl_->gs.antialias = on; }
void DrawContext::SetFlatness(double) {}  // curves are flattened by the painter itself
void DrawContext::SetStrokeColor(const DrawColor& color) { impl_->gs.stroke = ToQColor(color); }
void DrawContext::SetFillColor(const DrawColor& color) { impl_->gs.fill = ToQColor(color); }

void DrawContext::BeginPath() {
    impl_->path.clear();  // keeps the path's storage for the next one
    impl_->hasCurrent = false;
}

bool DrawContext::PathIsEmpty() const { return impl_->path.isEmpty(); }

void DrawContext::MoveTo(double x, double y) {
    impl_->path.moveTo(impl_->gs.ctm.map(QPointF(x, y)));
    impl_->hasCurrent = true;
}

void DrawContext::LineTo(double x, double y) {
    if (!impl_->hasCurrent) return MoveTo(x, y);
    impl_->path.lineTo(impl_->gs.ctm.map(QPointF(x, y)));
}

void DrawContext::AddArc(double cx, double cy, double radius, double start, double end, bool clockwise) {
    if (!(radius >= 0) || !std::isfinite(start) || !std::isfinite(end)) return;
    double sweep = end - start;
    if (!clockwise && sweep < 0) sweep = std::fmod(sweep, kTwoPi) + kTwoPi;
    if (clockwise && sweep > 0) sweep = std::fmod(sweep, kTwoPi) - kTwoPi;
    impl_->AppendArc(cx, cy, radius, start, sweep);
}

void DrawContext::AddArcToPoint(double x1, double y1, double x2, double y2, double radius) {
    if (!impl_->hasCurrent) return MoveTo(x1, y1);
    bool invertible = false;
    const QTransform inv = impl_->gs.ctm.inverted(&invertible);
    if (!invertible) return;
    const QPointF p0 = inv.map(impl_->path.currentPosition());
    const double ux = p0.x() - x1, uy = p0.y() - y1, vx = x2 - x1, vy = y2 - y1;
    const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    const double cross = ux * vy - uy * vx;
    if (radius <= 0 || lu == 0 || lv == 0 || std::fabs(cross) < 1e-12 * lu * lv) return LineTo(x1, y1);
    const double cosTheta = std::clamp((ux * vx + uy * vy) / (lu * lv), -1.0, 1.0);
    const double theta = std::acos(cosTheta);
    const double d = radius / std::tan(theta / 2);
    const double t1x = x1 + ux / lu * d, t1y = y1 + uy / lu * d;
    const double t2x = x1 + vx / lv * d, t2y = y1 + vy / lv * d;
    const double bx = ux / lu + vx / lv, by = uy / lu + vy / lv, lb = std::hypot(bx, by);
    const double c = radius / std::sin(theta / 2);
    const double cx = x1 + bx / lb * c, cy = y1 + by / lb * c;
    const double a1 = std::atan2(t1y - cy, t1x - cx);
    double sweep = std::atan2(t2y - cy, t2x - cx) - a1;
    while (sweep > kPi) sweep -= kTwoPi;
    while (sweep < -kPi) sweep += kTwoPi;
    impl_->AppendArc(cx, cy, radius, a1, sweep);
}

void DrawContext::AddRect(const DrawRectF& r) {
    QPainterPath u;
    u.addRect(QRectF(r.x, r.y, r.width, r.height));
    impl_->path.addPath(impl_->gs.ctm.map(u));
    impl_->hasCurrent = true;
}

void DrawContext::ClosePath() {
    if (impl_->path.elementCount()) impl_->path.closeSubpath();
}

void DrawContext::StrokeLine(double x1, double y1, double x2, double y2) {
    const QPointF a = impl_->gs.ctm.map(QPointF(x1, y1)), b = impl_->gs.ctm.map(QPointF(x2, y2));
    if (impl_->StrokeSegmentAsRect(a, b)) {
        if (impl_->hasCurrent) BeginPath();
        return;
    }
    BeginPath();
    impl_->path.moveTo(a);
    impl_->path.lineTo(b);
    impl_->hasCurrent = true;
    DrawPath(DrawPathMode::kStroke);
}

void DrawContext::DrawPath(DrawPathMode mode) {
    if (mode == DrawPathMode::kStroke && (impl_->StrokeSegmentAsRect() || impl_->StrokeStamped()))
        return BeginPath();
    bool invertible = false;
    const QTransform inv = impl_->gs.ctm.inverted(&invertible);
    if (invertible && !impl_->path.isEmpty()) {
        QPainterPath user = inv.map(impl_->path);
        user.setFillRule(Qt::WindingFill);
        const QPen pen = impl_->Pen();
        const QBrush brush(impl_->gs.fill);
        impl_->Paint(impl_->gs, [&](QPainter& p) {
            if (mode != DrawPathMode::kStroke) p.fillPath(user, brush);
            if (mode != DrawPathMode::kFill && impl_->gs.lineWidth > 0) StrokeOutline(p, user, pen);
        });
    }
    BeginPath();
}

void DrawContext::FillRect(const DrawRectF& r) {
    const QRectF rect(r.x, r.y, r.width, r.height);
    if (impl_->FillRectDirect(rect)) return;
    const QBrush brush(impl_->gs.fill);
    impl_->Paint(impl_->gs, [&](QPainter& p) { p.fillRect(rect, brush); });
}

void DrawContext::StrokeRect(const DrawRectF& r) {
    if (impl_->StrokeRectAsRects(QRectF(r.x, r.y, r.width, r.height))) return;
    QPainterPath u;
    u.addRect(QRectF(r.x, r.y, r.width, r.height));
    const QPen pen = impl_->Pen();
    impl_->Paint(impl_->gs, [&](QPainter& p) { StrokeOutline(p, u, pen); });
}

bool DrawContext::StrokeEllipse(const DrawRectF& r) {
    const GState& gs = impl_->gs;
    if (gs.ctm.type() > QTransform::TxScale || !gs.dash.isEmpty() || !(gs.lineWidth > 0)) return false;
    const QRectF rect = QRectF(r.x, r.y, r.width, r.height).normalized();
    const double a = rect.width() / 2, b = rect.height() / 2, h = gs.lineWidth / 2;
    // A pen as wide as the ellipse's minor half-axis covers all inside it; a narrower pen that
    // is wider than the curve is round makes the inner edge turn back on itself.
    const bool solid = h >= std::min(a, b);
    if (!(std::min(a, b) > 0) || (!solid && h * std::max(a, b) >= std::min(a, b) * std::min(a, b)))
        return false;
    // The ring is laid out in device pixels around the centre's place inside its pixel, and
    // moved to that pixel by whole pixels: so a ring drawn once (a stamp) lands on exactly the
    // pixels that drawing it anew would cover, wherever the same ring falls at the same place
    // inside a pixel.
    const QPointF centre = gs.ctm.map(rect.center());
    const QPointF pixel(Floor(centre.x()), Floor(centre.y()));
    const QPointF inside = centre - pixel;
    if (!(std::fabs(pixel.x()) < 1e7 && std::fabs(pixel.y()) < 1e7)) return false;
    const EllipseKey key{a, b, h, gs.ctm.m11(), gs.ctm.m22(), inside.x(), inside.y(), quint64(gs.stroke.rgba64()),
                         gs.antialias};
    if (const RingStamp* stamp = impl_->StampFor(key)) {
        const QPoint to(int(pixel.x()) + stamp->origin.x(), int(pixel.y()) + stamp->origin.y());
        impl_->BlitStamp(stamp->image, to);
        return true;
    }
    const QPainterPath ring = RingPath(key);
    const QBrush brush(gs.stroke);
    impl_->PaintUnder(QTransform::fromTranslate(pixel.x(), pixel.y()), [&](QPainter& p) { p.fillPath(ring, brush); });
    return true;
}

void DrawContext::ClipToRect(const DrawRectF& r) { ClipToRects(&r, 1); }

void DrawContext::ClipToRects(const DrawRectF* rects, size_t count) {
    const QTransform& m = impl_->gs.ctm;
    const bool axisAligned = m.type() <= QTransform::TxScale;
    QRegion region;
    QPainterPath devPath;
    devPath.setFillRule(Qt::WindingFill);
    bool integral = axisAligned;
    std::vector<QRect> ints;
    ints.reserve(count);
    for (size_t i = 0; rects && i < count; i++) {
        const QRectF dev = m.mapRect(QRectF(rects[i].x, rects[i].y, rects[i].width, rects[i].height)).normalized();
        if (integral && Integral(dev.x()) && Integral(dev.y()) && Integral(dev.width()) && Integral(dev.height())) {
            if (!dev.isEmpty()) ints.push_back(dev.toRect());
        } else {
            integral = false;
        }
        QPainterPath u;
        u.addRect(QRectF(rects[i].x, rects[i].y, rects[i].width, rects[i].height));
        devPath.addPath(m.map(u));
    }
    if (integral) {
        region = RegionOf(ints);
        impl_->IntersectClip(&region, nullptr);
    } else {
        impl_->IntersectClip(nullptr, &devPath);
    }
}

void DrawContext::ClipToMask(const DrawImage& mask, const DrawRectF* source, const DrawRectF& rect) {
    const QImage& image = mask.impl().image;
    const QRectF src = source ? QRectF(source->x, source->y, source->width, source->height)
                              : QRectF(0, 0, image.width(), image.height());
    auto dev = std::make_shared<QImage>(impl_->size(), QImage::Format_Alpha8);
    dev->fill(0);
    {
        QPainter p(dev.get());
        p.setRenderHint(QPainter::SmoothPixmapTransform, impl_->gs.antialias);
        p.setWorldTransform(impl_->gs.ctm);
        p.drawImage(QRectF(rect.x, rect.y, rect.width, rect.height), CoverageOf(image), src);
        if (impl_->gs.mask) {
            p.resetTransform();
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.drawImage(0, 0, *impl_->gs.mask);
        }
    }
    impl_->gs.mask = std::move(dev);
}

void DrawContext::DrawImageIn(const DrawImage& image, const DrawRectF* source, const DrawRectF& dest) {
    const QImage& img = image.impl().image;
    const QRectF target(dest.x, dest.y, dest.width, dest.height);
    const QRectF src = source ? QRectF(source->x, source->y, source->width, source->height)
                              : QRectF(0, 0, img.width(), img.height());
    impl_->Paint(impl_->gs, [&](QPainter& p) { p.drawImage(target, img, src); });
}

void DrawContext::BeginTransparencyLayer() {
    auto layer = std::make_unique<Layer>();
    layer->image = QImage(impl_->size(), QImage::Format_ARGB32_Premultiplied);
    layer->image.fill(Qt::transparent);
    layer->painter = std::make_unique<QPainter>(&layer->image);
    layer->composite = impl_->gs;
    impl_->saved.push_back(impl_->gs);
    impl_->layers.push_back(std::move(layer));
    impl_->gs.alpha = 1.0;
    impl_->gs.blend = DrawBlend::kNormal;
    impl_->gs.hasClip = false;
    impl_->gs.mask.reset();
}

void DrawContext::EndTransparencyLayer() {
    if (impl_->layers.empty()) return;
    std::unique_ptr<Layer> layer = std::move(impl_->layers.back());
    impl_->layers.pop_back();
    layer->painter->end();
    RestoreState();
    GState s = layer->composite;
    s.ctm = QTransform();
    impl_->Paint(s, [&](QPainter& p) { p.drawImage(0, 0, layer->image); });
}

void DrawContext::Flush() {}

std::shared_ptr<DrawImage> DrawImage::FromPixels(const uint8_t* pixels, int width, int height,
                                                 int rowBytes, DrawPixelFormat format) {
    const int bytes = format == DrawPixelFormat::kGrey8 ? 1 : 4;
    if (!pixels || width <= 0 || height <= 0 || rowBytes < width * bytes) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->image = QImage(pixels, width, height, rowBytes,
                         format == DrawPixelFormat::kGrey8 ? QImage::Format_Grayscale8
                                                           : QImage::Format_ARGB32_Premultiplied)
                      .copy();
    if (impl->image.isNull()) return nullptr;
    return std::shared_ptr<DrawImage>(new DrawImage(std::move(impl)));
}

DrawImage::DrawImage(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
DrawImage::~DrawImage() = default;
int DrawImage::width() const { return impl_->image.width(); }
int DrawImage::height() const { return impl_->image.height(); }
DrawPixelFormat DrawImage::format() const {
    return impl_->image.format() == QImage::Format_Grayscale8 ? DrawPixelFormat::kGrey8 : DrawPixelFormat::kARGB32;
}
bool DrawImage::WritePNG(const std::string& path) const {
    return impl_->image.save(QString::fromStdString(path), "PNG");
}

const QImage& DrawImageQImage(const DrawImage& image) { return image.impl().image; }

bool DrawContextTextPlacement(DrawContext& ctx, TextPlacement* placement) {
    DrawContext::Impl& impl = DrawContextImpl(ctx);
    const QTransform& m = impl.gs.ctm;
    if (m.type() > QTransform::TxScale || !(m.m11() > 0 && m.m22() > 0) ||
        !(std::fabs(m.dx()) < 1e7 && std::fabs(m.dy()) < 1e7) || !impl.Stampable(impl.gs))
        return false;
    const double h = Floor(m.dx()), v = Floor(m.dy());
    *placement = {m.m11(), m.m22(), m.dx() - h, m.dy() - v, QPoint(int(h), int(v)), impl.gs.antialias};
    return true;
}

namespace {

// Lays glyph coverages down in a premultiplied colour at `pixel` plus their places, under the
// target's clip.
void BlendGlyphs(DrawContext::Impl& impl, QPoint pixel, const std::vector<PlacedCoverage>& glyphs, uint32_t color) {
    if (color == 0) return;
    QImage& image = impl.TargetImage();
    const QRect clip = impl.TargetClip();
    auto* bits = const_cast<uchar*>(image.constBits());
    const qsizetype stride = image.bytesPerLine();
#if defined(PLEXA_WIDE_BLEND)
    static const bool wide = __builtin_cpu_supports("avx2");
#endif
    const int clipLeft = clip.left(), clipTop = clip.top(), clipRight = clip.right() + 1, clipBottom = clip.bottom() + 1;
    for (const PlacedCoverage& placed : glyphs) {
        const GlyphCoverage& g = *placed.glyph;
        const int h = pixel.x() + placed.h + g.left, v = pixel.y() + placed.v + g.top;
        const int left = std::max(h, clipLeft), top = std::max(v, clipTop);
        const int right = std::min(h + g.width, clipRight), bottom = std::min(v + g.height, clipBottom);
        if (left >= right || top >= bottom) continue;
        // Whole rows of the coverage, padding included, where they fit inside the clip.
        const int n = left == h && h + g.stride <= clipRight ? g.stride : right - left;
        const uint8_t* from = g.cover.data() + size_t(top - v) * size_t(g.stride) + size_t(left - h);
        auto* row = reinterpret_cast<uint32_t*>(bits + top * stride) + left;
        for (int y = top; y < bottom; y++, from += g.stride, row += stride / 4) {
#if defined(PLEXA_WIDE_BLEND)
            if (wide && n >= 8) {
                BlendCoverageRowWide(row, from, n, color);
                continue;
            }
#endif
            BlendCoverageRow(row, from, n, color);
        }
    }
}

}  // namespace

void DrawContextBlendCoverage(DrawContext& ctx, QPoint pixel, const std::vector<PlacedCoverage>& glyphs) {
    DrawContext::Impl& impl = DrawContextImpl(ctx);
    const uint32_t color = qPremultiply(impl.gs.fill.rgba64()).toArgb32();
    QPoint move;
    if (DrawCapture* c = impl.CaptureFor(&move)) {
        CapturedOp op;
        op.kind = CapturedOp::kGlyphs;
        op.color = color;
        op.at = pixel - move;
        op.glyphs = glyphs;
        c->ops.push_back(std::move(op));
    }
    BlendGlyphs(impl, pixel, glyphs, color);
}

void DrawContext::BeginCapture() {
    if (impl_->capture) {
        impl_->captureFailed = true;
        return;
    }
    impl_->capture = std::make_unique<DrawCapture>();
    const QTransform& m = impl_->gs.ctm;
    impl_->captureFailed = m.type() > QTransform::TxTranslate || !Integral(m.dx()) || !Integral(m.dy()) ||
                           !(std::fabs(m.dx()) < 1e7 && std::fabs(m.dy()) < 1e7);
    impl_->captureTransform = m;
    impl_->captureMove = impl_->captureFailed ? QPoint() : QPoint(int(m.dx()), int(m.dy()));
    impl_->captureHasClip = impl_->gs.hasClip;
    impl_->captureClip = impl_->gs.hasClip && impl_->gs.clipIsRegion ? impl_->gs.clipRegion : QRegion();
}

std::shared_ptr<const DrawCapture> DrawContext::EndCapture() {
    std::unique_ptr<DrawCapture> capture = std::move(impl_->capture);
    const bool failed = std::exchange(impl_->captureFailed, false) || impl_->gs.ctm != impl_->captureTransform;
    impl_->captureClip = QRegion();
    if (!capture || failed) return nullptr;
    for (const CapturedOp& op : capture->ops) {
        switch (op.kind) {
            case CapturedOp::kBars:
                for (int i = 0; i < op.barCount; i++) capture->bounds |= capture->bars[size_t(op.firstBar + i)].pixels;
                break;
            case CapturedOp::kStamp: capture->bounds |= QRect(op.at, op.stamp.size()); break;
            case CapturedOp::kGlyphs:
                for (const PlacedCoverage& g : op.glyphs)
                    capture->bounds |= QRect(op.at.x() + g.h + g.glyph->left, op.at.y() + g.v + g.glyph->top,
                                             g.glyph->width, g.glyph->height);
                break;
        }
    }
    return std::shared_ptr<const DrawCapture>(std::move(capture));
}

bool DrawContext::CanPlayCaptures() const {
    const Impl& impl = *impl_;
    const QTransform& m = impl.gs.ctm;
    return impl.layers.empty() && m.type() <= QTransform::TxTranslate && Integral(m.dx()) && Integral(m.dy()) &&
           impl.Stampable(impl.gs);
}

bool DrawContext::PlayCapture(const DrawCapture& capture, int dx, int dy) {
    Impl& impl = *impl_;
    const QTransform& m = impl.gs.ctm;
    if (impl.capture || !CanPlayCaptures()) return false;
    const QPoint move(int(m.dx()) + dx, int(m.dy()) + dy);
    impl.playClip = impl.TargetClip();
    impl.playing = true;
    for (const CapturedOp& op : capture.ops) {
        switch (op.kind) {
            case CapturedOp::kBars: impl.PaintBars(capture.bars.data() + op.firstBar, op.barCount, op.color, move); break;
            case CapturedOp::kStamp: impl.BlitStamp(op.stamp, op.at + move); break;
            case CapturedOp::kGlyphs: BlendGlyphs(impl, op.at + move, op.glyphs, op.color); break;
        }
    }
    impl.playing = false;
    return true;
}

size_t DrawContext::CaptureSize(const DrawCapture& capture) { return capture.ops.size(); }

void DrawContext::CaptureBounds(const DrawCapture& capture, int* left, int* top, int* right, int* bottom) {
    const QRect& b = capture.bounds;
    const bool none = b.isEmpty();
    *left = none ? 0 : b.left();
    *top = none ? 0 : b.top();
    *right = none ? 0 : b.right() + 1;
    *bottom = none ? 0 : b.bottom() + 1;
}

void DrawContextPaintText(DrawContext& ctx, const std::function<void(QPainter&)>& draw) {
    DrawContext::Impl& impl = DrawContextImpl(ctx);
    impl.Paint(impl.gs, [&](QPainter& p) {
        p.setPen(impl.gs.fill);
        draw(p);
    });
}

}  // namespace plexa
