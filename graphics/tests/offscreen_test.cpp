// Off-screen graphics states: drawing into the caller's pixels and measuring text without any
// window, never asking the window owner's hooks about their port (whose owner they do not know),
// the measuring state kept for the program, the scope that makes a state current, and a window's
// state and invalidation through the owner's hooks.
#include "graphics/offscreen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "foundation/strings.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "tests/support/graphics_testing.h"

namespace plexa {
namespace {
const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::TextTestEnvironment);

// A window owner's hooks that must not be asked about a port of this layer's own.
int gOwnerCalls = 0;
QZWindowHooks OwnerHooks() {
    QZWindowHooks hooks;
    hooks.kind = [](void*) { return ++gOwnerCalls, int32_t(kQZWindowOnScreen); };
    hooks.image = [](void*, QZBitmap*) { return ++gOwnerCalls, false; };
    hooks.currentContext = [](void*) -> DrawContext* { return ++gOwnerCalls, nullptr; };
    return hooks;
}

class OffScreen : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QZGetWindowHooks();
        QZSetWindowHooks(OwnerHooks());
        gOwnerCalls = 0;
    }
    void TearDown() override { QZSetWindowHooks(saved_); }
    QZWindowHooks saved_;
};

TEST_F(OffScreen, AStateOverABitmapDrawsIntoItWithoutTheOwnersHooks) {
    std::vector<uint8_t> pixels(40 * 30, 0xFF);
    const QZBitmap bitmap{pixels.data(), 40, 30, 40, DrawPixelFormat::kGrey8};
    VXGrafState* state = VXNewOffScreenState(&bitmap);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(VXTargetOfGrafState(state), nullptr);
    ASSERT_NE(QZInstallContext(state->port), nullptr);
    QZSetFocus(state->port, -1);
    {
        VXGrafStateScope scope(state);
        EXPECT_EQ(VXGetCurrentGrafState(), state);
        const Rect box{5, 10, 15, 30};
        VXRectDispatch(&box, 1);
        VXFlushGraphics(state);
    }
    EXPECT_EQ(VXGetCurrentGrafState(), nullptr);
    const auto ink = std::count_if(pixels.begin(), pixels.end(), [](uint8_t p) { return p < 128; });
    EXPECT_EQ(ink, 10 * 20);
    EXPECT_LT(pixels[size_t(10 * 40 + 20)], 128);
    EXPECT_EQ(pixels[0], 0xFF);
    VXDisposeOffScreenState(state);
    EXPECT_EQ(gOwnerCalls, 0);
}

TEST_F(OffScreen, TheMeasuringStateMeasuresTextAndDrawsNowhere) {
    VXGrafState* measuring = VXGetMeasuringState();
    ASSERT_NE(measuring, nullptr);
    EXPECT_EQ(VXGetMeasuringState(), measuring);
    EXPECT_EQ(QZInstallContext(measuring->port), nullptr);  // no pixels: nothing to draw into
    uint32_t narrow = 0, wide = 0;
    {
        VXGrafStateScope scope(nullptr);  // none given: the measuring state
        EXPECT_EQ(VXGetCurrentGrafState(), measuring);
        narrow = VXMeasureTextBytes("ii", 2, kEncodingUTF8, false);
        wide = VXMeasureTextBytes("WWWW", 4, kEncodingUTF8, false);
        const Rect box{0, 0, 10, 10};
        VXRectDispatch(&box, 1);  // draws nowhere, and does not fail
    }
    EXPECT_GT(narrow, 0u);
    EXPECT_GT(wide, 2 * narrow);
    EXPECT_EQ(gOwnerCalls, 0);
}

TEST_F(OffScreen, AWindowsStateAndInvalidationComeThroughTheOwnersHooks) {
    struct Window {
        VXGrafState* state;
        std::vector<LRect> invalid;
    };
    static Window* gWindow = nullptr;
    Window window{VXNewOffScreenState(nullptr), {}};
    gWindow = &window;
    // Without the owner's hooks there is no state and nothing is invalidated.
    const VXGrafHooks saved = VXGetGrafHooks();
    VXSetGrafHooks(VXGrafHooks{});
    EXPECT_EQ(VXGrafStateOfTarget(&window), nullptr);
    const Rect area{1, 2, 3, 4};
    VXInvalTargetRect(&window, &area);
    VXGrafHooks hooks;
    hooks.ownerState = [](void* target) { return static_cast<Window*>(target)->state; };
    hooks.invalRect = [](void* target, const LRect* rect) {
        EXPECT_EQ(target, gWindow);
        gWindow->invalid.push_back(*rect);
    };
    VXSetGrafHooks(hooks);
    EXPECT_EQ(VXGrafStateOfTarget(&window), window.state);
    EXPECT_EQ(VXGrafStateOfTarget(nullptr), nullptr);
    VXInvalTargetRect(&window, &area);
    VXInvalTargetRect(nullptr, &area);
    VXSetGrafHooks(saved);
    ASSERT_EQ(window.invalid.size(), 1u);
    EXPECT_EQ(window.invalid[0].top, 1);
    EXPECT_EQ(window.invalid[0].right, 4);
    VXDisposeOffScreenState(window.state);
    gWindow = nullptr;
}

}  // namespace
}  // namespace plexa
