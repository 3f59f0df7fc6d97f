// Popup windows: a small borderless window opened at a point over a parent window and tracked
// with the mouse, as a menu is, until the user picks something or dismisses it. The tracking
// loop reports what happens to a callback with numbered messages; the callback decides what is
// highlighted and what the answer of the whole call is.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;

// Callback messages.
enum : int32_t {
    kVXPopupOpen = 0, kVXPopupMouseDown = 1, kVXPopupMouseUp = 2, kVXPopupEntered = 3,
    kVXPopupMoved = 4, kVXPopupLeft = 5, kVXPopupWheel = 6, kVXPopupAutoScroll = 7,
    kVXPopupFinish = 8, kVXPopupCancel = 9,
};
// Answers to the mouse messages: accept and close, dismiss and close; the bit that makes the
// loop read again whether the button is still held.
constexpr uint32_t kVXPopupAccept = 2, kVXPopupDismiss = 3, kVXPopupRecheckButton = 0x1000;
// Tracking flags: autoscroll when the mouse leaves the popup after having been inside (either
// bit); the second also keeps the popup open at the first mouse-up whatever its timing.
constexpr uint32_t kVXPopupAutoScrolls = 1, kVXPopupStaysOpen = 2;
// The point of the open and cancel messages: (-9999, -9999).
constexpr int16_t kVXPopupNowhere = -9999;

// The inside state: 0 the mouse is outside the popup, 1 over its content, 2 over its structure
// (a scroll bar). The point is the mouse in the popup's local coordinates. The event is the
// mouse-down, mouse-up or wheel event of messages 1, 2 and 6, none otherwise.
using VXPopupProc = uint32_t (*)(VXWindowRecordTag* popup, int32_t message, VXEventRecord* event,
                                 int32_t inside, Point where, void* reference);

// Opens the popup with its top-left corner at the global point (screen, y down; kept 5 units
// inside the screen vertically) and tracks it. Answers the callback's answer to message 8
// (accepted) or 9 (dismissed); -1 without a popup, a parent or a callback, or when the popup is
// released during the tracking.
int32_t VXTrackPopupWindow(VXWindowRecordTag* popup, VXWindowRecordTag* parent, Point global,
                           uint32_t flags, VXPopupProc callback, void* reference);

// The inside state of the toolkit view under a global point (none: the mouse now); the local
// point, when asked, is the point in the popup's coordinates.
int32_t TestMouseInPopupWindow(VXWindowRecordTag* popup, const Point* global, Point* local);

}  // namespace plexa

namespace plexa {

// Popup list boxes: a hidden popup window holding one list-box control (item 3) that fills it,
// for pick lists that open at a click. Made with the list box's features (multiple selection,
// check lists, cycling marks and extended selection taken out), a font code and a height of
// `rows` rows, 200 wide; none when it cannot be made. Needs the list-box module.
constexpr int16_t kVXPopupListBoxItem = 3;
// Tracking flag of VXTrackPopupListBox: rows in alternating colours.
constexpr uint32_t kVXPopupListAltColors = 0x10000;
VXWindowRecordTag* VXCreatePopupListBox(uint32_t features, int16_t fontCode, int32_t rows);
// Sizes the popup to its rows' texts (after they are filled).
void VXAutoSizePopupListBox(VXWindowRecordTag* popup);
// Tracks it at the global point with the initial row selected; the chosen row, or -1.
int32_t VXTrackPopupListBox(VXWindowRecordTag* popup, VXWindowRecordTag* parent, Point global,
                            uint32_t flags, int32_t initialItem);
// The popup list box's callback; the reference points at the current row (the initial row at
// message 0).
uint32_t VXPoupupListBoxHook(VXWindowRecordTag* popup, int32_t message, VXEventRecord* event,
                             int32_t inside, Point where, void* reference);

}  // namespace plexa
