// Signals; see signals.h.
#include "model/signals.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/timers.h"
#include "model/sheetindex.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/modelhooks.h"
#include "model/signalindex.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wireintegrate.h"

namespace plexa {

namespace {

Handle AsHandle(SignalHandle signal) { return reinterpret_cast<Handle>(signal); }

uint32_t PinsOffset(int32_t n) { return kSignalHeadSize + uint32_t(n) * sizeof(SignalPinEntry); }

// The largest number of pin entries: wire end words index them with 14 bits.
constexpr int32_t kMaxSignalPins = kWireEndIndexMask + 1;

bool EqualNoCase(const char* a, const char* b) {
    const size_t length = std::strlen(a);
    return length == std::strlen(b) && (length == 0 || StrCINCmp(a, b, uint16_t(length)) == 0);
}

TextRecord* NextText(LinkListHeader* list, TextRecord* text) {
    return static_cast<TextRecord*>(text ? LLGetNext(list, text) : LLFirst(list));
}

bool IsLabelOf(const TextRecord* text, SignalHandle signal) {
    return text->kind == kTextKindSignal && text->owner == SignalOwnerWord(signal);
}

// Copies the terminal ends of a wire from one signal into another (end 1, then end 0) and sets the
// wire's end words to the new indices. A failed copy leaves that end free.
void CopyPinEnds(SignalHandle from, SignalHandle to, WireHandle wire, uint16_t* end0,
                 uint16_t* end1) {
    *end0 = (*wire)->end0;
    *end1 = (*wire)->end1;
    int32_t index1 = -1;
    if (IsWireEndTerminal(*end1)) {
        SignalPinEntry entry;
        index1 = GetSignalPinTerminal(from, *end1, &entry) ? AppendSignalPin(to, &entry) : -1;
        *end1 = index1 >= 0 ? uint16_t(index1) : kWireEndFree;
    }
    if (IsWireEndTerminal(*end0)) {
        if ((*wire)->end0 == (*wire)->end1 && index1 >= 0) {
            *end0 = uint16_t(index1);
        } else {
            SignalPinEntry entry;
            const int32_t index0 =
                GetSignalPinTerminal(from, *end0, &entry) ? AppendSignalPin(to, &entry) : -1;
            *end0 = index0 >= 0 ? uint16_t(index0) : kWireEndFree;
        }
    }
}

// Moves every wire of from onto to (pin entries copied, end words renumbered), as regrouping
// folds pieces together; the wires keep their shapes.
void MoveSignalWires(SignalHandle from, SignalHandle to) {
    while (WireHandle wire = static_cast<WireHandle>(LLPop((*from)->wires, false))) {
        uint16_t end0 = 0, end1 = 0;
        CopyPinEnds(from, to, wire, &end0, &end1);
        (*wire)->end0 = end0;
        (*wire)->end1 = end1;
        LLPush((*to)->wires, wire);
    }
}

void RemoveSignalLabels(SignalHandle signal, LinkListHeader* textList,
                        LinkListHeader* discardTextList, Rect* rect) {
    TransferWireLabels(signal, kTextKindSignal, textList, discardTextList, nullptr,
                       kTransferAllLabels, rect);
}

// Removes a signal from its list with its labels, adding its area to the rectangle.
void DiscardSignal(SignalHandle signal, LinkListHeader* list, LinkListHeader* textList,
                   LinkListHeader* discardTextList, Rect* rect) {
    AddToUpdateRect(rect, (*signal)->bounds);
    RemoveSignalLabels(signal, textList, discardTextList, rect);
    RemoveSignalFromList(list, signal);
    DestroySignal(signal);
}

int16_t ClampCoordinate(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

}  // namespace

// ---- Records and lists ----

SignalHandle CreateSignal(LinkListHeader* list) {
    auto signal = reinterpret_cast<SignalHandle>(CreateNetRecord(kSignalHeadSize, 1));
    if (signal && list) SignalListPush(list, signal);
    return signal;
}

void FreeSignalRecord(LinkListHeader*, void* item, void*, uint32_t) {
    auto signal = static_cast<SignalHandle>(item);
    ForgetSignal(signal);
    DestroyWireList((*signal)->wires);
    if ((*signal)->attributes) MemFree((*signal)->attributes);
    (*signal)->wires = nullptr;
    (*signal)->attributes = nullptr;
}

void DestroySignal(SignalHandle signal) {
    if (!signal) return;
    FreeSignalRecord(nullptr, signal, nullptr, 1);
    MemFree(AsHandle(signal));
}

LinkListHeader* CreateSignalList() {
    if (InitWiresPool() != status::kNoErr) return nullptr;
    LinkListHeader* list = LLCreate(gWiresPool, kSignalHeadSize, kLLHandles);
    if (list) LLSetFreeProc(list, FreeSignalRecord);
    return list;
}

void DestroySignalList(LinkListHeader* list) {
    DestroySignalIndex(list);
    LLDispose(list, true);
}

bool RemoveSignalFromList(LinkListHeader* list, SignalHandle signal) {
    return SignalListRemove(list, signal);
}

SignalHandle DuplicateSignal(SignalHandle signal) {
    if (!signal || InitWiresPool() != status::kNoErr) return nullptr;
    auto copy = reinterpret_cast<SignalHandle>(CloneHandle(gWiresPool, AsHandle(signal)));
    if (!copy) return nullptr;
    (*copy)->link = nullptr;
    (*copy)->wires = nullptr;
    (*copy)->attributes = nullptr;
    bool ok = true;
    if ((*signal)->attributes) {
        Handle attributes = CloneHandle(gGenPool, (*signal)->attributes);
        (*copy)->attributes = attributes;
        ok = attributes != nullptr;
    }
    WireList wires = ok ? CreateWireList(copy, 1) : nullptr;
    (*copy)->wires = wires;
    ok = ok && wires && CopyWireList((*signal)->wires, wires);
    if (!ok) {
        DestroySignal(copy);
        return nullptr;
    }
    return copy;
}

StringSpec GetSignalName(SignalHandle signal, StringBlock block, char* buffer, int32_t size) {
    const StringSpec spec = signal ? (*signal)->name : 0;
    if (buffer && size > 0) ExtractStringSpec(spec, block, buffer, size);
    return spec;
}

StringSpec SetSignalName(SignalHandle signal, StringBlock block, const char* name) {
    if (!signal) return 0;
    const StringSpec spec = StoreNetName(block, name);
    if (spec == 0 && name && *name) return (*signal)->name;  // not stored: the name stays
    (*signal)->name = spec;
    NoteSignalChange(signal, kSignalChangedName);
    return spec;
}

int16_t GetSignalAttribute(SignalHandle signal, StringBlock block, const char* name, char* value,
                           int32_t size) {
    return GetAttributeValue(block, (*signal)->attributes, 0, (*signal)->attributeCount, name,
                             value, nullptr, size);
}

int16_t SetSignalAttribute(SignalHandle signal, StringBlock block, const char* name,
                           const char* value) {
    if (!(*signal)->attributes) {
        Handle attributes = AllocHandle(gGenPool, 0);
        if (!attributes) return kAttributeAbsent;
        (*signal)->attributes = attributes;
    }
    int16_t count = int16_t((*signal)->attributeCount);
    const int16_t result =
        SetAttributeValue(block, (*signal)->attributes, 0, &count, name, value, nullptr);
    (*signal)->attributeCount = uint16_t(count);
    return result;
}

OSStatus ChangeSignalStringBlock(SignalHandle signal, StringBlock from, StringBlock to) {
    if (!signal) return status::kParamErr;
    // The name first: the attributes' move is all or nothing and comes last.
    const StringSpec name = TransferStringSpec((*signal)->name, from, to, true);
    if (OSStatus st = StringBlockAddStatus()) return st;
    if (OSStatus st = ChangeAttributesStringBlock((*signal)->attributes, 0, (*signal)->attributeCount, from, to))
        return st;
    (*signal)->name = name;
    NoteSignalChange(signal, kSignalChangedName);
    return status::kNoErr;
}

SignalHandle RetrieveNextNamedSignal(LinkListHeader* list, SignalHandle after, StringBlock block,
                                     const char* name, uint16_t mask) {
    if (!name) return nullptr;
    mask &= kSignalScopeFlags;
    SignalHandle last = nullptr;
    auto signal = static_cast<SignalHandle>(after ? LLGetNext(list, after) : LLFirst(list));
    char buffer[kStringSpecBufferSize];
    for (; signal; signal = static_cast<SignalHandle>(LLGetNext(list, signal))) {
        GetSignalName(signal, block, buffer, sizeof buffer);
        if (!EqualNoCase(buffer, name)) continue;
        if (!mask || ((*signal)->flags & mask)) return signal;
        last = signal;
    }
    return last;
}

// ---- Pin entries ----

SignalPinEntry* GetSignalPinTerminal(SignalHandle signal, int32_t n, SignalPinEntry* entry) {
    if (!signal || n < 0 || n >= (*signal)->pinCount) return nullptr;
    SignalPinEntry* found = &SignalPins(signal)[n];
    if (entry) *entry = *found;
    return found;
}

SymbolRecord* GetSignalPinSymbol(LinkListHeader* symbolList, SignalHandle signal, int32_t n) {
    SignalPinEntry entry;
    if (!GetSignalPinTerminal(signal, n, &entry)) return nullptr;
    return RetrieveSerializedSymbol(symbolList, entry.serial);
}

int32_t AddPinToSignal(SignalHandle signal, const SymbolRecord* symbol, uint16_t node) {
    if (!signal || !symbol) return -1;
    const int32_t count = (*signal)->pinCount;
    for (int32_t i = 0; i < count; ++i) {
        const SignalPinEntry& e = SignalPins(signal)[i];
        if (e.serial == symbol->serial && e.node == node) return i;
    }
    SignalPinEntry entry{};
    entry.serial = symbol->serial;
    entry.node = node;
    if (symbol->flags & kSymbolFlagPort) entry.flags |= kPinEntryPort;
    if (symbol->flags & kSymbolFlagModulePort) entry.flags |= kPinEntryModulePort;
    return AppendSignalPin(signal, &entry);
}

int32_t AppendSignalPin(SignalHandle signal, const SignalPinEntry* entry) {
    if (!signal || !entry) return -1;
    const int32_t count = (*signal)->pinCount;
    if (count >= kMaxSignalPins) return -1;
    if (!InsertInHandle(AsHandle(signal), int32_t(PinsOffset(count)), entry,
                        sizeof(SignalPinEntry)))
        return -1;
    (*signal)->pinCount = uint16_t(count + 1);
    NoteSignalChange(signal, kSignalChangedPins);
    return count;
}

void DeleteSignalPin(SignalHandle signal, int32_t n) {
    if (!signal || n < 0 || n >= (*signal)->pinCount) return;
    DeleteFromHandle(AsHandle(signal), int32_t(PinsOffset(n)), sizeof(SignalPinEntry));
    (*signal)->pinCount = uint16_t((*signal)->pinCount - 1);
    NoteSignalChange(signal, kSignalChangedPins);
    RenumberWireTerminals((*signal)->wires, n);
}

void RemoveWireFromSignal(SignalHandle signal, WireHandle wire, bool free) {
    if (!signal || !wire) return;
    const SheetNetScope scope(signal);
    if (IsWireEndTerminal((*wire)->end1)) DeleteSignalPin(signal, (*wire)->end1);
    if (IsWireEndTerminal((*wire)->end0)) DeleteSignalPin(signal, (*wire)->end0);
    LLRemoveOrFree((*signal)->wires, wire, nullptr, free);
}

void PurgeMissingSignalPins(SignalHandle signal, LinkListHeader* symbolList) {
    if (!signal) return;
    int32_t n = 0;
    while (n < (*signal)->pinCount) {
        if (RetrieveSerializedSymbol(symbolList, SignalPins(signal)[n].serial)) {
            ++n;
        } else {
            DeleteSignalPin(signal, n);
        }
    }
}

namespace {

// The index of the entry of the signal for the pin, or -1.
int32_t FindPinEntry(SignalHandle s, uint32_t serial, uint16_t node) {
    const int32_t count = (*s)->pinCount;
    for (int32_t i = 0; i < count; ++i) {
        const SignalPinEntry& e = SignalPins(s)[i];
        if (e.serial == serial && e.node == node) return i;
    }
    return -1;
}

}  // namespace

SignalHandle GetConnectedSignal(LinkListHeader* signalList, const SymbolRecord* symbol,
                                uint16_t node, WireHandle* wire, uint16_t* index) {
    if (wire) *wire = nullptr;
    if (index) *index = 0xFFFF;
    if (!symbol) return nullptr;
    SignalHandle found = nullptr;
    int32_t entry = -1;
    std::vector<SignalHandle> candidates;
    int32_t matches = 0;
    const bool indexed = SignalsWithSerial(signalList, symbol->serial, &candidates);
    if (indexed) {
        for (SignalHandle s : candidates) {
            const int32_t i = FindPinEntry(s, symbol->serial, node);
            if (i < 0) continue;
            if (!matches++) {
                found = s;
                entry = i;
            }
        }
    }
    if (!indexed || matches > 1) {
        // No index, or the pin is held twice: the first signal of the list that holds it.
        found = nullptr;
        for (auto s = static_cast<SignalHandle>(LLFirst(signalList)); s && !found;
             s = static_cast<SignalHandle>(LLGetNext(signalList, s))) {
            entry = FindPinEntry(s, symbol->serial, node);
            if (entry >= 0) found = s;
        }
    }
    if (!found) return nullptr;
    if (index) *index = uint16_t(entry);
    if (wire) *wire = FirstWireAtTerminal((*found)->wires, entry);
    return found;
}

// ---- Geometry and upkeep ----

void CalcSignalBounds(SignalHandle signal) {
    if (!signal) return;
    Rect bounds;
    CalcWireListBounds((*signal)->wires, &bounds);
    if (!VXEqualRect(&(*signal)->bounds, &bounds)) NoteSheetNetChanged(signal);
    (*signal)->bounds = bounds;
}

WireHandle CleanupSignalWires(SignalHandle signal, WireHandle referenceWire) {
    if (!signal) return referenceWire;
    referenceWire = CleanupWireList((*signal)->wires, referenceWire, nullptr);
    CacheSignalJunctionDots(signal);
    CalcSignalScopeFlags(signal);
    CalcSignalBounds(signal);
    return referenceWire;
}

void TransformSignal(SignalHandle signal, Point centre, int32_t code) {
    if (!signal) return;
    if ((*signal)->dotCount != kSignalDotsStale)
        TransformPointArray(SignalDots(signal), (*signal)->dotCount, centre, code);
    TransformWireList((*signal)->wires, centre, code);
    CalcSignalBounds(signal);
}

void CalcSignalScopeFlags(SignalHandle signal) {
    if (!signal) return;
    uint16_t flags = uint16_t((*signal)->flags & ~kSignalScopeFlags);
    WireList list = (*signal)->wires;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        for (uint16_t end : {(*w)->end1, (*w)->end0}) {
            if (IsWireEndBreakOut(end)) {
                flags |= kSignalFlagBreakOut;
            } else if (SignalPinEntry* e = GetSignalPinTerminal(signal, end, nullptr)) {
                if (e->flags & kPinEntryPort) flags |= kSignalFlagPort;
                if (e->flags & kPinEntryModulePort) flags |= kSignalFlagModulePort;
            }
        }
    }
    (*signal)->flags = flags;
}

int32_t CalcSignalScope(ProjectRecord* project, SheetRecord* sheet, SignalHandle signal,
                        int32_t* namedBySymbol) {
    if (namedBySymbol) *namedBySymbol = 0;
    if (!signal) return kScopeLocal;
    int32_t portLevel = 1;
    bool breakOutsGlobal = false;
    GetProjectSignalScope(project, &portLevel, &breakOutsGlobal);
    const uint16_t flags = (*signal)->flags;
    if (breakOutsGlobal && (flags & kSignalFlagBreakOut)) {
        if (namedBySymbol) *namedBySymbol = 1;
        return kScopeGlobal;
    }
    if (!(flags & kSignalFlagPort) || (*signal)->pinCount == 0 || !sheet) return kScopeLocal;
    const int32_t powerLevel = sheet->stored.scopeA;
    int32_t r = 0, named = 0;
    char signalName[kStringSpecBufferSize];
    GetSignalName(signal, sheet->stringBlock, signalName, sizeof signalName);
    for (int32_t i = (*signal)->pinCount - 1; i >= 0; --i) {
        if (r >= portLevel && r >= powerLevel && (!namedBySymbol || named)) break;
        const SignalPinEntry entry = SignalPins(signal)[i];
        if (entry.flags & kPinEntryModulePort) {
            r = std::max(r, portLevel);
            if (namedBySymbol && !named) {
                SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, entry.serial);
                if (symbol) {
                    char portName[kStringSpecBufferSize];
                    if (GetPortSymbolName(sheet, symbol, signal, portName, sizeof portName)) {
                        named = 1;
                    } else {
                        named = EqualNoCase(portName, signalName) ? 1 : 0;
                    }
                }
            }
        } else if (entry.flags & kPinEntryPort) {
            if (r < powerLevel || (namedBySymbol && !named)) {
                SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, entry.serial);
                if (symbol && !(symbol->flags & kSymbolFlagLocal)) {
                    r = std::max(r, powerLevel);
                    named = 1;
                }
            }
        }
    }
    if (namedBySymbol) *namedBySymbol = named;
    return r;
}

void CombineSignals(SheetRecord* sheet, SignalHandle from, SignalHandle to) {
    if (!sheet || !from || !to || from == to) return;
    const SheetNetScope fromScope(from), toScope(to);
    if (!(*to)->name) {
        (*to)->name = (*from)->name;
        NoteSignalChange(to, kSignalChangedName);
    }
    if ((*from)->attributes && (*from)->attributeCount) {
        if ((*to)->attributes && (*to)->attributeCount) {
            int16_t count = int16_t((*to)->attributeCount);
            MergeAttributes(sheet->stringBlock, (*from)->attributes, 0, (*from)->attributeCount,
                            sheet->stringBlock, (*to)->attributes, 0, &count, kMergeSkipInternal);
            (*to)->attributeCount = uint16_t(count);
        } else {
            std::swap((*from)->attributes, (*to)->attributes);
            std::swap((*from)->attributeCount, (*to)->attributeCount);
        }
    }
    Rect rect;
    VXSetEmptyRect(&rect);
    while (WireHandle wire = static_cast<WireHandle>(LLPop((*from)->wires, false))) {
        uint16_t end0 = 0, end1 = 0;
        CopyPinEnds(from, to, wire, &end0, &end1);
        (*wire)->end0 = end0;
        (*wire)->end1 = end1;
        IntegrateWire(wire, (*to)->wires, kIntegrateSpliceListEnds, sheet, &rect);
    }
    // Pins the signal holds with no wire ending on them (a net joined by name) go along too.
    for (int32_t i = 0; i < (*from)->pinCount; ++i) {
        const SignalPinEntry entry = SignalPins(from)[i];
        if (FindPinEntry(to, entry.serial, entry.node) < 0) (void)AppendSignalPin(to, &entry);  // -1 only when full or out of memory
    }
    CleanupSignalWires(to, nullptr);
    RemoveSignalFromList(sheet->signalList, from);
    DestroySignal(from);
    ChangeTextReferences(sheet->textList, kTextKindSignal, SignalOwnerWord(from),
                         SignalOwnerWord(to), nullptr);
    UpdateSignalNames(sheet, to, &rect);
    if (sheet->window && !VXEmptyRect(&rect)) InvalSheetView(sheet, &rect);
}

SignalHandle SplitSignal(SignalHandle signal, LinkListHeader* textList) {
    if (!signal) return nullptr;
    SignalHandle piece = CreateSignal(nullptr);
    if (!piece) return nullptr;
    (*piece)->name = (*signal)->name;
    std::vector<TextRecord*> aside;
    if (textList) {
        TextRecord* previous = nullptr;
        TextRecord* text = NextText(textList, nullptr);
        while (text) {
            TextRecord* next = NextText(textList, text);
            WireHandle on = IsLabelOf(text, signal) ? GetWireFromWireLabel(text, nullptr) : nullptr;
            if (on && ((*on)->flags & kWireFlagMarked)) {
                LLRemoveOrFree(textList, text, previous, false);
                aside.push_back(text);
            } else {
                previous = text;
            }
            text = next;
        }
    }
    WireList wires = (*signal)->wires;
    WireHandle w = FirstWire(wires);
    while (w) {
        WireHandle next = NextWire(wires, w);
        if ((*w)->flags & kWireFlagMarked) {
            uint16_t end0 = 0, end1 = 0;
            CopyPinEnds(signal, piece, w, &end0, &end1);
            RemoveWireFromSignal(signal, w, false);
            (*w)->end0 = end0;
            (*w)->end1 = end1;
            LLPush((*piece)->wires, w);
        }
        w = next;
    }
    for (TextRecord* text : aside) {
        text->owner = SignalOwnerWord(piece);
        LLPush(textList, text);
    }
    if (!FirstWire((*piece)->wires)) {
        DestroySignal(piece);
        return nullptr;
    }
    if ((*signal)->attributes) {
        (*piece)->attributes = CloneHandle(gGenPool, (*signal)->attributes);
        if ((*piece)->attributes) (*piece)->attributeCount = (*signal)->attributeCount;
    }
    CalcSignalScopeFlags(piece);
    return piece;
}

LinkListHeader* SplitSignalFragments(SignalHandle signal, LinkListHeader* signalList,
                                     LinkListHeader* textList) {
    CleanupWireList((*signal)->wires, nullptr, nullptr);
    LinkListHeader* pieces = nullptr;
    while (IsWireListFragmented((*signal)->wires, nullptr)) {
        SignalHandle piece = SplitSignal(signal, textList);
        if (!piece) break;
        if (!pieces) {
            pieces = CreateSignalList();
            if (!pieces) {
                DestroySignal(piece);
                break;
            }
            RemoveSignalFromList(signalList, signal);
            LLPush(pieces, signal);
        }
        LLPush(pieces, piece);
    }
    CleanupSignalWires(signal, nullptr);
    return pieces;
}

void PurgeNoPinSignals(LinkListHeader* list, LinkListHeader* textList,
                       LinkListHeader* discardTextList, Rect* rect) {
    auto s = static_cast<SignalHandle>(LLFirst(list));
    while (s) {
        auto next = static_cast<SignalHandle>(LLGetNext(list, s));
        if ((*s)->pinCount == 0) DiscardSignal(s, list, textList, discardTextList, rect);
        s = next;
    }
}

void RegroupSignal(SignalHandle signal, LinkListHeader* signalList, LinkListHeader* textList,
                   LinkListHeader* discardTextList, SheetRecord* sheet, Rect* rect) {
    if (!signal) return;
    const SheetNetScope scope(signal);
    LinkListHeader* pieces = SplitSignalFragments(signal, signalList, textList);
    if (!pieces) {
        if ((*signal)->pinCount == 0)
            DiscardSignal(signal, signalList, textList, discardTextList, rect);
        return;
    }
    PurgeNoPinSignals(pieces, textList, discardTextList, rect);
    bool anyPort = false, anyPortOrBreakOut = false;
    for (uint16_t flag : {kSignalFlagPort, kSignalFlagBreakOut}) {
        SignalHandle keeper = nullptr;
        auto s = static_cast<SignalHandle>(LLFirst(pieces));
        while (s) {
            auto next = static_cast<SignalHandle>(LLGetNext(pieces, s));
            if ((*s)->flags & flag) {
                if (flag == kSignalFlagPort) anyPort = true;
                anyPortOrBreakOut = true;
                if (!keeper) {
                    keeper = s;
                } else {
                    MoveSignalWires(s, keeper);
                    if (textList)
                        ChangeTextReferences(textList, kTextKindSignal, SignalOwnerWord(s),
                                             SignalOwnerWord(keeper), nullptr);
                    RemoveSignalFromList(pieces, s);
                    DestroySignal(s);
                    CalcSignalScopeFlags(keeper);
                }
            }
            s = next;
        }
    }
    const bool several = pieces->count >= 2;
    for (int32_t taken = 0; SignalHandle s = static_cast<SignalHandle>(LLPop(pieces, false));
         ++taken) {
        CacheSignalJunctionDots(s);
        CalcSignalBounds(s);
        SignalListPush(signalList, s);
        if (!several) continue;
        const uint16_t flags = (*s)->flags;
        const bool fresh = (!anyPortOrBreakOut && taken != 0) ||
                           (anyPortOrBreakOut && !(flags & (kSignalFlagPort | kSignalFlagBreakOut))) ||
                           (anyPort && !(flags & kSignalFlagPort));
        if (fresh) AssignNewSignalName(sheet, s, pieces, rect);
    }
    DestroySignalList(pieces);
}

void AssignNewSignalName(SheetRecord* sheet, SignalHandle signal, LinkListHeader* extraList,
                         Rect* rect) {
    if (!sheet || !signal) return;
    char name[kSignalNameSize];
    GetUniqueSignalName(sheet, extraList, name, sizeof name);
    SetSignalName(signal, sheet->stringBlock, name);
    for (TextRecord* text = NextText(sheet->textList, nullptr); text;
         text = NextText(sheet->textList, text)) {
        if (!IsLabelOf(text, signal) || (text->flags & kLabelFlagOwnText)) continue;
        ReplaceLabelText(sheet, text, name, false, rect);
    }
}

void UpdateSignalNames(SheetRecord* sheet, SignalHandle signal, Rect* rect) {
    if (!sheet || !signal) return;
    char name[kStringSpecBufferSize];
    GetSignalName(signal, sheet->stringBlock, name, sizeof name);
    // The port symbols whose pin 0 is one of this signal's pin entries.
    std::vector<uint32_t> ports;
    for (int32_t i = 0; i < (*signal)->pinCount; ++i) {
        const SignalPinEntry& e = SignalPins(signal)[i];
        if (e.node == 0) ports.push_back(e.serial);
    }
    for (TextRecord* text = NextText(sheet->textList, nullptr); text;
         text = NextText(sheet->textList, text)) {
        if (text->kind == kTextKindSignal) {
            if (!IsLabelOf(text, signal) || (text->flags & kLabelFlagOwnText)) continue;
        } else if (text->kind == kTextKindNetSymbol) {
            const auto serial = uint32_t(text->owner);
            if (std::find(ports.begin(), ports.end(), serial) == ports.end()) continue;
            SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, serial);
            if (!symbol || !(symbol->flags & kSymbolFlagPort)) continue;
            if ((symbol->flags & kSymbolFlagModulePort) && symbol->kind.spec) continue;
        } else {
            continue;
        }
        ReplaceLabelText(sheet, text, name, false, rect);
    }
}

// ---- Junction dots ----

void CacheSignalJunctionDots(SignalHandle signal) {
    if (!signal) return;
    // Most signals join pins only: with no wire ending at a junction there is no dot to find, and
    // the table is not worth building.
    bool anyJunction = false;
    for (WireHandle w = FirstWire((*signal)->wires); w && !anyJunction; w = NextWire((*signal)->wires, w))
        anyJunction = (*w)->cornerCount != 0 && (IsWireEndJunction((*w)->end0) || IsWireEndJunction((*w)->end1));
    if (!anyJunction) {
        const uint32_t size = PinsOffset((*signal)->pinCount);
        if ((*signal)->dotCount == 0 && SizeOfHandle(AsHandle(signal)) == size) return;  // already so
        if (!ResizeHandle(AsHandle(signal), size)) return;
        (*signal)->dotCount = 0;
        return;
    }
    JunctionTable table = CollectWireListJunctions((*signal)->wires);
    if (!table) return;
    std::vector<Point> dots;
    const int32_t rows = CountJunctionRows(table);
    for (int32_t i = 0; i < rows; ++i) {
        const JunctionRow& row = JunctionRows(table)[i];
        if (row.dot) dots.push_back(row.pt);
    }
    DestroyJunctionTable(table);
    const uint32_t count = uint32_t(std::min<size_t>(dots.size(), kSignalDotsStale - 1));
    const uint32_t size = PinsOffset((*signal)->pinCount) + count * sizeof(Point);
    if (!ResizeHandle(AsHandle(signal), size)) return;
    if (count) std::memcpy(SignalDots(signal), dots.data(), count * sizeof(Point));
    (*signal)->dotCount = uint16_t(count);
}

void InvalidateSignalJunctions(SignalHandle signal) {
    if (!signal) return;
    ResizeHandle(AsHandle(signal), PinsOffset((*signal)->pinCount));  // shrinking
    (*signal)->dotCount = kSignalDotsStale;
}

void DrawSignalJunctions(SignalHandle signal, int32_t mode, const Rect* updateRect) {
    if (!signal) return;
    if ((*signal)->dotCount == kSignalDotsStale) CacheSignalJunctionDots(signal);
    if ((*signal)->dotCount == kSignalDotsStale) return;
    for (int32_t i = 0; i < (*signal)->dotCount; ++i) {
        const Point dot = SignalDots(signal)[i];
        if (updateRect) {
            const Rect box{int16_t(dot.v - 5), int16_t(dot.h - 5), int16_t(dot.v + 6),
                           int16_t(dot.h + 6)};
            if (!VXRectsOverlap(&box, updateRect)) continue;
        }
        DrawJunctionDot(dot, mode);
    }
}

// ---- Names ----

int32_t GetTrailingNumber(const char* string, int32_t from, int32_t* digitsStart) {
    const auto length = int32_t(std::strlen(string));
    if (length == 0 || from >= length || string[length - 1] < '0' || string[length - 1] > '9')
        return -1;
    int32_t start = length;
    while (start > std::max(from, 0) && string[start - 1] >= '0' && string[start - 1] <= '9')
        --start;
    int64_t value = 0;
    for (int32_t i = start; i < length; ++i) {
        value = value * 10 + (string[i] - '0');
        if (value > INT32_MAX) value = INT32_MAX;
    }
    if (digitsStart) *digitsStart = start;
    return int32_t(value);
}

int32_t IsPrefixedString(const char* name, const char* prefix, bool caseSensitive,
                         int32_t* zeros) {
    if (zeros) *zeros = 0;
    if (!name) return -1;
    const size_t prefixLength = prefix ? std::strlen(prefix) : 0;
    if (prefixLength) {
        if (std::strlen(name) < prefixLength) return -1;
        for (size_t i = 0; i < prefixLength; ++i) {
            char a = name[i], b = prefix[i];
            if (!caseSensitive) {
                if (a >= 'a' && a <= 'z') a = char(a - 32);
                if (b >= 'a' && b <= 'z') b = char(b - 32);
            }
            if (a != b) return -1;
        }
    }
    int32_t digitsStart = 0;
    const int32_t number = GetTrailingNumber(name, int32_t(prefixLength), &digitsStart);
    if (number < 0) return -1;
    if (zeros) {
        int32_t count = 0;
        for (const char* p = name + prefixLength; *p == '0'; ++p) ++count;
        if (name[prefixLength + size_t(count)] == 0 && count > 0) --count;
        *zeros = count;
    }
    return number;
}

void GetSheetSignalPrefix(const SheetRecord* sheet, char prefix[8]) {
    const uint8_t length = std::min<uint8_t>(sheet->stored.signalPrefix[0], 7);
    std::memcpy(prefix, sheet->stored.signalPrefix + 1, length);
    prefix[length] = 0;
}

int32_t IsPrefixedSignalName(SheetRecord* sheet, SignalHandle signal, const char* name,
                             int32_t* zeros) {
    if (zeros) *zeros = 0;
    if (!sheet) return -1;
    char prefix[8];
    GetSheetSignalPrefix(sheet, prefix);
    if (signal) {
        if (!(*signal)->name) return -1;
        char buffer[kStringSpecBufferSize];
        GetSignalName(signal, sheet->stringBlock, buffer, sizeof buffer);
        return IsPrefixedString(buffer, prefix, false, zeros);
    }
    return IsPrefixedString(name, prefix, false, zeros);
}

int32_t ConstructPrefixedSignalName(const char* prefix, int32_t number, int32_t width, char* out,
                                    int32_t size) {
    width = std::clamp(width, 0, 64);
    if (out && size > 0) std::snprintf(out, size_t(size), "%s%0*d", prefix ? prefix : "", width, number);
    char digits[16];
    const int written = std::snprintf(digits, sizeof digits, "%d", number);
    return std::max(0, width - written);
}

void GetUniqueSignalName(SheetRecord* sheet, LinkListHeader* extraList, char* out, int32_t size) {
    if (!out || size <= 0) return;
    out[0] = 0;
    if (!sheet) return;
    char prefix[8];
    GetSheetSignalPrefix(sheet, prefix);
    int32_t width = sheet->stored.signalDigits;
    if (width < 1 || width > 9) width = 3;
    // The lowest free number is at most one above the count of names looked at, so numbers up to
    // that (and never fewer than 9999) are all that need marking.
    const uint32_t names = (sheet->signalList ? sheet->signalList->count : 0) +
                           (extraList ? extraList->count : 0);
    const int32_t limit = int32_t(std::max<uint32_t>(9999, names + 1));
    std::vector<int32_t> extraNumbers;
    for (auto s = static_cast<SignalHandle>(LLFirst(extraList)); s;
         s = static_cast<SignalHandle>(LLGetNext(extraList, s))) {
        const int32_t n = IsPrefixedSignalName(sheet, s, nullptr, nullptr);
        if (n >= 0 && n <= limit) extraNumbers.push_back(n);
    }
    int32_t number =
        LowestUnusedNameNumber(sheet->signalList, sheet->stringBlock, prefix, extraNumbers);
    if (number < 0) {
        number = 1;
        if (BitArray used = CreateBitArray(gGenPool, 512)) {
            BitArraySet(used, 0);
            for (int32_t n : extraNumbers) BitArraySet(used, n);
            for (auto s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
                 s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s))) {
                const int32_t n = IsPrefixedSignalName(sheet, s, nullptr, nullptr);
                if (n >= 0 && n <= limit) BitArraySet(used, n);
            }
            number = FirstClearBit(used);
            DisposeBitArray(used);
        }
    }
    ConstructPrefixedSignalName(prefix, number, width, out, size);
}

// ---- Labels ----

namespace {

}  // namespace

TextRecord* CreateSignalWireLabel(SheetRecord* sheet, SignalHandle signal, WireHandle wire,
                                  int32_t segment, bool hiddenPin) {
    if (!sheet || !signal) return nullptr;
    char name[kStringSpecBufferSize];
    if (hiddenPin) {
        std::strcpy(name, "?");
    } else {
        GetSignalName(signal, sheet->stringBlock, name, sizeof name);
    }
    TextRecord* label = CreateDrawingText(sheet, kTextKindSignal,
                                          hiddenPin ? kLabelFlagHiddenPin : 0, Point{0, 0}, name);
    if (!label) return nullptr;
    label->owner = SignalOwnerWord(signal);
    if (wire) AutoPositionSignalLabel(sheet, wire, segment, gMinusOnePoint, label);
    return label;
}

TextRecord* GetSignalWireSegLabel(SignalHandle signal, WireHandle wire, int32_t segment,
                                  bool hiddenPin, LinkListHeader* textList) {
    Rect r;
    if (!signal || !SegmentLabelRect(wire, segment, &r)) return nullptr;
    for (TextRecord* text = NextText(textList, nullptr); text; text = NextText(textList, text)) {
        if (!IsLabelOf(text, signal)) continue;
        if (((text->flags & kLabelFlagHiddenPin) != 0) != hiddenPin) continue;
        if (VXRectsOverlap(&text->bounds, &r)) return text;
    }
    return nullptr;
}

TextRecord* ShowSignalWireSegLabel(SheetRecord* sheet, SignalHandle signal, WireHandle wire,
                                   int32_t segment, Point pt, bool hiddenPin) {
    Rect r;
    if (!sheet || !SegmentLabelRect(wire, segment, &r)) return nullptr;
    TextRecord* label = GetSignalWireSegLabel(signal, wire, segment, hiddenPin, sheet->textList);
    if (!label) {
        label = CreateSignalWireLabel(sheet, signal, nullptr, segment, hiddenPin);
        if (!label) return nullptr;
        label->flags |= kLabelFlagShown;
    }
    const Rect before = label->bounds;
    AutoPositionSignalLabel(sheet, wire, segment, pt, label);
    InvalSheetView(sheet, &before);
    InvalSheetView(sheet, &label->bounds);
    return label;
}

void AutoPositionSignalLabel(SheetRecord* sheet, WireHandle wire, int32_t segment, Point pt,
                             TextRecord* label) {
    if (!label || !wire || CountWireSegments(wire) == 0) return;
    const int32_t segments = CountWireSegments(wire);
    if (segment < 0 || segment >= segments) segment = segments - 1;
    const int32_t s = label->flags & 3;
    const int32_t g =
        (label->flags & kLabelFlagOwnText) ? label->bounds.bottom - label->position.v - 3 : 0;
    const bool noPoint = pt.v == -1 && pt.h == -1;
    if (noPoint && segment == segments - 1 && IsWireEndBreakOut((*wire)->end1)) {
        ReverseWire(wire);
        segment = 0;
    }
    if (!noPoint || segment != 0 || !IsWireEndBreakOut((*wire)->end0)) {
        const int32_t offsets[4] = {-1 - g, g + 1, g + 1, -1 - g};
        PositionLabelAlongSegment(sheet, wire, segment, pt, label, offsets);
        return;
    }
    // At a break-out end: the label starts beside the end corner.
    const Point p0 = WireCorners(wire)[0], p1 = WireCorners(wire)[1];
    const int32_t o = CalcClosestLineOrient(p0, p1, true);
    uint16_t flags = uint16_t(label->flags & ~7);
    Point at{0, 0};
    if (IsOrientHorizontal(o)) {
        const bool below = s == 2;
        at.v = ClampCoordinate(below ? p0.v + g + 1 : p0.v - 1 - g);
        if (below) flags |= 2;
        at.h = ClampCoordinate(o == 2 ? p0.h + 4 : p0.h - 4);
        if ((o == 6 && !below) || (o == 2 && below)) flags |= kTextFlagRightAligned;
    } else {
        const bool left = s == 3;
        at.h = ClampCoordinate(left ? p0.h - 1 - g : p0.h + g + 1);
        flags |= left ? 3 : 1;
        at.v = ClampCoordinate(o == 4 ? p0.v + 4 : p0.v - 4);
        if ((o == 0 && !left) || (o == 4 && left)) flags |= kTextFlagRightAligned;
    }
    label->flags = flags;
    SetTextElementPosition(label, at);
    if (sheet) CalcTextBounds(sheet->window, label, sheet->stringBlock);
}

// ---- Selection and hit testing ----

// A wire is hit this many screen pixels either side of its line, at every zoom.
constexpr int32_t kSignalWireHitPixels = 3;

int32_t CalcDefaultSignalWireHitTestSlop(const SheetRecord* sheet) {
    return WireHitSlopForZoom(sheet ? sheet->viewScale : 100, kSignalWireHitPixels);
}

namespace {

// The hit of one signal: its bounds grown by 2 + slop (bottom and right one more) hold the point
// and a wire is hit.
WireHandle HitOneSignal(SignalHandle s, Point pt, int32_t slop, int32_t* segment, Point* hitPt) {
    Rect r = (*s)->bounds;
    if (VXEmptyRect(&r)) return nullptr;
    const int16_t grow = int16_t(2 + slop);
    VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    if (!VXPtInRect(pt, &r)) return nullptr;
    return HitTestWireList((*s)->wires, pt, slop, false, segment, hitPt);
}

}  // namespace

SignalHandle HitTestSignalList(SheetRecord* sheet, Point pt, int32_t slop, WireHandle* wire,
                               int32_t* segment, Point* hitPt) {
    if (wire) *wire = nullptr;
    if (segment) *segment = 0xFFFF;
    if (!sheet) return nullptr;
    if (slop < 0) slop = CalcDefaultSignalWireHitTestSlop(sheet);
    SignalHandle found = nullptr;
    WireHandle foundWire = nullptr;
    int32_t foundSegment = -1;
    Point foundPt = pt;
    // The signals near the point come in list order: the first hit is the first of the list.
    thread_local std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kSignal, SheetReachArea(pt, 3 + slop), &near);
    for (void* item : near) {
        auto s = static_cast<SignalHandle>(item);
        foundPt = pt;
        foundWire = HitOneSignal(s, pt, slop, &foundSegment, &foundPt);
        if (foundWire) {
            found = s;
            break;
        }
    }
    if (!found) return nullptr;
    if (wire) *wire = foundWire;
    if (segment) *segment = foundSegment;
    if (hitPt) *hitPt = foundPt;
    return found;
}

WireHandle GetSelectedSignalWire(SheetRecord* sheet, SignalHandle* signal) {
    void* owner = nullptr;
    std::vector<void*> owners;
    if (sheet) SheetSelectedItemsOf(sheet, SheetItemKind::kSignal, &owners);
    WireHandle wire = FindOnlySelectedWire(owners, &owner);
    if (signal) *signal = static_cast<SignalHandle>(owner);
    return wire;
}

WireHandle GetBreakOutWire(LinkListHeader* signalList, int32_t row, SignalHandle* signal,
                           int32_t* end) {
    if (signal) *signal = nullptr;
    if (row < 0 || row > kWireEndIndexMask) return nullptr;
    const auto word = uint16_t(kWireEndBreakOut | row);
    for (auto s = static_cast<SignalHandle>(LLFirst(signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(signalList, s))) {
        for (WireHandle w = FirstWire((*s)->wires); w; w = NextWire((*s)->wires, w)) {
            int32_t which = -1;
            if ((*w)->end1 == word) {
                which = 1;
            } else if ((*w)->end0 == word) {
                which = 0;
            }
            if (which < 0) continue;
            if (signal) *signal = s;
            if (end) *end = which;
            return w;
        }
    }
    return nullptr;
}

void ClearSignalHilite(SheetRecord* sheet, Rect* rect) {
    if (!sheet) return;
    std::vector<void*> owners;
    SheetSelectedItemsOf(sheet, SheetItemKind::kSignal, &owners);
    ClearOwnersHilite(owners, rect);
}

int32_t GetFloatingWireEnd(WireHandle wire, int32_t slop, Rect* rect) {
    if (!wire || (*wire)->cornerCount == 0) return 0;
    const int32_t end = IsWireEndFree((*wire)->end1) ? 1 : 0;
    const Point corner = end ? WireCorners(wire)[(*wire)->cornerCount - 1] : WireCorners(wire)[0];
    if (rect) {
        *rect = Rect{ClampCoordinate(corner.v - slop), ClampCoordinate(corner.h - slop),
                     ClampCoordinate(corner.v + slop + 1), ClampCoordinate(corner.h + slop + 1)};
    }
    return end;
}

// ---- Flashing ----

namespace {

void InvalidateFlashing(SheetRecord* sheet) {
    Rect r;
    if (sheet->flashingBuss) {
        r = (*sheet->flashingBuss)->bounds;
    } else if (sheet->flashingSignal) {
        r = (*sheet->flashingSignal)->bounds;
    } else {
        return;
    }
    if (VXEmptyRect(&r)) return;
    VXInsetRect(&r, -5, -5);
    InvalSheetView(sheet, &r);
}

}  // namespace

void SetupFlashingSignal(SheetRecord* sheet, SignalHandle signal, BussHandle buss) {
    if (!sheet || !sheet->window) return;
    if (sheet->flashingSignal == signal && sheet->flashingBuss == buss) return;
    InvalidateFlashing(sheet);
    if (signal || buss) {
        if (!sheet->flashTimer)
            sheet->flashTimer = StartTimer(kFlashIntervalMs, 0, FlashSignalTimerProc,
                                           reinterpret_cast<uintptr_t>(sheet));
        SetTimerNextFires(sheet->flashTimer, 0);
    } else if (sheet->flashTimer) {
        KillTimer(sheet->flashTimer);
        sheet->flashTimer = nullptr;
    }
    sheet->modifiedFlags &= uint8_t(~kSheetFlashPhase);
    sheet->flashingWire = nullptr;  // a found floating end flashes only with its own signal
    sheet->flashingSignal = signal;
    sheet->flashingBuss = buss;
}

void FlashSignalTimerProc(sVXTimerRecord*, uint64_t refcon) {
    auto* sheet = reinterpret_cast<SheetRecord*>(refcon);
    if (!sheet) return;
    InvalidateFlashing(sheet);
    sheet->modifiedFlags ^= kSheetFlashPhase;
}

}  // namespace plexa
