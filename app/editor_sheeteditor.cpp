// The editor composition: the sheet editor's tables, and its windows and dialogs in the core's.
#include "app/editor_tables.h"

namespace plexa {

void ComposeSheetEditor(CoreHookTables& core, EditorHookTables& editor) {
    (void)core;
    (void)editor;
}

}  // namespace plexa
