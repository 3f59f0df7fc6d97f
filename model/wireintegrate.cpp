// Wire integration and segment merging; see wireintegrate.h.
#include "model/wireintegrate.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "foundation/chunky.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/sheetindex.h"
#include "model/wires.h"

namespace plexa {

namespace {

constexpr int32_t kListSegmentsGrowth = 12;
constexpr int32_t kWireSegmentsGrowth = 8;

bool SamePoint(Point a, Point b) { return a.v == b.v && a.h == b.h; }

// A slant that is not 45 degrees (directions 9 and 11 once normalised).
bool IsNon45(int16_t direction) { return direction >= 0 && (direction & 8) && direction != 8; }

WireSegment Normalised(Point p0, Point p1) {
    int32_t direction = CalcLineOrient(p0, p1);
    if (direction != kOrientNull && (direction == 0 || (direction & 7) >= 5)) {
        std::swap(p0, p1);
        direction = direction == 0 ? 4 : direction - 4;
    }
    return WireSegment{p0, p1, int16_t(direction), 0};
}

Rect SegmentBox(Point p0, Point p1, bool buss) {
    Rect r;
    VXPt2Rect(p0, p1, &r);
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    if (buss) {
        r.top = int16_t(r.top - 1);
        r.left = int16_t(r.left - 1);
    }
    return r;
}

void RemoveDeletedSegments(WireSegmentsBlock block) {
    int32_t i = 0;
    while (i < CountWireSegmentsBlock(block)) {
        if (WireSegmentAt(block, i)->direction == kSegmentDeleted) {
            VXChunkyDelete(block, uint32_t(i), 1, false);
        } else {
            ++i;
        }
    }
}

Point LastCornerOf(WireHandle wire) { return WireCorners(wire)[(*wire)->cornerCount - 1]; }

// Extends the wire at its last corner by the segments of the block that touch it.
void ExtendWire(WireHandle wire, WireSegmentsBlock block) {
    WireSegment next;
    while (RetrieveSegment(block, LastCornerOf(wire), 0, &next)) {
        if (!InsertWireCorner(wire, next.p1, -1)) break;
    }
}

}  // namespace

WireSegmentsBlock CreateWireSegmentsBlock(int32_t growBy) {
    return VXCreateChunkyBlock(gGenPool, sizeof(WireSegment), std::max(growBy, 1), 0);
}

void DestroyWireSegmentsBlock(WireSegmentsBlock block) { VXDestroyChunkyBlock(block); }

int32_t CountWireSegmentsBlock(WireSegmentsBlock block) { return int32_t(VXChunkyCount(block)); }

WireSegment* WireSegmentAt(WireSegmentsBlock block, int32_t i) {
    if (i < 0) return nullptr;
    return VXChunkyItemAs<WireSegment>(block, uint32_t(i));
}

bool AddWireSegmentsBlockSegment(WireSegmentsBlock block, Point p0, Point p1) {
    const WireSegment segment = Normalised(p0, p1);
    return VXChunkyAdd(block, &segment) >= 0;
}

void CollectWireSegments(WireHandle wire, WireSegmentsBlock block, const Rect* clipRect,
                         Rect* bounds) {
    if (bounds) VXSetEmptyRect(bounds);
    if (!wire || !block) return;
    const bool buss = ((*wire)->flags & kWireFlagBuss) != 0;
    const int32_t segments = CountWireSegments(wire);
    for (int32_t i = 0; i < segments; ++i) {
        const Point p0 = WireCorners(wire)[i], p1 = WireCorners(wire)[i + 1];
        if (SamePoint(p0, p1)) continue;
        const Rect box = SegmentBox(p0, p1, buss);
        if (clipRect && !VXRectsOverlap(&box, clipRect)) continue;
        if (!AddWireSegmentsBlockSegment(block, p0, p1)) return;
        if (bounds) AddToUpdateRect(bounds, box);
    }
}

WireSegmentsBlock CollectWireListSegments(WireList list, const Rect* rect) {
    WireSegmentsBlock block = CreateWireSegmentsBlock(kListSegmentsGrowth);
    if (!block) return nullptr;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        if (rect && !VXRectsOverlap(&(*w)->bounds, rect)) continue;
        CollectWireSegments(w, block, rect, nullptr);
    }
    return block;
}

// ---- Merging ----

bool AreColinear45s(const WireSegment& a, const WireSegment& b) {
    if (SamePoint(a.p0, b.p0)) {
        // Two segments from one point lie on one line when they have the same direction.
        return IsOrientExact(a.direction) && IsOrientSlanted(a.direction) &&
               a.direction == b.direction;
    }
    const int32_t d = CalcLineOrient(a.p0, b.p0);
    return IsOrientExact(d) && IsOrientSlanted(d) && (d == a.direction || d == (a.direction ^ 4));
}

bool SegMerge(const WireSegment& a, const WireSegment& b, WireSegment* merged) {
    if (a.direction != b.direction) return false;
    WireSegment m = a;
    switch (a.direction) {
        case 2:
            if (a.p0.v != b.p0.v || std::max(a.p0.h, b.p0.h) > std::min(a.p1.h, b.p1.h))
                return false;
            m.p0.h = std::min(a.p0.h, b.p0.h);
            m.p1.h = std::max(a.p1.h, b.p1.h);
            break;
        case 4:
            if (a.p0.h != b.p0.h || std::max(a.p0.v, b.p0.v) > std::min(a.p1.v, b.p1.v))
                return false;
            m.p0.v = std::min(a.p0.v, b.p0.v);
            m.p1.v = std::max(a.p1.v, b.p1.v);
            break;
        case 1:
        case 3:
            if (!AreColinear45s(a, b) || std::max(a.p0.h, b.p0.h) > std::min(a.p1.h, b.p1.h))
                return false;
            m.p0.h = std::min(a.p0.h, b.p0.h);
            m.p1.h = std::max(a.p1.h, b.p1.h);
            if (a.direction == 1) {
                m.p0.v = std::max(a.p0.v, b.p0.v);
                m.p1.v = std::min(a.p1.v, b.p1.v);
            } else {
                m.p0.v = std::min(a.p0.v, b.p0.v);
                m.p1.v = std::max(a.p1.v, b.p1.v);
            }
            break;
        default:
            return false;
    }
    if (merged) *merged = m;
    return true;
}

void MinimizeSegmentList(WireSegmentsBlock block) {
    for (int32_t i = 0; i < CountWireSegmentsBlock(block); ++i) {
        const WireSegment a = *WireSegmentAt(block, i);
        if (a.direction == kSegmentDeleted) continue;
        WireSegment merged = a;
        bool any = false;
        for (int32_t j = i + 1; j < CountWireSegmentsBlock(block); ++j) {
            WireSegment* b = WireSegmentAt(block, j);
            if (b->direction == kSegmentDeleted) continue;
            if (SamePoint(b->p0, a.p0) && SamePoint(b->p1, a.p1)) {
                b->direction = kSegmentDeleted;
            } else if (b->direction == a.direction && !IsNon45(b->direction) &&
                       SegMerge(merged, *b, &merged)) {
                b->direction = kSegmentDeleted;
                any = true;
            }
        }
        if (any) {
            WireSegmentAt(block, i)->direction = kSegmentDeleted;
            if (VXChunkyAdd(block, &merged) < 0) WireSegmentAt(block, i)->direction = a.direction;
        }
    }
    RemoveDeletedSegments(block);
}

void Fix45Span(WireSegment* segment, int32_t whichEnd) {
    const int32_t d = segment->p1.h - segment->p0.h;
    if (whichEnd) {
        segment->p1.v = int16_t(segment->direction == 1 ? segment->p0.v - d : segment->p0.v + d);
    } else {
        segment->p0.v = int16_t(segment->direction == 1 ? segment->p1.v + d : segment->p1.v - d);
    }
}

int32_t GetDiffPortions(const WireSegment& a, const WireSegment& b, WireSegment pieces[2],
                        bool alongH) {
    const int32_t a0 = alongH ? a.p0.h : a.p0.v, a1 = alongH ? a.p1.h : a.p1.v;
    const int32_t b0 = alongH ? b.p0.h : b.p0.v, b1 = alongH ? b.p1.h : b.p1.v;
    if (std::max(a0, b0) >= std::min(a1, b1)) return 0;
    if (a0 >= b0 && a1 <= b1) return -1;
    const bool slanted = a.direction == 1 || a.direction == 3;
    int32_t n = 0;
    if (a0 < b0) {
        WireSegment piece = a;
        (alongH ? piece.p1.h : piece.p1.v) = int16_t(b0);
        if (slanted) Fix45Span(&piece, 1);
        pieces[n++] = piece;
    }
    if (a1 > b1) {
        WireSegment piece = a;
        (alongH ? piece.p0.h : piece.p0.v) = int16_t(b1);
        if (slanted) Fix45Span(&piece, 0);
        pieces[n++] = piece;
    }
    return n;
}

int32_t SegDifference(const WireSegment& a, const WireSegment& b, WireSegment pieces[2]) {
    switch (a.direction) {
        case 4:
            return a.p0.h == b.p0.h ? GetDiffPortions(a, b, pieces, false) : 0;
        case 2:
            return a.p0.v == b.p0.v ? GetDiffPortions(a, b, pieces, true) : 0;
        case 1:
        case 3:
            return AreColinear45s(a, b) ? GetDiffPortions(a, b, pieces, true) : 0;
        default:
            return 0;
    }
}

// ---- Rebuilding wires ----

bool RetrieveSegment(WireSegmentsBlock block, Point pt, int32_t mode, WireSegment* segment) {
    const int32_t count = CountWireSegmentsBlock(block);
    int32_t found = -1;
    bool reversed = false;
    for (int32_t i = 0; i < count; ++i) {
        const WireSegment* s = WireSegmentAt(block, i);
        if (s->direction == kSegmentDeleted) continue;
        if (mode == 2) {
            found = i;
            break;
        }
        if (mode == 1) {
            if (IsNon45(s->direction)) continue;
            found = i;
            break;
        }
        const bool atP0 = SamePoint(s->p0, pt), atP1 = SamePoint(s->p1, pt);
        if (!atP0 && !atP1) continue;
        found = i;
        reversed = !atP0;
        if (!IsNon45(s->direction)) break;
    }
    if (found < 0) return false;
    WireSegment taken = *WireSegmentAt(block, found);
    VXChunkyDelete(block, uint32_t(found), 1, false);
    if (reversed) std::swap(taken.p0, taken.p1);
    if (segment) *segment = taken;
    return true;
}

WireList SegmentsToWires(WireSegmentsBlock block, uint16_t flags) {
    WireList list = CreateWireList(nullptr, 0);
    if (!list) return nullptr;
    for (;;) {
        WireSegment start;
        if (!RetrieveSegment(block, Point{}, 1, &start) &&
            !RetrieveSegment(block, Point{}, 2, &start))
            break;
        WireHandle wire = CreateWire(nullptr);
        if (!wire || !InsertWireCorner(wire, start.p0, -1) || !InsertWireCorner(wire, start.p1, -1)) {
            DestroyWire(wire);
            break;
        }
        (*wire)->flags = uint16_t(flags & ~kWireFlagSelected);
        (*wire)->end0 = kWireEndJunction;
        (*wire)->end1 = kWireEndJunction;
        ExtendWire(wire, block);
        ReverseWire(wire);
        ExtendWire(wire, block);
        CalcWireBounds(wire);
        if (SamePoint(WireCorners(wire)[0], LastCornerOf(wire))) {
            LLAppend(list, wire);
        } else {
            LLPush(list, wire);
        }
    }
    return list;
}

// ---- Integration ----

void ClearSegmentOverlaps(WireList list, WireSegmentsBlock newSegments, const Rect* bounds,
                          Rect* rect) {
    if (!FirstWire(list)) return;
    WireSegmentsBlock existing = CollectWireListSegments(list, bounds);
    if (!existing) return;
    const int32_t existingCount = CountWireSegmentsBlock(existing);
    for (int32_t i = 0; i < CountWireSegmentsBlock(newSegments); ++i) {
        const WireSegment n = *WireSegmentAt(newSegments, i);
        if (n.direction == kSegmentDeleted || IsNon45(n.direction)) continue;
        for (int32_t j = 0; j < existingCount; ++j) {
            const WireSegment e = *WireSegmentAt(existing, j);
            if (e.direction != n.direction) continue;
            WireSegment pieces[2];
            const int32_t k = SegDifference(n, e, pieces);
            if (k == 0) continue;
            Rect box;
            VXPt2Rect(n.p0, n.p1, &box);
            VXInsetRect(&box, -4, -4);
            AddToUpdateRect(rect, box);
            WireSegmentAt(newSegments, i)->direction = kSegmentDeleted;
            for (int32_t p = 0; p < k; ++p) VXChunkyAdd(newSegments, &pieces[p]);
            break;
        }
    }
    DestroyWireSegmentsBlock(existing);
    RemoveDeletedSegments(newSegments);
}

void SpliceWireLists(WireList newList, WireList list) {
    for (WireHandle l = FirstWire(list); l; l = NextWire(list, l)) {
        if ((*l)->cornerCount == 0) continue;
        for (int32_t end = 0; end < 2; ++end) {
            const uint16_t word = end ? (*l)->end1 : (*l)->end0;
            if (!(word & kWireEndJunction)) continue;
            const Point pt = end ? LastCornerOf(l) : WireCorners(l)[0];
            for (WireHandle n = FirstWire(newList); n; n = NextWire(newList, n)) {
                const int32_t segment = HitTestWire(n, pt, 0, nullptr, false);
                if (segment < 0) continue;
                if (WireHandle piece = SplitWire(n, segment, pt, true)) LLPush(newList, piece);
            }
        }
    }
}

void SplitClosedLoopWire(WireList newList, WireHandle wire, WireHandle firstListWire) {
    if (!wire || (*wire)->cornerCount == 0) return;
    const Rect loopBounds = (*wire)->bounds;
    const Point first = WireCorners(wire)[0];
    for (auto l = firstListWire; l; l = static_cast<WireHandle>((*l)->link)) {
        if (!VXRectsOverlap(&(*l)->bounds, &loopBounds)) continue;
        for (int32_t c = (*l)->cornerCount - 1; c >= 0; --c) {
            const Point pt = WireCorners(l)[c];
            if (SamePoint(pt, first)) return;
            if (!VXPtInRect(pt, &loopBounds)) continue;
            const int32_t segment = HitTestWire(wire, pt, 0, nullptr, false);
            if (segment < 0) continue;
            if (WireHandle piece = SplitWire(wire, segment, pt, false)) LLPush(newList, piece);
            return;
        }
    }
}

void SpliceWireListAtWireEnds(WireList list, WireHandle wire) {
    if (!wire || (*wire)->cornerCount == 0) return;
    const Point ends[2] = {WireCorners(wire)[0], LastCornerOf(wire)};
    for (const Point& pt : ends) {
        int32_t segment = -1;
        WireHandle hit = HitTestWireList(list, pt, -1, false, &segment, nullptr);
        if (!hit) continue;
        if (WireHandle piece = SplitWire(hit, segment, pt, true)) LLPush(list, piece);
    }
}

void SpliceWireListAtCorners(WireList list, WireHandle wire) {
    if (!wire) return;
    std::vector<WireHandle> pieces;
    for (int32_t c = 0; c < (*wire)->cornerCount; ++c) {
        const Point pt = WireCorners(wire)[c];
        int32_t segment = -1;
        WireHandle hit = HitTestWireList(list, pt, -1, false, &segment, nullptr);
        if (!hit) continue;
        if (WireHandle piece = SplitWire(hit, segment, pt, true)) pieces.push_back(piece);
    }
    for (WireHandle piece : pieces) LLPush(list, piece);
}

void InstallTerminalReference(WireList list, Point pt, uint16_t endWord, uint16_t flags) {
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w))
        if ((*w)->end0 == endWord || (*w)->end1 == endWord) return;
    int32_t segment = -1;
    if (WireHandle hit = HitTestWireList(list, pt, 0, false, &segment, nullptr)) {
        flags = (*hit)->flags;
        if (WireHandle piece = SplitWire(hit, segment, pt, true)) LLPush(list, piece);
    }
    WireHandle stub = CreateWire(list);
    if (!stub) return;
    if (!InsertWireCorner(stub, pt, -1) || !InsertWireCorner(stub, pt, -1)) {
        LLRemoveOrFree(list, stub, nullptr, true);
        return;
    }
    (*stub)->flags = uint16_t(flags & (kWireFlagSelected | kWireFlagBuss));
    (*stub)->end0 = endWord;
    (*stub)->end1 = kWireEndJunction;
    CalcWireBounds(stub);
}

void IntegrateWire(WireHandle wire, WireList list, int32_t options, SheetRecord* sheet,
                   Rect* rect) {
    if (!wire) return;
    if (!list) {
        DestroyWire(wire);
        return;
    }
    const SheetNetScope scope(GetWireListOwner(list, nullptr));
    if (RemoveExtraWireCorners(wire, rect) || (options & kIntegrateRecalcBounds))
        CalcWireBounds(wire);
    bool isNull = IsNullLengthWire(wire);
    const uint16_t e0 = (*wire)->end0, e1 = (*wire)->end1;
    const bool settled = (!IsWireEndFree(e0) || IsWireEndJunction(e1)) &&
                         (!IsWireEndFree(e1) || IsWireEndJunction(e0));
    if (isNull && !settled) {
        int32_t kind = 0;
        void* owner = GetWireListOwner(list, &kind);
        FixNullWire(sheet, wire, owner, kind);
        CalcWireBounds(wire);
        isNull = IsNullLengthWire(wire);
    }
    if (!(isNull && settled)) {
        WireSegmentsBlock block = CreateWireSegmentsBlock(kWireSegmentsGrowth);
        Rect bounds;
        CollectWireSegments(wire, block, nullptr, &bounds);
        if (block && CountWireSegmentsBlock(block) > 0) {
            ClearSegmentOverlaps(list, block, &bounds, rect);
            WireList fresh = SegmentsToWires(block, (*wire)->flags);
            if (fresh && FirstWire(fresh)) {
                if (options & kIntegrateSpliceListEnds) SpliceWireLists(fresh, list);
                while (auto piece = static_cast<WireHandle>(LLPop(fresh, false))) {
                    if ((*piece)->cornerCount > 0 &&
                        SamePoint(WireCorners(piece)[0], LastCornerOf(piece)))
                        SplitClosedLoopWire(fresh, piece, FirstWire(list));
                    SpliceWireListAtWireEnds(list, piece);
                    LLPush(list, piece);
                }
            } else if (fresh) {
                SpliceWireListAtCorners(list, wire);
            }
            DestroyWireList(fresh);
        }
        DestroyWireSegmentsBlock(block);
    }
    if (!FirstWire(list)) {
        LLPush(list, wire);
        return;
    }
    const uint16_t stubFlags = uint16_t((*wire)->flags & ~kWireFlagSelected);
    if (!((*wire)->end0 & kWireEndJunction))
        InstallTerminalReference(list, WireCorners(wire)[0], (*wire)->end0, stubFlags);
    if (!((*wire)->end1 & kWireEndJunction))
        InstallTerminalReference(list, LastCornerOf(wire), (*wire)->end1, stubFlags);
    DestroyWire(wire);
}

}  // namespace plexa
