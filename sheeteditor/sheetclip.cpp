// The sheet clipboard: the clip record, the marking rules, Copy, Cut and Delete.
#include "sheeteditor/sheetclip.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <unordered_set>
#include <vector>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetclipcopy.h"
#include "sheeteditor/sheetcliptargets.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetview.h"
#include "toolkit/vx_alerts.h"

namespace plexa {

namespace {

constexpr int32_t kSheetReasonSubSheets = 16;
constexpr int32_t kSheetReasonRemoved = 97;

ClipboardRecord gUserClip;
uint32_t gLastClipId = 0;

SymbolRecord* SymbolOfWireEnd(const SymbolIndex& symbols, void* owner, WireHandle wire, int32_t end) {
    uint16_t node = 0;
    return symbols.WireEnd(wire, owner, end, &node);
}

bool IsMarked(const SymbolRecord* s) { return s && (s->flags & kSymbolFlagMarked); }

bool BreakOutRowMarked(SheetRecord* sheet, uint16_t word) {
    if (!IsWireEndBreakOut(word)) return false;
    BreakOutRow row{};
    return GetBreakOutRow(sheet->breakOutTable, word & kWireEndIndexMask, &row) && (row.flags & kBreakOutMarked);
}

}  // namespace

ClipboardRecord* CurrClip = &gUserClip;

uint32_t CreateClipboardId() {
    uint32_t id = 0;
    do {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const auto ticks = uint32_t(now.tv_nsec / 16666667);
        id = ((uint32_t(std::time(nullptr)) << 10) | (ticks & 0x3FF)) & 0x7FFFFFFF;
        if (id == gLastClipId) id = (id + 1) & 0x7FFFFFFF;
    } while (id == gLastClipId);
    gLastClipId = id;
    return id;
}

void Kill_Clipboard() {
    ClipboardRecord* clip = CurrClip;
    if (clip->content) DestroySheet(clip->content);
    DestroyTargetList(clip->targets);
    const Rect bounds = clip->bounds;
    const Point paste = clip->pastePoint;
    const uint8_t atClick = clip->pasteAtClick;
    *clip = ClipboardRecord{};
    clip->bounds = bounds;
    clip->pastePoint = paste;
    clip->pasteAtClick = atClick;
}

void ReleaseClipboard() {
    Kill_Clipboard();
    CurrClip->bounds = Rect{};
    CurrClip->pastePoint = Point{};
    CurrClip->pasteAtClick = 0;
}

// ---- Marking ----

void MarkAffectedSymbols(SheetRecord* sheet, bool shift) {
    const SymbolIndex symbols(sheet->symbolList);
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s)) {
        s->flags &= ~kSymbolFlagMarked;
        const bool net = (s->flags & kSymbolFlagPort) != 0;
        if (s->flags & kSymbolFlagSelected) {
            if (!(net && shift)) s->flags |= kSymbolFlagMarked;
            continue;
        }
        if (!net || shift) continue;
        // A net symbol hanging on a selected wire, or on a wire from a selected symbol's pin.
        WireHandle wire = nullptr;
        uint16_t index = 0;
        SignalHandle signal = GetConnectedSignal(sheet->signalList, s, 0, &wire, &index);
        if (!signal || !wire) continue;
        bool mark = ((*wire)->flags & kWireFlagSelected) != 0;
        if (!mark) {
            const int32_t other = (*wire)->end0 == index ? 1 : 0;
            SymbolRecord* o = SymbolOfWireEnd(symbols, signal, wire, other);
            mark = o && (o->flags & kSymbolFlagSelected);
        }
        if (mark) s->flags |= kSymbolFlagMarked;
    }
}

void MarkAffectedWires(SheetRecord* sheet, bool copying, bool shift) {
    const SymbolIndex symbols(sheet->symbolList);
    for (auto b = ListNext<void>(sheet->bussList, nullptr); b; b = ListNext(sheet->bussList, b)) {
        auto buss = static_cast<BussHandle>(b);
        (*buss)->flags &= uint8_t(~kBussFlagMarked);
        WireList wires = (*buss)->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
            const bool selected = ((*w)->flags & kWireFlagSelected) != 0;
            if (copying) {
                (*w)->flags &= uint16_t(~kWireFlagMarked);
                const bool pin = IsMarked(SymbolOfWireEnd(symbols, buss, w, 1)) || IsMarked(SymbolOfWireEnd(symbols, buss, w, 0));
                if (selected || pin) {
                    (*w)->flags |= kWireFlagMarked;
                    (*buss)->flags |= kBussFlagMarked;
                }
            } else if (selected) {
                (*buss)->flags |= kBussFlagMarked;
            }
        }
    }
    for (auto s = ListNext<void>(sheet->signalList, nullptr); s; s = ListNext(sheet->signalList, s)) {
        auto signal = static_cast<SignalHandle>(s);
        (*signal)->flags &= uint16_t(~(kSignalFlagHasMarked | kSignalFlagWhole));
        WireList wires = (*signal)->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
            (*w)->flags &= uint16_t(~kWireFlagMarked);
            bool mark = ((*w)->flags & kWireFlagSelected) != 0;
            if (!mark && !shift) {
                mark = IsMarked(SymbolOfWireEnd(symbols, signal, w, 0)) || IsMarked(SymbolOfWireEnd(symbols, signal, w, 1)) ||
                       (!copying && (BreakOutRowMarked(sheet, (*w)->end0) || BreakOutRowMarked(sheet, (*w)->end1)));
            }
            if (mark) {
                (*w)->flags |= kWireFlagMarked;
                (*signal)->flags |= kSignalFlagHasMarked;
            }
        }
        if (copying || !((*signal)->flags & kSignalFlagHasMarked)) continue;
        // A null stub at a junction that no other kept wire meets goes too.
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
            if (((*w)->flags & kWireFlagMarked) || !IsNullLengthWire(w)) continue;
            if (!IsWireEndJunction((*w)->end0) && !IsWireEndJunction((*w)->end1)) continue;
            const Point at = WireCorners(w)[0];
            bool shared = false;
            for (WireHandle o = FirstWire(wires); o && !shared; o = NextWire(wires, o)) {
                if (o == w || ((*o)->flags & kWireFlagMarked)) continue;
                const Point* c = WireCorners(o);
                const int32_t n = (*o)->cornerCount;
                shared = (IsWireEndJunction((*o)->end0) && c[0].h == at.h && c[0].v == at.v) ||
                         (IsWireEndJunction((*o)->end1) && n > 0 && c[n - 1].h == at.h && c[n - 1].v == at.v);
            }
            if (!shared) (*w)->flags |= kWireFlagMarked;
        }
        (*signal)->flags |= kSignalFlagWhole;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
            if ((*w)->flags & kWireFlagMarked) continue;
            for (int32_t end = 0; end < 2; ++end) {
                const uint16_t word = end ? (*w)->end1 : (*w)->end0;
                if (IsWireEndTerminal(word) && !IsMarked(SymbolOfWireEnd(symbols, signal, w, end)))
                    (*signal)->flags &= uint16_t(~kSignalFlagWhole);
            }
        }
    }
}

namespace {

// Takes the marks of the marking rules off every symbol, net and wire.
void ClearSheetMarks(SheetRecord* sheet) {
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s))
        s->flags &= ~kSymbolFlagMarked;
    for (auto n = ListNext<void>(sheet->signalList, nullptr); n; n = ListNext(sheet->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        (*signal)->flags &= uint16_t(~(kSignalFlagHasMarked | kSignalFlagWhole));
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w))
            (*w)->flags &= uint16_t(~kWireFlagMarked);
    }
    for (auto n = ListNext<void>(sheet->bussList, nullptr); n; n = ListNext(sheet->bussList, n)) {
        auto buss = static_cast<BussHandle>(n);
        (*buss)->flags &= uint8_t(~kBussFlagMarked);
        for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w))
            (*w)->flags &= uint16_t(~kWireFlagMarked);
    }
}

}  // namespace

// ---- Bounds ----

void CalcSheetSelectionBounds(SheetRecord* sheet, Point* negatedReference, Rect* bounds) {
    Rect area;
    VXSetEmptyRect(&area);
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s)) {
        if (!(s->flags & (kSymbolFlagSelected | kSymbolFlagMarked))) continue;
        Rect r;
        GetSymbolInstanceBounds(sheet, s, 1, &r);
        if (VXEmptyRect(&r)) r = Rect{s->position.v, s->position.h, int16_t(s->position.v + 1), int16_t(s->position.h + 1)};
        AddToUpdateRect(&area, r);
    }
    for (auto* t = ListNext<TextRecord>(sheet->textList, nullptr); t; t = ListNext(sheet->textList, t))
        if (t->flags & kTextFlagSelected) AddToUpdateRect(&area, t->bounds);
    for (auto f = ListNext<void>(sheet->textFrameList, nullptr); f; f = ListNext(sheet->textFrameList, f)) {
        TextFrameRecord* frame = *static_cast<TextFrameHandle>(f);
        if (frame->flags & kFrameFlagSelected) AddToUpdateRect(&area, frame->bounds);
    }
    for (auto* e = ListNext<ElementRecord>(sheet->elementList, nullptr); e; e = ListNext(sheet->elementList, e))
        if (e->flags & kElementSelected) AddToUpdateRect(&area, e->bounds);
    for (LinkListHeader* nets : {sheet->signalList, sheet->bussList}) {
        for (auto n = ListNext<void>(nets, nullptr); n; n = ListNext(nets, n)) {
            WireList wires = static_cast<NetRecordHead**>(n)[0]->wires;
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
                if ((*w)->flags & (kWireFlagSelected | kWireFlagMarked)) AddToUpdateRect(&area, (*w)->bounds);
        }
    }
    const int32_t grid = sheet->view.gridSpacing;
    const Point reference{int16_t(SnapToGrid(area.top, grid)), int16_t(SnapToGrid(area.left, grid))};
    CurrClip->pastePoint = reference;
    if (negatedReference) *negatedReference = Point{int16_t(-reference.v), int16_t(-reference.h)};
    if (bounds) {
        *bounds = area;
    } else {
        Rect moved = area;
        VXOffsetRect(&moved, int16_t(-reference.h), int16_t(-reference.v));
        CurrClip->bounds = moved;
    }
}

// ---- Copy ----

void CopySheetSelection(SheetRecord* sheet, bool shift) {
    if (!sheet) return;
    Kill_Clipboard();
    ClipboardRecord* clip = CurrClip;
    MarkAffectedSymbols(sheet, shift);
    MarkAffectedWires(sheet, true, shift);
    Point negated{};
    CalcSheetSelectionBounds(sheet, &negated, nullptr);
    clip->pasteAtClick = 0;
    clip->clipId = CreateClipboardId();
    sheet->lastCopiedClipId = clip->clipId;
    clip->sourceKind = kClipSourceSheet;
    clip->resolution = sheet->stored.resolution;
    clip->flags = uint16_t(kClipHasObjects | ((sheet->stored.flags & kSheetFlagHideElements) ? kClipElementOption : 0));
    clip->content = CreateClipContent(sheet);
    if (!clip->content) return;
    CopyMarkedItems(sheet, clip->content, negated);
    ClearSheetMarks(sheet);
    clip->hasContent = ClipHasContent(clip->content) ? 1 : 0;
}

// ---- Delete ----

namespace {

struct DeleteRun {
    SheetRecord* sheet;
    Rect area;
    bool removed = false;
};

// Existence ops free the item themselves when nothing is collected: a removed item is unlinked
// before the collection sees it only for the kinds whose collection frees it.
template <class Remove>
void RemoveItem(DeleteRun& run, int32_t kind, void* item, LinkListHeader* list, Remove unlink) {
    const int32_t position = LLGetLinkPosition(list, item);
    unlink();
    CollectUndoSheetItemExistanceAt(run.sheet, kind, item, 0, position < 0 ? 0 : position);
    run.removed = true;
}

// Without undo the text is freed once it has left the list.
void RemoveText(DeleteRun& run, TextRecord* text) {
    AddToUpdateRect(&run.area, text->bounds);
    RemoveItem(run, kUndoItemText, text, run.sheet->textList,
               [&] { LLRemoveOrFree(run.sheet->textList, text, nullptr, false); });
}

void ClearNetMarks(WireList wires) {
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) (*w)->flags &= uint16_t(~kWireFlagMarked);
}

// The break-out rows that the question confirmed, their marks taken off.
std::vector<int32_t> TakeConfirmedBreakOuts(SheetRecord* sheet) {
    std::vector<int32_t> rows;
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(sheet->breakOutTable, &id, &address)) {
        auto* row = reinterpret_cast<BreakOutRow*>(address);
        if (row->flags & kBreakOutMarked) rows.push_back(id);
        row->flags &= uint16_t(~kBreakOutMarked);
    }
    return rows;
}

// Removes the break-out rows that the question confirmed (their signal wires are gone already).
void RemoveConfirmedBreakOuts(SheetRecord* sheet, const std::vector<int32_t>& rows) {
    if (rows.empty()) return;
    CollectUndoAltBOTable(sheet);
    for (int32_t row : rows) DAFree(sheet->breakOutTable, row);
}

// Break-out rows left on no line of their buss (the buss or the lines went) go, and the signal
// wires that ended on them get free ends.
void RemoveOrphanedBreakOuts(DeleteRun& run) {
    SheetRecord* sheet = run.sheet;
    std::set<int32_t> orphans;
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(sheet->breakOutTable, &id, &address)) {
        const auto* row = reinterpret_cast<const BreakOutRow*>(address);
        bool onLine = false;
        if (row->buss && LLGetLinkPosition(sheet->bussList, row->buss) >= 0) {
            WireList wires = (*row->buss)->wires;
            for (WireHandle w = FirstWire(wires); w && !onLine; w = NextWire(wires, w))
                onLine = HitTestWire(w, row->first, 0, nullptr, false) >= 0;
        }
        if (!onLine) orphans.insert(id);
    }
    if (orphans.empty()) return;
    auto ends = [&](uint16_t word) { return IsWireEndBreakOut(word) && orphans.count(word & kWireEndIndexMask); };
    for (auto n = ListNext<void>(sheet->signalList, nullptr); n; n = ListNext(sheet->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        bool touched = false;
        for (WireHandle w = FirstWire((*signal)->wires); w && !touched; w = NextWire((*signal)->wires, w))
            touched = ends((*w)->end0) || ends((*w)->end1);
        if (!touched) continue;
        CollectUndoSwapSheetItem(sheet, kUndoItemSignal, signal);
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w)) {
            if (ends((*w)->end0)) (*w)->end0 = kWireEndFree;
            if (ends((*w)->end1)) (*w)->end1 = kWireEndFree;
        }
        CalcSignalScopeFlags(signal);
    }
    CollectUndoAltBOTable(sheet);
    for (int32_t row : orphans) DAFree(sheet->breakOutTable, row);
    run.removed = true;
}

// True when an entry of the terminal table names a symbol the sheet no longer has.
template <class Entry>
bool LostPins(const SymbolIndex& symbols, const Entry* entries, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        if (!symbols.Find(entries[i].serial)) return true;
    return false;
}

bool IsLabelOfNet(const TextRecord* t, int64_t owner, uint16_t kind) { return t->kind == kind && t->owner == owner; }

// The labels of a net, with their places in the text list.
std::vector<std::pair<TextRecord*, int32_t>> NetLabels(SheetRecord* sheet, int64_t owner, uint16_t kind) {
    std::vector<std::pair<TextRecord*, int32_t>> labels;
    int32_t at = 0;
    for (auto* t = ListNext<TextRecord>(sheet->textList, nullptr); t; t = ListNext(sheet->textList, t), ++at)
        if (IsLabelOfNet(t, owner, kind)) labels.emplace_back(t, at);
    return labels;
}

// The order of a sheet's text list before and after a change that moved texts within it.
struct TextOrder {
    std::vector<void*> before;
    std::vector<void*> after;
    bool undone = false;
};

// Relinks the list in the order given (items not in the list are skipped, items not named stay
// at the end in their order).
void ReorderList(LinkListHeader* list, const std::vector<void*>& order) {
    std::vector<void*> present;
    for (void* i = LLFirst(list); i; i = LLGetNext(list, i)) present.push_back(i);
    std::unordered_set<void*> in(present.begin(), present.end()), placed;
    std::vector<void*> result;
    for (void* i : order)
        if (in.count(i) && placed.insert(i).second) result.push_back(i);
    for (void* i : present)
        if (!placed.count(i)) result.push_back(i);
    LLRemoveOrFreeAll(list, false);
    void* last = nullptr;
    for (void* i : result) last = LLInsert(list, last, i);
}

void ReplayTextOrder(void* owner, uint16_t ownerKind, UndoOp* op, int32_t discard) {
    auto* order = reinterpret_cast<TextOrder*>(op->data);
    if (discard) {
        delete order;
        op->data = 0;
        return;
    }
    if (ownerKind != kUndoOwnerSheet) return;
    auto* sheet = static_cast<SheetRecord*>(owner);
    ReorderList(sheet->textList, order->undone ? order->after : order->before);
    order->undone = !order->undone;
}

void CollectTextOrder(SheetRecord* sheet, std::vector<void*> before) {
    if (!IsCollectingSheetUndo(sheet)) return;
    auto* order = new TextOrder;
    order->before = std::move(before);
    for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t)) order->after.push_back(t);
    if (order->after == order->before) {
        delete order;
        return;
    }
    CollectUndoCustomSheetAction(sheet, 2, ReplayTextOrder, reinterpret_cast<uint64_t>(order), 0);
}

void RemoveWholeSignal(DeleteRun& run, SignalHandle signal) {
    SheetRecord* sheet = run.sheet;
    for (auto [label, at] : NetLabels(sheet, SignalOwnerWord(signal), kTextKindSignal)) {
        (void)at;
        RemoveText(run, label);
    }
    AddToUpdateRect(&run.area, (*signal)->bounds);
    ClearNetMarks((*signal)->wires);
    RemoveItem(run, kUndoItemSignal, signal, sheet->signalList, [&] { RemoveSignalFromList(sheet->signalList, signal); });
}

// The end of a partial delete of a net (a signal or a buss): the record as it was leaves the
// sheet at its place (it is what undo brings back), the labels that regrouping left on no line
// leave with it (the last place first), and the nets that came of it (those of the list not in
// `before`, each readied by `ready`, which gives its bounds) come in. Regrouping moves labels
// within the text list; undo puts the list back in its order, and gives the labels that stay
// back to the record.
template <class Ready>
void FinishPartialNetDelete(DeleteRun& run, int32_t itemKind, void* net, int32_t position, LinkListHeader* list,
                            const std::vector<void*>& before,
                            const std::vector<std::pair<TextRecord*, int32_t>>& labels, LinkListHeader* discarded,
                            std::vector<void*> textOrder, Ready&& ready) {
    SheetRecord* sheet = run.sheet;
    const int64_t owner = reinterpret_cast<intptr_t>(net);
    CollectUndoSheetItemExistanceAt(sheet, itemKind, net, 0, position);
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        TextRecord* label = it->first;
        if (LLGetLinkPosition(discarded, label) < 0) continue;
        LLRemoveOrFree(discarded, label, nullptr, false);
        label->owner = owner;
        AddToUpdateRect(&run.area, label->bounds);
        CollectUndoSheetItemExistanceAt(sheet, kUndoItemText, label, 0, it->second);  // freed without undo
    }
    DestroyTextList(discarded);
    CollectTextOrder(sheet, std::move(textOrder));
    for (auto n = ListNext<void>(list, nullptr); n; n = ListNext(list, n)) {
        if (std::find(before.begin(), before.end(), n) != before.end()) continue;
        AddToUpdateRect(&run.area, ready(n));
        CollectUndoSheetItemExistance(sheet, itemKind, n, 1);
    }
    for (auto [label, at] : labels) {
        (void)at;
        if (LLGetLinkPosition(sheet->textList, label) < 0) continue;
        CollectUndoSheetTextOwner(sheet, label, owner);
    }
    run.removed = true;
}

// Removes the marked wires of a signal. The signal record leaves the sheet whole (it is what
// undo brings back); a working copy takes its place, loses the wires, and is regrouped into the
// connected signals that remain.
void DeletePartialSignal(DeleteRun& run, SignalHandle signal) {
    SheetRecord* sheet = run.sheet;
    SignalHandle work = DuplicateSignal(signal);
    if (!work) return;
    const int32_t position = LLGetLinkPosition(sheet->signalList, signal);
    const auto labels = NetLabels(sheet, SignalOwnerWord(signal), kTextKindSignal);
    std::vector<void*> before;
    for (auto s = ListNext<void>(sheet->signalList, nullptr); s; s = ListNext(sheet->signalList, s))
        if (s != signal) before.push_back(s);
    // The copy's wires are in the order of the original's, so the marks carry over.
    ClearNetMarks((*signal)->wires);
    RemoveSignalFromList(sheet->signalList, signal);
    LLInsertAt(sheet->signalList, position, work);
    for (auto [label, at] : labels) label->owner = SignalOwnerWord(work);
    AddToUpdateRect(&run.area, (*signal)->bounds);
    WireList wires = (*work)->wires;
    for (WireHandle w = FirstWire(wires); w;) {
        WireHandle next = NextWire(wires, w);
        if ((*w)->flags & kWireFlagMarked) RemoveWireFromSignal(work, w, true);
        w = next;
    }
    PurgeMissingSignalPins(work, sheet->symbolList);
    FixSnippedSignal(sheet, work, &run.area);
    std::vector<void*> textOrder;
    for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t)) textOrder.push_back(t);
    LinkListHeader* discarded = CreateTextList();
    RegroupSignal(work, sheet->signalList, sheet->textList, discarded, sheet, &run.area);
    FinishPartialNetDelete(run, kUndoItemSignal, signal, position, sheet->signalList, before, labels, discarded,
                           std::move(textOrder), [](void* s) { return (*static_cast<SignalHandle>(s))->bounds; });
}

// Removes the marked lines of a buss. The buss record leaves the sheet whole (it is what undo
// brings back); a working copy takes its place, loses the lines, and is split into the connected
// busses that remain, each with the labels, terminals and break-outs lying on it. Labels that lie
// on no line left go with the record.
void DeletePartialBuss(DeleteRun& run, BussHandle buss) {
    SheetRecord* sheet = run.sheet;
    BussHandle work = DuplicateBuss(buss);
    if (!work) return;
    // The break-out rows are given to the busses that remain; undo puts the table back.
    CollectUndoAltBOTable(sheet);
    const int32_t position = LLGetLinkPosition(sheet->bussList, buss);
    const auto labels = NetLabels(sheet, BussOwnerWord(buss), kTextKindBuss);
    std::vector<void*> before;
    for (auto b = ListNext<void>(sheet->bussList, nullptr); b; b = ListNext(sheet->bussList, b))
        if (b != buss) before.push_back(b);
    // The copy's wires are in the order of the original's, so the marks carry over.
    ClearNetMarks((*buss)->wires);
    LLRemoveOrFree(sheet->bussList, buss, nullptr, false);
    LLInsertAt(sheet->bussList, position, work);
    ChangeBreakoutReferences(sheet->breakOutTable, buss, work);
    for (auto [label, at] : labels) label->owner = BussOwnerWord(work);
    AddToUpdateRect(&run.area, (*buss)->bounds);
    WireList wires = (*work)->wires;
    for (WireHandle w = FirstWire(wires); w;) {
        WireHandle next = NextWire(wires, w);
        if ((*w)->flags & kWireFlagMarked) RemoveWireFromBuss(work, w, true);
        w = next;
    }
    PurgeMissingBussPins(work, sheet->symbolList);
    std::vector<void*> textOrder;
    for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t)) textOrder.push_back(t);
    LinkListHeader* discarded = CreateTextList();
    for (auto [label, at] : labels) {
        (void)at;
        if (GetWireFromWireLabel(label, nullptr)) continue;
        LLRemoveOrFree(sheet->textList, label, nullptr, false);
        LLPush(discarded, label);
    }
    SplitBussGroups(work, sheet->bussList, sheet->breakOutTable, sheet->symbolList, sheet->textList, discarded,
                    &run.area);
    FinishPartialNetDelete(run, kUndoItemBuss, buss, position, sheet->bussList, before, labels, discarded,
                           std::move(textOrder), [](void* b) {
                               auto remaining = static_cast<BussHandle>(b);
                               ClearNetMarks((*remaining)->wires);
                               CalcBussBounds(remaining);
                               return (*remaining)->bounds;
                           });
}

void DeleteBuss(DeleteRun& run, BussHandle buss) {
    SheetRecord* sheet = run.sheet;
    WireList wires = (*buss)->wires;
    int32_t marked = 0, total = 0;
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w), ++total) {
        (*w)->flags &= uint16_t(~kWireFlagMarked);
        if (((*w)->flags & kWireFlagSelected) &&
            !BussLineHasExclusiveBreakOuts(sheet->breakOutTable, buss, w)) {
            (*w)->flags |= kWireFlagMarked;
            ++marked;
        }
    }
    if (!marked) return;
    if (marked == total) {
        for (auto [label, at] : NetLabels(sheet, BussOwnerWord(buss), kTextKindBuss)) {
            (void)at;
            RemoveText(run, label);
        }
        AddToUpdateRect(&run.area, (*buss)->bounds);
        ClearNetMarks(wires);
        RemoveItem(run, kUndoItemBuss, buss, sheet->bussList, [&] { LLRemoveOrFree(sheet->bussList, buss, nullptr, false); });
        return;
    }
    DeletePartialBuss(run, buss);
}

// The question about a selected bus line whose break-outs no other line touches; false when the
// user declined. Confirmed break-outs are marked, so that their signal wires go too.
bool MarkBusBreakouts(SheetRecord* sheet, bool ask) {
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(sheet->breakOutTable, &id, &address))
        reinterpret_cast<BreakOutRow*>(address)->flags &= uint16_t(~kBreakOutMarked);
    if (!ask) return true;
    BussHandle lineBuss = nullptr;
    WireHandle line = nullptr;
    int32_t lines = 0;
    for (auto b = ListNext<void>(sheet->bussList, nullptr); b; b = ListNext(sheet->bussList, b)) {
        WireList wires = (*static_cast<BussHandle>(b))->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
            if ((*w)->flags & kWireFlagSelected) {
                ++lines;
                lineBuss = static_cast<BussHandle>(b);
                line = w;
            }
    }
    if (lines != 1 || !BussLineHasExclusiveBreakOuts(sheet->breakOutTable, lineBuss, line)) return true;
    if (VXStandardAlert("Are you sure you want to delete the bus line and all attached break-outs?", "", "Yes",
                        "No") != kVXAlertFirstButton)
        return false;
    id = -1;
    while (DANextAddress(sheet->breakOutTable, &id, &address)) {
        auto* row = reinterpret_cast<BreakOutRow*>(address);
        if (row->buss != lineBuss) continue;
        if (HitTestWire(line, row->first, 0, nullptr, false) < 0) continue;
        bool other = false;
        WireList wires = (*lineBuss)->wires;
        for (WireHandle w = FirstWire(wires); w && !other; w = NextWire(wires, w))
            other = w != line && HitTestWire(w, row->first, 0, nullptr, false) >= 0;
        if (!other) row->flags |= kBreakOutMarked;
    }
    return true;
}

bool AnyItemSelected(SheetRecord* sheet) {
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s))
        if (s->flags & kSymbolFlagSelected) return true;
    for (auto* t = ListNext<TextRecord>(sheet->textList, nullptr); t; t = ListNext(sheet->textList, t))
        if (t->flags & kTextFlagSelected) return true;
    for (auto f = ListNext<void>(sheet->textFrameList, nullptr); f; f = ListNext(sheet->textFrameList, f))
        if ((*static_cast<TextFrameHandle>(f))->flags & kFrameFlagSelected) return true;
    for (auto* e = ListNext<ElementRecord>(sheet->elementList, nullptr); e; e = ListNext(sheet->elementList, e))
        if (e->flags & kElementSelected) return true;
    return false;
}

SymbolRecord* SymbolOfText(SheetRecord* sheet, const TextRecord* t) {
    if (!(t->kind & kTextKindSymbolOwned)) return nullptr;
    return RetrieveSerializedSymbol(sheet->symbolList, uint32_t(t->owner));
}

}  // namespace

namespace {

// Delete once the break-out question has been settled (break-out rows marked as confirmed).
void DeleteMarkedSelection(SheetRecord* sheet, int32_t undoKind, bool shift);

}  // namespace

bool DeleteSheetSelection(SheetRecord* sheet, int32_t undoKind, bool ask, bool shift) {
    if (!sheet) return false;
    CloseTrackingOverlay();
    SetupFlashingSignal(sheet, nullptr, nullptr);
    if (!MarkBusBreakouts(sheet, ask && !AnyItemSelected(sheet))) return false;
    DeleteMarkedSelection(sheet, undoKind, shift);
    return true;
}

namespace {

void DeleteMarkedSelection(SheetRecord* sheet, int32_t undoKind, bool shift) {
    ClearSheetUndoAction(sheet);
    if (sheet->window && undoKind) StartSheetUndoCollection(sheet, undoKind);
    MarkAffectedSymbols(sheet, shift);
    MarkAffectedWires(sheet, false, shift);
    const std::vector<int32_t> confirmed = TakeConfirmedBreakOuts(sheet);
    DeleteRun run{sheet, {}};
    VXSetEmptyRect(&run.area);

    // Texts of symbols that go, selected texts (hidden when their symbol stays), free texts and
    // labels of nets that keep all their wires.
    for (auto* t = ListNext<TextRecord>(sheet->textList, nullptr); t;) {
        auto* next = ListNext(sheet->textList, t);
        if (t->kind & kTextKindSymbolOwned) {
            SymbolRecord* owner = SymbolOfText(sheet, t);
            if (IsMarked(owner)) {
                RemoveText(run, t);
            } else if ((t->flags & kTextFlagSelected) && owner) {
                // A hidden text stays as it is (the hide operation inverts the flag).
                if (t->flags & kTextFlagHidden) {
                    t = next;
                    continue;
                }
                CollectUndoHideSheetText(sheet, t);
                t->flags = uint16_t((t->flags | kTextFlagHidden) & ~kTextFlagSelected);
                AddToUpdateRect(&run.area, t->bounds);
                run.removed = true;
            } else if (t->flags & kTextFlagSelected) {
                RemoveText(run, t);
            }
        } else if (t->flags & kTextFlagSelected) {
            bool keep = false;
            if (t->kind == kTextKindSignal && t->owner)
                keep = ((*reinterpret_cast<SignalHandle>(t->owner))->flags & kSignalFlagHasMarked) != 0;
            else if (t->kind == kTextKindBuss && t->owner)
                keep = ((*reinterpret_cast<BussHandle>(t->owner))->flags & kBussFlagMarked) != 0;
            if (!keep) RemoveText(run, t);
        }
        t = next;
    }
    // Frames of symbols that go, and selected free frames.
    for (auto f = ListNext<void>(sheet->textFrameList, nullptr); f;) {
        auto next = ListNext(sheet->textFrameList, f);
        auto frame = static_cast<TextFrameHandle>(f);
        const uint32_t owner = (*frame)->owner;
        const bool go = owner ? IsMarked(RetrieveSerializedSymbol(sheet->symbolList, owner))
                              : ((*frame)->flags & kFrameFlagSelected) != 0;
        if (go) {
            AddToUpdateRect(&run.area, (*frame)->bounds);
            RemoveItem(run, kUndoItemFrame, frame, sheet->textFrameList,
                       [&] { LLRemoveOrFree(sheet->textFrameList, frame, nullptr, false); });
        }
        f = next;
    }
    // Symbols.
    bool subSheet = false;
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s;) {
        auto* next = ListNext(sheet->symbolList, s);
        if (IsMarked(s)) {
            if (!subSheet && (s->flags & (kSymbolFlagSheet | kSymbolFlagSubSheet))) {
                subSheet = true;
                SheetEditorModifiedStatus(sheet, kSheetReasonSubSheets);
            }
            Rect r;
            GetSymbolInstanceBounds(sheet, s, 1, &r);
            AddToUpdateRect(&run.area, r);
            s->flags &= ~kSymbolFlagMarked;
            RemoveItem(run, kUndoItemSymbol, s, sheet->symbolList, [&] { RemoveSymbolFromSheet(sheet, s, false); });
        }
        s = next;
    }
    // Signals, whole or in part.
    const SymbolIndex symbols(sheet->symbolList);
    bool breakOuts = false;
    for (auto n = ListNext<void>(sheet->signalList, nullptr); n;) {
        auto next = ListNext(sheet->signalList, n);
        auto signal = static_cast<SignalHandle>(n);
        const uint16_t flags = (*signal)->flags;
        if (flags & kSignalFlagHasMarked) {
            if (flags & kSignalFlagBreakOut) {
                breakOuts = true;
                CollectUndoAltBOTable(sheet);
            }
            (*signal)->flags &= uint16_t(~(kSignalFlagHasMarked | kSignalFlagWhole));
            if (flags & kSignalFlagWhole) RemoveWholeSignal(run, signal);
            else DeletePartialSignal(run, signal);
        } else if (LostPins(symbols, SignalPins(signal), (*signal)->pinCount)) {
            // With Shift the wires stay; the pins of the symbols that went do not.
            bool kept = false;
            for (int32_t i = 0; i < (*signal)->pinCount && !kept; ++i) kept = symbols.Find(SignalPins(signal)[i].serial);
            if (!kept) {
                RemoveWholeSignal(run, signal);
            } else {
                CollectUndoSwapSheetItem(sheet, kUndoItemSignal, signal);
                PurgeMissingSignalPins(signal, sheet->symbolList);
                CalcSignalScopeFlags(signal);
                run.removed = true;
            }
        }
        n = next;
    }
    if (breakOuts) PurgeUnusedBreakOuts(sheet->breakOutTable, sheet->signalList);
    RemoveConfirmedBreakOuts(sheet, confirmed);
    // Busses; any other buss loses the terminals of the symbols that went.
    for (auto n = ListNext<void>(sheet->bussList, nullptr); n;) {
        auto next = ListNext(sheet->bussList, n);
        auto buss = static_cast<BussHandle>(n);
        if ((*buss)->flags & kBussFlagMarked) {
            (*buss)->flags &= uint8_t(~kBussFlagMarked);
            DeleteBuss(run, buss);
        } else if (LostPins(symbols, BussTerminals(buss), (*buss)->terminalCount)) {
            CollectUndoAltBOTable(sheet);
            CollectUndoSwapSheetItem(sheet, kUndoItemBuss, buss);
            PurgeMissingBussPins(buss, sheet->symbolList);
            run.removed = true;
        }
        n = next;
    }
    RemoveOrphanedBreakOuts(run);
    // Elements.
    for (auto* e = ListNext<ElementRecord>(sheet->elementList, nullptr); e;) {
        auto* next = ListNext(sheet->elementList, e);
        if (e->flags & kElementSelected) {
            AddToUpdateRect(&run.area, e->bounds);
            RemoveItem(run, kUndoItemElement, e, sheet->elementList,
                       [&] { LLRemoveOrFree(sheet->elementList, e, nullptr, false); });
        }
        e = next;
    }
    ClearSheetMarks(sheet);
    // What stays on the sheet loses its selection; undo gives it back.
    CollectUndoSheetSelection(sheet);
    ClearDrawingSelection(sheet);
    if (!run.removed) {
        AbortSheetUndoCollection(sheet);
        return;
    }
    SheetEditorModifiedStatus(sheet, kSheetReasonRemoved);
    VXInsetRect(&run.area, -4, -4);
    InvalSheetView(sheet, &run.area);
    CollectUndoInvalSheetRect(sheet, &run.area);
    if (undoKind && IsCollectingSheetUndo(sheet)) {
        CollectUndoSheetCutSourceId(sheet);
        AcceptSheetUndoCollection(sheet);
    } else {
        AbortSheetUndoCollection(sheet);
        PurgeComponentList(sheet->componentList, sheet->symbolList);
    }
}

}  // namespace

bool SheetHasSelection(SheetRecord* sheet, bool signalWires) {
    if (!sheet) return false;
    if (!signalWires && AnyItemSelected(sheet)) return true;
    LinkListHeader* nets = signalWires ? sheet->signalList : sheet->bussList;
    for (auto n = ListNext<void>(nets, nullptr); n; n = ListNext(nets, n)) {
        WireList wires = static_cast<NetRecordHead**>(n)[0]->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
            if ((*w)->flags & kWireFlagSelected) return true;
    }
    return false;
}

// ---- Cut ----

void CutSheetSelection(SheetRecord* sheet, bool shift) {
    if (!sheet) return;
    // A bus line that keeps exclusive break-outs is not left behind silently (nor copied while
    // it stays): Cut asks as Delete does, and a declined question changes nothing.
    CloseTrackingOverlay();
    SetupFlashingSignal(sheet, nullptr, nullptr);
    if (!MarkBusBreakouts(sheet, !AnyItemSelected(sheet))) return;
    CopySheetSelection(sheet, shift);
    CopyTargetTrees(sheet);
    DeleteMarkedSelection(sheet, kUndoActionCut, shift);
    CurrClip->flags |= kClipFromCut;
}

}  // namespace plexa
