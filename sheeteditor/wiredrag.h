// Reshaping a wire of a signal or a buss in place with the select tool: dragging a junction with
// every wire end that meets there, dragging a segment across itself while its neighbours stretch
// (anchoring ends held by pins with a new leg; a 45-degree neighbour moves as it is), pulling a 45-degree chamfer out of a buss corner
// and resizing it, and the modifier clicks that highlight a wire, flash a signal, split a wire
// (with its split markers) or show a segment's label. This module owns the sheet's split-wire
// state (`SheetRecord::splitWireList`).
//
// Every drag runs the platform's mouse tracking in the sheet's window; the point handed in by the
// click and the tracked points are in sheet coordinates. A drag that never passes its threshold
// (2 units for a junction, 3 for a segment or chamfer) changes nothing and drops its undo action.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "model/wires.h"
#include "sheeteditor/dragshared.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// The click handling of the select tool: 1 when the click was taken as a wire click.
int32_t DragClickedWire(SheetRecord* sheet, const VXEventRecord* event);
// A junction drag near a junction end, else a segment drag; whether something changed.
bool DragDispatch(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment, Point pt,
                  const VXEventRecord* event);
bool DragJunction(SheetRecord* sheet, WireList list, Point junction, const VXEventRecord* event);
bool DragWire(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment, Point pt,
              const VXEventRecord* event);

// Fills the record for a drag of the segment: the working wire with its anchors. The wire stays
// in its list.
void BuildDragWire(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment, Point pt,
                   const VXEventRecord* event, bool forJunction, WireDragRecord* record);
void FreeDragRecord(WireDragRecord* record);

// The inner corner nearest pt (within 2 units) between two orthogonal segments at right angles
// and not on a break-out, else -1.
int32_t GetChamferCorner(SheetRecord* sheet, WireHandle wire, Point pt);
// Corners first..last + 1 of the source replaced by the corners of the working wire.
[[nodiscard]] bool ReplaceWirePortion(WireHandle source, WireHandle working, int32_t first,
                                      int32_t last);
// The axis coordinate snapped to the grid, or an anchored end's coordinate when that is nearer.
int32_t SnapRubberbandPoint(const WireDragRecord& record, Point pt);

// ---- Split markers ----

// Splits the wire at the click and marks the split; false when nothing was split.
bool InsertWireSplit(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment,
                     Point pt);
void SetWireSplitMarker(SheetRecord* sheet, Point pt);
void DrawWireSplitMarkers(SheetRecord* sheet);
void InvalWireSplitMarkers(SheetRecord* sheet);
// Removes the markers and joins the split wires again.
void CleanupSplitWireList(SheetRecord* sheet);
// Forgets the split state of a sheet being destroyed, leaving its wires as they are.
void ReleaseWireSplitState(SheetRecord* sheet);
// The wire list that was split, or null.
WireList GetSplitWireList(const SheetRecord* sheet);
int32_t CountWireSplitMarkers(const SheetRecord* sheet);

}  // namespace plexa
