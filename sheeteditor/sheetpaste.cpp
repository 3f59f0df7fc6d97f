// Pasting the sheet clipboard and duplicating the selection.
#include "sheeteditor/sheetpaste.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/stringblock.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetstrings.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetclipcopy.h"
#include "sheeteditor/sheetcliptargets.h"
#include "sheeteditor/sheetundo.h"
#include "toolkit/vx_alerts.h"
#include "sheeteditor/sheetview.h"

namespace plexa {

namespace {

constexpr int32_t kSheetReasonSubSheets = 16;
constexpr int32_t kSheetReasonContentChanged = 0x41;  // content and search, the undo kept
constexpr uint16_t kScopeMergeFlags = kSignalFlagPort | kSignalFlagBreakOut;

// The serial numbers the clip's symbols take in the sheet. A Cut from this very sheet that has not
// been pasted yet keeps them; otherwise numbers free in the sheet (at or above its next serial)
// are kept and the others take new ones.
std::map<uint32_t, uint32_t> CalcNewSymbolNumbers(SheetRecord* sheet, const ClipboardRecord* clip) {
    std::map<uint32_t, uint32_t> serials;
    SheetRecord* content = clip->content;
    const bool ownCut = clip->clipId == sheet->lastCopiedClipId && (clip->flags & (kClipFromCut | kClipPasted)) == kClipFromCut;
    uint32_t highest = 0;
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s)) {
        if (ownCut || s->serial >= sheet->stored.nextSerial) {
            serials[s->serial] = s->serial;
            highest = std::max(highest, s->serial);
        }
    }
    if (!ownCut && highest >= sheet->stored.nextSerial) sheet->stored.nextSerial = highest + 1;
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s))
        if (!serials.count(s->serial)) serials[s->serial] = sheet->stored.nextSerial++;
    return serials;
}

bool SymbolNeedsDesignator(const SymbolRecord* s) { return s->component || (s->flags & kSymbolFlagSheet); }

bool OtherHasDesignator(SheetRecord* sheet, const SymbolRecord* skip, const char* designator) {
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s)) {
        if (s == skip || !SymbolNeedsDesignator(s)) continue;
        char text[kAnnotationTextSize] = {};
        (void)GetSymbolAnnotation(sheet, s->serial, text);  // "" without one
        if (text[0] && std::strcmp(text, designator) == 0) return true;
    }
    return false;
}

struct PasteRun {
    PasteRun(SheetRecord* into, ClipboardRecord* from, Point at)
        : sheet(into), clip(from), p(at), clipSymbols(from->content->symbolList) {
        VXSetEmptyRect(&area);
    }
    SheetRecord* sheet;
    ClipboardRecord* clip;
    Point p;
    std::map<uint32_t, uint32_t> serials;
    std::vector<SymbolRecord*> symbols;  // pasted, with their serial in the clip
    std::vector<uint32_t> clipSerials;
    std::map<int64_t, SignalHandle> signalOwners;
    std::map<int64_t, BussHandle> bussOwners;
    std::set<SignalHandle> fresh;  // signals this paste made
    SymbolIndex clipSymbols{nullptr};
    SymbolIndex pasted{nullptr};  // by their new serial numbers
    std::map<int32_t, int32_t> rows;  // the clip's break-out rows in the sheet's table
    Rect area{};
    bool undoable = true;
};

void PasteAnnotation(PasteRun& run) {
    SheetRecord* sheet = run.sheet;
    const bool ownCut = run.clip->clipId == sheet->lastCopiedClipId &&
                        (run.clip->flags & (kClipFromCut | kClipPasted)) == kClipFromCut;
    std::map<std::string, std::string> renamed;  // of multi-section components
    int32_t instanceId = 0;
    bool noSlots = false;
    (void)GetSheetContextAnnotationInfo(sheet, &instanceId, &noSlots);  // the map is read below
    for (size_t i = 0; i < run.symbols.size(); ++i) {
        SymbolRecord* s = run.symbols[i];
        if (!SymbolNeedsDesignator(s)) continue;
        if (instanceId != 0) {
            // A designator the symbol has at this occurrence already (given by the Cut's hierarchy) stays.
            char have[kAnnotationTextSize] = {};
            (void)GetSymbolAnnotation(sheet, s->serial, have);  // "" without one
            if (have[0]) continue;
        }
        char designator[kAnnotationTextSize] = {};
        const int32_t slot = GetSymbolAnnotation(run.clip->content, run.clipSerials[i], designator);
        if (!designator[0]) continue;
        if (sheet->project && !ownCut) {
            (void)SetSymbolAnnotation(sheet, s->serial, nullptr, -1);  // none without an entry
            continue;
        }
        if (ownCut || !OtherHasDesignator(sheet, s, designator)) {
            (void)SetSymbolAnnotation(sheet, s->serial, designator, slot);  // none without an entry
            continue;
        }
        const bool sections = s->component && s->component->sectionCount >= 2;
        auto found = sections ? renamed.find(designator) : renamed.end();
        char fresh[kSymbolTextSize] = {};
        if (found != renamed.end()) {
            std::snprintf(fresh, sizeof fresh, "%s", found->second.c_str());
        } else {
            std::snprintf(fresh, sizeof fresh, "%s", designator);
            RefDesToPrefix(fresh);
            GetUniqueSheetRefDes(sheet, s, fresh, nullptr);
            if (sections) renamed[designator] = fresh;
        }
        (void)SetSymbolAnnotation(sheet, s->serial, fresh, slot);  // none without an entry
    }
    // Designators of other symbols that are taken already.
    for (SymbolRecord* s : run.symbols) {
        if (s->component || (s->flags & (kSymbolFlagPort | kSymbolFlagSheet))) continue;
        char designator[kSymbolTextSize] = {};
        GetSymbolRefName(s, sheet->stringBlock, designator);
        if (!designator[0] || !DoesRefDesExistInSheet(sheet, s, designator)) continue;
        RefDesToPrefix(designator);
        GetUniqueSheetRefDes(sheet, s, designator, nullptr);
        SetSymbolRefName(s, sheet->stringBlock, designator);
    }
    // Designator texts show the new designators.
    for (auto* t = ListNext<TextRecord>(sheet->textList, nullptr); t; t = ListNext(sheet->textList, t)) {
        if (t->kind != kTextKindCompDesignator && t->kind != kTextKindDesignator) continue;
        SymbolRecord* s = run.pasted.Find(uint32_t(t->owner));
        if (!s) continue;
        char designator[kSymbolTextSize] = {};
        GetSymbolsDisplayDesignator(sheet, s, designator);
        SetTextRecordString(t, sheet->stringBlock, designator);
    }
}

uint16_t PastedWireEnd(PasteRun& run, SheetRecord* content, void* clipOwner, WireHandle wire, int32_t end,
                       SignalHandle signal, BussHandle buss) {
    const uint16_t word = end ? (*wire)->end1 : (*wire)->end0;
    if (IsWireEndBreakOut(word)) {
        auto found = run.rows.find(word & kWireEndIndexMask);
        return found == run.rows.end() ? kWireEndFree : uint16_t(kWireEndBreakOut | found->second);
    }
    if (!IsWireEndTerminal(word)) return word;
    uint16_t node = 0;
    SymbolRecord* old = run.clipSymbols.WireEnd(wire, clipOwner, end, &node);
    if (!old) return kWireEndFree;
    SymbolRecord* symbol = run.pasted.Find(run.serials[old->serial]);
    if (!symbol) return kWireEndFree;
    int32_t index = -1;
    if (signal) {
        index = AddPinToSignal(signal, symbol, node);
    } else {
        StringSpec name = 0;
        auto clipBuss = static_cast<BussHandle>(clipOwner);
        for (int32_t i = 0; i < (*clipBuss)->terminalCount; ++i) {
            const BussTerminal& t = BussTerminals(clipBuss)[i];
            if (t.serial == old->serial && t.node == node && t.name) {
                char text[kStringSpecBufferSize];
                ExtractStringSpec(t.name, content->stringBlock, text, sizeof text);
                name = AppendStringBlock(run.sheet->stringBlock, text, uint32_t(std::strlen(text)), nullptr);
            }
        }
        index = AddPinToBuss(buss, symbol, node, name);
    }
    return index < 0 ? kWireEndFree : uint16_t(index);
}

// The clip net's wires, moved and selected, into the sheet net's list (pins re-attached).
void PasteWires(PasteRun& run, void* clipOwner, WireList from, SignalHandle signal, BussHandle buss, WireList to) {
    for (WireHandle w = FirstWire(from); w; w = NextWire(from, w)) {
        WireHandle wire = DuplicateWire(w);
        if (!wire) continue;
        (*wire)->end0 = PastedWireEnd(run, run.clip->content, clipOwner, w, 0, signal, buss);
        (*wire)->end1 = PastedWireEnd(run, run.clip->content, clipOwner, w, 1, signal, buss);
        OffsetWire(wire, run.p.h, run.p.v);
        (*wire)->flags |= kWireFlagSelected;
        LLAppend(to, wire);
    }
}

// The clip's break-out rows join the sheet's table, moved; they point at the clip's busses until
// those are pasted.
void PasteBreakOuts(PasteRun& run) {
    SheetRecord* sheet = run.sheet;
    BreakOutTable table = run.clip->content->breakOutTable;
    if (!DACount(table) || !sheet->breakOutTable) return;
    CollectUndoAltBOTable(sheet);
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(table, &id, &address)) {
        const auto* row = reinterpret_cast<const BreakOutRow*>(address);
        const Point first{int16_t(row->first.v + run.p.v), int16_t(row->first.h + run.p.h)};
        const Point second{int16_t(row->second.v + run.p.v), int16_t(row->second.h + run.p.h)};
        const int32_t added = AddBussBreakout(sheet->breakOutTable, row->buss, first, second);
        if (added >= 0) run.rows[id] = added;
    }
}

void PasteSignals(PasteRun& run) {
    SheetRecord* sheet = run.sheet;
    SheetRecord* content = run.clip->content;
    PasteBreakOuts(run);
    for (auto n = ListNext<void>(content->signalList, nullptr); n; n = ListNext(content->signalList, n)) {
        auto clipSignal = static_cast<SignalHandle>(n);
        char name[kSignalNameSize] = {};
        ExtractStringSpec((*clipSignal)->name, content->stringBlock, name, sizeof name);
        const uint16_t scope = (*clipSignal)->flags & kScopeMergeFlags;
        SignalHandle target = nullptr;
        bool taken = false;
        for (auto s = ListNext<void>(sheet->signalList, nullptr); s && name[0];) {
            auto next = ListNext(sheet->signalList, s);
            auto signal = static_cast<SignalHandle>(s);
            char other[kSignalNameSize];
            GetSignalName(signal, sheet->stringBlock, other, sizeof other);
            if (strcasecmp(other, name) == 0) {
                taken = true;
                if ((*signal)->flags & scope) {
                    if (!target) {
                        target = signal;
                        // A signal this paste made is taken out whole by undo: no copy of it.
                        if (!run.fresh.count(target)) CollectUndoSwapSheetItem(sheet, kUndoItemSignal, target);
                    } else {
                        // A second merge target: its record goes for good.
                        run.undoable = false;
                        CombineSignals(sheet, signal, target);
                    }
                }
            }
            s = next;
        }
        bool fresh = false;
        if (!target) {
            target = CreateSignal(nullptr);
            if (!target) continue;
            LLAppend(sheet->signalList, target);
            fresh = true;
            run.fresh.insert(target);
            if (taken && !scope) {
                // The copy of a plain net whose name the sheet has takes a fresh name, one nobody
                // chose: its labels take it too but are not shown (the person shows them when
                // wanted), so that copying a part with the wires on its pins adds no label.
                GetUniqueSignalName(sheet, nullptr, name, sizeof name);
                for (auto* t = ListNext<TextRecord>(content->textList, nullptr); t; t = ListNext(content->textList, t))
                    if (t->kind == kTextKindSignal && t->owner == SignalOwnerWord(clipSignal) &&
                        !(t->flags & kLabelFlagOwnText)) {
                        SetTextRecordString(t, content->stringBlock, name);
                        t->flags |= kTextFlagHidden;
                    }
            }
            if (name[0]) SetSignalName(target, sheet->stringBlock, name);
        }
        run.signalOwners[SignalOwnerWord(clipSignal)] = target;
        PasteWires(run, clipSignal, (*clipSignal)->wires, target, nullptr, (*target)->wires);
        CalcSignalScopeFlags(target);
        CacheSignalJunctionDots(target);
        CalcSignalBounds(target);
        if (fresh) CollectUndoSheetItemExistance(sheet, kUndoItemSignal, target, 1);
        AddToUpdateRect(&run.area, (*target)->bounds);
    }
}

void PasteBussLines(PasteRun& run) {
    SheetRecord* sheet = run.sheet;
    SheetRecord* content = run.clip->content;
    for (auto n = ListNext<void>(content->bussList, nullptr); n; n = ListNext(content->bussList, n)) {
        auto clipBuss = static_cast<BussHandle>(n);
        BussHandle buss = CreateBuss(nullptr);
        if (!buss) continue;
        LLAppend(sheet->bussList, buss);
        char name[kStringSpecBufferSize];
        ExtractStringSpec((*clipBuss)->name, content->stringBlock, name, sizeof name);
        if (name[0]) SetBussName(buss, sheet->stringBlock, name);
        run.bussOwners[BussOwnerWord(clipBuss)] = buss;
        PasteWires(run, clipBuss, (*clipBuss)->wires, nullptr, buss, (*buss)->wires);
        int32_t id = -1;
        char* address = nullptr;
        while (DANextAddress(sheet->breakOutTable, &id, &address)) {
            auto* row = reinterpret_cast<BreakOutRow*>(address);
            if (row->buss == clipBuss) row->buss = buss;
        }
        CalcBussBounds(buss);
        CollectUndoSheetItemExistance(sheet, kUndoItemBuss, buss, 1);
        AddToUpdateRect(&run.area, (*buss)->bounds);
    }
}

}  // namespace

int32_t PasteStep(int32_t grid) {
    const int32_t g = std::max(grid, 1);
    int32_t step = g;
    while (step < 36) step += g;
    return step;
}

void PasteIntoSheet(SheetRecord* sheet) {
    ClipboardRecord* clip = CurrClip;
    if (!sheet || !clip || !clip->content || !(clip->flags & kClipHasObjects) || !clip->hasContent) return;
    SheetRecord* content = clip->content;
    // The clip's strings must fit the sheet's block, or nothing is pasted.
    if (!StringBlockCanTake(sheet->stringBlock, content->stringBlock)) {
        VXErrorReport(status::kStringBlockFull);
        return;
    }
    CloseTrackingOverlay();
    const int32_t step = PasteStep(sheet->view.gridSpacing);
    const bool freshCut = (clip->flags & (kClipFromCut | kClipPasted)) == kClipFromCut;
    if (!clip->pasteAtClick && !freshCut) {
        clip->pastePoint.h = int16_t(clip->pastePoint.h + step);
        clip->pastePoint.v = int16_t(clip->pastePoint.v + step);
    }
    clip->pasteAtClick = 0;
    Point p = clip->pastePoint;
    Rect placed = clip->bounds;
    VXOffsetRect(&placed, p.h, p.v);
    Rect meet;
    if (!VXSectRect(&placed, &sheet->sheetBounds, &meet)) {
        const int32_t width = clip->bounds.right - clip->bounds.left, height = clip->bounds.bottom - clip->bounds.top;
        const Rect& page = sheet->sheetBounds;
        p.h = int16_t((page.left + page.right - width) / 2 - clip->bounds.left);
        p.v = int16_t((page.top + page.bottom - height) / 2 - clip->bounds.top);
        clip->pastePoint = p;
    }
    p.h = int16_t(SnapToGrid(p.h, sheet->view.gridSpacing));
    p.v = int16_t(SnapToGrid(p.v, sheet->view.gridSpacing));
    SheetEditorModifiedStatus(sheet, kSheetReasonContentChanged);
    ClearSheetUndoAction(sheet);
    if (!IsCollectingSheetUndo(sheet)) StartSheetUndoCollection(sheet, kUndoActionPaste);
    // The pasted items alone are selected; undo selects again what was.
    CollectUndoSheetSelection(sheet);
    ClearDrawingSelection(sheet);
    // Filled as the paste goes on; undo replays it last, when the symbols are out.
    AddedSymbolsUndo* extras = CollectUndoAddedSymbols(sheet);

    PasteRun run(sheet, clip, p);
    SheetItemCopier copier{content, sheet, true, {}, {}};
    // Symbols, appended in clip order.
    if (clip->sourceKind == kClipSourceSheet) run.serials = CalcNewSymbolNumbers(sheet, clip);
    bool subSheet = false;
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s)) {
        SymbolRecord* copy = copier.Symbol(s);
        if (!copy) continue;
        copy->serial = run.serials[s->serial];
        copy->flags |= kSymbolFlagSelected;
        copy->position.h = int16_t(copy->position.h + p.h);
        copy->position.v = int16_t(copy->position.v + p.v);
        LLAppend(sheet->symbolList, copy);
        if (!subSheet && (copy->flags & (kSymbolFlagSheet | kSymbolFlagSubSheet))) {
            subSheet = true;
            SheetEditorModifiedStatus(sheet, kSheetReasonSubSheets);
        }
        Rect r;
        GetSymbolInstanceBounds(sheet, copy, 1, &r);
        AddToUpdateRect(&run.area, r);
        run.symbols.push_back(copy);
        run.clipSerials.push_back(s->serial);
        run.pasted.Add(copy);
        CollectUndoSheetItemExistance(sheet, kUndoItemSymbol, copy, 1);
    }
    // Elements at the head of the sheet's list, keeping their stacking order among themselves.
    if (!(clip->flags & kClipConverted)) {
        ElementRecord* previous = nullptr;
        for (auto* e = ListNext<ElementRecord>(content->elementList, nullptr); e; e = ListNext(content->elementList, e)) {
            ElementRecord* copy = copier.Element(e);
            if (!copy) continue;
            copy->flags |= kElementSelected;
            OffsetElement(copy, p);
            previous = static_cast<ElementRecord*>(LLInsert(sheet->elementList, previous, copy));
            AddToUpdateRect(&run.area, copy->bounds);
            CollectUndoSheetItemExistance(sheet, kUndoItemElement, copy, 1);
        }
    }
    // Frames, the same way.
    void* previousFrame = nullptr;
    for (auto f = ListNext<void>(content->textFrameList, nullptr); f; f = ListNext(content->textFrameList, f)) {
        TextFrameHandle copy = copier.Frame(static_cast<TextFrameHandle>(f));
        if (!copy) continue;
        if ((*copy)->owner) (*copy)->owner = run.serials[(*copy)->owner];
        OffsetTextFrame(copy, p.h, p.v);
        previousFrame = LLInsert(sheet->textFrameList, previousFrame, copy);
        AddToUpdateRect(&run.area, (*copy)->bounds);
        CollectUndoSheetItemExistance(sheet, kUndoItemFrame, copy, 1);
    }
    // The occurrences a Cut took along, with the designators the symbols had there.
    if (clip->targets) MoveTargetTrees(sheet, run.serials);
    PasteAnnotation(run);
    if (extras && IsCollectingSheetUndo(sheet)) {
        extras->components = copier.added;
        for (SymbolRecord* s : run.symbols) NoteAddedSymbolDesignator(sheet, extras, s);
    }
    PasteSignals(run);
    PasteBussLines(run);
    // Texts, appended; labels follow their nets, symbol texts their symbols.
    for (auto* t = ListNext<TextRecord>(content->textList, nullptr); t; t = ListNext(content->textList, t)) {
        TextRecord* copy = copier.Text(t);
        if (!copy) continue;
        if (t->kind == kTextKindSignal) {
            auto found = run.signalOwners.find(t->owner);
            copy->owner = found != run.signalOwners.end() ? SignalOwnerWord(found->second) : 0;
        } else if (t->kind == kTextKindBuss) {
            auto found = run.bussOwners.find(t->owner);
            copy->owner = found != run.bussOwners.end() ? BussOwnerWord(found->second) : 0;
        } else if (t->kind & kTextKindSymbolOwned) {
            copy->owner = TextOwnerSerial(run.serials[uint32_t(t->owner)]);
        }
        OffsetTextElement(copy, p.h, p.v);
        LLAppend(sheet->textList, copy);
        if (!(copy->flags & kTextFlagHidden)) AddToUpdateRect(&run.area, copy->bounds);
        CollectUndoSheetItemExistance(sheet, kUndoItemText, copy, 1);
    }
    for (auto& [owner, signal] : run.signalOwners) {
        (void)owner;
        FixSnippedSignal(sheet, signal, &run.area);
    }
    clip->flags |= kClipPasted;
    if (!VXEmptyRect(&run.area)) {
        VXInsetRect(&run.area, -9, -9);
        InvalSheetView(sheet, &run.area);
        CollectUndoInvalSheetRect(sheet, &run.area);
    }
    CalcSheetSelection(sheet, nullptr);
    BuildDrawingSelectRgn(sheet);  // the pasted items are what is highlighted
    if (run.undoable && sheet->window) AcceptSheetUndoCollection(sheet);
    else AbortSheetUndoCollection(sheet);
}

void DuplicateSheetSelection(SheetRecord* sheet, bool shift) {
    if (!sheet) return;
    ClipboardRecord* user = CurrClip;
    ClipboardRecord temporary;
    CurrClip = &temporary;
    const uint32_t lastCopied = sheet->lastCopiedClipId;
    CopySheetSelection(sheet, shift);
    ClearSheetUndoAction(sheet);
    StartSheetUndoCollection(sheet, kUndoActionDuplicate);
    PasteIntoSheet(sheet);
    AbortSheetUndoCollection(sheet);
    ReleaseClipboard();
    CurrClip = user;
    // The user's clip (a pending Cut of this sheet, say) is still the sheet's last copy.
    sheet->lastCopiedClipId = lastCopied;
}

}  // namespace plexa
