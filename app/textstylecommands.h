// The Text menu's style commands on the front sheet or symbol editor: a font, size or face (or
// the document's default theme style) applied to the selected texts and text frames, to the text
// being edited, or, with nothing selected, to the style new texts take; and the alignment.
#pragma once

#include <cstdint>

namespace plexa {

struct txStyle;

// Style change masks.
constexpr uint32_t kAlterFont = 1, kAlterSize = 2, kAlterFace = 4, kAlterToggleFace = 8, kAlterDefault = 7;
// The font value that asks the font panel for a font.
constexpr int32_t kAlterFontFromPanel = 99999;

// Applies value under mask (font index, size, face, face bit to toggle; mask 7 the document's
// default theme style) to the selection, the text being edited or the document's current style.
void AlterTextStyle(int16_t kind, int32_t value, uint32_t mask);
// Gives every selected text, then every selected text frame, the masked fields of style (mask
// 7: each item's own theme style). Bold and Italic toggle the bit on each item, so a mixed
// selection flips each one rather than making them all alike.
void UpdateSelectedTextStyles(const txStyle* style, uint32_t mask, int16_t kind);
// Makes the selected texts and frames right-aligned (right) or left-aligned.
void UpdateSelectedTextAlignment(bool right, int16_t kind);
// The alignment of the text being edited: 0 left, 1 right.
void AlterTEAlignment(int16_t kind, int32_t right);
// Applies the masked fields of style to the text being edited, keeping its base line.
void UpdateTEStyle(const txStyle* style, uint32_t mask, int16_t kind);

}  // namespace plexa
