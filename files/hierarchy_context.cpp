// Sheet contexts (the project and instance an open sheet is shown in, and what its symbols show
// there) and the project's top-level sheets (see hierarchy.h).
#include <strings.h>

#include <cstring>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheetload.h"
#include "files/sheetspec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/components.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa {

namespace {

const HierarchyHooks& Hooks() { return GetHierarchyHooks(); }

void Report(OSStatus st) {
    if (st && st != status::kUserCancelled && Hooks().report) Hooks().report(st, "");
}

// The designator and slot a component symbol shows in the sheet's context; a slot its component
// does not have any more goes, with the symbol's annotation in the context.
int32_t ComponentContext(SheetRecord* sheet, SymbolRecord* symbol, char* designator) {
    int32_t slot = GetSymbolAnnotation(sheet, symbol->serial, designator);
    if (slot >= 0 && !IsLegalSymbolSlot(symbol, slot)) {
        SetSymbolAnnotation(sheet, symbol->serial, nullptr, -1);
        designator[0] = 0;
        slot = -1;
    }
    if (slot < 0) slot = GetSymbolSlotIndex(sheet, symbol);
    const bool suffixes = AnnotSuffixEnabled(sheet->project);
    if (!designator[0])
        GetDefaultCompRefDes(symbol->component, symbol->kind.comp.symbol, sheet->stringBlock, suffixes, designator);
    else if (suffixes)
        AppendRefDesSuffix(symbol->component, slot, sheet->stringBlock, designator);
    return slot;
}

void SheetSymbolContext(SheetRecord* sheet, SymbolRecord* symbol, char* designator) {
    GetSymbolAnnotation(sheet, symbol->serial, designator);
    if (!designator[0] && GetSymbolHooks().getDefaultSheetSymbolRefDes)
        GetSymbolHooks().getDefaultSheetSymbolRefDes(symbol, sheet->stringBlock, designator);
}

void ClearContext(SheetRecord* sheet) {
    sheet->project = nullptr;
    sheet->hierarchyContext = nullptr;
}

// The visible sheet windows' sheets, front to back.
std::vector<SheetRecord*> VisibleSheets() {
    const auto openSheets = GetSheetLoadHooks().openSheets;
    return openSheets ? openSheets(true) : std::vector<SheetRecord*>{};
}

SubSheetReference* TopReferenceOf(ProjectRecord* project, const SheetNode* node) {
    if (!project || !project->hierarchy || !node || node->parent) return nullptr;
    auto* reference = static_cast<SubSheetReference*>(LLFirst(project->topLevelSheets));
    for (SheetNode* n = project->hierarchy->first; n && reference; n = n->next, reference = reference->next)
        if (n == node) return reference;
    return nullptr;
}

}  // namespace

void SetSymbolCtxText(SheetRecord* sheet, SymbolRecord* symbol, int32_t slot, const char* designator,
                      Rect* changed) {
    if (!sheet || !symbol) return;
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link) {
        if (text->owner != TextOwnerSerial(symbol->serial)) continue;
        if ((text->kind & kTextKindPinAttribute) == kTextKindPinNumber) {
            if (!symbol->component) continue;
            char number[kCompTextSize] = "";
            uint32_t id = 0;
            GetCompPinInfo(symbol->component, sheet->stringBlock, pinSet, uint16_t(slot),
                           text->kind & kTextKindNodeMask, number, &id);
            ChangeSheetText(sheet, text, number, changed);
        } else if ((text->kind == kTextKindCompDesignator || text->kind == kTextKindDesignator) && designator &&
                   designator[0]) {
            ChangeSheetText(sheet, text, designator, changed);
        }
    }
}

OSStatus SetSheetContext(SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance,
                         bool updateChildren) {
    if (!sheet) return status::kParamErr;
    const bool changed = sheet->project != project || sheet->hierarchyContext != instance;
    sheet->project = project;
    sheet->hierarchyContext = instance;
    if (project && instance) {
        SheetSpec* spec = ResolveInstanceSheet(project, instance);
        if (!spec) spec = GetSheetSpecFromSheet(sheet, project);
        if (spec) sheet->sheetSpec = spec;
        if (OSStatus st = spec ? LoadAnnotationTable(project, spec, 0) : status::kNoErr) {
            ClearContext(sheet);
            Report(st);
            return st;
        }
    }
    Rect area;
    VXSetEmptyRect(&area);
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next) {
        char designator[kAnnotationTextSize] = "";
        int32_t slot = 0;
        if (symbol->component)
            slot = ComponentContext(sheet, symbol, designator);
        else if (symbol->flags & kSymbolFlagSheet)
            SheetSymbolContext(sheet, symbol, designator);
        else
            continue;
        SetSymbolCtxText(sheet, symbol, slot, designator, &area);
    }
    OSStatus result = status::kNoErr;
    if (changed && updateChildren && Hooks().updateChildSymbols)
        result = Hooks().updateChildSymbols(sheet, sheet->window != nullptr, GetFileSymbolWarningsSuppressed(project));
    if (sheet->window && Hooks().refreshSheetWindow) Hooks().refreshSheetWindow(sheet, &area);
    return result;
}

ProjectRecord* FindSheetContext(SheetRecord* sheet, SheetNode** node) {
    if (node) *node = nullptr;
    if (!sheet) return nullptr;
    for (ProjectRecord* project = gProjectList; project; project = project->next) {
        SheetSpec* spec = GetSheetSpecFromSheet(sheet, project);
        SheetNode* found = spec ? GetSheetNodeUsingSheetSpec(project, spec) : nullptr;
        if (!found) continue;
        if (node) *node = found;
        return project;
    }
    return nullptr;
}

void ValidateSheetContexts(ProjectRecord* project) {
    if (!project) return;
    for (SheetRecord* sheet : VisibleSheets()) {
        if (sheet->project != project) continue;
        bool keep = sheet->hierarchyContext != nullptr;
        if (keep) {
            SheetNode* node = GetSheetNodeWithInstance(project, sheet->hierarchyContext);
            FileSpec file;
            keep = node && !(node->flags & kSheetNodeCircular) && node->sheetSpec &&
                   ResolveSheetSpecFile(project, node->sheetSpec, &file, nullptr);
        }
        if (!keep) Report(SetSheetContext(sheet, nullptr, nullptr, false));
    }
}

// ---- Top-level sheets ----

bool AddTopLevelSheetToProject(ProjectRecord* project, const FileSpec* file) {
    if (!project || !file || !file->name[0]) return false;
    SheetSpec* spec = GetNamedSheetSpec(project, file->name, nullptr);
    if (spec && IsTopLevelSheet(project, spec)) return false;
    if (!spec) {
        if (AddPathSpecToList(project->paths, &file->directory, kPathRootDefault, kPathSheetFiles, true))
            Report(WriteProjectPathList(project, false));
        if (!(spec = AddSheetSpecToProject(project, file->name))) return false;
    }
    SubSheetReference* reference = AddSubSheetReference(project, nullptr, file->name, file->name, 0, 0);
    if (!reference) return false;
    if (!project->hierarchy && !(project->hierarchy = CreateSheetTree())) return false;
    Report(AddSheetReferenceToTree(project, reference, nullptr));
    Report(MarkSpiceProjectDirty(project, true));
    SheetRecord* sheet = GetLoadedSheet(file, nullptr, false);
    if (sheet && !sheet->project) {
        if (SheetNode* node = GetSheetNodeUsingSheetSpec(project, reference->child))
            Report(SetSheetContext(sheet, project, RetrieveSheetInstance(project, node, true), false));
    }
    if (Hooks().refreshSheetTexts) Hooks().refreshSheetTexts(project);
    return true;
}

void AddNewTopLevelSheet(ProjectRecord* project) {
    if (!project || !Hooks().chooseSheetFiles) return;
    constexpr int32_t kMaxChosen = 64;
    std::vector<FileSpec> files(kMaxChosen);
    const int32_t count = Hooks().chooseSheetFiles("Add Project Sheets", "Add", files.data(), kMaxChosen);
    if (count < 0) {
        Report(count);
        return;
    }
    bool added = false;
    for (int32_t i = 0; i < count && i < kMaxChosen; ++i) added |= AddTopLevelSheetToProject(project, &files[size_t(i)]);
    if (!added) return;
    UpdateProjectHierarchy(project, kHierarchyRebuild);
    Report(WriteProjectTopSheetRefs(project, true));
}

bool ChangeTopLevelSheetName(ProjectRecord* project, SheetNode* node, const char* newName) {
    SubSheetReference* reference = TopReferenceOf(project, node);
    if (!reference || !newName || !newName[0]) return false;
    SheetSpec* from = node->sheetSpec;
    char oldName[160] = "";
    GetSheetSpecName(project, from, oldName, sizeof oldName);
    if (strcasecmp(oldName, newName) == 0) return true;
    SheetSpec* to = GetNamedSheetSpec(project, newName, nullptr);
    if (to && IsTopLevelSheet(project, to)) return false;
    if (!to && !(to = AddSheetSpecToProject(project, newName))) return false;
    SheetInstance* instance = RetrieveSheetInstance(project, node, false);
    reference->child = to;
    reference->name = AddProjectName(project, newName);
    node->sheetSpec = to;
    if (instance) {
        OSStatus st = TransferInstanceAnnotation(project, int32_t(instance->id), from, to);
        if (from) from->flags &= uint16_t(~kSheetSpecAnnotationDirty);
        if (!st && to->annotationMap) {
            ApplyAnnotationMapChanges(to->annotationMap, to);
            st = WriteProjectSheetAnnotationMap(project, to, true);
        }
        Report(st);
        instance->sheetSpec = to;
        instance->sheetName = reference->name;
        project->dirtyFlags |= kProjectInstancesChanged;
    }
    // Any other top-level instance of the new name goes.
    for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i;) {
        SheetInstance* next = i->next;
        if (i != instance && i->parentId == 0 && ResolveInstanceSheet(project, i) == to) DestroySheetInstance(project, i);
        i = next;
    }
    UpdateProjectHierarchy(project, kHierarchySettingsChanged);
    Report(WriteProjectTopSheetRefs(project, true));
    return true;
}

void RemoveTopLevelSheet(ProjectRecord* project, SheetNode* node) {
    SubSheetReference* reference = TopReferenceOf(project, node);
    if (!reference) return;
    LLRemoveOrFree(project->topLevelSheets, reference, nullptr, true);
    RemoveSheetNode(project->hierarchy, node);
}

void RemoveSelectedProjectSheets(ProjectRecord* project, bool quiet) {
    if (!project || !project->hierarchy) return;
    std::vector<SheetNode*> selected;
    bool missing = false;
    for (SheetNode* n = project->hierarchy->first; n; n = n->next) {
        if (!n->selected) continue;
        selected.push_back(n);
        FileSpec file;
        if (!n->sheetSpec || !ResolveSheetSpecFile(project, n->sheetSpec, &file, nullptr)) missing = true;
    }
    if (selected.empty()) return;
    const auto ask = [](const char* message) {
        return !Hooks().ask || Hooks().ask(message, "Cancel", "Remove");
    };
    if (missing) {
        if (!ask("If you are removing a sheet because its name has changed, you should Cancel and Rename it instead."))
            return;
    } else if (!quiet && !ask("Are you sure you want to remove the selected sheet(s) from the project?")) {
        return;
    }
    for (SheetNode* node : selected) RemoveTopLevelSheet(project, node);
    ValidateSheetContexts(project);
    Report(WriteProjectTopSheetRefs(project, true));
    if (Hooks().refreshSheetTexts) Hooks().refreshSheetTexts(project);
    Report(MarkSpiceProjectDirty(project, true));
}

}  // namespace plexa
