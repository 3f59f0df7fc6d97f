// Functions of the sheet editor that other parts of it provide and that are not here yet: each is
// declared with its final signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/wires.h"

namespace plexa {

struct BussRecord;
struct SheetRecord;

// ---- Sheet undo ----

// Starts collecting a new undo action of the kind (3 "Wire Change", 11 "Signal Modification").
void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind);
// Commits the action being collected.
void AcceptSheetUndoCollection(SheetRecord* sheet);
// Drops the action being collected.
void AbortSheetUndoCollection(SheetRecord* sheet);
// Item kinds: 1 symbol, 2 text, 3 signal, 4 buss, 5 break-out row, 6 break-out table.
void CollectUndoSwapSheetItem(SheetRecord* sheet, int32_t itemKind, void* item);
void CollectUndoMoveSheetItem(SheetRecord* sheet, int32_t itemKind, void* item, Point offset,
                              int32_t transformation);
void CollectUndoSheetItemExistance(SheetRecord* sheet, int32_t itemKind, void* item,
                                   int32_t present);
void CollectUndoAltBOTable(SheetRecord* sheet);
void CollectUndoInvalSheetRect(SheetRecord* sheet, const Rect* rect);

// ---- Dialogs ----

// The buss dialog on the name (in/out, 256 bytes) and the option (in/out, or none); nonzero
// when accepted.
int32_t BusInfoDialog(SheetRecord* sheet, BussRecord** buss, char* name, int32_t* option,
                      bool showItem2);

// ---- Selection ----

// Unselects everything on the sheet.
void ClearDrawingSelection(SheetRecord* sheet);
// Makes the end handles of a selected buss wire.
void CalcBusLineModifiers(SheetRecord* sheet, WireHandle wire);

}  // namespace plexa
