// Symbol drawing: a placed symbol is drawn by playing its symbol display data (symboldata.h)
// into a window through hook procedures that give pins and body their preference colours, draw
// the pins' port markers, and apply the element colours, fills and images that the data's
// comments carry. The symbol's texts are sheet texts, drawn with the sheet's texts: the walk stops
// at the first text comment.
//
// This module owns that playing (its drawing state is one global record: one symbol is drawn at a
// time, on the main thread) and the drawing of one placed symbol.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ImageList;
struct SheetRecord;
struct SymbolRecord;
struct VXGrafState;

// Preference colour indices of port symbols.
constexpr int16_t kColorIndexPort = 3;
constexpr int16_t kColorIndexBussPort = 4;

// Plays `size` bytes of symbol display data into the graphics state (a window's, or an off-screen
// one) at the play point, turned by
// `transform` (& 7): pins in the colour of `pinColor`, the rest in that of `bodyColor`, images from
// `images`, and port markers at the pins' connection ends when asked. The state's drawing
// procedures are replaced only for the duration. Returns the play's result: 1 for whole data, else
// 0 (nothing, or what came before the damage, is drawn).
int32_t DrawSymbolGraphics(VXGrafState* graf, const void* data, uint32_t size,
                           ImageList* images, Point playPoint, int16_t pinColor, int16_t bodyColor,
                           int32_t transform, bool portMarkers);

// Draws a placed symbol: a sheet symbol through the hook below, any other from its definition in
// the sheet's symbol map at its position and transform (on screen, from the pixels kept of an
// earlier symbol of the same definition, orientation, colours and scale where there are some). A port symbol draws pins and body in the
// port colour (the buss-port colour for a buss port) without port markers; any other draws its
// pins in the pin colour, its body in the graphics colour, with the caller's port-marker choice.
void DrawSymbol(SheetRecord* sheet, SymbolRecord* symbol, ImageList* images, VXGrafState* graf,
                bool portMarkers);

// Drops the pixels kept of symbols drawn (DrawSymbol keeps each definition's drawing for its
// orientation, colours and scale, and lays it down again for other symbols of the definition).
void ForgetCapturedSymbols();
// How many drawings are kept.
size_t CapturedSymbolCount();

struct SymbolDrawHooks {
    // Draws a placed sheet symbol (its box and ports) in the graphics state.
    void (*drawSheetSymbol)(VXGrafState* graf, SymbolRecord* symbol, bool portMarkers) = nullptr;
};
// Without the hook a sheet symbol draws nothing.
void SetSymbolDrawHooks(const SymbolDrawHooks& hooks);
const SymbolDrawHooks& GetSymbolDrawHooks();

}  // namespace plexa
