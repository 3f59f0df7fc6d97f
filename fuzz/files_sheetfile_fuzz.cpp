// Fuzz target: a whole sheet file. The bytes are written to a scratch file and opened as the
// program does without loading the sheet: the header block and its rank, the window state and the
// file-symbols flag, the string block, the text theme blocks, the sub-sheet references, the
// exports table and the file symbols read alone (each then used: names extracted, entries walked,
// every file symbol read again at its position), the graphic elements, and the block listing.
// Last the window state is rewritten in place, as closing a sheet window does, and read back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/filesymbols.h"
#include "model/libitem.h"
#include "files/sheetblocks.h"
#include "files/sheetexports.h"
#include "files/sheetfile.h"
#include "files/sheetfile_dump.h"
#include "foundation/da.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_sheet.h"
#include "fuzz/fuzz_support.h"
#include "model/sheet.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

void CountReference(const FileSubSheetEntry& entry, void* data) {
    if (!entry.subSheetName || !entry.symbolName) std::abort();
    ++*static_cast<int*>(data);
}

void ReadOpenFile(DynamicFileRecord* file, const SheetFileHeader& header) {
    SheetWindowState state;
    (void)ReadSheetWindowState(file, &state);  // fuzzing: only no crash counts
    StringBlock strings = nullptr;
    if (ReadSheetFileStringBlock(file, &strings) == 0) DestroyStringBlock(strings);
    else if (strings) std::abort();
    bool found = false;
    (void)GetSheetFileTextThemeBlock(file, &found, nullptr);  // fuzzing: only no crash counts
    Handle opaque = nullptr;
    if (GetSheetFileTextThemeBlock(file, &found, &opaque) == 0 && opaque) MemFree(opaque);
    SheetBlockStream block;
    if (OpenSheetBlockStream(file, kSheetElementsBlock, header.swapped, &block) == 0 && block.stream) {
        fuzz::FuzzSheet sheet;
        if (ReadSheetElements(sheet.get(), block.stream, header.swapped) != 0 && LLFirst(sheet.get()->elementList))
            std::abort();
    }
    CloseSheetBlockStream(&block);
    if (OpenSheetBlockStream(file, kSheetFileSymbolsBlock, false, &block) == 0 && block.stream) {
        FileSymbolList* list = CreateFileSymbolList();
        if (ReadFileSymbols(block.stream, list, true) == 0) {
            for (auto* e = static_cast<FileSymbolEntry*>(LLFirst(list)); e; e = e->next) {
                FileSymbolEntry* one = nullptr;
                if (ReadOneFileSymbol(block.stream, e->position, &one) != 0) std::abort();
                char name[kFlatItemNameBufferSize];
                GetFlattenedLibraryItemName(one->item, 0, name, sizeof name);
                DestroyFileSymbolEntry(one);
            }
        }
        DestroyFileSymbolList(list);
    }
    CloseSheetBlockStream(&block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    static const std::string path = fuzz::ScratchPath("sheet.SHX");
    FileSpec spec;
    if (!fuzz::WriteScratchFile(path, data, size, &spec)) return 0;

    DynamicFileRecord file;
    SheetFileHeader header;
    if (OpenSheetFile(&spec, true, &file, &header) == 0) {
        ReadOpenFile(&file, header);
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // fuzzing: only no crash counts
    } else if (file.stream) {
        std::abort();
    }
    uint16_t rank = 0;
    (void)ReadSheetFileRank(&spec, &rank);  // fuzzing: only no crash counts
    (void)IsSheetFileWithSymbols(&spec);  // fuzzing: only no crash counts
    int references = 0;
    (void)EnumSheetFileSubSheets(&spec, CountReference, &references);  // fuzzing: only no crash counts
    SheetExportsTable exports = nullptr;
    if (LoadSheetExportsTable(&spec, &exports) == 0) {
        SheetExportEntry entry;
        char name[kStringSpecBufferSize];
        int32_t walked = 0;
        while (exports && GetSheetExportEntry(exports, walked, &entry, name, sizeof name)) ++walked;
        if (walked != DACount(exports)) std::abort();
    } else if (exports) {
        std::abort();
    }
    DestroySheetExportsTable(exports);
    FileSymbolList* symbols = CreateFileSymbolList();
    if (LoadSheetFileSymbols(&spec, symbols) != 0 && LLFirst(symbols)) std::abort();
    ItemNamesDigest digest;
    (void)BuildFileSymbolsDigest(symbols, &digest, nullptr);  // fuzzing: only no crash counts
    DestroyFileSymbolList(symbols);
    std::string listing;
    (void)ListSheetFileBlocks(&spec, &listing);  // fuzzing: only no crash counts

    SheetWindowState state{};
    state.scale = 100;
    if (WriteSheetWindowState(&spec, nullptr, &state) == 0 && IsSheetFile(&spec) == 0 &&
        OpenSheetFile(&spec, true, &file, nullptr) == 0) {
        SheetWindowState back;
        const OSStatus st = ReadSheetWindowState(&file, &back);
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // fuzzing: only no crash counts
        if (st == 0 && back.scale != 100) std::abort();
    }
    return 0;
}
