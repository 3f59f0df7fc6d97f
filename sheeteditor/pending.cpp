// Least bodies of the calls declared in pending.h.
#include "sheeteditor/pending.h"

#include "model/sheet.h"

namespace plexa {

void ClearBrowserKeySelection(SheetRecord*) {}          // will clear the typed selection
bool GraphSpiceNode(SheetRecord*, SignalRecord**, bool) { return false; }  // will graph a node

// Will apply a confirmed signal dialog (labels, fragments, merging, undo); meanwhile the name and

}  // namespace plexa
