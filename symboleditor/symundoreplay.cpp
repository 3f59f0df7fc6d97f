#include "symboleditor/symundoreplay.h"

#include <algorithm>
#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/elements.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symarea.h"
#include "symboleditor/symclip.h"
#include "symboleditor/symrecord.h"
#include "symboleditor/symselection.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

LinkListHeader* ListOf(SymbolEditorRecord* editor, uint8_t itemKind, int32_t view) {
    switch (itemKind) {
        case kSymUndoItemText: return editor->textLists[view];
        case kSymUndoItemElement: return editor->elementLists[view];
        case kSymUndoItemFrame: return editor->frameLists[view];
        default: return nullptr;
    }
}

void SetSelectionBits(uint8_t itemKind, void* item, uint8_t bits) {
    switch (itemKind) {
        case kSymUndoItemText: {
            auto* text = static_cast<TextRecord*>(item);
            text->flags = uint16_t(bits ? text->flags | kTextFlagSelected : text->flags & ~kTextFlagSelected);
            break;
        }
        case kSymUndoItemElement: {
            auto* e = static_cast<ElementRecord*>(item);
            e->flags = uint16_t((e->flags & ~3u) | (bits & 3u));
            break;
        }
        case kSymUndoItemFrame: {
            TextFrameRecord* frame = *static_cast<TextFrameHandle>(item);
            frame->flags = uint16_t(bits ? frame->flags | kFrameFlagSelected : frame->flags & ~kFrameFlagSelected);
            break;
        }
        default: break;
    }
}

Rect ItemBounds(uint8_t itemKind, void* item) {
    switch (itemKind) {
        case kSymUndoItemText: return static_cast<TextRecord*>(item)->bounds;
        case kSymUndoItemElement: return static_cast<ElementRecord*>(item)->bounds;
        case kSymUndoItemFrame: return (*static_cast<TextFrameHandle>(item))->bounds;
        default: return Rect{};
    }
}

// Pin texts (of the editor's views and of the action's text operations) owned by `from` are
// re-pointed to `to`.
void FixPinTextOwners(SymbolEditorRecord* editor, SymUndoRecord* record, ElementRecord* from,
                      ElementRecord* to) {
    const auto fix = [from, to](TextRecord* text) {
        if (text && text->kind >= kTextKindPinNumber && text->owner == reinterpret_cast<intptr_t>(from))
            text->owner = reinterpret_cast<intptr_t>(to);
    };
    for (LinkListHeader* texts : editor->textLists)
        for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) fix(static_cast<TextRecord*>(item));
    if (!record) return;
    for (SymUndoOp* op : record->ops) {
        if (op->itemKind != kSymUndoItemText) continue;
        if (op->kind == kOpMove || op->kind == kOpSwap || op->kind == kOpExistence) fix(static_cast<TextRecord*>(op->item));
        if (op->kind == kOpSwap) fix(static_cast<TextRecord*>(op->copy));
    }
}

void ReplayMove(SymbolEditorRecord* editor, SymUndoOp* op) {
    const StringBlock block = editor->stringBlock;
    if (op->transformation == 0) {
        op->point.h = int16_t(-op->point.h);
        op->point.v = int16_t(-op->point.v);
        switch (op->itemKind) {
            case kSymUndoItemText: OffsetTextElement(static_cast<TextRecord*>(op->item), op->point.h, op->point.v); break;
            case kSymUndoItemElement: OffsetElement(static_cast<ElementRecord*>(op->item), op->point); break;
            case kSymUndoItemFrame: OffsetTextFrame(static_cast<TextFrameHandle>(op->item), op->point.h, op->point.v); break;
            default: break;
        }
    } else {
        op->transformation = int16_t(VXInverseTransformation(op->transformation));
        switch (op->itemKind) {
            case kSymUndoItemText:
                TransformTextElement(static_cast<TextRecord*>(op->item), editor->window, block, op->point,
                                     op->transformation);
                break;
            case kSymUndoItemElement: TransformElement(static_cast<ElementRecord*>(op->item), op->point, op->transformation); break;
            case kSymUndoItemFrame:
                TransformTextFrame(static_cast<TextFrameHandle>(op->item), editor->window, op->point, op->transformation);
                break;
            default: break;
        }
    }
    SetSelectionBits(op->itemKind, op->item, op->selected);
}

void ReplaySwap(SymbolEditorRecord* editor, SymUndoRecord* record, SymUndoOp* op) {
    LinkListHeader* list = ListOf(editor, op->itemKind, op->view);
    if (!list || !op->item || !op->copy) return;
    void* leaving = op->item;
    void* entering = op->copy;
    const uint8_t leavingBits = SymUndoSelectionBits(op->itemKind, leaving);
    if (!LLRemoveOrFree(list, leaving, nullptr, false)) return;
    if (op->itemKind == kSymUndoItemElement) {
        auto* out = static_cast<ElementRecord*>(leaving);
        auto* in = static_cast<ElementRecord*>(entering);
        LLPush(list, in);
        if (out->kind == kElementNode && in->kind == kElementNode) {
            // The shared pin data and numbers stay with the pin in the view.
            NodeElement* from = ElementAs<NodeElement>(out);
            NodeElement* to = ElementAs<NodeElement>(in);
            to->pinData = from->pinData;
            to->pinNumbers = from->pinNumbers;
            from->pinData = from->pinNumbers = nullptr;
            FixPinTextOwners(editor, record, out, in);
        }
    } else {
        LLPush(list, entering);
    }
    SetSelectionBits(op->itemKind, entering, op->selected);
    op->selected = leavingBits;
    op->item = entering;
    op->copy = leaving;
}

void ReplayExistence(SymbolEditorRecord* editor, SymUndoOp* op) {
    LinkListHeader* list = ListOf(editor, op->itemKind, op->view);
    if (!list) return;
    if (!op->present) {
        if (op->position > 0) LLInsertAt(list, op->position, op->item);
        else LLPush(list, op->item);
        SetSelectionBits(op->itemKind, op->item, op->selected);
    } else {
        op->selected = SymUndoSelectionBits(op->itemKind, op->item);
        SetSelectionBits(op->itemKind, op->item, 0);
        op->position = LLGetLinkPosition(list, op->item);
        (void)LLRemoveOrFree(list, op->item, nullptr, false);  // held by the operation
    }
    op->present = !op->present;
}

void InvalViewAll(SymbolEditorRecord* editor) {
    InvalSymbolEditorView(editor, nullptr);
}

}  // namespace

void UndoSymbolEditorAction(SymbolEditorRecord* editor) {
    // What is being made is finished first and becomes the action undone.
    DestroySymbolEditorTE(editor);
    FinishCreatePoly(editor, false);
    SymUndoRecord* record = editor->undo;
    if (!record || !record->kind) return;
    ClearSymbolEditorSelection(editor);
    Rect area{};
    const auto add = [&area](const Rect& r) {
        if (VXEmptyRect(&r)) return;
        if (VXEmptyRect(&area)) area = r;
        else VXUnionRect(&area, &r, &area);
    };
    for (auto it = record->ops.rbegin(); it != record->ops.rend(); ++it) {
        SymUndoOp* op = *it;
        if (op->item) add(ItemBounds(op->itemKind, op->item));
        switch (op->kind) {
            case kOpMove: ReplayMove(editor, op); break;
            case kOpSwap: ReplaySwap(editor, record, op); break;
            case kOpExistence: ReplayExistence(editor, op); break;
            case kOpInvalRect: add(op->rect); break;
            case kOpSetView: {
                // Back to the stored view; the view shown now is stored for the next replay.
                Rect shown{};
                if (editor->window) VXGetViewRect(editor->window, &shown);
                std::swap(editor->scale, op->scale);
                if (editor->window) {
                    VXSetScalePercent(editor->window, editor->scale, editor->scale);
                    VXScrollTo(editor->window, op->rect.left, op->rect.top);
                }
                op->rect = shown;
                InvalViewAll(editor);
                break;
            }
            case kOpCutSource:
                if (record->kind == kSymUndoCut) ToggleCutClipFlag(record->clipId);
                break;
            case kOpCustom:
                if (op->proc) op->proc(editor, op, false);
                break;
            default: break;
        }
        if (op->item) add(ItemBounds(op->itemKind, op->item));
    }
    if (!VXEmptyRect(&area)) InvalEditorView(editor, area);
    PrepSymbolEditorSelection(editor);
    record->redo = !record->redo;
}
}  // namespace plexa
