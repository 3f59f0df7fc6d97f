// The toolkit's window record and the windows themselves: top-level windows of every class over
// platform windows, child windows living as views inside another window's content, off-screen
// windows drawing into a bitmap, and bare records without any platform part (for code that only
// needs ids and dispatch). This module owns window ids (unique for the whole run), the window
// order (the platform's own front-to-back list), showing and hiding, positions and size limits,
// titles, scaling, invalidation and synchronous update, the focus between windows, closing all
// windows, release, and the class-info extension records.
//
// A window's life:
//   announced  made and in the window list with an id; its handler has the create event (a
//              handler that destroys the window there ends the life at once);
//   created    kVXStatusCreated after the create event, then the size event; hidden until shown;
//   shown      on screen (kVXStatusBeingShown while showing runs); hidden and shown again any
//              number of times; a close request (`VXSendGoAway`) that its handler takes keeps it;
//   released   `VXDestroyWindow`: kVXStatusBeingReleased is set (a second destroy does nothing),
//              any display-list capture is dropped, children go first, the destroy event, the
//              controls, the platform window; then the record is freed and its id never comes back.
// Code that may run a handler keeps the id and looks the window up again (`VXGetWindowFromId`).
//
// Status word. The status bits live in the geometry record's flag word (`graf.geometry.flags`), so that
// the geometry and drawing code read the scaled bit from it. Bit 0x40 there means "controls
// hidden". The text display views keep their own two bits (scrolling, text display view) in the
// separate field `textViewFlags`, so the two meanings of 0x40 never share a word.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/windowgeometry.h"
#include "graphics/grafport.h"

namespace plexa {

struct VXEventRecord;
struct VXWindowRecordTag;
struct VXPrepCommandRecord;
struct sVXTimerRecord;
struct PlatformWindow;
struct QZPort;
struct QZBitmap;
struct VXGrafProcsRecord;
struct VXPanelRecordTag;

using VXEventProc = int32_t (*)(VXWindowRecordTag* window, VXEventRecord* event);
using VXWindowPrepCommandProc = int32_t (*)(VXPrepCommandRecord* record);
// Draws a window's overlay; called once for each pane the overlay covers, focused on it.
using VXOverlayProc = void (*)(VXWindowRecordTag* window, void* data);

// Pane bits of an overlay: the whole content, pane 0, pane 1, pane 2.
constexpr uint32_t kVXOverlayMainPane = 0x100000, kVXOverlayPane0 = 0x200000,
                   kVXOverlayPane1 = 0x400000, kVXOverlayPane2 = 0x800000;

struct VXLongRect {
    int32_t top, left, bottom, right;
};

// A block run around a window's own drawing: phase 0 before, phase 1 after.
struct VXUpdateBlock {
    std::function<void(VXWindowRecordTag* window, void* refcon)> block;
    void* refcon = nullptr;
    VXLongRect rect{};
    uint8_t phase = 0;
};

// Window classes.
constexpr uint8_t kVXWindowDocument = 0, kVXWindowDialog = 1, kVXWindowFloating = 2,
                  kVXWindowPopup = 3, kVXWindowChild = 4, kVXWindowDividedChild = 5,
                  kVXWindowListBox = 6;

// Status bits.
constexpr uint32_t kVXStatusPage = 0x1, kVXStatusFocusOnClick = 0x2, kVXStatusNoUpdate = 0x4,
                   kVXStatusScaled = 0x8, kVXStatusBeingReleased = 0x10,
                   kVXStatusPenUnscaled = 0x20, kVXStatusControlsHidden = 0x40,
                   kVXStatusControlsInactive = 0x80, kVXStatusDeactivatedControls = 0x100,
                   kVXStatusCreated = 0x800, kVXStatusNoButtonKeys = 0x1000,
                   kVXStatusSmallControls = 0x2000, kVXStatusCursorReset = 0x4000,
                   kVXStatusPathLines = 0x8000, kVXStatusLiveResize = 0x20000,
                   kVXStatusBeingShown = 0x40000, kVXStatusModal = 0x80000,
                   kVXStatusNoKeyOrMain = 0x100000;
// Bits of `textViewFlags`.
constexpr uint8_t kVXTextViewScrolling = 0x1, kVXTextView = 0x2;

// Creation flags of top-level windows; child borders.
constexpr uint32_t kVXFlagResizable = 0x1, kVXFlagResizableMinimizable = 0x2,
                   kVXFlagClosable = 0x4, kVXFlagNoFullScreen = 0x8,
                   kVXFlagHorizontalScroller = 0x10, kVXFlagVerticalScroller = 0x20,
                   kVXFlagChildFrame = 0x200, kVXFlagChildBezel = 0x400,
                   kVXFlagLayerBacked = 0x800;

// The head of an extension record kept on a window under a four-character code.
struct WindowClassInfoTag {
    WindowClassInfoTag* next = nullptr;
    VXWindowRecordTag* window = nullptr;
    uint32_t code = 0;
    virtual ~WindowClassInfoTag() = default;
};

struct VXWindowRecordTag {
    // The drawing state: its geometry holds the kind (0 on-screen, 1 off-screen, 2 print), the
    // current pane, the status word and the scale factors; the port, drawing procedures (none:
    // the standard ones), clip stack, text style and draw mode are the graphics layer's.
    VXGrafState graf;
    uint8_t windowClass = 0;
    uint8_t style = 0;
    // On-screen part.
    PlatformWindow* platformWindow = nullptr;  // a child window's own view
    VXWindowRecordTag* parent = nullptr;
    int32_t keyboardWindowID = 0;  // top-level windows: the window that receives keys
    VXEventProc eventProc = nullptr;
    std::vector<VXUpdateBlock> updateBlocks;
    sVXTimerRecord* idleTimer = nullptr;
    int16_t idealHeight = 0, idealWidth = 0;
    VXOverlayProc overlayProc = nullptr;
    void* overlayData = nullptr;
    uint32_t overlayPanes = 0;  // the kVXOverlay* bits
    // Off-screen part.
    QZBitmap* pixels = nullptr;
    WindowClassInfoTag* classInfo = nullptr;
    VXWindowPrepCommandProc prepCommandProc = nullptr;
    int32_t padHeight = 0, padWidth = 0;
    int16_t scalePercentV = 100, scalePercentH = 100;
    int32_t windowID = 0;
    uint32_t creationFlags = 0;
    void* refCon = nullptr;
    int32_t standardCursor = 0;
    int16_t typeID = 0;
    uint16_t dispatchCounter = 0;
    uint8_t dropHighlight = 0;
    uint8_t radioSlots = 0;
    uint8_t textViewFlags = 0;
    // Content limits of a top-level window (0: none).
    int16_t minHeight = 0, minWidth = 0, maxHeight = 0, maxWidth = 0;
    int32_t lineScrollAmount = 0;
    uint8_t created = 0;     // the create event has been delivered (also status 0x800)
    uint8_t visible = 0;     // a window without a platform part counts as shown
    uint8_t fullScreen = 0;
    int32_t previousCurrentID = 0;  // the window current before this one was made

    uint32_t& status() { return graf.geometry.flags; }
    uint32_t status() const { return graf.geometry.flags; }
};

// Creation. Rectangles of top-level windows are content rectangles in screen coordinates. The
// template id is not used here: a window's content from a UI template is the dialogs' business.
VXWindowRecordTag* VXCreateWindow(uint8_t windowClass, uint8_t style, uint32_t flags,
                                  int16_t typeID, uint32_t status, int32_t ignored,
                                  const Rect* contentRect, const char* title, int32_t templateID,
                                  void* refcon, VXEventProc eventProc);
VXWindowRecordTag* VXCreateChildWindow(uint8_t style, uint32_t flags, uint32_t status,
                                       VXWindowRecordTag* parent, const Rect* rect, void* refcon,
                                       VXEventProc eventProc);
// A child along one side of a top-level parent's content: side 0 above (the top), 1 left; the
// application's position numbers 0 (top) and 4 (left) are taken too. `size` is its height or
// width.
VXWindowRecordTag* VXCreateDividedChildWindow(void* ignored, uint32_t flags, uint32_t status,
                                              VXWindowRecordTag* parent, int16_t size,
                                              int16_t side, void* refcon, VXEventProc eventProc);
VXWindowRecordTag* VXCreateOffScreenWindow(QZBitmap* pixels, uint32_t status, void* refcon);
// A record without a platform window; it goes in front of the others. A child needs a parent.
VXWindowRecordTag* VXCreateBareWindow(uint8_t windowClass, uint8_t style, VXWindowRecordTag* parent,
                                      VXEventProc eventProc, void* refcon);

// Release: children first (with their destroy events), then the window; safe to call from the
// window's own handler (it happens once).
void VXDestroyWindow(VXWindowRecordTag* window);
// Sends a close request; true when the window is gone afterwards.
bool VXSendGoAway(VXWindowRecordTag* window);
// Close requests to the on-screen windows front to back; stops at one that stays or when the
// pass is aborted. True when every window closed.
bool VXCloseAllWindows();
bool VXDestroyAllWindows();
void VXAbortCloseAll();

// Order and lookup.
VXWindowRecordTag* VXGetWindowFromId(int32_t id);
VXWindowRecordTag* VXGetFirstWindow();
VXWindowRecordTag* VXGetNextWindow(VXWindowRecordTag* window);
// Class filter: 7 classes 0 and 1, 8 any class, else exactly that class.
VXWindowRecordTag* VXGetNextVisibleWindow(VXWindowRecordTag* after, int32_t classFilter,
                                          bool deep);
VXWindowRecordTag* VXGetFirstChild(VXWindowRecordTag* window);
VXWindowRecordTag* VXGetTopParent(VXWindowRecordTag* window);
bool VXIsChildWindow(VXWindowRecordTag* window, VXWindowRecordTag* parent);
VXWindowRecordTag* VXGetWindowRefFromNSWindow(const PlatformWindow* platformWindow);
// The platform view of a window's content (a child's own view).
PlatformWindow* VXGetNSWindowContentView(VXWindowRecordTag* window);
// The top-level windows, front to back.
std::vector<VXWindowRecordTag*> VXTopLevelWindows();

// Visibility and state.
void VXShowWindow(VXWindowRecordTag* window);
void VXHideWindow(VXWindowRecordTag* window);
void VXSetChildWindowVisibility(VXWindowRecordTag* window, bool visible);
bool VXIsWindowVisible(VXWindowRecordTag* window, bool deep);
// Brings a top-level window to the front and makes it the key window.
void VXSelectWindow(VXWindowRecordTag* window);
// The key window, or none.
VXWindowRecordTag* VXGetKeyWindow();
bool VXIsFullScreenWindow(VXWindowRecordTag* window);
bool VXWindowHasCloseBox(VXWindowRecordTag* window);
void VXSetWindowModified(VXWindowRecordTag* window, bool modified);
// Titles are UTF-8; the getter fills 200 bytes, cut at a whole character.
void VXSetWindowTitle(VXWindowRecordTag* window, const char* title);
void VXGetWindowTitle(VXWindowRecordTag* window, char title[200]);
VXEventProc VXSetWindowEventHandler(VXWindowRecordTag* window, VXEventProc proc);
// The document a top-level window shows: its absolute path (UTF-8), or with none the name
// "window_<id>", which stands for no file. The file type is kept for the caller's use only.
void VXSetWindowFileProxy(VXWindowRecordTag* window, const char* path, uint32_t fileType);

// Geometry. Screen rectangles are y-down from the main screen's top-left.
void VXGetWindowPosition(VXWindowRecordTag* window, Rect* rect);
void VXSetWindowPosition(VXWindowRecordTag* window, const Rect* rect);
// The whole window on screen, with its title and menu bars.
void VXGetWindowFrame(VXWindowRecordTag* window, Rect* rect);
// The frame a content rectangle would have (the window's decorations around it).
void VXGetOuterRect(VXWindowRecordTag* window, const Rect* content, Rect* outer);
// The frames of the window's panel: its structure view (with the scroll bars) and its content
// view, both in the structure view's superview (the window's content for main and divided
// panels, the parent's structure view for child panels). Without a panel both are the client
// rectangle.
void VXGetPanelStructRect(VXWindowRecordTag* window, Rect* rect);
void VXGetPanelContentRect(VXWindowRecordTag* window, Rect* rect);
// The content in its own coordinates: {0, 0, height, width}.
void VXGetClientRect(VXWindowRecordTag* window, Rect* rect);
void VXGetClientSize(VXWindowRecordTag* window, int16_t* height, int16_t* width);
// The visible part of the content in document coordinates (unscaled); `which` 0 asks for
// window coordinates, the only kind there is without panes.
void VXGetViewRect(VXWindowRecordTag* window, Rect* rect, int32_t which = 0);
void VXLGetViewRect(VXWindowRecordTag* window, LRect* rect, int32_t which = 0);
bool VXIsRectInView(VXWindowRecordTag* window, const LRect* rect);
// Converts content points between windows (none: the screen).
void VXTranslatePoints(VXWindowRecordTag* from, VXWindowRecordTag* to, Point* points,
                       int32_t count);
void VXGetMainScreenBounds(Rect* rect, bool withMenuBar);
bool VXGetScreenBoundsForRect(const Rect* rect, Rect* screen);
// For a window of that class, style and flags with this content rectangle: 1 a screen contains
// the whole window, 2 one only meets it, 0 none.
int32_t VXWindowRectOnScreen(uint8_t windowClass, uint8_t style, uint32_t flags, const Rect* rect);
void VXFlipScreenRect(Rect* rect);
int32_t VXGetScreenPixelDepth();
// Decoration sizes for a class and flags: the frame of a 200 x 200 content, each side's width and
// the title bar's height.
void VXGetWindowMetrics(uint8_t windowClass, uint8_t style, uint32_t flags, Rect* frame,
                        int16_t* side, int16_t* title);
// The width of a scroll bar along the content (16 with a scroller on that side, else 0).
int16_t VXCalcStructureBarWidth(VXWindowRecordTag* window, bool vertical);
// The largest content rectangle of such a window within a rectangle (none: the main screen),
// kept 18 points from its edges.
void VXCalcMaxWindowRect(uint8_t windowClass, uint8_t style, uint32_t flags, const Rect* within,
                         Rect* rect);
// Limits of the content size: top/left the minimum height/width, bottom/right the maximum
// (a maximum below the minimum becomes 10000).
void VXSetMinMaxRect(VXWindowRecordTag* window, const Rect* limits);
void VXCalcWindowIdealPosition(VXWindowRecordTag* window, Rect* rect);
void VXSetWindowIdealSize(VXWindowRecordTag* window, int16_t width, int16_t height);
// 1 when resized.
int32_t VXResizeDividedChildWindow(VXWindowRecordTag* window, int16_t size);

// Content.
void VXSetPadSize(VXWindowRecordTag* window, int32_t width, int32_t height, bool invalidate);
void VXSetAltView(VXWindowRecordTag* window, int32_t pane);
void VXSetLineScrollAmount(VXWindowRecordTag* window, int32_t amount);
// Factors as fractions (1.0 = 100 %); 0 or less fits the pad into the client area.
void VXSetScalingFactors(VXWindowRecordTag* window, double horizontal, double vertical);
void VXSetScalePercent(VXWindowRecordTag* window, int32_t horizontal, int32_t vertical);

// Drawing.
void VXInvalRect(VXWindowRecordTag* window, const Rect* rect);
void VXLInvalRect(VXWindowRecordTag* window, const LRect* rect);
void VXInvalidateHierarchy(VXWindowRecordTag* window);
void VXInvalidateAllWindows();
void VXUpdateWindow(VXWindowRecordTag* window);
void VXWaitUpdateWindows();

// Overlay: a transparent layer over the content that the procedure draws; beginning while one
// is up does nothing.
void VXBeginOverlayForPanes(VXWindowRecordTag* window, uint32_t paneFlags, VXOverlayProc proc,
                            void* data);
void VXUpdateOverlay(VXWindowRecordTag* window);
// Repaints the overlay only where it changed: the area (document coordinates, as VXLInvalRect
// takes them) holds what it drew before and what it draws now; a few pixels around it are
// taken too, for pens and smoothing. Null repaints the whole overlay.
void VXUpdateOverlayArea(VXWindowRecordTag* window, const LRect* area);
// The same along the four sides of a frame (document coordinates): what a frame drawn there
// takes.
void VXUpdateOverlayFrame(VXWindowRecordTag* window, const LRect* frame);
void VXEndOverlay(VXWindowRecordTag* window);

// Focus. Answers whether a control has the focus, with the keyboard window, the control's
// window and the control.
bool VXGetFocusWindow(VXWindowRecordTag* window, VXWindowRecordTag** keyboardWindow,
                      VXWindowRecordTag** controlWindow, void** control = nullptr);
void VXSetFocusWindow(VXWindowRecordTag* window, bool clearFocusItem);
void VXSendPendingWindowDeactivation(VXWindowRecordTag* newMain);

// Extension records; the window owns a pushed record and frees it with itself.
void VXSetWindowClassInfo(VXWindowRecordTag* window, WindowClassInfoTag* record, uint32_t code);
WindowClassInfoTag* VXGetWindowClassInfo(VXWindowRecordTag* window, uint32_t code);
void VXDestroyWindowClassInfo(VXWindowRecordTag* window, uint32_t code);

// Makes a window current and returns the previous one.
VXWindowRecordTag* VXSetWindow(VXWindowRecordTag* window);
// Whether a window's top-level window is a dialog.
bool VXIsDialogWindow(VXWindowRecordTag* window);
// 1 while a modal loop runs or the key window is a modal dialog (dialog styles 2 and 3).
int32_t VXIsModalWindowActive();
// Ends a dialog with an item: stores it as the modal result and sends the end-modal event.
void VXEndDialog(VXWindowRecordTag* window, int16_t item);
// Connects the windows to the platform (callbacks, drawing hooks); run at launch and by tests.
void VXInitWindows();

// What the default handling asks of the controls, dialogs and panels, installed by them.
struct VXWindowDefaultHooks {
    // Gives the focus to a dialog item: a list box takes the focus, an edit text gets its whole
    // text selected.
    void (*focusItem)(VXWindowRecordTag* window, uint16_t item) = nullptr;
    void (*showWindow)(VXWindowRecordTag* window) = nullptr;
    // Activates or deactivates a dialog's controls.
    void (*activateControls)(VXWindowRecordTag* window, bool active) = nullptr;
    // Offers a character to a top-level window's default and cancel buttons.
    int32_t (*invokePushButton)(VXWindowRecordTag* window, uint16_t character) = nullptr;
    // Default scrolling of the main panel.
    int32_t (*defaultScroll)(VXWindowRecordTag* window, VXEventRecord* event) = nullptr;
    void (*selectRadioButton)(VXWindowRecordTag* window, uint16_t item) = nullptr;
    // The control that has the keyboard focus in a top-level window and the window it lives in
    // (none: no control has the focus).
    void* (*focusedControl)(VXWindowRecordTag* topWindow, VXWindowRecordTag** controlWindow) =
        nullptr;
    // Releases a window's controls (before its destroy event completes the release).
    void (*killControls)(VXWindowRecordTag* window) = nullptr;
    // Releases the window's panel (and the panels embedded in it), after its controls.
    void (*releasePanel)(VXWindowRecordTag* window) = nullptr;
    // The window's panel (made on first use; none for windows without one): drawing, invalidation
    // and the view rectangle follow its scrolling.
    VXPanelRecordTag* (*windowPanel)(VXWindowRecordTag* window) = nullptr;
};
extern VXWindowDefaultHooks gVXWindowDefaultHooks;

}  // namespace plexa
