// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/signals.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Grid and rulers.
// Snaps the point to the grid of the editor that owns the current window.
void GridPointLock(Point* point);
// The ruler guides follow a point of the main pane.
void SetRulerGuidePositions(VXWindowRecordTag* window, int32_t h, int32_t v);

// Wire dragging: drops the split markers of the sheet.
void CleanupSplitWireList(SheetRecord* sheet);

// Colour and line-width popups of the top tool bar.
void TrackColorPopup(VXWindowRecordTag* window, int16_t button, bool fill);
void TrackLineWidthPopup(VXWindowRecordTag* window, int16_t button, const VXEventRecord* event,
                         int32_t width);

// Sheet undo.
void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind);
void CollectUndoSetSheetView(SheetRecord* sheet);
void AcceptSheetUndoCollection(SheetRecord* sheet);
// Drops the undo step being collected.
void AbortSheetUndoCollection(SheetRecord* sheet);

// Signal and bus dialogs.
// The signal information dialog; nonzero when accepted.
int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, void* validationProc);
// Chooses a member name of the buss (256-byte buffer, in and out); nonzero when accepted.
int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name);

// ---- Sheet undo ----
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
