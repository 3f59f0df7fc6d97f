// The Run Script and Edit Script commands: a report script chosen from the scripts list of the
// preferences is found (or found again through a file panel), its run settings confirmed in the
// report-scripts dialog (UI template 1036), compiled and run over the project, and its output
// opened; or the script is opened in the user's text editor.
//
// The scripts list and the user's text editor belong to the preferences of the application shell,
// which installs the hooks below; this module owns nothing beyond the dialog's state while it runs.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ProjectRecord;
struct ProjectReportOptions;
struct ScriptErrorReport;
struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kReportScriptsTemplate = 1036;
constexpr int16_t kScriptWholeProjectItem = 3, kScriptCurrentSheetItem = 4,
                  kScriptDescendItem = 5, kScriptLevelLimitItem = 6, kScriptOpenOutputItem = 9;
// Held while a script is chosen, it runs at once with the stored settings.
constexpr uint16_t kScriptOptionKey = 58;
// Shown while a script runs, in a window whose Stop button (or Escape) stops it.
constexpr const char* kScriptRunningMessage = "Running the report script...";
// The largest level limit.
constexpr int32_t kScriptLevelLimitMax = 9999;

struct ScriptCommandHooks {
    // Entry `index` of the scripts list: its file and its target application's bundle id (at
    // most 255 bytes; "****" for none). False when there is no such entry. Optional, with
    // replaceScript and textEditorApplication: the scripts list and the text editor's choice are
    // the preferences', which are not built yet; until then the list is empty (a run says the
    // script is not found) and documents open with the desktop's choice.
    bool (*getScript)(int32_t index, FileSpec* file, char* bundleId) = nullptr;
    // The file chosen for a missing entry replaces it (or, when another entry already has that
    // name, that entry is used); the Scripts menu is rebuilt and the preferences marked changed.
    // Returns the index of the entry to use, -1 when the list could not take it.
    int32_t (*replaceScript)(int32_t index, const FileSpec* file) = nullptr;
    // The path of the user's text editor application; empty or none for the desktop's choice.
    const char* (*textEditorApplication)() = nullptr;
    // Opens a document with an application (none: the desktop's choice).
    OSStatus (*openDocument)(const char* path, const char* application) = nullptr;
};
void SetScriptCommandHooks(const ScriptCommandHooks& hooks);
const ScriptCommandHooks& GetScriptCommandHooks();

// The report-scripts dialog over the project's run settings; true (and the settings stored) when
// it ended with OK.
bool RunReportScriptsDialog(const char* title, ProjectReportOptions* options, bool fromSheet,
                            bool hasTarget);
int32_t ReportScriptsDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event);

// The Run Script command over the project (else the sheet's project) with entry `index`.
void RunScript(ProjectRecord* project, SheetRecord* sheet, int32_t index);
// The report interpreter's stop question while a script runs from the editor: the running
// script's Stop button, or the interrupt key (Escape, or Ctrl and period).
bool ScriptCancelKey();
// A script's compile error in an alert: the compiler's message, and below it the file, the line
// and the line's text.
void AlertScriptError(const ScriptErrorReport* report);
// The Edit Script command with entry `index`.
void EditScriptFile(int32_t index);

}  // namespace plexa
