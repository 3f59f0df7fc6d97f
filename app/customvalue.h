// The custom value dialog: a prompt, one whole-number field with its units, OK and Cancel. Used
// where a menu offers fixed values and "Other..." for any other one (the zoom percent, the grid
// size, the text size).
#pragma once

#include <cstdint>
#include <string>

namespace plexa {

constexpr uint16_t kCustomValueTemplate = 1041;

// Asks for a whole number from 1 to `maximum`, starting from `value`; the answer, or -1 when the
// dialog was cancelled. OK is offered only while the field holds a number in range; otherwise a
// line under the field says which numbers are taken, and a Return then leaves the dialog open.
int32_t AskCustomDialog(const char* title, const char* prompt, const char* units, int32_t maximum, int32_t value);

// The dialog's judgement of a typed text: the number, or -1 when it is not a whole number from 1
// to maximum (blanks around it are allowed).
int32_t ParseCustomValue(const char* text, int32_t maximum);
// The text the dialog shows in its field for a value.
std::string CustomValueText(int32_t value);

}  // namespace plexa
