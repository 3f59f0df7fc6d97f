// Help texts over rectangles of a window's content view. A rectangle is registered with a piece
// of user data and gets a tag; when the mouse rests over it for the tooltip delay, the platform
// asks the text provider for the text (by window id, tag and user data) and shows it in a small
// label next to the pointer, above the window's content. The label goes when the mouse leaves the
// rectangle, a button or key is pressed, the wheel turns or the rectangle is removed; after a
// press it does not come back until the mouse has left the rectangle.
//
// The mouse is followed through the input the platform delivers (PlatformDeliverInput), so the
// test seam's scripted input and the test clock drive tooltips as real input does. Native
// controls take their mouse input themselves; their moves are followed through an application
// event filter installed with the first registration.
#pragma once

#include <cstdint>
#include <string>

#include "platform/input_platform.h"
#include "platform/window_platform.h"

namespace plexa {

// The time the mouse rests over a rectangle before its tooltip shows.
constexpr int64_t kPlatformToolTipDelayMicros = 750'000;

// The text for a registered rectangle; an empty text shows nothing.
using PlatformToolTipTextProc = std::string (*)(int32_t windowID, uint64_t tag,
                                                uint64_t userData);
void PlatformSetToolTipTextProc(PlatformToolTipTextProc proc);

// Registers a rectangle of the window's content view (content coordinates); returns its tag
// (never 0), or 0 for no window or an empty rectangle.
uint64_t PlatformToolTipAdd(PlatformWindow* window, PlatformRect rect, uint64_t userData);
// Removes a registration (unknown tags are ignored); its tooltip goes if it is shown.
void PlatformToolTipRemove(uint64_t tag);
// Registrations alive for a window (those of destroyed windows are dropped).
int PlatformToolTipCount(const PlatformWindow* window);

// Called with every delivered input event.
void PlatformToolTipNoteInput(const PlatformInputEvent& event);

// The tooltip shown now: true with its text; false when none is shown.
bool PlatformToolTipShown(std::string* text = nullptr, uint64_t* tag = nullptr);
void PlatformToolTipHide();
// Forgets every registration and hides the tooltip (test seam's reset).
void PlatformToolTipReset();

}  // namespace plexa
