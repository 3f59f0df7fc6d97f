// Components: building them from library items, sheet symbols and graphic symbols; see
// components.h.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/components.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr const char* kNoPrefix = "_";
constexpr const char* kSheetSymbolPrefix = "X";
constexpr uint8_t kBusPinTypeOffset = 64;

// A spec moved from one block to another; false (spec 0) when the add failed.
bool Move(StringSpec spec, StringBlock from, StringBlock to, StringSpec* moved) {
    *moved = TransferStringSpec(spec, from, to, true);
    return *moved != 0 || spec == 0 || StringBlockAddStatus() == status::kNoErr;
}

bool Store(StringBlock block, const char* text, StringSpec* spec) {
    *spec = text && *text ? OverlayStringBlock(block, text, -1, nullptr) : 0;
    return *spec != 0 || !text || !*text;
}

// The item's pin sets that have pin numbers, numbered compactly; -1 for the others.
int32_t MapPinSets(LibraryItem* item, int32_t map[kLibPinSetCount]) {
    int32_t count = 0;
    for (int32_t i = 0; i < kLibPinSetCount; ++i) map[i] = IsLibPinSetAllocated(item, i) ? count++ : -1;
    return count;
}

OSStatus CopyNamesAndPrefix(LibraryItem* item, ComponentRecord* c, StringBlock block) {
    char text[kCompTextSize];
    for (int32_t i = c->nameCount - 1; i >= 0; --i) {
        GetLibraryItemNameInfo(item, i, text);
        if (!Store(block, text, &CompNames(c)[i])) return StringBlockAddStatus();
    }
    char prefix[kLibRefPrefixSize];
    GetLibraryItemRefPrefix(item, prefix);
    if (!Store(block, prefix[0] ? prefix : kNoPrefix, &c->refPrefix)) return StringBlockAddStatus();
    return status::kNoErr;
}

OSStatus CopyPackages(LibraryItem* item, ComponentRecord* c, const int32_t map[kLibPinSetCount], StringBlock block) {
    const StringBlock from = item->stringBlock;
    for (int32_t i = 0; i < c->packageCount; ++i) {
        CompPackage package;
        std::memcpy(&package, &LibItemPackages(item)[i], sizeof package);
        const int32_t set = package.pinSet < kLibPinSetCount ? map[package.pinSet] : -1;
        package.pinSet = uint8_t(set < 0 ? 0 : set);
        if (!Move(package.name, from, block, &package.name) || !Move(package.footprint, from, block, &package.footprint))
            return StringBlockAddStatus();
        CompPackages(c)[i] = package;
    }
    return status::kNoErr;
}

OSStatus CopyHiddenPins(LibraryItem* item, ComponentRecord* c, const int32_t map[kLibPinSetCount], StringBlock block) {
    const StringBlock from = item->stringBlock;
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        const int32_t count = CountLibSymbolPins(item, set, kLibHiddenPins);
        if (map[set] < 0 || count <= 0) continue;
        auto* table = reinterpret_cast<CompHiddenPin*>(AllocPtr(gGenPool, uint32_t(count) * sizeof(CompHiddenPin)));
        if (!table) return status::kOutOfMemory;
        CompHiddenPins(c)[map[set]] = table;
        for (int32_t i = 0; i < count; ++i) {
            uint32_t id = kCompNoPinData;
            const StringSpec number = GetLibItemHiddenPinInfo(item, set, i, nullptr, &id);
            table[i].pinDataId = id;
            if (!Move(number, from, block, &table[i].number)) return StringBlockAddStatus();
        }
    }
    return status::kNoErr;
}

// A component that stands for one placed symbol: one symbol without drawings (with an id array
// for the pins), one section of the pins in the pin sets, the symbol's name and the prefix; null
// when memory fails.
ComponentRecord* SymbolComponent(SymbolRecord* symbol, StringBlock block, int32_t pinSets, int32_t pins,
                                 const char* prefix) {
    ComponentRecord* c = CreateComponent(0, 1, 1, 1, 1);
    ComponentSection* s = c ? CreateCompSection(pinSets, pins) : nullptr;
    auto* ids = s && pins > 0 ? reinterpret_cast<uint32_t*>(AllocPtr(gGenPool, uint32_t(pins) * 4)) : nullptr;
    if (!s || (pins > 0 && !ids)) {
        DestroyCompSection(s);
        FreeComponent(c);
        return nullptr;
    }
    CompSymbols(c)[0] = {-1, -1, ids};
    SetCompSection(c, 0, s);
    char name[kCompTextSize];
    GetSymbolName(symbol, block, name);
    if (!Store(block, name, &CompNames(c)[0]) || !Store(block, prefix, &c->refPrefix)) {
        FreeComponent(c);
        return nullptr;
    }
    return c;
}

}  // namespace

OSStatus AddLibItemPinDataToSheet(LibraryItem* item, ComponentRecord* c, SheetRecord* sheet) {
    if (!item || !c || !sheet) return status::kParamErr;
    PinDataTable table = item->pinTable;
    std::vector<int32_t> translate;
    if (table) {
        translate.assign(size_t(std::max((*table)->idLimit, 0)), -1);
        const StringBlock from = item->stringBlock;
        char* address = nullptr;
        for (int32_t id = -1; DAPhysicalNextAddress(table, &id, &address);) {
            Handle copy = GetPinDataCopy(table, id);
            if (!copy) return status::kOutOfMemory;
            OSStatus err = ChangePinDataStringBlock(copy, from, sheet->stringBlock);
            const int32_t added = err ? -1 : AddPinDataToTable(sheet->pinDataTable, copy);
            DestroyPinData(copy);
            if (err) return err;
            if (added < 0) return status::kOutOfMemory;
            translate[size_t(id)] = added;
        }
    }
    const auto rewrite = [&](int32_t set, uint16_t symbol, int32_t pin) {
        const uint32_t old = GetCompSymbolPinDataId(c, set, symbol, pin);
        const bool known = old < translate.size() && translate[old] >= 0;
        SetCompSymbolPinDataId(c, set, symbol, pin, known ? uint32_t(translate[old]) : kCompNoPinData);
    };
    for (int32_t set = 0; set < c->pinSetCount; ++set)
        for (int32_t pin = 0; pin < CountCompSymbolPins(c, set, kCompHiddenPins); ++pin) rewrite(set, kCompHiddenPins, pin);
    for (int32_t s = 0; s < c->symbolCount; ++s)
        for (int32_t pin = 0; pin < CountCompSymbolPins(c, 0, uint16_t(s)); ++pin) rewrite(0, uint16_t(s), pin);
    return status::kNoErr;
}

OSStatus SectionRefToComp(LibraryItem* item, LibSection* section, int32_t index, int32_t pinSets,
                          const int32_t pinSetMap[4], SheetRecord* sheet, ComponentRecord* c) {
    if (!item || !section || !sheet || !c) return status::kParamErr;
    const int32_t pins = section->pinCount;
    ComponentSection* s = CreateCompSection(pinSets, pins < 0 ? 0 : pins);
    if (!s) return status::kOutOfMemory;
    const StringBlock from = item->stringBlock;
    s->symbolIndex = section->symbolIndex;
    bool moved = Move(GetLibSectionSuffix(section, from, nullptr), from, sheet->stringBlock, &s->suffix);
    for (int32_t set = 0; moved && set < kLibPinSetCount; ++set) {
        if (pinSetMap[set] < 0) continue;
        for (int32_t pin = 0; moved && pin < s->pinCount; ++pin) {
            StringSpec spec = 0;
            moved = Move(GetLibSectionPinNumber(section, from, set, pin, nullptr), from, sheet->stringBlock, &spec);
            SetCompSectionPinNumberSpec(s, pinSetMap[set], pin, spec);
        }
    }
    if (!moved) {
        DestroyCompSection(s);
        return StringBlockAddStatus();
    }
    SetCompSection(c, index, s);
    return status::kNoErr;
}

ComponentRecord* AddLibComponentToSheet(LibraryItem* item, SheetRecord* sheet) {
    if (!item || !sheet) return nullptr;
    int32_t map[kLibPinSetCount];
    const int32_t pinSets = MapPinSets(item, map);
    LinkListHeader* sections = item->sections;
    ComponentRecord* c = CreateComponent(item->head.packageCount, pinSets, item->head.symbolCount,
                                         sections ? int32_t(sections->count) : 0, CountLibraryItemNames(item));
    if (!c) return nullptr;
    StringBlock block = sheet->stringBlock;
    OSStatus err = CopyNamesAndPrefix(item, c, block);
    if (!err) err = CopyPackages(item, c, map, block);
    if (!err) err = CopyHiddenPins(item, c, map, block);
    if (!err) err = AddLibItemSymbolsToSheet(sheet, item, c, 0, nullptr);
    if (!err) err = AddLibItemPinDataToSheet(item, c, sheet);
    // A component missing any of its sections is never installed: every section or none.
    int32_t index = 0;
    for (auto section = static_cast<LibSection*>(LLFirst(sections)); !err && section;
         section = static_cast<LibSection*>(LLGetNext(sections, section)))
        err = SectionRefToComp(item, section, index++, pinSets, map, sheet, c);
    if (err) {
        FreeComponent(c);
        return nullptr;
    }
    return InstallCompInSheet(sheet, c);
}

ComponentRecord* CreateCompFromSheetSymbol(SheetRecord* sheet, SymbolRecord* symbol, StringBlock block) {
    if (!sheet || !symbol) return nullptr;
    const SymbolHooks& hooks = GetSymbolHooks();
    const int32_t ports = CountSymbolNodes(sheet, symbol);
    char text[kCompTextSize];
    GetSymbolRefPrefix(symbol, block, text);
    ComponentRecord* c = SymbolComponent(symbol, block, 1, ports, text[0] ? text : kSheetSymbolPrefix);
    // One working record serves every port.
    Handle record = c ? CreateNewPinData() : nullptr;
    bool stored = record != nullptr;
    ComponentSection* s = GetCompSection(c, 0);
    uint32_t* ids = GetCompSymbolPinDataIds(c, 0);
    for (int32_t p = 0; stored && p < ports; ++p) {
        text[0] = 0;
        if (hooks.getSheetSymbolPortName) hooks.getSheetSymbolPortName(symbol, p, block, text);
        StringSpec number = 0;
        stored = Store(block, text, &number);
        SetCompSectionPinNumberSpec(s, 0, p, number);
        SetPinDataName(record, block, text);
        const uint16_t flags = hooks.getSheetSymbolPortFlags ? hooks.getSheetSymbolPortFlags(symbol, p) : 0;
        uint8_t type = uint8_t((flags >> 4) & 3);
        if (GetSheetSymbolPortWidth(symbol, p) == 2) type = uint8_t(type + kBusPinTypeOffset);
        SetPinDataType(record, type, true);
        const int32_t id = AddPinDataToTable(sheet->pinDataTable, record);
        stored = stored && id >= 0;
        ids[p] = uint32_t(id);
    }
    if (record) DestroyPinData(record);
    if (!stored) {
        FreeComponent(c);
        return nullptr;
    }
    return c;
}

ComponentRecord* CreateCompFromGraphicSymbol(SheetRecord*, SymbolRecord* symbol, StringBlock block) {
    if (!symbol) return nullptr;
    char prefix[kCompTextSize];
    GetSymbolRefPrefix(symbol, block, prefix);
    if (!prefix[0]) {
        GetSymbolRefName(symbol, block, prefix);
        if (SplitAlphaNumericString(prefix, true, nullptr, nullptr, 0) < 0) prefix[0] = 0;
    }
    return SymbolComponent(symbol, block, 0, 0, prefix);
}

}  // namespace plexa
