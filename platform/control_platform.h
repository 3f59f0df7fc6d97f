// Native controls inside a window's content view: buttons, check boxes, radio buttons, scroll
// bars, text fields, labels, pop-up buttons, group boxes, images, tab bars, tool buttons, progress
// bars, user-drawn areas (transparent: the toolkit draws them into the content), colour wells,
// segmented buttons and sliders. Each control carries an owner pointer that its callbacks name;
// the platform reports user actions, never the changes the toolkit makes itself.
//
// Coordinates are the content view's, y downwards. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_platform.h"

namespace plexa {

struct PlatformControl;
class DrawImage;

enum class PlatformControlKind : uint8_t {
    kPushButton,
    kCheckBox,
    kRadioButton,
    kScroller,
    kEditText,
    kSecureEditText,
    kStaticText,
    kPopup,
    kBox,
    kImage,
    kTabView,
    kIconButton,
    kDisclosure,
    kProgress,
    kUserDrawn,
    kColorWell,
    kSegmented,
    kSlider,
};

// What controls tell their owner; installed once, every member may be null.
struct PlatformControlCallbacks {
    // A user action: a click, a chosen item, a moved value, an edited text (textEdit true), a
    // selected tab or segment.
    void (*action)(void* owner, bool textEdit) = nullptr;
    // A text field gained or lost the keyboard focus.
    void (*focus)(void* owner, bool gained) = nullptr;
    // Return (1), Escape (2), Tab (3) or Back-tab (4) typed in a text field; true takes the key.
    bool (*key)(void* owner, int32_t key) = nullptr;
    // A tab is about to be selected by the user: false keeps the current tab.
    bool (*tabShouldSelect)(void* owner, int32_t current, int32_t proposed,
                            uint32_t modifiers) = nullptr;
    // The mouse was released after a press the control handled itself.
    void (*trackingEnd)(void* owner, uint16_t button, uint32_t modifiers) = nullptr;
};
void PlatformSetControlCallbacks(const PlatformControlCallbacks& callbacks);
// Installs the click pre-dispatch of the windows (platform/window_platform.h) for the controls:
// a control destroyed by the hook goes later, and the click it was about is swallowed.
void PlatformControlSetPreDispatch(PlatformControlPreDispatch hook);

// A control of a kind in a window's content view (hidden until shown); null without a view.
PlatformControl* PlatformControlCreate(PlatformWindow* window, PlatformControlKind kind,
                                       PlatformRect frame, const char* title);
// Destroys the control; one destroyed inside its own callback goes once the callback is over.
void PlatformControlDestroy(PlatformControl* control);
// Deletes the controls whose destruction waited (call outside every control callback).
void PlatformControlFlushDestroyed();

void PlatformControlSetOwner(PlatformControl* control, void* owner);
void* PlatformControlOwner(const PlatformControl* control);
// The control a native object handed to the click pre-dispatch belongs to, or null.
PlatformControl* PlatformControlFromNative(const void* native);
PlatformControlKind PlatformControlGetKind(const PlatformControl* control);

// Geometry and stacking.
PlatformRect PlatformControlFrame(const PlatformControl* control);
void PlatformControlSetFrame(PlatformControl* control, PlatformRect frame);
// Puts the control directly below another one, or on top of its siblings when `above` is null.
void PlatformControlStackBelow(PlatformControl* control, PlatformControl* above);
void PlatformControlSetVisible(PlatformControl* control, bool visible);
bool PlatformControlIsHidden(const PlatformControl* control);
void PlatformControlSetEnabled(PlatformControl* control, bool enabled);
bool PlatformControlIsEnabled(const PlatformControl* control);
void PlatformControlUpdate(PlatformControl* control);
// Small (true) or regular system font size and control metrics.
void PlatformControlSetSmall(PlatformControl* control, bool small);
// Text alignment: 0 left, 1 right.
void PlatformControlSetAlignment(PlatformControl* control, int32_t alignment);

// Keyboard focus and the Tab order.
bool PlatformControlSetFocus(PlatformControl* control);
bool PlatformControlHasFocus(const PlatformControl* control);
// The control with the keyboard focus in the top-level window holding this window, or null.
PlatformControl* PlatformControlFocused(PlatformWindow* window);
// Whether a window's own content view (a child view's, not a control in it) has the focus of
// its top-level window.
bool PlatformControlViewHasFocus(PlatformWindow* window);
// Gives the focus to the window's content view itself (no control).
void PlatformControlClearFocus(PlatformWindow* window);
void PlatformControlSetTabOrder(PlatformControl* first, PlatformControl* second);

// Title (buttons, boxes) and string value (text fields, labels, others).
void PlatformControlSetTitle(PlatformControl* control, const char* title);
std::string PlatformControlTitle(const PlatformControl* control);
void PlatformControlSetText(PlatformControl* control, const char* text);
std::string PlatformControlText(const PlatformControl* control);
// Text fields: the selection in bytes of the UTF-8 text.
void PlatformControlSetSelection(PlatformControl* control, int32_t start, int32_t end);
void PlatformControlSelection(const PlatformControl* control, int32_t* start, int32_t* end);
// Text fields: cut, copy, paste, delete the selection.
void PlatformControlEditCommand(PlatformControl* control, int32_t command);
// Text fields: typed letters become capitals.
void PlatformControlSetAllCaps(PlatformControl* control, bool on);

// State of buttons: 0 off, 1 on, 2 mixed; highlight of push buttons.
void PlatformControlSetState(PlatformControl* control, int32_t state);
int32_t PlatformControlState(const PlatformControl* control);
void PlatformControlSetHighlight(PlatformControl* control, bool on);
// Clicks a button as the user would, sending its action.
void PlatformControlPerformClick(PlatformControl* control);
// Icon buttons: stays on when clicked (toggles); round style.
void PlatformControlSetToggles(PlatformControl* control, bool toggles);

// Values of scrollers, sliders and progress indicators.
void PlatformControlSetValue(PlatformControl* control, double value);
double PlatformControlValue(const PlatformControl* control);
void PlatformControlSetRange(PlatformControl* control, double minimum, double maximum);
// Progress: indeterminate (animated) or not.
void PlatformControlSetIndeterminate(PlatformControl* control, bool indeterminate);

// Items of pop-ups; flags of an item: enabled 1, separator 2; state 0 off, 1 on, 2 mixed.
int32_t PlatformControlItemCount(const PlatformControl* control);
void PlatformControlInsertItem(PlatformControl* control, int32_t index, const char* title,
                               bool separator);
void PlatformControlRemoveItem(PlatformControl* control, int32_t index);
void PlatformControlSetItemTitle(PlatformControl* control, int32_t index, const char* title);
std::string PlatformControlItemTitle(const PlatformControl* control, int32_t index);
bool PlatformControlItemIsSeparator(const PlatformControl* control, int32_t index);
void PlatformControlSetItemEnabled(PlatformControl* control, int32_t index, bool enabled);
bool PlatformControlItemEnabled(const PlatformControl* control, int32_t index);
void PlatformControlSetItemState(PlatformControl* control, int32_t index, int32_t state);
int32_t PlatformControlItemState(const PlatformControl* control, int32_t index);
void PlatformControlSetItemReference(PlatformControl* control, int32_t index, intptr_t value);
intptr_t PlatformControlItemReference(const PlatformControl* control, int32_t index);
// Face bits: 1 bold, 2 italic, 4 underlined.
void PlatformControlSetItemFace(PlatformControl* control, int32_t index, uint32_t face);

// Tabs of tab views and segments of segmented controls; the selection (-1 none) of those and of
// pop-ups.
int32_t PlatformControlTabCount(const PlatformControl* control);
void PlatformControlInsertTab(PlatformControl* control, int32_t index, const char* label);
void PlatformControlRemoveTab(PlatformControl* control, int32_t index);
void PlatformControlSetTabLabel(PlatformControl* control, int32_t index, const char* label);
std::string PlatformControlTabLabel(const PlatformControl* control, int32_t index);
void PlatformControlSelect(PlatformControl* control, int32_t index);
int32_t PlatformControlSelected(const PlatformControl* control);
// Tab views: the area the tabs' contents take, in the content view's coordinates.
PlatformRect PlatformControlContentArea(const PlatformControl* control);

// Images (image views and icon buttons): an image (null: none), or the platform's standard
// caution (1) or information (2) image; the size an icon button shows its image at.
void PlatformControlSetImage(PlatformControl* control, const DrawImage* image);
void PlatformControlSetStandardImage(PlatformControl* control, int32_t which);
bool PlatformControlHasImage(const PlatformControl* control);
void PlatformControlSetImageSize(PlatformControl* control, int32_t width, int32_t height);
void PlatformControlImageSize(const PlatformControl* control, int32_t* width, int32_t* height);

// Colour wells: 0x00RRGGBB. A click on a well opens the shared colour panel for it; a colour
// chosen there becomes the well's and is its action.
void PlatformControlSetColor(PlatformControl* control, uint32_t rgb);
uint32_t PlatformControlColor(const PlatformControl* control);
bool PlatformControlColorPanelIsOpen();
void PlatformControlCloseColorPanel();

// Test seam: a click (press and release) at a point of the control, as the window system would
// deliver it (through the click pre-dispatch), and keys typed into the focused control (a
// character, or the toolkit's key codes 13 Return, 27 Escape, 9 Tab, 25 Back-tab, 8 Backspace).
void PlatformControlTestClick(PlatformControl* control, int32_t x, int32_t y, uint16_t button = 0,
                              uint32_t modifiers = 0);
// Chooses a colour in the open colour panel as the user would.
void PlatformControlTestPickColor(uint32_t rgb);
// Chooses a pop-up item as the user would.
void PlatformControlTestChoose(PlatformControl* control, int32_t index);
void PlatformControlTestType(PlatformWindow* window, const char* utf8);
void PlatformControlTestKey(PlatformWindow* window, uint16_t key, uint32_t modifiers = 0);

}  // namespace plexa
