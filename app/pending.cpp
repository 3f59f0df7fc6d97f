// Least bodies of the calls declared in pending.h.
#include "app/pending.h"

namespace plexa {

void EditPrefsDialog(int32_t) {}  // the preferences dialog at a panel
int32_t SetScaledViewPostion(VXWindowRecordTag*, int32_t scale, const Rect&) { return scale; }  // zooms the view

double CalcScaleFactorToFit(Point, const Rect&, int32_t) { return 1.0; }  // the scale fitting the page

}  // namespace plexa
