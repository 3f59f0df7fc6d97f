// Dragging buss ends, buss pieces and break-outs; see bussdrag.h.
#include "sheeteditor/bussdrag.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "files/sheetstore.h"
#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/signals.h"
#include "model/wireintegrate.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/dragshared.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int32_t kBreakOutSlop = 2;
constexpr int32_t kFlipDistance = 3;
constexpr int32_t kBussThreshold = 3;
constexpr int32_t kAnchorDistance = 4;
constexpr int32_t kModifiedDrawing = 8;
constexpr int32_t kModifiedFlip = 40;
constexpr int32_t kRangeNone = 32000;

bool SamePt(Point a, Point b) { return a.h == b.h && a.v == b.v; }
Point Offset(Point p, Point d) { return Point{int16_t(p.v + d.v), int16_t(p.h + d.h)}; }

void PutBreakOut(BreakOutTable table, int32_t id, const BreakOutRow& row) {
    (void)DAPut(table, id, &row);  // the row exists: it was just read
}

void AddSpan(Rect* area, Point a, Point b, int16_t grow) {
    Rect r;
    VXPt2Rect(a, b, &r);
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
    AddToUpdateRect(area, r);
}

bool IsOrthogonal(int32_t d) { return IsOrientHorizontal(d) || IsOrientVertical(d); }

// The corners, end words and flags of two wires exchanged; their places in lists stay.
void ExchangeWireContents(WireHandle a, WireHandle b) {
    struct Content {
        std::vector<Point> corners;
        uint16_t end0, end1, flags;
    };
    auto take = [](WireHandle w) {
        return Content{std::vector<Point>(WireCorners(w), WireCorners(w) + (*w)->cornerCount),
                       (*w)->end0, (*w)->end1, (*w)->flags};
    };
    auto put = [](WireHandle w, const Content& c) {
        RemoveWireCorners(w, 0, (*w)->cornerCount);
        for (Point p : c.corners) (void)InsertWireCorner(w, p, -1);  // room was there before
        (*w)->end0 = c.end0;
        (*w)->end1 = c.end1;
        (*w)->flags = c.flags;
        CalcWireBounds(w);
    };
    const Content ca = take(a), cb = take(b);
    put(a, cb);
    put(b, ca);
}

// An orthogonal segment as its line and its extent along the line.
struct SegmentSpan {
    explicit SegmentSpan(const Point segment[2])
        : direction(CalcLineOrient(segment[0], segment[1])),
          orthogonal(IsOrthogonal(direction)),
          horizontal(IsOrientHorizontal(direction)),
          fixed(horizontal ? segment[0].v : segment[0].h),
          from(horizontal ? std::min(segment[0].h, segment[1].h) : std::min(segment[0].v, segment[1].v)),
          to(horizontal ? std::max(segment[0].h, segment[1].h) : std::max(segment[0].v, segment[1].v)) {}
    // The point lies on the segment; along: its coordinate along the line.
    bool Holds(Point p, int32_t* along) const {
        *along = horizontal ? p.h : p.v;
        return (horizontal ? p.v : p.h) == fixed && *along >= from && *along <= to;
    }
    int32_t direction;
    bool orthogonal, horizontal;
    int32_t fixed, from, to;
};

// The direction of the signal wire's end segment at the break-out, or 8.
int32_t BreakOutWireEndOrient(SheetRecord* sheet, int32_t row) {
    SignalHandle signal = nullptr;
    int32_t end = 0;
    WireHandle wire = GetBreakOutWire(sheet->signalList, row, &signal, &end);
    if (!wire) return kOrientNull;
    return GetWireSegOrient(wire, end ? -1 : 0, false);
}

struct WireOverlay {
    SheetRecord* sheet;
    std::vector<WireHandle> wires;
};
void DrawWireOverlay(VXWindowRecordTag*, void* data) {
    const auto* overlay = static_cast<WireOverlay*>(data);
    for (WireHandle w : overlay->wires)
        if (w) DrawWire(w, overlay->sheet->breakOutTable, 0);
}

// Follows the drag of the button that went down, with an overlay; false when it never began.
bool TrackWithOverlay(SheetRecord* sheet, const VXEventRecord* event, int32_t threshold,
                      WireOverlay* overlay, const std::function<bool(Point)>& step) {
    VXWindowRecordTag* window = sheet->window;
    if (!window) return false;
    const int32_t id = window->windowID;
    const int32_t mode = event && event->u.mouse.button == 1 ? kVXTrackRight : kVXTrackLeft;
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawWireOverlay, overlay);
    _LPNT pt{};
    int16_t pane = 0;
    bool began = false;
    if (threshold > 0 ? VXWaitDragBegin(window, mode, threshold, threshold, &pt, &pane, -1)
                      : true) {
        began = true;
        if (threshold <= 0 && event) pt = _LPNT{event->u.mouse.v, event->u.mouse.h};
        for (bool going = true; going;) {
            if (step(Point{int16_t(pt.v), int16_t(pt.h)}) && VXGetWindowFromId(id))
                VXUpdateOverlay(window);
            if (!VXGetWindowFromId(id)) return began;
            going = VXWaitDragEnd(window, mode, threshold > 0, &pt);
        }
    }
    if (VXGetWindowFromId(id)) VXEndOverlay(window);
    return began;
}

}  // namespace

// ---- Geometry ----

Point ConstrainBussLineEnd(int32_t mode, Point other, Point p) {
    const int32_t dh = mode == kBussEndVertical ? 0 : std::abs(p.h - other.h);
    const int32_t dv = mode == kBussEndHorizontal ? 0 : std::abs(p.v - other.v);
    if (dh <= dv) {
        if (dh <= dv / 2) p.h = other.h;
        else p.h = int16_t(other.h + (p.h >= other.h ? dv : -dv));
    } else {
        if (dv > dh / 2) p.v = int16_t(other.v + (p.v >= other.v ? dh : -dh));
        else p.v = other.v;
    }
    return p;
}

bool IsValidBreakoutSegment(WireHandle wire) {
    Point ab[2];
    if (!GetWireSegment(wire, 0, ab) || SamePt(ab[0], ab[1])) return false;
    return IsOrthogonal(CalcLineOrient(ab[0], ab[1]));
}

int32_t CalcSegBreakOutRange(SheetRecord* sheet, BussHandle buss, const Point segment[2],
                             Point exceptPoint, int32_t* low, int32_t* high) {
    *low = kRangeNone;
    *high = -kRangeNone;
    const SegmentSpan span(segment);
    if (!span.orthogonal) return span.direction;
    ForEachBreakOutRow(sheet->breakOutTable, [&](int32_t id, BreakOutRow& row) {
        int32_t along = 0;
        if (row.buss != buss || !span.Holds(row.first, &along)) return;
        if (SamePt(row.first, exceptPoint)) {
            const int32_t e = BreakOutWireEndOrient(sheet, id);
            if (e == kOrientNull || IsOrientHorizontal(e) == span.horizontal) return;
        }
        *low = std::min(*low, along);
        *high = std::max(*high, along);
    });
    return span.direction;
}

int32_t CalcBreakOutRange(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                          int32_t segmentIndex, Point exceptPoint, int32_t* low, int32_t* high) {
    Point ab[2];
    if (!GetWireSegment(wire, segmentIndex, ab)) {
        *low = kRangeNone;
        *high = -kRangeNone;
        return kOrientNull;
    }
    return CalcSegBreakOutRange(sheet, buss, ab, exceptPoint, low, high);
}

int32_t BreakOutFromPoint(BreakOutTable table, BussHandle buss, Point pt) {
    int32_t found = -1;
    ForEachBreakOutRow(table, [&](int32_t id, BreakOutRow& row) {
        if (found < 0 && row.buss == buss && SamePt(row.first, pt)) found = id;
    });
    return found;
}

WireHandle BuildBreakOutBussSegment(Point a, Point b) {
    WireHandle wire = CreateWire(nullptr);
    if (!wire) return nullptr;
    if (!InsertWireCorner(wire, a, -1) || !InsertWireCorner(wire, b, -1)) {
        DestroyWire(wire);
        return nullptr;
    }
    (*wire)->flags = kWireFlagBuss;
    CalcWireBounds(wire);
    return wire;
}

// ---- Splitting ----

Point CalcBreakoutSplitPt(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                          int32_t segmentIndex, int32_t direction, bool flag) {
    (void)flag;
    Point ab[2];
    int32_t low = 0, high = 0;
    const Point none{-1, -1};
    if (!GetWireSegment(wire, segmentIndex, ab)) return none;
    const int32_t d = CalcSegBreakOutRange(sheet, buss, ab, none, &low, &high);
    if (low > high) return none;
    const bool horizontal = IsOrientHorizontal(d);
    // The moving part lies toward the segment's start for +1, toward its end for -1.
    const Point moving = direction > 0 ? ab[0] : ab[1];
    const Point fixed = direction > 0 ? ab[1] : ab[0];
    const int32_t m = horizontal ? moving.h : moving.v;
    const int32_t f = horizontal ? fixed.h : fixed.v;
    const int32_t at = m > f ? high : low;
    return horizontal ? Point{ab[0].v, int16_t(at)} : Point{int16_t(at), ab[0].h};
}

bool SplitSegmentAtBreakOut(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                            int32_t segmentIndex, int32_t direction, int32_t limit, bool flag,
                            WireHandle* newWire) {
    (void)limit;
    if (newWire) *newWire = nullptr;
    const Point at = CalcBreakoutSplitPt(sheet, buss, wire, segmentIndex, direction, flag);
    if (at.h == -1 && at.v == -1) return false;
    WireHandle second = SplitWire(wire, segmentIndex, at, false);
    if (!second) return false;
    WireList list = (*buss)->wires;
    if (LLGetLinkPosition(list, wire) >= 0) LLInsert(list, wire, second);
    if (direction < 0) {
        // The caller keeps the moving part, which is the second half.
        ExchangeWireContents(wire, second);
    }
    if (newWire) *newWire = second;
    return true;
}

bool SplitBussLineAtBreakouts(SheetRecord* sheet, BussHandle buss, WireHandle wire, Point pt,
                              int32_t segmentIndex, int32_t* segmentOut) {
    bool split = false;
    WireList list = (*buss)->wires;
    if (wire) {
        WireHandle piece = nullptr;
        split |= SplitSegmentAtBreakOut(sheet, buss, wire, segmentIndex, 1, 0, false, &piece);
        if (segmentIndex > 0)
            split |= SplitSegmentAtBreakOut(sheet, buss, wire, segmentIndex - 1, -1, 0, false, &piece);
        if (segmentOut) *segmentOut = HitTestOneWire(wire, pt, 0, false, nullptr);
        return split;
    }
    // Every wire with a junction end at the point keeps its break-outs off the moving end.
    std::vector<std::pair<WireHandle, int32_t>> ends;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        Point c;
        if (IsWireEndJunction((*w)->end0) && GetWireCorner(w, 0, &c) && SamePt(c, pt))
            ends.emplace_back(w, 0);
        if (IsWireEndJunction((*w)->end1) && GetWireCorner(w, -1, &c) && SamePt(c, pt))
            ends.emplace_back(w, 1);
    }
    for (auto [w, end] : ends) {
        WireHandle piece = nullptr;
        const int32_t n = end ? CountWireSegments(w) - 1 : 0;
        split |= SplitSegmentAtBreakOut(sheet, buss, w, n, end ? -1 : 1, 0, false, &piece);
    }
    if (segmentOut) *segmentOut = segmentIndex;
    return split;
}

// ---- Moving break-outs ----

void ClearBreakOutMovedFlags(SheetRecord* sheet) {
    BreakOutTable table = sheet->breakOutTable;
    ForEachBreakOutRow(table, [&](int32_t id, BreakOutRow& row) {
        if (!(row.flags & kBreakOutMoved)) return;
        row.flags = uint16_t(row.flags & ~kBreakOutMoved);
        PutBreakOut(table, id, row);
    });
}

namespace {

void MarkBreakOuts(SheetRecord* sheet, BussHandle buss, const std::function<bool(Point)>& lies) {
    BreakOutTable table = sheet->breakOutTable;
    ForEachBreakOutRow(table, [&](int32_t id, BreakOutRow& row) {
        if (row.buss != buss || !lies(row.first)) return;
        row.flags |= kBreakOutMoved;
        PutBreakOut(table, id, row);
    });
}

}  // namespace

void MarkMovingBreakOuts(SheetRecord* sheet, BussHandle buss, WireList list) {
    MarkBreakOuts(sheet, buss, [&](Point p) {
        int32_t segment = -1;
        return !list || HitTestWireList(list, p, 0, false, &segment, nullptr) != nullptr;
    });
}

void MarkBreakOutsOnWire(SheetRecord* sheet, BussHandle buss, WireHandle wire) {
    MarkBreakOuts(sheet, buss, [&](Point p) { return HitTestOneWire(wire, p, 0, false, nullptr) >= 0; });
}

void MoveOneBreakOut(SheetRecord* sheet, int32_t id, Point offset, int32_t transform, Rect* area) {
    BreakOutRow row{};
    if (!GetBreakOutRow(sheet->breakOutTable, id, &row)) return;
    AddSpan(area, row.first, row.second, 1);
    Point points[2] = {row.first, row.second};
    TransformPointArray(points, 2, offset, transform);
    row.first = points[0];
    row.second = points[1];
    AddSpan(area, row.first, row.second, 1);
    PutBreakOut(sheet->breakOutTable, id, row);
}

void MoveMarkedBreakOuts(SheetRecord* sheet, Point offset, int32_t transform, Rect* area) {
    std::vector<int32_t> moving;
    ForEachBreakOutRow(sheet->breakOutTable, [&](int32_t id, BreakOutRow& row) {
        if (row.flags & kBreakOutMoved) moving.push_back(id);
    });
    for (int32_t id : moving) {
        CollectUndoMoveSheetItem(sheet, kUndoItemBreakOutRow, reinterpret_cast<void*>(intptr_t(id)),
                                 offset, transform);
        MoveOneBreakOut(sheet, id, offset, transform, area);
    }
}

bool MoveSegmentBreakouts(SheetRecord* sheet, BussHandle buss, const Point segment[2],
                          Point offset, Rect* area) {
    ClearBreakOutMovedFlags(sheet);
    std::vector<int32_t> moving;
    const SegmentSpan span(segment);
    if (!span.orthogonal) return false;
    ForEachBreakOutRow(sheet->breakOutTable, [&](int32_t id, BreakOutRow& row) {
        int32_t along = 0;
        if (row.buss != buss || !span.Holds(row.first, &along)) return;
        if (along == span.from || along == span.to) {
            // At a segment end: stays when its wire leaves along the buss and the buss still
            // passes there.
            const int32_t e = BreakOutWireEndOrient(sheet, id);
            int32_t seg = -1;
            if (IsOrthogonal(e) && IsOrientHorizontal(e) == span.horizontal &&
                HitTestWireList((*buss)->wires, row.first, 0, false, &seg, nullptr))
                return;
        }
        moving.push_back(id);
    });
    for (int32_t id : moving) {
        CollectUndoMoveSheetItem(sheet, kUndoItemBreakOutRow, reinterpret_cast<void*>(intptr_t(id)),
                                 offset, 0);
        MoveOneBreakOut(sheet, id, offset, 0, area);
        BreakOutRow row{};
        if (GetBreakOutRow(sheet->breakOutTable, id, &row)) {
            row.flags |= kBreakOutMoved;
            PutBreakOut(sheet->breakOutTable, id, row);
        }
    }
    return !moving.empty();
}

void AddBussSegment(SheetRecord* sheet, BussHandle buss, Point from, Point to, Rect* area) {
    if (SamePt(from, to)) return;
    WireHandle segment = BuildBreakOutBussSegment(from, to);
    if (!segment) return;
    if (!((*buss)->flags & kBussFlagUndoCollected)) CollectUndoAltBuss(sheet, buss);
    AddToUpdateRect(area, (*segment)->bounds);
    IntegrateWire(segment, (*buss)->wires, kIntegrateRecalcBounds, sheet, area);
    CleanupBussWires(buss, nullptr);
    CalcBussBounds(buss);
}

void MoveWiresBreakOut(SheetRecord* sheet, SignalHandle signal, WireHandle wire,
                       WireHandle sourceWire, int32_t end,
                       std::vector<BussSegmentRequest>* requests, Point offset, Rect* area) {
    if (offset.h == 0 && offset.v == 0) return;
    WireHandle words = sourceWire ? sourceWire : wire;
    const uint16_t word = end ? (*words)->end1 : (*words)->end0;
    if (!IsWireEndBreakOut(word)) return;
    const int32_t id = word & kWireEndIndexMask;
    BreakOutRow row{};
    if (!GetBreakOutRow(sheet->breakOutTable, id, &row)) return;
    const Point newFirst = Offset(row.first, offset);
    int32_t other = -1;
    ForEachBreakOutRow(sheet->breakOutTable, [&](int32_t i, BreakOutRow& r) {
        if (other < 0 && i != id && r.buss == row.buss && SamePt(r.first, newFirst)) other = i;
    });
    if (other >= 0 && IsBreakoutForSignal(sheet, other, signal)) {
        // Landed on another break-out of the same signal: the two become a junction.
        for (WireHandle w : {wire, sourceWire}) {
            if (!w) continue;
            if (end) (*w)->end1 = kWireEndJunction;
            else (*w)->end0 = kWireEndJunction;
        }
        CollectUndoAltBOTable(sheet);
        AddSpan(area, row.first, row.second, 1);
        DAFree(sheet->breakOutTable, id);
        return;
    }
    CollectUndoMoveSheetItem(sheet, kUndoItemBreakOutRow, reinterpret_cast<void*>(intptr_t(id)), offset, 0);
    MoveOneBreakOut(sheet, id, offset, 0, area);
    if (requests) requests->push_back({row.buss, row.first, newFirst});
    else AddBussSegment(sheet, row.buss, row.first, newFirst, area);
}

// ---- Drags ----

void DragBussWireEnd(SheetRecord* sheet, int32_t end, const VXEventRecord* event) {
    BussHandle buss = nullptr;
    WireHandle wire = GetSelectedBussLine(sheet, &buss);
    if (!wire || !buss) return;
    ClearDrawingSelection(sheet);
    StartSheetUndoCollection(sheet, kUndoActionWireChange);
    CollectUndoSwapSheetItem(sheet, kUndoItemBuss, buss);
    WireList list = (*buss)->wires;
    std::vector<WireHandle> order;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) order.push_back(w);
    if (end) ReverseWire(wire);
    Point firstSegment[2];
    (void)GetWireSegment(wire, 0, firstSegment);  // the segment exists
    WireHandle piece = nullptr;
    const bool split = SplitSegmentAtBreakOut(sheet, buss, wire, 0, 1, 0, false, &piece);
    int32_t mode = kBussEndAnyDirection;
    if (split && !IsValidBreakoutSegment(wire))
        mode = firstSegment[0].h != firstSegment[1].h ? kBussEndHorizontal : kBussEndVertical;
    LLRemoveOrFree(list, wire, nullptr, false);
    Rect area;
    VXSetEmptyRect(&area);
    CalcWireBounds(wire);
    AddToUpdateRect(&area, (*wire)->bounds);
    InvalSheetArea(sheet, area, 4);
    const int32_t segments = CountWireSegments(wire);
    Point anchor{-32768, -32768};
    if (segments == 1 && (mode < kBussEndAnyDirection || !IsWireEndJunction((*wire)->end1)))
        (void)GetWireCorner(wire, -1, &anchor);  // the corner exists

    WireOverlay overlay{sheet, {wire, piece}};
    Point start = WireCorners(wire)[0];
    bool moved = false;
    TrackWithOverlay(sheet, event, kBussThreshold, &overlay, [&](Point pt) {
        Point other{};
        (void)GetWireCorner(wire, 1, &other);  // the corner exists
        Point p = ConstrainBussLineEnd(mode, other, PinSheetPoint(sheet, pt, true));
        if (SamePt(p, WireCorners(wire)[0])) return false;
        const bool farEnough = anchor.h == -32768 || std::abs(p.v - anchor.v) >= kAnchorDistance ||
                               std::abs(p.h - anchor.h) >= kAnchorDistance;
        if (!farEnough) return false;
        (void)SetWireCorner(wire, 0, p);  // the corner exists
        moved = !SamePt(p, start);
        return true;
    });

    if (!moved) {
        AbortSheetUndoCollection(sheet);
        (void)SetWireCorner(wire, 0, start);  // the corner exists
        RemoveExtraWireCorners(wire, nullptr);
        if (end) ReverseWire(wire);
        CalcWireBounds(wire);
        if (split) {
            LLInsert(list, nullptr, wire);
            (*wire)->flags |= kWireFlagSelected;
            NoteSheetItemSelected(sheet, SheetItemKind::kBuss, buss);
            WireHandle kept = CleanupBussWires(buss, wire);
            CalcBussBounds(buss);
            if (kept) CalcBusLineModifiers(sheet, kept);
        } else {
            LLRemoveOrFreeAll(list, false);
            for (WireHandle w : order) LLAppend(list, w);
        }
        InvalSheetArea(sheet, area, 4);
        return;
    }
    WireHandle keeper = nullptr;
    if (segments >= 2 && !split) {
        int32_t low = 0, high = 0;
        const int32_t d = CalcBreakOutRange(sheet, buss, wire, 1, Point{-1, -1}, &low, &high);
        if (low <= high) {
            Point ab[2];
            (void)GetWireSegment(wire, 1, ab);  // the segment exists
            const bool horizontal = IsOrientHorizontal(d);
            const Point a = horizontal ? Point{ab[0].v, int16_t(low)} : Point{int16_t(low), ab[0].h};
            const Point b = horizontal ? Point{ab[0].v, int16_t(high)} : Point{int16_t(high), ab[0].h};
            keeper = BuildBreakOutBussSegment(a, b);
        }
    }
    CalcWireBounds(wire);
    AddToUpdateRect(&area, (*wire)->bounds);
    CollectUndoInvalSheetRect(sheet, &area);
    (*wire)->flags |= kWireFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kBuss, buss);
    const Point at = WireCorners(wire)[0];
    IntegrateWire(wire, list, kIntegrateRecalcBounds, sheet, &area);
    if (keeper) IntegrateWire(keeper, list, kIntegrateRecalcBounds, sheet, &area);
    CleanupBussWires(buss, nullptr);
    CalcBussBounds(buss);
    BussHandle selectedBuss = nullptr;
    WireHandle selected = GetSelectedBussLine(sheet, &selectedBuss);
    if (!selected) {
        int32_t segment = -1;
        selected = HitTestWireList(list, at, 0, false, &segment, nullptr);
        if (selected) {
            (*selected)->flags |= kWireFlagSelected;
            NoteSheetItemSelected(sheet, SheetItemKind::kBuss, buss);
        }
    }
    if (selected) CalcBusLineModifiers(sheet, selected);
    SetSheetModifiedStatus(sheet, kModifiedDrawing);
    AcceptSheetUndoCollection(sheet);
    InvalSheetArea(sheet, area, 4);
}

bool DragBussLine(const VXEventRecord* event, WireDragRecord* record, int32_t segment,
                  Point* offset) {
    (void)segment;
    *offset = Point{0, 0};
    SheetRecord* sheet = record->sheet;
    const bool orthogonal = IsOrthogonal(record->direction);
    bool constrained = false;
    if (event && event->u.mouse.button != 0) {
        VXSetCursor(kCursorJunctionDrag);
    } else {
        int32_t low = 0, high = 0;
        (void)CalcSegBreakOutRange(sheet, static_cast<BussHandle>(record->owner), record->segment,  // written through its outputs
                                   Point{-1, -1}, &low, &high);
        constrained = low <= high;
        VXSetCursor(!constrained ? kCursorJunctionDrag
                                 : record->axis ? kCursorSegmentMovesH : kCursorSegmentMovesV);
    }
    Point last = SnapToSheetGrid(sheet, record->click);
    if (orthogonal) {
        // The first step also brings the piece onto the grid across itself.
        if (record->axis) last.h = record->segment[0].h;
        else last.v = record->segment[0].v;
    }
    WireOverlay overlay{sheet, {record->work}};
    bool moved = false;
    TrackWithOverlay(sheet, event, kBussThreshold, &overlay, [&](Point pt) {
        const Point p = PinSheetPoint(sheet, pt, true);
        int16_t dh = int16_t(p.h - last.h), dv = int16_t(p.v - last.v);
        if (constrained) {
            if (record->axis) dv = 0;
            else dh = 0;
        }
        if (!dh && !dv) return false;
        OffsetWire(record->work, dh, dv);
        offset->h = int16_t(offset->h + dh);
        offset->v = int16_t(offset->v + dv);
        last = p;
        moved = true;
        return true;
    });
    return moved && (offset->h || offset->v);
}

int32_t DragBussBreakOut(SheetRecord* sheet, const VXEventRecord* event) {
    const Point click{event->u.mouse.v, event->u.mouse.h};
    void* owner = nullptr;
    const int32_t id = HitTestBreakOut(sheet->breakOutTable, click, kBreakOutSlop, &owner);
    if (id < 0) return 0;
    ClearDrawingSelection(sheet);
    BreakOutRow row{};
    if (!GetBreakOutRow(sheet->breakOutTable, id, &row)) return 1;
    SignalHandle signal = nullptr;
    int32_t end = 0;
    WireHandle wire = GetBreakOutWire(sheet->signalList, id, &signal, &end);
    if (!wire || !signal) return 1;
    WireList list = (*signal)->wires;
    std::vector<WireHandle> order;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) order.push_back(w);
    LLRemoveOrFree(list, wire, nullptr, false);
    if (end) ReverseWire(wire);
    Point next = WireCorners(wire)[(*wire)->cornerCount > 1 ? 1 : 0];
    WireHandle temp = CreateWire(nullptr);
    if (temp) {
        (void)InsertWireCorner(temp, row.first, -1);  // fails only out of memory
        (void)InsertWireCorner(temp, row.second, -1);  // fails only out of memory
        (void)InsertWireCorner(temp, next, -1);  // fails only out of memory
    }
    int32_t busSegment = -1;
    const bool horizontalBus =
        GetBussLineSegWithBreakOut(sheet->breakOutTable, id, 1, false, &busSegment) != nullptr &&
        busSegment >= 0 &&
        IsOrientHorizontal(GetWireSegOrient(
            GetBussLineSegWithBreakOut(sheet->breakOutTable, id, 1, false, &busSegment), busSegment, false));
    VXSetCursor(horizontalBus ? kCursorSegmentMovesH : kCursorSegmentMovesV);
    Point busPoint = row.first, elbow = row.second;
    WireOverlay overlay{sheet, {temp}};
    TrackWithOverlay(sheet, event, 0, &overlay, [&](Point p) {
        Point b = busPoint, e = elbow;
        if (horizontalBus) {
            if (p.v <= b.v - kFlipDistance) e.v = int16_t(b.v - kBreakOutStub);
            else if (p.v >= b.v + kFlipDistance) e.v = int16_t(b.v + kBreakOutStub);
            if (p.h <= e.h - kFlipDistance) b.h = int16_t(e.h - kBreakOutStub);
            else if (p.h >= e.h + kFlipDistance) b.h = int16_t(e.h + kBreakOutStub);
        } else {
            if (p.h <= b.h - kFlipDistance) e.h = int16_t(b.h - kBreakOutStub);
            else if (p.h >= b.h + kFlipDistance) e.h = int16_t(b.h + kBreakOutStub);
            if (p.v <= e.v - kFlipDistance) b.v = int16_t(e.v - kBreakOutStub);
            else if (p.v >= e.v + kFlipDistance) b.v = int16_t(e.v + kBreakOutStub);
        }
        if (SamePt(b, busPoint) && SamePt(e, elbow)) return false;
        busPoint = b;
        elbow = e;
        if (temp) {
            (void)SetWireCorner(temp, 0, busPoint);  // the corner exists
            (void)SetWireCorner(temp, 1, elbow);  // the corner exists
        }
        return true;
    });
    if (temp) DestroyWire(temp);
    Rect area;
    VXSetEmptyRect(&area);
    AddSpan(&area, row.first, row.second, 2);
    const bool elbowChanged = !SamePt(elbow, row.second);
    const bool busChanged = !SamePt(busPoint, row.first);
    if (elbowChanged) {
        row.second = elbow;
        (void)SetWireCorner(wire, 0, elbow);  // the corner exists
        RemoveExtraWireCorners(wire, &area);
        CalcWireBounds(wire);
        AddToUpdateRect(&area, (*wire)->bounds);
        IntegrateWire(wire, list, kIntegrateRecalcBounds, sheet, &area);
        CleanupOwnerWires(signal, kWireOwnerSignal);
    } else {
        if (end) ReverseWire(wire);
        LLRemoveOrFreeAll(list, false);
        for (WireHandle w : order) LLAppend(list, w);
    }
    const Point oldBusPoint = row.first;
    if (busChanged) row.first = busPoint;
    if (elbowChanged || busChanged) {
        PutBreakOut(sheet->breakOutTable, id, row);
        AddSpan(&area, row.first, row.second, 2);
    }
    if (busChanged) AddBussSegment(sheet, row.buss, oldBusPoint, busPoint, &area);
    if (elbowChanged || busChanged) {
        SetSheetModifiedStatus(sheet, kModifiedFlip);
    }
    InvalSheetArea(sheet, area, 2);
    return 1;
}

// ---- Buss undo and break-out owners ----

void CollectUndoAltBuss(SheetRecord* sheet, BussHandle buss) {
    if (!buss || ((*buss)->flags & kBussFlagUndoCollected)) return;
    CollectUndoSwapSheetItem(sheet, kUndoItemBuss, buss);
    (*buss)->flags |= kBussFlagUndoCollected;
}

void ClearBussUndoFlags(SheetRecord* sheet) {
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b)) {
        auto buss = static_cast<BussHandle>(b);
        (*buss)->flags = uint8_t((*buss)->flags & ~kBussFlagUndoCollected);
    }
}

bool IsBreakoutForSignal(SheetRecord* sheet, int32_t row, SignalHandle signal) {
    SignalHandle found = nullptr;
    int32_t end = 0;
    return GetBreakOutWire(sheet->signalList, row, &found, &end) && found == signal;
}

}  // namespace plexa
