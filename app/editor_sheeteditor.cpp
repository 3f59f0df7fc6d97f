// The editor composition: the sheet editor's tables, and its windows and dialogs in the core's
// where the core answers quietly: alerts and error reports, questions, file panels, the message
// window, the sheet windows' invalidation and redraw, the project, ECO, annotation and simulator
// windows.
#include "app/editor_tables.h"
#include "app/prefs.h"
#include "app/prefsdialog.h"
#include "app/recentmenus.h"
#include "app/shell.h"
#include "app/shellutil.h"
#include "app/viewcommands.h"
#include "files/filesymbols.h"
#include "files/sheetfile.h"
#include "foundation/statustext.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "library/itemcache.h"
#include "library/libhistory.h"
#include "symboleditor/libeditor.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/search.h"
#include "app/logwindow.h"
#include "sheeteditor/annotatedialog.h"
#include "sheeteditor/simtools.h"
#include "sheeteditor/ecowindows.h"
#include "sheeteditor/hierarchywindows.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetrelease.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/scriptcommands.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetsymbolui.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/toolbars.h"
#include "sheeteditor/sheetundo.h"
#include "symboleditor/filesympins.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"
#include "sheeteditor/dxfexportui.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/wiredrag.h"

namespace plexa {

namespace {

// The message window: a text shows it, an empty or missing one takes it down.
void ShowStaticMessage(const char* text) { VXStaticMessage(kVXPlaceCentre, text ? text : ""); }
void CloseStaticMessage() { VXStaticMessage(kVXPlaceCentre, ""); }

// A question with two buttons; true for the first.
bool AskFirst(const char* message, const char* first, const char* second) {
    return VXStandardAlert(message, "", first, second) == kVXAlertFirstButton;
}
bool AskSecond(const char* message, const char* first, const char* second) {
    return VXStandardAlert(message, "", first, second) == kVXAlertSecondButton;
}

// A failure with the line that names what failed above the status's own message.
void ReportWithMessage(OSStatus status, const char* message) {
    if (!status || status == status::kUserCancelled) return;
    if (!message || !*message) {
        VXErrorReport(status);
        return;
    }
    // Below the line, the status as the error report words it.
    char reason[256];
    VXStandardAlert(message, StatusReportText(status, VXGetErrorString(status, reason)).c_str(), "OK", "");
}

OSStatus AskSaveFile(const char* prompt, const char* creator, const char* type, FileSpec* out) {
    return RunSaveFilesPanel(prompt, "", false, creator, type, out);
}

// The report scripts' save panel, starting in the folder: the full path of the chosen file.
bool AskSaveReportFile(const char* prompt, const char* defaultName, const char* folder, char* path, int32_t size) {
    FileSpec spec{};
    const bool inFolder =
        folder && *folder && DirectoryFromDirectoryURL(folder, &spec.directory) == status::kNoErr;
    if (RunSaveFilesPanel(prompt, defaultName ? defaultName : "", inFolder, "", "TEXT", &spec) != status::kNoErr)
        return false;
    return PathNameFromFileSpec(&spec, false, path, size_t(size), nullptr) == status::kNoErr;
}

// The core's slots that the sheet editor's windows answer.
void ComposeSheetEditorForCore(CoreHookTables& t) {
    t.dxf.displayMessage = VXDisplayMessage;
    t.dxf.errorReport = VXErrorReport;
    t.dxf.askSaveFile = AskSaveFile;

    t.model.invalSheetView = InvalSheetWindowArea;
    t.symbols.invalSheetView = InvalSheetWindowArea;
    t.symbols.showMessage = VXDisplayMessageOverUpdatedWindows;
    t.symbols.openLibBrowserFile = [](int32_t, VXWindowRecordTag** window) { return OpenLibBrowserFile(window); };
    t.symbols.invalidateActiveBrowser = InvalidateActiveBrowser;

    t.sheetPorts.openSheetContext = [](ProjectRecord* p, SheetNode* node) { return OpenSheetContext(p, node, false); };
    t.sheetPorts.openSheetFile = OpenSchematicSheet;
    AddSheetSaveCommands(t.sheetSave);
    t.pathSearch.showMessage = ShowStaticMessage;
    t.pathSearch.cancelKey = VXTestCancelKey;
    AddProjectCommands(t.projectOpen);
    AddProjectWindowHooks(t.projects, t.projectOpen, t.hierarchy);
    AddSheetOpenHierarchyHooks(t.hierarchy);
    t.hierarchy.report = ReportWithMessage;
    t.hierarchy.note = VXDisplayMessage;
    t.hierarchy.ask = AskSecond;
    t.hierarchy.chooseSheetFiles = ChooseSheetFiles;
    t.hierarchy.refreshSheetTexts = [](ProjectRecord* project) { UpdateProjectSheetText(project, false); };
    t.resequence.showMessage = ShowStaticMessage;
    t.resequence.closeMessage = CloseStaticMessage;
    t.resequence.reportError = VXErrorReport;
    t.resequence.keepUnsaved = ShowSheetInWindow;

    t.itemCache.message = VXDisplayMessage;
    t.itemCache.reportError = VXErrorReport;
    t.libHistory.message = VXDisplayMessage;
    t.libFinder.message = VXDisplayMessage;
    t.libFinder.status = ShowStaticMessage;

    AddAnnotationDialogHooks(t.annotation);
    t.reports.alert = VXDisplayMessage;
    t.reports.ask = AskFirst;
    t.reports.askSave = AskSaveReportFile;
    t.reports.cancelKey = ScriptCancelKey;
    t.scriptError = AlertScriptError;
    AddECOWindowHooks(t.eco, t.backAnnotation);
    t.eco.synchFileSymbols = SynchronizeProjectFileSymbols;
    AddSpiceWindows(t.spiceLink, t.spiceSession, t.spiceNetlist, t.spiceSheets);
}

}  // namespace

void ComposeSheetEditor(CoreHookTables& core, EditorHookTables& editor) {
    ComposeSheetEditorForCore(core);

    AddLogWindowHooks(core.hierarchy, editor.symbolUpdate, core.projects, editor.sheetWindow, editor.searchLog);
    AddSpiceToolBarHooks(editor.spiceWindows, core.spiceSession);
    editor.sheetWindow.changesDiscarded = RemoveLogSymbolLinksWithNewSerialNumbers;
    // A failed save was reported; the window stays.
    editor.sheetWindow.closeSheetWindow = [](VXWindowRecordTag* w) { (void)CloseSheetWindowOfShell(w, kCloseAsking); };
    editor.sheetWindow.activated = [](VXWindowRecordTag*) { InstallMenuBar(gStandardMenuBar); };
    editor.sheetWindow.zoomGesture = [](VXWindowRecordTag* w, const VXEventRecord* e) { return SheetZoomGestureHook(w, e); };

    editor.sheetOpen.report = [](OSStatus status, const FileSpec* file) { VXOpenErrorReport(file->name, status); };
    editor.sheetOpen.addRecentFile = [](const FileSpec* file, const char* type) { UpdateRecentFilesMenu(file, type); };

    editor.scriptCommands.openDocument = [](const char* path, const char* app) { return VXLaunchDocument(path, app, true, false); };

    editor.sheetSymbolUI.setSheetModified = [](SheetRecord* sheet, uint32_t kind) { SetSheetModifiedStatus(sheet, int32_t(kind)); };
    editor.sheetSymbolUI.markSheetsWithChildSymbols = MarkSheetsContainingChildSymbolFromSheet;

    editor.symbolUpdate.message = VXDisplayMessage;

    // Rows cut or copied in an attribute editor are what the clipboard holds until the next copy.
    editor.attributeClip.claimClipboard = [] { ResetScrap(kScrapAttributes); };
    editor.attributeClip.clipboardIsCurrent = [] { return GetScrapType() == kScrapAttributes; };
    editor.colorPopups.getColor = [](int32_t index) { return GetIndexedGrafColor(index); };
    editor.colorPopups.setColor = [](int32_t index, uint32_t color) { SetIndexedGrafColor(index, color); };

    core.itemCache.resetPlaceTransformation = [] { gPlaceTransformation = 0; };

    editor.sheetTools.editPrefs = EditPrefsFromDrawingTools;
    editor.sheetTools.setScaledViewPosition = SetScaledViewPostion;
    editor.sheetTools.trackZoomRect = TrackZoomRect;

    editor.wireTracking.connectSound = ConnectBeep;
    core.sheetColors.setForeColor = SetPreferredSheetForeColor;
    core.sheetColors.setBackColor = SetPreferredSheetBackColor;
    core.sheetColors.colorPreferred = SheetColorDisplay;
    core.sheetStore.setModified = SheetEditorModifiedStatus;
    core.sheetLoad.openSheets = SheetWindowSheets;
    core.sheetSave.windowPlace = SheetWindowPlace;
    core.model.windowSheet = SheetOfWindow;
    core.model.detachSheetWindows = DetachSheetWindows;
    core.model.releaseSheetEditorParts = ReleaseSheetEditorParts;
    core.model.collectTextOwnerChange = CollectUndoSheetTextOwner;
    core.projects.releaseEditState = ReleaseProjectEditState;
    core.symbols.clearSheetUndoAction = ClearSheetUndoAction;
    core.imageLists.clearUndoAction = ClearSheetUndoAction;
    core.spiceSession.beep = VXBeep;
    core.dxfExport.progressMessage = ShowDXFExportProgress;
}

}  // namespace plexa
