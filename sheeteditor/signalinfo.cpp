// Applying the signal, buss and port dialogs to a sheet, with their undo.
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/signalinfo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "files/sheetstore.h"
#include "files/symbolplace.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "library/itemcache.h"
#include "model/busses.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/sheetchange.h"
#include "sheeteditor/signaldialogs.h"
#include "toolkit/vx_dialogs.h"

namespace plexa {
namespace {

constexpr int16_t kItemStringText = 1, kItemStringSignal = 3;
constexpr int32_t kEditReasons = kSheetReasonContent | kSheetReasonForgetUndo | kSheetReasonForgetSearch;
constexpr int32_t kNameSize = 256;

bool Mergeable(SignalHandle signal) { return signal && ((*signal)->flags & kSignalMergeableFlags); }

// A label choice exists on a segment that is not diagonal.
bool Straight(WireHandle wire, int32_t segment) {
    return wire && segment >= 0 && (GetWireSegOrient(wire, segment, false) & 1) == 0;
}

void Join(Rect* area, const Rect& r) {
    if (VXEmptyRect(&r)) return;
    if (VXEmptyRect(area)) *area = r;
    else VXUnionRect(area, &r, area);
}

// The other signal of the sheet that has the name, or none.
SignalHandle OtherNamed(SheetRecord* sheet, SignalHandle signal, const char* name) {
    SignalHandle other = nullptr;
    while ((other = RetrieveNextNamedSignal(sheet->signalList, other, sheet->stringBlock, name, 0)))
        if (other != signal) return other;
    return nullptr;
}

// The label of a net or port symbol shown or hidden, and its string set to the port's own name or
// the signal's, with undo of both.
void ApplySymbolLabel(SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal, bool show,
                      bool undo, Rect* area) {
    TextRecord* before = RetrieveSymbolText(sheet, symbol, kTextKindNetSymbol);
    const bool wasShown = before && !(before->flags & kTextFlagHidden);
    TextRecord* text = nullptr;
    if (SetSymbolTextVisible(sheet, symbol, nullptr, kTextKindNetSymbol, show, area, &text) && text && undo) {
        if (!before) CollectUndoSheetItemExistance(sheet, kUndoItemText, text, 1);
        else if (wasShown != show) CollectUndoHideSheetText(sheet, text);
    }
    if (!text) return;
    char name[kNameSize];
    if (symbol->flags & kSymbolFlagModulePort) GetPortSymbolName(sheet, symbol, signal, name, kNameSize);
    else GetSignalName(signal, sheet->stringBlock, name, kNameSize);
    const StringSpec old = text->text;
    if (ChangeSheetText(sheet, text, name, area) && undo)
        CollectUndoSheetChangeItemString(sheet, kUndoItemText, text, old, kItemStringText);
}

// A label of a signal and the text it followed in the sheet's text list (none at the head).
struct PlacedLabel {
    TextRecord* label;
    TextRecord* after;
};

// The signal's labels in list order, each with the text before it.
std::vector<PlacedLabel> PlaceOfLabels(SheetRecord* sheet, SignalHandle signal) {
    std::vector<PlacedLabel> out;
    TextRecord* previous = nullptr;
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t;
         t = static_cast<TextRecord*>(LLGetNext(sheet->textList, t))) {
        if (t->kind == kTextKindSignal && t->owner == SignalOwnerWord(signal)) out.push_back({t, previous});
        previous = t;
    }
    return out;
}

void ClearWireMarks(SignalHandle signal) {
    if (!signal) return;
    for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w))
        (*w)->flags = uint16_t((*w)->flags & ~kWireFlagMarked);
}

// Whether the signal's wires form more than one piece (the wire's piece against the rest; the
// first wire's when none); the traversal marks it leaves are cleared again.
bool Fragmented(SignalHandle signal, WireHandle wire) {
    if (!signal) return false;
    const bool fragmented = IsWireListFragmented((*signal)->wires, wire);
    ClearWireMarks(signal);
    return fragmented;
}

// The item's place in the list, not counting `skip`.
int32_t PositionWithout(LinkListHeader* list, void* item, void* skip) {
    int32_t n = 0;
    for (void* i = LLFirst(list); i && i != item; i = LLGetNext(list, i))
        if (i != skip) n++;
    return n;
}

void Rebuild(SheetRecord* sheet, const Rect& area) {
    BuildDrawingSelectRgn(sheet);
    if (!VXEmptyRect(&area)) InvalSheetView(sheet, &area);
}

}  // namespace

SignalHandle ModifySignalInfo(SheetRecord* sheet, SignalHandle signal, WireHandle wire, int32_t segment,
                              SymbolRecord* symbol, TextRecord* label, const char* newName, bool show,
                              const uint8_t* fragmentOnly, Rect* invalid) {
    if (!sheet || !signal || !newName) return signal;
    Rect area;
    VXSetEmptyRect(&area);
    // 1. A copy for undo; without one the change is made without undo.
    SignalHandle copy = IsCollectingSheetUndo(sheet) ? DuplicateSignal(signal) : nullptr;
    if (!copy) AbortSheetUndoCollection(sheet);
    bool undo = copy != nullptr;
    // Where the signal stands in the list before anything changes (a signal replaced by its copy
    // goes back there).
    const int32_t signalPosition = LLGetLinkPosition(sheet->signalList, signal);
    ClearTextMarkedFlags(sheet->textList);
    const std::vector<PlacedLabel> placed = PlaceOfLabels(sheet, signal);
    LinkListHeader* labels = CreateTextList();
    TransferWireLabels(signal, kTextKindSignal, sheet->textList, labels, nullptr, kTransferAllLabels, &area);

    // 2. The new name.
    char oldName[kNameSize];
    const StringSpec oldSpec = GetSignalName(signal, sheet->stringBlock, oldName, kNameSize);
    SetSignalName(signal, sheet->stringBlock, newName);
    const bool renamed = StrCINCmp(oldName, newName, kNameSize) != 0;

    // 3. A fragment only: the clicked wire's piece leaves with the new name.
    SignalHandle original = signal;
    SignalHandle split = nullptr;
    bool didSplit = false;
    if (fragmentOnly && *fragmentOnly && renamed && wire &&
        IsWireListFragmented((*signal)->wires, wire)) {
        split = SplitSignal(signal, labels);
        if (split) {
            didSplit = true;
            LLPush(sheet->signalList, split);
            CacheSignalJunctionDots(split);
            CalcSignalBounds(split);
            (*original)->name = oldSpec;
            CleanupSignalWires(original, nullptr);
            CalcSignalBounds(original);
            signal = split;
        }
        ClearWireMarks(original);
        ClearWireMarks(split);
    }

    // 4. The label of a net or port symbol.
    std::vector<TextRecord*> removed;  // labels of the clicked segment that go
    if (symbol) {
        ApplySymbolLabel(sheet, symbol, signal, show, undo, &area);
    } else if (Straight(wire, segment)) {
        // 5. The label on the clicked wire segment.
        TextRecord* onSegment = label ? label : GetSignalWireSegLabel(signal, wire, segment, false, labels);
        if (show && !onSegment) {
            if (TextRecord* made = CreateSignalWireLabel(sheet, signal, wire, segment, false)) {
                SetTextVisibility(made, false, true);
                Join(&area, made->bounds);
                if (undo) CollectUndoSheetItemExistance(sheet, kUndoItemText, made, 1);
            }
        } else if (!show) {
            LinkListHeader* going = CreateTextList();
            TransferWireLabels(signal, kTextKindSignal, labels, going, wire, kTransferSegmentLabels + segment,
                               &area);
            while (auto* text = static_cast<TextRecord*>(LLPop(going, false))) removed.push_back(text);
            LLDispose(going, true);
        }
    }

    // 6. Merging with a signal that has the name already: it keeps its record and takes this
    // signal's wires; a copy of it as it was goes back in its place on undo.
    SignalHandle merged = nullptr;
    SignalHandle mergedCopy = nullptr;
    int32_t mergedPosition = 0;
    if (renamed) {
        SignalHandle existing = OtherNamed(sheet, signal, newName);
        if (existing && Mergeable(signal) && Mergeable(existing)) {
            if (undo) {
                mergedCopy = DuplicateSignal(existing);
                if (!mergedCopy) {
                    AbortSheetUndoCollection(sheet);
                    DestroySignal(copy);
                    copy = nullptr;
                    undo = false;
                }
            }
            if (mergedCopy) {
                mergedPosition = PositionWithout(sheet->signalList, existing, didSplit ? split : nullptr);
                for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t;
                     t = static_cast<TextRecord*>(LLGetNext(sheet->textList, t)))
                    if (t->kind == kTextKindSignal && t->owner == SignalOwnerWord(existing))
                        CollectUndoSheetTextOwner(sheet, t, SignalOwnerWord(mergedCopy));
            }
            const int64_t from = SignalOwnerWord(signal);
            CombineSignals(sheet, signal, existing);
            ChangeTextReferences(labels, kTextKindSignal, from, SignalOwnerWord(existing), nullptr);
            if (signal == original) original = nullptr;
            if (signal == split) split = nullptr;
            signal = merged = existing;
        }
    }

    // 7. The labels go back to their places in the sheet's text list, pointing at the signal that
    // now carries them; those of the clicked segment then leave it again, each recorded at its
    // place (pointing at the copy when the signal was split or merged), or freed without undo.
    const bool replaced = didSplit || merged;
    LLDispose(labels, false);
    for (const PlacedLabel& p : placed) LLInsert(sheet->textList, p.after, p.label);
    for (TextRecord* text : removed) {
        const int32_t position = LLGetLinkPosition(sheet->textList, text);
        (void)LLRemoveOrFree(sheet->textList, text, nullptr, false);  // re-inserted just above
        if (undo && replaced) text->owner = SignalOwnerWord(copy);
        CollectUndoSheetItemExistanceAt(sheet, kUndoItemText, text, 0, position);  // frees it without undo
    }
    if (replaced && undo)
        for (const PlacedLabel& p : placed)
            if (std::find(removed.begin(), removed.end(), p.label) == removed.end())
                CollectUndoSheetTextOwner(sheet, p.label, SignalOwnerWord(copy));

    // 8. Undo of the signal records. Undo takes the signals there now out and puts the copies
    // back at their places, lowest place first (the operations replay newest first).
    if (undo) {
        if (replaced) {
            if (mergedCopy && mergedPosition > signalPosition)
                CollectUndoSheetItemExistanceAt(sheet, kUndoItemSignal, mergedCopy, 0, mergedPosition);
            CollectUndoSheetItemExistanceAt(sheet, kUndoItemSignal, copy, 0, signalPosition);
            if (mergedCopy && mergedPosition <= signalPosition)
                CollectUndoSheetItemExistanceAt(sheet, kUndoItemSignal, mergedCopy, 0, mergedPosition);
            if (merged) CollectUndoSheetItemExistance(sheet, kUndoItemSignal, merged, 1);
            if (split) CollectUndoSheetItemExistance(sheet, kUndoItemSignal, split, 1);
            if (original) CollectUndoSheetItemExistance(sheet, kUndoItemSignal, original, 1);
        } else {
            DestroySignal(copy);
            if (renamed) CollectUndoSheetChangeItemString(sheet, kUndoItemSignal, signal, oldSpec, kItemStringSignal);
        }
    }

    // 9. The labels' texts, the area, the undo action.
    UpdateSignalNames(sheet, signal, &area);
    if (didSplit && original) UpdateSignalNames(sheet, original, &area);
    if (undo) {
        CollectUndoInvalSheetRect(sheet, &area);
        AcceptSheetUndoCollection(sheet);
    }
    if (invalid) Join(invalid, area);
    return signal;
}

int32_t SignalInfoValidationProc(SheetRecord* sheet, void* net, const char* name) {
    auto signal = static_cast<SignalHandle>(net);
    if (!sheet || !signal || !name) return 0;
    char own[kNameSize];
    GetSignalName(signal, sheet->stringBlock, own, kNameSize);
    if (StrCINCmp(own, name, kNameSize) == 0) return 1;
    SignalHandle other = OtherNamed(sheet, signal, name);
    if (!other) return 1;
    if (Mergeable(signal) && Mergeable(other))
        return VXAskConfirm("A signal with the specified name already exists.  Do you want to merge the two signals?",
                            "Merge", nullptr, 0) ? 1 : 0;
    return VXAskConfirm("The specified name conflicts with another signal.  Rename anyway?", "Rename", nullptr, 0)
               ? 1 : 0;
}

void EditSignalInfo(SheetRecord* sheet, SignalHandle signal, WireHandle wire, int32_t segment,
                    SymbolRecord* symbol) {
    if (!sheet || !signal) return;
    TextRecord* label = nullptr;
    bool offerLabel = true;
    if (symbol) label = RetrieveSymbolText(sheet, symbol, kTextKindNetSymbol);
    else if (Straight(wire, segment)) label = GetSignalWireSegLabel(signal, wire, segment, false, sheet->textList);
    else offerLabel = false;
    uint8_t show = label && !(label->flags & kTextFlagHidden);
    uint8_t fragment = 0;
    const bool fragmented = wire && Fragmented(signal, wire);
    char name[kNameSize];
    GetSignalName(signal, sheet->stringBlock, name, kNameSize);
    if (!SignalInfoDialog(sheet, signal, name, offerLabel ? &show : nullptr, fragmented ? &fragment : nullptr, 1,
                          SignalInfoValidationProc) ||
        !SheetTextsFit(sheet, {name}))
        return;
    SetSheetModifiedStatus(sheet, kEditReasons);
    StartSheetUndoCollection(sheet, kUndoActionSignalModification);
    Rect area;
    VXSetEmptyRect(&area);
    ModifySignalInfo(sheet, signal, wire, segment, symbol, symbol ? nullptr : label, name,
                     offerLabel ? show != 0 : !(label && (label->flags & kTextFlagHidden)),
                     fragmented ? &fragment : nullptr, &area);
    Rebuild(sheet, area);
}

void EditBussInfo(SheetRecord* sheet, BussHandle buss, WireHandle wire, int32_t segment, Point point) {
    if (!sheet || !buss) return;
    const bool offerLabel = Straight(wire, segment);
    TextRecord* label = offerLabel ? GetBussWireSegLabel(buss, wire, segment, sheet->textList) : nullptr;
    int32_t show = label && !(label->flags & kTextFlagHidden);
    const int32_t terminal = wire ? IsBussTerminalSegment(sheet, buss, wire, segment, point) : -1;
    bool accepted = false;
    if (terminal >= 0) {
        (void)GetBussPinSymbol(sheet->symbolList, buss, terminal);  // the dialog shows the terminal's own name
        uint8_t flag = uint8_t(show);
        accepted = BusTerminalDialog(sheet, buss, terminal, offerLabel ? &flag : nullptr) != 0;
        show = flag;
    } else {
        char name[kNameSize];
        GetBussName(buss, sheet->stringBlock, name, kNameSize);
        accepted = BusInfoDialog(sheet, buss, name, offerLabel ? &show : nullptr, true) != 0 &&
                   SheetTextsFit(sheet, {name});
        if (accepted) SetBussName(buss, sheet->stringBlock, name);
    }
    if (!accepted) return;
    SetSheetModifiedStatus(sheet, kEditReasons);
    Rect area;
    VXSetEmptyRect(&area);
    if (offerLabel && show && !label) {
        if (TextRecord* made = CreateBussWireLabel(sheet, buss, wire, segment, true)) {
            SetTextVisibility(made, false, true);
            Join(&area, made->bounds);
        }
    } else if (offerLabel && !show && label) {
        Join(&area, label->bounds);
        LLRemoveOrFree(sheet->textList, label, nullptr, true);
    }
    UpdateBussNameLabels(sheet, buss, true);
    Rebuild(sheet, area);
}

void EditBussPortInfo(SheetRecord* sheet, SymbolRecord* symbol, BussHandle buss) {
    if (!sheet || !symbol || !buss) return;
    PortNameResult result{};
    if (!PortNameDialog(sheet, symbol, buss, nullptr, nullptr, &result) ||
        !SheetTextsFit(sheet, {result.netName, result.displayName}))
        return;
    SetSheetModifiedStatus(sheet, kEditReasons);
    SetBussName(buss, sheet->stringBlock, result.netName);
    SetPortSymbolName(sheet, symbol, result.sameAsNet ? nullptr : result.displayName);
    SetPortSymbolType(symbol, result.portType);
    Rect area;
    VXSetEmptyRect(&area);
    TextRecord* text = nullptr;
    SetSymbolTextVisible(sheet, symbol, nullptr, kTextKindNetSymbol, result.labelShown, &area, &text);
    if (text) ChangeSheetText(sheet, text, result.displayName, &area);
    UpdateBussNameLabels(sheet, buss, true);
    Rebuild(sheet, area);
}

void PortSymbolInfoUndoHandler(SheetRecord*, PortSymbolUndoRecord* record, bool freeing) {
    if (!record) return;
    if (freeing) {
        delete record;
        return;
    }
    SymbolRecord* symbol = record->symbol;
    const uint32_t name = symbol->kind.spec;
    const uint16_t type = uint16_t(GetPortSymbolType(symbol));
    symbol->kind.spec = record->name;
    SetPortSymbolType(symbol, record->type);
    record->name = name;
    record->type = type;
}

namespace {

void PortUndoOp(void* owner, uint16_t, UndoOp* op, int32_t discard) {
    PortSymbolInfoUndoHandler(static_cast<SheetRecord*>(owner), reinterpret_cast<PortSymbolUndoRecord*>(op->data),
                              discard != 0);
}

}  // namespace

PortSymbolUndoRecord* ApplyPortSymbolChange(SheetRecord* sheet, SymbolRecord* symbol, const PortNameResult* result) {
    if (!sheet || !symbol || !result) return nullptr;
    auto* record = new PortSymbolUndoRecord{symbol, symbol->kind.spec, uint16_t(GetPortSymbolType(symbol))};
    SetPortSymbolName(sheet, symbol, result->sameAsNet ? nullptr : result->displayName);
    SetPortSymbolType(symbol, result->portType);
    if (symbol->kind.spec != record->name || GetPortSymbolType(symbol) != record->type) return record;
    delete record;
    return nullptr;
}

void EditSignalPortInfo(SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal, WireHandle wire) {
    if (!sheet || !symbol || !signal) return;
    uint8_t fragment = 0;
    const bool fragmented = Fragmented(signal, wire);
    PortNameResult result{};
    if (!PortNameDialog(sheet, symbol, signal, SignalInfoValidationProc, fragmented ? &fragment : nullptr, &result) ||
        !SheetTextsFit(sheet, {result.netName, result.displayName}))
        return;
    SetSheetModifiedStatus(sheet, kEditReasons);
    StartSheetUndoCollection(sheet, kUndoActionSignalModification);
    if (PortSymbolUndoRecord* record = ApplyPortSymbolChange(sheet, symbol, &result))
        CollectUndoCustomSheetAction(sheet, 1, PortUndoOp, reinterpret_cast<uint64_t>(record), 0);
    Rect area;
    VXSetEmptyRect(&area);
    ModifySignalInfo(sheet, signal, nullptr, -1, symbol, nullptr, result.netName, result.labelShown,
                     fragmented ? &fragment : nullptr, &area);
    Rebuild(sheet, area);
}

SymbolRecord* PlaceCachedLibraryItem(SheetRecord* sheet, Point point) {
    if (!sheet) return nullptr;
    LibSelection selection{};
    GetCachedLibSelection(&selection);
    CachedLibData data{};
    GetCachedLibData(&data);
    if (!data.item) return nullptr;
    char library[kCachedFileNameSize + 1] = {};
    GetCachedLibraryFileName(library);
    // The part placed is the undoable action (or a part of the one the caller collects: a net
    // symbol placed at a wire's end). Undo takes out the symbol, its texts, a component new to
    // the sheet and its designator.
    const bool own = !IsCollectingSheetUndo(sheet);
    if (own) {
        ClearSheetUndoAction(sheet);
        StartSheetUndoCollection(sheet, kUndoActionCreation);
    }
    std::vector<void*> components;
    for (void* c = LLFirst(sheet->componentList); c; c = LLGetNext(sheet->componentList, c)) components.push_back(c);
    AddedSymbolsUndo* added = CollectUndoAddedSymbols(sheet);
    SymbolRecord* symbol = PlaceLibSymbolInstance(sheet, point, uint32_t(gPlaceTransformation) & kSymbolFlagTransform,
                                                  data.item, selection.nameIndex, -1, selection.part,
                                                  selection.alternate != 0, library, int32_t(data.timeStamp),
                                                  nullptr, 0);
    if (!symbol) {
        if (own) AbortSheetUndoCollection(sheet);
        return nullptr;
    }
    if (added && IsCollectingSheetUndo(sheet)) {
        for (void* c = LLFirst(sheet->componentList); c; c = LLGetNext(sheet->componentList, c))
            if (std::find(components.begin(), components.end(), c) == components.end())
                added->components.push_back(static_cast<ComponentRecord*>(c));
        NoteAddedSymbolDesignator(sheet, added, symbol);
    }
    CollectUndoSheetItemExistance(sheet, kUndoItemSymbol, symbol, 1);
    Rect area;
    GetSelectedSymbolBounds(sheet, symbol, &area);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t;
         t = static_cast<TextRecord*>(LLGetNext(sheet->textList, t))) {
        if (IsTextOwnedBySymbol(t, symbol) <= 0) continue;
        CollectUndoSheetItemExistance(sheet, kUndoItemText, t, 1);
        if (!(t->flags & kTextFlagHidden)) Join(&area, t->bounds);
    }
    InvalSheetView(sheet, &area);
    CollectUndoInvalSheetRect(sheet, &area);
    if (own) AcceptSheetUndoCollection(sheet);
    return symbol;
}

void InstantiateLibraryItem(SheetRecord* sheet, Point point) { (void)PlaceCachedLibraryItem(sheet, point); }  // none placed: nothing to show

}  // namespace plexa
