// The editor's entry point of the composition root: the core's tables composed as for every
// program, then the editors' windows and dialogs put in the place of the quiet answers, then the
// editors' own tables; each table is set once.
#include "app/editor_root.h"
#include "app/editor_tables.h"
#include "model/waitcursor.h"
#include "toolkit/vx_about.h"

namespace plexa {

void SetEditorHooks(const EditorHookTables& t) {
    SetSheetWindowHooks(t.sheetWindow);
    SetSheetOpenHooks(t.sheetOpen);
    SetFileSelectHooks(t.fileSelect);
    SetScriptCommandHooks(t.scriptCommands);
    SetSheetSymbolUIHooks(t.sheetSymbolUI);
    SetSymbolUpdateHooks(t.symbolUpdate);
    SetLibBrowserHooks(t.libBrowser);
    SetSheetToolsHooks(t.sheetTools);
    SetSpiceWindowHooks(t.spiceWindows);
    SetWireTrackingHooks(t.wireTracking);
    SetSheetGridHooks(t.sheetGrid);
    SetColorPopupHooks(t.colorPopups);
    SetAttributeClipHooks(t.attributeClip);
    SetSearchLogHooks(t.searchLog);
    SetSymbolEditorHooks(t.symbolEditor);
    SetFileSymbolPinHooks(t.fileSymbolPins);
    SetLibEditorHooks(t.libEditor);
    SetPromptCreateLibraryProc(t.promptCreateLibrary);
    // The model's long loops (the purges before a save, a string-block compaction) turn the
    // toolkit's busy cursor.
    SetModelWaitCursorProc(WaitCursor);
}

void InstallEditorHooks() {
    CoreHookTables core = ComposeCoreHooks();
    EditorHookTables editor;
    ComposeSheetEditor(core, editor);
    ComposeSymbolEditor(core, editor);
    SetCoreHooks(core);
    SetEditorHooks(editor);
}

}  // namespace plexa
