// The grid shared by sheets and the symbol editor: snapping points to it, the dotted grid of the
// sheet pane (drawn from a cached one-unit-high pattern row), the two rulers along the top and
// the left of a window with their inch marks, and the guide lines in them that follow the
// pointer. This module owns the pattern row and the one set of ruler guides of the program.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct _LPNT;
struct SheetRecord;
struct VXWindowRecordTag;

// The symbol editor's drawing surface (36 by 46 inches at 96 units an inch).
constexpr Rect kSurfaceRect = {0, 0, 3456, 4416};
// The resolution of the symbol editor's rulers.
constexpr int32_t kSymbolEditorResolution = 96;
// The depth of a ruler (its base line) and of a guide in it.
constexpr int16_t kRulerBaseLine = 13;
constexpr int16_t kRulerGuideDepth = 11;
// Colour of the rulers' marks and of their corner.
constexpr uint32_t kRulerInkColor = 0x07000000;
constexpr uint32_t kRulerCornerColor = 0x0ABBBBBB;
constexpr uint32_t kRulerGroundColor = 0x0BFFFFFF;

// The sheet's grid point of a point: snapped when the sheet snaps.
void GetSheetGridPoint(const SheetRecord* sheet, Point* point);
// Snaps a point in whichever editor owns the current port (the top parent of the current
// window): a symbol editor's grid, a sheet's grid; anywhere else the point stays.
void GridPointLock(Point* point);

// The window's scale in percent: 100 units at the window's scale, horizontally unless that is
// exactly 100.
int32_t GetWindowScale(VXWindowRecordTag* window);

// The dot step of a grid in a window: the grid (at least 1) doubled until it is 4 screen units
// or more.
int32_t CalcGridDotStep(VXWindowRecordTag* window, int32_t grid);
// Draws the dotted grid of the window over its view (within rect when given), in colour kind 6.
void DrawGrid(VXWindowRecordTag* window, int32_t grid, const Rect* rect);
// Rebuilds the cached pattern row for a dot interval; the interval it holds (0 before the first).
void SetGridPattern(int32_t interval);
int32_t GridPatternInterval();
// Releases the pattern row (at exit).
void DisposeGridPattern();

// The tick step of the rulers: the grid (at least 2) doubled until both of its screen sides are
// 4 units or more.
int32_t CalcRulerStep(VXWindowRecordTag* window, int32_t grid);
// Draws the ruler pane that is current (0 the top ruler, 1 the left one) of a sheet or symbol
// editor window; nothing in other windows.
void DrawRulerPane(VXWindowRecordTag* window);
void DrawHorzRuler(VXWindowRecordTag* window, const Rect* rect, int32_t resolution, int32_t step);
void DrawVertRuler(VXWindowRecordTag* window, const Rect* rect, int32_t resolution, int32_t step);
void DrawRulerCorner(VXWindowRecordTag* window);
// Draws the corner and both rulers with their guides of a window that shows rulers, each in its
// own pane, then makes the main pane current again.
void DrawWindowRulers(VXWindowRecordTag* window);

// The ruler guides follow a point of the main pane (only in windows with rulers): inside the
// view it is snapped and pinned into the drawing area and the guides move there; outside it the
// guides hide.
void SetRulerGuidePositions(VXWindowRecordTag* window, int32_t h, int32_t v);
void InvalTopRulerGuide(VXWindowRecordTag* window);
void InvalLeftRulerGuide(VXWindowRecordTag* window);
// Draws the guide of the current ruler pane, only in the front-most visible window.
void DrawRulerGuide(VXWindowRecordTag* window);
void DrawTop(VXWindowRecordTag* window);
void DrawLeft(VXWindowRecordTag* window);
// The guides' state: positions and whether they are shown.
struct RulerGuides {
    int32_t h = 0, v = 0;
    bool shown = false;
};
const RulerGuides& GetRulerGuides();

// The mouse in the main pane's coordinates of the current window; the guides follow it.
int32_t RGetMouse(Point* point);

// The feedback of a selection rectangle in a sheet or symbol editor window (message 2: the
// outline's look; message 1: the guides follow the mouse).
void TrackSurfaceSelectionRectHook(VXWindowRecordTag* window, int32_t message, const _LPNT* point,
                                   void* refcon);

}  // namespace plexa
