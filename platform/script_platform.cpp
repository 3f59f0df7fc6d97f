// The player of scripted runs. Each step is played from a single-shot timer, so it runs from
// whatever loop is running then: the main loop, a modal dialog's, a tracking loop or a popup
// menu's. A step leaves the queue before it is played, so a step that starts a nested loop (a
// click that opens a dialog) lets the next steps play inside that loop. Keys and the mouse go
// through the window system's event path, as a person's would.
#include "platform/script_platform.h"
#include "platform/cursor_platform.h"
#include "platform/print_platform.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/app_platform.h"
#include "platform/control_platform.h"
#include "platform/menu_platform.h"
#include "platform/panel_platform.h"
#include "platform/tooltip_platform.h"
#include "platform/window_platform.h"
#include "platform/window_platform_qt.h"

// The window system's own entry points for input, as its test library uses them: a key press
// goes through the shortcuts first, and both are delivered at once.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                                    Qt::KeyboardModifiers mods, const QString& text,
                                    bool autorepeat, ushort count);
// The window system's queue of events that the application has not handled yet (activations,
// exposures, geometry changes arrive through it after the posted events and the timers of a pass):
// the player waits until it is empty too.
class Q_GUI_EXPORT QWindowSystemInterface {
public:
    static int windowSystemEventsQueued();
};

namespace plexa {
namespace {

enum class Verb {
    kWaitWindow, kWaitNoWindow, kWaitDrawn, kKey, kType, kPress, kMove, kHover, kRelease, kMenu, kChoose,
    kButton, kPanel, kPanelCancel, kFontPanel, kFontPanelCancel, kColorPanel, kPrintPanel, kPopup, kClose, kQuit, kScreenshot, kScreenshotMenu,
    kScreenshotMenus, kScreenshotScreen, kLog,
    kLogWindows, kLogOwners, kLogColorPanel, kWaitToolTip, kLogToolTip, kPause, kLogMenu, kLogTime, kLogDrawn, kLogMenuBar, kLogOpenMenu, kLogGeometry,
    kLogTexts, kLogModified, kLogTitle, kLogCursor, kLogAppCursor, kWaitText, kWaitFile, kWheel, kPinch,
};

struct Step {
    Verb verb = Verb::kLog;
    int line = 0;
    std::string text;               // title, text, keys, file
    std::string second;             // a second text (the menu of screenshot-menu)
    std::vector<std::string> path;  // menu path, panel files
    int x = 0, y = 0;
    Qt::KeyboardModifiers mods;
    Qt::MouseButton button = Qt::LeftButton;
    bool doubleClick = false;
    bool hold = false;   // a drag that keeps the button down (until a release step)
    bool first = false;  // the first press of a click (a new click for the double-click timing)
    int amount = 0;      // wheel lines (positive away from the user), pinch percent; the move's
                         // number of a drag-in (1 to kDragMoves)
    std::string over;    // a drag-in or release-in: the window whose content the point is in
};

constexpr int kTickMillis = 15;
constexpr int kDragMoves = 8;
// Deferred calls posted with at most this delay count as work that a step set off (a tooltip's
// longer delay does not).
constexpr int64_t kSettleDelayMicros = 250'000;

struct Player {
    std::vector<Step> steps;
    size_t next = 0;
    std::string logPath;
    int limitSeconds = 120;
    std::chrono::steady_clock::time_point start;
    int pressWindowID = 0;  // the window a press went to: its moves and release go there too
    QPoint pointer;         // where the last mouse step left the pointer on screen
    QPoint dragFrom;        // a drag-in's start on screen
    Qt::MouseButtons buttons;
    int timestamp = 1000;
    bool ended = false;
    size_t pausedStep = size_t(-1);  // the pause step being timed, and since when
    std::chrono::steady_clock::time_point pauseStart;
    // After a step that gives input: the program settles before the next step plays.
    bool settling = false;
    bool barrierQueued = false;
    uint64_t barrierSerial = 0;
    uint64_t deferredRunAtBarrier = 0;
    QObject* settler = nullptr;
};

Player* gPlayer = nullptr;

void WriteLog(const std::string& line) {
    if (FILE* file = std::fopen(gPlayer->logPath.c_str(), "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

[[noreturn]] void Fail(int line, const std::string& reason) {
    const std::string text = "script failed: line " + std::to_string(line) + ": " + reason;
    WriteLog(text);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    std::_Exit(kTestScriptFailureStatus);
}

// The last resort when the main thread stops playing altogether (a loop that never yields).
char gAlarmText[160];
extern "C" void ScriptAlarm(int) {
    ssize_t ignored = write(2, gAlarmText, std::strlen(gAlarmText));
    (void)ignored;
    _exit(kTestScriptFailureStatus);
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    const size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        if (!Trim(part).empty()) parts.push_back(Trim(part));
    return parts;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

int Number(const std::string& word, int line) {
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end) Fail(line, "\"" + word + "\" is not a number");
    return int(value);
}

// Modifier and button words after the coordinates of a click or drag.
void Modifiers(const std::vector<std::string>& words, size_t from, Step& step) {
    for (size_t i = from; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "Shift") step.mods |= Qt::ShiftModifier;
        else if (w == "Ctrl") step.mods |= Qt::ControlModifier;
        else if (w == "Alt") step.mods |= Qt::AltModifier;
        else if (w == "Meta") step.mods |= Qt::MetaModifier;
        else if (w == "right") step.button = Qt::RightButton;
        else if (w == "middle") step.button = Qt::MiddleButton;
        else if (w == "double") step.doubleClick = true;
        else if (w == "hold") step.hold = true;
        else Fail(step.line, "unknown word \"" + w + "\"");
    }
}

void AddMouse(std::vector<Step>& steps, Step step, Verb verb, int x, int y) {
    step.verb = verb;
    step.x = x;
    step.y = y;
    steps.push_back(step);
}

void Parse(const std::string& text, std::vector<Step>& steps) {
    std::istringstream in(text);
    std::string raw;
    for (int line = 1; std::getline(in, raw); ++line) {
        const std::string content = Trim(raw);
        if (content.empty() || content[0] == '#') continue;
        const size_t space = content.find_first_of(" \t");
        const std::string verb = content.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : Trim(content.substr(space));
        const std::vector<std::string> words = Words(rest);
        Step step;
        step.line = line;
        step.text = rest;
        auto need = [&](bool ok) {
            if (!ok) Fail(line, "\"" + verb + "\" needs other arguments");
        };
        if (verb == "wait-window") { need(!rest.empty()); step.verb = Verb::kWaitWindow; }
        else if (verb == "wait-no-window") { need(!rest.empty()); step.verb = Verb::kWaitNoWindow; }
        else if (verb == "wait-drawn") step.verb = Verb::kWaitDrawn;
        else if (verb == "key") { need(words.size() == 1); step.verb = Verb::kKey; }
        else if (verb == "type") { need(!rest.empty()); step.verb = Verb::kType; }
        else if (verb == "click") {
            need(words.size() >= 2);
            Modifiers(words, 2, step);
            const int x = Number(words[0], line), y = Number(words[1], line);
            step.first = true;
            if (step.hold) Fail(line, "a click is not held");
            AddMouse(steps, step, Verb::kPress, x, y);
            step.first = false;
            AddMouse(steps, step, Verb::kRelease, x, y);
            if (step.doubleClick) {
                AddMouse(steps, step, Verb::kPress, x, y);
                AddMouse(steps, step, Verb::kRelease, x, y);
            }
            continue;
        } else if (verb == "move") {
            need(words.size() >= 2);
            Modifiers(words, 2, step);
            if (step.doubleClick || step.hold || step.button != Qt::LeftButton) Fail(line, "a move has no button");
            AddMouse(steps, step, Verb::kHover, Number(words[0], line), Number(words[1], line));
            continue;
        } else if (verb == "drag") {
            need(words.size() >= 4);
            Modifiers(words, 4, step);
            const int x1 = Number(words[0], line), y1 = Number(words[1], line);
            const int x2 = Number(words[2], line), y2 = Number(words[3], line);
            step.first = true;
            AddMouse(steps, step, Verb::kPress, x1, y1);
            step.first = false;
            for (int i = 1; i <= kDragMoves; ++i)
                AddMouse(steps, step, Verb::kMove, x1 + (x2 - x1) * i / kDragMoves,
                         y1 + (y2 - y1) * i / kDragMoves);
            if (!step.hold) AddMouse(steps, step, Verb::kRelease, x2, y2);
            continue;
        } else if (verb == "drag-in" || verb == "release-in") {
            const std::vector<std::string> parts = Split(rest, '|');
            need(parts.size() == 2 && !parts[0].empty());
            const std::vector<std::string> at = Words(parts[1]);
            need(at.size() >= 2);
            Modifiers(at, 2, step);
            if (step.doubleClick || step.hold || step.button != Qt::LeftButton)
                Fail(line, "\"" + verb + "\" moves the held button");
            step.over = parts[0];
            const int x = Number(at[0], line), y = Number(at[1], line);
            if (verb == "release-in") {
                AddMouse(steps, step, Verb::kRelease, x, y);
                continue;
            }
            for (int i = 1; i <= kDragMoves; ++i) {
                step.amount = i;
                AddMouse(steps, step, Verb::kMove, x, y);
            }
            continue;
        } else if (verb == "release") {
            need(words.size() >= 2);
            Modifiers(words, 2, step);
            if (step.doubleClick || step.hold || step.button != Qt::LeftButton) Fail(line, "a release lets go of the held button");
            AddMouse(steps, step, Verb::kRelease, Number(words[0], line), Number(words[1], line));
            continue;
        } else if (verb == "menu") {
            step.text.clear();  // the key window's bar
            step.path = Split(rest, '>');
            need(step.path.size() >= 2);
            step.verb = Verb::kMenu;
        } else if (verb == "menu-in") {
            const std::vector<std::string> parts = Split(rest, '|');
            need(parts.size() == 2 && !parts[0].empty());
            step.text = parts[0];
            step.path = Split(parts[1], '>');
            need(step.path.size() >= 2);
            step.verb = Verb::kMenu;
        } else if (verb == "choose") { need(!rest.empty()); step.verb = Verb::kChoose; }
        else if (verb == "button") { need(!rest.empty()); step.verb = Verb::kButton; }
        else if (verb == "panel") {
            step.path = Split(rest, '|');
            need(!step.path.empty());
            step.verb = Verb::kPanel;
        } else if (verb == "panel-cancel") step.verb = Verb::kPanelCancel;
        else if (verb == "font-panel") {
            need(!rest.empty());
            step.text = rest;
            step.verb = Verb::kFontPanel;
        } else if (verb == "font-panel-cancel") step.verb = Verb::kFontPanelCancel;
        else if (verb == "color-panel") {
            need(words.size() == 1 && words[0].size() == 6 &&
                 words[0].find_first_not_of("0123456789abcdefABCDEF") == std::string::npos);
            step.x = int(std::strtol(words[0].c_str(), nullptr, 16));
            step.verb = Verb::kColorPanel;
        }
        else if (verb == "print-panel") {
            need(!rest.empty());
            step.text = rest;
            step.verb = Verb::kPrintPanel;
        }
        else if (verb == "popup") {
            need(words.size() == 1);
            step.x = Number(words[0], line);
            step.verb = Verb::kPopup;
        } else if (verb == "close") step.verb = Verb::kClose;
        else if (verb == "quit") step.verb = Verb::kQuit;
        else if (verb == "screenshot" || verb == "screenshot-menu") {
            need(!words.empty() && (verb == "screenshot" || words.size() >= 2));
            step.verb = verb == "screenshot" ? Verb::kScreenshot : Verb::kScreenshotMenu;
            step.text = words[0];
            step.second = Trim(rest.substr(words[0].size()));
        } else if (verb == "screenshot-menus") {
            need(!rest.empty());
            step.verb = Verb::kScreenshotMenus;
        } else if (verb == "screenshot-screen") {
            need(!rest.empty());
            step.verb = Verb::kScreenshotScreen;
        } else if (verb == "log") step.verb = Verb::kLog;
        else if (verb == "log-windows") step.verb = Verb::kLogWindows;
        else if (verb == "log-owners") step.verb = Verb::kLogOwners;
        else if (verb == "log-color-panel") step.verb = Verb::kLogColorPanel;
        else if (verb == "wait-tooltip") step.verb = Verb::kWaitToolTip;
        else if (verb == "log-tooltip") step.verb = Verb::kLogToolTip;
        else if (verb == "pause") {
            need(words.size() == 1);
            step.x = Number(words[0], line);
            step.verb = Verb::kPause;
        }
        else if (verb == "log-menu") { need(!rest.empty()); step.verb = Verb::kLogMenu; }
        else if (verb == "log-time") { need(!rest.empty()); step.verb = Verb::kLogTime; }
        else if (verb == "log-drawn") {
            need(!words.empty());
            step.verb = Verb::kLogDrawn;
            step.text = words[0];
            step.second = Trim(rest.substr(words[0].size()));
        } else if (verb == "log-menubar") step.verb = Verb::kLogMenuBar;
        else if (verb == "log-open-menu") step.verb = Verb::kLogOpenMenu;
        else if (verb == "log-geometry") step.verb = Verb::kLogGeometry;
        else if (verb == "log-texts") step.verb = Verb::kLogTexts;
        else if (verb == "log-modified") step.verb = Verb::kLogModified;
        else if (verb == "log-title") step.verb = Verb::kLogTitle;
        else if (verb == "log-cursor") step.verb = Verb::kLogCursor;
        else if (verb == "log-app-cursor") step.verb = Verb::kLogAppCursor;
        else if (verb == "wait-text") { need(!rest.empty()); step.verb = Verb::kWaitText; }
        else if (verb == "wait-file") { need(!rest.empty()); step.verb = Verb::kWaitFile; }
        else if (verb == "wheel" || verb == "pinch") {
            need(words.size() >= 3);
            step.verb = verb == "wheel" ? Verb::kWheel : Verb::kPinch;
            step.x = Number(words[0], line);
            step.y = Number(words[1], line);
            step.amount = Number(words[2], line);
            Modifiers(words, 3, step);
        }
        else Fail(line, "unknown step \"" + verb + "\"");
        steps.push_back(step);
    }
}

// ---- Windows ----

bool TitleMatches(const std::string& title, const std::string& pattern) {
    if (!pattern.empty() && pattern.back() == '*')
        return title.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return title == pattern;
}

std::vector<PlatformWindow*> VisibleWindows() {
    std::vector<PlatformWindow*> windows;
    for (PlatformWindow* window : PlatformTopLevelWindows())
        if (PlatformWindowIsVisible(window)) windows.push_back(window);
    return windows;
}

// Whether a static text of a visible window's content shows the line.
bool ShowsTextLine(const std::string& text) {
    const QString line = QString::fromStdString(text);
    for (PlatformWindow* window : VisibleWindows()) {
        QWidget* view = PlatformWindowContentWidget(window);
        if (!view) continue;
        for (QLabel* label : view->findChildren<QLabel*>())
            if (label->isVisibleTo(view) && label->text().split(QLatin1Char('\n')).contains(line)) return true;
    }
    return false;
}

PlatformWindow* WindowTitled(const std::string& title) {
    for (PlatformWindow* window : VisibleWindows())
        if (TitleMatches(PlatformWindowTitle(window), title)) return window;
    return nullptr;
}

// The window a step without a title goes to: the key window, else the front one.
PlatformWindow* KeyWindow() {
    const std::vector<PlatformWindow*> windows = VisibleWindows();
    for (PlatformWindow* window : windows)
        if (PlatformWindowID(window) == PlatformKeyWindowID()) return window;
    return windows.empty() ? nullptr : windows.front();
}

PlatformWindow* StepWindow(const Step& step, const std::string& title) {
    PlatformWindow* window = title.empty() ? KeyWindow() : WindowTitled(title);
    if (!window) Fail(step.line, title.empty() ? "no window is up" : "no window \"" + title + "\"");
    return window;
}

QString Plain(const QString& text) {
    QString plain = text;
    plain.remove(QLatin1Char('&'));
    return plain;
}

// ---- Input ----

QWindow* Handle(QWidget* widget) {
    QWidget* top = widget ? widget->window() : nullptr;
    return top ? top->windowHandle() : nullptr;
}

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers mods, const QString& text, int line) {
    QWidget* popup = QApplication::activePopupWidget();
    QWindow* handle = Handle(popup ? popup : target);
    if (!handle) Fail(line, "the window cannot take keys");
    // The press may close the window (a key equivalent of Close): the release then goes nowhere.
    const QPointer<QWidget> alive(target);
    qt_handleKeyEvent(handle, QEvent::KeyPress, key, mods, text, false, 1);
    popup = QApplication::activePopupWidget();
    if (QWindow* after = popup ? Handle(popup) : alive ? Handle(alive) : nullptr)
        qt_handleKeyEvent(after, QEvent::KeyRelease, key, mods, text, false, 1);
}

// The text a key types, for keys that type one.
QString KeyText(int key, Qt::KeyboardModifiers mods) {
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
    switch (key) {
        case Qt::Key_Return: return QStringLiteral("\r");
        case Qt::Key_Enter: return QStringLiteral("\r");
        case Qt::Key_Escape: return QString(QChar(27));
        case Qt::Key_Tab: return QStringLiteral("\t");
        case Qt::Key_Backspace: return QString(QChar(8));
        case Qt::Key_Space: return QStringLiteral(" ");
        default: break;
    }
    if (key >= 0x20 && key < 0x7F) {
        const QChar c(key);
        return QString(mods & Qt::ShiftModifier ? c.toUpper() : c.toLower());
    }
    return {};
}

void PlayKey(const Step& step) {
    const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(step.text),
                                                           QKeySequence::PortableText);
    if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
        Fail(step.line, "\"" + step.text + "\" is not a key");
    const int key = sequence[0].key();
    const Qt::KeyboardModifiers mods = sequence[0].keyboardModifiers();
    QWidget* host = PlatformWindowHostWidget(StepWindow(step, {}));
    SendKey(host, key, mods, KeyText(key, mods), step.line);
}

void PlayType(const Step& step) {
    for (QChar c : QString::fromStdString(step.text)) {
        const bool upper = c.isUpper();
        const int key = c.toUpper().unicode();
        // A typed key may close the window or bring up another one.
        SendKey(PlatformWindowHostWidget(StepWindow(step, {})), key, upper ? Qt::ShiftModifier : Qt::NoModifier, QString(c), step.line);
    }
}

void PlayMouse(const Step& step) {
    Player& p = *gPlayer;
    PlatformWindow* window = nullptr;
    if (step.verb == Verb::kPress) {
        window = StepWindow(step, {});
        p.pressWindowID = PlatformWindowID(window);
    } else if (step.verb == Verb::kHover) {
        // No button is held: the pointer moves over the key window.
        window = StepWindow(step, {});
        p.buttons = Qt::NoButton;
    } else {
        for (PlatformWindow* w : VisibleWindows())
            if (PlatformWindowID(w) == p.pressWindowID) window = w;
        if (!window) window = StepWindow(step, {});
    }
    QWidget* host = PlatformWindowHostWidget(window);
    QWidget* view = PlatformWindowContentWidget(window);
    QWindow* handle = Handle(host);
    if (!handle || !view) Fail(step.line, "the window cannot take clicks");
    QPoint local = view->mapTo(host, QPoint(step.x, step.y));
    QPoint global = host->mapToGlobal(local);
    if (!step.over.empty()) {
        // A point of another window's content: the events still go to the window the press went
        // to, as the window system's grab of the pointer sends them.
        if (p.buttons == Qt::NoButton) Fail(step.line, "no button is held");
        PlatformWindow* over = StepWindow(step, step.over);
        QWidget* overView = PlatformWindowContentWidget(over);
        if (!overView) Fail(step.line, "the window has no content");
        global = overView->mapToGlobal(QPoint(step.x, step.y));
        if (step.verb == Verb::kMove) {
            if (step.amount == 1) p.dragFrom = p.pointer;
            global = p.dragFrom + (global - p.dragFrom) * step.amount / kDragMoves;
        }
        local = host->mapFromGlobal(global);
    }
    p.pointer = global;
    QEvent::Type type = QEvent::MouseMove;
    Qt::MouseButton button = Qt::NoButton;
    if (step.verb == Verb::kPress) {
        // Clicks that are not one double click lie far apart in time.
        p.timestamp += step.first ? 5000 : 50;
        type = QEvent::MouseButtonPress;
        button = step.button;
        p.buttons = step.button;
    } else if (step.verb == Verb::kRelease) {
        if (p.buttons == Qt::NoButton) Fail(step.line, "no button is held");
        p.timestamp += 10;
        type = QEvent::MouseButtonRelease;
        button = Qt::MouseButton(p.buttons.toInt());  // the one that the press holds
        p.buttons = Qt::NoButton;
    } else {
        p.timestamp += 10;
    }
    qt_handleMouseEvent(handle, QPointF(local), QPointF(global), p.buttons, button, type, step.mods,
                        p.timestamp);
}

// A wheel turn or a pinch, delivered to the window's content view as the window system would.
void PlayGesture(const Step& step) {
    QWidget* view = PlatformWindowContentWidget(StepWindow(step, {}));
    if (!view) Fail(step.line, "the window takes no wheel or pinch");
    const QPointF local(step.x, step.y);
    const QPointF global = view->mapToGlobal(local);
    if (step.verb == Verb::kWheel) {
        QWheelEvent event(local, global, QPoint(), QPoint(0, step.amount * QWheelEvent::DefaultDeltasPerStep),
                          Qt::NoButton, step.mods, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &event);
    } else {
        QNativeGestureEvent event(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, local, local,
                                  global, step.amount / 100.0, QPointF());
        QCoreApplication::sendEvent(view, &event);
    }
}

// ---- Menus ----

// The key window's menu bar, or that of the window titled `title`.
QMenuBar* Bar(const Step& step, const std::string& title = {}) {
    QMenuBar* bar = PlatformWindowMenuBarWidget(StepWindow(step, title), false);
    if (!bar || bar->isHidden()) Fail(step.line, "the window has no menu bar");
    return bar;
}

QAction* ActionTitled(const QList<QAction*>& actions, const std::string& text) {
    for (QAction* action : actions)
        if (!action->isSeparator() && Plain(action->text()).toStdString() == text) return action;
    return nullptr;
}

void CloseMenus() {
    for (int i = 0; i < 16; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) break;
        popup->close();
    }
}

// Opens a menu of the key window's menu bar, as a click on its title does.
QMenu* OpenBarMenu(const Step& step, const std::string& title, const std::string& window = {}) {
    QMenuBar* bar = Bar(step, window);
    QAction* action = ActionTitled(bar->actions(), title);
    if (!action || !action->menu()) Fail(step.line, "the menu bar has no menu \"" + title + "\"");
    CloseMenus();
    bar->setActiveAction(action);
    QMenu* menu = action->menu();
    if (!menu->isVisible()) Fail(step.line, "the menu \"" + title + "\" does not open");
    return menu;
}

void PlayMenu(const Step& step) {
    QMenu* menu = OpenBarMenu(step, step.path[0], step.text);
    for (size_t i = 1; i < step.path.size(); ++i) {
        QAction* action = ActionTitled(menu->actions(), step.path[i]);
        const std::string where = "\"" + Plain(menu->title()).toStdString() + " > " + step.path[i] + "\"";
        if (!action) {
            CloseMenus();
            Fail(step.line, "no item " + where);
        }
        if (!action->isEnabled() || !action->isVisible()) {
            CloseMenus();
            Fail(step.line, "the item " + where + " is disabled");
        }
        menu->setActiveAction(action);
        if (i + 1 < step.path.size()) {
            if (!action->menu()) {
                CloseMenus();
                Fail(step.line, "the item " + where + " has no sub-menu");
            }
            // Highlighting the item may have opened its sub-menu already.
            if (!action->menu()->isVisible())
                SendKey(menu, Qt::Key_Right, Qt::NoModifier, {}, step.line);
            menu = action->menu();
            if (!menu->isVisible()) Fail(step.line, "the sub-menu " + where + " does not open");
        } else {
            SendKey(menu, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), step.line);
        }
    }
}

void PlayChoose(const Step& step) {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) Fail(step.line, "no popup menu is open");
    QAction* action = ActionTitled(menu->actions(), step.text);
    if (!action || !action->isEnabled())
        Fail(step.line, "the popup has no enabled item \"" + step.text + "\"");
    menu->setActiveAction(action);
    SendKey(menu, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), step.line);
}

void ListMenu(QMenu* menu, const std::string& indent) {
    for (QAction* action : menu->actions()) {
        if (!action->isVisible()) continue;
        if (action->isSeparator()) {
            WriteLog(indent + "-");
            continue;
        }
        std::string line = indent + Plain(action->text()).toStdString() + "\t" +
                            (action->isEnabled() ? "enabled" : "disabled");
        if (action->isChecked()) line += "\tchecked";
        WriteLog(line);
        if (QMenu* sub = action->menu()) {
            emit sub->aboutToShow();
            ListMenu(sub, indent + "  ");
        }
    }
}

void PlayLogMenu(const Step& step) {
    QMenu* menu = OpenBarMenu(step, step.text);
    WriteLog("menu " + step.text);
    ListMenu(menu, "  ");
    CloseMenus();
}

// Widgets drawn where they lie on the screen, the first at the back, as one picture.
bool SaveComposite(const std::vector<QWidget*>& widgets, const std::string& path) {
    std::vector<std::pair<QRect, QPixmap>> shots;
    QRect all;
    qreal ratio = 1;
    for (QWidget* widget : widgets) {
        const QPixmap shot = widget->grab();
        const QRect rect(widget->mapToGlobal(QPoint(0, 0)), shot.deviceIndependentSize().toSize());
        all = all.united(rect);
        ratio = std::max(ratio, shot.devicePixelRatio());
        shots.emplace_back(rect, shot);
    }
    // At the screen's own resolution, so that nothing is lost at a device pixel ratio above 1.
    QImage image(all.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        for (const auto& [rect, shot] : shots) painter.drawPixmap(rect.topLeft() - all.topLeft(), shot);
    }
    return image.save(QString::fromStdString(path), "PNG");
}

// The key window with one of its menus open, as one picture.
void ShootMenu(const Step& step, const std::string& title, const std::string& path) {
    PlatformWindow* window = StepWindow(step, {});
    QMenu* menu = OpenBarMenu(step, title);
    QWidget* host = PlatformWindowHostWidget(window);
    const bool saved = SaveComposite({host, menu}, path);
    CloseMenus();
    if (!saved) Fail(step.line, "cannot write \"" + path + "\"");
}

// Every visible window (popups included) where it lies, as one picture.
void ShootScreen(const Step& step) {
    std::vector<QWidget*> widgets;
    const std::vector<PlatformWindow*> windows = VisibleWindows();  // front to back
    for (auto window = windows.rbegin(); window != windows.rend(); ++window)
        widgets.push_back(PlatformWindowHostWidget(*window));
    // An open popup menu is not one of the windows; it lies in front of them all.
    if (QWidget* popup = QApplication::activePopupWidget(); popup && popup->isVisible()) widgets.push_back(popup);
    if (widgets.empty()) return Fail(step.line, "no window is shown");
    if (!SaveComposite(widgets, step.text)) Fail(step.line, "cannot write \"" + step.text + "\"");
}

void PlayScreenshotMenus(const Step& step) {
    for (QAction* action : Bar(step)->actions()) {
        if (!action->menu() || !action->isVisible()) continue;
        const std::string title = Plain(action->text()).toStdString();
        const std::string path = step.text + title + ".png";
        ShootMenu(step, title, path);
        WriteLog("screenshot " + path);
    }
}

// ---- Buttons ----

QAbstractButton* ButtonIn(QWidget* top, const std::string& text) {
    for (QAbstractButton* button : top->findChildren<QAbstractButton*>())
        if (button->isVisible() && button->isEnabled() && Plain(button->text()).toStdString() == text)
            return button;
    return nullptr;
}

// The button a step names, in the front-most window that shows it.
QAbstractButton* FindButton(const std::string& text) {
    for (PlatformWindow* window : VisibleWindows()) {
        QWidget* host = PlatformWindowHostWidget(window);
        QAbstractButton* button = host && Handle(host) ? ButtonIn(host, text) : nullptr;
        if (button) return button;
    }
    return nullptr;
}

// Where a person clicks a button: a check box or radio button takes clicks only on its box and
// its text, which may end well before the middle of a wide one.
QPoint ClickPoint(QAbstractButton* button) {
    const bool check = qobject_cast<QCheckBox*>(button) != nullptr;
    if (!check && !qobject_cast<QRadioButton*>(button)) return button->rect().center();
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    const QRect area = button->style()->subElementRect(
        check ? QStyle::SE_CheckBoxClickRect : QStyle::SE_RadioButtonClickRect, &option, button);
    return area.isEmpty() ? button->rect().center() : area.center();
}

void PlayButton(const Step& step) {
    if (QAbstractButton* button = FindButton(step.text)) {
        QWidget* host = button->window();
        const QPointer<QWindow> handle = Handle(host);
        const QPoint local = button->mapTo(host, ClickPoint(button));
        const QPoint global = host->mapToGlobal(local);
        Player& p = *gPlayer;
        p.timestamp += 5000;
        qt_handleMouseEvent(handle, QPointF(local), QPointF(global), Qt::LeftButton, Qt::LeftButton,
                            QEvent::MouseButtonPress, Qt::NoModifier, p.timestamp);
        // The press may have closed the window (a button that acts on press).
        if (handle) {
            p.timestamp += 10;
            qt_handleMouseEvent(handle, QPointF(local), QPointF(global), Qt::NoButton,
                                Qt::LeftButton, QEvent::MouseButtonRelease, Qt::NoModifier,
                                p.timestamp);
        }
    }
}

// ---- Settling ----

// What a step that gives input sets off (a command's work, a redraw, a save, deferred calls that
// go on from one another) is done before the next step plays, however long it takes: the player
// queues a barrier behind every event the program has posted (posted events are delivered by
// priority, the barrier at the lowest), and once it has been delivered, the program has settled
// when no loop is ending, the window system holds no event for it, no deferred call posted with a
// short delay waits and none ran since the barrier was queued; otherwise another barrier is
// queued. Without this a step could play inside the tracking loop of the click before it, ahead of
// the work that click does once its loop has returned.
const QEvent::Type kSettleEvent = QEvent::Type(QEvent::registerEventType());

struct BarrierEvent : QEvent {
    explicit BarrierEvent(uint64_t serial) : QEvent(kSettleEvent), serial(serial) {}
    uint64_t serial;
};

class Settler : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != kSettleEvent) return QObject::event(event);
        if (gPlayer && static_cast<BarrierEvent*>(event)->serial == gPlayer->barrierSerial)
            gPlayer->barrierQueued = false;
        return true;
    }
};

void QueueBarrier() {
    Player& p = *gPlayer;
    p.barrierQueued = true;
    p.deferredRunAtBarrier = PlatformDeferredCallsRun();
    QCoreApplication::postEvent(p.settler, new BarrierEvent(++p.barrierSerial), Qt::LowEventPriority);
}

void BeginSettling() {
    gPlayer->settling = true;
    QueueBarrier();
}

bool Settled() {
    Player& p = *gPlayer;
    if (!p.settling) return true;
    // A loop that is ending (a click's tracking, a dialog) returns to the code that ran it first,
    // which may go on with the step's work.
    if (p.barrierQueued || PlatformLoopEnding()) return false;
    if (QWindowSystemInterface::windowSystemEventsQueued() > 0 || PlatformDeferredCallPending(kSettleDelayMicros) ||
        PlatformDeferredCallsRun() != p.deferredRunAtBarrier) {
        QueueBarrier();
        return false;
    }
    p.settling = false;
    return true;
}

// ---- Steps ----

// Whether the state a step waits for holds (steps that do not wait are always ready).
bool Ready(const Step& step) {
    switch (step.verb) {
        case Verb::kWaitWindow: return WindowTitled(step.text) != nullptr;
        case Verb::kWaitNoWindow: return WindowTitled(step.text) == nullptr;
        case Verb::kWaitText: return ShowsTextLine(step.text);
        case Verb::kWaitFile: return access(step.text.c_str(), F_OK) == 0;
        case Verb::kWaitDrawn: {
            PlatformWindow* window = step.text.empty() ? KeyWindow() : WindowTitled(step.text);
            return window && PlatformWindowFirstPaint(window) && !PlatformWindowNeedsDisplay(window);
        }
        case Verb::kButton: return FindButton(step.text) != nullptr;
        case Verb::kColorPanel: return PlatformControlColorPanelIsOpen();
        case Verb::kWaitToolTip: return PlatformToolTipShown();
        case Verb::kPause: {
            // Timed from the moment the step is first tried.
            Player& p = *gPlayer;
            const auto now = std::chrono::steady_clock::now();
            if (p.pausedStep != p.next) {
                p.pausedStep = p.next;
                p.pauseStart = now;
            }
            return now - p.pauseStart >= std::chrono::milliseconds(step.x);
        }
        default: return true;
    }
}

// Whether a step gives the program input: what it sets off runs before the next step plays.
bool GivesInput(Verb verb) {
    switch (verb) {
        case Verb::kWaitWindow: case Verb::kWaitNoWindow: case Verb::kWaitDrawn: case Verb::kWaitText: case Verb::kWaitFile: case Verb::kLog:
        case Verb::kLogTime: case Verb::kLogWindows: case Verb::kLogOwners: case Verb::kLogColorPanel: case Verb::kWaitToolTip: case Verb::kLogToolTip: case Verb::kPause: case Verb::kPanel: case Verb::kPanelCancel: case Verb::kFontPanel: case Verb::kFontPanelCancel:
        case Verb::kPrintPanel:
        case Verb::kPopup: case Verb::kLogDrawn: case Verb::kLogMenuBar: case Verb::kLogOpenMenu: case Verb::kLogGeometry:
        case Verb::kLogTexts:
        case Verb::kLogModified:
        case Verb::kLogTitle:
        case Verb::kLogCursor:
        case Verb::kLogAppCursor:
            return false;
        default:
            return true;
    }
}

void Play(const Step& step) {
    switch (step.verb) {
        case Verb::kWaitWindow:
        case Verb::kWaitNoWindow:
        case Verb::kWaitText:
        case Verb::kWaitFile:
        case Verb::kWaitDrawn: return;
        case Verb::kKey: PlayKey(step); return;
        case Verb::kType: PlayType(step); return;
        case Verb::kPress:
        case Verb::kMove:
        case Verb::kHover:
        case Verb::kRelease: PlayMouse(step); return;
        case Verb::kMenu: PlayMenu(step); return;
        case Verb::kWheel:
        case Verb::kPinch: PlayGesture(step); return;
        case Verb::kChoose: PlayChoose(step); return;
        case Verb::kButton: PlayButton(step); return;
        case Verb::kPanel: TestQueueFilePanelAnswer(true, step.path); return;
        case Verb::kPanelCancel: TestQueueFilePanelAnswer(false, {}); return;
        case Verb::kFontPanel: TestQueueFontPanelAnswer(step.text); return;
        case Verb::kFontPanelCancel: TestQueueFontPanelAnswer(""); return;
        case Verb::kColorPanel: PlatformControlTestPickColor(uint32_t(step.x)); return;
        case Verb::kPrintPanel: {
            static std::string output;
            output = step.text;
            TestSetPrintPanelAnswer([](PlatformPrintSettings* settings, void*) {
                PlatformPrintSettingsSetOutputFile(settings, output);
                return true;
            }, nullptr);
            return;
        }
        case Verb::kPopup: TestScriptPopupChoice(step.x); return;
        case Verb::kClose: {
            QWidget* host = PlatformWindowHostWidget(StepWindow(step, step.text));
            host->close();
            return;
        }
        case Verb::kQuit: PlatformRequestTerminate(); return;
        case Verb::kScreenshot:
            if (!PlatformWindowGrabPNG(StepWindow(step, step.second), step.text))
                Fail(step.line, "cannot write \"" + step.text + "\"");
            return;
        case Verb::kScreenshotMenu: ShootMenu(step, step.second, step.text); return;
        case Verb::kScreenshotMenus: PlayScreenshotMenus(step); return;
        case Verb::kScreenshotScreen: ShootScreen(step); return;
        case Verb::kLog: WriteLog(step.text); return;
        case Verb::kLogWindows: {
            std::string line = "windows:";
            const char* separator = " ";
            for (PlatformWindow* window : VisibleWindows()) {
                line += separator + PlatformWindowTitle(window);
                separator = " | ";
            }
            WriteLog(line);
            return;
        }
        case Verb::kLogOwners: {
            const std::vector<PlatformWindow*> windows = VisibleWindows();
            for (PlatformWindow* window : windows) {
                const int32_t owner = PlatformWindowOwnerID(window);
                if (!owner) continue;
                std::string title = "(hidden)";
                for (PlatformWindow* other : windows)
                    if (PlatformWindowID(other) == owner) title = PlatformWindowTitle(other);
                WriteLog("owner " + PlatformWindowTitle(window) + ": " + title +
                         (PlatformWindowIsModal(window) ? ", modal" : ""));
            }
            return;
        }
        case Verb::kWaitToolTip:
        case Verb::kLogToolTip: {
            std::string text;
            WriteLog(PlatformToolTipShown(&text) ? "tooltip " + text : std::string("tooltip none"));
            return;
        }
        case Verb::kPause: return;
        case Verb::kLogColorPanel:
            WriteLog(PlatformControlColorPanelIsOpen() ? "color panel open" : "color panel closed");
            return;
        case Verb::kLogMenu: PlayLogMenu(step); return;
        case Verb::kLogDrawn: {
            const int64_t at = PlatformWindowFirstPaint(StepWindow(step, step.second));
            if (!at) Fail(step.line, "the window has not been drawn yet");
            WriteLog(step.text + " " + std::to_string(at));
            return;
        }
        case Verb::kLogMenuBar: {
            std::string line = "menubar:";
            if (QMenuBar* bar = PlatformWindowMenuBarWidget(StepWindow(step, step.text), false))
                if (!bar->isHidden())
                    for (QAction* action : bar->actions())
                        if (action->isVisible()) line += " " + Plain(action->text()).toStdString();
            WriteLog(line);
            return;
        }
        case Verb::kLogTexts: {
            QWidget* host = PlatformWindowHostWidget(StepWindow(step, step.text));
            for (QLabel* label : host->findChildren<QLabel*>())
                if (label->isVisible() && !label->text().isEmpty())
                    for (const QString& line : Plain(label->text()).split(QLatin1Char('\n')))
                        WriteLog("text " + line.toStdString());
            return;
        }
        case Verb::kLogOpenMenu: {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            WriteLog("open menu " + (menu ? Plain(menu->title()).toStdString() : std::string("none")));
            return;
        }
        case Verb::kLogGeometry: {
            QWidget* host = PlatformWindowHostWidget(StepWindow(step, step.text));
            const QRect frame = host->frameGeometry();
            QScreen* screen = host->screen();
            const QRect area = screen ? screen->availableGeometry() : QRect();
            auto rect = [](const QRect& r) {
                return std::to_string(r.x()) + " " + std::to_string(r.y()) + " " +
                       std::to_string(r.width()) + " " + std::to_string(r.height());
            };
            std::ostringstream ratio;
            ratio << (screen ? screen->devicePixelRatio() : 1.0);
            WriteLog("geometry " + rect(frame) + " in " + rect(area) + " ratio " + ratio.str());
            return;
        }
        case Verb::kLogModified: {
            // The mark of unsaved changes that the window's title shows.
            const QWidget* host = PlatformWindowHostWidget(StepWindow(step, step.text));
            WriteLog(std::string("modified ") + (host->isWindowModified() ? "yes" : "no"));
            return;
        }
        case Verb::kLogTitle: {
            // The title as the title bar shows it: the modified mark after the text.
            PlatformWindow* window = StepWindow(step, step.text);
            WriteLog("title " + PlatformWindowTitle(window) + (PlatformWindowIsModified(window) ? "*" : ""));
            return;
        }
        case Verb::kLogCursor:
        case Verb::kLogAppCursor: {
            // The cursor by its shape; one made from an image is "image".
            static const char* const kNames[kPlatformStandardCursorCount] = {
                "arrow", "ibeam", "crosshair", "open-hand", "pointing-hand", "resize-left-right",
                "resize-up-down", "drag-copy", "forbidden"};
            const bool app = step.verb == Verb::kLogAppCursor;
            const PlatformCursor* cursor =
                app ? PlatformCurrentCursor() : PlatformWindowCursor(StepWindow(step, step.text));
            std::string name = cursor ? "image" : app ? "none" : "arrow";
            for (size_t i = 0; cursor && i < std::size(kNames); ++i)
                if (cursor == PlatformCursorStandard(PlatformStandardCursor(i))) name = kNames[i];
            WriteLog((app ? "app-cursor " : "cursor ") + name);
            return;
        }
        case Verb::kLogTime: {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            WriteLog(step.text + " " +
                     std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            return;
        }
    }
}

void Tick() {
    Player& p = *gPlayer;
    if (p.ended) return;
    // The next pass is asked for first: a step that runs a nested loop lets the following steps
    // play inside it.
    QTimer::singleShot(kTickMillis, Tick);
    const auto elapsed = std::chrono::steady_clock::now() - p.start;
    if (elapsed > std::chrono::seconds(p.limitSeconds)) {
        const int line = p.next < p.steps.size() ? p.steps[p.next].line : 0;
        Fail(line, "the run passed its limit of " + std::to_string(p.limitSeconds) + " s");
    }
    while (p.next < p.steps.size()) {
        if (!Settled()) return;
        const Step step = p.steps[p.next];
        if (!Ready(step)) return;
        // The step leaves the queue before it plays; the barrier is queued before it too, so that
        // a step that runs a nested loop (a dialog) lets the next steps play inside that loop once
        // the program has settled there.
        ++p.next;
        const bool input = GivesInput(step.verb);
        if (input) BeginSettling();
        Play(step);
        if (input) break;
    }
    if (p.next >= p.steps.size() && !p.ended) {
        p.ended = true;
        WriteLog("end");
    }
}

}  // namespace

bool PlatformScriptTakesOpenURL(const std::string& address) {
    if (!gPlayer) return false;
    WriteLog("open-url " + address);
    return true;
}

void PlatformStartTestScript() {
    const char* path = std::getenv(kTestScriptVariable);
    if (!path || !path[0] || gPlayer) return;
    gPlayer = new Player;
    Player& p = *gPlayer;
    const char* log = std::getenv(kTestScriptLogVariable);
    p.logPath = log && log[0] ? log : std::string(path) + ".log";
    if (const char* limit = std::getenv(kTestScriptLimitVariable))
        if (std::atoi(limit) > 0) p.limitSeconds = std::atoi(limit);
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(0, std::string("cannot read the script \"") + path + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    Parse(text.str(), p.steps);
    p.start = std::chrono::steady_clock::now();
    p.settler = new Settler;
    std::snprintf(gAlarmText, sizeof gAlarmText,
                  "script failed: the program still ran %d s after its start\n",
                  p.limitSeconds + 10);
    signal(SIGALRM, ScriptAlarm);
    alarm(unsigned(p.limitSeconds + 10));
    QTimer::singleShot(0, Tick);
}

}  // namespace plexa
