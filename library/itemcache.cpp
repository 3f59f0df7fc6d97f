// The item cache (see itemcache.h).
#include "library/itemcache.h"

#include <cstring>

#include "files/symbolplace.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "library/libdigest.h"
#include "library/libpaths.h"
#include "library/librarystate.h"
#include "library/sheetlib.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"

namespace plexa {

ItemCache gItemCache;

namespace {

ItemCacheHooks gHooks;

void ShowMessage(const char* text) {
    if (gHooks.message) gHooks.message(text);
}

void ReportError(OSStatus st) {
    if (st != status::kNoErr && gHooks.reportError) gHooks.reportError(st);
}

// Frees the display texts and makes their lists and block empty again.
void ResetDisplayTexts() {
    ItemCache& c = gItemCache;
    if (c.texts) DestroyTextList(c.texts);
    if (c.frames) DestroyTextFrameList(c.frames);
    if (c.styles) DestroyTextStyleList(c.styles);
    c.texts = CreateTextList();
    c.frames = CreateTextFrameList();
    c.styles = CreateTextStyleList(nullptr);
    if (c.strings) EmptyStringBlock(c.strings, false);
    else c.strings = CreateStringBlock(nullptr, kCacheStringQuantum);
}

void ResetSelection(LibSelection* selection) {
    const uint32_t count = selection->changeCount;
    *selection = LibSelection{};
    selection->changeCount = count;
    selection->fileIndex = selection->activeFileIndex = selection->itemIndex = -1;
}

bool HasAlternateSymbol(LibraryItem* item, int32_t part) { return item && GetLibSymbolData(item, part, 1); }

// Picks the pin texts' strings: numbers from the section, names from the pin data.
void SetPinTexts(VXWindowRecordTag* view, bool measure) {
    ItemCache& c = gItemCache;
    LibraryItem* item = c.item;
    const int32_t part = c.selection.part;
    if (GetLibraryItemKind(item) != kLibItemComponent || CountLibSymbolPins(item, 0, part) <= 0) return;
    const uint8_t package = GetLibraryItemNameInfo(item, c.selection.nameIndex, nullptr);
    const int32_t pinSet =
        package < item->head.packageCount ? GetLibPackagePinSet(item, package) : GetDefaultLibItemPinSet(item);
    const LibSection* section = GetFirstLibSectionUsingSymbol(item, part);
    for (auto* text = static_cast<TextRecord*>(LLFirst(c.texts)); text; text = text->link) {
        const uint16_t kind = text->kind & kTextKindPinAttribute;
        if (kind != kTextKindPinNumber && kind != kTextKindPinName) continue;
        const int32_t pin = text->kind & kTextKindNodeMask;
        char string[kStringSpecBufferSize] = "";
        if (kind == kTextKindPinNumber) {
            if (section) GetLibSectionPinNumber(section, item->stringBlock, pinSet, pin, string);
        } else {
            const uint32_t id = GetLibSymbolPinDataId(item, pinSet, part, pin);
            if (id <= 0xFFFF) GetIndexedPinDataName(item->pinTable, int32_t(id), item->stringBlock, string);
        }
        SetTextRecordString(text, c.strings, string);
        if (measure) CalcTextBounds(view, text, c.strings);
    }
}

}  // namespace

void SetItemCacheHooks(const ItemCacheHooks& hooks) { gHooks = hooks; }
const ItemCacheHooks& GetItemCacheHooks() { return gHooks; }

OSStatus InitItemCache() {
    DisposeItemCache();
    ResetSelection(&gItemCache.selection);
    gItemCache.selection.changeCount = 1;
    gItemCache.bounds = kSymbolDataEmptyRect;
    ResetDisplayTexts();
    const ItemCache& c = gItemCache;
    return c.texts && c.frames && c.styles && c.strings ? status::kNoErr : status::kOutOfMemory;
}

void DisposeItemCache() {
    ItemCache& c = gItemCache;
    if (c.item) DestroyLibraryItem(c.item);
    if (c.file.file.stream) (void)CloseLibraryFile(&c.file);  // disposal: the cache is read only
    if (c.texts) DestroyTextList(c.texts);
    if (c.frames) DestroyTextFrameList(c.frames);
    if (c.styles) DestroyTextStyleList(c.styles);
    if (c.strings) DestroyStringBlock(c.strings);
    std::memset(static_cast<void*>(&c), 0, sizeof c);
}

OSStatus SetCachedLibraryFile(int32_t which, int32_t index) {
    ItemCache& c = gItemCache;
    if (index < 0) index = -1;
    if (index == (which == kLibFilesActive ? c.selection.activeFileIndex : c.selection.fileIndex)) return status::kNoErr;
    ClearCacheData(true);
    ResetSelection(&c.selection);
    if (c.file.file.stream) ReportError(CloseLibraryFile(&c.file));
    OSStatus st = status::kNoErr;
    if (index >= 0) {
        FileSpec spec;
        bool isSheet = false;
        const int32_t full = which == kLibFilesActive ? GetAllLibFilesIndex(index) : index;
        if (!GetIndexedLibFileSpec(kLibFilesAll, full, &spec, &isSheet)) {
            st = status::kParamErr;
        } else {
            if (GetActiveLibFilesIndex(full) < 0) SetActiveLibFiles(GetIndexedLibFileDirId(kLibFilesAll, full));
            st = isSheet ? OpenSheetAsLibrary(&spec, &c.file)
                         : OpenLibraryFile(&spec, &c.file, kLibraryOpenReadOnly | kLibraryOpenLoadMap);
            if (st == status::kNoErr) {
                c.selection.fileIndex = full;
                c.selection.activeFileIndex = GetActiveLibFilesIndex(full);
            }
        }
    }
    SynchCacheSelection();
    return st;
}

OSStatus SetCachedLibraryItem(int32_t index) {
    ItemCache& c = gItemCache;
    if (index < 0) index = -1;
    if (index == c.selection.itemIndex) return status::kNoErr;
    ClearCacheData(true);
    c.selection.itemIndex = -1;
    c.selection.blockId = 0;
    c.selection.part = c.selection.nameIndex = 0;
    c.selection.alternate = 0;
    OSStatus st = status::kNoErr;
    LibraryItemMapEntry entry;
    if (index >= 0 && c.file.file.stream) {
        if (!GetLibItemMapEntry(c.file.map, index, &entry)) {
            st = status::kParamErr;
        } else {
            Handle bytes = nullptr;
            LibraryItem* item = nullptr;
            st = LoadLibraryFileItem(&c.file, entry.blockId, &bytes);
            if (st == status::kNoErr) st = InflateLibraryItem(bytes, &item, true);
            if (st == status::kVersionTooNew) {
                ShowMessage(kNewerItemMessage);
                st = status::kNoErr;
            }
            if (item) {
                c.item = item;
                c.selection.itemIndex = index;
                c.selection.nameIndex = entry.nameIndex;
                c.selection.blockId = entry.blockId;
                c.timeStamp = uint32_t(GetFlattenedLibraryItemTimestamp(bytes));
                UpdateCacheData();
            }
            if (bytes) MemFree(bytes);
        }
    }
    SynchCacheSelection();
    return st;
}

void SetCachedLibItemPart(int32_t part) {
    ItemCache& c = gItemCache;
    const int32_t count = c.item ? c.item->head.symbolCount : 0;
    if (part > count - 1) part = count - 1;
    if (part < 0) part = 0;
    if (part == c.selection.part) return;
    ClearCacheData(false);
    c.selection.part = uint16_t(part);
    c.selection.alternate = 0;
    UpdateCacheData();
    SynchCacheSelection();
}

void SetCachedLibItemAlt(int32_t alternate) {
    ItemCache& c = gItemCache;
    const uint8_t value = alternate && HasAlternateSymbol(c.item, c.selection.part) ? 1 : 0;
    if (value == c.selection.alternate) return;
    ClearCacheData(false);
    c.selection.alternate = value;
    UpdateCacheData();
    SynchCacheSelection();
}

void GetCachedLibSelection(LibSelection* out) { *out = gItemCache.selection; }

void GetCachedLibData(CachedLibData* out) {
    const ItemCache& c = gItemCache;
    out->item = c.item;
    out->symbolData = c.symbolData;
    out->bounds = c.bounds;
    out->symbolFlags = c.symbolFlags;
    out->placementOptions = c.placementOptions;
    out->hasAlternate = c.hasAlternate;
    out->texts = c.texts;
    out->frames = c.frames;
    out->styles = c.styles;
    out->strings = c.strings;
    out->timeStamp = c.timeStamp;
}

int32_t CountCachedLibraryItems() {
    return gItemCache.file.file.stream ? CountLibItemMapEntries(gItemCache.file.map) : 0;
}

LibraryItemMap GetCachedLibraryFileItemMap() { return gItemCache.file.map; }

StringBlock GetCachedLibraryNamesData() { return gItemCache.file.names; }

bool GetIndexedItemNameFromCachedLibrary(int32_t index, char* name) {
    name[0] = 0;
    LibraryItemMapEntry entry;
    if (!gItemCache.file.file.stream || !GetLibItemMapEntry(gItemCache.file.map, index, &entry)) return false;
    GetLibItemMapEntryName(gItemCache.file.map, &entry, name, kStringSpecBufferSize);
    return true;
}

LibraryFileRecord* GetCachedLibraryFile() {
    return gItemCache.file.file.stream ? &gItemCache.file : nullptr;
}

void GetCachedLibraryFileName(char* name) {
    name[0] = 0;
    if (gItemCache.file.file.stream) GetFileSpecName(&gItemCache.file.file.spec, name, kCachedFileNameSize);
}

void GetCachedLibraryItemName(char* name) {
    name[0] = 0;
    if (gItemCache.item) GetLibraryItemNameInfo(gItemCache.item, gItemCache.selection.nameIndex, name);
}

void LoadLibCacheTextList(VXWindowRecordTag* view, int32_t transform, bool measure) {
    ItemCache& c = gItemCache;
    if (!c.item || !c.symbolData) return;
    ResetDisplayTexts();
    if (!c.texts || !c.frames || !c.styles || !c.strings) return;
    if (SymbolDataToElements(c.symbolData, SizeOfPtr(c.symbolData), c.item->imageList, Point{0, 0}, nullptr, c.texts,
                             c.frames, c.styles, c.strings, nullptr) != status::kNoErr)
        return;
    if (measure) CalcTextListBounds(view, c.frames, c.texts, c.strings);
    SetPinTexts(view, measure);
    for (auto* text = static_cast<TextRecord*>(LLFirst(c.texts)); text; text = text->link) {
        if (transform & 3) TransformTextElement(text, view, c.strings, Point{0, 0}, transform & 3);
        if (transform & 4) TransformTextElement(text, view, c.strings, Point{0, 0}, 4);
    }
    if (transform & 7)
        for (auto frame = static_cast<TextFrameHandle>(LLFirst(c.frames)); frame;
             frame = static_cast<TextFrameHandle>(LLGetNext(c.frames, frame)))
            TransformTextFrame(frame, view, Point{0, 0}, transform & 7);
}

void LibraryFileChanged(const FileSpec* spec) {
    const int32_t index = GetLibFileIndex(kLibFilesAll, spec);
    if (index < 0) return;
    UpdateLibDigestFile(index);
    if (index != gItemCache.selection.fileIndex) return;
    char name[kLibItemTextSize];
    GetCachedLibraryItemName(name);
    (void)SetCachedLibraryFile(kLibFilesAll, -1);  // clearing reports a failed close itself
    if (SetCachedLibraryFile(kLibFilesAll, index) != status::kNoErr) return;
    const int32_t item = LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), name);
    ReportError(SetCachedLibraryItem(item >= 0 ? item : 0));
}

void ClearCacheData(bool destroyItem) {
    ItemCache& c = gItemCache;
    if (destroyItem && c.item) {
        DestroyLibraryItem(c.item);
        c.item = nullptr;
    } else if (c.instance == 0) {
        return;
    }
    if (c.instance != 0 && gHooks.resetPlaceTransformation) gHooks.resetPlaceTransformation();
    ResetDisplayTexts();
    c.instance = 0;
    c.symbolData = nullptr;
    c.bounds = kSymbolDataEmptyRect;
    c.symbolFlags = 0;
    c.placementOptions = 0;
    c.hasAlternate = 0;
}

void UpdateCacheData() {
    ItemCache& c = gItemCache;
    if (!c.item) return;
    const int32_t part = c.selection.part;
    c.instance = c.item->inflationInstance;
    c.hasAlternate = HasAlternateSymbol(c.item, part) ? 1 : 0;
    if (!c.hasAlternate) c.selection.alternate = 0;
    c.symbolData = GetLibSymbolData(c.item, part, c.selection.alternate);
    c.bounds = kSymbolDataEmptyRect;
    if (c.symbolData && SizeOfPtr(c.symbolData) >= kSymbolDataHeadSize) {
        SymbolDataHead head;
        std::memcpy(&head, c.symbolData, sizeof head);
        c.bounds = head.all;
    }
    c.symbolFlags = GetLibSymbolFlags(c.item, part);
    c.placementOptions = GetLibSymbolPlacementOptions(c.item, part);
}

void SynchCacheSelection() {
    ItemCache& c = gItemCache;
    if (c.instance == c.publishedInstance && c.selection.part == c.publishedPart &&
        c.selection.alternate == c.publishedAlternate)
        return;
    ++c.selection.changeCount;
    c.publishedInstance = c.instance;
    c.publishedPart = c.selection.part;
    c.publishedAlternate = c.selection.alternate;
}

int32_t LibraryItemLookup(LibraryItemMap map, StringBlock names, const char* name) {
    if (!map || !names || !name) return -1;
    char found[kStringSpecBufferSize];
    LibraryItemMapEntry entry;
    for (int32_t i = 0; GetLibItemMapEntry(map, i, &entry); ++i) {
        ExtractStringSpec(entry.name, names, found, sizeof found);
        if (StrCINCmp(found, name, kStringSpecBufferSize) == 0) return i;
    }
    return -1;
}

bool ItemCacheSelection(SymbolSelection* out) {
    CachedLibData data{};
    GetCachedLibData(&data);
    if (!data.item) return false;
    LibSelection selection{};
    GetCachedLibSelection(&selection);
    char* fileName = gLibraryState.selectionFileName;
    GetCachedLibraryFileName(fileName);
    out->item = data.item;
    out->nameIndex = selection.nameIndex;
    out->symbolIndex = selection.part;
    out->alternate = selection.alternate != 0;
    out->sourceName = fileName;
    out->timeStamp = int32_t(data.timeStamp);
    return true;
}

namespace {
// The cached item's name while a save holds its file released.
char (&gReleasedItemName)[kLibItemTextSize] = gLibraryState.releasedItemName;
}  // namespace

bool ReleaseCachedLibraryForSave(const FileSpec* target) {
    const int32_t index = GetLibFileIndex(kLibFilesAll, target);
    if (index < 0 || index != gItemCache.selection.fileIndex) return false;
    GetCachedLibraryItemName(gReleasedItemName);
    (void)SetCachedLibraryFile(kLibFilesAll, -1);  // clearing reports a failed close itself
    return true;
}

void ReopenCachedLibraryAfterSave(SheetRecord* sheet, const FileSpec* target) {
    char name[kLibItemTextSize];
    std::memcpy(name, gReleasedItemName, sizeof name);
    gReleasedItemName[0] = 0;
    if (!sheet || !sheet->fileSymbolList || sheet->fileSymbolList->count == 0) return;
    const int32_t index = GetLibFileIndex(kLibFilesAll, target);
    if (index < 0 || SetCachedLibraryFile(kLibFilesAll, index) != status::kNoErr) return;
    const int32_t item = name[0] ? LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), name) : 0;
    ReportError(SetCachedLibraryItem(item >= 0 ? item : 0));
}

}  // namespace plexa
