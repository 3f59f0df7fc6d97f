// The Undo command of a sheet window: what is being made on the sheet is ended first, then the
// committed action is replayed (sheeteditor/sheetundo.h).
#pragma once

namespace plexa {

struct SheetRecord;

// Replays the committed action (undo or redo). A wire being drawn on the sheet and a polygon
// being clicked are ended first: each is then the action undone.
void UndoSheetAction(SheetRecord* sheet);

}  // namespace plexa
