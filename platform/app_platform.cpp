// The application object over Qt: one QApplication per process, the project's own run loop
// (loop levels with modes over Qt's event processing), the schedule of deferred calls and timers,
// activation, termination requests and signals, the clipboard change count, key state and the
// test seam that replaces the clock and the input.
#include "platform/app_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <thread>

#include "platform/cursor_platform.h"
#include "platform/display_platform.h"
#include "platform/input_platform.h"
#include "platform/menu_platform.h"
#include "platform/panel_platform.h"
#include "platform/print_platform.h"
#include "platform/instance_platform.h"
#include "platform/script_platform.h"
#include "platform/testseam_platform.h"
#include "platform/tooltip_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa {
namespace {

struct Entry {
    PlatformCallback proc = nullptr;
    void* refcon = nullptr;
    int64_t due = 0;
    int64_t period = 0;        // 0: a deferred call (runs once)
    int64_t delay = 0;         // a deferred call's delay when it was posted
    uint32_t modes = 0;
    bool firing = false;
    bool destroyed = false;    // destroyed while firing
    bool rescheduled = false;  // next firing set while firing
    uint64_t pass = 0;         // the pass of the run loop that last fired it
};

struct Level {
    uint32_t mode = kPlatformModeDefault;
    bool leave = false;
    int code = 0;
    int64_t deadline = -1;
};

constexpr int64_t kDistantFuture = INT64_MAX / 4;

struct State {
    PlatformAppDelegate delegate;
    bool running = false;
    bool terminatePending = false;
    std::map<uint64_t, Entry> entries;
    uint64_t nextID = 1;
    uint64_t pass = 0;
    uint64_t deferredRun = 0;  // deferred calls run so far
    std::vector<Level> levels;
    bool testClock = false;
    int64_t testNow = 0;
    std::deque<PlatformInputEvent> input;
    std::bitset<256> keys;
    bool active = true;
    uint32_t clipboardCount = 0;
    PlatformInputSink sink = nullptr;
    void (*loopEndObserver)(uint32_t) = nullptr;
    QTimer* wake = nullptr;
    QSocketNotifier* signalNotifier = nullptr;
    std::vector<std::string> launchDocuments;
    bool launchPrints = false;
};

State& S() {
    static State state;
    return state;
}

// The program's name for its messages: the last part of its path.
std::string ProgramName(int argc, char** argv) {
    const std::string path = argc > 0 && argv && argv[0] ? argv[0] : "plexa";
    return path.substr(path.rfind('/') + 1);
}

// Qt's notes that are not the program's to tell: that it chose a runtime folder because
// XDG_RUNTIME_DIR is not set (a shell over ssh, a cron job). Everything else goes on as Qt would
// print it.
QtMessageHandler gQtMessages = nullptr;

void QuietQtMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    if (gQtMessages) {
        gQtMessages(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    if (type == QtFatalMsg) std::abort();
}

void QuietQtNotes() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    gQtMessages = qInstallMessageHandler(QuietQtMessageHandler);
}

// Storage that QApplication keeps referring to for its whole life.
int gArgc = 0;
std::vector<std::string> gArgStore;
std::vector<char*> gArgv;
int gSignalPipe[2] = {-1, -1};
void (*gCrashCleanup)() = nullptr;

// The application object. It is deleted where PlatformApplicationMain made it; one made for
// tests stays until the process ends (destroying it among the static destructors would run after
// Qt's own globals are gone).
struct AppPointer {
    QApplication* app = nullptr;
    explicit operator bool() const { return app != nullptr; }
    QApplication* get() const { return app; }
};
AppPointer& AppHolder() {
    static AppPointer holder;
    return holder;
}

void DeleteApplication() {
    State& s = S();
    delete AppHolder().app;
    AppHolder().app = nullptr;
    s.wake = nullptr;            // children of the application object
    s.signalNotifier = nullptr;
}

uint32_t CurrentMode() {
    return S().levels.empty() ? uint32_t(kPlatformModeDefault) : S().levels.back().mode;
}

bool Eligible(const Entry& e, uint32_t mode) { return (e.modes & mode) && !e.firing && !e.destroyed; }

// The earliest due time of the work a mode runs, or kDistantFuture.
int64_t NextDue(uint32_t mode) {
    int64_t best = kDistantFuture;
    for (auto& [id, e] : S().entries)
        if (Eligible(e, mode)) best = std::min(best, e.due);
    return best;
}

// Runs the earliest due entry of the mode that existed before `idLimit` and has not fired in this
// pass (a timer moved to "now" by its own firing fires again on the next pass); false when none.
bool RunOneDue(uint32_t mode, uint64_t idLimit, uint64_t pass) {
    State& s = S();
    int64_t now = PlatformNowMicros();
    auto best = s.entries.end();
    for (auto it = s.entries.begin(); it != s.entries.end() && it->first < idLimit; ++it)
        if (Eligible(it->second, mode) && it->second.due <= now && it->second.pass != pass &&
            (best == s.entries.end() || it->second.due < best->second.due))
            best = it;
    if (best == s.entries.end()) return false;
    uint64_t id = best->first;
    Entry& e = best->second;
    PlatformCallback proc = e.proc;
    void* refcon = e.refcon;
    if (e.period == 0) {
        s.entries.erase(best);
        ++s.deferredRun;
        proc(refcon);
        return true;
    }
    e.firing = true;
    e.rescheduled = false;
    e.pass = pass;
    proc(refcon);
    auto it = s.entries.find(id);
    if (it == s.entries.end()) return true;
    Entry& after = it->second;
    after.firing = false;
    if (after.destroyed) {
        s.entries.erase(it);
        return true;
    }
    if (!after.rescheduled && after.due < kDistantFuture) {
        now = PlatformNowMicros();
        if (after.due <= now) after.due += ((now - after.due) / after.period + 1) * after.period;
    }
    return true;
}

void ProcessDue(uint32_t mode) {
    const uint64_t pass = ++S().pass;
    const uint64_t limit = S().nextID;
    while (RunOneDue(mode, limit, pass)) {
    }
}

void ArmWake(int64_t due) {
    State& s = S();
    if (!s.wake) return;
    if (due >= kDistantFuture) {
        s.wake->stop();
        return;
    }
    int64_t delay = due - PlatformNowMicros();
    int ms = delay <= 0 ? 0 : int(std::min<int64_t>((delay + 999) / 1000, 1 << 30));
    s.wake->start(ms);
}

void DeliverOneInput() {
    State& s = S();
    PlatformInputEvent event = s.input.front();
    s.input.pop_front();
    PlatformDeliverInput(event);
}

void SetActive(bool active) {
    State& s = S();
    if (s.active == active) return;
    s.active = active;
    if (active && s.delegate.didBecomeActive) s.delegate.didBecomeActive(s.delegate.context);
    if (!active && s.delegate.didResignActive) s.delegate.didResignActive(s.delegate.context);
}

uint16_t KeyCodeForQtKey(int key) {
    switch (key) {
        case Qt::Key_Escape: return kPlatformKeyEscape;
        case Qt::Key_Period: return kPlatformKeyPeriod;
        case Qt::Key_Shift: return kPlatformKeyShift;
        case Qt::Key_Control: return kPlatformKeyCommand;  // the platform's Command is Ctrl here
        case Qt::Key_Alt: return kPlatformKeyOption;
        case Qt::Key_Meta: return kPlatformKeyControl;
        default: return 0;
    }
}

// Keeps the key state from the keys that reach any of the application's windows.
class KeyWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (uint16_t code = KeyCodeForQtKey(key->key()))
                S().keys.set(code, event->type() == QEvent::KeyPress);
        } else if (event->type() == QEvent::ApplicationDeactivate) {
            S().keys.reset();
        }
        return QObject::eventFilter(watched, event);
    }
};

void DrainSignalPipe() {
    if (gSignalPipe[0] < 0) return;
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = read(gSignalPipe[0], buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            State& s = S();
            if (s.delegate.terminationSignal)
                s.delegate.terminationSignal(s.delegate.context, buffer[i]);
            else
                PlatformRequestTerminate();
        }
    }
}

void WatchSignalPipe() {
    State& s = S();
    if (gSignalPipe[0] < 0 || s.signalNotifier || !AppHolder()) return;
    s.signalNotifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, AppHolder().get());
    QObject::connect(s.signalNotifier, &QSocketNotifier::activated, [] { DrainSignalPipe(); });
}

extern "C" void RecordTerminationSignal(int sig) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(sig);
    if (gSignalPipe[1] >= 0) {
        ssize_t ignored = write(gSignalPipe[1], &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

extern "C" void CrashSignal(int sig) {
    // SA_RESETHAND has already restored the default action.
    if (gCrashCleanup) gCrashCleanup();
    signal(sig, SIG_DFL);
    raise(sig);
}

void RunTermination(void*) {
    State& s = S();
    s.terminatePending = false;
    int32_t answer = s.delegate.shouldTerminate ? s.delegate.shouldTerminate(s.delegate.context) : 1;
    if (answer == 0) return;
    if (s.delegate.willTerminate) s.delegate.willTerminate(s.delegate.context);
    s.running = false;
    for (Level& level : s.levels) {
        level.leave = true;
        level.code = 0;
    }
}

}  // namespace

bool PlatformEnsureApplication(int argc, char** argv) {
    auto& app = AppHolder();
    if (app) return true;
    if (QCoreApplication::instance()) return false;  // someone else's application object
    // Qt ends the process when its platform cannot start: a display that cannot be reached is
    // refused here instead.
    if (!PlatformDisplayProblem().empty()) return false;
    QuietQtNotes();
    gArgStore.clear();
    for (int i = 0; i < argc; ++i) gArgStore.emplace_back(argv[i] ? argv[i] : "");
    if (gArgStore.empty()) gArgStore.emplace_back("plexa");
    gArgv.clear();
    for (auto& arg : gArgStore) gArgv.push_back(arg.data());
    gArgv.push_back(nullptr);
    gArgc = int(gArgStore.size());
    app.app = new QApplication(gArgc, gArgv.data());
    PlatformReleaseDisplayProbe();  // the application's own connection keeps the server now
    State& s = S();
    s.wake = new QTimer(app.get());
    s.wake->setSingleShot(true);
    QObject::connect(s.wake, &QTimer::timeout, [] { ProcessDue(CurrentMode()); });
    QObject::connect(app.get(), &QGuiApplication::applicationStateChanged,
                     [](Qt::ApplicationState state) {
                         SetActive(state == Qt::ApplicationActive);
                     });
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        QObject::connect(clipboard, &QClipboard::changed, [](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) ++S().clipboardCount;
        });
    app.app->installEventFilter(new KeyWatcher(app.get()));
    WatchSignalPipe();
    return true;
}

void PlatformEndApplication() {
    if (!AppHolder()) return;
    PlatformStopInstanceListener();
    DeleteApplication();
}

std::vector<std::string> PlatformDocumentArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    bool options = true;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (options && arg == "--") {
            options = false;
            continue;
        }
        if (arg.empty() || (options && arg[0] == '-')) continue;
        std::error_code error;
        std::filesystem::path path = std::filesystem::absolute(arg, error);
        paths.push_back(error ? arg : path.lexically_normal().string());
    }
    return paths;
}

bool PlatformPrintArgument(const std::vector<std::string>& arguments) {
    for (size_t i = 1; i < arguments.size() && arguments[i] != "--"; ++i)
        if (arguments[i] == "--print") return true;
    return false;
}

int PlatformApplicationMain(int argc, char** argv, const PlatformAppDelegate& delegate) {
    const bool made = !AppHolder();
    if (made) {
        if (const std::string problem = PlatformDisplayProblem(); !problem.empty()) {
            std::fprintf(stderr, "%s: cannot reach the display: %s\n", ProgramName(argc, argv).c_str(), problem.c_str());
            return 1;
        }
    }
    if (!PlatformEnsureApplication(argc, argv)) {
        std::fprintf(stderr, "%s: the platform's application object cannot be made\n", ProgramName(argc, argv).c_str());
        return 1;
    }
    // A scripted run (a test driving the program) starts playing with the launch.
    PlatformStartTestScript();
    State& s = S();
    s.delegate = delegate;
    s.running = true;
    s.active = true;
    // The arguments left after the platform took its own options; when the application object
    // was made before (tests), the arguments given here.
    std::vector<std::string> arguments;
    if (made)
        arguments.assign(gArgv.begin(), gArgv.begin() + gArgc);
    else
        for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
    s.launchDocuments = PlatformDocumentArguments(arguments);
    s.launchPrints = PlatformPrintArgument(arguments);
    if (delegate.willFinishLaunching) delegate.willFinishLaunching(delegate.context);
    const std::vector<std::string> documents = s.launchDocuments;
    if (!documents.empty()) {
        if (s.launchPrints) {
            if (delegate.printFiles) delegate.printFiles(delegate.context, documents);
        } else if (delegate.openFiles) {
            delegate.openFiles(delegate.context, documents);
        }
    }
    if (delegate.didFinishLaunching) delegate.didFinishLaunching(delegate.context);
    if (s.running) PlatformRunLoop(kPlatformModeDefault);
    s.running = false;
    s.delegate = PlatformAppDelegate{};
    s.launchDocuments.clear();
    s.launchPrints = false;
    PlatformStopInstanceListener();
    if (made) DeleteApplication();
    return 0;
}

std::vector<std::string> PlatformLaunchDocuments() { return S().launchDocuments; }
bool PlatformLaunchPrints() { return S().launchPrints; }

void PlatformHandInDocuments(const std::vector<std::string>& paths, bool print) {
    State& s = S();
    if (!s.running || paths.empty()) return;
    if (auto hand = print ? s.delegate.printFiles : s.delegate.openFiles) hand(s.delegate.context, paths);
}

void PlatformRequestTerminate() {
    State& s = S();
    if (s.terminatePending) return;
    s.terminatePending = true;
    PlatformPostDeferred(RunTermination, nullptr, 0, kPlatformModeDefault);
}

bool PlatformIsRunning() { return S().running; }
bool PlatformIsActive() { return S().active; }

int64_t PlatformNowMicros() {
    if (S().testClock) return S().testNow;
    static const auto origin = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 origin)
               .count() +
           1;
}

void PlatformBusyWaitUntil(int64_t deadlineMicros) {
    if (S().testClock) {
        S().testNow = std::max(S().testNow, deadlineMicros);
        return;
    }
    while (PlatformNowMicros() < deadlineMicros)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

uint64_t PlatformPostDeferred(PlatformCallback proc, void* refcon, int64_t delayMicros,
                              uint32_t modes) {
    if (!proc) return 0;
    State& s = S();
    uint64_t id = s.nextID++;
    Entry& e = s.entries[id];
    e.proc = proc;
    e.refcon = refcon;
    e.delay = std::max<int64_t>(delayMicros, 0);
    e.due = PlatformNowMicros() + e.delay;
    e.modes = modes;
    ArmWake(NextDue(CurrentMode()));
    return id;
}

bool PlatformCancelDeferred(uint64_t id) {
    auto it = S().entries.find(id);
    if (it == S().entries.end() || it->second.period != 0) return false;
    S().entries.erase(it);
    return true;
}

bool PlatformDeferredCallPending(int64_t maxDelayMicros) {
    const uint32_t mode = CurrentMode();
    for (const auto& [id, e] : S().entries)
        if (e.period == 0 && Eligible(e, mode) && e.delay <= maxDelayMicros) return true;
    return false;
}

uint64_t PlatformDeferredCallsRun() { return S().deferredRun; }

bool PlatformLoopEnding() { return !S().levels.empty() && S().levels.back().leave; }

uint64_t PlatformTimerCreate(int64_t periodMicros, uint32_t modes, PlatformCallback proc,
                             void* refcon) {
    if (!proc) return 0;
    State& s = S();
    uint64_t id = s.nextID++;
    Entry& e = s.entries[id];
    e.proc = proc;
    e.refcon = refcon;
    e.period = std::max<int64_t>(periodMicros, 1);
    e.due = PlatformNowMicros() + e.period;
    e.modes = modes;
    ArmWake(NextDue(CurrentMode()));
    return id;
}

bool PlatformTimerValid(uint64_t timer) {
    auto it = S().entries.find(timer);
    return it != S().entries.end() && it->second.period != 0 && !it->second.destroyed;
}

void PlatformTimerSetNextFire(uint64_t timer, int64_t delayMicros) {
    if (!PlatformTimerValid(timer)) return;
    Entry& e = S().entries[timer];
    e.due = delayMicros < 0 ? kDistantFuture : PlatformNowMicros() + delayMicros;
    e.rescheduled = true;
    ArmWake(NextDue(CurrentMode()));
}

void PlatformTimerDestroy(uint64_t timer) {
    auto it = S().entries.find(timer);
    if (it == S().entries.end() || it->second.period == 0) return;
    if (it->second.firing)
        it->second.destroyed = true;
    else
        S().entries.erase(it);
}

// For a test that runs the program as a process of its own: with the variable kTestLoopLogVariable names set, each
// loop entered appends "loop MODE DEPTH" to that file, so the test waits for the state it needs
// (a modal dialog up) rather than for time.
namespace {
void ReportLoopEntered(uint32_t mode, size_t depth) {
    const char* path = std::getenv(kTestLoopLogVariable);
    if (!path || !path[0]) return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "loop %u %zu\n", unsigned(mode), depth);
        std::fclose(file);
    }
}
}  // namespace

int PlatformRunLoop(uint32_t mode, int64_t deadlineMicros) {
    State& s = S();
    if (!AppHolder()) return kPlatformLoopStalled;
    s.levels.push_back(Level{mode, false, 0, deadlineMicros});
    const size_t index = s.levels.size() - 1;
    ReportLoopEntered(mode, index + 1);
    int code = 0;
    for (;;) {
        if (s.levels[index].leave) break;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // This loop is not Qt's own, and processEvents leaves widgets deleted later (an overlay
        // that ended, a window closed while it drew) alone: they go here, when nothing paints.
        if (!PlatformWidgetsPainting())
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DrainSignalPipe();
        ProcessDue(mode);
        if (s.levels[index].leave) break;
        if (!s.input.empty()) {
            DeliverOneInput();
            continue;
        }
        if (deadlineMicros >= 0 && PlatformNowMicros() >= deadlineMicros) break;
        int64_t next = NextDue(mode);
        if (deadlineMicros >= 0) next = std::min(next, deadlineMicros);
        if (s.testClock) {
            if (next >= kDistantFuture) {
                std::fprintf(stderr, "platform: a loop waits for nothing under the test clock\n");
                s.levels[index].code = kPlatformLoopStalled;
                break;
            }
            s.testNow = std::max(s.testNow, next);
            continue;
        }
        ArmWake(next);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    code = s.levels[index].code;
    s.levels.pop_back();
    ArmWake(NextDue(CurrentMode()));
    if (s.loopEndObserver) s.loopEndObserver(mode);
    return code;
}

void PlatformLeaveLoop(int code) {
    State& s = S();
    if (s.levels.empty()) return;
    s.levels.back().leave = true;
    s.levels.back().code = code;
}

void PlatformLeaveLoops(uint32_t modes, int code) {
    for (Level& level : S().levels) {
        if (!(level.mode & modes)) continue;
        level.leave = true;
        level.code = code;
    }
}

int PlatformLoopDepth() { return int(S().levels.size()); }
uint32_t PlatformCurrentLoopMode() { return CurrentMode(); }

int PlatformModalDepth() {
    return int(std::count_if(S().levels.begin(), S().levels.end(),
                             [](const Level& l) { return l.mode == kPlatformModeModalPanel; }));
}

void PlatformSetLoopEndObserver(void (*observer)(uint32_t mode)) { S().loopEndObserver = observer; }

void PlatformInstallSignalHandlers(void (*asyncSafeCleanup)()) {
    gCrashCleanup = asyncSafeCleanup;
    if (gSignalPipe[0] < 0) {
        if (pipe(gSignalPipe) != 0) {
            gSignalPipe[0] = gSignalPipe[1] = -1;
        } else {
            for (int fd : gSignalPipe) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
                fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
        }
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = RecordTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
    action.sa_handler = CrashSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGABRT, &action, nullptr);
    WatchSignalPipe();
}

void PlatformDismissNativePanels() {
    if (!AppHolder()) return;
    // Popup menus first: a panel may have opened one. Each closed popup leaves the list.
    for (int i = 0; i < 64; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) break;
        popup->close();
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isModal()) dialog->reject();
    }
}

uint32_t PlatformClipboardChangeCount() { return S().clipboardCount; }

uint32_t PlatformClipboardClear() {
    uint32_t before = S().clipboardCount;
    if (AppHolder())
        if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
    if (S().clipboardCount == before) ++S().clipboardCount;
    return S().clipboardCount;
}

int PlatformDoubleClickMillis() {
    return AppHolder() ? QApplication::doubleClickInterval() : 400;
}

// Input.

void PlatformSetInputSink(PlatformInputSink sink) { S().sink = sink; }
PlatformInputSink PlatformGetInputSink() { return S().sink; }

void PlatformDeliverInput(const PlatformInputEvent& event) {
    if (event.kind == PlatformInputKind::kKeyDown) S().keys.set(event.keyCode & 0xFF, true);
    if (event.kind == PlatformInputKind::kKeyUp) S().keys.set(event.keyCode & 0xFF, false);
    PlatformNoteMouseInput(event);
    PlatformToolTipNoteInput(event);
    if (S().sink) S().sink(event);
}

bool PlatformIsKeyDown(uint16_t keyCode) {
    if (keyCode >= 256) return false;
    if (S().keys.test(keyCode)) return true;
    if (!AppHolder() || S().testClock) return false;
    Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
    switch (keyCode) {
        case kPlatformKeyShift: return mods & Qt::ShiftModifier;
        case kPlatformKeyCommand: return mods & Qt::ControlModifier;
        case kPlatformKeyOption: return mods & Qt::AltModifier;
        case kPlatformKeyControl: return mods & Qt::MetaModifier;
        default: return false;
    }
}

// The test seam.

void TestClockEnable(int64_t startMicros) {
    S().testClock = true;
    S().testNow = startMicros;
}
void TestClockDisable() { S().testClock = false; }
bool TestClockEnabled() { return S().testClock; }
void TestClockSet(int64_t micros) { S().testNow = micros; }

void TestClockAdvance(int64_t micros) {
    State& s = S();
    const int64_t target = s.testNow + std::max<int64_t>(micros, 0);
    const uint32_t mode = CurrentMode();
    for (;;) {
        int64_t next = NextDue(mode);
        if (next > target) break;
        s.testNow = std::max(s.testNow, next);
        ProcessDue(mode);
    }
    s.testNow = target;
}

void TestQueueInput(const PlatformInputEvent& event) { S().input.push_back(event); }
int TestQueuedInputCount() { return int(S().input.size()); }
void TestSetKeyDown(uint16_t keyCode, bool down) {
    if (keyCode < 256) S().keys.set(keyCode, down);
}
void TestSetApplicationActive(bool active) { SetActive(active); }
void TestRunDueWork() { ProcessDue(CurrentMode()); }

void TestResetPlatform() {
    State& s = S();
    s.entries.clear();
    s.input.clear();
    if (s.wake) s.wake->stop();
    // What the window system still holds from the last test (the application's activation as its
    // windows went, say) arrives now, not in the middle of the next test.
    if (AppHolder()) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        s.entries.clear();
        s.input.clear();
    }
    s.keys.reset();
    s.levels.clear();
    s.terminatePending = false;
    s.running = false;
    s.active = true;
    s.delegate = PlatformAppDelegate{};
    s.loopEndObserver = nullptr;
    s.sink = nullptr;
    PlatformForgetMouseState();
    PlatformToolTipReset();
    TestResetFilePanels();
    TestResetMenus();
    TestResetPrinting();
    if (s.wake) s.wake->stop();
}

}  // namespace plexa
