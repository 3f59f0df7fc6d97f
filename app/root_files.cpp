// The core composition: the sheet-file, project and hierarchy tables.
#include "app/root_quiet.h"
#include "app/root_tables.h"
#include "files/sheetfile.h"
#include "files/sheetload.h"

namespace plexa {

void ComposeFilesForCore(CoreHookTables& t) {
    AddSheetFileServices(t.sheets, t.annotationContext, t.model);
    AddProjectAnnotationHooks(t.annotationContext);
    t.sheetLoad.openSheets = QuietOpenSheets;
    t.sheetSave.windowPlace = QuietWindowPlace;
    t.sheets.getLoadedSheet = GetLoadedSheetByName;
    t.sheets.loadSheet = LoadProjectCacheSheet;
    t.sheets.releaseLoadedSheets = ReleaseCachedProjectSheets;
}

}  // namespace plexa
