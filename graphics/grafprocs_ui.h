// Interface drawing helpers built on the drawing-procedure table: update erasing, separators,
// list-box and primary frames, and the popup arrow button. Each saves and restores the pen
// state and the fore colour, starts from the normal pen, and draws through slots 1, 2 and 6
// (and 11 for erasing) of the current state's table.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "graphics/colors.h"

namespace plexa {

struct VXGrafState;

// With the state current, erases its view rectangle (intersected with the update rectangle
// when one is given) grown by 5 on every side; restores the current state.
void VXEraseUpdate(VXGrafState* state, const LRect* view, const LRect* update);
// A groove along the top edge (wider than tall) or the left edge of the spanned rectangle.
void VXDrawSeparator(int16_t left, int16_t top, int16_t right, int16_t bottom, int32_t ignored);
void VXDrawListBoxFrame(const Rect* r, int32_t ignored);
void VXDrawPrimaryFrame(const Rect* r, VXColor color);

// Popup arrow button states.
constexpr uint16_t kPopupArrowNormal = 0;
constexpr uint16_t kPopupArrowPressed = 1;
constexpr uint16_t kPopupArrowDisabled = 0xFFFF;
void VXDrawPopupArrowButton(VXGrafState* state, const Rect* r, uint16_t buttonState);

}  // namespace plexa
