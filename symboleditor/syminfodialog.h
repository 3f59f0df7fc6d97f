// The symbol information dialog: one symbol placed on a sheet, edited on copies in tabbed panels
// and applied to the symbol, its component, its texts and the sheet when the dialog ends with OK.
// A component symbol shows Component, Attributes, Pins and Sub-Sheet; a sheet symbol Sheet
// Symbol, Port Pins and Attributes; any other symbol Symbol, Attributes and Sub-Sheet.
//
// The Pins panel lists the section's pins and the hidden pins of the chosen package's pin set; a
// changed pin gives the symbol a component of its own. The Port Pins panel edits a copy of the
// sheet symbol's ports, which replaces them on OK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/types.h"
#include "graphics/colors.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXWindowRecordTag;

constexpr uint16_t kSymbolInfoTemplate = 1005;
// Items of the dialog: 3 the tabs, 4 symbol flag 0x80, 5 the alternate drawing.
constexpr int16_t kSymInfoTabs = 3, kSymInfoBox80 = 4, kSymInfoAlternate = 5;
// Panels and their templates.
constexpr int32_t kPanelComponent = 0, kPanelSymbol = 1, kPanelSheetSymbol = 2, kPanelPins = 3,
                  kPanelPortPins = 4, kPanelAttributes = 5, kPanelSubSheet = 6;
constexpr uint16_t kComponentPanelTemplate = 2010, kSymbolPanelTemplate = 2011, kSubSheetPanelTemplate = 2012,
                   kPortPinsPanelTemplate = 2013, kSheetSymbolPanelTemplate = 2014;
// Items of the panels.
constexpr int16_t kSubSheetName = 10, kSubSheetSelect = 11, kSubSheetBox1000 = 12, kSubSheetBox2000 = 13;
constexpr int16_t kCompDesignator = 20, kCompShowDesignator = 21, kCompNameField = 22, kCompShowName = 23,
                  kCompNamePopup = 24, kCompSlotField = 25, kCompSlotPopup = 26, kCompPackageField = 27,
                  kCompPackagePopup = 28, kCompFootprintField = 29, kCompSourceField = 30;
// A component with more names than the name menu takes (kNameMenuLimit) chooses them from a
// scrolling list that opens under item 31, shown in the place of the name menu 24.
constexpr int16_t kCompNameList = 31;
constexpr int32_t kNameMenuLimit = 32;
constexpr int16_t kSymDesignator = 40, kSymShowDesignator = 41, kSymName = 42, kSymShowName = 43,
                  kSymSourceField = 44, kSymChoiceNone = 45, kSymChoice20000 = 46, kSymChoice10000 = 47;
constexpr int16_t kPortsReread = 60;
constexpr int16_t kSheetSymDesignator = 70, kSheetSymShowDesignator = 71, kSheetSymPrefix = 72,
                  kSheetSymName = 73, kSheetSymShowName = 74, kSheetSymFile = 75, kSheetSymSelect = 76;
constexpr const char* kSubSheetNotFoundMessage = "Could not find a sheet file with that name.";
constexpr const char* kNoSourceText = "None  (Converted)";

// Runs the dialog for the symbol (newSymbol 1 for a sheet symbol just drawn), opened on the text
// clicked (or none), and applies it on OK.
void EditSymbolInformation(SheetRecord* sheet, SymbolRecord* symbol, int32_t newSymbol, TextRecord* text);

// While the dialog runs: the layered view of its panels and the Pins or Port Pins list pane (none
// when not shown).
VXWindowRecordTag* GetSymbolInfoPanels();
VXWindowRecordTag* GetSymbolInfoList();
// The text a drawn field of the Component or Symbol panel shows and its colour ("" when the
// dialog is not running or the item is no drawn field).
std::string GetSymbolInfoField(int16_t item, VXColor* color);

int32_t SymbolInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t SymbolInfoTabPanelHandler(VXWindowRecordTag* window, VXEventRecord* event);

// The sort keys of the Pins panel (1 pin name, 2 signal name, 3 pin type, 4 pin number), most
// significant first, shared by every dialog of the run.
extern int32_t gPinsListSortField[4];
// Makes the field the first key; the others move one place down, the last drops out, and a key
// equal to the chosen field becomes empty. An empty table is first filled as if 2, 1, 3 and 4 had
// been chosen in turn.
void SetPinsListSortField(int32_t field);

// A port of the Port Pins panel's copy: its name, flags (0x01 bus, 0x04 visible, 0x30 type) and
// slot (its index in the symbol's list, -1 for a new one).
struct PortRow {
    std::string name;
    uint16_t flags;
    int32_t slot;
};
// Appends an empty port when the list is empty or its last port has a name: visible for the first
// port, else with the flags of the port before it. Whether one was added.
bool CreatePortEntryIfNeeded(std::vector<PortRow>& ports);

// The dialog opens again on the panel it was last left on; this forgets them (the first panel).
void ForgetSymbolInfoPanels();

}  // namespace plexa
