// The core composition: the model's tables.
#include "app/root_tables.h"

namespace plexa {

void ComposeModelForCore(CoreHookTables& t) {
    AddSheetSymbolModelHooks(t.symbols);
}

}  // namespace plexa
