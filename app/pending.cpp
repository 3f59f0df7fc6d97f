// Least bodies of the calls declared in pending.h.
#include "app/pending.h"

namespace plexa {

void EditPrefsDialog(int32_t) {}  // the preferences dialog at a panel
int32_t SetScaledViewPostion(VXWindowRecordTag*, int32_t scale, const Rect&) { return scale; }  // zooms the view

}  // namespace plexa
