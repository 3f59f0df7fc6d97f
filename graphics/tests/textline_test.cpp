// Text lines over a fake text renderer with fixed widths: "a" is 33 wide, "W" 11, "_" 9, a
// bullet 7, the ellipsis 5, a combining mark 0 and every other character 10. Characters are
// code points, a combining mark (U+0300..U+036F) joining the one before it.
#include "graphics/textline.h"

#include <gtest/gtest.h>

#include "tests/support/graphics_testing.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "foundation/heap.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"
#include "platform/text_layout.h"

namespace plexa {
namespace {

double WidthOf(char32_t c) {
    switch (c) {
        case U'a': return 33;
        case U'W': return 11;
        case U'_': return 9;
        case U'\u2022': return 7;
        case U'\u2026': return 5;
        default: return c >= 0x300 && c <= 0x36F ? 0 : 10;
    }
}

// Decodes one character at p (n bytes left): its code point and length; 0 length when invalid.
size_t Decode(const uint8_t* p, size_t n, uint32_t encoding, char32_t* c) {
    if (encoding == kEncodingUTF16LE) {
        if (n < 2) return 0;
        const char16_t u = char16_t(p[0] | (p[1] << 8));
        if (u >= 0xD800 && u < 0xDC00 && n >= 4) {
            const char16_t low = char16_t(p[2] | (p[3] << 8));
            *c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00);
            return 4;
        }
        *c = u;
        return 2;
    }
    if (encoding == kEncodingMacRoman) {
        *c = p[0] == 0xA5 ? U'\u2022' : p[0];
        return 1;
    }
    const size_t len = p[0] < 0x80 ? 1 : p[0] < 0xE0 ? 2 : p[0] < 0xF0 ? 3 : 4;
    if (len > n) return 0;
    char32_t v = len == 1 ? p[0] : p[0] & (0x7F >> len);
    for (size_t i = 1; i < len; i++) v = (v << 6) | (p[i] & 0x3F);
    *c = v;
    return len;
}

bool FakeLayout(const VXGrafState*, const void* text, int32_t count, uint32_t encoding,
                VXTextLayout* out) {
    const auto* p = static_cast<const uint8_t*>(text);
    double x = 0;
    for (int32_t i = 0; i < count;) {
        char32_t c;
        const size_t n = Decode(p + i, size_t(count - i), encoding, &c);
        if (n == 0) return false;
        if (WidthOf(c) > 0 || out->starts.empty()) {
            out->starts.push_back(uint32_t(i));
            out->offsets.push_back(x);
        }
        x += WidthOf(c);
        i += int32_t(n);
    }
    out->starts.push_back(uint32_t(count));
    out->offsets.push_back(x);
    out->width = x;
    return true;
}

struct Drawn {
    std::string text;  // as UTF-8
    int32_t h, v, rotation, numerator, penSize;
};
std::vector<Drawn> gDrawn;

void FakeDraw(VXGrafState* state, const void* text, int32_t count, uint32_t encoding,
              int32_t rotation, bool, int32_t numerator, int32_t denominator) {
    VXTextLayout l;
    ASSERT_TRUE(FakeLayout(state, text, count, encoding, &l));
    std::string utf8;
    const auto* p = static_cast<const uint8_t*>(text);
    for (int32_t i = 0; i < count;) {
        char32_t c = 0;
        const size_t n = Decode(p + i, size_t(count - i), encoding, &c);
        if (c < 0x80) utf8 += char(c);
        else utf8 += "<" + std::to_string(uint32_t(c)) + ">";
        i += int32_t(n);
    }
    QZPort* port = state->port;
    gDrawn.push_back({utf8, port->pen.h, port->pen.v, rotation, numerator, port->penSize});
    port->pen.h += int32_t(std::lround(l.width * numerator / denominator));
}

const VXTextHooks kFake = {FakeLayout, FakeDraw};

class TextFixture : public ::testing::Test {
protected:
    void SetUp() override {
        VXInitGraf();
        state_.port = QZPortAlloc(nullptr);
        previousHooks_ = VXSetTextHooks(&kFake);
        previous_ = VXSetCurrentGrafState(&state_);
        gDrawn.clear();
    }
    void TearDown() override {
        VXSetCurrentGrafState(previous_);
        VXSetTextHooks(previousHooks_);
        QZPortFree(state_.port);
        state_.port = nullptr;
    }
    void SetZoom(int32_t percent) {
        const int32_t f = int32_t(int64_t(kFixed24One) * percent / 100);
        SetWindowScaleFactors(&state_.geometry, f, f);
    }

    VXGrafState state_;
    VXGrafState* previous_ = nullptr;
    const VXTextHooks* previousHooks_ = nullptr;
};

std::string UTF16(const std::u16string& s) {
    std::string bytes;
    for (char16_t u : s) {
        bytes += char(u & 0xFF);
        bytes += char(u >> 8);
    }
    return bytes;
}

TEST_F(TextFixture, TabStops) {
    struct Case {
        const char* name;
        std::string text;
        uint32_t encoding;
        int16_t tabStop;
        uint16_t flags;
        uint32_t width;
        std::vector<int32_t> runs;  // where each run starts
    };
    const Case cases[] = {
        // a is 33 wide: the tab would advance 3, below the gap of 5, so one more stop: 39.
        {"a tab b", "a\tb", kEncodingMacRoman, 36, 0, 82, {0, 72}},
        {"b tab b", "b\tb", kEncodingMacRoman, 36, 0, 46, {0, 36}},
        {"UTF-16", UTF16(u"a\tb"), kEncodingUTF16LE, 36, 0, 82, {0, 72}},
        {"leading tab", "\tb", kEncodingUTF8, 36, 0, 46, {36}},
        {"two tabs", "b\t\tb", kEncodingUTF8, 36, 0, 82, {0, 72}},
        // Fixed tabs: stops every 11 (the wider of W and _), whatever the caller's stop.
        {"fixed", "a\tb", kEncodingMacRoman, 36, 0x04, 54, {0, 44}},
        // A stop of 0 has no stops to reach: the tab is the minimum gap.
        {"stop 0", "a\tb", kEncodingMacRoman, 0, 0, 48, {0, 38}},
        {"password", "ab\tc", kEncodingUTF8, 36, kTextLinePassword, 43, {0, 36}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t units = int32_t(c.text.size()) / (c.encoding == kEncodingUTF16LE ? 2 : 1);
        EXPECT_EQ(VXMeasureTextLine(c.text.data(), units, c.encoding, c.tabStop, c.flags), c.width);
        gDrawn.clear();
        const _LPNT origin = {50, 100};
        VXDrawTextLine(&origin, 0, c.text.data(), units, c.encoding, c.tabStop, 0, c.flags);
        std::vector<int32_t> runs;
        for (const Drawn& d : gDrawn) {
            runs.push_back(d.h - 100);
            EXPECT_EQ(d.v, 50);
        }
        EXPECT_EQ(runs, c.runs);
    }
}

TEST(TextTabs, TabAdvance) {
    struct Case {
        int32_t x, stop, gap, advance;
    };
    const Case cases[] = {{33, 36, 5, 39}, {0, 36, 5, 36}, {10, 36, 5, 26}, {-10, 36, 5, 10},
                          {7, 0, 5, 5},    {7, -4, 5, 5},  {40, 1, 5, 2}};
    for (const Case& c : cases)
        EXPECT_EQ(VXCalcTabCharacterWidth(c.x, c.stop, c.gap), c.advance) << c.x << " " << c.stop;
}

TEST_F(TextFixture, AlignmentAndRotation) {
    struct Case {
        const char* name;
        uint16_t rotation, flags;
        const char* text;
        std::vector<std::pair<int32_t, int32_t>> runs;  // pen (h, v) at each run
    };
    const Case cases[] = {
        {"left", 0, 0, "bbb", {{100, 50}}},
        {"right", 0, kTextLineRightAligned, "bbb", {{70, 50}}},
        {"quarter", 0, kTextLineQuarterBefore, "bbb", {{93, 50}}},
        {"down", 90, 0, "b\tb", {{100, 50}, {100, 86}}},
        {"down, right aligned", 90, kTextLineRightAligned, "bbb", {{100, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gDrawn.clear();
        const _LPNT origin = {50, 100};
        VXDrawTextLine(&origin, 0, c.text, int32_t(strlen(c.text)), kEncodingUTF8, 36, c.rotation,
                       c.flags);
        std::vector<std::pair<int32_t, int32_t>> runs;
        for (const Drawn& d : gDrawn) {
            runs.emplace_back(d.h, d.v);
            EXPECT_EQ(d.rotation, c.rotation);
        }
        EXPECT_EQ(runs, c.runs);
        EXPECT_EQ(state_.textRotation, 0);
    }
}

TEST_F(TextFixture, PasswordBullets) {
    EXPECT_EQ(VXMeasurePasswordChars(40, false), 280u);
    EXPECT_EQ(VXMeasurePasswordChars(3, false), 21u);
    VXDrawPasswordChars(40);
    ASSERT_EQ(gDrawn.size(), 1u);
    std::string bullets;
    for (int i = 0; i < 40; i++) bullets += "<8226>";
    EXPECT_EQ(gDrawn[0].text, bullets);
}

TEST_F(TextFixture, ExtentsArePerCharacter) {
    struct Case {
        const char* name;
        std::string text;
        uint32_t encoding;
        std::vector<uint32_t> offsets;
    };
    const Case cases[] = {
        {"combining mark", "e\xCC\x81x", kEncodingUTF8, {0, 10, 20}},
        {"surrogate pair", UTF16(u"\U0001F600b"), kEncodingUTF16LE, {0, 10, 20}},
        {"Mac Roman", "ab", kEncodingMacRoman, {0, 33, 43}},
        {"empty", "", kEncodingUTF8, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t offsets[8];
        std::fill(std::begin(offsets), std::end(offsets), 0xDEADu);
        const int32_t n = VXGetTextExtents(c.text.data(), int32_t(c.text.size()), c.encoding,
                                           offsets, 8, false);
        EXPECT_EQ(n, int32_t(c.offsets.size()) - 1);
        EXPECT_EQ(std::vector<uint32_t>(offsets, offsets + c.offsets.size()), c.offsets);
        EXPECT_EQ(offsets[c.offsets.size()], 0xDEADu);
    }
    // The capacity bounds what is written; the count is still every character.
    uint32_t small[3] = {7, 7, 0xBEEF};
    EXPECT_EQ(VXGetTextExtents("bbbb", -1, kEncodingUTF8, small, 2, false), 4);
    EXPECT_EQ(small[1], 10u);
    EXPECT_EQ(small[2], 0xBEEFu);
    // At a zoom the offsets come back in document units.
    SetZoom(200);
    uint32_t scaled[4];
    EXPECT_EQ(VXGetTextExtents("abb", 3, kEncodingUTF8, scaled, 4, true), 3);
    EXPECT_EQ(std::vector<uint32_t>(scaled, scaled + 4), (std::vector<uint32_t>{0, 33, 43, 53}));
    EXPECT_EQ(VXMeasureTextBytes("abb", -1, kEncodingUTF8, true), 53u);
}

TEST_F(TextFixture, TextAtZoomMovesThePenUnscaledAndLeavesItsSize) {
    SetZoom(200);
    VXSetPenWidth(2);
    VXMoveTo(10, 20);
    VXDrawTextWithEncoding("bbb", -1, kEncodingUTF8);
    ASSERT_EQ(gDrawn.size(), 1u);
    EXPECT_EQ(gDrawn[0].h, 20);  // drawn at the scaled pen
    EXPECT_EQ(gDrawn[0].v, 40);
    EXPECT_EQ(gDrawn[0].numerator, 200);
    EXPECT_EQ(gDrawn[0].penSize, 2);  // a text is not a stroke
    Point pen{};
    VXGetPenPosition(&pen);
    EXPECT_EQ(pen.h, 40);  // 10 + 30, unscaled
    EXPECT_EQ(pen.v, 20);
    EXPECT_EQ(VXGetPenWidth(), 2);
    // A pane with a fixed axis draws at 100 %.
    state_.geometry.pane = 0;
    VXDrawTextWithEncoding("b", 1, kEncodingUTF8);
    EXPECT_EQ(gDrawn.back().numerator, 100);
}

TEST_F(TextFixture, TruncatesAtTheEndAndInTheMiddle) {
    struct Case {
        const char* name;
        std::string text;
        size_t capacity;  // 0: the string's own size with its terminator
        int32_t width;
        uint32_t mode;
        int32_t result;
        std::string after;
    };
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    std::string accents;
    for (int i = 0; i < 10; i++) accents += "e\xCC\x81";
    const Case cases[] = {
        {"fits", "ABCDE", 0, 50, 0, 0, "ABCDE"},
        {"empty", "", 0, 5, 0, 0, ""},
        {"end", twenty, 64, 100, 0, 1, "ABCDEFGHIJ\xE2\x80\xA6"},
        // 6 characters cut from 20: the cut starts at character 7.
        {"middle", twenty, 64, 140, kTruncMiddle, 1, "ABCDEFG\xE2\x80\xA6NOPQRST"},
        {"middle, upper bits ignored", twenty, 64, 140, 0x14000, 1, "ABCDEFG\xE2\x80\xA6NOPQRST"},
        // Room for one character and the ellipsis only.
        {"too narrow", twenty, 64, 15, 0, -1, twenty},
        // One character becomes the 3-byte ellipsis: 2 bytes more than the buffer holds.
        {"grows past the buffer", "ABCDE", 0, 44, 0, -1, "ABCDE"},
        {"grows past the old rule", "ABCDE", 7, 44, 0, -1, "ABCDE"},
        {"grows within the buffer", "ABCDE", 8, 44, 0, 1, "ABCD\xE2\x80\xA6"},
        {"whole characters", accents, 64, 60, 0, 1, accents.substr(0, 18) + "\xE2\x80\xA6"},
        {"not UTF-8", "AB\xFF" "CDEFGHIJ", 0, 20, 0, 0, "AB\xFF" "CDEFGHIJ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t capacity = c.capacity ? c.capacity : c.text.size() + 1;
        // Guard bytes after the buffer catch any write past the capacity.
        std::vector<char> buffer(capacity + 8, '#');
        std::memcpy(buffer.data(), c.text.c_str(), c.text.size() + 1);
        EXPECT_EQ(VXTruncString(buffer.data(), capacity, c.width, c.mode), c.result);
        EXPECT_EQ(std::string(buffer.data()), c.after);
        EXPECT_EQ(std::string(buffer.data() + capacity, 8), std::string(8, '#'));
    }
    char unterminated[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(VXTruncString(unterminated, sizeof unterminated, 5, 0), -1);
}

TEST_F(TextFixture, CaptureRecordsTextInsteadOfDrawingIt) {
    static int recorded = 0;
    static const VXDisplayListRecorder recorder = {
        [](VXGrafState*, const void*, int32_t count, uint32_t) { recorded += count; },
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    const VXDisplayListRecorder* previous = VXSetDisplayListRecorder(&recorder);
    int capture = 0;
    state_.displayList = &capture;
    VXDrawTextWithEncoding("abc", 3, kEncodingUTF8);
    VXLDrawTextWithEncoding("de", 2, kEncodingUTF8);  // slot 9 always draws
    state_.displayList = nullptr;
    VXSetDisplayListRecorder(previous);
    EXPECT_EQ(recorded, 3);
    ASSERT_EQ(gDrawn.size(), 1u);
    EXPECT_EQ(gDrawn[0].text, "de");
}

TEST(TextLine, WithoutAWindowOrHooksNothingIsMeasuredOrDrawn) {
    VXGrafState* previous = VXSetCurrentGrafState(nullptr);
    EXPECT_EQ(VXMeasureTextBytes("abc", 3, kEncodingUTF8, false), 0u);
    EXPECT_EQ(VXMeasureTextLine("a\tb", 3, kEncodingUTF8, 36, 0), 0u);
    uint32_t offsets[2] = {9, 9};
    EXPECT_EQ(VXGetTextExtents("abc", 3, kEncodingUTF8, offsets, 2, false), 0);
    EXPECT_EQ(offsets[0], 0u);
    const _LPNT origin = {0, 0};
    VXDrawTextLine(&origin, 0, "abc", 3, kEncodingUTF8, 36, 0, 0);
    char text[] = "ABCDEFGH";
    EXPECT_EQ(VXTruncString(text, sizeof text, 20, 0), -1);
    EXPECT_STREQ(text, "ABCDEFGH");
    VXSetCurrentGrafState(previous);
}

// ---- Through the text renderer ----
const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::TextTestEnvironment);

struct Bitmap {
    static constexpr int kWidth = 240, kHeight = 40;
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kWidth * kHeight, 0xFF);
    // Left and right (exclusive) of the ink; -1 when there is none.
    std::pair<int, int> Ink() const {
        int left = kWidth, right = -1;
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++)
                if (pixels[size_t(y * kWidth + x)] < 128) left = std::min(left, x), right = std::max(right, x + 1);
        return right < 0 ? std::make_pair(-1, -1) : std::make_pair(left, right);
    }
};
int32_t OffScreen(void*) { return kQZWindowOffScreen; }
bool Image(void* w, QZBitmap* out) {
    auto* b = static_cast<Bitmap*>(w);
    *out = {b->pixels.data(), Bitmap::kWidth, Bitmap::kHeight, Bitmap::kWidth, DrawPixelFormat::kGrey8};
    return true;
}

class RendererText : public ::testing::Test {
protected:
    void SetUp() override {
        VXInitGraf();
        QZWindowHooks hooks;
        hooks.kind = OffScreen;
        hooks.image = Image;
        QZSetWindowHooks(hooks);
        style_ = CreateTextStyle(nullptr, nullptr);
        SetStyleFont(style_, "DejaVu Sans");
        SetStyleSize(style_, 12);
        state_.textStyle = style_;
        state_.port = QZPortAlloc(&bitmap_);
        ASSERT_NE(QZInstallContext(state_.port), nullptr);
        QZSetFocus(state_.port, -1);
        previous_ = VXSetCurrentGrafState(&state_);
    }
    void TearDown() override {
        VXSetCurrentGrafState(previous_);
        QZReleaseContext(state_.port);
        QZPortFree(state_.port);
        state_.port = nullptr;
        DestroyTextStyle(style_);
    }

    Bitmap bitmap_;
    txStyle* style_ = nullptr;
    VXGrafState state_;
    VXGrafState* previous_ = nullptr;
};

TEST_F(RendererText, TabsExtentsAndTruncation) {
    const int32_t a = int32_t(VXMeasureTextBytes("a", 1, kEncodingUTF8, false));
    const int32_t b = int32_t(VXMeasureTextBytes("b", 1, kEncodingUTF8, false));
    ASSERT_GT(a, 0);
    EXPECT_EQ(int32_t(VXMeasureTextLine("a\tb", 3, kEncodingUTF8, 36, 0)),
              a + VXCalcTabCharacterWidth(a, 36, 5) + b);
    EXPECT_EQ(VXCalcFixedTabCharacterWidth(),
              std::max(VXMeasureTextBytes("W", 1, 0, false), VXMeasureTextBytes("_", 1, 0, false)));

    // Characters, not glyphs or code units: a base with its mark, a surrogate pair.
    struct Case {
        std::string text;
        uint32_t encoding;
        int32_t characters;
    };
    const Case cases[] = {{"e\xCC\x81x", kEncodingUTF8, 2},
                          {UTF16(u"\U0001F600b"), kEncodingUTF16LE, 2},
                          {"ab\xA5", kEncodingMacRoman, 3}};
    for (const Case& c : cases) {
        uint32_t offsets[8] = {};
        EXPECT_EQ(VXGetTextExtents(c.text.data(), int32_t(c.text.size()), c.encoding, offsets, 8, false),
                  c.characters);
        EXPECT_EQ(offsets[0], 0u);
        EXPECT_GT(offsets[c.characters], offsets[1]);
    }

    char text[64] = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(VXTruncString(text, sizeof text, 100, 0), 1);
    const std::string cut = text;
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(cut.substr(cut.size() - 3), "\xE2\x80\xA6");
    // The cut is at the character boundary nearest to the width: within half a character.
    EXPECT_LE(int32_t(VXMeasureTextBytes(text, -1, kEncodingUTF8, false)), 100 + 6);
    EXPECT_EQ(VXTruncString(text, sizeof text, 1000, 0), 0);
}

TEST_F(RendererText, RightAlignedLineEndsAtTheOrigin) {
    const char* text = "Plexa 42";
    const int32_t width = int32_t(VXMeasureTextLine(text, 8, kEncodingUTF8, 36, 0));
    const _LPNT origin = {28, 200};
    VXDrawTextLine(&origin, 0, text, 8, kEncodingUTF8, 36, 0, kTextLineRightAligned);
    const auto [left, right] = bitmap_.Ink();
    EXPECT_LE(right, 201);
    EXPECT_GE(left, 200 - width - 1);
    EXPECT_GT(right - left, width / 2);
    // At 200 % the line is twice as long on the screen and the same in document units.
    SetWindowScaleFactors(&state_.geometry, 2 * kFixed24One, 2 * kFixed24One);
    EXPECT_NEAR(int32_t(VXMeasureTextLine(text, 8, kEncodingUTF8, 36, kTextLineScaled)), width, 1);
}

TEST_F(RendererText, StyleOfTheCurrentState) {
    const uint32_t small = VXMeasureTextBytes("Plexa", -1, kEncodingUTF8, false);
    txStyle* saved = VXPreserveTextStyle();
    ASSERT_NE(saved, nullptr);
    VXSetTextSize(24);
    EXPECT_GT(VXMeasureTextBytes("Plexa", -1, kEncodingUTF8, false), small + small / 2);
    VXSetUIFont(4);
    EXPECT_EQ(style_->size, 1);
    char name[256];
    GetStyleFont(style_, name);
    EXPECT_STREQ(name, "<uifont_4>");
    VXRestoreTextStyle(saved);
    EXPECT_EQ(VXMeasureTextBytes("Plexa", -1, kEncodingUTF8, false), small);
    txStyle* copy = CreateTextStyle(nullptr, nullptr);
    EXPECT_EQ(VXGetTextStyle(copy), copy);
    EXPECT_EQ(copy->size, 12);
    DestroyTextStyle(copy);
}

}  // namespace
}  // namespace plexa
