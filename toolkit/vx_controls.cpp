// Controls: records, the window's control list, geometry, visibility, activity, size, focus and
// the keyboard loop, destruction, and the translation of platform control actions into control
// events. The control list of a window hangs on the window as an extension record, so that it
// goes with the window; its controls are destroyed first, through the window's release hook.
//
// Handlers may destroy a control, or its window, while one of its events is dispatched: every
// path that dispatches keeps the window id and item number and looks the control up again.
#include "toolkit/vx_controls.h"

#include "toolkit/vx_rects.h"
#include "toolkit/vx_tooltips.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/assert.h"
#include "graphics/textedit.h"
#include "platform/control_platform.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls_internal.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXListBoxHooks gVXListBoxHooks;

struct VXControlProperties {};

namespace {


// The extension record holding a window's controls and its keyboard loop.
struct ControlList : WindowClassInfoTag {
    VXControlRecordTag* head = nullptr;
    bool drawBlock = false;  // the update block that draws user-drawn controls is installed
    struct Stop {
        int32_t windowID;
        int16_t item;
    };
    std::vector<Stop> loop;  // the keyboard loop (a top-level window's own and its children's)
    bool loopBuilt = false;
    // The control that had the keys when the window's controls were made inactive (inactive
    // controls take no focus), given them back when they are active again.
    Stop inactiveFocus{0, 0};
    ~ControlList() override;
};

void FreeRecord(VXControlRecordTag* control) {
    delete control->properties;
    delete control;
}

ControlList::~ControlList() {
    // Controls left when the window goes without the release hook: their views went with it.
    while (head) {
        VXControlRecordTag* next = head->next;
        PlatformControlDestroy(head->platform);
        FreeRecord(head);
        head = next;
    }
}

ControlList* ListOf(VXWindowRecordTag* window, bool create) {
    if (!window) return nullptr;
    auto* list = static_cast<ControlList*>(VXGetWindowClassInfo(window, kVXControlListCode));
    if (!list && create) {
        list = new ControlList;
        VXSetWindowClassInfo(window, list, kVXControlListCode);
    }
    return list;
}

Rect Grown(const Rect& r, int16_t by) {
    return {int16_t(r.top - by), int16_t(r.left - by), int16_t(r.bottom + by),
            int16_t(r.right + by)};
}
bool SameRect(const Rect& a, const Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}
bool Holds(const Rect& outer, const Rect& inner) {
    return outer.top <= inner.top && outer.left <= inner.left && outer.bottom >= inner.bottom &&
           outer.right >= inner.right;
}

bool IsContainer(const VXControlRecordTag* c) { return c->flags & kVXCtlContainer; }

// A list box's list-view window while it still exists.
VXWindowRecordTag* ListWindow(const VXControlRecordTag* c) {
    if (!c->listWindow || VXGetWindowFromId(c->listWindowID) != c->listWindow) return nullptr;
    return c->listWindow;
}

// The innermost container in front of a control in the list that holds it wholly.
void ComputeContainer(VXControlRecordTag* head, VXControlRecordTag* control) {
    Rect rect;
    VXGetControlRect(control, &rect);
    control->container = nullptr;
    for (VXControlRecordTag* c = head; c && c != control; c = c->next) {
        if (!IsContainer(c)) continue;
        Rect outer;
        VXGetControlRect(c, &outer);
        if (Holds(outer, rect)) control->container = c;
    }
}

void Insert(ControlList* list, VXControlRecordTag* control) {
    VXControlRecordTag** link = &list->head;
    if (IsContainer(control)) {
        Rect rect;
        VXGetControlRect(control, &rect);
        while (*link && IsContainer(*link)) {
            Rect other;
            VXGetControlRect(*link, &other);
            if (Holds(rect, other)) break;
            link = &(*link)->next;
        }
    } else {
        while (*link) link = &(*link)->next;
    }
    control->next = *link;
    *link = control;
    ComputeContainer(list->head, control);
    if (IsContainer(control))
        for (VXControlRecordTag* c = control->next; c; c = c->next) ComputeContainer(list->head, c);
}

bool HasSizeVariant(uint8_t type) {
    switch (type) {
        case kVXScroller:
        case kVXImage:
        case kVXDisclosure:
        case kVXProgress:
        case kVXUserDrawn:
        case kVXColorWell:
        case kVXSlider: return false;
        default: return true;
    }
}

// Types whose clicks the window does not offer to its handler before the platform.
bool ClickGoesToPlatform(uint8_t type) {
    return (type >= kVXPushButton && type <= kVXListBox) || type == kVXBox || type == kVXTabView ||
           type == kVXProgress;
}

PlatformControlKind KindOf(uint8_t type, uint32_t value) {
    using K = PlatformControlKind;
    switch (type) {
        case kVXPushButton: return K::kPushButton;
        case kVXCheckBox: return K::kCheckBox;
        case kVXRadioButton: return K::kRadioButton;
        case kVXScroller: return K::kScroller;
        case kVXEditText: return value & kVXControlOption2 ? K::kSecureEditText : K::kEditText;
        case kVXStaticText: return K::kStaticText;
        case kVXPopup: return K::kPopup;
        case kVXBox: return K::kBox;
        case kVXImage: return K::kImage;
        case kVXTabView: return K::kTabView;
        case kVXIconButton: return K::kIconButton;
        case kVXDisclosure: return K::kDisclosure;
        case kVXProgress: return K::kProgress;
        case kVXUserDrawn: return K::kUserDrawn;
        case kVXColorWell: return K::kColorWell;
        case kVXSegmented: return K::kSegmented;
        default: return K::kSlider;
    }
}

// An icon button's image side for its height.
int32_t IconSideForHeight(int32_t height) {
    return height < 38 ? 16 : height < 70 ? 32 : height < 140 ? 64 : 128;
}

VXControlRecordTag* Record(void* owner) { return static_cast<VXControlRecordTag*>(owner); }

// The control record behind a platform control; the two always point at each other.
VXControlRecordTag* RecordOf(PlatformControl* platform) {
    auto* c = static_cast<VXControlRecordTag*>(PlatformControlOwner(platform));
    PLEXA_ASSERT(!c || c->platform == platform);
    return c;
}

// Runs the user-drawn controls' procedures after the window's own drawing.
void DrawUserItems(VXWindowRecordTag* window, void*) {
    const int32_t id = window->windowID;
    std::vector<int16_t> items;
    if (ControlList* list = ListOf(window, false))
        for (VXControlRecordTag* c = list->head; c; c = c->next)
            if (c->type == kVXUserDrawn && c->drawProc && VXIsControlVisible(c))
                items.push_back(c->item);
    for (int16_t item : items) {
        window = VXGetWindowFromId(id);
        if (!window) return;
        VXControlRecordTag* c = VXGetControl(window, item, nullptr);
        if (!c || c->type != kVXUserDrawn || !c->drawProc) continue;
        VXWindowRecordTag* previous = VXSetWindow(window);
        c->drawProc(window, item);
        if (VXGetWindowFromId(id)) VXSetWindow(previous);
    }
}

// ---- Platform callbacks ----

void OnAction(void* owner, bool textEdit) {
    VXControlRecordTag* c = Record(owner);
    if (textEdit) {
        if (c->type == kVXEditText) SendControlEvent(c, 0, 0, 0);
        return;
    }
    switch (c->type) {
        case kVXPushButton:
            PlatformControlSetHighlight(c->platform, false);
            if (!(c->flags & kVXCtlSimulatedClick)) SendControlEvent(c, 0, 0, 0);
            return;
        case kVXScroller: {
            const double value = PlatformControlValue(c->platform);
            SendControlEvent(c, 4, int32_t(value), value);
            return;
        }
        case kVXPopup:
        case kVXTabView:
        case kVXSegmented: {
            const int32_t stored = int32_t(c->typeData.value);
            const int32_t now = PlatformControlSelected(c->platform);
            c->typeData.value = uint32_t(now);
            if (c->type == kVXSegmented && stored == now) return;
            SendControlEvent(c, stored, now, 0);
            return;
        }
        case kVXIconButton:
            PlatformControlSetState(
                c->platform, c->flags & kVXCtlToggles ? 1 : PlatformControlState(c->platform));
            if (!(c->flags & kVXCtlSimulatedClick)) SendControlEvent(c, 0, 0, 0);
            return;
        case kVXColorWell:
            SendControlEvent(c, int32_t(PlatformControlColor(c->platform)), 0, 0);
            return;
        case kVXSlider: {
            const double value = PlatformControlValue(c->platform);
            SendControlEvent(c, 0, 0, value);
            return;
        }
        default: SendControlEvent(c, 0, 0, 0);
    }
}

void OnFocus(void* owner, bool gained) { SendControlFocusEvent(Record(owner), gained); }

// Moves the focus along the keyboard loop of the control's top-level window.
bool MoveFocusAlongLoop(VXControlRecordTag* c, bool backwards) {
    VXWindowRecordTag* top = VXGetTopParent(c->window);
    ControlList* list = ListOf(top, true);
    if (!list->loopBuilt) VXRebuildControlNavigationLoop(top);
    const auto& loop = list->loop;
    if (loop.empty()) return false;
    const int32_t id = c->window->windowID;
    const auto here = std::find_if(loop.begin(), loop.end(), [&](const ControlList::Stop& s) {
        return s.windowID == id && s.item == c->item;
    });
    if (here == loop.end()) return false;
    const size_t n = loop.size();
    size_t at = size_t(here - loop.begin());
    for (size_t step = 0; step < n; ++step) {
        at = backwards ? (at + n - 1) % n : (at + 1) % n;
        const ControlList::Stop stop = loop[at];
        VXWindowRecordTag* window = VXGetWindowFromId(stop.windowID);
        VXControlRecordTag* next = window ? VXGetControl(window, stop.item, nullptr) : nullptr;
        if (!next || !VXIsControlVisible(next) || !VXGetItemEnabled(window, stop.item)) continue;
        VXSetFocusItem(window, stop.item);
        if (next->type == kVXEditText) VXSelectItemText(window, stop.item, 0, 32767);
        return true;
    }
    return false;
}

// Return, Escape, Tab and Back-tab in an edit text.
bool OnKey(void* owner, int32_t key) {
    VXControlRecordTag* c = Record(owner);
    VXWindowRecordTag* window = c->window;
    const int32_t id = window->windowID;
    const int16_t item = c->item;
    if (key == 3 || key == 4) {
        VXEventRecord event = VXClearedEvent(kVXTabOutEvent);
        event.u.tabOut.item = uint16_t(item);
        event.u.tabOut.controlType = c->type;
        event.u.tabOut.backwards = key == 4 ? 1 : 0;
        if (DispatchEvent(window, &event)) return true;
        window = VXGetWindowFromId(id);
        c = window ? VXGetControl(window, item, nullptr) : nullptr;
        return !c || MoveFocusAlongLoop(c, key == 4);
    }
    if (c->type == kVXEditText && c->typeData.keyHook) {
        if (c->typeData.keyHook(window, item, key)) return true;
        window = VXGetWindowFromId(id);
        if (!window) return true;
    }
    VXWindowRecordTag* top = VXGetTopParent(window);
    if (top->status() & kVXStatusNoButtonKeys) return false;
    return gVXWindowDefaultHooks.invokePushButton &&
           gVXWindowDefaultHooks.invokePushButton(top, key == 1 ? 13 : 27) != 0;
}

bool OnTabShouldSelect(void* owner, int32_t current, int32_t proposed, uint32_t modifiers) {
    return SendTrackControlEvent(Record(owner), Point{0, 0}, 0, modifiers, int16_t(current),
                                 int16_t(proposed));
}

void OnTrackingEnd(void* owner, uint16_t button, uint32_t modifiers) {
    VXControlRecordTag* c = Record(owner);
    if (ClickGoesToPlatform(c->type) || c->type == kVXSegmented) return;
    if (c->flags & kVXCtlItemDisabled) return;
    SendControlTrackingEndEvent(c, button, modifiers);
}

// Clicks on controls of the intercepted types go to the window's handler first.
bool PreDispatch(int32_t, void* native, const PlatformInputEvent& input) {
    PlatformControl* platform = PlatformControlFromNative(native);
    VXControlRecordTag* c = platform ? RecordOf(platform) : nullptr;
    if (!c || (c->flags & kVXCtlItemDisabled) || ClickGoesToPlatform(c->type)) return false;
    if (c->type == kVXSegmented) {
        c->typeData.value = uint32_t(PlatformControlSelected(c->platform));
        return false;
    }
    Point where;
    where.v = int16_t(input.y);
    where.h = int16_t(input.x);
    return !SendTrackControlEvent(c, where, input.button, input.modifiers, 0, 0);
}

// ---- Hooks of the windows' default handling ----

void HookFocusItem(VXWindowRecordTag* window, uint16_t item) {
    const uint8_t type = VXGetControlType(window, int16_t(item));
    if (type == kVXListBox) VXSetFocusItem(window, int16_t(item));
    if (type == kVXEditText) VXSelectItemText(window, int16_t(item), 0, 255);
}

void HookActivateControls(VXWindowRecordTag* window, bool active) {
    if (!active) {
        if (VXSetWindowControlsActive(window, false))
            window->status() |= kVXStatusDeactivatedControls;
    } else if (window->status() & kVXStatusDeactivatedControls) {
        window->status() &= ~kVXStatusDeactivatedControls;
        VXSetWindowControlsActive(window, true);
    }
}

void HookSelectRadio(VXWindowRecordTag* window, uint16_t item) {
    VXSelectRadioButton(window, int16_t(item));
}

VXControlRecordTag* FocusedControl(VXWindowRecordTag* window, bool deep);

void* HookFocusedControl(VXWindowRecordTag* top, VXWindowRecordTag** controlWindow) {
    if (controlWindow) *controlWindow = nullptr;
    VXControlRecordTag* c = FocusedControl(top, true);
    if (c && controlWindow) *controlWindow = c->window;
    return c;
}

// Return and Enter press the default button (item 1), Escape the cancel button (item 2): a
// simulated click, then the control event.
int32_t HookPressButton(VXWindowRecordTag* window, uint16_t character) {
    const int16_t item = character == 13 || character == 3 ? 1 : character == 27 ? 2 : 0;
    if (!item || !VXSimulateButtonClick(window, item)) return 0;
    VXControlRecordTag* c = VXGetControl(window, item, nullptr);
    if (c) SendControlEvent(c, 0, 0, 0);
    return 1;
}

bool HookIsEditText(VXWindowRecordTag*, void* control, bool* hasSelection) {
    auto* c = static_cast<VXControlRecordTag*>(control);
    if (!c || c->type != kVXEditText) return false;
    if (hasSelection) {
        int32_t start = 0, end = 0;
        PlatformControlSelection(c->platform, &start, &end);
        *hasSelection = end > start;
    }
    return true;
}

bool HookEditClip(VXWindowRecordTag*, void* control, uint16_t command) {
    auto* c = static_cast<VXControlRecordTag*>(control);
    if (!c || c->type != kVXEditText) return false;
    VXEditControlClipCommand(c->window, c->item, command);
    return true;
}

}  // namespace

// ---- Internal helpers shared with the item calls ----

ControlHeld::ControlHeld(VXControlRecordTag* c) : windowID(c->window->windowID), item(c->item) {}
VXControlRecordTag* ControlHeld::Get() const {
    VXWindowRecordTag* window = VXGetWindowFromId(windowID);
    return window ? VXGetControl(window, item, nullptr) : nullptr;
}

void ControlSetSelfChange(VXControlRecordTag* control, bool on) {
    if (on)
        control->flags |= kVXCtlSelfChange;
    else
        control->flags &= uint16_t(~kVXCtlSelfChange);
}

void ControlSizeIconImage(VXControlRecordTag* control) {
    if (control->type != kVXIconButton) return;
    const PlatformRect frame = PlatformControlFrame(control->platform);
    const int32_t side = IconSideForHeight(frame.height);
    PlatformControlSetImageSize(control->platform, side, side);
}

// ---- Creation ----

VXControlRecordTag* VXCreateControl(VXWindowRecordTag* window, uint8_t type, const Rect* rect,
                                    const char* title, int16_t item, uint32_t value) {
    if (!window || !rect || type < kVXPushButton || type > kVXSlider) return nullptr;
    if (!title) title = "";
    if (type == kVXListBox) {
        if (!gVXListBoxHooks.create) return nullptr;
        // Added hidden while the list box learns its control, then shown unless asked hidden.
        VXControlRecordTag* control =
            AddControlToView(window, nullptr, type, item, value | kVXControlHidden);
        const ControlHeld held(control);
        VXWindowRecordTag* listWindow = gVXListBoxHooks.create(window, rect, value, control);
        if (!(control = held.Get())) return nullptr;
        if (!listWindow) {
            VXDestroyControlRef(control);
            return nullptr;
        }
        control->listWindow = listWindow;
        control->listWindowID = listWindow->windowID;
        ControlList* list = ListOf(window, false);
        ComputeContainer(list->head, control);
        VXHideShowControl(control, false);
        if (value & kVXControlHidden) return control;
        control->flags &= uint16_t(~kVXCtlItemHidden);
        VXHideShowControl(control, !(window->status() & kVXStatusControlsHidden));
        return control;
    }
    if (!window->platformWindow) return nullptr;
    const bool option1 = value & kVXControlOption1, option2 = value & kVXControlOption2;
    const Rect frame = type == kVXEditText ? Grown(*rect, 3) : *rect;
    PlatformControl* object =
        PlatformControlCreate(window->platformWindow, KindOf(type, value), ToPlatformRect(frame),
                              type == kVXTabView || type == kVXSegmented ? "" : title);
    if (!object) return nullptr;
    switch (type) {
        case kVXEditText:
        case kVXStaticText:
            if (option1) PlatformControlSetAlignment(object, 1);
            break;
        case kVXDisclosure: PlatformControlSetState(object, option1 ? 1 : 0); break;
        case kVXProgress: PlatformControlSetIndeterminate(object, option1 || option2); break;
        case kVXTabView:
            if (!option1) {
                // The rectangle given is the content area; the frame grows around it.
                const PlatformRect area = PlatformControlContentArea(object);
                const PlatformRect outer = PlatformControlFrame(object);
                const Rect grown = {
                    int16_t(rect->top - (area.y - outer.y)),
                    int16_t(rect->left - (area.x - outer.x)),
                    int16_t(rect->bottom + (outer.y + outer.height - area.y - area.height)),
                    int16_t(rect->right + (outer.x + outer.width - area.x - area.width))};
                PlatformControlSetFrame(object, ToPlatformRect(grown));
            }
            break;
        default: break;
    }
    VXControlRecordTag* control = AddControlToView(window, object, type, item, value);
    switch (type) {
        case kVXImage:
        case kVXIconButton:
            SetIconImageForControl(control, int32_t(value & kVXControlIconMask));
            if (type == kVXIconButton) {
                ControlSizeIconImage(control);
                if (option1) control->flags |= kVXCtlToggles;
                PlatformControlSetToggles(object, option1);
            }
            break;
        case kVXTabView: VXSetControlText(control, title); break;
        case kVXSegmented:
            VXSetControlText(control, title);
            control->typeData.value = uint32_t(PlatformControlSelected(object));
            break;
        case kVXPopup: control->typeData.value = uint32_t(-1); break;
        default: break;
    }
    if (type == kVXTabView) control->typeData.value = uint32_t(PlatformControlSelected(object));
    return control;
}

VXControlRecordTag* AddControlToView(VXWindowRecordTag* window, PlatformControl* object,
                                     uint8_t type, int16_t item, uint32_t value) {
    if (!window) return nullptr;
    ControlList* list = ListOf(window, true);
    auto* control = new VXControlRecordTag;
    control->platform = object;
    control->window = window;
    control->item = item;
    control->type = type;
    if (type == kVXBox || type == kVXTabView) control->flags |= kVXCtlContainer;
    PlatformControlSetOwner(object, control);
    Insert(list, control);
    if (object) {
        PlatformControl* above = nullptr;
        for (VXControlRecordTag* c = control->next; c && !above; c = c->next) above = c->platform;
        PlatformControlStackBelow(object, above);
    }
    if (value & kVXControlFixedSmall)
        VXSetControlSizeVariation(control, 2);
    else if (value & kVXControlFixedRegular)
        VXSetControlSizeVariation(control, 1);
    else
        VXSetControlSizeVariation(control, 0);
    if (value & kVXControlHidden) {
        control->flags |= kVXCtlItemHidden;
    } else if (object) {
        VXHideShowControl(control, !(window->status() & kVXStatusControlsHidden));
    }
    if (window->status() & kVXStatusControlsInactive) VXSetControlActive(control, false);
    if (type == kVXUserDrawn && !list->drawBlock) {
        list->drawBlock = true;
        VXUpdateBlock block;
        block.block = DrawUserItems;
        block.phase = 1;
        window->updateBlocks.push_back(block);
    }
    list->loopBuilt = false;
    if (VXWindowRecordTag* top = VXGetTopParent(window))
        if (ControlList* topList = ListOf(top, false)) topList->loopBuilt = false;
    return control;
}

// ---- Lookup ----

VXControlRecordTag* VXGetFirstControl(VXWindowRecordTag* window) {
    ControlList* list = ListOf(window, false);
    return list ? list->head : nullptr;
}

VXControlRecordTag* VXGetControl(VXWindowRecordTag* window, int16_t item, uint8_t* type) {
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next) {
        if (c->item != item) continue;
        PLEXA_ASSERT(c->window == window);
        if (type) *type = c->type;
        return c;
    }
    if (type) *type = 0;
    return nullptr;
}

uint8_t VXGetControlType(VXWindowRecordTag* window, int16_t item) {
    uint8_t type = 0;
    VXGetControl(window, item, &type);
    return type;
}

VXControlRecordTag* VXGetControlRefFromNSControl(const void* view) {
    if (!view) return nullptr;
    PlatformControl* platform = PlatformControlFromNative(view);
    return platform ? RecordOf(platform) : nullptr;
}

int32_t VXCountControls(VXWindowRecordTag* window) {
    int32_t n = 0;
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next) ++n;
    return n;
}

VXControlRecordTag* VXGetIndexedControl(VXWindowRecordTag* window, int32_t index, uint8_t* type,
                                        int16_t* item) {
    VXControlRecordTag* c = VXGetFirstControl(window);
    for (int32_t i = 0; c && i < index; ++i) c = c->next;
    if (index < 0) c = nullptr;
    if (type) *type = c ? c->type : 0;
    if (item) *item = c ? c->item : 0;
    return c;
}

int32_t VXEnumControls(VXWindowRecordTag* window, VXEnumControlsProc proc, void* data) {
    if (!window || !proc) return 0;
    const int32_t id = window->windowID;
    // The procedure may destroy controls: walk a copy of the item numbers.
    std::vector<std::pair<int16_t, uint8_t>> items;
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        items.emplace_back(c->item, c->type);
    int32_t result = 0;
    for (const auto& [item, type] : items) {
        window = VXGetWindowFromId(id);
        if (!window) break;
        result = proc(window, item, type, data);
        if (result) break;
    }
    return result;
}

// ---- Geometry ----

void VXGetControlBounds(VXControlRecordTag* control, Rect* rect) {
    if (!rect) return;
    *rect = Rect{0, 0, 0, 0};
    if (!control) return;
    if (control->type == kVXListBox) {
        if (VXWindowRecordTag* list = ListWindow(control)) VXGetWindowPosition(list, rect);
        return;
    }
    if (control->platform) *rect = FromPlatformRect(PlatformControlFrame(control->platform));
}

void VXGetControlRect(VXControlRecordTag* control, Rect* rect) {
    if (!rect) return;
    *rect = Rect{0, 0, 0, 0};
    if (!control) return;
    switch (control->type) {
        case kVXListBox:
            if (VXWindowRecordTag* list = ListWindow(control)) {
                VXGetWindowPosition(list, rect);
                rect->right = int16_t(rect->right + VXCalcStructureBarWidth(list, true));
            }
            return;
        case kVXEditText:
            VXGetControlBounds(control, rect);
            *rect = Grown(*rect, -3);
            return;
        case kVXUserDrawn:
            VXGetControlBounds(control, rect);
            *rect = Grown(*rect, int16_t(control->typeData.value));
            return;
        case kVXTabView:
            *rect = FromPlatformRect(PlatformControlContentArea(control->platform));
            return;
        default: VXGetControlBounds(control, rect);
    }
}

void VXSetControlRect(VXControlRecordTag* control, const Rect* rect) {
    if (!control || !rect) return;
    Rect current;
    VXGetControlRect(control, &current);
    if (SameRect(current, *rect)) return;
    switch (control->type) {
        case kVXListBox:
            if (VXWindowRecordTag* list = ListWindow(control)) {
                Rect r = *rect;
                r.right = int16_t(r.right - VXCalcStructureBarWidth(list, true));
                VXSetWindowPosition(list, &r);
            }
            return;
        case kVXEditText:
            PlatformControlSetFrame(control->platform, ToPlatformRect(Grown(*rect, 3)));
            return;
        case kVXUserDrawn:
            VXInvalidateControl(control);
            PlatformControlSetFrame(
                control->platform,
                ToPlatformRect(Grown(*rect, int16_t(-int16_t(control->typeData.value)))));
            VXInvalidateControl(control);
            return;
        case kVXTabView: {
            int16_t m[4];
            VXGetTabControlOuterMetrics(control, m);
            const Rect outer = {int16_t(rect->top - m[0]), int16_t(rect->left - m[1]),
                                int16_t(rect->bottom + m[2]), int16_t(rect->right + m[3])};
            PlatformControlSetFrame(control->platform, ToPlatformRect(outer));
            return;
        }
        default:
            PlatformControlSetFrame(control->platform, ToPlatformRect(*rect));
            ControlSizeIconImage(control);
    }
}

void VXInvalidateControl(VXControlRecordTag* control) {
    if (!control || !VXIsControlVisible(control)) return;
    PlatformControlUpdate(control->platform);
    if (control->type == kVXUserDrawn) {
        Rect rect;
        VXGetControlRect(control, &rect);
        VXInvalRect(control->window, &rect);
    }
}

// ---- Visibility ----

bool VXIsControlVisible(VXControlRecordTag* control) {
    if (!control) return false;
    if (control->type == kVXListBox) {
        VXWindowRecordTag* list = ListWindow(control);
        return list && VXIsWindowVisible(list, false);
    }
    return control->platform && !PlatformControlIsHidden(control->platform);
}

VXWindowRecordTag* GetListViewFromListBoxControl(VXControlRecordTag* control) {
    return control && control->type == kVXListBox ? ListWindow(control) : nullptr;
}

void VXHideShowControl(VXControlRecordTag* control, bool visible) {
    if (!control || VXIsControlVisible(control) == visible) return;
    if (control->type == kVXListBox) {
        if (VXWindowRecordTag* list = ListWindow(control))
            VXSetChildWindowVisibility(list, visible);
        return;
    }
    PlatformControlSetVisible(control->platform, visible);
    if (control->type == kVXUserDrawn) {
        Rect rect;
        VXGetControlRect(control, &rect);
        VXInvalRect(control->window, &rect);
    }
}

void VXSetControlVisibility(VXControlRecordTag* control, bool visible) {
    if (!control) return;
    if (visible)
        control->flags &= uint16_t(~kVXCtlItemHidden);
    else
        control->flags |= kVXCtlItemHidden;
    VXHideShowControl(control, visible && !(control->window->status() & kVXStatusControlsHidden));
}

bool VXSetWindowControlsVisible(VXWindowRecordTag* window, bool visible) {
    if (!window) return false;
    const bool former = !(window->status() & kVXStatusControlsHidden);
    if (visible)
        window->status() &= ~kVXStatusControlsHidden;
    else
        window->status() |= kVXStatusControlsHidden;
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        if (!(c->flags & kVXCtlItemHidden)) VXHideShowControl(c, visible);
    return former;
}

// ---- Activity and size ----

void VXSetControlActive(VXControlRecordTag* control, bool active) {
    if (!control) return;
    if (control->window->status() & kVXStatusControlsInactive) active = false;
    const uint8_t type = control->type;
    const bool drawnByFlag = type == kVXListBox || type == kVXBox || type == kVXUserDrawn;
    const bool current = drawnByFlag          ? (control->flags & kVXCtlDrawnActive) != 0
                         : type == kVXTabView ? true
                                              : PlatformControlIsEnabled(control->platform);
    if (current == active) return;
    if (drawnByFlag) {
        if (active)
            control->flags |= kVXCtlDrawnActive;
        else
            control->flags &= uint16_t(~kVXCtlDrawnActive);
        VXInvalidateControl(control);
        if (type == kVXListBox)
            if (VXWindowRecordTag* list = ListWindow(control)) SendActivateEvent(list, active);
    } else if (type == kVXTabView) {
        VXInvalidateControl(control);
    } else {
        PlatformControlSetEnabled(control->platform, active);
    }
}

bool VXSetWindowControlsActive(VXWindowRecordTag* window, bool active) {
    if (!window) return false;
    const bool former = !(window->status() & kVXStatusControlsInactive);
    if (!active && former)
        if (VXControlRecordTag* focused = FocusedControl(window, true))
            ListOf(window, true)->inactiveFocus = {focused->window->windowID, focused->item};
    if (active)
        window->status() &= ~kVXStatusControlsInactive;
    else
        window->status() |= kVXStatusControlsInactive;
    VXWindowRecordTag* previous = VXSetWindow(window);
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        if (!(c->flags & kVXCtlItemDisabled)) VXSetControlActive(c, active);
    VXSetWindow(previous);
    if (ControlList* list = active ? ListOf(window, false) : nullptr; list && list->inactiveFocus.item) {
        const ControlList::Stop stop = list->inactiveFocus;
        list->inactiveFocus = {0, 0};
        if (VXWindowRecordTag* owner = VXGetWindowFromId(stop.windowID); owner && !FocusedControl(window, true))
            VXSetFocusItem(owner, stop.item);
    }
    return former;
}

void VXSetControlSizeVariation(VXControlRecordTag* control, int32_t variation) {
    if (!control) return;
    bool small;
    if (variation == 1 || variation == 2) {
        control->flags |= kVXCtlFixedSize;
        small = variation == 2;
    } else {
        control->flags &= uint16_t(~kVXCtlFixedSize);
        small = (control->window->status() & kVXStatusSmallControls) != 0;
    }
    if (small == ((control->flags & kVXCtlSmall) != 0)) return;
    if (!HasSizeVariant(control->type)) return;
    if (control->type != kVXListBox)
        PlatformControlSetSmall(control->platform, small);
    else if (gVXListBoxHooks.setFont)
        gVXListBoxHooks.setFont(control, small ? 4 : 26);
    if (small)
        control->flags |= kVXCtlSmall;
    else
        control->flags &= uint16_t(~kVXCtlSmall);
}

void VXSetDefaultControlSize(VXWindowRecordTag* window, bool small) {
    if (!window) return;
    if (small)
        window->status() |= kVXStatusSmallControls;
    else
        window->status() &= ~kVXStatusSmallControls;
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        if (!(c->flags & kVXCtlFixedSize)) VXSetControlSizeVariation(c, 0);
}

// ---- Focus ----

namespace {
// The control with the keyboard focus in a window's top-level window: a platform control, or a
// list box whose list view has the focus (searched in the window and, deep, its children).
VXControlRecordTag* FocusedControl(VXWindowRecordTag* window, bool deep) {
    if (!window || !window->platformWindow) return nullptr;
    if (PlatformControl* focused = PlatformControlFocused(window->platformWindow))
        return RecordOf(focused);
    for (VXControlRecordTag* c = VXGetFirstControl(window); c; c = c->next)
        if (c->type == kVXListBox && ListWindow(c) && c->listWindow->platformWindow &&
            PlatformControlViewHasFocus(c->listWindow->platformWindow))
            return c;
    if (deep)
        for (VXWindowRecordTag* child = VXGetFirstChild(window); child;
             child = VXGetNextWindow(child))
            if (child->windowClass != kVXWindowListBox)
                if (VXControlRecordTag* c = FocusedControl(child, true)) return c;
    return nullptr;
}
}  // namespace

int16_t VXGetFocusItem(VXWindowRecordTag* window, VXWindowRecordTag** controlWindow) {
    if (controlWindow) *controlWindow = nullptr;
    VXControlRecordTag* c = FocusedControl(window, controlWindow != nullptr);
    if (!c) return 0;
    if (controlWindow) {
        *controlWindow = c->window;
        return c->item;
    }
    return c->window == window ? c->item : 0;
}

bool VXSetFocusItem(VXWindowRecordTag* window, int16_t item) {
    if (!window) return false;
    VXControlRecordTag* c = item ? VXGetControl(window, item, nullptr) : nullptr;
    if (c && c->type != kVXListBox && PlatformControlHasFocus(c->platform)) return true;
    if (c && c->type == kVXListBox && ListWindow(c) && c->listWindow->platformWindow &&
        PlatformControlViewHasFocus(c->listWindow->platformWindow))
        return true;
    const int32_t id = window->windowID;
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    bool result = false;
    if (c && c->type == kVXListBox) {
        if (ListWindow(c) && c->listWindow->platformWindow) {
            PlatformControlClearFocus(c->listWindow->platformWindow);
            result = true;
        }
    } else if (c) {
        result = PlatformControlSetFocus(c->platform);
    } else if (VXWindowRecordTag* top = VXGetTopParent(window); top && top->platformWindow) {
        PlatformControlClearFocus(top->platformWindow);
        result = true;
    }
    // Focus events may have run handlers: restore only a window that still exists.
    if (VXGetWindowFromId(id) || previousID) VXSetWindow(VXGetWindowFromId(previousID));
    return result;
}

void SendControlFocusEvent(VXControlRecordTag* control, bool gained) {
    if (!control || control->type != kVXEditText) return;
    VXEventRecord event = VXClearedEvent(kVXEditFocusEvent);
    event.u.editFocus.item = uint16_t(control->item);
    event.u.editFocus.controlType = kVXEditText;
    event.u.editFocus.gaining = gained ? 1 : 0;
    DispatchEvent(control->window, &event);
}

void VXRebuildControlNavigationLoop(VXWindowRecordTag* window) {
    if (!window) return;
    struct Entry {
        int32_t windowID;
        int16_t item;
        Point origin;  // the top-left of the control's window in the top-level content
    };
    std::vector<Entry> entries;
    // Depth first over the window and its child windows.
    std::vector<VXWindowRecordTag*> pending{window};
    while (!pending.empty()) {
        VXWindowRecordTag* w = pending.back();
        pending.pop_back();
        Point origin{0, 0};
        if (w != window) VXTranslatePoints(w, window, &origin, 1);
        for (VXControlRecordTag* c = VXGetFirstControl(w); c; c = c->next)
            if (c->type == kVXEditText || c->type == kVXListBox)
                entries.push_back({w->windowID, c->item, origin});
        for (VXWindowRecordTag* child = VXGetFirstChild(w); child; child = VXGetNextWindow(child))
            if (child->windowClass != kVXWindowListBox) pending.push_back(child);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.windowID == b.windowID) return a.item < b.item;
        if (a.origin.v != b.origin.v) return a.origin.v < b.origin.v;
        return a.origin.h < b.origin.h;
    });
    ControlList* list = ListOf(window, true);
    list->loop.clear();
    for (const Entry& e : entries) list->loop.push_back({e.windowID, e.item});
    list->loopBuilt = true;
    // The platform's own order follows the loop too.
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        VXControlRecordTag* a =
            VXGetControl(VXGetWindowFromId(entries[i].windowID), entries[i].item, nullptr);
        VXControlRecordTag* b =
            VXGetControl(VXGetWindowFromId(entries[i + 1].windowID), entries[i + 1].item, nullptr);
        if (a && b) PlatformControlSetTabOrder(a->platform, b->platform);
    }
}

// ---- Destruction ----

namespace {
void Unlink(ControlList* list, VXControlRecordTag* control) {
    for (VXControlRecordTag** link = &list->head; *link; link = &(*link)->next) {
        if (*link != control) continue;
        *link = control->next;
        return;
    }
}

void ReleaseParts(VXControlRecordTag* control) {
    VXWindowRecordTag* window = control->window;
    if (control->type == kVXRadioButton && control->typeData.value >= 1 &&
        control->typeData.value <= 8)
        window->radioSlots = uint8_t(window->radioSlots & ~(1u << (control->typeData.value - 1)));
    if (control->type == kVXListBox) {
        VXWindowRecordTag* list = ListWindow(control);
        control->listWindow = nullptr;
        if (list) {
            if (gVXListBoxHooks.destroy)
                gVXListBoxHooks.destroy(list);
            else
                VXDestroyWindow(list);
        }
    } else {
        PlatformControlSetOwner(control->platform, nullptr);
        PlatformControlDestroy(control->platform);
        control->platform = nullptr;
    }
}
}  // namespace

void VXDestroyControlRef(VXControlRecordTag* control) {
    if (!control) return;
    ControlList* list = ListOf(control->window, false);
    if (!list) return;
    VXKillControlToolTips(control);
    ReleaseParts(control);
    Unlink(list, control);
    if (IsContainer(control))
        for (VXControlRecordTag* c = list->head; c; c = c->next)
            if (c->container == control) c->container = control->container;
    FreeRecord(control);
}

void VXDestroyControl(VXWindowRecordTag* window, int16_t item) {
    VXDestroyControlRef(VXGetControl(window, item, nullptr));
}

void VXKillControls(VXWindowRecordTag* window) {
    ControlList* list = ListOf(window, false);
    if (!list) return;
    while (VXControlRecordTag* control = list->head) {
        ReleaseParts(control);
        list->head = control->next;
        FreeRecord(control);
    }
    list->loop.clear();
    list->loopBuilt = false;
}

void VXSetControlReference(VXControlRecordTag* control, intptr_t reference) {
    if (control) control->reference = reference;
}
intptr_t VXGetControlReference(VXControlRecordTag* control) {
    return control ? control->reference : 0;
}

// ---- Control events ----

bool SendTrackControlEvent(VXControlRecordTag* control, Point where, uint16_t button,
                           uint32_t modifiers, int16_t value1, int16_t value2) {
    if (!control || (control->flags & kVXCtlSelfChange)) return true;
    VXEventRecord event = VXClearedEvent(0);
    SetupMouseEvent(where.h, where.v, button, modifiers, &event);
    const VXMouseFields mouse = event.u.mouse;
    event = VXClearedEvent(kVXTrackControlEvent);
    event.u.track.mouse = mouse;
    event.u.track.item = uint16_t(control->item);
    event.u.track.controlType = control->type;
    event.u.track.tabValue1 = value1;
    event.u.track.tabValue2 = value2;
    return DispatchEvent(control->window, &event) == 0;
}

bool SendControlTrackingEndEvent(VXControlRecordTag* control, uint16_t button, uint32_t modifiers) {
    if (!control || (control->flags & kVXCtlSelfChange)) return true;
    VXEventRecord event = VXClearedEvent(kVXTrackingEndEvent);
    event.u.trackingEnd.button = button;
    event.u.trackingEnd.shift = (modifiers & kVXModShift) ? 1 : 0;
    event.u.trackingEnd.option = (modifiers & kVXModOption) ? 1 : 0;
    event.u.trackingEnd.modifiers = modifiers;
    event.u.trackingEnd.item = uint16_t(control->item);
    event.u.trackingEnd.controlType = control->type;
    return DispatchEvent(control->window, &event) == 0;
}

int32_t SendControlEvent(VXControlRecordTag* control, int32_t value1, int32_t value2,
                         double floatValue) {
    if (!control || (control->flags & kVXCtlSelfChange)) return 0;
    VXEventRecord event = VXClearedEvent(kVXControlEvent);
    event.u.control.item = uint16_t(control->item);
    event.u.control.controlType = control->type;
    auto& values = event.u.control.values;
    switch (control->type) {
        case kVXScroller:
            values.scroller.part = uint8_t(value1);
            if (value1 == 4 || value1 == 5) {
                values.scroller.given = value2;
                values.scroller.value =
                    std::isfinite(floatValue) ? int32_t(std::lround(floatValue)) : 0;
            }
            break;
        case kVXEditText:
            values.editText.first = uint16_t(value1);
            values.editText.second = uint16_t(value2);
            values.editText.secondNegative = value2 < 0 ? 1 : 0;
            break;
        case kVXListBox:
            values.listBox.first = value1;
            values.listBox.second = value2;
            break;
        case kVXPopup:
        case kVXTabView:
        case kVXSegmented:
            values.pair.first = uint16_t(value1);
            values.pair.second = uint16_t(value2);
            break;
        case kVXColorWell: values.colour = uint32_t(value1); break;
        case kVXSlider: values.slider = floatValue; break;
        default: break;
    }
    return DispatchEvent(control->window, &event);
}

// ---- Set-up ----

void VXInitControls() {
    PlatformControlCallbacks callbacks;
    callbacks.action = OnAction;
    callbacks.focus = OnFocus;
    callbacks.key = OnKey;
    callbacks.tabShouldSelect = OnTabShouldSelect;
    callbacks.trackingEnd = OnTrackingEnd;
    PlatformSetControlCallbacks(callbacks);
    PlatformControlSetPreDispatch(PreDispatch);
    auto& hooks = gVXWindowDefaultHooks;
    hooks.focusItem = HookFocusItem;
    hooks.activateControls = HookActivateControls;
    hooks.selectRadioButton = HookSelectRadio;
    hooks.focusedControl = HookFocusedControl;
    hooks.killControls = VXKillControls;
    hooks.invokePushButton = HookPressButton;
    gVXCommandHooks.isEditText = HookIsEditText;
    gVXCommandHooks.editClipCommand = HookEditClip;
    gVXCommandHooks.scrapCharacters = VXTECountScrapCharacters;
}

}  // namespace plexa
