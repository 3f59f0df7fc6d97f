// Three blocks of a sheet file (see sheetfile.h for the container): the sub-sheet references
// (block 3), which a project reads alone to learn a sheet's children; the exported attributes
// (block 6), written for other programs and never read here; and the graphic elements (block 11).
//
// Block 3, one entry per symbol that is a sheet symbol or names a sub-sheet and whose sub-sheet
// file name is not empty, in the reverse of the symbol list's order:
//   u32 serial (not 0); u8 n, n bytes: the sub-sheet file name; u8 m, m bytes: for a symbol that
//   is neither a component symbol nor a sheet symbol its reference name, or its name when that
//   is empty, otherwise its name; u16 flags: the symbol's bits 0x3000, plus 0x4000 for a
//   component or sheet symbol.
// A u32 0 ends the block. Names are at most 255 bytes: longer ones are cut at a character
// boundary when written, and every reader gives them whole. A symbol with serial 0 cannot be
// stored (it would end the block) and is left out.
//
// Block 6: u16 mark 0x1234; runs of {u16 count n, u32 owner serial, n 12-byte attribute records}
// for the sheet (serial 0) and then every symbol with attributes in list order; u16 0; then the
// block's own string block (growth 256) holding every name and value of the runs.
//
// Block 11: u32 H, the stored element head length plus 4 (32 written); per element of the list an
// i32 tail length T and the element from its offset 8 (H - 4 head bytes, T tail bytes; see
// model/elements.h); i32 -1. A reader takes H of 4 and more only, and T only as far as the block
// holds it.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "files/sheet_services.h"

namespace plexa {

struct LinkListHeader;
struct SheetRecord;
struct StreamRecord;
struct SymbolRecord;

// ---- Block 3 ----

// A buffer that holds any name of a stored reference with its terminator.
constexpr int32_t kSheetFileReferenceNameSize = 256;
constexpr uint16_t kSheetFileReferenceMaxName = 255;

// One stored reference; the list's owner word holds the list's own string block.
struct SheetFileReference {
    SheetFileReference* next;
    uint32_t serial;
    StringSpec subSheetName;
    StringSpec symbolName;
    uint16_t flags;
};

OSStatus WriteSubSheetRefs(SheetRecord* sheet, StreamRecord* stream);
// A placed symbol's sub-sheet file name (a sheet symbol's file name, else its "~SUB" attribute)
// and its name (its component's name, a sheet symbol's name, else its "~NAM" attribute), into
// buffers of `size` bytes: what the sheet services give unless a test stands in.
void GetSymbolSubSheetFileName(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size);
void GetSymbolSubSheetSymbolName(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size);
// Every entry of the open sheet's sub-sheet map in the map's order (the references that block 3
// would store for it).
void EnumOpenSheetSubSheets(SheetRecord* sheet, OpenSubSheetProc proc, void* data);
// Reads the block's content into a new list in file order; none (and 0) for a block with no
// entries. On failure nothing is kept.
OSStatus ReadSheetFileReferences(StreamRecord* stream, bool swap, LinkListHeader** list);
// Opens the file read-only and reads its block 3; none and 0 when the block is missing or empty.
OSStatus LoadSheetFileReferences(const FileSpec* spec, LinkListHeader** list);
// Copies out the entry's fields; each name buffer takes kSheetFileReferenceNameSize bytes.
void ExtractSheetFileReference(LinkListHeader* list, const SheetFileReference* entry,
                               uint32_t* serial, char* subSheetName, char* symbolName,
                               uint16_t* flags);
void DestroySheetFileReferences(LinkListHeader* list);
// Calls the procedure for every stored reference of the file, in file order.
OSStatus EnumSheetFileSubSheets(const FileSpec* spec, FileSubSheetProc proc, void* data);

// ---- Block 6 ----

OSStatus WriteExportedAttributes(SheetRecord* sheet, StreamRecord* stream);
// One run: the first `count` attributes of the handle (as many as it holds), their strings moved
// from `source` into `target`. Nothing for an owner without attributes.
OSStatus WriteSheetItemAttributes(StreamRecord* stream, uint32_t serial, Handle attributes,
                                  int32_t count, StringBlock source, StringBlock target);

// ---- Block 11 ----

OSStatus WriteSheetElements(SheetRecord* sheet, StreamRecord* stream);
// Appends the stored elements to the sheet's element list in stored order, an image element with
// a reference in the sheet's image list. On failure nothing is added.
OSStatus ReadSheetElements(SheetRecord* sheet, StreamRecord* stream, bool swap);

}  // namespace plexa
