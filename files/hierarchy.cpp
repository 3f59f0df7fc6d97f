// The hierarchy tree's nodes and walk (see hierarchy.h).
#include "files/hierarchy.h"

#include <vector>

#include "foundation/memory.h"

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

SheetNode* GetSheetNodeParent(const SheetNode* node) { return node ? node->parent : nullptr; }

SheetNode* NextSheetNode(const SheetTree* tree, const SheetNode* node) {
    if (!node) return tree ? tree->first : nullptr;
    if (node->firstChild) return node->firstChild;
    for (const SheetNode* n = node; n; n = n->parent)
        if (n->next) return n->next;
    return nullptr;
}

}  // namespace plexa
