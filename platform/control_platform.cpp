// Native controls over Qt widgets. Every control is one widget in a window's content view (a tab
// view is a tab bar over a frame in one holder widget) linked to a PlatformControl record through
// the widget's "plexaControl" property. Changes the toolkit makes are done with the record's
// `quiet` flag set, so that only the user's actions reach the owner. A control destroyed inside
// one of its own callbacks is hidden, taken out of its window and deleted later, once no control
// callback is running.
#include "platform/control_platform.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTextCursor>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/app_platform.h"
#include "platform/draw_context.h"
#include "platform/draw_context_qt.h"
#include "platform/menu_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa {

struct PlatformControl {
    PlatformControlKind kind = PlatformControlKind::kPushButton;
    QPointer<QWidget> widget;
    void* owner = nullptr;
    int32_t windowID = 0;
    bool quiet = false;      // the toolkit is changing the control itself
    bool pressSeen = false;  // the control took a mouse press; its release ends the tracking
    bool toggles = false;
    bool allCaps = false;
    double minimum = 0, maximum = 1;
    QImage image;
    bool hasImage = false;
    QSize imageSize;
    uint32_t color = 0;
};

namespace {

constexpr const char* kLinkProperty = "plexaControl";
constexpr int kSteps = 10000;  // integer steps of sliders, scrollers and progress bars

PlatformControlCallbacks gCallbacks;
int gDepth = 0;  // control callbacks running now
std::vector<PlatformControl*> gDoomed;
bool gFlushPosted = false;

// Runs a callback of the control's owner unless the toolkit is changing the control itself.
template <typename F>
auto Fire(PlatformControl* control, F call, decltype(call(nullptr)) otherwise) {
    if (!control || !control->owner || control->quiet) return otherwise;
    ++gDepth;
    auto result = call(control->owner);
    --gDepth;
    return result;
}

void FireAction(PlatformControl* control, bool textEdit) {
    if (!gCallbacks.action) return;
    Fire(
        control,
        [&](void* owner) {
            gCallbacks.action(owner, textEdit);
            return 0;
        },
        0);
}

struct Quiet {
    explicit Quiet(PlatformControl* c) : control(c), was(c->quiet) { c->quiet = true; }
    ~Quiet() { control->quiet = was; }
    PlatformControl* control;
    bool was;
};

QString Q(const char* text) { return QString::fromUtf8(text ? text : ""); }
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

Qt::KeyboardModifiers QtModifiers(uint32_t modifiers) {
    Qt::KeyboardModifiers result;
    if (modifiers & kPlatformModShift) result |= Qt::ShiftModifier;
    if (modifiers & kPlatformModCommand) result |= Qt::ControlModifier;
    if (modifiers & kPlatformModOption) result |= Qt::AltModifier;
    if (modifiers & kPlatformModControl) result |= Qt::MetaModifier;
    return result;
}

uint32_t Modifiers(Qt::KeyboardModifiers mods) {
    uint32_t result = 0;
    if (mods & Qt::ShiftModifier) result |= kPlatformModShift;
    if (mods & Qt::ControlModifier) result |= kPlatformModCommand;
    if (mods & Qt::AltModifier) result |= kPlatformModOption;
    if (mods & Qt::MetaModifier) result |= kPlatformModControl;
    return result;
}

// Check boxes and radio buttons go on when clicked off (a radio button stays on); a mixed check
// box goes on.
class CheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

class RadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override { setChecked(true); }
};

// A text field, one line or several: reports focus changes, and offers Return, Escape, Tab and
// Back-tab to its owner; in a field of several lines Return makes a line break.
template <typename Base>
class Field : public Base {
public:
    Field(PlatformControl* control, QWidget* parent, bool multiLine)
        : Base(parent), control_(control), multiLine_(multiLine) {}

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            int32_t code = 0;
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !multiLine_)
                code = 1;
            if (key->key() == Qt::Key_Escape) code = 2;
            if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                if (key->key() == Qt::Key_Backtab ||
                    (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier)))
                    code = 4;
                else if (key->key() == Qt::Key_Tab)
                    code = 3;
            }
            if (code) {
                QPointer<QWidget> self(this);
                const bool taken =
                    gCallbacks.key &&
                    Fire(
                        control_, [&](void* owner) { return gCallbacks.key(owner, code); }, false);
                // Return and Escape end in the field, as the field editor takes them; Tab moves
                // the focus along the loop unless the owner took it.
                if (taken || code <= 2 || !self) return true;
                return Base::focusNextPrevChild(code == 3);
            }
        }
        return Base::event(event);
    }
    // A window's activation does not move the focus within it: those changes are not reported
    // (the focus set in an inactive window is reported when it is set).
    void focusInEvent(QFocusEvent* event) override {
        Base::focusInEvent(event);
        if (event->reason() != Qt::ActiveWindowFocusReason) Report(true);
    }
    void focusOutEvent(QFocusEvent* event) override {
        Base::focusOutEvent(event);
        if (event->reason() != Qt::ActiveWindowFocusReason) Report(false);
    }

private:
    void Report(bool gained) {
        if (!gCallbacks.focus) return;
        Fire(
            control_,
            [&](void* owner) {
                gCallbacks.focus(owner, gained);
                return 0;
            },
            0);
    }
    PlatformControl* control_;
    bool multiLine_;
};
using TextField = Field<QLineEdit>;
using TextArea = Field<QPlainTextEdit>;

// Tabs that ask their owner before the user selects another one.
class TabBar : public QTabBar {
public:
    TabBar(PlatformControl* control, QWidget* parent) : QTabBar(parent), control_(control) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        const int index = tabAt(event->position().toPoint());
        if (index >= 0 && index != currentIndex() && gCallbacks.tabShouldSelect) {
            const int current = currentIndex();
            const uint32_t mods = Modifiers(event->modifiers());
            const bool allow = Fire(
                control_,
                [&](void* owner) {
                    return gCallbacks.tabShouldSelect(owner, current, index, mods);
                },
                true);
            if (!allow) return;
        }
        QTabBar::mousePressEvent(event);
    }

private:
    PlatformControl* control_;
};

int TabBarHeight() {
    static int height = [] {
        QTabBar probe;
        probe.addTab(QStringLiteral("X"));
        return probe.sizeHint().height();
    }();
    return height;
}

// A tab view: tabs along the top of a framed area, which the controls of the tabs lie over.
class TabView : public QWidget {
public:
    TabView(PlatformControl* control, QWidget* parent)
        : QWidget(parent), bar(new TabBar(control, this)), frame(new QFrame(this)) {
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        bar->setExpanding(false);
        bar->setElideMode(Qt::ElideNone);
        bar->setUsesScrollButtons(false);
        bar->setDrawBase(false);
        frame->lower();
    }
    TabBar* bar;
    QFrame* frame;
    static constexpr int kFrameInset = 2;
    QRect ContentRect() const {  // in this widget
        return QRect(kFrameInset, TabBarHeight() + kFrameInset, width() - 2 * kFrameInset,
                     height() - TabBarHeight() - 2 * kFrameInset);
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        bar->setGeometry(0, 0, width(), TabBarHeight());
        frame->setGeometry(0, TabBarHeight(), width(), height() - TabBarHeight());
    }
};

// A row of segments of which one is selected.
class Segmented : public QWidget {
public:
    Segmented(PlatformControl* control, QWidget* parent) : QWidget(parent), control_(control) {
        setFocusPolicy(Qt::NoFocus);
    }
    std::vector<QString> labels;
    int selected = -1;
    QRect SegmentRect(int index) const {
        if (labels.empty()) return {};
        const int n = int(labels.size());
        const int left = width() * index / n, right = width() * (index + 1) / n;
        return QRect(left, 0, right - left, height());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int i = 0; i < int(labels.size()); ++i) {
            QStyleOptionButton option;
            option.initFrom(this);
            option.rect = SegmentRect(i);
            option.text = labels[size_t(i)];
            option.state |= i == selected ? QStyle::State_On | QStyle::State_Sunken
                                          : QStyle::State_Off | QStyle::State_Raised;
            style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        for (int i = 0; i < int(labels.size()); ++i) {
            if (!SegmentRect(i).contains(event->position().toPoint())) continue;
            if (i != selected) {
                selected = i;
                update();
                FireAction(control_, false);
            }
            return;
        }
    }

private:
    PlatformControl* control_;
};

// The shared colour panel and the well it works for.
QPointer<QColorDialog> gColorPanel;
QPointer<QWidget> gColorTarget;

void OpenColorPanel(PlatformControl* control) {
    if (!gColorPanel) {
        gColorPanel = new QColorDialog;
        gColorPanel->setOption(QColorDialog::NoButtons);
        gColorPanel->setWindowTitle(QStringLiteral("Colours"));
        QObject::connect(gColorPanel, &QColorDialog::currentColorChanged, [](const QColor& color) {
            PlatformControl* target =
                gColorTarget ? PlatformControlFromNative(gColorTarget) : nullptr;
            if (!target || target->kind != PlatformControlKind::kColorWell) return;
            const QColor rgb = color.toRgb();
            target->color =
                (uint32_t(rgb.red()) << 16) | (uint32_t(rgb.green()) << 8) | uint32_t(rgb.blue());
            target->widget->update();
            FireAction(target, false);
        });
    }
    gColorTarget = control->widget.data();
    const uint32_t c = control->color;
    {
        const QSignalBlocker quiet(gColorPanel.data());
        gColorPanel->setCurrentColor(QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    }
    gColorPanel->show();
}

// A colour well: a bevelled button showing its colour.
class ColorWell : public QPushButton {
public:
    ColorWell(PlatformControl* control, QWidget* parent) : QPushButton(parent), control_(control) {
        connect(this, &QPushButton::clicked, this, [this] { OpenColorPanel(control_); });
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        QPainter painter(this);
        const uint32_t c = control_->color;
        painter.fillRect(rect().adjusted(5, 5, -5, -5),
                         QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        painter.setPen(Qt::gray);
        painter.drawRect(rect().adjusted(5, 5, -6, -6));
    }

private:
    PlatformControl* control_;
};

// Sees the press and release of a control after the click pre-dispatch let the press through.
class TrackingFilter : public QObject {
public:
    TrackingFilter(PlatformControl* control, QObject* parent)
        : QObject(parent), control_(control) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            control_->pressSeen = true;
        } else if (event->type() == QEvent::MouseButtonRelease && control_->pressSeen &&
                   !inRelease_) {
            // The control handles its release (and its action) first; the end follows.
            control_->pressSeen = false;
            auto* mouse = static_cast<QMouseEvent*>(event);
            QPointer<QObject> alive(object);
            inRelease_ = true;
            QCoreApplication::sendEvent(object, event);
            if (!alive) return true;
            inRelease_ = false;
            const uint16_t button = mouse->button() == Qt::LeftButton    ? 0
                                    : mouse->button() == Qt::RightButton ? 1
                                                                         : 2;
            const uint32_t mods = Modifiers(mouse->modifiers());
            if (gCallbacks.trackingEnd)
                Fire(
                    control_,
                    [&](void* owner) {
                        gCallbacks.trackingEnd(owner, button, mods);
                        return 0;
                    },
                    0);
            return true;
        }
        return false;
    }

private:
    PlatformControl* control_;
    bool inRelease_ = false;
};

int ToSteps(const PlatformControl* c, double value) {
    if (c->maximum <= c->minimum) return 0;
    const double t =
        (std::clamp(value, c->minimum, c->maximum) - c->minimum) / (c->maximum - c->minimum);
    return int(std::lround(t * kSteps));
}
double FromSteps(const PlatformControl* c, int steps) {
    return c->minimum + (c->maximum - c->minimum) * double(steps) / kSteps;
}

template <typename T>
T* As(const PlatformControl* control) {
    return control && control->widget ? qobject_cast<T*>(control->widget.data()) : nullptr;
}

// A pop-up button. Its list answers a queued scripted popup choice instead of opening (-1: the
// list is dismissed), the way a menu run by the program does.
class PopupButton : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        int32_t choice = -1;
        if (!TakeScriptedPopupChoice(&choice)) return QComboBox::showPopup();
        if (choice < 0 || choice >= count()) return;
        const auto* items = qobject_cast<const QStandardItemModel*>(model());
        if (items && items->item(choice) && !items->item(choice)->isEnabled()) return;
        setCurrentIndex(choice);
        emit activated(choice);
    }
};

QComboBox* Popup(const PlatformControl* c) {
    return c && c->kind == PlatformControlKind::kPopup ? As<QComboBox>(c) : nullptr;
}
bool ValidItem(const QComboBox* combo, int32_t index) {
    return combo && index >= 0 && index < combo->count();
}
bool IsSeparator(const QComboBox* combo, int32_t index) {
    return combo->itemData(index, Qt::AccessibleDescriptionRole).toString() ==
           QLatin1String("separator");
}

void ShowImage(PlatformControl* c) {
    if (!c->widget) return;
    QPixmap pixmap;
    if (c->hasImage) pixmap = QPixmap::fromImage(c->image);
    if (auto* label = As<QLabel>(c)) {
        if (pixmap.isNull()) {
            label->clear();
        } else {
            label->setPixmap(
                pixmap.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        }
    } else if (auto* button = As<QToolButton>(c)) {
        button->setIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
        if (c->imageSize.isValid()) button->setIconSize(c->imageSize);
    }
}

// An image label that keeps its picture fitted to its size.
class ImageView : public QLabel {
public:
    ImageView(PlatformControl* control, QWidget* parent) : QLabel(parent), control_(control) {
        setAlignment(Qt::AlignCenter);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        ShowImage(control_);
    }

private:
    PlatformControl* control_;
};

QWidget* MakeWidget(PlatformControl* c, QWidget* parent, PlatformRect frame, const QString& title) {
    using K = PlatformControlKind;
    const bool vertical = frame.height > frame.width;
    switch (c->kind) {
        case K::kPushButton: {
            auto* b = new QPushButton(title, parent);
            QObject::connect(b, &QPushButton::clicked, b, [c] { FireAction(c, false); });
            return b;
        }
        case K::kCheckBox: {
            auto* b = new CheckBox(title, parent);
            QObject::connect(b, &QCheckBox::clicked, b, [c] { FireAction(c, false); });
            return b;
        }
        case K::kRadioButton: {
            auto* b = new RadioButton(title, parent);
            b->setAutoExclusive(false);
            QObject::connect(b, &QRadioButton::clicked, b, [c] { FireAction(c, false); });
            return b;
        }
        case K::kScroller: {
            auto* s = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, parent);
            s->setRange(0, kSteps);
            QObject::connect(s, &QScrollBar::valueChanged, s, [c] { FireAction(c, false); });
            return s;
        }
        case K::kEditText:
        case K::kSecureEditText: {
            // A field too low for two lines keeps one line and scrolls it sideways.
            const bool multiLine = c->kind == K::kEditText &&
                                   2 * parent->fontMetrics().lineSpacing() <= frame.height - 5;
            if (multiLine) {
                auto* area = new TextArea(c, parent, true);
                area->setPlainText(title);
                QObject::connect(area, &QPlainTextEdit::textChanged, area, [c, area] {
                    if (c->quiet) return;
                    if (c->allCaps) {
                        const QString upper = area->toPlainText().toUpper();
                        if (upper != area->toPlainText()) {
                            const int at = area->textCursor().position();
                            Quiet quiet(c);
                            area->setPlainText(upper);
                            QTextCursor cursor = area->textCursor();
                            cursor.setPosition(std::min(at, int(upper.size())));
                            area->setTextCursor(cursor);
                        }
                    }
                    FireAction(c, true);
                });
                return area;
            }
            auto* f = new TextField(c, parent, false);
            if (c->kind == K::kSecureEditText) f->setEchoMode(QLineEdit::Password);
            f->setText(title);
            QObject::connect(f, &QLineEdit::textEdited, f, [c, f] {
                if (c->allCaps) {
                    const QString upper = f->text().toUpper();
                    if (upper != f->text()) {
                        const int at = f->cursorPosition();
                        Quiet quiet(c);
                        f->setText(upper);
                        f->setCursorPosition(at);
                    }
                }
                FireAction(c, true);
            });
            return f;
        }
        case K::kStaticText: {
            auto* l = new QLabel(title, parent);
            l->setWordWrap(true);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return l;
        }
        case K::kPopup: {
            auto* p = new PopupButton(parent);
            QObject::connect(p, &QComboBox::activated, p, [c] { FireAction(c, false); });
            return p;
        }
        case K::kBox: return new QGroupBox(title, parent);
        case K::kImage: return new ImageView(c, parent);
        case K::kTabView: {
            auto* t = new TabView(c, parent);
            QObject::connect(t->bar, &QTabBar::currentChanged, t, [c] { FireAction(c, false); });
            return t;
        }
        case K::kIconButton: {
            auto* b = new QToolButton(parent);
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
            b->setCheckable(true);
            QObject::connect(b, &QToolButton::clicked, b, [c] { FireAction(c, false); });
            return b;
        }
        case K::kDisclosure: {
            auto* b = new QToolButton(parent);
            b->setArrowType(Qt::RightArrow);
            b->setAutoRaise(true);
            b->setCheckable(true);
            QObject::connect(b, &QToolButton::toggled, b, [b](bool on) {
                b->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
            });
            QObject::connect(b, &QToolButton::clicked, b, [c] { FireAction(c, false); });
            return b;
        }
        case K::kProgress: {
            auto* p = new QProgressBar(parent);
            p->setRange(0, kSteps);
            p->setValue(0);
            p->setTextVisible(false);
            return p;
        }
        case K::kUserDrawn: {
            auto* w = new QWidget(parent);
            w->setAttribute(Qt::WA_NoSystemBackground);
            return w;
        }
        case K::kColorWell: return new ColorWell(c, parent);
        case K::kSegmented: return new Segmented(c, parent);
        case K::kSlider: {
            auto* s = new QSlider(vertical ? Qt::Vertical : Qt::Horizontal, parent);
            s->setRange(0, kSteps);
            QObject::connect(s, &QSlider::valueChanged, s, [c] { FireAction(c, false); });
            return s;
        }
    }
    return nullptr;
}

void DeleteNow(PlatformControl* control) {
    delete control->widget.data();
    delete control;
}

QWidget* Host(PlatformWindow* window) {
    return window ? PlatformWindowHostWidget(window) : nullptr;
}

}  // namespace

void PlatformSetControlCallbacks(const PlatformControlCallbacks& callbacks) {
    gCallbacks = callbacks;
}

namespace {
PlatformControlPreDispatch gControlPreDispatch = nullptr;

bool ControlPreDispatch(int32_t windowID, void* native, const PlatformInputEvent& input) {
    PlatformControl* control = PlatformControlFromNative(native);
    if (!gControlPreDispatch || !control || !control->owner) return false;
    ++gDepth;
    const bool swallowed = gControlPreDispatch(windowID, native, input);
    --gDepth;
    // A control gone meanwhile (its link is cleared at once) never sees the click.
    return swallowed || PlatformControlFromNative(native) != control || !control->owner;
}
}  // namespace

void PlatformControlSetPreDispatch(PlatformControlPreDispatch hook) {
    gControlPreDispatch = hook;
    PlatformSetControlPreDispatch(hook ? ControlPreDispatch : nullptr);
}

PlatformControl* PlatformControlCreate(PlatformWindow* window, PlatformControlKind kind,
                                       PlatformRect frame, const char* title) {
    QWidget* view = window ? PlatformWindowContentWidget(window) : nullptr;
    if (!view) return nullptr;
    PlatformControlFlushDestroyed();
    auto* control = new PlatformControl;
    control->kind = kind;
    control->windowID = PlatformWindowID(window);
    QWidget* widget = MakeWidget(control, view, frame, Q(title));
    control->widget = widget;
    widget->hide();
    if (kind != PlatformControlKind::kEditText && kind != PlatformControlKind::kSecureEditText)
        widget->setFocusPolicy(Qt::NoFocus);
    widget->setGeometry(frame.x, frame.y, std::max(frame.width, 0), std::max(frame.height, 0));
    widget->setProperty(kLinkProperty, QVariant::fromValue(quintptr(control)));
    widget->installEventFilter(new TrackingFilter(control, widget));
    PlatformInstallControlPreDispatch(widget, control->windowID);
    return control;
}

void PlatformControlDestroy(PlatformControl* control) {
    if (!control) return;
    control->owner = nullptr;
    if (QWidget* widget = control->widget) {
        QObject::disconnect(widget, nullptr, nullptr, nullptr);
        widget->setProperty(kLinkProperty, QVariant());
        if (gDepth > 0) {
            widget->hide();
            widget->setParent(nullptr);
            gDoomed.push_back(control);
            // Deleted from the run loop once the callbacks are over.
            if (!gFlushPosted) {
                gFlushPosted = true;
                PlatformPostDeferred([](void*) { PlatformControlFlushDestroyed(); }, nullptr, 0);
            }
            return;
        }
    }
    DeleteNow(control);
}

void PlatformControlFlushDestroyed() {
    gFlushPosted = false;
    if (gDepth > 0) return;
    std::vector<PlatformControl*> doomed;
    doomed.swap(gDoomed);
    for (PlatformControl* control : doomed) DeleteNow(control);
}

void PlatformControlSetOwner(PlatformControl* control, void* owner) {
    if (control) control->owner = owner;
}
void* PlatformControlOwner(const PlatformControl* control) {
    return control ? control->owner : nullptr;
}

PlatformControl* PlatformControlFromNative(const void* native) {
    // Natives are the widgets the window layer hands out.
    auto* widget = static_cast<QWidget*>(const_cast<void*>(native));
    for (; widget; widget = widget->parentWidget()) {
        const QVariant link = widget->property(kLinkProperty);
        if (link.isValid()) return reinterpret_cast<PlatformControl*>(link.value<quintptr>());
        if (widget->isWindow()) break;
    }
    return nullptr;
}

PlatformControlKind PlatformControlGetKind(const PlatformControl* control) { return control->kind; }

PlatformRect PlatformControlFrame(const PlatformControl* control) {
    if (!control || !control->widget) return {};
    const QRect r = control->widget->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void PlatformControlSetFrame(PlatformControl* control, PlatformRect frame) {
    if (!control || !control->widget) return;
    control->widget->setGeometry(frame.x, frame.y, std::max(frame.width, 0),
                                 std::max(frame.height, 0));
}

void PlatformControlStackBelow(PlatformControl* control, PlatformControl* above) {
    if (!control || !control->widget) return;
    if (above && above->widget)
        control->widget->stackUnder(above->widget);
    else
        control->widget->raise();
}

void PlatformControlSetVisible(PlatformControl* control, bool visible) {
    if (control && control->widget) control->widget->setVisible(visible);
}
bool PlatformControlIsHidden(const PlatformControl* control) {
    return !control || !control->widget || control->widget->isHidden();
}
void PlatformControlSetEnabled(PlatformControl* control, bool enabled) {
    if (control && control->widget) control->widget->setEnabled(enabled);
}
bool PlatformControlIsEnabled(const PlatformControl* control) {
    return control && control->widget && control->widget->isEnabled();
}
void PlatformControlUpdate(PlatformControl* control) {
    if (control && control->widget) control->widget->update();
}

void PlatformControlSetSmall(PlatformControl* control, bool small) {
    if (!control || !control->widget) return;
    QFont font = QApplication::font();
    if (small) font.setPointSizeF(font.pointSizeF() * 0.85);
    control->widget->setFont(font);
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data())) tabs->bar->setFont(font);
}

void PlatformControlSetAlignment(PlatformControl* control, int32_t alignment) {
    const Qt::Alignment h = alignment == 1 ? Qt::AlignRight : Qt::AlignLeft;
    if (auto* field = As<QLineEdit>(control)) field->setAlignment(h | Qt::AlignVCenter);
    if (auto* area = As<QPlainTextEdit>(control))
        area->document()->setDefaultTextOption(QTextOption(h));
    if (auto* label = As<QLabel>(control)) label->setAlignment(h | Qt::AlignTop);
}

namespace {
// Reports a focus change of a text field in a window that is not active (the platform only
// reports those of the active window).
void NotifyFocus(QWidget* widget, bool gained) {
    PlatformControl* control = widget ? PlatformControlFromNative(widget) : nullptr;
    if (!control || !gCallbacks.focus || control->widget != widget ||
        (control->kind != PlatformControlKind::kEditText &&
         control->kind != PlatformControlKind::kSecureEditText))
        return;
    Fire(
        control,
        [&](void* owner) {
            gCallbacks.focus(owner, gained);
            return 0;
        },
        0);
}

void MoveFocus(QWidget* widget) {
    QWidget* top = widget->window();
    QPointer<QWidget> before = top->focusWidget();
    QPointer<QWidget> after = widget;
    widget->setFocus(Qt::OtherFocusReason);
    if (top->isActiveWindow() || before == after) return;
    if (before) NotifyFocus(before, false);
    if (after && after->window()->focusWidget() == after) NotifyFocus(after, true);
}
}  // namespace

bool PlatformControlSetFocus(PlatformControl* control) {
    if (!control || !control->widget) return false;
    QPointer<QWidget> widget = control->widget.data();
    if (widget->focusPolicy() == Qt::NoFocus) return false;
    MoveFocus(widget);
    return widget && widget->window()->focusWidget() == widget;
}

bool PlatformControlHasFocus(const PlatformControl* control) {
    return control && control->widget &&
           control->widget->window()->focusWidget() == control->widget;
}

PlatformControl* PlatformControlFocused(PlatformWindow* window) {
    QWidget* host = Host(window);
    QWidget* focus = host ? host->focusWidget() : nullptr;
    return focus ? PlatformControlFromNative(focus) : nullptr;
}

bool PlatformControlViewHasFocus(PlatformWindow* window) {
    QWidget* view = window ? PlatformWindowContentWidget(window) : nullptr;
    return view && view->window()->focusWidget() == view;
}

void PlatformControlClearFocus(PlatformWindow* window) {
    QWidget* view = window ? PlatformWindowContentWidget(window) : nullptr;
    if (view) MoveFocus(view);
}

void PlatformControlSetTabOrder(PlatformControl* first, PlatformControl* second) {
    if (first && second && first->widget && second->widget && first != second)
        QWidget::setTabOrder(first->widget, second->widget);
}

void PlatformControlSetTitle(PlatformControl* control, const char* title) {
    if (auto* button = As<QAbstractButton>(control))
        button->setText(Q(title));
    else if (auto* box = As<QGroupBox>(control))
        box->setTitle(Q(title));
}

std::string PlatformControlTitle(const PlatformControl* control) {
    if (auto* button = As<QAbstractButton>(control)) return S(button->text());
    if (auto* box = As<QGroupBox>(control)) return S(box->title());
    return {};
}

void PlatformControlSetText(PlatformControl* control, const char* text) {
    if (!control) return;
    Quiet quiet(control);
    if (auto* field = As<QLineEdit>(control)) {
        QString value = Q(text);
        if (control->allCaps) value = value.toUpper();
        field->setText(value);
    } else if (auto* area = As<QPlainTextEdit>(control)) {
        QString value = Q(text);
        if (control->allCaps) value = value.toUpper();
        area->setPlainText(value);
    } else if (auto* label = As<QLabel>(control)) {
        if (control->kind == PlatformControlKind::kStaticText) label->setText(Q(text));
    } else if (control->kind == PlatformControlKind::kSlider ||
               control->kind == PlatformControlKind::kScroller ||
               control->kind == PlatformControlKind::kProgress) {
        bool ok = false;
        const double value = Q(text).trimmed().toDouble(&ok);
        PlatformControlSetValue(control, ok ? value : 0);
    } else if (auto* button = As<QAbstractButton>(control)) {
        button->setText(Q(text));
    }
}

std::string PlatformControlText(const PlatformControl* control) {
    if (auto* field = As<QLineEdit>(control)) return S(field->text());
    if (auto* area = As<QPlainTextEdit>(control)) return S(area->toPlainText());
    if (auto* label = As<QLabel>(control)) return S(label->text());
    if (control && (control->kind == PlatformControlKind::kSlider ||
                    control->kind == PlatformControlKind::kScroller ||
                    control->kind == PlatformControlKind::kProgress))
        return S(QString::number(PlatformControlValue(control)));
    return {};
}

namespace {
// Byte offsets of a UTF-8 text to UTF-16 positions and back.
int ToUtf16(const QString& text, int32_t byteOffset) {
    int bytes = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (bytes >= byteOffset) return i;
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size()) {
            bytes += 4;
            ++i;
        } else {
            bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
    }
    return int(text.size());
}
int32_t ToBytes(const QString& text, int position) {
    return int32_t(text.left(std::clamp(position, 0, int(text.size()))).toUtf8().size());
}
}  // namespace

void PlatformControlSetSelection(PlatformControl* control, int32_t start, int32_t end) {
    if (auto* field = As<QLineEdit>(control)) {
        const QString text = field->text();
        const int from = ToUtf16(text, start), to = ToUtf16(text, end);
        field->setSelection(from, to - from);
    } else if (auto* area = As<QPlainTextEdit>(control)) {
        const QString text = area->toPlainText();
        QTextCursor cursor = area->textCursor();
        cursor.setPosition(ToUtf16(text, start));
        cursor.setPosition(ToUtf16(text, end), QTextCursor::KeepAnchor);
        area->setTextCursor(cursor);
    }
}

void PlatformControlSelection(const PlatformControl* control, int32_t* start, int32_t* end) {
    int from = 0, to = 0;
    QString text;
    if (auto* field = As<QLineEdit>(control)) {
        text = field->text();
        if (field->hasSelectedText()) {
            from = field->selectionStart();
            to = from + int(field->selectedText().size());
        } else {
            from = to = field->cursorPosition();
        }
    } else if (auto* area = As<QPlainTextEdit>(control)) {
        text = area->toPlainText();
        from = area->textCursor().selectionStart();
        to = area->textCursor().selectionEnd();
    }
    if (start) *start = ToBytes(text, from);
    if (end) *end = ToBytes(text, to);
}

void PlatformControlEditCommand(PlatformControl* control, int32_t command) {
    if (command < 0 || command > 3) return;
    if (auto* field = As<QLineEdit>(control)) {
        switch (command) {
            case 0: field->cut(); break;
            case 1: field->copy(); break;
            case 2: field->paste(); break;
            default: field->del(); break;
        }
    } else if (auto* area = As<QPlainTextEdit>(control)) {
        // The area's own edits are reported by its change signal.
        Quiet quiet(control);
        switch (command) {
            case 0: area->cut(); break;
            case 1: area->copy(); break;
            case 2: area->paste(); break;
            default: {
                QTextCursor cursor = area->textCursor();
                cursor.removeSelectedText();
                area->setTextCursor(cursor);
            }
        }
    } else {
        return;
    }
    if (command != 1) FireAction(control, true);
}

void PlatformControlSetAllCaps(PlatformControl* control, bool on) {
    if (control) control->allCaps = on;
}

void PlatformControlSetState(PlatformControl* control, int32_t state) {
    if (!control) return;
    Quiet quiet(control);
    if (auto* check = As<QCheckBox>(control)) {
        check->setCheckState(state == 2 ? Qt::PartiallyChecked
                             : state    ? Qt::Checked
                                        : Qt::Unchecked);
    } else if (auto* button = As<QAbstractButton>(control)) {
        if (button->isCheckable()) button->setChecked(state != 0);
    }
}

int32_t PlatformControlState(const PlatformControl* control) {
    if (auto* check = As<QCheckBox>(control)) {
        const Qt::CheckState s = check->checkState();
        return s == Qt::PartiallyChecked ? 2 : s == Qt::Checked ? 1 : 0;
    }
    if (auto* button = As<QAbstractButton>(control)) return button->isChecked() ? 1 : 0;
    return 0;
}

void PlatformControlSetHighlight(PlatformControl* control, bool on) {
    if (auto* button = As<QAbstractButton>(control)) button->setDown(on);
}

void PlatformControlPerformClick(PlatformControl* control) {
    if (auto* button = As<QAbstractButton>(control)) button->click();
}

void PlatformControlSetToggles(PlatformControl* control, bool toggles) {
    if (control) control->toggles = toggles;
}

void PlatformControlSetValue(PlatformControl* control, double value) {
    if (!control || !std::isfinite(value)) return;
    Quiet quiet(control);
    if (auto* slider = As<QAbstractSlider>(control))
        slider->setValue(ToSteps(control, value));
    else if (auto* bar = As<QProgressBar>(control)) {
        if (bar->maximum() > 0) bar->setValue(ToSteps(control, value));
    }
}

double PlatformControlValue(const PlatformControl* control) {
    if (auto* slider = As<QAbstractSlider>(control)) return FromSteps(control, slider->value());
    if (auto* bar = As<QProgressBar>(control))
        return bar->maximum() > 0 ? FromSteps(control, std::max(bar->value(), 0)) : 0;
    return 0;
}

void PlatformControlSetRange(PlatformControl* control, double minimum, double maximum) {
    if (!control || !std::isfinite(minimum) || !std::isfinite(maximum)) return;
    const double value = PlatformControlValue(control);
    control->minimum = std::min(minimum, maximum);
    control->maximum = std::max(minimum, maximum);
    PlatformControlSetValue(control, value);
}

void PlatformControlSetIndeterminate(PlatformControl* control, bool indeterminate) {
    if (auto* bar = As<QProgressBar>(control)) bar->setRange(0, indeterminate ? 0 : kSteps);
}

int32_t PlatformControlItemCount(const PlatformControl* control) {
    QComboBox* combo = Popup(control);
    return combo ? combo->count() : 0;
}

void PlatformControlInsertItem(PlatformControl* control, int32_t index, const char* title,
                               bool separator) {
    QComboBox* combo = Popup(control);
    if (!combo) return;
    Quiet quiet(control);
    if (index < 0 || index > combo->count()) index = combo->count();
    if (separator)
        combo->insertSeparator(index);
    else
        combo->insertItem(index, Q(title));
}

void PlatformControlRemoveItem(PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    if (!ValidItem(combo, index)) return;
    Quiet quiet(control);
    combo->removeItem(index);
}

void PlatformControlSetItemTitle(PlatformControl* control, int32_t index, const char* title) {
    QComboBox* combo = Popup(control);
    if (ValidItem(combo, index)) combo->setItemText(index, Q(title));
}

std::string PlatformControlItemTitle(const PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    return ValidItem(combo, index) ? S(combo->itemText(index)) : std::string();
}

bool PlatformControlItemIsSeparator(const PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    return ValidItem(combo, index) && IsSeparator(combo, index);
}

void PlatformControlSetItemEnabled(PlatformControl* control, int32_t index, bool enabled) {
    QComboBox* combo = Popup(control);
    if (!ValidItem(combo, index)) return;
    if (auto* model = qobject_cast<QStandardItemModel*>(combo->model()))
        if (QStandardItem* item = model->item(index)) item->setEnabled(enabled);
}

bool PlatformControlItemEnabled(const PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    if (!ValidItem(combo, index)) return false;
    auto* model = qobject_cast<QStandardItemModel*>(combo->model());
    QStandardItem* item = model ? model->item(index) : nullptr;
    return item && item->isEnabled();
}

void PlatformControlSetItemState(PlatformControl* control, int32_t index, int32_t state) {
    QComboBox* combo = Popup(control);
    if (ValidItem(combo, index)) combo->setItemData(index, state, Qt::UserRole + 1);
}

int32_t PlatformControlItemState(const PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    return ValidItem(combo, index) ? combo->itemData(index, Qt::UserRole + 1).toInt() : 0;
}

void PlatformControlSetItemReference(PlatformControl* control, int32_t index, intptr_t value) {
    QComboBox* combo = Popup(control);
    if (ValidItem(combo, index))
        combo->setItemData(index, QVariant::fromValue(qlonglong(value)), Qt::UserRole);
}

intptr_t PlatformControlItemReference(const PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    return ValidItem(combo, index) ? intptr_t(combo->itemData(index, Qt::UserRole).toLongLong())
                                   : 0;
}

void PlatformControlSetItemFace(PlatformControl* control, int32_t index, uint32_t face) {
    QComboBox* combo = Popup(control);
    if (!ValidItem(combo, index)) return;
    QFont font = combo->font();
    font.setBold(face & 1);
    font.setItalic(face & 2);
    font.setUnderline(face & 4);
    combo->setItemData(index, font, Qt::FontRole);
}

int32_t PlatformControlTabCount(const PlatformControl* control) {
    if (!control || !control->widget) return 0;
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data())) return tabs->bar->count();
    if (auto* seg = dynamic_cast<Segmented*>(control->widget.data()))
        return int32_t(seg->labels.size());
    return 0;
}

void PlatformControlInsertTab(PlatformControl* control, int32_t index, const char* label) {
    if (!control || !control->widget) return;
    Quiet quiet(control);
    const int32_t count = PlatformControlTabCount(control);
    if (index < 0 || index > count) index = count;
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data())) {
        tabs->bar->insertTab(index, Q(label));
    } else if (auto* seg = dynamic_cast<Segmented*>(control->widget.data())) {
        seg->labels.insert(seg->labels.begin() + index, Q(label));
        if (seg->selected >= index) ++seg->selected;
        seg->update();
    }
}

void PlatformControlRemoveTab(PlatformControl* control, int32_t index) {
    if (!control || !control->widget || index < 0 || index >= PlatformControlTabCount(control))
        return;
    Quiet quiet(control);
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data())) {
        tabs->bar->removeTab(index);
    } else if (auto* seg = dynamic_cast<Segmented*>(control->widget.data())) {
        seg->labels.erase(seg->labels.begin() + index);
        if (seg->selected == index)
            seg->selected = -1;
        else if (seg->selected > index)
            --seg->selected;
        seg->update();
    }
}

void PlatformControlSetTabLabel(PlatformControl* control, int32_t index, const char* label) {
    if (!control || !control->widget || index < 0 || index >= PlatformControlTabCount(control))
        return;
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data())) {
        tabs->bar->setTabText(index, Q(label));
    } else if (auto* seg = dynamic_cast<Segmented*>(control->widget.data())) {
        seg->labels[size_t(index)] = Q(label);
        seg->update();
    }
}

std::string PlatformControlTabLabel(const PlatformControl* control, int32_t index) {
    if (!control || !control->widget || index < 0 || index >= PlatformControlTabCount(control))
        return {};
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data()))
        return S(tabs->bar->tabText(index));
    if (auto* seg = dynamic_cast<Segmented*>(control->widget.data()))
        return S(seg->labels[size_t(index)]);
    return {};
}

void PlatformControlSelect(PlatformControl* control, int32_t index) {
    if (!control || !control->widget) return;
    Quiet quiet(control);
    if (auto* combo = Popup(control)) {
        if (ValidItem(combo, index)) combo->setCurrentIndex(index);
    } else if (auto* tabs = dynamic_cast<TabView*>(control->widget.data())) {
        if (index >= 0 && index < tabs->bar->count()) tabs->bar->setCurrentIndex(index);
    } else if (auto* seg = dynamic_cast<Segmented*>(control->widget.data())) {
        if (index >= -1 && index < int32_t(seg->labels.size())) seg->selected = index;
        seg->update();
    }
}

int32_t PlatformControlSelected(const PlatformControl* control) {
    if (!control || !control->widget) return -1;
    if (auto* combo = Popup(control)) return combo->currentIndex();
    if (auto* tabs = dynamic_cast<TabView*>(control->widget.data()))
        return tabs->bar->currentIndex();
    if (auto* seg = dynamic_cast<Segmented*>(control->widget.data())) return seg->selected;
    return -1;
}

PlatformRect PlatformControlContentArea(const PlatformControl* control) {
    auto* tabs =
        control && control->widget ? dynamic_cast<TabView*>(control->widget.data()) : nullptr;
    if (!tabs) return PlatformControlFrame(control);
    const QRect inner = tabs->ContentRect().translated(tabs->pos());
    return {inner.x(), inner.y(), inner.width(), inner.height()};
}

void PlatformControlSetImage(PlatformControl* control, const DrawImage* image) {
    if (!control) return;
    control->hasImage = image != nullptr;
    control->image = image ? DrawImageQImage(*image) : QImage();
    ShowImage(control);
}

void PlatformControlSetStandardImage(PlatformControl* control, int32_t which) {
    if (!control || !control->widget) return;
    const QStyle::StandardPixmap kind =
        which == 1 ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation;
    control->image = control->widget->style()->standardIcon(kind).pixmap(64, 64).toImage();
    control->hasImage = !control->image.isNull();
    ShowImage(control);
}

bool PlatformControlHasImage(const PlatformControl* control) {
    return control && control->hasImage;
}

void PlatformControlSetImageSize(PlatformControl* control, int32_t width, int32_t height) {
    if (!control) return;
    control->imageSize = QSize(width, height);
    ShowImage(control);
}

void PlatformControlImageSize(const PlatformControl* control, int32_t* width, int32_t* height) {
    const QSize size = control ? control->imageSize : QSize();
    if (width) *width = size.isValid() ? size.width() : 0;
    if (height) *height = size.isValid() ? size.height() : 0;
}

void PlatformControlSetColor(PlatformControl* control, uint32_t rgb) {
    if (!control) return;
    control->color = rgb & 0xFFFFFF;
    if (control->widget) control->widget->update();
}

uint32_t PlatformControlColor(const PlatformControl* control) {
    return control ? control->color : 0;
}

bool PlatformControlColorPanelIsOpen() { return gColorPanel && gColorPanel->isVisible(); }

void PlatformControlCloseColorPanel() {
    if (gColorPanel) gColorPanel->hide();
    gColorTarget = nullptr;
}

void PlatformControlTestPickColor(uint32_t rgb) {
    if (PlatformControlColorPanelIsOpen())
        gColorPanel->setCurrentColor(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
}

void PlatformControlTestClick(PlatformControl* control, int32_t x, int32_t y, uint16_t button,
                              uint32_t modifiers) {
    if (!control || !control->widget) return;
    QPointer<QWidget> target = control->widget.data();
    QPoint at(x, y);
    if (QWidget* child = target->childAt(at)) {
        at = child->mapFrom(target.data(), at);
        target = child;
    }
    const Qt::MouseButton which = button == 0   ? Qt::LeftButton
                                  : button == 1 ? Qt::RightButton
                                                : Qt::MiddleButton;
    const QPointF global = target->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, which, which,
                      QtModifiers(modifiers));
    QApplication::sendEvent(target, &press);
    if (!target) return;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, which, Qt::NoButton,
                        QtModifiers(modifiers));
    QApplication::sendEvent(target, &release);
}

void PlatformControlTestChoose(PlatformControl* control, int32_t index) {
    QComboBox* combo = Popup(control);
    if (!ValidItem(combo, index)) return;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

namespace {
QWidget* KeyTarget(PlatformWindow* window) {
    QWidget* host = Host(window);
    if (!host) return nullptr;
    if (QWidget* focus = host->focusWidget()) return focus;
    return PlatformWindowContentWidget(window);
}
}  // namespace

void PlatformControlTestType(PlatformWindow* window, const char* utf8) {
    const QString text = Q(utf8);
    for (QChar c : text) {
        QPointer<QWidget> target = KeyTarget(window);
        if (!target) return;
        const int key = c.isLetterOrNumber() && c.unicode() < 0x80 ? c.toUpper().unicode()
                                                                   : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
    }
}

void PlatformControlTestKey(PlatformWindow* window, uint16_t key, uint32_t modifiers) {
    QWidget* target = KeyTarget(window);
    if (!target) return;
    int code = Qt::Key_unknown;
    QString text;
    switch (key) {
        case 13:
            code = Qt::Key_Return;
            text = QStringLiteral("\r");
            break;
        case 3:
            code = Qt::Key_Enter;
            text = QStringLiteral("\r");
            break;
        case 27:
            code = Qt::Key_Escape;
            text = QString(QChar(27));
            break;
        case 9:
            code = Qt::Key_Tab;
            text = QStringLiteral("\t");
            break;
        case 25: code = Qt::Key_Backtab; break;
        case 8:
            code = Qt::Key_Backspace;
            text = QString(QChar(8));
            break;
        default: text = QString(QChar(key)); break;
    }
    QKeyEvent press(QEvent::KeyPress, code, QtModifiers(modifiers), text);
    QApplication::sendEvent(target, &press);
}

}  // namespace plexa
