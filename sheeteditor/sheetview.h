// The sheet pane of a sheet window: drawing a sheet's content in its layers (back elements,
// symbols, busses, signals, front elements, text frames, texts), clipped to the area being
// updated and culled to what meets it; the modified status of a sheet and the reasons it is
// given; invalidating parts of the view; ending the editing of a text; and the idle work and
// cursors of the pane.
#pragma once

#include <cstdint>
#include "foundation/rectmath.h"
#include "sheeteditor/sheetchange.h"

namespace plexa {

struct SheetRecord;
struct VXPrintRec;
struct VXEventRecord;
struct VXWindowRecordTag;

// Masks of IsSheetModified.
constexpr uint32_t kSheetAskContent = 0x01;
constexpr uint32_t kSheetAskAnnotation = 0x04;
constexpr uint32_t kSheetAskDrawing = 0x08;
constexpr uint32_t kSheetAskProject = 0x10;

// Cursor ids of the pane.
constexpr int32_t kSheetCursorArrow = 0x7FFFFF00;
constexpr int32_t kSheetCursorIBeam = 0x7FFFFF01;
constexpr int32_t kSheetCursorCross = 0x7FFFFF02;

// The colour of the selection highlight (the system's selected-text background).
constexpr uint32_t kSelectionHighlightColor = 0x12000000;

// The sheet editor's record of a change to a sheet (the sheet store's setModified): the window's
// modified mark, the sheet's modified flags, its modification time (which only moves forward),
// the projects' dirty marks, undo and search by the reason bits above.
void SheetEditorModifiedStatus(SheetRecord* sheet, int32_t reasons);
// 1 when a change of a kind in the mask is pending, else 0.
int32_t IsSheetModified(const SheetRecord* sheet, uint32_t mask);

// The colour a colour kind (0 graphics, 1 pins, 2 text frames, 3 signals, 4 busses, 5 background,
// 6 grid, 7 highlight, 8) is drawn in, from the preference colours of the kinds and their
// colour-display option, the global drawing flags and the port's kind: with colours shown and
// drawing for the screen the kind's colour (a white one black when printing into a print port,
// the background excepted); otherwise the background white, kinds up to 6 black, and the
// highlight kinds their own colour. Kinds outside the table draw black.
uint32_t SheetKindColor(int16_t kind, const uint32_t colors[9], bool colorDisplay);
// The background: the preference colour of kind 5 when colours are shown on the screen, else
// white.
uint32_t SheetBackColor(const uint32_t colors[9], bool colorDisplay);

// Draws the sheet into the window (the sheet's own or another port) within `area`; an empty area
// draws nothing.
void DrawSheetContent(SheetRecord* sheet, VXWindowRecordTag* window, const Rect* area);
// The update of the sheet pane: the content, the tool's own feedback, then the draw hook.
void UpdateSheetView(SheetRecord* sheet, const VXEventRecord* event);
// The printer's page in sheet units at the print scale (0 counts as 100 %): 1, or 0 with a zero
// size when the record gives no page.
int32_t CalcPrinterPageSize(const VXPrintRec* record, int32_t scalePercent, Point* size);
// Draws the page breaks of the sheet in its window (dashed, in the grid colour); a sheet whose
// printer gives no page size has its page-break display turned off instead.
void DrawPageBreaks(SheetRecord* sheet);
// Paints the selection region of a sheet in its window.
void PaintSheetSelectionRects(SheetRecord* sheet);
// Marks of the flashing signal in its lit phase, in the signal colour: a ring around the found
// floating wire end when that is what flashes, else a ring at each of its one-segment wires that
// is short (a few units, or zero length away from a junction).
void DrawFlashedSignalShortWires(SheetRecord* sheet);

// Ends the editing of a text: the text becomes a frame of the sheet. The frame taken out for
// editing goes only when the text was emptied; when no frame could be made of a text it goes
// back into the sheet as it was.
void DestroyDrawingTE(SheetRecord* sheet);

// Idle work of the pane: the caret, the project's hierarchy.
void DoIdleTasks(SheetRecord* sheet);
// Sets the window's idle interval (the caret interval).
void CalcSheetIdleInterval(SheetRecord* sheet);
// Pointer movement in the pane: the cursor by tool and what lies under the pointer.
void UpdateViewCursor(SheetRecord* sheet, const VXEventRecord* event);

}  // namespace plexa
