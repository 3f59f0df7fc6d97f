// Pixel hit testing: candidates drawn with the ordinary procedures around a point, tested at
// points on and off them with several tolerances.
#include "graphics/hittest.h"

#include <gtest/gtest.h>

#include <functional>

#include "foundation/memory.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/tests/pixels_testwindow.h"

namespace plexa {
namespace {

class HitTest : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        plexa::test::InstallTestOffScreenWindows();
        saved_ = VXGetCurrentGrafState();
    }
    void TearDown() override {
        StopPixelHitTest();
        VXSetCurrentGrafState(saved_);
    }
    VXGrafState* saved_ = nullptr;
};

void Line(int32_t h1, int32_t v1, int32_t h2, int32_t v2, int32_t pen) {
    VXPenNormal();
    VXSetPenWidth(pen);
    VXMoveTo(h1, v1);
    VXLLine(h2 - h1, v2 - v1);
}

TEST_F(HitTest, CandidatesOnAndOffThePoint) {
    const Rect circle = {80, 80, 120, 120};
    struct Case {
        const char* name;
        std::function<void()> draw;
        int32_t h, v, tolerance;
        bool hit;
    };
    const Case cases[] = {
        {"thin line through the point", [] { Line(90, 100, 110, 100, 1); }, 100, 100, 0, true},
        {"thin line 3 below, tolerance 2", [] { Line(90, 103, 110, 103, 1); }, 100, 100, 2, false},
        {"thin line 3 below, tolerance 3", [] { Line(90, 103, 110, 103, 1); }, 100, 100, 3, true},
        {"thin line 3 above, tolerance 2", [] { Line(90, 97, 110, 97, 1); }, 100, 100, 2, false},
        {"thin line 3 above, tolerance 3", [] { Line(90, 97, 110, 97, 1); }, 100, 100, 3, true},
        {"thick line across the point", [] { Line(100, 90, 100, 110, 6); }, 102, 100, 0, true},
        {"thick line 5 away, tolerance 1", [] { Line(90, 105, 110, 105, 6); }, 100, 100, 1, false},
        {"thick line 5 away, tolerance 2", [] { Line(90, 105, 110, 105, 6); }, 100, 100, 2, true},
        {"arc at its top", [&] { VXPenNormal(); VXArcDispatch(&circle, 0, 90, 0); }, 100, 80, 0, true},
        {"arc at its right", [&] { VXPenNormal(); VXArcDispatch(&circle, 0, 90, 0); }, 119, 100, 1, true},
        {"arc, the quarter not drawn", [&] { VXPenNormal(); VXArcDispatch(&circle, 0, 90, 0); }, 80, 100, 2, false},
        {"arc, its centre", [&] { VXPenNormal(); VXArcDispatch(&circle, 0, 90, 0); }, 100, 100, 7, false},
        {"filled oval, centre", [&] { VXOvalDispatch(&circle, 1); }, 100, 100, 0, true},
        {"filled oval, far away", [&] { VXOvalDispatch(&circle, 1); }, 200, 200, 7, false},
        {"filled oval, bounds corner", [&] { VXOvalDispatch(&circle, 1); }, 80, 80, 3, false},
        {"filled oval, near the corner", [&] { VXOvalDispatch(&circle, 1); }, 80, 80, 7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartPixelHitTestEx(nullptr, {c.v, c.h});
        c.draw();
        EXPECT_EQ(HitTestPixels(c.tolerance, c.tolerance), c.hit);
        StopPixelHitTest();
    }
}

// Tolerance 7 covers 15 x 15 pixels; larger ones stay inside the image.
TEST_F(HitTest, ToleranceSquare) {
    StartPixelHitTest((uint32_t(50) << 16) | uint16_t(int16_t(-40)));
    const Rect dot = {-47, 43, -46, 44};  // 7 up and 7 left of the point
    VXRectDispatch(&dot, 1);
    EXPECT_TRUE(HitTestPixels(7, 7));
    EXPECT_FALSE(HitTestPixels(6, 7));
    EXPECT_FALSE(HitTestPixels(7, 6));
    ResetPixelHitTest();
    EXPECT_FALSE(HitTestPixels(7, 7));
    const Rect edge = {-48, 42, -47, 43};  // 8 up and 8 left: the image's first pixel
    VXRectDispatch(&edge, 1);
    EXPECT_FALSE(HitTestPixels(7, 7));
    EXPECT_TRUE(HitTestPixels(100, 100));
    EXPECT_FALSE(HitTestPixels(-1, 3));
}

// Far points erase with the 32-bit rectangle procedure: a reset clears what was drawn.
TEST_F(HitTest, FarPointsEraseWithTheLongRectangle) {
    for (int32_t h : {40000, -40000}) {
        SCOPED_TRACE(h);
        StartPixelHitTestEx(nullptr, {100, h});
        const LRect r = {90, h - 10, 110, h + 10};
        VXLRectDispatch(&r, 1);
        EXPECT_TRUE(HitTestPixels(0, 0));
        ResetPixelHitTest();
        EXPECT_FALSE(HitTestPixels(7, 7));
        StopPixelHitTest();
    }
}

TEST_F(HitTest, StartAndStopKeepTheCurrentWindow) {
    EXPECT_FALSE(HitTestPixels(7, 7));
    VXPixels* image = VXCreateEmptyPixelImage(4, 4, 0);
    VXGrafState* window = plexa::test::NewTestOffScreenWindow(image);
    StartPixelHitTestEx(window, {10, 10});
    EXPECT_NE(VXGetCurrentGrafState(), window);
    EXPECT_EQ(GetPixelHitTestTarget(), window);
    const Rect r = {10, 10, 11, 11};
    VXRectDispatch(&r, 1);
    EXPECT_TRUE(HitTestPixels(0, 0));
    EXPECT_EQ(image->bits[0], 255);  // the caller's window was not drawn into
    StopPixelHitTest();
    EXPECT_EQ(VXGetCurrentGrafState(), window);
    EXPECT_EQ(GetPixelHitTestTarget(), nullptr);
    EXPECT_FALSE(HitTestPixels(0, 0));
    StopPixelHitTest();
    EXPECT_EQ(VXGetCurrentGrafState(), window);
    plexa::test::FreeTestOffScreenWindow(window);
    VXDestroyPixelImage(image);
}

}  // namespace
}  // namespace plexa
