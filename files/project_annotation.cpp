// The project file's annotation blocks (types 16 to 143, one per sheet, told apart by the stored
// sheet name), loading and freeing a sheet spec's annotation, the sheet-local annotation that
// projects keep in the sheet files, and the update that brings a project's state to its file
// (see project.h).
#include <cstring>
#include <vector>

#include "files/instances.h"
#include "files/project.h"
#include "files/project_internal.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/sheet.h"

namespace plexa {

namespace {

// Whether two sheet names are the same without regard to case.
bool SameName(const char* a, const char* b) {
    return std::strlen(a) == std::strlen(b) && StrCINCmp(a, b, 0xFFFF) == 0;
}

// The stored name of an annotation block (256 bytes); false when the block does not hold one.
bool StoredBlockName(DynamicFileRecord* file, uint32_t offset, char* name, uint32_t* nameLength) {
    unsigned char bytes[256];
    int32_t length = sizeof bytes;
    *name = 0;
    const OSStatus st = ReadFileBlock(file, offset, bytes, &length);
    if ((st != status::kNoErr && st != status::kEndOfFile) || length < 1 || bytes[0] + 1 > length)
        return false;
    std::memcpy(name, bytes + 1, bytes[0]);
    name[bytes[0]] = 0;
    if (nameLength) *nameLength = bytes[0];
    return true;
}

bool KeptInSheets(const ProjectRecord* project) {
    return (project->settings.annotationFlags & kAnnotationKeptInSheets) != 0;
}

SheetSpec* FirstSpec(ProjectRecord* project) { return static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); }

}  // namespace

// ---- What the annotation maps need of projects ----

static_assert(kAnnotationNoSlotSuffix == kAnnotNoSlotSuffix && kAnnotationKeptInSheets == kAnnotSheetLocal,
              "the annotation maps read the project's annotation flags");

void AddProjectAnnotationHooks(AnnotationContextHooks& hooks) {
    hooks.projectFlags = [](ProjectRecord* project) { return project->settings.annotationFlags; };
    hooks.setProjectFlags = [](ProjectRecord* project, uint8_t flags) { project->settings.annotationFlags = flags; };
    hooks.instanceId = [](SheetInstance* instance) { return int32_t(instance->id); };
    hooks.instanceSheetSpec = ResolveInstanceSheet;
    hooks.projectHasInstance = [](ProjectRecord* project, int32_t id) {
        return GetInstanceWithId(project, uint32_t(id)) != nullptr;
    };
    hooks.specMap = [](SheetSpec* spec) { return &spec->annotationMap; };
    hooks.specLocalEntry = [](SheetSpec* spec) { return &spec->localAnnotation; };
    hooks.markSpecDirty = [](SheetSpec* spec) { spec->flags |= kSheetSpecAnnotationDirty; };
    hooks.resolveSheetSpecFile = [](ProjectRecord* project, SheetSpec* spec, FileSpec* file) {
        return ResolveSheetSpecFile(project, spec, file, nullptr);
    };
    hooks.loadAnnotationTable = LoadAnnotationTable;
    hooks.freeAnnotationTable = FreeAnnotationTable;
    hooks.openSheetOfSpec = GetOpenSheetFromSheetSpec;
    hooks.enumSheetProjects = EnumSheetProjects;
}

// ---- Names ----

OSStatus ReadProjectSheetName(StreamRecord* stream, char* name) {
    if (name) *name = 0;
    uint8_t length = 0;
    int32_t n = 1;
    if (OSStatus st = StreamRead(stream, &length, &n)) return st;
    n = length;
    OSStatus st = StreamRead(stream, name, &n);
    if (name) name[n] = 0;
    return st;
}

OSStatus WriteProjectSheetName(StreamRecord* stream, const ProjectRecord* project, const SheetSpec* spec) {
    char name[kFileSpecNameCapacity];
    GetSheetSpecName(project, spec, name, sizeof name);
    const uint8_t length = uint8_t(std::strlen(name));
    if (OSStatus st = StreamWrite(stream, &length, 1)) return st;
    return StreamWrite(stream, name, length);
}

// ---- Finding, loading and freeing ----

OSStatus FindProjectSheetAnnotationMap(ProjectRecord* project, const SheetSpec* spec, uint8_t type,
                                       uint32_t* position) {
    *position = 0;
    if (!project || !spec) return status::kParamErr;
    if (!project->file.stream) return status::kFileNotOpen;
    if (type == 0) type = CalcSheetSpecAnnotationBlockId(project, spec);
    char wanted[kFileSpecNameCapacity];
    GetSheetSpecName(project, spec, wanted, sizeof wanted);
    DynamicFileRecord* file = &project->file;
    uint32_t offset = 0, size = 0;
    OSStatus st = FindFileBlock(file, type, &offset, &size, true);
    while (st == status::kNoErr && offset != 0) {
        char stored[256];
        if (StoredBlockName(file, offset, stored, nullptr) && SameName(stored, wanted)) {
            *position = offset;
            return SetStreamPosition(file->stream, int32_t(offset));
        }
        st = FindFileBlock(file, type, &offset, &size, false);
    }
    return st;
}

OSStatus LoadAnnotationTable(ProjectRecord* project, SheetSpec* spec, uint32_t) {
    if (!project || !spec) return status::kParamErr;
    if (KeptInSheets(project)) {
        if (spec->localAnnotation) return status::kNoErr;
        FileSpec file;
        if (!ResolveSheetSpecFile(project, spec, &file, nullptr)) return status::kNotFound;
        spec->localAnnotation = GetSheetLocalAnnotation(&file, true);
        return status::kNoErr;
    }
    // A project without its file (one being put together) has no stored maps.
    if (spec->annotationMap || !project->file.stream) return status::kNoErr;
    uint32_t position = 0;
    if (OSStatus st = FindProjectSheetAnnotationMap(project, spec, 0, &position)) return st;
    if (position == 0) return status::kNoErr;
    BlockBytes block;
    if (OSStatus st = block.Load(&project->file, position)) return st;
    AnnotationMap* map = nullptr;
    const OSStatus st = ParseAnnotationBlock(block.stream, nullptr, &map);
    if (st == status::kNoErr) spec->annotationMap = map;
    return st;
}

OSStatus ParseAnnotationBlock(StreamRecord* stream, char* name, AnnotationMap** map) {
    *map = nullptr;
    if (OSStatus st = ReadProjectSheetName(stream, name)) return st;
    return ReadAnnotationMap(stream, 0, map);
}

void FreeAnnotationTable(ProjectRecord* project, SheetSpec* spec) {
    if (!project || !spec) return;
    SheetRecord* open = GetOpenSheetFromSheetSpec(project, spec);
    const bool shown = open && open->project == project;
    if (spec->annotationMap && !shown && !IsSheetAnnotationDirty(spec, true, false, false)) {
        DestroyAnnotationMap(spec->annotationMap);
        spec->annotationMap = nullptr;
        spec->flags &= uint16_t(~kSheetSpecAnnotationDirty);
    }
    if (spec->localAnnotation && spec->localAnnotation->referenceCount == 1 &&
        !IsSheetAnnotationDirty(spec, false, true, false)) {
        ReleaseSheetLocalAnnotation(spec->localAnnotation);
        spec->localAnnotation = nullptr;
    }
}

// ---- Writing ----

OSStatus WriteProjectSheetAnnotationMap(ProjectRecord* project, SheetSpec* spec, bool flush) {
    if (!project || !spec) return status::kParamErr;
    // A spec whose map is not loaded keeps its stored block as it is.
    AnnotationMap* map = spec->annotationMap;
    if (!map) return status::kNoErr;
    const StringBlock strings = GetAnnotationMapStringBlock(map);
    if (strings && CountAnnotationMapChars(map) + kProjectBlockUnit <
                       reinterpret_cast<const StringBlockHeader*>(*strings)->used)
        (void)PurgeAnnotationMapStringBlock(map);  // compacting only: the map stays whole
    uint32_t previous = 0;
    if (OSStatus st = FindProjectSheetAnnotationMap(project, spec, 0, &previous)) return st;
    const OSStatus st = WriteProjectBlock(project, CalcSheetSpecAnnotationBlockId(project, spec), false,
                                          flush, previous, [&](StreamRecord* s) {
                                              Signal(WriteProjectSheetName(s, project, spec));
                                              Signal(WriteAnnotationMap(s, map));
                                          });
    if (st == status::kNoErr) spec->flags &= uint16_t(~kSheetSpecAnnotationDirty);
    return st;
}

namespace {

// Counts one more session for each stored map whose sheet is no longer in the project and
// releases those that reached the limit.
OSStatus CountDeadAnnotationMaps(ProjectRecord* project) {
    PurgeUnusedSheetSpecs(project);
    DynamicFileRecord* file = &project->file;
    std::vector<uint32_t> dead;
    uint32_t offset = 0, size = 0;
    for (;;) {
        uint8_t type = 0;  // any type
        if (OSStatus st = ScanFileBlocks(file, &offset, &size, &type)) return st;
        if (offset == 0) break;
        if (type < kFirstAnnotationBlock || type > kLastAnnotationBlock) continue;
        char name[256];
        uint32_t length = 0;
        if (!StoredBlockName(file, offset, name, &length)) continue;
        if (GetNamedSheetSpec(project, name, nullptr)) continue;
        // The map's mark and count lie after the name.
        if (1 + length + 4 > size) continue;
        uint16_t count = 0;
        if (OSStatus st = SetStreamPosition(file->stream, int32_t(offset + 1 + length))) return st;
        const OSStatus st = IncrementAnnotationMapDeadSessionsCount(file->stream, &count);
        if (st == status::kParamErr) continue;  // not a stored map: left alone
        if (st) return st;
        if (count >= kDeadAnnotationLimit) dead.push_back(offset);
    }
    for (uint32_t block : dead)
        if (OSStatus st = ReleaseFileBlock(file, block)) return st;
    return status::kNoErr;
}

}  // namespace

OSStatus ReleaseDeadAnnotationMaps(ProjectRecord* project) {
    if (!project) return status::kParamErr;
    if (!project->file.stream) return status::kFileNotOpen;
    if (OSStatus st = BeginDynamicFileSave(&project->file)) return st;
    return EndDynamicFileSave(&project->file, CountDeadAnnotationMaps(project));
}

namespace {

// The body of UpdateProjectFile, run in one save of the file; the specs whose maps it wrote are
// added to *written.
OSStatus WriteProjectUpdate(ProjectRecord* project, bool writeAnnotation, std::vector<SheetSpec*>* written) {
    if (OSStatus st = WriteProjectInstanceList(project, false)) return st;
    if (OSStatus st = WriteProjectPathList(project, false)) return st;
    if (project->window) {
        if (OSStatus st = WriteProjectWindowState(project)) return st;
    }
    if (writeAnnotation) {
        for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) {
            if (!IsSheetAnnotationDirty(spec, true, false, false)) continue;
            if (spec->annotationMap) {
                if (ApplyAnnotationMapChanges(spec->annotationMap, nullptr))
                    spec->flags |= kSheetSpecAnnotationDirty;
                if (SheetRecord* open = GetOpenSheetFromSheetSpec(project, spec))
                    PurgeMissingSymbolsFromAnnotMap(open, spec->annotationMap);
            }
            PurgeMissingInstancesFromAnnotMap(project, spec);
            written->push_back(spec);
            if (OSStatus st = WriteProjectSheetAnnotationMap(project, spec, false)) return st;
        }
    }
    if (OSStatus st = ReleaseDeadAnnotationMaps(project)) return st;
    uint32_t count = 0, bytes = 0;
    if (OSStatus st = CountFreeBlocks(&project->file, &count, &bytes, false)) return st;
    if (bytes >= kProjectCompactionThreshold) {
        if (OSStatus st = CompactFileBlocks(&project->file)) return st;
    }
    return FlushDynamicFile(&project->file, false);
}

}  // namespace

OSStatus UpdateProjectFile(ProjectRecord* project, bool writeAnnotation) {
    if (!project) return status::kParamErr;
    if (!project->file.stream) return status::kFileNotOpen;
    const ProjectServices& projectServices = GetProjectServices();
    if (project->window) {
        PurgeUnusedInstances(project, writeAnnotation);
        if (projectServices.markTreeInstances) projectServices.markTreeInstances(project);
    }
    // One save: the file takes the whole update or stays as it was, and then what the update
    // wrote is still marked to be written.
    const uint16_t dirty = project->dirtyFlags;
    std::vector<SheetSpec*> written;
    if (OSStatus st = BeginDynamicFileSave(&project->file)) return st;
    const OSStatus st = EndDynamicFileSave(&project->file, WriteProjectUpdate(project, writeAnnotation, &written));
    if (st) {
        project->dirtyFlags |= dirty;
        for (SheetSpec* spec : written) spec->flags |= kSheetSpecAnnotationDirty;
    }
    return st;
}

OSStatus UpdateProjectSheetLocalAnnotation(ProjectRecord* project) {
    if (!project) return status::kParamErr;
    const SheetServices& services = GetSheetServices();
    for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) {
        if (!spec->localAnnotation || GetOpenSheetFromSheetSpec(project, spec)) continue;
        SheetLocalAnnotationEntry* local = spec->localAnnotation;
        AnnotationMap* map = local->map;
        if (map && ApplyAnnotationMapChanges(map, nullptr)) local->changed = 1;
        if (!local->changed) continue;
        FileSpec file;
        if (!ResolveSheetSpecFile(project, spec, &file, nullptr)) return status::kNotFound;
        const OSStatus st = services.writeSheetAnnotation ? services.writeSheetAnnotation(&file, map)
                                                          : kSheetServiceMissing;
        if (st) return st;
        local->changed = 0;
    }
    return status::kNoErr;
}

OSStatus CloseProjectFile(ProjectRecord* project) {
    if (!project) return status::kParamErr;
    return CloseAndMaybeFlushDynamicFile(&project->file, true);
}

}  // namespace plexa
