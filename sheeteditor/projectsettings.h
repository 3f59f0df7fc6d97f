// The project settings dialog (UI template 1009): a tab control over five panels, each filled from
// its own template the first time it is shown, that edits the dialog record of files/projectlife.h
// (a copy of the settings, attributes and search paths). Leaving a panel reads its controls back
// into the copy; OK puts the copy into the project, Cancel leaves the project as it was, settings
// imported from another project included.
//
// This module owns the dialog's state while it runs, its path list editor, and the panel shown
// last (`gLastProjInfoTab`).
#pragma once

#include <cstdint>

#include "sheeteditor/sheeteditorstate.h"

namespace plexa {

struct ProjectRecord;
struct ProjectSettingsDialog;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kProjectSettingsDialogTemplate = 1009;
constexpr uint16_t kProjectPanelTemplateBase = 2060;  // panels 0, 1, 2; panel 4 is 2063
constexpr uint16_t kProjectPathsPanelTemplate = 2063;
constexpr int16_t kProjectTabsItem = 3, kProjectImportItem = 4;
// Panel 0: names.
constexpr int16_t kProjInstanceNamingItem = 10, kProjNamePlaceItem = 11, kProjSeparatorItem = 12,
                  kProjRankLimitItem = 17, kProjFileSymbolWarningsItem = 19;
// Panel 1: annotation.
constexpr int16_t kProjAnnotInProjectItem = 30, kProjAutoAnnotateItem = 31, kProjNoSlotSuffixItem = 32,
                  kProjQualifyDesignatorsItem = 33;
// Panel 2: signals.
constexpr int16_t kProjSignalScopeItem = 40, kProjGlobalFlaggedItem = 41, kProjQualifyAllItem = 42,
                  kProjQualifyConflictingItem = 43, kProjQualifySharedItem = 44;
// Panel 4: search paths.
constexpr int16_t kProjPathListItem = 50, kProjAddPathItem = 51, kProjChangePathItem = 52, kProjDeletePathItem = 53,
                  kProjPathUpItem = 54, kProjPathDownItem = 55;
constexpr int32_t kProjectPanelCount = 5;
constexpr const char* kImportSettingsTitle = "Import Project Settings";
constexpr const char* kImportSettingsPrompt = "Project file";

// The panel shown when the dialog last ended.
extern int32_t& gLastProjInfoTab;

// Runs the dialog; true when it ended with OK (the project then has the dialog's settings; the
// caller writes block 4). A new project's dialog starts on panel 0.
bool EditProjectSettings(ProjectRecord* project, bool isNew);

// The dialog title: "%s Settings" with the project's title, cut to 31 characters and "..." when
// it has 32 or more. out holds at least 64 bytes.
void ProjectSettingsTitle(const char* projectTitle, char* out, int32_t size);
// A settings popup: filled with the choices when empty, the entry shown selected; and the entry
// chosen (0 when none).
void FillPopup(VXWindowRecordTag* w, int16_t item, const char* const* choices, int32_t count, int32_t selected);
int32_t Chosen(VXWindowRecordTag* w, int16_t item);

int32_t ProjectSettingsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t ProjectTabPanelHandler(VXWindowRecordTag* window, VXEventRecord* event);
// While the dialog runs: its record, and the panel's controls as they stand.
ProjectSettingsDialog* GetProjectSettingsDialog();
VXWindowRecordTag* GetProjectSettingsPanels();
struct PathListEditor* GetProjectSettingsPathEditor();

// For each visible sheet window whose sheet belongs to the project: with resetContexts its
// context is set again to its instance, otherwise its macro texts are rebuilt.
void UpdateProjectSheetText(ProjectRecord* project, bool resetContexts);

}  // namespace plexa
