// The project's hierarchy tree, headless: one node per occurrence of a sheet, top-level sheets at
// depth 0 and under each node the sheets that its sheet symbols name. The tree owns its nodes;
// nodes point at the project's sheet specs and instances but own neither.
//
// This header holds the start of the tree that sheet specs and sheet instances need: the nodes,
// their links and a walk in tree order. The hierarchy module completes it (building, naming,
// sorting, contexts and checks).
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"

namespace plexa {

struct ProjectRecord;
struct SheetSpec;
struct SheetInstance;

// `SheetNode::flags`.
constexpr uint16_t kSheetNodeCircular = 0x0001;   // the sheet stands at the parent or above
constexpr uint16_t kSheetNodeNoDescent = 0x0002;  // not entered by a hierarchical walk
constexpr uint16_t kSheetNodeReferenceBits = 0x7000;

struct SheetNode {
    SheetNode* parent;       // none at the top level
    SheetNode* firstChild;
    SheetNode* lastChild;
    SheetNode* next;         // next sibling
    int16_t depth;           // 0 at the top level
    SheetSpec* sheetSpec;
    uint32_t serial;         // of the sheet symbol on the parent sheet; 0 at the top level
    SheetInstance* instance; // found or made on demand, then kept
    StringSpec displayName;  // in the project's string block
    uint16_t flags;
    uint32_t order;
};

struct SheetTree {
    SheetNode* first;  // first top-level node
    SheetNode* last;
    uint32_t count;    // nodes at every depth
};

// None when memory runs out.
SheetTree* CreateSheetTree();
void EmptySheetTree(SheetTree* tree);
void DestroySheetTree(SheetTree* tree);
// Appends a node under the parent (at the top level without one); none when memory runs out.
SheetNode* AddSheetNode(SheetTree* tree, SheetNode* parent, SheetSpec* spec, uint32_t serial,
                        uint16_t flags);
// None for a top-level node.
SheetNode* GetSheetNodeParent(const SheetNode* node);
// The node after `node` in tree order (a node, then its children, then its next sibling); the
// first node for none; none after the last.
SheetNode* NextSheetNode(const SheetTree* tree, const SheetNode* node);

// The path of a node's instance: the display names (without ".SHX") of the nodes from the node up
// to the stop node, joined by the project's separator from the top down (flags 4: from the node
// up). Without a stop node the path stops below the top-level ancestor (flags 1: includes it);
// with a stop node it stops below it (flags 1: below its parent); flags 2 takes every node and the
// project's name in front. A part is written only while the path with it stays below maxLength;
// returns the whole path's length plus one (0 when there are no parts).
int32_t BuildSheetInstancePath(ProjectRecord* project, SheetNode* node, SheetNode* stop, uint32_t flags,
                               char* out, int32_t maxLength);

}  // namespace plexa
