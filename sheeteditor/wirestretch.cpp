// Stretching attached wires when items move; see wirestretch.h.
#include "sheeteditor/wirestretch.h"

#include <algorithm>
#include <cstdlib>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wireintegrate.h"
#include "sheeteditor/bussdrag.h"
#include "sheeteditor/dragshared.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetundo.h"

namespace plexa {

namespace {

constexpr uint16_t kStretchMarks = 0x00FC;

WireStretchHooks gHooks;

bool SamePt(Point a, Point b) { return a.h == b.h && a.v == b.v; }

bool IsOrthogonal(int32_t d) { return IsOrientHorizontal(d) || IsOrientVertical(d); }

void MovePoint(Point* p, Point offset, int32_t transform) {
    TransformPointArray(p, 1, offset, transform);
}

uint16_t EndWord(WireHandle wire, int32_t end) { return end ? (*wire)->end1 : (*wire)->end0; }

bool EndAtMovingJunction(WireHandle wire, int32_t end, const std::vector<Point>& junctions) {
    if (!IsWireEndJunction(EndWord(wire, end))) return false;
    Point c{};
    if (!GetWireCorner(wire, end ? -1 : 0, &c)) return false;
    return std::any_of(junctions.begin(), junctions.end(), [&](Point p) { return SamePt(p, c); });
}

bool SideMoves(SheetRecord* sheet, void* owner, int32_t kind, WireHandle wire, int32_t end,
               const std::vector<Point>& junctions) {
    const uint16_t word = EndWord(wire, end);
    if (IsWireEndBreakOut(word)) return IsBreakOutMoving(sheet, word & kWireEndIndexMask);
    if (IsWireEndTerminal(word)) return IsTerminalPinMoving(sheet, owner, kind, wire, end);
    return EndAtMovingJunction(wire, end, junctions);
}

bool IsStraightAtBreakOut(WireHandle wire) {
    return IsStraightWire(wire) && IsWireEndBreakOut((*wire)->end1);
}

void CleanupAfterMove(void* owner, int32_t kind, WireList list) {
    CleanupOwnerWires(owner, kind);
    if (RemoveUndesiredFloats(list)) CleanupOwnerWires(owner, kind);
}

// Moves the affected wires of one signal or buss; whole: every wire moves whole.
void MoveOwnerWires(SheetRecord* sheet, void* owner, int32_t kind, int32_t marked, Point offset,
                    int32_t transform, std::vector<BussSegmentRequest>* requests, Rect* area) {
    WireList list = reinterpret_cast<NetRecordHead*>(*static_cast<Handle>(owner))->wires;
    const int32_t undoKind = kind == kWireOwnerBuss ? kUndoItemBuss : kUndoItemSignal;
    if (marked == kMarkedWhole) {
        Rect before;
        CalcWireListBounds(list, &before);
        AccumulateUpdate(before, area, 2);
        if (kind == kWireOwnerBuss) {
            CollectUndoAltBuss(sheet, static_cast<BussHandle>(owner));
            MarkMovingBreakOuts(sheet, static_cast<BussHandle>(owner), nullptr);
            TransformBuss(static_cast<BussHandle>(owner), offset, transform);
        } else {
            CollectUndoMoveSheetItem(sheet, undoKind, owner, offset, transform);
            TransformSignal(static_cast<SignalHandle>(owner), offset, transform);
        }
        std::vector<TextRecord*> labels = TakeWireLabels(sheet, owner, kind, nullptr, nullptr);
        for (TextRecord* label : labels) MoveWireLabel(sheet, label, offset.h, offset.v, transform, area);
        PutWireLabelsBack(sheet, labels);
        CalcWireListBounds(list, &before);
        AccumulateUpdate(before, area, 2);
        return;
    }
    if (kind == kWireOwnerBuss) CollectUndoAltBuss(sheet, static_cast<BussHandle>(owner));
    else CollectUndoSwapSheetItem(sheet, undoKind, owner);
    std::vector<WireHandle> oneSided, whole;
    std::vector<std::vector<TextRecord*>> oneSidedLabels;
    std::vector<TextRecord*> wholeLabels;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        if (!((*w)->flags & kStretchAffected)) continue;
        if ((*w)->flags & kStretchOneSide) {
            oneSided.push_back(w);
            // The wire was reversed when marked: its labels are found by their segment again.
            oneSidedLabels.push_back(TakeWireLabels(sheet, owner, kind, w, nullptr));
        } else {
            whole.push_back(w);
            std::vector<TextRecord*> labels = TakeWireLabels(sheet, owner, kind, w, nullptr);
            wholeLabels.insert(wholeLabels.end(), labels.begin(), labels.end());
        }
    }
    for (WireHandle w : oneSided) LLRemoveOrFree(list, w, nullptr, false);
    for (WireHandle w : whole) LLRemoveOrFree(list, w, nullptr, false);
    for (size_t i = 0; i < oneSided.size(); ++i) {
        WireHandle w = oneSided[i];
        if (kind == kWireOwnerBuss) {
            // The moving part carries no break-outs: the wire is split beside the first ones.
            auto buss = static_cast<BussHandle>(owner);
            const int32_t segments = std::min(3, CountWireSegments(w));
            for (int32_t n = 0; n < segments; ++n) {
                WireHandle piece = nullptr;
                if (!SplitSegmentAtBreakOut(sheet, buss, w, n, 1, 0, false, &piece)) continue;
                if (piece) IntegrateWire(piece, list, kIntegrateRecalcBounds, sheet, area);
                break;
            }
        }
        MoveOneSide(sheet, owner, kind, w, oneSidedLabels[i], requests, offset, transform, area);
        RemoveExtraWireCorners(w, area);
        CalcWireBounds(w);
        IntegrateWire(w, list, kIntegrateRecalcBounds, sheet, area);
        PutWireLabelsBack(sheet, oneSidedLabels[i]);
    }
    for (WireHandle w : whole) {
        if (kind == kWireOwnerBuss) MarkBreakOutsOnWire(sheet, static_cast<BussHandle>(owner), w);
        MoveWholeWire(sheet, list, w, offset, transform, area);
    }
    for (TextRecord* label : wholeLabels) MoveWireLabel(sheet, label, offset.h, offset.v, transform, area);
    PutWireLabelsBack(sheet, wholeLabels);
    CleanupAfterMove(owner, kind, list);
}

}  // namespace

void SetWireStretchHooks(const WireStretchHooks& hooks) { gHooks = hooks; }
const WireStretchHooks& GetWireStretchHooks() { return gHooks; }

void AccumulateUpdate(const Rect& rect, Rect* area, int16_t grow) {
    if (!area || rect.bottom < rect.top || rect.right < rect.left) return;
    Rect r = rect;
    VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
    AddToUpdateRect(area, r);
}

void MoveWireLabel(SheetRecord* sheet, TextRecord* label, int16_t dh, int16_t dv,
                   int32_t transform, Rect* area) {
    CollectUndoMoveSheetItem(sheet, kUndoItemText, label, Point{dv, dh}, transform);
    AccumulateUpdate(label->bounds, area, 0);
    if (transform) {
        TransformTextElement(label, sheet->window, sheet->stringBlock, Point{dv, dh}, transform);
    } else {
        OffsetTextElement(label, dh, dv);
    }
    AccumulateUpdate(label->bounds, area, 0);
}

bool IsBreakOutMoving(SheetRecord* sheet, int32_t row) {
    BreakOutRow r{};
    return GetBreakOutRow(sheet->breakOutTable, row, &r) && (r.flags & kBreakOutMoved);
}

bool IsTerminalPinMoving(SheetRecord* sheet, void* owner, int32_t kind, WireHandle wire,
                         int32_t end) {
    (void)kind;
    uint16_t node = 0;
    SymbolRecord* symbol = GetWireTerminalPin(wire, owner, end, sheet->symbolList, &node);
    return symbol && (symbol->flags & kSymbolFlagSelected);
}

int32_t IsWireSideAnchored(SheetRecord* sheet, WireHandle wire, int32_t side, void* owner,
                           int32_t kind) {
    const uint16_t word = EndWord(wire, side);
    if (IsWireEndBreakOut(word)) {
        if (IsBreakOutMoving(sheet, word & kWireEndIndexMask)) return 0;
        return IsStraightWire(wire) ? 2 : 1;
    }
    if (IsWireEndTerminal(word)) return IsTerminalPinMoving(sheet, owner, kind, wire, side) ? 0 : 1;
    return 0;
}

int32_t MarkMovingWires(SheetRecord* sheet, void* owner, int32_t kind,
                        const std::vector<Point>& junctions) {
    WireList list = reinterpret_cast<NetRecordHead*>(*static_cast<Handle>(owner))->wires;
    int32_t result = 0;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        uint16_t flags = uint16_t((*w)->flags & ~kStretchMarks);
        const bool attached = !IsWireEndFree((*w)->end0) && !IsWireEndFree((*w)->end1);
        flags |= attached ? kStretchWasAttached : kStretchHadFree;
        (*w)->flags = flags;
        if (flags & kWireFlagSelected) {
            const int32_t a0 = IsWireSideAnchored(sheet, w, 0, owner, kind);
            const int32_t a1 = IsWireSideAnchored(sheet, w, 1, owner, kind);
            if (a0 == 2 && a1 == 2) {
                // Held at both ends by break-outs that stay: the wire stays too.
                result |= kMarkedUntouched;
                continue;
            }
            (*w)->flags |= kStretchAffected;
            if (a0 == 2 || a1 == 2) {
                if (a0 == 2) ReverseWire(w);
                (*w)->flags |= kStretchOneSide;
                result |= kMarkedOneSide;
                continue;
            }
            if (a0 == 1) (*w)->flags |= kStretchFirstAnchored;
            if (a1 == 1) (*w)->flags |= kStretchLastAnchored;
            result |= kMarkedWhole;
            continue;
        }
        const bool m0 = SideMoves(sheet, owner, kind, w, 0, junctions);
        const bool m1 = SideMoves(sheet, owner, kind, w, 1, junctions);
        if (!m0 && !m1) {
            result |= kMarkedUntouched;
            continue;
        }
        (*w)->flags |= kStretchAffected;
        if (m0 && m1) {
            result |= kMarkedWhole;
            continue;
        }
        const int32_t freeEnd = m0 ? 1 : 0;
        const int32_t segments = CountWireSegments(w);
        bool whole = false;
        if (IsWireEndFree(EndWord(w, freeEnd))) {
            const int32_t d = GetWireSegOrient(w, freeEnd ? -1 : 0, false);
            whole = segments == 1 || (segments == 2 && IsOrientSlanted(d));
            if (kind == kWireOwnerBuss &&
                BussLineHasBreakOuts(sheet->breakOutTable, static_cast<BussHandle>(owner), w))
                whole = false;
        }
        if (whole) {
            result |= kMarkedWhole;
            continue;
        }
        if (m1) ReverseWire(w);
        (*w)->flags |= kStretchOneSide;
        result |= kMarkedOneSide;
    }
    return result;
}

void MoveOneSide(SheetRecord* sheet, void* owner, int32_t kind, WireHandle wire,
                 const std::vector<TextRecord*>& labels,
                 std::vector<BussSegmentRequest>* requests, Point offset, int32_t transform,
                 Rect* area) {
    CalcWireBounds(wire);
    AccumulateUpdate((*wire)->bounds, area, 2);
    const int32_t first = GetWireSegOrient(wire, 0, false);
    const bool orthogonal = gHooks.orthogonalRubberband && gHooks.orthogonalRubberband();
    if (transform || (first > 8) || !orthogonal) {
        MovePoint(&WireCorners(wire)[0], offset, transform);
        CalcWireBounds(wire);
        AccumulateUpdate((*wire)->bounds, area, 2);
        return;
    }
    const bool straightAtBreakOut = IsStraightAtBreakOut(wire);
    int32_t d;
    const Point c0 = WireCorners(wire)[0];
    const int32_t byOffset = offset.v < offset.h ? 2 : 0;
    if (CountWireSegments(wire) == 1 && IsWireEndJunction((*wire)->end0) && !straightAtBreakOut) {
        (void)InsertWireCorner(wire, c0, 0);  // fails only out of memory
        d = IsOrthogonal(first) ? (first ^ 2) : byOffset;
        (void)InsertWireCorner(wire, c0, 1);  // fails only out of memory
    } else if (IsOrthogonal(first)) {
        d = first;
    } else if (IsWireEndTerminal((*wire)->end0) &&
               GetTerminalPinOrient(sheet, owner, wire, 0) != kOrientNull) {
        // The first leg leaves the pin the way the pin points.
        d = GetTerminalPinOrient(sheet, owner, wire, 0);
        (void)InsertWireCorner(wire, c0, 1);  // fails only out of memory
    } else if (straightAtBreakOut) {
        d = byOffset;
    } else {
        d = byOffset;
        (void)InsertWireCorner(wire, c0, 1);  // fails only out of memory
    }
    if (CountWireSegments(wire) == 1 && !straightAtBreakOut) {
        const Point last = WireCorners(wire)[1];
        if (!IsWireEndJunction((*wire)->end1) && !IsWireEndFree((*wire)->end1)) {
            Point middle;
            if (IsOrientHorizontal(d)) {
                middle = SnapToSheetGrid(sheet, Point{last.v, int16_t((c0.h + last.h) / 2)});
                middle.v = last.v;
            } else {
                middle = SnapToSheetGrid(sheet, Point{int16_t((c0.v + last.v) / 2), last.h});
                middle.h = last.h;
            }
            (void)InsertWireCorner(wire, middle, 1);  // fails only out of memory
            (void)InsertWireCorner(wire, middle, 1);  // fails only out of memory
        } else {
            (void)InsertWireCorner(wire, last, 1);  // fails only out of memory
        }
    }
    Point reduced = offset;
    if (IsOrientHorizontal(d)) reduced.h = 0;
    else reduced.v = 0;
    // A buss diagonal after the first leg keeps its 45 degrees: a short leg takes up the move.
    const int32_t second = GetWireSegOrient(wire, 1, false);
    const bool keepDiagonal = kind == kWireOwnerBuss && CountWireSegments(wire) >= 2 &&
                              IsOrientExact(second) && IsOrientSlanted(second) &&
                              (CountWireSegments(wire) > 2 || !IsWireEndFree((*wire)->end1));
    Point* c1 = &WireCorners(wire)[1];
    c1->h = int16_t(c1->h + reduced.h);
    c1->v = int16_t(c1->v + reduced.v);
    if (keepDiagonal) {
        const Point c2 = WireCorners(wire)[2];
        (void)InsertWireCorner(wire, Point{int16_t(c2.v + reduced.v), int16_t(c2.h + reduced.h)}, 2);  // fails only out of memory
    }
    for (TextRecord* label : labels) MoveWireLabel(sheet, label, reduced.h, reduced.v, 0, area);
    if (straightAtBreakOut && kind == kWireOwnerSignal)
        MoveWiresBreakOut(sheet, static_cast<SignalHandle>(owner), wire, nullptr, 1, requests,
                          reduced, area);
    Point* corner0 = &WireCorners(wire)[0];
    corner0->h = int16_t(corner0->h + offset.h);
    corner0->v = int16_t(corner0->v + offset.v);
    CalcWireBounds(wire);
    AccumulateUpdate((*wire)->bounds, area, 2);
}

void MoveWholeWire(SheetRecord* sheet, WireList list, WireHandle wire, Point offset,
                   int32_t transform, Rect* area) {
    CalcWireBounds(wire);
    AccumulateUpdate((*wire)->bounds, area, 2);
    const int32_t count = (*wire)->cornerCount;
    const uint16_t flags = (*wire)->flags;
    for (int32_t i = 0; i < count; ++i) {
        if (i == 0 && (flags & kStretchFirstAnchored)) continue;
        if (i == count - 1 && (flags & kStretchLastAnchored)) continue;
        MovePoint(&WireCorners(wire)[i], offset, transform);
    }
    RemoveExtraWireCorners(wire, area);
    CalcWireBounds(wire);
    AccumulateUpdate((*wire)->bounds, area, 2);
    IntegrateWire(wire, list, kIntegrateRecalcBounds, sheet, area);
}

bool RemoveUndesiredFloats(WireList list) {
    std::vector<WireHandle> going;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        const uint16_t e0 = (*w)->end0, e1 = (*w)->end1;
        if (!((*w)->flags & kStretchWasAttached)) continue;
        if (!IsWireEndFree(e0) && !IsWireEndFree(e1)) continue;
        const bool onlyLoose = (IsWireEndJunction(e0) || IsWireEndFree(e0)) &&
                               (IsWireEndJunction(e1) || IsWireEndFree(e1));
        if (onlyLoose) going.push_back(w);
    }
    for (WireHandle w : going) RemoveWireFromOwner(list, w);
    return !going.empty();
}

void MoveSignalWires(SheetRecord* sheet, Point offset, int32_t transform, Rect* area) {
    std::vector<BussSegmentRequest> requests;
    std::vector<SignalHandle> signals;
    for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
        signals.push_back(static_cast<SignalHandle>(s));
    for (SignalHandle signal : signals) {
        std::vector<Point> junctions;
        WireList list = (*signal)->wires;
        for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
            if (!((*w)->flags & kWireFlagSelected)) continue;
            Point c{};
            if (IsWireEndJunction((*w)->end0) && GetWireCorner(w, 0, &c)) junctions.push_back(c);
            if (IsWireEndJunction((*w)->end1) && GetWireCorner(w, -1, &c)) junctions.push_back(c);
        }
        const int32_t marked = MarkMovingWires(sheet, signal, kWireOwnerSignal, junctions);
        if (!(marked & (kMarkedWhole | kMarkedOneSide))) continue;
        MoveOwnerWires(sheet, signal, kWireOwnerSignal, marked, offset, transform, &requests, area);
        CacheSignalJunctionDots(signal);
        CalcSignalBounds(signal);
    }
    for (const BussSegmentRequest& r : requests) AddBussSegment(sheet, r.buss, r.from, r.to, area);
}

void MoveBussWires(SheetRecord* sheet, Point offset, int32_t transform, Rect* area) {
    std::vector<BussHandle> busses;
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b))
        busses.push_back(static_cast<BussHandle>(b));
    for (BussHandle buss : busses) {
        if ((*buss)->flags & kBussFlagUndoCollected) continue;
        const int32_t marked = MarkMovingWires(sheet, buss, kWireOwnerBuss, {});
        if (!(marked & (kMarkedWhole | kMarkedOneSide))) continue;
        MoveOwnerWires(sheet, buss, kWireOwnerBuss, marked, offset, transform, nullptr, area);
        CalcBussBounds(buss);
    }
}

}  // namespace plexa
