// The simulator tool bar of a sheet window: a third tool bar, there while the link to the
// simulator is up, to show the node voltages as value labels, place such labels, choose an
// analysis and a graph of the sheet's project, run or pause the analysis, fetch new analysis
// data and pick signals or pin currents to graph; and showing or hiding a sheet's node-value texts.
// The run button's icon turns while the running analysis (sheeteditor/simrunning.h) runs.
#pragma once

#include <cstdint>

#include "sheeteditor/simrunning.h"

namespace plexa {

struct ProjectRecord;
struct SheetInstance;
struct SheetRecord;
struct SpiceAnalysisRecord;
struct SpiceSessionHooks;
struct SpiceWindowHooks;
struct VXEventRecord;
struct VXWindowRecordTag;

// Controls of the bar.
constexpr int16_t kSpiceShowLabels = 10, kSpicePlaceLabel = 11, kSpiceRun = 12, kSpiceUpdate = 13,
                  kSpiceGraphSignals = 14, kSpiceAnalyses = 15, kSpiceGraphs = 17;
constexpr int16_t kSpiceToolBarHeight = 37;
constexpr uint16_t kSpiceToolsTemplate = 2100;

// Bit 7 of a signal text's flags: it shows a simulator node value.
constexpr uint16_t kTextFlagNodeValue = 0x0080;

// Shows or hides the sheet's node-value texts.
void SetNodeValuesVisible(SheetRecord* sheet, bool visible);
// Shows or hides the bar of the sheet (none: of every visible sheet window) to match the link.
void HideShowSpiceTools(SheetRecord* sheet);
int32_t DrawingSpiceToolsHandler(VXWindowRecordTag* window, VXEventRecord* event);
// Refills the two lists and sets what is enabled.
void UpdateSpiceToolsStatus(SheetRecord* sheet);
void SetSpiceToolsActive(SheetRecord* sheet, bool hasAnalyses, bool active);
// Refreshes the front sheet's bar when it shows the project (any project with none).
void UpdateSpiceToolsForActiveSheet(ProjectRecord* project);
// Idle work: the run button's turning icon, and fetching annotation the sheet waits for.
void IdleSpiceToolBar(SheetRecord* sheet);
// Records that the analysis of the project runs (none: that none runs).
void SetRunningAnalysis(ProjectRecord* project, SpiceAnalysisRecord* analysis, bool paused);
// Whether the analysis simulates the instance's place in the hierarchy.
bool IsAnalysisInstance(ProjectRecord* project, SheetInstance* instance, SpiceAnalysisRecord* analysis);
// The bar's current run icon (for tests and drawing).
int32_t SpiceRunIcon();

// Puts the bar in the simulator windows' and the exchange's tables.
void AddSpiceToolBarHooks(SpiceWindowHooks& windows, SpiceSessionHooks& session);

}  // namespace plexa
