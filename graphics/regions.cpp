// Regions as lists of non-overlapping rectangles: addition, subtraction, the four set
// operations, band optimisation and a small pool of scratch regions.
#include "graphics/regions.h"

#include <algorithm>
#include <memory>

namespace plexa {
namespace {

constexpr LRect kEmptyBounds = {0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};
constexpr size_t kScratchPoolSize = 8;

bool RectEmpty(const LRect& r) { return r.bottom <= r.top || r.right <= r.left; }

bool RectsOverlap(const LRect& a, const LRect& b) {
    return a.right > b.left && b.right > a.left && a.bottom > b.top && b.bottom > a.top;
}

void UnionInto(LRect& bounds, const LRect& r) {
    bounds.top = std::min(bounds.top, r.top);
    bounds.left = std::min(bounds.left, r.left);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
    bounds.right = std::max(bounds.right, r.right);
}

// Pushes a rectangle at the head of the list.
void AddOne(VXRgn* rgn, const LRect& r) {
    rgn->rects.push_back(r);
    UnionInto(rgn->bounds, r);
    rgn->added++;
}

// Removes r from the region; the parts of the region inside r go to the collector when given.
void Subtract(VXRgn* rgn, const LRect& r, VXRgn* collector) {
    std::vector<LRect> old;
    old.swap(rgn->rects);
    rgn->bounds = kEmptyBounds;
    std::vector<LRect> kept;
    std::vector<LRect> pieces;
    // Walk the detached list from its head.
    for (auto it = old.rbegin(); it != old.rend(); ++it) {
        LRect p = *it;
        if (!RectsOverlap(p, r)) {
            kept.push_back(p);
            continue;
        }
        if (p.top < r.top) {
            pieces.push_back({p.top, p.left, r.top, p.right});
            p.top = r.top;
        }
        if (p.bottom > r.bottom) {
            pieces.push_back({r.bottom, p.left, p.bottom, p.right});
            p.bottom = r.bottom;
        }
        if (p.left < r.left) {
            pieces.push_back({p.top, p.left, p.bottom, r.left});
            p.left = r.left;
        }
        if (p.right > r.right) {
            pieces.push_back({p.top, r.right, p.bottom, p.right});
            p.right = r.right;
        }
        if (collector) {
            collector->rects.push_back(p);
            UnionInto(collector->bounds, p);
        }
    }
    // Kept nodes keep their order behind the new pieces, which were pushed at the head.
    rgn->rects.reserve(kept.size() + pieces.size());
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        rgn->rects.push_back(*it);
        UnionInto(rgn->bounds, *it);
    }
    for (const LRect& piece : pieces) AddOne(rgn, piece);
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

}  // namespace

VXRgn* VXCreateRgn(const LRect* rect) {
    auto* rgn = new VXRgn{{}, kEmptyBounds, 0};
    if (rect && !RectEmpty(*rect)) AddOne(rgn, *rect);
    return rgn;
}

void VXDestroyRgn(VXRgn* rgn) { delete rgn; }

void VXSetEmptyRgn(VXRgn* rgn) {
    if (!rgn) return;
    rgn->rects.clear();
    rgn->bounds = kEmptyBounds;
    rgn->added = 0;
}

VXRgn* VXCopyRgn(const VXRgn* src, VXRgn* dst) {
    if (!dst) dst = VXCreateRgn(nullptr);
    if (src == dst) return dst;
    VXSetEmptyRgn(dst);
    if (src) Combine(dst, src);
    return dst;
}

bool VXIsEmptyRgn(const VXRgn* rgn) { return !rgn || rgn->rects.empty(); }

void VXSetRectRgn(VXRgn* rgn, const LRect* rect) {
    if (!rgn) return;
    VXSetEmptyRgn(rgn);
    if (rect && !RectEmpty(*rect)) AddOne(rgn, *rect);
}

void VXAddRectToRgn(VXRgn* rgn, const LRect* rect) {
    if (!rgn || !rect || RectEmpty(*rect)) return;
    OptimizeIfDue(rgn, kRgnOptimizeThreshold);
    Subtract(rgn, *rect, nullptr);
    AddOne(rgn, *rect);
}

void VXSubtractRectFromRgn(VXRgn* rgn, const LRect* rect) {
    if (!rgn || !rect || RectEmpty(*rect)) return;
    OptimizeIfDue(rgn, kRgnOptimizeThreshold);
    Subtract(rgn, *rect, nullptr);
}

void VXOffsetRgn(VXRgn* rgn, int32_t dh, int32_t dv) {
    if (!rgn || rgn->rects.empty()) return;
    auto move = [dh, dv](LRect& r) { r = {r.top + dv, r.left + dh, r.bottom + dv, r.right + dh}; };
    move(rgn->bounds);
    for (LRect& r : rgn->rects) move(r);
}

void VXEnumRgnRects(VXRgn* rgn, bool optimise, VXRgnEnumProc proc, void* refcon) {
    if (!rgn || !proc) return;
    if (optimise || rgn->added >= kRgnOptimizeThreshold) VXOptimizeRgn(rgn);
    // The procedure receives a copy so that it cannot break the invariants.
    std::vector<LRect> list(rgn->rects.rbegin(), rgn->rects.rend());
    for (LRect& r : list) proc(rgn, &r, refcon);
}

uint32_t VXGetRgnRects(VXRgn* rgn, bool asCGRects, void* buffer, uint32_t max, bool optimise) {
    if (!rgn) return 0;
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
    // Both operands are copied first, so that the result may be either of them (or both).
    VXRgn opA{a->rects, a->bounds, a->added};
    VXRgn opB{b->rects, b->bounds, b->added};
    OptimizeIfDue(&opB, kRgnOptimizeThreshold);
    VXCopyRgn(&opA, result);
    VXRgn common{{}, kEmptyBounds, 0};
    const bool collect = op == kRgnSect || op == kRgnXor;
    for (auto it = opB.rects.rbegin(); it != opB.rects.rend(); ++it)
        Subtract(result, *it, collect ? &common : nullptr);
    switch (op) {
        case kRgnUnion:
            Combine(result, &opB);
            break;
        case kRgnSect:
            VXSetEmptyRgn(result);
            Combine(result, &common);
            break;
        case kRgnXor:
            Combine(result, &opB);
            for (auto it = common.rects.rbegin(); it != common.rects.rend(); ++it)
                Subtract(result, *it, nullptr);
            break;
        default:
            break;
    }
    return result;
}

bool VXSectRgn(const VXRgn* a, const VXRgn* b, VXRgn* result) {
    if (result) {
        RgnOperation(a, b, result, kRgnSect);
        return !VXIsEmptyRgn(result);
    }
    if (VXIsEmptyRgn(a) || VXIsEmptyRgn(b)) return false;
    if (!RectsOverlap(a->bounds, b->bounds)) return false;
    for (const LRect& ra : a->rects)
        for (const LRect& rb : b->rects)
            if (RectsOverlap(ra, rb)) return true;
    return false;
}

bool VXSectRectWithRgn(const LRect* rect, VXRgn* rgn) {
    if (!rgn) return false;
    VXRgn other{{}, kEmptyBounds, 0};
    if (rect && !RectEmpty(*rect)) AddOne(&other, *rect);
    RgnOperation(rgn, &other, rgn, kRgnSect);
    return !VXIsEmptyRgn(rgn);
}

bool VXPointInRgn(int32_t h, int32_t v, const VXRgn* rgn) {
    if (VXIsEmptyRgn(rgn)) return false;
    auto inside = [h, v](const LRect& r) {
        return v >= r.top && v < r.bottom && h >= r.left && h < r.right;
    };
    if (!inside(rgn->bounds)) return false;
    return std::any_of(rgn->rects.begin(), rgn->rects.end(), inside);
}

void VXOptimizeRgn(VXRgn* rgn) {
    if (!rgn) return;
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
    if (rect && !RectEmpty(*rect)) AddOne(rgn, *rect);
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
