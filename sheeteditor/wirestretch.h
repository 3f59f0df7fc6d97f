// Stretching the wires attached to items that move. When symbols, break-outs, junctions or
// selected wires move, a wire whose ends both move is translated whole, and a wire with one end
// moving is stretched at that end; with orthogonal rubber-banding on, its legs stay horizontal and
// vertical (a dog-leg at the grid-snapped middle instead of a slanted segment). Wires that were
// attached at both ends and are left dangling with no pin or break-out are removed.
//
// The flags word of a wire carries the marks of a move (kStretch* below); a break-out row's
// kBreakOutMoved flag marks a moving break-out, a symbol's selected bit a moving symbol.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "model/busses.h"
#include "model/signals.h"
#include "model/wires.h"

namespace plexa {

struct SheetRecord;
struct TextRecord;
struct BussSegmentRequest;

// Wire flag marks of a move.
constexpr uint16_t kStretchAffected = 0x0004;
constexpr uint16_t kStretchOneSide = 0x0008;    // the moving end is corner 0
constexpr uint16_t kStretchFirstAnchored = 0x0010;
constexpr uint16_t kStretchLastAnchored = 0x0020;
constexpr uint16_t kStretchWasAttached = 0x0040;
constexpr uint16_t kStretchHadFree = 0x0080;
// MarkMovingWires results.
constexpr int32_t kMarkedWhole = 1, kMarkedOneSide = 2, kMarkedUntouched = 4;

// What the stretching needs of the preferences, installed by the application.
struct WireStretchHooks {
    // Orthogonal rubber-banding is on. Default: off (the moving end simply slants).
    bool (*orthogonalRubberband)() = nullptr;
};
void SetWireStretchHooks(const WireStretchHooks& hooks);
const WireStretchHooks& GetWireStretchHooks();

void MoveSignalWires(SheetRecord* sheet, Point offset, int32_t transform, Rect* area);
void MoveBussWires(SheetRecord* sheet, Point offset, int32_t transform, Rect* area);

// Marks the wires of a signal or buss (kind 1 or 2) for the move; junctions: the junction points
// that move.
int32_t MarkMovingWires(SheetRecord* sheet, void* owner, int32_t kind,
                        const std::vector<Point>& junctions);
// 2: held by a break-out that does not move at the end of a straight wire; 1: held by such a
// break-out otherwise, or by a pin whose symbol does not move; 0: not held.
int32_t IsWireSideAnchored(SheetRecord* sheet, WireHandle wire, int32_t side, void* owner,
                           int32_t kind);
bool IsTerminalPinMoving(SheetRecord* sheet, void* owner, int32_t kind, WireHandle wire,
                         int32_t end);
bool IsBreakOutMoving(SheetRecord* sheet, int32_t row);

// Stretches a one-sided wire at corner 0; the wire is not in its list.
void MoveOneSide(SheetRecord* sheet, void* owner, int32_t kind, WireHandle wire,
                 const std::vector<TextRecord*>& labels,
                 std::vector<BussSegmentRequest>* requests, Point offset, int32_t transform,
                 Rect* area);
// Moves the wire (not in the list) whole, anchored ends kept, and merges it into the list.
void MoveWholeWire(SheetRecord* sheet, WireList list, WireHandle wire, Point offset,
                   int32_t transform, Rect* area);
bool RemoveUndesiredFloats(WireList list);

// Records the label's move for undo, adds its old and new bounds to the area and moves it.
void MoveWireLabel(SheetRecord* sheet, TextRecord* label, int16_t dh, int16_t dv,
                   int32_t transform, Rect* area);
void AccumulateUpdate(const Rect& rect, Rect* area, int16_t grow);

}  // namespace plexa
