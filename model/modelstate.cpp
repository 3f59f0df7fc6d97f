// The model's record of process-wide values; see modelstate.h.
#include "model/modelstate.h"

namespace plexa {

ModelState gModelState;

void ResetModelForTesting() { gModelState = ModelState{}; }

}  // namespace plexa
