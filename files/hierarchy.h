// The project's hierarchy tree, headless: one node per occurrence of a sheet, top-level sheets at
// depth 0 and under each node the sheets that its sheet symbols name. The tree owns its nodes;
// nodes point at the project's sheet specs and instances but own neither.
//
// This header holds the start of the tree that sheet specs and sheet instances need: the nodes,
// their links and a walk in tree order. The hierarchy module completes it (building, naming,
// sorting, contexts and checks).
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct DAHeader;
struct FileSpec;
struct ProjectRecord;
struct SymbolRecord;
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
    // The tree view's row state: the branch is expanded, the row selected.
    uint8_t expanded;
    uint8_t selected;
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
// Unlinks the node and frees it with its subtree.
void RemoveSheetNode(SheetTree* tree, SheetNode* node);
// None for a top-level node.
SheetNode* GetSheetNodeParent(const SheetNode* node);
// The node after `node` in tree order (a node, then its children, then its next sibling); the
// first node for none; none after the last.
SheetNode* NextSheetNode(const SheetTree* tree, const SheetNode* node);

// The path of a node's instance: the display names (without ".SHX") of the nodes from the node up
// to the stop node, joined by the project's separator from the top down (flags 4: from the node
// up). Without a stop node the path stops below the top-level ancestor (flags 1: includes it);
// with a stop node it stops below it (flags 1: below its parent); flags 2 takes every node and the
// project's name in front. With a simulator component map, the part of a node below the top
// level starts with the designator that the map holds for its sheet symbol (parent's instance id,
// node's serial), followed by the separator and the name (the name left out when it is that
// designator), so two uses of one sheet whose symbols share a name still have paths of their own.
// A part is written only while the path with it stays below maxLength; returns the whole path's
// length plus one (0 when there are no parts).
int32_t BuildSheetInstancePath(ProjectRecord* project, SheetNode* node, SheetNode* stop, DAHeader** compMap,
                               uint32_t flags, char* out, int32_t maxLength);

// ---- Building ----

// `BuildProjectHierarchy` flags.
constexpr uint32_t kBuildKeepNames = 2;
constexpr uint32_t kBuildNamesFromInstances = 8;
// `UpdateTreeInstanceNames` flag: redraw the tree afterwards.
constexpr uint32_t kNamesRedrawTree = 16;
// `UpdateProjectHierarchy` reasons.
constexpr uint32_t kHierarchyRebuild = 1;
constexpr uint32_t kHierarchyKeepNames = 2;
constexpr uint32_t kHierarchySettingsChanged = 5;
constexpr uint32_t kHierarchyBeforeReport = 13;
// What `MarkTreeInstances` and `RestoreMarkedInstaceStates` carry over: expanded branches,
// selected rows.
constexpr uint32_t kTreeStateExpanded = 1;
constexpr uint32_t kTreeStateSelected = 8;

// Hierarchy log codes.
constexpr OSStatus kHierPortNotReferenced = 0x20000032;
constexpr OSStatus kHierPortMissing = 0x20000033;
constexpr OSStatus kHierChildSheetMissing = 0x20000034;
constexpr OSStatus kHierSymbolOutOfDate = 0x20000037;
constexpr OSStatus kHierSymbolDefinitionMissing = 0x20000038;
constexpr OSStatus kHierCircularReference = 0x20000039;
constexpr OSStatus kHierTopLevelSheetMissing = 0x2000003A;
constexpr OSStatus kHierSheetUnreadable = 0x2000003B;  // a sheet of the design that cannot be read

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
    // Asks a question with two buttons; true for the second (the one that goes on). Without the
    // hook the answer is the second button.
    bool (*ask)(const char* message, const char* first, const char* second) = nullptr;
    // The open panel of sheet files (prompt and button given): the chosen files into `files`, at
    // most `capacity`; their count, or a negative status (-128 for a cancel).
    int32_t (*chooseSheetFiles)(const char* prompt, const char* button, FileSpec* files,
                                int32_t capacity) = nullptr;
    // Updates the symbols of the sheet made from dirty child sheets (interactively when the
    // sheet has a window); its status.
    OSStatus (*updateChildSymbols)(SheetRecord* sheet, bool interactive, bool quiet) = nullptr;
    // A sheet window after its context changed: its simulator tools and annotation, its macro
    // texts, the changed area and its parent-chain popup.
    void (*refreshSheetWindow)(SheetRecord* sheet, const Rect* changed) = nullptr;
    // Redraws the project's tree; refreshes the texts of the project's open sheets.
    void (*redrawTree)(ProjectRecord* project) = nullptr;
    void (*refreshSheetTexts)(ProjectRecord* project) = nullptr;
};
void SetHierarchyHooks(const HierarchyHooks& hooks);
const HierarchyHooks& GetHierarchyHooks();

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
// Names the nodes below the top level. A child made by a component or sheet symbol (bit 14) takes
// the designator that its parent's instance gives the symbol (the symbol's default designator
// without one; the reference attribute of any other symbol), read from the parent sheet: the open
// or cached one or, unless flags has 8, the file loaded for this pass. Without the parent sheet
// the child keeps the name its instance remembers. Otherwise: the designator the parent's
// instance holds for the child's serial, else the child's sheet name. Each parent's children are
// sorted by name (numbers by value, case ignored). The first annotation failure is reported and
// returned.
OSStatus UpdateTreeInstanceNames(ProjectRecord* project, uint32_t flags);
// Before a rebuild: every node's instance (made when missing) is marked as used by the tree and
// remembers the node's name; the other instances lose both.
void MarkExistingTreeViewInstances(ProjectRecord* project);
// Whether a node of the tree has an instance that the old tree did not use (made when missing).
bool CheckForNewTreeInstances(ProjectRecord* project);
// Keeps the rows' states in the nodes' instances (bits 0 and 3), and gives them back.
void MarkTreeInstances(ProjectRecord* project, uint32_t what);
void RestoreMarkedInstaceStates(ProjectRecord* project, uint32_t what);
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
// annotation is loaded; a failure clears the context and is reported. Every component and sheet
// symbol then shows its designator and slot in the context (a slot that its component no longer
// has is dropped from the instance's annotation). When the context changed and updateChildren is
// set, the symbols made from dirty child sheets are updated; that update's status is returned.
OSStatus SetSheetContext(SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance,
                         bool updateChildren);
// The symbol's pin-number texts for the slot and its designator texts (when the designator is not
// empty); changed areas join *changed (when given).
void SetSymbolCtxText(SheetRecord* sheet, SymbolRecord* symbol, int32_t slot, const char* designator,
                      Rect* changed);
// Every visible sheet window of the project whose instance has no node any more, whose node is
// circular, or whose file cannot be found loses its context; a sheet of the project without an
// instance loses its project.
void ValidateSheetContexts(ProjectRecord* project);

// ---- Top-level sheets ----

// Adds the sheet file as a top-level sheet (its folder joins the project's sheet paths); false
// when a top-level sheet of that name is there already or memory runs out.
bool AddTopLevelSheetToProject(ProjectRecord* project, const FileSpec* file);
// The "Add Project Sheets" panel; the chosen sheets are added and the tree rebuilt.
void AddNewTopLevelSheet(ProjectRecord* project);
// Points a top-level node at another sheet name, moving its instance and annotation along; false
// when that name is a top-level sheet already.
bool ChangeTopLevelSheetName(ProjectRecord* project, SheetNode* node, const char* newName);
// Removes the selected top-level rows after asking (the rename question when a file is missing,
// asked even when quiet).
void RemoveSelectedProjectSheets(ProjectRecord* project, bool quiet);
void RemoveTopLevelSheet(ProjectRecord* project, SheetNode* node);

// ---- The check ----

// Rebuilds, then logs: top-level sheets whose files are missing, child sheets that are not found,
// file symbols that their child sheet does not define, ports that differ between a symbol and its
// child sheet (hierarchical signal scope), and every circular node. Without messages the log goes and, unless quiet, "No problems found."
// is noted. The status of the build.
OSStatus CheckProjectHierarchy(ProjectRecord* project, bool newLog, bool quiet);
// Logs the symbol's nodes that the child's exports lack (0x20000033) and the exports that the
// symbol lacks (0x20000032); buss names of a range count once per member.
void CheckSymbolsSubSheetConnections(ProjectRecord* project, SheetRecord* sheet, SheetInstance* instance,
                                     SymbolRecord* symbol, const char* designator, const FileSpec* child,
                                     SheetSpec* childSpec, SheetNode* node);

}  // namespace plexa
