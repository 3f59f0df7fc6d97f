// The core composition: the graphics tables that the core layers use.
#include "app/root_quiet.h"
#include "app/root_tables.h"

namespace plexa {

void ComposeGraphicsForCore(CoreHookTables& t) {
    t.dxf.displayMessage = QuietMessage;
    t.dxf.errorReport = QuietErrorReport;
    t.dxf.askSaveFile = QuietChooseNothing<const char*, const char*, const char*, FileSpec*>;
}

}  // namespace plexa
