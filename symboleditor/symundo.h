// One level of undo per symbol editor. An editing operation starts a collection, collects an
// operation for every text, element (pins included) and text frame of the current view that it
// moves, replaces, adds or removes, and accepts it (the new action replaces the previous one) or
// aborts it. Undo replays the committed operations (symboleditor/symundoreplay.h).
//
// The records themselves, with starting, accepting and aborting a collection, are in
// symboleditor/symundorecord.h.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "symboleditor/symundorecord.h"

namespace plexa {

struct SymbolEditorRecord;
struct SymUndoOp;

// Collection (nothing while no collection runs, except as said).
void CollectUndoMoveSymbolEditorItem(SymbolEditorRecord* editor, uint8_t itemKind, void* item,
                                     Point point, int16_t transformation);
void CollectUndoSwapSymbolEditorItem(SymbolEditorRecord* editor, uint8_t itemKind, void* item);
// present true: the item was just added; false: it was just taken out of its list (and is freed
// at once when no collection runs).
void CollectUndoSymbolEditorItemExistance(SymbolEditorRecord* editor, uint8_t itemKind, void* item,
                                          bool present);
void CollectUndoInvalSymbolEditorRect(SymbolEditorRecord* editor, const Rect& rect);
void CollectUndoSetSymbolEditorView(SymbolEditorRecord* editor);
void CollectUndoSymbolEditorCutSourceId(SymbolEditorRecord* editor);
// Without a collection the procedure is called at once to discard.
void CollectUndoCustomSymbolEditorAction(SymbolEditorRecord* editor, uint8_t subKind,
                                         SymUndoCustomProc proc, uint64_t data, int16_t value);

// The committed action's kind (0 none) and whether the next replay redoes.
uint16_t GetSymbolEditorUndoKind(const SymbolEditorRecord* editor);
bool GetSymbolEditorRedoFlag(const SymbolEditorRecord* editor);
// "Undo %s" or "Redo %s" with the action's name, into a buffer of `size` bytes; "" without one.
void GetSymbolEditorUndoMenuText(const SymbolEditorRecord* editor, char* text, int32_t size);

// The selection bits of an item of the kind (kSymUndoItem*), as an operation saves them.
uint8_t SymUndoSelectionBits(uint8_t itemKind, void* item);

// A custom operation's fields.
uint8_t SymUndoOpSubKind(const SymUndoOp* op);
uint64_t SymUndoOpData(const SymUndoOp* op);
int16_t SymUndoOpValue(const SymUndoOp* op);

}  // namespace plexa
