// Annotation of designators and slots: one run of `Annotate` gives the placed symbols of a project
// (component symbols, sheet symbols and graphic symbols with a reference prefix) reference
// designators and slots in every instance of every sheet it reaches. It can assign missing
// designators, clear conflicting ones or all of them, and resequence each prefix from a start
// number; sections of a multi-section package are packed into the free slots of designated
// packages before a new designator is spent (unless the project asks for designators without
// slot suffix).
//
// A run owns three temporary tables (the instance table, the component table and the prefix
// table) and the label block that holds every designator of the run; all of them exist only
// during the run. The results go into the annotation maps of the sheet specs (model/annotation.h)
// and are committed there, or, for sheets that are open, left pending with the sheet marked
// modified.
//
// Symbols the run does not take (outside the chosen sheet, unselected, outside the prefix
// filter, below the hierarchy limit) are still collected, read-only: their designators and slots
// stay as they are and their numbers are never handed out again, so a run on part of a project
// cannot make a designator that the rest of the project already uses.
//
// The choices of the Annotate dialog are plain functions here (`AnnotationChoices`); the dialog
// that shows them lives in the sheet editor.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct AnnotationSettings;
struct ProjectRecord;
struct SheetInstance;
struct SheetRecord;
struct SheetSpec;
struct SymbolRecord;

// Bits of the operation mask.
constexpr uint16_t kAnnotAssignMissing = 0x001;
constexpr uint16_t kAnnotResequence = 0x002;
constexpr uint16_t kAnnotClearConflicting = 0x004;
constexpr uint16_t kAnnotClearAll = 0x008;
constexpr uint16_t kAnnotResequenceFirst = 0x010;
constexpr uint16_t kAnnotKeepOrder = 0x020;
constexpr uint16_t kAnnotCurrentSheet = 0x100;
constexpr uint16_t kAnnotSelectedSymbols = 0x200;  // always with kAnnotCurrentSheet
constexpr uint16_t kAnnotDepthFirst = 0x400;

// The presets of the operation list, in list order, and the index of "Custom".
extern const uint16_t gOperationTable[4];
constexpr uint8_t kAnnotCustomOperation = 4;
extern const char* const kAnnotationOperationNames[5];

constexpr int32_t kAnnotMaxNumber = 9999;   // start numbers and depth limits end here
constexpr int16_t kAnnotUnlimitedDepth = 9999;
// The hierarchy flag a sub-sheet reference needs for an annotation walk to descend into it.
constexpr uint16_t kAnnotWalkFlag = 0x1000;

constexpr const char* kAnnotatingMessage = "Annotating...";
constexpr const char* kRemovingAnnotationMessage = "Removing annotation...";

// What a run needs of the layers below it (the hierarchy tree, the sheet loader; see
// AddAnnotationServices) and of the user interface (the editor's messages and sheet windows).
// Where a call is missing, the default beside it applies.
struct AnnotationHooks {
    // Rebuilds the project's hierarchy tree (reason 3 before a run). Default: the tree as it is.
    void (*updateHierarchy)(ProjectRecord* project, uint32_t reasons) = nullptr;
    // Names the tree's nodes again (flags 16 after a run). Default: nothing.
    void (*updateTreeInstanceNames)(ProjectRecord* project, uint32_t flags) = nullptr;
    // Sets an open sheet's context again so that it shows the new designators. Default: nothing.
    void (*setSheetContext)(SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance,
                            uint32_t flags) = nullptr;
    // The open sheet of a spec. Default: GetOpenSheetFromSheetSpec.
    SheetRecord* (*openSheet)(ProjectRecord* project, SheetSpec* spec) = nullptr;
    // A sheet that is not open, loaded for the run; `release` frees it. Default:
    // kSheetServiceMissing (a run cannot see a sheet that nobody loads).
    OSStatus (*loadSheet)(ProjectRecord* project, SheetSpec* spec, SheetRecord** sheet) = nullptr;
    void (*releaseSheet)(ProjectRecord* project, SheetSpec* spec, SheetRecord* sheet) = nullptr;
    // Marks an open sheet modified. Default: the sheet's content-modified flag.
    void (*setSheetModified)(SheetRecord* sheet) = nullptr;
    // Shows a message during the run (none hides it), the wait cursor, and the report of a
    // failure (user cancel and 0 are never reported). Defaults: nothing.
    void (*showMessage)(const char* message) = nullptr;
    void (*busy)() = nullptr;
    void (*reportError)(OSStatus code) = nullptr;
};
void SetAnnotationHooks(const AnnotationHooks& hooks);
const AnnotationHooks& GetAnnotationHooks();
// Puts in what a run needs of the layers below: the hierarchy tree (rebuilt, its instances
// named), sheets through the sheet store (loaded ones, loading and releasing the others, marking
// them modified with reason 1) and the sheet contexts; the messages, the cursor and the error
// report stay as they are.
void AddAnnotationServices(AnnotationHooks& hooks);

// One annotation run (see the top of this file). With kAnnotCurrentSheet and a sheet, the run
// starts at the sheet's context node, else it takes the whole project; with limitHierarchy it
// descends below the start as far as `depth` (a sheet rank limit, 9999 for none) allows, else it
// takes only the start node's sheet or the top-level sheets. Returns the status, which has been
// reported through the hooks; on failure nothing is committed and open sheets are as they were.
OSStatus Annotate(ProjectRecord* project, SheetRecord* sheet, uint16_t mask, int32_t start,
                  bool limitHierarchy, int32_t depth);
// The depth a run takes from stored settings: 9999 unless the limit is on and the depth above 0.
int32_t AnnotationRunDepth(const AnnotationSettings& settings);

// Removes the designator and slot of a symbol in an instance.
void DeleteInstanceAnnotation(ProjectRecord* project, SheetInstance* instance, uint32_t symbolId);
// When the sheet belongs to the project and has a context node, sets its context again (the low
// byte of flags passed on).
void ResetSheetContext(ProjectRecord* project, SheetRecord* sheet, uint32_t flags);

// A run's place in the sheet order: rows of 32 units from the top, then columns of 18 units
// from the left, with no wrap at any sheet size.
int64_t AnnotationLocationKey(SheetRecord* sheet, const SymbolRecord* symbol);

// ---- The dialog's choices ----

// The states of the dialog's controls.
struct AnnotationChoices {
    uint8_t operationIndex = 0;  // list: 0 to 3 a preset, 4 "Custom"
    uint8_t clearing = 0;        // radio: 0 no clearing, 1 clear conflicting, 2 clear all
    bool resequence = false;
    bool assign = false;
    bool keepOrder = false;
    bool resequenceFirst = false;
    int32_t startNumber = 1;
    uint8_t scope = 0;           // radio: 0 whole project, 1 current sheet, 2 selected symbols
    char prefixFilter[256] = {};
    bool limitHierarchy = false;
    bool depthFirst = false;
    int32_t depth = 0;
};

// Which controls are enabled.
struct AnnotationEnables {
    bool ok, resequence, keepOrder, resequenceFirst, startNumber, currentSheet, selectedSymbols,
        hierarchyOptions, customEntry;
};

// The choices a dialog opens with. A record whose operation index and mask are both 0 gets mask
// 0x20 first; without a sheet only the whole project is offered, and the selection only when it
// holds a symbol.
AnnotationChoices ChoicesFromSettings(const AnnotationSettings& settings, bool haveSheet,
                                      bool haveSelection);
// Sets the operation controls from a preset index (0 to 3) or, for "Custom", from the mask.
void SelectAnnotationOperation(AnnotationChoices* choices, uint8_t index, uint16_t mask);
// The operation mask of the operation controls (assign, resequence when enabled, clearing) and
// the preset index it matches, 4 when none.
uint8_t DetectAnnotationOperation(const AnnotationChoices& choices, uint16_t* mask);
AnnotationEnables GetAnnotationEnables(const AnnotationChoices& choices, bool haveSheet,
                                       bool haveSelection);
// Numbers clamped to their ranges.
void ClampAnnotationChoices(AnnotationChoices* choices);
// What OK stores into the project's settings.
void StoreAnnotationChoices(const AnnotationChoices& choices, AnnotationSettings* settings);

}  // namespace plexa
