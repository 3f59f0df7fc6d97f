// The Tools menu: search, annotation, signal names, parts, libraries, the project check and the
// simulator; each command's rule for the front document and its action.
#include "app/shell.h"
#include "design/simlink_session.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "foundation/ll.h"
#include "library/libpaths.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/annotatedialog.h"
#include "sheeteditor/ecowindows.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/resequencedialog.h"
#include "sheeteditor/search.h"
#include "sheeteditor/sheetsettings.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/symbolupdate.h"
#include "sheeteditor/updatepartsdialog.h"
#include "toolkit/vx_commands.h"

namespace plexa {

namespace {

// The project of the front message log's owner (a project, or a sheet's project).
ProjectRecord* LogProject(const FrontDocument& front) {
    if (front.kind != kMessageLogKind) return nullptr;
    LogWindowRecord* log = WindowToLog(front.window);
    if (!log) return nullptr;
    if (log->ownerKind == kProjectKind) return static_cast<ProjectRecord*>(log->owner);
    return log->ownerKind == kSheetKind ? static_cast<SheetRecord*>(log->owner)->project : nullptr;
}

// The project that the project commands work on: a log's, the project window's or the sheet's.
ProjectRecord* CommandProject(const FrontDocument& front) {
    if (ProjectRecord* project = LogProject(front)) return project;
    return FrontProject(front);
}

// The sheet that owns the front message log, none for another owner or window.
SheetRecord* LogSheet(const FrontDocument& front) {
    if (front.kind != kMessageLogKind) return nullptr;
    LogWindowRecord* log = WindowToLog(front.window);
    return log && log->ownerKind == kSheetKind ? static_cast<SheetRecord*>(log->owner) : nullptr;
}

bool LogOfSheetOrProject(const FrontDocument& front) {
    if (front.kind != kMessageLogKind) return false;
    LogWindowRecord* log = WindowToLog(front.window);
    return log && log->owner && (log->ownerKind == kSheetKind || log->ownerKind == kProjectKind);
}

// Update Parts from the front window: a sheet (its project), a log (its owner) or the project
// window (its project and whether rows of its tree are selected).
void UpdatePartSymbols(const FrontDocument& front) {
    if (SheetRecord* sheet = LogSheet(front)) return UpdatePartSymbolsOf(sheet, sheet->project, false);
    if (ProjectRecord* project = LogProject(front)) return UpdatePartSymbolsOf(nullptr, project, false);
    if (front.kind == kSheetKind && front.sheet) return UpdatePartSymbolsOf(front.sheet, front.sheet->project, false);
    if (front.kind == kProjectKind && front.project) {
        // The tree's nodes say which sheets are selected.
        StoreRowStates(front.project);
        UpdatePartSymbolsOf(nullptr, front.project, CountSelectedProjectRows(front.project) > 0);
    }
}

bool ReplaceableSelection() {
    if (gSelSymbolCount > 1) return true;
    auto* symbol = static_cast<SymbolRecord*>(gSelSymbol);
    return symbol && !(symbol->flags & (kSymbolFlagSheet | kSymbolFlagFileSymbol));
}

bool HasAnalyses(const ProjectRecord* project) {
    return project && project->analyses && project->analyses->list && LLFirst(project->analyses->list);
}

}  // namespace

void PrepToolsCommand(VXPrepCommandRecord* r, const FrontDocument& front) {
    const bool projectCommand = front.project || (front.sheet && front.sheet->project);
    switch (r->command) {
    case 400: r->enabled = !front.modal && front.kind != kECOLogKind; break;
    case 401:
    case 402:
    case 403:
    case 404: GetSearchReplaceCommandEnabled(r, front.kind); break;
    case 405:
    case 406:
    case 407: r->enabled = projectCommand; break;
    case 408: r->enabled = front.sheet && ReplaceableSelection(); break;
    case 409:
        r->enabled = front.kind == kSheetKind || front.kind == kProjectKind || LogOfSheetOrProject(front);
        break;
    case 410:
    case 413: r->enabled = !front.modal; break;
    case 411: r->enabled = CommandProject(front) != nullptr; break;
    case 412: r->enabled = front.kind == kSheetKind || LogSheet(front) != nullptr; break;
    case 414: r->enabled = front.sheet && HasAnalyses(front.sheet->project); break;
    default: break;
    }
}

int32_t DoToolsCommand(uint16_t id, const FrontDocument& front, bool option) {
    switch (id) {
    case 401:
    case 402:
    case 403:
    case 404: (void)DoSearchReplaceCommand(id); return 1;
    case 405:
        if (front.project) AutoAnnotate(front.project, nullptr, 0);
        else if (front.sheet && front.sheet->project) AutoAnnotate(front.sheet->project, front.sheet, 0);
        return 1;
    case 406:
        if (ProjectRecord* project = FrontProject(front)) BackAnnotate(project);
        return 1;
    case 407:
        if (front.sheet) ResequenceSignalNames(front.sheet->project, front.sheet);
        else if (front.project) ResequenceSignalNames(front.project, nullptr);
        return 1;
    case 408:
        if (front.sheet) ReplaceSelectedSymbols(front.sheet);
        return 1;
    case 409: UpdatePartSymbols(front); return 1;
    case 410:
        BuildLibraryFileList(nullptr, option);
        for (ProjectRecord* project = gProjectList; project; project = project->next)
            RebuildProjectLibraryFiles(project, option);
        if (front.sheet && front.sheet->libraryPane) SynchBrowserWithCache(front.sheet->libraryPane);
        return 1;
    case 411:
        if (ProjectRecord* project = CommandProject(front)) SchError(CheckProjectHierarchy(project, true, false));
        return 1;
    case 412:
        if (SheetRecord* sheet = LogSheet(front)) SchError(CheckSheet(sheet));
        else if (front.sheet) SchError(CheckSheet(front.sheet));
        return 1;
    case 413: SpiceSetup(); return 1;
    case 414:
        if (front.sheet) DisplayDeviceParameters(front.sheet, static_cast<SymbolRecord*>(gSelSymbol));
        return 1;
    default: return 0;
    }
}

}  // namespace plexa
