// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/signals.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Selection and transformation.
// Unselects everything on the sheet.
void ClearDrawingSelection(SheetRecord* sheet);
// Rotates or mirrors the selection about the centre (both -32768: its own centre) as one undoable
// step.
void TransformDrawingSelection(SheetRecord* sheet, Point centre, int32_t transformation);

// Graphic elements.
// Finishes the polygon being drawn; with select the select tool is chosen after.
void FinishCreateSheetPoly(SheetRecord* sheet, bool select);

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

// Signal and bus dialogs.
// The signal information dialog; nonzero when accepted.
int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, void* validationProc);
// Chooses a member name of the buss (256-byte buffer, in and out); nonzero when accepted.
int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name);

}  // namespace plexa
