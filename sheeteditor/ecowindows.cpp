// The ECO log window, the import dialog and the ECO commands. The log window is a dialog built
// from its message panel's template; the log's text is shown by a text display view in a child
// window over the panel's text item, reading a copy of the log kept in a stream of its own.
#include "sheeteditor/ecowindows.h"

#include <strings.h>

#include <string>
#include <utility>

#include "design/ecodiff.h"
#include "design/ecoexport.h"
#include "design/ecostate.h"
#include "design/wasis.h"
#include "files/project.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "sheeteditor/sheeteditorstate.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_textview.h"
#include "toolkit/vx_window.h"

namespace plexa {

bool& gECOProceed = gSheetEditorState.ecoProceed;

namespace {

constexpr int32_t kLogFontKind = 4;

struct ECOLogWindowRecord {
    int32_t windowID = 0;
    int32_t textID = 0;
    std::string title;
    DirectoryRef folder{};
    Handle bytes = nullptr;
    StreamRecord* stream = nullptr;
    size_t shown = 0;  // bytes of the log shown in the view
};

ECOLogWindowRecord* gLogWindow = nullptr;

std::string PathOf(const FileSpec& spec) {
    std::string path;
    if (CreateURLFromFileSpec(&spec, false, &path)) return std::string();
    return CreatePathURLFromReferenceURL(path);
}

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The log's text that the view does not show yet.
void ShowNewLogText(ECOLogWindowRecord* log) {
    VXWindowRecordTag* text = VXGetWindowFromId(log->textID);
    if (!text || gECOLog.text.size() <= log->shown) return;
    (void)AppendTextDisplayData(text, gECOLog.text.data() + log->shown, int32_t(gECOLog.text.size() - log->shown), false);  // out of memory leaves the log text unshown
    log->shown = gECOLog.text.size();
}

void FreeLogWindowRecord() {
    ECOLogWindowRecord* log = std::exchange(gLogWindow, nullptr);
    if (!log) return;
    if (log->stream) DisposeStream(log->stream);
    if (log->bytes) MemFree(log->bytes);
    delete log;
}

struct ImportDialogState {
    std::string description;
    bool preview = false;
    bool confirmed = false;
};
ImportDialogState* gImport = nullptr;

}  // namespace

VXWindowRecordTag* GetECOLogWindow() { return gLogWindow ? VXGetWindowFromId(gLogWindow->windowID) : nullptr; }

int32_t ECOLogWindowHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    ECOLogWindowRecord* log = gLogWindow;
    if (!log || window->windowID != log->windowID) return 0;
    switch (event->kind) {
        case kVXControlEvent:
            if (event->u.control.item == kECOLogProceedItem) {
                gECOProceed = true;
                VXEndDialog(window, kECOLogProceedItem);
                return 1;
            }
            if (event->u.control.item == kECOLogCloseItem) {
                VXEndDialog(window, kECOLogCloseItem);
                return 1;
            }
            return 0;
        case kVXCloseEvent:
            // Text logged while the window was up makes it a modified document.
            if (gECOLog.text.size() > log->shown) {
                ShowNewLogText(log);
                if (VXStandardAlert("Save the ECO log before closing?", "", "Save", "Don't Save") ==
                        kVXAlertFirstButton &&
                    SaveECOLogWindow(window) == kUserCancelled)
                    return 1;
            }
            VXEndDialog(window, kECOLogCloseItem);
            return 1;
        case kVXDestroyEvent:
            DestroyECOLog();
            FreeLogWindowRecord();
            return 0;
        default:
            return 0;
    }
}

bool ShowECOLog(const char* path, int16_t panel, bool modal) {
    if (!gECOLog.open || GetECOLogWindow()) return true;
    auto* log = new ECOLogWindowRecord;
    gLogWindow = log;
    log->title = FileName(path ? path : "") + ".LOG";
    FileSpec spec{};
    if (path && FileSpecFromURL(path, &spec, false, nullptr) == 0) log->folder = spec.directory;
    log->bytes = AllocHandle(nullptr, 0);
    if (!log->bytes || CreateStream(kStreamHandle, StreamTarget::OfHandle(log->bytes), &log->stream)) {
        FreeLogWindowRecord();
        return false;
    }
    VXWindowRecordTag* window = VXLoadDialogWindow(uint16_t(panel), modal ? 2 : 1, kVXFlagClosable, kVXPlaceCentre,
                                                   0, ECOLogWindowHandler, nullptr);
    if (!window) {
        FreeLogWindowRecord();
        return false;
    }
    log->windowID = window->windowID;
    VXSetWindowTitle(window, log->title.c_str());
    Rect area{};
    if (VXControlRecordTag* place = VXGetControl(window, kECOLogTextItem, nullptr)) {
        VXGetControlRect(place, &area);
        VXSetItemVisible(window, kECOLogTextItem, false);
    }
    if (VXWindowRecordTag* text = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, window, &area, nullptr, nullptr)) {
        log->textID = text->windowID;
        InstallTextDisplayView(text, area.right - area.left, kLogFontKind, log->stream);
        ShowNewLogText(log);
    }
    gECOProceed = false;
    if (!modal) {
        VXShowWindow(window);
        return true;
    }
    VXRunModalWindow(window);
    return gECOProceed;
}

OSStatus SaveECOLogWindow(VXWindowRecordTag* window) {
    ECOLogWindowRecord* log = gLogWindow;
    if (!log || !window || window->windowID != log->windowID) return -50;
    FileSpec spec{};
    spec.directory = log->folder;
    if (!VXAskFileSave(kECOSaveLogPrompt, log->title.c_str(), "", "TEXT", true, &spec)) return kUserCancelled;
    const std::string path = PathOf(spec);
    const OSStatus status =
        path.empty() ? OSStatus(-43) : ReplaceFileContents(path.c_str(), gECOLog.text.data(), gECOLog.text.size());
    if (status) VXErrorReport(status);
    return status;
}

int32_t ECOImportDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    ImportDialogState* s = gImport;
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            VXSetItemText(window, kECOImportDescriptionItem, s->description.c_str());
            VXSetItemChecked(window, kECOImportPreviewItem, s->preview);
            return 0;
        case kVXEndModalEvent:
            s->preview = VXGetItemChecked(window, kECOImportPreviewItem) != 0;
            s->confirmed = event->u.endModal.item == 1;
            return 0;
        default:
            return 0;
    }
}

bool RunECOImportDialog(const std::string& description, bool* preview) {
    ImportDialogState state;
    state.description = description;
    state.preview = *preview;
    ImportDialogState* saved = std::exchange(gImport, &state);
    VXModalDialog(kECOImportDialogTemplate, kVXPlaceCentre, ECOImportDialogHandler, nullptr);
    gImport = saved;
    if (state.confirmed) *preview = state.preview;
    return state.confirmed;
}

void ExportECO(ProjectRecord* project) {
    if (!project) {
        VXDisplayMessage(kECONoProjectMessage);
        return;
    }
    std::string name = project->file.spec.name;
    if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".PRX") == 0) name.resize(name.size() - 4);
    name += ".ECO";
    FileSpec spec{};
    spec.directory = project->file.spec.directory;
    if (!VXAskFileSave(kECOExportPrompt, name.c_str(), "QPLX", "QECO", true, &spec)) return;
    const std::string path = PathOf(spec);
    if (path.empty()) {
        VXErrorReport(-43);
        return;
    }
    (void)ExportECOFile(project, path.c_str());  // it reports its own failure
}

void BackAnnotate(ProjectRecord* project) {
    if (!project) {
        VXDisplayMessage(kECONoProjectMessage);
        return;
    }
    FileSpec spec{};
    spec.directory = project->file.spec.directory;
    if (!VXAskFileOpen(kECOBackAnnotatePrompt, "QECOTEXT", kVXPanelStartInFolder, &spec, nullptr)) return;
    const std::string path = PathOf(spec);
    if (path.empty()) {
        VXErrorReport(-43);
        return;
    }
    (void)BackAnnotateFile(project, path.c_str());  // it reports its own failure
}

void AddECOWindowHooks(ECOHooks& hooks, BackAnnotHooks& back) {
    hooks.beep = [] { VXBeep(); };
    hooks.showLog = ShowECOLog;
    hooks.importDialog = RunECOImportDialog;
    hooks.reportError = [](OSStatus status) { VXErrorReport(status); };
    back.alert = [](const char* text) { VXDisplayMessage(text); };
    back.showMessage = [](const char* text) { VXStaticMessage(kVXPlaceCentre, text ? text : ""); };
}

}  // namespace plexa
