// The hierarchy that goes along with a Cut. A sheet symbol cut from a sheet takes the occurrences
// of its child sheet with it: for every open project that uses the cut sheet, the clip keeps each
// occurrence of that sheet (in the order of the project's tree), the designators the cut symbols
// have there, and the child occurrences that hang below the cut sheet symbols. Pasting into a sheet
// of the same project pairs the occurrences in order and copies each child occurrence, with its
// descendants and their designators, under the pasted sheet symbol; the pasted symbols take their
// designators at every occurrence of the destination.
#pragma once

#include <cstdint>
#include <map>

namespace plexa {

struct ClipTargetList;
struct SheetRecord;

// Fills the clip's target list from the sheet the clip was just copied from (its symbols are the
// clip's symbols, with their serial numbers in that sheet).
void CopyTargetTrees(SheetRecord* sheet);
// After the clip's symbols were pasted into the sheet: `serials` maps each symbol's serial number
// in the clip to the one it has in the sheet.
void MoveTargetTrees(SheetRecord* sheet, const std::map<uint32_t, uint32_t>& serials);
void DestroyTargetList(ClipTargetList* list);

}  // namespace plexa
