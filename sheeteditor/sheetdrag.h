// The select tool's mouse gestures on a sheet: a click on a symbol, text, text frame or graphic
// element selects it (Shift adds or takes away) and drags the whole selection with outline
// feedback; a rectangle dragged over the sheet selects what lies in it; the handles of a text
// frame and of a sheet symbol resize them; a sheet symbol's port is dragged along its edges; the
// sub-sheet tool draws the box of a new sheet symbol.
#pragma once
#include <cstdint>
#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct SheetRecord;
struct SymbolRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXEventRecord;
using TextFrameHandle = TextFrameRecord**;

// The smallest extent of a resized text frame in each direction.
constexpr int32_t kMinTextFrameExtent = 11;
// The smallest box of a new sheet symbol in each direction.
constexpr int32_t kMinNewSheetSymbolExtent = 5;
// How far the dragged selection's highlighted bounds may go beyond the page.
constexpr int32_t kDragPageSlack = 3;

// The point pinned into the page and snapped to the grid (when the sheet snaps).
Point SnapPointToSheetView(const SheetRecord* sheet, Point point);

void DoSymbolSelection(SheetRecord* sheet, SymbolRecord* symbol, const VXEventRecord* event);
void DoTextSelection(SheetRecord* sheet, TextRecord* text, const VXEventRecord* event);
void DoTextFrameSelection(SheetRecord* sheet, TextFrameHandle frame, const VXEventRecord* event);
void DoElementSelection(SheetRecord* sheet, ElementRecord* element, const VXEventRecord* event);
// Follows the mouse from the click and moves the selection by the offset at the release.
void DragSelection(SheetRecord* sheet, SymbolRecord* clicked, const VXEventRecord* event);
// Toggles the selection of what the rectangle takes (after clearing it unless Shift is held);
// with Option only texts and frames count.
void DoAreaSelection(SheetRecord* sheet, const Rect* rect, bool shift, bool option);

void ResizeTextFrame(SheetRecord* sheet, TextFrameHandle frame, const VXEventRecord* event);
void ResizeSheetSymbol(SheetRecord* sheet, SymbolRecord* symbol, const VXEventRecord* event);
void DragSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, int32_t port, const VXEventRecord* event);
void TrackCreateSheetSymbol(SheetRecord* sheet, const VXEventRecord* event);

// Frames the bounds of every selected item moved by the offset, in the current window.
void FrameSheetSelectionRects(SheetRecord* sheet, Point offset);

}  // namespace plexa
