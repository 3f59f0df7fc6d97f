// The windows' side of the text-edit engine: what the engine asks of the window that shows a
// record (invalidation, the window's active record, drag tracking after a click, the shift key,
// the clock, the double-click and caret times) and the caret blink timer of a window whose record
// is active.
//
// A window's active record is kept in an extension record of the window (code "TEac") together
// with the window's caret blink timer: the engine sets it on activation and clears it on
// deactivation and disposal; the extension, and its timer, go with the window.
#pragma once

#include <cstdint>

namespace plexa {

struct VXWindowRecordTag;
struct VXTERecord;
struct VXGrafState;

// Installs the engine's hooks (at launch, after the windows and panels; tests too).
void VXInstallTextEditHooks();

// The live toolkit window whose drawing state this is; none for another state.
VXWindowRecordTag* VXWindowFromGrafState(VXGrafState* state);

// The window's active text-edit record, or none.
VXTERecord* VXGetWindowTextEdit(VXWindowRecordTag* window);

}  // namespace plexa
