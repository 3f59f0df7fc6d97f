// Tooltips: help texts attached to a control or to a rectangle of a pane. Each window keeps its
// tooltip records in a list made on first use (an extension record of the window, freed with
// it); the platform shows a record's text when the mouse rests over its area, provided tooltips
// are switched on for the application (`vx.tooltipsEnabled`). Records are addressed by their
// index in the window's list; removing one moves the later ones down.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXControlRecordTag;

// Kinds: a control's tooltip; any other kind is a rectangle's.
constexpr int8_t kVXControlToolTip = 1, kVXRectToolTip = 0;

// Kind 1: `controlOrRect` is the control (none: the window's control with the item number); a
// control that already has a tooltip keeps it and its index is answered. Other kinds:
// `controlOrRect` is an LRect of the pane (-1 the main pane, 0..2 the header strips), offset by
// the pane's origin. The text is UTF-8 and copied (none: no text). The record's index, or -1
// when there is no control or rectangle.
int32_t VXAddToolTip(VXWindowRecordTag* window, int32_t pane, int8_t kind,
                     const void* controlOrRect, int16_t item, const char* text);
// The index of the last record with that item number, or -1.
int32_t VXGetControlToolTip(VXWindowRecordTag* window, int16_t item);
// The text of a record ("" for none or a bad index).
const char* VXGetToolTipText(VXWindowRecordTag* window, int32_t index);
int32_t VXCountToolTips(VXWindowRecordTag* window);
void VXKillToolTip(VXWindowRecordTag* window, int32_t index);
void VXKillAllToolTips(VXWindowRecordTag* window);
// Removes the tooltips of a control that is going away (for the controls' release).
void VXKillControlToolTips(VXControlRecordTag* control);
// Registers every control tooltip again at its control's current bounds; records of controls
// that no longer exist stop showing.
void VXUpdateControlToolTipLocations(VXWindowRecordTag* window);
// Switches tooltips on or off for the application; answers the previous state.
bool VXSetToolTipsEnabled(bool on);

}  // namespace plexa
