// The core composition: annotation, reports, ECO and the simulator link.
#include <cstdio>
#include <string>
#include <vector>

#include "app/root_quiet.h"
#include "app/root_tables.h"
#include "design/ecodiff.h"

namespace plexa {

namespace {

// The ECO log without its window: a line naming the log, then its lines, on standard error. A
// log that asks whether to go on is answered No; one that is only shown is done with.
bool QuietECOLog(const char* path, int16_t, bool modal) {
    if (gECOLog.open && !gECOLog.text.empty()) {
        QuietMessage((std::string("the ECO log of ") + (path ? path : "the project") + ":").c_str());
        std::fputs(gECOLog.text.c_str(), stderr);
    }
    if (!modal) DestroyECOLog();
    return false;
}

// The simulator's dialog (title, message, explanation, buttons): its message, and the first
// button's answer, as an alert gives when Return is pressed.
int32_t QuietSimulatorDialog(const std::vector<std::string>& strings) {
    const std::string& message = strings.size() > 1 && !strings[1].empty() ? strings[1]
                                 : strings.empty()                         ? std::string()
                                                                           : strings[0];
    QuietMessage(message.c_str());
    return 1;
}

// A script's compile error: its place, its line and a caret under the token, on standard error.
void QuietScriptError(const ScriptErrorReport* report) { std::fputs(FormatScriptError(*report).c_str(), stderr); }

}  // namespace

void ComposeDesignForCore(CoreHookTables& t) {
    AddAnnotationServices(t.annotation);
    t.annotation.showMessage = QuietIgnore<const char*>;
    t.annotation.busy = QuietIgnore<>;
    t.annotation.reportError = QuietErrorReport;

    // A script's messages go to standard error, its questions take the second button and its
    // save panels choose nothing.
    t.reports.alert = QuietMessage;
    t.reports.ask = QuietDecline<const char*, const char*, const char*>;
    t.reports.askSave = QuietDecline<const char*, const char*, const char*, char*, int32_t>;
    t.reports.cancelKey = QuietDecline<>;
    t.scriptError = QuietScriptError;

    AddECOServices(t.eco, t.backAnnotation);
    // The file symbols are brought up to date through the symbol editor, which only the
    // editor's entry point has.
    t.eco.synchFileSymbols = QuietIgnore<ProjectRecord*>;
    t.eco.beep = QuietIgnore<>;
    t.eco.showLog = QuietECOLog;
    t.eco.importDialog = QuietProceed<const std::string&, bool*>;
    t.eco.reportError = QuietErrorReport;
    t.backAnnotation.alert = QuietMessage;
    t.backAnnotation.showMessage = QuietIgnore<const char*>;
    t.backAnnotation.advanceBusy = QuietIgnore<>;

    AddSpiceAnalysisServices(t.projects);
    AddSpiceSheetServices(t.spiceSession, t.spiceLink, t.reports, t.symbolTexts);
    AddSpiceLinkServices(t.spiceLink, t.spiceSession);
    // Without preferences the link is off and local; without windows nothing is waited on in one.
    t.spiceLink.updateSetupStatus = QuietIgnore<>;
    t.spiceLink.linkLost = QuietIgnore<>;
    t.spiceLink.linkOnPreference = QuietDecline<>;
    t.spiceLink.setLinkOnPreference = QuietIgnore<bool>;
    t.spiceLink.differentComputer = QuietDecline<>;
    t.spiceLink.errorReport = QuietErrorReport;
    t.spiceLink.advanceBusyCursor = QuietIgnore<>;
    t.spiceLink.openWaitWindow = [](const char*, const char*) -> void* { return nullptr; };
    t.spiceLink.waitWindowIdle = QuietDecline<void*>;
    t.spiceLink.closeWaitWindow = QuietIgnore<void*>;
    t.spiceSession.updateParameters = QuietIgnore<ProjectRecord*>;
    // A program without windows acts in the foreground for whoever started it.
    t.spiceSession.applicationActive = QuietProceed<>;
    t.spiceSession.showMessage = QuietMessage;
    t.spiceSession.alert = QuietSimulatorDialog;
    t.spiceNetlist.alert = QuietMessage;
    t.spiceNetlist.errorReport = QuietErrorReport;
    t.spiceNetlist.applicationActive = QuietProceed<>;
    t.spiceNetlist.confirmDiscard = QuietDecline<const char*>;
    // No sheet is shown in a window.
    t.spiceSheets.visibleSheets = [](ProjectRecord*) { return std::vector<SheetRecord*>(); };
    t.spiceSheets.frontSheet = []() -> SheetRecord* { return nullptr; };
    t.spiceSheets.redraw = QuietIgnore<SheetRecord*>;
    t.spiceSession.beep = QuietIgnore<>;
    t.dxfExport.progressMessage = QuietIgnore<const char*>;
}

}  // namespace plexa
