// What the headless hierarchy needs of sheet windows: the child-symbol update of a sheet whose
// context changed and the refresh of its window.
#pragma once

namespace plexa {

struct HierarchyHooks;

// Puts the hierarchy's sheet-window calls in its table.
void AddSheetOpenHierarchyHooks(HierarchyHooks& hooks);

}  // namespace plexa
