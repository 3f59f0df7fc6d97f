// The calls that sheet specs and instances make into modules that install them (see
// sheet_services.h).
#include "files/sheet_services.h"

namespace plexa {

namespace {
SheetServices gServices;
}  // namespace

void SetSheetServices(const SheetServices& services) { gServices = services; }

const SheetServices& GetSheetServices() { return gServices; }

}  // namespace plexa
