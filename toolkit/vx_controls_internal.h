// Inside the controls and the item calls only: small helpers the two share.
#pragma once

#include <cstdint>

#include "toolkit/vx_controls.h"

namespace plexa {

// A control named by its window id and item number, found again after a handler ran.
struct ControlHeld {
    explicit ControlHeld(VXControlRecordTag* control);
    VXControlRecordTag* Get() const;
    int32_t windowID;
    int16_t item;
};

// Flag 0x0004: the toolkit changes the control's selection or tabs itself.
void ControlSetSelfChange(VXControlRecordTag* control, bool on);
// Sizes an icon button's image to its frame's height.
void ControlSizeIconImage(VXControlRecordTag* control);

}  // namespace plexa
