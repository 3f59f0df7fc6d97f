// Select All on a sheet or in a symbol editor.
#pragma once

#include <cstdint>

namespace plexa {

struct SheetRecord;
struct SymbolEditorRecord;

// Marks every symbol, every graphic element (but hideable ones while the sheet hides them) and
// every wire of every signal and buss as selected.
void SelectSheetContents(SheetRecord* sheet);

// Select All for a window of that kind (101 a sheet, 111 a symbol editor; others nothing). With
// option only the texts (not hidden) and text frames are selected; without it a sheet selects its
// contents and the frames no symbol owns, a symbol editor its elements and frames.
void DoSelectAll(int16_t kind, void* document, bool option);

}  // namespace plexa
