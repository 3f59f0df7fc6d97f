// Tree views: a tree of nodes shown as the rows of a list view. Each visible node is one row, the
// children of an expanded node follow it, and a disclosure triangle before a node with children
// opens and closes its branch. The tree owns its nodes; the application gives each node a
// user-data pointer (and optionally extra bytes after the node's fields), draws the rows through
// its own list hook, and may place the disclosure triangles itself (list message 22).
//
// Rows follow the tree incrementally: every node keeps its row offset from its parent's row and
// every child list the number of rows its expanded branch takes, so that a node's row is a sum
// up its ancestors and each change inserts or deletes only the rows concerned. No operation
// recurses over the tree: walks follow the sibling and parent links, so trees of any depth work.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/heap.h"
#include "foundation/types.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_window.h"

namespace plexa {

struct txStyle;
struct VXControlRecordTag;
struct VXEventRecord;
struct VXTreeChildList;

constexpr uint32_t kVXTreeViewClassCode = 0x74726565;  // 'tree'
// The disclosure control's item number.
constexpr int16_t kVXTreeDisclosureItem = 3;

struct VXTreeNode {
    VXTreeNode* next;
    VXTreeNode* parent;          // the tree's root for top-level nodes
    VXTreeChildList* children;   // none until the first child is inserted
    uint32_t rowOffset;          // rows from the parent's row to this one's (1 for a first child)
    void* userData;
    int16_t depth;               // 0 for top-level nodes; the root has -1
    // Extra node bytes, when the tree was installed with them, follow the node.
};

struct VXTreeChildList {
    VXTreeNode* first;
    VXTreeNode* last;
    uint32_t count;
    uint32_t visibleRows;  // rows of the expanded branch, 0 while collapsed
    uint8_t expanded;
};

struct VXTreeViewRecord : WindowClassInfoTag {
    MemPool pool = nullptr;
    VXTreeNode* root = nullptr;
    VXEventProc formerHook = nullptr;
    void (*freeNode)(VXTreeNode* node) = nullptr;  // empty: user data stays the caller's
    VXListViewHookProc listHook = nullptr;
    int32_t extraNodeSize = 0;
    uint32_t features = 0;
    int16_t disclosureV = 0, disclosureH = 11;
    VXControlRecordTag* disclosure = nullptr;
    int32_t disclosureRow = -1;
    ~VXTreeViewRecord() override;
};

using VXTreeEnumProc = int32_t (*)(VXTreeNode* node, bool* descend, void* data);
// Negative when a goes before b.
using VXTreeCompareProc = int32_t (*)(VXWindowRecordTag* window, VXTreeNode* a, VXTreeNode* b);

int16_t VXInstallTreeView(VXWindowRecordTag* window, const txStyle* style, int16_t rowHeight,
                          uint32_t features, int32_t extraNodeSize, VXListViewHookProc listHook);
VXTreeViewRecord* VXGetTreeViewRecord(VXWindowRecordTag* window);

VXTreeNode* VXGetTopLevelTreeNode(VXWindowRecordTag* window);
VXTreeNode* VXGetTreeNodeChild(VXTreeNode* node);
VXTreeNode* VXGetIndexedTreeNodeChild(VXWindowRecordTag* window, VXTreeNode* parent,
                                      int32_t index);
int32_t VXGetTreeNodeChildIndex(VXWindowRecordTag* window, VXTreeNode* node);
VXTreeNode* VXGetIndexedTreeViewNode(VXWindowRecordTag* window, int32_t row);
// The node's row, -2 when an ancestor is collapsed.
int32_t VXGetTreeNodeListViewIndex(VXTreeNode* node);
int32_t VXGetTreeViewNodePosition(VXWindowRecordTag* window, VXTreeNode* node);
int32_t VXCalcTreeViewDepth(VXWindowRecordTag* window);
int32_t VXEnumTreeViewItems(VXTreeNode* node, VXTreeEnumProc proc, void* data);

int32_t VXExposeTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* node);
int32_t VXCollapseTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* node);
int32_t VXToggleTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* node, bool wholeBranch);

VXTreeNode* VXInsertNewTreeNode(VXWindowRecordTag* window, VXTreeNode* parent, int32_t index,
                                void* userData);
void VXDeleteTreeNode(VXWindowRecordTag* window, VXTreeNode* node, bool freeEmptyList);
// False (nothing moved) for a new parent inside the node's own subtree or outside the tree.
bool VXMoveTreeNode(VXWindowRecordTag* window, VXTreeNode* node, VXTreeNode* newParent,
                    VXTreeNode* sibling);
void VXEmptyTreeView(VXWindowRecordTag* window);
void VXSortTreeViewBranch(VXWindowRecordTag* window, VXTreeNode* parent,
                          VXTreeCompareProc compare);

void VXPrepHitTestTreeView(VXWindowRecordTag* window, Point point);
int32_t TreeViewListHook(VXWindowRecordTag* window, int32_t message,
                         VXListViewHookRecord* record);
int32_t VXTreeViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

}  // namespace plexa
