// Components: layout, making and freeing, and the pin-data ids of symbols and hidden pins.
#include "model/components.h"

#include "foundation/ll.h"
#include "foundation/memory.h"

namespace plexa {

namespace {

constexpr size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

size_t SymbolsAt() { return sizeof(ComponentRecord); }
size_t SectionsAt(const ComponentRecord* c) { return SymbolsAt() + c->symbolCount * sizeof(CompSymbolEntry); }
size_t PackagesAt(const ComponentRecord* c) {
    return SectionsAt(c) + c->sectionCount * sizeof(ComponentSection*);
}
size_t HiddenAt(const ComponentRecord* c) {
    return Align8(PackagesAt(c) + c->packageCount * kCompPackageSize);
}
size_t NamesAt(const ComponentRecord* c) { return HiddenAt(c) + c->pinSetCount * sizeof(CompHiddenPin*); }
size_t TotalSize(const ComponentRecord* c) {
    return NamesAt(c) + size_t(c->nameCount > 0 ? c->nameCount : 0) * sizeof(StringSpec);
}

char* Base(ComponentRecord* c) { return reinterpret_cast<char*>(c); }

// The u32 slot of a pin's id, or none.
uint32_t* PinIdSlot(ComponentRecord* c, int32_t pinSet, uint16_t symbol, int32_t pin) {
    if (!c || pin < 0) return nullptr;
    if (symbol == kCompHiddenPins) {
        if (pinSet < 0 || pinSet >= c->pinSetCount) return nullptr;
        CompHiddenPin* table = CompHiddenPins(c)[pinSet];
        if (!table || uint32_t(pin) >= SizeOfPtr(table) / sizeof(CompHiddenPin)) return nullptr;
        return &table[pin].pinDataId;
    }
    if (symbol >= c->symbolCount) return nullptr;
    uint32_t* ids = CompSymbols(c)[symbol].pinDataIds;
    if (!ids || uint32_t(pin) >= SizeOfPtr(ids) / sizeof(uint32_t)) return nullptr;
    return &ids[pin];
}

}  // namespace

CompSymbolEntry* CompSymbols(ComponentRecord* c) {
    return reinterpret_cast<CompSymbolEntry*>(Base(c) + SymbolsAt());
}
ComponentSection** CompSections(ComponentRecord* c) {
    return reinterpret_cast<ComponentSection**>(Base(c) + SectionsAt(c));
}
uint8_t* CompPackages(ComponentRecord* c) { return reinterpret_cast<uint8_t*>(Base(c) + PackagesAt(c)); }
CompHiddenPin** CompHiddenPins(ComponentRecord* c) {
    return reinterpret_cast<CompHiddenPin**>(Base(c) + HiddenAt(c));
}
StringSpec* CompNames(ComponentRecord* c) { return reinterpret_cast<StringSpec*>(Base(c) + NamesAt(c)); }

ComponentRecord* CreateComponent(int32_t packages, int32_t pinSets, int32_t symbols,
                                 int32_t sections, int32_t names) {
    if (packages < 0 || packages > 255 || pinSets < 0 || pinSets > 255 || symbols < 0 ||
        symbols > 255 || sections < 0 || sections > 255 || names < 0 || names > 0x7FFF)
        return nullptr;
    ComponentRecord counts{};
    counts.packageCount = uint8_t(packages);
    counts.pinSetCount = uint8_t(pinSets);
    counts.symbolCount = uint8_t(symbols);
    counts.sectionCount = uint8_t(sections);
    counts.nameCount = int16_t(names);
    auto* c = reinterpret_cast<ComponentRecord*>(AllocPtrClear(gGenPool, uint32_t(TotalSize(&counts))));
    if (!c) return nullptr;
    *c = counts;
    return c;
}

void FreeInternalCompStructures(LinkListHeader*, void* item, void*, uint32_t) {
    auto* c = static_cast<ComponentRecord*>(item);
    if (!c) return;
    for (int32_t i = 0; i < c->symbolCount; ++i) {
        if (CompSymbols(c)[i].pinDataIds) MemFreePtr(CompSymbols(c)[i].pinDataIds);
        CompSymbols(c)[i].pinDataIds = nullptr;
    }
    for (int32_t i = 0; i < c->sectionCount; ++i) {
        if (CompSections(c)[i]) MemFreePtr(CompSections(c)[i]);
        CompSections(c)[i] = nullptr;
    }
    for (int32_t i = 0; i < c->pinSetCount; ++i) {
        if (CompHiddenPins(c)[i]) MemFreePtr(CompHiddenPins(c)[i]);
        CompHiddenPins(c)[i] = nullptr;
    }
}

void FreeComponent(ComponentRecord* component) {
    if (!component) return;
    FreeInternalCompStructures(nullptr, component, nullptr, 0);
    MemFreePtr(component);
}

LinkListHeader* CreateComponentList() {
    LinkListHeader* list = LLCreate(gGenPool, sizeof(ComponentRecord), 0);
    if (list) LLSetFreeProc(list, FreeInternalCompStructures);
    return list;
}

void DestroyCompList(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

int32_t CountCompSymbolPins(ComponentRecord* c, int32_t pinSet, uint16_t symbol) {
    if (!c) return 0;
    if (symbol == kCompHiddenPins) {
        if (pinSet < 0 || pinSet >= c->pinSetCount || !CompHiddenPins(c)[pinSet]) return 0;
        return int32_t(SizeOfPtr(CompHiddenPins(c)[pinSet]) / sizeof(CompHiddenPin));
    }
    if (symbol >= c->symbolCount || !CompSymbols(c)[symbol].pinDataIds) return 0;
    return int32_t(SizeOfPtr(CompSymbols(c)[symbol].pinDataIds) / sizeof(uint32_t));
}

uint32_t GetCompSymbolPinDataId(ComponentRecord* c, int32_t pinSet, uint16_t symbol, int32_t pin) {
    const uint32_t* slot = PinIdSlot(c, pinSet, symbol, pin);
    return slot ? *slot : 0xFFFFFFFFu;
}

void SetCompSymbolPinDataId(ComponentRecord* c, int32_t pinSet, uint16_t symbol, int32_t pin,
                            uint32_t id) {
    if (uint32_t* slot = PinIdSlot(c, pinSet, symbol, pin)) *slot = id;
}

}  // namespace plexa
