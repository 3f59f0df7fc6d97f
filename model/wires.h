// Wire lists and junctions: the polylines that signals and busses are drawn as.
//
// A `WireList` is an LL list of `WireRecord` handles from `gWiresPool`; the list header's owner
// word holds the owning signal or buss handle, with bit 0 set when the owner is a buss. This
// module owns the wire record and the meaning of its two end words, the direction codes of
// segments, corner editing, splitting, reversing and joining wires, the junction table that finds
// where wire ends meet, the clean-up that removes redundant wires and junctions after an edit,
// the connectivity test, hit tests, label lookup along segments and the drawing of wires.
//
// A wire record is one handle: the 24-byte head below, then `cornerCount` points {v, h}. A wire
// of n corners has n - 1 segments; segment i runs from corner i to corner i + 1. The sheet file
// stores the 16 bytes from `bounds` on and the corners.
//   0 link, 8 bounds {top, left, bottom, right}, 16 end 0 word, 18 end 1 word, 20 flags,
//   22 corner count, 24 corners.
//
// End words (the same for signal and buss wires), by their top two bits:
//   0x0000-0x3FFF  index into the owner's terminal table (signal pin entry or buss terminal)
//   0x4000         junction: meets other wire ends of the same list at the same point
//   0x8000 + n     attached to row n of the sheet's break-out table (signal wires only)
//   0xC000-0xFFFF  free end
//
// Every corner and segment index that a caller passes is checked against the wire: an index
// outside the wire reads nothing and changes nothing (negative indices mean the last corner or
// segment where that is stated).
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ll.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct DAHeader;

struct WireRecord {
    void* link;            // the next wire handle of the list
    Rect bounds;
    uint16_t end0;         // what the first corner is attached to
    uint16_t end1;         // what the last corner is attached to
    uint16_t flags;        // kWireFlag*
    uint16_t cornerCount;
};
static_assert(sizeof(WireRecord) == 24);
constexpr uint32_t kWireHeadSize = 24;
// The stored part of a wire: bounds, the two end words, flags, corner count.
constexpr uint32_t kWireStoredOffset = 8, kWireStoredSize = 16;

using WireHandle = WireRecord**;
using WireList = LinkListHeader*;

// End words.
constexpr uint16_t kWireEndKindMask = 0xC000;
constexpr uint16_t kWireEndIndexMask = 0x3FFF;
constexpr uint16_t kWireEndJunction = 0x4000;
constexpr uint16_t kWireEndBreakOut = 0x8000;
constexpr uint16_t kWireEndFree = 0xC000;
// The free end that deleting terminal 0 leaves behind.
constexpr uint16_t kWireEndFreeZero = 0xFFFF;

constexpr bool IsWireEndTerminal(uint16_t word) { return word < 0x4000; }
constexpr bool IsWireEndJunction(uint16_t word) { return (word & kWireEndKindMask) == 0x4000; }
constexpr bool IsWireEndBreakOut(uint16_t word) { return (word & kWireEndKindMask) == 0x8000; }
constexpr bool IsWireEndFree(uint16_t word) { return word >= 0xC000; }

// Flags.
constexpr uint16_t kWireFlagSelected = 0x0001;
constexpr uint16_t kWireFlagBuss = 0x0002;
constexpr uint16_t kWireFlagMarked = 0x0004;        // traversal mark of the connectivity test
constexpr uint16_t kWireFlagJoinMarks = 0x00C0;     // carried over from an absorbed wire
constexpr uint16_t kWireFlagSavedSelected = 0x0100;

// Direction codes of a segment (`CalcLineOrient`): 0 up, 1 up-right, 2 right, 3 down-right,
// 4 down, 5 down-left, 6 left, 7 up-left (the odd ones exactly 45 degrees), 8 null, and 9, 11,
// 13, 15 slanted but not 45 degrees in the quadrant of 1, 3, 5, 7. Bit 0 marks a slant, bit 2
// the opposite half (code + 4 is the reverse), bit 3 null or not 45 degrees.
constexpr int32_t kOrientNull = 8;
constexpr bool IsOrientSlanted(int32_t code) { return (code & 1) != 0; }
// Orthogonal or exactly 45 degrees.
constexpr bool IsOrientExact(int32_t code) { return code >= 0 && code < 8; }
constexpr bool IsOrientHorizontal(int32_t code) { return code == 2 || code == 6; }
constexpr bool IsOrientVertical(int32_t code) { return code == 0 || code == 4; }

// The pool of wire, signal and buss records, made on first use.
extern MemPool gWiresPool;
OSStatus InitWiresPool();

// Adds a rectangle that is not empty to an update rectangle (when given; an empty one takes it).
void AddToUpdateRect(Rect* rect, const Rect& r);

// ---- Records and lists ----

// kind: 1 signal, 2 buss; with no owner the word stays 0. Null when memory fails.
WireList CreateWireList(void* owner, int32_t kind);
void DestroyWireList(WireList list);
// The owner with bit 0 cleared, and the kind: 0 no owner, 1 signal, 2 buss.
void* GetWireListOwner(WireList list, int32_t* kind);
inline WireHandle FirstWire(WireList list) { return static_cast<WireHandle>(LLFirst(list)); }
inline WireHandle NextWire(WireList list, WireHandle wire) {
    return static_cast<WireHandle>(LLGetNext(list, wire));
}

// A zero-filled wire with both ends free and no corners, pushed at the head of the list when one
// is given; null when memory fails.
WireHandle CreateWire(WireList list);
void DestroyWire(WireHandle wire);
// A copy in the wire pool, not linked; null when memory fails.
WireHandle DuplicateWire(WireHandle wire);

// The corners, valid until the wire is resized.
inline Point* WireCorners(WireHandle wire) {
    return reinterpret_cast<Point*>(reinterpret_cast<char*>(*wire) + kWireHeadSize);
}

// For an end (0 or 1) whose word is a terminal: the owner's terminal entry (a buss terminal when
// the wire has the buss flag, else a signal pin entry) gives the symbol, found in the symbol list
// by its serial number, and the node. Null with node 0xFFFF otherwise.
SymbolRecord* GetWireTerminalPin(WireHandle wire, void* owner, int32_t end,
                                 LinkListHeader* symbolList, uint16_t* node);
// The serial number and node of the terminal entry an end (0 or 1) refers to; false when the end
// is no terminal or its entry is missing.
bool GetWireTerminalEntry(WireHandle wire, void* owner, int32_t end, uint32_t* serial, uint16_t* node);

// ---- Corners and segments ----

// Corner n (negative: the last); its address, or null (point untouched) when there is none.
Point* GetWireCorner(WireHandle wire, int32_t n, Point* pt);
bool SetWireCorner(WireHandle wire, int32_t n, Point pt);
// Before corner n; a negative n or one beyond the count appends. False when memory fails.
[[nodiscard]] bool InsertWireCorner(WireHandle wire, Point pt, int32_t n);
// Removes min(count, corners - first) corners from first; nothing for first outside the wire.
void RemoveWireCorners(WireHandle wire, int32_t first, int32_t count);
int32_t CountWireSegments(WireHandle wire);
// The two corners of segment n (negative: the last); false when there is no such segment.
bool GetWireSegment(WireHandle wire, int32_t n, Point p0p1[2]);
// The direction code of segment n, bit 2 flipped when reversed; 8 when there is no such segment.
int32_t GetWireSegOrient(WireHandle wire, int32_t n, bool reverse);
// Removes segments first..last (last clamped to the final segment): with first < 1 the corners 0
// to last, else the corners first + 1 to last + 1.
void DeleteWireSegments(WireHandle wire, int32_t first, int32_t last);
void OffsetWire(WireHandle wire, int16_t dh, int16_t dv);
// Each point taken relative to the centre, transformed by the code and put back; code 0 offsets
// the points by the centre.
void TransformPointArray(Point* points, int32_t count, Point centre, int32_t code);
void TransformWire(WireHandle wire, Point centre, int32_t code);
void TransformWireList(WireList list, Point centre, int32_t code);

int32_t CalcLineOrient(Point p0, Point p1);
// The nearest orthogonal or 45-degree direction (only orthogonal ones with orthogonalOnly).
int32_t CalcClosestLineOrient(Point p0, Point p1, bool orthogonalOnly);
// Of corners firstCorner and firstCorner + 1, the index of the one nearer to pt (ties to the
// first), with that corner and its distance; -1 when firstCorner is not a segment of the wire.
int32_t GetClosestSegSide(WireHandle wire, int32_t firstCorner, Point pt, Point* corner,
                          uint16_t* distance);
void ReverseWire(WireHandle wire);
// Exactly one segment whose two corners are equal.
bool IsNullLengthWire(WireHandle wire);

// ---- Edits, clean-up and connectivity ----

// Removes null segments and corners between segments of one line; adds what changed to the
// rectangle (when given). True when a corner went.
bool RemoveExtraWireCorners(WireHandle wire, Rect* updateRect);
void CalcWireBounds(WireHandle wire);
// Splits at pt on segment n; the new second half (unlinked) or null when nothing was split.
WireHandle SplitWire(WireHandle wire, int32_t n, Point pt, bool checkJunctions);
// Joins two wires that meet with junction ends at pt. The head keeps the joined wire and is
// returned; the other wire is removed from the list and freed. A wire joined with itself (a closed
// loop) gets two free ends and is reopened at a corner; null is returned then, as when the
// join could not be made: no wire was freed.
WireHandle JoinWires(WireList list, WireHandle a, WireHandle b, Point pt);

// The junction table: where junction ends of one wire list meet. Never stored.
struct JunctionRow {
    Point pt;
    WireHandle first;
    WireHandle second;
    uint16_t index;
    uint8_t dot;  // three or more junction ends meet here
};
using JunctionTable = char**;  // a chunky block of JunctionRow
// Null when memory fails; destroy with DestroyJunctionTable.
JunctionTable CollectWireListJunctions(WireList list);
void CollectJunction(JunctionTable table, WireHandle wire, Point pt);
void DestroyJunctionTable(JunctionTable table);
int32_t CountJunctionRows(JunctionTable table);
JunctionRow* JunctionRows(JunctionTable table);
void UpdateJunctionTable(JunctionRow* rows, int32_t count, WireHandle oldWire,
                         WireHandle newWire);

// The wire that the running clean-up keeps as the caller's reference.
extern WireHandle& gReferenceWire;  // a member of the model's state record
void RemoveExtraWires(WireList list, Rect* rect);
void RemoveExtraJunctions(WireList list, Rect* rect);
// Returns the reference wire, re-pointed when the clean-up merged it into another wire, or null
// when it was removed.
WireHandle CleanupWireList(WireList list, WireHandle referenceWire, Rect* rect);
bool FixSnippedSignal(SheetRecord* sheet, void* signal, Rect* rect);
void FixNullWire(SheetRecord* sheet, WireHandle wire, void* owner, int32_t ownerKind);
// Marks the wires reachable from the start wire (the first when none) and tells whether any
// wire was left unmarked.
bool IsWireListFragmented(WireList list, WireHandle start);
// side 1: from end 0; side 0: from end 1.
void TouchWireSide(WireList list, WireHandle wire, int32_t side);
// Removes and frees the wire through its list owner's removal (which drops its terminals).
void RemoveWireFromOwner(WireList list, WireHandle wire);

// ---- Hit tests ----

// The slop that reaches `pixels` screen pixels either side of a wire at the zoom (percent), in
// sheet units: at least 1, so that a click beside the line hits at every zoom.
int32_t WireHitSlopForZoom(int32_t zoomPercent, int32_t pixels);

// Slop -1 asks for an exact test that also accepts null segments. The segment index or -1.
int32_t HitTestWire(WireHandle wire, Point pt, int32_t slop, Point* hitPt, bool orthogonalOnly);
int32_t HitTestOneWire(WireHandle wire, Point pt, int32_t slop, bool orthogonalOnly,
                       Point* hitPt);
// The first wire hit (slop >= 0) or the last one (slop -1); null with segment -1 when none.
WireHandle HitTestWireList(WireList list, Point pt, int32_t slop, bool orthogonalOnly,
                           int32_t* segment, Point* hitPt);
bool HitTestDiagonalSegment(const Point p0p1[2], int32_t code, int32_t width, Point pt,
                            int32_t slop, Point* hitPt);
// The break-out row hit, or -1 with buss null.
int32_t HitTestBreakOut(DAHeader** table, Point pt, int32_t slop, void** buss);

// ---- Labels ----

// The wire of its owner that a signal or buss label lies on, with the segment; null when none.
WireHandle GetWireFromWireLabel(const TextRecord* label, int32_t* segment);
// Label transfer modes: 0 all, 1 on a marked wire, 2 on no wire, another positive value on the
// given wire, 0x8000 + segment on that segment of the given wire.
constexpr int32_t kTransferAllLabels = 0;
constexpr int32_t kTransferMarkedWireLabels = 1;
constexpr int32_t kTransferLooseLabels = 2;
constexpr int32_t kTransferWireLabels = 3;
constexpr int32_t kTransferSegmentLabels = 0x8000;
// Moves the matching labels to the list to (freed when to is null), adding their bounds to rect.
void TransferWireLabels(void* owner, uint16_t kind, LinkListHeader* from, LinkListHeader* to,
                        WireHandle wire, int32_t mode, Rect* rect);

// Places a label along segment n of the wire (normalised to run right or down): a slanted segment
// puts the anchor at (p0.v - 3, p0.h + 4); a horizontal one centres the label on the segment's
// midpoint (or on pt, snapped to the sheet's grid, when pt is not (-1, -1)) above the wire at
// p0.v + offsets[0], or below at p0.v + offsets[1] (rotation 2) when the label was below before;
// a vertical one right of the wire at p0.h + offsets[2] (rotation 1), or left at
// p0.h + offsets[3] (rotation 3) when it was left before. The placement bits 0-2 are replaced and
// the bounds computed again.
void PositionLabelAlongSegment(SheetRecord* sheet, WireHandle wire, int32_t n, Point pt,
                               TextRecord* label, const int32_t offsets[4]);
// pt snapped to the sheet's grid when its snap is on.
Point SnapToSheetGrid(const SheetRecord* sheet, Point pt);

// ---- What signals and busses share ----

// Both records begin with these two fields.
struct NetRecordHead {
    void* link;
    WireList wires;
};
// A zero-filled record of headSize bytes from the wire pool, owning a new wire list of the kind
// (1 signal, 2 buss); null when memory fails.
Handle CreateNetRecord(uint32_t headSize, int32_t kind);
// Gives a label (or a net symbol's name text) a new string and measures it again when the string
// differs. quiet: the text is hidden while it changes (and shown as it was after); else its old
// and new areas go into rect unless it is hidden.
void ReplaceLabelText(SheetRecord* sheet, TextRecord* text, const char* string, bool quiet,
                      Rect* rect);
// The name spec of a signal or buss name: stored with overlay; 0 for no name.
StringSpec StoreNetName(StringBlock block, const char* name);
// After terminal n of the owner was deleted: end words of later terminals move down by one, those
// of n become free (0xFFFF for terminal 0, else 0xC000).
void RenumberWireTerminals(WireList list, int32_t n);
// The first wire with an end word equal to the terminal index, or null.
WireHandle FirstWireAtTerminal(WireList list, int32_t index);
// The union of the wires' bounds (the empty rectangle for none).
void CalcWireListBounds(WireList list, Rect* bounds);
// Appends copies of the wires of from to to, in order; false when memory fails.
[[nodiscard]] bool CopyWireList(WireList from, WireList to);
// The rectangle in which a label of an orthogonal segment is looked for: the segment's shrunk by
// 1 along it and grown by 3 across it; false for a slanted, null or missing segment.
bool SegmentLabelRect(WireHandle wire, int32_t segment, Rect* r);
// Over a list of signals or busses: the one selected wire when exactly one is selected (and its
// owner), else null; clearing every selection, adding the changed areas to rect.
WireHandle FindOnlySelectedWire(const std::vector<void*>& owners, void** owner);
void ClearOwnersHilite(const std::vector<void*>& owners, Rect* rect);

// ---- Highlight ----

void RecordWireListHilites(WireList list);
void RestoreWireListHilites(WireList list);
void SetWireListHilite(WireList list, int32_t unused, bool on, Rect* rect);
WireHandle GetHiliteWire(WireList list);

// ---- Drawing (in the current window) ----

// Returns the corner shift: -1 for a buss wire, else 0.
int32_t PrepDrawSegs(uint16_t flags, int32_t mode);
void DrawWire(WireHandle wire, DAHeader** breakOutTable, int32_t mode);
void DrawWireList(WireList list, DAHeader** breakOutTable, bool colourPerWire);

}  // namespace plexa
