// The drawing-procedure sets, pen scaling, the clip stack, the origin and the interface helpers.
// A recording table stands in for the renderer, so that each case shows the renderer calls that
// a drawing call turns into.
#include "graphics/grafprocs.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs_ui.h"
#include "graphics/regions.h"
#include "graphics/render.h"

namespace plexa {
namespace {

std::vector<std::string> gLog;
bool gLogColours = false;

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Pen(const QZPort* p) {
    std::string s = Fmt(" pen%d", p->penSize);
    if (gLogColours) s += Fmt(" #%08X", (uint32_t(p->fore.brush) << 24) | p->fore.rgb);
    return s;
}
std::string Fill(const QZPort* p, bool back) {
    std::string s = back ? " back" : " fore";
    if (gLogColours && !back) s += Fmt(" #%08X", (uint32_t(p->fore.brush) << 24) | p->fore.rgb);
    return s;
}
std::string R(const XRect& r) { return Fmt("%g,%g %gx%g", r.x, r.y, r.width, r.height); }

void Log(std::string s) { gLog.push_back(std::move(s)); }

// The recording renderer: each call is logged; calls that move the pen move it as the
// renderer does.
const VXRendererOps kRecorder = {
    [](QZPort* p, int32_t h, int32_t v) {
        Log(Fmt("line %d,%d-%d,%d", p->pen.h, p->pen.v, h, v) + Pen(p));
        p->pen = {v, h};
    },
    [](QZPort* p, int32_t h, int32_t v) {
        Log(Fmt("lineQD %d,%d-%d,%d", p->pen.h, p->pen.v, h, v) + Pen(p));
        p->pen = {v, h};
    },
    [](QZPort*, int32_t h, int32_t v) { Log(Fmt("pathLine %d,%d", h, v)); },
    [](QZPort* p, const XRect& r) { Log("strokeRect " + R(r) + Pen(p)); },
    [](QZPort* p, const XRect& r, bool back) { Log("fillRect " + R(r) + Fill(p, back)); },
    [](QZPort* p, const XRect& r, double radius) {
        Log("strokeRRect " + R(r) + Fmt(" r%g", radius) + Pen(p));
    },
    [](QZPort* p, const XRect& r, double radius, bool back) {
        Log("fillRRect " + R(r) + Fmt(" r%g", radius) + Fill(p, back));
    },
    [](QZPort* p, const XRect& r, int32_t start, int32_t arc) {
        Log("strokeArc " + R(r) + Fmt(" %d+%d", start, arc) + Pen(p));
    },
    [](QZPort* p, const XRect& r, int32_t start, int32_t arc, bool back) {
        Log("fillArc " + R(r) + Fmt(" %d+%d", start, arc) + Fill(p, back));
    },
    [](QZPort* p, const Point* pts, int32_t n) {
        std::string s = "framePoly";
        for (int32_t i = 0; i < n; i++) s += Fmt(" %d,%d", pts[i].h, pts[i].v);
        Log(s + Pen(p));
    },
    [](QZPort* p, const Point* pts, int32_t n, double offset, bool back) {
        std::string s = "fillPoly";
        for (int32_t i = 0; i < n; i++) s += Fmt(" %d,%d", pts[i].h, pts[i].v);
        Log(s + Fmt(" +%g", offset) + Fill(p, back));
    },
    [](QZPort* p, const _LPNT* pts, const int32_t* radii, uint32_t n) {
        std::string s = "framePath";
        for (uint32_t i = 0; i < n; i++) s += Fmt(" %d,%d", pts[i].h, pts[i].v);
        if (radii)
            for (uint32_t i = 0; i < n; i++) s += Fmt(" r%d", radii[i]);
        Log(s + Pen(p));
        p->pen = pts[n - 1];
    },
    [](QZPort* p, const _LPNT* pts, const int32_t*, uint32_t n, bool back) {
        std::string s = "fillPath";
        for (uint32_t i = 0; i < n; i++) s += Fmt(" %d,%d", pts[i].h, pts[i].v);
        Log(s + Fill(p, back));
    },
    [](QZPort* p, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rotation, uint32_t code) {
        Log(Fmt("rectangle %d,%d-%d,%d rot%d code%u", x1, y1, x2, y2, rotation, code) + Pen(p));
    },
    [](QZPort* p, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t d, int32_t rotation,
       uint32_t code) {
        Log(Fmt("roundedRectangle %d,%d-%d,%d d%d rot%d code%u", x1, y1, x2, y2, d, rotation, code) +
            Pen(p));
    },
    [](QZPort* p, int32_t h, int32_t v, int32_t w, int32_t hgt, int32_t start, int32_t arc,
       int32_t rotation, uint32_t code) {
        Log(Fmt("ellipse %d,%d %dx%d %d+%d rot%d code%u", h, v, w, hgt, start, arc, rotation, code) +
            Pen(p));
    },
};

// A current graphics state over a port without a context, drawing into the recorder.
class GrafFixture : public ::testing::Test {
protected:
    void SetUp() override {
        VXInitGraf();
        state_.port = QZPortAlloc(nullptr);
        previousOps_ = VXSetRendererOps(&kRecorder);
        previous_ = VXSetCurrentGrafState(&state_);
        gLog.clear();
        gLogColours = false;
    }
    void TearDown() override {
        VXSetCurrentGrafState(previous_);
        VXSetRendererOps(previousOps_);
        QZPortFree(state_.port);
        state_.port = nullptr;
    }
    void SetZoom(int32_t percent) {
        SetWindowScaleFactors(&state_.geometry, int32_t(int64_t(kFixed24One) * percent / 100),
                              int32_t(int64_t(kFixed24One) * percent / 100));
    }
    std::vector<std::string> Take() {
        std::vector<std::string> out;
        out.swap(gLog);
        return out;
    }

    VXGrafState state_;
    VXGrafState* previous_ = nullptr;
    const VXRendererOps* previousOps_ = nullptr;
};

using Strings = std::vector<std::string>;

constexpr Rect kRect = {10, 10, 20, 30};  // top, left, bottom, right

// The current table (the render slots have no dispatcher).
const VXGrafProcsRecord* Procs() {
    const VXGrafState* s = VXGetCurrentGrafState();
    return s->grafProcs ? s->grafProcs : VXGetStdGrafProcs();
}

struct Call {
    const char* name;
    std::function<void()> draw;
};

const Call kCalls[] = {
    {"line", [] { VXMoveTo(10, 10); VXLineTo(20, 30); }},
    {"frame rect", [] { VXRectDispatch(&kRect, 0); }},
    {"paint rect", [] { VXRectDispatch(&kRect, 1); }},
    {"erase rect", [] { VXRectDispatch(&kRect, 2); }},
    {"verb 3 rect", [] { VXRectDispatch(&kRect, 3); }},
    {"frame oval", [] { VXOvalDispatch(&kRect, 0); }},
    {"verb 3 oval", [] { VXOvalDispatch(&kRect, 3); }},
    {"frame round rect", [] { VXRoundRectDispatch(&kRect, 8, 6, 0); }},
    {"paint arc", [] { VXArcDispatch(&kRect, 45, 90, 1); }},
    {"verb 3 arc", [] { VXArcDispatch(&kRect, 45, 90, 3); }},
    {"frame poly",
     [] {
         const Point pts[] = {{10, 10}, {10, 20}, {20, 15}};
         VXPolyDispatch(pts, 3, 0);
     }},
    {"paint poly",
     [] {
         const Point pts[] = {{10, 10}, {10, 20}, {20, 15}};
         VXPolyDispatch(pts, 3, 1);
     }},
    {"round line", [] { VXMoveTo(5, 5); VXRoundLine(10, 0, 3); }},
    {"L frame rect",
     [] {
         const LRect r = {100000, 5, 100010, 25};
         VXLRectDispatch(&r, 0);
     }},
    {"L poly with radii",
     [] {
         const _LPNT pts[] = {{0, 0}, {0, 40}, {30, 40}};
         const int32_t radii[] = {0, 5, 0};
         VXLPolyDispatch(pts, radii, 3, 0);
     }},
    {"render rect verb 3",
     [] {
         const _LPNT c = {50, 50}, size = {20, 31};
         Procs()->renderRect(&c, &size, 0, 0, 3);
     }},
    {"render rect verb 4 rounded",
     [] {
         const _LPNT c = {50, 50}, size = {20, 31};
         Procs()->renderRect(&c, &size, 6, 450, 4);
     }},
    {"render ellipse frame",
     [] {
         const _LPNT c = {50, 50}, size = {20, 30};
         Procs()->renderEllipse(&c, &size, 0, 3600, 0, 0);
     }},
};

TEST_F(GrafFixture, EachProcedureSetTurnsDrawingCallsIntoRendererCalls) {
    VXGrafProcsRecord centre{}, null{};
    VXSetCenterGrafProcs(&centre);
    VXSetNullGrafProcs(&null);
    struct Set {
        const char* name;
        const VXGrafProcsRecord* procs;
        int32_t pen;
        std::vector<Strings> expected;  // one per call of kCalls
    };
    const Strings none;
    const Set sets[] = {
        {"standard",
         VXGetStdGrafProcs(),
         1,
         {{"lineQD 10,10-20,30 pen1"},
          {"strokeRect 10,10 20x10 pen1"},
          {"fillRect 10,10 20x10 fore"},
          {"fillRect 10,10 20x10 back"},
          {"fillRect 10,10 20x10 fore"},
          {"strokeArc 10,10 20x10 0+360 pen1"},
          none,
          {"strokeRRect 10,10 20x10 r6 pen1"},
          {"fillArc 10,10 20x10 45+90 fore"},
          none,
          {"framePoly 10,10 20,10 15,20 pen1"},
          {"fillPoly 10,10 20,10 15,20 +0 fore"},
          {"line 5,5-15,5 pen1"},
          {"strokeRect 5,100000 20x10 pen1"},
          {"framePath 0,0 40,0 40,30 r0 r5 r0 pen1"},
          none,
          {"roundedRectangle 35,40-66,60 d6 rot450 code3 pen1"},
          {"ellipse 50,50 30x20 0+3600 rot0 code2 pen1"}}},
        {"centre-line pen 1",
         &centre,
         1,
         {{"lineQD 10,10-20,30 pen1"},
          {"strokeRect 10,10 21x11 pen1"},
          {"fillRect 10,10 21x11 fore"},
          {"fillRect 10,10 21x11 back"},
          {"fillRect 10,10 21x11 fore"},
          {"strokeArc 10,10 21x11 0+360 pen1"},
          none,
          {"strokeRRect 10,10 21x11 r6 pen1"},
          {"fillArc 10,10 21x11 45+90 fore"},
          none,
          {"framePoly 10,10 20,10 15,20 pen1"},
          {"fillPoly 10,10 20,10 15,20 +0 fore"},
          {"line 5,5-15,5 pen1"},
          {"strokeRect 5,100000 20x10 pen1"},
          {"framePath 0,0 40,0 40,30 r0 r5 r0 pen1"},
          none,
          {"roundedRectangle 35,40-66,60 d6 rot450 code3 pen1"},
          {"ellipse 50,50 30x20 0+3600 rot0 code2 pen1"}}},
        {"centre-line pen 3",
         &centre,
         3,
         {{"lineQD 9,9-19,29 pen3"},
          {"strokeRect 9,9 23x13 pen3"},
          {"fillRect 10,10 21x11 fore"},
          {"fillRect 10,10 21x11 back"},
          {"fillRect 10,10 21x11 fore"},
          {"strokeArc 9,9 23x13 0+360 pen3"},
          none,
          {"strokeRRect 9,9 23x13 r6 pen3"},
          {"fillArc 10,10 21x11 45+90 fore"},
          none,
          {"framePoly 9,9 19,9 14,19 pen3"},
          {"fillPoly 10,10 20,10 15,20 +0 fore"},
          {"line 5,5-15,5 pen3"},
          {"strokeRect 5,100000 20x10 pen3"},
          {"framePath 0,0 40,0 40,30 r0 r5 r0 pen3"},
          none,
          {"roundedRectangle 35,40-66,60 d6 rot450 code3 pen3"},
          {"ellipse 50,50 30x20 0+3600 rot0 code2 pen3"}}},
        {"null", &null, 1, std::vector<Strings>(std::size(kCalls))},
    };
    for (const Set& set : sets) {
        ASSERT_EQ(set.expected.size(), std::size(kCalls));
        state_.grafProcs = set.procs;
        VXSetPenWidth(set.pen);
        for (size_t i = 0; i < std::size(kCalls); i++) {
            SCOPED_TRACE(std::string(set.name) + ": " + kCalls[i].name);
            Take();
            kCalls[i].draw();
            EXPECT_EQ(Take(), set.expected[i]);
        }
    }
}

TEST_F(GrafFixture, LinesAndPolysLeaveThePenWhereTheCallerPutIt) {
    VXGrafProcsRecord centre{};
    VXSetCenterGrafProcs(&centre);
    for (const VXGrafProcsRecord* procs : {VXGetStdGrafProcs(), static_cast<const VXGrafProcsRecord*>(&centre)}) {
        state_.grafProcs = procs;
        for (int32_t zoom : {100, 300}) {
            SetZoom(zoom);
            VXSetPenWidth(3);
            VXMoveTo(1, 2);
            VXLineTo(20, 30);
            Point pen{};
            VXGetPenPosition(&pen);
            EXPECT_EQ(pen.h, 20);
            EXPECT_EQ(pen.v, 30);
            const Point pts[] = {{10, 10}, {10, 20}, {20, 15}};
            VXPolyDispatch(pts, 3, 0);
            VXGetPenPosition(&pen);
            EXPECT_EQ(pen.h, 15);
            EXPECT_EQ(pen.v, 20);
            EXPECT_EQ(VXGetPenWidth(), 3);
        }
    }
}

TEST_F(GrafFixture, PenScalesWithTheZoom) {
    struct Case {
        int32_t zoom;
        int32_t pens[4];  // drawn width of pens 0, 1, 2, 3
    };
    const Case cases[] = {{25, {0, 1, 1, 1}}, {100, {0, 1, 2, 3}}, {400, {0, 4, 8, 12}}};
    for (const Case& c : cases) {
        SetZoom(c.zoom);
        for (int32_t pen = 0; pen < 4; pen++) {
            SCOPED_TRACE(Fmt("zoom %d pen %d", c.zoom, pen));
            VXSetPenWidth(pen);
            VXFrameRect(&kRect);
            const Strings log = Take();
            ASSERT_EQ(log.size(), 1u);
            EXPECT_NE(log[0].find(Fmt(" pen%d", c.pens[pen])), std::string::npos) << log[0];
            EXPECT_EQ(VXGetPenWidth(), pen);  // put back after the stroke
        }
    }
    // Scaling off, or a pane with a fixed axis: coordinates scale, the pen does not.
    SetZoom(400);
    VXSetPenWidth(2);
    EXPECT_TRUE(VXSetPenWidthScalingEnabled(false));
    VXFrameRect(&kRect);
    EXPECT_EQ(Take(), Strings{"strokeRect 40,40 80x40 pen2"});
    EXPECT_FALSE(VXSetPenWidthScalingEnabled(true));
    state_.geometry.pane = 0;
    VXFrameRect(&kRect);
    EXPECT_EQ(Take(), Strings{"strokeRect 40,10 77x10 pen2"});
}

TEST_F(GrafFixture, ScaledShapes) {
    SetZoom(200);
    VXSetPenWidth(1);
    VXMoveTo(10, 10);
    VXLineTo(20, 30);
    const Point pts[] = {{10, 10}, {10, 20}, {20, 15}};
    VXPolyDispatch(pts, 3, 1);
    const Rect empty = {10, 10, 10, 30};
    VXRectDispatch(&empty, 1);
    VXRoundRectDispatch(&kRect, 8, 6, 2);
    const _LPNT c = {50, 50}, size = {21, 31};
    Procs()->renderRect(&c, &size, 0, 0, 1);
    const _LPNT path[] = {{0, 0}, {0, 40}, {30, 40}};
    const int32_t radii[] = {0, 5, 0};
    VXLPolyDispatch(path, radii, 3, 0);
    EXPECT_EQ(Take(), (Strings{"lineQD 20,20-40,60 pen2", "fillPoly 20,20 40,20 30,40 +1 fore",
                               "fillRRect 20,20 40x20 r12 back",
                               "rectangle 69,79-131,121 rot0 code1 pen1",
                               "framePath 0,0 80,0 80,60 r0 r10 r0 pen2"}));
    Point pen{};
    VXGetPenPosition(&pen);
    EXPECT_EQ(pen.h, 40);
    EXPECT_EQ(pen.v, 30);
}

TEST_F(GrafFixture, CentreLinePolyNeverWritesIntoTheCallersArray) {
    VXGrafProcsRecord centre{};
    VXSetCenterGrafProcs(&centre);
    state_.grafProcs = &centre;
    VXSetPenWidth(5);
    for (int16_t count : {int16_t(3), int16_t(200)}) {
        std::vector<Point> pts(static_cast<size_t>(count));
        for (int16_t i = 0; i < count; i++) pts[size_t(i)] = {int16_t(100 + i), int16_t(50 + i)};
        const std::vector<Point> before = pts;
        VXPolyDispatch(pts.data(), count, 0);
        const Strings log = Take();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].rfind("framePoly 48,98 49,99", 0), 0u) << log[0];
        for (size_t i = 0; i < pts.size(); i++) {
            EXPECT_EQ(pts[i].h, before[i].h);
            EXPECT_EQ(pts[i].v, before[i].v);
        }
    }
}

TEST_F(GrafFixture, OpenCaptureRecordsTheShortSlotsAndDrawsTheOthers) {
    static Strings recorded;
    recorded.clear();
    static const VXDisplayListRecorder recorder = {
        [](VXGrafState*, const void*, int32_t count, uint32_t) { recorded.push_back(Fmt("text %d", count)); },
        [](VXGrafState*, int16_t h, int16_t v, uint8_t width, uint8_t round) {
            recorded.push_back(Fmt("line %d,%d w%d round%d", h, v, width, round));
        },
        [](VXGrafState*, const Rect*, int8_t verb) { recorded.push_back(Fmt("rect %d", verb)); },
        [](VXGrafState*, const Rect*, int8_t verb) { recorded.push_back(Fmt("oval %d", verb)); },
        [](VXGrafState*, const Rect*, int16_t w, int16_t h, int8_t verb) {
            recorded.push_back(Fmt("rrect %d,%d %d", w, h, verb));
        },
        [](VXGrafState*, const Rect*, int16_t s, int16_t a, int8_t verb) {
            recorded.push_back(Fmt("arc %d+%d %d", s, a, verb));
        },
        [](VXGrafState*, const Point*, int16_t n, int8_t verb) { recorded.push_back(Fmt("poly %d %d", n, verb)); },
    };
    const VXDisplayListRecorder* previous = VXSetDisplayListRecorder(&recorder);
    int capture = 0;
    state_.displayList = &capture;
    VXDrawTextWithEncoding("abc", 3, 0);
    VXLineTo(4, 5);
    VXRectDispatch(&kRect, 1);
    VXOvalDispatch(&kRect, 0);
    VXRoundRectDispatch(&kRect, 4, 6, 0);
    VXArcDispatch(&kRect, 10, 20, 2);
    const Point pts[] = {{1, 1}, {2, 2}};
    VXPolyDispatch(pts, 2, 0);
    VXMoveTo(0, 0);
    VXRoundLine(7, 8, 3);
    const LRect l = {1, 2, 3, 4};
    VXLRectDispatch(&l, 1);  // 32-bit slots always draw
    state_.displayList = nullptr;
    VXSetDisplayListRecorder(previous);
    EXPECT_EQ(recorded, (Strings{"text 3", "line 4,5 w0 round0", "rect 1", "oval 0", "rrect 4,6 0",
                                 "arc 10+20 2", "poly 2 0", "line 7,8 w3 round1"}));
    EXPECT_EQ(Take(), Strings{"fillRect 2,1 2x2 fore"});
}

TEST(GrafState, WithoutACurrentStateNothingDrawsAndSettersGiveDefaults) {
    VXGrafState* previous = VXSetCurrentGrafState(nullptr);
    VXMoveTo(1, 1);
    VXLineTo(5, 5);
    VXFrameRect(&kRect);
    VXPenNormal();
    Point pen{3, 3};
    VXGetPenPosition(&pen);
    EXPECT_EQ(pen.h, 0);
    EXPECT_EQ(pen.v, 0);
    EXPECT_EQ(VXGetPenWidth(), 0);
    EXPECT_TRUE(VXSetPenWidthScalingEnabled(false));
    EXPECT_TRUE(VXSetCapRound(false));
    EXPECT_EQ(VXSetOpacity(0.5), 1.0);
    EXPECT_FALSE(VXSetClearMode(true));
    EXPECT_FALSE(VXAntialiasGraphics(true));
    EXPECT_EQ(VXSetDrawMode(2), 0);
    EXPECT_EQ(VXGetTextMode(), 1);
    Rect out{};
    CalcCenteredFrame(&kRect, &out, 0);
    EXPECT_TRUE(VXEqualRect(&out, &kRect));
    VXSetCurrentGrafState(previous);
}

TEST_F(GrafFixture, PenStateAndModes) {
    VXSetPenWidth(4);
    VXMoveTo(-7, 9);
    EXPECT_EQ(VXSetDrawMode(2), 0);
    EXPECT_EQ(VXGetDrawMode(), 0);
    VXPenState saved{};
    VXGetPenState(&saved);
    EXPECT_EQ(saved.h, -7);
    EXPECT_EQ(saved.v, 9);
    EXPECT_EQ(saved.drawMode, 2);
    EXPECT_EQ(saved.penSize, 4);
    VXPenRubberband();
    EXPECT_EQ(VXGetPenWidth(), 1);
    EXPECT_EQ(state_.port->dashOn, 1);
    EXPECT_EQ(state_.port->dashOff, 2);
    EXPECT_EQ(state_.drawMode, 0);
    VXPenNormal();
    EXPECT_EQ(state_.port->dashOn, 0);
    VXSetPenState(&saved);
    EXPECT_EQ(VXGetPenWidth(), 4);
    EXPECT_EQ(state_.drawMode, 2);
    EXPECT_EQ(state_.port->pen.h, -7);
    EXPECT_EQ(VXSetTextRotation(90), 0);
    EXPECT_EQ(VXSetTextRotation(0), 90);
}

TEST_F(GrafFixture, ClipStack) {
    QZPort* port = state_.port;
    // A pop without a push changes nothing.
    VXPopClip(&state_);
    EXPECT_EQ(port->clip, nullptr);

    // No clip is unbounded: the intersection is the other operand; popping gives no clip again.
    const LRect a = {10, 10, 50, 60};
    VXRgn* rgn = VXCreateRgn(&a);
    VXSectClipRgn(&state_, rgn, true);
    EXPECT_TRUE(EqualRect32(&port->clip->bounds, &a));
    const Rect b = {20, 0, 40, 30};
    VXSectClipRect(&state_, &b, true);
    const LRect ab = {20, 10, 40, 30};
    EXPECT_TRUE(EqualRect32(&port->clip->bounds, &ab));
    VXPopClip(&state_);
    EXPECT_TRUE(EqualRect32(&port->clip->bounds, &a));
    VXPopClip(&state_);
    EXPECT_EQ(port->clip, nullptr);
    VXPopClip(&state_);
    EXPECT_EQ(port->clip, nullptr);

    // An empty clip stays empty across a push and a pop.
    const LRect nothing = {0, 0, 0, 0};
    VXRgn* empty = VXCreateRgn(&nothing);
    QZSetClipRgn(port, empty);
    VXSectClipRgn(&state_, rgn, true);
    EXPECT_TRUE(VXIsEmptyRgn(port->clip));
    VXPopClip(&state_);
    ASSERT_NE(port->clip, nullptr);
    EXPECT_TRUE(VXIsEmptyRgn(port->clip));

    // Items still pushed go with the state.
    VXPushClip(&state_);
    VXPushClip(&state_);
    VXDestroyRgn(rgn);
    VXDestroyRgn(empty);
}

// A clip given in drawing coordinates covers at every zoom what drawing that rectangle covers:
// scaled like a drawn rectangle in a scaled window, as given in one that is not.
TEST_F(GrafFixture, DrawingClipsScaleWithTheZoom) {
    const Rect area = {-8, 76, 345, 457};
    for (int32_t zoom : {25, 50, 100, 150, 200, 400, 800}) {
        SCOPED_TRACE(zoom);
        SetZoom(zoom);
        VXSectDrawingClipRect(&state_, &area, true);
        ASSERT_NE(state_.port->clip, nullptr);
        LRect drawn = {area.top, area.left, area.bottom, area.right};
        if (zoom != 100) LRectToNoEmptyScale(&state_.geometry, &drawn);
        EXPECT_TRUE(EqualRect32(&state_.port->clip->bounds, &drawn));
        if (zoom >= 200) {
            EXPECT_GE(state_.port->clip->bounds.right, 457 * zoom / 100);
        }
        VXPopClip(&state_);
        EXPECT_EQ(state_.port->clip, nullptr);
    }
}

const XRect kPaneView = {40, 70, 200, 100};  // x (h), y (v), width, height
bool PaneView(const WindowGeometry*, int, XRect* out) {
    *out = kPaneView;
    return true;
}
Strings gTranslations;

TEST_F(GrafFixture, OriginKeepsWhatAPaneCannotScroll) {
    struct Case {
        uint8_t kind;
        int8_t pane;
        int32_t h, v;       // the port origin after VXSetOrigin(100, 200)
        const char* moved;  // TranslatePanelOrigin arguments, empty when not called
    };
    const Case cases[] = {
        {kWindowOnScreen, -1, 100, 200, "-60,-130"}, {kWindowOnScreen, 0, 100, 70, "-60,0"},
        {kWindowOnScreen, 1, 40, 200, "0,-130"},     {kWindowOnScreen, 2, 40, 70, "0,0"},
        {kWindowOffScreen, -1, 100, 200, ""},
    };
    const PaneBoundsHook previousBounds = GetPaneBoundsHook();
    SetPaneBoundsHook(PaneView);
    VXGrafHooks hooks;
    hooks.translatePanelOrigin = [](VXGrafState*, int32_t dh, int32_t dv) {
        gTranslations.push_back(Fmt("%d,%d", dh, dv));
    };
    VXSetGrafHooks(hooks);
    for (const Case& c : cases) {
        SCOPED_TRACE(Fmt("kind %d pane %d", c.kind, c.pane));
        gTranslations.clear();
        state_.geometry.kind = c.kind;
        state_.geometry.pane = c.pane;
        VXSetCurrentGrafState(nullptr);
        VXSetOrigin(&state_, 100, 200);
        EXPECT_EQ(VXGetCurrentGrafState(), nullptr);
        EXPECT_EQ(state_.port->origin.h, c.h);
        EXPECT_EQ(state_.port->origin.v, c.v);
        EXPECT_EQ(gTranslations, *c.moved ? Strings{c.moved} : Strings{});
        _LPNT origin{};
        VXGetOrigin(&state_, &origin);
        EXPECT_EQ(origin.h, c.kind == kWindowOnScreen ? 40 : 100);
        EXPECT_EQ(origin.v, c.kind == kWindowOnScreen ? 70 : 200);
    }
    VXSetGrafHooks(VXGrafHooks{});
    SetPaneBoundsHook(previousBounds);
}

TEST_F(GrafFixture, InterfaceHelpers) {
    gLogColours = true;  // brushes show as their number in the high byte
    VXSetPenWidth(3);
    QZSetColor(state_.port, 0x00123456, false);
    VXDrawSeparator(10, 20, 110, 22, 0);
    VXDrawSeparator(10, 20, 12, 80, 0);
    const Rect r = {10, 20, 30, 60};
    VXDrawPrimaryFrame(&r, 0x00FF0000);
    EXPECT_EQ(Take(), (Strings{"lineQD 10,20-110,20 pen1 #09000000", "lineQD 10,21-110,21 pen1 #0B000000",
                               "lineQD 10,20-10,80 pen1 #09000000", "lineQD 11,20-11,80 pen1 #0B000000",
                               "fillRect 20,10 40x20 fore #00FF0000",
                               "strokeRect 20,10 41x21 pen1 #0B000000",
                               "strokeRect 19,9 41x21 pen1 #09000000"}));
    // Pen and colour are put back.
    EXPECT_EQ(VXGetPenWidth(), 3);
    EXPECT_EQ(VXGetForeColor(), 0x00123456u);

    VXDrawPopupArrowButton(&state_, &r, kPopupArrowDisabled);
    const Strings disabled = Take();
    ASSERT_EQ(disabled.size(), 7u);  // outline, inside, arrow painted and framed
    EXPECT_EQ(disabled[0], "lineQD 21,10-58,10 pen1 #09000000");
    EXPECT_EQ(disabled[4], "fillRect 21,11 38x18 fore #0A000000");
    EXPECT_EQ(disabled[5], "fillPoly 37,18 43,18 40,21 37,18 +0 fore #09000000");
    VXDrawPopupArrowButton(&state_, &r, kPopupArrowPressed);
    EXPECT_EQ(Take().size(), 11u);  // with the bevel

    const LRect view = {0, 0, 100, 200}, update = {50, 60, 300, 300};
    VXEraseUpdate(&state_, &view, &update);
    VXEraseUpdate(&state_, &view, nullptr);
    EXPECT_EQ(Take(), (Strings{"fillRect 55,45 150x60 back", "fillRect -5,-5 210x110 back"}));
}

// The standard set wired to the real renderer: a frame at 200 % with pen 1 is 2 pixels wide.
struct Bitmap {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(40 * 40, 0xFF);
};
int32_t OffScreen(void*) { return kQZWindowOffScreen; }
bool Image(void* w, QZBitmap* out) {
    *out = {static_cast<Bitmap*>(w)->pixels.data(), 40, 40, 40, DrawPixelFormat::kGrey8};
    return true;
}

TEST(GrafRender, StandardFrameAtZoomDrawsTheScaledPen) {
    VXInitGraf();
    QZWindowHooks hooks;
    hooks.kind = OffScreen;
    hooks.image = Image;
    QZSetWindowHooks(hooks);
    Bitmap bitmap;
    VXGrafState state;
    state.port = QZPortAlloc(&bitmap);
    ASSERT_NE(QZInstallContext(state.port), nullptr);
    QZSetFocus(state.port, -1);
    SetWindowScaleFactors(&state.geometry, 2 * kFixed24One, 2 * kFixed24One);
    VXGrafState* previous = VXSetCurrentGrafState(&state);
    const Rect r = {5, 5, 15, 15};
    VXFrameRect(&r);
    VXSetCurrentGrafState(previous);
    QZReleaseContext(state.port);
    QZPortFree(state.port);
    state.port = nullptr;
    auto dark = [&](int x, int y) { return bitmap.pixels[size_t(y * 40 + x)] < 64; };
    for (int x : {9, 10, 11, 12, 29, 30}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(dark(x, 20), x == 10 || x == 11 || x == 28 || x == 29);
    }
}

}  // namespace
}  // namespace plexa
