// Every test of this program ends with the model's process-wide values put back and the
// simulator link off, its state at its start.
#include "design/simlink.h"
#include "model/modelstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets =
    plexa::test::ResetAfterEachTest({plexa::ResetSpiceLinkForTesting, plexa::ResetModelForTesting});
}  // namespace
