// Selection on a sheet: what is selected (the selected bits of the items themselves and the
// sheet's selection region), clearing it, hit testing the items under a point, and the item
// modifiers: the small square handles shown on a single selected item by which it is resized
// or reshaped. This module owns the sheet's handle store (SheetRecord::modifiers), the single
// selected element whose handles are shown and the two resize globals.
#pragma once
#include <cstdint>
#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct LinkListHeader;
struct SheetRecord;
struct SymbolRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXRgn;
struct WireRecord;
using TextFrameHandle = TextFrameRecord**;
using WireHandle = WireRecord**;

// One handle: its centre and which handle it is.
struct ItemModifier {
    int16_t v;
    int16_t h;
    uint16_t id;
};
static_assert(sizeof(ItemModifier) == 6);

// Handle ids: 0-7 the frame of an element (corners, then the middles of the top, bottom, left
// and right edges), 8 and 9 the ends of a line or arrow, 10 an arrow's barb, 11 a rounded
// rectangle's corner rounding, 12 and 13 the ends of an arc, 14 a text frame's size corner,
// 15 and 16 the free ends of a bus wire, 17 a sheet symbol's size corner, 18 + n polygon vertex n.
enum : uint16_t {
    kModTopLeft = 0, kModTopRight = 1, kModBottomLeft = 2, kModBottomRight = 3,
    kModTop = 4, kModBottom = 5, kModLeft = 6, kModRight = 7,
    kModLineStart = 8, kModLineEnd = 9, kModArrowBarb = 10, kModRoundCorner = 11,
    kModArcStart = 12, kModArcEnd = 13, kModTextFrameSize = 14,
    kModBussEnd0 = 15, kModBussEnd1 = 16, kModSheetSymbolSize = 17, kModPolyVertex = 18,
};
// Frame handles 4-7 exist only on frames at least this wide (4, 5) or high (6, 7).
constexpr int32_t kModMiddleMinimum = 28;
// The colour handles are painted in.
constexpr uint32_t kModifierColor = 0x05FF00FF;

// Every id but the text frame, bus end and sheet symbol handles is an element handle.
bool IsElementModifierId(int32_t id);

// ---- Selection queries ----
// For each pair asked (both pointers given) the count of selected items of that kind and, when
// exactly one is selected, that item (else none).
void GetSheetSelection(SheetRecord* sheet, SymbolRecord** symbol, int32_t* symbolCount,
                       TextRecord** text, int32_t* textCount, TextFrameHandle* frame,
                       int32_t* frameCount, ElementRecord** element, int32_t* elementCount);
void ClearDrawingSelection(SheetRecord* sheet);
void ClearSignalTerminalSelections(SheetRecord* sheet);
void ClearBussTerminalSelections(SheetRecord* sheet);
// Sets up the handles of the current selection; rect (when given) is the area to invalidate.
void CalcSheetSelection(SheetRecord* sheet, Rect* rect);
// 1 when handles were set up for the item given or, with none, for the single selected item of
// that kind when nothing else is selected.
int32_t SetupSymbolResize(SheetRecord* sheet, SymbolRecord* symbol);
int32_t SetupElementResize(SheetRecord* sheet, ElementRecord* element);
int32_t SetupTextFrameResize(SheetRecord* sheet, TextFrameHandle frame);

// ---- The selection region and highlight bounds ----
// 1 when anything is selected; rect gets the union of the selected items' bounds.
int32_t CalcSheetHiliteBounds(SheetRecord* sheet, Rect* rect);
// Calls proc with the bounds of every selected item: symbols (without texts), elements, texts,
// text frames.
using SelectionRectProc = void (*)(SheetRecord* sheet, const Rect* bounds, void* data);
void EnumSheetSelectionRects(SheetRecord* sheet, SelectionRectProc proc, void* data);
// The region emptied and the bounds of every selected item added.
void BuildDrawingSelectRgn(SheetRecord* sheet);
void SelectionRgnAdd(VXRgn* region, const Rect* rect);
void SelectionRgnRemove(VXRgn* region, const Rect* rect);
// The bounds a selected item takes in the selection region (a symbol's without its texts).
void GetSelectedSymbolBounds(SheetRecord* sheet, const SymbolRecord* symbol, Rect* bounds);

// ---- Handles ----
// The rectangle that an element's frame handles (0-7) stand on: an arc's bounds, else its
// defining rectangle.
Rect ElementFrame(const ElementRecord* element);
void CalcSheetElementModifiers(SheetRecord* sheet, ElementRecord* element);
void CalcBusLineModifiers(SheetRecord* sheet, WireHandle wire);
void SetupModifier(SheetRecord* sheet, int32_t id, int32_t h, int32_t v);
// Frees the store (also the sheet editor's release of a sheet being destroyed) and forgets the
// text frame and sheet symbol to resize.
void ClearSheetModifiers(SheetRecord* sheet);
int32_t CountSheetModifiers(const SheetRecord* sheet);
const ItemModifier* SheetModifiers(const SheetRecord* sheet);
void OffsetItemModifiers(SheetRecord* sheet, int32_t dh, int32_t dv);
void TransformItemModifiers(SheetRecord* sheet, Point origin, int32_t code);
// paint 1 paints every handle in the current window, 0 invalidates it.
void InvalPaintItemModifiers(SheetRecord* sheet, int32_t paint);
// The handle box size in sheet units (0: no handles at this scale).
int32_t SheetModifierBoxSize(const SheetRecord* sheet);
// The id of the handle under the point, or -1.
int32_t HitTestItemModifiers(SheetRecord* sheet, Point point);

// ---- Hit tests ----
// The first symbol whose box (non-pin graphics, grown by 2) holds the point; a symbol whose drawing
// leaves a corner of its box empty only where its drawing lies within the tolerance of the point
// or around it (HitTestSymbolDrawing, sheeteditor/symbolimage.h).
SymbolRecord* HitTestSymbol(SheetRecord* sheet, Point point, int32_t tolerance);
int32_t HitTestSheetSymbolPort(const SymbolRecord* symbol, Point point);
TextRecord* HitTestText(LinkListHeader* textList, Point point);
// The same over the sheet's own text list, through its index.
TextRecord* HitTestText(SheetRecord* sheet, Point point);
// Frames of two lines or more are hit only where their text is drawn near the point.
TextFrameHandle HitTestTextFrame(SheetRecord* sheet, Point point);
// Brackets a pixel hit test at the point in the sheet's window: drawing without colours of their
// own until the test stops. False when no test could start (every hit test then finds nothing).
bool SchStartPixelHitTest(SheetRecord* sheet, Point point);
void SchStopPixelHitTest();
// The first pin text of the symbol with the kind bits (0x4000 number, 0x8000 name) for the pin;
// its string, trimmed, into `string` (256 bytes) when given.
TextRecord* GetSheetPinText(SheetRecord* sheet, const SymbolRecord* symbol, int32_t pin,
                            uint16_t kindBits, char* string);

}  // namespace plexa
