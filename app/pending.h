// Calls into parts of the application shell that are being written beside this one: each is
// declared with its final name and signature and has the least body until its own module
// replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;

// Opens the preferences dialog at a panel (1 the library folders).
void EditPrefsDialog(int32_t panel);
// Shows the window's view at the scale with the rectangle's centre in the middle of the view;
// answers the scale shown.
int32_t SetScaledViewPostion(VXWindowRecordTag* window, int32_t scale, const Rect& rect);

// The print scaling that fits the bounds on a page of that size (1.0 at most).
double CalcScaleFactorToFit(Point pageSize, const Rect& bounds, int32_t flags);

}  // namespace plexa
