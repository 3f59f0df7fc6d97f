// The wait-cursor procedure that the application installs.
#include "model/waitcursor.h"

#include <utility>

namespace plexa {

namespace {
ModelWaitCursorProc gWaitCursorProc = nullptr;
}

ModelWaitCursorProc GetModelWaitCursorProc() { return gWaitCursorProc; }

ModelWaitCursorProc SetModelWaitCursorProc(ModelWaitCursorProc proc) {
    return std::exchange(gWaitCursorProc, proc);
}

void ModelWaitCursor() {
    if (gWaitCursorProc) gWaitCursorProc();
}

}  // namespace plexa
