// Sheet items drawn into grey pixel images at one sheet unit a pixel, for what must look at the
// pixels a drawing leaves: the image of the library part being placed, which follows the pointer
// (kept by sheeteditor/wiretracking.cpp), and the hit test of placed symbols whose drawing leaves
// a corner of their box empty (sheeteditor/sheetselect.h). An image is white where nothing was
// drawn.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct VXGrafState;
struct VXPixels;

// A new white grey image of the area's size into which `draw` has drawn in the given state, the
// area's top left on the image's first pixel, without smoothing and with colour drawing off (so
// that everything drawn is black). Null for an empty area, or when the image or its drawing state
// cannot be made. The caller destroys the image (VXDestroyPixelImage).
VXPixels* DrawSheetAreaImage(const Rect& area, const std::function<void(VXGrafState*)>& draw);

// The image of the library symbol being placed with the library-part tool: its pixels (one sheet
// unit a pixel; none when too large or not made), its bounds about the placing point (turned as
// it will be placed, with its texts and frames), and whether there is a symbol, whether it is too
// large for pixels, and whether it must be built again (the cached item or the transformation
// changed).
struct TrackingImageRecord {
    VXPixels* pixels = nullptr;
    Rect bounds{};
    bool valid = false;
    bool tooLarge = false;
    bool stale = true;
};
const TrackingImageRecord& GetTrackingSymbolImage();
// Builds the image of the cached library item's symbol turned by the transformation.
void BuildTrackingSymbolImage(SheetRecord* sheet, int32_t transform);
// Draws the image (or its dashed outline when too large or at a view scale of 24 % and below)
// with its placing point at the point, in the current window; false when there is nothing to draw
// (another tool, no symbol, or a net symbol placed for the wire under construction).
bool DrawTrackingSymbolImage(SheetRecord* sheet, Point point);

// Whether something was drawn at the sheet point of an image made for the area; false outside it.
bool IsAreaImageInked(const VXPixels* image, const Rect& area, Point point);

// How the drawing of a placed symbol decides a click inside its box.
enum class SymbolDrawingHit {
    kBox,   // the box decides: the drawing leaves no corner of it empty (or could not be looked at)
    kHit,   // the drawing lies within the tolerance of the point, or around it on every side
    kMiss,  // an empty part of the box: in a corner the drawing leaves empty, say
};
// Looks at the drawing of the symbol within its box (sheet units): a symbol whose drawing leaves
// a corner square of its box empty (a side of an eighth of the box's shorter side, so that a round
// drawing counts; boxes whose square would be under kEmptyCornerSide units are not looked at) is
// hit only where its drawing is near the point or encloses it (drawing to its left and right in
// its row and above and below in its column). Sheet symbols are not looked at.
constexpr int32_t kEmptyCornerSide = 6;
SymbolDrawingHit HitTestSymbolDrawing(SheetRecord* sheet, SymbolRecord* symbol, const Rect& box,
                                      Point point, int32_t tolerance);

}  // namespace plexa
