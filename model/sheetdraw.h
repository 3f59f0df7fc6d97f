// Drawing of a sheet's texts, text frames and graphic elements into the current window: the
// helpers that every painter of a sheet shares (the sheet window, printing, the clipboard picture
// and DXF export). They draw through the current drawing procedures, so a conversion port turns
// them into its own output.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct LinkListHeader;
struct SheetRecord;
struct TextRecord;
struct VXGrafState;

// Modes of DrawGrafElements.
constexpr int32_t kGrafSelectedOnly = 0x01;
constexpr int32_t kGrafUnselectedOnly = 0x02;
constexpr int32_t kGrafBackLayer = 0x04;
constexpr int32_t kGrafFrontLayer = 0x08;
constexpr int32_t kGrafSkipHideable = 0x10;      // elements flagged kElementHideable are not drawn
constexpr int32_t kGrafSelectedOutline = 0x20;   // selected elements are drawn without fill

// Draws the element list back to front (the list's last element first; the list is left in its
// order), each element that the mode admits and whose bounds meet `area` (every one without).
void DrawGrafElements(LinkListHeader* list, const Rect* area, int32_t mode);
// The same for the sheet's own element list, finding the elements near `area` through the sheet's
// index (model/sheetindex.h) rather than walking the list.
void DrawSheetGrafElements(SheetRecord* sheet, const Rect* area, int32_t mode);
// Draws every text frame of the sheet whose bounds grown by 2 meet `area` (all without one; with
// one, those near it are found through the sheet's index); an empty area draws nothing. The graphics state, when given, becomes current for the drawing.
void DrawSheetTextFrames(SheetRecord* sheet, VXGrafState* graf, const Rect* area);
// Draws one text in its style, rotation and colour; a hidden value label only erases its box.
void DrawTextElement(TextRecord* text, StringBlock block);
// The pen position of a text turned by `degrees` (90, 180 or 270).
void CalcRotatedTextOrigin(const TextRecord* text, int32_t degrees, Point* out);
// Draws a marked-up text at the pen with its overscores.
void DrawSpecialText(TextRecord* text, StringBlock block, bool rotated);

}  // namespace plexa
