// What the sheet model's drawing reads of the layers above it: the application's global flag
// word, and the colour set-up of the sheet editor (the colour table of the preferences by index).
// The model keeps the word and calls the colour set-up through procedures that the editor
// installs at start-up; until then a plain black-on-white set-up stands in.
#pragma once

#include <cstdint>

namespace plexa {

// The application's flag word; its bits steer drawing.
extern uint32_t& gGenFlags;  // a member of the model's state record
constexpr uint32_t kGenColorDrawing = 0x1;     // colours of their own are drawn
constexpr uint32_t kGenPortMarkers = 0x2;      // pins show port markers
constexpr uint32_t kGenPrinting = 0x4;
constexpr uint32_t kGenHidePortMarkers = 0x8;
constexpr uint32_t kGenSymbolCapture = 0x40;   // symbol data is being recorded
constexpr uint32_t kGenDXFExport = 0x200;      // a DXF export is drawing
constexpr uint32_t kGenOptionalFillsOff = 0x400;

// Colour-table indices that the model passes.
constexpr int16_t kColorIndexGraphics = 0;
constexpr int16_t kColorIndexPins = 1;
constexpr int16_t kColorIndexBackground = 5;

struct SheetColorHooks {
    // Sets the current fore colour from the preferences' colour table by index.
    void (*setForeColor)(int16_t index) = nullptr;
    // Sets the current back colour from the preferences.
    void (*setBackColor)() = nullptr;
    // Whether the preferences draw in colour.
    bool (*colorPreferred)() = nullptr;
};
void SetSheetColorHooks(const SheetColorHooks& hooks);
const SheetColorHooks& GetSheetColorHooks();

void Set_Fore_Color(int16_t index);
void Set_Bak_Color();
bool PrefsColorDrawing();

// The plain set-up of a program without preferences: black on white, drawn in colour.
void SetDefaultForeColor(int16_t index);
void SetDefaultBackColor();
bool DefaultColorPreferred();

}  // namespace plexa
