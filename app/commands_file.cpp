// The File menu's part of the command table: new documents, opening, closing, saving, exporting,
// the report scripts, page set-up and printing; each command's rule for the front document beside
// its action.
#include "app/recentmenus.h"
#include "app/shell.h"
#include "app/printing.h"
#include "toolkit/vx_print.h"
#include "files/hierarchy.h"
#include "files/openkinds.h"
#include "files/project.h"
#include "files/sheetports.h"
#include "foundation/filespec.h"
#include "model/selectionsummary.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetsettings.h"
#include "sheeteditor/dxfexportui.h"
#include "sheeteditor/ecowindows.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/scriptcommands.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetwindow.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint32_t kOpenKinds = kOpenKindSheets | kOpenKindProjects | kOpenKindLibraries;
constexpr int32_t kOpenFolder = 3;

// Each file chosen in the open panel: a failure is told with the file's name, and the next file
// is opened all the same.
OSStatus OpenChosenFile(const FileSpec* spec, int32_t, int32_t, void*) {
    ReportOpenFailure(spec, OpenFileProcessor(spec));
    return status::kNoErr;
}

// The single selected symbol when it stands for a sheet (a sheet symbol or a file symbol).
SymbolRecord* SelectedSheetSymbol() {
    auto* symbol = static_cast<SymbolRecord*>(FrontSelection().symbol);
    return symbol && (symbol->flags & (kSymbolFlagSheet | kSymbolFlagFileSymbol)) ? symbol : nullptr;
}

bool IsDocumentKind(int16_t kind) { return kind == kSheetKind || kind == kProjectKind; }

// Closes every visible window of the kind, front to back; stops at the first that stays.
void CloseAllWindowsOfKind(int16_t kind) {
    gCloseAllWindowsKind = kind;
    for (bool again = true; again;) {
        again = false;
        for (VXWindowRecordTag* w : VXTopLevelWindows()) {
            if (w->typeID != kind || !VXIsWindowVisible(w, false)) continue;
            again = VXSendGoAway(w);
            break;
        }
    }
    gCloseAllWindowsKind = 0;
}

}  // namespace

namespace {

using Record = VXPrepCommandRecord;
using Front = FrontDocument;

void EnableWhenModeless(Record* r, const Front& f) { r->enabled = !f.modal; }
void EnableForDocument(Record* r, const Front& f) { r->enabled = IsDocumentKind(f.kind); }
void EnableWithRecentFiles(Record* r, const Front& f) { r->enabled = !f.modal && HasRecentFiles(); }

int32_t Done() { return 1; }

const CommandEntry kFileCommands[] = {
    {cmd::kFileMenu, cmd::kFileMenu, [](Record* r, const Front& f) { r->enabled = !f.modal || f.kind == kECOLogKind; },
     nullptr},
    {cmd::kNewMenu, cmd::kNewMenu, EnableWhenModeless, nullptr},
    {cmd::kNewSheet, cmd::kNewSheet, EnableWhenModeless,
     [](const CommandCall&) {
         NewSchematicDrawing();
         return Done();
     }},
    {cmd::kNewProject, cmd::kNewProject, EnableWhenModeless,
     [](const CommandCall&) {
         // A project made now is one of the recent ones, as an opened one is.
         if (ProjectRecord* made = CreateNewProject()) UpdateRecentFilesMenu(&made->file.spec, FourCC("PRJ4"));
         return Done();
     }},
    {cmd::kNewLibrary, cmd::kNewLibrary, EnableWhenModeless,
     [](const CommandCall&) {
         CreateNewLibrary();
         return Done();
     }},
    {cmd::kOpen, cmd::kOpen, EnableWhenModeless,
     [](const CommandCall&) {
         SchError(SelectAndProcessFiles(kOpenKinds, kOpenFolder, "Open Files", "", OpenChosenFile, nullptr, nullptr));
         return Done();
     }},
    {cmd::kOpenSelection, cmd::kOpenSelection,
     [](Record* r, const Front& f) {
         // The project window opens its selected rows itself.
         r->enabled = f.kind == kProjectKind ? CountSelectedProjectRows(f.project) > 0
                                             : f.sheet && SelectedSheetSymbol();
     },
     [](const CommandCall& c) {
         if (!c.front.sheet) return int32_t(0);
         SymbolRecord* symbol = SelectedSheetSymbol();
         if (!symbol || !EnterSubSheet(c.front.sheet, symbol)) VXBeep();
         return Done();
     }},
    {cmd::kRecentMenu, cmd::kRecentMenu, EnableWithRecentFiles, nullptr},
    {cmd::kClose, cmd::kClose,
     [](Record* r, const Front& f) { r->enabled = !f.modal && f.window && VXWindowHasCloseBox(f.window); },
     [](const CommandCall& c) {
         const Front& f = c.front;
         if (c.shift && (f.kind == kSheetKind || f.kind == kLibEditorKind || f.kind == kSymbolEditorKind)) {
             CloseAllWindowsOfKind(f.kind);
             return Done();
         }
         if (!f.window || !VXWindowHasCloseBox(f.window)) return int32_t(0);
         VXSendGoAway(f.window);
         return Done();
     }},
    {cmd::kSave, cmd::kSave,
     [](Record* r, const Front& f) {
         if (SheetRecord* sheet = FrontSheetOf(f)) r->enabled = CanSaveSheet(sheet);
         else if (f.editor && f.editor->libEditor) r->enabled = IsLibEditorDirty(f.editor->libEditor);
         else if (f.project) r->enabled = IsProjectAnnotationDirty(f.project, true);
         else r->enabled = 0;
     },
     [](const CommandCall& c) {
         const Front& f = c.front;
         if (SheetRecord* sheet = FrontSheetOf(f)) {
             (void)SaveSheetCommand(sheet, c.shift);  // a failure was reported inside
         } else if (f.editor && f.editor->libEditor) {
             SchError(SaveLibEditorChanges(f.editor->libEditor));
         } else if (f.project) {
             UpdateProjectHierarchy(f.project, 12);
             SchError(UpdateProjectFile(f.project, true));
             SchError(UpdateProjectSheetLocalAnnotation(f.project));
         }
         return Done();
     }},
    {cmd::kSaveCopy, cmd::kSaveCopy, [](Record* r, const Front& f) { r->enabled = FrontSheetOf(f) || f.kind == kECOLogKind; },
     [](const CommandCall& c) {
         if (SheetRecord* sheet = FrontSheetOf(c.front)) (void)SaveSheetCopyCommand(sheet);  // a failure was reported inside
         else if (c.front.kind == kECOLogKind) SchError(SaveECOLogWindow(c.front.window));
         return Done();
     }},
    {cmd::kExportMenu, cmd::kExportMenu, EnableForDocument, nullptr},
    {cmd::kExportECO, cmd::kExportECO, EnableForDocument,
     [](const CommandCall& c) {
         ExportECO(FrontProject(c.front));
         return Done();
     }},
    {cmd::kASCIIDatabase, cmd::kASCIIDatabase, [](Record* r, const Front&) { r->enabled = 0; }, nullptr},
    {cmd::kExportDXF, cmd::kExportDXF, [](Record* r, const Front& f) { r->enabled = f.kind == kSheetKind; },
     [](const CommandCall& c) {
         if (c.front.sheet) ExportDXFFile(c.front.sheet);
         return Done();
     }},
    {cmd::kPageSetup, cmd::kPageSetup, EnableForDocument,
     [](const CommandCall& c) {
         if (SheetRecord* sheet = FrontSheetOf(c.front)) DoPageSetupForSheet(sheet);
         else if (c.front.kind == kProjectKind) DoProjectPageSetup(c.front.project);
         return Done();
     }},
    {cmd::kPrint, cmd::kPrint, EnableForDocument,
     [](const CommandCall& c) {
         if (SheetRecord* sheet = FrontSheetOf(c.front)) (void)PrintSheet(sheet, kVXPrintShowPanel);  // a failure was reported inside
         else if (c.front.kind == kProjectKind) (void)PrintProjectSheets(c.front.project, 0, kVXPrintShowPanel);
         return Done();
     }},
    {cmd::kClearRecent, cmd::kClearRecent, EnableWithRecentFiles,
     [](const CommandCall&) {
         if (VXAskConfirm("Remove all entries from the Recent Files menu?", "Remove", nullptr, 0)) ClearRecentFilesHistory();
         return Done();
     }},
    {cmd::kFirstRecent, cmd::kLastRecent, EnableWhenModeless,
     [](const CommandCall& c) {
         int32_t list = 0, index = 0;
         if (!RecentCommandEntry(c.id, &list, &index)) return int32_t(0);
         OpenRecentFile(list, index);
         return Done();
     }},
    {cmd::kFirstScript, cmd::kLastScript, EnableForDocument,
     [](const CommandCall& c) {
         const int32_t index = c.id - cmd::kFirstScript;
         if (c.shift && c.option) EditScriptFile(index);
         else if (c.front.project) RunScript(c.front.project, nullptr, index);
         else if (c.front.sheet) RunScript(nullptr, c.front.sheet, index);
         return Done();
     }},
};

}  // namespace

std::span<const CommandEntry> FileCommands() { return kFileCommands; }

}  // namespace plexa
