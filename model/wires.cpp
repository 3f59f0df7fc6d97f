// Wire lists and junctions; see wires.h.
#include "model/wires.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "foundation/assert.h"
#include "foundation/chunky.h"
#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "model/sheetindex.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/modelstate.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa {

MemPool gWiresPool = nullptr;
WireHandle& gReferenceWire = gModelState.referenceWire;

namespace {

constexpr uint32_t kWiresPoolPageSize = 65536;
constexpr uintptr_t kOwnerBussBit = 1;

Handle AsHandle(WireHandle wire) { return reinterpret_cast<Handle>(wire); }

bool SamePoint(Point a, Point b) { return a.v == b.v && a.h == b.h; }

// Resizes the wire to hold `corners` corners; false (unchanged) when memory fails.
bool ResizeWire(WireHandle wire, int32_t corners) {
    if (!ResizeHandle(AsHandle(wire), kWireHeadSize + uint32_t(corners) * sizeof(Point)))
        return false;
    (*wire)->cornerCount = uint16_t(corners);
    return true;
}

Point LastCorner(WireHandle wire) { return WireCorners(wire)[(*wire)->cornerCount - 1]; }

// The rectangle spanned by two points, bottom and right one past them.
Rect SegmentRect(Point p0, Point p1) {
    Rect r;
    VXPt2Rect(p0, p1, &r);
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    return r;
}

Rect PointBox(Point p, int16_t radius) {
    return Rect{int16_t(p.v - radius), int16_t(p.h - radius), int16_t(p.v + radius),
                int16_t(p.h + radius)};
}

uint32_t PointKey(Point p) { return (uint32_t(uint16_t(p.v)) << 16) | uint16_t(p.h); }

}  // namespace

void AddToUpdateRect(Rect* rect, const Rect& r) {
    if (!rect || VXEmptyRect(&r)) return;
    if (VXEmptyRect(rect)) {
        *rect = r;
    } else {
        VXUnionRect(rect, &r, rect);
    }
}

OSStatus InitWiresPool() {
    if (gWiresPool) return status::kNoErr;
    gWiresPool = CreatePool(kWiresPoolPageSize);
    return gWiresPool ? status::kNoErr : status::kOutOfMemory;
}

// ---- Records and lists ----

WireList CreateWireList(void* owner, int32_t kind) {
    if (InitWiresPool() != status::kNoErr) return nullptr;
    WireList list = LLCreate(gWiresPool, kWireHeadSize, kLLHandles);
    if (!list) return nullptr;
    if (owner) {
        list->owner = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(owner) |
                                              (kind == 2 ? kOwnerBussBit : 0));
    }
    return list;
}

void DestroyWireList(WireList list) { LLDispose(list, true); }

void* GetWireListOwner(WireList list, int32_t* kind) {
    const uintptr_t word = list ? reinterpret_cast<uintptr_t>(list->owner) : 0;
    void* owner = reinterpret_cast<void*>(word & ~kOwnerBussBit);
    if (kind) *kind = owner ? ((word & kOwnerBussBit) ? 2 : 1) : 0;
    return owner;
}

WireHandle CreateWire(WireList list) {
    if (InitWiresPool() != status::kNoErr) return nullptr;
    auto wire = reinterpret_cast<WireHandle>(AllocHandleClear(gWiresPool, kWireHeadSize));
    if (!wire) return nullptr;
    (*wire)->end0 = kWireEndFree;
    (*wire)->end1 = kWireEndFree;
    VXSetEmptyRect(&(*wire)->bounds);
    if (list) LLPush(list, wire);
    return wire;
}

void DestroyWire(WireHandle wire) {
    if (wire) MemFree(AsHandle(wire));
}

WireHandle DuplicateWire(WireHandle wire) {
    if (!wire || InitWiresPool() != status::kNoErr) return nullptr;
    auto copy = reinterpret_cast<WireHandle>(CloneHandle(gWiresPool, AsHandle(wire)));
    if (copy) (*copy)->link = nullptr;
    return copy;
}

bool GetWireTerminalEntry(WireHandle wire, void* owner, int32_t end, uint32_t* serial, uint16_t* node) {
    if (!wire || !owner) return false;
    const uint16_t word = end ? (*wire)->end1 : (*wire)->end0;
    if (!IsWireEndTerminal(word)) return false;
    if ((*wire)->flags & kWireFlagBuss) {
        BussTerminal terminal;
        if (!GetBussPinTerminal(static_cast<BussHandle>(owner), word, &terminal)) return false;
        *serial = terminal.serial;
        *node = terminal.node;
    } else {
        SignalPinEntry entry;
        if (!GetSignalPinTerminal(static_cast<SignalHandle>(owner), word, &entry)) return false;
        *serial = entry.serial;
        *node = entry.node;
    }
    return true;
}

SymbolRecord* GetWireTerminalPin(WireHandle wire, void* owner, int32_t end,
                                 LinkListHeader* symbolList, uint16_t* node) {
    if (node) *node = 0xFFFF;
    uint32_t serial = 0;
    uint16_t pin = 0;
    if (!GetWireTerminalEntry(wire, owner, end, &serial, &pin)) return nullptr;
    SymbolRecord* symbol = RetrieveSerializedSymbol(symbolList, serial);
    if (symbol && node) *node = pin;
    return symbol;
}

// ---- Corners and segments ----

Point* GetWireCorner(WireHandle wire, int32_t n, Point* pt) {
    if (!wire) return nullptr;
    const int32_t count = (*wire)->cornerCount;
    if (n < 0) n = count - 1;
    if (n < 0 || n >= count) return nullptr;
    Point* corner = &WireCorners(wire)[n];
    if (pt) *pt = *corner;
    return corner;
}

bool SetWireCorner(WireHandle wire, int32_t n, Point pt) {
    Point* corner = GetWireCorner(wire, n, nullptr);
    if (corner) *corner = pt;
    return corner != nullptr;
}

bool InsertWireCorner(WireHandle wire, Point pt, int32_t n) {
    if (!wire) return false;
    const int32_t count = (*wire)->cornerCount;
    if (count >= 0xFFFF) return false;
    if (n < 0 || n > count) n = count;
    if (!ResizeWire(wire, count + 1)) return false;
    Point* corners = WireCorners(wire);
    std::memmove(corners + n + 1, corners + n, sizeof(Point) * size_t(count - n));
    corners[n] = pt;
    return true;
}

void RemoveWireCorners(WireHandle wire, int32_t first, int32_t count) {
    if (!wire || count <= 0) return;
    const int32_t corners = (*wire)->cornerCount;
    if (first < 0 || first >= corners) return;
    count = std::min(count, corners - first);
    Point* c = WireCorners(wire);
    std::memmove(c + first, c + first + count, sizeof(Point) * size_t(corners - first - count));
    ResizeWire(wire, corners - count);  // shrinking cannot fail
}

int32_t CountWireSegments(WireHandle wire) {
    return wire ? std::max(0, int32_t((*wire)->cornerCount) - 1) : 0;
}

bool GetWireSegment(WireHandle wire, int32_t n, Point p0p1[2]) {
    const int32_t segments = CountWireSegments(wire);
    if (n < 0) n = segments - 1;
    if (n < 0 || n >= segments) return false;
    p0p1[0] = WireCorners(wire)[n];
    p0p1[1] = WireCorners(wire)[n + 1];
    return true;
}

int32_t GetWireSegOrient(WireHandle wire, int32_t n, bool reverse) {
    Point p[2];
    if (!GetWireSegment(wire, n, p)) return kOrientNull;
    const int32_t code = CalcLineOrient(p[0], p[1]);
    return reverse && code != kOrientNull ? code ^ 4 : code;
}

void DeleteWireSegments(WireHandle wire, int32_t first, int32_t last) {
    const int32_t segments = CountWireSegments(wire);
    if (segments == 0) return;
    last = std::min(last, segments - 1);
    if (first < 1) {
        if (last >= 0) RemoveWireCorners(wire, 0, last + 1);
    } else if (first <= last) {
        RemoveWireCorners(wire, first + 1, last - first + 1);
    }
}

void OffsetWire(WireHandle wire, int16_t dh, int16_t dv) {
    if (!wire) return;
    VXOffsetPoints(WireCorners(wire), (*wire)->cornerCount, dh, dv);
    if (!VXEmptyRect(&(*wire)->bounds)) VXOffsetRect(&(*wire)->bounds, dh, dv);
    if (dh || dv) NoteSheetWireChanged();
}

void TransformPointArray(Point* points, int32_t count, Point centre, int32_t code) {
    if (count <= 0) return;
    if (code == 0) {
        VXOffsetPoints(points, count, centre.h, centre.v);
        return;
    }
    VXOffsetPoints(points, count, int16_t(-centre.h), int16_t(-centre.v));
    VXTransformPoints(code, points, count);
    VXOffsetPoints(points, count, centre.h, centre.v);
}

void TransformWire(WireHandle wire, Point centre, int32_t code) {
    if (!wire) return;
    TransformPointArray(WireCorners(wire), (*wire)->cornerCount, centre, code);
    CalcWireBounds(wire);
}

void TransformWireList(WireList list, Point centre, int32_t code) {
    const SheetNetScope scope(GetWireListOwner(list, nullptr));
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) TransformWire(w, centre, code);
}

int32_t CalcLineOrient(Point p0, Point p1) {
    const int32_t dv = p1.v - p0.v, dh = p1.h - p0.h;
    if (dv == 0 && dh == 0) return kOrientNull;
    if (dh == 0) return dv < 0 ? 0 : 4;
    if (dv == 0) return dh > 0 ? 2 : 6;
    int32_t code = 1 + 2 * ((dv > 0) == (dh > 0) ? 1 : 0) + 8 * (std::abs(dv) != std::abs(dh));
    if (dh < 0) code += 4;
    return code;
}

int32_t CalcClosestLineOrient(Point p0, Point p1, bool orthogonalOnly) {
    const int32_t code = CalcLineOrient(p0, p1);
    if (code <= kOrientNull) return code;
    const int32_t dh = p1.h - p0.h, dv = p1.v - p0.v;
    const int32_t adh = std::abs(dh), adv = std::abs(dv);
    const int32_t horizontal = dh > 0 ? 2 : 6, vertical = dv < 0 ? 0 : 4;
    if (orthogonalOnly) return adh > adv ? horizontal : vertical;
    if (adh > adv) return adv < adh / 2 ? horizontal : (code & 7);
    return adh >= adv / 2 ? (code & 7) : vertical;
}

int32_t GetClosestSegSide(WireHandle wire, int32_t firstCorner, Point pt, Point* corner,
                          uint16_t* distance) {
    Point p[2];
    if (firstCorner < 0 || !GetWireSegment(wire, firstCorner, p)) return -1;
    auto measure = [pt](Point c) -> int32_t {
        const int32_t dh = std::abs(pt.h - c.h), dv = std::abs(pt.v - c.v);
        if (dh && dv) return int32_t(std::lround(std::sqrt(double(dh) * dh + double(dv) * dv)));
        return dh + dv;
    };
    const int32_t d0 = measure(p[0]), d1 = measure(p[1]);
    const int32_t side = d1 < d0 ? 1 : 0;
    if (corner) *corner = p[side];
    if (distance) *distance = uint16_t(std::min(side ? d1 : d0, 0xFFFF));
    return firstCorner + side;
}

void ReverseWire(WireHandle wire) {
    if (!wire) return;
    Point* c = WireCorners(wire);
    std::reverse(c, c + (*wire)->cornerCount);
    std::swap((*wire)->end0, (*wire)->end1);
}

bool IsNullLengthWire(WireHandle wire) {
    return wire && (*wire)->cornerCount == 2 && SamePoint(WireCorners(wire)[0], WireCorners(wire)[1]);
}

// ---- Edits ----

bool RemoveExtraWireCorners(WireHandle wire, Rect* updateRect) {
    if (CountWireSegments(wire) < 2) return false;
    bool changed = false;
    int32_t i = 0;
    while (i < CountWireSegments(wire) - 1) {
        if (GetWireSegOrient(wire, i, false) == kOrientNull) {
            RemoveWireCorners(wire, i + 1, 1);
            changed = true;
            i = std::max(i - 1, 0);
            continue;
        }
        ++i;
        const int32_t before = GetWireSegOrient(wire, i - 1, false);
        const int32_t code = GetWireSegOrient(wire, i, false);
        if (IsOrientExact(before) && (before & 11) == (code & 11)) {
            const Point* c = WireCorners(wire);
            Rect r = SegmentRect(c[i - 1], c[i]);
            const Rect r2 = SegmentRect(c[i], c[i + 1]);
            VXUnionRect(&r, &r2, &r);
            VXInsetRect(&r, -2, -2);
            AddToUpdateRect(updateRect, r);
            RemoveWireCorners(wire, i, 1);
            changed = true;
            i = std::max(i - 1, 0);
        }
    }
    const int32_t segments = CountWireSegments(wire);
    if (i != 0 && i < segments && GetWireSegOrient(wire, i, false) == kOrientNull) {
        RemoveWireCorners(wire, i, 1);
        changed = true;
    }
    return changed;
}

void CalcWireBounds(WireHandle wire) {
    if (!wire) return;
    WireRecord* w = *wire;
    if (w->cornerCount < 2) {
        VXSetEmptyRect(&w->bounds);
        return;
    }
    Rect r;
    VXGetPointsBounds(WireCorners(wire), w->cornerCount, &r);
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    if (w->flags & kWireFlagBuss) {
        VXInsetRect(&r, -1, -1);
    } else {
        if (IsWireEndBreakOut(w->end0)) {
            const Rect box = PointBox(WireCorners(wire)[0], 9);
            VXUnionRect(&r, &box, &r);
        }
        if (IsWireEndBreakOut(w->end1)) {
            const Rect box = PointBox(LastCorner(wire), 9);
            VXUnionRect(&r, &box, &r);
        }
    }
    NoteSheetWireBounds((*wire)->bounds, r);
    (*wire)->bounds = r;
}

WireHandle SplitWire(WireHandle wire, int32_t n, Point pt, bool checkJunctions) {
    const int32_t segments = CountWireSegments(wire);
    if (n < 0 || n >= segments) return nullptr;
    if (checkJunctions) {
        if (n == 0 && IsWireEndJunction((*wire)->end0) && SamePoint(WireCorners(wire)[0], pt))
            return nullptr;
        if (n == segments - 1 && IsWireEndJunction((*wire)->end1) &&
            SamePoint(LastCorner(wire), pt))
            return nullptr;
    }
    if (!InsertWireCorner(wire, pt, n + 1)) return nullptr;
    WireHandle copy = DuplicateWire(wire);
    if (!copy) {
        RemoveWireCorners(wire, n + 1, 1);
        return nullptr;
    }
    DeleteWireSegments(copy, 0, n);
    RemoveExtraWireCorners(copy, nullptr);
    (*copy)->end0 = kWireEndJunction;
    CalcWireBounds(copy);
    RemoveWireCorners(wire, n + 2, 0xFFFF);
    RemoveExtraWireCorners(wire, nullptr);
    (*wire)->end1 = kWireEndJunction;
    CalcWireBounds(wire);
    if ((*wire)->cornerCount == 2 && SamePoint(WireCorners(wire)[0], WireCorners(wire)[1])) {
        (*wire)->flags &= uint16_t(~kWireFlagSelected);
    } else {
        (*copy)->flags &= uint16_t(~kWireFlagSelected);
    }
    return copy;
}

WireHandle JoinWires(WireList list, WireHandle a, WireHandle b, Point pt) {
    if (!a || !b) return nullptr;
    if (a == b) {
        (*a)->end0 = kWireEndFree;
        (*a)->end1 = kWireEndFree;
        const int32_t segments = CountWireSegments(a);
        const int32_t first = GetWireSegOrient(a, 0, false);
        if (segments >= 2 && IsOrientExact(first) && first == GetWireSegOrient(a, -1, false)) {
            // Corners c0 .. c(n-1) with c(n-1) = c0 become c1 .. c(n-2), c1.
            const int32_t n = (*a)->cornerCount;
            Point* c = WireCorners(a);
            const Point newFirst = c[1];
            std::memmove(c, c + 1, sizeof(Point) * size_t(n - 2));
            c[n - 2] = newFirst;
            ResizeWire(a, n - 1);  // shrinking cannot fail
        }
        return nullptr;
    }
    auto endsAt = [pt](WireHandle w) {
        return IsWireEndJunction((*w)->end1) && SamePoint(LastCorner(w), pt);
    };
    const bool aEnds = endsAt(a), bEnds = endsAt(b);
    WireHandle head = a, tail = b;
    if (aEnds && bEnds) {
        ReverseWire(b);
    } else if (!aEnds && !bEnds) {
        ReverseWire(a);
    } else if (bEnds) {
        head = b;
        tail = a;
    }
    const int32_t headCorners = (*head)->cornerCount;
    const int32_t tailCorners = (*tail)->cornerCount;
    const int32_t taken = std::max(0, tailCorners - 1);
    if (headCorners + taken > 0xFFFF || !ResizeWire(head, headCorners + taken)) return nullptr;
    std::memcpy(WireCorners(head) + headCorners, WireCorners(tail) + 1,
                sizeof(Point) * size_t(taken));
    (*head)->flags |= uint16_t((*tail)->flags & (kWireFlagJoinMarks | kWireFlagSelected));
    (*head)->end1 = (*tail)->end1;
    RemoveExtraWireCorners(head, nullptr);
    CalcWireBounds(head);
    LLRemoveOrFree(list, tail, nullptr, true);
    return head;
}

// ---- Junctions ----

namespace {

constexpr int32_t kJunctionGrowth = 8;

// Fills the first empty slot of the row; a full row gets the dot.
void AddToJunctionRow(JunctionRow* row, WireHandle wire) {
    if (row->dot) return;
    if (!row->first) {
        row->first = wire;
    } else if (!row->second) {
        row->second = wire;
    } else {
        row->dot = 1;
    }
}

JunctionRow* AppendJunctionRow(JunctionTable table, Point pt) {
    int32_t index = -1;
    auto* row = static_cast<JunctionRow*>(VXChunkyAlloc(table, 1, &index));
    if (!row) return nullptr;
    *row = JunctionRow{pt, nullptr, nullptr, uint16_t(index), 0};
    return row;
}

}  // namespace

JunctionTable CollectWireListJunctions(WireList list) {
    JunctionTable table = VXCreateChunkyBlock(gGenPool, sizeof(JunctionRow), kJunctionGrowth, 0);
    if (!table) return nullptr;
    std::unordered_map<uint32_t, int32_t> rows;
    auto contribute = [&](WireHandle wire, Point pt) {
        auto found = rows.find(PointKey(pt));
        JunctionRow* row = nullptr;
        if (found != rows.end()) {
            row = VXChunkyItemAs<JunctionRow>(table, uint32_t(found->second));
        } else if ((row = AppendJunctionRow(table, pt))) {
            rows.emplace(PointKey(pt), row->index);
        }
        if (row) AddToJunctionRow(row, wire);
    };
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        if ((*w)->cornerCount == 0) continue;
        if (IsWireEndJunction((*w)->end0)) contribute(w, WireCorners(w)[0]);
        if (IsWireEndJunction((*w)->end1)) contribute(w, LastCorner(w));
    }
    return table;
}

void CollectJunction(JunctionTable table, WireHandle wire, Point pt) {
    if (!table) return;
    const int32_t count = CountJunctionRows(table);
    for (int32_t i = 0; i < count; ++i) {
        JunctionRow* row = &JunctionRows(table)[i];
        if (SamePoint(row->pt, pt)) {
            AddToJunctionRow(row, wire);
            return;
        }
    }
    if (JunctionRow* row = AppendJunctionRow(table, pt)) AddToJunctionRow(row, wire);
}

void DestroyJunctionTable(JunctionTable table) { VXDestroyChunkyBlock(table); }

int32_t CountJunctionRows(JunctionTable table) { return int32_t(VXChunkyCount(table)); }

JunctionRow* JunctionRows(JunctionTable table) {
    return reinterpret_cast<JunctionRow*>(*table + sizeof(VXChunkyHeaderTag));
}

void UpdateJunctionTable(JunctionRow* rows, int32_t count, WireHandle oldWire,
                         WireHandle newWire) {
    for (int32_t i = 0; i < count; ++i) {
        if (rows[i].first == oldWire) rows[i].first = newWire;
        if (rows[i].second == oldWire) rows[i].second = newWire;
    }
}

// ---- Clean-up ----

void RemoveExtraWires(WireList list, Rect* rect) {
    WireHandle previous = nullptr;
    WireHandle w = FirstWire(list);
    while (w) {
        WireHandle next = NextWire(list, w);
        if (IsNullLengthWire(w) && ((*w)->end0 & kWireEndJunction) &&
            ((*w)->end1 & kWireEndJunction)) {
            AddToUpdateRect(rect, PointBox(WireCorners(w)[0], 3));
            if (w == gReferenceWire) gReferenceWire = nullptr;
            LLRemoveOrFree(list, w, previous, true);
        } else {
            previous = w;
        }
        w = next;
    }
}

void RemoveExtraJunctions(WireList list, Rect* rect) {
    JunctionTable table = CollectWireListJunctions(list);
    if (!table) return;
    const int32_t count = CountJunctionRows(table);
    for (int32_t i = 0; i < count; ++i) {
        JunctionRow row = JunctionRows(table)[i];
        if (row.dot || !row.first) continue;
        if (row.second) {
            AddToUpdateRect(rect, PointBox(row.pt, 3));
            WireHandle survivor = JoinWires(list, row.first, row.second, row.pt);
            if (!survivor) continue;
            WireHandle absorbed = survivor == row.first ? row.second : row.first;
            if (gReferenceWire == absorbed) gReferenceWire = survivor;
            UpdateJunctionTable(JunctionRows(table) + i + 1, count - i - 1, absorbed, survivor);
            continue;
        }
        WireHandle w = row.first;
        if (IsWireEndJunction((*w)->end0) && SamePoint(WireCorners(w)[0], row.pt)) {
            (*w)->end0 = kWireEndFree;
        } else {
            (*w)->end1 = kWireEndFree;
        }
        if (IsNullLengthWire(w)) {
            if (gReferenceWire == w) gReferenceWire = nullptr;
            UpdateJunctionTable(JunctionRows(table) + i + 1, count - i - 1, w, nullptr);
            RemoveWireFromOwner(list, w);
        }
    }
    DestroyJunctionTable(table);
}

WireHandle CleanupWireList(WireList list, WireHandle referenceWire, Rect* rect) {
    const SheetNetScope scope(GetWireListOwner(list, nullptr));
    gReferenceWire = referenceWire;
    RemoveExtraWires(list, rect);
    RemoveExtraJunctions(list, rect);
    WireHandle result = gReferenceWire;
    gReferenceWire = nullptr;
    return result;
}

void RemoveWireFromOwner(WireList list, WireHandle wire) {
    int32_t kind = 0;
    void* owner = GetWireListOwner(list, &kind);
    if (kind == 1) {
        RemoveWireFromSignal(static_cast<SignalHandle>(owner), wire, true);
    } else if (kind == 2) {
        RemoveWireFromBuss(static_cast<BussHandle>(owner), wire, true);
    } else {
        LLRemoveOrFree(list, wire, nullptr, true);
    }
}

bool FixSnippedSignal(SheetRecord* sheet, void* owner, Rect* rect) {
    auto signal = static_cast<SignalHandle>(owner);
    if (!signal) return false;
    const SheetNetScope scope(signal);
    WireList list = (*signal)->wires;
    if (JunctionTable table = CollectWireListJunctions(list)) {
        const int32_t count = CountJunctionRows(table);
        for (int32_t i = 0; i < count; ++i) {
            const JunctionRow& row = JunctionRows(table)[i];
            if (!row.first || row.second || !IsNullLengthWire(row.first)) continue;
            WireRecord* w = *row.first;
            if (IsWireEndTerminal(w->end0)) {
                w->end1 = kWireEndFree;
            } else if (IsWireEndTerminal(w->end1)) {
                w->end0 = kWireEndFree;
            }
        }
        DestroyJunctionTable(table);
    }
    bool lengthened = false;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        if (!IsNullLengthWire(w)) continue;
        const uint16_t e0 = (*w)->end0, e1 = (*w)->end1;
        if (!((IsWireEndFree(e0) && IsWireEndTerminal(e1)) ||
              (IsWireEndFree(e1) && IsWireEndTerminal(e0))))
            continue;
        FixNullWire(sheet, w, signal, 1);
        CalcWireBounds(w);
        AddToUpdateRect(rect, (*w)->bounds);
        lengthened = true;
    }
    return lengthened;
}

void FixNullWire(SheetRecord* sheet, WireHandle wire, void* owner, int32_t ownerKind) {
    if (!wire || (*wire)->cornerCount < 2) return;
    const bool moveLast = !IsWireEndTerminal((*wire)->end1) && IsWireEndTerminal((*wire)->end0);
    const int32_t moved = moveLast ? 1 : 0;
    const int32_t pinEnd = 1 - moved;
    int32_t dh = 9, dv = 0;
    if (sheet) {
        const int32_t step = sheet->view.gridSpacing > 0 ? sheet->view.gridSpacing : 9;
        int32_t orient = 0;
        uint16_t node = 0xFFFF;
        if (ownerKind != 0) {
            SymbolRecord* symbol =
                GetWireTerminalPin(wire, owner, pinEnd, sheet->symbolList, &node);
            if (symbol) orient = GetNodeInstanceOrient(sheet, symbol, node);
        }
        dh = step;
        dv = 0;
        if (orient == 2) {
            dh = 0, dv = -step;
        } else if (orient == 3) {
            dh = -step;
        } else if (orient == 4) {
            dh = 0, dv = step;
        }
    }
    Point* corner = GetWireCorner(wire, moved, nullptr);
    corner->h = int16_t(corner->h + dh);
    corner->v = int16_t(corner->v + dv);
}

// ---- Connectivity ----

namespace {

// The wires of a list by the points of their junction ends, in list order.
class JunctionEnds {
public:
    explicit JunctionEnds(WireList list) {
        for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
            if ((*w)->cornerCount == 0) continue;
            if (IsWireEndJunction((*w)->end1)) Add(LastCorner(w), w);
            if (IsWireEndJunction((*w)->end0) &&
                !(IsWireEndJunction((*w)->end1) && SamePoint(LastCorner(w), WireCorners(w)[0])))
                Add(WireCorners(w)[0], w);
        }
    }
    const std::vector<WireHandle>* At(Point pt) const {
        auto found = ends_.find(PointKey(pt));
        return found == ends_.end() ? nullptr : &found->second;
    }

private:
    void Add(Point pt, WireHandle w) { ends_[PointKey(pt)].push_back(w); }
    std::unordered_map<uint32_t, std::vector<WireHandle>> ends_;
};

void Mark(WireHandle w) { (*w)->flags |= kWireFlagMarked; }
bool IsMarked(WireHandle w) { return ((*w)->flags & kWireFlagMarked) != 0; }

// Marks everything reachable from the wire's side through junction ends at equal points.
void Traverse(const JunctionEnds& ends, WireHandle wire, int32_t side) {
    std::vector<std::pair<WireHandle, int32_t>> stack{{wire, side}};
    Mark(wire);
    while (!stack.empty()) {
        auto [w, s] = stack.back();
        stack.pop_back();
        if ((*w)->cornerCount == 0) continue;
        const uint16_t word = s == 1 ? (*w)->end0 : (*w)->end1;
        if (!IsWireEndJunction(word)) continue;
        const Point pt = s == 1 ? WireCorners(w)[0] : LastCorner(w);
        const std::vector<WireHandle>* at = ends.At(pt);
        if (!at) continue;
        for (WireHandle other : *at) {
            if (IsMarked(other)) continue;
            Mark(other);
            // Continue from the other end of the wire that arrives here (end 1 looked at first).
            const bool arrivesAtEnd1 =
                IsWireEndJunction((*other)->end1) && SamePoint(LastCorner(other), pt);
            stack.emplace_back(other, arrivesAtEnd1 ? 1 : 0);
        }
    }
}

}  // namespace

bool IsWireListFragmented(WireList list, WireHandle start) {
    if (!list || !FirstWire(list)) return false;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w))
        (*w)->flags &= uint16_t(~kWireFlagMarked);
    if (!start) start = FirstWire(list);
    const JunctionEnds ends(list);
    Traverse(ends, start, 1);
    Traverse(ends, start, 0);
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w))
        if (!IsMarked(w)) return true;
    return false;
}

void TouchWireSide(WireList list, WireHandle wire, int32_t side) {
    if (!list || !wire) return;
    const JunctionEnds ends(list);
    Traverse(ends, wire, side);
}

// ---- Hit tests ----

bool HitTestDiagonalSegment(const Point p0p1[2], int32_t code, int32_t width, Point pt,
                            int32_t slop, Point* hitPt) {
    const Point p0 = p0p1[0], p1 = p0p1[1];
    if ((code & 8) || slop > 0) {
        const _LPNT p{pt.v, pt.h}, a{p0.v, p0.h}, b{p1.v, p1.h};
        _LPNT snapped{};
        const int32_t distance = VXLCalcDistancePointToLine(&p, &a, &b, &snapped);
        if (distance > width + std::max(slop, 0)) return false;
        if (hitPt) *hitPt = Point{int16_t(snapped.v), int16_t(snapped.h)};
        return true;
    }
    bool hit = SamePoint(pt, p0);
    if (!hit && std::abs(pt.h - p0.h) == std::abs(pt.v - p0.v)) {
        const bool hSide = (p1.h - p0.h) * (pt.h - p0.h) > 0;
        const bool vSide = (p1.v - p0.v) * (pt.v - p0.v) > 0;
        hit = hSide && vSide;
    }
    if (hit && hitPt) *hitPt = pt;
    return hit;
}

int32_t WireHitSlopForZoom(int32_t zoomPercent, int32_t pixels) {
    const int32_t z = zoomPercent > 0 ? zoomPercent : 100;
    return std::max(1, (pixels * 100 + z - 1) / z);
}

int32_t HitTestWire(WireHandle wire, Point pt, int32_t slop, Point* hitPt, bool orthogonalOnly) {
    if (!wire) return -1;
    const bool exact = slop == -1;
    const int32_t s = std::max(slop, 0);
    const int32_t b = ((*wire)->flags & kWireFlagBuss) ? 1 : 0;
    const int32_t segments = CountWireSegments(wire);
    for (int32_t i = 0; i < segments; ++i) {
        const Point p[2] = {WireCorners(wire)[i], WireCorners(wire)[i + 1]};
        const int32_t code = CalcLineOrient(p[0], p[1]);
        if (code == kOrientNull && !exact) continue;
        const bool slanted = IsOrientSlanted(code);
        if (slanted && orthogonalOnly) continue;
        Rect r;
        VXPt2Rect(p[0], p[1], &r);
        if (s > 0) {
            if (IsOrientHorizontal(code)) {
                VXInsetRect(&r, int16_t(-(1 + b)), int16_t(-(s + b)));
            } else if (IsOrientVertical(code)) {
                VXInsetRect(&r, int16_t(-(s + b)), int16_t(-(1 + b)));
            } else {
                VXInsetRect(&r, int16_t(-(s + b)), int16_t(-(s + b)));
            }
        }
        const int16_t extra = s > 0 ? 2 : 1;
        r.bottom = int16_t(r.bottom + extra);
        r.right = int16_t(r.right + extra);
        if (!VXPtInRect(pt, &r)) continue;
        if (slanted) {
            Point hit = pt;
            if (!HitTestDiagonalSegment(p, code, b, pt, s, &hit)) continue;
            if (hitPt) *hitPt = hit;
            return i;
        }
        if (hitPt) {
            Point hit = pt;
            if (s > 0) {
                const Rect segment = SegmentRect(p[0], p[1]);
                VXPinToRect(&hit, &segment, true);
            }
            *hitPt = hit;
        }
        return i;
    }
    return -1;
}

int32_t HitTestOneWire(WireHandle wire, Point pt, int32_t slop, bool orthogonalOnly,
                       Point* hitPt) {
    return HitTestWire(wire, pt, slop, hitPt, orthogonalOnly);
}

WireHandle HitTestWireList(WireList list, Point pt, int32_t slop, bool orthogonalOnly,
                           int32_t* segment, Point* hitPt) {
    if (segment) *segment = -1;
    WireHandle found = nullptr;
    const int16_t grow = int16_t(slop == -1 ? 1 : 2 + std::max(slop, 0));
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        Rect r = (*w)->bounds;
        if (VXEmptyRect(&r)) continue;
        VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
        r.bottom = int16_t(r.bottom + 1);
        r.right = int16_t(r.right + 1);
        if (!VXPtInRect(pt, &r)) continue;
        Point hit = pt;
        const int32_t seg = HitTestWire(w, pt, slop, &hit, orthogonalOnly);
        if (seg < 0) continue;
        found = w;
        if (segment) *segment = seg;
        if (hitPt) *hitPt = hit;
        if (slop >= 0) break;
    }
    return found;
}

int32_t HitTestBreakOut(DAHeader** table, Point pt, int32_t slop, void** buss) {
    if (buss) *buss = nullptr;
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(table, &id, &address)) {
        BreakOutRow row;
        std::memcpy(&row, address, sizeof row);
        Rect r;
        VXPt2Rect(row.first, row.second, &r);
        VXInsetRect(&r, -1, -1);
        r.bottom = int16_t(r.bottom + 1);
        r.right = int16_t(r.right + 1);
        if (!VXPtInRect(pt, &r)) continue;
        const Point p[2] = {row.first, row.second};
        if (!HitTestDiagonalSegment(p, CalcLineOrient(row.first, row.second), 0, pt, slop,
                                    nullptr))
            continue;
        if (buss) *buss = row.buss;
        return id;
    }
    return -1;
}

// ---- Labels ----

namespace {

WireList LabelOwnerWires(const TextRecord* label) {
    if (!label || !label->owner) return nullptr;
    if (label->kind == kTextKindSignal)
        return (*reinterpret_cast<SignalHandle>(label->owner))->wires;
    if (label->kind == kTextKindBuss) return (*reinterpret_cast<BussHandle>(label->owner))->wires;
    return nullptr;
}

}  // namespace

WireHandle GetWireFromWireLabel(const TextRecord* label, int32_t* segment) {
    WireList list = LabelOwnerWires(label);
    if (!list) return nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        const bool slantedPass = pass == 1;
        WireHandle candidate = nullptr;
        for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
            Rect wb = (*w)->bounds;
            VXInsetRect(&wb, -4, -4);
            if (!VXRectsOverlap(&wb, &label->bounds)) continue;
            const int32_t segments = CountWireSegments(w);
            for (int32_t i = 0; i < segments; ++i) {
                const Point p0 = WireCorners(w)[i], p1 = WireCorners(w)[i + 1];
                const int32_t code = CalcLineOrient(p0, p1);
                if (code == kOrientNull || IsOrientSlanted(code) != slantedPass) continue;
                Rect r;
                if (slantedPass) {
                    VXPt2Rect(p0, p1, &r);
                    VXInsetRect(&r, -3, -3);
                } else {
                    SegmentLabelRect(w, i, &r);
                }
                if (!VXRectsOverlap(&r, &label->bounds)) continue;
                if (segment) *segment = i;
                candidate = w;
                if ((IsOrientHorizontal(code) && std::abs(p0.v - label->position.v) <= 3) ||
                    (IsOrientVertical(code) && std::abs(p0.h - label->position.h) <= 3))
                    return w;
            }
        }
        if (candidate) return candidate;
    }
    return nullptr;
}

Point SnapToSheetGrid(const SheetRecord* sheet, Point pt) {
    const int32_t grid = sheet ? sheet->view.gridSpacing : 0;
    if (!sheet || !sheet->view.snap || grid <= 0) return pt;
    auto snap = [grid](int32_t v) {
        const int32_t half = grid / 2;
        return int16_t(((v >= 0 ? v + half : v - half) / grid) * grid);
    };
    return Point{snap(pt.v), snap(pt.h)};
}

void PositionLabelAlongSegment(SheetRecord* sheet, WireHandle wire, int32_t n, Point pt,
                               TextRecord* label, const int32_t offsets[4]) {
    Point p[2];
    if (!label || !GetWireSegment(wire, n, p)) return;
    if (p[1].h < p[0].h || (p[1].h == p[0].h && p[1].v < p[0].v)) std::swap(p[0], p[1]);
    const Point p0 = p[0], p1 = p[1];
    const int32_t side = label->flags & kTextFlagRotation;
    // The label's length along its base line, halved.
    const Rect& b = label->bounds;
    const int32_t half = ((label->flags & 1) ? b.bottom - b.top : b.right - b.left) / 2;
    const bool noPoint = pt.v == -1 && pt.h == -1;
    const Point at = noPoint ? pt : SnapToSheetGrid(sheet, pt);
    const int32_t code = CalcLineOrient(p0, p1);
    auto clamp = [](int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); };
    uint16_t flags = uint16_t(label->flags & ~7);
    Point anchor;
    if (IsOrientSlanted(code)) {
        anchor = Point{clamp(p0.v - 3), clamp(p0.h + 4)};
    } else if (IsOrientVertical(code)) {
        const int32_t centre = noPoint ? (p0.v + p1.v) / 2 : at.v;
        if (side == 3) {
            anchor = Point{clamp(centre + half), clamp(p0.h + offsets[3])};
            flags |= 3;
        } else {
            anchor = Point{clamp(centre - half), clamp(p0.h + offsets[2])};
            flags |= 1;
        }
    } else {
        const int32_t centre = noPoint ? (p0.h + p1.h) / 2 : at.h;
        if (side == 2) {
            anchor = Point{clamp(p0.v + offsets[1]), clamp(centre + half)};
            flags |= 2;
        } else {
            anchor = Point{clamp(p0.v + offsets[0]), clamp(centre - half)};
        }
    }
    label->flags = flags;
    SetTextElementPosition(label, anchor);
    if (sheet) CalcTextBounds(sheet->window, label, sheet->stringBlock);
}

void TransferWireLabels(void* owner, uint16_t kind, LinkListHeader* from, LinkListHeader* to,
                        WireHandle wire, int32_t mode, Rect* rect) {
    void* previous = nullptr;
    void* item = LLFirst(from);
    while (item) {
        void* next = LLGetNext(from, item);
        auto* text = static_cast<TextRecord*>(item);
        bool take = text->kind == kind && (!owner || text->owner == reinterpret_cast<intptr_t>(owner));
        if (take && mode != kTransferAllLabels) {
            int32_t segment = -1;
            WireHandle on = GetWireFromWireLabel(text, &segment);
            if (mode & kTransferSegmentLabels) {
                take = on && on == wire && segment == (mode & 0x7FFF);
            } else if (mode == kTransferMarkedWireLabels) {
                take = on && ((*on)->flags & kWireFlagMarked);
            } else if (mode == kTransferLooseLabels) {
                take = on == nullptr;
            } else {
                take = on && on == wire;
            }
        }
        if (take) {
            AddToUpdateRect(rect, text->bounds);
            LLRemoveOrFree(from, text, previous, !to);
            if (to) LLPush(to, text);
        } else {
            previous = item;
        }
        item = next;
    }
}

// ---- What signals and busses share ----

Handle CreateNetRecord(uint32_t headSize, int32_t kind) {
    if (InitWiresPool() != status::kNoErr) return nullptr;
    Handle record = AllocHandleClear(gWiresPool, headSize);
    if (!record) return nullptr;
    WireList wires = CreateWireList(record, kind);
    if (!wires) {
        MemFree(record);
        return nullptr;
    }
    reinterpret_cast<NetRecordHead*>(*record)->wires = wires;
    return record;
}

void ReplaceLabelText(SheetRecord* sheet, TextRecord* text, const char* string, bool quiet,
                      Rect* rect) {
    char current[kStringSpecBufferSize];
    GetTextRecordString(text, sheet->stringBlock, current, sizeof current);
    if (std::strcmp(current, string) == 0) return;
    bool wasVisible = true;
    if (quiet) {
        wasVisible = SetTextVisibility(text, true, false);
    } else if (!(text->flags & kTextFlagHidden)) {
        AddToUpdateRect(rect, text->bounds);
    }
    SetTextRecordString(text, sheet->stringBlock, string);
    CalcTextBounds(sheet->window, text, sheet->stringBlock);
    if (quiet) {
        SetTextVisibility(text, true, wasVisible);
    } else if (!(text->flags & kTextFlagHidden)) {
        AddToUpdateRect(rect, text->bounds);
    }
}

StringSpec StoreNetName(StringBlock block, const char* name) {
    return name && *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
}

void RenumberWireTerminals(WireList list, int32_t n) {
    const uint16_t freed = n == 0 ? kWireEndFreeZero : kWireEndFree;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        for (uint16_t* end : {&(*w)->end0, &(*w)->end1}) {
            if (!IsWireEndTerminal(*end)) continue;
            if (*end == n) {
                *end = freed;
            } else if (*end > n) {
                *end = uint16_t(*end - 1);
            }
        }
    }
}

WireHandle FirstWireAtTerminal(WireList list, int32_t index) {
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w))
        if ((*w)->end0 == index || (*w)->end1 == index) return w;
    return nullptr;
}

void CalcWireListBounds(WireList list, Rect* bounds) {
    VXSetEmptyRect(bounds);
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w))
        if (!VXEmptyRect(&(*w)->bounds)) VXUnionRect(bounds, &(*w)->bounds, bounds);
}

bool CopyWireList(WireList from, WireList to) {
    void* last = LLLast(to);
    for (WireHandle w = FirstWire(from); w; w = NextWire(from, w)) {
        WireHandle copy = DuplicateWire(w);
        if (!copy) return false;
        last = LLInsert(to, last, copy);
    }
    return true;
}

bool SegmentLabelRect(WireHandle wire, int32_t segment, Rect* r) {
    Point p[2];
    if (!GetWireSegment(wire, segment, p)) return false;
    const int32_t code = CalcLineOrient(p[0], p[1]);
    if (!IsOrientHorizontal(code) && !IsOrientVertical(code)) return false;
    VXPt2Rect(p[0], p[1], r);
    if (IsOrientHorizontal(code)) {
        VXInsetRect(r, 1, -3);
    } else {
        VXInsetRect(r, -3, 1);
    }
    return true;
}

WireHandle FindOnlySelectedWire(const std::vector<void*>& owners, void** owner) {
    if (owner) *owner = nullptr;
    WireHandle found = nullptr;
    void* foundOwner = nullptr;
    for (void* item : owners) {
        WireList list = (*static_cast<NetRecordHead**>(item))->wires;
        for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
            if (!((*w)->flags & kWireFlagSelected)) continue;
            if (found) return nullptr;
            found = w;
            foundOwner = item;
        }
    }
    if (owner) *owner = foundOwner;
    return found;
}

void ClearOwnersHilite(const std::vector<void*>& owners, Rect* rect) {
    for (void* item : owners)
        SetWireListHilite((*static_cast<NetRecordHead**>(item))->wires, 0, false, rect);
}

// ---- Highlight ----

void RecordWireListHilites(WireList list) {
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        WireRecord* r = *w;
        r->flags = uint16_t((r->flags & ~kWireFlagSavedSelected) |
                            ((r->flags & kWireFlagSelected) ? kWireFlagSavedSelected : 0));
    }
}

void RestoreWireListHilites(WireList list) {
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        WireRecord* r = *w;
        r->flags = uint16_t((r->flags & ~kWireFlagSelected) |
                            ((r->flags & kWireFlagSavedSelected) ? kWireFlagSelected : 0));
    }
}

void SetWireListHilite(WireList list, int32_t, bool on, Rect* rect) {
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        const bool selected = ((*w)->flags & kWireFlagSelected) != 0;
        if (selected == on) continue;
        (*w)->flags = uint16_t(on ? (*w)->flags | kWireFlagSelected
                                  : (*w)->flags & ~kWireFlagSelected);
        AddToUpdateRect(rect, (*w)->bounds);
    }
}

WireHandle GetHiliteWire(WireList list) {
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w))
        if ((*w)->flags & kWireFlagSelected) return w;
    return nullptr;
}

// ---- Drawing ----

namespace {

constexpr int16_t kColorIndexSelected = 7;
constexpr int16_t kColorIndexBussWire = 4;
constexpr int16_t kColorIndexSignalWire = 3;

bool BreakOutFirstPoint(DAHeader** table, uint16_t word, Point* pt) {
    if (!table || !IsWireEndBreakOut(word)) return false;
    BreakOutRow row;
    if (!GetBreakOutRow(table, word & kWireEndIndexMask, &row)) return false;
    *pt = row.first;
    return true;
}

void DrawBreakOutStroke(DAHeader** table, uint16_t word) {
    BreakOutRow row;
    if (!table || !IsWireEndBreakOut(word) || !GetBreakOutRow(table, word & kWireEndIndexMask, &row))
        return;
    VXMoveTo(row.second.h, row.second.v);
    VXLineTo(row.first.h, row.first.v);
}

}  // namespace

int32_t PrepDrawSegs(uint16_t flags, int32_t mode) {
    VXPenNormal();
    const bool buss = (flags & kWireFlagBuss) != 0;
    if (buss) VXSetPenWidth(2);
    int16_t colour = kColorIndexSignalWire;
    if (mode == 1) {
        colour = kColorIndexSelected;
    } else if (mode == 2) {
        colour = kColorIndexBackground;
    } else if (flags & kWireFlagSelected) {
        colour = kColorIndexSelected;
    } else if (buss) {
        colour = kColorIndexBussWire;
    }
    Set_Fore_Color(colour);
    return buss ? -1 : 0;
}

void DrawWire(WireHandle wire, DAHeader** table, int32_t mode) {
    if (CountWireSegments(wire) < 1) return;
    const int16_t shift = int16_t(PrepDrawSegs((*wire)->flags, mode));
    const Point* c = WireCorners(wire);
    Point start;
    if (BreakOutFirstPoint(table, (*wire)->end0, &start)) {
        VXMoveTo(start.h, start.v);
        VXLineTo(c[0].h, c[0].v);
    } else {
        VXMoveTo(c[0].h + shift, c[0].v + shift);
    }
    for (int32_t i = 1; i < (*wire)->cornerCount; ++i) {
        c = WireCorners(wire);
        VXLineTo(int16_t(c[i].h + shift), int16_t(c[i].v + shift));
    }
    Point end;
    if (BreakOutFirstPoint(table, (*wire)->end1, &end)) VXLineTo(end.h, end.v);
}

void DrawWireList(WireList list, DAHeader** table, bool colourPerWire) {
    WireHandle first = FirstWire(list);
    if (!first) return;
    const bool bussList = ((*first)->flags & kWireFlagBuss) != 0;
    const uint16_t penFlags =
        uint16_t(colourPerWire ? (*first)->flags : (*first)->flags & ~kWireFlagSelected);
    const int16_t shift = int16_t(PrepDrawSegs(penFlags, 0));
    for (WireHandle w = first; w; w = NextWire(list, w)) {
        if (colourPerWire) {
            Set_Fore_Color((*w)->flags & kWireFlagSelected
                               ? kColorIndexSelected
                               : (bussList ? kColorIndexBussWire : kColorIndexSignalWire));
        }
        if (CountWireSegments(w) >= 1) {
            Point last = WireCorners(w)[0];
            VXMoveTo(last.h + shift, last.v + shift);
            for (int32_t i = 1; i < (*w)->cornerCount; ++i) {
                const Point c = WireCorners(w)[i];
                if (SamePoint(c, last)) continue;
                VXLineTo(int16_t(c.h + shift), int16_t(c.v + shift));
                last = c;
            }
        }
        if (table) {
            DrawBreakOutStroke(table, (*w)->end1);
            DrawBreakOutStroke(table, (*w)->end0);
        }
    }
}

}  // namespace plexa
