// Layered views: the layer record of a child window and the switching of its layers.

#include "toolkit/vx_views.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "platform/draw_context.h"
#include "platform/window_platform.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kLayerCode = 0x4C617972;        // 'Layr'

struct LayerSlot {
    WindowClassInfoTag* controls = nullptr;  // the layer's control list while it is not current
    std::vector<std::pair<int32_t, bool>> children;  // child window ids, shown or not
    bool controlsInactive = false;
};

struct LayerRecord : WindowClassInfoTag {
    VXEventProc userProc = nullptr;
    int64_t userValue = 0;
    int16_t current = 0;
    std::vector<LayerSlot> layers;
    ~LayerRecord() override {
        // Lists still put aside (a window released without its destroy event).
        for (LayerSlot& slot : layers) delete slot.controls;
    }
};

// What the creation hands the create event.
struct Creation {
    VXEventProc userProc;
    void* refcon;
    int64_t userValue;
    int32_t layerCount;
    const txStyle* style;
};

LayerRecord* Layers(VXWindowRecordTag* window) {
    return static_cast<LayerRecord*>(VXGetWindowClassInfo(window, kLayerCode));
}

// Takes an extension record off the window without freeing it.
WindowClassInfoTag* Detach(VXWindowRecordTag* window, uint32_t code) {
    for (WindowClassInfoTag** link = &window->classInfo; *link; link = &(*link)->next)
        if ((*link)->code == code) {
            WindowClassInfoTag* record = *link;
            *link = record->next;
            record->next = nullptr;
            return record;
        }
    return nullptr;
}

bool OwnedByOtherLayer(const LayerRecord* record, int32_t id) {
    for (size_t i = 0; i < record->layers.size(); ++i) {
        if (int32_t(i) == record->current) continue;
        for (const auto& child : record->layers[i].children)
            if (child.first == id) return true;
    }
    return false;
}

// The child windows of the current layer.
std::vector<VXWindowRecordTag*> CurrentChildren(VXWindowRecordTag* window,
                                                const LayerRecord* record) {
    std::vector<VXWindowRecordTag*> children;
    for (VXWindowRecordTag* child = VXGetFirstChild(window); child;
         child = VXGetNextWindow(child))
        if (child->parent == window && !OwnedByOtherLayer(record, child->windowID))
            children.push_back(child);
    return children;
}

void PutAside(VXWindowRecordTag* window, LayerRecord* record) {
    LayerSlot& slot = record->layers[size_t(record->current)];
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        VXHideShowControl(c, false);
    slot.children.clear();
    for (VXWindowRecordTag* child : CurrentChildren(window, record)) {
        slot.children.emplace_back(child->windowID, VXIsWindowVisible(child, false));
        VXHideWindow(child);
    }
    slot.controls = Detach(window, kVXControlListCode);
    slot.controlsInactive = (window->status() & kVXStatusControlsInactive) != 0;
}

void BringBack(VXWindowRecordTag* window, LayerRecord* record, int16_t layer) {
    record->current = layer;
    LayerSlot& slot = record->layers[size_t(layer)];
    if (slot.controls) VXSetWindowClassInfo(window, slot.controls, kVXControlListCode);
    slot.controls = nullptr;
    if (slot.controlsInactive)
        window->status() |= kVXStatusControlsInactive;
    else
        window->status() &= ~kVXStatusControlsInactive;
    const bool shown = !(window->status() & kVXStatusControlsHidden);
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        VXHideShowControl(c, shown && !(c->flags & kVXCtlItemHidden));
    const auto children = std::move(slot.children);
    slot.children.clear();
    for (const auto& [id, visible] : children)
        if (VXWindowRecordTag* child = VXGetWindowFromId(id); child && visible)
            VXShowWindow(child);
}

// The destroy event: the controls of every layer that is not current go (the window module
// releases the child windows of all layers and then the current layer's controls).
void ReleaseOtherLayers(VXWindowRecordTag* window, LayerRecord* record) {
    WindowClassInfoTag* current = Detach(window, kVXControlListCode);
    for (size_t i = 0; i < record->layers.size(); ++i) {
        LayerSlot& slot = record->layers[i];
        if (!slot.controls) continue;
        VXSetWindowClassInfo(window, slot.controls, kVXControlListCode);
        slot.controls = nullptr;
        VXKillControls(window);
        delete Detach(window, kVXControlListCode);
    }
    if (current) VXSetWindowClassInfo(window, current, kVXControlListCode);
}

}  // namespace

void VXDrawViewBackground(VXWindowRecordTag* window, DrawContext* context,
                          const PlatformRect& dirty) {
    if (!window || !context) return;
    const DrawRectF area = {double(dirty.x), double(dirty.y), double(dirty.width),
                            double(dirty.height)};
    context->SaveState();
    const DrawColor white = {1, 1, 1, 1};
    context->SetFillColor(white);
    VXPanelRecordTag* panel =
        (window->status() & kVXStatusPage) ? VXGetWindowPanel(window) : nullptr;
    if (!panel) {
        context->FillRect(area);
        context->RestoreState();
        return;
    }
    // The page in window content coordinates (the content view's bounds moved to its frame).
    const double dx = panel->structFrame.x + panel->contFrame.x - panel->bounds.x;
    const double dy = panel->structFrame.y + panel->contFrame.y - panel->bounds.y;
    const double width = panel->padSize[1], height = panel->padSize[0];
    const DrawRectF page = {dx, dy, width, height};
    const double left = std::max(area.x, page.x), top = std::max(area.y, page.y);
    const double right = std::min(area.x + area.width, page.x + page.width);
    const double bottom = std::min(area.y + area.height, page.y + page.height);
    const bool inside = left == area.x && top == area.y && right == area.x + area.width &&
                        bottom == area.y + area.height;
    if (!inside) {
        const double grey = 0.26666667;
        context->SetFillColor({grey, grey, grey, 1});
        context->FillRect(area);
        context->SetStrokeColor({0, 0, 0, 1});
        context->SetLineWidth(2);
        context->BeginPath();
        context->MoveTo(dx + panel->headerWidth + 3, dy + height + 2);
        context->LineTo(dx + width + 2, dy + height + 2);
        context->LineTo(dx + width + 2, dy + panel->headerHeight + 3);
        context->DrawPath(DrawPathMode::kStroke);
        context->SetFillColor(white);
    }
    if (right > left && bottom > top) context->FillRect({left, top, right - left, bottom - top});
    context->RestoreState();
}

void VXDrawViewFrame(VXWindowRecordTag* window, DrawContext* context) {
    if (!window || !context || !window->parent || !window->platformWindow) return;
    const uint32_t flags = window->creationFlags;
    if (!(flags & (kVXFlagChildFrame | kVXFlagChildBezel))) return;
    const PlatformRect r = PlatformWindowContentRect(window->platformWindow);
    const double w = r.width, h = r.height;
    if (w < 2 || h < 2) return;
    context->SaveState();
    context->SetLineWidth(1);
    const DrawColor frame = NSColorForThemeBrush(17);
    if (flags & kVXFlagChildBezel) {
        context->SetStrokeColor(frame);
        context->BeginPath();
        context->MoveTo(0.5, h - 0.5);
        context->LineTo(0.5, 0.5);
        context->LineTo(w - 0.5, 0.5);
        context->DrawPath(DrawPathMode::kStroke);
        context->SetStrokeColor({1, 1, 1, 1});
        context->BeginPath();
        context->MoveTo(w - 0.5, 1.5);
        context->LineTo(w - 0.5, h - 0.5);
        context->LineTo(1.5, h - 0.5);
        context->DrawPath(DrawPathMode::kStroke);
    } else {
        context->SetStrokeColor(frame);
        context->StrokeRect({0.5, 0.5, w - 1, h - 1});
    }
    context->RestoreState();
}

bool VXInstallLayeredViewInChildWindow(VXWindowRecordTag* window, int32_t layerCount) {
    if (!window || !window->parent || layerCount <= 0 || Layers(window)) return false;
    auto* record = new LayerRecord;
    record->userProc = window->eventProc == LayerViewEventHandler ? nullptr : window->eventProc;
    record->layers.resize(size_t(std::min(layerCount, 0x7FFF)));
    window->eventProc = LayerViewEventHandler;
    VXSetWindowClassInfo(window, record, kLayerCode);
    return true;
}

int32_t LayerViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (!window || !event) return 0;
    if (event->kind == kVXCreateEvent && !Layers(window) && window->refCon) {
        const Creation creation = *static_cast<const Creation*>(window->refCon);
        if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) panel->flags |= kVXPanelNotOpaque;
        if (creation.style) {
            VXWindowRecordTag* previous = VXSetWindow(window);
            VXSetTextStyle(creation.style);
            VXSetWindow(previous);
        }
        window->eventProc = creation.userProc;
        // Without its record the window stays a plain child window with the user's procedure.
        if (VXInstallLayeredViewInChildWindow(window, creation.layerCount))
            Layers(window)->userValue = creation.userValue;
        window->refCon = creation.refcon;
    }
    LayerRecord* record = Layers(window);
    const int32_t id = window->windowID;
    const int32_t result = record && record->userProc ? record->userProc(window, event) : 0;
    if (event->kind != kVXDestroyEvent) return result;
    if (!(window = VXGetWindowFromId(id)) || !(record = Layers(window))) return 1;
    ReleaseOtherLayers(window, record);
    VXDestroyWindowClassInfo(window, kLayerCode);
    return 1;
}

VXWindowRecordTag* VXCreateLayeredView(VXWindowRecordTag* parent, const Rect* rect,
                                       int32_t layerCount, int16_t tabItem, VXEventProc eventProc,
                                       void* refcon, int64_t userValue) {
    if (!parent) return nullptr;
    Rect area = rect ? *rect : Rect{0, 0, 0, 0};
    if (tabItem) {
        uint8_t type = 0;
        VXControlRecordTag* tab = VXGetControl(parent, tabItem, &type);
        if (tab && type == kVXSegmented && layerCount <= 0)
            layerCount = VXGetSegmentCount(parent, tabItem);
        if (tab && type == kVXTabView) {
            if (layerCount <= 0) layerCount = VXGetTabCount(parent, tabItem);
            VXGetTabControlRects(tab, nullptr, &area);
        }
    }
    if (layerCount <= 0) layerCount = 1;
    Creation creation{eventProc, refcon, userValue, layerCount, parent->graf.textStyle};
    VXWindowRecordTag* window =
        VXCreateChildWindow(5, 0, 0, parent, &area, &creation, LayerViewEventHandler);
    if (!window) return nullptr;
    // A create event the window never saw leaves the creation record behind.
    if (window->refCon == &creation) window->refCon = refcon;
    const int32_t id = window->windowID;
    VXShowWindow(window);
    return VXGetWindowFromId(id);
}

int32_t VXSetCurrentViewLayer(VXWindowRecordTag* window, int32_t layer) {
    LayerRecord* record = Layers(window);
    if (!record || layer < 0 || size_t(layer) >= record->layers.size()) return -1;
    const int32_t previous = record->current;
    if (layer == previous) return previous;
    if (!(window->status() & kVXStatusBeingReleased)) {
        VXWindowRecordTag* focusWindow = nullptr;
        if (VXGetFocusItem(VXGetTopParent(window), &focusWindow) && focusWindow == window)
            VXSetFocusItem(window, 0);
    }
    PutAside(window, record);
    BringBack(window, record, int16_t(layer));
    VXRebuildControlNavigationLoop(window);
    VXInvalRect(window, nullptr);
    return previous;
}

int32_t VXGetCurrentViewLayer(VXWindowRecordTag* window) {
    LayerRecord* record = Layers(window);
    return record ? record->current : -1;
}

int32_t VXCountViewLayers(VXWindowRecordTag* window) {
    LayerRecord* record = Layers(window);
    return record ? int32_t(record->layers.size()) : 0;
}

int64_t VXGetLayeredViewValue(VXWindowRecordTag* window) {
    LayerRecord* record = Layers(window);
    return record ? record->userValue : 0;
}

int16_t VXLoadControlsForViewLayer(VXWindowRecordTag* window, int32_t layer, uint16_t viewID,
                                   int16_t h, int16_t v, uint32_t options) {
    const int32_t id = window ? window->windowID : 0;
    const int32_t previous = VXSetCurrentViewLayer(window, layer);
    if (previous < 0) return 0;
    const int16_t result = VXLoadControls(window, viewID, h, v, options);
    if ((window = VXGetWindowFromId(id))) VXSetCurrentViewLayer(window, previous);
    return result;
}

bool VXIsViewLayerEmpty(VXWindowRecordTag* window, int32_t layer) {
    LayerRecord* record = Layers(window);
    if (!record || layer < 0 || size_t(layer) >= record->layers.size()) return true;
    if (layer == record->current)
        return VXCountControls(window) == 0 && CurrentChildren(window, record).empty();
    const LayerSlot& slot = record->layers[size_t(layer)];
    bool noControls = true;
    for (const auto& child : slot.children)
        if (VXGetWindowFromId(child.first)) return false;
    if (slot.controls) {
        // The layer's list is put in place for the count only.
        WindowClassInfoTag* current = Detach(window, kVXControlListCode);
        VXSetWindowClassInfo(window, slot.controls, kVXControlListCode);
        noControls = VXCountControls(window) == 0;
        Detach(window, kVXControlListCode);
        if (current) VXSetWindowClassInfo(window, current, kVXControlListCode);
    }
    return noControls;
}

}  // namespace plexa
