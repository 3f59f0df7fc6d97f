// The core composition: the graphics tables that the core layers use.
#include "app/root_tables.h"

namespace plexa {

void ComposeGraphicsForCore(CoreHookTables& t) {
    (void)t;
}

}  // namespace plexa
