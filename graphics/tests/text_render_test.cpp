// Text in the renderer: the line cache, heights, character offsets and hit testing, tolerant
// decoding, and drawing at the pen with rotation and mirroring on an off-screen surface.
#include "graphics/render_text.h"

#include <gtest/gtest.h>

#include "tests/support/graphics_testing.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {
const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::TextTestEnvironment);

struct Style {
    txStyle* style;
    Style(uint16_t size, uint16_t face = 0) : style(CreateTextStyle(nullptr, nullptr)) {
        SetStyleFont(style, "DejaVu Sans");
        SetStyleSize(style, size);
        SetStyleFace(style, face);
    }
    ~Style() { DestroyTextStyle(style); }
    const QZTextAttributes& attributes() { return *EstablishAttributesForStyle(style); }
};

using test::Surface;

TEST(RenderText, LineCacheIsReusedUntilTheStyleChanges) {
    Style s(12);
    const std::string text = "Cached line";
    CTLineRef first = CTLineFromText(text.data(), int32_t(text.size()), kEncodingUTF8, s.attributes());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CTLineFromText(text.data(), int32_t(text.size()), kEncodingUTF8, s.attributes()), first);
    EXPECT_EQ(CTLineFromText(text.c_str(), -1, kEncodingUTF8, s.attributes()), first);  // terminated
    // A different text, encoding or style misses.
    EXPECT_NE(CTLineFromText("Cached lime", 11, kEncodingUTF8, s.attributes()), first);
    first = CTLineFromText(text.data(), int32_t(text.size()), kEncodingUTF8, s.attributes());
    EXPECT_NE(CTLineFromText(text.data(), int32_t(text.size()), kEncodingMacRoman, s.attributes()), first);
    first = CTLineFromText(text.data(), int32_t(text.size()), kEncodingUTF8, s.attributes());
    SetStyleSize(s.style, 13);
    const CTLineRef after = CTLineFromText(text.data(), int32_t(text.size()), kEncodingUTF8, s.attributes());
    EXPECT_NE(after, first);
    EXPECT_GT(after->width(), first->width());

    const std::string long_(400, 'x');  // not cached
    CTLineRef a = CTLineFromText(long_.data(), 400, kEncodingUTF8, s.attributes());
    EXPECT_NE(CTLineFromText(long_.data(), 400, kEncodingUTF8, s.attributes()), a);
    EXPECT_EQ(CTLineFromText("", 0, kEncodingUTF8, s.attributes()), nullptr);
}

TEST(RenderText, HeightsAndWidthsOfTheTestFont) {
    struct Case {
        uint16_t size;
        int16_t ascent, descent, leading;
        int32_t height, width;
    };
    const Case cases[] = {{12, 11, 3, 1, 15, 72}, {24, 22, 6, 1, 29, 145}};
    for (const Case& c : cases) {
        Style s(c.size);
        int16_t a, d, l;
        EXPECT_EQ(QZGetFontHeights(s.attributes(), kEncodingUTF8, "|Algj|", 6, &a, &d, &l), c.height);
        EXPECT_EQ(a, c.ascent);
        EXPECT_EQ(d, c.descent);
        EXPECT_EQ(l, c.leading);
        EXPECT_EQ(QZMeasureText(s.attributes(), kEncodingUTF8, "Hello, World", -1, 1, 1), c.width);
    }
    Style s(12);
    EXPECT_EQ(QZMeasureText(s.attributes(), kEncodingUTF8, "Hello, World", -1, 2, 1), 145);
    const QZTextAttributes none{nullptr, 0};
    EXPECT_EQ(QZMeasureText(none, kEncodingUTF8, "x", 1, 1, 1), 0);
    EXPECT_EQ(QZPixelToChar(none, kEncodingUTF8, "x", 1, 0), -1);
}

TEST(RenderText, CharacterOffsetsAndHitTesting) {
    Style s(12);
    uint32_t offsets[32];
    // "e" and a combining acute accent: one character, two offsets.
    EXPECT_EQ(QZGetTextExtents(s.attributes(), kEncodingUTF8, "e\xCC\x81", 3, 1, 1, offsets, 32), 1);
    EXPECT_EQ(offsets[0], 0u);
    EXPECT_EQ(int32_t(offsets[1]), QZMeasureText(s.attributes(), kEncodingUTF8, "e", 1, 1, 1));

    const char16_t utf16[] = u"A\U0001D400e\u0301z";  // a character outside the basic plane
    const int32_t bytes = int32_t((std::char_traits<char16_t>::length(utf16)) * 2);
    ASSERT_EQ(QZGetTextExtents(s.attributes(), kEncodingUTF16LE, utf16, bytes, 1, 1, offsets, 32), 4);
    for (int32_t i = 0; i <= 4; i++) {
        EXPECT_EQ(QZPixelToChar(s.attributes(), kEncodingUTF16LE, utf16, bytes, offsets[i]), i);
        if (i > 0) {
            EXPECT_GT(offsets[i], offsets[i - 1]);
        }
    }
    // A small buffer is never overrun.
    uint32_t two[2] = {7, 7};
    EXPECT_EQ(QZGetTextExtents(s.attributes(), kEncodingUTF16LE, utf16, bytes, 1, 1, two, 1), 4);
    EXPECT_EQ(two[1], 7u);
}

TEST(RenderText, DecodingNeverDropsTheText) {
    Style s(12);
    const QZTextAttributes& a = s.attributes();
    const int32_t ab = QZMeasureText(a, kEncodingUTF8, "ab", 2, 1, 1);
    const int32_t replaced = QZMeasureText(a, kEncodingUTF8, "ab\xEF\xBF\xBD" "cd", 7, 1, 1);
    EXPECT_GT(replaced, ab);
    EXPECT_EQ(QZMeasureText(a, kEncodingUTF8, "ab\0cd", 5, 1, 1), replaced);       // embedded NUL
    EXPECT_EQ(QZMeasureText(a, kEncodingUTF8, "ab\xFF" "cd", 5, 1, 1), replaced);  // invalid byte
    EXPECT_EQ(QZMeasureText(a, kEncodingMacRoman, "ab\0cd", 5, 1, 1), replaced);
    EXPECT_EQ(QZMeasureText(a, kEncodingMacRoman, "\x8E", 1, 1, 1),
              QZMeasureText(a, kEncodingUTF8, "\xC3\xA9", 2, 1, 1));  // Mac Roman e acute
}

TEST(RenderText, PenAdvancesAlongTheTextsDirection) {
    Style s(12);
    const int32_t w = QZMeasureText(s.attributes(), kEncodingUTF8, "Pen", 3, 1, 1);
    struct Case {
        int32_t rotation;
        bool mirror;
        int32_t dh, dv;
    };
    const Case cases[] = {{0, false, w, 0},  {0, true, -w, 0},  {90, false, 0, w}, {90, true, 0, -w},
                          {180, false, -w, 0}, {180, true, w, 0}, {270, false, 0, -w}, {270, true, 0, w},
                          {45, false, 0, 0}};
    for (const Case& c : cases) {
        Surface surface(200, 200);
        QZMoveTo(surface.port(), 100, 100);
        QZDrawText(surface.port(), s.attributes(), kEncodingUTF8, "Pen", 3, c.rotation, c.mirror, 1, 1);
        if (c.rotation == 45) {
            const int32_t d = int32_t(std::lround(w / std::sqrt(2.0)));
            EXPECT_EQ(surface.port()->pen.h, 100 + d);
            EXPECT_EQ(surface.port()->pen.v, 100 + d);
        } else {
            EXPECT_EQ(surface.port()->pen.h, 100 + c.dh) << c.rotation << c.mirror;
            EXPECT_EQ(surface.port()->pen.v, 100 + c.dv) << c.rotation << c.mirror;
        }
    }
}

// Where the ink lies around the pen (100, 100): the text runs right, down (90), left (180) or
// up (270), its glyphs above the baseline on the text's left.
TEST(RenderText, RotatedAndMirroredInk) {
    Style s(20);
    struct Case {
        int32_t rotation;
        bool mirror;
        bool right, below, left, above;  // ink beyond the pen on each side (by more than 2 pixels)
    };
    const Case cases[] = {
        {0, false, true, false, false, true},  {0, true, false, false, true, true},
        {90, false, true, true, false, false}, {90, true, true, false, false, true},
        {180, false, false, true, true, false}, {270, false, false, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rotation << (c.mirror ? " mirrored" : ""));
        Surface surface(200, 200);
        QZMoveTo(surface.port(), 100, 100);
        QZDrawText(surface.port(), s.attributes(), kEncodingUTF8, "HHHH", 4, c.rotation, c.mirror, 1, 1);
        const std::array<int, 4> ink = surface.Ink();
        ASSERT_GE(ink[0], 0);
        EXPECT_EQ(ink[2] > 102, c.right);
        EXPECT_EQ(ink[3] > 102, c.below);
        EXPECT_EQ(ink[0] < 98, c.left);
        EXPECT_EQ(ink[1] < 98, c.above);
    }
}

TEST(RenderText, ScaledTextIsLarger) {
    Style s(10);
    Surface small(300, 100), big(300, 100);
    QZMoveTo(small.port(), 10, 60);
    QZMoveTo(big.port(), 10, 60);
    QZDrawText(small.port(), s.attributes(), kEncodingUTF8, "Scale", 5, 0, false, 1, 1);
    QZDrawText(big.port(), s.attributes(), kEncodingUTF8, "Scale", 5, 0, false, 3, 1);
    const auto a = small.Ink(), b = big.Ink();
    EXPECT_NEAR(double(b[2] - b[0]) / double(a[2] - a[0]), 3.0, 0.2);
    EXPECT_EQ(big.port()->pen.h - 10, QZMeasureText(s.attributes(), kEncodingUTF8, "Scale", 5, 3, 1));
}

// Drawn text keeps its placed glyphs: drawing it again paints the same pixels and moves the pen
// as far; a style change draws the text anew in the new style, and so does a flushed cache.
TEST(RenderText, DrawnTextIsKeptPerStyle) {
    Style s(12);
    auto draw = [&](Surface& surface) {
        QZMoveTo(surface.port(), 10, 40);
        QZDrawText(surface.port(), s.attributes(), kEncodingUTF8, "Kept R1", -1, 0, false, 1, 1);
    };
    Surface first(200, 60), again(200, 60), bigger(200, 60), flushed(200, 60);
    draw(first);
    draw(again);
    EXPECT_EQ(again.port()->pen.h, first.port()->pen.h);
    EXPECT_EQ(again.port()->pen.h - 10, QZMeasureText(s.attributes(), kEncodingUTF8, "Kept R1", -1, 1, 1));
    EXPECT_EQ(again.Ink(), first.Ink());
    SetStyleSize(s.style, 24);
    draw(bigger);
    EXPECT_GT(bigger.port()->pen.h, first.port()->pen.h + 20);
    EXPECT_LT(bigger.Ink()[1], first.Ink()[1] - 5);
    SetStyleSize(s.style, 12);
    QZFlushTextCache();
    draw(flushed);
    EXPECT_EQ(flushed.Ink(), first.Ink());
    EXPECT_EQ(flushed.port()->pen.h, first.port()->pen.h);
}

}  // namespace
}  // namespace plexa
