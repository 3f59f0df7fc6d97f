// The two tool bars of a sheet window: the tool palette down the left side (one button a drawing
// tool) and the top tool bar (snap, zoom area, rotate and mirror, outline width and colours,
// library search and folders, the "Project Context" popup), which expands to hold the library
// pane. Their event handlers, the buttons' places, their tool tips, and expanding and collapsing
// the top bar.
//
// The library pane (sheeteditor/libbrowser.h) lives in the top bar while it is expanded; the
// sheet record keeps it (`SheetRecord::libraryPane`).
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct LibBrowserRecord;
struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// A top-bar button: its id and its x and y layout codes.
struct TopToolPlace {
    int16_t id, x, y;
};
constexpr int32_t kTopToolCount = 11;
constexpr int32_t kDrawingToolCount = 16;
// The collapsed and the expanded layout.
extern const TopToolPlace gTopToolsMap[kTopToolCount];
extern const TopToolPlace gExpTopToolsMap[kTopToolCount];
// The palette's tools in order, and the icon of each place.
extern const uint16_t gDrawingToolMap[kDrawingToolCount];
extern const uint16_t gDrawingToolIconMap[kDrawingToolCount];
// The creation options of a top-bar button (snap and zoom area toggle).
uint32_t TopToolFlags(int16_t id);

constexpr int16_t kToolButtonSize = 29;
// The library pane's panels start this wide.
constexpr int16_t kLibraryPanelWidth = 185;

// A top-bar button's rectangle by the layout codes: left 32 * (x div 16) + 8 * (x mod 16) + 4
// (+ 18 for the outline width and colour buttons in the expanded bar), top 4 (collapsed) or 8
// (expanded) + 34 * (y div 16) + 8 * (y mod 16), 29 square, in 16-bit arithmetic. Negative codes
// give negative edges.
Rect CalcTopToolButtonRect(const TopToolPlace& place, bool expanded);
// The same placed in a bar of the width: a negative left edge counts from the bar's right edge.
Rect PlaceTopToolButton(const TopToolPlace& place, bool expanded, int16_t barWidth);
// The n-th button of the palette (from 0): {31n + 4, 4, 31n + 33, 33} in one column; in a palette
// of `rows` buttons a column, the buttons go on in the next column, 31 to the right.
Rect CalcDrawingToolButtonRect(int32_t n, int32_t rows = 0x7FFF);
// Buttons a column in a palette of the height (at least 1), and the palette's width for `count`
// buttons then: 37 for one column, 31 more for each further one.
int32_t PaletteRows(int16_t height);
int16_t PaletteWidth(int32_t count, int32_t rows);
// A palette too short for its buttons in one column (a small screen, a large scale factor, a
// window made short) puts them in as many columns as it needs and grows wide enough for them, so
// that every tool stays reachable; tall enough again it is one column. Called when the palette or
// its sheet window changes size.
void LayOutPaletteButtons(VXWindowRecordTag* palette);

int32_t DrawingToolsEventHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t DrawingTopToolsHandler(VXWindowRecordTag* window, VXEventRecord* event);
// The disclosure control, a button per row of the collapsed map and the "Project Context" popup,
// placed for the collapsed bar.
void CreateTopDrawingToolControls(VXWindowRecordTag* window);
// Places the top bar's controls for the state.
void PositionTopDrawingToolControls(VXWindowRecordTag* window, bool expanded);
// The sheet's expanded flag and the disclosure take the state; the bar is resized (110 expanded,
// 37 collapsed) and, when that succeeds, its controls placed and the library pane made or
// destroyed.
void ExpandCollapseTopDrawTools(VXWindowRecordTag* topToolBar, bool expand);
// Every button with a tip text gets its tool tip; the popup gets "Project Context".
void CreateSheetWindowToolTips(SheetRecord* sheet);
// Presses the sheet's tool in the palette and sets the snap button to the sheet's snap setting.
void SetupDrawingTools(SheetRecord* sheet);
// Brings the palette of every sheet window in line with the preferences after they changed: the
// sub-sheet symbol tool comes or goes (the tools below it move), the sheet's tool stays pressed,
// and a sheet whose tool was the one that went gets the select tool.
void UpdateDrawingToolPalettes();

}  // namespace plexa
