// Dragging buss ends, buss pieces and break-outs, and keeping break-outs on their buss when buss
// wires are split or moved. A break-out row holds a point on the buss and an elbow 9 units away
// diagonally where the signal wire ends; flipping it moves the elbow to the other side of the buss
// or slants the stub the other way.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "model/busses.h"
#include "model/signals.h"
#include "model/wires.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;
struct WireDragRecord;

// Break-out row flag: the break-out moves in the current operation.
constexpr uint16_t kBreakOutMoved = 0x0001;
// The distance from a break-out's buss point to its elbow, in h and in v.
constexpr int16_t kBreakOutStub = 9;
// Modes of ConstrainBussLineEnd.
constexpr int32_t kBussEndVertical = 0;
constexpr int32_t kBussEndHorizontal = 1;
constexpr int32_t kBussEndAnyDirection = 2;

// A buss segment that a move asks to be added: from the old to the new buss point of a break-out.
struct BussSegmentRequest {
    BussHandle buss;
    Point from, to;
};

// Drags an end handle of the selected buss line (end 0 its first corner, 1 its last).
void DragBussWireEnd(SheetRecord* sheet, int32_t end, const VXEventRecord* event);
// 0 when no break-out lies within 2 units of the click, else 1 (after flipping it as dragged).
int32_t DragBussBreakOut(SheetRecord* sheet, const VXEventRecord* event);
// Translates a free buss piece; whether it moved, with the offset.
bool DragBussLine(const VXEventRecord* event, WireDragRecord* record, int32_t segment,
                  Point* offset);

// p held to vertical (mode 0), horizontal (1), or the nearest of 8 directions (2) about other.
Point ConstrainBussLineEnd(int32_t mode, Point other, Point p);
// The first segment has a length and is not diagonal.
bool IsValidBreakoutSegment(WireHandle wire);
// The lowest and highest coordinate along an orthogonal segment of the buss's break-outs on it
// (low > high: none); returns the segment's direction code.
int32_t CalcSegBreakOutRange(SheetRecord* sheet, BussHandle buss, const Point segment[2],
                             Point exceptPoint, int32_t* low, int32_t* high);
int32_t CalcBreakOutRange(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                          int32_t segmentIndex, Point exceptPoint, int32_t* low, int32_t* high);
// The buss's break-out whose buss point is pt, else -1.
int32_t BreakOutFromPoint(BreakOutTable table, BussHandle buss, Point pt);
// A new buss wire of the two points (null when memory fails).
WireHandle BuildBreakOutBussSegment(Point a, Point b);

// Splits segment n of the buss wire beside its break-outs so that the part toward the moving side
// (direction +1: toward corner 0; -1: toward the last corner) carries none. The caller keeps the
// moving part in `wire`; the other part is linked after it in the buss's list. Whether it split.
bool SplitSegmentAtBreakOut(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                            int32_t segmentIndex, int32_t direction, int32_t limit, bool flag,
                            WireHandle* newWire);
// The split point on segment n, or (-1, -1).
Point CalcBreakoutSplitPt(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                          int32_t segmentIndex, int32_t direction, bool flag);
// Splits the buss wires meeting at pt beside the break-outs nearest to it; whether any split.
bool SplitBussLineAtBreakouts(SheetRecord* sheet, BussHandle buss, WireHandle wire, Point pt,
                              int32_t segmentIndex, int32_t* segmentOut);

// ---- Moving break-outs ----

void ClearBreakOutMovedFlags(SheetRecord* sheet);
// Marks the buss's break-outs lying on the wires of the list (every one of the buss without a
// list) as moving.
void MarkMovingBreakOuts(SheetRecord* sheet, BussHandle buss, WireList list);
void MarkBreakOutsOnWire(SheetRecord* sheet, BussHandle buss, WireHandle wire);
// Every break-out of the buss inside the segment moves with it; whether any moved.
bool MoveSegmentBreakouts(SheetRecord* sheet, BussHandle buss, const Point segment[2],
                          Point offset, Rect* area);
// The break-out at an end of a moved signal wire follows it: merged into a junction when it lands
// on another break-out of the same signal and buss, else moved with a buss segment from its old to
// its new buss point (handed to `requests` when given, else added to the buss at once).
void MoveWiresBreakOut(SheetRecord* sheet, SignalHandle signal, WireHandle wire,
                       WireHandle sourceWire, int32_t end,
                       std::vector<BussSegmentRequest>* requests, Point offset, Rect* area);
void MoveMarkedBreakOuts(SheetRecord* sheet, Point offset, int32_t transform, Rect* area);
void MoveOneBreakOut(SheetRecord* sheet, int32_t row, Point offset, int32_t transform, Rect* area);
// The break-out row is where a wire of the signal ends.
bool IsBreakoutForSignal(SheetRecord* sheet, int32_t row, SignalHandle signal);
// An undo copy of the buss for the change about to be made (once per action).
void CollectUndoAltBuss(SheetRecord* sheet, BussHandle buss);
void ClearBussUndoFlags(SheetRecord* sheet);
// Adds a buss segment to the buss's wires (an undo copy of the buss first when none was made).
void AddBussSegment(SheetRecord* sheet, BussHandle buss, Point from, Point to, Rect* area);

}  // namespace plexa
