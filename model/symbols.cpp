// Placed symbols: records, names, attributes, designators, library drawings and pin texts; see
// symbols.h.
#include "model/symbols.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "foundation/bitarray.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/clipattributes.h"
#include "model/components.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/texts.h"

namespace plexa {

MemPool gSymbolPool = nullptr;
Handle gClipAttributes = nullptr;
int16_t gClipAttrCount = 0;
StringBlock gClipAttrStringBlock = nullptr;

namespace {

constexpr uint32_t kSymbolPoolPageSize = 8192;
constexpr int32_t kUniqueRefDesBits = 512;
constexpr int32_t kUniqueRefDesLimit = 8192;
constexpr int32_t kNoFreeRefDes = 9999;
constexpr int32_t kAnnotationChanged = 5;
constexpr int32_t kMessageSize = 512;

SymbolHooks gHooks;

StringBlock BlockOf(SheetRecord* sheet) { return sheet ? sheet->stringBlock : nullptr; }

bool IsSheetSymbol(const SymbolRecord* symbol) { return symbol->flags & kSymbolFlagSheet; }
bool IsPortSymbol(const SymbolRecord* symbol) { return symbol->flags & kSymbolFlagPort; }
// A symbol without a component that is neither a port nor a sheet symbol keeps its designator and
// reference prefix itself.
bool HasOwnPrefix(const SymbolRecord* symbol) { return !symbol->component && !IsPortSymbol(symbol); }

void Clear(char* text) {
    if (text) text[0] = 0;
}

// The designator of a symbol: the annotation of a component or sheet symbol, else its "~REF".
void SymbolDesignator(SheetRecord* sheet, const SymbolRecord* symbol, char* text) {
    if (symbol->component || IsSheetSymbol(symbol)) GetSymbolAnnotation(sheet, symbol->serial, text);
    else GetSymbolRefName(symbol, BlockOf(sheet), text);
}

bool SuffixEnabled(SheetRecord* sheet) {
    ProjectRecord* project = sheet ? sheet->project : nullptr;
    return !project || !gHooks.annotSuffixEnabled || gHooks.annotSuffixEnabled(project);
}

// The sheet's text of a kind that belongs to the symbol, or null.
TextRecord* SymbolText(SheetRecord* sheet, const SymbolRecord* symbol, uint16_t kind) {
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
        if (t->kind == kind && t->owner == TextOwnerSerial(symbol->serial)) return t;
    return nullptr;
}

// A spec moved into another block; false when the add failed.
bool MoveSpec(StringSpec* spec, StringBlock from, StringBlock to) {
    if (*spec == 0 || from == to) return true;
    const StringSpec moved = TransferStringSpec(*spec, from, to, true);
    if (moved == 0 && StringBlockAddStatus() != status::kNoErr) return false;
    *spec = moved;
    return true;
}

void Report(const char* format, const char* argument) {
    if (!gHooks.showMessage) return;
    char message[kMessageSize];
    std::snprintf(message, sizeof message, format, argument);
    gHooks.showMessage(message);
}

}  // namespace

void SetSymbolHooks(const SymbolHooks& hooks) { gHooks = hooks; }
const SymbolHooks& GetSymbolHooks() { return gHooks; }

// ---- Records and lists ----

OSStatus InitSymbolPool() {
    return InitFixedBlockPool(&gSymbolPool, kSymbolPoolPageSize, sizeof(SymbolRecord));
}

SymbolRecord* CreateSymbol() {
    if (InitSymbolPool() != status::kNoErr) return nullptr;
    auto* symbol = reinterpret_cast<SymbolRecord*>(AllocFSPtrClear(gSymbolPool));
    if (symbol) symbol->secondMapId = -1;
    return symbol;
}

void DropSerialIndex(LinkListHeader* list);

void FreeSymbolStructures(LinkListHeader* list, void* item, void* previous, uint32_t) {
    auto* symbol = static_cast<SymbolRecord*>(item);
    if (!symbol) return;
    // The list's last symbol going (none before it, none after it): its serial index goes too.
    if (list && !previous && !LLGetNext(list, item)) DropSerialIndex(list);
    if (symbol->attributes) MemFree(symbol->attributes);
    if (symbol->sheetSymbolData) MemFree(symbol->sheetSymbolData);
    symbol->attributes = nullptr;
    symbol->sheetSymbolData = nullptr;
    symbol->attributeCount = 0;
}

void DestroySymbol(SymbolRecord* symbol) {
    if (!symbol) return;
    FreeSymbolStructures(nullptr, symbol, nullptr, 0);
    MemFreePtr(reinterpret_cast<Ptr>(symbol));
}

SymbolRecord* DuplicateSymbol(const SymbolRecord* symbol) {
    if (!symbol) return nullptr;
    SymbolRecord* copy = CreateSymbol();
    if (!copy) return nullptr;
    *copy = *symbol;
    copy->next = nullptr;
    copy->attributes = symbol->attributes ? CloneHandle(gGenPool, symbol->attributes) : nullptr;
    copy->sheetSymbolData = symbol->sheetSymbolData ? CloneHandle(gGenPool, symbol->sheetSymbolData) : nullptr;
    if ((symbol->attributes && !copy->attributes) || (symbol->sheetSymbolData && !copy->sheetSymbolData)) {
        DestroySymbol(copy);
        return nullptr;
    }
    return copy;
}

namespace {

// The serial numbers of a long list made by CreateSymbolList, hung on its owner word: each
// number's first symbol in list order, as the list stood at `version`. A symbol found there is
// checked against its own number before it is given; what is not found there is looked for along
// the list, so the answer is the walk's. It goes with the list's last symbol or the list.
constexpr uint32_t kSerialIndexFrom = 32;  // symbols; a shorter list is walked

struct SerialIndex {
    uint32_t version = 0;
    bool built = false;
    std::unordered_map<uint32_t, SymbolRecord*> first;
};

SerialIndex* SerialIndexOf(const LinkListHeader* list) {
    if (!list || LLGetFreeProc(list) != FreeSymbolStructures) return nullptr;
    if (!list->owner && list->count < kSerialIndexFrom) return nullptr;
    auto* mutableList = const_cast<LinkListHeader*>(list);
    if (!mutableList->owner) mutableList->owner = new SerialIndex();
    return static_cast<SerialIndex*>(mutableList->owner);
}

SymbolRecord* WalkForSerial(const LinkListHeader* list, uint32_t serial) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto* symbol = static_cast<SymbolRecord*>(item);
        if (symbol->serial == serial) return symbol;
    }
    return nullptr;
}

}  // namespace

void DropSerialIndex(LinkListHeader* list) {
    if (list && LLGetFreeProc(list) == FreeSymbolStructures) delete static_cast<SerialIndex*>(std::exchange(list->owner, nullptr));
}

LinkListHeader* CreateSymbolList() {
    LinkListHeader* list = LLCreate(gGenPool, sizeof(SymbolRecord), 0);
    if (list) LLSetFreeProc(list, FreeSymbolStructures);
    return list;
}

void DestroySymbolList(LinkListHeader* list) {
    if (!list) return;
    DropSerialIndex(list);
    LLDispose(list, true);
}

void AddSymbolToSheet(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!sheet || !symbol) return;
    symbol->serial = sheet->stored.nextSerial++;
    LLAppend(sheet->symbolList, symbol);
}

void RemoveSymbolFromSheet(SheetRecord* sheet, SymbolRecord* symbol, bool freeSymbol) {
    if (sheet && symbol) LLRemoveOrFree(sheet->symbolList, symbol, nullptr, freeSymbol);
}

void AddSymbolToClipboard(LinkListHeader* clipSymbols, SymbolRecord* symbol) {
    if (clipSymbols && symbol) LLPush(clipSymbols, symbol);
}

SymbolRecord* RetrieveSerializedSymbol(const LinkListHeader* list, uint32_t serial) {
    SerialIndex* index = SerialIndexOf(list);
    if (!index) return WalkForSerial(list, serial);
    if (!index->built || index->version != list->version) {
        index->first.clear();
        index->first.reserve(list->count);
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* symbol = static_cast<SymbolRecord*>(item);
            index->first.emplace(symbol->serial, symbol);
        }
        index->version = list->version;
        index->built = true;
    }
    const auto found = index->first.find(serial);
    if (found != index->first.end() && found->second->serial == serial) return found->second;
    // A number given or changed since the index was made: the list says.
    SymbolRecord* symbol = WalkForSerial(list, serial);
    if (symbol || found != index->first.end()) index->built = false;
    return symbol;
}

OSStatus ChangeSymbolStringBlock(SymbolRecord* symbol, StringBlock from, StringBlock to) {
    if (!symbol) return status::kParamErr;
    if (from == to) return status::kNoErr;
    StringSpec libraryName = symbol->libraryName;
    SymbolKindData kind = symbol->kind;
    const bool sheetSymbol = IsSheetSymbol(symbol);
    bool moved = true;
    if (sheetSymbol) {
        moved = MoveSpec(&kind.spec, from, to);
    } else {
        if (libraryName != kNoLibraryName) moved = MoveSpec(&libraryName, from, to);
        if (moved && (IsPortSymbol(symbol) || !symbol->component)) moved = MoveSpec(&kind.spec, from, to);
    }
    if (!moved) return StringBlockAddStatus();
    // The attributes move in a copy, and the sheet symbol's names (all or nothing) before the
    // copy is taken: a failure anywhere leaves the symbol as it was.
    Handle attributes = nullptr;
    if (symbol->attributes && symbol->attributeCount > 0) {
        if (!(attributes = CloneHandle(gGenPool, symbol->attributes))) return status::kOutOfMemory;
        if (OSStatus err = ChangeAttributesStringBlock(attributes, 0, symbol->attributeCount, from, to)) {
            MemFree(attributes);
            return err;
        }
    }
    if (sheetSymbol && gHooks.changeSheetSymbolStringBlock) {
        if (OSStatus err = gHooks.changeSheetSymbolStringBlock(symbol, from, to)) {
            if (attributes) MemFree(attributes);
            return err;
        }
    }
    if (attributes) {
        MemFree(symbol->attributes);
        symbol->attributes = attributes;
    }
    symbol->libraryName = libraryName;
    symbol->kind = kind;
    return status::kNoErr;
}

int32_t GetSymbolMapId(const SymbolRecord* symbol) {
    if (!symbol) return -1;
    return (symbol->flags & kSymbolFlagSecondMap) ? symbol->secondMapId : symbol->mapId;
}

// ---- Names and attributes ----

StringSpec GetSymbolRefPrefix(const SymbolRecord* symbol, StringBlock block, char* prefix) {
    Clear(prefix);
    if (!symbol || !HasOwnPrefix(symbol)) return 0;
    if (prefix) ExtractStringSpec(symbol->kind.spec, block, prefix, kSymbolTextSize);
    return symbol->kind.spec;
}

void SetSymbolRefPrefix(SymbolRecord* symbol, StringBlock block, const char* prefix) {
    if (!symbol || !HasOwnPrefix(symbol)) return;
    const StringSpec spec = prefix && *prefix ? OverlayStringBlock(block, prefix, -1, nullptr) : 0;
    if (spec == 0 && prefix && *prefix) return;  // not stored (the add status says why): kept
    symbol->kind.spec = spec;
}

void GetSymbolName(const SymbolRecord* symbol, StringBlock block, char* name) {
    Clear(name);
    if (!symbol || !name) return;
    if (symbol->component) GetCompName(symbol->component, block, symbol->kind.comp.nameIndex, name);
    else if (IsSheetSymbol(symbol)) {
        if (gHooks.getSheetSymbolName) gHooks.getSheetSymbolName(symbol, block, name);
    } else GetSymbolAttribute(symbol, block, kAttrNameName, name);
}

void SetSymbolName(SymbolRecord* symbol, StringBlock block, const char* name) {
    if (!symbol) return;
    if (IsSheetSymbol(symbol)) {
        if (gHooks.setSheetSymbolName) gHooks.setSheetSymbolName(symbol, block, name);
        return;
    }
    SetSymbolAttribute(symbol, block, kAttrNameName, name && *name ? name : nullptr, nullptr);
}

int16_t GetSymbolAttribute(const SymbolRecord* symbol, StringBlock block, const char* name, char* value) {
    char scratch[kAttributeTextSize];
    if (!symbol) {
        Clear(value);
        return kAttributeAbsent;
    }
    return GetAttributeValue(block, symbol->attributes, 0, symbol->attributeCount, name,
                             value ? value : scratch, nullptr);
}

int16_t SetSymbolAttribute(SymbolRecord* symbol, StringBlock block, const char* name, const char* value,
                           const uint16_t* flags) {
    if (!symbol || (!symbol->attributes && !value)) return int16_t(symbol ? symbol->attributeCount | 0x8000 : 0x8000);
    if (!symbol->attributes) {
        symbol->attributes = AllocHandle(gGenPool, 0);
        if (!symbol->attributes) return int16_t(symbol->attributeCount | 0x8000);
        symbol->attributeCount = 0;
    }
    int16_t count = int16_t(symbol->attributeCount);
    const int16_t result = SetAttributeValue(block, symbol->attributes, 0, &count, name, value, flags);
    symbol->attributeCount = uint16_t(count);
    return result;
}

void GetSymbolRefName(const SymbolRecord* symbol, StringBlock block, char* name) {
    GetSymbolAttribute(symbol, block, kAttrRefName, name);
}

void SetSymbolRefName(SymbolRecord* symbol, StringBlock block, const char* name) {
    SetSymbolAttribute(symbol, block, kAttrRefName, name && *name ? name : nullptr, nullptr);
}

int32_t GetSymbolSheetName(const SymbolRecord* symbol, StringBlock block, char* name) {
    char scratch[kSymbolTextSize];
    char* out = name ? name : scratch;
    out[0] = 0;
    if (!symbol) return 0;
    if (IsSheetSymbol(symbol)) {
        if (gHooks.getSheetSymbolFileName) gHooks.getSheetSymbolFileName(symbol, block, out);
    } else {
        GetSymbolAttribute(symbol, block, kAttrSubSheetName, out);
    }
    return out[0] ? 1 : 0;
}

void SetSymbolSheetName(SymbolRecord* symbol, StringBlock block, const char* name) {
    if (!symbol) return;
    if (IsSheetSymbol(symbol)) {
        if (gHooks.setSheetSymbolFileName) gHooks.setSheetSymbolFileName(symbol, block, name);
        return;
    }
    const bool given = name && *name;
    SetSymbolAttribute(symbol, block, kAttrSubSheetName, given ? name : nullptr, nullptr);
    if (given) symbol->flags |= kSymbolFlagSubSheet;
    else symbol->flags &= ~kSymbolFlagSubSheet;
}

int32_t GetPortSymbolType(const SymbolRecord* symbol) {
    return symbol ? int32_t((symbol->flags & kSymbolFlagPortType) >> 4) : 0;
}

void SetPortSymbolType(SymbolRecord* symbol, int32_t type) {
    if (symbol) symbol->flags = (symbol->flags & ~kSymbolFlagPortType) | ((uint32_t(type) & 3) << 4);
}

int32_t GetPortSymbolName(SheetRecord* sheet, const SymbolRecord* symbol, void* net, char* name,
                          int32_t size) {
    char scratch[kSymbolTextSize];
    if (!name || size <= 0) {
        name = scratch;
        size = sizeof scratch;
    }
    name[0] = 0;
    if (!sheet || !symbol) return 1;
    if (symbol->kind.spec) {
        ExtractStringSpec(symbol->kind.spec, sheet->stringBlock, name, size);
        if (name[0]) return 0;
    }
    if (symbol->flags & kSymbolFlagBussPort) {
        auto buss = static_cast<BussHandle>(net);
        if (!buss) buss = GetConnectedBuss(sheet->bussList, symbol, 0, nullptr, nullptr);
        if (buss) GetBussName(buss, sheet->stringBlock, name, size);
    } else {
        auto signal = static_cast<SignalHandle>(net);
        if (!signal) signal = GetConnectedSignal(sheet->signalList, symbol, 0, nullptr, nullptr);
        if (signal) GetSignalName(signal, sheet->stringBlock, name, size);
    }
    return 1;
}

StringSpec SetPortSymbolName(SheetRecord* sheet, SymbolRecord* symbol, const char* name) {
    if (!symbol) return 0;
    const StringSpec spec = name && *name && sheet ? OverlayStringBlock(sheet->stringBlock, name, -1, nullptr) : 0;
    if (spec == 0 && name && *name && sheet) return symbol->kind.spec;  // not stored (the add status says why): kept
    symbol->kind.spec = spec;
    return symbol->kind.spec;
}

int32_t GetSymbolsPinSet(const SymbolRecord* symbol) {
    if (!symbol || !symbol->component || symbol->component->packageCount == 0) return 0;
    return GetPackagePinSet(symbol->component, symbol->kind.comp.package);
}

int32_t GetSymbolSlotIndex(SheetRecord* sheet, const SymbolRecord* symbol) {
    if (!symbol || !symbol->component) return 0;
    const int32_t slot = GetSymbolAnnotation(sheet, symbol->serial, nullptr);
    if (slot >= 0) return slot;
    return GetFirstCompSectionUsingSymbol(symbol->component, symbol->kind.comp.symbol, nullptr);
}

// ---- Designators ----

int32_t DoesRefDesExistInSheet(SheetRecord* sheet, const SymbolRecord* skip, const char* designator) {
    if (!sheet || !designator) return 0;
    char text[kSymbolTextSize];
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        if (s == skip || IsPortSymbol(s)) continue;
        SymbolDesignator(sheet, s, text);
        if (StrCINCmp(text, designator, kSymbolTextSize) == 0) return 1;
    }
    return 0;
}

void GetUniqueSheetRefDes(SheetRecord* sheet, const SymbolRecord* symbol, char* text, BitArray bits) {
    if (!text) return;
    char prefix[kSymbolTextSize];
    StrNCpy(prefix, sizeof prefix, text, kSymbolTextSize - 1);
    StringBlock block = BlockOf(sheet);
    if (!prefix[0] && symbol) {
        if (symbol->component) GetCompRefPrefix(symbol->component, block, prefix);
        else GetSymbolRefPrefix(symbol, block, prefix);
    }
    if (!prefix[0]) std::strcpy(prefix, "Item");

    BitArray used = bits;
    if (used) std::memset(*used, 0, SizeOfHandle(used));
    else used = CreateBitArray(gGenPool, kUniqueRefDesBits);
    int32_t number = kNoFreeRefDes;
    if (used) {
        BitArraySet(used, 0);
        char designator[kSymbolTextSize];
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet ? sheet->symbolList : nullptr)); s; s = s->next) {
            if (s == symbol || IsPortSymbol(s)) continue;
            SymbolDesignator(sheet, s, designator);
            const int32_t n = SplitAlphaNumericString(designator, true, nullptr, nullptr, 0);
            if (n > 0 && n < kUniqueRefDesLimit && StrCINCmp(designator, prefix, kSymbolTextSize) == 0)
                BitArraySet(used, n);
        }
        number = FirstClearBit(used);
        if (number <= 0) number = kNoFreeRefDes;
        if (!bits) DisposeBitArray(used);
    }
    const std::string designator = std::string(prefix) + std::to_string(number);
    StrNCpy(text, kSymbolTextSize, designator.c_str(), kSymbolTextSize - 1);
}

void GetSymbolsDisplayDesignator(SheetRecord* sheet, const SymbolRecord* symbol, char* designator) {
    Clear(designator);
    if (!symbol || !designator) return;
    StringBlock block = BlockOf(sheet);
    if (!symbol->component && !IsSheetSymbol(symbol)) {
        GetSymbolRefName(symbol, block, designator);
        return;
    }
    if (sheet && sheet->project && sheet->hierarchyContext && gHooks.loadContextAnnotation)
        gHooks.loadContextAnnotation(sheet);
    const int32_t slot = GetSymbolAnnotation(sheet, symbol->serial, designator);
    const bool suffixes = SuffixEnabled(sheet);
    if (!designator[0]) {
        if (symbol->component)
            GetDefaultCompRefDes(symbol->component, symbol->kind.comp.symbol, block, suffixes, designator);
        else if (gHooks.getDefaultSheetSymbolRefDes)
            gHooks.getDefaultSheetSymbolRefDes(symbol, block, designator);
    } else if (symbol->component && suffixes) {
        AppendRefDesSuffix(symbol->component, slot, block, designator);
    }
}

int32_t ChangeSymbolsAnnotation(SheetRecord* sheet, SymbolRecord* symbol, const char* designator, int32_t slot,
                                Rect* area) {
    if (!sheet || !symbol) return 0;
    const char* wanted = designator ? designator : "";
    if (!symbol->component && !IsSheetSymbol(symbol)) {
        char current[kSymbolTextSize];
        GetSymbolRefName(symbol, sheet->stringBlock, current);
        if (std::strcmp(current, wanted) == 0) return 0;
        SetSymbolRefName(symbol, sheet->stringBlock, wanted);
        if (TextRecord* text = SymbolText(sheet, symbol, kTextKindDesignator)) {
            if (!wanted[0]) {
                if (area) VXUnionRect(area, &text->bounds, area);
                LLRemoveOrFree(sheet->textList, text, nullptr, true);
            } else {
                ChangeSheetText(sheet, text, wanted, area);
            }
        }
        return kAnnotationChanged;
    }
    if (IsSheetSymbol(symbol)) slot = 0;
    const bool set = wanted[0] && slot >= 0;
    const int32_t changed = set ? SetSymbolAnnotation(sheet, symbol->serial, wanted, slot)
                                : SetSymbolAnnotation(sheet, symbol->serial, nullptr, -1);
    if (!changed) return 0;
    char shown[kSymbolTextSize];
    GetSymbolsDisplayDesignator(sheet, symbol, shown);
    if (gHooks.setSymbolCtxText)
        gHooks.setSymbolCtxText(sheet, symbol, set ? slot : GetSymbolSlotIndex(sheet, symbol), shown, area);
    return kAnnotationChanged;
}

namespace {

// Sets every attribute the clipboard holds (from the last to the first, its shown bit cleared)
// into an attribute run: over the run's attribute of the same name, or as a new one (the run is
// made when there is none). Whether anything was set.
bool SetClipAttributes(StringBlock block, Handle* attributes, uint16_t* count) {
    if (!gClipAttributes || gClipAttrCount <= 0) return false;
    if (!*attributes) {
        *attributes = AllocHandle(gGenPool, 0);
        if (!*attributes) return false;
        *count = 0;
    }
    bool changed = false;
    char name[kAttributeTextSize], value[kAttributeTextSize];
    for (int32_t i = gClipAttrCount - 1; i >= 0; --i) {
        uint16_t flags = 0;
        GetIndexedAttribute(gClipAttrStringBlock, gClipAttributes, 0, i, name, value, &flags, nullptr);
        if (!name[0]) continue;
        flags &= uint16_t(~1u);
        int16_t n = int16_t(*count);
        const int16_t index = GetAttributeValue(block, *attributes, 0, n, name, nullptr, nullptr);
        if (!(index & kAttributeAbsent))
            SetIndexedAttribute(block, *attributes, 0, index, nullptr, value, &flags);
        else
            SetAttributeValue(block, *attributes, 0, &n, name, value, &flags);
        *count = uint16_t(n);
        changed = true;
    }
    return changed;
}

}  // namespace

void ApplyClipAttributesToSymbols(SheetRecord* sheet) {
    if (!sheet || !gClipAttributes || gClipAttrCount <= 0) return;
    Rect area;
    VXSetEmptyRect(&area);
    bool changed = false;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        if (!(s->flags & kSymbolFlagSelected)) continue;
        changed |= SetClipAttributes(sheet->stringBlock, &s->attributes, &s->attributeCount);
        Rect bounds;
        GetSymbolInstanceBounds(sheet, s, 1, &bounds);
        VXUnionRect(&area, &bounds, &area);
    }
    if (!changed) return;
    RebuildMacroizedText(sheet, nullptr, &area);
    if (gHooks.invalSheetView && !VXEmptyRect(&area)) gHooks.invalSheetView(sheet, &area);
}

bool ApplyClipAttributesToSignals(SheetRecord* sheet) {
    if (!sheet || !gClipAttributes || gClipAttrCount <= 0) return false;
    bool changed = false;
    for (void* n = LLFirst(sheet->signalList); n; n = LLGetNext(sheet->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        bool selected = false;
        for (WireHandle w = FirstWire((*signal)->wires); w && !selected; w = NextWire((*signal)->wires, w))
            selected = ((*w)->flags & kWireFlagSelected) != 0;
        if (!selected) continue;
        Handle attributes = (*signal)->attributes;
        uint16_t count = (*signal)->attributeCount;
        changed |= SetClipAttributes(sheet->stringBlock, &attributes, &count);
        (*signal)->attributes = attributes;
        (*signal)->attributeCount = count;
    }
    return changed;
}

// ---- Library items and pin texts ----

OSStatus AddLibItemSymbolsToSheet(SheetRecord* sheet, LibraryItem* item, ComponentRecord* component,
                                  int32_t symbolIndex, int32_t ids[2]) {
    if (ids) ids[0] = ids[1] = -1;
    if (!sheet || !item) return status::kParamErr;
    ImageList* images = item->imageList;
    const auto add = [&](int32_t symbol, int32_t which, int32_t* id) {
        *id = -1;
        Ptr data = GetLibSymbolData(item, symbol, which);
        if (!data) return true;
        *id = AddSymbolToMap(sheet->symbolMap, data, -1, images);
        return *id >= 0;
    };
    if (!component) {
        int32_t pair[2];
        const bool added = add(symbolIndex, 0, &pair[0]) && add(symbolIndex, 1, &pair[1]);
        if (ids) std::copy(pair, pair + 2, ids);
        return added ? status::kNoErr : status::kOutOfMemory;
    }
    const int32_t count = std::min<int32_t>(item->head.symbolCount, component->symbolCount);
    for (int32_t s = 0; s < count; ++s) {
        CompSymbolEntry& entry = CompSymbols(component)[s];
        if (!add(s, 0, &entry.mapId) || !add(s, 1, &entry.secondMapId)) return status::kOutOfMemory;
        const int32_t pins = CountLibSymbolPins(item, 0, s);
        const uint16_t* narrow = GetLibSymbolPinDataIds(item, s);
        if (pins <= 0 || !narrow) continue;
        auto* wide = reinterpret_cast<uint32_t*>(AllocPtr(gGenPool, uint32_t(pins) * 4));
        if (!wide) return status::kOutOfMemory;
        for (int32_t p = 0; p < pins; ++p) wide[p] = narrow[p];
        SetCompSymbolPinDataIds(component, s, wide);
    }
    return status::kNoErr;
}

void SetSymbolInstancePinText(SheetRecord* sheet, SymbolRecord* symbol, int32_t section) {
    if (!sheet || !symbol || !symbol->component) return;
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    char text[kPinTextSize];
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) {
        if (t->owner != TextOwnerSerial(symbol->serial)) continue;
        const uint16_t mark = t->kind & kTextKindPinAttribute;
        if (mark != kTextKindPinNumber && mark != kTextKindPinName) continue;
        const int32_t node = t->kind & kTextKindNodeMask;
        uint32_t id = 0xFFFFFFFF;
        GetCompPinInfo(symbol->component, sheet->stringBlock, pinSet, uint16_t(section), node, text, &id);
        if (mark == kTextKindPinName) GetIndexedPinDataName(sheet->pinDataTable, int32_t(id), sheet->stringBlock, text);
        SetTextRecordString(t, sheet->stringBlock, text);
        CalcTextBounds(nullptr, t, sheet->stringBlock);
    }
}

void OpenSymbolSourceItem(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!sheet || !symbol) return;
    char library[kSymbolTextSize] = "", name[kSymbolTextSize];
    if (symbol->libraryName != kNoLibraryName)
        ExtractStringSpec(symbol->libraryName, sheet->stringBlock, library, sizeof library);
    GetSymbolName(symbol, sheet->stringBlock, name);
    int32_t fileIndex = -1, itemIndex = -1;
    if (gHooks.locateLibraryFileItem) gHooks.locateLibraryFileItem(library, name, &fileIndex, &itemIndex);

    const char* message = nullptr;
    const char* argument = name;
    bool opened = false;
    if (fileIndex >= 0) {
        if (gHooks.setCachedLibraryFile) gHooks.setCachedLibraryFile(fileIndex);
        if (itemIndex >= 0 && gHooks.setCachedLibraryItem) gHooks.setCachedLibraryItem(itemIndex);
        VXWindowRecordTag* window = nullptr;
        const int32_t kind = gHooks.openLibBrowserFile ? gHooks.openLibBrowserFile(fileIndex, &window) : 0;
        if (kind == kLibEditorWindowKind) {
            opened = true;
            if (gHooks.findAndSelectLibEditorItem && gHooks.findAndSelectLibEditorItem(window, name)) {
                if (gHooks.editSelectedLibItems) gHooks.editSelectedLibItems(window);
            } else {
                message = "An item named \"%s\" was not found in the library.";
            }
        } else if (kind == kSheetWindowKind) {
            opened = true;
            SheetRecord* openedSheet = WindowToDrawing(window);
            if (!gHooks.openSheetFileSymbolEditor || !gHooks.openSheetFileSymbolEditor(openedSheet, name))
                message = "The sheet does not contain a symbol definition named \"%s\".";
        }
    }
    if (!opened) {
        SheetRecord* sub = nullptr;
        if ((symbol->flags & kSymbolFlagFileSymbol) && sheet->project && gHooks.enterSubSheet)
            sub = gHooks.enterSubSheet(sheet, symbol);
        if (sub) {
            if (!gHooks.openSheetFileSymbolEditor || !gHooks.openSheetFileSymbolEditor(sub, name))
                message = "The sheet does not contain a symbol definition named \"%s\".";
        } else {
            message = (symbol->flags & kSymbolFlagFileSymbol) ? "Could not find a sub-sheet file named \"%s\"."
                                                              : "Could not find a library file named \"%s\".";
            argument = library;
        }
    }
    if (message) Report(message, argument);
    if (fileIndex >= 0 && gHooks.invalidateActiveBrowser) gHooks.invalidateActiveBrowser();
}

}  // namespace plexa
