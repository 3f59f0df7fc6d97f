// The editor composition: the symbol editor's tables, its link with the library editor, its
// questions and windows in the core's tables, and what a sheet save does to the file symbols and
// to the sheets made from them.
#include "app/editor_tables.h"
#include "sheeteditor/attributeeditor.h"
#include "app/viewcommands.h"

#include <cstdio>

#include "app/prefs.h"
#include "app/shell.h"
#include "files/sheetsave.h"
#include "files/sheetstore.h"
#include "library/itemcache.h"
#include "library/libpaths.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "symboleditor/libeditor.h"
#include "sheeteditor/colorpopups.h"
#include "sheeteditor/elementinfo.h"
#include "sheeteditor/elementtools.h"
#include "sheeteditor/sheetclose.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/textframeedit.h"
#include "symboleditor/libeditorlink.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

InvalidSymbolAnswer AskInvalidSymbol(SymbolEditorRecord*) {
    return VXStandardAlert(kInvalidSymbolMessage, "", kInvalidSymbolEditButton, kInvalidSymbolCloseButton) ==
                   kVXAlertFirstButton
               ? InvalidSymbolAnswer::kEdit
               : InvalidSymbolAnswer::kCloseAnyway;
}

// The save question of a closing window, named by the window's title.
template <class Answer>
Answer AskSaveWindow(VXWindowRecordTag* window) {
    char title[512] = "";
    if (window) {
        VXSelectWindow(window);
        VXWaitUpdateWindows();
        VXGetWindowTitle(window, title);
    }
    bool save = false;
    if (!AskSaveDialog(title, kSaveQuestionSheet, &save)) return Answer::kCancel;
    return save ? Answer::kSave : Answer::kDontSave;
}

// The save panel of a library file, starting in the spec's folder with its name.
bool AskLibraryFile(const char* prompt, FileSpec* spec) {
    const bool inFolder = !IsDirectoryInvalid(&spec->directory);
    return RunSaveFilesPanel(prompt, spec->name, inFolder, kLibraryCreator, kLibraryFileType, spec) == status::kNoErr;
}

// File > New > Library...: the new file's place, starting in the remembered library folder.
bool PromptNewLibraryFile(FileSpec* spec) {
    int32_t value = 0;
    GetPrefDirectory(kPrefDirLibraries, &spec->directory, &value);
    if (!*spec->name) std::snprintf(spec->name, sizeof spec->name, "%s", kUntitledLibraryName);
    if (!AskLibraryFile(kCreateLibraryPrompt, spec)) return false;
    RecordPrefDirectory(kPrefDirLibraries, &spec->directory, 0);
    return true;
}

void ReportSymbolEditorError(OSStatus status, const char* message) {
    if (message && *message) VXDisplayMessage(message);
    else VXErrorReport(status);
}

// Before a sheet is written: its file symbols follow the sheet, and symbols made from dirty child
// sheets are brought up to date; then the model's tidying.
void TidyEditedSheetForSave(SheetRecord* sheet) {
    SynchronizeSheetsFileSymbols(sheet, true);
    if (sheet->modifiedFlags & kSheetModifiedChildSymbols) VXErrorReport(UpdateDirtyChildSymbolsInSheet(sheet, false, false));
    TidySheetForSave(sheet);
}

// After a save: the other open sheets take the new file symbols, and the projects' library lists
// take the sheet.
void AfterSheetSave(SheetRecord* sheet) {
    UpdateSheetsContainingChildSymbolFromSheet(sheet);
    UpdateProjectLibraryListsForSheet(sheet);
}

}  // namespace

void ComposeSymbolEditor(CoreHookTables& core, EditorHookTables& editor) {
    AddFileSymbolEditorHooks(editor.symbolEditor);
    // The library editor: its items open in symbol editors; its messages are alerts.
    AddLibEditorLinks(editor.symbolEditor, editor.libEditor);
    // The symbol editor's window and its dialogs.
    AddSymbolEditorWindowHooks(editor.symbolEditor);
    editor.symbolEditor.createFrameEditor = CreateTextFrameEditor;
    editor.symbolEditor.frameEditorGrowHandle = CalcTEGrowHandle;
    editor.symbolEditor.drawFrameEditor = FrameEditTE;
    editor.symbolEditor.frameEditorKey = ApplyTEKey;
    editor.symbolEditor.adjustViewScale = AdjustViewScale;
    AddSymbolEditorAttributeHooks(editor.symbolEditor);
    editor.symbolEditor.trackZoomRect = TrackZoomRect;
    editor.symbolEditor.setScaledViewPosition = SetScaledViewPostion;
    editor.symbolEditor.drawGrid = DrawGrid;
    editor.symbolEditor.hideShowRulers = HideShowRulers;
    editor.symbolEditor.drawRulers = DrawWindowRulers;
    editor.symbolEditor.rulerGuidesFollow = SetRulerGuidePositions;
    editor.symbolEditor.editElementInfo = [](ElementRecord* element) { return EditElementInfo(element, false); };
    editor.symbolEditor.trackColorPopup = TrackColorPopup;
    editor.symbolEditor.trackLineWidthPopup = TrackLineWidthPopup;
    // The top tool bar's width, fill and colour choices restyle the symbol editor's selection.
    editor.colorPopups.updateSymbolEditorElements = UpdateSymbolEditorWindowElements;
    editor.libEditor.message = VXDisplayMessage;
    editor.libEditor.reportError = VXErrorReport;
    editor.libEditor.reportOpenError = [](OSStatus status, const char* name) { VXOpenErrorReport(name, status); };
    editor.libEditor.beep = VXBeep;
    editor.libEditor.preferencesChanged = ChangedPreferences;
    editor.libEditor.activated = [](LibEditorRecord*) { InstallMenuBar(gLibEditMenuBar); };
    // A library Cut or Copy takes the clipboard: a sheet or symbol editor then has nothing to paste.
    editor.libEditor.claimClipboard = [] { ResetScrap(kScrapLibItems); };
    editor.symbolEditor.activated = [](SymbolEditorRecord*) { InstallMenuBar(gSymbolEditMenuBar); };
    editor.symbolEditor.askInvalidSymbol = AskInvalidSymbol;
    editor.symbolEditor.askSaveItem = [](SymbolEditorRecord* e) { return AskSaveWindow<SaveItemAnswer>(e->window); };
    editor.libEditor.askSave = [](LibEditorRecord* e, const char*) { return AskSaveWindow<LibSaveAnswer>(e->window); };
    editor.libEditor.askLibraryCopy = [](FileSpec* spec) { return AskLibraryFile(kLibraryCopyPrompt, spec); };
    editor.promptCreateLibrary = PromptNewLibraryFile;
    editor.symbolEditor.reportError = ReportSymbolEditorError;
    editor.symbolEditor.sheetModified = [](SheetRecord* sheet, uint32_t why) { SetSheetModifiedStatus(sheet, int32_t(why)); };
    editor.symbolEditor.markSheetsWithChildSymbols = MarkSheetsContainingChildSymbolFromSheet;

    editor.fileSymbolPins.updateSheetsWithDirtyChildSymbols = [](ProjectRecord*) { UpdateSheetsWithDirtyChildSymbols(); };

    core.symbols.findAndSelectLibEditorItem = FindAndSelectLibEditorItemNamed;
    core.symbols.editSelectedLibItems = EditSelectedItemsOfWindow;
    core.symbols.openSheetFileSymbolEditor = OpenFileSymbolEditorNamed;
    core.sheetSave.tidy = TidyEditedSheetForSave;
    core.sheetSave.afterSave = AfterSheetSave;
}

}  // namespace plexa
