// The Run Script and Edit Script commands.
#include "sheeteditor/scriptcommands.h"

#include <cstring>
#include <string>
#include <utility>

#include "design/report_compiler.h"
#include "design/report_interp.h"
#include "design/simlink_netlist.h"
#include "files/project.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/statustext.h"
#include "model/sheet.h"
#include "sheeteditor/spicewindows.h"
#include "symboleditor/filesympins.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr const char* kNoProject =
    "The sheet's project file must be opened before this command can be used.";
constexpr const char* kScriptNotFound = "The selected script file could not be found.";
constexpr uint16_t kScriptsDialogFlags = kVXPlaceThird | kVXDialogOnFrontScreen;
constexpr int32_t kBundleIdSize = 256;
// Script files in a file panel: text files.
constexpr const char* kScriptFileTypes = "TEXT";

ScriptCommandHooks gScriptHooks;

struct ScriptsDialogState {
    ProjectReportOptions options{};
    bool fromSheet = false;
    bool hasTarget = false;
    bool confirmed = false;
};
ScriptsDialogState* gScriptsDialog = nullptr;

bool HasTarget(const char* bundleId) {
    return bundleId[0] != 0 && std::strcmp(bundleId, kNoTargetBundleId) != 0;
}

// The script's name without ".SXP" or ".txt".
std::string ScriptTitle(const FileSpec& file) {
    std::string name = file.name;
    for (const char* extension : {".SXP", ".sxp", ".txt"}) {
        const size_t length = std::strlen(extension);
        if (name.size() > length && name.compare(name.size() - length, length, extension) == 0) {
            name.resize(name.size() - length);
            break;
        }
    }
    return name;
}

bool FileThere(const FileSpec& file) {
    bool folder = false;
    return VXFileExists(&file, &folder) && !folder;
}

std::string PathOf(const FileSpec& file) {
    char path[kSpiceCircuitPathSize];
    uint32_t needed = 0;
    if (PathNameFromFileSpec(&file, false, path, sizeof path, &needed) != status::kNoErr ||
        needed >= sizeof path)
        return {};
    return std::string(path, needed);
}

// An empty application is none: the desktop chooses.
OSStatus OpenDocument(const std::string& path, const char* application) {
    if (application && !*application) application = nullptr;
    if (gScriptHooks.openDocument) return gScriptHooks.openDocument(path.c_str(), application);
    return VXLaunchDocument(path.c_str(), application, true, false);
}

const char* TextEditor() {
    const char* editor = gScriptHooks.textEditorApplication ? gScriptHooks.textEditorApplication()
                                                            : nullptr;
    return editor && editor[0] ? editor : nullptr;
}

// The output of a run opened: with the script's target application, else (none, or not on this
// desktop) with the user's text editor, else with the desktop's own choice; told when nothing
// opens it.
void OpenScriptOutput(const FileSpec& output, const char* bundleId) {
    std::string application;
    if (HasTarget(bundleId) && VXFindAppWithBundleIdentifier(bundleId, &application) != status::kNoErr)
        application.clear();  // not installed: the text editor opens the output
    if (application.empty())
        if (const char* editor = TextEditor()) application = editor;
    const std::string path = PathOf(output);
    if (OpenDocument(path, application.empty() ? nullptr : application.c_str()) == status::kNoErr) return;
    const std::string message = "The output \"" + std::string(output.name) +
                                "\" was written, but no application could open it. Choose a text editor "
                                "in Preferences, or open the file yourself:\n" + path;
    VXDisplayMessage(message.c_str());
}

// The entry's file, found again through a file panel when it is missing; false when there is
// none to run.
bool FindScript(int32_t* index, FileSpec* file, char* bundleId) {
    if (!gScriptHooks.getScript || !gScriptHooks.getScript(*index, file, bundleId)) return false;
    if (FileThere(*file)) return true;
    if (VXStandardAlert(kScriptNotFound, "", "Browse...", "Cancel") != kVXAlertFirstButton)
        return false;
    FileSpec chosen = *file;
    if (!VXAskFileOpen("Choose Script", kScriptFileTypes, kVXPanelChoosePrompt, &chosen, nullptr))
        return false;
    const int32_t used = gScriptHooks.replaceScript ? gScriptHooks.replaceScript(*index, &chosen) : -1;
    if (used < 0 || !gScriptHooks.getScript(used, file, bundleId)) return false;
    *index = used;
    return FileThere(*file);
}

void ShowOptions(VXWindowRecordTag* dialog, const ScriptsDialogState& s) {
    VXSelectRadioButton(dialog, s.fromSheet && s.options.startAtFrontSheet ? kScriptCurrentSheetItem
                                                                           : kScriptWholeProjectItem);
    VXSetItemEnabled(dialog, kScriptCurrentSheetItem, s.fromSheet);
    VXSetItemChecked(dialog, kScriptDescendItem, s.options.descend);
    VXSetItemInt(dialog, kScriptLevelLimitItem, s.options.levelLimit);
    VXSetItemChecked(dialog, kScriptOpenOutputItem, s.options.openOutput);
    VXSetItemEnabled(dialog, kScriptOpenOutputItem, s.hasTarget);
}

void ReadOptions(VXWindowRecordTag* dialog, ScriptsDialogState* s) {
    VXEnforceItemIntRange(dialog, kScriptLevelLimitItem, 0, kScriptLevelLimitMax, true);
    s->options.startAtFrontSheet =
        VXGetSelectedRadioButton(dialog, kScriptWholeProjectItem) == kScriptCurrentSheetItem;
    s->options.descend = VXGetItemChecked(dialog, kScriptDescendItem) != 0;
    s->options.levelLimit = uint16_t(VXGetItemInt(dialog, kScriptLevelLimitItem));
    s->options.openOutput = VXGetItemChecked(dialog, kScriptOpenOutputItem) != 0;
}

}  // namespace

void SetScriptCommandHooks(const ScriptCommandHooks& hooks) { gScriptHooks = hooks; }
const ScriptCommandHooks& GetScriptCommandHooks() { return gScriptHooks; }

int32_t ReportScriptsDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event) {
    ScriptsDialogState* s = gScriptsDialog;
    if (!s) return 0;
    if (event->kind == kVXCreateEvent) {
        ShowOptions(dialog, *s);
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        ReadOptions(dialog, s);
        s->confirmed = true;
    }
    return 0;
}

bool RunReportScriptsDialog(const char* title, ProjectReportOptions* options, bool fromSheet,
                            bool hasTarget) {
    ScriptsDialogState state;
    state.options = *options;
    state.fromSheet = fromSheet;
    state.hasTarget = hasTarget;
    ScriptsDialogState* saved = std::exchange(gScriptsDialog, &state);
    VXWindowRecordTag* dialog = VXLoadDialogWindow(kReportScriptsTemplate, 3, 0, kScriptsDialogFlags,
                                                   0, ReportScriptsDialogHandler, nullptr);
    if (dialog) {
        VXSetWindowTitle(dialog, title ? title : "");
        VXRunModalWindow(dialog);
    }
    gScriptsDialog = saved;
    if (!state.confirmed) return false;
    options->startAtFrontSheet = state.options.startAtFrontSheet;
    options->descend = state.options.descend;
    options->levelLimit = state.options.levelLimit;
    if (hasTarget) options->openOutput = state.options.openOutput;
    return true;
}

namespace {
// The window of the script that runs, with its Stop button; none between runs.
void* gScriptRunWindow = nullptr;
}  // namespace

bool ScriptCancelKey() {
    return (gScriptRunWindow && SpiceWaitWindowIdle(gScriptRunWindow)) || VXTestCancelKey();
}

void AlertScriptError(const ScriptErrorReport* report) {
    std::string message = report->message ? report->message : "";
    if (report->kind == ScriptErrorKind::kStatus || message.empty()) {
        char reason[256];
        message = StatusReportText(report->code, VXGetErrorString(report->code, reason));
    }
    std::string where = report->fileName ? report->fileName : "";
    if (report->line > 0) where = "Line " + std::to_string(report->line) + " of \"" + where + "\"";
    if (report->line > 0 && report->sourceLine && *report->sourceLine) where += ":\n" + std::string(report->sourceLine);
    VXStandardAlert(message.c_str(), where.c_str(), "OK", "");
}

void RunScript(ProjectRecord* project, SheetRecord* sheet, int32_t index) {
    if (!project && sheet) project = sheet->project;
    if (!project) {
        VXDisplayMessage(kNoProject);
        return;
    }
    FileSpec script{};
    char bundleId[kBundleIdSize] = {};
    if (!FindScript(&index, &script, bundleId)) return;
    if (!VXTestKey(kScriptOptionKey) &&
        !RunReportScriptsDialog(ScriptTitle(script).c_str(), &project->reportOptions,
                                sheet != nullptr, HasTarget(bundleId)))
        return;
    SynchronizeProjectFileSymbols(project);
    Handle tokens = nullptr;
    OSStatus err = TokenizeScript(project, &script, &tokens);
    if (err != status::kNoErr || !tokens) {
        if (tokens) MemFree(tokens);
        VXErrorReport(err);  // nothing for -128: the compiler showed the error
        return;
    }
    const ProjectReportOptions& options = project->reportOptions;
    SheetInstance* root =
        options.startAtFrontSheet && sheet ? sheet->hierarchyContext : nullptr;
    FileSpec output{};
    // While it runs, a window with a Stop button (the simulator's wait window) and the interrupt
    // key (Escape, or Ctrl and period) stop the script: the interpreter asks between the rounds of
    // its loops.
    gScriptRunWindow = OpenSpiceWaitWindow(ScriptTitle(script).c_str(), kScriptRunningMessage);
    err = ExecuteReportScript(project, root, options.descend != 0,
                              ScriptRunLevelLimit(options.levelLimit, options.descend != 0),
                              tokens, bundleId, &script, &output);
    CloseSpiceWaitWindow(gScriptRunWindow);
    gScriptRunWindow = nullptr;
    MemFree(tokens);
    if (err != status::kNoErr) {
        VXErrorReport(err);
        return;
    }
    if (options.openOutput && output.name[0] && FileThere(output)) OpenScriptOutput(output, bundleId);
}

void EditScriptFile(int32_t index) {
    FileSpec script{};
    char bundleId[kBundleIdSize] = {};
    if (!gScriptHooks.getScript || !gScriptHooks.getScript(index, &script, bundleId) ||
        !FileThere(script)) {
        VXDisplayMessage(kScriptNotFound);
        return;
    }
    std::string application;
    if (const char* editor = TextEditor()) {
        application = editor;
    } else {
        FileSpec chosen{};
        if (!VXAskFileOpen("Choose Application", "APPL", kVXPanelChoosePrompt, &chosen, nullptr))
            return;
        application = PathOf(chosen);
    }
    VXErrorReport(OpenDocument(PathOf(script), application.c_str()));
}

}  // namespace plexa
