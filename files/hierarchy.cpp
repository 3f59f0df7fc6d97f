// The hierarchy tree's nodes and walk (see hierarchy.h).
#include "files/hierarchy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/memory.h"
#include "foundation/strings.h"

namespace plexa {

SheetTree* CreateSheetTree() {
    return reinterpret_cast<SheetTree*>(AllocPtrClear(nullptr, sizeof(SheetTree)));
}

void EmptySheetTree(SheetTree* tree) {
    if (!tree) return;
    std::vector<SheetNode*> nodes;
    nodes.reserve(tree->count);
    for (SheetNode* node = tree->first; node; node = NextSheetNode(tree, node)) nodes.push_back(node);
    for (SheetNode* node : nodes) MemFreePtr(reinterpret_cast<Ptr>(node));
    tree->first = tree->last = nullptr;
    tree->count = 0;
}

void DestroySheetTree(SheetTree* tree) {
    if (!tree) return;
    EmptySheetTree(tree);
    MemFreePtr(reinterpret_cast<Ptr>(tree));
}

SheetNode* AddSheetNode(SheetTree* tree, SheetNode* parent, SheetSpec* spec, uint32_t serial,
                        uint16_t flags) {
    if (!tree) return nullptr;
    auto* node = reinterpret_cast<SheetNode*>(AllocPtrClear(nullptr, sizeof(SheetNode)));
    if (!node) return nullptr;
    node->parent = parent;
    node->depth = parent ? int16_t(parent->depth + 1) : 0;
    node->sheetSpec = spec;
    node->serial = serial;
    node->flags = flags;
    SheetNode*& first = parent ? parent->firstChild : tree->first;
    SheetNode*& last = parent ? parent->lastChild : tree->last;
    if (last) {
        last->next = node;
    } else {
        first = node;
    }
    last = node;
    ++tree->count;
    return node;
}

void RemoveSheetNode(SheetTree* tree, SheetNode* node) {
    if (!tree || !node) return;
    SheetNode*& first = node->parent ? node->parent->firstChild : tree->first;
    SheetNode*& last = node->parent ? node->parent->lastChild : tree->last;
    SheetNode* previous = nullptr;
    for (SheetNode* n = first; n && n != node; n = n->next) previous = n;
    if (previous) previous->next = node->next;
    else first = node->next;
    if (last == node) last = previous;
    // The subtree in tree order ends where the walk leaves it.
    std::vector<SheetNode*> doomed{node};
    for (SheetNode* n = node->firstChild; n; n = NextSheetNode(tree, n)) {
        if (!IsDescendantNode(n, node)) break;
        doomed.push_back(n);
    }
    node->next = nullptr;
    tree->count -= uint32_t(doomed.size());
    for (SheetNode* n : doomed) MemFreePtr(reinterpret_cast<Ptr>(n));
}

SheetNode* GetSheetNodeParent(const SheetNode* node) { return node ? node->parent : nullptr; }

SheetNode* NextSheetNode(const SheetTree* tree, const SheetNode* node) {
    if (!node) return tree ? tree->first : nullptr;
    if (node->firstChild) return node->firstChild;
    for (const SheetNode* n = node; n; n = n->parent)
        if (n->next) return n->next;
    return nullptr;
}

int32_t BuildSheetInstancePath(ProjectRecord* project, SheetNode* node, SheetNode* stop, DAHeader** compMap,
                               uint32_t flags, char* out, int32_t maxLength) {
    if (out && maxLength > 0) out[0] = 0;
    char separator[sizeof project->settings.separator + 1] = {};
    std::memcpy(separator, project->settings.separator, sizeof project->settings.separator);
    if (!separator[0]) std::strcpy(separator, ":");
    std::vector<std::string> parts;
    if (flags & 2) {
        stop = nullptr;
    } else if (stop) {
        if (flags & 1) stop = stop->parent;
    } else if (!(flags & 1)) {
        stop = node;
        while (stop && stop->parent) stop = stop->parent;
    }
    for (SheetNode* n = node; n && n != stop; n = n->parent) {
        char name[kFileSpecNameCapacity] = "";
        if (n->displayName)
            ExtractStringSpec(n->displayName, project->strings, name, sizeof name);
        else if (n->sheetSpec)
            GetSheetSpecName(project, n->sheetSpec, name, sizeof name);
        const size_t length = std::strlen(name);
        if (length >= 4 && (strcasecmp(name + length - 4, ".SHX") == 0)) name[length - 4] = 0;
        char designator[256] = "";
        SheetInstance* parentInstance = compMap && n->parent ? RetrieveSheetInstance(project, n->parent, false) : nullptr;
        if (parentInstance && GetSpiceCompMapRefDes(compMap, parentInstance->id, n->serial, designator)) {
            parts.emplace_back(designator);
            if (name[0] && strcasecmp(name, designator) != 0) parts.back() += std::string(separator) + name;
        } else {
            parts.emplace_back(name);
        }
    }
    if (flags & 2) {
        std::string projectName = project->file.spec.name;
        if (projectName.size() >= 3 && strcasecmp(projectName.c_str() + projectName.size() - 3, "PRX") == 0)
            projectName.resize(projectName.size() - 3);
        parts.push_back(projectName);
    }
    if (parts.empty()) return 0;
    if (!(flags & 4)) std::reverse(parts.begin(), parts.end());
    std::string whole, written;
    for (const std::string& part : parts) {
        const std::string joined = whole.empty() ? part : whole + separator + part;
        whole = joined;
        const std::string candidate = written.empty() ? part : written + separator + part;
        if (int64_t(candidate.size()) + 1 < maxLength) written = candidate;
    }
    if (out && maxLength > 0) std::snprintf(out, size_t(maxLength), "%s", written.c_str());
    return int32_t(whole.size() + 1);
}

}  // namespace plexa
