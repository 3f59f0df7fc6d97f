// The marks of change of a symbol editor and who is told of them: the editor's "edited" mark (its
// window title shows it, and the first mark tells the owner: the library editor's row of the item,
// or the sheet holding the file symbol), and the item's "changed" mark for its owner.
#pragma once

#include <cstdint>

namespace plexa {

struct SheetRecord;
struct SymbolEditorRecord;

// Reasons a sheet is told its editor changed: its content, or a file symbol stored into it.
constexpr uint32_t kSheetContentChanged = 0x01;
constexpr uint32_t kSheetFileSymbolStored = 33;

// Tells the sheet (none: nothing) that it changed for the reasons; without the sheetModified hook
// a content change marks the sheet's content modified.
void SymbolEditorSheetModified(SheetRecord* sheet, uint32_t reasons);
// Redraws the item's row in the library editor owning the editor, selecting it when asked
// (nothing for a file symbol's editor).
void UpdateSymbolEditorLibItemRow(SymbolEditorRecord* editor, bool select);
// The window's title shows the mark of unsaved changes when `unsaved`.
void ShowSymbolEditorUnsaved(SymbolEditorRecord* editor, bool unsaved);
// Marks the editor (none: CurrEdit) edited, dropping its undo action when asked; the first mark
// tells the owner.
void SetEditModified(SymbolEditorRecord* editor, bool clearUndo);
// Marks the item changed for its owner (once).
void SetSymbolLibItemModified(SymbolEditorRecord* editor);

}  // namespace plexa
