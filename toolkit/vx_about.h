// What the shells of both programs share: the maker's About box with its logo, and the animated
// busy cursor that long loops turn.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;

// Items of an About box template: 1 the logo's place (hidden, the logo drawn over it), 2 the
// program's name, 3 its version, 4 when it was built (optional), 6 or 7 its icon.
constexpr int16_t kAboutLogoItem = 1;
constexpr int16_t kAboutNameItem = 2;
constexpr int16_t kAboutVersionItem = 3;
constexpr int16_t kAboutBuiltItem = 4;

// The texts and the icon of a program's About box. Null texts leave their items as the template
// has them.
struct AboutBoxContent {
    const char* name;
    const char* version;  // the whole line ("Version 1.0  for Linux")
    const char* built;
    int16_t iconItem;
    const char* iconName;  // an image of the program's resources
    const char* iconType;
};

// The string of the program's strings table, its first "%s" replaced by the value when one is given.
std::string AboutText(int32_t stringId, const char* value = nullptr);
// "Version %s"-style line of the application's version followed by the platform suffix.
std::string AboutVersionLine(int32_t formatId, int32_t suffixId);

// Runs the About box of the template until a click anywhere, a control or a key ends it.
void ShowAboutBox(uint16_t templateId, const AboutBoxContent& content);
int32_t AboutBoxDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
// The maker's logo over the area: a frame and a resistor across it, in black with a pen of 8, on
// orange; clipped to the area inset by 3 pixels at the left and right.
void DrawLogo(VXWindowRecordTag* window, const Rect* area);

// Shows the next cursor of the cycle 2001 to 2004 when 10 ticks or more passed since the last
// change (or none was shown yet); long loops call it once per item.
void WaitCursor();

}  // namespace plexa
