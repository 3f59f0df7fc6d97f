// Colour values, the theme brush table with its light and dark palettes, and the caches of
// colour objects (one per brush, four recent RGB colours).
#include "graphics/colors.h"

#include <algorithm>
#include <cmath>

#include "graphics/render.h"

namespace plexa {
namespace {

struct RGBEntry {
    QZColorRef color;
    uint32_t rgb;
};

struct ColorGlobals {
    std::array<QZColorRef, kVXBrushCount> brushes;
    std::array<RGBEntry, kVXRGBCacheSize> rgbCache;
    bool dark = false;
    int32_t serial = 0;
    int32_t lastRefreshSerial = -1;
};

ColorGlobals& Globals() {
    static ColorGlobals g;
    return g;
}

constexpr QZColor Rgb(uint32_t rgb, double alpha = 1.0) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}
constexpr QZColor Grey(double g) { return {g, g, g, 1.0}; }

constexpr QZColor kClear = {0, 0, 0, 0};
constexpr QZColor kBlack = Grey(0);
constexpr QZColor kWhite = Grey(1);

// The system colours of the two appearances (brushes 12 to 24 and the ones that differ).
struct Palette {
    QZColor green, windowBackground, textBackground, accent, selectedMenuItemText, windowFrame,
        selectedTextBackground, selectedText, text, disabledControlText, selectedControl,
        focusIndicator, control, contrast, inverseContrast, secondaryGrey;
};

constexpr Palette kLight = {
    {0, 0.5, 0, 1}, Rgb(0xECECEC), kWhite, Rgb(0x007AFF), kWhite, Rgb(0xB4B4B4),
    Rgb(0xB3D7FF), kBlack, kBlack, Rgb(0x000000, 0.25), Rgb(0xB3D7FF),
    Rgb(0x007AFF, 0.5), Rgb(0xECECEC), kBlack, kWhite, Grey(1.0 / 3.0)};

constexpr Palette kDark = {
    {0, 1, 0, 1}, Rgb(0x323232), Rgb(0x1E1E1E), Rgb(0x0A84FF), kWhite, Rgb(0x5A5A5A),
    Rgb(0x3F638B), kWhite, kWhite, Rgb(0xFFFFFF, 0.25), Rgb(0x3F638B),
    Rgb(0x1AA9FF, 0.5), Rgb(0x3C3C3C), kWhite, kBlack, Grey(2.0 / 3.0)};

std::array<RGBEntry, kVXRGBCacheSize>& RgbCache() { return Globals().rgbCache; }

QZColorState* StateOf(QZPort* port, bool back) { return back ? &port->back : &port->fore; }

}  // namespace

uint16_t VXColorBrush(VXColor color) {
    const uint32_t high = color >> 24;
    return (high >= 1 && high <= 28 && color < 0x1D000000) ? uint16_t(high) : 0;
}

QZColor NSColorForThemeBrush(int brush) {
    const Palette& p = Globals().dark ? kDark : kLight;
    switch (brush) {
        case 1: return Rgb(0xFF0000);
        case 2: return p.green;
        case 3: return Rgb(0x0000FF);
        case 4: return Rgb(0x00FFFF);
        case 5: return Rgb(0xFF00FF);
        case 6: return Rgb(0xFFFF00);
        case 7: return kBlack;
        case 8: return Grey(0.266);
        case 9: return Grey(0.5);
        case 10: return Grey(0.733);
        case 11: return kWhite;
        case 12: return p.windowBackground;
        case 13:
        case 14: return p.textBackground;
        case 15: return p.accent;
        case 16: return p.selectedMenuItemText;
        case 17: return p.windowFrame;
        case 18: return p.selectedTextBackground;
        case 19: return p.selectedText;
        case 20: return p.text;
        case 21: return p.disabledControlText;
        case 22: return p.selectedControl;
        case 23: return p.focusIndicator;
        case 24: return p.control;
        case 25: return p.contrast;
        case 26: return p.secondaryGrey;
        case 27: return p.inverseContrast;
        default: return kClear;
    }
}

QZColor NSColorWithColor(VXColor color, bool useBrush) {
    const uint16_t brush = VXColorBrush(color);
    if (useBrush && brush) return NSColorForThemeBrush(brush);
    return Rgb(color & 0xFFFFFF);
}

bool VXGetColorFromNSColor(const QZColor& color, uint32_t* out) {
    const double comps[3] = {color.red, color.green, color.blue};
    uint32_t value = 0;
    for (double c : comps) {
        if (!std::isfinite(c)) return false;
        value = (value << 8) | uint32_t(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
    }
    if (out) *out = value;
    return true;
}

QZColorRef GetCGColorForBrush(int brush) {
    if (brush < 0 || brush >= kVXBrushCount) brush = 0;
    QZColorRef& slot = Globals().brushes[size_t(brush)];
    if (!slot) slot = std::make_shared<const QZColor>(NSColorForThemeBrush(brush));
    return slot;
}

QZColorRef GetCGColorForColorState(QZColorState* state) {
    if (!state) return nullptr;
    if (state->brush) return GetCGColorForBrush(state->brush);
    if (state->color && state->cachedRGB == state->rgb) return state->color;
    state->cachedRGB = state->rgb;
    const uint32_t rgb = state->rgb & 0xFFFFFF;
    auto& cache = RgbCache();
    QZColorRef found;
    for (const RGBEntry& e : cache)
        if (e.color && e.rgb == rgb) found = e.color;  // a hit does not move the entry
    if (!found) {
        // The newest colour goes in front; the oldest falls off the end.
        for (size_t i = cache.size() - 1; i > 0; i--) cache[i] = std::move(cache[i - 1]);
        cache[0] = {std::make_shared<const QZColor>(Rgb(rgb)), rgb};
        found = cache[0].color;
    }
    state->color = found;
    return found;
}

QZColorState* QZSetColor(QZPort* port, VXColor color, bool back) {
    if (!port) port = QZGetCurrentPort();
    if (!port) return nullptr;
    QZColorState* state = StateOf(port, back);
    const uint16_t brush = VXColorBrush(color);
    state->brush = brush;
    state->rgb = brush ? (back ? 0xFFFFFFu : 0u) : (color & 0xFFFFFF);
    return state;
}

VXColor VXGetForeColor() {
    const QZPort* port = QZGetCurrentPort();
    if (!port) return 0x14000000;
    return (uint32_t(port->fore.brush) << 24) | port->fore.rgb;
}

VXColor VXGetBackColor() {
    const QZPort* port = QZGetCurrentPort();
    if (!port) return 0x0D000000;
    return (uint32_t(port->back.brush) << 24) | port->back.rgb;
}

VXColor VXGetInvertedBackColor() {
    QZPort* port = QZGetCurrentPort();
    if (!port) return 0;
    const QZColorRef color = GetCGColorForColorState(&port->back);
    uint32_t rgb = 0xFFFFFF;
    if (!color || !VXGetColorFromNSColor(*color, &rgb)) rgb = 0xFFFFFF;
    return ~rgb & 0xFFFFFF;
}

void QZSelectColor(QZPort* port, uint32_t selector) {
    if (!port) return;
    const QZColorRef color = GetCGColorForColorState(StateOf(port, selector & 1));
    if (!color) return;
    if ((selector & 0x100) && port->lastStroke != color) {
        port->lastStroke = color;
        if (port->context) port->context->SetStrokeColor(*color);
    }
    if ((selector & 0x200) && port->lastFill != color) {
        port->lastFill = color;
        if (port->context) port->context->SetFillColor(*color);
    }
}

void QZInvaidateSelectColors(QZPort* port) {
    if (!port) return;
    port->lastStroke.reset();
    port->lastFill.reset();
}

void VXSetAppearanceSerial(int32_t serial) { Globals().serial = serial; }

void VXRefreshBrushColors(int viewDark) {
    ColorGlobals& g = Globals();
    if (g.serial >= 0 && g.serial == g.lastRefreshSerial) return;
    g.lastRefreshSerial = g.serial;
    if (viewDark >= 0) g.dark = viewDark == 1;
    for (QZColorRef& brush : g.brushes) brush.reset();
}

bool VXIsDarkAppearance() { return Globals().dark; }

}  // namespace plexa
