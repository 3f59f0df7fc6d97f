// Making the window of a sheet with its top tool bar and tool palette, binding a sheet record to
// it, restoring its saved state, making a new untitled sheet, and letting the windows go of a
// sheet being destroyed. This module owns the window count of untitled sheets.
//
// The sheet window's handler draws the sheet pane (sheeteditor/sheetview.h) and its rulers
// (sheeteditor/sheetgrid.h), gives it its idle work and cursors, follows the pointer for drawing
// wires (sheeteditor/wiretracking.h), follows activation, and sends keys and clicks to the
// sheet's dispatch (sheeteditor/sheetkeys.h). The tool bars are sheeteditor/toolbars.h. Finding
// the sheet windows and their sheets is sheeteditor/sheetwindow.h.
#pragma once

#include <cstdint>

#include "sheeteditor/sheetwindow.h"

namespace plexa {

struct SheetRecord;
struct SheetWindowState;
struct VXEventRecord;
struct VXWindowRecordTag;

extern int32_t gUntitledDrawingCount;

// Makes a sheet window (titled "Untitled" without a title) as large as the screen allows, less 10
// pixels at the bottom and 4 at the right, with its top tool bar and tool palette; 1, or 0 (and
// nothing made) when a window cannot be made.
int32_t CreateDrawingWindow(const char* title, void* refCon, SheetWindows* windows);
// Binds the sheet and the windows to each other, titles the window, sets up its tools, rulers and
// scrollable size.
void InstallDrawingInWindow(SheetRecord* sheet, const SheetWindows* windows);
// Restores a saved window state; nothing when its scale is 0, its frame empty or the sheet has
// no window. The frame is applied only when it lies on a screen (inset by 16).
void SetSheetWindowState(SheetRecord* sheet, const SheetWindowState* state);
// A new untitled sheet in a new window ("Untitled %d"), shown; null (and no window) when either
// cannot be made.
SheetRecord* NewSchematicDrawing();

// Lets the sheet's windows go of the sheet being destroyed (ModelHooks::detachSheetWindows).
void DetachSheetWindows(SheetRecord* sheet);

// The sheet window's event handler. The tool bars' handlers, tool tips and set-up are in
// sheeteditor/toolbars.h.
int32_t SheetViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

}  // namespace plexa
