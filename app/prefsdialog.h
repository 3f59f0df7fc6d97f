// The Preferences dialog: general options, property-name lists, shortcut groups, the fonts of the
// font menus, the sheet colours, the library search paths and the report scripts, each on a tab
// of its own. It edits copies; only OK puts them in place, each changed area marked for the
// preferences file and made effective.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/shortcutgroups.h"

namespace plexa {

constexpr uint16_t kPrefsDialogTemplate = 1016, kPrefsPanelTemplateBase = 2030;
constexpr int16_t kPrefsTabsItem = 3;
constexpr int32_t kPrefsTabCount = 7, kLibraryPathsTab = 5;

// The tab shown last in this run of the program (not stored).
extern int16_t gLastPrefsTab;

// Runs the dialog, on the library search paths tab when asked. True when it ended with OK.
bool EditPrefsDialog(bool openOnLibraryTab);
// The preferences asked for from the drawing tools (panel 1: the library search paths tab); the
// tool palettes follow what OK changed.
void EditPrefsFromDrawingTools(int32_t panel);

// Adds the chosen (item, library) pairs to the group: a pair the group holds already is not
// added again, its row is selected instead; new rows are appended and selected. Gives the rows
// to select; the last is the one to reveal.
std::vector<int32_t> AddShortcutRows(ShortcutGroup& group, const std::vector<std::pair<std::string, std::string>>& chosen);

}  // namespace plexa
