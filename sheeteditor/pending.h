// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
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

// View, library pane and simulator.
void PanDrag(VXWindowRecordTag* window, VXEventRecord* event);
int32_t TrackZoomRect(VXWindowRecordTag* window, VXEventRecord* event);
void ClearBrowserKeySelection(SheetRecord* sheet);
bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add);

// The buss dialog on the name (in/out, 256 bytes) and the option (in/out, or none); nonzero
// when accepted.
int32_t BusInfoDialog(SheetRecord* sheet, BussRecord** buss, char* name, int32_t* option,
                      bool showItem2);

// Applies a confirmed signal dialog: the new name (merging with a signal of that name when both
// may), the label on the wire or net symbol; the signal may be replaced (in/out).
void ModifySignalInfo(SheetRecord* sheet, SignalHandle* signal, WireHandle wire, int32_t segment,
                      SymbolRecord* symbol, TextRecord* label, const char* name, int32_t showLabel,
                      uint8_t* fragmentOnly, Rect* invalid);

// Attribute editor.
struct AttributeEditor;
// An attribute editor over the panel's client area, on a copy of the source attributes; none
// when it cannot be made.
AttributeEditor* CreateAttributeDialogPanel(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                                            StringBlock block, int32_t listKind, bool visibilityColumn,
                                            bool readOnly);
// The edited attributes merged into the target (a new list without one; none when empty and
// freeWhenEmpty); the count in and out.
Handle GetAttributeEditorData(AttributeEditor* editor, Handle target, int32_t targetStart, int32_t* targetCount,
                              StringBlock targetBlock, bool freeWhenEmpty);
// Whether anything was edited, and the editor's end with its list window.
bool AttributeEditorChanged(const AttributeEditor* editor);
void DestroyAttributeEditor(AttributeEditor* editor);

}  // namespace plexa
