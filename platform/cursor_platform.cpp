// Cursors over QCursor; the mouse state is kept from the delivered input.
#include "platform/cursor_platform.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QPixmap>
#include <QWidget>
#include <algorithm>

#include "platform/testseam_platform.h"
#include "platform/window_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa {

struct PlatformCursor {
    QCursor cursor;
    int32_t width = 0, height = 0;
};

namespace {

PlatformMouseState gMouse;
PlatformCursor* gCurrent = nullptr;
bool gOverride = false;

bool HaveApplication() { return QApplication::instance() != nullptr; }

const char* const kWindowCursorProperty = "plexaCursor";
PlatformFileDropSink gDropSink = nullptr;

std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

// Takes drags and drops of local files for one content view.
class DropFilter : public QObject {
public:
    DropFilter(QObject* parent, int32_t windowID) : QObject(parent), windowID_(windowID) {}

    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDropEvent*>(event);
                if (LocalFiles(drag->mimeData()).empty())
                    drag->ignore();
                else
                    drag->acceptProposedAction();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const std::vector<std::string> paths = LocalFiles(drop->mimeData());
                if (paths.empty()) {
                    drop->ignore();
                    return true;
                }
                drop->acceptProposedAction();
                if (gDropSink) gDropSink(windowID_, paths);
                return true;
            }
            default:
                return false;
        }
    }

private:
    int32_t windowID_;
};

const char* const kDropFilterName = "plexaDropFilter";

}  // namespace

PlatformCursor* PlatformCursorStandard(PlatformStandardCursor shape) {
    static PlatformCursor* kept[kPlatformStandardCursorCount] = {};
    const size_t index = size_t(shape);
    if (index >= size_t(kPlatformStandardCursorCount)) return nullptr;
    if (!kept[index]) {
        static const Qt::CursorShape kShapes[kPlatformStandardCursorCount] = {
            Qt::ArrowCursor, Qt::IBeamCursor, Qt::CrossCursor, Qt::OpenHandCursor,
            Qt::PointingHandCursor, Qt::SizeHorCursor, Qt::SizeVerCursor, Qt::DragCopyCursor,
            Qt::ForbiddenCursor};
        kept[index] = new PlatformCursor{QCursor(kShapes[index]), 16, 16};
    }
    return kept[index];
}

PlatformCursor* PlatformCursorFromImageData(const uint8_t* data, size_t size, int32_t hotX,
                                            int32_t hotY) {
    if (!data || size == 0 || size > (1u << 24) || !HaveApplication()) return nullptr;
    QImage image;
    if (!image.loadFromData(data, int(size)) || image.isNull()) return nullptr;
    hotX = std::clamp(hotX, 0, image.width() - 1);
    hotY = std::clamp(hotY, 0, image.height() - 1);
    return new PlatformCursor{QCursor(QPixmap::fromImage(image), hotX, hotY), image.width(),
                              image.height()};
}

void PlatformCursorRelease(PlatformCursor* cursor) {
    if (!cursor) return;
    if (gCurrent == cursor) PlatformSetCursor(nullptr);
    delete cursor;
}

void PlatformCursorHotSpot(const PlatformCursor* cursor, int32_t* x, int32_t* y) {
    const QPoint hot = cursor ? cursor->cursor.hotSpot() : QPoint();
    if (x) *x = hot.x();
    if (y) *y = hot.y();
}

void PlatformCursorSize(const PlatformCursor* cursor, int32_t* width, int32_t* height) {
    if (width) *width = cursor ? cursor->width : 0;
    if (height) *height = cursor ? cursor->height : 0;
}

void PlatformSetCursor(PlatformCursor* cursor) {
    gCurrent = cursor;
    if (!HaveApplication()) return;
    if (!cursor) {
        if (gOverride) QGuiApplication::restoreOverrideCursor();
        gOverride = false;
        return;
    }
    if (gOverride)
        QGuiApplication::changeOverrideCursor(cursor->cursor);
    else
        QGuiApplication::setOverrideCursor(cursor->cursor);
    gOverride = true;
}

PlatformCursor* PlatformCurrentCursor() { return gCurrent; }

void PlatformWindowSetCursor(PlatformWindow* window, PlatformCursor* cursor) {
    QWidget* view = window ? PlatformWindowContentWidget(window) : nullptr;
    if (!view) return;
    view->setProperty(kWindowCursorProperty, QVariant::fromValue(static_cast<void*>(cursor)));
    if (cursor)
        view->setCursor(cursor->cursor);
    else
        view->unsetCursor();
}

PlatformCursor* PlatformWindowCursor(const PlatformWindow* window) {
    QWidget* view = window ? PlatformWindowContentWidget(const_cast<PlatformWindow*>(window))
                           : nullptr;
    if (!view) return nullptr;
    return static_cast<PlatformCursor*>(view->property(kWindowCursorProperty).value<void*>());
}

void PlatformWindowSetAcceptsFileDrops(PlatformWindow* window, bool accept) {
    QWidget* view = window ? PlatformWindowContentWidget(window) : nullptr;
    if (!view) return;
    view->setAcceptDrops(accept);
    QObject* filter = view->findChild<QObject*>(kDropFilterName, Qt::FindDirectChildrenOnly);
    if (accept && !filter) {
        filter = new DropFilter(view, PlatformWindowID(window));
        filter->setObjectName(kDropFilterName);
        view->installEventFilter(filter);
    } else if (!accept && filter) {
        view->removeEventFilter(filter);
        delete filter;
    }
}

void PlatformSetFileDropSink(PlatformFileDropSink sink) { gDropSink = sink; }

bool PlatformWindowAcceptsFileDrops(const PlatformWindow* window) {
    QWidget* view = window ? PlatformWindowContentWidget(const_cast<PlatformWindow*>(window))
                           : nullptr;
    return view && view->acceptDrops();
}

PlatformMouseState PlatformLastMouse() { return gMouse; }

void PlatformScreenMouse(int32_t* x, int32_t* y) {
    QPoint at = HaveApplication() ? QCursor::pos() : QPoint();
    if (x) *x = at.x();
    if (y) *y = at.y();
}

void PlatformNoteMouseInput(const PlatformInputEvent& event) {
    switch (event.kind) {
        case PlatformInputKind::kMouseDown:
            gMouse.buttons |= 1u << (event.button & 31);
            break;
        case PlatformInputKind::kMouseUp:
            gMouse.buttons &= ~(1u << (event.button & 31));
            break;
        case PlatformInputKind::kMouseMoved:
        case PlatformInputKind::kMouseDragged:
        case PlatformInputKind::kWheel:
        case PlatformInputKind::kMagnify:
            break;
        case PlatformInputKind::kKeyDown:
        case PlatformInputKind::kKeyUp:
            gMouse.modifiers = event.modifiers;
            return;
    }
    gMouse.windowID = event.windowID;
    gMouse.x = event.x;
    gMouse.y = event.y;
    gMouse.hasScreenPoint = event.hasScreenPoint != 0;
    gMouse.screenX = event.screenX;
    gMouse.screenY = event.screenY;
    gMouse.modifiers = event.modifiers;
}

void PlatformForgetMouseState() { gMouse = PlatformMouseState{}; }

bool TestDropFiles(PlatformWindow* window, const std::vector<std::string>& paths) {
    QWidget* view = window && HaveApplication() ? PlatformWindowContentWidget(window) : nullptr;
    if (!view) return false;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(view->width() / 2, view->height() / 2);
    // The application delivers drag events only to views that accept drops, as a drag session does.
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(view, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(view, &drop);
    return drop.isAccepted();
}

}  // namespace plexa
