// The sheet editor's record of process-wide values; see sheeteditorstate.h.
#include "sheeteditor/sheeteditorstate.h"

namespace plexa {

SheetEditorState gSheetEditorState;

void ResetSheetEditorForTesting() { gSheetEditorState = SheetEditorState{}; }

}  // namespace plexa
