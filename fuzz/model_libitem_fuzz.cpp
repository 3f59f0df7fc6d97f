// Fuzz target: flattened library items, as library files and sheets store them (either byte order,
// versions 0 to 4). The facts read straight from the bytes are read; the item is inflated without
// and with a pin-data table made on request, used as the editors and sheets use it (names,
// prefix, symbols with their pins and node maps, sections and pin numbers, packages, hidden pins),
// and flattened again: what that writes must read, and flatten to the same bytes. Every image
// reference taken is given back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

constexpr uint32_t kStamp = 0x12345678;

void UseItem(LibraryItem* item) {
    char text[kStringSpecBufferSize];
    for (int32_t i = 0; i <= CountLibraryItemNames(item); ++i) GetLibraryItemNameInfo(item, i, text);
    GetLibraryItemRefPrefix(item, text);
    for (int32_t s = 0; s < item->head.symbolCount; ++s) {
        GetLibSymbolName(item, s, text);
        GetLibSymbolSheetName(item, s, text);
        for (int32_t pin = 0; pin < CountLibSymbolPins(item, 0, s); ++pin) {
            const uint32_t id = GetLibSymbolPinDataId(item, 0, s, pin);
            if (item->pinTable && !GetIndexedPinData(item->pinTable, int32_t(id))) std::abort();
        }
        for (int32_t which = 0; which < 2; ++which) {
            const Ptr data = GetLibSymbolData(item, s, which);
            if (!data) continue;
            if (NodeMap map = ExtractSymbolNodePositions(data, SizeOfPtr(data), {0, 0})) MemFreePtr(map);
        }
    }
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section; section = section->next) {
        GetLibSectionSuffix(section, item->stringBlock, text);
        if (section->symbolIndex != kLibNoSymbol && section->symbolIndex >= item->head.symbolCount) std::abort();
        for (int32_t set = 0; set < kLibPinSetCount; ++set)
            for (int32_t pin = 0; pin < section->pinCount; ++pin)
                GetLibItemPinNumber(item, section, set, pin, text);
    }
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        IsLibPinSetAllocated(item, set);
        for (int32_t pin = 0; pin < CountLibSymbolPins(item, set, kLibHiddenPins); ++pin) {
            uint32_t id;
            GetLibItemHiddenPinInfo(item, set, pin, text, &id);
            if (item->pinTable && !GetIndexedPinData(item->pinTable, int32_t(id))) std::abort();
        }
    }
    for (int32_t p = 0; p < item->head.packageCount; ++p) {
        GetLibPackageName(item, p, text);
        GetLibPackageFootprint(item, p, text);
        if (GetLibPackagePinSet(item, p) >= kLibPinSetCount) std::abort();
    }
    IsLibraryItemValid(item);
}

bool SameBytes(Handle a, Handle b) {
    return SizeOfHandle(a) == SizeOfHandle(b) && std::memcmp(*a, *b, SizeOfHandle(a)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz::StartFuzzCore();
        return gGlobalImageList != nullptr;
    }();
    if (!ready || size > (1u << 20)) return 0;
    Handle flat = AllocHandleWithData(nullptr, data, uint32_t(size));
    if (!flat) return 0;
    int32_t names = 0;
    (void)CheckFlattenedLibraryItemNames(flat, &names);  // fuzzing: only no crash counts
    char name[kFlatItemNameBufferSize];
    for (int32_t i = 0; i <= names; ++i) GetFlattenedLibraryItemName(flat, i, name, sizeof name);
    GetFlattenedLibraryItemKind(flat);
    GetFlattenedLibraryItemFlags(flat);
    IsFlattenedLibraryItemValid(flat);
    GetFlattenedLibraryItemVersion(flat);
    GetFlattenedLibraryItemTimestamp(flat);

    const int32_t globalImages = DACount(gGlobalImageList->entries);
    for (bool makePinTable : {false, true}) {
        LibraryItem* item = nullptr;
        const OSStatus status = InflateLibraryItem(flat, &item, makePinTable);
        if ((status == 0) != (item != nullptr)) std::abort();
        if (!item) continue;
        UseItem(item);
        OSStatus written = 0;
        Handle again = FlattenLibraryItem(item, true, kStamp, &written);
        DestroyLibraryItem(item);
        if (!again) {
            if (written != status::kOutOfMemory) std::abort();  // an item that read must write
            continue;
        }
        LibraryItem* back = nullptr;
        if (InflateLibraryItem(again, &back, makePinTable) != 0) std::abort();
        UseItem(back);
        Handle third = FlattenLibraryItem(back, true, kStamp, nullptr);
        if (third && !SameBytes(again, third)) std::abort();
        if (third) MemFree(third);
        DestroyLibraryItem(back);
        MemFree(again);
    }
    MemFree(flat);
    if (DACount(gGlobalImageList->entries) != globalImages) std::abort();
    return 0;
}
