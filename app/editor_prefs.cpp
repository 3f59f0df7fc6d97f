// The editor composition: the preferences' answers in the layers' slots that ask for them (the
// change mask, the symbol text offsets, the sheet editor's options, the simulator link's
// settings, the remembered folders of the file panels, the report scripts, the text editor and
// the library shortcuts), and the editor's alerts for the preferences' own failures. Each answer
// reads the preferences when it is asked, so the composition does not wait for them to load.
#include "app/editor_tables.h"
#include "app/prefs.h"
#include "app/prefs_answers.h"
#include "toolkit/vx_alerts.h"

namespace plexa {

void ComposePreferences(CoreHookTables& core, EditorHookTables& editor) {
    editor.preferences.message = VXDisplayMessage;
    editor.preferences.errorReport = VXErrorReport;

    core.model.changedPreferences = RecordChangedPreferences;
    core.symbolTexts.preferences = PreferredSymbolTextOffsets;
    editor.wireStretch.orthogonalRubberband = PreferOrthogonalRubberband;
    editor.spiceWindows.preferences = PreferredSpiceLink;
    editor.spiceWindows.storePreferences = StorePreferredSpiceLink;
    editor.fileSelect.getPrefDirectory = PreferredFolder;
    editor.fileSelect.recordPrefDirectory = RecordPreferredFolder;
    editor.sheetOpen.checkOnOpen = PreferCheckOnOpen;
    editor.scriptCommands.getScript = PreferredScript;
    editor.scriptCommands.replaceScript = ReplacePreferredScript;
    editor.scriptCommands.textEditorApplication = PreferredTextEditor;
    editor.sheetTools.shortcutCount = ShortcutCount;
    editor.sheetTools.shortcutName = ShortcutName;
    editor.sheetTools.selectShortcut = SelectShortcut;
    editor.sheetTools.subSheetTool = PreferHierarchicalDesign;
    editor.wireTracking.showTerminalMark = PreferTerminalMarks;
    editor.wireTracking.askNewSignalName = PreferAskingNewSignalName;
}

}  // namespace plexa
