// The core composition: the sheet-file, project and hierarchy tables. The sheet files' readers
// and writers, the sheet store and the project cache of sheets loaded without windows, the
// library layer's parts of saving and of projects, and the quiet answers where the editors would
// open a window or ask.

#include "app/root_quiet.h"
#include "app/root_tables.h"
#include "files/filesymbols.h"
#include "files/sheetblocks.h"
#include "files/sheetfile.h"
#include "files/sheetload.h"
#include "files/sheetspec.h"
#include "foundation/datetime.h"
#include "library/itemcache.h"
#include "library/libpaths.h"
#include "model/sheet.h"
#include "model/sheetstrings.h"
#include "model/symboltexts.h"

namespace plexa {

namespace {

void SheetServicesForCore(SheetServices& s) {
    s.busy = QuietIgnore<>;
    s.getLoadedSheet = GetLoadedSheetByName;
    s.loadSheet = LoadProjectCacheSheet;
    s.releaseLoadedSheets = ReleaseCachedProjectSheets;
    s.enumOpenSubSheets = EnumOpenSheetSubSheets;
    s.enumFileSymbols = EnumSheetFileSymbols;
    s.readOneFileSymbol = ReadSheetFileSymbol;
    s.buildExportsTable = BuildSheetExportsTable;
    s.symbolSubSheetName = GetSymbolSubSheetFileName;
    s.symbolName = GetSymbolSubSheetSymbolName;
}

void SheetStoreForCore(SheetStoreHooks& store, SheetLoadHooks& load, SheetSaveHooks& save) {
    store.getLoaded = GetOpenSheetFromSheetSpec;
    store.load = LoadSheetForStore;
    store.save = SaveSchematicSheet;
    store.release = DestroySheet;
    store.setModified = MarkSheetModified;

    load.compactStringBlock = CompactSheetStringBlock;

    save.tidy = TidySheetForSave;
    // Without windows there is no panel to name a file: a sheet without a home is not saved.
    save.askFile = QuietDecline<SheetRecord*, int32_t, FileSpec*>;
    save.loadedSheetWithFile = [](const FileSpec*, SheetRecord*) -> SheetRecord* { return nullptr; };
    save.alert = QuietMessage;
    // Nobody to ask for another place: the refusal is the save's failure.
    save.offerOtherPlace = [](const FileSpec*, OSStatus status) { return status; };
    save.saved = QuietIgnore<SheetRecord*>;
    save.releaseCachedLibrary = ReleaseCachedLibraryForSave;
    save.reopenCachedLibrary = ReopenCachedLibraryAfterSave;
    save.afterSave = [](SheetRecord* sheet) { UpdateProjectLibraryListsForSheet(sheet); };
}

void ProjectsForCore(ProjectServices& projects, ProjectOpenHooks& open) {
    projects.destroyWindow = QuietIgnore<ProjectRecord*>;
    projects.windowBounds = QuietDecline<ProjectRecord*, Rect*>;
    projects.destroyLog = QuietClearLog;
    projects.destroyLibraryFiles = DisposeProjectLibraryFiles;
    projects.markTreeInstances = QuietIgnore<ProjectRecord*>;

    open.bringForward = QuietIgnore<ProjectRecord*>;
    open.placeWindow = QuietIgnore<ProjectRecord*, const ProjectWindowState*>;
    open.treeDrawing = QuietIgnore<ProjectRecord*, bool>;
    open.restoreTreeStates = QuietIgnore<ProjectRecord*>;
}

void HierarchyForCore(HierarchyHooks& h, SheetPortServices& ports, SymbolPlaceHooks& place) {
    h.log = QuietLogHierarchy;
    h.clearLog = QuietClearLog;
    h.logEmpty = QuietLogEmpty;
    h.destroyLog = QuietClearLog;
    h.report = QuietReport;
    h.note = QuietMessage;
    h.ask = QuietAskSecond;
    h.chooseSheetFiles = [](const char*, const char*, FileSpec*, int32_t) -> int32_t { return status::kUserCancelled; };
    // Child symbols are updated by the sheet editor; a sheet without it keeps them as they are.
    h.updateChildSymbols = [](SheetRecord*, bool, bool) -> OSStatus { return status::kNoErr; };
    h.refreshSheetWindow = QuietIgnore<SheetRecord*, const Rect*>;
    h.redrawTree = QuietIgnore<ProjectRecord*>;
    h.refreshSheetTexts = QuietIgnore<ProjectRecord*>;

    ports.openSheetContext = [](ProjectRecord*, SheetNode*) -> SheetRecord* { return nullptr; };
    ports.updateProjectHierarchy = [](ProjectRecord* p, int32_t reasons) { UpdateProjectHierarchy(p, uint32_t(reasons)); };
    ports.openSheetFile = [](const FileSpec*, uint32_t) -> SheetRecord* { return nullptr; };
    ports.busy = QuietIgnore<>;

    place.currentSelection = ItemCacheSelection;
    place.canAutoAnnotate = CanAutoAnnotateSymbol;
    place.createSymbolTextItems = CreateSymbolTextItems;
    place.updateProjectHierarchy = [](ProjectRecord* p, int32_t reasons) { UpdateProjectHierarchy(p, uint32_t(reasons)); };
}

}  // namespace

void ComposeFilesForCore(CoreHookTables& t) {
    SheetServicesForCore(t.sheets);
    AddSheetFileServices(t.sheets, t.annotationContext, t.model);
    AddProjectAnnotationHooks(t.annotationContext);
    SheetStoreForCore(t.sheetStore, t.sheetLoad, t.sheetSave);
    ProjectsForCore(t.projects, t.projectOpen);
    HierarchyForCore(t.hierarchy, t.sheetPorts, t.symbolPlace);

    t.pathSearch.busy = QuietIgnore<>;
    t.pathSearch.showMessage = QuietIgnore<const char*>;
    t.pathSearch.cancelKey = QuietDecline<>;
    t.pathSearch.ticks = MonotonicTicks;

    t.resequence.showMessage = QuietIgnore<const char*>;
    t.resequence.closeMessage = QuietIgnore<>;
    t.resequence.reportError = QuietErrorReport;
    t.resequence.saveFailed = QuietResequenceSaveFailed;
    t.sheetLoad.openSheets = QuietOpenSheets;
    t.sheetSave.windowPlace = QuietDecline<SheetRecord*, Rect*, Rect*>;
}

}  // namespace plexa
