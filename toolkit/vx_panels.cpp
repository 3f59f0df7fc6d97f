// Panels: records kept by window id, their geometry, the pad and scroll bars, and scrolling.
//
// The platform layer has no operation that moves a view's pixels, so the part of the content that
// a scroll would copy is marked for display on the platform view as well; the panel's own list of
// pending areas (what the toolkit would have to draw after a copy) stays exact.
#include "toolkit/vx_panels.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "foundation/geometry.h"
#include "foundation/windowgeometry.h"
#include "graphics/grafport.h"
#include "platform/app_platform.h"
#include "platform/panel_scrollers.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

// Panels by the id of the window that owns them, and the panel each child panel lives in.
// (Kept for the whole run: panels of windows still open at exit stay reachable.)
std::map<int32_t, VXPanelRecordTag*>& gPanels = *new std::map<int32_t, VXPanelRecordTag*>;
std::map<const VXPanelRecordTag*, VXPanelRecordTag*>& gContainers =
    *new std::map<const VXPanelRecordTag*, VXPanelRecordTag*>;
bool gScrollWithoutCopying = false;

constexpr int16_t kLimit = 32000;

bool Empty(const XRect& r) { return !(r.width > 0) || !(r.height > 0); }

XRect Intersect(const XRect& a, const XRect& b) {
    const double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const double right = std::min(a.x + a.width, b.x + b.width);
    const double bottom = std::min(a.y + a.height, b.y + b.height);
    if (right <= left || bottom <= top) return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
}

XRect Union(const XRect& a, const XRect& b) {
    if (Empty(a)) return b;
    if (Empty(b)) return a;
    const double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const double right = std::max(a.x + a.width, b.x + b.width);
    const double bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

int32_t Origin(const VXPanelRecordTag* panel, int32_t axis) {
    return int32_t(std::lround(axis == 0 ? panel->bounds.y : panel->bounds.x));
}

bool IsLive(const VXPanelRecordTag* panel) {
    for (const auto& [id, p] : gPanels)
        if (p == panel) return true;
    return false;
}

void InvalidatePlatform(VXPanelRecordTag* panel, const XRect& r) {
    if (Empty(r) || !panel->window || !panel->window->platformWindow) return;
    if (panel->flags & kVXPanelIgnoreDisplay) return;
    double dx, dy;
    VXPanelPlatformOffset(panel, &dx, &dy);
    const int32_t left = int32_t(std::floor(r.x + dx)), top = int32_t(std::floor(r.y + dy));
    const int32_t right = int32_t(std::ceil(r.x + r.width + dx));
    const int32_t bottom = int32_t(std::ceil(r.y + r.height + dy));
    PlatformWindowInvalidate(panel->window->platformWindow,
                             {left, top, std::max(right - left, 1), std::max(bottom - top, 1)});
}

// The platform's bar follows the panel's: its frame in the platform view, its state.
PlatformRect BarFrame(const VXPanelRecordTag* panel, int32_t axis) {
    XRect r = panel->scrollers[axis].frame;
    if (panel->window && !panel->window->parent) {
        r.x += panel->structFrame.x;
        r.y += panel->structFrame.y;
    }
    return {int32_t(std::lround(r.x)), int32_t(std::lround(r.y)), int32_t(std::lround(r.width)),
            int32_t(std::lround(r.height))};
}

void PushBar(VXPanelRecordTag* panel, int32_t axis) {
    const VXPanelScroller& bar = panel->scrollers[axis];
    if (!bar.native) return;
    PlatformScrollerSetFrame(bar.native, BarFrame(panel, axis));
    PlatformScrollerSetState(bar.native, bar.enabled != 0, bar.value, bar.knobProportion);
}

void DropBars(VXPanelRecordTag* panel) {
    for (VXPanelScroller& bar : panel->scrollers) {
        PlatformScrollerDestroy(bar.native);
        bar.native = nullptr;
    }
}

// Lays the content view and the bars out in the structure frame.
void Layout(VXPanelRecordTag* panel) {
    const XRect& f = panel->structFrame;
    const double b = panel->barWidth;
    const bool vertical = panel->scrollers[0].present, horizontal = panel->scrollers[1].present;
    const double width = std::max(0.0, f.width - (vertical ? b : 0));
    const double height = std::max(0.0, f.height - (horizontal ? b : 0));
    panel->contFrame = {0, 0, width, height};
    if (vertical) panel->scrollers[0].frame = {width, 0, b, height};
    if (horizontal) panel->scrollers[1].frame = {0, height, width, b};
    panel->bounds.width = width;
    panel->bounds.height = height;
    for (int32_t axis = 0; axis < 2; ++axis)
        if (panel->scrollers[axis].native)
            PlatformScrollerSetFrame(panel->scrollers[axis].native, BarFrame(panel, axis));
}

VXPanelRecordTag* NewPanel(VXWindowRecordTag* window) {
    auto* panel = new VXPanelRecordTag;
    panel->window = window;
    gPanels[window->windowID] = panel;
    return panel;
}

// The top window's main panel, where the divided chain starts.
VXPanelRecordTag* ChainHead(const VXPanelRecordTag* panel) {
    VXWindowRecordTag* top = panel && panel->window ? VXGetTopParent(panel->window) : nullptr;
    auto it = top ? gPanels.find(top->windowID) : gPanels.end();
    return it == gPanels.end() ? nullptr : it->second;
}

void MinMaxOwn(const VXPanelRecordTag* panel, int32_t out[4]) {
    const int32_t b = kVXPanelBarWidth;
    int32_t minH = 4, minW = 4;
    if (panel->scrollers[0].present) {
        minH = 5 * b + 4;
        minW = b + 4;
    }
    if (panel->scrollers[1].present) {
        minH += b;
        minW += 5 * b;
    }
    out[0] = std::max<int32_t>(minH, panel->sizeLimits[0]);
    out[1] = std::max<int32_t>(minW, panel->sizeLimits[1]);
    // Limits that were never set (0) do not bound the panel.
    out[2] = panel->sizeLimits[2] > 0 ? panel->sizeLimits[2] : kLimit;
    out[3] = panel->sizeLimits[3] > 0 ? panel->sizeLimits[3] : kLimit;
}

void MinMax(const VXPanelRecordTag* panel, int32_t out[4], int depth) {
    if (panel->window && panel->window->parent && !panel->isDivided) {
        out[0] = out[1] = 0;
        out[2] = out[3] = kLimit;
        return;
    }
    int32_t own[4];
    MinMaxOwn(panel, own);
    std::copy(own, own + 4, out);
    if (depth > 64) return;
    const VXPanelRecordTag* above = panel->adjacent[0];
    const VXPanelRecordTag* left = panel->adjacent[1];
    // A neighbour that spans the other one as well is counted through that one.
    if (above && left && above->adjacent[1] == left) left = nullptr;
    if (above && left && left->adjacent[0] == above) above = nullptr;
    const auto cap = [](int32_t v) { return std::min<int32_t>(v, kLimit); };
    if (above) {
        int32_t r[4];
        MinMax(above, r, depth + 1);
        r[0] = cap(r[0] + own[0]);
        r[2] = cap(r[2] + own[2]);
        for (int i = 0; i < 4; ++i) out[i] = std::max(out[i], r[i]);
    }
    if (left) {
        int32_t r[4];
        MinMax(left, r, depth + 1);
        r[1] = cap(r[1] + own[1]);
        r[3] = cap(r[3] + own[3]);
        for (int i = 0; i < 4; ++i) out[i] = std::max(out[i], r[i]);
    }
}

// What the panels on the far side of a divided panel's divider can give up: a neighbour divided
// the same way passes a change on to its own far side and gives what that side has.
double FarSideRoom(const VXPanelRecordTag* panel, int depth) {
    const int d = panel->divideDirection;
    double room = 1e9;
    for (VXPanelRecordTag* p = ChainHead(panel); p; p = p->next) {
        if (p == panel || p->adjacent[d] != panel) continue;
        const bool passOn = p->isDivided && p->divideDirection == d && depth < 64;
        room = std::min(room, passOn ? FarSideRoom(p, depth + 1)
                                     : (d == 0 ? p->structFrame.height : p->structFrame.width));
    }
    return room;
}

// The window goes: its panel (and the panels embedded in it) go too.
void ReleaseWindowPanel(VXWindowRecordTag* window) {
    VXForgetWindowCursor(window);
    VXTrackingWindowGone(window);
    auto it = gPanels.find(window->windowID);
    if (it == gPanels.end()) return;
    VXPanelRecordTag* panel = it->second;
    if (panel->isDivided)
        Release1Panel(panel, ChainHead(panel), true);
    else
        Release1Panel(panel, gContainers.count(panel) ? gContainers[panel] : nullptr, false);
}

bool HookPaneBounds(const WindowGeometry* geometry, int pane, XRect* out) {
    if (!geometry || !geometry->owner) return false;
    auto* window = static_cast<VXWindowRecordTag*>(geometry->owner);
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return false;
    // A negative pane asks for the content as a whole.
    *out = pane < 0 ? panel->bounds : GetPaneBounds(panel, pane, false);
    return true;
}

void HookPointsToScreen(const WindowGeometry* geometry, Point* points, int32_t count) {
    if (!geometry || !geometry->owner) return;
    VXTranslatePoints(static_cast<VXWindowRecordTag*>(geometry->owner), nullptr, points, count);
}

void SetBarValue(VXPanelRecordTag* panel, int32_t axis, int32_t target) {
    // An axis that the panel does not scroll has its bar driven by the window itself.
    if (panel->flags & (axis == 0 ? kVXPanelNoVerticalScroll : kVXPanelNoHorizontalScroll)) return;
    const int32_t maximum = panel->maxScroll[axis];
    panel->scrollers[axis].value = maximum < 1 ? 0.0 : double(target) / double(maximum);
    PushBar(panel, axis);
}

// The user clicked a part of a bar or dragged its knob: a scroll event for the bar's window.
void OnScrollerAction(int32_t windowID, int32_t axis, int32_t part, double value) {
    VXWindowRecordTag* window = VXGetWindowFromId(windowID);
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel || axis < 0 || axis > 1) return;
    VXEventRecord event = VXClearedEvent(kVXScrollEvent);
    event.u.scroll.part = uint8_t(part);
    event.u.scroll.axis = uint8_t(axis);
    if (part == 4 || part == 5) {
        panel->scrollers[axis].value = std::clamp(value, 0.0, 1.0);
        event.u.scroll.amount = int32_t(std::lround(value * panel->maxScroll[axis]));
        event.u.scroll.value2 = Origin(panel, axis);
        panel->scrollers[axis].value = std::clamp(value, 0.0, 1.0);
    }
    DispatchEvent(window, &event);
    // The bar shows where the panel ended up (the window may have handled the event itself);
    // on an axis the panel does not scroll by itself the window drives the bar.
    const uint32_t own = axis == 0 ? kVXPanelNoVerticalScroll : kVXPanelNoHorizontalScroll;
    if ((panel = VXGetWindowPanel(VXGetWindowFromId(windowID))) && !(panel->flags & own))
        SetBarValue(panel, axis, Origin(panel, axis));
}

void SendSize(VXWindowRecordTag* window) {
    if (!window->created) return;
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    VXEventRecord event = VXClearedEvent(kVXSizeEvent);
    event.u.size.height = height;
    event.u.size.width = width;
    event.u.size.flag = (window->status() & kVXStatusLiveResize) ? 1 : 0;
    VXWindowRecordTag* previous = vx.currentWindow;
    const int32_t previousID = previous ? previous->windowID : 0;
    DispatchEvent(window, &event);
    VXSetWindow(VXGetWindowFromId(previousID));
}

// A main panel follows its window's content size (with the panels divided off it) and every
// panel its window's pad.
void FollowWindow(VXPanelRecordTag* panel) {
    VXWindowRecordTag* window = panel->window;
    if (!window->parent) {
        int16_t height = 0, width = 0;
        VXGetClientSize(window, &height, &width);
        const int32_t dw = width - panel->windowWidth, dh = height - panel->windowHeight;
        panel->windowWidth = width;
        panel->windowHeight = height;
        if (dw != 0 || dh != 0) {
            for (VXPanelRecordTag* p = panel->next; p; p = p->next) {
                XRect f = p->structFrame;
                if (p->divideDirection == 0)
                    f.width += dw;
                else
                    f.height += dh;
                VXSetPanelStructFrame(p, f);
            }
            XRect f = panel->structFrame;
            f.width += dw;
            f.height += dh;
            VXSetPanelStructFrame(panel, f);
        }
        // The limits that VXSetMinMaxRect gave the window.
        if (window->minHeight || window->minWidth || window->maxHeight || window->maxWidth) {
            panel->sizeLimits[0] = window->minHeight;
            panel->sizeLimits[1] = window->minWidth;
            panel->sizeLimits[2] = window->maxHeight;
            panel->sizeLimits[3] = window->maxWidth;
        }
    }
    if (window->padWidth != panel->padSize[1] || window->padHeight != panel->padSize[0])
        SetPanelPadSize(panel, window->padWidth, window->padHeight);
}

}  // namespace

void VXInitPanels() {
    VXGrafHooks grafHooks = VXGetGrafHooks();
    grafHooks.translatePanelOrigin = TranslatePanelOrigin;
    VXSetGrafHooks(grafHooks);
    SetPaneBoundsHook(HookPaneBounds);
    SetPointsToScreenHook(HookPointsToScreen);
    PlatformSetScrollerAction(OnScrollerAction);
    gVXWindowDefaultHooks.defaultScroll = DefaultScrollHandler;
    gVXWindowDefaultHooks.windowPanel = VXGetWindowPanel;
    gVXWindowDefaultHooks.releasePanel = ReleaseWindowPanel;
}

void VXPanelPlatformOffset(const VXPanelRecordTag* panel, double* dx, double* dy) {
    *dx = panel->contFrame.x - panel->bounds.x;
    *dy = panel->contFrame.y - panel->bounds.y;
    if (panel->window && !panel->window->parent) {
        *dx += panel->structFrame.x;
        *dy += panel->structFrame.y;
    }
}

VXPanelRecordTag* VXGetWindowPanel(VXWindowRecordTag* window) {
    if (!window || window->graf.geometry.kind != kWindowOnScreen || !window->platformWindow)
        return nullptr;
    auto it = gPanels.find(window->windowID);
    if (it != gPanels.end()) {
        FollowWindow(it->second);
        return it->second;
    }
    if (window->status() & kVXStatusBeingReleased) return nullptr;
    const uint32_t options =
        window->creationFlags & (kVXPanelHorizontalBar | kVXPanelVerticalBar | kVXPanelLayered);
    if (!window->parent) {
        VXPanelRecordTag* panel = EstablishMainWindowPanel(window, options, 0);
        if (panel) FollowWindow(panel);
        return panel;
    }
    const PlatformRect frame = PlatformWindowContentRect(window->platformWindow);
    if (window->windowClass == kVXWindowDividedChild) {
        VXPanelRecordTag* parent = VXGetWindowPanel(VXGetTopParent(window));
        if (!parent) return nullptr;
        const bool left = window->style == 1;
        return EstablishDividedWindowPanel(parent, window,
                                           int16_t(left ? frame.width : frame.height),
                                           int8_t(left ? 1 : 0), options);
    }
    const LRect rect = {frame.y, frame.x, frame.y + frame.height, frame.x + frame.width};
    return EstablishChildWindowPanel(window->parent, window, &rect, options);
}

VXPanelRecordTag* EstablishMainWindowPanel(VXWindowRecordTag* window, uint32_t options,
                                           int16_t borderInset) {
    if (!window) return nullptr;
    auto it = gPanels.find(window->windowID);
    if (it != gPanels.end()) return it->second;
    VXPanelRecordTag* panel = NewPanel(window);
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    panel->windowWidth = width;
    panel->windowHeight = height;
    panel->padSize[0] = window->padHeight;
    panel->padSize[1] = window->padWidth;
    const double inset = std::max<int16_t>(borderInset, 0);
    panel->structFrame = {inset, inset, std::max(0.0, width - 2 * inset),
                          std::max(0.0, height - 2 * inset)};
    CreatePanelStructView(panel, options);
    panel->layered = (options & kVXPanelLayered) ? 1 : 0;
    VXViewFrameChanged(panel, false);
    return panel;
}

VXPanelRecordTag* EstablishDividedWindowPanel(VXPanelRecordTag* parent, VXWindowRecordTag* child,
                                              int16_t size, int8_t direction, uint32_t options) {
    if (!parent || !child || (direction != 0 && direction != 1)) return nullptr;
    auto it = gPanels.find(child->windowID);
    if (it != gPanels.end()) return it->second;
    XRect p = parent->structFrame;
    const double extent = direction == 0 ? p.height : p.width;
    // The new panel cannot take more than the parent has, divider included.
    const double taken = std::clamp<double>(size, 0, std::max(0.0, extent - 1));
    VXPanelRecordTag* panel = NewPanel(child);
    panel->structFrame = direction == 0 ? XRect{p.x, p.y, p.width, taken}
                                        : XRect{p.x, p.y, taken, p.height};
    if (direction == 0) {
        p.y += taken + 1;
        p.height = std::max(0.0, p.height - taken - 1);
    } else {
        p.x += taken + 1;
        p.width = std::max(0.0, p.width - taken - 1);
    }
    panel->isDivided = 1;
    panel->divideDirection = direction;
    panel->adjacent[0] = parent->adjacent[0];
    panel->adjacent[1] = parent->adjacent[1];
    parent->adjacent[direction] = panel;
    panel->next = parent->next;
    parent->next = panel;
    CreatePanelStructView(panel, options);
    VXSetPanelStructFrame(parent, p);
    VXViewFrameChanged(panel, false);
    return panel;
}

VXPanelRecordTag* EstablishChildWindowPanel(VXWindowRecordTag* parent, VXWindowRecordTag* child,
                                            const LRect* rect, uint32_t options) {
    if (!parent || !child || !rect) return nullptr;
    VXPanelRecordTag* container = VXGetWindowPanel(parent);
    if (!container) return nullptr;
    auto it = gPanels.find(child->windowID);
    if (it != gPanels.end()) return it->second;
    VXPanelRecordTag* panel = NewPanel(child);
    XRect frame = XRectFromLRect(*rect);
    if (options & kVXPanelHorizontalBar) frame.height += kVXPanelBarWidth;
    if (options & kVXPanelVerticalBar) frame.width += kVXPanelBarWidth;
    panel->structFrame = frame;
    panel->next = container->childPanels;
    container->childPanels = panel;
    gContainers[panel] = container;
    CreatePanelStructView(panel, options);
    panel->hidden = 1;
    VXViewFrameChanged(panel, false);
    return panel;
}

void CreatePanelStructView(VXPanelRecordTag* panel, uint32_t options) {
    if (!panel) return;
    const bool horizontal = options & kVXPanelHorizontalBar;
    const bool vertical = options & kVXPanelVerticalBar;
    panel->hasStructView = (horizontal || vertical) ? 1 : 0;
    panel->barWidth = panel->hasStructView ? kVXPanelBarWidth : 0;
    DropBars(panel);
    panel->scrollers[0] = VXPanelScroller{};
    panel->scrollers[1] = VXPanelScroller{};
    Layout(panel);
    if (vertical) CreateViewScroller(panel, 0, panel->scrollers[0].frame);
    if (horizontal) CreateViewScroller(panel, 1, panel->scrollers[1].frame);
    Layout(panel);
    panel->cornerBox = (horizontal && vertical) ? 1 : 0;
}

void CreateViewScroller(VXPanelRecordTag* panel, int32_t axis, const XRect& frame) {
    if (!panel || axis < 0 || axis > 1) return;
    VXPanelScroller& bar = panel->scrollers[axis];
    bar.present = 1;
    bar.enabled = 0;
    bar.value = 0;
    bar.knobProportion = 0.2;
    bar.frame = frame;
    if (!bar.native && panel->window && panel->window->platformWindow)
        bar.native = PlatformScrollerCreate(panel->window->platformWindow, axis,
                                            BarFrame(panel, axis));
    PushBar(panel, axis);
}

void Release1Panel(VXPanelRecordTag* panel, VXPanelRecordTag* parent, bool divided) {
    if (!panel || !IsLive(panel)) return;
    VXWindowRecordTag* top = panel->window ? VXGetTopParent(panel->window) : nullptr;
    const bool topGoing = top && top != panel->window && (top->status() & kVXStatusBeingReleased);
    // Panels embedded in this one go first.
    while (VXPanelRecordTag* child = panel->childPanels) {
        panel->childPanels = child->next;
        child->next = nullptr;
        gContainers.erase(child);
        Release1Panel(child, panel, false);
    }
    if (divided) {
        if (!topGoing) {
            const double extent =
                panel->divideDirection == 0 ? panel->structFrame.height : panel->structFrame.width;
            ResizeDividedPanelAdjacents(panel, -int32_t(extent + 1));
        }
        VXPanelRecordTag* head = ChainHead(panel);
        for (VXPanelRecordTag* p = head; p; p = p->next) {
            if (p->next == panel) p->next = panel->next;
            // Every link to the panel goes to the panel it pointed to in turn.
            for (int i = 0; i < 2; ++i)
                if (p->adjacent[i] == panel) p->adjacent[i] = panel->adjacent[i];
        }
    } else if (parent) {
        for (VXPanelRecordTag** link = &parent->childPanels; *link; link = &(*link)->next) {
            if (*link == panel) {
                *link = panel->next;
                break;
            }
        }
    }
    if (parent)
        for (int i = 0; i < 2; ++i)
            if (parent->adjacent[i] == panel) parent->adjacent[i] = panel->adjacent[i];
    if (panel->fadeAction) PlatformCancelDeferred(panel->fadeAction);
    DropBars(panel);
    gContainers.erase(panel);
    for (auto it = gPanels.begin(); it != gPanels.end(); ++it) {
        if (it->second == panel) {
            gPanels.erase(it);
            break;
        }
    }
    delete panel;
}

void VXViewSyncPaneBounds(VXPanelRecordTag* panel) {
    if (!panel) return;
    const XRect& b = panel->bounds;
    const double w = std::clamp(panel->headerWidth, 0.0, b.width);
    const double h = std::clamp(panel->headerHeight, 0.0, b.height);
    panel->paneBounds = {b.x + w, b.y + h, b.width - w, b.height - h};
    panel->altPanes[0] = {b.x + w, b.y, b.width - w, h};
    panel->altPanes[1] = {b.x, b.y + h, w, b.height - h};
    panel->altPanes[2] = {b.x, b.y, w, h};
}

XRect GetPaneBounds(const VXPanelRecordTag* panel, int32_t pane, bool unscrolled) {
    if (!panel) return {};
    if (pane < 0 || pane > 2) return panel->paneBounds;
    XRect r = panel->altPanes[pane];
    if (unscrolled) {
        if (pane == 0 || pane == 2) r.y = 0;
        if (pane == 1 || pane == 2) r.x = 0;
    }
    return r;
}

void VXGetPaneRectInBase(const VXPanelRecordTag* panel, int32_t pane, Rect* rect) {
    if (!panel || !rect) return;
    XRect r = GetPaneBounds(panel, pane, false);
    r.x += panel->contFrame.x + panel->structFrame.x - panel->bounds.x;
    r.y += panel->contFrame.y + panel->structFrame.y - panel->bounds.y;
    // Child panels sit in their container's structure view.
    for (auto it = gContainers.find(panel); it != gContainers.end();
         it = gContainers.find(it->second)) {
        r.x += it->second->structFrame.x;
        r.y += it->second->structFrame.y;
    }
    const auto c = [](double d) { return int16_t(std::clamp(std::lround(d), -32767L, 32767L)); };
    *rect = {c(r.y), c(r.x), c(r.y + r.height), c(r.x + r.width)};
}

bool VXIsPanelVisible(const VXPanelRecordTag* panel) {
    if (!panel) return false;
    // An embedded panel is hidden until its child window is shown, and shown with it.
    if (gContainers.count(panel) && panel->window)
        return VXIsWindowVisible(panel->window, false);
    return !panel->hidden;
}

void VXSetHasFocusRing(VXWindowRecordTag* window, bool on) {
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        if (on)
            panel->flags |= kVXPanelFocusRing;
        else
            panel->flags &= ~kVXPanelFocusRing;
    }
}

VXPanelRecordTag* VXGetAdjacentPanel(VXPanelRecordTag* panel, int32_t direction) {
    if (!panel || direction < 0 || direction > 1) return nullptr;
    for (VXPanelRecordTag* p = ChainHead(panel); p; p = p->next)
        if (p->adjacent[direction] == panel) return p;
    return nullptr;
}

void SetAlternatePaneSize(VXPanelRecordTag* panel, int32_t pane, double size) {
    if (!panel) return;
    const int32_t index = pane == 1 ? 1 : 0;
    const XRect before = panel->altPanes[index];
    if (index == 1)
        panel->headerWidth = std::max(0.0, size);
    else
        panel->headerHeight = std::max(0.0, size);
    VXViewSyncPaneBounds(panel);
    const XRect area = Union(Union(before, panel->altPanes[index]), panel->altPanes[2]);
    if (!Empty(area)) VXPanelSetNeedsDisplay(panel, area);
}

void VXMinMaxPanelSize(VXPanelRecordTag* panel, Rect* limits) {
    if (!panel || !limits) return;
    int32_t r[4];
    MinMax(panel, r, 0);
    *limits = {int16_t(r[0]), int16_t(r[1]), int16_t(r[2]), int16_t(r[3])};
}

void ResizeDividedPanelAdjacents(VXPanelRecordTag* panel, int32_t delta) {
    if (!panel || !panel->isDivided || delta == 0) return;
    const int d = panel->divideDirection;
    VXPanelRecordTag* first = nullptr;
    for (VXPanelRecordTag* p = ChainHead(panel); p && !first; p = p->next)
        if (p != panel && p->adjacent[d] == panel) first = p;
    int guard = 0;
    for (VXPanelRecordTag* n = first; n && n->adjacent[d] == panel && guard < 256;
         n = n->adjacent[1 - d], ++guard) {
        XRect f = n->structFrame;
        const bool passOn = n->isDivided && n->divideDirection == d;
        if (d == 0) {
            f.y += delta;
            if (!passOn) f.height = std::max(0.0, f.height - delta);
        } else {
            f.x += delta;
            if (!passOn) f.width = std::max(0.0, f.width - delta);
        }
        VXSetPanelStructFrame(n, f);
        if (passOn) ResizeDividedPanelAdjacents(n, delta);
    }
}

int32_t VXSetDividedPanelSize(VXPanelRecordTag* panel, int32_t size) {
    if (!panel || !panel->isDivided || size < 0) return 0;
    const int d = panel->divideDirection;
    XRect f = panel->structFrame;
    double& extent = d == 0 ? f.height : f.width;
    // The neighbours on the far side cannot give more than they have.
    const double wanted = std::min<double>(size, extent + FarSideRoom(panel, 0));
    const int32_t delta = int32_t(std::lround(wanted - extent));
    if (delta == 0) return 0;
    extent = wanted;
    VXSetPanelStructFrame(panel, f);
    ResizeDividedPanelAdjacents(panel, delta);
    return 1;
}

void VXSetPanelStructFrame(VXPanelRecordTag* panel, const XRect& frame) {
    if (!panel) return;
    panel->structFrame = {frame.x, frame.y, std::max(0.0, frame.width),
                          std::max(0.0, frame.height)};
    Layout(panel);
    VXViewFrameChanged(panel, false);
}

void SetPanelPadSize(VXPanelRecordTag* panel, int32_t width, int32_t height) {
    if (!panel) return;
    width = std::max(width, 0);
    height = std::max(height, 0);
    const int32_t w0 = panel->padSize[1], h0 = panel->padSize[0];
    XRect bands[2];
    int count = 0;
    if (width != w0)
        bands[count++] = {double(std::min(w0, width)), 0, double(std::abs(width - w0)),
                          double(std::min(h0, height))};
    if (count == 1 && Empty(bands[0])) count = 0;
    if (height != h0)
        bands[count++] = {0, double(std::min(h0, height)), double(std::max(w0, width)),
                          double(std::abs(height - h0))};
    for (int i = 0; i < count; ++i) {
        const XRect r = Intersect(bands[i], panel->bounds);
        if (!Empty(r)) VXPanelSetNeedsDisplay(panel, r);
    }
    panel->padSize[0] = height;
    panel->padSize[1] = width;
    // The window record keeps the pad too (VXSetPadSize stores it there).
    if (panel->window) {
        panel->window->padHeight = height;
        panel->window->padWidth = width;
    }
    VXViewFrameChanged(panel, false);
}

int32_t VXViewFrameChanged(VXPanelRecordTag* panel, bool sendSize) {
    if (!panel || !panel->window) return 0;
    if (!(panel->flags & kVXPanelNoVerticalScroll)) UpdatePadScroller(panel, 0);
    if (!(panel->flags & kVXPanelNoHorizontalScroll)) UpdatePadScroller(panel, 1);
    VXViewSyncPaneBounds(panel);
    if (sendSize) SendSize(panel->window);
    return 1;
}

void UpdatePadScroller(VXPanelRecordTag* panel, int32_t axis) {
    if (!panel || axis < 0 || axis > 1 || !panel->scrollers[axis].present) return;
    const double visibleExtent = axis == 0 ? panel->bounds.height - panel->headerHeight
                                           : panel->bounds.width - panel->headerWidth;
    const int32_t visible = std::max(0, int32_t(std::lround(visibleExtent)));
    panel->maxScroll[axis] = std::max(0, panel->padSize[axis] - visible);
    int32_t position = Origin(panel, axis);
    if (position > panel->maxScroll[axis]) {
        const int32_t excess = position - panel->maxScroll[axis];
        if (axis == 0)
            panel->bounds.y -= excess;
        else
            panel->bounds.x -= excess;
        VXViewSyncPaneBounds(panel);
        VXPanelSetNeedsDisplay(panel, panel->bounds);
        position = panel->maxScroll[axis];
    }
    VXSetPadScrollerProperties(panel->window, axis, position, visible, panel->padSize[axis]);
}

void VXSetPadScrollerProperties(VXWindowRecordTag* window, int32_t axis, int32_t position,
                                int32_t visible, int32_t total) {
    if (!window || window->graf.geometry.kind != kWindowOnScreen || axis < 0 || axis > 1) return;
    auto it = gPanels.find(window->windowID);
    if (it == gPanels.end()) return;
    VXPanelScroller& bar = it->second->scrollers[axis];
    if (!bar.present) return;
    if (total <= visible) {
        bar.enabled = 0;
    } else {
        bar.knobProportion = double(visible) / double(total);
        bar.value = std::clamp(double(position) / double(total - visible), 0.0, 1.0);
        bar.enabled = 1;
    }
    PushBar(it->second, axis);
}

int32_t ScrollRectInPanelContentView(VXPanelRecordTag* panel, const LRect& area, int32_t dh,
                                     int32_t dv, LRect rects[2]) {
    if (!panel || (dh == 0 && dv == 0)) return 0;
    LRect local[2];
    LRect* out = rects ? rects : local;
    const int32_t width = area.right - area.left, height = area.bottom - area.top;
    out[0] = area;
    if (std::abs(dh) >= width || std::abs(dv) >= height) {
        InvalidatePlatform(panel, XRectFromLRect(area));
        return 1;
    }
    int32_t count = 0;
    if (dh != 0) {
        out[count++] = dh < 0 ? LRect{area.top, area.right + dh, area.bottom, area.right}
                              : LRect{area.top, area.left, area.bottom, area.left + dh};
    }
    if (dv != 0) {
        out[count++] = dv < 0 ? LRect{std::max(area.top, area.bottom + dv - 4), area.left,
                                      area.bottom, area.right}
                              : LRect{area.top, area.left, area.top + dv, area.right};
    }
    // The copy: without a platform operation that moves pixels, the moved part is drawn anew.
    InvalidatePlatform(panel, XRectFromLRect(area));
    return count;
}

int32_t VXScrollPanelContents(VXPanelRecordTag* panel, int32_t dh, int32_t dv, int32_t rowHeight,
                              bool displayNow, LRect rects[4]) {
    if (!panel || (dh == 0 && dv == 0)) return 0;
    const int32_t originH = (panel->flags & kVXPanelNoHorizontalScroll) ? 0 : dh;
    const int32_t originV = (panel->flags & kVXPanelNoVerticalScroll) ? 0 : dv;
    panel->bounds.x -= originH;
    panel->bounds.y -= originV;
    VXViewSyncPaneBounds(panel);
    LRect list[4];
    int32_t count = 0;
    if (!gScrollWithoutCopying) {
        XRect area = panel->paneBounds;
        if (rowHeight >= 2) area.height = std::floor(area.height / rowHeight) * rowHeight;
        if (dh == 0) {
            area.x -= panel->headerWidth;
            area.width += panel->headerWidth;
        } else if (dv == 0) {
            area.y -= panel->headerHeight;
            area.height += panel->headerHeight;
        }
        count = ScrollRectInPanelContentView(panel, LRectFromXRect(area), dh, dv, list);
        if (dh != 0 && dv != 0) {
            LRect strip[2];
            if (panel->altPanes[1].width > 0 && count < 4) {
                const int32_t n = ScrollRectInPanelContentView(panel, LRectFromXRect(panel->altPanes[1]), 0,
                                                               dv, strip);
                for (int32_t i = 0; i < n && count < 4; ++i) list[count++] = strip[i];
            }
            if (panel->altPanes[0].height > 0 && count < 4) {
                const int32_t n = ScrollRectInPanelContentView(panel, LRectFromXRect(panel->altPanes[0]), dh,
                                                               0, strip);
                for (int32_t i = 0; i < n && count < 4; ++i) list[count++] = strip[i];
            }
        }
        for (VXPanelRecordTag* child = panel->childPanels; child; child = child->next) {
            VXPanelSetNeedsDisplay(child, child->bounds);
            XRect r = child->structFrame;
            r.x += panel->bounds.x - panel->contFrame.x + dh;
            r.y += panel->bounds.y - panel->contFrame.y + dv;
            if (count == 0)
                list[count++] = LRectFromXRect(r);
            else
                list[count - 1] = LRectFromXRect(Union(XRectFromLRect(list[count - 1]), r));
        }
        if (count > 0 && (displayNow || !rects)) {
            for (int32_t i = count - 1; i >= 0; --i) VXPanelSetNeedsDisplay(panel, XRectFromLRect(list[i]));
            if (displayNow) {
                panel->flags |= kVXPanelDisplaying;
                VXPanelDisplay(panel);
                panel->flags &= ~kVXPanelDisplaying;
            }
            count = 0;
        } else if (count > 0) {
            std::copy(list, list + count, rects);
        }
    }
    panel->flags |= kVXPanelScrolled | kVXPanelMouseMovedPending;
    VXInvalWindowCursor(panel->window);
    return count;
}

void VXTranslateUpdateRegion(VXPanelRecordTag* panel, int32_t dh, int32_t dv) {
    if (!panel || (dh == 0 && dv == 0)) return;
    for (XRect& r : panel->needsDisplay) {
        r.x += dh;
        r.y += dv;
    }
}

int32_t DefaultScrollHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel || !event) return 0;
    if (event->kind == kVXScrollToEvent) {
        int32_t target[2] = {event->u.scrollTo.v, event->u.scrollTo.h};
        for (int32_t axis = 0; axis < 2; ++axis) {
            target[axis] = std::clamp(target[axis], 0, panel->maxScroll[axis]);
            if (panel->scrollers[axis].present) SetBarValue(panel, axis, target[axis]);
        }
        VXScrollPanelContents(panel, Origin(panel, 1) - target[1], Origin(panel, 0) - target[0],
                              0, true, nullptr);
        return 1;
    }
    if (event->kind != kVXScrollEvent) return 0;
    const uint8_t part = event->u.scroll.part;
    const int32_t axis = event->u.scroll.axis ? 1 : 0;
    if (part <= 3) {
        int32_t line = 0, page = 0;
        CalcScrollIncrements(panel, axis, &line, &page);
        int32_t step = part < 2 ? line : page;
        if (part == 0 || part == 2) step = -step;
        ScrollViewRelativeAmount(panel, axis == 1 ? step : 0, axis == 0 ? step : 0, true);
    } else if (part == 4 || part == 5) {
        const int32_t delta = event->u.scroll.amount - event->u.scroll.value2;
        ScrollViewRelativeAmount(panel, axis == 1 ? delta : 0, axis == 0 ? delta : 0, false);
    } else if (part == 7) {
        ScrollViewRelativeAmount(panel, event->u.scroll.value2, event->u.scroll.amount, true);
    }
    return 1;
}

void CalcScrollIncrements(const VXPanelRecordTag* panel, int32_t axis, int32_t* line,
                          int32_t* page) {
    int32_t l = 32, p = 0;
    if (panel) {
        l = panel->lineIncrement;
        if (l == 0 && panel->window) l = panel->window->lineScrollAmount;
        if (l <= 0) l = 32;
        p = panel->pageIncrement;
        if (p <= 0) {
            const double extent = axis == 0 ? panel->paneBounds.height : panel->paneBounds.width;
            p = int32_t(std::lround(extent)) - l;
        }
    }
    // A pane lower than one line still pages forwards.
    if (line) *line = l;
    if (page) *page = std::max(p, 1);
}

void ScrollViewRelativeAmount(VXPanelRecordTag* panel, int32_t dh, int32_t dv, bool setScroller) {
    if (!panel) return;
    const int32_t current[2] = {Origin(panel, 0), Origin(panel, 1)};
    const int32_t target[2] = {
        std::clamp<int32_t>(int32_t(std::clamp<int64_t>(int64_t(current[0]) + dv, INT32_MIN,
                                                        INT32_MAX)),
                            0, panel->maxScroll[0]),
        std::clamp<int32_t>(int32_t(std::clamp<int64_t>(int64_t(current[1]) + dh, INT32_MIN,
                                                        INT32_MAX)),
                            0, panel->maxScroll[1])};
    if (setScroller)
        for (int32_t axis = 0; axis < 2; ++axis)
            if (target[axis] != current[axis] && panel->scrollers[axis].present)
                SetBarValue(panel, axis, target[axis]);
    VXScrollPanelContents(panel, current[1] - target[1], current[0] - target[0], 0,
                          !(panel->flags & kVXPanelNoSyncDisplay), nullptr);
}

void VXScrollTo(VXWindowRecordTag* window, int32_t h, int32_t v) {
    if (!window) return;
    _LPNT point = {v, h};
    LPointsToScale(&window->graf.geometry, &point, 1);
    VXEventRecord event = VXClearedEvent(kVXScrollToEvent);
    event.u.scrollTo.v = point.v;
    event.u.scrollTo.h = point.h;
    DispatchEvent(window, &event);
}

XRect VXCurrentPaneViewRect(VXWindowRecordTag* window) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    return panel ? GetPaneBounds(panel, window->graf.geometry.pane, false) : XRect{};
}

bool VXLGetPaneViewRect(VXWindowRecordTag* window, LRect* rect) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel || !rect) return false;
    const XRect pane = VXCurrentPaneViewRect(window);
    _LPNT corners[2] = {{int32_t(std::lround(pane.y)), int32_t(std::lround(pane.x))},
                        {int32_t(std::lround(pane.y + pane.height)),
                         int32_t(std::lround(pane.x + pane.width))}};
    LPointsFromScale(&window->graf.geometry, corners, 2);
    *rect = {corners[0].v, corners[0].h, corners[1].v, corners[1].h};
    return true;
}

void VXSetAltSize(VXWindowRecordTag* window, int32_t width, int32_t height) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return;
    SetAlternatePaneSize(panel, 1, std::max(width, 0));
    SetAlternatePaneSize(panel, 0, std::max(height, 0));
    VXViewFrameChanged(panel, false);
}

int32_t VXHasAltView(VXWindowRecordTag* window, int32_t pane) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return 0;
    switch (pane) {
        case -1: return 1;
        case 0: return panel->headerHeight > 0 ? 1 : 0;
        case 1: return panel->headerWidth > 0 ? 1 : 0;
        case 2: return panel->headerHeight > 0 && panel->headerWidth > 0 ? 1 : 0;
        default: return 0;
    }
}

void TranslatePanelOrigin(VXGrafState* state, int32_t dh, int32_t dv) {
    if (!state || !state->geometry.owner) return;
    auto* window = static_cast<VXWindowRecordTag*>(state->geometry.owner);
    VXScrollPanelContents(VXGetWindowPanel(window), dh, dv, 0, false, nullptr);
}

void VXLRevealRect(VXWindowRecordTag* window, const LRect* rect, bool wholly) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel || !rect) return;
    VXWindowRecordTag* previous = vx.currentWindow;
    const int32_t previousID = previous ? previous->windowID : 0;
    LRect view{};
    VXLGetPaneViewRect(window, &view);
    const bool meets = rect->left < view.right && view.left < rect->right &&
                       rect->top < view.bottom && view.top < rect->bottom;
    const bool inside = rect->left >= view.left && rect->right <= view.right &&
                        rect->top >= view.top && rect->bottom <= view.bottom;
    if (meets && (!wholly || inside)) return;
    const int32_t freeH = (view.right - view.left) - (rect->right - rect->left);
    const int32_t freeV = (view.bottom - view.top) - (rect->bottom - rect->top);
    const int32_t h = rect->left - (freeH < 20 ? 10 : freeH / 2);
    const int32_t v = rect->top - (freeV < 20 ? 10 : freeV / 2);
    VXScrollTo(window, h, v);
    VXSetWindow(VXGetWindowFromId(previousID));
}

void VXRevealRect(VXWindowRecordTag* window, const Rect* rect, bool wholly) {
    if (!rect) return;
    const LRect r = {rect->top, rect->left, rect->bottom, rect->right};
    VXLRevealRect(window, &r, wholly);
}

int32_t VXAutoScroll(VXWindowRecordTag* window, int32_t h, int32_t v) {
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    if (!panel) return 0;
    const int64_t start = PlatformNowMicros();
    const int32_t id = window->windowID;
    const int8_t pane = window->graf.geometry.pane;
    if (pane == 2) return 0;
    _LPNT point = {v, h};
    LPointsToScale(&window->graf.geometry, &point, 1);
    // The edges are those of the pane grown by one; the point is pinned into a rectangle grown
    // further across a strip, so that a strip never reaches the edges across its direction.
    const XRect view = VXCurrentPaneViewRect(window);
    const double left = view.x - 1, top = view.y - 1;
    const double right = view.x + view.width + 1, bottom = view.y + view.height + 1;
    const double extraV = pane == 0 ? 2 : 0, extraH = pane == 1 ? 2 : 0;
    const double ph = std::clamp<double>(point.h, left - extraH, right + extraH);
    const double pv = std::clamp<double>(point.v, top - extraV, bottom + extraV);
    panel->flags &= ~kVXPanelScrolled;
    struct Edge {
        bool on;
        uint8_t part, axis;
    };
    const Edge edges[4] = {{pv == top, 0, 0}, {ph == left, 0, 1}, {pv == bottom, 1, 0},
                           {ph == right, 1, 1}};
    for (const Edge& edge : edges) {
        if (!edge.on) continue;
        VXEventRecord event = VXClearedEvent(kVXScrollEvent);
        event.u.scroll.part = edge.part;
        event.u.scroll.axis = edge.axis;
        DispatchEvent(window, &event);
        window = VXGetWindowFromId(id);
        if (!window) return 0;
        VXSetAltView(window, pane);
    }
    panel = VXGetWindowPanel(window);
    if (!panel || !(panel->flags & kVXPanelScrolled)) return 0;
    PlatformBusyWaitUntil(start + 2 * 1000000 / 60 + 1);
    return 1;
}

void VXPanelSetNeedsDisplay(VXPanelRecordTag* panel, const XRect& rect) {
    if (!panel || Empty(rect) || (panel->flags & kVXPanelIgnoreDisplay)) return;
    panel->needsDisplay.push_back(rect);
    InvalidatePlatform(panel, rect);
}

void VXPanelDisplay(VXPanelRecordTag* panel) {
    if (!panel) return;
    ++panel->displayCount;
    panel->needsDisplay.clear();
    if (panel->window) VXUpdateWindow(panel->window);
}

void VXSetScrollWithoutCopying(bool on) { gScrollWithoutCopying = on; }

}  // namespace plexa
