// The symbol editor's undo records: their making, committing and freeing; see symundorecord.h.
#include "symboleditor/symundorecord.h"

#include "foundation/heap.h"
#include "foundation/ll.h"
#include "model/elements.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symrecord.h"

namespace plexa {

ImageList* SymUndoViewImages(SymbolEditorRecord* editor, int32_t view) {
    ImageList* images = GetElementListImageList(editor->elementLists[view]);
    return images ? images : editor->images;
}

void FreeSymUndoItem(SymbolEditorRecord* editor, uint8_t itemKind, void* item, int32_t view) {
    if (!item) return;
    switch (itemKind) {
        case kSymUndoItemText: MemFreePtr(item); break;
        case kSymUndoItemElement: {
            auto* e = static_cast<ElementRecord*>(item);
            if (e->kind == kElementNode && view == kSymbolViewAlternate) {  // the references are shared
                ElementAs<NodeElement>(e)->pinData = nullptr;
                ElementAs<NodeElement>(e)->pinNumbers = nullptr;
            }
            DestroyElement(e, SymUndoViewImages(editor, view));
            break;
        }
        case kSymUndoItemFrame: DestroyTextFrame(static_cast<TextFrameHandle>(item)); break;
        default: break;
    }
}

namespace {

void FreeOp(SymbolEditorRecord* editor, SymUndoOp* op) {
    switch (op->kind) {
        case kOpSwap: FreeSymUndoItem(editor, op->itemKind, op->copy, op->view); break;
        case kOpExistence:
            if (!op->present) FreeSymUndoItem(editor, op->itemKind, op->item, op->view);
            break;
        case kOpCustom:
            if (op->proc) op->proc(editor, op, true);
            break;
        default: break;
    }
    delete op;
}

void FreeRecord(SymbolEditorRecord* editor, SymUndoRecord*& record) {
    if (!record) return;
    for (SymUndoOp* op : record->ops) FreeOp(editor, op);
    delete record;
    record = nullptr;
}

}  // namespace

void StartSymbolEditorUndoCollection(SymbolEditorRecord* editor, uint16_t kind) {
    FreeRecord(editor, editor->undoCollect);
    editor->undoCollect = new SymUndoRecord;
    editor->undoCollect->kind = kind;
}

void AcceptSymbolEditorUndoCollection(SymbolEditorRecord* editor) {
    ClearSymbolEditorUndoAction(editor);
    if (editor->undoCollect && editor->undoCollect->kind && !editor->undoCollect->ops.empty()) {
        editor->undo = editor->undoCollect;
        editor->undoCollect = nullptr;
    } else {
        FreeRecord(editor, editor->undoCollect);
    }
}

void AbortSymbolEditorUndoCollection(SymbolEditorRecord* editor) { FreeRecord(editor, editor->undoCollect); }

void ClearSymbolEditorUndoAction(SymbolEditorRecord* editor) { FreeRecord(editor, editor->undo); }

}  // namespace plexa
