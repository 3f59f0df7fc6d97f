// Regions: areas made of non-overlapping 32-bit rectangles. A region is a plain list of
// rectangles with its bounding box; an optimisation step cuts the rectangles into horizontal
// bands and merges neighbours, run lazily once enough rectangles were added since the last one.
// A large region takes single additions into a pending list, joined to it in one sweep once the
// pending list is as long as the region's, so that adding one rectangle at a time stays
// n log n; every reading or changing call joins them first.
// The set operations sweep the two areas in y-x bands and leave their result in that form;
// many rectangles gathered at once (an update area) are built into a region in one sweep.
// Regions serve as clip areas of drawing ports and for any computation of covered areas.
//
// Invariants: the rectangles never overlap, their union is the area, and the bounds are their
// bounding box (the inverted empty rectangle when there is none). A null region counts as empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct VXRgn {
    // List order: the head of the list is the last element (additions are pushed at the head).
    std::vector<LRect> rects;
    LRect bounds;
    uint32_t added;  // rectangles added since the last optimisation
    // Derived from the list: it is in y-x bands, sorted by top then left in vector order,
    // each band's rectangles sharing top and bottom, neither overlapping nor touching.
    bool banded;
    // Additions not yet joined to the list (they may overlap it and each other); their bounds
    // are already in bounds. Only a region of kRgnPendingFrom rectangles or more has any.
    std::vector<LRect> pending;
};

// Operation codes of RgnOperation.
enum : int32_t { kRgnDiff = 0, kRgnUnion = 1, kRgnSect = 2, kRgnXor = 3 };

// Additions since the last optimisation that trigger an optimisation before the next change.
constexpr uint32_t kRgnOptimizeThreshold = 17;
// The list length from which single additions are gathered in the pending list.
constexpr size_t kRgnPendingFrom = 1024;

using VXRgnEnumProc = void (*)(VXRgn* rgn, LRect* rect, void* refcon);

VXRgn* VXCreateRgn(const LRect* rect);
void VXDestroyRgn(VXRgn* rgn);
void VXSetEmptyRgn(VXRgn* rgn);
VXRgn* VXCopyRgn(const VXRgn* src, VXRgn* dst);
bool VXIsEmptyRgn(const VXRgn* rgn);
void VXSetRectRgn(VXRgn* rgn, const LRect* rect);
void VXAddRectToRgn(VXRgn* rgn, const LRect* rect);
// Adds the union of count rectangles (empty ones are ignored) in one sweep, however they
// overlap; the region ends in y-x bands. For many rectangles at once, such as an update area.
void VXAddRectsToRgn(VXRgn* rgn, const LRect* rects, size_t count);
void VXSubtractRectFromRgn(VXRgn* rgn, const LRect* rect);
void VXOffsetRgn(VXRgn* rgn, int32_t dh, int32_t dv);
void VXEnumRgnRects(VXRgn* rgn, bool optimise, VXRgnEnumProc proc, void* refcon);
// Copies up to max rectangles into buffer (LRect, or XRect when asCGRects) and returns how many;
// without a buffer or with max 0 returns the number of rectangles.
uint32_t VXGetRgnRects(VXRgn* rgn, bool asCGRects, void* buffer, uint32_t max, bool optimise);
// The result of a op b, into result or a new region when result is null. Any of a, b and result
// may be the same region.
VXRgn* RgnOperation(const VXRgn* a, const VXRgn* b, VXRgn* result, int32_t op);
bool VXSectRgn(const VXRgn* a, const VXRgn* b, VXRgn* result);
// The region becomes its intersection with the rectangle; true when that is not empty.
bool VXSectRectWithRgn(const LRect* rect, VXRgn* rgn);
// True when the rectangle and the region share any area; the region's area stays (a long plain
// list is cut into bands on the way, so that further tests are logarithmic).
bool VXRectMeetsRgn(const LRect* rect, const VXRgn* rgn);
bool VXPointInRgn(int32_t h, int32_t v, const VXRgn* rgn);
void VXOptimizeRgn(VXRgn* rgn);
VXRgn* VXGetScratchRgn(const LRect* rect);
void VXReleaseScratchRgn(VXRgn* rgn);

}  // namespace plexa
