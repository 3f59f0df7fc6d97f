// A sheet's exports table (block 7 of its file): the ports and signals that the sheet exports to
// the sheet symbols that stand for it, sorted by name, one entry per name, read alone to give a
// sheet symbol its ports. The table is a DA array of 16-byte entries whose reference value is the
// table's own string block (growth 256); the table owns that block. How entries are made and
// merged belongs to the sheet symbols.
//
// Stored form: the string block as a stream handle (i32 length, then the block as it lies in
// memory, header included, in the writer's byte order), then the DA array in its stored form.
// Entry (swapped by "L3WB" when the file is of the other byte order):
//   0 u32 name spec; 4 u32 port type bits (the bits 0x30 of a port symbol's flags, else 0);
//   8 u32 serial of the exporting symbol; 12 u16 pin index (0 for ports and signals);
//   14 u8 kind flags: 1 buss port, 2 signal exported through a global-signal symbol, 4 hidden-pin
//   signal; 15 u8 0.
// Older files store shorter entries: they are widened (below 15 bytes the kind flags come from the
// low byte of the word at 12; below 9 the serial is unknown, 0xFFFFFFFF, and bit 0 of the type
// word moves to the kind flags); longer entries are cut to 16 bytes.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct StreamRecord;
using SheetExportsTable = DAHeader**;

struct SheetExportEntry {
    StringSpec name;
    uint32_t portType;
    uint32_t serial;
    uint16_t pinIndex;
    uint8_t kind;
    uint8_t pad;
};
static_assert(sizeof(SheetExportEntry) == 16);

constexpr const char* kSheetExportEntryTemplate = "L3WB";
constexpr uint8_t kExportBussPort = 0x1;
constexpr uint8_t kExportGlobalSignal = 0x2;
constexpr uint8_t kExportHiddenPinSignal = 0x4;
constexpr uint32_t kExportUnknownSerial = 0xFFFFFFFF;

// An empty table sorted by name (alphanumeric order, without regard to case); none when memory
// runs out.
SheetExportsTable CreateSheetExportsTable();
// Frees the table and its string block; none is ignored.
void DestroySheetExportsTable(SheetExportsTable table);
StringBlock GetSheetExportsStrings(SheetExportsTable table);
int SheetExportsCompareProc(DAHeader** table, const void* a, const void* b);

OSStatus WriteSheetExportsTable(StreamRecord* stream, SheetExportsTable table);
// Reads a table written in either byte order (`swap` for the other one) into a new table; on
// failure nothing is kept and *table is none.
OSStatus ReadSheetExportsTable(StreamRecord* stream, bool swap, SheetExportsTable* table);
// The entry at an index of the table's order and its name (into `size` bytes); false (entry
// zeroed, name empty) beyond the last.
bool GetSheetExportEntry(SheetExportsTable table, int32_t index, SheetExportEntry* entry, char* name,
                         int32_t size);
// Opens the file read-only and reads its block 7; none and 0 when the block is missing.
OSStatus LoadSheetExportsTable(const FileSpec* spec, SheetExportsTable* table);

}  // namespace plexa
