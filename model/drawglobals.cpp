// The application's flag word and the colour set-up procedures of sheet drawing.
#include "model/drawglobals.h"
#include "model/modelstate.h"

#include "graphics/colors.h"

namespace plexa {

uint32_t& gGenFlags = gModelState.genFlags;

namespace {

SheetColorHooks gHooks;

}  // namespace

void SetSheetColorHooks(const SheetColorHooks& hooks) { gHooks = hooks; }
const SheetColorHooks& GetSheetColorHooks() { return gHooks; }

void Set_Fore_Color(int16_t index) {
    if (gHooks.setForeColor) gHooks.setForeColor(index);
    else SetDefaultForeColor(index);
}

void Set_Bak_Color() {
    if (gHooks.setBackColor) gHooks.setBackColor();
    else SetDefaultBackColor();
}

bool PrefsColorDrawing() { return gHooks.colorPreferred ? gHooks.colorPreferred() : DefaultColorPreferred(); }

void SetDefaultForeColor(int16_t index) {
    QZSetColor(nullptr, index == kColorIndexBackground ? kVXDefaultBackColor : kVXDefaultForeColor, false);
}

void SetDefaultBackColor() { QZSetColor(nullptr, kVXDefaultBackColor, true); }

bool DefaultColorPreferred() { return true; }

}  // namespace plexa
