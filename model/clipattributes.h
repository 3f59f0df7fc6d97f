// Copied attributes pasted onto the signals of a sheet's selected wires; the clipboard's
// attributes and their paste onto selected symbols are in model/symbols.h.
#pragma once

namespace plexa {

struct SheetRecord;

// Sets every copied attribute (its shown bit cleared) on each signal that has a selected wire,
// over an attribute of the same name or as a new one (a signal shows no attribute texts);
// whether any signal took an attribute.
bool ApplyClipAttributesToSignals(SheetRecord* sheet);

}  // namespace plexa
