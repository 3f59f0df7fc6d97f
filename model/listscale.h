// Scaling of the editable form of a drawing: element lists, text lists and text frame lists,
// with the styles of their texts, by a ratio num / den (both 16-bit). Catalogue printing shrinks
// a symbol into its box with it; the ratio 96 / 72 (documents taken from 72 to 96 dots per inch)
// has a text size table of its own.
//
// Lengths go through MulDiv16 (rounded to nearest, halves away from zero). Pen widths never
// fall below 1 and thin lines (below 5) never become thick ones (a width of 5 or more is kept
// only when the old one was 5 or more, else 4); a pin's size (its bubble radius) stays 0 or
// between 1 and 9.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct ElementRecord;
struct LinkListHeader;
struct TextRecord;
struct TextFrameRecord;
struct VXWindowRecordTag;
struct txStyle;
using TextStyleList = LinkListHeader;
using TextFrameHandle = TextFrameRecord**;

// Texts and frames whose flag bit 5 (themed) is set keep their style unless all styles are asked.
constexpr uint16_t kScaleKeepsStyleFlag = 0x0020;

// Each coordinate times num / den; a result beyond 16 bits is held at the nearest end of the range.
void ScalePoints(Point* points, int32_t count, int16_t num, int16_t den);
void Scale1Point(Point* point, int16_t num, int16_t den);

// Every element in list order; each element's bounds are recomputed.
void ScaleElementList(LinkListHeader* list, int16_t num, int16_t den);
void ScaleElement(ElementRecord* element, int16_t num, int16_t den);

// Sets the style's size: at 96 / 72 through the size table when the size is in it, otherwise
// size x num / den (at least 1).
void ScaleTextStyle(txStyle* style, int16_t num, int16_t den);

// Scales the text's anchor point; with a style list its style too (installed from the list).
void ScaleTextRecord(TextRecord* text, int16_t num, int16_t den, TextStyleList* styles);
// Every text, then the list's bounds (with the string block; window none: the off-screen one).
void ScaleTextList(LinkListHeader* list, TextStyleList* styles, StringBlock block,
                   VXWindowRecordTag* window, int16_t num, int16_t den, bool allStyles);

void ScaleTextFrame(TextFrameHandle frame, int16_t num, int16_t den, TextStyleList* styles);
// Every frame, then each frame's bounds.
void ScaleTextFrameList(LinkListHeader* list, TextStyleList* styles, VXWindowRecordTag* window,
                        int16_t num, int16_t den, bool allStyles);

}  // namespace plexa
