// The editor composition: the sheet editor's tables, and its windows and dialogs in the core's.
#include "app/editor_tables.h"
#include "sheeteditor/sheetwindow.h"

namespace plexa {

void ComposeSheetEditor(CoreHookTables& core, EditorHookTables& editor) {
    (void)editor;
    core.sheetLoad.openSheets = SheetWindowSheets;
    core.sheetSave.windowPlace = SheetWindowPlace;
}

}  // namespace plexa
