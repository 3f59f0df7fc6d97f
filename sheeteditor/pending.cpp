// The least bodies of the operations declared in sheeteditor/pending.h.
#include "sheeteditor/pending.h"

#include "toolkit/vx_services.h"

namespace plexa {

int32_t gPlaceTransformation = 0;
TextFrameRecord** gResizeTextFrame = nullptr;
SymbolRecord* gResizeSymbol = nullptr;

void SetDrawingTool(SheetRecord*, int16_t) {}           // will select the tool and its button
bool IsSignalWireMode(SheetRecord*) { return false; }   // will tell the wire tool / wire symbol
bool IsBussLineMode(SheetRecord*) { return false; }     // will tell the bus tool / bus symbol
void SetDrawViewFocus(SheetRecord*) {}                  // will focus the sheet pane
void CancelZoomMode(VXWindowRecordTag*) {}              // will end the zoom mode

void RecordMouseClickTrackingState(SheetRecord*) {}     // will note the click for tracking
void CloseTrackingOverlay(SheetRecord*) {}              // will close the tracking overlay
bool IsWireCreationInProgress(SheetRecord*) { return false; }  // will tell a wire under way
void CancelWireCreation(SheetRecord*, int32_t) {}       // will cancel the wire under way
void InvalidateMouseTrackingImage(SheetRecord*) {}      // will rebuild the tracking image
void CreateSignalClick(SheetRecord*) {}                 // will start or extend a wire
void CreateBussClick(SheetRecord*) {}                   // will start or extend a bus line

int32_t HitTestItemModifiers(SheetRecord*, Point) { return -1; }  // will find a handle
void InvalPaintItemModifiers(SheetRecord*, int32_t) {}  // will paint or erase the handles
void ClearSheetModifiers(SheetRecord*) {}               // will drop the handles
void ClearDrawingSelection(SheetRecord*) {}             // will unselect everything
SymbolRecord* HitTestSymbol(SheetRecord*, Point, int32_t) { return nullptr; }  // symbol at point
int32_t HitTestSheetSymbolPort(SymbolRecord*, Point) { return -1; }  // port of a sheet symbol
TextRecord* HitTestText(LinkListHeader*, Point) { return nullptr; }  // text at point
TextFrameRecord** HitTestTextFrame(SheetRecord*, Point) { return nullptr; }  // frame at point

ElementRecord* HitTestGrafElements(LinkListHeader*, Point, int32_t, int32_t, bool* insideFill) {
    if (insideFill) *insideFill = false;
    return nullptr;                                     // will find the element at the point
}
void DragCreateElement(SheetRecord*, VXEventRecord*) {}  // will drag a new element
void CreateSheetPolyClick(SheetRecord*, Point) {}        // will add a polygon vertex
void ResizeSheetElement(SheetRecord*, int32_t, VXEventRecord*) {}  // will drag an element handle
int32_t UpdateSelectedSheetElements(SheetRecord*, int32_t, uint32_t) { return 0; }  // will restyle

int32_t DoElementSelection(SheetRecord*, ElementRecord*, VXEventRecord*) { return 0; }
int32_t DoSymbolSelection(SheetRecord*, SymbolRecord*, VXEventRecord*) { return 0; }
int32_t DoTextSelection(SheetRecord*, TextRecord*, VXEventRecord*) { return 0; }
int32_t DoTextFrameSelection(SheetRecord*, TextFrameRecord**, VXEventRecord*) { return 0; }
void DoAreaSelection(SheetRecord*, const Rect*, bool, bool) {}  // will select inside the area
void DragSheetSymbolPort(SheetRecord*, SymbolRecord*, int32_t, VXEventRecord*) {}  // port drag
void ResizeTextFrame(SheetRecord*, TextFrameRecord**, VXEventRecord*) {}  // frame resize
void ResizeSheetSymbol(SheetRecord*, SymbolRecord*, VXEventRecord*) {}    // sheet symbol resize
void TrackCreateSheetSymbol(SheetRecord*, VXEventRecord*) {}  // will drag a new sheet symbol
void MoveDrawingSelection(SheetRecord*, int32_t, int32_t) {}  // will nudge the selection

int32_t DragClickedWire(SheetRecord*, VXEventRecord*) { return 0; }   // will drag a wire part
int32_t DragBussBreakOut(SheetRecord*, VXEventRecord*) { return 0; }  // will drag a break-out
void DragBussWireEnd(SheetRecord*, int32_t, VXEventRecord*) {}        // will drag a bus end

void DeleteSheetSelection(SheetRecord*, int32_t, int32_t, bool) {}    // will delete the selection
void SetClipPastePosition(Point) {}                     // will set the clip's paste point

void InstantiateLibraryItem(SheetRecord*, Point) {}     // will place the library item
void EditSignalInfo(SheetRecord*, SignalRecord**, WireRecord**, int32_t, SymbolRecord*) {}
void EditBussInfo(SheetRecord*, BussRecord**, WireRecord**, int32_t, Point) {}
void EditSignalPortInfo(SheetRecord*, SymbolRecord*, SignalRecord**, WireRecord**) {}
void EditBussPortInfo(SheetRecord*, SymbolRecord*, BussRecord**) {}
void EditSymbolInformation(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}
void EditCompSymbolPinInfo(SheetRecord*, SymbolRecord*, int32_t, TextRecord*) {}
void EditSheetSettings(SheetRecord*) {}                 // will open the sheet settings

void PanDrag(VXWindowRecordTag*, VXEventRecord*) {}     // will pan the view by dragging
int32_t TrackZoomRect(VXWindowRecordTag*, VXEventRecord*) { return 0; }  // zoom rectangle
void ClearBrowserKeySelection(SheetRecord*) {}          // will clear the typed selection
bool GraphSpiceNode(SheetRecord*, SignalRecord**, bool) { return false; }  // will graph a node

}  // namespace plexa

namespace plexa {
LibBrowserRecord* SheetLibraryBrowser(SheetRecord*) { return nullptr; }  // the pane's browser
}  // namespace plexa
