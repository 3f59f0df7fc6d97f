// The sheet editor's own clipboard and the three sheet operations that fill it or use the sheet's
// selection: Copy, Cut and Delete, with the marking rules that decide which objects go along with
// the selection (the wires and net symbols hanging on copied symbols, the texts of copied wires
// and symbols).
//
// The clip keeps its objects in a sheet record of its own (made with the sheet's lists, so that a
// clip can be drawn, measured and pasted by the same code as a sheet), with every position made
// relative to the reference point: the top-left corner of the selection's bounds snapped to the
// grid. The editable copy never leaves the process; the system clipboard receives a picture of
// the copied items and the plain text of the copied texts and designators.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/rectmath.h"
#include "sheeteditor/cliprecord.h"

namespace plexa {

struct SheetRecord;

// Empties the clip, keeping bounds, paste point and paste-at-click.
void Kill_Clipboard();
// A new clip id, different from the one issued before.
uint32_t CreateClipboardId();

// Replaces the clip with the sheet's selection (with shift, without the symbols and wires that
// hang on the selection).
void CopySheetSelection(SheetRecord* sheet, bool shift);
// Copy, then delete the selection as a Cut that can be undone.
void CutSheetSelection(SheetRecord* sheet, bool shift);
// Removes the selection; undoKind 0 records no undo (6 Cut, 7 Delete); ask runs the question
// about a bus line's break-outs. False when the user declined (nothing changed).
bool DeleteSheetSelection(SheetRecord* sheet, int32_t undoKind, bool ask, bool shift);
// The selection's bounds and reference point (the top-left corner snapped to the grid). The
// reference point becomes the clip's paste point; without a bounds output the clip's bounds are
// set (relative to the reference point).
void CalcSheetSelectionBounds(SheetRecord* sheet, Point* negatedReference, Rect* bounds);

// True when a symbol, text, frame, element or bus wire of the sheet is selected (signalWires:
// when a signal wire is).
bool SheetHasSelection(SheetRecord* sheet, bool signalWires = false);

// The marking rules (exposed for the clipboard's own tests and for paste).
void MarkAffectedSymbols(SheetRecord* sheet, bool shift);
void MarkAffectedWires(SheetRecord* sheet, bool copying, bool shift);

// The plain text that the system clipboard receives for the clip: the copied texts and frames and
// the designators of the copied symbols, one a line.
std::string ClipPlainText();

// The private clip's picture: the sheet clip's items while it holds a copy, else the symbol
// editor's. Measuring sets `bounds` to the union of the bounds of its graphic elements (without
// the hideable ones when the copied sheet hid them), symbols, busses, signals, text frames grown
// by 2 and shown texts, an all-zero rectangle when there is none. Drawing erases `bounds` in the
// background colour and draws the items into the current window as the sheet window draws them:
// back graphic elements, symbols, busses, signals with their junction dots, front graphic
// elements, text frames, texts. Pins show no port markers either way.
void DrawClipboardContent(bool measure, Rect* bounds);

// Frees the clip of the run (at the end of the program or of a test).
void ReleaseClipboard();

}  // namespace plexa
