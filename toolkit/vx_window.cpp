// Windows: records, ids, order, platform windows, geometry, drawing and release. Code that may run
// a handler keeps window ids and looks the window up again afterwards.
#include "toolkit/vx_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/assert.h"
#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/displaylist.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"
#include "platform/draw_context.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_rects.h"
#include "toolkit/vx_timers.h"

namespace plexa {

VXWindowDefaultHooks gVXWindowDefaultHooks;

namespace {

int32_t gNextWindowID = 1;                 // ids are never reused during a run
std::vector<VXWindowRecordTag*> gWindows;  // every record, newest first
int32_t gKeyWindowID = 0;
int32_t gPendingDeactivationID = 0;        // the window that last resigned main status
// While an overlay is painted, its window's port draws into the overlay's context.
VXWindowRecordTag* gOverlayWindow = nullptr;
DrawContext* gOverlayContext = nullptr;

bool IsOnScreen(const VXWindowRecordTag* w) { return w->graf.geometry.kind == kWindowOnScreen; }
bool IsTopLevel(const VXWindowRecordTag* w) { return !w->parent; }

void MoveToFront(VXWindowRecordTag* window) {
    auto it = std::find(gWindows.begin(), gWindows.end(), window);
    if (it != gWindows.end()) std::rotate(gWindows.begin(), it, it + 1);
}

VXWindowRecordTag* NewRecord(uint8_t kind, uint8_t windowClass, uint8_t style, uint32_t status,
                             int16_t typeID) {
    auto* window = new VXWindowRecordTag;
    window->graf.geometry.kind = kind;
    window->graf.geometry.flags = status & ~(kVXStatusBeingReleased | kVXStatusCreated);
    window->graf.geometry.owner = window;
    window->windowClass = windowClass;
    window->style = style;
    window->typeID = typeID;
    window->windowID = gNextWindowID++;
    window->graf.port = QZPortAlloc(window);
    window->graf.grafProcs = static_cast<const VXGrafProcsRecord*>(vx.defaultGrafProcs);
    window->graf.textStyle = CreateTextStyle(nullptr, nullptr);  // the default style, 29
    gWindows.insert(gWindows.begin(), window);
    return window;
}

// Frees the record's own parts and forgets it; the platform part is gone already.
void FreeRecord(VXWindowRecordTag* window) {
    while (WindowClassInfoTag* info = window->classInfo) {
        window->classInfo = info->next;
        delete info;
    }
    if (VXGetCurrentGrafState() == &window->graf) VXSetCurrentGrafState(nullptr);
    if (QZGetCurrentPort() == window->graf.port) QZSetCurrentPort(nullptr);
    // A pixel image drawn into by an off-screen window is let go: its owner learns it is gone.
    if (window->graf.geometry.kind == kWindowOffScreen) (void)VXSetWindowImage(&window->graf, nullptr);
    QZPortFree(window->graf.port);
    window->graf.port = nullptr;
    DestroyTextStyle(window->graf.textStyle);
    window->graf.textStyle = nullptr;
    gWindows.erase(std::remove(gWindows.begin(), gWindows.end(), window), gWindows.end());
    delete window;
}

void SendSizeEvent(VXWindowRecordTag* window) {
    if (!window || !window->created) return;
    Rect content;
    VXGetPanelContentRect(window, &content);
    const auto height = int16_t(content.bottom - content.top);
    const auto width = int16_t(content.right - content.left);
    VXEventRecord event = VXClearedEvent(kVXSizeEvent);
    event.u.size.height = height;
    event.u.size.width = width;
    event.u.size.flag = (window->status() & kVXStatusLiveResize) ? 1 : 0;
    DispatchEvent(window, &event);
}

// Announces a new on-screen window: the create event, then the size event. False when the
// handler destroyed it.
bool Announce(VXWindowRecordTag* window) {
    const int32_t id = window->windowID;
    if (!SendCreateEvent(window, 0, false)) return false;
    window = VXGetWindowFromId(id);
    if (!window) return false;
    window->status() |= kVXStatusCreated;
    SendSizeEvent(window);
    return VXGetWindowFromId(id) != nullptr;
}

// Document windows carry a menu bar above their content; its height before the window exists.
int16_t DocumentMenuBar(uint8_t windowClass) { return windowClass == kVXWindowDocument ? 24 : 0; }


int32_t Area(const Rect& a, const Rect& b) {
    const int32_t h = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int32_t v = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return h > 0 && v > 0 ? h * v : 0;
}

bool Contains(const Rect& outer, const Rect& inner) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

// Platform callbacks.

// A close box clicked while the windows are only being brought up to date (a message shown in
// the middle of some work), or while some work waits and lets events through (for the
// simulator's answer, say), waits until that work is done: the window's owner, or the work
// itself, must not lose what it uses under it.
// Asked again a tick later, so that a long wait does not spin on the request.
constexpr double kCloseRetrySeconds = 1.0 / 60;
void OnCloseRequested(int32_t id) {
    if (vx.updateWaitDepth != 0 || vx.sleepDepth != 0) {
        VXPostDeferredAction([](void* data) { OnCloseRequested(int32_t(reinterpret_cast<intptr_t>(data))); },
                             reinterpret_cast<void*>(intptr_t(id)), kCloseRetrySeconds);
        return;
    }
    VXSendGoAway(VXGetWindowFromId(id));
}

bool MayBecomeMain(const VXWindowRecordTag* w) {
    if (w->status() & kVXStatusNoKeyOrMain) return false;
    if (w->windowClass == kVXWindowFloating) return false;
    return !(w->windowClass == kVXWindowPopup && w->style == 2);  // a titleless popup
}

// A top-level window becomes the key window and, when it may, the main window: the one that was
// key before, when it could be the main window, hears that it is no longer active, and the new
// one that it is. Nothing is sent
// when it was the key window already (the platform's own notice may follow ours).
void BecomeKey(VXWindowRecordTag* window) {
    const int32_t id = window->windowID;
    MoveToFront(window);
    if (gKeyWindowID == id) return;
    if (!MayBecomeMain(window)) {
        gKeyWindowID = id;  // key only: the main window stays as it is
        return;
    }
    if (VXWindowRecordTag* old = VXGetWindowFromId(gKeyWindowID))
        if (MayBecomeMain(old)) gPendingDeactivationID = old->windowID;
    gKeyWindowID = id;
    VXSendPendingWindowDeactivation(window);
    if ((window = VXGetWindowFromId(id))) SendActivateEvent(window, true);
}

void OnActivated(int32_t id, bool active) {
    VXWindowRecordTag* window = VXGetWindowFromId(id);
    if (!window) return;
    if (active) {
        BecomeKey(window);
        return;
    }
    // Another application came forward, or the platform moved the focus: the window hears of it
    // when another window of ours becomes the main one.
    if (gKeyWindowID == id && MayBecomeMain(window)) gPendingDeactivationID = id;
}

void OnMoved(int32_t id) {
    VXWindowRecordTag* window = VXGetWindowFromId(id);
    if (!window || !window->created) return;
    VXEventRecord event = VXClearedEvent(kVXMovedEvent);
    DispatchEvent(window, &event);
}

void OnFullScreen(int32_t id, bool entered) {
    VXWindowRecordTag* window = VXGetWindowFromId(id);
    if (!window || window->fullScreen == (entered ? 1 : 0)) return;
    window->fullScreen = entered ? 1 : 0;
    SendFullScreenEvent(window, entered);
}

void OnResized(int32_t id, int32_t, int32_t) { SendSizeEvent(VXGetWindowFromId(id)); }

// The window's panel, once the panels are connected.
VXPanelRecordTag* PanelOf(VXWindowRecordTag* window) {
    return gVXWindowDefaultHooks.windowPanel ? gVXWindowDefaultHooks.windowPanel(window) : nullptr;
}

// The offset from the content view's bounds coordinates (document points in view units, moved by
// scrolling) to the platform view's, and the bounds origin.
void ContentPlacement(VXWindowRecordTag* window, double* dx, double* dy, _LPNT* origin) {
    *dx = *dy = 0;
    *origin = {0, 0};
    if (VXPanelRecordTag* panel = PanelOf(window)) {
        VXPanelPlatformOffset(panel, dx, dy);
        *origin = {int32_t(std::lround(panel->bounds.y)), int32_t(std::lround(panel->bounds.x))};
    }
}

// Drawing into a window's content: the context is moved to the content view's top-left, and the
// port's origin, set to the view's bounds origin, translates what is drawn by the scroll, so that
// drawing, clip and pane bounds are all in the view's bounds coordinates. Each pass saved the
// context's state; a context the platform ends during the pass is forgotten.
struct ContentDrawing {
    int32_t windowID;
    DrawContext* context;
    bool overlay;
};
std::vector<ContentDrawing> gContentDrawings;

bool BeginContentDrawing(VXWindowRecordTag* window, DrawContext* context, bool overlay,
                         const DrawRectF* deviceClip = nullptr) {
    QZPort* port = window->graf.port;
    QZReleaseContext(port);
    double dx, dy;
    _LPNT origin;
    ContentPlacement(window, &dx, &dy, &origin);
    context->SaveState();
    if (deviceClip) context->ClipToRect(*deviceClip);
    context->Translate(dx + origin.h, dy + origin.v);
    gContentDrawings.push_back({window->windowID, context, overlay});
    QZSetOrigin(port, 0, 0);
    if (!QZInstallContext(port)) return false;
    QZSetOrigin(port, origin.h, origin.v);
    return true;
}

void EndContentDrawing(int32_t id) {
    if (VXWindowRecordTag* window = VXGetWindowFromId(id)) QZReleaseContext(window->graf.port);
    if (gContentDrawings.empty()) return;
    const ContentDrawing drawing = gContentDrawings.back();
    gContentDrawings.pop_back();
    if (drawing.context) drawing.context->RestoreState();
}

void OnReleaseDrawing(int32_t id) {
    if (VXWindowRecordTag* window = VXGetWindowFromId(id)) QZReleaseContext(window->graf.port);
    for (ContentDrawing& drawing : gContentDrawings)
        if (drawing.windowID == id && !drawing.overlay) drawing.context = nullptr;
}

// The content view asks for its dirty part: the ground is cleared and the window draws.
void OnDraw(int32_t id, PlatformRect dirty) {
    VXWindowRecordTag* window = VXGetWindowFromId(id);
    if (!window || (window->status() & kVXStatusBeingReleased)) return;
    DrawContext* context = PlatformWindowDrawContext(window->platformWindow);
    const DrawRectF dirtyArea{double(dirty.x), double(dirty.y), double(dirty.width),
                              double(dirty.height)};
    VXDrawViewBackground(window, context, dirty);
    if (!(window = VXGetWindowFromId(id))) return;
    if (window->status() & kVXStatusNoUpdate) return;
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    // The whole content is drawn (focused below), and the dirty part goes out in document
    // coordinates: in the view's bounds, unscaled (grown by 1 when the window is enlarged, so that
    // no scaled pixel is left out).
    window->graf.geometry.pane = -1;
    double dx, dy;
    _LPNT origin;
    ContentPlacement(window, &dx, &dy, &origin);
    _LPNT corners[2] = {{int32_t(std::floor(dirty.y - dy)), int32_t(std::floor(dirty.x - dx))},
                        {int32_t(std::ceil(dirty.y + dirty.height - dy)),
                         int32_t(std::ceil(dirty.x + dirty.width - dx))}};
    LPointsFromScale(&window->graf.geometry, corners, 2);
    const WindowGeometry& g = window->graf.geometry;
    const int32_t grow = (g.scaleV > kFixed24One || g.scaleH > kFixed24One) ? 1 : 0;
    const LRect area = {corners[0].v - grow, corners[0].h - grow, corners[1].v + grow,
                        corners[1].h + grow};
    // The window draws within the dirty area only: what lies outside stays as it was drawn. A
    // clip that code of the window holds while a nested loop runs (a text field following a drag
    // of the mouse clips to its own rectangle) is set aside meanwhile, so that the update draws
    // all of its area.
    QZPort* const port = window->graf.port;
    if (port) {
        VXPushClip(&window->graf);
        QZSetClipRgn(port, nullptr);
    }
    if (context && BeginContentDrawing(window, context, false, &dirtyArea))
        QZSetFocus(window->graf.port, -1);
    const auto clamp16 = [](int32_t v) { return int16_t(std::clamp(v, -0x7FFF, 0x7FFF)); };
    VXEventRecord event = VXClearedEvent(kVXUpdateEvent);
    event.u.update.longRect = {area.top, area.left, area.bottom, area.right};
    event.u.update.rect = {clamp16(area.top), clamp16(area.left), clamp16(area.bottom),
                           clamp16(area.right)};
    DispatchEvent(window, &event);
    if (context)
        EndContentDrawing(id);
    else if ((window = VXGetWindowFromId(id)))
        QZReleaseContext(window->graf.port);
    if ((window = VXGetWindowFromId(id))) {
        if (port) VXPopClip(&window->graf);
        VXDrawViewFrame(window, PlatformWindowDrawContext(window->platformWindow));
    }
    if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
}

// Drawing hooks of the renderer.
int32_t HookKind(void* w) { return static_cast<VXWindowRecordTag*>(w)->graf.geometry.kind; }
bool HookImage(void* w, QZBitmap* out) {
    auto* window = static_cast<VXWindowRecordTag*>(w);
    if (!window->pixels) {
        // An off-screen window drawing into a pixel image.
        return window->graf.geometry.kind == kWindowOffScreen &&
               VXGetPixelImageBitmap(VXGetWindowImage(&window->graf), out);
    }
    *out = *window->pixels;
    return true;
}
// The graphics layer's off-screen windows (pixel hit tests, images drawn into) are toolkit
// off-screen windows drawing into the image.
VXGrafState* HookCreateOffScreen(VXPixels* image, uint32_t flags, void* refCon) {
    VXWindowRecordTag* window = VXCreateOffScreenWindow(nullptr, flags, refCon);
    if (!window) return nullptr;
    (void)VXSetWindowImage(&window->graf, image);
    VXSetWindow(window);
    return &window->graf;
}
// The system clipboard receives the graphics layer's pictures here.
void HookWriteImageToClipboard(const DrawImage& picture, const char* text) {
    (void)PlatformClipboardSetImage(picture, text ? TempCFStringUsing(text, kEncodingUTF8) : std::u16string());
}
DrawContext* HookContext(void* w) {
    if (w == gOverlayWindow) return gOverlayContext;
    return PlatformWindowDrawContext(static_cast<VXWindowRecordTag*>(w)->platformWindow);
}

// Panes have no header strips here: the overlay draws over the whole content once, when any of
// its pane bits is set.
void OnDrawOverlay(int32_t id, DrawContext* context) {
    VXWindowRecordTag* window = VXGetWindowFromId(id);
    if (!window || !window->overlayProc || !(window->overlayPanes & 0xF00000)) return;
    if (gOverlayWindow) return;  // no overlay inside another's drawing
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    const int8_t pane = window->graf.geometry.pane;
    gOverlayWindow = window;
    gOverlayContext = context;
    // The overlay lies exactly over the content view and scrolls like it.
    if (BeginContentDrawing(window, context, true)) {
        QZSetDefaultGraphicsState(window->graf.port, false);
        QZSetFocus(window->graf.port, -1);
        window->overlayProc(window, window->overlayData);
    }
    EndContentDrawing(id);
    if ((window = VXGetWindowFromId(id))) window->graf.geometry.pane = pane;
    gOverlayWindow = nullptr;
    gOverlayContext = nullptr;
    if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
}
int HookAppearance(void* w) {
    return static_cast<VXWindowRecordTag*>(w)->platformWindow ? (vx.darkAppearance ? 1 : 0) : -1;
}
// The panes of the window's panel in its content view's bounds coordinates (those the context is
// in while the window draws); without panels the content as it is.
bool HookPaneBounds(void* w, int32_t pane, XRect* bounds) {
    auto* window = static_cast<VXWindowRecordTag*>(w);
    if (!window->platformWindow) return false;
    if (PaneBoundsHook paneBounds = GetPaneBoundsHook())
        if (paneBounds(&window->graf.geometry, pane, bounds)) return true;
    const PlatformRect r = PlatformWindowContentRect(window->platformWindow);
    *bounds = {0, 0, double(r.width), double(r.height)};
    return true;
}
void HookSetPane(void* w, int32_t pane) {
    static_cast<VXWindowRecordTag*>(w)->graf.geometry.pane = int8_t(pane);
}

std::vector<VXWindowRecordTag*> ChildrenOf(VXWindowRecordTag* parent) {
    std::vector<VXWindowRecordTag*> children;
    for (auto it = gWindows.rbegin(); it != gWindows.rend(); ++it)
        if ((*it)->parent == parent) children.push_back(*it);
    return children;
}

bool DestroyOrCloseAll(bool closing) {
    std::vector<int32_t> ids;
    for (VXWindowRecordTag* window : VXTopLevelWindows())
        if (IsOnScreen(window) && (!closing || window->windowClass < kVXWindowPopup))
            ids.push_back(window->windowID);
    vx.closeAllAborted = 0;
    bool stopped = false;
    for (int32_t id : ids) {
        VXWindowRecordTag* window = VXGetWindowFromId(id);
        if (!window) continue;
        if (!closing) {
            VXDestroyWindow(window);
            continue;
        }
        if (!VXSendGoAway(window) || vx.closeAllAborted) {
            stopped = true;
            break;
        }
    }
    if (stopped) vx.closeAllAborted = 1;
    return !stopped;
}

// The graphics layer made another state current (a helper that saves and restores it).
void OnGrafStateChanged(VXGrafState* state) {
    vx.currentWindow = state ? static_cast<VXWindowRecordTag*>(state->geometry.owner) : nullptr;
}

}  // namespace

void VXInitWindows() {
    VXInitGraf();
    VXGrafHooks grafHooks = VXGetGrafHooks();
    grafHooks.currentChanged = OnGrafStateChanged;
    grafHooks.ownerState = [](void* window) -> VXGrafState* {
        return &static_cast<VXWindowRecordTag*>(window)->graf;
    };
    grafHooks.invalRect = [](void* window, const LRect* area) {
        VXLInvalRect(static_cast<VXWindowRecordTag*>(window), area);
    };
    VXSetGrafHooks(grafHooks);
    PlatformWindowCallbacks callbacks;
    callbacks.closeRequested = OnCloseRequested;
    callbacks.activated = OnActivated;
    callbacks.moved = OnMoved;
    callbacks.fullScreen = OnFullScreen;
    callbacks.resized = OnResized;
    callbacks.draw = OnDraw;
    callbacks.drawOverlay = OnDrawOverlay;
    callbacks.releaseDrawing = OnReleaseDrawing;
    PlatformSetWindowCallbacks(callbacks);
    // A create event that asks for showing shows the window.
    gVXWindowDefaultHooks.showWindow = VXShowWindow;
    QZWindowHooks hooks = QZGetWindowHooks();
    hooks.kind = HookKind;
    hooks.image = HookImage;
    hooks.currentContext = HookContext;
    hooks.viewAppearance = HookAppearance;
    hooks.paneBounds = HookPaneBounds;
    hooks.setCurrentPane = HookSetPane;
    QZSetWindowHooks(hooks);
    VXPixelsHooks pixels = VXGetPixelsHooks();
    pixels.createOffScreenWindow = HookCreateOffScreen;
    pixels.writeImageToClipboard = HookWriteImageToClipboard;
    VXSetPixelsHooks(pixels);
}

namespace {
// The window a new dialog comes from: the key window when it is a visible document or dialog,
// else the front-most visible one.
VXWindowRecordTag* CausingWindow(VXWindowRecordTag* dialog) {
    VXWindowRecordTag* key = VXGetTopParent(VXGetKeyWindow());
    if (key && key != dialog && key->windowClass <= kVXWindowDialog && VXIsWindowVisible(key, false))
        return key;
    VXWindowRecordTag* front = VXGetNextVisibleWindow(nullptr, 7, false);
    return front != dialog ? front : nullptr;
}
}  // namespace

VXWindowRecordTag* VXCreateWindow(uint8_t windowClass, uint8_t style, uint32_t flags,
                                  int16_t typeID, uint32_t status, int32_t, const Rect* contentRect,
                                  const char* title, int32_t, void* refcon, VXEventProc eventProc) {
    if (windowClass > kVXWindowPopup) return nullptr;
    VXWindowRecordTag* window = NewRecord(kWindowOnScreen, windowClass, style, status, typeID);
    window->creationFlags = flags;
    window->refCon = refcon;
    window->eventProc = eventProc;
    window->keyboardWindowID = window->windowID;
    PlatformWindowKind kind = PlatformWindowKind::kDocument;
    if (windowClass == kVXWindowPopup || (windowClass == kVXWindowDialog && style == 2))
        kind = PlatformWindowKind::kBorderless;
    else if (windowClass == kVXWindowDialog)
        kind = PlatformWindowKind::kModal;
    else if (windowClass == kVXWindowFloating)
        kind = PlatformWindowKind::kFloating;
    uint32_t options = 0;
    if (flags & (kVXFlagResizable | kVXFlagResizableMinimizable)) options |= kPlatformWindowResizable;
    if (flags & kVXFlagResizableMinimizable) options |= kPlatformWindowMinimizable;
    if (flags & kVXFlagClosable) options |= kPlatformWindowClosable;
    if (flags & kVXFlagNoFullScreen) options |= kPlatformWindowNoFullScreen;
    if (status & kVXStatusNoKeyOrMain) options |= kPlatformWindowNoActivate;
    Rect content = contentRect ? *contentRect : Rect{40, 40, 440, 640};
    if (RectIsEmpty(content)) content = {content.top, content.left, int16_t(content.top + 1),
                                       int16_t(content.left + 1)};
    window->platformWindow = PlatformWindowCreate(window->windowID, kind, options, title,
                                                  ToPlatformRect(content));
    if (!window->platformWindow) {
        FreeRecord(window);
        return nullptr;
    }
    if (windowClass == kVXWindowDocument) VXAttachMenuBarToWindow(window);
    // A dialog belongs to the window that caused it, the key window (else the front document or
    // dialog): the window system keeps it in front of that window.
    if (windowClass == kVXWindowDialog)
        if (VXWindowRecordTag* owner = CausingWindow(window))
            PlatformWindowSetOwner(window->platformWindow, owner->platformWindow);
    return Announce(window) ? window : nullptr;
}

namespace {
// A child window's record and platform view, not yet announced; none when the view cannot be made
// (a child is not handed out half made).
VXWindowRecordTag* NewChildWindow(uint8_t style, uint32_t flags, uint32_t status,
                                  VXWindowRecordTag* parent, const Rect* rect, void* refcon,
                                  VXEventProc eventProc) {
    if (!parent || !parent->platformWindow || !rect) return nullptr;
    VXWindowRecordTag* window = NewRecord(kWindowOnScreen, kVXWindowChild, style, status, 0);
    window->parent = parent;
    window->refCon = refcon;
    window->eventProc = eventProc;
    window->creationFlags = flags & ~(kVXFlagChildFrame | kVXFlagChildBezel);
    if (style == 0) window->creationFlags |= kVXFlagChildFrame;
    if (style == 4) window->creationFlags |= kVXFlagChildBezel;
    window->platformWindow =
        PlatformChildViewCreate(window->windowID, parent->platformWindow, ToPlatformRect(*rect));
    if (!window->platformWindow) {
        FreeRecord(window);
        return nullptr;
    }
    return window;
}

// Puts a divided child's view where its panel's structure frame is.
void PlaceAtPanelFrame(VXWindowRecordTag* child) {
    VXPanelRecordTag* panel = PanelOf(child);
    if (!panel || !child->platformWindow) return;
    const XRect& f = panel->structFrame;
    const auto i = [](double d) { return int32_t(std::lround(d)); };
    const PlatformRect frame = {i(f.x), i(f.y), i(f.width), i(f.height)};
    const PlatformRect now = PlatformWindowContentRect(child->platformWindow);
    if (frame.x != now.x || frame.y != now.y || frame.width != now.width ||
        frame.height != now.height)
        PlatformWindowSetContentRect(child->platformWindow, frame);
}
}  // namespace

VXWindowRecordTag* VXCreateChildWindow(uint8_t style, uint32_t flags, uint32_t status,
                                       VXWindowRecordTag* parent, const Rect* rect, void* refcon,
                                       VXEventProc eventProc) {
    VXWindowRecordTag* window = NewChildWindow(style, flags, status, parent, rect, refcon, eventProc);
    return window && Announce(window) ? window : nullptr;
}

VXWindowRecordTag* VXCreateDividedChildWindow(void*, uint32_t flags, uint32_t status,
                                              VXWindowRecordTag* parent, int16_t size, int16_t side,
                                              void* refcon, VXEventProc eventProc) {
    if (!parent || parent->parent || !parent->platformWindow || size <= 0) return nullptr;
    const bool left = side == 1 || side == 4;
    if (!left && side != 0) return nullptr;
    int16_t height = 0, width = 0;
    VXGetClientSize(parent, &height, &width);
    const Rect rect = left ? Rect{0, 0, height, size} : Rect{0, 0, size, width};
    VXWindowRecordTag* window = NewChildWindow(1, flags, status, parent, &rect, refcon, eventProc);
    if (!window) return nullptr;
    window->windowClass = kVXWindowDividedChild;
    window->style = left ? 1 : 0;
    window->creationFlags &= ~(kVXFlagChildFrame | kVXFlagChildBezel);
    // The panel is split off now, so that the view shows where its panel is from the start.
    PlaceAtPanelFrame(window);
    return Announce(window) ? window : nullptr;
}

VXWindowRecordTag* VXCreateOffScreenWindow(QZBitmap* pixels, uint32_t status, void* refcon) {
    VXWindowRecordTag* window = NewRecord(kWindowOffScreen, kVXWindowDocument, 0, status, 0);
    window->pixels = pixels;
    window->refCon = refcon;
    VXSetWindow(window);
    return window;
}

VXWindowRecordTag* VXCreateBareWindow(uint8_t windowClass, uint8_t style, VXWindowRecordTag* parent,
                                      VXEventProc eventProc, void* refcon) {
    VXWindowRecordTag* window = NewRecord(kWindowOnScreen, windowClass, style, 0, 0);
    window->parent = parent;
    window->eventProc = eventProc;
    window->refCon = refcon;
    window->keyboardWindowID = window->windowID;
    return window;
}

namespace {

// No global menu bar is left to quit from once the last document window has gone: the
// application quits then, through its quit procedure (which may still refuse).
void QuitWithoutDocumentWindows(void*) {
    if (!PlatformIsRunning() || vx.terminationInProgress) return;
    // Documents still to be opened will bring their windows.
    if (VXCountShellRequests() > 0 || VXShellRequestsHoldCount() > 0 || VXShellRequestRunnerPending())
        return;
    for (VXWindowRecordTag* window : VXTopLevelWindows())
        if (window->windowClass == kVXWindowDocument && IsOnScreen(window) &&
            window->platformWindow && PlatformWindowIsVisible(window->platformWindow))
            return;
    VXQuitApplication();
}

// Checked once the current work is done: a window closed and another opened in its place in
// one go leaves the application running. Any titled window counts: the alert that reports why
// the only document named at launch did not open leaves no window behind it either.
void CheckDocumentWindowsLater(const VXWindowRecordTag* window) {
    if (!window || !IsTopLevel(window) || window->windowClass == kVXWindowPopup ||
        !PlatformIsRunning())
        return;
    // In the main loop only: a window that goes while a modal or tracking loop runs (a progress
    // window before the document's own comes up) is judged once that loop is over.
    PlatformPostDeferred(QuitWithoutDocumentWindows, nullptr, 0, kPlatformModeDefault);
}

}  // namespace

void VXDestroyWindow(VXWindowRecordTag* window) {
    if (!window || VXGetWindowFromId(window->windowID) != window) return;
    CheckDocumentWindowsLater(window);
    if (window->status() & kVXStatusBeingReleased) return;
    window->status() |= kVXStatusBeingReleased;
    const int32_t id = window->windowID;
    VXDropDisplayList(&window->graf);  // no capture outlives its window
    VXEndOverlay(window);
    VXKillTimer(window->idleTimer);
    window->idleTimer = nullptr;
    for (VXWindowRecordTag* child : ChildrenOf(window))
        if (child->windowClass != kVXWindowListBox) VXDestroyWindow(child);
    SendDestroyEvent(window);
    if (gVXWindowDefaultHooks.killControls) gVXWindowDefaultHooks.killControls(window);
    if (gVXWindowDefaultHooks.releasePanel) gVXWindowDefaultHooks.releasePanel(window);
    // Children a list box kept go now, with nothing left to own them.
    for (VXWindowRecordTag* child : ChildrenOf(window)) VXDestroyWindow(child);
    QZReleaseContext(window->graf.port);
    if (window->platformWindow) {
        PlatformWindowDestroy(window->platformWindow);
        window->platformWindow = nullptr;
    }
    window->pixels = nullptr;
    const bool wasCurrent = vx.currentWindow == window;
    if (wasCurrent) vx.currentWindow = nullptr;
    if (gKeyWindowID == id) gKeyWindowID = 0;
    if (gPendingDeactivationID == id) gPendingDeactivationID = 0;
    FreeRecord(window);
    if (wasCurrent) {
        VXWindowRecordTag* next = VXGetNextVisibleWindow(nullptr, 7, false);
        if (!next) next = VXGetNextVisibleWindow(nullptr, 8, false);
        VXSetWindow(next);
    }
}

bool VXSendGoAway(VXWindowRecordTag* window) {
    if (!window) return true;
    const int32_t id = window->windowID;
    VXEventRecord event = VXClearedEvent(kVXCloseEvent);
    const int32_t handled = DispatchEvent(window, &event);
    window = VXGetWindowFromId(id);
    if (!window) return true;
    if (handled) return false;
    VXDestroyWindow(window);
    return true;
}

bool VXCloseAllWindows() { return DestroyOrCloseAll(true); }
bool VXDestroyAllWindows() { return DestroyOrCloseAll(false); }
void VXAbortCloseAll() { vx.closeAllAborted = 1; }

VXWindowRecordTag* VXGetWindowFromId(int32_t id) {
    if (id <= 0) return nullptr;
    for (VXWindowRecordTag* window : gWindows)
        if (window->windowID == id) return window;
    return nullptr;
}

std::vector<VXWindowRecordTag*> VXTopLevelWindows() {
    std::vector<VXWindowRecordTag*> result;
    for (int32_t id : PlatformWindowOrder())
        if (VXWindowRecordTag* window = VXGetWindowFromId(id))
            if (IsTopLevel(window)) result.push_back(window);
    for (VXWindowRecordTag* window : gWindows)
        if (IsTopLevel(window) && !window->platformWindow) result.push_back(window);
    return result;
}

VXWindowRecordTag* VXGetFirstWindow() {
    for (VXWindowRecordTag* window : VXTopLevelWindows())
        if (IsOnScreen(window)) return window;
    return nullptr;
}

VXWindowRecordTag* VXGetNextWindow(VXWindowRecordTag* window) {
    if (!window) return nullptr;
    std::vector<VXWindowRecordTag*> list;
    if (window->parent) {
        list = ChildrenOf(window->parent);
    } else {
        for (VXWindowRecordTag* w : VXTopLevelWindows())
            if (IsOnScreen(w)) list.push_back(w);
    }
    auto it = std::find(list.begin(), list.end(), window);
    return it != list.end() && it + 1 != list.end() ? *(it + 1) : nullptr;
}

VXWindowRecordTag* VXGetNextVisibleWindow(VXWindowRecordTag* after, int32_t classFilter,
                                          bool deep) {
    VXWindowRecordTag* window = after ? VXGetNextWindow(after) : VXGetFirstWindow();
    for (; window; window = VXGetNextWindow(window)) {
        const bool passes = classFilter == 8 ||
                            (classFilter == 7 && window->windowClass <= kVXWindowDialog) ||
                            window->windowClass == classFilter;
        if (passes && VXIsWindowVisible(window, deep)) return window;
    }
    return nullptr;
}

VXWindowRecordTag* VXGetFirstChild(VXWindowRecordTag* window) {
    if (!window) return nullptr;
    std::vector<VXWindowRecordTag*> children = ChildrenOf(window);
    return children.empty() ? nullptr : children.front();
}

VXWindowRecordTag* VXGetTopParent(VXWindowRecordTag* window) {
    while (window && window->parent) window = window->parent;
    return window;
}

bool VXIsChildWindow(VXWindowRecordTag* window, VXWindowRecordTag* parent) {
    if (!window || !parent) return false;
    for (VXWindowRecordTag* w = window->parent; w; w = w->parent)
        if (w == parent) return true;
    return false;
}

VXWindowRecordTag* VXGetWindowRefFromNSWindow(const PlatformWindow* platformWindow) {
    return platformWindow ? VXGetWindowFromId(PlatformWindowID(platformWindow)) : nullptr;
}

PlatformWindow* VXGetNSWindowContentView(VXWindowRecordTag* window) {
    return window ? window->platformWindow : nullptr;
}

void VXShowWindow(VXWindowRecordTag* window) {
    if (!window || !IsOnScreen(window)) return;
    window->visible = 1;
    if (!window->platformWindow) return;
    if (window->parent) {
        PlatformWindowShow(window->platformWindow, false);
        VXInvalidateHierarchy(window->parent);
        return;
    }
    if (PlatformWindowIsVisible(window->platformWindow)) return;
    window->status() |= kVXStatusBeingShown;
    PlatformWindowInvalidate(window->platformWindow, {});
    const bool normalLevel = window->windowClass != kVXWindowFloating &&
                             !(window->windowClass == kVXWindowDialog && window->style >= 2) &&
                             !(window->status() & kVXStatusNoKeyOrMain);
    const int32_t id = window->windowID;
    MoveToFront(window);
    PlatformWindowShow(window->platformWindow, normalLevel);
    if (normalLevel)
        if (VXWindowRecordTag* shown = VXGetWindowFromId(id)) BecomeKey(shown);
    if ((window = VXGetWindowFromId(id))) window->status() &= ~kVXStatusBeingShown;
}

void VXHideWindow(VXWindowRecordTag* window) {
    if (!window || !IsOnScreen(window) || window->windowClass == kVXWindowDividedChild) return;
    window->visible = 0;
    if (!window->platformWindow) return;
    PlatformWindowHide(window->platformWindow);
    CheckDocumentWindowsLater(window);
    if (window->parent) {
        VXInvalidateHierarchy(window->parent);
    } else if (gKeyWindowID == window->windowID) {
        gKeyWindowID = PlatformKeyWindowID();
    }
}

void VXSetChildWindowVisibility(VXWindowRecordTag* window, bool visible) {
    if (!window || !window->parent) return;
    if (visible)
        VXShowWindow(window);
    else if (window->platformWindow) {
        window->visible = 0;
        PlatformWindowHide(window->platformWindow);
        VXInvalidateHierarchy(window->parent);
    }
}

bool VXIsWindowVisible(VXWindowRecordTag* window, bool deep) {
    if (!window || !IsOnScreen(window)) return false;
    if (window->status() & kVXStatusBeingShown) return true;
    const auto own = [](VXWindowRecordTag* w) {
        return w->platformWindow ? PlatformWindowIsVisible(w->platformWindow) : w->visible != 0;
    };
    if (!own(window)) return false;
    if (!deep || !window->parent) return true;
    for (VXWindowRecordTag* w = window->parent; w; w = w->parent)
        if (!own(w)) return false;
    return true;
}

void VXSelectWindow(VXWindowRecordTag* window) {
    window = VXGetTopParent(window);
    if (!window || VXGetWindowFromId(window->windowID) != window) return;
    const int32_t id = window->windowID;
    if (window->platformWindow) {
        PlatformWindowActivate(window->platformWindow);
        BecomeKey(window);
        if (!(window = VXGetWindowFromId(id))) return;
    } else {
        MoveToFront(window);
        gKeyWindowID = id;
    }
    VXSetWindow(window);
}

VXWindowRecordTag* VXGetKeyWindow() { return VXGetWindowFromId(gKeyWindowID); }

bool VXIsFullScreenWindow(VXWindowRecordTag* window) {
    window = VXGetTopParent(window);
    return window && (window->fullScreen || PlatformWindowIsFullScreen(window->platformWindow));
}

bool VXWindowHasCloseBox(VXWindowRecordTag* window) {
    return window && !window->parent && IsOnScreen(window) &&
           (window->creationFlags & kVXFlagClosable) && window->windowClass != kVXWindowPopup;
}

void VXSetWindowModified(VXWindowRecordTag* window, bool modified) {
    if (window && !window->parent) PlatformWindowSetModified(window->platformWindow, modified);
}

void VXSetWindowTitle(VXWindowRecordTag* window, const char* title) {
    if (window && !window->parent) PlatformWindowSetTitle(window->platformWindow, title);
}

void VXGetWindowTitle(VXWindowRecordTag* window, char title[200]) {
    title[0] = 0;
    if (!window || window->parent || !window->platformWindow) return;
    std::string text = PlatformWindowTitle(window->platformWindow);
    TruncateUTF8ForByteSize(text.data(), 200);
    std::snprintf(title, 200, "%s", text.c_str());
}

VXEventProc VXSetWindowEventHandler(VXWindowRecordTag* window, VXEventProc proc) {
    if (!window) return nullptr;
    VXEventProc previous = window->eventProc;
    window->eventProc = proc;
    return previous;
}

void VXSetWindowFileProxy(VXWindowRecordTag* window, const char* path, uint32_t) {
    if (!window || window->parent || !window->platformWindow) return;
    if (path && path[0]) {
        PlatformWindowSetFilePath(window->platformWindow, path);
        return;
    }
    char name[32];
    std::snprintf(name, sizeof name, "window_%d", int(window->windowID));
    PlatformWindowSetFilePath(window->platformWindow, name);
}

void VXGetWindowPosition(VXWindowRecordTag* window, Rect* rect) {
    if (!rect) return;
    if (!window || !IsOnScreen(window) || !window->platformWindow) {
        *rect = {0x7FFF, 0x7FFF, -0x7FFF, -0x7FFF};  // the empty inverted rectangle
        return;
    }
    *rect = FromPlatformRect(PlatformWindowContentRect(window->platformWindow));
}

void VXSetWindowPosition(VXWindowRecordTag* window, const Rect* rect) {
    if (!window || !rect || !window->platformWindow ||
        window->windowClass == kVXWindowDividedChild || RectIsEmpty(*rect))
        return;
    Rect current;
    VXGetWindowPosition(window, &current);
    if (std::memcmp(&current, rect, sizeof current) == 0) return;
    PlatformWindowSetContentRect(window->platformWindow, ToPlatformRect(*rect));
    if (window->parent) VXInvalidateHierarchy(window->parent);
}

void VXGetWindowFrame(VXWindowRecordTag* window, Rect* rect) {
    if (!rect) return;
    if (!window || !window->platformWindow) {
        VXGetWindowPosition(window, rect);
        return;
    }
    *rect = FromPlatformRect(PlatformWindowFrameRect(window->platformWindow));
}

void VXGetOuterRect(VXWindowRecordTag* window, const Rect* content, Rect* outer) {
    if (!content || !outer) return;
    *outer = *content;
    if (!window || window->parent) return;
    Rect frame;
    int16_t side = 0, title = 0;
    VXGetWindowMetrics(window->windowClass, window->style, window->creationFlags, &frame, &side,
                       &title);
    outer->left = int16_t(outer->left - side);
    outer->right = int16_t(outer->right + side);
    outer->top = int16_t(outer->top - title - PlatformMenuBarHeight(window->platformWindow));
    outer->bottom = int16_t(outer->bottom + side);
}

namespace {
// A panel frame as a 16-bit rectangle, moved by an offset.
Rect PanelFrameRect(const XRect& f, double dx, double dy) {
    const auto c = [](double d) { return int16_t(std::clamp(std::lround(d), -32767L, 32767L)); };
    return {c(f.y + dy), c(f.x + dx), c(f.y + dy + f.height), c(f.x + dx + f.width)};
}
}  // namespace

void VXGetPanelStructRect(VXWindowRecordTag* window, Rect* rect) {
    if (!rect) return;
    VXPanelRecordTag* panel = window ? PanelOf(window) : nullptr;
    if (!panel) return VXGetClientRect(window, rect);
    *rect = PanelFrameRect(panel->structFrame, 0, 0);
}

void VXGetPanelContentRect(VXWindowRecordTag* window, Rect* rect) {
    if (!rect) return;
    VXPanelRecordTag* panel = window ? PanelOf(window) : nullptr;
    if (!panel) return VXGetClientRect(window, rect);
    *rect = PanelFrameRect(panel->contFrame, panel->structFrame.x, panel->structFrame.y);
}

void VXGetClientRect(VXWindowRecordTag* window, Rect* rect) {
    if (!rect) return;
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    *rect = {0, 0, height, width};
}

void VXGetClientSize(VXWindowRecordTag* window, int16_t* height, int16_t* width) {
    int32_t h = 0, w = 0;
    if (window && window->platformWindow) {
        const PlatformRect r = PlatformWindowContentRect(window->platformWindow);
        h = r.height;
        w = r.width;
    } else if (window && window->pixels) {
        h = window->pixels->height;
        w = window->pixels->width;
    }
    if (height) *height = int16_t(std::clamp(h, 0, 0x7FFF));
    if (width) *width = int16_t(std::clamp(w, 0, 0x7FFF));
}

void VXLGetViewRect(VXWindowRecordTag* window, LRect* rect, int32_t) {
    if (!rect) return;
    // The current pane's part of the document that the scrolled panel shows.
    if (PanelOf(window) && VXLGetPaneViewRect(window, rect)) return;
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    *rect = {0, 0, height, width};
    if (!window) return;
    const int64_t one = kFixed24One;
    rect->bottom = int32_t(int64_t(height) * one / std::max(window->graf.geometry.scaleV, 1));
    rect->right = int32_t(int64_t(width) * one / std::max(window->graf.geometry.scaleH, 1));
}

void VXGetViewRect(VXWindowRecordTag* window, Rect* rect, int32_t which) {
    if (!rect) return;
    LRect r;
    VXLGetViewRect(window, &r, which);
    const auto clamp16 = [](int32_t v) { return int16_t(std::clamp(v, -0x7FFF, 0x7FFF)); };
    *rect = {clamp16(r.top), clamp16(r.left), clamp16(r.bottom), clamp16(r.right)};
}

bool VXIsRectInView(VXWindowRecordTag* window, const LRect* rect) {
    if (!rect) return false;
    LRect view;
    VXLGetViewRect(window, &view, 0);
    return rect->left < view.right && view.left < rect->right && rect->top < view.bottom &&
           view.top < rect->bottom;
}

void VXTranslatePoints(VXWindowRecordTag* from, VXWindowRecordTag* to, Point* points,
                       int32_t count) {
    if (!points || count <= 0) return;
    // The screen position of each window's content origin.
    const auto origin = [](VXWindowRecordTag* w) {
        int32_t v = 0, h = 0;
        for (; w && w->platformWindow; w = w->parent) {
            const PlatformRect r = PlatformWindowContentRect(w->platformWindow);
            v += r.y;
            h += r.x;
        }
        return std::pair<int32_t, int32_t>(v, h);
    };
    const auto [fromV, fromH] = origin(from);
    const auto [toV, toH] = origin(to);
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = int16_t(points[i].v + fromV - toV);
        points[i].h = int16_t(points[i].h + fromH - toH);
    }
}

void VXGetMainScreenBounds(Rect* rect, bool) {
    // There is no global menu bar on this desktop: the screen's top is free either way.
    if (rect) *rect = FromPlatformRect(PlatformMainScreenBounds());
}

bool VXGetScreenBoundsForRect(const Rect* rect, Rect* screen) {
    if (!screen) return false;
    VXGetMainScreenBounds(screen, false);
    if (!rect) return false;
    int32_t best = 0;
    for (const PlatformRect& bounds : PlatformScreenBounds()) {
        const Rect r = FromPlatformRect(bounds);
        const int32_t area = Area(r, *rect);
        if (area > best) {
            best = area;
            *screen = r;
        }
    }
    return best > 0;
}

int32_t VXWindowRectOnScreen(uint8_t windowClass, uint8_t style, uint32_t flags,
                             const Rect* rect) {
    if (!rect) return 0;
    // The whole window: the content with its decorations.
    int16_t side = 0, title = 0;
    VXGetWindowMetrics(windowClass, style, flags, nullptr, &side, &title);
    const Rect outer = {int16_t(rect->top - title - DocumentMenuBar(windowClass)),
                        int16_t(rect->left - side), int16_t(rect->bottom + side),
                        int16_t(rect->right + side)};
    int32_t answer = 0;
    for (const PlatformRect& bounds : PlatformScreenBounds()) {
        const Rect r = FromPlatformRect(bounds);
        if (Contains(r, outer)) return 1;
        if (Area(r, outer) > 0) answer = 2;
    }
    return answer;
}

void VXFlipScreenRect(Rect*) {
    // Platform and toolkit screen coordinates are both y-down from the main screen's top-left.
}

int32_t VXGetScreenPixelDepth() { return PlatformScreenDepth(); }

void VXGetWindowMetrics(uint8_t windowClass, uint8_t style, uint32_t, Rect* frame, int16_t* side,
                        int16_t* title) {
    // The window manager draws the decorations and does not tell their size before a window is
    // shown; these are the sizes of a common theme. Borderless windows have a one-point edge.
    const bool borderless =
        windowClass == kVXWindowPopup || (windowClass == kVXWindowDialog && style == 2);
    const int16_t s = 1;
    const int16_t t = borderless ? 0 : 28;
    if (frame) *frame = {0, 0, int16_t(200 + t + s), int16_t(200 + 2 * s)};
    if (side) *side = s;
    if (title) *title = t;
}

int16_t VXCalcStructureBarWidth(VXWindowRecordTag* window, bool vertical) {
    if (!window) return 0;
    const uint32_t bit = vertical ? kVXFlagVerticalScroller : kVXFlagHorizontalScroller;
    return (window->creationFlags & bit) ? 16 : 0;
}

void VXCalcMaxWindowRect(uint8_t windowClass, uint8_t style, uint32_t flags, const Rect* within,
                         Rect* rect) {
    if (!rect) return;
    Rect bounds;
    if (within)
        bounds = *within;
    else
        VXGetMainScreenBounds(&bounds, false);
    int16_t side = 0, title = 0;
    VXGetWindowMetrics(windowClass, style, flags, nullptr, &side, &title);
    *rect = {int16_t(bounds.top + title + DocumentMenuBar(windowClass) + 18),
             int16_t(bounds.left + side + 18), int16_t(bounds.bottom - side - 18),
             int16_t(bounds.right - side - 18)};
}

void VXSetMinMaxRect(VXWindowRecordTag* window, const Rect* limits) {
    if (!window || window->parent || !limits) return;
    window->minHeight = std::max<int16_t>(limits->top, 0);
    window->minWidth = std::max<int16_t>(limits->left, 0);
    window->maxHeight = limits->bottom < window->minHeight ? 10000 : limits->bottom;
    window->maxWidth = limits->right < window->minWidth ? 10000 : limits->right;
    PlatformWindowSetSizeLimits(window->platformWindow, window->minWidth, window->minHeight,
                                window->maxWidth, window->maxHeight);
}

void VXCalcWindowIdealPosition(VXWindowRecordTag* window, Rect* rect) {
    if (!window || !rect) return;
    const int32_t id = window->windowID;
    VXEventRecord event = VXClearedEvent(kVXIdealPositionEvent);
    DispatchEvent(window, &event);
    if (!(window = VXGetWindowFromId(id))) return;
    VXGetWindowPosition(window, rect);
    if (window->idealWidth > 0) rect->right = int16_t(rect->left + window->idealWidth);
    if (window->idealHeight > 0) rect->bottom = int16_t(rect->top + window->idealHeight);
}

void VXSetWindowIdealSize(VXWindowRecordTag* window, int16_t width, int16_t height) {
    if (!window) return;
    window->idealWidth = width > 0 ? int16_t(width + VXCalcStructureBarWidth(window, true)) : 0;
    window->idealHeight = height > 0 ? int16_t(height + VXCalcStructureBarWidth(window, false)) : 0;
}

int32_t VXResizeDividedChildWindow(VXWindowRecordTag* window, int16_t size) {
    if (!window || window->windowClass != kVXWindowDividedChild || size <= 0) return 0;
    if (VXPanelRecordTag* panel = PanelOf(window)) {
        // The divider moves in the parent's panels; every divided child's view follows its panel
        // (their panels made first, so that none is split off afterwards). Size events may run
        // handlers: the children are looked up again by id.
        const int32_t parentID = window->parent->windowID;
        std::vector<int32_t> divided;
        for (VXWindowRecordTag* child : ChildrenOf(window->parent))
            if (child->windowClass == kVXWindowDividedChild && PanelOf(child))
                divided.push_back(child->windowID);
        const int32_t changed = VXSetDividedPanelSize(panel, size);
        const double extent = panel->divideDirection == 0 ? panel->structFrame.height
                                                          : panel->structFrame.width;
        const int32_t result = changed || std::lround(extent) == size ? 1 : 0;
        for (int32_t id : divided) {
            if (VXWindowRecordTag* child = VXGetWindowFromId(id)) PlaceAtPanelFrame(child);
        }
        if (changed) VXInvalidateHierarchy(VXGetWindowFromId(parentID));
        return result;
    }
    int16_t height = 0, width = 0;
    VXGetClientSize(window->parent, &height, &width);
    const Rect rect = window->style == 1 ? Rect{0, 0, height, size} : Rect{0, 0, size, width};
    PlatformWindowSetContentRect(window->platformWindow, ToPlatformRect(rect));
    VXInvalidateHierarchy(window->parent);
    return 1;
}

void VXSetPadSize(VXWindowRecordTag* window, int32_t width, int32_t height, bool invalidate) {
    // Only a content that scrolls has a pad.
    if (!window || !(window->creationFlags & (kVXFlagHorizontalScroller | kVXFlagVerticalScroller)))
        return;
    window->graf.geometry.pane = -1;
    window->padWidth = std::max(width, 0);
    window->padHeight = std::max(height, 0);
    if (invalidate) VXLInvalRect(window, nullptr);
}

void VXSetAltView(VXWindowRecordTag* window, int32_t pane) {
    if (!window) return;
    window->graf.geometry.pane = (pane < 0 || pane > 2) ? int8_t(-1) : int8_t(pane);
}

void VXSetLineScrollAmount(VXWindowRecordTag* window, int32_t amount) {
    if (window) window->lineScrollAmount = amount;
}

void VXSetScalingFactors(VXWindowRecordTag* window, double horizontal, double vertical) {
    if (!window) return;
    const bool fitH = horizontal <= 0, fitV = vertical <= 0;
    if (fitH || fitV) {
        int16_t height = 0, width = 0;
        VXGetClientSize(window, &height, &width);
        // A pad of no size fits at 1.0 (nothing to shrink).
        const auto fit = [](int32_t client, int32_t pad) {
            return pad > 0 ? std::min(1.0, double(client) / double(pad)) : 1.0;
        };
        double h = fit(width, window->padWidth), v = fit(height, window->padHeight);
        if (window->graf.geometry.kind == kWindowPrint) h = v = 1.0;
        if (fitH && fitV) h = v = std::min(h, v);
        if (fitH) horizontal = h;
        if (fitV) vertical = v;
    }
    const auto fixed = [](double f) {
        return int32_t(std::clamp(std::lround(f * kFixed24One), 1L, long(INT32_MAX)));
    };
    const int32_t factorH = fixed(horizontal), factorV = fixed(vertical);
    if (factorH == window->graf.geometry.scaleH && factorV == window->graf.geometry.scaleV &&
        window->graf.geometry.wholeScaleV != 0)
        return;
    SetWindowScaleFactors(&window->graf.geometry, factorV, factorH);
    VXSetPadSize(window, window->padWidth, window->padHeight, true);
}

void VXSetScalePercent(VXWindowRecordTag* window, int32_t horizontal, int32_t vertical) {
    if (!window) return;
    if (horizontal < 1 || vertical < 1)
        VXSetScalingFactors(window, 0, 0);
    else
        VXSetScalingFactors(window, horizontal / 100.0, vertical / 100.0);
    const auto percent = [](int32_t factor) {
        return int16_t(std::clamp<int64_t>((int64_t(factor) * 100 + kFixed24One / 2) / kFixed24One,
                                           1, 0x7FFF));
    };
    window->scalePercentH = percent(window->graf.geometry.scaleH);
    window->scalePercentV = percent(window->graf.geometry.scaleV);
}

void VXInvalRect(VXWindowRecordTag* window, const Rect* rect) {
    if (!rect) {
        VXLInvalRect(window, nullptr);
        return;
    }
    const LRect r{rect->top, rect->left, rect->bottom, rect->right};
    VXLInvalRect(window, &r);
}

namespace {

// A rectangle in document coordinates in the platform view's pixels: scaled, grown to whole
// pixels, at least one pixel wide and high.
PlatformRect PlatformRectOf(VXWindowRecordTag* window, const LRect* rect) {
    // Document coordinates to the view: scaled, grown to whole pixels.
    const auto scale = [](int32_t v, int32_t factor, bool up) {
        const int64_t product = int64_t(v) * factor;
        return int32_t(up ? (product + kFixed24One - 1) / kFixed24One : product / kFixed24One);
    };
    // The view's bounds to the platform view: the scroll and the content view's place.
    double dx, dy;
    _LPNT origin;
    ContentPlacement(window, &dx, &dy, &origin);
    const int32_t h = int32_t(std::lround(dx)), v = int32_t(std::lround(dy));
    const int32_t top = scale(rect->top, window->graf.geometry.scaleV, false) + v;
    const int32_t left = scale(rect->left, window->graf.geometry.scaleH, false) + h;
    const int32_t bottom = scale(rect->bottom, window->graf.geometry.scaleV, true) + v;
    const int32_t right = scale(rect->right, window->graf.geometry.scaleH, true) + h;
    return {left, top, std::max(right - left, 1), std::max(bottom - top, 1)};
}

// Pixels around an overlay's changed area that pens and smoothing may reach.
constexpr int32_t kOverlayAreaMargin = 3;

}  // namespace

void VXLInvalRect(VXWindowRecordTag* window, const LRect* rect) {
    if (!window || !IsOnScreen(window) || !window->platformWindow) return;
    if (!rect) {
        PlatformWindowInvalidate(window->platformWindow, {});
        return;
    }
    if (RectIsEmpty(*rect)) return;
    PlatformWindowInvalidate(window->platformWindow, PlatformRectOf(window, rect));
}

void VXInvalidateHierarchy(VXWindowRecordTag* window) {
    if (!window || !VXIsWindowVisible(window, true)) return;
    PlatformWindowInvalidate(window->platformWindow, {});
    for (VXWindowRecordTag* child : ChildrenOf(window)) VXInvalidateHierarchy(child);
}

void VXInvalidateAllWindows() {
    for (VXWindowRecordTag* window : gWindows)
        if (window->platformWindow) PlatformWindowInvalidate(window->platformWindow, {});
}

void VXUpdateWindow(VXWindowRecordTag* window) {
    if (!window || !window->platformWindow) return;
    VXWindowRecordTag* current = vx.currentWindow;
    const int32_t currentID = current ? current->windowID : 0;
    PlatformWindowDisplay(window->platformWindow);
    VXSetWindow(VXGetWindowFromId(currentID));
}

void VXWaitUpdateWindows() {
    ++vx.updateWaitDepth;
    std::vector<int32_t> ids;
    std::vector<VXWindowRecordTag*> order = VXTopLevelWindows();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        ids.push_back((*it)->windowID);
        for (VXWindowRecordTag* child : ChildrenOf(*it)) ids.push_back(child->windowID);
    }
    bool drew = false;
    for (int32_t id : ids) {
        VXWindowRecordTag* window = VXGetWindowFromId(id);
        if (!window || !PlatformWindowNeedsDisplay(window->platformWindow)) continue;
        VXUpdateWindow(window);
        drew = true;
    }
    if (drew) PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros());
    --vx.updateWaitDepth;
}

void VXBeginOverlayForPanes(VXWindowRecordTag* window, uint32_t paneFlags, VXOverlayProc proc,
                            void* data) {
    if (!window || !window->platformWindow || window->overlayProc || !proc) return;
    window->overlayProc = proc;
    window->overlayData = data;
    window->overlayPanes = paneFlags & 0xF00000;
    PlatformWindowBeginOverlay(window->platformWindow);
}

void VXUpdateOverlay(VXWindowRecordTag* window) {
    if (window) PlatformWindowUpdateOverlay(window->platformWindow);
}

void VXUpdateOverlayArea(VXWindowRecordTag* window, const LRect* area) {
    if (!window) return;
    if (!area) return VXUpdateOverlay(window);
    if (RectIsEmpty(*area)) return;
    const PlatformRect r = PlatformRectOf(window, area);
    PlatformWindowUpdateOverlayRect(window->platformWindow,
                                    {r.x - kOverlayAreaMargin, r.y - kOverlayAreaMargin,
                                     r.width + 2 * kOverlayAreaMargin, r.height + 2 * kOverlayAreaMargin});
}

void VXUpdateOverlayFrame(VXWindowRecordTag* window, const LRect* frame) {
    if (!window || !frame) return;
    const LRect& r = *frame;
    const LRect sides[] = {{r.top, r.left, r.top + 1, r.right},
                           {r.bottom - 1, r.left, r.bottom, r.right},
                           {r.top, r.left, r.bottom, r.left + 1},
                           {r.top, r.right - 1, r.bottom, r.right}};
    for (const LRect& side : sides) VXUpdateOverlayArea(window, &side);
}

void VXEndOverlay(VXWindowRecordTag* window) {
    if (!window || !window->overlayProc) return;
    window->overlayProc = nullptr;
    window->overlayData = nullptr;
    window->overlayPanes = 0;
    PlatformWindowEndOverlay(window->platformWindow);
}

bool VXGetFocusWindow(VXWindowRecordTag* window, VXWindowRecordTag** keyboardWindow,
                      VXWindowRecordTag** controlWindow, void** focusedControl) {
    if (keyboardWindow) *keyboardWindow = nullptr;
    if (controlWindow) *controlWindow = nullptr;
    if (focusedControl) *focusedControl = nullptr;
    VXWindowRecordTag* top = VXGetTopParent(window ? window : VXGetKeyWindow());
    if (!top || !IsOnScreen(top)) return false;
    VXWindowRecordTag* keyboard = VXGetWindowFromId(top->keyboardWindowID);
    if (keyboardWindow) *keyboardWindow = keyboard ? keyboard : top;
    VXWindowRecordTag* owner = nullptr;
    void* control = gVXWindowDefaultHooks.focusedControl
                        ? gVXWindowDefaultHooks.focusedControl(top, &owner)
                        : nullptr;
    if (controlWindow) *controlWindow = control ? owner : nullptr;
    if (focusedControl) *focusedControl = control;
    return control != nullptr;
}

void VXSetFocusWindow(VXWindowRecordTag* window, bool) {
    if (!window) return;
    VXWindowRecordTag* top = VXGetTopParent(window);
    if (top->keyboardWindowID == window->windowID) return;
    const int32_t id = window->windowID, topID = top->windowID;
    if (VXWindowRecordTag* old = VXGetWindowFromId(top->keyboardWindowID)) {
        if (!SendFocusEvent(old, false)) return;  // the old keyboard window refused
    }
    window = VXGetWindowFromId(id);
    top = VXGetWindowFromId(topID);
    if (!window || !top) return;
    top->keyboardWindowID = id;
    SendFocusEvent(window, true);
}

void VXSendPendingWindowDeactivation(VXWindowRecordTag* newMain) {
    VXWindowRecordTag* pending = VXGetWindowFromId(gPendingDeactivationID);
    gPendingDeactivationID = 0;
    if (pending && pending != newMain) SendActivateEvent(pending, false);
}

void VXSetWindowClassInfo(VXWindowRecordTag* window, WindowClassInfoTag* record, uint32_t code) {
    if (!window || !record) return;
    record->window = window;
    record->code = code;
    record->next = window->classInfo;
    window->classInfo = record;
}

WindowClassInfoTag* VXGetWindowClassInfo(VXWindowRecordTag* window, uint32_t code) {
    for (WindowClassInfoTag* info = window ? window->classInfo : nullptr; info; info = info->next) {
        // A record in a window's chain belongs to that window (a stale pointer shows here).
        PLEXA_ASSERT(info->window == window);
        if (info->code == code) return info;
    }
    return nullptr;
}

void VXDestroyWindowClassInfo(VXWindowRecordTag* window, uint32_t code) {
    if (!window) return;
    for (WindowClassInfoTag** link = &window->classInfo; *link; link = &(*link)->next) {
        if ((*link)->code != code) continue;
        WindowClassInfoTag* info = *link;
        *link = info->next;
        delete info;
        return;
    }
}

VXWindowRecordTag* VXSetWindow(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = vx.currentWindow;
    vx.currentWindow = window;
    VXSetCurrentGrafState(window ? &window->graf : nullptr);
    return previous;
}

bool VXIsDialogWindow(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = VXGetTopParent(window);
    return top && top->windowClass == kVXWindowDialog;
}

int32_t VXIsModalWindowActive() {
    if (PlatformModalDepth() > 0) return 1;
    VXWindowRecordTag* key = VXGetKeyWindow();
    return key && key->windowClass == kVXWindowDialog && (key->style == 2 || key->style == 3);
}

void VXEndDialog(VXWindowRecordTag* window, int16_t item) {
    if (!window) return;
    if (vx.modalResult) *vx.modalResult = item;
    VXEventRecord event = VXClearedEvent(kVXEndModalEvent);
    event.u.endModal.item = item;
    DispatchEvent(window, &event);
}

}  // namespace plexa
