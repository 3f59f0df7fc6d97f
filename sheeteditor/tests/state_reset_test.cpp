// Every test of this program ends with the process-wide values of the model and of design
// processing put back, what library access collected forgotten and the simulator link off, its
// state at its start.
#include "design/designstate.h"
#include "design/simlink.h"
#include "library/librarystate.h"
#include "model/modelstate.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest({plexa::ResetSpiceLinkForTesting, plexa::ResetDesignForTesting,
                                                      plexa::ResetLibraryForTesting, plexa::ResetModelForTesting});
}  // namespace
