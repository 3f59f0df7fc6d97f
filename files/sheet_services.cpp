// The calls that sheet specs and instances make into modules that install them (see
// sheet_services.h).
#include "files/sheet_services.h"

#include "files/sheetload.h"

namespace plexa {

namespace {
// The sheet loader of this folder stands in from the start; SetSheetServices replaces the whole
// set.
SheetServices DefaultServices() {
    SheetServices services;
    services.getLoadedSheet = GetLoadedSheetByName;
    services.loadSheet = LoadProjectCacheSheet;
    services.releaseLoadedSheets = ReleaseCachedProjectSheets;
    return services;
}
SheetServices gServices = DefaultServices();
}  // namespace

void SetSheetServices(const SheetServices& services) { gServices = services; }

const SheetServices& GetSheetServices() { return gServices; }

}  // namespace plexa
