// The Update Parts command's dialog (UI template 1034): which placed symbols to bring up to date
// with their library items (the selected ones, a sheet or the project's selected sheets, or every
// sheet of the project), whether only symbols older than their item are replaced, and how the
// placed attributes take the library's values. The attribute mode and the force choice are kept
// for the next use while the program runs.
#pragma once

#include <cstdint>

namespace plexa {

struct ProjectRecord;
struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kUpdatePartsDialogTemplate = 1034;
constexpr int16_t kUpdatePartsSelectedItem = 3, kUpdatePartsSheetItem = 4, kUpdatePartsProjectItem = 5;
constexpr int16_t kUpdatePartsOnlyOlderItem = 6;
constexpr int16_t kUpdatePartsFirstModeItem = 8;  // modes 0 to 3 are items 8 to 11
constexpr const char* kUpdatePartsProjectSheetsText = "Update symbols in the project's selected sheets";

int32_t UpdatePartSymbolsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

// The command for a sheet (its project, or none), or without a sheet for the project window's
// project (treeHasSelection: rows of its tree are selected). Runs the dialog and, confirmed, the
// update; then every open sheet's library pane follows the item cache again.
void UpdatePartSymbolsOf(SheetRecord* sheet, ProjectRecord* project, bool treeHasSelection);

}  // namespace plexa
