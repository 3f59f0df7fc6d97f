// Annotation maps, their stored form, the context rules and the sheet-local cache; see
// annotation.h.
#include "model/annotation.h"

#include <cstring>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/components.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

MemPool gAnnotationSpecPool = nullptr;
LinkListHeader* gSheetAnnotList = nullptr;
DAArray gSheetAnnotDirList = nullptr;
StringBlock gSheetAnnotNamesData = nullptr;

namespace {

constexpr int32_t kMapStringBlockGrowth = 64;
constexpr uint32_t kSpecPoolPageSize = 4096;
constexpr uint16_t kSwappedMark = 0x3412;

AnnotationContextHooks gHooks;

// ---- Entries ----

DAArray Entries(const AnnotationMap* map) { return map ? map->entries : nullptr; }

void PutEntry(AnnotationMap* map, int32_t index, const AnnotationMapEntry& entry) {
    DAPut(map->entries, index, &entry);
}

// Removes the entry and everything it holds.
void RemoveEntry(AnnotationMap* map, int32_t index) { DAFree(map->entries, index); }

bool HasDesignator(const AnnotationSpec* spec) { return spec->designator != kNoDesignator; }

// The designator's text; empty without one.
void DesignatorText(const AnnotationSpec* spec, StringBlock block, char* text) {
    text[0] = 0;
    if (HasDesignator(spec)) ExtractStringSpec(spec->designator, block, text, kAnnotationTextSize);
}

AnnotationSpec* CopySpec(const AnnotationSpec* spec, int32_t instanceId) {
    AnnotationSpec* copy = CreateAnnotationSpec();
    if (!copy) return nullptr;
    *copy = *spec;
    copy->next = nullptr;
    copy->instanceId = instanceId;
    return copy;
}

// Removes (and frees) the list's spec of the instance; true when there was one.
bool DropInstanceSpec(AnnotationSpec** list, int32_t instanceId) {
    AnnotationSpec* spec = FindAnnotSpecInstance(*list, instanceId);
    if (!spec) return false;
    UnlinkAnnotationSpec(list, spec);
    DestroyAnnotationSpec(spec);
    return true;
}

void DiscardPendingSpecs(AnnotationMap* map) {
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        if (!entry.pending) continue;
        DestroyAnnotSpecList(entry.pending);
        entry.pending = nullptr;
        PutEntry(map, i, entry);
    }
}

// ---- Hooks with their defaults ----

uint8_t ProjectFlags(ProjectRecord* project) {
    return project && gHooks.projectFlags ? gHooks.projectFlags(project) : 0;
}
bool SheetLocalProject(ProjectRecord* project) {
    return (ProjectFlags(project) & kAnnotSheetLocal) != 0;
}
AnnotationMap** SpecMapSlot(SheetSpec* spec) {
    return spec && gHooks.specMap ? gHooks.specMap(spec) : nullptr;
}
SheetLocalAnnotationEntry** SpecLocalSlot(SheetSpec* spec) {
    return spec && gHooks.specLocalEntry ? gHooks.specLocalEntry(spec) : nullptr;
}
AnnotationMap* SpecOwnMap(SheetSpec* spec) {
    AnnotationMap** slot = SpecMapSlot(spec);
    return slot ? *slot : nullptr;
}
AnnotationMap* SpecLocalMap(SheetSpec* spec) {
    SheetLocalAnnotationEntry** slot = SpecLocalSlot(spec);
    return slot && *slot ? (*slot)->map : nullptr;
}
void MarkSpecDirty(SheetSpec* spec) {
    if (spec && gHooks.markSpecDirty) gHooks.markSpecDirty(spec);
}
SheetSpec* InstanceSpec(ProjectRecord* project, SheetInstance* instance) {
    return instance && gHooks.instanceSheetSpec ? gHooks.instanceSheetSpec(project, instance)
                                                : nullptr;
}
OSStatus LoadTable(ProjectRecord* project, SheetSpec* spec, uint32_t flags) {
    return gHooks.loadAnnotationTable ? gHooks.loadAnnotationTable(project, spec, flags) : status::kNoErr;
}
void FreeTable(ProjectRecord* project, SheetSpec* spec) {
    if (gHooks.freeAnnotationTable) gHooks.freeAnnotationTable(project, spec);
}

// ---- Reading ----

// Whether a stored designator lies inside the block (or is none).
bool DesignatorFits(StringSpec spec, StringBlock block) {
    if (spec == kNoDesignator || spec == 0) return true;
    const uint32_t used = reinterpret_cast<const StringBlockHeader*>(*block)->used;
    const uint32_t offset = StringSpecOffset(spec);
    return offset >= kStringBlockHeaderSize && offset + StringSpecLength(spec) <= used;
}

OSStatus ReadRaw(StreamRecord* stream, void* bytes, int32_t count) {
    int32_t n = count;
    const OSStatus status = StreamRead(stream, bytes, &n);
    return status ? status : (n == count ? status::kNoErr : status::kEndOfFile);
}

// The specs of one entry, at most count records, into a list in read order reversed.
OSStatus ReadEntrySpecs(StreamRecord* stream, bool swap, uint32_t count, StringBlock block,
                        AnnotationSpec** list) {
    for (uint32_t k = 0; k < count; ++k) {
        uint8_t record[kStoredAnnotationSpecSize];
        if (OSStatus status = ReadRaw(stream, record, sizeof record)) return status;
        if (swap) ByteSwapAnnotaionSpec(record);
        int32_t instanceId;
        StringSpec designator;
        int16_t slot;
        std::memcpy(&instanceId, record, 4);
        std::memcpy(&designator, record + 4, 4);
        std::memcpy(&slot, record + 8, 2);
        if (!DesignatorFits(designator, block) || FindAnnotSpecInstance(*list, instanceId))
            return status::kParamErr;
        AnnotationSpec* spec = CreateAnnotationSpec();
        if (!spec) return status::kOutOfMemory;
        spec->instanceId = instanceId;
        spec->designator = designator;
        spec->slot = slot;
        spec->next = *list;
        *list = spec;
    }
    return status::kNoErr;
}

OSStatus ReadMapBody(StreamRecord* stream, AnnotationMap* map) {
    uint16_t mark = 0;
    if (OSStatus status = ReadRaw(stream, &mark, 2)) return status;
    if (mark != kAnnotationMapMark && mark != kSwappedMark) return status::kParamErr;
    const bool swap = mark == kSwappedMark;
    EnableStreamReadByteSwap(stream, swap);
    if (OSStatus status = ReadRaw(stream, nullptr, 2)) return status;  // dead-sessions count
    StringBlock block = nullptr;
    if (OSStatus status = ReadStringBlock(stream, gGenPool, &block)) return status;
    DASetRefCon(map->entries, reinterpret_cast<uint64_t>(block));
    for (;;) {
        uint32_t symbolId = 0, count = 0;
        if (OSStatus status = StreamReadLong(stream, &symbolId)) return status;
        if (symbolId == 0) return status::kNoErr;
        if (OSStatus status = StreamReadLong(stream, &count)) return status;
        const auto left = uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream));
        if (count > left / kStoredAnnotationSpecSize) return status::kEndOfFile;
        if (FindAnnotationMapEntry(map, symbolId, false) >= 0) return status::kParamErr;
        AnnotationSpec* list = nullptr;
        const OSStatus status = ReadEntrySpecs(stream, swap, count, block, &list);
        if (status) {
            DestroyAnnotSpecList(list);
            return status;
        }
        const int32_t index = FindAnnotationMapEntry(map, symbolId, true);
        if (index < 0) {
            DestroyAnnotSpecList(list);
            return status::kOutOfMemory;
        }
        PutEntry(map, index, AnnotationMapEntry{symbolId, list, nullptr});
    }
}

// ---- Sheet-local cache ----

void FreeSheetAnnotRecord(LinkListHeader*, void* item, void*, uint32_t) {
    auto* entry = static_cast<SheetLocalAnnotationEntry*>(item);
    DestroyAnnotationMap(entry->map);
    entry->map = nullptr;
}

// The file's name as the cache keeps it: at most 127 bytes, cut at a character boundary.
void CacheName(const FileSpec* file, char (&name)[kSheetLocalNameMax + 1]) {
    const size_t length = strnlen(file->name, sizeof name - 1);
    std::memcpy(name, file->name, length);
    std::memset(name + length, 0, sizeof name - length);
    TruncateUTF8ForByteSize(name, sizeof name);
}

// ---- Teardown of a sheet ----

int32_t DiscardAndReleaseSheetAnnotation(ProjectRecord* project, SheetSpec* spec, SheetRecord*,
                                         void*) {
    DiscardAnnotationChanges(project, spec, false);
    FreeTable(project, spec);
    return 0;
}

struct ReassignArgs {
    SymbolRecord* oldSymbol;
    SymbolRecord* newSymbol;
    bool removeOld;
};

int32_t ReassignAnnotationProjectsEnumProc(ProjectRecord* project, SheetSpec* spec, SheetRecord*,
                                           void* data) {
    const auto* args = static_cast<const ReassignArgs*>(data);
    const uint8_t flags = ProjectFlags(project);
    if (gHooks.setProjectFlags) gHooks.setProjectFlags(project, flags & ~kAnnotSheetLocal);
    if (LoadTable(project, spec, 0) == status::kNoErr) {
        ReassignAnnotationSet(SpecOwnMap(spec), args->oldSymbol, args->newSymbol, args->removeOld);
        FreeTable(project, spec);
    }
    if (gHooks.setProjectFlags) gHooks.setProjectFlags(project, flags);
    return 0;
}

}  // namespace

// ---- Maps and specs ----

AnnotationMap* CreateAnnotationMap(bool withStringBlock) {
    auto* map = reinterpret_cast<AnnotationMap*>(AllocPtrClear(gGenPool, sizeof(AnnotationMap)));
    if (!map) return nullptr;
    map->entries = DACreate(gGenPool, sizeof(AnnotationMapEntry), 0, kDAPacked);
    if (!map->entries) {
        MemFreePtr(reinterpret_cast<Ptr>(map));
        return nullptr;
    }
    DASetFreeProc(map->entries, FreeOneAnnotMapEntry);
    if (withStringBlock) {
        StringBlock block = CreateStringBlock(gGenPool, kMapStringBlockGrowth);
        if (!block) {
            DestroyAnnotationMap(map);
            return nullptr;
        }
        DASetRefCon(map->entries, reinterpret_cast<uint64_t>(block));
    }
    return map;
}

void DestroyAnnotationMap(AnnotationMap* map) {
    if (!map) return;
    if (StringBlock block = GetAnnotationMapStringBlock(map)) DestroyStringBlock(block);
    DAFreeAll(map->entries);
    DADispose(map->entries);
    MemFreePtr(reinterpret_cast<Ptr>(map));
}

StringBlock GetAnnotationMapStringBlock(const AnnotationMap* map) {
    return map ? reinterpret_cast<StringBlock>(DAGetRefCon(map->entries)) : nullptr;
}

int32_t CountAnnotationMapEntries(const AnnotationMap* map) { return DACount(Entries(map)); }

bool GetAnnotationMapEntry(const AnnotationMap* map, int32_t index, AnnotationMapEntry* entry) {
    if (!map || index < 0 || index >= DACount(map->entries)) {
        *entry = AnnotationMapEntry{};
        return false;
    }
    return DAGet(map->entries, index, entry);
}

void FreeOneAnnotMapEntry(DAArray, int32_t, DALoopRecord* loop) {
    if (!loop->address) return;
    AnnotationMapEntry entry;
    std::memcpy(&entry, loop->address, sizeof entry);
    DestroyAnnotSpecList(entry.saved);
    DestroyAnnotSpecList(entry.pending);
    entry.saved = entry.pending = nullptr;
    std::memcpy(loop->address, &entry, sizeof entry);
}

OSStatus InitAnnotationSpecPool() {
    return InitFixedBlockPool(&gAnnotationSpecPool, kSpecPoolPageSize, sizeof(AnnotationSpec));
}

AnnotationSpec* CreateAnnotationSpec() {
    if (InitAnnotationSpecPool() != status::kNoErr) return nullptr;
    auto* spec = reinterpret_cast<AnnotationSpec*>(AllocFSPtrClear(gAnnotationSpecPool));
    if (!spec) return nullptr;
    spec->designator = kNoDesignator;
    spec->slot = -1;
    return spec;
}

void DestroyAnnotationSpec(AnnotationSpec* spec) {
    if (spec) MemFreePtr(reinterpret_cast<Ptr>(spec));
}

void DestroyAnnotSpecList(AnnotationSpec* list) {
    while (list) {
        AnnotationSpec* next = list->next;
        DestroyAnnotationSpec(list);
        list = next;
    }
}

int32_t CountAnnotSpecList(const AnnotationSpec* list) {
    int32_t n = 0;
    for (; list; list = list->next) ++n;
    return n;
}

int32_t FindAnnotationMapEntry(AnnotationMap* map, uint32_t symbolId, bool create) {
    if (!map) return int32_t(kDANotFound);
    const AnnotationMapEntry key{symbolId, nullptr, nullptr};
    const int32_t found = DASearch(map->entries, -1, &key, 0);
    if (!(uint32_t(found) & kDANotFound) || !create || symbolId == 0) return found;
    DASetInsertHint(found);
    const int32_t index = DAAdd(map->entries, &key);
    return index >= 0 ? index : found;
}

AnnotationSpec* FindAnnotSpecInstance(AnnotationSpec* list, int32_t instanceId) {
    for (; list; list = list->next)
        if (list->instanceId == instanceId) return list;
    return nullptr;
}

AnnotationSpec* AnnotationMapLookup(AnnotationMap* map, int32_t instanceId, uint32_t symbolId) {
    const int32_t index = FindAnnotationMapEntry(map, symbolId, false);
    if (index < 0) return nullptr;
    AnnotationMapEntry entry;
    GetAnnotationMapEntry(map, index, &entry);
    if (AnnotationSpec* pending = FindAnnotSpecInstance(entry.pending, instanceId)) return pending;
    return FindAnnotSpecInstance(entry.saved, instanceId);
}

int32_t ExtractAnnotationSpec(const AnnotationSpec* spec, StringBlock block, char* text) {
    if (text) text[0] = 0;
    if (!spec || !HasDesignator(spec)) return -1;
    if (text) DesignatorText(spec, block, text);
    return spec->slot;
}

bool SetAnnotationSpec(AnnotationSpec* spec, StringBlock block, const char* text, int32_t slot) {
    bool changed = false;
    if (spec->slot != int16_t(slot)) {
        spec->slot = int16_t(slot);
        changed = true;
    }
    if (!text) {
        changed |= HasDesignator(spec);
        spec->designator = kNoDesignator;
        return changed;
    }
    if (HasDesignator(spec)) {
        // The same text is no change, wherever its bytes lie in the block.
        char old[kAnnotationTextSize];
        DesignatorText(spec, block, old);
        if (std::strncmp(old, text, sizeof old - 1) == 0) return changed;
    }
    const StringSpec designator = OverlayStringBlock(block, text, -1, nullptr);
    if (designator == 0 && text[0] && StringBlockAddStatus() != status::kNoErr) return changed;
    spec->designator = designator;
    return true;
}

bool SetAnnotationMapEntry(AnnotationMap* map, int32_t index, int32_t instanceId, const char* text,
                           int32_t slot) {
    AnnotationMapEntry entry;
    if (!GetAnnotationMapEntry(map, index, &entry)) return false;
    StringBlock block = GetAnnotationMapStringBlock(map);
    if (AnnotationSpec* pending = FindAnnotSpecInstance(entry.pending, instanceId))
        return SetAnnotationSpec(pending, block, text, slot);
    AnnotationSpec* candidate;
    if (const AnnotationSpec* saved = FindAnnotSpecInstance(entry.saved, instanceId)) {
        candidate = CopySpec(saved, instanceId);
    } else if (!text) {
        return false;
    } else {
        candidate = CreateAnnotationSpec();
        if (candidate) candidate->instanceId = instanceId;
    }
    if (!candidate) return false;
    if (!SetAnnotationSpec(candidate, block, text, slot)) {
        DestroyAnnotationSpec(candidate);
        return false;
    }
    candidate->next = entry.pending;
    entry.pending = candidate;
    PutEntry(map, index, entry);
    return true;
}

int32_t GetAnnotation(AnnotationMap* map, uint32_t symbolId, int32_t instanceId, bool noSlots,
                      char* text) {
    const int32_t slot = ExtractAnnotationSpec(AnnotationMapLookup(map, instanceId, symbolId),
                                               GetAnnotationMapStringBlock(map), text);
    return noSlots ? -1 : slot;
}

bool SetAnnotation(AnnotationMap* map, uint32_t symbolId, int32_t instanceId, const char* text,
                   int32_t slot) {
    const int32_t index = FindAnnotationMapEntry(map, symbolId, text != nullptr);
    if (index < 0) return false;
    return SetAnnotationMapEntry(map, index, instanceId, text, slot);
}

bool ChangeAnnotInfoStringBlock(AnnotationSpec* spec, StringBlock from, StringBlock to) {
    if (!HasDesignator(spec) || from == to) return true;
    const StringSpec moved = TransferStringSpec(spec->designator, from, to, true);
    if (moved == 0 && StringSpecLength(spec->designator) != 0 &&
        StringBlockAddStatus() != status::kNoErr)
        return false;
    spec->designator = moved;
    return true;
}

bool AnnotationMapHasChanges(const AnnotationMap* map) {
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        if (entry.pending) return true;
    }
    return false;
}

void UnlinkAnnotationSpec(AnnotationSpec** list, AnnotationSpec* spec) {
    for (AnnotationSpec** link = list; *link; link = &(*link)->next) {
        if (*link == spec) {
            *link = spec->next;
            spec->next = nullptr;
            return;
        }
    }
}

// ---- Context rules ----

void SetAnnotationContextHooks(const AnnotationContextHooks& hooks) { gHooks = hooks; }
const AnnotationContextHooks& GetAnnotationContextHooks() { return gHooks; }

AnnotationMap* GetSheetSpecAnnotMap(ProjectRecord* project, SheetSpec* spec, bool forceLocal) {
    if (!spec) return nullptr;
    if (forceLocal || SheetLocalProject(project)) return SpecLocalMap(spec);
    return SpecOwnMap(spec);
}

AnnotationMap* GetInstanceAnnotMap(ProjectRecord* project, SheetInstance* instance,
                                   bool forceLocal) {
    return GetSheetSpecAnnotMap(project, InstanceSpec(project, instance), forceLocal);
}

int32_t GetAnnotationInstanceId(ProjectRecord* project, SheetInstance* instance) {
    if (!instance || SheetLocalProject(project) || !gHooks.instanceId) return 0;
    return gHooks.instanceId(instance);
}

AnnotationMap* GetSheetContextAnnotationInfo(SheetRecord* sheet, int32_t* instanceId,
                                             bool* noSlots) {
    *instanceId = 0;
    *noSlots = false;
    if (!sheet) return nullptr;
    if (sheet->project && sheet->hierarchyContext) {
        *instanceId = GetAnnotationInstanceId(sheet->project, sheet->hierarchyContext);
        *noSlots = (ProjectFlags(sheet->project) & kAnnotNoSlotSuffix) != 0;
        return GetInstanceAnnotMap(sheet->project, sheet->hierarchyContext, false);
    }
    return sheet->annotationMap;
}

int32_t GetInstanceAnnotation(ProjectRecord* project, SheetInstance* instance, uint32_t symbolId,
                              char* text) {
    if (!project || !instance) {
        if (text) text[0] = 0;
        return -1;
    }
    return GetAnnotation(GetInstanceAnnotMap(project, instance, false), symbolId,
                         GetAnnotationInstanceId(project, instance),
                         (ProjectFlags(project) & kAnnotNoSlotSuffix) != 0, text);
}

int32_t GetSymbolAnnotation(SheetRecord* sheet, uint32_t symbolId, char* text) {
    int32_t instanceId;
    bool noSlots;
    AnnotationMap* map = GetSheetContextAnnotationInfo(sheet, &instanceId, &noSlots);
    return GetAnnotation(map, symbolId, instanceId, noSlots, text);
}

bool SetInstanceAnnotation(ProjectRecord* project, SheetInstance* instance, uint32_t symbolId,
                           const char* text, int32_t slot) {
    if (!project || !instance) return false;
    AnnotationMap* map = GetInstanceAnnotMap(project, instance, false);
    if (!map) {
        SheetSpec* spec = InstanceSpec(project, instance);
        if (!spec) return false;
        if (SheetLocalProject(project)) {
            SheetLocalAnnotationEntry** slotOfEntry = SpecLocalSlot(spec);
            FileSpec file;
            ClearFileSpec(&file);
            if (!slotOfEntry || *slotOfEntry || !gHooks.resolveSheetSpecFile ||
                !gHooks.resolveSheetSpecFile(project, spec, &file))
                return false;
            SheetLocalAnnotationEntry* entry = GetSheetLocalAnnotation(&file, true);
            if (!entry) return false;
            *slotOfEntry = entry;
            map = entry->map;
        } else if (AnnotationMap** own = SpecMapSlot(spec); own && text) {
            *own = CreateAnnotationMap(true);
            map = *own;
        }
        if (!map) return false;
    }
    return SetAnnotation(map, symbolId, GetAnnotationInstanceId(project, instance), text, slot);
}

bool SetSymbolAnnotation(SheetRecord* sheet, uint32_t symbolId, const char* text, int32_t slot) {
    if (!sheet) return false;
    if (sheet->project && sheet->hierarchyContext)
        return SetInstanceAnnotation(sheet->project, sheet->hierarchyContext, symbolId, text, slot);
    return SetAnnotation(sheet->annotationMap, symbolId, 0, text, slot);
}

AnnotationSpec* GetSymbolAnnotationCopy(SheetRecord* sheet, ProjectRecord* project,
                                        SheetInstance* instance, uint32_t symbolId) {
    AnnotationMap* map = nullptr;
    int32_t instanceId = 0;
    if (sheet) {
        bool noSlots;
        map = GetSheetContextAnnotationInfo(sheet, &instanceId, &noSlots);
    } else if (project && instance) {
        map = GetInstanceAnnotMap(project, instance, false);
        instanceId = GetAnnotationInstanceId(project, instance);
    }
    const AnnotationSpec* spec = AnnotationMapLookup(map, instanceId, symbolId);
    if (!spec || !HasDesignator(spec)) return nullptr;
    return CopySpec(spec, spec->instanceId);
}

// ---- Changes ----

void DiscardAnnotationChanges(ProjectRecord* project, SheetSpec* spec, bool currentOnly) {
    if (!spec) return;
    AnnotationMap* current = currentOnly ? GetSheetSpecAnnotMap(project, spec, false) : nullptr;
    for (AnnotationMap* map : {SpecOwnMap(spec), SpecLocalMap(spec)}) {
        if (!map || (currentOnly && map != current)) continue;
        DiscardPendingSpecs(map);
    }
}

bool ApplyAnnotationMapChanges(AnnotationMap* map, SheetSpec* spec) {
    bool changed = false;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        if (!entry.pending) continue;
        AnnotationSpec* pending = entry.pending;
        entry.pending = nullptr;
        while (pending) {
            AnnotationSpec* p = pending;
            pending = p->next;
            p->next = nullptr;
            AnnotationSpec* s = FindAnnotSpecInstance(entry.saved, p->instanceId);
            if (!s) {
                if (HasDesignator(p)) {
                    p->next = entry.saved;
                    entry.saved = p;
                    changed = true;
                    continue;
                }
            } else if (!HasDesignator(p)) {
                UnlinkAnnotationSpec(&entry.saved, s);
                DestroyAnnotationSpec(s);
                changed = true;
            } else if (s->designator == p->designator) {
                if (s->slot != p->slot) {
                    s->slot = p->slot;
                    changed = true;
                }
            } else {
                s->designator = p->designator;
                s->slot = p->slot;
                changed = true;
            }
            DestroyAnnotationSpec(p);
        }
        PutEntry(map, i, entry);
    }
    if (changed && spec) {
        if (SpecOwnMap(spec) == map) {
            MarkSpecDirty(spec);
        } else if (SheetLocalAnnotationEntry** local = SpecLocalSlot(spec);
                   local && *local && (*local)->map == map) {
            (*local)->changed = 1;
        }
    }
    return changed;
}

void ChangeAnnotationSymbol(SheetRecord* sheet, SymbolRecord* oldSymbol, SymbolRecord* newSymbol,
                            bool removeOld) {
    if (!sheet || !oldSymbol || !newSymbol || !oldSymbol->component) return;
    ReassignAnnotationSet(sheet->annotationMap, oldSymbol, newSymbol, removeOld);
    ReassignArgs args{oldSymbol, newSymbol, removeOld};
    if (gHooks.enumSheetProjects)
        gHooks.enumSheetProjects(sheet, ReassignAnnotationProjectsEnumProc, &args);
}

void ReassignAnnotationSet(AnnotationMap* map, SymbolRecord* oldSymbol, SymbolRecord* newSymbol,
                           bool removeOld) {
    if (!map || !oldSymbol || !newSymbol) return;
    if (FindAnnotationMapEntry(map, oldSymbol->serial, false) < 0) return;
    StringBlock block = GetAnnotationMapStringBlock(map);
    if (newSymbol->component && newSymbol->serial != oldSymbol->serial) {
        const int32_t newIndex = FindAnnotationMapEntry(map, newSymbol->serial, true);
        if (newIndex >= 0) {
            AnnotationMapEntry target;
            GetAnnotationMapEntry(map, newIndex, &target);
            DestroyAnnotSpecList(target.pending);
            target.pending = nullptr;
            PutEntry(map, newIndex, target);
            AnnotationMapEntry source;
            GetAnnotationMapEntry(map, FindAnnotationMapEntry(map, oldSymbol->serial, false),
                                  &source);
            for (const AnnotationSpec* list : {source.saved, source.pending}) {
                for (const AnnotationSpec* s = list; s; s = s->next) {
                    char text[kAnnotationTextSize];
                    DesignatorText(s, block, text);
                    const char* designator = HasDesignator(s) ? text : nullptr;
                    int32_t slot = s->slot;
                    if (!IsLegalSymbolSlot(newSymbol, slot)) {
                        slot = GetFirstCompSectionUsingSymbol(newSymbol->component,
                                                              newSymbol->kind.comp.symbol, nullptr);
                        if (slot < 0) designator = nullptr;
                    }
                    SetAnnotationMapEntry(map, newIndex, s->instanceId, designator, slot);
                }
            }
            GetAnnotationMapEntry(map, newIndex, &target);
            if (!target.saved && !target.pending) RemoveEntry(map, newIndex);
        }
    }
    if (!removeOld) return;
    const int32_t oldIndex = FindAnnotationMapEntry(map, oldSymbol->serial, false);
    if (oldIndex < 0) return;
    AnnotationMapEntry source;
    GetAnnotationMapEntry(map, oldIndex, &source);
    DestroyAnnotSpecList(source.pending);
    source.pending = nullptr;
    PutEntry(map, oldIndex, source);
    for (const AnnotationSpec* s = source.saved; s; s = s->next)
        SetAnnotationMapEntry(map, oldIndex, s->instanceId, nullptr, -1);
}

bool TransferInstAnnotSpecs(AnnotationSpec** from, AnnotationSpec** to, int32_t instanceId,
                            StringBlock fromBlock, StringBlock toBlock, bool* failed) {
    bool moved = false;
    for (AnnotationSpec** link = from; *link;) {
        AnnotationSpec* spec = *link;
        if (spec->instanceId != instanceId) {
            link = &spec->next;
            continue;
        }
        if (!ChangeAnnotInfoStringBlock(spec, fromBlock, toBlock)) {
            if (failed) *failed = true;
            link = &spec->next;
            continue;
        }
        *link = spec->next;
        // One spec per instance in the target list: the moved spec replaces the one there.
        DropInstanceSpec(to, instanceId);
        spec->next = *to;
        *to = spec;
        moved = true;
    }
    return moved;
}

OSStatus TransferInstanceAnnotation(ProjectRecord* project, int32_t instanceId, SheetSpec* from,
                                    SheetSpec* to) {
    if (!from || !to || from == to) return status::kNoErr;
    if (OSStatus status = LoadTable(project, from, 1)) return status;
    if (OSStatus status = LoadTable(project, to, 1)) {
        FreeTable(project, from);
        return status;
    }
    OSStatus result = status::kNoErr;
    AnnotationMap* source = SpecOwnMap(from);
    AnnotationMap** targetSlot = SpecMapSlot(to);
    if (source && targetSlot) {
        if (!*targetSlot) *targetSlot = CreateAnnotationMap(true);
        AnnotationMap* target = *targetSlot;
        if (!target) result = status::kOutOfMemory;
        StringBlock fromBlock = GetAnnotationMapStringBlock(source);
        StringBlock toBlock = GetAnnotationMapStringBlock(target);
        for (int32_t i = 0; target && i < CountAnnotationMapEntries(source);) {
            AnnotationMapEntry entry;
            GetAnnotationMapEntry(source, i, &entry);
            if (!FindAnnotSpecInstance(entry.saved, instanceId) &&
                !FindAnnotSpecInstance(entry.pending, instanceId)) {
                ++i;
                continue;
            }
            const int32_t t = FindAnnotationMapEntry(target, entry.symbolId, true);
            if (t < 0) {
                result = status::kOutOfMemory;
                break;
            }
            AnnotationMapEntry other;
            GetAnnotationMapEntry(target, t, &other);
            bool failed = false;
            const bool savedMoved = TransferInstAnnotSpecs(&entry.saved, &other.saved, instanceId,
                                                           fromBlock, toBlock, &failed);
            TransferInstAnnotSpecs(&entry.pending, &other.pending, instanceId, fromBlock, toBlock,
                                   &failed);
            if (failed) result = status::kOutOfMemory;
            PutEntry(target, t, other);
            PutEntry(source, i, entry);
            if (!other.saved && !other.pending) RemoveEntry(target, t);
            if (savedMoved) {
                MarkSpecDirty(from);
                MarkSpecDirty(to);
            }
            if (!entry.saved && !entry.pending) {
                RemoveEntry(source, i);
            } else {
                ++i;
            }
        }
        const bool targetOpen = gHooks.openSheetOfSpec && gHooks.openSheetOfSpec(project, to);
        if (target && !targetOpen) ApplyAnnotationMapChanges(target, to);
    }
    FreeTable(project, from);
    FreeTable(project, to);
    return result;
}

OSStatus CopyInstanceAnnotation(SheetSpec* spec, int32_t fromId, int32_t toId) {
    AnnotationMap* map = SpecOwnMap(spec);
    if (!map || fromId == toId) return status::kNoErr;
    bool savedChanged = false;
    OSStatus result = status::kNoErr;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map) && result == status::kNoErr; ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        // The to-instance ends with exactly the from-instance's specs, one per list.
        AnnotationSpec** lists[] = {&entry.saved, &entry.pending};
        for (AnnotationSpec** list : lists) {
            const bool dropped = DropInstanceSpec(list, toId);
            bool copied = false;
            if (const AnnotationSpec* s = FindAnnotSpecInstance(*list, fromId)) {
                AnnotationSpec* copy = CopySpec(s, toId);
                if (!copy) {
                    result = status::kOutOfMemory;
                } else {
                    copy->next = *list;
                    *list = copy;
                    copied = true;
                }
            }
            if (list == &entry.saved && (dropped || copied)) savedChanged = true;
        }
        PutEntry(map, i, entry);
    }
    if (savedChanged) MarkSpecDirty(spec);
    return result;
}

// ---- Purges and storage ----

bool PurgeMissingSymbolsFromAnnotMap(SheetRecord* sheet, AnnotationMap* map) {
    if (!sheet || !map) return false;
    bool removed = false;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map);) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        if (RetrieveSerializedSymbol(sheet->symbolList, entry.symbolId)) {
            ++i;
            continue;
        }
        RemoveEntry(map, i);
        removed = true;
    }
    return removed;
}

bool PurgeMissingInstancesFromAnnotMap(ProjectRecord* project, SheetSpec* spec) {
    AnnotationMap* map = SpecOwnMap(spec);
    if (!map || !gHooks.projectHasInstance) return false;
    bool removed = false, savedRemoved = false;
    auto purge = [&](AnnotationSpec** list) {
        bool any = false;
        for (AnnotationSpec** link = list; *link;) {
            AnnotationSpec* s = *link;
            if (s->instanceId == 0 || gHooks.projectHasInstance(project, s->instanceId)) {
                link = &s->next;
                continue;
            }
            *link = s->next;
            DestroyAnnotationSpec(s);
            any = true;
        }
        return any;
    };
    for (int32_t i = 0; i < CountAnnotationMapEntries(map);) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        const bool fromSaved = purge(&entry.saved);
        const bool fromPending = purge(&entry.pending);
        PutEntry(map, i, entry);
        removed |= fromSaved || fromPending;
        savedRemoved |= fromSaved;
        if (fromSaved && !entry.saved) {
            RemoveEntry(map, i);
        } else {
            ++i;
        }
    }
    if (savedRemoved) MarkSpecDirty(spec);
    return removed;
}

uint32_t CountAnnotationMapChars(const AnnotationMap* map) {
    uint32_t total = 0;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        for (const AnnotationSpec* s = entry.saved; s; s = s->next)
            if (HasDesignator(s)) total += StringSpecLength(s->designator);
    }
    return total;
}

OSStatus PurgeAnnotationMapStringBlock(AnnotationMap* map) {
    if (!map) return status::kParamErr;
    StringBlock old = GetAnnotationMapStringBlock(map);
    StringBlock fresh = CreateStringBlock(gGenPool, kMapStringBlockGrowth);
    if (!fresh) return status::kOutOfMemory;
    // The new designators first, so that a failure leaves the map as it was. Pending specs move
    // too: a caller that did not apply them keeps valid designators.
    std::vector<StringSpec> moved;
    auto each = [&](auto&& visit) {
        for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
            AnnotationMapEntry entry;
            GetAnnotationMapEntry(map, i, &entry);
            for (AnnotationSpec* list : {entry.saved, entry.pending})
                for (AnnotationSpec* s = list; s; s = s->next)
                    if (HasDesignator(s) && !visit(s)) return false;
        }
        return true;
    };
    const bool ok = each([&](AnnotationSpec* s) {
        AnnotationSpec copy = *s;
        if (!ChangeAnnotInfoStringBlock(&copy, old, fresh)) return false;
        moved.push_back(copy.designator);
        return true;
    });
    if (!ok) {
        DestroyStringBlock(fresh);
        return status::kOutOfMemory;
    }
    size_t k = 0;
    each([&](AnnotationSpec* s) {
        s->designator = moved[k++];
        return true;
    });
    DASetRefCon(map->entries, reinterpret_cast<uint64_t>(fresh));
    DestroyStringBlock(old);
    return status::kNoErr;
}

OSStatus WriteAnnotationMap(StreamRecord* stream, const AnnotationMap* map) {
    if (!stream || !map) return status::kParamErr;
    if (OSStatus status = StreamWriteWord(stream, kAnnotationMapMark)) return status;
    if (OSStatus status = StreamWriteWord(stream, 0)) return status;
    if (OSStatus status = WriteStringBlock(stream, GetAnnotationMapStringBlock(map))) return status;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        if (!entry.saved || entry.symbolId == 0) continue;
        OSStatus status = StreamWriteLong(stream, entry.symbolId);
        if (!status) status = StreamWriteLong(stream, uint32_t(CountAnnotSpecList(entry.saved)));
        for (const AnnotationSpec* s = entry.saved; s && !status; s = s->next) {
            status = StreamWriteLong(stream, uint32_t(s->instanceId));
            if (!status) status = StreamWriteLong(stream, s->designator);
            if (!status) status = StreamWriteWord(stream, uint16_t(s->slot));
        }
        if (status) return status;
    }
    return StreamWriteLong(stream, 0);
}

OSStatus ReadAnnotationMap(StreamRecord* stream, uint32_t, AnnotationMap** map) {
    if (!map) return status::kParamErr;
    *map = nullptr;
    if (!stream) return status::kParamErr;
    AnnotationMap* read = CreateAnnotationMap(false);
    if (!read) return status::kOutOfMemory;
    const bool previous = EnableStreamReadByteSwap(stream, false);
    const OSStatus status = ReadMapBody(stream, read);
    EnableStreamReadByteSwap(stream, previous);
    if (status) {
        DestroyAnnotationMap(read);
        return status;
    }
    *map = read;
    return status::kNoErr;
}

void ByteSwapAnnotaionSpec(void* record) { ByteSwapTemplate(record, kAnnotationSpecTemplate); }

OSStatus IncrementAnnotationMapDeadSessionsCount(StreamRecord* stream, uint16_t* count) {
    if (count) *count = 0;
    if (!stream) return status::kParamErr;
    uint16_t words[2];
    const int32_t start = GetStreamPosition(stream);
    if (OSStatus status = ReadRaw(stream, words, sizeof words)) return status;
    if (words[0] != kAnnotationMapMark && words[0] != kSwappedMark) return status::kParamErr;
    const bool swap = words[0] == kSwappedMark;
    if (swap) ByteSwapWord(&words[1]);
    const uint16_t raised = words[1] == 0xFFFF ? words[1] : uint16_t(words[1] + 1);
    uint16_t stored = raised;
    if (swap) ByteSwapWord(&stored);
    if (OSStatus status = SetStreamPosition(stream, start + 2)) return status;
    if (OSStatus status = StreamWrite(stream, &stored, sizeof stored)) return status;
    if (count) *count = raised;
    return status::kNoErr;
}

// ---- Sheet-local cache ----

OSStatus InitSheetLocalAnnotation() {
    if (gSheetAnnotList) return status::kNoErr;
    StringBlock names = CreateStringBlock(gGenPool, kMapStringBlockGrowth);
    DirectoryList directories = CreateDirectoryList();
    LinkListHeader* list = LLCreate(gGenPool, sizeof(SheetLocalAnnotationEntry), 0);
    if (!names || !directories || !list) {
        if (names) DestroyStringBlock(names);
        if (directories) DestroyDirectoryList(directories);
        if (list) LLDispose(list, true);
        return status::kOutOfMemory;
    }
    LLSetFreeProc(list, FreeSheetAnnotRecord);
    gSheetAnnotNamesData = names;
    gSheetAnnotDirList = directories;
    gSheetAnnotList = list;
    return status::kNoErr;
}

SheetLocalAnnotationEntry* CreateSheetLocalAnnotation(const FileSpec* file, AnnotationMap* map) {
    if (!file || !map || InitSheetLocalAnnotation() != status::kNoErr) return nullptr;
    const int32_t directory = AddDirectoryToList(gSheetAnnotDirList, &file->directory);
    if (directory < 0) return nullptr;
    char name[kSheetLocalNameMax + 1];
    CacheName(file, name);
    const StringSpec spec = OverlayStringBlock(gSheetAnnotNamesData, name, -1, nullptr);
    if (spec == 0 && name[0]) return nullptr;
    auto* entry = static_cast<SheetLocalAnnotationEntry*>(LLPush(gSheetAnnotList, nullptr));
    if (!entry) return nullptr;
    entry->directoryIndex = uint32_t(directory);
    entry->fileName = spec;
    entry->map = map;
    return entry;
}

SheetLocalAnnotationEntry* FindSheetLocalAnnotation(const FileSpec* file) {
    if (!file || !gSheetAnnotList) return nullptr;
    const int32_t directory = GetDirectoryListIndex(gSheetAnnotDirList, &file->directory);
    if (directory < 0) return nullptr;
    char name[kSheetLocalNameMax + 1];
    CacheName(file, name);
    for (void* item = LLFirst(gSheetAnnotList); item; item = LLGetNext(gSheetAnnotList, item)) {
        auto* entry = static_cast<SheetLocalAnnotationEntry*>(item);
        if (entry->directoryIndex != uint32_t(directory)) continue;
        char stored[kSheetLocalNameMax + 1];
        ExtractStringSpec(entry->fileName, gSheetAnnotNamesData, stored, sizeof stored);
        if (StrCINCmp(stored, name, sizeof name) == 0) return entry;
    }
    return nullptr;
}

SheetLocalAnnotationEntry* GetSheetLocalAnnotation(const FileSpec* file, bool load) {
    if (SheetLocalAnnotationEntry* entry = FindSheetLocalAnnotation(file)) {
        ++entry->referenceCount;
        return entry;
    }
    return load ? LoadSheetLocalAnnotation(file) : nullptr;
}

SheetLocalAnnotationEntry* LoadSheetLocalAnnotation(const FileSpec* file) {
    if (!file || !gHooks.readSheetFileAnnotation) return nullptr;
    AnnotationMap* map = nullptr;
    if (gHooks.readSheetFileAnnotation(file, &map) != status::kNoErr) {
        DestroyAnnotationMap(map);
        return nullptr;
    }
    if (!map) return nullptr;
    SheetLocalAnnotationEntry* entry = CreateSheetLocalAnnotation(file, map);
    if (!entry) {
        DestroyAnnotationMap(map);
        return nullptr;
    }
    entry->referenceCount = 1;
    return entry;
}

void ReleaseSheetLocalAnnotation(SheetLocalAnnotationEntry* entry) {
    if (!entry || !gSheetAnnotList) return;
    if (--entry->referenceCount < 1) LLRemoveOrFree(gSheetAnnotList, entry, nullptr, true);
}

void ReleaseSheetAnnotation(SheetRecord* sheet) {
    if (!sheet) return;
    if (gHooks.enumSheetProjects)
        gHooks.enumSheetProjects(sheet, DiscardAndReleaseSheetAnnotation, nullptr);
    if (sheet->sheetLocalAnnotation) {
        ReleaseSheetLocalAnnotation(sheet->sheetLocalAnnotation);
    } else {
        DestroyAnnotationMap(sheet->annotationMap);
    }
    sheet->sheetLocalAnnotation = nullptr;
    sheet->annotationMap = nullptr;
}

}  // namespace plexa
