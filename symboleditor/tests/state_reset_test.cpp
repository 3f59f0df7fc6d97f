// Every test of this program ends with the model's and the symbol editors' process-wide values
// put back (the library editors' clipboard and print record freed) and what library access
// collected forgotten.
#include "library/librarystate.h"
#include "model/modelstate.h"
#include "symboleditor/symboleditorstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest(
    {plexa::ResetSymbolEditorForTesting, plexa::ResetLibraryForTesting, plexa::ResetModelForTesting});
}  // namespace
