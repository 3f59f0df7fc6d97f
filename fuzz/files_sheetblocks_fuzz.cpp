// Fuzz target: the content of one block of a sheet file. The first byte chooses the block (its
// value modulo 4: 0 sub-sheet references, 1 exports table, 2 graphic elements, 3 file symbols) and,
// with bit 4, the other byte order; the content follows. What reads is used as its callers use it
// (names extracted, entries walked, digests built, single entries read at their positions) and,
// where the block has a writer over what was read, written back and read again to the same result.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "model/libitem.h"
#include "files/sheetblocks.h"
#include "files/sheetexports.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_sheet.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

void References(StreamRecord* stream, bool swap) {
    LinkListHeader* list = nullptr;
    if (ReadSheetFileReferences(stream, swap, &list) != 0) {
        if (list) std::abort();
        return;
    }
    char subSheet[kSheetFileReferenceNameSize], symbol[kSheetFileReferenceNameSize];
    for (auto* r = static_cast<SheetFileReference*>(LLFirst(list)); r; r = r->next) {
        uint32_t serial = 0;
        ExtractSheetFileReference(list, r, &serial, subSheet, symbol, nullptr);
        if (serial == 0 || std::strlen(subSheet) > 255 || std::strlen(symbol) > 255) std::abort();
    }
    DestroySheetFileReferences(list);
}

std::vector<std::string> ExportNames(SheetExportsTable table) {
    std::vector<std::string> names;
    SheetExportEntry entry;
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, name, sizeof name); ++i)
        names.push_back(std::string(name) + char(entry.kind) + std::to_string(entry.serial));
    return names;
}

void Exports(StreamRecord* stream, bool swap) {
    SheetExportsTable table = nullptr;
    if (ReadSheetExportsTable(stream, swap, &table) != 0) {
        if (table) std::abort();
        return;
    }
    const std::vector<std::string> names = ExportNames(table);
    fuzz::RoundTrip([&](StreamRecord* out) { return WriteSheetExportsTable(out, table); },
                    [&](StreamRecord* in) {
                        SheetExportsTable again = nullptr;
                        const OSStatus st = ReadSheetExportsTable(in, false, &again);
                        if (st == 0 && ExportNames(again) != names) std::abort();
                        DestroySheetExportsTable(again);
                        return st;
                    });
    DestroySheetExportsTable(table);
}

void Elements(StreamRecord* stream, bool swap) {
    fuzz::FuzzSheet sheet;
    if (ReadSheetElements(sheet.get(), stream, swap) != 0) {
        if (LLFirst(sheet.get()->elementList)) std::abort();
        return;
    }
    const uint32_t count = sheet.get()->elementList->count;
    fuzz::RoundTrip([&](StreamRecord* out) { return WriteSheetElements(sheet.get(), out); },
                    [&](StreamRecord* in) {
                        fuzz::FuzzSheet again;
                        const OSStatus st = ReadSheetElements(again.get(), in, false);
                        if (st == 0 && again.get()->elementList->count != count) std::abort();
                        return st;
                    });
}

void FileSymbols(StreamRecord* stream) {
    FileSymbolList* list = CreateFileSymbolList();
    if (!list) std::abort();
    if (ReadFileSymbols(stream, list, true) != 0) {
        if (LLFirst(list)) std::abort();
        DestroyFileSymbolList(list);
        return;
    }
    ItemNamesDigest digest;
    (void)BuildFileSymbolsDigest(list, &digest, nullptr);  // fuzzing: only no crash counts
    char name[kFlatItemNameBufferSize];
    for (auto* e = static_cast<FileSymbolEntry*>(LLFirst(list)); e; e = e->next) {
        GetFlattenedLibraryItemName(e->item, 0, name, sizeof name);
        FileSymbolEntry* one = nullptr;
        if (ReadOneFileSymbol(stream, e->position, &one) != 0) std::abort();
        if (SizeOfHandle(one->item) != SizeOfHandle(e->item)) std::abort();
        DestroyFileSymbolEntry(one);
    }
    const int32_t count = CountFileSymbols(list);
    fuzz::RoundTrip([&](StreamRecord* out) { return WriteFileSymbolsBlock(out, list); },
                    [&](StreamRecord* in) {
                        FileSymbolList* again = CreateFileSymbolList();
                        const OSStatus st = ReadFileSymbols(in, again, true);
                        if (st == 0 && CountFileSymbols(again) != count) std::abort();
                        DestroyFileSymbolList(again);
                        return st;
                    });
    DestroyFileSymbolList(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    if (size < 1) return 0;
    const bool swap = data[0] & 0x10;
    fuzz::InputStream input(data + 1, size - 1);
    if (!input) std::abort();
    EnableStreamReadByteSwap(input.get(), swap);
    switch (data[0] % 4) {
        case 0: References(input.get(), swap); break;
        case 1: Exports(input.get(), swap); break;
        case 2: Elements(input.get(), swap); break;
        default: FileSymbols(input.get()); break;
    }
    return 0;
}
