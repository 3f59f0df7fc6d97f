// What a confirmed signal, buss or port dialog does to the sheet: renaming a signal (merging with
// or splitting from others of the name), showing or hiding its label, renaming busses and buss
// terminals, port symbols' names and types, the undo each records, and placing the cached library
// item by a click.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/signals.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;

// Signals with one of these flags may be merged when they take the same name.
constexpr uint16_t kSignalMergeableFlags = 0x0005;

// A port symbol's name and type before an edit, exchanged with the symbol's on undo and redo.
struct PortSymbolUndoRecord {
    SymbolRecord* symbol;
    uint32_t name;
    uint16_t type;
};

void EditSignalInfo(SheetRecord* sheet, SignalHandle signal, WireHandle wire, int32_t segment,
                    SymbolRecord* symbol);
void EditBussInfo(SheetRecord* sheet, BussHandle buss, WireHandle wire, int32_t segment, Point point);
void EditBussPortInfo(SheetRecord* sheet, SymbolRecord* symbol, BussHandle buss);
void EditSignalPortInfo(SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal, WireHandle wire);

// Applies a confirmed signal dialog; fragmentOnly null when the choice was not offered. The area
// to redraw joins *invalid. Returns the signal that carries the new name afterwards (the split-off
// piece, or the signal merged into).
SignalHandle ModifySignalInfo(SheetRecord* sheet, SignalHandle signal, WireHandle wire, int32_t segment,
                              SymbolRecord* symbol, TextRecord* label, const char* newName, bool show,
                              const uint8_t* fragmentOnly, Rect* invalid);

// 1 when the name may be given to the signal (its own, a free one, or the person agreed to merge
// or share it), else 0.
int32_t SignalInfoValidationProc(SheetRecord* sheet, void* signal, const char* name);

// Gives the port symbol the confirmed name and type; the record of what it had when either
// changed (for its undo), else none.
PortSymbolUndoRecord* ApplyPortSymbolChange(SheetRecord* sheet, SymbolRecord* symbol, const struct PortNameResult* result);

// The custom undo operation of a port symbol's name and type: exchanges, or frees the record.
void PortSymbolInfoUndoHandler(SheetRecord* sheet, PortSymbolUndoRecord* record, bool freeing);

void InstantiateLibraryItem(SheetRecord* sheet, Point point);
// Places the cached library item at the point with the placing transformation and redraws it;
// the new symbol, or none when no item is cached or it could not be placed.
SymbolRecord* PlaceCachedLibraryItem(SheetRecord* sheet, Point point);

}  // namespace plexa
