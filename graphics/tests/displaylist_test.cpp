// Display lists: the stored bytes the recorder writes, playing them back through a window's
// drawing procedures under every orientation, byte swapping, and walks over corrupt lists.
#include "graphics/displaylist.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/fonts.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const char* text) {
    Bytes out;
    int nibbles = 0;
    uint8_t value = 0;
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else continue;
        value = uint8_t(value << 4 | d);
        if (++nibbles % 2 == 0) out.push_back(value), value = 0;
    }
    return out;
}

Bytes HandleBytes(Handle h) {
    const uint32_t size = SizeOfHandle(h);
    return size ? Bytes(reinterpret_cast<uint8_t*>(*h), reinterpret_cast<uint8_t*>(*h) + size)
                : Bytes();
}

// ---- A drawing-procedure table that writes each call as a line ----
//
// While an expectation transform is set the calls are logged as a list played under it would
// draw them (the test's statement of what orientation and offset do); otherwise as they come.
struct Expectation {
    bool on = false;
    int32_t orientation = 0;
    bool exact = false;
    Point offset{0, 0};
};

std::string gLog;
Expectation gExpect;

void Logf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Logf(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    gLog += buffer;
    gLog += '\n';
}

Point Place(Point p) {
    if (!gExpect.on) return p;
    if (gExpect.orientation) VXTransformPoints(gExpect.orientation, &p, 1);
    return {int16_t(p.v + gExpect.offset.v), int16_t(p.h + gExpect.offset.h)};
}

Rect PlaceRect(Rect r) {
    if (!gExpect.on) return r;
    if (gExpect.orientation && gExpect.exact) {
        Point c[2] = {{r.top, r.left}, {r.bottom, r.right}};
        VXTransformPoints(gExpect.orientation, c, 2);
        VXPt2Rect(c[0], c[1], &r);
    } else if (gExpect.orientation) {
        VXTransformGrafRect(gExpect.orientation, &r);
    }
    VXOffsetRect(&r, gExpect.offset.h, gExpect.offset.v);
    return r;
}

Point PenNow() {
    Point p;
    VXGetPenPosition(&p);
    return p;
}

const char* StateText() {
    static char buffer[96];
    const VXGrafState* s = VXGetCurrentGrafState();
    std::snprintf(buffer, sizeof buffer, "w%d fg%08X bg%08X", VXGetPenWidth(), VXGetForeColor(),
                  VXGetBackColor());
    (void)s;
    return buffer;
}

void LogText(const void* text, int32_t count, uint32_t) {
    if (gExpect.on && gExpect.orientation) return;  // texts are not drawn turned
    const Point pen = Place(PenNow());
    const txStyle* style = VXGetCurrentGrafState()->textStyle;
    Logf("text (%d,%d) \"%.*s\" font \"%s\" size %u face %u", pen.v, pen.h, int(count),
         static_cast<const char*>(text), std::string(FontNameOf(style->fontName)).c_str(),
         style->size, style->face);
}

void LogLine(int16_t h, int16_t v) {
    const Point pen = Place(PenNow()), to = Place({v, h});
    Logf("line (%d,%d)-(%d,%d) %s", pen.v, pen.h, to.v, to.h, StateText());
    VXMoveTo(h, v);
}

void LogRoundLine(int16_t h, int16_t v, uint8_t width) {
    const Point pen = Place(PenNow()), to = Place({v, h});
    Logf("round line (%d,%d)-(%d,%d) width %u", pen.v, pen.h, to.v, to.h, width);
    VXMoveTo(h, v);
}

void LogShape(const char* name, const Rect* r, int8_t verb) {
    const Rect p = PlaceRect(*r);
    Logf("%s (%d,%d,%d,%d) verb %d %s", name, p.top, p.left, p.bottom, p.right, verb, StateText());
}

void LogRect(const Rect* r, int8_t verb) { LogShape("rect", r, verb); }
void LogOval(const Rect* r, int8_t verb) { LogShape("oval", r, verb); }

void LogRRect(const Rect* r, int16_t w, int16_t h, int8_t verb) {
    if (gExpect.on && (gExpect.orientation & 1)) std::swap(w, h);
    LogShape("round rect", r, verb);
    Logf("  corners %d %d", w, h);
}

void LogArc(const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    if (gExpect.on && gExpect.orientation) VXTransformArc(gExpect.orientation, &start, arc);
    LogShape("arc", r, verb);
    Logf("  angles %d %d", start, arc);
}

void LogPoly(const Point* points, int16_t count, int8_t verb) {
    std::string line = "poly verb " + std::to_string(verb) + ":";
    for (int i = 0; i < count; ++i) {
        const Point p = Place(points[i]);
        line += " (" + std::to_string(p.v) + "," + std::to_string(p.h) + ")";
    }
    Logf("%s", line.c_str());
    if (count > 0) VXMoveTo(points[count - 1].h, points[count - 1].v);
}

bool LogComment(int16_t kind, void* data, int32_t length, bool swapped, void*) {
    std::string line = "comment " + std::to_string(kind) + (swapped ? " swapped:" : ":");
    for (int32_t i = 0; i < length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", static_cast<uint8_t*>(data)[i]);
        line += hex;
    }
    Logf("%s", line.c_str());
    return false;
}

VXGrafProcsRecord LogTable() {
    VXGrafProcsRecord t;
    VXSetNullGrafProcs(&t);
    t.text = LogText;
    t.line = LogLine;
    t.rect = LogRect;
    t.oval = LogOval;
    t.rRect = LogRRect;
    t.arc = LogArc;
    t.poly = LogPoly;
    t.roundLine = LogRoundLine;
    return t;
}

class DisplayListTest : public ::testing::Test {
protected:
    void SetUp() override {
        VXInitGraf();
        port_ = QZPortAlloc(nullptr);
        window_.port = port_;
        window_.textStyle = CreateTextStyle(nullptr, nullptr);
        VXSetCurrentGrafState(&window_);
        logTable_ = LogTable();
        gLog.clear();
        gExpect = {};
        // Texts measure 0 unless a test lays them out, so that pen positions are fixed.
        previousTextHooks_ = VXSetTextHooks(&kNoTextLayout);
    }
    void TearDown() override {
        VXSetTextHooks(previousTextHooks_);
        if (window_.displayList) MemFree(VXCloseDisplayList(&window_));
        VXSetCurrentGrafState(nullptr);
        window_.port = nullptr;
        QZPortFree(port_);
        DestroyTextStyle(window_.textStyle);
        window_.textStyle = nullptr;
    }

    // Resets the window to what a capture and a play start from.
    void ResetWindow() {
        QZSetDefaultGraphicsState(port_, true);
        SetupDefaultStyle(window_.textStyle, kStyleUser);
    }

    // Records what draw does through the window's standard procedures; the list's bytes.
    template <class Draw>
    Bytes Record(uint32_t flags, Point origin, Draw draw) {
        ResetWindow();
        window_.grafProcs = nullptr;
        EXPECT_TRUE(VXOpenDisplayList(&window_, nullptr, origin, flags));
        draw();
        DisplayList list = VXCloseDisplayList(&window_);
        EXPECT_NE(list, nullptr);
        Bytes bytes = HandleBytes(list);
        MemFree(list);
        return bytes;
    }

    // Plays bytes into the logging table; the log.
    std::string Play(const Bytes& bytes, Point point, uint32_t flags, int32_t* result = nullptr,
                     DLCommentProc proc = LogComment) {
        gLog.clear();
        window_.grafProcs = &logTable_;
        Handle h = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        const int32_t r = VXPlayDisplayList(&window_, h, point, flags, proc, nullptr);
        if (result) *result = r;
        MemFree(h);
        window_.grafProcs = nullptr;
        return gLog;
    }

    static constexpr VXTextHooks kNoTextLayout{};
    const VXTextHooks* previousTextHooks_ = nullptr;
    QZPort* port_ = nullptr;
    VXGrafState window_;
    VXGrafProcsRecord logTable_{};
};

constexpr const char* kHead = "03 06 34 12 00 00 00 00 30 01";

Bytes WithHead(const char* body) { return Hex((std::string(kHead) + " " + body).c_str()); }

// ---- Recording: the stored bytes ----

TEST_F(DisplayListTest, EmptyCaptureIsHeaderEncodingAndEnd) {
    EXPECT_EQ(Record(0, {0, 0}, [] {}), Hex("03 06 34 12 00 00 00 00 30 01 00 FF"));
    EXPECT_EQ(Record(0, {2, -1}, [] {}), Hex("03 06 34 12 02 00 FF FF 30 01 00 FF"));
}

TEST_F(DisplayListTest, LinesUseRelativeFormsWithin127) {
    auto draw = [] {
        VXMoveTo(10, 10);
        VXLineTo(10, 110);   // dv 100
        VXLineTo(10, 300);   // dv 190: absolute
        VXRoundLine(5, 0, 3);
        VXRoundLine(0, -200, 4);
        VXSetPenWidth(2);
        VXLineTo(300, 300);
    };
    EXPECT_EQ(Record(kDLSymbolCapture, {0, 0}, draw),
              WithHead("08 00 0A 0A  18 00 64 00  12 00 2C 01 0A 00  38 03 00 05"
                       "  22 04 64 00 0F 00  06 02  12 00 2C 01 2C 01  00 FF"));
    EXPECT_EQ(Record(kDLSymbolCapture | kDLNoRelative, {0, 0}, draw),
              WithHead("02 00 0A 00 0A 00  12 00 6E 00 0A 00  12 00 2C 01 0A 00"
                       "  22 03 2C 01 0F 00  22 04 64 00 0F 00  06 02  12 00 2C 01 2C 01  00 FF"));
}

TEST_F(DisplayListTest, StateRecordsAreWrittenWhenTheyChange) {
    Bytes bytes = Record(0, {0, 0}, [this] {
        QZSetColor(port_, 0x00FF0000, false);
        VXLineTo(5, 5);
        VXLineTo(6, 6);  // nothing changed: only the line
        QZSetColor(port_, 0x00FF0000, true);
        Rect r{0, 0, 1, 1};
        VXRectDispatch(&r, 2);
        VXSetPenWidth(300);
        VXRectDispatch(&r, 1);  // paint does not flush the pen width
        VXDrawTextWithEncoding("a", 1, kEncodingUTF8);
    });
    EXPECT_EQ(bytes, WithHead("01 00 00 00 FF 00  80 00 00 00 00 00 00 00 00 00  18 00 05 05"
                              "  18 00 01 01  11 00 00 00 FF 00  05 32 00 00 01 01"
                              "  05 31 00 00 01 01  20 00  86 01 61 00  00 FF"));
}

TEST_F(DisplayListTest, TextForms) {
    struct Case {
        const char* name;
        std::function<void()> draw;
        const char* body;
    };
    std::string long300(300, 'x');
    const Case cases[] = {
        {"at the pen", [] { VXDrawTextWithEncoding("abc", 3, kEncodingUTF8); },
         "86 03 61 62 63 00"},
        {"after a short move",
         [] {
             VXMove(5, 0);
             VXDrawTextWithEncoding("abc", 3, kEncodingUTF8);
         },
         "A6 05 00 05 61 62 63 00"},
        {"second text is absolute",
         [] {
             VXDrawTextWithEncoding("ab", 2, kEncodingUTF8);
             VXDrawTextWithEncoding("xy", 2, kEncodingUTF8);
         },
         "86 02 61 62  96 06 00 00 00 00 78 79"},
        {"far move", [] {
             VXMoveTo(1000, 2);
             VXDrawTextWithEncoding("q", -1, kEncodingUTF8);
         },
         "96 05 02 00 E8 03 71 00"},
        {"Mac Roman is recorded as UTF-8", [] { VXDrawTextWithEncoding("\x8E", 1, 0); },
         "86 02 C3 A9"},
        {"UTF-16 is recorded as UTF-8", [] { VXDrawTextWithEncoding(u"\u00e9!", -1, kEncodingUTF16LE); },
         "86 03 C3 A9 21 00"},
        {"half a UTF-16 unit is dropped", [] { VXDrawTextWithEncoding(u"\u00e9!", 3, kEncodingUTF16LE); },
         "86 02 C3 A9"},
        {"empty text records nothing", [] { VXDrawTextWithEncoding("", 0, kEncodingUTF8); }, ""},
        {"font, size and face",
         [this] {
             SetStyleFont(window_.textStyle, "Mono");
             SetStyleSize(window_.textStyle, 300);
             SetStyleFace(window_.textStyle, kFaceBold);
             VXDrawTextWithEncoding("a", 1, kEncodingUTF8);
         },
         "13 06 4D 6F 6E 6F 00 00  16 00 2C 01  28 00 01 00  86 01 61 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes body = Hex(c.body);
        Bytes expected = Hex(kHead);
        expected.insert(expected.end(), body.begin(), body.end());
        expected.push_back(0x00), expected.push_back(0xFF);
        EXPECT_EQ(Record(kDLSymbolCapture, {0, 0}, c.draw), expected);
    }

    // 300 bytes: parameter 0 and the length as a word, no pad.
    const Bytes bytes = Record(kDLSymbolCapture, {0, 0}, [&] {
        VXDrawTextWithEncoding(long300.data(), 300, kEncodingUTF8);
    });
    ASSERT_EQ(bytes.size(), 10u + 4 + 300 + 2);
    EXPECT_EQ(Bytes(bytes.begin() + 10, bytes.begin() + 14), Hex("86 00 2C 01"));
}

TEST_F(DisplayListTest, TextMovesThePenByItsWidth) {
    VXSetTextHooks(nullptr);  // the renderer's text
    const uint32_t width = VXMeasureTextBytes("ab", 2, kEncodingUTF8, false);
    EXPECT_GT(width, 0u);
    const Bytes bytes = Record(kDLSymbolCapture, {0, 0}, [] {
        VXDrawTextWithEncoding("ab", 2, kEncodingUTF8);
        VXDrawTextWithEncoding("xy", 2, kEncodingUTF8);
    });
    Bytes expected = WithHead("86 02 61 62  96 06 00 00 00 00 78 79  00 FF");
    expected[18] = uint8_t(width), expected[19] = uint8_t(width >> 8);
    EXPECT_EQ(bytes, expected);
}

TEST_F(DisplayListTest, LongTextIsCutAtACharacterBoundary) {
    std::string text(32759, 'a');
    text += "\xC3\xA9";  // é across 32760
    const Bytes bytes = Record(kDLSymbolCapture, {0, 0}, [&] {
        VXDrawTextWithEncoding(text.data(), int32_t(text.size()), kEncodingUTF8);
    });
    ASSERT_EQ(bytes.size(), 10u + 4 + 32759 + 1 + 2);
    EXPECT_EQ(Bytes(bytes.begin() + 10, bytes.begin() + 14), Hex("86 00 F7 7F"));
    EXPECT_EQ(bytes[14 + 32758], 'a');
    EXPECT_EQ(bytes[14 + 32759], 0);  // the pad
}

TEST_F(DisplayListTest, LongFontNameIsCutTo253Bytes) {
    const std::string name(255, 'n');
    const Bytes bytes = Record(kDLSymbolCapture, {0, 0}, [&] {
        SetStyleFont(window_.textStyle, name.c_str());
        VXDrawTextWithEncoding("a", 1, kEncodingUTF8);
    });
    ASSERT_GE(bytes.size(), 12u + 254);
    EXPECT_EQ(bytes[10], 0x13);
    EXPECT_EQ(bytes[11], 254);
    EXPECT_EQ(bytes[12 + 252], 'n');
    EXPECT_EQ(bytes[12 + 253], 0);
    // And it plays back as a 253-byte name.
    int32_t result = 0;
    const std::string log = Play(bytes, {0, 0}, 0, &result);
    EXPECT_EQ(result, 1);
    EXPECT_NE(log.find("font \"" + std::string(253, 'n') + "\""), std::string::npos);
}

TEST_F(DisplayListTest, Shapes) {
    Bytes bytes = Record(kDLSymbolCapture, {0, 0}, [] {
        Rect small{5, 5, 20, 30}, far{-200, 0, 0, 10}, big{0, 0, 300, 300}, empty{40, 40, 40, 40};
        VXRectDispatch(&small, 0);
        VXRectDispatch(&far, 1);
        VXOvalDispatch(&big, 2);
        VXRectDispatch(&empty, 0);
        VXRoundRectDispatch(&small, 8, 6, 0);
        VXArcDispatch(&small, 90, 180, 1);
        const Point tri[3] = {{1, 2}, {3, 4}, {-5, 6}};
        VXPolyDispatch(tri, 3, 0);
        VXPolyDispatch(tri, 0, 0);  // nothing
    });
    EXPECT_EQ(bytes, WithHead("05 30 05 05 0F 19  05 21 38 FF 00 00 C8 0A  15 12 00 00 2C 01 2C 01"
                              "  05 10 28 28 28 00 28 00  85 30 05 05 0F 19 08 00 06 00"
                              "  95 31 05 05 0F 19 5A 00 B4 00"
                              "  04 00 03 00 01 00 02 00 03 00 04 00 FB FF 06 00  00 FF"));
}

TEST_F(DisplayListTest, CommentForms) {
    const uint8_t data[6] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
    Bytes bytes = Record(kDLSymbolCapture, {0, 0}, [&] {
        for (int32_t length = 0; length <= 5; ++length) VXAddDisplayComment(7, data, length);
        VXAddDisplayComment(300, data, 2);
        VXAddDisplayComment(0, data, 2);   // no kind: nothing
        VXAddDisplayComment(-3, data, 2);  // nothing
    });
    EXPECT_EQ(bytes, WithHead("26 07  56 07 01 00 A1 00  36 07 A1 A2  56 07 03 00 A1 A2 A3 00"
                              "  46 07 A1 A2 A3 A4  56 07 05 00 A1 A2 A3 A4 A5 00"
                              "  36 00 2C 01 A1 A2  00 FF"));

    // The long forms: 32767 bytes keep the word length, 32768 take the long one.
    for (int32_t length : {32767, 32768}) {
        const std::vector<uint8_t> big(size_t(length), 0x5A);
        bytes = Record(kDLSymbolCapture, {0, 0}, [&] { VXAddDisplayComment(9, big.data(), length); });
        const bool word = length < 32768;
        ASSERT_EQ(bytes.size(), 10u + 2 + (word ? 2 : 4) + size_t(length + 1) / 2 * 2 + 2);
        EXPECT_EQ(bytes[10], word ? 0x56 : 0x66);
        int32_t calls = 0;
        Handle h = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(VXParseDisplayList(
                      h, kDLPlayHandlers, {0, 0}, 0,
                      [](int16_t kind, void* d, int32_t n, bool, void* ref) {
                          EXPECT_EQ(kind, 9);
                          EXPECT_EQ(static_cast<uint8_t*>(d)[n - 1], 0x5A);
                          ++*static_cast<int32_t*>(ref);
                          return false;
                      },
                      &calls),
                  1);
        EXPECT_EQ(calls, 1);
        MemFree(h);
    }
}

TEST_F(DisplayListTest, CaptureStatus) {
    EXPECT_EQ(VXEndCaptureDisplayList(&window_), kDLNotCapturing);
    EXPECT_EQ(VXCloseDisplayList(&window_), nullptr);
    ASSERT_TRUE(VXOpenDisplayList(&window_, nullptr, {0, 0}, 0));
    EXPECT_FALSE(VXOpenDisplayList(&window_, nullptr, {0, 0}, 0));
    StreamRecord* broken = nullptr;  // a handle stream without a handle cannot grow
    ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(nullptr), &broken), status::kNoErr);
    EXPECT_EQ(VXCaptureDisplayListStream(&window_, {0, 0}, 0, broken), kDLAlreadyCapturing);
    MemFree(VXCloseDisplayList(&window_));
    EXPECT_NE(VXCaptureDisplayListStream(&window_, {0, 0}, 0, broken), status::kNoErr);
    EXPECT_EQ(window_.displayList, nullptr);
    DisposeStream(broken);
}

TEST_F(DisplayListTest, WriteFailuresStick) {
    struct Sink {
        Bytes bytes;
    } sink;
    StreamRecord* stream = nullptr;
    ASSERT_EQ(CreateStream(kStreamObject, StreamTarget::Object(&sink), &stream), status::kNoErr);
    // Takes 12 bytes, then fails.
    stream->writeProc = [](StreamRecord* s, const void* bytes, int32_t count) -> OSStatus {
        auto* sink = static_cast<Sink*>(s->target.object);
        if (sink->bytes.size() + size_t(count) > 12) return -36;
        const auto* b = static_cast<const uint8_t*>(bytes);
        sink->bytes.insert(sink->bytes.end(), b, b + count);
        return status::kNoErr;
    };
    ASSERT_EQ(VXCaptureDisplayListStream(&window_, {0, 0}, kDLSymbolCapture, stream),
              status::kNoErr);
    VXLineTo(5, 5);  // 4 bytes: fails
    VXLineTo(6, 6);  // not even tried
    VXAddDisplayComment(1, nullptr, 0);
    EXPECT_EQ(VXCloseDisplayList(&window_), nullptr);  // not a handle stream: still capturing
    EXPECT_NE(window_.displayList, nullptr);
    EXPECT_EQ(VXEndCaptureDisplayList(&window_), -36);
    EXPECT_EQ(sink.bytes, Hex("03 06 34 12 00 00 00 00 30 01"));
    DisposeStream(stream);
}

// ---- Playing ----

// Draws a bit of everything through the current window's procedures; comments are logged
// here when the window is not capturing (a played list logs them through the comment proc).
void Script(VXGrafState* window) {
    auto comment = [&](int16_t kind, const void* data, int32_t length) {
        if (!window->displayList)
            LogComment(kind, const_cast<void*>(data), length, false, nullptr);
        VXAddDisplayComment(kind, data, length);
    };
    VXMoveTo(10, 20);
    VXLineTo(40, 25);
    VXLineTo(400, 300);
    VXRoundLine(3, 4, 2);
    VXRoundLine(200, 0, 1);
    QZSetColor(window->port, 0x00123456, false);
    VXLineTo(10, 10);
    VXDrawTextWithEncoding("Hi", 2, kEncodingUTF8);
    VXMoveTo(50, 60);
    VXDrawTextWithEncoding("there", 5, kEncodingUTF8);
    QZSetColor(window->port, 0x00654321, true);
    const Rect r1{5, 5, 20, 30}, r2{-200, 0, 0, 10}, r3{10, 10, 50, 90}, r4{0, 0, 40, 60},
        r5{10, 20, 110, 220};
    VXRectDispatch(&r1, 0);
    VXRectDispatch(&r2, 1);
    VXOvalDispatch(&r3, 2);
    VXRoundRectDispatch(&r4, 8, 6, 0);
    VXArcDispatch(&r5, 45, 90, 1);
    const Point tri[5] = {{1, 2}, {30, 4}, {-5, 60}, {7, 7}, {0, 1}};
    VXPolyDispatch(tri, 5, 0);
    std::vector<Point> many;
    for (int i = 0; i < 100; ++i) many.push_back({int16_t(i * 3), int16_t((i * 7) % 50 - 20)});
    VXPolyDispatch(many.data(), int16_t(many.size()), 1);
    VXLine(5, 5);  // from the filled polygon's last point
    comment(5, nullptr, 0);
    const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    comment(300, data, 6);
    SetStyleFont(window->textStyle, "Mono");
    SetStyleSize(window->textStyle, 300);
    VXMoveTo(7, 8);
    VXDrawTextWithEncoding("ok", 2, kEncodingUTF8);
    VXSetPenWidth(2);
    const Rect r6{100, 100, 150, 180};
    VXRectDispatch(&r6, 0);
}

TEST_F(DisplayListTest, RecordThenPlayReproducesTheCallsInEveryOrientation) {
    const Point origin{3, 4}, point{100, 200};
    const Bytes list = Record(0, origin, [this] { Script(&window_); });
    for (uint32_t extra : {0u, kDLPlayExactGeometry | kDLPlayTrackPen}) {
        for (int32_t o = 0; o < 8; ++o) {
            SCOPED_TRACE("orientation " + std::to_string(o) + " flags " + std::to_string(extra));
            // What the script draws, placed as a list played under o would place it.
            ResetWindow();
            window_.grafProcs = &logTable_;
            gLog.clear();
            gExpect = {true, o, (extra & kDLPlayExactGeometry) != 0,
                       {int16_t(point.v - origin.v), int16_t(point.h - origin.h)}};
            Script(&window_);
            const std::string expected = gLog;
            gExpect = {};
            int32_t result = 0;
            EXPECT_EQ(Play(list, point, uint32_t(o) | extra, &result), expected);
            EXPECT_EQ(result, 1);
        }
    }
}

TEST_F(DisplayListTest, TurnedPlayCompensatesThePenWidthAndDrawsNoText) {
    const Bytes list = Record(kDLSymbolCapture, {0, 0}, [] {
        VXMoveTo(10, 10);
        VXSetPenWidth(3);
        VXLineTo(20, 10);   // short
        VXLineTo(200, 10);  // long
        VXDrawTextWithEncoding("x", 1, kEncodingUTF8);
    });
    // Orientation 2 turns (v, h) into (-v, -h); width 3 shifts lines by (-2, -2).
    EXPECT_EQ(Play(list, {0, 0}, 2),
              "line (-12,-12)-(-12,-22) w3 fg07000000 bg0BFFFFFF\n"
              "line (-12,-22)-(-12,-202) w3 fg07000000 bg0BFFFFFF\n");
    // Exact geometry: no shift.
    EXPECT_EQ(Play(list, {0, 0}, 2 | kDLPlayExactGeometry),
              "line (-10,-10)-(-10,-20) w3 fg07000000 bg0BFFFFFF\n"
              "line (-10,-20)-(-10,-200) w3 fg07000000 bg0BFFFFFF\n");
}

TEST_F(DisplayListTest, CommentProcCanStopTheWalk) {
    const Bytes list = Record(kDLSymbolCapture, {0, 0}, [] {
        Rect r{0, 0, 5, 5};
        VXRectDispatch(&r, 1);
        VXAddDisplayComment(1, nullptr, 0);
        VXRectDispatch(&r, 2);
    });
    int32_t result = 0;
    const std::string log =
        Play(list, {0, 0}, 0, &result, [](int16_t, void*, int32_t, bool, void*) { return true; });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(log, "rect (0,0,5,5) verb 1 w1 fg07000000 bg0BFFFFFF\n");
}

TEST_F(DisplayListTest, PlayFlagsKeepTheWindowsTextStyle) {
    const Bytes list = Record(kDLSymbolCapture, {0, 0}, [] {
        VXDrawTextWithEncoding("a", 1, kEncodingUTF8);
    });
    txStyle defaults{};
    SetupDefaultStyle(&defaults, kStyleUser);
    SetStyleSize(window_.textStyle, 77);
    const std::string kept = Play(list, {0, 0}, kDLNoTextStyle);
    EXPECT_NE(kept.find("size 77"), std::string::npos) << kept;
    const std::string reset = Play(list, {0, 0}, 0);
    EXPECT_NE(reset.find("size " + std::to_string(defaults.size) + " "), std::string::npos) << reset;
}

// ---- Byte order ----

// A list as a big-endian writer writes it, and its native form.
const char* kBigEndian =
    "03 06 12 34 00 01 00 02  30 01  01 00 00 12 34 56  02 00 00 0A 00 14  18 00 01 02"
    "  22 03 01 2C 00 0F  13 06 4D 6F 6E 6F 00 00  16 00 01 2C  28 00 00 01  06 00 01 00"
    "  04 00 00 02 00 01 00 02 FF FB 00 06  05 00 00 01 00 02 01 2C 01 2D"
    "  85 30 05 05 0F 19 00 08 00 06  95 31 05 05 0F 19 00 5A 00 B4"
    "  86 03 61 62 63 00  96 06 00 07 00 08 78 79  A6 04 01 02 7A 00"
    "  26 05  36 00 01 2C AB CD  46 07 00 01 00 02  56 07 00 03 00 01 02 00"
    "  66 08 00 00 00 02 12 34  00 FF";
const char* kNative =
    "03 06 34 12 01 00 02 00  30 01  01 00 56 34 12 00  02 00 0A 00 14 00  18 00 01 02"
    "  22 03 2C 01 0F 00  13 06 4D 6F 6E 6F 00 00  16 00 2C 01  28 00 01 00  06 00 00 01"
    "  04 00 02 00 01 00 02 00 FB FF 06 00  05 00 01 00 02 00 2C 01 2D 01"
    "  85 30 05 05 0F 19 08 00 06 00  95 31 05 05 0F 19 5A 00 B4 00"
    "  86 03 61 62 63 00  96 06 07 00 08 00 78 79  A6 04 01 02 7A 00"
    "  26 05  36 00 2C 01 CD AB  46 07 01 00 02 00  56 07 03 00 01 00 02 00"
    "  66 08 02 00 00 00 34 12  00 FF";

// The owner of every comment kind here stores 16-bit words.
bool SwapCommentWords(int16_t, void* data, int32_t length, bool swapped, void*) {
    if (swapped && data) ByteSwapWordArray(data, uint32_t(length) & ~1u);
    return false;
}

TEST_F(DisplayListTest, BigEndianListSwapsToTheNativeList) {
    const Bytes big = Hex(kBigEndian), native = Hex(kNative);
    Handle h = AllocHandleWithData(nullptr, big.data(), uint32_t(big.size()));
    EXPECT_EQ(VXByteSwapDisplayList(h, SwapCommentWords, nullptr), 1);
    EXPECT_EQ(HandleBytes(h), native);
    // Native lists are left alone.
    EXPECT_EQ(VXByteSwapDisplayList(h, SwapCommentWords, nullptr), 1);
    EXPECT_EQ(HandleBytes(h), native);
    MemFree(h);

    // Bytes that are no display list.
    Bytes junk = Hex("01 02 03 04 05 06 07 08");
    h = AllocHandleWithData(nullptr, junk.data(), uint32_t(junk.size()));
    EXPECT_EQ(VXByteSwapDisplayList(h, SwapCommentWords, nullptr), 0);
    EXPECT_EQ(HandleBytes(h), junk);
    MemFree(h);
}

TEST_F(DisplayListTest, SwappedListPlaysLikeTheNativeList) {
    const Bytes big = Hex(kBigEndian);
    Handle h = AllocHandleWithData(nullptr, big.data(), uint32_t(big.size()));
    VXByteSwapDisplayList(h, SwapCommentWords, nullptr);
    const Bytes native = HandleBytes(h);
    MemFree(h);
    int32_t a = 0, b = 0;
    std::string fromBig = Play(big, {5, 6}, 0, &a);
    const std::string fromNative = Play(native, {5, 6}, 0, &b);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
    // Comment data is handed over in the list's order, flagged.
    for (size_t at; (at = fromBig.find(" swapped")) != std::string::npos;) fromBig.erase(at, 8);
    ASSERT_NE(fromNative.find("comment 300: CD AB"), std::string::npos) << fromNative;
    EXPECT_NE(fromBig.find("comment 300: AB CD"), std::string::npos) << fromBig;
    auto dropComments = [](std::string s) {
        std::string out;
        size_t start = 0;
        for (size_t end; (end = s.find('\n', start)) != std::string::npos; start = end + 1)
            if (s.compare(start, 8, "comment ") != 0) out += s.substr(start, end - start + 1);
        return out;
    };
    EXPECT_EQ(dropComments(fromBig), dropComments(fromNative));
    EXPECT_NE(fromNative.find("text (-1,10) \"abc\""), std::string::npos) << fromNative;
}

// ---- Corrupt lists ----

TEST_F(DisplayListTest, CorruptListsAreRefusedWhole) {
    struct Case {
        const char* name;
        const char* bytes;
        int32_t result;
    };
    const Case cases[] = {
        {"whole", "03 06 34 12 00 00 00 00  05 31 00 00 01 01  00 FF", 1},
        {"no end record", "03 06 34 12 00 00 00 00  05 31 00 00 01 01", 0},
        {"header cut short", "03 06 34 12 00 00", 0},
        {"short header parameter", "03 02 34 12  00 FF", 0},
        {"unknown mark", "03 06 99 99 00 00 00 00  05 31 00 00 01 01  00 FF", 0},
        {"no header", "05 31 00 00 01 01  00 FF", 0},
        {"bogus long comment length", "03 06 34 12 00 00 00 00  66 05 00 00 00 70  00 FF", 0},
        {"bogus word comment length", "03 06 34 12 00 00 00 00  56 05 10 00 01 00  00 FF", 0},
        {"bogus polygon count", "03 06 34 12 00 00 00 00  04 00 04 00 01 00 02 00  00 FF", 0},
        {"polygon count past 32767", "03 06 34 12 00 00 00 00  04 00 00 80  00 FF", 0},
        {"unterminated font name", "03 06 34 12 00 00 00 00  13 04 41 42 43 44  00 FF", 0},
        {"text shorter than its point", "03 06 34 12 00 00 00 00  96 02 00 00  00 FF", 0},
        {"relative text shorter than its move", "03 06 34 12 00 00 00 00  A6 01 00 00  00 FF", 0},
        {"class-6 opcode without a rule", "03 06 34 12 00 00 00 00  76 01  00 FF", 0},
        {"rectangle cut short", "03 06 34 12 00 00 00 00  05 01 00 00", 0},
        {"unknown class-F record past the end", "03 06 34 12 00 00 00 00  0F 00 00 10 00 00", 0},
        {"unknown records are skipped", "03 06 34 12 00 00 00 00  0D 00 02 00 AA BB  07 09  00 FF", 1},
    };
    // The stored forms are played and swapped in a pool with a small ceiling: nothing a record
    // claims is allocated before the record was checked against the list.
    test::CappedPool capped(128 * 1024);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = Hex(c.bytes);
        int32_t result = -1;
        const std::string log = Play(bytes, {0, 0}, 0, &result);
        EXPECT_EQ(result, c.result);
        if (c.result == 0) {
            EXPECT_EQ(log, "");
        }
        Handle h = AllocHandleWithData(capped.pool(), bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(VXByteSwapDisplayList(h, SwapCommentWords, nullptr), c.result);
        EXPECT_EQ(HandleBytes(h), bytes);
        EXPECT_EQ(VXPlayDisplayList(&window_, h, {0, 0}, 0, nullptr, nullptr), c.result);
        MemFree(h);
    }
    EXPECT_FALSE(capped.hitCeiling());
    EXPECT_EQ(VXPlayDisplayList(&window_, nullptr, {0, 0}, 0, nullptr, nullptr), 0);
    EXPECT_EQ(VXByteSwapDisplayList(nullptr, nullptr, nullptr), 0);
}

TEST_F(DisplayListTest, DumpPrintsRecordsAndWhereAListBreaks) {
    const Bytes list = WithHead("02 00 0A 00 14 00  05 31 00 00 01 01  13 06 4D 6F 6E 6F 00 00"
                                "  A6 05 00 05 61 62 63 00  56 07 03 00 A1 A2 A3 00  00 FF");
    EXPECT_EQ(DLDumpDisplayList(list.data(), uint32_t(list.size())),
              "000000  03 06  header origin (0,0)\n"
              "000008  30 01  encoding UTF-8\n"
              "00000A  02 00  move to (10,20)\n"
              "000010  05 31  rect verb 1 (0,0,1,1)\n"
              "000016  13 06  font \"Mono\"\n"
              "00001E  A6 05  text after (0,5) \"abc\"\n"
              "000026  56 07  comment kind 7 length 3: A1 A2 A3\n"
              "00002E  00 FF  end\n");
    const std::string cut = DLDumpDisplayList(list.data(), uint32_t(list.size() - 6));
    EXPECT_EQ(cut.substr(cut.rfind("000026")), "000026  56 07  corrupt record (2 bytes left)\n");
    const std::string open = DLDumpDisplayList(list.data(), uint32_t(list.size() - 2));
    EXPECT_EQ(open.substr(open.rfind("00002E")), "00002E  missing end record\n");
}

// ---- Fuzzing ----

TEST_F(DisplayListTest, MutatedAndTruncatedListsNeverReadPastTheirEnd) {
    std::vector<Bytes> seeds = {Record(0, {3, 4}, [this] { Script(&window_); }), Hex(kBigEndian),
                                Hex(kNative)};
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(100000);
    window_.grafProcs = &logTable_;
    uint64_t whole = 0;
    test::CappedPool capped(128 * 1024);
    for (uint64_t i = 0; i < rounds; ++i) {
        Bytes b = seeds[i % seeds.size()];
        const uint32_t kind = rng() % 4;
        if (kind != 1) {  // mutate a few bytes, mostly heads and counts near records
            const int flips = 1 + int(rng() % 4);
            for (int k = 0; k < flips; ++k) b[rng() % b.size()] = uint8_t(rng());
        }
        if (kind >= 1) b.resize(rng() % (b.size() + 1));  // truncate
        // An exactly sized block, so that any read past the end is caught.
        auto bytes = std::make_unique<uint8_t[]>(b.size() + (b.empty() ? 1 : 0));
        std::memcpy(bytes.get(), b.data(), b.size());
        const uint32_t size = uint32_t(b.size());
        gLog.clear();
        VXGrafState* previous = VXSetCurrentGrafState(&window_);
        const int32_t played = VXParseDisplayListBytes(bytes.get(), size, kDLPlayHandlers, {1, 2},
                                                       rng() % 32, LogComment, nullptr);
        VXSetCurrentGrafState(previous);
        whole += played;
        int32_t sum = 0;
        VXParseDisplayListBytes(bytes.get(), size, kDLSwapHandlers, {0, 0}, 0,
                                [](int16_t, void* d, int32_t n, bool, void* ref) {
                                    for (int32_t j = 0; j < n; ++j)
                                        *static_cast<int32_t*>(ref) += static_cast<uint8_t*>(d)[j];
                                    return false;
                                },
                                &sum);
        if (i % 16 == 0) {
            DLDumpDisplayList(bytes.get(), size);
            // The handle forms too (the mutated bytes again, as a stored list would come).
            Handle h = AllocHandleWithData(capped.pool(), b.data(), size);
            VXPlayDisplayList(&window_, h, {0, 0}, uint32_t(rng() % 32), LogComment, nullptr);
            VXByteSwapDisplayList(h, SwapCommentWords, nullptr);
            MemFree(h);
        }
    }
    EXPECT_FALSE(capped.hitCeiling());
    EXPECT_GT(whole, 0u);  // some mutations leave a whole list
}

}  // namespace
}  // namespace plexa
