// Regions as lists of non-overlapping rectangles: addition, subtraction, band optimisation, a
// small pool of scratch regions, and the four set operations as one sweep over y-x bands.
//
// A y-x banded list (the region's banded flag) is sorted by top, then left; the rectangles of
// a band share their top and bottom, bands do not overlap, and the rectangles of one band
// neither overlap nor touch. The set operations and the bulk addition leave their results in
// that form, with equal neighbouring bands joined; an operand in any other form is cut into
// bands first. Single additions and subtractions keep working on the plain list.
#include "graphics/regions.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace plexa {
namespace {

constexpr LRect kEmptyBounds = {0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};
constexpr size_t kScratchPoolSize = 8;
// Operand sizes up to which VXSectRgn without a result compares every pair of rectangles.
constexpr size_t kPairwiseLimit = 4096;
// Plain lists up to which VXRectMeetsRgn reads every rectangle rather than cutting bands.
constexpr size_t kPlainReadLimit = 16;

using Rects = std::vector<LRect>;


bool RectsOverlap(const LRect& a, const LRect& b) {
    return a.right > b.left && b.right > a.left && a.bottom > b.top && b.bottom > a.top;
}

void UnionInto(LRect& bounds, const LRect& r) {
    bounds.top = std::min(bounds.top, r.top);
    bounds.left = std::min(bounds.left, r.left);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
    bounds.right = std::max(bounds.right, r.right);
}

// Working lists of the sweeps, reused from call to call.
struct Scratch {
    Rects a, b, out, hits;
    std::vector<int32_t> edges;
    std::vector<uint32_t> order, active, arriving;
};
Scratch& Scratches() {
    thread_local Scratch scratch;
    return scratch;
}

// Pushes a rectangle at the head of the list.
void AddOne(VXRgn* rgn, const LRect& r) {
    rgn->banded = rgn->rects.empty();
    rgn->rects.push_back(r);
    UnionInto(rgn->bounds, r);
    rgn->added++;
}

// Removes r from the region. The kept rectangles stay in their order; the pieces of those that
// r cuts are pushed at the head, in the order of a walk from the head.
void Subtract(VXRgn* rgn, const LRect& r) {
    Rects& list = rgn->rects;
    Rects& hits = Scratches().hits;
    hits.clear();
    LRect bounds = kEmptyBounds;
    size_t kept = 0;
    for (const LRect& p : list) {
        if (RectsOverlap(p, r)) {
            hits.push_back(p);
        } else {
            list[kept++] = p;
            UnionInto(bounds, p);
        }
    }
    if (hits.empty()) return;
    list.resize(kept);
    rgn->bounds = bounds;
    const bool banded = rgn->banded || list.size() <= 1;
    bool cut = false;
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
        LRect p = *it;
        const size_t before = list.size();
        if (p.top < r.top) {
            AddOne(rgn, {p.top, p.left, r.top, p.right});
            p.top = r.top;
        }
        if (p.bottom > r.bottom) {
            AddOne(rgn, {r.bottom, p.left, p.bottom, p.right});
            p.bottom = r.bottom;
        }
        if (p.left < r.left) {
            AddOne(rgn, {p.top, p.left, p.bottom, r.left});
            p.left = r.left;
        }
        if (p.right > r.right) {
            AddOne(rgn, {p.top, r.right, p.bottom, p.right});
            p.right = r.right;
        }
        cut |= list.size() != before;
    }
    // Dropping whole rectangles keeps a banded list banded.
    rgn->banded = (banded && !cut) || list.size() <= 1;
}

void OptimizeIfDue(VXRgn* rgn, uint32_t threshold) {
    if (rgn && rgn->added >= threshold) VXOptimizeRgn(rgn);
}

// Adds every rectangle of src to dst as it is (the caller knows they do not overlap).
void Combine(VXRgn* dst, const VXRgn* src) {
    for (auto it = src->rects.rbegin(); it != src->rects.rend(); ++it) AddOne(dst, *it);
    OptimizeIfDue(dst, kRgnOptimizeThreshold);
}

std::vector<std::unique_ptr<VXRgn>>& ScratchPool() {
    static std::vector<std::unique_ptr<VXRgn>> pool;
    return pool;
}

// ---- Band sweeps ----

// A banded list being written: the spans of the current band are appended to out, then the
// band is closed: an empty band is dropped, and a band that continues the last one kept with
// the same spans joins it. Keeps the left and right bounds of what it kept.
class BandWriter {
public:
    explicit BandWriter(Rects& out) : out_(out) { out_.clear(); }

    void Begin(int32_t top, int32_t bottom) {
        start_ = out_.size();
        top_ = top;
        bottom_ = bottom;
    }
    // A span right of the band's spans so far; one that touches the last becomes part of it.
    void Span(int32_t left, int32_t right) {
        if (out_.size() > start_ && out_.back().right >= left) {
            out_.back().right = std::max(out_.back().right, right);
            return;
        }
        out_.push_back({top_, left, bottom_, right});
    }
    void End() {
        const size_t count = out_.size() - start_;
        if (count == 0) return;
        if (previous_ != SIZE_MAX && start_ - previous_ == count && out_[previous_].bottom == top_) {
            bool same = true;
            for (size_t i = 0; i < count && same; i++)
                same = out_[previous_ + i].left == out_[start_ + i].left &&
                       out_[previous_ + i].right == out_[start_ + i].right;
            if (same) {
                for (size_t i = previous_; i < start_; i++) out_[i].bottom = bottom_;
                out_.resize(start_);
                return;
            }
        }
        previous_ = start_;
        left_ = std::min(left_, out_[start_].left);
        right_ = std::max(right_, out_.back().right);
    }
    // The bounds of the list written (the inverted empty rectangle for none).
    LRect Bounds() const {
        if (out_.empty()) return kEmptyBounds;
        return {out_.front().top, left_, out_.back().bottom, right_};
    }

private:
    Rects& out_;
    size_t start_ = 0, previous_ = SIZE_MAX;
    int32_t top_ = 0, bottom_ = 0;
    int32_t left_ = INT32_MAX, right_ = INT32_MIN;
};

using Span = const LRect*;

void CopySpans(Span a, Span aEnd, BandWriter& w) {
    for (; a != aEnd; ++a) w.Span(a->left, a->right);
}

void UniteSpans(Span a, Span aEnd, Span b, Span bEnd, BandWriter& w) {
    while (a != aEnd && b != bEnd) {
        const LRect& r = a->left <= b->left ? *a++ : *b++;
        w.Span(r.left, r.right);
    }
    CopySpans(a, aEnd, w);
    CopySpans(b, bEnd, w);
}

void IntersectSpans(Span a, Span aEnd, Span b, Span bEnd, BandWriter& w) {
    while (a != aEnd && b != bEnd) {
        const int32_t left = std::max(a->left, b->left), right = std::min(a->right, b->right);
        if (left < right) w.Span(left, right);
        if (a->right < b->right) ++a;
        else if (b->right < a->right) ++b;
        else ++a, ++b;
    }
}

void SubtractSpans(Span a, Span aEnd, Span b, Span bEnd, BandWriter& w) {
    for (; a != aEnd; ++a) {
        while (b != bEnd && b->right <= a->left) ++b;
        int32_t x = a->left;
        for (Span c = b; c != bEnd && c->left < a->right && x < a->right; ++c) {
            if (c->left > x) w.Span(x, c->left);
            x = std::max(x, c->right);
        }
        if (x < a->right) w.Span(x, a->right);
    }
}

// Exclusive or: walks the edges of both, keeping what lies in exactly one.
void XorSpans(Span a, Span aEnd, Span b, Span bEnd, BandWriter& w) {
    bool inA = false, inB = false;
    int32_t start = 0;
    while (a != aEnd || b != bEnd) {
        const bool moreA = a != aEnd, moreB = b != bEnd;
        const int32_t xa = moreA ? (inA ? a->right : a->left) : INT32_MAX;
        const int32_t xb = moreB ? (inB ? b->right : b->left) : INT32_MAX;
        const int32_t x = std::min(xa, xb);
        const bool was = inA != inB;
        if (moreA && xa == x) {
            if (inA) ++a;
            inA = !inA;
        }
        if (moreB && xb == x) {
            if (inB) ++b;
            inB = !inB;
        }
        const bool now = inA != inB;
        if (now && !was) start = x;
        else if (!now && was && start < x) w.Span(start, x);
    }
}

Span BandEnd(Span p, Span end) {
    const int32_t top = p != end ? p->top : 0;
    while (p != end && p->top == top) ++p;
    return p;
}

// a op b over two banded lists, into out as a banded list; returns its bounds.
LRect BandOperation(const Rects& ra, const Rects& rb, int32_t op, Rects& out) {
    BandWriter w(out);
    Span pa = ra.data(), ea = pa + ra.size(), pb = rb.data(), eb = pb + rb.size();
    Span aBand = BandEnd(pa, ea), bBand = BandEnd(pb, eb);
    const bool keepA = op != kRgnSect, keepB = op == kRgnUnion || op == kRgnXor;
    int32_t y = INT32_MIN;
    while ((pa != ea && (keepA || pb != eb)) || (pb != eb && (keepB || pa != ea))) {
        const int32_t aTop = pa != ea ? std::max(pa->top, y) : INT32_MAX;
        const int32_t bTop = pb != eb ? std::max(pb->top, y) : INT32_MAX;
        const int32_t top = std::min(aTop, bTop);
        const bool inA = pa != ea && aTop == top;
        const bool inB = pb != eb && bTop == top;
        const int32_t bottom = std::min(inA ? pa->bottom : aTop, inB ? pb->bottom : bTop);
        w.Begin(top, bottom);
        if (inA && inB) {
            switch (op) {
                case kRgnUnion: UniteSpans(pa, aBand, pb, bBand, w); break;
                case kRgnSect: IntersectSpans(pa, aBand, pb, bBand, w); break;
                case kRgnXor: XorSpans(pa, aBand, pb, bBand, w); break;
                default: SubtractSpans(pa, aBand, pb, bBand, w); break;
            }
        } else if (inA && keepA) {
            CopySpans(pa, aBand, w);
        } else if (inB && keepB) {
            CopySpans(pb, bBand, w);
        }
        w.End();
        y = bottom;
        if (inA && pa->bottom == bottom) aBand = BandEnd(pa = aBand, ea);
        if (inB && pb->bottom == bottom) bBand = BandEnd(pb = bBand, eb);
    }
    return w.Bounds();
}

// The union of any rectangles (empty ones are ignored) as a banded list, by a sweep down the
// distinct tops and bottoms with the rectangles that cover each band kept sorted by left;
// returns its bounds.
LRect BuildBands(const LRect* rects, size_t n, Rects& out) {
    Scratch& s = Scratches();
    BandWriter w(out);
    s.edges.clear();
    s.order.clear();
    for (size_t i = 0; i < n; i++) {
        if (RectIsEmpty(rects[i])) continue;
        s.edges.push_back(rects[i].top);
        s.edges.push_back(rects[i].bottom);
        s.order.push_back(uint32_t(i));
    }
    std::sort(s.edges.begin(), s.edges.end());
    s.edges.erase(std::unique(s.edges.begin(), s.edges.end()), s.edges.end());
    auto byTop = [rects](uint32_t x, uint32_t y) { return rects[x].top < rects[y].top; };
    auto byLeft = [rects](uint32_t x, uint32_t y) { return rects[x].left < rects[y].left; };
    std::sort(s.order.begin(), s.order.end(), byTop);
    s.active.clear();
    size_t next = 0;
    for (size_t k = 0; k + 1 < s.edges.size(); k++) {
        const int32_t top = s.edges[k], bottom = s.edges[k + 1];
        s.active.erase(std::remove_if(s.active.begin(), s.active.end(),
                                      [rects, top](uint32_t i) { return rects[i].bottom <= top; }),
                       s.active.end());
        s.arriving.clear();
        while (next < s.order.size() && rects[s.order[next]].top == top) s.arriving.push_back(s.order[next++]);
        if (!s.arriving.empty()) {
            std::sort(s.arriving.begin(), s.arriving.end(), byLeft);
            const size_t middle = s.active.size();
            s.active.insert(s.active.end(), s.arriving.begin(), s.arriving.end());
            std::inplace_merge(s.active.begin(), s.active.begin() + ptrdiff_t(middle), s.active.end(), byLeft);
        }
        w.Begin(top, bottom);
        for (uint32_t i : s.active) w.Span(rects[i].left, rects[i].right);
        w.End();
    }
    return w.Bounds();
}

// Brings a region's list into y-x bands in place, as an operation brings its b operand into
// the optimised form: the area and the bounds stay, only the form of the list changes. So an
// operand is cut into bands once, not at every operation.
const Rects& Banded(const VXRgn* region) {
    auto* rgn = const_cast<VXRgn*>(region);
    if (!rgn->banded && rgn->rects.size() > 1) {
        Rects& bands = Scratches().a;
        BuildBands(rgn->rects.data(), rgn->rects.size(), bands);
        rgn->rects.swap(bands);
        bands.clear();
        rgn->added = 0;
    }
    rgn->banded = true;
    return rgn->rects;
}

// Makes a banded list with its bounds the region's rectangles (the list is swapped in).
void TakeBands(VXRgn* rgn, Rects& bands, const LRect& bounds) {
    rgn->rects.swap(bands);
    bands.clear();
    rgn->added = 0;
    rgn->banded = true;
    rgn->bounds = bounds;
}

// Unites the rectangles of src with the region's list in one sweep (the region in y-x bands).
void UniteInBands(VXRgn* rgn, const LRect* src, size_t count) {
    Scratch& s = Scratches();
    const LRect bounds = BuildBands(src, count, s.b);
    if (s.b.empty()) return;
    if (rgn->rects.empty()) return TakeBands(rgn, s.b, bounds);
    const LRect united = BandOperation(Banded(rgn), s.b, kRgnUnion, s.out);
    TakeBands(rgn, s.out, united);
}

// Joins the pending additions to the list; the area and the bounds stay. Every call that reads
// or changes the list, other than a single addition, settles the region first.
const VXRgn* Settled(const VXRgn* region) {
    if (!region || region->pending.empty()) return region;
    auto* rgn = const_cast<VXRgn*>(region);
    Rects pending;
    pending.swap(rgn->pending);
    UniteInBands(rgn, pending.data(), pending.size());
    return rgn;
}
VXRgn* Settled(VXRgn* rgn) { return const_cast<VXRgn*>(Settled(static_cast<const VXRgn*>(rgn))); }

}  // namespace

VXRgn* VXCreateRgn(const LRect* rect) {
    auto* rgn = new VXRgn{{}, kEmptyBounds, 0, true, {}};
    if (rect && !RectIsEmpty(*rect)) AddOne(rgn, *rect);
    return rgn;
}

void VXDestroyRgn(VXRgn* rgn) { delete rgn; }

void VXSetEmptyRgn(VXRgn* rgn) {
    if (!rgn) return;
    rgn->rects.clear();
    rgn->pending.clear();
    rgn->bounds = kEmptyBounds;
    rgn->added = 0;
    rgn->banded = true;
}

VXRgn* VXCopyRgn(const VXRgn* src, VXRgn* dst) {
    if (!dst) dst = VXCreateRgn(nullptr);
    if (src == dst) return dst;
    VXSetEmptyRgn(dst);
    if (!src) return dst;
    Settled(src);
    if (src->banded) {
        // Already as compact as a sweep leaves it: taken as it is.
        dst->rects = src->rects;
        dst->bounds = src->bounds;
        dst->added = src->added;
        return dst;
    }
    Combine(dst, src);
    return dst;
}

bool VXIsEmptyRgn(const VXRgn* rgn) { return !rgn || (rgn->rects.empty() && rgn->pending.empty()); }

void VXSetRectRgn(VXRgn* rgn, const LRect* rect) {
    if (!rgn) return;
    VXSetEmptyRgn(rgn);
    if (rect && !RectIsEmpty(*rect)) AddOne(rgn, *rect);
}

void VXAddRectToRgn(VXRgn* rgn, const LRect* rect) {
    if (!rgn || !rect || RectIsEmpty(*rect)) return;
    if (!rgn->pending.empty() || rgn->rects.size() >= kRgnPendingFrom) {
        // Joined in one sweep once there are as many as the list holds: each addition then
        // costs a logarithmic share of the sweeps.
        rgn->pending.push_back(*rect);
        UnionInto(rgn->bounds, *rect);
        if (rgn->pending.size() >= rgn->rects.size()) Settled(rgn);
        return;
    }
    OptimizeIfDue(rgn, kRgnOptimizeThreshold);
    if (RectsOverlap(rgn->bounds, *rect)) Subtract(rgn, *rect);
    AddOne(rgn, *rect);
}

void VXAddRectsToRgn(VXRgn* rgn, const LRect* rects, size_t count) {
    if (!rgn || !rects || count == 0) return;
    UniteInBands(Settled(rgn), rects, count);
}

void VXSubtractRectFromRgn(VXRgn* rgn, const LRect* rect) {
    if (!rgn || !rect || RectIsEmpty(*rect)) return;
    Settled(rgn);
    OptimizeIfDue(rgn, kRgnOptimizeThreshold);
    if (RectsOverlap(rgn->bounds, *rect)) Subtract(rgn, *rect);
}

void VXOffsetRgn(VXRgn* rgn, int32_t dh, int32_t dv) {
    if (!Settled(rgn) || rgn->rects.empty()) return;
    auto move = [dh, dv](LRect& r) { r = {r.top + dv, r.left + dh, r.bottom + dv, r.right + dh}; };
    move(rgn->bounds);
    for (LRect& r : rgn->rects) move(r);
}

void VXEnumRgnRects(VXRgn* rgn, bool optimise, VXRgnEnumProc proc, void* refcon) {
    if (!Settled(rgn) || !proc) return;
    if (optimise || rgn->added >= kRgnOptimizeThreshold) VXOptimizeRgn(rgn);
    // The procedure receives a copy so that it cannot break the invariants.
    std::vector<LRect> list(rgn->rects.rbegin(), rgn->rects.rend());
    for (LRect& r : list) proc(rgn, &r, refcon);
}

uint32_t VXGetRgnRects(VXRgn* rgn, bool asCGRects, void* buffer, uint32_t max, bool optimise) {
    if (!Settled(rgn)) return 0;
    if (optimise || rgn->added >= kRgnOptimizeThreshold) VXOptimizeRgn(rgn);
    const auto count = uint32_t(rgn->rects.size());
    if (!buffer || max == 0) return count;
    const uint32_t n = std::min(count, max);
    for (uint32_t i = 0; i < n; i++) {
        const LRect& r = rgn->rects[count - 1 - i];
        if (asCGRects) {
            static_cast<XRect*>(buffer)[i] = {double(r.left), double(r.top),
                                              std::max(0.0, double(r.right) - r.left),
                                              std::max(0.0, double(r.bottom) - r.top)};
        } else {
            static_cast<LRect*>(buffer)[i] = r;
        }
    }
    return n;
}

VXRgn* RgnOperation(const VXRgn* a, const VXRgn* b, VXRgn* result, int32_t op) {
    if (!result) result = VXCreateRgn(nullptr);
    Settled(a);
    Settled(b);
    if (VXIsEmptyRgn(a)) {
        if (op == kRgnUnion || op == kRgnXor) VXCopyRgn(b, result);
        else VXSetEmptyRgn(result);
        return result;
    }
    if (VXIsEmptyRgn(b)) {
        if (op == kRgnSect) VXSetEmptyRgn(result);
        else VXCopyRgn(a, result);
        return result;
    }
    if (op == kRgnSect && (a->rects.size() == 1 || b->rects.size() == 1)) {
        // One rectangle clips the other operand's list as it is.
        const bool aIsRect = a->rects.size() == 1;
        const LRect clip = aIsRect ? a->rects[0] : b->rects[0];
        VXCopyRgn(aIsRect ? b : a, result);
        VXSectRectWithRgn(&clip, result);
        return result;
    }
    // The operands are read in full before the result is written, so that the result may be
    // either of them (or both).
    const Rects& ra = Banded(a);
    const Rects& rb = Banded(b);
    Rects& out = Scratches().out;
    const LRect bounds = BandOperation(ra, rb, op < kRgnDiff || op > kRgnXor ? kRgnDiff : op, out);
    TakeBands(result, out, bounds);
    return result;
}

bool VXSectRgn(const VXRgn* a, const VXRgn* b, VXRgn* result) {
    if (result) {
        RgnOperation(a, b, result, kRgnSect);
        return !VXIsEmptyRgn(result);
    }
    if (VXIsEmptyRgn(a) || VXIsEmptyRgn(b)) return false;
    if (!RectsOverlap(a->bounds, b->bounds)) return false;
    Settled(a);
    Settled(b);
    if (a->rects.size() * b->rects.size() <= kPairwiseLimit) {
        for (const LRect& ra : a->rects)
            for (const LRect& rb : b->rects)
                if (RectsOverlap(ra, rb)) return true;
        return false;
    }
    const Rects& ra = Banded(a);
    const Rects& rb = Banded(b);
    Rects& out = Scratches().out;
    BandOperation(ra, rb, kRgnSect, out);
    const bool any = !out.empty();
    out.clear();
    return any;
}

bool VXSectRectWithRgn(const LRect* rect, VXRgn* rgn) {
    if (!Settled(rgn)) return false;
    if (!rect || RectIsEmpty(*rect)) {
        VXSetEmptyRgn(rgn);
        return false;
    }
    // Each rectangle clipped to the rectangle; a banded list stays banded.
    LRect bounds = kEmptyBounds;
    size_t kept = 0;
    for (const LRect& p : rgn->rects) {
        const LRect c = {std::max(p.top, rect->top), std::max(p.left, rect->left),
                         std::min(p.bottom, rect->bottom), std::min(p.right, rect->right)};
        if (RectIsEmpty(c)) continue;
        rgn->rects[kept++] = c;
        UnionInto(bounds, c);
    }
    rgn->rects.resize(kept);
    rgn->bounds = bounds;
    if (kept <= 1) rgn->banded = true;
    return kept > 0;
}

bool VXRectMeetsRgn(const LRect* rect, const VXRgn* rgn) {
    if (!rect || RectIsEmpty(*rect) || VXIsEmptyRgn(Settled(rgn))) return false;
    if (!RectsOverlap(*rect, rgn->bounds)) return false;
    // A short plain list is read as it is; a longer one is cut into bands once, so that every
    // later test looks only at the bands the rectangle crosses.
    if (!rgn->banded && rgn->rects.size() <= kPlainReadLimit)
        return std::any_of(rgn->rects.begin(), rgn->rects.end(),
                           [rect](const LRect& r) { return RectsOverlap(r, *rect); });
    const Rects& list = Banded(rgn);
    // Bands do not overlap, so their bottoms rise with their tops: the first band ending below
    // the rectangle's top, then band by band while they start above its bottom.
    auto band = std::upper_bound(list.begin(), list.end(), rect->top,
                                 [](int32_t y, const LRect& r) { return y < r.bottom; });
    while (band != list.end() && band->top < rect->bottom) {
        const int32_t top = band->top;
        const auto end = std::upper_bound(band, list.end(), top,
                                          [](int32_t y, const LRect& r) { return y < r.top; });
        // The first span of the band ending right of the rectangle's left.
        const auto span = std::upper_bound(band, end, rect->left,
                                           [](int32_t x, const LRect& r) { return x < r.right; });
        if (span != end && span->left < rect->right) return true;
        band = end;
    }
    return false;
}

bool VXPointInRgn(int32_t h, int32_t v, const VXRgn* rgn) {
    if (VXIsEmptyRgn(Settled(rgn))) return false;
    auto inside = [h, v](const LRect& r) {
        return v >= r.top && v < r.bottom && h >= r.left && h < r.right;
    };
    if (!inside(rgn->bounds)) return false;
    if (!rgn->banded) return std::any_of(rgn->rects.begin(), rgn->rects.end(), inside);
    // The band holding v, then the span holding h.
    const auto& list = rgn->rects;
    auto it = std::upper_bound(list.begin(), list.end(), v,
                               [](int32_t y, const LRect& r) { return y < r.top; });
    if (it == list.begin()) return false;
    const int32_t top = std::prev(it)->top;
    if (v >= std::prev(it)->bottom) return false;
    auto first = std::lower_bound(list.begin(), it, top,
                                  [](const LRect& r, int32_t y) { return r.top < y; });
    auto span = std::upper_bound(first, it, h, [](int32_t x, const LRect& r) { return x < r.left; });
    return span != first && h < std::prev(span)->right;
}
void VXOptimizeRgn(VXRgn* rgn) {
    if (!Settled(rgn)) return;
    if (rgn->rects.size() <= 1) {
        rgn->added = 0;
        return;
    }
    std::vector<int32_t> edges;
    edges.reserve(rgn->rects.size() * 2);
    for (const LRect& r : rgn->rects) {
        edges.push_back(r.top);
        edges.push_back(r.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    // Cut every rectangle into the bands it spans.
    std::vector<LRect> cut;
    cut.reserve(rgn->rects.size() * 2);
    for (const LRect& r : rgn->rects) {
        auto it = std::upper_bound(edges.begin(), edges.end(), r.top);
        int32_t top = r.top;
        for (; it != edges.end() && *it < r.bottom; ++it) {
            cut.push_back({top, r.left, *it, r.right});
            top = *it;
        }
        cut.push_back({top, r.left, r.bottom, r.right});
    }

    // Row merge: neighbours in one band that touch.
    std::sort(cut.begin(), cut.end(), [](const LRect& a, const LRect& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    std::vector<LRect> rows;
    rows.reserve(cut.size());
    for (const LRect& r : cut) {
        if (!rows.empty() && rows.back().top == r.top && rows.back().right == r.left)
            rows.back().right = r.right;
        else
            rows.push_back(r);
    }

    // Column merge: equal columns that touch vertically.
    std::sort(rows.begin(), rows.end(), [](const LRect& a, const LRect& b) {
        return a.left != b.left ? a.left < b.left : a.top < b.top;
    });
    std::vector<LRect> merged;
    merged.reserve(rows.size());
    for (const LRect& r : rows) {
        if (!merged.empty() && merged.back().left == r.left && merged.back().right == r.right &&
            merged.back().bottom == r.top)
            merged.back().bottom = r.bottom;
        else
            merged.push_back(r);
    }
    // List order follows the sorted order from the head.
    rgn->rects.assign(merged.rbegin(), merged.rend());
    rgn->added = 0;
    rgn->banded = rgn->rects.size() <= 1;
}

VXRgn* VXGetScratchRgn(const LRect* rect) {
    auto& pool = ScratchPool();
    VXRgn* rgn;
    if (pool.empty()) {
        rgn = VXCreateRgn(nullptr);
    } else {
        rgn = pool.back().release();
        pool.pop_back();
    }
    if (rect && !RectIsEmpty(*rect)) AddOne(rgn, *rect);
    return rgn;
}

void VXReleaseScratchRgn(VXRgn* rgn) {
    if (!rgn) return;
    auto& pool = ScratchPool();
    if (pool.size() < kScratchPoolSize) {
        VXSetEmptyRgn(rgn);
        pool.emplace_back(rgn);
    } else {
        VXDestroyRgn(rgn);
    }
}

}  // namespace plexa
