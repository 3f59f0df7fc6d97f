// Wire integration and segment merging. A new or moved wire is never simply linked into a wire
// list: its segments are cut against the segments already there so that no stretch of wire lies
// twice, the rest is rebuilt into fresh wires with junction ends, every wire end that lands on
// another wire splits that wire (making T-junctions three-ended), and each end that was attached
// to a pin or a break-out is reattached through a zero-length stub. The owner's clean-up then
// joins what can be joined. The segment machinery also merges overlapping segments of a set.
//
// Segments live in chunky blocks of 12-byte `WireSegment`s kept normalised: horizontal segments
// run left to right (direction 2), vertical ones top to bottom (4), 45-degree ones left to right
// (1 rising, 3 falling), other slants left to right (9, 11). Direction -1 marks a segment deleted
// while merging.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "model/wires.h"

namespace plexa {

struct SheetRecord;

struct WireSegment {
    Point p0;
    Point p1;
    int16_t direction;  // normalised direction code; kSegmentDeleted when deleted
    int16_t unused;
};
static_assert(sizeof(WireSegment) == 12);
constexpr int16_t kSegmentDeleted = -1;

using WireSegmentsBlock = char**;  // a chunky block of WireSegment

// IntegrateWire options.
constexpr int32_t kIntegrateRecalcBounds = 0x1;
constexpr int32_t kIntegrateSpliceListEnds = 0x2;

WireSegmentsBlock CreateWireSegmentsBlock(int32_t growBy);
void DestroyWireSegmentsBlock(WireSegmentsBlock block);
int32_t CountWireSegmentsBlock(WireSegmentsBlock block);
// Segment i, valid until the block grows or shrinks; null outside the block.
WireSegment* WireSegmentAt(WireSegmentsBlock block, int32_t i);
// Appends the segment normalised; false when memory fails.
[[nodiscard]] bool AddWireSegmentsBlockSegment(WireSegmentsBlock block, Point p0, Point p1);
// Appends the wire's non-null segments whose rectangles meet the clip rectangle (when given);
// the bounds (when asked for) become the union of the rectangles taken.
void CollectWireSegments(WireHandle wire, WireSegmentsBlock block, const Rect* clipRect,
                         Rect* bounds);
// The segments of every wire of the list whose bounds meet rect, clipped to rect; null when
// memory fails.
WireSegmentsBlock CollectWireListSegments(WireList list, const Rect* rect);

// Merges overlapping and touching segments of one line.
void MinimizeSegmentList(WireSegmentsBlock block);
// Both with the same direction: true with the span of both when they overlap or touch.
bool SegMerge(const WireSegment& a, const WireSegment& b, WireSegment* merged);
// What remains of a after taking away b: the pieces' count (up to two), 0 when they do not
// overlap, -1 when a lies inside b.
int32_t SegDifference(const WireSegment& a, const WireSegment& b, WireSegment pieces[2]);
int32_t GetDiffPortions(const WireSegment& a, const WireSegment& b, WireSegment pieces[2],
                        bool alongH);
// whichEnd 1: recomputes p1.v from p0 and the h span; 0: p0.v from p1.
void Fix45Span(WireSegment* segment, int32_t whichEnd);
bool AreColinear45s(const WireSegment& a, const WireSegment& b);

// A new owner-less wire list built from the block, which it empties; null when memory fails.
WireList SegmentsToWires(WireSegmentsBlock block, uint16_t flags);
// mode 0: a segment with an end at pt (taken reversed when found by its p1); 1: the first
// segment that is not a non-45 slant; 2: the first segment. The segment is removed from the
// block. False when none is found.
bool RetrieveSegment(WireSegmentsBlock block, Point pt, int32_t mode, WireSegment* segment);

// Integrates a wire that is not in the list; the wire is consumed (linked into the list or
// freed). Changed areas are added to rect (when given).
void IntegrateWire(WireHandle wire, WireList list, int32_t options, SheetRecord* sheet,
                   Rect* rect);
void ClearSegmentOverlaps(WireList list, WireSegmentsBlock newSegments, const Rect* bounds,
                          Rect* rect);
void SpliceWireListAtCorners(WireList list, WireHandle wire);
void SpliceWireLists(WireList newList, WireList list);
void SplitClosedLoopWire(WireList newList, WireHandle wire, WireHandle firstListWire);
void SpliceWireListAtWireEnds(WireList list, WireHandle wire);
void InstallTerminalReference(WireList list, Point pt, uint16_t endWord, uint16_t flags);

}  // namespace plexa
