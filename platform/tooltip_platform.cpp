// Tooltips over registered rectangles of content views, shown as a label above the window's
// content after the mouse rests over a rectangle.

#include "platform/tooltip_platform.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "platform/app_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa {
namespace {

constexpr const char* kLabelName = "PlatformToolTip";

struct Registration {
    uint64_t tag = 0;
    int32_t windowID = 0;
    QPointer<QWidget> view;
    QRect rect;
    uint64_t userData = 0;
};

struct State {
    std::vector<Registration> registrations;
    uint64_t nextTag = 1;
    PlatformToolTipTextProc textProc = nullptr;
    uint64_t hover = 0;      // the registration under the mouse
    bool suppressed = false;  // a press over it: no tooltip until the mouse leaves it
    uint64_t pending = 0;    // the deferred call that shows the tooltip
    int32_t x = 0, y = 0;    // the mouse in the hovered view
    uint64_t shownTag = 0;
    std::string shownText;
    QPointer<QLabel> label;
    QObject* filter = nullptr;
};

State& S() {
    static State state;
    return state;
}

Registration* Find(uint64_t tag) {
    for (Registration& r : S().registrations)
        if (r.tag == tag && r.view) return &r;
    return nullptr;
}

void CancelPending() {
    if (S().pending) PlatformCancelDeferred(S().pending);
    S().pending = 0;
}

void HideLabel() {
    // Forgotten before it goes: its destruction sends events through the filter.
    QLabel* label = S().label.data();
    S().label = nullptr;
    delete label;
    S().shownTag = 0;
    S().shownText.clear();
}

void Show(void*) {
    State& s = S();
    s.pending = 0;
    Registration* r = Find(s.hover);
    if (!r || s.suppressed || !s.textProc) return;
    const std::string text = s.textProc(r->windowID, r->tag, r->userData);
    if (text.empty()) return;
    QWidget* host = r->view->window();
    if (!host) return;
    HideLabel();
    auto* label = new QLabel(QString::fromStdString(text), host);
    label->setObjectName(kLabelName);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setStyleSheet(
        "QLabel { background: #ffffe1; color: black; border: 1px solid #767676; padding: 2px; }");
    label->adjustSize();
    // Below and right of the pointer, kept inside the window.
    QPoint at = r->view->mapTo(host, QPoint(s.x, s.y)) + QPoint(2, 20);
    at.setX(std::clamp(at.x(), 0, std::max(0, host->width() - label->width())));
    if (at.y() + label->height() > host->height())
        at.setY(std::max(0, r->view->mapTo(host, QPoint(s.x, s.y)).y() - label->height() - 4));
    label->move(at);
    label->raise();
    label->show();
    s.label = label;
    s.shownTag = r->tag;
    s.shownText = text;
}

// The mouse moved to (x, y) of a window's content view, or something was pressed.
void Note(int32_t windowID, int32_t x, int32_t y, bool press, bool buttonsHeld) {
    State& s = S();
    if (press) {
        HideLabel();
        CancelPending();
        s.suppressed = s.hover != 0;
        return;
    }
    uint64_t found = 0;
    for (auto it = s.registrations.rbegin(); it != s.registrations.rend(); ++it)
        if (it->view && it->windowID == windowID && it->rect.contains(x, y)) {
            found = it->tag;
            break;
        }
    s.x = x;
    s.y = y;
    if (found == s.hover) return;
    HideLabel();
    CancelPending();
    s.hover = found;
    s.suppressed = buttonsHeld;
    if (found && !buttonsHeld)
        s.pending = PlatformPostDeferred(Show, nullptr, kPlatformToolTipDelayMicros);
}

// Moves over native controls inside a registered view reach the controls, not the view (and
// the controls may only hear of them as hover events); leaving a view reaches no input.
class ControlMoveFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::Leave && type != QEvent::MouseMove && type != QEvent::HoverMove &&
            type != QEvent::MouseButtonPress)
            return false;
        if (S().registrations.empty() || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->objectName() == QLatin1String(kLabelName)) return false;
        if (type == QEvent::Leave) {
            for (const Registration& r : S().registrations)
                if (r.view == widget) {
                    Note(r.windowID, -1, -1, false, false);  // nowhere: the tooltip goes
                    break;
                }
            return false;
        }
        const bool press = type == QEvent::MouseButtonPress;
        for (const Registration& r : S().registrations) {
            if (!r.view || r.view == widget || !r.view->isAncestorOf(widget)) continue;
            auto* point = static_cast<QSinglePointEvent*>(event);
            const QPoint at = widget->mapTo(r.view, point->position().toPoint());
            Note(r.windowID, at.x(), at.y(), press, point->buttons() != Qt::NoButton);
            break;
        }
        return false;
    }
};

}  // namespace

void PlatformSetToolTipTextProc(PlatformToolTipTextProc proc) { S().textProc = proc; }

uint64_t PlatformToolTipAdd(PlatformWindow* window, PlatformRect rect, uint64_t userData) {
    QWidget* view = PlatformWindowContentWidget(window);
    if (!view || rect.width <= 0 || rect.height <= 0) return 0;
    State& s = S();
    // Registrations of destroyed windows go.
    s.registrations.erase(std::remove_if(s.registrations.begin(), s.registrations.end(),
                                         [](const Registration& r) { return !r.view; }),
                          s.registrations.end());
    if (!s.filter && QCoreApplication::instance()) {
        s.filter = new ControlMoveFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(s.filter);
    }
    Registration r;
    r.tag = s.nextTag++;
    r.windowID = PlatformWindowID(window);
    r.view = view;
    r.rect = QRect(rect.x, rect.y, rect.width, rect.height);
    r.userData = userData;
    s.registrations.push_back(r);
    return r.tag;
}

void PlatformToolTipRemove(uint64_t tag) {
    State& s = S();
    s.registrations.erase(std::remove_if(s.registrations.begin(), s.registrations.end(),
                                         [tag](const Registration& r) { return r.tag == tag; }),
                          s.registrations.end());
    if (s.hover == tag) {
        HideLabel();
        CancelPending();
        s.hover = 0;
    }
}

int PlatformToolTipCount(const PlatformWindow* window) {
    QWidget* view = PlatformWindowContentWidget(const_cast<PlatformWindow*>(window));
    if (!view) return 0;
    return int(std::count_if(S().registrations.begin(), S().registrations.end(),
                             [view](const Registration& r) { return r.view == view; }));
}

void PlatformToolTipNoteInput(const PlatformInputEvent& event) {
    switch (event.kind) {
        case PlatformInputKind::kMouseMoved:
        case PlatformInputKind::kMouseDragged:
            Note(event.windowID, event.x, event.y, false,
                 event.kind == PlatformInputKind::kMouseDragged);
            break;
        case PlatformInputKind::kMouseDown:
        case PlatformInputKind::kWheel:
        case PlatformInputKind::kMagnify:
        case PlatformInputKind::kKeyDown:
            Note(event.windowID, event.x, event.y, true, true);
            break;
        case PlatformInputKind::kMouseUp:
        case PlatformInputKind::kKeyUp:
            break;
    }
}

bool PlatformToolTipShown(std::string* text, uint64_t* tag) {
    const State& s = S();
    const bool shown = s.label && s.shownTag;
    if (text) *text = shown ? s.shownText : std::string();
    if (tag) *tag = shown ? s.shownTag : 0;
    return shown;
}

void PlatformToolTipHide() {
    HideLabel();
    CancelPending();
    S().suppressed = S().hover != 0;
}

void PlatformToolTipReset() {
    HideLabel();
    CancelPending();
    State& s = S();
    s.registrations.clear();
    s.hover = 0;
    s.suppressed = false;
}

}  // namespace plexa
