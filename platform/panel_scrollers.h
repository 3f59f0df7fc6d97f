// The scroll bars of panels: native scroll bars placed in a window's content view, driven by the
// toolkit (enabled, value 0 ... 1, knob proportion) and telling the toolkit what the user did with
// them: a part clicked (0 line up/left, 1 line down/right, 2 page up/left, 3 page down/right) or
// the knob dragged (5, with the new value 0 ... 1).
#pragma once

#include <cstdint>

#include "platform/window_platform.h"

namespace plexa {

struct PlatformScroller;

// axis 0 vertical, 1 horizontal; the frame is in the window's content view. Null without a view.
PlatformScroller* PlatformScrollerCreate(PlatformWindow* window, int32_t axis,
                                         PlatformRect frame);
void PlatformScrollerDestroy(PlatformScroller* scroller);
void PlatformScrollerSetFrame(PlatformScroller* scroller, PlatformRect frame);
void PlatformScrollerSetState(PlatformScroller* scroller, bool enabled, double value,
                              double proportion);
void PlatformScrollerGetState(const PlatformScroller* scroller, bool* enabled, double* value,
                              double* proportion);
PlatformRect PlatformScrollerFrame(const PlatformScroller* scroller);

// What the user did: the scroll bar's window id and axis, the part and, for the knob, its value.
using PlatformScrollerAction = void (*)(int32_t windowID, int32_t axis, int32_t part,
                                        double value);
void PlatformSetScrollerAction(PlatformScrollerAction action);
// Acts as if the user had clicked a part (0-3) or dragged the knob to a value (part 5).
void PlatformScrollerTrigger(PlatformScroller* scroller, int32_t part, double value);

}  // namespace plexa
