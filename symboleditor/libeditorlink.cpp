// The library editor's and the symbol editor's hooks into each other (see libeditorlink.h).
#include "symboleditor/libeditorlink.h"

#include "symboleditor/libeditor.h"
#include "model/libitem.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"

namespace plexa {

void AddLibEditorLinks(SymbolEditorHooks& symbol, LibEditorHooks& library) {
    symbol.getLibItemData = GetLibEditorItemData;
    symbol.releaseLibItemData = ReleaseLibEditorItemData;
    symbol.setLibItemEditor = [](LibEditorItemRef* ref, SymbolEditorRecord* editor) {
        if (ref) ref->symbolEditor = editor;
    };
    symbol.syncLibItemRef = SyncLibItemRefWithSymbolEditor;
    symbol.updateLibItemRow = [](LibEditorRecord* libEditor, LibEditorItemRef* ref, bool select) {
        UpdateLibEditorListItem(libEditor, ref);
        if (select) SelectLibEditorItem(libEditor, ref, true);
    };
    symbol.libEditorWindow = [](LibEditorRecord* libEditor) { return libEditor->window; };
    symbol.saveLibrary = [](LibEditorRecord* libEditor) { return SaveLibEditorChanges(libEditor) == 0; };

    library.openItemEditor = OpenLibSymbolEditor;
    library.closeItemEditor = [](SymbolEditorRecord* editor, bool save, bool ask) {
        return CloseLibrarySymbolEditor(editor, save, ask);
    };
    library.itemEditorValid = [](SymbolEditorRecord* editor) { return ValidateSymbolEditorSymbol(editor); };
    library.flushItemEditor = [](SymbolEditorRecord* editor) { return FlushSymbolEditor(editor, false); };
    library.itemEditorChanged = [](SymbolEditorRecord* editor) {
        return (editor->state & kSymEditItemModified) != 0;
    };
    library.itemEditorEdited = [](SymbolEditorRecord* editor) { return SymbolEditorHasChanges(editor); };
    library.itemEditorLibrarySaved = [](SymbolEditorRecord* editor) {
        UpdateSymbolEditorTitle(editor);
        ShowSymbolEditorUnsaved(editor, IsLibItemDirty(editor->itemRef));
    };
    library.flattenItemEditor = FlattenSymbolEditorItem;
    library.itemEditorTaken = [](SymbolEditorRecord* editor) {
        editor->state &= uint16_t(~kSymEditItemModified);
    };
    library.addItemEditorSymbolFlags = [](SymbolEditorRecord* editor, uint32_t flags) {
        editor->symbolFlags |= flags;
        if (editor->symbol >= 0)
            SetLibSymbolFlags(editor->item, editor->symbol, GetLibSymbolFlags(editor->item, editor->symbol) | flags);
    };
}

}  // namespace plexa
