// Platform windows over Qt widgets. A top-level window is a plain QWidget holding an optional
// QMenuBar above its content view; the content view keeps a premultiplied ARGB backing image that
// the toolkit draws into and that paint events copy to the screen. The front-to-back list and the
// key window are the platform's own record, updated by showing, activating and the window
// system's activation notices.
#include "platform/window_platform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QScrollBar>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/draw_context_qt.h"
#include "platform/window_platform_qt.h"

namespace plexa {
namespace {

PlatformWindowCallbacks gCallbacks;
PlatformControlPreDispatch gPreDispatch = nullptr;
PlatformKeyEquivalentHook gKeyEquivalent = nullptr;
std::vector<PlatformWindow*> gOrder;  // top-level windows, front to back
int32_t gKeyID = 0;
int gPainting = 0;  // content views painting now: widgets destroyed meanwhile go later

uint32_t Modifiers(Qt::KeyboardModifiers mods) {
    uint32_t result = 0;
    if (mods & Qt::ShiftModifier) result |= kPlatformModShift;
    if (mods & Qt::ControlModifier) result |= kPlatformModCommand;  // Command is Ctrl here
    if (mods & Qt::AltModifier) result |= kPlatformModOption;
    if (mods & Qt::MetaModifier) result |= kPlatformModControl;
    return result;
}

uint16_t Button(Qt::MouseButton button) {
    if (button == Qt::LeftButton) return 0;
    if (button == Qt::RightButton) return 1;
    return 2;
}

// The toolkit's character for a key: function keys in the private-use block, letters typed with
// Command as the plain letter.
uint16_t KeyCharacter(const QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up: return 0xF700;
        case Qt::Key_Down: return 0xF701;
        case Qt::Key_Left: return 0xF702;
        case Qt::Key_Right: return 0xF703;
        case Qt::Key_Home: return 0xF729;
        case Qt::Key_End: return 0xF72B;
        case Qt::Key_PageUp: return 0xF72C;
        case Qt::Key_PageDown: return 0xF72D;
        case Qt::Key_Delete: return 0xF728;
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Return: return 13;
        case Qt::Key_Enter: return 3;
        case Qt::Key_Tab: return 9;
        case Qt::Key_Escape: return 27;
        default: break;
    }
    if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F35)
        return uint16_t(0xF704 + (event->key() - Qt::Key_F1));
    if ((event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A &&
        event->key() <= Qt::Key_Z) {
        const char base = (event->modifiers() & Qt::ShiftModifier) ? 'A' : 'a';
        return uint16_t(base + (event->key() - Qt::Key_A));
    }
    const QString text = event->text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

class ContentView;

}  // namespace

struct PlatformWindow;
namespace {
void EndDrawing(PlatformWindow* window);
void FinishDead(PlatformWindow* window, bool insidePaint);
}  // namespace

struct PlatformWindow {
    int32_t id = 0;
    PlatformWindowKind kind = PlatformWindowKind::kDocument;
    PlatformWindow* parent = nullptr;
    QWidget* host = nullptr;       // top-level windows: the window widget
    ContentView* view = nullptr;
    QMenuBar* menuBar = nullptr;
    QWidget* overlay = nullptr;  // a child of the view
    std::unique_ptr<DrawContext> context;
    bool modified = false;
    int busy = 0;       // inside the toolkit's drawing
    bool dead = false;  // destroyed while busy
    int32_t ownerID = 0;  // the window it belongs to (top-level windows), 0 for none
    bool modal = false;   // takes the owner's input while shown
};

namespace {

class ContentView : public QWidget {
public:
    ContentView(PlatformWindow* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
    }

    QImage image;
    QRegion dirty;
    int64_t paintedAt = 0;  // the end of the first paint, nanoseconds of the steady clock

    // The window is gone; the widget only waits for its deletion.
    void Detach() { owner_ = nullptr; }

    // Lets the toolkit draw what is dirty, then ends its drawing so the image can be read.
    // False when the toolkit destroyed the window meanwhile.
    bool Prepare() {
        if (image.size() != size()) Reshape();
        if (!dirty.isEmpty() && gCallbacks.draw) {
            const QRect r = dirty.boundingRect();
            dirty = QRegion();
            ++owner_->busy;
            gCallbacks.draw(owner_->id, {r.x(), r.y(), r.width(), r.height()});
            --owner_->busy;
            if (owner_->dead) return false;
        }
        dirty = QRegion();
        EndDrawing(owner_);
        return true;
    }

    void Reshape() {
        EndDrawing(owner_);
        if (width() <= 0 || height() <= 0) {
            image = QImage();
            return;
        }
        QImage next(size(), QImage::Format_ARGB32_Premultiplied);
        next.fill(Qt::white);
        if (!image.isNull()) {
            QPainter painter(&next);
            painter.drawImage(0, 0, image);
        }
        image = std::move(next);
        dirty = QRegion(rect());
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!owner_) return;
        ++gPainting;
        const bool alive = Prepare();
        --gPainting;
        if (!alive) {
            if (!owner_->busy) FinishDead(owner_, true);
            return;
        }
        QPainter painter(this);
        // Only what the event asks for is copied: an overlay updated over a small area repaints
        // that area of the view beneath, not the whole view.
        if (!image.isNull())
            for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), image, r);
        if (!paintedAt)
            paintedAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    }
    void resizeEvent(QResizeEvent*) override {
        if (!owner_) return;
        Reshape();
        if (owner_->overlay) owner_->overlay->setGeometry(rect());
        if (gCallbacks.resized) gCallbacks.resized(owner_->id, width(), height());
    }
    void mousePressEvent(QMouseEvent* event) override { Mouse(PlatformInputKind::kMouseDown, event, 1); }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        Mouse(PlatformInputKind::kMouseDown, event, 2);
    }
    void mouseReleaseEvent(QMouseEvent* event) override { Mouse(PlatformInputKind::kMouseUp, event, 1); }
    void mouseMoveEvent(QMouseEvent* event) override {
        Mouse(event->buttons() ? PlatformInputKind::kMouseDragged : PlatformInputKind::kMouseMoved,
              event, 0);
    }
    void wheelEvent(QWheelEvent* event) override {
        if (!owner_) return;
        PlatformInputEvent input;
        input.kind = PlatformInputKind::kWheel;
        input.windowID = owner_->id;
        input.x = int32_t(event->position().x());
        input.y = int32_t(event->position().y());
        const QPoint screen = event->globalPosition().toPoint();
        input.screenX = screen.x();
        input.screenY = screen.y();
        input.hasScreenPoint = 1;
        input.modifiers = Modifiers(event->modifiers());
        // Precise (trackpad) deltas in view units when the device has them, else wheel lines.
        if (!event->pixelDelta().isNull()) {
            input.wheelDeltaV = event->pixelDelta().y();
            input.wheelDeltaH = event->pixelDelta().x();
        } else {
            input.wheelDeltaV = event->angleDelta().y() / 120.0;
            input.wheelDeltaH = event->angleDelta().x() / 120.0;
            input.wheelLines = 1;
        }
        PlatformDeliverInput(input);
    }
    // A pinch on a touchpad arrives as a zoom gesture: its value is the change of scale. Tab
    // typed in the window's own content is a key for the window (a sheet turns the legs of the
    // wire it draws with it), not a move of the focus to the next control; the controls still
    // move the focus along their loop.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::NativeGesture && owner_) {
            auto* gesture = static_cast<QNativeGestureEvent*>(event);
            if (gesture->gestureType() == Qt::ZoomNativeGesture) {
                PlatformInputEvent input;
                input.kind = PlatformInputKind::kMagnify;
                input.windowID = owner_->id;
                input.x = int32_t(gesture->position().x());
                input.y = int32_t(gesture->position().y());
                input.modifiers = Modifiers(gesture->modifiers());
                input.magnification = gesture->value();
                PlatformDeliverInput(input);
                return true;
            }
        }
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                keyPressEvent(key);
                return true;
            }
        }
        return QWidget::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override { Key(PlatformInputKind::kKeyDown, event); }
    void keyReleaseEvent(QKeyEvent* event) override { Key(PlatformInputKind::kKeyUp, event); }

private:
    void Mouse(PlatformInputKind kind, QMouseEvent* event, uint16_t clicks) {
        if (!owner_) return;
        PlatformInputEvent input;
        input.kind = kind;
        input.windowID = owner_->id;
        input.x = int32_t(event->position().x());
        input.y = int32_t(event->position().y());
        const QPoint screen = event->globalPosition().toPoint();
        input.screenX = screen.x();
        input.screenY = screen.y();
        input.hasScreenPoint = 1;
        input.button = Button(event->button());
        input.clickCount = clicks;
        input.modifiers = Modifiers(event->modifiers());
        PlatformDeliverInput(input);
    }
    void Key(PlatformInputKind kind, QKeyEvent* event) {
        if (!owner_) return;
        PlatformInputEvent input;
        input.kind = kind;
        input.windowID = owner_->id;
        input.modifiers = Modifiers(event->modifiers());
        input.keyCode = event->key() == Qt::Key_Escape ? kPlatformKeyEscape : 0;
        input.character = KeyCharacter(event);
        PlatformDeliverInput(input);
    }

    PlatformWindow* owner_;
};

void MoveToFront(PlatformWindow* window) {
    auto it = std::find(gOrder.begin(), gOrder.end(), window);
    if (it != gOrder.end()) std::rotate(gOrder.begin(), it, it + 1);
}

// The front-most shown modal window that the window belongs under (through its owners), or null.
PlatformWindow* ModalOver(const PlatformWindow* window) {
    for (PlatformWindow* modal : gOrder) {
        if (modal == window || !modal->modal || modal->dead || !modal->host ||
            !modal->host->isVisible())
            continue;
        int32_t owner = modal->ownerID;
        for (int depth = 0; owner && depth < 64; ++depth) {
            if (owner == window->id) return modal;
            const auto it = std::find_if(gOrder.begin(), gOrder.end(),
                                         [owner](PlatformWindow* w) { return w->id == owner; });
            owner = it != gOrder.end() ? (*it)->ownerID : 0;
        }
    }
    return nullptr;
}

// The window widget: a close request is passed on and refused, the toolkit decides.
class HostWindow : public QWidget {
public:
    HostWindow(PlatformWindow* owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(owner) {}
    void Detach() { owner_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (!owner_) return;
        if (gCallbacks.closeRequested) gCallbacks.closeRequested(owner_->id);
    }
    void changeEvent(QEvent* event) override {
        if (!owner_) return QWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange && fullScreen_ != isFullScreen()) {
            fullScreen_ = isFullScreen();
            if (gCallbacks.fullScreen) gCallbacks.fullScreen(owner_->id, fullScreen_);
        }
        if (event->type() == QEvent::ActivationChange) {
            const bool active = isActiveWindow();
            // A window that a modal window takes the input of (a click in it activates it on some
            // window systems) hands the activation on to the modal window, so that the keys go
            // there and not into a window that takes none.
            if (active)
                if (PlatformWindow* modal = ModalOver(owner_)) {
                    QPointer<QWidget> host = modal->host;
                    QTimer::singleShot(0, host, [host] {
                        if (!host || !host->isVisible()) return;
                        host->raise();
                        host->activateWindow();
                    });
                }
            if (active) {
                MoveToFront(owner_);
                gKeyID = owner_->id;
            }
            if (gCallbacks.activated) gCallbacks.activated(owner_->id, active);
        }
        QWidget::changeEvent(event);
    }
    void moveEvent(QMoveEvent*) override {
        if (owner_ && gCallbacks.moved) gCallbacks.moved(owner_->id);
    }

private:
    PlatformWindow* owner_;
    bool fullScreen_ = false;
};

// Drawn over the content, transparent where nothing is drawn; clicks go through it.
class OverlayView : public QWidget {
public:
    OverlayView(int32_t id, QWidget* parent) : QWidget(parent), id_(id) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(parent->rect());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!gCallbacks.drawOverlay) return;
        std::unique_ptr<DrawContext> context = DrawContextForPaintDevice(this);
        if (context) gCallbacks.drawOverlay(id_, context.get());
    }

private:
    int32_t id_;
};

class PreDispatchFilter : public QObject {
public:
    PreDispatchFilter(QObject* parent, int32_t id) : QObject(parent), id_(id) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!gKeyEquivalent || !(key->modifiers() & Qt::ControlModifier)) return false;
            const uint16_t character = KeyCharacter(key);
            return character && gKeyEquivalent(id_, character, Modifiers(key->modifiers()));
        }
        if (event->type() != QEvent::MouseButtonPress || !gPreDispatch) return false;
        auto* control = qobject_cast<QWidget*>(object);
        auto* mouse = static_cast<QMouseEvent*>(event);
        PlatformInputEvent input;
        input.kind = PlatformInputKind::kMouseDown;
        input.windowID = id_;
        const QPoint at = control->mapToParent(mouse->position().toPoint());
        input.x = at.x();
        input.y = at.y();
        input.button = Button(mouse->button());
        input.clickCount = 1;
        input.modifiers = Modifiers(mouse->modifiers());
        return gPreDispatch(id_, control, input);
    }

private:
    int32_t id_;
};

void EndDrawing(PlatformWindow* window) {
    if (!window->context) return;
    if (gCallbacks.releaseDrawing) gCallbacks.releaseDrawing(window->id);
    window->context.reset();
}

void DeleteWidgets(PlatformWindow* window, bool later) {
    QWidget* widget = window->host ? window->host : static_cast<QWidget*>(window->view);
    widget->hide();
    if (!later) {
        delete widget;  // deletes the view and the menu bar with it
        return;
    }
    // A paint is running: the widgets go when it is over, and until then they forget the window.
    if (window->host) static_cast<HostWindow*>(window->host)->Detach();
    window->view->Detach();
    for (QWidget* child : widget->findChildren<QWidget*>())
        if (auto* view = dynamic_cast<ContentView*>(child)) view->Detach();
    widget->deleteLater();
}

// A window destroyed while it drew: its widgets and record go now that the drawing is done.
void FinishDead(PlatformWindow* window, bool insidePaint) {
    DeleteWidgets(window, insidePaint);
    delete window;
}

int32_t MenuBarHeight(const PlatformWindow* window) {
    if (!window || !window->menuBar || window->menuBar->isHidden()) return 0;
    return window->menuBar->sizeHint().height();
}

}  // namespace

void PlatformSetWindowCallbacks(const PlatformWindowCallbacks& callbacks) { gCallbacks = callbacks; }

PlatformWindow* PlatformWindowCreate(int32_t windowID, PlatformWindowKind kind, uint32_t options,
                                     const char* title, PlatformRect content) {
    if (!QApplication::instance()) return nullptr;
    Qt::WindowFlags flags = Qt::Window;
    switch (kind) {
        case PlatformWindowKind::kDocument: break;
        case PlatformWindowKind::kFloating: flags = Qt::Tool; break;
        case PlatformWindowKind::kBorderless: flags = Qt::Tool | Qt::FramelessWindowHint; break;
        case PlatformWindowKind::kModal: flags = Qt::Dialog; break;
    }
    if (kind != PlatformWindowKind::kBorderless) {
        flags |= Qt::WindowTitleHint | Qt::CustomizeWindowHint;
        if (options & kPlatformWindowClosable) flags |= Qt::WindowCloseButtonHint;
        if (options & kPlatformWindowMinimizable) flags |= Qt::WindowMinimizeButtonHint;
        if (options & kPlatformWindowResizable) flags |= Qt::WindowMaximizeButtonHint;
    }
    if (options & kPlatformWindowNoActivate) flags |= Qt::WindowDoesNotAcceptFocus;
    auto* window = new PlatformWindow;
    window->id = windowID;
    window->kind = kind;
    auto* host = new HostWindow(window, flags);
    if (options & kPlatformWindowNoActivate) host->setAttribute(Qt::WA_ShowWithoutActivating);
    window->host = host;
    host->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    window->view = new ContentView(window, host);
    layout->addWidget(window->view, 1);
    PlatformWindowSetTitle(window, title);  // with the place of the mark of unsaved changes
    if (!(options & kPlatformWindowResizable) && kind != PlatformWindowKind::kBorderless)
        window->view->setFixedSize(std::max(content.width, 1), std::max(content.height, 1));
    window->view->resize(content.width, content.height);
    host->setGeometry(content.x, content.y, content.width, content.height);
    gOrder.push_back(window);
    return window;
}

PlatformWindow* PlatformChildViewCreate(int32_t windowID, PlatformWindow* parent,
                                        PlatformRect frame) {
    if (!parent || !parent->view) return nullptr;
    auto* window = new PlatformWindow;
    window->id = windowID;
    window->parent = parent;
    window->view = new ContentView(window, parent->view);
    window->view->setGeometry(frame.x, frame.y, frame.width, frame.height);
    window->view->show();
    return window;
}

namespace {

// The key window went away (closed or hidden): the front visible window that is not a floating
// one becomes key and is activated, as a window manager does; without one (and on platforms
// that do not activate, such as the offscreen one) the next window would keep no key status
// and never hear of its activation.
void ActivateFrontWindowAfter(PlatformWindow* gone) {
    gKeyID = 0;
    for (PlatformWindow* other : gOrder)
        if (other != gone && !other->dead && other->host && other->host->isVisible() &&
            other->kind != PlatformWindowKind::kFloating) {
            gKeyID = other->id;
            other->host->activateWindow();
            return;
        }
}

}  // namespace

void PlatformWindowDestroy(PlatformWindow* window) {
    if (!window || window->dead) return;
    EndDrawing(window);
    gOrder.erase(std::remove(gOrder.begin(), gOrder.end(), window), gOrder.end());
    if (gKeyID == window->id) ActivateFrontWindowAfter(window);
    if (window->busy) {
        window->dead = true;
        return;
    }
    DeleteWidgets(window, gPainting > 0);
    delete window;
}

int32_t PlatformWindowID(const PlatformWindow* window) { return window ? window->id : 0; }
bool PlatformWindowIsChild(const PlatformWindow* window) { return window && window->parent; }

namespace {

// Keeps a titled window within the usable area of its screen, in the screen's own units (so at
// any device pixel ratio): a resizable window shrinks to fit, then any window moves inside.
void FitToScreen(PlatformWindow* window) {
    if (window->kind == PlatformWindowKind::kBorderless) return;
    QWidget* host = window->host;
    const QRect geometry = host->geometry();
    QScreen* screen = QGuiApplication::screenAt(geometry.center());
    if (!screen) screen = host->screen() ? host->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // The decorations the window system adds around the window, when it tells them.
    const QRect frame = host->frameGeometry();
    const int left = geometry.x() - frame.x(), top = geometry.y() - frame.y();
    const int right = frame.right() - geometry.right(), bottom = frame.bottom() - geometry.bottom();
    QRect fitted = geometry;
    const bool resizable = window->view->minimumSize() != window->view->maximumSize();
    if (resizable) {
        const int bar = MenuBarHeight(window);
        const QSize least = window->view->minimumSize() + QSize(0, bar);
        fitted.setWidth(std::max(std::min(fitted.width(), area.width() - left - right), least.width()));
        fitted.setHeight(
            std::max(std::min(fitted.height(), area.height() - top - bottom), least.height()));
    }
    const int x = std::max(std::min(fitted.x(), area.right() + 1 - right - fitted.width()),
                           area.x() + left);
    const int y = std::max(std::min(fitted.y(), area.bottom() + 1 - bottom - fitted.height()),
                           area.y() + top);
    fitted.moveTo(x, y);
    if (fitted == geometry) return;
    host->setGeometry(fitted);
    window->view->resize(fitted.width(), fitted.height() - MenuBarHeight(window));
}

}  // namespace

namespace {

PlatformWindow* LiveWindow(int32_t id) {
    for (PlatformWindow* window : gOrder)
        if (window->id == id && !window->dead && window->host) return window;
    return nullptr;
}

// The window system learns the owner (its transient parent) and the modality before the window
// is shown: a window manager then keeps the window in front of its owner.
void ApplyOwner(PlatformWindow* window) {
    PlatformWindow* owner = window->ownerID ? LiveWindow(window->ownerID) : nullptr;
    if (owner == window) owner = nullptr;
    if (!window->host->isVisible())
        window->host->setWindowModality(owner && window->modal ? Qt::WindowModal : Qt::NonModal);
    (void)window->host->winId();  // the native window, whose transient parent is set
    QWindow* handle = window->host->windowHandle();
    if (!handle) return;
    if (owner) (void)owner->host->winId();
    handle->setTransientParent(owner ? owner->host->windowHandle() : nullptr);
}

}  // namespace

void PlatformOwnByKeyWindow(QWidget* dialog) {
    PlatformWindow* key = LiveWindow(gKeyID);
    if (!dialog || !key || !key->host->isVisible()) return;
    (void)key->host->winId();
    (void)dialog->winId();
    if (QWindow* handle = dialog->windowHandle()) handle->setTransientParent(key->host->windowHandle());
}

void PlatformWindowSetOwner(PlatformWindow* window, const PlatformWindow* owner) {
    if (!window || !window->host) return;
    const PlatformWindow* top = owner;
    while (top && top->parent) top = top->parent;
    window->ownerID = top && top != window ? top->id : 0;
}

void PlatformWindowSetModal(PlatformWindow* window, bool modal) {
    if (window && window->host) window->modal = modal;
}

int32_t PlatformWindowOwnerID(const PlatformWindow* window) {
    if (!window || !window->host || !window->host->windowHandle()) return 0;
    const QWindow* parent = window->host->windowHandle()->transientParent();
    for (PlatformWindow* other : gOrder)
        if (other->host && other->host->windowHandle() == parent && parent) return other->id;
    return 0;
}

bool PlatformWindowIsModal(const PlatformWindow* window) {
    return window && window->host && window->host->windowHandle() &&
           window->host->windowHandle()->modality() != Qt::NonModal;
}

void PlatformWindowShow(PlatformWindow* window, bool activate) {
    if (!window) return;
    if (!window->host) {
        window->view->show();
        return;
    }
    ApplyOwner(window);
    FitToScreen(window);
    window->host->show();
    FitToScreen(window);  // the decorations are known once the window is up
    window->host->raise();
    MoveToFront(window);
    if (activate) PlatformWindowActivate(window);
}

void PlatformWindowHide(PlatformWindow* window) {
    if (!window) return;
    if (!window->host) {
        window->view->hide();
        return;
    }
    window->host->hide();
    if (gKeyID == window->id) ActivateFrontWindowAfter(window);
}

bool PlatformWindowIsVisible(const PlatformWindow* window) {
    if (!window) return false;
    return window->host ? window->host->isVisible() : !window->view->isHidden();
}

void PlatformWindowActivate(PlatformWindow* window) {
    if (!window || !window->host) return;
    MoveToFront(window);
    gKeyID = window->id;
    window->host->raise();
    window->host->activateWindow();
}

std::vector<int32_t> PlatformWindowOrder() {
    std::vector<int32_t> ids;
    for (PlatformWindow* window : gOrder)
        if (window->host->isVisible()) ids.push_back(window->id);
    for (PlatformWindow* window : gOrder)
        if (!window->host->isVisible()) ids.push_back(window->id);
    return ids;
}

int32_t PlatformKeyWindowID() { return gKeyID; }

int32_t PlatformWindowAtScreenPoint(int32_t x, int32_t y) {
    if (!QGuiApplication::instance()) return 0;
    const QPoint at(x, y);
    auto shown = [](const PlatformWindow* w) { return !w->dead && w->host && w->host->isVisible(); };
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The X server knows the stacking of every window on the screen, other programs' too: a
        // point where another program's window lies over ours is over none of ours.
        QWindow* hit = QGuiApplication::topLevelAt(at);
        for (PlatformWindow* window : gOrder)
            if (shown(window) && hit && window->host->windowHandle() == hit) return window->id;
        return 0;
    }
    for (PlatformWindow* window : gOrder)
        if (shown(window) && window->host->frameGeometry().contains(at)) return window->id;
    return 0;
}

PlatformRect PlatformWindowContentRect(const PlatformWindow* window) {
    if (!window) return {};
    if (!window->host) {
        const QRect r = window->view->geometry();
        return {r.x(), r.y(), r.width(), r.height()};
    }
    const QRect r = window->host->geometry();
    const int32_t bar = MenuBarHeight(window);
    return {r.x(), r.y() + bar, r.width(), r.height() - bar};
}

void PlatformWindowSetContentRect(PlatformWindow* window, PlatformRect content) {
    if (!window) return;
    if (!window->host) {
        window->view->setGeometry(content.x, content.y, content.width, content.height);
        return;
    }
    const int32_t bar = MenuBarHeight(window);
    if (window->view->minimumSize() == window->view->maximumSize())
        window->view->setFixedSize(std::max(content.width, 1), std::max(content.height, 1));
    window->host->setGeometry(content.x, content.y - bar, content.width, content.height + bar);
    window->view->resize(content.width, content.height);
}

PlatformRect PlatformWindowFrameRect(const PlatformWindow* window) {
    if (!window) return {};
    if (!window->host) return PlatformWindowContentRect(window);
    const QRect r = window->host->frameGeometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void PlatformWindowSetSizeLimits(PlatformWindow* window, int32_t minWidth, int32_t minHeight,
                                 int32_t maxWidth, int32_t maxHeight) {
    if (!window) return;
    window->view->setMinimumSize(std::max(minWidth, 0), std::max(minHeight, 0));
    window->view->setMaximumSize(maxWidth > 0 ? maxWidth : QWIDGETSIZE_MAX,
                                 maxHeight > 0 ? maxHeight : QWIDGETSIZE_MAX);
}

void PlatformWindowSetTitle(PlatformWindow* window, const char* title) {
    if (!window || !window->host) return;
    QString text = QString::fromUtf8(title ? title : "");
    text.replace(QStringLiteral("[*]"), QStringLiteral("[**]"));
    window->host->setWindowTitle(text + QStringLiteral("[*]"));
}

std::string PlatformWindowTitle(const PlatformWindow* window) {
    if (!window || !window->host) return {};
    QString text = window->host->windowTitle();
    if (text.endsWith(QStringLiteral("[*]"))) text.chop(3);
    text.replace(QStringLiteral("[**]"), QStringLiteral("[*]"));
    return text.toStdString();
}

void PlatformWindowSetModified(PlatformWindow* window, bool modified) {
    if (!window || !window->host) return;
    window->modified = modified;
    window->host->setWindowModified(modified);
}

void PlatformWindowSetFilePath(PlatformWindow* window, const char* path) {
    if (window && window->host) window->host->setWindowFilePath(QString::fromUtf8(path ? path : ""));
}

std::string PlatformWindowFilePath(const PlatformWindow* window) {
    return window && window->host ? window->host->windowFilePath().toStdString() : std::string();
}

bool PlatformWindowIsModified(const PlatformWindow* window) { return window && window->modified; }

bool PlatformWindowIsFullScreen(const PlatformWindow* window) {
    return window && window->host && window->host->isFullScreen();
}

void PlatformWindowInvalidate(PlatformWindow* window, PlatformRect rect) {
    if (!window) return;
    ContentView* view = window->view;
    const QRect r = rect.width > 0 && rect.height > 0
                        ? QRect(rect.x, rect.y, rect.width, rect.height).intersected(view->rect())
                        : view->rect();
    if (r.isEmpty()) return;
    view->dirty += r;
    view->update(r);
}

bool PlatformWindowNeedsDisplay(const PlatformWindow* window) {
    return window && !window->view->dirty.isEmpty();
}

void PlatformWindowDisplay(PlatformWindow* window) {
    if (!window) return;
    const QRegion dirty = window->view->dirty;
    if (!window->view->Prepare()) {
        if (!window->busy) FinishDead(window, false);
        return;
    }
    if (window->view->isVisible()) window->view->repaint(dirty);
}

DrawContext* PlatformWindowDrawContext(PlatformWindow* window) {
    if (!window) return nullptr;
    ContentView* view = window->view;
    if (view->image.size() != view->size()) view->Reshape();
    if (view->image.isNull()) return nullptr;
    if (!window->context) window->context = DrawContextForPaintDevice(&view->image);
    return window->context.get();
}

void PlatformWindowFlushDrawing(PlatformWindow* window) {
    if (window) EndDrawing(window);
}

void PlatformWindowBeginOverlay(PlatformWindow* window) {
    if (!window || window->overlay) return;
    window->overlay = new OverlayView(window->id, window->view);
    window->overlay->show();
    window->overlay->raise();
}

namespace {

// The part of the rectangle (content view coordinates) an overlay update repaints: the scroll
// bars over the view lie beside the panes the overlay draws on, so they are left out and not
// repainted with every overlay paint.
QRegion OverlayUpdateArea(const PlatformWindow* window, const QRect& rect) {
    QRegion area(rect & window->overlay->geometry());
    for (QObject* child : window->view->children())
        if (auto* bar = qobject_cast<QScrollBar*>(child); bar && bar->isVisible()) area -= bar->geometry();
    return area;
}

}  // namespace

void PlatformWindowUpdateOverlay(PlatformWindow* window) {
    if (window && window->overlay) window->overlay->update(OverlayUpdateArea(window, window->overlay->geometry()));
}

void PlatformWindowUpdateOverlayRect(PlatformWindow* window, PlatformRect rect) {
    if (window && window->overlay && rect.width > 0 && rect.height > 0)
        window->overlay->update(OverlayUpdateArea(window, QRect(rect.x, rect.y, rect.width, rect.height)));
}

void PlatformWindowEndOverlay(PlatformWindow* window) {
    if (!window || !window->overlay) return;
    window->overlay->hide();
    window->overlay->deleteLater();  // it may be painting
    window->overlay = nullptr;
}

bool PlatformWidgetsPainting() { return gPainting > 0; }

bool PlatformWindowHasOverlay(const PlatformWindow* window) { return window && window->overlay; }

bool PlatformWindowGrabPNG(PlatformWindow* window, const std::string& path) {
    while (window && window->parent) window = window->parent;
    if (!window || !window->host) return false;
    QWidget* host = window->host;
    host->ensurePolished();
    if (host->layout()) host->layout()->activate();
    const QPixmap pixmap = host->grab();
    return !pixmap.isNull() && pixmap.save(QString::fromStdString(path), "PNG");
}

PlatformRect PlatformMainScreenBounds() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {0, 0, 1024, 768};
    const QRect r = screen->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

std::vector<PlatformRect> PlatformScreenBounds() {
    std::vector<PlatformRect> result{PlatformMainScreenBounds()};
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen == QGuiApplication::primaryScreen()) continue;
        const QRect r = screen->geometry();
        result.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    return result;
}

int32_t PlatformScreenDepth() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

int32_t PlatformMenuBarHeight(const PlatformWindow* window) { return MenuBarHeight(window); }

void PlatformSetControlPreDispatch(PlatformControlPreDispatch hook) { gPreDispatch = hook; }
PlatformControlPreDispatch PlatformGetControlPreDispatch() { return gPreDispatch; }
void PlatformSetKeyEquivalentHook(PlatformKeyEquivalentHook hook) { gKeyEquivalent = hook; }

QWidget* PlatformWindowHostWidget(PlatformWindow* window) {
    while (window && window->parent) window = window->parent;
    return window ? window->host : nullptr;
}

QWidget* PlatformWindowContentWidget(PlatformWindow* window) {
    return window ? window->view : nullptr;
}

QMenuBar* PlatformWindowMenuBarWidget(PlatformWindow* window, bool create) {
    if (!window || !window->host) return nullptr;
    if (!window->menuBar && create) {
        window->menuBar = new QMenuBar(window->host);
        window->menuBar->setNativeMenuBar(false);
        static_cast<QVBoxLayout*>(window->host->layout())->insertWidget(0, window->menuBar);
        // F10 opens the bar's first menu (Alt with a menu's letter opens that menu).
        auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window->host);
        f10->setContext(Qt::WindowShortcut);
        QMenuBar* bar = window->menuBar;
        QObject::connect(f10, &QShortcut::activated, bar, [bar] {
            for (QAction* action : bar->actions())
                if (action->menu() && action->isVisible() && action->isEnabled()) {
                    bar->setActiveAction(action);
                    break;
                }
        });
    }
    return window->menuBar;
}

std::vector<PlatformWindow*> PlatformTopLevelWindows() {
    std::vector<PlatformWindow*> windows;
    for (int visible = 1; visible >= 0; --visible)
        for (PlatformWindow* window : gOrder)
            if (window->host->isVisible() == bool(visible)) windows.push_back(window);
    return windows;
}

int64_t PlatformWindowFirstPaint(const PlatformWindow* window) {
    return window && window->view ? window->view->paintedAt : 0;
}

void PlatformInstallControlPreDispatch(QWidget* control, int32_t windowID) {
    if (control) control->installEventFilter(new PreDispatchFilter(control, windowID));
}

}  // namespace plexa
