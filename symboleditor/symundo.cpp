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
#include "symboleditor/symclip.h"
#include "symboleditor/symrecord.h"
#include "symboleditor/symselection.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr const char* kActionNames[] = {"",       "Move",   "Transformation", "Wire Change",
                                        "Reshape", "Zoom",  "Cut",            "Delete",
                                        "Resize", "Paste",  "Duplicate",      "Signal Modification",
                                        "Creation"};

LinkListHeader* ListOf(SymbolEditorRecord* editor, uint8_t itemKind, int32_t view) {
    switch (itemKind) {
        case kSymUndoItemText: return editor->textLists[view];
        case kSymUndoItemElement: return editor->elementLists[view];
        case kSymUndoItemFrame: return editor->frameLists[view];
        default: return nullptr;
    }
}

uint8_t SelectionBits(uint8_t itemKind, void* item) {
    switch (itemKind) {
        case kSymUndoItemText: return (static_cast<TextRecord*>(item)->flags & kTextFlagSelected) ? 1 : 0;
        case kSymUndoItemElement: return uint8_t(static_cast<ElementRecord*>(item)->flags & 3);
        case kSymUndoItemFrame: return ((*static_cast<TextFrameHandle>(item))->flags & kFrameFlagSelected) ? 1 : 0;
        default: return 0;
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
    const uint8_t leavingBits = SelectionBits(op->itemKind, leaving);
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
        op->selected = SelectionBits(op->itemKind, op->item);
        SetSelectionBits(op->itemKind, op->item, 0);
        op->position = LLGetLinkPosition(list, op->item);
        (void)LLRemoveOrFree(list, op->item, nullptr, false);  // held by the operation
    }
    op->present = !op->present;
}

void InvalViewAll(SymbolEditorRecord* editor) {
    if (const auto inval = GetSymbolEditorHooks().invalView) inval(editor, nullptr);
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
    op->selected = SelectionBits(itemKind, item);
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
    op->selected = SelectionBits(itemKind, item);
}

void CollectUndoSymbolEditorItemExistance(SymbolEditorRecord* editor, uint8_t itemKind, void* item, bool present) {
    if (!item) return;
    SymUndoOp* op = NewOp(editor, kOpExistence, itemKind, item);
    if (!op) {
        if (!present) FreeSymUndoItem(editor, itemKind, item, editor->viewContext == kSymbolViewAlternate ? 1 : 0);
        return;
    }
    op->present = present;
    op->selected = SelectionBits(itemKind, item);
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

// ---- Control ----

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
