// Every test of this program ends with the process-wide values of the model and of design
// processing put back and the simulator link off, its state at its start.
#include "design/designstate.h"
#include "design/simlink.h"
#include "model/modelstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest(
    {plexa::ResetSpiceLinkForTesting, plexa::ResetDesignForTesting, plexa::ResetModelForTesting});
}  // namespace
