// Sheet specs and sub-sheet references (see sheetspec.h).
#include "files/sheetspec.h"

#include <string>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetfile.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/dirspec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/sheet.h"

namespace plexa {

namespace {

SheetSpec* FirstSpec(const ProjectRecord* project) {
    return project ? static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)) : nullptr;
}

SubSheetReference* FirstReference(const LinkListHeader* list) {
    return static_cast<SubSheetReference*>(LLFirst(list));
}

void ClearMarks(ProjectRecord* project) {
    for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) spec->flags &= ~kSheetSpecMark;
}

// A reference read from an open sheet or from its file, before it joins the spec.
struct PendingReference {
    std::string child;
    std::string symbol;
    uint32_t serial;
    uint16_t flags;
};

void TakeOpenEntry(const OpenSubSheetEntry& entry, void* data) {
    if (!(entry.symbolFlags & (kSymbolSheetSymbol | kSymbolNamesSubSheet))) return;
    uint16_t flags = uint16_t(entry.symbolFlags & kSubSheetSymbolBits);
    std::string symbol;
    if (entry.componentOrSheetSymbol) {
        flags |= kSubSheetComponentOrSheetSymbol;
    } else if (entry.referenceName) {
        symbol = entry.referenceName;
    }
    static_cast<std::vector<PendingReference>*>(data)->push_back(
        {entry.subSheetName ? entry.subSheetName : "", symbol, entry.serial, flags});
}

void TakeFileEntry(const FileSubSheetEntry& entry, void* data) {
    static_cast<std::vector<PendingReference>*>(data)->push_back(
        {entry.subSheetName ? entry.subSheetName : "", entry.symbolName ? entry.symbolName : "",
         entry.serial, entry.flags});
}

int32_t StampSpec(ProjectRecord*, SheetSpec* spec, SheetRecord*, void*) {
    SetSheetSpecDirtyTime(spec, nullptr);
    return 0;
}

}  // namespace

// ---- Specs ----

LinkListHeader* CreateSheetSpecList() {
    LinkListHeader* list = LLCreate(nullptr, sizeof(SheetSpec), 0);
    if (list) LLSetFreeProc(list, FreeOneSheetSpec);
    return list;
}

SheetSpec* CreateSheetSpec() {
    auto* spec = reinterpret_cast<SheetSpec*>(AllocPtrClear(nullptr, sizeof(SheetSpec)));
    if (spec) spec->directory = -1;
    return spec;
}

void FreeOneSheetSpec(LinkListHeader*, void* item, void*, uint32_t) {
    auto* spec = static_cast<SheetSpec*>(item);
    DestroySubSheetReferences(spec->subSheets);
    spec->subSheets = nullptr;
    DestroyAnnotationMap(spec->annotationMap);
    spec->annotationMap = nullptr;
    ReleaseSheetLocalAnnotation(spec->localAnnotation);
    spec->localAnnotation = nullptr;
}

void GetSheetSpecName(const ProjectRecord* project, const SheetSpec* spec, char* name, int32_t size) {
    if (size > int32_t(kFileSpecNameCapacity)) size = kFileSpecNameCapacity;
    ExtractStringSpec(spec ? spec->name : 0, project ? project->strings : nullptr, name, size);
}

bool SetSheetSpecName(ProjectRecord* project, SheetSpec* spec, const char* name) {
    if (!project || !spec || !name) return false;
    const StringSpec stored = *name ? OverlayStringBlock(project->strings, name, -1, nullptr) : 0;
    if (*name && stored == 0) return false;
    spec->name = stored;
    return true;
}

SheetSpec* AddSheetSpecToProject(ProjectRecord* project, const char* name) {
    if (SheetSpec* spec = GetNamedSheetSpec(project, name, nullptr)) return spec;
    if (!project || !project->sheetSpecs || !name) return nullptr;
    SheetSpec* spec = CreateSheetSpec();
    if (!spec) return nullptr;
    if (!SetSheetSpecName(project, spec, name)) {
        MemFreePtr(reinterpret_cast<Ptr>(spec));
        return nullptr;
    }
    LLPush(project->sheetSpecs, spec);
    return spec;
}

SheetSpec* GetNamedSheetSpec(const ProjectRecord* project, const char* name, int32_t* index) {
    if (index) *index = -1;
    if (!name) return nullptr;
    char stored[kStringSpecBufferSize];
    int32_t place = 0;
    for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next, ++place) {
        ExtractStringSpec(spec->name, project->strings, stored, sizeof stored);
        if (StrCINCmp(stored, name, kStringSpecBufferSize) == 0) {
            if (index) *index = place;
            return spec;
        }
    }
    return nullptr;
}

bool ResolveSheetSpecFile(ProjectRecord* project, SheetSpec* spec, FileSpec* file, bool* cancelled) {
    if (cancelled) *cancelled = false;
    if (!project || !spec) return false;
    FileSpec found;
    ClearFileSpec(&found);
    char name[kFileSpecNameCapacity];
    GetSheetSpecName(project, spec, name, sizeof name);
    SetFileSpecName(&found, name);
    SetFileSpecCode(found.type, "*");
    if (spec->directory >= 0) {
        // The folder found before; the name is matched there without regard to case too.
        DirectoryRef folder;
        if (!GetDirectoryListDirectory(project->directories, spec->directory, &folder) ||
            !FindFileInFolder(&folder, &found, true))
            spec->directory = -1;
    }
    if (spec->directory < 0) {
        bool stopped = false;
        const bool hit = project->paths &&
                         ResolveFilePath(project->paths, kPathSheetFiles, &found, true, &stopped);
        ClearPathSearchMessage();
        if (cancelled) *cancelled = stopped;
        if (!hit) {
            spec->found = 0;
            return false;
        }
        spec->directory = AddDirectoryToList(project->directories, &found.directory);
    }
    spec->found = IsSheetFile(&found) == status::kNoErr;
    if (file) *file = found;
    return true;
}

bool FindProjectSheetFile(ProjectRecord* project, const char* name, FileSpec* file) {
    if (!project || !name || !file) return false;
    ClearFileSpec(file);
    SetFileSpecName(file, name);
    SetFileSpecCode(file->type, "*");
    const bool hit = project->paths && ResolveFilePath(project->paths, kPathSheetFiles, file, true, nullptr);
    ClearPathSearchMessage();
    return hit && IsSheetFile(file) == status::kNoErr;
}

SheetSpec* GetSheetSpecFromSheet(SheetRecord* sheet, ProjectRecord* project) {
    if (!sheet || !project || IsDirectoryInvalid(&sheet->fileSpec.directory)) return nullptr;
    SheetSpec* spec = GetNamedSheetSpec(project, sheet->fileSpec.name, nullptr);
    if (!spec) return nullptr;
    if (spec->directory < 0) ResolveSheetSpecFile(project, spec, nullptr, nullptr);
    if (!spec->found || spec->directory < 0) return nullptr;
    DirectoryRef folder;
    if (!GetDirectoryListDirectory(project->directories, spec->directory, &folder)) {
        // The listed folder went away: the folder the file is found in now.
        FileSpec file;
        if (!ResolveSheetSpecFile(project, spec, &file, nullptr) || !spec->found) return nullptr;
        folder = file.directory;
    }
    return EqualDirectories(&folder, &sheet->fileSpec.directory) ? spec : nullptr;
}

SheetRecord* GetOpenSheetFromSheetSpec(ProjectRecord* project, SheetSpec* spec) {
    const SheetServices& services = GetSheetServices();
    if (!project || !spec || !services.getLoadedSheet) return nullptr;
    char name[kFileSpecNameCapacity];
    GetSheetSpecName(project, spec, name, sizeof name);
    SheetRecord* sheet = services.getLoadedSheet(name, project);
    FileSpec file;
    if (!sheet || !ResolveSheetSpecFile(project, spec, &file, nullptr)) return nullptr;
    return EqualFileSpecs(&sheet->fileSpec, &file) ? sheet : nullptr;
}

int32_t EnumSheetProjects(SheetRecord* sheet, SheetProjectProc proc, void* data) {
    if (!sheet || !proc) return 0;
    for (ProjectRecord* project = gProjectList; project; project = project->next) {
        SheetSpec* spec = GetSheetSpecFromSheet(sheet, project);
        if (!spec) continue;
        if (const int32_t result = proc(project, spec, sheet, data)) return result;
    }
    return 0;
}

SheetNode* GetSheetNodeUsingSheetSpec(ProjectRecord* project, const SheetSpec* spec) {
    if (!project || !spec) return nullptr;
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node))
        if (node->sheetSpec == spec) return node;
    return nullptr;
}

// ---- Sub-sheet references ----

LinkListHeader* CreateSubSheetReferences() {
    return LLCreate(nullptr, sizeof(SubSheetReference), 0);
}

void DestroySubSheetReferences(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

namespace {

// Adds the reference after `*tail` (at the end when there is none) and makes it the new tail, so
// that a sheet's references are read in one pass instead of walking the list for each.
SubSheetReference* AddReferenceAfter(ProjectRecord* project, SheetSpec* parent, const char* childName,
                                     const char* symbolName, uint32_t serial, uint16_t flags,
                                     SubSheetReference** tail) {
    if (!project) return nullptr;
    SheetSpec* child = AddSheetSpecToProject(project, childName);
    if (!child) return nullptr;
    LinkListHeader*& list = parent ? parent->subSheets : project->topLevelSheets;
    if (!list && !(list = CreateSubSheetReferences())) return nullptr;
    auto* entry = static_cast<SubSheetReference*>(LLAlloc(list));
    if (!entry) return nullptr;
    entry->child = child;
    entry->serial = serial;
    entry->flags = flags;
    if (symbolName && *symbolName) {
        entry->name = AddProjectName(project, symbolName);
        if (entry->name == 0) {
            MemFreePtr(reinterpret_cast<Ptr>(entry));
            return nullptr;
        }
    }
    if (tail && *tail) LLInsert(list, *tail, entry);
    else LLAppend(list, entry);
    if (tail) *tail = entry;
    return entry;
}

}  // namespace

SubSheetReference* AddSubSheetReference(ProjectRecord* project, SheetSpec* parent,
                                        const char* childName, const char* symbolName,
                                        uint32_t serial, uint16_t flags) {
    return AddReferenceAfter(project, parent, childName, symbolName, serial, flags, nullptr);
}

OSStatus RetrieveSubSheetReferences(ProjectRecord* project, SheetSpec* spec) {
    if (!project || !spec) return status::kParamErr;
    if (spec->flags & kSheetSpecReferencesRetrieved) return status::kNoErr;
    FileSpec file;
    if (ResolveSheetSpecFile(project, spec, &file, nullptr) && spec->found) {
        const SheetServices& services = GetSheetServices();
        char name[kFileSpecNameCapacity];
        GetSheetSpecName(project, spec, name, sizeof name);
        std::vector<PendingReference> found;
        SheetRecord* sheet = services.getLoadedSheet ? services.getLoadedSheet(name, project) : nullptr;
        if (sheet) {
            if (services.enumOpenSubSheets) services.enumOpenSubSheets(sheet, TakeOpenEntry, &found);
        } else {
            const OSStatus st = services.enumFileSubSheets
                                    ? services.enumFileSubSheets(&file, TakeFileEntry, &found)
                                    : kSheetServiceMissing;
            if (st != status::kNoErr) return st;
        }
        auto* tail = static_cast<SubSheetReference*>(LLLast(spec->subSheets));
        for (const PendingReference& reference : found) {
            if (!AddReferenceAfter(project, spec, reference.child.c_str(), reference.symbol.c_str(),
                                   reference.serial, reference.flags, &tail)) {
                DestroySubSheetReferences(spec->subSheets);
                spec->subSheets = nullptr;
                return status::kOutOfMemory;
            }
        }
    }
    spec->flags |= kSheetSpecReferencesRetrieved;
    return status::kNoErr;
}

void InvalidateSubSheetReferences(ProjectRecord* project) {
    for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) {
        spec->flags &= ~kSheetSpecReferencesRetrieved;
        DestroySubSheetReferences(spec->subSheets);
        spec->subSheets = nullptr;
    }
    MarkProjectTreeDirty(project);
}

// ---- The list as a whole ----

void MarkUsedSheetSpecs(ProjectRecord* project) {
    if (!project) return;
    if (!project->hierarchy) {
        for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) spec->flags |= kSheetSpecUsed;
        return;
    }
    for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) spec->flags &= ~kSheetSpecUsed;
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node))
        if (node->sheetSpec) node->sheetSpec->flags |= kSheetSpecUsed;
    // A tree that was not built whole leaves specs that references still point at.
    for (SubSheetReference* r = FirstReference(project->topLevelSheets); r; r = r->next)
        if (r->child) r->child->flags |= kSheetSpecUsed;
    for (bool grew = true; grew;) {
        grew = false;
        for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) {
            if (!(spec->flags & kSheetSpecUsed)) continue;
            for (SubSheetReference* r = FirstReference(spec->subSheets); r; r = r->next)
                if (r->child && !(r->child->flags & kSheetSpecUsed)) {
                    r->child->flags |= kSheetSpecUsed;
                    grew = true;
                }
        }
    }
}

void PurgeUnusedSheetSpecs(ProjectRecord* project) {
    if (!project) return;
    MarkUsedSheetSpecs(project);
    SheetSpec* previous = nullptr;
    for (SheetSpec* spec = FirstSpec(project); spec;) {
        SheetSpec* next = spec->next;
        if (spec->flags & kSheetSpecUsed) {
            previous = spec;
        } else {
            InvalidateInstanceSheets(project, spec);
            LLRemoveOrFree(project->sheetSpecs, spec, previous, true);
        }
        spec = next;
    }
}

void SetupSheetSpecRanks(ProjectRecord* project) {
    if (!project) return;
    MarkUsedSheetSpecs(project);
    const SheetServices& services = GetSheetServices();
    for (SheetSpec* spec = FirstSpec(project); spec; spec = spec->next) {
        spec->rank = kSheetRankUnknown;
        if (!(spec->flags & kSheetSpecUsed) || !spec->found) continue;
        if (SheetRecord* sheet = GetOpenSheetFromSheetSpec(project, spec)) {
            if (services.openSheetRank) spec->rank = services.openSheetRank(sheet);
            continue;
        }
        FileSpec file;
        uint16_t rank = kSheetRankUnknown;
        if (services.fileSheetRank && ResolveSheetSpecFile(project, spec, &file, nullptr) &&
            services.fileSheetRank(&file, &rank) == status::kNoErr)
            spec->rank = rank;
    }
}

void ClearSheetSpecListTempFlags(ProjectRecord* project) { ClearMarks(project); }

void SortProjectSheetSpecsByTree(ProjectRecord* project) {
    if (!project || !project->sheetSpecs) return;
    ClearMarks(project);
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node)) {
        SheetSpec* spec = node->sheetSpec;
        if (!spec || (spec->flags & kSheetSpecMark)) continue;
        if (LLRemoveOrFree(project->sheetSpecs, spec, nullptr, false)) LLPush(project->sheetSpecs, spec);
        spec->flags |= kSheetSpecMark;
    }
    LLReverse(project->sheetSpecs);
    ClearMarks(project);
}

// ---- Annotation and change times ----

bool IsSheetAnnotationDirty(const SheetSpec* spec, bool checkProjectMap, bool checkLocalMap,
                            bool pendingChangesOnly) {
    if (!spec) return false;
    if (checkProjectMap && spec->annotationMap) {
        if (AnnotationMapHasChanges(spec->annotationMap)) return true;
        if (!pendingChangesOnly && (spec->flags & kSheetSpecAnnotationDirty)) return true;
    }
    if (checkLocalMap && spec->localAnnotation && spec->localAnnotation->map) {
        if (AnnotationMapHasChanges(spec->localAnnotation->map)) return true;
        if (!pendingChangesOnly && spec->localAnnotation->changed) return true;
    }
    return false;
}

uint32_t GetProjectDirtyTime(ProjectRecord* project) {
    if (!project) return 0;
    ClearMarks(project);
    uint32_t latest = 0;
    for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
         node = NextSheetNode(project->hierarchy, node)) {
        SheetSpec* spec = node->sheetSpec;
        if (!spec || (spec->flags & kSheetSpecMark)) continue;
        spec->flags |= kSheetSpecMark;
        FileSpec file;
        VXFileTimes times;
        if (spec->changeTime == 0 && ResolveSheetSpecFile(project, spec, &file, nullptr) &&
            VXGetGlobalFileTimes(&file, &times) == status::kNoErr && times.modification != 0)
            spec->changeTime =
                uint32_t(times.modification + GlobalTimeDifferenceAt(times.modification));
        if (spec->changeTime > latest) latest = spec->changeTime;
    }
    ClearMarks(project);
    return latest;
}

void SetSheetSpecDirtyTime(SheetSpec* spec, const uint32_t* time) {
    if (spec) spec->changeTime = time ? *time : uint32_t(VXGetCurrentDateTime(1));
}

void SetSheetSpecsDirty(SheetRecord* sheet) { EnumSheetProjects(sheet, StampSpec, nullptr); }

}  // namespace plexa
