// Sheet instances (see instances.h).
#include "files/instances.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "foundation/byteswap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/annotation.h"

namespace plexa {

namespace {

SheetInstance* First(const ProjectRecord* project) {
    return project ? static_cast<SheetInstance*>(LLFirst(project->instances)) : nullptr;
}

void MarkChanged(ProjectRecord* project) { project->dirtyFlags |= kProjectInstancesChanged; }

uint64_t InstanceKey(uint32_t parentId, uint32_t serial) { return (uint64_t(parentId) << 32) | serial; }

}  // namespace

// The instances by parent id and serial, each run in list order, so that finding a node's
// instance does not walk the whole list. It stands for the list as it was at `version`; any other
// link or unlink makes it rebuild on the next lookup, and a change of parent or serial drops it.
struct SheetInstanceIndex {
    const LinkListHeader* list = nullptr;
    uint32_t version = 0;
    std::unordered_map<uint64_t, std::vector<SheetInstance*>> byKey;
};

void DestroySheetInstanceIndex(ProjectRecord* project) {
    if (!project) return;
    delete project->instanceIndex;
    project->instanceIndex = nullptr;
}

namespace {

bool IndexIsCurrent(const ProjectRecord* project) {
    const SheetInstanceIndex* index = project->instanceIndex;
    return index && project->instances && index->list == project->instances &&
           index->version == project->instances->version;
}

void DropInstanceIndex(ProjectRecord* project) {
    if (project->instanceIndex) project->instanceIndex->list = nullptr;
}

// The current index, rebuilt when the list changed; none when memory runs out.
SheetInstanceIndex* CurrentInstanceIndex(ProjectRecord* project) {
    if (!project->instances) return nullptr;
    if (IndexIsCurrent(project)) return project->instanceIndex;
    if (!project->instanceIndex && !(project->instanceIndex = new (std::nothrow) SheetInstanceIndex))
        return nullptr;
    SheetInstanceIndex* index = project->instanceIndex;
    index->byKey.clear();
    for (SheetInstance* i = First(project); i; i = i->next) index->byKey[InstanceKey(i->parentId, i->serial)].push_back(i);
    index->list = project->instances;
    index->version = project->instances->version;
    return index;
}

// The id for a new instance: the project's next id while it lies in the range of ids. Past the
// range, the lowest id that no instance has; the next id then stays past the range, so that
// every later id is found the same way. 0 when every id is taken.
uint32_t TakeInstanceId(ProjectRecord* project) {
    const uint32_t next = project->nextInstanceId;
    if (next != 0 && next <= kLastInstanceId) {
        ++project->nextInstanceId;
        return next;
    }
    std::vector<uint32_t> ids;
    for (SheetInstance* i = First(project); i; i = i->next) ids.push_back(i->id);
    std::sort(ids.begin(), ids.end());
    uint32_t id = 1;
    for (uint32_t used : ids) {
        if (used == id) ++id;
        if (used > id) break;
    }
    return id <= kLastInstanceId ? id : 0;
}

SheetInstance* MakeInstance(ProjectRecord* project, uint32_t parentId, uint32_t serial,
                            SheetSpec* spec) {
    if (!project || !project->instances) return nullptr;
    auto* instance = static_cast<SheetInstance*>(LLAlloc(project->instances));
    if (!instance) return nullptr;
    const uint32_t id = TakeInstanceId(project);
    if (id == 0) {
        MemFreePtr(reinterpret_cast<Ptr>(instance));
        return nullptr;
    }
    instance->sheetSpec = spec;
    instance->sheetName = spec ? spec->name : 0;
    instance->id = id;
    instance->parentId = parentId;
    instance->serial = serial;
    instance->flags = kInstanceNew;
    const bool indexed = IndexIsCurrent(project);
    LLPush(project->instances, instance);
    if (indexed) {
        std::vector<SheetInstance*>& run = project->instanceIndex->byKey[InstanceKey(parentId, serial)];
        run.insert(run.begin(), instance);
        project->instanceIndex->version = project->instances->version;
    }
    MarkChanged(project);
    return instance;
}

// The spec of the same name in another block; a name that could not be added fails with the
// block's status.
StringSpec MoveName(StringSpec spec, StringBlock from, StringBlock to, OSStatus* status) {
    const StringSpec moved = TransferStringSpec(spec, from, to, false);
    char probe[2];
    if (moved == 0 && ExtractStringSpec(spec, from, probe, sizeof probe) > 0) {
        const OSStatus st = StringBlockAddStatus();
        *status = st ? st : status::kOutOfMemory;
    }
    return moved;
}

// Takes the instances out of every node that holds one of them (all of them for none).
void ForgetInNodes(ProjectRecord* project, const SheetInstance* instance) {
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node))
        if (!instance || node->instance == instance) node->instance = nullptr;
}

// The instance of a node whose parent's instance (0 at the top level) is known.
SheetInstance* RetrieveOne(ProjectRecord* project, SheetNode* node, SheetInstance* parent,
                           bool create) {
    const uint32_t parentId = parent ? parent->id : 0;
    SheetInstance* candidate = nullptr;
    std::vector<SheetInstance*> scanned;
    const std::vector<SheetInstance*>* run = nullptr;
    if (SheetInstanceIndex* index = CurrentInstanceIndex(project)) {
        auto found = index->byKey.find(InstanceKey(parentId, node->serial));
        static const std::vector<SheetInstance*> kNone;
        run = found != index->byKey.end() ? &found->second : &kNone;
    } else {
        for (SheetInstance* i = First(project); i; i = i->next)
            if (i->parentId == parentId && i->serial == node->serial) scanned.push_back(i);
        run = &scanned;
    }
    for (SheetInstance* i : *run) {
        if (ResolveInstanceSheet(project, i) == node->sheetSpec) {
            node->instance = i;
            return i;
        }
        if (node->depth != 0) candidate = i;
    }
    if (candidate && candidate->sheetSpec) {
        // The symbol now names another sheet: the occurrence keeps its id and its annotation.
        const OSStatus st = TransferInstanceAnnotation(project, int32_t(candidate->id),
                                                       candidate->sheetSpec, node->sheetSpec);
        if (st == status::kNoErr) {
            candidate->sheetSpec = node->sheetSpec;
            candidate->sheetName = node->sheetSpec ? node->sheetSpec->name : 0;
            MarkChanged(project);
            node->instance = candidate;
            return candidate;
        }
    }
    node->instance = create ? CreateSheetInstance(project, parent, node->serial, node->sheetSpec) : nullptr;
    return node->instance;
}

void CopyAnnotation(ProjectRecord* project, SheetSpec* spec, uint32_t fromId, uint32_t toId) {
    const uint8_t saved = project->settings.annotationFlags;
    project->settings.annotationFlags &= uint8_t(~kAnnotationKeptInSheets);
    if (LoadAnnotationTable(project, spec, 0) == status::kNoErr) {
        (void)CopyInstanceAnnotation(spec, int32_t(fromId), int32_t(toId));  // out of memory: the copy keeps no annotation
        FreeAnnotationTable(project, spec);
    }
    project->settings.annotationFlags = saved;
}

struct SymbolCopy {
    uint32_t oldSerial;
    uint32_t newSerial;
};

int32_t CopyTreesOfSymbol(ProjectRecord* project, SheetSpec* spec, SheetRecord*, void* data) {
    const auto* copy = static_cast<const SymbolCopy*>(data);
    std::vector<SheetInstance*> targets;
    for (SheetInstance* i = First(project); i; i = i->next) {
        if (i->serial != copy->oldSerial) continue;
        SheetInstance* parent = GetInstanceWithId(project, i->parentId);
        if (parent && ResolveInstanceSheet(project, parent) == spec) targets.push_back(i);
    }
    for (SheetInstance* i : targets) CopyInstanceTree(project, i, i->parentId, copy->newSerial);
    return 0;
}

}  // namespace

LinkListHeader* CreateSheetInstanceList() { return LLCreate(nullptr, sizeof(SheetInstance), 0); }

void DestroySheetInstanceList(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

SheetInstance* CreateSheetInstance(ProjectRecord* project, SheetInstance* parent, uint32_t serial,
                                   SheetSpec* spec) {
    return MakeInstance(project, parent ? parent->id : 0, serial, spec);
}

void DestroySheetInstance(ProjectRecord* project, SheetInstance* instance) {
    if (!project || !instance) return;
    ForgetInNodes(project, instance);
    if (LLRemoveOrFree(project->instances, instance, nullptr, true)) MarkChanged(project);
}

SheetSpec* ResolveInstanceSheet(ProjectRecord* project, SheetInstance* instance) {
    if (!instance) return nullptr;
    if (!instance->sheetSpec && project) {
        char name[kStringSpecBufferSize];
        ExtractStringSpec(instance->sheetName, project->strings, name, sizeof name);
        instance->sheetSpec = GetNamedSheetSpec(project, name, nullptr);
    }
    return instance->sheetSpec;
}

void InvalidateInstanceSheets(ProjectRecord* project, const SheetSpec* spec) {
    for (SheetInstance* i = First(project); i; i = i->next)
        if (!spec || i->sheetSpec == spec) i->sheetSpec = nullptr;
}

void GetInstanceSheetName(const ProjectRecord* project, const SheetInstance* instance, char* name,
                          int32_t size) {
    ExtractStringSpec(instance ? instance->sheetName : 0, project ? project->strings : nullptr, name,
                      std::min<int32_t>(size, 256));
}

SheetInstance* GetInstanceWithId(const ProjectRecord* project, uint32_t id) {
    if (id == 0) return nullptr;
    for (SheetInstance* i = First(project); i; i = i->next)
        if (i->id == id) return i;
    return nullptr;
}

SheetInstance* RetrieveSheetInstance(ProjectRecord* project, SheetNode* node, bool create) {
    if (!project || !node) return nullptr;
    // The node and its ancestors that hold no instance yet, from the top down.
    std::vector<SheetNode*> chain;
    for (SheetNode* n = node; n && !n->instance; n = n->parent) chain.push_back(n);
    for (auto n = chain.rbegin(); n != chain.rend(); ++n) {
        SheetNode* parent = (*n)->parent;
        if (parent && !parent->instance) return nullptr;
        if (!RetrieveOne(project, *n, parent ? parent->instance : nullptr, create)) return nullptr;
    }
    return node->instance;
}

SheetNode* GetSheetNodeWithInstance(ProjectRecord* project, SheetInstance* instance) {
    if (!project || !instance || !ResolveInstanceSheet(project, instance)) return nullptr;
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node)) {
        if (node->instance == instance) return node;
        if (node->instance) continue;
        if (node->serial == instance->serial && node->sheetSpec == instance->sheetSpec &&
            RetrieveSheetInstance(project, node, false) == instance)
            return node;
    }
    return nullptr;
}

bool IsDescendantInstance(const ProjectRecord* project, const SheetInstance* instance,
                          uint32_t ancestorId) {
    if (!project || !instance) return false;
    // A chain of more links than the list has instances runs in a loop.
    uint32_t id = instance->parentId;
    for (uint32_t steps = (project->instances ? project->instances->count : 0) + 1; id != 0 && steps > 0;
         --steps) {
        if (id == ancestorId) return true;
        const SheetInstance* parent = GetInstanceWithId(project, id);
        if (!parent) return false;
        id = parent->parentId;
    }
    return false;
}

void PurgeUnusedInstances(ProjectRecord* project, bool purgeAnnotation) {
    if (!project || !project->hierarchy || !First(project)) return;
    const SheetServices& services = GetSheetServices();
    std::unordered_set<const SheetInstance*> used;
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node))
        if (node->instance) used.insert(node->instance);
    bool destroyed = false;
    SheetInstance* previous = nullptr;
    for (SheetInstance* i = First(project); i;) {
        SheetInstance* next = i->next;
        if (services.busy) services.busy();
        bool remove = false;
        if (!used.count(i)) {
            MarkChanged(project);
            remove = (i->flags & kInstanceNew) || ++i->missCount >= kInstanceMissLimit;
        } else if (i->missCount > 0) {
            i->missCount = 0;
            MarkChanged(project);
        }
        if (remove) {
            LLRemoveOrFree(project->instances, i, previous, true);
            destroyed = true;
        } else {
            previous = i;
        }
        i = next;
    }
    if (!purgeAnnotation || !destroyed) return;
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next) {
        if (LoadAnnotationTable(project, spec, 0) != status::kNoErr) continue;
        PurgeMissingInstancesFromAnnotMap(project, spec);
        FreeAnnotationTable(project, spec);
    }
}

void CopyInstanceTree(ProjectRecord* project, SheetInstance* instance, uint32_t newParentId,
                      uint32_t newSerial) {
    if (!project || !instance) return;
    if (instance->parentId == newParentId && instance->serial == newSerial) return;
    for (SheetInstance* i = First(project); i; i = i->next)
        if (i != instance && i->parentId == newParentId && i->serial == newSerial) {
            DropInstanceIndex(project);
            i->parentId = kDetachedParentId;
            MarkChanged(project);
            break;
        }
    struct Job {
        SheetInstance* from;
        uint32_t parentId;
        uint32_t serial;
    };
    std::vector<Job> jobs{{instance, newParentId, newSerial}};
    std::unordered_set<uint32_t> copied;
    while (!jobs.empty()) {
        const Job job = jobs.back();
        jobs.pop_back();
        if (!copied.insert(job.from->id).second) continue;
        SheetSpec* spec = ResolveInstanceSheet(project, job.from);
        if (!spec) continue;
        SheetInstance* copy = MakeInstance(project, job.parentId, job.serial, spec);
        if (!copy) return;
        CopyAnnotation(project, spec, job.from->id, copy->id);
        // Children in list order, each copied whole before the next (the stack takes them last
        // first).
        std::vector<Job> children;
        for (SheetInstance* i = First(project); i; i = i->next)
            if (i != copy && i->parentId == job.from->id) children.push_back({i, copy->id, i->serial});
        jobs.insert(jobs.end(), children.rbegin(), children.rend());
    }
}

void CopyInstanceTreesForSymbol(SheetRecord* sheet, uint32_t oldSerial, uint32_t newSerial) {
    SymbolCopy copy{oldSerial, newSerial};
    EnumSheetProjects(sheet, CopyTreesOfSymbol, &copy);
}

OSStatus WriteInstanceList(StreamRecord* stream, ProjectRecord* project) {
    if (!stream || !project) return status::kParamErr;
    StringBlock names = CreateStringBlock(nullptr, kInstanceNamesQuantum);
    if (!names) return status::kOutOfMemory;
    std::unordered_map<StringSpec, StringSpec> moved;
    std::vector<StringSpec> specs;
    OSStatus st = status::kNoErr;
    for (SheetInstance* i = First(project); i && st == status::kNoErr; i = i->next) {
        auto found = moved.find(i->sheetName);
        if (found == moved.end()) {
            const StringSpec spec = MoveName(i->sheetName, project->strings, names, &st);
            found = moved.emplace(i->sheetName, spec).first;
        }
        specs.push_back(found->second);
    }
    if (st == status::kNoErr) st = WriteStringBlock(stream, names);
    DestroyStringBlock(names);
    if (st) return st;
    const uint16_t count = uint16_t(std::min<size_t>(specs.size(), kInstanceCountUntilEnd));
    if ((st = StreamWriteWord(stream, count)) || (st = StreamWriteWord(stream, kInstanceRecordSize)))
        return st;
    size_t n = 0;
    for (SheetInstance* i = First(project); i; i = i->next, ++n) {
        if ((st = StreamWriteLong(stream, i->id)) || (st = StreamWriteLong(stream, i->parentId)) ||
            (st = StreamWriteLong(stream, i->serial)) || (st = StreamWriteWord(stream, i->flags)) ||
            (st = StreamWriteWord(stream, uint16_t(i->missCount))) ||
            (st = StreamWriteLong(stream, specs[n])))
            return st;
    }
    return StreamWriteLong(stream, kInstanceListEnd);
}

OSStatus ReadInstanceList(StreamRecord* stream, ProjectRecord* project) {
    if (!stream || !project) return status::kParamErr;
    uint32_t magic = 0;
    if (OSStatus st = StreamReadLong(stream, &magic)) return st;
    if (magic != kStringBlockMagic) return status::kNoErr;
    if (OSStatus st = OffsetStreamPosition(stream, -4)) return st;
    StringBlock names = nullptr;
    LinkListHeader* list = nullptr;
    auto fail = [&](OSStatus st) {
        DestroyStringBlock(names);
        DestroySheetInstanceList(list);
        return st;
    };
    if (OSStatus st = ReadStringBlock(stream, nullptr, &names)) return fail(st);
    uint16_t count = 0, recordSize = 0;
    if (OSStatus st = StreamReadWord(stream, &count)) return fail(st);
    if (OSStatus st = StreamReadWord(stream, &recordSize)) return fail(st);
    if (count > kInstanceCountUntilEnd || recordSize < 4) return fail(status::kParamErr);
    if (!(list = CreateSheetInstanceList())) return fail(status::kOutOfMemory);
    const bool swap = (stream->flags & kStreamSwapOnRead) != 0;
    const int32_t fieldBytes = std::min<int32_t>(recordSize - 4, 12);
    const int32_t extraBytes = recordSize - 4 - fieldBytes;
    std::unordered_map<StringSpec, StringSpec> moved;
    std::unordered_set<uint32_t> ids;
    uint32_t highest = 0;
    for (uint32_t n = 0; count == kInstanceCountUntilEnd || n < count; ++n) {
        uint32_t id = 0, nameSpec = 0;
        if (OSStatus st = StreamReadLong(stream, &id)) return fail(st);
        if (id == kInstanceListEnd) break;
        uint8_t fields[12] = {};
        int32_t length = fieldBytes;
        if (OSStatus st = StreamRead(stream, fields, &length)) return fail(st);
        length = extraBytes;
        if (extraBytes > 0)
            if (OSStatus st = StreamRead(stream, nullptr, &length)) return fail(st);
        if (OSStatus st = StreamReadLong(stream, &nameSpec)) return fail(st);
        if (id == 0 || id == kDetachedParentId || !ids.insert(id).second) continue;
        if (swap) ByteSwapSheetInstance(fields);
        StoredSheetInstance stored{};
        std::memcpy(&stored.parentId, fields, sizeof fields);
        auto* instance = static_cast<SheetInstance*>(LLAlloc(list));
        if (!instance) return fail(status::kOutOfMemory);
        instance->id = id;
        instance->parentId = stored.parentId;
        instance->serial = stored.serial;
        instance->flags = uint16_t(stored.flags & ~kInstanceNew);
        instance->missCount = stored.missCount;
        LLPush(list, instance);
        auto found = moved.find(nameSpec);
        if (found == moved.end()) {
            OSStatus st = status::kNoErr;
            const StringSpec spec = MoveName(nameSpec, names, project->strings, &st);
            if (st) return fail(st);
            found = moved.emplace(nameSpec, spec).first;
        }
        instance->sheetName = found->second;
        if (id <= kLastInstanceId) highest = std::max(highest, id);
    }
    LLReverse(list);
    DestroyStringBlock(names);
    ForgetInNodes(project, nullptr);
    DestroySheetInstanceList(project->instances);
    project->instances = list;
    // New ids start above every id read (past the last one, the lowest free id is taken).
    if (project->nextInstanceId <= highest) project->nextInstanceId = highest + 1;
    return status::kNoErr;
}

void ByteSwapSheetInstance(void* fields) { ByteSwapTemplate(fields, kInstanceFieldsTemplate); }

}  // namespace plexa
