// The core's quiet answers; see root_quiet.h.
#include "app/root_quiet.h"

namespace plexa {

std::vector<SheetRecord*> QuietOpenSheets(bool) { return {}; }
bool QuietWindowPlace(SheetRecord*, Rect*, Rect*) { return false; }
SheetRecord* QuietWindowSheet(VXWindowRecordTag*) { return nullptr; }
void QuietDetachSheetWindows(SheetRecord*) {}
void QuietBeep() {}
void QuietProgressMessage(const char*) {}

}  // namespace plexa
