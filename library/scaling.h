// Scaling of the editable form of a drawing (element list, text list and text-frame list) by a
// ratio num / den, both 16-bit: catalogue printing shrinks symbols to their boxes with it, and
// documents converted from 72 to 96 units per inch are scaled with it. Every length is scaled by
// MulDiv16 (rounded half away from zero); text sizes at the ratio 96 / 72 follow a table of their
// own, so that the usual point sizes stay usual point sizes.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"

namespace plexa {

struct ElementRecord;
struct LinkListHeader;
struct TextRecord;
struct TextFrameRecord;
struct txStyle;
struct VXWindowRecordTag;
using TextFrameHandle = TextFrameRecord**;
using TextStyleList = LinkListHeader;

// The element's defining points; a pin's bubble (0 stays 0, else kept between 1 and 9); any other
// element's pen width (at least 1, and a thin line never becomes 5 or more: then 4); a polygon's
// points, a rounded rectangle's corner sizes, an arrow's head length (the default arrow of its
// pen width when that becomes 0 or its angle is 0). The bounds are computed again.
void ScaleElement(ElementRecord* element, int16_t num, int16_t den);
void ScaleElementList(LinkListHeader* list, int16_t num, int16_t den);

// The style's size: at 96 / 72 by the table 7 -> 9, 8 -> 9, 9 -> 12, 10 -> 12, 11 -> 12,
// 12 -> 14, 13 -> 14, 14 -> 18, 15 to 17 -> 18, 18 -> 24; any other size and ratio x num / den,
// at least 1.
void ScaleTextStyle(txStyle* style, int16_t num, int16_t den);

// The text's position; with a style list its style too (installed through the list).
void ScaleTextRecord(TextRecord* text, int16_t num, int16_t den, TextStyleList* styles);
// Every text, their styles too unless a text takes its theme's (flag 0x20) and not allStyles;
// then the bounds (window null: the off-screen window).
void ScaleTextList(LinkListHeader* texts, TextStyleList* styles, StringBlock block,
                   VXWindowRecordTag* window, int16_t num, int16_t den, bool allStyles);
void ScaleTextFrame(TextFrameHandle frame, int16_t num, int16_t den, TextStyleList* styles);
void ScaleTextFrameList(LinkListHeader* frames, TextStyleList* styles, VXWindowRecordTag* window,
                        int16_t num, int16_t den, bool allStyles);

}  // namespace plexa
