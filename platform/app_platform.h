// The desktop platform's application object, as the toolkit sees it: launch and the documents
// handed in, the run loop and nested loops, deferred calls and repeating timers, activation,
// quit requests, termination signals and the clipboard change count.
//
// Everything here runs on the main thread. Loops have modes: a loop level runs only the deferred
// calls and timers scheduled in its mode. The main loop runs in the default mode; modal loops in
// the modal-panel mode; tracking loops in the event-tracking mode. Deferred calls are scheduled in
// all modes unless asked otherwise.
//
// Time is the platform clock in microseconds (monotonic). Tests replace it by a test clock
// (platform/testseam_platform.h); loops then advance that clock to the next due work whenever
// they would otherwise wait, so that timers and nested loops run unattended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexa {

enum PlatformLoopMode : uint32_t {
    kPlatformModeDefault = 1,
    kPlatformModeModalPanel = 2,
    kPlatformModeEventTracking = 4,
    kPlatformModesCommon = 7,
};

// The code a loop returns when, under the test clock, nothing is left that could end it.
constexpr int kPlatformLoopStalled = -9999;

// What the application object tells its delegate, in the order of launch and termination.
// Every member may be null.
struct PlatformAppDelegate {
    void* context = nullptr;
    void (*willFinishLaunching)(void* context) = nullptr;
    // The documents handed in with the launch (or later): absolute UTF-8 paths, in order.
    void (*openFiles)(void* context, const std::vector<std::string>& paths) = nullptr;
    // The same for documents to be printed (a command line with "--print").
    void (*printFiles)(void* context, const std::vector<std::string>& paths) = nullptr;
    void (*didFinishLaunching)(void* context) = nullptr;
    // Asked by a termination request: non-zero terminates now, 0 cancels.
    int32_t (*shouldTerminate)(void* context) = nullptr;
    void (*willTerminate)(void* context) = nullptr;
    void (*didBecomeActive)(void* context) = nullptr;
    void (*didResignActive)(void* context) = nullptr;
    // A termination signal (SIGTERM, SIGQUIT) recorded by the signal handler, delivered on the
    // main thread from the run loop.
    void (*terminationSignal)(void* context, int signalNumber) = nullptr;
};

// Makes the process's application object if there is none yet (tests call it; the launch does
// it itself). Returns false when the platform cannot start.
[[nodiscard]] bool PlatformEnsureApplication(int argc, char** argv);

// Deletes the application object that PlatformEnsureApplication made, for a run that ends without
// the main loop (a program's work without windows); nothing when there is none.
void PlatformEndApplication();

// The whole run: makes the application object, tells the delegate that launching begins, hands
// in the documents named on the command line, tells it that launching is done, and runs the main
// loop until a termination request is granted. Returns the process exit status (0).
int PlatformApplicationMain(int argc, char** argv, const PlatformAppDelegate& delegate);

// The documents named on this launch's command line (known from the start of the launch), and
// whether it asks to print them rather than open them.
std::vector<std::string> PlatformLaunchDocuments();
bool PlatformLaunchPrints();
// Hands documents to the delegate's openFiles (printFiles when they are to be printed) as
// documents handed in after the launch (another instance's, platform/instance_platform.h).
// Nothing happens while the application is not running.
void PlatformHandInDocuments(const std::vector<std::string>& paths, bool print = false);

// The documents named by a command line: arguments that are not options ("-x", "--x"; "--" ends
// the options), made absolute. The first argument is the program and is skipped.
std::vector<std::string> PlatformDocumentArguments(const std::vector<std::string>& arguments);
// Whether a command line asks to print its documents: the option "--print" among the options.
bool PlatformPrintArgument(const std::vector<std::string>& arguments);

// Asks for termination on the next pass of the run loop (never inside the caller).
void PlatformRequestTerminate();
// Whether the main loop is running (launch done, not yet terminated).
bool PlatformIsRunning();

// Activation: whether this application is the active one.
bool PlatformIsActive();

// The platform clock in microseconds.
int64_t PlatformNowMicros();
// Waits without running any event until the clock reaches the deadline.
void PlatformBusyWaitUntil(int64_t deadlineMicros);

// Deferred calls: runs proc(refcon) once, after the delay, from a loop whose mode is in `modes`.
using PlatformCallback = void (*)(void* refcon);
uint64_t PlatformPostDeferred(PlatformCallback proc, void* refcon, int64_t delayMicros,
                              uint32_t modes = kPlatformModesCommon);
// Cancels a deferred call that has not run; false when it has run or is unknown.
bool PlatformCancelDeferred(uint64_t id);
// Whether a deferred call (not a repeating timer) that the current loop mode runs waits, posted
// with a delay of at most `maxDelayMicros`, and how many deferred calls have run so far: a
// scripted run waits on these for the work that a step set off (platform/script_platform.h).
bool PlatformDeferredCallPending(int64_t maxDelayMicros);
uint64_t PlatformDeferredCallsRun();
// Whether the innermost loop level has been told to end and has not returned yet (its caller's
// work after it is still to come).
bool PlatformLoopEnding();

// Repeating timers. The first firing is one period after creation. A firing that comes late is
// not repeated: the next one is the next whole period after now.
uint64_t PlatformTimerCreate(int64_t periodMicros, uint32_t modes, PlatformCallback proc,
                             void* refcon);
bool PlatformTimerValid(uint64_t timer);
// Moves the next firing: a negative delay pauses the timer (fires in the distant future).
void PlatformTimerSetNextFire(uint64_t timer, int64_t delayMicros);
void PlatformTimerDestroy(uint64_t timer);

// Nested loops. PlatformRunLoop runs a loop level in `mode` until PlatformLeaveLoop ends it
// (returns the code given) or, with a deadline (>= 0), until the clock reaches it after at least
// one pass (returns 0). Runs due work of the mode, events, and test input.
int PlatformRunLoop(uint32_t mode, int64_t deadlineMicros = -1);
// Ends the innermost loop level with a code; it returns once the current call is done.
void PlatformLeaveLoop(int code);
// Ends every running loop level whose mode is among `modes`, each with the code; a level returns
// when control comes back to it (levels of other modes inside it run on until they end).
void PlatformLeaveLoops(uint32_t modes, int code);
int PlatformLoopDepth();
uint32_t PlatformCurrentLoopMode();
// How many loop levels in the modal-panel mode are running.
int PlatformModalDepth();
// Called after a loop level ends, with its mode (the toolkit resumes held work there).
void PlatformSetLoopEndObserver(void (*observer)(uint32_t mode));

// Termination signals. The handler of SIGTERM and SIGQUIT only records the signal (self-pipe);
// the run loop delivers it to the delegate's terminationSignal. SIGSEGV and SIGABRT run
// `asyncSafeCleanup` (which must be async-signal-safe; may be null), restore the default action
// and re-raise, so the process ends by the signal.
void PlatformInstallSignalHandlers(void (*asyncSafeCleanup)());
// Dismisses the platform's own modal panels (file, page-setup and print panels) and popup menus
// that are up, as if the user had cancelled them; each returns when control comes back to it.
void PlatformDismissNativePanels();

// The clipboard's change count (counts the platform's ownership-change notices), and clearing
// the clipboard (returns the new count).
uint32_t PlatformClipboardChangeCount();
uint32_t PlatformClipboardClear();

// The double-click interval in milliseconds.
int PlatformDoubleClickMillis();

}  // namespace plexa
