// The simulator tool bar (see simtools.h).
#include "sheeteditor/simtools.h"

#include <string>

#include "design/simlink.h"
#include "design/simlink_frame.h"
#include "design/simlink_netlist.h"
#include "design/simlink_session.h"
#include "design/simlink_strings.h"
#include "design/simlink_sheet.h"
#include "files/instances.h"
#include "foundation/ll.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "model/sheet.h"
#include "model/texts.h"
#include "files/sheetstore.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/wiredrag.h"
#include "graphics/colors.h"
#include "platform/input_platform.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kToolBrushColor = 0x0C000000;  // brush 12
constexpr uint32_t kRunWithOption = 0x20, kRunNetlistRegenerated = 0x01;
constexpr uint32_t kIconStepTicks = 4;
constexpr int32_t kBusyCursorId = 2001;  // the first of the busy cursors
constexpr int16_t kButtons[] = {kSpiceShowLabels, kSpicePlaceLabel, kSpiceRun, kSpiceUpdate, kSpiceGraphSignals};


// A fetch of simulator annotation is under way (no nested fetch).
bool gFetching = false;

bool LinkUp() {
    uint8_t connected = 0, server = 0;
    (void)GetSpiceLinkStatus(false, &connected, &server);  // without begin it cannot fail
    return connected || server;
}

SheetRecord* SheetOfBar(VXWindowRecordTag* window) {
    return window ? SheetOfWindow(window) : nullptr;
}

SpiceAnalysisRecord* SelectedAnalysis(ProjectRecord* project) {
    return project ? GetCurrentSpiceAnalysis(project) : nullptr;
}

void LoadMaps(ProjectRecord* project) {
    VXPushCursor(kBusyCursorId);
    (void)LoadProjectSpiceMaps(project);  // without maps no analysis counts as the sheet's
    VXPopCursor();
}

void FetchAnnotation(SheetRecord* sheet) {
    if (gFetching) return;
    gFetching = true;
    RetrieveSheetSpiceAnnotation(sheet);
    gFetching = false;
}

void SetRunIcon(VXWindowRecordTag* bar, int32_t icon) {
    TheRunningAnalysis().icon = icon;
    TheRunningAnalysis().iconTicks = VXGetTicks();
    if (bar) VXSetIconId(bar, kSpiceRun, icon);
}

// Run or pause the project's selected analysis.
void RunClicked(SheetRecord* sheet, VXWindowRecordTag* bar, bool option) {
    ProjectRecord* project = sheet->project;
    SpiceAnalysisRecord* analysis = SelectedAnalysis(project);
    VXSetButtonState(bar, kSpiceRun, 0);
    if (TheRunningAnalysis().id) {
        if (!analysis || TheRunningAnalysis().project != project || TheRunningAnalysis().id != GetSpiceAnalysisId(analysis)) return;
        if (!TheRunningAnalysis().paused || !option) {
            if (SpiceMessageRecord* m = BuildSpiceMessage(kSpiceRunAnalysis, project, GetSpiceAnalysisId(analysis),
                                                          option ? kRunWithOption : 0, 0, 0, false, nullptr, 0)) {
                (void)TransmitSpiceMessage(m, true);  // a message that cannot go leaves the state as it is
                DestroySpiceMessage(m);
            }
            return;
        }
    } else if (!analysis) {
        return;
    }
    uint32_t flags = option ? kRunWithOption : 0;
    if (GetProjectDirtyTime(project) >= project->settings.lastNetlistTime) {
        if (!RegenerateSpiceNetList(project, project->netlistRoot, false, nullptr)) return;
        flags |= kRunNetlistRegenerated;
    }
    if (SpiceMessageRecord* m = BuildSpiceMessage(kSpiceRunAnalysis, project, GetSpiceAnalysisId(analysis), flags, 0,
                                                  0, false, nullptr, 0)) {
        (void)TransmitSpiceMessage(m, true);  // the simulator's reply tells whether it runs
        DestroySpiceMessage(m);
    }
}

void AnalysisChosen(SheetRecord* sheet, int32_t index) {
    ProjectRecord* project = sheet->project;
    if (!project) return;
    SpiceAnalysisRecord* before = SelectedAnalysis(project);
    SetCurrentSpiceAnalysis(project, index);
    SpiceAnalysisRecord* chosen = SelectedAnalysis(project);
    UpdateSpiceToolsStatus(sheet);
    if (chosen != before && chosen && !(TheRunningAnalysis().project == project && TheRunningAnalysis().id == GetSpiceAnalysisId(chosen))) {
        InvalidateProjectSpiceAnalysis(project, chosen, true);
        UpdateSpiceParameters(project);
    }
}

void GraphChosen(SheetRecord* sheet, int32_t entry) {
    SpiceAnalysisRecord* analysis = SelectedAnalysis(sheet->project);
    if (!analysis) return;
    analysis->selectedGraph = uint16_t(entry);
    if (entry < 2) return;  // "New Graph" is sent with the first signal picked
    if (SpiceMessageRecord* m = BuildSpiceMessage(kSpiceAddGraph, sheet->project, GetSpiceAnalysisId(analysis),
                                                  GetSpiceAnalysisGraphId(analysis, entry - 2), 0, 0, false,
                                                  nullptr, 0)) {
        (void)TransmitSpiceMessage(m, true);  // nothing to undo when it cannot go
        DestroySpiceMessage(m);
    }
}

int32_t ControlAction(SheetRecord* sheet, VXWindowRecordTag* bar, const VXEventRecord* event) {
    CleanupSplitWireList(sheet);
    const auto item = int16_t(event->u.control.item);
    switch (item) {
    case kSpiceShowLabels: {
        const bool shown = !sheet->nodeValuesShown;
        SetSheetModifiedStatus(sheet, kSheetReasonDrawing | kSheetReasonForgetUndo);
        VXSetButtonState(bar, kSpiceShowLabels, shown);
        if (!shown) {
            ClearDrawingSelection(sheet);
            if (sheet->selectedTool == kSpicePlaceLabel) SetDrawingTool(sheet, kDrawToolSelect);
        }
        SetNodeValuesVisible(sheet, shown);
        return 1;
    }
    case kSpiceRun: RunClicked(sheet, bar, VXTestKey(kPlatformKeyOption)); return 1;
    case kSpiceUpdate: FetchAnnotation(sheet); return 1;
    case kSpiceAnalyses: AnalysisChosen(sheet, event->u.control.values.pair.second); return 1;
    case kSpiceGraphs: GraphChosen(sheet, event->u.control.values.pair.second); return 1;
    case kSpicePlaceLabel:
    case kSpiceGraphSignals:
        SetDrawViewFocus(sheet);
        SetDrawingTool(sheet, uint16_t(item));
        return 1;
    default: return 0;
    }
}

}  // namespace

void HideShowSpiceTools(SheetRecord* sheet) {
    const bool up = LinkUp();
    const auto one = [up](SheetRecord* s) {
        if (!s || !s->window) return;
        if (up && !s->simulatorTools) {
            VXWindowRecordTag* bar = VXCreateDividedChildWindow(nullptr, 0, 0, s->window, kSpiceToolBarHeight, 0, s,
                                                                DrawingSpiceToolsHandler);
            if (!bar) return;
            char text[256];
            for (int16_t button : kButtons)
                if (*RetrieveToolTipMessage(button, text)) VXAddToolTip(bar, -1, kVXControlToolTip, nullptr, button, text);
            if (GetFrontSheet(true) == s) {
                UpdateSpiceToolsStatus(s);
                VXSetWindowControlsActive(bar, true);
            }
            SetNodeValuesVisible(s, s->nodeValuesShown != 0);
        } else if (!up && s->simulatorTools) {
            if (s->selectedTool == kSpicePlaceLabel || s->selectedTool == kSpiceGraphSignals)
                SetDrawingTool(s, kDrawToolSelect);
            VXWindowRecordTag* bar = s->simulatorTools;
            s->simulatorTools = nullptr;
            VXDestroyWindow(bar);
            const uint8_t shown = s->nodeValuesShown;
            SetNodeValuesVisible(s, false);
            s->nodeValuesShown = shown;  // the labels come back with the link
        }
    };
    if (sheet) {
        one(sheet);
        return;
    }
    for (SheetRecord* s : SheetWindowSheets(true)) one(s);
}

int32_t DrawingSpiceToolsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SheetRecord* sheet = SheetOfBar(window);
    if (!sheet) return 0;
    switch (event->kind) {
    case kVXCreateEvent:
        sheet->simulatorTools = window;
        QZSetColor(window->graf.port, kToolBrushColor, true);
        VXSetWindowControlsActive(window, false);
        (void)VXLoadControls(window, kSpiceToolsTemplate, 0, 0, 0);  // a missing template leaves an empty bar
        VXSetIconId(window, kSpiceRun, TheRunningAnalysis().icon);
        UpdateSpiceToolsStatus(sheet);
        return 0;
    case kVXActivateEvent:
        if (NeedActivateInval(window, event)) {
            Rect all{};
            VXGetClientRect(window, &all);
            VXInvalRect(window, &all);
            if (event->u.activate.activated) UpdateSpiceToolsStatus(sheet);
        }
        VXSetWindowControlsActive(window, event->u.activate.activated != 0);
        return 0;
    case kVXTrackControlEvent:
        if (event->u.control.item == kSpiceAnalyses && sheet->project) {
            ProjectRecord* project = sheet->project;
            LoadMaps(project);
            for (int32_t i = 0; i < CountSpiceAnalyses(project); ++i)
                VXSetListItemEnabled(window, kSpiceAnalyses, i,
                                     IsAnalysisInstance(project, sheet->hierarchyContext, GetSpiceAnalysis(project, i)));
        }
        return 0;
    case kVXTrackingEndEvent:
        if (sheet->project)
            for (int32_t i = 0; i < CountSpiceAnalyses(sheet->project); ++i)
                VXSetListItemEnabled(window, kSpiceAnalyses, i, true);
        return 0;
    case kVXControlEvent: return ControlAction(sheet, window, event);
    default: return 0;
    }
}

void UpdateSpiceToolsStatus(SheetRecord* sheet) {
    VXWindowRecordTag* bar = sheet ? sheet->simulatorTools : nullptr;
    if (!bar) return;
    for (int16_t list : {kSpiceAnalyses, kSpiceGraphs}) {
        (void)VXSetListDrawingEnabled(bar, list, false);
        VXRemoveListItem(bar, list, 0, VXCountListItems(bar, list));
    }
    ProjectRecord* project = sheet->project;
    bool active = false;
    const bool analyses = project && CountSpiceAnalyses(project) > 0;
    if (!analyses) {
        VXAddListItem(bar, kSpiceAnalyses, "None", -1);
        VXAddListItem(bar, kSpiceGraphs, "None", -1);
    } else {
        LoadMaps(project);
        char name[kSpiceStringTextSize];
        for (int32_t i = 0; i < CountSpiceAnalyses(project); ++i) {
            GetSpiceAnalysisName(GetSpiceAnalysis(project, i), name);
            VXAddListItem(bar, kSpiceAnalyses, name, -1);
        }
        if (!SelectedAnalysis(project)) SetCurrentSpiceAnalysis(project, 0);
        SpiceAnalysisRecord* analysis = SelectedAnalysis(project);
        VXSelectListItem(bar, kSpiceAnalyses, project->analyses->current, true);
        const int32_t graphs = CountSpiceAnalysisGraphs(analysis);
        VXAddListItem(bar, kSpiceGraphs, "New Graph", -1);
        if (graphs > 0) VXAddListItem(bar, kSpiceGraphs, "-", -1);
        for (int32_t i = 0; i < graphs; ++i) {
            GetSpiceAnalysisGraphName(analysis, i, name);
            VXAddListItem(bar, kSpiceGraphs, name, -1);
        }
        if (analysis->selectedGraph > graphs + 1) analysis->selectedGraph = 0;
        if (analysis->graphRequest) {
            analysis->graphRequest = 0;
            if (graphs > 0) analysis->selectedGraph = uint16_t(graphs + 1);
        }
        VXSelectListItem(bar, kSpiceGraphs, analysis->selectedGraph, true);
        active = IsAnalysisInstance(project, sheet->hierarchyContext, analysis);
    }
    SetSpiceToolsActive(sheet, analyses, active);
    VXSetButtonState(bar, kSpiceShowLabels, sheet->nodeValuesShown);
    for (int16_t list : {kSpiceAnalyses, kSpiceGraphs}) (void)VXSetListDrawingEnabled(bar, list, true);
}

void SetNodeValuesVisible(SheetRecord* sheet, bool visible) {
    if (!sheet) return;
    sheet->nodeValuesShown = visible ? 1 : 0;
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link)
        if (text->kind == kTextKindSignal && (text->flags & kTextFlagNodeValue))
            SetTextVisibility(text, sheet->window != nullptr, visible);
}

void SetSpiceToolsActive(SheetRecord* sheet, bool hasAnalyses, bool active) {
    VXWindowRecordTag* bar = sheet ? sheet->simulatorTools : nullptr;
    if (!bar) return;
    if (sheet->selectedTool == kSpiceGraphSignals && !active) SetDrawingTool(sheet, kDrawToolSelect);
    VXSetItemEnabled(bar, kSpiceAnalyses, hasAnalyses);
    VXSetItemEnabled(bar, kSpiceUpdate, active);
    VXSetItemEnabled(bar, kSpiceGraphSignals, active);
    VXSetItemEnabled(bar, kSpiceGraphs, active);
    SpiceAnalysisRecord* selected = SelectedAnalysis(sheet->project);
    const bool ours = !TheRunningAnalysis().id || (selected && TheRunningAnalysis().project == sheet->project &&
                                       TheRunningAnalysis().id == GetSpiceAnalysisId(selected));
    VXSetItemEnabled(bar, kSpiceRun, active && ours);
}

void UpdateSpiceToolsForActiveSheet(ProjectRecord* project) {
    SheetRecord* sheet = GetFrontSheet(true);
    if (sheet && (!project || sheet->project == project)) UpdateSpiceToolsStatus(sheet);
}

void IdleSpiceToolBar(SheetRecord* sheet) {
    VXWindowRecordTag* bar = sheet ? sheet->simulatorTools : nullptr;
    if (!bar) return;
    if (TheRunningAnalysis().id && TheRunningAnalysis().project == sheet->project) {
        if (TheRunningAnalysis().paused || GetElapsedTicks(TheRunningAnalysis().iconTicks) < kIconStepTicks) return;
        const int32_t next = TheRunningAnalysis().icon < kSpiceRunFirstIcon - 1 || TheRunningAnalysis().icon >= kSpiceRunLastIcon
                                 ? kSpiceRunFirstIcon
                                 : TheRunningAnalysis().icon + 1;
        SetRunIcon(bar, next);
        return;
    }
    if (TheRunningAnalysis().id) return;
    if ((sheet->modifiedFlags & kSheetModifiedSimulatorAnnotation) && !gFetching) {
        FetchAnnotation(sheet);
        if (sheet->project && VXGetNextVisibleWindow(nullptr, 7, false) == sheet->window)
            UpdateSpiceParameters(sheet->project);
        sheet->modifiedFlags &= uint8_t(~kSheetModifiedSimulatorAnnotation);
    }
}

void SetRunningAnalysis(ProjectRecord* project, SpiceAnalysisRecord* analysis, bool paused) {
    const bool started = !TheRunningAnalysis().id && project && analysis;
    if (project && analysis) {
        TheRunningAnalysis().project = project;
        TheRunningAnalysis().id = GetSpiceAnalysisId(analysis);
        TheRunningAnalysis().paused = paused;
    } else {
        TheRunningAnalysis() = RunningAnalysis{nullptr, 0, false, TheRunningAnalysis().iconTicks, TheRunningAnalysis().icon};
    }
    SheetRecord* sheet = GetFrontSheet(true);
    VXWindowRecordTag* bar = sheet ? sheet->simulatorTools : nullptr;
    const bool ours = TheRunningAnalysis().id && TheRunningAnalysis().project == (sheet ? sheet->project : nullptr);
    if (bar && (!ours || TheRunningAnalysis().paused || started)) SetRunIcon(bar, ours ? kSpiceRunFirstIcon : kSpiceRunIdleIcon);
    if (!bar && !ours) TheRunningAnalysis().icon = kSpiceRunIdleIcon;
    if (bar) {
        bool enabled = VXGetItemEnabled(bar, kSpiceUpdate) != 0;
        if (project) enabled = enabled && sheet->project == project && SelectedAnalysis(project) == analysis;
        VXSetItemEnabled(bar, kSpiceRun, enabled);
    }
    if (sheet) CalcSheetIdleInterval(sheet);
    // The animation starts at the next idle event.
    if (started) TheRunningAnalysis().iconTicks = VXGetTicks() - kIconStepTicks;
}

bool IsAnalysisInstance(ProjectRecord* project, SheetInstance* instance, SpiceAnalysisRecord* analysis) {
    if (!project || !instance || !analysis) return false;
    if (LoadProjectSpiceMaps(project) != 0) return false;
    const uint32_t root = project->netlistRoot;
    if (root == 0 || root == instance->id) return true;
    return IsDescendantInstance(project, instance, root);
}

int32_t SpiceRunIcon() { return TheRunningAnalysis().icon; }

void AddSpiceToolBarHooks(SpiceWindowHooks& windows, SpiceSessionHooks& session) {
    windows.showSimulatorTools = [](bool) { HideShowSpiceTools(nullptr); };
    session.updateToolbar = UpdateSpiceToolsForActiveSheet;
    session.setRunning = [](ProjectRecord* project, uint32_t key, bool running, bool paused) {
        SetRunningAnalysis(running ? project : nullptr, running && project ? FindSpiceAnalysis(project, key) : nullptr,
                           paused);
    };
}

}  // namespace plexa
