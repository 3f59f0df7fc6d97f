// A sheet's file symbols; see filesymbols.h.
#include "files/filesymbols.h"

#include <cstring>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/libitem.h"
#include "model/sheet.h"

namespace plexa {

namespace {

void FreeFileSymbolRecordContents(LinkListHeader*, void* item, void*, uint32_t) {
    auto* entry = static_cast<FileSymbolEntry*>(item);
    if (entry->item) MemFree(entry->item);
    entry->item = nullptr;
}

}  // namespace

LinkListHeader* CreateFileSymbolList() {
    LinkListHeader* list = LLCreate(gGenPool, sizeof(FileSymbolEntry), 0);
    if (list) LLSetFreeProc(list, FreeFileSymbolRecordContents);
    return list;
}

void DestroyFileSymbolList(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

FileSymbolEntry* CreateFileSymbol(SheetRecord* sheet) {
    if (!sheet) return nullptr;
    if (!sheet->fileSymbolList && !(sheet->fileSymbolList = CreateFileSymbolList())) return nullptr;
    return static_cast<FileSymbolEntry*>(LLAppend(sheet->fileSymbolList, nullptr));
}

void DestroyFileSymbol(SheetRecord* sheet, FileSymbolEntry* entry) {
    if (sheet && entry) LLRemoveOrFree(sheet->fileSymbolList, entry, nullptr, true);
}

int32_t CountFileSymbols(const SheetRecord* sheet) {
    return sheet && sheet->fileSymbolList ? int32_t(sheet->fileSymbolList->count) : 0;
}

FileSymbolEntry* GetIndexedFileSymbol(SheetRecord* sheet, int32_t index) {
    if (index < 0 || index >= CountFileSymbols(sheet)) return nullptr;
    return static_cast<FileSymbolEntry*>(LLGetIndexedLink(sheet->fileSymbolList, uint32_t(index)));
}

FileSymbolEntry* FindNamedFileSymbol(SheetRecord* sheet, const char* name, int32_t* nameIndex) {
    if (nameIndex) *nameIndex = -1;
    if (!sheet || !name || !*name) return nullptr;
    for (auto* entry = static_cast<FileSymbolEntry*>(LLFirst(sheet->fileSymbolList)); entry;
         entry = entry->next) {
        int32_t count = 0;
        if (!entry->item || CheckFlattenedLibraryItemNames(entry->item, &count) != 0) continue;
        for (int32_t i = 0; i < count; ++i) {
            char itemName[kFlatItemNameBufferSize];
            GetFlattenedLibraryItemName(entry->item, i, itemName, sizeof itemName);
            if (StrCINCmp(itemName, name, kFlatItemNameBufferSize) == 0) {
                if (nameIndex) *nameIndex = i;
                return entry;
            }
        }
    }
    return nullptr;
}

}  // namespace plexa
