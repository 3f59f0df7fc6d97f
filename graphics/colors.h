// Colour values and theme brushes. A VXColor is either an RGB colour in its low 24 bits or,
// when its high byte is 1..28, a theme brush: a numbered colour that follows the appearance
// (light or dark). Brush colours and recent RGB colours are cached as shared colour objects;
// a port's fore and back colour states hold their own references.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/draw_context.h"

namespace plexa {

struct QZPort;

using VXColor = uint32_t;
// A platform colour value (sRGB components and alpha).
using QZColor = DrawColor;
// A shared colour object; holders keep it alive after a cache lets it go.
using QZColorRef = std::shared_ptr<const QZColor>;

constexpr VXColor kVXDefaultForeColor = 0x07000000;  // brush 7, black
constexpr VXColor kVXDefaultBackColor = 0x0BFFFFFF;  // brush 11, white
constexpr int kVXBrushCount = 29;                    // brushes 0..28; 0 and 28 are clear
constexpr int kVXRGBCacheSize = 4;

struct QZColorState {
    QZColorRef color;     // cached colour object
    uint32_t cachedRGB;   // RGB word of the cached colour
    uint32_t rgb;         // RGB word
    uint16_t brush;       // 0 = RGB
};

// The brush number of a colour value, 0 for an RGB colour.
uint16_t VXColorBrush(VXColor color);

// The colour of a theme brush in the current appearance; numbers out of range are clear.
QZColor NSColorForThemeBrush(int brush);
QZColor NSColorWithColor(VXColor color, bool useBrush);
// The colour as 0x00RRGGBB (rounded components); false when it has no sRGB value.
bool VXGetColorFromNSColor(const QZColor& color, uint32_t* out);

QZColorRef GetCGColorForBrush(int brush);
QZColorRef GetCGColorForColorState(QZColorState* state);

// Sets the fore (back false) or back colour of the port, or of the current port when null;
// returns the state, null without a port.
QZColorState* QZSetColor(QZPort* port, VXColor color, bool back);
VXColor VXGetForeColor();
VXColor VXGetBackColor();
VXColor VXGetInvertedBackColor();

// Selector: bit 0 picks the back (1) or fore (0) state; 0x100 sets it as stroke colour and
// 0x200 as fill colour, each only when it differs from the last one set on the port.
void QZSelectColor(QZPort* port, uint32_t selector);
void QZInvaidateSelectColors(QZPort* port);

// Appearance. The window owner reports appearance changes by bumping the serial; a refresh
// with a view (viewDark 0 light, 1 dark; -1 no view) takes the view's appearance; every
// refresh whose serial differs from the last one empties the brush cache.
void VXSetAppearanceSerial(int32_t serial);
void VXRefreshBrushColors(int viewDark);
bool VXIsDarkAppearance();

}  // namespace plexa
