// Text of the QZ renderer over the platform's one-line layout. Text drawn neither turned nor
// mirrored keeps its placed glyphs by its bytes and attributes, so that a window drawing the
// same labels again does not lay them out again.
#include "graphics/render_text.h"

#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/render.h"
#include "platform/draw_context.h"

namespace plexa {

namespace {

constexpr int32_t kCacheLimit = 360;  // texts of this many bytes or more are not cached
constexpr uint32_t kSelectFore = 0x000, kSelectStroke = 0x100, kSelectFill = 0x200;

struct LineCache {
    CTLineRef line;
    int32_t count = 0;
    uint32_t encoding = 0;
    QZTextAttributes attributes{};
    std::vector<uint8_t> bytes;
};

// Never destroyed: the cached line belongs to the platform's fonts, which may be gone when
// statics are torn down.
LineCache& Cache() {
    static LineCache* cache = new LineCache;
    return *cache;
}

// Placed glyphs of texts drawn, by font, colour rule, encoding and bytes. Past the limit it
// starts again. Never destroyed, as the line cache. The texts of each font, colour rule and
// encoding are kept apart, so that the key of a label's text is its bytes alone, which a short
// label keeps inside the key itself.
class DrawnTexts {
public:
    // The glyphs kept for the text, valid until the next Add or Clear; null when none are.
    const TextGlyphs* Find(const QZTextAttributes& a, uint32_t encoding, const uint8_t* bytes, int32_t count) {
        Texts* texts = TextsOf(a, encoding, false);
        if (!texts) return nullptr;
        const auto it = texts->find(std::string_view(reinterpret_cast<const char*>(bytes), size_t(count)));
        return it == texts->end() ? nullptr : it->second.get();
    }
    // Keeps the glyphs for the text and returns them, valid as Find's.
    const TextGlyphs* Add(const QZTextAttributes& a, uint32_t encoding, const uint8_t* bytes, int32_t count,
                          std::shared_ptr<const TextGlyphs> glyphs) {
        if (kept_ >= kLimit || families_.size() >= kFamilies) Clear();
        Texts& texts = *TextsOf(a, encoding, true);
        const auto [it, added] =
            texts.emplace(std::string(reinterpret_cast<const char*>(bytes), size_t(count)), std::move(glyphs));
        kept_ += added;
        return it->second.get();
    }
    void Clear() {
        families_.clear();
        last_ = 0;
        kept_ = 0;
    }

private:
    static constexpr size_t kLimit = 65536;  // a sheet holds at most 65,535 symbols
    static constexpr size_t kFamilies = 256;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    using Texts = std::unordered_map<std::string, std::shared_ptr<const TextGlyphs>, Hash, std::equal_to<>>;
    // Attributes of the same font and colour rule draw alike, whenever they were made.
    struct Family {
        uint32_t font, colorFromContext, encoding;
        Texts texts;
    };
    // The texts of the attributes' font and colour rule in the encoding; null when there are
    // none and `make` is false.
    Texts* TextsOf(const QZTextAttributes& a, uint32_t encoding, bool make) {
        const uint32_t font = TextFontIdentity(a.dict->font), color = uint32_t(a.dict->colorFromContext);
        auto same = [&](const Family& f) { return f.font == font && f.colorFromContext == color && f.encoding == encoding; };
        if (last_ < families_.size() && same(families_[last_])) return &families_[last_].texts;
        for (size_t i = 0; i < families_.size(); i++)
            if (same(families_[i])) return &families_[last_ = i].texts;
        if (!make) return nullptr;
        families_.push_back({font, color, encoding, {}});
        last_ = families_.size() - 1;
        return &families_.back().texts;
    }
    std::deque<Family> families_;
    size_t last_ = 0, kept_ = 0;
};

DrawnTexts& Drawn() {
    static DrawnTexts* drawn = new DrawnTexts;
    return *drawn;
}

int32_t TerminatedLength(const uint8_t* text, uint32_t encoding) {
    size_t n = 0;
    if (encoding == kEncodingUTF16LE) {
        while (text[n] | text[n + 1]) n += 2;
    } else {
        n = std::strlen(reinterpret_cast<const char*>(text));
    }
    return n > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(n);
}

// Tolerant decoding: a NUL becomes U+FFFD, and bytes the encoding cannot take are decoded
// as UTF-8 with replacement characters rather than dropping the text.
std::u16string Decode(const uint8_t* text, size_t count, uint32_t encoding) {
    std::u16string out;
    if (encoding == kEncodingUTF16LE) {
        out.reserve(count / 2);
        for (size_t i = 0; i + 2 <= count; i += 2) {
            const char16_t u = char16_t(text[i] | (text[i + 1] << 8));
            out.push_back(u == 0 ? u'\uFFFD' : u);
        }
        return out;
    }
    size_t start = 0;
    while (start <= count) {
        size_t end = start;
        while (end < count && text[end] != 0) end++;
        const std::string part(reinterpret_cast<const char*>(text + start), end - start);
        std::u16string decoded;
        if (encoding != kEncodingUTF8 && !part.empty()) decoded = TempCFStringUsing(part.c_str(), encoding);
        if (decoded.empty()) decoded = TextDecodeUTF8(part);
        out += decoded;
        if (end == count) break;
        out.push_back(u'\uFFFD');
        start = end + 1;
    }
    return out;
}

double Ratio(int32_t numerator, int32_t denominator) {
    return numerator != denominator && denominator != 0 ? double(numerator) / double(denominator) : 1.0;
}

int32_t Mod360(int32_t degrees) {
    const int32_t r = degrees % 360;
    return r < 0 ? r + 360 : r;
}

}  // namespace

TextAttributeDict* TextAttributesCreate(TextFont* font, bool colorFromContext) {
    if (!font) return nullptr;
    return new TextAttributeDict{1, TextFontRetain(font), colorFromContext};
}

TextAttributeDict* TextAttributesRetain(TextAttributeDict* dict) {
    if (dict) dict->refs++;
    return dict;
}

void TextAttributesRelease(TextAttributeDict* dict) {
    if (!dict || --dict->refs > 0) return;
    TextFontRelease(dict->font);
    delete dict;
}

CTLineRef CTLineFromText(const void* text, int32_t count, uint32_t encoding,
                         const QZTextAttributes& attributes) {
    const auto* bytes = static_cast<const uint8_t*>(text);
    if (!bytes) count = 0;
    else if (count < 0) count = TerminatedLength(bytes, encoding);
    LineCache& cache = Cache();
    if (cache.line && cache.count == count && cache.encoding == encoding &&
        cache.attributes.dict == attributes.dict &&
        cache.attributes.generation == attributes.generation &&
        std::memcmp(cache.bytes.data(), bytes, size_t(count)) == 0)
        return cache.line;
    cache.line.reset();
    cache.bytes.clear();
    if (count == 0 || !attributes.dict) return nullptr;

    CTLineRef line = TextLine::Create(attributes.dict->font, Decode(bytes, size_t(count), encoding));
    if (count < kCacheLimit) {
        cache.line = line;
        cache.count = count;
        cache.encoding = encoding;
        cache.attributes = attributes;
        cache.bytes.assign(bytes, bytes + count);
    }
    return line;
}

void QZFlushTextCache() {
    Cache().line.reset();
    Cache().bytes.clear();
    Drawn().Clear();
}

namespace {

int32_t ScaledWidth(double width, int32_t numerator, int32_t denominator) {
    const double w = width * Ratio(numerator, denominator);
    return std::isfinite(w) && std::fabs(w) < 2e9 ? int32_t(std::lround(w)) : 0;
}

// The placed glyphs of a text, kept from an earlier drawing or laid out now, valid until texts
// are laid out again; null for an empty text or attributes without a dictionary.
const TextGlyphs* GlyphsOf(const void* text, int32_t count, uint32_t encoding, const QZTextAttributes& attributes) {
    const auto* bytes = static_cast<const uint8_t*>(text);
    if (!bytes) count = 0;
    else if (count < 0) count = TerminatedLength(bytes, encoding);
    if (count == 0 || !attributes.dict) return nullptr;
    DrawnTexts& drawn = Drawn();
    if (auto glyphs = drawn.Find(attributes, encoding, bytes, count)) return glyphs;
    const CTLineRef line = CTLineFromText(text, count, encoding, attributes);
    if (!line) return nullptr;
    return drawn.Add(attributes, encoding, bytes, count, line->Glyphs());
}

}  // namespace

int32_t MeasureCTLine(const TextLine* line, int32_t numerator, int32_t denominator) {
    return line ? ScaledWidth(line->width(), numerator, denominator) : 0;
}

int32_t QZMeasureText(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                      int32_t count, int32_t numerator, int32_t denominator) {
    const CTLineRef line = CTLineFromText(text, count, encoding, attributes);
    return MeasureCTLine(line.get(), numerator, denominator);
}

void QZDrawText(QZPort* port, const QZTextAttributes& attributes, uint32_t encoding,
                const void* text, int32_t count, int32_t rotation, bool mirror,
                int32_t numerator, int32_t denominator) {
    DrawContext* ctx = port ? GetRenderingContext(port) : nullptr;
    if (!ctx) return;
    // Text that is neither turned nor mirrored goes through the glyph cache, the rest as outlines.
    const bool flat = rotation == 0 && !mirror;
    const TextGlyphs* glyphs = flat ? GlyphsOf(text, count, encoding, attributes) : nullptr;
    const CTLineRef line = flat ? nullptr : CTLineFromText(text, count, encoding, attributes);
    if (!glyphs && !line) return;

    QZSelectColor(port, kSelectFore | kSelectStroke | kSelectFill);
    ctx->SaveState();
    if (!attributes.dict->colorFromContext) ctx->SetFillColor({0, 0, 0, 1});
    ctx->Translate(port->pen.h, port->pen.v);
    if (mirror) ctx->Scale(-1, 1);
    if (rotation != 0) {
        const int32_t a = mirror ? rotation : -rotation;
        ctx->Rotate(QZRotationRadians(Mod360(-a) * 10));
    }
    const double scale = Ratio(numerator, denominator);
    if (scale != 1.0) ctx->Scale(scale, scale);
    if (glyphs) glyphs->Draw(*ctx, 0, 0);
    else line->Fill(*ctx, 0, 0);
    ctx->RestoreState();

    const int32_t w = ScaledWidth(glyphs ? glyphs->width() : line->width(), numerator, denominator);
    const int32_t advance = mirror ? -w : w;
    _LPNT& pen = port->pen;
    switch (rotation) {
        case 0: pen.h += advance; break;
        case 90: pen.v += advance; break;
        case 180: pen.h -= advance; break;
        case 270: pen.v -= advance; break;
        default: {
            const _LPNT centre = pen;
            _LPNT p{centre.v, centre.h + advance};
            VXLRotatePointTenthDegrees(&p, &centre, Mod360(rotation) * 10);
            pen = p;
        }
    }
}

int32_t QZGetFontHeights(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                         int32_t count, int16_t* ascent, int16_t* descent, int16_t* leading) {
    int16_t a = 0, d = 0, l = 0;
    int32_t height = 0;
    if (const CTLineRef line = CTLineFromText(text, count, encoding, attributes)) {
        const double ra = std::floor(line->ascent() + 0.5), rd = std::floor(line->descent() + 0.5);
        double lead = line->leading();
        if (lead < 0.5) lead = 1.0;
        a = int16_t(ra);
        d = int16_t(rd);
        l = int16_t(std::floor(lead + 0.5));
        height = int32_t(std::floor(ra + rd + lead));
    }
    if (ascent) *ascent = a;
    if (descent) *descent = d;
    if (leading) *leading = l;
    return height;
}

int32_t QZPixelToChar(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                      int32_t count, double x) {
    const CTLineRef line = CTLineFromText(text, count, encoding, attributes);
    return line ? int32_t(line->characterAt(x)) : -1;
}

int32_t QZGetTextExtents(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                         int32_t count, int32_t numerator, int32_t denominator, uint32_t* offsets,
                         uint32_t capacity) {
    const CTLineRef line = CTLineFromText(text, count, encoding, attributes);
    if (!line) {
        if (offsets && capacity) offsets[0] = 0;
        return 0;
    }
    const size_t n = line->characterCount();
    const double scale = Ratio(numerator, denominator);
    for (size_t i = 0; offsets && i <= n && i < capacity; i++)
        offsets[i] = i == 0 ? 0 : uint32_t(std::lround(float(line->characterOffset(i) * scale)));
    return int32_t(n);
}

}  // namespace plexa
