// Dragging wires, junctions and chamfers in place; see wiredrag.h.
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/wiredrag.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

#include "files/sheetstore.h"
#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/regions.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wireintegrate.h"
#include "sheeteditor/bussdrag.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/signaldialogs.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/wirestretch.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int32_t kJunctionThreshold = 2;
constexpr int32_t kSegmentThreshold = 3;
constexpr int32_t kJunctionCornerDistance = 3;
constexpr int32_t kChamferCornerDistance = 2;
constexpr int16_t kSplitMarkerHalf = 6;
constexpr int16_t kSplitMarkerColour = 7;
constexpr int32_t kModifiedWireDrag = 72;
constexpr int32_t kModifiedLabel = 40;

// The split state of a sheet.
struct SplitState {
    WireList list = nullptr;
    std::vector<Point> markers;
};

SplitState* GetSplitState(const SheetRecord* sheet) {
    return static_cast<SplitState*>(sheet->splitWireList);
}

Point PointOf(const _LPNT& p) { return Point{int16_t(p.v), int16_t(p.h)}; }

bool SamePt(Point a, Point b) { return a.h == b.h && a.v == b.v; }

int32_t AxisOf(Point p, int32_t axis) { return axis ? p.h : p.v; }
void SetAxis(Point* p, int32_t axis, int32_t value) {
    if (axis) p->h = int16_t(value); else p->v = int16_t(value);
}

bool RightOrCommand(const VXEventRecord* event) {
    return event && (event->u.mouse.button != 0 || (event->u.mouse.modifiers & kVXModCommand));
}

// The wires of a list in order, to put them back exactly.
std::vector<WireHandle> ListOrder(WireList list) {
    std::vector<WireHandle> order;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) order.push_back(w);
    return order;
}
void RestoreListOrder(WireList list, const std::vector<WireHandle>& order) {
    LLRemoveOrFreeAll(list, false);
    for (WireHandle w : order) LLAppend(list, w);
}
void TakeWireOut(WireList list, WireHandle wire) { LLRemoveOrFree(list, wire, nullptr, false); }

// Tracks a drag of the button that went down: nothing until the mouse has moved past the
// threshold, then the step for each point until the button goes up. False when the drag never
// began.
bool TrackSheetDrag(SheetRecord* sheet, const VXEventRecord* event, int32_t threshold,
                    const std::function<void(Point)>& step) {
    VXWindowRecordTag* window = sheet->window;
    if (!window) return false;
    const int32_t id = window->windowID;
    const int32_t mode = event && event->u.mouse.button == 1 ? kVXTrackRight : kVXTrackLeft;
    _LPNT pt{};
    int16_t pane = 0;
    if (!VXWaitDragBegin(window, mode, threshold, threshold, &pt, &pane, -1)) return false;
    for (bool going = true; going;) {
        step(PointOf(pt));
        if (!VXGetWindowFromId(id)) return true;
        going = VXWaitDragEnd(window, mode, true, &pt);
    }
    return true;
}

// What the overlay of a drag draws: whole wires, and source wires with a portion replaced.
struct DragOverlay {
    SheetRecord* sheet = nullptr;
    std::vector<WireHandle> whole;
    struct Partial {
        WireHandle source, work;
        int32_t first, last;
    };
    std::vector<Partial> partial;
};

void DrawTempModifiedWire(WireHandle source, WireHandle work, int32_t first, int32_t last,
                          BreakOutTable table) {
    WireHandle copy = DuplicateWire(source);
    if (!copy) return;
    if (ReplaceWirePortion(copy, work, first, last)) DrawWire(copy, table, 0);
    DestroyWire(copy);
}

void DrawDragOverlay(VXWindowRecordTag*, void* data) {
    const auto* overlay = static_cast<DragOverlay*>(data);
    BreakOutTable table = overlay->sheet->breakOutTable;
    for (WireHandle w : overlay->whole) DrawWire(w, table, 0);
    for (const auto& p : overlay->partial) DrawTempModifiedWire(p.source, p.work, p.first, p.last, table);
}

class OverlayScope {
public:
    OverlayScope(SheetRecord* sheet, DragOverlay* overlay) : window_(sheet->window) {
        if (window_) VXBeginOverlayForPanes(window_, kVXOverlayMainPane, DrawDragOverlay, overlay);
    }
    ~OverlayScope() {
        if (window_ && VXGetWindowFromId(id())) VXEndOverlay(window_);
    }
    void Update() {
        if (window_ && VXGetWindowFromId(id())) VXUpdateOverlay(window_);
    }
    OverlayScope(const OverlayScope&) = delete;
    OverlayScope& operator=(const OverlayScope&) = delete;

private:
    int32_t id() const { return window_->windowID; }
    VXWindowRecordTag* window_;
};

void AddWireArea(WireHandle wire, Rect* area) {
    if (!wire) return;
    CalcWireBounds(wire);
    AddToUpdateRect(area, (*wire)->bounds);
}

// Adds the break-out's bus point as the end corner of the working wire when that break-out can
// travel with the dragged segment.
bool ShouldDragBreakoutWithWire(WireDragRecord* record, int32_t end) {
    const uint16_t word = end ? (*record->source)->end1 : (*record->source)->end0;
    if (!IsWireEndBreakOut(word) || !IsOrientExact(record->direction) ||
        IsOrientSlanted(record->direction))
        return false;
    const int32_t row = word & kWireEndIndexMask;
    BreakOutRow r{};
    if (!GetBreakOutRow(record->sheet->breakOutTable, row, &r)) return false;
    // The buss segment under the break-out must lie across the dragged one.
    const int32_t busHorizontal = record->axis ? 0 : 1;
    int32_t busSegment = -1;
    if (!GetBussLineSegWithBreakOut(record->sheet->breakOutTable, row, busHorizontal, false,
                                    &busSegment))
        return false;
    if (!InsertWireCorner(record->work, r.first, end ? -1 : 0)) return false;
    record->breakOutMoves[end] = true;
    return true;
}

// A doubled corner of a buss wire becomes a chamfer of no length between its two arms.
void InsertChamfer(WireDragRecord* record, int32_t corner) {
    WireHandle wire = record->source;
    const Point c = WireCorners(wire)[corner];
    if (!InsertWireCorner(wire, c, corner)) return;
    const int32_t d1 = GetWireSegOrient(wire, corner - 1, false);
    const int32_t d2 = GetWireSegOrient(wire, corner + 1, false);
    record->direction = (d2 - d1 == 6) ? 7 : (d1 + d2) / 2;
    record->chamfer = uint8_t(kChamferDrag | ((record->direction & 2) ? 1 : 0) |
                              ((d2 & 2) ? 2 : 0));
    record->segment[0] = record->segment[1] = c;
}

// The working wire as the chamfer's arms and diagonal: source corners s - 1 .. s + 2.
bool SetupChamferWork(WireDragRecord* record, int32_t diagonal) {
    const int32_t segments = CountWireSegments(record->source);
    if (diagonal < 1 || diagonal > segments - 2) return false;
    WireHandle work = DuplicateWire(record->source);
    if (!work) return false;
    RemoveWireCorners(work, diagonal + 3, 0xFFFF);
    RemoveWireCorners(work, 0, diagonal - 1);
    (*work)->end0 = (*work)->end1 = kWireEndJunction;
    record->work = work;
    record->first = diagonal - 1;
    record->last = diagonal + 1;
    return true;
}

bool IsOrthogonalOrient(int32_t d) { return IsOrientHorizontal(d) || IsOrientVertical(d); }

// The dragged segment has a 45-degree neighbour (`diagonal`) with a segment `beyond` it, so that
// the diagonal moves as it is. When the segment beyond runs across the dragged one it stretches:
// the working wire takes it and ends past it (true). Otherwise the working wire ends at the
// diagonal, whose far corner the caller adds again as the anchor that a new leg joins (false).
bool DiagonalAdjacent(WireDragRecord* record, int32_t diagonal, int32_t beyond) {
    const int32_t d = record->direction;
    const int32_t b = GetWireSegOrient(record->source, beyond, false);
    const bool across = IsOrthogonalOrient(d) && IsOrthogonalOrient(b) && (b & 2) != (d & 2);
    const int32_t reach = across ? beyond : diagonal;
    if (beyond > diagonal) record->last = reach;
    else record->first = reach;
    return across;
}

}  // namespace

bool ReplaceWirePortion(WireHandle source, WireHandle working, int32_t first, int32_t last) {
    const int32_t count = (*working)->cornerCount;
    const int32_t removed = last - first + 2;
    if (first < 0 || first + removed > (*source)->cornerCount) return false;
    std::vector<Point> corners(WireCorners(working), WireCorners(working) + count);
    RemoveWireCorners(source, first, removed);
    for (int32_t i = 0; i < count; ++i)
        if (!InsertWireCorner(source, corners[size_t(i)], first + i)) return false;
    return true;
}

int32_t GetChamferCorner(SheetRecord* sheet, WireHandle wire, Point pt) {
    const int32_t segments = CountWireSegments(wire);
    int32_t best = -1;
    int32_t bestDistance = kChamferCornerDistance + 1;
    for (int32_t i = 1; i < segments; ++i) {
        const Point c = WireCorners(wire)[i];
        const int32_t distance = std::max(std::abs(c.h - pt.h), std::abs(c.v - pt.v));
        if (distance > kChamferCornerDistance || distance >= bestDistance) continue;
        const int32_t d1 = GetWireSegOrient(wire, i - 1, false);
        const int32_t d2 = GetWireSegOrient(wire, i, false);
        if (!IsOrthogonalOrient(d1) || !IsOrthogonalOrient(d2) || (d1 & 2) == (d2 & 2)) continue;
        bool onBreakOut = false;
        ForEachBreakOutRow(sheet->breakOutTable, [&](int32_t, const BreakOutRow& row) {
            onBreakOut |= SamePt(row.first, c);
        });
        if (onBreakOut) continue;
        best = i;
        bestDistance = distance;
    }
    return best;
}

// ---- Building a drag ----

void FreeDragRecord(WireDragRecord* record) {
    if (record->work && record->work != record->source) DestroyWire(record->work);
    record->work = nullptr;
}

void BuildDragWire(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment, Point pt,
                   const VXEventRecord* event, bool forJunction, WireDragRecord* record) {
    *record = WireDragRecord{};
    record->sheet = sheet;
    record->owner = GetWireListOwner(list, &record->kind);
    record->source = wire;
    record->click = pt;
    Point ab[2];
    if (!GetWireSegment(wire, segment, ab)) return;
    record->segment[0] = ab[0];
    record->segment[1] = ab[1];
    record->direction = GetWireSegOrient(wire, segment, false);
    record->axis = std::abs(ab[0].h - ab[1].h) < std::abs(ab[0].v - ab[1].v) ? 1 : 0;
    const bool buss = record->kind == kWireOwnerBuss;
    const int32_t d = record->direction;
    const bool slanted = IsOrientSlanted(d) || (d > 8);
    const bool exact45 = IsOrientExact(d) && IsOrientSlanted(d);
    bool orthogonalise = (slanted && !exact45) || (exact45 && (!buss || RightOrCommand(event)));

    if (buss && IsOrthogonalOrient(d) && !RightOrCommand(event) && !forJunction) {
        int32_t corner = GetChamferCorner(sheet, wire, pt);
        if (corner >= 0) {
            // Break-outs on the two arms stay on pieces of their own, so that the chamfer never
            // takes the buss from under them.
            auto buss = static_cast<BussHandle>(record->owner);
            const Point c = WireCorners(wire)[corner];
            WireHandle piece = nullptr;
            record->split |= SplitSegmentAtBreakOut(sheet, buss, wire, corner, 1, 0, false, &piece);
            if (SplitSegmentAtBreakOut(sheet, buss, wire, corner - 1, -1, 0, false, &piece)) {
                record->split = true;
                for (corner = 0; corner < (*wire)->cornerCount && !SamePt(WireCorners(wire)[corner], c);)
                    ++corner;
            }
            InsertChamfer(record, corner);
            if (SetupChamferWork(record, corner)) CalcWireBounds(record->work);
            return;
        }
    }
    // A 45-degree buss segment: between two orthogonal neighbours at right angles with the
    // diagonal between them it is a chamfer and changes its size; between parallel or opposite
    // neighbours (or beside one) it moves as it is, along their axis; else it is made orthogonal.
    if (buss && exact45 && !orthogonalise) {
        int32_t p = GetWireSegOrient(wire, segment - 1, false);
        int32_t n = GetWireSegOrient(wire, segment + 1, false);
        // At a pin end the pin's own direction stands for the missing neighbour.
        if (segment == 0 && IsWireEndTerminal((*wire)->end0))
            p = GetTerminalPinOrient(sheet, record->owner, wire, 0);
        if (segment == CountWireSegments(wire) - 1 && IsWireEndTerminal((*wire)->end1))
            n = GetTerminalPinOrient(sheet, record->owner, wire, 1);
        if (!IsOrthogonalOrient(p)) p = kOrientNull;
        if (!IsOrthogonalOrient(n)) n = kOrientNull;
        const int32_t spread = std::abs(n - p);
        const bool between = (spread == 6 && d == 7) ||
                             (spread == 2 && std::abs(d - p) == 1 && std::abs(d - n) == 1);
        if (p != kOrientNull && n != kOrientNull && (p & 2) != (n & 2)) {
            if (between && SetupChamferWork(record, segment)) {
                record->chamfer = uint8_t(kChamferDrag | ((d & 2) ? 1 : 0) | ((n & 2) ? 2 : 0));
                CalcWireBounds(record->work);
                return;
            }
            // A chamfer with no arm on one side (a pin end) moves as it is.
            orthogonalise = !between;
        } else if (p != kOrientNull || n != kOrientNull) {
            record->axis = IsOrientHorizontal(p != kOrientNull ? p : n) ? 1 : 0;
        }
    }

    WireHandle work = DuplicateWire(wire);
    if (!work) return;
    record->work = work;
    record->first = record->last = segment;
    if (orthogonalise) {
        RemoveWireCorners(work, 0, 0xFFFF);
        (void)InsertWireCorner(work, ab[0], -1);  // a wire of four corners fits its block
        (void)InsertWireCorner(work, ab[0], -1);  // fails only out of memory
        (void)InsertWireCorner(work, ab[1], -1);  // fails only out of memory
        (void)InsertWireCorner(work, ab[1], -1);  // fails only out of memory
        record->orthogonalised = true;
        CalcWireBounds(work);
        return;
    }
    const int32_t segments = CountWireSegments(wire);
    auto diagonal = [&](int32_t s) {
        const int32_t o = GetWireSegOrient(wire, s, false);
        return IsOrientExact(o) && IsOrientSlanted(o);
    };
    // The last side.
    bool anchorLast = false;
    if (segment == segments - 1) {
        if (!IsWireEndFree((*wire)->end1)) anchorLast = true;
        else record->endMoves[1] = true;
    } else if (!diagonal(segment + 1)) {
        record->last = segment + 1;
    } else if (segment + 1 == segments - 1) {
        // A 45-degree segment ending the wire moves as it is, joined by a new leg to a held end.
        record->last = segment + 1;
        if (!IsWireEndFree((*wire)->end1)) anchorLast = true;
        else record->endMoves[1] = true;
    } else {
        anchorLast = !DiagonalAdjacent(record, segment + 1, segment + 2);
    }
    // The first side.
    bool anchorFirst = false;
    if (segment == 0) {
        if (!IsWireEndFree((*wire)->end0)) anchorFirst = true;
        else record->endMoves[0] = true;
    } else if (!diagonal(segment - 1)) {
        record->first = segment - 1;
    } else if (segment - 1 == 0) {
        record->first = 0;
        if (!IsWireEndFree((*wire)->end0)) anchorFirst = true;
        else record->endMoves[0] = true;
    } else {
        anchorFirst = !DiagonalAdjacent(record, segment - 1, segment - 2);
    }
    RemoveWireCorners(work, record->last + 2, 0xFFFF);
    RemoveWireCorners(work, 0, record->first);
    // A break-out at an end of the dragged segment travels with the wire.
    if (anchorLast && segment == segments - 1 && record->kind == kWireOwnerSignal && !forJunction &&
        ShouldDragBreakoutWithWire(record, 1))
        anchorLast = false;
    if (anchorFirst && segment == 0 && record->kind == kWireOwnerSignal && !forJunction &&
        ShouldDragBreakoutWithWire(record, 0))
        anchorFirst = false;
    if (anchorLast) (void)InsertWireCorner(work, WireCorners(work)[(*work)->cornerCount - 1], -1);  // fails only out of memory
    if (anchorFirst) (void)InsertWireCorner(work, WireCorners(work)[0], 0);  // fails only out of memory
    CalcWireBounds(work);
}

int32_t SnapRubberbandPoint(const WireDragRecord& record, Point pt) {
    const int32_t axis = record.axis;
    const int32_t raw = AxisOf(pt, axis);
    int32_t value = AxisOf(SnapToSheetGrid(record.sheet, pt), axis);
    if (!record.work) return value;
    const int32_t count = (*record.work)->cornerCount;
    for (int32_t end = 0; end < 2; ++end) {
        if (record.endMoves[end] || record.orthogonalised) continue;
        const Point c = WireCorners(record.work)[end ? count - 1 : 0];
        const int32_t anchor = AxisOf(c, axis);
        if (std::abs(anchor - raw) < std::abs(value - raw)) value = anchor;
    }
    return value;
}

namespace {

// Moves the segment across itself; the offset it moved by.
bool DragRubberband(WireDragRecord* record, const VXEventRecord* event, DragOverlay* overlay,
                    Point* offset) {
    *offset = Point{0, 0};
    SheetRecord* sheet = record->sheet;
    const int32_t axis = record->axis;
    int32_t current = record->orthogonalised ? -9999
                      : IsOrthogonalOrient(record->direction) ? AxisOf(record->segment[0], axis)
                                                               : AxisOf(record->click, axis);
    if (!record->orthogonalised && IsOrientExact(record->direction) &&
        IsOrientSlanted(record->direction)) {
        // Where the grid point of the click, moved along the axis, meets the segment.
        const Point g = SnapToSheetGrid(sheet, record->click);
        const Point a = record->segment[0], b = record->segment[1];
        const int32_t sh = b.h > a.h ? 1 : -1, sv = b.v > a.v ? 1 : -1;
        current = axis ? a.h + (g.v - a.v) * sv * sh : a.v + (g.h - a.h) * sh * sv;
    }
    VXSetCursor(axis ? kCursorSegmentMovesH : kCursorSegmentMovesV);
    OverlayScope scope(sheet, overlay);
    bool moved = false;
    TrackSheetDrag(sheet, event, kSegmentThreshold, [&](Point pt) {
        const Point p = PinSheetPoint(sheet, pt, false);
        const int32_t value = SnapRubberbandPoint(*record, p);
        if (value == current) return;
        const int32_t change = value - current;
        WireHandle work = record->work;
        const int32_t count = (*work)->cornerCount;
        for (int32_t i = 0; i < count; ++i) {
            if (i == 0 && !record->endMoves[0]) continue;
            if (i == count - 1 && !record->endMoves[1]) continue;
            Point* c = &WireCorners(work)[i];
            SetAxis(c, axis, record->orthogonalised ? value : AxisOf(*c, axis) + change);
        }
        if (!record->orthogonalised) {
            if (axis) offset->h = int16_t(offset->h + change);
            else offset->v = int16_t(offset->v + change);
        }
        current = value;
        moved = true;
        scope.Update();
    });
    return moved;
}

// Pulls a chamfer out of a buss corner or resizes one: its legs never exceed the shorter arm.
bool DragChamfer(WireDragRecord* record, const VXEventRecord* event, DragOverlay* overlay) {
    SheetRecord* sheet = record->sheet;
    WireHandle work = record->work;
    const Point a = WireCorners(work)[0];
    const Point b = WireCorners(work)[3];
    const bool firstArmHorizontal = IsOrientHorizontal(GetWireSegOrient(work, 0, false)) ||
                                    (WireCorners(work)[1].v == a.v && WireCorners(work)[1].h != a.h);
    const Point corner = firstArmHorizontal ? Point{a.v, b.h} : Point{b.v, a.h};
    const int32_t arm1 = std::abs(corner.h - a.h) + std::abs(corner.v - a.v);
    const int32_t arm2 = std::abs(corner.h - b.h) + std::abs(corner.v - b.v);
    const int32_t largest = std::max(0, std::min(arm1, arm2));
    // Unit steps from the corner back along the first arm and on along the second.
    const Point back{int16_t((a.v > corner.v) - (a.v < corner.v)),
                     int16_t((a.h > corner.h) - (a.h < corner.h))};
    const Point on{int16_t((b.v > corner.v) - (b.v < corner.v)),
                   int16_t((b.h > corner.h) - (b.h < corner.h))};
    const Point sign{int16_t(back.v + on.v), int16_t(back.h + on.h)};
    int32_t size = -1;
    {
        const Point d1 = WireCorners(work)[1];
        size = std::abs(d1.h - corner.h) + std::abs(d1.v - corner.v);
    }
    const int32_t startSize = size;
    VXSetCursor(kCursorChamferDrag + (record->chamfer & 1));
    OverlayScope scope(sheet, overlay);
    bool moved = false;
    TrackSheetDrag(sheet, event, kSegmentThreshold, [&](Point pt) {
        Point p = PinSheetPoint(sheet, pt, true);
        // Pinned to the quadrant between the two arms.
        int32_t dh = p.h - corner.h, dv = p.v - corner.v;
        if (dh * sign.h < 0) dh = 0;
        if (dv * sign.v < 0) dv = 0;
        const int32_t wanted = std::min(std::abs(dh) + std::abs(dv), largest);
        if (wanted == size) return;
        size = wanted;
        Point* c = WireCorners(work);
        c[1] = Point{int16_t(corner.v + back.v * size), int16_t(corner.h + back.h * size)};
        c[2] = Point{int16_t(corner.v + on.v * size), int16_t(corner.h + on.h * size)};
        moved = size != startSize;
        scope.Update();
    });
    return moved;
}

void MoveLabels(SheetRecord* sheet, const std::vector<TextRecord*>& labels, Point offset,
                Rect* area) {
    if (offset.h == 0 && offset.v == 0) return;
    for (TextRecord* label : labels) MoveWireLabel(sheet, label, offset.h, offset.v, 0, area);
}

}  // namespace

bool DragWire(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment, Point pt,
              const VXEventRecord* event) {
    int32_t kind = 0;
    void* owner = GetWireListOwner(list, &kind);
    Rect area;
    VXSetEmptyRect(&area);
    std::vector<TextRecord*> labels = TakeWireLabels(sheet, owner, kind, wire, &area);
    WireDragRecord record;
    BuildDragWire(sheet, list, wire, segment, pt, event, false, &record);
    const std::vector<WireHandle> order = ListOrder(list);
    if (!record.work) {
        PutWireLabelsBack(sheet, labels);
        AbortSheetUndoCollection(sheet);
        return false;
    }
    const bool builtChange = record.split;
    TakeWireOut(list, wire);
    AddWireArea(wire, &area);
    InvalSheetArea(sheet, area, 4);

    DragOverlay overlay;
    overlay.sheet = sheet;
    if (record.endMoves[0] && record.endMoves[1]) overlay.whole.push_back(record.work);
    else overlay.partial.push_back({wire, record.work, record.first, record.last});

    Point offset{0, 0};
    bool moved;
    if (kind == kWireOwnerBuss && record.endMoves[0] && record.endMoves[1] && !record.chamfer)
        moved = DragBussLine(event, &record, segment, &offset);
    else if (record.chamfer)
        moved = DragChamfer(&record, event, &overlay);
    else
        moved = DragRubberband(&record, event, &overlay, &offset);

    if (!moved) {
        AbortSheetUndoCollection(sheet);
        FreeDragRecord(&record);
        RestoreListOrder(list, order);
        RemoveExtraWireCorners(wire, nullptr);
        CalcWireBounds(wire);
        (*wire)->flags |= kWireFlagSelected;
        NoteSheetItemSelected(sheet, kind == kWireOwnerBuss ? SheetItemKind::kBuss : SheetItemKind::kSignal, owner);
        AddWireArea(wire, &area);
        InvalSheetArea(sheet, area, 4);
        if (builtChange) CleanupOwnerWires(owner, kind);
        PutWireLabelsBack(sheet, labels);
        return builtChange;
    }

    SetSheetModifiedStatus(sheet, kModifiedWireDrag);
    if ((offset.h || offset.v) && !record.orthogonalised) MoveLabels(sheet, labels, offset, &area);
    if (kind == kWireOwnerSignal) {
        auto signal = static_cast<SignalHandle>(owner);
        for (int32_t end = 0; end < 2; ++end) {
            if (!record.breakOutMoves[end]) continue;
            MoveWiresBreakOut(sheet, signal, record.work, wire, end, nullptr, offset, &area);
            // The stub to the buss point goes again.
            WireHandle w = record.work;
            RemoveWireCorners(w, end ? (*w)->cornerCount - 1 : 0, 1);
        }
        VXInsetRect(&area, -4, -4);
    } else if (offset.h || offset.v) {
        // The break-outs on the dragged segment go with it and their wires stretch.
        auto buss = static_cast<BussHandle>(owner);
        if (MoveSegmentBreakouts(sheet, buss, record.segment, offset, &area))
            MoveSignalWires(sheet, offset, 0, &area);
        ClearBreakOutMovedFlags(sheet);
    }
    AddWireArea(record.work, &area);
    if (record.endMoves[0] && record.endMoves[1] && record.first == 0 &&
        record.last == CountWireSegments(wire) - 1 && !record.breakOutMoves[0] &&
        !record.breakOutMoves[1]) {
        // The whole wire moved.
        RemoveWireCorners(wire, 0, 0xFFFF);
        for (int32_t i = 0; i < (*record.work)->cornerCount; ++i)
            (void)InsertWireCorner(wire, WireCorners(record.work)[i], -1);  // fails only out of memory
    } else {
        (void)ReplaceWirePortion(wire, record.work, record.first, record.last);  // fails only out of memory
    }
    FreeDragRecord(&record);
    RemoveExtraWireCorners(wire, &area);
    CalcWireBounds(wire);
    (*wire)->flags |= kWireFlagSelected;
    NoteSheetItemSelected(sheet, kind == kWireOwnerBuss ? SheetItemKind::kBuss : SheetItemKind::kSignal, owner);
    CollectUndoInvalSheetRect(sheet, &area);
    IntegrateWire(wire, list, kIntegrateRecalcBounds, sheet, &area);
    if (GetSplitWireList(sheet) == list) CleanupSplitWireList(sheet);
    CleanupOwnerWires(owner, kind);
    if (kind == kWireOwnerBuss) {
        BussHandle b = nullptr;
        if (WireHandle selected = GetSelectedBussLine(sheet, &b)) CalcBusLineModifiers(sheet, selected);
    }
    AcceptSheetUndoCollection(sheet);
    PutWireLabelsBack(sheet, labels);
    InvalSheetArea(sheet, area, 4);
    return true;
}

// ---- Junctions ----

namespace {

struct JunctionDragEntry {
    WireHandle work = nullptr;
    WireHandle source = nullptr;  // null: the whole wire moves
    std::vector<TextRecord*> labels;
    int32_t first = 0, last = 0;
    int32_t end = 0;
    int32_t axis = 0;
    bool orthogonalised = false;
};

void BuildDragJunctWire(std::vector<JunctionDragEntry>* entries, SheetRecord* sheet,
                        WireList list, WireHandle wire, int32_t end,
                        const VXEventRecord* event) {
    const int32_t segments = CountWireSegments(wire);
    if (!entries->empty()) {
        JunctionDragEntry& previous = entries->back();
        const WireHandle previousWire = previous.source ? previous.source : previous.work;
        if (previousWire == wire && segments < 4) {
            if (previous.source) {
                DestroyWire(previous.work);
                previous.work = wire;
                previous.source = nullptr;
            }
            return;
        }
    }
    uint16_t* word = end ? &(*wire)->end1 : &(*wire)->end0;
    const uint16_t saved = *word;
    const int32_t endSegment = end ? segments - 1 : 0;
    const int32_t direction = GetWireSegOrient(wire, endSegment, false);
    *word = (direction & 9) == 1 ? kWireEndJunction : kWireEndFree;
    WireDragRecord record;
    BuildDragWire(sheet, list, wire, endSegment, WireCorners(wire)[end ? segments : 0], event, true,
                  &record);
    *word = saved;
    JunctionDragEntry entry;
    entry.end = end;
    if (record.work && !record.endMoves[end ? 0 : 1]) {
        entry.work = record.work;
        entry.source = wire;
        entry.first = record.first;
        entry.last = record.last;
        entry.axis = record.axis;
        entry.orthogonalised = record.orthogonalised;
    } else {
        FreeDragRecord(&record);
        entry.work = wire;
    }
    entries->push_back(std::move(entry));
}

}  // namespace

bool DragJunction(SheetRecord* sheet, WireList list, Point junction, const VXEventRecord* event) {
    int32_t kind = 0;
    void* owner = GetWireListOwner(list, &kind);
    bool split = false;
    if (kind == kWireOwnerBuss)
        split = SplitBussLineAtBreakouts(sheet, static_cast<BussHandle>(owner), nullptr, junction,
                                         0, nullptr);
    const std::vector<WireHandle> order = ListOrder(list);
    std::vector<JunctionDragEntry> entries;
    std::vector<WireHandle> wires;
    for (WireHandle w : order) {
        bool taken = false;
        for (int32_t end = 1; end >= 0; --end) {
            const uint16_t word = end ? (*w)->end1 : (*w)->end0;
            Point c;
            if (!IsWireEndJunction(word) || !GetWireCorner(w, end ? -1 : 0, &c) ||
                !SamePt(c, junction))
                continue;
            BuildDragJunctWire(&entries, sheet, list, w, end, event);
            taken = true;
        }
        if (taken) wires.push_back(w);
    }
    if (entries.empty()) {
        AbortSheetUndoCollection(sheet);
        return split;
    }
    Rect area;
    VXSetEmptyRect(&area);
    for (WireHandle w : wires) AddWireArea(w, &area);
    for (JunctionDragEntry& e : entries) {
        WireHandle w = e.source ? e.source : e.work;
        bool first = true;
        for (const JunctionDragEntry& other : entries) {
            if (&other == &e) break;
            if ((other.source ? other.source : other.work) == w) first = false;
        }
        if (first) e.labels = TakeWireLabels(sheet, owner, kind, w, &area);
    }
    for (WireHandle w : wires) TakeWireOut(list, w);
    InvalSheetArea(sheet, area, 4);
    if (kind == kWireOwnerSignal) InvalidateSignalJunctions(static_cast<SignalHandle>(owner));

    DragOverlay overlay;
    overlay.sheet = sheet;
    for (const JunctionDragEntry& e : entries) {
        if (!e.source) overlay.whole.push_back(e.work);
        else overlay.partial.push_back({e.source, e.work, e.first, e.last});
    }
    Point last = SnapToSheetGrid(sheet, junction);
    Point total{0, 0};
    VXSetCursor(kCursorJunctionDrag);
    {
        OverlayScope scope(sheet, &overlay);
        TrackSheetDrag(sheet, event, kJunctionThreshold, [&](Point pt) {
            const Point p = PinSheetPoint(sheet, pt, true);
            if (SamePt(p, last)) return;
            const int16_t dh = int16_t(p.h - last.h), dv = int16_t(p.v - last.v);
            for (JunctionDragEntry& e : entries) {
                if (!e.source) {
                    OffsetWire(e.work, dh, dv);
                    continue;
                }
                const int32_t count = (*e.work)->cornerCount;
                const int32_t junctionCorner = e.end ? count - 1 : 0;
                const int32_t farCorner = e.end ? 0 : count - 1;
                for (int32_t i = 0; i < count; ++i) {
                    Point* c = &WireCorners(e.work)[i];
                    if (i == farCorner) continue;
                    if (i == junctionCorner) {
                        c->h = int16_t(c->h + dh);
                        c->v = int16_t(c->v + dv);
                    } else if (e.orthogonalised) {
                        SetAxis(c, e.axis, AxisOf(p, e.axis));
                    } else {
                        SetAxis(c, e.axis, AxisOf(*c, e.axis) + (e.axis ? dh : dv));
                    }
                }
            }
            total.h = int16_t(total.h + dh);
            total.v = int16_t(total.v + dv);
            last = p;
            scope.Update();
        });
    }
    const bool moved = total.h || total.v;
    if (moved) {
        SetSheetModifiedStatus(sheet, kModifiedWireDrag);
        if (kind == kWireOwnerSignal) VXInsetRect(&area, -4, -4);
        for (JunctionDragEntry& e : entries) {
            if (e.source) {
                (void)ReplaceWirePortion(e.source, e.work, e.first, e.last);  // fails only out of memory
                DestroyWire(e.work);
                e.work = nullptr;
            }
            Point offset = total;
            if (e.source) {
                if (e.axis) offset.v = 0; else offset.h = 0;
            }
            MoveLabels(sheet, e.labels, offset, &area);
        }
        for (WireHandle w : wires) {
            RemoveExtraWireCorners(w, &area);
            AddWireArea(w, &area);
        }
        CollectUndoInvalSheetRect(sheet, &area);
        AcceptSheetUndoCollection(sheet);
    } else {
        for (JunctionDragEntry& e : entries) {
            if (e.source) DestroyWire(e.work);
            e.work = nullptr;
        }
        AbortSheetUndoCollection(sheet);
    }
    for (JunctionDragEntry& e : entries) PutWireLabelsBack(sheet, e.labels);
    if (moved) {
        for (WireHandle w : wires) IntegrateWire(w, list, kIntegrateRecalcBounds, sheet, &area);
    } else {
        RestoreListOrder(list, order);
        if (kind == kWireOwnerSignal) CacheSignalJunctionDots(static_cast<SignalHandle>(owner));
    }
    if (moved || split) {
        if (GetSplitWireList(sheet) == list) CleanupSplitWireList(sheet);
        CleanupOwnerWires(owner, kind);
    }
    InvalSheetArea(sheet, area, 4);
    return moved || split;
}

bool DragDispatch(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment, Point pt,
                  const VXEventRecord* event) {
    Point corner{};
    uint16_t distance = 0xFFFF;
    const int32_t side = GetClosestSegSide(wire, segment, pt, &corner, &distance);
    const int32_t lastCorner = (*wire)->cornerCount - 1;
    if (side >= 0 && distance < kJunctionCornerDistance &&
        ((side == 0 && IsWireEndJunction((*wire)->end0)) ||
         (side == lastCorner && IsWireEndJunction((*wire)->end1)))) {
        int32_t kind = 0;
        void* owner = GetWireListOwner(list, &kind);
        const bool breakOut = kind == kWireOwnerBuss &&
                              BreakOutFromPoint(sheet->breakOutTable, static_cast<BussHandle>(owner),
                                                corner) >= 0;
        if (!breakOut) return DragJunction(sheet, list, corner, event);
    }
    return DragWire(sheet, list, wire, segment, pt, event);
}

// ---- The click ----

int32_t DragClickedWire(SheetRecord* sheet, const VXEventRecord* event) {
    if (!sheet || !event) return 0;
    const VXMouseFields& mouse = event->u.mouse;
    const Point pt{mouse.v, mouse.h};
    if (sheet->selectionRegion && VXPointInRgn(pt.h, pt.v, sheet->selectionRegion) &&
        !sheet->selectedElement)
        return 0;
    Point probe = pt;
    probe.v = int16_t(probe.v + 1);
    WireHandle wire = nullptr;
    int32_t segment = -1;
    Point hit{};
    void* owner = nullptr;
    int32_t kind = 0;
    LinkListHeader* ownerList = nullptr;
    SignalHandle signal = HitTestSignalList(sheet, probe, CalcDefaultSignalWireHitTestSlop(sheet),
                                            &wire, &segment, &hit);
    if (signal && wire) {
        if (RightOrCommand(event)) {
            CleanupSplitWireList(sheet);
            ClearDrawingSelection(sheet);
            SetupFlashingSignal(sheet, signal, nullptr);
            return 1;
        }
        owner = signal;
        kind = kWireOwnerSignal;
        ownerList = sheet->signalList;
    } else {
        BussHandle buss = HitTestBussList(sheet, probe, CalcDefaultBussWireHitTestSlop(sheet), false,
                                          &wire, &segment, &hit);
        if (!buss || !wire) {
            CleanupSplitWireList(sheet);
            return 0;
        }
        owner = buss;
        kind = kWireOwnerBuss;
        ownerList = sheet->bussList;
    }
    WireList list = reinterpret_cast<NetRecordHead*>(*static_cast<Handle>(owner))->wires;
    if (mouse.shift && !mouse.option) {
        (*wire)->flags ^= kWireFlagSelected;
        NoteSheetItemSelected(sheet, kind == kWireOwnerBuss ? SheetItemKind::kBuss : SheetItemKind::kSignal, owner);
        InvalSheetArea(sheet, (*wire)->bounds, 4);
        CleanupSplitWireList(sheet);
        return 1;
    }
    if (GetSplitWireList(sheet) != list) CleanupSplitWireList(sheet);
    ClearDrawingSelection(sheet);
    if (!mouse.option) {
        StartSheetUndoCollection(sheet, kUndoActionWireChange);
        CollectUndoSwapSheetItem(sheet, kind == kWireOwnerBuss ? kUndoItemBuss : kUndoItemSignal, owner);
        if (DragDispatch(sheet, list, wire, segment, pt, event)) {
            // Drawn last from now on; only a changed sheet changes its order.
            LLRemoveOrFree(ownerList, owner, nullptr, false);
            LLAppend(ownerList, owner);
            if (kind == kWireOwnerBuss) {
                CalcBussBounds(static_cast<BussHandle>(owner));
            } else {
                CacheSignalJunctionDots(signal);
                CalcSignalBounds(signal);
            }
        }
        CleanupSplitWireList(sheet);
        return 1;
    }
    if (mouse.shift) {
        (void)InsertWireSplit(sheet, list, wire, segment, pt);  // else the wire stays whole
        return 1;
    }
    // Option alone: the segment's name label.
    TextRecord* label = kind == kWireOwnerBuss
                            ? ShowBussWireSegLabel(sheet, static_cast<BussHandle>(owner), wire, segment, pt)
                            : ShowSignalWireSegLabel(sheet, signal, wire, segment, pt, false);
    if (!label && kind == kWireOwnerBuss) {
        // A buss without a name is asked for one first.
        auto buss = static_cast<BussHandle>(owner);
        char name[256];
        (void)GetBussName(buss, sheet->stringBlock, name, sizeof name);  // written into the buffer
        if (!BusInfoDialog(sheet, buss, name, nullptr, false) || !name[0]) return 1;
        (void)SetBussName(buss, sheet->stringBlock, name);  // kept in the string block
        label = ShowBussWireSegLabel(sheet, buss, wire, segment, pt);
    }
    if (!label) {
        if (kind == kWireOwnerSignal) VXBeep();
        return 1;
    }
    SetSheetModifiedStatus(sheet, kModifiedLabel);
    if (label->flags & kTextFlagHidden) {
        StartSheetUndoCollection(sheet, kUndoActionSignalModification);
        CollectUndoSheetItemExistance(sheet, kUndoItemText, label, 1);
        CollectUndoInvalSheetRect(sheet, &label->bounds);
        label->flags = uint16_t(label->flags & ~kTextFlagHidden);
        InvalSheetArea(sheet, label->bounds, 2);
        AcceptSheetUndoCollection(sheet);
    }
    return 1;
}

// ---- Split markers ----

bool InsertWireSplit(SheetRecord* sheet, WireList list, WireHandle wire, int32_t segment,
                     Point pt) {
    Point ab[2];
    if (!GetWireSegment(wire, segment, ab)) return false;
    Point at = pt;
    const int32_t d = GetWireSegOrient(wire, segment, false);
    if (IsOrientHorizontal(d)) {
        at = Point{ab[0].v, SnapToSheetGrid(sheet, pt).h};
        at.h = std::clamp(at.h, std::min(ab[0].h, ab[1].h), std::max(ab[0].h, ab[1].h));
    } else if (IsOrientVertical(d)) {
        at = Point{SnapToSheetGrid(sheet, pt).v, ab[0].h};
        at.v = std::clamp(at.v, std::min(ab[0].v, ab[1].v), std::max(ab[0].v, ab[1].v));
    }
    WireHandle second = SplitWire(wire, segment, at, true);
    if (!second) return false;
    LLInsert(list, wire, second);
    SplitState* state = GetSplitState(sheet);
    if (!state) {
        state = new SplitState;
        sheet->splitWireList = state;
    }
    state->list = list;
    SetWireSplitMarker(sheet, at);
    return true;
}

void SetWireSplitMarker(SheetRecord* sheet, Point pt) {
    SplitState* state = GetSplitState(sheet);
    if (!state) return;
    state->markers.push_back(pt);
    InvalWireSplitMarkers(sheet);
}

void DrawWireSplitMarkers(SheetRecord* sheet) {
    const SplitState* state = GetSplitState(sheet);
    if (!state) return;
    Set_Fore_Color(kSplitMarkerColour);
    for (Point p : state->markers) {
        VXMoveTo(int16_t(p.h - kSplitMarkerHalf), int16_t(p.v - kSplitMarkerHalf));
        VXLineTo(int16_t(p.h + kSplitMarkerHalf), int16_t(p.v + kSplitMarkerHalf));
        VXMoveTo(int16_t(p.h + kSplitMarkerHalf), int16_t(p.v - kSplitMarkerHalf));
        VXLineTo(int16_t(p.h - kSplitMarkerHalf), int16_t(p.v + kSplitMarkerHalf));
    }
}

void InvalWireSplitMarkers(SheetRecord* sheet) {
    const SplitState* state = GetSplitState(sheet);
    if (!state || state->markers.empty()) return;
    Rect r{state->markers[0].v, state->markers[0].h, state->markers[0].v, state->markers[0].h};
    for (Point p : state->markers) {
        r.top = std::min(r.top, p.v);
        r.left = std::min(r.left, p.h);
        r.bottom = std::max(r.bottom, p.v);
        r.right = std::max(r.right, p.h);
    }
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    InvalSheetArea(sheet, r, 10);
}

void CleanupSplitWireList(SheetRecord* sheet) {
    if (!sheet) return;
    SplitState* state = GetSplitState(sheet);
    if (!state) return;
    InvalWireSplitMarkers(sheet);
    WireList list = state->list;
    sheet->splitWireList = nullptr;
    delete state;
    if (!list) return;
    int32_t kind = 0;
    void* owner = GetWireListOwner(list, &kind);
    CleanupOwnerWires(owner, kind);
}

void ReleaseWireSplitState(SheetRecord* sheet) {
    if (!sheet) return;
    delete GetSplitState(sheet);
    sheet->splitWireList = nullptr;
}

WireList GetSplitWireList(const SheetRecord* sheet) {
    const SplitState* state = sheet ? GetSplitState(sheet) : nullptr;
    return state ? state->list : nullptr;
}

int32_t CountWireSplitMarkers(const SheetRecord* sheet) {
    const SplitState* state = sheet ? GetSplitState(sheet) : nullptr;
    return state ? int32_t(state->markers.size()) : 0;
}

}  // namespace plexa
