// The running analysis; see simrunning.h.
#include "sheeteditor/simrunning.h"

namespace plexa {

namespace {
RunningAnalysis gRunningAnalysis;
}  // namespace

RunningAnalysis& TheRunningAnalysis() { return gRunningAnalysis; }

bool IsAnalysisRunning(ProjectRecord** project, uint32_t* id, bool* paused) {
    if (project) *project = gRunningAnalysis.project;
    if (id) *id = gRunningAnalysis.id;
    if (paused) *paused = gRunningAnalysis.paused;
    return gRunningAnalysis.id != 0;
}

}  // namespace plexa
