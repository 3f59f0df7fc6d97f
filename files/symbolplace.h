// Placing a library item's symbol on a sheet and replacing placed symbols by other definitions.
// A placed symbol remembers its source (a library file name, or for a symbol made from a child
// sheet's file symbol the child's name) and the item's time stamp at placement; replacing keeps
// the old symbol's position, transform, designator, attributes (merged with the new library's
// tracked attributes), moved texts and the wires on pins whose names the new symbol has. The old
// symbol stays on the sheet: the caller selects and deletes it.
//
// The item cache's selection, the automatic-annotation rule, the project hierarchy update and the
// placement of a symbol's name and designator texts belong to layers and modules above or beside
// this one; they are reached through `SymbolPlaceHooks`.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct LibraryItem;
struct LinkListHeader;
struct ProjectRecord;
struct SheetRecord;
struct SymbolRecord;
struct TextRecord;

// More symbol flags used while placing and updating.
constexpr uint32_t kSymbolFlagHandled = 0x2000000;  // handled by the update in progress
constexpr uint32_t kSymbolFlagMarked = 0x4000000;   // marked for replacement or update

// Options of PlaceLibSymbolInstance and ReplaceSymbol.
constexpr uint32_t kPlaceAttributeModeMask = 0x3;
constexpr uint32_t kPlaceNoHierarchyUpdate = 0x10;

// The reason given to the hierarchy update after placing.
constexpr int32_t kHierarchySymbolsChanged = 8;

// A symbol definition chosen for placing: what the item cache's selection holds.
struct SymbolSelection {
    LibraryItem* item;
    int32_t nameIndex;
    int32_t symbolIndex;
    bool alternate;
    const char* sourceName;  // the library's file name, or a child sheet's
    int32_t timeStamp;
};

struct SymbolPlaceHooks {
    // The item cache's current selection; false when no item is selected. Default: false.
    bool (*currentSelection)(SymbolSelection* out) = nullptr;
    // Whether a new symbol gets a designator of its own. Default: every symbol that is not a net
    // symbol.
    bool (*canAutoAnnotate)(SheetRecord* sheet, SymbolRecord* symbol) = nullptr;
    // Brings the project's hierarchy up to date. Default: nothing.
    void (*updateProjectHierarchy)(ProjectRecord* project, int32_t reason) = nullptr;
    // Makes the symbol's name and designator texts from the definition's (either may be none):
    // `flags` are the definition's placement options (1 shows the name, 2 the designator); a text
    // shown and missing is made, one given and not shown is hidden. Default: the texts stay as the
    // definition put them.
    void (*createSymbolTextItems)(SheetRecord* sheet, SymbolRecord* symbol, uint32_t flags,
                                  TextRecord* name, TextRecord* designator, Rect* area) = nullptr;
};
void SetSymbolPlaceHooks(const SymbolPlaceHooks& hooks);
const SymbolPlaceHooks& GetSymbolPlaceHooks();

// Places symbol `symbolIndex` of the item (with its component when the item has one) at the
// position. packageIndex -1 takes the name's default package. With a replaced symbol the new one
// takes its designator and merged attributes. None when the chosen definition has no map id or
// memory fails; nothing is placed then.
SymbolRecord* PlaceLibSymbolInstance(SheetRecord* sheet, Point position, uint32_t extraFlags,
                                     LibraryItem* item, int32_t nameIndex, int32_t packageIndex,
                                     int32_t symbolIndex, bool useAlternate, const char* sourceName,
                                     int32_t timeStamp, SymbolRecord* replaced, uint32_t options);

// Replaces the symbol by the selection (none: the item cache's); the changed area joins *changed.
// matchPinNames matches pins by their pin-data names rather than their numbers; matchPortLinkIds
// also by their "~PID" values. The new symbol, or none (the old one untouched).
SymbolRecord* ReplaceSymbol(SheetRecord* sheet, SymbolRecord* symbol, const SymbolSelection* selection,
                            bool matchPinNames, bool matchPortLinkIds, uint32_t options, Rect* changed);

// Texts of a symbol. The keep mask: bit 0 the name (kind 18), bit 1 the designators (17, 23),
// bit 2 attribute texts (22), bit 3 pin attribute texts (0xC000 and above).
constexpr uint32_t kKeepNameText = 0x1, kKeepDesignatorText = 0x2, kKeepAttributeText = 0x4,
                   kKeepPinAttributeText = 0x8, kKeepAllTexts = 0xF;
// Removes the symbol's frames and texts; the kept texts come back in a new list (texts pool, owned
// by the caller), the others are freed. None when nothing was kept.
LinkListHeader* DeleteSymbolsText(SheetRecord* sheet, SymbolRecord* symbol, uint32_t keepMask, Rect* changed);
// The new symbol's text that an old text of another symbol stands for, or none.
TextRecord* GetMatchingNewText(SheetRecord* sheet, SymbolRecord* symbol, const TextRecord* oldText);
// Makes the symbol's texts and frames from its definition, placed by its transform and position.
void InstallSymbolsText(SheetRecord* sheet, SymbolRecord* symbol, int32_t section, uint8_t placement,
                        Rect* changed);
// Installs the texts again, keeping every old text in place of its new counterpart.
void ReplaceSymbolsText(SheetRecord* sheet, SymbolRecord* symbol, Rect* changed);

}  // namespace plexa
