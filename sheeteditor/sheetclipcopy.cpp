// Copying objects between sheet records for the clipboard.
#include "sheeteditor/sheetclipcopy.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"

namespace plexa {

int32_t SnapToGrid(int32_t v, int32_t grid) {
    if (grid <= 1) return v;
    const int32_t q = v >= 0 ? (v + grid / 2) / grid : -((-v + grid / 2) / grid);
    return q * grid;
}

SymbolIndex::SymbolIndex(LinkListHeader* symbols) {
    for (auto* s = ListNext<SymbolRecord>(symbols, nullptr); s; s = ListNext(symbols, s)) bySerial_.emplace(s->serial, s);
}

SymbolRecord* SymbolIndex::Find(uint32_t serial) const {
    auto found = bySerial_.find(serial);
    return found == bySerial_.end() ? nullptr : found->second;
}

void SymbolIndex::Add(SymbolRecord* symbol) { bySerial_[symbol->serial] = symbol; }

SymbolRecord* SymbolIndex::WireEnd(WireHandle wire, void* owner, int32_t end, uint16_t* node, uint32_t* serial) const {
    if (node) *node = 0xFFFF;
    uint32_t number = 0;
    uint16_t pin = 0;
    if (!GetWireTerminalEntry(wire, owner, end, &number, &pin)) return nullptr;
    if (serial) *serial = number;
    SymbolRecord* symbol = Find(number);
    if (symbol && node) *node = pin;
    return symbol;
}

SheetRecord* CreateClipContent(SheetRecord* source) {
    SheetRecord* clip = CreateDrawing();
    if (!clip) return nullptr;
    if (source && source->stringBlock) {
        StringBlock copy = CloneHandle(gGenPool, source->stringBlock);
        if (copy) {
            DestroyStringBlock(clip->stringBlock);
            clip->stringBlock = copy;
            SetupPinDataTable(clip->pinDataTable, copy);
        }
    }
    if (source) {
        clip->view.gridSpacing = source->view.gridSpacing;
        clip->stored.resolution = source->stored.resolution;
    }
    return clip;
}

bool ClipHasContent(SheetRecord* content) {
    return content && (LLFirst(content->symbolList) || LLFirst(content->elementList) || LLFirst(content->textList) ||
                       LLFirst(content->textFrameList) || LLFirst(content->bussList));
}

int32_t SheetItemCopier::MapId(int32_t id) {
    if (id < 0) return id;
    SymbolMapEntry* entry = GetSymbolMapEntryPtr(from->symbolMap, id);
    if (!entry || !entry->definition) return -1;
    return AddSymbolToMap(to->symbolMap, entry->definition, int32_t(entry->size), from->imageList);
}

ComponentRecord* SheetItemCopier::Component(ComponentRecord* component) {
    if (!component) return nullptr;
    auto found = components.find(component);
    if (found != components.end()) return found->second;
    ComponentRecord* copy = DuplicateComponent(component);
    if (!copy) return nullptr;
    CompSymbolEntry* slots = CompSymbols(copy);
    for (int32_t i = 0; i < copy->symbolCount; ++i) {
        slots[i].mapId = MapId(slots[i].mapId);
        slots[i].secondMapId = MapId(slots[i].secondMapId);
    }
    if (moveStrings) (void)ChangeCompStringBlock(copy, from->stringBlock, to->stringBlock);  // kept as copied on failure
    (void)TransferCompPinTable(copy, from->pinDataTable, to->pinDataTable, true);  // ids kept on failure
    ComponentRecord* installed = AddCompToList(to->componentList, to->stringBlock, copy);
    if (installed == copy) added.push_back(installed);
    components[component] = installed;
    return installed;
}

SymbolRecord* SheetItemCopier::Symbol(const SymbolRecord* symbol) {
    SymbolRecord* copy = DuplicateSymbol(symbol);
    if (!copy) return nullptr;
    copy->next = nullptr;
    copy->flags &= ~(kSymbolFlagSelected | kSymbolFlagMarked);
    if (moveStrings) (void)ChangeSymbolStringBlock(copy, from->stringBlock, to->stringBlock);  // kept on failure
    copy->mapId = MapId(symbol->mapId);
    copy->secondMapId = MapId(symbol->secondMapId);
    copy->component = Component(symbol->component);
    return copy;
}

TextRecord* SheetItemCopier::Text(const TextRecord* text) {
    TextRecord* copy = DuplicateText2(text);
    if (!copy) return nullptr;
    if (text->style) copy->style = InstallStyleInList(text->style, to->styleList);
    if (moveStrings) (void)ChangeTextElementStringBlock(copy, from->stringBlock, to->stringBlock);  // kept on failure
    return copy;
}

TextFrameRecord** SheetItemCopier::Frame(TextFrameRecord** frame) {
    TextFrameHandle copy = DuplicateTextFrame(frame);
    if (!copy) return nullptr;
    if ((*frame)->style) (*copy)->style = InstallStyleInList((*frame)->style, to->styleList);
    return copy;
}

ElementRecord* SheetItemCopier::Element(const ElementRecord* element) {
    ElementRecord* copy = DuplicateElement(element, true, from->imageList, to->imageList);
    if (copy) copy->next = nullptr;
    return copy;
}

namespace {

// A wire end in the clip: a pin of a copied symbol becomes a pin entry of the clip's net, any
// other pin a free end; a break-out end stays when its buss goes along (the clip's break-out
// table keeps the row's id), else it becomes free.
template <class AddPin>
uint16_t CopyWireEnd(const SymbolIndex& symbols, BreakOutTable table, void* owner, WireHandle wire, int32_t end,
                     AddPin addPin) {
    const uint16_t word = end ? (*wire)->end1 : (*wire)->end0;
    if (IsWireEndJunction(word)) return word;
    if (IsWireEndTerminal(word)) {
        uint16_t node = 0;
        SymbolRecord* symbol = symbols.WireEnd(wire, owner, end, &node);
        if (symbol && (symbol->flags & kSymbolFlagMarked)) {
            const int32_t index = addPin(symbol, node);
            if (index >= 0) return uint16_t(index);
        }
        return kWireEndFree;
    }
    if (IsWireEndBreakOut(word)) {
        BreakOutRow row{};
        const bool kept = GetBreakOutRow(table, word & kWireEndIndexMask, &row) && row.buss &&
                          ((*row.buss)->flags & kBussFlagMarked);
        return kept ? word : kWireEndFree;
    }
    return word;
}

// The marked wires of a net, unmarked, unselected and moved, into the clip net's list.
template <class AddPin>
void CopyMarkedWires(const SymbolIndex& symbols, BreakOutTable table, void* owner, WireList from, WireList to,
                     Point offset, AddPin addPin) {
    for (WireHandle w = FirstWire(from); w; w = NextWire(from, w)) {
        if (!((*w)->flags & kWireFlagMarked)) continue;
        WireHandle wire = DuplicateWire(w);
        if (!wire) continue;
        (*wire)->flags &= uint16_t(~(kWireFlagMarked | kWireFlagSelected));
        (*wire)->end0 = CopyWireEnd(symbols, table, owner, w, 0, addPin);
        (*wire)->end1 = CopyWireEnd(symbols, table, owner, w, 1, addPin);
        OffsetWire(wire, offset.h, offset.v);
        LLAppend(to, wire);
    }
}

void CopySignals(SheetRecord* sheet, const SymbolIndex& symbols, SheetRecord* clip, Point offset, std::vector<std::pair<int64_t, int64_t>>* owners) {
    for (auto n = ListNext<void>(sheet->signalList, nullptr); n; n = ListNext(sheet->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        if (!((*signal)->flags & kSignalFlagHasMarked)) continue;
        SignalHandle copy = CreateSignal(nullptr);
        if (!copy) continue;
        LLAppend(clip->signalList, copy);
        (*copy)->name = (*signal)->name;
        CopyMarkedWires(symbols, sheet->breakOutTable, signal, (*signal)->wires, (*copy)->wires, offset,
                        [&](SymbolRecord* symbol, uint16_t node) { return AddPinToSignal(copy, symbol, node); });
        // The scope bits of the copied pins.
        for (int32_t i = 0; i < (*copy)->pinCount; ++i) {
            SignalPinEntry* pin = &SignalPins(copy)[i];
            for (int32_t j = 0; j < (*signal)->pinCount; ++j) {
                const SignalPinEntry& old = SignalPins(signal)[j];
                if (old.serial != pin->serial || old.node != pin->node) continue;
                pin->flags = old.flags;
                if (old.flags & kPinEntryPort) (*copy)->flags |= kSignalFlagPort;
                if (old.flags & kPinEntryModulePort) (*copy)->flags |= kSignalFlagModulePort;
            }
            pin->flags &= uint8_t(~kPinEntrySelected);
        }
        for (WireHandle w = FirstWire((*copy)->wires); w; w = NextWire((*copy)->wires, w))
            if (IsWireEndBreakOut((*w)->end0) || IsWireEndBreakOut((*w)->end1)) (*copy)->flags |= kSignalFlagBreakOut;
        CacheSignalJunctionDots(copy);
        CalcSignalBounds(copy);
        owners->emplace_back(SignalOwnerWord(signal), SignalOwnerWord(copy));
    }
}

void CopyBusses(SheetRecord* sheet, const SymbolIndex& symbols, SheetRecord* clip, Point offset, std::vector<std::pair<int64_t, int64_t>>* owners) {
    for (auto n = ListNext<void>(sheet->bussList, nullptr); n; n = ListNext(sheet->bussList, n)) {
        auto buss = static_cast<BussHandle>(n);
        if (!((*buss)->flags & kBussFlagMarked)) continue;
        BussHandle copy = CreateBuss(nullptr);
        if (!copy) continue;
        LLAppend(clip->bussList, copy);
        (*copy)->name = (*buss)->name;
        CopyMarkedWires(symbols, sheet->breakOutTable, buss, (*buss)->wires, (*copy)->wires, offset, [&](SymbolRecord* symbol, uint16_t node) {
            // The clip's strings are a copy of the sheet's: the terminal's name spec holds.
            StringSpec name = 0;
            for (int32_t i = 0; i < (*buss)->terminalCount; ++i) {
                const BussTerminal& t = BussTerminals(buss)[i];
                if (t.serial == symbol->serial && t.node == node) name = t.name;
            }
            return AddPinToBuss(copy, symbol, node, name);
        });
        CalcBussBounds(copy);
        owners->emplace_back(BussOwnerWord(buss), BussOwnerWord(copy));
    }
}

// The clip's break-out table: the sheet's rows that the clip's signal wires end on, re-pointed
// to the clip's busses and moved (row ids are kept, so the wire ends stay as they are).
void CopyBreakOuts(SheetRecord* sheet, SheetRecord* clip, Point offset,
                   const std::vector<std::pair<int64_t, int64_t>>& owners) {
    std::set<int32_t> used;
    for (auto n = ListNext<void>(clip->signalList, nullptr); n; n = ListNext(clip->signalList, n)) {
        WireList wires = (*static_cast<SignalHandle>(n))->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
            for (uint16_t word : {(*w)->end0, (*w)->end1})
                if (IsWireEndBreakOut(word)) used.insert(word & kWireEndIndexMask);
    }
    if (used.empty() || !sheet->breakOutTable) return;
    BreakOutTable table = DADuplicate(gGenPool, sheet->breakOutTable);
    if (!table) return;
    std::vector<int32_t> unused;
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(table, &id, &address)) {
        auto* row = reinterpret_cast<BreakOutRow*>(address);
        int64_t to = 0;
        for (auto [from, copy] : owners)
            if (from == BussOwnerWord(row->buss)) to = copy;
        if (!used.count(id) || !to) unused.push_back(id);
        else row->buss = reinterpret_cast<BussHandle>(to);
    }
    for (int32_t row : unused) DAFree(table, row);
    OffsetBreakOutTable(table, offset.h, offset.v);
    DestroyBreakOutTable(clip->breakOutTable);
    clip->breakOutTable = table;
}

bool IsWireMarked(const TextRecord* label) {
    int32_t segment = 0;
    WireHandle wire = GetWireFromWireLabel(label, &segment);
    return wire && ((*wire)->flags & kWireFlagMarked);
}

}  // namespace

void CopyMarkedItems(SheetRecord* sheet, SheetRecord* clip, Point offset) {
    SheetItemCopier copier{sheet, clip, false, {}, {}};
    // Elements, in the sheet's order.
    for (auto* e = ListNext<ElementRecord>(sheet->elementList, nullptr); e; e = ListNext(sheet->elementList, e)) {
        if (!(e->flags & kElementSelected)) continue;
        if (ElementRecord* copy = copier.Element(e)) {
            copy->flags &= uint16_t(~kElementSelected);
            OffsetElement(copy, offset);
            LLAppend(clip->elementList, copy);
        }
    }
    // Symbols, with their components and their designators in the sheet's context.
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s)) {
        if (!(s->flags & kSymbolFlagMarked)) continue;
        SymbolRecord* copy = copier.Symbol(s);
        if (!copy) continue;
        copy->position.h = int16_t(copy->position.h + offset.h);
        copy->position.v = int16_t(copy->position.v + offset.v);
        LLAppend(clip->symbolList, copy);
        char designator[kAnnotationTextSize] = {};
        const int32_t slot = GetSymbolAnnotation(sheet, s->serial, designator);
        if (designator[0]) SetSymbolAnnotation(clip, s->serial, designator, slot);
    }
    // Nets (the labels are re-pointed below).
    std::vector<std::pair<int64_t, int64_t>> owners;
    const SymbolIndex symbols(sheet->symbolList);
    CopySignals(sheet, symbols, clip, offset, &owners);
    CopyBusses(sheet, symbols, clip, offset, &owners);
    CopyBreakOuts(sheet, clip, offset, owners);
    auto newOwner = [&](int64_t owner) -> int64_t {
        for (auto [from, to] : owners)
            if (from == owner) return to;
        return 0;
    };
    // Texts: labels of copied wires, texts of copied symbols, selected texts; a selected text whose
    // owner stays behind arrives as a frame.
    for (auto* t = ListNext<TextRecord>(sheet->textList, nullptr); t; t = ListNext(sheet->textList, t)) {
        bool go = false, orphan = false;
        if (t->kind == kTextKindSignal || t->kind == kTextKindBuss) {
            go = t->owner && IsWireMarked(t);
            orphan = !go && (t->flags & kTextFlagSelected);
        } else if (t->kind & kTextKindSymbolOwned) {
            SymbolRecord* owner = symbols.Find(uint32_t(t->owner));
            go = owner && (owner->flags & kSymbolFlagMarked);
            orphan = !go && (t->flags & kTextFlagSelected);
        } else {
            go = (t->flags & kTextFlagSelected) != 0;
        }
        if (orphan) {
            char text[kTextStringSize];
            GetTextRecordString(t, sheet->stringBlock, text, sizeof text);
            if (TextFrameHandle frame = CreateTextFrame(text, -1, kEncodingUTF8)) {
                if (t->style) (*frame)->style = InstallStyleInList(t->style, clip->styleList);
                (*frame)->position = t->position;
                (*frame)->flags = uint16_t(t->flags & kFrameFlagsShared & ~kFrameFlagSelected);
                (*frame)->bounds = t->bounds;
                OffsetTextFrame(frame, offset.h, offset.v);
                LLAppend(clip->textFrameList, frame);
            }
            continue;
        }
        if (!go) continue;
        TextRecord* copy = copier.Text(t);
        if (!copy) continue;
        copy->flags &= uint16_t(~kTextFlagSelected);
        if (t->kind == kTextKindSignal || t->kind == kTextKindBuss) copy->owner = newOwner(t->owner);
        OffsetTextElement(copy, offset.h, offset.v);
        LLAppend(clip->textList, copy);
    }
    // Frames of copied symbols and selected frames.
    for (auto f = ListNext<void>(sheet->textFrameList, nullptr); f; f = ListNext(sheet->textFrameList, f)) {
        auto frame = static_cast<TextFrameHandle>(f);
        const uint32_t ownerSerial = (*frame)->owner;
        SymbolRecord* owner = ownerSerial ? symbols.Find(ownerSerial) : nullptr;
        const bool ownerGoes = owner && (owner->flags & kSymbolFlagMarked);
        const bool selected = ((*frame)->flags & kFrameFlagSelected) != 0;
        if (!ownerGoes && !selected) continue;
        TextFrameHandle copy = copier.Frame(frame);
        if (!copy) continue;
        (*copy)->flags &= uint16_t(~kFrameFlagSelected);
        if (!ownerGoes) (*copy)->owner = 0;
        OffsetTextFrame(copy, offset.h, offset.v);
        LLAppend(clip->textFrameList, copy);
    }
    for (auto* s = ListNext<SymbolRecord>(sheet->symbolList, nullptr); s; s = ListNext(sheet->symbolList, s))
        s->flags &= ~kSymbolFlagMarked;
}

}  // namespace plexa
