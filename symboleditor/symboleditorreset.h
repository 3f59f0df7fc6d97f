// Puts the symbol and library editors' process-wide values (symboleditorstate.h) back to their
// start. It sits above the modules that own what the record holds, so that the record itself
// depends on none of them.
#pragma once

namespace plexa {

// Frees the clipboard and the print record and puts every value of the record back to its start.
void ResetSymbolEditorForTesting();

}  // namespace plexa
