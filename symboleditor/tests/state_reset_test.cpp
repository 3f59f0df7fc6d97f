// Every test of this program ends with the process-wide values of the model, of the file layer
// and of the symbol editors put back (the library editors' clipboard and print record freed) and
// what library access collected forgotten.
#include "files/filesstate.h"
#include "library/librarystate.h"
#include "model/modelstate.h"
#include "symboleditor/symboleditorreset.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest({plexa::ResetSymbolEditorForTesting, plexa::ResetLibraryForTesting,
                                                      plexa::ResetFilesForTesting, plexa::ResetModelForTesting});
}  // namespace
