// Tooltip records of windows and the text the platform asks for.

#include "toolkit/vx_tooltips.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/tooltip_platform.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_rects.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kToolTipCode = 0x54697073;  // 'Tips'

struct ToolTipRecord {
    VXControlRecordTag* control = nullptr;  // followed only once found among its window's
    int32_t controlWindowID = 0;             // controls
    std::string text;
    bool hasText = false;
    uint64_t platformTag = 0;
    LRect rect{};  // in the window's content view
    uint16_t item = 0;
    int8_t kind = 0;
};

struct ToolTipList : WindowClassInfoTag {
    std::vector<ToolTipRecord> records;
    ~ToolTipList() override {
        for (const ToolTipRecord& r : records) PlatformToolTipRemove(r.platformTag);
    }
};

ToolTipList* List(VXWindowRecordTag* window, bool create) {
    if (!window) return nullptr;
    auto* list = static_cast<ToolTipList*>(VXGetWindowClassInfo(window, kToolTipCode));
    if (!list && create) {
        list = new ToolTipList;
        VXSetWindowClassInfo(window, list, kToolTipCode);
    }
    return list;
}

// Whether the control is still one of the window's controls.
bool ControlAlive(VXWindowRecordTag* window, const VXControlRecordTag* control) {
    const int32_t count = VXCountControls(window);
    for (int32_t i = 0; i < count; ++i)
        if (VXGetIndexedControl(window, i, nullptr, nullptr) == control) return true;
    return false;
}

std::string TextFor(int32_t windowID, uint64_t tag, uint64_t userData) {
    if (!vx.tooltipsEnabled) return {};
    // A control's tooltip is registered with the control's window; its record may be kept by a
    // window holding it.
    for (VXWindowRecordTag* w = VXGetWindowFromId(windowID); w; w = w->parent) {
        ToolTipList* list = List(w, false);
        if (!list) continue;
        // The record the platform registered answers; two rectangles with the same item number
        // each keep their own text.
        for (const ToolTipRecord& r : list->records) {
            if (r.platformTag != tag) continue;
            // A control that went, or is hidden (also in a layer put aside), shows nothing.
            if (r.kind == kVXControlToolTip &&
                (!ControlAlive(VXGetWindowFromId(r.controlWindowID), r.control) ||
                 !VXIsControlVisible(r.control)))
                return {};
            return r.text;
        }
        if (w->windowID != windowID) continue;
        for (auto it = list->records.rbegin(); it != list->records.rend(); ++it)
            if (it->item == uint16_t(userData)) return it->text;
    }
    return {};
}

void Register(VXWindowRecordTag* window, ToolTipRecord& record) {
    PlatformToolTipRemove(record.platformTag);
    record.platformTag = 0;
    const LRect& r = record.rect;
    if (RectIsEmpty(r)) return;
    PlatformSetToolTipTextProc(TextFor);
    VXWindowRecordTag* owner = window;
    if (record.kind == kVXControlToolTip)
        if (VXWindowRecordTag* controlWindow = VXGetWindowFromId(record.controlWindowID))
            owner = controlWindow;
    record.platformTag =
        PlatformToolTipAdd(VXGetNSWindowContentView(owner), ToPlatformRect(r), record.item);
}

LRect ControlBounds(VXControlRecordTag* control) {
    Rect r{};
    VXGetControlRect(control, &r);
    return {r.top, r.left, r.bottom, r.right};
}

}  // namespace

int32_t VXAddToolTip(VXWindowRecordTag* window, int32_t pane, int8_t kind,
                     const void* controlOrRect, int16_t item, const char* text) {
    if (!window) return -1;
    ToolTipRecord record;
    record.item = uint16_t(item);
    record.kind = kind;
    if (kind == kVXControlToolTip) {
        auto* control = static_cast<VXControlRecordTag*>(const_cast<void*>(controlOrRect));
        if (!control) control = VXGetControl(window, item, nullptr);
        if (!control) return -1;
        if (ToolTipList* list = List(window, false))
            for (size_t i = 0; i < list->records.size(); ++i)
                if (list->records[i].kind == kVXControlToolTip &&
                    list->records[i].control == control)
                    return int32_t(i);
        record.control = control;
        record.controlWindowID = control->window ? control->window->windowID : 0;
        record.rect = ControlBounds(control);
    } else {
        if (!controlOrRect) return -1;
        record.rect = *static_cast<const LRect*>(controlOrRect);
        // The pane's origin in the window's own content view.
        if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
            Rect base{};
            VXGetPaneRectInBase(panel, pane, &base);
            Point origin = {0, 0};
            VXTranslatePoints(window, VXGetTopParent(window), &origin, 1);
            const int32_t dv = base.top - origin.v, dh = base.left - origin.h;
            record.rect = {record.rect.top + dv, record.rect.left + dh, record.rect.bottom + dv,
                           record.rect.right + dh};
        }
    }
    if (text) {
        record.text = text;
        record.hasText = true;
    }
    ToolTipList* list = List(window, true);
    Register(window, record);
    list->records.push_back(std::move(record));
    return int32_t(list->records.size() - 1);
}

int32_t VXGetControlToolTip(VXWindowRecordTag* window, int16_t item) {
    ToolTipList* list = List(window, false);
    if (!list) return -1;
    for (size_t i = list->records.size(); i-- > 0;)
        if (list->records[i].item == uint16_t(item)) return int32_t(i);
    return -1;
}

const char* VXGetToolTipText(VXWindowRecordTag* window, int32_t index) {
    ToolTipList* list = List(window, false);
    if (!list || index < 0 || size_t(index) >= list->records.size()) return "";
    return list->records[size_t(index)].text.c_str();
}

int32_t VXCountToolTips(VXWindowRecordTag* window) {
    ToolTipList* list = List(window, false);
    return list ? int32_t(list->records.size()) : 0;
}

void VXKillToolTip(VXWindowRecordTag* window, int32_t index) {
    ToolTipList* list = List(window, false);
    if (!list || index < 0 || size_t(index) >= list->records.size()) return;
    PlatformToolTipRemove(list->records[size_t(index)].platformTag);
    list->records.erase(list->records.begin() + index);
}

void VXKillAllToolTips(VXWindowRecordTag* window) {
    if (List(window, false)) VXDestroyWindowClassInfo(window, kToolTipCode);
}

void VXKillControlToolTips(VXControlRecordTag* control) {
    if (!control) return;
    // The tooltip may have been added to the control's window or to one holding it.
    for (VXWindowRecordTag* w = control->window; w; w = w->parent) {
        ToolTipList* list = List(w, false);
        if (!list) continue;
        auto& records = list->records;
        for (size_t i = records.size(); i-- > 0;)
            if (records[i].kind == kVXControlToolTip && records[i].control == control) {
                PlatformToolTipRemove(records[i].platformTag);
                records.erase(records.begin() + std::ptrdiff_t(i));
            }
    }
}

void VXUpdateControlToolTipLocations(VXWindowRecordTag* window) {
    ToolTipList* list = List(window, false);
    if (!list) return;
    for (ToolTipRecord& record : list->records) {
        if (record.kind != kVXControlToolTip) continue;
        if (!ControlAlive(VXGetWindowFromId(record.controlWindowID), record.control)) {
            PlatformToolTipRemove(record.platformTag);
            record.platformTag = 0;
            record.control = nullptr;
            continue;
        }
        record.rect = ControlBounds(record.control);
        Register(window, record);
    }
}

bool VXSetToolTipsEnabled(bool on) {
    const bool previous = vx.tooltipsEnabled != 0;
    vx.tooltipsEnabled = on ? 1 : 0;
    if (!on) PlatformToolTipHide();
    return previous;
}

}  // namespace plexa
