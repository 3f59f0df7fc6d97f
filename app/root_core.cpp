// The core's entry point of the composition root: start-up of a program without windows, and the
// core's hook tables, built layer by layer from the bottom and set once.
#include <cstdio>
#include <cstdlib>

#include "app/root.h"
#include "app/root_quiet.h"
#include "app/root_tables.h"
#include "foundation/signals.h"
#include "foundation/memory.h"
#include "graphics/grafprocs.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "platform/display_platform.h"

namespace plexa {

CoreHookTables ComposeCoreHooks() {
    CoreHookTables t;
    ComposeGraphicsForCore(t);
    ComposeModelForCore(t);
    ComposeFilesForCore(t);
    ComposeLibraryForCore(t);
    ComposeDesignForCore(t);
    return t;
}

void SetCoreHooks(const CoreHookTables& t) {
    DXFSetHooks(&t.dxf);

    SetModelHooks(t.model);
    SetSymbolHooks(t.symbols);
    SetSheetSymbolHooks(t.sheetSymbols);
    SetSymbolDrawHooks(t.symbolDraw);
    SetSymbolTextHooks(t.symbolTexts);
    SetDataContextHooks(t.dataContext);
    SetImageListSheetHooks(t.imageLists);
    SetSheetColorHooks(t.sheetColors);
    SetAnnotationContextHooks(t.annotationContext);

    SetSheetServices(t.sheets);
    SetSheetPortServices(t.sheetPorts);
    SetSheetStoreHooks(t.sheetStore);
    SetSheetLoadHooks(t.sheetLoad);
    SetSheetSaveHooks(t.sheetSave);
    SetPathSearchHooks(t.pathSearch);
    SetProjectServices(t.projects);
    SetProjectOpenHooks(t.projectOpen);
    SetHierarchyHooks(t.hierarchy);
    SetResequenceHooks(t.resequence);
    SetSymbolPlaceHooks(t.symbolPlace);

    SetLibraryAccessHooks(t.libraryAccess);
    SetItemCacheHooks(t.itemCache);
    SetLibHistoryHooks(t.libHistory);
    SetLibFinderHooks(t.libFinder);

    SetAnnotationHooks(t.annotation);
    SetReportHooks(t.reports);
    SetScriptErrorHook(t.scriptError);
    SetECOHooks(t.eco);
    SetBackAnnotHooks(t.backAnnotation);
    SetSpiceLinkHooks(t.spiceLink);
    SetSpiceSessionHooks(t.spiceSession);
    SetSpiceNetlistHooks(t.spiceNetlist);
    SetSpiceSheetHooks(t.spiceSheets);
    SetDXFExportHooks(t.dxfExport);
}

void InstallCoreHooks() { SetCoreHooks(ComposeCoreHooks()); }

int32_t StartCore(const char* program) {
    static bool started = false;
    static int32_t result = 0;
    if (started) return result;
    started = true;
    (void)InitMemoryManager(-1);  // allocations report a missing pool
    InitSignals();
    // Text is measured with the platform's fonts; without a display, or with one that cannot be
    // reached, the offscreen platform serves.
    PlatformFallBackToOffscreen();
    static char name[256];
    std::snprintf(name, sizeof name, "%s", program ? program : "plexa");
    SetQuietProgramName(name);
    static char* argv[] = {name, nullptr};
    if (!PlatformEnsureApplication(1, argv)) {
        std::fprintf(stderr, "%s: the fonts for measuring text could not be set up\n", name);
        return result = -1;
    }
    VXInitGraf();
    VXInitStyles();
    VXTEInit();
    SchStylesInit();
    InitImageLists();
    if (InitTextRecordPool() != 0 || InitSymbolPool() != 0) {
        std::fprintf(stderr, "%s: out of memory\n", name);
        return result = -108;
    }
    // The default text themes and the settings and attributes a new sheet starts with.
    if (InitSheetDefaults() != 0) {
        std::fprintf(stderr, "%s: out of memory\n", name);
        return result = -108;
    }
    InstallCoreHooks();
    return result;
}

}  // namespace plexa
