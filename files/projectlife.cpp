// Opening, creating and closing projects; the settings dialog's record.
#include "files/projectlife.h"

#include <utility>

#include "files/hierarchy.h"
#include "files/sheetload.h"
#include "files/sheetspec.h"
#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "graphics/printrec.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {
namespace {

void UnlinkProject(ProjectRecord* project) {
    for (ProjectRecord** at = &gProjectList; *at; at = &(*at)->next)
        if (*at == project) {
            *at = project->next;
            break;
        }
}

ProjectOpenHooks gOpenHooks;

}  // namespace

void SetProjectOpenHooks(const ProjectOpenHooks& hooks) { gOpenHooks = hooks; }
const ProjectOpenHooks& GetProjectOpenHooks() { return gOpenHooks; }

bool CopyPathSpecEntries(PathSpecList* to, const PathSpecList* list, StringBlock from, StringBlock into) {
    LLRemoveOrFreeAll(to, true);
    for (auto* e = static_cast<PathSpec*>(LLFirst(list)); e; e = e->next) {
        PathSpec* copy = CreatePathSpec(e->flags);
        if (!copy) return false;
        copy->rootKind = e->rootKind;
        copy->path = TransferStringSpec(e->path, from, into, false);
        LLAppend(to, copy);
    }
    return true;
}

OSStatus OpenProjectFile(const FileSpec* spec, DynamicFileRecord* file, bool readOnly) {
    FourCharCode type = 0;
    if (OSStatus st = IsDynamicFileEx(spec, &type, 0, nullptr, 0)) return st;
    if (type != kProjectFileType) return status::kUnknownFileKind;
    return OpenDynamicFile(spec, readOnly, file);
}

OSStatus OpenProjectAt(const FileSpec* spec, ProjectRecord** project, ProjectWindowState* windowState,
                       bool readOnly) {
    *project = GetOpenProject(spec);
    if (*project) {
        if (gOpenHooks.bringForward) gOpenHooks.bringForward(*project);
        return status::kNoErr;
    }
    DynamicFileRecord file{};
    if (OSStatus st = OpenProjectFile(spec, &file, readOnly)) return st;
    ProjectRecord* made = CreateProjectRecord(&file);
    if (!made) {
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // the first failure is the one reported
        return status::kOutOfMemory;
    }
    made->next = gProjectList;
    gProjectList = made;
    ProjectWindowState window;
    OSStatus st = LoadProjectTopSheetRefs(made);
    if (!st) st = LoadProjectInstanceList(made);
    if (!st) st = LoadProjectPathList(made);
    if (!st) st = LoadProjectSettings(made);
    if (!st) st = LoadProjectWindowState(made, &window);
    if (!st && GetProjectServices().createWindow) {
        made->window = GetProjectServices().createWindow(made);
        if (!made->window) st = status::kOutOfMemory;
    }
    if (!st && windowState) *windowState = window;
    if (!st && made->window && gOpenHooks.placeWindow) gOpenHooks.placeWindow(made, &window);
    // The hierarchy, with the states the instances kept for the tree's nodes.
    if (!st) {
        if (gOpenHooks.treeDrawing) gOpenHooks.treeDrawing(made, false);
        st = BuildProjectHierarchy(made, 0);
        if (!st && gOpenHooks.restoreTreeStates) gOpenHooks.restoreTreeStates(made);
        if (gOpenHooks.treeDrawing) gOpenHooks.treeDrawing(made, true);
    }
    if (st) {
        (void)CloseProject(made, kCloseProjectDiscard);  // the first failure is the one reported
        return st;
    }
    *project = made;
    return status::kNoErr;
}

OSStatus CreateProjectAt(const FileSpec* spec, bool (*edit)(ProjectRecord* project), ProjectRecord** project) {
    *project = nullptr;
    FileSpec target = *spec;
    if (OSStatus st = CreateDynamicFile(&target, kProjectCreator, kProjectFileTypeString, kProjectFileTypeString, 0))
        return st;
    DynamicFileRecord file{};
    OSStatus st = OpenDynamicFile(&target, false, &file);
    ProjectRecord* made = st ? nullptr : AllocateNewProject(&file);
    if (!st && !made) {
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // the first failure is the one reported
        st = status::kOutOfMemory;
    }
    if (!st) {
        int16_t count = int16_t(made->settings.attributeCount);
        SetAttributeValue(made->strings, made->attributes, 0, &count, "ProjectTitle", "{ProjectFile}", nullptr);
        made->settings.attributeCount = uint16_t(count);
        if (edit && !edit(made)) st = status::kUserCancelled;
    }
    if (!st) st = WriteProjectSettings(made, true);
    if (!st) st = UpdateProjectFile(made, false);
    if (st) {
        if (made) (void)CloseProject(made, kCloseProjectDiscard);  // the first failure is the one reported
        (void)VXDeleteFile(&target);  // best effort: the new file is not kept
        return st;
    }
    *project = made;
    return status::kNoErr;
}

OSStatus CloseProject(ProjectRecord* project, int32_t mode, AskSaveProjectProc ask) {
    if (!project) return status::kParamErr;
    if (project->file.stream) {
        bool save = mode != kCloseProjectDiscard;
        if (save && mode == kCloseProjectAsk && ask && IsProjectAnnotationDirty(project, true)) {
            const int32_t answer = ask(project);
            if (answer == status::kUserCancelled) return status::kUserCancelled;
            save = answer != 0;
        }
        if (mode != kCloseProjectDiscard) {
            UpdateProjectHierarchy(project, 2);
            OSStatus st = UpdateProjectFile(project, save);
            if (!st && save) st = UpdateProjectSheetLocalAnnotation(project);
            if (st) return st;
        }
        const OSStatus st = CloseProjectFile(project);
        if (st && mode != kCloseProjectDiscard) return st;
    }
    // Sheets still shown in windows outlive their project: they lose its context and its sheet
    // spec here, so that none is left pointing into the freed record.
    if (const auto openSheets = GetSheetLoadHooks().openSheets)
        for (bool visible : {true, false})
            for (SheetRecord* sheet : openSheets(visible)) {
                if (sheet->project != project) continue;
                (void)SetSheetContext(sheet, nullptr, nullptr, false);  // clearing loads nothing and cannot fail
                sheet->sheetSpec = nullptr;
            }
    UnlinkProject(project);
    DestroyProjectRecord(project);
    return status::kNoErr;
}

// ---- Settings dialog record ----

bool BeginProjectSettings(ProjectRecord* project, ProjectSettingsDialog* dialog) {
    *dialog = ProjectSettingsDialog{};
    dialog->project = project;
    dialog->settings = project->settings;
    dialog->attributeCount = project->settings.attributeCount;
    dialog->attributes = project->attributes ? CloneHandle(nullptr, project->attributes) : nullptr;
    dialog->paths = DuplicatePathSpecList(project->paths, true);
    dialog->pageSetupWord = project->pageSetupWord;
    dialog->autoAnnotate = (project->settings.flags & kProjectAutoAnnotate) != 0;
    dialog->savedDirtyFlags = project->dirtyFlags;
    if ((project->attributes && !dialog->attributes) || !dialog->paths) {
        EndProjectSettings(dialog);
        return false;
    }
    return true;
}

OSStatus ImportProjectSettings(ProjectSettingsDialog* dialog, const FileSpec* from) {
    ProjectRecord* project = dialog->project;
    if (EqualFileSpecs(from, &project->file.spec)) return status::kParamErr;
    FourCharCode type = 0;
    if (OSStatus st = IsDynamicFileEx(from, &type, 0, nullptr, 0)) return st;
    if (type != kProjectFileType) return status::kUnknownFileKind;
    DynamicFileRecord file{};
    if (OSStatus st = OpenDynamicFile(from, true, &file)) return st;
    ProjectRecord* other = CreateProjectRecord(&file);
    OSStatus st = other ? LoadProjectSettings(other) : status::kOutOfMemory;
    if (!st) st = LoadProjectPathList(other);
    if (!st) {
        const uint16_t count = other->attributes ? other->settings.attributeCount : 0;
        Handle attributes = other->attributes ? std::exchange(other->attributes, nullptr) : nullptr;
        if (attributes) st = ChangeAttributesStringBlock(attributes, 0, count, other->strings, project->strings);
        if (!st) {
            if (dialog->attributes) MemFree(dialog->attributes);
            dialog->attributes = attributes;
            dialog->attributeCount = count;
            dialog->attributesChanged = true;
            const uint16_t ownCount = dialog->settings.attributeCount;
            dialog->settings = other->settings;
            dialog->settings.attributeCount = ownCount;
            dialog->autoAnnotate = (other->settings.flags & kProjectAutoAnnotate) != 0;
            // The page setup waits in the dialog until OK.
            if (other->printRecord) {
                VXDestroyPrintRecord(dialog->printRecord);
                dialog->printRecord = std::exchange(other->printRecord, nullptr);
                dialog->pageSetupWord = other->pageSetupWord;
                dialog->printImported = true;
            }
            if (!CopyPathSpecEntries(dialog->paths, other->paths, other->strings, project->strings))
                st = status::kOutOfMemory;
            dialog->pathsChanged = true;
        } else if (attributes) {
            MemFree(attributes);
        }
    }
    if (other) {
        other->file = DynamicFileRecord{};
        DestroyProjectRecord(other);
    }
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    return st;
}

OSStatus CommitProjectSettings(ProjectSettingsDialog* dialog) {
    ProjectRecord* project = dialog->project;
    if (dialog->settings.annotationFlags != project->settings.annotationFlags)
        dialog->annotationStorageChanged = true;
    project->settings = dialog->settings;
    const bool autoOn = dialog->autoAnnotate && (dialog->settings.annotationFlags & kAnnotationKeptInSheets);
    project->settings.flags = uint16_t(autoOn ? project->settings.flags | kProjectAutoAnnotate
                                              : project->settings.flags & ~kProjectAutoAnnotate);
    if (dialog->attributesChanged) {
        if (project->attributes) MemFree(project->attributes);
        project->attributes = std::exchange(dialog->attributes, nullptr);
        project->settings.attributeCount = dialog->attributeCount;
    } else {
        project->settings.attributeCount = dialog->attributeCount;
    }
    if (dialog->printImported) {
        VXDestroyPrintRecord(project->printRecord);
        project->printRecord = std::exchange(dialog->printRecord, nullptr);
        project->pageSetupWord = dialog->pageSetupWord;
    }
    dialog->savedDirtyFlags = project->dirtyFlags;
    OSStatus st = status::kNoErr;
    if (dialog->pathsChanged) {
        if (!CopyPathSpecEntries(project->paths, dialog->paths, project->strings, project->strings))
            return status::kOutOfMemory;
        project->dirtyFlags |= kProjectPathsChanged;
        st = WriteProjectPathList(project, true);
        ResetProjectPaths(project);
    }
    if (dialog->pathsChanged || dialog->annotationStorageChanged) MarkProjectTreeDirty(project);
    dialog->savedDirtyFlags = project->dirtyFlags;
    return st;
}

bool CanAutoAnnotateSymbol(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!symbol || (symbol->flags & kSymbolFlagPort)) return false;
    if (!symbol->component && !(symbol->flags & kSymbolFlagSheet)) return true;
    if (ProjectRecord* project = sheet ? sheet->project : nullptr) {
        const ProjectSettings& s = project->settings;
        if (!(s.annotationFlags & kAnnotationKeptInSheets) || !(s.flags & kProjectAutoAnnotate)) return false;
        // Designators without a slot suffix: every symbol gets its own. Otherwise a symbol gets
        // one as its component's section does, below.
        if (s.annotationFlags & kAnnotationNoSlotSuffix) return true;
    } else if (!sheet || !(sheet->stored.flags & kSheetFlagAutoAnnotate)) {
        return false;
    }
    // A symbol that several sections draw waits for its slot to be chosen.
    return !symbol->component || CountCompSectionsUsingSymbol(symbol->component, symbol->kind.comp.symbol) == 1;
}

void EndProjectSettings(ProjectSettingsDialog* dialog) {
    if (dialog->project) dialog->project->dirtyFlags = dialog->savedDirtyFlags;
    if (dialog->attributes) MemFree(dialog->attributes);
    if (dialog->paths) DestroyPathSpecList(dialog->paths);
    VXDestroyPrintRecord(dialog->printRecord);
    *dialog = ProjectSettingsDialog{};
}

}  // namespace plexa
