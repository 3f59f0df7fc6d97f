// The symbol views of the symbol editor and how they are stored. A view is the element, text and
// text-frame lists of one drawing of a symbol definition: view 0 the primary drawing, view 1 the
// alternate. Before a view is stored as symbol display data (model/symboldata.h) its lists are put
// into a canonical order, its origin is chosen and it is recorded relative to that origin.
//
// The canonical order:
//   elements  pins (nodes) first, then the other kinds in ascending kind (lines, arrows, rectangles,
//             ovals, rounded rectangles, arcs, polygons, images); within one kind, and among the
//             pins, by ascending top, then left, then height, then width of the two defining
//             points. When the view holds an image or a filled element together with an element of
//             a colour of its own, only the pins are ordered and the other elements keep their
//             order after them (their stacking shows). Elements that compare equal keep their
//             order, so sorting a sorted view changes nothing.
//             The pins' places in this order are their pin indexes: the item's sections and the
//             definition's pin-data ids follow it, and so do the pin texts' kinds.
//   texts     every pin text first takes its pin's index into the low 14 bits of its kind; then
//             texts without the theme flag before themed ones; the former by font name (ignoring
//             case), size and face; then longer strings first; then by position.
//   frames    frames without the theme flag first, those by font name, size and face; then by
//             anchor point.
// Positions and anchor points compare as (v, h), signed, so that the stored order is the same on
// every machine.
//
// The lists of both views are passed as arrays of two, with the view's index, as the editor and
// the document converter keep them.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct ElementRecord;
struct ImageList;
struct LinkListHeader;
struct SymbolEditorRecord;
struct TextFrameRecord;
struct TextRecord;
using TextFrameHandle = TextFrameRecord**;

constexpr int32_t kSymbolViewPrimary = 0;
constexpr int32_t kSymbolViewAlternate = 1;

// The low bits of a pin text's kind that hold its pin's index.
constexpr uint16_t kPinTextIndexMask = 0x3FFF;

// The three orders: positive when a goes before b, negative when after, 0 when they are equal.
// With keepGraphicsOrder only pins are ordered (every other element compares equal to another).
int32_t SortSymbolElmtCompareProc(const ElementRecord* a, const ElementRecord* b,
                                  bool keepGraphicsOrder);
int32_t SortSymbolTextCompareProc(const TextRecord* a, const TextRecord* b);
int32_t SortSymbolFramesCompareProc(TextFrameHandle a, TextFrameHandle b);

// Puts the view's elements, and its texts and frames when their lists are given, into the
// canonical order. True only when the order of the elements changed.
bool SortSymbolView(LinkListHeader* const elements[2], LinkListHeader* const texts[2],
                    LinkListHeader* const frames[2], int32_t view);

// The view's origin: the connection point of the pin nearest (0, 0) (by the distance rounded to
// a whole unit; the first of equally near pins), or without pins the top-left corner of the
// union of the elements' rectangles (an arc's bounds, else the rectangle of the two defining
// points, an empty one counting as 1 by 1). With selectedOnly only selected elements count.
// (0, 0) when no element counts.
void GetSymbolViewOrigin(LinkListHeader* const elements[2], int32_t view, bool selectedOnly,
                         Point* origin);

// Moves every element, text and frame of the view; nothing for a zero offset.
void OffsetSymbolView(LinkListHeader* const elements[2], LinkListHeader* const texts[2],
                      LinkListHeader* const frames[2], int32_t view, int16_t dv, int16_t dh);

// The view as symbol display data relative to its origin (a handle of the general pool), or none
// for a view without an element other than a pin (or when memory fails). The view is sorted;
// frames that hold a field reference are stored as field-reference texts and are frames in the
// view again afterwards; the view's lists are as they were apart from the order. Images are
// added to `images` (one reference each). The origin is given back when asked for (0, 0 without
// data).
Handle FlattenSymbolView(LinkListHeader* const elements[2], LinkListHeader* const texts[2],
                         LinkListHeader* const frames[2], StringBlock block, int32_t view,
                         ImageList* images, Point* origin);

// The union of the bounds of the editor's current view's elements, texts and frames, grown by 2
// on every side; the empty rectangle when the view is empty.
void CalcSymbolViewBounds(const SymbolEditorRecord* editor, Rect* bounds);

}  // namespace plexa
