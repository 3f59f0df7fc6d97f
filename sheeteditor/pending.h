// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/signals.h"

namespace plexa {

struct BussRecord;
struct ElementRecord;
struct LinkListHeader;
struct SheetRecord;
struct SignalRecord;
struct WireRecord;
struct SymbolRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Graphic elements.
// Finishes the polygon being drawn; with select the select tool is chosen after.
void FinishCreateSheetPoly(SheetRecord* sheet, bool select);


// Colour and line-width popups of the top tool bar.
void TrackColorPopup(VXWindowRecordTag* window, int16_t button, bool fill);
void TrackLineWidthPopup(VXWindowRecordTag* window, int16_t button, const VXEventRecord* event,
                         int32_t width);

// Sheet undo.
void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind);
void CollectUndoSetSheetView(SheetRecord* sheet);
void AcceptSheetUndoCollection(SheetRecord* sheet);

// Signal and bus dialogs.
// The signal information dialog; nonzero when accepted.
int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, void* validationProc);
// Chooses a member name of the buss (256-byte buffer, in and out); nonzero when accepted.
int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name);

// ---- Sheet undo ----
// A move op: the item (of item kind 1 symbol, 2 text, 7 element, 8 text frame) moved by the
// offset (code 0) or transformed about the point.
void CollectUndoMoveSheetItem(SheetRecord* sheet, int32_t itemKind, void* item, Point point, int32_t code);
// A swap op: a copy of the item as it is now.
void CollectUndoSwapSheetItem(SheetRecord* sheet, int32_t itemKind, void* item);
// An invalidate op of an area to redraw on replay.
void CollectUndoInvalSheetRect(SheetRecord* sheet, const Rect* rect);


// ---- Symbol information ----

// Graphic element tools.
ElementRecord* HitTestGrafElements(LinkListHeader* elementList, Point point, int32_t tolerance,
                                   int32_t mode, bool* insideFill);
void DragCreateElement(SheetRecord* sheet, VXEventRecord* event);
void CreateSheetPolyClick(SheetRecord* sheet, Point point);
void ResizeSheetElement(SheetRecord* sheet, int32_t id, VXEventRecord* event);
// Changes the selected graphic elements of the sheet (what: 1 width, 4 fill, 8 frame colour,
// 16 fill colour); the number changed.
int32_t UpdateSelectedSheetElements(SheetRecord* sheet, int32_t what, uint32_t value);


// Clipboard.
void DeleteSheetSelection(SheetRecord* sheet, int32_t what, int32_t undoable, bool shift);
// The clipboard record remembers where the next paste goes.
void SetClipPastePosition(Point point);

// Information dialogs.
void InstantiateLibraryItem(SheetRecord* sheet, Point point);
void EditSignalInfo(SheetRecord* sheet, SignalRecord** signal, WireRecord** wire, int32_t segment,
                    SymbolRecord* symbol);
void EditBussInfo(SheetRecord* sheet, BussRecord** buss, WireRecord** wire, int32_t segment,
                  Point point);
void EditSignalPortInfo(SheetRecord* sheet, SymbolRecord* symbol, SignalRecord** signal,
                        WireRecord** wire);
void EditBussPortInfo(SheetRecord* sheet, SymbolRecord* symbol, BussRecord** buss);
void EditSheetSettings(SheetRecord* sheet);

// View, library pane and simulator.
void PanDrag(VXWindowRecordTag* window, VXEventRecord* event);
int32_t TrackZoomRect(VXWindowRecordTag* window, VXEventRecord* event);
void ClearBrowserKeySelection(SheetRecord* sheet);
bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add);

// More of sheet undo.
// Drops the action being collected.
void AbortSheetUndoCollection(SheetRecord* sheet);
// Item kinds: 1 symbol, 2 text, 3 signal, 4 buss, 5 break-out row, 6 break-out table.
void CollectUndoSheetItemExistance(SheetRecord* sheet, int32_t itemKind, void* item,
                                   int32_t present);
// A copy of the break-out table, once per action.
void CollectUndoAltBOTable(SheetRecord* sheet);

// The buss dialog on the name (in/out, 256 bytes) and the option (in/out, or none); nonzero
// when accepted.
int32_t BusInfoDialog(SheetRecord* sheet, BussRecord** buss, char* name, int32_t* option,
                      bool showItem2);

}  // namespace plexa
