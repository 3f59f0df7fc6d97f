// The defaults of new graphic elements; see elementdefaults.h.
#include "sheeteditor/elementdefaults.h"

#include <cstring>

#include "model/elements.h"
#include "model/sheet.h"

namespace plexa {

ElementDefaults GetSheetElementDefaults(const SheetRecord* sheet) {
    ElementDefaults d;
    if (!sheet) return d;
    d.penWidth = sheet->view.outlineWidth ? sheet->view.outlineWidth : 1;
    std::memcpy(&d.flags, sheet->view.elementTool, sizeof d.flags);
    d.frameColor = sheet->view.outlineColour;
    d.fillColor = sheet->view.fillColour;
    return d;
}

void SetSheetElementDefaults(SheetRecord* sheet, const ElementDefaults& d) {
    if (!sheet) return;
    sheet->view.outlineWidth = uint16_t(d.penWidth);
    std::memcpy(sheet->view.elementTool, &d.flags, sizeof d.flags);
    sheet->view.outlineColour = d.frameColor;
    sheet->view.fillColour = d.fillColor;
}

void ApplyChoiceToDefaults(ElementDefaults* d, int32_t what, uint32_t value) {
    const auto colour = [&](uint16_t flag, uint32_t* field) {
        if (value == kNoOwnColor) {
            d->flags &= uint16_t(~flag);
        } else {
            d->flags |= flag;
            *field = value;
        }
    };
    switch (what) {
        case kChoiceWidth: d->penWidth = int32_t(value); break;
        case kChoiceFill:
            if (value)
                d->flags |= kElementFilled;
            else
                d->flags &= uint16_t(~kElementFilled);
            break;
        case kChoiceFrameColor: colour(kElementOwnFrameColor, &d->frameColor); break;
        case kChoiceFillColor: colour(kElementOwnFillColor, &d->fillColor); break;
        default: break;
    }
}

}  // namespace plexa
