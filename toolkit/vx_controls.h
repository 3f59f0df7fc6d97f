// Controls: the elements of a window's user interface (buttons, text fields, pop-ups, boxes, tab
// views, sliders, ...). Each control is a platform control (platform/control_platform.h) and a
// `VXControlRecordTag` kept in its window's control list; callers address controls by their window
// and a 16-bit item number (toolkit/vx_control_items.h). This module owns the control list with its
// containers and stacking, creation and destruction, geometry, visibility, activity, control size,
// the keyboard focus and navigation loop, and turns the platform controls' actions into control
// events (track control 17, control action 18, tracking end 19, edit focus 20) for the window.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

// The class-info code under which a window keeps its control list (layered views swap it).
constexpr uint32_t kVXControlListCode = 0x63746C73;  // 'ctls'

struct VXWindowRecordTag;
struct PlatformControl;
struct VXControlProperties;

// Control types (the item type of a UI template item).
enum : uint8_t {
    kVXPushButton = 1,
    kVXCheckBox = 2,
    kVXRadioButton = 3,
    kVXScroller = 4,
    kVXEditText = 5,
    kVXStaticText = 6,
    kVXListBox = 7,
    kVXPopup = 8,
    kVXBox = 9,
    kVXImage = 10,
    kVXTabView = 11,
    kVXIconButton = 12,
    kVXDisclosure = 13,
    kVXProgress = 14,
    kVXUserDrawn = 15,
    kVXColorWell = 16,
    kVXSegmented = 17,
    kVXSlider = 18,
};

// Bits of the value argument of a control's creation.
constexpr uint32_t kVXControlIconMask = 0x0000FFFF, kVXControlHidden = 0x00010000,
                   kVXControlFixedRegular = 0x00020000, kVXControlFixedSmall = 0x00040000,
                   kVXControlOption1 = 0x00100000, kVXControlOption2 = 0x00200000;

// Control flags.
constexpr uint16_t kVXCtlContainer = 0x0001, kVXCtlToggles = 0x0002, kVXCtlSelfChange = 0x0004,
                   kVXCtlSimulatedClick = 0x0008, kVXCtlItemDisabled = 0x0010,
                   kVXCtlDrawnActive = 0x0020, kVXCtlItemHidden = 0x0040, kVXCtlFixedSize = 0x0080,
                   kVXCtlSmall = 0x0200, kVXCtlAllCaps = 0x0400;

// A user-drawn control's draw procedure: called with the window current and focused on its
// content, in window content coordinates.
using VXUserItemProc = void (*)(VXWindowRecordTag* window, int16_t item);
// An edit text's key hook: key 1 Return, 2 Escape; nonzero when it handled the key.
using VXEditKeyHook = int32_t (*)(VXWindowRecordTag* window, int16_t item, int32_t key);
using VXEnumControlsProc = int32_t (*)(VXWindowRecordTag* window, int16_t item, uint8_t type,
                                       void* data);

struct VXControlRecordTag {
    VXControlRecordTag* next = nullptr;
    VXControlRecordTag* container = nullptr;  // innermost box or tab view holding it wholly
    VXWindowRecordTag* window = nullptr;
    VXControlProperties* properties = nullptr;  // released with the control
    intptr_t reference = 0;
    PlatformControl* platform = nullptr;  // a list box: the view of its list-view window
    // The type-dependent field: a radio button's action slot (1..8, 0 none), an edit text's key
    // hook, a user-drawn control's inset, an image's or icon button's icon id, a pop-up's last
    // selected index (also a tab view's or segmented control's stored selection).
    union {
        uint32_t value;
        VXEditKeyHook keyHook;
    } typeData{};
    uint16_t flags = 0;
    uint32_t reserved = 0;  // kept 0
    int16_t item = 0;
    uint8_t type = 0;
    // The platform side of a user-drawn control: its draw procedure.
    VXUserItemProc drawProc = nullptr;
    // The list-view window of a list box, and its id: the window may go before its control
    // (with its parent's children), and is only used while the id still finds it.
    VXWindowRecordTag* listWindow = nullptr;
    int32_t listWindowID = 0;
};

// Creation. The title is UTF-8. None for an unknown type (or a list box without the list-box
// module installed, or a window without a platform part).
VXControlRecordTag* VXCreateControl(VXWindowRecordTag* window, uint8_t type, const Rect* rect,
                                    const char* title, int16_t item, uint32_t value);
VXControlRecordTag* AddControlToView(VXWindowRecordTag* window, PlatformControl* object,
                                     uint8_t type, int16_t item, uint32_t value);

// Lookup.
VXControlRecordTag* VXGetControl(VXWindowRecordTag* window, int16_t item, uint8_t* type);
uint8_t VXGetControlType(VXWindowRecordTag* window, int16_t item);
// The record of a platform control (or of the control a platform widget belongs to), or none.
VXControlRecordTag* VXGetControlRefFromNSControl(const void* view);
int32_t VXCountControls(VXWindowRecordTag* window);
VXControlRecordTag* VXGetIndexedControl(VXWindowRecordTag* window, int32_t index, uint8_t* type,
                                        int16_t* item);
// Calls the procedure for each control in list order until one answers nonzero; returns it.
int32_t VXEnumControls(VXWindowRecordTag* window, VXEnumControlsProc proc, void* data);
// The first control of a window's list (containers first), or none.
VXControlRecordTag* VXGetFirstControl(VXWindowRecordTag* window);

// Geometry: the platform frame, and the toolkit's rectangle (window content coordinates).
void VXGetControlBounds(VXControlRecordTag* control, Rect* rect);
void VXGetControlRect(VXControlRecordTag* control, Rect* rect);
void VXSetControlRect(VXControlRecordTag* control, const Rect* rect);
void VXInvalidateControl(VXControlRecordTag* control);

// Visibility.
bool VXIsControlVisible(VXControlRecordTag* control);
VXWindowRecordTag* GetListViewFromListBoxControl(VXControlRecordTag* control);
void VXSetControlVisibility(VXControlRecordTag* control, bool visible);
void VXHideShowControl(VXControlRecordTag* control, bool visible);
bool VXSetWindowControlsVisible(VXWindowRecordTag* window, bool visible);

// Activity and size.
void VXSetControlActive(VXControlRecordTag* control, bool active);
bool VXSetWindowControlsActive(VXWindowRecordTag* window, bool active);
// 0 follow the window's default, 1 fixed regular, 2 fixed small.
void VXSetControlSizeVariation(VXControlRecordTag* control, int32_t variation);
void VXSetDefaultControlSize(VXWindowRecordTag* window, bool small);

// Keyboard focus.
int16_t VXGetFocusItem(VXWindowRecordTag* window, VXWindowRecordTag** controlWindow);
bool VXSetFocusItem(VXWindowRecordTag* window, int16_t item);
void SendControlFocusEvent(VXControlRecordTag* control, bool gained);
void VXRebuildControlNavigationLoop(VXWindowRecordTag* window);

// Destruction.
void VXDestroyControlRef(VXControlRecordTag* control);
void VXDestroyControl(VXWindowRecordTag* window, int16_t item);
void VXKillControls(VXWindowRecordTag* window);

void VXSetControlReference(VXControlRecordTag* control, intptr_t reference);
intptr_t VXGetControlReference(VXControlRecordTag* control);

// Control events. Track control (17): true when the handler did not handle it, so the platform
// tracks the control; nothing (true) while the toolkit changes the control itself (flag 0x0004).
bool SendTrackControlEvent(VXControlRecordTag* control, Point where, uint16_t button,
                           uint32_t modifiers, int16_t value1, int16_t value2);
// Tracking end (19): true when not handled.
bool SendControlTrackingEndEvent(VXControlRecordTag* control, uint16_t button, uint32_t modifiers);
// Control action (18) with the type's values; the handler's result (0, nothing sent, while the
// toolkit changes the control itself).
int32_t SendControlEvent(VXControlRecordTag* control, int32_t value1, int32_t value2,
                         double floatValue);

// Connects the controls to the windows and the platform: the window's default handling hooks
// (focus item, activation, radio buttons, focused control, releasing controls), the command
// hooks for edit texts, the platform control callbacks and the click pre-dispatch. Run at launch
// and by tests after the windows are initialised.
void VXInitControls();

// What the list-box module installs so that controls of type 7 can exist: a list-view window
// inside the parent, its platform view, its visibility, activation and destruction.
struct VXListBoxHooks {
    // Makes the list-view window of a list box at the rectangle; none on failure.
    VXWindowRecordTag* (*create)(VXWindowRecordTag* parent, const Rect* rect, uint32_t value,
                                 VXControlRecordTag* control) = nullptr;
    void (*destroy)(VXWindowRecordTag* listWindow) = nullptr;
    // The list's font for the control size: font code 4 small, 26 regular.
    void (*setFont)(VXControlRecordTag* control, int16_t fontCode) = nullptr;
};
extern VXListBoxHooks gVXListBoxHooks;

}  // namespace plexa
