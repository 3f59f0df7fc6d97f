// Pixel hit testing: instead of computing whether a point lies on a thick line, an arc or a
// filled shape, a caller draws the candidate with the ordinary drawing procedures into a tiny
// off-screen image centred on the point and asks whether a dark pixel lies near the centre.
//
//     StartPixelHitTestEx(window, point);   // the hit-test window is current now
//     draw a candidate; if (HitTestPixels(2, 2)) ...; ResetPixelHitTest(); draw the next ...
//     StopPixelHitTest();                   // the window current before is current again
//
// The image (16 x 16 grey pixels) and its off-screen window are made on first use and kept.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXGrafState;

// Saves the current window, records the target window (may be null), makes the image and the
// window when missing, puts the window's origin at the point minus 8 in both directions so that
// the point falls on pixel (8, 8), and erases the image. Without an off-screen window (none can
// be made) no test runs.
void StartPixelHitTestEx(VXGrafState* window, _LPNT point);
// The point packed in 32 bits: v in the low 16 bits, h in the high 16 bits (both signed).
void StartPixelHitTest(uint32_t point);
// Erases the image to white with the back colour (brush white) and sets the fore colour to
// black.
void ResetPixelHitTest();
// Whether a pixel below 64 lies in columns 8 - dh .. 8 + dh and rows 8 - dv .. 8 + dv (kept
// inside the image); false when no test runs.
bool HitTestPixels(int32_t dh, int32_t dv);
// Makes the window current before the test current again and clears the saved and target
// windows.
void StopPixelHitTest();

// The window named by the caller of the running test, or null.
VXGrafState* GetPixelHitTestTarget();

}  // namespace plexa
