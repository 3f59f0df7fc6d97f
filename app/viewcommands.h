// The view scale of the front sheet or symbol editor: the standard zoom steps, the fit factor,
// zooming by command, by gesture (pinch, or Ctrl with the wheel) and by the zoom tool's click,
// and the grid size of the symbol editor.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr int16_t kMinGestureScale = 10;
constexpr int16_t kMinZoomToolScale = 2;

// The next standard step above (direction >= 1) or below (direction < 1) the percent.
int32_t GetNextStandardViewScale(int32_t scale, int32_t direction);
// For each axis the client extent over the rectangle's (from the origin to its far edge when
// fromOrigin), each at most 1.0; the smaller of the two, at least 0.01.
double CalcScaleFactorToFit(Point clientSize, const Rect& rect, bool fromOrigin);
// The percent a gesture of `amount` leads to from `percent` (documentWindow: a sheet or a symbol
// editor; others step as from 100); `percent` itself when the gesture is too small.
int32_t GestureViewScale(int32_t percent, int32_t amount, bool documentWindow);
// The percent a zoom-tool rectangle gives in a client area: 0 for a click (a rectangle under 6
// by 6 pixels), else the fitting percent, from 2 (below 3) up to the largest.
int32_t ZoomRectViewScale(Point clientSize, const Rect& dragged);

// The union of the bounds of everything drawn on the sheet: graphic elements, symbols, signals,
// busses, text frames and the texts that are not hidden. Empty for an empty sheet.
Rect SheetContentBounds(SheetRecord* sheet);

// Sets the front sheet's or symbol editor's percent (< 0: scale to fit the whole content: of a
// sheet everything drawn on it, of a symbol editor its drawing, from the origin) and scrolls to
// keep the focus in sight: the text being edited, else on a sheet the flashing wire's floating
// end, the first handle or the selection, in a symbol editor the highlighted items; else the
// whole content. The text being edited is measured again at the new scale. 1 when it changed.
int32_t SetViewScale(int32_t scale, int16_t kind);
// Zoom by gesture in the window (a sheet window or a symbol editor window).
void AdjustViewScale(VXWindowRecordTag* window, int32_t amount);
// Records the scale and view it leaves (which the zoom-area button's Option click goes back to),
// sets the scale and centres the view on the rectangle's centre; returns the scale.
int32_t SetScaledViewPostion(VXWindowRecordTag* window, int32_t scale, const Rect& rect);
// The zoom tool's mouse-down: a rectangle drawn zooms so that it fills the window; a click (or
// a rectangle under 6 by 6) zooms one standard step around it, out with Option. Undoable.
// 1 when a rectangle was drawn.
int32_t TrackZoomRect(VXWindowRecordTag* window, const VXEventRecord* event);
// Stores the symbol editor's grid and redraws its surface.
void SetGridScale(int32_t grid, int16_t kind);

// The sheet window's wheel and pinch: Ctrl with the wheel, or a pinch, zooms. 1 when handled.
int32_t SheetZoomGestureHook(VXWindowRecordTag* window, const void* event);

}  // namespace plexa
