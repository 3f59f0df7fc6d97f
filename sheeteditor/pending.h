// Functions of the sheet editor that other parts of it provide and that are not in place yet:
// each has its final name and signature and the least body until the real one replaces it.
#pragma once
#include <cstdint>
#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;

// ---- Sheet undo ----
// Starts collecting the operations of an action of the kind (1 "Move", 2 "Transformation",
// 8 "Resize", ...).
void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind);
// Commits what was collected as the sheet's undoable action.
void AcceptSheetUndoCollection(SheetRecord* sheet);
// A move op: the item (of item kind 1 symbol, 2 text, 7 element, 8 text frame) moved by the
// offset (code 0) or transformed about the point.
void CollectUndoMoveSheetItem(SheetRecord* sheet, int32_t itemKind, void* item, Point point, int32_t code);
// A swap op: a copy of the item as it is now.
void CollectUndoSwapSheetItem(SheetRecord* sheet, int32_t itemKind, void* item);
// An invalidate op of an area to redraw on replay.
void CollectUndoInvalSheetRect(SheetRecord* sheet, const Rect* rect);

// ---- Stretching attached wires ----
// The wires and bus lines attached to what moves follow it; what changed joins the area.
void MoveSignalWires(SheetRecord* sheet, Point offset, int32_t code, Rect* area);
void MoveBussWires(SheetRecord* sheet, Point offset, int32_t code, Rect* area);
// The break-outs marked as moving move or transform with the selection.
void MoveMarkedBreakOuts(SheetRecord* sheet, Point offset, int32_t code, Rect* area);
// Clears the busses' undo-copy marks.
void ClearBussUndoFlags(SheetRecord* sheet);

// ---- Symbol information ----
// Runs the symbol information dialog for the symbol (newSymbol 1 for one just made), with the
// clicked text or none.
void EditSymbolInformation(SheetRecord* sheet, SymbolRecord* symbol, int32_t newSymbol, TextRecord* text);

}  // namespace plexa
