// Inside the platform layer only: the Qt widgets behind a platform window, for the menus and the
// native controls that live in it.
#pragma once

#include <cstdint>
#include <vector>

class QWidget;
class QMenuBar;

namespace plexa {

struct PlatformWindow;

// The top-level widget holding the window (for a child view, its top-level window's).
QWidget* PlatformWindowHostWidget(PlatformWindow* window);
// The content view widget (controls are made inside it).
QWidget* PlatformWindowContentWidget(PlatformWindow* window);
// The top-level window's menu bar, made on first use when `create`; null for child views and
// for windows that have none.
QMenuBar* PlatformWindowMenuBarWidget(PlatformWindow* window, bool create);

// The top-level windows in the platform's order: the visible ones front to back, then the hidden.
std::vector<PlatformWindow*> PlatformTopLevelWindows();
// When the window's content was first painted on screen (the steady clock's nanoseconds, the
// system's monotonic clock), 0 before.
int64_t PlatformWindowFirstPaint(const PlatformWindow* window);

// Makes a dialog of the platform's own (a file, font, page or print panel) belong to the key
// window, as the toolkit's dialogs do: the window system keeps it in front of that window.
void PlatformOwnByKeyWindow(QWidget* dialog);

// Routes mouse-downs on a native control through the pre-dispatch hook first, and keys typed
// with Command through the key-equivalent hook.
void PlatformInstallControlPreDispatch(QWidget* control, int32_t windowID);

// Whether a content view is painting now (widgets destroyed meanwhile are deleted later).
bool PlatformWidgetsPainting();

}  // namespace plexa
