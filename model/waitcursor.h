// The wait cursor of long model operations (the purges before a sheet is saved). The model has no
// windows: the application installs the procedure that turns the cursor; until then nothing shows.
#pragma once

namespace plexa {

using ModelWaitCursorProc = void (*)();
// Returns the former procedure.
ModelWaitCursorProc SetModelWaitCursorProc(ModelWaitCursorProc proc);
ModelWaitCursorProc GetModelWaitCursorProc();
// Shows (or turns) the wait cursor through the installed procedure.
void ModelWaitCursor();

}  // namespace plexa
