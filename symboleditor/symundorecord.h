// The symbol editor's undo records (symboleditor/symundo.h collects into them and replays them):
// an action is a record of operations, oldest first; an editing operation starts a collection,
// and accepting it makes it the committed action (the previous one is freed) while aborting
// frees it. Freeing a record frees the items that only its operations hold.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct ImageList;
struct SymbolEditorRecord;
struct SymUndoOp;

// Action kinds and their menu names.
constexpr uint16_t kSymUndoMove = 1, kSymUndoTransformation = 2, kSymUndoReshape = 4,
                   kSymUndoZoom = 5, kSymUndoCut = 6, kSymUndoDelete = 7, kSymUndoResize = 8,
                   kSymUndoPaste = 9, kSymUndoDuplicate = 10, kSymUndoCreation = 12;
// Item kinds.
constexpr uint8_t kSymUndoItemText = 2, kSymUndoItemElement = 7, kSymUndoItemFrame = 8;

// The procedure of a custom operation: called with discard false to replay, true when the
// operation is freed.
using SymUndoCustomProc = void (*)(SymbolEditorRecord* editor, SymUndoOp* op, bool discard);

// Operation kinds.
enum : uint8_t { kOpMove = 1, kOpSwap = 2, kOpExistence = 3, kOpInvalRect = 7, kOpSetView = 8,
                 kOpCutSource = 10, kOpCustom = 11 };

struct SymUndoOp {
    uint8_t kind = 0;
    uint8_t itemKind = 0;
    uint8_t view = 0;        // the view whose lists hold the item
    uint8_t selected = 0;    // saved selection bit(s)
    void* item = nullptr;    // the live item (element, text, frame handle)
    void* copy = nullptr;    // swap: the stored copy
    Point point{};
    int16_t transformation = 0;
    bool present = false;
    int32_t position = -1;   // existence: where a replay took the item out (-1: the list's head)
    Rect rect{};
    uint16_t scale = 0;
    uint8_t subKind = 0;
    SymUndoCustomProc proc = nullptr;
    uint64_t data = 0;
    int16_t value = 0;
};

struct SymUndoRecord {
    uint16_t kind = 0;
    bool redo = false;
    uint32_t clipId = 0;
    std::vector<SymUndoOp*> ops;  // oldest first; replayed from the newest
};

// The image list of a view's elements (the editor's own when the list has none).
ImageList* SymUndoViewImages(SymbolEditorRecord* editor, int32_t view);
// Frees an item that is in no list.
void FreeSymUndoItem(SymbolEditorRecord* editor, uint8_t itemKind, void* item, int32_t view);

void StartSymbolEditorUndoCollection(SymbolEditorRecord* editor, uint16_t kind);
// Drops the committed action, then commits the collection when it holds an operation.
void AcceptSymbolEditorUndoCollection(SymbolEditorRecord* editor);
void AbortSymbolEditorUndoCollection(SymbolEditorRecord* editor);
void ClearSymbolEditorUndoAction(SymbolEditorRecord* editor);

}  // namespace plexa
