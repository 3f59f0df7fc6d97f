// Alerts and error reports: the message with one "OK" button, the two-button standard alert, and
// the report of a status code with its message from the strings files (table 8000).
//
// The desktop platform here has no alert panel of its own: an alert is a modal toolkit dialog
// built from the toolkit's template 8010 (item 1 the message, 2 the informative text, 3 the first
// button, 4 the second), run like any other modal dialog. Return presses the first button and
// Escape the second (the only one when there is one).
#pragma once

#include <cstdint>

#include "foundation/statustext.h"
#include "foundation/types.h"

namespace plexa {

constexpr uint16_t kVXAlertTemplate = 8010;
constexpr int32_t kVXErrorStringTable = kErrorStringTable;

// Answers of `VXStandardAlert`: the button that ended the alert.
constexpr int16_t kVXAlertFirstButton = 1;
constexpr int16_t kVXAlertSecondButton = 2;

// The application's own error texts: fills the 256-byte buffer and answers nonzero when it
// supplied a text for the code.
using VXErrorTextProc = int32_t (*)(OSStatus code, char* buffer);
extern VXErrorTextProc gVXErrorTextProc;

// An alert with the text and one "OK" button, run modally.
void VXDisplayMessage(const char* text);
// The same, once the windows waiting for an update are drawn, so that the alert stands over what
// they now show.
void VXDisplayMessageOverUpdatedWindows(const char* text);
// An alert with the texts and buttons that are given and not empty; the answer tells which
// button ended it (kVXAlertFirstButton, kVXAlertSecondButton).
int16_t VXStandardAlert(const char* message, const char* informative, const char* firstButton,
                        const char* secondButton);
// The code's message in a 256-byte buffer, or none: for 0 and -128, for a code without a
// message, or an empty one.
char* VXGetErrorString(OSStatus code, char* buffer);
// Shows "Error:  " and the code's message, else "Error:  #<n>" (n the code when below 1, else its
// low 25 bits); nothing for 0 and -128.
void VXErrorReport(OSStatus code);
// The failure to open a document: "The document "NAME" could not be opened." above the report of
// the code as VXErrorReport words it; nothing for 0 and -128.
void VXOpenErrorReport(const char* fileName, OSStatus code);

}  // namespace plexa
