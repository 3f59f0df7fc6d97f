#include "symboleditor/symundo.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "model/elements.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symrecord.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr const char* kActionNames[] = {"",       "Move",   "Transformation", "Wire Change",
                                        "Reshape", "Zoom",  "Cut",            "Delete",
                                        "Resize", "Paste",  "Duplicate",      "Signal Modification",
                                        "Creation"};

}  // namespace

uint8_t SymUndoSelectionBits(uint8_t itemKind, void* item) {
    switch (itemKind) {
        case kSymUndoItemText: return (static_cast<TextRecord*>(item)->flags & kTextFlagSelected) ? 1 : 0;
        case kSymUndoItemElement: return uint8_t(static_cast<ElementRecord*>(item)->flags & 3);
        case kSymUndoItemFrame: return ((*static_cast<TextFrameHandle>(item))->flags & kFrameFlagSelected) ? 1 : 0;
        default: return 0;
    }
}

namespace {

SymUndoOp* NewOp(SymbolEditorRecord* editor, uint8_t kind, uint8_t itemKind, void* item) {
    if (!editor->undoCollect || !editor->undoCollect->kind) return nullptr;
    auto* op = new SymUndoOp;
    op->kind = kind;
    op->itemKind = itemKind;
    op->item = item;
    op->view = uint8_t(editor->viewContext == kSymbolViewAlternate ? 1 : 0);
    editor->undoCollect->ops.push_back(op);
    return op;
}

}  // namespace

// ---- Collection ----

void CollectUndoMoveSymbolEditorItem(SymbolEditorRecord* editor, uint8_t itemKind, void* item, Point point,
                                     int16_t transformation) {
    if (!item) return;
    SymUndoOp* op = NewOp(editor, kOpMove, itemKind, item);
    if (!op) return;
    op->point = point;
    op->transformation = transformation;
    op->selected = SymUndoSelectionBits(itemKind, item);
}

void CollectUndoSwapSymbolEditorItem(SymbolEditorRecord* editor, uint8_t itemKind, void* item) {
    if (!item || !editor->undoCollect || !editor->undoCollect->kind) return;
    void* copy = nullptr;
    const int32_t view = editor->viewContext == kSymbolViewAlternate ? 1 : 0;
    switch (itemKind) {
        case kSymUndoItemText: copy = DuplicateText2(static_cast<TextRecord*>(item)); break;
        case kSymUndoItemElement: {
            ImageList* images = SymUndoViewImages(editor, view);
            copy = DuplicateElement(static_cast<ElementRecord*>(item), false, images, images);
            break;
        }
        case kSymUndoItemFrame: copy = DuplicateTextFrame(static_cast<TextFrameHandle>(item)); break;
        default: return;
    }
    if (!copy) return;
    SymUndoOp* op = NewOp(editor, kOpSwap, itemKind, item);
    op->copy = copy;
    op->selected = SymUndoSelectionBits(itemKind, item);
}

void CollectUndoSymbolEditorItemExistance(SymbolEditorRecord* editor, uint8_t itemKind, void* item, bool present) {
    if (!item) return;
    SymUndoOp* op = NewOp(editor, kOpExistence, itemKind, item);
    if (!op) {
        if (!present) FreeSymUndoItem(editor, itemKind, item, editor->viewContext == kSymbolViewAlternate ? 1 : 0);
        return;
    }
    op->present = present;
    op->selected = SymUndoSelectionBits(itemKind, item);
}

void CollectUndoInvalSymbolEditorRect(SymbolEditorRecord* editor, const Rect& rect) {
    if (SymUndoOp* op = NewOp(editor, kOpInvalRect, 0, nullptr)) op->rect = rect;
}

void CollectUndoSetSymbolEditorView(SymbolEditorRecord* editor) {
    SymUndoOp* op = NewOp(editor, kOpSetView, 0, nullptr);
    if (!op) return;
    op->scale = editor->scale;
    if (editor->window) VXGetViewRect(editor->window, &op->rect);
}

void CollectUndoSymbolEditorCutSourceId(SymbolEditorRecord* editor) {
    if (!editor->undoCollect || editor->undoCollect->kind != kSymUndoCut) return;
    editor->undoCollect->clipId = editor->lastClipId;
    (void)NewOp(editor, kOpCutSource, 0, nullptr);  // the marker op has no fields
}

void CollectUndoCustomSymbolEditorAction(SymbolEditorRecord* editor, uint8_t subKind, SymUndoCustomProc proc,
                                         uint64_t data, int16_t value) {
    SymUndoOp* op = NewOp(editor, kOpCustom, 0, nullptr);
    SymUndoOp temporary;
    SymUndoOp* target = op ? op : &temporary;
    target->subKind = subKind;
    target->proc = proc;
    target->data = data;
    target->value = value;
    if (!op && proc) proc(editor, &temporary, true);
}

uint16_t GetSymbolEditorUndoKind(const SymbolEditorRecord* editor) { return editor->undo ? editor->undo->kind : 0; }
bool GetSymbolEditorRedoFlag(const SymbolEditorRecord* editor) { return editor->undo && editor->undo->redo; }

void GetSymbolEditorUndoMenuText(const SymbolEditorRecord* editor, char* text, int32_t size) {
    if (size <= 0) return;
    *text = 0;
    const uint16_t kind = GetSymbolEditorUndoKind(editor);
    if (!kind) return;
    const char* name = kind < std::size(kActionNames) ? kActionNames[kind] : "";
    std::snprintf(text, size_t(size), GetSymbolEditorRedoFlag(editor) ? "Redo %s" : "Undo %s", name);
}

uint8_t SymUndoOpSubKind(const SymUndoOp* op) { return op->subKind; }
uint64_t SymUndoOpData(const SymUndoOp* op) { return op->data; }
int16_t SymUndoOpValue(const SymUndoOp* op) { return op->value; }

}  // namespace plexa
