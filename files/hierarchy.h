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
struct SheetRecord;
struct SheetSpec;
struct SheetInstance;
struct SubSheetReference;

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

// ---- Building ----

// `BuildProjectHierarchy` flags.
constexpr uint32_t kBuildKeepNames = 2;
constexpr uint32_t kBuildNamesFromInstances = 8;
// `UpdateProjectHierarchy` reasons.
constexpr uint32_t kHierarchyRebuild = 1;
constexpr uint32_t kHierarchyBeforeReport = 13;

// Hierarchy log codes.
constexpr OSStatus kHierPortNotReferenced = 0x20000032;
constexpr OSStatus kHierPortMissing = 0x20000033;
constexpr OSStatus kHierChildSheetMissing = 0x20000034;
constexpr OSStatus kHierSymbolOutOfDate = 0x20000037;
constexpr OSStatus kHierSymbolDefinitionMissing = 0x20000038;
constexpr OSStatus kHierCircularReference = 0x20000039;
constexpr OSStatus kHierTopLevelSheetMissing = 0x2000003A;

// One message of the hierarchy check: its code, main text and detail line, and what it links to
// (the sheet spec, the instance or none, the symbol serial or 0 for the sheet itself).
struct HierarchyLogEntry {
    OSStatus code;
    const char* text;
    const char* detail;
    SheetSpec* sheet;
    SheetInstance* instance;
    uint32_t serial;
};

// What the hierarchy needs of the project's log window and of the user, installed by the
// application; without a hook nothing is shown.
struct HierarchyHooks {
    // Adds a message to the project's log (made when missing).
    void (*log)(ProjectRecord* project, const HierarchyLogEntry& entry) = nullptr;
    // Makes or clears the project's log; whether it holds no entries; destroys it.
    void (*clearLog)(ProjectRecord* project) = nullptr;
    bool (*logEmpty)(ProjectRecord* project) = nullptr;
    void (*destroyLog)(ProjectRecord* project) = nullptr;
    // Reports a failure with a message line naming what failed.
    void (*report)(OSStatus status, const char* message) = nullptr;
    // A note for the user ("No problems found.").
    void (*note)(const char* message) = nullptr;
};
void SetHierarchyHooks(const HierarchyHooks& hooks);

// Adds one message with its texts; the detail's arguments fill its "%s" fields in order.
void LogHierarchyWarning(ProjectRecord* project, OSStatus code, SheetSpec* sheet, SheetInstance* instance,
                         uint32_t serial, const char* arg1, const char* arg2 = "", const char* arg3 = "");

// Rebuilds the tree from the top-level sheets, reading each sheet's sub-sheet references from the
// open sheet or its file (without loading it). A sheet that stands at its own node's parent or
// above gets a circular node without children. The first sheet whose references cannot be read
// stops the build (reported with the sheet's name) and its status is returned; the tree keeps what
// was built before it.
OSStatus BuildProjectHierarchy(ProjectRecord* project, uint32_t flags);
// Rebuilds when reason bit 0 is set or the tree is marked dirty; false when nothing was done.
bool UpdateProjectHierarchy(ProjectRecord* project, uint32_t reasons);
OSStatus AddSheetReferenceToTree(ProjectRecord* project, SubSheetReference* reference, SheetNode* parent);
// Names the nodes: a child made by a component or sheet symbol (bit 14) by its symbol's reference
// name, any other by its sheet's name; each parent's children sorted by name (numbers by value,
// case ignored).
void UpdateTreeInstanceNames(ProjectRecord* project, uint32_t flags);
// The node's display name (its sheet's name when it has none) into out (size bytes).
void GetSheetNodeName(ProjectRecord* project, const SheetNode* node, char* out, int32_t size);

SheetNode* GetSheetNodeChildFromParentSerial(const SheetNode* node, uint32_t serial);
// A node is not its own descendant.
bool IsDescendantNode(const SheetNode* node, const SheetNode* ancestor);
// Whether a node of the spec lies in the tree (or below `node`, which counts itself), not looking
// below nodes marked not to be descended into.
bool IsAllowedSheet(ProjectRecord* project, const SheetSpec* spec, const SheetNode* node);
// 1-based place among the top-level sheets, 0 when not one.
int32_t GetTopLevelSheetOrder(ProjectRecord* project, const SheetSpec* spec);
bool IsTopLevelSheet(ProjectRecord* project, const SheetSpec* spec);

void ClearTreeDescentFlags(ProjectRecord* project);
// Marks every node below the top level that lacks one of the required reference flags, or that
// has them all while rankLimit is at least 1 and below its sheet's rank.
void SetupTreeDescentFlags(ProjectRecord* project, uint16_t requiredFlags, uint16_t rankLimit);
// Numbers the nodes from 1: in tree order, or level by level.
void SortProjectHierarchy(ProjectRecord* project, bool depthFirst);

// ---- Sheet contexts ----

// The first open project with a node of the sheet, and that node.
ProjectRecord* FindSheetContext(SheetRecord* sheet, SheetNode** node);
// Gives the sheet its project and instance (both none to clear them). With an instance its spec's
// annotation is loaded; a failure clears the context and is returned.
OSStatus SetSheetContext(SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance);

// ---- The check ----

// Rebuilds, then logs: top-level sheets whose files are missing, child sheets that are not found,
// and every circular node. Without messages the log goes and, unless quiet, "No problems found."
// is noted. The status of the build.
OSStatus CheckProjectHierarchy(ProjectRecord* project, bool newLog, bool quiet);

}  // namespace plexa
