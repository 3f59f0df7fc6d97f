// The defaults of new graphic elements (a sheet's, kept in its view settings, or a symbol
// editor's) and the choices of the width, fill and colour popups that change them or restyle the
// selected elements.
#pragma once

#include <cstdint>

namespace plexa {

struct SheetRecord;

// The value of "no colour of its own".
constexpr uint32_t kNoOwnColor = 0xFFFFFFFF;
// What a choice changes.
constexpr int32_t kChoiceWidth = 1, kChoiceFill = 4, kChoiceFrameColor = 8, kChoiceFillColor = 16;

// The defaults of new graphic elements (a sheet's or a symbol editor's).
struct ElementDefaults {
    int32_t penWidth = 1;
    uint16_t flags = 0;  // kElementFilled, kElementOwnFrameColor, kElementOwnFillColor
    uint32_t frameColor = 0;
    uint32_t fillColor = 0;
};

// The sheet's defaults of new elements, kept in its view settings.
ElementDefaults GetSheetElementDefaults(const SheetRecord* sheet);
void SetSheetElementDefaults(SheetRecord* sheet, const ElementDefaults& defaults);
// The defaults after a choice (an own-colour flag is cleared for kNoOwnColor, else set with the
// colour).
void ApplyChoiceToDefaults(ElementDefaults* defaults, int32_t what, uint32_t value);

}  // namespace plexa
