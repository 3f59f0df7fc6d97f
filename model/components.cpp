// Components: layout, accessors, life cycle, strings, pin tables, designators and the stored form
// of a list; see components.h.
#include "model/components.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }
constexpr uint32_t kEndMark = 0xFFFFFFFFu;
constexpr uint32_t kStoredHeadSize = 12;
constexpr const char* kStoredHeadTemplate = "B4W2L";
constexpr const char* kPackageTemplate = "L2B2";
constexpr const char* kSectionHeadTemplate = "W2L";
constexpr int32_t kHiddenSortLimit = 32;
constexpr int32_t kHiddenSortKeySize = 32;

size_t SymbolsAt() { return sizeof(ComponentRecord); }
size_t SectionsAt(const ComponentRecord* c) { return SymbolsAt() + c->symbolCount * sizeof(CompSymbolEntry); }
size_t PackagesAt(const ComponentRecord* c) { return SectionsAt(c) + c->sectionCount * sizeof(ComponentSection*); }
size_t HiddenAt(const ComponentRecord* c) { return Align8(PackagesAt(c) + c->packageCount * kCompPackageSize); }
size_t NamesAt(const ComponentRecord* c) { return HiddenAt(c) + c->pinSetCount * sizeof(CompHiddenPin*); }
size_t TotalSize(const ComponentRecord* c) {
    return NamesAt(c) + size_t(c->nameCount > 0 ? c->nameCount : 0) * sizeof(StringSpec);
}

char* Base(ComponentRecord* c) { return reinterpret_cast<char*>(c); }

void Clear(char* text) {
    if (text) text[0] = 0;
}

StringSpec Extract(StringSpec spec, StringBlock block, char* out) {
    if (out) ExtractStringSpec(spec, block, out, kCompTextSize);
    return spec;
}

bool SameText(const char* a, const char* b) { return StrCINCmp(a, b, kCompTextSize) == 0; }

// The first of `count` texts (each copied out by `get`) that equals the wanted one without case.
template <class Get>
int32_t IndexOfText(int32_t count, const char* wanted, Get&& get) {
    if (!wanted) return -1;
    char text[kCompTextSize];
    for (int32_t i = 0; i < count; ++i) {
        if (get(i, text) && SameText(text, wanted)) return i;
    }
    return -1;
}

// The parts one after another into a buffer of kCompTextSize bytes, cut to fit.
void Join(char* out, std::initializer_list<const char*> parts) {
    std::string joined;
    for (const char* part : parts) joined += part;
    StrNCpy(out, kCompTextSize, joined.c_str(), kCompTextSize - 1);
}

StringSpec* SectionNumbers(ComponentSection* section) { return reinterpret_cast<StringSpec*>(section + 1); }
const StringSpec* SectionNumbers(const ComponentSection* section) {
    return reinterpret_cast<const StringSpec*>(section + 1);
}

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

CompPackage* Package(ComponentRecord* c, int32_t package) {
    if (!c || package < 0 || package >= c->packageCount) return nullptr;
    return &CompPackages(c)[package];
}

// Every string spec slot of a component, in the order its strings move. Package entries are 10
// bytes long, so a slot may lie on any 2-byte boundary: it is read and written with memcpy.
template <class F>
void ForEachSpecSlot(ComponentRecord* c, F&& f) {
    for (int32_t i = 0; i < c->nameCount; ++i) f(&CompNames(c)[i]);
    for (int32_t i = 0; i < c->packageCount; ++i) {
        f(reinterpret_cast<char*>(&CompPackages(c)[i]) + offsetof(CompPackage, name));
        f(reinterpret_cast<char*>(&CompPackages(c)[i]) + offsetof(CompPackage, footprint));
    }
    for (int32_t i = 0; i < c->sectionCount; ++i) {
        ComponentSection* s = CompSections(c)[i];
        if (!s) continue;
        f(&s->suffix);
        const int32_t numbers = CompSectionPinSets(s) * s->pinCount;
        for (int32_t k = 0; k < numbers; ++k) f(&SectionNumbers(s)[k]);
    }
    for (int32_t i = 0; i < c->pinSetCount; ++i) {
        CompHiddenPin* table = CompHiddenPins(c)[i];
        const uint32_t count = table ? SizeOfPtr(table) / sizeof(CompHiddenPin) : 0;
        for (uint32_t k = 0; k < count; ++k) f(&table[k].number);
    }
    f(&c->refPrefix);
}

// Every pin-data id slot of a symbol's pins, or with -1 of every pin set's hidden pins.
template <class F>
void ForEachPinIdSlot(ComponentRecord* c, int32_t symbol, F&& f) {
    if (symbol < 0) {
        for (int32_t set = 0; set < c->pinSetCount; ++set)
            for (int32_t pin = 0; pin < CountCompSymbolPins(c, set, kCompHiddenPins); ++pin)
                f(PinIdSlot(c, set, kCompHiddenPins, pin));
        return;
    }
    for (int32_t pin = 0; pin < CountCompSymbolPins(c, 0, uint16_t(symbol)); ++pin)
        f(PinIdSlot(c, 0, uint16_t(symbol), pin));
}

StringBlock TableBlock(PinDataTable table) {
    return table ? reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(table))) : nullptr;
}

// Whether two blocks are one, or hold the same used bytes.
bool SameStrings(StringBlock a, StringBlock b) {
    if (a == b) return true;
    if (!a || !b) return false;
    const auto* ha = reinterpret_cast<const StringBlockHeader*>(*a);
    const auto* hb = reinterpret_cast<const StringBlockHeader*>(*b);
    return ha->used == hb->used && ha->used <= SizeOfHandle(a) && hb->used <= SizeOfHandle(b) &&
           std::memcmp(*a, *b, ha->used) == 0;
}

// New ids of the pins of the symbols, interned into `to`; the slots and their ids are collected so
// that nothing is stored before every record was interned.
OSStatus TransferPins(ComponentRecord* c, const std::vector<int32_t>& symbols, PinDataTable from,
                      PinDataTable to, bool store) {
    if (!c || !from || !to) return status::kParamErr;
    const StringBlock fromBlock = TableBlock(from), toBlock = TableBlock(to);
    const bool same = SameStrings(fromBlock, toBlock);
    std::vector<std::pair<uint32_t*, uint32_t>> changes;
    OSStatus err = status::kNoErr;
    for (int32_t symbol : symbols) {
        ForEachPinIdSlot(c, symbol, [&](uint32_t* slot) {
            if (err || !slot) return;
            Handle record = GetIndexedPinData(from, int32_t(*slot));
            if (!record) return;
            int32_t id = -1;
            if (same) {
                id = AddPinDataToTable(to, record);
            } else {
                Handle copy = CloneHandle(gGenPool, record);
                if (!copy) {
                    err = status::kOutOfMemory;
                    return;
                }
                err = ChangePinDataStringBlock(copy, fromBlock, toBlock);
                if (!err) id = AddPinDataToTable(to, copy);
                DestroyPinData(copy);
                if (err) return;
            }
            if (id < 0) err = status::kOutOfMemory;
            else changes.emplace_back(slot, uint32_t(id));
        });
    }
    if (err) return err;
    if (store)
        for (auto& [slot, id] : changes) *slot = id;
    return status::kNoErr;
}

int CompareHiddenNumbers(const CompHiddenPin& a, const CompHiddenPin& b, StringBlock block) {
    char x[kHiddenSortKeySize], y[kHiddenSortKeySize];
    ExtractStringSpec(a.number, block, x, sizeof x);
    ExtractStringSpec(b.number, block, y, sizeof y);
    return StrCmpAlphaNumeric(x, y, false);
}

// ---- Reading ----

int32_t Left(StreamRecord* stream) { return std::max(GetStreamEnd(stream) - GetStreamPosition(stream), 0); }

OSStatus ReadBytes(StreamRecord* stream, void* bytes, uint32_t count) {
    if (count == 0) return status::kNoErr;
    int32_t n = int32_t(count);
    return StreamRead(stream, bytes, &n);
}

// A block of `bytes` bytes read into a new pointer (null for 0), its u32 fields swapped.
OSStatus ReadLongBlock(StreamRecord* stream, uint32_t bytes, Ptr* block) {
    *block = nullptr;
    if (bytes == 0) return status::kNoErr;
    if (int64_t(bytes) > Left(stream)) return status::kEndOfFile;
    Ptr p = AllocPtr(gGenPool, bytes);
    if (!p) return status::kOutOfMemory;
    if (OSStatus err = ReadBytes(stream, p, bytes)) {
        MemFreePtr(p);
        return err;
    }
    if (stream->flags & kStreamSwapOnRead) ByteSwapLongArray(p, bytes);
    *block = p;
    return status::kNoErr;
}

// One component after its first six bytes (`head`); *component is null on failure.
OSStatus ReadComponent(StreamRecord* stream, uint8_t head[kStoredHeadSize], StringBlock block,
                       ComponentRecord** component) {
    *component = nullptr;
    const bool swap = stream->flags & kStreamSwapOnRead;
    if (OSStatus err = ReadBytes(stream, head + 6, kStoredHeadSize - 6)) return err;
    if (swap) ByteSwapTemplate(head, kStoredHeadTemplate);
    ComponentRecord counts{};
    std::memcpy(&counts.symbolCount, head, kStoredHeadSize);
    if (counts.nameCount < 0) return status::kParamErr;
    // The least the counts need of the stream, checked before the record is allocated.
    const int64_t least = int64_t(counts.nameCount) * 4 + counts.packageCount * int64_t(kCompPackageSize) +
                          counts.symbolCount * 10 + counts.sectionCount * 8 + counts.pinSetCount * 2;
    if (least > Left(stream)) return status::kEndOfFile;
    ComponentRecord* c = CreateComponent(counts.packageCount, counts.pinSetCount, counts.symbolCount,
                                         counts.sectionCount, counts.nameCount);
    if (!c) return status::kOutOfMemory;
    std::memcpy(&c->symbolCount, head, kStoredHeadSize);
    OSStatus err = status::kNoErr;
    for (int32_t i = 0; !err && i < c->nameCount; ++i) err = StreamReadLong(stream, &CompNames(c)[i]);
    for (int32_t i = 0; !err && i < c->packageCount; ++i) {
        uint8_t bytes[kCompPackageSize];
        err = ReadBytes(stream, bytes, kCompPackageSize);
        if (!err && swap) ByteSwapTemplate(bytes, kPackageTemplate);
        if (!err) std::memcpy(&CompPackages(c)[i], bytes, kCompPackageSize);
    }
    for (int32_t i = 0; !err && i < c->symbolCount; ++i) {
        uint32_t first = 0, second = 0;
        uint16_t bytes = 0;
        err = StreamReadLong(stream, &first);
        if (!err) err = StreamReadLong(stream, &second);
        if (!err) err = StreamReadWord(stream, &bytes);
        if (!err && bytes % 4) err = status::kParamErr;
        Ptr ids = nullptr;
        if (!err) err = ReadLongBlock(stream, bytes, &ids);
        CompSymbols(c)[i] = {int32_t(first), int32_t(second), reinterpret_cast<uint32_t*>(ids)};
    }
    for (int32_t i = 0; !err && i < c->sectionCount; ++i) {
        ComponentSection head8{};
        err = ReadBytes(stream, &head8, sizeof head8);
        if (err) break;
        if (swap) ByteSwapTemplate(&head8, kSectionHeadTemplate);
        const int64_t bytes = int64_t(c->pinSetCount) * head8.pinCount * 4;
        if (bytes > Left(stream)) {
            err = status::kEndOfFile;
            break;
        }
        ComponentSection* s = CreateCompSection(c->pinSetCount, head8.pinCount);
        if (!s) {
            err = status::kOutOfMemory;
            break;
        }
        s->symbolIndex = head8.symbolIndex;
        s->suffix = head8.suffix;
        CompSections(c)[i] = s;
        err = ReadBytes(stream, SectionNumbers(s), uint32_t(bytes));
        if (!err && swap) ByteSwapLongArray(SectionNumbers(s), uint32_t(bytes));
    }
    for (int32_t i = 0; !err && i < c->pinSetCount; ++i) {
        uint16_t bytes = 0;
        err = StreamReadWord(stream, &bytes);
        if (!err && bytes % sizeof(CompHiddenPin)) err = status::kParamErr;
        Ptr table = nullptr;
        if (!err) err = ReadLongBlock(stream, bytes, &table);
        CompHiddenPins(c)[i] = reinterpret_cast<CompHiddenPin*>(table);
    }
    if (err) {
        FreeComponent(c);
        return err;
    }
    c->hash = 0;
    CalcCompHash(c, block);
    *component = c;
    return status::kNoErr;
}

OSStatus WriteComponent(StreamRecord* stream, ComponentRecord* c) {
    if (c->symbolCount == 255 && c->sectionCount == 255 && c->packageCount == 255 && c->pinSetCount == 255)
        return status::kParamErr;  // it would read as the end mark
    if (OSStatus err = StreamWrite(stream, &c->symbolCount, kStoredHeadSize)) return err;
    for (int32_t i = 0; i < c->nameCount; ++i)
        if (OSStatus err = StreamWriteLong(stream, CompNames(c)[i])) return err;
    if (c->packageCount)
        if (OSStatus err = StreamWrite(stream, CompPackages(c), int32_t(c->packageCount * kCompPackageSize)))
            return err;
    for (int32_t i = 0; i < c->symbolCount; ++i) {
        const CompSymbolEntry& e = CompSymbols(c)[i];
        const uint32_t bytes = e.pinDataIds ? SizeOfPtr(e.pinDataIds) / 4 * 4 : 0;
        if (bytes > 0xFFFF) return status::kParamErr;
        if (OSStatus err = StreamWriteLong(stream, uint32_t(e.mapId))) return err;
        if (OSStatus err = StreamWriteLong(stream, uint32_t(e.secondMapId))) return err;
        if (OSStatus err = StreamWriteWord(stream, uint16_t(bytes))) return err;
        if (bytes)
            if (OSStatus err = StreamWrite(stream, e.pinDataIds, int32_t(bytes))) return err;
    }
    for (int32_t i = 0; i < c->sectionCount; ++i) {
        const ComponentSection* s = CompSections(c)[i];
        const ComponentSection head8 = s ? *s : ComponentSection{};
        if (OSStatus err = StreamWrite(stream, &head8, sizeof head8)) return err;
        for (int32_t set = 0; set < c->pinSetCount; ++set)
            for (int32_t pin = 0; pin < head8.pinCount; ++pin)
                if (OSStatus err = StreamWriteLong(stream, GetCompSectionPinNumber(s, nullptr, set, pin, nullptr)))
                    return err;
    }
    for (int32_t i = 0; i < c->pinSetCount; ++i) {
        const CompHiddenPin* table = CompHiddenPins(c)[i];
        const uint32_t bytes = table ? SizeOfPtr(table) / sizeof(CompHiddenPin) * sizeof(CompHiddenPin) : 0;
        if (bytes > 0xFFFF) return status::kParamErr;
        if (OSStatus err = StreamWriteWord(stream, uint16_t(bytes))) return err;
        if (bytes)
            if (OSStatus err = StreamWrite(stream, table, int32_t(bytes))) return err;
    }
    return status::kNoErr;
}

}  // namespace

// ---- Layout ----

CompSymbolEntry* CompSymbols(ComponentRecord* c) { return reinterpret_cast<CompSymbolEntry*>(Base(c) + SymbolsAt()); }
ComponentSection** CompSections(ComponentRecord* c) {
    return reinterpret_cast<ComponentSection**>(Base(c) + SectionsAt(c));
}
CompPackage* CompPackages(ComponentRecord* c) { return reinterpret_cast<CompPackage*>(Base(c) + PackagesAt(c)); }
CompHiddenPin** CompHiddenPins(ComponentRecord* c) {
    return reinterpret_cast<CompHiddenPin**>(Base(c) + HiddenAt(c));
}
StringSpec* CompNames(ComponentRecord* c) { return reinterpret_cast<StringSpec*>(Base(c) + NamesAt(c)); }

// ---- Names, prefix and packages ----

StringSpec GetCompName(ComponentRecord* c, StringBlock block, int32_t index, char* name) {
    Clear(name);
    if (!c || index < 0 || index >= c->nameCount) return 0;
    return Extract(CompNames(c)[index], block, name);
}

void SetCompName(ComponentRecord* c, StringBlock block, int32_t index, const char* name) {
    if (!c || index < 0 || index >= c->nameCount) return;
    const StringSpec spec = name && *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
    if (spec == 0 && name && *name) return;  // not stored (the add status says why): kept
    CompNames(c)[index] = spec;
    c->hash = 0;
}

int32_t GetCompNameIndex(ComponentRecord* c, StringBlock block, const char* name) {
    return c ? IndexOfText(c->nameCount, name, [&](int32_t i, char* text) {
        GetCompName(c, block, i, text);
        return true;
    })
             : -1;
}

StringSpec GetCompRefPrefix(ComponentRecord* c, StringBlock block, char* prefix) {
    Clear(prefix);
    return c ? Extract(c->refPrefix, block, prefix) : 0;
}

void SetCompRefPrefix(ComponentRecord* c, StringBlock block, const char* prefix) {
    if (!c) return;
    const StringSpec spec = prefix && *prefix ? OverlayStringBlock(block, prefix, -1, nullptr) : 0;
    if (spec == 0 && prefix && *prefix) return;  // not stored (the add status says why): kept
    c->refPrefix = spec;
}

StringSpec GetCompPackageName(ComponentRecord* c, StringBlock block, int32_t package, char* name) {
    Clear(name);
    const CompPackage* p = Package(c, package);
    return p ? Extract(p->name, block, name) : 0;
}

StringSpec GetCompPackageFootprint(ComponentRecord* c, StringBlock block, int32_t package, char* footprint) {
    Clear(footprint);
    const CompPackage* p = Package(c, package);
    return p ? Extract(p->footprint, block, footprint) : 0;
}

int32_t FindCompPackageWithName(ComponentRecord* c, StringBlock block, const char* name) {
    return c ? IndexOfText(c->packageCount, name, [&](int32_t i, char* text) {
        GetCompPackageName(c, block, i, text);
        return true;
    })
             : -1;
}

int32_t GetPackagePinSet(ComponentRecord* c, int32_t package) {
    const CompPackage* p = Package(c, package);
    return p ? p->pinSet : 0;
}

void GetCompFootprintString(ComponentRecord* c, int32_t package, int32_t nameIndex, StringBlock block, char* out) {
    Clear(out);
    if (!c || !out) return;
    char name[kCompTextSize], footprint[kCompTextSize];
    GetCompName(c, block, nameIndex, name);
    GetCompPackageFootprint(c, block, package, footprint);
    if (!footprint[0]) GetCompPackageName(c, block, package, footprint);
    Join(out, {name, footprint});
}

// ---- Symbols and pins ----

uint32_t* GetCompSymbolPinDataIds(ComponentRecord* c, int32_t symbol) {
    return c && symbol >= 0 && symbol < c->symbolCount ? CompSymbols(c)[symbol].pinDataIds : nullptr;
}

void SetCompSymbolPinDataIds(ComponentRecord* c, int32_t symbol, uint32_t* ids) {
    if (!c || symbol < 0 || symbol >= c->symbolCount) return;
    uint32_t*& slot = CompSymbols(c)[symbol].pinDataIds;
    if (slot && slot != ids) MemFreePtr(reinterpret_cast<Ptr>(slot));
    slot = ids;
}

void GetCompSymbolMapIds(ComponentRecord* c, int32_t symbol, int32_t ids[2]) {
    ids[0] = ids[1] = -1;
    if (!c || symbol < 0 || symbol >= c->symbolCount) return;
    ids[0] = CompSymbols(c)[symbol].mapId;
    ids[1] = CompSymbols(c)[symbol].secondMapId;
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
    return slot ? *slot : kCompNoPinData;
}

void SetCompSymbolPinDataId(ComponentRecord* c, int32_t pinSet, uint16_t symbol, int32_t pin, uint32_t id) {
    if (uint32_t* slot = PinIdSlot(c, pinSet, symbol, pin)) *slot = id;
}

StringSpec GetCompHiddenPinInfo(ComponentRecord* c, StringBlock block, int32_t pinSet, int32_t hiddenPin,
                                char* number, uint32_t* pinDataId) {
    Clear(number);
    if (pinDataId) *pinDataId = kCompNoPinData;
    if (!PinIdSlot(c, pinSet, kCompHiddenPins, hiddenPin)) return 0;
    const CompHiddenPin pin = CompHiddenPins(c)[pinSet][hiddenPin];
    if (pinDataId) *pinDataId = pin.pinDataId;
    return Extract(pin.number, block, number);
}

int32_t FindCompHiddenPin(ComponentRecord* c, StringBlock block, int32_t pinSet, bool byName, PinDataTable pins,
                          const char* text) {
    if (!c || !text || !*text) return -1;
    const int32_t count = CountCompSymbolPins(c, pinSet, kCompHiddenPins);
    char candidate[kPinTextSize];
    for (int32_t i = 0; i < count; ++i) {
        uint32_t id = kCompNoPinData;
        GetCompHiddenPinInfo(c, block, pinSet, i, candidate, &id);
        if (byName) GetIndexedPinDataName(pins, int32_t(id), block, candidate);
        if (SameText(candidate, text)) return i;
    }
    return -1;
}

StringSpec GetCompPinInfo(ComponentRecord* c, StringBlock block, int32_t pinSet, uint16_t section, int32_t pin,
                          char* number, uint32_t* pinDataId) {
    if (section == kCompHiddenPins) return GetCompHiddenPinInfo(c, block, pinSet, pin, number, pinDataId);
    Clear(number);
    if (pinDataId) *pinDataId = kCompNoPinData;
    const ComponentSection* s = GetCompSection(c, section);
    if (!s) return 0;
    if (pinDataId) *pinDataId = GetCompSymbolPinDataId(c, pinSet, s->symbolIndex, pin);
    return GetCompSectionPinNumber(s, block, pinSet, pin, number);
}

// ---- Sections ----

ComponentSection* CreateCompSection(int32_t pinSets, int32_t pins) {
    if (pinSets < 0 || pinSets > 255 || pins < 0 || pins > 0xFFFF) return nullptr;
    const uint64_t size = sizeof(ComponentSection) + uint64_t(pinSets) * uint64_t(pins) * 4;
    auto* s = reinterpret_cast<ComponentSection*>(AllocPtrClear(gGenPool, uint32_t(size)));
    if (s) s->pinCount = uint16_t(pins);
    return s;
}

void DestroyCompSection(ComponentSection* section) {
    if (section) MemFreePtr(reinterpret_cast<Ptr>(section));
}

ComponentSection* DuplicateCompSection(const ComponentSection* section) {
    return section ? reinterpret_cast<ComponentSection*>(ClonePtr(gGenPool, section)) : nullptr;
}

int32_t CompSectionPinSets(const ComponentSection* section) {
    if (!section || section->pinCount == 0) return 0;
    const uint32_t size = SizeOfPtr(section);
    return size < sizeof(ComponentSection) ? 0 : int32_t((size - sizeof(ComponentSection)) / (4u * section->pinCount));
}

ComponentSection* GetCompSection(ComponentRecord* c, int32_t index) {
    return c && index >= 0 && index < c->sectionCount ? CompSections(c)[index] : nullptr;
}

void SetCompSection(ComponentRecord* c, int32_t index, ComponentSection* section) {
    if (!c || index < 0 || index >= c->sectionCount) return;
    ComponentSection*& slot = CompSections(c)[index];
    if (slot && slot != section) DestroyCompSection(slot);
    slot = section;
    c->hash = 0;
}

StringSpec GetCompSectionSuffix(const ComponentSection* section, StringBlock block, char* suffix) {
    Clear(suffix);
    return section ? Extract(section->suffix, block, suffix) : 0;
}

int32_t FindCompSectionWithSuffix(ComponentRecord* c, StringBlock block, const char* suffix) {
    return c ? IndexOfText(c->sectionCount, suffix, [&](int32_t i, char* text) {
        GetCompSectionSuffix(CompSections(c)[i], block, text);
        return CompSections(c)[i] != nullptr;
    })
             : -1;
}

StringSpec GetCompSectionPinNumber(const ComponentSection* section, StringBlock block, int32_t pinSet, int32_t pin,
                                   char* number) {
    Clear(number);
    if (!section || pin < 0 || pin >= section->pinCount || pinSet < 0 || pinSet >= CompSectionPinSets(section))
        return 0;
    return Extract(SectionNumbers(section)[pinSet * section->pinCount + pin], block, number);
}

void SetCompSectionPinNumberSpec(ComponentSection* section, int32_t pinSet, int32_t pin, StringSpec spec) {
    if (!section || pin < 0 || pin >= section->pinCount || pinSet < 0 || pinSet >= CompSectionPinSets(section))
        return;
    SectionNumbers(section)[pinSet * section->pinCount + pin] = spec;
}

void SetCompSectionPinNumber(ComponentSection* section, StringBlock block, int32_t pinSet, int32_t pin,
                             const char* number) {
    const StringSpec spec = number && *number ? OverlayStringBlock(block, number, -1, nullptr) : 0;
    if (spec == 0 && number && *number) return;  // not stored (the add status says why): kept
    SetCompSectionPinNumberSpec(section, pinSet, pin, spec);
}

bool DoesCompSectionUseSymbol(ComponentRecord* c, int32_t section, int32_t symbol) {
    const ComponentSection* s = GetCompSection(c, section);
    return s && s->symbolIndex == symbol;
}

bool IsLegalSymbolSlot(const SymbolRecord* symbol, int32_t slot) {
    if (!symbol) return false;
    if (!symbol->component) return slot == 0;
    return slot >= 0 && DoesCompSectionUseSymbol(symbol->component, slot, symbol->kind.comp.symbol);
}

int32_t GetNextCompSectionUsingSymbol(ComponentRecord* c, int32_t symbol, int32_t after, ComponentSection** section) {
    if (section) *section = nullptr;
    if (!c) return -1;
    for (int32_t i = std::max(after + 1, 0); i < c->sectionCount; ++i) {
        if (DoesCompSectionUseSymbol(c, i, symbol)) {
            if (section) *section = CompSections(c)[i];
            return i;
        }
    }
    return -1;
}

int32_t GetFirstCompSectionUsingSymbol(ComponentRecord* c, int32_t symbol, ComponentSection** section) {
    return GetNextCompSectionUsingSymbol(c, symbol, -1, section);
}

int32_t CountCompSectionsUsingSymbol(ComponentRecord* c, int32_t symbol) {
    int32_t count = 0;
    for (int32_t i = GetFirstCompSectionUsingSymbol(c, symbol, nullptr); i >= 0;
         i = GetNextCompSectionUsingSymbol(c, symbol, i, nullptr))
        ++count;
    return count;
}

// ---- Life cycle ----

ComponentRecord* CreateComponent(int32_t packages, int32_t pinSets, int32_t symbols, int32_t sections,
                                 int32_t names) {
    if (packages < 0 || packages > 255 || pinSets < 0 || pinSets > 255 || symbols < 0 || symbols > 255 ||
        sections < 0 || sections > 255 || names < 0 || names > 0x7FFF)
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

ComponentRecord* DuplicateComponent(ComponentRecord* c) {
    if (!c) return nullptr;
    auto* copy = reinterpret_cast<ComponentRecord*>(AllocPtrWithData(gGenPool, c, uint32_t(TotalSize(c))));
    if (!copy) return nullptr;
    // Nothing of the original may be freed with the copy, so its owned blocks are cleared first.
    for (int32_t i = 0; i < copy->symbolCount; ++i) CompSymbols(copy)[i].pinDataIds = nullptr;
    std::fill(CompSections(copy), CompSections(copy) + copy->sectionCount, nullptr);
    std::fill(CompHiddenPins(copy), CompHiddenPins(copy) + copy->pinSetCount, nullptr);
    copy->next = nullptr;
    copy->hash = 0;
    bool failed = false;
    const auto clone = [&](const void* p) -> Ptr {
        if (!p || SizeOfPtr(p) == 0) return nullptr;
        Ptr q = ClonePtr(gGenPool, p);
        if (!q) failed = true;
        return q;
    };
    for (int32_t i = 0; i < c->symbolCount; ++i)
        CompSymbols(copy)[i].pinDataIds = reinterpret_cast<uint32_t*>(clone(CompSymbols(c)[i].pinDataIds));
    for (int32_t i = 0; i < c->sectionCount; ++i)
        CompSections(copy)[i] = reinterpret_cast<ComponentSection*>(clone(CompSections(c)[i]));
    for (int32_t i = 0; i < c->pinSetCount; ++i)
        CompHiddenPins(copy)[i] = reinterpret_cast<CompHiddenPin*>(clone(CompHiddenPins(c)[i]));
    if (failed) {
        FreeComponent(copy);
        return nullptr;
    }
    return copy;
}

void FreeInternalCompStructures(LinkListHeader*, void* item, void*, uint32_t) {
    auto* c = static_cast<ComponentRecord*>(item);
    if (!c) return;
    for (int32_t i = 0; i < c->symbolCount; ++i) {
        if (CompSymbols(c)[i].pinDataIds) MemFreePtr(reinterpret_cast<Ptr>(CompSymbols(c)[i].pinDataIds));
        CompSymbols(c)[i].pinDataIds = nullptr;
    }
    for (int32_t i = 0; i < c->sectionCount; ++i) {
        DestroyCompSection(CompSections(c)[i]);
        CompSections(c)[i] = nullptr;
    }
    for (int32_t i = 0; i < c->pinSetCount; ++i) {
        if (CompHiddenPins(c)[i]) MemFreePtr(reinterpret_cast<Ptr>(CompHiddenPins(c)[i]));
        CompHiddenPins(c)[i] = nullptr;
    }
}

void FreeComponent(ComponentRecord* component) {
    if (!component) return;
    FreeInternalCompStructures(nullptr, component, nullptr, 0);
    MemFreePtr(reinterpret_cast<Ptr>(component));
}

LinkListHeader* CreateComponentList() {
    LinkListHeader* list = LLCreate(gGenPool, sizeof(ComponentRecord), 0);
    if (list) LLSetFreeProc(list, FreeInternalCompStructures);
    return list;
}

void DestroyCompList(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

void ClearCompListTempFlags(LinkListHeader* list) {
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) c->tempFlags &= uint8_t(~kCompTempInUse);
}

void PurgeComponentList(LinkListHeader* components, LinkListHeader* symbols) {
    if (!components) return;
    ClearCompListTempFlags(components);
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(symbols)); s; s = s->next)
        if (s->component) s->component->tempFlags |= kCompTempInUse;
    ComponentRecord* previous = nullptr;
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(components)); c;) {
        ComponentRecord* next = c->next;
        if (c->tempFlags & kCompTempInUse) previous = c;
        else LLRemoveOrFree(components, c, previous, true);
        c = next;
    }
}

OSStatus ChangeCompStringBlock(ComponentRecord* c, StringBlock from, StringBlock to) {
    if (!c) return status::kParamErr;
    if (from != to) {
        std::vector<std::pair<void*, StringSpec>> moved;
        OSStatus err = status::kNoErr;
        ForEachSpecSlot(c, [&](void* slot) {
            StringSpec old;
            std::memcpy(&old, slot, sizeof old);
            if (err || old == 0) return;
            const StringSpec spec = TransferStringSpec(old, from, to, true);
            if (spec == 0 && StringBlockAddStatus() != status::kNoErr) err = StringBlockAddStatus();
            else moved.emplace_back(slot, spec);
        });
        if (err) return err;
        for (auto& [slot, spec] : moved) std::memcpy(slot, &spec, sizeof spec);
    }
    c->hash = 0;
    CalcCompHash(c, to);
    return status::kNoErr;
}

OSStatus TransferCompSymbolPinTable(ComponentRecord* c, int32_t symbol, PinDataTable from, PinDataTable to,
                                    bool store) {
    return TransferPins(c, {symbol < 0 ? -1 : symbol}, from, to, store);
}

OSStatus TransferCompPinTable(ComponentRecord* c, PinDataTable from, PinDataTable to, bool store) {
    if (!c) return status::kParamErr;
    std::vector<int32_t> symbols{-1};
    for (int32_t s = 0; s < c->symbolCount; ++s) symbols.push_back(s);
    return TransferPins(c, symbols, from, to, store);
}

ComponentRecord* AddCompToList(LinkListHeader* list, StringBlock block, ComponentRecord* c) {
    if (!list || !c) return nullptr;
    for (int32_t i = 0; i < c->pinSetCount; ++i) SortCompHiddenPins(CompHiddenPins(c)[i], block);
    if (ComponentRecord* found = FindIdenticalComp(list, c, block)) {
        if (found != c) FreeComponent(c);
        return found;
    }
    return static_cast<ComponentRecord*>(LLPush(list, c));
}

ComponentRecord* InstallCompInSheet(SheetRecord* sheet, ComponentRecord* c) {
    return sheet ? AddCompToList(sheet->componentList, sheet->stringBlock, c) : nullptr;
}

// ---- Designators ----

void GetCompSlotSuffix(ComponentRecord* c, int32_t section, StringBlock block, char* suffix) {
    Clear(suffix);
    if (c && c->sectionCount >= 2) GetCompSectionSuffix(GetCompSection(c, section), block, suffix);
}

void AppendRefDesSuffix(ComponentRecord* c, int32_t section, StringBlock block, char* text) {
    if (!text) return;
    char suffix[kCompTextSize];
    GetCompSlotSuffix(c, section, block, suffix);
    if (!suffix[0]) return;
    const std::string joined = std::string(text) + "." + suffix;
    Join(text, {joined.c_str()});
}

void BuildRefDesString(ComponentRecord* c, StringBlock block, int32_t number, int32_t section, bool withSuffix,
                       char* out) {
    Clear(out);
    if (!out) return;
    char prefix[kCompTextSize];
    GetCompRefPrefix(c, block, prefix);
    TruncateUTF8ForByteSize(prefix, kRefDesPrefixMax + 1);
    const std::string digits = number < 0 ? "?" : std::to_string(uint16_t(number));
    Join(out, {prefix, digits.c_str()});
    if (withSuffix) AppendRefDesSuffix(c, section, block, out);
}

int32_t GetDefaultCompRefDes(ComponentRecord* c, int32_t symbol, StringBlock block, bool withSuffix, char* out) {
    const int32_t section = GetFirstCompSectionUsingSymbol(c, symbol, nullptr);
    BuildRefDesString(c, block, -1, section, withSuffix, out);
    return section;
}

void RefDesToPrefix(char* text) {
    if (!text) return;
    size_t end = std::strlen(text);
    while (end > 0 && ((text[end - 1] >= '0' && text[end - 1] <= '9') || text[end - 1] == '?')) --end;
    text[end] = 0;
    if (end == 0) std::strcpy(text, "?");
}

void SortCompHiddenPins(CompHiddenPin* table, StringBlock block) {
    if (!table) return;
    const int32_t count = int32_t(SizeOfPtr(table) / sizeof(CompHiddenPin));
    if (count > kHiddenSortLimit) return;
    for (int32_t i = 1; i < count; ++i) {
        const CompHiddenPin entry = table[i];
        int32_t at = 0;
        while (at < i && CompareHiddenNumbers(table[at], entry, block) <= 0) ++at;
        std::memmove(&table[at + 1], &table[at], size_t(i - at) * sizeof entry);
        table[at] = entry;
    }
}

// ---- Stored form ----

OSStatus WriteComps(StreamRecord* stream, LinkListHeader* list) {
    if (!stream) return status::kParamErr;
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next)
        if (OSStatus err = WriteComponent(stream, c)) return err;
    if (OSStatus err = StreamWriteLong(stream, kEndMark)) return err;
    return StreamWriteWord(stream, 0xFFFF);
}

OSStatus ReadComps(StreamRecord* stream, LinkListHeader* list, StringBlock block) {
    if (!stream || !list) return status::kParamErr;
    void* last = LLLast(list);
    OSStatus err = status::kNoErr;
    for (;;) {
        uint8_t head[kStoredHeadSize] = {};
        err = ReadBytes(stream, head, 6);
        if (err) break;
        uint32_t mark;
        std::memcpy(&mark, head, 4);
        if (mark == kEndMark) break;
        ComponentRecord* c = nullptr;
        err = ReadComponent(stream, head, block, &c);
        if (err) break;
        if (!LLAppend(list, c)) {
            FreeComponent(c);
            err = status::kOutOfMemory;
            break;
        }
    }
    if (err) {
        // Nothing read is kept: the components appended after the list's former last one go.
        void* next = last ? LLGetNext(list, last) : LLFirst(list);
        while (next) {
            void* after = LLGetNext(list, next);
            LLRemoveOrFree(list, next, last, true);
            next = after;
        }
    }
    return err;
}

}  // namespace plexa
