// The wire or bus that a sheet window is drawing and the pointer's tracking there: the data
// that the window's edit state holds (sheeteditor/editstate.h). What moves it is in
// sheeteditor/wiretracking.h.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/wires.h"

namespace plexa {

struct LinkListHeader;
struct SheetRecord;

// Terminal kinds, also the bits of a hit mask.
constexpr uint16_t kTermNone = 0;
constexpr uint16_t kTermSignalPin = 1;
constexpr uint16_t kTermBussPin = 2;
constexpr uint16_t kTermSignalWire = 4;
constexpr uint16_t kTermBussWire = 16;
constexpr uint16_t kTermBreakOut = 32;

// Flags of the wire under construction.
constexpr uint16_t kWireFlagCreating = 0x0001;

struct TrackTerminal {
    uint16_t kind = 0;
    Point point{};
    void* object = nullptr;        // the signal, buss or placed symbol that was hit
    uint16_t node = 0;             // pins
    uint16_t pinDirection = 0;     // pins: 1 when a wire from the pin starts vertically
    uint8_t netSymbol = 0;         // pins: the symbol was placed by this very click
    WireHandle wire = nullptr;     // wires: the wire hit
    int16_t segment = 0;
    uint8_t direction = 0;         // bus: the segment's direction; signal: 1 = first leg vertical
    uint8_t junction = 0;          // connecting here makes a new junction dot
};

struct MouseTrackRecord {
    TrackTerminal terminal;
    Point path[4]{};               // 0: the last corner of the wire; 1..legs: what a click adds
    int16_t legs = 0;
    uint16_t hitMask = 0;
    uint8_t visible = 0;
};

// The wire or bus in progress in one sheet window, and the pointer's tracking there.
struct WireInProgress {
    MouseTrackRecord current;    // what the overlay shows
    MouseTrackRecord atClick;    // its copy taken at the last mouse-down
    TrackTerminal start;         // where the wire under construction starts
    WireHandle wire = nullptr;   // the wire under construction, owned; none when none is drawn
    uint16_t pathOption = 0;     // 0 horizontal first, 1 vertical first
    Point lastMouse{-1, -1};     // (-1, -1) when cleared
    Rect overlayArea{};          // where the overlay drew the current state, in sheet units
};

// What the tracking needs of the application shell.
struct WireTrackingHooks {
    // The preference that marks the terminal under the pointer.
    bool (*showTerminalMark)() = nullptr;
    // The connection click.
    void (*connectSound)() = nullptr;
    // The preference that a new signal's name is offered for editing.
    bool (*askNewSignalName)() = nullptr;
};
void SetWireTrackingHooks(const WireTrackingHooks& hooks);
const WireTrackingHooks& GetWireTrackingHooks();

// Whether the item is a link of the list.
bool IsInSheetList(LinkListHeader* list, const void* item);
// Whether the wire is in the list and the segment (negative: any) is one of its.
bool IsWireInList(WireList list, WireHandle wire, int16_t segment);
// Whether a terminal's signal, buss, wire or symbol is still on the sheet.
bool IsTrackTerminalOnSheet(SheetRecord* sheet, const TrackTerminal& terminal);

}  // namespace plexa
