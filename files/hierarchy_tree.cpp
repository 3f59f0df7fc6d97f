// Building, naming, numbering and checking the project's hierarchy tree, and sheet contexts (see
// hierarchy.h).
#include <algorithm>
#include <cstdio>
#include <string>
#include <set>
#include <utility>
#include <vector>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/sheet.h"

namespace plexa {

namespace {

HierarchyHooks gHooks;

struct LogText {
    OSStatus code;
    const char* text;
    const char* detail;
};
constexpr LogText kLogTexts[] = {
    {kHierPortNotReferenced, "Port is not referenced from parent sheet.", "Port \"%s\" in Sheet \"%s\""},
    {kHierPortMissing, "Port missing from child sheet.", "Port \"%s\" on Symbol \"%s\" in Sheet \"%s\""},
    {kHierChildSheetMissing, "Symbol's child sheet was not found.", "\"%s\" referenced from \"%s\" in Sheet \"%s\""},
    {kHierSymbolOutOfDate, "Symbol is out-of-date with respect to it's definition in the child sheet.",
     "\"%s\" in Sheet \"%s\""},
    {kHierSymbolDefinitionMissing, "Symbol's definition was not found in it's referenced child sheet.",
     "\"%s\" referenced from \"%s\" in Sheet \"%s\""},
    {kHierCircularReference, "Circular reference in the project hierarchy", "\"%s\" refernced by \"%s\""},
    {kHierTopLevelSheetMissing, "Top-Level sheet was not found.", "Sheet Name: %s"},
};

SubSheetReference* FirstRef(LinkListHeader* list) { return static_cast<SubSheetReference*>(LLFirst(list)); }

std::string SpecName(ProjectRecord* project, const SheetSpec* spec) {
    char name[160] = "";
    if (spec) GetSheetSpecName(project, spec, name, sizeof name);
    return name;
}

void Relink(SheetNode* parent, std::vector<SheetNode*>& children) {
    SheetNode* previous = nullptr;
    for (SheetNode* child : children) {
        if (previous) previous->next = child;
        else parent->firstChild = child;
        previous = child;
    }
    if (previous) previous->next = nullptr;
    parent->lastChild = previous;
}

}  // namespace

void SetHierarchyHooks(const HierarchyHooks& hooks) { gHooks = hooks; }

void LogHierarchyWarning(ProjectRecord* project, OSStatus code, SheetSpec* sheet, SheetInstance* instance,
                         uint32_t serial, const char* arg1, const char* arg2, const char* arg3) {
    const LogText* text = std::find_if(std::begin(kLogTexts), std::end(kLogTexts),
                                       [code](const LogText& t) { return t.code == code; });
    if (text == std::end(kLogTexts) || !gHooks.log) return;
    char detail[1024];
    std::snprintf(detail, sizeof detail, text->detail, arg1, arg2, arg3);
    gHooks.log(project, HierarchyLogEntry{code, text->text, detail, sheet, instance, serial});
}

void GetSheetNodeName(ProjectRecord* project, const SheetNode* node, char* out, int32_t size) {
    if (!out || size <= 0) return;
    out[0] = 0;
    if (!node) return;
    if (node->displayName) ExtractStringSpec(node->displayName, project->strings, out, size);
    else if (node->sheetSpec) GetSheetSpecName(project, node->sheetSpec, out, std::min(size, 160));
}

OSStatus AddSheetReferenceToTree(ProjectRecord* project, SubSheetReference* reference, SheetNode* parent) {
    SheetNode* node = AddSheetNode(project->hierarchy, parent, reference->child, reference->serial,
                                   uint16_t(reference->flags & kSheetNodeReferenceBits));
    if (!node) return status::kOutOfMemory;
    for (SheetNode* above = parent; above; above = above->parent) {
        if (above->sheetSpec == reference->child) {
            node->flags |= kSheetNodeCircular;
            return status::kNoErr;
        }
    }
    SheetSpec* spec = reference->child;
    if (OSStatus st = RetrieveSubSheetReferences(project, spec)) {
        char message[256];
        std::snprintf(message, sizeof message,
                      "An error occured while attempting retrieve information for sheet \"%s\"",
                      SpecName(project, spec).c_str());
        if (gHooks.report) gHooks.report(st, message);
        return st;
    }
    ++spec->nodeCount;
    for (SubSheetReference* child = FirstRef(spec->subSheets); child; child = child->next)
        if (OSStatus st = AddSheetReferenceToTree(project, child, node)) return st;
    return status::kNoErr;
}

OSStatus BuildProjectHierarchy(ProjectRecord* project, uint32_t flags) {
    if (!project) return status::kParamErr;
    if (!project->hierarchy && !(project->hierarchy = CreateSheetTree())) return status::kOutOfMemory;
    EmptySheetTree(project->hierarchy);
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
        spec->nodeCount = 0;
    InvalidateSubSheetReferences(project);
    OSStatus st = status::kNoErr;
    for (SubSheetReference* top = FirstRef(project->topLevelSheets); top && !st; top = top->next)
        st = AddSheetReferenceToTree(project, top, nullptr);
    if (!(flags & kBuildKeepNames)) UpdateTreeInstanceNames(project, flags);
    project->treeDirty = 0;
    return st;
}

bool UpdateProjectHierarchy(ProjectRecord* project, uint32_t reasons) {
    if (!project || (!(reasons & 1) && !project->treeDirty)) return false;
    BuildProjectHierarchy(project, reasons & ~uint32_t(4));
    return true;
}

void UpdateTreeInstanceNames(ProjectRecord* project, uint32_t flags) {
    (void)flags;
    if (!project || !project->hierarchy) return;
    std::vector<std::pair<std::string, SheetNode*>> named;
    std::vector<SheetNode*> ordered;
    for (SheetNode* parent = NextSheetNode(project->hierarchy, nullptr); parent;
         parent = NextSheetNode(project->hierarchy, parent)) {
        if (!parent->firstChild) continue;
        named.clear();
        for (SheetNode* child = parent->firstChild; child; child = child->next) {
            child->displayName = 0;
            if (child->flags & kSubSheetComponentOrSheetSymbol) {
                for (SubSheetReference* r = FirstRef(parent->sheetSpec ? parent->sheetSpec->subSheets : nullptr); r;
                     r = r->next) {
                    if (r->serial != child->serial) continue;
                    if (StringSpecLength(r->name)) child->displayName = r->name;
                    break;
                }
            }
            char name[kStringSpecBufferSize];
            GetSheetNodeName(project, child, name, sizeof name);
            named.emplace_back(name, child);
        }
        std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
            return StrCmpAlphaNumeric(a.first.c_str(), b.first.c_str(), false) < 0;
        });
        ordered.clear();
        for (auto& entry : named) ordered.push_back(entry.second);
        Relink(parent, ordered);
    }
}

SheetNode* GetSheetNodeChildFromParentSerial(const SheetNode* node, uint32_t serial) {
    for (SheetNode* child = node ? node->firstChild : nullptr; child; child = child->next)
        if (child->serial == serial) return child;
    return nullptr;
}

bool IsDescendantNode(const SheetNode* node, const SheetNode* ancestor) {
    if (!node || !ancestor) return false;
    for (const SheetNode* n = node->parent; n; n = n->parent)
        if (n == ancestor) return true;
    return false;
}

bool IsAllowedSheet(ProjectRecord* project, const SheetSpec* spec, const SheetNode* node) {
    if (!project || !project->hierarchy) return false;
    const SheetNode* start = node ? node : project->hierarchy->first;
    const SheetNode* n = start;
    while (n) {
        if (n->sheetSpec == spec) return true;
        const SheetNode* next = (n->firstChild && !(n->flags & kSheetNodeNoDescent)) ? n->firstChild : nullptr;
        for (const SheetNode* up = n; !next && up; up = up->parent) {
            if (node && up == node) return false;  // the whole subtree was searched
            next = up->next;
        }
        n = next;
    }
    return false;
}

int32_t GetTopLevelSheetOrder(ProjectRecord* project, const SheetSpec* spec) {
    if (!project) return 0;
    int32_t order = 1;
    for (SubSheetReference* r = FirstRef(project->topLevelSheets); r; r = r->next, ++order)
        if (r->child == spec) return order;
    return 0;
}

bool IsTopLevelSheet(ProjectRecord* project, const SheetSpec* spec) {
    return GetTopLevelSheetOrder(project, spec) > 0;
}

void ClearTreeDescentFlags(ProjectRecord* project) {
    if (!project || !project->hierarchy) return;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n))
        n->flags &= uint16_t(~kSheetNodeNoDescent);
}

void SetupTreeDescentFlags(ProjectRecord* project, uint16_t requiredFlags, uint16_t rankLimit) {
    if (!project || !project->hierarchy) return;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        if (n->depth == 0) continue;
        const bool lacking = (n->flags & requiredFlags) != requiredFlags;
        const bool beyondRank = rankLimit >= 1 && n->sheetSpec && rankLimit < n->sheetSpec->rank;
        if (lacking || beyondRank) n->flags |= kSheetNodeNoDescent;
    }
}

void SortProjectHierarchy(ProjectRecord* project, bool depthFirst) {
    if (!project || !project->hierarchy) return;
    SheetTree* tree = project->hierarchy;
    if (depthFirst) {
        uint32_t order = 0;
        for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) n->order = ++order;
        return;
    }
    std::vector<uint32_t> perLevel;
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) {
        if (size_t(n->depth) >= perLevel.size()) perLevel.resize(size_t(n->depth) + 1, 0);
        n->order = ++perLevel[size_t(n->depth)];
    }
    std::vector<uint32_t> shallower(perLevel.size(), 0);
    for (size_t level = 1; level < perLevel.size(); ++level)
        shallower[level] = shallower[level - 1] + perLevel[level - 1];
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n))
        n->order += shallower[size_t(n->depth)];
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

OSStatus SetSheetContext(SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance) {
    if (!sheet) return status::kParamErr;
    sheet->project = project;
    sheet->hierarchyContext = instance;
    if (!project || !instance) return status::kNoErr;
    SheetSpec* spec = GetSheetSpecFromSheet(sheet, project);
    if (spec) sheet->sheetSpec = spec;
    if (OSStatus st = spec ? LoadAnnotationTable(project, spec, 0) : status::kNoErr) {
        sheet->project = nullptr;
        sheet->hierarchyContext = nullptr;
        return st;
    }
    return status::kNoErr;
}

OSStatus CheckProjectHierarchy(ProjectRecord* project, bool newLog, bool quiet) {
    if (!project) return status::kParamErr;
    const OSStatus st = BuildProjectHierarchy(project, 0);
    ClearTreeDescentFlags(project);
    if ((newLog || !project->log) && gHooks.clearLog) gHooks.clearLog(project);
    SheetTree* tree = project->hierarchy;
    // Top-level sheets whose files are missing, once per sheet.
    for (SubSheetReference* top = FirstRef(project->topLevelSheets); top; top = top->next) {
        FileSpec file;
        if (top->child && ResolveSheetSpecFile(project, top->child, &file, nullptr)) continue;
        LogHierarchyWarning(project, kHierTopLevelSheetMissing, top->child, nullptr, 0,
                            SpecName(project, top->child).c_str());
    }
    // Each sheet is checked once, whatever number of nodes it has.
    std::set<std::pair<const SheetSpec*, uint32_t>> checked;
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) {
        if (!n->parent || !checked.insert({n->parent->sheetSpec, n->serial}).second) continue;
        char designator[kStringSpecBufferSize];
        GetSheetNodeName(project, n, designator, sizeof designator);
        const std::string child = SpecName(project, n->sheetSpec);
        const std::string parent = SpecName(project, n->parent->sheetSpec);
        if (n->flags & kSheetNodeCircular) {
            LogHierarchyWarning(project, kHierCircularReference, n->parent->sheetSpec, n->parent->instance, n->serial,
                                child.c_str(), parent.c_str());
            continue;
        }
        FileSpec file;
        if (!ResolveSheetSpecFile(project, n->sheetSpec, &file, nullptr))
            LogHierarchyWarning(project, kHierChildSheetMissing, n->parent->sheetSpec, n->parent->instance, n->serial,
                                child.c_str(), designator, parent.c_str());
    }
    if (!gHooks.logEmpty || gHooks.logEmpty(project)) {
        if (gHooks.destroyLog) gHooks.destroyLog(project);
        if (!quiet && gHooks.note) gHooks.note("No problems found.");
    }
    return st;
}

}  // namespace plexa
