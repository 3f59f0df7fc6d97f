// Pasting the sheet clipboard into a sheet, and duplicating a sheet's selection.
//
// A paste puts the clip's objects into the sheet as new, selected objects one paste step below and
// to the right of the last place (or where a click set the paste point, or where a Cut took them
// from), gives the symbols serial numbers free in the sheet, moves all strings into the sheet's
// string block, resolves designators and merges or renames the pasted signals against the
// sheet's signals of the same name. A paste can be undone as one action (Paste, or Duplicate).
#pragma once

#include <cstdint>

namespace plexa {

struct SheetRecord;

// The paste step of a grid: the smallest multiple of the grid that is at least 36 (a grid below 1
// counts as 1).
int32_t PasteStep(int32_t grid);
// Does nothing unless the clip holds pasteable sheet objects.
void PasteIntoSheet(SheetRecord* sheet);
// Copies and pastes the selection through a clip of its own; the user's clipboard, and the
// sheet's record of the clip last copied from it, stay as they were.
void DuplicateSheetSelection(SheetRecord* sheet, bool shift);

}  // namespace plexa
