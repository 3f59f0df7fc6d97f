// The core's quiet answers: what a program without windows gives where the editors would ask a
// person or look at a window. Only app/ includes this.
#pragma once

#include <vector>

namespace plexa {

struct Rect;
struct SheetRecord;

// No sheet windows: no open sheets, no window place.
std::vector<SheetRecord*> QuietOpenSheets(bool visible);
bool QuietWindowPlace(SheetRecord* sheet, Rect* position, Rect* view);

}  // namespace plexa
