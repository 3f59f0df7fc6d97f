#include "sheeteditor/searchlist.h"

#include "model/sheet.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/sheetwindow.h"

namespace plexa {

namespace {

// The search over a project belongs to no one sheet window (its hits go from window to window):
// it is kept here and is the search while the scope chosen is a project; it also serves while no
// sheet window is in front. Any other search is its sheet window's.
SearchRecord gProjectSearch;

// Calls f with every search record: the project's and each open sheet window's.
template <typename F>
void ForEachSearch(const F& f) {
    f(&gProjectSearch);
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

SearchRecord* ProjectSearch() { return &gProjectSearch; }

}  // namespace plexa
