// The part of a window that the geometry layer reads: its kind, current pane, flag word, the two
// 8.24 scale factors with the values derived from them. The toolkit's window record contains one
// of these records; the geometry and drawing code take a pointer to it and never need the window
// record itself. What only the toolkit knows (pane bounds, screen positions) comes through hooks
// that the toolkit installs at start-up.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

// 8.24 fixed point: 1.0.
constexpr int32_t kFixed24One = 0x1000000;

// Window kinds.
constexpr uint8_t kWindowOnScreen = 0;
constexpr uint8_t kWindowOffScreen = 1;
constexpr uint8_t kWindowPrint = 2;

// Bit of the flag word: drawing is scaled.
constexpr uint32_t kWindowFlagScaled = 0x08;

struct WindowGeometry {
    // 0 on-screen, 1 off-screen image, 2 print; any kind but 0 makes panel and document
    // coordinates share their origin.
    uint8_t kind = kWindowOnScreen;
    // Current pane, which is also the fixed-axis setting: -1 the content pane (no fixed axis),
    // 0 scrolls and scales only horizontally (vertical axis fixed), 1 only vertically (horizontal
    // axis fixed), 2 neither (both fixed). It reads -1 (255) while the content is being updated.
    int8_t pane = -1;
    uint32_t flags = 0;
    int32_t scaleV = kFixed24One;
    int32_t scaleH = kFixed24One;
    // A 100-by-100 box at the current scale, each coordinate at least 1.
    Point scaledBox = {100, 100};
    // Whole part of each factor, at least 1; added to the scaled bottom and right by the no-empty
    // rectangle scaling.
    int16_t wholeScaleV = 1;
    int16_t wholeScaleH = 1;
    // The toolkit's window record that holds this record, for the hooks; null until it has one.
    void* owner = nullptr;
};

// Stores the factors and what follows from them: the scaled flag (set unless both are 1.0),
// the scaled box and the whole scale. Factors of 0 or less are taken as 1.0.
void SetWindowScaleFactors(WindowGeometry* window, int32_t factorV, int32_t factorH);

// Bounds in document coordinates of a pane of the window (negative pane: the whole panel);
// false when the window has none.
using PaneBoundsHook = bool (*)(const WindowGeometry* window, int pane, XRect* out);
// Converts window points to screen coordinates.
using PointsToScreenHook = void (*)(const WindowGeometry* window, Point* points, int32_t count);

void SetPaneBoundsHook(PaneBoundsHook hook);
void SetPointsToScreenHook(PointsToScreenHook hook);
PaneBoundsHook GetPaneBoundsHook();
PointsToScreenHook GetPointsToScreenHook();

}  // namespace plexa
