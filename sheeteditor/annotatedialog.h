// The Annotate command: the annotation dialog (UI template 1011) over the choices of
// design/annotate.h, and the run that follows an OK. The dialog shows and edits a copy of the
// project's annotation settings; OK stores them back and starts the run.
#pragma once

#include <cstdint>

namespace plexa {

struct AnnotationHooks;
struct AnnotationSettings;
struct ProjectRecord;
struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kAnnotationDialogTemplate = 1011;
constexpr uint16_t kAnnotationDialogFlags = 0x402;  // a third down, on the front window's screen
constexpr int16_t kAnnotOperationListItem = 3;
constexpr int16_t kAnnotNoClearingItem = 5, kAnnotClearConflictingItem = 6, kAnnotClearAllItem = 7;
constexpr int16_t kAnnotResequenceItem = 8, kAnnotAssignItem = 9, kAnnotKeepOrderItem = 10,
                  kAnnotResequenceFirstItem = 11;
constexpr int16_t kAnnotStartNumberItem = 12, kAnnotStartLabelItem = 13;
constexpr int16_t kAnnotProjectItem = 14, kAnnotSheetItem = 15, kAnnotSelectionItem = 16;
constexpr int16_t kAnnotPrefixFilterItem = 17, kAnnotLimitItem = 19;
constexpr int16_t kAnnotBreadthFirstItem = 20, kAnnotDepthFirstItem = 21, kAnnotDepthItem = 22;

int32_t AnnotationDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
// Runs the dialog over the settings; true (and the settings changed) when it ended with OK.
bool RunAnnotationDialog(AnnotationSettings* settings, bool haveSheet, bool haveSelection);

// The Annotate command of a project, or of a sheet (whose project is then used); flags are 0.
void AutoAnnotate(ProjectRecord* project, SheetRecord* sheet, uint32_t flags);

// Lets annotation runs show their message and report their failures through the toolkit.
void AddAnnotationDialogHooks(AnnotationHooks& hooks);

}  // namespace plexa
