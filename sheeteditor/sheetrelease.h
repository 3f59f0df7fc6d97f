// What the sheet editor made on demand in a sheet, freed when the sheet goes.
#pragma once

namespace plexa {

struct SheetRecord;

// Frees the polygon still being drawn, the item modifiers, the split-wire list, the log window,
// the undo action and the search's hold on the sheet, and clears those fields.
void ReleaseSheetEditorParts(SheetRecord* sheet);

}  // namespace plexa
