// The custom value dialog: a label, one whole-number field with its unit, OK and Cancel. Used
// where a menu offers fixed values and "Other..." for any other one (the zoom percent, the grid
// size, the text size).
#pragma once

#include <cstdint>

namespace plexa {

constexpr uint16_t kCustomValueTemplate = 1041;

// Asks for a whole number from 1 to `maximum`, starting from `value`: the field takes only
// numbers from 0 to the maximum (a larger one becomes the maximum), and OK is offered while it does
// not hold 0. The answer, or -1 when the dialog was cancelled.
int32_t AskCustomDialog(const char* title, const char* label, const char* unit, int32_t maximum, int32_t value);

}  // namespace plexa
