// Platform windows as the toolkit sees them: top-level windows of four kinds and child views
// inside another window's content, each with a content view backed by an image, so that the
// toolkit can draw into it at any time and not only while the platform paints. The platform keeps
// its own front-to-back list of top-level windows, updated when a window is shown in front,
// raised or activated: desktops that give no global positions cannot be asked for it.
//
// Coordinates: screen rectangles are y-down with the origin at the main screen's top-left; a
// window's content rectangle excludes its title bar and its menu bar. Every window carries the
// toolkit's window id, which the callbacks and input events name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/input_platform.h"

namespace plexa {

class DrawContext;
struct PlatformWindow;

enum class PlatformWindowKind : uint8_t {
    kDocument,    // titled, activates, has a menu bar when given menus
    kFloating,    // titled utility window kept above documents, never the main window
    kBorderless,  // no title bar (popups, borderless dialogs)
    kModal,       // titled dialog at the modal-panel level
};

// Options of a top-level window.
constexpr uint32_t kPlatformWindowResizable = 1;
constexpr uint32_t kPlatformWindowMinimizable = 2;
constexpr uint32_t kPlatformWindowClosable = 4;
constexpr uint32_t kPlatformWindowNoFullScreen = 8;
constexpr uint32_t kPlatformWindowNoActivate = 16;  // never the key or main window

struct PlatformRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// What windows tell the toolkit; installed once. Every member may be null.
struct PlatformWindowCallbacks {
    // The user asked to close the window (its close box, the window manager); the window stays.
    void (*closeRequested)(int32_t windowID) = nullptr;
    void (*activated)(int32_t windowID, bool active) = nullptr;
    void (*moved)(int32_t windowID) = nullptr;
    void (*fullScreen)(int32_t windowID, bool entered) = nullptr;
    // The content view changed size (the backing image already has the new size).
    void (*resized)(int32_t windowID, int32_t width, int32_t height) = nullptr;
    // The content view is about to be shown on screen or grabbed: the toolkit draws the dirty
    // rectangle into the backing image now (PlatformWindowDrawContext).
    void (*draw)(int32_t windowID, PlatformRect dirty) = nullptr;
    // The overlay above the content is being painted: draw it into the context (valid only
    // during the call; what is not drawn stays transparent).
    void (*drawOverlay)(int32_t windowID, DrawContext* context) = nullptr;
    // The drawing context of the window is about to end: drop every reference to it.
    void (*releaseDrawing)(int32_t windowID) = nullptr;
};
void PlatformSetWindowCallbacks(const PlatformWindowCallbacks& callbacks);

// A top-level window with the given content rectangle (hidden). Null when it cannot be made.
PlatformWindow* PlatformWindowCreate(int32_t windowID, PlatformWindowKind kind, uint32_t options,
                                     const char* title, PlatformRect content);
// A child view inside another window's content view, at a rectangle of the parent's content.
PlatformWindow* PlatformChildViewCreate(int32_t windowID, PlatformWindow* parent,
                                        PlatformRect frame);
// Destroys the window and its child views (which must have been released by the toolkit first).
// A window destroyed while it draws goes once its drawing is done.
void PlatformWindowDestroy(PlatformWindow* window);

int32_t PlatformWindowID(const PlatformWindow* window);
bool PlatformWindowIsChild(const PlatformWindow* window);

// The window that a top-level window belongs to (a dialog to the window that opened it): the
// window system keeps it in front of its owner. A modal window also takes the owner's input
// until it is hidden (a run of the toolkit's modal loop). Both hold from the next show on; an
// owner that is gone by then gives no owner.
void PlatformWindowSetOwner(PlatformWindow* window, const PlatformWindow* owner);
void PlatformWindowSetModal(PlatformWindow* window, bool modal);
// The owner's id as the window system has it now, 0 for none; whether the window is modal to it.
int32_t PlatformWindowOwnerID(const PlatformWindow* window);
bool PlatformWindowIsModal(const PlatformWindow* window);

// Shows the window; a top-level window goes in front, and with `activate` becomes the key window.
void PlatformWindowShow(PlatformWindow* window, bool activate);
void PlatformWindowHide(PlatformWindow* window);
bool PlatformWindowIsVisible(const PlatformWindow* window);
// Brings a top-level window to the front and makes it the key window.
void PlatformWindowActivate(PlatformWindow* window);
// The ids of the visible top-level windows, front to back, then the hidden ones (newest first).
std::vector<int32_t> PlatformWindowOrder();
// The id of the key window, 0 for none.
int32_t PlatformKeyWindowID();
// The id of the front-most visible top-level window whose frame holds the screen point, 0 for
// none. Where the window system tells the stacking of all windows (X11), a point where another
// program's window lies in front is over none; elsewhere the platform's own order decides.
int32_t PlatformWindowAtScreenPoint(int32_t x, int32_t y);

// Content rectangle in screen coordinates (top-level) or in the parent's content (child view).
PlatformRect PlatformWindowContentRect(const PlatformWindow* window);
void PlatformWindowSetContentRect(PlatformWindow* window, PlatformRect content);
// The whole window on screen: decorations the platform can report, and the menu bar.
PlatformRect PlatformWindowFrameRect(const PlatformWindow* window);
// Limits of the content size; a maximum of 0 means none.
void PlatformWindowSetSizeLimits(PlatformWindow* window, int32_t minWidth, int32_t minHeight,
                                 int32_t maxWidth, int32_t maxHeight);
void PlatformWindowSetTitle(PlatformWindow* window, const char* title);
std::string PlatformWindowTitle(const PlatformWindow* window);
void PlatformWindowSetModified(PlatformWindow* window, bool modified);
// The file a top-level window shows (UTF-8 path or a plain name).
void PlatformWindowSetFilePath(PlatformWindow* window, const char* path);
std::string PlatformWindowFilePath(const PlatformWindow* window);
bool PlatformWindowIsModified(const PlatformWindow* window);
bool PlatformWindowIsFullScreen(const PlatformWindow* window);

// Marks a rectangle of the content (all of it for an empty one) for drawing.
void PlatformWindowInvalidate(PlatformWindow* window, PlatformRect rect);
bool PlatformWindowNeedsDisplay(const PlatformWindow* window);
// Draws the dirty part now (through the draw callback) and puts it on screen.
void PlatformWindowDisplay(PlatformWindow* window);

// A drawing context over the window's backing image, kept until the next flush (the platform
// flushes before it paints, grabs or resizes). Null for an empty content view.
DrawContext* PlatformWindowDrawContext(PlatformWindow* window);
void PlatformWindowFlushDrawing(PlatformWindow* window);

// A transparent overlay exactly over the content view that ignores the mouse; painted through
// the drawOverlay callback. Beginning twice keeps the one overlay.
void PlatformWindowBeginOverlay(PlatformWindow* window);
void PlatformWindowUpdateOverlay(PlatformWindow* window);
// Repaints the overlay only within the rectangle (content view coordinates): what the overlay
// drew there before and draws there now.
void PlatformWindowUpdateOverlayRect(PlatformWindow* window, PlatformRect rect);
void PlatformWindowEndOverlay(PlatformWindow* window);
bool PlatformWindowHasOverlay(const PlatformWindow* window);

// Renders the top-level window holding this one, with its menu bar, to a PNG file.
[[nodiscard]] bool PlatformWindowGrabPNG(PlatformWindow* window, const std::string& path);

// Screens: the main screen's bounds, every screen's bounds (main first) and the colour depth.
PlatformRect PlatformMainScreenBounds();
std::vector<PlatformRect> PlatformScreenBounds();
int32_t PlatformScreenDepth();
// The height of a window's menu bar (0 without one).
int32_t PlatformMenuBarHeight(const PlatformWindow* window);

// Native controls: a hook that sees mouse-downs on a native control before the control does.
// Returning true swallows the click. The control is the platform control handed to
// PlatformInstallControlPreDispatch (inside the platform layer).
using PlatformControlPreDispatch = bool (*)(int32_t windowID, void* control,
                                            const PlatformInputEvent& event);
void PlatformSetControlPreDispatch(PlatformControlPreDispatch hook);
PlatformControlPreDispatch PlatformGetControlPreDispatch();
// Keys typed with Command into a native control are offered here first (the menus' key
// equivalents, so that cut, copy, paste and undo in a text field go through the commands);
// true uses the key up and the control never sees it.
using PlatformKeyEquivalentHook = bool (*)(int32_t windowID, uint16_t character,
                                           uint32_t modifiers);
void PlatformSetKeyEquivalentHook(PlatformKeyEquivalentHook hook);

}  // namespace plexa
