// What the wire drags, the buss drags and the stretching of attached wires share: the record of
// one segment drag with its owner kinds, the drags' cursor ids, and helpers that take a signal's
// or buss's labels off the sheet, pin tracked points to the sheet, redraw a part of it and clean
// an owner's wires after an edit.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "model/wires.h"

namespace plexa {

struct SheetRecord;
struct TextRecord;

// Cursor ids of the drags.
constexpr int32_t kCursorJunctionDrag = 1004;
constexpr int32_t kCursorSegmentMovesH = 1005;
constexpr int32_t kCursorSegmentMovesV = 1006;
constexpr int32_t kCursorChamferDrag = 1007;  // + bit 0 of the chamfer code

// Owner kinds of a drag record.
constexpr int32_t kWireOwnerSignal = 1;
constexpr int32_t kWireOwnerBuss = 2;
constexpr uint8_t kChamferDrag = 0x80;

// One drag of a wire segment.
struct WireDragRecord {
    WireHandle work = nullptr;    // the reshaped part of the source wire
    WireHandle source = nullptr;
    SheetRecord* sheet = nullptr;
    void* owner = nullptr;
    int32_t kind = 0;             // kWireOwner*
    Point click{};
    Point segment[2]{};
    int32_t first = 0, last = 0;  // the source corners the working wire replaces (segments)
    bool endMoves[2]{};           // no anchor was added: that end moves with the segment
    bool breakOutMoves[2]{};      // the break-out at that end travels with the wire
    bool orthogonalised = false;
    uint8_t chamfer = 0;
    int32_t direction = 0;
    int32_t axis = 0;             // 0: the segment moves in v; 1: in h
    bool split = false;           // the wire was split at break-outs while building
};

// The direction a wire leaves the pin at its end (toward the pin at the last end), or 8 when
// the end is no pin or the pin has no direction.
int32_t GetTerminalPinOrient(SheetRecord* sheet, void* owner, WireHandle wire, int32_t end);
// One horizontal or vertical segment.
bool IsStraightWire(WireHandle wire);

// The labels of the owner lying on the wire (every label of the owner without a wire; the wire
// still in its list), taken out of the sheet's text list; their bounds go into the area.
std::vector<TextRecord*> TakeWireLabels(SheetRecord* sheet, void* owner, int32_t kind,
                                        WireHandle wire, Rect* area);
void PutWireLabelsBack(SheetRecord* sheet, const std::vector<TextRecord*>& labels);
// The tracked pad point pinned to the sheet's bounds and snapped to its grid.
Point PinSheetPoint(SheetRecord* sheet, Point pt, bool snap);
// Redraws the area (grown by `grow`) of the sheet's window.
void InvalSheetArea(SheetRecord* sheet, const Rect& area, int16_t grow);
// Cleans a signal's or buss's wire list after an edit and recomputes its bounds.
void CleanupOwnerWires(void* owner, int32_t kind);

}  // namespace plexa
