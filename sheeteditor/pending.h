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

// Signal and bus dialogs.
// The signal information dialog; nonzero when accepted.
int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, void* validationProc);
// Chooses a member name of the buss (256-byte buffer, in and out); nonzero when accepted.
int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name);

// ---- Symbol information ----
// Runs the symbol information dialog for the symbol (newSymbol 1 for one just made), with the
// clicked text or none.
void EditSymbolInformation(SheetRecord* sheet, SymbolRecord* symbol, int32_t newSymbol, TextRecord* text);

// Graphic element tools.
ElementRecord* HitTestGrafElements(LinkListHeader* elementList, Point point, int32_t tolerance,
                                   int32_t mode, bool* insideFill);
void DragCreateElement(SheetRecord* sheet, VXEventRecord* event);
void CreateSheetPolyClick(SheetRecord* sheet, Point point);
void ResizeSheetElement(SheetRecord* sheet, int32_t id, VXEventRecord* event);
// Changes the selected graphic elements of the sheet (what: 1 width, 4 fill, 8 frame colour,
// 16 fill colour); the number changed.
int32_t UpdateSelectedSheetElements(SheetRecord* sheet, int32_t what, uint32_t value);

// Information dialogs.
void InstantiateLibraryItem(SheetRecord* sheet, Point point);
void EditSignalInfo(SheetRecord* sheet, SignalRecord** signal, WireRecord** wire, int32_t segment,
                    SymbolRecord* symbol);
void EditBussInfo(SheetRecord* sheet, BussRecord** buss, WireRecord** wire, int32_t segment,
                  Point point);
void EditSignalPortInfo(SheetRecord* sheet, SymbolRecord* symbol, SignalRecord** signal,
                        WireRecord** wire);
void EditBussPortInfo(SheetRecord* sheet, SymbolRecord* symbol, BussRecord** buss);
void EditCompSymbolPinInfo(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin,
                           TextRecord* text);
void EditSheetSettings(SheetRecord* sheet);

// Library pane and simulator.
void ClearBrowserKeySelection(SheetRecord* sheet);
bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add);

// The buss dialog on the name (in/out, 256 bytes) and the option (in/out, or none); nonzero
// when accepted.
int32_t BusInfoDialog(SheetRecord* sheet, BussRecord** buss, char* name, int32_t* option,
                      bool showItem2);

}  // namespace plexa
