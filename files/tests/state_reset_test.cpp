// Every test of this program ends with the process-wide values of the model and of the file
// layer put back, the sheets projects cached freed.
#include "files/filesstate.h"
#include "model/modelstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest({plexa::ResetFilesForTesting, plexa::ResetModelForTesting});
}  // namespace
