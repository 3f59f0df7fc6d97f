// The core composition: annotation, reports, ECO and the simulator link.
#include "app/root_quiet.h"
#include "app/root_tables.h"

namespace plexa {

void ComposeDesignForCore(CoreHookTables& t) {
    AddSpiceAnalysisServices(t.projects);
    AddSpiceSheetServices(t.spiceSession, t.spiceLink, t.reports, t.symbolTexts);
    t.spiceSession.beep = QuietBeep;
    t.dxfExport.progressMessage = QuietProgressMessage;
}

}  // namespace plexa
