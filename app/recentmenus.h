// The menus built from data at run time: "Open Recent" (menu 219) from the three recent-file
// lists of the preferences, and "Font" (menu 502) from the system's fonts less the excluded ones.
#pragma once

#include <cstdint>
#include <vector>

#include "app/commands.h"
#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct txStyle;
struct VXMenuRecord;

constexpr uint16_t kRecentFilesMenuTag = cmd::kRecentMenu, kClearRecentCommand = cmd::kClearRecent,
                   kFontMenuTag = cmd::kFontMenu, kOtherFontsItem = cmd::kOtherFonts;
constexpr uint16_t kRecentFirstCommand[3] = {cmd::kFirstRecent, cmd::kFirstRecent + 30, cmd::kFirstRecent + 60};

void RebuildRecentFilesMenu();
// Records an opened file of type "PRJ4", "SCH4" or "LIB4" in its list (the oldest entry goes
// when the list is full), and puts the list in the menu.
void UpdateRecentFilesMenu(const FileSpec* spec, FourCharCode fileType);
// The same with the type as its four characters (anything else records nothing).
void UpdateRecentFilesMenu(const FileSpec* spec, const char* fileType);
// 1 with the file's spec when it exists and is no folder, else 0 (and the spec cleared).
int32_t ExtractRecentFilesSpec(int32_t list, int32_t index, FileSpec* spec);
// Opens entry `index` of the list; a file that is gone beeps and leaves the list.
void OpenRecentFile(int32_t list, int32_t index);
// Command 800-898: the list and index it opens; false for another command.
bool RecentCommandEntry(uint16_t command, int32_t* list, int32_t* index);
// Empties the three lists and the menu.
void ClearRecentFilesHistory();
bool HasRecentFiles();

void BuildFontMenu();
// The Font item (from 1) of the style's font, 0 when none.
int32_t GetFontMenuItemNumber(const txStyle* style);
int32_t MarkFontMenuItem(VXMenuRecord* menu, const txStyle* style);
// The font index of each Font item, in item order.
const std::vector<uint16_t>& FontMenuIndexes();

}  // namespace plexa
