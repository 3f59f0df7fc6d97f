// Panels and panes: the toolkit's record of each view area of a window. A panel owns the frames of
// its structure view (which carries the scroll bars) and of its content view, the content view's
// bounds (whose origin is the document point shown at the top-left: scrolling moves it), the pad
// (the scrollable document size), its two scroll bars (kept here and shown as the platform's
// bars, whose clicks and knob drags come back as scroll events), up to three fixed header
// strips around the main pane, and the content view's pending display areas. A window's main
// panel is made on first use; a divided child window gets a panel split off its parent's main
// panel, a child window a panel embedded in its parent's. Panels are kept by window id and go
// with their window.
//
// Coordinates: the content view is flipped (y down); pane rectangles are in its bounds
// coordinates. Panel frames are in the coordinates of the window's content (main and divided
// panels) or of the parent's structure view (child panels). Scroll positions and offsets are whole
// view units; document units of a scaled window are converted by the window's scale first.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct VXGrafState;
struct PlatformScroller;

// Panel flags.
constexpr uint32_t kVXPanelIgnoreDisplay = 0x10, kVXPanelContentTakesControlClicks = 0x20,
                   kVXPanelDisplaying = 0x40, kVXPanelScrolled = 0x80,
                   kVXPanelAltPaneClicks = 0x100, kVXPanelNoVerticalScroll = 0x400,
                   kVXPanelNoHorizontalScroll = 0x800, kVXPanelNotOpaque = 0x1000,
                   kVXPanelFocusRing = 0x2000, kVXPanelNoSyncDisplay = 0x4000,
                   kVXPanelTreeView = 0x8000, kVXPanelFirstClick = 0x10000,
                   kVXPanelDarkCorner = 0x20000, kVXPanelMouseMovedPending = 0x40000;

// Creation options: scroll bars and a layer-backed content view.
constexpr uint32_t kVXPanelHorizontalBar = 16, kVXPanelVerticalBar = 32, kVXPanelLayered = 0x800;

// The width of the scroll bars at the small control size.
constexpr int16_t kVXPanelBarWidth = 16;

// One scroll bar: index 0 the vertical one, 1 the horizontal one.
struct VXPanelScroller {
    PlatformScroller* native = nullptr;  // the platform's bar, for a panel on screen
    uint8_t present = 0;
    uint8_t enabled = 0;
    double value = 0;           // 0 ... 1
    double knobProportion = 0.2;
    XRect frame{};              // in the structure view
};

struct VXPanelRecordTag {
    VXWindowRecordTag* window = nullptr;
    VXPanelRecordTag* next = nullptr;         // divided chain, or the parent's child list
    VXPanelRecordTag* childPanels = nullptr;
    VXPanelRecordTag* adjacent[2] = {};       // split off above (0), to the left (1)
    void* firstControl = nullptr;
    void* lastControl = nullptr;
    // Views: the structure frame in its superview, the content frame in the structure view (the
    // same rectangle at 0, 0 when the structure view is the content view) and the content bounds.
    XRect structFrame{};
    XRect contFrame{};
    XRect bounds{};
    uint8_t hasStructView = 0;                // the structure view is not the content view
    uint8_t hidden = 0;
    uint8_t layered = 0;
    uint8_t cornerBox = 0;
    uint8_t acceptsFiles = 0;
    uint64_t fadeAction = 0;
    VXPanelScroller scrollers[2];
    int32_t maxScroll[2] = {0, 0};            // vertical, horizontal
    int16_t sizeLimits[4] = {0, 0, 0, 0};     // min height, min width, max height, max width
    int16_t barWidth = 0;
    uint8_t fadeCount[2] = {0, 0};
    uint8_t isDivided = 0;
    int8_t divideDirection = 0;
    int32_t pageIncrement = 0;
    int32_t lineIncrement = 0;
    uint32_t flags = 0;
    int32_t padSize[2] = {0, 0};              // vertical, horizontal
    double headerWidth = 0, headerHeight = 0;  // the left strip's width, the top strip's height
    XRect paneBounds{};
    XRect altPanes[3]{};
    // The content view's pending display areas (bounds coordinates) and the number of times it
    // was displayed at once.
    std::vector<XRect> needsDisplay;
    int32_t displayCount = 0;
    // Main panels: the window content size the frames were laid out for.
    int32_t windowWidth = 0, windowHeight = 0;
};

// Connects the panels to the windows and the geometry layer (pane bounds, points to screen,
// default scrolling, release with the window); run at launch and by tests after the windows.
void VXInitPanels();

// The window's panel: the main panel of a top-level window, the divided or child panel of a child
// window, made on first use from the window's class and creation flags. None for off-screen and
// print windows and for records without a platform part. On the way the panels follow the window:
// a main panel and the panels divided off it take a new content size (the main panel grows both
// ways, a panel split off above grows in width, one split off to the left in height), and the
// pad takes the size kept in the window record (VXSetPadSize).
VXPanelRecordTag* VXGetWindowPanel(VXWindowRecordTag* window);

// The offset from a panel's bounds coordinates to the coordinates of its window's platform view:
// the window's content for a main panel, the child window's own view otherwise.
void VXPanelPlatformOffset(const VXPanelRecordTag* panel, double* dx, double* dy);

// Creating and releasing.
VXPanelRecordTag* EstablishMainWindowPanel(VXWindowRecordTag* window, uint32_t options,
                                           int16_t borderInset);
VXPanelRecordTag* EstablishDividedWindowPanel(VXPanelRecordTag* parent, VXWindowRecordTag* child,
                                              int16_t size, int8_t direction, uint32_t options);
VXPanelRecordTag* EstablishChildWindowPanel(VXWindowRecordTag* parent, VXWindowRecordTag* child,
                                            const LRect* rect, uint32_t options);
void CreatePanelStructView(VXPanelRecordTag* panel, uint32_t options);
void CreateViewScroller(VXPanelRecordTag* panel, int32_t axis, const XRect& frame);
// Unlinks and frees a panel; `parent` is the panel it was split off or embedded in.
void Release1Panel(VXPanelRecordTag* panel, VXPanelRecordTag* parent, bool divided);

// Geometry and state.
void VXViewSyncPaneBounds(VXPanelRecordTag* panel);
XRect GetPaneBounds(const VXPanelRecordTag* panel, int32_t pane, bool unscrolled);
void VXGetPaneRectInBase(const VXPanelRecordTag* panel, int32_t pane, Rect* rect);
// A panel embedded in another one shows while its child window does.
bool VXIsPanelVisible(const VXPanelRecordTag* panel);
void VXSetHasFocusRing(VXWindowRecordTag* window, bool on);
VXPanelRecordTag* VXGetAdjacentPanel(VXPanelRecordTag* panel, int32_t direction);
void SetAlternatePaneSize(VXPanelRecordTag* panel, int32_t pane, double size);
// {min height, min width, max height, max width} as a Rect (top, left, bottom, right).
void VXMinMaxPanelSize(VXPanelRecordTag* panel, Rect* limits);
void ResizeDividedPanelAdjacents(VXPanelRecordTag* panel, int32_t delta);
// Gives a divided panel a new height (split off above) or width (to the left), moving the divider
// and its neighbours; the size is kept within what the neighbours can give. Returns 1 when the
// panel changed.
int32_t VXSetDividedPanelSize(VXPanelRecordTag* panel, int32_t size);
// Frames of a panel's views after its structure frame or size changed (the window's content was
// resized, a divider moved); re-syncs and updates the bars like a frame change.
void VXSetPanelStructFrame(VXPanelRecordTag* panel, const XRect& frame);

// Pad and scroll bars.
void SetPanelPadSize(VXPanelRecordTag* panel, int32_t width, int32_t height);
int32_t VXViewFrameChanged(VXPanelRecordTag* panel, bool sendSize);
void UpdatePadScroller(VXPanelRecordTag* panel, int32_t axis);
void VXSetPadScrollerProperties(VXWindowRecordTag* window, int32_t axis, int32_t position,
                                int32_t visible, int32_t total);

// Scrolling. Rectangles handed back are in bounds coordinates.
int32_t VXScrollPanelContents(VXPanelRecordTag* panel, int32_t dh, int32_t dv, int32_t rowHeight,
                              bool displayNow, LRect rects[4]);
int32_t ScrollRectInPanelContentView(VXPanelRecordTag* panel, const LRect& area, int32_t dh,
                                     int32_t dv, LRect rects[2]);
void VXTranslateUpdateRegion(VXPanelRecordTag* panel, int32_t dh, int32_t dv);
int32_t DefaultScrollHandler(VXWindowRecordTag* window, VXEventRecord* event);
void CalcScrollIncrements(const VXPanelRecordTag* panel, int32_t axis, int32_t* line,
                          int32_t* page);
void ScrollViewRelativeAmount(VXPanelRecordTag* panel, int32_t dh, int32_t dv, bool setScroller);
void VXScrollTo(VXWindowRecordTag* window, int32_t h, int32_t v);
void VXLRevealRect(VXWindowRecordTag* window, const LRect* rect, bool wholly);
void VXRevealRect(VXWindowRecordTag* window, const Rect* rect, bool wholly);
int32_t VXAutoScroll(VXWindowRecordTag* window, int32_t h, int32_t v);

// The current pane's visible rectangle in view units (bounds coordinates of its pane), and the
// same in document units (unscaled); false without a panel.
XRect VXCurrentPaneViewRect(VXWindowRecordTag* window);
bool VXLGetPaneViewRect(VXWindowRecordTag* window, LRect* rect);
// The header strips of the window's panel: the left strip's width and the top strip's height.
void VXSetAltSize(VXWindowRecordTag* window, int32_t width, int32_t height);
// 1 when the window's panel has that pane (-1 the main pane, 0 top, 1 left, 2 the corner).
int32_t VXHasAltView(VXWindowRecordTag* window, int32_t pane);
// Moves the panel contents after the drawing origin of a window changed by (dh, dv) (the
// graphics layer's origin hook).
void TranslatePanelOrigin(VXGrafState* state, int32_t dh, int32_t dv);
// Marks a rectangle of the content view (bounds coordinates) for display.
void VXPanelSetNeedsDisplay(VXPanelRecordTag* panel, const XRect& rect);
// Displays the panel's pending areas now.
void VXPanelDisplay(VXPanelRecordTag* panel);

// Scrolling that neither copies bits nor invalidates (around a change of scale that redraws
// everything afterwards).
void VXSetScrollWithoutCopying(bool on);

}  // namespace plexa
