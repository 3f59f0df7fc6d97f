// Sub-sheet references, exported attributes and graphic elements of a sheet file (see
// sheetblocks.h for the stored forms).
#include "files/sheetblocks.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/bytes.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr int32_t kReferenceStringsQuantum = 256;
constexpr int32_t kExportedStringsQuantum = 256;
constexpr uint32_t kElementsHeadMark = kElementHeadSize - 4;  // the stored head length plus 4
constexpr uint32_t kSymbolSubSheetBits = kSymbolSheetSymbol | kSymbolNamesSubSheet;

// Reads `count` bytes; the block ending early is -39.
OSStatus ReadBytes(StreamRecord* stream, void* buffer, int32_t count) {
    int32_t n = count;
    return StreamRead(stream, buffer, &n);
}

OSStatus ReadU32(StreamRecord* stream, bool swap, uint32_t* value) {
    uint8_t bytes[4];
    if (OSStatus st = ReadBytes(stream, bytes, 4)) return st;
    *value = GetNative32(bytes, swap);
    return status::kNoErr;
}

// A name cut to what a length byte can say, at a character boundary.
std::string ShortName(const char* name) {
    std::vector<char> copy(name, name + std::strlen(name) + 1);
    TruncateUTF8ForByteSize(copy.data(), kSheetFileReferenceNameSize);
    return copy.data();
}

OSStatus WriteShortString(StreamRecord* stream, const std::string& name) {
    const uint8_t length = uint8_t(std::min<size_t>(name.size(), kSheetFileReferenceMaxName));
    if (OSStatus st = StreamWrite(stream, &length, 1)) return st;
    return length ? StreamWrite(stream, name.data(), length) : status::kNoErr;
}

void SymbolAttribute(SheetRecord* sheet, SymbolRecord* symbol, const char* name, char* out, int32_t size) {
    out[0] = 0;
    if (!symbol->attributes) return;
    GetAttributeValue(sheet->stringBlock, symbol->attributes, 0, symbol->attributeCount, name, out,
                      nullptr, size);
}

// A name that an installed service gives (tests stand in for the sheet symbol layer); else the
// model's (a sheet symbol's own data, a component's name), else the symbol's attribute.
using SymbolNameHook = void (*)(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size);
using ModelNameProc = void (*)(const SymbolRecord* symbol, StringBlock block, char* name);
void ModelNameOrAttribute(ModelNameProc model, const char* attribute, SheetRecord* sheet, SymbolRecord* symbol,
                          char* out, int32_t size) {
    out[0] = 0;
    char name[kSymbolTextSize] = "";
    model(symbol, sheet->stringBlock, name);
    if (name[0]) std::snprintf(out, size_t(size), "%s", name);
    else SymbolAttribute(sheet, symbol, attribute, out, size);
}
void NameOf(SymbolNameHook hook, SymbolNameHook plain, SheetRecord* sheet, SymbolRecord* symbol, char* out,
            int32_t size) {
    out[0] = 0;
    (hook ? hook : plain)(sheet, symbol, out, size);
    out[size - 1] = 0;
}
void ModelSubSheetName(const SymbolRecord* symbol, StringBlock block, char* name) {
    GetSymbolSheetName(symbol, block, name);
}

// One symbol of the sheet's sub-sheet map, as block 3 stores it.
struct SubSheetSymbol {
    uint32_t serial;
    std::string subSheetName;
    std::string referenceName;
    uint32_t symbolFlags;
    bool componentOrSheetSymbol;
};

// The sheet's sub-sheet map in its order: each new symbol first, so the symbol list backwards.
std::vector<SubSheetSymbol> SubSheetMap(SheetRecord* sheet) {
    const SheetServices& services = GetSheetServices();
    std::vector<SubSheetSymbol> entries;
    // Room for any stored string, cut to the block's limit when written.
    char subSheet[kStringSpecBufferSize];
    char name[kStringSpecBufferSize];
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next) {
        if (!(symbol->flags & kSymbolSubSheetBits) || symbol->serial == 0) continue;
        NameOf(services.symbolSubSheetName, GetSymbolSubSheetFileName, sheet, symbol, subSheet, sizeof subSheet);
        if (subSheet[0] == 0) continue;
        const bool componentOrSheet = symbol->component || (symbol->flags & kSymbolSheetSymbol);
        name[0] = 0;
        if (!componentOrSheet) SymbolAttribute(sheet, symbol, kAttrRefName, name, sizeof name);
        if (name[0] == 0) NameOf(services.symbolName, GetSymbolSubSheetSymbolName, sheet, symbol, name, sizeof name);
        entries.push_back({symbol->serial, ShortName(subSheet), ShortName(name), symbol->flags, componentOrSheet});
    }
    std::reverse(entries.begin(), entries.end());
    return entries;
}

StringBlock ReferenceStrings(LinkListHeader* list) {
    return list ? static_cast<StringBlock>(list->owner) : nullptr;
}

// Adds a name read from the block to the list's strings; its spec in *spec.
OSStatus ReadShortName(StreamRecord* stream, StringBlock strings, StringSpec* spec) {
    *spec = 0;
    uint8_t length = 0;
    if (OSStatus st = ReadBytes(stream, &length, 1)) return st;
    char name[kSheetFileReferenceNameSize];
    if (OSStatus st = ReadBytes(stream, name, length)) return st;
    if (length == 0) return status::kNoErr;
    *spec = AppendStringBlock(strings, name, length, nullptr);
    return *spec == 0 ? StringBlockAddStatus() : status::kNoErr;
}

}  // namespace

// ---- Block 3 ----

void GetSymbolSubSheetFileName(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) {
    ModelNameOrAttribute(ModelSubSheetName, kAttrSubSheetName, sheet, symbol, out, size);
}

void GetSymbolSubSheetSymbolName(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) {
    ModelNameOrAttribute(GetSymbolName, kAttrNameName, sheet, symbol, out, size);
}

void EnumOpenSheetSubSheets(SheetRecord* sheet, OpenSubSheetProc proc, void* data) {
    if (!sheet) return;
    for (const SubSheetSymbol& entry : SubSheetMap(sheet)) {
        proc(OpenSubSheetEntry{entry.subSheetName.c_str(), entry.referenceName.c_str(), entry.serial,
                               entry.symbolFlags, entry.componentOrSheetSymbol},
             data);
    }
}

OSStatus WriteSubSheetRefs(SheetRecord* sheet, StreamRecord* stream) {
    for (const SubSheetSymbol& entry : SubSheetMap(sheet)) {
        const uint16_t flags = uint16_t((entry.symbolFlags & kSubSheetSymbolBits) |
                                        (entry.componentOrSheetSymbol ? kSubSheetComponentOrSheetSymbol : 0));
        if (OSStatus st = StreamWriteLong(stream, entry.serial)) return st;
        if (OSStatus st = WriteShortString(stream, entry.subSheetName)) return st;
        if (OSStatus st = WriteShortString(stream, entry.referenceName)) return st;
        if (OSStatus st = StreamWriteWord(stream, flags)) return st;
    }
    return StreamWriteLong(stream, 0);
}

OSStatus ReadSheetFileReferences(StreamRecord* stream, bool swap, LinkListHeader** out) {
    *out = nullptr;
    LinkListHeader* list = LLCreate(nullptr, sizeof(SheetFileReference), 0);
    StringBlock strings = list ? CreateStringBlock(nullptr, kReferenceStringsQuantum) : nullptr;
    if (!strings) {
        if (list) LLDispose(list, true);
        return status::kOutOfMemory;
    }
    list->owner = strings;
    OSStatus st = status::kNoErr;
    for (;;) {
        uint32_t serial = 0;
        if ((st = ReadU32(stream, swap, &serial)) != status::kNoErr || serial == 0) break;
        auto* entry = static_cast<SheetFileReference*>(LLAlloc(list));
        if (!entry) {
            st = status::kOutOfMemory;
            break;
        }
        LLPush(list, entry);
        entry->serial = serial;
        uint8_t flags[2];
        if ((st = ReadShortName(stream, strings, &entry->subSheetName)) != status::kNoErr ||
            (st = ReadShortName(stream, strings, &entry->symbolName)) != status::kNoErr ||
            (st = ReadBytes(stream, flags, 2)) != status::kNoErr)
            break;
        entry->flags = GetNative16(flags, swap);
    }
    if (st != status::kNoErr || list->count == 0) {
        DestroySheetFileReferences(list);
        return st;
    }
    LLReverse(list);
    *out = list;
    return status::kNoErr;
}

OSStatus LoadSheetFileReferences(const FileSpec* spec, LinkListHeader** list) {
    *list = nullptr;
    return ReadSheetFileBlockAlone(spec, kSheetSubSheetRefsBlock, [](StreamRecord* stream, bool swap, void* data) {
        return ReadSheetFileReferences(stream, swap, static_cast<LinkListHeader**>(data));
    }, list);
}

void ExtractSheetFileReference(LinkListHeader* list, const SheetFileReference* entry,
                               uint32_t* serial, char* subSheetName, char* symbolName,
                               uint16_t* flags) {
    const StringBlock strings = ReferenceStrings(list);
    if (serial) *serial = entry->serial;
    if (subSheetName) ExtractStringSpec(entry->subSheetName, strings, subSheetName, kSheetFileReferenceNameSize);
    if (symbolName) ExtractStringSpec(entry->symbolName, strings, symbolName, kSheetFileReferenceNameSize);
    if (flags) *flags = entry->flags;
}

void DestroySheetFileReferences(LinkListHeader* list) {
    if (!list) return;
    if (StringBlock strings = ReferenceStrings(list)) DestroyStringBlock(strings);
    LLDispose(list, true);
}

OSStatus EnumSheetFileSubSheets(const FileSpec* spec, FileSubSheetProc proc, void* data) {
    LinkListHeader* list = nullptr;
    if (OSStatus st = LoadSheetFileReferences(spec, &list)) return st;
    char subSheet[kSheetFileReferenceNameSize];
    char symbol[kSheetFileReferenceNameSize];
    for (auto* entry = static_cast<SheetFileReference*>(LLFirst(list)); entry; entry = entry->next) {
        FileSubSheetEntry found{subSheet, symbol, 0, 0};
        ExtractSheetFileReference(list, entry, &found.serial, subSheet, symbol, &found.flags);
        proc(found, data);
    }
    DestroySheetFileReferences(list);
    return status::kNoErr;
}

// ---- Block 6 ----

OSStatus WriteSheetItemAttributes(StreamRecord* stream, uint32_t serial, Handle attributes,
                                  int32_t count, StringBlock source, StringBlock target) {
    if (!attributes) return status::kNoErr;
    count = std::min<int32_t>(count, int32_t(SizeOfHandle(attributes) / kAttributeSize));
    count = std::min<int32_t>(count, kMaxAttributeCount);
    if (count <= 0) return status::kNoErr;
    Handle copy = AllocHandleWithData(nullptr, *attributes, uint32_t(count) * kAttributeSize);
    if (!copy) return status::kOutOfMemory;
    OSStatus st = ChangeAttributesStringBlock(copy, 0, count, source, target);
    if (st == status::kNoErr) st = StreamWriteWord(stream, uint16_t(count));
    if (st == status::kNoErr) st = StreamWriteLong(stream, serial);
    if (st == status::kNoErr) st = StreamWrite(stream, *copy, count * int32_t(kAttributeSize));
    MemFree(copy);
    return st;
}

OSStatus WriteExportedAttributes(SheetRecord* sheet, StreamRecord* stream) {
    StringBlock strings = CreateStringBlock(nullptr, kExportedStringsQuantum);
    if (!strings) return status::kOutOfMemory;
    OSStatus st = StreamWriteWord(stream, kSheetFileMark);
    if (st == status::kNoErr)
        st = WriteSheetItemAttributes(stream, 0, sheet->attributes, sheet->stored.attributeCount,
                                      sheet->stringBlock, strings);
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
         symbol && st == status::kNoErr; symbol = symbol->next)
        st = WriteSheetItemAttributes(stream, symbol->serial, symbol->attributes, symbol->attributeCount,
                                      sheet->stringBlock, strings);
    if (st == status::kNoErr) st = StreamWriteWord(stream, 0);
    if (st == status::kNoErr) st = WriteStringBlock(stream, strings);
    DestroyStringBlock(strings);
    return st;
}

// ---- Block 11 ----

OSStatus WriteSheetElements(SheetRecord* sheet, StreamRecord* stream) {
    if (OSStatus st = StreamWriteLong(stream, kElementsHeadMark)) return st;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
        if (OSStatus st = WriteStoredElement(stream, e)) return st;
    return StreamWriteLong(stream, uint32_t(-1));
}

OSStatus ReadSheetElements(SheetRecord* sheet, StreamRecord* stream, bool swap) {
    uint32_t headMark = 0;
    if (OSStatus st = ReadU32(stream, swap, &headMark)) return st;
    // A head shorter than its own length word is no element head; each element is then checked
    // against the bytes left for its head and tail.
    if (headMark < 4 || headMark > uint32_t(INT32_MAX)) return status::kUnknownFileKind;
    const int32_t storedHead = int32_t(headMark - 4);
    std::vector<ElementRecord*> read;
    OSStatus st = status::kNoErr;
    for (;;) {
        uint32_t tail = 0;
        if ((st = ReadU32(stream, swap, &tail)) != status::kNoErr || int32_t(tail) < 0) break;
        ElementRecord* e = nullptr;
        if ((st = ReadStoredElement(stream, storedHead, int32_t(tail), swap, sheet->imageList, &e)) != status::kNoErr)
            break;
        if (e) read.push_back(e);
    }
    if (st != status::kNoErr) {
        for (ElementRecord* e : read) DestroyElement(e, sheet->imageList);
        return st;
    }
    void* after = LLLast(sheet->elementList);
    for (ElementRecord* e : read) after = LLInsert(sheet->elementList, after, e);
    return status::kNoErr;
}

}  // namespace plexa
