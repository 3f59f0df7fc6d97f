// The application life cycle: launch order, shell requests, deferred actions and termination.
//
// Termination is always the ordinary quit path: a termination signal (SIGTERM, SIGQUIT) is only
// recorded by the platform's handler and reaches VXQuitApplication from the run loop, so the
// application's quit procedure may refuse it like any other quit. That procedure runs in the main
// loop, never behind a dialog: from the signal until it is asked, every modal run ends as
// cancelled (those up and those that begin meanwhile), the platform's own panels and popup menus
// are dismissed, and documents handed in wait. SIGSEGV and SIGABRT end the process by the signal
// after the async-signal-safe clean-up alone.
#include "toolkit/vx_app.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/socket.h"
#include "foundation/tempfiles.h"
#include "foundation/timers.h"
#include "graphics/pixels.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "platform/app_platform.h"
#include "platform/services_platform.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_textview.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXGlobals vx;

namespace {

struct VXShellRequest {
    std::string path;  // the document; empty for kind 3
    int16_t count = 0;
    int16_t index = 0;
    int32_t kind = 0;
};

// What the application's life keeps between calls, beside `vx`.
struct AppLife {
    VXStartupHook startupHook = nullptr;
    std::string uiFileName;
    bool shellQueueExists = false;
    std::deque<VXShellRequest> queuedShellRequests;
    uint8_t shellRequestsOnHold = 0;
    bool shellRequestActionPending = false;
    VXTerminationProc terminationHook = nullptr;
    bool terminateCalled = false;
    bool terminationSignalled = false;  // a termination signal waits for the quit procedure
    VXShellFailureProc shellFailureProc = nullptr;
    void (*crashCleanup)() = nullptr;
};
AppLife gLife;

void CopyName(char (&field)[64], const char* text) {
    std::snprintf(field, sizeof field, "%s", text ? text : "");
}

void ReportShellFailure(const std::string& path, OSStatus status) {
    if (gLife.shellFailureProc) {
        gLife.shellFailureProc(path.c_str(), status);
        return;
    }
    std::fprintf(stderr, "%s: cannot open \"%s\" (%s, error %d)\n",
                 vx.appName[0] ? vx.appName : "plexa", path.c_str(),
                 status == status::kNotFound ? "no such file" : "not a usable file name",
                 int(status));
}

// Whether a path can be handed to the application as a document: an absolute path of an
// existing file whose name fits a file spec.
OSStatus ShellPathStatus(const std::string& path) {
    constexpr size_t kMaxPath = 1023, kMaxName = 159;
    if (path.empty() || path[0] != '/' || path.size() > kMaxPath) return status::kParamErr;
    size_t slash = path.find_last_of('/');
    size_t nameLength = path.size() - slash - 1;
    if (nameLength > kMaxName) return status::kParamErr;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return status::kNotFound;
    return status::kNoErr;
}

void VXDeferredShellRequestAction(void*);

void PostShellRunnerIfNeeded() {
    if (gLife.shellRequestsOnHold == 0 && !gLife.queuedShellRequests.empty() && !gLife.shellRequestActionPending) {
        gLife.shellRequestActionPending = true;
        VXPostDeferredAction(VXDeferredShellRequestAction, nullptr, 0.1);
    }
}

void VXDeferredShellRequestAction(void*) {
    gLife.shellRequestActionPending = false;
    while (!gLife.queuedShellRequests.empty() && !VXIsModalWindowActive() && !gLife.terminationSignalled) {
        // The node leaves the queue before its procedure runs, so that a runner posted while the
        // procedure runs a modal loop cannot run it twice.
        VXShellRequest request = std::move(gLife.queuedShellRequests.front());
        gLife.queuedShellRequests.pop_front();
        if (!request.path.empty()) {
            OSStatus status = ShellPathStatus(request.path);
            if (status != status::kNoErr) {
                ReportShellFailure(request.path, status);
                continue;
            }
        }
        if (request.kind == kVXShellLaunched) {
            if (vx.shellLaunchedProc) vx.shellLaunchedProc();
        } else if (request.kind == kVXShellOpenFile) {
            if (vx.shellOpenFileProc)
                vx.shellOpenFileProc(request.path.c_str(), request.index, request.count);
        } else if (request.kind == kVXShellPrintFile) {
            if (vx.shellPrintFileProc)
                vx.shellPrintFileProc(request.path.c_str(), request.index, request.count);
        }
    }
}

// A modal loop that ends lets the requests that waited for it run.
void LoopEnded(uint32_t mode) {
    if (mode == kPlatformModeModalPanel) PostShellRunnerIfNeeded();
}

void VXTerminationGlue() {
    // The session's temporary folder belongs to the file layer, which removes it itself.
    if (!gLife.terminateCalled) {
        gLife.terminateCalled = true;
        if (gLife.terminationHook) gLife.terminationHook();
    }
}

void CrashCleanup() {
    if (gLife.crashCleanup) gLife.crashCleanup();
}

// The application delegate.

void WillFinishLaunching(void*) {
    CopyName(vx.appName, PlatformApplicationName());
    if (!vx.appName[0]) CopyName(vx.appName, "Application");
    if (!vx.appDisplayName[0]) {
        const char* display = PlatformApplicationDisplayName();
        CopyName(vx.appDisplayName, display && display[0] ? display : vx.appName);
    }
    VXInitToolkitLayers();
    VXTEFromScrap();
    (void)SelectUIFile(VXGetUIFileName());  // a missing file shows when a view is asked for
    VXInstallDefaultMenuBar();
    gLife.queuedShellRequests.clear();
    gLife.shellQueueExists = true;
    if (gLife.startupHook && gLife.startupHook() == 0) {
        // A start-up that fails (or that handed its documents to the running instance) takes no
        // documents: the application only quits.
        gLife.shellQueueExists = false;
        VXQuitApplication();
    }
}

// Documents handed in, each a request of the kind (open or print).
void QueueDocuments(int32_t kind, const std::vector<std::string>& paths) {
    if (!gLife.shellQueueExists) return;
    const int16_t count = int16_t(std::min<size_t>(paths.size(), INT16_MAX));
    for (int16_t index = 0; index < count; ++index)
        (void)VXPostShellRequestAction(kind, paths[size_t(index)].c_str(), index, count);  // it reports a failure itself
    for (size_t i = size_t(count); i < paths.size(); ++i)
        ReportShellFailure(paths[i], status::kParamErr);
}

void OpenFiles(void*, const std::vector<std::string>& paths) { QueueDocuments(kVXShellOpenFile, paths); }
void PrintFiles(void*, const std::vector<std::string>& paths) { QueueDocuments(kVXShellPrintFile, paths); }

// The text engine's scrap takes what other applications put on the clipboard meanwhile.
void DidBecomeActive(void*) { VXTEFromScrap(); }

void DidFinishLaunching(void*) {
    for (const VXShellRequest& request : gLife.queuedShellRequests)
        if (request.kind >= kVXShellOpenFile && request.kind <= kVXShellLaunched) return;
    (void)VXPostShellRequestAction(kVXShellLaunched, nullptr, 0, 0);  // no queue: nothing to announce
}

int32_t ShouldTerminate(void*) {
    if (vx.terminationInProgress) return 0;
    // The quit procedure's own questions are dialogs like any other.
    gLife.terminationSignalled = false;
    vx.terminationInProgress = 1;
    int32_t result = vx.quitProc ? vx.quitProc() : (VXCloseAllWindows() ? 1 : 0);
    vx.terminationInProgress = 0;
    // A refused quit lets the documents that waited for it in.
    if (result == 0) PostShellRunnerIfNeeded();
    return result != 0 ? 1 : 0;  // any non-zero answer means now
}

void WillTerminate(void*) { CloseUIFiles(); }

// The quit runs in the main loop: the modal loops end (each run then ends as cancelled when
// control comes back to it) and the platform's panels are dismissed.
void TerminationSignal(void*, int) {
    gLife.terminationSignalled = true;
    PlatformDismissNativePanels();
    PlatformLeaveLoops(kPlatformModeModalPanel, 0);
    VXQuitApplication();
}

}  // namespace

int VXApplicationMain(int argc, char** argv, const char* uiFileName, VXStartupHook startupHook) {
    gLife.startupHook = startupHook;
    gLife.uiFileName = uiFileName ? uiFileName : "";
    VXSetAppStringsFileName("Application");
    VXCoreInit();
    PlatformInstallSignalHandlers(CrashCleanup);
    static bool glueRegistered = false;
    if (!glueRegistered) {
        glueRegistered = true;
        std::atexit(VXTerminationGlue);
    }
    PlatformSetLoopEndObserver(LoopEnded);
    PlatformAppDelegate delegate;
    delegate.willFinishLaunching = WillFinishLaunching;
    delegate.openFiles = OpenFiles;
    delegate.printFiles = PrintFiles;
    delegate.didFinishLaunching = DidFinishLaunching;
    delegate.didBecomeActive = DidBecomeActive;
    delegate.shouldTerminate = ShouldTerminate;
    delegate.willTerminate = WillTerminate;
    delegate.terminationSignal = TerminationSignal;
    int result = PlatformApplicationMain(argc, argv, delegate);
    gLife.shellQueueExists = false;
    gLife.queuedShellRequests.clear();
    gLife.shellRequestsOnHold = 0;
    gLife.shellRequestActionPending = false;
    gLife.terminationSignalled = false;
    return result;
}

// The memory manager and the failure signals are the foundation's own to set up; the core here is
// the start date, the origin of ticks.
// The memory manager and the failure signals come before anything else allocates; the file
// layer's temporary files are named after the application, and sockets count the toolkit's ticks.
void VXInitToolkitLayers() {
    // The drawing state, pixel images, text styles, windows and their panels, the folder panels,
    // controls and list boxes, menus, and the text engine with the text views, in that order;
    // each part fills its slots of the lower layers' tables, one by one.
    VXInitPixelImages();
    VXInitStyles();
    VXInstallInputSink();
    VXInitWindows();
    VXInitPanels();
    VXInstallFolderHooks();
    VXInitControls();
    VXInitListBoxes();
    VXInitMenus();
    VXTEInit();
    VXInstallTextEditHooks();
    VXInstallTextViewHooks();
}

void VXCoreInit() {
    (void)InitMemoryManager(-1);  // allocations report a missing pool
    InitSignals();
    vx.startDate = PlatformNowMicros();
    SetTempFilesBundleIdentifier(PlatformApplicationIdentifier());
    SetSocketTicksHook(VXGetTicks);
    TimerHooks timers;
    timers.start = [](uint32_t intervalMs, uint32_t flags, TimerProc proc,
                      uint64_t refCon) -> sVXTimerRecord* {
        sVXTimerRecord* timer = nullptr;
        return VXInstallTimerEx(intervalMs, flags, proc, refCon, &timer) == 0 ? timer : nullptr;
    };
    timers.setNextFires = VXSetTimerNextFires;
    timers.kill = VXKillTimer;
    timers.wait = VXSleep;
    SetTimerHooks(timers);
}

void VXSetAppStringsFileName(const char* name) {
    std::snprintf(vx.stringsFileName, sizeof vx.stringsFileName, "%s", name ? name : "");
}

void VXSetTerminationProc(VXTerminationProc proc) { gLife.terminationHook = proc; }

void VXQuitApplication() { PlatformRequestTerminate(); }

bool VXIsApplicationActive() { return PlatformIsActive(); }

bool VXTerminationSignalPending() { return gLife.terminationSignalled; }

// This platform has no application sandbox.
bool VXIsApplicationSandboxed() { return false; }

const char* VXGetAppDisplayName() {
    if (vx.appDisplayName[0]) return vx.appDisplayName;
    return vx.appName[0] ? vx.appName : "Plexa";
}

const char* VXGetUIFileName() { return gLife.uiFileName.c_str(); }

uint64_t VXPostDeferredAction(VXDeferredProc proc, void* refcon, double delaySeconds) {
    int64_t micros = delaySeconds > 0 ? int64_t(delaySeconds * 1e6 + 0.5) : 0;
    return PlatformPostDeferred(proc, refcon, micros, kPlatformModesCommon);
}

OSStatus VXPostShellRequestAction(int32_t kind, const char* path, int16_t index, int16_t count) {
    if (!gLife.shellQueueExists) return status::kParamErr;
    OSStatus result = status::kNoErr;
    if (kind != 0) {
        VXShellRequest request;
        request.kind = kind;
        if (path) {
            request.path = path;
            result = ShellPathStatus(request.path);
            request.index = index;
            request.count = count;
        }
        if (result == status::kNoErr)
            gLife.queuedShellRequests.push_back(std::move(request));
        else
            ReportShellFailure(request.path, result);
    }
    PostShellRunnerIfNeeded();
    return result;
}

void VXSetShellRequestsOnHold(bool hold) {
    if (hold) {
        if (gLife.shellRequestsOnHold < UINT8_MAX) ++gLife.shellRequestsOnHold;
        return;
    }
    if (gLife.shellRequestsOnHold > 0) --gLife.shellRequestsOnHold;
    PostShellRunnerIfNeeded();
}

void VXSetShellMessageProcs(VXShellLaunchedProc launched, VXShellFileProc open,
                            VXShellFileProc print, VXShellQuitProc quit, VXShellFileProc) {
    vx.shellLaunchedProc = launched;
    vx.shellOpenFileProc = open;
    vx.shellPrintFileProc = print;
    vx.shellQuitProc = quit;
}

void VXSetShellRequestFailureProc(VXShellFailureProc proc) { gLife.shellFailureProc = proc; }
void VXSetCrashCleanupProc(void (*proc)()) { gLife.crashCleanup = proc; }

int VXCountShellRequests() { return int(gLife.queuedShellRequests.size()); }
uint8_t VXShellRequestsHoldCount() { return gLife.shellRequestsOnHold; }
bool VXShellRequestRunnerPending() { return gLife.shellRequestActionPending; }

void VXResetShellRequestsForTesting(bool queueExists) {
    gLife.terminationSignalled = false;
    gLife.queuedShellRequests.clear();
    gLife.shellQueueExists = queueExists;
    gLife.shellRequestsOnHold = 0;
    gLife.shellRequestActionPending = false;
}

void VXResetToolkitForTesting() {
    vx = VXGlobals{};
    gLife = AppLife{};
    gVXWindowDefaultHooks = VXWindowDefaultHooks{};
    gVXListBoxHooks = VXListBoxHooks{};
    gVXListItemHooks = VXListItemHooks{};
    gVXCommandHooks = VXCommandHooks{};
    gVXErrorTextProc = nullptr;
}

}  // namespace plexa
