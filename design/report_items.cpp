// Loops over the netlist database: placeholder until the database is merged.
#include "design/report_internal.h"
#include "design/report_tokens.h"
#include "foundation/signals.h"

namespace plexa {

void RptRunLoop(uint16_t code) {
    const uint32_t hole = RptReadU32();
    (void)code;
    gRpt.position = hole;
}

void RptDatabaseStatement() {
    for (uint16_t c = RptPeekCode(); c == kRptNoNets || c == kRptNoComps || c == kRptNoPins ||
                                     c == kRptModular || c == kRptCrossRef || c == kRptNoGrouping ||
                                     c == kRptGraphics;
         c = RptPeekCode()) {
        RptReadCode();
    }
}

void RptFreeDatabase() {}
void RptBeginHierarchy() {}
void RptEndHierarchy() {}

bool RptContextValue(const RptContext& context, const std::string& name, std::string* value) {
    if (context.kind == RptCtx::kGlobals) {
        if (RptGlobalField(name, value)) return true;
        if (name == "TRUE" || name == "true") { *value = "1"; return true; }
        if (name == "FALSE" || name == "false") { *value = "0"; return true; }
    }
    return false;
}

}  // namespace plexa
