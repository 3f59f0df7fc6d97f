// Busses and break-outs; see busses.h.
#include "model/busses.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/assert.h"
#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wireintegrate.h"

namespace plexa {

namespace {

Handle AsHandle(BussHandle buss) { return reinterpret_cast<Handle>(buss); }

uint32_t TerminalsOffset(int32_t n) { return kBussHeadSize + uint32_t(n) * sizeof(BussTerminal); }

constexpr int32_t kMaxBussTerminals = kWireEndIndexMask + 1;

TextRecord* NextText(LinkListHeader* list, TextRecord* text) {
    return static_cast<TextRecord*>(text ? LLGetNext(list, text) : LLFirst(list));
}

bool IsLabelOf(const TextRecord* text, BussHandle buss) {
    return text->kind == kTextKindBuss && text->owner == BussOwnerWord(buss);
}

// Only signal wire ends refer to break-out rows: a buss wire meets a break-out by geometry. A
// buss wire that carries one anyway is a fault of its maker; outside assertion builds its end is
// made free.
void CheckBussWireEnds(WireHandle wire) {
    for (uint16_t* end : {&(*wire)->end0, &(*wire)->end1}) {
        PLEXA_ASSERT(!IsWireEndBreakOut(*end));
        if (IsWireEndBreakOut(*end)) *end = kWireEndFree;
    }
}

int32_t AddTerminal(BussHandle buss, uint32_t serial, uint16_t node, StringSpec name) {
    const int32_t count = (*buss)->terminalCount;
    for (int32_t i = 0; i < count; ++i) {
        const BussTerminal& t = BussTerminals(buss)[i];
        if (t.serial == serial && t.node == node) return i;
    }
    if (count >= kMaxBussTerminals) return -1;
    const BussTerminal terminal{serial, node, 0, 0, name};
    if (!InsertInHandle(AsHandle(buss), int32_t(TerminalsOffset(count)), &terminal,
                        sizeof terminal))
        return -1;
    (*buss)->terminalCount = uint16_t(count + 1);
    return count;
}

// Adds the terminal ends of a wire of one buss to another (end 1, then end 0) and gives the new
// end words; a terminal that cannot be added leaves the end free.
void CopyTerminalEnds(BussHandle from, BussHandle to, WireHandle wire, uint16_t* end0,
                      uint16_t* end1) {
    *end0 = (*wire)->end0;
    *end1 = (*wire)->end1;
    for (uint16_t* end : {end1, end0}) {
        if (!IsWireEndTerminal(*end)) continue;
        BussTerminal t;
        const int32_t index = GetBussPinTerminal(from, *end, &t)
                                  ? AddTerminal(to, t.serial, t.node, t.name)
                                  : -1;
        *end = index >= 0 ? uint16_t(index) : kWireEndFree;
    }
}

bool RowAt(BreakOutTable table, int32_t id, BreakOutRow* row) {
    return table && DAGet(table, id, row);
}

void SetRowBuss(BreakOutTable table, int32_t id, BussHandle buss) {
    BreakOutRow row;
    if (!RowAt(table, id, &row)) return;
    row.buss = buss;
    DAPut(table, id, &row);
}

bool PointOnBussWire(WireHandle wire, Point pt) {
    return HitTestOneWire(wire, pt, 0, true, nullptr) >= 0;
}

}  // namespace

// ---- Records and lists ----

BussHandle CreateBuss(LinkListHeader* list) {
    auto buss = reinterpret_cast<BussHandle>(CreateNetRecord(kBussHeadSize, 2));
    if (buss && list) LLPush(list, buss);
    return buss;
}

void FreeBussRecord(LinkListHeader*, void* item, void*, uint32_t) {
    auto buss = static_cast<BussHandle>(item);
    DestroyWireList((*buss)->wires);
    (*buss)->wires = nullptr;
}

void DestroyBuss(BussHandle buss) {
    if (!buss) return;
    FreeBussRecord(nullptr, buss, nullptr, 1);
    MemFree(AsHandle(buss));
}

LinkListHeader* CreateBussList() {
    if (InitWiresPool() != status::kNoErr) return nullptr;
    LinkListHeader* list = LLCreate(gWiresPool, kBussHeadSize, kLLHandles);
    if (list) LLSetFreeProc(list, FreeBussRecord);
    return list;
}

void DestroyBussList(LinkListHeader* list) { LLDispose(list, true); }

BussHandle DuplicateBuss(BussHandle buss) {
    if (!buss || InitWiresPool() != status::kNoErr) return nullptr;
    auto copy = reinterpret_cast<BussHandle>(CloneHandle(gWiresPool, AsHandle(buss)));
    if (!copy) return nullptr;
    (*copy)->link = nullptr;
    WireList wires = CreateWireList(copy, 2);
    (*copy)->wires = wires;
    if (!wires || !CopyWireList((*buss)->wires, wires)) {
        DestroyBuss(copy);
        return nullptr;
    }
    return copy;
}

StringSpec GetBussName(BussHandle buss, StringBlock block, char* buffer, int32_t size) {
    const StringSpec spec = buss ? (*buss)->name : 0;
    if (buffer && size > 0) ExtractStringSpec(spec, block, buffer, size);
    return spec;
}

StringSpec SetBussName(BussHandle buss, StringBlock block, const char* name) {
    if (!buss) return 0;
    const StringSpec spec = StoreNetName(block, name);
    if (spec == 0 && name && *name) return (*buss)->name;  // not stored: the name stays
    (*buss)->name = spec;
    return spec;
}

int32_t GetBussTerminalName(BussHandle buss, int32_t n, StringBlock block, char* buffer,
                            int32_t size) {
    BussTerminal t;
    if (GetBussPinTerminal(buss, n, &t) && t.name) {
        if (buffer && size > 0) ExtractStringSpec(t.name, block, buffer, size);
        return 0;
    }
    GetBussName(buss, block, buffer, size);
    return 1;
}

StringSpec SetBussTerminalName(BussHandle buss, int32_t n, StringBlock block, const char* name) {
    if (!GetBussPinTerminal(buss, n, nullptr)) return 0;
    const StringSpec spec = StoreNetName(block, name);
    if (spec == 0 && name && *name) return GetBussPinTerminal(buss, n, nullptr)->name;  // not stored: kept
    GetBussPinTerminal(buss, n, nullptr)->name = spec;
    return spec;
}

OSStatus ChangeBussStringBlock(BussHandle buss, StringBlock from, StringBlock to) {
    if (!buss) return status::kParamErr;
    std::vector<StringSpec> moved;
    moved.push_back(TransferStringSpec((*buss)->name, from, to, true));
    if (OSStatus st = StringBlockAddStatus()) return st;
    for (int32_t i = 0; i < (*buss)->terminalCount; ++i) {
        moved.push_back(TransferStringSpec(BussTerminals(buss)[i].name, from, to, true));
        if (OSStatus st = StringBlockAddStatus()) return st;
    }
    (*buss)->name = moved[0];
    for (int32_t i = 0; i < (*buss)->terminalCount; ++i) BussTerminals(buss)[i].name = moved[size_t(i) + 1];
    return status::kNoErr;
}

BussTerminal* GetBussPinTerminal(BussHandle buss, int32_t n, BussTerminal* terminal) {
    if (!buss || n < 0 || n >= (*buss)->terminalCount) return nullptr;
    BussTerminal* found = &BussTerminals(buss)[n];
    if (terminal) *terminal = *found;
    return found;
}

SymbolRecord* GetBussPinSymbol(LinkListHeader* symbolList, BussHandle buss, int32_t n) {
    BussTerminal t;
    if (!GetBussPinTerminal(buss, n, &t)) return nullptr;
    return RetrieveSerializedSymbol(symbolList, t.serial);
}

int32_t AddPinToBuss(BussHandle buss, const SymbolRecord* symbol, uint16_t node,
                     StringSpec nameSpec) {
    if (!buss || !symbol) return -1;
    return AddTerminal(buss, symbol->serial, node, nameSpec);
}

void DeleteBussPinTerminal(BussHandle buss, int32_t n) {
    if (!buss || n < 0 || n >= (*buss)->terminalCount) return;
    DeleteFromHandle(AsHandle(buss), int32_t(TerminalsOffset(n)), sizeof(BussTerminal));
    (*buss)->terminalCount = uint16_t((*buss)->terminalCount - 1);
    for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w))
        CheckBussWireEnds(w);
    RenumberWireTerminals((*buss)->wires, n);
}

void RemoveWireFromBuss(BussHandle buss, WireHandle wire, bool free) {
    if (!buss || !wire) return;
    CheckBussWireEnds(wire);
    if (IsWireEndTerminal((*wire)->end1)) DeleteBussPinTerminal(buss, (*wire)->end1);
    if (IsWireEndTerminal((*wire)->end0)) DeleteBussPinTerminal(buss, (*wire)->end0);
    LLRemoveOrFree((*buss)->wires, wire, nullptr, free);
}

void PurgeMissingBussPins(BussHandle buss, LinkListHeader* symbolList) {
    if (!buss) return;
    int32_t n = 0;
    while (n < (*buss)->terminalCount) {
        if (RetrieveSerializedSymbol(symbolList, BussTerminals(buss)[n].serial)) {
            ++n;
        } else {
            DeleteBussPinTerminal(buss, n);
        }
    }
}

bool IsNonPortBussTerminal(SheetRecord* sheet, BussHandle buss, int32_t n) {
    if (!sheet || n < 0 || n > kWireEndIndexMask) return false;
    SymbolRecord* symbol = GetBussPinSymbol(sheet->symbolList, buss, n);
    return symbol && !(symbol->flags & kSymbolFlagPort);
}

int32_t IsBussTerminalSegment(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                              int32_t segment, Point pt) {
    if (!wire) return -1;
    const int32_t segments = CountWireSegments(wire);
    const uint16_t e0 = (*wire)->end0, e1 = (*wire)->end1;
    const bool hasPoint = !(pt.v == -1 && pt.h == -1);
    if (hasPoint && segments == 1 && IsNonPortBussTerminal(sheet, buss, e0) &&
        IsNonPortBussTerminal(sheet, buss, e1)) {
        const int32_t corner = GetClosestSegSide(wire, 0, pt, nullptr, nullptr);
        return corner == 0 ? e0 : e1;
    }
    if (segment == 0 && IsWireEndTerminal(e0))
        return IsNonPortBussTerminal(sheet, buss, e0) ? e0 : -1;
    if (segments > 0 && segment == segments - 1 && IsWireEndTerminal(e1))
        return IsNonPortBussTerminal(sheet, buss, e1) ? e1 : -1;
    return -1;
}

BussHandle GetConnectedBuss(LinkListHeader* bussList, const SymbolRecord* symbol, uint16_t node,
                            WireHandle* wire, uint16_t* index) {
    if (wire) *wire = nullptr;
    if (index) *index = 0xFFFF;
    if (!symbol) return nullptr;
    for (auto b = static_cast<BussHandle>(LLFirst(bussList)); b;
         b = static_cast<BussHandle>(LLGetNext(bussList, b))) {
        const int32_t count = (*b)->terminalCount;
        for (int32_t i = 0; i < count; ++i) {
            const BussTerminal& t = BussTerminals(b)[i];
            if (t.serial != symbol->serial || t.node != node) continue;
            if (index) *index = uint16_t(i);
            if (wire) *wire = FirstWireAtTerminal((*b)->wires, i);
            return b;
        }
    }
    return nullptr;
}

void CalcBussBounds(BussHandle buss) {
    if (!buss) return;
    const SheetNetScope scope(buss);
    for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w))
        CheckBussWireEnds(w);
    Rect bounds;
    CalcWireListBounds((*buss)->wires, &bounds);
    if (!VXEqualRect(&(*buss)->bounds, &bounds)) NoteSheetNetChanged(buss);
    (*buss)->bounds = bounds;
}

void TransformBuss(BussHandle buss, Point centre, int32_t code) {
    if (!buss) return;
    TransformWireList((*buss)->wires, centre, code);
    CalcBussBounds(buss);
}

WireHandle CleanupBussWires(BussHandle buss, WireHandle referenceWire) {
    if (!buss) return referenceWire;
    for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w))
        CheckBussWireEnds(w);
    referenceWire = CleanupWireList((*buss)->wires, referenceWire, nullptr);
    CalcBussBounds(buss);
    return referenceWire;
}

void PurgeEmptyBuss(BussHandle buss, LinkListHeader* bussList, LinkListHeader* textList,
                    LinkListHeader* discardTextList, Rect* rect) {
    if (!buss || FirstWire((*buss)->wires)) return;
    TransferWireLabels(buss, kTextKindBuss, textList, discardTextList, nullptr, kTransferAllLabels,
                       rect);
    LLRemoveOrFree(bussList, buss, nullptr, false);
    DestroyBuss(buss);
}

void SplitBussGroups(BussHandle buss, LinkListHeader* bussList, BreakOutTable table,
                     LinkListHeader* symbolList, LinkListHeader* textList,
                     LinkListHeader* discardTextList, Rect* rect) {
    (void)symbolList;  // terminals are carried over by serial number
    if (!buss || !IsWireListFragmented((*buss)->wires, nullptr)) return;
    BussHandle current = buss;
    for (;;) {
        BussHandle split = CreateBuss(bussList);
        if (!split) break;
        (*split)->name = (*current)->name;
        if (textList) {
            std::vector<TextRecord*> aside;
            TextRecord* previous = nullptr;
            TextRecord* text = NextText(textList, nullptr);
            while (text) {
                TextRecord* next = NextText(textList, text);
                WireHandle on = IsLabelOf(text, current) ? GetWireFromWireLabel(text, nullptr) : nullptr;
                if (on && ((*on)->flags & kWireFlagMarked)) {
                    LLRemoveOrFree(textList, text, previous, false);
                    aside.push_back(text);
                } else {
                    previous = text;
                }
                text = next;
            }
            ChangeTextReferences(textList, kTextKindBuss, BussOwnerWord(current),
                                 BussOwnerWord(split), nullptr);
            for (TextRecord* t : aside) LLPush(textList, t);
        }
        WireList wires = (*current)->wires;
        WireHandle w = FirstWire(wires);
        while (w) {
            WireHandle next = NextWire(wires, w);
            if (!((*w)->flags & kWireFlagMarked)) {
                uint16_t end0 = 0, end1 = 0;
                CopyTerminalEnds(current, split, w, &end0, &end1);
                RemoveWireFromBuss(current, w, false);
                (*w)->end0 = end0;
                (*w)->end1 = end1;
                LLPush((*split)->wires, w);
                ForEachBreakOutRow(table, [&](int32_t id, const BreakOutRow& row) {
                    if (row.buss == current && PointOnBussWire(w, row.first))
                        SetRowBuss(table, id, split);
                });
            }
            w = next;
        }
        CleanupBussWires(current, nullptr);
        if (!FirstWire((*current)->wires)) {
            ChangeBreakoutReferences(table, current, nullptr);
            PurgeEmptyBuss(current, bussList, textList, discardTextList, rect);
        }
        current = split;
        if (!IsWireListFragmented((*current)->wires, nullptr)) break;
    }
    CleanupBussWires(current, nullptr);
    if (!FirstWire((*current)->wires)) {
        ChangeBreakoutReferences(table, current, nullptr);
        PurgeEmptyBuss(current, bussList, textList, discardTextList, rect);
    }
}

void CombineBusses(SheetRecord* sheet, BussHandle from, BussHandle to) {
    if (!sheet || !from || !to || from == to) return;
    if (!(*to)->name) (*to)->name = (*from)->name;
    ChangeBreakoutReferences(sheet->breakOutTable, from, to);
    Rect rect;
    VXSetEmptyRect(&rect);
    while (auto wire = static_cast<WireHandle>(LLPop((*from)->wires, false))) {
        CheckBussWireEnds(wire);
        uint16_t end0 = 0, end1 = 0;
        CopyTerminalEnds(from, to, wire, &end0, &end1);
        (*wire)->end0 = end0;
        (*wire)->end1 = end1;
        IntegrateWire(wire, (*to)->wires, kIntegrateSpliceListEnds, sheet, &rect);
    }
    CleanupBussWires(to, nullptr);
    LLRemoveOrFree(sheet->bussList, from, nullptr, false);
    DestroyBuss(from);
    ChangeTextReferences(sheet->textList, kTextKindBuss, BussOwnerWord(from), BussOwnerWord(to),
                         nullptr);
    UpdateBussNameLabels(sheet, to, true);
}

void UpdateBussNameLabels(SheetRecord* sheet, BussHandle buss, bool quiet) {
    if (!sheet || !buss) return;
    char bussName[kStringSpecBufferSize];
    GetBussName(buss, sheet->stringBlock, bussName, sizeof bussName);
    Rect rect;
    VXSetEmptyRect(&rect);
    TextRecord* previous = nullptr;
    TextRecord* text = NextText(sheet->textList, nullptr);
    while (text) {
        TextRecord* next = NextText(sheet->textList, text);
        char wanted[kStringSpecBufferSize];
        bool concerned = false;
        if (IsLabelOf(text, buss)) {
            concerned = true;
            std::strcpy(wanted, bussName);
            int32_t segment = -1;
            if (WireHandle wire = GetWireFromWireLabel(text, &segment)) {
                const int32_t terminal =
                    IsBussTerminalSegment(sheet, buss, wire, segment, text->position);
                if (terminal >= 0)
                    GetBussTerminalName(buss, terminal, sheet->stringBlock, wanted, sizeof wanted);
            }
        } else if (text->kind == kTextKindNetSymbol) {
            SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, uint32_t(text->owner));
            if (symbol && (symbol->flags & kSymbolFlagBussPort) && !symbol->kind.spec &&
                GetConnectedBuss(sheet->bussList, symbol, 0, nullptr, nullptr) == buss) {
                concerned = true;
                std::strcpy(wanted, bussName);
            }
        }
        if (!concerned) {
            previous = text;
            text = next;
            continue;
        }
        if (!wanted[0]) {
            if (quiet) {
                SetTextVisibility(text, true, false);
            } else {
                AddToUpdateRect(&rect, text->bounds);
            }
            LLRemoveOrFree(sheet->textList, text, previous, true);
            text = next;
            continue;
        }
        ReplaceLabelText(sheet, text, wanted, quiet, &rect);
        previous = text;
        text = next;
    }
    if (!quiet && sheet->window && !VXEmptyRect(&rect)) InvalSheetView(sheet, &rect);
}

// ---- Member ranges ----

int32_t GetNetNameRange(const char* name, char* base, int32_t* first, int32_t* count) {
    int32_t firstIndex = 0, n = 0;
    auto fail = [&]() {
        if (first) *first = 0;
        if (count) *count = 0;
        return 0;
    };
    if (first) *first = 0;
    if (count) *count = 0;
    char cut[kNetNameBaseLength + 1];
    StrNCpy(cut, sizeof cut, name ? name : "", kNetNameBaseLength);
    char* bracket = std::strchr(cut, '[');
    if (!bracket) {
        if (base) std::memcpy(base, cut, std::strlen(cut) + 1);
        return 0;
    }
    const auto offset = size_t(bracket - cut);
    *bracket = 0;
    TrimSpacesC(cut);
    if (base) std::memcpy(base, cut, std::strlen(cut) + 1);
    const char* p = name + offset + 1;
    auto skipSpaces = [&p]() {
        while (*p == ' ') ++p;
    };
    // A bound of 0..9999; -1 for anything else.
    auto bound = [&p]() -> int32_t {
        if (*p < '0' || *p > '9') return -1;
        int32_t value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (value > kNetRangeLimit) return -1;
        }
        return value;
    };
    skipSpaces();
    firstIndex = bound();
    if (firstIndex < 0) return fail();
    n = 1;
    skipSpaces();
    if (*p == ']') {
        if (first) *first = firstIndex;
        if (count) *count = n;
        return 1;
    }
    if (p[0] == '.' && p[1] == '.') {
        p += 2;
    } else if (*p == ':') {
        ++p;
    } else {
        return fail();
    }
    skipSpaces();
    int32_t second = bound();
    if (second < 0) return fail();
    if (second < firstIndex) std::swap(firstIndex, second);
    n = second - firstIndex + 1;
    skipSpaces();
    if (*p != ']') return fail();
    if (first) *first = firstIndex;
    if (count) *count = n;
    return 1;
}

namespace {

StringBlock CollectionBlock(BusMembersCollection collection) {
    return reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(collection)));
}

// The spec that stands, in a search key, for the name being looked up (not yet in the block).
constexpr StringSpec kPendingMember = 0xFFFFFFFF;
const char* gPendingMemberName = nullptr;

// A member's name: the pending name, or the text of its spec.
const char* MemberName(StringSpec spec, StringBlock block, char* buffer) {
    if (spec == kPendingMember) return gPendingMemberName ? gPendingMemberName : "";
    ExtractStringSpec(spec, block, buffer, kStringSpecBufferSize);
    return buffer;
}

}  // namespace

int CompareBusMembersProc(DAHeader** collection, const void* a, const void* b) {
    BusMemberEntry ea, eb;
    std::memcpy(&ea, a, sizeof ea);
    std::memcpy(&eb, b, sizeof eb);
    if (ea.name == eb.name) return 0;
    char na[kStringSpecBufferSize], nb[kStringSpecBufferSize];
    StringBlock block = CollectionBlock(collection);
    return StrCmpAlphaNumeric(MemberName(ea.name, block, na), MemberName(eb.name, block, nb), false);
}

void CollectOneBusMember(const char* name, uint8_t source, BusMembersCollection collection,
                         StringBlock block) {
    if (!collection || !name || !*name) return;
    // Look the name up before it is stored, so that repeated names cost nothing.
    BusMemberEntry key{kPendingMember, source, 0};
    gPendingMemberName = name;
    const int32_t found = DASearch(collection, -1, &key, 0);
    gPendingMemberName = nullptr;
    if (!(uint32_t(found) & kDANotFound)) {
        BusMemberEntry existing;
        DAGet(collection, found, &existing);
        existing.source = uint8_t(existing.source | source);
        DAPut(collection, found, &existing);
        return;
    }
    if (DACount(collection) >= kBusMembersLimit) return;
    const StringSpec spec = AppendStringBlock(block, name, uint32_t(std::strlen(name)), nullptr);
    if (!spec) return;
    const BusMemberEntry entry{spec, source, 0};
    DAAdd(collection, &entry);
}

void CollectRangeMembers(const char* name, uint8_t source, BusMembersCollection collection,
                         StringBlock block) {
    char base[kNetNameBaseLength + 1];
    int32_t first = 0, count = 0;
    if (!GetNetNameRange(name, base, &first, &count)) return;
    for (int32_t i = 0; i < count && DACount(collection) < kBusMembersLimit; ++i) {
        char member[kBusMemberNameSize];
        std::snprintf(member, sizeof member, "%s%d", base, first + i);
        CollectOneBusMember(member, source, collection, block);
    }
}

BusMembersCollection CollectBusMemberInfo(SheetRecord* sheet, BussHandle buss) {
    if (!sheet || !buss) return nullptr;
    StringBlock block = CreateStringBlock(gGenPool, 256);
    if (!block) return nullptr;
    BusMembersCollection collection =
        DACreate(gGenPool, sizeof(BusMemberEntry), 0, kDAUnique | kDASorted | kDACompareEx);
    if (!collection) {
        DestroyStringBlock(block);
        return nullptr;
    }
    DASetRefCon(collection, uint64_t(uintptr_t(block)));
    DASetCompareProcEx(collection, CompareBusMembersProc);
    char name[kStringSpecBufferSize];
    bool portShowedBussName = false;
    for (int32_t i = 0; i < (*buss)->terminalCount; ++i) {
        const BussTerminal t = BussTerminals(buss)[i];
        SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, t.serial);
        if (symbol && (symbol->flags & kSymbolFlagBussPort)) {
            const bool showsBussName = GetPortSymbolName(sheet, symbol, buss, name, sizeof name) != 0;
            if (showsBussName) {
                if (portShowedBussName) continue;
                portShowedBussName = true;
            }
            CollectRangeMembers(name, kMemberFromPort, collection, block);
        } else if (t.name) {
            ExtractStringSpec(t.name, sheet->stringBlock, name, sizeof name);
            CollectRangeMembers(name, kMemberFromTerminal, collection, block);
        }
    }
    if ((*buss)->terminalCount == 0 || !portShowedBussName) {
        GetBussName(buss, sheet->stringBlock, name, sizeof name);
        CollectRangeMembers(name, kMemberFromBussName, collection, block);
    }
    ForEachBreakOutRow(sheet->breakOutTable, [&](int32_t id, const BreakOutRow& row) {
        if (row.buss != buss) return;
        SignalHandle signal = nullptr;
        if (!GetBreakOutWire(sheet->signalList, id, &signal, nullptr) || !signal) return;
        GetSignalName(signal, sheet->stringBlock, name, sizeof name);
        CollectOneBusMember(name, kMemberFromBreakOut, collection, block);
    });
    if (DACount(collection) == 0) {
        DestroyBusMembersCollection(collection);
        return nullptr;
    }
    return collection;
}

int32_t CountBusMembers(BusMembersCollection collection) { return DACount(collection); }

int32_t GetCollectedBusMemberInfo(BusMembersCollection collection, int32_t i, char* buffer) {
    BusMemberEntry entry;
    if (buffer) buffer[0] = 0;
    if (!collection || !DAGet(collection, i, &entry)) return -1;
    if (buffer) ExtractStringSpec(entry.name, CollectionBlock(collection), buffer, kBusMemberNameSize);
    return entry.source;
}

void DestroyBusMembersCollection(BusMembersCollection collection) {
    if (!collection) return;
    DestroyStringBlock(CollectionBlock(collection));
    DADispose(collection);
}

// ---- Break-outs ----

BreakOutTable CreateBreakOutTable() { return DACreate(gGenPool, sizeof(BreakOutRow), 0, 0); }

void DestroyBreakOutTable(BreakOutTable table) {
    if (table) DADispose(table);
}

int32_t AddBussBreakout(BreakOutTable table, BussHandle buss, Point first, Point second) {
    if (!table) return -1;
    const BreakOutRow row{first, second, buss, 0};
    const int32_t id = DAAdd(table, &row);
    return id <= kWireEndIndexMask ? id : -1;
}

bool GetBreakOutRow(BreakOutTable table, int32_t row, BreakOutRow* out) {
    return RowAt(table, row, out);
}

bool BussLineHasBreakOuts(BreakOutTable table, BussHandle buss, WireHandle wire) {
    bool found = false;
    ForEachBreakOutRow(table, [&](int32_t, const BreakOutRow& row) {
        if (!found && row.buss == buss && PointOnBussWire(wire, row.first)) found = true;
    });
    return found;
}

bool BussLineHasExclusiveBreakOuts(BreakOutTable table, BussHandle buss, WireHandle wire) {
    if (!buss || !wire) return false;
    WireList list = (*buss)->wires;
    const int32_t position = LLGetLinkPosition(list, wire);
    if (position < 0) return false;
    LLRemoveOrFree(list, wire, nullptr, false);
    bool found = false;
    ForEachBreakOutRow(table, [&](int32_t, const BreakOutRow& row) {
        if (found || row.buss != buss || !PointOnBussWire(wire, row.first)) return;
        int32_t segment = -1;
        if (!HitTestWireList(list, row.first, 0, true, &segment, nullptr)) found = true;
    });
    LLInsertAt(list, position, wire);
    return found;
}

WireHandle GetBussLineSegWithBreakOut(BreakOutTable table, int32_t rowId, int32_t horizontal,
                                      bool markedOnly, int32_t* segment) {
    BreakOutRow row;
    if (!RowAt(table, rowId, &row) || !row.buss) return nullptr;
    WireList list = (*row.buss)->wires;
    WireHandle remembered = nullptr;
    int32_t rememberedSegment = -1;
    const Point pt = row.first;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        if (markedOnly && !((*w)->flags & kWireFlagMarked)) continue;
        if (!VXPtInRect(pt, &(*w)->bounds)) continue;
        const int32_t seg = HitTestOneWire(w, pt, 0, false, nullptr);
        if (seg < 0) continue;
        if (segment) *segment = seg;
        if (horizontal < 0) return w;
        const bool isHorizontal = IsOrientHorizontal(GetWireSegOrient(w, seg, false));
        if (isHorizontal == (horizontal != 0)) return w;
        Point next[2];
        if (GetWireSegment(w, seg + 1, next) && next[0].v == pt.v && next[0].h == pt.h) {
            const int32_t code = CalcLineOrient(next[0], next[1]);
            if ((IsOrientHorizontal(code) || IsOrientVertical(code)) &&
                IsOrientHorizontal(code) == (horizontal != 0)) {
                if (segment) *segment = seg + 1;
                return w;
            }
        }
        remembered = w;
        rememberedSegment = seg;
    }
    if (remembered && segment) *segment = rememberedSegment;
    return remembered;
}

void CompactBreakOutTable(BreakOutTable table, LinkListHeader* signalList) {
    if (!table) return;
    DAArray map = DACompact(table, true);
    if (!map) return;
    for (auto s = static_cast<SignalHandle>(LLFirst(signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(signalList, s))) {
        for (WireHandle w = FirstWire((*s)->wires); w; w = NextWire((*s)->wires, w)) {
            for (uint16_t* end : {&(*w)->end0, &(*w)->end1}) {
                if (!IsWireEndBreakOut(*end)) continue;
                const int32_t moved = DAMapOldId(map, *end & kWireEndIndexMask);
                *end = uint16_t(kWireEndBreakOut | (moved & kWireEndIndexMask));
            }
        }
    }
    DADispose(map);
}

void PurgeUnusedBreakOuts(BreakOutTable table, LinkListHeader* signalList) {
    if (!table) return;
    for (auto s = static_cast<SignalHandle>(LLFirst(signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(signalList, s))) {
        for (WireHandle w = FirstWire((*s)->wires); w; w = NextWire((*s)->wires, w)) {
            for (uint16_t end : {(*w)->end0, (*w)->end1}) {
                BreakOutRow row;
                if (!IsWireEndBreakOut(end) || !RowAt(table, end & kWireEndIndexMask, &row))
                    continue;
                row.flags |= kBreakOutInUse;
                DAPut(table, end & kWireEndIndexMask, &row);
            }
        }
    }
    std::vector<int32_t> unused;
    ForEachBreakOutRow(table, [&](int32_t id, const BreakOutRow& row) {
        if (row.flags & kBreakOutInUse) {
            BreakOutRow cleared = row;
            cleared.flags &= uint16_t(~kBreakOutInUse);
            DAPut(table, id, &cleared);
        } else {
            unused.push_back(id);
        }
    });
    for (int32_t id : unused) DARemove(table, id);
}

void OffsetBreakOutTable(BreakOutTable table, int16_t dh, int16_t dv) {
    ForEachBreakOutRow(table, [&](int32_t id, const BreakOutRow& row) {
        BreakOutRow moved = row;
        VXOffsetPoints(&moved.first, 1, dh, dv);
        VXOffsetPoints(&moved.second, 1, dh, dv);
        DAPut(table, id, &moved);
    });
}

void ChangeBreakoutReferences(BreakOutTable table, BussHandle oldBuss, BussHandle newBuss) {
    ForEachBreakOutRow(table, [&](int32_t id, const BreakOutRow& row) {
        if (row.buss == oldBuss) SetRowBuss(table, id, newBuss);
    });
}

// ---- Labels ----

TextRecord* CreateBussWireLabel(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                                int32_t segment, bool place) {
    if (!sheet || !buss) return nullptr;
    char name[kStringSpecBufferSize];
    const int32_t terminal =
        wire ? IsBussTerminalSegment(sheet, buss, wire, segment, gMinusOnePoint) : -1;
    if (terminal >= 0 && CountWireSegments(wire) > 1) {
        GetBussTerminalName(buss, terminal, sheet->stringBlock, name, sizeof name);
    } else {
        GetBussName(buss, sheet->stringBlock, name, sizeof name);
    }
    if (!name[0]) return nullptr;
    TextRecord* label = CreateDrawingText(sheet, kTextKindBuss, 0, Point{0, 0}, name);
    if (!label) return nullptr;
    label->owner = BussOwnerWord(buss);
    if (place && wire) AutoPositionBussLabel(sheet, wire, segment, gMinusOnePoint, label);
    return label;
}

TextRecord* GetBussWireSegLabel(BussHandle buss, WireHandle wire, int32_t segment,
                                LinkListHeader* textList) {
    Rect r;
    if (!buss || !SegmentLabelRect(wire, segment, &r)) return nullptr;
    for (TextRecord* text = NextText(textList, nullptr); text; text = NextText(textList, text))
        if (IsLabelOf(text, buss) && VXRectsOverlap(&text->bounds, &r)) return text;
    return nullptr;
}

TextRecord* ShowBussWireSegLabel(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                                 int32_t segment, Point pt) {
    Rect r;
    if (!sheet || !SegmentLabelRect(wire, segment, &r)) return nullptr;
    TextRecord* label = GetBussWireSegLabel(buss, wire, segment, sheet->textList);
    if (!label) {
        label = CreateBussWireLabel(sheet, buss, wire, segment, false);
        if (!label) return nullptr;
        label->flags |= kLabelFlagShown;
    }
    const Rect before = label->bounds;
    AutoPositionBussLabel(sheet, wire, segment, pt, label);
    InvalSheetView(sheet, &before);
    InvalSheetView(sheet, &label->bounds);
    return label;
}

void AutoPositionBussLabel(SheetRecord* sheet, WireHandle wire, int32_t segment, Point pt,
                           TextRecord* label) {
    const int32_t segments = CountWireSegments(wire);
    if (!label || segments == 0) return;
    if (segment < 0 || segment >= segments) segment = segments - 1;
    const int32_t offsets[4] = {-2, 1, 1, -2};
    PositionLabelAlongSegment(sheet, wire, segment, pt, label, offsets);
}

// ---- Selection and hit testing ----

// A buss line is hit this many screen pixels either side of its line (its thick pen adds one
// unit), at every zoom.
constexpr int32_t kBussWireHitPixels = 2;

int32_t CalcDefaultBussWireHitTestSlop(const SheetRecord* sheet) {
    return WireHitSlopForZoom(sheet ? sheet->viewScale : 100, kBussWireHitPixels);
}

BussHandle HitTestBussList(SheetRecord* sheet, Point pt, int32_t slop, bool orthogonalOnly,
                           WireHandle* wire, int32_t* segment, Point* hitPt) {
    if (wire) *wire = nullptr;
    if (segment) *segment = 0xFFFF;
    if (!sheet) return nullptr;
    if (slop < 0) slop = CalcDefaultBussWireHitTestSlop(sheet);
    thread_local std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kBuss, SheetReachArea(pt, slop + 2), &near);
    for (void* item : near) {
        auto b = static_cast<BussHandle>(item);
        Rect r = (*b)->bounds;
        if (VXEmptyRect(&r)) continue;
        VXInsetRect(&r, int16_t(-slop), int16_t(-slop));
        r.bottom = int16_t(r.bottom + 1);
        r.right = int16_t(r.right + 1);
        if (!VXPtInRect(pt, &r)) continue;
        int32_t seg = -1;
        Point hit = pt;
        WireHandle w = HitTestWireList((*b)->wires, pt, slop, orthogonalOnly, &seg, &hit);
        if (!w) continue;
        if (wire) *wire = w;
        if (segment) *segment = seg;
        if (hitPt) *hitPt = hit;
        return b;
    }
    return nullptr;
}

void ClearBussHilite(SheetRecord* sheet, Rect* rect) {
    if (!sheet) return;
    std::vector<void*> owners;
    SheetSelectedItemsOf(sheet, SheetItemKind::kBuss, &owners);
    ClearOwnersHilite(owners, rect);
}

WireHandle GetSelectedBussLine(SheetRecord* sheet, BussHandle* buss) {
    void* owner = nullptr;
    std::vector<void*> owners;
    if (sheet) SheetSelectedItemsOf(sheet, SheetItemKind::kBuss, &owners);
    WireHandle wire = FindOnlySelectedWire(owners, &owner);
    if (buss) *buss = static_cast<BussHandle>(owner);
    return wire;
}

// ---- Break-out naming sequence ----

void ClearBreakoutSequence(SheetRecord* sheet) {
    if (!sheet) return;
    sheet->breakoutSequenceBuss = nullptr;
    sheet->breakoutSequenceName[0] = 0;
}

void SetBreakoutSequence(SheetRecord* sheet, BussHandle buss, const char* name) {
    if (!sheet) return;
    sheet->breakoutSequenceBuss = buss;
    StrNCpy(sheet->breakoutSequenceName, sizeof sheet->breakoutSequenceName, name ? name : "",
            int16_t(kStringSpecMaxLength));
}

int32_t AdvanceBreakoutSequenceName(SheetRecord* sheet, BussHandle buss, char* buffer,
                                    int32_t size) {
    if (buffer && size > 0) buffer[0] = 0;
    if (!sheet) return 0;
    const char* last = sheet->breakoutSequenceName;
    int32_t digitsStart = 0;
    const int32_t number = buss && buss == sheet->breakoutSequenceBuss && last[0]
                               ? GetTrailingNumber(last, 0, &digitsStart)
                               : -1;
    char next[kStringSpecBufferSize + 16];
    int written = -1;
    if (number >= 0 && number < INT32_MAX) {
        const auto digits = int32_t(std::strlen(last)) - digitsStart;
        written = std::snprintf(next, sizeof next, "%.*s%0*d", int(digitsStart), last, int(digits),
                                int(number + 1));
    }
    if (written <= 0 || written > int(kStringSpecMaxLength)) {
        ClearBreakoutSequence(sheet);
        return 0;
    }
    std::memcpy(sheet->breakoutSequenceName, next, size_t(written) + 1);
    if (buffer && size > 0)
        StrNCpy(buffer, size_t(size), next, int16_t(std::min<int32_t>(size - 1, INT16_MAX)));
    return 1;
}

}  // namespace plexa
