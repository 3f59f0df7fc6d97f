#include "sheeteditor/searchlist.h"

#include "sheeteditor/searchrecord.h"

#include "files/project.h"
#include "model/sheet.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/sheetwindow.h"

namespace plexa {

// The search over a project belongs to the project (its hits go from window to window, so no one
// sheet window holds it); it is the search while the scope chosen is that project.
struct ProjectEditState {
    SearchRecord search;
};

namespace {

// The search that serves while no project is chosen as the scope and no sheet window is in front.
SearchRecord gNoProjectSearch;
// The project that the scope chosen names, none while the scope is the front sheet.
ProjectRecord* gSearchProject = nullptr;

// Calls f with every search record: each open project's, each open sheet window's and the one
// that serves without either.
template <typename F>
void ForEachSearch(const F& f) {
    f(&gNoProjectSearch);
    for (ProjectRecord* project = gProjectList; project; project = project->next)
        if (project->editState) f(&project->editState->search);
    for (bool visible : {true, false})
        for (SheetRecord* open : SheetWindowSheets(visible))
            if (open->editState) f(&open->editState->search);
}

}  // namespace

void SearchForgetSheet(SheetRecord* sheet) {
    if (!sheet) return;
    const auto forget = [sheet](SearchRecord* lv) {
        if (lv->loadedSheet == sheet) lv->loadedSheet = nullptr;
        if (lv->sheet == sheet) SearchReset(lv, true);
    };
    ForEachSearch(forget);
}

void SearchSheetEdited(SheetRecord* sheet) {
    if (!sheet) return;
    const auto reset = [sheet](SearchRecord* lv) {
        if (lv->sheet == sheet) SearchReset(lv, false);
    };
    ForEachSearch(reset);
}

void SearchForgetProject(ProjectRecord* project) {
    if (!project) return;
    const auto forget = [project](SearchRecord* lv) {
        if (lv->project != project) return;
        SearchReset(lv, true);
        lv->project = nullptr;
        lv->scope = kScopeFrontSheet;
    };
    ForEachSearch(forget);
}

SearchRecord* ProjectSearchOf(ProjectRecord* project) {
    if (!project) return nullptr;
    if (!project->editState) project->editState = new ProjectEditState;
    return &project->editState->search;
}

void ReleaseProjectEditState(ProjectRecord* project) {
    if (!project) return;
    if (gSearchProject == project) gSearchProject = nullptr;
    ProjectEditState* state = project->editState;
    if (!state) return;
    project->editState = nullptr;
    SearchReset(&state->search, true);
    delete state;
}

void SetSearchProject(ProjectRecord* project) { gSearchProject = project; }
ProjectRecord* ChosenSearchProject() { return gSearchProject; }

SearchRecord* ProjectSearch() { return gSearchProject ? ProjectSearchOf(gSearchProject) : &gNoProjectSearch; }

}  // namespace plexa
