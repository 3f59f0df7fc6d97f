// Library items, their editing and their flattened form; the layouts are at the top of libitem.h.
#include "model/libitem.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/assert.h"
#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/datetime.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/attributes.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/symboldata.h"

namespace plexa {

uint32_t gInflationInstance = 0;

namespace {

constexpr uint32_t kAbsentBlob = 0xFFFFFFFF;
constexpr uint32_t kFlatHeadZeros = 12;
constexpr uint32_t kNewStringBlockQuantum = 64;
constexpr uint32_t kFlattenChunk = 1024;
// What the stored form can hold.
constexpr int32_t kMaxHiddenPins = 0xFFFF / int32_t(sizeof(LibHiddenPin));
constexpr int32_t kMaxSectionPins = 0x7FFF;
constexpr int32_t kMaxSymbols = 255;
constexpr int32_t kMaxPackages = 255;
// The fewest bytes a stored symbol definition and section take.
constexpr uint32_t kStoredSymbolMin = 4 + 4 + 3 * 4 + 4 + 4;
constexpr uint32_t kStoredSectionHead = 8;
constexpr uint32_t kStoredSectionMin = kStoredSectionHead + 1;
constexpr uint32_t kPinDataHeadSize = sizeof(PinDataRecord);

// ---- Parts of the item ----

LibSymbolDef* SymbolAt(const LibraryItem* item, int32_t index) {
    if (!item || !item->symbols || index < 0 || index >= item->head.symbolCount) return nullptr;
    PLEXA_ASSERT(SizeOfHandle(item->symbols) >= uint32_t(index + 1) * sizeof(LibSymbolDef));
    return reinterpret_cast<LibSymbolDef*>(*item->symbols) + index;
}

LibPackage* PackageAt(const LibraryItem* item, int32_t index) {
    if (!item || !item->packages || index < 0 || index >= item->head.packageCount) return nullptr;
    PLEXA_ASSERT(SizeOfHandle(item->packages) >= uint32_t(index + 1) * sizeof(LibPackage));
    return reinterpret_cast<LibPackage*>(*item->packages) + index;
}

bool ValidPinSet(int32_t pinSet) { return pinSet >= 0 && pinSet < kLibPinSetCount; }

bool HiddenPinsIndex(int32_t symbol) { return symbol < 0 || symbol == kLibHiddenPins; }

StringBlock BlockOf(const LibraryItem* item) { return item ? item->stringBlock : nullptr; }

// A field of a symbol definition or a package, by its offset; none when there is no such record.
void* SymbolField(const LibraryItem* item, int32_t index, size_t offset) {
    LibSymbolDef* symbol = SymbolAt(item, index);
    return symbol ? reinterpret_cast<char*>(symbol) + offset : nullptr;
}
void* PackageField(const LibraryItem* item, int32_t index, size_t offset) {
    LibPackage* package = PackageAt(item, index);
    return package ? reinterpret_cast<char*>(package) + offset : nullptr;
}

int32_t HiddenPinCount(const LibraryItem* item, int32_t pinSet) {
    if (!item || !ValidPinSet(pinSet) || !item->hiddenPins[pinSet]) return 0;
    return int32_t(SizeOfHandle(item->hiddenPins[pinSet]) / sizeof(LibHiddenPin));
}

LibHiddenPin* HiddenPinAt(const LibraryItem* item, int32_t pinSet, int32_t index) {
    if (index < 0 || index >= HiddenPinCount(item, pinSet)) return nullptr;
    return reinterpret_cast<LibHiddenPin*>(*item->hiddenPins[pinSet]) + index;
}

int32_t SymbolPinCount(const LibSymbolDef* symbol) {
    return symbol && symbol->pinDataIds ? int32_t(SizeOfPtr(symbol->pinDataIds) / 2) : 0;
}

int32_t SectionArrayCount(const LibSection* section, int32_t pinSet) {
    if (!section || !ValidPinSet(pinSet) || !section->pinNumbers[pinSet]) return 0;
    return int32_t(SizeOfHandle(section->pinNumbers[pinSet]) / sizeof(StringSpec));
}

StringSpec* SectionPinSlot(const LibSection* section, int32_t pinSet, int32_t pin) {
    if (pin < 0 || pin >= SectionArrayCount(section, pinSet)) return nullptr;
    return reinterpret_cast<StringSpec*>(*section->pinNumbers[pinSet]) + pin;
}

LibSection* FirstSection(const LibraryItem* item) {
    return item && item->sections ? static_cast<LibSection*>(LLFirst(item->sections)) : nullptr;
}

void FreeSectionArrays(LibSection* section) {
    for (Handle& h : section->pinNumbers) {
        if (h) MemFree(h);
        h = nullptr;
    }
}

// A copy of a handle's bytes (an empty handle for an empty one); none when memory fails.
Handle CopyHandle(Handle h) {
    const uint32_t size = h ? SizeOfHandle(h) : 0;
    return AllocHandleWithData(nullptr, size ? *h : nullptr, size);
}

// ---- Texts ----

// Stores a text with shared bytes: 0 for none or the empty text. False when it cannot be added.
bool StoreText(StringBlock block, const char* text, StringSpec* spec) {
    if (!text || !*text) {
        *spec = 0;
        return true;
    }
    const StringSpec s = OverlayStringBlock(block, text, -1, nullptr);
    if (s == 0) return false;
    *spec = s;
    return true;
}

// A text field of a record (a spec at any alignment, none when the record is missing): its spec,
// and its text in a buffer of kLibItemTextSize bytes when one is given.
StringSpec GetTextField(const void* field, StringBlock block, char* text) {
    if (text) text[0] = 0;
    if (!field) return 0;
    StringSpec spec;
    std::memcpy(&spec, field, sizeof spec);
    if (text) ExtractStringSpec(spec, block, text, kLibItemTextSize);
    return spec;
}

// Stores the text (shared bytes) in the field; nothing when the record is missing or the text
// cannot be added. The new spec, or 0.
StringSpec SetTextField(void* field, StringBlock block, const char* text) {
    StringSpec spec;
    if (!field || !StoreText(block, text, &spec)) return 0;
    std::memcpy(field, &spec, sizeof spec);
    return spec;
}

// A name as stored: at most 255 bytes, cut at a character boundary.
std::string CutName(const char* name) {
    std::string s(name);
    if (s.size() > size_t(kLibItemNameMaxLength)) {
        TruncateUTF8ForByteSize(s.data(), kLibItemNameMaxLength + 1);
        s.resize(std::strlen(s.c_str()));
    }
    return s;
}

// Moves every spec at the addresses from one block to another: all are computed first and
// stored only when every one could be added. Specs may lie at any alignment.
OSStatus MoveSpecs(const std::vector<void*>& slots, StringBlock from, StringBlock to) {
    if (from == to) return status::kNoErr;
    std::vector<StringSpec> moved(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        StringSpec spec;
        std::memcpy(&spec, slots[i], sizeof spec);
        moved[i] = TransferStringSpec(spec, from, to, true);
        if (OSStatus st = StringBlockAddStatus()) return st;
    }
    for (size_t i = 0; i < slots.size(); ++i) std::memcpy(slots[i], &moved[i], sizeof(StringSpec));
    return status::kNoErr;
}

void AddSectionSpecs(LibSection* section, std::vector<void*>* slots) {
    slots->push_back(&section->suffix);
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        for (int32_t pin = 0; pin < SectionArrayCount(section, set); ++pin)
            slots->push_back(SectionPinSlot(section, set, pin));
}

void AddHiddenPinSpecs(LibraryItem* item, std::vector<void*>* slots) {
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        for (int32_t i = 0; i < HiddenPinCount(item, set); ++i)
            slots->push_back(&HiddenPinAt(item, set, i)->number);
}

// ---- Names ----

// The offset of the name at the index, or of the ending when the index is past the last name.
uint32_t NameOffset(const LibraryItem* item, int32_t index) {
    const char* base = *item->names;
    uint32_t at = 0;
    for (int32_t i = 0; i < index && base[at] != 0; ++i) at += uint32_t(std::strlen(base + at)) + 2;
    return at;
}

uint32_t EndingOffset(const LibraryItem* item) { return NameOffset(item, INT32_MAX); }

// ---- Pins ----

// Where a pin's pin-data id lies: a hidden pin's u32 or a symbol pin's u16.
struct PinSlot {
    void* at;
    bool wide;
    uint32_t Get() const {
        if (wide) {
            uint32_t v;
            std::memcpy(&v, at, 4);
            return v;
        }
        uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    void Set(uint32_t id) const {
        if (wide) {
            std::memcpy(at, &id, 4);
        } else {
            const auto v = uint16_t(id);
            std::memcpy(at, &v, 2);
        }
    }
};

// Every pin of the item: the hidden pins of sets 0..3, then each symbol definition's pins, each
// run from its last pin to its first.
std::vector<PinSlot> PinSlots(const LibraryItem* item) {
    std::vector<PinSlot> slots;
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        for (int32_t i = HiddenPinCount(item, set) - 1; i >= 0; --i)
            slots.push_back({&HiddenPinAt(item, set, i)->pinDataId, true});
    for (int32_t s = 0; s < item->head.symbolCount; ++s) {
        LibSymbolDef* symbol = SymbolAt(item, s);
        for (int32_t i = SymbolPinCount(symbol) - 1; i >= 0; --i)
            slots.push_back({symbol->pinDataIds + i, false});
    }
    return slots;
}

bool HasAnyPins(const LibraryItem* item) {
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        if (HiddenPinCount(item, set) > 0) return true;
    for (int32_t s = 0; s < item->head.symbolCount; ++s)
        if (SymbolPinCount(SymbolAt(item, s)) > 0) return true;
    return false;
}

// Releases a drawing's image references in the item's list and frees it.
void FreeDrawing(LibraryItem* item, Ptr data) {
    if (!data) return;
    if (item->imageList)
        (void)AdjustImageReferenceCountsFromSymbolData(data, SizeOfPtr(data), item->imageList,  // corrupt data changes no counts
                                                 kImageReferenceRelease);
    MemFreePtr(data);
}

// The checks that the reader makes and that the writer repeats, so that whatever is written
// reads back: names of 1 to 255 bytes, attribute, package, hidden-pin and section records that
// their handles hold and the stored form can count, section symbol indices that name a
// definition (or none), and sections and definitions that agree on their pin counts.
OSStatus CheckLibItemParts(const LibraryItem* item) {
    if (!item->names || !item->symbols || !item->packages || !item->sections || !item->stringBlock)
        return kLibItemCorrupt;
    const uint32_t namesSize = SizeOfHandle(item->names);
    if (namesSize < 2) return kLibItemCorrupt;
    for (uint32_t at = 0;;) {
        const char* name = *item->names + at;
        const void* nul = std::memchr(name, 0, namesSize - at);
        if (!nul) return kLibItemCorrupt;
        const auto length = uint32_t(static_cast<const char*>(nul) - name);
        if (at + length + 2 > namesSize || length > uint32_t(kLibItemNameMaxLength))
            return kLibItemCorrupt;
        at += length + 2;
        if (length == 0) break;
    }
    const LibItemHead& head = item->head;
    if (head.attributeCount < 0 || (!item->attributes && head.attributeCount > 0) ||
        SizeOfHandle(item->attributes) < uint32_t(head.attributeCount) * kAttributeSize)
        return kLibItemCorrupt;
    if (SizeOfHandle(item->symbols) < head.symbolCount * sizeof(LibSymbolDef) ||
        SizeOfHandle(item->packages) < head.packageCount * sizeof(LibPackage))
        return kLibItemCorrupt;
    for (int32_t p = 0; p < head.packageCount; ++p)
        if (!ValidPinSet(PackageAt(item, p)->pinSet)) return kLibItemCorrupt;
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        const Handle h = item->hiddenPins[set];
        if (h && (SizeOfHandle(h) % sizeof(LibHiddenPin) != 0 || HiddenPinCount(item, set) > kMaxHiddenPins))
            return kLibItemCorrupt;
    }
    if (item->sections->count > 0xFFFF) return kLibItemCorrupt;
    for (LibSection* s = FirstSection(item); s; s = s->next) {
        if (s->pinCount < 0) return kLibItemCorrupt;
        bool arrays = false;
        for (int32_t set = 0; set < kLibPinSetCount; ++set) {
            if (!s->pinNumbers[set]) continue;
            arrays = true;
            if (SizeOfHandle(s->pinNumbers[set]) != uint32_t(s->pinCount) * sizeof(StringSpec))
                return kLibItemCorrupt;
        }
        if (s->symbolIndex == kLibNoSymbol) continue;
        const LibSymbolDef* symbol = SymbolAt(item, s->symbolIndex);
        if (!symbol) return kLibItemCorrupt;
        const int32_t pins = SymbolPinCount(symbol);
        if ((arrays || pins > 0) && pins != s->pinCount) return kLibItemCorrupt;
    }
    return status::kNoErr;
}

// ---- Flattened bytes read in place ----

uint32_t FlatSize(Handle flat) { return flat && *flat ? SizeOfHandle(flat) : 0; }

uint8_t FlatByte(Handle flat, uint32_t offset) {
    return offset < FlatSize(flat) ? uint8_t((*flat)[offset]) : 0;
}

// 0 no mark, 1 this machine's order, 2 the other one.
int32_t FlatMark(Handle flat, uint32_t minimum) {
    if (FlatSize(flat) < minimum) return 0;
    const uint16_t mark = GetNative16(*flat + kFlatItemMarkOffset, false);
    if (mark == kFlatLibItemMark) return 1;
    if (mark == __builtin_bswap16(kFlatLibItemMark)) return 2;
    return 0;
}

// The offset of the name at the index (of the ending zero byte when index is the count); 0 when
// the list does not reach that far inside the bytes.
uint32_t FlatNameOffset(Handle flat, int32_t index) {
    if (!FlatMark(flat, kFlatItemNamesOffset + 1) || index < 0) return 0;
    const uint32_t size = FlatSize(flat);
    uint32_t at = kFlatItemNamesOffset;
    for (int32_t i = 0; i < index; ++i) {
        const uint8_t length = uint8_t((*flat)[at]);
        if (length == 0) return 0;
        at += 1 + length + 2;
        if (at >= size) return 0;  // the next length byte (or the ending) must be there
    }
    return at;
}

// Recodes an older item's name and cuts it to what a name holds (a buffer of at least
// 3 x 255 + 1 bytes).
void NormalizeStoredName(char* name, uint32_t size, bool utf8) {
    if (!utf8) RecodeString(name, size, kEncodingMacRoman, kEncodingUTF8);
    TruncateUTF8ForByteSize(name, kLibItemNameMaxLength + 1);
}

// ---- Stream helpers of the writer and the reader: a failure signals ----

void Put(StreamRecord* s, const void* bytes, uint32_t count) {
    Signal(StreamWrite(s, bytes, int32_t(count)));
}
void PutU8(StreamRecord* s, uint8_t v) { Put(s, &v, 1); }
void PutU16(StreamRecord* s, uint16_t v) { Signal(StreamWriteWord(s, v)); }
void PutU32(StreamRecord* s, uint32_t v) { Signal(StreamWriteLong(s, v)); }
void PutBlob(StreamRecord* s, const void* data, uint32_t size) {
    if (!data || size == 0) {
        PutU32(s, kAbsentBlob);
        return;
    }
    PutU32(s, size);
    Put(s, data, size);
}

struct Reader {
    StreamRecord* s;
    bool swap;

    uint64_t Left() const { return uint64_t(GetStreamEnd(s) - GetStreamPosition(s)); }
    // Before anything is allocated for what a count claims.
    void Need(uint64_t bytes) const {
        if (bytes > Left()) FailureSignal(status::kEndOfFile);
    }
    void Bytes(void* into, uint32_t count) const {
        int32_t n = int32_t(count);
        Signal(StreamRead(s, into, &n));
    }
    uint8_t U8() const {
        uint8_t v = 0;
        Bytes(&v, 1);
        return v;
    }
    uint16_t U16() const {
        uint16_t v = 0;
        Signal(StreamReadWord(s, &v));
        return v;
    }
    uint32_t U32() const {
        uint32_t v = 0;
        Signal(StreamReadLong(s, &v));
        return v;
    }
    void Skip(uint32_t count) const {
        Need(count);
        Signal(OffsetStreamPosition(s, int32_t(count)));
    }
};

void Corrupt() { FailureSignal(kLibItemCorrupt); }

// ---- Writing ----

void WriteNames(StreamRecord* out, const LibraryItem* item) {
    for (const char* name = *item->names; *name; name += std::strlen(name) + 2) {
        const auto length = uint32_t(std::strlen(name));
        PLEXA_ASSERT(length <= uint32_t(kLibItemNameMaxLength));
        PutU8(out, uint8_t(length));
        Put(out, name, length);
        PutU16(out, uint8_t(name[length + 1]));
    }
    PutU8(out, 0);
}

void WritePinData(StreamRecord* out, const LibraryItem* item) {
    const int32_t count = DACount(item->pinTable);
    if (count > 0xFFFF) Corrupt();
    PutU16(out, uint16_t(count));
    // The table was compacted: its ids are 0 .. count - 1, the records' indexes here.
    for (int32_t id = 0; id < count; ++id) {
        Handle record = GetIndexedPinData(item->pinTable, id);
        if (!record) Corrupt();
        const int16_t attributes = reinterpret_cast<const PinDataRecord*>(*record)->attributeCount;
        const uint32_t size = kPinDataHeadSize + uint32_t(std::max<int16_t>(attributes, 0)) * kAttributeSize;
        if (attributes < 0 || SizeOfHandle(record) < size) Corrupt();
        Put(out, *record, size);
    }
}

void WriteHiddenPins(StreamRecord* out, const LibraryItem* item) {
    uint8_t mask = 0;
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        if (item->hiddenPins[set]) mask |= uint8_t(1 << set);
    PutU8(out, mask);
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        if (!item->hiddenPins[set]) continue;
        const uint32_t size = SizeOfHandle(item->hiddenPins[set]);
        PutU16(out, uint16_t(size));
        Put(out, *item->hiddenPins[set], size);
    }
}

void WriteSymbols(StreamRecord* out, const LibraryItem* item) {
    const bool clearFlags = DACount(item->pinTable) > 0;
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        const LibSymbolDef symbol = *SymbolAt(item, i);
        PutU32(out, symbol.name);
        PutU32(out, symbol.sheetName);
        PutBlob(out, symbol.pinDataIds, uint32_t(SymbolPinCount(&symbol)) * 2);
        PutBlob(out, symbol.mainData, symbol.mainData ? SizeOfPtr(symbol.mainData) : 0);
        PutBlob(out, symbol.alternateData, symbol.alternateData ? SizeOfPtr(symbol.alternateData) : 0);
        PutU32(out, clearFlags ? symbol.flags & ~kLibSymbolFlagsClearedWithPinData : symbol.flags);
        const uint8_t tail[4] = {0, symbol.grid, symbol.placementOptions, symbol.resolution};
        Put(out, tail, 4);
    }
}

void WriteSections(StreamRecord* out, const LibraryItem* item) {
    PutU16(out, uint16_t(item->sections->count));
    for (const LibSection* s = FirstSection(item); s; s = s->next) {
        PutU16(out, uint16_t(s->pinCount));
        PutU8(out, s->symbolIndex);
        PutU8(out, s->spare);
        PutU32(out, s->suffix);
        uint8_t mask = 0;
        for (int32_t set = 0; set < kLibPinSetCount; ++set)
            if (s->pinNumbers[set]) mask |= uint8_t(1 << set);
        PutU8(out, mask);
        for (int32_t set = 0; set < kLibPinSetCount; ++set)
            if (s->pinNumbers[set]) Put(out, *s->pinNumbers[set], SizeOfHandle(s->pinNumbers[set]));
    }
}

void WriteItem(StreamRecord* out, LibraryItem* item, uint32_t timeStamp) {
    PutU16(out, kFlatLibItemMark);
    Signal(StreamWriteLongBE(out, timeStamp ? timeStamp : uint32_t(VXGetCurrentDateTime(0))));
    PutU8(out, IsLibraryItemValid(item) ? 1 : 0);
    PutU16(out, kFlatLibItemVersion);
    item->head.flags |= kLibItemFlagUTF8;
    Put(out, &item->head, sizeof item->head);
    const uint8_t zeros[kFlatHeadZeros] = {};
    Put(out, zeros, sizeof zeros);
    WriteNames(out, item);
    PutU32(out, reinterpret_cast<const StringBlockHeader*>(*item->stringBlock)->used);
    Signal(WriteStringBlock(out, item->stringBlock));
    Signal(WriteAttributeRun(out, item->attributes, item->head.attributeCount));
    Put(out, *item->packages, item->head.packageCount * uint32_t(sizeof(LibPackage)));
    WritePinData(out, item);
    WriteHiddenPins(out, item);
    if (!item->imageList) Corrupt();
    Signal(FlattenImageList(out, item->imageList));
    WriteSymbols(out, item);
    WriteSections(out, item);
}

// ---- Reading ----

// The record with room for the counts of the head (cleared), the name list's ending and an empty
// section list.
LibraryItem* NewItemShell(const LibItemHead& head) {
    auto* item = reinterpret_cast<LibraryItem*>(AllocPtrClear(nullptr, sizeof(LibraryItem)));
    if (!item) return nullptr;
    item->head = head;
    item->symbols = AllocHandleClear(nullptr, head.symbolCount * uint32_t(sizeof(LibSymbolDef)));
    item->packages = AllocHandleClear(nullptr, head.packageCount * uint32_t(sizeof(LibPackage)));
    item->names = AllocHandleClear(nullptr, 2);
    item->sections = CreateLibSectionList();
    if (!item->symbols || !item->packages || !item->names || !item->sections) {
        DestroyLibraryItem(item);
        return nullptr;
    }
    return item;
}

void ReadNames(const Reader& in, LibraryItem* item) {
    const bool utf8 = item->head.flags & kLibItemFlagUTF8;
    std::string names;
    char name[3 * kLibItemNameMaxLength + 1];
    for (;;) {
        const uint8_t length = in.U8();
        if (length == 0) break;
        in.Need(length + 2u);
        in.Bytes(name, length);
        if (std::memchr(name, 0, length)) Corrupt();  // a NUL would end the name early
        name[length] = 0;
        NormalizeStoredName(name, sizeof name, utf8);
        const uint16_t package = in.U16();
        names.append(name, std::strlen(name) + 1);
        names.push_back(char(std::min<uint16_t>(package, 255)));
    }
    names.append(2, '\0');
    if (!SetHandleContent(item->names, names.data(), uint32_t(names.size())))
        FailureSignal(status::kOutOfMemory);
}

// The block's used bytes: a header that agrees with the length stored before it, then the
// strings. The block gets room for its used size, rounded up to its quantum (what the stored
// header calls its allocated size is checked, not allocated).
void ReadItemStringBlock(const Reader& in, LibraryItem* item) {
    const uint32_t length = in.U32();
    if (length < kStringBlockHeaderSize) Corrupt();
    in.Need(length);
    item->stringBlock = AllocHandleClear(nullptr, length);
    if (!item->stringBlock) FailureSignal(status::kOutOfMemory);
    in.Bytes(*item->stringBlock, length);
    StringBlockHeader h;
    std::memcpy(&h, *item->stringBlock, sizeof h);
    if (h.magic != kStringBlockMagic) {
        if (__builtin_bswap32(h.magic) != kStringBlockMagic) Corrupt();
        ByteSwapStringBlockHeader(&h);
    }
    if (h.used != length || h.allocated < h.used || h.allocated > kStringBlockMaxAllocated ||
        h.quantum < kStringBlockMinQuantum)
        Corrupt();
    h.allocated = length;
    h.zero = 0;
    std::memcpy(*item->stringBlock, &h, sizeof h);
    if (!ResizeStringBlock(item->stringBlock, length)) FailureSignal(status::kOutOfMemory);
}

void ReadPackages(const Reader& in, LibraryItem* item) {
    const uint32_t size = item->head.packageCount * uint32_t(sizeof(LibPackage));
    in.Need(size);
    in.Bytes(*item->packages, size);
    for (int32_t p = 0; p < item->head.packageCount; ++p) {
        LibPackage* package = PackageAt(item, p);
        if (in.swap) ByteSwapTemplate(package, kLibPackageTemplate);
        if (!ValidPinSet(package->pinSet)) Corrupt();
    }
}

// Reads the records into the table by interning; map[i] is the id that record i became.
void ReadPinData(const Reader& in, LibraryItem* item, bool makePinTable, std::vector<uint32_t>* map) {
    const uint16_t count = in.U16();
    if (count == 0 && !makePinTable) return;
    item->pinTable = CreatePinDataTable(item->stringBlock);
    if (!item->pinTable) FailureSignal(status::kOutOfMemory);
    in.Need(uint64_t(count) * kPinDataHeadSize);
    map->reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        PinDataRecord head;
        in.Bytes(&head, kPinDataHeadSize);
        if (in.swap) ByteSwapTemplate(&head, kPinDataHeadTemplate);
        if (head.attributeCount < 0) Corrupt();
        const uint32_t attributes = uint32_t(head.attributeCount) * kAttributeSize;
        in.Need(attributes);
        Handle record = AllocHandle(nullptr, kPinDataHeadSize + attributes);
        if (!record) FailureSignal(status::kOutOfMemory);
        std::memcpy(*record, &head, kPinDataHeadSize);
        int32_t n = int32_t(attributes);
        const OSStatus read = StreamRead(in.s, *record + kPinDataHeadSize, &n);
        int32_t id = -1;
        if (read == status::kNoErr) {
            if (in.swap) ByteSwapAttributes(record, kPinDataHeadSize, head.attributeCount);
            id = AddPinDataToTable(item->pinTable, record);
        }
        MemFree(record);
        Signal(read);
        if (id < 0) FailureSignal(status::kOutOfMemory);
        map->push_back(uint32_t(id));
    }
}

void ReadHiddenPins(const Reader& in, LibraryItem* item) {
    const uint8_t mask = in.U8();
    if (mask & ~0x0F) Corrupt();
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        if (!(mask & (1 << set))) continue;
        const uint16_t size = in.U16();
        if (size % sizeof(LibHiddenPin) != 0) Corrupt();
        in.Need(size);
        if (size == 0) continue;  // a set without hidden pins has no table
        item->hiddenPins[set] = AllocHandle(nullptr, size);
        if (!item->hiddenPins[set]) FailureSignal(status::kOutOfMemory);
        in.Bytes(*item->hiddenPins[set], size);
        if (in.swap) ByteSwapLongArray(*item->hiddenPins[set], size);
    }
}

// A blob's bytes in a new pointer block; none for an absent or empty blob.
Ptr ReadBlob(const Reader& in, bool even) {
    const uint32_t size = in.U32();
    if (int32_t(size) < 0 || size == 0) return nullptr;
    if (even && (size & 1)) Corrupt();
    in.Need(size);
    Ptr p = AllocPtr(nullptr, size);
    if (!p) FailureSignal(status::kOutOfMemory);
    int32_t n = int32_t(size);
    if (OSStatus st = StreamRead(in.s, p, &n)) {
        MemFreePtr(p);
        FailureSignal(st);
    }
    return p;
}

void ReadSymbols(const Reader& in, LibraryItem* item, uint16_t version) {
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        const StringSpec name = in.U32();
        const StringSpec sheetName = in.U32();
        LibSymbolDef* symbol = SymbolAt(item, i);
        symbol->name = name;
        symbol->sheetName = sheetName;
        symbol->pinDataIds = reinterpret_cast<uint16_t*>(ReadBlob(in, true));
        if (in.swap && symbol->pinDataIds) ByteSwapWordArray(symbol->pinDataIds, SizeOfPtr(symbol->pinDataIds));
        for (int32_t which = 0; which < 2; ++which) {
            Ptr data = ReadBlob(in, false);
            if (!data) continue;
            if (ByteSwapSymbolData(data, SizeOfPtr(data)) != status::kNoErr) {
                MemFreePtr(data);
                Corrupt();
            }
            if (SetLibSymbolData(item, i, which, data, item->imageList) != status::kNoErr) Corrupt();
        }
        symbol = SymbolAt(item, i);
        symbol->flags = in.U32();
        uint8_t tail[4];
        in.Bytes(tail, 4);
        symbol->grid = tail[1];
        symbol->placementOptions = tail[2];
        symbol->resolution = tail[3];
        if (version <= 1) {
            if (symbol->flags & 0x8000) symbol->placementOptions |= 1;
            if (symbol->flags & 0x10000) symbol->placementOptions |= 2;
            symbol->flags &= ~kLibSymbolOldPlacementBits;
        }
    }
}

void ReadSections(const Reader& in, LibraryItem* item) {
    const uint16_t count = in.U16();
    in.Need(uint64_t(count) * kStoredSectionMin);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t head[kStoredSectionHead];
        in.Bytes(head, sizeof head);
        if (in.swap) ByteSwapSectionRecord(head);
        int16_t pinCount;
        std::memcpy(&pinCount, head, 2);
        const uint8_t symbolIndex = head[2];
        if (pinCount < 0) Corrupt();
        if (symbolIndex >= item->head.symbolCount && symbolIndex != kLibNoSymbol) Corrupt();
        const uint8_t mask = in.U8();
        if (mask & ~0x0F) Corrupt();
        LibSection* section = CreateLibSection();
        if (!section) FailureSignal(status::kOutOfMemory);
        LLPush(item->sections, section);  // reversed at the end
        section->pinCount = pinCount;
        section->symbolIndex = symbolIndex;
        section->spare = head[3];
        std::memcpy(&section->suffix, head + 4, 4);
        const uint32_t size = uint32_t(pinCount) * sizeof(StringSpec);
        for (int32_t set = 0; set < kLibPinSetCount; ++set) {
            if (!(mask & (1 << set))) continue;
            in.Need(size);
            section->pinNumbers[set] = AllocHandle(nullptr, size);
            if (!section->pinNumbers[set]) FailureSignal(status::kOutOfMemory);
            if (size == 0) continue;
            in.Bytes(*section->pinNumbers[set], size);
            if (in.swap) ByteSwapLongArray(*section->pinNumbers[set], size);
        }
    }
    LLReverse(item->sections);
}

// Every pin names the record its stored index became; a pin whose id names no record gets one
// blank record.
void MapPinIds(LibraryItem* item, const std::vector<uint32_t>& map) {
    int32_t blankId = -1;
    for (const PinSlot& slot : PinSlots(item)) {
        const uint32_t stored = slot.Get();
        uint32_t id;
        if (stored < map.size()) {
            id = map[stored];
        } else {
            if (blankId < 0) {
                Handle blank = CreateNewPinData();
                if (!blank) FailureSignal(status::kOutOfMemory);
                blankId = AddPinDataToTable(item->pinTable, blank);
                DestroyPinData(blank);
                if (blankId < 0) FailureSignal(status::kOutOfMemory);
            }
            id = uint32_t(blankId);
        }
        if (!slot.wide && id > 0xFFFF) Corrupt();
        slot.Set(id);
    }
}

void ReadItem(StreamRecord* stream, bool makePinTable, LibraryItem** built) {
    Reader in{stream, false};
    uint16_t mark = 0;
    in.Bytes(&mark, 2);
    if (mark == __builtin_bswap16(kFlatLibItemMark)) {
        in.swap = true;
        EnableStreamReadByteSwap(stream, true);
    } else if (mark != kFlatLibItemMark) {
        Corrupt();
    }
    in.Skip(kFlatItemVersionOffset - 2);
    const uint16_t version = in.U16();
    if (version > kFlatLibItemVersion) FailureSignal(status::kVersionTooNew);
    LibItemHead head;
    in.Bytes(&head, sizeof head);
    if (in.swap) ByteSwapTemplate(&head, kLibItemHeadTemplate);
    if (head.attributeCount < 0) Corrupt();
    in.Skip(kFlatHeadZeros);
    in.Need(uint64_t(head.symbolCount) * kStoredSymbolMin + head.packageCount * sizeof(LibPackage));

    LibraryItem* item = NewItemShell(head);
    if (!item) FailureSignal(status::kOutOfMemory);
    *built = item;
    item->inflationInstance = ++gInflationInstance;
    ReadNames(in, item);
    ReadItemStringBlock(in, item);
    Signal(ReadAttributeRun(stream, nullptr, head.attributeCount, &item->attributes));
    if (!item->attributes && !(item->attributes = AllocHandle(nullptr, 0)))
        FailureSignal(status::kOutOfMemory);
    ReadPackages(in, item);
    std::vector<uint32_t> map;
    ReadPinData(in, item, makePinTable, &map);
    ReadHiddenPins(in, item);
    if (version >= 3) {
        Signal(InflateImageList(stream, &item->imageList));
    } else if (!(item->imageList = CreateLocalImageList())) {
        FailureSignal(status::kOutOfMemory);
    }
    ReadSymbols(in, item, version);
    // The list came with one reference per image; from now on only the drawings' count.
    FreeOneReferenceForEachImageInList(item->imageList);
    ReadSections(in, item);
    Signal(CheckLibItemParts(item));
    if (item->pinTable) MapPinIds(item, map);
    if (!(item->head.flags & kLibItemFlagUTF8)) {
        StringBlock fresh = CreateStringBlock(nullptr, kNewStringBlockQuantum);
        if (!fresh) FailureSignal(status::kOutOfMemory);
        const uint16_t mode = SetStringTransferMode(kStringTransferRecodeIfNeeded);
        const OSStatus st = ChangeLibItemStringBlock(item, fresh);
        SetStringTransferMode(mode);
        if (st != status::kNoErr) DestroyStringBlock(fresh);
        Signal(st);
    }
}

}  // namespace

// ---- The whole item ----

LibraryItem* CreateLibraryItem(uint8_t kind) {
    LibItemHead head{};
    head.kind = kind;
    LibraryItem* item = NewItemShell(head);
    if (!item) return nullptr;
    item->attributes = AllocHandle(nullptr, 0);
    item->stringBlock = CreateStringBlock(nullptr, kNewStringBlockQuantum);
    item->pinTable = item->stringBlock ? CreatePinDataTable(item->stringBlock) : nullptr;
    item->imageList = CreateLocalImageList();
    if (!item->attributes || !item->stringBlock || !item->pinTable || !item->imageList) {
        DestroyLibraryItem(item);
        return nullptr;
    }
    return item;
}

void DestroyLibraryItem(LibraryItem* item) {
    if (!item) return;
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        LibSymbolDef* symbol = SymbolAt(item, i);
        if (!symbol) break;
        const LibSymbolDef held = *symbol;
        *symbol = LibSymbolDef{};
        FreeDrawing(item, held.mainData);
        FreeDrawing(item, held.alternateData);
        if (held.pinDataIds) MemFreePtr(reinterpret_cast<Ptr>(held.pinDataIds));
    }
    if (item->symbols) MemFree(item->symbols);
    if (item->packages) MemFree(item->packages);
    if (item->names) MemFree(item->names);
    if (item->sections) DestroyLibSectionList(item->sections);
    for (Handle h : item->hiddenPins)
        if (h) MemFree(h);
    if (item->pinTable) DestroyPinDataTable(item->pinTable);
    if (item->attributes) MemFree(item->attributes);
    if (item->stringBlock) DestroyStringBlock(item->stringBlock);
    if (item->imageList) DestroyImageList(item->imageList);
    MemFreePtr(reinterpret_cast<Ptr>(item));
}

Handle FlattenLibraryItem(LibraryItem* item, bool allowEmpty, uint32_t timeStamp, OSStatus* status) {
    Handle flat = nullptr;
    StreamRecord* out = nullptr;
    StringBlock fresh = nullptr;
    const OSStatus err = CatchSignals(
        [&] {
            if (!item) FailureSignal(status::kParamErr);
            // An item being edited (empty allowed) keeps the definitions not drawn or not given
            // a section yet, with their flags; they are no part of its validity.
            if (!allowEmpty) PurgeEmptyUnusedParts(item);
            Signal(PurgeUnusedPinSets(item));
            Signal(CompactLibItemImageList(item));
            Signal(CompactLibItemPinTable(item));
            fresh = CreateStringBlock(nullptr, kNewStringBlockQuantum);
            if (!fresh) FailureSignal(status::kOutOfMemory);
            Signal(ChangeLibItemStringBlock(item, fresh));
            fresh = nullptr;
            // Records whose strings did not survive the move (specs that named nothing) may be
            // identical now: they become one, as reading them back would make them.
            Signal(CompactLibItemPinTable(item));
            if (!allowEmpty && item->head.symbolCount == 0) FailureSignal(status::kUserCancelled);
            Signal(CheckLibItemParts(item));
            flat = AllocHandle(nullptr, kFlattenChunk);
            if (!flat) FailureSignal(status::kOutOfMemory);
            Signal(CreateStream(kStreamHandle, StreamTarget::OfHandle(flat), &out));
            SetHandleStreamChunkSize(out, kFlattenChunk);
            WriteItem(out, item, timeStamp);
            SetHandleStreamChunkSize(out, 0);  // the end exactly at the data's
            Signal(SetStreamEnd(out, GetStreamPosition(out)));
        },
        [&] {
            if (fresh) DestroyStringBlock(fresh);
            if (out) DisposeStream(out);
            out = nullptr;
            if (flat) MemFree(flat);
            flat = nullptr;
        });
    if (out) DisposeStream(out);
    if (status) *status = err;
    return flat;
}

OSStatus InflateLibraryItem(Handle flat, LibraryItem** item, bool makePinTable) {
    *item = nullptr;
    if (FlatSize(flat) == 0) return status::kEndOfFile;
    LibraryItem* built = nullptr;
    StreamRecord* stream = nullptr;
    const OSStatus err = CatchSignals(
        [&] {
            Signal(CreateStream(kStreamHandle, StreamTarget::OfHandle(flat), &stream));
            ReadItem(stream, makePinTable, &built);
        },
        [&] {
            DestroyLibraryItem(built);
            built = nullptr;
        });
    if (stream) DisposeStream(stream);
    *item = built;
    return err;
}

bool IsLibraryItemValid(const LibraryItem* item) {
    if (!item || !item->names || (*item->names)[0] == 0 || item->head.symbolCount == 0) return false;
    for (const LibSection* s = FirstSection(item); s; s = s->next)
        if (s->symbolIndex < item->head.symbolCount && SymbolAt(item, s->symbolIndex)->mainData)
            return true;
    return false;
}

OSStatus ChangeLibItemStringBlock(LibraryItem* item, StringBlock block) {
    if (!item || !block) return status::kParamErr;
    const StringBlock from = item->stringBlock;
    if (from == block) return status::kNoErr;
    // Every spec is moved into the new block first and stored only when all could be; the
    // attributes are moved in a copy and the pin table, whose move is all or nothing, last.
    Handle attributes = CopyHandle(item->attributes);
    if (!attributes) return status::kOutOfMemory;
    OSStatus st = ChangeAttributesStringBlock(attributes, 0, item->head.attributeCount, from, block);
    std::vector<void*> slots;
    slots.push_back(&item->head.refPrefix);
    for (int32_t p = 0; p < item->head.packageCount; ++p) {
        LibPackage* package = PackageAt(item, p);
        slots.push_back(reinterpret_cast<char*>(package) + offsetof(LibPackage, name));
        slots.push_back(reinterpret_cast<char*>(package) + offsetof(LibPackage, footprint));
    }
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        slots.push_back(&SymbolAt(item, i)->name);
        slots.push_back(&SymbolAt(item, i)->sheetName);
    }
    for (LibSection* s = FirstSection(item); s; s = s->next) AddSectionSpecs(s, &slots);
    AddHiddenPinSpecs(item, &slots);
    std::vector<StringSpec> moved(slots.size());
    for (size_t i = 0; i < slots.size() && st == status::kNoErr; ++i) {
        StringSpec spec;
        std::memcpy(&spec, slots[i], sizeof spec);
        moved[i] = TransferStringSpec(spec, from, block, true);
        st = StringBlockAddStatus();
    }
    // The table moves its records in its sort order, which follows the specs; their strings go
    // in first in the order of the ids, so that the new block's bytes depend on the item alone.
    for (int32_t id = 0; st == status::kNoErr && id < (item->pinTable ? (*item->pinTable)->idLimit : 0); ++id) {
        const Handle record = GetIndexedPinData(item->pinTable, id);
        if (!record) continue;
        const auto* head = reinterpret_cast<const PinDataRecord*>(*record);
        TransferStringSpec(head->name, from, block, true);
        st = StringBlockAddStatus();
        const auto* attributes = reinterpret_cast<const AttributeRecord*>(*record + kPinDataHeadSize);
        const int32_t count = std::min<int32_t>(head->attributeCount, (SizeOfHandle(record) - kPinDataHeadSize) / kAttributeSize);
        for (int32_t i = 0; st == status::kNoErr && i < count; ++i) {
            TransferStringSpec(attributes[i].name, from, block, true);
            if ((st = StringBlockAddStatus()) == status::kNoErr) {
                TransferStringSpec(attributes[i].value, from, block, true);
                st = StringBlockAddStatus();
            }
        }
    }
    if (st == status::kNoErr && item->pinTable) st = ChangePinTableStringBlock(item->pinTable, block);
    if (st != status::kNoErr) {
        MemFree(attributes);
        return st;
    }
    for (size_t i = 0; i < slots.size(); ++i) std::memcpy(slots[i], &moved[i], sizeof(StringSpec));
    MemFree(item->attributes);
    item->attributes = attributes;
    item->stringBlock = block;
    DestroyStringBlock(from);
    return status::kNoErr;
}

// ---- Facts read straight from the flattened bytes ----

OSStatus CheckFlattenedLibraryItemNames(Handle flat, int32_t* count) {
    if (count) *count = 0;
    if (!FlatMark(flat, kFlatItemNamesOffset + 1)) return status::kParamErr;
    const uint32_t size = FlatSize(flat);
    int32_t names = 0;
    for (uint32_t at = kFlatItemNamesOffset;;) {
        if (at >= size) return status::kParamErr;
        const uint8_t length = uint8_t((*flat)[at]);
        if (length == 0) break;
        at += 1 + length + 2;
        ++names;
    }
    if (names == 0) return status::kParamErr;
    if (count) *count = names;
    return status::kNoErr;
}

int32_t GetFlattenedLibraryItemName(Handle flat, int32_t index, char* out, int32_t size) {
    if (!out || size < 1) return 0;
    out[0] = 0;
    if (CheckFlattenedLibraryItemNames(flat, nullptr) != status::kNoErr) return 0;
    const uint32_t at = FlatNameOffset(flat, index);
    if (at == 0) return 0;
    const uint8_t length = uint8_t((*flat)[at]);
    if (length == 0) return 0;
    char name[3 * kLibItemNameMaxLength + 1];
    std::memcpy(name, *flat + at + 1, length);
    name[length] = 0;
    NormalizeStoredName(name, sizeof name, GetFlattenedLibraryItemFlags(flat) & kLibItemFlagUTF8);
    std::strncpy(out, name, size_t(size - 1));
    out[size - 1] = 0;
    return 1;
}

uint8_t GetFlattenedLibraryItemKind(Handle flat) { return FlatByte(flat, kFlatItemKindOffset); }

uint8_t GetFlattenedLibraryItemFlags(Handle flat) { return FlatByte(flat, kFlatItemFlagsOffset); }

uint8_t IsFlattenedLibraryItemValid(Handle flat) { return FlatByte(flat, kFlatItemValidOffset); }

int32_t GetFlattenedLibraryItemVersion(Handle flat) {
    const int32_t mark = FlatMark(flat, kFlatItemHeadOffset);
    if (!mark) return -1;
    return GetNative16(*flat + kFlatItemVersionOffset, mark == 2);
}

int32_t GetFlattenedLibraryItemTimestamp(Handle flat) {
    const int32_t version = GetFlattenedLibraryItemVersion(flat);
    if (version < 0) return 0;
    const uint32_t stamp = GetBE32(reinterpret_cast<const uint8_t*>(*flat) + kFlatItemTimeStampOffset);
    if (stamp == 0 || version >= kFlatLibItemVersion) return int32_t(stamp);
    return LocalToGlobalDateTime(VXLocalDateTimeFromLegacyPortableTime(stamp));
}

// ---- Names ----

LibPackage* LibItemPackages(LibraryItem* item) {
    return item && item->packages ? reinterpret_cast<LibPackage*>(*item->packages) : nullptr;
}

char* GetLibItemNamesBase(LibraryItem* item) { return item && item->names ? *item->names : nullptr; }

int32_t CountLibraryItemNames(const LibraryItem* item) {
    if (!item || !item->names) return 0;
    int32_t count = 0;
    for (const char* p = *item->names; *p; p += std::strlen(p) + 2) ++count;
    return count;
}

const char* GetLibraryItemNamePtr(const LibraryItem* item, int32_t index) {
    if (!item || !item->names) return "";
    return *item->names + (index < 0 ? EndingOffset(item) : NameOffset(item, index));
}

uint8_t GetLibraryItemNameInfo(const LibraryItem* item, int32_t index, char* name) {
    const char* p = GetLibraryItemNamePtr(item, index);
    const size_t length = std::strlen(p);
    if (name) {
        std::memcpy(name, p, length);  // at most 255 bytes
        name[length] = 0;
    }
    return length ? uint8_t(p[length + 1]) : 0;
}

bool SetLibraryItemNameInfo(LibraryItem* item, int32_t index, const char* name, uint8_t info) {
    if (!item || !item->names || index < 0) return false;
    const uint32_t at = NameOffset(item, index);
    const auto old = uint32_t(std::strlen(*item->names + at));
    if (!name) {
        if (old == 0) return false;
        (*item->names)[at + old + 1] = char(info);
        return true;
    }
    std::string bytes = CutName(name);
    if (bytes.empty()) return false;
    bytes.push_back('\0');
    bytes.push_back(char(info));
    return SpliceHandleData(item->names, int32_t(at), old ? int32_t(old + 2) : 0, bytes.data(),
                            int32_t(bytes.size()));
}

void DeleteLibraryItemNameInfo(LibraryItem* item, int32_t index) {
    if (!item || index < 0 || index >= CountLibraryItemNames(item)) return;
    const uint32_t at = NameOffset(item, index);
    DeleteFromHandle(item->names, int32_t(at), int32_t(std::strlen(*item->names + at) + 2));
}

// ---- Prefix and kind ----

int32_t GetLibraryItemRefPrefix(const LibraryItem* item, char* prefix) {
    if (!prefix) return 0;
    prefix[0] = 0;
    if (!item) return 0;
    char whole[kStringSpecBufferSize];
    ExtractStringSpec(item->head.refPrefix, item->stringBlock, whole, sizeof whole);
    TruncateUTF8ForByteSize(whole, kLibRefPrefixSize);
    const size_t length = std::strlen(whole);
    std::memcpy(prefix, whole, length + 1);
    return int32_t(length);
}

bool SetLibraryItemRefPrefix(LibraryItem* item, const char* prefix) {
    StringSpec spec;
    if (!item || !StoreText(item->stringBlock, prefix, &spec)) return false;
    const bool changed = spec != item->head.refPrefix;
    item->head.refPrefix = spec;
    return changed;
}

uint8_t GetLibraryItemKind(const LibraryItem* item) { return item ? item->head.kind : 0; }

// ---- Symbol definitions ----

StringSpec GetLibSymbolName(LibraryItem* item, int32_t index, char* name) {
    return GetTextField(SymbolField(item, index, offsetof(LibSymbolDef, name)), BlockOf(item), name);
}

void SetLibSymbolName(LibraryItem* item, int32_t index, const char* name) {
    SetTextField(SymbolField(item, index, offsetof(LibSymbolDef, name)), BlockOf(item), name);
}

StringSpec GetLibSymbolSheetName(LibraryItem* item, int32_t index, char* name) {
    return GetTextField(SymbolField(item, index, offsetof(LibSymbolDef, sheetName)), BlockOf(item), name);
}

void SetLibSymbolSheetName(LibraryItem* item, int32_t index, const char* name) {
    SetTextField(SymbolField(item, index, offsetof(LibSymbolDef, sheetName)), BlockOf(item), name);
}

uint32_t GetLibSymbolFlags(LibraryItem* item, int32_t index) {
    const LibSymbolDef* symbol = SymbolAt(item, index);
    return symbol ? symbol->flags : 0;
}

void SetLibSymbolFlags(LibraryItem* item, int32_t index, uint32_t flags) {
    if (LibSymbolDef* symbol = SymbolAt(item, index)) symbol->flags = flags;
}

uint8_t GetLibSymbolPlacementOptions(LibraryItem* item, int32_t index) {
    const LibSymbolDef* symbol = SymbolAt(item, index);
    return symbol ? symbol->placementOptions : 0;
}

void SetLibSymbolPlacementOptions(LibraryItem* item, int32_t index, uint8_t options) {
    if (LibSymbolDef* symbol = SymbolAt(item, index)) symbol->placementOptions = options;
}

uint8_t GetLibSymbolGrid(LibraryItem* item, int32_t index) {
    const LibSymbolDef* symbol = SymbolAt(item, index);
    return symbol ? symbol->grid : 0;
}

void SetLibSymbolGrid(LibraryItem* item, int32_t index, uint8_t grid) {
    if (LibSymbolDef* symbol = SymbolAt(item, index)) symbol->grid = grid;
}

uint8_t GetLibSymbolResolution(LibraryItem* item, int32_t index) {
    const LibSymbolDef* symbol = SymbolAt(item, index);
    return symbol ? symbol->resolution : 0;
}

void SetLibSymbolResolution(LibraryItem* item, int32_t index, uint8_t resolution) {
    if (LibSymbolDef* symbol = SymbolAt(item, index)) symbol->resolution = resolution;
}

Ptr GetLibSymbolData(LibraryItem* item, int32_t index, int32_t which) {
    const LibSymbolDef* symbol = SymbolAt(item, index);
    if (!symbol) return nullptr;
    return which == 0 ? symbol->mainData : which == 1 ? symbol->alternateData : nullptr;
}

OSStatus SetLibSymbolData(LibraryItem* item, int32_t index, int32_t which, Ptr data,
                          ImageList* dataImages) {
    if (!SymbolAt(item, index) || (which != 0 && which != 1)) {
        if (data) MemFreePtr(data);
        return status::kParamErr;
    }
    const auto slot = [&]() -> Ptr& {
        LibSymbolDef* symbol = SymbolAt(item, index);
        return which == 0 ? symbol->mainData : symbol->alternateData;
    };
    const Ptr old = slot();
    if (data == old) return status::kNoErr;
    if (data) {
        const uint32_t size = SizeOfPtr(data);
        // References that name no image of their list are cleared first (this also checks the
        // drawing where no reference is taken).
        OSStatus st = ClearMissingImageReferences(data, size, dataImages ? dataImages : item->imageList);
        if (st == status::kNoErr && item->imageList && dataImages) {
            st = dataImages == item->imageList
                     ? AdjustImageReferenceCountsFromSymbolData(data, size, dataImages, kImageReferenceAdd)
                     : MapSymbolDataImageReferences(data, size, dataImages, item->imageList);
        }
        if (st != status::kNoErr) {
            MemFreePtr(data);
            return st;
        }
    }
    slot() = data;
    FreeDrawing(item, old);
    return status::kNoErr;
}

uint16_t* GetLibSymbolPinDataIds(LibraryItem* item, int32_t index) {
    const LibSymbolDef* symbol = SymbolAt(item, index);
    return symbol ? symbol->pinDataIds : nullptr;
}

void SetLibSymbolPinDataIds(LibraryItem* item, int32_t index, uint16_t* ids) {
    LibSymbolDef* symbol = SymbolAt(item, index);
    uint16_t* old = symbol ? symbol->pinDataIds : ids;
    if (symbol) symbol->pinDataIds = ids;
    if (old && !(symbol && old == ids)) MemFreePtr(reinterpret_cast<Ptr>(old));
}

OSStatus StoreLibSymbol(LibraryItem* item, int32_t index, Ptr main, Ptr alternate,
                        ImageList* images, uint16_t* pinIds) {
    const OSStatus a = SetLibSymbolData(item, index, 0, main, images);
    const OSStatus b = SetLibSymbolData(item, index, 1, alternate, images);
    SetLibSymbolPinDataIds(item, index, pinIds);
    return a != status::kNoErr ? a : b;
}

int32_t AddLibSymbolDef(LibraryItem* item, const char* name, Ptr main, Ptr alternate,
                        ImageList* images, uint16_t* pinIds) {
    StringSpec spec = 0;
    const int32_t index = item ? item->head.symbolCount : 0;
    if (!item || index >= kMaxSymbols || !StoreText(item->stringBlock, name, &spec) ||
        !InsertInHandle(item->symbols, index * int32_t(sizeof(LibSymbolDef)), nullptr,
                        sizeof(LibSymbolDef))) {
        if (main) MemFreePtr(main);
        if (alternate) MemFreePtr(alternate);
        if (pinIds) MemFreePtr(reinterpret_cast<Ptr>(pinIds));
        return -1;
    }
    ++item->head.symbolCount;
    SymbolAt(item, index)->name = spec;
    if (StoreLibSymbol(item, index, main, alternate, images, pinIds) != status::kNoErr) {
        DeleteLibSymbolDef(item, index);
        return -1;
    }
    return index;
}

void DeleteLibSymbolDef(LibraryItem* item, int32_t index) {
    if (!SymbolAt(item, index)) return;
    for (LibSection* s = FirstSection(item); s;) {
        LibSection* next = s->next;
        if (s->symbolIndex == index) {
            RemoveSectionFromLibItem(item, s, true);
        } else if (s->symbolIndex > index && s->symbolIndex != kLibNoSymbol) {
            --s->symbolIndex;
        }
        s = next;
    }
    const LibSymbolDef held = *SymbolAt(item, index);
    FreeDrawing(item, held.mainData);
    FreeDrawing(item, held.alternateData);
    if (held.pinDataIds) MemFreePtr(reinterpret_cast<Ptr>(held.pinDataIds));
    DeleteFromHandle(item->symbols, index * int32_t(sizeof(LibSymbolDef)), sizeof(LibSymbolDef));
    --item->head.symbolCount;
}

OSStatus ChangeSymbolDefStringBlock(LibSymbolDef* symbol, StringBlock from, StringBlock to) {
    if (!symbol) return status::kParamErr;
    return MoveSpecs({&symbol->name, &symbol->sheetName}, from, to);
}

// ---- Sections ----

LibSection* CreateLibSection() {
    auto* section = reinterpret_cast<LibSection*>(AllocPtrClear(nullptr, sizeof(LibSection)));
    if (section) section->symbolIndex = kLibNoSymbol;
    return section;
}

void DestroyLibSection(LibSection* section) {
    if (!section) return;
    FreeSectionArrays(section);
    MemFreePtr(reinterpret_cast<Ptr>(section));
}

void FreeLibSectionStructures(LinkListHeader*, void* section, void*, uint32_t) {
    if (section) FreeSectionArrays(static_cast<LibSection*>(section));
}

LinkListHeader* CreateLibSectionList() {
    LinkListHeader* list = LLCreate(nullptr, sizeof(LibSection), 0);
    if (list) LLSetFreeProc(list, FreeLibSectionStructures);
    return list;
}

void DestroyLibSectionList(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

int32_t AddSectionToLibItem(LibraryItem* item, LibSection* section, bool sorted) {
    if (!item || !section) return -1;
    if (!sorted) {
        LLAppend(item->sections, section);
        return int32_t(item->sections->count) - 1;
    }
    char suffix[kStringSpecBufferSize], other[kStringSpecBufferSize];
    ExtractStringSpec(section->suffix, item->stringBlock, suffix, sizeof suffix);
    LibSection* after = nullptr;
    int32_t position = 0, index = 0;
    for (LibSection* s = FirstSection(item); s; s = s->next, ++index) {
        ExtractStringSpec(s->suffix, item->stringBlock, other, sizeof other);
        if (StrCINCmp(other, suffix, kStringSpecBufferSize) <= 0) {
            after = s;
            position = index + 1;
        }
    }
    LLInsert(item->sections, after, section);
    return position;
}

void RemoveSectionFromLibItem(LibraryItem* item, LibSection* section, bool destroy) {
    if (item && section) LLRemoveOrFree(item->sections, section, nullptr, destroy);
}

LibSection* GetFirstLibSectionUsingSymbol(const LibraryItem* item, int32_t symbol) {
    for (LibSection* s = FirstSection(item); s; s = s->next)
        if (s->symbolIndex == symbol) return s;
    return nullptr;
}

StringSpec GetLibSectionSuffix(const LibSection* section, StringBlock block, char* suffix) {
    return GetTextField(section ? &section->suffix : nullptr, block, suffix);
}

void SetLibSectionSuffix(LibSection* section, StringBlock block, const char* suffix) {
    SetTextField(section ? &section->suffix : nullptr, block, suffix);
}

OSStatus ChangeLibSectionStringBlock(LibSection* section, StringBlock from, StringBlock to) {
    if (!section) return status::kParamErr;
    std::vector<void*> slots;
    AddSectionSpecs(section, &slots);
    return MoveSpecs(slots, from, to);
}

StringSpec GetLibSectionPinNumber(const LibSection* section, StringBlock block, int32_t pinSet,
                                  int32_t pin, char* number) {
    return GetTextField(SectionPinSlot(section, pinSet, pin), block, number);
}

StringSpec SetLibSectionPinNumber(LibSection* section, StringBlock block, int32_t pinSet,
                                  int32_t pin, const char* number) {
    return SetTextField(SectionPinSlot(section, pinSet, pin), block, number);
}

void SetLibSectionPinNumberSpec(LibSection* section, int32_t pinSet, int32_t pin, StringSpec spec) {
    if (StringSpec* slot = SectionPinSlot(section, pinSet, pin)) *slot = spec;
}

void GetLibSectionPinNumberSet(const LibSection* section, int32_t pin, StringSpec specs[4]) {
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        const StringSpec* slot = SectionPinSlot(section, set, pin);
        specs[set] = slot ? *slot : 0;
    }
}

void SetLibSectionPinNumberSet(LibSection* section, int32_t pin, const StringSpec specs[4],
                               StringBlock from, StringBlock to) {
    StringSpec moved[kLibPinSetCount];
    StringSpec fallback = 0;
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        moved[set] = specs[set] && from != to ? TransferStringSpec(specs[set], from, to, true) : specs[set];
        if (!fallback) fallback = moved[set];
    }
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        if (StringSpec* slot = SectionPinSlot(section, set, pin)) *slot = moved[set] ? moved[set] : fallback;
}

bool SetLibSectionPinCount(LibSection* section, int32_t count) {
    if (!section || count < 0 || count > kMaxSectionPins) return false;
    const uint32_t size = uint32_t(count) * sizeof(StringSpec);
    Handle resized[kLibPinSetCount] = {};
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        const Handle old = section->pinNumbers[set];
        if (!old) continue;
        resized[set] = AllocHandleClear(nullptr, size);
        if (!resized[set]) {
            for (Handle h : resized)
                if (h) MemFree(h);
            return false;
        }
        if (size) std::memcpy(*resized[set], *old, std::min(size, SizeOfHandle(old)));
    }
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        if (!resized[set]) continue;
        MemFree(section->pinNumbers[set]);
        section->pinNumbers[set] = resized[set];
    }
    section->pinCount = int16_t(count);
    return true;
}

// ---- Pin sets ----

bool CreateLibSectionPinSet(LibSection* section, int32_t pinSet, int32_t sourceSet) {
    if (!section || !ValidPinSet(pinSet)) return false;
    if (pinSet == sourceSet) return true;
    const Handle source = ValidPinSet(sourceSet) ? section->pinNumbers[sourceSet] : nullptr;
    const Handle h = source ? CopyHandle(source)
                            : AllocHandleClear(nullptr, uint32_t(std::max<int16_t>(section->pinCount, 0)) * 4);
    if (!h) return false;
    if (section->pinNumbers[pinSet]) MemFree(section->pinNumbers[pinSet]);
    section->pinNumbers[pinSet] = h;
    return true;
}

void DestroyLibSectionPinSet(LibSection* section, int32_t pinSet) {
    if (!section || !ValidPinSet(pinSet) || !section->pinNumbers[pinSet]) return;
    MemFree(section->pinNumbers[pinSet]);
    section->pinNumbers[pinSet] = nullptr;
}

bool IsLibPinSetAllocated(const LibraryItem* item, int32_t pinSet) {
    const LibSection* first = FirstSection(item);
    return first && ValidPinSet(pinSet) && first->pinNumbers[pinSet];
}

int32_t GetDefaultLibItemPinSet(const LibraryItem* item) {
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        if (IsLibPinSetAllocated(item, set)) return set;
    return -1;
}

bool AllocateLibItemPinSet(LibraryItem* item, int32_t pinSet, int32_t sourceSet) {
    if (!item || !ValidPinSet(pinSet)) return false;
    for (LibSection* s = FirstSection(item); s; s = s->next)
        if (!s->pinNumbers[pinSet] && !CreateLibSectionPinSet(s, pinSet, sourceSet)) return false;
    return true;
}

// ---- Packages ----

int32_t AddNewPackageToLibItem(LibraryItem* item, int32_t pinSet) {
    if (!item || !ValidPinSet(pinSet) || item->head.packageCount >= kMaxPackages) return -1;
    const int32_t index = item->head.packageCount;
    if (!InsertInHandle(item->packages, index * int32_t(sizeof(LibPackage)), nullptr, sizeof(LibPackage)))
        return -1;
    ++item->head.packageCount;
    PackageAt(item, index)->pinSet = uint8_t(pinSet);
    return index;
}

void DeleteLibItemPackage(LibraryItem* item, int32_t index) {
    if (!PackageAt(item, index)) return;
    DeleteFromHandle(item->packages, index * int32_t(sizeof(LibPackage)), sizeof(LibPackage));
    const int32_t oldCount = item->head.packageCount--;
    for (int32_t i = 0, n = CountLibraryItemNames(item); i < n; ++i) {
        const uint8_t info = GetLibraryItemNameInfo(item, i, nullptr);
        if (info == index) {
            (void)SetLibraryItemNameInfo(item, i, nullptr, 0);  // the index is in range
        } else if (info > index && info < oldCount) {
            (void)SetLibraryItemNameInfo(item, i, nullptr, uint8_t(info - 1));  // the index is in range
        }
    }
}

StringSpec GetLibPackageName(LibraryItem* item, int32_t index, char* name) {
    return GetTextField(PackageField(item, index, offsetof(LibPackage, name)), BlockOf(item), name);
}

void SetLibPackageName(LibraryItem* item, int32_t index, const char* name) {
    SetTextField(PackageField(item, index, offsetof(LibPackage, name)), BlockOf(item), name);
}

StringSpec GetLibPackageFootprint(LibraryItem* item, int32_t index, char* footprint) {
    return GetTextField(PackageField(item, index, offsetof(LibPackage, footprint)), BlockOf(item), footprint);
}

void SetLibPackageFootprint(LibraryItem* item, int32_t index, const char* footprint) {
    SetTextField(PackageField(item, index, offsetof(LibPackage, footprint)), BlockOf(item), footprint);
}

int32_t GetLibPackagePinSet(LibraryItem* item, int32_t index) {
    const LibPackage* package = PackageAt(item, index);
    return package ? package->pinSet : -1;
}

void SetLibPackagePinSet(LibraryItem* item, int32_t index, int32_t pinSet) {
    if (LibPackage* package = PackageAt(item, index); package && ValidPinSet(pinSet))
        package->pinSet = uint8_t(pinSet);
}

OSStatus ChangeLibPackageStringBlock(LibPackage* package, StringBlock from, StringBlock to) {
    if (!package) return status::kParamErr;
    char* base = reinterpret_cast<char*>(package);
    return MoveSpecs({base + offsetof(LibPackage, name), base + offsetof(LibPackage, footprint)}, from, to);
}

// ---- Hidden pins ----

int32_t AddNewHiddenPinToLibItem(LibraryItem* item, int32_t pinSet, const char* number,
                                 uint32_t pinDataId) {
    StringSpec spec;
    if (!item || !ValidPinSet(pinSet) || HiddenPinCount(item, pinSet) >= kMaxHiddenPins ||
        !StoreText(item->stringBlock, number, &spec))
        return -1;
    Handle& table = item->hiddenPins[pinSet];
    const int32_t index = HiddenPinCount(item, pinSet);
    if (!table) {
        table = AllocHandleClear(nullptr, sizeof(LibHiddenPin));
        if (!table) return -1;
    } else if (!AppendHandle(table, nullptr, sizeof(LibHiddenPin))) {
        return -1;
    }
    *HiddenPinAt(item, pinSet, index) = LibHiddenPin{spec, pinDataId};
    return index;
}

void DeleteHiddenPinFromLibItem(LibraryItem* item, int32_t pinSet, int32_t index) {
    if (!HiddenPinAt(item, pinSet, index)) return;
    Handle& table = item->hiddenPins[pinSet];
    DeleteFromHandle(table, index * int32_t(sizeof(LibHiddenPin)), sizeof(LibHiddenPin));
    if (SizeOfHandle(table) == 0) {
        MemFree(table);
        table = nullptr;
    }
}

StringSpec GetLibItemHiddenPinInfo(LibraryItem* item, int32_t pinSet, int32_t index, char* number,
                                   uint32_t* pinDataId) {
    const LibHiddenPin* pin = HiddenPinAt(item, pinSet, index);
    if (pinDataId) *pinDataId = pin ? pin->pinDataId : 0xFFFFFFFF;
    return GetTextField(pin ? &pin->number : nullptr, BlockOf(item), number);
}

void SetLibItemHiddenPinNumber(LibraryItem* item, int32_t pinSet, int32_t index, const char* number) {
    LibHiddenPin* pin = HiddenPinAt(item, pinSet, index);
    SetTextField(pin ? &pin->number : nullptr, BlockOf(item), number);
}

void SetLibItemHiddenPinNumberSpec(LibraryItem* item, int32_t pinSet, int32_t index, StringSpec spec) {
    if (LibHiddenPin* pin = HiddenPinAt(item, pinSet, index)) pin->number = spec;
}

void SetLibItemHiddenPinDataId(LibraryItem* item, int32_t pinSet, int32_t index, uint32_t pinDataId) {
    if (LibHiddenPin* pin = HiddenPinAt(item, pinSet, index)) pin->pinDataId = pinDataId;
}

OSStatus ChangeLibItemHiddenPinsStringBlock(LibraryItem* item, StringBlock from, StringBlock to) {
    if (!item) return status::kParamErr;
    std::vector<void*> slots;
    AddHiddenPinSpecs(item, &slots);
    return MoveSpecs(slots, from, to);
}

// ---- Pins ----

int32_t CountLibSymbolPins(LibraryItem* item, int32_t pinSet, int32_t symbol) {
    if (HiddenPinsIndex(symbol)) return HiddenPinCount(item, pinSet);
    return SymbolPinCount(SymbolAt(item, symbol));
}

uint32_t GetLibSymbolPinDataId(LibraryItem* item, int32_t pinSet, int32_t symbol, int32_t pin) {
    if (HiddenPinsIndex(symbol)) {
        const LibHiddenPin* hidden = HiddenPinAt(item, pinSet, pin);
        return hidden ? hidden->pinDataId : 0xFFFFFFFF;
    }
    const LibSymbolDef* def = SymbolAt(item, symbol);
    if (pin < 0 || pin >= SymbolPinCount(def)) return 0xFFFFFFFF;
    return def->pinDataIds[pin];
}

bool SetLibSymbolPinDataId(LibraryItem* item, int32_t pinSet, int32_t symbol, int32_t pin,
                           uint32_t pinDataId) {
    if (HiddenPinsIndex(symbol)) {
        LibHiddenPin* hidden = HiddenPinAt(item, pinSet, pin);
        if (hidden) hidden->pinDataId = pinDataId;
        return hidden != nullptr;
    }
    LibSymbolDef* def = SymbolAt(item, symbol);
    if (pin < 0 || pin >= SymbolPinCount(def) || pinDataId > 0xFFFF) return false;
    def->pinDataIds[pin] = uint16_t(pinDataId);
    return true;
}

StringSpec GetLibItemPinNumber(LibraryItem* item, const LibSection* section, int32_t pinSet,
                               int32_t pin, char* number) {
    if (section) return GetLibSectionPinNumber(section, BlockOf(item), pinSet, pin, number);
    return GetLibItemHiddenPinInfo(item, pinSet, pin, number, nullptr);
}

StringSpec SetLibItemPinNumber(LibraryItem* item, LibSection* section, int32_t pinSet, int32_t pin,
                               const char* number) {
    if (!item) return 0;
    if (section) return SetLibSectionPinNumber(section, item->stringBlock, pinSet, pin, number);
    LibHiddenPin* hidden = HiddenPinAt(item, pinSet, pin);
    return SetTextField(hidden ? &hidden->number : nullptr, item->stringBlock, number);
}

// ---- The purges that flattening runs ----

void PurgeEmptyUnusedParts(LibraryItem* item) {
    if (!item) return;
    for (int32_t i = 0; i < item->head.symbolCount;) {
        if (!SymbolAt(item, i)->mainData || !GetFirstLibSectionUsingSymbol(item, i)) {
            DeleteLibSymbolDef(item, i);
        } else {
            ++i;
        }
    }
}

OSStatus PurgeUnusedPinSets(LibraryItem* item) {
    if (!item) return status::kParamErr;
    bool keep[kLibPinSetCount] = {};
    if (item->head.kind == kLibItemComponent && item->head.symbolCount > 0) {
        if (item->head.packageCount > 0) {
            for (int32_t p = 0; p < item->head.packageCount; ++p) {
                const int32_t set = PackageAt(item, p)->pinSet;
                if (IsLibPinSetAllocated(item, set)) {
                    keep[set] = true;
                    continue;
                }
                int32_t lowest = GetDefaultLibItemPinSet(item);
                if (lowest < 0) {
                    if (!AllocateLibItemPinSet(item, 0, -1)) return status::kOutOfMemory;
                    lowest = 0;
                }
                PackageAt(item, p)->pinSet = uint8_t(lowest);
                keep[lowest] = true;
            }
        } else if (HasAnyPins(item)) {
            const int32_t lowest = GetDefaultLibItemPinSet(item);
            if (lowest > 0) {
                if (item->hiddenPins[0]) MemFree(item->hiddenPins[0]);
                for (LibSection* s = FirstSection(item); s; s = s->next)
                    if (!CreateLibSectionPinSet(s, 0, lowest)) return status::kOutOfMemory;
                item->hiddenPins[0] = item->hiddenPins[lowest];
                item->hiddenPins[lowest] = nullptr;
            } else if (lowest < 0) {
                // No set has arrays, so the item's pins are hidden ones only (a symbol drawn
                // without pins): pin set 0 gets zero-filled arrays and takes the hidden pins of
                // the lowest set that has some, instead of the pins being dropped on save.
                if (!AllocateLibItemPinSet(item, 0, -1)) return status::kOutOfMemory;
                for (int32_t set = 1; set < kLibPinSetCount && !HiddenPinCount(item, 0); ++set) {
                    if (!HiddenPinCount(item, set)) continue;
                    if (item->hiddenPins[0]) MemFree(item->hiddenPins[0]);
                    item->hiddenPins[0] = item->hiddenPins[set];
                    item->hiddenPins[set] = nullptr;
                }
            }
            keep[0] = true;
        }
    }
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        if (keep[set]) continue;
        for (LibSection* s = FirstSection(item); s; s = s->next) DestroyLibSectionPinSet(s, set);
        if (item->hiddenPins[set]) MemFree(item->hiddenPins[set]);
        item->hiddenPins[set] = nullptr;
    }
    return status::kNoErr;
}

OSStatus CompactLibItemImageList(LibraryItem* item) {
    if (!item) return status::kParamErr;
    if (!item->imageList || DACount(item->imageList->entries) == 0) return status::kNoErr;
    ImageList* fresh = CreateLocalImageList();
    if (!fresh) return status::kOutOfMemory;
    // The drawings are renumbered in copies, so that a failure leaves the item as it was.
    std::vector<Ptr> copies(size_t(item->head.symbolCount) * 2, nullptr);
    OSStatus st = status::kNoErr;
    for (size_t i = 0; i < copies.size() && st == status::kNoErr; ++i) {
        const Ptr data = GetLibSymbolData(item, int32_t(i / 2), int32_t(i % 2));
        if (!data) continue;
        copies[i] = AllocPtrWithData(nullptr, data, SizeOfPtr(data));
        st = copies[i] ? MapSymbolDataImageReferences(copies[i], SizeOfPtr(data), item->imageList, fresh)
                       : status::kOutOfMemory;
    }
    if (st != status::kNoErr) {
        for (Ptr p : copies)
            if (p) MemFreePtr(p);
        DestroyImageList(fresh);
        return st;
    }
    for (size_t i = 0; i < copies.size(); ++i) {
        if (!copies[i]) continue;
        LibSymbolDef* symbol = SymbolAt(item, int32_t(i / 2));
        Ptr& slot = i % 2 ? symbol->alternateData : symbol->mainData;
        MemFreePtr(slot);
        slot = copies[i];
    }
    DestroyImageList(item->imageList);
    item->imageList = fresh;
    return status::kNoErr;
}

OSStatus CompactLibItemPinTable(LibraryItem* item) {
    if (!item) return status::kParamErr;
    if (!item->pinTable || DACount(item->pinTable) == 0) return status::kNoErr;
    PinDataTable fresh = CreatePinDataTable(item->stringBlock);
    if (!fresh) return status::kOutOfMemory;
    const std::vector<PinSlot> slots = PinSlots(item);
    std::vector<uint32_t> ids(slots.size());
    Handle blank = nullptr;
    OSStatus st = status::kNoErr;
    for (size_t i = 0; i < slots.size() && st == status::kNoErr; ++i) {
        Handle record = GetIndexedPinData(item->pinTable, int32_t(std::min<uint32_t>(slots[i].Get(), INT32_MAX)));
        if (!record && !blank) blank = CreateNewPinData();
        if (!record) record = blank;
        const int32_t id = record ? AddPinDataToTable(fresh, record) : -1;
        if (id < 0) {
            st = status::kOutOfMemory;
        } else if (!slots[i].wide && id > 0xFFFF) {
            st = kLibItemCorrupt;
        }
        ids[i] = uint32_t(id);
    }
    if (blank) DestroyPinData(blank);
    if (st != status::kNoErr) {
        DestroyPinDataTable(fresh);
        return st;
    }
    for (size_t i = 0; i < slots.size(); ++i) slots[i].Set(ids[i]);
    DestroyPinDataTable(item->pinTable);
    item->pinTable = fresh;
    return status::kNoErr;
}

void ByteSwapSectionRecord(void* record) { ByteSwapTemplate(record, kLibSectionTemplate); }

}  // namespace plexa
