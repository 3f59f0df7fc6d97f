#include "symboleditor/pending.h"

#include "toolkit/vx_events.h"

namespace plexa {

}  // namespace plexa
