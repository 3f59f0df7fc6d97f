// The editor composition: the symbol editor's tables, and its windows in the core's.
#include "app/editor_tables.h"

namespace plexa {

void ComposeSymbolEditor(CoreHookTables& core, EditorHookTables& editor) {
    (void)core;
    (void)editor;
}

}  // namespace plexa
