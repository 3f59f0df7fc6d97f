// The drawing tools of a sheet window: the tool ids, which tool is current and what changing it
// does, the cursor of the sheet pane per tool, the zoom-area mode, the placing tool's
// transformation, the shortcut menus of the three shortcut tools, and the "Project Context"
// popup of the top tool bar. The tool bars themselves are in sheeteditor/toolbars.h.
//
// The tool ids, `gShortcutTool`, `gPlaceTransformation` and `SheetToolsHooks` (what this module
// needs of the application shell: the shortcut groups, the preferences, the view commands, the
// project tree) are in sheeteditor/sheettoolids.h, which the modules below the tools include.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "sheeteditor/sheettoolids.h"

namespace plexa {

struct ProjectRecord;
struct SheetNode;
struct SheetRecord;
struct VXEventRecord;
struct VXMenuRecord;
struct VXWindowRecordTag;

// Makes the tool current. Choosing the current tool again still ends text editing, cancels a
// wire being drawn, ends the zoom mode, clears the selection and finishes a polygon, but leaves
// the buttons and the cursor alone.
void SetDrawingTool(SheetRecord* sheet, uint16_t tool);
// The sheet pane's cursor for the current tool (and the zoom mode).
void SetDrawViewCursor(SheetRecord* sheet);
// The sheet window takes the keyboard focus.
void SetDrawViewFocus(SheetRecord* sheet);
// Ends the zoom mode of a sheet or symbol editor window; other windows are left alone.
void CancelZoomMode(VXWindowRecordTag* window);
// One click of the polygon tool: starts the polygon, adds a vertex, closes it on its first
// vertex or ends it on a click at its last vertex; a polygon so ended is finished and selected,
// and the select tool is chosen.
void CreateSheetPolyClick(SheetRecord* sheet, Point point);
// Rotates or mirrors: the symbol being placed with the library-part tool, else the selection.
void TransformSelection(SheetRecord* sheet, int32_t transformation);
// The tool bar that holds a tool's button: the simulator tool bar for 11, 12 and 14.
VXWindowRecordTag* GetDrawingToolsWindow(SheetRecord* sheet, uint16_t tool);
// Whether an activation event must redraw a tool bar.
bool NeedActivateInval(VXWindowRecordTag* window, const VXEventRecord* event);
// Refills the "Project Context" popup: the sheet's node and its parents up to the project.
void BuildParentChainList(SheetRecord* sheet);
// A new menu of the tool's shortcut group (the caller destroys it): item n has command 1201 + n;
// an empty group gives one disabled item "Empty".
VXMenuRecord* BuildShortcutMenu(uint16_t tool);

}  // namespace plexa
