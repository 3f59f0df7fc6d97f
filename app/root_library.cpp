// The core composition: the library tables.
#include "app/root_tables.h"

namespace plexa {

void ComposeLibraryForCore(CoreHookTables& t) {
    (void)t;
}

}  // namespace plexa
