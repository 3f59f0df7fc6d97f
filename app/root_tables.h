// The hook tables the composition root fills, gathered so that each is built once and set once.
// Only app/ and its tests include this.
#pragma once

#include "design/annotate.h"
#include "design/dxfexport.h"
#include "design/ecoexport.h"
#include "design/report_compiler.h"
#include "design/report_interp.h"
#include "design/simlink.h"
#include "design/simlink_netlist.h"
#include "design/simlink_session.h"
#include "design/simlink_sheet.h"
#include "design/wasis.h"
#include "files/hierarchy.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/resequence.h"
#include "files/sheet_services.h"
#include "files/sheetload.h"
#include "files/sheetports.h"
#include "files/sheetsave.h"
#include "files/sheetstore.h"
#include "files/symbolplace.h"
#include "graphics/dxf.h"
#include "library/itemcache.h"
#include "library/libfinder.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "model/annotation.h"
#include "model/drawglobals.h"
#include "model/fieldexpand.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/sheetsymbols.h"
#include "model/symboldraw.h"
#include "model/symbols.h"
#include "model/symboltexts.h"

namespace plexa {

// Every table of the core layers, by the layer that declares it.
struct CoreHookTables {
    // graphics/
    DXFHooks dxf;
    // model/
    ModelHooks model;
    SymbolHooks symbols;
    SheetSymbolHooks sheetSymbols;
    SymbolDrawHooks symbolDraw;
    SymbolTextHooks symbolTexts;
    DataContextHooks dataContext;
    ImageListSheetHooks imageLists;
    SheetColorHooks sheetColors;
    AnnotationContextHooks annotationContext;
    // files/
    SheetServices sheets;
    SheetPortServices sheetPorts;
    SheetStoreHooks sheetStore;
    SheetLoadHooks sheetLoad;
    SheetSaveHooks sheetSave;
    PathSearchHooks pathSearch;
    ProjectServices projects;
    ProjectOpenHooks projectOpen;
    HierarchyHooks hierarchy;
    ResequenceHooks resequence;
    SymbolPlaceHooks symbolPlace;
    // library/
    LibraryAccessHooks libraryAccess;
    ItemCacheHooks itemCache;
    LibHistoryHooks libHistory;
    LibFinderHooks libFinder;
    // design/
    AnnotationHooks annotation;
    ReportHooks reports;
    // How a script's compile error reaches the person.
    ScriptErrorHook scriptError = nullptr;
    ECOHooks eco;
    BackAnnotHooks backAnnotation;
    SpiceLinkHooks spiceLink;
    SpiceSessionHooks spiceSession;
    SpiceNetlistHooks spiceNetlist;
    SpiceSheetHooks spiceSheets;
    DXFExportHooks dxfExport;
};

// Each layer's part of the core composition, in app/root_<layer>.cpp: fills the tables that the
// layer's functions serve, with quiet answers where a person would be asked.
void ComposeGraphicsForCore(CoreHookTables& t);
void ComposeModelForCore(CoreHookTables& t);
void ComposeFilesForCore(CoreHookTables& t);
void ComposeLibraryForCore(CoreHookTables& t);
void ComposeDesignForCore(CoreHookTables& t);

// The whole core composition, layer by layer from the bottom.
CoreHookTables ComposeCoreHooks();
// Sets every table of `t` in its layer.
void SetCoreHooks(const CoreHookTables& t);

}  // namespace plexa
