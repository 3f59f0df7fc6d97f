// What the sheet model asks of projects: the signal scope settings, the slot-suffix option, the
// annotation of a sheet's context, and the built-in fields of projects and hierarchy tree nodes.
#include <cstdio>
#include <cstring>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "model/fieldexpand.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

// "InstancePath" in the form the project asks for: the instance name after the sheet name.
constexpr uint32_t kInstancePathForm = 1;
constexpr uint32_t kInstancePathFormFollowing = 5;

void SignalScope(ProjectRecord* project, int32_t* portLevel, bool* breakOutsGlobal) {
    *portLevel = project->settings.signalScope == 2 ? 2 : 1;
    *breakOutsGlobal = project->settings.globalFlagged != 0;
}

void LoadContextAnnotation(SheetRecord* sheet) {
    ProjectRecord* project = sheet->project;
    SheetSpec* spec = project && sheet->hierarchyContext ? ResolveInstanceSheet(project, sheet->hierarchyContext)
                                                         : nullptr;
    if (spec) (void)LoadAnnotationTable(project, spec, 0);  // without the table the fields show no annotation
}

void ProjectField(ProjectRecord* project, uint32_t code, char* out, int32_t size) {
    out[0] = 0;
    const auto n = size_t(size);
    switch (code) {
        case FourCC("PRNM"): std::snprintf(out, n, "%s", project->file.spec.name); break;
        case FourCC("PDIR"):
            if (IsDirectoryInvalid(&project->file.spec.directory) ||
                PathNameFromDirectory(&project->file.spec.directory, out, n, nullptr) != 0)
                out[0] = 0;
            break;
        case FourCC("PDLM"): {
            char separator[sizeof project->settings.separator + 1] = {};
            std::memcpy(separator, project->settings.separator, sizeof project->settings.separator);
            std::snprintf(out, n, "%s", separator);
            break;
        }
        case FourCC("PRID"): std::snprintf(out, n, "%d", int32_t(project->projectId)); break;
        case FourCC("TOPC"):
            std::snprintf(out, n, "%d", project->topLevelSheets ? int32_t(project->topLevelSheets->count) : 0);
            break;
        default: break;
    }
}

bool ProjectAttributes(ProjectRecord* project, Handle* run, StringBlock* block, int16_t* count) {
    if (!project->attributes) return false;
    *run = project->attributes;
    *block = project->strings;
    *count = int16_t(project->settings.attributeCount);
    return true;
}

uint64_t SheetNodeWithInstance(ProjectRecord* project, SheetInstance* instance) {
    return reinterpret_cast<uintptr_t>(GetSheetNodeWithInstance(project, instance));
}

void TreeNodeField(ProjectRecord* project, uint64_t nodeId, uint64_t rootId, uint32_t code, char* out,
                   int32_t size) {
    out[0] = 0;
    auto* node = reinterpret_cast<SheetNode*>(uintptr_t(nodeId));
    auto* root = reinterpret_cast<SheetNode*>(uintptr_t(rootId));
    if (!node) return;
    const auto n = size_t(size);
    switch (code) {
        case FourCC("PATH"): {
            const uint32_t form =
                project->settings.instanceNamePlace == 1 ? kInstancePathFormFollowing : kInstancePathForm;
            BuildSheetInstancePath(project, node, root, nullptr, form, out, size < 256 ? size : 256);
            break;
        }
        case FourCC("DEEP"): {
            int32_t depth = 0;
            for (SheetNode* n = node; n->parent && n != root; n = n->parent) ++depth;
            std::snprintf(out, n, "%d", depth);
            break;
        }
        case FourCC("ORDR"): {
            const int32_t order = GetTopLevelSheetOrder(project, node->sheetSpec);
            if (order > 0) std::snprintf(out, n, "%d", order);
            break;
        }
        default: break;
    }
}

}  // namespace

void AddProjectModelHooks(ModelHooks& model, SymbolHooks& symbols, DataContextHooks& fields) {
    model.projectSignalScope = SignalScope;
    symbols.annotSuffixEnabled = [](ProjectRecord* project) { return AnnotSuffixEnabled(project); };
    symbols.loadContextAnnotation = LoadContextAnnotation;
    symbols.setSymbolCtxText = SetSymbolCtxText;
    fields.projectField = ProjectField;
    fields.projectAttributes = ProjectAttributes;
    fields.sheetNodeWithInstance = SheetNodeWithInstance;
    fields.treeNodeField = TreeNodeField;
}

}  // namespace plexa
