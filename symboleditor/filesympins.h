// The pins of a sheet's file symbols and the sheet's exports: the standard box symbol built from a
// sheet's exports, the pins (and hidden pins of pin set 0) kept in line with the exports through
// their "~PID" port links, the synchronisation of every file symbol of a sheet or project through
// silently opened symbol editors, and the names of file symbols as their menu lists them.
//
// Pin sides (side codes): 1 the right edge, 2 the top, 3 the left edge, 4 the bottom. A pin
// stands with its body end on the box's edge and its connection end one grid step outside.
// Inputs go left, outputs right, bidirectional exports to the edge with fewer pins (left on a
// tie), exports without a type named "+..." or "VCC", "VDD", "AC" (any case) to the top and the
// others to the bottom. A pin removed while updating leaves a deleted slot (its points and pin
// numbers) that the next new pin of its side takes; a bidirectional export takes a slot of
// either edge and stays on that slot's edge.
#pragma once

#include <cstdint>
#include <vector>

#include "files/sheetexports.h"
#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct ElementRecord;
struct FileSymbolEntry;
struct ProjectRecord;
struct SheetRecord;
struct SymbolEditorRecord;
struct SymbolEditorHooks;
struct TextRecord;
using BitArray = Handle;

constexpr int32_t kPinSideRight = 1, kPinSideTop = 2, kPinSideLeft = 3, kPinSideBottom = 4;
// The top-left corner of a standard box symbol, before snapping.
constexpr int16_t kStandardBoxOrigin = 96;
constexpr const char* kPortLinkAttribute = "~PID";
constexpr const char* kUnnamedFileSymbol = "Unnamed Symbol";

struct PinSideCounts {
    int32_t left = 0, right = 0, top = 0, bottom = 0;
};

// A removed pin's place, kept while pins are updated.
struct DeletedPinSlot {
    Point points[2];    // the pin's connection and body points
    Handle pinNumbers;  // the pin's numbers, given up by the pin; none once taken
    uint16_t side;
    uint8_t reserved;
};
using DeletedPinSlots = std::vector<DeletedPinSlot>;

// The side of a new pin for an export; a free slot of that side is reserved and its index given
// when slots are given, else the side's count is raised.
int32_t CalcNewPortPinOrient(SheetExportsTable exports, const SheetExportEntry& entry, PinSideCounts* counts,
                             DeletedPinSlots* slots, int32_t* slotIndex);
// The first free slot of the side (-1: of side 1 or 3), reserved; false when none.
bool ReserveDeletedSlot(DeletedPinSlots* slots, int32_t side, int32_t* index);
// The box size in grid steps of `grid` for the pin counts.
void CalcMinFileSymbolWidthHeight(int32_t grid, const PinSideCounts& counts, int32_t* width, int32_t* height);

// The geometry of new pins: the box's top-left, its size in grid steps and the margins that
// centre the top and bottom pins.
struct PortPinBox {
    Point anchor;
    int32_t width = 0, height = 0;
    int32_t topMargin = 0, bottomMargin = 0;
};
// max(1, width / 2 - count / 2) - 1.
int32_t CalcPinCentringMargin(int32_t width, int32_t count);
// A new pin for the export (by index in the table), pushed onto the editor's current view with
// its name and number texts; none when memory fails. `numbers` caches the used pin numbers.
// Changed areas join *changed when given.
ElementRecord* CreateNewPortPin(SymbolEditorRecord* editor, SheetExportsTable exports, int32_t exportIndex,
                                const PortPinBox& box, PinSideCounts* counts, DeletedPinSlots* slots,
                                BitArray* numbers, Rect* changed);

// A box symbol with one pin per export of the editor's sheet (nothing when it has none).
void BuildStandardFileSymbolFromSheet(SymbolEditorRecord* editor);
// Brings the edited file symbol's pins and pin set 0's hidden pins in line with the sheet's
// exports; whether anything changed.
bool UpdateFileSymbolPinsFromSheet(SymbolEditorRecord* editor);
// For every file symbol of the sheet: opens its editor silently, brings its pins in line and
// saves it back into the sheet; editors opened here are closed again when `closeUnchanged` is
// set (editors that were open stay open).
void SynchronizeSheetsFileSymbols(SheetRecord* sheet, bool closeUnchanged);
// Every open sheet that the project's tree uses, then the sheets with dirty child symbols.
void SynchronizeProjectFileSymbols(ProjectRecord* project);

// The name the menu shows: the open editor's title after its first " : ", else the item's first
// name, else kUnnamedFileSymbol; into `size` bytes.
void GetFileSymbolName(const FileSymbolEntry* entry, char* name, int32_t size);
// Retitles the editors open on the sheet's file symbols (after the sheet's name changed).
void UpdateFileSymbolEditorTitles(SheetRecord* sheet);

struct FileSymbolPinHooks {
    // Places a new pin's name or number text (kind 0x8000 or 0x4000) beside its pin. Default: the
    // name inside the box at the pin's body end, the number over the pin's tail. Optional: the
    // symbol editor's own placing of pin texts comes with its pin tools, not built yet.
    void (*positionPinText)(SymbolEditorRecord* editor, TextRecord* text, ElementRecord* pin, int32_t side) = nullptr;
    // Updates the open sheets whose child symbols are dirty. Default: nothing.
    void (*updateSheetsWithDirtyChildSymbols)(ProjectRecord* project) = nullptr;
    // Suspends (false) and resumes (true) an editor's list drawing. Default: nothing. Optional,
    // with redrawPinLists: the symbol editor's list views are not built yet.
    void (*setListDrawing)(SymbolEditorRecord* editor, bool on) = nullptr;
    // Redraws the editor's pin lists (tabs 5 and 6). Default: nothing.
    void (*redrawPinLists)(SymbolEditorRecord* editor) = nullptr;
};
void SetFileSymbolPinHooks(const FileSymbolPinHooks& hooks);
const FileSymbolPinHooks& GetFileSymbolPinHooks();

// Puts the build and update of file symbols in the symbol editor's table, leaving its other slots.
void AddFileSymbolEditorHooks(SymbolEditorHooks& hooks);

}  // namespace plexa
