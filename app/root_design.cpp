// The core composition: annotation, reports, ECO and the simulator link.
#include "app/root_tables.h"

namespace plexa {

void ComposeDesignForCore(CoreHookTables& t) {
    AddSpiceAnalysisServices(t.projects);
    AddSpiceSheetServices(t.spiceSession, t.spiceLink, t.reports, t.symbolTexts);
}

}  // namespace plexa
