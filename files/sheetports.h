// What a sheet exports to the sheet symbols that stand for it, and how those symbols follow: the
// building of a sheet's exports table from its port symbols, global-signal symbols and hidden-pin
// signals with its merge rules, the port link ids that tie a file symbol's pins to exports, the
// synchronisation of a sheet symbol's ports with its child's exports, and finding and entering
// the child sheet of a sheet symbol. The table's stored form is files/sheetexports.h's; the port
// data and geometry are model/sheetsymbols.h's.
//
// Merge rules (one entry per name, compared alphanumerically without regard to case): the type
// bits of a later entry of the same name are or-ed in; then
//   - a hidden-pin signal against an entry that is not one changes nothing more;
//   - an entry that is a hidden-pin signal takes a later one that is not: its serial, pin index
//     and kind flags (the old flags less the hidden-pin bit, or-ed with the new);
//   - otherwise the kind flags are or-ed, and the serial and pin index of the later entry are
//     taken when its serial is lower; with the same serial the lower pin index is taken. (A pin
//     index is never taken apart from its serial: the pair names one pin.)
#pragma once

#include <cstdint>

#include "files/sheetexports.h"
#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct SheetNode;
struct SheetRecord;
struct SymbolRecord;

// Bytes of a port link id text.
constexpr int32_t kPortLinkIdSize = 24;
// Options of opening a child sheet without a project: shown, not as a template, no context.
constexpr uint32_t kEnterSubSheetOpenOptions = 1 | 4 | 8;
// The hierarchy rebuild asked for when a child node is missing.
constexpr int32_t kEnterSubSheetRebuildMode = 5;

// ---- The exports table ----

// The table of the sheet's exports in name order; none when memory runs out (nothing is kept).
SheetExportsTable BuildSheetExportsTable(SheetRecord* sheet);
// Adds the entry under the name, or merges it into the entry of that name; false when memory
// runs out (the table is as it was).
bool AddExportTableEntry(SheetExportsTable table, const char* name, const SheetExportEntry& entry);
// The name of an entry (or, without one, of the entry at the index) into `size` bytes.
void GetSheetExportName(SheetExportsTable table, const SheetExportEntry* entry, int32_t index, char* name,
                        int32_t size);
// The index of the first entry whose name equals `name` without regard to case, -1 when none.
int32_t FindSheetExportByName(SheetExportsTable table, const char* name);

// ---- Port link ids ----

// "%d,%d" of the serial and pin index, into kPortLinkIdSize bytes.
void MakePortLinkIdString(char* text, uint32_t serial, uint16_t pinIndex);
// The index of the first entry whose link id equals `id`, -1 when none (or for an empty id).
int32_t FindSheetExportByLinkId(SheetExportsTable table, const char* id);

// ---- Sheet symbol ports and their child ----

// Brings a port data handle (a copy that the symbol information dialog edits) in line with the
// child's exports: from the open child sheet, else from block 7 of its file. Ports of an export's
// name (ignoring case) take its buss bit and type; new exports are appended with the name shown
// and slot 0xFFFF; ports without an export go. The status of a failed read leaves the ports as
// they were; a child without exports leaves none.
OSStatus SynchSheetSymbolPorts(Handle ports, StringBlock block, const FileSpec* child);
// The child sheet file of that name: along the project's paths, or without a project in the
// folder hint, the parent sheet's folder and the application's folder, in turn; false for an
// empty name or when no place holds a sheet file of that name.
bool FindSubSheetFile(ProjectRecord* project, SheetRecord* parent, const char* name, const DirectoryRef* hint,
                      FileSpec* spec);
// The tree node under the sheet's instance node for the symbol (by its serial); none without a
// project context or when the tree has no such node.
SheetNode* GetSheetNodeFromSymbol(SheetRecord* sheet, const SymbolRecord* symbol);
// Opens the symbol's child sheet: in its hierarchy context when the sheet has one (rebuilding the
// hierarchy once when the node is missing or does not open), else as a file of its own. None
// when it is not found or does not open.
SheetRecord* EnterSubSheet(SheetRecord* sheet, SymbolRecord* symbol);

// What entering a sub-sheet needs of the modules that open sheets and keep the hierarchy.
struct SheetPortServices {
    // Opens a tree node's sheet in its context. Default: none.
    SheetRecord* (*openSheetContext)(ProjectRecord* project, SheetNode* node) = nullptr;
    // Rebuilds the project's hierarchy tree. Default: nothing.
    void (*updateProjectHierarchy)(ProjectRecord* project, int32_t mode) = nullptr;
    // Opens a sheet file with the opening options. Default: none.
    SheetRecord* (*openSheetFile)(const FileSpec* spec, uint32_t options) = nullptr;
    // The busy cursor. Default: nothing.
    void (*busy)() = nullptr;
};
void SetSheetPortServices(const SheetPortServices& services);
const SheetPortServices& GetSheetPortServices();

}  // namespace plexa
