#include "symboleditor/symmodified.h"

#include "model/sheet.h"
#include "symboleditor/symrecord.h"
#include "symboleditor/symundorecord.h"
#include "toolkit/vx_window.h"

namespace plexa {

void SymbolEditorSheetModified(SheetRecord* sheet, uint32_t reasons) {
    if (!sheet) return;
    if (GetSymbolEditorHooks().sheetModified) GetSymbolEditorHooks().sheetModified(sheet, reasons);
    else if (reasons & kSheetContentChanged) sheet->modifiedFlags |= kSheetModifiedContent;
}

void UpdateSymbolEditorLibItemRow(SymbolEditorRecord* editor, bool select) {
    if (editor->libEditor && GetSymbolEditorHooks().updateLibItemRow)
        GetSymbolEditorHooks().updateLibItemRow(editor->libEditor, editor->itemRef, select);
}

void ShowSymbolEditorUnsaved(SymbolEditorRecord* editor, bool unsaved) {
    if (editor && editor->window) VXSetWindowModified(editor->window, unsaved);
}

void SetEditModified(SymbolEditorRecord* editor, bool clearUndo) {
    if (!editor) editor = CurrEdit;
    if (!editor) return;
    if (clearUndo) ClearSymbolEditorUndoAction(editor);
    if (editor->state & kSymEditEdited) return;
    editor->state |= kSymEditEdited;
    ShowSymbolEditorUnsaved(editor, true);
    if (editor->libEditor) UpdateSymbolEditorLibItemRow(editor, false);
    else SymbolEditorSheetModified(editor->sheet, kSheetContentChanged);
}

void SetSymbolLibItemModified(SymbolEditorRecord* editor) {
    if (editor->state & kSymEditItemModified) return;
    editor->state |= kSymEditItemModified;
    UpdateSymbolEditorLibItemRow(editor, false);
}

}  // namespace plexa
