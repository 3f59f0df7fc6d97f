// The shell's standard reports around closing: the error report of the shell's commands and the
// kind of window that a Shift-Close closes. Sheets close in the sheet editor (sheetclose.h); the
// shell keeps its front sheet in step.
#include "app/shell.h"
#include "model/sheet.h"
#include "sheeteditor/sheetclose.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_app.h"

namespace plexa {

int16_t gCloseAllWindowsKind = 0;

OSStatus SchError(OSStatus code) {
    if (code && code != status::kUserCancelled && VXIsApplicationActive()) VXErrorReport(code);
    return code;
}

OSStatus CloseSheetWindowOfShell(VXWindowRecordTag* window, int32_t mode) {
    const OSStatus st = CloseSheetWindow(window, mode);
    // The front sheet follows the windows that are left.
    if (st == status::kNoErr) CurrDraw = GetFrontSheet(false);
    return st;
}

}  // namespace plexa
