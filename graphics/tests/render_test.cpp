// Pixel tests of the renderer on off-screen surfaces: the pen model of lines and frames,
// arcs, blends, clipping to many rectangles and mask fills.
#include "graphics/render.h"

#include <gtest/gtest.h>

#include "tests/support/graphics_testing.h"

#include <cstring>
#include <set>
#include <vector>

namespace plexa {
namespace {

using test::Surface;

TEST(Render, LinesLandOnThePenPixels) {
    struct Case {
        int32_t pen;
        bool qd;
        std::set<int> rows;  // rows covered at x = 15 by a line from (10, 10) to (20, 10)
    };
    const Case cases[] = {{1, false, {10}}, {1, true, {10}}, {2, false, {9, 10}}, {2, true, {10, 11}},
                          {3, false, {9, 10, 11}}, {3, true, {10, 11, 12}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pen " << c.pen << (c.qd ? " QD" : ""));
        Surface s(30, 30, DrawPixelFormat::kGrey8);
        QZSetPenSize(s.port(), c.pen);
        QZMoveTo(s.port(), 10, 10);
        if (c.qd) QZLineToQD(s.port(), 20, 10);
        else QZLineTo(s.port(), 20, 10);
        EXPECT_EQ(s.port()->pen.h, 20);
        for (int y = 5; y < 16; y++) {
            if (c.rows.count(y)) EXPECT_TRUE(s.dark(15, y)) << "row " << y;
            else EXPECT_TRUE(s.white(15, y)) << "row " << y << " = " << int(s.grey(15, y));
        }
    }
}

TEST(Render, WithoutAContextOnlyThePenMoves) {
    QZPort* port = QZPortAlloc(nullptr);
    QZMoveTo(port, 1, 2);
    QZLineTo(port, 5, 6);
    const _LPNT points[] = {{1, 1}, {3, 4}};
    QZFramePath(port, points, nullptr, 2);
    EXPECT_EQ(port->pen.h, 4);
    EXPECT_EQ(port->pen.v, 3);
    QZDrawRectangle(port, 0, 0, 5, 5, 0, 3);  // nothing to draw into, no crash
    QZPortFree(port);
}

TEST(Render, FramesStayInsideTheirBounds) {
    for (int32_t pen : {1, 2, 3, 4}) {
        SCOPED_TRACE(testing::Message() << "pen " << pen);
        Surface s(24, 24, DrawPixelFormat::kGrey8);
        QZSetPenSize(s.port(), pen);
        QZStrokeRectangleInsideFrame(s.port(), {5, 5, 10, 10});
        for (int y = 0; y < 24; y++)
            for (int x = 0; x < 24; x++) {
                const bool inside = x >= 5 && x < 15 && y >= 5 && y < 15;
                const bool interior = x >= 5 + pen && x < 15 - pen && y >= 5 + pen && y < 15 - pen;
                if (!inside || interior) EXPECT_TRUE(s.white(x, y)) << x << "," << y;
                else EXPECT_TRUE(s.dark(x, y)) << x << "," << y;
            }
    }
}

TEST(Render, StrokedEllipsesStayInsideTheirFrame) {
    struct Case {
        int32_t pen, rotation;
        int left, top, right, bottom;  // the frame on screen
    };
    // Centre (20, 20), 20 wide and 12 high; turned by 90 degrees the frame stands upright.
    const Case cases[] = {{1, 0, 10, 14, 30, 26}, {4, 0, 10, 14, 30, 26}, {4, 900, 14, 10, 26, 30},
                          {3, -2700, 14, 10, 26, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pen " << c.pen << " rotation " << c.rotation);
        Surface s(40, 40, DrawPixelFormat::kGrey8);
        QZSetPenSize(s.port(), c.pen);
        QZDrawEllipse(s.port(), 20, 20, 20, 12, 0, 3600, c.rotation, 0x02);
        int darkest = 255;
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 40; x++) {
                if (x < c.left || x >= c.right || y < c.top || y >= c.bottom) {
                    EXPECT_EQ(s.grey(x, y), 255) << x << "," << y;
                }
            }
        for (int x = c.left; x < c.left + c.pen; x++) darkest = std::min<int>(darkest, s.grey(x, 20));
        EXPECT_LT(darkest, 64);
        EXPECT_TRUE(s.white(20, 20));
    }
}

TEST(Render, ArcsFillTheirQuadrants) {
    // Quadrants as seen on screen: top-right, bottom-right, bottom-left, top-left.
    const int qx[] = {30, 30, 10, 10}, qy[] = {10, 30, 30, 10};
    struct Case {
        int32_t start, arc;
        std::set<int> filled;
    };
    const Case cases[] = {{0, 90, {0}},   {90, 90, {1}},  {180, 90, {2}},         {270, 90, {3}},
                          {0, -90, {3}},  {-90, 180, {3, 0}}, {0, 360, {0, 1, 2, 3}}, {45, -360, {0, 1, 2, 3}}};
    for (const Case& c : cases) {
        for (bool tenths : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.start << "+" << c.arc << (tenths ? " tenths" : ""));
            Surface s(40, 40, DrawPixelFormat::kGrey8);
            if (tenths) QZDrawEllipse(s.port(), 20, 20, 40, 40, c.start * 10, c.arc * 10, 0, 0x01);
            else QZFillEllipticArc(s.port(), {0, 0, 40, 40}, c.start, c.arc, false);
            for (int q = 0; q < 4; q++) {
                if (c.filled.count(q)) EXPECT_TRUE(s.dark(qx[q], qy[q])) << "quadrant " << q;
                else EXPECT_TRUE(s.white(qx[q], qy[q])) << "quadrant " << q;
            }
        }
    }
}

TEST(Render, ExclusionOverWhiteAndBlack) {
    Surface s(20, 10, DrawPixelFormat::kARGB32);
    QZSetColor(s.port(), 0x00FFFFFF, false);
    QZFillRectangle(s.port(), {0, 0, 10, 10}, false);
    QZSetColor(s.port(), 0x00000000, false);
    QZFillRectangle(s.port(), {10, 0, 10, 10}, false);
    QZSetDrawMode(s.port(), 2);
    QZSetColor(s.port(), 0x00FFFFFF, false);
    QZFillRectangle(s.port(), {0, 0, 20, 10}, false);
    EXPECT_EQ(s.argb(5, 5), 0xFF000000u);   // white over white
    EXPECT_EQ(s.argb(15, 5), 0xFFFFFFFFu);  // white over black
    // Clear mode takes over from the blend and leaves transparent pixels.
    QZSetClearMode(s.port(), true);
    QZFillRectangle(s.port(), {0, 0, 5, 5}, false);
    EXPECT_EQ(s.argb(2, 2), 0x00000000u);
}

TEST(Render, ClipToTwoHundredRectangles) {
    Surface s(80, 40, DrawPixelFormat::kGrey8);
    std::unique_ptr<VXRgn, void (*)(VXRgn*)> owner(VXCreateRgn(nullptr), VXDestroyRgn);
    VXRgn* clip = owner.get();
    std::vector<LRect> rects;
    for (int row = 0; row < 10; row++)
        for (int col = 0; col < 20; col++) {
            // 2 by 2 squares with gaps, so that no two merge.
            const LRect r = {row * 4, col * 4, row * 4 + 2, col * 4 + 2};
            rects.push_back(r);
            VXAddRectToRgn(clip, &r);
        }
    ASSERT_EQ(VXGetRgnRects(clip, false, nullptr, 0, true), 200u);
    QZSetClipRgn(s.port(), clip);
    QZFillRectangle(s.port(), {0, 0, 80, 40}, false);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 80; x++) {
            const bool in = VXPointInRgn(x, y, clip);
            ASSERT_EQ(s.grey(x, y), in ? 0 : 255) << x << "," << y;
        }
    // The port keeps its own copy; an empty clip draws nothing.
    VXSetEmptyRgn(clip);
    QZSetClipRgn(s.port(), clip);
    QZSetColor(s.port(), 0x00FFFFFF, false);
    QZFillRectangle(s.port(), {0, 0, 80, 40}, false);
    EXPECT_EQ(s.grey(0, 0), 0);
    VXRgn* got = QZGetClipRgn(s.port(), nullptr);
    EXPECT_EQ(got, nullptr);
}

TEST(Render, MaskFillsWithTheForeColour) {
    Surface s(20, 20, DrawPixelFormat::kARGB32);
    std::vector<uint8_t> mask(10 * 10, 0);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 5; x++) mask[size_t(y * 10 + x)] = 255;
    auto image = DrawImage::FromPixels(mask.data(), 10, 10, 10, DrawPixelFormat::kGrey8);
    QZSetColor(s.port(), 0x000000FF, false);  // blue
    QZSetColor(s.port(), 0x00FF0000, true);   // red back
    QZDrawMask(s.port(), image.get(), nullptr, Rect{5, 5, 15, 15}, true);
    EXPECT_EQ(s.argb(7, 10), 0xFF0000FFu);
    EXPECT_EQ(s.argb(12, 10), 0xFFFF0000u);
    EXPECT_EQ(s.argb(2, 10), 0xFFFFFFFFu);
    EXPECT_EQ(s.argb(10, 17), 0xFFFFFFFFu);

    // Without erasing, only the mask's part shows; a source rectangle picks part of the mask.
    Surface t(20, 20, DrawPixelFormat::kARGB32);
    QZSetColor(t.port(), 0x00000000, false);
    const Rect source = {0, 3, 10, 8};  // columns 3..7: left two opaque, right three clear
    QZDrawMask(t.port(), image.get(), &source, Rect{0, 0, 10, 5}, false);
    EXPECT_EQ(t.argb(1, 5), 0xFF000000u);
    EXPECT_EQ(t.argb(4, 5), 0xFFFFFFFFu);
}

TEST(Render, OriginAndDashAndImage) {
    Surface s(20, 20, DrawPixelFormat::kGrey8);
    QZSetOrigin(s.port(), 10, 10);  // document (10, 10) lands at the surface's (0, 0)
    QZFillRectangle(s.port(), {10, 10, 2, 2}, false);
    EXPECT_TRUE(s.dark(0, 0));
    EXPECT_TRUE(s.white(2, 2));
    QZSetOrigin(s.port(), 0, 0);

    QZSetLineDash(s.port(), 2, 2, 0);
    QZSetCapRound(s.port(), false);
    QZMoveTo(s.port(), 0, 10);
    QZLineTo(s.port(), 16, 10);  // dashes over x 0.5..2.5, 4.5..6.5, ...
    EXPECT_TRUE(s.dark(1, 10));
    EXPECT_TRUE(s.white(3, 10));
    EXPECT_TRUE(s.dark(5, 10));
    EXPECT_TRUE(s.white(7, 10));

    const uint8_t pixels[4] = {0, 255, 255, 0};
    auto image = DrawImage::FromPixels(pixels, 2, 2, 2, DrawPixelFormat::kGrey8);
    QZSetAntialias(s.port(), false);
    QZDrawImage(s.port(), image.get(), nullptr, Rect{14, 14, 18, 18});
    EXPECT_TRUE(s.dark(14, 14));
    EXPECT_TRUE(s.white(16, 14));
    EXPECT_TRUE(s.dark(17, 17));
}

}  // namespace
}  // namespace plexa

namespace plexa {
namespace {

// An on-screen window: the platform hands over the context of the view being drawn.
struct ScreenWindow {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(40 * 40, 255);
    std::unique_ptr<DrawContext> ctx =
        DrawContext::ForPixels(pixels.data(), 40, 40, 40, DrawPixelFormat::kGrey8);
    int32_t currentPane = -9;
};

TEST(Render, OnScreenPaneFocusClipsAndKeepsTheScrolledAxis) {
    QZWindowHooks hooks;
    hooks.kind = [](void*) { return int32_t(kQZWindowOnScreen); };
    hooks.currentContext = [](void* w) { return static_cast<ScreenWindow*>(w)->ctx.get(); };
    hooks.viewAppearance = [](void*) { return 0; };
    hooks.paneBounds = [](void*, int32_t, XRect* bounds) {
        *bounds = {10, 20, 10, 10};  // the pane's view is scrolled to (10, 20)
        return true;
    };
    hooks.setCurrentPane = [](void* w, int32_t pane) { static_cast<ScreenWindow*>(w)->currentPane = pane; };
    QZSetWindowHooks(hooks);
    ScreenWindow window;
    QZPort* port = QZPortAlloc(&window);
    ASSERT_EQ(QZInstallContext(port), window.ctx.get());
    QZSetFocus(port, 1);  // the left strip scrolls only vertically
    EXPECT_EQ(window.currentPane, 1);
    EXPECT_EQ(port->origin.h, 0);
    EXPECT_EQ(port->origin.v, 20);
    QZFillRectangle(port, {0, 0, 40, 40}, false);
    EXPECT_EQ(window.pixels[size_t(25 * 40 + 15)], 0);
    EXPECT_EQ(window.pixels[size_t(5 * 40 + 5)], 255);
    EXPECT_EQ(window.pixels[size_t(25 * 40 + 25)], 255);

    // The strip's h starts at 0 on its left edge (h 10 of the view), whatever the scroll: h 5
    // lands at 15.
    QZSetColor(port, 0x00FFFFFF, false);
    QZFillRectangle(port, {5, 20, 1, 1}, false);
    EXPECT_EQ(window.pixels[size_t(20 * 40 + 15)], 255);
    EXPECT_EQ(window.pixels[size_t(20 * 40 + 14)], 0);
    QZSetColor(port, 0x00000000, false);
    QZFillRectangle(port, {5, 20, 1, 1}, false);

    // A clip set after an origin change keeps that origin: document h 5 is now at the strip's
    // left edge.
    QZSetOrigin(port, 5, 20);
    XRect clip = {0, 20, 40, 40};
    QZSetColor(port, 0x00FFFFFF, false);
    QZSetClipRect(port, &clip);
    QZFillRectangle(port, {5, 20, 5, 5}, false);  // lands at (10, 20) of the view
    EXPECT_EQ(window.pixels[size_t(22 * 40 + 12)], 255);
    EXPECT_EQ(window.pixels[size_t(22 * 40 + 17)], 0);
    QZReleaseContext(port);
    QZPortFree(port);
}

TEST(Render, TransparencyLayerComposesAsOne) {
    Surface s(10, 10, DrawPixelFormat::kGrey8);
    QZSetOpacity(s.port(), 0.5);
    s.port()->layerState = 1;  // wanted by the window owner
    QZFillRectangle(s.port(), {0, 0, 6, 10}, false);
    EXPECT_EQ(s.port()->layerState, 2);
    QZFillRectangle(s.port(), {4, 0, 6, 10}, false);
    QZLayerEnd(s.port());
    EXPECT_EQ(s.port()->layerState, 0);
    EXPECT_NEAR(s.grey(2, 5), 128, 2);
    EXPECT_NEAR(s.grey(5, 5), 128, 2);  // the overlap is not darker
}

}  // namespace
}  // namespace plexa

namespace plexa {
namespace {

TEST(Render, RoundedCornersShrinkToFitAndVanishBelowOnePixel) {
    struct Case {
        double radius;
        bool cornerCut;
    };
    for (const Case& c : {Case{5, true}, Case{0.5, false}}) {
        Surface s(12, 6, DrawPixelFormat::kGrey8);
        QZFillRoundedRectangle(s.port(), {1, 1, 10, 4}, c.radius, false);
        EXPECT_EQ(s.grey(1, 1) > 100, c.cornerCut) << c.radius;
        EXPECT_TRUE(s.dark(5, 2));
        EXPECT_TRUE(s.dark(2, 2));  // radius 5 on a 4-high rectangle is 2: (2, 2) stays inside
    }
}

}  // namespace
}  // namespace plexa
