// The symbol and library editors' record of process-wide values; see symboleditorstate.h.
#include "symboleditor/symboleditorstate.h"

namespace plexa {

SymbolEditorState gSymbolEditorState;

}  // namespace plexa
