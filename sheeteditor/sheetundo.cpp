// Sheet undo: collection, commit, replay and the menu text.
#include "sheeteditor/sheetundo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "files/sheetstore.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/cliprecord.h"
#include "sheeteditor/sheettoolids.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// The command being handled: the number moves on once the run loop is free again after a change
// was reported, so that the changes and the collection of one command share it.
uint32_t gUndoCommand = 1;
bool gUndoCommandEndPosted = false;

void EndUndoCommand(void*) {
    gUndoCommandEndPosted = false;
    ++gUndoCommand;
}

uint32_t CurrentUndoCommand() {
    if (!gUndoCommandEndPosted) {
        // Without a deferred end the change counts as a command of its own, which no collection
        // shares: the modified mark then stays where it would have gone.
        if (VXPostDeferredAction(EndUndoCommand, nullptr, 0) == 0) return gUndoCommand++;
        gUndoCommandEndPosted = true;
    }
    return gUndoCommand;
}

// The modified marks: what differs from the sheet's file.
constexpr uint8_t kUndoMarks = kSheetModifiedContent | kSheetModifiedDrawing;

bool SheetUnmodified(const SheetRecord* sheet) { return !(sheet->modifiedFlags & kUndoMarks); }

// The sub-kinds of the custom operations: the sheet's next serial number, what came with added
// symbols, the selection given back.
constexpr int32_t kUndoCustomNextSerial = 0, kUndoCustomAddedSymbols = 1, kUndoCustomSelection = 3;
// The selector of an item-string operation on a text.
constexpr int32_t kItemStringText = 1;
// The reasons of SetSheetModifiedStatus that a replay reports: the sheet is as saved; its
// content changed.
constexpr int32_t kUndoReasonSaved = 0x02, kUndoReasonChanged = 0x01, kUndoReasonDrawing = 0x08;

constexpr const char* kActionNames[] = {"",       "Move",   "Transformation", "Wire Change",
                                        "Reshape", "Zoom",  "Cut",            "Delete",
                                        "Resize",  "Paste", "Duplicate",      "Signal Modification",
                                        "Creation"};
constexpr int32_t kLastActionKind = kUndoActionCreation;

LinkListHeader* ItemList(SheetRecord* sheet, int32_t itemKind) {
    switch (itemKind) {
    case kUndoItemSymbol: return sheet->symbolList;
    case kUndoItemText: return sheet->textList;
    case kUndoItemSignal: return sheet->signalList;
    case kUndoItemBuss: return sheet->bussList;
    case kUndoItemElement: return sheet->elementList;
    case kUndoItemFrame: return sheet->textFrameList;
    default: return nullptr;
    }
}

WireList NetWires(int32_t itemKind, void* item) {
    if (itemKind == kUndoItemSignal) return (*static_cast<SignalHandle>(item))->wires;
    if (itemKind == kUndoItemBuss) return (*static_cast<BussHandle>(item))->wires;
    return nullptr;
}

void SaveWireSelection(WireList wires, std::vector<uint16_t>* out) {
    out->clear();
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
        out->push_back(uint16_t((*w)->flags & kWireFlagSelected));
}

void RestoreWireSelection(WireList wires, const std::vector<uint16_t>& saved) {
    size_t i = 0;
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w), ++i) {
        const uint16_t bit = i < saved.size() ? saved[i] : 0;
        (*w)->flags = uint16_t(((*w)->flags & ~kWireFlagSelected) | bit);
    }
}

void ClearWireListHilites(WireList wires) {
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
        (*w)->flags = uint16_t((*w)->flags & ~kWireFlagSelected);
}

// The selection bit of a symbol, text, element or frame (0 or 1).
uint8_t SelectionBit(int32_t itemKind, void* item) {
    switch (itemKind) {
    case kUndoItemSymbol: return (static_cast<SymbolRecord*>(item)->flags & kSymbolFlagSelected) ? 1 : 0;
    case kUndoItemText: return (static_cast<TextRecord*>(item)->flags & kTextFlagSelected) ? 1 : 0;
    case kUndoItemElement: return (static_cast<ElementRecord*>(item)->flags & kElementSelected) ? 1 : 0;
    case kUndoItemFrame: return ((*static_cast<TextFrameHandle>(item))->flags & kFrameFlagSelected) ? 1 : 0;
    default: return 0;
    }
}

void SetSelectionBit(int32_t itemKind, void* item, bool on) {
    switch (itemKind) {
    case kUndoItemSymbol: {
        auto* s = static_cast<SymbolRecord*>(item);
        s->flags = on ? (s->flags | kSymbolFlagSelected) : (s->flags & ~kSymbolFlagSelected);
        break;
    }
    case kUndoItemText: {
        auto* t = static_cast<TextRecord*>(item);
        t->flags = uint16_t(on ? (t->flags | kTextFlagSelected) : (t->flags & ~kTextFlagSelected));
        break;
    }
    case kUndoItemElement: {
        auto* e = static_cast<ElementRecord*>(item);
        e->flags = uint16_t(on ? (e->flags | kElementSelected) : (e->flags & ~kElementSelected));
        break;
    }
    case kUndoItemFrame: {
        TextFrameRecord* f = *static_cast<TextFrameHandle>(item);
        f->flags = uint16_t(on ? (f->flags | kFrameFlagSelected) : (f->flags & ~kFrameFlagSelected));
        break;
    }
    default: break;
    }
}

void SaveSelection(UndoOp* op) {
    if (op->itemKind == kUndoItemSignal || op->itemKind == kUndoItemBuss)
        SaveWireSelection(NetWires(op->itemKind, op->item), &op->wireHilites);
    else op->savedSelection = SelectionBit(op->itemKind, op->item);
}

void RestoreSelection(const UndoOp& op) {
    if (op.itemKind == kUndoItemSignal || op.itemKind == kUndoItemBuss)
        RestoreWireSelection(NetWires(op.itemKind, op.item), op.wireHilites);
    else SetSelectionBit(op.itemKind, op.item, op.savedSelection != 0);
}

// Undo of added symbols gives the sheet back its next serial number (data: the number to restore).
void SwapNextSerial(void* owner, uint16_t ownerKind, UndoOp* op, int32_t discard) {
    if (discard || ownerKind != kUndoOwnerSheet) return;
    auto* sheet = static_cast<SheetRecord*>(owner);
    const uint32_t current = sheet->stored.nextSerial;
    sheet->stored.nextSerial = uint32_t(op->data);
    op->data = current;
}

// Replayed after the symbols' own operations on undo (they are out by then), before them on redo.
void ReplayAddedSymbols(void* owner, uint16_t ownerKind, UndoOp* op, int32_t discard) {
    auto* added = reinterpret_cast<AddedSymbolsUndo*>(op->data);
    if (discard) {
        if (added && added->undone)
            for (ComponentRecord* c : added->components) FreeComponent(c);
        delete added;
        op->data = 0;
        return;
    }
    if (ownerKind != kUndoOwnerSheet || !added) return;
    auto* sheet = static_cast<SheetRecord*>(owner);
    std::vector<ComponentRecord*>& components = added->components;
    if (!added->undone) {
        // Each goes back where it was: taken out last first, put back first first.
        added->positions.assign(components.size(), 0);
        for (size_t i = components.size(); i-- > 0;) {
            added->positions[i] = std::max(0, LLGetLinkPosition(sheet->componentList, components[i]));
            LLRemoveOrFree(sheet->componentList, components[i], nullptr, false);
        }
        (void)PurgeMissingSymbolsFromAnnotMap(sheet, sheet->annotationMap);  // true when any went
    } else {
        for (size_t i = 0; i < components.size(); ++i)
            LLInsertAt(sheet->componentList, i < added->positions.size() ? added->positions[i] : 0, components[i]);
        for (const auto& d : added->designators)
            (void)SetSymbolAnnotation(sheet, d.serial, d.text.c_str(), d.slot);  // false when unchanged
    }
    added->undone = !added->undone;
}

bool gSymbolFreed = false;

void FreeUndoOpDataItem(SheetRecord* sheet, int32_t itemKind, void* item) {
    if (!item) return;
    switch (itemKind) {
    case kUndoItemSymbol:
        DestroySymbol(static_cast<SymbolRecord*>(item));
        gSymbolFreed = true;
        break;
    case kUndoItemText: MemFreePtr(static_cast<Ptr>(item)); break;
    case kUndoItemSignal: DestroySignal(static_cast<SignalHandle>(item)); break;
    case kUndoItemBuss: DestroyBuss(static_cast<BussHandle>(item)); break;
    case kUndoItemBreakOutTable: DestroyBreakOutTable(static_cast<BreakOutTable>(item)); break;
    case kUndoItemElement: DestroyElement(static_cast<ElementRecord*>(item), sheet ? sheet->imageList : nullptr); break;
    case kUndoItemFrame: DestroyTextFrame(static_cast<TextFrameHandle>(item)); break;
    default: break;
    }
}

void FreeOneUndoOp(UndoRecord* record, UndoOp* op) {
    auto* sheet = record->ownerKind == kUndoOwnerSheet ? static_cast<SheetRecord*>(record->owner) : nullptr;
    switch (op->opKind) {
    case kUndoOpSwap: FreeUndoOpDataItem(sheet, op->itemKind, op->stored); break;
    case kUndoOpExistence:
        if (!op->present) FreeUndoOpDataItem(sheet, op->itemKind, op->item);
        break;
    case kUndoOpBreakOutTable: DestroyBreakOutTable(static_cast<BreakOutTable>(op->stored)); break;
    case kUndoOpCustom:
        if (op->proc) op->proc(record->owner, record->ownerKind, op, 1);
        break;
    default: break;
    }
    op->item = op->stored = nullptr;
}

void FreeUndoRecord(UndoRecord* record) {
    for (auto it = record->ops.rbegin(); it != record->ops.rend(); ++it) FreeOneUndoOp(record, &*it);
    record->ops.clear();
    record->actionKind = kUndoActionNone;
    record->redo = 0;
    record->clipId = 0;
}

UndoOp* NewOp(SheetRecord* sheet, uint8_t opKind, int32_t itemKind, void* item) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state || state->collecting.actionKind == kUndoActionNone) return nullptr;
    UndoOp& op = state->collecting.ops.emplace_back();
    op.opKind = opKind;
    op.itemKind = uint8_t(itemKind);
    op.item = item;
    return &op;
}

void MoveItem(SheetRecord* sheet, UndoOp* op) {
    void* item = op->item;
    if (op->transform == 0) {
        op->point.h = int16_t(-op->point.h);
        op->point.v = int16_t(-op->point.v);
        const int16_t dh = op->point.h, dv = op->point.v;
        switch (op->itemKind) {
        case kUndoItemSymbol: {
            auto* s = static_cast<SymbolRecord*>(item);
            s->position.h = int16_t(s->position.h + dh);
            s->position.v = int16_t(s->position.v + dv);
            NoteSheetItemPlaces();
            break;
        }
        case kUndoItemText: OffsetTextElement(static_cast<TextRecord*>(item), dh, dv); break;
        case kUndoItemSignal:
        case kUndoItemBuss: {
            WireList wires = NetWires(op->itemKind, item);
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) OffsetWire(w, dh, dv);
            if (op->itemKind == kUndoItemSignal) {
                InvalidateSignalJunctions(static_cast<SignalHandle>(item));
                CalcSignalBounds(static_cast<SignalHandle>(item));
            } else {
                CalcBussBounds(static_cast<BussHandle>(item));
            }
            break;
        }
        case kUndoItemBreakOutRow: {
            const auto row = int32_t(reinterpret_cast<intptr_t>(item));
            if (auto* r = reinterpret_cast<BreakOutRow*>(DAGetAddress(sheet->breakOutTable, row, false))) {
                r->first.h = int16_t(r->first.h + dh), r->first.v = int16_t(r->first.v + dv);
                r->second.h = int16_t(r->second.h + dh), r->second.v = int16_t(r->second.v + dv);
            }
            break;
        }
        case kUndoItemElement: OffsetElement(static_cast<ElementRecord*>(item), Point{dv, dh}); break;
        case kUndoItemFrame: OffsetTextFrame(static_cast<TextFrameHandle>(item), dh, dv); break;
        default: break;
        }
    } else {
        op->transform = int16_t(VXInverseTransformation(op->transform));
        const Point centre = op->point;
        switch (op->itemKind) {
        case kUndoItemSymbol: TransformSymbolInstance(static_cast<SymbolRecord*>(item), centre, op->transform); break;
        case kUndoItemText:
            TransformTextElement(static_cast<TextRecord*>(item), sheet->window, sheet->stringBlock, centre, op->transform);
            break;
        case kUndoItemSignal:
            TransformSignal(static_cast<SignalHandle>(item), centre, op->transform);
            RestoreWireSelection(NetWires(op->itemKind, item), op->wireHilites);
            break;
        case kUndoItemBuss:
            TransformBuss(static_cast<BussHandle>(item), centre, op->transform);
            ClearWireListHilites(NetWires(op->itemKind, item));
            break;
        case kUndoItemBreakOutRow: {
            const auto row = int32_t(reinterpret_cast<intptr_t>(item));
            if (auto* r = reinterpret_cast<BreakOutRow*>(DAGetAddress(sheet->breakOutTable, row, false))) {
                TransformPointArray(&r->first, 1, centre, op->transform);
                TransformPointArray(&r->second, 1, centre, op->transform);
            }
            break;
        }
        case kUndoItemFrame: TransformTextFrame(static_cast<TextFrameHandle>(item), sheet->window, centre, op->transform); break;
        default: break;
        }
    }
    if (op->savedSelection && op->itemKind != kUndoItemSignal && op->itemKind != kUndoItemBuss)
        SetSelectionBit(op->itemKind, item, true);
}

// Points the sheet's texts (and the other text operations of the record) owned by from at to.
void RepointTexts(SheetRecord* sheet, UndoRecord* record, int64_t from, int64_t to) {
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t;
         t = static_cast<TextRecord*>(LLGetNext(sheet->textList, t)))
        if ((t->kind == kTextKindSignal || t->kind == kTextKindBuss) && t->owner == from) t->owner = to;
    for (UndoOp& op : record->ops) {
        if (op.itemKind != kUndoItemText || !op.item) continue;
        auto* t = static_cast<TextRecord*>(op.item);
        if ((op.opKind == kUndoOpExistence && !op.present) && t->owner == from) t->owner = to;
        if (op.opKind == kUndoOpTextAltRef && op.otherOwner == from) op.otherOwner = to;
    }
}

void RepointBreakOuts(BreakOutTable table, BussHandle from, BussHandle to) {
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(table, &id, &address)) {
        auto* row = reinterpret_cast<BreakOutRow*>(address);
        if (row->buss == from) row->buss = to;
    }
}

void SwapItem(SheetRecord* sheet, UndoRecord* record, UndoOp* op) {
    LinkListHeader* list = ItemList(sheet, op->itemKind);
    if (!list || !op->stored) return;
    const int32_t position = LLGetLinkPosition(list, op->item);
    if (position < 0) return;
    LLRemoveOrFree(list, op->item, nullptr, false);
    LLInsertAt(list, position, op->stored);
    switch (op->itemKind) {
    case kUndoItemSignal:
        RestoreWireSelection(NetWires(op->itemKind, op->stored), op->wireHilites);
        SaveWireSelection(NetWires(op->itemKind, op->item), &op->wireHilites);
        RepointTexts(sheet, record, SignalOwnerWord(static_cast<SignalHandle>(op->item)),
                     SignalOwnerWord(static_cast<SignalHandle>(op->stored)));
        break;
    case kUndoItemBuss:
        RepointBreakOuts(sheet->breakOutTable, static_cast<BussHandle>(op->item), static_cast<BussHandle>(op->stored));
        for (UndoOp& other : record->ops)
            if (other.opKind == kUndoOpBreakOutTable)
                RepointBreakOuts(static_cast<BreakOutTable>(other.stored), static_cast<BussHandle>(op->item),
                                 static_cast<BussHandle>(op->stored));
        RepointTexts(sheet, record, BussOwnerWord(static_cast<BussHandle>(op->item)),
                     BussOwnerWord(static_cast<BussHandle>(op->stored)));
        RestoreWireSelection(NetWires(op->itemKind, op->stored), op->wireHilites);
        SaveWireSelection(NetWires(op->itemKind, op->item), &op->wireHilites);
        break;
    case kUndoItemElement:
    case kUndoItemFrame:
    case kUndoItemText: {
        const uint8_t bit = SelectionBit(op->itemKind, op->item);
        SetSelectionBit(op->itemKind, op->stored, op->savedSelection != 0);
        op->savedSelection = bit;
        break;
    }
    default: break;
    }
    std::swap(op->item, op->stored);
}

void ExistenceItem(SheetRecord* sheet, UndoOp* op) {
    LinkListHeader* list = ItemList(sheet, op->itemKind);
    if (!list) return;
    if (!op->present) {
        LLInsertAt(list, op->position, op->item);
        RestoreSelection(*op);
        if (op->itemKind == kUndoItemSignal) CacheSignalJunctionDots(static_cast<SignalHandle>(op->item));
    } else {
        op->position = LLGetLinkPosition(list, op->item);
        if (op->position < 0) return;
        SaveSelection(op);
        LLRemoveOrFree(list, op->item, nullptr, false);
    }
    op->present = uint8_t(!op->present);
}

void AddItemArea(SheetRecord* sheet, const UndoOp& op, Rect* area) {
    Rect r{};
    switch (op.itemKind) {
    case kUndoItemSymbol: GetSymbolInstanceBounds(sheet, static_cast<SymbolRecord*>(op.item), 1, &r); break;
    case kUndoItemText: r = static_cast<TextRecord*>(op.item)->bounds; break;
    case kUndoItemSignal: r = (*static_cast<SignalHandle>(op.item))->bounds; break;
    case kUndoItemBuss: r = (*static_cast<BussHandle>(op.item))->bounds; break;
    case kUndoItemElement: r = static_cast<ElementRecord*>(op.item)->bounds; break;
    default: return;
    }
    AddToUpdateRect(area, r);
}

// Whether replaying the record tells the sheets' indexes of every change of place it makes by
// itself: nets swapped for their copies and items linked or unlinked move their lists' versions,
// and the rest of these operations change no indexed bounds. Then the replay's modified report
// spares the indexes their rebuild.
bool ReplayReportsPlaces(const UndoRecord& record) {
    for (const UndoOp& op : record.ops) {
        switch (op.opKind) {
        case kUndoOpSwap:
        case kUndoOpExistence:
        case kUndoOpBreakOutTable:
        case kUndoOpInvalRect:
        case kUndoOpSetView:
        case kUndoOpCutSource: break;
        default: return false;
        }
    }
    return true;
}

void ReplayOp(SheetRecord* sheet, UndoRecord* record, UndoOp* op, Rect* area,
              std::vector<SignalHandle>* renamed) {
    switch (op->opKind) {
    case kUndoOpMove:
        if (op->item) AddItemArea(sheet, *op, area);
        MoveItem(sheet, op);
        if (op->item) AddItemArea(sheet, *op, area);
        break;
    case kUndoOpSwap: SwapItem(sheet, record, op); break;
    case kUndoOpExistence:
        if (op->item) AddItemArea(sheet, *op, area);
        ExistenceItem(sheet, op);
        if (op->present && op->itemKind == kUndoItemSignal)
            renamed->push_back(static_cast<SignalHandle>(op->item));
        break;
    case kUndoOpBreakOutTable: {
        auto stored = static_cast<BreakOutTable>(op->stored);
        op->stored = sheet->breakOutTable;
        sheet->breakOutTable = stored;
        break;
    }
    case kUndoOpTextAltRef: {
        auto* text = static_cast<TextRecord*>(op->item);
        std::swap(text->owner, op->otherOwner);
        if (text->kind == kTextKindSignal && !(text->flags & kLabelFlagOwnText) && text->owner) {
            char name[kSignalNameSize];
            GetSignalName(reinterpret_cast<SignalHandle>(text->owner), sheet->stringBlock, name, sizeof name);
            SetTextRecordString(text, sheet->stringBlock, name);
        }
        break;
    }
    case kUndoOpHideText: {
        auto* text = static_cast<TextRecord*>(op->item);
        text->flags ^= kTextFlagHidden;
        // Shown again it is selected as it was when hidden; hidden it is not selected.
        const bool selected = !(text->flags & kTextFlagHidden) && op->savedSelection;
        text->flags = uint16_t(selected ? (text->flags | kTextFlagSelected) : (text->flags & ~kTextFlagSelected));
        AddToUpdateRect(area, text->bounds);
        break;
    }
    case kUndoOpInvalRect: AddToUpdateRect(area, op->rect); break;
    case kUndoOpSetView: {
        // The window goes back to the stored view; the view shown now is stored for the next
        // replay.
        const auto scale = uint16_t(op->value);
        op->value = int16_t(sheet->viewScale);
        Rect shown = op->rect;
        if (sheet->window) VXGetViewRect(sheet->window, &shown);
        const auto show = GetSheetToolsHooks().setScaledViewPosition;
        if (sheet->window && show) sheet->viewScale = uint16_t(show(sheet->window, scale, op->rect));
        else sheet->viewScale = scale;
        op->rect = shown;
        AddToUpdateRect(area, sheet->sheetBounds);
        break;
    }
    case kUndoOpItemString:
        if (op->itemKind == kUndoItemSignal && op->selector == 3) {
            auto signal = static_cast<SignalHandle>(op->item);
            std::swap((*signal)->name, op->spec);
            renamed->push_back(signal);
        } else if (op->itemKind == kUndoItemText && op->selector == 1) {
            auto* text = static_cast<TextRecord*>(op->item);
            char stored[kTextStringSize];
            ExtractStringSpec(op->spec, sheet->stringBlock, stored, sizeof stored);
            const StringSpec old = text->text;
            char current[kTextStringSize];
            ExtractStringSpec(old, sheet->stringBlock, current, sizeof current);
            ChangeSheetText(sheet, text, stored, area);
            op->spec = AppendStringBlock(sheet->stringBlock, current, uint32_t(std::strlen(current)), nullptr);
        } else if (op->itemKind == kUndoItemSymbol && op->selector == 4) {
            auto* symbol = static_cast<SymbolRecord*>(op->item);
            std::swap(symbol->kind.spec, op->spec);
        }
        break;
    case kUndoOpCutSource:
        if (record->actionKind == kUndoActionCut && CurrClip && CurrClip->clipId == record->clipId)
            CurrClip->flags ^= kClipCutUndone;
        break;
    case kUndoOpCustom:
        if (op->proc) op->proc(record->owner, record->ownerKind, op, 0);
        break;
    default: break;
    }
}

// The selection of the items a command leaves on the sheet, taken before the command clears it.
// Items are found by their place in their lists (and a wire or pin by its place in its net): the
// sheet is in the same state whenever the operation is replayed, while a net's record may have
// been swapped for its copy in between.
struct SelectionMark {
    uint8_t what;  // one of the SelectionList values
    int32_t item;
    int32_t part;  // a net's wire or pin
};
enum SelectionList : uint8_t { kSelSymbol, kSelText, kSelFrame, kSelElement, kSelSignalWire, kSelSignalPin,
                               kSelBussWire, kSelBussTerminal };
struct SelectionSnapshot {
    std::vector<SelectionMark> marks;
    bool selected = false;  // as the marked items stand now
};

template <typename F>
void ForEachSelectable(SheetRecord* sheet, F&& f) {
    int32_t i = 0;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next, ++i) {
        uint32_t flags = s->flags;
        f(kSelSymbol, i, 0, &flags, uint32_t(kSymbolFlagSelected));
        s->flags = flags;
    }
    i = 0;
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link, ++i) {
        uint32_t flags = t->flags;
        f(kSelText, i, 0, &flags, uint32_t(kTextFlagSelected));
        t->flags = uint16_t(flags);
    }
    i = 0;
    for (void* n = LLFirst(sheet->textFrameList); n; n = LLGetNext(sheet->textFrameList, n), ++i) {
        TextFrameRecord* frame = *static_cast<TextFrameHandle>(n);
        uint32_t flags = frame->flags;
        f(kSelFrame, i, 0, &flags, uint32_t(kFrameFlagSelected));
        frame->flags = uint16_t(flags);
    }
    i = 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next, ++i) {
        uint32_t flags = e->flags;
        f(kSelElement, i, 0, &flags, uint32_t(kElementSelected));
        e->flags = uint16_t(flags);
    }
    i = 0;
    for (void* n = LLFirst(sheet->signalList); n; n = LLGetNext(sheet->signalList, n), ++i) {
        auto signal = static_cast<SignalHandle>(n);
        int32_t part = 0;
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w), ++part) {
            uint32_t flags = (*w)->flags;
            f(kSelSignalWire, i, part, &flags, uint32_t(kWireFlagSelected));
            (*w)->flags = uint16_t(flags);
        }
        for (part = 0; part < (*signal)->pinCount; ++part) {
            uint32_t flags = SignalPins(signal)[part].flags;
            f(kSelSignalPin, i, part, &flags, uint32_t(kPinEntrySelected));
            SignalPins(signal)[part].flags = uint8_t(flags);
        }
    }
    i = 0;
    for (void* n = LLFirst(sheet->bussList); n; n = LLGetNext(sheet->bussList, n), ++i) {
        auto buss = static_cast<BussHandle>(n);
        int32_t part = 0;
        for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w), ++part) {
            uint32_t flags = (*w)->flags;
            f(kSelBussWire, i, part, &flags, uint32_t(kWireFlagSelected));
            (*w)->flags = uint16_t(flags);
        }
        for (part = 0; part < (*buss)->terminalCount; ++part) {
            uint32_t flags = BussTerminals(buss)[part].flags;
            f(kSelBussTerminal, i, part, &flags, 0x01u);
            BussTerminals(buss)[part].flags = uint8_t(flags);
        }
    }
}

void ReplaySelection(void* owner, uint16_t ownerKind, UndoOp* op, int32_t discard) {
    auto* snapshot = reinterpret_cast<SelectionSnapshot*>(op->data);
    if (discard) {
        delete snapshot;
        op->data = 0;
        return;
    }
    if (ownerKind != kUndoOwnerSheet || !snapshot) return;
    snapshot->selected = !snapshot->selected;
    size_t next = 0;  // the marks are in the order the walk meets them
    ForEachSelectable(static_cast<SheetRecord*>(owner),
                      [&](uint8_t what, int32_t item, int32_t part, uint32_t* flags, uint32_t bit) {
                          if (next >= snapshot->marks.size()) return;
                          const SelectionMark& m = snapshot->marks[next];
                          if (m.what != what || m.item != item || m.part != part) return;
                          ++next;
                          *flags = snapshot->selected ? (*flags | bit) : (*flags & ~bit);
                      });
}

}  // namespace

SheetUndoState* GetSheetUndoState(SheetRecord* sheet) {
    if (!sheet) return nullptr;
    if (!sheet->undoAction) sheet->undoAction = new SheetUndoState;
    return static_cast<SheetUndoState*>(sheet->undoAction);
}

void ReleaseSheetUndo(SheetRecord* sheet) {
    if (!sheet || !sheet->undoAction) return;
    auto* state = static_cast<SheetUndoState*>(sheet->undoAction);
    FreeUndoRecord(&state->collecting);
    FreeUndoRecord(&state->committed);
    delete state;
    sheet->undoAction = nullptr;
}

bool IsCollectingSheetUndo(SheetRecord* sheet) {
    return sheet && sheet->undoAction &&
           static_cast<SheetUndoState*>(sheet->undoAction)->collecting.actionKind != kUndoActionNone;
}

void CollectUndoMoveSheetItem(SheetRecord* sheet, int32_t itemKind, void* item, Point point,
                              int32_t transformation) {
    UndoOp* op = NewOp(sheet, kUndoOpMove, itemKind, item);
    if (!op) return;
    op->point = point;
    op->transform = int16_t(transformation);
    if (itemKind == kUndoItemSignal) SaveWireSelection(NetWires(itemKind, item), &op->wireHilites);
    else if (itemKind != kUndoItemBuss && itemKind != kUndoItemBreakOutRow) op->savedSelection = SelectionBit(itemKind, item);
}

void CollectUndoSwapSheetItem(SheetRecord* sheet, int32_t itemKind, void* item) {
    if (!IsCollectingSheetUndo(sheet) || !item) return;
    // The first copy is the item as the action found it; a second swap of the same item would
    // replay on a record that the first has already taken out.
    for (const UndoOp& op : GetSheetUndoState(sheet)->collecting.ops)
        if (op.opKind == kUndoOpSwap && op.itemKind == itemKind && op.item == item) return;
    void* copy = nullptr;
    uint8_t bit = 0;
    std::vector<uint16_t> hilites;
    switch (itemKind) {
    case kUndoItemText:
        copy = DuplicateText2(static_cast<TextRecord*>(item));
        bit = SelectionBit(itemKind, item);
        break;
    case kUndoItemSignal:
        copy = DuplicateSignal(static_cast<SignalHandle>(item));
        SaveWireSelection(NetWires(itemKind, item), &hilites);
        break;
    case kUndoItemBuss:
        copy = DuplicateBuss(static_cast<BussHandle>(item));
        SaveWireSelection(NetWires(itemKind, item), &hilites);
        break;
    case kUndoItemElement:
        copy = DuplicateElement(static_cast<ElementRecord*>(item), true, sheet->imageList, sheet->imageList);
        bit = SelectionBit(itemKind, item);
        break;
    case kUndoItemFrame:
        copy = DuplicateTextFrame(static_cast<TextFrameHandle>(item));
        bit = SelectionBit(itemKind, item);
        break;
    default: return;
    }
    if (!copy) return;
    UndoOp* op = NewOp(sheet, kUndoOpSwap, itemKind, item);
    op->stored = copy;
    op->savedSelection = bit;
    op->wireHilites = std::move(hilites);
}

void CollectUndoSheetItemExistanceAt(SheetRecord* sheet, int32_t itemKind, void* item,
                                     int32_t present, int32_t position) {
    if (!item) return;
    if (!IsCollectingSheetUndo(sheet)) {
        if (!present) FreeUndoOpDataItem(sheet, itemKind, item);
        return;
    }
    UndoOp* op = NewOp(sheet, kUndoOpExistence, itemKind, item);
    op->present = uint8_t(present ? 1 : 0);
    op->position = position;
    SaveSelection(op);
}

void CollectUndoSheetItemExistance(SheetRecord* sheet, int32_t itemKind, void* item,
                                   int32_t present) {
    // An inserted item's place is taken when undo removes it.
    LinkListHeader* list = sheet && !present && IsCollectingSheetUndo(sheet) ? ItemList(sheet, itemKind) : nullptr;
    const int32_t position = list ? LLGetLinkPosition(list, item) : -1;
    CollectUndoSheetItemExistanceAt(sheet, itemKind, item, present, position < 0 ? 0 : position);
}

void CollectUndoCombinedNet(SheetRecord* sheet, int32_t itemKind, void* net) {
    if (!IsCollectingSheetUndo(sheet) || !net || (itemKind != kUndoItemSignal && itemKind != kUndoItemBuss)) return;
    LinkListHeader* list = ItemList(sheet, itemKind);
    const int32_t position = LLGetLinkPosition(list, net);
    if (position < 0) return;
    const bool signal = itemKind == kUndoItemSignal;
    void* copy = signal ? static_cast<void*>(DuplicateSignal(static_cast<SignalHandle>(net)))
                        : static_cast<void*>(DuplicateBuss(static_cast<BussHandle>(net)));
    if (!copy) {
        // Without the copy undo could not give the net back: the action is not kept.
        AbortSheetUndoCollection(sheet);
        return;
    }
    const int64_t from = signal ? SignalOwnerWord(static_cast<SignalHandle>(net)) : BussOwnerWord(static_cast<BussHandle>(net));
    const int64_t to = signal ? SignalOwnerWord(static_cast<SignalHandle>(copy)) : BussOwnerWord(static_cast<BussHandle>(copy));
    // The labels, re-pointed by the combining without a record, go to the copy on undo.
    const uint16_t labelKind = signal ? kTextKindSignal : kTextKindBuss;
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
        if (t->kind == labelKind && t->owner == from) CollectUndoSheetTextOwner(sheet, t, to);
    if (!signal)
        for (const UndoOp& op : GetSheetUndoState(sheet)->collecting.ops)
            if (op.opKind == kUndoOpBreakOutTable && op.stored)
                RepointBreakOuts(static_cast<BreakOutTable>(op.stored), static_cast<BussHandle>(net),
                                 static_cast<BussHandle>(copy));
    CollectUndoSheetItemExistanceAt(sheet, itemKind, copy, 0, position);
}

void CollectUndoAltBOTable(SheetRecord* sheet) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!IsCollectingSheetUndo(sheet) || state->breakOutTableCollected) return;
    BreakOutTable copy = sheet->breakOutTable ? DADuplicate(gGenPool, sheet->breakOutTable) : nullptr;
    if (sheet->breakOutTable && !copy) return;
    UndoOp* op = NewOp(sheet, kUndoOpBreakOutTable, kUndoItemBreakOutTable, nullptr);
    op->stored = copy;
    state->breakOutTableCollected = true;
}

void CollectUndoSheetTextOwner(SheetRecord* sheet, TextRecord* text, int64_t otherOwner) {
    UndoOp* op = NewOp(sheet, kUndoOpTextAltRef, kUndoItemText, text);
    if (op) op->otherOwner = otherOwner;
}

void CollectUndoHideSheetText(SheetRecord* sheet, TextRecord* text) {
    UndoOp* op = NewOp(sheet, kUndoOpHideText, kUndoItemText, text);
    if (op) op->savedSelection = SelectionBit(kUndoItemText, text);
}

void CollectUndoSheetChangeItemString(SheetRecord* sheet, int32_t itemKind, void* item,
                                      StringSpec spec, int32_t selector) {
    UndoOp* op = NewOp(sheet, kUndoOpItemString, itemKind, item);
    if (!op) return;
    op->spec = spec;
    op->selector = int16_t(selector);
}

void CollectUndoInvalSheetRect(SheetRecord* sheet, const Rect* rect) {
    UndoOp* op = rect ? NewOp(sheet, kUndoOpInvalRect, 0, nullptr) : nullptr;
    if (op) op->rect = *rect;
}

void CollectUndoSetSheetView(SheetRecord* sheet) {
    UndoOp* op = NewOp(sheet, kUndoOpSetView, 0, nullptr);
    if (!op) return;
    op->rect = sheet->sheetBounds;
    if (sheet->window) VXGetViewRect(sheet->window, &op->rect);
    op->value = int16_t(sheet->viewScale);
}

void CollectUndoSheetCutSourceId(SheetRecord* sheet) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state || state->collecting.actionKind != kUndoActionCut) return;
    state->collecting.clipId = sheet->lastCopiedClipId;
    (void)NewOp(sheet, kUndoOpCutSource, 0, nullptr);  // the marker op has no fields
}

void CollectUndoCustomSheetAction(SheetRecord* sheet, int32_t subKind, UndoCustomProc proc,
                                  uint64_t data, int32_t value) {
    UndoOp* op = NewOp(sheet, kUndoOpCustom, 0, nullptr);
    if (!op) {
        UndoOp temporary;
        temporary.opKind = kUndoOpCustom;
        temporary.subKind = uint8_t(subKind);
        temporary.proc = proc;
        temporary.data = data;
        temporary.value = int16_t(value);
        if (proc) proc(sheet, kUndoOwnerSheet, &temporary, 1);
        return;
    }
    op->subKind = uint8_t(subKind);
    op->proc = proc;
    op->data = data;
    op->value = int16_t(value);
}

void CollectUndoSheetSelection(SheetRecord* sheet) {
    if (!IsCollectingSheetUndo(sheet)) return;
    auto* snapshot = new SelectionSnapshot;  // cleared next by the command
    ForEachSelectable(sheet, [&](uint8_t what, int32_t item, int32_t part, uint32_t* flags, uint32_t bit) {
        if (*flags & bit) snapshot->marks.push_back({what, item, part});
    });
    if (snapshot->marks.empty()) {
        delete snapshot;
        return;
    }
    CollectUndoCustomSheetAction(sheet, kUndoCustomSelection, ReplaySelection, reinterpret_cast<uint64_t>(snapshot), 0);
}

AddedSymbolsUndo* CollectUndoAddedSymbols(SheetRecord* sheet) {
    if (!IsCollectingSheetUndo(sheet)) return nullptr;
    CollectUndoCustomSheetAction(sheet, kUndoCustomNextSerial, SwapNextSerial, sheet->stored.nextSerial, 0);
    auto* added = new AddedSymbolsUndo;  // owned by the operation
    CollectUndoCustomSheetAction(sheet, kUndoCustomAddedSymbols, ReplayAddedSymbols, reinterpret_cast<uint64_t>(added), 0);
    return added;
}

void NoteAddedSymbolDesignator(SheetRecord* sheet, AddedSymbolsUndo* added, const SymbolRecord* symbol) {
    if (!added || !symbol) return;
    char text[kAnnotationTextSize] = {};
    const int32_t slot = GetSymbolAnnotation(sheet, symbol->serial, text);
    if (text[0]) added->designators.push_back({symbol->serial, text, slot});
}

SheetLabelStrings TakeSheetLabelStrings(SheetRecord* sheet) {
    SheetLabelStrings strings;
    if (!sheet) return strings;
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) {
        if (t->kind != kTextKindSignal && t->kind != kTextKindBuss && t->kind != kTextKindNetSymbol) continue;
        char text[kStringSpecBufferSize] = "";
        GetTextRecordString(t, sheet->stringBlock, text, sizeof text);
        strings.emplace_back(t, text);
    }
    return strings;
}

void CollectUndoChangedLabelStrings(SheetRecord* sheet, const SheetLabelStrings& before) {
    if (!IsCollectingSheetUndo(sheet) || before.empty()) return;
    // Only texts still on the sheet are looked at (an edit may have let one go).
    std::unordered_set<const TextRecord*> present;
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) present.insert(t);
    for (const auto& [text, old] : before) {
        if (!present.count(text)) continue;
        char now[kStringSpecBufferSize] = "";
        GetTextRecordString(text, sheet->stringBlock, now, sizeof now);
        if (old == now) continue;
        const StringSpec spec = OverlayStringBlock(sheet->stringBlock, old.c_str(), int32_t(old.size()), nullptr);
        CollectUndoSheetChangeItemString(sheet, kUndoItemText, text, spec, kItemStringText);
    }
}

void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state) return;
    state->collectingFromSaved =
        SheetUnmodified(sheet) || state->looseChangeCommand == gUndoCommand;
    state->looseChangeCommand = 0;
    // Another action meanwhile: an edit in progress no longer begins at the saved sheet.
    state->editFromSaved = false;
    FreeUndoRecord(&state->collecting);
    state->collecting.actionKind = uint16_t(kind);
    state->collecting.owner = sheet;
    state->collecting.ownerKind = kUndoOwnerSheet;
    state->breakOutTableCollected = false;
}

void BeginSheetUndoEdit(SheetRecord* sheet) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state) return;
    state->editFromSaved =
        SheetUnmodified(sheet) || state->looseChangeCommand == gUndoCommand;
}

void ReportSheetEditChange(SheetRecord* sheet, int32_t reasons) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state) return;
    state->editReporting = true;
    SetSheetModifiedStatus(sheet, reasons);
    state->editReporting = false;
}

void StartSheetUndoEditCollection(SheetRecord* sheet, int32_t kind) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state) return;
    const bool fromSaved = state->editFromSaved;
    StartSheetUndoCollection(sheet, kind);
    state->collectingFromSaved = state->collectingFromSaved || fromSaved;
}

void AcceptSheetUndoCollection(SheetRecord* sheet) {
    SheetUndoState* state = GetSheetUndoState(sheet);
    if (!state) return;
    ClearSheetUndoAction(sheet);
    if (state->collecting.actionKind != kUndoActionNone && !state->collecting.ops.empty()) {
        state->committed = std::move(state->collecting);
        state->collecting = UndoRecord{};
        state->committedFromSaved = state->collectingFromSaved;
    } else {
        FreeUndoRecord(&state->collecting);
    }
    state->breakOutTableCollected = false;
}

void AbortSheetUndoCollection(SheetRecord* sheet) {
    if (!sheet || !sheet->undoAction) return;
    auto* state = static_cast<SheetUndoState*>(sheet->undoAction);
    FreeUndoRecord(&state->collecting);
    state->breakOutTableCollected = false;
}

void ClearSheetUndoAction(SheetRecord* sheet) {
    if (!sheet || !sheet->undoAction) return;
    auto* state = static_cast<SheetUndoState*>(sheet->undoAction);
    if (state->clearing) return;
    state->clearing = true;
    state->committedFromSaved = false;
    gSymbolFreed = false;
    FreeUndoRecord(&state->committed);
    if (gSymbolFreed) {
        PurgeComponentList(sheet->componentList, sheet->symbolList);
        PurgeSymbolMap(sheet);
        gSymbolFreed = false;
    }
    state->clearing = false;
}

void ReplaySheetUndoAction(SheetRecord* sheet) {
    if (!sheet || !sheet->undoAction) return;
    auto* state = static_cast<SheetUndoState*>(sheet->undoAction);
    UndoRecord* record = &state->committed;
    if (record->actionKind == kUndoActionNone) return;
    // The selection stays as it is: each operation gives its own item back the selection it had,
    // so that undo and redo alternate between the same two states.
    Rect area, hilite;
    VXSetEmptyRect(&area);
    if (CalcSheetHiliteBounds(sheet, &hilite)) AddToUpdateRect(&area, hilite);
    std::vector<SignalHandle> renamed;
    state->replaying = true;
    // Undone, the action's marks are remembered for its redo (a change of the view marks none).
    if (!record->redo) state->marksAfterAction = uint8_t(sheet->modifiedFlags & kUndoMarks);
    // Undo walks the operations newest first; redo oldest first, the order they were made in.
    if (!record->redo) {
        for (auto it = record->ops.rbegin(); it != record->ops.rend(); ++it)
            ReplayOp(sheet, record, &*it, &area, &renamed);
    } else {
        for (UndoOp& op : record->ops) ReplayOp(sheet, record, &op, &area, &renamed);
    }
    // The operations give items back their selection as they were: the kept set is taken again.
    RetakeSheetSelectedItems(sheet);
    if (record->actionKind == kUndoActionSignalModification) {
        // Every signal gathered, however many.
        for (auto it = renamed.rbegin(); it != renamed.rend(); ++it)
            if (LLGetLinkPosition(sheet->signalList, *it) >= 0) UpdateSignalNames(sheet, *it, &area);
        ClearSignalHilite(sheet, nullptr);
    }
    CalcSheetSelection(sheet, nullptr);
    // The highlight follows the selected items to where they are now.
    BuildDrawingSelectRgn(sheet);
    if (CalcSheetHiliteBounds(sheet, &hilite)) AddToUpdateRect(&area, hilite);
    if (!VXEmptyRect(&area)) InvalSheetView(sheet, &area);
    record->redo = uint8_t(!record->redo);
    // Undone, an action that began on the saved sheet gives the saved sheet back; redone, the
    // sheet differs from its file as the action left it.
    if (state->committedFromSaved) {
        int32_t reasons = 0;
        if (record->redo) reasons = kUndoReasonSaved;
        if (!record->redo && (state->marksAfterAction & kSheetModifiedContent)) reasons |= kUndoReasonChanged;
        if (!record->redo && (state->marksAfterAction & kSheetModifiedDrawing)) reasons |= kUndoReasonDrawing;
        if (reasons && ReplayReportsPlaces(*record)) reasons |= kSheetChangePlacesReported;
        if (reasons) SetSheetModifiedStatus(sheet, reasons);
    }
    state->replaying = false;
}

void NoteSheetChangeForUndo(SheetRecord* sheet, bool wasUnmodified) {
    if (!sheet) return;
    auto* state = static_cast<SheetUndoState*>(sheet->undoAction);  // none yet: nothing committed
    if (state && (state->replaying || state->editReporting || state->collecting.actionKind != kUndoActionNone))
        return;
    // A change that no collection holds: undo no longer leads back to the saved sheet, unless
    // the change is the beginning of the command's action; nor does an edit in progress.
    if (state) state->committedFromSaved = state->editFromSaved = false;
    const uint32_t command = CurrentUndoCommand();
    // A sheet without a window has its undo state made only by an action it collects: a change
    // reported there makes none.
    if (!state && wasUnmodified && sheet->window) state = GetSheetUndoState(sheet);
    if (state) state->looseChangeCommand = wasUnmodified ? command : 0;
}

const UndoRecord* GetSheetUndoRecord(SheetRecord* sheet) {
    return sheet && sheet->undoAction ? &static_cast<SheetUndoState*>(sheet->undoAction)->committed : nullptr;
}

const char* UndoActionName(int32_t kind) { return kind >= 1 && kind <= kLastActionKind ? kActionNames[kind] : ""; }

void GetUndoMenuItemText(const UndoRecord* record, char* text) {
    const bool redo = record && record->redo;
    std::snprintf(text, 64, redo ? "Redo %s" : "Undo %s", UndoActionName(record ? record->actionKind : 0));
}

}  // namespace plexa
