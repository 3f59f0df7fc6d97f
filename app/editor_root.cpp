// The editor's entry point of the composition root: the core's tables composed as for every
// program, then the editors' windows and dialogs put in the place of the quiet answers, then the
// editors' own tables; each table is set once.
#include "app/editor_root.h"
#include "app/editor_tables.h"
#include "toolkit/vx_about.h"

namespace plexa {

void SetEditorHooks(const EditorHookTables& t) {
    SetSheetWindowHooks(t.sheetWindow);
    SetSheetOpenHooks(t.sheetOpen);
    SetFileSelectHooks(t.fileSelect);
    SetScriptCommandHooks(t.scriptCommands);
    SetSheetSymbolUIHooks(t.sheetSymbolUI);
    SetSymbolUpdateHooks(t.symbolUpdate);
    SetSheetToolsHooks(t.sheetTools);
    SetSpiceWindowHooks(t.spiceWindows);
    SetWireTrackingHooks(t.wireTracking);
    SetColorPopupHooks(t.colorPopups);
    SetAttributeClipHooks(t.attributeClip);
    SetSearchLogHooks(t.searchLog);
    SetWireStretchHooks(t.wireStretch);
    SetSymbolEditorHooks(t.symbolEditor);
    SetFileSymbolPinHooks(t.fileSymbolPins);
    SetLibEditorHooks(t.libEditor);
    SetPreferencesHooks(t.preferences);
    SetPromptCreateLibraryProc(t.promptCreateLibrary);
    SetLibraryWaitProc(t.libraryWait);
    SetModelWaitCursorProc(t.modelWaitCursor);
}

namespace {

// The toolkit's answers that no editor owns: the busy cursor of the model's and the library's
// long loops.
void ComposeToolkit(EditorHookTables& editor) {
    editor.libraryWait = WaitCursor;
    editor.modelWaitCursor = WaitCursor;
}

}  // namespace

void InstallEditorHooks() {
    CoreHookTables core = ComposeCoreHooks();
    EditorHookTables editor;
    ComposeSheetEditor(core, editor);
    ComposeSymbolEditor(core, editor);
    ComposePreferences(core, editor);
    ComposeToolkit(editor);
    SetCoreHooks(core);
    SetEditorHooks(editor);
}

}  // namespace plexa
