// A sheet's file symbols: the library items, kept flattened, that stand for the sheet when it is
// placed on a parent sheet. This module owns the list of them (`FileSymbolList`, the sheet's
// `fileSymbolList`) and its entries; the symbol editor edits an entry's item and stores it back.
//
// An entry holds its flattened item (none for a new entry never stored), the stream position of
// its entry in the sheet file, and the symbol editor open on it (none when closed). New entries
// go to the end; the list's order is the order of the file-symbols menu and of the sheet file.
// The list's free procedure frees an entry's flattened item, so that freeing the list (LLDispose
// with free set) frees everything it holds.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct SheetRecord;
struct SymbolEditorRecord;

struct FileSymbolEntry {
    FileSymbolEntry* next;
    Handle item;                 // the flattened library item, or none
    uint32_t streamPosition;     // where the entry's version word stands in the sheet file
    SymbolEditorRecord* editor;  // the symbol editor open on the entry, or none
};

// An empty list; none when memory fails.
LinkListHeader* CreateFileSymbolList();
void DestroyFileSymbolList(LinkListHeader* list);
// A new empty entry at the end of the sheet's list (the list is made when the sheet has none);
// none when memory fails.
FileSymbolEntry* CreateFileSymbol(SheetRecord* sheet);
// Unlinks and frees the entry with its item.
void DestroyFileSymbol(SheetRecord* sheet, FileSymbolEntry* entry);
// The number of entries (0 without a list).
int32_t CountFileSymbols(const SheetRecord* sheet);
// The entry at an index, none outside.
FileSymbolEntry* GetIndexedFileSymbol(SheetRecord* sheet, int32_t index);
// The first entry whose flattened item has a name equal to `name` without regard to case, and the
// index of that name in the item when asked; none when no entry has one (or the name is empty).
FileSymbolEntry* FindNamedFileSymbol(SheetRecord* sheet, const char* name, int32_t* nameIndex);

}  // namespace plexa
