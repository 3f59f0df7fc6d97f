// A sheet's file symbols as its file stores them (see filesymbols.h for the block).
#include "files/filesymbols.h"

#include <vector>

#include "files/item_map.h"
#include "files/sheetfile.h"
#include "foundation/bytes.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/libitem.h"
#include "model/sheet.h"

namespace plexa {

namespace {

constexpr int32_t kDigestNamesQuantum = 64;

void FreeEntryItem(LinkListHeader*, void* item, void*, uint32_t) {
    auto* entry = static_cast<FileSymbolEntry*>(item);
    if (entry->item) MemFree(entry->item);
    entry->item = nullptr;
}

// Switches a stream to big-endian handle lengths for as long as it lives.
class BigEndianHandles {
public:
    explicit BigEndianHandles(StreamRecord* stream)
        : stream_(stream), was_(stream->flags & kStreamBigEndianHandles) {
        stream_->flags |= kStreamBigEndianHandles;
    }
    ~BigEndianHandles() {
        if (!was_) stream_->flags &= uint16_t(~kStreamBigEndianHandles);
    }
    BigEndianHandles(const BigEndianHandles&) = delete;
    BigEndianHandles& operator=(const BigEndianHandles&) = delete;

private:
    StreamRecord* stream_;
    bool was_;
};

OSStatus WriteVersion(StreamRecord* stream) {
    uint8_t bytes[2];
    PutBE16(bytes, kFileSymbolEntryVersion);
    return StreamWrite(stream, bytes, 2);
}

// Reads one entry at the stream's position: its item, or none at the end of the block.
OSStatus ReadEntry(StreamRecord* stream, Handle* item) {
    *item = nullptr;
    uint8_t bytes[2];
    int32_t n = 2;
    if (OSStatus st = StreamRead(stream, bytes, &n)) return st;
    if (GetBE16(bytes) > kFileSymbolEntryVersion) return status::kVersionTooNew;
    return StreamReadHandle(stream, nullptr, item);
}

}  // namespace

FileSymbolList* CreateFileSymbolList() {
    LinkListHeader* list = LLCreate(nullptr, sizeof(FileSymbolEntry), 0);
    if (list) LLSetFreeProc(list, FreeEntryItem);
    return list;
}

void DestroyFileSymbolList(FileSymbolList* list) {
    if (list) LLDispose(list, true);
}

void DestroyFileSymbolEntry(FileSymbolEntry* entry) {
    if (!entry) return;
    if (entry->item) MemFree(entry->item);
    MemFreePtr(reinterpret_cast<Ptr>(entry));
}

int32_t CountFileSymbols(const FileSymbolList* list) {
    int32_t count = 0;
    for (auto* entry = static_cast<const FileSymbolEntry*>(LLFirst(list)); entry; entry = entry->next)
        if (entry->item) ++count;
    return count;
}

OSStatus BuildFileSymbolsDigest(const FileSymbolList* list, ItemNamesDigest* digest, int32_t* rows) {
    *digest = ItemNamesDigest{};
    if (rows) *rows = 0;
    StringBlock names = CreateStringBlock(nullptr, kDigestNamesQuantum);
    LibraryItemMap map = names ? CreateLibraryItemMap(names) : nullptr;
    OSStatus st = map ? status::kNoErr : status::kOutOfMemory;
    for (auto* entry = static_cast<const FileSymbolEntry*>(LLFirst(list)); entry && st == status::kNoErr;
         entry = entry->next) {
        if (!entry->item) continue;
        const OSStatus added = AppendLibItemMapEntries(map, entry->item, entry->position);
        if (added == status::kOutOfMemory) st = added;  // an item without readable names adds none
    }
    if (st == status::kNoErr) {
        const int32_t used = BuildItemNamesDigest(map, names, digest);
        if (rows) *rows = used;
    }
    DestroyLibraryItemMap(map, names);
    return st;
}

OSStatus WriteFileSymbols(StreamRecord* stream, const FileSymbolList* list) {
    BigEndianHandles lengths(stream);
    for (auto* entry = static_cast<const FileSymbolEntry*>(LLFirst(list)); entry; entry = entry->next) {
        if (!entry->item) continue;
        if (OSStatus st = WriteVersion(stream)) return st;
        if (OSStatus st = StreamWriteHandle(stream, entry->item)) return st;
    }
    if (OSStatus st = WriteVersion(stream)) return st;
    return StreamWriteHandle(stream, nullptr);
}

OSStatus WriteFileSymbolsBlock(StreamRecord* stream, const FileSymbolList* list) {
    ItemNamesDigest digest;
    if (OSStatus st = BuildFileSymbolsDigest(list, &digest, nullptr)) return st;
    if (OSStatus st = StreamWrite(stream, digest.bytes, sizeof digest.bytes)) return st;
    return WriteFileSymbols(stream, list);
}

OSStatus ReadFileSymbols(StreamRecord* stream, FileSymbolList* list, bool skipDigest) {
    BigEndianHandles lengths(stream);
    if (skipDigest) {
        int32_t n = kItemNamesDigestSize;
        if (OSStatus st = StreamRead(stream, nullptr, &n)) return st;
    }
    std::vector<FileSymbolEntry*> read;
    OSStatus st = status::kNoErr;
    for (;;) {
        const uint32_t position = uint32_t(GetStreamPosition(stream));
        Handle item = nullptr;
        if ((st = ReadEntry(stream, &item)) != status::kNoErr || !item) break;
        auto* entry = static_cast<FileSymbolEntry*>(LLAlloc(list));
        if (!entry) {
            MemFree(item);
            st = status::kOutOfMemory;
            break;
        }
        entry->item = item;
        entry->position = position;
        read.push_back(entry);
    }
    if (st != status::kNoErr) {
        for (FileSymbolEntry* entry : read) DestroyFileSymbolEntry(entry);
        return st;
    }
    void* after = LLLast(list);
    for (FileSymbolEntry* entry : read) after = LLInsert(list, after, entry);
    return status::kNoErr;
}

OSStatus ReadOneFileSymbol(StreamRecord* stream, uint32_t position, FileSymbolEntry** out) {
    *out = nullptr;
    // Entries stand behind the digest, inside the block.
    if (position < kItemNamesDigestSize || position > uint32_t(GetStreamEnd(stream))) return status::kParamErr;
    if (OSStatus st = SetStreamPosition(stream, int32_t(position))) return st;
    BigEndianHandles lengths(stream);
    Handle item = nullptr;
    if (OSStatus st = ReadEntry(stream, &item)) return st;
    if (!item) return status::kParamErr;
    auto* entry = reinterpret_cast<FileSymbolEntry*>(AllocPtrClear(nullptr, sizeof(FileSymbolEntry)));
    if (!entry) {
        MemFree(item);
        return status::kOutOfMemory;
    }
    entry->item = item;
    entry->position = position;
    *out = entry;
    return status::kNoErr;
}

OSStatus LoadSheetFileSymbols(const FileSpec* spec, FileSymbolList* list) {
    // The block's framing is big-endian whatever the file's order.
    return ReadSheetFileBlockAlone(spec, kSheetFileSymbolsBlock, [](StreamRecord* stream, bool, void* data) {
        return ReadFileSymbols(stream, static_cast<FileSymbolList*>(data), true);
    }, list);
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

namespace {
// Block 12 of an open sheet file; kNoFileSymbolsErr when the file has none.
OSStatus OpenFileSymbolsBlock(DynamicFileRecord* file, SheetBlockStream* block) {
    const OSStatus st = OpenSheetBlockStream(file, kSheetFileSymbolsBlock, false, block);
    return st == status::kNoErr && !block->stream ? kNoFileSymbolsErr : st;
}
}  // namespace

OSStatus EnumSheetFileSymbols(DynamicFileRecord* file, FileSymbolProc proc, void* data) {
    SheetBlockStream block;
    OSStatus st = OpenFileSymbolsBlock(file, &block);
    FileSymbolList* list = nullptr;
    if (st == status::kNoErr) {
        list = CreateFileSymbolList();
        st = list ? ReadFileSymbols(block.stream, list, true) : status::kOutOfMemory;
    }
    CloseSheetBlockStream(&block);
    if (st == status::kNoErr && CountFileSymbols(list) == 0) st = kNoFileSymbolsErr;
    for (auto* entry = static_cast<FileSymbolEntry*>(LLFirst(list)); st == status::kNoErr && entry;
         entry = entry->next) {
        st = proc(entry->position, entry->item, data);
    }
    if (list) DestroyFileSymbolList(list);
    return st;
}

OSStatus ReadSheetFileSymbol(DynamicFileRecord* file, uint32_t position, Handle* outItem) {
    *outItem = nullptr;
    SheetBlockStream block;
    OSStatus st = OpenFileSymbolsBlock(file, &block);
    FileSymbolEntry* entry = nullptr;
    if (st == status::kNoErr) st = ReadOneFileSymbol(block.stream, position, &entry);
    CloseSheetBlockStream(&block);
    if (st != status::kNoErr) return st;
    *outItem = entry->item;
    entry->item = nullptr;
    DestroyFileSymbolEntry(entry);
    return status::kNoErr;
}

}  // namespace plexa
