// Fonts and one-line layout over QFont, QFontMetricsF and QTextLayout. Fonts are sized in
// pixels and unhinted, so that widths and heights are the font's own and the same on every
// screen. Text that is neither turned nor mirrored is drawn through the painter's glyph cache;
// other text as its glyph outlines, so that it follows any transform like a filled path. The
// outline of a glyph is made once per font, size and glyph and kept.
#include "platform/text_layout.h"

#include "platform/app_platform.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QPainter>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "platform/app_platform.h"
#include "platform/draw_context.h"
#include "platform/draw_context_qt.h"

namespace plexa {

namespace {

// Subpath polygons are flattened at this multiple of the user scale, so that curves stay
// smooth when the text is scaled up.
constexpr double kFlattenScale = 8.0;

QString ToQString(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
QString ToQString(std::u16string_view s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), qsizetype(s.size()));
}
std::u16string ToU16(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

// Glyph outlines by font, size and glyph. Outlines cost a font's hinting program every time
// they are made, and a label redraws the same few glyphs again and again.
struct GlyphFontKey {
    QString family, style;
    double pixelSize;
    int weight, italic;
    bool operator==(const GlyphFontKey& o) const {
        return pixelSize == o.pixelSize && weight == o.weight && italic == o.italic &&
               family == o.family && style == o.style;
    }
};
size_t qHash(const GlyphFontKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.family, k.style, k.pixelSize, k.weight, k.italic);
}

// Enough for the glyphs of many fonts and sizes; past it the cache starts again.
constexpr qsizetype kGlyphCacheLimit = 50000;

class GlyphOutlines {
public:
    // The glyphs of a font, to be looked up while the cache does not change.
    QHash<quint32, QPainterPath>& Of(const QRawFont& font) {
        if (count_ > kGlyphCacheLimit) {
            fonts_.clear();
            count_ = 0;
        }
        return fonts_[GlyphFontKey{font.familyName(), font.styleName(), font.pixelSize(),
                                   font.weight(), int(font.style())}];
    }
    const QPainterPath& Outline(QHash<quint32, QPainterPath>& glyphs, const QRawFont& font,
                                quint32 glyph) {
        auto it = glyphs.find(glyph);
        if (it == glyphs.end()) {
            it = glyphs.insert(glyph, font.pathForGlyph(glyph));
            count_++;
        }
        return *it;
    }

private:
    QHash<GlyphFontKey, QHash<quint32, QPainterPath>> fonts_;
    qsizetype count_ = 0;
};

GlyphOutlines& Outlines() {
    static GlyphOutlines* outlines = new GlyphOutlines;  // the fonts may be gone at exit
    return *outlines;
}

// Point sizes of the desktop's own fonts as pixels at the usual 96 per inch.
double PixelSizeOf(const QFont& font) {
    if (font.pixelSize() > 0) return font.pixelSize();
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    return std::round(points * 96.0 / 72.0);
}

}  // namespace

// ---- Session ----

struct TextPlatformSession::Impl {};

// The one application object of the platform layer serves text too; it stays until exit.
TextPlatformSession::TextPlatformSession() : impl_(std::make_unique<Impl>()) {
    if (QGuiApplication::instance()) return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static char name[] = "plexa";
    static char* argv[] = {name, nullptr};
    (void)PlatformEnsureApplication(1, argv);  // only another application object refuses
}

TextPlatformSession::~TextPlatformSession() = default;

// ---- Fonts ----

struct TextFont {
    int refs = 1;
    QFont font;
    std::string family;
    double size = 0;
    bool bold = false, italic = false;
    uint32_t identity = 0;
};

namespace {

// The number of a font's family, size and traits: equal for fonts made alike, never reused.
uint32_t FontIdentity(const TextFont& f) {
    static auto* known = new QHash<QString, uint32_t>;
    const QString key = QString::fromStdString(f.family) + QChar(0) + QString::number(f.size, 'g', 17) +
                        QChar(f.bold ? u'b' : u'-') + QChar(f.italic ? u'i' : u'-');
    auto it = known->find(key);
    if (it == known->end()) it = known->insert(key, uint32_t(known->size() + 1));
    return *it;
}

}  // namespace

namespace {

// Fonts made, by family, size and traits: a view that sets its style's font for every text it
// draws takes the same font again instead of resolving it anew. Each kept font holds one
// reference; past the limit the cache lets go of all of them. Never destroyed (fonts must not
// outlive the application object at exit).
struct FontKey {
    std::string family;
    double size;
    bool bold, italic;
    bool operator==(const FontKey&) const = default;
};
struct FontKeyHash {
    size_t operator()(const FontKey& k) const {
        return std::hash<std::string>()(k.family) ^ (std::hash<double>()(k.size) << 2) ^ (k.bold ? 0x55 : 0) ^
               (k.italic ? 0xAA00 : 0);
    }
};
constexpr size_t kFontsKept = 256;

std::unordered_map<FontKey, TextFont*, FontKeyHash>& MadeFonts() {
    static auto* fonts = new std::unordered_map<FontKey, TextFont*, FontKeyHash>;
    return *fonts;
}

TextFont* MakeFont(std::string_view family, double size, bool bold, bool italic);

}  // namespace

TextFont* TextFontCreate(std::string_view family, double size, bool bold, bool italic) {
    auto& fonts = MadeFonts();
    FontKey key{std::string(family), size, bold, italic};
    if (auto found = fonts.find(key); found != fonts.end()) return TextFontRetain(found->second);
    if (fonts.size() >= kFontsKept) {
        for (auto& [k, font] : fonts) TextFontRelease(font);
        fonts.clear();
    }
    TextFont* font = MakeFont(family, size, bold, italic);
    fonts.emplace(std::move(key), TextFontRetain(font));
    return font;
}

namespace {

TextFont* MakeFont(std::string_view family, double size, bool bold, bool italic) {
    auto* f = new TextFont;
    f->family = std::string(family);
    f->size = std::isfinite(size) && size >= 1 ? size : 1;
    f->bold = bold;
    f->italic = italic;
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!family.empty()) font.setFamilies({ToQString(family)});  // the name as it is, unparsed
    font.setPixelSize(std::max(1, int(std::lround(std::min(f->size, 32767.0)))));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    font.setFeature("liga", 0);
#endif
    f->font = font;
    f->identity = FontIdentity(*f);
    return f;
}

}  // namespace

uint32_t TextFontIdentity(const TextFont* font) { return font ? font->identity : 0; }

TextFont* TextFontRetain(TextFont* font) {
    if (font) font->refs++;
    return font;
}

void TextFontRelease(TextFont* font) {
    if (font && --font->refs == 0) delete font;
}

TextFontInfo TextFontDescribe(const TextFont* font) {
    if (!font) return {};
    return {font->family, QFontInfo(font->font).family().toStdString(), font->size, font->bold,
            font->italic};
}

TextFontHeights TextFontMetrics(const TextFont* font) {
    const QFontMetricsF m(font ? font->font : QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    return {m.ascent(), m.descent(), m.leading(), m.averageCharWidth()};
}

std::vector<std::string> TextFontFamilies() {
    QStringList families;
    for (const QString& family : QFontDatabase::families())
        if (!QFontDatabase::isPrivateFamily(family)) families.push_back(family);
    std::stable_sort(families.begin(), families.end(), [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded()) < 0;
    });
    std::vector<std::string> out;
    out.reserve(size_t(families.size()));
    for (const QString& family : families) out.push_back(family.toStdString());
    return out;
}

bool TextNamesEqualIgnoringCase(std::string_view a, std::string_view b) {
    return QString::compare(ToQString(a), ToQString(b), Qt::CaseInsensitive) == 0;
}

TextPlatformFontSizes TextGetPlatformFontSizes() {
    TextPlatformFontSizes out{};
    if (!QGuiApplication::instance()) return out;
    // The general font as the platform's settings name it, not yet matched to an installed one.
    const QFont general = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    out.known = true;
    out.userSize = PixelSizeOf(general);
    out.systemSize = out.userSize;
    out.smallSystemSize = std::max(8.0, std::round(out.systemSize * 11.0 / 13.0));
    return out;
}

TextPlatformFonts TextGetPlatformFonts() {
    const QFont general = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const TextPlatformFontSizes sizes = TextGetPlatformFontSizes();
    TextPlatformFonts out;
    out.userFamily = QFontInfo(general).family().toStdString();
    out.fixedFamily = QFontInfo(fixed).family().toStdString();
    out.systemFamily = out.userFamily;
    out.userSize = sizes.userSize;
    out.systemSize = sizes.systemSize;
    out.smallSystemSize = sizes.smallSystemSize;
    return out;
}

std::u16string TextDecodeUTF8(std::string_view bytes) { return ToU16(ToQString(bytes)); }

// ---- Lines ----

struct TextLine::Impl {
    std::u16string text;
    std::unique_ptr<QTextLayout> layout;
    QTextLine line;
    // Character starts and the text's end, and their positions; made when first asked for.
    bool measured = false;
    std::vector<int> starts;
    std::vector<double> offsets;
    // The glyph runs, made at the first drawing.
    bool ran = false;
    QList<QGlyphRun> runs;
    // Glyph outlines flattened at kFlattenScale, made at the first drawing as outlines.
    bool outlined = false;
    QList<QPolygonF> polygons;

    void Measure() {
        measured = true;
        const int length = int(text.size());
        int pos = 0;
        starts.push_back(0);
        while (pos < length) {
            int next = layout->nextCursorPosition(pos, QTextLayout::SkipCharacters);
            if (next <= pos) next = pos + 1;
            pos = std::min(next, length);
            starts.push_back(pos);
        }
        for (int start : starts) offsets.push_back(line.isValid() ? line.cursorToX(start) : 0.0);
    }

    const QList<QGlyphRun>& Runs() {
        if (!ran && line.isValid()) runs = line.glyphRuns();
        ran = true;
        return runs;
    }

    double Baseline() const { return line.y() + line.ascent(); }

    // The glyph outlines of the line as one path, the baseline's start at (0, 0).
    bool outlinedPath = false;
    QPainterPath outlinePath;

    const QPainterPath& OutlinePath() {
        if (outlinedPath) return outlinePath;
        outlinedPath = true;
        outlinePath.setFillRule(Qt::WindingFill);
        if (!line.isValid()) return outlinePath;
        const double baseline = Baseline();
        GlyphOutlines& cache = Outlines();
        for (const QGlyphRun& run : Runs()) {
            const QRawFont raw = run.rawFont();
            QHash<quint32, QPainterPath>& font = cache.Of(raw);
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); i++) {
                QPainterPath glyph = cache.Outline(font, raw, glyphs[i]);
                glyph.translate(positions[i].x(), positions[i].y() - baseline);
                outlinePath.addPath(glyph);
            }
        }
        return outlinePath;
    }

    void Outline() {
        outlined = true;
        polygons = OutlinePath().toSubpathPolygons(QTransform::fromScale(kFlattenScale, kFlattenScale));
    }
};

TextLine::TextLine(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextLine::~TextLine() = default;

std::unique_ptr<TextLine> TextLine::Create(const TextFont* font, std::u16string_view text) {
    auto impl = std::make_unique<Impl>();
    impl->text = std::u16string(text);
    const QString qtext = ToQString(text);
    impl->layout = std::make_unique<QTextLayout>(
        qtext, font ? font->font : QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    impl->layout->setTextOption(option);
    impl->layout->setCacheEnabled(true);
    impl->layout->beginLayout();
    impl->line = impl->layout->createLine();
    if (impl->line.isValid()) {
        impl->line.setLineWidth(1e7);
        impl->line.setPosition(QPointF(0, 0));
    }
    impl->layout->endLayout();
    return std::unique_ptr<TextLine>(new TextLine(std::move(impl)));
}

std::u16string_view TextLine::text() const { return impl_->text; }
double TextLine::width() const { return impl_->line.isValid() ? impl_->line.horizontalAdvance() : 0.0; }
double TextLine::ascent() const { return impl_->line.isValid() ? impl_->line.ascent() : 0.0; }
double TextLine::descent() const { return impl_->line.isValid() ? impl_->line.descent() : 0.0; }
double TextLine::leading() const { return impl_->line.isValid() ? impl_->line.leading() : 0.0; }

size_t TextLine::characterCount() const {
    if (!impl_->measured) impl_->Measure();
    return impl_->starts.size() - 1;
}

double TextLine::characterOffset(size_t i) const {
    if (!impl_->measured) impl_->Measure();
    return i < impl_->offsets.size() ? impl_->offsets[i] : impl_->offsets.back();
}

size_t TextLine::characterStart(size_t i) const {
    if (!impl_->measured) impl_->Measure();
    return size_t(i < impl_->starts.size() ? impl_->starts[i] : impl_->starts.back());
}

size_t TextLine::characterAt(double x) const {
    if (!impl_->line.isValid() || !std::isfinite(x)) return 0;
    if (!impl_->measured) impl_->Measure();
    const int cursor = impl_->line.xToCursor(x, QTextLine::CursorBetweenCharacters);
    const auto& s = impl_->starts;
    const auto it = std::upper_bound(s.begin(), s.end(), cursor);
    return it == s.begin() ? 0 : size_t(it - s.begin() - 1);
}

namespace {

// Glyph runs placed with the baseline's start at (0, baseline), drawn through the painter's
// glyph cache with the baseline's start at (x, y).
void DrawRuns(DrawContext& ctx, const QList<QGlyphRun>& runs, double baseline, double x, double y) {
    if (runs.isEmpty()) return;
    const QPointF origin(x, y - baseline);
    DrawContextPaintText(ctx, [&](QPainter& p) {
        for (const QGlyphRun& run : runs) p.drawGlyphRun(origin, run);
    });
}

}  // namespace

namespace {

// Glyph coverages by font, glyph, scales, place inside a pixel and anti-aliasing, each learnt
// once from the painter by drawing the glyph alone. A line drawn at the same scale and place
// inside a pixel draws the same glyphs at the same places again and again. Never destroyed, as
// the outlines.
struct CoverageKey {
    GlyphFontKey font;
    quint32 glyph;
    double sx, sy, fx, fy;
    bool antialias;
    bool operator==(const CoverageKey& o) const {
        return glyph == o.glyph && sx == o.sx && sy == o.sy && fx == o.fx && fy == o.fy &&
               antialias == o.antialias && font == o.font;
    }
};
size_t qHash(const CoverageKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.font, k.glyph, k.sx, k.sy, k.fx, k.fy, k.antialias);
}

// Glyphs larger than this (in device pixels) are left to the painter.
constexpr double kCoverageMostPixels = 160;

class GlyphCoverages {
public:
    // The coverage of the glyph scaled by (sx, sy) and placed at (fx, fy), both in [0, 1), from
    // the pixel (0, 0).
    std::shared_ptr<const GlyphCoverage> Of(const QRawFont& font, const CoverageKey& key) {
        if (auto it = known_.find(key); it != known_.end()) return *it;
        if (known_.size() > kGlyphCacheLimit) known_.clear();
        return *known_.insert(key, Learn(font, key));
    }

private:
    static std::shared_ptr<const GlyphCoverage> Learn(const QRawFont& font, const CoverageKey& k) {
        const int margin = int(std::ceil(font.pixelSize() * std::max(k.sx, k.sy))) * 2 + 8;
        QImage scratch(2 * margin, 2 * margin, QImage::Format_ARGB32_Premultiplied);
        scratch.fill(Qt::transparent);
        {
            QGlyphRun alone;
            alone.setRawFont(font);
            alone.setGlyphIndexes({k.glyph});
            alone.setPositions({QPointF(0, 0)});
            QPainter p(&scratch);
            p.setRenderHint(QPainter::Antialiasing, k.antialias);
            p.setRenderHint(QPainter::SmoothPixmapTransform, k.antialias);
            p.setWorldTransform(QTransform(k.sx, 0, 0, k.sy, margin + k.fx, margin + k.fy));
            p.setPen(QColor(0, 0, 0));
            p.drawGlyphRun(QPointF(0, 0), alone);
        }
        int left = scratch.width(), top = scratch.height(), right = -1, bottom = -1;
        for (int y = 0; y < scratch.height(); y++) {
            const auto* row = reinterpret_cast<const uint32_t*>(scratch.constScanLine(y));
            for (int x = 0; x < scratch.width(); x++)
                if (row[x]) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        }
        auto out = std::make_shared<GlyphCoverage>();
        if (right < 0) return out;
        out->width = right - left + 1;
        out->height = bottom - top + 1;
        out->left = left - margin;
        out->top = top - margin;
        out->stride = (out->width + 3) / 4 * 4;
        out->cover.assign(size_t(out->stride) * size_t(out->height), 0);
        for (int y = top; y <= bottom; y++) {
            const auto* row = reinterpret_cast<const uint32_t*>(scratch.constScanLine(y));
            for (int x = left; x <= right; x++)
                out->cover[size_t(y - top) * size_t(out->stride) + size_t(x - left)] = uint8_t(qAlpha(row[x]));
        }
        return out;
    }

    QHash<CoverageKey, std::shared_ptr<const GlyphCoverage>> known_;
};

GlyphCoverages& Coverages() {
    static GlyphCoverages* coverages = new GlyphCoverages;
    return *coverages;
}

}  // namespace

struct TextGlyphs::Impl {
    QList<QGlyphRun> runs;
    double baseline = 0, width = 0;
    // The glyphs laid down straight into the pixels: their coverages and places, made for one
    // origin and placement at the first such drawing; `direct` false when the runs cannot be
    // drawn so.
    mutable bool placed = false, direct = false;
    mutable QPointF placedOrigin;
    mutable TextPlacement placement;
    mutable std::vector<PlacedCoverage> coverages;

    // The glyph coverages and places of the runs drawn from `origin`: a glyph that the placement
    // puts at p lands in the pixel floor(p), at p's place inside it.
    void Place(const QPointF& origin, const TextPlacement& where) const {
        placed = true;
        placedOrigin = origin;
        placement = where;
        coverages.clear();
        direct = false;
        const QTransform local(where.sx, 0, 0, where.sy, where.fx, where.fy);
        GlyphCoverages& known = Coverages();
        for (const QGlyphRun& run : runs) {
            const QRawFont raw = run.rawFont();
            if (run.overline() || run.underline() || run.strikeOut() || !raw.isValid() ||
                !(raw.pixelSize() * std::max(where.sx, where.sy) <= kCoverageMostPixels))
                return;
            CoverageKey key{{raw.familyName(), raw.styleName(), raw.pixelSize(), raw.weight(), int(raw.style())},
                            0, where.sx, where.sy, 0, 0, where.antialias};
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            if (glyphs.size() != positions.size()) return;
            for (qsizetype i = 0; i < glyphs.size(); i++) {
                const QPointF user = origin + positions[i];
                if (!(user.x() >= 0 && user.y() >= 0)) return;  // the painter rounds these toward 0
                const QPointF p = local.map(user);
                if (!(p.x() < 1e6 && p.y() < 1e6)) return;
                const double h = std::floor(p.x()), v = std::floor(p.y());
                key.glyph = glyphs[i];
                key.fx = p.x() - h;
                key.fy = p.y() - v;
                auto coverage = known.Of(raw, key);
                if (coverage->width > 0) coverages.push_back({std::move(coverage), int(h), int(v)});
            }
        }
        direct = true;
    }
};

TextGlyphs::TextGlyphs(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextGlyphs::~TextGlyphs() = default;
double TextGlyphs::width() const { return impl_->width; }

void TextGlyphs::Draw(DrawContext& ctx, double x, double y) const {
    if (impl_->runs.isEmpty()) return;
    const QPointF origin(x, y - impl_->baseline);
    TextPlacement where;
    if (DrawContextTextPlacement(ctx, &where)) {
        if (!impl_->placed || impl_->placedOrigin.x() != origin.x() || impl_->placedOrigin.y() != origin.y() ||
            !(impl_->placement == where))
            impl_->Place(origin, where);
        if (impl_->direct) return DrawContextBlendCoverage(ctx, where.pixel, impl_->coverages);
    }
    DrawContextPaintText(ctx, [&](QPainter& p) {
        for (const QGlyphRun& run : impl_->runs) p.drawGlyphRun(origin, run);
    });
}

void TextLine::Draw(DrawContext& ctx, double x, double y) const {
    DrawRuns(ctx, impl_->Runs(), impl_->Baseline(), x, y);
}

std::shared_ptr<const TextGlyphs> TextLine::Glyphs() const {
    auto glyphs = std::make_unique<TextGlyphs::Impl>();
    glyphs->runs = impl_->Runs();
    glyphs->baseline = impl_->line.isValid() ? impl_->Baseline() : 0.0;
    glyphs->width = width();
    return std::shared_ptr<const TextGlyphs>(new TextGlyphs(std::move(glyphs)));
}

void TextLine::Fill(DrawContext& ctx, double x, double y) const {
    const QPainterPath& outlines = impl_->OutlinePath();
    if (outlines.isEmpty()) return;
    DrawContextPaintText(ctx, [&](QPainter& p) {
        const QBrush brush(p.pen().color());
        if (x == 0 && y == 0) p.fillPath(outlines, brush);
        else p.fillPath(outlines.translated(x, y), brush);
    });
}

void TextLine::AddToPath(DrawContext& ctx, double x, double y) const {
    if (!impl_->outlined) impl_->Outline();
    for (const QPolygonF& polygon : impl_->polygons) {
        if (polygon.size() < 3) continue;
        ctx.MoveTo(x + polygon[0].x() / kFlattenScale, y + polygon[0].y() / kFlattenScale);
        for (qsizetype i = 1; i < polygon.size(); i++)
            ctx.LineTo(x + polygon[i].x() / kFlattenScale, y + polygon[i].y() / kFlattenScale);
        ctx.ClosePath();
    }
}

}  // namespace plexa
