// Every test of this program ends with the process-wide values of the model and of the file
// layer put back and what library access collected forgotten.
#include "files/filesstate.h"
#include "library/librarystate.h"
#include "model/modelstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest(
    {plexa::ResetLibraryForTesting, plexa::ResetFilesForTesting, plexa::ResetModelForTesting});
}  // namespace
