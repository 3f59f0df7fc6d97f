// The project record: making and freeing it, its ids, the open-project list and the simulator
// maps it keeps (see project.h).
//
// Project id (computed once, when the record is made; the simulator link finds projects by it):
//   h1 = HashMem("SPIC", the file's name upper-cased with a final ".PRX" cut off)
//   h2 = HashMem(h1, the POSIX path of the file's folder, ending in "/", upper-cased)
//   id = (h1 & 0xFFFF) | (h2 & 0x7FFF0000)
// Upper-casing is ASCII only (bytes from 0x80 stay), so that the id does not depend on the locale.
// The same file name in another folder keeps the low 16 bits.
#include "files/project.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/sheetspec.h"
#include "foundation/datafile.h"
#include "foundation/hash.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/printrec.h"

namespace plexa {

ProjectRecord* gProjectList = nullptr;

namespace {

ProjectServices gProjectServices;

constexpr uint8_t kOwnFolderPathFlags = kPathFileKinds;  // sheet, library and script files

uint32_t HashUpper(uint32_t seed, std::string text) {
    StrToUpper(text.data());
    return HashMem(seed, text.data(), uint32_t(std::strlen(text.c_str())));
}

}  // namespace

void SetProjectServices(const ProjectServices& services) { gProjectServices = services; }
const ProjectServices& GetProjectServices() { return gProjectServices; }

// ---- Ids ----

uint32_t ProjectId(const FileSpec* file) {
    if (!file) return 0;
    std::string name = file->name;
    StrToUpper(name.data());
    name.resize(std::strlen(name.c_str()));
    const size_t extension = std::strlen(kProjectExtension);
    if (name.size() >= extension && name.compare(name.size() - extension, extension, kProjectExtension) == 0)
        name.resize(name.size() - extension);
    const uint32_t h1 = HashMem(kProjectIdSeed, name.data(), uint32_t(name.size()));
    uint32_t needed = 0;
    (void)PathNameFromFileSpec(file, true, nullptr, 0, &needed);  // a failure shows in the call below
    std::string folder(size_t(needed) + 1, '\0');
    if (PathNameFromFileSpec(file, true, folder.data(), folder.size(), nullptr) != status::kNoErr)
        folder.clear();
    const uint32_t h2 = HashUpper(h1, folder);
    return (h1 & 0xFFFF) | (h2 & 0x7FFF0000);
}

uint8_t AnnotationBlockId(const char* sheetName) {
    return uint8_t(kFirstAnnotationBlock + (HashUpper(kAnnotationIdSeed, sheetName ? sheetName : "") & 127));
}

uint8_t CalcSheetSpecAnnotationBlockId(const ProjectRecord* project, const SheetSpec* spec) {
    char name[kFileSpecNameCapacity];
    GetSheetSpecName(project, spec, name, sizeof name);
    return AnnotationBlockId(name);
}

// ---- The record ----

struct ProjectNameIndex {
    std::unordered_map<std::string, StringSpec> specs;
};

void ReleaseProjectIndexes(ProjectRecord* project) {
    if (!project) return;
    delete project->nameIndex;
    project->nameIndex = nullptr;
    DestroySheetInstanceIndex(project);
}

StringSpec AddProjectName(ProjectRecord* project, const char* name) {
    if (!project || !project->strings || !name || !*name) return 0;
    if (!project->nameIndex) project->nameIndex = new (std::nothrow) ProjectNameIndex;
    const std::string key(name);
    if (project->nameIndex) {
        auto found = project->nameIndex->specs.find(key);
        if (found != project->nameIndex->specs.end()) {
            std::string held(key.size() + 1, '\0');
            const int16_t n = ExtractStringSpec(found->second, project->strings, held.data(), int32_t(held.size()));
            held.resize(size_t(n));
            if (held == key) return found->second;
        }
    }
    const StringSpec spec = AppendStringBlock(project->strings, name, uint32_t(key.size()), nullptr);
    if (spec && project->nameIndex) project->nameIndex->specs[key] = spec;
    return spec;
}

ProjectRecord* CreateProjectRecord(const DynamicFileRecord* file) {
    auto* project = reinterpret_cast<ProjectRecord*>(AllocPtrClear(nullptr, sizeof(ProjectRecord)));
    if (!project) return nullptr;
    if (file) project->file = *file;
    project->sheetSpecs = CreateSheetSpecList();
    project->topLevelSheets = CreateSubSheetReferences();
    project->instances = CreateSheetInstanceList();
    project->directories = CreateDirectoryList();
    project->strings = CreateStringBlock(nullptr, kProjectStringQuantum);
    if (project->strings && project->directories)
        project->paths = CreatePathSpecList(project, kProjectOwnerKind);
    const ProjectServices& services = GetProjectServices();
    if (services.createAnalyses) project->analyses = services.createAnalyses();
    if (!project->sheetSpecs || !project->topLevelSheets || !project->instances ||
        !project->directories || !project->strings || !project->paths) {
        DestroyProjectRecord(project);
        return nullptr;
    }
    project->projectId = ProjectId(&project->file.spec);
    project->nextInstanceId = 1;
    ProjectSettings& s = project->settings;
    s.mark = kProjectBlockMark;
    s.signalScope = 1;
    s.qualifyShared = 1;
    s.annotationFlags = kAnnotationKeptInSheets;
    s.separator[0] = ':';
    project->reportOptions.descend = 1;
    project->reportOptions.openOutput = 1;
    project->annotationOptions.startNumber = 1;
    project->annotationOptions.limitHierarchy = 1;
    project->resequenceOptions.startNumber = 1;
    project->resequenceOptions.limitHierarchy = 1;
    return project;
}

void DestroyProjectRecord(ProjectRecord* project) {
    if (!project) return;
    const ProjectServices& services = GetProjectServices();
    if (project->editState && services.releaseEditState) services.releaseEditState(project);
    // Nodes point at specs and instances: the tree goes first.
    DestroySheetTree(project->hierarchy);
    project->hierarchy = nullptr;
    if (project->sheetSpecs) LLDispose(project->sheetSpecs, true);
    DestroySubSheetReferences(project->topLevelSheets);
    DestroySheetInstanceList(project->instances);
    DestroyPathSpecList(project->paths);
    DestroyDirectoryList(project->directories);
    DestroyStringBlock(project->strings);
    ReleaseProjectIndexes(project);
    if (services.destroyLibraryFiles) services.destroyLibraryFiles(project);
    if (project->analyses && services.destroyAnalyses) services.destroyAnalyses(project->analyses);
    DestroySpiceSignalMap(project->signalMap);
    DestroySpiceCompMap(project->compMap);
    if (project->log && services.destroyLog) services.destroyLog(project);
    if (project->window && services.destroyWindow) services.destroyWindow(project);
    if (project->attributes) MemFree(project->attributes);
    VXDestroyPrintRecord(project->printRecord);
    MemFreePtr(project);
}

ProjectRecord* AllocateNewProject(const DynamicFileRecord* file) {
    ProjectRecord* project = CreateProjectRecord(file);
    if (!project) return nullptr;
    project->next = gProjectList;
    gProjectList = project;
    const ProjectServices& services = GetProjectServices();
    if (services.createWindow) project->window = services.createWindow(project);
    AddPathSpecToList(project->paths, &project->file.spec.directory, kPathRootOwner,
                      kOwnFolderPathFlags, false);
    project->attributes = AllocHandle(nullptr, 0);
    project->settings.attributeCount = 0;
    return project;
}

// ---- Queries ----

OSStatus MarkSpiceProjectDirty(ProjectRecord* project, bool write) {
    if (!project || project->settings.lastNetlistTime == 0) return status::kNoErr;
    project->settings.lastNetlistTime = 0;
    return write ? WriteProjectSettings(project, true) : status::kNoErr;
}

bool IsProjectAnnotationDirty(ProjectRecord* project, bool includeClosed) {
    if (!project) return false;
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next) {
        if (IsSheetAnnotationDirty(spec, true, false, false)) return true;
        if (includeClosed && spec->localAnnotation && !GetOpenSheetFromSheetSpec(project, spec) &&
            IsSheetAnnotationDirty(spec, false, true, false))
            return true;
    }
    return false;
}

void MarkProjectTreeDirty(ProjectRecord* project) {
    if (project) project->treeDirty = 1;
}

ProjectRecord* GetSpiceProject(uint32_t projectId) {
    for (ProjectRecord* p = gProjectList; p; p = p->next)
        if (p->projectId == projectId) return p;
    for (ProjectRecord* p = gProjectList; p; p = p->next)
        if ((p->projectId & 0xFFFF) == (projectId & 0xFFFF)) return p;
    return nullptr;
}

ProjectRecord* GetOpenProject(const FileSpec* file) {
    if (!file) return nullptr;
    for (ProjectRecord* p = gProjectList; p; p = p->next)
        if (EqualFileSpecs(&p->file.spec, file)) return p;
    return nullptr;
}

bool SetFileSymbolWarningsSuppressed(ProjectRecord* project, bool on) {
    if (!project) return false;
    const bool old = (project->settings.flags & kProjectFileSymbolWarningsOff) != 0;
    if (on)
        project->settings.flags |= kProjectFileSymbolWarningsOff;
    else
        project->settings.flags &= uint16_t(~kProjectFileSymbolWarningsOff);
    return old;
}

bool GetFileSymbolWarningsSuppressed(const ProjectRecord* project) {
    return project && (project->settings.flags & kProjectFileSymbolWarningsOff) != 0;
}

bool AnnotSuffixEnabled(const ProjectRecord* project) {
    return !project || !(project->settings.annotationFlags & kAnnotationNoSlotSuffix);
}

void ResetProjectPaths(ProjectRecord* project) {
    if (!project) return;
    ResetPathSpecList(project->paths, true);
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
        spec->directory = -1;
}

// ---- Simulator maps ----

namespace {

SpiceSignalMapInfo* SignalInfo(SpiceSignalMap map) {
    return map ? reinterpret_cast<SpiceSignalMapInfo*>(uintptr_t(DAGetRefCon(map))) : nullptr;
}

int32_t SignalKey(const SpiceSignalMapEntry& entry) {
    const ProjectServices& services = GetProjectServices();
    if (entry.netName == kSignalMapBuilding && services.signalMapBuildKey)
        return services.signalMapBuildKey(&entry);
    return entry.key;
}

}  // namespace

int SignalMapCompareProc(DAArray map, const void* a, const void* b) {
    SpiceSignalMapEntry x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    const int32_t kx = SignalKey(x), ky = SignalKey(y);
    if (kx != ky) return kx < ky ? -1 : 1;
    char nx[65], ny[65];
    ExtractSignalMapSignalName(map, x.name, nx);
    ExtractSignalMapSignalName(map, y.name, ny);
    return StrCINCmp(nx, ny, sizeof nx);
}

SpiceSignalMap CreateSpiceSignalMap(StringBlock strings, VXNameTable names) {
    SpiceSignalMap map = DACreate(nullptr, sizeof(SpiceSignalMapEntry), 0, kDASorted | kDALogicalIds);
    if (!map) return nullptr;
    DASetCompareProcEx(map, SignalMapCompareProc);
    if ((strings || names) && !SetSignalMapInfo(map, strings, names)) {
        DADispose(map);
        return nullptr;
    }
    return map;
}

void DestroySpiceSignalMap(SpiceSignalMap map) {
    if (!map) return;
    if (SpiceSignalMapInfo* info = SignalInfo(map)) {
        DestroyStringBlock(info->strings);
        if (info->names) VXDestroyNameTable(info->names);
        MemFreePtr(info);
    }
    DADispose(map);
}

StringBlock GetSignalMapInfo(SpiceSignalMap map, VXNameTable* names) {
    SpiceSignalMapInfo* info = SignalInfo(map);
    if (names) *names = info ? info->names : nullptr;
    return info ? info->strings : nullptr;
}

bool SetSignalMapInfo(SpiceSignalMap map, StringBlock strings, VXNameTable names) {
    if (!map) return false;
    SpiceSignalMapInfo* info = SignalInfo(map);
    if (!info) {
        info = reinterpret_cast<SpiceSignalMapInfo*>(AllocPtrClear(nullptr, sizeof(SpiceSignalMapInfo)));
        if (!info) return false;
        DASetRefCon(map, uint64_t(uintptr_t(info)));
    }
    info->strings = strings;
    info->names = names;
    return true;
}

void ExtractSignalMapSignalName(SpiceSignalMap map, StringSpec spec, char* out) {
    VXNameTable names = nullptr;
    StringBlock strings = GetSignalMapInfo(map, &names);
    if (names)
        VXNameTableExtractName(names, spec, out, 65);
    else
        ExtractStringSpec(spec, strings, out, 65);
}

namespace {

int CompareComponents(const void* a, const void* b) {
    SpiceCompMapEntry x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    if (x.instanceId != y.instanceId) return x.instanceId < y.instanceId ? -1 : 1;
    if (x.symbolSerial != y.symbolSerial) return x.symbolSerial < y.symbolSerial ? -1 : 1;
    return 0;
}

StringBlock CompStrings(SpiceCompMap map) {
    return map ? reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(map))) : nullptr;
}

}  // namespace

int SpiceCompMapCompareProc(const void* a, const void* b) { return CompareComponents(a, b); }

SpiceCompMap CreateSpiceCompMap() {
    SpiceCompMap map = DACreate(nullptr, sizeof(SpiceCompMapEntry), 0, kDASorted | kDALogicalIds);
    if (!map) return nullptr;
    DASetCompareProc(map, CompareComponents);
    StringBlock strings = CreateStringBlock(nullptr, kSpiceCompMapStringQuantum);
    if (!strings) {
        DADispose(map);
        return nullptr;
    }
    DASetRefCon(map, uint64_t(uintptr_t(strings)));
    return map;
}

void DestroySpiceCompMap(SpiceCompMap map) {
    if (!map) return;
    DestroyStringBlock(CompStrings(map));
    DADispose(map);
}

int32_t AddSpiceCompMapEntry(SpiceCompMap map, uint32_t instanceId, uint32_t symbolSerial,
                             const char* designator) {
    if (!map) return -1;
    SpiceCompMapEntry entry{instanceId, symbolSerial, 0};
    if (designator && *designator) {
        entry.designator = OverlayStringBlock(CompStrings(map), designator, -1, nullptr);
        if (entry.designator == 0) return -1;
    }
    return DAAdd(map, &entry);
}

bool GetSpiceCompMapRefDes(SpiceCompMap map, uint32_t instanceId, uint32_t symbolSerial, char* out) {
    *out = 0;
    if (!map) return false;
    const SpiceCompMapEntry key{instanceId, symbolSerial, 0};
    const int32_t found = DASearch(map, -1, &key, 0);
    SpiceCompMapEntry entry;
    if ((uint32_t(found) & kDANotFound) || !DAGet(map, found, &entry)) return false;
    ExtractStringSpec(entry.designator, CompStrings(map), out, 256);
    return *out != 0;
}

}  // namespace plexa
