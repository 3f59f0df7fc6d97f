// The element information dialog (UI template 1039): two check boxes that set the optional-fill
// flag of a graphic element and, on a sheet, whether the element stays visible while the sheet
// hides hideable graphics. The dialog's logic is the two plain functions below; the dialog only
// shows their opening state and hands back what the user left.
#pragma once

#include <cstdint>

namespace plexa {

struct ElementRecord;

constexpr uint16_t kElementInfoTemplate = 1039;
constexpr int16_t kElementInfoOptionalFillItem = 3;
constexpr int16_t kElementInfoAlwaysShownItem = 4;

// What the two check boxes show when the dialog opens.
struct ElementInfoItems {
    bool optionalFill = false;         // item 3: flag 0x1000
    bool optionalFillEnabled = false;  // not on a sheet for lines, arrows and images
    bool alwaysShown = false;          // item 4: flag 0x2000 inverted
    bool alwaysShownEnabled = false;   // only on a sheet
};
ElementInfoItems ElementInfoOpening(const ElementRecord* e, bool onSheet);
// The element's flag word after OK with the boxes as the user left them.
uint16_t ElementInfoFlagsAfterOK(uint16_t flags, bool onSheet, const ElementInfoItems& items);

// Runs the dialog; true when it ended with OK (the element's flags then hold the choice).
bool EditElementInfo(ElementRecord* e, bool onSheet);

}  // namespace plexa
