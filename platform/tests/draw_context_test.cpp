// The drawing context on its own: grey and ARGB surfaces, the current path under a
// transform, arcs to points, rectangle-list clips and transparency layers.
#include "platform/draw_context.h"

#include <QImage>

#include <gtest/gtest.h>

#include <vector>

#include "platform/draw_context_qt.h"

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

}  // namespace
}  // namespace plexa
