// Library items; see libitem.h.
#include "model/libitem.h"

#include <algorithm>
#include <cstring>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/symboldata.h"

namespace plexa {

namespace {

constexpr uint32_t kFixedSize = sizeof(LibraryItemRecord);
constexpr int32_t kStringBlockQuantum = 64;
constexpr int32_t kNameBufferSize = 256;

uint32_t DefsAt() { return kFixedSize; }
uint32_t PackagesAt(LibraryItem item) { return DefsAt() + (*item)->symbolCount * sizeof(LibSymbolDef); }
uint32_t NamesAt(LibraryItem item) { return PackagesAt(item) + (*item)->packageCount * sizeof(LibPackage); }

char* Bytes(LibraryItem item) { return *reinterpret_cast<Handle>(item); }
LibSymbolDef* Defs(LibraryItem item) { return reinterpret_cast<LibSymbolDef*>(Bytes(item) + DefsAt()); }

bool ValidSymbol(LibraryItem item, int32_t index) {
    return item && index >= 0 && index < (*item)->symbolCount;
}

// The offset of name `index` (or of the ending when there are fewer names) and the count passed.
uint32_t NameOffset(LibraryItem item, int32_t index, int32_t* passed) {
    const uint32_t size = SizeOfHandle(reinterpret_cast<Handle>(item));
    uint32_t at = NamesAt(item);
    int32_t n = 0;
    while (n < index && at < size && Bytes(item)[at] != 0) {
        at += uint32_t(std::strlen(Bytes(item) + at)) + 2;
        ++n;
    }
    if (passed) *passed = n;
    return at;
}

void FreeSectionStructures(LinkListHeader*, void* item, void*, uint32_t) {
    auto section = static_cast<LibSection>(item);
    for (Handle& numbers : (*section)->pinNumbers) {
        if (numbers) MemFree(numbers);
        numbers = nullptr;
    }
}

void ReleaseDrawing(LibraryItem item, Ptr data) {
    if (!data) return;
    AdjustImageReferenceCountsFromSymbolData(data, SizeOfPtr(data), (*item)->imageList,
                                             kImageReferenceRelease);
    MemFreePtr(data);
}

// Takes a drawing's image references into the item's list.
bool TakeImages(LibraryItem item, Ptr data, ImageList* images) {
    if (!data) return true;
    ImageList* own = (*item)->imageList;
    if (images == own)
        return AdjustImageReferenceCountsFromSymbolData(data, SizeOfPtr(data), own, kImageReferenceAdd) ==
               status::kNoErr;
    return !images || MapSymbolDataImageReferences(data, SizeOfPtr(data), images, own) == status::kNoErr;
}

}  // namespace

LibraryItem CreateLibraryItem(uint8_t kind) {
    auto item = reinterpret_cast<LibraryItem>(AllocHandleClear(gGenPool, kFixedSize + 2));
    if (!item) return nullptr;
    LibraryItemRecord& r = **item;
    r.kind = kind;
    r.flags = 1;
    r.stringBlock = CreateStringBlock(gGenPool, kStringBlockQuantum);
    r.attributes = AllocHandle(gGenPool, 0);
    r.sections = LLCreate(gGenPool, sizeof(LibSectionRecord), kLLHandles);
    if (r.sections) LLSetFreeProc(r.sections, FreeSectionStructures);
    r.pinDataTable = r.stringBlock ? CreatePinDataTable(r.stringBlock) : nullptr;
    r.imageList = CreateLocalImageList();
    if (!r.stringBlock || !r.attributes || !r.sections || !r.pinDataTable || !r.imageList) {
        DestroyLibraryItem(item);
        return nullptr;
    }
    return item;
}

void DestroyLibraryItem(LibraryItem item) {
    if (!item) return;
    for (int32_t i = 0; i < (*item)->symbolCount; ++i) {
        LibSymbolDef def = Defs(item)[i];
        ReleaseDrawing(item, def.main);
        ReleaseDrawing(item, def.alternate);
        if (def.pinDataIds) MemFreePtr(reinterpret_cast<Ptr>(def.pinDataIds));
    }
    LibraryItemRecord r = **item;
    if (r.sections) LLDispose(r.sections, true);
    for (Handle h : r.hiddenPins)
        if (h) MemFree(h);
    DestroyPinDataTable(r.pinDataTable);
    if (r.attributes) MemFree(r.attributes);
    DestroyImageList(r.imageList);
    if (r.stringBlock) DestroyStringBlock(r.stringBlock);
    MemFree(reinterpret_cast<Handle>(item));
}

uint8_t GetLibraryItemKind(LibraryItem item) { return item ? (*item)->kind : 0; }

int32_t CountLibraryItemNames(LibraryItem item) {
    if (!item) return 0;
    int32_t count = 0;
    NameOffset(item, 0x7FFFFFFF, &count);
    return count;
}

uint8_t GetLibraryItemNameInfo(LibraryItem item, int32_t index, char* name) {
    if (name) name[0] = 0;
    if (!item || index < 0) return 0;
    int32_t passed = 0;
    const uint32_t at = NameOffset(item, index, &passed);
    const char* bytes = Bytes(item) + at;
    if (passed != index || at >= SizeOfHandle(reinterpret_cast<Handle>(item)) || !*bytes) return 0;
    const size_t length = std::strlen(bytes);
    if (name) {
        const size_t n = std::min<size_t>(length, kNameBufferSize - 1);
        std::memcpy(name, bytes, n);
        name[n] = 0;
    }
    return uint8_t(bytes[length + 1]);
}

void SetLibraryItemNameInfo(LibraryItem item, int32_t index, const char* name, uint8_t info) {
    if (!item || !name || !*name || index < 0) return;
    int32_t passed = 0;
    const uint32_t at = NameOffset(item, index, &passed);
    const char* old = Bytes(item) + at;
    const int32_t oldLength = passed == index && *old ? int32_t(std::strlen(old)) + 2 : 0;
    const int32_t length = int32_t(std::min<size_t>(std::strlen(name), kNameBufferSize - 1));
    char bytes[kNameBufferSize + 1];
    std::memcpy(bytes, name, size_t(length));
    bytes[length] = 0;
    bytes[length + 1] = char(info);
    SpliceHandleData(reinterpret_cast<Handle>(item), int32_t(at), oldLength, bytes, length + 2);
}

void GetLibraryItemRefPrefix(LibraryItem item, char* prefix) {
    if (!prefix) return;
    prefix[0] = 0;
    if (item) ExtractStringSpec((*item)->refPrefix, (*item)->stringBlock, prefix, kLibItemPrefixSize);
}

bool SetLibraryItemRefPrefix(LibraryItem item, const char* prefix) {
    if (!item) return false;
    const StringSpec spec = prefix && *prefix ? OverlayStringBlock((*item)->stringBlock, prefix, -1, nullptr) : 0;
    const bool changed = spec != (*item)->refPrefix;
    (*item)->refPrefix = spec;
    return changed;
}

int32_t AddLibSymbolDef(LibraryItem item, const char* name, Ptr main, Ptr alternate, ImageList* images,
                        uint16_t* pinDataIds) {
    if (!item || (*item)->symbolCount == 255) return -1;
    if (!TakeImages(item, main, images)) return -1;
    if (!TakeImages(item, alternate, images)) {
        if (main) AdjustImageReferenceCountsFromSymbolData(main, SizeOfPtr(main), (*item)->imageList,
                                                           kImageReferenceRelease);
        return -1;
    }
    LibSymbolDef def{};
    def.name = name && *name ? OverlayStringBlock((*item)->stringBlock, name, -1, nullptr) : 0;
    def.pinDataIds = pinDataIds;
    def.main = main;
    def.alternate = alternate;
    if (!InsertInHandle(reinterpret_cast<Handle>(item), int32_t(PackagesAt(item)), &def, sizeof def)) {
        for (Ptr data : {main, alternate})
            if (data) AdjustImageReferenceCountsFromSymbolData(data, SizeOfPtr(data), (*item)->imageList,
                                                               kImageReferenceRelease);
        return -1;
    }
    return (*item)->symbolCount++;
}

Ptr GetLibSymbolData(LibraryItem item, int32_t index, int32_t which) {
    if (!ValidSymbol(item, index)) return nullptr;
    return which == 0 ? Defs(item)[index].main : which == 1 ? Defs(item)[index].alternate : nullptr;
}

uint16_t* GetLibSymbolPinDataIds(LibraryItem item, int32_t symbol) {
    return ValidSymbol(item, symbol) ? Defs(item)[symbol].pinDataIds : nullptr;
}

int32_t CountLibSymbolPins(LibraryItem item, int32_t pinSet, uint16_t symbol) {
    if (!item) return 0;
    if (symbol == kLibHiddenPins) {
        if (pinSet < 0 || pinSet >= kLibPinSetCount || !(*item)->hiddenPins[pinSet]) return 0;
        return int32_t(SizeOfHandle((*item)->hiddenPins[pinSet]) / sizeof(LibHiddenPin));
    }
    const uint16_t* ids = GetLibSymbolPinDataIds(item, symbol);
    return ids ? int32_t(SizeOfPtr(ids) / 2) : 0;
}

LibPackage* LibItemPackages(LibraryItem item) {
    return item ? reinterpret_cast<LibPackage*>(Bytes(item) + PackagesAt(item)) : nullptr;
}

int32_t AddNewPackageToLibItem(LibraryItem item, int32_t pinSet) {
    if (!item || (*item)->packageCount == 255) return -1;
    LibPackage package{0, 0, uint8_t(pinSet), 0};
    if (!InsertInHandle(reinterpret_cast<Handle>(item), int32_t(NamesAt(item)), &package, sizeof package))
        return -1;
    return (*item)->packageCount++;
}

void SetLibPackageName(LibraryItem item, int32_t index, const char* name) {
    if (!item || index < 0 || index >= (*item)->packageCount) return;
    const StringSpec spec = OverlayStringBlock((*item)->stringBlock, name, -1, nullptr);
    LibItemPackages(item)[index].name = spec;
}

void SetLibPackageFootprint(LibraryItem item, int32_t index, const char* footprint) {
    if (!item || index < 0 || index >= (*item)->packageCount) return;
    const StringSpec spec = OverlayStringBlock((*item)->stringBlock, footprint, -1, nullptr);
    LibItemPackages(item)[index].footprint = spec;
}

LibSection CreateLibSection() {
    auto section = reinterpret_cast<LibSection>(AllocHandleClear(gGenPool, sizeof(LibSectionRecord)));
    if (section) (*section)->symbolIndex = 255;
    return section;
}

void DestroyLibSection(LibSection section) {
    if (!section) return;
    FreeSectionStructures(nullptr, section, nullptr, 0);
    MemFree(reinterpret_cast<Handle>(section));
}

int32_t AddSectionToLibItem(LibraryItem item, LibSection section, bool) {
    if (!item || !section || !LLAppend((*item)->sections, section)) return -1;
    return int32_t((*item)->sections->count) - 1;
}

void SetLibSectionPinCount(LibSection section, int32_t count) {
    if (!section || count < 0 || count > 0x7FFF) return;
    for (Handle numbers : (*section)->pinNumbers) {
        if (!numbers) continue;
        const uint32_t old = SizeOfHandle(numbers), size = uint32_t(count) * 4;
        if (!ResizeHandle(numbers, size)) return;
        if (size > old) std::memset(*numbers + old, 0, size - old);
    }
    (*section)->pinCount = int16_t(count);
}

void CreateLibSectionPinSet(LibSection section, int32_t pinSet, int32_t sourceSet) {
    if (!section || pinSet < 0 || pinSet >= kLibPinSetCount || pinSet == sourceSet) return;
    Handle source = sourceSet >= 0 && sourceSet < kLibPinSetCount ? (*section)->pinNumbers[sourceSet] : nullptr;
    Handle numbers = source ? CloneHandle(gGenPool, source)
                            : AllocHandleClear(gGenPool, uint32_t((*section)->pinCount) * 4);
    if (!numbers) return;
    if ((*section)->pinNumbers[pinSet]) MemFree((*section)->pinNumbers[pinSet]);
    (*section)->pinNumbers[pinSet] = numbers;
}

StringSpec GetLibSectionSuffix(LibSection section, StringBlock block, char* suffix) {
    const StringSpec spec = section ? (*section)->suffix : 0;
    if (suffix) ExtractStringSpec(spec, block, suffix, kNameBufferSize);
    return spec;
}

void SetLibSectionSuffix(LibSection section, StringBlock block, const char* suffix) {
    if (section) (*section)->suffix = suffix && *suffix ? OverlayStringBlock(block, suffix, -1, nullptr) : 0;
}

StringSpec GetLibSectionPinNumber(LibSection section, StringBlock block, int32_t pinSet, int32_t pin,
                                  char* number) {
    StringSpec spec = 0;
    if (section && pinSet >= 0 && pinSet < kLibPinSetCount && pin >= 0) {
        Handle numbers = (*section)->pinNumbers[pinSet];
        if (numbers && uint32_t(pin) < SizeOfHandle(numbers) / 4) std::memcpy(&spec, *numbers + pin * 4, 4);
    }
    if (number) ExtractStringSpec(spec, block, number, kNameBufferSize);
    return spec;
}

StringSpec SetLibSectionPinNumber(LibSection section, StringBlock block, int32_t pinSet, int32_t pin,
                                  const char* number) {
    if (!section || pinSet < 0 || pinSet >= kLibPinSetCount || pin < 0) return 0;
    Handle numbers = (*section)->pinNumbers[pinSet];
    if (!numbers || uint32_t(pin) >= SizeOfHandle(numbers) / 4) return 0;
    const StringSpec spec = number && *number ? OverlayStringBlock(block, number, -1, nullptr) : 0;
    std::memcpy(*numbers + pin * 4, &spec, 4);
    return spec;
}

bool IsLibPinSetAllocated(LibraryItem item, int32_t pinSet) {
    if (!item || pinSet < 0 || pinSet >= kLibPinSetCount) return false;
    auto first = static_cast<LibSection>(LLFirst((*item)->sections));
    return first && (*first)->pinNumbers[pinSet];
}

int32_t AddNewHiddenPinToLibItem(LibraryItem item, int32_t pinSet, const char* number, uint32_t pinDataId) {
    if (!item || pinSet < 0 || pinSet >= kLibPinSetCount) return -1;
    LibHiddenPin pin{number && *number ? OverlayStringBlock((*item)->stringBlock, number, -1, nullptr) : 0,
                     pinDataId};
    if (!(*item)->hiddenPins[pinSet]) {
        Handle made = AllocHandle(gGenPool, 0);
        if (!made) return -1;
        (*item)->hiddenPins[pinSet] = made;
    }
    Handle pins = (*item)->hiddenPins[pinSet];
    const int32_t index = int32_t(SizeOfHandle(pins) / sizeof pin);
    if (!AppendHandle(pins, &pin, sizeof pin)) return -1;
    return index;
}

StringSpec GetLibItemHiddenPinInfo(LibraryItem item, int32_t pinSet, int32_t index, char* number,
                                   uint32_t* pinDataId) {
    LibHiddenPin pin{};
    if (item && index >= 0 && index < CountLibSymbolPins(item, pinSet, kLibHiddenPins))
        std::memcpy(&pin, *(*item)->hiddenPins[pinSet] + index * sizeof pin, sizeof pin);
    if (number) ExtractStringSpec(pin.number, item ? (*item)->stringBlock : nullptr, number, kNameBufferSize);
    if (pinDataId) *pinDataId = pin.pinDataId;
    return pin.number;
}

}  // namespace plexa
