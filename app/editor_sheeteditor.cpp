// The editor composition: the sheet editor's tables, and its windows and dialogs in the core's.
#include "app/editor_tables.h"
#include "sheeteditor/dxfexportui.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_services.h"

namespace plexa {

void ComposeSheetEditor(CoreHookTables& core, EditorHookTables& editor) {
    (void)editor;
    core.sheetLoad.openSheets = SheetWindowSheets;
    core.sheetSave.windowPlace = SheetWindowPlace;
    core.model.windowSheet = SheetOfWindow;
    core.model.detachSheetWindows = DetachSheetWindows;
    core.spiceSession.beep = VXBeep;
    core.dxfExport.progressMessage = ShowDXFExportProgress;
}

}  // namespace plexa
