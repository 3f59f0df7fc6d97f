// Opening and creating projects from the File menu.
#include "sheeteditor/projectcommands.h"

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetsave.h"
#include "files/sheetspec.h"
#include "foundation/filespec.h"
#include "library/libpaths.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

bool EditNewProjectSettings(ProjectRecord* project) { return EditProjectSettings(project, true); }

void BringForward(ProjectRecord* project) {
    if (project->window) VXSelectWindow(project->window);
}

// After the project is open: the library files along its paths and the contexts of open sheets.
void FinishOpen(ProjectRecord* project) {
    BuildLibraryFileList(project, false);
    ResolveSheetContexts(project);
    if (project->window) {
        VXShowWindow(project->window);
        StaggerProjectWindow(project->window);
        VXSelectWindow(project->window);
    }
}

}  // namespace

void PlaceProjectWindow(ProjectRecord* project, const ProjectWindowState* state) {
    VXWindowRecordTag* window = project ? project->window : nullptr;
    if (!window || !state) return;
    const Rect& r = state->bounds;
    if (RectIsEmpty(r)) return;
    if (VXWindowRectOnScreen(window->windowClass, window->style, window->creationFlags, &r) == 0) return;
    VXSetWindowPosition(window, &r);
}

void ResolveSheetContexts(ProjectRecord* project) {
    if (!project) return;
    for (VXWindowRecordTag* w : VXTopLevelWindows()) {
        if (w->typeID != kSheetWindowKind || !VXIsWindowVisible(w, false)) continue;
        SheetRecord* sheet = SheetOfWindow(w);
        if (!sheet || sheet->project) continue;
        SheetSpec* spec = GetSheetSpecFromSheet(sheet, project);
        SheetNode* node = spec ? GetSheetNodeUsingSheetSpec(project, spec) : nullptr;
        if (SheetInstance* instance = node ? RetrieveSheetInstance(project, node, true) : nullptr)
            VXErrorReport(SetSheetContext(sheet, project, instance, true));
    }
}

ProjectRecord* OpenProject(const FileSpec* spec) {
    ProjectRecord* project = nullptr;
    const bool wasOpen = GetOpenProject(spec) != nullptr;
    if (OSStatus st = OpenProjectAt(spec, &project)) {
        VXOpenErrorReport(spec->name, st);
        return nullptr;
    }
    if (!wasOpen) FinishOpen(project);
    return project;
}

OSStatus CreateProjectFile(FileSpec* spec) {
    FileSpec chosen{};
    GetPrefDirectory(kPrefFolderDocuments, &chosen.directory);
    const bool accepted =
        VXAskFileSave(kCreateProjectTitle, kNewProjectName, kProjectCreator, kProjectFileTypeString, true, &chosen);
    // The folder is remembered whether or not the user accepted.
    RecordPrefDirectory(kPrefFolderDocuments, &chosen.directory);
    if (!accepted) return status::kUserCancelled;
    *spec = chosen;
    return status::kNoErr;
}

ProjectRecord* CreateNewProject() {
    FileSpec spec{};
    OSStatus st = CreateProjectFile(&spec);
    ProjectRecord* project = nullptr;
    if (!st) st = CreateProjectAt(&spec, EditNewProjectSettings, &project);
    // A folder that refuses the file: another place, as long as the person names one.
    while (IsWriteRefused(st)) {
        st = OfferAnotherPlace(&spec, st);
        if (!st) st = CreateProjectFile(&spec);
        if (!st) st = CreateProjectAt(&spec, EditNewProjectSettings, &project);
    }
    if (st) {
        if (st != status::kUserCancelled) VXErrorReport(st);
        return nullptr;
    }
    FinishOpen(project);
    return project;
}

void AddProjectCommands(ProjectOpenHooks& hooks) {
    hooks.bringForward = BringForward;
    hooks.placeWindow = PlaceProjectWindow;
}

}  // namespace plexa
