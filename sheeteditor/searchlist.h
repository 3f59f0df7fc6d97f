// Every search record of the run: each project's (in the project, `ProjectRecord::editState`),
// each sheet window's (in its edit state) and the one that serves without either, and what an edit
// of a sheet or the going of a sheet or a project does to them. The search itself is in
// sheeteditor/search.h.
#pragma once

namespace plexa {

struct ProjectRecord;
struct SearchRecord;
struct SheetRecord;

// A sheet or project goes away: every search forgets it.
void SearchForgetSheet(SheetRecord* sheet);
// The sheet was edited: a search position in it (which may name a replaced item) is forgotten.
void SearchSheetEdited(SheetRecord* sheet);
void SearchForgetProject(ProjectRecord* project);
// The search over a project: the one of the project chosen as the scope; with none chosen, the
// one that serves while no sheet window is in front.
SearchRecord* ProjectSearch();
// The project's own search record, made on first use (none for no project).
SearchRecord* ProjectSearchOf(ProjectRecord* project);
// The project that the scope chosen names (none: the front sheet).
void SetSearchProject(ProjectRecord* project);
ProjectRecord* ChosenSearchProject();
// Frees what the sheet editor keeps in a project going away (its search) and clears
// `ProjectRecord::editState`; a project chosen as the scope is no longer.
void ReleaseProjectEditState(ProjectRecord* project);

}  // namespace plexa
