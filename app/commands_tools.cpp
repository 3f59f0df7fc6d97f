// The Tools menu's part of the command table: search, annotation, signal names, parts, libraries,
// the project check and the simulator; each command's rule for the front document beside its
// action.
#include "app/shell.h"
#include "design/simlink_session.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "foundation/ll.h"
#include "library/libpaths.h"
#include "model/selectionsummary.h"
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
    if (FrontSelection().symbolCount > 1) return true;
    auto* symbol = static_cast<SymbolRecord*>(FrontSelection().symbol);
    return symbol && !(symbol->flags & (kSymbolFlagSheet | kSymbolFlagFileSymbol));
}

bool HasAnalyses(const ProjectRecord* project) {
    return project && project->analyses && project->analyses->list && LLFirst(project->analyses->list);
}

}  // namespace

namespace {

using Record = VXPrepCommandRecord;
using Front = FrontDocument;

int32_t Done() { return 1; }

void EnableForProject(Record* r, const Front& f) { r->enabled = f.project || (f.sheet && f.sheet->project); }
void EnableWhenModeless(Record* r, const Front& f) { r->enabled = !f.modal; }
// Find, Find Next, Change and Change All: the search module's rules and actions.
void SearchRule(Record* r, const Front& f) { GetSearchReplaceCommandEnabled(r, f.kind); }
int32_t Search(const CommandCall& c) {
    (void)DoSearchReplaceCommand(c.id);
    return Done();
}

const CommandEntry kToolsCommands[] = {
    {cmd::kToolsMenu, cmd::kToolsMenu, [](Record* r, const Front& f) { r->enabled = !f.modal && f.kind != kECOLogKind; },
     nullptr},
    {cmd::kFind, cmd::kChangeAll, SearchRule, Search},
    {cmd::kAnnotate, cmd::kAnnotate, EnableForProject,
     [](const CommandCall& c) {
         if (c.front.project) AutoAnnotate(c.front.project, nullptr, 0);
         else if (c.front.sheet && c.front.sheet->project) AutoAnnotate(c.front.sheet->project, c.front.sheet, 0);
         return Done();
     }},
    {cmd::kBackAnnotate, cmd::kBackAnnotate, EnableForProject,
     [](const CommandCall& c) {
         if (ProjectRecord* project = FrontProject(c.front)) BackAnnotate(project);
         return Done();
     }},
    {cmd::kUpdateSignalNames, cmd::kUpdateSignalNames, EnableForProject,
     [](const CommandCall& c) {
         if (c.front.sheet) ResequenceSignalNames(c.front.sheet->project, c.front.sheet);
         else if (c.front.project) ResequenceSignalNames(c.front.project, nullptr);
         return Done();
     }},
    {cmd::kReplaceParts, cmd::kReplaceParts, [](Record* r, const Front& f) { r->enabled = f.sheet && ReplaceableSelection(); },
     [](const CommandCall& c) {
         if (c.front.sheet) ReplaceSelectedSymbols(c.front.sheet);
         return Done();
     }},
    {cmd::kUpdateParts, cmd::kUpdateParts,
     [](Record* r, const Front& f) {
         r->enabled = f.kind == kSheetKind || f.kind == kProjectKind || LogOfSheetOrProject(f);
     },
     [](const CommandCall& c) {
         UpdatePartSymbols(c.front);
         return Done();
     }},
    {cmd::kResearchLibraries, cmd::kResearchLibraries, EnableWhenModeless,
     [](const CommandCall& c) {
         BuildLibraryFileList(nullptr, c.option);
         for (ProjectRecord* project = gProjectList; project; project = project->next)
             RebuildProjectLibraryFiles(project, c.option);
         const Front& f = c.front;
         if (f.sheet && f.sheet->libraryPane) SynchBrowserWithCache(f.sheet->libraryPane);
         return Done();
     }},
    {cmd::kCheckProject, cmd::kCheckProject, [](Record* r, const Front& f) { r->enabled = CommandProject(f) != nullptr; },
     [](const CommandCall& c) {
         if (ProjectRecord* project = CommandProject(c.front)) SchError(CheckProjectHierarchy(project, true, false));
         return Done();
     }},
    {cmd::kCheckSheet, cmd::kCheckSheet,
     [](Record* r, const Front& f) { r->enabled = f.kind == kSheetKind || LogSheet(f) != nullptr; },
     [](const CommandCall& c) {
         if (SheetRecord* sheet = LogSheet(c.front)) SchError(CheckSheet(sheet));
         else if (c.front.sheet) SchError(CheckSheet(c.front.sheet));
         return Done();
     }},
    {cmd::kSimulatorSetup, cmd::kSimulatorSetup, EnableWhenModeless,
     [](const CommandCall&) {
         SpiceSetup();
         return Done();
     }},
    {cmd::kDeviceParameters, cmd::kDeviceParameters,
     [](Record* r, const Front& f) { r->enabled = f.sheet && HasAnalyses(f.sheet->project); },
     [](const CommandCall& c) {
         if (c.front.sheet) DisplayDeviceParameters(c.front.sheet, static_cast<SymbolRecord*>(FrontSelection().symbol));
         return Done();
     }},
};

}  // namespace

std::span<const CommandEntry> ToolsCommands() { return kToolsCommands; }

}  // namespace plexa
