// The core's quiet answers: what a program without windows gives where the editors would ask a
// person or look at a window. Only app/ includes this.
#pragma once

#include <vector>

namespace plexa {

struct Rect;
struct SheetRecord;
struct VXWindowRecordTag;

// No sheet windows: no open sheets, no window place.
std::vector<SheetRecord*> QuietOpenSheets(bool visible);
bool QuietWindowPlace(SheetRecord* sheet, Rect* position, Rect* view);
SheetRecord* QuietWindowSheet(VXWindowRecordTag* window);
void QuietDetachSheetWindows(SheetRecord* sheet);
// No sound, no progress window.
void QuietBeep();
void QuietProgressMessage(const char* message);

}  // namespace plexa
