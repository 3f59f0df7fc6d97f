// The symbol and library editors' record of process-wide values; see symboleditorstate.h.
#include "symboleditor/symboleditorstate.h"

#include "symboleditor/libcatalog.h"
#include "symboleditor/libeditor.h"

namespace plexa {

SymbolEditorState gSymbolEditorState;

void ResetSymbolEditorForTesting() {
    DisposeLibEditorClip();
    DisposeLibPrintRecord();
    gSymbolEditorState = SymbolEditorState{};
}

}  // namespace plexa
