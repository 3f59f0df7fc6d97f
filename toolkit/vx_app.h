// The toolkit's side of the program's life: the entry operation that `main` calls, the toolkit's
// one global record `vx`, the order of launch and termination, deferred actions, and the queue of
// shell requests (documents to open or print, the launched notice) with its hold counter and runner.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct VXPrepCommandRecord;

using VXQuitProc = int32_t (*)();
using VXPrepCommandProc = int32_t (*)(VXPrepCommandRecord* record);
using VXCommandProc = int32_t (*)(VXWindowRecordTag* window, VXEventRecord* event);
using VXStartupHook = int32_t (*)();
using VXTerminationProc = void (*)();
using VXShellLaunchedProc = void (*)();
// A document handed to the application: its absolute path (UTF-8), its place among the documents
// that arrived together, and their count.
using VXShellFileProc = int32_t (*)(const char* path, int16_t index, int16_t count);
using VXShellQuitProc = int32_t (*)();
using VXDeferredProc = void (*)(void* refcon);

// The toolkit's global record.
struct VXGlobals {
    VXWindowRecordTag* currentWindow;
    VXQuitProc quitProc;                  // asked by a termination request; none: close all windows
    VXPrepCommandProc globalPrepCommandProc;
    VXCommandProc globalCommandProc;
    VXShellLaunchedProc shellLaunchedProc;
    VXShellFileProc shellOpenFileProc;
    VXShellFileProc shellPrintFileProc;
    VXShellQuitProc shellQuitProc;        // kept, never called
    int64_t startDate;                    // platform clock at VXCoreInit; 0 before
    int16_t* modalResult;                 // where the end-modal event stores its item
    char stringsFileName[64];
    void* popupMenuTracking;
    const void* defaultGrafProcs;         // the standard drawing procedures of the graphics layer
    uint8_t updateWaitDepth;              // windows are being updated synchronously
    uint8_t sleepDepth;                   // some work waits, letting events through (VXSleep)
    uint8_t terminationInProgress;
    uint8_t closeAllAborted;
    uint8_t darkAppearance;
    uint8_t mainMenuTracking;
    uint8_t mouseTracking;                // a mouse-tracking loop runs: timers are skipped
    uint8_t tooltipsEnabled;
    int32_t lastClickWindowID;            // where the last mouse-down was (window content units)
    int32_t lastClickH, lastClickV;
    char appName[64];
    char appDisplayName[64];
};
extern VXGlobals vx;

// Shell request kinds.
constexpr int32_t kVXShellOpenFile = 1;
constexpr int32_t kVXShellPrintFile = 2;
constexpr int32_t kVXShellLaunched = 3;

// The program's whole run; returns the process exit status.
int VXApplicationMain(int argc, char** argv, const char* uiFileName, VXStartupHook startupHook);
void VXCoreInit();
// The toolkit's layers set up for the application's start-up (before the UI template file and
// the default menu bar): the drawing state, windows, panels, controls, menus and the text engine,
// each filling its slots of the lower layers' hook tables.
void VXInitToolkitLayers();
void VXSetAppStringsFileName(const char* name);
void VXSetTerminationProc(VXTerminationProc proc);
// Begins termination on the next pass of the run loop, not inside the caller.
void VXQuitApplication();
bool VXIsApplicationActive();
// Whether a termination signal has come and the quit procedure has not been asked yet. Until it
// is, modal runs end as cancelled and documents handed in wait, so that the quit is never left
// waiting behind a dialog.
bool VXTerminationSignalPending();
// Always false: this platform has no application sandbox.
bool VXIsApplicationSandboxed();
// The name the application shows (menus, the titles of alerts): its display name, else its name,
// else "Plexa".
const char* VXGetAppDisplayName();
// The UI template file named at launch ("" when none).
const char* VXGetUIFileName();

// Runs proc(refcon) once after the delay, in every loop mode (also inside modal and tracking
// loops). Returns the posted action's id.
uint64_t VXPostDeferredAction(VXDeferredProc proc, void* refcon, double delaySeconds);

// Queues a shell request (kind 0 queues nothing) and makes sure a runner is posted. A request for
// a path that cannot be handed in is reported and not queued; returns its status.
OSStatus VXPostShellRequestAction(int32_t kind, const char* path, int16_t index, int16_t count);
void VXSetShellRequestsOnHold(bool hold);
// Keeps the launched, open and print procedures and the quit procedure; the dropped-files
// procedure is not kept (dropped files reach windows as events).
void VXSetShellMessageProcs(VXShellLaunchedProc launched, VXShellFileProc open,
                            VXShellFileProc print, VXShellQuitProc quit, VXShellFileProc dropped);
// Where a document that cannot be handed in is reported (path, status). The default writes a line
// to the standard error; none restores it.
using VXShellFailureProc = void (*)(const char* path, OSStatus status);
void VXSetShellRequestFailureProc(VXShellFailureProc proc);
// Clean-up run from the crash handler (SIGSEGV, SIGABRT): must be async-signal-safe.
void VXSetCrashCleanupProc(void (*proc)());

// What the run knows of its requests (for the application's own checks and the tests).
int VXCountShellRequests();
uint8_t VXShellRequestsHoldCount();
bool VXShellRequestRunnerPending();
// Empties the request queue and the hold counter and forgets a pending termination signal; with
// true the queue exists as after launch.
void VXResetShellRequestsForTesting(bool queueExists);
// Puts the toolkit's state back as before launch: the global record `vx`, the life of the
// application (its procedures, the request queue, a pending termination) and the hook tables that
// the toolkit's modules install into each other at launch. Windows are not touched: close them
// first.
void VXResetToolkitForTesting();

}  // namespace plexa
