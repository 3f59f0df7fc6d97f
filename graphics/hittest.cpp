// Pixel hit testing over a 16 x 16 grey image drawn through an off-screen window.
#include "graphics/hittest.h"

#include <algorithm>
#include <cstdint>

#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"

namespace plexa {
namespace {

constexpr int32_t kHalf = 8, kSide = 16;
constexpr uint8_t kDark = 64;

VXPixels* gHitTestImage = nullptr;
VXGrafState* gHitTestWindow = nullptr;
LRect gHitTestBounds = {};
VXGrafState* gHitTestSavedWindow = nullptr;
VXGrafState* gHitTestTargetWindow = nullptr;
bool gHitTestRunning = false;

bool Within16(int32_t value) { return value >= -32000 && value <= 32000; }

}  // namespace

void StartPixelHitTestEx(VXGrafState* window, _LPNT point) {
    gHitTestSavedWindow = VXGetCurrentGrafState();
    gHitTestTargetWindow = window;
    // Points within 8 of the coordinate limits are moved inside them.
    const int32_t h = std::clamp(point.h, INT32_MIN + kHalf, INT32_MAX - kHalf);
    const int32_t v = std::clamp(point.v, INT32_MIN + kHalf, INT32_MAX - kHalf);
    gHitTestBounds = {v - kHalf, h - kHalf, v + kHalf, h + kHalf};
    if (!gHitTestImage) gHitTestImage = VXCreateEmptyPixelImage(kSide, kSide, 0);
    // The window owner may have destroyed the window; the image then has no owner.
    if (gHitTestWindow && (!gHitTestImage || gHitTestImage->owner != gHitTestWindow))
        gHitTestWindow = nullptr;
    if (!gHitTestWindow && gHitTestImage) {
        gHitTestWindow = VXCreateOffScreenGrafState(gHitTestImage, 0, nullptr);
        if (gHitTestWindow) {
            VXSetCurrentGrafState(gHitTestWindow);
            VXAntialiasGraphics(false);
        }
    }
    if (!gHitTestWindow) {
        VXSetCurrentGrafState(gHitTestSavedWindow);
        gHitTestRunning = false;
        return;
    }
    gHitTestRunning = true;
    VXSetCurrentGrafState(gHitTestWindow);
    VXSetOrigin(gHitTestWindow, gHitTestBounds.left, gHitTestBounds.top);
    ResetPixelHitTest();
}

void StartPixelHitTest(uint32_t point) {
    StartPixelHitTestEx(nullptr, {int16_t(point & 0xFFFF), int16_t(point >> 16)});
}

void ResetPixelHitTest() {
    if (!gHitTestWindow) return;
    VXGrafState* previous = VXSetCurrentGrafState(gHitTestWindow);
    QZSetColor(gHitTestWindow->port, kVXDefaultBackColor, true);
    QZSetColor(gHitTestWindow->port, kVXDefaultForeColor, false);
    if (Within16(gHitTestBounds.top) && Within16(gHitTestBounds.left)) {
        Rect r{};
        Rect32To16(&gHitTestBounds, &r);
        VXEraseRect(&r);
    } else {
        VXLRectDispatch(&gHitTestBounds, 2);
    }
    VXSetCurrentGrafState(previous);
}

bool HitTestPixels(int32_t dh, int32_t dv) {
    if (!gHitTestRunning || !gHitTestWindow || !gHitTestImage) return false;
    VXFlushGraphics(gHitTestWindow);
    // Tolerances beyond 7 would reach past the image's edge.
    const int32_t left = std::max(0, kHalf - dh), right = std::min(kSide - 1, kHalf + dh);
    const int32_t top = std::max(0, kHalf - dv), bottom = std::min(kSide - 1, kHalf + dv);
    for (int32_t y = top; y <= bottom; y++) {
        const uint8_t* row = gHitTestImage->bits + size_t(y) * gHitTestImage->rowBytes;
        for (int32_t x = left; x <= right; x++)
            if (row[x] < kDark) return true;
    }
    return false;
}

void StopPixelHitTest() {
    if (gHitTestRunning) VXSetCurrentGrafState(gHitTestSavedWindow);
    gHitTestRunning = false;
    gHitTestSavedWindow = nullptr;
    gHitTestTargetWindow = nullptr;
}

VXGrafState* GetPixelHitTestTarget() { return gHitTestTargetWindow; }

}  // namespace plexa
