// Design processing's record of process-wide values; see designstate.h.
#include "design/designstate.h"

namespace plexa {

DesignState gDesignState;

void ResetDesignForTesting() { gDesignState = DesignState{}; }

}  // namespace plexa
