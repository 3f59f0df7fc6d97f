// The Update Signal Names command: its dialog (UI template 1006) edits the project's signal-name
// resequencing options (mode, range, first number, descent into sub-sheets with its order and
// depth limit); OK stores them in the project and runs the work of files/resequence.h.
#pragma once

#include <cstdint>

namespace plexa {

struct ProjectRecord;
struct ResequenceOptions;
struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kResequenceDialogTemplate = 1006;
constexpr int16_t kSeqModeItem = 3, kSeqRangeItem = 5, kSeqFirstNumberItem = 7, kSeqDescendItem = 9;
constexpr int16_t kSeqBreadthFirstItem = 10, kSeqDepthFirstItem = 11, kSeqDepthItem = 12;

int32_t SigSequencerDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
// Runs the dialog over the options (the active sheet's range only with a sheet); true, and the
// options changed, when it ended with OK.
bool RunSigSequencerDialog(ResequenceOptions* options, bool haveSheet);

// The command for a project, or for a sheet (whose project is then used).
void ResequenceSignalNames(ProjectRecord* project, SheetRecord* sheet);

}  // namespace plexa
