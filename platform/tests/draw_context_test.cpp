// The drawing context on its own: grey and ARGB surfaces, the current path under a
// transform, arcs to points, rectangle-list clips, transparency layers, strokes filled as
// rectangles and rings, and state carried from one operation to the next.
#include "platform/draw_context.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/draw_context_qt.h"
#include "platform/tests/twin_surfaces.h"

namespace plexa {
namespace {

struct Grey {
    int w, h;
    std::vector<uint8_t> px;
    std::unique_ptr<DrawContext> ctx;
    Grey(int w_, int h_) : w(w_), h(h_), px(size_t(w_ * h_), 255) {
        ctx = DrawContext::ForPixels(px.data(), w, h, w, DrawPixelFormat::kGrey8);
    }
    uint8_t at(int x, int y) const { return px[size_t(y * w + x)]; }
};

const DrawColor kBlack{0, 0, 0, 1};

TEST(DrawContext, RejectsBadSurfaces) {
    uint8_t byte = 0;
    EXPECT_EQ(DrawContext::ForPixels(nullptr, 4, 4, 4, DrawPixelFormat::kGrey8), nullptr);
    EXPECT_EQ(DrawContext::ForPixels(&byte, 4, 4, 3, DrawPixelFormat::kGrey8), nullptr);
    EXPECT_EQ(DrawContext::ForPixels(&byte, 0, 4, 4, DrawPixelFormat::kARGB32), nullptr);
    EXPECT_EQ(DrawImage::FromPixels(&byte, 2, 2, 1, DrawPixelFormat::kGrey8), nullptr);
}

TEST(DrawContext, PathPointsKeepTheTransformOfTheirAddition) {
    Grey s(20, 20);
    s.ctx->SetFillColor(kBlack);
    s.ctx->SaveState();
    s.ctx->Translate(10, 10);
    s.ctx->AddRect({0, 0, 5, 5});
    s.ctx->RestoreState();
    s.ctx->DrawPath(DrawPathMode::kFill);
    EXPECT_EQ(s.at(12, 12), 0);
    EXPECT_EQ(s.at(2, 2), 255);
    EXPECT_TRUE(s.ctx->PathIsEmpty());
}

TEST(DrawContext, ArcToPointRoundsACorner) {
    Grey s(40, 40);
    s.ctx->SetFillColor(kBlack);
    s.ctx->MoveTo(0, 0);
    s.ctx->AddArcToPoint(30, 0, 30, 30, 10);
    s.ctx->LineTo(30, 30);
    s.ctx->LineTo(0, 30);
    s.ctx->ClosePath();
    s.ctx->DrawPath(DrawPathMode::kFill);
    EXPECT_EQ(s.at(10, 10), 0);
    EXPECT_EQ(s.at(29, 1), 255);  // the corner is cut by the arc
    EXPECT_EQ(s.at(29, 15), 0);
}

TEST(DrawContext, EmptyRectangleListClipsEverything) {
    Grey s(10, 10);
    s.ctx->SetFillColor(kBlack);
    s.ctx->ClipToRects(nullptr, 0);
    s.ctx->FillRect({0, 0, 10, 10});
    EXPECT_EQ(s.at(5, 5), 255);
}

TEST(DrawContext, LayerIsLaidDownWithItsAlpha) {
    std::vector<uint32_t> px(16, 0xFFFFFFFF);
    auto ctx = DrawContext::ForPixels(reinterpret_cast<uint8_t*>(px.data()), 4, 4, 16,
                                      DrawPixelFormat::kARGB32);
    ctx->SetAlpha(0.5);
    ctx->BeginTransparencyLayer();
    ctx->SetFillColor(kBlack);
    ctx->FillRect({0, 0, 4, 4});
    ctx->FillRect({0, 0, 4, 4});  // overlapping drawing inside the layer does not darken more
    ctx->EndTransparencyLayer();
    const uint32_t p = px[5];
    EXPECT_NEAR(int(p & 0xFF), 128, 2);
}

TEST(DrawContext, DrawsIntoAPaintDevice) {
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        auto ctx = DrawContextForPaintDevice(&image);
        ASSERT_NE(ctx, nullptr);
        ctx->SetFillColor({1, 0, 0, 1});
        ctx->FillRect({0, 0, 4, 8});
    }
    EXPECT_EQ(image.pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(6, 1), 0xFFFFFFFFu);
    EXPECT_EQ(DrawContextForPaintDevice(nullptr), nullptr);
}

// Horizontal and vertical strokes, frames and whole ellipses are filled as rectangles or rings
// under a transform that keeps the axes; the same strokes turned by a billionth of a radian
// (which moves nothing by a visible amount, but does not keep the axes) go through the stroker.
// Both cover the same pixels.
TEST(DrawContext, StrokesFilledAsRectanglesMatchTheStroker) {
    enum Shape { kHorizontal, kVertical, kFrame, kEllipse, kSmallEllipse };
    struct Case {
        Shape shape;
        double pen;
        DrawCap cap;
    };
    const Case cases[] = {
        {kHorizontal, 1, DrawCap::kRound}, {kHorizontal, 2, DrawCap::kRound},
        {kVertical, 1, DrawCap::kRound},   {kVertical, 2, DrawCap::kRound},
        {kHorizontal, 1, DrawCap::kButt},  {kVertical, 3, DrawCap::kSquare},
        {kHorizontal, 4, DrawCap::kButt},  {kHorizontal, 3, DrawCap::kRound},
        {kFrame, 1, DrawCap::kButt},       {kFrame, 2, DrawCap::kButt},
        {kFrame, 3, DrawCap::kButt},       {kFrame, 8, DrawCap::kButt},
        {kEllipse, 1, DrawCap::kButt},     {kEllipse, 3, DrawCap::kButt},
        {kSmallEllipse, 1, DrawCap::kButt}, {kSmallEllipse, 2, DrawCap::kButt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "shape " << c.shape << " pen " << c.pen << " cap " << int(c.cap));
        Grey grid(32, 32), turned(32, 32);
        for (Grey* g : {&grid, &turned}) {
            DrawContext& ctx = *g->ctx;
            ctx.SetStrokeColor(kBlack);
            ctx.SetLineWidth(c.pen);
            ctx.SetLineCap(c.cap);
            if (g == &turned) ctx.Rotate(1e-9);
            // Odd pens on pixel centres, even pens on pixel edges, as the renderer places them.
            const double off = std::fmod(c.pen, 2) == 1 ? 0.5 : 0.0;
            switch (c.shape) {
                case kHorizontal:
                    ctx.MoveTo(6 + off, 12 + off);
                    ctx.LineTo(25 + off, 12 + off);
                    ctx.DrawPath(DrawPathMode::kStroke);
                    break;
                case kVertical:
                    ctx.MoveTo(12 + off, 25 + off);
                    ctx.LineTo(12 + off, 6 + off);
                    ctx.DrawPath(DrawPathMode::kStroke);
                    break;
                case kFrame:
                    ctx.StrokeRect({4 + c.pen / 2, 5 + c.pen / 2, 20 - c.pen, 22 - c.pen});
                    break;
                case kEllipse:
                case kSmallEllipse: {
                    // The small one is no wider than the pen: the stroke covers all inside it.
                    const bool small = c.shape == kSmallEllipse;
                    const DrawRectF box = small ? DrawRectF{10, 10, 1.5, 1} : DrawRectF{6, 6, 20, 14};
                    if (!ctx.StrokeEllipse(box)) {
                        ctx.SaveState();
                        ctx.Translate(box.x + box.width / 2, box.y + box.height / 2);
                        ctx.Scale(box.width / 2, box.height / 2);
                        ctx.AddArc(0, 0, 1, 0, 2 * M_PI, false);
                        ctx.RestoreState();
                        ctx.ClosePath();
                        ctx.DrawPath(DrawPathMode::kStroke);
                    }
                    break;
                }
            }
        }
        int worst = 0;
        for (size_t i = 0; i < grid.px.size(); i++) {
            // The stroker leaves a hole in the middle of an ellipse no wider than its pen, where
            // the stroke covers all; there only what the stroker covers counts.
            const int lighter = grid.px[i] - turned.px[i];
            worst = std::max(worst, c.shape == kSmallEllipse ? lighter : std::abs(lighter));
        }
        // The stroker's offset curves run up to about a sixth of a pixel inside the true edges
        // of an ellipse's stroke where the curve turns most.
        EXPECT_LE(worst, c.shape == kEllipse ? 48 : 2);
        if (c.shape == kSmallEllipse) {
            EXPECT_EQ(grid.at(10, 10), 0);
        }
        if (c.shape == kFrame) {
            // On the pixel grid a frame is whole pixels.
            for (uint8_t v : grid.px) ASSERT_TRUE(v == 0 || v == 255) << int(v);
        }
    }
}

// Whole stroked ellipses are drawn once per size, pen, scale, colour and place inside a pixel,
// and laid down as stamps after that. A clip of two rectangles (which stamps do not serve) draws
// every ellipse anew: both give the same pixels, byte for byte, for ellipses at whole and
// fractional places at 100 % and at other scales, in opaque and translucent colours, over one
// another and over a background.
TEST(DrawContext, StampedEllipsesMatchEllipsesDrawnAnew) {
    struct Case {
        double scale, pen;
        DrawColor color;
    };
    const Case cases[] = {
        {1.0, 1, kBlack}, {1.0, 2, DrawColor{0.8, 0.1, 0.2, 1}}, {0.25, 1, kBlack},
        {0.5, 3, DrawColor{0.1, 0.3, 0.9, 0.6}}, {4.0, 1, DrawColor{0.2, 0.6, 0.1, 1}},
        {1.0 / 3, 1, DrawColor{0.5, 0.5, 0.5, 0.3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << " pen " << c.pen);
        test::TwinSurfaces twins(160, 120, 0xFFFFFFFFu, 0xFF40A060u, 7);
        twins.Both([&](DrawContext& ctx) {
            ctx.Scale(c.scale, c.scale);
            ctx.SetStrokeColor(c.color);
            ctx.SetLineWidth(c.pen);
            for (int i = 0; i < 60; i++) {
                const double x = (i % 10) * 13 / c.scale + (i % 4) * 0.25, y = (i / 10) * 17 / c.scale + (i % 3) * 0.5;
                const DrawRectF box = i % 2 ? DrawRectF{x, y, 6, 6} : DrawRectF{x, y, 14, 9};
                ASSERT_TRUE(ctx.StrokeEllipse(box));
            }
        });
        EXPECT_EQ(twins.Differing(), 0u);
    }
}

// Strokes filled as rectangles go straight into the pixels where the target allows it; a clip of
// two rectangles makes the painter fill them. Both give the same pixels, byte for byte, in opaque
// and translucent colours, for lines and frames on whole pixels and for round line ends anywhere
// inside a pixel.
TEST(DrawContext, RectangleStrokesInThePixelsMatchThePainter) {
    for (const DrawColor& color : {kBlack, DrawColor{0.9, 0.2, 0.1, 1}, DrawColor{0.1, 0.4, 0.8, 0.45}}) {
        test::TwinSurfaces twins(96, 64, 0xFFFFFFFFu, 0x80206040u, 5);
        twins.Both([&](DrawContext& ctx) {
            ctx.SetStrokeColor(color);
            for (int i = 0; i < 12; i++) {
                const double pen = 1 + i % 3, off = std::fmod(pen, 2) == 1 ? 0.5 : 0.0;
                ctx.SetLineWidth(pen);
                ctx.SetLineCap(i % 4 == 3 ? DrawCap::kRound : DrawCap::kButt);
                ctx.MoveTo(3 + i * 7 + off, 2 + off);
                ctx.LineTo(3 + i * 7 + off, 40 + off);
                ctx.DrawPath(DrawPathMode::kStroke);
                ctx.MoveTo(1 + off, 4 + i * 5 + off);
                ctx.LineTo(90 + off, 4 + i * 5 + off);
                ctx.DrawPath(DrawPathMode::kStroke);
                ctx.StrokeRect({10 + i * 6 + pen / 2, 30 + pen / 2, 20 - pen, 12 + i - pen});
            }
            // Round ends at every quarter of a pixel along bars on the grid.
            ctx.SetLineCap(DrawCap::kRound);
            ctx.SetLineWidth(1);
            for (int i = 0; i < 16; i++) {
                const double q = i * 0.25;
                ctx.MoveTo(40 + q, 44.5 + (i % 8) * 2);
                ctx.LineTo(46 + q + (i / 8) * 3.75, 44.5 + (i % 8) * 2);
                ctx.DrawPath(DrawPathMode::kStroke);
                ctx.MoveTo(60.5 + i * 2, 40 + q);
                ctx.LineTo(60.5 + i * 2, 47 + q * 1.5);
                ctx.DrawPath(DrawPathMode::kStroke);
            }
            // Flat ends of bars of one pixel and less, one end on the grid.
            ctx.SetLineCap(DrawCap::kButt);
            for (int i = 0; i < 8; i++) {
                const double length = 0.3 + i * 0.2;
                ctx.MoveTo(3 + i * 4, 60.5);
                ctx.LineTo(3 + i * 4 + length, 60.5);
                ctx.DrawPath(DrawPathMode::kStroke);
                ctx.MoveTo(40.5 + i * 3, 58);
                ctx.LineTo(40.5 + i * 3, 58 + length);
                ctx.DrawPath(DrawPathMode::kStroke);
            }
        });
        EXPECT_EQ(twins.Differing(), 0u) << "colour " << color.red << ' ' << color.alpha;
    }
}

// Small outlines repeat at other places (the same shape at the same place inside a pixel, and
// at others): each lands on the pixels the painter gives it there.
TEST(DrawContext, RepeatedSmallOutlinesMatchThePainter) {
    for (const DrawColor& color : {kBlack, DrawColor{0.1, 0.4, 0.8, 0.45}}) {
        test::TwinSurfaces twins(120, 80, 0xFFFFFFFFu, 0x80206040u, 5);
        twins.Both([&](DrawContext& ctx) {
            ctx.SetStrokeColor(color);
            for (int i = 0; i < 40; i++) {
                if (i == 20) ctx.Translate(3, 2);
                const double pen = 1 + i % 3, q = (i % 5) * 0.25;
                ctx.SetLineWidth(pen);
                ctx.SetLineCap(i % 2 ? DrawCap::kRound : DrawCap::kButt);
                const double x = 6 + (i % 10) * 11 + q, y = 6 + (i / 10) * 18 + q;
                // A diamond, closed by its first point, and an open zigzag.
                ctx.MoveTo(x + 2, y);
                ctx.LineTo(x, y + 2);
                ctx.LineTo(x - 2, y);
                ctx.LineTo(x, y - 2);
                ctx.LineTo(x + 2, y);
                ctx.DrawPath(DrawPathMode::kStroke);
                ctx.MoveTo(x - 3, y + 9);
                ctx.LineTo(x, y + 5);
                ctx.LineTo(x + 3, y + 9);
                ctx.DrawPath(DrawPathMode::kStroke);
            }
        });
        EXPECT_EQ(twins.Differing(), 0u) << "colour " << color.red << ' ' << color.alpha;
    }
}

// A round end of a one-pixel line covers its end pixel's half and the cap's half disc.
TEST(DrawContext, RoundEndsCoverTheirArea) {
    Grey s(20, 20);
    s.ctx->SetStrokeColor(kBlack);
    s.ctx->SetLineCap(DrawCap::kRound);
    s.ctx->MoveTo(5.5, 5.5);
    s.ctx->LineTo(14.5, 5.5);
    s.ctx->DrawPath(DrawPathMode::kStroke);
    const double covered = 0.5 + M_PI / 8;
    EXPECT_NEAR(s.at(5, 5), 255 * (1 - covered), 2);
    EXPECT_NEAR(s.at(14, 5), 255 * (1 - covered), 2);
    EXPECT_EQ(s.at(10, 5), 0);
    EXPECT_EQ(s.at(4, 5), 255);
    EXPECT_EQ(s.at(10, 4), 255);
}

// Each operation sets what it needs of the state, whatever the one before left set.
TEST(DrawContext, StateFollowsFromOperationToOperation) {
    Grey s(12, 12);
    s.ctx->SetFillColor(kBlack);
    s.ctx->SaveState();
    s.ctx->ClipToRect({0, 0, 6, 12});
    s.ctx->FillRect({0, 0, 12, 12});
    s.ctx->RestoreState();
    EXPECT_EQ(s.at(2, 2), 0);
    EXPECT_EQ(s.at(8, 2), 255);
    // No clip now, half alpha, moved.
    s.ctx->SaveState();
    s.ctx->SetAlpha(0.5);
    s.ctx->Translate(6, 0);
    s.ctx->FillRect({0, 0, 6, 6});
    s.ctx->RestoreState();
    EXPECT_NEAR(s.at(8, 2), 128, 2);
    EXPECT_EQ(s.at(8, 8), 255);
    // A clip given under a transform, then drawing under the same transform.
    s.ctx->SaveState();
    s.ctx->Translate(6, 6);
    s.ctx->ClipToRect({0, 0, 3, 3});
    s.ctx->FillRect({-6, -6, 12, 12});
    s.ctx->RestoreState();
    EXPECT_EQ(s.at(7, 7), 0);
    EXPECT_EQ(s.at(10, 10), 255);
    EXPECT_EQ(s.at(8, 10), 255);
}

// Rectangles on whole pixels are filled straight into the pixels: what the painter gives, in
// opaque and translucent colours, moved and scaled onto the grid.
TEST(DrawContext, RectangleFillsInThePixelsMatchThePainter) {
    for (const DrawColor& color : {kBlack, DrawColor{0.9, 0.2, 0.1, 1}, DrawColor{0.1, 0.4, 0.8, 0.45}}) {
        test::TwinSurfaces twins(96, 64, 0xFFFFFFFFu, 0x80206040u, 5);
        twins.Both([&](DrawContext& ctx) {
            ctx.SetFillColor(color);
            for (int i = 0; i < 10; i++) ctx.FillRect({double(i * 9), double(i * 5), 7.0 + i, 4.0 + i % 3});
            ctx.FillRect({90, 60, -6, -5});  // given from its far corner
            ctx.FillRect({3, 3, 0, 9});      // empty
            ctx.SaveState();
            ctx.Translate(5, 7);
            ctx.Scale(2, 2);
            ctx.FillRect({1, 1, 4.5, 3});
            ctx.FillRect({10.25, 2, 3, 3});  // off the grid: the painter's
            ctx.RestoreState();
        });
        EXPECT_EQ(twins.Differing(), 0u) << "colour " << color.red << ' ' << color.alpha;
    }
}

// A capture played again at other places gives the pixels drawing the same there gives: line
// ends inside pixels, frames, ellipses, small outlines and fills, over a background that shows
// every blend, overlapping, under a moved origin and a clip.
TEST(DrawContext, CapturesPlayedElsewhereMatchDrawingAnew) {
    const DrawColor colours[3] = {kBlack, DrawColor{0.9, 0.2, 0.1, 1}, DrawColor{0.1, 0.4, 0.8, 0.45}};
    const auto draw = [&](DrawContext& ctx, double x, double y) {
        for (int i = 0; i < 3; i++) {
            ctx.SetStrokeColor(colours[i]);
            ctx.SetFillColor(colours[2 - i]);
            const double pen = 1 + i, off = i == 1 ? 0.0 : 0.5;  // rows on the grid
            ctx.SetLineWidth(pen);
            ctx.SetLineCap(i == 0 ? DrawCap::kRound : DrawCap::kButt);
            ctx.MoveTo(x + 0.5, y + 3 + off + i * 4);
            ctx.LineTo(x + 10.25 + i, y + 3 + off + i * 4);
            ctx.DrawPath(DrawPathMode::kStroke);
            ctx.StrokeRect({x + 12 + pen / 2, y + 2 + pen / 2, 10 - pen, 8 - pen});
            (void)ctx.StrokeEllipse({x + 4 + i * 3, y + 14, 7, 6});  // true: a ring stamped
            ctx.MoveTo(x + 28, y + 4 + i * 3);
            ctx.LineTo(x + 31, y + 7 + i * 3);
            ctx.LineTo(x + 34, y + 4 + i * 3);
            ctx.DrawPath(DrawPathMode::kStroke);
            ctx.FillRect({x + 20 + i * 4, y + 15, 5, 5});
        }
    };
    struct Place {
        int dx, dy;
    };
    const Place places[] = {{0, 0}, {17, 9}, {40, 0}, {3, 30}, {61, 33}, {-5, 44}, {70, -3}};
    test::TwinSurfaces twins(120, 80, 0xFFFFFFFFu, 0x80206040u, 3);
    std::vector<uint32_t> anew = twins.plain;
    auto anewContext = DrawContext::ForPixels(reinterpret_cast<uint8_t*>(anew.data()), 120, 80, 480,
                                              DrawPixelFormat::kARGB32);
    for (DrawContext* ctx : {twins.plainContext.get(), anewContext.get()}) {
        ctx->Translate(4, 3);
        ctx->ClipToRect({-4, -3, 110, 70});
    }
    DrawContext& kept = *twins.plainContext;
    kept.BeginCapture();
    draw(kept, 0, 0);
    const std::shared_ptr<const DrawCapture> capture = kept.EndCapture();
    ASSERT_NE(capture, nullptr);
    EXPECT_GT(DrawContext::CaptureSize(*capture), 10u);
    draw(*anewContext, 0, 0);
    for (size_t i = 1; i < std::size(places); i++) {
        EXPECT_TRUE(kept.PlayCapture(*capture, places[i].dx, places[i].dy));
        draw(*anewContext, places[i].dx, places[i].dy);
    }
    size_t differing = 0;
    for (size_t i = 0; i < anew.size(); i++) differing += anew[i] != twins.plain[i];
    EXPECT_EQ(differing, 0u);
}

// What a capture cannot hold makes it fail: drawing left to the painter, a clip changed while it
// runs; and a target that cannot take a capture refuses to play it, drawing nothing.
TEST(DrawContext, CapturesFailOnWhatTheyCannotHold) {
    test::TwinSurfaces twins(64, 48, 0xFFFFFFFFu, 0xFF000000u, 7);
    DrawContext& ctx = *twins.plainContext;
    ctx.SetStrokeColor(kBlack);
    const auto line = [&] {
        ctx.MoveTo(2.5, 4.5);
        ctx.LineTo(30.5, 4.5);
        ctx.DrawPath(DrawPathMode::kStroke);
    };
    ctx.BeginCapture();
    line();
    const double dash[2] = {2, 2};
    ctx.SetLineDash(0, dash, 2);  // a dashed stroke is the painter's
    line();
    EXPECT_EQ(ctx.EndCapture(), nullptr);
    ctx.SetLineDash(0, nullptr, 0);

    ctx.BeginCapture();
    line();
    ctx.SaveState();
    ctx.ClipToRect({0, 0, 20, 20});
    line();
    ctx.RestoreState();
    EXPECT_EQ(ctx.EndCapture(), nullptr);

    ctx.BeginCapture();
    ctx.BeginCapture();  // a second begin spoils the first
    line();
    EXPECT_EQ(ctx.EndCapture(), nullptr);
    EXPECT_EQ(ctx.EndCapture(), nullptr);  // none running

    ctx.BeginCapture();
    line();
    const std::shared_ptr<const DrawCapture> capture = ctx.EndCapture();
    ASSERT_NE(capture, nullptr);
    const std::vector<uint32_t> before = twins.painter;
    EXPECT_TRUE(twins.plainContext->CanPlayCaptures());
    EXPECT_FALSE(twins.painterContext->CanPlayCaptures());
    EXPECT_FALSE(twins.painterContext->PlayCapture(*capture, 0, 10));  // two clip rectangles
    EXPECT_EQ(twins.painter, before);
    twins.plainContext->SaveState();
    twins.plainContext->SetAlpha(0.5);
    EXPECT_FALSE(twins.plainContext->PlayCapture(*capture, 0, 10));
    twins.plainContext->RestoreState();
    EXPECT_TRUE(twins.plainContext->PlayCapture(*capture, 0, 10));
}

}  // namespace
}  // namespace plexa
