// Building, naming, numbering and checking the project's hierarchy tree, and sheet contexts (see
// hierarchy.h).
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <set>
#include <utility>
#include <vector>

#include <cstring>
#include <unordered_map>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/filesymbols.h"
#include "files/sheetexports.h"
#include "files/sheetload.h"
#include "files/sheetports.h"
#include "files/sheetspec.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"

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
    {kHierSymbolOutOfDate, "Symbol is out-of-date with respect to its definition in the child sheet.",
     "\"%s\" in Sheet \"%s\""},
    {kHierSymbolDefinitionMissing, "Symbol's definition was not found in its referenced child sheet.",
     "\"%s\" referenced from \"%s\" in Sheet \"%s\""},
    {kHierCircularReference, "Circular reference in the project hierarchy", "\"%s\" referenced by \"%s\""},
    {kHierTopLevelSheetMissing, "Top-Level sheet was not found.", "Sheet Name: %s"},
    {kHierSheetUnreadable, "Sheet could not be read.", "Sheet \"%s\": %s"},
};

// A sheet loaded only for one pass: destroyed without touching what the projects keep of its file
// (the projects' annotation of the sheet stays as it is).
void DestroyPassSheet(SheetRecord* sheet) {
    if (!sheet) return;
    ClearFileSpec(&sheet->fileSpec);
    DestroySheet(sheet);
}

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
const HierarchyHooks& GetHierarchyHooks() { return gHooks; }

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

void MarkExistingTreeViewInstances(ProjectRecord* project) {
    if (!project) return;
    for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next) {
        i->flags &= uint16_t(~kInstanceInTree);
        i->nodeName = 0;
    }
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        SheetInstance* instance = RetrieveSheetInstance(project, n, true);
        if (!instance) continue;
        instance->flags |= kInstanceInTree;
        instance->nodeName = n->displayName;
    }
}

bool CheckForNewTreeInstances(ProjectRecord* project) {
    if (!project) return false;
    bool found = false;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        SheetInstance* instance = RetrieveSheetInstance(project, n, true);
        if (!instance || !(instance->flags & kInstanceInTree)) found = true;
    }
    return found;
}

OSStatus BuildProjectHierarchy(ProjectRecord* project, uint32_t flags) {
    if (!project) return status::kParamErr;
    if (!project->hierarchy && !(project->hierarchy = CreateSheetTree())) return status::kOutOfMemory;
    MarkExistingTreeViewInstances(project);
    EmptySheetTree(project->hierarchy);
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
        spec->nodeCount = 0;
    InvalidateSubSheetReferences(project);
    OSStatus st = status::kNoErr;
    for (SubSheetReference* top = FirstRef(project->topLevelSheets); top && !st; top = top->next)
        st = AddSheetReferenceToTree(project, top, nullptr);
    if (!(flags & kBuildKeepNames)) {
        uint32_t naming = 0;
        if ((flags & kBuildNamesFromInstances) && !CheckForNewTreeInstances(project)) naming = kBuildNamesFromInstances;
        if (const OSStatus named = UpdateTreeInstanceNames(project, naming); !st) st = named;
    }
    ValidateSheetContexts(project);
    project->treeDirty = 0;
    return st;
}

void MarkTreeInstances(ProjectRecord* project, uint32_t what) {
    if (!project) return;
    const uint16_t bits = uint16_t(((what & kTreeStateExpanded) ? kInstanceExpanded : 0) |
                                   ((what & kTreeStateSelected) ? kInstanceSelected : 0));
    for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next)
        i->flags &= uint16_t(~bits);
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        const bool expanded = (what & kTreeStateExpanded) && n->expanded && n->firstChild;
        const bool selected = (what & kTreeStateSelected) && n->selected;
        if (!expanded && !selected) continue;
        SheetInstance* instance = RetrieveSheetInstance(project, n, true);
        if (!instance) continue;
        if (expanded) instance->flags |= kInstanceExpanded;
        if (selected) instance->flags |= kInstanceSelected;
    }
}

void RestoreMarkedInstaceStates(ProjectRecord* project, uint32_t what) {
    if (!project) return;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        SheetInstance* instance = RetrieveSheetInstance(project, n, false);
        if (!instance) continue;
        if ((what & kTreeStateExpanded) && (instance->flags & kInstanceExpanded)) n->expanded = 1;
        if ((what & kTreeStateSelected) && (instance->flags & kInstanceSelected)) n->selected = 1;
    }
}

namespace {

OSStatus RebuildKeepingStates(ProjectRecord* project, uint32_t reasons) {
    const uint32_t states = kTreeStateExpanded | kTreeStateSelected;
    MarkTreeInstances(project, states);
    const OSStatus st = BuildProjectHierarchy(project, reasons & ~uint32_t(4));
    RestoreMarkedInstaceStates(project, states);
    return st;
}

}  // namespace

bool UpdateProjectHierarchy(ProjectRecord* project, uint32_t reasons) {
    if (!project || (!(reasons & 1) && !project->treeDirty)) return false;
    const OSStatus st = RebuildKeepingStates(project, reasons);
    if (st && st != status::kUserCancelled && gHooks.report) gHooks.report(st, "");
    return true;
}

namespace {

// The parent sheet that a naming pass reads, and what the pass itself loaded for it.
struct NamingSheet {
    explicit NamingSheet(ProjectRecord* owner) : project(owner) {}
    ProjectRecord* project = nullptr;
    SheetSpec* spec = nullptr;
    SheetRecord* sheet = nullptr;
    bool loadedSheet = false;
    bool loadedAnnotation = false;
    bool annotationTried = false;
    std::unordered_map<uint32_t, SymbolRecord*> bySerial;  // the sheet's symbols, made on first use

    void Release() {
        if (loadedSheet) DestroyPassSheet(sheet);
        if (loadedAnnotation && spec && !IsSheetAnnotationDirty(spec, true, false, false))
            FreeAnnotationTable(project, spec);
        *this = NamingSheet{project};
    }
    void Take(SheetSpec* next, bool mayLoad) {
        Release();
        spec = next;
        FileSpec file;
        if (!next || !ResolveSheetSpecFile(project, next, &file, nullptr)) return;
        sheet = GetLoadedSheet(&file, project, false);
        if (sheet || !mayLoad) return;
        loadedSheet = LoadSchematicSheet(&file, &sheet, nullptr) == status::kNoErr;
        if (!loadedSheet) sheet = nullptr;
    }
    // The symbol of the serial on the sheet (the first of the list when two share one).
    SymbolRecord* Symbol(uint32_t serial) {
        if (!sheet) return nullptr;
        if (bySerial.empty())
            for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
                bySerial.emplace(s->serial, s);
        auto found = bySerial.find(serial);
        return found != bySerial.end() ? found->second : nullptr;
    }
    // The spec's annotation, loaded once for the parent; the failure of the load.
    OSStatus Annotation() {
        if (annotationTried || !spec) return status::kNoErr;
        annotationTried = true;
        const bool had = spec->annotationMap != nullptr;
        const OSStatus st = LoadAnnotationTable(project, spec, 0);
        loadedAnnotation = !st && !had && spec->annotationMap;
        return st;
    }
};

// Every node with children in tree order, grouped by its sheet (in the order of each sheet's first
// node), so that a pass reads each sheet once.
std::vector<SheetNode*> ParentsBySheet(SheetTree* tree) {
    std::vector<SheetNode*> parents;
    std::unordered_map<const SheetSpec*, size_t> firstSeen;
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) {
        if (!n->firstChild) continue;
        firstSeen.emplace(n->sheetSpec, firstSeen.size());
        parents.push_back(n);
    }
    std::stable_sort(parents.begin(), parents.end(), [&](const SheetNode* a, const SheetNode* b) {
        return firstSeen[a->sheetSpec] < firstSeen[b->sheetSpec];
    });
    return parents;
}

// The designator that the parent's instance gives a component or sheet symbol, with the slot
// suffix, or its default designator.
void SymbolContextDesignator(ProjectRecord* project, SheetRecord* sheet, SheetInstance* instance,
                             SymbolRecord* symbol, char* name) {
    const int32_t slot = GetInstanceAnnotation(project, instance, symbol->serial, name);
    const bool suffixes = AnnotSuffixEnabled(project);
    if (name[0]) {
        if (symbol->component && suffixes) AppendRefDesSuffix(symbol->component, slot, sheet->stringBlock, name);
    } else if (symbol->component) {
        GetDefaultCompRefDes(symbol->component, symbol->kind.comp.symbol, sheet->stringBlock, suffixes, name);
    } else if (GetSymbolHooks().getDefaultSheetSymbolRefDes) {
        GetSymbolHooks().getDefaultSheetSymbolRefDes(symbol, sheet->stringBlock, name);
    }
}

}  // namespace

OSStatus UpdateTreeInstanceNames(ProjectRecord* project, uint32_t flags) {
    if (!project || !project->hierarchy) return status::kParamErr;
    const std::vector<SheetNode*> parents = ParentsBySheet(project->hierarchy);
    const bool mayLoad = !(flags & kBuildNamesFromInstances);
    NamingSheet current{project};
    OSStatus failure = status::kNoErr;
    const char* failed = "";
    std::vector<std::pair<std::string, SheetNode*>> named;
    std::vector<SheetNode*> ordered;
    for (SheetNode* parent : parents) {
        if (failure) break;
        if (parent == parents.front() || parent->sheetSpec != current.spec) current.Take(parent->sheetSpec, mayLoad);
        SheetInstance* parentInstance = RetrieveSheetInstance(project, parent, true);
        named.clear();
        for (SheetNode* child = parent->firstChild; child; child = child->next) {
            char name[kAnnotationTextSize] = "";
            if (child->flags & kSubSheetComponentOrSheetSymbol) {
                SymbolRecord* symbol = current.Symbol(child->serial);
                if (symbol && !symbol->component && !(symbol->flags & kSymbolFlagSheet)) {
                    GetSymbolRefName(symbol, current.sheet->stringBlock, name);
                } else if (symbol) {
                    if (OSStatus st = current.Annotation()) {
                        failure = st;
                        break;
                    }
                    SymbolContextDesignator(project, current.sheet, parentInstance, symbol, name);
                } else if (!current.sheet) {
                    SheetInstance* instance = RetrieveSheetInstance(project, child, false);
                    if (instance && instance->nodeName) ExtractStringSpec(instance->nodeName, project->strings, name, sizeof name);
                }
            }
            if (!name[0]) GetInstanceAnnotation(project, parentInstance, child->serial, name);
            if (!name[0]) GetSheetSpecName(project, child->sheetSpec, name, std::min<int32_t>(sizeof name, 160));
            child->displayName = AddProjectName(project, name);
            if (!child->displayName && name[0]) {
                // The project's string block holds no more names (or memory ran out): the build
                // stops and says so, rather than leaving nodes without the names netlists use.
                failure = StringBlockAddStatus() ? StringBlockAddStatus() : status::kOutOfMemory;
                failed = "The names of the project's sheet instances could not be stored";
                break;
            }
            named.emplace_back(name, child);
        }
        if (failure) break;  // the children stay linked as they are, not only those named so far
        std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
            return StrCmpAlphaNumeric(a.first.c_str(), b.first.c_str(), false) < 0;
        });
        ordered.clear();
        for (auto& entry : named) ordered.push_back(entry.second);
        Relink(parent, ordered);
    }
    current.Release();
    if (failure && gHooks.report) gHooks.report(failure, failed);
    if ((flags & kNamesRedrawTree) && gHooks.redrawTree) gHooks.redrawTree(project);
    return failure;
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
    const auto level = [](const SheetNode* n) { return size_t(std::max<int16_t>(n->depth, 0)); };
    std::vector<uint32_t> perLevel;
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) {
        if (level(n) >= perLevel.size()) perLevel.resize(level(n) + 1, 0);
        n->order = ++perLevel[level(n)];
    }
    std::vector<uint32_t> shallower(perLevel.size(), 0);
    for (size_t l = 1; l < perLevel.size(); ++l) shallower[l] = shallower[l - 1] + perLevel[l - 1];
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) n->order += shallower[level(n)];
}

namespace {

// One port name of either side of a symbol's port comparison.
struct PortName {
    std::string name;  // upper-cased
    uint32_t serial;
    bool struck;
};

std::string UpperCased(const char* text) {
    std::string upper(text);
    StrToUpper(upper.data());
    return upper;
}

// The name, or each member's name when it is a buss range.
void AddPortNames(std::vector<PortName>& names, const char* name, bool buss, uint32_t serial) {
    if (!name[0]) return;
    char base[kNetNameBaseLength + 1] = "";
    int32_t first = 0, count = 0;
    if (buss && GetNetNameRange(name, base, &first, &count) && count != 0) {
        const int32_t members = std::min(std::abs(count), kBusMembersLimit);
        for (int32_t k = 0; k < members; ++k) {
            char member[kBusMemberNameSize + 16];
            std::snprintf(member, sizeof member, "%s%d", base, first + (count < 0 ? -k : k));
            names.push_back({UpperCased(member), serial, false});
        }
        return;
    }
    names.push_back({UpperCased(name), serial, false});
}

// The names a symbol offers its child sheet: a sheet symbol's ports, a component symbol's pins and
// the hidden pins of its pin set.
std::vector<PortName> SymbolNodeNames(SheetRecord* sheet, SymbolRecord* symbol) {
    std::vector<PortName> names;
    char name[kSymbolTextSize];
    const SymbolHooks& hooks = GetSymbolHooks();
    if (symbol->flags & kSymbolFlagSheet) {
        const int32_t ports = hooks.countSheetSymbolPorts ? hooks.countSheetSymbolPorts(symbol) : 0;
        for (int32_t port = 0; port < ports && hooks.getSheetSymbolPortName; ++port) {
            name[0] = 0;
            hooks.getSheetSymbolPortName(symbol, port, sheet->stringBlock, name);
            const bool wide = hooks.getSheetSymbolPortFlags && (hooks.getSheetSymbolPortFlags(symbol, port) & 1);
            AddPortNames(names, name, wide, symbol->serial);
        }
        return names;
    }
    ComponentRecord* component = symbol->component;
    if (!component) return names;
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    const int32_t slot = std::max(GetSymbolSlotIndex(sheet, symbol), 0);
    const int32_t pins = CountSymbolNodes(sheet, symbol);
    char number[kCompTextSize];
    for (int32_t pin = 0; pin < pins; ++pin) {
        uint32_t id = 0xFFFFFFFF;
        GetCompPinInfo(component, sheet->stringBlock, pinSet, uint16_t(slot), pin, number, &id);
        name[0] = 0;
        if (id != 0xFFFFFFFF) GetIndexedPinDataName(sheet->pinDataTable, int32_t(id), sheet->stringBlock, name);
        AddPortNames(names, name, GetNodeInstanceWidth(sheet, symbol, pin) == 2, symbol->serial);
    }
    const int32_t hidden = CountCompSymbolPins(component, pinSet, kCompHiddenPins);
    for (int32_t pin = 0; pin < hidden; ++pin) {
        uint32_t id = 0xFFFFFFFF;
        GetCompHiddenPinInfo(component, sheet->stringBlock, pinSet, pin, number, &id);
        name[0] = 0;
        if (id != 0xFFFFFFFF) GetIndexedPinDataName(sheet->pinDataTable, int32_t(id), sheet->stringBlock, name);
        AddPortNames(names, name, false, symbol->serial);
    }
    return names;
}

// Whether the child sheet defines the file symbol: looked up in the open or cached child, else in
// the child's file loaded for the look-up.
bool ChildDefinesFileSymbol(ProjectRecord* project, const FileSpec* child, const char* name) {
    SheetRecord* sheet = GetLoadedSheet(child, project, false);
    const bool loaded = !sheet && LoadSchematicSheet(child, &sheet, nullptr) == status::kNoErr;
    const bool found = sheet && FindNamedFileSymbol(sheet, name, nullptr);
    if (loaded) DestroyPassSheet(sheet);
    return found;
}

}  // namespace

void CheckSymbolsSubSheetConnections(ProjectRecord* project, SheetRecord* sheet, SheetInstance* instance,
                                     SymbolRecord* symbol, const char* designator, const FileSpec* child,
                                     SheetSpec* childSpec, SheetNode* node) {
    if (!project || !sheet || !symbol || !child) return;
    // An open child is compared as it stands, unsaved changes included; else its saved table.
    SheetExportsTable table = nullptr;
    if (SheetRecord* open = GetLoadedSheet(child, project, false)) table = BuildSheetExportsTable(open);
    else if (LoadSheetExportsTable(child, &table)) return;
    if (!table) return;
    std::vector<PortName> exports;
    SheetExportEntry entry;
    char name[kSymbolTextSize];
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, name, sizeof name); ++i)
        AddPortNames(exports, name, entry.kind & kExportBussPort, entry.serial);
    DestroySheetExportsTable(table);
    std::vector<PortName> nodes = SymbolNodeNames(sheet, symbol);
    for (PortName& parentName : nodes) {
        for (PortName& childName : exports) {
            if (childName.struck || childName.name != parentName.name) continue;
            childName.struck = parentName.struck = true;
            break;
        }
    }
    SheetSpec* parentSpec = sheet->sheetSpec ? sheet->sheetSpec : GetSheetSpecFromSheet(sheet, project);
    const std::string sheetName = SpecName(project, parentSpec);
    for (const PortName& n : nodes)
        if (!n.struck)
            LogHierarchyWarning(project, kHierPortMissing, parentSpec, instance, symbol->serial, n.name.c_str(),
                                designator, sheetName.c_str());
    SheetInstance* childInstance = node ? RetrieveSheetInstance(project, node, false) : nullptr;
    const std::string childName = SpecName(project, childSpec);
    for (const PortName& e : exports)
        if (!e.struck)
            LogHierarchyWarning(project, kHierPortNotReferenced, childSpec, childInstance, e.serial, e.name.c_str(),
                                childName.c_str());
}

OSStatus CheckProjectHierarchy(ProjectRecord* project, bool newLog, bool quiet) {
    if (!project) return status::kParamErr;
    const OSStatus st = RebuildKeepingStates(project, kHierarchyRebuild);
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
    // Each sheet's children are checked once, whatever number of nodes the sheet has.
    const std::vector<SheetNode*> parents = ParentsBySheet(tree);
    std::set<std::pair<const SheetSpec*, uint32_t>> checked;
    NamingSheet current{project};
    const bool hierarchical = project->settings.signalScope == 1;
    for (SheetNode* parent : parents) {
        if (parent == parents.front() || parent->sheetSpec != current.spec) current.Take(parent->sheetSpec, true);
        const std::string parentName = SpecName(project, parent->sheetSpec);
        for (SheetNode* n = parent->firstChild; n; n = n->next) {
            if (!checked.insert({parent->sheetSpec, n->serial}).second) continue;
            char designator[kStringSpecBufferSize];
            GetSheetNodeName(project, n, designator, sizeof designator);
            const std::string child = SpecName(project, n->sheetSpec);
            if (n->flags & kSheetNodeCircular) {
                LogHierarchyWarning(project, kHierCircularReference, parent->sheetSpec, parent->instance, n->serial,
                                    child.c_str(), parentName.c_str());
                continue;
            }
            FileSpec file;
            if (!ResolveSheetSpecFile(project, n->sheetSpec, &file, nullptr)) {
                LogHierarchyWarning(project, kHierChildSheetMissing, parent->sheetSpec, parent->instance, n->serial,
                                    child.c_str(), designator, parentName.c_str());
                continue;
            }
            SymbolRecord* symbol = current.Symbol(n->serial);
            if (!symbol) continue;
            if (symbol->flags & kSymbolFlagFileSymbol) {
                char name[kSymbolTextSize];
                GetSymbolName(symbol, current.sheet->stringBlock, name);
                if (!ChildDefinesFileSymbol(project, &file, name))
                    LogHierarchyWarning(project, kHierSymbolDefinitionMissing, parent->sheetSpec, parent->instance,
                                        n->serial, name, designator, parentName.c_str());
            }
            if (hierarchical)
                CheckSymbolsSubSheetConnections(project, current.sheet, parent->instance, symbol, designator, &file,
                                                n->sheetSpec, n);
        }
    }
    current.Release();
    if (!gHooks.logEmpty || gHooks.logEmpty(project)) {
        if (gHooks.destroyLog) gHooks.destroyLog(project);
        if (!quiet && gHooks.note) gHooks.note("No problems found.");
    }
    return st;
}

}  // namespace plexa
