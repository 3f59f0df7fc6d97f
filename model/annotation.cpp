// Annotation maps (see annotation.h).
#include "model/annotation.h"

#include <cstring>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

int CompareEntries(const void* a, const void* b) {
    uint32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

AnnotationSpec* NewSpec(int32_t instanceId) {
    auto* spec = reinterpret_cast<AnnotationSpec*>(AllocPtrClear(nullptr, sizeof(AnnotationSpec)));
    if (spec) {
        spec->instanceId = instanceId;
        spec->designator = kNoDesignator;
        spec->slot = -1;
    }
    return spec;
}

void FreeSpecList(AnnotationSpec* spec) {
    while (spec) {
        AnnotationSpec* next = spec->next;
        MemFreePtr(spec);
        spec = next;
    }
}

AnnotationSpec* FindSpec(AnnotationSpec* list, int32_t instanceId) {
    for (; list; list = list->next)
        if (list->instanceId == instanceId) return list;
    return nullptr;
}

void Unlink(AnnotationSpec** list, AnnotationSpec* spec) {
    for (AnnotationSpec** p = list; *p; p = &(*p)->next)
        if (*p == spec) {
            *p = spec->next;
            spec->next = nullptr;
            return;
        }
}

// Stores the slot and the text (none: no designator); true when either changed.
bool SetSpec(AnnotationSpec* spec, StringBlock strings, const char* text, int16_t slot) {
    StringSpec designator = kNoDesignator;
    if (text) {
        designator = *text ? OverlayStringBlock(strings, text, -1, nullptr) : 0;
        if (*text && designator == 0) return false;
    }
    const bool changed = spec->designator != designator || spec->slot != slot;
    spec->designator = designator;
    spec->slot = slot;
    return changed;
}

void Put(AnnotationMap* map, int32_t index, const AnnotationMapEntry& entry) {
    DAPut(map->entries, index, &entry);
}

}  // namespace

AnnotationMap* CreateAnnotationMap(bool withStrings) {
    auto* map = reinterpret_cast<AnnotationMap*>(AllocPtrClear(nullptr, sizeof(AnnotationMap)));
    if (!map) return nullptr;
    map->entries = DACreate(nullptr, sizeof(AnnotationMapEntry), 0, kDAPacked | kDASorted);
    if (map->entries) DASetCompareProc(map->entries, CompareEntries);
    if (withStrings) map->strings = CreateStringBlock(nullptr, kAnnotationStringQuantum);
    if (!map->entries || (withStrings && !map->strings)) {
        DestroyAnnotationMap(map);
        return nullptr;
    }
    return map;
}

void DestroyAnnotationMap(AnnotationMap* map) {
    if (!map) return;
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < DACount(map->entries); ++i)
        if (DAGet(map->entries, i, &entry)) {
            FreeSpecList(entry.saved);
            FreeSpecList(entry.pending);
        }
    DADispose(map->entries);
    DestroyStringBlock(map->strings);
    MemFreePtr(map);
}

StringBlock GetAnnotationMapStringBlock(const AnnotationMap* map) { return map ? map->strings : nullptr; }

int32_t CountAnnotationMapEntries(const AnnotationMap* map) { return map ? DACount(map->entries) : 0; }

int32_t FindAnnotationMapEntry(AnnotationMap* map, uint32_t symbolId, bool create) {
    if (!map) return -1;
    AnnotationMapEntry key{symbolId, nullptr, nullptr};
    const int32_t found = DASearch(map->entries, -1, &key, 0);
    if (!(uint32_t(found) & kDANotFound) || !create) return found;
    DASetInsertHint(found);
    return DAAdd(map->entries, &key);
}

bool GetAnnotationMapEntry(const AnnotationMap* map, int32_t index, AnnotationMapEntry* entry) {
    *entry = {};
    return map && DAGet(map->entries, index, entry);
}

AnnotationSpec* AnnotationMapLookup(const AnnotationMap* map, int32_t instanceId, uint32_t symbolId) {
    if (!map) return nullptr;
    const int32_t index = FindAnnotationMapEntry(const_cast<AnnotationMap*>(map), symbolId, false);
    AnnotationMapEntry entry;
    if (index < 0 || !GetAnnotationMapEntry(map, index, &entry)) return nullptr;
    if (AnnotationSpec* pending = FindSpec(entry.pending, instanceId)) return pending;
    return FindSpec(entry.saved, instanceId);
}

int16_t GetAnnotation(const AnnotationMap* map, uint32_t symbolId, int32_t instanceId, bool noSlots,
                      char* text, int32_t size) {
    if (text && size > 0) *text = 0;
    const AnnotationSpec* spec = AnnotationMapLookup(map, instanceId, symbolId);
    if (!spec || spec->designator == kNoDesignator) return -1;
    if (text && size > 0) ExtractStringSpec(spec->designator, map->strings, text, size < 256 ? size : 256);
    return noSlots ? int16_t(-1) : spec->slot;
}

bool SetAnnotation(AnnotationMap* map, uint32_t symbolId, int32_t instanceId, const char* text,
                   int16_t slot) {
    if (!map || !map->strings) return false;
    int32_t index = FindAnnotationMapEntry(map, symbolId, false);
    if (index < 0) {
        if (!text) return false;
        index = FindAnnotationMapEntry(map, symbolId, true);
        if (index < 0) return false;
    }
    AnnotationMapEntry entry;
    GetAnnotationMapEntry(map, index, &entry);
    if (AnnotationSpec* pending = FindSpec(entry.pending, instanceId))
        return SetSpec(pending, map->strings, text, slot);
    const AnnotationSpec* saved = FindSpec(entry.saved, instanceId);
    if (!saved && !text) return false;
    AnnotationSpec* candidate = NewSpec(instanceId);
    if (!candidate) return false;
    if (saved) {
        candidate->designator = saved->designator;
        candidate->slot = saved->slot;
    }
    if (!SetSpec(candidate, map->strings, text, slot)) {
        MemFreePtr(candidate);
        return false;
    }
    candidate->next = entry.pending;
    entry.pending = candidate;
    Put(map, index, entry);
    return true;
}

bool AnnotationMapHasChanges(const AnnotationMap* map) {
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i)
        if (GetAnnotationMapEntry(map, i, &entry) && entry.pending) return true;
    return false;
}

bool ApplyAnnotationMapChanges(AnnotationMap* map) {
    bool changed = false;
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        if (!GetAnnotationMapEntry(map, i, &entry) || !entry.pending) continue;
        AnnotationSpec* pending = entry.pending;
        entry.pending = nullptr;
        while (pending) {
            AnnotationSpec* p = pending;
            pending = p->next;
            p->next = nullptr;
            AnnotationSpec* s = FindSpec(entry.saved, p->instanceId);
            const bool removal = p->designator == kNoDesignator;
            if (!s) {
                if (removal) {
                    MemFreePtr(p);
                } else {
                    p->next = entry.saved;
                    entry.saved = p;
                    changed = true;
                }
                continue;
            }
            if (removal) {
                Unlink(&entry.saved, s);
                MemFreePtr(s);
                changed = true;
            } else if (s->designator != p->designator || s->slot != p->slot) {
                s->designator = p->designator;
                s->slot = p->slot;
                changed = true;
            }
            MemFreePtr(p);
        }
        Put(map, i, entry);
    }
    return changed;
}

bool PurgeMissingSymbolsFromAnnotMap(SheetRecord* sheet, AnnotationMap* map) {
    if (!sheet || !map) return false;
    bool removed = false;
    AnnotationMapEntry entry;
    for (int32_t i = CountAnnotationMapEntries(map) - 1; i >= 0; --i) {
        if (!GetAnnotationMapEntry(map, i, &entry) ||
            RetrieveSerializedSymbol(sheet->symbolList, entry.symbolId))
            continue;
        FreeSpecList(entry.saved);
        FreeSpecList(entry.pending);
        DARemove(map->entries, i);
        removed = true;
    }
    return removed;
}

uint32_t CountAnnotationMapChars(const AnnotationMap* map) {
    uint32_t chars = 0;
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        if (!GetAnnotationMapEntry(map, i, &entry)) continue;
        for (const AnnotationSpec* s = entry.saved; s; s = s->next)
            if (s->designator != kNoDesignator) chars += StringSpecLength(s->designator);
    }
    return chars;
}

bool PurgeAnnotationMapStringBlock(AnnotationMap* map) {
    if (!map || !map->strings) return false;
    StringBlock fresh = CreateStringBlock(nullptr, kAnnotationStringQuantum);
    if (!fresh) return false;
    // New specs are collected first, so that a failed move leaves the map as it was.
    struct Move {
        AnnotationSpec* spec;
        StringSpec designator;
    };
    std::vector<Move> moves;
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        if (!GetAnnotationMapEntry(map, i, &entry)) continue;
        for (AnnotationSpec* list : {entry.saved, entry.pending})
            for (AnnotationSpec* s = list; s; s = s->next) {
                if (s->designator == kNoDesignator || s->designator == 0) continue;
                const StringSpec moved = TransferStringSpec(s->designator, map->strings, fresh, true);
                if (moved == 0 && StringBlockAddStatus() != status::kNoErr) {
                    DestroyStringBlock(fresh);
                    return false;
                }
                moves.push_back({s, moved});
            }
    }
    for (const Move& m : moves) m.spec->designator = m.designator;
    DestroyStringBlock(map->strings);
    map->strings = fresh;
    return true;
}

// ---- Stored form ----

OSStatus WriteAnnotationMap(StreamRecord* stream, const AnnotationMap* map) {
    if (!stream || !map || !map->strings) return status::kParamErr;
    return CatchSignals([&] {
        Signal(StreamWriteWord(stream, kAnnotationMapMark));
        Signal(StreamWriteWord(stream, 0));
        Signal(WriteStringBlock(stream, map->strings));
        AnnotationMapEntry entry;
        for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
            if (!GetAnnotationMapEntry(map, i, &entry) || !entry.saved) continue;
            uint32_t count = 0;
            for (const AnnotationSpec* s = entry.saved; s; s = s->next) ++count;
            Signal(StreamWriteLong(stream, entry.symbolId));
            Signal(StreamWriteLong(stream, count));
            for (const AnnotationSpec* s = entry.saved; s; s = s->next) {
                Signal(StreamWriteLong(stream, uint32_t(s->instanceId)));
                Signal(StreamWriteLong(stream, s->designator));
                Signal(StreamWriteWord(stream, uint16_t(s->slot)));
            }
        }
        Signal(StreamWriteLong(stream, 0));
    });
}

namespace {

// The order word of a stored map, as it lies: 0 native, 1 swapped; -50 for neither.
OSStatus ReadOrder(StreamRecord* stream, bool* swap) {
    uint16_t mark = 0;
    int32_t n = 2;
    if (OSStatus st = StreamRead(stream, &mark, &n)) return st;
    if (mark != kAnnotationMapMark && mark != 0x3412) return status::kParamErr;
    *swap = mark == 0x3412;
    return status::kNoErr;
}

}  // namespace

OSStatus ReadAnnotationMap(StreamRecord* stream, AnnotationMap** out) {
    *out = nullptr;
    if (!stream) return status::kParamErr;
    AnnotationMap* map = CreateAnnotationMap(false);
    if (!map) return status::kOutOfMemory;
    const bool wasSwapping = (stream->flags & kStreamSwapOnRead) != 0;
    const OSStatus st = CatchSignals(
        [&] {
            bool swap = false;
            Signal(ReadOrder(stream, &swap));
            EnableStreamReadByteSwap(stream, swap);
            uint16_t dead = 0;
            Signal(StreamReadWord(stream, &dead));
            Signal(ReadStringBlock(stream, nullptr, &map->strings));
            for (;;) {
                uint32_t symbolId = 0, count = 0;
                Signal(StreamReadLong(stream, &symbolId));
                if (symbolId == 0) break;
                Signal(StreamReadLong(stream, &count));
                const int64_t left = int64_t(GetStreamEnd(stream)) - GetStreamPosition(stream);
                if (int64_t(count) * kAnnotationSpecRecordSize > left) FailureSignal(status::kEndOfFile);
                const int32_t index = FindAnnotationMapEntry(map, symbolId, true);
                if (index < 0) FailureSignal(status::kOutOfMemory);
                AnnotationMapEntry entry;
                GetAnnotationMapEntry(map, index, &entry);
                for (uint32_t k = 0; k < count; ++k) {
                    uint32_t instanceId = 0, designator = 0;
                    uint16_t slot = 0;
                    Signal(StreamReadLong(stream, &instanceId));
                    Signal(StreamReadLong(stream, &designator));
                    Signal(StreamReadWord(stream, &slot));
                    AnnotationSpec* spec = NewSpec(int32_t(instanceId));
                    if (!spec) FailureSignal(status::kOutOfMemory);
                    spec->designator = designator;
                    spec->slot = int16_t(slot);
                    spec->next = entry.saved;
                    entry.saved = spec;
                    Put(map, index, entry);
                }
            }
        },
        [&] {
            DestroyAnnotationMap(map);
            map = nullptr;
        });
    EnableStreamReadByteSwap(stream, wasSwapping);
    *out = map;
    return st;
}

OSStatus IncrementAnnotationMapDeadSessionsCount(StreamRecord* stream, uint16_t* count) {
    if (count) *count = 0;
    if (!stream) return status::kParamErr;
    bool swap = false;
    if (OSStatus st = ReadOrder(stream, &swap)) return st;
    uint16_t stored = 0;
    int32_t n = 2;
    if (OSStatus st = StreamRead(stream, &stored, &n)) return st;
    uint16_t value = stored;
    if (swap) ByteSwapWord(&value);
    if (value < 0xFFFF) ++value;
    stored = value;
    if (swap) ByteSwapWord(&stored);
    if (OSStatus st = OffsetStreamPosition(stream, -2)) return st;
    if (OSStatus st = StreamWrite(stream, &stored, 2)) return st;
    if (count) *count = value;
    return status::kNoErr;
}

void ByteSwapAnnotationSpec(void* record) { ByteSwapTemplate(record, kAnnotationSpecTemplate); }

}  // namespace plexa
