// The converter's start-up, menus, commands and shell requests.
#include "converter/app.h"

#include <cstdio>
#include <deque>
#include <string>

#include "app/root.h"
#include "converter/driver.h"
#include "converter/options.h"
#include "converter/report.h"
#include "converter/shared_builds.h"
#include "converter/v36project.h"
#include "foundation/filespec.h"
#include "foundation/localized.h"
#include "model/drawglobals.h"
#include "model/imagelist.h"
#include "model/texts.h"
#include "model/themes.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

const VXMenuDefItem kFileItems[] = {
    {kVXMenuItem, "Convert...", kCommandConvert, "o"},
    {kVXMenuSeparator, "-", 0, nullptr},
    {kVXMenuItem, "Options...", kCommandOptions, "i"},
    {0, nullptr, 0, nullptr},
};
const VXMenuDef kFileMenu = {kCommandFileMenu, "File", kFileItems};

const VXMenuDefItem kEditItems[] = {
    {kVXMenuItem, "Cut", 302, "x"},      {kVXMenuItem, "Copy", 303, "c"},
    {kVXMenuItem, "Paste", 304, "v"},    {kVXMenuItem, "Clear", 305, nullptr},
    {kVXMenuItem, "Select All", kCommandSelectAll, "a"},
    {0, nullptr, 0, nullptr},
};
const VXMenuDef kEditMenu = {kCommandEditMenu, "Edit", kEditItems};

const VXMenuDef* const kBarMenus[] = {&kFileMenu, &kEditMenu, nullptr};
const VXMenuBarDef gDefaultMenuBarDef = {1, kBarMenus};

// The panel's remembered-folder index and the application-menu items the converter has not.
constexpr int32_t kConvertPanelFolder = 3;
constexpr uint16_t kDroppedApplicationItems[] = {103, 104};

// Alerts waiting until one can be shown: while another of them is up, or while a termination
// signal waits for the quit (modal runs then end at once).
struct PendingAlert {
    std::string message, informative;
};
std::deque<PendingAlert> gPendingAlerts;
bool gShowingAlerts = false;
bool gRetryPosted = false;
constexpr double kAlertRetrySeconds = 0.2;

void ShowPendingAlerts() {
    if (gShowingAlerts) return;  // the loop below shows it
    if (VXTerminationSignalPending()) {
        if (!gRetryPosted && !gPendingAlerts.empty()) {
            gRetryPosted = true;
            VXPostDeferredAction([](void*) {
                gRetryPosted = false;
                ShowPendingAlerts();
            }, nullptr, kAlertRetrySeconds);
        }
        return;
    }
    gShowingAlerts = true;
    while (!gPendingAlerts.empty()) {
        const PendingAlert alert = gPendingAlerts.front();
        gPendingAlerts.pop_front();
        VXStandardAlert(alert.message.c_str(), alert.informative.c_str(), "OK", nullptr);
    }
    gShowingAlerts = false;
}

void TellUser(const std::string& message, const std::string& informative) {
    gPendingAlerts.push_back({message, informative});
    ShowPendingAlerts();
}

void ConvertFiles() {
    char prompt[256];
    VXLoadStringEx(kStrConvertFiles, 0, prompt, sizeof prompt);
    SchError(SelectAndProcessFiles(kFilterV36Documents, kConvertPanelFolder, prompt, "", nullptr,
                                   nullptr));
}

}  // namespace

int32_t AppStartup() {
    vx.quitProc = QuitHandler;
    VXSetShellMessageProcs(ShellApplicationLaunchedHandler, ShellOpenFileHandler,
                           ShellPrintFileHandler, ShellQuitHandler, ShellDroppedFileHandler);
    VXMenuBar* bar = VXBuildMenuBar(&gDefaultMenuBarDef);
    VXSetCurrentMenuBar(bar);
    VXDestroyMenuBar(bar);
    VXSetPrepCommandProc(nullptr, PrepCommand);
    VXSetGlobalCommandProc(DoCommand);
    for (uint16_t item : kDroppedApplicationItems) VXDeleteApplicationMenuItem(item);
    if (StartCore("plexa-convert") != 0) return 0;
    gGenFlags |= kGenColorDrawing | kGenPortMarkers;
    ConverterReportProcs report;
    report.error = SchError;
    report.outcome = ShowConversionOutcome;
    SetConverterReportProcs(report);
    SetFindSheetPanel(FindSheetWithPanel, nullptr);
    LoadConversionOptions();
    CreateConverterWindow();
    return 1;
}

int32_t PrepCommand(VXPrepCommandRecord* record) {
    switch (record->command) {
        case kCommandAbout:
        case kCommandPreferences:
        case kCommandQuit:
        case kCommandFileMenu:
        case kCommandConvert:
        case kCommandOptions:
            record->enabled = record->modalInFront ? 0 : 1;
            return 1;
        case kCommandEditMenu:
            // The Edit menu serves the text fields of dialogs only.
            record->enabled = record->modalInFront ? 1 : 0;
            return 1;
        case kCommandUndo:
        case kCommandSelectAll:
            record->enabled = 0;
            return 1;
        default:
            return 0;  // the rest of the chain decides (Cut to Clear by the focused text field)
    }
}

int32_t DoCommand(VXWindowRecordTag*, VXEventRecord* event) {
    if (!event || event->kind != kVXCommandEvent) return 0;
    switch (event->u.command.command) {
        case kCommandAbout:
            ShowAboutDialog();
            return 1;
        case kCommandPreferences:
        case kCommandOptions:
            ShowOptionsDialog();
            return 1;
        case kCommandConvert:
            ConvertFiles();
            return 1;
        default:
            return 0;
    }
}

int32_t QuitHandler() { return VXCloseAllWindows() ? 1 : 0; }

void ShellApplicationLaunchedHandler() { ShowAboutDialog(); }

int32_t ShellOpenFileHandler(const char* path, int16_t, int16_t) {
    ReportConversion(ConvertDocument(path ? path : ""));
    return 1;
}

int32_t ShellDroppedFileHandler(const char* path, int16_t index, int16_t count) {
    return ShellOpenFileHandler(path, index, count);
}

int32_t ShellPrintFileHandler(const char*, int16_t, int16_t) { return 1; }

int32_t ShellQuitHandler() {
    DispatchCommand(nullptr, kCommandQuit, false, false, false);
    return 1;
}

// Written files are in the log already.
void ShowConversionOutcome(const ConversionReport& report) {
    AddConverterWindowResult(report);
    const bool failed = report.outcome == ConversionOutcome::kFailed;
    if (!failed && report.outcome != ConversionOutcome::kSkipped) return;
    std::fprintf(stderr, "plexa-convert: %s\n", FormatConversionReport(report).c_str());
    if (!failed && !report.claimed) return;
    const size_t slash = report.source.rfind('/');
    const std::string name = slash == std::string::npos ? report.source : report.source.substr(slash + 1);
    TellUser("\"" + name + (failed ? "\" could not be converted." : "\" was not converted."),
             report.reason + "\n\n" + report.source);
}

void SchError(OSStatus code) {
    if (code == status::kNoErr || code == status::kUserCancelled) return;
    const std::string text = ConversionFailureText(code);
    std::fprintf(stderr, "plexa-convert: Error: %s\n", text.c_str());
    TellUser("Error:  " + text, "");
}

}  // namespace plexa
