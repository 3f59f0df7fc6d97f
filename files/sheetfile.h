// Sheet files: one schematic sheet is stored in one dynamic file of type "SCH4" (creator "QPLX",
// extension ".SHX") with a 256-byte application header and blocks of types 1 to 16. This module
// owns the container: the application header (window state and file-symbols flag), the header
// block, opening and telling a sheet file, the readers of the string block and of the text theme
// blocks, and the in-place rewrites of the annotation block and of the window state in a closed
// file. The sub-sheet references, exported attributes and graphic elements (sheetblocks.h), the
// exports table (sheetexports.h) and the file symbols (filesymbols.h) have modules of their own;
// sheetfile_dump.h lists a file's blocks.
//
// Application header (256 bytes):
//   0   32  SheetWindowState
//   32  2   file-symbols flag: 0xFFFF when the sheet holds at least one file symbol, else 0
//   34  222 zero
//
// SheetWindowState (32 bytes, swapped by "W12" when its mark reads 0x3412):
//   0 u16 mark 0x1234; 2 u16 scale in percent (0: no state stored); 4 u16 top tool bar
//   expanded; 6 u16 0; 8 Rect window position (top, left, bottom, right); 16 i16, i16 view
//   origin (top, left); 20 u16, u16 widths of the two panes of the top tool bar (0: 185);
//   24 8 zero bytes.
//
// Header block (block 1, 64 bytes, swapped by "WB6LW2LW" when its mark is not 0x1234):
//   0 u16 format version (258 written, 259 and above refused by the loader); 2 u16 byte-order
//   mark 0x1234 in the writer's order; 4 four characters of the writer's platform, big-endian
//   ("IMac" written; "IMac", "IW32", "M68K", "PMac" recognised); 8 u32 save counter; 12 u16
//   sheet rank (9999 unknown); 14 10 reserved bytes, written as zero; 24 40 zero bytes.
//
// Blocks, in the order the save writes them: 1 header, 3 sub-sheet references, 10 annotation
// map, 7 exports table, 12 file symbols (only with file symbols), 6 exported attributes, 4 the
// sheet's string block, 8 text themes, 9 opaque sheet data (only when the sheet holds some),
// 5 contents, 16 text frames, 15 print record (only with one), 11 graphic elements, 13 image
// list. Blocks 2 and 14 are never written. The header block's mark decides the byte order of the
// whole file; the numbers of every other block are in the writer's order unless said otherwise.
//
// Every reader runs over a block loaded whole into memory, so that nothing reads beyond its
// block, and ends with a status, freeing what it built, whatever the bytes.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct AnnotationMap;
struct DynamicFileRecord;
struct SheetFileHeader;
struct SheetRecord;
struct StreamRecord;
struct SheetServices;
struct AnnotationContextHooks;
struct ModelHooks;

constexpr FourCharCode kSheetFileType = FourCC("SCH4");
constexpr const char* kSheetFileTypeName = "SCH4";
constexpr const char* kSheetFileCreator = "QPLX";
constexpr const char* kSheetFileExtension = ".SHX";
constexpr uint32_t kSheetAppHeaderSize = 256;

constexpr uint16_t kSheetFileVersion = 258;
constexpr uint16_t kSheetFileMark = 0x1234;

// Block types.
constexpr uint8_t kSheetHeaderBlock = 1;
constexpr uint8_t kSheetSubSheetRefsBlock = 3;
constexpr uint8_t kSheetStringBlock = 4;
constexpr uint8_t kSheetContentsBlock = 5;
constexpr uint8_t kSheetExportedAttributesBlock = 6;
constexpr uint8_t kSheetExportsBlock = 7;
constexpr uint8_t kSheetTextThemesBlock = 8;
constexpr uint8_t kSheetOpaqueDataBlock = 9;
constexpr uint8_t kSheetAnnotationBlock = 10;
constexpr uint8_t kSheetElementsBlock = 11;
constexpr uint8_t kSheetFileSymbolsBlock = 12;
constexpr uint8_t kSheetImageListBlock = 13;
constexpr uint8_t kSheetPrintRecordBlock = 15;
constexpr uint8_t kSheetTextFramesBlock = 16;

// Platform codes.
constexpr FourCharCode kPlatformIMac = FourCC("IMac");
constexpr FourCharCode kPlatformIW32 = FourCC("IW32");
constexpr FourCharCode kPlatformM68K = FourCC("M68K");
constexpr FourCharCode kPlatformPMac = FourCC("PMac");

// Offsets in the application header.
constexpr int32_t kSheetWindowStateOffset = 0;
constexpr int32_t kSheetFileSymbolsFlagOffset = 32;
constexpr uint16_t kSheetHasFileSymbols = 0xFFFF;

constexpr OSStatus kNoFileSymbolsErr = 0x20002715;

constexpr uint32_t kSheetWindowStateSize = 32;
constexpr const char* kSheetWindowStateTemplate = "W12";

struct SheetWindowState {
    uint16_t mark;
    uint16_t scale;           // percent; 0 means that no state is stored
    uint16_t toolsExpanded;   // 1 when the top drawing tool bar is expanded
    uint16_t zero6;
    Rect position;            // the window's position rectangle
    int16_t viewTop;          // the top-left of the visible part of the sheet
    int16_t viewLeft;
    uint16_t paneWidths[2];   // of the top tool bar; 0 means 185
    uint8_t zero24[8];
};
static_assert(sizeof(SheetWindowState) == kSheetWindowStateSize);

// ---- Opening and telling ----

// Opens a sheet file (read-only when asked) and checks its type. With a header buffer it reads
// the header block (at most 64 bytes) into it as the sheet record keeps it: swapped when its mark
// is not 0x1234, the mark word replaced by the swap flag, the platform code in native order and an
// unrecognised one replaced by the assumed one. On any failure the file is closed again: the
// dynamic file layer's status, 0x20002712 for another file type or a missing or short header
// block. Blocks of the file are not otherwise checked here.
OSStatus OpenSheetFile(const FileSpec* spec, bool readOnly, DynamicFileRecord* file,
                       SheetFileHeader* header);
// The platform a file is taken to come from when its code is not recognised: "PMac" when it
// needed swapping, "IW32" when not.
FourCharCode GetAssumedPlatformID(bool swapped);
// Whether the platform code asks for the text style sizes to be adjusted after loading (any code
// but "IMac", "PMac" and "M68K").
bool IsForeignSheetPlatform(FourCharCode platform);

// 0 for a dynamic file of type "SCH4"; the dynamic file layer's status for a file that is none
// (0x20002AF8, or the failure to read it); 0x20002712 for a dynamic file of another type.
OSStatus IsSheetFile(const FileSpec* spec);
// Reads the file type and the file-symbols flag without opening the file for blocks: 0 for a
// sheet file whose flag is set, 0x20002715 when it is not, 0x20002712 for another type, the
// dynamic file layer's status for a file that is none.
OSStatus IsSheetFileWithSymbols(const FileSpec* spec);

// ---- The header block ----

// Writes the header block of a file being saved: the copy gets version 258, swap flag 0, platform
// "IMac" and one more save; the block holds the mark 0x1234, the platform big-endian and zero
// reserved bytes.
OSStatus WriteSheetFileHeader(DynamicFileRecord* file, SheetFileHeader* header);
// The rank in the header block of a closed sheet file; 9999 when it cannot be read (its status
// is returned).
OSStatus ReadSheetFileRank(const FileSpec* spec, uint16_t* rank);

// ---- The application header ----

// Clears the state with an empty rectangle, then reads it; a state of the other byte order is
// swapped and its rectangle made empty again. The status of the read (0x20002AF9 for a file
// without the room).
OSStatus ReadSheetWindowState(DynamicFileRecord* file, SheetWindowState* state);
// Sets the mark and writes the state. Without an open file, it writes the named file when the
// spec has a name, a valid folder, is a sheet file and both the file and its folder may be written
// (else 0 and nothing happens): a copy with the new state replaces the file in one step, so that
// either the old file or the whole new one is there, with its modification time put back.
OSStatus WriteSheetWindowState(const FileSpec* spec, DynamicFileRecord* file, SheetWindowState* state);
// Nothing for a sheet without a window; else the window's state into the open file, or into the
// sheet's own file.
OSStatus SaveSheetWindowState(SheetRecord* sheet, DynamicFileRecord* file);
OSStatus WriteSheetSymbolExportFlag(DynamicFileRecord* file, bool hasFileSymbols);

// ---- Single blocks ----

// The first block of the type loaded whole, and a handle stream over it that swaps on read when
// asked. None of either (and 0) when the file has no such block. Both are freed with
// CloseSheetBlockStream.
struct SheetBlockStream {
    Handle bytes = nullptr;
    StreamRecord* stream = nullptr;
};
OSStatus OpenSheetBlockStream(DynamicFileRecord* file, uint8_t type, bool swap, SheetBlockStream* block);
void CloseSheetBlockStream(SheetBlockStream* block);
// Reads one block without loading the sheet: opens the file read-only and, when it has a block of
// the type, calls `read` over a stream of the block (`swap` and the stream's swapping set from the
// header block); 0 without calling it when the block is missing. The file is closed again.
using SheetBlockReader = OSStatus (*)(StreamRecord* stream, bool swap, void* data);
OSStatus ReadSheetFileBlockAlone(const FileSpec* spec, uint8_t type, SheetBlockReader read, void* data);

// The sheet's string block (block 4) in a new block of the current pool; 0x20002712 when the file
// has none.
OSStatus ReadSheetFileStringBlock(DynamicFileRecord* file, StringBlock* block);
// Without a handle: finds block 8, else block 9, and reports in `found` whether block 9 stands in
// (the sheet then takes default text themes); 0x20002712 when neither exists. With a handle: only
// block 9, loaded whole into a new handle when present (a missing block is no failure). `offset`,
// when given, receives the data offset of the block found (0 when none).
OSStatus GetSheetFileTextThemeBlock(DynamicFileRecord* file, bool* found, Handle* handle,
                                    uint32_t* offset = nullptr);

// Rewrites block 10 of a closed sheet file with the map: 0 without effect when the spec has no
// name or folder or is not a sheet file; the old block is released first.
OSStatus WriteSheetAnnotation(const FileSpec* spec, AnnotationMap* map);

// Reads block 10 of a closed sheet file into a new map; *map stays none when the file has no
// such block (0 then), and on failure.
OSStatus ReadSheetAnnotation(const FileSpec* spec, AnnotationMap** map);

// Puts the sheet-file readers and writers that sheet specs and projects use (the references of a
// sheet file, its rank, its annotation block) in the sheet services and the annotation maps'
// hooks, and the making and freeing of a sheet record's file-symbol list in the model's.
void AddSheetFileServices(SheetServices& services, AnnotationContextHooks& annotation,
                          ModelHooks& model);

}  // namespace plexa
