// Operations of the sheet editor that other parts of it will provide, declared here with the
// least body (sheeteditor/pending.cpp) so that the key and click dispatch can call them now.
// Each is replaced by the real one as its part lands.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct LinkListHeader;
struct SheetRecord;
struct SymbolRecord;
struct TextFrameRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;
struct SignalRecord;
struct BussRecord;
struct WireRecord;

// Tools and tool bars.
// Selects a drawing tool in the sheet (tool bar buttons, cursor, tracking).
void SetDrawingTool(SheetRecord* sheet, int16_t tool);
// Whether clicks of the current tool make wires / bus lines.
bool IsSignalWireMode(SheetRecord* sheet);
bool IsBussLineMode(SheetRecord* sheet);
// Gives the sheet pane the keyboard focus.
void SetDrawViewFocus(SheetRecord* sheet);
// Ends the "Zoom Area" mode of the window.
void CancelZoomMode(VXWindowRecordTag* window);
// The placement transformation of the library part tool.
extern int32_t gPlaceTransformation;

// Tracking and wire creation.
void RecordMouseClickTrackingState(SheetRecord* sheet);
void CloseTrackingOverlay(SheetRecord* sheet);
bool IsWireCreationInProgress(SheetRecord* sheet);
void CancelWireCreation(SheetRecord* sheet, int32_t redraw);
void InvalidateMouseTrackingImage(SheetRecord* sheet);
void CreateSignalClick(SheetRecord* sheet);
void CreateBussClick(SheetRecord* sheet);

// Selection, hit tests and handles.
int32_t HitTestItemModifiers(SheetRecord* sheet, Point point);
void InvalPaintItemModifiers(SheetRecord* sheet, int32_t paint);
void ClearSheetModifiers(SheetRecord* sheet);
void ClearDrawingSelection(SheetRecord* sheet);
SymbolRecord* HitTestSymbol(SheetRecord* sheet, Point point, int32_t tolerance);
int32_t HitTestSheetSymbolPort(SymbolRecord* symbol, Point point);
TextRecord* HitTestText(LinkListHeader* textList, Point point);
TextFrameRecord** HitTestTextFrame(SheetRecord* sheet, Point point);
// The frame and the sheet symbol whose handles the resize set-up shows, or none.
extern TextFrameRecord** gResizeTextFrame;
extern SymbolRecord* gResizeSymbol;

// Graphic element tools.
ElementRecord* HitTestGrafElements(LinkListHeader* elementList, Point point, int32_t tolerance,
                                   int32_t mode, bool* insideFill);
void DragCreateElement(SheetRecord* sheet, VXEventRecord* event);
void CreateSheetPolyClick(SheetRecord* sheet, Point point);
void ResizeSheetElement(SheetRecord* sheet, int32_t id, VXEventRecord* event);
// Changes the selected graphic elements of the sheet (what: 1 width, 4 fill, 8 frame colour,
// 16 fill colour); the number changed.
int32_t UpdateSelectedSheetElements(SheetRecord* sheet, int32_t what, uint32_t value);

// Selecting and dragging.
int32_t DoElementSelection(SheetRecord* sheet, ElementRecord* element, VXEventRecord* event);
int32_t DoSymbolSelection(SheetRecord* sheet, SymbolRecord* symbol, VXEventRecord* event);
int32_t DoTextSelection(SheetRecord* sheet, TextRecord* text, VXEventRecord* event);
int32_t DoTextFrameSelection(SheetRecord* sheet, TextFrameRecord** frame, VXEventRecord* event);
void DoAreaSelection(SheetRecord* sheet, const Rect* rect, bool shift, bool option);
void DragSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, int32_t port,
                         VXEventRecord* event);
void ResizeTextFrame(SheetRecord* sheet, TextFrameRecord** frame, VXEventRecord* event);
void ResizeSheetSymbol(SheetRecord* sheet, SymbolRecord* symbol, VXEventRecord* event);
void TrackCreateSheetSymbol(SheetRecord* sheet, VXEventRecord* event);
// Moves the selection by (dh, dv).
void MoveDrawingSelection(SheetRecord* sheet, int32_t dh, int32_t dv);

// Wire and bus drags.
int32_t DragClickedWire(SheetRecord* sheet, VXEventRecord* event);
int32_t DragBussBreakOut(SheetRecord* sheet, VXEventRecord* event);
void DragBussWireEnd(SheetRecord* sheet, int32_t end, VXEventRecord* event);

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
void EditSymbolInformation(SheetRecord* sheet, SymbolRecord* symbol, int32_t panel,
                           TextRecord* text);
void EditCompSymbolPinInfo(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin,
                           TextRecord* text);
void EditSheetSettings(SheetRecord* sheet);

// View, library pane and simulator.
void PanDrag(VXWindowRecordTag* window, VXEventRecord* event);
int32_t TrackZoomRect(VXWindowRecordTag* window, VXEventRecord* event);
void ClearBrowserKeySelection(SheetRecord* sheet);
bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add);

}  // namespace plexa

namespace plexa {
struct LibBrowserRecord;
// The library browser of the sheet window's library pane, or none.
LibBrowserRecord* SheetLibraryBrowser(SheetRecord* sheet);
}  // namespace plexa
