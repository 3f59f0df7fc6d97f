// A sheet's file symbols as its file stores them (block 12): flattened library items that stand
// for the sheet on its parents, kept in a list of entries; a sheet that has some can be searched
// and opened as a symbol library. This module owns the entry and the list, the block's digest and
// its framing, and the reading of one entry at a stream position. What the flattened items hold
// belongs to the library item; the symbol editor edits an entry's item and stores it back.
// New entries go to the end; the list's order is the order of the file-symbols menu and of the file.
//
// Block 12:
//   512 bytes  the names digest (files/names_digest.h) of an item map over the entries' items
//   per entry of the list that holds an item, in list order:
//     u16 entry version 1, big-endian; i32 length L, big-endian; L bytes of the flattened item
//   u16 1, big-endian, and i32 -1, big-endian
// The lengths are big-endian whatever the writer's order (the stream's big-endian handle lengths
// are switched on for the entries and restored afterwards); the items carry their own mark. An
// entry's position is the offset of its version word from the start of the block. Every entry's
// version is checked: 2 and above are too new (0x20002711).
#pragma once

#include <cstdint>

#include "files/names_digest.h"
#include "files/sheet_services.h"
#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct DynamicFileRecord;
struct LinkListHeader;
struct StreamRecord;
struct SheetRecord;
struct SymbolEditorRecord;
using FileSymbolList = LinkListHeader;

constexpr uint16_t kFileSymbolEntryVersion = 1;

struct FileSymbolEntry {
    FileSymbolEntry* next;
    Handle item;                 // the flattened library item, owned by the entry
    uint32_t position;           // where the entry's version word stands in the block
    SymbolEditorRecord* editor;  // the symbol editor open on it, or none
};

// An empty list whose entries free their items; none when memory runs out.
FileSymbolList* CreateFileSymbolList();
void DestroyFileSymbolList(FileSymbolList* list);
// A single entry made by ReadOneFileSymbol (not in a list), with its item.
void DestroyFileSymbolEntry(FileSymbolEntry* entry);
// Entries that hold an item.
int32_t CountFileSymbols(const FileSymbolList* list);

// A new empty entry at the end of the sheet's list (the list is made when the sheet has none);
// none when memory fails.
FileSymbolEntry* CreateFileSymbol(SheetRecord* sheet);
// Unlinks and frees the entry with its item.
void DestroyFileSymbol(SheetRecord* sheet, FileSymbolEntry* entry);
// Every entry of the sheet's list, stored or not (0 without a list).
int32_t CountFileSymbols(const SheetRecord* sheet);
// The entry at an index, none outside.
FileSymbolEntry* GetIndexedFileSymbol(SheetRecord* sheet, int32_t index);
// The first entry whose flattened item has a name equal to `name` without regard to case, and the
// index of that name in the item when asked; none when no entry has one (or the name is empty).
FileSymbolEntry* FindNamedFileSymbol(SheetRecord* sheet, const char* name, int32_t* nameIndex);

// The digest of the names of every entry's item (entries whose names cannot be read add none);
// the rows it uses in *rows when asked. -108 when memory runs out.
OSStatus BuildFileSymbolsDigest(const FileSymbolList* list, ItemNamesDigest* digest, int32_t* rows);
// The block's entries and their end (its parts 2 and 3).
OSStatus WriteFileSymbols(StreamRecord* stream, const FileSymbolList* list);
// The whole block: the digest, then the entries.
OSStatus WriteFileSymbolsBlock(StreamRecord* stream, const FileSymbolList* list);
// Appends an entry for every stored item, skipping the digest first when asked. On failure nothing
// is appended. The stream's handle-length mode is restored on every path.
OSStatus ReadFileSymbols(StreamRecord* stream, FileSymbolList* list, bool skipDigest);
// The entry whose version word stands at the position of a block 12 stream, in a new entry; -50
// for a position inside the digest or beyond the block, or for the block's end.
OSStatus ReadOneFileSymbol(StreamRecord* stream, uint32_t position, FileSymbolEntry** entry);
// Opens the file read-only and appends the entries of its block 12; nothing (and 0) when the file
// has no such block.
OSStatus LoadSheetFileSymbols(const FileSpec* spec, FileSymbolList* list);
// The sheet file's own readers of block 12 for the sheet services: every file symbol of an open
// sheet file in file order (kNoFileSymbolsErr when it has none; a non-zero answer of the
// procedure ends the walk and is returned), and the one at a stream position of the block, its
// flattened item in a new handle.
OSStatus EnumSheetFileSymbols(DynamicFileRecord* file, FileSymbolProc proc, void* data);
OSStatus ReadSheetFileSymbol(DynamicFileRecord* file, uint32_t position, Handle* outItem);

}  // namespace plexa
