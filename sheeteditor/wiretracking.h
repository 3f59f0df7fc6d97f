// Following the mouse while a wire or bus tool is active, and drawing new wires and busses.
//
// Without a button held, each mouse move in the front sheet window looks for the connectable thing
// under the pointer (a terminal: a pin, a point on a signal's wire or on a bus), proposes the legs
// that the next click would add, and shows both in a translucent overlay over the sheet pane. A
// click with the wire or bus tool starts a wire at a terminal, adds the proposed legs to the wire
// under construction and ends it when it reaches a terminal; what a finished signal wire does to
// the signals is sheeteditor/signaljoin.h.
//
// Each sheet window keeps its own tracking state in its edit state (sheeteditor/editstate.h): the
// record the overlay shows, its copy taken at the last mouse-down, the start terminal, the wire
// under construction (in no wire list until it is finished) and the leg-order option. One wire is
// drawn at a time: a click that starts or continues a wire on one sheet ends those of the others.
// The terminals of the records point at signals, busses, wires and symbols of the sheet: before a
// click or a finish uses one it is checked to be still on the sheet (timers may change the sheet
// between a move and a click), and one that is gone is dropped. This module itself owns only the
// overlay's place (one window at a time) and the image of the item the place tool places.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/wires.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/sheettoolids.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct VXWindowRecordTag;



// One tracking step at a point in sheet units; bit 0 of toggleRequest flips the leg order;
// inView is 255 when the mouse is inside the sheet pane.
void TrackSheetMouseMovement(SheetRecord* sheet, Point mousePoint, uint32_t toggleRequest,
                             int32_t inView);
// The tracking step of a mouse-moved event of the sheet window (window coordinates).
void TrackSheetMouseEvent(SheetRecord* sheet, int32_t x, int32_t y);
void CalcMouseTrackingState(SheetRecord* sheet, Point mousePoint, MouseTrackRecord* record);
bool IsNewTrackingState(SheetRecord* sheet, const MouseTrackRecord* record);
// The terminal kind found (fields of the record's terminal filled).
uint16_t HitTestTerminal(SheetRecord* sheet, Point point, uint16_t hitMask,
                         MouseTrackRecord* record);
void SnapWireSegmentPointToGrid(SheetRecord* sheet, WireHandle wire, int16_t* segmentIndex,
                                Point* point);
void CalcSignalCreationPath(SheetRecord* sheet, Point mousePoint, MouseTrackRecord* record);
void CalcBussLineCreationPath(SheetRecord* sheet, Point mousePoint, MouseTrackRecord* record);
bool CalcPolyCreationPath(SheetRecord* sheet, Point mousePoint, MouseTrackRecord* record);
void BuildOrientPath(Point* path, int32_t direction, int32_t length);
bool BuildIntersectPath(Point* path, int32_t direction, const Point segment[2]);

void RecordMouseClickTrackingState(SheetRecord* sheet);
// The connection click (when the preferences have it).
void PlayConnectSound();
// Redraws the area of a junction dot at a point.
void InvalJunctionDot(SheetRecord* sheet, Point pt);
void CloseTrackingOverlay();
bool SheetHasOverlay(const SheetRecord* sheet);
// Forgets the tracked state and hides the overlay's content until the next move.
void InvalidateMouseTrackingImage(SheetRecord* sheet);
void InvalidateTrackingSymbolImage();

// 0 an ordinary tool; 1 the place tool with a wire symbol; 2 the same while the wire under
// construction started at a net symbol placed for it.
int32_t NetSymbolPlacement(SheetRecord* sheet);

void CreateSignalClick(SheetRecord* sheet);
void CreateBussClick(SheetRecord* sheet);
void FinishBussCreation(SheetRecord* sheet, const TrackTerminal* endTerminal);
bool IsWireCreationInProgress(SheetRecord* sheet);
// The front sheet window's.
bool IsWireCreationInProgress();
void CancelWireCreation(SheetRecord* sheet);
// During the sheet pane's update: the wire under construction and its start's junction dot.
void UpdateWireCreation(SheetRecord* sheet);

// Whether there is a terminal under the free end of the sheet's flashing wire (with adopt it
// becomes the tracked state); the connection itself is sheeteditor/floatingwire.h.
bool CanConnectFloatingWire(SheetRecord* sheet, bool adopt);

// The sheet's window goes: a wire drawn on the sheet is cancelled (kept with a free end) and the
// overlay closed.
void ReleaseSheetWireTracking(SheetRecord* sheet);


// What drawing wires needs of the application's preferences and sounds. Without a hook there is
// no circle mark, no connection sound, and a new signal takes its generated name without the
// name dialog.

// Puts the overlay's place, the place tool's image and the hooks back to their start.
void ResetWireTrackingForTesting();

}  // namespace plexa
