// Moving, rotating and mirroring what is selected on a sheet as one undoable action. Unselected
// net symbols hanging on a selected symbol by one short straight wire go with it, as do the texts
// and text frames of the symbols that move; the wires and bus lines attached to what moves are
// stretched after it.
//
// A transformation code holds quarter turns in bits 0-1 and a mirror in bit 2; 0 is a plain
// offset. With code 0 a point argument is the offset, otherwise the centre of the turn.
#pragma once
#include <cstdint>
#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct SheetRecord;
struct SymbolRecord;
struct TextFrameRecord;
struct TextRecord;
using TextFrameHandle = TextFrameRecord**;

// The codes of the rotate and mirror tools.
constexpr int32_t kTransformRotateRight = 1;
constexpr int32_t kTransformRotateLeft = 3;
constexpr int32_t kTransformMirrorHorizontal = 4;
constexpr int32_t kTransformMirrorVertical = 6;
// The centre that asks TransformDrawingSelection to find one.
constexpr int16_t kTransformFindCentre = -32768;
// The longest wire (in either direction) that carries a net symbol along.
constexpr int32_t kShortNetWireLength = 72;

// Nothing happens when both are 0.
void MoveDrawingSelection(SheetRecord* sheet, int32_t dh, int32_t dv);
void TransformDrawingSelection(SheetRecord* sheet, Point centre, int32_t code);

// Move or transform one object; its old and new area join `area` (texts only when shown, frames
// and elements grown by 2).
void MoveSymbolInstance(SheetRecord* sheet, SymbolRecord* symbol, Point point, int32_t code, Rect* area);
void MoveTextElement(SheetRecord* sheet, TextRecord* text, Point point, int32_t code, Rect* area);
void MoveTextFrame(SheetRecord* sheet, TextFrameHandle frame, Point point, int32_t code, Rect* area);
void MoveElement(ElementRecord* element, Point point, int32_t code, Rect* area);

void TransformPoint(Point* point, Point centre, int32_t code);

// For a net symbol on one straight wire of at most 72 units whose other end is a pin: that pin's
// symbol, else none. Mode 1 answers only when that symbol is selected.
SymbolRecord* IsShortStraightNetSymbol(SheetRecord* sheet, SymbolRecord* symbol, int32_t mode);
// A grid point about which the bounds can be turned and stay on the page; false (after a beep)
// when the turned bounds cannot fit the page.
bool CalcTransformationOrigin(const Rect* bounds, int32_t code, const Rect* page, int32_t grid,
                              Point* centre);

}  // namespace plexa
