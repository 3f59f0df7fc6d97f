// The editor's hook tables: the toolkit's and the editors' own, beside the core's
// (app/root_tables.h). Only app/ and its tests include this.
#pragma once

#include "app/prefs.h"
#include "app/root_tables.h"
#include "library/libfile.h"
#include "model/waitcursor.h"
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/colorpopups.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/scriptcommands.h"
#include "sheeteditor/search.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetsymbolui.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/symbolupdate.h"
#include "sheeteditor/wirestretch.h"
#include "sheeteditor/wiretracking.h"
#include "symboleditor/filesympins.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/symeditor.h"

namespace plexa {

struct EditorHookTables {
    // sheeteditor/
    SheetWindowHooks sheetWindow;
    SheetOpenHooks sheetOpen;
    FileSelectHooks fileSelect;
    ScriptCommandHooks scriptCommands;
    SheetSymbolUIHooks sheetSymbolUI;
    SymbolUpdateHooks symbolUpdate;
    SheetToolsHooks sheetTools;
    SpiceWindowHooks spiceWindows;
    WireTrackingHooks wireTracking;
    ColorPopupHooks colorPopups;
    AttributeClipHooks attributeClip;
    SearchLogHooks searchLog;
    WireStretchHooks wireStretch;
    // symboleditor/
    SymbolEditorHooks symbolEditor;
    FileSymbolPinHooks fileSymbolPins;
    LibEditorHooks libEditor;
    // app/: the preferences' failures.
    PreferencesHooks preferences;
    // library/: where File > New > Library... makes its file, and the wait while a library's
    // map is rebuilt.
    PromptCreateLibraryProc promptCreateLibrary = nullptr;
    LibraryWaitProc libraryWait = nullptr;
    // model/: the wait in the model's long loops (the purges before a save, a compaction).
    ModelWaitCursorProc modelWaitCursor = nullptr;
};

// Each editor's part of the composition, in app/editor_<folder>.cpp: its own tables, and its
// windows and dialogs in the core's tables where the core answers quietly.
void ComposeSheetEditor(CoreHookTables& core, EditorHookTables& editor);
void ComposeSymbolEditor(CoreHookTables& core, EditorHookTables& editor);
// The preferences' answers in the slots that ask for them (app/editor_prefs.cpp).
void ComposePreferences(CoreHookTables& core, EditorHookTables& editor);

// Sets every table of `t` in its layer.
void SetEditorHooks(const EditorHookTables& t);

}  // namespace plexa
