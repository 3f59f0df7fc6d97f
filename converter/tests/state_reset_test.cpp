// Every test of this program ends with the model's process-wide values put back.
#include "model/modelstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest({plexa::ResetModelForTesting});
}  // namespace
