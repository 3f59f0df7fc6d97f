// Putting the symbol and library editors' process-wide values back; see symboleditorreset.h.
#include "symboleditor/symboleditorreset.h"

#include "symboleditor/libcatalog.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/symboleditorstate.h"

namespace plexa {

void ResetSymbolEditorForTesting() {
    DisposeLibEditorClip();
    DisposeLibPrintRecord();
    gSymbolEditorState = SymbolEditorState{};
}

}  // namespace plexa
