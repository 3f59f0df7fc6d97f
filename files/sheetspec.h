// Sheet specs: a project's reference to each sheet file that it uses, by name, and each spec's
// sub-sheet references (one per sheet symbol or sub-sheet symbol of the sheet, naming the child
// sheet file). This module keeps the project's spec list, finds a spec's file through the
// project's folders and search paths, connects open sheets and their specs, retrieves a sheet's
// sub-sheet references (from the open sheet, or from the file without loading it) and keeps each
// spec's rank, change time and annotation-dirty state.
//
// The project owns its spec list and its list of top-level references; a spec owns its
// reference list, its annotation map and its use of a sheet-local annotation entry. Names live
// in the project's string block and compare without regard to case. References point at the
// specs of their child sheets, which stay in the list as long as a reference names them.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/stringblock.h"

namespace plexa {

struct AnnotationMap;
struct LinkListHeader;
struct ProjectRecord;
struct SheetLocalAnnotationEntry;
struct SheetNode;
struct SheetRecord;

// `SheetSpec::flags`.
constexpr uint16_t kSheetSpecMark = 0x0001;                // temporary, cleared before and after use
constexpr uint16_t kSheetSpecAnnotationDirty = 0x0002;
constexpr uint16_t kSheetSpecReferencesRetrieved = 0x0004;
constexpr uint16_t kSheetSpecUsed = 0x0008;                // used by the hierarchy tree

constexpr uint16_t kSheetRankUnknown = 9999;

// Symbol flags that make a sub-sheet reference.
constexpr uint32_t kSymbolSheetSymbol = 0x0400;
constexpr uint32_t kSymbolNamesSubSheet = 0x0800;
// `SubSheetReference::flags`: the symbol's bits 0x3000, and 0x4000 for a component or sheet
// symbol. Annotation walks need 0x1000 to descend, report walks 0x2000.
constexpr uint16_t kSubSheetAnnotationWalk = 0x1000;
constexpr uint16_t kSubSheetReportWalk = 0x2000;
constexpr uint16_t kSubSheetSymbolBits = 0x3000;
constexpr uint16_t kSubSheetComponentOrSheetSymbol = 0x4000;

struct SheetSpec {
    SheetSpec* next;
    StringSpec name;                        // the sheet file's name, with its extension
    int32_t directory;                      // index in the project's directory list; -1 unresolved
    AnnotationMap* annotationMap;
    SheetLocalAnnotationEntry* localAnnotation;
    LinkListHeader* subSheets;              // SubSheetReference list, none until retrieved
    uint32_t changeTime;                    // local date-time; 0 = not known yet
    uint16_t nodeCount;                     // hierarchy nodes that use the sheet
    uint16_t rank;
    uint16_t flags;
    uint8_t found;                          // the file was found and is a sheet file
};

struct SubSheetReference {
    SubSheetReference* next;
    SheetSpec* child;
    StringSpec name;  // the symbol's reference name or symbol name
    uint32_t serial;  // of the symbol in the parent sheet
    uint16_t flags;
};

// ---- Specs ----

LinkListHeader* CreateSheetSpecList();
// A zeroed spec with directory -1, not in a list; none when memory runs out.
SheetSpec* CreateSheetSpec();
// The spec list's free procedure: destroys the references and the annotation map and releases
// the local annotation.
void FreeOneSheetSpec(LinkListHeader* list, void* item, void* previous, uint32_t flag);

// The name into a buffer of `size` bytes (at most 160).
void GetSheetSpecName(const ProjectRecord* project, const SheetSpec* spec, char* name,
                      int32_t size = 160);
bool SetSheetSpecName(ProjectRecord* project, SheetSpec* spec, const char* name);
// The spec of that name, or a new one at the head of the list; none when memory runs out.
SheetSpec* AddSheetSpecToProject(ProjectRecord* project, const char* name);
// The first spec of that name (without regard to case) and its 0-based place; none (-1).
SheetSpec* GetNamedSheetSpec(const ProjectRecord* project, const char* name, int32_t* index);

// Finds the spec's file: in its folder when it has one, else along the project's search paths
// for sheet files. False when it is not found (or the search was cancelled, *cancelled then set).
bool ResolveSheetSpecFile(ProjectRecord* project, SheetSpec* spec, FileSpec* file, bool* cancelled);
// True only when a sheet file of that name is found along the project's search paths.
bool FindProjectSheetFile(ProjectRecord* project, const char* name, FileSpec* file);

SheetSpec* GetSheetSpecFromSheet(SheetRecord* sheet, ProjectRecord* project);
SheetRecord* GetOpenSheetFromSheetSpec(ProjectRecord* project, SheetSpec* spec);
using SheetProjectProc = int32_t (*)(ProjectRecord* project, SheetSpec* spec, SheetRecord* sheet,
                                     void* data);
// Calls the procedure for every open project with a spec of the sheet; the first non-zero result.
int32_t EnumSheetProjects(SheetRecord* sheet, SheetProjectProc proc, void* data);
SheetNode* GetSheetNodeUsingSheetSpec(ProjectRecord* project, const SheetSpec* spec);

// ---- Sub-sheet references ----

LinkListHeader* CreateSubSheetReferences();
void DestroySubSheetReferences(LinkListHeader* list);
// Appends a reference to the parent's list, or without a parent to the project's top-level
// list, adding the child's spec when missing. None when memory runs out.
SubSheetReference* AddSubSheetReference(ProjectRecord* project, SheetSpec* parent,
                                        const char* childName, const char* symbolName,
                                        uint32_t serial, uint16_t flags);
// Read once for each sheet until invalidated. A file that is not found gives none and counts as
// retrieved; a failed read is returned, with nothing kept, so that a later call tries again.
OSStatus RetrieveSubSheetReferences(ProjectRecord* project, SheetSpec* spec);
void InvalidateSubSheetReferences(ProjectRecord* project);

// ---- The list as a whole ----

// Marks the specs that the hierarchy uses (every spec when the project has no tree), and those
// that the project's top-level references and the references of marked specs still name.
void MarkUsedSheetSpecs(ProjectRecord* project);
void PurgeUnusedSheetSpecs(ProjectRecord* project);
void SetupSheetSpecRanks(ProjectRecord* project);
void ClearSheetSpecListTempFlags(ProjectRecord* project);
// Specs that no node uses first (in the reverse of their order), then the used ones in the
// order of their first node.
void SortProjectSheetSpecsByTree(ProjectRecord* project);

// ---- Annotation and change times ----

bool IsSheetAnnotationDirty(const SheetSpec* spec, bool checkProjectMap, bool checkLocalMap,
                            bool pendingChangesOnly);
// The latest change time of the specs the tree uses (0 when none).
uint32_t GetProjectDirtyTime(ProjectRecord* project);
// The given local time, or now.
void SetSheetSpecDirtyTime(SheetSpec* spec, const uint32_t* time);
void SetSheetSpecsDirty(SheetRecord* sheet);

}  // namespace plexa
