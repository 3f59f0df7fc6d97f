// The symbol map: symbol definitions stored once per sheet, the purge before saving and the
// map's stored form; see symbols.h.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "model/components.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/symbols.h"
#include "model/waitcursor.h"

namespace plexa {

SymbolMap* gClipSymbolMap = nullptr;

namespace {

constexpr int32_t kPurgeBits = 1024;
constexpr uint32_t kEntryBodyHeadSize = 8;

SymbolMapEntry LoadEntry(const void* item) {
    SymbolMapEntry e;
    std::memcpy(&e, item, sizeof e);
    return e;
}

ImageList* MapImages(DAHeader** entries) {
    return reinterpret_cast<ImageList*>(uintptr_t(DAGetRefCon(entries)));
}

uint32_t ResolveSize(const void* bytes, int32_t size) {
    return size < 0 ? SizeOfPtr(bytes) : uint32_t(size);
}

bool IsSymbolMapKind(const DAHeader* h) {
    return h->itemSize == sizeof(SymbolMapEntry) && (h->flags & kDASorted) && (h->flags & kDALogicalIds) &&
           !(h->flags & kDAPacked);
}

// Every live entry by physical id.
template <class F>
void ForEachEntry(SymbolMap* map, F&& f) {
    if (!map || !map->entries) return;
    char* address = nullptr;
    for (int32_t id = -1; DAPhysicalNextAddress(map->entries, &id, &address);)
        f(id, reinterpret_cast<SymbolMapEntry*>(address));
}

// Puts the logical order right after the keys changed in place (rewritten image ids, a map read
// from a file): the physical ids, which symbols and components hold, stay as they are.
void SortMap(DAHeader** entries) {
    DAHeader* h = *entries;
    if (!(h->flags & kDALogicalIds) || !h->map || h->count < 2) return;
    std::vector<int32_t> order(reinterpret_cast<int32_t*>(*h->map), reinterpret_cast<int32_t*>(*h->map) + h->count);
    std::vector<SymbolMapEntry> items(order.size());
    for (size_t i = 0; i < order.size(); ++i) DAPhysicalGet(entries, order[i], &items[i]);
    std::vector<size_t> by(order.size());
    for (size_t i = 0; i < by.size(); ++i) by[i] = i;
    std::stable_sort(by.begin(), by.end(),
                     [&](size_t a, size_t b) { return SymbolMapEntryCompareProc(&items[a], &items[b]) < 0; });
    int32_t* map = reinterpret_cast<int32_t*>(*(*entries)->map);
    for (size_t i = 0; i < by.size(); ++i) map[i] = order[by[i]];
}

// Calls f on every map id slot that the components and symbols of the sheet hold.
template <class F>
void ForEachMapIdSlot(SheetRecord* sheet, F&& f) {
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(sheet->componentList)); c; c = c->next) {
        for (int32_t i = 0; i < c->symbolCount; ++i) {
            f(&CompSymbols(c)[i].mapId);
            f(&CompSymbols(c)[i].secondMapId);
        }
    }
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        f(&s->mapId);
        f(&s->secondMapId);
    }
}

void FreeReadEntries(DAHeader** array) {
    for (int32_t i = 0; i < DACount(array); ++i) {
        auto* e = reinterpret_cast<SymbolMapEntry*>(DAGetAddress(array, i, false));
        if (e) EmptySymbolMapEntry(e, nullptr);
    }
}

OSStatus ReadEntryBody(StreamRecord* stream, MemPool pool, SymbolMapEntry* entry) {
    const bool swap = stream->flags & kStreamSwapOnRead;
    uint32_t size = 0;
    uint16_t count = 0, zero = 0;
    if (OSStatus err = StreamReadLong(stream, &size)) return err;
    if (OSStatus err = StreamReadWord(stream, &count)) return err;
    if (OSStatus err = StreamReadWord(stream, &zero)) return err;
    const uint32_t left = uint32_t(std::max(GetStreamEnd(stream) - GetStreamPosition(stream), 0));
    const uint32_t mapSize = count ? NodeMapSize(count) : 0;
    if (size < kSymbolDataHeadSize || size > left) return size > left ? status::kEndOfFile : status::kParamErr;
    if (mapSize > left - size) return status::kEndOfFile;
    Ptr definition = AllocPtr(pool, size);
    if (!definition) return status::kOutOfMemory;
    int32_t n = int32_t(size);
    OSStatus err = StreamRead(stream, definition, &n);
    if (!err && swap && ByteSwapSymbolData(definition, size) != status::kNoErr) err = status::kParamErr;
    // The definition must be whole display data, and the stored nodes must be its pins.
    NodeMap computed = nullptr;
    if (!err) {
        OSStatus walked = status::kNoErr;
        computed = ExtractSymbolNodePositions(definition, size, {0, 0}, &walked);
        if (walked) err = walked == status::kOutOfMemory ? walked : status::kParamErr;
        else if (NodeMapCount(computed) != count) err = status::kParamErr;
    }
    if (computed) MemFreePtr(computed);
    NodeMap nodes = nullptr;
    if (!err && count) {
        nodes = AllocPtr(pool, mapSize);
        if (!nodes) {
            err = status::kOutOfMemory;
        } else {
            n = int32_t(mapSize);
            // The node map is read as bytes and swapped as a whole (its codes are bytes).
            const bool was = EnableStreamReadByteSwap(stream, false);
            err = StreamRead(stream, nodes, &n);
            EnableStreamReadByteSwap(stream, was);
            if (!err && swap && !ByteSwapNodePositionMap(nodes, mapSize)) err = status::kParamErr;
            if (!err && NodeMapCount(nodes) != count) err = status::kParamErr;
        }
    }
    if (err) {
        if (nodes) MemFreePtr(nodes);
        MemFreePtr(definition);
        return err;
    }
    *entry = {definition, nodes, size, CalcSymbolHash(definition, int32_t(size))};
    return status::kNoErr;
}

}  // namespace

// ---- Procedures ----

int SymbolMapEntryCompareProc(const void* a, const void* b) {
    const SymbolMapEntry x = LoadEntry(a), y = LoadEntry(b);
    if (x.hash != y.hash) return x.hash < y.hash ? -1 : 1;
    if (x.size != y.size) return x.size < y.size ? -1 : 1;
    if (!x.definition || !y.definition) return x.definition ? 1 : y.definition ? -1 : 0;
    const int c = std::memcmp(x.definition, y.definition, x.size);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void SymbolMapEntryFreeProc(DAHeader** array, int32_t, DALoopRecord* loop) {
    if (loop->address) EmptySymbolMapEntry(reinterpret_cast<SymbolMapEntry*>(loop->address), MapImages(array));
}

// ---- The map ----

SymbolMap* CreateSymbolMap(ImageList* images) {
    auto* map = reinterpret_cast<SymbolMap*>(AllocPtrClear(gGenPool, sizeof(SymbolMap)));
    if (!map) return nullptr;
    map->entries = DACreate(gGenPool, sizeof(SymbolMapEntry), 0, kSymbolMapFlags);
    if (!map->entries) {
        MemFreePtr(reinterpret_cast<Ptr>(map));
        return nullptr;
    }
    SetupSymbolMap(map, images);
    return map;
}

void SetupSymbolMap(SymbolMap* map, ImageList* images) {
    if (!map || !map->entries) return;
    DASetFreeProc(map->entries, SymbolMapEntryFreeProc);
    DASetCompareProc(map->entries, SymbolMapEntryCompareProc);
    SetSymbolMapImageList(map, images);
    SortMap(map->entries);
}

void SetSymbolMapImageList(SymbolMap* map, ImageList* images) {
    if (map && map->entries) DASetRefCon(map->entries, uint64_t(uintptr_t(images)));
}

ImageList* GetSymbolMapImageList(SymbolMap* map) {
    return map && map->entries ? MapImages(map->entries) : nullptr;
}

void DestroySymbolMap(SymbolMap* map) {
    if (!map) return;
    ImageList* images = GetSymbolMapImageList(map);
    ForEachEntry(map, [&](int32_t, SymbolMapEntry* e) { EmptySymbolMapEntry(e, images); });
    if (map->entries) DADispose(map->entries);
    if (gClipSymbolMap == map) gClipSymbolMap = nullptr;
    MemFreePtr(reinterpret_cast<Ptr>(map));
}

uint16_t CalcSymbolHash(const void* bytes, int32_t size) {
    if (!bytes) return 0;
    const uint32_t n = ResolveSize(bytes, size);
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) sum += p[i];
    return uint16_t(sum);
}

int32_t FindIdenticalSymbol(const void* definition, int32_t size, SymbolMap* map) {
    if (!definition || !map || !map->entries) return int32_t(kDANotFound);
    const uint32_t n = ResolveSize(definition, size);
    SymbolMapEntry key{const_cast<Ptr>(static_cast<const char*>(definition)), nullptr, n,
                       CalcSymbolHash(definition, int32_t(n))};
    int32_t found = DASearch(map->entries, -1, &key, 0);
    if (!(uint32_t(found) & kDANotFound)) DAGetPhysicalId(map->entries, &found);
    return found;
}

int32_t AddSymbolToMap(SymbolMap* map, const void* definition, int32_t size, ImageList* images) {
    if (!definition || !map || !map->entries) return -1;
    const uint32_t n = ResolveSize(definition, size);
    if (n < kSymbolDataHeadSize) return -1;
    Ptr copy = AllocPtrWithData(gGenPool, definition, n);
    if (!copy) return -1;
    ImageList* own = GetSymbolMapImageList(map);
    const bool mapped = images && own && images != own;
    if (mapped && MapSymbolDataImageReferences(copy, n, images, own) != status::kNoErr) {
        MemFreePtr(copy);
        return -1;
    }
    const auto undo = [&] {
        if (mapped) (void)AdjustImageReferenceCountsFromSymbolData(copy, n, own, kImageReferenceRelease);  // corrupt data changes no counts
        MemFreePtr(copy);
    };
    SymbolMapEntry entry{copy, nullptr, n, CalcSymbolHash(copy, int32_t(n))};
    const int32_t found = DASearch(map->entries, -1, &entry, 0);
    if (!(uint32_t(found) & kDANotFound)) {
        undo();
        int32_t id = found;
        DAGetPhysicalId(map->entries, &id);
        return id;
    }
    OSStatus walked = status::kNoErr;
    entry.nodeMap = ExtractSymbolNodePositions(copy, n, {0, 0}, &walked);
    if (walked != status::kNoErr) {
        undo();
        return -1;
    }
    DASetInsertHint(int32_t(uint32_t(found) & ~kDANotFound));
    int32_t id = DAAdd(map->entries, &entry);
    if (id < 0) {
        if (entry.nodeMap) MemFreePtr(entry.nodeMap);
        undo();
        return -1;
    }
    DAGetPhysicalId(map->entries, &id);
    return id;
}

SymbolMapEntry* GetSymbolMapEntryPtr(SymbolMap* map, int32_t id) {
    if (!map || !map->entries || id < 0 || DAIsFreePhysicalId(map->entries, id)) return nullptr;
    return reinterpret_cast<SymbolMapEntry*>(DAPhysicalGetAddress(map->entries, id, false));
}

void EmptySymbolMapEntry(SymbolMapEntry* entry, ImageList* images) {
    if (!entry) return;
    SymbolMapEntry e = LoadEntry(entry);
    if (e.nodeMap) MemFreePtr(e.nodeMap);
    if (e.definition) {
        if (images) (void)AdjustImageReferenceCountsFromSymbolData(e.definition, e.size, images, kImageReferenceRelease);  // corrupt data changes no counts
        MemFreePtr(e.definition);
    }
    std::memset(static_cast<void*>(entry), 0, sizeof *entry);
    NoteSheetItemPlaces();
}

bool ByteSwapNodePositionMap(void* map, uint32_t size) {
    if (!map || size < 2) return false;
    auto* bytes = static_cast<uint8_t*>(map);
    uint16_t count;
    std::memcpy(&count, bytes, 2);
    count = uint16_t(count >> 8 | count << 8);
    if (NodeMapSize(count) > size) return false;
    std::memcpy(bytes, &count, 2);
    for (uint32_t i = 0; i < 2u * count; ++i) std::swap(bytes[2 + 2 * i], bytes[3 + 2 * i]);
    return true;
}

void MapSheetSymbolImages(SheetRecord* sheet, ImageList* from, ImageList* to) {
    SymbolMap* map = sheet ? sheet->symbolMap : nullptr;
    if (!map) return;
    bool changed = false;
    ForEachEntry(map, [&](int32_t, SymbolMapEntry* e) {
        SymbolMapEntry entry = LoadEntry(e);
        if (!entry.definition) return;
        // Each definition is rewritten all or nothing; one that fails keeps its former ids.
        if (MapSymbolDataImageReferences(entry.definition, entry.size, from, to) != status::kNoErr) return;
        entry.hash = CalcSymbolHash(entry.definition, int32_t(entry.size));
        std::memcpy(static_cast<void*>(e), &entry, sizeof entry);
        changed = true;
    });
    SetSymbolMapImageList(map, to);
    if (changed) SortMap(map->entries);
}

void PurgeSymbolMap(SheetRecord* sheet) {
    if (!sheet || !sheet->symbolMap || !sheet->symbolMap->entries) return;
    NoteSheetItemPlaces();  // map ids are renumbered
    if (GetSymbolHooks().clearSheetUndoAction) GetSymbolHooks().clearSheetUndoAction(sheet);
    ModelWaitCursor();
    DAHeader** entries = sheet->symbolMap->entries;
    const int32_t limit = (*entries)->idLimit;
    BitArray used = CreateBitArray(gGenPool, std::max(kPurgeBits, limit));
    if (!used || GetBitArraySize(used) < limit) {
        if (used) DisposeBitArray(used);
        return;  // without the whole table nothing can be told unused
    }
    ForEachMapIdSlot(sheet, [&](int32_t* id) {
        if (*id >= 0 && *id < limit) BitArraySet(used, *id);
    });
    ModelWaitCursor();
    ImageList* images = GetSymbolMapImageList(sheet->symbolMap);
    for (int32_t logical = DACount(entries) - 1; logical >= 0; --logical) {
        int32_t id = logical;
        DAGetPhysicalId(entries, &id);
        if (BitArrayTest(used, id)) continue;
        EmptySymbolMapEntry(reinterpret_cast<SymbolMapEntry*>(DAPhysicalGetAddress(entries, id, false)), images);
        DARemove(entries, logical);
    }
    DisposeBitArray(used);
    ModelWaitCursor();
    // The ids free below the highest used one.
    int32_t highest = -1;
    ForEachEntry(sheet->symbolMap, [&](int32_t id, SymbolMapEntry*) { highest = id; });
    const int32_t count = DACount(entries);
    if (highest + 1 - count < kSymbolMapPurgeFreeIds) return;
    // Compaction moves the live entries down in id order: the k-th live id becomes k.
    std::vector<int32_t> newId(size_t(highest + 1), -1);
    int32_t next = 0;
    ForEachEntry(sheet->symbolMap, [&](int32_t id, SymbolMapEntry*) { newId[size_t(id)] = next++; });
    DACompact(entries, false);
    if ((*entries)->idLimit != count) return;  // the array refused to move: the ids stand
    ForEachMapIdSlot(sheet, [&](int32_t* id) {
        if (*id >= 0) *id = *id <= highest ? newId[size_t(*id)] : -1;
    });
}

// ---- Stored form ----

void WriteSymbolMapLoopProc(DAHeader**, int32_t, DALoopRecord* loop) {
    StreamRecord* stream = DALoopStream(loop);
    const SymbolMapEntry e = LoadEntry(loop->address);
    const int32_t count = NodeMapCount(e.nodeMap);
    Signal(StreamWriteLong(stream, e.definition ? e.size : 0));
    Signal(StreamWriteWord(stream, uint16_t(count)));
    Signal(StreamWriteWord(stream, 0));
    if (e.definition) Signal(StreamWrite(stream, e.definition, int32_t(e.size)));
    if (count > 0) Signal(StreamWrite(stream, e.nodeMap, int32_t(NodeMapSize(uint32_t(count)))));
}

void ReadSymbolMapLoopProc(DAHeader** array, int32_t id, DALoopRecord* loop) {
    // Items of another kind may hold bytes read from the file: touch none of them.
    if (!IsSymbolMapKind(*array)) FailureSignal(status::kParamErr);
    if (id == 0) {
        for (int32_t i = 0; i < DACount(array); ++i)
            std::memset(DAGetAddress(array, i, false), 0, sizeof(SymbolMapEntry));
    }
    SymbolMapEntry entry{};
    const OSStatus err = ReadEntryBody(DALoopStream(loop), (*array)->pool, &entry);
    if (err != status::kNoErr) {
        FreeReadEntries(array);
        FailureSignal(err);
    }
    std::memcpy(DAGetAddress(array, id, false), &entry, sizeof entry);
}

OSStatus WriteSymbolMap(StreamRecord* stream, SymbolMap* map) {
    if (!stream || !map || !map->entries) return status::kParamErr;
    // The reference value is the image list's address: it means nothing in a file, so 0 is stored.
    const uint64_t images = DAGetRefCon(map->entries);
    DASetRefCon(map->entries, 0);
    const OSStatus err = DAWrite(map->entries, stream, WriteSymbolMapLoopProc);
    DASetRefCon(map->entries, images);
    return err;
}

OSStatus ReadSymbolMap(StreamRecord* stream, MemPool pool, ImageList* images, SymbolMap** map) {
    *map = nullptr;
    DAHeader** read = nullptr;
    OSStatus err = DAReadEx(pool, &read, int32_t(sizeof(SymbolMapEntry)), stream, ReadSymbolMapLoopProc);
    if (err != status::kNoErr) return err;
    if (!IsSymbolMapKind(*read)) {
        DADispose(read);  // an empty array: the item procedure read nothing into it
        return status::kParamErr;
    }
    auto* made = reinterpret_cast<SymbolMap*>(AllocPtrClear(pool, sizeof(SymbolMap)));
    if (!made) {
        FreeReadEntries(read);
        DADispose(read);
        return status::kOutOfMemory;
    }
    made->entries = read;
    SetupSymbolMap(made, images);
    *map = made;
    return status::kNoErr;
}

}  // namespace plexa
