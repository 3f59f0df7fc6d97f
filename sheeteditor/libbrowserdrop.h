// Dragging an item of a sheet window's library browser onto a sheet: a press on a row of the item
// list that moves beyond the drag threshold (toolkit/vx_itemdrag.h) carries the item, which the
// press has made the cached item, over the windows. Over the sheet pane of a sheet window (this
// one or another), inside the sheet's bounds, the item's picture follows the pointer at the grid
// point it would land on; released there, the item is placed at that point as the library-part
// tool's click places it (the same snapping, the one undoable "Creation", the history entry), so
// the sheet is the same as after a click with the tool at that point. A net symbol (a power
// symbol) is placed alone: no wire starts at it. Anywhere else (outside every sheet, over a tool
// bar, back on the browser) the drag places nothing.
//
// This module owns the state of the one drag that may run (a drag runs inside the press's
// tracking loop).
#pragma once

namespace plexa {

struct LibBrowserRecord;
struct VXItemDragClient;

// Called when a press on the browser's item list has become a drag: fills the client (nothing
// for a browser that is not in a sheet window, or without a cached item).
void BeginLibBrowserItemDrag(LibBrowserRecord* browser, VXItemDragClient* client);

}  // namespace plexa
