// The sheet editor's side of sheet symbols and file symbols: the file-symbols menu of a sheet and
// the dialog that deletes file symbols. Drawing a sheet symbol is the model's (model/sheetsymbols.h).
#pragma once

#include <cstdint>
#include <vector>

namespace plexa {

struct FileSymbolEntry;
struct SheetRecord;
struct SymbolRecord;
struct VXWindowRecordTag;

// The file-symbols menu.
constexpr uint16_t kFileSymbolsMenuTag = 1500;
constexpr uint16_t kFileSymbolsFirstCommand = 1501;
constexpr uint16_t kFileSymbolsNewCommand = 1598;
constexpr uint16_t kFileSymbolsDeleteCommand = 1599;
// The delete dialog: 1 Delete, 2 Cancel, 3 the list of file symbols.
constexpr uint16_t kDeleteFileSymbolsTemplate = 1045;
constexpr int16_t kDeleteFileSymbolsList = 3;
// The change kind recorded when file symbols are deleted.
constexpr uint32_t kSheetFileSymbolsDeleted = 33;

// Fills the menu tagged 1500 (nothing when there is none): one item per file symbol (commands
// 1501, 1502, ...), a separator, "New..." (1598) and "Delete..." (1599); without file symbols
// only "New..." and a disabled "Delete...".
void BuildFileSymbolsMenu(SheetRecord* sheet);

// Deletes the file symbols at the list indexes (ascending): each one's editor is closed, the
// sheet marked modified (change kind 33), the sheets placing its symbols marked, the symbol
// destroyed.
void DeleteFileSymbolsAt(SheetRecord* sheet, const std::vector<int32_t>& indexes);
// Runs the delete dialog over the sheet's file symbols.
void AskDeleteSheetSymbolDefintions(SheetRecord* sheet);

struct SheetSymbolUIHooks {
    // Records a change of the sheet (kind 33 for deleted file symbols). Default: the sheet's
    // modified flag is set.
    void (*setSheetModified)(SheetRecord* sheet, uint32_t kind) = nullptr;
    // Marks the open sheets that place this sheet's file symbols as having dirty child symbols.
    // Default: nothing.
    void (*markSheetsWithChildSymbols)(SheetRecord* sheet) = nullptr;
};
void SetSheetSymbolUIHooks(const SheetSymbolUIHooks& hooks);
const SheetSymbolUIHooks& GetSheetSymbolUIHooks();

}  // namespace plexa
