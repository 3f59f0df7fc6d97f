// The analysis that runs in the simulator (one at a time, of one project) and the run button's
// icon that turns while it runs. The simulator tool bar (sheeteditor/simtools.h) records and
// shows it; the sheet pane reads it for its idle interval.
#pragma once

#include <cstdint>

namespace plexa {

struct ProjectRecord;

constexpr int32_t kSpiceRunIdleIcon = 2043, kSpiceRunFirstIcon = 2200, kSpiceRunLastIcon = 2205;

// The running analysis: its project, id (0 when none runs) and whether it is paused; when the
// run icon last changed and which it shows.
struct RunningAnalysis {
    ProjectRecord* project = nullptr;
    uint32_t id = 0;
    bool paused = false;
    uint32_t iconTicks = 0;
    int32_t icon = kSpiceRunIdleIcon;
};
// The one record; the simulator tool bar changes it as runs start, pause and end.
RunningAnalysis& TheRunningAnalysis();

// True while an analysis runs; each output may be omitted.
bool IsAnalysisRunning(ProjectRecord** project, uint32_t* id, bool* paused);

}  // namespace plexa
