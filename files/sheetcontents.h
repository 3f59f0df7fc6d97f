// The contents of a sheet file: block 5 (settings, attributes, components, symbol map, pin data,
// placed symbols, text styles, signals and busses with their wires, break-outs, texts, and the
// text frames for older readers) and block 16 (the text frames in their current form), the
// conversions of older files when they are read, and the whole sheet file written from a sheet
// record and read back into a new one (the save and the loader of open sheets build on these two).
//
// Block 5, every number in the writer's order (the header block says which), in this order:
//   u16 64, the 64-byte SheetStoredSettings ("L2B12W5B2LW3"; the 22 bytes at 42 never swapped)
//   the sheet's attribute run as a stream handle (i32 length, -1 for none; 12-byte records)
//   u16 24, the 24-byte SheetViewSettings ("W2B4WB6L2")
//   components (model/components.h: records, then u32 0xFFFFFFFF and u16 0xFFFF)
//   the symbol map (model/symbols.h) and the pin-data table (model/pindata.h), DA arrays whose
//     handle lengths are big-endian; the stream's own mode is back after each of them
//   u16 symbol count; per symbol the 34 bytes from its offset 32 ("W2L5LB2W2" for a component
//     symbol, "W2L5L2W" for any other), u16 component index (0xFFFF none), the attribute run as a
//     stream handle, and for a sheet symbol (0x400) its port data as a stream handle (head
//     "L2W4", one "LW2" per port, the i16 at head byte 14 the port count)
//   the style list (graphics/textstyle.h): the sheet's default text style, then its style list
//   u16 signal count; per signal u32 L, the L bytes from its offset 24 (head "W4LW4", pin entries
//     "LWB2L", junction dots as words), its attribute run, its wire list
//   u16 buss count; per buss u32 L, the L bytes from its offset 16 (head "W4LB2W", terminals
//     "LWB2L"), its wire list
//   wire list: u16 count; per wire u16 (20 + 4 x corners), the 16 bytes from its offset 8 ("W8"),
//     the corners as words
//   u16 break-out count; per row {first point, second point, u16 buss index} as five words
//   u16 text count; per text the 20 bytes from its offset 24 ("W4L3", the u32 at 16 its owner
//     reference: the signal index for kind 1, the buss index for kind 2, else the owner's serial),
//     u16 style index
//   text frames (below), one byte per UTF-16 unit in Mac OS Roman ("?" for what it cannot hold)
//   u16 0
// Block 16: u16 frame count, 30 zero bytes, then per frame the 16 bytes from its offset 36
// ("W2LW2L", the u32 at 12 its text length in UTF-16 units), the text (2 bytes per unit, UTF-16
// little-endian, in block 5 one byte per unit), u16 style index, and only for 2 lines or more the
// line starts as a stream handle (u32 each).
//
// Style indexes count the stored list: 0 is the sheet's default text style, n > 0 the n-th style
// of the sheet's style list, on both sides; a style found in neither is stored as 0, and an index
// beyond the list reads as 0. Every count and index of the block is 16 bits: a sheet that holds
// more (or a component whose four first counts are all 255, which would read as the end of the
// components) is refused before anything is written. A reader checks every length, count and
// index against what it has read and what the block holds, and fails with a status.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct DynamicFileRecord;
struct LinkListHeader;
struct SheetRecord;
struct StreamRecord;

// The header version from which block 16 holds the frames and symbol flags 0x18000 mean something.
constexpr uint16_t kSheetFramesBlockVersion = 257;
// The settings version written by the save.
constexpr uint16_t kSheetSettingsVersion = 2;
// The most that any list of the block may hold.
constexpr uint32_t kSheetContentsListLimit = 0xFFFF;

// Symbol flags that only the sheet file reads or sets.
constexpr uint32_t kSymbolFlagRefsBits = 0x3000;        // copied into the sub-sheet references
constexpr uint32_t kSymbolFlagsSince257 = 0x18000;      // cleared on files of older versions
constexpr uint32_t kSymbolFlagGlobalTime = 0x80000;     // the change time is in global time

// The port data of a sheet symbol: a 16-byte head whose i16 at 14 is the port count n, then n
// ports of 8 bytes.
constexpr uint32_t kSheetSymbolPortsHeadSize = 16;
constexpr uint32_t kSheetSymbolPortSize = 8;
// Their swap templates are the sheet symbols' (model/sheetsymbols.h).

// Bytes of the block-16 head after the frame count.
constexpr int32_t kFramesBlockPadding = 30;

// Whether the sheet fits the block; otherwise kParamErr with a message for the user (at most
// size - 1 bytes) naming what is too large.
OSStatus CheckSheetContentsLimits(SheetRecord* sheet, char* message, int32_t size);

// Block 5. Sets flag 0x80000 on every symbol, and compacts a break-out table that has free rows
// (renumbering the wire ends) so that stored rows keep the ids that wire ends name. A sheet beyond
// the limits is refused before a byte is written.
OSStatus WriteSheetContents(SheetRecord* sheet, StreamRecord* stream);
// The frames in the block-5 form, or in the block-16 form.
OSStatus WriteTextFrames(SheetRecord* sheet, StreamRecord* stream, bool block16);

// Swaps a sheet symbol's port data in place; false (nothing swapped) when the handle does not hold
// the ports its head counts.
bool ByteSwapSheetSymbolData(Handle ports);

// Reads block 5 (and the frames of block 16 when a stream of it is given and the version is 257
// or above) into a sheet record made by CreateDrawing that already holds the file's string block,
// themes and image list. `swap` says the file is in the other byte order; the platform of the
// sheet's header copy says whether style sizes are adjusted. *subSheetFlagsFixed (when given) says
// whether a symbol's sub-sheet flag had to be put right. On failure the sheet holds what was read
// so far, for DestroySheet.
OSStatus ReadSheetContents(SheetRecord* sheet, StreamRecord* block5, StreamRecord* block16,
                           uint16_t version, bool swap, bool* subSheetFlagsFixed);
// Reads the blocks of an open sheet file into a sheet record made by CreateDrawing, in the order
// 4, 8 (or 9 standing in: default themes), 9, 13, 5, 16, 15, 11, 12: 0x20002712 when block 4 or
// 5 (or both 8 and 9) is missing. The annotation block and the window state are the loader's.
OSStatus LoadSheetContents(SheetRecord* sheet, DynamicFileRecord* file, uint16_t version, bool swap,
                           bool* subSheetFlagsFixed = nullptr);

// The conversion of sheets older than version 257: every text of kind 0 or 16 becomes a text
// frame at the head of the frame list (a kind-16 frame keeps the text's owner serial), and the
// text goes.
void FreehandTextToFrames(SheetRecord* sheet);

// ---- Whole files ----

// Writes the sheet into a new sheet file at the spec (an existing file is replaced): the
// application header (no window state, the file-symbols flag) and blocks 1, 3, 10, 7, 12, 6, 4, 8,
// 9, 5, 16, 15, 11, 13. The save counter of the sheet's header copy goes up by one. A sheet beyond
// the limits is refused (kParamErr, the message in `message` when given) before the file is made;
// after any other failure the file is removed.
OSStatus WriteSheetFile(SheetRecord* sheet, const FileSpec* spec, char* message = nullptr,
                        int32_t messageSize = 0);
// Reads a sheet file into a new sheet record without a window: the header block (0x20002711 for a
// version of 259 or more), the contents and the annotation block. None and the status on failure,
// with nothing left open or allocated.
OSStatus LoadSheetFile(const FileSpec* spec, SheetRecord** sheet, bool* subSheetFlagsFixed = nullptr);

}  // namespace plexa
