// Fonts and one-line layout: stable metrics of a named font, characters made of several code
// units, hit testing against the character offsets, tolerant decoding, and glyph outlines.
#include "platform/text_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/draw_context.h"
#include "platform/tests/twin_surfaces.h"

namespace plexa {
namespace {

class TextEnvironment : public ::testing::Environment {
public:
    void SetUp() override { session_ = std::make_unique<TextPlatformSession>(); }
    void TearDown() override { session_.reset(); }

private:
    std::unique_ptr<TextPlatformSession> session_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new TextEnvironment);

struct FontRef {
    TextFont* font;
    explicit FontRef(TextFont* f) : font(f) {}
    ~FontRef() { TextFontRelease(font); }
};

TEST(TextLayout, NamedFontIsFound) {
    FontRef f(TextFontCreate("DejaVu Sans", 12, false, false));
    EXPECT_EQ(TextFontDescribe(f.font).resolvedFamily, "DejaVu Sans");
}

TEST(TextLayout, FontsMadeAlikeShareTheirIdentity) {
    FontRef a(TextFontCreate("DejaVu Sans", 12, false, false));
    FontRef b(TextFontCreate("DejaVu Sans", 12, false, false));
    FontRef bigger(TextFontCreate("DejaVu Sans", 12.5, false, false));
    FontRef bold(TextFontCreate("DejaVu Sans", 12, true, false));
    FontRef other(TextFontCreate("DejaVu Serif", 12, false, false));
    EXPECT_NE(TextFontIdentity(a.font), 0u);
    EXPECT_EQ(TextFontIdentity(a.font), TextFontIdentity(b.font));
    for (const FontRef* f : {&bigger, &bold, &other}) EXPECT_NE(TextFontIdentity(f->font), TextFontIdentity(a.font));
    EXPECT_EQ(TextFontIdentity(nullptr), 0u);
}

// Placed glyphs drawn in a scaled view, wherever they fall inside a pixel, are laid down from
// coverages learnt once per glyph, scale and place inside a pixel: what lands in the pixels is
// the text drawn anew by the painter (a clip of two rectangles, which the coverages do not serve,
// draws it anew each time), byte for byte.
TEST(TextLayout, GlyphsOfScaledViewsAreLaidDownAsTheyWereDrawn) {
    FontRef f(TextFontCreate("DejaVu Sans", 10, false, false));
    const auto glyphs = TextLine::Create(f.font, u"U4711 74HC04")->Glyphs();
    for (const double scale : {1.0, 0.25, 0.5, 2.0, 0.37, 1.3}) {
        SCOPED_TRACE(scale);
        test::TwinSurfaces twins(200, 80, 0xFFFFFFFFu, 0xFFC0E0F0u, 3);
        twins.Both([&](DrawContext& ctx) {
            ctx.SetFillColor({0.1, 0.2, 0.6, 1});
            for (int i = 0; i < 12; i++) {
                ctx.SaveState();
                ctx.Translate(4 + (i % 3) * 60 + (i % 4) * 0.25, 14 + (i / 3) * 16);
                ctx.Scale(scale, scale);
                glyphs->Draw(ctx, 0, 0);
                ctx.RestoreState();
            }
        });
        size_t inked = 0;
        for (uint32_t px : twins.painter) inked += px != 0xFFFFFFFFu && px != 0xFFC0E0F0u;
        EXPECT_GT(inked, 100u);
        EXPECT_EQ(twins.Differing(), 0u);
    }
}

// At whole pixels the glyphs are laid down from coverages learnt once per glyph and place inside
// a pixel: byte for byte what the painter draws, for glyphs whose ink overlaps, in opaque and
// translucent colours, over a background of two colours, in several fonts and sizes.
TEST(TextLayout, GlyphsAtWholePixelsAreThePaintersPixels) {
    struct Case {
        const char* family;
        double size;
        bool bold, italic;
        const char16_t* text;
        DrawColor color;
    };
    const Case cases[] = {
        {"DejaVu Sans", 10, false, false, u"U4711 74HC04", {0.1, 0.2, 0.6, 1}},
        {"DejaVu Sans", 13, false, false, u"AVAWAY fj Tf ff", {0, 0, 0, 1}},
        {"DejaVu Sans", 9, true, false, u"R12 10k\u00b5 \u00c5", {0.8, 0.1, 0.1, 0.6}},
        {"DejaVu Serif", 17, false, true, u"Wave /|\\ 0.5pF", {0.2, 0.7, 0.3, 1}},
        {"DejaVu Sans", 40, false, false, u"Qg", {0.3, 0.3, 0.3, 0.8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        FontRef f(TextFontCreate(c.family, c.size, c.bold, c.italic));
        const auto glyphs = TextLine::Create(f.font, c.text)->Glyphs();
        test::TwinSurfaces twins(260, 160, 0xFFFFFFFFu, 0xFF203040u, 7);
        twins.Both([&](DrawContext& ctx) {
            ctx.SetFillColor(c.color);
            for (int i = 0; i < 6; i++) {
                ctx.SaveState();
                ctx.Translate(3 + (i % 2) * 97, 12 + i * 24);
                glyphs->Draw(ctx, 0, 0);
                glyphs->Draw(ctx, 1, 0.5);  // the same text again over it, half a pixel lower
                ctx.RestoreState();
            }
            // Across the edges of the surface.
            for (const auto& [h, v] : {std::pair{-9, 4}, std::pair{255, 150}, std::pair{130, 166}, std::pair{-3, 171}}) {
                ctx.SaveState();
                ctx.Translate(h, v);
                glyphs->Draw(ctx, 0, 0);
                ctx.RestoreState();
            }
        });
        size_t inked = 0;
        for (uint32_t px : twins.painter) inked += px != 0xFFFFFFFFu && px != 0xFF203040u;
        EXPECT_GT(inked, 100u);
        EXPECT_EQ(twins.Differing(), 0u);
    }
}

// The test font's own metrics (2048 units to the em) at two sizes.
TEST(TextLayout, MetricsOfTheTestFontAreStable) {
    struct Case {
        double size, ascent, descent, width;
    };
    const Case cases[] = {{12, 11.14, 2.83, 72.34}, {24, 22.28, 5.66, 144.78}};
    for (const Case& c : cases) {
        FontRef f(TextFontCreate("DejaVu Sans", c.size, false, false));
        auto line = TextLine::Create(f.font, u"Hello, World");
        SCOPED_TRACE(c.size);
        EXPECT_NEAR(line->ascent(), c.ascent, 0.05);
        EXPECT_NEAR(line->descent(), c.descent, 0.05);
        EXPECT_NEAR(line->width(), c.width, 0.05);
    }
}

TEST(TextLayout, CharactersOfSeveralCodeUnits) {
    FontRef f(TextFontCreate("DejaVu Sans", 12, false, false));
    struct Case {
        std::u16string text;
        size_t characters;
        std::vector<size_t> starts;
    };
    const Case cases[] = {
        {u"e\u0301", 1, {0, 2}},                // e with a combining acute accent
        {u"ae\u0301b", 3, {0, 1, 3, 4}},
        {u"a\U0001D400b", 3, {0, 1, 3, 4}},     // a character outside the basic plane
        {u"", 0, {0}},
    };
    for (const Case& c : cases) {
        auto line = TextLine::Create(f.font, c.text);
        ASSERT_EQ(line->characterCount(), c.characters);
        for (size_t i = 0; i < c.starts.size(); i++) EXPECT_EQ(line->characterStart(i), c.starts[i]);
        EXPECT_DOUBLE_EQ(line->characterOffset(0), 0.0);
        EXPECT_NEAR(line->characterOffset(c.characters), line->width(), 1e-6);
    }
}

TEST(TextLayout, CharacterAtIsTheInverseOfTheOffsets) {
    FontRef f(TextFontCreate("DejaVu Sans", 17, false, false));
    auto line = TextLine::Create(f.font, u"Wide mixed e\u0301 text \U0001D400!");
    for (size_t i = 0; i <= line->characterCount(); i++) {
        EXPECT_EQ(line->characterAt(line->characterOffset(i)), i);
        if (i > 0) {
            EXPECT_GT(line->characterOffset(i), line->characterOffset(i - 1));
        }
    }
    EXPECT_EQ(line->characterAt(-50), 0u);
    EXPECT_EQ(line->characterAt(1e6), line->characterCount());
}

TEST(TextLayout, DecodingKeepsTextAroundInvalidBytes) {
    EXPECT_EQ(TextDecodeUTF8("ab\xFF" "cd"), u"ab\uFFFDcd");
    EXPECT_EQ(TextDecodeUTF8("x\xC3"), u"x\uFFFD");
    EXPECT_EQ(TextDecodeUTF8("\xC3\xA9"), u"\u00E9");
}

TEST(TextLayout, NamesCompareWithoutCase) {
    EXPECT_TRUE(TextNamesEqualIgnoringCase("dejavu sans", "DejaVu Sans"));
    EXPECT_TRUE(TextNamesEqualIgnoringCase("\xC3\x89toile", "\xC3\xA9TOILE"));
    EXPECT_FALSE(TextNamesEqualIgnoringCase("DejaVu", "DejaVu Sans"));
}

TEST(TextLayout, InstalledFamiliesIncludeTheTestFont) {
    const std::vector<std::string> families = TextFontFamilies();
    bool found = false;
    for (const std::string& family : families) found |= family == "DejaVu Sans";
    EXPECT_TRUE(found);
}

TEST(TextLayout, OutlinesAreFilledAtTheBaseline) {
    const int w = 80, h = 40;
    std::vector<uint8_t> px(size_t(w * h), 255);
    auto ctx = DrawContext::ForPixels(px.data(), w, h, w, DrawPixelFormat::kGrey8);
    FontRef f(TextFontCreate("DejaVu Sans", 24, false, false));
    auto line = TextLine::Create(f.font, u"\u2588");  // a full block
    ctx->SetFillColor({0, 0, 0, 1});
    line->AddToPath(*ctx, 10, 30);
    ctx->DrawPath(DrawPathMode::kFill);
    int top = h, bottom = -1;
    for (int y = 0; y < h; y++)
        if (px[size_t(y * w + 15)] < 128) top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_LT(top, 30 - 15);   // well above the baseline
    EXPECT_GE(bottom, 30);     // and below it
    EXPECT_EQ(px[size_t(5 * w + 5)], 255);
}

// The ink of "H" drawn through the glyph cache, filled as outlines, and filled under a mirror:
// the first two cover the same pixels to within a pixel's antialiasing, the mirror lies left of
// the pen; drawing again paints the same pixels.
TEST(TextLayout, GlyphCacheAndOutlinesPaintTheSameInk) {
    const int w = 80, h = 40;
    FontRef f(TextFontCreate("DejaVu Sans", 24, false, false));
    auto line = TextLine::Create(f.font, u"H");
    struct Ink {
        std::vector<uint8_t> px;
        int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    };
    auto paint = [&](int how) {
        Ink ink;
        ink.px.assign(size_t(w * h), 255);
        auto ctx = DrawContext::ForPixels(ink.px.data(), w, h, w, DrawPixelFormat::kGrey8);
        ctx->SetFillColor({0, 0, 0, 1});
        ctx->Translate(40, 30);
        if (how == 2) ctx->Scale(-1, 1);
        if (how == 0) line->Draw(*ctx, 0, 0);
        else line->Fill(*ctx, 0, 0);
        ctx.reset();
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (ink.px[size_t(y * w + x)] < 128) {
                    ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
                    ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
                }
        return ink;
    };
    const Ink cached = paint(0), filled = paint(1), mirrored = paint(2);
    ASSERT_GE(cached.right, 0);
    EXPECT_NEAR(cached.left, filled.left, 1);
    EXPECT_NEAR(cached.right, filled.right, 1);
    EXPECT_NEAR(cached.top, filled.top, 1);
    EXPECT_EQ(cached.bottom, 29);  // on the baseline's row
    EXPECT_EQ(filled.bottom, 29);
    EXPECT_GE(cached.left, 40);
    EXPECT_LT(mirrored.right, 40);
    EXPECT_NEAR(40 - mirrored.right, filled.left - 40 + 1, 1);
    EXPECT_EQ(paint(0).px, cached.px);
    EXPECT_EQ(paint(1).px, filled.px);
}

}  // namespace
}  // namespace plexa
