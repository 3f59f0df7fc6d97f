// Every search record of the run: the search over a project, and each sheet window's (in its edit
// state), and what an edit of a sheet or the going of a sheet or a project does to them. The
// search itself is in sheeteditor/search.h.
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
// The search over a project (also the one that serves while no sheet window is in front).
SearchRecord* ProjectSearch();

}  // namespace plexa
