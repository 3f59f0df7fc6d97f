// The application's flag word and the colour set-up procedures of sheet drawing.
#include "model/drawglobals.h"

#include "graphics/colors.h"

namespace plexa {

uint32_t gGenFlags = kGenColorDrawing;

namespace {

SheetColorHooks gHooks;

}  // namespace

void SetSheetColorHooks(const SheetColorHooks& hooks) { gHooks = hooks; }
const SheetColorHooks& GetSheetColorHooks() { return gHooks; }

void Set_Fore_Color(int16_t index) {
    if (gHooks.setForeColor) return gHooks.setForeColor(index);
    QZSetColor(nullptr, index == kColorIndexBackground ? kVXDefaultBackColor : kVXDefaultForeColor,
               false);
}

void Set_Bak_Color() {
    if (gHooks.setBackColor) return gHooks.setBackColor();
    QZSetColor(nullptr, kVXDefaultBackColor, true);
}

bool PrefsColorDrawing() { return gHooks.colorPreferred ? gHooks.colorPreferred() : true; }

}  // namespace plexa
