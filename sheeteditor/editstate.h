// The working state of one open sheet window: what a person is in the middle of there, kept with
// the document instead of the process, so that two sheet windows never share it. The window's
// sheet reaches it (`SheetRecord::editState`); it is made when the window opens (or at the first
// question about a sheet without a window, which a test or a tool may ask) and freed when the
// window closes or the sheet goes. It holds the wire or bus in progress with the pointer's
// tracking (sheeteditor/wirestate.h), the search record (sheeteditor/searchrecord.h), the selection
// summary that the menus read (model/selectionsummary.h) and the item that the resize handle of
// the selection resizes. The sheet's undo state is the sheet's own (sheeteditor/sheetundo.h).
#pragma once

#include "model/selectionsummary.h"
#include "sheeteditor/searchrecord.h"
#include "sheeteditor/wirestate.h"

namespace plexa {

struct SheetEditState {
    SheetRecord* sheet = nullptr;  // the sheet whose window it serves
    WireInProgress wire;
    SearchRecord search;
    SelectionSummary selection;
    // The text frame and the sheet symbol that handles 14 and 17 resize: set with the handles
    // (sheeteditor/sheetselect.h), cleared with them, none without the handle.
    TextFrameHandle resizeFrame = nullptr;
    SymbolRecord* resizeSheetSymbol = nullptr;
};

// The sheet's edit state, made when missing; never null for a sheet.
SheetEditState* SheetEditStateOf(SheetRecord* sheet);
// Frees the sheet's edit state: a wire in progress goes with it (finish or cancel it first to keep
// it), and a sheet loaded for its search only is released.
void ReleaseSheetEditState(SheetRecord* sheet);

// The sheet's wire in progress, in its edit state (made when missing).
WireInProgress& WireStateOf(SheetRecord* sheet);
// Frees the wire under construction (it goes with the edit state, not into the sheet).
void ReleaseWireInProgress(WireInProgress* wire);
// Forgets the tracked terminal, legs and pointer position of the sheet's wire in progress.
void ClearMouseTrackingState(SheetRecord* sheet);

}  // namespace plexa
