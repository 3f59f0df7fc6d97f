// Tree views.
#include "toolkit/vx_treeview.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "foundation/memory.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"

namespace plexa {
namespace {

constexpr int32_t kBusyCursor = 0x7FFFFF03;
constexpr uint16_t kOptionKey = 58;
constexpr int16_t kDisclosureSide = 14;
constexpr VXColor kTriangleColor = 0x08444444;

// Nodes and child lists of every tree come from one pool of fixed-size blocks, made at the
// first use and kept for the application's life.
MemPool gTreeNodePool = nullptr;

MemPool NodePool() {
    // None: the caller's allocation fails.
    (void)InitFixedBlockPool(&gTreeNodePool, 4096,  // without a pool the allocations fail and say so
                             uint32_t(std::max(sizeof(VXTreeNode), sizeof(VXTreeChildList))));
    return gTreeNodePool;
}

VXTreeViewRecord* Tree(VXWindowRecordTag* window) {
    return static_cast<VXTreeViewRecord*>(VXGetWindowClassInfo(window, kVXTreeViewClassCode));
}

bool Expanded(const VXTreeNode* node) { return node->children && node->children->expanded; }
uint32_t VisibleRows(const VXTreeNode* node) {
    return node->children ? node->children->visibleRows : 0;
}
bool HasChildren(const VXTreeNode* node) { return node->children && node->children->count > 0; }

VXTreeNode* NewNode(VXTreeViewRecord* tree) {
    Ptr block = tree->extraNodeSize > 0
                    ? AllocPtrClear(nullptr, uint32_t(sizeof(VXTreeNode) + tree->extraNodeSize))
                    : (NodePool() ? AllocFSPtrClear(NodePool()) : nullptr);
    return reinterpret_cast<VXTreeNode*>(block);
}

VXTreeChildList* NewChildList() {
    MemPool pool = NodePool();
    return pool ? reinterpret_cast<VXTreeChildList*>(AllocFSPtrClear(pool)) : nullptr;
}

// Frees a node and everything below it, depth first, without recursion.
void FreeSubtree(VXTreeViewRecord* tree, VXTreeNode* top) {
    std::vector<VXTreeNode*> pending{top};
    while (!pending.empty()) {
        VXTreeNode* node = pending.back();
        pending.pop_back();
        if (node->children) {
            for (VXTreeNode* c = node->children->first; c; c = c->next) pending.push_back(c);
            MemFreePtr(node->children);
        }
        if (tree->freeNode && node != tree->root) tree->freeNode(node);
        MemFreePtr(node);
    }
}

// The visible descendants of a node in pre-order (descending only into expanded nodes).
template <typename Visit>
void ForVisibleDescendants(VXTreeNode* top, Visit visit) {
    VXTreeNode* n = Expanded(top) ? top->children->first : nullptr;
    while (n) {
        visit(n);
        if (Expanded(n) && n->children->first) {
            n = n->children->first;
            continue;
        }
        while (n != top && !n->next) n = n->parent;
        if (n == top) break;
        n = n->next;
    }
}

// Every descendant of a node in pre-order, expanded or not.
template <typename Visit>
void ForAllDescendants(VXTreeNode* top, Visit visit) {
    VXTreeNode* n = top->children ? top->children->first : nullptr;
    while (n) {
        visit(n);
        if (n->children && n->children->first) {
            n = n->children->first;
            continue;
        }
        while (n != top && !n->next) n = n->parent;
        if (n == top) break;
        n = n->next;
    }
}

bool IsShown(const VXTreeNode* node) {
    for (const VXTreeNode* p = node->parent; p; p = p->parent)
        if (!Expanded(p)) return false;
    return node->parent != nullptr;
}

// Adjusting by d: the expanded ancestors' visible rows, then the row offsets of the following
// siblings, and of the parents' following siblings while the parents are expanded.
void Adjust(VXTreeNode* node, int64_t d) {
    for (VXTreeNode* p = node->parent; p && Expanded(p); p = p->parent)
        p->children->visibleRows = uint32_t(int64_t(p->children->visibleRows) + d);
    for (VXTreeNode* n = node; n;) {
        for (VXTreeNode* s = n->next; s; s = s->next)
            s->rowOffset = uint32_t(int64_t(s->rowOffset) + d);
        VXTreeNode* parent = n->parent;
        if (!parent || !Expanded(parent) || parent->depth < 0) break;
        n = parent;
    }
}

// Whether the node is in the window's tree.
bool InTree(VXTreeViewRecord* tree, const VXTreeNode* node) {
    if (!tree || !node) return false;
    const VXTreeNode* n = node;
    while (n->parent) n = n->parent;
    return n == tree->root && node != tree->root;
}

// Writes node pointers into the rows from `row` on.
void FillRows(VXWindowRecordTag* window, int32_t row, const std::vector<VXTreeNode*>& nodes) {
    for (size_t i = 0; i < nodes.size(); ++i)
        VXSetListViewItemData(window, row + int32_t(i), &nodes[i]);
}

void InsertRows(VXWindowRecordTag* window, int32_t row, const std::vector<VXTreeNode*>& nodes) {
    if (nodes.empty()) return;
    VXSetListViewDrawingEnabled(window, false);
    VXInsertListViewItemData(window, row, nodes.data(), int32_t(nodes.size()));
    VXSetListViewDrawingEnabled(window, true);
}

void InvalidateRow(VXWindowRecordTag* window, int32_t row) {
    if (row >= 0) VXInvalListViewItem(window, row);
}

// ---- The disclosure control ----

void CalcTreeViewDisclosurePos(VXWindowRecordTag* window, VXTreeViewRecord* tree, int32_t row,
                               Point* out) {
    VXListViewHookRecord record{};
    if (VXSendListViewHookMsg(window, kVXListDisclosurePosition, row, &record) == 1) {
        *out = record.param.point;
        return;
    }
    Rect rect{};
    VXGetListViewItemRect(window, row, &rect);
    *out = Point{int16_t(rect.top + tree->disclosureV), int16_t(rect.left + tree->disclosureH)};
}

void SetDisclosureControlIndex(VXWindowRecordTag* window, VXTreeViewRecord* tree, int32_t row) {
    if (row == tree->disclosureRow) return;
    InvalidateRow(window, tree->disclosureRow);
    VXControlRecordTag* control = tree->disclosure;
    Rect rect = {0, -100, kDisclosureSide, int16_t(-100 + kDisclosureSide)};
    if (row >= 0) {
        VXTreeNode* node = VXGetIndexedTreeViewNode(window, row);
        VXSetDisclosureState(window, kVXTreeDisclosureItem, node && Expanded(node));
        Point at{};
        CalcTreeViewDisclosurePos(window, tree, row, &at);
        rect = {int16_t(at.v - 7), int16_t(at.h - 7), int16_t(at.v - 7 + kDisclosureSide),
                int16_t(at.h - 7 + kDisclosureSide)};
    }
    if (control) VXSetControlRect(control, &rect);
    tree->disclosureRow = row;
    InvalidateRow(window, row);
}

void HideDisclosure(VXWindowRecordTag* window, VXTreeViewRecord* tree) {
    SetDisclosureControlIndex(window, tree, -1);
}

void DrawTriangle(const Point& at, bool open) {
    const VXColor fore = VXGetForeColor();
    QZSetColor(nullptr, kTriangleColor, false);
    Point p[3];
    if (open) {
        p[0] = {int16_t(at.v - 2), int16_t(at.h - 4)};
        p[1] = {int16_t(at.v - 2), int16_t(at.h + 4)};
        p[2] = {int16_t(at.v + 3), at.h};
    } else {
        p[0] = {int16_t(at.v - 4), int16_t(at.h - 2)};
        p[1] = {int16_t(at.v + 4), int16_t(at.h - 2)};
        p[2] = {at.v, int16_t(at.h + 3)};
    }
    VXPolyDispatch(p, 3, 1);
    QZSetColor(nullptr, fore, false);
}

// ---- Insertion and removal ----

bool InsertNodeInTree(VXWindowRecordTag* window, VXTreeViewRecord* tree, VXTreeNode* parent,
                      VXTreeNode* node, VXTreeNode* before) {
    HideDisclosure(window, tree);
    if (!parent->children && !(parent->children = NewChildList())) return false;
    VXTreeChildList* list = parent->children;
    if (before && before->parent != parent) before = nullptr;
    node->parent = parent;
    node->depth = int16_t(parent->depth + 1);
    VXTreeNode* previous = nullptr;
    for (VXTreeNode* c = list->first; c && c != before; c = c->next) previous = c;
    node->rowOffset = previous ? previous->rowOffset + 1 + VisibleRows(previous) : 1;
    node->next = before;
    if (previous)
        previous->next = node;
    else
        list->first = node;
    if (!before) list->last = node;
    ++list->count;
    if (node->children)
        ForAllDescendants(node, [](VXTreeNode* n) { n->depth = int16_t(n->parent->depth + 1); });
    const uint32_t d = 1 + VisibleRows(node);
    Adjust(node, d);
    if (parent != tree->root && list->count == 1)
        InvalidateRow(window, VXGetTreeNodeListViewIndex(parent));
    if (IsShown(node)) {
        std::vector<VXTreeNode*> rows{node};
        ForVisibleDescendants(node, [&rows](VXTreeNode* n) { rows.push_back(n); });
        InsertRows(window, VXGetTreeNodeListViewIndex(node), rows);
    }
    return true;
}

void RemoveNodeFromTree(VXWindowRecordTag* window, VXTreeViewRecord* tree, VXTreeNode* node,
                        bool freeEmptyList) {
    HideDisclosure(window, tree);
    VXTreeNode* parent = node->parent;
    VXTreeChildList* list = parent->children;
    const int32_t formerRow = VXGetTreeNodeListViewIndex(node);
    VXTreeNode* previous = nullptr;
    for (VXTreeNode* c = list->first; c && c != node; c = c->next) previous = c;
    if (previous)
        previous->next = node->next;
    else
        list->first = node->next;
    if (list->last == node) list->last = previous;
    --list->count;
    const uint32_t d = 1 + VisibleRows(node);
    Adjust(node, -int64_t(d));
    node->next = nullptr;
    if (freeEmptyList && list->count == 0 && parent != tree->root) {
        MemFreePtr(list);
        parent->children = nullptr;
    }
    if (formerRow >= 0) VXDeleteListViewItemData(window, formerRow, int32_t(d));
    node->parent = nullptr;
}

}  // namespace

VXTreeViewRecord::~VXTreeViewRecord() {
    if (root) FreeSubtree(this, root);
}

int16_t VXInstallTreeView(VXWindowRecordTag* window, const txStyle* style, int16_t rowHeight,
                          uint32_t features, int32_t extraNodeSize, VXListViewHookProc listHook) {
    if (!window || Tree(window) || !NodePool()) return rowHeight;
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    rowHeight = VXInstallListView(window, style, rowHeight, int32_t(sizeof(VXTreeNode*)), features,
                                  TreeViewListHook);
    auto* tree = new (std::nothrow) VXTreeViewRecord;
    VXTreeNode* root = tree ? reinterpret_cast<VXTreeNode*>(AllocFSPtrClear(NodePool())) : nullptr;
    VXTreeChildList* rootList = root ? NewChildList() : nullptr;
    if (!VXGetListViewRecord(window) || !rootList) {
        if (root) MemFreePtr(root);
        delete tree;
        if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
        return rowHeight;
    }
    rootList->expanded = 1;
    root->children = rootList;
    root->depth = -1;
    root->userData = window;
    tree->root = root;
    tree->listHook = listHook;
    tree->extraNodeSize = std::max(0, extraNodeSize);
    tree->features = features;
    tree->disclosureV = int16_t(rowHeight / 2);
    tree->disclosureH = 11;
    VXSetWindowClassInfo(window, tree, kVXTreeViewClassCode);
    tree->formerHook = VXSetListViewEventHook(window, VXTreeViewEventHandler);
    const Rect offScreen = {0, -100, kDisclosureSide, int16_t(-100 + kDisclosureSide)};
    tree->disclosure =
        VXCreateControl(window, kVXDisclosure, &offScreen, "", kVXTreeDisclosureItem, 0);
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) panel->flags |= kVXPanelTreeView;
    if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
    return rowHeight;
}

VXTreeViewRecord* VXGetTreeViewRecord(VXWindowRecordTag* window) { return Tree(window); }

VXTreeNode* VXGetTopLevelTreeNode(VXWindowRecordTag* window) {
    VXTreeViewRecord* tree = Tree(window);
    return tree ? tree->root->children->first : nullptr;
}

VXTreeNode* VXGetTreeNodeChild(VXTreeNode* node) {
    return node && node->children ? node->children->first : nullptr;
}

VXTreeNode* VXGetIndexedTreeNodeChild(VXWindowRecordTag* window, VXTreeNode* parent,
                                      int32_t index) {
    VXTreeViewRecord* tree = Tree(window);
    if (!tree) return nullptr;
    if (!parent) parent = tree->root;
    if (!parent->children || index < 0 || uint32_t(index) >= parent->children->count)
        return nullptr;
    VXTreeNode* n = parent->children->first;
    while (n && index-- > 0) n = n->next;
    return n;
}

int32_t VXGetTreeNodeChildIndex(VXWindowRecordTag*, VXTreeNode* node) {
    if (!node || !node->parent || !node->parent->children) return -1;
    int32_t index = 0;
    for (VXTreeNode* c = node->parent->children->first; c; c = c->next, ++index)
        if (c == node) return index;
    return -1;
}

VXTreeNode* VXGetIndexedTreeViewNode(VXWindowRecordTag* window, int32_t row) {
    if (!Tree(window) || row < 0 || row >= VXCountListViewItems(window)) return nullptr;
    VXTreeNode* node = nullptr;
    VXGetListViewItemData(window, row, &node);
    return node;
}

int32_t VXGetTreeNodeListViewIndex(VXTreeNode* node) {
    if (!node || !IsShown(node)) return -2;
    int64_t row = 0;
    for (const VXTreeNode* n = node; n && n->depth >= 0; n = n->parent) row += n->rowOffset;
    return int32_t(row - 1);
}

int32_t VXGetTreeViewNodePosition(VXWindowRecordTag* window, VXTreeNode* node) {
    VXTreeViewRecord* tree = Tree(window);
    if (!InTree(tree, node)) return -1;
    int32_t position = 0, found = -1;
    ForAllDescendants(tree->root, [&](VXTreeNode* n) {
        if (n == node) found = position;
        ++position;
    });
    return found;
}

int32_t VXCalcTreeViewDepth(VXWindowRecordTag* window) {
    VXTreeViewRecord* tree = Tree(window);
    int32_t depth = -1;
    if (tree) ForAllDescendants(tree->root, [&depth](VXTreeNode* n) {
        depth = std::max<int32_t>(depth, n->depth);
    });
    return depth;
}

int32_t VXEnumTreeViewItems(VXTreeNode* node, VXTreeEnumProc proc, void* data) {
    if (!proc) return 0;
    // The sibling runs still to walk: each entry is the next node of an unfinished run.
    std::vector<VXTreeNode*> pending;
    VXTreeNode* n = node;
    while (n || !pending.empty()) {
        if (!n) {
            n = pending.back();
            pending.pop_back();
            continue;
        }
        bool descend = HasChildren(n);
        if (const int32_t answer = proc(n, &descend, data)) return answer;
        if (descend && HasChildren(n)) {
            pending.push_back(n->next);
            n = n->children->first;
        } else {
            n = n->next;
        }
    }
    return 0;
}

int32_t VXExposeTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* node) {
    VXTreeViewRecord* tree = Tree(window);
    if (!InTree(tree, node) || !HasChildren(node) || Expanded(node)) return 0;
    VXTreeChildList* list = node->children;
    list->expanded = 1;
    uint32_t rows = list->count;
    for (VXTreeNode* c = list->first; c; c = c->next) rows += VisibleRows(c);
    list->visibleRows = rows;
    Adjust(node, rows);
    if (IsShown(node)) {
        std::vector<VXTreeNode*> nodes;
        nodes.reserve(rows);
        ForVisibleDescendants(node, [&nodes](VXTreeNode* n) { nodes.push_back(n); });
        InsertRows(window, VXGetTreeNodeListViewIndex(node) + 1, nodes);
    }
    if (tree->disclosureRow >= 0 && VXGetIndexedTreeViewNode(window, tree->disclosureRow) == node)
        VXSetDisclosureState(window, kVXTreeDisclosureItem, true);
    return 1;
}

int32_t VXCollapseTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* node) {
    VXTreeViewRecord* tree = Tree(window);
    if (!InTree(tree, node) || !Expanded(node)) return 0;
    VXTreeChildList* list = node->children;
    const uint32_t rows = list->visibleRows;
    list->expanded = 0;
    if (IsShown(node) && rows > 0)
        VXDeleteListViewItemData(window, VXGetTreeNodeListViewIndex(node) + 1, int32_t(rows));
    Adjust(node, -int64_t(rows));
    list->visibleRows = 0;
    if (tree->disclosureRow >= 0 && VXGetIndexedTreeViewNode(window, tree->disclosureRow) == node)
        VXSetDisclosureState(window, kVXTreeDisclosureItem, false);
    return 1;
}

int32_t VXToggleTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* node, bool wholeBranch) {
    VXTreeViewRecord* tree = Tree(window);
    if (!InTree(tree, node) || !HasChildren(node)) return 0;
    const bool open = !Expanded(node);
    if (!wholeBranch) {
        if (open)
            VXExposeTreeViewBranch(window, node);
        else
            VXCollapseTreeViewBranch(window, node);
        return open ? 1 : 0;
    }
    VXSetCursor(kBusyCursor);
    VXSetListViewDrawingEnabled(window, false);
    std::vector<VXTreeNode*> branch{node};
    ForAllDescendants(node, [&branch](VXTreeNode* n) {
        if (HasChildren(n)) branch.push_back(n);
    });
    // Opening goes from the deepest nodes up, closing from the node down, so that each row is
    // inserted or deleted once.
    if (open)
        for (auto it = branch.rbegin(); it != branch.rend(); ++it)
            VXExposeTreeViewBranch(window, *it);
    else
        for (VXTreeNode* n : branch) VXCollapseTreeViewBranch(window, n);
    VXSetListViewDrawingEnabled(window, true);
    VXSetCursor(kVXCursorArrow);
    return open ? 1 : 0;
}

VXTreeNode* VXInsertNewTreeNode(VXWindowRecordTag* window, VXTreeNode* parent, int32_t index,
                                void* userData) {
    VXTreeViewRecord* tree = Tree(window);
    if (!tree) return nullptr;
    if (!parent) parent = tree->root;
    if (parent != tree->root && !InTree(tree, parent)) return nullptr;
    VXTreeNode* node = NewNode(tree);
    if (!node) return nullptr;
    node->userData = userData;
    VXTreeNode* before = index >= 0 ? VXGetIndexedTreeNodeChild(window, parent, index) : nullptr;
    if (!InsertNodeInTree(window, tree, parent, node, before)) {
        MemFreePtr(node);
        return nullptr;
    }
    return node;
}

void VXDeleteTreeNode(VXWindowRecordTag* window, VXTreeNode* node, bool freeEmptyList) {
    VXTreeViewRecord* tree = Tree(window);
    if (!InTree(tree, node)) return;
    RemoveNodeFromTree(window, tree, node, freeEmptyList);
    FreeSubtree(tree, node);
}

bool VXMoveTreeNode(VXWindowRecordTag* window, VXTreeNode* node, VXTreeNode* newParent,
                    VXTreeNode* sibling) {
    VXTreeViewRecord* tree = Tree(window);
    if (!InTree(tree, node)) return false;
    if (!newParent) newParent = tree->root;
    if (newParent != tree->root && !InTree(tree, newParent)) return false;
    // A node cannot go under itself or its own descendants.
    for (VXTreeNode* p = newParent; p; p = p->parent)
        if (p == node) return false;
    if (sibling == node) sibling = node->next;
    if (sibling && sibling->parent != newParent) sibling = nullptr;
    RemoveNodeFromTree(window, tree, node, true);
    if (!InsertNodeInTree(window, tree, newParent, node, sibling)) {
        // No memory for the new parent's child list: the node goes back to the top level.
        InsertNodeInTree(window, tree, tree->root, node, nullptr);
        return false;
    }
    return true;
}

void VXEmptyTreeView(VXWindowRecordTag* window) {
    while (VXTreeNode* first = VXGetTopLevelTreeNode(window)) VXDeleteTreeNode(window, first, true);
}

void VXSortTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* parent,
                          VXTreeCompareProc compare) {
    VXTreeViewRecord* tree = Tree(window);
    if (!tree || !compare) return;
    if (!parent) parent = tree->root;
    if (parent != tree->root && !InTree(tree, parent)) return;
    if (!HasChildren(parent)) return;
    VXTreeChildList* list = parent->children;
    // Insertion sort: each node goes before the first placed node that compares greater.
    VXTreeNode* sorted = nullptr;
    for (VXTreeNode* n = list->first; n;) {
        VXTreeNode* following = n->next;
        VXTreeNode** link = &sorted;
        while (*link && compare(window, n, *link) >= 0) link = &(*link)->next;
        n->next = *link;
        *link = n;
        n = following;
    }
    list->first = sorted;
    uint32_t offset = 1;
    for (VXTreeNode* n = sorted; n; n = n->next) {
        n->rowOffset = offset;
        offset += 1 + VisibleRows(n);
        list->last = n;
    }
    if (Expanded(parent) && (parent == tree->root || IsShown(parent))) {
        HideDisclosure(window, tree);
        std::vector<VXTreeNode*> nodes;
        ForVisibleDescendants(parent, [&nodes](VXTreeNode* n) { nodes.push_back(n); });
        FillRows(window, parent == tree->root ? 0 : VXGetTreeNodeListViewIndex(parent) + 1, nodes);
        VXInvalRect(window, nullptr);
    }
}

void VXPrepHitTestTreeView(VXWindowRecordTag* window, Point point) {
    VXTreeViewRecord* tree = Tree(window);
    if (!tree) return;
    const int32_t row = VXListViewItemFromPoint(window, point.v, true);
    VXTreeNode* node = row >= 0 ? VXGetIndexedTreeViewNode(window, row) : nullptr;
    SetDisclosureControlIndex(window, tree, node && HasChildren(node) ? row : -1);
}

int32_t TreeViewListHook(VXWindowRecordTag* window, int32_t message,
                         VXListViewHookRecord* record) {
    VXTreeViewRecord* tree = Tree(window);
    if (!tree) return 0;
    const int32_t id = window->windowID;
    // A click on a row's disclosure triangle opens or closes its branch (with Option the whole
    // branch), where the disclosure control has not been put under the mouse beforehand.
    if (message == kVXListMouseDown && record && record->event && record->index >= 0) {
        VXTreeNode* node = VXGetIndexedTreeViewNode(window, record->index);
        if (node && HasChildren(node)) {
            Point at{};
            CalcTreeViewDisclosurePos(window, tree, record->index, &at);
            const int32_t v = record->event->u.mouse.longV, h = record->event->u.mouse.longH;
            if (std::abs(v - at.v) <= kDisclosureSide / 2 && std::abs(h - at.h) <= kDisclosureSide / 2) {
                const int32_t row = record->index;
                VXToggleTreeViewBranch(window, node, VXTestKey(kOptionKey));
                if (VXGetWindowFromId(id)) InvalidateRow(window, row);  // its triangle turns
                return kVXListClickHandled;
            }
        }
    }
    const int32_t answer = tree->listHook ? tree->listHook(window, message, record) : 0;
    if (!VXGetWindowFromId(id) || !(tree = Tree(window)) || !record) return answer;
    if (message == kVXListTopRowChanged) HideDisclosure(window, tree);
    if (message == kVXListDrawItem && record->index != tree->disclosureRow) {
        VXTreeNode* node = VXGetIndexedTreeViewNode(window, record->index);
        if (node && HasChildren(node)) {
            Point at{};
            CalcTreeViewDisclosurePos(window, tree, record->index, &at);
            DrawTriangle(at, Expanded(node));
        }
    }
    return answer;
}

int32_t VXTreeViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    VXTreeViewRecord* tree = Tree(window);
    if (!tree || !event) return 0;
    const int32_t id = window->windowID;
    const int32_t former = tree->formerHook ? tree->formerHook(window, event) : 0;
    if (!VXGetWindowFromId(id) || !(tree = Tree(window))) return former;
    if (former && event->kind != kVXDestroyEvent) return 1;
    switch (event->kind) {
        case kVXControlEvent:
            if (event->u.control.item == kVXTreeDisclosureItem &&
                event->u.control.controlType == kVXDisclosure) {
                if (VXTreeNode* node = VXGetIndexedTreeViewNode(window, tree->disclosureRow))
                    VXToggleTreeViewBranch(window, node, VXTestKey(kOptionKey));
                return 1;
            }
            return 0;
        case kVXDestroyEvent:
            tree->disclosure = nullptr;
            VXDestroyControl(window, kVXTreeDisclosureItem);
            VXDestroyWindowClassInfo(window, kVXTreeViewClassCode);
            return 1;
        default: return 0;
    }
}

}  // namespace plexa
